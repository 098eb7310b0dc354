#include "engine/cache/key_index.h"

#include "engine/cache/row_cache.h"
#include "engine/record/column.h"
#include "engine/record/record.h"
#include "engine/record/table_description.h"
#include "foundation/module_errors.h"
#include "host/host_value.h"
#include "sql/connection.h"

CKeyIndex::CKeyIndex(IKeyIndexOwner* owner, CRowCache* cache, CColumn* keyColumn, CHostValue* searchValue)
    : m_pOwner(owner), m_pCache(cache), m_pKeyColumn(keyColumn), m_pSearchValue(searchValue) {
  AddRefObject(m_pCache);
  AddRefObject(m_pKeyColumn);
  CConnection* connection = m_pKeyColumn ? m_pKeyColumn->pGetConnection() : nullptr;
  m_bEmptyKeysLast = connection && !connection->bNullsSortFirst();
}

bool CKeyIndex::bIsEmptyKey(CHostValue& value) {
  if (value.nGetType() == 0 || value.bIsNull()) return true;
  // A value whose size cannot be told is a value: only what is known to hold nothing keys as empty.
  std::size_t size = 1;
  return value.nGetDataSize(&size) < 100 && size == 0;
}

CKeyIndex::~CKeyIndex() {
  if (m_pWorkRecord) m_pWorkRecord->nRelease();
  if (m_pKeyColumn) m_pKeyColumn->nRelease();
  if (m_pCache) m_pCache->nRelease();
}

std::uint16_t CKeyIndex::nGetKeyHostType() const { return m_pKeyColumn ? m_pKeyColumn->nGetHostType() : 0; }

bool CKeyIndex::bHasSearchValue() const { return m_pSearchValue && m_pSearchValue->nGetType() != 0; }

void CKeyIndex::RaiseOutOfMemory() const { SetHolderOutOfMemory(m_pOwner ? m_pOwner->pGetErrorHolder() : nullptr); }

CRecord* CKeyIndex::pWorkRecord() {
  if (!m_pWorkRecord && m_pOwner) m_pWorkRecord = m_pOwner->pNewRowRecord();
  return m_pWorkRecord;
}

int CKeyIndex::nMemoIndex() const {
  CTableDescription* table = m_pKeyColumn->pGetTableDescription();
  if (!table) return -1;
  const CRefPtrArray& memos = table->GetMemoColumns();
  for (std::uint32_t i = 0; i < memos.nGetCount(); ++i) {
    if (memos.pGetObject(i) == m_pKeyColumn) return static_cast<int>(i);
  }
  return -1;
}

int CKeyIndex::bReadRowKey(std::uint32_t row, CHostValue& value) {
  CRecord* record = pWorkRecord();
  if (!record || !m_pKeyColumn || !m_pCache->bReadRow(record, row)) return 0;
  // A key that could not be read would key its row as NULL and place it wrongly: the build fails instead.
  int read = 0;
  if (!m_pKeyColumn->bIsMemo()) {
    read = record->GetFieldValue(value, m_pKeyColumn->pGetDescriptorNoRef());
  } else {
    const int index = nMemoIndex();
    if (index < 0) return 0;
    read = record->GetLargeValue(value, static_cast<std::uint32_t>(index));
  }
  if (!read) RaiseOutOfMemory();
  return read;
}

int CKeyIndex::bReadImageKey(CHostValue& value) {
  if (!m_pKeyColumn) return 0;
  if (!m_pKeyColumn->bIsMemo()) return m_pKeyColumn->bGetImageValue(value, 0);
  // The image's record buffer holds no memo: its value is among the image record's large values.
  CTableDescription* table = m_pKeyColumn->pGetTableDescription();
  CRecord* image = table ? table->pGetImageRecord() : nullptr;
  const int index = nMemoIndex();
  if (!image || index < 0) return 0;
  if (image->GetLargeValue(value, static_cast<std::uint32_t>(index))) return 1;
  RaiseOutOfMemory();
  return 0;
}

CRecord* CKeyIndex::pGetCurrentRecord() const {
  CTableDescription* table = m_pKeyColumn ? m_pKeyColumn->pGetTableDescription() : nullptr;
  return table ? table->pGetCurrentRecord() : nullptr;
}
