// The row cache: block sizes as rows accumulate, moves over deleted rows, when the statement must fetch, finds that
// follow removals, insertions and replacements, rows read back into records (template, keys, large values), the
// statement kinds kept in step, and copies that keep every row and mark.
#include "engine/cache/row_cache.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/hash_table.h"
#include "tests/engine/row_cache_fixture.h"

namespace {

using rowcache::Hold;
using rowcache::Ref;

class RowCacheTest : public rowcache::RowCacheFixture {};

TEST_F(RowCacheTest, BlocksHoldFiveHundredRowsThenDoubleOnceAtTheSixth) {
  CRowCache cache(ROW_CACHE_ACTIVE);
  Ref<CRecord> row = Row(1, 100);
  for (std::uint32_t i = 0; i < 5 * 500 + 3 * 1000; ++i) ASSERT_EQ(cache.bStoreRecord(row.get()), i);
  // 100-byte rows are 108-byte entries; keys are 28 bytes, 36 with their length.
  const CRowArena& rows = cache.GetRowArena();
  ASSERT_EQ(rows.nGetBlockCount(), 8u);
  for (std::uint32_t b = 0; b < 8; ++b) {
    const std::uint64_t capacity = b < 5 ? 54000 : 108000;
    EXPECT_EQ(rows.pGetBlock(b)->nCapacity, capacity) << "block " << b;
    EXPECT_EQ(rows.pGetBlock(b)->nUsed, capacity) << "block " << b;
  }
  EXPECT_EQ(rows.nGetRowsPerBlock(), 1000u);
  EXPECT_EQ(rows.nGetBlockBytes(), 4194304u);
  EXPECT_EQ(cache.GetKeyArena().pGetBlock(0)->nCapacity, 500u * 36);
  EXPECT_EQ(cache.GetKeyArena().pGetBlock(5)->nCapacity, 1000u * 36);

  // A block never holds more than its bytes, and an entry larger than a whole block gets a block of its own.
  CRowCache small(ROW_CACHE_ACTIVE);
  small.SetGrowth(0, 200);
  Ref<CRecord> large = Row(2, 300);
  ASSERT_EQ(small.bStoreRecord(row.get()), 0u);
  ASSERT_EQ(small.bStoreRecord(large.get()), 1u);
  EXPECT_EQ(small.GetRowArena().pGetBlock(0)->nCapacity, 200u);
  EXPECT_EQ(small.GetRowArena().pGetBlock(1)->nCapacity, 308u);
  EXPECT_EQ(IdAt(small, 1), 2u);

  // A refilled cache starts again from the first figures and doubles once more at its sixth block.
  cache.Reset();
  EXPECT_EQ(rows.nGetBlockCount(), 0u);
  EXPECT_EQ(rows.nGetRowsPerBlock(), 500u);
  EXPECT_EQ(cache.nGetRowCount(), 0u);
  ASSERT_EQ(cache.bStoreRecord(row.get()), 0u);
  EXPECT_EQ(rows.pGetBlock(0)->nCapacity, 54000u);
}

TEST_F(RowCacheTest, MovesPassOverDeletedRows) {
  CRowCache cache(ROW_CACHE_ACTIVE);
  for (std::uint32_t i = 0; i < 10; ++i) cache.bStoreRecord(Row(i).get());
  struct SMove {
    std::int32_t from;
    std::uint32_t direction, count;
    std::int32_t plain, withDeleted;  // without deleted rows, and with rows 3 and 4 deleted
  };
  const SMove moves[] = {
      {2, ROW_MOVE_NEXT, 1, 3, 5},     {5, ROW_MOVE_PREVIOUS, 1, 4, 2},
      {-1, ROW_MOVE_FIRST, 1, 0, 0},   {-1, ROW_MOVE_LAST, 1, 9, 9},
      {8, ROW_MOVE_NEXT, 5, 13, 13},   {0, ROW_MOVE_PREVIOUS, 1, -1, -1},
      {5, ROW_MOVE_PREVIOUS, 3, 2, 0}, {5, ROW_MOVE_PREVIOUS, 0, 5, 5},
      {-1, ROW_MOVE_FIRST, 4, 3, 5},   {-1, 7, 2, 1, 1},
      {-1, ROW_MOVE_LAST, 6, 4, 2},    {1, ROW_MOVE_NEXT, 10, 11, 13},
  };
  for (const SMove& move : moves) {
    EXPECT_EQ(cache.nMoveRow(move.from, move.direction, move.count), move.plain)
        << move.from << " " << move.direction << " " << move.count;
  }
  cache.SetMark(3, ROW_MARK_DELETED);
  cache.SetMark(4, ROW_MARK_DELETED);
  EXPECT_EQ(cache.nGetDeletedCount(), 2u);
  for (const SMove& move : moves) {
    EXPECT_EQ(cache.nMoveRow(move.from, move.direction, move.count), move.withDeleted)
        << move.from << " " << move.direction << " " << move.count << " with deleted rows";
  }
  EXPECT_TRUE(cache.bIsRowOutOfRange(13));
  EXPECT_TRUE(cache.bIsRowOutOfRange(-1));
  EXPECT_FALSE(cache.bIsRowOutOfRange(9));
}

TEST_F(RowCacheTest, FetchIsNeededUntilTheCacheHoldsTheRowOrIsComplete) {
  CRowCache cache(0);
  cache.bStoreRecord(Row(0).get());
  cache.bStoreRecord(nullptr);
  EXPECT_TRUE(cache.bMustFetchRow(0)) << "an inactive cache always fetches";
  cache.SetComplete();
  EXPECT_FALSE(cache.nGetFlags() & ROW_CACHE_COMPLETE) << "only an active cache becomes complete";
  cache.SetFlags(ROW_CACHE_ACTIVE);
  const std::int32_t rows[] = {0, 1, 2, -1};
  const int incomplete[] = {0, 1, 1, 0};
  const int complete[] = {0, 0, 0, 0};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(cache.bMustFetchRow(rows[i]), incomplete[i]) << rows[i];
  cache.SetComplete();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(cache.bMustFetchRow(rows[i]), complete[i]) << rows[i] << " complete";
  cache.Reset();
  EXPECT_FALSE(cache.nGetFlags() & ROW_CACHE_COMPLETE);
  EXPECT_EQ(cache.nGetDeletedCount(), 0u);
}

// Finds after each change: the key map follows the row numbers, a removed or replaced key is gone, and a key that
// another row still holds (an equal record stored twice) stays with that row.
TEST_F(RowCacheTest, FindsFollowRemovalsInsertionsAndReplacements) {
  CRowCache cache(ROW_CACHE_ACTIVE);
  std::vector<Ref<CRecord>> r;
  for (std::uint32_t i = 0; i < 8; ++i) r.push_back(Row(i));
  for (std::uint32_t i = 0; i < 5; ++i) cache.bStoreRecord(r[i].get());
  auto finds = [&](std::vector<std::uint32_t> expected) {
    for (std::uint32_t i = 0; i < expected.size(); ++i) EXPECT_EQ(cache.nFindRecord(r[i].get()), expected[i]) << i;
  };
  finds({0, 1, 2, 3, 4, ROW_NONE});
  cache.RemoveRow(1);
  finds({0, ROW_NONE, 1, 2, 3, ROW_NONE});
  EXPECT_EQ(cache.InsertRecordAt(r[5].get(), 0), 0u);
  finds({1, ROW_NONE, 2, 3, 4, 0});
  ASSERT_TRUE(cache.ReplaceRow(3, r[7].get()));
  finds({1, ROW_NONE, 2, ROW_NONE, 4, 0, ROW_NONE, 3});

  // Row 5 takes the bytes of row 2; replacing row 2 takes its own key out, and row 5 still holds the key.
  Ref<CRecord> twin = Row(2);
  ASSERT_EQ(cache.bStoreRecord(twin.get()), 5u);
  ASSERT_TRUE(cache.ReplaceRow(2, r[6].get()));
  finds({1, ROW_NONE, 5, ROW_NONE, 4, 0, 2, 3});

  // Replacing with larger bytes, and a row that has none, writes new entries.
  Ref<CRecord> wide = Row(9, 40);
  ASSERT_TRUE(cache.ReplaceRow(0, wide.get()));
  EXPECT_EQ(cache.nFindRecord(wide.get()), 0u);
  EXPECT_EQ(cache.nFindRecord(r[5].get()), ROW_NONE);
  EXPECT_EQ(IdAt(cache, 0), 9u);
  finds({1, ROW_NONE, 5, ROW_NONE, 4, ROW_NONE, 2, 3});  // the rows beside it untouched
  EXPECT_EQ(IdAt(cache, 1), 0u);
  ASSERT_TRUE(cache.ReplaceRow(4, nullptr));
  EXPECT_FALSE(cache.bHasRow(4));
  EXPECT_EQ(cache.nFindRecord(r[4].get()), ROW_NONE);
  EXPECT_TRUE(cache.bIsRowDeleted(4));
  ASSERT_TRUE(cache.ReplaceRow(4, r[1].get()));
  EXPECT_EQ(cache.nFindRecord(r[1].get()), 4u);
  EXPECT_FALSE(cache.bIsRowDeleted(4));
  EXPECT_EQ(cache.nGetDeletedCount(), 0u);
  EXPECT_EQ(IdAt(cache, 4), 1u);
  EXPECT_FALSE(cache.ReplaceRow(6, r[1].get())) << "past the end";

  // Empty rows up to the place asked for, then an insertion among them.
  EXPECT_EQ(cache.StoreRecordAt(r[3].get(), 9), 9u);
  EXPECT_EQ(cache.nGetRowCount(), 10u);
  EXPECT_EQ(cache.nGetDeletedCount(), 3u);
  EXPECT_EQ(cache.StoreRecordAt(r[4].get(), 7), 7u);
  EXPECT_EQ(cache.nFindRecord(r[3].get()), 10u);
  EXPECT_EQ(cache.nFindRecord(r[4].get()), 7u);
  EXPECT_EQ(cache.InsertRecordAt(r[5].get(), 12), ROW_NONE) << "past the row count";
}

TEST_F(RowCacheTest, StatementKindsKeepTheCacheInStep) {
  CRowCache cache(ROW_CACHE_ACTIVE);
  Ref<CRecord> a = Row(1), b = Row(2), c = Row(3), d = Row(4, 16, 5);
  cache.bStoreRecord(a.get());
  cache.bStoreRecord(b.get());
  EXPECT_EQ(cache.nApplyModification(3, c.get(), nullptr, 1), 0u);
  EXPECT_EQ(cache.nApplyModification(3, c.get(), nullptr, 0), 3u);
  EXPECT_EQ(cache.nFindRecord(a.get()), 1u);
  EXPECT_EQ(cache.nApplyModification(2, d.get(), a.get(), 0), 1u);
  EXPECT_EQ(cache.nGetMark(1), 5u) << "the record's state word";
  EXPECT_EQ(cache.nFindRecord(a.get()), ROW_NONE);
  EXPECT_EQ(cache.nApplyModification(2, d.get(), a.get(), 0), ROW_NONE);
  EXPECT_EQ(cache.nApplyModification(4, nullptr, b.get(), 0), 2u);
  EXPECT_EQ(cache.nApplyModification(4, nullptr, b.get(), 0), 2u);
  EXPECT_EQ(cache.nGetDeletedCount(), 1u) << "a row already deleted is not counted twice";
  EXPECT_EQ(cache.nApplyModification(1, a.get(), a.get(), 0), ROW_NONE);
  EXPECT_EQ(cache.nMarkDeleted(d.get()), 1u);
  EXPECT_EQ(cache.nGetDeletedCount(), 2u);
  cache.SetMark(1, 0);
  EXPECT_EQ(cache.nGetDeletedCount(), 1u);

  cache.bStoreRecord(nullptr);  // a deleted row without bytes or key
  EXPECT_EQ(cache.nGetDeletedCount(), 2u);
  EXPECT_FALSE(cache.bHasRow(4));
  CRecord kept(nullptr);
  EXPECT_FALSE(cache.bReadRow(&kept, 4));
  EXPECT_EQ(kept.pGetBuffer(), nullptr) << "a failed read leaves the record as it was";
  cache.RemoveRow(4);
  cache.RemoveRow(2);
  EXPECT_EQ(cache.nGetDeletedCount(), 0u);
  EXPECT_EQ(cache.nGetRowCount(), 3u);
}

TEST_F(RowCacheTest, RowsReadBackWithTheirKeysAndLargeValues) {
  CRowCache cache(ROW_CACHE_ACTIVE);
  Ref<CRecord> alpha = TextKeyed("alpha", 1);
  Ref<CFieldValue> memo = Text("memo text", 32);
  ASSERT_TRUE(alpha->bSetLargeValue(1, memo.get()));
  Ref<CRecord> beta = TextKeyed("beta", 2);
  ASSERT_EQ(cache.bStoreRecord(alpha.get()), 0u);
  ASSERT_EQ(cache.bStoreRecord(beta.get()), 1u);
  EXPECT_EQ(cache.nGetKeyKind(), ROW_KEY_HOST_VALUE);
  EXPECT_EQ(cache.bStoreRecord(Row(3).get()), ROW_NONE) << "a whole-record key does not go into a value-keyed map";
  memo->bSetAnsiText("changed", FIELD_LENGTH_TERMINATED);  // the cache keeps its own copy

  // A record without a buffer takes the template; the key and the large values come back with the bytes.
  CRecord read(nullptr);
  ASSERT_TRUE(cache.bReadRow(&read, 0));
  EXPECT_EQ(IdOf(&read), 1u);
  ASSERT_NE(read.pGetKey(), nullptr);
  ASSERT_NE(read.pGetLargeValues(), nullptr);
  ASSERT_EQ(read.pGetLargeValues()->nGetCount(), 2u);
  EXPECT_EQ(read.pGetLargeValues()->pGetAt(0), nullptr);
  CFieldValue* copied = read.pGetLargeValues()->pGetAt(1);
  EXPECT_STREQ(static_cast<const char*>(copied->pGetData()), "memo text");
  EXPECT_EQ(cache.nFindKey(read.pGetKey()), 0u);
  ASSERT_TRUE(cache.bReadRow(&read, 1));
  EXPECT_EQ(IdOf(&read), 2u);
  EXPECT_EQ(cache.nFindKey(read.pGetKey()), 1u);
  EXPECT_TRUE(cache.bRowEquals(1, beta.get()));
  EXPECT_FALSE(cache.bRowEquals(0, beta.get()));

  // A look-up key larger than any before grows the work buffer: the same text in a wider value is found.
  CHostValueKey wide(Text("beta", 4096).get());
  EXPECT_EQ(cache.nFindKey(&wide), 1u);
  CHostValueKey small(Text("alpha", 6).get());
  EXPECT_EQ(cache.nFindKey(&small), 0u);
  CRecordValuesKey otherKind({});
  EXPECT_EQ(cache.nFindKey(&otherKind), ROW_NONE);
  EXPECT_EQ(cache.nFindKey(nullptr), ROW_NONE);

  // A replacement with a larger key gets a new key entry.
  Ref<CRecord> longer = Row(4);
  longer->SetKey(new CHostValueKey(Text("a much longer key text", 64).get()));
  ASSERT_TRUE(cache.ReplaceRow(0, longer.get()));
  CHostValueKey probe(Text("a much longer key text", 64).get());
  EXPECT_EQ(cache.nFindKey(&probe), 0u);
  EXPECT_EQ(cache.nFindRecord(alpha.get()), ROW_NONE);
  ASSERT_TRUE(cache.bReadRow(&read, 0));
  EXPECT_EQ(IdOf(&read), 4u);
  EXPECT_EQ(cache.nFindRecord(beta.get()), 1u) << "the key beside it untouched";
  ASSERT_TRUE(cache.bReadRow(&read, 1));
  EXPECT_EQ(IdOf(&read), 2u);

  // Rows of 32 bytes or more are copied in pieces: read into one record in turn, each row's tail is its own.
  for (std::uint32_t size : {32u, 33u, 47u, 64u, 65u, 100u}) {
    CRowCache sized(ROW_CACHE_ACTIVE);
    const Ref<CRecord> rows[] = {Row(5, size), Row(6, size)};
    for (const Ref<CRecord>& row : rows) ASSERT_NE(sized.bStoreRecord(row.get()), ROW_NONE);
    CRecord back(nullptr);
    for (std::uint32_t row : {0u, 1u, 0u}) {
      ASSERT_TRUE(sized.bReadRow(&back, row));
      const std::uint8_t* expected = rows[row]->pGetBuffer()->pGetBlock();
      EXPECT_EQ(std::memcmp(back.pGetBuffer()->pGetBlock(), expected, size), 0) << size << "-byte row " << row;
    }
  }
}

TEST_F(RowCacheTest, CopiesKeepEveryRowAndMark) {
  auto cache = Hold(new CRowCache(ROW_CACHE_ACTIVE));
  Ref<CRecord> a = Row(1), b = Row(2, 16, 3), c = Row(3);
  cache->bStoreRecord(a.get());
  cache->bStoreRecord(nullptr);
  cache->bStoreRecord(b.get());
  cache->bStoreRecord(c.get());
  cache->SetMark(3, ROW_MARK_DELETED);
  cache->SetComplete();

  CHashTable map(7);
  CRowCache* copy = cache->pClone(map);
  ASSERT_NE(copy, nullptr);
  auto held = Hold(copy);
  std::uint64_t known = 0;
  ASSERT_TRUE(map.bLookup(reinterpret_cast<std::uintptr_t>(cache.get()), &known, nullptr));
  EXPECT_EQ(known, reinterpret_cast<std::uintptr_t>(copy));
  EXPECT_EQ(copy->nGetFlags(), ROW_CACHE_ACTIVE | ROW_CACHE_COMPLETE);
  ASSERT_EQ(copy->nGetRowCount(), 4u);
  const std::uint32_t ids[] = {1, ROW_NONE, 2, 3};
  const std::uint32_t marks[] = {0, ROW_MARK_DELETED, 3, ROW_MARK_DELETED};
  for (std::uint32_t row = 0; row < 4; ++row) {
    EXPECT_EQ(IdAt(*copy, row), ids[row]) << row;
    EXPECT_EQ(copy->nGetMark(row), marks[row]) << row;
  }
  EXPECT_EQ(copy->nGetDeletedCount(), 2u);
  EXPECT_EQ(copy->nFindRecord(c.get()), 3u);
  cache.reset();  // the copy stands on its own
  EXPECT_EQ(copy->nFindRecord(b.get()), 2u);
  EXPECT_EQ(IdAt(*copy, 2), 2u);
}

}  // namespace
