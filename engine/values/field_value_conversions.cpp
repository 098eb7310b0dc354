// The field value's conversions: the hub that accepts any runtime value, the text, byte and boolean setters, the
// writers into a prepared buffer, the reader back into a runtime value, date-times as text in the session's date
// mask, date and time buffers filled from text of fixed layouts, and the packing of digit texts.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/values/field_value.h"
#include "foundation/code_pages.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/t_string.h"
#include "host/host_services.h"
#include "host/value_operations.h"
#include "platform/code_page.h"
#include "sql/connection.h"

namespace {

// The value types that take text as text: the text families and the digit forms of dates and times.
bool bIsTextTarget(std::uint8_t type) {
  return (type >= 16 && type <= 25) || type == 81 || type == 110 || type == 128 || type == 129 || type == 134;
}

bool bIsNumberType(std::uint8_t type) { return type >= 3 && type <= 14 && type != HOST_TYPE_PROXY_HANDLE; }

std::uint64_t nNarrowLength(const char* text, std::uint64_t length) {
  if (length != FIELD_LENGTH_TERMINATED) return length;
  return text ? std::strlen(text) : 0;
}

std::uint64_t nWideLength(const char16_t* text, std::uint64_t length) {
  if (length != FIELD_LENGTH_TERMINATED) return length;
  std::uint64_t n = 0;
  while (text && text[n]) ++n;
  return n;
}

int nClamp(std::uint64_t n) { return n > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(n); }

// The whole text converted, then as many whole characters as fit: a text too long for its buffer is cut, never left
// to what a conversion that ran out of room may have written. -1 when the text does not convert at all.
std::int64_t nWideToNarrowFitting(std::uint32_t codePage, const char16_t* text, std::uint64_t n, char* out,
                                  std::uint64_t capacity) {
  if (n == 0) return 0;
  const int needed = platform::WideToMultiByte(codePage, 0, text, nClamp(n), nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return -1;
  std::string converted(static_cast<std::size_t>(needed), '\0');
  if (platform::WideToMultiByte(codePage, 0, text, nClamp(n), converted.data(), needed, nullptr, nullptr) <= 0) {
    return -1;
  }
  const std::size_t taken = nWholeCharacterPrefix(codePage, converted.data(), converted.size(), capacity);
  std::memcpy(out, converted.data(), taken);
  return static_cast<std::int64_t>(taken);
}

std::int64_t nNarrowToWideFitting(std::uint32_t codePage, const char* text, std::uint64_t n, char16_t* out,
                                  std::uint64_t capacity) {
  if (n == 0) return 0;
  const int needed = platform::MultiByteToWide(codePage, 0, text, nClamp(n), nullptr, 0);
  if (needed <= 0) return -1;
  std::u16string converted(static_cast<std::size_t>(needed), u'\0');
  if (platform::MultiByteToWide(codePage, 0, text, nClamp(n), converted.data(), needed) <= 0) return -1;
  std::uint64_t taken = converted.size() < capacity ? converted.size() : capacity;
  // A surrogate pair is kept whole or left out.
  if (taken > 0 && taken < converted.size() && converted[taken - 1] >= 0xD800 && converted[taken - 1] < 0xDC00) {
    --taken;
  }
  std::memcpy(out, converted.data(), taken * 2);
  return static_cast<std::int64_t>(taken);
}

// UTF-8 text as UTF-16, empty when it is not valid UTF-8: a text that cannot be read is not stored as another.
std::u16string StrictWideOfUtf8(const char* text, std::uint64_t n) {
  std::u16string out;
  const std::uint32_t flags = platform::kMbErrInvalidChars;
  const int needed = platform::MultiByteToWide(platform::kCodePageUtf8, flags, text, nClamp(n), nullptr, 0);
  if (needed <= 0) return out;
  out.resize(static_cast<std::size_t>(needed));
  if (platform::MultiByteToWide(platform::kCodePageUtf8, flags, text, nClamp(n), out.data(), needed) <= 0) out.clear();
  return out;
}

// The boolean of a text: its first character; nothing, "0", "F" and "f" are false.
template <class Unit>
std::uint8_t nBooleanOfText(const Unit* text, std::uint64_t n) {
  const Unit first = text && n ? text[0] : Unit{0};
  return first == Unit{0} || first == Unit{'0'} || first == Unit{'F'} || first == Unit{'f'} ? 0 : 1;
}

// A digit text read from a buffer that may lack a terminator.
template <class Unit>
std::basic_string<Unit> TerminatedCopy(const void* data, std::uint64_t bytes) {
  const auto* units = static_cast<const Unit*>(data);
  std::basic_string<Unit> out;
  for (std::uint64_t i = 0; data && (i + 1) * sizeof(Unit) <= bytes && units[i]; ++i) out.push_back(units[i]);
  return out;
}

std::uint32_t nDateWord(const CHostDateTime& value) {
  return static_cast<std::uint32_t>(value.m_nYear) << 16 | static_cast<std::uint32_t>(value.m_nMonth) << 8 |
         value.m_nDay;
}

}  // namespace

// ---- the hub -----------------------------------------------------------------------------------------------------------------

int CFieldValue::bSetValue(CHostValue& source) {
  ResetNativeState(false);
  if (source.bIsNull() || source.nGetType() == HOST_TYPE_EMPTY) {
    SetNull();
    return 1;
  }
  if (m_nState == FIELD_STATE_VALUE && Value().nGetType() == HOST_TYPE_EMPTY) InitType(source.nGetType(), 0);
  const std::uint8_t sourceType = source.nGetType();
  const std::uint8_t type = Value().nGetType();
  if (sourceType != type) {
    if (bIsTextTarget(type)) {
      const void* data = nullptr;
      std::size_t size = 0;
      if (bIsNarrowTextHostType(sourceType) || bIsWideTextHostType(sourceType)) {
        if (bHostFailed(source.nGetDataPointer(&data))) data = nullptr;
        if (bHostFailed(source.nGetDataSize(&size))) size = 0;
      }
      if (bIsNarrowTextHostType(sourceType)) return bSetAnsiText(static_cast<const char*>(data), size);
      if (bIsWideTextHostType(sourceType)) return bSetWideText(static_cast<const char16_t*>(data), size / 2);
      if (sourceType == HOST_TYPE_DATETIME && m_pszDateMask) return bSetDateTimeText(source);
    }
    if (type == HOST_TYPE_DATETIME && (sourceType == HOST_TYPE_ATIME || sourceType == HOST_TYPE_WTIME)) {
      CHostDateTime packed{};
      if (sourceType == HOST_TYPE_ATIME) {
        const char* digits = nullptr;
        source.nGetNarrowText(&digits);
        PackTimeFromDigits(packed, digits ? digits : "");
      } else {
        const char16_t* digits = nullptr;
        source.nGetWideText(&digits);
        PackTimeFromWideDigits(packed, digits ? digits : u"");
      }
      CHostValue time;
      time.SetType(HOST_TYPE_DATETIME);
      time.Set(&packed);
      return bSetValue(time);
    }
    CHostValue converted;
    converted.Assign(source);
    std::uint8_t target = type;
    if (type == HOST_TYPE_VALUE8 &&
        ((sourceType >= 16 && sourceType <= 23) || sourceType == 110 || sourceType == 81 || sourceType == 134 ||
         sourceType == HOST_TYPE_PROXY_HANDLE || sourceType == HOST_TYPE_CURRENCY)) {
      target = HOST_TYPE_INT64;
    }
    if (bHostFailed(converted.nConvert(target))) {
      CTString text;
      Dump(text, &source, 0);
      RaiseConversionError(sourceType, text.pszGet(), ERROR_UNIT_FIELD_VALUE, FIELD_POINT_CONVERSION);
      return 0;
    }
    return bSetValue(converted);
  }
  switch (m_nState) {
    case FIELD_STATE_VALUE:
    case FIELD_STATE_NULL:
      return CValueItem::bSetValue(source);
    case FIELD_STATE_EXTERNAL_READY:
      return 1;
    case FIELD_STATE_EXTERNAL:
    case FIELD_STATE_OWNED:
      break;
    default:
      return 0;
  }
  Value().SetNull(false);
  switch (type) {
    case HOST_TYPE_UINT32_RAW: {
      const std::uint16_t word = source.wGetTypeWord();
      std::uint32_t flag = 0;
      if (word == 1 || word == 4 || word == 8) source.nGet(&flag);
      return bSetBoolean(flag == 1 ? 1 : 0);
    }
    case HOST_TYPE_PROXY_HANDLE: {
      // The decimal is rounded to the column in a copy: the caller's own value keeps its digits. A decimal without
      // a handle, a buffer that is not there and a rounded form longer than the buffer store nothing: each is an
      // error, never a success that wrote nothing or cut the digits.
      IHostProxyHandle* handle = nullptr;
      CHostValue copy;
      copy.Assign(source);
      IHostProxyHandle* rounded = nullptr;
      if (bHostFailed(source.nGet(&handle)) || !handle || bHostFailed(copy.nGet(&rounded)) || !rounded ||
          !m_pNative) {
        CTString text;
        Dump(text, &source, 0);
        RaiseConversionError(sourceType, text.pszGet(), ERROR_UNIT_FIELD_VALUE, FIELD_POINT_CONVERSION);
        return 0;
      }
      std::uint32_t precision = 0, scale = 0;
      bGetNumericPrecision(&precision, &scale);
      rounded->SetPrecision(static_cast<std::int32_t>(precision), static_cast<std::int32_t>(scale));
      const void* form = rounded->pGetData();
      const std::uint64_t size = rounded->nGetDataSize();
      if (!bDecimalFormFits(form, size, m_nBufferSize)) return RaiseValueTooLong();
      const std::uint64_t bytes = size < m_nBufferSize ? size : m_nBufferSize;
      std::memset(m_pNative, 0, m_nBufferSize);
      std::memcpy(m_pNative, form, bytes);
      m_nDataLength = bytes;
      return 1;
    }
    case HOST_TYPE_DATETIME: {
      CHostDateTime value{};
      source.nGet(&value);
      const std::uint32_t columnType = m_pPrimary ? m_pPrimary->nGetType() : 0;
      if (columnType == COLUMN_TYPE_TIME || columnType == COLUMN_TYPE_DATE) return bSetTimeOrDateDigits(value);
      if (columnType == COLUMN_TYPE_DATETIME) return bSetBytes(&value, sizeof(value));
      return 1;
    }
    default: {
      const void* data = nullptr;
      std::size_t size = 0;
      if (bHostFailed(source.nGetDataPointer(&data))) data = nullptr;
      if (bHostFailed(source.nGetDataSize(&size))) size = 0;
      return bSetBytes(data, size);
    }
  }
}

// A date-time into a time or date column's buffer: the 8-bit digits HHMMSSCCC or YYYYMMDD that the reader and the
// record buffer take from it, each digit only where a terminator still fits after it.
int CFieldValue::bSetTimeOrDateDigits(const CHostDateTime& value) {
  if (!m_pNative) return 1;
  std::memset(m_pNative, 0, m_nBufferSize);
  char digits[16] = {};
  if (m_pPrimary->nGetType() == COLUMN_TYPE_TIME) {
    value.FormatTimeA(digits);
  } else {
    std::snprintf(digits, sizeof(digits), "%04u%02u%02u", static_cast<unsigned>(value.m_nYear) % 10000u,
                  static_cast<unsigned>(value.m_nMonth) % 100u, static_cast<unsigned>(value.m_nDay) % 100u);
  }
  const std::uint64_t count = std::strlen(digits);
  for (std::uint64_t i = 0; i < count && m_nBufferSize > i + 1; ++i) m_pNative[i] = static_cast<std::uint8_t>(digits[i]);
  Value().SetNull(false);
  return 1;
}

int CFieldValue::bChangeType(std::uint16_t hostType, std::uint64_t size) {
  CHostValue value;
  if (!bGetValue(&value)) return 0;
  const std::uint8_t type = static_cast<std::uint8_t>(hostType);
  if (((type >= 16 && type <= 23) || type == 110 || type == 81 || type == 134) && !value.bIsNull() && m_pPrimary &&
      m_pPrimary->nGetType() == COLUMN_TYPE_TIME) {
    if (bHostFailed(value.nConvert(HOST_TYPE_TEXT))) return 0;
    const char16_t* text = nullptr;
    value.nGetWideText(&text);
    std::u16string fitted(text ? text : u"");
    const std::size_t width = m_pPrimary->nGetSize() > 0 ? m_pPrimary->nGetSize() - 1 : 0;
    if (fitted.size() > width) {
      fitted.resize(width);
    } else if (size == 0) {
      fitted.resize(width, u'0');
    }
    if (!bHostStoredOrOutOfMemory(value.Ops().SetFromWideZ(value.pHolder(), fitted.c_str()), m_pOwner)) return 0;
  }
  InitType(hostType, 0);
  return bSetValue(value);
}

// ---- 8-bit text ---------------------------------------------------------------------------------------------------------------

int CFieldValue::bSetAnsiText(const char* text, std::uint64_t length) {
  length = nNarrowLength(text, length);
  ResetNativeState(true);
  if (bIsTextTarget(Value().nGetType())) return bSetAnsiTextWithCodePage(text, length, nClientCodePage());
  CHostValue value;
  value.SetType(HOST_TYPE_TEXT_BUFFER);
  if (!bHostStoredOrOutOfMemory(value.SetFromBuffer(text, length), m_pOwner)) return 0;
  return bSetValue(value);
}

int CFieldValue::bSetAnsiTextWithCodePage(const char* text, std::uint64_t length, std::uint32_t codePage) {
  length = nNarrowLength(text, length);
  const std::uint8_t type = Value().nGetType();
  const bool wide = !bIsNarrowTextHostType(type);
  const std::uint32_t connectionPage = nClientCodePage();
  const bool transcode = codePage == platform::kCodePageUtf8 && connectionPage != platform::kCodePageUtf8;
  if (m_nState != FIELD_STATE_VALUE && m_nState != FIELD_STATE_NULL) {
    if (!m_pNative) return 0;
    if (length == 0) {
      std::memset(m_pNative, 0, m_nBufferSize);
      m_nDataLength = 0;
      return 1;
    }
    if (wide) {
      const std::uint64_t room = m_nBufferSize >= 2 ? m_nBufferSize / 2 - 1 : 0;
      std::u16string units(room, u'\0');
      const std::int64_t made = nNarrowToWideFitting(codePage, text, length, units.data(), room);
      // Text that does not convert at all is an error: the buffer keeps what it held.
      if (made < 0) return RaiseTextNotConverted(HOST_TYPE_TEXT_BUFFER);
      const auto count = static_cast<std::uint64_t>(made);
      std::memset(m_pNative, 0, m_nBufferSize);
      if (made > 0) std::memcpy(m_pNative, units.data(), count * 2);
      m_nDataLength = count * 2;
      return 1;
    }
    if (type == HOST_TYPE_ACHAR) {
      std::memset(m_pNative, 0, m_nBufferSize);
      if (m_nBufferSize) m_pNative[0] = static_cast<std::uint8_t>(text[0]);
      m_nDataLength = 1;
      return 1;
    }
    const std::uint64_t room = m_nBufferSize ? m_nBufferSize - 1 : 0;
    if (transcode) {
      // Converted whole, then as many whole characters of the connection's page as fit: a text too long for the
      // buffer keeps its beginning, never an empty buffer.
      const std::u16string units = StrictWideOfUtf8(text, length);
      std::string narrow(room, '\0');
      const std::int64_t made =
          units.empty() ? -1 : nWideToNarrowFitting(connectionPage, units.data(), units.size(), narrow.data(), room);
      if (made < 0) return RaiseTextNotConverted(HOST_TYPE_TEXT_BUFFER);
      std::memcpy(m_pNative, narrow.data(), static_cast<std::size_t>(made));
      ZeroNativeFrom(static_cast<std::uint64_t>(made));
      m_nDataLength = static_cast<std::uint64_t>(made);
      return 1;
    }
    // A text longer than the buffer is cut after its last whole character in its own page.
    const std::uint64_t copied = nWholeCharacterPrefix(codePage, text, length, room);
    std::memcpy(m_pNative, text, copied);
    ZeroNativeFrom(copied);
    m_nDataLength = copied;
    return 1;
  }
  std::int32_t code = HOST_OK;
  if (wide) {
    if (type == HOST_TYPE_WSTRING) {
      code = Value().Ops().SetFromNarrowCp(Value().pHolder(), codePage, text, static_cast<std::ptrdiff_t>(length));
    } else {
      const std::u16string units = WideOfCodePage(text, length, codePage);
      if (units.empty()) return RaiseTextNotConverted(HOST_TYPE_TEXT_BUFFER);
      code = Value().SetFromBuffer(units.data(), units.size() * 2);
    }
  } else if (transcode) {
    const std::u16string units = StrictWideOfUtf8(text, length);
    const std::string converted =
        units.empty() ? std::string() : NarrowOfCodePage(units.data(), units.size(), connectionPage);
    if (converted.empty()) return RaiseTextNotConverted(HOST_TYPE_TEXT_BUFFER);
    code = Value().SetFromBuffer(converted.data(), converted.size());
  } else {
    code = Value().SetFromBuffer(text, length);
  }
  Value().SetFlags(0);
  return bHostStoredOrOutOfMemory(code, m_pOwner);
}

int CFieldValue::bPutAnsiText(const char* text, std::uint64_t length, std::uint32_t codePage) {
  if (!bEnsurePrepared()) return 0;
  length = nNarrowLength(text, length);
  if (length == 0) return bSetBytes(text, 0);
  const std::uint8_t type = Value().nGetType();
  if ((type >= 16 && type <= 23) || type == 81 || type == 110 || type == 134) {
    return bSetAnsiTextWithCodePage(text, length, codePage);
  }
  switch (type) {
    case 24: case 25: case 26: case 128: case 129:
      return bFillNativeFromText(text, length, codePage);
    case HOST_TYPE_BINARY_BUFFER:
      return bPutBinaryBytes(text, length);
    case HOST_TYPE_UINT32_RAW:
      return bSetBoolean(nBooleanOfText(text, length));
    default:
      break;
  }
  if (bIsNumberType(type)) {
    const std::u16string units = WideOfCodePage(text, length, codePage);
    return bPutNumberFromWideText(units.c_str(), units.size());
  }
  CHostValue value;
  value.SetType(HOST_TYPE_ASTRING);
  if (!bHostStoredOrOutOfMemory(value.SetFromBuffer(text, length), m_pOwner)) return 0;
  return bSetValue(value);
}

// A native binary buffer is a u16 length and the bytes that fit after it; a held value takes the bytes.
int CFieldValue::bPutBinaryBytes(const void* bytes, std::uint64_t byteCount) {
  if (m_nState == FIELD_STATE_VALUE || m_nState == FIELD_STATE_NULL) {
    return bHostStoredOrOutOfMemory(Value().SetFromBuffer(bytes, byteCount), m_pOwner);
  }
  if (!m_pNative || m_nBufferSize < 2) return 0;
  const std::uint64_t room = m_nBufferSize - 2;
  const std::uint64_t taken = byteCount < room ? byteCount : room;
  // The length word holds 65535 at most: a longer value is refused, never stored with its length cut.
  if (taken > 0xFFFF) return RaiseValueTooLong();
  const auto count = static_cast<std::uint16_t>(taken);
  std::memcpy(m_pNative, &count, 2);
  std::memcpy(m_pNative + 2, bytes, count);
  ZeroNativeFrom(2u + count);
  return 1;
}

int CFieldValue::bPutNumberFromWideText(const char16_t* text, std::uint64_t length) {
  const std::u16string terminated(text, length);
  alignas(8) std::uint8_t result[32] = {};
  const std::uint8_t type = Value().nGetType();
  if (bHostFailed(CHostValue::ConvertTextToNative(result, terminated.c_str(), type))) return 0;
  if (m_nState == FIELD_STATE_VALUE || m_nState == FIELD_STATE_NULL) {
    Value().Set(result);
    Value().SetFlags(0);
    return 1;
  }
  if (!m_pNative) return 0;
  CHostValue probe;
  probe.SetType(type);
  std::size_t width = 0;
  probe.Ops().nGetStorageSize(probe.pHolder(), &width);
  const std::uint64_t bytes = width < m_nBufferSize ? width : m_nBufferSize;
  std::memcpy(m_pNative, result, bytes);
  ZeroNativeFrom(bytes);
  Value().SetNull(false);
  return 1;
}

// ---- UTF-16 text ----------------------------------------------------------------------------------------------------------------

int CFieldValue::bSetWideText(const char16_t* text, std::uint64_t length) {
  length = nWideLength(text, length);
  ResetNativeState(true);
  const std::uint8_t type = Value().nGetType();
  const bool narrow = bIsNarrowTextHostType(type);
  const bool wide = bIsWideTextHostType(type);
  if (m_nState == FIELD_STATE_VALUE && (narrow || wide)) {
    std::int32_t code = HOST_OK;
    if (narrow) {
      // The converted copy is the driver's memory: memory refused for it is out of memory, never an exception that
      // leaves the driver.
      std::string bytes;
      try {
        bytes = NarrowOfCodePage(text, length, nClientCodePage());
      } catch (const std::bad_alloc&) {
        SetHolderOutOfMemory(m_pOwner);
        return 0;
      }
      if (length > 0 && bytes.empty()) return RaiseTextNotConverted(HOST_TYPE_TEXT);
      code = Value().SetFromBuffer(bytes.data(), bytes.size());
    } else {
      code = Value().SetFromBuffer(text, length * 2);
    }
    Value().SetFlags(0);
    return bHostStoredOrOutOfMemory(code, m_pOwner);
  }
  if ((m_nState == FIELD_STATE_EXTERNAL || m_nState == FIELD_STATE_OWNED) && (narrow || wide)) {
    if (!m_pNative) return 0;
    if (length == 0) {
      std::memset(m_pNative, 0, m_nBufferSize);
      m_nDataLength = 0;
      return 1;
    }
    if (type == HOST_TYPE_WCHAR) {
      std::memset(m_pNative, 0, m_nBufferSize);
      if (m_nBufferSize >= 2) std::memcpy(m_pNative, text, 2);
      m_nDataLength = 2;
      return 1;
    }
    if (type == HOST_TYPE_ACHAR) {
      std::memset(m_pNative, 0, m_nBufferSize);
      char one[8] = {};
      platform::WideToMultiByte(nClientCodePage(), 0, text, 1, one, sizeof(one), nullptr, nullptr);
      if (m_nBufferSize) m_pNative[0] = static_cast<std::uint8_t>(one[0]);
      m_nDataLength = 1;
      return 1;
    }
    if (wide) {
      const std::uint64_t room = m_nBufferSize >= 2 ? (m_nBufferSize - 2) & ~std::uint64_t{1} : 0;
      // A surrogate pair is kept whole or left out.
      const std::uint64_t bytes = nWholeUnitPrefix(text, length, room / 2) * 2;
      std::memcpy(m_pNative, text, bytes);
      ZeroNativeFrom(bytes);
      m_nDataLength = bytes;
      return 1;
    }
    const std::uint64_t room = m_nBufferSize ? m_nBufferSize - 1 : 0;
    const std::int64_t made =
        nWideToNarrowFitting(nClientCodePage(), text, length, reinterpret_cast<char*>(m_pNative), room);
    if (made < 0) return RaiseTextNotConverted(HOST_TYPE_TEXT);
    const auto bytes = static_cast<std::uint64_t>(made);
    ZeroNativeFrom(bytes);
    m_nDataLength = bytes;
    return 1;
  }
  CHostValue value;
  value.SetType(HOST_TYPE_WSTRING);
  if (!bHostStoredOrOutOfMemory(value.SetFromBuffer(text, length * 2), m_pOwner)) return 0;
  return bSetValue(value);
}

int CFieldValue::bPutWideText(const char16_t* text, std::uint64_t length) {
  if (!bEnsurePrepared()) return 0;
  return bPutWideTextPrepared(text, nWideLength(text, length));
}

int CFieldValue::bPutWideTextPrepared(const char16_t* text, std::uint64_t length) {
  length = nWideLength(text, length);
  if (length == 0) return bSetBytes(text, 0);
  Value().SetNull(false);
  const std::uint8_t type = Value().nGetType();
  switch (type) {
    case HOST_TYPE_BINARY_BUFFER:
      // The UTF-16 text's bytes, as many as the buffer holds after its length word.
      return bPutBinaryBytes(text, length * 2);
    case HOST_TYPE_WCHAR:
    case HOST_TYPE_TEXT:
    case 16: case 17: case 18: case 19: case 21: case 22: case 23:
      return bSetWideText(text, length);
    case HOST_TYPE_UINT32_RAW:
      return bSetBoolean(nBooleanOfText(text, length));
    case 24: case 25: case 26: case 128: case 129: {
      const std::string bytes = NarrowOfCodePage(text, length, platform::kCodePage1252);
      return bFillNativeFromText(bytes.data(), bytes.size(), platform::kCodePage1252);
    }
    default:
      break;
  }
  if (bIsNumberType(type)) return bPutNumberFromWideText(text, length);
  CHostValue value;
  value.SetType(HOST_TYPE_TEXT);
  if (!bHostStoredOrOutOfMemory(value.SetFromBuffer(text, length * 2), m_pOwner)) return 0;
  return bSetValue(value);
}

// ---- bytes, booleans, prepared values ---------------------------------------------------------------------------------------

int CFieldValue::bSetBytes(const void* bytes, std::uint64_t length) {
  ResetNativeState(true);
  switch (m_nState) {
    case FIELD_STATE_VALUE:
      return bHostStoredOrOutOfMemory(Value().SetFromBuffer(bytes, length), m_pOwner);
    case FIELD_STATE_EXTERNAL_READY:
      m_pNative = static_cast<std::uint8_t*>(const_cast<void*>(bytes));
      m_nBufferSize = length;
      m_nDataLength = length;
      return 1;
    case FIELD_STATE_EXTERNAL:
    case FIELD_STATE_OWNED:
      break;
    default:
      return 0;
  }
  if (!m_pNative) return 0;
  const std::uint8_t type = Value().nGetType();
  const std::uint64_t room = bIsNarrowTextHostType(type) ? 1 : bIsWideTextHostType(type) ? 2 : 0;
  const std::uint64_t limit = m_nBufferSize > room ? m_nBufferSize - room : 0;
  std::uint64_t copied = length < limit ? length : limit;
  // A text cut to the buffer keeps whole characters: of the connection's page, or surrogate pairs.
  if (bytes && copied < length && bIsNarrowTextHostType(type)) {
    copied = nWholeCharacterPrefix(nClientCodePage(), static_cast<const char*>(bytes), length, limit);
  } else if (bytes && copied < length && bIsWideTextHostType(type)) {
    copied = nWholeUnitPrefix(static_cast<const char16_t*>(bytes), length / 2, limit / 2) * 2;
  }
  if (bytes && copied) std::memcpy(m_pNative, bytes, copied);
  ZeroNativeFrom(copied);
  m_nDataLength = copied;
  return 1;
}

int CFieldValue::bSetBoolean(std::uint8_t value) {
  ResetNativeState(true);
  if (Value().nGetType() != HOST_TYPE_UINT32_RAW) {
    CHostValue boolean;
    boolean.SetType(HOST_TYPE_UINT32_RAW);
    const std::uint32_t word = value;
    boolean.Set(&word);
    return bSetValue(boolean);
  }
  if (m_nState == FIELD_STATE_VALUE) {
    const std::uint32_t word = value;
    Value().Set(&word);
    return 1;
  }
  if ((m_nState == FIELD_STATE_EXTERNAL || m_nState == FIELD_STATE_OWNED) && m_pNative && m_nBufferSize) {
    m_pNative[0] = value;
    Value().SetNull(false);
    return 1;
  }
  return 0;
}

int CFieldValue::bPutValue(CHostValue& source) {
  if (!bEnsurePrepared()) return 0;
  const std::uint8_t sourceType = source.nGetType();
  const void* data = nullptr;
  std::size_t size = 0;
  if (bHostFailed(source.nGetDataPointer(&data))) data = nullptr;
  if (bHostFailed(source.nGetDataSize(&size))) size = 0;
  if (m_nPreparation == FIELD_PREPARED_CONVERTED) return bSetNativeBytes(data, size);
  if (sourceType != Value().nGetType() && !source.bIsNull()) {
    if (bIsNarrowTextHostType(sourceType)) return bPutAnsiText(static_cast<const char*>(data), size, nSecondCodePage());
    if (sourceType == 16 || sourceType == 20 || sourceType == 81 || sourceType == 110) {
      return bPutWideText(static_cast<const char16_t*>(data), size / 2);
    }
  }
  return bSetValue(source);
}

// ---- the value out -----------------------------------------------------------------------------------------------------------

int CFieldValue::bGetValue(CHostValue* out) {
  if (m_nState == FIELD_STATE_UNSET) return 0;
  if (m_nState == FIELD_STATE_VALUE || m_nState == FIELD_STATE_NULL) {
    const std::int32_t copied = out->Assign(Value());
    if (!bHostStored(copied) && !bHostFailed(copied)) {
      SetHolderOutOfMemory(m_pOwner);
      return 0;
    }
    return 1;
  }
  const std::uint8_t type = Value().nGetType();
  out->SetType(type);
  const std::uint32_t columnType = m_pPrimary ? m_pPrimary->nGetType() : 0;
  if (!m_pNative) return 1;
  std::int32_t code = HOST_OK;
  switch (type) {
    case HOST_TYPE_PROXY_HANDLE: {
      IHostProxyHandle* handle = nullptr;
      out->nGet(&handle);
      if (!handle || !m_pPrimary) {
        code = out->SetFromBuffer(m_pNative, m_nBufferSize);
        break;
      }
      // A column's buffer holds the low bytes of the form's integer, as a record field does: read them as it is read.
      // (The form is the holder's 18 bytes with room to spare.)
      std::uint8_t form[32];
      WidenDecimalField(form, sizeof form, m_pNative, m_nBufferSize);
      const std::uint32_t scale = m_pPrimary->nGetScale();
      handle->SetFromKeyInput(static_cast<std::int32_t>(m_pPrimary->nGetPrecision() + scale),
                              static_cast<std::int32_t>(scale), form);
      break;
    }
    case HOST_TYPE_WSTRING:
    case HOST_TYPE_TEXT: {
      const std::u16string text = TerminatedCopy<char16_t>(m_pNative, m_nBufferSize);
      code = out->SetFromBuffer(text.data(), text.size() * 2);
      break;
    }
    case HOST_TYPE_ASTRING:
    case HOST_TYPE_TEXT_BUFFER: {
      const std::string text = TerminatedCopy<char>(m_pNative, m_nBufferSize);
      code = out->SetFromBuffer(text.data(), text.size());
      break;
    }
    case HOST_TYPE_DATETIME: {
      CHostDateTime value{};
      if (columnType == COLUMN_TYPE_TIME) {
        PackTimeFromDigits(value, TerminatedCopy<char>(m_pNative, m_nBufferSize).c_str());
      } else if (columnType == COLUMN_TYPE_DATE) {
        nPackDateFromDigits(value, TerminatedCopy<char>(m_pNative, m_nBufferSize).c_str());
      } else if (columnType == COLUMN_TYPE_DATETIME) {
        code = out->SetFromBuffer(m_pNative, m_nBufferSize);
        break;
      } else {
        break;
      }
      out->Set(&value);
      break;
    }
    case HOST_TYPE_BINARY_BUFFER:
      if (columnType == COLUMN_TYPE_BINARY && m_nBufferSize >= 2) {
        std::uint16_t length = 0;
        std::memcpy(&length, m_pNative, 2);
        const std::uint64_t bytes = length < m_nBufferSize - 2 ? length : m_nBufferSize - 2;
        code = out->SetFromBuffer(m_pNative + 2, bytes);
      } else {
        code = out->SetFromBuffer(m_pNative, m_nBufferSize);
      }
      break;
    default:
      code = out->SetFromBuffer(m_pNative, m_nBufferSize);
      break;
  }
  // Memory the runtime refused leaves `out` without the value: an empty value would pass for the one read.
  if (!bHostStored(code) && !bHostFailed(code)) {
    SetHolderOutOfMemory(m_pOwner);
    return 0;
  }
  out->SetFlags(0);
  return 1;
}

// ---- date-times as text --------------------------------------------------------------------------------------------------------

int CFieldValue::bSetDateTimeText(CHostValue& source) {
  CHostValue converted;
  converted.Assign(source);
  if (source.nGetType() != HOST_TYPE_DATETIME) {
    const std::int32_t code = converted.nConvert(HOST_TYPE_DATETIME);
    if (bHostFailed(code)) {
      if (m_pOwner) {
        m_pOwner->AddStatusError(static_cast<std::uint32_t>(code), source.nGetType(), HOST_TYPE_DATETIME,
                                 ERROR_UNIT_FIELD_VALUE, FIELD_POINT_DATE_TIME_TEXT, m_pConnection, pszGetTableName(),
                                 pszGetColumnName());
      }
      return 0;
    }
  }
  CHostDateTime value{};
  if (!converted.bIsNull()) converted.nGet(&value);
  const unsigned year = value.m_nYear, month = value.m_nMonth, day = value.m_nDay;
  const unsigned hours = value.m_nMillisecond / 3600000u;
  const unsigned minutes = value.m_nMillisecond % 3600000u / 60000u;
  const unsigned seconds = value.m_nMillisecond % 60000u / 1000u;
  const unsigned milliseconds = value.m_nMillisecond % 1000u;
  const std::u16string mask = m_pszDateMask ? m_pszDateMask : u"";
  char text[64] = {};
  if (mask == u"DD-MM-YYYY HH24:MI:SS") {
    std::snprintf(text, sizeof(text), "%02u-%02u-%04u %02u:%02u:%02u", day, month, year, hours, minutes, seconds);
  } else if (mask == u"AAAA-MM-JJ HH:MM:SS.CCC") {
    std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u.%03u", year, month, day, hours, minutes, seconds,
                  milliseconds);
  } else if (mask == u"AAAAMMJJ HH:MM:SS.CCC") {
    std::snprintf(text, sizeof(text), "%04u%02u%02u %02u:%02u:%02u.%03u", year, month, day, hours, minutes, seconds,
                  milliseconds);
  } else if (mask == u"YYYYMMDDHH24MISS") {
    std::snprintf(text, sizeof(text), "%04u%02u%02u%02u%02u%02u", year, month, day, hours, minutes, seconds);
  } else if (mask == u"YYYYMMDD HH24MISS") {
    std::snprintf(text, sizeof(text), "%04u%02u%02u %02u%02u%02u", year, month, day, hours, minutes, seconds);
  } else if (mask == u"YYYYMMDD HH24:MI:SS") {
    std::snprintf(text, sizeof(text), "%04u%02u%02u %02u:%02u:%02u", year, month, day, hours, minutes, seconds);
  } else if (mask == u"YYYYMMDDHH24MISSFF") {
    std::snprintf(text, sizeof(text), "%04u%02u%02u%02u%02u%02u%02u", year, month, day, hours, minutes, seconds,
                  milliseconds / 10);
  } else {
    std::snprintf(text, sizeof(text), "%04u%02u%02u%02u%02u%02u%03u", year, month, day, hours, minutes, seconds,
                  milliseconds);
  }
  std::u16string wide;
  for (const char* c = text; *c; ++c) wide.push_back(static_cast<char16_t>(*c));
  return bSetWideText(wide.c_str(), wide.size());
}

// ---- date and time buffers from text ------------------------------------------------------------------------------------------

namespace {

// What a text of one of the fixed layouts says: the nine time digits HHMMSSCCC, the eight date digits, and which of
// them the layout gives.
struct SLayoutDigits {
  char time[10] = "000000000";
  char date[9] = "00000000";
  bool hasTime = false;
  bool hasDate = false;
};

void TakeTime(SLayoutDigits& out, const char* text, const int (&positions)[6]) {
  for (int i = 0; i < 6; ++i) out.time[i] = text[positions[i]];
  out.hasTime = true;
}

void TakeFraction(SLayoutDigits& out, char a, char b, char c) {
  out.time[6] = a;
  out.time[7] = b;
  out.time[8] = c;
}

void TakeDate(SLayoutDigits& out, const char* text, const int (&positions)[8]) {
  for (int i = 0; i < 8; ++i) out.date[i] = text[positions[i]];
  out.hasDate = true;
}

// The layouts by length. A text of no known layout gives neither part.
SLayoutDigits ReadLayout(const char* text, std::uint64_t length) {
  static constexpr int kHhmmss[6] = {0, 1, 2, 3, 4, 5};
  static constexpr int kColonTime[6] = {0, 1, 3, 4, 6, 7};
  static constexpr int kCompactDate[8] = {0, 1, 2, 3, 4, 5, 6, 7};
  static constexpr int kDashedDate[8] = {0, 1, 2, 3, 5, 6, 8, 9};
  SLayoutDigits out;
  switch (length) {
    case 4:
      out.time[0] = text[0], out.time[1] = text[1], out.time[2] = text[2], out.time[3] = text[3];
      out.hasTime = true;
      break;
    case 5:
      if (text[2] != ':') break;
      out.time[0] = text[0], out.time[1] = text[1], out.time[2] = text[3], out.time[3] = text[4];
      out.hasTime = true;
      break;
    case 6:
      TakeTime(out, text, kHhmmss);
      break;
    case 8:
      if (text[2] == ':') {
        TakeTime(out, text, kColonTime);
      } else {
        TakeDate(out, text, kCompactDate);
      }
      break;
    case 10:
      if (text[4] == '-' && text[7] == '-') TakeDate(out, text, kDashedDate);
      break;
    case 11:
    case 12:
      TakeTime(out, text, kColonTime);
      // A text of eleven characters has two fraction digits: the third is 0, never read past the text.
      TakeFraction(out, text[9], text[10], length == 12 ? text[11] : '0');
      break;
    case 14: {
      static constexpr int kTime[6] = {8, 9, 10, 11, 12, 13};
      TakeTime(out, text, kTime);
      TakeDate(out, text, kCompactDate);
      break;
    }
    case 17: {
      static constexpr int kTime[6] = {9, 10, 12, 13, 15, 16};
      TakeTime(out, text, kTime);
      TakeDate(out, text, kCompactDate);
      break;
    }
    // With one to six fraction digits: the first three are the milliseconds.
    case 19: case 21: case 22: case 23: case 24: case 25: case 26: {
      static constexpr int kTime[6] = {11, 12, 14, 15, 17, 18};
      TakeTime(out, text, kTime);
      TakeDate(out, text, kDashedDate);
      if (length > 19 && text[19] == '.') {
        TakeFraction(out, text[20], length > 21 ? text[21] : '0', length > 22 ? text[22] : '0');
      }
      break;
    }
    default:
      break;
  }
  return out;
}

}  // namespace

// The digits are ASCII in every code page the driver meets, so the layouts are read byte by byte whatever the page.
int CFieldValue::bFillNativeFromText(const char* text, std::uint64_t length, std::uint32_t /*codePage*/) {
  void* buffer = nullptr;
  std::uint64_t size = 0;
  if (!bGetNativeBuffer(&buffer, &size) || !buffer) return 0;
  const SLayoutDigits digits = ReadLayout(text, length);
  // Without a descriptor the value's own type says which form its buffer has.
  const std::uint32_t columnType = m_pPrimary ? m_pPrimary->nGetType() : nColumnTypeFromHostType(Value().nGetType());
  // A date-time the field holds itself (no client buffer bound, a catalog default read from its text) goes into its
  // own value: the conversion buffer made for the client is written again from the held value before a bind, and a
  // date put there alone would read back as none.
  CHostDateTime held{};
  const bool holds = columnType == COLUMN_TYPE_DATETIME && m_nState == FIELD_STATE_VALUE &&
                     m_nPreparation == FIELD_PREPARED_CONVERTED && Value().nGetType() == HOST_TYPE_DATETIME;
  if (holds) {
    buffer = &held;
    size = sizeof held;
  }
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  const bool dateTime = columnType == COLUMN_TYPE_TIME || columnType == COLUMN_TYPE_DATE ||
                        columnType == COLUMN_TYPE_DATETIME;
  if (dateTime && length > 0 && !digits.hasDate && !digits.hasTime) {
    // A text of no known layout states no date-time: refused, and the field keeps what it held.
    const std::u16string shown(reinterpret_cast<const unsigned char*>(text),
                               reinterpret_cast<const unsigned char*>(text) + length);
    RaiseConversionError(HOST_TYPE_ASTRING, shown.c_str(), ERROR_UNIT_FIELD_VALUE, FIELD_POINT_DATE_TIME_TEXT);
    return 0;
  }
  std::memset(bytes, 0, size);
  switch (columnType) {
    case COLUMN_TYPE_TIME:
      // A date alone is midnight.
      if (digits.hasTime || digits.hasDate) {
        for (std::uint64_t i = 0; i < 9 && size > i + 1; ++i) bytes[i] = static_cast<std::uint8_t>(digits.time[i]);
      }
      break;
    case COLUMN_TYPE_DATE:
      if (digits.hasDate) {
        for (std::uint64_t i = 0; i < 8 && size > i + 1; ++i) bytes[i] = static_cast<std::uint8_t>(digits.date[i]);
      }
      break;
    case COLUMN_TYPE_DATETIME: {
      if (!digits.hasDate && !digits.hasTime) break;
      CHostDateTime value{};
      if (digits.hasDate) nPackDateFromDigits(value, digits.date);
      if (digits.hasTime) PackTimeFromDigits(value, digits.time);
      if (size >= sizeof(value)) std::memcpy(bytes, &value, sizeof(value));
      break;
    }
    default:
      break;
  }
  if (holds && !bHostStoredOrOutOfMemory(Value().SetFromBuffer(&held, sizeof held), m_pOwner)) return 0;
  Value().SetNull(false);
  return 1;
}

// ---- digit packing ------------------------------------------------------------------------------------------------------------------

namespace {

template <class Unit>
int nDigits(const Unit* text, int position, int count, int pad) {
  if constexpr (sizeof(Unit) == 1) {
    return nParseDigitsA(text, position, count, pad);
  } else {
    return nParseDigitsW(text, position, count, pad);
  }
}

template <class Unit>
std::uint32_t nPackDate(CHostDateTime& out, const Unit* text) {
  out.m_nYear = static_cast<std::uint16_t>(nDigits(text, 0, 4, 0));
  out.m_nMonth = static_cast<std::uint8_t>(nDigits(text, 4, 2, 0));
  out.m_nDay = static_cast<std::uint8_t>(nDigits(text, 6, 2, 0));
  return nDateWord(out);
}

template <class Unit>
void PackTime(CHostDateTime& out, const Unit* text) {
  const std::uint32_t hours = static_cast<std::uint32_t>(nDigits(text, 0, 2, 0));
  const std::uint32_t minutes = static_cast<std::uint32_t>(nDigits(text, 2, 2, 0));
  const std::uint32_t seconds = static_cast<std::uint32_t>(nDigits(text, 4, 2, 0));
  std::uint32_t fraction = static_cast<std::uint32_t>(nDigits(text, 6, 3, 1));
  if (fraction == 0) fraction = static_cast<std::uint32_t>(nDigits(text, 6, 2, 1)) * 10;
  if (fraction == 0) fraction = static_cast<std::uint32_t>(nDigits(text, 6, 1, 1)) * 100;
  out.m_nMillisecond = ((hours * 60 + minutes) * 60 + seconds) * 1000 + fraction;
}

template <class Unit>
void PackDateTime(CHostDateTime& out, const Unit* text) {
  out.m_nMillisecond = 0;
  nPackDate(out, text);
  std::size_t length = 0;
  while (text[length]) ++length;
  if (length > 8) PackTime(out, text + 8);
}

}  // namespace

std::uint32_t nPackDateFromDigits(CHostDateTime& out, const char* text) { return nPackDate(out, text); }
std::uint32_t nPackDateFromWideDigits(CHostDateTime& out, const char16_t* text) { return nPackDate(out, text); }
void PackTimeFromDigits(CHostDateTime& out, const char* text) { PackTime(out, text); }
void PackTimeFromWideDigits(CHostDateTime& out, const char16_t* text) { PackTime(out, text); }
void PackDateTimeFromDigits(CHostDateTime& out, const char* text) { PackDateTime(out, text); }
void PackDateTimeFromWideDigits(CHostDateTime& out, const char16_t* text) { PackDateTime(out, text); }
