// The wall clock as Windows hands it out: a SYSTEMTIME-shaped broken-down local time with milliseconds.
#pragma once

#include <cstdint>

namespace platform {

// The fields and order of a Windows SYSTEMTIME: month 1-12, day of week 0 (Sunday) to 6, day of month 1-31.
struct SystemTime {
  std::uint16_t year;
  std::uint16_t month;
  std::uint16_t dayOfWeek;
  std::uint16_t day;
  std::uint16_t hour;
  std::uint16_t minute;
  std::uint16_t second;
  std::uint16_t milliseconds;
};

// GetLocalTime: the current date and time in the machine's time zone.
SystemTime LocalTime();

}  // namespace platform
