#include "sql/connection.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/values/field_value.h"
#include "foundation/error_holder.h"
#include "foundation/hash_table.h"
#include "foundation/like_pattern.h"
#include "foundation/module_errors.h"
#include "foundation/sql_text_buffer.h"
#include "foundation/text_utils.h"
#include "foundation/x_error.h"
#include "host/column_type_map.h"
#include "host/host_value.h"

namespace {

enum : std::uint32_t {
  CONNECTION_POINT_BAD_DATE = 8,
  CONNECTION_POINT_BAD_TIME = 9,
  CONNECTION_POINT_UNICODE_COLUMN = 11,
  CONNECTION_POINT_TIME_CONVERSION = 14,
  CONNECTION_POINT_DATE_CONVERSION = 15,
  CONNECTION_POINT_TYPE_CONVERSION = 16,
  ERROR_BAD_DATE_TIME_TEXT = 43,
  ERROR_UNICODE_COLUMNS_REFUSED = 46,
};

// A failed value conversion as the runtime's status maps it, recorded with the connection as reporter.
void RaiseStatusError(CErrorHolder* holder, CConnection* reporter, std::uint32_t point, std::int32_t status,
                      std::uint32_t a, std::uint32_t b) {
  CModuleError error;
  error.SetStatusError(&gstModuleDescriptor, static_cast<std::uint32_t>(status), a, b);
  const std::uint32_t code = error.nGetCode();
  error.SetInfo(ERROR_INFO_ERROR_CODE, &code);
  AddErrorIdentification(error, ERROR_UNIT_CONNECTION, point);
  if (holder) {
    holder->RecordError(0, error, reporter);
  } else {
    DiscardIgnoredError(error);
  }
}

bool bIsDateTimeHostType(std::uint32_t type) {
  return type == HOST_TYPE_ADATE || type == HOST_TYPE_ATIME || type == HOST_TYPE_DATETIME;
}

// `count` digits of `text` from `start`; false when one is missing or not a digit.
bool bReadDigits(const std::u16string& text, std::size_t start, std::size_t count, int& out) {
  if (start + count > text.size()) return false;
  out = 0;
  for (std::size_t i = start; i < start + count; ++i) {
    if (!bIsDigitW(text[i])) return false;
    out = out * 10 + (text[i] - u'0');
  }
  return true;
}

struct SDateParts {
  int year = 0, month = 0, day = 0;
};
struct STimeParts {
  int hours = 0, minutes = 0, seconds = 0, milliseconds = 0;
};

bool bParseDate(const std::u16string& digits, SDateParts& out) {
  return bReadDigits(digits, 0, 4, out.year) && bReadDigits(digits, 4, 2, out.month) &&
         bReadDigits(digits, 6, 2, out.day);
}

// HHMM, then optional seconds and up to three fraction digits (missing ones count as zeros on the right).
bool bParseTime(const std::u16string& digits, STimeParts& out) {
  if (digits.size() < 4 || digits.size() > 9) return false;
  if (!bIsAllDigitsW(digits.c_str())) return false;
  std::u16string padded = digits;
  padded.resize(9, u'0');
  return bReadDigits(padded, 0, 2, out.hours) && bReadDigits(padded, 2, 2, out.minutes) &&
         bReadDigits(padded, 4, 2, out.seconds) && bReadDigits(padded, 6, 3, out.milliseconds);
}

void AppendFormat(CSqlTextBuffer* out, const char16_t* format, ...) {
  CTString text;
  va_list arguments;
  va_start(arguments, format);
  text.FormatV(format, arguments);
  va_end(arguments);
  out->Append(text.pszGet(), -1);
}

// Appends `units` units of `text` with every apostrophe doubled.
void AppendQuotedBody(CSqlTextBuffer* out, const char16_t* text, std::size_t units) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < units; ++i) {
    if (text[i] != u'\'') continue;
    out->Append(text + start, static_cast<std::int64_t>(i - start + 1));
    out->Append(u"'", 1);
    start = i + 1;
  }
  out->Append(text + start, static_cast<std::int64_t>(units - start));
}

void AppendQuotedBody(CSqlTextBuffer* out, const char* text, std::size_t bytes, std::uint32_t codePage) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < bytes; ++i) {
    if (text[i] != '\'') continue;
    out->AppendCodePageText(text + start, static_cast<std::int64_t>(i - start + 1), codePage);
    out->Append(u"'", 1);
    start = i + 1;
  }
  out->AppendCodePageText(text + start, static_cast<std::int64_t>(bytes - start), codePage);
}

// The value as UTF-16 text through the runtime's conversion; false with the conversion's status.
bool bValueText(CHostValue& value, std::u16string& out, std::int32_t& status) {
  CHostValue text;
  text.Assign(value);
  text.SetNull(false);
  status = text.nConvert(HOST_TYPE_WSTRING);
  if (bHostFailed(static_cast<std::uint32_t>(status))) return false;
  const char16_t* units = nullptr;
  status = text.nGetWideText(&units);
  if (bHostFailed(static_cast<std::uint32_t>(status))) return false;
  out = units ? units : u"";
  return true;
}

}  // namespace


// ---- type names and limits ----

int CConnection::bDbmsKindSetA() const {
  switch (m_nDbmsKind) {
    case 1: case 2: case 4: case 7: case 9: case 12: case 13: return 1;
    default: return 0;
  }
}

std::int32_t CConnection::nGetVarcharMax() const {
  switch (m_nDbmsKind) {
    case 1: return 4000;
    case 2: return 8000;
    case 5: return 255;
    default: return -1;
  }
}

const char16_t* CConnection::pszGetVarcharTypeName() const { return m_nDbmsKind == 1 ? u"VARCHAR2" : u"VARCHAR"; }

const char16_t* CConnection::pszGetLongTextTypeName() const {
  if (m_nDbmsKind == 5) return m_nServerMajor < 4 ? u"LONGBLOB" : u"LONGTEXT";
  return u"CLOB";
}

std::int32_t CConnection::nGetNVarcharMax() const {
  switch (m_nDbmsKind) {
    case 1: return 2000;
    case 2: return 4000;
    case 5: return 255;
    default: return -1;
  }
}

const char16_t* CConnection::pszGetNVarcharTypeName() const {
  return m_nDbmsKind == 1 ? u"NVARCHAR2" : u"NVARCHAR";
}

const char16_t* CConnection::pszGetLongNTextTypeName() const {
  if (m_nDbmsKind == 5) return m_nServerMajor < 4 ? u"LONGBLOB" : u"LONGTEXT CHARACTER SET ucs2";
  return u"NCLOB";
}

std::int32_t CConnection::nGetMaxIdentifierLength() { return m_nDbmsKind == 4 ? 31 : 0x7FFFFFFF; }

int CConnection::pszGetNativeTypeName(CErrorHolder* holder, CColumnDescriptor& column, CTString& out) {
  const std::uint32_t type = column.nGetType();
  if (bIsUnicodeColumnType(type) && !m_bUnicodeColumnsAllowed) {
    RaiseModuleError(holder, 0, ERROR_UNIT_CONNECTION, CONNECTION_POINT_UNICODE_COLUMN, this, nullptr,
                     ERROR_UNICODE_COLUMNS_REFUSED, pszGetDatabaseName(), pszGetDataSource());
    return 0;
  }
  if (m_nDbmsKind == 5 && type == COLUMN_TYPE_DECIMAL) {
    const std::uint32_t digits = std::min<std::uint32_t>(column.nGetPrecision() + column.nGetScale(), 64);
    out.Format(u"NUMERIC(%d,%d)", static_cast<int>(digits),
               static_cast<int>(std::min<std::uint32_t>(column.nGetScale(), 30)));
    return 1;
  }
  if (!m_pTypeNameTable) {
    std::unique_ptr<CTypeNameTable> table(new (std::nothrow) CTypeNameTable(7));
    if (!table || !FillGenericDdlTypes(table.get())) {
      SetHolderOutOfMemory(holder);
      return 0;
    }
    // The dialect's texts replace the generic ones it knows; the generic ones stay for the types it leaves out.
    FillTypeNameTable(table.get());
    m_pTypeNameTable = std::move(table);
  }
  return bGetDdlTypeText(m_pTypeNameTable.get(), column, out) ? 1 : 0;
}

// ---- literals ----

int CConnection::bValueToSqlLiteral(CErrorHolder* holder, CSqlTextBuffer* out, CHostValue* value,
                                    std::uint32_t columnType, std::uint32_t secondColumnType) {
  out->Truncate(0);
  if (value->bIsNull()) {
    out->Append(u"NULL", -1);
    return 1;
  }
  if (value->nGetType() == HOST_TYPE_BINARY_BUFFER &&
      (columnType == 0 || nHostTypeOfColumnType(columnType, -1) == HOST_TYPE_BINARY_BUFFER) &&
      !m_strBinaryLiteralPrefix.bIsEmpty()) {
    const void* data = nullptr;
    std::size_t size = 0;
    value->nGetDataPointer(&data);
    value->nGetDataSize(&size);
    if (size == 0 && m_nDbmsKind == 4) {
      out->Append(u"''", -1);
      return 1;
    }
    out->Append(m_strBinaryLiteralPrefix.pszGet(), -1);
    static const char16_t kHex[] = u"0123456789ABCDEF";
    for (std::size_t i = 0; i < size; ++i) {
      const auto byte = static_cast<const std::uint8_t*>(data)[i];
      const char16_t pair[2] = {kHex[byte >> 4], kHex[byte & 15]};
      out->Append(pair, 2);
    }
    out->Append(m_strBinaryLiteralSuffix.pszGet(), -1);
    return 1;
  }
  // The strict pass only chooses the form: when the value does not take the column's type it is written as it is,
  // so its failure is no error of this literal and stays in a holder of its own.
  CHostValue converted;
  if (columnType || secondColumnType) {
    converted.Assign(*value);
    CErrorHolder scratch;
    if (bTypesCompatible(&scratch, &converted, columnType, secondColumnType, 1)) value = &converted;
  }
  const std::uint8_t type = value->nGetType();
  switch (type) {
    case HOST_TYPE_EMPTY: out->Append(u"NULL", -1); return 1;
    case HOST_TYPE_UINT32_RAW: {
      std::uint32_t word = 0;
      value->nGet(&word);
      return bBooleanToSqlLiteral(holder, out, word);
    }
    case HOST_TYPE_WDATE: case HOST_TYPE_WTIME: case HOST_TYPE_DATETIME: case HOST_TYPE_ADATE: case HOST_TYPE_ATIME:
      return bDateTimeToSqlLiteral(holder, out, value, columnType);
    case HOST_TYPE_ACHAR: {
      char unit = 0;
      value->nGet(&unit);
      return bTextToSqlLiteral(holder, out, type, &unit, unit ? 1 : 0);
    }
    case HOST_TYPE_WCHAR: {
      char16_t unit = 0;
      value->nGet(&unit);
      return bTextToSqlLiteral(holder, out, type, &unit, unit ? 2 : 0);
    }
    case 16: case 18: case 19: case 28: case 29: case 30: case HOST_TYPE_TEXT: {
      const void* data = nullptr;
      std::size_t size = 0;
      if (bHostFailed(static_cast<std::uint32_t>(value->nGetDataPointer(&data))) || !data) {
        out->Append(u"NULL", -1);
        return 1;
      }
      value->nGetDataSize(&size);
      return bTextToSqlLiteral(holder, out, type, data, size);
    }
    default: break;
  }
  std::u16string text;
  std::int32_t status = 0;
  if (!bValueText(*value, text, status)) {
    RaiseStatusError(holder, this, CONNECTION_POINT_TYPE_CONVERSION, status, type, HOST_TYPE_WSTRING);
    return 0;
  }
  if (type >= 10 && type <= 13) {
    // The server reads a point whatever the program's decimal separator.
    std::replace(text.begin(), text.end(), u',', u'.');
    if (type == HOST_TYPE_FLOAT) text = u"CAST(" + text + u" AS REAL)";
  }
  out->Append(text.c_str(), static_cast<std::int64_t>(text.size()));
  return 1;
}

int CConnection::bTypesCompatible(CErrorHolder* holder, CHostValue* value, std::uint32_t columnType,
                                  std::uint32_t secondColumnType, int bStrict) {
  const std::uint32_t target = nHostTypeOfColumnType(columnType ? columnType : secondColumnType, -1);
  const std::uint32_t type = value->nGetType();
  // Without a column type there is nothing to fit.
  if (target == 0) return 1;
  if (type == target || (target == HOST_TYPE_TEXT_BUFFER && type == HOST_TYPE_ASTRING) ||
      (target == HOST_TYPE_WSTRING && type == HOST_TYPE_TEXT))
    return 1;
  const bool dateTarget = bIsDateTimeHostType(target);
  if (!dateTarget && (type == 28 || type == 29 || type == 30)) return 1;
  if (dateTarget) {
    if (type == HOST_TYPE_DATETIME) return 1;
    if (type == HOST_TYPE_WTIME || type == HOST_TYPE_ATIME) {
      // A time given for a date has no date part: the date stays empty.
      if (target == HOST_TYPE_ADATE) value->SetType(HOST_TYPE_ADATE);
      return 1;
    }
    const bool timePath = secondColumnType == COLUMN_TYPE_TIME;
    const std::uint32_t point = timePath ? CONNECTION_POINT_TIME_CONVERSION : CONNECTION_POINT_DATE_CONVERSION;
    std::int32_t status = value->nConvert(HOST_TYPE_ASTRING);
    if (!bHostFailed(static_cast<std::uint32_t>(status)) && timePath) {
      const char* text = nullptr;
      value->nGetNarrowText(&text);
      std::string digits = text ? text : "";
      // Hours and minutes at least: "9" or "930" read as 09:00 and 09:30 would otherwise fail as times.
      if (digits.size() < 4) {
        digits.resize(4, '0');
        status = value->Ops().SetFromNarrowZ(value->pHolder(), digits.c_str());
      }
      if (!bHostFailed(static_cast<std::uint32_t>(status))) status = value->nConvert(HOST_TYPE_ATIME);
    } else if (!bHostFailed(static_cast<std::uint32_t>(status))) {
      status = value->nConvert(static_cast<std::uint8_t>(target));
    }
    if (bHostFailed(static_cast<std::uint32_t>(status))) {
      RaiseStatusError(holder, this, point, status, type, target);
      return 0;
    }
    return 1;
  }
  if (!bStrict) {
    bool kept = false;
    switch (type) {
      case 7: kept = target == 6 || target == 7; break;
      case 8: kept = target == 6 || target == 7 || target == 8 || target == 11; break;
      case 9:
        kept = target == 6 || target == 7 || target == 9 || target == 11 || target == 12;
        if (target == 8) {
          std::int64_t number = 0;
          value->nGet(&number);
          kept = number <= INT32_MIN || number >= INT32_MAX;
        }
        break;
      case 11: kept = (target >= 6 && target <= 9) || target == 11; break;
      case 12: kept = (target >= 6 && target <= 9) || target == 11 || target == 12; break;
      default: break;
    }
    if (kept) return 1;
  }
  const std::int32_t status = value->nConvert(static_cast<std::uint8_t>(target));
  if (bHostFailed(static_cast<std::uint32_t>(status))) {
    RaiseStatusError(holder, this, CONNECTION_POINT_TYPE_CONVERSION, status, type, target);
    return 0;
  }
  return 1;
}

int CConnection::bTextToSqlLiteral(CErrorHolder*, CSqlTextBuffer* out, std::uint32_t hostType, const void* text,
                                   std::uint64_t length) {
  out->Truncate(0);
  if (length == 0 || !text) {
    out->Append(u"''", 2);
    return 1;
  }
  if (hostType == HOST_TYPE_WCHAR || hostType == 16 || hostType == 20 || hostType == HOST_TYPE_TEXT) {
    out->Append(m_nDbmsKind == 1 || m_nDbmsKind == 2 ? u"N'" : u"'", -1);
    const auto* units = static_cast<const char16_t*>(text);
    std::size_t count = static_cast<std::size_t>(length / 2);
    while (count > 0 && units[count - 1] == 0) --count;
    // Appended as UTF-16: a narrow buffer converts the text into its own page, whatever the prefix.
    AppendQuotedBody(out, units, count);
  } else {
    out->Append(u"'", 1);
    // A binary buffer or a borrowed one has no terminator: the length given bounds the read, a zero byte within it
    // still ends the text.
    const auto* bytes = static_cast<const char*>(text);
    AppendQuotedBody(out, bytes, nBoundedLengthA(bytes, static_cast<std::int64_t>(length)), m_nAnsiCodePage);
  }
  out->Append(u"'", 1);
  return 1;
}

int CConnection::bBooleanToSqlLiteral(CErrorHolder*, CSqlTextBuffer* out, std::uint32_t value) {
  out->Truncate(0);
  out->Append(value ? u"1" : u"0", 1);
  return 1;
}

int CConnection::bDateTimeToSqlLiteral(CErrorHolder* holder, CSqlTextBuffer* out, CHostValue* value,
                                       std::uint32_t columnType) {
  const std::uint8_t type = value->nGetType();
  const bool date = type == HOST_TYPE_WDATE || type == HOST_TYPE_ADATE;
  const bool time = type == HOST_TYPE_WTIME || type == HOST_TYPE_ATIME;
  if (!date && !time && type != HOST_TYPE_DATETIME) return 1;
  out->Truncate(0);
  std::u16string digits;
  std::int32_t status = 0;
  if (!value->bIsNull() && !bValueText(*value, digits, status)) {
    // A value the runtime cannot give as text is no NULL: writing "NULL" would store one in its place.
    RaiseStatusError(holder, this, CONNECTION_POINT_TYPE_CONVERSION, status, type, HOST_TYPE_WSTRING);
    return 0;
  }
  if (digits.empty()) {
    out->Append(u"NULL", 4);
    return 1;
  }
  const bool escape = m_nDbmsKind == 7 || m_nDbmsKind == 8;
  auto badText = [&](std::uint32_t point) {
    RaiseModuleError(holder, 0, ERROR_UNIT_CONNECTION, point, this, nullptr, ERROR_BAD_DATE_TIME_TEXT);
    return 0;
  };
  auto writeTime = [&](const STimeParts& t) {
    if (m_nDbmsKind == 11) {
      AppendFormat(out, u"DATETIME(%02d:%02d) HOUR TO MINUTE", t.hours, t.minutes);
      return;
    }
    CTString literal;
    if (escape) {
      literal.Format(u"'%02d:%02d:%02d'", t.hours, t.minutes, t.seconds);
      AppendFormat(out, u"{t %s}", literal.pszGet());
    } else {
      AppendFormat(out, u"'%02d:%02d:%02d.%03d'", t.hours, t.minutes, t.seconds, t.milliseconds);
    }
  };
  if (date) {
    SDateParts d;
    if (digits.size() != 8 || !bParseDate(digits, d)) return badText(CONNECTION_POINT_BAD_DATE);
    if (m_nDbmsKind == 5 && digits == u"00000000") {
      out->Append(u"'0000-00-00'", -1);
    } else if (m_nDbmsKind == 11) {
      if (m_bQuotedDates) {
        AppendFormat(out, u"'%s'", digits.c_str());
      } else {
        AppendFormat(out, u"MDY(%02d,%02d,%04d)", d.month, d.day, d.year);
      }
    } else if (escape) {
      AppendFormat(out, u"{d '%04d-%02d-%02d'}", d.year, d.month, d.day);
    } else {
      AppendFormat(out, u"'%04d-%02d-%02d'", d.year, d.month, d.day);
    }
    return 1;
  }
  if (time) {
    STimeParts t;
    if (!bParseTime(digits, t)) return badText(CONNECTION_POINT_BAD_TIME);
    writeTime(t);
    return 1;
  }
  // A date-time: the date's eight digits, then the time's.
  SDateParts d;
  STimeParts t;
  if (digits.size() < 8 || !bParseDate(digits, d)) return badText(CONNECTION_POINT_BAD_DATE);
  if (!bParseTime(digits.substr(8), t)) return badText(CONNECTION_POINT_BAD_TIME);
  if (columnType == COLUMN_TYPE_TIME) {
    writeTime(t);
  } else if (m_nDbmsKind == 5 && digits.compare(0, 8, u"00000000") == 0) {
    AppendFormat(out, u"'00000-00-00 %02d:%02d:%02d.%03d'", t.hours, t.minutes, t.seconds, t.milliseconds);
  } else if (m_nDbmsKind == 11) {
    AppendFormat(out, u"DATETIME(%04d-%02d-%02d %02d:%02d:%02d.%03d) YEAR TO FRACTION", d.year, d.month, d.day,
                 t.hours, t.minutes, t.seconds, t.milliseconds);
  } else if (escape) {
    AppendFormat(out, u"{ts '%04d-%02d-%02d %02d:%02d:%02d.%03d'}", d.year, d.month, d.day, t.hours, t.minutes,
                 t.seconds, t.milliseconds);
  } else {
    AppendFormat(out, u"'%04d-%02d-%02d %02d:%02d:%02d.%03d'", d.year, d.month, d.day, t.hours, t.minutes,
                 t.seconds, t.milliseconds);
  }
  return 1;
}

namespace {

// A plain decimal text with a fraction ([sign] digits "." digits) rounded half away from zero to an integer text, in
// place; any other text is left as it is. False when memory refused the new text.
bool bRoundToInteger(CTString& text) {
  const char16_t* p = text.pszGet();
  const bool negative = *p == u'-';
  if (*p == u'-' || *p == u'+') ++p;
  const char16_t* digits = p;
  while (*p >= u'0' && *p <= u'9') ++p;
  const auto count = static_cast<std::size_t>(p - digits);
  if (*p != u'.') return true;
  const char16_t* fraction = ++p;
  while (*p >= u'0' && *p <= u'9') ++p;
  if (*p || (count == 0 && p == fraction)) return true;
  // [0] the sign's place, [1] a carry out of the first digit (the units' place when there are no digits), then the
  // digits and the terminator.
  std::unique_ptr<char16_t[]> rounded(new (std::nothrow) char16_t[count + 3]);
  if (!rounded) return false;
  rounded[0] = rounded[1] = u'0';
  std::copy(digits, digits + count, rounded.get() + 2);
  rounded[count + 2] = 0;
  if (*fraction >= u'5') {
    std::size_t i = count + 1;
    while (rounded[i] == u'9') rounded[i--] = u'0';
    ++rounded[i];
  }
  std::size_t start = 1;
  while (start < count + 1 && rounded[start] == u'0') ++start;
  if (negative && (start < count + 1 || rounded[start] != u'0')) rounded[--start] = u'-';
  text = rounded.get() + start;
  return text.nGetLength() == count + 2 - start;
}

}  // namespace

int CConnection::bParseSqlLiteral(CHostValue* out, const char16_t* literal, CColumnDescriptor& column,
                                  CErrorHolder* holder) {
  const std::uint16_t hostType = column.nGetHostType();
  out->SetType(hostType);
  CTString text;
  const bool oracle = m_nDbmsKind == DBMS_KIND_ORACLE;
  switch (ReadSqlLiteralText(literal, oracle, !oracle, text)) {
    case ESqlLiteralText::kNull: out->SetNull(true); return 1;
    case ESqlLiteralText::kEmpty: return 1;
    case ESqlLiteralText::kText: break;
    case ESqlLiteralText::kRefused: SetHolderOutOfMemory(holder); return 0;
  }
  // The field value cuts a fraction off; the server rounds it into an integer column, and the default a record gets
  // is what the server would store.
  if (oracle && hostType >= HOST_TYPE_UINT8 && hostType <= HOST_TYPE_INT64 && !bRoundToInteger(text)) {
    SetHolderOutOfMemory(holder);
    return 0;
  }
  // The column's own field value reads the text as the column would read it from the server.
  CFieldValue* field = pCreateFieldValueThroughDriver(holder, this);
  if (!field) return 0;
  field->AddRef();
  field->InitType(hostType, 0);
  field->SetDescriptors(&column, nullptr);
  const int done = field->bPutWideText(text.pszGet(), text.nGetLength()) && field->bGetValue(out);
  field->nRelease();
  return done;
}

// ---- date/time digit expressions ----

namespace {

enum EDigitForm { kYmd, kHhmm, kHhmmss, kHhmmssccc, kYmdhmsccc };

// '@' stands for the operand (no form contains the character otherwise).
const char16_t* pszDigitForm(std::uint32_t kind, EDigitForm form, std::int32_t serverMajor) {
  switch (form) {
    case kYmd:
      switch (kind) {
        case 2: return u"REPLACE(CONVERT(varchar(10),@,20),'-','')";
        case 3: return u"FORMAT(@,'YYYYMMdd')";
        case 4: return u"CONVERT(VARCHAR(8),@,112)";
        case 5: return u"DATE_FORMAT(@,'%Y%m%d')";
        case 7: return u"REPLACE(CHAR(DATE(@)), '-', '')";
        case 11: return u"TO_CHAR(@,'%Y%m%d')";
        case 13: return u"strftime('%Y%m%d',@)";
        default: return u"TO_CHAR(@,'YYYYMMDD')";
      }
    case kHhmm:
      switch (kind) {
        case 3: return u"FORMAT(@,'HHmm')";
        case 4: return u"STUFF(CONVERT(VARCHAR(5),@,108), 3, 1, NULL)";
        case 5: return u"TIME_FORMAT(@,'%H%i')";
        case 7: return u"SUBSTR(REPLACE(CHAR(TIME(@)), '.', ''), 1, 4)";
        case 11: return u"TO_CHAR(@,'%H%M')";
        case 13: return u"strftime('%H%M',@)";
        default: return u"TO_CHAR(@,'HH24MI')";
      }
    case kHhmmss:
      switch (kind) {
        case 2: return u"REPLACE(CONVERT(varchar(8),@,108),':','')";
        case 3: return u"FORMAT(@,'HHmmss')";
        case 4: return u"STUFF(STUFF(CONVERT(VARCHAR(8),@,108), 3, 1, NULL), 5, 1, NULL)";
        case 5: return u"TIME_FORMAT(@,'%H%i%S')";
        case 7: return u"REPLACE(CHAR(TIME(@)), '.', '')";
        case 11: return u"TO_CHAR(@,'%H%M%S')";
        case 13: return u"strftime('%H%M%S',@)";
        default: return u"TO_CHAR(@,'HH24MISS')";
      }
    case kHhmmssccc:
      switch (kind) {
        case 2: return u"REPLACE(REPLACE(CONVERT(varchar(12),@,114),':',''),'.','')";
        case 4:
          return u"STUFF(STUFF(CONVERT(VARCHAR(8),@,108), 3, 1, NULL), 5, 1, NULL)"
                 u"+SUBSTRING(CONVERT(CHAR(4), 1000+DATEPART(ms,@)),2,4)";
        case 5: return u"TIME_FORMAT(@,'%H%i%S%f')";
        case 6: return u"TO_CHAR(@,'HH24MISSMS')";
        case 7: return u"SUBSTR(REPLACE(REPLACE(CHAR(TIMESTAMP_ISO(@)), '-', ''), '.', ''),9,9)";
        case 8: return u"TO_CHAR(@,'HH24MISSMLS')";
        case 13: return u"REPLACE(strftime('%H%M%f',@),'.','')";
        default: break;  // kinds 3 and 11 depend on the digits asked for
      }
      // Concatenation is "||": "+" would add the texts as numbers and lose the milliseconds' digits.
      return serverMajor >= 9 ? u"TO_CHAR( CAST(@ AS TIMESTAMP),'HH24MISSFF3')" : u"(TO_CHAR(@,'HH24MISS')||'000')";
    case kYmdhmsccc:
      switch (kind) {
        case 2:
          return u"REPLACE(REPLACE(REPLACE(REPLACE(CONVERT(varchar(10),@,20),'-',''),' ',''),':',''),'.','')";
        case 3: return u"(FORMAT(@,'YYYYMMddHHmmss') + '000')";
        case 4:
          return u"(CONVERT(VARCHAR(8),@,112)+STUFF(STUFF(CONVERT(VARCHAR(8),@,108), 3, 1, NULL), 5, 1, NULL)"
                 u"+SUBSTRING(CONVERT(CHAR(4), 1000+DATEPART(ms,@)),2,4))";
        case 5: return u"SUBSTR(TIME_FORMAT(@,'%Y%m%d%H%i%S%f'), 1, 17)";
        case 6: return u"TO_CHAR(@,'YYYYMMDDHH24MISSMS')";
        case 7: return u"SUBSTR(REPLACE(REPLACE(CHAR(TIMESTAMP_ISO(@)), '-', ''), '.', ''),1,17)";
        case 8: return u"TO_CHAR(@,'YYYYMMDDHH24MISSMLS')";
        case 11: return u"TO_CHAR(@,'%Y%m%d%H%M%S%F3')";
        case 13: return u"REPLACE(strftime('%Y%m%d%H%M%f',@),'.','')";
        default: break;
      }
      return serverMajor >= 9 ? u"TO_CHAR( CAST(@ AS TIMESTAMP),'YYYYMMDDHH24MISSFF3')"
                              : u"(TO_CHAR(@,'YYYYMMDDHH24MISS')||'000')";
  }
  return nullptr;
}

std::u16string SubstituteOperand(const char16_t* form, const char16_t* operand) {
  std::u16string text;
  for (const char16_t* p = form; *p; ++p) {
    if (*p == u'@') {
      text += operand;
    } else {
      text += *p;
    }
  }
  return text;
}

}  // namespace

int CConnection::nDateTimePartExpression(CErrorHolder*, CSqlTextBuffer* out, const char16_t* operand,
                                         CColumnDescriptor& column) {
  out->Truncate(0);
  if (!operand) operand = u"";
  const std::uint32_t type = column.nGetType();
  const auto n = static_cast<std::int64_t>(column.nGetSize()) - 1;
  const std::uint32_t kind = m_nDbmsKind;
  EDigitForm form;
  if (type == COLUMN_TYPE_DATE) {
    form = kYmd;
  } else if (type == COLUMN_TYPE_DATETIME) {
    form = kYmdhmsccc;
  } else if (type == COLUMN_TYPE_TIME && n == 4) {
    form = kind == 2 ? kHhmmss : kHhmm;
  } else if (type == COLUMN_TYPE_TIME && (n == 5 || n == 6)) {
    form = kHhmmss;
  } else if (type == COLUMN_TYPE_TIME && n >= 7 && n <= 9) {
    form = kHhmmssccc;
  } else {
    out->Append(operand, -1);
    return 0;
  }
  std::u16string expression;
  bool cut = false;
  if (form == kHhmmssccc && kind == 3) {
    // Zeros appended instead of a cut.
    expression = u"(FORMAT(" + std::u16string(operand) + u",'HHmmss') + '" + std::u16string(n - 6, u'0') + u"')";
  } else if (form == kHhmmssccc && kind == 11) {
    CTString text;
    text.Format(u"TO_CHAR(%s,'%%H%%M%%S%%F%d')", operand, static_cast<int>(n - 6));
    expression = text.pszGet();
    cut = n < 9;
  } else {
    expression = SubstituteOperand(pszDigitForm(kind, form, m_nServerMajor), operand);
    if (form == kHhmmss) cut = n < 6;
    if (form == kHhmmssccc) cut = n < 9 || kind == 5;
  }
  if (cut) {
    CTString text;
    text.Format(u"%s(%s, 1, %d)", kind >= 2 && kind <= 4 ? u"SUBSTRING" : u"SUBSTR", expression.c_str(),
                static_cast<int>(n));
    expression = text.pszGet();
  }
  out->Append(expression.c_str(), static_cast<std::int64_t>(expression.size()));
  return 1;
}

// ---- quoting and splitting ----

namespace {

// Oracle's SQL reserved words: named unquoted they are read as the word, so a table or column named by one can only
// be reached quoted. Sorted for the search. The pseudo-columns among them (LEVEL, ROWID, ROWNUM, SYSDATE, UID, USER)
// are left out: a program that names one unquoted means the pseudo-column, which quotes would turn into a column
// the table does not have.
constexpr const char* kOracleReservedWords[] = {
    "ACCESS", "ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC",
    "AUDIT", "BETWEEN", "BY", "CHAR", "CHECK", "CLUSTER", "COLUMN", "COMMENT",
    "COMPRESS", "CONNECT", "CREATE", "CURRENT", "DATE", "DECIMAL", "DEFAULT", "DELETE",
    "DESC", "DISTINCT", "DROP", "ELSE", "EXCLUSIVE", "EXISTS", "FILE", "FLOAT",
    "FOR", "FROM", "GRANT", "GROUP", "HAVING", "IDENTIFIED", "IMMEDIATE", "IN",
    "INCREMENT", "INDEX", "INITIAL", "INSERT", "INTEGER", "INTERSECT", "INTO", "IS",
    "LIKE", "LOCK", "LONG", "MAXEXTENTS", "MINUS", "MLSLABEL", "MODE", "MODIFY",
    "NOAUDIT", "NOCOMPRESS", "NOT", "NOWAIT", "NULL", "NUMBER", "OF", "OFFLINE",
    "ON", "ONLINE", "OPTION", "OR", "ORDER", "PCTFREE", "PRIOR", "PRIVILEGES",
    "PUBLIC", "RAW", "RENAME", "RESOURCE", "REVOKE", "ROW", "ROWS", "SELECT",
    "SESSION", "SET", "SHARE", "SIZE", "SMALLINT", "START", "SUCCESSFUL", "SYNONYM",
    "TABLE", "THEN", "TO", "TRIGGER", "UNION", "UNIQUE", "UPDATE", "VALIDATE",
    "VALUES", "VARCHAR", "VARCHAR2", "VIEW", "WHENEVER", "WHERE", "WITH",
};

char16_t UpperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// Whether the n units of the name are a reserved word in any case: the server folds an unquoted name to upper case.
bool bIsReservedWord(const char16_t* name, std::size_t n) {
  char upper[16] = {};
  if (n == 0 || n >= sizeof upper) return false;
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t c = UpperAscii(name[i]);
    if (c < u'A' || c > u'Z') {
      if (c != u'2') return false;
    }
    upper[i] = static_cast<char>(c);
  }
  return std::binary_search(std::begin(kOracleReservedWords), std::end(kOracleReservedWords), upper,
                            [](const char* a, const char* b) { return std::string_view(a) < std::string_view(b); });
}

// The pseudo-columns: named unquoted they are the pseudo-column, so a real column of one of these names, which only
// the server's description can tell, is reached quoted.
constexpr const char* kOraclePseudoColumns[] = {"LEVEL", "ROWID", "ROWNUM", "SYSDATE", "UID", "USER"};

// Whether the server reads the name, written unquoted, as this very name: it folds an unquoted name to upper case and
// takes it only when it opens with a letter and goes on with letters, digits, "_", "$" and "#", and is no reserved
// word or pseudo-column. Letters beyond ASCII are taken as the server's own, but for the lower-case ones of
// Latin-1, which it would fold, and the degree sign, which it does not read unquoted.
bool bReadsUnquotedAsItself(const char16_t* name) {
  std::size_t n = 0;
  for (; name[n]; ++n) {
    const char16_t c = name[n];
    const bool latinLower = c >= 0xDF && c <= 0xFF && c != 0xF7;
    const bool upperLetter = (c >= u'A' && c <= u'Z') || (c >= 0x80 && c != u'\u00B0' && !latinLower);
    const bool follower = (c >= u'0' && c <= u'9') || c == u'_' || c == u'$' || c == u'#';
    if (!upperLetter && (n == 0 || !follower)) return false;
  }
  if (n == 0 || bIsReservedWord(name, n)) return false;
  return std::none_of(std::begin(kOraclePseudoColumns), std::end(kOraclePseudoColumns), [name, n](const char* word) {
    return std::char_traits<char>::length(word) == n && std::equal(name, name + n, word);
  });
}

// The end of one part of a qualified name: its "." or its end. A period between double quotes is the name's own
// (the catalog lists SYSTEM's table "T.X" as SYSTEM."T.X").
const char16_t* pszPartEnd(const char16_t* part) {
  bool quoted = false;
  const char16_t* end = part;
  for (; *end && (quoted || *end != u'.'); ++end) {
    if (*end == u'"') quoted = !quoted;
  }
  // A quote that never closes holds no period: the part ends at the first one, as if the quote were a letter.
  if (quoted) {
    for (end = part; *end && *end != u'.'; ++end) {
    }
  }
  return end;
}

// A name built short (memory refused part-way) would name another object: it fails whole, leaving nothing.
int nTakeWhole(CTString& built, std::size_t expected, CTString& out) {
  if (built.nGetLength() != expected) {
    out.Empty();
    return 0;
  }
  out = static_cast<CTString&&>(built);
  return 1;
}

bool bStartsWith(const char16_t* text, const CTString& prefix, std::uint32_t length) {
  for (std::uint32_t i = 0; i < length; ++i) {
    if (text[i] != prefix.nGetAt(i)) return false;
  }
  return true;
}

}  // namespace

bool CConnection::bNeedsQuotes(const char16_t* name, bool exactCase) const {
  if (m_nOpeningQuoteLength == 0 && m_nClosingQuoteLength == 0) return false;
  // The server's own name is never written quoted already: a quote that opens it is part of it.
  if (m_nDbmsKind == 1 && exactCase) return !bReadsUnquotedAsItself(name);
  if (m_nDbmsKind == 1) {
    // Oracle folds unquoted names to upper case, so only names it could not read unquoted are quoted.
    if (name[0] == u'"' || name[0] == u'[') return false;
    // A double quote inside a name, a reserved word, and any other sign the server reads as one of SQL's (the "%"
    // of a LIKE pattern, "/", "+", ...) cannot be read unquoted either. "." parts a qualified name and "@" names a
    // database link; a star and brackets are left as they are.
    bool special = name[0] == u'_' || bIsReservedWord(name, std::char_traits<char16_t>::length(name));
    for (const char16_t* p = name; *p && !special; ++p) {
      const char16_t c = UpperAscii(*p);
      special = *p == u'\u00B0' ||
                (c < 0x80 && !(c >= u'A' && c <= u'Z') && !(c >= u'0' && c <= u'9') &&
                 std::u16string_view(u"_$#.@*()[]").find(c) == std::u16string_view::npos);
    }
    if (!special) return false;
  }
  const std::size_t length = std::char_traits<char16_t>::length(name);
  return !(m_nOpeningQuoteLength > 0 && length >= m_nOpeningQuoteLength &&
           bStartsWith(name, m_strOpeningQuote, m_nOpeningQuoteLength));
}

// A name that needs no quotes is copied as it is; a copy that could not be made empties the output and fails, as
// an empty name would name nothing.
static int bCopyWhole(const char16_t* name, CTString& out) {
  out = name;
  if (out.nGetLength() == std::char_traits<char16_t>::length(name)) return 1;
  out.Empty();
  return 0;
}

int CConnection::nQuoteIdentifier(CErrorHolder*, const char16_t* name, CTString& out, bool bExactCase) {
  if (!name) name = u"";
  if (!bNeedsQuotes(name, bExactCase)) return bCopyWhole(name, out);
  // A program names a reserved-word column in any case, as it names every other; the server made it upper case
  // unless it was created quoted in another, which only a name the server gave tells.
  const bool fold = !bExactCase && m_nDbmsKind == 1 && bIsReservedWord(name, std::char_traits<char16_t>::length(name));
  // A closing quote inside the name is doubled, as SQL reads a quoted name: written once it would end the name there
  // and leave the rest of it as statement text.
  const char16_t* close = m_strClosingQuote.pszGet();
  const std::size_t closeLength = m_strClosingQuote.nGetLength();
  CTString quoted(m_strOpeningQuote);
  std::size_t expected = m_strOpeningQuote.nGetLength() + closeLength;
  for (const char16_t* p = name; *p;) {
    if (closeLength > 0 && std::char_traits<char16_t>::compare(p, close, closeLength) == 0) {
      quoted.AppendN(close, static_cast<std::int64_t>(closeLength));
      quoted.AppendN(close, static_cast<std::int64_t>(closeLength));
      expected += 2 * closeLength;
      p += closeLength;
    } else {
      quoted.AppendChar(fold ? UpperAscii(*p++) : *p++);
      ++expected;
    }
  }
  quoted.Append(close);
  return nTakeWhole(quoted, expected, out);
}

int CConnection::nServerHeldName(CErrorHolder* holder, const char16_t* name, CTString& out) {
  CTString written;
  if (!nQuoteIdentifier(holder, name, written)) {
    out.Empty();
    return 0;
  }
  const char16_t* text = written.pszGet();
  std::size_t end = written.nGetLength();
  const std::size_t closeLength = m_nClosingQuoteLength;
  const bool quoted = m_nOpeningQuoteLength > 0 && closeLength > 0 && end >= m_nOpeningQuoteLength + closeLength &&
                      bStartsWith(text, m_strOpeningQuote, m_nOpeningQuoteLength) &&
                      bStartsWith(text + end - closeLength, m_strClosingQuote, m_nClosingQuoteLength);
  std::size_t start = 0;
  if (quoted) {
    start = m_nOpeningQuoteLength;
    end -= closeLength;
  }
  const char16_t* close = m_strClosingQuote.pszGet();
  CTString held;
  std::size_t expected = 0;
  for (std::size_t i = start; i < end; ++i, ++expected) {
    char16_t c = text[i];
    if (quoted) {
      // A closing quote inside is written doubled: the server holds one.
      if (std::char_traits<char16_t>::compare(text + i, close, closeLength) == 0 && i + 2 * closeLength <= end) {
        held.AppendN(close, static_cast<std::int64_t>(closeLength));
        expected += closeLength - 1;
        i += 2 * closeLength - 1;
        continue;
      }
    } else if (m_nDbmsKind == 1) {
      c = FoldBareNameUnit(c);
    }
    held.AppendChar(c);
  }
  return nTakeWhole(held, expected, out);
}

int CConnection::nQuoteDottedName(CErrorHolder* holder, const char16_t* name, CTString& out) {
  if (!name) name = u"";
  bool needed = bNeedsQuotes(name);
  // A reserved word, or a part opening with "_", is one part of a qualified name: the whole is neither.
  const bool quotesParts = m_nDbmsKind == 1 && m_nOpeningQuoteLength > 0 && name[0] != u'"' && name[0] != u'[';
  for (const char16_t* part = name; !needed && quotesParts && *part;) {
    const char16_t* end = pszPartEnd(part);
    needed = *part == u'_' || bIsReservedWord(part, static_cast<std::size_t>(end - part));
    part = *end ? end + 1 : end;
  }
  if (!needed) return bCopyWhole(name, out);
  CTString result;
  const char16_t* part = name;
  for (;;) {
    const char16_t* end = pszPartEnd(part);
    const std::size_t pieceLength = static_cast<std::size_t>(end - part);
    CTString piece(part, pieceLength);
    CTString quoted;
    // A part that could not be copied or quoted, or a result left short, fails the whole name: a caller that wrote
    // what came back would name another object.
    const std::size_t before = result.nGetLength();
    if (piece.nGetLength() != pieceLength || !nQuoteIdentifier(holder, piece.pszGet(), quoted)) {
      out.Empty();
      return 0;
    }
    result.Append(quoted.pszGet());
    bool whole = result.nGetLength() == before + quoted.nGetLength();
    if (*end) {
      result.AppendChar(u'.');
      whole = whole && result.nGetLength() == before + quoted.nGetLength() + 1;
    }
    if (!whole) {
      out.Empty();
      return 0;
    }
    if (!*end) break;
    part = end + 1;
  }
  out = static_cast<CTString&&>(result);
  return 1;
}
int CConnection::nSplitQualifiedName(CTString& first, CTString& second, CTString& third, const char16_t* name) {
  first.Empty();
  second.Empty();
  third.Empty();
  if (!name) return 1;
  bool whole = true;
  const auto take = [&whole](CTString& piece, const char16_t* text, std::size_t n) {
    piece.AssignN(text, n);
    whole = whole && piece.nGetLength() == n;
  };
  const char16_t* dot1 = pszPartEnd(name);
  if (!*dot1) {
    take(third, name, static_cast<std::size_t>(dot1 - name));
  } else {
    const char16_t* dot2 = pszPartEnd(dot1 + 1);
    if (!*dot2) {
      take(second, name, static_cast<std::size_t>(dot1 - name));
    } else {
      take(first, name, static_cast<std::size_t>(dot1 - name));
      take(second, dot1 + 1, static_cast<std::size_t>(dot2 - dot1 - 1));
      dot1 = dot2;
    }
    take(third, dot1 + 1, std::char_traits<char16_t>::length(dot1 + 1));
  }
  first.TrimRight();
  second.TrimRight();
  third.TrimRight();
  return whole ? 1 : 0;
}
