#include "standin/oci/ora_datetime.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <ctime>
#include <sys/time.h>

#include "standin/oci/text_codec.h"

namespace qzoci {

namespace {

const char* const kMonths[12] = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
                                 "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
const char* const kDays[7] = {"SUNDAY", "MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY"};

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

int DayOfWeek(int y, int m, int d) {  // 0 = Sunday
  static const int t[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (m < 3) y -= 1;
  return (y + y / 4 - y / 100 + y / 400 + t[m - 1] + d) % 7;
}

int DayOfYear(int y, int m, int d) {
  int n = d;
  for (int k = 1; k < m; ++k) n += DaysInMonth(y, k);
  return n;
}

std::string Pad(long long value, int width) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%0*lld", width, value);
  return buffer;
}

std::string CaseLike(const std::string& upper, const std::string& token) {
  // "MONTH" gives upper case, "Month" capitalised, "month" lower case.
  std::string out = upper;
  if (token.size() >= 2 && token[0] >= 'A' && token[0] <= 'Z' && token[1] >= 'a' && token[1] <= 'z') {
    for (std::size_t i = 1; i < out.size(); ++i) out[i] = static_cast<char>(out[i] - 'A' + 'a');
  } else if (!token.empty() && token[0] >= 'a' && token[0] <= 'z') {
    for (char& c : out) c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// The mask's elements, longest first so that "HH24" wins over "HH" and "MONTH" over "MON" and "MM".
const char* const kElements[] = {"YYYY", "RRRR", "SYYYY", "HH24", "HH12", "MONTH", "FF1", "FF2", "FF3", "FF4",
                                 "FF5",  "FF6",  "FF7",   "FF8",  "FF9",  "YYY",   "MON", "DAY", "DDD", "A.M.",
                                 "P.M.", "TZH",  "TZM",   "YY",   "RR",   "MM",    "DD",  "DY",  "HH",  "MI",
                                 "SS",   "FF",   "AM",    "PM",   "FX",   "FM",    "Y",   "D",   "J",   "X"};

std::string MatchElement(const std::string& upperMask, std::size_t at) {
  for (const char* element : kElements) {
    const std::string e = element;
    if (upperMask.compare(at, e.size(), e) == 0) return e;
  }
  return std::string();
}

}  // namespace

bool DateTime::IsValid() const {
  return year >= -4712 && year <= 9999 && year != 0 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month) && hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 &&
         second < 60 && nanos < 1000000000u;
}

namespace {

// The fraction of `nanos` rounded half up to `digits` digits (0 to 9); 1e9 when it carries into the second.
std::uint32_t RoundedNanos(std::uint32_t nanos, int digits) {
  std::uint32_t unit = 1;
  for (int k = std::max(0, std::min(digits, 9)); k < 9; ++k) unit *= 10;
  return (nanos + unit / 2) / unit * unit;
}

}  // namespace

bool DateTime::RoundFraction(int digits) {
  nanos = RoundedNanos(nanos, digits);
  if (nanos < 1000000000u) return true;
  nanos = 0;
  if (++second < 60) return true;
  second = 0;
  if (++minute < 60) return true;
  minute = 0;
  if (++hour < 24) return true;
  hour = 0;
  if (++day <= DaysInMonth(year, month)) return true;
  day = 1;
  if (++month <= 12) return true;
  month = 1;
  if (++year == 0) year = 1;  // no year 0 between 1 BC and AD 1
  return year <= 9999;
}

void Interval::RoundFraction(int digits) {
  nanos = RoundedNanos(static_cast<std::uint32_t>(nanos), digits);
  if (nanos < 1000000000) return;
  nanos = 0;
  if (++seconds < 60) return;
  seconds = 0;
  if (++minutes < 60) return;
  minutes = 0;
  if (++hours < 24) return;
  hours = 0;
  ++days;
}

std::string DateTime::ToDateText() const {
  return Pad(year, 4) + "-" + Pad(month, 2) + "-" + Pad(day, 2) + " " + Pad(hour, 2) + ":" + Pad(minute, 2) + ":" +
         Pad(second, 2);
}

std::string DateTime::ToTimestampText() const {
  std::string out = ToDateText() + "." + Pad(nanos, 9);
  if (hasZone) {
    const int m = zoneMinutes < 0 ? -zoneMinutes : zoneMinutes;
    out += std::string(" ") + (zoneMinutes < 0 ? "-" : "+") + Pad(m / 60, 2) + ":" + Pad(m % 60, 2);
  }
  return out;
}

std::optional<DateTime> DateTime::FromText(const std::string& text) {
  DateTime v;
  int consumed = 0;
  if (std::sscanf(text.c_str(), "%d-%d-%d%n", &v.year, &v.month, &v.day, &consumed) != 3) return std::nullopt;
  std::size_t at = static_cast<std::size_t>(consumed);
  if (at < text.size()) {
    int used = 0;
    if (std::sscanf(text.c_str() + at, " %d:%d:%d%n", &v.hour, &v.minute, &v.second, &used) != 3) return std::nullopt;
    at += static_cast<std::size_t>(used);
    if (at < text.size() && text[at] == '.') {
      ++at;
      std::string fraction;
      while (at < text.size() && text[at] >= '0' && text[at] <= '9') fraction += text[at++];
      fraction.resize(9, '0');
      v.nanos = static_cast<std::uint32_t>(std::strtoul(fraction.c_str(), nullptr, 10));
    }
    while (at < text.size() && text[at] == ' ') ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
      int h = 0;
      int m = 0;
      if (std::sscanf(text.c_str() + at + 1, "%d:%d", &h, &m) != 2) return std::nullopt;
      v.hasZone = true;
      v.zoneMinutes = (text[at] == '-' ? -1 : 1) * (h * 60 + m);
    } else if (at < text.size()) {
      return std::nullopt;
    }
  }
  if (!v.IsValid()) return std::nullopt;
  return v;
}

std::tm LocalParts(std::time_t seconds) {
  std::tm parts{};
#if defined(_WIN32)
  ::localtime_s(&parts, &seconds);
#else
  ::localtime_r(&seconds, &parts);
#endif
  return parts;
}

int LocalOffsetMinutes(std::time_t seconds) {
  std::tm parts = LocalParts(seconds);
#if defined(_WIN32)
  // The local fields read as if they were UTC, less the instant itself.
  return static_cast<int>((::_mkgmtime(&parts) - seconds) / 60);
#else
  return static_cast<int>(parts.tm_gmtoff / 60);
#endif
}

DateTime DateTime::Now() {
  timeval tv{};
  ::gettimeofday(&tv, nullptr);
  const std::tm parts = LocalParts(tv.tv_sec);
  DateTime v;
  v.year = parts.tm_year + 1900;
  v.month = parts.tm_mon + 1;
  v.day = parts.tm_mday;
  v.hour = parts.tm_hour;
  v.minute = parts.tm_min;
  v.second = parts.tm_sec;
  v.nanos = static_cast<std::uint32_t>(tv.tv_usec) * 1000u;
  return v;
}

void ToOraDate(const DateTime& value, unsigned char out[7]) {
  const int year = value.year;
  out[0] = static_cast<unsigned char>(year / 100 + 100);
  out[1] = static_cast<unsigned char>(year % 100 + 100);
  out[2] = static_cast<unsigned char>(value.month);
  out[3] = static_cast<unsigned char>(value.day);
  out[4] = static_cast<unsigned char>(value.hour + 1);
  out[5] = static_cast<unsigned char>(value.minute + 1);
  out[6] = static_cast<unsigned char>(value.second + 1);
}

std::optional<DateTime> FromOraDate(const unsigned char in[7]) {
  DateTime v;
  v.year = (in[0] - 100) * 100 + (in[1] - 100);
  v.month = in[2];
  v.day = in[3];
  v.hour = in[4] - 1;
  v.minute = in[5] - 1;
  v.second = in[6] - 1;
  if (!v.IsValid()) return std::nullopt;
  return v;
}

std::string FormatDateMask(const DateTime& v, const std::string& mask, int fractionDigits) {
  const std::string upper = ToUpperAscii(mask);
  std::string out;
  bool fill = false;
  for (std::size_t i = 0; i < mask.size();) {
    if (mask[i] == '"') {
      const std::size_t close = mask.find('"', i + 1);
      const std::size_t end = close == std::string::npos ? mask.size() : close;
      out += mask.substr(i + 1, end - i - 1);
      i = end + 1;
      continue;
    }
    const std::string e = MatchElement(upper, i);
    if (e.empty()) {
      out += mask[i++];
      continue;
    }
    const std::string token = mask.substr(i, e.size());
    i += e.size();
    if (e == "YYYY" || e == "RRRR" || e == "SYYYY") out += Pad(v.year, 4);
    else if (e == "YYY") out += Pad(v.year % 1000, 3);
    else if (e == "YY" || e == "RR") out += Pad(v.year % 100, 2);
    else if (e == "Y") out += Pad(v.year % 10, 1);
    else if (e == "MM") out += Pad(v.month, 2);
    else if (e == "MONTH") {
      std::string name = CaseLike(kMonths[v.month - 1], token);
      if (!fill) name.resize(9, ' ');
      out += name;
    } else if (e == "MON") out += CaseLike(std::string(kMonths[v.month - 1]).substr(0, 3), token);
    else if (e == "DD") out += Pad(v.day, 2);
    else if (e == "DDD") out += Pad(DayOfYear(v.year, v.month, v.day), 3);
    else if (e == "D") out += Pad(DayOfWeek(v.year, v.month, v.day) + 1, 1);
    else if (e == "DAY") {
      std::string name = CaseLike(kDays[DayOfWeek(v.year, v.month, v.day)], token);
      if (!fill) name.resize(9, ' ');
      out += name;
    } else if (e == "DY") out += CaseLike(std::string(kDays[DayOfWeek(v.year, v.month, v.day)]).substr(0, 3), token);
    else if (e == "HH24") out += Pad(v.hour, 2);
    else if (e == "HH" || e == "HH12") out += Pad(v.hour % 12 == 0 ? 12 : v.hour % 12, 2);
    else if (e == "MI") out += Pad(v.minute, 2);
    else if (e == "SS") out += Pad(v.second, 2);
    else if (e[0] == 'F' && e[1] == 'F') {
      const int digits = e.size() == 3 ? e[2] - '0' : fractionDigits;
      out += Pad(v.nanos, 9).substr(0, static_cast<std::size_t>(digits));
    } else if (e == "AM" || e == "PM") out += v.hour < 12 ? "AM" : "PM";
    else if (e == "A.M." || e == "P.M.") out += v.hour < 12 ? "A.M." : "P.M.";
    else if (e == "TZH") out += (v.zoneMinutes < 0 ? "-" : "+") + Pad((v.zoneMinutes < 0 ? -v.zoneMinutes : v.zoneMinutes) / 60, 2);
    else if (e == "TZM") out += Pad((v.zoneMinutes < 0 ? -v.zoneMinutes : v.zoneMinutes) % 60, 2);
    else if (e == "FM") fill = !fill;
    else if (e == "X") out += '.';
    else if (e == "J") {
      // Julian day: days since 1 January 4712 BC, computed from the civil date.
      const int a = (14 - v.month) / 12;
      const int y = v.year + 4800 - a;
      const int m = v.month + 12 * a - 3;
      out += std::to_string(v.day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045);
    }
  }
  return out;
}

std::optional<DateTime> ParseDateMask(const std::string& text, const std::string& mask) {
  const std::string upper = ToUpperAscii(mask);
  const std::string upperText = ToUpperAscii(text);
  const DateTime now = DateTime::Now();
  DateTime v;
  v.year = now.year;
  v.month = now.month;
  v.day = 1;
  bool pm = false;
  bool twelveHour = false;
  std::size_t t = 0;
  auto skipBlanks = [&] {
    while (t < text.size() && text[t] == ' ') ++t;
  };
  auto readNumber = [&](int maxDigits, long long& value) {
    skipBlanks();
    bool negative = false;
    if (t < text.size() && (text[t] == '-' || text[t] == '+')) negative = text[t++] == '-';
    const std::size_t start = t;
    value = 0;
    while (t < text.size() && t - start < static_cast<std::size_t>(maxDigits) && text[t] >= '0' && text[t] <= '9') {
      value = value * 10 + (text[t++] - '0');
    }
    if (negative) value = -value;
    return t > start;
  };
  for (std::size_t i = 0; i < mask.size();) {
    if (mask[i] == '"') {
      const std::size_t close = mask.find('"', i + 1);
      const std::size_t end = close == std::string::npos ? mask.size() : close;
      // A literal skips its length of text, never beyond the text's end.
      t = std::min(text.size(), t + (end - i - 1));
      i = end + 1;
      continue;
    }
    const std::string e = MatchElement(upper, i);
    if (e.empty()) {
      // Punctuation in the mask matches any one separator, or none when the text has a digit there.
      if (t < text.size() && !(text[t] >= '0' && text[t] <= '9')) ++t;
      ++i;
      continue;
    }
    i += e.size();
    long long n = 0;
    if (e == "YYYY" || e == "RRRR" || e == "SYYYY") {
      if (!readNumber(4, n)) return std::nullopt;
      v.year = static_cast<int>(n);
    } else if (e == "YY" || e == "RR") {
      if (!readNumber(2, n)) return std::nullopt;
      v.year = e == "RR" ? static_cast<int>(n < 50 ? 2000 + n : 1900 + n) : static_cast<int>(now.year / 100 * 100 + n);
    } else if (e == "YYY" || e == "Y") {
      if (!readNumber(static_cast<int>(e.size()), n)) return std::nullopt;
      v.year = static_cast<int>(now.year / 1000 * 1000 + n);
    } else if (e == "MM") {
      if (!readNumber(2, n)) return std::nullopt;
      v.month = static_cast<int>(n);
    } else if (e == "MON" || e == "MONTH") {
      skipBlanks();
      bool found = false;
      for (int m = 0; m < 12 && !found; ++m) {
        const std::string full = kMonths[m];
        if (upperText.compare(t, full.size(), full) == 0) {
          t += full.size();
          v.month = m + 1;
          found = true;
        } else if (upperText.compare(t, 3, full.substr(0, 3)) == 0) {
          t += 3;
          v.month = m + 1;
          found = true;
        }
      }
      if (!found) return std::nullopt;
    } else if (e == "DD") {
      if (!readNumber(2, n)) return std::nullopt;
      v.day = static_cast<int>(n);
    } else if (e == "DY" || e == "DAY") {
      skipBlanks();
      while (t < text.size() && ((text[t] >= 'A' && text[t] <= 'Z') || (text[t] >= 'a' && text[t] <= 'z'))) ++t;
    } else if (e == "HH24") {
      if (!readNumber(2, n)) return std::nullopt;
      v.hour = static_cast<int>(n);
    } else if (e == "HH" || e == "HH12") {
      if (!readNumber(2, n)) return std::nullopt;
      v.hour = static_cast<int>(n % 12);
      twelveHour = true;
    } else if (e == "MI") {
      if (!readNumber(2, n)) return std::nullopt;
      v.minute = static_cast<int>(n);
    } else if (e == "SS") {
      if (!readNumber(2, n)) return std::nullopt;
      v.second = static_cast<int>(n);
    } else if (e[0] == 'F' && e[1] == 'F') {
      const std::size_t start = t;
      std::string digits;
      while (t < text.size() && text[t] >= '0' && text[t] <= '9' && digits.size() < 9) digits += text[t++];
      if (t == start) return std::nullopt;
      digits.resize(9, '0');
      v.nanos = static_cast<std::uint32_t>(std::strtoul(digits.c_str(), nullptr, 10));
    } else if (e == "X") {
      if (t < text.size() && text[t] == '.') ++t;
    } else if (e == "AM" || e == "PM" || e == "A.M." || e == "P.M.") {
      skipBlanks();
      pm = upperText.compare(t, 1, "P") == 0;
      t = std::min(text.size(), t + e.size());
    } else if (e == "TZH") {
      if (!readNumber(2, n)) return std::nullopt;
      v.hasZone = true;
      v.zoneMinutes = static_cast<int>(n * 60);
    } else if (e == "TZM") {
      if (!readNumber(2, n)) return std::nullopt;
      v.zoneMinutes += v.zoneMinutes < 0 ? -static_cast<int>(n) : static_cast<int>(n);
    } else if (e == "J") {
      if (!readNumber(7, n)) return std::nullopt;
      long long a = n + 32044;
      const long long b = (4 * a + 3) / 146097;
      const long long c = a - 146097 * b / 4;
      const long long d = (4 * c + 3) / 1461;
      const long long ee = c - 1461 * d / 4;
      const long long m = (5 * ee + 2) / 153;
      v.day = static_cast<int>(ee - (153 * m + 2) / 5 + 1);
      v.month = static_cast<int>(m + 3 - 12 * (m / 10));
      v.year = static_cast<int>(100 * b + d - 4800 + m / 10);
    }
  }
  skipBlanks();
  if (t < text.size()) return std::nullopt;
  if (twelveHour && pm) v.hour += 12;
  if (!v.IsValid()) return std::nullopt;
  return v;
}

std::string Interval::ToText() const {
  const char* sign = negative ? "-" : "+";
  if (yearToMonth) return sign + Pad(years, 2) + "-" + Pad(months, 2);
  return sign + Pad(days, 2) + " " + Pad(hours, 2) + ":" + Pad(minutes, 2) + ":" + Pad(seconds, 2) + "." +
         Pad(nanos, 9);
}

std::optional<Interval> Interval::FromText(const std::string& text, bool yearToMonth) {
  Interval v;
  v.yearToMonth = yearToMonth;
  std::size_t at = 0;
  while (at < text.size() && text[at] == ' ') ++at;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) v.negative = text[at++] == '-';
  const char* p = text.c_str() + at;
  long long a = 0;
  long long b = 0;
  long long c = 0;
  long long d = 0;
  if (yearToMonth) {
    if (std::sscanf(p, "%lld-%lld", &a, &b) != 2) return std::nullopt;
    v.years = a;
    v.months = b;
    return v;
  }
  if (std::sscanf(p, "%lld %lld:%lld:%lld", &a, &b, &c, &d) != 4) return std::nullopt;
  v.days = a;
  v.hours = b;
  v.minutes = c;
  v.seconds = d;
  const char* dot = std::strchr(p, '.');
  if (dot) {
    std::string digits;
    for (const char* q = dot + 1; *q >= '0' && *q <= '9' && digits.size() < 9; ++q) digits += *q;
    digits.resize(9, '0');
    v.nanos = std::strtoll(digits.c_str(), nullptr, 10);
  }
  return v;
}

}  // namespace qzoci
