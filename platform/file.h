// Files through handles, with the rules of the Windows file calls that the driver's file stream relies on: the five
// creation dispositions, access rights and sharing modes that refuse a conflicting open with 32 (also from another
// process), byte-range locks that exclude every other handle with 33, SetFilePointer's split 64-bit positions, and a
// Windows error code in the last-error value for every failure. Whoever opens a handle owns it and closes it with
// CloseFileHandle; the functions that take a name open nothing that outlives the call.
#pragma once

#include <cstdint>

namespace platform {

// A HANDLE on Windows; on POSIX a record of the layer's own. Never null when valid.
using FileHandle = void*;

// INVALID_HANDLE_VALUE: what a failed open answers.
inline FileHandle InvalidFileHandle() { return reinterpret_cast<FileHandle>(~std::uintptr_t{0}); }

enum : std::uint32_t {
  // Access rights.
  kGenericRead = 0x80000000u,
  kGenericWrite = 0x40000000u,
  // Sharing modes: what other handles on the same file may do while this one is open.
  kFileShareRead = 1,
  kFileShareWrite = 2,
  kFileShareDelete = 4,
  // Dispositions.
  kCreateNew = 1,
  kCreateAlways = 2,
  kOpenExisting = 3,
  kOpenAlways = 4,
  kTruncateExisting = 5,
  // Attributes, and the flags that go with them into CreateFileHandle.
  kFileAttributeReadonly = 0x1,
  kFileAttributeDirectory = 0x10,
  kFileAttributeArchive = 0x20,
  kFileAttributeNormal = 0x80,
  kInvalidFileAttributes = 0xFFFFFFFFu,
  kFileFlagBackupSemantics = 0x02000000,
  kFileFlagRandomAccess = 0x10000000,
  // Seek origins.
  kFileBegin = 0,
  kFileCurrent = 1,
  kFileEnd = 2,
  kInvalidSetFilePointer = 0xFFFFFFFFu,
  // LockFileRangeEx flags.
  kLockfileFailImmediately = 1,
  kLockfileExclusiveLock = 2,
};

// CreateFileW without security attributes or template. Success sets the last error to 183 when CREATE_ALWAYS or
// OPEN_ALWAYS found the file there, else to 0. Failures: 2 or 3 (missing file or directory), 5 (a directory, a
// read-only file opened for writing or overwritten), 32 (a sharing violation), 80 (CREATE_NEW on an existing file),
// 87 (no such disposition, TRUNCATE_EXISTING without GENERIC_WRITE).
FileHandle CreateFileHandle(const char16_t* name, std::uint32_t access, std::uint32_t share, std::uint32_t disposition,
                            std::uint32_t flagsAndAttributes);

// CloseHandle: also releases every byte-range lock the handle holds. A handle that is not open: false, 6.
bool CloseFileHandle(FileHandle file);

// ReadFile at the handle's position. Reading at or past the end succeeds with fewer bytes (0 at the end). Fails with
// 5 without GENERIC_READ and with 33 when another handle holds an exclusive lock on part of the range.
bool ReadFileHandle(FileHandle file, void* buffer, std::uint32_t count, std::uint32_t* read);

// WriteFile at the handle's position; writing past the end grows the file. Fails with 5 without GENERIC_WRITE, 33
// when another handle holds any lock on part of the range, 112 when the disk is full (*written tells what went).
bool WriteFileHandle(FileHandle file, const void* buffer, std::uint32_t count, std::uint32_t* written);

// SetFilePointer: with high null the distance is the sign-extended low word and the new position must fit 32 bits;
// with high the distance is high:low and *high receives the new position's high word. Answers the low word, or
// 0xFFFFFFFF with the last error set on failure (131 before the start, 87 for a bad origin). A success whose low word
// is 0xFFFFFFFF sets the last error to 0, so that callers can tell it from a failure.
std::uint32_t SetFilePosition(FileHandle file, std::int32_t low, std::int32_t* high, std::uint32_t method);

// SetEndOfFile: the file ends at the handle's position (shorter or longer). Needs GENERIC_WRITE (else 5).
bool SetFileEnd(FileHandle file);

// FlushFileBuffers. Needs GENERIC_WRITE (else 5).
bool FlushFileHandle(FileHandle file);

// LockFile: an exclusive lock that fails at once (33) when any handle, this one included, holds a lock that overlaps.
bool LockFileRange(FileHandle file, std::uint32_t offsetLow, std::uint32_t offsetHigh, std::uint32_t lengthLow,
                   std::uint32_t lengthHigh);

// UnlockFile: releases a lock this handle took with exactly this offset and length (else 158).
bool UnlockFileRange(FileHandle file, std::uint32_t offsetLow, std::uint32_t offsetHigh, std::uint32_t lengthLow,
                     std::uint32_t lengthHigh);

// LockFileEx at the offset an OVERLAPPED would carry. Exclusive (flag 2) or shared; shared locks overlap each other
// and this handle's own exclusive ones. Without kLockfileFailImmediately the call waits until the lock is granted.
bool LockFileRangeEx(FileHandle file, std::uint32_t flags, std::uint64_t offset, std::uint64_t length);

// UnlockFileEx.
bool UnlockFileRangeEx(FileHandle file, std::uint64_t offset, std::uint64_t length);

// What GetFileInformationByHandle tells, with its high and low words joined. Times are FILETIME values (100 ns since
// 1601).
struct FileInformation {
  std::uint32_t attributes;
  std::uint64_t creationTime;
  std::uint64_t lastAccessTime;
  std::uint64_t lastWriteTime;
  std::uint32_t volumeSerialNumber;
  std::uint64_t size;
  std::uint32_t numberOfLinks;
  std::uint64_t fileIndex;
};

// GetFileInformationByHandle.
bool GetFileInformation(FileHandle file, FileInformation* information);

// GetFileAttributesW: kInvalidFileAttributes with 2 or 3 when the name leads nowhere.
std::uint32_t FileAttributes(const char16_t* path);

// DeleteFileW: fails with 5 for a directory or a read-only file, 32 while a handle without FILE_SHARE_DELETE is open.
bool DeleteFilePath(const char16_t* path);

}  // namespace platform
