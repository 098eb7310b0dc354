#include "foundation/currency.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

namespace {

std::u16string Text(const CCurrency& value) {
  char16_t out[CCurrency::kTextSize];
  value.FormatText(out);
  return out;
}

std::u16string Parsed(const char16_t* text, int* result = nullptr) {
  CCurrency value{};
  int ok = value.bFromText(text);
  if (result) *result = ok;
  return ok ? Text(value) : u"<fail>";
}

// The signed 80-bit value, sign-extended.
__int128 Millionths(const CCurrency& value) {
  __int128 result = 0;
  for (int i = CCurrency::kWords - 1; i >= 0; --i) result = (result << 16) | value.m_awWords[i];
  return (result << 48) >> 48;
}

TEST(CCurrency, ParsesSixDecimalsAndWritesTheShortestText) {
  struct Case { const char16_t* text; const char16_t* shown; };
  for (Case c : {Case{u"-12.3456789", u"-12.345678"}, Case{u"12abc", u"12"}, Case{u".5", u"0.5"},
                 Case{u"", u"0"}, Case{u"   +7.", u"7"}, Case{u"-0", u"0"}, Case{u"1.000001", u"1.000001"},
                 Case{u"0.0000009", u"0"}, Case{u"3.14 15", u"3.14"}, Case{u"1.2.3", u"1.2"},
                 Case{u"2.000", u"2"}, Case{u"0.000005", u"0.000005"}, Case{u"-0.25", u"-0.25"},
                 Case{u"-0.000001", u"-0.000001"}, Case{u"1000000", u"1000000"}, Case{u"-10.10", u"-10.1"}}) {
    int result = 0;
    EXPECT_EQ(Parsed(c.text, &result), c.shown) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
    EXPECT_EQ(result, 1);
  }
  EXPECT_EQ(Parsed(nullptr), u"0");
}

TEST(CCurrency, LimitsAreTwoToThe79Millionths) {
  EXPECT_EQ(Parsed(u"604462909807314587.353087"), u"604462909807314587.353087");
  EXPECT_EQ(Parsed(u"-604462909807314587.353087"), u"-604462909807314587.353087");
  EXPECT_EQ(Parsed(u"604462909807314587.353088"), u"<fail>");
  EXPECT_EQ(Parsed(u"-604462909807314587.353088"), u"<fail>");
  EXPECT_EQ(Parsed(u"99999999999999999999999999999"), u"<fail>") << "a carry out of the fifth word";

  CCurrency largest{};
  ASSERT_TRUE(largest.bFromText(u"604462909807314587.353087"));
  EXPECT_EQ(Millionths(largest), (__int128{1} << 79) - 1);

  // The one 80-bit value no text reaches still prints: its negation is itself.
  CCurrency lowest{{0, 0, 0, 0, 0x8000}};
  EXPECT_EQ(Text(lowest), u"-604462909807314587.353088");
}

TEST(CCurrency, FromDoubleRoundsTheSixthDecimal) {
  struct Case { double value; const char16_t* shown; };
  for (Case c : {Case{0.1, u"0.1"}, Case{-2.5, u"-2.5"}, Case{2.4999996, u"2.5"}, Case{1.0000004, u"1"},
                 // exact ties go to the even digit, as the fixed-point conversion does
                 Case{0.0078125, u"0.007812"}, Case{0.0234375, u"0.023438"}, Case{-0.0078125, u"-0.007812"},
                 Case{-1e-9, u"0"}, Case{6.0e17, u"600000000000000000"}}) {
    CCurrency value{};
    ASSERT_TRUE(value.bFromDouble(c.value)) << c.value;
    EXPECT_EQ(Text(value), c.shown) << c.value;
  }
  CCurrency value{};
  for (double bad : {1e300, 7.0e17, -7.0e17, std::numeric_limits<double>::infinity(),
                     -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_FALSE(value.bFromDouble(bad)) << bad;
  }
}

TEST(CCurrency, ToDoubleAndBackKeepsSixDecimals) {
  std::mt19937_64 random(79);
  for (int i = 0; i < 2000; ++i) {
    // Up to 15 significant digits survive a double exactly.
    std::int64_t millionths = static_cast<std::int64_t>(random() % 1000000000000000ull) - 500000000000000ll;
    std::u16string text = u"";
    std::string digits = std::to_string(millionths < 0 ? -millionths : millionths);
    digits.insert(0, digits.size() < 7 ? 7 - digits.size() : 0, '0');
    digits.insert(digits.size() - 6, ".");
    if (millionths < 0) digits.insert(0, "-");
    text.assign(digits.begin(), digits.end());

    CCurrency value{};
    ASSERT_TRUE(value.bFromText(text.c_str()));
    EXPECT_EQ(Millionths(value), millionths);
    double asDouble = value.dToDouble();
    EXPECT_DOUBLE_EQ(asDouble, static_cast<double>(millionths) / 1e6);
    CCurrency back{};
    ASSERT_TRUE(back.bFromDouble(asDouble));
    EXPECT_EQ(Millionths(back), millionths) << digits;
  }
}

}  // namespace
