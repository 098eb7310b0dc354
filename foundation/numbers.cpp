#include "foundation/numbers.h"

#include <climits>
#include <cstdlib>
#include <string>

#include "foundation/code_pages.h"
#include "foundation/text_utils.h"
#include "platform/code_page.h"

namespace {

// The whole text in page 1252, however long: a fixed buffer would cut (or overrun) a long number.
std::string ToAnsi(const char16_t* text) {
  std::string narrow;
  const std::size_t length = nLengthW(text);
  if (length == 0 || length > static_cast<std::size_t>(INT_MAX) / 2) return narrow;
  narrow.resize(length);
  const int written = platform::WideToMultiByte(CODE_PAGE_ANSI, 0, text, static_cast<int>(length), narrow.data(),
                                                static_cast<int>(length), nullptr, nullptr);
  narrow.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return narrow;
}

template <typename Unit>
Unit* WriteDecimal(std::uint64_t magnitude, bool negative, Unit* out) {
  Unit digits[20];
  int n = 0;
  do {
    digits[n++] = static_cast<Unit>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  Unit* p = out;
  if (negative) *p++ = static_cast<Unit>('-');
  while (n) *p++ = digits[--n];
  *p = 0;
  return out;
}

std::uint64_t Magnitude(std::int64_t value) {
  return value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
}

}  // namespace

double dWideToDouble(const char16_t* text) { return std::strtod(ToAnsi(text).c_str(), nullptr); }

std::int32_t nWideToInt(const char16_t* text) {
  // atoi of the 32-bit C runtime: out-of-range values stop at the bounds.
  const long long value = std::strtoll(ToAnsi(text).c_str(), nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

char16_t* pszU64ToDecimalW(std::uint64_t value, char16_t* out) { return WriteDecimal(value, false, out); }
char* pszU64ToDecimalA(std::uint64_t value, char* out) { return WriteDecimal(value, false, out); }
char16_t* pszI64ToDecimalW(std::int64_t value, char16_t* out) { return WriteDecimal(Magnitude(value), value < 0, out); }
char* pszI64ToDecimalA(std::int64_t value, char* out) { return WriteDecimal(Magnitude(value), value < 0, out); }
