// A process that loads the OCI set with no configured name: the driver's own directory is tried first, the module's
// path is kept, only the OCI slots are bound and the process's current directory is left as it was, however long.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "client_test_helpers.h"
#include "oci_slot_call.h"
#include "oracle/client/client_loader.h"
#include "platform/module.h"
#include "platform/path.h"

namespace {

std::u16string CurrentDirectory() {
  char16_t buffer[1024] = {};
  platform::CurrentDirectory(1024, buffer);
  return buffer;
}

TEST(ClientLoad, DefaultNameFromTheDriversDirectoryBindsTheOciSet) {
  // Elsewhere than the program's directory, so that only the own-directory step can find the client.
  const std::filesystem::path elsewhere = std::filesystem::temp_directory_path();
  std::filesystem::current_path(elsewhere);
  const std::u16string before = CurrentDirectory();

  CErrorHolder holder;
  ASSERT_EQ(bLoadOracleClient(&holder, gstrOciLibraryPath, nullptr, 0), 1) << ocitest::Dump(holder);
  EXPECT_FALSE(holder.bHasError());
  EXPECT_EQ(bIsOracleClientLoaded(), 1);
  EXPECT_NE(hGetOracleClientModule(), nullptr);
  EXPECT_EQ(CurrentDirectory(), before);

  const std::u16string expected = ocitest::StandInPath("OCI.DLL");
  EXPECT_EQ(std::filesystem::path(gstrOciLibraryPath.pszGet()), std::filesystem::path(expected));
  EXPECT_EQ(gpszClientLibraryPath, gstrOciLibraryPath.pszGet());
  EXPECT_FALSE(gpOciLoader->GetDirectory().bIsEmpty());

  // Each OCI slot holds the client's export of its name, or its stub when the client has none.
  for (std::uint32_t slot = 0; slot < OCI7_SET_FIRST_SLOT; ++slot) {
    void* exported = platform::FindModuleEntry(hGetOracleClientModule(), gapszOciEntryNames[slot]);
    EXPECT_EQ(gtabOciEntries[slot], exported ? exported : pOciFallbackStub(slot)) << gapszOciEntryNames[slot];
  }
  EXPECT_TRUE(bOciEntryBound(OCI_SLOT_OCIStmtFetch));
  EXPECT_TRUE(bOciEntryBound(OCI_SLOT_OCIEnvNlsCreate));
  for (std::uint32_t slot = OCI7_SET_FIRST_SLOT; slot < OCI_SLOT_COUNT; ++slot) {
    EXPECT_FALSE(bOciEntryBound(slot)) << gapszOciEntryNames[slot];
  }
  EXPECT_EQ(ocitest::ThrownBySlot<OCI_SLOT_ofen>(), u"ofen");
}

TEST(ClientLoad, AConfiguredDirectoryPutsBackACurrentDirectoryOfAnyLength) {
  std::filesystem::path deep = std::filesystem::temp_directory_path() / ("qz_deep_" + std::to_string(::getpid()));
  for (char part : {'a', 'b', 'c'}) deep /= std::string(120, part);
  std::filesystem::create_directories(deep);
  std::filesystem::current_path(deep);
  const std::u16string before = CurrentDirectory();
  ASSERT_GT(before.size(), 360u);

  CErrorHolder holder;
  const std::u16string configured = ocitest::StandInPath("OCI.DLL");
  ASSERT_EQ(bLoadOracleClient(&holder, gstrOciLibraryPath, configured.c_str(), 0), 1) << ocitest::Dump(holder);
  EXPECT_EQ(CurrentDirectory(), before);
  std::filesystem::current_path(std::filesystem::temp_directory_path());
  std::filesystem::remove_all(deep.parent_path().parent_path().parent_path());
}

}  // namespace
