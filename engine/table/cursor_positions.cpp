// The statement object's saved positions, its change notices, its counts, its place in thousandths, the completion
// of its row cache, the automatic identifier taken back from the last-read image and the record read again.
#include <algorithm>

#include "engine/cache/keyed_row_view.h"
#include "engine/cache/row_cache.h"
#include "engine/cache/saved_position.h"
#include "engine/cache/shared_row_source.h"
#include "engine/record/record.h"
#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/record_buffer.h"
#include "engine/record/table_description.h"
#include "engine/table/cursor.h"
#include "engine/table/table.h"
#include "foundation/clone_map.h"
#include "host/host_type.h"
#include "host/host_value.h"
#include "sql/conditions/key_condition.h"
#include "sql/connection.h"
#include "sql/rewriter/sql_rewriter.h"

namespace {

// Open flag: the rows may be counted from a complete row cache.
constexpr std::uint32_t OPEN_COUNT_FROM_CACHE = 0x4000;
constexpr std::uint32_t COUNT_RECORDS = 16;
constexpr std::uint32_t NO_IDENTIFIER = 0x400 | 0x100;
constexpr std::uint32_t SCALAR_MODE = 0x10000;
// Notice flag: the written row becomes the current one of every cursor that may take it.
constexpr std::uint32_t NOTICE_MAKE_CURRENT = 64;
constexpr std::uint32_t READ_RESTART = 0x2000;

}  // namespace

int CCursor::bGetRecordCount(std::int64_t* count, std::uint32_t, std::uint32_t flags) {
  CConnection* connection = pGetConnection();
  if (m_pTable->bIsQueryMode() && !(connection && connection->bDbmsKindSetA())) {
    // No sub-query to count in: the rows are read and counted; a failure leaves the count as it was.
    CSqlRewriter* statement = pNewTableStatement();
    if (!statement) return 0;
    int answer = bBuildStatement(SQL_STATEMENT_SELECT, statement, flags) && bOpen(0, flags) &&
                 bRead(READ_FIRST, 1, 1, nullptr);
    statement->nRelease();
    std::int64_t rows = 0;
    while (answer && !m_bOutOfRange) {
      ++rows;
      answer = bRead(READ_NEXT, 1, 1, nullptr);
    }
    if (answer && count) *count = rows;
    return answer;
  }
  FreeStatement();
  AttachRowCache(0);
  CSqlRewriter* statement = pNewTableStatement();
  CHostValue value;
  int answer = statement && bBuildCountQuery(statement, flags, nullptr) && bReadScalar(&value);
  FreeStatement();
  if (statement) statement->nRelease();
  if (count) *count = -1;
  if (!answer) return 0;
  if (value.nConvert(HOST_TYPE_INT64) < 100 && !value.bIsNull() && value.nGetType() == HOST_TYPE_INT64 && count) {
    value.nGet(count);
  }
  return 1;
}

int CCursor::bGetCachedRecordCount(std::int64_t* count, std::uint32_t flags, std::uint32_t strict) {
  const bool filterActive = m_pFilterNode && m_pFilterNode->bIsStarted();
  if (!bRowCacheActive() || !bRowCacheComplete() || bHasConditionNode() || !m_conditionRef.bMatches(m_pFilterNode) ||
      (strict && filterActive) || !(m_nOpenFlags & OPEN_COUNT_FROM_CACHE) || !(flags & OPEN_COUNT_FROM_CACHE)) {
    return 0;
  }
  if (count) *count = static_cast<std::int64_t>(m_pRowCache->nGetRowCount()) - m_pRowCache->nGetDeletedCount();
  return 1;
}

int CCursor::nGetPositionPerMille(std::uint32_t* result, const char16_t*) {
  *result = 1;
  std::int64_t rows = 0;
  std::int64_t place = 0;
  if (CSharedRowSource* source = m_pTable->pGetSharedRowSource()) {
    // The query's rows are all on the client: counted there, and the place is the rank in this context's own
    // order (its view's), where the server would count them in the query's order.
    CCursor* filler = source->pGetSourceCursor();
    if (!source->bIsComplete() && !(filler ? filler : this)->bRefreshRowCache()) return 0;
    rows = source->nGetRowCount();
    if (rows < 1) return 1;
    if (m_nRecordSlotState != SLOT_STATE_NONE && !bResyncSharedRows()) return 0;
    place = m_pSharedView ? static_cast<std::int64_t>(m_pSharedView->nGetCurrentRank()) + 1
                          : static_cast<std::int64_t>(m_nCurrentRow) + 1;
  } else {
    // The place is counted among all the key's records (a range a seek opened included): the count it is divided by
    // is theirs too, never the range's alone.
    const std::uint32_t fromCache = bHasConditionNode() ? 0 : OPEN_COUNT_FROM_CACHE;
    // The row the statement stands on is a place among the statement's rows only: counted on the server, the rows
    // take in what was added or deleted since it ran, and the place must be counted there too.
    std::int64_t cached = 0;
    const bool ownRows = fromCache && bGetCachedRecordCount(&cached, fromCache, 0);
    if (!m_pTable->bCountRecords(&rows, COUNT_RECORDS, fromCache, this, -1)) return 0;
    if (rows < 1) return 1;
    if (bHasConditionNode() || m_nRecordSlotState != SLOT_STATE_NONE || !m_bFirstRead || !ownRows) {
      std::int64_t before = 0;
      if (!m_pTable->bCountRecords(&before, COUNT_RECORDS, fromCache, this, 3)) return 0;
      // A record deleted since stands where the record after it would: never past the last.
      place = std::min(before + 1, rows);
    } else {
      place = bIsReversed() ? rows - m_nCurrentRow : static_cast<std::int64_t>(m_nCurrentRow) + 1;
    }
  }
  // In 64 bits: a place past 4.29 million rows times 1000 does not fit 32.
  const std::int64_t scaled = place * 1000;
  *result = static_cast<std::uint32_t>(scaled / rows + (scaled % rows != 0 ? 1 : 0));
  return 1;
}

int CCursor::bStoreAutomaticIdentifier(CHostValue*, std::uint32_t flags) {
  CColumn* identifier = m_pColumnSet ? m_pColumnSet->pGetAutoIdentifierColumn() : nullptr;
  if ((flags & NO_IDENTIFIER) || !identifier) return 1;
  CColumnDescriptor* item = identifier->pGetDescriptorNoRef();
  CRecordBuffer* image = m_pColumnSet->pGetImageBuffer();
  CRecordBuffer* current = m_pColumnSet->pGetCurrentBuffer();
  const std::uint8_t* bytes = image ? image->pGetFieldData(item, -1) : nullptr;
  if (bytes && current) current->bSetFieldBytes(item, bytes, item->nGetSize(), -1);
  return 1;
}

int CCursor::bRefreshRowCache() {
  std::uint32_t context = 0;
  const CTString item(m_strRequestedSearchItem.pszGet());
  int answer = m_pTable->bStorePosition(reinterpret_cast<RuntimeWord>(&context), item.pszGet(), 0);
  if (m_pRowCache) {
    m_nCurrentRow = static_cast<std::int32_t>(m_pRowCache->nGetRowCount()) - (m_nRowMark != 0xFFFFFFFF ? 2 : 1);
  }
  // The slot is set aside as it is, pinned: reading on must not give it back.
  const std::uint32_t slot = m_nRecordSlot;
  const std::uint32_t state = m_nRecordSlotState;
  m_nRecordSlot = SLOT_NONE;
  m_nRecordSlotState = SLOT_STATE_NONE;
  int readAnswer = 1;
  if (answer) {
    const std::uint32_t direction = bIsReversed() ? READ_PREVIOUS : READ_NEXT;
    m_bCompletingRows = 1;
    const bool clean = bHolderClean();
    for (;;) {
      const std::uint32_t rowsBefore = m_pRowCache ? m_pRowCache->nGetRowCount() : 0;
      const std::int32_t rowBefore = m_nCurrentRow;
      // Reading on keeps the shared rows: without the restart flag the table would drop and rebuild the very rows
      // this read completes, and read them again from the start.
      readAnswer = m_pTable->bRead(item.pszGet(), direction, 1, 0, 0, m_nOpenFlags | READ_FLAG_RESTART);
      if (!readAnswer && m_bOnFailedRow && (m_pRowCache ? m_pRowCache->nGetRowCount() : 0) != rowsBefore) {
        // A row fetched but not converted keeps its place in the rows: completing them passes it, its error gone;
        // the read that reaches it fails there.
        ForgetPassedRowError(clean);
        readAnswer = 1;
        continue;
      }
      if (!readAnswer || m_bOutOfRange) break;
      // A read that neither cached a row nor moved this statement went through another context: the rows cannot
      // be completed here, and reading on would never end.
      if ((m_pRowCache ? m_pRowCache->nGetRowCount() : 0) == rowsBefore && m_nCurrentRow == rowBefore) {
        readAnswer = bRaise(CURSOR_ERROR_CACHED_ROW, CURSOR_POINT_CACHED_ROW);
        break;
      }
    }
    m_bCompletingRows = 0;
    char16_t name[257] = {};
    answer = m_pTable->bRecallPosition(context, reinterpret_cast<RuntimeWord>(name), 0, 0);
  }
  bSetRecordSlot(SLOT_STATE_NONE, SLOT_NONE);
  m_nRecordSlot = slot;
  m_nRecordSlotState = state;
  // A read that failed on the way leaves the cache incomplete: that is the answer, with its error, whatever the
  // restore answered.
  return readAnswer ? answer : 0;
}

int CCursor::bModifyRecord(std::uint32_t, std::uint32_t flags) {
  FreeStatement();
  AttachRowCache(0);
  CSqlRewriter* where = pNewTableStatement();
  if (!where) return 0;
  CSqlRewriter* select = pNewTableStatement();
  int answer = select && bAppendRecordWhere(where, 0) && bBuildSelect(select, 0, nullptr, 1, where) &&
               bOpen(0, flags ? 1 : 0) && bRead(READ_FIRST, 1, 1, nullptr);
  if (select) select->nRelease();
  where->nRelease();
  return answer;
}

int CCursor::bTakeCurrentRecord() {
  CRecord* current = m_pColumnSet ? m_pColumnSet->pGetCurrentRecord() : nullptr;
  if (!current) return 1;
  // Moving back onto the row, the context would otherwise hand out the values it fetched before the lock.
  if (bRowCacheActive() && !m_pSharedView && m_nCurrentRow >= 0 &&
      static_cast<std::uint32_t>(m_nCurrentRow) < m_pRowCache->nGetRowCount() &&
      !m_pRowCache->ReplaceRow(static_cast<std::uint32_t>(m_nCurrentRow), current)) {
    return bOutOfMemory();
  }
  if (m_pSavedRecord && !m_pSavedRecord->bCopyFrom(current, RECORD_PARTS_ALL)) return bOutOfMemory();
  return 1;
}

// ---- saved positions ----

IPositionTable* CCursor::pGetOwnerTable() { return m_pTable ? m_pTable->pGetPositionTable() : nullptr; }

IPositionOwner* CCursor::pCloneThroughMap(CHashTable& cloneMap) {
  std::uint64_t known = 0;
  if (cloneMap.bLookup(nCloneKey(this), &known, nullptr)) return reinterpret_cast<CCursor*>(known);
  return pClone(cloneMap);
}

int CCursor::RegisterSavedPosition(CSavedPosition* position, std::uint32_t identifier) {
  if (!position) return 0;
  position->AddRef();
  if (!m_savedPositions.bInsert(identifier, reinterpret_cast<std::uint64_t>(position))) {
    position->nRelease();
    return bOutOfMemory();
  }
  return 1;
}

int CCursor::bUnregisterSavedPosition(std::uint32_t identifier) {
  std::uint64_t value = 0;
  if (!m_savedPositions.bRemove(identifier, &value, nullptr)) return 0;
  reinterpret_cast<CSavedPosition*>(value)->nRelease();
  return 1;
}

void CCursor::MarkDeletedRow(std::uint32_t row) {
  if (row == ROW_NONE) return;
  std::uint32_t place = 0;
  std::uint64_t value = 0;
  while (m_savedPositions.bIterate(place, 0, &value, nullptr)) {
    auto* saved = reinterpret_cast<CSavedPosition*>(value);
    if (saved->nGetRow() == row) saved->SetState(1);
  }
  m_savedPositions.EndIteration();
  if (m_nCurrentRow >= 0 && static_cast<std::uint32_t>(m_nCurrentRow) == row) m_bCurrentRowDeleted = 1;
}

int CCursor::bSavePosition(CSavedPosition* position) {
  if (!position) return 0;
  position->SetOwner(this);
  // Rows read under another filter than the node's now belong to the filter they were read under.
  position->bSetConditionContext(m_conditionRef.bMatches(m_pFilterNode) ? m_pFilterNode : m_conditionRef.pGetFilter());
  if (m_bOpen && m_nRecordSlotState == SLOT_STATE_NONE && !m_bCurrentRowDeleted && m_nCurrentRow >= 0) {
    position->bSave(static_cast<std::uint32_t>(m_nCurrentRow), m_pTable->nStoreContextRecord(this), m_positionKey,
                    m_nDuplicateCount);
    return bOnPositionSaved(position);
  }
  if (m_nRecordSlot == SLOT_NONE) {
    // Without a saved record of its own the context stands on the table's last-read record.
    const std::uint32_t slot = m_pTable->nStoreContextRecord(m_pSavedRecord ? this : nullptr);
    if (slot == SLOT_NONE) {
      const CPositionKey none;
      return position->bSave(ROW_NONE, SLOT_NONE, none, m_nDuplicateCount);
    }
    return position->bSave(ROW_NONE, slot, m_positionKey, m_nDuplicateCount);
  }
  // The position pins the slot in the table's record store itself and gives that pin back when it goes: a second
  // pin through the table would never be given back.
  return position->bSave(ROW_NONE, m_nRecordSlot, m_positionKey, m_nDuplicateCount);
}

int CCursor::bFindAgainBySlot(CSavedPosition* position, std::uint32_t slot) {
  const std::uint32_t oldSlot = m_nRecordSlot;
  const std::uint32_t oldState = m_nRecordSlotState;
  bSetRecordSlot(SLOT_STATE_PINNED, slot);
  m_nRecordSlotState = SLOT_STATE_PINNED;
  if (!m_pTable->bReadSlotIntoImage(slot)) {
    // The context stays where it stood: its slot and state as they were.
    bSetRecordSlot(oldState, oldSlot);
    m_nRecordSlotState = oldState;
    return 0;
  }
  m_pTable->CopyImageToCurrent();
  m_bFetched = 0;
  m_bFromCache = 1;
  m_nDuplicateCount = position->nGetMode();
  return 1;
}

int CCursor::bRestorePosition(CSavedPosition* position, std::uint32_t flags) {
  if (!position) return 0;
  const std::uint32_t slot = position->nGetPinnedRow();
  if (slot != SLOT_NONE) {
    const std::uint32_t previousState = m_nRecordSlotState;
    const std::uint32_t row = position->nGetRow();
    const bool marked = position->nGetState() != 0;
    if (position->bIsValid() && !marked && row != ROW_NONE && previousState != SLOT_STATE_READ &&
        !m_pTable->bIsStoredRecordDeleted(slot)) {
      if (!bGoToCachedRow(row, position)) return 0;
    } else {
      if (!bFindAgainBySlot(position, slot)) return 0;
      CConditionRef condition;
      condition.Assign(position->GetCondition());
      if (previousState != SLOT_STATE_READ && !marked && bRowCacheActive() && !m_pSharedView &&
          condition.bMatches(m_pFilterNode)) {
        const std::uint32_t found = m_pRowCache->nFindRecord(m_pColumnSet->pGetImageRecord());
        if (found != ROW_NONE && !bGoToCachedRow(found, position)) return 0;
      }
    }
  }
  m_positionKey.Assign(position->GetKey());
  m_bPositionKeyApplied = 1;
  m_bRowValues = static_cast<std::uint32_t>(m_positionKey.bApply(m_pColumnSet));
  m_bOutOfRange = 0;
  if (flags & 1) {
    SetFilterNode(position->GetCondition().pGetFilter());
    m_conditionRef.Assign(position->GetCondition());
    m_bKeyStage = position->GetCondition().bGetStarted();
    m_pTable->SetKeyCondition(m_pConditionNode);
  }
  return 1;
}

// ---- change notices ----

int CCursor::NotifyRowChange(std::uint32_t kind, std::uint32_t row, CCursor* source, std::uint32_t flags,
                             CRecord* record) {
  // The writer's records are the change: a cursor of another table (a copy of the session context) holds its own
  // program's values, which name another row or values not written.
  CTableDescription* writer = source && source->m_pColumnSet ? source->m_pColumnSet : m_pColumnSet;
  CRecord* current = writer ? writer->pGetCurrentRecord() : nullptr;
  CRecord* image = writer ? writer->pGetImageRecord() : nullptr;
  CRecord* changed = record ? record : image;
  const bool bothAllowInsert = (m_nOpenFlags & OPEN_COUNT_FROM_CACHE) && (flags & NOTICE_MAKE_CURRENT);
  if (source != this && m_pSharedView) {
    // The shared cache was kept in step by the table, once for all its readers; this reader's key order follows.
    // An order that could not follow would read rows out of place or miss them: that is a failure.
    if (row != ROW_NONE && !m_pSharedView->NotifyRowChange(kind, row, flags)) return 0;
  } else if (source != this) {
    // A cache the query's shared row source holds as well is kept in step by the source, once for all its readers.
    const bool sharedComplete = m_pTable->pGetSharedRowSource() && m_pRowCache && m_pRowCache->nGetRefCount() > 1 &&
                                bRowCacheComplete();
    if (!sharedComplete && bRowCacheActive()) {
      if (kind == SQL_STATEMENT_UPDATE) {
        // A row that cannot take the new values would go on being read with the old ones: that is a failure.
        const std::uint32_t row = m_pRowCache->nFindRecord(changed);
        if (row != ROW_NONE && !m_pRowCache->ReplaceRow(row, current)) return bOutOfMemory();
      } else if (kind == SQL_STATEMENT_INSERT &&
                 ((m_nOpenFlags & OPEN_COUNT_FROM_CACHE) || (flags & NOTICE_MAKE_CURRENT))) {
        const int reversed = static_cast<int>(bIsReversed());
        if (m_pRowCache->nApplyModification(SQL_STATEMENT_INSERT, current, nullptr, reversed) == ROW_NONE) {
          return bOutOfMemory();
        }
        if (bRowCacheComplete() || bothAllowInsert) {
          SetCurrentRow(reversed ? 0 : static_cast<std::int32_t>(m_pRowCache->nGetRowCount()) - 1);
        }
      } else if (kind == SQL_STATEMENT_DELETE) {
        MarkDeletedRow(m_pRowCache->nApplyModification(SQL_STATEMENT_DELETE, nullptr, changed, 0));
      }
    }
  }
  if (!m_bOpen || m_bOutOfRange) return 1;
  bool takeAgain = true;
  if (source == this || m_pSharedView || m_pRowCache) {
    if (kind == SQL_STATEMENT_DELETE && m_nRecordSlotState != SLOT_STATE_READ && m_pRowCache) {
      takeAgain = m_pRowCache->nFindRecord(changed) == ROW_NONE;
    } else if (kind == SQL_STATEMENT_UPDATE && record && m_pSavedRecord && m_pSavedRecord->bEquals(record, true)) {
      takeAgain = !m_positionKey.bApply(m_pColumnSet);
    }
  }
  if (flags & NOTICE_MAKE_CURRENT) bUpdateRecordSlot(SLOT_STATE_WRITTEN);
  if (!takeAgain) return 1;
  return bTakeRecordSlot(!m_pSharedView && !m_pRowCache ? SLOT_STATE_READ : SLOT_STATE_PINNED);
}

// ---- moving, values ----

int CCursor::bGoToPerMille(std::uint32_t perMille, const char16_t*, std::uint32_t flags) {
  std::int64_t rows = 0;
  if (perMille != 0 && !m_pTable->bCountRecords(&rows, COUNT_RECORDS, 0, this, -1)) return 0;
  std::int64_t target = static_cast<std::int64_t>(perMille) * rows / 1000;
  if (target == 0) target = 1;
  return m_pTable->bReadInContext(m_strSearchItem.pszGet(), READ_FIRST, static_cast<RuntimeWord>(target), 1, 0, 0,
                                  flags | READ_RESTART);
}

int CCursor::bReadNextValues(std::uint32_t direction, std::uint32_t* outOfRange, CHostValue* values,
                             std::uint32_t count) {
  const int answer = bRead(direction, 1, 1, nullptr);
  if (outOfRange) *outOfRange = m_bOutOfRange;
  if (!answer || !m_bRowValues || !values || !m_pColumnSet) return answer;
  const std::uint32_t columns = m_pColumnSet->nGetColumnCount();
  for (std::uint32_t i = 0; i < count && i < columns; ++i) {
    CColumn* column = m_pColumnSet->pGetColumn(i);
    if (!column || !column->bGetValue(values[i], 0)) return 0;
  }
  return 1;
}
