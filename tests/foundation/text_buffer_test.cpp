// Plain text buffers, the list builder and the SQL text buffer in UTF-16, single-byte, UTF-8 and double-byte modes.
#include "foundation/text_buffer.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/code_pages.h"
#include "foundation/sql_text_buffer.h"
#include "foundation/text_list_builder.h"

namespace {

std::u16string Wide(CTextBufferW& b) { return b.pszGetText(); }
std::string Narrow(CTextBufferA& b) { return b.pszGetText(); }

TEST(TextBufferTest, GrowthByWholeSteps) {
  CTextBufferW buffer(1024);
  EXPECT_EQ(Wide(buffer), u"");
  std::u16string block(1024, u'x');
  buffer.Append(block.data(), 1024);
  EXPECT_EQ(buffer.nGetCapacity(), 2048u);
  EXPECT_EQ(buffer.nGetLength(), 1024u);
  CTextBufferA small(3);
  for (int i = 0; i < 10; ++i) small.AppendText("ab");
  EXPECT_EQ(small.nGetLength(), 20u);
  EXPECT_EQ(small.nGetCapacity() % 3, 0u);
  small.Append(nullptr, 5);
  small.Append("zz", 0);
  EXPECT_EQ(small.nGetLength(), 20u);
  small.Truncate(4);
  EXPECT_EQ(Narrow(small), "abab");
  small.Truncate(10);
  EXPECT_EQ(Narrow(small), "abab");
  small.Truncate(0);
  EXPECT_EQ(Narrow(small), "");
}

TEST(TextBufferTest, AppendingItsOwnTextAcrossAGrowth) {
  CTextBufferA buffer(4);
  buffer.AppendText("abc");
  const std::uint64_t capacity = buffer.nGetCapacity();
  buffer.Append(buffer.pszGetText(), 3);  // the buffer grows while the text is read from it
  buffer.AppendText(buffer.pszGetText() + 1);
  EXPECT_GT(buffer.nGetCapacity(), capacity);
  EXPECT_EQ(Narrow(buffer), "abcabcbcabc");
}

TEST(TextBufferTest, ReplaceAllWithTextsOfTheBufferItself) {
  // The search and the replacement both change (or move) with the first replacement.
  CTextBufferA a(4);
  a.AppendText("ab-ab-ab");
  a.ReplaceAll(a.pszGetText(), 2, a.pszGetText() + 2, 4, 0);  // "ab" becomes "-ab-", growing the buffer
  EXPECT_EQ(Narrow(a), "-ab---ab---ab-");
  a.ReplaceAll(a.pszGetText() + 1, 2, a.pszGetText(), 2, 0);  // same length: "ab" becomes "-a"
  EXPECT_EQ(Narrow(a), "--a----a----a-");

  CTextBufferA transcoded(1);
  transcoded.AppendText("\xe9t\xe9");
  transcoded.AppendTranscoded(transcoded.pszGetText(), 3, 1252);  // the reservation moves the bytes read
  EXPECT_EQ(Narrow(transcoded), "\xe9t\xe9\xc3\xa9t\xc3\xa9");

  CTextBufferW w(2);
  w.Append(u"x.y.z", 5);
  w.ReplaceAll(u'.', w.pGetBuffer(), 3, 0);  // each "." becomes the first three units as they were
  EXPECT_EQ(Wide(w), u"xx.yyx.yz");
}

TEST(TextBufferTest, NumbersAndDigits) {
  CTextBufferW w(4);
  w.AppendPaddedInt(7, 3);
  w.AppendText(u"|");
  w.AppendPaddedInt(0, 3);
  w.AppendText(u"|");
  w.AppendPaddedInt(12345, 3);
  w.AppendText(u"|");
  w.AppendPaddedInt(-4, 3);
  w.AppendText(u"|");
  w.AppendPaddedInt(42, TEXT_NO_PADDING);
  w.AppendText(u"|");
  w.AppendInt64(INT64_MIN);
  w.AppendText(u"|");
  w.AppendBinaryDigits(0xA5);
  w.AppendText(u"|");
  w.AppendHex8(0xBEEF);
  EXPECT_EQ(Wide(w), u"007|0|123|-4|42|-9223372036854775808|10100101|0000BEEF");
  CTextBufferA a(8);
  a.AppendPaddedInt(9, 4);
  a.AppendInt64(-12);
  EXPECT_EQ(Narrow(a), "0009-12");
}

TEST(TextBufferTest, FindReplaceInsert) {
  CTextBufferW w(8);
  EXPECT_EQ(w.nFindChar(0), TEXT_BUFFER_NOT_FOUND);
  w.AppendText(u"a 'b' c");
  EXPECT_EQ(w.nFindChar(0), 2u);
  EXPECT_EQ(w.nFindChar(3), 4u);
  EXPECT_EQ(w.nFindText(u"c", 0), 6u);
  EXPECT_EQ(w.nFindText(u"zz", 0), TEXT_BUFFER_NOT_FOUND);
  w.ReplaceAll(u'\'', u"''", 2, 0);  // each replacement is skipped, never searched again
  EXPECT_EQ(Wide(w), u"a ''b'' c");
  w.ReplaceAll(u' ', u"_", 1, 3);
  EXPECT_EQ(Wide(w), u"a ''b''_c");
  w.ReplaceRange(2, 2, u"[", 1);
  EXPECT_EQ(Wide(w), u"a [b''_c");
  w.ReplaceRange(3, -1, u"END", 3);
  EXPECT_EQ(Wide(w), u"a [END");
  w.ReplaceRange(0, 1, w.pszGetText() + 3, 3);  // text from the buffer itself
  EXPECT_EQ(Wide(w), u"END [END");

  CTextBufferA a(4);
  a.InsertAtFront("tail", 4);
  a.InsertAtFront("head ", 5);
  EXPECT_EQ(Narrow(a), "head tail");
  EXPECT_EQ(a.nFindChar('t', 0), 5u);
  a.ReplaceAll("a", 1, "AA", 2, 0);
  EXPECT_EQ(Narrow(a), "heAAd tAAil");
  a.ReplaceAll("AA", 2, "", 0, 4);
  EXPECT_EQ(Narrow(a), "heAAd til");
  a.ReplaceAll("il", 2, "op", 2, 0);
  EXPECT_EQ(Narrow(a), "heAAd top");
  a.ReplaceAll("too long a search", 17, "x", 1, 0);
  EXPECT_EQ(Narrow(a), "heAAd top");
}

TEST(TextBufferTest, Conversions) {
  CTextBufferW w(2);
  w.AppendFromCodePage("\x93\xfa\x96\x7b", 4, 932);
  w.AppendFromCodePage("\xe9", 1, 1252);
  EXPECT_EQ(Wide(w), u"\u65e5\u672c\u00e9");
  CTextBufferA a(2);
  a.AppendFromWide(u"\u65e5\u00e9", 2, 65001);
  EXPECT_EQ(Narrow(a), "\xe6\x97\xa5\xc3\xa9");
  a.AppendTranscoded("\xc0\x41\x82\xa0", 4, 932);  // a single-byte kana, "A", a double-byte kana
  EXPECT_EQ(Narrow(a), "\xe6\x97\xa5\xc3\xa9\xef\xbe\x80" "A\xe3\x81\x82");
}

TEST(TextBufferTest, ListBuilder) {
  CTextListBuilder list;
  list.AddItem(u"");
  list.AddItem(u"b");
  list.AddItem(nullptr);
  list.AddItem(u"c");
  EXPECT_EQ(std::u16string(list.pszGetText()), u",b,,c");
  EXPECT_EQ(list.nGetCount(), 4u);
}

TEST(SqlTextBufferTest, Utf16Mode) {
  CSqlTextBuffer sql(CODE_PAGE_UTF16, 1252, 16);
  sql.Append(u"SELECT 'x' FROM T", -1);
  std::uint64_t length = 0;
  EXPECT_EQ(std::string(sql.pszGetNarrow(&length)), "SELECT 'x' FROM T");
  EXPECT_EQ(length, 17u);
  sql.AppendCodePageText("\xe9", 1, 0xFFFFFFFF);  // the conversion page
  EXPECT_EQ(std::u16string(sql.pszGetWide()), u"SELECT 'x' FROM T\u00e9");
  EXPECT_EQ(std::string(sql.pszGetNarrow()), "SELECT 'x' FROM T\xe9");  // the cache was dropped and rebuilt
  EXPECT_EQ(sql.nFindQuote(0), 7u);
  EXPECT_EQ(sql.nFindQuote(10), TEXT_BUFFER_NOT_FOUND);
  sql.InsertAtFront(u"/*c*/", -1);
  sql.AppendPaddedInt(5, 2);
  EXPECT_EQ(std::u16string(sql.pszGetWide()), u"/*c*/SELECT 'x' FROM T\u00e905");
  sql.DeleteRange(0, 5);
  sql.Truncate(17);
  EXPECT_EQ(std::u16string(sql.pszGetWide()), u"SELECT 'x' FROM T");
  EXPECT_TRUE(sql.bIsSpaceAt(6));
  EXPECT_EQ(sql.nGetCharAt(100), 0);
}

TEST(SqlTextBufferTest, Utf8ModeKeepsCharactersWhole) {
  CSqlTextBuffer sql(CODE_PAGE_UTF8, 1252, 8);
  sql.AppendCodePageText("caf\xe9", 4, 1252);  // 1252 text stored as UTF-8
  EXPECT_EQ(std::string(sql.pszGetNarrow()), "caf\xc3\xa9");
  EXPECT_EQ(std::u16string(sql.pszGetWide()), u"caf\u00e9");
  sql.Append(u" \U0001F600 x", -1);
  EXPECT_EQ(std::u16string(sql.pszGetWide()), u"caf\u00e9 \U0001F600 x");  // the cache followed the append
  // Positions count UTF-16 units: 4 is the blank after the accented letter.
  EXPECT_EQ(sql.nGetCharAt(3), u'\u00e9');
  EXPECT_TRUE(sql.bIsSpaceAt(4));
  sql.ReplaceRange(3, 1, u"e", 1);
  EXPECT_EQ(std::string(sql.pszGetNarrow()), "cafe \xf0\x9f\x98\x80 x");
  // A cut inside the surrogate pair keeps the character whole, never half of its bytes.
  sql.Truncate(6);
  EXPECT_EQ(std::string(sql.pszGetNarrow()), "cafe ");
  sql.Append(u"\u00e9\u00e9\u00e9", 3);
  sql.DeleteRange(5, 1);
  EXPECT_EQ(std::string(sql.pszGetNarrow()), "cafe \xc3\xa9\xc3\xa9");
  sql.ReplaceAll(u'\u00e9', u"'", 1, 0);
  EXPECT_EQ(std::string(sql.pszGetNarrow()), "cafe ''");
  EXPECT_EQ(sql.nFindQuote(4), 5u);
  sql.DeleteRange(2, 100);
  EXPECT_EQ(std::string(sql.pszGetNarrow()), "ca");
  sql.DeleteRange(9, 1);
  EXPECT_EQ(std::string(sql.pszGetNarrow()), "ca");
  sql.ReplaceRange(9, 1, u"x", 1);
  EXPECT_EQ(std::string(sql.pszGetNarrow()), "ca") << "past the end, as in UTF-16";
}

TEST(SqlTextBufferTest, DoubleByteModeMatchesWholeCharactersOnly) {
  // "ソ" is 0x83 0x5C in page 932: its trail byte is the backslash.
  CSqlTextBuffer sql(932, 932, 8);
  sql.Append(u"\u30bd\\x ESCAPE '\\'", -1);
  EXPECT_EQ(std::string(sql.pszGetNarrow()), "\x83\x5c\\x ESCAPE '\\'");
  sql.ReplaceAll(u'\\', u"\\\\", 2, 0);
  EXPECT_EQ(std::u16string(sql.pszGetWide()), u"\u30bd\\\\x ESCAPE '\\\\'");
  EXPECT_EQ(sql.nFindEscapeKeyword(0), 5u);
  sql.ReplaceRange(0, 1, u"\u65e5\u672c", 2);
  EXPECT_EQ(std::u16string(sql.pszGetWide()), u"\u65e5\u672c\\\\x ESCAPE '\\\\'");
  sql.Truncate(1);
  EXPECT_EQ(std::string(sql.pszGetNarrow()), "\x93\xfa");

  CSqlTextBuffer other(932, 932, 8);
  other.AppendCodePageText("\xe9", 1, 1252);  // another page: through UTF-16
  EXPECT_EQ(std::u16string(other.pszGetWide()), u"?");  // page 932 has no such letter
  CSqlTextBuffer copy(932, 932, 8);
  copy.AssignKeepCodePage(sql);
  EXPECT_EQ(std::string(copy.pszGetNarrow()), "\x93\xfa");
  CSqlTextBuffer wide(CODE_PAGE_UTF16, 1252, 8);
  wide.AssignKeepCodePage(sql);
  EXPECT_EQ(std::u16string(wide.pszGetWide()), u"\u65e5");
}

TEST(SqlTextBufferTest, Gb18030ModeKeepsFourByteCharactersWhole) {
  // U+1F600 is 0x94 0x39 0xFC 0x36 in page 54936: two units of the text, four bytes whose last is the digit 6.
  CSqlTextBuffer sql(54936, 54936, 8);
  sql.Append(u"a\U0001F600" "6\u00ff", -1);
  EXPECT_EQ(std::string(sql.pszGetNarrow()), "a\x94\x39\xfc\x36" "6\x81\x30\x8b\x37");
  sql.ReplaceAll(u'6', u"N", 1, 0);
  EXPECT_EQ(std::u16string(sql.pszGetWide()), u"a\U0001F600N\u00ff");
  sql.Truncate(2);  // inside the pair: the character stays whole
  EXPECT_EQ(std::string(sql.pszGetNarrow()), "a");
  sql.Append(u"\U0001F600\u00ff", -1);
  sql.Truncate(4);
  EXPECT_EQ(std::u16string(sql.pszGetWide()), u"a\U0001F600\u00ff");
  sql.DeleteRange(1, 2);
  EXPECT_EQ(std::u16string(sql.pszGetWide()), u"a\u00ff");
}

}  // namespace
