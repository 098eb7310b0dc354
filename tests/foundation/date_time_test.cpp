#include "foundation/date_time.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <random>
#include <string>

namespace {

using namespace std::chrono;

TEST(Calendar, LeapYearsAndMonthLengths) {
  for (auto [year, leap] : {std::pair{1500, 1}, {1900, 0}, {2000, 1}, {1582, 0}, {1580, 1}, {1700, 0}}) {
    EXPECT_EQ(bIsLeapYear(year), leap) << year;
  }
  EXPECT_EQ(nDaysInMonth(2, 1500), 29);
  EXPECT_EQ(nDaysInMonthOfText(u"150002"), 28) << "the digit-text rule is Gregorian for every year";
  EXPECT_EQ(nDaysInMonthOfText(u"2024"), 31) << "a missing month reads as January";
  EXPECT_EQ(nDaysInMonthOfText(u"202413"), -1);
  EXPECT_EQ(nCapDay(31, 4, 0), 31) << "an unset year leaves the day";
}

std::string Shown(const CHostDateTime& v) {
  char time[10];
  v.FormatTimeA(time);
  return std::to_string(v.m_nYear) + "-" + std::to_string(v.m_nMonth) + "-" + std::to_string(v.m_nDay) + " " + time;
}

TEST(CHostDateTime, SettersValidateAndCapTheDay) {
  CHostDateTime v{};
  v.SetFromSystemTime({2023, 1, 0, 31, 13, 45, 30, 250});
  v.SetMonth(2);
  EXPECT_EQ(Shown(v), "2023-2-28 134530250");
  v.SetFromSystemTime({2024, 2, 0, 29, 0, 0, 0, 0});
  EXPECT_EQ(Shown(v), "2024-2-29 000000000") << "leap day";
  v.SetYear(2023);
  EXPECT_EQ(v.m_nDay, 28) << "a leap day moved to a common year";
  v.SetMonth(4);
  v.SetDay(31);
  EXPECT_EQ(v.m_nDay, 30);
  v.SetFromSystemTime({2023, 4, 0, 30, 13, 45, 30, 250});
  EXPECT_TRUE(v.bSetMinute(5));
  EXPECT_EQ(Shown(v), "2023-4-30 130530250") << "one component replaced, the others kept";

  // Out of range: nothing changes, and each time setter says so.
  v.SetFromSystemTime({0, 13, 0, 32, 24, 60, 60, 1000});
  EXPECT_FALSE(v.bSetHour(24) || v.bSetMinute(-1) || v.bSetSecond(60) || v.bSetMillisecond(1000));
  v.SetYear(10000);
  EXPECT_EQ(Shown(v), "2023-4-30 130530250");
}

TEST(DigitTexts, FormatWritesTheAskedPrefixAndParseFillsMissingDigits) {
  CHostDateTime v{};
  v.SetFromSystemTime({987, 3, 0, 7, 4, 5, 6, 7});
  std::array<char16_t, 12> wide;
  wide.fill(u'#');
  v.FormatDateW(wide.data(), 20);
  EXPECT_EQ(std::u16string(wide.data()), u"09870307");
  wide.fill(u'#');
  v.FormatDateW(wide.data(), 6);
  EXPECT_EQ(std::u16string(wide.data()), u"098703");
  EXPECT_EQ(wide[7], u'#') << "nothing written past the terminator";
  v.FormatTimeW(wide.data(), 4);
  EXPECT_EQ(std::u16string(wide.data()), u"0405");

  EXPECT_EQ(nParseDigitsW(u"20241", 4, 2, 1), 10);
  EXPECT_EQ(nParseDigitsW(u"20241", 4, 2, 0), 0);
  EXPECT_EQ(nParseDigitsW(u"2024", 4, 2, 1), 0) << "nothing at the position";
  EXPECT_EQ(nParseDigitsA("1", 0, 3, 1), 100);
}

void ExpectFields(const CDateTime& v, int year, int month, int day, int hour, int minute, int second, int ms) {
  EXPECT_EQ(v.m_nYear + 1900, year);
  EXPECT_EQ(v.m_nMonth + 1, month);
  EXPECT_EQ(v.m_nDay, day);
  EXPECT_EQ(v.m_nHour, hour);
  EXPECT_EQ(v.m_nMinute, minute);
  EXPECT_EQ(v.m_nSecond, second);
  EXPECT_EQ(v.m_nMillisecond, ms);
}

TEST(CDateTime, ParsesDigitTextsWithMissingDigitsAsZero) {
  CDateTime v;
  EXPECT_TRUE(v.bParseDateTime(u"20241"));
  ExpectFields(v, 2024, 10, 1, 0, 0, 0, 0);
  v.bParseDateTime(u"20240000");
  ExpectFields(v, 2024, 1, 1, 0, 0, 0, 0);
  v.bParseDateTime(u"20240229 235958123");
  ExpectFields(v, 2024, 2, 29, 23, 59, 58, 123);
  v.bParseDateTime(u"2024022923595812");
  ExpectFields(v, 2024, 2, 29, 23, 59, 58, 120);
  v.bParseDateTime(u"2024022923595812", 10);
  ExpectFields(v, 2024, 2, 29, 23, 0, 0, 0);
  v.bParseDateTime(nullptr);
  ExpectFields(v, 0, 1, 1, 0, 0, 0, 0);
  EXPECT_EQ(v.m_nDayOfWeek, -1);

  v.SetNow();
  EXPECT_TRUE(v.bParseTime(u"07", 0));
  EXPECT_EQ(v.FormatTime(), u"070000000") << "a time read over the clock keeps none of its minutes";
  EXPECT_EQ(v.m_nDst, 0);
}

TEST(CDateTime, FormatsAndConvertsBack) {
  CDateTime v;
  v.bParseDateTime(u"20240229 070809010");
  EXPECT_EQ(v.FormatDate(), u"20240229");
  EXPECT_EQ(v.FormatTime(), u"070809010");
  EXPECT_EQ(v.FormatDateTime(), u"20240229070809010");

  CHostDateTime host{};
  host.SetYear(1999);  // replaced entirely
  v.ToHostDateTime(host);
  EXPECT_EQ(Shown(host), "2024-2-29 070809010");
  CDateTime cleared;
  cleared.ToHostDateTime(host);
  EXPECT_EQ(Shown(host), "0-1-1 000000000") << "year 0 is not set";
  EXPECT_EQ(cleared.FormatDate(), u"00000101");

  v.m_nHour = 24;
  EXPECT_EQ(v.FormatTime(), u"");
  EXPECT_EQ(v.FormatDateTime(), u"");
  EXPECT_EQ(v.FormatDate(), u"20240229");
}

TEST(CDateTime, AbovePrefixExamples) {
  struct Case { const char16_t* prefix; int year, month, day, hour; };
  CDateTime v;
  for (Case c : {Case{u"2024", 2025, 1, 1, 0}, Case{u"202412", 2025, 1, 1, 0}, Case{u"2024011", 2024, 1, 20, 0},
                 Case{u"202403", 2024, 4, 1, 0}, Case{u"20240228", 2024, 2, 29, 0}, Case{u"2023022", 2023, 3, 1, 0},
                 Case{u"20240101 05", 2024, 1, 1, 6}, Case{u"20240101 ", 2024, 1, 2, 0},
                 Case{u"15000228", 1500, 2, 29, 0}}) {
    SCOPED_TRACE(std::string(c.prefix, c.prefix + std::char_traits<char16_t>::length(c.prefix)));
    ASSERT_TRUE(v.bSetAboveDateTimePrefix(c.prefix));
    ExpectFields(v, c.year, c.month, c.day, c.hour, 0, 0, 0);
  }
  EXPECT_FALSE(v.bSetAboveDateTimePrefix(u"9"));
  EXPECT_FALSE(v.bSetAboveDateTimePrefix(u"99991231 235959999"));
  EXPECT_FALSE(v.bSetAboveDateTimePrefix(u""));
  EXPECT_FALSE(v.bSetAboveDateTimePrefix(nullptr));
  EXPECT_FALSE(v.bSetAboveDateTimePrefix(u"2024-01"));
  EXPECT_FALSE(v.bSetAboveDateTimePrefix(u"202401011200000001")) << "18 digits";

  ASSERT_TRUE(v.bSetAboveTimePrefix(u"19"));
  ExpectFields(v, 0, 1, 1, 20, 0, 0, 0);
  ASSERT_TRUE(v.bSetAboveTimePrefix(u"0"));
  EXPECT_EQ(v.m_nHour, 10);
  EXPECT_FALSE(v.bSetAboveTimePrefix(u"23"));
  EXPECT_FALSE(v.bSetAboveTimePrefix(u"2"));
  EXPECT_FALSE(v.bSetAboveTimePrefix(u"1234567890"));
  EXPECT_FALSE(v.bSetAboveTimePrefix(u""));
}

// A point in time as the digit texts see it, with the calendar arithmetic of the standard library as the reference.
struct Moment {
  sys_days day;
  milliseconds time;

  std::u16string Digits() const {
    year_month_day ymd{day};
    hh_mm_ss<milliseconds> t{time};
    char16_t text[18];
    FormatDateDigitsW(text, int(ymd.year()), int(unsigned(ymd.month())), int(unsigned(ymd.day())), 8);
    FormatTimeDigitsW(text + 8, int(t.hours().count()), int(t.minutes().count()), int(t.seconds().count()),
                      int(t.subseconds().count()), 9);
    return text;
  }
  Moment Previous() const {
    return time.count() == 0 ? Moment{day - days{1}, milliseconds{86399999}} : Moment{day, time - milliseconds{1}};
  }
  static Moment Of(const CDateTime& v) {
    year_month_day ymd{year{v.m_nYear + 1900}, month(unsigned(v.m_nMonth + 1)), std::chrono::day(unsigned(v.m_nDay))};
    EXPECT_TRUE(ymd.ok()) << "a real calendar day";
    sys_days day = ymd;
    return {day, hours{v.m_nHour} + minutes{v.m_nMinute} + seconds{v.m_nSecond} + milliseconds{v.m_nMillisecond}};
  }
  auto Key() const { return std::pair(day, time); }
};

// For a prefix of the digits of a random moment, the bound must lie above every moment with that prefix and be the
// least such moment: it does not start with the prefix itself, but the moment just before it does.
TEST(CDateTime, AbovePrefixIsTheLeastUpperBoundOverRandomPrefixes) {
  std::mt19937 random(20240229);
  const sys_days first = year_month_day{year{1000}, January, day{1}};
  const sys_days last = year_month_day{year{9999}, December, day{31}};
  const Moment latest{last, milliseconds{86399999}};
  for (int sample = 0; sample < 20000; ++sample) {
    Moment m{first + days{std::uniform_int_distribution<int>(0, (last - first).count())(random)},
             milliseconds{std::uniform_int_distribution<int>(0, 86399999)(random)}};
    if (sample % 7 == 0) m.time = milliseconds{86399999};  // every digit at its limit as often as possible
    std::u16string prefix = m.Digits().substr(0, std::uniform_int_distribution<int>(1, 17)(random));
    std::u16string spaced = prefix.size() > 8 ? prefix.substr(0, 8) + u" " + prefix.substr(8) : prefix;
    SCOPED_TRACE(std::string(spaced.begin(), spaced.end()));

    CDateTime above;
    if (!above.bSetAboveDateTimePrefix(spaced.c_str())) {
      EXPECT_EQ(latest.Digits().rfind(prefix, 0), 0u) << "a later moment exists";
      continue;
    }
    Moment bound = Moment::Of(above);
    EXPECT_LT(m.Key(), bound.Key());
    EXPECT_NE(bound.Digits().rfind(prefix, 0), 0u);
    EXPECT_EQ(bound.Previous().Digits().rfind(prefix, 0), 0u);
  }
}

TEST(CDateTime, AboveTimePrefixIsTheLeastUpperBoundOverRandomPrefixes) {
  std::mt19937 random(86399999);
  const Moment latest{sys_days{}, milliseconds{86399999}};
  for (int sample = 0; sample < 20000; ++sample) {
    Moment m{sys_days{}, milliseconds{std::uniform_int_distribution<int>(0, 86399999)(random)}};
    std::u16string prefix = m.Digits().substr(8, std::uniform_int_distribution<int>(1, 9)(random));
    SCOPED_TRACE(std::string(prefix.begin(), prefix.end()));
    CDateTime above;
    if (!above.bSetAboveTimePrefix(prefix.c_str())) {
      EXPECT_EQ(latest.Digits().substr(8).rfind(prefix, 0), 0u);
      continue;
    }
    above.m_nYear = 70;  // the time alone, placed on the reference's first day
    Moment bound = Moment::Of(above);
    EXPECT_LT(m.Key(), bound.Key());
    EXPECT_NE(bound.Digits().substr(8).rfind(prefix, 0), 0u);
    EXPECT_EQ(bound.Previous().Digits().substr(8).rfind(prefix, 0), 0u);
  }
}

}  // namespace
