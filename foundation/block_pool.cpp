#include "foundation/block_pool.h"

#include <cstdlib>

// An item is an 8-byte header and the caller's bytes. The header of a free item links to the next free item of its
// block (the free items of a block form a circle); the header of an item in use holds its block, which is how Free
// finds it.
namespace {

void* HeapAllocate(std::size_t nBytes) { return std::malloc(nBytes); }

}  // namespace

PFN_BLOCK_ALLOCATE gpfnBlockPoolAllocate = HeapAllocate;

struct CBlockPool::SItem {
  union {
    SItem* pNextFree;
    SBlock* pBlock;
    std::uint64_t nPad;
  };
};

struct CBlockPool::SBlock {
  std::uint32_t nFreeCount;
  SItem* pFreeHead;
  SBlock* pNext;
  SBlock* pPrev;
  CBlockPool* pPool;
};

namespace {

constexpr std::size_t Align8(std::uint64_t n) { return static_cast<std::size_t>((n + 7) & ~std::uint64_t{7}); }

}  // namespace

// Items sit on 8-byte boundaries whatever the caller's size, so that headers, node fields and the trees nested in
// duplicate lists are aligned.
std::size_t CBlockPool::nBlockHeaderBytes() { return Align8(sizeof(SBlock)); }
std::size_t CBlockPool::nStride() const { return sizeof(SItem) + Align8(m_nItemSize); }

CBlockPool::CBlockPool(std::uint32_t nItemsPerBlock, std::uint64_t nItemSize)
    : m_nItemsPerBlock(nItemsPerBlock < 2 ? 2 : nItemsPerBlock), m_nItemSize(nItemSize) {}

CBlockPool::~CBlockPool() { Clear(); }

std::uint32_t CBlockPool::nItemsPerBlockFor(std::uint64_t nItemSize) {
  const std::uint64_t n = BLOCK_TARGET_BYTES / (nItemSize + sizeof(SItem));
  return n < 2 ? 2 : static_cast<std::uint32_t>(n);
}

std::uint64_t CBlockPool::nGetBlockBytes() const {
  return static_cast<std::uint64_t>(m_nBlockCount) * (nBlockHeaderBytes() + m_nItemsPerBlock * nStride());
}

void CBlockPool::Unlink(SBlock*& pHead, SBlock* pBlock) {
  if (pBlock->pPrev) {
    pBlock->pPrev->pNext = pBlock->pNext;
  } else {
    pHead = pBlock->pNext;
  }
  if (pBlock->pNext) pBlock->pNext->pPrev = pBlock->pPrev;
  pBlock->pNext = pBlock->pPrev = nullptr;
}

void CBlockPool::PushFront(SBlock*& pHead, SBlock* pBlock) {
  pBlock->pPrev = nullptr;
  pBlock->pNext = pHead;
  if (pHead) pHead->pPrev = pBlock;
  pHead = pBlock;
}

CBlockPool::SBlock* CBlockPool::pNewBlock() {
  const std::size_t stride = nStride();
  auto* bytes = static_cast<unsigned char*>(gpfnBlockPoolAllocate(nBlockHeaderBytes() + m_nItemsPerBlock * stride));
  if (!bytes) return nullptr;
  auto* block = reinterpret_cast<SBlock*>(bytes);
  unsigned char* items = bytes + nBlockHeaderBytes();
  for (std::uint32_t i = 0; i < m_nItemsPerBlock; ++i) {
    const std::uint32_t next = i + 1 == m_nItemsPerBlock ? 0 : i + 1;
    reinterpret_cast<SItem*>(items + i * stride)->pNextFree = reinterpret_cast<SItem*>(items + next * stride);
  }
  block->nFreeCount = m_nItemsPerBlock;
  block->pFreeHead = reinterpret_cast<SItem*>(items);
  block->pNext = block->pPrev = nullptr;
  block->pPool = this;
  ++m_nBlockCount;
  return block;
}

void* CBlockPool::pAlloc() {
  if (!m_pPartialBlocks) {
    SBlock* block = pNewBlock();
    if (!block) return nullptr;
    PushFront(m_pPartialBlocks, block);
  }
  SBlock* block = m_pPartialBlocks;
  SItem* item;
  if (block->nFreeCount == 1) {
    item = block->pFreeHead;
    block->pFreeHead = nullptr;
  } else {
    item = block->pFreeHead->pNextFree;
    block->pFreeHead->pNextFree = item->pNextFree;
  }
  item->pBlock = block;
  if (--block->nFreeCount == 0) {
    Unlink(m_pPartialBlocks, block);
    PushFront(m_pFullBlocks, block);
  }
  ++m_nItemsInUse;
  return item + 1;
}

void CBlockPool::Free(void* pItem) {
  if (!pItem) return;
  SItem* item = static_cast<SItem*>(pItem) - 1;
  SBlock* block = item->pBlock;
  if (block->pFreeHead) {
    item->pNextFree = block->pFreeHead->pNextFree;
    block->pFreeHead->pNextFree = item;
  } else {
    item->pNextFree = item;
    block->pFreeHead = item;
  }
  --m_nItemsInUse;
  if (++block->nFreeCount == 1) {
    Unlink(m_pFullBlocks, block);
    PushFront(m_pPartialBlocks, block);
  } else if (block->nFreeCount == m_nItemsPerBlock && (block->pPrev || block->pNext)) {
    // A wholly free block goes back to the heap, except the last one, kept as a spare for the next allocation.
    Unlink(m_pPartialBlocks, block);
    std::free(block);
    --m_nBlockCount;
  }
}

int CBlockPool::bReserve(std::uint32_t nItems) {
  while (static_cast<std::uint64_t>(m_nBlockCount) * m_nItemsPerBlock - m_nItemsInUse < nItems) {
    SBlock* block = pNewBlock();
    if (!block) return 0;
    PushFront(m_pPartialBlocks, block);
  }
  return 1;
}

void CBlockPool::FreeList(SBlock* pBlock) {
  while (pBlock) {
    SBlock* next = pBlock->pNext;
    std::free(pBlock);
    pBlock = next;
  }
}

// Frees the full blocks too: the tree returns every item before it clears, so there are none, and a caller that did
// not would otherwise leak them.
void CBlockPool::Clear() {
  FreeList(m_pPartialBlocks);
  FreeList(m_pFullBlocks);
  m_pPartialBlocks = m_pFullBlocks = nullptr;
  m_nBlockCount = 0;
  m_nItemsInUse = 0;
}
