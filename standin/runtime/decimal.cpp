#include "standin/runtime/decimal.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qzrt {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// digits x 10 + digit over four 32-bit words, least significant first.
void MultiplyAdd(std::uint32_t* words, std::uint32_t digit) {
  std::uint64_t carry = digit;
  for (int i = 0; i < 4; ++i) {
    const std::uint64_t next = static_cast<std::uint64_t>(words[i]) * 10 + carry;
    words[i] = static_cast<std::uint32_t>(next);
    carry = next >> 32;
  }
}

std::uint32_t DivideByTen(std::uint32_t* words) {
  std::uint64_t rest = 0;
  for (int i = 3; i >= 0; --i) {
    const std::uint64_t current = (rest << 32) | words[i];
    words[i] = static_cast<std::uint32_t>(current / 10);
    rest = current % 10;
  }
  return static_cast<std::uint32_t>(rest);
}

// The two's complement over the four words: the complement plus one (its own inverse).
void Negate(std::uint32_t* words) {
  std::uint64_t carry = 1;
  for (int i = 0; i < 4; ++i) {
    const std::uint64_t next = static_cast<std::uint64_t>(~words[i]) + carry;
    words[i] = static_cast<std::uint32_t>(next);
    carry = next >> 32;
  }
}

}  // namespace

void Decimal::Normalise() {
  std::size_t first = 0;
  while (first < m_digits.size() && m_digits[first] == '0') ++first;
  m_digits.erase(0, first);
  if (m_digits.empty()) m_negative = false;
}

Decimal Decimal::FromInt(std::int64_t value) {
  Decimal out = FromUInt(value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value));
  out.m_negative = value < 0;
  return out;
}

Decimal Decimal::FromUInt(std::uint64_t value) {
  Decimal out;
  out.m_digits = std::to_string(value);
  out.Normalise();
  return out;
}

bool Decimal::FromDouble(double value, Decimal& out) {
  if (!std::isfinite(value)) return false;
  char text[40];
  for (int precision = 1; precision <= 17; ++precision) {
    std::snprintf(text, sizeof(text), "%.*g", precision, value);
    if (std::strtod(text, nullptr) == value) break;
  }
  const std::u16string wide(text, text + std::strlen(text));
  return Parse(wide, out);
}

bool Decimal::Parse(std::u16string_view text, Decimal& out) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && IsBlank(text[i])) ++i;
  Decimal result;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) result.m_negative = text[i++] == u'-';
  bool anyDigit = false;
  bool point = false;
  for (; i < n; ++i) {
    const char16_t c = text[i];
    if (c >= u'0' && c <= u'9') {
      result.m_digits.push_back(static_cast<char>(c));
      if (point) ++result.m_scale;
      anyDigit = true;
    } else if (c == u'.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!anyDigit) return false;
  if (i < n && (text[i] == u'e' || text[i] == u'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) negativeExponent = text[i++] == u'-';
    int exponent = 0;
    bool exponentDigit = false;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
      exponent = exponent * 10 + (text[i] - u'0');
      if (exponent > 400) return false;
      exponentDigit = true;
    }
    if (!exponentDigit) return false;
    result.m_scale += negativeExponent ? exponent : -exponent;
  }
  while (i < n && IsBlank(text[i])) ++i;
  if (i != n) return false;
  if (result.m_scale < 0) {
    result.m_digits.append(static_cast<std::size_t>(-result.m_scale), '0');
    result.m_scale = 0;
  }
  // Decimals beyond what a number can keep are not significant: 1e-50 is 0.
  result.Normalise();
  while (result.m_scale > kMaxDigits || (result.m_scale > 0 && result.m_digits.size() > kMaxDigits)) {
    result.Rescale(result.m_scale - 1);
  }
  if (!result.Fits()) return false;
  out = result;
  return true;
}

std::size_t Decimal::IntegerBytesFor(int digits) {
  if (digits < 1 || digits > kMaxDigits) return kIntegerBytes;
  // The largest magnitude of that many digits, 10^digits - 1, against the largest positive of n bytes.
  std::uint32_t words[4] = {};
  for (int i = 0; i < digits; ++i) MultiplyAdd(words, 9);
  int bits = 128;
  while (bits > 0 && !((words[(bits - 1) / 32] >> ((bits - 1) % 32)) & 1)) --bits;
  return static_cast<std::size_t>(bits / 8 + 1);
}

Decimal Decimal::FromInteger(const void* bytes, std::size_t count, int scale) {
  Decimal out;
  if (!bytes) return out;
  if (count > kIntegerBytes) count = kIntegerBytes;
  std::uint8_t integer[kIntegerBytes];
  const auto* in = static_cast<const std::uint8_t*>(bytes);
  const bool negative = count > 0 && (in[count - 1] & 0x80);
  std::memset(integer, negative ? 0xFF : 0, sizeof integer);
  std::memcpy(integer, in, count);
  std::uint32_t words[4];
  std::memcpy(words, integer, sizeof words);
  if (negative) Negate(words);
  while (words[0] || words[1] || words[2] || words[3]) out.m_digits.push_back(static_cast<char>('0' + DivideByTen(words)));
  out.m_digits.assign(out.m_digits.rbegin(), out.m_digits.rend());
  out.m_scale = scale < 0 ? 0 : scale;
  out.m_negative = negative;
  out.Normalise();
  return out;
}

Decimal Decimal::FromBytes(const void* bytes) {
  if (!bytes) return Decimal();
  return FromInteger(bytes, kIntegerBytes, static_cast<const std::uint8_t*>(bytes)[kIntegerBytes]);
}

void Decimal::MagnitudeBytes(std::uint8_t* out) const {
  std::uint32_t words[4] = {};
  for (char c : m_digits) MultiplyAdd(words, static_cast<std::uint32_t>(c - '0'));
  std::memcpy(out, words, sizeof words);
}

void Decimal::ToBytes(std::uint8_t* out) const {
  std::uint32_t words[4];
  MagnitudeBytes(out);
  std::memcpy(words, out, sizeof words);
  if (IsNegative()) Negate(words);
  std::memcpy(out, words, sizeof words);
  out[kIntegerBytes] = static_cast<std::uint8_t>(m_scale);
  out[kIntegerBytes + 1] = 0;
}

std::u16string Decimal::Format() const {
  const std::size_t scale = static_cast<std::size_t>(m_scale);
  const std::string padded =
      m_digits.size() <= scale ? std::string(scale + 1 - m_digits.size(), '0') + m_digits : m_digits;
  std::string text = IsNegative() ? "-" : "";
  text += padded.substr(0, padded.size() - scale);
  if (scale > 0) {
    text.push_back('.');
    text.append(padded, padded.size() - scale, scale);
  }
  return std::u16string(text.begin(), text.end());
}

double Decimal::ToDouble() const {
  const std::u16string text = Format();
  const std::string narrow(text.begin(), text.end());
  return std::strtod(narrow.c_str(), nullptr);
}

bool Decimal::ToUInt64(std::uint64_t& out) const {
  Decimal whole = *this;
  const std::size_t keep = m_digits.size() > static_cast<std::size_t>(m_scale) ? m_digits.size() - m_scale : 0;
  whole.m_digits.resize(keep);
  if (whole.m_digits.empty()) {
    out = 0;
    return true;
  }
  if (IsNegative() || whole.m_digits.size() > 20) return false;
  std::uint64_t value = 0;
  for (char c : whole.m_digits) {
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return false;
    value = value * 10 + digit;
  }
  out = value;
  return true;
}

bool Decimal::ToInt64(std::int64_t& out) const {
  Decimal magnitude = *this;
  magnitude.m_negative = false;
  std::uint64_t value = 0;
  if (!magnitude.ToUInt64(value)) return false;
  const std::uint64_t limit = IsNegative() ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
  if (value > limit) return false;
  out = IsNegative() ? static_cast<std::int64_t>(0 - value) : static_cast<std::int64_t>(value);
  return true;
}

void Decimal::Rescale(int scale) {
  if (scale < 0) scale = 0;
  if (scale >= m_scale) {
    if (!m_digits.empty()) m_digits.append(static_cast<std::size_t>(scale - m_scale), '0');
    m_scale = scale;
    return;
  }
  const std::size_t drop = static_cast<std::size_t>(m_scale - scale);
  const bool roundUp = m_digits.size() >= drop && drop > 0 && m_digits[m_digits.size() - drop] >= '5';
  m_digits = m_digits.size() > drop ? m_digits.substr(0, m_digits.size() - drop) : std::string();
  m_scale = scale;
  if (roundUp) {
    std::size_t i = m_digits.size();
    while (i > 0 && m_digits[i - 1] == '9') m_digits[--i] = '0';
    if (i == 0) {
      m_digits = "1" + m_digits;
    } else {
      ++m_digits[i - 1];
    }
  }
  Normalise();
}

int Decimal::DigitCount() const {
  const int whole = static_cast<int>(m_digits.size()) - m_scale;
  return (whole > 0 ? whole : 0) + m_scale;
}

int Decimal::Compare(const Decimal& other) const {
  if (IsNegative() != other.IsNegative()) return IsNegative() ? -1 : 1;
  Decimal a = *this;
  Decimal b = other;
  const int scale = a.m_scale > b.m_scale ? a.m_scale : b.m_scale;
  a.Rescale(scale);
  b.Rescale(scale);
  int magnitude = 0;
  if (a.m_digits.size() != b.m_digits.size()) {
    magnitude = a.m_digits.size() < b.m_digits.size() ? -1 : 1;
  } else if (a.m_digits != b.m_digits) {
    magnitude = a.m_digits < b.m_digits ? -1 : 1;
  }
  return IsNegative() ? -magnitude : magnitude;
}

}  // namespace qzrt
