#include "host/value_item.h"

#include <cstring>
#include <new>

#include "foundation/clone_map.h"
#include "foundation/t_string.h"
#include "host/column_type_map.h"
#include "host/host_result_codes.h"
#include "host/host_services.h"
#include "host/host_string.h"
#include "host/value_operations.h"

int CValueItem::bConvertTo(std::uint16_t type, std::uint32_t /*extra*/) {
  return bHostFailed(m_value.nConvert(static_cast<std::uint8_t>(type))) ? 0 : 1;
}

std::uint32_t CValueItem::nNativeTypeOfValue() { return nColumnTypeFromHostType(m_value.nGetType()); }

void CValueItem::SetTypeFromNative(std::uint32_t columnType, std::uint32_t extra) {
  bConvertTo(nHostTypeOfColumnType(columnType, -1), extra);
}

int CValueItem::bGetValue(CHostValue* out) {
  out->Assign(m_value);
  return 1;
}

int CValueItem::bIsUnset() { return m_value.nGetType() == HOST_TYPE_EMPTY ? 1 : 0; }

const void* CValueItem::pGetValueData() {
  if (m_value.nGetType() == HOST_TYPE_EMPTY) return nullptr;
  const void* data = nullptr;
  return bHostFailed(m_value.nGetDataPointer(&data)) ? nullptr : data;
}

std::uint64_t CValueItem::nGetSize() {
  std::size_t size = 0;
  return bHostFailed(m_value.nGetSizeWithTerminator(&size)) ? 0 : size;
}

void CValueItem::CopyFrom(CValueItem* source, CHashTable& cloneMap) {
  bRegisterClone(cloneMap, source, this);
  m_value.Assign(source->m_value);
}

int CValueItem::bEqualsItem(CValueItem* other) {
  // "Holds no value" is the item's to say (a field value replaces it).
  if (bIsUnset() && other->bIsUnset()) return 1;
  return nValueItemsEqual(this, other->Value());
}

CValueItem* CValueItem::pClone(CHashTable& cloneMap) {
  auto* copy = new CValueItem();
  try {
    copy->CopyFrom(this, cloneMap);
  } catch (...) {
    delete copy;
    throw;
  }
  return copy;
}

int CValueItem::bSetValue(const CHostValue& value) {
  m_value.Assign(value);
  return 1;
}

int CValueItem::bGetValuePointer(CHostValue** out) {
  *out = &m_value;
  return 1;
}

int CValueItem::bSetValueOrNull(CValueItem* source) {
  if (source) {
    m_value.Assign(source->m_value);
    return 1;
  }
  const std::uint8_t type = m_value.nGetType();
  m_value.SetType(HOST_TYPE_EMPTY);
  m_value.SetType(type);
  m_value.SetNull(true);
  return 1;
}

namespace {

bool bIsWideTextType(std::uint8_t type) {
  switch (type) {
    case HOST_TYPE_WSTRING:
    case 20:
    case HOST_TYPE_WDATE:
    case HOST_TYPE_WTIME:
    case HOST_TYPE_WCHAR:
    case HOST_TYPE_TEXT:
      return true;
    default:
      return false;
  }
}

bool bIsNarrowTextType(std::uint8_t type) {
  switch (type) {
    case HOST_TYPE_ACHAR:
    case HOST_TYPE_ASTRING:
    case HOST_TYPE_TEXT_BUFFER:
    case 21:
    case 22:
    case 23:
    case HOST_TYPE_ADATE:
    case HOST_TYPE_ATIME:
    case 134:
      return true;
    default:
      return false;
  }
}

bool bIsNullOrUnset(CValueItem* item) { return item->Value().bIsNull() || item->bIsUnset(); }

}  // namespace

int bHostValueIsEmpty(CValueItem* item) {
  if (bIsNullOrUnset(item)) return 1;
  const std::uint8_t type = item->Value().nGetType();
  const bool wide = bIsWideTextType(type);
  if (!wide && !bIsNarrowTextType(type)) return 0;
  // A text without data (an empty runtime string keeps no buffer) is empty too.
  const void* data = item->pGetValueData();
  if (!data) return 1;
  if (wide) {
    char16_t first;
    std::memcpy(&first, data, sizeof(first));
    return first == 0 ? 1 : 0;
  }
  return *static_cast<const char*>(data) == 0 ? 1 : 0;
}

int bHostValueIsZero(CValueItem* item) {
  if (bIsNullOrUnset(item)) return 1;
  const std::uint8_t type = item->Value().nGetType();
  if (type < HOST_TYPE_UINT32_RAW || type > HOST_TYPE_INT64_ALT) return 0;
  CHostValue copy;
  if (!item->bGetValue(&copy)) return 1;
  if (bHostFailed(copy.nConvert(HOST_TYPE_DOUBLE)) || copy.nGetType() != HOST_TYPE_DOUBLE || copy.bIsNull()) return 0;
  double number = 1.0;
  if (bHostFailed(copy.nGet(&number))) return 0;
  return number == 0.0 ? 1 : 0;
}

int bHostValueIsEmptyOrZero(CValueItem* item) { return bHostValueIsEmpty(item) || bHostValueIsZero(item) ? 1 : 0; }

std::uintptr_t nHostValueDataPointer(CValueItem* item) {
  CHostValue& value = item->Value();
  if (value.nGetType() == HOST_TYPE_EMPTY) return 0;
  const void* data = nullptr;
  return bHostFailed(value.nGetDataPointer(&data)) ? 0 : reinterpret_cast<std::uintptr_t>(data);
}

std::uint64_t nHostValueSizeWithTerminator(CValueItem* item) {
  std::size_t size = 0;
  return bHostFailed(item->Value().nGetSizeWithTerminator(&size)) ? 0 : size;
}

std::uint64_t nHostValueDataSize(CValueItem* item) {
  std::size_t size = 0;
  return bHostFailed(item->Value().nGetDataSize(&size)) ? 0 : size;
}

int nValueItemsEqual(CValueItem* a, CHostValue& b) {
  CHostValue& value = a->Value();
  const bool aAbsent = value.bIsNull() || value.nGetType() == HOST_TYPE_EMPTY;
  const bool bAbsent = b.bIsNull() || b.nGetType() == HOST_TYPE_EMPTY;
  if (aAbsent) {
    if (bAbsent) return 1;
    // An unset a meets a real value: the runtime decides; a NULL a never equals one.
    if (value.bIsNull()) return 0;
  }
  std::int32_t equal = 0;
  if (bHostFailed(value.nEquals(b, &equal))) return 0;
  return equal ? 1 : 0;
}

int bValueItemsEqual(CValueItem* a, CValueItem* b) { return a == b ? 1 : nValueItemsEqual(a, b->Value()); }

int nValueItemsEqualFor(CValueItem* a, CValueItem* b) {
  const bool aNone = !a || a->Value().bIsNull();
  const bool bNone = !b || b->Value().bIsNull();
  if (aNone || bNone) return aNone && bNone ? 1 : 0;
  return a == b ? 1 : a->bEqualsItem(b);
}

std::uint64_t nBufferChecksum(CValueItem* item) { return nBytesChecksum(item->pGetValueData(), item->nGetSize()); }

std::uint64_t nBytesChecksum(const void* bytes, std::uint64_t size) {
  const auto* data = static_cast<const std::uint8_t*>(bytes);
  if (!data) return 0;
  std::uint64_t sum = 0;
  for (; size >= 4; data += 4, size -= 4) {
    sum += static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
           static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
  }
  for (; size > 0; ++data, --size) sum += *data;
  return sum;
}

std::int32_t nHostValueToText(CValueItem* item, CHostWString& out, const char16_t* prefix, int details) {
  CHostValue copy;
  item->bGetValue(&copy);
  return nDumpTextFull(out, &copy, prefix, details);
}

void HostValueToCTString(CValueItem* item, CTString& out, const char16_t* prefix) {
  CHostWString text;
  nHostValueToText(item, text, prefix, 0);
  out.AssignN(text.pszGet() ? text.pszGet() : u"", text.nGetLength());
}

void ReleaseHostString(void** slot) {
  CHostString::Release(*slot);
  *slot = nullptr;
}

int bHostValueBinaryInfo(CValueItem* item, std::intptr_t* first, std::intptr_t* second) {
  if (first) *first = 0;
  if (second) *second = 0;
  if (!item) return 0;
  CHostValue converted;
  CHostValue* source = &item->Value();
  if (source->nGetType() != HOST_TYPE_PROXY_HANDLE) {
    converted.Assign(*source);
    if (bHostFailed(converted.nConvert(HOST_TYPE_PROXY_HANDLE))) return 0;
    source = &converted;
  }
  IHostProxyHandle* handle = nullptr;
  if (bHostFailed(source->nGet(&handle)) || !handle) return 0;
  if (first) *first = handle->nGetBinaryInfoFirst();
  if (second) *second = handle->nGetBinaryInfoSecond();
  return 1;
}
