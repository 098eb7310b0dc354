// What POSIX file status means in Windows terms, for the file and volume calls of the POSIX backend: attributes from
// the mode (no write permission for anyone is the read-only attribute, so that it holds for every user, root
// included), a volume serial number from the device, FILETIME values from the clock.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>

namespace platform::posix {

bool IsReadOnly(mode_t mode);
std::uint32_t AttributesOf(mode_t mode);
std::uint32_t VolumeSerialOf(dev_t device);
std::uint64_t FileTimeOf(std::int64_t seconds, std::uint32_t nanoseconds);

}  // namespace platform::posix
