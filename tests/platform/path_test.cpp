#include "platform/path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/error_mode.h"
#include "platform/file.h"
#include "platform/last_error.h"
#include "platform/volume.h"

namespace {

std::u16string Widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::u16string Full(const char16_t* name) {
  char16_t buffer[1024];
  const std::uint32_t n = platform::FullPathName(name, 1024, buffer);
  return std::u16string(buffer, n < 1024 ? n : 0);
}

std::u16string Current() {
  char16_t buffer[1024];
  const std::uint32_t n = platform::CurrentDirectory(1024, buffer);
  return std::u16string(buffer, n < 1024 ? n : 0);
}

// Moves into a fresh directory for one test and back out afterwards.
class PathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_before = Current();
    std::string pattern = ::testing::TempDir() + "qzpathXXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    char resolved[4096];
    ASSERT_NE(::realpath(pattern.c_str(), resolved), nullptr);
    m_directory = resolved;
    ASSERT_TRUE(platform::SetCurrentDirectoryPath(Widen(m_directory).c_str()));
  }
  void TearDown() override {
    platform::SetCurrentDirectoryPath(m_before.c_str());
    std::system(("rm -rf '" + m_directory + "'").c_str());
  }
  std::u16string m_before;
  std::string m_directory;
};

TEST_F(PathTest, FullPathsAreMadeFromTheTextAgainstTheCurrentDirectory) {
  const std::u16string here = Widen(m_directory);
  EXPECT_EQ(Current(), here);
  EXPECT_EQ(Full(u"a.txt"), here + u"/a.txt");
  EXPECT_EQ(Full(u".\\sub\\..\\b.txt"), here + u"/b.txt");
  EXPECT_EQ(Full(u"no\\such\\dir\\"), here + u"/no/such/dir/") << "nothing asks the file system; a trailing separator stays";
  EXPECT_EQ(Full(u"C:\\data\\..\\x"), u"/x");
  EXPECT_EQ(Full(u"d:/y//z"), u"/y/z");
  EXPECT_EQ(Full(u"C:rel"), here + u"/rel") << "the drive's current directory is the process's";
  EXPECT_EQ(Full(u"/../.."), u"/");
  EXPECT_EQ(Full(u"/tmp/\u00e9t\u00e9"), u"/tmp/\u00e9t\u00e9");

  // The buffer rule: a short buffer is left alone and the answer is the size needed, terminator included.
  const std::u16string full = here + u"/a.txt";
  std::u16string small(full.size(), u'#');
  EXPECT_EQ(platform::FullPathName(u"a.txt", static_cast<std::uint32_t>(small.size()), small.data()), full.size() + 1);
  EXPECT_EQ(small, std::u16string(full.size(), u'#'));
  EXPECT_EQ(platform::CurrentDirectory(0, nullptr), here.size() + 1);

  EXPECT_EQ(platform::FullPathName(u"", 10, small.data()), 0u);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorInvalidName);
}

TEST_F(PathTest, ChangingDirectoryAndItsFailures) {
  ASSERT_EQ(::mkdir("sub", 0755), 0);
  EXPECT_TRUE(platform::SetCurrentDirectoryPath(u"sub"));
  EXPECT_EQ(Current(), Widen(m_directory) + u"/sub");
  EXPECT_TRUE(platform::SetCurrentDirectoryPath(u"..\\"));
  EXPECT_EQ(Current(), Widen(m_directory));

  EXPECT_FALSE(platform::SetCurrentDirectoryPath(u"missing"));
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorFileNotFound);
  EXPECT_FALSE(platform::SetCurrentDirectoryPath(u"missing\\deeper"));
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorPathNotFound);
  {
    platform::FileHandle file =
        platform::CreateFileHandle(u"plain", platform::kGenericWrite, 0, platform::kCreateNew, 0);
    ASSERT_NE(file, platform::InvalidFileHandle());
    platform::CloseFileHandle(file);
  }
  EXPECT_FALSE(platform::SetCurrentDirectoryPath(u"plain"));
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorDirectory);
  EXPECT_EQ(Current(), Widen(m_directory));
}

TEST(Volume, OneFixedRootUnderEveryDriveSpelling) {
  char16_t drives[8];
  EXPECT_EQ(platform::LogicalDriveStrings(4, drives), 5u);
  ASSERT_EQ(platform::LogicalDriveStrings(8, drives), 4u);
  EXPECT_EQ(std::u16string(drives, 5), std::u16string(u"C:\\\0", 5));

  for (const char16_t* root : {u"C:\\", u"c:", u"D:/", u"\\", u"/"}) {
    EXPECT_EQ(platform::DriveType(root), platform::kDriveFixed) << std::string(root, root + 3);
  }
  EXPECT_EQ(platform::DriveType(nullptr), platform::kDriveFixed);
  EXPECT_EQ(platform::DriveType(u"C:\\tmp\\"), platform::kDriveNoRootDir);
  EXPECT_EQ(platform::DriveType(u""), platform::kDriveNoRootDir);

  // The root's serial number is the one a handle on the root directory reports: the two calls agree on volumes.
  std::uint32_t serial = 0, longest = 0, flags = 0;
  char16_t name[8] = u"x", system[32];
  ASSERT_TRUE(platform::VolumeInformation(u"C:\\", name, 8, &serial, &longest, &flags, system, 32));
  EXPECT_EQ(name[0], 0);
  EXPECT_GT(longest, 0u);
  EXPECT_NE(system[0], 0);
  platform::FileHandle root = platform::CreateFileHandle(u"C:\\", 0, 7, platform::kOpenExisting,
                                                         platform::kFileFlagBackupSemantics);
  ASSERT_NE(root, platform::InvalidFileHandle());
  platform::FileInformation information{};
  ASSERT_TRUE(platform::GetFileInformation(root, &information));
  platform::CloseFileHandle(root);
  EXPECT_EQ(information.volumeSerialNumber, serial);
  EXPECT_EQ(information.attributes, platform::kFileAttributeDirectory);

  EXPECT_FALSE(platform::VolumeInformation(u"/tmp", nullptr, 0, &serial, nullptr, nullptr, nullptr, 0));
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorDirNotRoot);
  EXPECT_FALSE(platform::VolumeInformation(u"C:\\", nullptr, 0, nullptr, nullptr, nullptr, system, 1));
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorBadLength);
}

TEST(ErrorMode, TheScopeRestoresTheModeAndKeepsTheLastError) {
  const std::uint32_t before = platform::SetProcessErrorMode(platform::kSemNoOpenFileErrorBox);
  {
    platform::ErrorModeScope scope;
    EXPECT_EQ(scope.Previous(), platform::kSemNoOpenFileErrorBox);
    EXPECT_EQ(platform::ProcessErrorMode(), platform::kSemFailCriticalErrors);
    {
      platform::ErrorModeScope inner(platform::kSemNoGpFaultErrorBox);
      EXPECT_EQ(platform::ProcessErrorMode(), platform::kSemNoGpFaultErrorBox);
      // A failing call inside the scope: its code must survive the restore.
      EXPECT_EQ(platform::FileAttributes(u"/no/such/path"), platform::kInvalidFileAttributes);
    }
    EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorPathNotFound);
    EXPECT_EQ(platform::ProcessErrorMode(), platform::kSemFailCriticalErrors);
    platform::SetLastErrorCode(platform::kErrorSharingViolation);
  }
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorSharingViolation);
  EXPECT_EQ(platform::ProcessErrorMode(), platform::kSemNoOpenFileErrorBox);
  platform::SetProcessErrorMode(before);
}

}  // namespace
