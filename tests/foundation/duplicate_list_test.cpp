#include "foundation/duplicate_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/foundation/bplus_tree_probe.h"

namespace {

constexpr std::int32_t RANK_READ = static_cast<std::int32_t>(0x80000001u);

std::string Be(std::uint32_t value) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(value >> (24 - 8 * i));
  return s;
}

std::uint32_t FromBe(const void* p) {
  if (!p) return 0xFFFFFFFFu;
  const auto* b = static_cast<const unsigned char*>(p);
  return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
}

// One tree keyed by small numbers whose data values are record numbers, as the key indexes use it.
class DuplicateListTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(m_Tree.bCreate(4, 4, nCompareBytes, 0), 1); }

  bool Add(std::uint32_t key, std::uint32_t value) { return m_Tree.bInsert(Be(key).data(), Be(value).data()) == 1; }
  bool Remove(std::uint32_t key, std::uint32_t value) { return m_Tree.bDelete(Be(key).data(), Be(value).data()) == 1; }
  int Class(std::uint32_t key) { return CBPlusTreeProbe::ListClass(m_Tree, Be(key).data()); }
  std::uint32_t Current() const { return FromBe(m_Tree.pGetCurrentData()); }
  std::uint32_t CurrentKey() const { return FromBe(m_Tree.pGetCurrentKey()); }
  std::int32_t Rank() {
    std::int32_t moved = 0;
    m_Tree.bMove(RANK_READ, &moved, 0);
    return -moved;
  }
  std::string Values(std::uint32_t key) {
    std::string out;
    for (const auto& [k, v] : CBPlusTreeProbe::Entries(m_Tree)) {
      if (k == Be(key)) out += std::to_string(FromBe(v.data())) + ",";
    }
    return out;
  }

  CBPlusTree m_Tree;
};

TEST_F(DuplicateListTest, ListsClimbTheClassesAndComeBackDown) {
  ASSERT_TRUE(Add(5, 100));
  EXPECT_EQ(Class(5), -1);
  ASSERT_TRUE(Add(5, 101));
  EXPECT_EQ(Class(5), 0);
  ASSERT_TRUE(Add(5, 102));
  EXPECT_EQ(Class(5), 1);
  ASSERT_TRUE(Add(5, 103));
  ASSERT_TRUE(Add(5, 104));
  EXPECT_EQ(Class(5), 2) << "the fifth value needs room for eight";
  for (std::uint32_t v = 105; v < 164; ++v) ASSERT_TRUE(Add(5, v));
  EXPECT_EQ(Class(5), 5);
  ASSERT_TRUE(Add(5, 164));
  EXPECT_EQ(Class(5), 6) << "the 65th value goes into a nested tree";
  EXPECT_FALSE(Add(5, 130)) << "a value present in the nested tree";
  EXPECT_EQ(CBPlusTreeProbe::Check(m_Tree), "");
  std::string expected;
  for (std::uint32_t v = 100; v <= 164; ++v) {
    if (v >= 110) expected += std::to_string(v) + ",";
  }
  for (std::uint32_t v = 100; v < 110; ++v) {
    ASSERT_TRUE(Remove(5, v));
    EXPECT_EQ(Class(5), v < 109 ? 6 : 5) << v;
  }
  EXPECT_EQ(Values(5), expected) << "55 values back in an array, in order";
  EXPECT_FALSE(Remove(5, 100));
  EXPECT_EQ(CBPlusTreeProbe::Check(m_Tree), "");
}

TEST_F(DuplicateListTest, ShrinksAtTheThresholds) {
  for (std::uint32_t v = 0; v < 9; ++v) ASSERT_TRUE(Add(1, v));
  EXPECT_EQ(Class(1), 3);
  for (std::uint32_t v = 8; v > 5; --v) ASSERT_TRUE(Remove(1, v));
  EXPECT_EQ(Class(1), 3) << "six values still fit the class";
  ASSERT_TRUE(Remove(1, 0));
  EXPECT_EQ(Class(1), 2);
  EXPECT_EQ(Values(1), "1,2,3,4,5,");
  // A class-1 list of two values gives its last value back to the slot.
  for (std::uint32_t v = 0; v < 3; ++v) ASSERT_TRUE(Add(2, v));
  ASSERT_TRUE(Remove(2, 1));
  EXPECT_EQ(Class(2), 1);
  ASSERT_TRUE(Remove(2, 0));
  EXPECT_EQ(Class(2), -1);
  EXPECT_EQ(Values(2), "2,");
  EXPECT_EQ(CBPlusTreeProbe::Check(m_Tree), "");
}

TEST_F(DuplicateListTest, TheCursorStaysOnItsValueWhenTheListChangesClass) {
  for (std::uint32_t v : {10u, 20u, 30u, 40u}) ASSERT_TRUE(Add(7, v));
  ASSERT_TRUE(Add(9, 1));
  ASSERT_EQ(Class(7), 1);
  m_Tree.GoToRank(2);
  ASSERT_EQ(Current(), 30u);
  ASSERT_TRUE(Add(7, 5));
  EXPECT_EQ(Class(7), 2);
  EXPECT_EQ(Current(), 30u);
  EXPECT_EQ(Rank(), 3);
  // Through the nested tree and back: values below the cursor's push it up, their removal brings it down.
  for (std::uint32_t v = 100; v < 170; ++v) ASSERT_TRUE(Add(7, v));
  for (std::uint32_t v = 0; v < 5; ++v) ASSERT_TRUE(Add(7, v));
  ASSERT_EQ(Class(7), 6);
  EXPECT_EQ(Current(), 30u);
  EXPECT_EQ(Rank(), 8);
  EXPECT_EQ(m_Tree.nGetDuplicateCount(), 80);
  for (std::uint32_t v = 0; v < 5; ++v) ASSERT_TRUE(Remove(7, v));
  for (std::uint32_t v = 150; v < 170; ++v) ASSERT_TRUE(Remove(7, v));
  ASSERT_EQ(Class(7), 5);
  EXPECT_EQ(Current(), 30u);
  EXPECT_EQ(Rank(), 3);
  EXPECT_EQ(CBPlusTreeProbe::Check(m_Tree), "");
}

TEST_F(DuplicateListTest, RemovingTheCursorsValueMovesItToTheFollowingEntry) {
  for (std::uint32_t v = 0; v < 70; ++v) ASSERT_TRUE(Add(3, v));
  ASSERT_TRUE(Add(4, 500));
  ASSERT_NE(m_Tree.bSeek(Be(3).data(), SEEK_LAST), nullptr);
  ASSERT_EQ(Current(), 69u);
  ASSERT_TRUE(Remove(3, 69));
  EXPECT_EQ(CurrentKey(), 4u);
  EXPECT_EQ(Current(), 500u);
  m_Tree.GoToRank(10);
  ASSERT_TRUE(Remove(3, 10));
  EXPECT_EQ(Current(), 11u);
  EXPECT_EQ(CBPlusTreeProbe::Check(m_Tree), "");
}

TEST_F(DuplicateListTest, FindingAValueAboveTheListLandsOnTheNextEntry) {
  for (std::uint32_t v = 0; v < 70; ++v) ASSERT_TRUE(Add(3, v * 2));
  for (std::uint32_t v = 0; v < 3; ++v) ASSERT_TRUE(Add(4, v));
  EXPECT_EQ(m_Tree.bFind(Be(3).data(), Be(41).data()), 0);
  EXPECT_EQ(Current(), 42u);
  EXPECT_EQ(m_Tree.bFind(Be(3).data(), Be(1000).data()), 0);
  EXPECT_EQ(CurrentKey(), 4u);
  EXPECT_EQ(Current(), 0u);
  EXPECT_EQ(m_Tree.bFind(Be(4).data(), Be(9).data()), 0);
  EXPECT_EQ(m_Tree.pGetCurrentKey(), nullptr) << "past the last list of the tree: the end position";
  EXPECT_EQ(m_Tree.bFind(Be(3).data(), Be(64).data()), 1);
  EXPECT_EQ(Rank(), 32);
  EXPECT_EQ(CBPlusTreeProbe::Check(m_Tree), "");
}

}  // namespace
