// LIKE-pattern rewriting: escape normalisation and dialect escaping, wildcard expansion, quote and backslash
// unescaping.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "foundation/like_pattern.h"
#include "foundation/text_utils.h"

namespace {

struct CFreeText {
  void operator()(void* text) const { FreeText(text); }
};
using HeapText = std::unique_ptr<char16_t, CFreeText>;
using HeapTextA = std::unique_ptr<char, CFreeText>;

// The narrow text of an ASCII wide one.
std::string NarrowOf(const std::u16string& text) { return std::string(text.begin(), text.end()); }

// Options in their argument order after the two flags (bDoubleQuotes, bDoubleBackslashes, unused, percent, underscore,
// escaped percent, escaped underscore, escaped escape).
std::u16string Escape(const std::u16string& source, int quotes, int backslashes, int unused, int percent,
                      int underscore, int escapedPercent, int escapedUnderscore, int escapedEscape,
                      char16_t escape) {
  std::u16string out(4 * source.size() + 1, u'#');
  EscapeLikePatternW(source.c_str(), out.data(), quotes, backslashes, unused, percent, underscore, escapedPercent,
                     escapedUnderscore, escapedEscape, u'\'', escape);
  return std::u16string(out.c_str());
}

TEST(LikePatternTest, EscapeWithEveryOptionOffOnlyNormalises) {
  const struct {
    const char16_t* source;
    const char16_t* expected;
  } cases[] = {
      {u"", u""},
      {u"\\%", u"\\%"},              // an escaped wildcard stays
      {u"\\a", u"\\\\a"},            // a lone escape is doubled
      {u"a\\", u"a\\\\"},            // also at the end
      {u"\\\\", u"\\\\"},            // an escaped escape stays
      {u"50%_'x'", u"50%_'x'"},      // nothing else changes
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Escape(c.source, 0, 0, 0, 0, 0, 0, 0, 0, u'\\'), c.expected);
    HeapText normalised(pszNormalizeLikePatternW(c.source, u'\\'));
    ASSERT_TRUE(normalised);
    EXPECT_EQ(std::u16string(normalised.get()), c.expected);
    // The narrow forms alike.
    const std::string source = NarrowOf(c.source);
    std::string out(2 * source.size() + 1, '#');
    EscapeLikePatternA(source.c_str(), out.data(), '\\');
    EXPECT_EQ(std::string(out.c_str()), NarrowOf(c.expected));
    HeapTextA narrow(pszNormalizeLikePatternA(source.c_str(), '\\'));
    ASSERT_TRUE(narrow);
    EXPECT_EQ(std::string(narrow.get()), NarrowOf(c.expected));
  }
}

TEST(LikePatternTest, EscapeWithEveryOptionOn) {
  const struct {
    const char16_t* source;
    const char16_t* expected;
  } cases[] = {
      {u"%", u"\\%"},
      {u"_", u"\\_"},
      {u"\\%", u"\\\\\\%"},
      {u"\\_", u"\\\\\\_"},
      {u"'", u"''"},
      {u"\\\\", u"\\\\\\\\"},  // the escape character is handled as an escape, not as a backslash to double
      {u"\\x", u"\\\\x"},
  };
  for (const auto& c : cases) EXPECT_EQ(Escape(c.source, 1, 1, 1, 1, 1, 1, 1, 1, u'\\'), c.expected);
}

TEST(LikePatternTest, EscapeOptionsActOneByOne) {
  // With "!" as escape a backslash is an ordinary unit, doubled only on request.
  EXPECT_EQ(Escape(u"a\\b", 0, 1, 0, 0, 0, 0, 0, 0, u'!'), u"a\\\\b");
  EXPECT_EQ(Escape(u"a\\b", 0, 0, 0, 0, 0, 0, 0, 0, u'!'), u"a\\b");
  EXPECT_EQ(Escape(u"it's", 1, 0, 0, 0, 0, 0, 0, 0, u'!'), u"it''s");
  EXPECT_EQ(Escape(u"!%", 0, 0, 0, 0, 0, 1, 0, 0, u'!'), u"!!%");   // without bEscapePercent: no third one
  EXPECT_EQ(Escape(u"!_", 0, 0, 0, 0, 1, 0, 1, 0, u'!'), u"!!!_");  // with bEscapeUnderscore: the third one
  EXPECT_EQ(Escape(u"!_", 0, 0, 0, 1, 0, 0, 1, 0, u'!'), u"!!_");   // the percent option does not serve "_"
  EXPECT_EQ(Escape(u"!!", 0, 0, 0, 0, 0, 0, 0, 1, u'!'), u"!!!!");
  // The flag without effect changes nothing.
  EXPECT_EQ(Escape(u"a%_'\\!", 0, 0, 1, 0, 0, 0, 0, 0, u'!'), Escape(u"a%_'\\!", 0, 0, 0, 0, 0, 0, 0, 0, u'!'));
}

TEST(LikePatternTest, LongPatternsNormaliseOnTheHeap) {
  // 3000 units need a temporary beyond the stack's 2048 bytes.
  std::u16string source;
  for (int i = 0; i < 1000; ++i) source += u"\\a%";
  std::u16string expected;
  for (int i = 0; i < 1000; ++i) expected += u"\\\\a%";
  HeapText normalised(pszNormalizeLikePatternW(source.c_str(), u'\\'));
  ASSERT_TRUE(normalised);
  EXPECT_EQ(std::u16string(normalised.get()), expected);
  HeapTextA narrow(pszNormalizeLikePatternA(NarrowOf(source).c_str(), '\\'));
  ASSERT_TRUE(narrow);
  EXPECT_EQ(std::string(narrow.get()), NarrowOf(expected));
}

TEST(LikePatternTest, ExpandReplacesEscapedWildcards) {
  const struct {
    const char16_t* pattern;
    const char16_t* expected;
  } cases[] = {
      {u"a\\%b%", u"a[%]b%"},      // the escaped one only
      {u"\\_", u"<_>"},
      {u"\\\\", u"\\"},
      {u"\\x", u"\\x"},
      {u"x\\", u"x\\"},
      {u"", u""},
  };
  for (const auto& c : cases) {
    HeapText expanded(pszExpandLikePatternW(c.pattern, u"%", u"[", u"]", u"_", u"<", u">", u'\\'));
    ASSERT_TRUE(expanded);
    EXPECT_EQ(std::u16string(expanded.get()), c.expected);
  }
  HeapText prefixOnly(pszExpandLikePatternW(u"\\%%", u"%", u"[", u"", u"_", u"", u"", u'\\'));
  EXPECT_EQ(std::u16string(prefixOnly.get()), u"[%%");
  // Long expansions leave the stack temporary.
  std::u16string many;
  for (int i = 0; i < 600; ++i) many += u"\\%";
  HeapText big(pszExpandLikePatternW(many.c_str(), u"%", u"CHR(", u")", u"_", u"", u"", u'\\'));
  ASSERT_TRUE(big);
  EXPECT_EQ(std::u16string(big.get()).size(), 600u * 6);
}

TEST(LikePatternTest, UnescapeQuotesAndBackslashes) {
  const struct {
    const char16_t* text;
    const char16_t* quotes;       // after UnescapeQuotesW
    const char16_t* backslashes;  // after UnescapeBackslashQuotesW
  } cases[] = {
      {u"''", u"''", u"''"},
      {u"a''b", u"a'b", u"a'b"},
      {u"a\\'b", u"a'b", u"a'b"},
      {u"''''", u"''", u"''"},
      {u"'a", u"'a", u"'a"},       // the first unit is never the second of a pair
      {u"'", u"'", u"'"},
      {u"''x", u"'x", u"'x"},
      {u"\\\\\\", u"\\\\\\", u"\\\\"},  // three backslashes: one pair undone
      {u"\\\\'", u"\\'", u"'"},  // the backslash left by undoubling escapes the quote
  };
  for (const auto& c : cases) {
    std::u16string a(c.text);
    UnescapeQuotesW(a.data());
    EXPECT_EQ(std::u16string(a.c_str()), c.quotes);
    std::u16string b(c.text);
    UnescapeBackslashQuotesW(b.data());
    EXPECT_EQ(std::u16string(b.c_str()), c.backslashes);
    std::string narrow = NarrowOf(c.text);
    UnescapeQuotesA(narrow.data());
    EXPECT_EQ(std::string(narrow.c_str()), NarrowOf(c.quotes));
  }
}

}  // namespace
