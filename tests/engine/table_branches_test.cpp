// The table object's less travelled reading roads: the context a query run left reused by its exact name, a key
// condition carried into a new context, a seek on an SQL query, every row of a query deleted one by one, and an SQL
// query's first read run a second time with its rows kept.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/cache/shared_row_source.h"
#include "engine/record/table_description.h"
#include "sql/conditions/key_condition.h"
#include "tests/engine/table_fixture.h"

namespace {

class BranchTable : public CTable {
 public:
  using CTable::CTable;
  int bDoRead(CCursor* context, const char16_t* keyName, std::uint32_t direction, std::uint32_t count,
              std::uint32_t a, std::uint32_t lockMode, RuntimeWord lockAnswer, std::uint32_t flags,
              int restart) override {
    readFlags.push_back(flags);
    return CTable::bDoRead(context, keyName, direction, count, a, lockMode, lockAnswer, flags, restart);
  }
  // A query without a parsed query behind it: its contexts run a fixed SELECT.
  CCursor* pNewContext() override {
    CCursor* context = CTable::pNewContext();
    if (context && m_bQueryMode) static_cast<doubles::ScriptedCursor*>(context)->fixedSelect = true;
    return context;
  }
  // The deletion as the write side runs it is its own concern: here each deleted row is the current one.
  int bDeleteRecord(RuntimeWord key, std::uint32_t mode) override {
    CHostValue value;
    std::int32_t n = -1;
    CColumn* column = m_pTableDescription->pFindColumnByName(u"K");
    if (column->bGetValue(value, 0) && !value.bIsNull()) value.nGet(&n);
    deleted.push_back({n, static_cast<std::uint32_t>(key), mode});
    return 1;
  }
  void EnterQueryMode(std::uint32_t queryFlags = 0) {
    m_bQueryMode = 1;
    m_nQueryFlags = queryFlags;
    m_bOpen = 1;
  }
  void LeaveFreshContext(const char16_t* name) {
    SetCurrentContext(pSelectContext(name, READ_FIRST, 0));
    m_bFreshContext = 1;
  }
  std::vector<std::uint32_t> readFlags;
  struct SDeleted {
    std::int32_t k;
    std::uint32_t key, mode;
    bool operator==(const SDeleted&) const = default;
  };
  std::vector<SDeleted> deleted;
};

class TableBranchesTest : public TableFixture {
 protected:
  BranchTable* Make(std::vector<std::int32_t> rows, std::uint32_t dbmsKind = 2) {
    BranchTable* made = KeyValueTableOf<BranchTable>(std::move(rows), dbmsKind);
    EXPECT_TRUE(subject->bEnsureTableDescription());
    return made;
  }
  doubles::ScriptedCursor* QueryContext(const char16_t* name) {
    subject->pSelectContext(name, READ_FIRST, 0);
    return Context(name);
  }
  std::int32_t Current() {
    CHostValue value;
    std::int32_t n = -1;
    CColumn* column = subject->pGetTableDescription()->pFindColumnByName(u"K");
    if (column->bGetValue(value, 0) && !value.bIsNull()) value.nGet(&n);
    return n;
  }
  int Read(const char16_t* name, std::uint32_t direction, std::uint32_t flags = 0) {
    return subject->bRead(name, direction, 0, 0, 0, flags);
  }
  int Count(const char16_t* prefix) {
    int n = 0;
    for (const std::u16string& text : driver.texts) n += text.rfind(prefix, 0) == 0;
    return n;
  }
};

TEST_F(TableBranchesTest, AQueryRunsContextIsReusedOnlyUnderItsOwnName) {
  BranchTable* table = Make({3, 1, 2});
  table->EnterQueryMode();
  doubles::ScriptedCursor* query = QueryContext(u"K");
  QueryContext(u"V");
  // Another key after the run: that key's own context reads, not the one the run left.
  table->LeaveFreshContext(u"K");
  ASSERT_EQ(Read(u"V", READ_FIRST, READ_FLAG_KEEP), 1);
  EXPECT_EQ(subject->pGetCurrentContext(), Context(u"V"));
  EXPECT_EQ(query->executes, 0);

  // The run's own name: its context reads on, and the fresh-context flag goes with the first read.
  table->LeaveFreshContext(u"K");
  ASSERT_EQ(Read(u"K", READ_FIRST, READ_FLAG_KEEP), 1);
  EXPECT_EQ(subject->pGetCurrentContext(), query);
  EXPECT_EQ(Current(), 3);
  ASSERT_EQ(Read(u"K", READ_NEXT, READ_FLAG_KEEP | READ_FLAG_RESTART), 1);
  EXPECT_EQ(Current(), 1);
  EXPECT_EQ(subject->nGetContextCount(), 2u);
}

TEST_F(TableBranchesTest, ACarriedKeyConditionGoesOnInTheNewContext) {
  Make({1, 2, 3});
  CHostValue two;
  const std::int32_t n = 2;
  two.SetType(HOST_TYPE_INT32);
  two.Set(&n);
  ASSERT_EQ(subject->bSeekOnKey(u"K", reinterpret_cast<RuntimeWord>(&two), 0, 0, 0, 0, 1, 0), 1);
  CKeyCondition* condition = Context(u"K")->pGetConditionNode();
  ASSERT_NE(condition, nullptr);
  ASSERT_TRUE(condition->bIsStarted());

  ASSERT_EQ(Read(u"V", READ_NEXT, READ_FLAG_CARRY_CONDITION), 1);
  EXPECT_EQ(Context(u"V")->pGetConditionNode(), condition);
  // Without the flag the next context starts on its own.
  subject->SetCurrentContext(Context(u"K"));
  Read(u"W", READ_NEXT);
  EXPECT_EQ(Context(u"W")->pGetConditionNode(), nullptr);
}

TEST_F(TableBranchesTest, ASeekOnAnSqlQueryReadsTheRowsOnceAndSeeksInThem) {
  struct Case {
    std::uint32_t dbmsKind;
    std::uint32_t seekRestarts;
  };
  // Kind 3 is outside set A, kind 2 inside: on both the query's rows are read first and the seek looks through them
  // (a seek the server ran would hand out the rows that share V's value in another order than the query's).
  for (const Case& c : {Case{3, READ_FLAG_RESTART}, Case{2, READ_FLAG_RESTART}}) {
    BranchTable* table = Make({1, 2, 3}, c.dbmsKind);
    table->EnterQueryMode(4);
    QueryContext(u"V");
    CHostValue two;
    const std::int32_t n = 2;
    two.SetType(HOST_TYPE_INT32);
    two.Set(&n);
    ASSERT_EQ(subject->bSeekOnKey(u"V", reinterpret_cast<RuntimeWord>(&two), 1, 0, 0, 0, 1, 0), 1);
    ASSERT_FALSE(table->readFlags.empty());
    EXPECT_EQ(table->readFlags.back() & READ_FLAG_RESTART, c.seekRestarts) << c.dbmsKind;
    EXPECT_EQ(subject->pGetSharedRowSource() != nullptr, c.seekRestarts != 0) << c.dbmsKind;
    TearDown();
    SetUp();
  }
}

TEST_F(TableBranchesTest, DeletingAllOfAQueryDeletesEachOfItsRows) {
  BranchTable* table = Make({3, 1, 2});
  table->EnterQueryMode();
  ASSERT_EQ(subject->bDeleteAll(), 1) << holder->nGetErrorCode();
  const std::vector<BranchTable::SDeleted> each = {{3, 0, 1}, {1, 0, 1}, {2, 0, 1}};
  EXPECT_EQ(table->deleted, each);
  EXPECT_EQ(Count(u"SELECT"), 1);
  EXPECT_EQ(Count(u"DELETE"), 0) << "no table to empty at once";
  EXPECT_FALSE(subject->bIsOpen());
}

TEST_F(TableBranchesTest, AnSqlQuerysFirstReadRunsAgainInItsOwnRows) {
  BranchTable* table = Make({3, 1, 2});
  table->EnterQueryMode(4);
  QueryContext(u"K");
  ASSERT_EQ(Read(u"K", READ_FIRST), 1);
  EXPECT_EQ(Current(), 3);
  ASSERT_EQ(table->readFlags.size(), 2u);
  EXPECT_EQ(table->readFlags[0] & READ_FLAG_RESTART, 0u);
  EXPECT_EQ(table->readFlags[1] & READ_FLAG_RESTART, READ_FLAG_RESTART);
  EXPECT_EQ(Count(u"SELECT"), 1) << "the second read stays in the rows the first one read";
  // Read through the query's own key, or already restarting: once.
  table->readFlags.clear();
  ASSERT_EQ(Read(u"K", READ_FIRST, READ_FLAG_QUERY_KEY), 1);
  EXPECT_EQ(table->readFlags.size(), 1u);
}

// A second key's context of a query takes the first key's shared rows: completing them reads on through the first
// context, never from the start again.
TEST_F(TableBranchesTest, AnotherKeysContextIsFilledFromTheSharedRows) {
  BranchTable* table = Make({3, 1, 2});
  table->EnterQueryMode();
  ASSERT_EQ(subject->bRead(u"K", READ_FIRST, 0, 1, 0, READ_FLAG_KEEP), 1) << holder->nGetErrorCode();
  EXPECT_EQ(subject->bRead(u"V", READ_FIRST, 0, 1, 0, READ_FLAG_KEEP | READ_FLAG_RESTART), 1)
      << holder->nGetErrorCode();
  ASSERT_NE(subject->pGetSharedRowSource(), nullptr);
  EXPECT_TRUE(subject->pGetSharedRowSource()->bIsComplete());
}

}  // namespace
