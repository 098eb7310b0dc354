#include "engine/cache/keyed_row_view.h"

#include <new>

#include "engine/cache/btree_key_index.h"
#include "engine/cache/row_cache.h"
#include "engine/cache/sorted_key_index.h"
#include "engine/record/column.h"
#include "engine/record/record.h"
#include "engine/table/cursor.h"
#include "foundation/clone_map.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/reference_guard.h"

CKeyedRowView::CKeyedRowView(CErrorHolder* holder, CCursor* cursor, CRowCache* cache, CColumn* keyColumn)
    : m_pErrorHolder(holder), m_pCache(cache), m_pKeyColumn(keyColumn), m_pCursor(cursor) {
  if (holder) holder->AddRef();
  AddRefObject(cache);
  AddRefObject(keyColumn);
}

CKeyedRowView::CKeyedRowView() = default;

CKeyedRowView::~CKeyedRowView() {
  // The index reads through the cache and the column: it goes first.
  m_pIndex.reset();
  if (m_pCache) m_pCache->nRelease();
  if (m_pKeyColumn) m_pKeyColumn->nRelease();
  if (m_pErrorHolder) m_pErrorHolder->nRelease();
}

CRecord* CKeyedRowView::pNewRowRecord() {
  auto* record = new (std::nothrow) CRecord(m_pErrorHolder);
  if (!record) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return nullptr;
  }
  record->AddRef();
  return record;
}

int CKeyedRowView::pCreateKeyIndex() {
  m_pIndex.reset();
  if (m_pCache && m_pKeyColumn) {
    if (m_pKeyColumn->bIsMemo()) {
      m_pIndex.reset(new (std::nothrow) CSortedKeyIndex(this, m_pCache, m_pKeyColumn, &m_searchValue));
    } else {
      m_pIndex.reset(new (std::nothrow) CBTreeKeyIndex(this, m_pCache, m_pKeyColumn, &m_searchValue));
    }
  }
  if (!m_pIndex) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  return m_pIndex->bBuild();
}

int CKeyedRowView::bMove(std::uint32_t direction, std::uint32_t count, std::uint32_t* row,
                         std::uint32_t* duplicatePosition) {
  if (m_bBounded) {
    if (m_bBounded == 2 && (direction == ROW_MOVE_FIRST || direction == ROW_MOVE_LAST))
      direction = direction == ROW_MOVE_FIRST ? ROW_MOVE_LAST : ROW_MOVE_FIRST;
    m_bBounded = 0;
    if (m_pIndex && (direction == ROW_MOVE_FIRST || direction == ROW_MOVE_LAST)) {
      m_nGap = 0;
      const int answer = m_pIndex->bMove(direction, count, row, duplicatePosition);
      m_searchValue.SetType(0);
      return answer;
    }
    m_searchValue.SetType(0);
  }
  const std::uint32_t gap = m_nGap;
  m_nGap = 0;
  if (!m_pIndex) {
    *row = ROW_NONE;
    return 0;
  }
  if (gap == 1 && direction == ROW_MOVE_NEXT && count > 0) {
    // The row that followed the one that is gone is the first step already.
    return m_pIndex->bMove(ROW_MOVE_NEXT, count - 1, row, duplicatePosition);
  }
  if (gap == 2 && direction == ROW_MOVE_NEXT) {
    *row = ROW_NONE;
    if (duplicatePosition) *duplicatePosition = 0;
    return 1;
  }
  if (gap == 2 && direction == ROW_MOVE_PREVIOUS) return m_pIndex->bMove(ROW_MOVE_LAST, count, row, duplicatePosition);
  return m_pIndex->bMove(direction, count, row, duplicatePosition);
}

void CKeyedRowView::BoundNextEnd(const CHostValue& value, int runsDown) {
  m_searchValue.Assign(value);
  m_bBounded = m_searchValue.nGetType() == 0 ? 0 : runsDown ? 2 : 1;
}

int CKeyedRowView::bRunsDown() {
  std::uint32_t first = ROW_NONE;
  std::uint32_t last = ROW_NONE;
  if (!m_pIndex || m_bBounded) return 0;
  m_nGap = 0;
  return m_pIndex->bMove(ROW_MOVE_FIRST, 1, &first, nullptr) && m_pIndex->bMove(ROW_MOVE_LAST, 1, &last, nullptr) &&
         first != ROW_NONE && last != ROW_NONE && first > last;
}

int CKeyedRowView::bFindAgain(std::uint32_t duplicateCount, int* found) {
  *found = 0;
  m_nGap = 0;
  if (!m_pIndex || !m_pIndex->bSeek(ROW_NONE, duplicateCount, found)) return 0;
  if (*found) return 1;
  // The first row whose key does not come before the missing one's: a move first bounded by that key.
  if (!m_pIndex->bReadImageKey(m_searchValue)) {
    m_searchValue.SetType(0);
    return 0;
  }
  std::uint32_t row = ROW_NONE;
  const int answer = m_pIndex->bMove(ROW_MOVE_FIRST, 1, &row, nullptr);
  m_searchValue.SetType(0);
  if (!answer) return 0;
  m_nGap = row == ROW_NONE ? 2 : 1;
  return 1;
}

std::uint32_t CKeyedRowView::nGetCurrentRow() const { return m_pIndex ? m_pIndex->nGetCurrentRecord() : ROW_NONE; }
std::uint32_t CKeyedRowView::nGetCount() const { return m_pIndex ? m_pIndex->nGetCount() : 0; }
std::uint32_t CKeyedRowView::nGetCurrentRank() const { return m_pIndex ? m_pIndex->nGetCurrentRank() : 0; }

int CKeyedRowView::bSeek(std::uint32_t rank, std::uint32_t count, int* found) {
  *found = 0;
  return m_pIndex ? m_pIndex->bSeek(rank, count, found) : 0;
}

int CKeyedRowView::NotifyRowChange(std::uint32_t kind, std::uint32_t row, std::uint32_t) {
  if (!m_pIndex || !m_pKeyColumn) return 0;
  if (kind != ROW_CHANGE_UPDATE && kind != ROW_CHANGE_INSERT && kind != ROW_CHANGE_DELETE) return 1;
  CHostValue before;
  CHostValue after;
  if (kind != ROW_CHANGE_INSERT && !m_pIndex->bReadImageKey(before)) return 0;
  if (kind != ROW_CHANGE_DELETE && !m_pKeyColumn->bGetValue(after, 0)) return 0;
  if (kind == ROW_CHANGE_UPDATE) {
    std::int32_t equal = 0;
    if (before.nEquals(after, &equal) == HOST_OK && equal) return 1;
  }
  if (kind != ROW_CHANGE_INSERT && !m_pIndex->bRemoveRecord(row, &before)) return 0;
  if (kind != ROW_CHANGE_DELETE) return m_pIndex->bAddRecord(row, &after);
  return 1;
}

int CKeyedRowView::bCopyFrom(CKeyedRowView* source, CHashTable& cloneMap) {
  if (!source) return 0;
  if (source == this) return 1;
  if (!bRegisterClone(cloneMap, source, this)) return 0;
  Exchange(m_pErrorHolder, source->m_pErrorHolder);
  // The cursor holds its view, not the other way round: the copy serves the cursor's copy the map knows, which is
  // the one copying it; a view copied on its own serves none until a cursor attaches it.
  std::uint64_t known = 0;
  m_pCursor = source->m_pCursor && cloneMap.bLookup(nCloneKey(source->m_pCursor), &known, nullptr)
                  ? reinterpret_cast<CCursor*>(known)
                  : nullptr;
  m_pIndex.reset();
  if (source->m_pKeyColumn && !bReplaceWithClone(cloneMap, source->m_pKeyColumn, m_pKeyColumn)) return 0;
  if (source->m_pCache && !bReplaceWithClone(cloneMap, source->m_pCache, m_pCache)) return 0;
  if (!source->m_pIndex) return 1;
  if (!pCreateKeyIndex()) return 0;
  // A new index stands on no row, and a move next from there reaches none: the copy's reads go on from the row the
  // source's index stood on, the same row of the cache's copy.
  m_nGap = source->m_nGap;
  const std::uint32_t row = source->m_pIndex->nGetCurrentRecord();
  if (row == ROW_NONE) return 1;
  std::uint32_t reached = ROW_NONE;
  if (!m_pIndex->bMove(ROW_MOVE_FIRST, source->m_pIndex->nGetCurrentRank() + 1, &reached, nullptr)) return 0;
  // The rank names the row in both indexes, built alike over the same rows; should it not, the row is looked for.
  if (reached != row && !m_pIndex->bMove(ROW_MOVE_FIRST, 1, &reached, nullptr)) return 0;
  while (reached != row && reached != ROW_NONE) {
    const std::uint32_t before = reached;
    if (!m_pIndex->bMove(ROW_MOVE_NEXT, 1, &reached, nullptr)) return 0;
    if (reached == before) break;
  }
  return 1;
}

CKeyedRowView* CKeyedRowView::pClone(CHashTable& cloneMap) {
  return pCloneUnreferenced(new (std::nothrow) CKeyedRowView(), m_pErrorHolder,
                            [&](CKeyedRowView* copy) { return copy->bCopyFrom(this, cloneMap); });
}
