#include "platform/volume.h"

#include <windows.h>

namespace platform {

namespace {
wchar_t* Wide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
}  // namespace

std::uint32_t DriveType(const char16_t* root) { return ::GetDriveTypeW(reinterpret_cast<const wchar_t*>(root)); }

std::uint32_t LogicalDriveStrings(std::uint32_t size, char16_t* buffer) {
  return ::GetLogicalDriveStringsW(size, Wide(buffer));
}

bool VolumeInformation(const char16_t* root, char16_t* volumeName, std::uint32_t volumeNameSize,
                       std::uint32_t* serialNumber, std::uint32_t* maximumComponentLength,
                       std::uint32_t* fileSystemFlags, char16_t* fileSystemName, std::uint32_t fileSystemNameSize) {
  static_assert(sizeof(DWORD) == sizeof(std::uint32_t));
  return ::GetVolumeInformationW(reinterpret_cast<const wchar_t*>(root), Wide(volumeName), volumeNameSize,
                                 reinterpret_cast<DWORD*>(serialNumber), reinterpret_cast<DWORD*>(maximumComponentLength),
                                 reinterpret_cast<DWORD*>(fileSystemFlags), Wide(fileSystemName),
                                 fileSystemNameSize) != FALSE;
}

}  // namespace platform
