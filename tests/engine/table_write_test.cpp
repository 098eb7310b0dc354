// The table object's writes on its default context: the order of record lock, UPDATE, INSERT and unlock, failed runs
// classified for the runtime, the CREATE TABLE run again with the long text types, changes told to the record store
// and to a sister table of the same access interface, and the record store's pins over write cycles.
#include <gtest/gtest.h>

#include <string>

#include "driver/access_interface.h"
#include "engine/cache/keyed_row_cache.h"
#include "engine/record/record.h"
#include "engine/record/table_description.h"
#include "foundation/x_error.h"
#include "tests/engine/table_fixture.h"

namespace {

// The generic table with the record-lock hooks the dialect fills written into the run log, and a large-value read
// that can fail.
class LoggingTable : public CTable {
 public:
  LoggingTable(IHostFileDescription* description, CConnection* connection, CErrorHolder* holder,
               std::vector<std::u16string>& log)
      : CTable(description, connection, holder), m_log(log) {}
  int bLockCurrentRecord(CCursor*, std::uint32_t mode, RuntimeWord, RuntimeWord) override {
    m_log.push_back(u"lock " + std::u16string(1, static_cast<char16_t>(u'0' + mode)));
    return lockAnswer;
  }
  int bUnlockCurrentRecord(CCursor*, std::uint32_t mode, RuntimeWord, RuntimeWord) override {
    m_log.push_back(u"unlock " + std::u16string(1, static_cast<char16_t>(u'0' + mode)));
    return 1;
  }
  int bReadLargeValue(std::uint32_t, RuntimeWord) override {
    ++largeReads;
    if (largeReadAnswer) return 1;
    RaiseNotAvailable(m_pErrorHolder, ERROR_UNIT_TABLE, 77, nullptr, u"T");
    return 0;
  }
  void EnterSqlQueryMode() {
    m_bQueryMode = 1;
    m_nQueryFlags = 4;
  }

  int lockAnswer = 1;
  int largeReadAnswer = 1;
  int largeReads = 0;

 private:
  std::vector<std::u16string>& m_log;
};

class TableWriteTest : public TableFixture {
 protected:
  // K (primary key), V and, when asked, a NOT NULL column N and a text memo M.
  LoggingTable* Make(std::vector<std::int32_t> rows, std::uint32_t dbmsKind = 2, bool extra = false) {
    Begin(dbmsKind);
    Add(u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, false);
    Add(u"V", COLUMN_TYPE_INT32, 4);
    if (extra) {
      Add(u"N", COLUMN_TYPE_INT32, 4, 0, false);
      Add(u"M", COLUMN_TYPE_TEXT_MEMO, 0);
    }
    description->LayoutItems();
    auto* made = new LoggingTable(description, connection, holder, driver.texts);
    made->AddRef();
    subject = made;
    driver.rows = std::move(rows);
    EXPECT_TRUE(subject->bEnsureTableDescription());
    return made;
  }
  void Set(const char16_t* name, std::int32_t n) {
    CHostValue value;
    value.SetType(HOST_TYPE_INT32);
    value.Set(&n);
    subject->pGetTableDescription()->pFindColumnByName(name)->bSetValue(value, 0);
  }
  CRecord* Current() { return subject->pGetTableDescription()->pGetCurrentRecord(); }
  // The first word of every run and hook, in order.
  std::vector<std::u16string> Log() {
    std::vector<std::u16string> words;
    for (const std::u16string& text : driver.texts) {
      const std::size_t space = text.find(u' ');
      words.push_back(text.rfind(u"lock", 0) == 0 || text.rfind(u"unlock", 0) == 0 ? text : text.substr(0, space));
    }
    driver.texts.clear();
    return words;
  }
  // Pins of the record store beyond the one a context holds for its own record (given back when it closes).
  std::uint32_t Pins() {
    std::uint32_t total = 0;
    CKeyedRowCache* store = subject->pGetRecordStore();
    for (std::uint32_t row = 0; row < store->nGetRowCount(); ++row) total += store->nGetPinCount(row);
    CCursor* context = subject->pFindContext(u"");
    return context && context->nGetRecordSlot() != SLOT_NONE ? total - 1 : total;
  }
};

using Words = std::vector<std::u16string>;

TEST_F(TableWriteTest, AWriteLocksUpdatesInsertsANewRecordAndUnlocksWithTheCallersMode) {
  LoggingTable* table = Make({1});
  Set(u"K", 1);
  ASSERT_TRUE(subject->bResetRecordBuffer(0)) << "as read";
  struct Row {
    std::uint32_t mode, recordFlags;
    int lockAnswer;
    std::vector<std::uint32_t> runs;
    Words log;
    int answer;
  };
  const std::uint32_t unclassified = doubles::ScriptedCursor::RUN_FAILS_UNCLASSIFIED;
  const std::vector<Row> rows = {
      {0, 0, 1, {0}, {u"lock 2", u"UPDATE", u"unlock 0"}, 1},
      {3, 0, 1, {0}, {u"lock 3", u"UPDATE", u"unlock 3"}, 1},
      // A new record the UPDATE does not reach is inserted, and the UPDATE's failure is not the write's.
      {2, 0x80, 1, {unclassified, 0}, {u"lock 2", u"UPDATE", u"INSERT", u"unlock 2"}, 1},
      {1, 0x80, 0, {0}, {u"lock 2", u"INSERT", u"unlock 1"}, 1},
      // A record that is not new stays unwritten when its UPDATE fails.
      {0, 0, 1, {1}, {u"lock 2", u"UPDATE", u"unlock 0"}, 0},
      {0, 0, 0, {}, {u"lock 2", u"unlock 0"}, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.log.size() * 10 + row.mode);
    holder->Clear();
    table->lockAnswer = row.lockAnswer;
    driver.failures = row.runs;
    Current()->SetState(row.recordFlags);
    Set(u"V", static_cast<std::int32_t>(driver.texts.size() + row.mode + 10 * row.log.size()));
    EXPECT_EQ(subject->bWriteRecord(0, 0, row.mode), row.answer);
    EXPECT_EQ(Log(), row.log);
    EXPECT_EQ(holder->bHasError(), row.answer == 0 && row.lockAnswer == 1);
    if (row.answer) {
      EXPECT_EQ(Current()->nGetState(), 0u) << "a written record is no longer new";
    }
  }

  table->lockAnswer = 1;
  // Deletion locks with 2 for the release modes, unlocks with 1, and leaves a record to insert again.
  EXPECT_EQ(subject->bDeleteRecord(0, 0), 1);
  EXPECT_EQ(Log(), (Words{u"lock 2", u"DELETE", u"unlock 1"}));
  EXPECT_EQ(Current()->nGetState(), 0x80u);
  // The runtime's add inserts, then takes the record lock.
  EXPECT_EQ(subject->bAddRecord(0, 3), 1);
  EXPECT_EQ(Log(), (Words{u"INSERT", u"lock 3"}));
}

TEST_F(TableWriteTest, FailedRunsRecordTheirCategoryAndNameTheKeyOrColumn) {
  Make({1, 2}, 2, true);
  Set(u"K", 1);
  // Each category stays recorded; a duplicate names its key, a missing value its column, with the table as file.
  const std::vector<std::pair<std::uint32_t, std::u16string>> rows = {{1, u""}, {2, u""}, {3, u"K"}, {4, u""},
                                                                       {5, u""}, {6, u""}, {7, u""}, {8, u"N"}};
  for (const auto& [category, item] : rows) {
    SCOPED_TRACE(category);
    holder->Clear();
    driver.failures = {category};
    EXPECT_EQ(subject->bAddRecord(0, 2), 0);
    EXPECT_EQ(holder->nGetRecordedCode(), category);
    const char16_t* named = holder->pszGetItemName();
    EXPECT_EQ(std::u16string(named ? named : u""), item);
    if (!item.empty()) {
      EXPECT_EQ(std::u16string(holder->pszGetFileName()), u"T");
    }
  }
  // The same table goes on: the next add succeeds once N has its value.
  holder->Clear();
  Set(u"N", 3);
  EXPECT_EQ(subject->bAddRecord(0, 2), 1);
  EXPECT_FALSE(holder->bHasError());
}

TEST_F(TableWriteTest, AnSqlQueryRefusesEveryRecordStatementBeforeBuildingIt) {
  LoggingTable* table = Make({1});
  table->EnterSqlQueryMode();
  for (std::uint32_t kind : {2u, 3u, 4u}) {
    holder->Clear();
    EXPECT_EQ(subject->bExecuteModification(subject->pGetDefaultContext(), kind, 0, 0), 0);
    EXPECT_EQ(holder->nGetErrorCode(), 35u);
    EXPECT_TRUE(doubles::HasIdentification(holder, 3, 16));
  }
  EXPECT_TRUE(driver.texts.empty());
}

TEST_F(TableWriteTest, ACreateRefusedForItsTextSizesRunsOnceMoreWithTheLongTypes) {
  Begin(2);
  Add(u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, false);
  Add(u"T1", COLUMN_TYPE_TEXT, 9001);
  Add(u"T2", COLUMN_TYPE_TEXT, 10);
  MakeTable();
  ASSERT_TRUE(subject->bEnsureTableDescription());
  const std::uint32_t unclassified = doubles::ScriptedCursor::RUN_FAILS_UNCLASSIFIED;
  driver.failures = {unclassified, 0};
  EXPECT_EQ(subject->bExecuteModification(subject->pGetDefaultContext(), 6, 0, 0), 1);
  ASSERT_EQ(driver.texts.size(), 2u);
  EXPECT_NE(driver.texts[0].find(u"T1 VARCHAR(9000)"), std::u16string::npos);
  EXPECT_NE(driver.texts[1].find(u"T1 CLOB,"), std::u16string::npos);
  EXPECT_NE(driver.texts[1].find(u"T2 VARCHAR(9)"), std::u16string::npos) << "a text within the limit stays";
  EXPECT_FALSE(holder->bHasError());

  // Refused again, or refused with nothing to lengthen, or refused for another reason: no success.
  for (std::vector<std::uint32_t> runs : {std::vector<std::uint32_t>{unclassified, unclassified},
                                          std::vector<std::uint32_t>{4}}) {
    driver.texts.clear();
    holder->Clear();
    driver.failures = runs;
    EXPECT_EQ(subject->bExecuteModification(subject->pGetDefaultContext(), 6, 0, 0), 0);
    EXPECT_EQ(driver.texts.size(), runs.size());
    EXPECT_TRUE(holder->bHasError());
  }
}

TEST_F(TableWriteTest, ADeletionMarksTheStoredRecordHereAndInASisterTable) {
  Make({1});
  CTable* sister = new CTable(description, connection, holder);
  sister->AddRef();
  auto* owner = new CAccessInterface(nullptr, u"k", nullptr, nullptr, nullptr);
  owner->AddRef();
  owner->RegisterTable(subject);
  owner->RegisterTable(sister);
  subject->SetAccessInterface(owner);
  ASSERT_TRUE(sister->bEnsureTableDescription());

  Set(u"K", 1);
  ASSERT_EQ(subject->bAddRecord(0, 2), 1);
  const std::uint32_t mine = subject->nGetCurrentRecordSlot();
  // The sister holds the same record as its last-read image.
  CTableDescription* theirs = sister->pGetTableDescription();
  ASSERT_TRUE(theirs->pGetImageRecord()->bCopyFrom(Current(), RECORD_PARTS_ALL));
  const std::uint32_t stored = sister->nStoreContextRecord(nullptr);
  ASSERT_NE(stored, SLOT_NONE);
  sister->PinRecordSlot(stored);

  ASSERT_EQ(subject->bDeleteRecord(0, 2), 1);
  EXPECT_TRUE(subject->bIsStoredRecordDeleted(mine));
  EXPECT_TRUE(sister->bIsStoredRecordDeleted(stored));
  sister->UnpinRecordSlot(stored);
  sister->nRelease();
  subject->SetAccessInterface(nullptr);
  owner->nRelease();
}

TEST_F(TableWriteTest, PinsComeBackToTheirStartOverAddWriteModifyAndDeleteCycles) {
  Make({1, 2, 3});
  Set(u"K", 1);
  ASSERT_EQ(subject->bAddRecord(0, 2), 1);
  const std::uint32_t start = Pins();
  EXPECT_EQ(start, 1u) << "the added record is the pinned current record";
  for (std::int32_t k = 2; k <= 4; ++k) {
    SCOPED_TRACE(k);
    Set(u"V", k * 7);
    EXPECT_EQ(subject->bWriteRecord(0, 64, 2), 1);
    EXPECT_EQ(Pins(), start);
    EXPECT_EQ(subject->bModifyRecord(0, 2, 0), 1);
    EXPECT_EQ(Pins(), start);
    Set(u"K", k);
    EXPECT_EQ(subject->bAddRecord(0, 2), 1);
    EXPECT_EQ(Pins(), start);
    EXPECT_EQ(subject->bDeleteRecord(0, 2), 1);
    EXPECT_EQ(Pins(), start);
    // A failed modification gives its extra pin back too.
    driver.failures = {3};
    subject->bModifyRecord(0, 2, 0);
    driver.failures.clear();
    EXPECT_EQ(Pins(), start);
  }
  subject->bClose();
  EXPECT_EQ(Pins(), start) << "closed: only the current record stays pinned";
}

TEST_F(TableWriteTest, AnAddWhoseNullLargeValueCannotBeReadFailsWithTheReadsError) {
  LoggingTable* table = Make({}, 2, true);
  Set(u"K", 1);
  Set(u"N", 1);
  table->largeReadAnswer = 0;
  // Before any record was read or written nothing is left on the server to read: the add goes on without a read.
  EXPECT_EQ(subject->bAddRecord(0, 2), 1);
  EXPECT_EQ(table->largeReads, 0);
  Log();
  EXPECT_EQ(subject->bAddRecord(0, 2), 0);
  EXPECT_EQ(table->largeReads, 1);
  EXPECT_TRUE(doubles::HasIdentification(holder, 3, 77));
  EXPECT_TRUE(driver.texts.empty()) << "no INSERT without the value";
  // The same table adds once the value can be read.
  holder->Clear();
  table->largeReadAnswer = 1;
  EXPECT_EQ(subject->bAddRecord(0, 2), 1);
  EXPECT_EQ(Log(), (Words{u"INSERT", u"lock 2"}));
}

}  // namespace
