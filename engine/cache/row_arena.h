// CRowArena: the store under a row cache. Variable-length entries (a u64 length, then that many bytes) are packed
// into large blocks that are never moved, so the address of an entry's bytes stays valid until the arena is freed,
// and the row cache's key map can keep such addresses. An entry index gives, per row number, where the entry lies.
//
// Block sizing: a new block holds min(rows per block x entry size, block bytes), at least one entry; when the sixth
// block is made both figures are doubled once, and the index then grows by the new rows per block. The space of a
// block is never reused; blocks go only with Free and destruction. The arena owns its blocks and its index; every
// field is 64 bits wide in the 32-bit builds too.
#pragma once

#include <cstdint>
#include <cstring>

#include "foundation/dynamic_array.h"

// One entry of the index: the entry's offset in its block and the block's address; absent: all ones and 0.
struct SArenaEntry {
  std::uint64_t nOffset;
  std::uint64_t nBlock;
};
static_assert(sizeof(SArenaEntry) == 16);

inline constexpr SArenaEntry ARENA_ENTRY_ABSENT = {~std::uint64_t{0}, 0};

// A block's header; its data follows it in the same allocation.
struct SArenaBlock {
  std::uint64_t nData;
  std::uint64_t nUsed;
  std::uint64_t nCapacity;
};
static_assert(sizeof(SArenaBlock) == 24);

// Where the arena stood before a series of allocations, so that a store that fails part-way can give them back.
struct SArenaMark {
  std::uint32_t nBlockCount;
  std::uint64_t nUsed;
  std::uint32_t nRowsPerBlock;
  std::uint32_t nBlockBytes;
  std::uint32_t nIndexStep;
};

// A growable array whose growth step can change, and which can make room for one more element ahead of time, so
// that a later add cannot fail. It grows by half its capacity, the step being the least it grows by: the per-row
// arrays of a cache of millions of rows would otherwise be copied whole once every step of rows, and a row stored
// into a large cache would cost more than one stored into a small one. Nothing outside sees the capacity.
class CStepArray : public CDynamicArray {
 public:
  using CDynamicArray::CDynamicArray;
  void SetGrowStep(std::uint32_t step) { m_nGrowStep = step ? step : 1; }
  std::uint32_t nGetGrowStep() const { return m_nGrowStep; }
  bool bReserveOne() { return m_nCount < m_nCapacity || Grow(); }
  int Grow() override;
};

inline constexpr std::uint32_t ARENA_START_ROWS_PER_BLOCK = 500;
inline constexpr std::uint32_t ARENA_START_BLOCK_BYTES = 0x200000;
inline constexpr std::uint32_t ARENA_BLOCKS_BEFORE_DOUBLING = 5;

class CRowArena {
 public:
  CRowArena();
  CRowArena(const CRowArena&) = delete;
  CRowArena& operator=(const CRowArena&) = delete;
  virtual ~CRowArena();

  // A 0 keeps the current figure. The rows per block also becomes the index's growth step.
  void SetGrowth(std::uint32_t rowsPerBlock, std::uint32_t blockBytes);

  // Room in the index for one more entry; false when the index cannot grow.
  bool bReserveEntry() { return m_index.bReserveOne(); }
  // A place for `size` bytes behind their length word, written into `entry`; the address of the bytes, or null
  // when a new block was needed and could not be had (nothing changed then).
  std::uint8_t* pAllocate(std::uint64_t size, SArenaEntry& entry);
  SArenaMark Mark() const;
  // Gives back every allocation made since the mark (blocks made since are freed, a doubling undone).
  void Rollback(const SArenaMark& mark);

  // Index changes; after bReserveEntry none of them can fail.
  void Append(const SArenaEntry& entry) { m_index.Add(&entry); }
  void Insert(const SArenaEntry& entry, std::uint32_t row) { m_index.InsertAt(&entry, row); }
  void Remove(std::uint32_t row) { m_index.RemoveAt(row); }
  void Set(std::uint32_t row, const SArenaEntry& entry) { m_index.SetAt(&entry, row); }

  std::uint32_t nGetCount() const { return m_index.nGetCount(); }
  // The row's bytes and their length; null when the row is past the end or its entry is absent. Inline: every
  // read of a cached row goes through it.
  std::uint8_t* pGetBytes(std::uint32_t row, std::uint64_t* length) const {
    if (row >= m_index.nGetCount()) return nullptr;
    SArenaEntry entry;
    std::memcpy(&entry, m_index.pGetAt(row), sizeof(entry));
    if (entry.nBlock == 0) return nullptr;
    const auto* block = reinterpret_cast<const SArenaBlock*>(static_cast<std::uintptr_t>(entry.nBlock));
    auto* start = reinterpret_cast<std::uint8_t*>(static_cast<std::uintptr_t>(block->nData + entry.nOffset));
    if (length) std::memcpy(length, start, sizeof(std::uint64_t));
    return start + sizeof(std::uint64_t);
  }
  // Rewrites the length word of a present entry (the bytes in place shrank).
  void SetLength(std::uint32_t row, std::uint64_t length);

  // Frees every block and empties the index; the block figures go back to those set last (SetGrowth or the start),
  // so a refilled arena doubles once again at its sixth block.
  void Free();

  std::uint32_t nGetBlockCount() const { return m_blocks.nGetCount(); }
  const SArenaBlock* pGetBlock(std::uint32_t i) const { return pBlockAt(i); }
  std::uint32_t nGetRowsPerBlock() const { return m_nRowsPerBlock; }
  std::uint32_t nGetBlockBytes() const { return m_nBlockBytes; }
  // Bytes held: every block with its header, and the index's capacity.
  std::uint64_t nGetBytesHeld() const;

 private:
  SArenaBlock* pBlockAt(std::uint32_t i) const { return *static_cast<SArenaBlock**>(m_blocks.pGetAt(i)); }
  // A new block for an entry of that size, made current; false when it cannot be had (nothing changed).
  bool bAddBlock(std::uint64_t entrySize);

  CStepArray m_index{sizeof(SArenaEntry), ARENA_START_ROWS_PER_BLOCK};
  CStepArray m_blocks{sizeof(SArenaBlock*), 16};
  SArenaBlock* m_pCurrent = nullptr;
  std::uint32_t m_nRowsPerBlock = ARENA_START_ROWS_PER_BLOCK;
  std::uint32_t m_nBlockBytes = ARENA_START_BLOCK_BYTES;
  // The figures a freed arena starts again from.
  std::uint32_t m_nBaseRowsPerBlock = ARENA_START_ROWS_PER_BLOCK;
  std::uint32_t m_nBaseBlockBytes = ARENA_START_BLOCK_BYTES;
};
