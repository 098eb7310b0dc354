// CTString: assignment forms, lengths after every change, searching, extracting, formatting and folding.
#include "foundation/t_string.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/bound_runtime_services.h"

namespace {

std::u16string Text(const CTString& s) { return s.pszGet(); }

TEST(TStringTest, EmptyForms) {
  CTString none;
  EXPECT_NE(none.pszGet(), nullptr);
  EXPECT_EQ(Text(none), u"");
  EXPECT_TRUE(none.bIsEmpty());
  EXPECT_EQ(none.nGetLength(), 0u);
  EXPECT_EQ(none.nGetAt(0), 0);
  CTString allocated;
  allocated.AssignN(u"abc", 0);
  EXPECT_TRUE(allocated.bIsEmpty());
  EXPECT_TRUE(allocated.bEquals(u""));
  EXPECT_TRUE(allocated.bEquals(nullptr));
  EXPECT_FALSE(allocated.bEquals(u"a"));
}

TEST(TStringTest, AssignForms) {
  CTString s(u"hello");
  s.Assign(s.pszGet());
  EXPECT_EQ(Text(s), u"hello");
  s.Assign(s.pszGet() + 2);  // a tail of its own buffer
  EXPECT_EQ(Text(s), u"llo");
  s = u"abc";
  s = s;
  EXPECT_EQ(Text(s), u"abc");
  s.AssignN(u"abcdef", 4);
  EXPECT_EQ(Text(s), u"abcd");
  s.AssignBounded(u"ab", 10);
  EXPECT_EQ(Text(s), u"ab");
  CTString bounded(u"abcdef", 3);
  EXPECT_EQ(Text(bounded), u"abc");
  s.AssignChar(u'Z');
  EXPECT_EQ(Text(s), u"Z");
  s.AssignChar(0);
  EXPECT_TRUE(s.bIsEmpty());
  s.AssignFromAnsi("caf\xe9 \x80");
  EXPECT_EQ(Text(s), u"caf\u00e9 \u20ac");
  s.AssignFromAnsi(nullptr);
  EXPECT_TRUE(s.bIsEmpty());
  CTString moved(static_cast<CTString&&>(bounded));
  EXPECT_EQ(Text(moved), u"abc");
  EXPECT_TRUE(bounded.bIsEmpty());
}

TEST(TStringTest, SetLengthAlwaysTerminates) {
  CTString s(u"abcdef");
  s.SetLength(3);
  EXPECT_EQ(Text(s), u"abc");
  EXPECT_EQ(s.nGetLength(), 3u);
  s.SetLength(5);  // grows with zeros: the text still reads "abc"
  EXPECT_EQ(s.nGetLength(), 3u);
  s.PadWithNines(5);
  EXPECT_EQ(Text(s), u"abc99");
  s.PadWithNines(2);
  EXPECT_EQ(Text(s), u"ab");
}

TEST(TStringTest, AppendForms) {
  CTString s;
  s.AppendN(u"ab\0", 3);  // a count that includes the terminator appends one unit less
  EXPECT_EQ(Text(s), u"ab");
  EXPECT_EQ(s.nGetLength(), 2u);
  s.Append(u"cd");
  s.AppendN(u"xyz", 0);
  s.Append(nullptr);
  s.AppendChar(u'!');
  EXPECT_EQ(Text(s), u"abcd!");
  s.Append(s.pszGet());  // its own text
  EXPECT_EQ(Text(s), u"abcd!abcd!");
  CTString c;
  c.AppendChar(u'x');
  EXPECT_EQ(Text(c), u"x");
}

TEST(TStringTest, CuttingAndTrimming) {
  CTString s(u"abcdefgh");
  s.Delete(4, 10);
  EXPECT_EQ(Text(s), u"abcd");
  s.Delete(1, 2);
  EXPECT_EQ(Text(s), u"ad");
  s.Delete(5, 1);
  EXPECT_EQ(Text(s), u"ad");
  s.Truncate(1);
  EXPECT_EQ(Text(s), u"a");
  s.Truncate(5);
  s.Truncate(-1);
  EXPECT_EQ(Text(s), u"a");
  CTString blanks(u"    ");
  blanks.TrimRight();
  EXPECT_TRUE(blanks.bIsEmpty());
  CTString padded(u" \tname\t ");
  padded.TrimRight();
  EXPECT_EQ(Text(padded), u" \tname\t");
  padded.Trim();
  EXPECT_EQ(Text(padded), u"name");
}

TEST(TStringTest, SearchingAndExtracting) {
  CTString s(u"abc;def;ghi");
  EXPECT_EQ(s.nFind(u"def", 0), 4u);
  EXPECT_EQ(s.nFind(u"abc", 1), TSTRING_NOT_FOUND);
  EXPECT_EQ(s.nFindSemicolon(4), 7u);
  EXPECT_EQ(CTString().nFind(u"a", 0), TSTRING_NOT_FOUND);
  CTString part;
  EXPECT_EQ(s.bGetToken(part, 2, u";"), 1);
  EXPECT_EQ(Text(part), u"ghi");
  EXPECT_EQ(s.bGetToken(part, 0, u";"), 1);
  EXPECT_EQ(Text(part), u"abc");
  EXPECT_EQ(s.bGetToken(part, 3, u";"), 0);
  EXPECT_EQ(CTString().bGetToken(part, 0, u";"), 0);
  EXPECT_EQ(s.bGetToken(part, 1, u""), 0);

  CTString six(u"abcdef");
  six.Mid(part, 3, 100);
  EXPECT_EQ(Text(part), u"def");
  six.Mid(part, 7, 1);
  EXPECT_TRUE(part.bIsEmpty());
  six.Left(part, 2);
  EXPECT_EQ(Text(part), u"ab");
  six.MidToEnd(part, 4);
  EXPECT_EQ(Text(part), u"ef");
  six.Mid(six, 1, 2);  // into itself
  EXPECT_EQ(Text(six), u"bc");

  CTString dotted(u"owner.table.column");
  EXPECT_EQ(dotted.nCountDots(), 2u);
  EXPECT_EQ(CTString(u"a.b").nCountDots(), 1u);
  EXPECT_EQ(CTString().nCountDots(), 0u);
  EXPECT_EQ(dotted.bGetDottedPart(part, 1), 1);
  EXPECT_EQ(Text(part), u"table");
  EXPECT_EQ(CTString().bGetDottedPart(part, 0), 0);
}

TEST(TStringTest, Formatting) {
  CTString s(TSTRING_FORMAT, u"%s=%d;%S", u"Timeout", 30, "x");
  EXPECT_EQ(Text(s), u"Timeout=30;x");
  s.Format(u"%s and %s", s.pszGet(), u"more");  // its own text as an argument
  EXPECT_EQ(Text(s), u"Timeout=30;x and more");
  s.Format(u"%.3f", 2.0);
  EXPECT_EQ(Text(s), u"2.000");
}

TEST(TStringTest, CaseFoldingAndComparisonThroughTheRuntime) {
  CBoundRuntimeServices services;
  CTString s(u"\u00c9l\u00e8ve");
  EXPECT_TRUE(s.bEqualsNoCase(u"ELEVE"));
  EXPECT_FALSE(s.bEqualsNoCase(u"ELEVES"));
  EXPECT_FALSE(s.bEqualsNoCase(u""));
  EXPECT_TRUE(CTString().bEqualsNoCase(u""));
  EXPECT_FALSE(CTString().bEqualsNoCase(u"a"));
  s.FoldCase();
  EXPECT_EQ(Text(s), u"\u00c9L\u00c8VE");

  EXPECT_TRUE(CTString(u"c:\\oracle\\oci.dll").bEqualsClientPathNoCase(u"C:\\Oracle\\OCI.DLL"));
  EXPECT_FALSE(CTString(u"oci.dll").bEqualsClientPathNoCase(nullptr));
}

TEST(TStringTest, ComparisonWithoutARuntime) {
  CBoundRuntimeServices services(false);
  EXPECT_TRUE(CTString(u"Table").bEqualsNoCase(u"TABLE"));
  CTString s(u"abc");
  s.FoldCase();
  EXPECT_EQ(Text(s), u"ABC");
}

}  // namespace
