#include "platform/code_page.h"

#include <windows.h>

namespace platform {

int MultiByteToWide(std::uint32_t codePage, std::uint32_t flags, const char* source, int sourceLength,
                    char16_t* target, int targetSize) {
  return ::MultiByteToWideChar(codePage, flags, source, sourceLength, reinterpret_cast<wchar_t*>(target),
                               targetSize);
}

int WideToMultiByte(std::uint32_t codePage, std::uint32_t flags, const char16_t* source, int sourceLength,
                    char* target, int targetSize, const char* defaultChar, int* usedDefaultChar) {
  BOOL used = FALSE;
  const int result = ::WideCharToMultiByte(codePage, flags, reinterpret_cast<const wchar_t*>(source), sourceLength,
                                           target, targetSize, defaultChar, usedDefaultChar ? &used : nullptr);
  if (usedDefaultChar) *usedDefaultChar = used ? 1 : 0;
  return result;
}

namespace detail {

char16_t LowerCaseUnit(char16_t unit) {
  // The invariant lower-case mapping maps one unit to one unit.
  wchar_t in = static_cast<wchar_t>(unit);
  wchar_t out = in;
  if (unit != 0) ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, &in, 1, &out, 1, nullptr, nullptr, 0);
  return static_cast<char16_t>(out);
}

}  // namespace detail

}  // namespace platform
