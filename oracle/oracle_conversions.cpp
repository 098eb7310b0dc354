// The Oracle field value's number, date, timestamp and interval conversions. Numbers cross as text through fixed
// masks (with the OCI7 set the driver reads and writes the number's own bytes through the same masks), dates as the 7-byte Oracle date or the 8-byte OCIDate, timestamps through the
// value's datetime descriptor and a 17-digit text, intervals as a count of milliseconds.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "foundation/date_time.h"
#include "foundation/error_holder.h"
#include "foundation/t_string.h"
#include "foundation/x_error.h"
#include "host/host_services.h"
#include "host/host_value.h"
#include "oracle/client/oci_value_calls.h"
#include "oracle/oracle_connection.h"
#include "oracle/oracle_field_value.h"

namespace {

constexpr char16_t INTEGER_MASK[] = u"99999999999999999999";
constexpr char16_t DECIMAL_MASK[] = u"99999999999999999999D999999";

// The whole numbers of the runtime: read and written as an Oracle number through the integer mask.
bool bIsIntegerHostType(std::uint8_t type) {
  return type == 2 || type == 3 || type == 4 || type == 5 || type == 6 || type == 7 || type == 8 || type == 9 ||
         type == 14;
}

// A view into `text`, which must outlive it: a value is read per fetched row, so no copy is made.
std::u16string_view Trimmed(const char16_t* text) {
  const std::u16string_view all(text ? text : u"");
  const auto first = all.find_first_not_of(u' ');
  if (first == std::u16string_view::npos) return all.substr(all.size());  // empty, yet pointing into the text
  const auto last = all.find_last_not_of(u' ');
  return all.substr(first, last - first + 1);
}

// The digits of a number's text before its point, leading zeros left out ("-0.5" has none).
std::uint32_t nWholeDigits(std::u16string_view text) {
  std::size_t i = !text.empty() && (text[0] == u'-' || text[0] == u'+') ? 1 : 0;
  while (i < text.size() && text[i] == u'0') ++i;
  std::uint32_t digits = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) ++digits;
  return digits;
}

std::u16string Nines(std::uint32_t count) { return std::u16string(count, u'9'); }

std::u16string WideTextOf(CHostValue& value) {
  const char16_t* text = nullptr;
  if (bHostFailed(value.nGetWideText(&text)) || !text) return {};
  return text;
}

bool bAllZeros(const std::u16string& text, std::size_t count) {
  const std::size_t n = text.size() < count ? text.size() : count;
  for (std::size_t i = 0; i < n; ++i) {
    if (text[i] != u'0') return false;
  }
  return true;
}

// The layout of the text a date-time is written in under a date-format mask (CFieldValue::bSetDateTimeText): Y, M,
// D, h, n and s stand for the digits of the year, month, day, hours, minutes and seconds, f for the digits of the
// fraction; any other character stands for itself.
const char16_t* pszLayoutOfMask(const char16_t* mask) {
  const std::u16string m = mask ? mask : u"";
  if (m == u"DD-MM-YYYY HH24:MI:SS") return u"DD-MM-YYYY hh:nn:ss";
  if (m == u"AAAA-MM-JJ HH:MM:SS.CCC") return u"YYYY-MM-DD hh:nn:ss.fff";
  if (m == u"AAAAMMJJ HH:MM:SS.CCC") return u"YYYYMMDD hh:nn:ss.fff";
  if (m == u"YYYYMMDDHH24MISS") return u"YYYYMMDDhhnnss";
  if (m == u"YYYYMMDD HH24MISS") return u"YYYYMMDD hhnnss";
  if (m == u"YYYYMMDD HH24:MI:SS") return u"YYYYMMDD hh:nn:ss";
  if (m == u"YYYYMMDDHH24MISSFF") return u"YYYYMMDDhhnnssff";
  return u"YYYYMMDDhhnnssfff";
}

struct SParsedDate {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// The text read by a layout; false when it does not follow it.
bool bReadLayout(const std::u16string& text, const char16_t* layout, SParsedDate& out) {
  const std::u16string l = layout;
  if (text.size() != l.size()) return false;
  int fractionDigits = 0;
  out = SParsedDate{};
  for (std::size_t i = 0; i < l.size(); ++i) {
    const char16_t c = text[i];
    const char16_t kind = l[i];
    const bool field = kind == u'Y' || kind == u'M' || kind == u'D' || kind == u'h' || kind == u'n' ||
                       kind == u's' || kind == u'f';
    if (!field) {
      if (c != kind) return false;
      continue;
    }
    if (c < u'0' || c > u'9') return false;
    const int digit = c - u'0';
    switch (kind) {
      case u'Y': out.year = out.year * 10 + digit; break;
      case u'M': out.month = out.month * 10 + digit; break;
      case u'D': out.day = out.day * 10 + digit; break;
      case u'h': out.hour = out.hour * 10 + digit; break;
      case u'n': out.minute = out.minute * 10 + digit; break;
      case u's': out.second = out.second * 10 + digit; break;
      default: out.millisecond = out.millisecond * 10 + digit; ++fractionDigits; break;
    }
  }
  for (int i = fractionDigits; i < 3; ++i) out.millisecond *= 10;
  return true;
}

// A date text of the value's mask, else of plain digits (YYYYMMDD, with hhmmss and then mmm when longer); false
// when it follows none or names no real date and time.
bool bParseDateText(const std::u16string& text, const char16_t* mask, SParsedDate& out) {
  bool read = bReadLayout(text, pszLayoutOfMask(mask), out);
  if (!read) read = bReadLayout(text, u"YYYYMMDD", out) || bReadLayout(text, u"YYYYMMDDhhnnss", out) ||
                    bReadLayout(text, u"YYYYMMDDhhnnssfff", out);
  if (!read) return false;
  // All zeros is how an empty date is written: it passes here and binds NULL.
  if (out.year == 0 && out.month == 0 && out.day == 0) return true;
  return out.month >= 1 && out.month <= 12 && out.day >= 1 && out.day <= 31 && out.hour <= 23 && out.minute <= 59 &&
         out.second <= 59;
}

void TakeDateOf(CDateTime& target, const CDateTime& source) {
  target.m_nYear = source.m_nYear;
  target.m_nMonth = source.m_nMonth;
  target.m_nDay = source.m_nDay;
}


// ---- Oracle NUMBER bytes (the OCI7 set) ----------------------------------------------------------------------------
// The OCI7 set has no call that turns a number into text or back, and a double keeps 15 digits of a NUMBER's 38 or
// more: a number crosses as VARNUM (a length byte, then the NUMBER's own bytes: an exponent byte and up to 20 base-100
// digits), which the driver reads and writes itself, through the masks the other set hands its client.

// value = (negative ? -1 : 1) * 0.digits * 10^point; zero has no digits, the digits no leading or trailing zero.
struct SDecimal {
  bool negative = false;
  std::string digits;
  int point = 0;
};

constexpr std::size_t NUMBER_MAX_BYTES = 21;
constexpr std::size_t NUMBER_MAX_PAIRS = 20;
constexpr std::uint8_t NUMBER_ZERO = 0x80;
constexpr std::uint8_t NUMBER_POSITIVE_BASE = 193;  // the exponent byte of a positive number below 100
constexpr std::uint8_t NUMBER_NEGATIVE_BASE = 62;   // and of a negative one
constexpr std::uint8_t NUMBER_NEGATIVE_END = 102;   // ends a negative number shorter than 20 digit bytes

void Normalise(SDecimal& d) {
  const auto lead = d.digits.find_first_not_of('0');
  if (lead == std::string::npos) {
    d = SDecimal{};
    return;
  }
  d.digits.erase(0, lead);
  d.point -= static_cast<int>(lead);
  d.digits.erase(d.digits.find_last_not_of('0') + 1);
}

// Adds one to a run of decimal digits; true when it carried out of the first.
bool bIncrement(std::string& digits) {
  for (std::size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return false;
    }
    digits[i] = '0';
  }
  return true;
}

// A VARNUM buffer of `room` bytes; false for a length the buffer cannot hold or bytes that are no finite number.
bool bDecodeVarnum(const std::uint8_t* buffer, std::uint64_t room, SDecimal& out) {
  out = SDecimal{};
  const std::size_t length = room ? buffer[0] : 0;
  if (length == 0 || length >= room || length > NUMBER_MAX_BYTES) return false;
  const std::uint8_t* bytes = buffer + 1;
  if (length == 1 && bytes[0] == NUMBER_ZERO) return true;
  out.negative = bytes[0] < NUMBER_ZERO;
  std::size_t end = length;
  if (out.negative && bytes[end - 1] == NUMBER_NEGATIVE_END) --end;
  // An exponent byte alone (the infinities) has no digit.
  if (end < 2) return false;
  const int exponent = out.negative ? NUMBER_NEGATIVE_BASE - bytes[0] : bytes[0] - NUMBER_POSITIVE_BASE;
  for (std::size_t i = 1; i < end; ++i) {
    const int pair = out.negative ? 101 - bytes[i] : bytes[i] - 1;
    if (pair < 0 || pair > 99) return false;
    out.digits += static_cast<char>('0' + pair / 10);
    out.digits += static_cast<char>('0' + pair % 10);
  }
  out.point = (exponent + 1) * 2;
  const bool negative = out.negative;
  Normalise(out);
  out.negative = negative && !out.digits.empty();
  return true;
}

// The VARNUM of a value, rounded half away from zero to the 20 digit bytes a NUMBER keeps; false when it is too large
// for one (a value too small for one is 0, as a server stores it).
bool bEncodeVarnum(SDecimal value, std::uint8_t* buffer, std::uint64_t room) {
  std::uint8_t bytes[NUMBER_MAX_BYTES] = {NUMBER_ZERO};
  std::size_t length = 1;
  if (!value.digits.empty()) {
    std::string& digits = value.digits;
    if (value.point % 2 != 0) {
      digits.insert(digits.begin(), '0');
      ++value.point;
    }
    if (digits.size() % 2 != 0) digits += '0';
    if (digits.size() > NUMBER_MAX_PAIRS * 2) {
      const bool up = digits[NUMBER_MAX_PAIRS * 2] >= '5';
      digits.resize(NUMBER_MAX_PAIRS * 2);
      if (up && bIncrement(digits)) {
        digits = "01";
        value.point += 2;
      }
    }
    while (digits.size() > 2 && digits.compare(digits.size() - 2, 2, "00") == 0) digits.resize(digits.size() - 2);
    const int exponent = value.point / 2 - 1;
    if (exponent > 62) return false;
    if (exponent >= -65) {
      length = 0;
      bytes[length++] = static_cast<std::uint8_t>(value.negative ? NUMBER_NEGATIVE_BASE - exponent
                                                                 : NUMBER_POSITIVE_BASE + exponent);
      for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int pair = (digits[i] - '0') * 10 + (digits[i + 1] - '0');
        bytes[length++] = static_cast<std::uint8_t>(value.negative ? 101 - pair : pair + 1);
      }
      if (value.negative && length < NUMBER_MAX_BYTES) bytes[length++] = NUMBER_NEGATIVE_END;
    }
  }
  if (room < length + 1) return false;
  buffer[0] = static_cast<std::uint8_t>(length);
  std::memcpy(buffer + 1, bytes, length);
  return true;
}

// The text a mask of `whole` nines, then the decimal mark and `decimals` nines, gives a value: rounded half away
// from zero to its decimals, the mark a full stop; '#' characters when the whole digits do not fit, as the client
// writes an overflow.
std::u16string MaskText(const SDecimal& value, std::uint32_t whole, std::uint32_t decimals) {
  const std::u16string overflow(static_cast<std::size_t>(whole) + decimals + 2, u'#');
  const long long width = static_cast<long long>(whole) + decimals;
  const long long keep = static_cast<long long>(value.point) + decimals;  // the digits at or above the last decimal
  if (keep > width + 1) return overflow;
  std::string kept;
  if (keep > 0) {
    kept = value.digits.substr(0, static_cast<std::size_t>(keep));
    kept.resize(static_cast<std::size_t>(keep), '0');
    if (static_cast<std::size_t>(keep) < value.digits.size() && value.digits[static_cast<std::size_t>(keep)] >= '5' &&
        bIncrement(kept)) {
      kept.insert(kept.begin(), '1');
    }
  } else if (keep == 0 && !value.digits.empty() && value.digits[0] >= '5') {
    kept = "1";
  }
  kept.erase(0, kept.find_first_not_of('0') == std::string::npos ? kept.size() : kept.find_first_not_of('0'));
  if (static_cast<long long>(kept.size()) > width) return overflow;
  const bool negative = value.negative && !kept.empty();
  if (kept.size() < decimals + 1) kept.insert(0, decimals + 1 - kept.size(), '0');
  std::u16string text = negative ? u"-" : u"";
  const std::size_t mark = kept.size() - decimals;
  text.append(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(mark));
  if (decimals > 0) {
    text += u'.';
    text.append(kept.begin() + static_cast<std::ptrdiff_t>(mark), kept.end());
  }
  return text;
}

// A number's text read through such a mask: a sign, digits and a full stop, with no more whole digits nor decimals
// than the mask has; false for any other text.
bool bReadMaskText(std::u16string_view text, std::uint32_t whole, std::uint32_t decimals, SDecimal& out) {
  out = SDecimal{};
  const auto first = text.find_first_not_of(u' ');
  if (first == std::u16string_view::npos) return false;
  text = text.substr(first, text.find_last_not_of(u' ') - first + 1);
  std::size_t i = 0;
  if (text[0] == u'-' || text[0] == u'+') out.negative = text[i++] == u'-';
  std::string before, after;
  bool mark = false;
  for (; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'.' && !mark) {
      mark = true;
    } else if (c >= u'0' && c <= u'9') {
      (mark ? after : before) += static_cast<char>(c);
    } else {
      return false;
    }
  }
  if (before.empty() && after.empty()) return false;
  before.erase(0, before.find_first_not_of('0') == std::string::npos ? before.size() : before.find_first_not_of('0'));
  if (before.size() > whole || after.size() > decimals) return false;
  out.digits = before + after;
  out.point = static_cast<int>(before.size());
  const bool negative = out.negative;
  Normalise(out);
  out.negative = negative && !out.digits.empty();
  return true;
}

}  // namespace

// ---- numbers -------------------------------------------------------------------------------------------------------------------

int COracleFieldValue::bNumberToHost() {
  const std::uint8_t type = Value().nGetType();
  // Only a currency's mask is built: the fixed masks are read per fetched value.
  std::u16string_view mask = DECIMAL_MASK;
  std::u16string scaled;
  std::uint32_t precision = 0, scale = 0;
  std::uint32_t whole = 20, decimals = 6;
  if (bIsIntegerHostType(type)) {
    mask = INTEGER_MASK;
    decimals = 0;
  } else if (type == 13) {
    bGetNumericPrecision(&precision, &scale);
    whole = precision > scale ? precision - scale : 0;
    decimals = scale;
    scaled = Nines(whole);
    if (scale > 0) scaled += u"D" + Nines(scale);
    mask = scaled;
  }
  CTString text;
  std::u16string own;
  if (bIsOci7Mode()) {
    SDecimal number;
    // Bytes that are no number a NUMBER holds read as the client writes a value it cannot show.
    own = bDecodeVarnum(m_pConversion, m_nConversionSize, number) ? MaskText(number, whole, decimals) : u"#";
  } else if (!nNumberToText(pOracleConnection(), m_pOwner, m_pConversion, mask.data(),
                            static_cast<std::uint32_t>(mask.size()), text)) {
    return 0;
  }
  // The mask pads the text with blanks (room for a sign and the digits it did not need).
  const std::u16string_view digits = Trimmed(bIsOci7Mode() ? own.c_str() : text.pszGet());
  CHostValue value;
  value.SetType(HOST_TYPE_TEXT);
  if (bHostFailed(value.SetFromBuffer(digits.data(), digits.size() * 2))) return bTextNotKept();
  const std::int32_t result = value.nConvert(type);
  if (result != 0) {
    RaiseHostConversion(result, HOST_TYPE_TEXT, type, ORACLE_FIELD_POINT_NUMBER_TO_HOST);
    return 0;
  }
  if (type == 13 && !value.bIsNull()) {
    IHostProxyHandle* handle = nullptr;
    if (!bHostFailed(value.nGet(&handle)) && handle) {
      handle->SetPrecision(static_cast<std::int32_t>(precision), static_cast<std::int32_t>(scale));
    }
  }
  return bSetValue(value);
}

int COracleFieldValue::bHostToNumber() {
  const std::uint8_t type = Value().nGetType();
  CHostValue value;
  if (!bGetValue(&value)) return 0;
  const std::int32_t result = value.nConvert(HOST_TYPE_TEXT);
  // The text of a number or a date is never too long: a 108 is a copy memory refused.
  if (result == HOST_ERR_TOO_LONG) return bTextNotKept();
  if (result != 0) {
    RaiseHostConversion(result, type, HOST_TYPE_TEXT, ORACLE_FIELD_POINT_HOST_TO_NUMBER);
    return 0;
  }
  std::u16string text = WideTextOf(value);
  std::u16string mask = DECIMAL_MASK;
  std::uint32_t whole = 20, decimals = 6;
  if (bIsIntegerHostType(type) || type == 27) {
    mask = INTEGER_MASK;
    decimals = 0;
  } else if (type == 13) {
    std::uint32_t precision = 0, scale = 0;
    bGetNumericPrecision(&precision, &scale);
    // The mask widens to the digits the text has after its point, so that none is refused or lost.
    const auto point = text.find(u'.');
    if (point != std::u16string::npos) {
      const auto after = static_cast<std::uint32_t>(text.size() - point - 1);
      if (after > scale) {
        precision += after - scale;
        scale = after;
      }
    }
    // A decimal with more whole digits than its column has is no value of the column: the conversion error, not the
    // client's refusal of the text against the mask.
    if (nWholeDigits(text) > (precision > scale ? precision - scale : 0)) {
      RaiseHostConversion(HOST_ERR_CANNOT_CONVERT, type, HOST_TYPE_TEXT, ORACLE_FIELD_POINT_HOST_TO_NUMBER);
      return 0;
    }
    // A mask of decimals only has no place for the 0 before the point, with or without a sign.
    if (precision == scale) {
      // Zero has no digit before the point to drop: it is written as the mask takes it, a point and a 0.
      if (text == u"0" || text == u"-0") {
        text = u".0";
        if (scale == 0) precision = scale = 1;
      } else if (text.rfind(u"0.", 0) == 0) {
        text.erase(0, 1);
      } else if (text.rfind(u"-0.", 0) == 0) {
        text.erase(1, 1);
      }
    }
    whole = precision > scale ? precision - scale : 0;
    decimals = scale;
    mask = Nines(whole);
    if (scale > 0) mask += u"D" + Nines(scale);
  }
  if (bIsOci7Mode()) {
    // A text the mask refuses, or a number too large for a NUMBER, is no value the column can take.
    SDecimal number;
    if (!bReadMaskText(text, whole, decimals, number) || !bEncodeVarnum(number, m_pConversion, m_nConversionSize)) {
      RaiseHostConversion(HOST_ERR_CANNOT_CONVERT, type, HOST_TYPE_TEXT, ORACLE_FIELD_POINT_HOST_TO_NUMBER);
      return 0;
    }
    return 1;
  }
  std::uint8_t number[22] = {};
  if (!nOciNumberFromText(pOracleConnection(), m_pOwner, number, text.c_str(), mask.c_str(),
                          static_cast<std::uint32_t>(mask.size()))) {
    return 0;
  }
  std::memcpy(m_pConversion, number, m_nConversionSize < sizeof number ? m_nConversionSize : sizeof number);
  return 1;
}

// ---- dates and timestamps ----------------------------------------------------------------------------------------------------

int COracleFieldValue::bDateToHost() {
  const std::uint8_t* b = m_pConversion;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (m_nNativeTypeCode == sqlt::DAT) {
    year = (b[0] - 101) * 100 + b[1];
    month = b[2];
    day = b[3];
    hour = b[4] - 1;
    minute = b[5] - 1;
    second = b[6] - 1;
  } else {
    std::int16_t y = 0;
    std::memcpy(&y, b, 2);
    year = y;
    month = b[2];
    day = b[3];
    hour = b[4];
    minute = b[5];
    second = b[6];
  }
  CHostDateTime packed{};
  packed.m_nYear = static_cast<std::uint16_t>(year);
  packed.m_nMonth = static_cast<std::uint8_t>(month ? month : 1);
  packed.m_nDay = static_cast<std::uint8_t>(day ? day : 1);
  packed.m_nMillisecond = static_cast<std::uint32_t>(((hour * 60 + minute) * 60 + second) * 1000);
  CHostValue value;
  value.SetType(HOST_TYPE_DATETIME);
  value.Set(&packed);
  return bSetValue(value);
}

int COracleFieldValue::bTimestampToHost() {
  void* descriptor = nullptr;
  std::memcpy(&descriptor, m_pConversion, sizeof descriptor);
  CTString text;
  if (!descriptor || !nOciDateTimeToText(pOracleConnection(), m_pOwner, descriptor, text)) return 0;
  CHostValue value;
  value.SetType(HOST_TYPE_TEXT);
  const std::u16string_view digits = Trimmed(text.pszGet());
  if (bHostFailed(value.SetFromBuffer(digits.data(), digits.size() * 2))) return bTextNotKept();
  const std::int32_t result = value.nConvert(HOST_TYPE_DATETIME);
  if (result != 0) {
    RaiseHostConversion(result, HOST_TYPE_TEXT, HOST_TYPE_DATETIME, ORACLE_FIELD_POINT_NUMBER_TO_HOST);
    return 0;
  }
  return bSetValue(value);
}

int COracleFieldValue::bHostToTimestamp() {
  const std::uint8_t type = Value().nGetType();
  CHostValue value;
  if (!bGetValue(&value)) return 0;
  const std::int32_t result = value.nConvert(HOST_TYPE_TEXT);
  // Only a NULL operand is a NULL date; a value that does not convert must not be written as one.
  if (result == HOST_ERR_NULL_OPERAND) return bBindNull();
  if (result == HOST_ERR_TOO_LONG) return bTextNotKept();
  if (bHostFailed(static_cast<std::uint32_t>(result))) {
    RaiseHostConversion(result, type, HOST_TYPE_DATETIME, ORACLE_FIELD_POINT_HOST_TO_DATE);
    return 0;
  }
  const std::u16string text = WideTextOf(value);
  if (text.empty()) return bBindNull();
  if ((type == 24 || type == 128) && bAllZeros(text, 8)) return bBindNull();
  if (type == 26 && bAllZeros(text, 14)) return bBindNull();
  CDateTime moment;
  switch (type) {
    case 24: case 128:
      moment.bParseDateTime(text.c_str());
      break;
    case 25: case 129: {
      CDateTime now;
      now.SetNow();
      moment.bParseTime(text.c_str(), -1);
      TakeDateOf(moment, now);
      break;
    }
    case 26:
      moment.bParseDateTime(text.c_str());
      if (moment.m_nYear == -1900) {
        CDateTime now;
        now.SetNow();
        TakeDateOf(moment, now);
      }
      break;
    case 16: case 18: case 19: case 110: {
      // A text is read in the layouts the value's date-format mask writes, else as digits.
      SParsedDate parsed;
      if (!bParseDateText(text, m_pszDateMask, parsed)) {
        RaiseConversionError(type, text.c_str(), ERROR_UNIT_ORACLE_FIELD_VALUE, ORACLE_FIELD_POINT_HOST_TO_DATE);
        return 0;
      }
      if (parsed.year == 0 && parsed.month == 0 && parsed.day == 0) return bBindNull();
      moment.m_nYear = parsed.year - 1900;
      moment.m_nMonth = parsed.month - 1;
      moment.m_nDay = parsed.day;
      moment.m_nHour = parsed.hour;
      moment.m_nMinute = parsed.minute;
      moment.m_nSecond = parsed.second;
      moment.m_nMillisecond = parsed.millisecond;
      break;
    }
    default:
      break;
  }
  const int year = moment.m_nYear + 1900;
  std::uint8_t* b = m_pConversion;
  switch (m_nNativeTypeCode) {
    case sqlt::ODT: {
      std::memset(b, 0, m_nConversionSize);
      const auto y = static_cast<std::int16_t>(year);
      std::memcpy(b, &y, 2);
      b[2] = static_cast<std::uint8_t>(moment.m_nMonth + 1);
      b[3] = static_cast<std::uint8_t>(moment.m_nDay);
      b[4] = static_cast<std::uint8_t>(moment.m_nHour);
      b[5] = static_cast<std::uint8_t>(moment.m_nMinute);
      b[6] = static_cast<std::uint8_t>(moment.m_nSecond);
      m_nReturnedLength = 8;
      return 1;
    }
    case sqlt::DAT:
      b[0] = static_cast<std::uint8_t>(year / 100 + 100);
      b[1] = static_cast<std::uint8_t>(year % 100 + 100);
      b[2] = static_cast<std::uint8_t>(moment.m_nMonth + 1);
      b[3] = static_cast<std::uint8_t>(moment.m_nDay);
      b[4] = static_cast<std::uint8_t>(moment.m_nHour + 1);
      b[5] = static_cast<std::uint8_t>(moment.m_nMinute + 1);
      b[6] = static_cast<std::uint8_t>(moment.m_nSecond + 1);
      m_nReturnedLength = 7;
      return 1;
    case sqlt::TIMESTAMP:
    case sqlt::TIMESTAMP_TZ:
    case sqlt::TIMESTAMP_LTZ:
      if (!bRefreshDateTimeDescriptor() || !m_pDateTimeDescriptor) return 0;
      if (!nOciDateTimeConstruct(pOracleConnection(), m_pOwner, m_pDateTimeDescriptor, moment)) return 0;
      m_nReturnedLength = sizeof(void*);
      return 1;
    default:
      return 1;
  }
}

// ---- intervals ------------------------------------------------------------------------------------------------------------------

int COracleFieldValue::bIntervalToHost() {
  void* descriptor = nullptr;
  std::memcpy(&descriptor, m_pConversion, sizeof descriptor);
  std::int64_t milliseconds = 0;
  const int read = descriptor ? nOciIntervalGet(pOracleConnection(), m_pOwner, descriptor,
                                                static_cast<std::uint16_t>(m_nNativeTypeCode), &milliseconds)
                              : 0;
  if (read < 0) return bRefuseOverflow(HOST_TYPE_VALUE8, Value().nGetType());
  if (!read) return 0;
  CHostValue value;
  value.SetType(HOST_TYPE_VALUE8);
  value.Set(&milliseconds);
  return bSetValue(value);
}

int COracleFieldValue::bHostToInterval() {
  const std::uint8_t type = Value().nGetType();
  CHostValue value;
  if (!bGetValue(&value)) return 0;
  const std::int32_t result = value.nConvert(HOST_TYPE_VALUE8);
  if (result != 0) {
    RaiseHostConversion(result, type, HOST_TYPE_VALUE8, ORACLE_FIELD_POINT_HOST_TO_INTERVAL);
    return 0;
  }
  std::int64_t milliseconds = 0;
  value.nGet(&milliseconds);
  // The client counts a day-second interval's days in 32 bits: more would wrap to another interval.
  const std::int64_t days = milliseconds / 86400000;
  if (m_nNativeTypeCode == sqlt::INTERVAL_DS && (days > INT32_MAX || days < INT32_MIN)) {
    RaiseHostConversion(HOST_ERR_CANNOT_CONVERT, type, HOST_TYPE_VALUE8, ORACLE_FIELD_POINT_HOST_TO_INTERVAL);
    return 0;
  }
  if (!bRefreshDateTimeDescriptor() || !m_pDateTimeDescriptor) return 0;
  return nOciIntervalSet(pOracleConnection(), m_pOwner, m_pDateTimeDescriptor,
                         static_cast<std::uint16_t>(m_nNativeTypeCode), milliseconds);
}
