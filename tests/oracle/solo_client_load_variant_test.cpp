// A process whose configured client lacks OCIEnvNlsCreate: the load succeeds from the configured directory, relative
// to the current one, which it leaves as it was; the slot keeps its stub.
#include <gtest/gtest.h>

#include <filesystem>

#include "client_test_helpers.h"
#include "oci_slot_call.h"
#include "oracle/client/client_loader.h"

namespace {

TEST(ClientLoadVariant, MissingEntryKeepsItsStub) {
  CErrorHolder holder;
  std::filesystem::current_path(std::filesystem::path(ocitest::StandInPath("oci-variants")));
  const std::filesystem::path before = std::filesystem::current_path();
  ASSERT_EQ(bLoadOracleClient(&holder, gstrOciLibraryPath, u"no-envnlscreate/OCI.DLL", 0), 1) << ocitest::Dump(holder);
  EXPECT_EQ(std::filesystem::current_path(), before);
  EXPECT_NE(std::u16string(gstrOciLibraryPath.pszGet()).find(u"no-envnlscreate"), std::u16string::npos);
  EXPECT_EQ(gtabOciEntries[OCI_SLOT_OCIEnvNlsCreate], pOciFallbackStub(OCI_SLOT_OCIEnvNlsCreate));
  EXPECT_EQ(ocitest::ThrownBySlot<OCI_SLOT_OCIEnvNlsCreate>(), u"OCIEnvNlsCreate");
  EXPECT_TRUE(bOciEntryBound(OCI_SLOT_OCIEnvCreate));
}

}  // namespace
