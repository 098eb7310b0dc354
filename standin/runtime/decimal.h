// The stand-in runtime's exact decimal numbers: the values of its decimal handles (host type 13) and the common
// form through which its conversion engine moves integers, currency and decimals. A number is a sign, the digits of
// its magnitude and a scale (how many of those digits lie after the point). Up to 38 significant digits.
//
// The byte form (18 bytes) opens with the number's digits as one signed integer, two's complement, little-endian, in
// 16 bytes (-12.5 at scale 1 is -125), then the scale, then a zero byte. Its first bytes are therefore a smaller
// signed integer of the same value whenever the digits fit: a field of a column of n digits keeps only the bytes a
// signed integer of n digits needs and the runtime reads them back with the column's scale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qzrt {

class Decimal {
 public:
  static constexpr int kMaxDigits = 38;
  static constexpr std::size_t kByteFormSize = 18;
  static constexpr std::size_t kIntegerBytes = 16;

  // The bytes that hold a signed integer of that many digits (1 to 38); the whole integer's for any other count.
  static std::size_t IntegerBytesFor(int digits);

  static Decimal FromInt(std::int64_t value);
  static Decimal FromUInt(std::uint64_t value);
  // The shortest text that reads back as the double; false for infinities and NaN.
  static bool FromDouble(double value, Decimal& out);
  // Blanks, an optional sign, digits with an optional point, an optional exponent, blanks. False for anything else
  // or more than kMaxDigits significant digits.
  static bool Parse(std::u16string_view text, Decimal& out);
  static Decimal FromBytes(const void* bytes);  // the byte form; null reads as 0
  // The first `count` bytes (at most kIntegerBytes) of a form, sign-extended, read at `scale`; null reads as 0.
  static Decimal FromInteger(const void* bytes, std::size_t count, int scale);

  std::u16string Format() const;  // "-12.340": all `scale` decimals
  void ToBytes(std::uint8_t* out) const;  // kByteFormSize bytes
  // The magnitude's digits as an unsigned integer, little-endian, in kIntegerBytes.
  void MagnitudeBytes(std::uint8_t* out) const;
  double ToDouble() const;
  // The integer part (the decimals cut off); false when it leaves the range.
  bool ToInt64(std::int64_t& out) const;
  bool ToUInt64(std::uint64_t& out) const;

  // To `scale` decimals, rounding half away from zero.
  void Rescale(int scale);
  int Compare(const Decimal& other) const;
  bool IsZero() const { return m_digits.empty(); }
  bool IsNegative() const { return m_negative && !IsZero(); }
  int Scale() const { return m_scale; }
  int DigitCount() const;  // digits of the integer part plus the scale
  bool Fits() const { return static_cast<int>(m_digits.size()) <= kMaxDigits; }

 private:
  void Normalise();

  bool m_negative = false;
  std::string m_digits;  // the magnitude's digits, most significant first, no leading zero; empty for 0
  int m_scale = 0;
};

}  // namespace qzrt
