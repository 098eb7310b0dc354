// The code-page layer against the Windows rules the driver relies on: measuring calls, -1 lengths, the
// insufficient-buffer failure, flags per page, invalid input, the used-default-character flag.
#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/last_error.h"

namespace {

std::u16string ToWide(std::uint32_t codePage, const std::string& bytes, std::uint32_t flags = 0) {
  const int n = platform::MultiByteToWide(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::u16string out(static_cast<std::size_t>(n), u'\0');
  if (n > 0) {
    EXPECT_EQ(platform::MultiByteToWide(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), out.data(), n),
              n);
  }
  return out;
}

std::string ToNarrow(std::uint32_t codePage, const std::u16string& text, int* usedDefault = nullptr) {
  const int n = platform::WideToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                          nullptr, usedDefault);
  std::string out(static_cast<std::size_t>(n), '\0');
  if (n > 0) {
    platform::WideToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                              usedDefault);
  }
  return out;
}

TEST(CodePageTest, MeasuringAndTerminatedLengths) {
  // -1 converts and counts the terminator; a measured size is exactly enough.
  EXPECT_EQ(platform::MultiByteToWide(1252, 0, "abc", -1, nullptr, 0), 4);
  char16_t wide[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(platform::MultiByteToWide(1252, 0, "abc", -1, wide, 4), 4);
  EXPECT_EQ(std::u16string(wide), u"abc");
  EXPECT_EQ(platform::WideToMultiByte(65001, 0, u"\u00e9t\u00e9", -1, nullptr, 0, nullptr, nullptr), 6);

  platform::SetLastErrorCode(0);
  EXPECT_EQ(platform::MultiByteToWide(1252, 0, "abc", -1, wide, 3), 0);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorInsufficientBuffer);
  char narrow[2];
  EXPECT_EQ(platform::WideToMultiByte(65001, 0, u"\u00e9", 1, narrow, 1, nullptr, nullptr), 0);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorInsufficientBuffer);

  // A length of 0 and a missing source are parameter errors, not empty results.
  EXPECT_EQ(platform::MultiByteToWide(1252, 0, "abc", 0, wide, 4), 0);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorInvalidParameter);
  EXPECT_EQ(platform::WideToMultiByte(1252, 0, nullptr, -1, narrow, 2, nullptr, nullptr), 0);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorInvalidParameter);
  EXPECT_EQ(platform::MultiByteToWide(4242, 0, "abc", 3, nullptr, 0), 0);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorInvalidParameter);
}

TEST(CodePageTest, FlagsAcceptedPerPage) {
  platform::SetLastErrorCode(0);
  // UTF-8 takes only the fail-on-invalid flag.
  EXPECT_EQ(platform::MultiByteToWide(65001, 9, "a", 1, nullptr, 0), 0);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorInvalidFlags);
  EXPECT_EQ(platform::MultiByteToWide(65001, 8, "a", 1, nullptr, 0), 1);
  EXPECT_EQ(platform::MultiByteToWide(1252, 9, "a", 1, nullptr, 0), 1);
  EXPECT_EQ(platform::WideToMultiByte(65001, 0x400, u"a", 1, nullptr, 0, nullptr, nullptr), 0);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorInvalidFlags);
  int used = 0;
  EXPECT_EQ(platform::WideToMultiByte(65001, 0, u"a", 1, nullptr, 0, nullptr, &used), 0);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorInvalidParameter);
  EXPECT_EQ(platform::WideToMultiByte(1252, 0x400, u"a", 1, nullptr, 0, nullptr, &used), 1);
}

TEST(CodePageTest, Page1252RoundTripsEveryByte) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  const std::u16string wide = ToWide(1252, all);
  ASSERT_EQ(wide.size(), all.size());
  EXPECT_EQ(wide[0x80 - 1], u'\u20ac');
  EXPECT_EQ(wide[0x9F - 1], u'\u0178');
  EXPECT_EQ(wide[0x81 - 1], u'\u0081');
  EXPECT_EQ(wide[0xE9 - 1], u'\u00e9');
  int used = 1;
  EXPECT_EQ(ToNarrow(1252, wide, &used), all);
  EXPECT_EQ(used, 0);
}

TEST(CodePageTest, MissingCharactersUseTheDefault) {
  int used = 0;
  EXPECT_EQ(ToNarrow(1252, u"a\u4e2db", &used), "a?b");
  EXPECT_EQ(used, 1);
  // A surrogate pair is one character and takes one default character.
  EXPECT_EQ(ToNarrow(1252, u"\U0001F600", &used), "?");
  char out[4] = {};
  const char star = '*';
  EXPECT_EQ(platform::WideToMultiByte(1252, 0, u"\u4e2d", 1, out, 4, &star, &used), 1);
  EXPECT_EQ(out[0], '*');
  EXPECT_EQ(ToNarrow(932, u"\u00e9", &used), "?");
  EXPECT_EQ(used, 1);
}

TEST(CodePageTest, Utf8FourByteAndInvalidSequences) {
  const std::string smile = "\xF0\x9F\x98\x80";
  EXPECT_EQ(ToWide(65001, smile), u"\U0001F600");
  EXPECT_EQ(ToNarrow(65001, u"\U0001F600"), smile);
  EXPECT_EQ(ToWide(65001, "a\xC3\xA9\xE2\x82\xAC"), u"a\u00e9\u20ac");

  // Broken, overlong, surrogate and cut sequences: U+FFFD, or a failure when asked to fail.
  EXPECT_EQ(ToWide(65001, "a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(ToWide(65001, "\xC0\xAF"), u"\uFFFD\uFFFD");
  EXPECT_EQ(ToWide(65001, "\xED\xA0\x80").front(), u'\uFFFD');
  EXPECT_EQ(ToWide(65001, "x\xF0\x9F"), u"x\uFFFD\uFFFD");
  platform::SetLastErrorCode(0);
  EXPECT_EQ(platform::MultiByteToWide(65001, 8, "a\xFF", 2, nullptr, 0), 0);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorNoUnicodeTranslation);

  const std::u16string lone = u"a\xD800z";
  EXPECT_EQ(ToNarrow(65001, lone), "a\xEF\xBF\xBDz");
  EXPECT_EQ(platform::WideToMultiByte(65001, 0x80, lone.data(), 3, nullptr, 0, nullptr, nullptr), 0);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorNoUnicodeTranslation);
}

TEST(CodePageTest, DoubleBytePageRoundTrips) {
  // "ア" is 0x83 0x41 in page 932: its trail byte lies in the ASCII range.
  const std::string bytes = "A\x83\x41\x93\xfa\x96\x7b";
  const std::u16string wide = ToWide(932, bytes);
  EXPECT_EQ(wide, u"A\u30a2\u65e5\u672c");
  EXPECT_EQ(ToNarrow(932, wide), bytes);
  EXPECT_EQ(ToWide(936, ToNarrow(936, u"\u4e2d\u6587")), u"\u4e2d\u6587");
  // A lead byte without its trail byte fails when asked to fail, else becomes "?".
  EXPECT_EQ(platform::MultiByteToWide(932, 8, "\x83", 1, nullptr, 0), 0);
  EXPECT_EQ(ToWide(932, "\x83"), u"?");
  // Page 54936 holds every character: two bytes for the common ideographs, four for the rest.
  EXPECT_EQ(ToWide(54936, "\xd6\xd0\x94\x39\xfc\x36"), u"\u4e2d\U0001F600");
  EXPECT_EQ(ToNarrow(54936, u"\u4e2d\U0001F600"), "\xd6\xd0\x94\x39\xfc\x36");
}

TEST(CodePageTest, IconvPagesMeasureAndStopAtTheTargetSize) {
  // Output goes straight into the target: a measured size is exact, and a target one unit or byte short fails
  // with 122 without writing past its size, even where the next character would fit only in part.
  const std::u16string text = u"\u65e5\u672cA\u30a2";
  const std::string bytes = "\x93\xfa\x96\x7b" "A\x83\x41";
  EXPECT_EQ(platform::MultiByteToWide(932, 0, bytes.data(), 7, nullptr, 0), 4);
  EXPECT_EQ(platform::WideToMultiByte(932, 0, text.data(), 4, nullptr, 0, nullptr, nullptr), 7);
  char16_t wide[4] = {u'-', u'-', u'-', u'-'};
  platform::SetLastErrorCode(0);
  EXPECT_EQ(platform::MultiByteToWide(932, 0, bytes.data(), 7, wide, 3), 0);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorInsufficientBuffer);
  EXPECT_EQ(wide[3], u'-');
  for (const int size : {6, 3}) {
    char narrow[8] = "-------";
    platform::SetLastErrorCode(0);
    EXPECT_EQ(platform::WideToMultiByte(932, 0, text.data(), 4, narrow, size, nullptr, nullptr), 0) << size;
    EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorInsufficientBuffer) << size;
    EXPECT_EQ(narrow[size], '-') << size;
  }
  // Long texts pass through several rounds of the descriptor; invalid bytes in them still give "?" each.
  const std::string longBytes = std::string(3000, 'x') + "\x83 " + std::string(3000, 'y') + "\x93\xfa";
  const std::u16string longWide = ToWide(932, longBytes);
  EXPECT_TRUE(longWide == std::u16string(3000, u'x') + u"? " + std::u16string(3000, u'y') + u"\u65e5");
  EXPECT_TRUE(ToNarrow(932, longWide) == std::string(3000, 'x') + "? " + std::string(3000, 'y') + "\x93\xfa");
}

TEST(CodePageTest, CharacterLengthFollowsEachPage) {
  // Walking a text by CharacterLength and converting it piece by piece gives the whole text's conversion: no
  // character is cut, whatever bytes its trail holds.
  const std::u16string sample = u"A\u00e9\u4e2d\U0001F600\u00ff\u30bd\\\u65e5\u672c 9;x";
  for (const std::uint32_t page : {932u, 936u, 949u, 950u, 1361u, 54936u, 65001u}) {
    const std::string bytes = ToNarrow(page, sample);
    std::u16string pieces;
    std::size_t longest = 0;
    for (std::size_t at = 0, used = 0; at < bytes.size(); at += used) {
      used = platform::CharacterLength(page, bytes.data() + at, bytes.size() - at);
      ASSERT_GE(used, 1u);
      longest = std::max(longest, used);
      pieces += ToWide(page, bytes.substr(at, used));
    }
    EXPECT_EQ(pieces, ToWide(page, bytes)) << page;
    EXPECT_EQ(longest, page == 54936 || page == 65001 ? 4u : 2u) << page;
  }
  // A four-byte GB18030 character cut short, a lone lead byte, EUC-JP's three-byte form, a single-byte page.
  EXPECT_EQ(platform::CharacterLength(54936, "\x94\x39\xfc", 3), 1u);
  EXPECT_EQ(platform::CharacterLength(54936, "\x94\x39\xfc\x36", 4), 4u);
  EXPECT_EQ(platform::CharacterLength(932, "\x83", 1), 1u);
  EXPECT_EQ(platform::CharacterLength(20932, "\x8f\xb0\xa1", 3), 3u);
  EXPECT_EQ(platform::CharacterLength(20932, "\x8f\xb0", 2), 1u);
  EXPECT_EQ(platform::CharacterLength(1252, "\xe9\xe9", 2), 1u);
}

TEST(CodePageTest, CompareTextNoCase) {
  EXPECT_EQ(platform::CompareTextNoCase(u"Name", u"nAME"), 0);
  EXPECT_EQ(platform::CompareTextNoCase(u"\u00c9t\u00c9", u"\u00e9t\u00e9"), 0);
  EXPECT_LT(platform::CompareTextNoCase(u"abc", u"ABD"), 0);
  EXPECT_GT(platform::CompareTextNoCase(u"abc", u"AB"), 0);
  // Lower-case comparison puts "_" before the letters.
  EXPECT_LT(platform::CompareTextNoCase(u"A_", u"aa"), 0);
  EXPECT_EQ(platform::CompareTextNoCase(nullptr, u""), 0);
}

}  // namespace
