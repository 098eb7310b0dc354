// The client calls of the value conversions: numbers to and from text through a mask, timestamps to text and from
// their parts, intervals to and from milliseconds, and the datetime descriptor's free. Each runs its call in a
// guarded region (a missing entry gives error 1040, another exception error 23); a failing status leaves the
// connection's OCI error in the holder with message 2482 in front of it. Results 1 on success, 0 on failure.
#pragma once

#include <cstdint>

#include "foundation/t_string.h"

class CDateTime;
class CErrorHolder;
class COracleConnection;

// The decimal character and group separator every number text crosses with, whatever the session's settings.
inline constexpr char16_t NUMBER_NLS_PARAMETERS[] = u"NLS_NUMERIC_CHARACTERS='. '";
// The text mask of timestamps: 17 digits YYYYMMDDhhmmssmmm with a fraction precision of 3.
inline constexpr char16_t TIMESTAMP_TEXT_MASK[] = u"YYYYMMDDHH24MISSFF";

// number: a 22-byte OCINumber. out is set only on success.
int nNumberToText(COracleConnection* connection, CErrorHolder* holder, const void* number, const char16_t* mask,
                  std::uint32_t maskLength, CTString& out);
int nOciNumberFromText(COracleConnection* connection, CErrorHolder* holder, void* number, const char16_t* text,
                       const char16_t* mask, std::uint32_t maskLength);
int nOciDateTimeToText(COracleConnection* connection, CErrorHolder* holder, const void* dateTime, CTString& out);
int nOciDateTimeConstruct(COracleConnection* connection, CErrorHolder* holder, void* dateTime,
                          const CDateTime& value);
// sqltCode 189 reads and writes a year-month interval, any other a day-second one. A year counts 365 days, a month
// 30. The read answers -1, raising nothing, for an interval whose milliseconds do not fit 64 bits.
int nOciIntervalGet(COracleConnection* connection, CErrorHolder* holder, const void* interval, std::uint16_t sqltCode,
                    std::int64_t* milliseconds);
int nOciIntervalSet(COracleConnection* connection, CErrorHolder* holder, void* interval, std::uint16_t sqltCode,
                    std::int64_t milliseconds);
// Frees a descriptor; a missing entry or a client exception is recorded at unit.point (no status is looked at).
void OciDescriptorFreeChecked(COracleConnection* connection, CErrorHolder* holder, void* descriptor,
                              std::uint32_t type, std::uint32_t unit, std::uint32_t point);

// The interval arithmetic of the two interval calls, apart from the client.
std::int64_t nIntervalMilliseconds(std::int64_t years, std::int64_t months, std::int64_t days, std::int64_t hours,
                                   std::int64_t minutes, std::int64_t seconds, std::int64_t nanoseconds);
struct SIntervalParts {
  std::int32_t years = 0, months = 0, days = 0, hours = 0, minutes = 0, seconds = 0, nanoseconds = 0;
};
SIntervalParts IntervalPartsOf(std::int64_t milliseconds, bool yearMonth);
