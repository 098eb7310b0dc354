// CHashTable: a chained hash table from a 64-bit key to a 64-bit value (pointers or numbers in practice), with the
// owner's hash and compare functions. Entries live in one array linked by 1-based indices, so the table grows,
// shrinks and compacts by reallocating two blocks, and an iteration position is a plain entry index. Bucket counts
// follow gtabHashPrimes; after a growth the entry capacity is half the bucket count. Keys and values are never
// owned (CTypeNameTable releases its values).
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"

using PFN_HASH_COMPARE = int (*)(std::uint64_t a, std::uint64_t b);  // 0 when equal
using PFN_HASH = std::uint32_t (*)(std::uint64_t key);

inline constexpr std::uint32_t HASH_PRIME_COUNT = 29;
extern const std::uint32_t gtabHashPrimes[HASH_PRIME_COUNT];

class CHashTable {
 public:
  struct SEntry {
    std::uint64_t key;
    std::uint64_t value;
    std::uint32_t previous;  // 1-based previous entry of the chain, 0 = first; HASH_ENTRY_FREE marks a free entry
    std::uint32_t next;      // 1-based next entry of the chain or of the free list, 0 = none
  };
  static constexpr std::uint32_t HASH_ENTRY_FREE = 0xFFFFFFFF;

  explicit CHashTable(std::uint32_t initialSize = 7);
  CHashTable(const CHashTable&) = delete;
  CHashTable& operator=(const CHashTable&) = delete;

  virtual ~CHashTable();                                                                    // slot 0
  virtual void SetCompareFunction(PFN_HASH_COMPARE compare);                                // slot 1
  virtual void SetHashFunction(PFN_HASH hash);                                              // slot 2
  virtual std::uint32_t nGetCount() const;                                                  // slot 3
  virtual int bInsert(std::uint64_t key, std::uint64_t value);                              // slot 4
  virtual int bRemove(std::uint64_t key, std::uint64_t* value, std::uint64_t* storedKey);   // slot 5
  virtual int bLookup(std::uint64_t key, std::uint64_t* value, std::uint64_t* storedKey) const;  // slot 6
  virtual int bIterate(std::uint32_t& position, int bRemoveCurrent, std::uint64_t* value,
                       std::uint64_t* key);                                                 // slot 7
  virtual void EndIteration();                                                              // slot 8
  virtual std::uint64_t* pFindValue(std::uint64_t key) const;                               // slot 9
  virtual int bGrow();                                                                      // slot 10
  virtual int bShrink();                                                                    // slot 11
  virtual void Rehash();                                                                    // slot 12
  virtual void Compact(std::uint32_t capacity);                                             // slot 13
  virtual PFN_HASH_COMPARE pGetCompareFunction() const;                                     // slot 14
  virtual PFN_HASH pGetHashFunction() const;                                                // slot 15
  virtual void Reset(std::uint32_t size);                                                   // slot 16
  virtual int nSetValueAt(std::uint32_t i, std::uint64_t value, std::uint64_t* old);        // slot 17
  virtual int nSetKeyAt(std::uint32_t i, std::uint64_t key, std::uint64_t* old);            // slot 18

  std::uint32_t nGetCapacity() const { return m_nCapacity; }
  std::uint32_t nGetBucketCount() const { return m_nBucketCount; }

 private:
  // Sizes the table for n entries; with bDrop everything held is dropped first. 0 when memory fails: then both
  // arrays are freed and the table is empty with no capacity.
  int bInitialise(std::uint32_t n, bool bDrop);
  // Resizes the bucket array to the prime of the index and takes that index; 0 (nothing changed) when memory fails.
  int bResizeBuckets(std::uint32_t primeIndex);
  std::uint32_t nBucketOf(std::uint64_t key) const { return m_pfnHash(key) % m_nBucketCount; }
  std::uint32_t nFind(std::uint64_t key) const;  // 1-based entry index, 0 when absent
  void Unlink(std::uint32_t e);
  void Drop();

  SEntry* m_pEntries = nullptr;
  std::uint32_t m_nCapacity = 0;
  std::uint32_t m_nFreeHead = 0;
  std::uint32_t* m_pBuckets = nullptr;
  std::uint32_t m_nBucketCount = 0;
  std::uint32_t m_nCount = 0;
  std::uint32_t m_nIterating = 0;
  PFN_HASH_COMPARE m_pfnCompare;
  PFN_HASH m_pfnHash;
  std::uint32_t m_nPrimeIndex = 0;
};

// A table whose values are counted objects (CRefCounted*), released when the table is destroyed.
class CTypeNameTable : public CHashTable {
 public:
  using CHashTable::CHashTable;
  ~CTypeNameTable() override;
};
