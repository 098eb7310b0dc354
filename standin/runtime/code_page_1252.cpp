#include "standin/runtime/code_page_1252.h"

namespace qzrt {

namespace {

// 0x80-0x9F of the page; 0 where it has no character. The rest is the same as the first 256 UTF-16 units.
constexpr char16_t kHigh[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E,
    0x0178};

}  // namespace

std::u16string Widen1252(const char* bytes, std::size_t length) {
  std::u16string out;
  out.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    const char16_t unit = (byte >= 0x80 && byte < 0xA0) ? kHigh[byte - 0x80] : byte;
    out.push_back(unit ? unit : (byte ? u'?' : u'\0'));
  }
  return out;
}

std::string Narrow1252(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t unit : text) {
    char byte = '?';
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
      byte = static_cast<char>(unit);
    } else {
      for (int i = 0; i < 32; ++i) {
        if (kHigh[i] == unit) byte = static_cast<char>(0x80 + i);
      }
    }
    out.push_back(byte);
  }
  return out;
}

}  // namespace qzrt
