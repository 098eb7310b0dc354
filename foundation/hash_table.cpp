#include "foundation/hash_table.h"

#include <cstdlib>
#include <cstring>

const std::uint32_t gtabHashPrimes[HASH_PRIME_COUNT] = {
    17,       53,       97,        193,       389,       769,       1543,      3079,       6151,       12289,
    24593,    49157,    98317,     196613,    393241,    786433,    1572869,   3145739,    6291469,    12582917,
    25165843, 50331653, 100663319, 201326611, 402653189, 805306457, 1610612741, 3221225473, 4294967291};

namespace {

// Used until the owner sets its own: keys compared and hashed as plain numbers.
int DefaultCompare(std::uint64_t a, std::uint64_t b) { return a == b ? 0 : 1; }
std::uint32_t DefaultHash(std::uint64_t key) {
  key ^= key >> 33;
  key *= 0xff51afd7ed558ccdull;
  key ^= key >> 33;
  return static_cast<std::uint32_t>(key);
}

// Whether count elements of the size can be allocated without the byte count wrapping (32-bit builds).
bool Fits(std::uint64_t count, std::size_t size) { return count <= SIZE_MAX / size; }

}  // namespace

CHashTable::CHashTable(std::uint32_t initialSize) : m_pfnCompare(DefaultCompare), m_pfnHash(DefaultHash) {
  bInitialise(initialSize, false);
}

CHashTable::~CHashTable() { Drop(); }

void CHashTable::Drop() {
  std::free(m_pEntries);
  std::free(m_pBuckets);
  m_pEntries = nullptr;
  m_pBuckets = nullptr;
  m_nCapacity = m_nFreeHead = m_nBucketCount = m_nCount = 0;
}

int CHashTable::bInitialise(std::uint32_t n, bool bDrop) {
  if (bDrop) {
    Drop();
    m_nPrimeIndex = 0;
  }
  std::free(m_pEntries);
  std::free(m_pBuckets);
  m_pBuckets = nullptr;
  m_pEntries = Fits(n, sizeof(SEntry)) ? static_cast<SEntry*>(std::malloc(sizeof(SEntry) * (n ? n : 1))) : nullptr;
  while (m_nPrimeIndex < HASH_PRIME_COUNT - 1 && 2ull * n > gtabHashPrimes[m_nPrimeIndex + 1]) ++m_nPrimeIndex;
  m_nBucketCount = gtabHashPrimes[m_nPrimeIndex];
  if (m_pEntries) m_pBuckets = static_cast<std::uint32_t*>(std::calloc(m_nBucketCount, sizeof(std::uint32_t)));
  if (!m_pEntries || !m_pBuckets) {
    // Nothing stale is left behind: no capacity, no free entry, no bucket to hash into, and the next growth starts
    // from the smallest prime again.
    Drop();
    m_nPrimeIndex = 0;
    return 0;
  }
  m_nCapacity = n;
  m_nCount = 0;
  for (std::uint32_t i = 0; i < n; ++i) {
    m_pEntries[i].previous = HASH_ENTRY_FREE;
    m_pEntries[i].next = i + 1 < n ? i + 2 : 0;
  }
  m_nFreeHead = n ? 1 : 0;
  return 1;
}

void CHashTable::SetCompareFunction(PFN_HASH_COMPARE compare) { m_pfnCompare = compare ? compare : DefaultCompare; }
void CHashTable::SetHashFunction(PFN_HASH hash) { m_pfnHash = hash ? hash : DefaultHash; }
std::uint32_t CHashTable::nGetCount() const { return m_nCount; }
PFN_HASH_COMPARE CHashTable::pGetCompareFunction() const { return m_pfnCompare; }
PFN_HASH CHashTable::pGetHashFunction() const { return m_pfnHash; }

int CHashTable::bInsert(std::uint64_t key, std::uint64_t value) {
  if (m_nFreeHead == 0 && !bGrow()) return 0;
  const std::uint32_t e = m_nFreeHead;
  SEntry& entry = m_pEntries[e - 1];
  m_nFreeHead = entry.next;
  const std::uint32_t b = nBucketOf(key);
  entry.key = key;
  entry.value = value;
  entry.previous = 0;
  entry.next = m_pBuckets[b];
  if (entry.next) m_pEntries[entry.next - 1].previous = e;
  m_pBuckets[b] = e;
  ++m_nCount;
  return 1;
}

std::uint32_t CHashTable::nFind(std::uint64_t key) const {
  if (m_nCount == 0 || m_nBucketCount == 0) return 0;
  for (std::uint32_t e = m_pBuckets[nBucketOf(key)]; e; e = m_pEntries[e - 1].next) {
    if (m_pfnCompare(key, m_pEntries[e - 1].key) == 0) return e;
  }
  return 0;
}

void CHashTable::Unlink(std::uint32_t e) {
  SEntry& entry = m_pEntries[e - 1];
  if (entry.previous) {
    m_pEntries[entry.previous - 1].next = entry.next;
  } else {
    m_pBuckets[nBucketOf(entry.key)] = entry.next;
  }
  if (entry.next) m_pEntries[entry.next - 1].previous = entry.previous;
  entry.previous = HASH_ENTRY_FREE;
  entry.next = m_nFreeHead;
  m_nFreeHead = e;
  --m_nCount;
}

int CHashTable::bRemove(std::uint64_t key, std::uint64_t* value, std::uint64_t* storedKey) {
  const std::uint32_t e = nFind(key);
  if (!e) return 0;
  if (value) *value = m_pEntries[e - 1].value;
  if (storedKey) *storedKey = m_pEntries[e - 1].key;
  Unlink(e);
  if (m_nIterating == 0 && m_nPrimeIndex >= 1 && m_nCount < gtabHashPrimes[m_nPrimeIndex - 1] / 4) bShrink();
  return 1;
}

int CHashTable::bLookup(std::uint64_t key, std::uint64_t* value, std::uint64_t* storedKey) const {
  const std::uint32_t e = nFind(key);
  if (!e) return 0;
  if (value) *value = m_pEntries[e - 1].value;
  if (storedKey) *storedKey = m_pEntries[e - 1].key;
  return 1;
}

std::uint64_t* CHashTable::pFindValue(std::uint64_t key) const {
  const std::uint32_t e = nFind(key);
  return e ? &m_pEntries[e - 1].value : nullptr;
}

int CHashTable::bIterate(std::uint32_t& position, int bRemoveCurrent, std::uint64_t* value, std::uint64_t* key) {
  if (position == 0) ++m_nIterating;
  std::uint32_t i = position;
  while (i < m_nCapacity && m_pEntries[i].previous == HASH_ENTRY_FREE) ++i;
  if (i >= m_nCapacity) {
    EndIteration();
    return 0;
  }
  if (value) *value = m_pEntries[i].value;
  if (key) *key = m_pEntries[i].key;
  if (bRemoveCurrent) Unlink(i + 1);
  position = i + 1;
  return 1;
}

void CHashTable::EndIteration() {
  if (m_nIterating) --m_nIterating;
}

int CHashTable::bResizeBuckets(std::uint32_t primeIndex) {
  if (!Fits(gtabHashPrimes[primeIndex], sizeof(std::uint32_t))) return 0;
  void* buckets = std::realloc(m_pBuckets, sizeof(std::uint32_t) * gtabHashPrimes[primeIndex]);
  if (!buckets) return 0;  // the old array still serves the old bucket count
  m_pBuckets = static_cast<std::uint32_t*>(buckets);
  m_nPrimeIndex = primeIndex;
  m_nBucketCount = gtabHashPrimes[primeIndex];
  return 1;
}

int CHashTable::bGrow() {
  // Half the next prime may not exceed a capacity chosen at construction: go on until the table really grows.
  std::uint32_t index = m_nPrimeIndex;
  do {
    if (index + 1 >= HASH_PRIME_COUNT) return 0;
    ++index;
  } while (gtabHashPrimes[index] / 2 <= m_nCapacity);
  const std::uint32_t capacity = gtabHashPrimes[index] / 2;
  if (!Fits(capacity, sizeof(SEntry)) || !bResizeBuckets(index)) return 0;
  void* entries = std::realloc(m_pEntries, sizeof(SEntry) * capacity);
  if (!entries) {
    Rehash();  // the bucket count changed; the entries did not
    return 0;
  }
  m_pEntries = static_cast<SEntry*>(entries);
  // Growth happens only when every entry is in use: the new ones form the free list behind them.
  for (std::uint32_t i = m_nCapacity; i < capacity; ++i) {
    m_pEntries[i].previous = HASH_ENTRY_FREE;
    m_pEntries[i].next = i + 1 < capacity ? i + 2 : 0;
  }
  m_nFreeHead = m_nCapacity + 1;
  m_nCapacity = capacity;
  Rehash();
  return 1;
}

int CHashTable::bShrink() {
  if (m_nPrimeIndex == 0) return 0;
  std::uint32_t index = m_nPrimeIndex - 1;
  while (index > 0 && m_nCount < gtabHashPrimes[index - 1] / 2) --index;
  const std::uint32_t capacity = gtabHashPrimes[index] / 2;
  if (capacity <= m_nCount || capacity >= m_nCapacity) return 0;
  Compact(capacity);
  // A block that cannot shrink stays as it is: it is larger than needed, never smaller.
  if (void* entries = std::realloc(m_pEntries, sizeof(SEntry) * capacity)) m_pEntries = static_cast<SEntry*>(entries);
  m_nCapacity = capacity;
  bResizeBuckets(index);
  Rehash();
  return 1;
}

void CHashTable::Compact(std::uint32_t capacity) {
  std::uint32_t low = 0;
  for (std::uint32_t high = m_nCapacity; high-- > capacity;) {
    if (m_pEntries[high].previous == HASH_ENTRY_FREE) continue;
    while (m_pEntries[low].previous != HASH_ENTRY_FREE) ++low;
    SEntry& entry = m_pEntries[high];
    const std::uint32_t to = low + 1;
    if (entry.previous) {
      m_pEntries[entry.previous - 1].next = to;
    } else {
      m_pBuckets[nBucketOf(entry.key)] = to;
    }
    if (entry.next) m_pEntries[entry.next - 1].previous = to;
    m_pEntries[low] = entry;
    entry.previous = HASH_ENTRY_FREE;
  }
  // The free list: the free entries below the capacity, from the highest index down.
  m_nFreeHead = 0;
  for (std::uint32_t i = 0; i < capacity && i < m_nCapacity; ++i) {
    if (m_pEntries[i].previous != HASH_ENTRY_FREE) continue;
    m_pEntries[i].next = m_nFreeHead;
    m_nFreeHead = i + 1;
  }
}

void CHashTable::Rehash() {
  if (m_nBucketCount == 0) return;
  std::memset(m_pBuckets, 0, sizeof(std::uint32_t) * m_nBucketCount);
  // A key inserted again shadows its older entries, which follow it in its chain; entry indices say nothing about
  // age (freed entries are reused), so each old chain is pushed from its tail to its head, which keeps its order.
  // The old links are still in the entries: every used entry is first marked as not yet moved.
  constexpr std::uint32_t kPending = 0x80000000u;
  std::uint32_t seen = 0;
  for (std::uint32_t i = 0; i < m_nCapacity && seen < m_nCount; ++i) {
    if (m_pEntries[i].previous == HASH_ENTRY_FREE) continue;
    ++seen;
    m_pEntries[i].next |= kPending;
  }
  seen = 0;
  for (std::uint32_t i = 0; i < m_nCapacity && seen < m_nCount; ++i) {
    if (m_pEntries[i].previous == HASH_ENTRY_FREE || m_pEntries[i].next != kPending) continue;
    // An old tail not yet moved: its chain goes over, last first.
    for (std::uint32_t at = i + 1; at; ++seen) {
      SEntry& entry = m_pEntries[at - 1];
      const std::uint32_t older = entry.previous;
      const std::uint32_t b = nBucketOf(entry.key);
      entry.previous = 0;
      entry.next = m_pBuckets[b];
      if (entry.next) m_pEntries[entry.next - 1].previous = at;
      m_pBuckets[b] = at;
      at = older;
    }
  }
}

void CHashTable::Reset(std::uint32_t size) {
  if (m_nCount == 0) return;
  bInitialise(size ? size : 7, true);
}

int CHashTable::nSetValueAt(std::uint32_t i, std::uint64_t value, std::uint64_t* old) {
  if (i == 0 || i > m_nCapacity) return 0;
  if (old) *old = m_pEntries[i - 1].value;
  m_pEntries[i - 1].value = value;
  return 1;
}

int CHashTable::nSetKeyAt(std::uint32_t i, std::uint64_t key, std::uint64_t* old) {
  if (i == 0 || i > m_nCapacity) return 0;
  if (old) *old = m_pEntries[i - 1].key;
  m_pEntries[i - 1].key = key;
  return 1;
}

CTypeNameTable::~CTypeNameTable() {
  std::uint32_t position = 0;
  std::uint64_t value = 0;
  while (bIterate(position, 1, &value, nullptr)) {
    if (auto* object = reinterpret_cast<CRefCounted*>(value)) object->nRelease();
  }
}
