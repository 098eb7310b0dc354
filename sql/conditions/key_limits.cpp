#include "sql/conditions/key_limits.h"

#include <cstring>
#include <limits>
#include <vector>

#include "foundation/currency.h"
#include "foundation/date_time.h"
#include "host/host_services.h"
#include "host/host_string.h"
#include "host/host_value.h"
#include "sql/conditions/packed_key.h"

namespace {

// Type 26 and 27 values at or above this (day 30, month 12, year 9999, 23:59:59.999, read as one little-endian
// number) are maxima.
constexpr std::int64_t kDateTimeMaximumThreshold = 371085170734730270;
constexpr std::uint16_t kLimitYear = 3000;

template <class T>
void Put(CHostValue& value, T native) {
  value.Set(&native);
}

template <class T>
T Read(CHostValue& value) {
  T native{};
  value.nGet(&native);
  return native;
}

// The 8 bytes of a type 26 or 27 value as a little-endian signed number, whatever the machine's order.
std::int64_t nReadLittleEndian64(CHostValue& value) {
  std::uint8_t bytes[8] = {};
  value.nGet(bytes);
  std::uint64_t number = 0;
  for (int i = 7; i >= 0; --i) number = (number << 8) | bytes[i];
  return static_cast<std::int64_t>(number);
}

IHostProxyHandle* pDecimalHandle(CHostValue& value) {
  IHostProxyHandle* handle = nullptr;
  if (bHostFailed(value.nGet(&handle))) return nullptr;
  return handle;
}

template <class T>
void PutLimit(CHostValue& value, bool maximum) {
  Put<T>(value, maximum ? std::numeric_limits<T>::max() : std::numeric_limits<T>::lowest());
}

void SetTypeLimit(CHostValue& value, bool maximum) {
  const std::uint8_t type = value.nGetType();
  switch (type) {
    case HOST_TYPE_UINT32_RAW: case HOST_TYPE_UINT8: case HOST_TYPE_UINT16: case HOST_TYPE_UINT32:
    case HOST_TYPE_UINT64: case HOST_TYPE_INT8: case HOST_TYPE_INT16: case HOST_TYPE_INT32: case HOST_TYPE_INT64:
    case HOST_TYPE_VALUE8: case HOST_TYPE_CURRENCY: case HOST_TYPE_FLOAT: case HOST_TYPE_DOUBLE:
    case HOST_TYPE_PROXY_HANDLE: case HOST_TYPE_WDATE: case HOST_TYPE_WTIME: case HOST_TYPE_DATETIME:
    case HOST_TYPE_ADATE: case HOST_TYPE_ATIME:
      value.SetFlags(0);
      break;
    case HOST_TYPE_INT64_ALT:
      value.SetType(HOST_TYPE_UINT64);
      value.SetFlags(0);
      break;
    default:
      return;
  }
  switch (value.nGetType()) {
    case HOST_TYPE_UINT32_RAW: Put<std::uint32_t>(value, maximum ? 1 : 0); break;
    case HOST_TYPE_UINT8: PutLimit<std::uint8_t>(value, maximum); break;
    case HOST_TYPE_UINT16: PutLimit<std::uint16_t>(value, maximum); break;
    case HOST_TYPE_UINT32: PutLimit<std::uint32_t>(value, maximum); break;
    case HOST_TYPE_UINT64: PutLimit<std::uint64_t>(value, maximum); break;
    case HOST_TYPE_INT8: PutLimit<std::int8_t>(value, maximum); break;
    case HOST_TYPE_INT16: PutLimit<std::int16_t>(value, maximum); break;
    case HOST_TYPE_INT32: PutLimit<std::int32_t>(value, maximum); break;
    case HOST_TYPE_INT64: case HOST_TYPE_VALUE8: PutLimit<std::int64_t>(value, maximum); break;
    case HOST_TYPE_FLOAT: PutLimit<float>(value, maximum); break;
    case HOST_TYPE_DOUBLE: PutLimit<double>(value, maximum); break;
    case HOST_TYPE_CURRENCY: {
      // The highest currency is 2^79 - 1 millionths; the runtime's lowest is 0, not the most negative value.
      CCurrency currency{};
      currency.bFromText(maximum ? u"604462909807314587.353087" : u"0");
      value.Set(&currency);
      break;
    }
    case HOST_TYPE_PROXY_HANDLE:
      if (IHostProxyHandle* handle = pDecimalHandle(value)) {
        if (maximum) {
          handle->SetMaximum();
        } else {
          handle->SetMinimum();
        }
      }
      break;
    case HOST_TYPE_WDATE: value.Set(maximum ? u"30001231" : u""); break;
    case HOST_TYPE_WTIME: value.Set(maximum ? u"235959999" : u"0000"); break;
    case HOST_TYPE_ADATE: value.Set(maximum ? "30001231" : ""); break;
    case HOST_TYPE_ATIME: value.Set(maximum ? "235959999" : "0000"); break;
    case HOST_TYPE_DATETIME: {
      CHostDateTime limit{};
      if (maximum) {
        limit.SetYear(kLimitYear);
        limit.SetMonth(12);
        limit.SetDay(31);
      }
      value.Set(&limit);
      break;
    }
    default:
      break;
  }
}

template <class T>
int nNumberLimit(CHostValue& value) {
  const T number = Read<T>(value);
  if (number == std::numeric_limits<T>::lowest()) return KEY_LIMIT_MINIMUM;
  return number == std::numeric_limits<T>::max() ? KEY_LIMIT_MAXIMUM : KEY_LIMIT_NONE;
}

int nDecimalLimit(CHostValue& value) {
  for (const int limit : {KEY_LIMIT_MINIMUM, KEY_LIMIT_MAXIMUM}) {
    CHostValue copy;
    copy.Assign(value);
    SetTypeLimit(copy, limit == KEY_LIMIT_MAXIMUM);
    std::int32_t equal = 0;
    if (!bHostFailed(value.nEquals(copy, &equal)) && equal) return limit;
  }
  return KEY_LIMIT_NONE;
}

// The runtime marks the strings it filled up to the maximum in their header.
bool bMarkedMaximum(CHostValue& value) {
  CHostString shared;
  if (bHostFailed(value.nGet(&shared.Pointer())) || !shared.Pointer()) return false;
  return (CHostString::pHeader(shared.Pointer())->flags & HOST_STRING_FLAG_MAXIMUM) != 0;
}

// The characters of a text value and how many units of `unit` bytes it holds: up to its data size, and for the
// texts kept with a terminator up to the first zero unit within it (a date text of 8 digits may hold fewer).
struct STextUnits {
  std::uint8_t* pData = nullptr;
  std::size_t nUnits = 0;
  std::size_t nUnit = 1;
};

bool bTextUnitsOf(CHostValue& value, STextUnits& out) {
  const std::uint8_t type = value.nGetType();
  if (!bIsTextKeyHostType(type)) return false;
  const void* data = nullptr;
  std::int32_t code = HOST_OK;
  if (bIsUtf16KeyHostType(type)) {
    out.nUnit = 2;
    code = value.nGetWideText(reinterpret_cast<const char16_t**>(&data));
  } else {
    code = value.nGetNarrowText(reinterpret_cast<const char**>(&data));
  }
  std::size_t size = 0;
  if (bHostFailed(code) || !data || bHostFailed(value.nGetDataSize(&size))) return false;
  out.pData = static_cast<std::uint8_t*>(const_cast<void*>(data));
  out.nUnits = size / out.nUnit;
  if (type != HOST_TYPE_WSTRING && type != HOST_TYPE_TEXT_BUFFER) {
    for (std::size_t i = 0; i < out.nUnits; ++i) {
      const std::uint8_t* unit = out.pData + i * out.nUnit;
      if (unit[0] == 0 && (out.nUnit == 1 || unit[1] == 0)) {
        out.nUnits = i;
        break;
      }
    }
  }
  return true;
}

int nTextMaximum(CHostValue& value) {
  STextUnits text;
  if (!bTextUnitsOf(value, text) || text.nUnits == 0) return KEY_LIMIT_NONE;
  const std::uint8_t* last = text.pData + (text.nUnits - 1) * text.nUnit;
  const bool highest = text.nUnit == 1 ? last[0] == 0xFF : (last[0] == 0xFF && last[1] == 0xFF);
  return highest ? KEY_LIMIT_MAXIMUM : KEY_LIMIT_NONE;
}

// The last unit of a text becomes 0. The runtime's strings may be shared with the value the search came from, so
// they take a copy of their own rather than change the shared characters; the other texts belong to the value.
bool bClearLastUnit(CHostValue& value, const STextUnits& text) {
  const std::size_t last = (text.nUnits - 1) * text.nUnit;
  const std::uint8_t type = value.nGetType();
  if (type != HOST_TYPE_WSTRING && type != HOST_TYPE_TEXT_BUFFER) {
    std::memset(text.pData + last, 0, text.nUnit);
    return true;
  }
  std::vector<std::uint8_t> copy(text.pData, text.pData + last + text.nUnit);
  std::memset(copy.data() + last, 0, text.nUnit);
  return bHostStored(value.SetFromBuffer(copy.data(), copy.size()));
}

}  // namespace

void SetTypeMinimum(CHostValue& value) { SetTypeLimit(value, false); }
void SetTypeMaximum(CHostValue& value) { SetTypeLimit(value, true); }

int nClassifyLimitValue(CHostValue& value) {
  if (value.bIsNull()) return KEY_LIMIT_NONE;
  switch (value.nGetType()) {
    case HOST_TYPE_UINT8: return nNumberLimit<std::uint8_t>(value);
    case HOST_TYPE_UINT16: return nNumberLimit<std::uint16_t>(value);
    case HOST_TYPE_UINT32: return nNumberLimit<std::uint32_t>(value);
    case HOST_TYPE_UINT64: case HOST_TYPE_INT64_ALT: return nNumberLimit<std::uint64_t>(value);
    case HOST_TYPE_INT8: return nNumberLimit<std::int8_t>(value);
    case HOST_TYPE_INT16: return nNumberLimit<std::int16_t>(value);
    case HOST_TYPE_INT32: return nNumberLimit<std::int32_t>(value);
    case HOST_TYPE_INT64: return nNumberLimit<std::int64_t>(value);
    case HOST_TYPE_FLOAT: return nNumberLimit<float>(value);
    case HOST_TYPE_DOUBLE: return nNumberLimit<double>(value);
    case HOST_TYPE_PROXY_HANDLE: return nDecimalLimit(value);
    case HOST_TYPE_WSTRING: case HOST_TYPE_TEXT_BUFFER:
      return bMarkedMaximum(value) ? KEY_LIMIT_MAXIMUM : KEY_LIMIT_NONE;
    case HOST_TYPE_ACHAR: return Read<std::uint8_t>(value) == 0xFF ? KEY_LIMIT_MAXIMUM : KEY_LIMIT_NONE;
    case HOST_TYPE_WCHAR: return Read<std::uint16_t>(value) == 0xFFFF ? KEY_LIMIT_MAXIMUM : KEY_LIMIT_NONE;
    case HOST_TYPE_ASTRING: case HOST_TYPE_ADATE: case HOST_TYPE_ATIME: case HOST_TYPE_WDATE: case HOST_TYPE_WTIME:
    case HOST_TYPE_TEXT:
      return nTextMaximum(value);
    case HOST_TYPE_DATETIME: case HOST_TYPE_VALUE8: {
      const std::int64_t number = nReadLittleEndian64(value);
      if (number == 0) return KEY_LIMIT_MINIMUM;
      return number >= kDateTimeMaximumThreshold ? KEY_LIMIT_MAXIMUM : KEY_LIMIT_NONE;
    }
    default:
      return KEY_LIMIT_NONE;
  }
}

bool ClassifySearchValue(std::uint16_t columnHostType, CHostValue& value, bool& use, bool& isMin, bool& isMax) {
  const int limit = nClassifyLimitValue(value);
  isMin = limit == KEY_LIMIT_MINIMUM;
  isMax = limit == KEY_LIMIT_MAXIMUM;
  use = limit == KEY_LIMIT_NONE;
  if (!isMax || !bIsTextKeyHostType(columnHostType)) return true;
  // The unit is the value's own (a byte or a UTF-16 unit), whatever the column's: it is the value's data that is
  // cut. A value that is not a text has nothing to cut and bounds nothing, as a maximum on any other column. An
  // empty text has no last unit: it stays as it is.
  STextUnits text;
  if (!bTextUnitsOf(value, text) || text.nUnits == 0) return true;
  if (!bClearLastUnit(value, text)) {
    use = false;
    return false;
  }
  use = text.nUnits > 1;
  return true;
}
