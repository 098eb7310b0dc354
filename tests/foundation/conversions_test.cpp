// Code-page conversions, numbers, bounded copies, trims, the locale wrappers and the option parser.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "foundation/code_pages.h"
#include "foundation/host_locale.h"
#include "foundation/numbers.h"
#include "foundation/option_text.h"
#include "foundation/text_utils.h"
#include "tests/support/bound_runtime_services.h"

namespace {

struct CFreeText {
  void operator()(void* text) const { FreeText(text); }
};

TEST(ConversionsTest, CharsetTable) {
  EXPECT_EQ(nCharsetToCodePage(0), 1252u);
  EXPECT_EQ(nCharsetToCodePage(255), 1252u);
  EXPECT_EQ(nCharsetToCodePage(128), 932u);
  EXPECT_EQ(nCharsetToCodePage(130), 1361u);
  EXPECT_EQ(nCharsetToCodePage(65001), 65001u);
  EXPECT_EQ(nCharsetToCodePage(127), 0u);
  EXPECT_EQ(nCharsetToCodePage(2), 0u);
}

TEST(ConversionsTest, AllocatingConversionsRoundTrip) {
  char16_t* wide = nullptr;
  std::size_t length = 99;
  ASSERT_EQ(nCodePageToWideAlloc("caf\xc3\xa9 \xf0\x9f\x98\x80", 10, 65001, &wide, &length), 1);
  EXPECT_EQ(std::u16string(wide), u"caf\u00e9 \U0001F600");
  EXPECT_EQ(length, 7u);
  char* narrow = nullptr;
  ASSERT_EQ(nWideToCodePageAlloc(wide, 0, &narrow, &length, 65001), 1);
  EXPECT_EQ(std::string(narrow), "caf\xc3\xa9 \xf0\x9f\x98\x80");
  EXPECT_EQ(length, 11u);  // with the terminator
  FreeText(wide);
  FreeText(narrow);

  // Invalid input fails and leaves nothing behind.
  wide = reinterpret_cast<char16_t*>(&length);
  EXPECT_EQ(nCodePageToWideAlloc("a\xff", 2, 65001, &wide, &length), 0);
  EXPECT_EQ(wide, nullptr);
  EXPECT_EQ(length, 0u);
  ASSERT_EQ(nCodePageToWideAlloc("\x83\x41", 2, 932, &wide, &length), 1);
  EXPECT_EQ(std::u16string(wide), u"\u30a2");
  FreeText(wide);
}

TEST(ConversionsTest, NewWideTerminatesBehindTheUnitsConverted) {
  // Six bytes of page 932 are three characters: the text must end there, not at unit six.
  std::unique_ptr<char16_t, CFreeText> wide(pszCodePageToNewWide("\x93\xfa\x96\x7b\x8c\xea", 6, 932));
  ASSERT_TRUE(wide);
  EXPECT_EQ(std::u16string(wide.get()), u"\u65e5\u672c\u8a9e");
  wide.reset(pszCodePageToNewWide("abc", TEXT_ZERO_TERMINATED, 1252));
  EXPECT_EQ(std::u16string(wide.get()), u"abc");
  wide.reset(pszCodePageToNewWide("", 0, 1252));
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide.get()[0], 0);
  EXPECT_EQ(chCodePageToWide('\x80', 1252), u'\u20ac');
  EXPECT_EQ(chWideToCodePage(u'\u20ac', 1252), '\x80');
  EXPECT_EQ(chWideToCodePage(u'\u65e5', 932), 0);
}

TEST(ConversionsTest, CopyToAndFromCodePage) {
  char out[16];
  // UTF-8 -> 1252: ASCII copied, accented runs transcoded, the tail zero-filled.
  EXPECT_EQ(nCopyToCodePage(1252, "d\xc3\xa9j\xc3\xa0 vu", 9, out, sizeof out), 7u);
  EXPECT_EQ(std::string(out), "d\xe9j\xe0 vu");
  EXPECT_EQ(out[15], 0);
  // UTF-8 to UTF-8 is a bounded copy that always leaves a terminator.
  EXPECT_EQ(nCopyToCodePage(65001, "abcdef", 6, out, 4), 3u);
  EXPECT_EQ(std::string(out), "abc");
  // ... cut on whole characters: the three- and four-byte characters at the cut are left out whole.
  EXPECT_EQ(nCopyToCodePage(65001, "ab\xe2\x82\xac", 5, out, 5), 2u);
  EXPECT_EQ(std::string(out), "ab");
  EXPECT_EQ(nCopyToCodePage(65001, "a\xf0\x9f\x98\x80", 5, out, 5), 1u);
  EXPECT_EQ(std::string(out), "a");

  // 932 -> UTF-8: a trail byte in the ASCII range stays with its lead byte.
  EXPECT_EQ(nCopyFromCodePage(932, "x\x83\x41y", 4, out, sizeof out), 5u);
  EXPECT_EQ(std::string(out), "x\xe3\x82\xa2y");
  EXPECT_EQ(nCopyFromCodePage(1252, "\xe9t\xe9", 3, out, sizeof out), 5u);
  EXPECT_EQ(std::string(out), "\xc3\xa9t\xc3\xa9");
  // A run that cannot fit makes the whole copy fail, without writing past the size.
  char small[3] = {'z', 'z', 'z'};
  EXPECT_EQ(nCopyFromCodePage(932, "\x93\xfa", 2, small, 3), 0u);
  EXPECT_EQ(small[0], 0);
}

TEST(ConversionsTest, Gb18030FourByteCharactersStayWhole) {
  // U+1F600 is 0x94 0x39 0xFC 0x36 and U+00FF is 0x81 0x30 0x8B 0x37: their second and fourth bytes are digits.
  const std::string gb = "x\x94\x39\xfc\x36" "9\x81\x30\x8b\x37y";
  const std::string utf8 = "x\xf0\x9f\x98\x80" "9\xc3\xbfy";
  char out[32];
  EXPECT_EQ(nCopyFromCodePage(54936, gb.data(), gb.size(), out, sizeof out), utf8.size());
  EXPECT_EQ(std::string(out), utf8);
  EXPECT_EQ(nCopyToCodePage(54936, utf8.data(), utf8.size(), out, sizeof out), gb.size());
  EXPECT_EQ(std::string(out), gb);

  std::size_t units = 0;
  EXPECT_EQ(nCharacterBytes(54936, gb.data() + 1, gb.size() - 1, &units), 4u);
  EXPECT_EQ(units, 2u);  // beyond U+FFFF: a surrogate pair
  EXPECT_EQ(nCharacterBytes(54936, gb.data() + 6, gb.size() - 6, &units), 4u);
  EXPECT_EQ(units, 1u);
  EXPECT_EQ(nCharacterBytes(54936, "\xd6\xd0", 2, &units), 2u);
  EXPECT_EQ(units, 1u);
}

TEST(ConversionsTest, RepresentableInCodePage) {
  EXPECT_EQ(bIsRepresentableInCodePage(u"", 1252), 1);
  EXPECT_EQ(bIsRepresentableInCodePage(nullptr, 1252), 1);
  EXPECT_EQ(bIsRepresentableInCodePage(u"\u00e9\u20ac", 1252), 1);
  EXPECT_EQ(bIsRepresentableInCodePage(u"\u65e5", 1252), 0);
  EXPECT_EQ(bIsRepresentableInCodePage(u"\u65e5", 932), 1);
  EXPECT_EQ(bIsRepresentableInCodePage(u"\U0001F600", 65001), 1);
  EXPECT_EQ(bIsRepresentableInCodePage(u"a\xDC00", 65001), 0);
  EXPECT_EQ(bIsRepresentableByRoundTrip(u"\u00e9t\u00e9", 1252), 1);
  EXPECT_EQ(bIsRepresentableByRoundTrip(u"\u0100", 1252), 0);
  EXPECT_EQ(bIsNt51OrLaterCached(), 1);
}

TEST(ConversionsTest, NumbersFromText) {
  EXPECT_EQ(nWideToInt(u"  -42xyz"), -42);
  EXPECT_EQ(nWideToInt(u"99999999999"), INT32_MAX);
  EXPECT_DOUBLE_EQ(dWideToDouble(u"3.25e2"), 325.0);
  EXPECT_EQ(nWideToInt(nullptr), 0);
  // Longer than any fixed buffer: read whole, never cut or overrun.
  std::u16string longText(300, u'0');
  longText += u"17";
  EXPECT_EQ(nWideToInt(longText.c_str()), 17);
  EXPECT_DOUBLE_EQ(dWideToDouble((longText + u".5").c_str()), 17.5);
}

TEST(ConversionsTest, DecimalWriters) {
  char16_t wide[24];
  char narrow[24];
  EXPECT_EQ(std::u16string(pszI64ToDecimalW(-5, wide)), u"-5");
  EXPECT_EQ(std::u16string(pszU64ToDecimalW(0, wide)), u"0");
  EXPECT_EQ(std::string(pszI64ToDecimalA(INT64_MIN, narrow)), "-9223372036854775808");
  EXPECT_EQ(std::string(pszU64ToDecimalA(UINT64_MAX, narrow)), "18446744073709551615");
}

TEST(ConversionsTest, BoundedCopiesAndHeapTexts) {
  char16_t dst[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(nCopyBoundedNW(dst, 1, u"abc", TEXT_WHOLE), 0u);
  EXPECT_EQ(dst[0], 0);
  EXPECT_EQ(nCopyBoundedW(dst, 4, u"abcdef"), 3u);
  EXPECT_EQ(std::u16string(dst), u"abc");
  EXPECT_EQ(nCopyBoundedNW(dst, 4, u"abcdef", 2), 2u);
  EXPECT_EQ(std::u16string(dst), u"ab");
  EXPECT_EQ(nCopyBoundedW(dst, 0, u"a"), 0u);
  AppendBoundedW(dst, 4, u"xyz");
  EXPECT_EQ(std::u16string(dst), u"abx");
  char narrow[3];
  EXPECT_EQ(nCopyBoundedA(narrow, 3, "hello", TEXT_WHOLE), 2u);
  EXPECT_EQ(std::string(narrow), "he");
  EXPECT_EQ(nBoundedLengthW(u"abc", 0), 0u);
  EXPECT_EQ(nBoundedLengthA("abc", 2), 2u);
  EXPECT_EQ(nCopyWideBounded(u"abc", 0xFFFFFFFF, dst, 0), 4u);
  EXPECT_EQ(nCopyWideBounded(u"abc", 0xFFFFFFFF, dst, 4), 4u);

  std::unique_ptr<char16_t, CFreeText> dup(pszDupNW(2, u"abc"));
  EXPECT_EQ(std::u16string(dup.get()), u"ab");
  std::unique_ptr<char, CFreeText> dupA(pszDupA("xy"));
  EXPECT_EQ(std::string(dupA.get()), "xy");
}

TEST(ConversionsTest, CharacterTestsAndTrims) {
  EXPECT_TRUE(bIsBlankChar(u'\t') && bIsBlankChar(u'\r') && !bIsBlankChar(u'\v'));
  EXPECT_TRUE(bIsAllDigitsW(u"") && bIsAllDigitsW(u"0123") && !bIsAllDigitsW(u"12a"));
  EXPECT_EQ(nDigitValueW(u'7'), 7);
  char16_t text[] = u"\t \u00a0 name \u3000\n";
  TrimW(text);
  EXPECT_EQ(std::u16string(text), u"name");
  char16_t blanks[] = u"   ";
  TrimRightW(blanks);
  EXPECT_EQ(blanks[0], 0);
  TrimLeftW(nullptr);
}

TEST(ConversionsTest, LocaleWrappersThroughTheRuntime) {
  CBoundRuntimeServices services;
  qzrt::SetLocaleCharset(127);
  EXPECT_EQ(nGetHostCharset(), 0u);
  qzrt::SetLocaleCharset(128);
  EXPECT_EQ(nCharsetToCodePage(nGetHostCharset()), 932u);
  EXPECT_EQ(nGetHostLanguageId(), 1036u);

  EXPECT_EQ(nHostCompareNoCase(u"\u00c9l\u00e8ve", u"ELEVE"), 0);
  EXPECT_EQ(nHostCompareNoCase(u"e\u0301l", u"\u00c9L"), 0);
  EXPECT_NE(nHostCompareNoCase(u"abc", u"abd"), 0);
  // The French folding agrees with the comparison: equal names fold to the same units.
  char16_t a[16];
  char16_t b[16];
  ASSERT_GT(HostMapStringFrench(0, a, 16, u"\u00e9l\u00e8ve"), 0);
  ASSERT_GT(HostMapStringFrench(0, b, 16, u"E\u0301LEVE"), 0);
  EXPECT_EQ(std::u16string(a), std::u16string(b));
  EXPECT_EQ(HostMapStringFrench(0, a, 3, u"long"), 0);

  char16_t text[] = u"ab\u00e9";
  MapCharsThroughHost(text);
  EXPECT_EQ(std::u16string(text), u"AB\u00c9");
}

TEST(ConversionsTest, LocaleWrappersWithoutARuntime) {
  CBoundRuntimeServices services(false);
  EXPECT_EQ(nGetHostCharset(), 0u);
  EXPECT_EQ(nGetHostLanguageId(), 0u);
  EXPECT_EQ(nHostCompareNoCase(u"Table", u"TABLE"), 0);
  EXPECT_NE(nHostCompareNoCase(u"Table", u"TABLES"), 0);
  char16_t text[] = u"abc";
  MapCharsThroughHost(text);
  char16_t folded[8];
  EXPECT_EQ(HostMapStringFrench(0, folded, 8, u"abc"), 4);
  EXPECT_EQ(std::u16string(text), std::u16string(folded));
}

TEST(ConversionsTest, OptionParser) {
  CBoundRuntimeServices services;
  CTString text(u"Mode=x; QZ Cursor Location = SERVER ;; Other=1");
  CTString value;
  int found = 0;
  EXPECT_EQ(bExtractOption(value, found, text, u"qz cursor location", 0), 1);
  EXPECT_EQ(found, 1);
  EXPECT_EQ(std::u16string(value.pszGet()), u"SERVER");
  EXPECT_EQ(bExtractOption(value, found, text, u"QZ Cursor Location", 1), 1);
  EXPECT_EQ(std::u16string(text.pszGet()), u"Mode=x;Other=1");
  EXPECT_EQ(bExtractOption(value, found, text, u"Mode", 1), 1);
  EXPECT_EQ(std::u16string(value.pszGet()), u"x");
  EXPECT_EQ(std::u16string(text.pszGet()), u"Other=1");

  // A key without "=" behind it is passed over; a missing key answers 1 with nothing found.
  CTString tricky(u"Note=Timeout is long;Timeout = 30");
  EXPECT_EQ(bExtractOption(value, found, tricky, u"timeout", 0), 1);
  EXPECT_EQ(std::u16string(value.pszGet()), u"30");
  EXPECT_EQ(bExtractOption(value, found, tricky, u"Absent", 1), 1);
  EXPECT_EQ(found, 0);
  EXPECT_TRUE(value.bIsEmpty());
  CTString empty;
  EXPECT_EQ(bExtractOption(value, found, empty, u"Mode", 0), 1);
  EXPECT_EQ(found, 0);
}

TEST(ConversionsTest, OptionParserIsLinearInNearMisses) {
  // Every "Timeout" but the last lacks its "="; a search that measured the text again at each near miss takes
  // half a minute here (and grows with the square of the text), a linear one a few milliseconds.
  CBoundRuntimeServices services;
  std::u16string source;
  for (int i = 0; i < 40000; ++i) source += u"Timeout;";
  source += u"Timeout = 30;Other=1";
  CTString text(source.c_str());
  std::size_t keyStart = 0;
  std::size_t valueStart = 0;
  std::size_t valueEnd = 0;
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(bFindOption(text, u"TIMEOUT", keyStart, valueStart, valueEnd), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  EXPECT_EQ(keyStart, 40000u * 8);
  EXPECT_EQ(source.substr(valueStart, valueEnd - valueStart), u"30");
  CTString missing((std::u16string(40000 * 8, u'T') + u"imeout").c_str());
  EXPECT_EQ(bFindOption(missing, u"timeout", keyStart, valueStart, valueEnd), 0);
}

}  // namespace
