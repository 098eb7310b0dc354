// Row caches where memory runs out: every allocation of each scenario fails in turn (blocks, indexes, the key map,
// value rows, the record template, the work buffer). A store, insertion or replacement that meets the failure
// answers none and leaves every row, mark and find as it was; tried again, it succeeds; nothing leaks.
#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "engine/cache/keyed_row_cache.h"
#include "engine/cache/row_cache.h"
#include "foundation/error_holder.h"
#include "foundation/hash_table.h"
#include "foundation/module_errors.h"
#include "tests/engine/row_cache_fixture.h"
#include "tests/support/countdown_allocator.h"

namespace {

using countdown::CPause;
using countdown::nRunUntilDone;
using rowcache::Ref;

// What can be seen of a cache: each row's number and mark, the row each record is found at, the deleted count.
struct SState {
  std::vector<std::uint32_t> ids, marks, finds;
  std::uint32_t deleted = 0;
  bool operator==(const SState&) const = default;
};

class RowCacheMemoryTest : public rowcache::RowCacheFixture {
 protected:
  void SetUp() override {
    RowCacheFixture::SetUp();
    // The holder keeps the room an error's message list took once: taken here, before the counting.
    SetHolderOutOfMemory(holder);
    holder->Clear();
  }
  void TearDown() override {
    records.clear();
    RowCacheFixture::TearDown();
  }
  // The out-of-memory error a failed copy of a record left in the holder goes with the run.
  void EndRun(CRowCache* cache) {
    CPause pause;
    cache->nRelease();
    holder->Clear();
  }
  SState StateOf(CRowCache& cache) {
    CPause pause;
    SState state;
    for (std::uint32_t row = 0; row < cache.nGetRowCount(); ++row) {
      state.ids.push_back(IdAt(cache, row));
      state.marks.push_back(cache.nGetMark(row));
    }
    for (const Ref<CRecord>& record : records) state.finds.push_back(cache.nFindRecord(record.get()));
    state.deleted = cache.nGetDeletedCount();
    return state;
  }
  // Runs a change that answers `none` when it fails: then the cache is as it was, and the change is made again.
  template <class Change>
  std::uint32_t Whole(CRowCache& cache, std::uint32_t none, Change change) {
    const SState before = StateOf(cache);
    const std::uint32_t answer = change();
    if (answer != none) return answer;
    CPause pause;
    EXPECT_EQ(StateOf(cache), before) << "a failed change left the cache changed";
    const std::uint32_t again = change();
    EXPECT_NE(again, none) << "the cache is usable after the failure";
    return again;
  }
  void MakeRecords(std::uint32_t count, std::uint32_t size) {
    for (std::uint32_t i = 0; i < count; ++i) records.push_back(Row(i, size));
  }

  std::vector<Ref<CRecord>> records;
};

TEST_F(RowCacheMemoryTest, StoresInsertionsAndReplacementsFailWhole) {
  MakeRecords(14, 24);
  Ref<CRecord> wide = Row(20, 64);
  const std::uint64_t runs = nRunUntilDone([&] {
    auto* cache = new (std::nothrow) CRowCache(ROW_CACHE_ACTIVE);
    if (!cache) return;
    cache->AddRef();
    cache->SetGrowth(4, 0);  // a new block every four rows, indexes growing as often
    for (std::uint32_t i = 0; i < 10; ++i) {
      const std::uint32_t row = Whole(*cache, ROW_NONE, [&] { return cache->bStoreRecord(records[i].get()); });
      CPause pause;
      EXPECT_EQ(row, i);
    }
    Whole(*cache, ROW_NONE, [&] { return cache->InsertRecordAt(records[10].get(), 0); });
    Whole(*cache, 0, [&] { return static_cast<std::uint32_t>(cache->ReplaceRow(3, wide.get())); });
    Whole(*cache, ROW_NONE, [&] { return cache->StoreRecordAt(records[11].get(), 14); });
    Whole(*cache, ROW_NONE, [&] { return cache->nApplyModification(3, records[12].get(), nullptr, 1); });
    Whole(*cache, ROW_NONE, [&] { return cache->nApplyModification(2, records[13].get(), records[5].get(), 0); });
    {
      CPause pause;
      EXPECT_EQ(cache->nGetRowCount(), 16u);
      EXPECT_EQ(cache->nFindRecord(wide.get()), 4u);
      EXPECT_EQ(cache->nFindRecord(records[11].get()), 15u);
      EXPECT_EQ(cache->nFindRecord(records[13].get()), 7u);
      EXPECT_EQ(cache->nGetDeletedCount(), 3u);
    }
    // A copy that cannot be made is none, and the source is untouched.
    CHashTable map(7);
    const SState before = StateOf(*cache);
    CRowCache* copy = cache->pClone(map);
    CPause pause;
    if (copy) {
      copy->AddRef();
      EXPECT_EQ(StateOf(*copy), before);
      copy->nRelease();
    }
    EXPECT_EQ(StateOf(*cache), before);
    EndRun(cache);
  });
  EXPECT_GE(runs, 40u);
}

// Rows keyed by a value and carrying large values: the value row and the key's place fail like the rest, a keyed
// cache reusing a free row or adding a new one loses nothing, and a record it cannot look up is not stored twice.
TEST_F(RowCacheMemoryTest, ValueKeyedRowsAndKeyedStoresFailWhole) {
  Ref<CFieldValue> memo = Text("a large value", 32);
  const char* names[] = {"zero", "one", "two", "three", "four", "five"};
  for (std::uint32_t i = 0; i < 6; ++i) {
    records.push_back(TextKeyed(names[i], i));
    ASSERT_TRUE(records.back()->bSetLargeValue(0, memo.get()));
  }
  std::vector<Ref<CRecord>>& keyed = records;
  Ref<CRecord> wider = TextKeyed("two", 2, 64);  // a stored key in a wider value: the look-up needs more room
  const std::uint64_t runs = nRunUntilDone([&] {
    auto* cache = new (std::nothrow) CKeyedRowCache();
    if (!cache) return;
    cache->AddRef();
    cache->SetGrowth(2, 0);
    for (std::uint32_t i = 0; i < 5; ++i) {
      const std::uint32_t row = Whole(*cache, ROW_NONE, [&] { return cache->nStoreKeyed(keyed[i].get()); });
      CPause pause;
      EXPECT_EQ(row, i);
      cache->Pin(row);
    }
    cache->nReleaseRow(1);
    EXPECT_EQ(Whole(*cache, ROW_NONE, [&] { return cache->nStoreKeyed(keyed[5].get()); }), 1u);
    // A look-up that cannot be made stores nothing: the record may be there already.
    EXPECT_EQ(Whole(*cache, ROW_NONE, [&] { return cache->nStoreKeyed(wider.get()); }), 2u);
    CPause pause;
    CRecord read(nullptr);
    ASSERT_TRUE(cache->bReadRow(&read, 1));
    EXPECT_EQ(IdOf(&read), 5u);
    ASSERT_NE(read.pGetLargeValues(), nullptr);
    EXPECT_EQ(read.pGetLargeValues()->nGetCount(), 1u);
    EXPECT_EQ(cache->nFindRecord(keyed[1].get()), ROW_NONE);
    EXPECT_EQ(cache->nFindRecord(keyed[4].get()), 4u);
    EndRun(cache);
  });
  EXPECT_GE(runs, 40u);
}

}  // namespace
