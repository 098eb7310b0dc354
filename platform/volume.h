// Drives and volumes (GetDriveTypeW, GetLogicalDriveStringsW, GetVolumeInformationW). On POSIX there is one file tree:
// it is reported as the single drive "C:\", and every root written with a drive letter, or as "\" or "/", is that
// tree's root (file names with a drive letter reach the same tree, see the POSIX backend's native paths).
#pragma once

#include <cstdint>

namespace platform {

enum : std::uint32_t {
  kDriveUnknown = 0,
  kDriveNoRootDir = 1,
  kDriveRemovable = 2,
  kDriveFixed = 3,
  kDriveRemote = 4,
  kDriveCdrom = 5,
  kDriveRamdisk = 6,
};

// GetDriveTypeW of a root ("C:\"); null is the current directory's root. A name that is not a root answers 1.
std::uint32_t DriveType(const char16_t* root);

// GetLogicalDriveStringsW: the roots one after the other, each terminated, then one more terminator. Answers the
// characters written without that last terminator, or the size needed (with it) when the buffer is too small.
std::uint32_t LogicalDriveStrings(std::uint32_t size, char16_t* buffer);

// GetVolumeInformationW of a root; every out may be null (its size then 0). A name that is not a root fails with 144
// (for a directory) or 3; a text buffer that is too small fails with 24.
bool VolumeInformation(const char16_t* root, char16_t* volumeName, std::uint32_t volumeNameSize,
                       std::uint32_t* serialNumber, std::uint32_t* maximumComponentLength,
                       std::uint32_t* fileSystemFlags, char16_t* fileSystemName, std::uint32_t fileSystemNameSize);

}  // namespace platform
