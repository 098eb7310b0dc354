// The statement object's side of a query's shared row source: the view it reads the shared rows through, found
// again before each move next or previous when the table moved it, and the source cursor's complete row cache.
#include "engine/cache/keyed_row_view.h"
#include "engine/cache/row_cache.h"
#include "engine/cache/shared_row_source.h"
#include "engine/record/record.h"
#include "engine/record/table_description.h"
#include "engine/table/cursor.h"
#include "engine/table/table.h"

int CCursor::bHasCompleteRowCache() const { return bRowCacheComplete(); }

CRowCache* CCursor::pGetCompleteRowCache() {
  if (!m_pRowCache) return nullptr;
  if (!bRowCacheComplete() && !bRefreshRowCache()) return nullptr;
  return bRowCacheComplete() ? m_pRowCache : nullptr;
}

void CCursor::DropSharedView() {
  if (!m_pSharedView) return;
  if (m_pRowCache && m_pRowCache == m_pSharedView->pGetRowCache()) {
    m_pRowCache->nRelease();
    m_pRowCache = nullptr;
  }
  m_pSharedView->nRelease();
  m_pSharedView = nullptr;
}

int CCursor::bStandInSourceOrder() {
  if (!m_pSharedView) return 1;
  const std::uint32_t row = m_pSharedView->nGetCurrentRow();
  CRowCache* cache = m_pSharedView->pGetRowCache();
  cache->AddRef();
  DropSharedView();
  if (m_pRowCache) m_pRowCache->nRelease();
  m_pRowCache = cache;
  SetCurrentRow(row == ROW_NONE ? -1 : static_cast<std::int32_t>(row));
  return 1;
}

int CCursor::bAttachSharedRowSource() {
  CSharedRowSource* source = m_pTable ? m_pTable->pGetSharedRowSource() : nullptr;
  if (!source) return 0;
  // Opening the view reads the rows to their end through the table, which must not take this cursor's slot.
  const std::uint32_t slot = m_nRecordSlot;
  const std::uint32_t state = m_nRecordSlotState;
  m_nRecordSlot = SLOT_NONE;
  m_nRecordSlotState = SLOT_STATE_NONE;
  // The key the table asked for, when it asked for one: an empty request keeps the key the cursor reads on.
  if (!m_strRequestedSearchItem.bIsEmpty() && !m_strRequestedSearchItem.bEquals(m_strSearchItem.pszGet())) {
    m_strSearchItem = m_strRequestedSearchItem.pszGet();
  }
  CColumn* key = pFindColumn(m_strSearchItem.pszGet());
  if (!key) {
    // A name that is none of the query's items reads the rows in the query's own order: the source's rows as they
    // stand, complete; a cursor reading them already keeps its place.
    CRowCache* cache = source->pGetRowCache();
    if (cache && (m_pSharedView || cache != m_pRowCache)) {
      cache->AddRef();
      DropSharedView();
      if (m_pRowCache) m_pRowCache->nRelease();
      m_pRowCache = cache;
      m_nCurrentRow = -1;
    }
    m_nRecordSlot = slot;
    m_nRecordSlotState = state;
    return cache ? 1 : 0;
  }
  // The view this cursor already reads the same rows through, by the same key, stands where the last read left it:
  // a new one would start from an end and every move next or previous would answer the same row.
  if (key && m_pSharedView && m_pSharedView->pGetKeyColumn() == key &&
      source->bIsSourceCache(m_pSharedView->pGetRowCache())) {
    m_nRecordSlot = slot;
    m_nRecordSlotState = state;
    return 1;
  }
  CKeyedRowView* view = key ? source->pOpenView(this, key) : nullptr;
  if (view) {
    view->AddRef();
    DropSharedView();
    m_pSharedView = view;
    CRowCache* cache = view->pGetRowCache();
    cache->AddRef();
    if (m_pRowCache) m_pRowCache->nRelease();
    m_pRowCache = cache;
  }
  m_nRecordSlot = slot;
  m_nRecordSlotState = state;
  return view ? 1 : 0;
}

int CCursor::bOpenSharedView() {
  CSharedRowSource* source = m_pTable ? m_pTable->pGetSharedRowSource() : nullptr;
  // A source with nothing in it yet has no rows to share: the context reads its own statement.
  if (m_bOpen || !source || source->bIsEmpty() || source->bIsSourceCursor(this)) return 1;
  if (!source->bFillFor(this)) return 0;
  bClose();
  return bAttachSharedRowSource();
}

int CCursor::bResyncSharedRows() {
  CSharedRowSource* source = m_pTable ? m_pTable->pGetSharedRowSource() : nullptr;
  if (!source || !m_pSavedRecord) return 1;
  if (source->bIsSourceCursor(this)) {
    if (!m_pRowCache) return 1;
    const std::uint32_t row = m_pRowCache->nFindRecord(m_pSavedRecord);
    if (row == ROW_NONE) return bRaiseRecordNotFound();
    m_nCurrentRow = static_cast<std::int32_t>(row);
    return 1;
  }
  // A cursor that never opened its view has no place in the shared rows to find again.
  if (!m_pSharedView || !m_pColumnSet) return 1;
  // The view finds a row by the table's last-read image (its key) and current record (which of identical rows):
  // both become the saved record, which the move that follows replaces.
  CRecord* image = m_pColumnSet->pGetImageRecord();
  CRecord* current = m_pColumnSet->pGetCurrentRecord();
  if (!image || !current || !image->bCopyFrom(m_pSavedRecord, RECORD_PARTS_ALL) ||
      !current->bCopyFrom(m_pSavedRecord, RECORD_PARTS_ALL)) {
    return bOutOfMemory();
  }
  // Found or not, the view stands where the next move from the saved row starts: on it, or, when it is gone,
  // between the rows around it (the move next reaches the row that followed it). The count is the caller's.
  int found = 0;
  return m_pSharedView->bFindAgain(m_nDuplicateCount, &found);
}

int CCursor::bPlaceOnRecord(CRecord* record, bool required) {
  if (!bEnsureSavedRecord()) return 0;
  if (!m_pSavedRecord->bCopyFrom(record, RECORD_PARTS_ALL)) return bOutOfMemory();
  m_nDuplicateCount = 0;
  if (m_pSharedView) return bResyncSharedRows();
  if (!m_pRowCache) return 1;
  const std::uint32_t row = m_pRowCache->nFindRecord(m_pSavedRecord);
  if (row == ROW_NONE && !required) ForgetSavedRecord();
  if (row == ROW_NONE) return required ? bRaiseRecordNotFound() : 1;
  m_nCurrentRow = static_cast<std::int32_t>(row);
  return 1;
}
