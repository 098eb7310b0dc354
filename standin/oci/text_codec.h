// Text between the stand-in's own form (UTF-8, as SQLite keeps it) and a client's character set: UTF-16 for the
// OCI_UTF16ID environments and binds, Windows-1252 for the Western code-page ids, UTF-8 for every other id.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qzoci {

constexpr std::uint16_t kCharsetUtf16 = 1000;
constexpr std::uint16_t kCharsetAl16Utf16 = 2000;
constexpr std::uint16_t kCharsetAl32Utf8 = 873;
constexpr std::uint16_t kCharsetWe8MsWin1252 = 178;

bool IsUtf16Charset(std::uint16_t charset);
// A set whose characters take one to four bytes (UTF-8 here); the 8-bit and UTF-16 sets are fixed in width.
bool IsVaryingWidthCharset(std::uint16_t charset);
// Bytes of one code unit in the charset: 2 for UTF-16, else 1.
std::size_t UnitBytes(std::uint16_t charset);

// Client bytes (a length in bytes) to UTF-8, and back.
std::string DecodeClientText(const void* data, std::size_t bytes, std::uint16_t charset);
std::string EncodeClientText(const std::string& utf8, std::uint16_t charset);
// The length of a zero-terminated client text in bytes, looking at most at `limit` bytes.
std::size_t TerminatedLength(const void* data, std::size_t limit, std::uint16_t charset);

std::u16string Utf8ToUtf16(const std::string& utf8);
std::string Utf16ToUtf8(const char16_t* text, std::size_t units);
// Characters (code points) in a UTF-8 text, and the byte offset of character `index` (clamped to the end).
std::size_t Utf8Length(const std::string& utf8);
std::size_t Utf8Offset(const std::string& utf8, std::size_t index);
// The same counted in UTF-16 code units when `utf16` is set (a character beyond the Basic Multilingual Plane is two),
// as the amounts of a national LOB count; an index inside such a character's pair ends before it.
std::size_t TextUnits(const std::string& utf8, bool utf16);
std::size_t TextUnitOffset(const std::string& utf8, std::size_t index, bool utf16);

// Bytes of the UTF-8 character that begins with `lead`, and what that character takes in a client charset.
std::size_t Utf8CharBytes(unsigned char lead);
std::size_t EncodedCharBytes(std::size_t utf8Bytes, std::uint16_t charset);

std::string ToUpperAscii(std::string text);

}  // namespace qzoci
