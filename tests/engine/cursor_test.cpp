// The statement object reading a scripted server's rows K = 1, 2, 3: the four directions straight from the fetch
// and through a row cache (one by one, or straight at the row on a scrollable statement), reversed statements, the
// continuation of a read through the table and its failure, a cache that cannot grow, the errors it raises (also
// without a holder), record slots and copies through a clone map.
#include <gtest/gtest.h>

#include "engine/record/record.h"
#include "engine/record/record_buffer.h"
#include "foundation/clone_map.h"
#include "foundation/x_error.h"
#include "sql/conditions/key_condition.h"
#include "sql/rewriter/sql_rewriter.h"
#include "tests/engine/cursor_fixture.h"

namespace {

constexpr std::int32_t OUT = -1;  // the read found no row

struct Step {
  std::uint32_t direction;
  std::int32_t k;  // the row read, or OUT
};

class CursorTest : public CursorFixture {
 protected:
  // A SELECT of the table, opened (sorted on K descending when reversed).
  void OpenSelect(bool reversed = false) {
    CSqlRewriter* statement = NewStatement();
    ASSERT_TRUE(cursor->bBuildStatement(SQL_STATEMENT_SELECT, statement, 0));
    if (reversed) {
      statement->Reset(0);
      ASSERT_TRUE(cursor->bBuildSelect(statement, 0, u"K", 0, nullptr));
    }
    ASSERT_TRUE(cursor->bOpen(0, 0));
  }
  void Expect(const std::vector<Step>& steps) {
    for (const Step& step : steps) {
      SCOPED_TRACE(testing::Message() << "direction " << step.direction << " expecting " << step.k);
      ASSERT_TRUE(cursor->bRead(step.direction, 1, 1, nullptr));
      std::uint32_t out = 0;
      cursor->GetOutOfRange(&out);
      EXPECT_EQ(out, step.k == OUT ? 1u : 0u);
      if (step.k != OUT) {
        EXPECT_EQ(Current(u"K"), step.k);
        EXPECT_EQ(Current(u"V"), step.k * 10);
      }
    }
  }
  bool HolderHasOutOfMemory() {
    CXError* error = holder->pGetEmbeddedObject();
    return error->nGetMessageCount() > 0 && error->nGetMessageAt(0) == 25193;
  }
};

TEST_F(CursorTest, ReadsFourDirectionsStraightFromTheFetch) {
  ReadTable({1, 2, 3});
  OpenSelect();
  EXPECT_EQ(cursor->prepares, 1);
  EXPECT_EQ(cursor->executes, 1);
  EXPECT_EQ(cursor->columnBindings, 2);
  Expect({{READ_FIRST, 1}, {READ_NEXT, 2}, {READ_NEXT, 3}, {READ_NEXT, OUT}, {READ_PREVIOUS, 3}, {READ_LAST, 3},
          {READ_PREVIOUS, 2}, {READ_FIRST, 1}, {READ_PREVIOUS, OUT}});
  EXPECT_EQ(cursor->fetches[READ_FIRST], 2);
  EXPECT_EQ(cursor->fetches[READ_LAST], 1);
  EXPECT_EQ(cursor->fetches[READ_NEXT], 3);
  EXPECT_EQ(cursor->fetches[READ_PREVIOUS], 3);
  EXPECT_EQ(table->resets, 7) << "each row read resets the table's record buffer";
  EXPECT_TRUE(cursor->bGetFetched() == 0 && cursor->bIsOpen());
}

TEST_F(CursorTest, AReversedStatementReadsTheNaturalOrderBackwards) {
  ReadTable({1, 2, 3});
  OpenSelect(true);
  ASSERT_TRUE(cursor->bIsReversed());
  Expect({{READ_FIRST, 3}, {READ_NEXT, 2}, {READ_LAST, 1}, {READ_PREVIOUS, 2}});
  EXPECT_EQ(cursor->fetches[READ_LAST], 1);
  EXPECT_EQ(cursor->fetches[READ_PREVIOUS], 1);
  EXPECT_EQ(cursor->fetches[READ_FIRST], 1);
  EXPECT_EQ(cursor->fetches[READ_NEXT], 1);
}

TEST_F(CursorTest, ReadsFourDirectionsThroughTheCacheFetchingForwardsOnly) {
  ReadTable({1, 2, 3});
  OpenSelect();
  cursor->AttachRowCache(1);
  EXPECT_EQ(cursor->enables, 1) << "an empty cache is announced to the dialect";
  Expect({{READ_FIRST, 1}, {READ_NEXT, 2}, {READ_PREVIOUS, 1}});
  EXPECT_EQ(cursor->fetches[READ_NEXT], 2);
  EXPECT_EQ(cursor->cachedReads, 1);
  // Last on an incomplete cache fetches to the end, then reads the last cached row.
  Expect({{READ_LAST, 3}});
  EXPECT_EQ(cursor->fetches[READ_NEXT], 4);
  EXPECT_TRUE(cursor->bCacheComplete());
  // The complete cache answers every direction without the server.
  Expect({{READ_FIRST, 1}, {READ_NEXT, 2}, {READ_LAST, 3}, {READ_NEXT, OUT}, {READ_PREVIOUS, 2}, {READ_PREVIOUS, 1},
          {READ_PREVIOUS, OUT}});
  EXPECT_EQ(cursor->fetches[READ_NEXT], 4);
  EXPECT_EQ(cursor->fetches[READ_FIRST] + cursor->fetches[READ_LAST] + cursor->fetches[READ_PREVIOUS], 0);
  EXPECT_EQ(cursor->pGetRowCache()->nGetRowCount(), 3u);
}

TEST_F(CursorTest, AScrollableStatementFetchesStraightAtTheRow) {
  ReadTable({1, 2, 3});
  OpenSelect();
  cursor->scrollable = 1;
  cursor->AttachRowCache(1);
  Expect({{READ_FIRST, 1}, {READ_NEXT, 2}, {READ_NEXT, 3}, {READ_PREVIOUS, 2}, {READ_FIRST, 1}});
  EXPECT_EQ(cursor->fetches[READ_FIRST], 3) << "one absolute fetch per row not cached";
  EXPECT_EQ(cursor->fetches[READ_NEXT], 0);
}

TEST_F(CursorTest, AnEmptyResultReadsLastAsNoRow) {
  ReadTable({});
  OpenSelect();
  cursor->AttachRowCache(1);
  Expect({{READ_LAST, OUT}, {READ_FIRST, OUT}});
}

TEST_F(CursorTest, AContinuationGoesOnThroughTheTableAndAFailedOneFailsTheRead) {
  for (const bool cached : {false, true}) {
    SCOPED_TRACE(cached ? "cached" : "direct");
    ReadTable({1, 2});
    // Each scenario runs the statement again: a complete cache has no rows beyond it.
    auto reopen = [&] {
      OpenSelect();
      if (cached) cursor->AttachRowCache(1);
      cursor->rows = {1, 2};
    };
    reopen();
    cursor->SetRowMark(0);
    // The table finds no further row: the end of the rows.
    Expect({{READ_FIRST, 1}, {READ_NEXT, 2}, {READ_NEXT, OUT}});
    ASSERT_EQ(table->positionings.size(), 1u);
    EXPECT_EQ(table->positionings[0], READ_NEXT);
    EXPECT_FALSE(cursor->bIsContinuing());
    // The table reads on: the cursor's own read with further rows.
    table->onPosition = [](doubles::ScriptedCursor* c) {
      c->rows = {3};
      c->position = -1;
      return c->bRead(READ_NEXT, 1, 1, nullptr);
    };
    reopen();
    Expect({{READ_FIRST, 1}, {READ_NEXT, 2}, {READ_NEXT, 3}});
    // A server error on the way is a failed read, never the end of the rows.
    table->onPosition = [this](doubles::ScriptedCursor*) {
      RaiseNotAvailable(holder, ERROR_UNIT_TABLE, 99, nullptr, u"T");
      return 0;
    };
    reopen();
    Expect({{READ_FIRST, 1}, {READ_NEXT, 2}});
    holder->Clear();
    EXPECT_FALSE(cursor->bRead(READ_NEXT, 1, 1, nullptr));
    EXPECT_TRUE(holder->bHasError());
    std::uint32_t out = 0;
    cursor->GetOutOfRange(&out);
    EXPECT_EQ(out, 1u);
    EXPECT_EQ(cursor->bGetKeyStage(), 0u);
    holder->Clear();
    TearDownTable();
  }
}

TEST_F(CursorTest, ACacheThatCannotGrowFailsTheReadOutOfMemory) {
  ReadTable({1, 2, 3});
  OpenSelect();
  auto* cache = new doubles::BoundedRowCache(1);
  cursor->UseRowCache(cache);
  Expect({{READ_FIRST, 1}});
  EXPECT_FALSE(cursor->bRead(READ_NEXT, 1, 1, nullptr));
  EXPECT_TRUE(HolderHasOutOfMemory());
  EXPECT_EQ(cache->nGetRowCount(), 1u) << "the cache as it was";
  // The row that is cached is still read from the cache.
  holder->Clear();
  Expect({{READ_FIRST, 1}});
}

TEST_F(CursorTest, ErrorsCarryTheTableTheItemAndTheirPoint) {
  ReadTable({1});
  // Running what was never built: error 2 at 4.5, also without a holder (only dumped).
  EXPECT_FALSE(cursor->bRun(0, 0));
  EXPECT_EQ(holder->nGetErrorCode(), 2u);
  EXPECT_TRUE(doubles::HasIdentification(holder, 4, 5));
  EXPECT_EQ(std::u16string(holder->pGetEmbeddedObject()->pszGetInfoText(7)), u"K");
  holder->Clear();
  // A cached row that cannot be read: error 11 at 4.11.
  cursor->AttachRowCache(1);
  EXPECT_FALSE(cursor->bGoToCachedRow(4, nullptr));
  EXPECT_EQ(holder->nGetErrorCode(), 11u);
  EXPECT_TRUE(doubles::HasIdentification(holder, 4, 11));
  holder->Clear();
  // A record not found again by its key: error 13 at 4.8 with its debug message, the holder's number 9.
  EXPECT_FALSE(cursor->bRaiseRecordNotFound());
  EXPECT_EQ(holder->nGetErrorCode(), 13u);
  EXPECT_EQ(holder->nGetRecordedCode(), 9u);
  EXPECT_TRUE(doubles::HasIdentification(holder, 4, 8));
  std::uint32_t out = 0;
  cursor->GetOutOfRange(&out);
  EXPECT_EQ(out, 1u);
  holder->Clear();
  doubles::ScriptedCursor orphan(table, nullptr);
  EXPECT_FALSE(orphan.bRun(0, 0));
  EXPECT_FALSE(orphan.bRaiseRecordNotFound());
  EXPECT_FALSE(holder->bHasError());
}

TEST_F(CursorTest, OpeningRunsDescribesAndBindsOnlyWhatThereIs) {
  ReadTable({1});
  // An empty statement opens without running.
  ASSERT_TRUE(cursor->bSetStatement(NewStatement()));
  EXPECT_TRUE(cursor->bOpen(0, 0));
  EXPECT_EQ(cursor->executes, 0);
  // A SELECT on a table without a description gets one described and attached.
  table->attached = 0;
  OpenSelect();
  EXPECT_EQ(cursor->describes, 1);
  EXPECT_TRUE(table->attached);
  // Parameters are bound through the driver's bindings, given back when the statement goes.
  CSqlRewriter* statement = cursor->pGetStatement();
  CHostValue value;
  std::int32_t n = 5;
  value.SetType(HOST_TYPE_INT32);
  value.Set(&n);
  ASSERT_TRUE(statement->nAddNamedParameter(value, columns->pFindColumnByName(u"K")));
  ASSERT_TRUE(cursor->bBindParameters());
  EXPECT_EQ(cursor->parameterBindings, 1);
  EXPECT_EQ(doubles::gnLiveBindings, 1);
  cursor->FreeStatement();
  EXPECT_EQ(doubles::gnLiveBindings, 0);
  EXPECT_EQ(cursor->pGetStatement(), nullptr);
}

TEST_F(CursorTest, RecordSlotsPinTheTablesStoreAndCopiesTakeTheirOwn) {
  ReadTable({1, 2, 3});
  table->storeSlots = true;
  ASSERT_TRUE(cursor->bTakeRecordSlot(SLOT_STATE_READ));
  EXPECT_EQ(cursor->nGetRecordSlot(), 0u);
  ASSERT_TRUE(cursor->bSetRecordSlot(SLOT_STATE_PINNED, 1));
  EXPECT_EQ(cursor->nGetRecordSlotState(), SLOT_STATE_READ) << "a read slot is never lowered to pinned";
  EXPECT_EQ(table->pins[0], 0);
  EXPECT_EQ(table->pins[1], 1);

  OpenSelect();
  cursor->AttachRowCache(1);
  Expect({{READ_FIRST, 1}, {READ_NEXT, 2}});
  ASSERT_TRUE(cursor->bTakeRecordSlot(SLOT_STATE_READ));
  const std::uint32_t slot = cursor->nGetRecordSlot();
  CKeyCondition* node = cursor->pNewConditionNode(holder);
  cursor->SetConditionNode(node);

  CHashTable map;
  ASSERT_TRUE(bRegisterClone(map, table, table));  // the table's own copy is the table
  CCursor* copy = cursor->pClone(map);
  ASSERT_NE(copy, nullptr);
  copy->AddRef();
  EXPECT_EQ(table->pins[slot], 2) << "the copy pins its own slot";
  EXPECT_NE(copy->pGetStatement(), cursor->pGetStatement());
  EXPECT_EQ(std::u16string(copy->pGetStatement()->pszGetSourceText()),
            std::u16string(cursor->pGetStatement()->pszGetSourceText()));
  EXPECT_NE(copy->pGetColumnSet(), columns);
  EXPECT_NE(copy->pGetRowCache(), cursor->pGetRowCache());
  EXPECT_EQ(copy->pGetRowCache()->nGetRowCount(), 2u);
  EXPECT_NE(copy->pGetConditionNode(), node);
  EXPECT_EQ(copy->nGetCurrentRow(), 1);
  EXPECT_EQ(copy->bGetFetched(), 0u);
  // Children already in the map are shared, not copied again.
  CCursor* again = pCloneChild(map, static_cast<CCursor*>(cursor));
  EXPECT_EQ(again, copy);
  again->nRelease();
  copy->nRelease();
  EXPECT_EQ(table->pins[slot], 1);
}

}  // namespace
