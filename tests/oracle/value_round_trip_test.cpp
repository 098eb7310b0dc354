// Values of every Oracle type round-trip between runtime values and the stand-in, NULLs included, in a UTF-16 session
// and in an ANSI session (character set 178, the 1252 code page).
#include "value_round_trip_helpers.h"

namespace {

using namespace ocitest;

class Utf16RoundTrip : public OracleRoundTrip {
 protected:
  Utf16RoundTrip() : OracleRoundTrip("TRIP16", u"") {}
};

class AnsiRoundTrip : public OracleRoundTrip {
 protected:
  AnsiRoundTrip() : OracleRoundTrip("TRIPANSI", u"NLS_CHARACTER_SET=178") {}
};

TEST_F(Utf16RoundTrip, EveryTypeAndNull) {
  ASSERT_EQ(connection->nGetSessionCodePage(), SESSION_CODE_PAGE_UTF16);
  RunAll();
}
TEST_F(Utf16RoundTrip, ThirtyEightDigitDecimals) { RunThirtyEightDigits(); }

TEST_F(AnsiRoundTrip, EveryTypeAndNull) {
  ASSERT_EQ(connection->nGetSessionCodePage(), 1252u);
  RunAll();
}
TEST_F(AnsiRoundTrip, ThirtyEightDigitDecimals) { RunThirtyEightDigits(); }

// 8-bit text of the 1252 runtime between this session and a UTF-8 one (873), both ways: the text arrives, not its
// bytes; what the runtime lacks reads '?'; a 6-byte item holds five characters whatever their bytes, not six.
TEST_F(AnsiRoundTrip, EightBitTextBetweenCharacterSets) {
  auto other = Description(u"trip8", dataSourceName, u"manager", u"NLS_CHARACTER_SET=873");
  ASSERT_EQ(CallSlot<int>(driver, kDriverOpen, other.get()), 1) << Dump(*holder);
  COracleConnection* utf8 = ConnectionOf(driver, *other);
  RoundTripCase c{u"VARCHAR2(20)", COLUMN_TYPE_TEXT, 21, 1, HOST_TYPE_TEXT_BUFFER, u"\u00e9t\u00e9 \u20ac", u""};
  EXPECT_EQ(RoundTrip(c, &c.written, utf8, connection), c.written);
  EXPECT_EQ(RoundTrip(c, &c.written, connection, utf8), c.written);
  ASSERT_TRUE(utf8->bExecuteSql(holder, u"CREATE TABLE RTLACK (V VARCHAR2(20))")) << Dump(*holder);
  ASSERT_TRUE(utf8->bExecuteSql(holder, u"INSERT INTO RTLACK VALUES ('\u00e9\u0142')")) << Dump(*holder);
  EXPECT_EQ(ReadBack(c, u"RTLACK", utf8), u"\u00e9?");
  c.size = 6;
  c.written = u"\u00e9\u00e9\u00e9\u00e9\u00e9";
  EXPECT_EQ(RoundTrip(c, &c.written, utf8), c.written);
  c.written += u"\u00e9";
  EXPECT_NE(RoundTrip(c, &c.written, utf8).find(u"1406"), std::u16string::npos) << Dump(*holder);
  CallSlot<int>(driver, kDriverClose, other.get());
}

}  // namespace
