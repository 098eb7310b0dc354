#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/last_error.h"
#include "platform/posix/error_code.h"
#include "platform/posix/file_status.h"
#include "platform/posix/native_path.h"

// How Windows file semantics are emulated here.
//
// Every handle is its own open(2), so it has its own position and its own open file description, and all locking
// uses open-file-description locks (F_OFD_*): they belong to the description, not to the process, so they exclude a
// second handle in the same process as well as one in another process, and closing one descriptor of a file does not
// drop the locks of another (as classic record locks would).
//
// Byte-range locks: a handle's locks are kept in a list beside the kernel's, because Windows rules differ from the
// kernel's for locks of the same handle: a handle cannot lock a range twice exclusively, a shared lock may sit inside
// its own exclusive one, and each lock is released by an unlock of exactly its offset and length. The kernel holds,
// for each byte, the strongest lock the handle has on it. Locks are mandatory as on Windows: a read fails with 33
// where another handle holds an exclusive lock, a write where another handle holds any lock. (A handle's own shared
// lock does not stop its own writes here, as it would on Windows.)
//
// Sharing modes: the last bytes of the largest offset are reserved. An open with data access takes a shared lock on
// one byte for each right it uses (read, write) and on one byte for each right it refuses to others, then looks for
// another description's lock on the opposite bytes: someone refusing what it uses, or using what it refuses, makes
// the open fail with 32. Taking before looking means that two conflicting opens racing each other may both fail, but
// never both succeed. Deleting a file takes the delete byte the same way. Lock ranges of callers are cut where the
// reserved bytes begin.
//
// A file the process may not open for both reading and writing is opened for what it may: its exclusive range locks
// are then held as shared kernel locks, and a write-only one takes part in no sharing check.

namespace platform {

namespace {

constexpr off_t kShareBase = std::numeric_limits<off_t>::max() - 63;
constexpr std::uint32_t kUseRead = 1, kUseWrite = 2, kUseDelete = 4;  // the bits of the FILE_SHARE_* flags
off_t UseByte(int right) { return kShareBase + right; }
off_t RefuseByte(int right) { return kShareBase + 3 + right; }

struct HeldLock {
  std::uint64_t offset;  // as asked: an unlock must name exactly these
  std::uint64_t length;
  off_t start;  // the kernel range [start, end); empty for a lock of no bytes
  off_t end;
  bool exclusive;
};

struct OpenFile {
  int fd = -1;
  std::uint32_t access = 0;
  bool readable = false;  // the descriptor's own mode, which the kernel's lock types need
  bool writable = false;
  std::mutex lockList;  // a lock may wait in one thread while another thread unlocks through the same handle
  std::vector<HeldLock> locks;
};

// Open handles, so that a closed or foreign handle is refused with 6 instead of being used.
struct Registry {
  std::mutex mutex;
  std::unordered_set<OpenFile*> files;
};

Registry& Files() {
  static Registry* registry = new Registry;  // never destroyed: handles may be closed by static destructors
  return *registry;
}

OpenFile* Find(FileHandle handle) {
  Registry& registry = Files();
  std::lock_guard<std::mutex> guard(registry.mutex);
  auto* file = static_cast<OpenFile*>(handle);
  if (registry.files.count(file) != 0) return file;
  SetLastErrorCode(kErrorInvalidHandle);
  return nullptr;
}

bool Fail(std::uint32_t code) {
  SetLastErrorCode(code);
  return false;
}

FileHandle FailOpen(std::uint32_t code) {
  SetLastErrorCode(code);
  return InvalidFileHandle();
}

bool KernelLock(int fd, short type, off_t start, off_t end, bool wait) {
  if (start >= end) return true;
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = start;
  lock.l_len = end - start;
  while (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// Whether another description holds a lock on [start, end) that a lock of this type would meet.
bool HeldByOther(int fd, short type, off_t start, off_t end) {
  if (start >= end) return false;
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = start;
  lock.l_len = end - start;
  if (::fcntl(fd, F_OFD_GETLK, &lock) != 0) return false;  // cannot tell: the call goes on as without locks
  return lock.l_type != F_UNLCK;
}

// The range a transfer of count bytes at the position touches, as far as locks can cover it.
bool TransferMeetsLock(const OpenFile& file, short type, std::uint32_t count) {
  const off_t at = ::lseek(file.fd, 0, SEEK_CUR);
  if (at < 0 || at >= kShareBase) return false;
  return HeldByOther(file.fd, type, at, std::min<off_t>(kShareBase, at + static_cast<off_t>(count)));
}

bool ClaimShare(int fd, std::uint32_t use, std::uint32_t refuse) {
  for (int right = 0; right < 3; ++right) {
    const std::uint32_t bit = 1u << right;
    if (use & bit) KernelLock(fd, F_RDLCK, UseByte(right), UseByte(right) + 1, false);
    if (refuse & bit) KernelLock(fd, F_RDLCK, RefuseByte(right), RefuseByte(right) + 1, false);
  }
  for (int right = 0; right < 3; ++right) {
    const std::uint32_t bit = 1u << right;
    if ((use & bit) && HeldByOther(fd, F_WRLCK, RefuseByte(right), RefuseByte(right) + 1)) return false;
    if ((refuse & bit) && HeldByOther(fd, F_WRLCK, UseByte(right), UseByte(right) + 1)) return false;
  }
  return true;
}

// Opens a file that is there, for reading and writing whenever the process may (locks of both kinds need it), else
// for what the access asks.
int OpenExisting(const std::string& path, bool directory, std::uint32_t access, OpenFile& file) {
  if (directory) {
    file.readable = true;
    return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  }
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (fd >= 0) {
    file.readable = file.writable = true;
    return fd;
  }
  if (errno != EACCES && errno != EPERM && errno != EROFS && errno != ETXTBSY) return -1;
  if ((access & kGenericRead) && (access & kGenericWrite)) return -1;
  file.writable = (access & kGenericWrite) != 0;
  file.readable = !file.writable;
  return ::open(path.c_str(), (file.writable ? O_WRONLY : O_RDONLY) | O_CLOEXEC | O_NOCTTY);
}

FileHandle Register(std::unique_ptr<OpenFile> file) {
  Registry& registry = Files();
  std::lock_guard<std::mutex> guard(registry.mutex);
  registry.files.insert(file.get());
  return file.release();
}

short ExclusiveType(const OpenFile& file) { return file.writable ? F_WRLCK : F_RDLCK; }

bool Overlap(const HeldLock& lock, off_t start, off_t end) {
  return lock.start < lock.end && start < end && lock.start < end && start < lock.end;
}

// Brings the kernel's lock on [start, end) back to what this handle still holds there: for each piece the strongest
// of its locks over it. It only ever lowers a lock, which the kernel never refuses.
void Resync(OpenFile& file, off_t start, off_t end) {
  std::vector<off_t> cuts{start, end};
  for (const HeldLock& lock : file.locks) {
    if (lock.start > start && lock.start < end) cuts.push_back(lock.start);
    if (lock.end > start && lock.end < end) cuts.push_back(lock.end);
  }
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
    short type = F_UNLCK;
    for (const HeldLock& lock : file.locks) {
      if (lock.start < lock.end && lock.start <= cuts[i] && lock.end >= cuts[i + 1]) {
        if (lock.exclusive) type = ExclusiveType(file);
        else if (type == F_UNLCK) type = F_RDLCK;
      }
    }
    KernelLock(file.fd, type, cuts[i], cuts[i + 1], false);
  }
}

// The parts of [start, end) that none of this handle's locks covers yet.
std::vector<std::pair<off_t, off_t>> Uncovered(const OpenFile& file, off_t start, off_t end) {
  std::vector<std::pair<off_t, off_t>> own;
  for (const HeldLock& lock : file.locks) {
    if (Overlap(lock, start, end)) own.emplace_back(std::max(lock.start, start), std::min(lock.end, end));
  }
  std::sort(own.begin(), own.end());
  std::vector<std::pair<off_t, off_t>> result;
  off_t at = start;
  for (const auto& [from, to] : own) {
    if (from > at) result.emplace_back(at, from);
    at = std::max(at, to);
  }
  if (at < end) result.emplace_back(at, end);
  return result;
}

bool Lock(FileHandle handle, bool exclusive, bool wait, std::uint64_t offset, std::uint64_t length) {
  OpenFile* file = Find(handle);
  if (!file) return false;
  if (!(file->access & (kGenericRead | kGenericWrite))) return Fail(kErrorAccessDenied);
  if (offset >= static_cast<std::uint64_t>(kShareBase)) return Fail(kErrorInvalidParameter);
  const std::uint64_t last = length > ~std::uint64_t{0} - offset ? ~std::uint64_t{0} : offset + length;
  HeldLock held{offset, length, static_cast<off_t>(offset),
                static_cast<off_t>(std::min<std::uint64_t>(last, static_cast<std::uint64_t>(kShareBase))), exclusive};
  // A lock of no bytes meets nothing and is only remembered for its unlock.
  if (exclusive) {
    {
      std::lock_guard<std::mutex> guard(file->lockList);
      for (const HeldLock& lock : file->locks) {
        // Waiting for one's own lock would never end: refused as when asked to fail at once.
        if (Overlap(lock, held.start, held.end)) return Fail(kErrorLockViolation);
      }
    }
    if (!KernelLock(file->fd, ExclusiveType(*file), held.start, held.end, wait)) {
      return Fail(errno == EAGAIN || errno == EACCES ? kErrorLockViolation : posix::WindowsErrorOf(errno));
    }
  } else {
    std::vector<std::pair<off_t, off_t>> pieces;
    {
      std::lock_guard<std::mutex> guard(file->lockList);
      pieces = Uncovered(*file, held.start, held.end);
    }
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      if (!KernelLock(file->fd, F_RDLCK, pieces[i].first, pieces[i].second, wait)) {
        const int error = errno;
        for (std::size_t k = 0; k < i; ++k) KernelLock(file->fd, F_UNLCK, pieces[k].first, pieces[k].second, false);
        return Fail(error == EAGAIN || error == EACCES ? kErrorLockViolation : posix::WindowsErrorOf(error));
      }
    }
  }
  std::lock_guard<std::mutex> guard(file->lockList);
  file->locks.push_back(held);
  return true;
}

bool Unlock(FileHandle handle, std::uint64_t offset, std::uint64_t length) {
  OpenFile* file = Find(handle);
  if (!file) return false;
  std::lock_guard<std::mutex> guard(file->lockList);
  const auto found = std::find_if(file->locks.begin(), file->locks.end(), [&](const HeldLock& lock) {
    return lock.offset == offset && lock.length == length;
  });
  if (found == file->locks.end()) return Fail(kErrorNotLocked);
  const off_t start = found->start, end = found->end;
  file->locks.erase(found);
  if (start < end) Resync(*file, start, end);
  return true;
}

std::uint64_t Join(std::uint32_t low, std::uint32_t high) { return (std::uint64_t{high} << 32) | low; }

}  // namespace

FileHandle CreateFileHandle(const char16_t* name, std::uint32_t access, std::uint32_t share, std::uint32_t disposition,
                            std::uint32_t flagsAndAttributes) {
  if (!name || disposition < kCreateNew || disposition > kTruncateExisting ||
      (disposition == kTruncateExisting && !(access & kGenericWrite))) {
    return FailOpen(kErrorInvalidParameter);
  }
  const std::string path = posix::NativePath(name);
  if (path.empty()) return FailOpen(kErrorPathNotFound);
  const bool overwrites = disposition == kCreateAlways || disposition == kTruncateExisting;

  // A file that appears or goes between the look and the open sends the decision round again.
  for (int attempt = 0; attempt < 16; ++attempt) {
    struct stat info {};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    if (!exists && errno != ENOENT) {
      posix::SetLastErrorForPath(errno, path);
      return InvalidFileHandle();
    }
    const bool directory = exists && S_ISDIR(info.st_mode);
    if (exists) {
      if (disposition == kCreateNew) return FailOpen(kErrorFileExists);
      if (directory && (!(flagsAndAttributes & kFileFlagBackupSemantics) || (access & kGenericWrite) || overwrites)) {
        return FailOpen(kErrorAccessDenied);
      }
      if (posix::IsReadOnly(info.st_mode) && ((access & kGenericWrite) || overwrites)) {
        return FailOpen(kErrorAccessDenied);
      }
    } else if (disposition == kOpenExisting || disposition == kTruncateExisting) {
      posix::SetLastErrorForPath(ENOENT, path);
      return InvalidFileHandle();
    }

    auto file = std::make_unique<OpenFile>();
    file->access = access;
    int fd;
    if (exists) {
      fd = OpenExisting(path, directory, access, *file);
    } else {
      const mode_t mode = (flagsAndAttributes & kFileAttributeReadonly) ? 0444 : 0666;
      fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
      file->readable = file->writable = true;
    }
    if (fd < 0) {
      if ((exists && errno == ENOENT) || (!exists && errno == EEXIST)) continue;
      posix::SetLastErrorForPath(errno, path);
      return InvalidFileHandle();
    }
    file->fd = fd;

    // An open without data access (attributes only) neither meets nor sets sharing modes, as on Windows.
    const std::uint32_t use = (access & kGenericRead ? kUseRead : 0u) | (access & kGenericWrite ? kUseWrite : 0u);
    if (use != 0 && file->readable && !ClaimShare(fd, use, ~share & (kUseRead | kUseWrite | kUseDelete))) {
      ::close(fd);
      return FailOpen(kErrorSharingViolation);
    }
    if (exists && overwrites && ::ftruncate(fd, 0) != 0) {
      const int error = errno;
      ::close(fd);
      return FailOpen(posix::WindowsErrorOf(error));
    }
    SetLastErrorCode(exists && (disposition == kCreateAlways || disposition == kOpenAlways) ? kErrorAlreadyExists
                                                                                              : kErrorSuccess);
    return Register(std::move(file));
  }
  return FailOpen(kErrorSharingViolation);
}

bool CloseFileHandle(FileHandle handle) {
  auto* file = static_cast<OpenFile*>(handle);
  {
    Registry& registry = Files();
    std::lock_guard<std::mutex> guard(registry.mutex);
    if (registry.files.erase(file) == 0) return Fail(kErrorInvalidHandle);
  }
  ::close(file->fd);  // drops the description's locks and its sharing bytes
  delete file;
  return true;
}

bool ReadFileHandle(FileHandle handle, void* buffer, std::uint32_t count, std::uint32_t* read) {
  if (read) *read = 0;
  OpenFile* file = Find(handle);
  if (!file) return false;
  if (!(file->access & kGenericRead)) return Fail(kErrorAccessDenied);
  if (count == 0) return true;
  if (!buffer) return Fail(kErrorInvalidParameter);
  if (TransferMeetsLock(*file, F_RDLCK, count)) return Fail(kErrorLockViolation);
  std::uint32_t total = 0;
  while (total < count) {
    const ssize_t n = ::read(file->fd, static_cast<char*>(buffer) + total, count - total);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (read) *read = total;
      return Fail(errno == EISDIR ? kErrorInvalidFunction : posix::WindowsErrorOf(errno));
    }
    if (n == 0) break;
    total += static_cast<std::uint32_t>(n);
  }
  if (read) *read = total;
  return true;
}

bool WriteFileHandle(FileHandle handle, const void* buffer, std::uint32_t count, std::uint32_t* written) {
  if (written) *written = 0;
  OpenFile* file = Find(handle);
  if (!file) return false;
  if (!(file->access & kGenericWrite)) return Fail(kErrorAccessDenied);
  if (count == 0) return true;
  if (!buffer) return Fail(kErrorInvalidParameter);
  if (TransferMeetsLock(*file, F_WRLCK, count)) return Fail(kErrorLockViolation);
  std::uint32_t total = 0;
  while (total < count) {
    const ssize_t n = ::write(file->fd, static_cast<const char*>(buffer) + total, count - total);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      if (written) *written = total;
      return Fail(n == 0 ? kErrorDiskFull : posix::WindowsErrorOf(errno));
    }
    total += static_cast<std::uint32_t>(n);
  }
  if (written) *written = total;
  return true;
}

std::uint32_t SetFilePosition(FileHandle handle, std::int32_t low, std::int32_t* high, std::uint32_t method) {
  OpenFile* file = Find(handle);
  if (!file) return kInvalidSetFilePointer;
  const std::int64_t distance =
      high ? static_cast<std::int64_t>(Join(static_cast<std::uint32_t>(low), static_cast<std::uint32_t>(*high)))
           : std::int64_t{low};
  off_t base;
  switch (method) {
    case kFileBegin:
      base = 0;
      break;
    case kFileCurrent:
      base = ::lseek(file->fd, 0, SEEK_CUR);
      break;
    case kFileEnd: {
      struct stat info {};
      base = ::fstat(file->fd, &info) == 0 ? info.st_size : -1;
      break;
    }
    default:
      SetLastErrorCode(kErrorInvalidParameter);
      return kInvalidSetFilePointer;
  }
  if (base < 0) {
    posix::SetLastErrorFromErrno(errno);
    return kInvalidSetFilePointer;
  }
  std::int64_t position;
  if (__builtin_add_overflow(std::int64_t{base}, distance, &position) || position < 0) {
    SetLastErrorCode(kErrorNegativeSeek);
    return kInvalidSetFilePointer;
  }
  // Without a high word the caller could not hold a larger position: Windows refuses the move.
  if (!high && position > 0xFFFFFFFFll) {
    SetLastErrorCode(kErrorInvalidParameter);
    return kInvalidSetFilePointer;
  }
  if (::lseek(file->fd, position, SEEK_SET) < 0) {
    posix::SetLastErrorFromErrno(errno);
    return kInvalidSetFilePointer;
  }
  if (high) *high = static_cast<std::int32_t>(static_cast<std::uint64_t>(position) >> 32);
  const auto result = static_cast<std::uint32_t>(position);
  if (result == kInvalidSetFilePointer) SetLastErrorCode(kErrorSuccess);
  return result;
}

bool SetFileEnd(FileHandle handle) {
  OpenFile* file = Find(handle);
  if (!file) return false;
  if (!(file->access & kGenericWrite)) return Fail(kErrorAccessDenied);
  const off_t at = ::lseek(file->fd, 0, SEEK_CUR);
  if (at < 0 || ::ftruncate(file->fd, at) != 0) return Fail(posix::WindowsErrorOf(errno));
  return true;
}

bool FlushFileHandle(FileHandle handle) {
  OpenFile* file = Find(handle);
  if (!file) return false;
  if (!(file->access & kGenericWrite)) return Fail(kErrorAccessDenied);
  if (::fsync(file->fd) != 0) return Fail(posix::WindowsErrorOf(errno));
  return true;
}

bool LockFileRange(FileHandle file, std::uint32_t offsetLow, std::uint32_t offsetHigh, std::uint32_t lengthLow,
                   std::uint32_t lengthHigh) {
  return Lock(file, true, false, Join(offsetLow, offsetHigh), Join(lengthLow, lengthHigh));
}

bool UnlockFileRange(FileHandle file, std::uint32_t offsetLow, std::uint32_t offsetHigh, std::uint32_t lengthLow,
                     std::uint32_t lengthHigh) {
  return Unlock(file, Join(offsetLow, offsetHigh), Join(lengthLow, lengthHigh));
}

bool LockFileRangeEx(FileHandle file, std::uint32_t flags, std::uint64_t offset, std::uint64_t length) {
  return Lock(file, (flags & kLockfileExclusiveLock) != 0, (flags & kLockfileFailImmediately) == 0, offset, length);
}

bool UnlockFileRangeEx(FileHandle file, std::uint64_t offset, std::uint64_t length) {
  return Unlock(file, offset, length);
}

bool GetFileInformation(FileHandle handle, FileInformation* information) {
  OpenFile* file = Find(handle);
  if (!file) return false;
  if (!information) return Fail(kErrorInvalidParameter);
  struct statx status {};
  if (::statx(file->fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &status) != 0) {
    return Fail(posix::WindowsErrorOf(errno));
  }
  // Without a birth time the last status change is the nearest the file system keeps.
  const struct statx_timestamp& born = (status.stx_mask & STATX_BTIME) ? status.stx_btime : status.stx_ctime;
  information->attributes = posix::AttributesOf(status.stx_mode);
  information->creationTime = posix::FileTimeOf(born.tv_sec, born.tv_nsec);
  information->lastAccessTime = posix::FileTimeOf(status.stx_atime.tv_sec, status.stx_atime.tv_nsec);
  information->lastWriteTime = posix::FileTimeOf(status.stx_mtime.tv_sec, status.stx_mtime.tv_nsec);
  information->volumeSerialNumber = posix::VolumeSerialOf(makedev(status.stx_dev_major, status.stx_dev_minor));
  information->size = status.stx_size;
  information->numberOfLinks = status.stx_nlink;
  information->fileIndex = status.stx_ino;
  return true;
}

std::uint32_t FileAttributes(const char16_t* path) {
  const std::string native = posix::NativePath(path);
  struct stat info {};
  if (native.empty()) {
    SetLastErrorCode(kErrorPathNotFound);
    return kInvalidFileAttributes;
  }
  if (::stat(native.c_str(), &info) != 0) {
    posix::SetLastErrorForPath(errno, native);
    return kInvalidFileAttributes;
  }
  return posix::AttributesOf(info.st_mode);
}

bool DeleteFilePath(const char16_t* path) {
  const std::string native = posix::NativePath(path);
  if (native.empty()) return Fail(kErrorPathNotFound);
  struct stat info {};
  if (::lstat(native.c_str(), &info) != 0) {
    posix::SetLastErrorForPath(errno, native);
    return false;
  }
  if (S_ISDIR(info.st_mode) || posix::IsReadOnly(info.st_mode)) return Fail(kErrorAccessDenied);
  // Deleting uses the file's delete right: refused while a handle that does not share it is open. A file this
  // process cannot open at all is deleted without the check (the directory decides).
  const int fd = S_ISREG(info.st_mode) ? ::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW) : -1;
  if (fd >= 0 && !ClaimShare(fd, kUseDelete, 0)) {
    ::close(fd);
    return Fail(kErrorSharingViolation);
  }
  const bool removed = ::unlink(native.c_str()) == 0;
  const int error = errno;
  if (fd >= 0) ::close(fd);
  if (!removed) {
    posix::SetLastErrorForPath(error, native);
    return false;
  }
  return true;
}

}  // namespace platform
