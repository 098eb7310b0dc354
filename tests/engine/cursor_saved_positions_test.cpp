// The statement object's saved positions (saved three ways, restored from the cache or found again by record slot),
// its change notices, the move to a place in thousandths, the values of a row read on, result and output values
// handed to the runtime and counting by reading.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/cache/saved_position.h"
#include "engine/record/query_description.h"
#include "sql/rewriter/sql_element.h"
#include "sql/rewriter/sql_rewriter.h"
#include "sql/rewriter/value_leaf.h"
#include "standin/runtime/query_objects.h"
#include "tests/doubles/field_value_double.h"
#include "tests/engine/cursor_fixture.h"

namespace {

class CursorSavedPositionsTest : public CursorFixture {
 protected:
  void TearDown() override {
    for (CSavedPosition* position : positions) position->nRelease();
    positions.clear();
    if (store) store->nRelease();
    CursorFixture::TearDown();
  }
  // The table of K and V over the server rows, read through a row cache to the row of index `at`.
  void ReadCached(std::vector<std::int32_t> rows, std::uint32_t at, std::uint32_t openFlags = 0) {
    ReadTable(std::move(rows));
    table->reader = cursor;
    store = new CKeyedRowCache();
    store->AddRef();
    table->recordStore = store;
    ASSERT_TRUE(cursor->bBuildStatement(SQL_STATEMENT_SELECT, NewStatement(), 0));
    ASSERT_TRUE(cursor->bOpen(0, openFlags));
    cursor->AttachRowCache(1);
    ASSERT_TRUE(cursor->bRead(READ_FIRST, 1, 1, nullptr));
    for (std::uint32_t i = 0; i < at; ++i) ASSERT_TRUE(cursor->bRead(READ_NEXT, 1, 1, nullptr));
  }
  CSavedPosition* Save() {
    auto* position = new CSavedPosition();
    position->AddRef();
    positions.push_back(position);
    EXPECT_TRUE(cursor->bSavePosition(position));
    return position;
  }
  bool OutOfRange() const {
    std::uint32_t flag = 1;
    cursor->GetOutOfRange(&flag);
    return flag != 0;
  }
  // The keys of the rows read from the first on.
  std::vector<std::int32_t> ReadAll() {
    std::vector<std::int32_t> keys;
    for (bool ok = cursor->bRead(READ_FIRST, 1, 1, nullptr); ok && !OutOfRange();
         ok = cursor->bRead(READ_NEXT, 1, 1, nullptr)) {
      keys.push_back(Current(u"K"));
    }
    return keys;
  }

  CKeyedRowCache* store = nullptr;
  std::vector<CSavedPosition*> positions;
};

TEST_F(CursorSavedPositionsTest, APositionIsSavedOnTheRowTheRecordSlotOrTheLastReadRecord) {
  ReadCached({10, 20, 30}, 1);
  table->storeSlots = true;
  table->nextSlot = 5;
  CSavedPosition* onRow = Save();
  EXPECT_EQ(onRow->nGetRow(), 1u);
  EXPECT_EQ(onRow->nGetPinnedRow(), 5u) << "the slot of the context's saved record";
  EXPECT_TRUE(onRow->bIsValid());
  IPositionOwner* owner = onRow->pGetOwner();
  EXPECT_EQ(owner, static_cast<IPositionOwner*>(cursor));
  owner->ReleaseOwnerReference();

  ASSERT_TRUE(cursor->bTakeRecordSlot(SLOT_STATE_READ));
  CSavedPosition* onSlot = Save();
  EXPECT_EQ(onSlot->nGetRow(), ROW_NONE);
  EXPECT_EQ(onSlot->nGetPinnedRow(), cursor->nGetRecordSlot());
  EXPECT_EQ(table->pins[cursor->nGetRecordSlot()], 1) << "the position pins in the record store, not twice";

  ASSERT_TRUE(cursor->bClose());
  table->storeSlots = false;
  CSavedPosition* nowhere = Save();
  EXPECT_EQ(nowhere->nGetRow(), ROW_NONE);
  EXPECT_EQ(nowhere->nGetPinnedRow(), ROW_NONE);
}

TEST_F(CursorSavedPositionsTest, RestoringReadsTheCachedRowOrFindsTheRecordAgainBySlot) {
  ReadCached({10, 20, 30, 40}, 2);
  table->storeSlots = true;
  CSavedPosition* position = Save();
  ASSERT_TRUE(cursor->bRead(READ_FIRST, 1, 1, nullptr));
  ASSERT_TRUE(cursor->bRestorePosition(position, 0));
  EXPECT_EQ(Current(u"K"), 30);
  EXPECT_EQ(cursor->nGetCurrentRow(), 2);
  EXPECT_TRUE(cursor->bGetPositionKeyApplied());
  EXPECT_FALSE(OutOfRange());

  // A position whose stored record is marked deleted finds its record again by slot, then its row in the cache by
  // key; one whose row was deleted (state 1) only by slot, the slot pinned.
  table->slotKeys[position->nGetPinnedRow()] = 30;
  table->deletedSlots[position->nGetPinnedRow()] = 1;
  ASSERT_TRUE(cursor->bRead(READ_FIRST, 1, 1, nullptr));
  ASSERT_TRUE(cursor->bRestorePosition(position, 0));
  EXPECT_EQ(Current(u"K"), 30);
  EXPECT_EQ(cursor->nGetCurrentRow(), 2) << "the record's row in the cache";
  position->SetState(1);
  ASSERT_TRUE(cursor->bRead(READ_FIRST, 1, 1, nullptr));
  ASSERT_TRUE(cursor->bRestorePosition(position, 0));
  EXPECT_EQ(Current(u"K"), 30);
  EXPECT_EQ(cursor->nGetCurrentRow(), 0);
  EXPECT_EQ(cursor->nGetRecordSlot(), position->nGetPinnedRow());
  EXPECT_EQ(cursor->nGetRecordSlotState(), SLOT_STATE_PINNED);
  EXPECT_EQ(ReadAll(), (std::vector<std::int32_t>{10, 20, 30, 40}));
}

TEST_F(CursorSavedPositionsTest, AFailedRestoreLeavesTheContextWhereItStood) {
  ReadCached({10, 20, 30}, 0);
  table->storeSlots = true;
  ASSERT_TRUE(cursor->bTakeRecordSlot(SLOT_STATE_READ));
  const std::uint32_t slot = cursor->nGetRecordSlot();
  CSavedPosition* position = Save();
  ASSERT_TRUE(cursor->bTakeRecordSlot(SLOT_STATE_READ));
  const std::uint32_t before = cursor->nGetRecordSlot();
  EXPECT_FALSE(cursor->bRestorePosition(position, 0)) << "slot " << slot << " cannot be read";
  EXPECT_TRUE(holder->bHasError());
  holder->Clear();
  EXPECT_EQ(cursor->nGetRecordSlot(), before);
  EXPECT_EQ(cursor->nGetRecordSlotState(), SLOT_STATE_READ);
  EXPECT_EQ(table->pins[slot], 0) << "the slot taken on the way is given back";
  EXPECT_EQ(table->pins[before], 1);
  EXPECT_EQ(ReadAll(), (std::vector<std::int32_t>{10, 20, 30}));
}

TEST_F(CursorSavedPositionsTest, APositionWithoutSlotGivesOnlyItsKeyAndFilter) {
  ReadTable({10});
  CSavedPosition* position = Save();
  ASSERT_EQ(position->nGetPinnedRow(), ROW_NONE);
  CKeyCondition* node = cursor->pNewConditionNode(holder);
  cursor->SetConditionNode(node);
  CFilterHolder* filter = cursor->pNewFilterNode(holder);
  filter->AddRef();
  position->bSetConditionContext(filter);
  ASSERT_TRUE(cursor->bRestorePosition(position, 0));
  EXPECT_EQ(cursor->pGetFilterNode(), nullptr) << "the filter comes only with flag 1";
  EXPECT_EQ(table->keyCondition, nullptr);
  ASSERT_TRUE(cursor->bRestorePosition(position, 1));
  EXPECT_EQ(cursor->pGetFilterNode(), filter);
  EXPECT_EQ(table->keyCondition, node);
  EXPECT_EQ(table->resets, 0) << "nothing was read";
  filter->nRelease();
}

TEST_F(CursorSavedPositionsTest, NoticesFromAnotherCursorKeepTheCacheInStep) {
  ReadCached({10, 20, 30}, 2, 0x4000);
  ASSERT_TRUE(cursor->bRead(READ_NEXT, 1, 1, nullptr));
  ASSERT_TRUE(OutOfRange());
  CRowCache* cache = cursor->pGetRowCache();
  ASSERT_TRUE(cursor->bCacheComplete());

  // Update of row 20 (the last-read image) to V 99.
  cursor->Load(20);
  ASSERT_TRUE(columns->bAcceptCurrent());
  cursor->SetInt(u"V", 99);
  ASSERT_TRUE(cursor->NotifyRowChange(SQL_STATEMENT_UPDATE, ROW_NONE, nullptr, 0, nullptr));
  ASSERT_TRUE(cursor->bRead(READ_FIRST, 1, 2, nullptr));
  EXPECT_EQ(Current(u"V"), 99);

  // Insert of 40: stored, and the current row of a complete cache.
  cursor->Load(40);
  ASSERT_TRUE(cursor->NotifyRowChange(SQL_STATEMENT_INSERT, ROW_NONE, nullptr, 0, nullptr));
  EXPECT_EQ(cache->nGetRowCount(), 4u);
  EXPECT_EQ(cursor->nGetCurrentRow(), 3);

  // Delete of 10: its positions marked, the row deleted in the cache.
  auto* position = new CSavedPosition();
  positions.push_back(position);
  position->AddRef();
  position->bSave(0, ROW_NONE, CPositionKey(), 0);
  ASSERT_TRUE(cursor->RegisterSavedPosition(position, 1));
  ASSERT_TRUE(cursor->bRead(READ_FIRST, 1, 1, nullptr));
  ASSERT_TRUE(cursor->NotifyRowChange(SQL_STATEMENT_DELETE, ROW_NONE, nullptr, 0, nullptr));
  EXPECT_EQ(position->nGetState(), 1u);
  EXPECT_TRUE(cursor->bIsCurrentRowDeleted());
  EXPECT_TRUE(cache->bIsRowDeleted(0));
  EXPECT_EQ(ReadAll(), (std::vector<std::int32_t>{20, 30, 40}));
  EXPECT_TRUE(cursor->bUnregisterSavedPosition(1));
  EXPECT_FALSE(cursor->bUnregisterSavedPosition(1));
  EXPECT_EQ(position->nGetRefCount(), 1u) << "the registry's reference given back";
}

TEST_F(CursorSavedPositionsTest, NoticesFromItselfOnlyRetakeTheSlot) {
  ReadTable({10, 20});
  table->storeSlots = true;
  ASSERT_TRUE(cursor->bBuildStatement(SQL_STATEMENT_SELECT, NewStatement(), 0));
  ASSERT_TRUE(cursor->bOpen(0, 0x4000));
  ASSERT_TRUE(cursor->bRead(READ_FIRST, 1, 1, nullptr));
  cursor->Load(50);
  ASSERT_TRUE(cursor->NotifyRowChange(SQL_STATEMENT_INSERT, ROW_NONE, cursor, 0, nullptr));
  EXPECT_EQ(cursor->nGetRecordSlotState(), SLOT_STATE_READ) << "no cache: the slot is taken as read";
  EXPECT_EQ(cursor->nGetRecordSlot(), 0u);
  ASSERT_TRUE(cursor->bRead(READ_NEXT, 1, 1, nullptr));
  EXPECT_EQ(Current(u"K"), 20);
}

TEST_F(CursorSavedPositionsTest, GoingToAPlaceInThousandthsReadsToItsRow) {
  ReadTable({});
  struct Case {
    std::uint32_t perMille;
    std::int64_t rows;
    std::uint32_t target;
  };
  for (const Case& c : {Case{1, 500, 1}, Case{500, 7, 3}, Case{0, 7, 1}, Case{1000, 4300000, 4300000}}) {
    table->total = c.rows;
    table->contextReads.clear();
    ASSERT_TRUE(cursor->bGoToPerMille(c.perMille, u"K", 0x10));
    ASSERT_EQ(table->contextReads.size(), 1u);
    EXPECT_EQ(table->contextReads[0], (doubles::CursorTable::SContextRead{READ_FIRST, c.target, 0x2010}))
        << c.perMille << " of " << c.rows;
  }
  table->countAnswer = 0;
  table->contextReads.clear();
  EXPECT_FALSE(cursor->bGoToPerMille(5, u"K", 0));
  EXPECT_TRUE(table->contextReads.empty());
}

TEST_F(CursorSavedPositionsTest, ReadingOnHandsOutTheRowsValues) {
  ReadTable({3, 4});
  ASSERT_TRUE(cursor->bBuildStatement(SQL_STATEMENT_SELECT, NewStatement(), 0));
  ASSERT_TRUE(cursor->bOpen(0, 0));
  CHostValue values[3];
  std::uint32_t out = 1;
  ASSERT_TRUE(cursor->bReadNextValues(READ_FIRST, &out, values, 3));
  EXPECT_EQ(out, 0u);
  std::int32_t k = 0, v = 0;
  values[0].nGet(&k);
  values[1].nGet(&v);
  EXPECT_EQ(k, 3);
  EXPECT_EQ(v, 30);
  ASSERT_TRUE(cursor->bReadNextValues(READ_NEXT, &out, values, 1));
  values[0].nGet(&k);
  EXPECT_EQ(k, 4);
  ASSERT_TRUE(cursor->bReadNextValues(READ_NEXT, &out, values, 1));
  EXPECT_EQ(out, 1u);
}

TEST_F(CursorSavedPositionsTest, AQueryWithoutSubQueriesIsCountedByReading) {
  Begin(3);
  Add(u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, false);
  Finish();
  table->queryMode = 1;
  cursor->fixedSelect = true;
  cursor->rows = {4, 5, 6};
  std::int64_t count = 0;
  ASSERT_TRUE(cursor->bGetRecordCount(&count, 0, 0));
  EXPECT_EQ(count, 3);
  cursor->fetchNumber = 0;
  cursor->failAtFetch = 2;
  EXPECT_FALSE(cursor->bGetRecordCount(&count, 0, 0));
  EXPECT_EQ(count, 3) << "a failed count by reading leaves the count";
  EXPECT_TRUE(holder->bHasError());
  holder->Clear();
  cursor->failAtFetch = 0;
  cursor->rows = {};
  ASSERT_TRUE(cursor->bGetRecordCount(&count, 0, 0));
  EXPECT_EQ(count, 0);
}

// The values the server handed back go to the runtime: result columns into the caller's values in binding order,
// and the output parameters of an SQL query (named, not cursors, each name once) to the declared parameter of their
// name; a value that cannot be loaded is error 53, and the others are handed back all the same.
TEST_F(CursorSavedPositionsTest, ResultValuesAndOutputParametersGoBackToTheRuntime) {
  ReadTable({3});
  driver.realBindings = true;
  std::vector<CRefCounted*> held;
  auto hold = [&](auto* object) {
    object->AddRef();
    held.push_back(object);
    return object;
  };
  auto intValue = [&](std::int32_t n) {
    auto* value = hold(new doubles::RecordingFieldValue(holder, connection));
    CHostValue host;
    host.SetType(HOST_TYPE_INT32);
    host.Set(&n);
    value->InitType(HOST_TYPE_INT32, 4);
    EXPECT_TRUE(value->bSetValue(host));
    return value;
  };
  auto failingValue = [&] {
    auto* value = hold(new doubles::RecordingFieldValue(holder, connection));
    value->InitType(HOST_TYPE_ASTRING, 12);
    void* buffer = nullptr;
    std::uint64_t size = 0;
    EXPECT_TRUE(value->bGetNativeBuffer(&buffer, &size));
    value->readAnswer = 0;
    return value;
  };
  auto number = [](CHostValue& value) {
    std::int32_t n = -1;
    if (value.nGetType() == HOST_TYPE_INT32) value.nGet(&n);
    return n;
  };

  ASSERT_TRUE(cursor->CCursor::bAddColumnBinding(hold(new CSqlElement(u"A", intValue(7))), 0));
  ASSERT_TRUE(cursor->CCursor::bAddColumnBinding(hold(new CSqlElement(u"B", intValue(8))), 1));
  CHostValue values[2];
  ASSERT_TRUE(cursor->bGetColumnValue(values, 0));
  EXPECT_EQ(values[0].nGetType(), 0u) << "flag 0 hands out nothing";
  ASSERT_TRUE(cursor->bGetColumnValue(values, 1));
  EXPECT_EQ(number(values[0]), 7);
  EXPECT_EQ(number(values[1]), 8);
  ASSERT_TRUE(cursor->CCursor::bAddColumnBinding(hold(new CSqlElement(u"C", failingValue())), 2));
  EXPECT_FALSE(cursor->bGetColumnValue(values, 1));

  doubles::RecordingFieldValue* p = intValue(42);
  const struct {
    const char16_t* name;
    CFieldValue* value;
    std::uint32_t flags;
  } parameters[] = {{u"P", p, LEAF_FLAG_NAMED},
                    {u"P", p, LEAF_FLAG_NAMED},
                    {u"R", intValue(5), LEAF_FLAG_NAMED | LEAF_FLAG_CURSOR_PARAMETER},
                    {u"I", intValue(6), 0},
                    {u"Q", failingValue(), LEAF_FLAG_NAMED}};
  qzrt::DeclaredParameters declared;
  CHostValue p_out, r_out, i_out, q_out;
  declared.Declare(u"P", &p_out);
  declared.Declare(u"R", &r_out);
  declared.Declare(u"I", &i_out);
  declared.Declare(u"Q", &q_out);
  qzrt::QueryAnalysis analysis;
  analysis.declaredParameters = &declared;
  table->query = hold(new CQueryDescription(holder, reinterpret_cast<IHostQueryAnalysis*>(&analysis), nullptr, 0));
  for (std::uint32_t i = 0; i < 4; ++i) {
    const auto& parameter = parameters[i];
    CValueLeaf* leaf = hold(new CValueLeaf(parameter.value, i, parameter.flags, parameter.name));
    ASSERT_TRUE(cursor->bAddParameterBinding(leaf, i));
  }
  EXPECT_TRUE(cursor->bReadOutputParameters());
  EXPECT_EQ(p_out.nGetType(), 0u) << "a table that is not an SQL query has no output parameters";

  table->sqlQuery = 1;
  p->calls.clear();
  ASSERT_TRUE(cursor->bReadOutputParameters());
  EXPECT_EQ(number(p_out), 42);
  EXPECT_EQ(std::count(p->calls.begin(), p->calls.end(), "null?"), 1) << "a name written twice is read once";
  EXPECT_EQ(r_out.nGetType(), 0u);
  EXPECT_EQ(i_out.nGetType(), 0u);

  ASSERT_TRUE(cursor->bAddParameterBinding(hold(new CValueLeaf(parameters[4].value, 4, LEAF_FLAG_NAMED, u"Q")), 4));
  p_out.SetType(0);
  EXPECT_FALSE(cursor->bReadOutputParameters());
  EXPECT_EQ(holder->nGetErrorCode(), 53u);
  EXPECT_TRUE(doubles::HasIdentification(holder, 4, 10));
  EXPECT_EQ(number(p_out), 42);
  EXPECT_EQ(declared.References(), 1) << "the declarations given back";
  holder->Clear();
  cursor->FreeStatement();
  table->query = nullptr;
  for (CRefCounted* object : held) object->nRelease();
}

}  // namespace
