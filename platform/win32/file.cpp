#include "platform/file.h"

#include <windows.h>

namespace platform {

static_assert(sizeof(char16_t) == sizeof(wchar_t));

namespace {
const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED overlapped{};
  overlapped.Offset = static_cast<DWORD>(offset);
  overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return overlapped;
}

std::uint64_t Join(DWORD low, DWORD high) { return (std::uint64_t{high} << 32) | low; }
}  // namespace

FileHandle CreateFileHandle(const char16_t* name, std::uint32_t access, std::uint32_t share, std::uint32_t disposition,
                            std::uint32_t flagsAndAttributes) {
  return ::CreateFileW(Wide(name), access, share, nullptr, disposition, flagsAndAttributes, nullptr);
}

bool CloseFileHandle(FileHandle file) { return ::CloseHandle(file) != FALSE; }

bool ReadFileHandle(FileHandle file, void* buffer, std::uint32_t count, std::uint32_t* read) {
  DWORD done = 0;
  const BOOL ok = ::ReadFile(file, buffer, count, &done, nullptr);
  if (read) *read = done;
  return ok != FALSE;
}

bool WriteFileHandle(FileHandle file, const void* buffer, std::uint32_t count, std::uint32_t* written) {
  DWORD done = 0;
  const BOOL ok = ::WriteFile(file, buffer, count, &done, nullptr);
  if (written) *written = done;
  return ok != FALSE;
}

std::uint32_t SetFilePosition(FileHandle file, std::int32_t low, std::int32_t* high, std::uint32_t method) {
  LONG highWord = high ? *high : 0;
  const DWORD result = ::SetFilePointer(file, low, high ? &highWord : nullptr, method);
  if (high) *high = highWord;
  return result;
}

bool SetFileEnd(FileHandle file) { return ::SetEndOfFile(file) != FALSE; }

bool FlushFileHandle(FileHandle file) { return ::FlushFileBuffers(file) != FALSE; }

bool LockFileRange(FileHandle file, std::uint32_t offsetLow, std::uint32_t offsetHigh, std::uint32_t lengthLow,
                   std::uint32_t lengthHigh) {
  return ::LockFile(file, offsetLow, offsetHigh, lengthLow, lengthHigh) != FALSE;
}

bool UnlockFileRange(FileHandle file, std::uint32_t offsetLow, std::uint32_t offsetHigh, std::uint32_t lengthLow,
                     std::uint32_t lengthHigh) {
  return ::UnlockFile(file, offsetLow, offsetHigh, lengthLow, lengthHigh) != FALSE;
}

bool LockFileRangeEx(FileHandle file, std::uint32_t flags, std::uint64_t offset, std::uint64_t length) {
  OVERLAPPED overlapped = At(offset);
  return ::LockFileEx(file, flags, 0, static_cast<DWORD>(length), static_cast<DWORD>(length >> 32), &overlapped) !=
         FALSE;
}

bool UnlockFileRangeEx(FileHandle file, std::uint64_t offset, std::uint64_t length) {
  OVERLAPPED overlapped = At(offset);
  return ::UnlockFileEx(file, 0, static_cast<DWORD>(length), static_cast<DWORD>(length >> 32), &overlapped) != FALSE;
}

bool GetFileInformation(FileHandle file, FileInformation* information) {
  BY_HANDLE_FILE_INFORMATION data{};
  if (!::GetFileInformationByHandle(file, &data)) return false;
  information->attributes = data.dwFileAttributes;
  information->creationTime = Join(data.ftCreationTime.dwLowDateTime, data.ftCreationTime.dwHighDateTime);
  information->lastAccessTime = Join(data.ftLastAccessTime.dwLowDateTime, data.ftLastAccessTime.dwHighDateTime);
  information->lastWriteTime = Join(data.ftLastWriteTime.dwLowDateTime, data.ftLastWriteTime.dwHighDateTime);
  information->volumeSerialNumber = data.dwVolumeSerialNumber;
  information->size = Join(data.nFileSizeLow, data.nFileSizeHigh);
  information->numberOfLinks = data.nNumberOfLinks;
  information->fileIndex = Join(data.nFileIndexLow, data.nFileIndexHigh);
  return true;
}

std::uint32_t FileAttributes(const char16_t* path) { return ::GetFileAttributesW(Wide(path)); }

bool DeleteFilePath(const char16_t* path) { return ::DeleteFileW(Wide(path)) != FALSE; }

}  // namespace platform
