// UTF-16 <-> UTF-8 for the POSIX backend's own use: file and module names cross to the C library as UTF-8.
// Unpaired surrogates and invalid bytes become U+FFFD, so a name is never cut short.
#pragma once

#include <string>
#include <string_view>

namespace platform::posix {

std::string ToUtf8(std::u16string_view text);
std::u16string ToUtf16(std::string_view text);

// A zero-terminated UTF-16 name as UTF-8; null reads as empty.
inline std::string ToUtf8(const char16_t* text) {
  return text ? ToUtf8(std::u16string_view(text)) : std::string();
}

}  // namespace platform::posix
