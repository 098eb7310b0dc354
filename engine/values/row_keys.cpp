#include "engine/values/row_keys.h"

#include <cstring>
#include <new>

#include "engine/values/field_value.h"
#include "foundation/hash_table.h"
#include "foundation/t_string.h"
#include "host/value_item.h"

namespace {

SRecordValuesKeyForm RecordFormAt(std::uint64_t address) {
  SRecordValuesKeyForm form;
  std::memcpy(&form, reinterpret_cast<const void*>(static_cast<std::uintptr_t>(address)), sizeof(form));
  return form;
}

// Both kinds of serialised key start with their hash.
std::uint32_t nStoredHash(std::uint64_t address) {
  std::uint32_t hash = 0;
  std::memcpy(&hash, reinterpret_cast<const void*>(static_cast<std::uintptr_t>(address)), sizeof(hash));
  return hash;
}

// Keys over records of different sizes differ, whatever their common bytes say: neither is read past its end.
int nCompareRecordKeys(std::uint64_t a, std::uint64_t b) {
  const SRecordValuesKeyForm x = RecordFormAt(a);
  const SRecordValuesKeyForm y = RecordFormAt(b);
  if (x.nByteCount != y.nByteCount) return x.nByteCount < y.nByteCount ? -1 : 1;
  if (x.nByteCount == 0) return 0;
  return std::memcmp(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(x.nBytesAddress)),
                     reinterpret_cast<const void*>(static_cast<std::uintptr_t>(y.nBytesAddress)),
                     static_cast<std::size_t>(x.nByteCount));
}

int nCompareHostValueKeys(std::uint64_t a, std::uint64_t b) {
  const auto* x = reinterpret_cast<const std::uint8_t*>(static_cast<std::uintptr_t>(a));
  const auto* y = reinterpret_cast<const std::uint8_t*>(static_cast<std::uintptr_t>(b));
  std::uint32_t lengthX = 0, lengthY = 0;
  std::memcpy(&lengthX, x + 4, 4);
  std::memcpy(&lengthY, y + 4, 4);
  const int order = std::memcmp(x + 8, y + 8, lengthX < lengthY ? lengthX : lengthY);
  if (order != 0) return order;
  if (lengthX == lengthY) return 0;
  return lengthX < lengthY ? -1 : 1;
}

}  // namespace

// ---- keys over whole records -------------------------------------------------------------------------------------

IRowKey* CRecordValuesKey::pNewFor(const SRecordImage& record) { return new (std::nothrow) CRecordValuesKey(record); }

int CRecordValuesKey::bEquals(IRowKey* other) {
  if (!other || other->nGetKind() != ROW_KEY_RECORD_VALUES) return 0;
  const SRecordImage& theirs = static_cast<CRecordValuesKey*>(other)->m_record;
  if (theirs.nByteCount != m_record.nByteCount) return 0;
  return m_record.nByteCount == 0 || std::memcmp(m_record.pBytes, theirs.pBytes, m_record.nByteCount) == 0;
}

int CRecordValuesKey::bAssign(const SRecordImage& record, IRowKey*) {
  m_record = record;
  return 1;
}

void CRecordValuesKey::Serialise(std::uint8_t* out) {
  SRecordValuesKeyForm form;
  form.nHash = nGetHash();
  form.nByteCount = m_record.nByteCount;
  form.nBytesAddress = reinterpret_cast<std::uintptr_t>(m_record.pBytes);
  form.nValueRowAddress = reinterpret_cast<std::uintptr_t>(m_record.pLargeValues);
  std::memcpy(out, &form, sizeof(form));
}

int CRecordValuesKey::bDeserialise(const std::uint8_t* bytes, std::uint64_t length) {
  if (!bytes || length < sizeof(SRecordValuesKeyForm)) return 0;
  const SRecordValuesKeyForm form = RecordFormAt(reinterpret_cast<std::uintptr_t>(bytes));
  m_record.nByteCount = form.nByteCount;
  m_record.pBytes = reinterpret_cast<const std::uint8_t*>(static_cast<std::uintptr_t>(form.nBytesAddress));
  m_record.pLargeValues = reinterpret_cast<CValueRow*>(static_cast<std::uintptr_t>(form.nValueRowAddress));
  return 1;
}

std::uint32_t CRecordValuesKey::nGetHash() {
  return static_cast<std::uint32_t>(nBytesChecksum(m_record.pBytes, m_record.nByteCount));
}

void CRecordValuesKey::Dump(CTString& out, const char16_t* prefix) {
  out = prefix ? prefix : u"";
  CTString text;
  text.Format(u"record values (%d bytes)", static_cast<int>(m_record.nByteCount));
  out.Append(text.pszGet());
}

void CRecordValuesKey::ConfigureKeyMap(CHashTable& map) {
  map.SetHashFunction(nStoredHash);
  map.SetCompareFunction(nCompareRecordKeys);
}

// ---- keys over one value -------------------------------------------------------------------------------------------

CHostValueKey::CHostValueKey(CFieldValue* value) : m_pValue(value) {
  if (m_pValue) m_pValue->AddRef();
}

CHostValueKey::~CHostValueKey() {
  if (m_pValue) m_pValue->nRelease();
}

IRowKey* CHostValueKey::pNewFor(const SRecordImage&) {
  CFieldValue* copy = m_pValue ? m_pValue->pDuplicate() : nullptr;
  if (!copy) return nullptr;
  auto* key = new (std::nothrow) CHostValueKey(copy);
  if (!key) copy->nRelease();  // never referenced: destroyed
  return key;
}

int CHostValueKey::bEquals(IRowKey* other) {
  if (!other || other->nGetKind() != ROW_KEY_HOST_VALUE) return 0;
  return bValueItemsEqual(m_pValue, static_cast<CHostValueKey*>(other)->m_pValue);
}

int CHostValueKey::bAssign(const SRecordImage&, IRowKey* other) {
  if (!other || other->nGetKind() != ROW_KEY_HOST_VALUE) return 0;
  return m_pValue->bCopyFrom(static_cast<CHostValueKey*>(other)->m_pValue);
}

std::uint64_t CHostValueKey::nGetSerialSize() { return m_pValue->nGetBufferSize() + 8; }

// The arena holds buffer size + 8 bytes for every key of a column, so a value whose data outgrew its declared size
// is cut to it rather than written past its place.
void CHostValueKey::Serialise(std::uint8_t* out) {
  const std::uint64_t room = m_pValue->nGetBufferSize();
  const std::uint64_t size = m_pValue->nGetDataSize();
  const auto length = static_cast<std::uint32_t>(size < room ? size : room);
  const std::uint32_t hash = nGetHash();
  std::memcpy(out, &hash, 4);
  std::memcpy(out + 4, &length, 4);
  const void* data = m_pValue->pGetData();
  if (data && length) std::memcpy(out + 8, data, length);
  std::memset(out + 8 + length, 0, room - length);
}

int CHostValueKey::bDeserialise(const std::uint8_t* bytes, std::uint64_t length) {
  if (!bytes || length < 8) return 0;
  std::uint32_t stored = 0;
  std::memcpy(&stored, bytes + 4, 4);
  const std::uint64_t available = length - 8;
  return m_pValue->bSetBytes(bytes + 8, stored < available ? stored : available);
}

std::uint32_t CHostValueKey::nGetHash() { return static_cast<std::uint32_t>(nBufferChecksum(m_pValue)); }

void CHostValueKey::Dump(CTString& out, const char16_t* prefix) { HostValueToCTString(m_pValue, out, prefix); }

void CHostValueKey::ConfigureKeyMap(CHashTable& map) {
  map.SetHashFunction(nStoredHash);
  map.SetCompareFunction(nCompareHostValueKeys);
}
