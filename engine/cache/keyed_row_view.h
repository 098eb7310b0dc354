// CKeyedRowView: one statement object's view of a shared row cache in the order of one key column, through an
// in-memory key index: a sorted index for a memo key, whose values are too long for fixed keys, else the tree index.
// The statement object reads first, last, next and previous through it and finds its saved row again; row changes
// written through other contexts keep the index in step.
//
// Counted. It holds a reference on its error holder, the row cache and the key column, owns the key index, and does
// not count its statement object, which holds the view. It makes the records the index reads rows into.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/cache/key_index.h"
#include "foundation/ref_counted.h"
#include "host/host_value.h"

class CCursor;
class CColumn;
class CErrorHolder;
class CHashTable;
class CRowCache;

// Kinds of row-change notices.
inline constexpr std::uint32_t ROW_CHANGE_UPDATE = 2;
inline constexpr std::uint32_t ROW_CHANGE_INSERT = 3;
inline constexpr std::uint32_t ROW_CHANGE_DELETE = 4;

class CKeyedRowView : public CRefCounted, public IKeyIndexOwner {
 public:
  // All but the cursor kept with a reference; count 0; no index until pCreateKeyIndex.
  CKeyedRowView(CErrorHolder* holder, CCursor* cursor, CRowCache* cache, CColumn* keyColumn);
  // Every member empty, for pClone.
  CKeyedRowView();
  ~CKeyedRowView() override;

  // ---- operations, in their order after the destructor and the release ----
  // The error holder shared; cursor, key column and row cache cloned through the map; an index built for the copy
  // when the source has one. 0 when a clone or the index failed.
  virtual int bCopyFrom(CKeyedRowView* source, CHashTable& cloneMap);
  // A copy with no reference, or null.
  virtual CKeyedRowView* pClone(CHashTable& cloneMap);

  // The index of the key column's kind, built over the cache; 0 with out of memory when it cannot be made, or the
  // build's failure.
  int pCreateKeyIndex();

  // ---- the index's moves and places ----
  int bMove(std::uint32_t direction, std::uint32_t count, std::uint32_t* row,
            std::uint32_t* duplicatePosition = nullptr);
  std::uint32_t nGetCurrentRow() const;
  std::uint32_t nGetCount() const;
  std::uint32_t nGetCurrentRank() const;
  int bSeek(std::uint32_t rank, std::uint32_t count, int* found);
  // Puts the index back on the row the table's last-read image holds (the count-th of its identical copies), before
  // a move next or previous from it. When that row is gone the index stands where it was, between its neighbours:
  // the next move next reaches the row that followed it, a move previous the row before it. `found` tells which.
  // 0 when the image's key cannot be read.
  int bFindAgain(std::uint32_t duplicateCount, int* found);
  // The next move first reaches the first row whose key does not come before the value, a move last the last whose
  // key does not come after it: where a seek by the value stands. Moves next and previous stay unbounded. Rows whose
  // own order runs the key down (bRunsDown) are met the other way round: their first row not before the value is
  // the last in the key's order not after it.
  void BoundNextEnd(const CHostValue& value, int runsDown = 0);
  // Whether the cache's rows stand in the key's order reversed: its first row in the key's order comes after its
  // last (a query's own key sorted descending).
  int bRunsDown();

  // A row written through another context (kinds above): the index drops the row's old key and takes its new one. The
  // old key is read from the last-read image, which still holds the row as it was; an update that leaves the key
  // as it was changes nothing. 0 when a key could not be read or the index could not take the row.
  int NotifyRowChange(std::uint32_t kind, std::uint32_t row, std::uint32_t flags);

  CRowCache* pGetRowCache() const { return m_pCache; }
  CColumn* pGetKeyColumn() const { return m_pKeyColumn; }
  CCursor* pGetCursor() const { return m_pCursor; }
  CKeyIndex* pGetKeyIndex() const { return m_pIndex.get(); }

  // ---- IKeyIndexOwner ----
  CRecord* pNewRowRecord() override;
  CErrorHolder* pGetErrorHolder() override { return m_pErrorHolder; }

 private:
  CErrorHolder* m_pErrorHolder = nullptr;
  CRowCache* m_pCache = nullptr;
  std::unique_ptr<CKeyIndex> m_pIndex;
  CColumn* m_pKeyColumn = nullptr;
  CCursor* m_pCursor = nullptr;
  // The index's search value: set only while a row that is gone is placed again; otherwise type 0, so first and last
  // go to the ends.
  CHostValue m_searchValue;
  // After bFindAgain missed its row: 1 the index stands on the row that followed it, 2 no row follows it.
  std::uint32_t m_nGap = 0;
  // The search value bounds the next move first or last only (BoundNextEnd); 2 with first and last swapped.
  int m_bBounded = 0;
};
