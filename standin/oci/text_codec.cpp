#include "standin/oci/text_codec.h"

#include <cstring>

namespace qzoci {

namespace {

// Windows-1252 places these characters in 0x80-0x9F; the rest of the upper half is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D,
    0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A,
    0x0153, 0x009D, 0x017E, 0x0178};

bool IsCp1252Charset(std::uint16_t charset) { return charset == kCharsetWe8MsWin1252 || charset == 31; }

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one code point at `i`, advancing it; a malformed byte stands for itself as Latin-1.
char32_t NextCodePoint(const std::string& s, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  auto cont = [&](std::size_t k) {
    return i + k < s.size() && (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
  };
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  if ((b0 & 0xE0) == 0xC0 && cont(1)) {
    char32_t c = ((b0 & 0x1F) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3F);
    i += 2;
    return c;
  }
  if ((b0 & 0xF0) == 0xE0 && cont(1) && cont(2)) {
    char32_t c = ((b0 & 0x0F) << 12) | ((static_cast<unsigned char>(s[i + 1]) & 0x3F) << 6) |
                 (static_cast<unsigned char>(s[i + 2]) & 0x3F);
    i += 3;
    return c;
  }
  if ((b0 & 0xF8) == 0xF0 && cont(1) && cont(2) && cont(3)) {
    char32_t c = ((b0 & 0x07) << 18) | ((static_cast<unsigned char>(s[i + 1]) & 0x3F) << 12) |
                 ((static_cast<unsigned char>(s[i + 2]) & 0x3F) << 6) | (static_cast<unsigned char>(s[i + 3]) & 0x3F);
    i += 4;
    return c;
  }
  ++i;
  return b0;
}

}  // namespace

bool IsUtf16Charset(std::uint16_t charset) { return charset == kCharsetUtf16 || charset == kCharsetAl16Utf16; }

std::size_t UnitBytes(std::uint16_t charset) { return IsUtf16Charset(charset) ? 2 : 1; }

std::u16string Utf8ToUtf16(const std::string& utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t c = NextCodePoint(utf8, i);
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::string Utf16ToUtf8(const char16_t* text, std::size_t units) {
  std::string out;
  out.reserve(units);
  for (std::size_t i = 0; i < units; ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    AppendUtf8(out, c);
  }
  return out;
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
  std::string out;
  for (std::size_t i = 0; i < bytes; ++i) {
    const unsigned char b = p[i];
    AppendUtf8(out, b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : b);
  }
  return out;
}

std::string EncodeClientText(const std::string& utf8, std::uint16_t charset) {
  if (IsUtf16Charset(charset)) {
    const std::u16string units = Utf8ToUtf16(utf8);
    return std::string(reinterpret_cast<const char*>(units.data()), units.size() * 2);
  }
  if (!IsCp1252Charset(charset)) return utf8;
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const char32_t c = NextCodePoint(utf8, i);
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
    NextCodePoint(utf8, i);
    --index;
  }
  return i;
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
