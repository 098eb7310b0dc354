// CBTreeKeyIndex: a key index over the in-memory B+tree. Each row's key column value is encoded once into a
// fixed-size sortable key, so the tree orders and finds rows with a byte comparison; the tree's one cursor is the
// index's current position. An entry is (sortable key, row number); the row number is kept most significant byte
// first, so that rows of an equal key read in row order, as the sorted index reads them. A key's first byte puts
// the empty keys before or after the values; a short key is zero-filled to 4 or 8 bytes, the widths the tree
// searches fastest.
// Owns its tree and key buffer (see key_index.h for what it holds of others).
#pragma once

#include <cstdint>
#include <memory>

#include "engine/cache/key_index.h"

class CBPlusTree;

class CBTreeKeyIndex : public CKeyIndex {
 public:
  CBTreeKeyIndex(IKeyIndexOwner* owner, CRowCache* cache, CColumn* keyColumn, CHostValue* searchValue);
  ~CBTreeKeyIndex() override;

  int bBuild() override;
  int bAddRecord(std::uint32_t row, CHostValue* keyValue) override;
  int bRemoveRecord(std::uint32_t row, CHostValue* keyValue) override;
  int bMove(std::uint32_t direction, std::uint32_t count, std::uint32_t* row,
            std::uint32_t* duplicatePosition) override;
  std::uint32_t nGetCurrentRecord() override;
  std::uint32_t nGetCount() override;
  std::uint32_t nGetCurrentRank() override;
  int bSeek(std::uint32_t rank, std::uint32_t count, int* found) override;

  std::uint32_t nGetKeySize() const { return m_nKeySize; }
  // Heap bytes of the tree and its key buffer: what the index costs, for measurements.
  std::uint64_t nGetBytesHeld() const;

 private:
  // The value's sortable key into the key buffer.
  void Encode(const CHostValue& value);
  // Whether the value's own encoding goes on past what the key holds (a text longer than the key column): 1 or 0, -1
  // when memory for that encoding was refused.
  int nOutgrowsKey(const CHostValue& value);
  // The given value's key, or the row's (0 when the row cannot be read).
  int bEncodeRowKey(std::uint32_t row, CHostValue* keyValue);
  // Steps back over the entries of the cursor's key that hold the same row as the cursor's, counting them, and
  // comes back.
  std::uint32_t nDuplicatePosition();
  // Whether the cursor's entry has the key of the key buffer and its row equals the record.
  bool bCursorMatches(CRecord* record);

  std::unique_ptr<CBPlusTree> m_pTree;
  // The row the cursor stood on was removed: the tree's cursor has gone on to the entry that followed it, which a
  // move next must reach with one step less.
  std::uint32_t m_bCurrentRemoved = 0;
  std::uint32_t m_nKeySize = 0;
  std::uint32_t m_nValueSize = 0;  // the value's encoding, after the first byte; the rest of the key stays zero
  std::unique_ptr<std::uint8_t[]> m_pKey;
};
