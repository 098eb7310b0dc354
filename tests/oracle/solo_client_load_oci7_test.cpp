// A process that loads the OCI7 set: only its 31 slots are bound, every OCI slot keeps its stub.
#include <gtest/gtest.h>

#include "client_test_helpers.h"
#include "oci_slot_call.h"
#include "oracle/client/client_loader.h"

namespace {

TEST(ClientLoadOci7, BindsOnlyTheOci7Set) {
  CErrorHolder holder;
  ASSERT_EQ(bLoadOracleClient(&holder, gstrOciLibraryPath, u"", 1), 1) << ocitest::Dump(holder);
  EXPECT_NE(std::u16string(gstrOciLibraryPath.pszGet()).find(u"OCIW32.DLL"), std::u16string::npos);
  for (std::uint32_t slot = OCI7_SET_FIRST_SLOT; slot < OCI_SLOT_COUNT; ++slot) {
    EXPECT_TRUE(bOciEntryBound(slot)) << gapszOciEntryNames[slot];
  }
  for (std::uint32_t slot = 0; slot < OCI7_SET_FIRST_SLOT; ++slot) {
    EXPECT_FALSE(bOciEntryBound(slot)) << gapszOciEntryNames[slot];
  }
  EXPECT_EQ(ocitest::ThrownBySlot<OCI_SLOT_OCIStmtFetch>(), u"OCIStmtFetch");
}

}  // namespace
