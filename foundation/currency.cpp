#include "foundation/currency.h"

#include <charconv>
#include <cmath>

void CCurrency::NegateWords(std::uint16_t* words, int count) {
  if (count > kWords) count = kWords;
  std::uint32_t carry = 1;
  for (int i = 0; i < count; ++i) {
    std::uint32_t sum = static_cast<std::uint16_t>(~words[i]) + carry;
    words[i] = static_cast<std::uint16_t>(sum);
    carry = sum >> 16;
  }
}

int CCurrency::bAppendDigit(char16_t digit) {
  if (digit < u'0' || digit > u'9') return 0;
  std::uint32_t carry = static_cast<std::uint32_t>(digit - u'0');
  for (std::uint16_t& word : m_awWords) {
    std::uint32_t sum = word * 10u + carry;
    word = static_cast<std::uint16_t>(sum);
    carry = sum >> 16;
  }
  return (carry == 0 && !bIsNegative()) ? 1 : 0;
}

int CCurrency::bAddUnits(std::int32_t units) {
  const bool wasNegative = bIsNegative();
  const bool subtracting = units < 0;
  // The addend sign-extended to 80 bits, added word by word.
  std::uint64_t addend = static_cast<std::uint64_t>(static_cast<std::int64_t>(units) * 1000000);
  std::uint32_t carry = 0;
  for (int i = 0; i < kWords; ++i) {
    const std::uint32_t part = i < 4 ? static_cast<std::uint16_t>(addend >> (16 * i)) : (subtracting ? 0xFFFFu : 0u);
    const std::uint32_t sum = m_awWords[i] + part + carry;
    m_awWords[i] = static_cast<std::uint16_t>(sum);
    carry = sum >> 16;
  }
  if (wasNegative == subtracting && bIsNegative() != wasNegative) return 0;
  const bool lowest = m_awWords[4] == 0x8000u && !m_awWords[3] && !m_awWords[2] && !m_awWords[1] && !m_awWords[0];
  return lowest ? 0 : 1;
}

int CCurrency::bFromText(const char16_t* text) {
  *this = CCurrency{};
  if (!text) text = u"";
  while (*text == u' ') ++text;
  bool negative = false;
  if (*text == u'-' || *text == u'+') negative = *text++ == u'-';
  for (; *text >= u'0' && *text <= u'9'; ++text) {
    if (!bAppendDigit(*text)) return 0;
  }
  int decimals = 0;
  if (*text == u'.') {
    for (++text; *text >= u'0' && *text <= u'9'; ++text) {
      if (decimals == kDecimals) continue;  // cut, not rounded
      if (!bAppendDigit(*text)) return 0;
      ++decimals;
    }
  }
  for (; decimals < kDecimals; ++decimals) {
    if (!bAppendDigit(u'0')) return 0;
  }
  if (negative) Negate();
  return 1;
}

int CCurrency::bFromDouble(double value) {
  // The digits of a fixed-point conversion with six decimals, rounded from the double's exact value. Infinities and
  // NaN have no digits: left to the parser, their letters would read as a successful 0.
  if (!std::isfinite(value)) return 0;
  char narrow[200];
  auto [end, error] = std::to_chars(narrow, narrow + sizeof narrow - 1, value, std::chars_format::fixed, kDecimals);
  if (error != std::errc()) return 0;
  // The digits, sign and point are the same in code page 1252 and in UTF-16.
  char16_t wide[sizeof narrow];
  char16_t* out = wide;
  for (const char* in = narrow; in != end; ++in) *out++ = static_cast<unsigned char>(*in);
  *out = 0;
  return bFromText(wide);
}

double CCurrency::dToDouble() const {
  char16_t wide[kTextSize];
  FormatText(wide);
  char narrow[kTextSize];
  int length = 0;
  for (; wide[length]; ++length) narrow[length] = static_cast<char>(wide[length]);
  double result = 0;
  std::from_chars(narrow, narrow + length, result);
  return result;
}

void CCurrency::FormatText(char16_t* out) const {
  // The magnitude as an unsigned 80-bit number: even -2^79, whose negation is itself, reads correctly.
  CCurrency magnitude = *this;
  bool negative = bIsNegative();
  if (negative) magnitude.Negate();

  char16_t reversed[kTextSize];  // least significant digit first
  int count = 0;
  bool zero = false;
  while (!zero || count <= kDecimals) {
    std::uint32_t remainder = 0;
    zero = true;
    for (int i = kWords - 1; i >= 0; --i) {
      std::uint32_t current = (remainder << 16) | magnitude.m_awWords[i];
      magnitude.m_awWords[i] = static_cast<std::uint16_t>(current / 10u);
      remainder = current % 10u;
      if (magnitude.m_awWords[i]) zero = false;
    }
    reversed[count++] = static_cast<char16_t>(u'0' + remainder);
  }

  int lowest = 0;  // trailing zeros of the decimals are not written
  while (lowest < kDecimals && reversed[lowest] == u'0') ++lowest;
  char16_t* p = out;
  if (negative) *p++ = u'-';
  for (int i = count - 1; i >= kDecimals; --i) *p++ = reversed[i];
  if (lowest < kDecimals) {
    *p++ = u'.';
    for (int i = kDecimals - 1; i >= lowest; --i) *p++ = reversed[i];
  }
  *p = 0;
}

void CCurrency::EncodeSortKey(std::uint8_t* out) const {
  for (int i = 0; i < kWords; ++i) {
    std::uint16_t word = m_awWords[kWords - 1 - i];
    out[2 * i] = static_cast<std::uint8_t>(word >> 8);
    out[2 * i + 1] = static_cast<std::uint8_t>(word);
  }
  out[0] ^= 0x80u;
}
