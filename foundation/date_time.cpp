#include "foundation/date_time.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kDateDigits = 8;
constexpr int kTimeDigits = 9;
constexpr std::uint32_t kMsPerHour = 3600000u;
constexpr std::uint32_t kMsPerMinute = 60000u;
constexpr std::uint32_t kMsPerSecond = 1000u;

constexpr int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Writes `value` as `width` zero-padded digits; a value too wide keeps its last digits, a negative one reads as 0.
template <class Ch>
void PutField(Ch* digits, int value, int width) {
  unsigned rest = value < 0 ? 0u : static_cast<unsigned>(value);
  for (int i = width - 1; i >= 0; --i) {
    digits[i] = static_cast<Ch>('0' + rest % 10u);
    rest /= 10u;
  }
}

template <class Ch>
void CopyDigits(Ch* out, const Ch* digits, int available, int count) {
  int n = std::clamp(count, 0, available);
  std::copy(digits, digits + n, out);
  out[n] = 0;
}

template <class Ch>
void FormatTimeDigits(Ch* out, int hour, int minute, int second, int millisecond, int count) {
  Ch digits[kTimeDigits];
  PutField(digits, hour, 2);
  PutField(digits + 2, minute, 2);
  PutField(digits + 4, second, 2);
  PutField(digits + 6, millisecond, 3);
  CopyDigits(out, digits, kTimeDigits, count);
}

template <class Ch>
int ParseDigits(std::basic_string_view<Ch> text, int position, int count, int pad) {
  if (position < 0 || count <= 0 || static_cast<std::size_t>(position) >= text.size()) return 0;
  std::size_t available = std::min<std::size_t>(static_cast<std::size_t>(count), text.size() - position);
  if (available < static_cast<std::size_t>(count) && !pad) return 0;
  // Unsigned so that an absurd count wraps instead of overflowing; the callers ask for at most 4 digits.
  std::uint32_t value = 0;
  for (int i = 0; i < count; ++i) {
    Ch c = static_cast<std::size_t>(i) < available ? text[position + i] : Ch('0');
    value = value * 10u + ((c >= '0' && c <= '9') ? static_cast<std::uint32_t>(c - '0') : 0u);
  }
  return static_cast<int>(value);
}

template <class Ch>
std::basic_string_view<Ch> ZeroTerminated(const Ch* text) {
  return text ? std::basic_string_view<Ch>(text) : std::basic_string_view<Ch>();
}

int DaysInMonthOfDigits(std::u16string_view text) {
  int year = ParseDigits(text, 0, 4, 1);
  int month = ParseDigits(text, 4, 2, 1);
  return nDaysInMonthOf(year, month == 0 ? 1 : month);
}

bool IsAllDigits(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

// A SYSTEMTIME word from a field: anything that does not fit reads as 0xFFFF, which every setter refuses.
std::uint16_t ToWord(std::int32_t value) {
  return value < 0 || value > 0xFFFF ? std::uint16_t{0xFFFF} : static_cast<std::uint16_t>(value);
}

}  // namespace

int bIsLeapYear(int year) {
  if (year % 4 != 0) return 0;
  if (year < 1583) return 1;
  return (year % 100 != 0 || year % 400 == 0) ? 1 : 0;
}

int nDaysInMonth(int month, int year) {
  if (month < 1 || month > 12) return 0;
  return (month == 2 && bIsLeapYear(year)) ? 29 : kMonthDays[month - 1];
}

int nCapDay(int day, int month, int year) {
  int length = nDaysInMonth(month, year);
  if (day == 0 || year == 0 || length == 0) return day;
  return std::min(day, length);
}

int nDaysInMonthOf(int year, int month) {
  if (month < 1 || month > 12) return -1;
  if (month != 2) return kMonthDays[month - 1];
  bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  return leap ? 29 : 28;
}

int nDaysInMonthOfText(const char16_t* text) { return DaysInMonthOfDigits(ZeroTerminated(text)); }

void FormatDateDigitsW(char16_t* out, int year, int month, int day, int count) {
  char16_t digits[kDateDigits];
  PutField(digits, year, 4);
  PutField(digits + 4, month, 2);
  PutField(digits + 6, day, 2);
  CopyDigits(out, digits, kDateDigits, count);
}

void FormatTimeDigitsW(char16_t* out, int hour, int minute, int second, int millisecond, int count) {
  FormatTimeDigits(out, hour, minute, second, millisecond, count);
}

void FormatTimeDigitsA(char* out, int hour, int minute, int second, int millisecond, int count) {
  FormatTimeDigits(out, hour, minute, second, millisecond, count);
}

int nParseDigitsW(const char16_t* text, int position, int count, int pad) {
  return ParseDigits(ZeroTerminated(text), position, count, pad);
}

int nParseDigitsA(const char* text, int position, int count, int pad) {
  return ParseDigits(ZeroTerminated(text), position, count, pad);
}

// ---- CHostDateTime ------------------------------------------------------------------------------------------------

void CHostDateTime::Clear() { *this = CHostDateTime{}; }

void CHostDateTime::SetYear(int year) {
  if (year < 1 || year > 9999) return;
  m_nYear = static_cast<std::uint16_t>(year);
  m_nDay = static_cast<std::uint8_t>(nCapDay(m_nDay, m_nMonth, m_nYear));
}

void CHostDateTime::SetMonth(int month) {
  if (month < 1 || month > 12) return;
  m_nMonth = static_cast<std::uint8_t>(month);
  m_nDay = static_cast<std::uint8_t>(nCapDay(m_nDay, m_nMonth, m_nYear));
}

void CHostDateTime::SetDay(int day) {
  if (day < 1 || day > 31) return;
  m_nDay = static_cast<std::uint8_t>(nCapDay(day, m_nMonth, m_nYear));
}

int CHostDateTime::bSetHour(int hour) {
  if (hour < 0 || hour > 23) return 0;
  m_nMillisecond = m_nMillisecond % kMsPerHour + static_cast<std::uint32_t>(hour) * kMsPerHour;
  return 1;
}

int CHostDateTime::bSetMinute(int minute) {
  if (minute < 0 || minute > 59) return 0;
  m_nMillisecond = m_nMillisecond - static_cast<std::uint32_t>(nMinute()) * kMsPerMinute +
                   static_cast<std::uint32_t>(minute) * kMsPerMinute;
  return 1;
}

int CHostDateTime::bSetSecond(int second) {
  if (second < 0 || second > 59) return 0;
  m_nMillisecond = m_nMillisecond - static_cast<std::uint32_t>(nSecond()) * kMsPerSecond +
                   static_cast<std::uint32_t>(second) * kMsPerSecond;
  return 1;
}

int CHostDateTime::bSetMillisecond(int millisecond) {
  if (millisecond < 0 || millisecond > 999) return 0;
  m_nMillisecond = m_nMillisecond - static_cast<std::uint32_t>(nMillisecondPart()) +
                   static_cast<std::uint32_t>(millisecond);
  return 1;
}

void CHostDateTime::SetFromSystemTime(const platform::SystemTime& time) {
  SetYear(time.year);
  SetMonth(time.month);
  SetDay(time.day);
  bSetHour(time.hour);
  bSetMinute(time.minute);
  bSetSecond(time.second);
  bSetMillisecond(time.milliseconds);
}

void CHostDateTime::FormatDateW(char16_t* out, int count) const {
  FormatDateDigitsW(out, m_nYear, m_nMonth, m_nDay, count);
}

void CHostDateTime::FormatTimeA(char* out) const {
  FormatTimeDigitsA(out, nHour(), nMinute(), nSecond(), nMillisecondPart(), kTimeDigits);
}

void CHostDateTime::FormatTimeW(char16_t* out, int count) const {
  FormatTimeDigitsW(out, nHour(), nMinute(), nSecond(), nMillisecondPart(), count);
}

// ---- CDateTime ----------------------------------------------------------------------------------------------------

void CDateTime::Clear() {
  m_nSecond = m_nMinute = m_nHour = 0;
  m_nDay = 1;
  m_nMonth = 0;
  m_nYear = -1900;
  m_nDayOfWeek = m_nDayOfYear = -1;
  m_nDst = -1;
  m_nMillisecond = 0;
}

void CDateTime::SetNow() {
  platform::SystemTime now = platform::LocalTime();
  m_nYear = now.year - 1900;
  m_nMonth = now.month - 1;
  m_nDay = now.day;
  m_nDayOfWeek = now.dayOfWeek;
  m_nHour = now.hour;
  m_nMinute = now.minute;
  m_nSecond = now.second;
  m_nMillisecond = now.milliseconds;
  m_nDst = -1;
  m_nDayOfYear = -1;
}

void CDateTime::ToSystemTime(platform::SystemTime& out) const {
  out.year = ToWord(m_nYear + 1900);
  out.month = ToWord(m_nMonth + 1);
  out.dayOfWeek = ToWord(m_nDayOfWeek);
  out.day = ToWord(m_nDay);
  out.hour = ToWord(m_nHour);
  out.minute = ToWord(m_nMinute);
  out.second = ToWord(m_nSecond);
  out.milliseconds = ToWord(m_nMillisecond);
}

void CDateTime::ToHostDateTime(CHostDateTime& out) const {
  // Start from nothing, so that a part this value lacks (year 0, say) reads as not set rather than as whatever the
  // target held before.
  platform::SystemTime time{};
  ToSystemTime(time);
  out.Clear();
  out.SetFromSystemTime(time);
}

int CDateTime::bParseDateTime(const char16_t* text, std::int32_t length) {
  std::u16string_view digits;
  if (length < 0) {
    digits = ZeroTerminated(text);
  } else if (text) {
    // A counted text still ends at a terminator inside the count, and is never read past the count.
    digits = std::u16string_view(text, static_cast<std::size_t>(length));
    digits = digits.substr(0, std::min(digits.find(u'\0'), digits.size()));
  }
  ParseDateTimeDigits(digits);
  return 1;
}

void CDateTime::ParseDateTimeDigits(std::u16string_view digits) {
  Clear();
  if (digits.empty()) return;
  m_nYear = ParseDigits(digits, 0, 4, 1) - 1900;
  if (digits.size() < 5) return;
  m_nMonth = std::max(ParseDigits(digits, 4, 2, 1) - 1, 0);
  if (digits.size() < 7) return;
  m_nDay = std::max(ParseDigits(digits, 6, 2, 1), 1);
  if (digits.size() < 9) return;
  ParseTimeDigits(digits.substr(digits[8] == u' ' ? 9 : 8));
}

int CDateTime::bParseTime(const char16_t* text, std::int32_t dst) {
  m_nDst = dst;
  ParseTimeDigits(ZeroTerminated(text));
  return 1;
}

void CDateTime::ParseTimeDigits(std::u16string_view text) {
  // A group the text does not reach is 0, like a missing digit, rather than whatever an earlier value left there:
  // a time read over the current date must not keep the clock's minutes.
  m_nHour = ParseDigits(text, 0, 2, 1);
  m_nMinute = text.size() >= 3 ? ParseDigits(text, 2, 2, 1) : 0;
  m_nSecond = text.size() >= 5 ? ParseDigits(text, 4, 2, 1) : 0;
  m_nMillisecond = text.size() >= 7 ? ParseDigits(text, 6, 3, 1) : 0;
}

namespace {

// Whether the digit at position `p` of a date-time digit text (0-3 year, 4-5 month, 6-7 day, 8-9 hour, 10-11
// minute, 12-13 second, 14-16 milliseconds) can be raised by one and stay a valid date-time digit. `digits` holds
// the positions from `first` on; the day positions are only reached with the year and month present.
bool bBelowLimit(const char16_t* digits, std::size_t n, std::size_t first, std::size_t p) {
  auto at = [&](std::size_t position) { return digits[position - first]; };
  char16_t d = at(p);
  switch (p) {
    case 16: case 15: case 14: case 13: case 11:
      return d < u'9';
    case 12: case 10:
      return d < u'5';
    case 9:
      // Hour units run to 9 below 20 and to 3 from 20 on; a flat limit of 3 would give 20:00 above 05 and let the
      // hours 06-19 into the range.
      return (at(8) < u'2' && d < u'9') || (at(8) == u'2' && d < u'3');
    case 8:
      return d < u'2';
    case 7: case 6: {
      // The month's length in the calendar its values live in (Julian leap years before 1583, as the runtime and the
      // server count them): 1500-02-29 is a day, and the least bound above 15000228.
      const std::u16string_view text(digits, n);
      const int month = ParseDigits(text, 4, 2, 1);
      const int length = nDaysInMonth(month == 0 ? 1 : month, ParseDigits(text, 0, 4, 1));
      if (length <= 0) return false;
      char16_t lengthTens = static_cast<char16_t>(u'0' + length / 10);
      char16_t lengthUnits = static_cast<char16_t>(u'0' + length % 10);
      if (p == 6) return d < lengthTens;
      return (at(6) < lengthTens && d < u'9') || (at(6) == lengthTens && d < lengthUnits);
    }
    case 5:
      // Month units run to 9 below October and to 2 from October on; a flat limit of 2 would put October above
      // March and let April to September into the range.
      return (at(4) == u'0' && d < u'9') || (at(4) == u'1' && d < u'2');
    case 4:
      return d == u'0';
    default:  // year digits
      return d < u'9';
  }
}

// Raises the last digit that is below its limit and drops the digits after it: the digits of the least value
// above every value that starts with them (missing digits read as 0). Answers the new count, 0 when every digit
// is at its limit.
std::size_t RaisePrefix(char16_t* digits, std::size_t n, std::size_t first) {
  for (std::size_t i = n; i-- > 0;) {
    if (bBelowLimit(digits, n, first, first + i)) {
      ++digits[i];
      return i + 1;
    }
  }
  return 0;
}

}  // namespace

int CDateTime::bSetAboveDateTimePrefix(const char16_t* text) {
  Clear();
  std::u16string_view whole = ZeroTerminated(text);
  if (whole.empty()) return 0;
  whole = whole.substr(0, 18);
  char16_t digits[18];
  std::size_t n = 0;
  for (std::size_t i = 0; i < whole.size(); ++i) {
    // The separator goes even when nothing follows it: "20240101 " is the prefix of one day.
    if (i == 8 && whole[i] == u' ') continue;
    digits[n++] = whole[i];
  }
  if (n == 0 || n > 17 || !IsAllDigits({digits, n})) return 0;
  n = RaisePrefix(digits, n, 0);
  if (n == 0) return 0;
  ParseDateTimeDigits({digits, n});
  return 1;
}

int CDateTime::bSetAboveTimePrefix(const char16_t* text) {
  Clear();
  std::u16string_view whole = ZeroTerminated(text);
  if (whole.empty() || whole.size() > kTimeDigits || !IsAllDigits(whole)) return 0;
  char16_t digits[kTimeDigits];
  // The time digits are the date-time digits from position 8 on; running out of them means nothing of the day
  // lies above (23 and later).
  std::size_t n = RaisePrefix(digits, whole.copy(digits, kTimeDigits), kDateDigits);
  if (n == 0) return 0;
  ParseTimeDigits({digits, n});
  return 1;
}

int CDateTime::bCalendarFieldsValid(bool withDate, bool withTime) const {
  if (withDate && (m_nYear < -1900 || m_nYear > 8099 || m_nMonth < 0 || m_nMonth > 11 || m_nDay < 1 || m_nDay > 31))
    return 0;
  if (withTime && (m_nHour < 0 || m_nHour > 23 || m_nMinute < 0 || m_nMinute > 59 || m_nSecond < 0 ||
                   m_nSecond > 59))
    return 0;
  return 1;
}

namespace {

std::u16string Widen(const char* text) {
  std::u16string result;
  for (; *text; ++text) result.push_back(static_cast<unsigned char>(*text));
  return result;
}

}  // namespace

// The calendar formatter of the C library refuses fields outside their ranges and then produces nothing; the text
// is empty in that case. Years are written with four digits, as the digit texts are read back.
std::u16string CDateTime::FormatDate() const {
  if (!bCalendarFieldsValid(true, false)) return {};
  char16_t digits[kDateDigits + 1];
  FormatDateDigitsW(digits, m_nYear + 1900, m_nMonth + 1, m_nDay, kDateDigits);
  return digits;
}

std::u16string CDateTime::FormatDateTime() const {
  if (!bCalendarFieldsValid(true, true)) return {};
  return FormatDate() + FormatTime();
}

std::u16string CDateTime::FormatTime() const {
  if (!bCalendarFieldsValid(false, true)) return {};
  char16_t digits[7];
  FormatTimeDigitsW(digits, m_nHour, m_nMinute, m_nSecond, 0, 6);
  char millisecond[16];
  std::snprintf(millisecond, sizeof millisecond, "%03d", static_cast<int>(m_nMillisecond));
  return digits + Widen(millisecond);
}
