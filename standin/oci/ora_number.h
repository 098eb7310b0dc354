// Oracle NUMBER values as the client sees them: the decimal form the stand-in computes with, Oracle's own byte
// format (exponent byte and base-100 digits, as in an OCINumber or a SQLT_NUM/SQLT_VNU buffer), the canonical text
// of an implicit conversion, and the '9'/'0'/'D'/'G' format masks of TO_CHAR, TO_NUMBER and OCINumberToText.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace qzoci {

// value = (negative ? -1 : 1) * 0.digits * 10^point; zero has no digits. Digits carry no leading or trailing zero.
struct Decimal {
  bool negative = false;
  std::string digits;
  int point = 0;

  bool IsZero() const { return digits.empty(); }
  static Decimal FromInt(std::int64_t value);
  static Decimal FromDouble(double value);
  // Plain decimal text with an optional sign, point and exponent; nothing else but surrounding blanks.
  static std::optional<Decimal> Parse(const std::string& text, char decimalMark = '.');
  double ToDouble() const;
  // The integer value when the number has no fraction and fits; rounds half away from zero otherwise.
  std::optional<std::int64_t> ToInt() const;
  // The same for an unsigned 64-bit integer: nothing for a negative value or one past 2^64 - 1.
  std::optional<std::uint64_t> ToUnsigned() const;
  bool IsInteger() const { return point >= static_cast<int>(digits.size()); }
  // Canonical text as Oracle writes it: no leading zero before the mark (".5"), no trailing zeros.
  std::string ToText(char decimalMark = '.') const;
  Decimal Rounded(int decimals) const;
  // What a NUMBER keeps of the value: 20 base-100 digits, that is 40 significant decimal digits when the point falls
  // between two of them and 39 when it splits one (38 always fit), rounded half away from zero; 0 when below 1e-130.
  Decimal RoundedToNumber() const;
  // -1, 0 or 1 as this value is below, equal to or above `other`.
  int Compare(const Decimal& other) const;
  // The exact sum, however far apart the two magnitudes are.
  Decimal Plus(const Decimal& other) const;
  Decimal Negated() const;
};

// Oracle's NUMBER bytes (up to 21: exponent and at most 20 digit bytes). Empty when the value is too large for a
// NUMBER (ORA-01426); a value too small for one is 0.
std::string EncodeOraNumber(const Decimal& value);
std::optional<Decimal> DecodeOraNumber(const unsigned char* bytes, std::size_t length);

// TO_CHAR(number, mask). `nls` holds the decimal mark then the group separator. Overflow gives '#' characters.
std::string FormatNumberMask(const Decimal& value, const std::string& mask, const std::string& nls);
// TO_NUMBER(text, mask): nothing when the text does not fit the mask (ORA-01722 for the caller).
std::optional<Decimal> ParseNumberMask(const std::string& text, const std::string& mask, const std::string& nls);

}  // namespace qzoci
