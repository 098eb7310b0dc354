// The calling thread's last-error value (GetLastError / SetLastError), with the Windows error codes the driver tests.
#pragma once

#include <cstdint>

namespace platform {

enum : std::uint32_t {
  kErrorSuccess = 0,
  kErrorInvalidFunction = 1,
  kErrorFileNotFound = 2,
  kErrorPathNotFound = 3,
  kErrorTooManyOpenFiles = 4,
  kErrorAccessDenied = 5,
  kErrorInvalidHandle = 6,
  kErrorNotEnoughMemory = 8,
  kErrorNotSameDevice = 17,
  kErrorWriteProtect = 19,
  kErrorBadLength = 24,
  kErrorSharingViolation = 32,
  kErrorLockViolation = 33,
  kErrorSharingBufferExceeded = 36,
  kErrorNotSupported = 50,
  kErrorFileExists = 80,
  kErrorInvalidParameter = 87,
  kErrorDiskFull = 112,
  kErrorInsufficientBuffer = 122,
  kErrorInvalidName = 123,
  kErrorModNotFound = 126,
  kErrorProcNotFound = 127,
  kErrorNegativeSeek = 131,
  kErrorDirNotRoot = 144,
  kErrorDirNotEmpty = 145,
  kErrorNotLocked = 158,
  kErrorBusy = 170,
  kErrorAlreadyExists = 183,
  kErrorBadExeFormat = 193,
  kErrorFilenameExcedRange = 206,
  kErrorDirectory = 267,
  kErrorInvalidFlags = 1004,
  kErrorNoUnicodeTranslation = 1113,
  kErrorIoDevice = 1117,
  kErrorCantResolveFilename = 1921,
};

std::uint32_t GetLastErrorCode();
void SetLastErrorCode(std::uint32_t code);

}  // namespace platform
