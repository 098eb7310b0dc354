// Numbers, dates, timestamps and intervals between runtime values and the client's buffers, through the OCI
// stand-in's own number, date-time and interval calls: the masks, the widening of decimals, the two date layouts,
// dates given as text, dates that are NULL, and the interval arithmetic.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/record/column_types.h"
#include "foundation/date_time.h"
#include "host/value_entry_points.h"
#include "oracle/client/oci_value_calls.h"
#include "oracle_value_fixture.h"

namespace {

using ocitest::StandIn;
using ocitest::ValueColumn;

class OracleConversions : public ocitest::OracleValueFixture {
 protected:
  // The bytes of a value bound as a date, after its write.
  static std::vector<std::uint8_t> Bytes(COracleFieldValue* value) {
    const std::uint8_t* bytes = value->pGetConversionBuffer();
    return {bytes, bytes + value->nGetConversionSize()};
  }
  static std::vector<std::uint8_t> OciDate(int year, int month, int day, int hour, int minute, int second) {
    return {static_cast<std::uint8_t>(year & 0xFF), static_cast<std::uint8_t>(year >> 8),
            static_cast<std::uint8_t>(month), static_cast<std::uint8_t>(day), static_cast<std::uint8_t>(hour),
            static_cast<std::uint8_t>(minute), static_cast<std::uint8_t>(second), 0};
  }
};

TEST_F(OracleConversions, IntervalsCountMilliseconds) {
  EXPECT_EQ(nIntervalMilliseconds(0, 0, 1, 2, 0, 3, 500000000), 93603500);
  EXPECT_EQ(nIntervalMilliseconds(1, 1, 0, 0, 0, 0, 0), 395LL * 86400000);
  const SIntervalParts daySecond = IntervalPartsOf(93603500, false);
  EXPECT_EQ(daySecond.days, 1);
  EXPECT_EQ(daySecond.hours, 2);
  EXPECT_EQ(daySecond.minutes, 0);
  EXPECT_EQ(daySecond.seconds, 3);
  EXPECT_EQ(daySecond.nanoseconds, 500000000);
  const SIntervalParts yearMonth = IntervalPartsOf(400LL * 86400000, true);
  EXPECT_EQ(yearMonth.years, 1);
  EXPECT_EQ(yearMonth.months, 1) << "35 days left, 30 to a month";

  // Through the client: a day-second and a year-month column read back what was written.
  const struct {
    std::uint16_t reported;
    std::int64_t written, read;
    const char* call;
    const char* logged;
  } cases[] = {
      {sqlt::INTERVAL_DS, 93603500, 93603500, "OCIIntervalSetDaySecond",
       "days=1 hours=2 minutes=0 seconds=3 fsec=500000000"},
      {sqlt::INTERVAL_YM, 400LL * 86400000, 395LL * 86400000, "OCIIntervalSetYearMonth", "years=1 months=1"},
      // 2^31 days and more do not fit the client's day count: refused (105, error 60), not wrapped.
      {sqlt::INTERVAL_DS, (1LL << 31) * 86400000, 0, nullptr, nullptr},
      {sqlt::INTERVAL_DS, -(1LL << 31) * 86400000 - 86400000, 0, nullptr, nullptr},
  };
  for (const auto& c : cases) {
    ValueColumn column(COLUMN_TYPE_DATETIME, c.reported);
    COracleFieldValue* value = New();
    value->InitType(HOST_TYPE_VALUE8, 0);
    value->SetDescriptors(column, column);
    value->Value().SetType(HOST_TYPE_VALUE8);
    value->Value().Set(&c.written);
    if (!c.call) {
      EXPECT_EQ(value->bSyncToNative(), 0) << c.written;
      EXPECT_EQ(holder->nGetErrorCode(), 60u) << ocitest::Dump(*holder);
      holder->Clear();
      Release(value);
      continue;
    }
    ASSERT_EQ(value->bSyncToNative(), 1) << ocitest::Dump(*holder);
    EXPECT_NE(StandIn::Get().LastCall(c.call).find(c.logged), std::string::npos) << StandIn::Get().LastCall(c.call);
    value->SetNull();
    ASSERT_EQ(value->bReadNative(), 1) << ocitest::Dump(*holder);
    std::int64_t read = 0;
    CHostValue out;
    value->bGetValue(&out);
    out.nGet(&read);
    EXPECT_EQ(read, c.read);
    Release(value);
  }
}

TEST_F(OracleConversions, NumbersCrossAsTextThroughTheirMasks) {
  const struct {
    std::uint8_t hostType;
    const char16_t* text;
    const char* mask;
  } cases[] = {
      {HOST_TYPE_INT64, u"-1234567890123", "99999999999999999999"},
      {HOST_TYPE_UINT64, u"123", "99999999999999999999"},
      {HOST_TYPE_CURRENCY, u"12.5", "99999999999999999999D999999"},
      {HOST_TYPE_VALUE8, u"93603500", "99999999999999999999"},  // milliseconds bound as a number
  };
  for (const auto& c : cases) {
    COracleFieldValue* value = NewText(c.hostType, c.text);
    ASSERT_EQ(value->bSyncToNative(), 1) << ocitest::Dump(*holder);
    const std::string from = StandIn::Get().LastCall("OCINumberFromText");
    EXPECT_NE(from.find(std::string("fmt=") + c.mask), std::string::npos) << from;
    value->SetNull();
    ASSERT_EQ(value->bReadNative(), 1) << ocitest::Dump(*holder);
    EXPECT_EQ(TextOf(value), c.text) << Narrow(c.text);
    const std::string to = StandIn::Get().LastCall("OCINumberToText");
    EXPECT_NE(to.find(std::string("fmt=") + c.mask), std::string::npos) << to;
    Release(value);
  }
}

TEST_F(OracleConversions, DecimalMasksWidenToTheDigitsOfTheText) {
  const struct {
    std::uint32_t integerDigits, scale;
    const char16_t* text;
    const char* sent;
  } cases[] = {
      {1, 2, u"0.125", "text=0.125 fmt=9D999"},
      {0, 2, u"0.125", "text=.125 fmt=D999"},
      {0, 2, u"-0.125", "text=-.125 fmt=D999"},  // the 0 after the sign goes too
      {0, 2, u"0", "text=.0 fmt=D99"},          // zero, as the mask takes it
      {5, 2, u"-12.5", "text=-12.5 fmt=99999D99"},
  };
  for (const auto& c : cases) {
    holder->Clear();
    ValueColumn decimal(COLUMN_TYPE_DECIMAL, 2, 16, c.integerDigits, c.scale);
    COracleFieldValue* value = New();
    value->InitType(HOST_TYPE_PROXY_HANDLE, 0);
    value->SetDescriptors(decimal, nullptr);
    CHostValue text;
    text.SetType(HOST_TYPE_TEXT);
    text.Set(c.text);
    ASSERT_EQ(value->bSetValue(text), 1) << ocitest::Dump(*holder);
    EXPECT_EQ(value->bSyncToNative(), 1) << ocitest::Dump(*holder);
    const std::string sent = StandIn::Get().LastCall("OCINumberFromText");
    EXPECT_NE(sent.find(c.sent), std::string::npos) << sent;
    Release(value);
  }
}

TEST_F(OracleConversions, DatesCrossAsOciDates) {
  CHostDateTime moment{5, 3, 2024, 37230456};
  COracleFieldValue* date = NewHolding(HOST_TYPE_DATETIME, moment);
  SetVersions(19, 8);  // no timestamps with an 8.x client: an OCIDate
  ASSERT_EQ(date->bSyncToNative(), 1) << ocitest::Dump(*holder);
  EXPECT_EQ(date->nGetNativeTypeCode(), sqlt::ODT);
  EXPECT_EQ(Bytes(date), OciDate(2024, 3, 5, 10, 20, 30));
  EXPECT_EQ(date->nGetReturnedLength(), 8u);
  date->SetNull();
  ASSERT_EQ(date->bReadNative(), 1);
  EXPECT_EQ(TextOf(date), u"20240305102030000");
  Release(date);

  // Empty dates bind NULL; a time alone is today's.
  const struct {
    std::uint8_t hostType;
    const char16_t* text;
    bool null;
  } cases[] = {{HOST_TYPE_WDATE, u"00000000", true}, {HOST_TYPE_WDATE, u"20240305", false},
               {HOST_TYPE_WTIME, u"102030", false}};
  CDateTime today;
  today.SetNow();
  for (const auto& c : cases) {
    COracleFieldValue* value = NewText(c.hostType, c.text);
    ASSERT_EQ(value->bSyncToNative(), 1) << ocitest::Dump(*holder);
    EXPECT_EQ(value->nGetSingleIndicator(), c.null ? 0xFFFF : 0) << Narrow(c.text);
    if (c.hostType == HOST_TYPE_WTIME) {
      EXPECT_EQ(Bytes(value), OciDate(today.m_nYear + 1900, today.m_nMonth + 1, today.m_nDay, 10, 20, 30));
    }
    Release(value);
  }
}

TEST_F(OracleConversions, DateBindsOfTextReadTheDateFormat) {
  const struct {
    const char16_t* mask;
    const char16_t* text;
    bool bound;
    int day = 5;
  } cases[] = {
      {u"DD-MM-YYYY HH24:MI:SS", u"05-03-2024 10:20:30", true},
      {u"DD-MM-YYYY HH24:MI:SS", u"31-03-2024 10:20:30", true, 31},
      {u"AAAA-MM-JJ HH:MM:SS.CCC", u"2024-03-05 10:20:30.456", true},
      {u"YYYYMMDD HH24:MI:SS", u"20240305 10:20:30", true},
      {u"YYYYMMDD HH24:MI:SS", u"20240305102030", true},  // digits fit whatever the mask
      {u"DD-MM-YYYY HH24:MI:SS", u"2024/03/05", false},
      {u"DD-MM-YYYY HH24:MI:SS", u"35-13-2024 10:20:30", false},
  };
  for (const auto& c : cases) {
    holder->Clear();
    COracleFieldValue* value = NewText(HOST_TYPE_TEXT, c.text);
    value->SetDateFormat(c.mask);
    EXPECT_EQ(value->bSyncToNative(), c.bound ? 1 : 0) << Narrow(c.text);
    if (c.bound) {
      EXPECT_EQ(Bytes(value), OciDate(2024, 3, c.day, 10, 20, 30)) << Narrow(c.text);
    } else {
      EXPECT_EQ(holder->nGetErrorCode(), ERROR_VALUE_NOT_CONVERTIBLE) << Narrow(c.text);
    }
    Release(value);
  }
}

TEST_F(OracleConversions, DatesThatCannotBeConvertedFailInsteadOfBindingNull) {
  COracleFieldValue* value = NewHolding(HOST_TYPE_DATETIME, CHostDateTime{5, 3, 2024, 0});
  SetVersions(19, 8);
  ASSERT_EQ(value->bEnsurePrepared(), 1);
  // The runtime without its conversion entry: nothing converts (result 102).
  const PFN_HOST_CONVERSION conversion = gpfnConversionDepassementExt;
  gpfnConversionDepassementExt = nullptr;
  const int written = value->bSyncToNative();
  gpfnConversionDepassementExt = conversion;
  EXPECT_EQ(written, 0);
  EXPECT_NE(holder->nGetErrorCode(), 0u);
  EXPECT_EQ(value->nGetSingleIndicator(), 0) << "not bound as NULL";
  // The same value binds once the conversion works again.
  holder->Clear();
  EXPECT_EQ(value->bSyncToNative(), 1) << ocitest::Dump(*holder);
  EXPECT_EQ(Bytes(value), OciDate(2024, 3, 5, 0, 0, 0));
  Release(value);
}

}  // namespace
