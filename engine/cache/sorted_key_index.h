// CSortedKeyIndex: a key index for large (memo) key columns, whose values are too long to encode into fixed keys.
// It keeps the row numbers in an array sorted by the key bytes read back from the rows at each comparison: rows with
// an empty key (no data, or 0 bytes) in the order they were added, first (or last, where the connection sorts NULL
// last), the others by their bytes (wide text by code unit) over the shorter length, the shorter first when equal; a
// row whose key equals others goes behind them. Positions are indexes into the array, ROW_NONE for none. Owns its array (see key_index.h for what it holds of others).
#pragma once

#include <cstdint>

#include "engine/cache/key_index.h"
#include "engine/cache/row_cache.h"
#include "foundation/dynamic_array.h"

class CSortedKeyIndex : public CKeyIndex {
 public:
  CSortedKeyIndex(IKeyIndexOwner* owner, CRowCache* cache, CColumn* keyColumn, CHostValue* searchValue);
  ~CSortedKeyIndex() override;

  int bBuild() override;
  int bAddRecord(std::uint32_t row, CHostValue* keyValue) override;
  int bRemoveRecord(std::uint32_t row, CHostValue* keyValue) override;
  int bMove(std::uint32_t direction, std::uint32_t count, std::uint32_t* row,
            std::uint32_t* duplicatePosition) override;
  std::uint32_t nGetCurrentRecord() override;
  std::uint32_t nGetCount() override;
  std::uint32_t nGetCurrentRank() override;
  int bSeek(std::uint32_t rank, std::uint32_t count, int* found) override;

  // The last of the empty keys standing first; ROW_NONE when there is none or they stand last.
  std::uint32_t nGetLastEmptyPosition() const { return m_nLastEmpty; }

 private:
  struct SKey;
  std::uint32_t nRowAt(std::uint32_t position) const;
  // The first position whose key is not below the key (bAfter: above it), found by halving; the count when none.
  // 0 when a row cannot be read.
  int bBound(const SKey& key, bool bAfter, std::uint32_t* position);
  // The key of a value; false when it cannot be had.
  bool bKeyOf(CHostValue& value, SKey& key);
  // Whether the key column's values are UTF-16 text.
  bool bWideKey() const;

  std::uint32_t m_bCurrentRemoved = 0;
  CDynamicArray m_rows{sizeof(std::uint32_t), 1};
  std::uint32_t m_nCurrent = ROW_NONE;
  std::uint32_t m_nLastEmpty = ROW_NONE;
};
