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

}  // namespace
