// The statement object's reads through its row cache: rows already cached are read from it, the others fetched
// into it, forwards one by one or, on a scrollable statement, straight at the row.
#include <new>

#include "engine/cache/keyed_row_view.h"
#include "engine/cache/row_cache.h"
#include "engine/cache/saved_position.h"
#include "engine/record/record.h"
#include "engine/record/table_description.h"
#include "engine/table/cursor.h"
#include "engine/table/table.h"
#include "foundation/clone_map.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "sql/rewriter/sql_rewriter.h"

int CCursor::bRowCacheActive() const { return m_pRowCache && (m_pRowCache->nGetFlags() & ROW_CACHE_ACTIVE); }
int CCursor::bRowCacheComplete() const { return m_pRowCache && (m_pRowCache->nGetFlags() & ROW_CACHE_COMPLETE); }

void CCursor::AttachRowCache(int on) {
  if (on) {
    if (!m_pRowCache) {
      m_pRowCache = new (std::nothrow) CRowCache(0);
      if (!m_pRowCache) {
        SetHolderOutOfMemory(m_pErrorHolder);
        return;
      }
      m_pRowCache->AddRef();
    }
    m_pRowCache->SetFlags(m_pRowCache->nGetFlags() | ROW_CACHE_ACTIVE);
    if (m_pRowCache->nGetRowCount() == 0) EnableRowCache();
    return;
  }
  if (!m_pRowCache) return;
  if (m_pRowCache->nGetRefCount() > 1) {
    m_pRowCache->nRelease();
    m_pRowCache = nullptr;
    return;
  }
  m_pRowCache->Reset();
  m_pRowCache->SetFlags(m_pRowCache->nGetFlags() & ~ROW_CACHE_ACTIVE);
}

void CCursor::ReadLastCachedRowIntoSavedRecord() {
  const std::uint32_t rows = m_pRowCache->nGetRowCount();
  if (rows > 0 && m_pSavedRecord) m_pRowCache->bReadRow(m_pSavedRecord, rows - 1);
}

int CCursor::bStoreFetchedRow(std::uint32_t row) {
  CRecord* current = m_pColumnSet ? m_pColumnSet->pGetCurrentRecord() : nullptr;
  // A fetched row is a row of the database: the state a write left on the current record (0x80, a record not
  // written yet) is not its own, and as the cache's mark it would read as a deleted row.
  if (current) current->SetState(0);
  if (m_pRowCache->StoreRecordAt(current, row) == ROW_NONE) return bOutOfMemory();
  m_nCurrentRow = static_cast<std::int32_t>(row);
  m_bOpen = 1;
  return 1;
}

int CCursor::bReadThroughCache(std::uint32_t direction, std::uint32_t loadRecord, std::uint32_t count, void* context,
                               std::uint32_t* outOfRange, std::uint32_t* viewDuplicate) {
  *outOfRange = 1;
  if (m_bContinuing) {
    if (direction == READ_FIRST) direction = READ_NEXT;
    if (direction == READ_LAST) direction = READ_PREVIOUS;
    m_nContinuationRowCount = m_pRowCache->nGetRowCount();
  }
  const int scrollable = bIsScrollable(direction, loadRecord, count);
  const bool lastWithoutScrolling = direction == READ_LAST && !scrollable;

  std::int32_t target = -1;
  if (!(lastWithoutScrolling && !bRowCacheComplete())) {
    if (m_pSharedView) {
      // The shared rows in the order of this cursor's key; a move the view cannot make reaches no row.
      std::uint32_t row = ROW_NONE;
      std::uint32_t duplicate = 0;
      if (!m_pSharedView->bMove(direction, count, &row, &duplicate)) return 0;
      if (row != ROW_NONE) *viewDuplicate = duplicate;
      target = row == ROW_NONE ? -1 : static_cast<std::int32_t>(row);
    } else {
      target = m_pRowCache->nMoveRow(m_nCurrentRow, direction, count);
    }
    if (!m_pRowCache->bMustFetchRow(target)) {
      *outOfRange = static_cast<std::uint32_t>(m_pRowCache->bIsRowOutOfRange(target));
      if (*outOfRange) return 1;
      if (!bReadReachedRow(static_cast<std::uint32_t>(target))) return 0;
      *outOfRange = 0;
      return 1;
    }
  }

  // Fetch into the cache: once straight at the row on a scrollable statement, else forwards row by row up to the
  // target, or to the end for a last read.
  const std::uint32_t cached = m_pRowCache->nGetRowCount();
  std::uint64_t steps = 1;
  if (!scrollable && !lastWithoutScrolling) {
    steps = target >= static_cast<std::int32_t>(cached) ? static_cast<std::uint64_t>(target) - cached + 1 : 1;
  }
  bool ranOut = false;
  bool found = false;
  const bool clean = bHolderClean();
  for (std::uint64_t step = 0; lastWithoutScrolling || step < steps; ++step) {
    std::uint32_t rowOut = 1;
    const std::uint32_t fetchCount = scrollable ? static_cast<std::uint32_t>(target + 1) : 1;
    m_bRowUnconverted = 0;
    const int fetched = bFetch(scrollable ? READ_FIRST : READ_NEXT, 1, &rowOut, fetchCount, context);
    const std::uint32_t row = scrollable ? fetchCount - 1 : m_pRowCache->nGetRowCount() + fetchCount - 1;
    if (!fetched && m_bRowUnconverted) {
      // The statement stands past the row now: the row keeps its place, marked, so that the rows after it keep
      // their numbers. The read that wanted it fails on it; a move that only passes it goes on, its error gone.
      m_bFetched = 0;
      if (!bStoreFetchedRow(row)) return 0;
      m_pRowCache->SetMark(row, ROW_MARK_UNCONVERTED);
      if (!lastWithoutScrolling && step + 1 == steps) {
        m_bOnFailedRow = 1;
        return 0;
      }
      ForgetPassedRowError(clean);
      continue;
    }
    if (!fetched) {
      m_bFetched = 0;
      return 0;
    }
    if (!rowOut) {
      if (!bStoreFetchedRow(row)) {
        m_bFetched = 0;
        return 0;
      }
      found = true;
      continue;
    }
    found = false;
    ranOut = true;
    if ((m_nRowMark != 0xFFFFFFFF && !bRowCacheComplete()) || (!m_bFirstRead && direction == READ_PREVIOUS)) {
      // As on the direct path: a continuation that fails fails the read.
      if (!bContinueRead(direction, loadRecord, count, outOfRange)) {
        m_bFetched = 0;
        return 0;
      }
      if (!*outOfRange) {
        m_bFetched = 1;
        return 1;
      }
    }
    break;
  }

  if (found && !lastWithoutScrolling) {
    *outOfRange = 0;
    m_bFetched = 1;
    return 1;
  }
  if (ranOut && direction != READ_PREVIOUS && bRowCacheActive()) {
    const std::uint32_t before = m_pRowCache->nGetRowCount();
    m_pRowCache->SetComplete();
    if (m_pRowCache->nGetRowCount() != before && bReadCachedRow(before)) *outOfRange = 0;
  }
  if (lastWithoutScrolling) {
    const std::uint32_t rows = m_pRowCache->nGetRowCount();
    std::int32_t last = rows > 0 ? m_pRowCache->nMoveRow(static_cast<std::int32_t>(rows), READ_PREVIOUS, 1) : -1;
    if (last >= 0 && !m_pRowCache->bIsRowOutOfRange(last)) {
      if (!bReadReachedRow(static_cast<std::uint32_t>(last))) return 0;
      *outOfRange = 0;
    } else {
      *outOfRange = 1;
    }
  }
  m_bFetched = *outOfRange ? 0 : 1;
  return 1;
}

bool CCursor::bHolderClean() const { return !m_pErrorHolder || !m_pErrorHolder->bHasError(); }

void CCursor::ForgetPassedRowError(bool holderWasClean) {
  if (holderWasClean && m_pErrorHolder) m_pErrorHolder->Clear();
}

int CCursor::bReadReachedRow(std::uint32_t row) {
  // A cached row that cannot be read back is a failed read, not a row.
  if (!bReadCachedRow(row)) return bRaise(CURSOR_ERROR_CACHED_ROW, CURSOR_POINT_CACHED_ROW);
  if (!(m_pRowCache->nGetMark(row) & ROW_MARK_UNCONVERTED)) return 1;
  // The record holds what its first read left (its key among it): the context stands on the row as it did then.
  m_bOnFailedRow = 1;
  return bRaise(CURSOR_ERROR_CACHED_ROW, CURSOR_POINT_CACHED_ROW);
}

int CCursor::bReadCachedRow(std::uint32_t row) {
  if (!m_pRowCache || !m_pColumnSet) return 0;
  if (!m_pRowCache->bReadRow(m_pColumnSet->pGetImageRecord(), row)) return 0;
  m_pTable->CopyImageToCurrent();
  m_bFromCache = 1;
  m_bFetched = 0;
  m_nCurrentRow = static_cast<std::int32_t>(row);
  m_bCurrentRowDeleted = 0;
  return 1;
}

int CCursor::bGoToCachedRow(std::uint32_t row, CSavedPosition* position) {
  if (!m_pRowCache || !m_pColumnSet || !m_pRowCache->bReadRow(m_pColumnSet->pGetImageRecord(), row)) {
    return bRaise(CURSOR_ERROR_CACHED_ROW, CURSOR_POINT_CACHED_ROW);
  }
  m_pTable->CopyImageToCurrent();
  if (position) m_nDuplicateCount = position->nGetMode();
  if (m_pSharedView) {
    // A reader of shared rows stands on the position's stored record; its view finds the row again by the saved
    // record before it moves on, so the saved record is this row too.
    bSetRecordSlot(SLOT_STATE_PINNED, position ? position->nGetPinnedRow() : SLOT_NONE);
    m_nRecordSlotState = m_nRecordSlot == SLOT_NONE ? SLOT_STATE_NONE : SLOT_STATE_PINNED;
    CRecord* current = m_pColumnSet->pGetCurrentRecord();
    if (!bEnsureSavedRecord() || (current && !m_pSavedRecord->bCopyFrom(current, RECORD_PARTS_ALL))) {
      return bOutOfMemory();
    }
  } else {
    bSetRecordSlot(SLOT_STATE_NONE, SLOT_NONE);
    // The saved record is this row from now on; a row it could not take would be read on from the old one.
    if (!bUpdateRecordSlot(SLOT_STATE_WRITTEN)) return 0;
  }
  m_bFromCache = 1;
  m_bFetched = 0;
  m_nCurrentRow = static_cast<std::int32_t>(row);
  m_bCurrentRowDeleted = 0;
  return 1;
}

void CCursor::ForgetSavedPositions() {
  if (m_savedPositions.nGetCount() == 0) return;
  std::uint32_t position = 0;
  std::uint64_t value = 0;
  while (m_savedPositions.bIterate(position, 0, &value, nullptr)) {
    auto* saved = reinterpret_cast<CSavedPosition*>(value);
    saved->ClearRow();
    ReleaseArrayElement(nullptr, saved);
  }
  m_savedPositions.EndIteration();
  m_savedPositions.Reset(7);
}

void CCursor::ReleaseCachedState() {
  ForgetSavedPositions();
  if (m_pSharedView) m_pSharedView->nRelease();
  m_pSharedView = nullptr;
  if (m_pRowCache) m_pRowCache->nRelease();
  m_pRowCache = nullptr;
}

int CCursor::bCopyCachedState(CCursor* source, CHashTable& cloneMap) {
  if (source->m_pRowCache) {
    CRowCache* cache = pCloneChild(cloneMap, source->m_pRowCache);
    if (!cache) return bOutOfMemory();
    if (m_pRowCache) m_pRowCache->nRelease();
    m_pRowCache = cache;
  }
  // After the cache: the view's copy reads the cache's copy the map holds.
  if (source->m_pSharedView) {
    CKeyedRowView* view = pCloneChild(cloneMap, source->m_pSharedView);
    if (!view) return 0;
    if (m_pSharedView) m_pSharedView->nRelease();
    m_pSharedView = view;
  }
  return 1;
}

void CCursor::SetStatementKindWord(CSqlRewriter* statement, std::uint32_t kind) {
  // The statement maps a query kind to its kind word: the query kind of each word.
  std::uint32_t queryKind = 8;
  switch (kind) {
    case SQL_STATEMENT_SELECT:
      queryKind = 1;
      break;
    case SQL_STATEMENT_UPDATE:
      queryKind = 3;
      break;
    case SQL_STATEMENT_INSERT:
      queryKind = 4;
      break;
    case SQL_STATEMENT_DELETE:
      queryKind = 5;
      break;
    case SQL_STATEMENT_CREATE:
      queryKind = 6;
      break;
    case SQL_STATEMENT_DROP:
      queryKind = 7;
      break;
    default:
      break;
  }
  statement->SetStatementKind(queryKind);
}
