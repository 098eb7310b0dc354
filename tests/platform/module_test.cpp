#include "platform/module.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/last_error.h"

namespace {

std::u16string Widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string FileNameOf(platform::ModuleHandle module) {
  char16_t buffer[2048];
  const std::uint32_t n = platform::ModuleFileName(module, buffer, 2048);
  return std::string(buffer, buffer + n);
}

TEST(Module, LoadsByPathAndByBareNameFromTheProgramsDirectory) {
  platform::ModuleHandle byPath = platform::LoadModule(Widen(QZ_RUNTIME_PATH).c_str());
  ASSERT_NE(byPath, nullptr);
  const std::string path = QZ_RUNTIME_PATH;
  const std::string bare = path.substr(path.rfind('/') + 1);
  platform::ModuleHandle byName = platform::LoadModule(Widen(bare).c_str());
  EXPECT_EQ(byName, byPath);
  EXPECT_EQ(FileNameOf(byName), path);
  platform::UnloadModule(byName);
  platform::UnloadModule(byPath);
}

TEST(Module, FailuresCarryWindowsCodes) {
  platform::SetLastErrorCode(0);
  EXPECT_EQ(platform::LoadModule(u"no-such-module.dll"), nullptr);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorModNotFound);
  EXPECT_EQ(platform::LoadModule(u"/no/such/dir/OCI.DLL"), nullptr);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorModNotFound);

  // A bare name without extension is looked for as NAME.dll, which does not exist here.
  EXPECT_EQ(platform::LoadModule(u"qzruntime"), nullptr);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorModNotFound);

  // A file that is there but is no module.
  const std::string text = ::testing::TempDir() + "not-a-module.dll";
  std::ofstream(text) << "plain text";
  EXPECT_EQ(platform::LoadModule(Widen(text).c_str()), nullptr);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorBadExeFormat);

  platform::ModuleHandle runtime = platform::LoadModule(Widen(QZ_RUNTIME_PATH).c_str());
  ASSERT_NE(runtime, nullptr);
  EXPECT_EQ(platform::FindModuleEntry(runtime, "NoSuchEntry"), nullptr);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorProcNotFound);
  // Only the module's own exports: not those of the libraries it depends on.
  EXPECT_EQ(platform::FindModuleEntry(runtime, "malloc"), nullptr);
  EXPECT_NE(platform::FindModuleEntry(runtime, "Execution"), nullptr);
  platform::UnloadModule(runtime);
}

TEST(Module, FileNameIsCutToTheBufferWithCode122) {
  platform::ModuleHandle runtime = platform::LoadModule(Widen(QZ_RUNTIME_PATH).c_str());
  ASSERT_NE(runtime, nullptr);
  const std::string full = QZ_RUNTIME_PATH;
  char16_t small[8];
  platform::SetLastErrorCode(0);
  EXPECT_EQ(platform::ModuleFileName(runtime, small, 8), 8u);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorInsufficientBuffer);
  EXPECT_EQ(std::u16string(small), Widen(full.substr(0, 7)));

  // Exactly the length plus the terminator fits.
  std::u16string fits(full.size() + 1, u'x');
  EXPECT_EQ(platform::ModuleFileName(runtime, fits.data(), static_cast<std::uint32_t>(fits.size())), full.size());
  EXPECT_EQ(fits.c_str(), Widen(full));
  platform::UnloadModule(runtime);

  // The program itself.
  EXPECT_NE(FileNameOf(nullptr).find("qz_platform_tests"), std::string::npos);
}

TEST(Module, AddressesAndLoadedModulesNameTheirModule) {
  platform::ModuleHandle runtime = platform::LoadModule(Widen(QZ_RUNTIME_PATH).c_str());
  ASSERT_NE(runtime, nullptr);
  void* entry = platform::FindModuleEntry(runtime, "pQueryProxy");
  EXPECT_EQ(platform::ModuleOfAddress(entry), runtime);
  EXPECT_EQ(platform::FindLoadedModule(Widen(QZ_RUNTIME_PATH).c_str()), runtime);
  platform::UnloadModule(runtime);
  EXPECT_EQ(platform::FindLoadedModule(u"/no/such/module.so"), nullptr);
}

}  // namespace
