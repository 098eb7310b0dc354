// Formatting with the wide-function rules, each case checked against the length estimate: the estimate must never
// fall below what is written.
#include "foundation/wide_format.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <functional>
#include <string>
#include <vector>

namespace {

struct SResult {
  std::uint64_t estimate;
  std::u16string text;
};

SResult Format(const char16_t* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  SResult result{nEstimateFormatLength(format, arguments), {}};
  va_end(arguments);
  std::vector<char16_t> buffer(result.estimate + 1, u'#');
  va_start(arguments, format);
  const std::size_t written = nFormatWideV(buffer.data(), buffer.size(), format, arguments);
  va_end(arguments);
  result.text.assign(buffer.data(), written);
  EXPECT_EQ(buffer[written], 0);
  return result;
}

std::size_t FormatInto(char16_t* buffer, std::size_t size, const char16_t* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const std::size_t n = nFormatWideV(buffer, size, format, arguments);
  va_end(arguments);
  return n;
}

struct SCase {
  const char* name;
  std::function<SResult()> run;
  std::u16string expected;  // empty: only the estimate is checked
};

TEST(WideFormatTest, EstimateCoversEveryFormat) {
  static const char16_t kWide[] = u"wide\u00e9";
  static const char kNarrow[] = "narrow\xe9";
  const std::vector<SCase> cases = {
      {"plain", [] { return Format(u"100%% sure"); }, u"100% sure"},
      {"int", [] { return Format(u"%d|%5d|%-5d|%05d", -7, 42, 42, 42); }, u"-7|   42|42   |00042"},
      {"precision int", [] { return Format(u"%.40d", -5); }, u"-0000000000000000000000000000000000000005"},
      {"unsigned hex", [] { return Format(u"%u %x %X %#x %o", 4000000000u, 255u, 255u, 255u, 8u); },
       u"4000000000 ff FF 0xff 10"},
      {"I64 and ll", [] { return Format(u"%I64d %lld %I64u", INT64_MIN, 1234567890123LL, UINT64_MAX); },
       u"-9223372036854775808 1234567890123 18446744073709551615"},
      {"l is 32 bits", [] { return Format(u"%ld %lu %hd", -1, 4294967295u, 70000); }, u"-1 4294967295 4464"},
      {"star width", [] { return Format(u"[%*d][%-*d][%.*s]", 6, 1, -4, 2, 3, u"abcdef"); }, u"[     1][2   ][abc]"},
      {"wide s", [] { return Format(u"<%s><%ls><%10s>", kWide, kWide, u"r"); }, u"<wide\u00e9><wide\u00e9><         r>"},
      {"narrow S", [] { return Format(u"<%S><%hs><%.3S>", kNarrow, kNarrow, kNarrow); },
       u"<narrow\u00e9><narrow\u00e9><nar>"},
      {"null strings", [] { return Format(u"%s|%S|%.2s", nullptr, nullptr, nullptr); }, u"(null)|(null)|(n"},
      {"chars", [] { return Format(u"%c%C%lc%hc%3c", u'\u00e9', 'A', u'\u20ac', '\x80', u'z'); },
       u"\u00e9A\u20ac\u20ac  z"},
      {"floats", [] { return Format(u"%.2f %e %g", 3.14159, 1.5, 0.25); }, u"3.14 1.500000e+00 0.25"},
      {"huge float", [] { return Format(u"%f", DBL_MAX); }, u""},
      {"huge float precision", [] { return Format(u"%.600f", -DBL_MAX); }, u""},
      {"wide float", [] { return Format(u"%700.3f", 1.0); }, u""},
      {"prefix letters skipped", [] { return Format(u"%Lf %Nd %Fs", 2.5, 3, u"x"); }, u"2.500000 3 x"},
      {"pointer", [] { return Format(u"%p", reinterpret_cast<void*>(0xAB)); },
       sizeof(void*) == 8 ? u"00000000000000AB" : u"000000AB"},
      {"n stores nothing", [] {
         int count = 77;
         SResult r = Format(u"ab%ncd", &count);
         EXPECT_EQ(count, 77);
         return r;
       },
       u"abcd"},
      {"unknown conversion", [] { return Format(u"%k%d", 5); }, u"k5"},
      {"cut at the end", [] { return Format(u"abc%"); }, u"abc"},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.name);
    const SResult result = c.run();
    if (!c.expected.empty()) {
      EXPECT_EQ(result.text, c.expected);
    }
    EXPECT_GE(result.estimate, result.text.size());
  }
}

TEST(WideFormatTest, EstimateFloors) {
  EXPECT_GE(Format(u"%d", 1).estimate, 32u);
  EXPECT_GE(Format(u"%f", 1.0).estimate, 512u);
  EXPECT_EQ(Format(u"ab").estimate, 4u);
}

std::uint64_t Estimate(const char16_t* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const std::uint64_t estimate = nEstimateFormatLength(format, arguments);
  va_end(arguments);
  return estimate;
}

TEST(WideFormatTest, OverlongWidthAndPrecisionStopAtTheLargestInt) {
  // Twenty digits would overflow a 64-bit accumulator; the width and precision stop at INT32_MAX instead.
  EXPECT_EQ(Estimate(u"%99999999999999999999d", 5), 2147483647u + 32u);
  EXPECT_EQ(Estimate(u"%.99999999999999999999s", u"ab"), 2u);
}

TEST(WideFormatTest, OutputIsCutToTheBuffer) {
  char16_t buffer[4] = {u'#', u'#', u'#', u'#'};
  EXPECT_EQ(FormatInto(buffer, 4, u"%s", u"abcdef"), 3u);
  EXPECT_EQ(std::u16string(buffer), u"abc");
}

}  // namespace
