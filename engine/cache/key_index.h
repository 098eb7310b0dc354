// CKeyIndex: orders the rows of a row cache by the value of one key column, so that a statement can read cached rows
// in key order, go first, last, next or previous and seek a key value without asking the server. Two kinds:
// CBTreeKeyIndex (btree_key_index.h) keeps sortable keys in the in-memory B+tree; CSortedKeyIndex
// (sorted_key_index.h) keeps row numbers sorted by the key bytes read back from the rows, for large (memo) keys.
//
// What an index needs of the statement it serves is kept narrow: IKeyIndexOwner makes the records rows are read into
// and names the error holder; the statement's search value is a pointer to its CHostValue, which bounds the first and
// last moves while its type is not 0 (null: never set). The index holds a reference on the cache and on the key
// column; the owner and the search value outlive it (the keyed view that owns the index is dropped first).
// An empty key (no value, NULL, or a value of no bytes: an empty text, which the server keeps as NULL) stands where
// the key column's connection sorts NULL, before every value or after every value, so that rows read through the
// cache come in the order the server gives them.
// No lock: every call runs under the driver's lock.
#pragma once

#include <cstdint>

class CColumn;
class CErrorHolder;
class CHostValue;
class CRecord;
class CRowCache;

// The record context an index reads rows for.
class IKeyIndexOwner {
 public:
  // A new record to read cached rows into, with one reference for the caller; null when none can be made (the
  // error then in the holder).
  virtual CRecord* pNewRowRecord() = 0;
  // Where the index's errors go (out of memory); may be null.
  virtual CErrorHolder* pGetErrorHolder() = 0;

 protected:
  ~IKeyIndexOwner() = default;
};

class CKeyIndex {
 public:
  CKeyIndex(IKeyIndexOwner* owner, CRowCache* cache, CColumn* keyColumn, CHostValue* searchValue);
  virtual ~CKeyIndex();
  CKeyIndex(const CKeyIndex&) = delete;
  CKeyIndex& operator=(const CKeyIndex&) = delete;

  // ---- operations, in their order ----
  // Indexes every row of the cache whose mark is 0; 0 at the first row that cannot be read or kept.
  virtual int bBuild() = 0;
  // The row with the given key value, or with the key value stored in the row when none is given.
  virtual int bAddRecord(std::uint32_t row, CHostValue* keyValue) = 0;
  // The row, found by the key value it was added with; a row not in the index changes nothing.
  virtual int bRemoveRecord(std::uint32_t row, CHostValue* keyValue) = 0;
  // Moves by count rows in a direction of row_cache.h (first and last count the first or last row as 1). `row`
  // receives the row reached, or ROW_NONE when the move could not be made; `duplicatePosition` (may be null) how
  // many identical rows of the same key stand before it. 0 only when the search value cannot be read.
  virtual int bMove(std::uint32_t direction, std::uint32_t count, std::uint32_t* row,
                    std::uint32_t* duplicatePosition) = 0;
  // The row at the current position; ROW_NONE when there is none.
  virtual std::uint32_t nGetCurrentRecord() = 0;
  virtual std::uint32_t nGetCount() = 0;
  virtual std::uint32_t nGetCurrentRank() = 0;
  // With a rank, positions on it (sorted) or only looks the key up (tree). With ROW_NONE, seeks the key column's
  // value in the last-read image; `found` tells whether that key (and row) is there. 0 when the value cannot be read.
  virtual int bSeek(std::uint32_t rank, std::uint32_t count, int* found) = 0;

  std::uint16_t nGetKeyHostType() const;
  // The key column's value in the table's last-read image; 0 when it cannot be read.
  int bReadImageKey(CHostValue& value);

  // Whether the value is an empty key (see above).
  static bool bIsEmptyKey(CHostValue& value);

 protected:
  bool bHasSearchValue() const;
  CHostValue* pGetSearchValue() const { return m_pSearchValue; }
  // The key column's value in a cached row, read through the working record; 0 when the row cannot be read.
  int bReadRowKey(std::uint32_t row, CHostValue& value);
  // The record the key column's table is on, null when it has none.
  CRecord* pGetCurrentRecord() const;
  // The owner's record that rows are read into, made at the first need; null when it cannot be made.
  CRecord* pWorkRecord();
  void RaiseOutOfMemory() const;

  IKeyIndexOwner* m_pOwner;
  CRowCache* m_pCache;
  CColumn* m_pKeyColumn;
  // The key column's connection sorts NULL after every value: empty keys stand last.
  bool m_bEmptyKeysLast = false;

 private:
  // A memo's value lives among the record's large values, at the memo's place among the table's memo columns.
  int nMemoIndex() const;

  CHostValue* m_pSearchValue;
  CRecord* m_pWorkRecord = nullptr;  // made once from the owner, counted
};
