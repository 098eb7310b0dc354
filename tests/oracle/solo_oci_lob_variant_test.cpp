// A process whose client lacks OCILobOpen and OCILobClose: only BFILE locators are opened and closed, through the
// file calls; other locators need nothing.
#include <gtest/gtest.h>

#include "oci_session_helpers.h"
#include "oracle/client/client_loader.h"
#include "oracle/client/oci_declarations.h"
#include "oracle/client/oci_wrappers.h"
#include "tests/doubles/driver_doubles.h"

namespace {

TEST(OciLobVariant, OnlyFilesAreOpenedAndClosed) {
  doubles::EnsureLibrary();
  CErrorHolder holder;
  const std::u16string path = ocitest::StandInPath("oci-variants/no-lobopen/OCI.DLL");
  ASSERT_EQ(bLoadOracleClient(&holder, gstrOciLibraryPath, path.c_str(), 0), 1) << ocitest::Dump(holder);
  ocitest::TestConnection connection;
  ASSERT_TRUE(connection.Open());
  ocitest::StandIn& standIn = ocitest::StandIn::Get();
  standIn.Reset();

  void* lob = nullptr;
  ASSERT_EQ(nOciDescriptorAlloc(&connection, &holder, connection.m_pEnvironment, &lob, oci::OCI_DTYPE_LOB), 1);
  EXPECT_EQ(nOciLobOpen(&connection, &holder, lob, oci::OCI_DTYPE_LOB, 1), 1);
  EXPECT_EQ(nOciLobClose(&connection, &holder, lob, oci::OCI_DTYPE_LOB), 1);
  EXPECT_EQ(standIn.EntryCount("OCILobFileOpen") + standIn.EntryCount("OCILobFileClose"), 0u);

  // A file: its failing open names the file call's point and adds the open message.
  void* file = nullptr;
  ASSERT_EQ(nOciDescriptorAlloc(&connection, &holder, connection.m_pEnvironment, &file, oci::OCI_DTYPE_FILE), 1);
  standIn.InjectStatus("OCILobFileOpen", 1, oci::OCI_ERROR, 22285);
  EXPECT_EQ(nOciLobOpen(&connection, &holder, file, oci::OCI_DTYPE_FILE, 1), 0);
  EXPECT_EQ(standIn.EntryCount("OCILobFileOpen"), 1u);
  EXPECT_TRUE(ocitest::HasPoint(holder, 112));
  EXPECT_EQ(holder.nGetNativeErrorCode(), 22285u);
  CErrorHolder closing;
  standIn.InjectStatus("OCILobFileClose", 1, oci::OCI_ERROR, 22289);
  EXPECT_EQ(nOciLobClose(&connection, &closing, file, oci::OCI_DTYPE_FILE), 0);
  EXPECT_EQ(standIn.EntryCount("OCILobFileClose"), 1u);
  EXPECT_TRUE(ocitest::HasPoint(closing, 122));
}

}  // namespace
