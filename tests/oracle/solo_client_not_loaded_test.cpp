// A process whose client never loads: every slot keeps its fall-back stub, and each failed load reports error 27
// with the name as asked for.
#include <gtest/gtest.h>

#include <string>

#include "client_test_helpers.h"
#include "oci_slot_call.h"
#include "oracle/client/client_loader.h"
#include "platform/path.h"
#include "tests/doubles/driver_doubles.h"

namespace {

std::u16string CurrentDirectory() {
  char16_t buffer[600] = {};
  platform::CurrentDirectory(600, buffer);
  return buffer;
}

void ExpectLoadError(CErrorHolder& holder, const std::u16string& name) {
  CXError* error = holder.pGetEmbeddedObject();
  EXPECT_EQ(error->nGetCode(), 27u);
  EXPECT_TRUE(ocitest::HasPoint(holder, 1, 9)) << ocitest::Dump(holder);
  EXPECT_NE(error->nGetSystemCode(), 0u);
  const std::u16string message = error->pszGetUserMessage();
  EXPECT_NE(message.find(u"Oracle"), std::u16string::npos) << ocitest::Dump(holder);
  EXPECT_NE(message.find(name), std::u16string::npos);
  EXPECT_NE(message.find(u"64"), std::u16string::npos);
}

TEST(ClientNotLoaded, EverySlotThrowsItsOwnName) {
  const std::vector<std::u16string> thrown = ocitest::ThrownByEverySlot();
  ASSERT_EQ(thrown.size(), 140u);
  for (std::uint32_t slot = 0; slot < OCI_SLOT_COUNT; ++slot) {
    EXPECT_EQ(thrown[slot], gapszOciEntryNamesW[slot]) << slot;
    EXPECT_FALSE(bOciEntryBound(slot)) << slot;
  }
  EXPECT_EQ(thrown[0], u"OCIClientVersion");
  EXPECT_EQ(thrown[71], u"OCILobRead");
  EXPECT_EQ(thrown[108], u"OCIThreadInit");
  EXPECT_EQ(thrown[109], u"obindps");
  EXPECT_EQ(thrown[139], u"ognfd");
}

TEST(ClientNotLoaded, FailedLoadsReportError27AndLeaveTheStubs) {
  doubles::EnsureLibrary();
  const std::u16string before = CurrentDirectory();

  // A name with a directory is looked for there only, and the error names it as configured.
  CErrorHolder missing;
  const std::u16string inMissingFolder = ocitest::StandInPath("no-such-folder/OCI.DLL");
  EXPECT_EQ(bLoadOracleClient(&missing, gstrOciLibraryPath, inMissingFolder.c_str(), 0), 0);
  ExpectLoadError(missing, inMissingFolder);

  // A file that is there but is no loadable module.
  CErrorHolder broken;
  const std::u16string unloadable = ocitest::StandInPath("oci-variants/unloadable/OCI.DLL");
  EXPECT_EQ(bLoadOracleClient(&broken, gstrOciLibraryPath, unloadable.c_str(), 0), 0);
  ExpectLoadError(broken, unloadable);

  // The OCI7 set's default name, looked for beside the program and by the normal search, is not found under it.
  CErrorHolder defaulted;
  EXPECT_EQ(bLoadOracleClient(&defaulted, gstrOciLibraryPath, u"NOCLIENT.DLL", 1), 0);
  ExpectLoadError(defaulted, u"NOCLIENT.DLL");

  EXPECT_EQ(CurrentDirectory(), before);
  EXPECT_EQ(bIsOracleClientLoaded(), 0);
  EXPECT_NE(gpOciLoader, nullptr);  // kept, without a module, for the next try
  EXPECT_EQ(gpszClientLibraryPath, nullptr);
  EXPECT_TRUE(gstrOciLibraryPath.bIsEmpty());
  EXPECT_EQ(ocitest::ThrownBySlot<OCI_SLOT_OCIStmtFetch>(), u"OCIStmtFetch");
  EXPECT_EQ(ocitest::ThrownBySlot<OCI_SLOT_ofen>(), u"ofen");
}

TEST(ClientNotLoaded, DefaultNamesBySet) {
  CTString name;
  EXPECT_EQ(std::u16string(pszDefaultOciLibraryName(0, name)), u"OCI.DLL");
  EXPECT_EQ(std::u16string(pszDefaultOciLibraryName(1, name)), u"OCIW32.DLL");
}

}  // namespace
