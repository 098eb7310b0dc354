// The table object driven as the runtime drives it, through sequences rather than single operations: records added,
// read in every direction, positions stored and recalled over writes and deletions, counts and moves per mille, the
// table closed and opened again; runs failing part-way with the same table going on; hostile names and identifiers.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/cache/keyed_row_cache.h"
#include "engine/record/record.h"
#include "engine/record/table_description.h"
#include "tests/engine/table_fixture.h"

namespace {

// The engine's own table; each statement it runs noted with the key of the record it is about (the last-read image's,
// which the statement's WHERE names).
class WatchedTable : public CTable {
 public:
  using CTable::CTable;
  int bExecuteModification(CCursor* context, std::uint32_t kind, std::uint32_t flags, RuntimeWord argument) override {
    CHostValue value;
    std::int32_t k = -1;
    CTableDescription* columns = pGetTableDescription();
    columns->pGetImageRecord()->GetFieldValue(value, columns->pFindColumnByName(u"K")->pGetDescriptorNoRef());
    if (!value.bIsNull()) value.nGet(&k);
    runs.push_back({kind, k});
    return CTable::bExecuteModification(context, kind, flags, argument);
  }
  void EnterQueryMode() { m_bQueryMode = 1; }
  std::vector<std::pair<std::uint32_t, std::int32_t>> runs;
};

class TableRoundTripTest : public TableFixture {
 protected:
  void Open(std::vector<std::int32_t> rows) {
    table = KeyValueTableOf<WatchedTable>(std::move(rows));
    // Opening proper asks the database's catalog, which the scripted server has not: the columns are what it gives.
    ASSERT_EQ(subject->bEnsureTableDescription(), 1);
  }
  void Set(const char16_t* name, std::int32_t n) {
    CHostValue value;
    value.SetType(HOST_TYPE_INT32);
    value.Set(&n);
    subject->pGetTableDescription()->pFindColumnByName(name)->bSetValue(value, 0);
  }
  std::int32_t Get(const char16_t* name) {
    CHostValue value;
    std::int32_t n = -1;
    CColumn* column = subject->pGetTableDescription()->pFindColumnByName(name);
    if (column->bGetValue(value, 0) && !value.bIsNull()) value.nGet(&n);
    return n;
  }
  int Read(std::uint32_t direction, const char16_t* name = u"K") { return subject->bRead(name, direction, 0, 0, 0, 0); }
  // Every pin the record store holds.
  std::uint32_t Pins() {
    std::uint32_t total = 0;
    CKeyedRowCache* store = subject->pGetRecordStore();
    for (std::uint32_t row = 0; row < store->nGetRowCount(); ++row) total += store->nGetPinCount(row);
    return total;
  }
  std::uint32_t Store(const char16_t* context) {
    std::uint32_t identifier = 0;
    EXPECT_EQ(subject->bStorePosition(reinterpret_cast<RuntimeWord>(&identifier), context, 0), 1);
    return identifier;
  }
  int Recall(std::uint32_t identifier, std::uint32_t keep = 1) {
    char16_t name[256] = {};
    return subject->bRecallPosition(identifier, reinterpret_cast<RuntimeWord>(name), keep, 0);
  }
  WatchedTable* table = nullptr;
};

TEST_F(TableRoundTripTest, RecordsAddedReadPositionedCountedAndTheTableOpenedAgain) {
  Open({1, 2, 3, 4, 5});
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    holder->Clear();
    for (std::int32_t k : {6, 7, 8}) {
      Set(u"K", k);
      Set(u"V", k * 10);
      EXPECT_EQ(subject->bAddRecord(0, 2), 1);
    }
    // The server's rows, through one context, every direction and a count.
    struct Step {
      std::uint32_t direction, count;
      std::int32_t key;
    };
    for (const Step& step : {Step{READ_FIRST, 1, 1}, Step{READ_NEXT, 1, 2}, Step{READ_LAST, 1, 5},
                             Step{READ_PREVIOUS, 1, 4}, Step{READ_FIRST, 3, 3}}) {
      EXPECT_EQ(subject->bReadInContext(u"K", step.direction, step.count, 0, 0, 0, 0), 1);
      EXPECT_EQ(Get(u"K"), step.key) << step.direction << " " << step.count;
    }
    const std::uint32_t onThree = Store(u"K");
    ASSERT_EQ(Read(READ_NEXT), 1);
    const std::uint32_t onFour = Store(u"K");
    std::uint32_t equal = 7;
    EXPECT_EQ(subject->bCompareSavedPositions(onThree, onFour, reinterpret_cast<RuntimeWord>(&equal)), 1);
    EXPECT_EQ(equal, 0u);
    // Written and deleted while stored: the positions still bring their records back.
    // Both reach the record read, not the one added before it.
    table->runs.clear();
    Set(u"V", 41);
    EXPECT_EQ(subject->bWriteRecord(0, 0, 2), 1);
    EXPECT_EQ(subject->bDeleteRecord(0, 2), 1);
    EXPECT_EQ(table->runs, (std::vector<std::pair<std::uint32_t, std::int32_t>>{{2, 4}, {4, 4}}));
    ASSERT_EQ(Recall(onThree), 1);
    EXPECT_EQ(Get(u"K"), 3);
    ASSERT_EQ(Recall(onFour, 0), 1);
    EXPECT_EQ(Get(u"K"), 4);
    EXPECT_EQ(Recall(onFour), 0) << "released by the recall";

    std::int64_t count = -1;
    EXPECT_EQ(subject->bCountCurrentContext(reinterpret_cast<RuntimeWord>(&count), 16, 0), 1);
    EXPECT_EQ(count, 5);
    for (const auto& [perMille, key] : {std::pair{0u, 1}, std::pair{1000u, 5}, std::pair{500u, 2}}) {
      EXPECT_EQ(subject->bSetPositionPerMille(u"K", perMille, 0, 0), 1) << perMille;
      EXPECT_EQ(Get(u"K"), key) << perMille;
    }
    EXPECT_EQ(subject->bSetPositionPerMille(u"K", 5000, 0, 0), 1) << "past the end: the last row or none";

    EXPECT_EQ(subject->bClose(), 1);
    EXPECT_EQ(subject->nGetContextCount(), 0u);
    EXPECT_EQ(Recall(onThree), 0) << "closing released every position";
    EXPECT_LE(Pins(), 1u) << "at most the current record stays pinned";
    ASSERT_EQ(subject->bEnsureTableDescription(), 1);
  }
}


TEST_F(TableRoundTripTest, ARunFailingPartWayLeavesTheTableWorkingAndItsPinsWhereTheyWere) {
  Open({1, 2, 3, 4, 5});
  ASSERT_EQ(Read(READ_FIRST), 1);
  Set(u"K", 9);
  ASSERT_EQ(subject->bAddRecord(0, 2), 1);
  const std::uint32_t position = Store(u"K");
  struct Row {
    const char* what;
    std::function<int()> fail, next;
  };
  const std::vector<Row> rows = {
      {"add", [&] { driver.failures = {3}; Set(u"K", 10); return subject->bAddRecord(0, 2); },
       [&] { return subject->bAddRecord(0, 2); }},
      {"write", [&] { driver.failures = {4}; Set(u"V", 5); return subject->bWriteRecord(0, 0, 2); },
       [&] { return subject->bWriteRecord(0, 0, 2); }},
      {"delete", [&] { driver.failures = {4}; return subject->bDeleteRecord(0, 2); },
       [&] { return subject->bDeleteRecord(0, 2); }},
      {"modify", [&] { driver.failures = {4}; return subject->bModifyRecord(0, 2, 0); },
       [&] { return subject->bModifyRecord(0, 2, 0); }},
      {"read on", [&] {
         Context(u"K")->failAtFetch = Context(u"K")->fetchNumber + 1;
         return Read(READ_NEXT);
       },
       [&] { return Read(READ_NEXT); }},
      {"read first", [&] { driver.failures = {4}; return Read(READ_FIRST); }, [&] { return Read(READ_FIRST); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    holder->Clear();
    const std::uint32_t before = Pins();
    EXPECT_EQ(row.fail(), 0);
    EXPECT_TRUE(holder->bHasError());
    EXPECT_EQ(Pins(), before) << "a failed run keeps no pin";
    driver.failures.clear();
    holder->Clear();
    EXPECT_EQ(row.next(), 1);
    EXPECT_FALSE(holder->bHasError());
  }
  ASSERT_EQ(Recall(position, 0), 1);
  EXPECT_EQ(Get(u"K"), 9);
  subject->bClose();
  EXPECT_LE(Pins(), 1u);
}

TEST_F(TableRoundTripTest, HostileNamesAndIdentifiersFindOneContextOrFailWithAnError) {
  Open({1, 2, 3});
  // Null is the empty name; case and marks are ignored, also in names far past any buffer on the stack.
  const std::u16string longName = std::u16string(1200, u'e') + u"K";
  const std::u16string longVariant = std::u16string(1199, u'E') + u"\u00e9k";
  const std::vector<std::pair<std::u16string, std::u16string>> sameNames = {
      {u"", u""}, {u"Kx", u"kX"}, {u"Ke", u"k\u00e9"}, {u"Ke", u"Ke\u0301"}, {longName, longVariant}};
  for (const auto& [name, variant] : sameNames) {
    SCOPED_TRACE(name.size());
    CCursor* context = subject->pSelectContext(name.c_str(), READ_FIRST, 0);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(subject->pFindContext(variant.c_str()), context);
    EXPECT_EQ(subject->pSelectContext(variant.c_str(), READ_FIRST, 0), context);
    if (name.empty()) {
      EXPECT_EQ(subject->pFindContext(nullptr), context);
    }
    std::uint32_t outOfRange = 7;
    EXPECT_EQ(subject->bGetOutOfRange(variant.c_str(), reinterpret_cast<RuntimeWord>(&outOfRange)), 1);
    EXPECT_EQ(outOfRange, 1u);
  }
  EXPECT_EQ(subject->nGetContextCount(), 4u);

  // Renamed onto its own name, in any case: still the one context, found by both spellings.
  CCursor* kx = subject->pFindContext(u"Kx");
  EXPECT_EQ(subject->bRenameContext(kx, u"KX"), 1);
  EXPECT_EQ(subject->pFindContext(u"kx"), kx);
  EXPECT_EQ(subject->bRenameContext(kx, nullptr), 0);
  EXPECT_EQ(subject->nGetContextCount(), 4u);

  // Unknown identifiers, 0 and the last one included, fail with error 11 and change nothing.
  ASSERT_EQ(subject->bReadInContext(u"K", READ_FIRST, 2, 0, 0, 0, 0), 1);
  const std::uint32_t kept = Store(u"K");
  for (std::uint32_t unknown : {0u, 0xFFFFFFFFu, kept + 1000}) {
    SCOPED_TRACE(unknown);
    holder->Clear();
    EXPECT_EQ(Recall(unknown), 0);
    EXPECT_EQ(holder->nGetErrorCode(), 11u);
    EXPECT_EQ(subject->bReleasePosition(unknown), 1);
    std::uint32_t equal = 7;
    EXPECT_EQ(subject->bCompareSavedPositions(kept, unknown, reinterpret_cast<RuntimeWord>(&equal)), 0);
  }
  holder->Clear();
  Set(u"K", 3);
  EXPECT_EQ(Recall(kept), 1);
  EXPECT_EQ(Get(u"K"), 2);

  // A context whose name is no item of the table cannot read: it fails, and says why.
  for (const std::u16string& name : {std::u16string(u"Kx"), longName}) {
    holder->Clear();
    EXPECT_EQ(subject->bReadInContext(name.c_str(), READ_FIRST, 1, 0, 0, 0, 0), 0);
    EXPECT_TRUE(holder->bHasError());
  }

  // Names of no context: an error, or nothing done, never a context made by asking.
  std::uint32_t out = 0;
  EXPECT_EQ(subject->bGetPositionPerMille(&out, u"none", 0), 0);
  EXPECT_EQ(out, 0xFFFFFFFFu);
  EXPECT_EQ(subject->bGetOutOfRange(u"none", reinterpret_cast<RuntimeWord>(&out)), 0);
  EXPECT_EQ(subject->bSetPositionPerMille(u"none", 500, 0, 0), 1);
  EXPECT_EQ(subject->nGetContextCount(), 5u);
}

TEST_F(TableRoundTripTest, ContextsReFiledReleasedOrDestroyedUnderPositionsGiveEveryPinBack) {
  Open({1, 2, 3, 4});
  ASSERT_EQ(subject->bReadInContext(u"K", READ_FIRST, 2, 0, 0, 0, 0), 1);
  const std::uint32_t onK = Store(u"K");
  ASSERT_EQ(subject->bReadInContext(u"V", READ_FIRST, 3, 0, 0, 0, 0), 1);
  const std::uint32_t onV = Store(u"V");
  Set(u"K", 7);
  ASSERT_EQ(subject->bAddRecord(0, 2), 1);
  const std::uint32_t onAdded = Store(u"V");

  // K re-filed under V's name: V's context goes, its positions can no longer be recalled, K's still can.
  CCursor* k = subject->pFindContext(u"K");
  ASSERT_EQ(subject->bRenameContext(k, u"v"), 1);
  EXPECT_EQ(subject->pFindContext(u"V"), k);
  EXPECT_EQ(subject->pFindContext(u"K"), nullptr);
  for (std::uint32_t gone : {onV, onAdded}) {
    holder->Clear();
    EXPECT_EQ(Recall(gone), 0);
    EXPECT_EQ(holder->nGetErrorCode(), 11u);
  }
  holder->Clear();
  ASSERT_EQ(Recall(onK), 1);
  EXPECT_EQ(Get(u"K"), 2);
  EXPECT_EQ(subject->pGetCurrentContext(), k);

  // Every context released as a transaction ends; the same table reads, stores and recalls again.
  subject->ReleaseAllContexts();
  EXPECT_EQ(subject->pGetCurrentContext(), nullptr);
  EXPECT_EQ(Recall(onK), 0);
  holder->Clear();
  ASSERT_EQ(subject->bReadInContext(u"K", READ_LAST, 1, 0, 0, 0, 0), 1);
  EXPECT_EQ(Get(u"K"), 4);
  const std::uint32_t again = Store(u"K");
  ASSERT_EQ(subject->bReadInContext(u"K", READ_FIRST, 1, 0, 0, 0, 0), 1);
  ASSERT_EQ(Recall(again), 1);
  EXPECT_EQ(Get(u"K"), 4);

  // Destroyed with positions and contexts pinning slots: the store it held is left with no pin of theirs.
  CKeyedRowCache* store = subject->pGetRecordStore();
  store->AddRef();
  const std::uint32_t current = subject->nGetCurrentRecordSlot();
  subject->nRelease();
  subject = nullptr;
  for (std::uint32_t slot = 0; slot < store->nGetRowCount(); ++slot) {
    EXPECT_EQ(store->nGetPinCount(slot), slot == current ? 1u : 0u) << slot;
  }
  store->nRelease();
}

TEST_F(TableRoundTripTest, ContextsReleasedDuringASharedRowReadLeaveTheRowsReadableAgain) {
  Open({3, 1, 2});
  table->EnterQueryMode();
  subject->pSelectContext(u"K", READ_FIRST, 0);
  Context(u"K")->fixedSelect = true;
  ASSERT_EQ(subject->bRead(u"K", READ_FIRST, 0, 0, 0, 0x4000), 1);
  ASSERT_EQ(subject->bRead(u"K", READ_NEXT, 0, 0, 0, 0x6000), 1);
  ASSERT_NE(subject->pGetSharedRowSource(), nullptr);
  EXPECT_EQ(Get(u"K"), 1);

  subject->ReleaseAllContexts();
  holder->Clear();
  const int onward = subject->bRead(u"K", READ_NEXT, 0, 0, 0, 0x6000);
  EXPECT_EQ(holder->bHasError(), onward == 0) << "works, or fails with an error";
  subject->pSelectContext(u"K", READ_FIRST, 0);
  Context(u"K")->fixedSelect = true;
  holder->Clear();
  ASSERT_EQ(subject->bRead(u"K", READ_FIRST, 0, 0, 0, 0x4000), 1);
  EXPECT_EQ(Get(u"K"), 3);
  ASSERT_EQ(subject->bRead(u"K", READ_NEXT, 0, 0, 0, 0x6000), 1);
  EXPECT_EQ(Get(u"K"), 1);
}

TEST_F(TableRoundTripTest, ChangesToldWhileAContextReadsLeaveItsPlace) {
  Open({1, 2, 3, 4, 5});
  ASSERT_EQ(Read(READ_FIRST), 1);
  ASSERT_EQ(Read(READ_NEXT), 1);
  ASSERT_EQ(Read(READ_NEXT, u"V"), 1);
  struct Step {
    const char* what;
    std::function<int()> change;
    std::int32_t next;
  };
  const std::vector<Step> steps = {
      // The first move after V's read finds the current record again through a statement of its own, whose rows
      // the scripted server answers from its first; the changes after it leave K's place alone.
      {"write", [&] { Set(u"V", 77); return subject->bWriteRecord(0, 0, 2); }, 1},
      {"add", [&] { Set(u"K", 30); return subject->bAddRecord(0, 2); }, 2},
      {"delete", [&] { return subject->bDeleteRecord(0, 2); }, 3},
      {"modify", [&] { return subject->bModifyRecord(0, 2, 0); }, -1},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    holder->Clear();
    EXPECT_EQ(step.change(), 1);
    EXPECT_EQ(Read(READ_NEXT), 1);
    if (step.next != -1) {
      EXPECT_EQ(Get(u"K"), step.next);
    }
  }
  // Which record V's context reaches is the WHERE's business, which the scripted server does not read (the walks
  // on the OCI stand-in check it): the move is made and lands on a row.
  EXPECT_EQ(Read(READ_PREVIOUS, u"V"), 1);
  std::uint32_t off = 1;
  subject->bGetOutOfRange(u"V", reinterpret_cast<RuntimeWord>(&off));
  EXPECT_EQ(off, 0u);
}

}  // namespace
