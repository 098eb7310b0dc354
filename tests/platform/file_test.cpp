#include "platform/file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/last_error.h"
#include "platform/module.h"
#include "tests/support/file_fixture.h"
#include "tests/support/other_process.h"

namespace {

using platform::FileHandle;
using platform::InvalidFileHandle;

constexpr std::uint32_t kRead = platform::kGenericRead;
constexpr std::uint32_t kWrite = platform::kGenericWrite;
constexpr std::uint32_t kReadWrite = kRead | kWrite;
constexpr std::uint32_t kShareAll = platform::kFileShareRead | platform::kFileShareWrite | platform::kFileShareDelete;

// 0 for a success, else the last error the call left.
std::uint32_t Code(bool ok) { return ok ? 0 : platform::GetLastErrorCode(); }

class FileTest : public FileFixture {
 protected:
  FileHandle Open(const std::string& name, std::uint32_t access, std::uint32_t share = kShareAll,
                  std::uint32_t disposition = platform::kOpenExisting) const {
    return platform::CreateFileHandle(WidePath(name).c_str(), access, share, disposition, 0);
  }
};

// A handle that closes itself, so that a failing assertion leaves no lock behind.
struct Handle {
  explicit Handle(FileHandle handle) : h(handle) {}
  ~Handle() {
    if (h != InvalidFileHandle()) platform::CloseFileHandle(h);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool IsOpen() const { return h != InvalidFileHandle(); }
  operator FileHandle() const { return h; }
  FileHandle h;
};

TEST_F(FileTest, EveryDispositionOnMissingAndExistingFiles) {
  struct Case {
    std::uint32_t disposition;
    bool exists;
    std::uint32_t code;  // the last error after the call: 0 or 183 on success, the failure's code otherwise
    bool opens;
    const char* contentAfter;  // null: no file afterwards
  };
  const Case cases[] = {
      {platform::kCreateNew, false, 0, true, ""},
      {platform::kCreateNew, true, platform::kErrorFileExists, false, "old"},
      {platform::kCreateAlways, false, 0, true, ""},
      {platform::kCreateAlways, true, platform::kErrorAlreadyExists, true, ""},
      {platform::kOpenExisting, false, platform::kErrorFileNotFound, false, nullptr},
      {platform::kOpenExisting, true, 0, true, "old"},
      {platform::kOpenAlways, false, 0, true, ""},
      {platform::kOpenAlways, true, platform::kErrorAlreadyExists, true, "old"},
      {platform::kTruncateExisting, false, platform::kErrorFileNotFound, false, nullptr},
      {platform::kTruncateExisting, true, 0, true, ""},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string name = "f" + std::to_string(n++);
    if (c.exists) Put(name, "old");
    platform::SetLastErrorCode(999);
    Handle file(Open(name, kReadWrite, 0, c.disposition));
    SCOPED_TRACE("disposition " + std::to_string(c.disposition) + (c.exists ? " on an existing file" : ""));
    EXPECT_EQ(file.IsOpen(), c.opens);
    EXPECT_EQ(platform::GetLastErrorCode(), c.code);
    if (c.contentAfter) {
      EXPECT_EQ(Get(name), c.contentAfter);
    } else {
      EXPECT_FALSE(Exists(name));
    }
  }

  // A missing directory on the way is not a missing file; the decisions Windows takes before touching anything.
  EXPECT_EQ(Open("nodir/f", kRead), InvalidFileHandle());
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorPathNotFound);
  EXPECT_EQ(Open("nodir/f", kReadWrite, 0, platform::kCreateAlways), InvalidFileHandle());
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorPathNotFound);
  Put("keep", "data");
  EXPECT_EQ(Open("keep", kRead, kShareAll, platform::kTruncateExisting), InvalidFileHandle());
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorInvalidParameter);
  for (std::uint32_t bad : {0u, 6u}) {
    EXPECT_EQ(Open("keep", kRead, kShareAll, bad), InvalidFileHandle());
    EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorInvalidParameter);
  }
  EXPECT_EQ(Get("keep"), "data");
  EXPECT_EQ(platform::CreateFileHandle(u"", kRead, kShareAll, platform::kOpenExisting, 0), InvalidFileHandle());
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorPathNotFound);
}

TEST_F(FileTest, ReadOnlyFilesAndDirectoriesRefuseWhatWindowsRefuses) {
  Put("ro", "fixed");
  ASSERT_EQ(::chmod(Path("ro").c_str(), 0444), 0);
  // Root may write anything on POSIX; the read-only attribute still holds, as it does for an administrator.
  EXPECT_EQ(Open("ro", kWrite), InvalidFileHandle());
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorAccessDenied);
  EXPECT_EQ(Open("ro", kRead, kShareAll, platform::kCreateAlways), InvalidFileHandle());
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorAccessDenied);
  EXPECT_FALSE(platform::DeleteFilePath(WidePath("ro").c_str()));
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorAccessDenied);
  EXPECT_EQ(Get("ro"), "fixed");
  {
    Handle reader(Open("ro", kRead));
    EXPECT_TRUE(reader.IsOpen());
  }
  EXPECT_EQ(platform::FileAttributes(WidePath("ro").c_str()) & platform::kFileAttributeReadonly,
            platform::kFileAttributeReadonly);

  // A file created with the read-only attribute is writable through the handle that made it.
  Handle made(platform::CreateFileHandle(WidePath("made-ro").c_str(), kReadWrite, 0, platform::kCreateNew,
                                         platform::kFileAttributeReadonly));
  ASSERT_TRUE(made.IsOpen());
  std::uint32_t written = 0;
  EXPECT_TRUE(platform::WriteFileHandle(made, "x", 1, &written));
  EXPECT_EQ(platform::FileAttributes(WidePath("made-ro").c_str()) & platform::kFileAttributeReadonly,
            platform::kFileAttributeReadonly);

  ASSERT_EQ(::mkdir(Path("dir").c_str(), 0755), 0);
  EXPECT_EQ(Open("dir", kRead), InvalidFileHandle());
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorAccessDenied);
  EXPECT_EQ(Open("dir", kRead, kShareAll, platform::kCreateNew), InvalidFileHandle());
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorFileExists);
  Handle directory(platform::CreateFileHandle(WidePath("dir").c_str(), 0, kShareAll, platform::kOpenExisting,
                                              platform::kFileFlagBackupSemantics));
  EXPECT_TRUE(directory.IsOpen());
  EXPECT_FALSE(platform::DeleteFilePath(WidePath("dir").c_str()));
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorAccessDenied);
  EXPECT_EQ(platform::FileAttributes(WidePath("dir").c_str()), platform::kFileAttributeDirectory);
  EXPECT_EQ(platform::FileAttributes(WidePath("none").c_str()), platform::kInvalidFileAttributes);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorFileNotFound);
  EXPECT_EQ(platform::FileAttributes(WidePath("none/x").c_str()), platform::kInvalidFileAttributes);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorPathNotFound);
}

TEST_F(FileTest, ReadsWritesAndAccessRights) {
  Handle file(Open("rw", kReadWrite, kShareAll, platform::kCreateNew));
  ASSERT_TRUE(file.IsOpen());
  std::uint32_t done = 7;
  EXPECT_TRUE(platform::WriteFileHandle(file, "ignored", 0, &done));
  EXPECT_EQ(done, 0u);
  EXPECT_TRUE(platform::WriteFileHandle(file, "hello world", 11, &done));
  EXPECT_EQ(done, 11u);
  EXPECT_EQ(platform::SetFilePosition(file, 6, nullptr, platform::kFileBegin), 6u);
  char buffer[32] = {};
  EXPECT_TRUE(platform::ReadFileHandle(file, buffer, 32, &done));
  EXPECT_EQ(std::string(buffer, done), "world");
  EXPECT_TRUE(platform::ReadFileHandle(file, buffer, 32, &done));
  EXPECT_EQ(done, 0u) << "at the end a read succeeds with nothing";

  // Past the end a write leaves a hole of zeros; the end can be moved both ways.
  EXPECT_EQ(platform::SetFilePosition(file, 2, nullptr, platform::kFileEnd), 13u);
  EXPECT_TRUE(platform::WriteFileHandle(file, "!", 1, &done));
  EXPECT_EQ(Get("rw"), std::string("hello world\0\0!", 14));
  EXPECT_EQ(platform::SetFilePosition(file, -9, nullptr, platform::kFileCurrent), 5u);
  EXPECT_TRUE(platform::SetFileEnd(file));
  EXPECT_EQ(Get("rw"), "hello");
  EXPECT_EQ(platform::SetFilePosition(file, 8, nullptr, platform::kFileBegin), 8u);
  EXPECT_TRUE(platform::SetFileEnd(file));
  EXPECT_EQ(Get("rw"), std::string("hello\0\0\0", 8));
  EXPECT_TRUE(platform::FlushFileHandle(file));

  platform::FileInformation information{};
  ASSERT_TRUE(platform::GetFileInformation(file, &information));
  EXPECT_EQ(information.size, 8u);
  EXPECT_EQ(information.numberOfLinks, 1u);
  EXPECT_EQ(information.attributes & platform::kFileAttributeDirectory, 0u);
  struct stat status {};
  ASSERT_EQ(::stat(Path("rw").c_str(), &status), 0);
  EXPECT_EQ(information.fileIndex, status.st_ino);
  // FILETIME counts 100 ns from 1601: the write time is this file's mtime.
  EXPECT_EQ(information.lastWriteTime / 10000000 - 11644473600ull, static_cast<std::uint64_t>(status.st_mtime));

  Handle reader(Open("rw", kRead));
  Handle writer(Open("rw", kWrite));
  ASSERT_TRUE(reader.IsOpen());
  ASSERT_TRUE(writer.IsOpen());
  EXPECT_EQ(Code(platform::WriteFileHandle(reader, "x", 1, &done)), platform::kErrorAccessDenied);
  EXPECT_EQ(Code(platform::SetFileEnd(reader)), platform::kErrorAccessDenied);
  EXPECT_EQ(Code(platform::FlushFileHandle(reader)), platform::kErrorAccessDenied);
  EXPECT_EQ(Code(platform::ReadFileHandle(writer, buffer, 1, &done)), platform::kErrorAccessDenied);
  // Each handle has its own position.
  EXPECT_TRUE(platform::ReadFileHandle(reader, buffer, 2, &done));
  EXPECT_TRUE(platform::WriteFileHandle(writer, "J", 1, &done));
  EXPECT_TRUE(platform::ReadFileHandle(reader, buffer, 1, &done));
  EXPECT_EQ(buffer[0], 'l');
  EXPECT_EQ(Get("rw")[0], 'J');
}

TEST(FileErrors, AFullDiskIs112) {
  Handle full(platform::CreateFileHandle(u"/dev/full", kWrite, kShareAll, platform::kOpenExisting, 0));
  ASSERT_TRUE(full.IsOpen());
  std::uint32_t written = 5;
  EXPECT_EQ(Code(platform::WriteFileHandle(full, "data", 4, &written)), platform::kErrorDiskFull);
  EXPECT_EQ(written, 0u);
}

TEST_F(FileTest, SeeksKeepTheSplitPositionRules) {
  Handle file(Open("seek", kReadWrite, 0, platform::kCreateNew));
  ASSERT_TRUE(file.IsOpen());
  ASSERT_EQ(platform::SetFilePosition(file, 100, nullptr, platform::kFileBegin), 100u);

  // Before the start: refused, the position stays.
  EXPECT_EQ(platform::SetFilePosition(file, -101, nullptr, platform::kFileCurrent), platform::kInvalidSetFilePointer);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorNegativeSeek);
  // Without a high word a position of 4 GiB or more cannot be answered.
  ASSERT_EQ(platform::SetFilePosition(file, 0x7FFFFFFF, nullptr, platform::kFileCurrent), 0x80000063u);
  EXPECT_EQ(platform::SetFilePosition(file, 0x7FFFFFFF, nullptr, platform::kFileCurrent),
            platform::kInvalidSetFilePointer);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorInvalidParameter);
  EXPECT_EQ(platform::SetFilePosition(file, 0, nullptr, platform::kFileCurrent), 0x80000063u);
  ASSERT_EQ(platform::SetFilePosition(file, 100, nullptr, platform::kFileBegin), 100u);
  EXPECT_EQ(platform::SetFilePosition(file, 0, nullptr, 3), platform::kInvalidSetFilePointer);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorInvalidParameter);

  // High:low, and a good position whose low word looks like the failure value: the last error says 0.
  std::int32_t high = 1;
  platform::SetLastErrorCode(platform::kErrorAccessDenied);
  EXPECT_EQ(platform::SetFilePosition(file, -1, &high, platform::kFileBegin), 0xFFFFFFFFu);
  EXPECT_EQ(high, 1);
  EXPECT_EQ(platform::GetLastErrorCode(), 0u);
  high = -1;  // -2 relative, in 64 bits
  EXPECT_EQ(platform::SetFilePosition(file, -2, &high, platform::kFileCurrent), 0xFFFFFFFDu);
  EXPECT_EQ(high, 1);
  high = 0;
  EXPECT_EQ(platform::SetFilePosition(file, 0, &high, platform::kFileEnd), 0u);
  EXPECT_EQ(high, 0);

  platform::SetLastErrorCode(0);
  EXPECT_EQ(platform::SetFilePosition(InvalidFileHandle(), 0, nullptr, platform::kFileBegin),
            platform::kInvalidSetFilePointer);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorInvalidHandle);
}

TEST_F(FileTest, ClosedAndForeignHandlesAreRefused) {
  FileHandle file = Open("c", kReadWrite, 0, platform::kCreateNew);
  ASSERT_NE(file, InvalidFileHandle());
  EXPECT_TRUE(platform::CloseFileHandle(file));
  EXPECT_EQ(Code(platform::CloseFileHandle(file)), platform::kErrorInvalidHandle);
  char byte;
  std::uint32_t done = 5;
  EXPECT_EQ(Code(platform::ReadFileHandle(file, &byte, 1, &done)), platform::kErrorInvalidHandle);
  EXPECT_EQ(done, 0u);
  int foreign = 0;
  EXPECT_EQ(Code(platform::WriteFileHandle(&foreign, "x", 1, &done)), platform::kErrorInvalidHandle);
  EXPECT_EQ(Code(platform::LockFileRange(nullptr, 0, 0, 1, 0)), platform::kErrorInvalidHandle);
}

TEST_F(FileTest, SharingModesRefuseConflictingOpensOfOneProcess) {
  struct Case {
    std::uint32_t firstAccess, firstShare, secondAccess, secondShare;
    bool secondOpens;
  };
  const std::uint32_t r = platform::kFileShareRead, w = platform::kFileShareWrite;
  const Case cases[] = {
      {kRead, r, kRead, r | w, true},
      {kRead, r, kWrite, r | w, false},  // the first shares no writing
      {kRead, r | w, kReadWrite, w, false},  // the second refuses the first's reading
      {kReadWrite, r | w, kRead, r, false},  // the second refuses writing, which the first does
      {kReadWrite, r | w, kReadWrite, r | w, true},
      {kRead, 0, kRead, kShareAll, false},
      {kRead, 0, 0, 0, true},  // attributes only: no data access, no sharing check
      {0, 0, kReadWrite, 0, true},
  };
  Put("shared", "content");
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.firstAccess << "/" << c.firstShare << " then "
                                    << c.secondAccess << "/" << c.secondShare);
    Handle first(Open("shared", c.firstAccess, c.firstShare));
    ASSERT_TRUE(first.IsOpen());
    Handle second(Open("shared", c.secondAccess, c.secondShare));
    EXPECT_EQ(second.IsOpen(), c.secondOpens);
    if (!c.secondOpens) {
      EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorSharingViolation);
    }
  }

  // A refused overwrite leaves the file as it was; once the holder closes, it goes through.
  {
    Handle reader(Open("shared", kRead, r));
    EXPECT_EQ(Open("shared", kReadWrite, r, platform::kCreateAlways), InvalidFileHandle());
    EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorSharingViolation);
    EXPECT_EQ(Get("shared"), "content");
  }
  Handle writer(Open("shared", kReadWrite, r, platform::kCreateAlways));
  EXPECT_TRUE(writer.IsOpen());
  EXPECT_EQ(Get("shared"), "");
}

TEST_F(FileTest, DeletingWaitsForShareDeleteAndReportsWhy) {
  Put("d", "x");
  {
    Handle open(Open("d", kRead, platform::kFileShareRead | platform::kFileShareWrite));
    EXPECT_EQ(Code(platform::DeleteFilePath(WidePath("d").c_str())), platform::kErrorSharingViolation);
    EXPECT_TRUE(Exists("d"));
  }
  {
    Handle open(Open("d", kRead, kShareAll));
    EXPECT_TRUE(platform::DeleteFilePath(WidePath("d").c_str()));
    EXPECT_FALSE(Exists("d"));
  }
  EXPECT_EQ(Code(platform::DeleteFilePath(WidePath("d").c_str())), platform::kErrorFileNotFound);
  EXPECT_EQ(Code(platform::DeleteFilePath(WidePath("nodir/d").c_str())), platform::kErrorPathNotFound);
}

TEST_F(FileTest, RangeLocksExcludeASecondHandle) {
  Put("lock", std::string(64, 'a'));
  Handle one(Open("lock", kReadWrite));
  Handle two(Open("lock", kReadWrite));
  ASSERT_TRUE(one.IsOpen() && two.IsOpen());

  ASSERT_TRUE(platform::LockFileRange(one, 10, 0, 10, 0));
  EXPECT_EQ(Code(platform::LockFileRange(two, 19, 0, 5, 0)), platform::kErrorLockViolation);
  EXPECT_EQ(Code(platform::LockFileRange(one, 5, 0, 6, 0)), platform::kErrorLockViolation) << "not twice, even own";
  EXPECT_TRUE(platform::LockFileRange(two, 20, 0, 5, 0)) << "touching ranges do not overlap";
  EXPECT_TRUE(platform::LockFileRange(two, 1000, 0, 10, 0)) << "past the end is lockable";
  // Locks are mandatory: the other handle can neither read nor write the range, its owner can.
  std::uint32_t done = 9;
  char buffer[8];
  ASSERT_EQ(platform::SetFilePosition(two, 8, nullptr, platform::kFileBegin), 8u);
  EXPECT_EQ(Code(platform::ReadFileHandle(two, buffer, 4, &done)), platform::kErrorLockViolation);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(Code(platform::WriteFileHandle(two, "bbbb", 4, &done)), platform::kErrorLockViolation);
  EXPECT_EQ(Get("lock"), std::string(64, 'a'));
  ASSERT_EQ(platform::SetFilePosition(one, 8, nullptr, platform::kFileBegin), 8u);
  EXPECT_TRUE(platform::WriteFileHandle(one, "cccc", 4, &done));

  // An unlock names exactly what was locked.
  EXPECT_EQ(Code(platform::UnlockFileRange(one, 10, 0, 5, 0)), platform::kErrorNotLocked);
  EXPECT_EQ(Code(platform::UnlockFileRange(two, 10, 0, 10, 0)), platform::kErrorNotLocked);
  EXPECT_TRUE(platform::UnlockFileRange(one, 10, 0, 10, 0));
  EXPECT_EQ(Code(platform::UnlockFileRange(one, 10, 0, 10, 0)), platform::kErrorNotLocked);
  EXPECT_TRUE(platform::LockFileRange(two, 10, 0, 10, 0));

  // Closing a handle drops its locks.
  platform::CloseFileHandle(two.h);
  two.h = InvalidFileHandle();
  EXPECT_TRUE(platform::LockFileRange(one, 0, 0, 2000, 0));
}

TEST_F(FileTest, SharedLocksCoexistAndStackOnTheirOwnersExclusiveOnes) {
  Put("shared-lock", std::string(16, 'a'));
  Handle one(Open("shared-lock", kReadWrite));
  Handle two(Open("shared-lock", kReadWrite));
  const std::uint32_t now = platform::kLockfileFailImmediately;
  const std::uint32_t exclusive = now | platform::kLockfileExclusiveLock;

  ASSERT_TRUE(platform::LockFileRangeEx(one, now, 0, 4));
  EXPECT_TRUE(platform::LockFileRangeEx(two, now, 2, 4));
  EXPECT_EQ(Code(platform::LockFileRangeEx(two, exclusive, 0, 1)), platform::kErrorLockViolation);
  std::uint32_t done = 0;
  char byte;
  EXPECT_TRUE(platform::ReadFileHandle(two, &byte, 1, &done)) << "a shared lock lets others read";
  EXPECT_EQ(Code(platform::WriteFileHandle(two, "b", 1, &done)), platform::kErrorLockViolation);
  EXPECT_TRUE(platform::UnlockFileRangeEx(one, 0, 4));
  EXPECT_TRUE(platform::UnlockFileRangeEx(two, 2, 4));

  // A shared lock inside its owner's exclusive one, then released: the exclusive lock must still hold whole.
  ASSERT_TRUE(platform::LockFileRangeEx(one, exclusive, 0, 10));
  ASSERT_TRUE(platform::LockFileRangeEx(one, now, 3, 2));
  EXPECT_EQ(Code(platform::LockFileRangeEx(two, now, 3, 1)), platform::kErrorLockViolation);
  ASSERT_TRUE(platform::UnlockFileRangeEx(one, 3, 2));
  EXPECT_EQ(Code(platform::LockFileRangeEx(two, now, 3, 1)), platform::kErrorLockViolation);
  EXPECT_EQ(Code(platform::LockFileRangeEx(two, now, 9, 1)), platform::kErrorLockViolation);
  // The other way round: the exclusive one goes, the shared part stays shared.
  ASSERT_TRUE(platform::LockFileRangeEx(one, now, 3, 2));
  ASSERT_TRUE(platform::UnlockFileRangeEx(one, 0, 10));
  EXPECT_TRUE(platform::LockFileRangeEx(two, now, 0, 3));
  EXPECT_TRUE(platform::LockFileRangeEx(two, now, 3, 1));
  EXPECT_EQ(Code(platform::LockFileRangeEx(two, exclusive, 4, 1)), platform::kErrorLockViolation);
  EXPECT_TRUE(platform::LockFileRangeEx(two, exclusive, 5, 5));

  // A read-only handle locks too; a handle without data access cannot.
  Handle reader(Open("shared-lock", kRead));
  EXPECT_TRUE(platform::LockFileRange(reader, 100, 0, 1, 0));
  EXPECT_EQ(Code(platform::LockFileRange(one, 100, 0, 1, 0)), platform::kErrorLockViolation);
  Handle query(Open("shared-lock", 0));
  EXPECT_EQ(Code(platform::LockFileRange(query, 200, 0, 1, 0)), platform::kErrorAccessDenied);
}

TEST_F(FileTest, WholeFileRangesAndEmptyRanges) {
  Put("whole", "abc");
  Handle one(Open("whole", kReadWrite));
  Handle two(Open("whole", kReadWrite));
  // The largest range there is: offset 0, every length bit set.
  ASSERT_TRUE(platform::LockFileRange(one, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF));
  EXPECT_EQ(Code(platform::LockFileRange(two, 0, 1, 1, 0)), platform::kErrorLockViolation);
  EXPECT_EQ(Code(platform::LockFileRange(two, 0xFFFFFFF0, 0x7FFF0000, 1, 0)), platform::kErrorLockViolation);
  // The whole-file lock does not stop another handle from opening the file.
  Handle three(Open("whole", kRead));
  EXPECT_TRUE(three.IsOpen());
  // A lock of no bytes meets nothing, and is released like any other.
  EXPECT_TRUE(platform::LockFileRange(two, 1, 0, 0, 0));
  EXPECT_TRUE(platform::UnlockFileRange(two, 1, 0, 0, 0));
  EXPECT_TRUE(platform::UnlockFileRange(one, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF));
  EXPECT_TRUE(platform::LockFileRange(two, 0, 1, 1, 0));
}

TEST_F(FileTest, SharingAndLocksHoldAgainstAnotherProcess) {
  Put("other", std::string(32, 'a'));
  const std::u16string path = WidePath("other");
  FileHandle held = InvalidFileHandle();
  OtherProcess other({
      [&] {  // open for reading, sharing reading only
        held = platform::CreateFileHandle(path.c_str(), kRead, platform::kFileShareRead, platform::kOpenExisting, 0);
        return Code(held != InvalidFileHandle());
      },
      [&] { return Code(platform::LockFileRange(held, 4, 0, 4, 0)); },
      [&] { return Code(platform::UnlockFileRange(held, 4, 0, 4, 0)); },
      [&] { return Code(platform::CloseFileHandle(held)); },
  });
  ASSERT_EQ(other.Step(), 0u);
  EXPECT_EQ(Open("other", kReadWrite), InvalidFileHandle());
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorSharingViolation);
  EXPECT_EQ(Code(platform::DeleteFilePath(path.c_str())), platform::kErrorSharingViolation);
  Handle reader(Open("other", kRead, platform::kFileShareRead));
  ASSERT_TRUE(reader.IsOpen());

  ASSERT_EQ(other.Step(), 0u);
  EXPECT_EQ(Code(platform::LockFileRange(reader, 7, 0, 2, 0)), platform::kErrorLockViolation);
  EXPECT_TRUE(platform::LockFileRange(reader, 8, 0, 2, 0));
  char buffer[8];
  std::uint32_t done = 0;
  EXPECT_EQ(Code(platform::ReadFileHandle(reader, buffer, 5, &done)), platform::kErrorLockViolation);
  ASSERT_EQ(other.Step(), 0u);
  EXPECT_TRUE(platform::LockFileRange(reader, 4, 0, 4, 0));
  EXPECT_EQ(Open("other", kWrite), InvalidFileHandle()) << "this process shares no writing either";

  ASSERT_EQ(other.Step(), 0u);
  platform::CloseFileHandle(reader.h);
  reader.h = InvalidFileHandle();
  Handle writer(Open("other", kReadWrite, 0));
  EXPECT_TRUE(writer.IsOpen());
}

TEST_F(FileTest, AWaitingLockIsGrantedWhenAnotherProcessLetsGo) {
  Put("wait", "ab");
  const std::u16string path = WidePath("wait");
  FileHandle held = InvalidFileHandle();
  OtherProcess other({
      [&] {
        held = platform::CreateFileHandle(path.c_str(), kRead, kShareAll, platform::kOpenExisting, 0);
        return Code(platform::LockFileRangeEx(held, platform::kLockfileFailImmediately, 0, 1));
      },
      [&] { return Code(platform::UnlockFileRangeEx(held, 0, 1)); },
  });
  ASSERT_EQ(other.Step(), 0u);
  Handle mine(Open("wait", kReadWrite));
  // A second shared lock is granted at once; the exclusive one waits for the shared lock elsewhere.
  EXPECT_TRUE(platform::LockFileRangeEx(mine, platform::kLockfileFailImmediately, 0, 1));
  EXPECT_TRUE(platform::UnlockFileRangeEx(mine, 0, 1));
  std::atomic<bool> granted{false};
  std::thread waiter([&] { granted = platform::LockFileRangeEx(mine, platform::kLockfileExclusiveLock, 0, 2); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(granted.load());
  EXPECT_EQ(other.Step(), 0u);
  waiter.join();
  EXPECT_TRUE(granted.load());
}

TEST(FileEntries, TheEntriesLookedUpByNameAreAbsent) {
  // The stream takes its path for a missing entry when these lookups answer null.
  platform::ModuleHandle kernel = platform::FindLoadedModule(u"kernel32.dll");
  EXPECT_EQ(kernel, nullptr);
  EXPECT_EQ(platform::FindModuleEntry(kernel, "SetFileValidData"), nullptr);
  platform::ModuleHandle ntdll = platform::LoadModule(u"NTDLL.dll");
  EXPECT_EQ(ntdll, nullptr);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorModNotFound);
  EXPECT_EQ(platform::FindModuleEntry(ntdll, "NtQueryInformationFile"), nullptr);
}

}  // namespace
