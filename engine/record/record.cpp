#include "engine/record/record.h"

#include <new>

#include "engine/record/column_descriptor.h"
#include "engine/record/record_buffer.h"
#include "engine/values/field_value.h"
#include "engine/values/row_keys.h"
#include "engine/values/value_row.h"
#include "foundation/clone_map.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/reference_guard.h"
#include "host/host_value.h"
#include "host/library_entry.h"
#include "sql/driver_services.h"

namespace {

SRecordImage ImageOf(CRecordBuffer* buffer, CValueRow* largeValues) {
  SRecordImage image;
  if (buffer) {
    image.pBytes = buffer->pGetBlock();
    image.nByteCount = buffer->nGetTotalLength();
  }
  image.pLargeValues = largeValues;
  return image;
}

}  // namespace

CRecord::CRecord(CErrorHolder* holder) : m_pErrorHolder(holder ? holder : pCreateErrorHolderThrough(gpDriver)) {
  if (m_pErrorHolder) m_pErrorHolder->AddRef();
}

CRecord::~CRecord() {
  if (m_pKey) m_pKey->nRelease();
  if (m_pLargeValues) m_pLargeValues->nRelease();
  if (m_pBuffer) m_pBuffer->nRelease();
  if (m_pErrorHolder) m_pErrorHolder->nRelease();
}

int CRecord::SetBuffer(CRecordBuffer* buffer) {
  if (m_pBuffer) {
    m_pBuffer->CopyBlockFrom(buffer);
    return 1;
  }
  CRecordBuffer* copy = buffer->pClone();
  if (!copy) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  Exchange(m_pBuffer, copy);
  return 1;
}

int CRecord::bSetKey(IRowKey* source) {
  if (!source) return 1;
  const SRecordImage image = ImageOf(m_pBuffer, m_pLargeValues);
  if (m_pKey) return m_pKey->bAssign(image, source);
  IRowKey* key = source->pNewFor(image);
  if (!key) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  Exchange(m_pKey, key);
  return 1;
}

int CRecord::SetKey(IRowKey* key) {
  Exchange(m_pKey, key);
  return 1;
}

int CRecord::bEnsureLargeValues() {
  if (m_pLargeValues) return 1;
  auto* row = new (std::nothrow) CValueRow();
  if (!row) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  Exchange(m_pLargeValues, row);
  return 1;
}

int CRecord::bSetLargeValue(std::uint32_t index, CFieldValue* value) {
  if (!bEnsureLargeValues()) return 0;
  if (!m_pLargeValues->bPut(index, value)) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  return 1;
}

int CRecord::bCopyLargeValuesFrom(CValueRow* values) {
  const bool otherEmpty = !values || values->nGetCount() == 0;
  if (otherEmpty && (!m_pLargeValues || m_pLargeValues->nGetCount() == 0)) {
    Exchange<CValueRow>(m_pLargeValues, nullptr);
    return 1;
  }
  if (!bEnsureLargeValues()) return 0;
  if (!m_pLargeValues->CopyFrom(values)) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  return 1;
}

int CRecord::bCopyFrom(CRecord* source, std::uint32_t parts) {
  m_nState = source->m_nState;
  if ((parts & RECORD_PART_BUFFER) && source->m_pBuffer && !SetBuffer(source->m_pBuffer)) return 0;
  if ((parts & RECORD_PART_LARGE_VALUES) && !bCopyLargeValuesFrom(source->m_pLargeValues)) return 0;
  if ((parts & RECORD_PART_KEY) && !bSetKey(source->m_pKey)) return 0;
  return 1;
}

CRecord* CRecord::pDuplicate(std::uint32_t parts) {
  return pCloneUnreferenced(new (std::nothrow) CRecord(m_pErrorHolder), m_pErrorHolder,
                            [&](CRecord* copy) { return copy->bCopyFrom(this, parts); });
}

int CRecord::bEquals(CRecord* other, bool withLargeValues) {
  if (!m_pBuffer || !other->m_pBuffer) return m_pBuffer == other->m_pBuffer;
  if (!m_pBuffer->bEquals(other->m_pBuffer)) return 0;
  return !withLargeValues || bValueRowsEqual(m_pLargeValues, other->m_pLargeValues);
}

int CRecord::GetFieldValue(CHostValue& value, CColumnDescriptor* descriptor) {
  if (m_pBuffer && m_pBuffer->bIsFieldPresent(descriptor)) return m_pBuffer->GetFieldValue(value, descriptor, 0);
  value.SetType(static_cast<std::uint8_t>(descriptor->nGetHostType()));
  value.SetNull(true);
  return 1;
}

int CRecord::GetLargeValue(CHostValue& value, std::uint32_t index) {
  CFieldValue* stored = m_pLargeValues && index < m_pLargeValues->nGetCount() ? m_pLargeValues->pGetAt(index) : nullptr;
  if (stored && stored->bGetValue(&value)) return 1;
  value.SetNull(true);
  // A value never read is NULL here; one that was read but could not be handed over (memory refused) is no NULL.
  return !stored || stored->bIsUnset() ? 1 : 0;
}

int CRecord::bCopyFromWithMap(CRecord* source, CHashTable& cloneMap) {
  if (!bRegisterClone(cloneMap, source, this)) return 0;
  Exchange(m_pErrorHolder, source->m_pErrorHolder);
  if (source->m_pBuffer) {
    std::uint64_t known = 0;
    CRecordBuffer* buffer = cloneMap.bLookup(nCloneKey(source->m_pBuffer), &known, nullptr)
                                ? reinterpret_cast<CRecordBuffer*>(known)
                                : source->m_pBuffer->pCloneWithMap(cloneMap);
    if (!buffer) return 0;
    Exchange(m_pBuffer, buffer);
  }
  if (source->m_pLargeValues) {
    std::uint64_t known = 0;
    CValueRow* row = cloneMap.bLookup(nCloneKey(source->m_pLargeValues), &known, nullptr)
                         ? reinterpret_cast<CValueRow*>(known)
                         : source->m_pLargeValues->pNew(cloneMap);
    if (!row) return 0;
    Exchange(m_pLargeValues, row);
  }
  Exchange<IRowKey>(m_pKey, nullptr);
  if (!bSetKey(source->m_pKey)) return 0;
  m_nState = source->m_nState;
  return 1;
}

CRecord* CRecord::pClone(CHashTable& cloneMap) {
  return pCloneUnreferenced(new (std::nothrow) CRecord(m_pErrorHolder), m_pErrorHolder,
                            [&](CRecord* copy) { return copy->bCopyFromWithMap(this, cloneMap); });
}
