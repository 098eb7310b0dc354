// CLockedRowCache: a keyed row cache with one counted lock entry per row: the table layer keeps in it the records
// it has locked, each with the entry that says how (the Oracle table's record-lock entries). A row is pinned once
// per lock added on it; the slot holds one reference on its entry, given back when the last lock of the row goes,
// when every lock is removed, and with the cache. A copy of a locked cache is empty: locks are not copied.
#pragma once

#include <cstdint>

#include "engine/cache/keyed_row_cache.h"
#include "foundation/ref_counted.h"

// What the cache reads of a lock entry. The table layer's entries derive from it.
class CRowLockEntry : public CRefCounted {
 public:
  virtual std::uint32_t nGetLockMode() = 0;
};

class CLockedRowCache : public CKeyedRowCache {
 public:
  CLockedRowCache() = default;
  ~CLockedRowCache() override;

  // ---- operations that differ from the keyed cache's ----
  void Reset() override;                           // RemoveAllLocks
  CRowCache* pNew(CHashTable& cloneMap) override;  // an empty locked cache (bCopyFromLocked)
  // Registers the pair in the clone map and nothing more.
  virtual int bCopyFromLocked(CLockedRowCache* source, CHashTable& cloneMap);

  // Releases and removes every lock entry, then resets the keyed cache.
  void RemoveAllLocks();
  // The record's row (nStoreKeyed), pinned, with the entry stored in its slot (a reference taken; an entry the
  // slot held before is given back). ROW_NONE when no row or slot can be had (nothing pinned).
  std::uint32_t nAddLock(CRecord* record, CRowLockEntry* entry);
  // The row's entry with a reference added; null when it has none.
  CRowLockEntry* pGetLock(std::uint32_t row) const;
  // The entry of the record's row with a reference added; null when the record has no row or the row no entry.
  CRowLockEntry* pFindLock(CRecord* record);
  // Releases the row (nReleaseRow); the remaining count while still pinned, else the slot gives its entry back
  // and 0 is answered.
  std::uint32_t bRemoveLock(std::uint32_t row);
  // The entry of the record's row: its lock mode into `mode` when asked, the entry (with a reference) into `entry`
  // when asked. True when there was an entry; without one `entry` becomes null.
  int bFindLock(CRecord* record, std::uint32_t* mode, CRowLockEntry** entry);

  std::uint32_t nGetLockSlotCount() const { return m_locks.nGetCount(); }

 private:
  CRefPtrArray m_locks{1};  // CRowLockEntry, empty slots allowed
};
