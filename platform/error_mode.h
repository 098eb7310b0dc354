// The process's error mode (SetErrorMode): whether the system puts up a box when a critical error, such as a drive
// without a medium, meets a file-system call. POSIX has no such box; there the mode is a process-wide value, so that
// code which sets and restores it behaves alike on both systems. ErrorModeScope is how the driver runs its
// file-system calls: boxes off for the scope, the previous mode back at its end, the last error kept across the
// restore.
#pragma once

#include <cstdint>

#include "platform/last_error.h"

namespace platform {

enum : std::uint32_t {
  kSemFailCriticalErrors = 0x0001,
  kSemNoGpFaultErrorBox = 0x0002,
  kSemNoOpenFileErrorBox = 0x8000,
};

// SetErrorMode: sets the mode and answers the previous one.
std::uint32_t SetProcessErrorMode(std::uint32_t mode);

// GetErrorMode.
std::uint32_t ProcessErrorMode();

class ErrorModeScope {
 public:
  explicit ErrorModeScope(std::uint32_t mode = kSemFailCriticalErrors) : m_previous(SetProcessErrorMode(mode)) {}
  ~ErrorModeScope() {
    const std::uint32_t kept = GetLastErrorCode();
    SetProcessErrorMode(m_previous);
    SetLastErrorCode(kept);
  }
  ErrorModeScope(const ErrorModeScope&) = delete;
  ErrorModeScope& operator=(const ErrorModeScope&) = delete;

  std::uint32_t Previous() const { return m_previous; }

 private:
  std::uint32_t m_previous;
};

}  // namespace platform
