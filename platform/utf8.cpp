#include "platform/utf8.h"

namespace platform {

char32_t DecodeUtf8(const char* text, std::size_t n, std::size_t& used) {
  used = 1;
  const auto b = static_cast<unsigned char>(text[0]);
  const int extra = b < 0x80 ? 0 : (b >> 5) == 0x6 ? 1 : (b >> 4) == 0xE ? 2 : (b >> 3) == 0x1E ? 3 : -1;
  if (extra < 0 || static_cast<std::size_t>(extra) >= n) return extra == 0 ? b : kInvalidCodePoint;
  char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
  for (int k = 1; k <= extra; ++k) {
    const auto t = static_cast<unsigned char>(text[k]);
    if ((t & 0xC0) != 0x80) return kInvalidCodePoint;
    c = (c << 6) | (t & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are as invalid as a broken sequence.
  static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kInvalidCodePoint;
  used = static_cast<std::size_t>(extra) + 1;
  return c;
}

std::size_t EncodeUtf8(char32_t c, char* out) {
  if (c < 0x80) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (c >> 12));
    out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (c >> 18));
  out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (c & 0x3F));
  return 4;
}

char32_t DecodeUtf16(const char16_t* text, std::size_t n, std::size_t& used) {
  used = 1;
  const char32_t c = text[0];
  if (c < 0xD800 || c > 0xDFFF) return c;
  if (c <= 0xDBFF && n > 1 && text[1] >= 0xDC00 && text[1] <= 0xDFFF) {
    used = 2;
    return 0x10000 + ((c - 0xD800) << 10) + (text[1] - 0xDC00);
  }
  return kInvalidCodePoint;
}

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  } else {
    out += static_cast<char16_t>(c);
  }
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  char bytes[4];
  for (std::size_t i = 0, used = 0; i < text.size(); i += used) {
    char32_t c = DecodeUtf16(text.data() + i, text.size() - i, used);
    if (c == kInvalidCodePoint) c = 0xFFFD;
    out.append(bytes, EncodeUtf8(c, bytes));
  }
  return out;
}

std::u16string ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0, used = 0; i < text.size(); i += used) {
    const char32_t c = DecodeUtf8(text.data() + i, text.size() - i, used);
    AppendUtf16(out, c == kInvalidCodePoint ? 0xFFFD : c);
  }
  return out;
}

}  // namespace platform
