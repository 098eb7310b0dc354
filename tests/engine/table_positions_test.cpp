// The table object's saved positions, its moves per mille and through a key, and where its contexts stand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/cache/keyed_row_cache.h"
#include "engine/record/record.h"
#include "engine/record/table_description.h"
#include "sql/conditions/key_condition.h"
#include "tests/engine/table_fixture.h"

namespace {

// The table with the reading and writing steps it leans on played by the test: the image and the current record
// copied as the writer would, counts and reads noted.
class PositionTable : public CTable {
 public:
  using CTable::CTable;
  int bResetRecordBuffer(std::uint32_t) override { return pGetTableDescription()->bAcceptCurrent(); }
  void CopyImageToCurrent() override { pGetTableDescription()->bRestoreCurrent(); }
  int bCountRecords(std::int64_t* count, std::uint32_t flags, std::uint32_t, CCursor*, std::int32_t mode) override {
    counts.push_back(mode);
    countFlags = flags;
    *count = rows;
    return 1;
  }
  int bReadInContext(const char16_t*, std::uint32_t direction, RuntimeWord count, std::uint32_t, std::uint32_t,
                     RuntimeWord, std::uint32_t flags) override {
    reads.push_back({direction, static_cast<std::uint64_t>(count), flags});
    return 1;
  }
  int bDoRead(CCursor*, const char16_t*, std::uint32_t direction, std::uint32_t count, std::uint32_t, std::uint32_t,
              RuntimeWord, std::uint32_t flags, int) override {
    reads.push_back({direction, count, flags});
    return 1;
  }
  struct Read {
    std::uint32_t direction;
    std::uint64_t count;
    std::uint32_t flags;
  };
  std::int64_t rows = 0;
  std::uint32_t countFlags = 0;
  std::vector<std::int32_t> counts;
  std::vector<Read> reads;
};

class TablePositionsTest : public TableFixture {
 protected:
  // K (primary key) and V, the table description made.
  PositionTable* Table() {
    PositionTable* made = KeyValueTableOf<PositionTable>();
    EXPECT_TRUE(subject->bEnsureTableDescription());
    return made;
  }
  // The record k as last read: current record and image.
  void Stand(std::int32_t k) {
    CTableDescription* columns = subject->pGetTableDescription();
    for (const auto& [name, n] : {std::pair{u"K", k}, std::pair{u"V", k * 10}}) {
      CHostValue value;
      value.SetType(HOST_TYPE_INT32);
      value.Set(&n);
      columns->pFindColumnByName(name)->bSetValue(value, 0);
    }
    columns->bAcceptCurrent();
  }
  std::int32_t CurrentK() {
    CHostValue value;
    subject->pGetTableDescription()->pFindColumnByName(u"K")->bGetValue(value, 0);
    std::int32_t k = 0;
    value.nGet(&k);
    return k;
  }
  std::uint32_t Store(const char16_t* context) {
    std::uint32_t identifier = 0;
    EXPECT_EQ(subject->bStorePosition(reinterpret_cast<RuntimeWord>(&identifier), context, 0), 1);
    return identifier;
  }
  std::uint32_t Compare(std::uint32_t a, std::uint32_t b) {
    std::uint32_t equal = 7;
    EXPECT_EQ(subject->bCompareSavedPositions(a, b, reinterpret_cast<RuntimeWord>(&equal)), 1);
    return equal;
  }
};

TEST_F(TablePositionsTest, PositionsAreStoredRecalledComparedAndReleased) {
  Table();
  Stand(1);
  const std::uint32_t onOne = Store(u"K");
  Stand(2);
  const std::uint32_t onTwo = Store(u"K");
  Stand(1);
  const std::uint32_t onOneElsewhere = Store(u"V");
  EXPECT_EQ(onTwo, onOne + 1);
  CKeyedRowCache* store = subject->pGetRecordStore();
  const std::uint32_t slotOne = subject->nStoreRecord(subject->pGetTableDescription()->pGetImageRecord());
  EXPECT_EQ(store->nGetPinCount(slotOne), 2u) << "one record stored twice, one slot pinned twice";

  EXPECT_EQ(Compare(onOne, onOne), 1u);
  EXPECT_EQ(Compare(onOne, onOneElsewhere), 1u) << "other contexts, the same slot";
  EXPECT_EQ(Compare(onOne, onTwo), 0u) << "unique key values differ";

  char16_t name[8] = u"xxxxxx";
  Stand(3);
  ASSERT_EQ(subject->bRecallPosition(onTwo, reinterpret_cast<RuntimeWord>(name), 1, 0), 1);
  EXPECT_EQ(std::u16string(name), u"K");
  EXPECT_EQ(CurrentK(), 2) << "the stored record is the current one again";
  EXPECT_EQ(subject->pGetCurrentContext(), subject->pFindContext(u"K"));
  const std::uint32_t slotTwo = subject->nGetCurrentRecordSlot();
  EXPECT_EQ(store->nGetPinCount(slotTwo), 3u) << "the position's, the context's standing on it, the current record's";
  // Its record deleted since it was stored, the recalled record is marked: the next write adds it again.
  const CRecord& current = *subject->pGetTableDescription()->pGetCurrentRecord();
  for (const bool deleted : {false, true}) {
    store->SetMark(slotTwo, deleted ? ROW_MARK_DELETED : 0);
    ASSERT_EQ(subject->bRecallPosition(onTwo, reinterpret_cast<RuntimeWord>(name), 1, 0), 1);
    EXPECT_EQ(current.nGetState(), deleted ? RECORD_STATE_MARKED : 0u) << "deleted: " << deleted;
  }
  store->SetMark(slotTwo, 0);
  EXPECT_EQ(store->nGetPinCount(slotTwo), 3u) << "recalled again, the same pins";

  // Released, the position pins nothing more, also in its context's list; a second release answers 1.
  EXPECT_EQ(subject->bReleasePosition(onOneElsewhere), 1);
  EXPECT_EQ(subject->bReleasePosition(onOneElsewhere), 1);
  EXPECT_EQ(store->nGetPinCount(slotOne), 1u);
  ASSERT_EQ(subject->bRecallPosition(onOne, reinterpret_cast<RuntimeWord>(name), 0, 0), 1);
  EXPECT_EQ(CurrentK(), 1);
  EXPECT_EQ(store->nGetPinCount(slotTwo), 1u) << "the current record moved to the other slot";
  EXPECT_EQ(store->nGetPinCount(slotOne), 2u) << "the context's and the current record's, no position's";
  EXPECT_EQ(subject->bRecallPosition(onOne, reinterpret_cast<RuntimeWord>(name), 0, 0), 0) << "not kept";
  EXPECT_EQ(holder->nGetErrorCode(), 11u);
  EXPECT_TRUE(doubles::HasIdentification(holder, 3, 2));

  for (const auto& [a, b, point] : {std::tuple{onOne, onTwo, 19u}, std::tuple{onTwo, onOne, 20u}}) {
    holder->Clear();
    EXPECT_EQ(subject->bCompareSavedPositions(a, b, 0), 0);
    EXPECT_EQ(holder->nGetErrorCode(), 11u);
    EXPECT_TRUE(doubles::HasIdentification(holder, 3, point));
  }
  subject->bReleasePosition(onTwo);
  EXPECT_EQ(store->nGetPinCount(slotTwo), 0u);

  // A context name is handed back in at most 255 units and the terminator.
  const std::u16string longName(300, u'n');
  const std::uint32_t named = Store(longName.c_str());
  std::u16string out(300, u'x');
  ASSERT_EQ(subject->bRecallPosition(named, reinterpret_cast<RuntimeWord>(out.data()), 0, 0), 1);
  EXPECT_EQ(std::u16string(out.c_str()), longName.substr(0, 255));
  EXPECT_EQ(out[256], u'x');
}

TEST_F(TablePositionsTest, ATableDestroyedWhilePositionsPinSlotsGivesEveryPinBack) {
  Table();
  Stand(1);
  Store(u"K");
  Stand(2);
  const std::uint32_t identifier = Store(u"V");
  char16_t name[256] = {};
  ASSERT_EQ(subject->bRecallPosition(identifier, reinterpret_cast<RuntimeWord>(name), 1, 0), 1);
  Store(u"V");  // bound to the current record's slot as well
  CKeyedRowCache* store = subject->pGetRecordStore();
  store->AddRef();
  const std::uint32_t slots = store->nGetRowCount();
  const std::uint32_t current = subject->nGetCurrentRecordSlot();
  ASSERT_GE(slots, 2u);
  subject->nRelease();
  subject = nullptr;
  // The positions and contexts gave their pins back into the store they held; the table's own pin on its current
  // record goes with the store.
  for (std::uint32_t slot = 0; slot < slots; ++slot) {
    EXPECT_EQ(store->nGetPinCount(slot), slot == current ? 1u : 0u) << slot;
  }
  store->nRelease();
}

TEST_F(TablePositionsTest, PerMilleTargetsAreComputedInSixtyFourBits) {
  PositionTable* table = Table();
  subject->pSelectContext(u"K", READ_FIRST, 0);
  struct Row {
    std::int64_t rows;
    std::uint32_t perMille;
    std::uint64_t target;
  };
  // 1000 x 5,000,000 does not fit 32 bits: the target was 705,032 before.
  for (const Row& row : {Row{5000000, 1000, 5000000}, Row{5000000, 500, 2500000}, Row{7, 500, 3}, Row{7, 0, 1}}) {
    table->rows = row.rows;
    table->reads.clear();
    ASSERT_EQ(subject->bSetPositionPerMille(u"K", row.perMille, 0, 0x10), 1);
    ASSERT_EQ(table->reads.size(), 1u);
    EXPECT_EQ(table->reads[0].count, row.target) << row.rows << " " << row.perMille;
    EXPECT_EQ(table->reads[0].direction, READ_FIRST);
    EXPECT_EQ(table->reads[0].flags, 0x10u | 0x2000u) << "a restarted read";
  }
  EXPECT_EQ(table->countFlags, 16u);
}

TEST_F(TablePositionsTest, MovesThroughTheIdentifyingKeyAreCountedAndNeverWrap) {
  PositionTable* table = Table();
  Stand(5);
  CCursor* context = subject->pSelectContext(u"K", READ_FIRST, 0);
  CColumn* key = subject->pGetTableDescription()->pFindColumnByName(u"K");
  struct Row {
    std::uint32_t direction, a, count;
    std::int64_t after;
    std::uint32_t readDirection;
    std::uint64_t readCount;
    bool absolute;
  };
  const Row rows[] = {
      {READ_NEXT, 0, 2, 10, READ_FIRST, 2, false},     // from the record itself: the records after its value
      {READ_PREVIOUS, 0, 2, 10, READ_LAST, 2, false},  // and those before it, uncounted
      {READ_NEXT, 1, 2, 10, READ_FIRST, 4, true},      // enough rows after: absolute count + a + 1
      {READ_NEXT, 2, 5, 4, READ_FIRST, 4, false},      // some: count - n + a + 1
      {READ_PREVIOUS, 4, 2, 3, READ_FIRST, 3, true},   // absolute a + 1 - count
      {READ_PREVIOUS, 1, 3, 1, READ_LAST, 2, false},   // from the end: count - a
      {READ_PREVIOUS, 5, 2, 1, READ_LAST, 0, false},   // further back than the rows: stops at 0, never wraps
      {4, 3, 9, 10, READ_FIRST, 4, true},              // absolute within the rows
      {4, 3, 9, 2, READ_FIRST, 2, true},               // absolute past them: the last
  };
  for (const Row& row : rows) {
    table->rows = row.after;
    table->reads.clear();
    table->counts.clear();
    holder->Clear();
    // The context never stands on a record here: an absolute move lands on none, error 13 at 3.23.
    EXPECT_EQ(subject->bPositionOnIdentifyingKey(context, key, row.a, row.direction, row.count), row.absolute ? 0 : 1);
    EXPECT_EQ(holder->bHasError(), row.absolute);
    if (row.absolute) {
      EXPECT_TRUE(doubles::HasIdentification(holder, 3, 23));
    }
    ASSERT_EQ(table->reads.size(), 1u);
    EXPECT_EQ(table->counts, row.a == 0 ? std::vector<std::int32_t>{} : std::vector<std::int32_t>{4})
        << "counted from the record's value";
    EXPECT_EQ(table->reads[0].direction, row.readDirection) << row.direction << " " << row.a << " " << row.count;
    EXPECT_EQ(table->reads[0].count, row.readCount) << row.direction << " " << row.a << " " << row.count;
    EXPECT_EQ(table->reads[0].flags & 0x42000u, 0x42000u);
  }
  ASSERT_NE(context->pGetConditionNode(), nullptr);
  EXPECT_NE(context->pGetConditionNode()->pGetSearchItem(), nullptr) << "a value search on the key";
}

TEST_F(TablePositionsTest, ContextsArePutOnRecordsByKeyValueByRestoreAndThroughTheirKey) {
  PositionTable* table = Table();
  Stand(4);
  CCursor* other = subject->pSelectContext(u"V", READ_FIRST, 0);
  CKeyCondition* running = other->pNewConditionNode(holder);
  other->SetConditionNode(running);
  running->SetFirstStage();
  CCursor* byKey = subject->pSelectContext(u"K", READ_FIRST, 0);

  // By key value: the context's condition searches the value, every other condition stops, the table keeps it.
  CHostValue seven;
  const std::int32_t n = 7;
  seven.SetType(HOST_TYPE_INT32);
  seven.Set(&n);
  ASSERT_EQ(subject->bGoToRecord(u"K", reinterpret_cast<RuntimeWord>(&seven), 0, 0, 0, 0), 1);
  ASSERT_NE(byKey->pGetConditionNode(), nullptr);
  EXPECT_TRUE(byKey->pGetConditionNode()->bIsStarted());
  EXPECT_FALSE(running->bIsStarted());
  EXPECT_EQ(subject->pGetCurrentContext(), byKey);

  // Restored without a current record slot: the named context stands pinned on the stored last-read record.
  ASSERT_EQ(subject->bRestorePosition(reinterpret_cast<RuntimeWord>(u"V"), 0), 1);
  EXPECT_EQ(other->nGetRecordSlotState(), SLOT_STATE_PINNED);
  ASSERT_NE(other->nGetRecordSlot(), SLOT_NONE);
  EXPECT_EQ(subject->pGetRecordStore()->nGetPinCount(other->nGetRecordSlot()), 1u);

  // Through the key with mode 1: the record the program holds comes back whatever the move gave.
  CHostValue nine;
  const std::int32_t m = 9;
  nine.SetType(HOST_TYPE_INT32);
  nine.Set(&m);
  subject->pGetTableDescription()->pFindColumnByName(u"K")->bSetValue(nine, 0);
  table->reads.clear();
  EXPECT_EQ(subject->bPositionOnKey(1, byKey, 0, READ_FIRST, 1), 1);
  ASSERT_EQ(table->reads.size(), 1u);
  EXPECT_EQ(CurrentK(), 9);
  EXPECT_EQ(byKey->nGetRecordSlotState(), SLOT_STATE_PINNED) << "ran off the rows: pinned on the image";
  EXPECT_EQ(subject->bPositionOnKey(0, subject->pSelectContext(u"NoKey", READ_FIRST, 0), 0, READ_FIRST, 1), 1);
  EXPECT_EQ(table->reads.size(), 1u) << "a context without a key item of the table does not move";
}

}  // namespace
