// A process whose configured client lacks OCIEnvNlsCreate: the load succeeds from the configured directory and the
// slot keeps its stub.
#include <gtest/gtest.h>

#include "client_test_helpers.h"
#include "oci_slot_call.h"
#include "oracle/client/client_loader.h"

namespace {

TEST(ClientLoadVariant, MissingEntryKeepsItsStub) {
  CErrorHolder holder;
  const std::u16string configured = ocitest::StandInPath("oci-variants/no-envnlscreate/OCI.DLL");
  ASSERT_EQ(bLoadOracleClient(&holder, gstrOciLibraryPath, configured.c_str(), 0), 1) << ocitest::Dump(holder);
  EXPECT_NE(std::u16string(gstrOciLibraryPath.pszGet()).find(u"no-envnlscreate"), std::u16string::npos);
  EXPECT_EQ(gtabOciEntries[OCI_SLOT_OCIEnvNlsCreate], pOciFallbackStub(OCI_SLOT_OCIEnvNlsCreate));
  EXPECT_EQ(ocitest::ThrownBySlot<OCI_SLOT_OCIEnvNlsCreate>(), u"OCIEnvNlsCreate");
  EXPECT_TRUE(bOciEntryBound(OCI_SLOT_OCIEnvCreate));
}

}  // namespace
