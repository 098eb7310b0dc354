// Keyed and locked row caches: pins, the first free row and its reuse, lock entries whose references all come back,
// a lock sequence that reuses rows out of order, and copies (a keyed copy keeps its pins, a locked copy is empty).
#include "engine/cache/keyed_row_cache.h"

#include <gtest/gtest.h>

#include "engine/cache/locked_row_cache.h"
#include "foundation/hash_table.h"
#include "tests/engine/row_cache_fixture.h"

namespace {

using rowcache::Hold;
using rowcache::Ref;

int gnLiveEntries = 0;

class TestLockEntry : public CRowLockEntry {
 public:
  explicit TestLockEntry(std::uint32_t mode) : m_nMode(mode) { ++gnLiveEntries; }
  ~TestLockEntry() override { --gnLiveEntries; }
  std::uint32_t nGetLockMode() override { return m_nMode; }

 private:
  std::uint32_t m_nMode;
};

class KeyedRowCacheTest : public rowcache::RowCacheFixture {
 protected:
  void SetUp() override {
    RowCacheFixture::SetUp();
    gnLiveEntries = 0;
  }
  void TearDown() override {
    EXPECT_EQ(gnLiveEntries, 0) << "every lock entry came back";
    RowCacheFixture::TearDown();
  }
};

TEST_F(KeyedRowCacheTest, ReleasedRowsAreReusedBeforeTheCacheGrows) {
  auto cache = Hold(new CKeyedRowCache());
  EXPECT_EQ(cache->nGetFlags(), ROW_CACHE_ACTIVE);
  std::vector<Ref<CRecord>> r;
  for (std::uint32_t i = 0; i < 7; ++i) r.push_back(Row(i));
  for (std::uint32_t i = 0; i < 6; ++i) ASSERT_EQ(cache->nStoreKeyed(r[i].get()), i);
  EXPECT_EQ(cache->nStoreKeyed(r[4].get()), 4u) << "a stored key answers its row";
  EXPECT_EQ(cache->nFindFreeRow(), ROW_NONE) << "no row was ever released";

  cache->Pin(4);
  cache->Pin(4);
  EXPECT_EQ(cache->nReleaseRow(4), 1u);
  EXPECT_EQ(cache->nFindRecord(r[4].get()), 4u) << "still pinned";
  EXPECT_EQ(cache->nReleaseRow(4), 0u);
  EXPECT_EQ(cache->nGetFirstFreeRow(), 4u);
  EXPECT_EQ(cache->nFindRecord(r[4].get()), ROW_NONE) << "a released row is no longer found";
  EXPECT_EQ(cache->nStoreKeyed(r[6].get()), 4u) << "the new record takes the free row";
  EXPECT_EQ(cache->nGetRowCount(), 6u);
  EXPECT_EQ(IdAt(*cache, 4), 6u);

  // An unbalanced unpin changes nothing: the count does not wrap and the row stays free.
  EXPECT_EQ(cache->nUnpin(2), 0u);
  EXPECT_EQ(cache->nReleaseRow(2), 0u);
  EXPECT_EQ(cache->nGetPinCount(2), 0u);
  EXPECT_EQ(cache->nFindRecord(r[2].get()), 2u) << "a row never pinned keeps its key";
  cache->Pin(2);
  EXPECT_EQ(cache->nGetPinCount(2), 1u);
  EXPECT_EQ(cache->nUnpin(40), 0u) << "past the end";

  // Rows are stored by key only.
  EXPECT_EQ(cache->bAppendRecord(r[5].get()), ROW_NONE);
  EXPECT_EQ(cache->InsertRecordAt(r[5].get(), 0), ROW_NONE);
  EXPECT_EQ(cache->StoreRecordAt(r[5].get(), 8), ROW_NONE);
  cache->RemoveRow(0);
  EXPECT_EQ(cache->nGetRowCount(), 6u);

  // A copy keeps the pins and the first free row.
  CHashTable map(7);
  auto copy = Hold(static_cast<CKeyedRowCache*>(cache->pClone(map)));
  EXPECT_EQ(copy->nGetPinCount(2), 1u);
  EXPECT_EQ(copy->nGetFirstFreeRow(), 4u);
  EXPECT_EQ(copy->nFindRecord(r[6].get()), 4u);
  cache->Reset();
  EXPECT_EQ(cache->nGetPinCount(2), 0u);
  EXPECT_EQ(cache->nGetFirstFreeRow(), ROW_NONE);
}

// Lock A, lock B, unlock A, unlock B, lock B, lock A: B reuses A's old row, A then takes B's old row, whose stale
// key must not take B's current one out of the map.
TEST_F(KeyedRowCacheTest, ReusedRowsKeepOtherRowsKeys) {
  auto cache = Hold(new CLockedRowCache());
  Ref<CRecord> a = Row(1), b = Row(2);
  auto entryA = Hold(new TestLockEntry(2)), entryB = Hold(new TestLockEntry(3));
  ASSERT_EQ(cache->nAddLock(a.get(), entryA.get()), 0u);
  ASSERT_EQ(cache->nAddLock(b.get(), entryB.get()), 1u);
  EXPECT_EQ(cache->bRemoveLock(0), 0u);
  EXPECT_EQ(cache->bRemoveLock(1), 0u);
  ASSERT_EQ(cache->nAddLock(b.get(), entryB.get()), 0u);
  ASSERT_EQ(cache->nAddLock(a.get(), entryA.get()), 1u);
  EXPECT_EQ(cache->nFindRecord(b.get()), 0u);
  EXPECT_EQ(cache->nFindRecord(a.get()), 1u);
  std::uint32_t mode = 0;
  EXPECT_TRUE(cache->bFindLock(b.get(), &mode, nullptr));
  EXPECT_EQ(mode, 3u);
  EXPECT_EQ(entryB->nGetRefCount(), 2u) << "the test's and the slot's";
  EXPECT_EQ(entryA->nGetRefCount(), 2u);
}

TEST_F(KeyedRowCacheTest, LockEntriesGiveTheirReferencesBack) {
  auto cache = Hold(new CLockedRowCache());
  Ref<CRecord> a = Row(1), b = Row(2), c = Row(3);
  auto first = Hold(new TestLockEntry(7)), second = Hold(new TestLockEntry(8));
  ASSERT_EQ(cache->nAddLock(a.get(), first.get()), 0u);
  ASSERT_EQ(cache->nAddLock(a.get(), first.get()), 0u);  // the same record locked twice: pinned twice
  EXPECT_EQ(first->nGetRefCount(), 2u);
  EXPECT_EQ(cache->bRemoveLock(0), 1u) << "still pinned: the entry stays";
  EXPECT_EQ(first->nGetRefCount(), 2u);
  EXPECT_EQ(cache->bRemoveLock(0), 0u);
  EXPECT_EQ(first->nGetRefCount(), 1u) << "the emptied slot gave its reference back";
  EXPECT_EQ(cache->pGetLock(0), nullptr);

  ASSERT_EQ(cache->nAddLock(b.get(), second.get()), 0u);
  ASSERT_EQ(cache->nAddLock(c.get(), first.get()), 1u);
  CRowLockEntry* found = nullptr;
  std::uint32_t mode = 0;
  ASSERT_TRUE(cache->bFindLock(c.get(), &mode, &found));
  EXPECT_EQ(found, first.get());
  EXPECT_EQ(mode, 7u);
  found->nRelease();
  EXPECT_FALSE(cache->bFindLock(a.get(), &mode, &found));
  EXPECT_EQ(found, nullptr);
  CRowLockEntry* got = cache->pFindLock(b.get());
  EXPECT_EQ(got, second.get());
  got->nRelease();
  EXPECT_EQ(cache->pGetLock(9), nullptr);

  // A copy of a locked cache is empty.
  CHashTable map(7);
  auto copy = Hold(cache->pClone(map));
  EXPECT_EQ(copy->nGetRowCount(), 0u);
  EXPECT_EQ(copy->nFindRecord(b.get()), ROW_NONE);
  EXPECT_EQ(static_cast<CLockedRowCache*>(copy.get())->nGetLockSlotCount(), 0u);

  cache->Reset();  // every lock goes
  EXPECT_EQ(first->nGetRefCount(), 1u);
  EXPECT_EQ(second->nGetRefCount(), 1u);
  EXPECT_EQ(cache->nGetRowCount(), 0u);
  ASSERT_EQ(cache->nAddLock(a.get(), second.get()), 0u);
  cache.reset();  // and with the cache
  EXPECT_EQ(second->nGetRefCount(), 1u);
}

}  // namespace
