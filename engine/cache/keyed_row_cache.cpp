#include "engine/cache/keyed_row_cache.h"

#include <new>

#include "foundation/clone_map.h"

CKeyedRowCache::CKeyedRowCache() : CRowCache(ROW_CACHE_ACTIVE) {}

void CKeyedRowCache::SetGrowth(std::uint32_t rowsPerBlock, std::uint32_t blockBytes) {
  CRowCache::SetGrowth(rowsPerBlock, blockBytes);
  if (rowsPerBlock) m_pins.SetGrowStep(rowsPerBlock);
}

std::uint32_t CKeyedRowCache::bAppendRecord(CRecord*) { return ROW_NONE; }

void CKeyedRowCache::RemoveRow(std::uint32_t) {}

std::uint32_t CKeyedRowCache::InsertRecordAt(CRecord*, std::uint32_t) { return ROW_NONE; }

void CKeyedRowCache::Reset() {
  m_pins.Clear();
  m_nFirstFreeRow = ROW_NONE;
  CRowCache::Reset();
}

bool CKeyedRowCache::bReserveRow() { return m_pins.bReserveOne() && CRowCache::bReserveRow(); }

std::uint32_t CKeyedRowCache::bStoreRecord(CRecord* record) {
  const std::uint32_t row = CRowCache::bStoreRecord(record);
  if (row != ROW_NONE) {
    const std::uint32_t unpinned = 0;
    m_pins.Add(&unpinned);  // room was reserved with the row
  }
  return row;
}

int CKeyedRowCache::bCopyFromKeyed(CKeyedRowCache* source, CHashTable& cloneMap) {
  if (!bRegisterClone(cloneMap, source, this) || !bCopyFrom(source, cloneMap)) return 0;
  for (std::uint32_t row = 0; row < nGetRowCount(); ++row) {
    const std::uint32_t pins = source->nGetPinCount(row);
    m_pins.SetAt(&pins, row);
  }
  m_nFirstFreeRow = source->m_nFirstFreeRow;
  return 1;
}

CRowCache* CKeyedRowCache::pNew(CHashTable& cloneMap) {
  auto* copy = new (std::nothrow) CKeyedRowCache();
  if (!copy) return nullptr;
  copy->AddRef();
  if (!copy->bCopyFromKeyed(this, cloneMap)) {
    copy->nRelease();
    return nullptr;
  }
  --copy->m_nRefCount;
  return copy;
}

std::uint32_t CKeyedRowCache::nGetPinCount(std::uint32_t row) const {
  return row < m_pins.nGetCount() ? *static_cast<const std::uint32_t*>(m_pins.pGetAt(row)) : 0;
}

void CKeyedRowCache::Pin(std::uint32_t row) {
  if (row >= m_pins.nGetCount()) return;
  ++*static_cast<std::uint32_t*>(m_pins.pGetAt(row));
}

std::uint32_t CKeyedRowCache::nUnpin(std::uint32_t row) {
  // An unbalanced unpin must not wrap the count and pin the row for good.
  if (nGetPinCount(row) == 0) return 0;
  auto* pins = static_cast<std::uint32_t*>(m_pins.pGetAt(row));
  if (--*pins == 0 && (m_nFirstFreeRow == ROW_NONE || row < m_nFirstFreeRow)) m_nFirstFreeRow = row;
  return *pins;
}

std::uint32_t CKeyedRowCache::nFindFreeRow() {
  if (m_nFirstFreeRow == ROW_NONE) return ROW_NONE;
  std::uint32_t row = m_nFirstFreeRow;
  while (row < m_pins.nGetCount() && nGetPinCount(row) != 0) ++row;
  m_nFirstFreeRow = row < m_pins.nGetCount() ? row : ROW_NONE;
  return m_nFirstFreeRow;
}

std::uint32_t CKeyedRowCache::nStoreKeyed(CRecord* record) {
  if (!record) return ROW_NONE;
  bool failed = false;
  const std::uint32_t found = nFindRecordChecked(record, failed);
  // A record that could not be looked up may be stored already: storing it again would give it two rows.
  if (found != ROW_NONE || failed) return found;
  const std::uint32_t free = nFindFreeRow();
  if (free != ROW_NONE) return ReplaceRow(free, record) ? free : ROW_NONE;
  return bStoreRecord(record);
}

std::uint32_t CKeyedRowCache::nReleaseRow(std::uint32_t row) {
  if (nGetPinCount(row) == 0) return 0;
  const std::uint32_t pins = nUnpin(row);
  if (pins == 0) bRemoveKeyOfRow(row);
  return pins;
}
