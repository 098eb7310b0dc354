// The table object's reads through its record contexts: the four directions and a count through one context found in
// any case, when a read runs its SELECT again, a failed context, the staged key condition of a seek continued into
// its next stage and put back, a continuation whose positioning fails, shared rows refilled and rebuilt, counts.
#include <gtest/gtest.h>

#include <string>

#include "engine/cache/shared_row_source.h"
#include "engine/record/table_description.h"
#include "sql/conditions/key_condition.h"
#include "tests/engine/table_fixture.h"

namespace {

// The generic table with the two operations other concerns supply: the SELECT a context prepares (built plainly here)
// and the positioning through a key (scripted).
class ReadingTable : public CTable {
 public:
  using CTable::CTable;
  int bPrepareStatement(CSqlRewriter* statement, CCursor* context, const char16_t*, std::uint32_t forward,
                        std::uint32_t flags, std::uint32_t*) override {
    CSqlRewriter* conditions = pNewSqlStatement();
    conditions->AddRef();
    statement->SetStatementKind(1);
    const int built = context->bAppendConditions(conditions) &&
                      context->bBuildSelect(statement, flags, nullptr, static_cast<int>(forward), conditions);
    conditions->nRelease();
    return built;
  }
  int bPositionOnKey(std::uint32_t mode, CCursor*, std::uint32_t, std::uint32_t direction,
                     std::uint32_t count) override {
    positionings.push_back({mode, direction, count});
    if (positionAnswer) return 1;
    RaiseNotAvailable(m_pErrorHolder, ERROR_UNIT_TABLE, 66, nullptr, u"T");
    return 0;
  }
  void EnterQueryMode() { m_bQueryMode = 1; }

  struct SPositioning {
    std::uint32_t mode, direction, count;
    bool operator==(const SPositioning&) const = default;
  };
  std::vector<SPositioning> positionings;
  int positionAnswer = 1;
};

class TableReadTest : public TableFixture {
 protected:
  ReadingTable* Make(std::vector<std::int32_t> rows) {
    ReadingTable* made = KeyValueTableOf<ReadingTable>(std::move(rows));
    EXPECT_TRUE(subject->bEnsureTableDescription());
    return made;
  }
  std::int32_t Current(const char16_t* name) {
    CHostValue value;
    std::int32_t n = -1;
    CColumn* column = subject->pGetTableDescription()->pFindColumnByName(name);
    if (column->bGetValue(value, 0) && !value.bIsNull()) value.nGet(&n);
    return n;
  }
  std::uint32_t OutOfRange(const char16_t* name) {
    std::uint32_t out = 0;
    Context(name)->GetOutOfRange(&out);
    return out;
  }
  int Read(const char16_t* name, std::uint32_t direction, std::uint32_t flags = 0) {
    return subject->bRead(name, direction, 0, 0, 0, flags);
  }
  int Selects() {
    int n = 0;
    for (const std::u16string& text : driver.texts) n += text.rfind(u"SELECT", 0) == 0;
    return n;
  }
};

TEST_F(TableReadTest, ReadsMoveThroughOneContextWhateverTheCaseOfItsName) {
  ReadingTable* table = Make({1, 2, 3, 4, 5});
  struct Row {
    const char16_t* name;
    std::uint32_t direction;
    std::int32_t key;  // -1: off the rows
    int selects;
  };
  const std::vector<Row> rows = {
      {u"K", READ_FIRST, 1, 1}, {u"k", READ_NEXT, 2, 1},     {u"K", READ_NEXT, 3, 1}, {u"k", READ_PREVIOUS, 2, 1},
      {u"K", READ_LAST, 5, 2},  {u"K", READ_PREVIOUS, 4, 2}, {u"K", READ_LAST, 5, 3}, {u"k", READ_NEXT, -1, 3},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.key * 10 + static_cast<int>(row.direction));
    EXPECT_EQ(Read(row.name, row.direction), 1);
    EXPECT_EQ(OutOfRange(u"K"), row.key == -1 ? 1u : 0u);
    if (row.key != -1) {
      EXPECT_EQ(Current(u"K"), row.key);
      EXPECT_EQ(Current(u"V"), row.key * 10);
    }
    EXPECT_EQ(Selects(), row.selects) << "first and last run the SELECT again, next and previous read on";
  }
  EXPECT_EQ(subject->nGetContextCount(), 1u);
  EXPECT_TRUE(table->positionings.empty());

  // Off its rows, the context goes on from the current record through its key instead of reading.
  EXPECT_EQ(Read(u"K", READ_NEXT), 1);
  EXPECT_EQ(table->positionings, (std::vector<ReadingTable::SPositioning>{{0, READ_NEXT, 1}}));

  // A count through a named context: the third row from the start.
  EXPECT_EQ(subject->bReadInContext(u"k", READ_FIRST, 3, 0, 0, 0, 0), 1);
  EXPECT_EQ(Current(u"K"), 3);
  EXPECT_EQ(Selects(), 4);

  // A context whose record was not found again reads nothing on and keeps the record.
  Context(u"K")->bRaiseRecordNotFound();
  holder->Clear();
  const int fetched = Context(u"K")->fetches[READ_NEXT];
  EXPECT_EQ(Read(u"K", READ_NEXT), 1);
  EXPECT_EQ(Current(u"K"), 3);
  EXPECT_EQ(Context(u"K")->fetches[READ_NEXT], fetched);
  // A restart clears the mark.
  EXPECT_EQ(Read(u"K", READ_FIRST), 1);
  EXPECT_EQ(Read(u"K", READ_NEXT), 1);
  EXPECT_EQ(Current(u"K"), 2);
}

TEST_F(TableReadTest, ASeeksStagedConditionGoesOnInItsNextStageAndIsPutBackWhenThatIsEmptyToo) {
  Make({1, 2});
  CHostValue value;
  const std::int32_t sought = 2;
  value.SetType(HOST_TYPE_INT32);
  value.Set(&sought);
  ASSERT_EQ(subject->bSeekOnKey(u"K", reinterpret_cast<RuntimeWord>(&value), 1, 0, 0, 0, 1, 0), 1);
  doubles::ScriptedCursor* context = Context(u"k");
  CKeyCondition* condition = context->pGetConditionNode();
  ASSERT_NE(condition, nullptr);
  EXPECT_EQ(condition->nGetStage(), 1u);
  EXPECT_EQ(Selects(), 1);
  const std::u16string firstStage = driver.texts.back();

  // Past the first stage's rows the next stage runs its own SELECT and reads its first row.
  EXPECT_EQ(Read(u"K", READ_NEXT), 1);
  context->rows = {7, 8};
  EXPECT_EQ(Read(u"K", READ_NEXT), 1);
  EXPECT_EQ(OutOfRange(u"K"), 0u);
  EXPECT_EQ(Current(u"K"), 7);
  EXPECT_EQ(condition->nGetStage(), 2u);
  EXPECT_EQ(Selects(), 2);
  EXPECT_NE(driver.texts.back(), firstStage);
  // Reset, the condition starts again from its first stage.
  EXPECT_EQ(subject->bResetContext(u"K"), 1);
  EXPECT_EQ(condition->nGetStage(), 1u);

  // Sought again; this time the next stage has no rows either: the condition goes back to its first stage.
  ASSERT_EQ(subject->bSeekOnKey(u"K", reinterpret_cast<RuntimeWord>(&value), 1, 0, 0, 0, 1, 0), 1);
  context->rows = {};
  EXPECT_EQ(Read(u"K", READ_NEXT), 1);
  EXPECT_EQ(OutOfRange(u"K"), 1u);
  EXPECT_EQ(condition->nGetStage(), 1u);
  EXPECT_EQ(Selects(), 4);

  // A positioning read never goes on into another stage.
  context->rows = {1, 2};
  ASSERT_EQ(subject->bSeekOnKey(u"K", reinterpret_cast<RuntimeWord>(&value), 1, 0, 0, 0, 1, 0), 1);
  context->rows = {};
  EXPECT_EQ(Read(u"K", READ_NEXT, 0x40000), 1);
  EXPECT_EQ(Selects(), 5);
}

TEST_F(TableReadTest, AContinuationWhosePositioningFailsFailsTheRead) {
  ReadingTable* table = Make({1, 2});
  ASSERT_EQ(Read(u"K", READ_FIRST), 1);
  // The statement fetched part of the rows: past them the table positions through the key for the rest.
  Context(u"K")->SetRowMark(0);
  table->positionAnswer = 0;
  EXPECT_EQ(Read(u"K", READ_NEXT), 1);
  EXPECT_EQ(Read(u"K", READ_NEXT), 0);
  EXPECT_TRUE(doubles::HasIdentification(holder, 3, 66));
  ASSERT_FALSE(table->positionings.empty());
  EXPECT_EQ(table->positionings.back(), (ReadingTable::SPositioning{0, READ_NEXT, 1})) << "the read loads the record";
  // The same table reads on once the positioning finds its place.
  holder->Clear();
  table->positionAnswer = 1;
  EXPECT_EQ(Read(u"K", READ_FIRST), 1);
  EXPECT_EQ(Current(u"K"), 1);
}

TEST_F(TableReadTest, AQueryKeepingItsContextReadsOnInItsSharedRowsAndBuildsThemAgainOnAFreshFirst) {
  ReadingTable* table = Make({3, 1, 2});
  table->EnterQueryMode();
  // The query's SELECT as a fixed text: the table has no parsed query here.
  subject->pSelectContext(u"K", READ_FIRST, 0);
  Context(u"K")->fixedSelect = true;
  ASSERT_EQ(Read(u"K", READ_FIRST, 0x4000), 1);
  CSharedRowSource* shared = subject->pGetSharedRowSource();
  ASSERT_NE(shared, nullptr);
  EXPECT_TRUE(shared->bIsSourceCursor(Context(u"K")));
  EXPECT_EQ(Current(u"K"), 3);

  // With 0x2000 the rows' own reader goes on in them: no statement runs again, the source stays.
  ASSERT_EQ(Read(u"K", READ_NEXT, 0x6000), 1);
  EXPECT_EQ(Current(u"K"), 1);
  EXPECT_EQ(subject->pGetSharedRowSource(), shared);
  EXPECT_EQ(Selects(), 1);

  // A first read without it builds the rows again for the context.
  ASSERT_EQ(Read(u"K", READ_FIRST, 0x4000), 1);
  EXPECT_EQ(Selects(), 2);
  EXPECT_EQ(Current(u"K"), 3);
  ASSERT_NE(subject->pGetSharedRowSource(), nullptr);
  EXPECT_TRUE(subject->pGetSharedRowSource()->bIsSourceCursor(Context(u"K")));
}

TEST_F(TableReadTest, CountsAskTheDefaultContextFromTheStartOrFromTheRecordsOwnValue) {
  Make({1, 2, 3, 4});
  std::int64_t count = -1;
  EXPECT_EQ(subject->bCountRecords(&count, 0, 0, nullptr, -1), 1);
  EXPECT_EQ(count, 0) << "uncounted";
  EXPECT_EQ(subject->bCountRecords(&count, 16, 0, nullptr, -1), 1);
  EXPECT_EQ(count, 4);
  const std::u16string all = driver.texts.back();

  ASSERT_EQ(Read(u"K", READ_FIRST), 1);
  EXPECT_EQ(subject->bCountRecords(&count, 16, 0, Context(u"K"), 4), 1);
  EXPECT_NE(driver.texts.back(), all) << "counted from the value";
  EXPECT_NE(driver.texts.back().find(u">"), std::u16string::npos);
  EXPECT_EQ(subject->pGetDefaultContext()->pGetConditionNode(), nullptr) << "no search stays on the default context";
}

}  // namespace
