#include "standin/runtime/value_engine.h"

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>

#include "foundation/currency.h"
#include "foundation/date_time.h"
#include "host/host_string.h"
#include "host/host_type.h"
#include "standin/runtime/runtime_code_page.h"
#include "standin/runtime/decimal.h"
#include "standin/runtime/proxy.h"
#include "standin/runtime/services.h"

namespace qzrt::engine {

namespace {

std::atomic<std::uint64_t> gConversions{0};

enum class Kind { kNumber, kReal, kText, kDateTime, kBinary };

struct Datum {
  Kind kind = Kind::kNumber;
  Decimal number;
  double real = 0;
  std::u16string text;
  CHostDateTime dateTime{};
  std::string bytes;
};

template <class T>
T LoadAt(const void* storage, std::size_t offset = 0) {
  T value;
  std::memcpy(&value, static_cast<const char*>(storage) + offset, sizeof(T));
  return value;
}

template <class T>
void StoreAt(void* result, const T& value) {
  std::memcpy(result, &value, sizeof(T));
}

Datum Number(const Decimal& value) {
  Datum datum;
  datum.number = value;
  return datum;
}

Datum Real(double value) {
  Datum datum;
  datum.kind = Kind::kReal;
  datum.real = value;
  return datum;
}

Datum Text(std::u16string text) {
  Datum datum;
  datum.kind = Kind::kText;
  datum.text = std::move(text);
  return datum;
}

template <class Unit>
std::size_t BoundedLength(const Unit* text, std::size_t limit) {
  std::size_t n = 0;
  while (n < limit && text[n]) ++n;
  return n;
}

std::u16string HeapWide(const char16_t* text) {
  return text ? std::u16string(text) : std::u16string();
}

std::int32_t Read(const void* storage, std::uint32_t type, Datum& out) {
  switch (type) {
    case HOST_TYPE_UINT32_RAW:
    case HOST_TYPE_UINT32: out = Number(Decimal::FromUInt(LoadAt<std::uint32_t>(storage))); return HOST_OK;
    case HOST_TYPE_UINT8: out = Number(Decimal::FromUInt(LoadAt<std::uint8_t>(storage))); return HOST_OK;
    case HOST_TYPE_UINT16: out = Number(Decimal::FromUInt(LoadAt<std::uint16_t>(storage))); return HOST_OK;
    case HOST_TYPE_UINT64: out = Number(Decimal::FromUInt(LoadAt<std::uint64_t>(storage))); return HOST_OK;
    case HOST_TYPE_INT8: out = Number(Decimal::FromInt(LoadAt<std::int8_t>(storage))); return HOST_OK;
    case HOST_TYPE_INT16: out = Number(Decimal::FromInt(LoadAt<std::int16_t>(storage))); return HOST_OK;
    case HOST_TYPE_INT32: out = Number(Decimal::FromInt(LoadAt<std::int32_t>(storage))); return HOST_OK;
    case HOST_TYPE_INT64:
    case HOST_TYPE_INT64_ALT:
    case HOST_TYPE_VALUE8: out = Number(Decimal::FromInt(LoadAt<std::int64_t>(storage))); return HOST_OK;
    case HOST_TYPE_CURRENCY: {
      char16_t text[CCurrency::kTextSize];
      LoadAt<CCurrency>(storage).FormatText(text);
      out = Number({});
      return Decimal::Parse(text, out.number) ? HOST_OK : HOST_ERR_CANNOT_CONVERT;
    }
    case HOST_TYPE_FLOAT: out = Real(LoadAt<float>(storage)); return HOST_OK;
    case HOST_TYPE_DOUBLE: out = Real(LoadAt<double>(storage)); return HOST_OK;
    case HOST_TYPE_PROXY_HANDLE: {
      const auto* handle = LoadAt<const services::DecimalHandle*>(storage);
      if (!handle) return HOST_ERR_CANNOT_CONVERT;
      out = Number(handle->Value());
      return HOST_OK;
    }
    case HOST_TYPE_WSTRING: {
      const auto* characters = LoadAt<const char16_t*>(storage);
      out = Text(std::u16string(characters ? characters : u"", services::RuntimeStringLength(characters) / 2));
      return HOST_OK;
    }
    case HOST_TYPE_TEXT_BUFFER: {
      const auto* bytes = LoadAt<const char*>(storage);
      out = Text(WidenRuntime(bytes ? bytes : "", services::RuntimeStringLength(bytes)));
      return HOST_OK;
    }
    case HOST_TYPE_BINARY_BUFFER: {
      const auto* bytes = LoadAt<const char*>(storage);
      out.kind = Kind::kBinary;
      out.bytes.assign(bytes ? bytes : "", services::RuntimeStringLength(bytes));
      return HOST_OK;
    }
    case HOST_TYPE_ASTRING: {
      const auto* bytes = LoadAt<const char*>(storage);
      out = Text(bytes ? WidenRuntime(bytes, std::strlen(bytes)) : std::u16string());
      return HOST_OK;
    }
    case HOST_TYPE_TEXT: out = Text(HeapWide(LoadAt<const char16_t*>(storage))); return HOST_OK;
    case HOST_TYPE_ACHAR: {
      const char byte = LoadAt<char>(storage);
      out = Text(WidenRuntime(&byte, byte ? 1 : 0));
      return HOST_OK;
    }
    case HOST_TYPE_WCHAR: {
      const auto unit = LoadAt<char16_t>(storage);
      out = Text(unit ? std::u16string(1, unit) : std::u16string());
      return HOST_OK;
    }
    case HOST_TYPE_WDATE:
    case HOST_TYPE_WTIME: {
      char16_t units[10] = {};
      std::memcpy(units, storage, type == HOST_TYPE_WDATE ? 16 : 18);
      out = Text(std::u16string(units, BoundedLength(units, type == HOST_TYPE_WDATE ? 8 : 9)));
      return HOST_OK;
    }
    case HOST_TYPE_ADATE:
    case HOST_TYPE_ATIME: {
      char bytes[10] = {};
      std::memcpy(bytes, storage, type == HOST_TYPE_ADATE ? 8 : 9);
      out = Text(WidenRuntime(bytes, BoundedLength(bytes, type == HOST_TYPE_ADATE ? 8 : 9)));
      return HOST_OK;
    }
    case HOST_TYPE_DATETIME:
      out.kind = Kind::kDateTime;
      out.dateTime = LoadAt<CHostDateTime>(storage);
      return HOST_OK;
    case HOST_TYPE_PAIR29: {
      const auto* bytes = LoadAt<const char*>(storage);
      const auto size = LoadAt<std::uint64_t>(storage, sizeof(void*));
      // Too long for any runtime string: refused before a byte is read.
      if (size >= HOST_STRING_LIMIT) return HOST_ERR_TOO_LONG;
      out.kind = Kind::kBinary;
      out.bytes.assign(bytes && size ? bytes : "", bytes ? static_cast<std::size_t>(size) : 0);
      return HOST_OK;
    }
    default: return HOST_ERR_NOT_SUPPORTED;
  }
}

// ---- the forms a datum can be given in ------------------------------------------------------------------------

std::u16string RealText(double value) {
  char text[40];
  for (int precision = 1; precision <= 17; ++precision) {
    std::snprintf(text, sizeof(text), "%.*g", precision, value);
    if (std::strtod(text, nullptr) == value) break;
  }
  return std::u16string(text, text + std::strlen(text));
}

bool IsZeroDateTime(const CHostDateTime& value) {
  return value.m_nYear == 0 && value.m_nMonth == 0 && value.m_nDay == 0 && value.m_nMillisecond == 0;
}

std::u16string DateTimeText(const CHostDateTime& value) {
  if (IsZeroDateTime(value)) return {};
  char16_t date[9];
  char16_t time[10];
  value.FormatDateW(date, 8);
  value.FormatTimeW(time, 9);
  return std::u16string(date) + time;
}

// The separator a program's locale gives numbers written as text; set by tests, read by conversions.
std::atomic<char16_t> gDecimalSeparator{u'.'};

std::u16string WithDecimalSeparator(std::u16string text) {
  const char16_t separator = gDecimalSeparator.load();
  if (separator != u'.') std::replace(text.begin(), text.end(), u'.', separator);
  return text;
}

std::u16string TextOf(const Datum& datum) {
  switch (datum.kind) {
    case Kind::kNumber: return WithDecimalSeparator(datum.number.Format());
    case Kind::kReal: return WithDecimalSeparator(RealText(datum.real));
    case Kind::kText: return datum.text;
    case Kind::kDateTime: return DateTimeText(datum.dateTime);
    case Kind::kBinary: return WidenRuntime(datum.bytes.data(), datum.bytes.size());
  }
  return {};
}

std::int32_t NumberOf(const Datum& datum, Decimal& out) {
  switch (datum.kind) {
    case Kind::kNumber: out = datum.number; return HOST_OK;
    case Kind::kReal: return Decimal::FromDouble(datum.real, out) ? HOST_OK : HOST_ERR_CANNOT_CONVERT;
    case Kind::kText: return Decimal::Parse(datum.text, out) ? HOST_OK : HOST_ERR_CANNOT_CONVERT;
    default: return HOST_ERR_CANNOT_CONVERT;
  }
}

std::int32_t RealOf(const Datum& datum, double& out) {
  if (datum.kind == Kind::kReal) {
    out = datum.real;
    return HOST_OK;
  }
  if (datum.kind == Kind::kText) {
    // The syntax is the decimal one; the value is read at full range so that 1e300 stays a real.
    Decimal syntax;
    const std::string narrow = NarrowRuntime(datum.text);
    char* end = nullptr;
    out = std::strtod(narrow.c_str(), &end);
    if (!Decimal::Parse(datum.text, syntax) && (end == narrow.c_str() || *end != '\0')) return HOST_ERR_CANNOT_CONVERT;
    return std::isfinite(out) ? HOST_OK : HOST_ERR_CANNOT_CONVERT;
  }
  Decimal number;
  if (const std::int32_t code = NumberOf(datum, number); code != HOST_OK) return code;
  out = number.ToDouble();
  return HOST_OK;
}

// Date-time texts: the digits of YYYYMMDD, HHMMSS, HHMMSSmmm, YYYYMMDDHHMMSS or YYYYMMDDHHMMSSmmm, with any of
// " -:./T" between them; an empty text is the date-time that is not set.
bool ParseDateTime(const std::u16string& text, CHostDateTime& out) {
  std::string digits;
  for (char16_t c : text) {
    if (c >= u'0' && c <= u'9') {
      digits.push_back(static_cast<char>(c));
    } else if (std::u16string_view(u" -:./T").find(c) == std::u16string_view::npos) {
      return false;
    }
  }
  auto number = [&](std::size_t at, std::size_t count) { return std::stoi(digits.substr(at, count)); };
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
  std::size_t time = std::string::npos;
  switch (digits.size()) {
    case 0: out = {}; return true;
    case 8: case 14: case 17: time = 8; break;
    case 6: case 9: time = 0; break;
    default: return false;
  }
  if (time == 8) {
    year = number(0, 4);
    month = number(4, 2);
    day = number(6, 2);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > nDaysInMonth(month, year)) return false;
  }
  if (digits.size() > time) {
    hour = number(time, 2);
    minute = number(time + 2, 2);
    second = number(time + 4, 2);
    if (digits.size() - time == 9) millisecond = number(time + 6, 3);
    if (hour > 23 || minute > 59 || second > 59) return false;
  }
  out.m_nYear = static_cast<std::uint16_t>(year);
  out.m_nMonth = static_cast<std::uint8_t>(month);
  out.m_nDay = static_cast<std::uint8_t>(day);
  out.m_nMillisecond = static_cast<std::uint32_t>(((hour * 60 + minute) * 60 + second) * 1000 + millisecond);
  return true;
}

std::int32_t DateTimeOf(const Datum& datum, CHostDateTime& out) {
  if (datum.kind == Kind::kDateTime) {
    out = datum.dateTime;
    return HOST_OK;
  }
  if (datum.kind == Kind::kText) return ParseDateTime(datum.text, out) ? HOST_OK : HOST_ERR_CANNOT_CONVERT;
  return HOST_ERR_CANNOT_CONVERT;
}

std::int32_t BytesOf(const Datum& datum, std::string& out) {
  if (datum.kind == Kind::kBinary) {
    out = datum.bytes;
    return HOST_OK;
  }
  if (datum.kind != Kind::kText) return HOST_ERR_CANNOT_CONVERT;
  out = NarrowRuntime(datum.text);
  return HOST_OK;
}

// ---- writing the target ----------------------------------------------------------------------------------------

template <class T>
std::int32_t WriteInteger(const Datum& datum, void* result) {
  Decimal number;
  if (const std::int32_t code = NumberOf(datum, number); code != HOST_OK) return code;
  if constexpr (std::is_signed_v<T>) {
    std::int64_t value = 0;
    if (!number.ToInt64(value) || value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) {
      return HOST_ERR_CANNOT_CONVERT;
    }
    StoreAt<T>(result, static_cast<T>(value));
  } else {
    std::uint64_t value = 0;
    if (!number.ToUInt64(value) || value > std::numeric_limits<T>::max()) return HOST_ERR_CANNOT_CONVERT;
    StoreAt<T>(result, static_cast<T>(value));
  }
  return HOST_OK;
}

std::int32_t WriteCurrency(const Datum& datum, void* result) {
  CCurrency value{};
  if (datum.kind == Kind::kReal) {
    if (!value.bFromDouble(datum.real)) return HOST_ERR_CANNOT_CONVERT;
  } else {
    Decimal number;
    if (const std::int32_t code = NumberOf(datum, number); code != HOST_OK) return code;
    number.Rescale(CCurrency::kDecimals);
    if (!value.bFromText(number.Format().c_str())) return HOST_ERR_CANNOT_CONVERT;
  }
  StoreAt(result, value);
  return HOST_OK;
}

std::int32_t WriteRuntimeString(const void* bytes, std::size_t size, std::size_t units, void* result) {
  if (units >= HOST_STRING_LIMIT) return HOST_ERR_TOO_LONG;
  void* string = nullptr;
  const std::int32_t code = services::nNewRuntimeString(bytes, static_cast<std::uint32_t>(size), &string);
  StoreAt<void*>(result, string);
  // The allocator's own codes lie below 100, where a conversion's result reads as success: a string that could not
  // be made is the conversion's out-of-memory failure (100).
  return code == HOST_OK ? HOST_OK : HOST_ERR_FIRST;
}

std::int32_t WriteDigits(const Datum& datum, std::uint32_t target, void* result) {
  CHostDateTime value{};
  if (const std::int32_t code = DateTimeOf(datum, value); code != HOST_OK) return code;
  const bool date = target == HOST_TYPE_WDATE || target == HOST_TYPE_ADATE;
  char16_t digits[10] = {};
  if (date) {
    if (value.m_nYear != 0) value.FormatDateW(digits, 8);
  } else {
    value.FormatTimeW(digits, 9);
  }
  if (target == HOST_TYPE_WDATE || target == HOST_TYPE_WTIME) {
    std::memcpy(result, digits, sizeof(digits));
  } else {
    const std::string narrow = NarrowRuntime(digits);
    std::memcpy(result, narrow.c_str(), narrow.size() + 1);
  }
  return HOST_OK;
}

std::int32_t Write(const Datum& datum, std::uint32_t target, void* result) {
  switch (target) {
    case HOST_TYPE_UINT32_RAW:
    case HOST_TYPE_UINT32: return WriteInteger<std::uint32_t>(datum, result);
    case HOST_TYPE_UINT8: return WriteInteger<std::uint8_t>(datum, result);
    case HOST_TYPE_UINT16: return WriteInteger<std::uint16_t>(datum, result);
    case HOST_TYPE_UINT64: return WriteInteger<std::uint64_t>(datum, result);
    case HOST_TYPE_INT8: return WriteInteger<std::int8_t>(datum, result);
    case HOST_TYPE_INT16: return WriteInteger<std::int16_t>(datum, result);
    case HOST_TYPE_INT32: return WriteInteger<std::int32_t>(datum, result);
    case HOST_TYPE_INT64:
    case HOST_TYPE_INT64_ALT:
    case HOST_TYPE_VALUE8: return WriteInteger<std::int64_t>(datum, result);
    case HOST_TYPE_CURRENCY: return WriteCurrency(datum, result);
    case HOST_TYPE_FLOAT:
    case HOST_TYPE_DOUBLE: {
      double value = 0;
      if (const std::int32_t code = RealOf(datum, value); code != HOST_OK) return code;
      if (target == HOST_TYPE_DOUBLE) {
        StoreAt(result, value);
        return HOST_OK;
      }
      if (std::fabs(value) > FLT_MAX) return HOST_ERR_CANNOT_CONVERT;
      StoreAt(result, static_cast<float>(value));
      return HOST_OK;
    }
    case HOST_TYPE_PROXY_HANDLE: {
      Decimal number;
      if (const std::int32_t code = NumberOf(datum, number); code != HOST_OK) return code;
      services::DecimalHandle* handle = services::TheProxy().pCreateHandle(0, number.DigitCount(), number.Scale());
      handle->SetValue(number);
      StoreAt(result, handle);
      return HOST_OK;
    }
    case HOST_TYPE_WSTRING: {
      const std::u16string text = TextOf(datum);
      return WriteRuntimeString(text.data(), text.size() * 2, text.size(), result);
    }
    case HOST_TYPE_TEXT_BUFFER: {
      const std::string text = NarrowRuntime(TextOf(datum));
      return WriteRuntimeString(text.data(), text.size(), text.size(), result);
    }
    case HOST_TYPE_BINARY_BUFFER: {
      std::string bytes;
      if (const std::int32_t code = BytesOf(datum, bytes); code != HOST_OK) return code;
      return WriteRuntimeString(bytes.data(), bytes.size(), bytes.size(), result);
    }
    case HOST_TYPE_ASTRING: {
      const std::string text = NarrowRuntime(TextOf(datum));
      char* copy = static_cast<char*>(std::malloc(text.size() + 1));
      if (!copy) return HOST_ERR_TOO_LONG;
      std::memcpy(copy, text.c_str(), text.size() + 1);
      StoreAt(result, copy);
      return HOST_OK;
    }
    case HOST_TYPE_TEXT: {
      const std::u16string text = TextOf(datum);
      auto* copy = static_cast<char16_t*>(std::malloc((text.size() + 1) * sizeof(char16_t)));
      if (!copy) return HOST_ERR_TOO_LONG;
      std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(char16_t));
      StoreAt(result, copy);
      return HOST_OK;
    }
    case HOST_TYPE_ACHAR: {
      const std::string text = NarrowRuntime(TextOf(datum));
      StoreAt<char>(result, text.empty() ? '\0' : text[0]);
      return HOST_OK;
    }
    case HOST_TYPE_WCHAR: {
      const std::u16string text = TextOf(datum);
      StoreAt<char16_t>(result, text.empty() ? u'\0' : text[0]);
      return HOST_OK;
    }
    case HOST_TYPE_WDATE:
    case HOST_TYPE_WTIME:
    case HOST_TYPE_ADATE:
    case HOST_TYPE_ATIME: return WriteDigits(datum, target, result);
    case HOST_TYPE_DATETIME: {
      CHostDateTime value{};
      if (const std::int32_t code = DateTimeOf(datum, value); code != HOST_OK) return code;
      StoreAt(result, value);
      return HOST_OK;
    }
    default: return HOST_ERR_NOT_SUPPORTED;
  }
}

bool IsNumeric(const Datum& datum) { return datum.kind == Kind::kNumber || datum.kind == Kind::kReal; }

template <class T>
std::int32_t Order(const T& a, const T& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

std::int32_t CompareData(const Datum& a, const Datum& b, std::int32_t& out) {
  if (IsNumeric(a) || IsNumeric(b)) {
    if (a.kind == Kind::kReal || b.kind == Kind::kReal) {
      double x = 0, y = 0;
      if (RealOf(a, x) != HOST_OK || RealOf(b, y) != HOST_OK) return HOST_ERR_CANNOT_CONVERT;
      out = Order(x, y);
      return HOST_OK;
    }
    Decimal x, y;
    if (NumberOf(a, x) != HOST_OK || NumberOf(b, y) != HOST_OK) return HOST_ERR_CANNOT_CONVERT;
    out = x.Compare(y);
    return HOST_OK;
  }
  if (a.kind == Kind::kDateTime || b.kind == Kind::kDateTime) {
    CHostDateTime x{}, y{};
    if (DateTimeOf(a, x) != HOST_OK || DateTimeOf(b, y) != HOST_OK) return HOST_ERR_CANNOT_CONVERT;
    const auto key = [](const CHostDateTime& v) {
      return (static_cast<std::uint64_t>(v.m_nYear) << 48) | (static_cast<std::uint64_t>(v.m_nMonth) << 40) |
             (static_cast<std::uint64_t>(v.m_nDay) << 32) | v.m_nMillisecond;
    };
    out = Order(key(x), key(y));
    return HOST_OK;
  }
  if (a.kind == Kind::kBinary || b.kind == Kind::kBinary) {
    std::string x, y;
    if (BytesOf(a, x) != HOST_OK || BytesOf(b, y) != HOST_OK) return HOST_ERR_CANNOT_CONVERT;
    out = Order(x, y);
    return HOST_OK;
  }
  out = Order(a.text, b.text);
  return HOST_OK;
}

}  // namespace

std::int32_t Convert(const void* storage, std::uint32_t type, void* result, std::uint32_t target) {
  gConversions.fetch_add(1, std::memory_order_relaxed);
  Datum datum;
  if (const std::int32_t code = Read(storage, type & HOST_TYPE_CODE_MASK, datum); code != HOST_OK) return code;
  return Write(datum, target & HOST_TYPE_CODE_MASK, result);
}

void Finish(void* result, std::uint32_t target) {
  switch (target & HOST_TYPE_CODE_MASK) {
    case HOST_TYPE_PROXY_HANDLE: services::TheProxy().ReleaseHandle(LoadAt<services::DecimalHandle*>(result)); break;
    case HOST_TYPE_ASTRING:
    case HOST_TYPE_TEXT: std::free(LoadAt<void*>(result)); break;
    case HOST_TYPE_WSTRING:
    case HOST_TYPE_TEXT_BUFFER:
    case HOST_TYPE_BINARY_BUFFER: services::ReleaseRuntimeString(LoadAt<void*>(result)); break;
    default: break;
  }
}

std::int32_t Compare(const void* storageA, std::uint32_t typeA, const void* storageB, std::uint32_t typeB,
                      std::int32_t* out) {
  if ((typeA | typeB) & HOST_VALUE_FLAG_NULL) return HOST_ERR_NULL_OPERAND;
  Datum a, b;
  if (const std::int32_t code = Read(storageA, typeA & HOST_TYPE_CODE_MASK, a); code != HOST_OK) return code;
  if (const std::int32_t code = Read(storageB, typeB & HOST_TYPE_CODE_MASK, b); code != HOST_OK) return code;
  std::int32_t order = 0;
  const std::int32_t code = CompareData(a, b, order);
  if (code == HOST_OK && out) *out = order;
  return code;
}

std::int32_t Equal(const void* storageA, std::uint32_t typeA, const void* storageB, std::uint32_t typeB,
                    std::int32_t* out) {
  std::int32_t order = 0;
  const std::int32_t code = Compare(storageA, typeA, storageB, typeB, &order);
  if (code == HOST_OK && out) *out = order == 0 ? 1 : 0;
  return code;
}

void SetDecimalSeparator(char16_t separator) { gDecimalSeparator = separator; }

std::uint64_t ConversionCount() { return gConversions.load(std::memory_order_relaxed); }

}  // namespace qzrt::engine
