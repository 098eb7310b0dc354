#include "platform/code_page.h"

#include "platform/utf8.h"

namespace platform {

namespace {

bool InRange(unsigned char b, unsigned char low, unsigned char high) { return b >= low && b <= high; }

// GB18030: one byte below 0x80; a lead byte 0x81-0xFE then either a trail byte 0x40-0x7E / 0x80-0xFE (two bytes)
// or a digit, a byte 0x81-0xFE and a digit (four bytes). The digits lie in the ASCII range, so a walker that knows
// only lead bytes splits those characters.
std::size_t Gb18030Length(const unsigned char* t, std::size_t n) {
  if (n < 2 || !InRange(t[0], 0x81, 0xFE)) return 1;
  if (InRange(t[1], 0x40, 0x7E) || InRange(t[1], 0x80, 0xFE)) return 2;
  if (n >= 4 && InRange(t[1], 0x30, 0x39) && InRange(t[2], 0x81, 0xFE) && InRange(t[3], 0x30, 0x39)) return 4;
  return 1;
}

// EUC-JP: 0x8E and one byte (half-width kana), 0x8F and two bytes (JIS X 0212), 0xA1-0xFE and one byte.
std::size_t EucJpLength(const unsigned char* t, std::size_t n) {
  const std::size_t length = t[0] == 0x8F ? 3 : (t[0] == 0x8E || InRange(t[0], 0xA1, 0xFE)) ? 2 : 1;
  return length <= n ? length : 1;
}

// The lead bytes of the double-byte pages; the trail byte that follows may lie in the ASCII range.
bool IsLeadByte(std::uint32_t codePage, unsigned char b) {
  switch (codePage) {
    case 932: return InRange(b, 0x81, 0x9F) || InRange(b, 0xE0, 0xFC);
    case 936:
    case 949:
    case 950: return InRange(b, 0x81, 0xFE);
    case 1361: return InRange(b, 0x84, 0xD3) || InRange(b, 0xD8, 0xDE) || InRange(b, 0xE0, 0xF9);
    case 20936:  // EUC forms of the simplified Chinese and Korean pages
    case 51936:
    case 51949: return InRange(b, 0xA1, 0xFE);
    default: return false;
  }
}

}  // namespace

// Page numbers only: the system aliases (0-3) read as single-byte, as the POSIX backend's ANSI page is 1252.
std::size_t CharacterLength(std::uint32_t codePage, const char* text, std::size_t n) {
  const auto* t = reinterpret_cast<const unsigned char*>(text);
  if (n < 2 || t[0] < 0x80) return 1;
  switch (codePage) {
    case kCodePageUtf8: {
      std::size_t used = 1;
      DecodeUtf8(text, n, used);
      return used;
    }
    case kCodePageGb18030: return Gb18030Length(t, n);
    case 20932:
    case 51932: return EucJpLength(t, n);
    default: return IsLeadByte(codePage, t[0]) ? 2 : 1;
  }
}

int CompareTextNoCase(const char16_t* a, const char16_t* b) {
  if (!a) a = u"";
  if (!b) b = u"";
  for (;; ++a, ++b) {
    const char16_t x = detail::LowerCaseUnit(*a);
    const char16_t y = detail::LowerCaseUnit(*b);
    if (x != y) return x < y ? -1 : 1;
    if (!x) return 0;
  }
}

}  // namespace platform
