#include "engine/cache/row_arena.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::uint64_t kLengthWord = sizeof(std::uint64_t);

std::uint8_t* pAt(std::uint64_t address) {
  return reinterpret_cast<std::uint8_t*>(static_cast<std::uintptr_t>(address));
}

}  // namespace

int CStepArray::Grow() {
  const std::uint64_t half = m_nCapacity / 2;
  std::uint64_t capacity = static_cast<std::uint64_t>(m_nCapacity) + (half > m_nGrowStep ? half : m_nGrowStep);
  // Near the end of the count's range the array takes what is left rather than failing early.
  if (capacity > UINT32_MAX) capacity = UINT32_MAX;
  if (capacity <= m_nCapacity || capacity > SIZE_MAX / m_nElementSize) return 0;
  void* elements = std::realloc(m_pElements, static_cast<std::size_t>(capacity * m_nElementSize));
  if (!elements) return 0;
  m_pElements = static_cast<unsigned char*>(elements);
  m_nCapacity = static_cast<std::uint32_t>(capacity);
  return 1;
}

CRowArena::CRowArena() = default;

CRowArena::~CRowArena() { Free(); }

void CRowArena::SetGrowth(std::uint32_t rowsPerBlock, std::uint32_t blockBytes) {
  if (rowsPerBlock) {
    m_nRowsPerBlock = m_nBaseRowsPerBlock = rowsPerBlock;
    m_index.SetGrowStep(rowsPerBlock);
  }
  if (blockBytes) m_nBlockBytes = m_nBaseBlockBytes = blockBytes;
}

bool CRowArena::bAddBlock(std::uint64_t entrySize) {
  if (!m_blocks.bReserveOne()) return false;
  std::uint32_t rowsPerBlock = m_nRowsPerBlock;
  std::uint32_t blockBytes = m_nBlockBytes;
  if (m_blocks.nGetCount() == ARENA_BLOCKS_BEFORE_DOUBLING) {
    if (rowsPerBlock) rowsPerBlock *= 2;
    if (blockBytes) blockBytes *= 2;
  }
  std::uint64_t capacity = static_cast<std::uint64_t>(rowsPerBlock) * entrySize;
  if (capacity > blockBytes) capacity = blockBytes;
  if (capacity < entrySize) capacity = entrySize;
  if (capacity > SIZE_MAX - sizeof(SArenaBlock)) return false;
  auto* block = static_cast<SArenaBlock*>(std::malloc(static_cast<std::size_t>(sizeof(SArenaBlock) + capacity)));
  if (!block) return false;
  block->nData = reinterpret_cast<std::uintptr_t>(block + 1);
  block->nUsed = 0;
  block->nCapacity = capacity;
  m_blocks.Add(&block);
  m_pCurrent = block;
  if (rowsPerBlock != m_nRowsPerBlock) m_index.SetGrowStep(rowsPerBlock);
  m_nRowsPerBlock = rowsPerBlock;
  m_nBlockBytes = blockBytes;
  return true;
}

std::uint8_t* CRowArena::pAllocate(std::uint64_t size, SArenaEntry& entry) {
  if (size > UINT64_MAX - kLengthWord) return nullptr;
  const std::uint64_t entrySize = size + kLengthWord;
  if ((!m_pCurrent || m_pCurrent->nCapacity - m_pCurrent->nUsed < entrySize) && !bAddBlock(entrySize)) return nullptr;
  std::uint8_t* start = pAt(m_pCurrent->nData) + m_pCurrent->nUsed;
  std::memcpy(start, &size, kLengthWord);
  entry.nOffset = m_pCurrent->nUsed;
  entry.nBlock = reinterpret_cast<std::uintptr_t>(m_pCurrent);
  m_pCurrent->nUsed += entrySize;
  return start + kLengthWord;
}

SArenaMark CRowArena::Mark() const {
  return {m_blocks.nGetCount(), m_pCurrent ? m_pCurrent->nUsed : 0, m_nRowsPerBlock, m_nBlockBytes,
          m_index.nGetGrowStep()};
}

void CRowArena::Rollback(const SArenaMark& mark) {
  while (m_blocks.nGetCount() > mark.nBlockCount) {
    const std::uint32_t last = m_blocks.nGetCount() - 1;
    std::free(pBlockAt(last));
    m_blocks.RemoveAt(last);
  }
  m_pCurrent = mark.nBlockCount ? pBlockAt(mark.nBlockCount - 1) : nullptr;
  if (m_pCurrent) m_pCurrent->nUsed = mark.nUsed;
  m_nRowsPerBlock = mark.nRowsPerBlock;
  m_nBlockBytes = mark.nBlockBytes;
  m_index.SetGrowStep(mark.nIndexStep);
}

void CRowArena::SetLength(std::uint32_t row, std::uint64_t length) {
  if (std::uint8_t* bytes = pGetBytes(row, nullptr)) std::memcpy(bytes - kLengthWord, &length, kLengthWord);
}

void CRowArena::Free() {
  for (std::uint32_t i = 0; i < m_blocks.nGetCount(); ++i) std::free(pBlockAt(i));
  m_blocks.Clear();
  m_index.Clear();
  m_pCurrent = nullptr;
  m_nRowsPerBlock = m_nBaseRowsPerBlock;
  m_nBlockBytes = m_nBaseBlockBytes;
  m_index.SetGrowStep(m_nBaseRowsPerBlock);
}

std::uint64_t CRowArena::nGetBytesHeld() const {
  std::uint64_t bytes = static_cast<std::uint64_t>(m_index.nGetCapacity()) * sizeof(SArenaEntry);
  for (std::uint32_t i = 0; i < m_blocks.nGetCount(); ++i) bytes += sizeof(SArenaBlock) + pGetBlock(i)->nCapacity;
  return bytes;
}
