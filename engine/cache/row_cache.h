// CRowCache: the client-side copy of the rows a statement fetched, so that a table or query can be read again in any
// direction, positioned, ordered through a key index and kept in step with writes without asking the server again.
// The statement object fills it row by row and says when the result is complete.
//
// A row is its record buffer's bytes (row arena), its serialised key (key arena), its large values (a value row,
// one counted slot per row, empty for a row without any) and a mark: the record's state word when stored, 128 for
// a deleted row. Rows are numbered from 0 in the order they were stored; the key map finds a row number by key. The
// first record stored sets the cache's key kind (a record without a key object is keyed by its whole record, kind
// 1) and becomes the record template from which records without a buffer are made to read rows back.
//
// A store either adds the whole row or, when a block, an index or the key map cannot grow, answers ROW_NONE and
// leaves the cache as it was. Row numbers, moves and "none" answers are u32 or i32 with all ones for none.
//
// Counted; owns its arenas, its work buffer and the references on its value rows and record template.
#pragma once

#include <cstdint>

#include "engine/cache/row_arena.h"
#include "foundation/hash_table.h"
#include "foundation/ref_counted.h"

class CRecord;
class CValueRow;
class IRowKey;

inline constexpr std::uint32_t ROW_CACHE_ACTIVE = 0x1;
inline constexpr std::uint32_t ROW_CACHE_COMPLETE = 0x8;
inline constexpr std::uint32_t ROW_MARK_DELETED = 128;
// A row the statement fetched but could not convert into a record: it keeps its place among the rows (the rows
// after it keep their numbers), and reading it fails. No record state reaches this bit.
inline constexpr std::uint32_t ROW_MARK_UNCONVERTED = 0x40000000;
inline constexpr std::uint32_t ROW_NONE = 0xFFFFFFFF;

// Directions of nMoveRow, as the statement object reads.
inline constexpr std::uint32_t ROW_MOVE_FIRST = 0;
inline constexpr std::uint32_t ROW_MOVE_LAST = 1;
inline constexpr std::uint32_t ROW_MOVE_NEXT = 2;
inline constexpr std::uint32_t ROW_MOVE_PREVIOUS = 3;

class CRowCache : public CRefCounted {
 public:
  explicit CRowCache(std::uint32_t flags);
  ~CRowCache() override;

  // ---- operations, in their order ----
  // A 0 keeps the current figure; both arenas take them, and the rows per block is also the growth step of both
  // entry indexes and of the value rows.
  virtual void SetGrowth(std::uint32_t rowsPerBlock, std::uint32_t blockBytes);
  virtual std::uint32_t bAppendRecord(CRecord* record);
  // The row leaves both arenas, the value rows and the marks, and the key map; the rows behind it move down by one,
  // their numbers in the key map with them.
  virtual void RemoveRow(std::uint32_t row);
  // Every row goes (blocks freed, value rows released, the deleted count 0) and the cache is no longer complete;
  // the key kind and the record template stay.
  virtual void Reset();
  // This cache becomes a copy of the source (registered in the clone map): its flags, its template, and each row
  // with its mark; 0 when a row cannot be stored.
  virtual int bCopyFrom(CRowCache* source, CHashTable& cloneMap);
  // A new cache copied from this one (no reference counted); null when it cannot be made.
  virtual CRowCache* pNew(CHashTable& cloneMap);
  // Appends a row (a null record: a deleted row with no bytes and no key); its number, or ROW_NONE.
  virtual std::uint32_t bStoreRecord(CRecord* record);
  // Inserts a row at that number (at most the row count), later rows moving up; the row, or ROW_NONE.
  virtual std::uint32_t InsertRecordAt(CRecord* record, std::uint32_t row);

  // For pCloneChild.
  CRowCache* pClone(CHashTable& cloneMap) { return pNew(cloneMap); }

  // ---- rows ----
  std::uint32_t nGetRowCount() const { return m_rows.nGetCount(); }
  int bHasRow(std::uint32_t row) const;
  // The row into the record: a record without a buffer first becomes a copy of the template; the stored bytes,
  // the stored key (kinds other than 1) and the large values. 0, the record as it was, for a row past the end or
  // without bytes.
  int bReadRow(CRecord* record, std::uint32_t row);
  std::uint32_t nFindRecord(CRecord* record);
  // ROW_NONE when the cache has no key kind, the key is of another kind, or no row holds it.
  std::uint32_t nFindKey(IRowKey* key);
  // A row below the row count takes the record (bytes, large values, key, mark); bytes or a key larger than the
  // stored ones, or a row without them, get new entries. Without a record the row becomes deleted with neither.
  // 0 when the new entries cannot be had (the row as it was).
  int ReplaceRow(std::uint32_t row, CRecord* record);
  // Appends empty rows up to `row`, then appends or inserts; the row, or ROW_NONE.
  std::uint32_t StoreRecordAt(CRecord* record, std::uint32_t row);
  // Keeps the cache in step with a statement sent to the server: INSERT (3) stores the record at row 0 with
  // atFront, else appends it; UPDATE (2) replaces and DELETE (4) marks deleted the row holding the key record. The
  // row, or ROW_NONE.
  std::uint32_t nApplyModification(std::uint32_t statementKind, CRecord* record, CRecord* keyRecord, int atFront);
  std::uint32_t nMarkDeleted(CRecord* record);

  // ---- marks ----
  void SetMark(std::uint32_t row, std::uint32_t mark);
  std::uint32_t nGetMark(std::uint32_t row) const;
  int bIsRowDeleted(std::uint32_t row) const { return (nGetMark(row) & ROW_MARK_DELETED) != 0; }
  std::uint32_t nGetDeletedCount() const { return m_nDeletedCount; }

  // ---- moving ----
  // The row reached from `from` by passing `count` rows that are not deleted (see the directions above); -1 below
  // row 0, a row at or past the row count as it is (bIsRowOutOfRange tells).
  std::int32_t nMoveRow(std::int32_t from, std::uint32_t direction, std::uint32_t count) const {
    // Without deleted rows a step to the next or previous row is arithmetic: answered inline, as a reader walks.
    if (m_nDeletedCount == 0 && (direction == ROW_MOVE_NEXT || direction == ROW_MOVE_PREVIOUS) && count == 1 &&
        from >= 0 && from < INT32_MAX) {
      return direction == ROW_MOVE_NEXT ? from + 1 : from - 1;
    }
    return nMoveRowCounted(from, direction, count);
  }
  int bIsRowOutOfRange(std::int32_t row) const { return row < 0 || static_cast<std::uint32_t>(row) >= nGetRowCount(); }
  // Whether the statement must fetch to reach the row: always on an inactive cache; for a row of 0 or more that
  // holds no bytes yet, unless the cache is complete.
  int bMustFetchRow(std::int32_t row) const;
  // Only an active cache becomes complete.
  void SetComplete();
  // The row read into the template equals the record (large values compared).
  int bRowEquals(std::uint32_t row, CRecord* record);

  // ---- state ----
  std::uint32_t nGetFlags() const { return m_nFlags; }
  void SetFlags(std::uint32_t flags) { m_nFlags = flags; }
  std::uint32_t nGetKeyKind() const { return m_nKeyKind; }
  CRecord* pGetTemplate() const { return m_pTemplate; }
  const CRowArena& GetRowArena() const { return m_rows; }
  const CRowArena& GetKeyArena() const { return m_keys; }
  // Bytes held by the arenas, value rows, marks and key map: what a row costs, for measurements.
  std::uint64_t nGetBytesHeld() const;

 protected:
  // Room for one more row in every per-row array; false when one cannot grow.
  virtual bool bReserveRow();
  // bReadRow past its common case: a record to fill from the template, a key to set, large values to copy.
  int bReadRowWhole(CRecord* record, std::uint32_t row, const std::uint8_t* bytes, std::uint64_t length);
  std::int32_t nMoveRowCounted(std::int32_t from, std::uint32_t direction, std::uint32_t count) const;
  // Takes the row's key out of the key map only where the map sends it to that row; true when it did.
  bool bRemoveKeyOfRow(std::uint32_t row);
  // As nFindRecord; `failed` tells a look-up that could not be made (no work buffer) from a key found nowhere.
  std::uint32_t nFindRecordChecked(CRecord* record, bool& failed);

 private:
  // Stores the record (or an empty row) at `row`, at most the row count; ROW_NONE and nothing changed on failure.
  std::uint32_t nPlaceRecord(CRecord* record, std::uint32_t row);
  // Binds the key kind and the template to a first record; `bound` tells whether this call bound them. False when
  // the record's key kind differs from the cache's or the template cannot be made.
  bool bBindRecord(CRecord* record, bool& bound);
  void Unbind();
  // The cache's key of the record for its kind, serialised into a new key-arena entry; null on failure.
  std::uint8_t* pStoreKey(CRecord* record, const std::uint8_t* bytes, std::uint64_t size, CValueRow* values,
                          SArenaEntry& entry);
  // A copy of the record's large values in a new value row (one reference), null for a record without any;
  // false when the copy cannot be made.
  bool bCopyLargeValues(CRecord* record, CValueRow*& values);
  // Adds delta to every key-map row number at or above `from`.
  void ShiftRowNumbers(std::uint32_t from, std::int32_t delta);
  bool bWorkBuffer(std::uint64_t size);
  CValueRow* pValuesAt(std::uint32_t row) const;
  void ReleaseValueRows();
  std::uint32_t nFindKeyChecked(IRowKey* key, bool& failed);

  std::uint32_t m_nFlags;
  CRowArena m_rows;
  CStepArray m_values{sizeof(CValueRow*), 100};  // counted CValueRow*, null for none
  std::uint32_t m_nValueRowCount = 0;            // slots that hold a value row
  CStepArray m_marks{sizeof(std::uint32_t), 100};
  std::uint32_t m_nDeletedCount = 0;
  std::uint32_t m_nKeyKind = 0;
  CRowArena m_keys;
  CHashTable m_keyMap{7};
  std::uint8_t* m_pWorkBuffer = nullptr;
  std::uint64_t m_nWorkBufferSize = 0;
  CRecord* m_pTemplate = nullptr;
};
