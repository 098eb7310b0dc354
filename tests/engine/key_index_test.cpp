// Key indexes over a row cache of a generic table T (ID, NAME text, NOTES memo): the tree index on NAME and the
// sorted index on NOTES, each driven by random adds, removes, updates, moves and seeks against std::multimap, and
// the cases the random runs reach only by chance: identical rows, places kept as rows come and go, a search value
// bounding first and last, rows that cannot be read.
#include "engine/cache/key_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/cache/btree_key_index.h"
#include "engine/cache/row_cache.h"
#include "engine/cache/sorted_key_index.h"
#include "engine/record/column.h"
#include "engine/record/column_types.h"
#include "engine/record/record.h"
#include "engine/record/record_description.h"
#include "engine/record/table_description.h"
#include "tests/doubles/table_doubles.h"
#include "tests/engine/field_value_fixture.h"

namespace {

constexpr std::uint32_t NONE = ROW_NONE;

// The statement side of an index: records made for the table's rows, or none once told to fail.
class TestOwner : public IKeyIndexOwner {
 public:
  CRecord* pNewRowRecord() override {
    if (failRecords) return nullptr;
    auto* record = new CRecord(holder);
    record->AddRef();
    return record;
  }
  CErrorHolder* pGetErrorHolder() override { return holder; }
  CErrorHolder* holder = nullptr;
  bool failRecords = false;
};

enum class Kind { Tree, Sorted };

// A row's key as the test sees it: none is NULL, which both indexes order as the empty key.
using Key = std::optional<std::string>;

class KeyIndexTest : public CFieldValueFixture {
 protected:
  void SetUp() override {
    CFieldValueFixture::SetUp();
    gpDriver = &columnDriver;
    description = columnDriver.CDriver::pCreateDescription(connection, holder);
    description->AddRef();
    description->SetName(u"T");
    for (auto [name, type, size] : {std::tuple{u"ID", COLUMN_TYPE_INT32, 4u}, {u"NAME", COLUMN_TYPE_TEXT, 11u},
                                    {u"NOTES", COLUMN_TYPE_WTEXT_MEMO, 8u}}) {
      CColumnDescriptor* item = pCreateColumnDescriptorThroughDriver(nullptr, 0);
      item->bSetAll(name, u"T", u"", 1, size, type, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0);
      ASSERT_TRUE(description->AddItem(item));
    }
    CColumnDescriptor* amount = pCreateColumnDescriptorThroughDriver(nullptr, 0);  // NUMBER(20,2): 18 whole digits
    amount->bSetAll(u"AMOUNT", u"T", u"", 1, 9, COLUMN_TYPE_DECIMAL, 0xFFFFFFFF, 0xFFFFFFFF, 0, 18, 2);
    ASSERT_TRUE(description->AddItem(amount));
    description->LayoutItems();
    table = new doubles::ValueKeyedTable(connection, holder);
    table->AddRef();
    tableDescription = new CTableDescription(holder, table);
    tableDescription->AddRef();
    ASSERT_TRUE(tableDescription->bBuild(description, nullptr, connection));
    cache = new CRowCache(ROW_CACHE_ACTIVE);
    cache->AddRef();
    owner.holder = holder;
  }
  void TearDown() override {
    index.reset();
    cache->nRelease();
    tableDescription->nRelease();
    description->nRelease();
    table->nRelease();
    CFieldValueFixture::TearDown();
  }

  CColumn* Column(const char16_t* name) { return tableDescription->pFindColumnByName(name); }
  CColumn* KeyColumn(Kind kind) { return Column(kind == Kind::Tree ? u"NAME" : u"NOTES"); }

  static void SetText(CHostValue& value, const Key& key, bool memo = false) {
    if (!key) {
      value.SetType(HOST_TYPE_TEXT);
      value.SetNull(true);
      return;
    }
    // In a memo, '~' stands for U+0101, which sorts after every letter as '~' does, where a comparison of the UTF-16
    // bytes would put it first (NAME, narrow, has no such letter).
    std::u16string wide(key->begin(), key->end());
    if (memo) std::replace(wide.begin(), wide.end(), u'~', u'\u0101');
    MakeWide(value, wide.c_str());
  }
  // The current record holds the row's values.
  void Fill(std::int32_t id, const Key& name, const Key& notes) {
    CHostValue value;
    Make(value, HOST_TYPE_INT32, id);
    ASSERT_TRUE(Column(u"ID")->bSetValue(value, 0));
    SetText(value, name);
    ASSERT_TRUE(Column(u"NAME")->bSetValue(value, 0));
    SetText(value, notes, true);
    ASSERT_TRUE(Column(u"NOTES")->bSetValue(value, 0));
  }
  // A new cached row whose key column of the kind holds the key (the other one a text of its own).
  std::uint32_t Store(Kind kind, const Key& key, std::int32_t id) {
    const Key other = "o" + std::to_string(id % 7);
    Fill(id, kind == Kind::Tree ? key : other, kind == Kind::Tree ? other : key);
    return cache->bStoreRecord(tableDescription->pGetCurrentRecord());
  }
  void Replace(Kind kind, std::uint32_t row, const Key& key, std::int32_t id) {
    const Key other = "o" + std::to_string(id % 7);
    Fill(id, kind == Kind::Tree ? key : other, kind == Kind::Tree ? other : key);
    ASSERT_TRUE(cache->ReplaceRow(row, tableDescription->pGetCurrentRecord()));
  }
  // The table's last-read image (and current record) become the row's values.
  void StandOn(Kind kind, const Key& key, std::int32_t id) {
    const Key other = "o" + std::to_string(id % 7);
    Fill(id, kind == Kind::Tree ? key : other, kind == Kind::Tree ? other : key);
    ASSERT_TRUE(tableDescription->bAcceptCurrent());
  }
  void MakeIndex(Kind kind) {
    if (kind == Kind::Tree) {
      index = std::make_unique<CBTreeKeyIndex>(&owner, cache, KeyColumn(kind), &search);
    } else {
      index = std::make_unique<CSortedKeyIndex>(&owner, cache, KeyColumn(kind), &search);
    }
  }
  std::uint32_t Move(std::uint32_t direction, std::uint32_t count, std::uint32_t* duplicate = nullptr) {
    std::uint32_t row = 12345;
    EXPECT_TRUE(index->bMove(direction, count, &row, duplicate));
    return row;
  }
  // The rows in index order, read first to last.
  std::vector<std::uint32_t> Walk() {
    std::vector<std::uint32_t> rows;
    for (std::uint32_t row = Move(ROW_MOVE_FIRST, 1); row != NONE; row = Move(ROW_MOVE_NEXT, 1)) rows.push_back(row);
    return rows;
  }

  doubles::ColumnMakingDriver columnDriver;
  CRecordDescription* description = nullptr;
  doubles::ValueKeyedTable* table = nullptr;
  CTableDescription* tableDescription = nullptr;
  CRowCache* cache = nullptr;
  TestOwner owner;
  CHostValue search;  // the statement's search value: type 0 while none is set
  std::unique_ptr<CKeyIndex> index;
};

// ---- random runs against std::multimap ---------------------------------------------------------------------------

// The index's order: the keys as a multimap orders them (NULL and "" alike, first or last); rows of an equal key by row
// number in the tree, in the order they were added in the sorted index, as a multimap places an equal key last.
class COracle {
 public:
  explicit COracle(Kind kind) : m_Kind(kind) {}

  std::size_t Add(const std::string& key, std::uint32_t row) {
    auto at = m_Map.upper_bound(key);
    if (m_Kind == Kind::Tree) {
      at = m_Map.lower_bound(key);
      while (at != m_Map.end() && at->first == key && at->second < row) ++at;
    }
    at = m_Map.emplace_hint(at, key, row);
    const auto i = static_cast<std::size_t>(std::distance(m_Map.begin(), at));
    if (m_Kind == Kind::Sorted ? m_nPos >= 0 && static_cast<std::int64_t>(i) <= m_nPos
                               : static_cast<std::int64_t>(i) <= m_nPos) {
      ++m_nPos;
    }
    return i;
  }
  void Remove(std::uint32_t row) {
    auto at = m_Map.begin();
    while (at != m_Map.end() && at->second != row) ++at;
    if (at == m_Map.end()) return;
    const auto i = static_cast<std::int64_t>(std::distance(m_Map.begin(), at));
    m_Map.erase(at);
    if (i < m_nPos) {
      --m_nPos;
    } else if (i == m_nPos) {
      m_bRemoved = true;  // the place now holds the row that followed: next reaches it with one step less
    }
  }
  std::size_t Size() const { return m_Map.size(); }
  std::uint32_t RowAt(std::int64_t i) const { return std::next(m_Map.begin(), i)->second; }
  std::int64_t Lower(const std::string& key) const { return std::distance(m_Map.begin(), m_Map.lower_bound(key)); }
  std::int64_t Upper(const std::string& key) const { return std::distance(m_Map.begin(), m_Map.upper_bound(key)); }
  bool Holds(const std::string& key) const { return m_Map.count(key) != 0; }

  // The row a move reaches, the oracle's place following it. A tree move that fails leaves the cursor where the
  // jump to the first or last entry (or the seek) put it; the sorted index keeps its place.
  std::uint32_t Move(std::uint32_t direction, std::uint32_t count, const std::optional<std::string>& search) {
    const auto n = static_cast<std::int64_t>(Size());
    if (n == 0) return NONE;
    const std::int64_t c = count;
    std::int64_t target = -1;
    if (m_Kind == Kind::Tree) {
      std::int64_t from = m_nPos;
      const bool removed = m_bRemoved;
      m_bRemoved = false;
      switch (direction) {
        case ROW_MOVE_FIRST:
        case ROW_MOVE_LAST: {
          const bool first = direction == ROW_MOVE_FIRST;
          std::int64_t start = first ? 0 : n - 1;
          if (search) start = first ? Lower(*search) : Upper(*search) - 1;
          if (start < 0 || start >= n) return NONE;
          m_nPos = from = start;
          target = first ? start + c - 1 : start - (c - 1);
          break;
        }
        case ROW_MOVE_NEXT: target = from + c - (removed && c > 0 ? 1 : 0); break;
        case ROW_MOVE_PREVIOUS: target = from - c; break;
        default:
          if (removed) {
            m_bRemoved = true;
            return NONE;
          }
          target = from;
          break;
      }
      if (target < 0 || target >= n || (target == from && from >= n)) {
        if (direction == ROW_MOVE_NEXT || direction == ROW_MOVE_PREVIOUS) m_bRemoved = removed;
        return NONE;
      }
      m_nPos = target;
      return RowAt(target);
    }
    switch (direction) {
      case ROW_MOVE_FIRST:
        if (search) {
          const std::int64_t lower = Lower(*search);
          target = lower < n ? lower + c - 1 : -1;
        } else {
          target = c - 1;
        }
        break;
      case ROW_MOVE_LAST:
        if (search) {
          const std::int64_t upper = Upper(*search);
          target = upper > 0 ? upper - c : -1;
        } else {
          target = n - c;
        }
        break;
      case ROW_MOVE_NEXT: target = m_nPos + c - (m_bRemoved && c > 0 ? 1 : 0); break;
      case ROW_MOVE_PREVIOUS: target = m_nPos < 0 ? -1 : m_nPos - c; break;
      default: target = m_bRemoved ? -1 : m_nPos; break;
    }
    if (target < 0 || target >= n) return NONE;
    m_nPos = target;
    m_bRemoved = false;
    return RowAt(target);
  }
  std::uint32_t Current() const {
    if (m_bRemoved || m_nPos < 0 || m_nPos >= static_cast<std::int64_t>(Size())) return NONE;
    return RowAt(m_nPos);
  }
  std::uint32_t Rank() const { return m_nPos < 0 ? NONE : static_cast<std::uint32_t>(m_nPos); }
  void Place(std::int64_t pos) {
    m_nPos = pos;
    m_bRemoved = false;
  }

 private:
  Kind m_Kind;
  std::multimap<std::string, std::uint32_t> m_Map;
  // The current place: -1 none; the tree's cursor starts on its end position (the entry count).
  std::int64_t m_nPos = m_Kind == Kind::Tree ? 0 : -1;
  bool m_bRemoved = false;
};

struct SRun {
  Kind kind;
  unsigned seed;
  int steps;
  bool emptyLast = false;  // the connection sorts NULL after every value
};

class KeyIndexRandomTest : public KeyIndexTest, public ::testing::WithParamInterface<SRun> {};

TEST_P(KeyIndexRandomTest, FollowsAMultimapThroughAddsRemovesMovesAndSeeks) {
  const SRun run = GetParam();
  const Kind kind = run.kind;
  connection->nullsFirst = run.emptyLast ? 0 : 1;
  // NULL and "" are the empty key, first or past every key drawn.
  auto order = [&](const Key& key) { return key && !key->empty() ? *key : run.emptyLast ? "\xff" : ""; };
  std::mt19937 random(run.seed);
  // Few keys, so that most rows share theirs with others; NULL and "" are the empty key.
  const std::vector<Key> keys = {std::nullopt, "", "a", "ab", "abc", "b", "ba", "m", "zz", "zzzzzzzzzz", "~", "a~"};
  auto draw = [&]() { return keys[random() % keys.size()]; };
  std::vector<Key> rowKeys;  // the key each cached row holds now
  std::vector<bool> indexed;
  COracle oracle(kind);
  // A few rows before the build; one of them marked, which the build leaves out.
  for (int i = 0; i < 6; ++i) {
    rowKeys.push_back(draw());
    ASSERT_EQ(Store(kind, rowKeys.back(), i), static_cast<std::uint32_t>(i));
    indexed.push_back(i != 3);
  }
  cache->SetMark(3, 4);
  MakeIndex(kind);
  ASSERT_TRUE(index->bBuild());
  for (std::uint32_t row = 0; row < rowKeys.size(); ++row) {
    if (indexed[row]) oracle.Add(order(rowKeys[row]), row);
  }
  if (kind == Kind::Tree) oracle.Place(static_cast<std::int64_t>(oracle.Size()));
  auto liveRow = [&]() -> std::optional<std::uint32_t> {
    std::vector<std::uint32_t> live;
    for (std::uint32_t row = 0; row < indexed.size(); ++row) {
      if (indexed[row]) live.push_back(row);
    }
    if (live.empty()) return std::nullopt;
    return live[random() % live.size()];
  };
  CHostValue value;
  for (int step = 0; step < run.steps && !HasFailure(); ++step) {
    SCOPED_TRACE(testing::Message() << "step " << step << " seed " << run.seed);
    const int choice = static_cast<int>(random() % 100);
    if (choice < 25) {  // a new row, its key given or read from the row
      const Key key = draw();
      const auto row = Store(kind, key, static_cast<std::int32_t>(rowKeys.size()));
      ASSERT_NE(row, NONE);
      rowKeys.push_back(key);
      indexed.push_back(true);
      SetText(value, key, kind == Kind::Sorted);
      ASSERT_TRUE(index->bAddRecord(row, random() % 2 ? &value : nullptr));
      oracle.Add(order(key), row);
    } else if (choice < 35) {  // a removed row
      const auto row = liveRow();
      if (!row) continue;
      SetText(value, rowKeys[*row], kind == Kind::Sorted);
      ASSERT_TRUE(index->bRemoveRecord(*row, &value));
      indexed[*row] = false;
      oracle.Remove(*row);
    } else if (choice < 45) {  // an update that changes the key: out with the old, in with the new
      const auto row = liveRow();
      if (!row) continue;
      const Key key = draw();
      SetText(value, rowKeys[*row], kind == Kind::Sorted);
      ASSERT_TRUE(index->bRemoveRecord(*row, &value));
      oracle.Remove(*row);
      Replace(kind, *row, key, static_cast<std::int32_t>(*row));
      rowKeys[*row] = key;
      ASSERT_TRUE(index->bAddRecord(*row, nullptr));
      oracle.Add(order(key), *row);
    } else if (choice < 85) {  // a move, first and last sometimes bounded by the search value
      static const std::uint32_t counts[] = {0, 1, 1, 1, 2, 3, 7, 40};
      const auto direction = static_cast<std::uint32_t>(random() % 5);
      const std::uint32_t count = counts[random() % std::size(counts)];
      std::optional<std::string> bound;
      search.SetType(0);
      if (random() % 3 == 0) {
        const Key key = draw();
        SetText(search, key, kind == Kind::Sorted);
        bound = order(key);
      }
      std::uint32_t duplicate = 99;
      const std::uint32_t row = Move(direction, count, &duplicate);
      EXPECT_EQ(row, oracle.Move(direction, count, bound)) << "direction " << direction << " count " << count;
      EXPECT_EQ(duplicate, 0u) << "no two rows are identical";
      search.SetType(0);
    } else {  // a seek of a cached row (one left out of the index too), or a look-up by rank
      const auto row = static_cast<std::uint32_t>(random() % rowKeys.size());
      StandOn(kind, rowKeys[row], static_cast<std::int32_t>(row));
      const std::string key = order(rowKeys[row]);
      const auto n = static_cast<std::int64_t>(oracle.Size());
      int found = -1;
      if (random() % 4 == 0) {
        const auto rank = static_cast<std::uint32_t>(random() % (oracle.Size() + 2));
        const int result = index->bSeek(rank, 0, &found);
        if (kind == Kind::Tree) {
          EXPECT_TRUE(result);
          EXPECT_EQ(found, oracle.Holds(key) ? 1 : 0) << "a look-up by rank finds the key";
        } else {
          EXPECT_EQ(result, rank < oracle.Size() ? 1 : 0);
          if (rank < oracle.Size()) oracle.Place(rank);
        }
      } else {
        ASSERT_TRUE(index->bSeek(NONE, 0, &found));
        const std::int64_t lower = oracle.Lower(key);
        const std::int64_t upper = oracle.Upper(key);
        if (kind == Kind::Sorted) {
          EXPECT_EQ(found, upper > lower ? 1 : 0);
          oracle.Place(upper > lower ? upper - 1 : upper);
        } else if (upper == lower) {
          EXPECT_EQ(found, 0);
          if (lower < n) oracle.Place(lower);
        } else {
          // One row of the key is the row; several: the one that equals the table's record, else the first.
          std::int64_t at = lower;
          bool match = upper - lower == 1;
          for (std::int64_t i = lower; !match && i < upper; ++i) {
            if (oracle.RowAt(i) == row) {
              at = i;
              match = true;
            }
          }
          EXPECT_EQ(found, match ? 1 : 0);
          oracle.Place(at);
        }
      }
    }
    ASSERT_EQ(index->nGetCount(), oracle.Size());
    ASSERT_EQ(index->nGetCurrentRecord(), oracle.Current());
    ASSERT_EQ(index->nGetCurrentRank(), oracle.Rank());
  }
  // Both ends and every row between, the oracle's way.
  std::vector<std::uint32_t> expected;
  for (std::size_t i = 0; i < oracle.Size(); ++i) expected.push_back(oracle.RowAt(static_cast<std::int64_t>(i)));
  EXPECT_EQ(Walk(), expected);
  if (!expected.empty()) {
    EXPECT_EQ(Move(ROW_MOVE_LAST, 1), expected.back());
    EXPECT_EQ(Move(ROW_MOVE_NEXT, 1), NONE);
  }
}

INSTANTIATE_TEST_SUITE_P(Runs, KeyIndexRandomTest,
                         ::testing::Values(SRun{Kind::Tree, 1, 700}, SRun{Kind::Tree, 2, 700},
                                           SRun{Kind::Sorted, 3, 700}, SRun{Kind::Sorted, 4, 700},
                                           SRun{Kind::Tree, 5, 700, true}, SRun{Kind::Sorted, 6, 700, true}),
                         [](const auto& info) {
                           return std::string(info.param.kind == Kind::Tree ? "Tree" : "Sorted") +
                                  std::to_string(info.param.seed) + (info.param.emptyLast ? "EmptyLast" : "");
                         });

// ---- what the random runs meet only by chance ------------------------------------------------------------------

// Each case: rows with their keys, then removals and additions, then the order read and where the index stands.
TEST_F(KeyIndexTest, SortedIndexKeepsItsPlacesAsRowsComeAndGo) {
  // The last empty key's place follows removals: a new empty key goes behind the empty keys still there, never
  // behind the other keys.
  MakeIndex(Kind::Sorted);
  ASSERT_TRUE(index->bBuild());
  const Key keys[] = {"", std::nullopt, "k", "a"};  // rows 0..3
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(index->bAddRecord(Store(Kind::Sorted, keys[i], i), nullptr));
  EXPECT_EQ(Walk(), (std::vector<std::uint32_t>{0, 1, 3, 2}));
  ASSERT_TRUE(index->bRemoveRecord(0, nullptr));
  EXPECT_EQ(static_cast<CSortedKeyIndex*>(index.get())->nGetLastEmptyPosition(), 0u);
  ASSERT_TRUE(index->bAddRecord(Store(Kind::Sorted, "", 4), nullptr));
  EXPECT_EQ(Walk(), (std::vector<std::uint32_t>{1, 4, 3, 2}));
  ASSERT_TRUE(index->bRemoveRecord(1, nullptr));
  ASSERT_TRUE(index->bRemoveRecord(4, nullptr));
  EXPECT_EQ(static_cast<CSortedKeyIndex*>(index.get())->nGetLastEmptyPosition(), NONE) << "no empty key is left";
  ASSERT_TRUE(index->bAddRecord(Store(Kind::Sorted, std::nullopt, 5), nullptr));
  EXPECT_EQ(Walk(), (std::vector<std::uint32_t>{5, 3, 2}));

  // A position of none stays none: an index that has not moved has no current row, whatever is added or removed.
  MakeIndex(Kind::Sorted);
  ASSERT_TRUE(index->bBuild());
  EXPECT_EQ(index->nGetCurrentRank(), NONE);
  ASSERT_TRUE(index->bAddRecord(Store(Kind::Sorted, "a", 6), nullptr));
  EXPECT_EQ(index->nGetCurrentRecord(), NONE);
  EXPECT_EQ(index->nGetCurrentRank(), NONE);
  EXPECT_EQ(Move(ROW_MOVE_PREVIOUS, 1), NONE);
  ASSERT_TRUE(index->bRemoveRecord(2, nullptr));
  EXPECT_EQ(index->nGetCurrentRank(), NONE);
  EXPECT_EQ(Move(4, 1), NONE) << "staying where none is stays nowhere";

  // Removing the row at the current position: it is no longer current, and staying gives none.
  EXPECT_EQ(Move(ROW_MOVE_LAST, 1), 6u);
  ASSERT_TRUE(index->bRemoveRecord(6, nullptr));
  EXPECT_EQ(index->nGetCurrentRecord(), NONE);
  EXPECT_EQ(Move(4, 1), NONE);
}

// Both indexes read the equal keys of a search value from the first one, and stop at the last one going back.
TEST_F(KeyIndexTest, ASearchValueBoundsFirstAndLastAtItsEqualKeys) {
  for (const Kind kind : {Kind::Tree, Kind::Sorted}) {
    SCOPED_TRACE(kind == Kind::Tree ? "tree" : "sorted");
    cache->Reset();
    const Key keys[] = {"b", "a", "b", "c", "b"};  // rows 0..4
    for (int i = 0; i < 5; ++i) Store(kind, keys[i], i);
    MakeIndex(kind);
    ASSERT_TRUE(index->bBuild());
    struct SCase {
      const char* search;
      std::uint32_t direction;
      std::uint32_t count;
      std::uint32_t row;
    };
    const SCase cases[] = {
        {"b", ROW_MOVE_FIRST, 1, 0}, {"b", ROW_MOVE_FIRST, 3, 4},  {"b", ROW_MOVE_LAST, 1, 4},
        {"b", ROW_MOVE_LAST, 3, 0},  {"bb", ROW_MOVE_FIRST, 1, 3}, {"bb", ROW_MOVE_LAST, 1, 4},
        {"d", ROW_MOVE_FIRST, 1, NONE}, {"d", ROW_MOVE_FIRST, 2, NONE}, {"0", ROW_MOVE_LAST, 1, NONE},
        {nullptr, ROW_MOVE_FIRST, 1, 1}, {nullptr, ROW_MOVE_LAST, 2, 4},
    };
    for (const SCase& c : cases) {
      search.SetType(0);
      if (c.search) SetText(search, std::string(c.search));
      EXPECT_EQ(Move(c.direction, c.count), c.row) << (c.search ? c.search : "none") << " " << c.direction << " "
                                                     << c.count;
    }
    // A search longer than the key column (10 characters) comes after a key holding its first ten: the first row
    // not before it is the next key up, as the server answers.
    const std::uint32_t full = Store(kind, std::string("abcdefghij"), 5);
    const std::uint32_t next = Store(kind, std::string("abcdefghik"), 6);
    ASSERT_TRUE(index->bAddRecord(full, nullptr) && index->bAddRecord(next, nullptr));
    SetText(search, std::string("abcdefghijz"));
    EXPECT_EQ(Move(ROW_MOVE_FIRST, 1), next);
    EXPECT_EQ(Move(ROW_MOVE_LAST, 1), full);
    search.SetType(0);
  }
}

// A decimal key orders by value over all its digits, the whole ones and the fraction.
TEST_F(KeyIndexTest, ADecimalKeyReadsInValueOrder) {
  for (const char16_t* amount : {u"95000000000000000.5", u"1", u"-3.25", u"5", u"0.75"}) {
    Fill(1, std::string("n"), std::string("o"));
    CHostValue value;
    MakeWide(value, amount);
    ASSERT_TRUE(Column(u"AMOUNT")->bSetValue(value, 0));
    cache->bStoreRecord(tableDescription->pGetCurrentRecord());
  }
  index = std::make_unique<CBTreeKeyIndex>(&owner, cache, Column(u"AMOUNT"), &search);
  ASSERT_TRUE(index->bBuild());
  EXPECT_EQ(Walk(), (std::vector<std::uint32_t>{2, 4, 1, 3, 0}));
}

// Identical rows under one key: the tree tells how many stand before the one a move reached, finds the table's
// row among the rows of its key on a seek, and goes to its count-th copy.
TEST_F(KeyIndexTest, TreeIndexCountsAndSeeksIdenticalRows) {
  Store(Kind::Tree, "k", 1);  // row 0
  Store(Kind::Tree, "k", 2);  // rows 1 to 3: identical
  Store(Kind::Tree, "k", 2);
  Store(Kind::Tree, "k", 2);
  Store(Kind::Tree, "z", 3);  // row 4
  MakeIndex(Kind::Tree);
  ASSERT_TRUE(index->bBuild());
  std::uint32_t duplicate = 99;
  EXPECT_EQ(Move(ROW_MOVE_FIRST, 3, &duplicate), 2u);
  EXPECT_EQ(duplicate, 1u);
  EXPECT_EQ(Move(ROW_MOVE_NEXT, 1, &duplicate), 3u);
  EXPECT_EQ(duplicate, 2u);
  EXPECT_EQ(index->nGetCurrentRank(), 3u) << "counting left the cursor where the move put it";
  EXPECT_EQ(Move(ROW_MOVE_FIRST, 1, &duplicate), 0u);
  EXPECT_EQ(duplicate, 0u);

  int found = -1;
  StandOn(Kind::Tree, "k", 2);
  for (const auto& [count, row] : {std::pair{0u, 1u}, {2u, 3u}, {3u, 1u}}) {
    ASSERT_TRUE(index->bSeek(NONE, count, &found));
    EXPECT_EQ(found, 1);
    EXPECT_EQ(index->nGetCurrentRecord(), row) << "count " << count << ": past the copies it stays on the first";
  }
  StandOn(Kind::Tree, "k", 9);  // the key is there, the row is not
  ASSERT_TRUE(index->bSeek(NONE, 0, &found));
  EXPECT_EQ(found, 0);
  EXPECT_EQ(index->nGetCurrentRecord(), 0u) << "back on the first of the key";
  StandOn(Kind::Tree, "m", 9);
  ASSERT_TRUE(index->bSeek(NONE, 0, &found));
  EXPECT_EQ(found, 0);
  EXPECT_EQ(index->nGetCurrentRecord(), 4u) << "on the nearest key above";
  StandOn(Kind::Tree, "k", 1);
  ASSERT_TRUE(index->bSeek(0, 0, &found));
  EXPECT_EQ(found, 1);
  EXPECT_EQ(index->nGetCurrentRecord(), 4u) << "a look-up by rank does not move";
}

// A row that cannot be read stops a build and an addition with 0; an index without a tree answers nothing.
TEST_F(KeyIndexTest, RowsThatCannotBeReadFailTheBuild) {
  for (const Kind kind : {Kind::Tree, Kind::Sorted}) {
    SCOPED_TRACE(kind == Kind::Tree ? "tree" : "sorted");
    cache->Reset();
    Store(kind, "a", 0);
    MakeIndex(kind);
    if (kind == Kind::Tree) {
      std::uint32_t row = 0;
      EXPECT_EQ(index->nGetCount(), 0u);
      EXPECT_TRUE(index->bMove(ROW_MOVE_FIRST, 1, &row, nullptr));
      EXPECT_EQ(row, NONE) << "before its build";
    }
    owner.failRecords = true;
    EXPECT_FALSE(index->bBuild());
    EXPECT_FALSE(index->bAddRecord(0, nullptr));
    owner.failRecords = false;
    EXPECT_TRUE(index->bAddRecord(0, nullptr)) << "a record can be made again";
    EXPECT_FALSE(index->bAddRecord(7, nullptr)) << "a row the cache does not hold";
    EXPECT_EQ(index->nGetCount(), 1u);
  }
}

}  // namespace

// A reader that deletes each row as it reads it in key order meets every row, with both indexes; going back from a
// removed row reaches the one before it, and staying where it was reaches none.
TEST_F(KeyIndexTest, ARowRemovedAtThePlaceLeavesNextOnTheRowThatFollowed) {
  for (const Kind kind : {Kind::Tree, Kind::Sorted}) {
    SCOPED_TRACE(kind == Kind::Tree ? "tree" : "sorted");
    cache->Reset();
    const Key keys[] = {"d", "a", "c", "b", "b", "e"};  // rows 0..5; in key order 1, 3, 4, 2, 0, 5
    for (int i = 0; i < 6; ++i) Store(kind, keys[i], i);
    MakeIndex(kind);
    ASSERT_TRUE(index->bBuild());
    std::vector<std::uint32_t> read;
    for (std::uint32_t row = Move(ROW_MOVE_FIRST, 1); row != NONE; row = Move(ROW_MOVE_NEXT, 1)) {
      read.push_back(row);
      ASSERT_TRUE(index->bRemoveRecord(row, nullptr));
      EXPECT_EQ(index->nGetCurrentRecord(), NONE) << "the removed row is no longer current";
    }
    EXPECT_EQ(read, (std::vector<std::uint32_t>{1, 3, 4, 2, 0, 5}));
    EXPECT_EQ(index->nGetCount(), 0u);

    ASSERT_TRUE(index->bBuild());
    EXPECT_EQ(Move(ROW_MOVE_FIRST, 4), 2u);
    ASSERT_TRUE(index->bRemoveRecord(2, nullptr));
    EXPECT_EQ(Move(ROW_MOVE_PREVIOUS, 1), 4u);
    ASSERT_TRUE(index->bRemoveRecord(4, nullptr));
    EXPECT_EQ(Move(4, 1), NONE);
    EXPECT_EQ(Move(ROW_MOVE_NEXT, 2), 5u) << "two steps from the removed row: the row after the one that followed";
  }
}
