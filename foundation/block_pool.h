// Fixed-size items carved from blocks of about 4096 bytes, so that the B+tree's nodes and duplicate lists never go to
// the general heap one by one. The pool owns its blocks; an item belongs to whoever took it until it is returned.
// Returning an item and taking one are constant time; the item returned last is the next one its block hands out.
#pragma once

#include <cstddef>
#include <cstdint>

// Where blocks come from: the general heap. Tests put a failing allocator here to reach the out-of-memory paths.
using PFN_BLOCK_ALLOCATE = void* (*)(std::size_t nBytes);
extern PFN_BLOCK_ALLOCATE gpfnBlockPoolAllocate;

class CBlockPool {
 public:
  // Bytes of items a block aims at.
  static constexpr std::uint64_t BLOCK_TARGET_BYTES = 4096;

  CBlockPool(std::uint32_t nItemsPerBlock, std::uint64_t nItemSize);
  ~CBlockPool();
  CBlockPool(const CBlockPool&) = delete;
  CBlockPool& operator=(const CBlockPool&) = delete;

  // The larger of 2 and 4096 / (item size + 8): the sizing every pool of the tree uses.
  static std::uint32_t nItemsPerBlockFor(std::uint64_t nItemSize);

  void* pAlloc();  // null when a block cannot be allocated
  void Free(void* pItem);
  void Clear();  // frees every block; callers return their items first
  // Makes sure that the next nItems allocations need no new block; 0 when a block cannot be allocated. Lets an
  // operation that may need several items fail before it changes anything.
  int bReserve(std::uint32_t nItems);

  std::uint32_t nGetItemsPerBlock() const { return m_nItemsPerBlock; }
  std::uint64_t nGetItemSize() const { return m_nItemSize; }
  std::uint32_t nGetBlockCount() const { return m_nBlockCount; }
  std::uint32_t nGetItemsInUse() const { return m_nItemsInUse; }
  std::uint64_t nGetBlockBytes() const;  // heap bytes the blocks take

 private:
  struct SItem;
  struct SBlock;

  static std::size_t nBlockHeaderBytes();
  std::size_t nStride() const;
  SBlock* pNewBlock();
  void FreeList(SBlock* pBlock);
  static void Unlink(SBlock*& pHead, SBlock* pBlock);
  static void PushFront(SBlock*& pHead, SBlock* pBlock);

  std::uint32_t m_nItemsPerBlock;
  SBlock* m_pFullBlocks = nullptr;
  SBlock* m_pPartialBlocks = nullptr;  // its head serves allocations
  std::uint32_t m_nBlockCount = 0;
  std::uint32_t m_nItemsInUse = 0;
  std::uint64_t m_nItemSize;
};
