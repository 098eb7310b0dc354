// CKeyedRowCache: a row cache whose rows are found by key rather than read in order: the table's record store of
// pinned record copies, the rows that saved positions and record slots refer to. Each row has a pin count; a row is
// kept while pinned, and a row whose count fell to 0 is reused for another record before the cache grows. Rows are
// only stored by key: appending, inserting and removing by number do nothing.
//
// Always active. Counted; the row cache's ownership rules hold.
#pragma once

#include <cstdint>

#include "engine/cache/row_cache.h"

inline constexpr std::uint32_t KEYED_CACHE_PIN_STEP = 500;

class CKeyedRowCache : public CRowCache {
 public:
  CKeyedRowCache();
  ~CKeyedRowCache() override = default;

  // ---- operations that differ from the row cache's ----
  // A non-zero rows per block is also the pin counts' growth step.
  void SetGrowth(std::uint32_t rowsPerBlock, std::uint32_t blockBytes) override;
  std::uint32_t bAppendRecord(CRecord* record) override;                      // ROW_NONE: rows are stored by key
  void RemoveRow(std::uint32_t row) override;                                 // nothing
  void Reset() override;                                                      // the pin counts go too
  CRowCache* pNew(CHashTable& cloneMap) override;                             // a keyed copy (bCopyFromKeyed)
  std::uint32_t bStoreRecord(CRecord* record) override;                       // the new row with a pin count of 0
  std::uint32_t InsertRecordAt(CRecord* record, std::uint32_t row) override;  // nothing: ROW_NONE
  // As the row cache's copy, then the pin counts and the first free row.
  virtual int bCopyFromKeyed(CKeyedRowCache* source, CHashTable& cloneMap);

  // ---- pins ----
  void Pin(std::uint32_t row);
  // The new count; a row already at 0 (or past the end) stays so and answers 0. A row falling to 0 below the first
  // free row becomes it.
  std::uint32_t nUnpin(std::uint32_t row);
  std::uint32_t nGetPinCount(std::uint32_t row) const;
  // The lowest row with a count of 0 from the first free row up, which stays the first free row; ROW_NONE when
  // there is none (and then none is known any more).
  std::uint32_t nFindFreeRow();
  std::uint32_t nGetFirstFreeRow() const { return m_nFirstFreeRow; }
  // The row holding the record's key; else a free row overwritten with the record; else a new row. ROW_NONE when
  // none can be had.
  std::uint32_t nStoreKeyed(CRecord* record);
  // Unpins; a row falling to 0 loses its key (where the key map still sends it to that row), so that it is no
  // longer found and may be reused. The new count.
  std::uint32_t nReleaseRow(std::uint32_t row);

 protected:
  bool bReserveRow() override;

 private:
  CStepArray m_pins{sizeof(std::uint32_t), KEYED_CACHE_PIN_STEP};
  std::uint32_t m_nFirstFreeRow = ROW_NONE;
};
