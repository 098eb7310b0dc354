#include "engine/cache/locked_row_cache.h"

#include <new>

#include "foundation/clone_map.h"

CLockedRowCache::~CLockedRowCache() = default;  // the slots release their entries before the keyed cache goes

void CLockedRowCache::Reset() { RemoveAllLocks(); }

void CLockedRowCache::RemoveAllLocks() {
  for (std::uint32_t i = 0; i < m_locks.nGetCount(); ++i) {
    if (CRefCounted* entry = m_locks.pGetObject(i)) entry->nRelease();
  }
  m_locks.Clear();
  CKeyedRowCache::Reset();
}

int CLockedRowCache::bCopyFromLocked(CLockedRowCache* source, CHashTable& cloneMap) {
  return bRegisterClone(cloneMap, source, this);
}

CRowCache* CLockedRowCache::pNew(CHashTable& cloneMap) {
  auto* copy = new (std::nothrow) CLockedRowCache();
  if (!copy) return nullptr;
  copy->AddRef();
  if (!copy->bCopyFromLocked(this, cloneMap)) {
    copy->nRelease();
    return nullptr;
  }
  --copy->m_nRefCount;
  return copy;
}

std::uint32_t CLockedRowCache::nAddLock(CRecord* record, CRowLockEntry* entry) {
  const std::uint32_t row = nStoreKeyed(record);
  if (row == ROW_NONE) return ROW_NONE;
  while (m_locks.nGetCount() <= row) {
    if (!m_locks.Add(nullptr)) return ROW_NONE;  // the row stays unpinned, free for reuse
  }
  // The lock is looked up by its record again when it is released, after the change it guards has run. The memory
  // of that lookup is taken now, where a refusal fails the lock: at the release it would find no lock, and the
  // change would stay uncommitted in the lock's transaction while the write answered done.
  bool failed = false;
  nFindRecordChecked(record, failed);
  if (failed) return ROW_NONE;
  Pin(row);
  if (entry) entry->AddRef();
  if (CRefCounted* old = m_locks.pGetObject(row)) old->nRelease();
  CRefCounted* stored = entry;
  m_locks.SetAt(&stored, row);
  return row;
}

CRowLockEntry* CLockedRowCache::pGetLock(std::uint32_t row) const {
  if (row >= m_locks.nGetCount()) return nullptr;
  auto* entry = static_cast<CRowLockEntry*>(m_locks.pGetObject(row));
  if (entry) entry->AddRef();
  return entry;
}

CRowLockEntry* CLockedRowCache::pFindLock(CRecord* record) {
  const std::uint32_t row = nFindRecord(record);
  return row == ROW_NONE ? nullptr : pGetLock(row);
}

std::uint32_t CLockedRowCache::bRemoveLock(std::uint32_t row) {
  const std::uint32_t pins = nReleaseRow(row);
  if (pins != 0 || row >= m_locks.nGetCount()) return pins;
  // The reference the slot took in nAddLock goes with it.
  if (CRefCounted* entry = m_locks.pGetObject(row)) entry->nRelease();
  CRefCounted* empty = nullptr;
  m_locks.SetAt(&empty, row);
  return 0;
}

int CLockedRowCache::bFindLock(CRecord* record, std::uint32_t* mode, CRowLockEntry** entry) {
  CRowLockEntry* found = pFindLock(record);
  if (entry) *entry = found;
  if (!found) return 0;
  if (mode) *mode = found->nGetLockMode();
  if (!entry) found->nRelease();
  return 1;
}
