#include "sql/date_escape_rewriter.h"

#include <cstdarg>
#include <memory>

#include "foundation/t_string.h"
#include "foundation/text_utils.h"
#include "foundation/wide_format.h"

namespace {

constexpr std::size_t kLiteralUnits = 200 / sizeof(char16_t);

char16_t* pszFormatLiteral(const char16_t* format, ...) {
  char16_t* literal = pszAllocW(kLiteralUnits);
  if (!literal) return nullptr;
  va_list arguments;
  va_start(arguments, format);
  nFormatWideV(literal, kLiteralUnits, format, arguments);
  va_end(arguments);
  return literal;
}

struct CFreeLiteral {
  void operator()(char16_t* text) const { FreeText(text); }
};
using LiteralPtr = std::unique_ptr<char16_t, CFreeLiteral>;

bool bIsTokenDelimiter(char16_t c, bool apostrophe) {
  return c == u' ' || c == u',' || c == u'\t' || c == u'\r' || c == u'\n' || (apostrophe && c == u'\'');
}

// The next token from *cursor (leading delimiters skipped); *cursor is left on the delimiter after it. A copy that
// memory refused sets `failed`: the token then reads as empty.
CTString NextToken(const char16_t*& cursor, bool apostrophe, bool& failed) {
  while (*cursor && bIsTokenDelimiter(*cursor, apostrophe)) ++cursor;
  const char16_t* start = cursor;
  while (*cursor && !bIsTokenDelimiter(*cursor, apostrophe)) ++cursor;
  CTString token(start, static_cast<std::size_t>(cursor - start));
  if (token.nGetLength() != static_cast<std::size_t>(cursor - start)) failed = true;
  return token;
}

// Reads `count` decimal digits from `text`; false when one is not a digit or the part is empty. A unit past the
// digits the caller has is given as '0' by the caller, not read here.
bool bReadPart(const char16_t* text, std::size_t count, std::int32_t& out) {
  if (count == 0) return false;
  // Nine digits always fit a 32-bit integer; a longer part is refused rather than wrapped.
  if (count > 9) return false;
  std::int32_t value = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (!bIsDigitW(text[i])) return false;
    value = value * 10 + (text[i] - u'0');
  }
  out = value;
  return true;
}

// The unit after what opens at `at`: a brace inside a string literal, a quoted name or a comment is their text, not an
// escape, and an apostrophe in a name or a comment opens no literal. A doubled quote stays inside its literal or
// name; what is left open runs to the end of the text.
char16_t* pszSkipText(char16_t* at) {
  const char16_t c = *at;
  if (c == u'\'' || c == u'"') {
    ++at;
    while (*at && (*at != c || at[1] == c)) at += *at == c ? 2 : 1;
    return *at ? at + 1 : at;
  }
  if (c == u'-' && at[1] == u'-') {
    while (*at && *at != u'\r' && *at != u'\n') ++at;
    return at;
  }
  if (c == u'/' && at[1] == u'*') {
    for (at += 2; *at; ++at) {
      if (at[0] == u'*' && at[1] == u'/') return at + 2;
    }
    return at;
  }
  return at + 1;
}

}  // namespace

char16_t* CDateEscapeRewriter::pszBuildDateMode1(std::int32_t year, std::int32_t month, std::int32_t day,
                                               std::size_t yearDigits) {
  // Only a year written with two digits is left to the server's century: year 24 written 0024 is year 24.
  if (year < 100 && yearDigits == 2) return pszFormatLiteral(u"TO_DATE('%02d%02d%02d','YYMMDD')", year, month, day);
  return pszFormatLiteral(u"TO_DATE('%04d%02d%02d','YYYYMMDD')", year, month, day);
}

char16_t* CDateEscapeRewriter::pszBuildDateMode2(std::int32_t year, std::int32_t month, std::int32_t day) {
  return pszFormatLiteral(u"CONVERT(datetime,'%04d/%02d/%02d')", year, month, day);
}

char16_t* CDateEscapeRewriter::pszBuildDateMode3(std::int32_t year, std::int32_t month, std::int32_t day) {
  return pszFormatLiteral(u"'%04d%02d%02d'", year, month, day);
}

char16_t* CDateEscapeRewriter::pszBuildTimeMode3(std::int32_t hours, std::int32_t minutes) {
  return pszFormatLiteral(u"'%02d%02d'", hours, minutes);
}

char16_t* CDateEscapeRewriter::pszBuildTimestampMode3(std::int32_t year, std::int32_t month, std::int32_t day,
                                                      std::int32_t hours, std::int32_t minutes, std::int32_t seconds,
                                                      std::int32_t milliseconds) {
  return pszFormatLiteral(u"'%04d%02d%02d%02d%02d%02d%03d'", year, month, day, hours, minutes, seconds, milliseconds);
}

char16_t* CDateEscapeRewriter::pszBuildDateMode4(std::int32_t year, std::int32_t month, std::int32_t day) {
  return pszFormatLiteral(u"'%04d-%02d-%02d'", year, month, day);
}

char16_t* CDateEscapeRewriter::pszLiteralForGroup(const char16_t* group) {
  const char16_t* cursor = group;
  const CTString keyword = NextToken(cursor, false, m_bFailed);
  if (keyword.bEqualsNoCase(u"d")) {
    const CTString token = NextToken(cursor, true, m_bFailed);
    const char16_t* t = token.pszGet();
    std::size_t end = token.nGetLength();
    if (end < 6) return nullptr;
    // Read from the end: the year is whatever is left before the month, so that two- and four-digit years and
    // texts with or without dashes all read.
    std::int32_t day = 0, month = 0, year = 0;
    if (!bReadPart(t + end - 2, 2, day)) return nullptr;
    end -= 2;
    if (t[end - 1] == u'-') --end;
    if (end < 2 || !bReadPart(t + end - 2, 2, month)) return nullptr;
    end -= 2;
    if (end > 0 && t[end - 1] == u'-') --end;
    if (!bReadPart(t, end, year)) return nullptr;
    switch (m_nMode) {
      case 1: return pszBuildDateMode1(year, month, day, end);
      case 2: return pszBuildDateMode2(year, month, day);
      case 3: return pszBuildDateMode3(year, month, day);
      case 4: return pszBuildDateMode4(year, month, day);
      default: return nullptr;
    }
  }
  if (m_nMode != 3) return nullptr;
  if (keyword.bEqualsNoCase(u"t")) {
    const CTString token = NextToken(cursor, true, m_bFailed);
    const std::size_t length = token.nGetLength();
    if (length < 8) return nullptr;
    const char16_t* t = token.pszGet();
    std::int32_t hours = 0, minutes = 0, seconds = 0, milliseconds = 0;
    char16_t fraction[3] = {u'0', u'0', u'0'};
    for (std::size_t i = 0; i < 3 && 9 + i < length; ++i) fraction[i] = t[9 + i];
    // The seconds and milliseconds are read so that a malformed time is left as written, though the literal
    // carries hours and minutes only.
    if (!bReadPart(t, 2, hours) || !bReadPart(t + 3, 2, minutes) || !bReadPart(t + 6, 2, seconds) ||
        !bReadPart(fraction, 3, milliseconds))
      return nullptr;
    return pszBuildTimeMode3(hours, minutes);
  }
  if (keyword.bEqualsNoCase(u"ts")) {
    while (*cursor && !bIsDigitW(*cursor)) ++cursor;
    const std::size_t length = nLengthW(cursor);
    if (length < 20) return nullptr;
    const char16_t* t = cursor;
    std::int32_t year = 0, month = 0, day = 0, hours = 0, minutes = 0, seconds = 0, milliseconds = 0;
    // A millisecond digit counts only when something follows it: the last character is the closing quote.
    char16_t fraction[3] = {u'0', u'0', u'0'};
    for (std::size_t i = 0; i < 3 && 20 + i + 1 < length; ++i) fraction[i] = t[20 + i];
    if (!bReadPart(t, 4, year) || !bReadPart(t + 5, 2, month) || !bReadPart(t + 8, 2, day) ||
        !bReadPart(t + 11, 2, hours) || !bReadPart(t + 14, 2, minutes) || !bReadPart(t + 17, 2, seconds) ||
        !bReadPart(fraction, 3, milliseconds))
      return nullptr;
    return pszBuildTimestampMode3(year, month, day, hours, minutes, seconds, milliseconds);
  }
  return nullptr;
}

char16_t* CDateEscapeRewriter::bRewrite(char16_t* text) {
  m_pszText = text;
  m_bChanged = 0;
  m_bFailed = false;
  if (!text) return nullptr;
  char16_t* search = text;
  for (;;) {
    char16_t* open = search;
    while (*open && *open != u'{') open = pszSkipText(open);
    if (!*open) break;
    char16_t* close = open + 1;
    while (*close && *close != u'}') ++close;
    if (!*close) return nullptr;
    m_pGroupStart = open;
    m_pGroupEnd = close;
    const CTString group(open + 1, static_cast<std::size_t>(close - open - 1));
    if (group.nGetLength() != static_cast<std::size_t>(close - open - 1)) m_bFailed = true;
    LiteralPtr literal(m_bFailed ? nullptr : pszLiteralForGroup(group.pszGet()));
    // A group that could not be read for want of memory is not a group left as written: the scan stops there.
    if (m_bFailed) return nullptr;
    if (literal) {
      const auto position = static_cast<std::uint32_t>(open - m_pszText);
      ReplaceSpan(position, static_cast<std::uint32_t>(close - open + 1), literal.get());
      // The edit may have moved the text: continue from the new address, after the literal.
      m_pGroupEnd = m_pszText + position + nLengthW(literal.get());
      m_bChanged = 1;
    }
    search = m_pGroupEnd;
  }
  return m_bChanged ? m_pszText : nullptr;
}
