// Code-page conversion and case-insensitive comparison of text, with the rules of the Windows calls the driver
// relies on: a source length of -1 means zero-terminated and the terminator is converted and counted; a target size
// of 0 measures; a target too small fails with 122 (insufficient buffer); flags the page does not accept fail with
// 1004; invalid input under the fail-on-invalid flags fails with 1113; a failed call answers 0 and leaves the code
// in the last-error value.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

enum : std::uint32_t {
  kCodePageAnsi = 0,  // the system's ANSI page (1252 on the POSIX backend)
  kCodePage1252 = 1252,
  kCodePageGb18030 = 54936,
  kCodePageUtf8 = 65001,
};

enum : std::uint32_t {
  kMbPrecomposed = 0x1,
  kMbErrInvalidChars = 0x8,
  kWcErrInvalidChars = 0x80,
  kWcNoBestFitChars = 0x400,
};

// MultiByteToWideChar. Answers the units written (or needed, when targetSize is 0).
int MultiByteToWide(std::uint32_t codePage, std::uint32_t flags, const char* source, int sourceLength,
                    char16_t* target, int targetSize);

// WideCharToMultiByte. A character the page lacks becomes the default character (the given one, else "?") and sets
// *usedDefaultChar; UTF-8 takes neither a default character nor the flag pointer (87 when either is given).
int WideToMultiByte(std::uint32_t codePage, std::uint32_t flags, const char16_t* source, int sourceLength,
                    char* target, int targetSize, const char* defaultChar, int* usedDefaultChar);

// The bytes of the character that starts text[0..n) (n > 0) in the code page, by the page's own rules: a UTF-8
// sequence, a GB18030 two- or four-byte character, a lead byte and its trail in a double-byte page. A byte that
// starts no complete character counts 1, so a walker always moves on; a single-byte page always answers 1.
std::size_t CharacterLength(std::uint32_t codePage, const char* text, std::size_t n);

// The C runtime's case-insensitive wide comparison: both texts compared unit by unit after each unit is mapped to
// lower case (simple one-to-one mapping); negative, 0 or positive. Null reads as "".
int CompareTextNoCase(const char16_t* a, const char16_t* b);

namespace detail {
// The backend's simple lower-case mapping of one unit, under CompareTextNoCase.
char16_t LowerCaseUnit(char16_t unit);
}  // namespace detail

}  // namespace platform
