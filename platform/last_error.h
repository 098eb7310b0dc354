// The calling thread's last-error value (GetLastError / SetLastError), with the Windows error codes the driver tests.
#pragma once

#include <cstdint>

namespace platform {

enum : std::uint32_t {
  kErrorSuccess = 0,
  kErrorFileNotFound = 2,
  kErrorPathNotFound = 3,
  kErrorAccessDenied = 5,
  kErrorInvalidHandle = 6,
  kErrorNotEnoughMemory = 8,
  kErrorSharingViolation = 32,
  kErrorLockViolation = 33,
  kErrorFileExists = 80,
  kErrorInvalidParameter = 87,
  kErrorDiskFull = 112,
  kErrorInsufficientBuffer = 122,
  kErrorModNotFound = 126,
  kErrorProcNotFound = 127,
  kErrorAlreadyExists = 183,
  kErrorBadExeFormat = 193,
  kErrorInvalidFlags = 1004,
  kErrorNoUnicodeTranslation = 1113,
};

std::uint32_t GetLastErrorCode();
void SetLastErrorCode(std::uint32_t code);

}  // namespace platform
