#include "host/value_operations.h"

#include <cstdlib>
#include <cstring>

#include "foundation/sortable_key.h"
#include "foundation/t_string.h"
#include "host/host_string.h"
#include "host/execution.h"
#include "host/value_entry_points.h"

namespace {

// The conversion's result area: 32 bytes of the caller's, aligned for the pointers the runtime leaves in it.
struct alignas(8) SConversionResult {
  std::uint8_t abBytes[32];
};

// Targets whose native value the runtime leaves as a pointer at the start of the result area.
bool bResultIsPointer(std::uint8_t target) {
  return target == HOST_TYPE_PROXY_HANDLE || target == HOST_TYPE_ASTRING || target == HOST_TYPE_TEXT;
}

}  // namespace

std::int32_t CHostValue::nConvert(std::uint8_t target) {
  const std::uint8_t type = nGetType();
  if (type == target) return HOST_OK;
  // Before the runtime has handed over its entry points nothing can be converted.
  if (!gpfnConversionDepassementExt || !gpfnFinConversion) return HOST_ERR_NOT_SUPPORTED;
  SConversionResult result{};
  const std::int32_t code = gpfnConversionDepassementExt(m_holder.m_abStorage, type, result.abBytes, target, 1, 0);
  if (bHostFailed(code)) return code;

  const auto flags = static_cast<std::uint16_t>(m_holder.m_wType & HOST_VALUE_FLAGS);
  SetType(target);
  const void* native = result.abBytes;
  if (bResultIsPointer(target)) std::memcpy(&native, result.abBytes, sizeof(native));
  // A value that cannot take the converted result (a runtime string over its limit) reports why rather than
  // passing for converted.
  const std::int32_t setCode = Set(native);
  SetFlags(flags);
  gpfnFinConversion(result.abBytes, target);
  return bHostFailed(setCode) ? setCode : code;
}

std::int32_t CHostValue::ConvertTextToNative(void* resultArea, const char16_t* text, std::uint8_t target) {
  if (!gpfnConversionDepassementExt) return HOST_ERR_NOT_SUPPORTED;
  return gpfnConversionDepassementExt(&text, HOST_TYPE_TEXT, resultArea, target, 1, 0);
}

void CHostValue::EnsureWideText() {
  const char16_t* text = nullptr;
  if (nGetWideText(&text) != HOST_OK) nConvert(HOST_TYPE_WSTRING);
}

namespace {

std::int32_t nCallComparison(PFN_HOST_COMPARISON entry, CHostValue& a, CHostValue& b, std::int32_t* result) {
  if (a.bIsNull() || b.bIsNull()) return HOST_ERR_NULL_OPERAND;
  if (!entry) return HOST_ERR_NOT_SUPPORTED;
  return entry(a.m_holder.m_abStorage, a.wGetTypeWord(), b.m_holder.m_abStorage, b.wGetTypeWord(), result, 0, 0);
}

}  // namespace

std::int32_t CHostValue::nCompare(CHostValue& other, std::int32_t* result) {
  return nCallComparison(pfnComparaisonEx(), *this, other, result);
}

std::int32_t CHostValue::nEquals(CHostValue& other, std::int32_t* equal) {
  return nCallComparison(pfnEgaliteEx(), *this, other, equal);
}

std::int32_t CHostValue::nDiffers(CHostValue& other, std::int32_t* differs) {
  std::int32_t equal = 0;
  const std::int32_t code = nCallComparison(pfnEgaliteEx(), *this, other, &equal);
  if (code == HOST_ERR_NULL_OPERAND) return code;
  *differs = equal == 0 ? 1 : 0;
  return code;
}

std::uint32_t nEncodeValueSortKey(CHostValue& value, std::uint8_t** buffer, std::uint32_t size, std::uint8_t type,
                                  std::int32_t a, std::int32_t b) {
  if (value.bIsNull() || value.nGetType() == HOST_TYPE_EMPTY) {
    value.SetType(HOST_TYPE_TEXT);
    value.SetFlags(0);
  }
  if (type == HOST_TYPE_EMPTY) type = value.nGetType();
  // A value the runtime cannot convert keys as what it holds: every value gets a key of the type's size.
  CHostValue copy;
  copy.Assign(value);
  copy.nConvert(type);

  const void* data = nullptr;
  std::size_t length = 0;
  if (type != HOST_TYPE_PROXY_HANDLE) {
    copy.nGetDataPointer(&data);
    copy.nGetDataSize(&length);
  } else if (!copy.bIsNull() && copy.nGetType() == HOST_TYPE_PROXY_HANDLE) {
    IHostProxyHandle* handle = nullptr;
    copy.nGet(&handle);
    if (handle) {
      handle->SetPrecision(a + b, b);
      data = handle->pGetData();
      length = handle->nGetDataSize();
    }
  }
  // The terminator is part of the key input of texts; the raw 32-bit value keys on its first byte.
  switch (type) {
    case HOST_TYPE_UINT32_RAW: length = 1; break;
    case HOST_TYPE_WSTRING:
    case HOST_TYPE_TEXT: length += 2; break;
    case HOST_TYPE_ASTRING:
    case HOST_TYPE_TEXT_BUFFER: length += 1; break;
    default: break;
  }
  const auto inputLength = static_cast<std::uint32_t>(length);
  if (size == 0) {
    size = nGetSortKeySize(type, inputLength);
    *buffer = static_cast<std::uint8_t*>(std::malloc(size ? size : 1));
    if (!*buffer) return 0;
  }
  return nEncodeSortKey(*buffer, size, data, inputLength, nHostTypeCategory(type), 10240, a + b, b);
}

namespace {

constexpr std::size_t kDumpedBytes = 500;

void Append(CHostWString& out, const char16_t* text) {
  std::uint32_t n = 0;
  while (text[n]) ++n;
  // A dump never fails as a whole: what does not fit is left out.
  out.nAppendN(text, n);
}

void AppendNumber(CHostWString& out, std::size_t number) {
  char16_t digits[24];
  char16_t* p = digits + 23;
  *p = 0;
  do {
    *--p = static_cast<char16_t>(u'0' + number % 10);
    number /= 10;
  } while (number);
  Append(out, p);
}

void AppendHex(CHostWString& out, const std::uint8_t* bytes, std::size_t n) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t pair[3] = {kDigits[bytes[i] >> 4], kDigits[bytes[i] & 0xF], 0};
    Append(out, pair);
  }
}

}  // namespace

std::int32_t nDumpTextFull(CHostWString& out, CHostValue* value, const char16_t* prefix, int details) {
  out.nAssignText(prefix, -1);
  if (value->nGetType() == HOST_TYPE_EMPTY) {
    Append(out, u"<Empty>");
    return HOST_OK;
  }
  if (details) {
    std::size_t size = 0;
    value->nGetSizeWithTerminator(&size);
    Append(out, u"Type=");
    AppendNumber(out, value->nGetType());
    Append(out, u", Len=");
    AppendNumber(out, size);
    Append(out, u", Value=");
  }
  if (value->bIsNull()) {
    Append(out, u"<NULL>");
    return HOST_OK;
  }
  CHostValue text;
  text.Assign(*value);
  std::int32_t code = text.nConvert(HOST_TYPE_TEXT);
  if (!bHostFailed(code)) {
    if (text.bIsNull()) {
      code = HOST_ERR_NULL_OPERAND;
    } else if (text.nGetType() != HOST_TYPE_TEXT) {
      code = HOST_ERR_CANNOT_CONVERT;
    }
  }
  const char16_t* characters = nullptr;
  if (!bHostFailed(code)) code = text.nGet(&characters);
  if (bHostFailed(code)) {
    Append(out, u"<ERROR>");
    return code;
  }
  Append(out, characters);
  if (details) {
    const void* data = nullptr;
    std::size_t size = 0;
    if (value->nGetDataPointer(&data) == HOST_OK && value->nGetSizeWithTerminator(&size) == HOST_OK &&
        (data || size == 0)) {
      Append(out, u", Value(binary)=");
      if (size > kDumpedBytes) {
        Append(out, u"(first 500 bytes only) ");
        size = kDumpedBytes;
      }
      AppendHex(out, static_cast<const std::uint8_t*>(data), size);
    }
  }
  return HOST_OK;
}

std::int32_t nDumpText(CHostWString& out, CHostValue* value, const void*, int details) {
  if (!value) {
    out.nAssignText(u"<NULL>", -1);
    return HOST_OK;
  }
  return nDumpTextFull(out, value, nullptr, details);
}

std::int32_t nDumpInto(CTString& out, CHostValue* value, const void* reserved, int details) {
  CHostWString text;
  const std::int32_t code = nDumpText(text, value, reserved, details);
  out.Assign(text.pszGet());
  return code;
}
