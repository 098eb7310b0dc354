#include "platform/path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/last_error.h"
#include "platform/posix/error_code.h"
#include "platform/posix/native_path.h"
#include "platform/posix/text_out.h"
#include "platform/posix/utf.h"

namespace platform {

namespace {

bool WorkingDirectory(std::string& out) {
  std::vector<char> buffer(4096);
  while (!::getcwd(buffer.data(), buffer.size())) {
    if (errno != ERANGE) return false;
    buffer.resize(buffer.size() * 2);
  }
  out = buffer.data();
  return true;
}

// "." and ".." taken out by the text, as Windows does; ".." at the root stays at the root.
std::string Normalise(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (at <= path.size()) {
    const std::size_t slash = std::min(path.find('/', at), path.size());
    const std::string part = path.substr(at, slash - at);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = slash + 1;
  }
  std::string result;
  for (const std::string& part : parts) result += "/" + part;
  if (result.empty() || path.back() == '/') result += "/";
  return result;
}

}  // namespace

std::uint32_t FullPathName(const char16_t* name, std::uint32_t size, char16_t* buffer) {
  if (!name || !*name) {
    SetLastErrorCode(kErrorInvalidName);
    return 0;
  }
  std::string path = posix::NativePath(name);
  if (path.empty() || path[0] != '/') {
    std::string directory;
    if (!WorkingDirectory(directory)) {
      posix::SetLastErrorFromErrno(errno);
      return 0;
    }
    path = directory + "/" + path;
  }
  return posix::CopyOut(posix::ToUtf16(Normalise(path)), size, buffer);
}

std::uint32_t CurrentDirectory(std::uint32_t size, char16_t* buffer) {
  std::string directory;
  if (!WorkingDirectory(directory)) {
    posix::SetLastErrorFromErrno(errno);
    return 0;
  }
  return posix::CopyOut(posix::ToUtf16(directory), size, buffer);
}

bool SetCurrentDirectoryPath(const char16_t* path) {
  const std::string native = posix::NativePath(path);
  if (native.empty()) {
    SetLastErrorCode(kErrorInvalidName);
    return false;
  }
  if (::chdir(native.c_str()) == 0) return true;
  struct stat info {};
  if (errno == ENOTDIR && ::stat(native.c_str(), &info) == 0) {
    SetLastErrorCode(kErrorDirectory);  // the name is a file
  } else {
    posix::SetLastErrorForPath(errno, native);
  }
  return false;
}

}  // namespace platform
