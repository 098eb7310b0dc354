#include "standin/oci/ora_functions.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <optional>

#include "standin/oci/ora_datetime.h"
#include "standin/oci/ora_error.h"
#include "standin/oci/ora_number.h"
#include "standin/oci/session.h"
#include "standin/oci/text_codec.h"
#include "standin/oci/value.h"
#include "standin/oci/value_transfer.h"

namespace qzoci {

namespace {

Session& SessionOf(sqlite3_context* context) { return *static_cast<Session*>(sqlite3_user_data(context)); }

void Fail(sqlite3_context* context, int code, const std::string& detail = std::string()) {
  const std::string text = MakeOraError(code, detail).text;
  sqlite3_result_error(context, text.c_str(), static_cast<int>(text.size()));
}

std::string TextOf(sqlite3_value* v) {
  const unsigned char* t = sqlite3_value_text(v);
  return t ? std::string(reinterpret_cast<const char*>(t), static_cast<std::size_t>(sqlite3_value_bytes(v))) : "";
}

bool IsNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }
bool IsNumeric(sqlite3_value* v) {
  return sqlite3_value_type(v) == SQLITE_INTEGER || sqlite3_value_type(v) == SQLITE_FLOAT;
}

std::optional<Decimal> DecimalOf(sqlite3_value* v) {
  if (sqlite3_value_type(v) == SQLITE_INTEGER) return Decimal::FromInt(sqlite3_value_int64(v));
  if (sqlite3_value_type(v) == SQLITE_FLOAT) return Decimal::FromDouble(sqlite3_value_double(v));
  return Decimal::Parse(TextOf(v));
}

void ResultText(sqlite3_context* context, const std::string& text) {
  if (text.empty()) {
    sqlite3_result_null(context);  // Oracle has no empty text
  } else {
    sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
}

void ResultDecimal(sqlite3_context* context, const Decimal& d) { ValueOfNumber(d).Result(context); }

std::string NumericMarks(Session& s) {
  std::string marks = s.Nls("NLS_NUMERIC_CHARACTERS");
  return marks.size() >= 2 ? marks : ".,";
}

void Nvl(sqlite3_context* c, int, sqlite3_value** a) { sqlite3_result_value(c, IsNull(a[0]) ? a[1] : a[0]); }
void Nvl2(sqlite3_context* c, int, sqlite3_value** a) { sqlite3_result_value(c, IsNull(a[0]) ? a[2] : a[1]); }

bool SameValue(sqlite3_value* x, sqlite3_value* y) {
  if (IsNull(x) || IsNull(y)) return IsNull(x) && IsNull(y);
  if (IsNumeric(x) && IsNumeric(y)) return sqlite3_value_double(x) == sqlite3_value_double(y);
  // A NUMBER column's value is text ("5.0" as SQLite wrote it): against a number it compares as one.
  if (IsNumeric(x) || IsNumeric(y)) {
    const std::optional<Decimal> dx = DecimalOf(x);
    const std::optional<Decimal> dy = DecimalOf(y);
    if (dx && dy) return dx->Compare(*dy) == 0;
  }
  return TextOf(x) == TextOf(y);
}

void Decode(sqlite3_context* c, int n, sqlite3_value** a) {
  for (int k = 1; k + 1 < n; k += 2) {
    if (SameValue(a[0], a[k])) {
      sqlite3_result_value(c, a[k + 1]);
      return;
    }
  }
  if (n % 2 == 0) {
    sqlite3_result_value(c, a[n - 1]);
  } else {
    sqlite3_result_null(c);
  }
}

void Substr(sqlite3_context* c, int n, sqlite3_value** a) {
  if (IsNull(a[0]) || IsNull(a[1]) || (n > 2 && IsNull(a[2]))) {
    sqlite3_result_null(c);
    return;
  }
  const std::string s = TextOf(a[0]);
  const long long length = static_cast<long long>(Utf8Length(s));
  long long pos = static_cast<long long>(std::trunc(sqlite3_value_double(a[1])));
  if (pos == 0) pos = 1;
  if (pos < 0) pos = length + pos + 1;
  if (pos < 1 || pos > length) {
    sqlite3_result_null(c);
    return;
  }
  long long count = n > 2 ? static_cast<long long>(std::trunc(sqlite3_value_double(a[2]))) : length;
  if (count < 1) {
    sqlite3_result_null(c);
    return;
  }
  const std::size_t from = Utf8Offset(s, static_cast<std::size_t>(pos - 1));
  const std::size_t to = Utf8Offset(s, static_cast<std::size_t>(std::min(length, pos - 1 + count)));
  ResultText(c, s.substr(from, to - from));
}

void Instr(sqlite3_context* c, int n, sqlite3_value** a) {
  for (int k = 0; k < n; ++k) {
    if (IsNull(a[k])) {
      sqlite3_result_null(c);
      return;
    }
  }
  const std::string s = TextOf(a[0]);
  const std::string sub = TextOf(a[1]);
  long long pos = n > 2 ? sqlite3_value_int64(a[2]) : 1;
  long long occurrence = n > 3 ? sqlite3_value_int64(a[3]) : 1;
  if (pos == 0 || occurrence < 1 || sub.empty()) {
    sqlite3_result_int64(c, 0);
    return;
  }
  const long long length = static_cast<long long>(Utf8Length(s));
  std::vector<long long> hits;
  for (long long k = 0; k < length; ++k) {
    const std::size_t at = Utf8Offset(s, static_cast<std::size_t>(k));
    if (s.compare(at, sub.size(), sub) == 0) hits.push_back(k + 1);
  }
  long long answer = 0;
  if (pos > 0) {
    long long seen = 0;
    for (const long long h : hits) {
      if (h >= pos && ++seen == occurrence) {
        answer = h;
        break;
      }
    }
  } else {
    const long long start = length + pos + 1;
    long long seen = 0;
    for (auto it = hits.rbegin(); it != hits.rend(); ++it) {
      if (*it <= start && ++seen == occurrence) {
        answer = *it;
        break;
      }
    }
  }
  sqlite3_result_int64(c, answer);
}

void Pad(sqlite3_context* c, int n, sqlite3_value** a, bool left) {
  if (IsNull(a[0]) || IsNull(a[1])) {
    sqlite3_result_null(c);
    return;
  }
  const std::string s = TextOf(a[0]);
  const std::string fill = n > 2 ? TextOf(a[2]) : " ";
  const long long width = sqlite3_value_int64(a[1]);
  if (width <= 0 || fill.empty()) {
    sqlite3_result_null(c);
    return;
  }
  const long long have = static_cast<long long>(Utf8Length(s));
  if (have >= width) {
    ResultText(c, s.substr(0, Utf8Offset(s, static_cast<std::size_t>(width))));
    return;
  }
  std::string padding;
  const long long fillLength = static_cast<long long>(Utf8Length(fill));
  for (long long k = 0; k < width - have; ++k) {
    const std::size_t from = Utf8Offset(fill, static_cast<std::size_t>(k % fillLength));
    const std::size_t to = Utf8Offset(fill, static_cast<std::size_t>(k % fillLength + 1));
    padding += fill.substr(from, to - from);
  }
  ResultText(c, left ? padding + s : s + padding);
}
void Lpad(sqlite3_context* c, int n, sqlite3_value** a) { Pad(c, n, a, true); }
void Rpad(sqlite3_context* c, int n, sqlite3_value** a) { Pad(c, n, a, false); }

std::optional<DateTime> DateOf(sqlite3_value* v) {
  if (sqlite3_value_type(v) != SQLITE_TEXT) return std::nullopt;
  return DateTime::FromText(TextOf(v));
}

void ToChar(sqlite3_context* c, int n, sqlite3_value** a) {
  Session& s = SessionOf(c);
  if (IsNull(a[0])) {
    sqlite3_result_null(c);
    return;
  }
  const std::string mask = n > 1 && !IsNull(a[1]) ? TextOf(a[1]) : std::string();
  if (auto date = DateOf(a[0])) {
    const bool timestamp = TextOf(a[0]).size() > 19;
    const std::string m = !mask.empty() ? mask : s.Nls(timestamp ? "NLS_TIMESTAMP_FORMAT" : "NLS_DATE_FORMAT");
    ResultText(c, FormatDateMask(*date, m));
    return;
  }
  if (IsNumeric(a[0]) || !mask.empty()) {
    std::optional<Decimal> d = DecimalOf(a[0]);
    if (!d) {
      Fail(c, 1722);
      return;
    }
    std::string marks = NumericMarks(s);
    if (n > 2 && !IsNull(a[2])) {
      const std::string nls = TextOf(a[2]);
      const std::size_t q = nls.find('\'');
      if (q != std::string::npos && q + 2 < nls.size()) marks = nls.substr(q + 1, 2);
    }
    if (!mask.empty()) {
      ResultText(c, FormatNumberMask(*d, mask, marks));
      return;
    }
    // The server writes no 0 before the decimal mark of a number between -1 and 1: ".5", "-.25".
    std::string text = d->ToText(marks[0]);
    const std::size_t sign = text[0] == '-' ? 1 : 0;
    if (text.size() > sign + 1 && text[sign] == '0' && text[sign + 1] == marks[0]) text.erase(sign, 1);
    ResultText(c, text);
    return;
  }
  sqlite3_result_value(c, a[0]);
}

void ToDateLike(sqlite3_context* c, int n, sqlite3_value** a, bool timestamp) {
  Session& s = SessionOf(c);
  if (IsNull(a[0])) {
    sqlite3_result_null(c);
    return;
  }
  std::optional<DateTime> value = DateOf(a[0]);
  if (!value) {
    const std::string mask =
        n > 1 && !IsNull(a[1]) ? TextOf(a[1]) : s.Nls(timestamp ? "NLS_TIMESTAMP_FORMAT" : "NLS_DATE_FORMAT");
    value = ParseDateMask(TextOf(a[0]), mask);
  }
  if (!value) {
    Fail(c, 1858);
    return;
  }
  if (!timestamp) value->nanos = 0;
  ResultText(c, timestamp ? value->ToTimestampText() : value->ToDateText());
}
void ToDate(sqlite3_context* c, int n, sqlite3_value** a) { ToDateLike(c, n, a, false); }
void ToTimestamp(sqlite3_context* c, int n, sqlite3_value** a) { ToDateLike(c, n, a, true); }

void ToNumber(sqlite3_context* c, int n, sqlite3_value** a) {
  if (IsNull(a[0])) {
    sqlite3_result_null(c);
    return;
  }
  if (IsNumeric(a[0]) && n == 1) {
    sqlite3_result_value(c, a[0]);
    return;
  }
  const std::string marks = NumericMarks(SessionOf(c));
  std::optional<Decimal> d = n > 1 && !IsNull(a[1]) ? ParseNumberMask(TextOf(a[0]), TextOf(a[1]), marks)
                                                     : Decimal::Parse(TextOf(a[0]), marks[0]);
  if (!d) {
    Fail(c, 1722);
    return;
  }
  ResultDecimal(c, *d);
}

void Trunc(sqlite3_context* c, int n, sqlite3_value** a) {
  if (IsNull(a[0])) {
    sqlite3_result_null(c);
    return;
  }
  if (auto date = DateOf(a[0])) {
    const std::string unit = n > 1 ? ToUpperAscii(TextOf(a[1])) : "DD";
    DateTime d = *date;
    d.nanos = 0;
    d.second = 0;
    if (unit != "MI") d.minute = 0;
    if (unit != "MI" && unit != "HH" && unit != "HH24") d.hour = 0;
    if (unit == "MM" || unit == "MON" || unit == "MONTH" || unit == "YYYY" || unit == "YEAR" || unit == "Y") d.day = 1;
    if (unit == "YYYY" || unit == "YEAR" || unit == "Y") d.month = 1;
    ResultText(c, d.ToDateText());
    return;
  }
  std::optional<Decimal> d = DecimalOf(a[0]);
  if (!d) {
    Fail(c, 1722);
    return;
  }
  const int decimals = n > 1 ? static_cast<int>(sqlite3_value_int64(a[1])) : 0;
  Decimal t = *d;
  const int keep = t.point + decimals;
  if (keep < static_cast<int>(t.digits.size())) t.digits = keep > 0 ? t.digits.substr(0, static_cast<std::size_t>(keep)) : "";
  if (t.digits.empty()) t = Decimal();
  ResultDecimal(c, Decimal::Parse(t.ToText()).value_or(Decimal()));
}

void AddMonths(sqlite3_context* c, int, sqlite3_value** a) {
  std::optional<DateTime> d = DateOf(a[0]);
  if (!d || IsNull(a[1])) {
    sqlite3_result_null(c);
    return;
  }
  const long long months = d->year * 12LL + (d->month - 1) + sqlite3_value_int64(a[1]);
  d->year = static_cast<int>(months / 12);
  d->month = static_cast<int>(months % 12) + 1;
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int last = days[d->month - 1];
  if (d->month == 2 && ((d->year % 4 == 0 && d->year % 100 != 0) || d->year % 400 == 0)) last = 29;
  if (d->day > last) d->day = last;
  ResultText(c, d->ToDateText());
}

void SysContext(sqlite3_context* c, int, sqlite3_value** a) {
  Session& s = SessionOf(c);
  const std::string space = ToUpperAscii(TextOf(a[0]));
  const std::string name = ToUpperAscii(TextOf(a[1]));
  if (space != "USERENV") {
    sqlite3_result_null(c);
    return;
  }
  std::string value;
  if (name == "CURRENT_SCHEMA") value = s.CurrentSchema();
  else if (name == "SESSION_USER" || name == "CURRENT_USER") value = s.User();
  else if (name == "DB_NAME" || name == "INSTANCE_NAME" || name == "SERVICE_NAME") value = s.Db().Name();
  else if (name == "SESSIONID" || name == "SID") value = std::to_string(s.Id());
  else if (name == "LANGUAGE") value = s.Nls("NLS_LANGUAGE") + "_" + s.Nls("NLS_TERRITORY") + ".AL32UTF8";
  else if (name == "NLS_DATE_FORMAT") value = s.Nls("NLS_DATE_FORMAT");
  else if (name == "SERVER_HOST" || name == "HOST" || name == "TERMINAL") value = "localhost";
  else if (name == "ISDBA") value = s.User() == "SYSTEM" ? "TRUE" : "FALSE";
  ResultText(c, value);
}

void SysDate(sqlite3_context* c, int, sqlite3_value**) {
  DateTime now = DateTime::Now();
  now.nanos = 0;
  ResultText(c, now.ToDateText());
}

void SysTimestamp(sqlite3_context* c, int, sqlite3_value**) {
  DateTime now = DateTime::Now();
  now.hasZone = true;
  now.zoneMinutes = LocalOffsetMinutes(std::time(nullptr));
  ResultText(c, now.ToTimestampText());
}

void User(sqlite3_context* c, int, sqlite3_value**) { ResultText(c, SessionOf(c).User()); }

void Rowid(sqlite3_context* c, int, sqlite3_value** a) {
  if (IsNull(a[0])) {
    sqlite3_result_null(c);
    return;
  }
  ResultText(c, RowidText(sqlite3_value_int64(a[0])));
}

void Identity(sqlite3_context* c, int, sqlite3_value** a) { sqlite3_result_value(c, a[0]); }

void NextVal(sqlite3_context* c, int, sqlite3_value** a) {
  std::int64_t value = 0;
  OraError error = SessionOf(c).NextValue(TextOf(a[0]), value);
  if (error) {
    sqlite3_result_error(c, error.text.c_str(), -1);
    return;
  }
  sqlite3_result_int64(c, value);
}

void CurrVal(sqlite3_context* c, int, sqlite3_value** a) {
  std::int64_t value = 0;
  OraError error = SessionOf(c).CurrentValue(TextOf(a[0]), value);
  if (error) {
    sqlite3_result_error(c, error.text.c_str(), -1);
    return;
  }
  sqlite3_result_int64(c, value);
}

void EmptyClob(sqlite3_context* c, int, sqlite3_value**) { sqlite3_result_text(c, "", 0, SQLITE_STATIC); }
void EmptyBlob(sqlite3_context* c, int, sqlite3_value**) { sqlite3_result_zeroblob(c, 0); }

void Concat(sqlite3_context* c, int, sqlite3_value** a) { ResultText(c, TextOf(a[0]) + TextOf(a[1])); }

void Extreme(sqlite3_context* c, int n, sqlite3_value** a, bool greatest) {
  sqlite3_value* best = nullptr;
  for (int k = 0; k < n; ++k) {
    if (IsNull(a[k])) {
      sqlite3_result_null(c);
      return;
    }
    if (!best) {
      best = a[k];
      continue;
    }
    const bool numeric = IsNumeric(a[k]) && IsNumeric(best);
    const bool more = numeric ? sqlite3_value_double(a[k]) > sqlite3_value_double(best) : TextOf(a[k]) > TextOf(best);
    const bool less = numeric ? sqlite3_value_double(a[k]) < sqlite3_value_double(best) : TextOf(a[k]) < TextOf(best);
    if (greatest ? more : less) best = a[k];
  }
  sqlite3_result_value(c, best);
}
void Greatest(sqlite3_context* c, int n, sqlite3_value** a) { Extreme(c, n, a, true); }
void Least(sqlite3_context* c, int n, sqlite3_value** a) { Extreme(c, n, a, false); }

void Chr(sqlite3_context* c, int, sqlite3_value** a) {
  const std::string s(1, static_cast<char>(sqlite3_value_int64(a[0]) & 0x7F));
  ResultText(c, s);
}

void Ascii(sqlite3_context* c, int, sqlite3_value** a) {
  const std::string s = TextOf(a[0]);
  if (s.empty()) {
    sqlite3_result_null(c);
  } else {
    sqlite3_result_int64(c, static_cast<unsigned char>(s[0]));
  }
}

void Mod(sqlite3_context* c, int, sqlite3_value** a) {
  if (IsNull(a[0]) || IsNull(a[1])) {
    sqlite3_result_null(c);
    return;
  }
  if (sqlite3_value_type(a[0]) == SQLITE_INTEGER && sqlite3_value_type(a[1]) == SQLITE_INTEGER) {
    const std::int64_t d = sqlite3_value_int64(a[1]);
    sqlite3_result_int64(c, d == 0 ? sqlite3_value_int64(a[0]) : sqlite3_value_int64(a[0]) % d);
    return;
  }
  const double d = sqlite3_value_double(a[1]);
  sqlite3_result_double(c, d == 0 ? sqlite3_value_double(a[0]) : std::fmod(sqlite3_value_double(a[0]), d));
}

// TRIM, LTRIM, RTRIM and REPLACE as SQLite has them, but an empty result is NULL, as Oracle has no empty text.
void TextOrNull(sqlite3_context* c, int n, sqlite3_value** a, const char* sql) {
  const std::string name = sql;
  for (int k = 0; k < n; ++k) {
    // REPLACE(s, NULL) and REPLACE(s, x, NULL) keep or drop text; any other NULL argument gives NULL.
    if (IsNull(a[k]) && (k == 0 || name != "replace")) {
      sqlite3_result_null(c);
      return;
    }
  }
  const std::string chars = n > 1 ? TextOf(a[1]) : " ";
  std::string s = TextOf(a[0]);
  if (name == "replace") {
    const std::string to = n > 2 ? TextOf(a[2]) : std::string();
    if (!chars.empty()) {
      for (std::size_t at = s.find(chars); at != std::string::npos; at = s.find(chars, at + to.size())) {
        s.replace(at, chars.size(), to);
      }
    }
  } else {
    if (name != "rtrim") s.erase(0, s.find_first_not_of(chars) == std::string::npos ? s.size() : s.find_first_not_of(chars));
    if (name != "ltrim") {
      const std::size_t last = s.find_last_not_of(chars);
      s.erase(last == std::string::npos ? 0 : last + 1);
    }
  }
  ResultText(c, s);
}
void Trim(sqlite3_context* c, int n, sqlite3_value** a) { TextOrNull(c, n, a, "trim"); }
void Ltrim(sqlite3_context* c, int n, sqlite3_value** a) { TextOrNull(c, n, a, "ltrim"); }
void Rtrim(sqlite3_context* c, int n, sqlite3_value** a) { TextOrNull(c, n, a, "rtrim"); }
void Replace(sqlite3_context* c, int n, sqlite3_value** a) { TextOrNull(c, n, a, "replace"); }

void Bfilename(sqlite3_context* c, int, sqlite3_value** a) {
  ResultText(c, ToUpperAscii(TextOf(a[0])) + "/" + TextOf(a[1]));
}

// The bytes a hexadecimal text stands for, as a server converts text to RAW: an odd count of digits has a leading
// zero; nothing when a character is no hexadecimal digit (ORA-01465 for the caller).
std::optional<std::string> BytesOfHex(const std::string& hex) {
  auto digit = [](char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    return -1;
  };
  std::string bytes;
  int high = hex.size() % 2 != 0 ? 0 : -1;
  for (const char ch : hex) {
    const int d = digit(ch);
    if (d < 0) return std::nullopt;
    if (high < 0) {
      high = d;
    } else {
      bytes += static_cast<char>(high * 16 + d);
      high = -1;
    }
  }
  return bytes;
}

void ResultBytes(sqlite3_context* context, const std::string& bytes) {
  if (bytes.empty()) return sqlite3_result_null(context);  // an empty RAW is NULL, as an empty text is
  sqlite3_result_blob(context, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

// A RAW argument is its bytes; any other value is read as hexadecimal text.
std::optional<std::string> RawOf(sqlite3_value* v) {
  if (sqlite3_value_type(v) == SQLITE_BLOB) {
    const void* data = sqlite3_value_blob(v);
    return data ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(sqlite3_value_bytes(v)))
                : std::string();
  }
  return BytesOfHex(TextOf(v));
}

void HexToRaw(sqlite3_context* c, int, sqlite3_value** a) {
  if (IsNull(a[0])) return sqlite3_result_null(c);
  const std::optional<std::string> bytes = RawOf(a[0]);
  if (!bytes) return Fail(c, 1465);
  ResultBytes(c, *bytes);
}

void RawToHex(sqlite3_context* c, int, sqlite3_value** a) {
  if (IsNull(a[0])) return sqlite3_result_null(c);
  const std::optional<std::string> bytes = RawOf(a[0]);
  if (!bytes) return Fail(c, 1465);
  static const char kHex[] = "0123456789ABCDEF";
  std::string hex;
  for (const char b : *bytes) {
    hex += kHex[(static_cast<unsigned char>(b) >> 4) & 15];
    hex += kHex[static_cast<unsigned char>(b) & 15];
  }
  ResultText(c, hex);
}

struct Registration {
  const char* name;
  int args;
  void (*function)(sqlite3_context*, int, sqlite3_value**);
};

const Registration kFunctions[] = {
    {"NVL", 2, Nvl},
    {"NVL2", 3, Nvl2},
    {"DECODE", -1, Decode},
    {"SUBSTR", 2, Substr},
    {"SUBSTR", 3, Substr},
    {"INSTR", 2, Instr},
    {"INSTR", 3, Instr},
    {"INSTR", 4, Instr},
    {"LPAD", 2, Lpad},
    {"LPAD", 3, Lpad},
    {"RPAD", 2, Rpad},
    {"RPAD", 3, Rpad},
    {"TO_CHAR", 1, ToChar},
    {"TO_CHAR", 2, ToChar},
    {"TO_CHAR", 3, ToChar},
    {"TO_DATE", 1, ToDate},
    {"TO_DATE", 2, ToDate},
    {"TO_DATE", 3, ToDate},
    {"TO_TIMESTAMP", 1, ToTimestamp},
    {"TO_TIMESTAMP", 2, ToTimestamp},
    {"TO_NUMBER", 1, ToNumber},
    {"TO_NUMBER", 2, ToNumber},
    {"TRUNC", 1, Trunc},
    {"TRUNC", 2, Trunc},
    {"ADD_MONTHS", 2, AddMonths},
    {"SYS_CONTEXT", 2, SysContext},
    {"qz_sysdate", 0, SysDate},
    {"qz_systimestamp", 0, SysTimestamp},
    {"qz_user", 0, User},
    {"qz_rowid", 1, Rowid},
    {"ROWIDTOCHAR", 1, Identity},
    {"CHARTOROWID", 1, Identity},
    {"qz_nextval", 1, NextVal},
    {"qz_currval", 1, CurrVal},
    {"EMPTY_CLOB", 0, EmptyClob},
    {"EMPTY_BLOB", 0, EmptyBlob},
    {"CONCAT", 2, Concat},
    {"GREATEST", -1, Greatest},
    {"LEAST", -1, Least},
    {"CHR", 1, Chr},
    {"ASCII", 1, Ascii},
    {"MOD", 2, Mod},
    {"BFILENAME", 2, Bfilename},
    {"TRIM", 1, Trim},
    {"TRIM", 2, Trim},
    {"LTRIM", 1, Ltrim},
    {"LTRIM", 2, Ltrim},
    {"RTRIM", 1, Rtrim},
    {"RTRIM", 2, Rtrim},
    {"REPLACE", 2, Replace},
    {"REPLACE", 3, Replace},
    {"HEXTORAW", 1, HexToRaw},
    {"RAWTOHEX", 1, RawToHex},
};

// The numbers SQL computes exactly where SQLite would go through a double. SUM adds the decimal values (a value
// that is no number adds what SQLite reads in it, as its own SUM does); it also runs as a window function.
struct SumState {
  Decimal* total;
  bool any;
};

Decimal NumberOfArgument(sqlite3_value* v) {
  if (std::optional<Decimal> d = DecimalOf(v)) return *d;
  return Decimal::FromDouble(sqlite3_value_double(v));
}

void SumStep(sqlite3_context* c, int, sqlite3_value** a) {
  auto* state = static_cast<SumState*>(sqlite3_aggregate_context(c, sizeof(SumState)));
  if (!state) {
    sqlite3_result_error_nomem(c);
    return;
  }
  if (!state->total) state->total = new Decimal();
  if (IsNull(a[0])) return;
  *state->total = state->total->Plus(NumberOfArgument(a[0]));
  state->any = true;
}

void SumInverse(sqlite3_context* c, int, sqlite3_value** a) {
  auto* state = static_cast<SumState*>(sqlite3_aggregate_context(c, sizeof(SumState)));
  if (!state || !state->total || IsNull(a[0])) return;
  *state->total = state->total->Plus(NumberOfArgument(a[0]).Negated());
}

void SumValue(sqlite3_context* c) {
  auto* state = static_cast<SumState*>(sqlite3_aggregate_context(c, 0));
  if (!state || !state->any) {
    sqlite3_result_null(c);
  } else {
    ResultDecimal(c, *state->total);
  }
}

void SumFinal(sqlite3_context* c) {
  SumValue(c);
  auto* state = static_cast<SumState*>(sqlite3_aggregate_context(c, 0));
  if (state) {
    delete state->total;
    state->total = nullptr;
  }
}

// qz_add(a, b): "MAX(x)+1" as the rewrite writes it, exact beyond what a double holds.
void Add(sqlite3_context* c, int, sqlite3_value** a) {
  if (IsNull(a[0]) || IsNull(a[1])) {
    sqlite3_result_null(c);
    return;
  }
  ResultDecimal(c, NumberOfArgument(a[0]).Plus(NumberOfArgument(a[1])));
}

// QZ_NUMBER, the collation of the NUMBER columns, whose values are texts: numbers compare by value, before any text
// that is no number; such texts compare as bytes.
int CompareNumbers(void*, int lengthA, const void* a, int lengthB, const void* b) {
  const std::string x(static_cast<const char*>(a), static_cast<std::size_t>(lengthA));
  const std::string y(static_cast<const char*>(b), static_cast<std::size_t>(lengthB));
  const std::optional<Decimal> dx = Decimal::Parse(x);
  const std::optional<Decimal> dy = Decimal::Parse(y);
  if (dx && dy) return dx->Compare(*dy);
  if (dx || dy) return dx ? -1 : 1;
  return x.compare(y) < 0 ? -1 : x == y ? 0 : 1;
}

}  // namespace

std::string RowidText(std::int64_t rowid) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out = "AAAQZA";
  std::uint64_t value = static_cast<std::uint64_t>(rowid);
  std::string tail(12, 'A');
  for (int k = 11; k >= 0; --k) {
    tail[static_cast<std::size_t>(k)] = kDigits[value & 63];
    value >>= 6;
  }
  return out + tail;
}

namespace {
// The CHECK of an INTERVAL column (MapDdlTypes): a server converts no number to an interval, so a value bound as one
// is refused as the server refuses it; an interval arrives through its descriptor as its text. The column's leading
// precision and kind follow (columns made before they were kept pass the value alone): a leading field of more digits
// than the precision is refused.
void IntervalOnly(sqlite3_context* context, int argc, sqlite3_value** argv) {
  const int type = sqlite3_value_type(argv[0]);
  if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) return Fail(context, 932, "expected INTERVAL got NUMBER");
  if (argc >= 3 && type == SQLITE_TEXT) {
    const std::optional<Interval> v = Interval::FromText(TextOf(argv[0]), sqlite3_value_int(argv[2]) != 0);
    const std::int64_t leading = v ? (v->yearToMonth ? v->years : v->days) : 0;
    if (leading >= static_cast<std::int64_t>(std::pow(10.0, sqlite3_value_int(argv[1])))) return Fail(context, 1873);
  }
  sqlite3_result_int(context, 1);
}

// qz_fit_number(value, precision, scale): what a NUMBER(precision, scale) column keeps of a value, as its text; a
// precision of 0 is a NUMBER without one. The triggers of the NUMBER columns write it back (Session::FitColumns).
void FitNumber(sqlite3_context* context, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(context);
  const std::optional<Decimal> d = DecimalOf(argv[0]);
  // A text that is no number is kept as it is: the stand-in does not check what a NUMBER column is given.
  if (!d) return sqlite3_result_value(context, argv[0]);
  // Oracle's largest NUMBER is below 10^126.
  if (d->point > 126) return Fail(context, 1426);
  const int precision = sqlite3_value_int(argv[1]);
  const int scale = sqlite3_value_int(argv[2]);
  Decimal kept = precision > 0 ? d->Rounded(scale) : d->RoundedToNumber();
  if (precision > 0 && !kept.IsZero() && kept.point > precision - scale) {
    return Fail(context, 1438);
  }
  ResultText(context, kept.ToText());
}

// qz_fit_float(value, binary precision): what a FLOAT(b) column keeps: b binary digits hold ceil(b * 0.30103)
// decimal ones, so the value is rounded half away from zero to that many significant digits; no FLOAT reaches
// 10^126 either. The triggers of the FLOAT columns write it back, as for NUMBER.
void FitFloat(sqlite3_context* context, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(context);
  const std::optional<Decimal> d = DecimalOf(argv[0]);
  if (!d) return sqlite3_result_value(context, argv[0]);
  const int bits = std::max(1, std::min(sqlite3_value_int(argv[1]), 126));
  const int digits = (bits * 30103 + 99999) / 100000;
  const Decimal kept = d->Rounded(digits - d->point).RoundedToNumber();
  if (kept.point > 126) return Fail(context, 1426);
  ResultDecimal(context, kept);
}

// qz_fit_timestamp(value, fraction digits): a TIMESTAMP(f) column keeps f digits of the second's fraction, rounded
// half up; a rounding that carries past the calendar's last second is refused as a year out of range. A value kept
// to f digits, or a text that is no timestamp, stays as it is.
void FitTimestamp(sqlite3_context* context, int, sqlite3_value** argv) {
  std::optional<DateTime> d;
  if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) d = DateTime::FromText(TextOf(argv[0]));
  if (!d) return sqlite3_result_value(context, argv[0]);
  const std::uint32_t before = d->nanos;
  if (!d->RoundFraction(sqlite3_value_int(argv[1]))) return Fail(context, 1841);
  if (d->nanos == before) return sqlite3_result_value(context, argv[0]);
  ResultText(context, d->ToTimestampText());
}

// qz_fit_interval(value, fraction digits): the same for an INTERVAL DAY TO SECOND(f); the column's CHECK then
// refuses days the carry took past the leading precision.
void FitInterval(sqlite3_context* context, int, sqlite3_value** argv) {
  std::optional<Interval> v;
  if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) v = Interval::FromText(TextOf(argv[0]), false);
  if (!v) return sqlite3_result_value(context, argv[0]);
  const Interval before = *v;
  v->RoundFraction(sqlite3_value_int(argv[1]));
  if (v->nanos == before.nanos && v->seconds == before.seconds) return sqlite3_result_value(context, argv[0]);
  ResultText(context, v->ToText());
}

// qz_fit_raw(value): a text written into a RAW column is hexadecimal, and the column keeps its bytes.
void FitRaw(sqlite3_context* context, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) return sqlite3_result_value(context, argv[0]);
  const std::optional<std::string> bytes = BytesOfHex(TextOf(argv[0]));
  if (!bytes) return Fail(context, 1465);
  ResultBytes(context, *bytes);
}
}  // namespace

void RegisterOracleFunctions(sqlite3* connection, Session* session) {
  for (const Registration& r : kFunctions) {
    sqlite3_create_function_v2(connection, r.name, r.args, SQLITE_UTF8, session, r.function, nullptr, nullptr,
                               nullptr);
  }
  sqlite3_create_function_v2(connection, "qz_add", 2, SQLITE_UTF8, session, Add, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(connection, "qz_interval_only", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                             IntervalOnly, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(connection, "qz_fit_number", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, FitNumber,
                             nullptr, nullptr, nullptr);
  const struct {
    const char* name;
    int args;
    void (*function)(sqlite3_context*, int, sqlite3_value**);
  } fits[] = {{"qz_fit_float", 2, FitFloat},
              {"qz_fit_timestamp", 2, FitTimestamp},
              {"qz_fit_interval", 2, FitInterval},
              {"qz_fit_raw", 1, FitRaw}};
  for (const auto& fit : fits) {
    sqlite3_create_function_v2(connection, fit.name, fit.args, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               fit.function, nullptr, nullptr, nullptr);
  }
  sqlite3_create_window_function(connection, "SUM", 1, SQLITE_UTF8, session, SumStep, SumFinal, SumValue, SumInverse,
                                 nullptr);
  sqlite3_create_collation_v2(connection, "QZ_NUMBER", SQLITE_UTF8, nullptr, CompareNumbers, nullptr);
}

}  // namespace qzoci
