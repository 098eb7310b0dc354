#include "standin/oci/ora_number.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "standin/oci/text_codec.h"

namespace qzoci {

namespace {

void Normalise(Decimal& d) {
  std::size_t lead = 0;
  while (lead < d.digits.size() && d.digits[lead] == '0') ++lead;
  d.digits.erase(0, lead);
  d.point -= static_cast<int>(lead);
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  if (d.digits.empty()) {
    d.negative = false;
    d.point = 0;
  }
}

}  // namespace

Decimal Decimal::FromInt(std::int64_t value) {
  Decimal d;
  d.negative = value < 0;
  const std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  d.digits = std::to_string(magnitude);
  d.point = static_cast<int>(d.digits.size());
  Normalise(d);
  return d;
}

Decimal Decimal::FromDouble(double value) {
  if (!std::isfinite(value)) return Decimal();
  char buffer[64];
  // Integers past the signed 64-bit range reach SQLite only as doubles (an unsigned 8-byte value of 2^63 or more):
  // those up to 2^64 keep their exact digits, so that what was stored comes back as it went in.
  const double magnitude = std::fabs(value);
  if (magnitude >= 9223372036854775808.0 && magnitude <= 18446744073709551616.0 && std::trunc(value) == value) {
    std::snprintf(buffer, sizeof buffer, "%.0f", value);
  } else {
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
  }
  return Parse(buffer).value_or(Decimal());
}

std::optional<Decimal> Decimal::Parse(const std::string& text, char decimalMark) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
  Decimal d;
  if (i < n && (text[i] == '+' || text[i] == '-')) d.negative = text[i++] == '-';
  bool anyDigit = false;
  bool seenMark = false;
  int intDigits = 0;
  for (; i < n; ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      d.digits += c;
      anyDigit = true;
      if (!seenMark) ++intDigits;
    } else if (c == decimalMark && !seenMark) {
      seenMark = true;
    } else {
      break;
    }
  }
  if (!anyDigit) return std::nullopt;
  int exponent = 0;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negExp = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negExp = text[i++] == '-';
    if (i >= n || text[i] < '0' || text[i] > '9') return std::nullopt;
    while (i < n && text[i] >= '0' && text[i] <= '9') exponent = exponent * 10 + (text[i++] - '0');
    if (negExp) exponent = -exponent;
  }
  while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i != n) return std::nullopt;
  d.point = intDigits + exponent;
  Normalise(d);
  return d;
}

double Decimal::ToDouble() const {
  if (IsZero()) return 0.0;
  std::string text = (negative ? "-0." : "0.") + digits + "e" + std::to_string(point);
  return std::strtod(text.c_str(), nullptr);
}

Decimal Decimal::Rounded(int decimals) const {
  const int keep = point + decimals;  // digits kept
  if (keep >= static_cast<int>(digits.size())) return *this;
  Decimal r = *this;
  if (keep < 0) return Decimal();
  const bool up = digits[static_cast<std::size_t>(keep)] >= '5';
  r.digits = digits.substr(0, static_cast<std::size_t>(keep));
  if (up) {
    int k = keep - 1;
    while (k >= 0 && r.digits[static_cast<std::size_t>(k)] == '9') {
      r.digits[static_cast<std::size_t>(k)] = '0';
      --k;
    }
    if (k < 0) {
      r.digits.insert(r.digits.begin(), '1');
      ++r.point;
    } else {
      ++r.digits[static_cast<std::size_t>(k)];
    }
  }
  Normalise(r);
  if (r.IsZero()) r.negative = false;
  return r;
}

Decimal Decimal::RoundedToNumber() const {
  if (IsZero()) return *this;
  // The base-100 digits pair the decimal ones from the point outwards: an odd point leaves the first byte one digit.
  const int kept = point % 2 == 0 ? 40 : 39;
  Decimal r = Rounded(kept - point);
  // Below 1e-130, the smallest magnitude a NUMBER holds, the value is 0.
  if (r.point < -129) return Decimal();
  return r;
}

int Decimal::Compare(const Decimal& other) const {
  if (negative != other.negative) return negative ? -1 : 1;
  if (IsZero() || other.IsZero()) {
    if (IsZero() && other.IsZero()) return 0;
    const int magnitude = IsZero() ? -1 : 1;
    return negative ? -magnitude : magnitude;
  }
  // Normalised digits have no leading zero: the larger point is the larger magnitude, and on equal points the digit
  // strings compare as written (a shorter one that is a prefix is the smaller).
  int magnitude = point != other.point ? (point < other.point ? -1 : 1) : digits.compare(other.digits);
  magnitude = magnitude < 0 ? -1 : magnitude > 0 ? 1 : 0;
  return negative ? -magnitude : magnitude;
}

Decimal Decimal::Negated() const {
  Decimal r = *this;
  if (!r.IsZero()) r.negative = !r.negative;
  return r;
}

Decimal Decimal::Plus(const Decimal& other) const {
  if (IsZero()) return other;
  if (other.IsZero()) return *this;
  // Both magnitudes as integers of the lower last-digit exponent, then schoolbook addition or subtraction.
  const int lastThis = point - static_cast<int>(digits.size());
  const int lastOther = other.point - static_cast<int>(other.digits.size());
  const int low = std::min(lastThis, lastOther);
  std::string a = digits + std::string(static_cast<std::size_t>(lastThis - low), '0');
  std::string b = other.digits + std::string(static_cast<std::size_t>(lastOther - low), '0');
  const std::size_t width = std::max(a.size(), b.size()) + 1;
  a.insert(0, width - a.size(), '0');
  b.insert(0, width - b.size(), '0');
  Decimal r;
  r.negative = negative;
  if (negative != other.negative && a < b) {
    std::swap(a, b);
    r.negative = other.negative;
  }
  std::string out(width, '0');
  int carry = 0;
  for (std::size_t k = width; k-- > 0;) {
    int v = (a[k] - '0') + (negative == other.negative ? (b[k] - '0') + carry : -(b[k] - '0') - carry);
    carry = 0;
    if (v >= 10) {
      v -= 10;
      carry = 1;
    } else if (v < 0) {
      v += 10;
      carry = 1;
    }
    out[k] = static_cast<char>('0' + v);
  }
  r.digits = out;
  r.point = static_cast<int>(width) + low;
  Normalise(r);
  return r;
}

std::optional<std::int64_t> Decimal::ToInt() const {
  const Decimal r = Rounded(0);
  if (r.IsZero()) return 0;
  if (r.point > 19) return std::nullopt;
  std::string text = r.digits + std::string(static_cast<std::size_t>(r.point) - r.digits.size(), '0');
  errno = 0;
  const unsigned long long magnitude = std::strtoull(text.c_str(), nullptr, 10);
  if (errno != 0) return std::nullopt;
  if (r.negative) {
    if (magnitude > 9223372036854775808ULL) return std::nullopt;
    return static_cast<std::int64_t>(0 - magnitude);
  }
  if (magnitude > 9223372036854775807ULL) return std::nullopt;
  return static_cast<std::int64_t>(magnitude);
}

std::optional<std::uint64_t> Decimal::ToUnsigned() const {
  const Decimal r = Rounded(0);
  if (r.IsZero()) return 0;
  if (r.negative || r.point > 20) return std::nullopt;
  const std::string text = r.digits + std::string(static_cast<std::size_t>(r.point) - r.digits.size(), '0');
  errno = 0;
  const unsigned long long magnitude = std::strtoull(text.c_str(), nullptr, 10);
  if (errno != 0) return std::nullopt;
  return static_cast<std::uint64_t>(magnitude);
}

std::string Decimal::ToText(char decimalMark) const {
  if (IsZero()) return "0";
  std::string out = negative ? "-" : "";
  const int len = static_cast<int>(digits.size());
  if (point <= 0) {
    out += decimalMark;
    out += std::string(static_cast<std::size_t>(-point), '0') + digits;
  } else if (point >= len) {
    out += digits + std::string(static_cast<std::size_t>(point - len), '0');
  } else {
    out += digits.substr(0, static_cast<std::size_t>(point));
    out += decimalMark;
    out += digits.substr(static_cast<std::size_t>(point));
  }
  return out;
}

std::string EncodeOraNumber(const Decimal& input) {
  if (input.IsZero()) return std::string(1, static_cast<char>(0x80));
  const Decimal value = input.RoundedToNumber();
  if (value.IsZero()) return std::string(1, static_cast<char>(0x80));
  std::string digits = value.digits;
  int point = value.point;
  if (point % 2 != 0) {
    digits.insert(digits.begin(), '0');
    ++point;
  }
  if (digits.size() % 2 != 0) digits += '0';
  const int exponent = point / 2 - 1;
  // Below the smallest magnitude a NUMBER holds the value is 0, as Oracle rounds it; above the largest it is an
  // overflow for the caller.
  if (exponent < -65) return std::string(1, static_cast<char>(0x80));
  if (exponent > 62) return std::string();
  std::string out;
  out += static_cast<char>(value.negative ? 62 - exponent : 193 + exponent);
  for (std::size_t i = 0; i < digits.size() && out.size() < 21; i += 2) {
    const int pair = (digits[i] - '0') * 10 + (digits[i + 1] - '0');
    out += static_cast<char>(value.negative ? 101 - pair : pair + 1);
  }
  while (out.size() > 1 && static_cast<unsigned char>(out.back()) == (value.negative ? 101 : 1)) out.pop_back();
  if (value.negative && out.size() < 21) out += static_cast<char>(102);
  return out;
}

std::optional<Decimal> DecodeOraNumber(const unsigned char* bytes, std::size_t length) {
  if (!bytes || length == 0) return std::nullopt;
  const unsigned char head = bytes[0];
  // Zero is the lone byte 0x80; with digits after it, 0x80 is the exponent of the smallest positive numbers.
  if (head == 0x80 && length == 1) return Decimal();
  Decimal d;
  d.negative = (head & 0x80) == 0;
  const int exponent = d.negative ? 62 - head : head - 193;
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char b = bytes[i];
    if (d.negative && b == 102) break;
    const int pair = d.negative ? 101 - b : b - 1;
    if (pair < 0 || pair > 99) return std::nullopt;
    d.digits += static_cast<char>('0' + pair / 10);
    d.digits += static_cast<char>('0' + pair % 10);
  }
  d.point = (exponent + 1) * 2;
  Normalise(d);
  return d;
}

namespace {

struct MaskShape {
  bool fillMode = false;
  std::string intPart;   // '9', '0', 'G' as written before the mark
  std::string fracPart;  // '9', '0' after the mark
  bool hasMark = false;
  bool valid = true;
};

MaskShape ReadMask(const std::string& rawMask) {
  MaskShape shape;
  std::string mask = ToUpperAscii(rawMask);
  if (mask.rfind("FM", 0) == 0) {
    shape.fillMode = true;
    mask.erase(0, 2);
  }
  for (const char c : mask) {
    if (c == 'D' || c == '.') {
      if (shape.hasMark) shape.valid = false;
      shape.hasMark = true;
    } else if (c == '9' || c == '0') {
      (shape.hasMark ? shape.fracPart : shape.intPart) += c;
    } else if ((c == 'G' || c == ',') && !shape.hasMark) {
      shape.intPart += 'G';
    } else {
      shape.valid = false;
    }
  }
  return shape;
}

// The integer digits of a value rounded to a whole number, "" for zero.
std::string IntegerDigits(const Decimal& value) {
  const std::size_t whole = value.point > 0 ? static_cast<std::size_t>(value.point) : 0;
  std::string digits = value.digits.substr(0, std::min(value.digits.size(), whole));
  if (value.point > static_cast<int>(value.digits.size())) {
    digits += std::string(static_cast<std::size_t>(value.point) - value.digits.size(), '0');
  }
  return digits;
}

// TO_CHAR(n, 'XXXX'): the value rounded to a whole number in hexadecimal digits, in the case of the mask's X, with
// zeros from a leading '0' of the mask; a negative value or one with more digits than the mask has is all '#'.
// Nothing when the mask is no hexadecimal one.
std::optional<std::string> FormatHexMask(const Decimal& input, const std::string& rawMask) {
  std::string mask = rawMask;
  const bool fillMode = ToUpperAscii(mask).rfind("FM", 0) == 0;
  if (fillMode) mask.erase(0, 2);
  if (mask.find_first_of("Xx") == std::string::npos || mask.find_first_not_of("0Xx") != std::string::npos) {
    return std::nullopt;
  }
  const std::size_t width = mask.size() + 1;
  const Decimal value = input.Rounded(0);
  if (value.negative && !value.IsZero()) return std::string(width, '#');
  const char* hexDigits = mask.find('x') != std::string::npos ? "0123456789abcdef" : "0123456789ABCDEF";
  // Long division of the decimal digits by 16, one hexadecimal digit at a time.
  std::string decimal = IntegerDigits(value);
  std::string hex;
  while (!decimal.empty()) {
    std::string quotient;
    int remainder = 0;
    for (const char d : decimal) {
      remainder = remainder * 10 + (d - '0');
      if (!quotient.empty() || remainder >= 16) quotient += static_cast<char>('0' + remainder / 16);
      remainder %= 16;
    }
    hex.insert(0, 1, hexDigits[remainder]);
    decimal = quotient;
  }
  if (hex.size() > mask.size()) return std::string(width, '#');
  const std::size_t firstZero = mask.find('0');
  if (firstZero != std::string::npos && hex.size() < mask.size() - firstZero) {
    hex.insert(0, mask.size() - firstZero - hex.size(), '0');
  }
  if (hex.empty()) hex = "0";
  if (fillMode) return hex;
  return std::string(width - hex.size(), ' ') + hex;
}

}  // namespace

std::string FormatNumberMask(const Decimal& input, const std::string& mask, const std::string& nls) {
  if (std::optional<std::string> hex = FormatHexMask(input, mask)) return *hex;
  const char mark = nls.size() > 0 ? nls[0] : '.';
  const char group = nls.size() > 1 ? nls[1] : ',';
  const MaskShape shape = ReadMask(mask);
  const std::size_t width = (shape.fillMode ? mask.size() - 2 : mask.size()) + 1;
  if (!shape.valid) return std::string(width, '#');
  const Decimal value = input.Rounded(static_cast<int>(shape.fracPart.size()));
  const std::string intDigits = IntegerDigits(value);
  std::size_t slots = 0;
  for (const char c : shape.intPart) {
    if (c != 'G') ++slots;
  }
  if (intDigits.size() > slots) return std::string(width, '#');
  // The integer part, right to left; a leading '0' in the mask forces zeros from there on.
  const std::size_t firstZero = shape.intPart.find('0');
  std::string intText;
  std::size_t used = 0;
  for (std::size_t k = shape.intPart.size(); k-- > 0;) {
    const char c = shape.intPart[k];
    if (c == 'G') {
      if (used < intDigits.size() || (firstZero != std::string::npos && k > firstZero)) intText.insert(0, 1, group);
      continue;
    }
    if (used < intDigits.size()) {
      intText.insert(0, 1, intDigits[intDigits.size() - 1 - used]);
      ++used;
    } else if (firstZero != std::string::npos && k >= firstZero) {
      intText.insert(0, 1, '0');
    }
  }
  if (intText.empty() && shape.fracPart.empty()) intText = "0";
  std::string fracText;
  if (shape.hasMark) {
    fracText += mark;
    for (std::size_t k = 0; k < shape.fracPart.size(); ++k) {
      const int at = value.point + static_cast<int>(k);
      fracText += at >= 0 && at < static_cast<int>(value.digits.size()) ? value.digits[static_cast<std::size_t>(at)] : '0';
    }
    if (shape.fracPart.empty() && intText.empty()) intText = "0";
  }
  std::string body = (value.negative ? "-" : "") + intText + fracText;
  if (shape.fillMode) return body;
  if (!value.negative) body.insert(0, 1, ' ');
  if (body.size() < width) body.insert(0, width - body.size(), ' ');
  return body;
}

std::optional<Decimal> ParseNumberMask(const std::string& text, const std::string& mask, const std::string& nls) {
  const char mark = nls.size() > 0 ? nls[0] : '.';
  const char group = nls.size() > 1 ? nls[1] : ',';
  std::string plain;
  for (const char c : text) {
    if (c != group || group == ' ') plain += c;
  }
  // A blank group separator only ever stands between digits; the blanks around the number are padding.
  std::optional<Decimal> value = Decimal::Parse(plain, mark);
  if (!value || mask.empty()) return value;
  const MaskShape shape = ReadMask(mask);
  if (!shape.valid) return std::nullopt;
  std::size_t slots = 0;
  for (const char c : shape.intPart) {
    if (c != 'G') ++slots;
  }
  // The integer digits are those written before the mark, a leading zero among them ("0.125" has one, which "D999"
  // has no room for); a text with an exponent has no such digits to count and is measured by its value.
  int intDigits = value->point > 0 ? value->point : 0;
  if (plain.find_first_of("eE") == std::string::npos) {
    std::size_t at = plain.find_first_not_of(" \t+-");
    intDigits = 0;
    while (at < plain.size() && plain[at] >= '0' && plain[at] <= '9') {
      ++intDigits;
      ++at;
    }
  }
  const int fracDigits = static_cast<int>(value->digits.size()) - value->point;
  if (intDigits > static_cast<int>(slots)) return std::nullopt;
  if (fracDigits > static_cast<int>(shape.fracPart.size())) return std::nullopt;
  return value;
}

}  // namespace qzoci
