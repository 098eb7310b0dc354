// GetVersionExW: the platform id (2 for the NT family) and the version numbers of the running system. The POSIX
// backend reports the NT version it emulates the calls of.
#pragma once

#include <cstdint>

namespace platform {

struct SystemVersion {
  std::uint32_t platformId;
  std::uint32_t major;
  std::uint32_t minor;
};

bool GetSystemVersion(SystemVersion& version);

}  // namespace platform
