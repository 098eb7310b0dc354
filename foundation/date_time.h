// Dates and times as the driver meets them. CHostDateTime is the runtime's packed 8-byte date-time (the native
// value of host type 26), so its layout is fixed. CDateTime is the driver's own broken-down date-time with
// milliseconds, filled from digit texts (YYYYMMDD for dates, HHMMSSmmm for times, an optional space between) or from
// the clock; it also builds the upper bounds of searches for values that start with a given prefix of digits.
// Both are plain values that own nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/time.h"

// Calendar rules. Before 1583 every fourth year is a leap year (centuries included); from 1583 on the Gregorian
// exception for centuries applies.
int bIsLeapYear(int year);
// Days of a month 1-12 under bIsLeapYear; 0 for a month outside 1-12.
int nDaysInMonth(int month, int year);
// The day capped to its month's length; unchanged while any of the three is 0 (not set) or the month is invalid.
int nCapDay(int day, int month, int year);
// Days of a month under the pure Gregorian rule for every year; -1 for a month outside 1-12. The text form reads the
// year from the first four characters and the month from the next two (missing characters '0', month 0 read as 1).
int nDaysInMonthOf(int year, int month);
int nDaysInMonthOfText(const char16_t* text);

// Write the first `count` of the digits YYYYMMDD (8) or HHMMSSmmm (9), each component zero-padded, and a terminator
// after them. A count above the number of digits writes them all; the buffer holds count + 1 units.
void FormatDateDigitsW(char16_t* out, int year, int month, int day, int count);
void FormatTimeDigitsW(char16_t* out, int hour, int minute, int second, int millisecond, int count);
void FormatTimeDigitsA(char* out, int hour, int minute, int second, int millisecond, int count);

// The value of `count` digits of a zero-terminated text from `position`. When the text ends before the last of them:
// 0 if nothing lies at the position or `pad` is 0, else the digits present with each missing one read as '0' on the
// right. A character that is not a digit reads as '0'.
int nParseDigitsW(const char16_t* text, int position, int count, int pad);
int nParseDigitsA(const char* text, int position, int count, int pad);

// The runtime's packed date-time (shared layout: day, month, year, milliseconds since midnight).
struct CHostDateTime {
  std::uint8_t m_nDay;            // 1-31, 0 = not set
  std::uint8_t m_nMonth;          // 1-12, 0 = not set
  std::uint16_t m_nYear;          // 1-9999, 0 = not set
  std::uint32_t m_nMillisecond;   // of the day, 0-86399999

  void Clear();
  // Out-of-range values are ignored; an accepted change caps the day to the month's length.
  void SetYear(int year);
  void SetMonth(int month);
  void SetDay(int day);
  // Replace one component of the time of day; 0 and no change when out of range.
  int bSetHour(int hour);
  int bSetMinute(int minute);
  int bSetSecond(int second);
  int bSetMillisecond(int millisecond);
  // Each part through its setter, so invalid parts leave what was there.
  void SetFromSystemTime(const platform::SystemTime& time);

  int nHour() const { return static_cast<int>(m_nMillisecond / 3600000u); }
  int nMinute() const { return static_cast<int>(m_nMillisecond / 60000u % 60u); }
  int nSecond() const { return static_cast<int>(m_nMillisecond / 1000u % 60u); }
  int nMillisecondPart() const { return static_cast<int>(m_nMillisecond % 1000u); }

  void FormatDateW(char16_t* out, int count) const;  // YYYYMMDD
  void FormatTimeA(char* out) const;                  // HHMMSSmmm, all nine digits
  void FormatTimeW(char16_t* out, int count) const;   // HHMMSSmmm
};
static_assert(sizeof(CHostDateTime) == 8);
static_assert(offsetof(CHostDateTime, m_nYear) == 2 && offsetof(CHostDateTime, m_nMillisecond) == 4);

// Broken-down date-time laid out like the C library's calendar time, plus milliseconds.
class CDateTime {
 public:
  CDateTime() { Clear(); }
  virtual ~CDateTime() = default;

  // Year 0 (field -1900), January 1, midnight; day of week and day of year -1.
  void Clear();
  // The machine's local time; daylight-saving flag and day of year -1.
  void SetNow();
  void ToSystemTime(platform::SystemTime& out) const;
  void ToHostDateTime(CHostDateTime& out) const;

  // Digit texts: missing digits read as '0', a month or day of 00 as the first. Never fail (answer 1). A length of
  // -1 reads up to the terminator.
  int bParseDateTime(const char16_t* text, std::int32_t length = -1);
  int bParseTime(const char16_t* text, std::int32_t dst);

  // The smallest date-time (or time) above every value whose digit text starts with `text`: the upper bound of a
  // search for a prefix. 0 when there is none or the text is not a prefix of a digit text.
  int bSetAboveDateTimePrefix(const char16_t* text);
  int bSetAboveTimePrefix(const char16_t* text);

  // YYYYMMDD, YYYYMMDDHHMMSSmmm and HHMMSSmmm. Empty when a calendar field used is out of its range.
  std::u16string FormatDate() const;
  std::u16string FormatDateTime() const;
  std::u16string FormatTime() const;

  std::int32_t m_nSecond;
  std::int32_t m_nMinute;
  std::int32_t m_nHour;
  std::int32_t m_nDay;         // 1-31
  std::int32_t m_nMonth;       // 0-11
  std::int32_t m_nYear;        // year - 1900
  std::int32_t m_nDayOfWeek;   // 0 = Sunday, -1 unknown
  std::int32_t m_nDayOfYear;   // -1 unknown
  std::int32_t m_nDst;         // daylight-saving flag, -1 unknown
  std::int32_t m_nMillisecond;

 private:
  void ParseDateTimeDigits(std::u16string_view text);
  void ParseTimeDigits(std::u16string_view text);
  int bCalendarFieldsValid(bool withDate, bool withTime) const;
};
