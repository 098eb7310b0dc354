// The date/time escape scanner, run over a CTString that moves to a new buffer at every edit.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "foundation/t_string.h"
#include "foundation/text_utils.h"
#include "sql/date_escape_rewriter.h"

namespace {

class StringEscapeRewriter : public CDateEscapeRewriter {
 public:
  explicit StringEscapeRewriter(const char16_t* text) : m_text(text) {}

  void ReplaceSpan(std::uint32_t position, std::uint32_t count, const char16_t* literal) override {
    CTString edited;
    m_text.Left(edited, position);
    edited.Append(literal);
    CTString rest;
    m_text.MidToEnd(rest, position + count);
    edited.Append(rest.pszGet());
    const char16_t* before = m_text.pszGet();
    // The edited text is a block made while the old one lived, so the text moves; the old block is freed, and a
    // scanner still reading it fails under AddressSanitizer.
    m_text = std::move(edited);
    moved += m_text.pszGet() != before;
    m_pszText = const_cast<char16_t*>(m_text.pszGet());
  }

  // Runs the scan on the rewriter's own text; the text after it, and whether the scan answered the text.
  std::u16string Run(bool* answered = nullptr) {
    char16_t* result = bRewrite(const_cast<char16_t*>(m_text.pszGet()));
    if (answered) *answered = result != nullptr;
    if (result) {
      EXPECT_EQ(result, m_text.pszGet());
    }
    return m_text.pszGet();
  }

  CTString m_text;
  int moved = 0;
};

struct EscapeCase {
  std::uint32_t mode;
  const char16_t* text;
  const char16_t* expected;  // null: unchanged and the scan answers null
};

void RunCases(const EscapeCase* cases, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const EscapeCase& c = cases[i];
    SCOPED_TRACE(std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text)));
    StringEscapeRewriter rewriter(c.text);
    rewriter.SetMode(c.mode);
    bool answered = false;
    const std::u16string out = rewriter.Run(&answered);
    if (c.expected) {
      EXPECT_TRUE(answered);
      EXPECT_EQ(out, c.expected);
      EXPECT_GT(rewriter.moved, 0);
    } else {
      EXPECT_FALSE(answered);
      EXPECT_EQ(out, c.text);
    }
  }
}

TEST(DateEscapeRewriterTest, DateEscapesInEveryMode) {
  static const EscapeCase cases[] = {
      {1, u"x={d '2024-03-15'}", u"x=TO_DATE('20240315','YYYYMMDD')"},
      {1, u"{D '240315'}", u"TO_DATE('240315','YYMMDD')"},
      {1, u"{d 20240315}", u"TO_DATE('20240315','YYYYMMDD')"},
      {1, u"{d '0024-03-16'}", u"TO_DATE('00240316','YYYYMMDD')"},  // a four-digit year keeps its century
      {1, u"{d '2024-3-15'}", nullptr},  // a one-digit month reads as "-3"
      {2, u"{d '2024-03-15'}", u"CONVERT(datetime,'2024/03/15')"},
      {3, u"{d '20240315'}", u"'20240315'"},
      {4, u"{ d,'2024-03-15' }", u"'2024-03-15'"},
      {5, u"{d '2024-03-15'}", nullptr},  // a mode without a date form
      {1, u"{d '24315'}", nullptr},       // fewer than 6 characters
      {1, u"{d '2024-0x-15'}", nullptr},  // a part that is not digits
      {1, u"{d '12345678901-03-15'}", nullptr},  // a year too long for its integer
      {1, u"{d '-03-15'}", nullptr},             // no year at all
  };
  RunCases(cases, std::size(cases));
}

TEST(DateEscapeRewriterTest, TimeAndTimestampEscapesOnlyInMode3) {
  static const EscapeCase cases[] = {
      {3, u"{t '10:20:30'}", u"'1020'"},
      {3, u"{T '10:20:30.5'}", u"'1020'"},
      {3, u"{t '10:20'}", nullptr},     // shorter than 8
      {3, u"{t '1x:20:30'}", nullptr},  // not digits
      {3, u"{ts '2024-03-15 10:20:30.123'}", u"'20240315102030123'"},
      {3, u"{ts '2024-03-15 10:20:30.1'}", u"'20240315102030100'"},  // missing digits read as 0
      {3, u"{ts '2024-03-15 10:20:30'}", u"'20240315102030000'"},
      {3, u"{ts '2024-03-15 10:20:3'}", nullptr},  // 19 characters from the first digit
      {1, u"{t '10:20:30'}", nullptr},
      {1, u"{ts '2024-03-15 10:20:30.123'}", nullptr},
      {3, u"{fn NOW()}", nullptr},
  };
  RunCases(cases, std::size(cases));
}

TEST(DateEscapeRewriterTest, StatementsWithSeveralGroups) {
  static const EscapeCase cases[] = {
      // Every escape replaced, each search starting after the previous literal.
      {1, u"a BETWEEN {d '2024-01-01'} AND {d '2024-12-31'} OR b={fn X()}",
       u"a BETWEEN TO_DATE('20240101','YYYYMMDD') AND TO_DATE('20241231','YYYYMMDD') OR b={fn X()}"},
      // A brace inside a string literal is its text; the escape after it is one.
      {1, u"s='see {d ''2024-03-15''} here' AND d={d '2024-01-02'}",
       u"s='see {d ''2024-03-15''} here' AND d=TO_DATE('20240102','YYYYMMDD')"},
      // An apostrophe in a quoted name or a comment opens no literal.
      {1, u"\"O'K\"={d '2024-01-02'} -- it's\n/* ' */ OR e={d '2024-01-04'}",
       u"\"O'K\"=TO_DATE('20240102','YYYYMMDD') -- it's\n/* ' */ OR e=TO_DATE('20240104','YYYYMMDD')"},
      // A group holding another: the outer keyword decides and the inner escape goes with it.
      {1, u"{fn F({d '2024-03-15'})}", nullptr},
      {1, u"no braces", nullptr},
  };
  RunCases(cases, std::size(cases));
}

TEST(DateEscapeRewriterTest, UnclosedGroupEndsTheScanKeepingEarlierReplacements) {
  StringEscapeRewriter rewriter(u"{d '2024-03-15'} {d '2024-03-16' {d '2024-03-17'");
  bool answered = true;
  EXPECT_EQ(rewriter.Run(&answered), u"TO_DATE('20240315','YYYYMMDD') {d '2024-03-16' {d '2024-03-17'");
  EXPECT_FALSE(answered);
  EXPECT_TRUE(rewriter.bIsChanged());
}

TEST(DateEscapeRewriterTest, BuildersStayWithinTheirSize) {
  StringEscapeRewriter rewriter(u"");
  // The widest values still print whole: 99 units and a terminator.
  char16_t* text = rewriter.pszBuildTimestampMode3(2147483647, 2147483647, 2147483647, 2147483647, 2147483647,
                                                   2147483647, 2147483647);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::char_traits<char16_t>::length(text), 72u);
  FreeText(text);
}

}  // namespace
