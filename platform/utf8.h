// The one UTF-8 codec: the POSIX backend passes file and module names to the C library as UTF-8 and converts code
// page 65001 with it, and the foundation walks UTF-8 text by character with it. The primitives report invalid input
// so that each caller applies its own rule; the string forms replace unpaired surrogates and invalid bytes with
// U+FFFD, so a name is never cut short.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

inline constexpr char32_t kInvalidCodePoint = 0xFFFFFFFF;

// Decodes the sequence at the start of text (n > 0 bytes). Answers the code point and the bytes it used, or
// kInvalidCodePoint with used = 1 for a broken, cut, overlong or surrogate sequence or one past U+10FFFF.
char32_t DecodeUtf8(const char* text, std::size_t n, std::size_t& used);

// Writes the 1 to 4 bytes of a code point (at most U+10FFFF) to out and answers their number.
std::size_t EncodeUtf8(char32_t c, char* out);

// Reads one code point from UTF-16 at text[0..n): a valid pair counts two units; an unpaired surrogate answers
// kInvalidCodePoint with used = 1.
char32_t DecodeUtf16(const char16_t* text, std::size_t n, std::size_t& used);

// Appends a code point (at most U+10FFFF) as one unit or a surrogate pair.
void AppendUtf16(std::u16string& out, char32_t c);

std::string ToUtf8(std::u16string_view text);
std::u16string ToUtf16(std::string_view text);

// A zero-terminated UTF-16 name as UTF-8; null reads as empty.
inline std::string ToUtf8(const char16_t* text) {
  return text ? ToUtf8(std::u16string_view(text)) : std::string();
}

}  // namespace platform
