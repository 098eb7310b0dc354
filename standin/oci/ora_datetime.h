// Oracle dates, timestamps and intervals as the stand-in keeps them: the canonical texts stored in SQLite (which
// sort in time order), the client's byte layouts (the 7-byte DATE and the 8-byte OCIDate), and the date masks of
// TO_CHAR, TO_DATE, TO_TIMESTAMP and NLS_DATE_FORMAT.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace qzoci {

struct DateTime {
  int year = 1;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  std::uint32_t nanos = 0;
  bool hasZone = false;
  int zoneMinutes = 0;

  // "YYYY-MM-DD HH:MI:SS" for a DATE; with a 9-digit fraction (and a zone) for a timestamp.
  std::string ToDateText() const;
  std::string ToTimestampText() const;
  static std::optional<DateTime> FromText(const std::string& text);
  static DateTime Now();
  bool IsValid() const;
  // Rounds the fraction half up to `digits` digits, carrying into the seconds and on into the year; false when the
  // carry goes past 9999-12-31.
  bool RoundFraction(int digits);
};

// The local calendar time of an instant, and the local zone's offset from UTC at it, in minutes east.
std::tm LocalParts(std::time_t seconds);
int LocalOffsetMinutes(std::time_t seconds);

// The 7-byte DATE: century + 100, year of century + 100, month, day, hour + 1, minute + 1, second + 1.
void ToOraDate(const DateTime& value, unsigned char out[7]);
std::optional<DateTime> FromOraDate(const unsigned char in[7]);

// TO_CHAR(date, mask) and TO_DATE / TO_TIMESTAMP(text, mask). `fractionDigits` is the FF precision when the mask
// says FF without a digit count.
std::string FormatDateMask(const DateTime& value, const std::string& mask, int fractionDigits = 9);
std::optional<DateTime> ParseDateMask(const std::string& text, const std::string& mask);

struct Interval {
  bool yearToMonth = false;
  bool negative = false;
  std::int64_t years = 0;
  std::int64_t months = 0;
  std::int64_t days = 0;
  std::int64_t hours = 0;
  std::int64_t minutes = 0;
  std::int64_t seconds = 0;
  std::int64_t nanos = 0;

  // "+YY-MM" or "+DD HH:MI:SS.FFFFFFFFF", as Oracle writes interval literals.
  std::string ToText() const;
  static std::optional<Interval> FromText(const std::string& text, bool yearToMonth);
  // Rounds the magnitude's fraction half up to `digits` digits, carrying into the seconds and on into the days.
  void RoundFraction(int digits);
};

}  // namespace qzoci
