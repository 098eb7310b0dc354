#include "platform/posix/error_code.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/last_error.h"

namespace platform::posix {

std::uint32_t WindowsErrorOf(int error) {
  switch (error) {
    case 0: return kErrorSuccess;
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EMFILE:
    case ENFILE: return kErrorTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR: return kErrorAccessDenied;
    case EBADF: return kErrorInvalidHandle;
    case ENOMEM: return kErrorNotEnoughMemory;
    case EXDEV: return kErrorNotSameDevice;
    case EROFS: return kErrorWriteProtect;
    case ETXTBSY: return kErrorSharingViolation;
    case EAGAIN: return kErrorLockViolation;  // a refused lock: the only EAGAIN the file calls give
    case ENOLCK: return kErrorSharingBufferExceeded;
    case EOPNOTSUPP: return kErrorNotSupported;
    case EEXIST: return kErrorFileExists;
    case EINVAL:
    case EOVERFLOW: return kErrorInvalidParameter;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return kErrorDiskFull;
    case ENAMETOOLONG: return kErrorFilenameExcedRange;
    case ENOTEMPTY: return kErrorDirNotEmpty;
    case EBUSY: return kErrorBusy;
    case ELOOP: return kErrorCantResolveFilename;
    case EIO: return kErrorIoDevice;
    default: return kErrorInvalidFunction;
  }
}

void SetLastErrorFromErrno(int error) { SetLastErrorCode(WindowsErrorOf(error)); }

void SetLastErrorForPath(int error, const std::string& path) {
  if (error != ENOENT) {
    SetLastErrorFromErrno(error);
    return;
  }
  std::string directory = path;
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  const auto slash = directory.rfind('/');
  directory = slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : directory.substr(0, slash);
  struct stat info {};
  const bool directoryThere = ::stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  SetLastErrorCode(directoryThere ? kErrorFileNotFound : kErrorPathNotFound);
}

}  // namespace platform::posix
