#include "platform/profile.h"

#include <windows.h>

namespace platform {

namespace {

const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

}  // namespace

std::uint32_t ReadProfileString(const char16_t* section, const char16_t* key, const char16_t* defaultText,
                                char16_t* buffer, std::uint32_t size, const char16_t* fileName) {
  return ::GetPrivateProfileStringW(W(section), W(key), W(defaultText), reinterpret_cast<wchar_t*>(buffer), size,
                                    W(fileName));
}

std::uint32_t ReadProfileInt(const char16_t* section, const char16_t* key, std::int32_t defaultValue,
                             const char16_t* fileName) {
  return ::GetPrivateProfileIntW(W(section), W(key), defaultValue, W(fileName));
}

std::uint32_t WindowsDirectory(char16_t* buffer, std::uint32_t size) {
  return ::GetWindowsDirectoryW(reinterpret_cast<wchar_t*>(buffer), size);
}

std::uint32_t CurrentProcessId() { return ::GetCurrentProcessId(); }

}  // namespace platform
