#include "platform/message_format.h"

#include <windows.h>

namespace platform {

std::uint32_t FormatMessageFromPattern(const char16_t* pattern, va_list* arguments, char16_t** out) {
  *out = nullptr;
  return ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING,
                          reinterpret_cast<const wchar_t*>(pattern), 0, 0, reinterpret_cast<wchar_t*>(out), 0,
                          arguments);
}

std::uint32_t FormatSystemMessage(std::uint32_t code, char16_t** out) {
  *out = nullptr;
  return ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
                          nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(out),
                          0, nullptr);
}

void FreeMessageText(char16_t* text) {
  if (text) ::LocalFree(text);
}

}  // namespace platform
