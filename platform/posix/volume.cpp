#include "platform/volume.h"

#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <string_view>

#include "platform/last_error.h"
#include "platform/posix/error_code.h"
#include "platform/posix/file_status.h"
#include "platform/posix/native_path.h"

namespace platform {

namespace {

// The one root: "C:\", any other letter with its colon (file names with a drive letter reach the same tree),
// "\" or "/"; null stands for the current directory's root, which is the same.
bool IsRoot(const char16_t* root) {
  if (!root) return true;
  std::u16string_view name(root);
  if (posix::HasDrivePrefix(name)) name.remove_prefix(2);
  else if (name.empty()) return false;
  return name.empty() || (name.size() == 1 && (name[0] == u'\\' || name[0] == u'/'));
}

const char16_t* FileSystemName(long type) {
  switch (static_cast<unsigned long>(type)) {
    case 0xEF53: return u"ext4";
    case 0x01021994: return u"tmpfs";
    case 0x794C7630: return u"overlay";
    case 0x58465342: return u"xfs";
    case 0x9123683E: return u"btrfs";
    default: return u"posix";
  }
}

bool CopyText(std::u16string_view text, char16_t* buffer, std::uint32_t size) {
  if (!buffer) return true;
  if (size <= text.size()) {
    SetLastErrorCode(kErrorBadLength);
    return false;
  }
  text.copy(buffer, text.size());
  buffer[text.size()] = 0;
  return true;
}

}  // namespace

std::uint32_t DriveType(const char16_t* root) { return IsRoot(root) ? kDriveFixed : kDriveNoRootDir; }

std::uint32_t LogicalDriveStrings(std::uint32_t size, char16_t* buffer) {
  static constexpr char16_t kDrives[] = u"C:\\\0";  // one root, then the closing terminator
  constexpr std::uint32_t kLength = 4;
  if (!buffer || size < kLength + 1) return kLength + 1;
  std::copy(kDrives, kDrives + kLength + 1, buffer);
  return kLength;
}

bool VolumeInformation(const char16_t* root, char16_t* volumeName, std::uint32_t volumeNameSize,
                       std::uint32_t* serialNumber, std::uint32_t* maximumComponentLength,
                       std::uint32_t* fileSystemFlags, char16_t* fileSystemName, std::uint32_t fileSystemNameSize) {
  struct stat info {};
  if (!IsRoot(root)) {
    const std::string native = posix::NativePath(root);
    SetLastErrorCode(!native.empty() && ::stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode)
                         ? kErrorDirNotRoot
                         : kErrorPathNotFound);
    return false;
  }
  struct statvfs volume {};
  struct statfs system {};
  if (::stat("/", &info) != 0 || ::statvfs("/", &volume) != 0 || ::statfs("/", &system) != 0) {
    posix::SetLastErrorFromErrno(errno);
    return false;
  }
  if (!CopyText(u"", volumeName, volumeNameSize) ||
      !CopyText(FileSystemName(system.f_type), fileSystemName, fileSystemNameSize)) {
    return false;
  }
  if (serialNumber) *serialNumber = posix::VolumeSerialOf(info.st_dev);
  if (maximumComponentLength) *maximumComponentLength = static_cast<std::uint32_t>(volume.f_namemax);
  // Names keep their case, are told apart by it, and are Unicode.
  if (fileSystemFlags) *fileSystemFlags = 0x1 | 0x2 | 0x4;
  return true;
}

}  // namespace platform
