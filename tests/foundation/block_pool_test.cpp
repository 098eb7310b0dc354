#include "foundation/block_pool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

TEST(BlockPool, SizesBlocksToAboutFourKilobytes) {
  EXPECT_EQ(CBlockPool::nItemsPerBlockFor(100), 4096u / 108u);
  EXPECT_EQ(CBlockPool::nItemsPerBlockFor(4088), 2u);
  EXPECT_EQ(CBlockPool::nItemsPerBlockFor(100000), 2u);
}

TEST(BlockPool, HandsOutTheItemReturnedLastFirst) {
  CBlockPool pool(4, 24);
  void* a = pool.pAlloc();
  void* b = pool.pAlloc();
  void* c = pool.pAlloc();
  ASSERT_TRUE(a && b && c);
  EXPECT_NE(a, b);
  pool.Free(a);
  pool.Free(c);
  EXPECT_EQ(pool.pAlloc(), c);
  EXPECT_EQ(pool.pAlloc(), a);
  EXPECT_EQ(pool.nGetItemsInUse(), 3u);
  EXPECT_EQ(pool.nGetBlockCount(), 1u);
}

TEST(BlockPool, AFullBlockThatGetsAnItemBackServesTheNextAllocation) {
  CBlockPool pool(2, 8);
  void* a = pool.pAlloc();
  void* b = pool.pAlloc();  // first block full
  void* c = pool.pAlloc();  // second block
  ASSERT_EQ(pool.nGetBlockCount(), 2u);
  pool.Free(a);
  EXPECT_EQ(pool.pAlloc(), a);
  pool.Free(b);
  pool.Free(c);
  EXPECT_EQ(pool.nGetItemsInUse(), 1u);
}

TEST(BlockPool, KeepsOneSpareBlockAndReturnsTheOthersToTheHeap) {
  CBlockPool pool(2, 16);
  std::vector<void*> items;
  for (int i = 0; i < 6; ++i) items.push_back(pool.pAlloc());
  EXPECT_EQ(pool.nGetBlockCount(), 3u);
  for (void* item : items) pool.Free(item);
  EXPECT_EQ(pool.nGetItemsInUse(), 0u);
  EXPECT_EQ(pool.nGetBlockCount(), 1u) << "the last wholly free block stays as a spare";
  void* again = pool.pAlloc();
  EXPECT_EQ(pool.nGetBlockCount(), 1u) << "the spare block is reused";
  EXPECT_TRUE(again == items[0] || again == items[1] || again == items[2] || again == items[3] || again == items[4] ||
              again == items[5]);
  pool.Free(again);
}

TEST(BlockPool, ReserveMakesRoomBeforehand) {
  CBlockPool pool(2, 40);
  ASSERT_EQ(pool.bReserve(5), 1);
  EXPECT_EQ(pool.nGetBlockCount(), 3u);
  std::vector<void*> items;
  for (int i = 0; i < 5; ++i) items.push_back(pool.pAlloc());
  EXPECT_EQ(pool.nGetBlockCount(), 3u);
  ASSERT_EQ(pool.bReserve(1), 1);
  EXPECT_EQ(pool.nGetBlockCount(), 3u) << "a free item was left";
  for (void* item : items) pool.Free(item);
}

TEST(BlockPool, ItemsAreAlignedAndDisjoint) {
  // An odd item size still gives 8-byte aligned items; writing each whole item must not touch its neighbours.
  CBlockPool pool(CBlockPool::nItemsPerBlockFor(13), 13);
  std::vector<unsigned char*> items;
  for (int i = 0; i < 700; ++i) {
    auto* item = static_cast<unsigned char*>(pool.pAlloc());
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(item) % 8, 0u);
    std::memset(item, i & 0xFF, 13);
    items.push_back(item);
  }
  for (int i = 0; i < 700; ++i) {
    for (int b = 0; b < 13; ++b) ASSERT_EQ(items[i][b], i & 0xFF);
  }
  for (int i = 0; i < 700; i += 2) pool.Free(items[i]);
  EXPECT_EQ(pool.nGetItemsInUse(), 350u);
  pool.Clear();
  EXPECT_EQ(pool.nGetBlockCount(), 0u);
  EXPECT_EQ(pool.nGetItemsInUse(), 0u);
}

}  // namespace
