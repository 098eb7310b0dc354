#include "standin/oci/text_codec.h"

#include <cstring>

#include "platform/posix/utf.h"

namespace qzoci {

namespace {

// Windows-1252 places these characters in 0x80-0x9F; the rest of the upper half is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D,
    0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A,
    0x0153, 0x009D, 0x017E, 0x0178};

bool IsCp1252Charset(std::uint16_t charset) { return charset == kCharsetWe8MsWin1252 || charset == 31; }

}  // namespace

bool IsUtf16Charset(std::uint16_t charset) { return charset == kCharsetUtf16 || charset == kCharsetAl16Utf16; }

bool IsVaryingWidthCharset(std::uint16_t charset) { return !IsUtf16Charset(charset) && !IsCp1252Charset(charset); }

std::size_t UnitBytes(std::uint16_t charset) { return IsUtf16Charset(charset) ? 2 : 1; }

std::u16string Utf8ToUtf16(const std::string& utf8) { return platform::posix::ToUtf16(utf8); }

std::string Utf16ToUtf8(const char16_t* text, std::size_t units) {
  return platform::posix::ToUtf8(std::u16string_view(text, units));
}

std::string DecodeClientText(const void* data, std::size_t bytes, std::uint16_t charset) {
  if (!data || bytes == 0) return std::string();
  if (IsUtf16Charset(charset)) {
    std::u16string units(bytes / 2, u'\0');
    std::memcpy(units.data(), data, units.size() * 2);
    return Utf16ToUtf8(units.data(), units.size());
  }
  const auto* p = static_cast<const unsigned char*>(data);
  if (!IsCp1252Charset(charset)) return std::string(reinterpret_cast<const char*>(p), bytes);
  std::u16string units;
  for (std::size_t i = 0; i < bytes; ++i) {
    const unsigned char b = p[i];
    units += b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : static_cast<char16_t>(b);
  }
  return Utf16ToUtf8(units.data(), units.size());
}

std::string EncodeClientText(const std::string& utf8, std::uint16_t charset) {
  if (IsUtf16Charset(charset)) {
    const std::u16string units = Utf8ToUtf16(utf8);
    return std::string(reinterpret_cast<const char*>(units.data()), units.size() * 2);
  }
  if (!IsCp1252Charset(charset)) return utf8;
  std::string out;
  const std::u16string units = Utf8ToUtf16(utf8);
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t c = units[i];
    // A character beyond the Basic Multilingual Plane is one character the code page lacks: one replacement, as the
    // amounts of a read count it once.
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) ++i;
    char byte = '?';
    if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
      byte = static_cast<char>(c);
    } else {
      for (int k = 0; k < 32; ++k) {
        if (kCp1252High[k] == c) byte = static_cast<char>(0x80 + k);
      }
    }
    out += byte;
  }
  return out;
}

std::size_t TerminatedLength(const void* data, std::size_t limit, std::uint16_t charset) {
  if (!data) return 0;
  const auto* p = static_cast<const unsigned char*>(data);
  if (IsUtf16Charset(charset)) {
    std::size_t n = 0;
    while (n + 1 < limit && (p[n] || p[n + 1])) n += 2;
    return n;
  }
  std::size_t n = 0;
  while (n < limit && p[n]) ++n;
  return n;
}

std::size_t Utf8Length(const std::string& utf8) {
  std::size_t n = 0;
  for (const char c : utf8) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  }
  return n;
}

std::size_t Utf8Offset(const std::string& utf8, std::size_t index) {
  std::size_t i = 0;
  while (i < utf8.size() && index > 0) {
    i += Utf8CharBytes(static_cast<unsigned char>(utf8[i]));
    --index;
  }
  return std::min(i, utf8.size());
}

std::size_t TextUnits(const std::string& utf8, bool utf16) {
  std::size_t n = 0;
  for (const char c : utf8) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) n += utf16 && byte >= 0xF0 ? 2 : 1;
  }
  return n;
}

std::size_t TextUnitOffset(const std::string& utf8, std::size_t index, bool utf16) {
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::size_t bytes = Utf8CharBytes(static_cast<unsigned char>(utf8[i]));
    const std::size_t units = utf16 && bytes == 4 ? 2 : 1;
    if (units > index) break;
    index -= units;
    i += bytes;
  }
  return std::min(i, utf8.size());
}

std::size_t Utf8CharBytes(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

std::size_t EncodedCharBytes(std::size_t utf8Bytes, std::uint16_t charset) {
  if (IsUtf16Charset(charset)) return utf8Bytes == 4 ? 4 : 2;
  if (IsCp1252Charset(charset)) return 1;
  return utf8Bytes;
}

std::string ToUpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace qzoci
