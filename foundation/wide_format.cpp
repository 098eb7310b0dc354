#include "foundation/wide_format.h"

#include <cstdio>
#include <string>

#include "foundation/code_pages.h"
#include "foundation/text_utils.h"
#include "platform/code_page.h"

namespace {

enum class ESize { Default, Char, Short, Long32, Long64, Pointer };

struct SSpec {
  bool left = false, plus = false, space = false, zero = false, alternate = false;
  std::int64_t width = 0;
  std::int64_t precision = -1;  // -1: none
  ESize size = ESize::Default;
  bool narrow = false;  // "h" before s/c
  bool wide = false;    // "l" before s/c
  char16_t conversion = 0;
};

// The argument list as an object, so that parser and fetchers share one position.
struct SArguments {
  va_list list;
};

bool IsFloat(char16_t c) {
  return c == u'e' || c == u'E' || c == u'f' || c == u'g' || c == u'G' || c == u'a' || c == u'A';
}
bool IsInteger(char16_t c) {
  return c == u'd' || c == u'i' || c == u'u' || c == u'o' || c == u'x' || c == u'X';
}
bool IsKnown(char16_t c) {
  return IsFloat(c) || IsInteger(c) || c == u's' || c == u'S' || c == u'c' || c == u'C' || c == u'p' || c == u'n';
}

// A width or precision with one more digit; it stops growing past INT32_MAX (clamped below), so that a long run of
// digits in a format cannot overflow.
std::int64_t Accumulate(std::int64_t value, char16_t digit) {
  return value > INT32_MAX ? value : value * 10 + nDigitValueW(digit);
}

// Reads the conversion after "%"; p is left behind it. False when the format ends inside the conversion; an unknown
// conversion character is returned as it is (it is written literally and takes no argument).
bool Parse(const char16_t*& p, SArguments& args, SSpec& spec) {
  for (;; ++p) {
    if (*p == u'-') spec.left = true;
    else if (*p == u'+') spec.plus = true;
    else if (*p == u' ') spec.space = true;
    else if (*p == u'0') spec.zero = true;
    else if (*p == u'#') spec.alternate = true;
    else break;
  }
  if (*p == u'*') {
    const int width = va_arg(args.list, int);
    if (width < 0) spec.left = true;
    spec.width = width < 0 ? -static_cast<std::int64_t>(width) : width;
    ++p;
  } else {
    while (bIsDigitW(*p)) spec.width = Accumulate(spec.width, *p++);
  }
  if (*p == u'.') {
    ++p;
    if (*p == u'*') {
      const int precision = va_arg(args.list, int);
      spec.precision = precision < 0 ? -1 : precision;
      ++p;
    } else {
      spec.precision = 0;
      while (bIsDigitW(*p)) spec.precision = Accumulate(spec.precision, *p++);
    }
  }
  for (;;) {
    if (*p == u'F' || *p == u'L' || *p == u'N') {
      ++p;
    } else if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') {
      spec.size = ESize::Long64;
      p += 3;
    } else if (p[0] == u'I' && p[1] == u'3' && p[2] == u'2') {
      spec.size = ESize::Long32;
      p += 3;
    } else if (*p == u'I') {
      spec.size = ESize::Pointer;
      ++p;
    } else if (*p == u'h') {
      spec.narrow = true;
      spec.size = spec.size == ESize::Short ? ESize::Char : ESize::Short;
      ++p;
    } else if (*p == u'l') {
      spec.wide = true;
      spec.size = spec.size == ESize::Long32 ? ESize::Long64 : ESize::Long32;
      ++p;
    } else {
      break;
    }
  }
  if (!*p) return false;
  spec.conversion = *p++;
  if (spec.width > INT32_MAX) spec.width = INT32_MAX;
  if (spec.precision > INT32_MAX) spec.precision = INT32_MAX;
  return true;
}

bool IsNarrowText(const SSpec& spec) {
  const bool upper = spec.conversion == u'S' || spec.conversion == u'C';
  return spec.narrow || (upper && !spec.wide);
}

std::int64_t SignedArgument(const SSpec& spec, SArguments& args) {
  switch (spec.size) {
    case ESize::Long64: return va_arg(args.list, long long);
    case ESize::Pointer: return va_arg(args.list, std::intptr_t);
    case ESize::Short: return static_cast<short>(va_arg(args.list, int));
    case ESize::Char: return static_cast<signed char>(va_arg(args.list, int));
    default: return va_arg(args.list, int);
  }
}

std::uint64_t UnsignedArgument(const SSpec& spec, SArguments& args) {
  switch (spec.size) {
    case ESize::Long64: return va_arg(args.list, unsigned long long);
    case ESize::Pointer: return va_arg(args.list, std::uintptr_t);
    case ESize::Short: return static_cast<unsigned short>(va_arg(args.list, unsigned));
    case ESize::Char: return static_cast<unsigned char>(va_arg(args.list, unsigned));
    default: return va_arg(args.list, unsigned);
  }
}

// The output: counts everything, stores what fits before the terminator.
class COutput {
 public:
  COutput(char16_t* out, std::size_t size) : m_out(out), m_size(size) {}
  void Put(char16_t unit) {
    if (m_count + 1 < m_size) m_out[m_count] = unit;
    ++m_count;
  }
  void Repeat(char16_t unit, std::int64_t n) {
    for (; n > 0; --n) Put(unit);
  }
  std::size_t Finish() {
    if (m_size == 0) return 0;
    const std::size_t written = m_count < m_size ? m_count : m_size - 1;
    m_out[written] = 0;
    return written;
  }

 private:
  char16_t* m_out;
  std::size_t m_size;
  std::size_t m_count = 0;
};

void PutPadded(COutput& out, const SSpec& spec, const char16_t* text, std::size_t n) {
  const std::int64_t pad = spec.width - static_cast<std::int64_t>(n);
  if (!spec.left) out.Repeat(spec.zero ? u'0' : u' ', pad);
  for (std::size_t i = 0; i < n; ++i) out.Put(text[i]);
  if (spec.left) out.Repeat(u' ', pad);
}

std::u16string NarrowToWide(const char* text, std::size_t n) {
  std::u16string wide(n, u'\0');
  if (n) platform::MultiByteToWide(CODE_PAGE_ANSI, 0, text, static_cast<int>(n), wide.data(), static_cast<int>(n));
  return wide;
}

std::size_t BoundedNarrowLength(const char* text, std::int64_t precision) {
  std::size_t n = 0;
  while ((precision < 0 || n < static_cast<std::size_t>(precision)) && text[n]) ++n;
  return n;
}

// The C library formats numbers; the text is ASCII and widened unit by unit.
void PutNumber(COutput& out, const SSpec& spec, SArguments& args) {
  std::string format = "%";
  if (spec.left) format += '-';
  if (spec.plus) format += '+';
  if (spec.space) format += ' ';
  if (spec.zero) format += '0';
  if (spec.alternate) format += '#';
  format += "*.*";
  const int width = static_cast<int>(spec.width);
  const int precision = static_cast<int>(spec.precision);
  std::string text;
  const auto run = [&](auto value, const char* length) {
    format += length;
    format += static_cast<char>(spec.conversion);
    const int n = std::snprintf(nullptr, 0, format.c_str(), width, precision, value);
    if (n <= 0) return;
    text.resize(static_cast<std::size_t>(n) + 1);
    std::snprintf(text.data(), text.size(), format.c_str(), width, precision, value);
    text.resize(static_cast<std::size_t>(n));
  };
  if (IsFloat(spec.conversion)) {
    run(va_arg(args.list, double), "");
  } else if (spec.conversion == u'd' || spec.conversion == u'i') {
    run(static_cast<long long>(SignedArgument(spec, args)), "ll");
  } else {
    run(static_cast<unsigned long long>(UnsignedArgument(spec, args)), "ll");
  }
  for (const char c : text) out.Put(static_cast<char16_t>(static_cast<unsigned char>(c)));
}

void PutConversion(COutput& out, const SSpec& spec, SArguments& args) {
  switch (spec.conversion) {
    case u's':
    case u'S': {
      const void* text = va_arg(args.list, const void*);
      if (!text) {
        const std::size_t n = spec.precision >= 0 && spec.precision < 6 ? static_cast<std::size_t>(spec.precision) : 6;
        PutPadded(out, spec, u"(null)", n);
      } else if (IsNarrowText(spec)) {
        const auto* narrow = static_cast<const char*>(text);
        const std::u16string wide = NarrowToWide(narrow, BoundedNarrowLength(narrow, spec.precision));
        PutPadded(out, spec, wide.data(), wide.size());
      } else {
        const auto* wide = static_cast<const char16_t*>(text);
        const std::size_t n = spec.precision < 0 ? nLengthW(wide) : nBoundedLengthW(wide, spec.precision);
        PutPadded(out, spec, wide, n);
      }
      return;
    }
    case u'c':
    case u'C': {
      const int value = va_arg(args.list, int);
      char16_t unit = static_cast<char16_t>(value);
      if (IsNarrowText(spec)) {
        const char byte = static_cast<char>(value);
        unit = byte ? NarrowToWide(&byte, 1)[0] : u'\0';
      }
      PutPadded(out, spec, &unit, 1);
      return;
    }
    case u'p': {
      const auto value = reinterpret_cast<std::uintptr_t>(va_arg(args.list, void*));
      char16_t digits[2 * sizeof(void*)];
      for (std::size_t i = 0; i < 2 * sizeof(void*); ++i) {
        digits[i] = u"0123456789ABCDEF"[(value >> (4 * (2 * sizeof(void*) - 1 - i))) & 0xF];
      }
      SSpec padding = spec;
      padding.zero = false;
      PutPadded(out, padding, digits, 2 * sizeof(void*));
      return;
    }
    case u'n':
      // Writing through the argument would let a format text store into memory: the pointer is consumed only.
      va_arg(args.list, void*);
      return;
    default:
      PutNumber(out, spec, args);
  }
}

std::uint64_t EstimateConversion(const SSpec& spec, SArguments& args) {
  const std::uint64_t width = static_cast<std::uint64_t>(spec.width);
  const std::uint64_t precision = spec.precision < 0 ? 0 : static_cast<std::uint64_t>(spec.precision);
  std::uint64_t estimate = spec.alternate ? 2 : 0;
  switch (spec.conversion) {
    case u's':
    case u'S': {
      const void* text = va_arg(args.list, const void*);
      std::uint64_t length = 6;
      if (text) {
        length = IsNarrowText(spec) ? BoundedNarrowLength(static_cast<const char*>(text), spec.precision)
                 : spec.precision < 0 ? nLengthW(static_cast<const char16_t*>(text))
                                      : nBoundedLengthW(static_cast<const char16_t*>(text), spec.precision);
      }
      if (spec.precision >= 0 && length > precision) length = precision;
      return estimate + (length > width ? length : width);
    }
    case u'c':
    case u'C':
      va_arg(args.list, int);
      return estimate + (width > 2 ? width : 2);
    case u'n':
      va_arg(args.list, void*);
      return estimate;
    case u'p':
      va_arg(args.list, void*);
      return estimate + width + precision + 32;
    default:
      if (IsFloat(spec.conversion)) {
        va_arg(args.list, double);
        // 512 holds the integer part of the largest double, the sign, the point and an exponent; the precision's
        // digits come on top of it.
        return estimate + width + precision + 512;
      }
      // The sign or prefix of an integer may come on top of its precision's digits.
      if (spec.conversion == u'd' || spec.conversion == u'i') SignedArgument(spec, args);
      else UnsignedArgument(spec, args);
      return estimate + width + precision + 32;
  }
}

}  // namespace

std::uint64_t nEstimateFormatLength(const char16_t* format, va_list arguments) {
  if (!format) return 0;
  SArguments args;
  va_copy(args.list, arguments);
  std::uint64_t estimate = 0;
  for (const char16_t* p = format; *p;) {
    if (*p != u'%' || p[1] == u'%') {
      estimate += 2;
      p += *p == u'%' ? 2 : 1;
      continue;
    }
    ++p;
    SSpec spec;
    if (!Parse(p, args, spec)) break;
    estimate += IsKnown(spec.conversion) ? EstimateConversion(spec, args) : 2;
  }
  va_end(args.list);
  return estimate;
}

std::size_t nFormatWideV(char16_t* out, std::size_t size, const char16_t* format, va_list arguments) {
  COutput output(out, size);
  if (!format) return output.Finish();
  SArguments args;
  va_copy(args.list, arguments);
  for (const char16_t* p = format; *p;) {
    if (*p != u'%' || p[1] == u'%') {
      output.Put(*p);
      p += *p == u'%' ? 2 : 1;
      continue;
    }
    ++p;
    SSpec spec;
    if (!Parse(p, args, spec)) break;
    if (IsKnown(spec.conversion)) {
      PutConversion(output, spec, args);
    } else {
      output.Put(spec.conversion);
    }
  }
  va_end(args.list);
  return output.Finish();
}
