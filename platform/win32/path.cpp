#include "platform/path.h"

#include <windows.h>

namespace platform {

std::uint32_t FullPathName(const char16_t* name, std::uint32_t size, char16_t* buffer) {
  return ::GetFullPathNameW(reinterpret_cast<const wchar_t*>(name), size, reinterpret_cast<wchar_t*>(buffer),
                            nullptr);
}

std::uint32_t CurrentDirectory(std::uint32_t size, char16_t* buffer) {
  return ::GetCurrentDirectoryW(size, reinterpret_cast<wchar_t*>(buffer));
}

bool SetCurrentDirectoryPath(const char16_t* path) {
  return ::SetCurrentDirectoryW(reinterpret_cast<const wchar_t*>(path)) != FALSE;
}

}  // namespace platform
