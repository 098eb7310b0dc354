#include "foundation/bplus_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/foundation/bplus_tree_probe.h"

namespace {

using Entry = std::pair<std::string, std::string>;

// Big-endian, so that the bytewise order of keys is their numeric order.
std::string Be(std::uint32_t value, std::size_t length = 4) {
  std::string s(length, '\0');
  for (std::size_t i = 0; i < 4 && i < length; ++i) s[i] = static_cast<char>(value >> (24 - 8 * i));
  return s;
}

int DescendingCompare(const void* a, const void* b, std::size_t length) { return -std::memcmp(a, b, length); }

constexpr std::int32_t RANK_READ = static_cast<std::int32_t>(0x80000001u);

// The reference: every entry of the tree, data values sorted within their key as the tree keeps them. A key that
// compares descending is stored complemented, so that the map's own order is the tree's.
class COracle {
 public:
  explicit COracle(bool descending) : m_bDescending(descending) {}

  bool Insert(const std::string& key, const std::string& data, bool keysOnly) {
    const std::string k = Order(key);
    auto range = m_Map.equal_range(k);
    if (keysOnly && range.first != range.second) return false;
    auto at = range.first;
    while (at != range.second && at->second < data) ++at;
    if (at != range.second && at->second == data) return false;
    m_Map.emplace_hint(at, k, data);
    return true;
  }
  bool Erase(const std::string& key, const std::string* data) {
    auto range = m_Map.equal_range(Order(key));
    if (range.first == range.second) return false;
    if (!data) {
      m_Map.erase(range.first, range.second);
      return true;
    }
    for (auto at = range.first; at != range.second; ++at) {
      if (at->second == *data) {
        m_Map.erase(at);
        return true;
      }
    }
    return false;
  }
  std::vector<Entry> Entries() const {
    std::vector<Entry> out;
    for (const auto& [k, d] : m_Map) out.emplace_back(Order(k), d);
    return out;
  }
  std::size_t Size() const { return m_Map.size(); }

 private:
  std::string Order(const std::string& key) const {
    if (!m_bDescending) return key;
    std::string out = key;
    for (char& c : out) c = static_cast<char>(~static_cast<unsigned char>(c));
    return out;
  }
  bool m_bDescending;
  std::multimap<std::string, std::string> m_Map;
};

struct SConfig {
  int order;
  std::size_t keyLength;
  std::size_t dataLength;  // 0: keys only
  std::uint32_t keySpace;
  std::uint32_t dataSpace;
  bool descending;
  int steps;
  unsigned seed;
};

// Drives a tree and the oracle with the same random operations, and after each step checks the tree's invariants,
// its entries, and that the cursor stands where the operation should have left it.
class CRandomRun {
 public:
  explicit CRandomRun(const SConfig& config) : m_Config(config), m_Oracle(config.descending), m_Random(config.seed) {
    EXPECT_EQ(m_Tree.bCreate(config.keyLength, config.dataLength, config.descending ? DescendingCompare : nCompareBytes,
                             config.order),
              1);
  }

  int MaxListClass() const { return m_MaxClass; }
  int MaxHeight() const { return m_MaxHeight; }
  std::size_t MaxSize() const { return m_MaxSize; }

  void Run() {
    for (int step = 0; step < m_Config.steps && !::testing::Test::HasFailure(); ++step) {
      // Grow, shrink to nothing, grow again: lists climb through every class and come back down.
      const int phase = step * 3 / m_Config.steps;
      const int insertWeight = phase == 1 ? 25 : 70;
      m_Step = step;
      const int choice = static_cast<int>(m_Random() % 100);
      if (choice < insertWeight) {
        Insert();
      } else if (choice < 85) {
        Delete();
      } else {
        Position();
      }
      Verify();
      if (step % 400 == 399) Walk();
    }
  }

 private:
  std::string Key() {
    return Be(static_cast<std::uint32_t>(m_Random() % m_Config.keySpace) * 7 + 3, m_Config.keyLength);
  }
  std::string Data() { return Data(m_Random); }
  std::string Data(std::mt19937& random) const {
    return Be(static_cast<std::uint32_t>(random() % m_Config.dataSpace) * 5 + 1, m_Config.dataLength);
  }
  bool KeysOnly() const { return m_Config.dataLength == 0; }

  // Where the entry after the given ones stands once they are gone: the first entry of the oracle above them.
  std::optional<Entry> Following(const std::vector<Entry>& before, std::size_t last) const {
    if (last + 1 < before.size()) return before[last + 1];
    return std::nullopt;
  }

  void Insert() {
    const std::string key = Key();
    const std::string data = KeysOnly() ? std::string() : Data();
    const bool wasEmpty = m_Oracle.Size() == 0;
    const bool expected = m_Oracle.Insert(key, data, KeysOnly());
    ASSERT_EQ(m_Tree.bInsert(key.data(), KeysOnly() ? nullptr : data.data()), expected ? 1 : 0) << Where();
    if (expected && wasEmpty) m_Cursor = std::nullopt;  // the first insert leaves the cursor on the end position
  }

  void Delete() {
    std::vector<Entry> before = m_Oracle.Entries();
    std::string key;
    std::string data;
    // Mostly entries that exist, so that the tree shrinks; sometimes a whole key or an absent pair.
    if (!before.empty() && m_Random() % 4 != 0) {
      const Entry& e = before[m_Random() % before.size()];
      key = e.first;
      data = e.second;
    } else {
      key = Key();
      data = KeysOnly() ? std::string() : Data();
    }
    const bool wholeKey = !KeysOnly() && m_Random() % 60 == 0;
    const bool expected = m_Oracle.Erase(key, wholeKey || KeysOnly() ? nullptr : &data);
    ASSERT_EQ(m_Tree.bDelete(key.data(), wholeKey || KeysOnly() ? nullptr : data.data()), expected ? 1 : 0) << Where();
    if (!expected || !m_Cursor) return;
    // A cursor on a removed entry goes on to the entry that followed the removed ones.
    std::size_t first = before.size();
    std::size_t last = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
      if (before[i].first == key && (wholeKey || KeysOnly() || before[i].second == data)) {
        first = std::min(first, i);
        last = i;
      }
    }
    const auto at = std::find(before.begin(), before.end(), *m_Cursor) - before.begin();
    if (static_cast<std::size_t>(at) >= first && static_cast<std::size_t>(at) <= last) {
      m_Cursor = Following(before, last);
    }
    if (m_Oracle.Size() == 0) m_Cursor = std::nullopt;
  }

  void Position() {
    const std::vector<Entry> entries = m_Oracle.Entries();
    switch (m_Random() % 7) {
      case 0: {
        const std::uint32_t rank = static_cast<std::uint32_t>(m_Random() % (entries.size() + 2));
        m_Tree.GoToRank(rank);
        if (!entries.empty()) m_Cursor = rank < entries.size() ? std::optional<Entry>(entries[rank]) : std::nullopt;
        break;
      }
      case 1:
        Seek(entries);
        break;
      case 2:
        Find(entries);
        break;
      default:
        Move(entries);
        break;
    }
  }

  void Seek(const std::vector<Entry>& entries) {
    const std::string key = Key();
    const std::uint32_t mode = static_cast<std::uint32_t>(m_Random() % 4);
    const void* result = m_Tree.bSeek(key.data(), mode);
    std::optional<std::size_t> target;
    bool exact = false;
    if (mode & SEEK_LAST) {
      for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!Below(key, entries[i].first)) {
          target = i;
          exact = entries[i].first == key;
        }
      }
    } else {
      for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!Below(entries[i].first, key)) {
          target = i;
          exact = entries[i].first == key;
          break;
        }
      }
    }
    const bool moves = target && (exact || !(mode & SEEK_EXACT));
    if (moves) m_Cursor = entries[*target];
    if (!moves || KeysOnly()) {
      EXPECT_EQ(result, nullptr) << Where();
    } else {
      ASSERT_NE(result, nullptr) << Where();
      EXPECT_EQ(std::string(static_cast<const char*>(result), m_Config.dataLength), entries[*target].second) << Where();
    }
  }

  void Find(const std::vector<Entry>& entries) {
    std::string key = Key();
    std::string data = KeysOnly() ? std::string() : Data();
    if (!entries.empty() && m_Random() % 2) {
      const Entry& e = entries[m_Random() % entries.size()];
      key = e.first;
      if (m_Random() % 2) data = e.second;
    }
    const int result = m_Tree.bFind(key.data(), KeysOnly() ? nullptr : data.data());
    if (entries.empty()) {
      EXPECT_EQ(result, 0);
      return;
    }
    std::size_t values = 0;
    std::size_t firstOfKey = entries.size();
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].first == key) {
        ++values;
        firstOfKey = std::min(firstOfKey, i);
      }
    }
    std::size_t target = entries.size();
    bool present = false;
    if (values == 1) {
      target = firstOfKey;  // a single value: the cursor goes to its slot whatever the value
      present = KeysOnly() || entries[target].second == data;
    } else {
      for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!Below(entries[i].first, key) && (entries[i].first != key || entries[i].second >= data)) {
          target = i;
          present = entries[i].first == key && entries[i].second == data;
          break;
        }
      }
    }
    EXPECT_EQ(result, present ? 1 : 0) << Where();
    m_Cursor = target < entries.size() ? std::optional<Entry>(entries[target]) : std::nullopt;
  }

  // Counts and flags of every kind, against positions computed on the oracle: by entry a position is a rank, by
  // key it is the index of a key and lands on the key's first entry.
  void Move(const std::vector<Entry>& entries) {
    static const std::int32_t counts[] = {1, -1, 0, 2, -2, 3, -3, 5, -5, 17, -17, 64, -64, 150, -150, 100000, -100000};
    std::int32_t count = counts[m_Random() % std::size(counts)];
    if (m_Random() % 8 == 0) count = RANK_READ;
    const std::uint32_t flags = count == RANK_READ ? 0 : static_cast<std::uint32_t>(m_Random() % 8);
    std::int32_t moved = 12345;
    const int result = m_Tree.bMove(count, &moved, flags);
    if (entries.empty()) {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(moved, 0);
      return;
    }
    const std::int64_t n = static_cast<std::int64_t>(entries.size());
    const std::int64_t rank = Rank(entries);
    std::vector<std::int64_t> keyStart;  // rank of each key's first entry
    for (std::int64_t i = 0; i < n; ++i) {
      if (i == 0 || entries[i].first != entries[i - 1].first) keyStart.push_back(i);
    }
    const std::int64_t keys = static_cast<std::int64_t>(keyStart.size());
    const bool byKey = flags & MOVE_BY_KEY;
    // Position in the unit of the move: rank, or key index (the end position is n, or the key count).
    std::int64_t at = rank;
    std::int64_t limit = n;
    if (byKey) {
      at = std::upper_bound(keyStart.begin(), keyStart.end(), rank) - keyStart.begin() - 1;
      if (rank == n) at = keys;
      limit = keys;
    }
    std::int64_t target;
    std::int64_t expectedMoved;
    if (count == 0) {
      expectedMoved = 0;
      target = at;
    } else if (count > 0) {
      target = std::min<std::int64_t>(at + count, limit);
      expectedMoved = target - at;
      if (target == limit && !(flags & MOVE_TO_END) && expectedMoved >= 1) {
        --expectedMoved;
        target = limit - 1;
      }
    } else {
      target = std::max<std::int64_t>(at + count, 0);
      expectedMoved = target - at;
    }
    EXPECT_EQ(moved, expectedMoved) << Where() << " count " << count << " flags " << flags;
    bool expectedResult;
    if (count == 0) {
      expectedResult = rank < n || (flags & MOVE_TO_END);
    } else {
      const std::int64_t wanted = count < 0 ? -static_cast<std::int64_t>(count) : count;
      const std::int64_t got = expectedMoved < 0 ? -expectedMoved : expectedMoved;
      expectedResult = got == wanted || ((flags & MOVE_PARTIAL) && got != 0);
    }
    EXPECT_EQ(result, expectedResult ? 1 : 0) << Where() << " count " << count << " flags " << flags;
    if (expectedResult && count != 0) {
      std::int64_t r = target;
      if (byKey) r = target == keys ? n : keyStart[static_cast<std::size_t>(target)];
      m_Cursor = r < n ? std::optional<Entry>(entries[static_cast<std::size_t>(r)]) : std::nullopt;
    }
  }

  // A present key, a present pair, a present key with another value and an absent key, each looked up without a
  // move: Verify then finds the cursor where the step left it. Drawn from a generator of their own so that the
  // runs' operations stay those they were tuned on.
  void Lookups(const std::vector<Entry>& entries) {
    std::vector<std::pair<std::string, std::string>> probes;
    if (!entries.empty()) {
      const Entry& e = entries[m_LookupRandom() % entries.size()];
      probes.emplace_back(e.first, std::string());
      probes.push_back(e);
      if (!KeysOnly()) probes.emplace_back(e.first, Data(m_LookupRandom));
    }
    probes.emplace_back(Be(static_cast<std::uint32_t>(m_LookupRandom() % m_Config.keySpace) * 7 + 4,
                           m_Config.keyLength),
                        std::string());
    for (const auto& [key, data] : probes) {
      const bool withData = !data.empty();
      const bool present = std::any_of(entries.begin(), entries.end(), [&](const Entry& e) {
        return e.first == key && (!withData || e.second == data);
      });
      EXPECT_EQ(m_Tree.bLookup(key.data(), withData ? data.data() : nullptr), present ? 1 : 0)
          << Where() << (withData ? " pair" : " key");
    }
  }

  bool Below(const std::string& a, const std::string& b) const {
    const int c = std::memcmp(a.data(), b.data(), a.size());
    return m_Config.descending ? c > 0 : c < 0;
  }

  std::int64_t Rank(const std::vector<Entry>& entries) const {
    if (!m_Cursor) return static_cast<std::int64_t>(entries.size());
    return std::find(entries.begin(), entries.end(), *m_Cursor) - entries.begin();
  }

  std::string Where() const { return "step " + std::to_string(m_Step) + " seed " + std::to_string(m_Config.seed); }

  // Every entry one step at a time, first to last and back: steps inside a leaf or a list take a short way there.
  void Walk() {
    const std::vector<Entry> entries = m_Oracle.Entries();
    if (entries.empty()) return;
    auto here = [&] {
      const auto* key = static_cast<const char*>(m_Tree.pGetCurrentKey());
      const auto* data = static_cast<const char*>(m_Tree.pGetCurrentData());
      return Entry(key ? std::string(key, m_Config.keyLength) : "", data ? std::string(data, m_Config.dataLength) : "");
    };
    m_Tree.GoFirst();
    for (std::size_t i = 0; i < entries.size(); ++i) {
      ASSERT_TRUE(i == 0 || m_Tree.bMove(1, nullptr, 0)) << Where() << " forward to " << i;
      ASSERT_EQ(here(), entries[i]) << Where() << " forward at " << i;
    }
    EXPECT_EQ(m_Tree.bMove(1, nullptr, 0), 0) << Where();
    for (std::size_t i = entries.size() - 1; i-- > 0;) {
      ASSERT_EQ(m_Tree.bMove(-1, nullptr, 0), 1) << Where() << " back to " << i;
      ASSERT_EQ(here(), entries[i]) << Where() << " back at " << i;
    }
    EXPECT_EQ(m_Tree.bMove(-1, nullptr, 0), 0) << Where();
    m_Cursor = entries.front();
  }

  void Verify() {
    const std::string problems = CBPlusTreeProbe::Check(m_Tree);
    ASSERT_EQ(problems, "") << Where();
    const std::vector<Entry> expected = m_Oracle.Entries();
    ASSERT_EQ(m_Tree.nGetCount(), expected.size()) << Where();
    ASSERT_EQ(CBPlusTreeProbe::Entries(m_Tree), expected) << Where();
    m_MaxSize = std::max(m_MaxSize, expected.size());
    m_MaxHeight = std::max(m_MaxHeight, CBPlusTreeProbe::Height(m_Tree));
    for (std::size_t i = 0; m_Step % 16 == 0 && i < expected.size(); ++i) {
      if (i + 1 < expected.size() && expected[i + 1].first == expected[i].first) continue;
      m_MaxClass = std::max(m_MaxClass, CBPlusTreeProbe::ListClass(m_Tree, expected[i].first.data()));
    }
    Lookups(expected);
    if (expected.empty()) return;
    // The cursor: its entry, and its rank read by a move back that leaves it in place.
    const void* key = m_Tree.pGetCurrentKey();
    if (!m_Cursor) {
      ASSERT_EQ(key, nullptr) << Where() << ": cursor should be on the end position";
      EXPECT_EQ(m_Tree.pGetCurrentData(), nullptr);
      EXPECT_EQ(m_Tree.nGetDuplicateCount(), 0);
    } else {
      ASSERT_NE(key, nullptr) << Where();
      ASSERT_EQ(std::string(static_cast<const char*>(key), m_Config.keyLength), m_Cursor->first) << Where();
      if (!KeysOnly()) {
        const void* data = m_Tree.pGetCurrentData();
        ASSERT_NE(data, nullptr) << Where();
        ASSERT_EQ(std::string(static_cast<const char*>(data), m_Config.dataLength), m_Cursor->second) << Where();
      }
      const auto values =
          std::count_if(expected.begin(), expected.end(), [&](const Entry& e) { return e.first == m_Cursor->first; });
      EXPECT_EQ(m_Tree.nGetDuplicateCount(), values) << Where();
    }
    std::int32_t moved = 0;
    EXPECT_EQ(m_Tree.bMove(RANK_READ, &moved, 0), 0);
    ASSERT_EQ(-static_cast<std::int64_t>(moved), Rank(expected)) << Where();
    EXPECT_EQ(m_Tree.pGetCurrentKey(), key) << Where() << ": the rank read moved the cursor";
  }

  SConfig m_Config;
  CBPlusTree m_Tree;
  COracle m_Oracle;
  std::mt19937 m_Random;
  std::mt19937 m_LookupRandom{m_Config.seed + 1000};
  std::optional<Entry> m_Cursor;  // none: the end position
  int m_Step = 0;
  int m_MaxClass = -1;
  int m_MaxHeight = 0;
  std::size_t m_MaxSize = 0;
};

// Each run also checks that it reached what it is there for: list classes, nested lists, a deep tree.
void RunAndExpect(const SConfig& config, int minClass, int minHeight) {
  CRandomRun run(config);
  run.Run();
  EXPECT_GE(run.MaxListClass(), minClass);
  EXPECT_GE(run.MaxHeight(), minHeight);
}

TEST(BPlusTreeOracle, SmallOrderManyDuplicates) { RunAndExpect({3, 4, 4, 10, 150, false, 4000, 1}, 6, 2); }

TEST(BPlusTreeOracle, NestedListsUnderFewKeys) { RunAndExpect({4, 4, 4, 3, 300, false, 4000, 2}, 6, 2); }

TEST(BPlusTreeOracle, DefaultOrderWideData) {
  // Data wider than a pointer, so that the data slot is the value's own width.
  RunAndExpect({0, 4, 12, 8, 200, false, 4000, 3}, 6, 2);
}

TEST(BPlusTreeOracle, MixedDuplicationOddOrder) { RunAndExpect({5, 6, 4, 120, 30, false, 4000, 4}, 3, 3); }

TEST(BPlusTreeOracle, KeysOnly) { RunAndExpect({4, 4, 0, 900, 1, false, 4000, 5}, -1, 5); }

TEST(BPlusTreeOracle, CallerKeyOrder) { RunAndExpect({3, 4, 4, 30, 90, true, 4000, 6}, 5, 3); }

TEST(BPlusTreeOracle, ProductionOrderSplitsAndMerges) {
  // Order 32 (order 0), as the key indexes run it: enough keys for inner nodes to split under a new root, then the
  // shrinking phase merges them away again.
  RunAndExpect({0, 4, 4, 2000, 2, false, 4500, 9}, 0, 3);
}

TEST(BPlusTreeOracle, SmallestOrders) {
  RunAndExpect({2, 4, 4, 20, 30, false, 1500, 7}, 3, 4);
  RunAndExpect({1, 4, 4, 20, 30, false, 1000, 8}, 3, 4);  // taken as 2
}

// ---- cases ---------------------------------------------------------------------------------------------------------

std::uint32_t KeyOf(const CBPlusTree& tree) {
  const void* key = tree.pGetCurrentKey();
  if (!key) return 0xFFFFFFFFu;
  const auto* b = static_cast<const unsigned char*>(key);
  return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
}

std::uint32_t DataOf(const CBPlusTree& tree) {
  const void* data = tree.pGetCurrentData();
  if (!data) return 0xFFFFFFFFu;
  const auto* b = static_cast<const unsigned char*>(data);
  return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
}

bool Insert(CBPlusTree& tree, std::uint32_t key, std::uint32_t data) {
  return tree.bInsert(Be(key).data(), Be(data).data()) == 1;
}

std::int32_t RankOf(CBPlusTree& tree) {
  std::int32_t moved = 0;
  tree.bMove(RANK_READ, &moved, 0);
  return -moved;
}

TEST(BPlusTree, EmptyTreeAnswersNothing) {
  CBPlusTree tree;
  ASSERT_EQ(tree.bCreate(4, 4, nCompareBytes, 0), 1);
  EXPECT_EQ(tree.nGetCount(), 0u);
  EXPECT_EQ(tree.bSeek(Be(1).data(), 0), nullptr);
  std::int32_t moved = 7;
  EXPECT_EQ(tree.bMove(1, &moved, MOVE_TO_END | MOVE_PARTIAL), 0);
  EXPECT_EQ(moved, 0);
  tree.GoFirst();
  tree.GoToRank(3);
  EXPECT_EQ(tree.pGetCurrentData(), nullptr);
  EXPECT_EQ(tree.nGetDuplicateCount(), 0);
  EXPECT_EQ(tree.bDelete(Be(1).data(), nullptr), 0);
  EXPECT_EQ(tree.bFind(Be(1).data(), Be(1).data()), 0);
  CBPlusTree uncreated;
  EXPECT_EQ(uncreated.bInsert(Be(1).data(), Be(1).data()), 0);
}

TEST(BPlusTree, FirstInsertLeavesTheCursorOnTheEndUnderAKeylessRoot) {
  CBPlusTree tree;
  ASSERT_EQ(tree.bCreate(4, 4, nCompareBytes, 0), 1);
  ASSERT_TRUE(Insert(tree, 10, 1));
  EXPECT_EQ(tree.pGetCurrentKey(), nullptr);
  EXPECT_EQ(RankOf(tree), 1);
  EXPECT_EQ(CBPlusTreeProbe::Height(tree), 2);
  EXPECT_EQ(CBPlusTreeProbe::Check(tree), "");
  EXPECT_FALSE(Insert(tree, 10, 1)) << "the same pair twice";
  EXPECT_TRUE(Insert(tree, 10, 2));
  EXPECT_EQ(tree.nGetCount(), 2u);

  CBPlusTree keys;
  ASSERT_EQ(keys.bCreate(4, 0, nCompareBytes, 0), 1);
  EXPECT_EQ(keys.bInsert(Be(5).data(), nullptr), 1);
  EXPECT_EQ(keys.bInsert(Be(5).data(), nullptr), 0) << "a keys-only tree takes a key once";
  EXPECT_EQ(keys.nGetCount(), 1u);
}

TEST(BPlusTree, AFullLeafShiftsIntoItsSiblingRatherThanSplit) {
  CBPlusTree tree;
  ASSERT_EQ(tree.bCreate(4, 4, nCompareBytes, 32), 1);
  for (std::uint32_t k = 0; k <= 32; ++k) ASSERT_TRUE(Insert(tree, k * 4, 0));     // leaves of 16 and 17
  for (std::uint32_t k = 0; k < 16; ++k) ASSERT_TRUE(Insert(tree, k * 4 + 2, 0));  // the left one full
  ASSERT_EQ(CBPlusTreeProbe::LeafCount(tree), 2u);
  ASSERT_TRUE(Insert(tree, 1, 0));
  EXPECT_EQ(CBPlusTreeProbe::LeafCount(tree), 2u);
  ASSERT_TRUE(Insert(tree, 63, 0));  // above every key of the full left leaf: straight into the right one
  EXPECT_EQ(CBPlusTreeProbe::LeafCount(tree), 2u);
  EXPECT_EQ(CBPlusTreeProbe::Check(tree), "");
  EXPECT_NE(tree.bSeek(Be(63).data(), SEEK_EXACT), nullptr);
  EXPECT_EQ(RankOf(tree), 33);
}

TEST(BPlusTree, EmptiesAndGrowsAgain) {
  CBPlusTree tree;
  ASSERT_EQ(tree.bCreate(4, 4, nCompareBytes, 3), 1);
  for (std::uint32_t k = 0; k < 200; ++k) ASSERT_TRUE(Insert(tree, k % 50, k));
  for (std::uint32_t k = 0; k < 50; ++k) ASSERT_EQ(tree.bDelete(Be(k).data(), nullptr), 1);
  EXPECT_EQ(tree.nGetCount(), 0u);
  EXPECT_EQ(CBPlusTreeProbe::Check(tree), "");
  EXPECT_EQ(CBPlusTreeProbe::LeafCount(tree), 0u);
  ASSERT_TRUE(Insert(tree, 7, 7));
  EXPECT_EQ(tree.nGetCount(), 1u);
  EXPECT_EQ(CBPlusTreeProbe::Check(tree), "");
  tree.GoFirst();
  EXPECT_EQ(KeyOf(tree), 7u);
}

TEST(BPlusTree, SeekModesAtTheEdges) {
  CBPlusTree tree;
  ASSERT_EQ(tree.bCreate(4, 4, nCompareBytes, 4), 1);
  for (std::uint32_t k = 10; k <= 100; k += 10) {
    ASSERT_TRUE(Insert(tree, k, 1));
    ASSERT_TRUE(Insert(tree, k, 2));
  }
  tree.GoToRank(5);
  EXPECT_EQ(tree.bSeek(Be(5).data(), SEEK_LAST), nullptr) << "nothing below the smallest key";
  EXPECT_EQ(RankOf(tree), 5);
  EXPECT_EQ(tree.bSeek(Be(500).data(), 0), nullptr) << "nothing above the greatest key";
  EXPECT_EQ(RankOf(tree), 5);
  EXPECT_EQ(tree.bSeek(Be(55).data(), SEEK_EXACT), nullptr);
  EXPECT_EQ(RankOf(tree), 5);
  ASSERT_NE(tree.bSeek(Be(55).data(), 0), nullptr);
  EXPECT_EQ(KeyOf(tree), 60u);
  EXPECT_EQ(DataOf(tree), 1u);
  ASSERT_NE(tree.bSeek(Be(55).data(), SEEK_LAST), nullptr);
  EXPECT_EQ(KeyOf(tree), 50u);
  EXPECT_EQ(DataOf(tree), 2u);
  ASSERT_NE(tree.bSeek(Be(30).data(), SEEK_EXACT | SEEK_LAST), nullptr);
  EXPECT_EQ(RankOf(tree), 5);
}

TEST(BPlusTree, StepsOffTheLastEntryOnlyOntoTheEndWhenAllowed) {
  CBPlusTree tree;
  ASSERT_EQ(tree.bCreate(4, 4, nCompareBytes, 0), 1);
  for (std::uint32_t v = 0; v < 3; ++v) ASSERT_TRUE(Insert(tree, 1, v));
  tree.GoToRank(2);
  std::int32_t moved = 9;
  EXPECT_EQ(tree.bMove(1, &moved, 0), 0);
  EXPECT_EQ(moved, 0);
  EXPECT_EQ(DataOf(tree), 2u);
  EXPECT_EQ(tree.bMove(1, &moved, MOVE_TO_END), 1);
  EXPECT_EQ(tree.pGetCurrentKey(), nullptr);
  EXPECT_EQ(tree.bMove(0, &moved, 0), 0) << "the end position is no entry";
  EXPECT_EQ(tree.bMove(0, &moved, MOVE_TO_END), 1);
  EXPECT_EQ(tree.bMove(-1, &moved, MOVE_BY_KEY), 1);
  EXPECT_EQ(DataOf(tree), 0u) << "a move by key lands on the key's first value";
  EXPECT_EQ(tree.bMove(-1, &moved, 0), 0) << "nothing before the first entry";
}

TEST(BPlusTree, BulkLoadBuildsWhatInsertsWould) {
  std::vector<unsigned char> records;
  std::vector<Entry> expected;
  for (std::uint32_t k = 0; k < 500; ++k) {
    const std::uint32_t values = k % 7 == 0 ? 70 : (k % 3 == 0 ? 5 : 1);
    for (std::uint32_t v = 0; v < values; ++v) {
      const std::string key = Be(k * 3);
      const std::string data = Be(v * 11);
      records.insert(records.end(), key.begin(), key.end());
      records.insert(records.end(), data.begin(), data.end());
      expected.emplace_back(key, data);
    }
  }
  const auto count = static_cast<std::int32_t>(expected.size());
  for (const std::int32_t order : {2, 5}) {
    SCOPED_TRACE(order);
    CBPlusTree tree;
    ASSERT_EQ(tree.bCreate(4, 4, nCompareBytes, order), 1);
    EXPECT_EQ(tree.bLoadSorted(records.data(), 0), 1);
    EXPECT_EQ(tree.nGetCount(), 0u);
    ASSERT_EQ(tree.bLoadSorted(records.data(), count), 1);
    EXPECT_EQ(CBPlusTreeProbe::Check(tree), "");
    EXPECT_EQ(CBPlusTreeProbe::Entries(tree), expected);
    EXPECT_EQ(tree.pGetCurrentKey(), nullptr) << "the cursor ends on the end position";
    EXPECT_EQ(CBPlusTreeProbe::ListClass(tree, Be(0).data()), 6);
    EXPECT_EQ(tree.bLoadSorted(records.data(), count), 0) << "only into an empty tree";
    // The loaded tree takes changes like any other.
    for (std::uint32_t k = 0; k < 1500; k += 2) {
      ASSERT_EQ(tree.bDelete(Be(k).data(), nullptr), k % 3 == 0 ? 1 : 0);
    }
    EXPECT_EQ(CBPlusTreeProbe::Check(tree), "");
  }
}

TEST(BPlusTree, BulkLoadRefusesBadInputAndKeepsNothing) {
  CBPlusTree keys;
  ASSERT_EQ(keys.bCreate(4, 0, nCompareBytes, 3), 1);
  std::string repeated = Be(1) + Be(2) + Be(2) + Be(3);
  EXPECT_EQ(keys.bLoadSorted(repeated.data(), 4), 0) << "a keys-only tree takes each key once";
  std::string unordered = Be(1) + Be(3) + Be(2);
  EXPECT_EQ(keys.bLoadSorted(unordered.data(), 3), 0);
  EXPECT_EQ(keys.nGetCount(), 0u);
  EXPECT_EQ(CBPlusTreeProbe::Check(keys), "");

  CBPlusTree tree;
  ASSERT_EQ(tree.bCreate(4, 4, nCompareBytes, 3), 1);
  std::string pairs;
  for (std::uint32_t k = 0; k < 40; ++k) pairs += Be(k) + Be(1);
  pairs += Be(39) + Be(1);  // the same pair again, at the end: after every leaf and list was built
  EXPECT_EQ(tree.bLoadSorted(pairs.data(), 41), 0);
  EXPECT_EQ(tree.nGetCount(), 0u);
  EXPECT_EQ(CBPlusTreeProbe::Check(tree), "") << "the built leaves were freed";
}

// Pool blocks fail once the budget is spent; a negative budget never runs out.
int gnBlockBudget = -1;
void* BudgetedAllocate(std::size_t bytes) {
  if (gnBlockBudget == 0) return nullptr;
  if (gnBlockBudget > 0) --gnBlockBudget;
  return std::malloc(bytes);
}

struct CBudgetScope {
  CBudgetScope() : saved(gpfnBlockPoolAllocate) { gpfnBlockPoolAllocate = BudgetedAllocate; }
  ~CBudgetScope() {
    gnBlockBudget = -1;
    gpfnBlockPoolAllocate = saved;
  }
  PFN_BLOCK_ALLOCATE saved;
};

TEST(BPlusTree, RunningOutOfMemoryLeavesTheTreeAsItWas) {
  CBudgetScope scope;
  CBPlusTree tree;
  ASSERT_EQ(tree.bCreate(4, 4, nCompareBytes, 3), 1);
  COracle oracle(false);
  std::mt19937 random(11);
  int refused = 0;
  for (int step = 0; step < 1500 && !HasFailure(); ++step) {
    gnBlockBudget = random() % 2 ? 0 : static_cast<int>(random() % 3);
    const std::string key = Be(random() % 24);
    const std::string data = Be(random() % 150);
    const std::vector<Entry> before = oracle.Entries();
    const std::int32_t rank = RankOf(tree);
    if (random() % 3 != 0 || before.empty()) {
      const int result = tree.bInsert(key.data(), data.data());
      if (result == 1) {
        ASSERT_TRUE(oracle.Insert(key, data, false)) << step;
      } else if (oracle.Insert(key, data, false)) {
        oracle.Erase(key, &data);
        ++refused;
        ASSERT_EQ(CBPlusTreeProbe::Entries(tree), before) << step;
        ASSERT_EQ(RankOf(tree), rank) << step;
      }
    } else {
      // Removals need no memory: a list that cannot move to a smaller class stays where it is.
      const Entry& e = before[random() % before.size()];
      ASSERT_EQ(tree.bDelete(e.first.data(), e.second.data()), 1) << step;
      oracle.Erase(e.first, &e.second);
    }
    ASSERT_EQ(CBPlusTreeProbe::Check(tree), "") << step;
    ASSERT_EQ(CBPlusTreeProbe::Entries(tree), oracle.Entries()) << step;
  }
  EXPECT_GT(refused, 10);
}

TEST(BPlusTree, AnInsertThatNeedsANewBlockAtTheProductionOrderIsRefusedWhole) {
  // Every insert is tried with no block to be had first. Splits of leaves and inner nodes at order 32 come to need
  // a new block of their pool again and again; such an insert must be refused before it changes anything, and then
  // goes through once blocks can be had.
  CBudgetScope scope;
  CBPlusTree tree;
  ASSERT_EQ(tree.bCreate(4, 4, nCompareBytes, 0), 1);
  std::mt19937 random(17);
  std::vector<Entry> inserted;
  int refused = 0;
  for (std::uint32_t step = 0; step < 6000 && !HasFailure(); ++step) {
    const std::string key = Be(static_cast<std::uint32_t>(random()));
    const std::string data = Be(step);
    const std::uint64_t bytes = tree.nGetBlockBytes();
    gnBlockBudget = 0;
    if (tree.bInsert(key.data(), data.data()) != 1) {
      ++refused;
      ASSERT_EQ(tree.nGetBlockBytes(), bytes) << step;
      ASSERT_EQ(CBPlusTreeProbe::Check(tree), "") << step;
      std::sort(inserted.begin(), inserted.end());
      ASSERT_EQ(CBPlusTreeProbe::Entries(tree), inserted) << step;
      gnBlockBudget = -1;
      ASSERT_EQ(tree.bInsert(key.data(), data.data()), 1) << step;
    }
    inserted.emplace_back(key, data);
  }
  EXPECT_EQ(tree.nGetCount(), inserted.size());
  EXPECT_GT(refused, 20);
  EXPECT_GE(CBPlusTreeProbe::Height(tree), 3) << "inner nodes split too";
}

TEST(BPlusTree, FindsAndSeeksAtEveryKeyWidth) {
  // Bytewise keys of 4 and 8 bytes are searched as numbers, longer ones by their first 8 bytes and then the rest,
  // other widths through the comparison; nodes hold fewer and more keys than the search counts one by one. Even
  // values only are inserted, so that every other probe is absent.
  for (const std::size_t width : {3u, 4u, 8u, 12u, 16u}) {
    for (const std::int32_t order : {0, 5}) {
      SCOPED_TRACE(testing::Message() << "width " << width << ", order " << order);
      auto make = [width](std::uint32_t v) {
        std::string key(width, '\0');
        for (std::size_t i = 0; i < 3; ++i) key[width - 1 - i] = static_cast<char>(v >> (8 * i));
        if (width > 8) key[0] = static_cast<char>(v % 3);  // the first 8 bytes often tie: the rest decides
        return key;
      };
      CBPlusTree tree;
      ASSERT_EQ(tree.bCreate(width, 4, nCompareBytes, order), 1);
      std::mt19937 random(static_cast<unsigned>(width * 7 + static_cast<std::size_t>(order)));
      std::set<std::string> keys;
      while (keys.size() < 1500) {
        const std::uint32_t v = static_cast<std::uint32_t>(random() % 8000) * 2;
        if (keys.insert(make(v)).second) {
          ASSERT_EQ(tree.bInsert(make(v).data(), Be(v).data()), 1);
        }
      }
      auto currentKey = [&]() {
        const void* key = tree.pGetCurrentKey();
        return key ? std::string(static_cast<const char*>(key), width) : std::string("(none)");
      };
      for (int probe = 0; probe < 2000 && !HasFailure(); ++probe) {
        const std::string key = make(static_cast<std::uint32_t>(random() % 16002));
        const bool present = keys.count(key) != 0;
        EXPECT_EQ(tree.bFind(key.data(), nullptr), present ? 1 : 0);
        EXPECT_EQ(tree.bSeek(key.data(), SEEK_EXACT) != nullptr, present);
        const auto above = keys.lower_bound(key);
        if (tree.bSeek(key.data(), 0)) {
          ASSERT_NE(above, keys.end());
          EXPECT_EQ(currentKey(), *above) << "the nearest key at or above";
        } else {
          EXPECT_EQ(above, keys.end());
        }
        const auto upTo = keys.upper_bound(key);
        if (tree.bSeek(key.data(), SEEK_LAST)) {
          ASSERT_NE(upTo, keys.begin());
          EXPECT_EQ(currentKey(), *std::prev(upTo)) << "the nearest key at or below";
        } else {
          EXPECT_EQ(upTo, keys.begin());
        }
      }
    }
  }
}

TEST(BPlusTree, DestroyThenCreateAgain) {
  CBPlusTree tree;
  ASSERT_EQ(tree.bCreate(4, 4, nCompareBytes, 0), 1);
  for (std::uint32_t v = 0; v < 300; ++v) ASSERT_TRUE(Insert(tree, v % 3, v));
  const std::uint64_t bytes = tree.nGetBlockBytes();
  EXPECT_GT(bytes, 0u);
  tree.Destroy();
  EXPECT_EQ(tree.nGetCount(), 0u);
  EXPECT_EQ(tree.nGetBlockBytes(), 0u);
  EXPECT_EQ(tree.bInsert(Be(1).data(), Be(1).data()), 0) << "not created";
  ASSERT_EQ(tree.bCreate(8, 0, nCompareBytes, 0), 1);
  EXPECT_EQ(tree.bInsert("abcdefgh", nullptr), 1);
  EXPECT_EQ(CBPlusTreeProbe::Check(tree), "");
}

}  // namespace
