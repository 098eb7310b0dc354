// The path functions beside the stream: what their errors say, and the path texts they build.
#include "foundation/file_paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "foundation/t_string.h"
#include "foundation/x_error.h"
#include "platform/error_mode.h"
#include "platform/file.h"
#include "platform/module.h"
#include "platform/volume.h"
#include "tests/support/file_fixture.h"

namespace {

class FilePathsTest : public FileFixture {};

TEST_F(FilePathsTest, AttributesAndDeletionReportThePath) {
  Put("f", "x");
  ASSERT_EQ(::mkdir(Path("d").c_str(), 0700), 0);
  EXPECT_TRUE(bFileExists(WidePath("f").c_str()));
  EXPECT_TRUE(bFileExists(WidePath("d").c_str()));
  EXPECT_TRUE(bIsFile(WidePath("f").c_str()));
  EXPECT_FALSE(bIsFile(WidePath("d").c_str()));
  EXPECT_FALSE(bIsFile(nullptr));
  EXPECT_FALSE(bFileExists(WidePath("none").c_str()));

  CModuleError error;
  const std::u16string missing = WidePath("none");
  std::uint32_t attributes = 0;
  platform::SetProcessErrorMode(platform::kSemNoGpFaultErrorBox);
  ASSERT_FALSE(bGetFileAttributes(&attributes, missing.c_str(), &error));
  EXPECT_EQ(platform::ProcessErrorMode(), platform::kSemNoGpFaultErrorBox);
  platform::SetProcessErrorMode(0);
  EXPECT_EQ(attributes, platform::kInvalidFileAttributes);
  EXPECT_EQ(error.nGetLevel(), ERROR_LEVEL_FATAL);
  EXPECT_EQ(error.nGetSystemCode(), platform::kErrorFileNotFound);
  EXPECT_EQ(std::u16string(error.pszGetUserMessage()),
            u"Impossible de lire les attributs du fichier " + missing + u" (valeur obtenue : 4294967295).");
  EXPECT_EQ(std::u16string(error.pszGetInfoText(ERROR_INFO_PATH)), missing);
  ASSERT_TRUE(bGetFileAttributes(&attributes, WidePath("d").c_str(), &error));
  EXPECT_EQ(error.nGetLevel(), ERROR_LEVEL_NONE) << "a success clears the error";
  EXPECT_TRUE(attributes & platform::kFileAttributeDirectory);

  ASSERT_FALSE(bDeleteFile(WidePath("d").c_str(), &error));
  EXPECT_EQ(error.nGetMessageAt(0), 28123u);
  EXPECT_EQ(error.nGetSystemCode(), platform::kErrorAccessDenied);
  ASSERT_TRUE(bDeleteFile(WidePath("f").c_str(), &error));
  EXPECT_FALSE(Exists("f"));
}

TEST(FilePaths, DirectoryAndDriveQueries) {
  char16_t current[CURRENT_DIRECTORY_SIZE];
  EXPECT_TRUE(nGetCurrentDirectory(current));
  EXPECT_NE(current[0], 0);
  EXPECT_EQ(nGetDriveType(u"C:  "), platform::kDriveFixed) << "blanks go and the backslash is added";
  EXPECT_EQ(nGetDriveType(u"C:\\"), platform::kDriveFixed);
}

TEST_F(FilePathsTest, ModuleFileNameKeepsPathsUpTo520Characters) {
  CTString path(u"unchanged");
  ASSERT_TRUE(bGetModuleFileName(nullptr, path));
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self);
  ASSERT_GT(n, 0);
  EXPECT_EQ(std::u16string(path.pszGet()), std::u16string(self, self + n));

  // A module whose path is longer than 520 characters leaves the text alone.
  std::string directory = m_directory;
  while (directory.size() < 540) {
    directory += "/" + std::string(90, 'd');
    ASSERT_EQ(::mkdir(directory.c_str(), 0700), 0);
  }
  const std::string copy = directory + "/module.so";
  ASSERT_EQ(std::system(("cp '" + std::string(QZ_RUNTIME_NOEXEC_PATH) + "' '" + copy + "'").c_str()), 0);
  platform::ModuleHandle module = platform::LoadModule(std::u16string(copy.begin(), copy.end()).c_str());
  ASSERT_NE(module, nullptr);
  path.Assign(u"unchanged");
  EXPECT_FALSE(bGetModuleFileName(module, path));
  EXPECT_EQ(std::u16string(path.pszGet()), u"unchanged");
  platform::UnloadModule(module);
}

}  // namespace
