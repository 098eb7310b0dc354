// The Windows error code a failing POSIX call stands for, so that the platform layer's callers see in the last-error
// value what the Windows call would have left there.
#pragma once

#include <cstdint>
#include <string>

namespace platform::posix {

std::uint32_t WindowsErrorOf(int error);

// SetLastErrorCode(WindowsErrorOf(error)).
void SetLastErrorFromErrno(int error);

// The same for a call on a path, where Windows tells a missing file (2) from a missing directory on the way (3): ENOENT
// is 2 when the directory that would hold the name exists, else 3.
void SetLastErrorForPath(int error, const std::string& path);

}  // namespace platform::posix
