#include "platform/posix/file_status.h"

#include "platform/file.h"

namespace platform::posix {

bool IsReadOnly(mode_t mode) { return S_ISREG(mode) && (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0; }

std::uint32_t AttributesOf(mode_t mode) {
  if (S_ISDIR(mode)) return kFileAttributeDirectory;
  return kFileAttributeArchive | (IsReadOnly(mode) ? kFileAttributeReadonly : 0u);
}

std::uint32_t VolumeSerialOf(dev_t device) {
  const auto value = static_cast<std::uint64_t>(device);
  return static_cast<std::uint32_t>(value ^ (value >> 32));
}

std::uint64_t FileTimeOf(std::int64_t seconds, std::uint32_t nanoseconds) {
  constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
  const std::int64_t since1601 = seconds + kSecondsFrom1601To1970;
  if (since1601 < 0) return 0;
  return static_cast<std::uint64_t>(since1601) * 10000000u + nanoseconds / 100;
}

}  // namespace platform::posix
