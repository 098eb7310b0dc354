// The runtime's currency number (the native value of host type 10): a signed 80-bit two's-complement integer that
// counts millionths, held as five 16-bit words with the least significant first, so it is exactly the 10 bytes the
// runtime stores. Parsed from text, converted from and to doubles, written as the shortest decimal text and encoded
// as a sortable key. A plain value; it owns nothing.
#pragma once

#include <cstdint>

class CCurrency {
 public:
  static constexpr int kWords = 5;
  static constexpr int kDecimals = 6;
  // The longest text FormatText writes, terminator included: a sign, 24 digits, the point.
  static constexpr int kTextSize = 27;
  static constexpr int kSortKeySize = 10;

  // Two's-complement negation of up to five words, least significant first.
  static void NegateWords(std::uint16_t* words, int count);

  void Negate() { NegateWords(m_awWords, kWords); }
  int bIsNegative() const { return (m_awWords[kWords - 1] & 0x8000u) ? 1 : 0; }

  // value = value x 10 + digit; 0 when the magnitude would reach 2^79 millionths.
  int bAppendDigit(char16_t digit);
  // value = value + units x 10^6, exactly, wrapping in the 80 bits; 0 when the exact result's magnitude reaches
  // 2^79 millionths (what no text reaches), 1 otherwise.
  int bAddUnits(std::int32_t units);

  // An optional sign, integer digits, and up to six decimals (later ones are ignored, not rounded); anything after
  // the number ends it. 0 on overflow, and then the value is unspecified. A null text reads as empty (the value 0).
  int bFromText(const char16_t* text);
  // The double rounded to six decimals; 0 when it does not fit (and for infinities and NaN).
  int bFromDouble(double value);
  double dToDouble() const;
  // The shortest decimal text ("1.5", "2", "0", "-0.25"); `out` holds kTextSize units.
  void FormatText(char16_t* out) const;
  // The key bytes whose plain byte order is the order of the values.
  void EncodeSortKey(std::uint8_t* out) const;

  std::uint16_t m_awWords[kWords];
};
static_assert(sizeof(CCurrency) == 10);
