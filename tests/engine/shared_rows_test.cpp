// Contexts of one query sharing its rows: the source cursor's row cache read to its end once, then read by other
// cursors through keyed views of their own (the tree index for a plain key, the sorted index for a memo key) in four
// directions; a view found again on the saved row after something else moved it, also when that row is gone; the
// source dropped when its cursor closes; every reference given back.
#include <gtest/gtest.h>

#include "engine/cache/btree_key_index.h"
#include "engine/cache/keyed_row_view.h"
#include "engine/cache/saved_position.h"
#include "engine/cache/shared_row_source.h"
#include "engine/cache/sorted_key_index.h"
#include "foundation/clone_map.h"
#include "sql/rewriter/sql_rewriter.h"
#include "tests/engine/cursor_fixture.h"

namespace {

constexpr std::int32_t OUT = -1;

class SharedRowsTest : public CursorFixture {
 protected:
  // The server's rows in the order it sends them (K ascending is 1..5); M is a memo, empty on every row.
  void SetUp() override {
    CursorFixture::SetUp();
    Begin(2);
    Add(u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, false);
    Add(u"V", COLUMN_TYPE_INT32, 4);
    Add(u"M", COLUMN_TYPE_TEXT_MEMO, 8);
    Finish();
    cursor->SetSearchItem(u"K");
    cursor->rows = {3, 1, 2, 5, 4};
    ASSERT_TRUE(cursor->bBuildStatement(SQL_STATEMENT_SELECT, NewStatement(), 0));
    ASSERT_TRUE(cursor->bOpen(0, 0));
    cursor->AttachRowCache(1);
    table->reader = cursor;
    table->defaultContext = cursor;
    table->contexts.push_back(cursor);
    table->shared = new CSharedRowSource(holder, table);
    table->shared->AddRef();
    ASSERT_TRUE(table->shared->bFillFor(cursor));
  }
  void TearDown() override {
    if (table && table->shared) table->bDropSharedRowSource();
    for (doubles::ScriptedCursor* other : others) other->nRelease();
    CursorFixture::TearDown();
  }
  // Another context of the table, reading on the key.
  doubles::ScriptedCursor* Context(const char16_t* key) {
    auto* other = static_cast<doubles::ScriptedCursor*>(
        driver.pCreateCursor(reinterpret_cast<RuntimeWord>(table), reinterpret_cast<RuntimeWord>(holder)));
    other->AddRef();
    other->SetSearchItem(key);
    others.push_back(other);
    table->contexts.push_back(other);
    return other;
  }
  void Expect(doubles::ScriptedCursor* reader, std::initializer_list<std::pair<std::uint32_t, std::int32_t>> steps) {
    for (const auto& [direction, k] : steps) {
      SCOPED_TRACE(testing::Message() << "direction " << direction << " expecting " << k);
      ASSERT_TRUE(reader->bRead(direction, 1, 1, nullptr));
      std::uint32_t out = 0;
      reader->GetOutOfRange(&out);
      EXPECT_EQ(out, k == OUT ? 1u : 0u);
      if (k != OUT) {
        EXPECT_EQ(Current(u"K"), k);
      }
    }
  }

  std::vector<doubles::ScriptedCursor*> others;
};

TEST_F(SharedRowsTest, ContextsReadTheRowsFetchedOnceInTheirOwnKeyOrder) {
  Expect(cursor, {{READ_FIRST, 3}});
  doubles::ScriptedCursor* byKey = Context(u"K");
  Expect(byKey, {{READ_FIRST, 1}, {READ_NEXT, 2}, {READ_NEXT, 3}, {READ_LAST, 5}, {READ_PREVIOUS, 4},
                 {READ_FIRST, 1}, {READ_PREVIOUS, OUT}});
  CSharedRowSource* source = table->shared;
  CRowCache* cache = source->pGetBuiltCache();
  ASSERT_NE(cache, nullptr);
  EXPECT_EQ(source->pGetSourceCursor(), nullptr) << "a built source holds only the cache";
  EXPECT_TRUE(source->bIsComplete());
  EXPECT_EQ(source->nGetRowCount(), 5u);
  EXPECT_EQ(cursor->executes, 1);
  EXPECT_EQ(cursor->fetches[READ_NEXT], 6) << "each row fetched once, then the end";
  EXPECT_NE(dynamic_cast<CBTreeKeyIndex*>(byKey->pGetSharedView()->pGetKeyIndex()), nullptr);
  EXPECT_EQ(byKey->nGetStatementKind(), SQL_STATEMENT_SELECT);

  // A second context shares the same cache without a fetch; its memo key reads in the sorted index's order (every
  // key empty: the order the rows came in), and neither context disturbs the other.
  doubles::ScriptedCursor* byMemo = Context(u"M");
  Expect(byMemo, {{READ_FIRST, 3}, {READ_NEXT, 1}});
  Expect(byKey, {{READ_NEXT, 2}});
  Expect(byMemo, {{READ_LAST, 4}, {READ_PREVIOUS, 5}});
  EXPECT_EQ(byMemo->pGetRowCache(), cache);
  EXPECT_EQ(byKey->pGetRowCache(), cache);
  EXPECT_NE(dynamic_cast<CSortedKeyIndex*>(byMemo->pGetSharedView()->pGetKeyIndex()), nullptr);
  EXPECT_EQ(cursor->fetches[READ_NEXT], 6);
  EXPECT_EQ(cursor->executes, 1);

  // A copy through a clone map reads its own view over its copy of the cache, in the same order.
  CHashTable map;
  ASSERT_TRUE(bRegisterClone(map, table, table));
  CCursor* copy = byKey->pClone(map);
  ASSERT_NE(copy, nullptr);
  copy->AddRef();
  CKeyedRowView* view = copy->pGetSharedView();
  ASSERT_NE(view, nullptr);
  EXPECT_NE(view, byKey->pGetSharedView());
  EXPECT_EQ(view->pGetCursor(), copy);
  EXPECT_EQ(view->pGetRowCache(), copy->pGetRowCache());
  EXPECT_NE(view->pGetRowCache(), cache);
  std::uint32_t row = ROW_NONE;
  ASSERT_TRUE(view->bMove(ROW_MOVE_LAST, 1, &row));
  EXPECT_EQ(row, 3u) << "K = 5 came fourth";
  copy->nRelease();

  // Dropped: every view given back; the cache is the source cursor's alone again.
  table->bDropSharedRowSource();
  EXPECT_EQ(byKey->pGetSharedView(), nullptr);
  EXPECT_EQ(byMemo->pGetRowCache(), nullptr);
  EXPECT_EQ(cache->nGetRefCount(), 1u);
}

TEST_F(SharedRowsTest, AViewIsFoundAgainOnTheSavedRowBeforeItMovesOn) {
  doubles::ScriptedCursor* byKey = Context(u"K");
  Expect(byKey, {{READ_FIRST, 1}, {READ_NEXT, 2}});
  // The table pins the context's record: from now on each move starts from the saved row, wherever the view went.
  table->storeSlots = true;
  ASSERT_TRUE(byKey->bTakeRecordSlot(SLOT_STATE_READ));
  CKeyedRowView* view = byKey->pGetSharedView();
  std::uint32_t row = 0;
  ASSERT_TRUE(view->bMove(ROW_MOVE_LAST, 1, &row));
  Expect(byKey, {{READ_NEXT, 3}});
  ASSERT_TRUE(view->bMove(ROW_MOVE_FIRST, 1, &row));
  Expect(byKey, {{READ_PREVIOUS, 2}});

  // The saved row is gone (deleted through another context; the image still holds it): next reaches the row that
  // followed it, previous the one before it.
  ASSERT_TRUE(view->NotifyRowChange(ROW_CHANGE_DELETE, view->nGetCurrentRow(), 0));
  EXPECT_EQ(view->nGetCount(), 4u);
  ASSERT_TRUE(view->bMove(ROW_MOVE_LAST, 1, &row));
  Expect(byKey, {{READ_NEXT, 3}, {READ_PREVIOUS, 1}});
  ASSERT_TRUE(byKey->bTakeRecordSlot(SLOT_STATE_NONE));
}

// The source cursor, moved by the table, finds its saved record again in its cache by its key before it moves on;
// a record no longer there fails the read with error 13.
TEST_F(SharedRowsTest, TheSourceCursorFindsItsRowAgainByItsKey) {
  Expect(cursor, {{READ_FIRST, 3}, {READ_NEXT, 1}});
  table->storeSlots = true;
  ASSERT_TRUE(cursor->bTakeRecordSlot(SLOT_STATE_READ));
  cursor->SetCurrentRow(0);
  Expect(cursor, {{READ_NEXT, 2}});
  cursor->Load(9);
  ASSERT_TRUE(cursor->pGetRowCache()->ReplaceRow(2, columns->pGetCurrentRecord()));
  EXPECT_FALSE(cursor->bRead(READ_NEXT, 1, 1, nullptr));
  EXPECT_EQ(holder->nGetErrorCode(), 13u);
  EXPECT_EQ(holder->nGetRecordedCode(), 9u);
  holder->Clear();
  ASSERT_TRUE(cursor->bTakeRecordSlot(SLOT_STATE_NONE));
}

TEST_F(SharedRowsTest, TheSourceCursorsCloseDropsTheSourceItHasNotFilled) {
  Expect(cursor, {{READ_FIRST, 3}});
  EXPECT_FALSE(table->shared->bIsComplete());
  EXPECT_TRUE(table->shared->bIsSourceCache(cursor->pGetRowCache()));
  doubles::ScriptedCursor* other = Context(u"K");
  EXPECT_FALSE(table->shared->bIsSourceCursor(other));
  ASSERT_TRUE(cursor->bClose());
  EXPECT_EQ(table->drops, 1);
  EXPECT_EQ(table->shared, nullptr);
  // Without a source a context reads its own statement; it has none here.
  EXPECT_FALSE(other->bAttachSharedRowSource());
}

// A context moved by the table finds its row again among identical rows (three rows of K = 2 here), also after
// reading them backwards; rows written through another context take their place in its key order; a position key
// tells whether the row reached still stands on it.
TEST_F(SharedRowsTest, AViewKeepsItsPlaceAmongIdenticalKeysAndFollowsOtherContextsWrites) {
  cursor->rows = {3, 1, 2, 2, 2, 4};
  doubles::ScriptedCursor* byValue = Context(u"V");
  Expect(byValue, {{READ_LAST, 4}});
  table->storeSlots = true;
  ASSERT_TRUE(byValue->bTakeRecordSlot(SLOT_STATE_READ));
  Expect(byValue, {{READ_PREVIOUS, 3}, {READ_PREVIOUS, 2}});
  EXPECT_EQ(byValue->nGetDuplicateCount(), 2u) << "the last of three";
  Expect(byValue, {{READ_PREVIOUS, 2}, {READ_PREVIOUS, 2}, {READ_PREVIOUS, 1}, {READ_NEXT, 2}});
  ASSERT_TRUE(byValue->bTakeRecordSlot(SLOT_STATE_NONE));
  table->storeSlots = false;

  doubles::ScriptedCursor* byKey = Context(u"K");
  Expect(byKey, {{READ_FIRST, 1}});
  CKeyedRowView* view = byKey->pGetSharedView();
  ASSERT_TRUE(byKey->NotifyRowChange(ROW_CHANGE_DELETE, view->nGetCurrentRow(), cursor, 0, nullptr));
  EXPECT_EQ(view->nGetCount(), 5u);
  cursor->Load(0);
  const std::uint32_t added = byKey->pGetRowCache()->bStoreRecord(columns->pGetCurrentRecord());
  ASSERT_NE(added, ROW_NONE);
  ASSERT_TRUE(byKey->NotifyRowChange(ROW_CHANGE_INSERT, added, cursor, 0, nullptr));
  Expect(byKey, {{READ_FIRST, 0}, {READ_NEXT, 2}});
  EXPECT_TRUE(byKey->NotifyRowChange(ROW_CHANGE_INSERT, added, byKey, 0, nullptr)) << "its own write is in place";
  EXPECT_EQ(view->nGetCount(), 6u);

  // A position read back from the shared cache (the last of the three K = 2): the context stands on the position's
  // slot and place among equal keys, and reads on from its row.
  auto* store = new CKeyedRowCache();
  store->AddRef();
  table->recordStore = store;
  CSavedPosition* position = new CSavedPosition();
  position->AddRef();
  position->SetOwner(byKey);
  ASSERT_TRUE(position->bSave(4, 7, CPositionKey(), 2));
  ASSERT_TRUE(byKey->bGoToCachedRow(4, position));
  EXPECT_EQ(Current(u"K"), 2);
  EXPECT_EQ(byKey->nGetRecordSlot(), 7u);
  EXPECT_EQ(byKey->nGetRecordSlotState(), SLOT_STATE_PINNED);
  EXPECT_EQ(byKey->nGetDuplicateCount(), 2u);
  Expect(byKey, {{READ_NEXT, 3}});
  ASSERT_TRUE(byKey->bTakeRecordSlot(SLOT_STATE_NONE));
  position->nRelease();
  table->recordStore = nullptr;
  store->nRelease();

  CPositionKey onTwo;
  CHostValue two;
  const std::int32_t k = 2;
  two.SetType(HOST_TYPE_INT32);
  two.Set(&k);
  onTwo.Set(columns->pFindColumnByName(u"K")->pGetDescriptorNoRef(), two, 0);
  byKey->SetPositionKey(onTwo);
  const std::pair<std::uint32_t, std::uint32_t> reads[] = {{READ_FIRST, 0}, {READ_NEXT, 1}, {READ_LAST, 0}};
  for (const auto& [direction, rowValues] : reads) {
    ASSERT_TRUE(byKey->bRead(direction, 1, 1, nullptr));
    EXPECT_EQ(byKey->bGetRowValues(), rowValues) << "on K = " << Current(u"K");
  }
  Expect(byKey, {{READ_NEXT, OUT}});
  EXPECT_EQ(byKey->bGetRowValues(), 0u) << "no row, no values";
}

}  // namespace
