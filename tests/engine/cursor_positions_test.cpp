// The statement object's counts (COUNT query, complete cache), its place in thousandths, the completion of its row
// cache through the table, the automatic identifier taken back from the last-read image and the record read again.
#include <gtest/gtest.h>

#include "engine/record/record_buffer.h"
#include "sql/rewriter/sql_rewriter.h"
#include "tests/engine/cursor_fixture.h"

namespace {

class CursorPositionsTest : public CursorFixture {};

TEST_F(CursorPositionsTest, CountsComeFromTheCountQueryOrACompleteCache) {
  ReadTable({4, 5, 6});
  std::int64_t count = 0;
  ASSERT_TRUE(cursor->bGetRecordCount(&count, 0, 0));
  EXPECT_EQ(count, 3);
  EXPECT_EQ(cursor->pGetStatement(), nullptr) << "the COUNT statement is freed";
  cursor->scalarAnswer = 0;
  EXPECT_FALSE(cursor->bGetRecordCount(&count, 0, 0));
  EXPECT_EQ(count, -1) << "a count that could not be made";

  CSqlRewriter* statement = NewStatement();
  ASSERT_TRUE(cursor->bBuildStatement(SQL_STATEMENT_SELECT, statement, 0));
  ASSERT_TRUE(cursor->bOpen(0, 0x4000));
  cursor->AttachRowCache(1);
  ASSERT_TRUE(cursor->bRead(READ_LAST, 1, 1, nullptr));
  count = 0;
  EXPECT_FALSE(cursor->bGetCachedRecordCount(&count, 0, 0)) << "the caller must allow it too";
  ASSERT_TRUE(cursor->bGetCachedRecordCount(&count, 0x4000, 1));
  EXPECT_EQ(count, 3);
  ASSERT_TRUE(cursor->bOpen(0, 0));
  cursor->AttachRowCache(1);
  ASSERT_TRUE(cursor->bRead(READ_LAST, 1, 1, nullptr));
  EXPECT_FALSE(cursor->bGetCachedRecordCount(&count, 0x4000, 0)) << "the open must allow it";
}

TEST_F(CursorPositionsTest, ThePlaceInThousandthsIsRoundedUp) {
  struct Case {
    std::int64_t rows;
    std::int32_t current;
    bool reversed;
    std::int64_t before;  // the records the server counts before the current one; -1: the rows are all cached
    std::uint32_t perMille;
  };
  const Case cases[] = {
      {0, -1, false, 0, 1},       {7, 0, false, -1, 143},     {7, 6, false, -1, 1000},  {7, 3, false, -1, 572},
      {7, 0, true, -1, 1000},     {7, 6, true, -1, 143},      {500, 0, false, 0, 2},
      // Past 4.29 million rows the place times 1000 needs 64 bits.
      {4300000, 4299999, false, 4299999, 1000}, {4300000, 2150000, false, 2150000, 501},
      // Counted on the server, the rows take in those added or deleted since: so does the place, never past the last.
      {7, 6, false, 2, 429},      {4, 3, false, 4, 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rows << " rows at " << c.current << (c.reversed ? " reversed" : ""));
    TearDownTable();
    ReadTable(c.before < 0 ? std::vector<std::int32_t>{1, 2, 3, 4, 5, 6, 7} : std::vector<std::int32_t>{});
    ASSERT_TRUE(cursor->bBuildSelect(NewStatement(), 0, u"K", c.reversed ? 0 : 1, nullptr));
    ASSERT_TRUE(c.before >= 0 || cursor->bOpen(0, 0x4000));
    cursor->AttachRowCache(c.before < 0);
    for (std::uint32_t d = READ_FIRST, off = c.before >= 0; !off; d = READ_NEXT, cursor->GetOutOfRange(&off))
      ASSERT_TRUE(cursor->bRead(d, 1, 1, nullptr));
    table->total = c.rows;
    table->before = c.before;
    cursor->SetCurrentRow(c.current);
    std::uint32_t perMille = 0;
    ASSERT_TRUE(cursor->nGetPositionPerMille(&perMille, u"K"));
    EXPECT_EQ(perMille, c.perMille);
  }
  // With a record slot the rows before the record are counted.
  table->storeSlots = true;
  ASSERT_TRUE(cursor->bTakeRecordSlot(SLOT_STATE_READ));
  table->total = 10;
  table->before = 4;
  std::uint32_t perMille = 0;
  ASSERT_TRUE(cursor->nGetPositionPerMille(&perMille, u"K"));
  EXPECT_EQ(perMille, 500u);
  table->countAnswer = 0;
  EXPECT_FALSE(cursor->nGetPositionPerMille(&perMille, u"K"));
}

TEST_F(CursorPositionsTest, RefreshingReadsTheCacheToTheEndOrFailsWithTheRead) {
  for (const int failAt : {0, 3}) {
    SCOPED_TRACE(failAt);
    ReadTable({1, 2, 3, 4});
    table->reader = cursor;
    ASSERT_TRUE(cursor->bBuildStatement(SQL_STATEMENT_SELECT, NewStatement(), 0));
    ASSERT_TRUE(cursor->bOpen(0, 0));
    cursor->AttachRowCache(1);
    ASSERT_TRUE(cursor->bRead(READ_FIRST, 1, 1, nullptr));
    cursor->failAtFetch = failAt;
    const int answer = cursor->bRefreshRowCache();
    EXPECT_EQ(table->stores, 1);
    EXPECT_EQ(table->recalled, 77u) << "the saved context is restored";
    if (failAt) {
      EXPECT_EQ(answer, 0) << "a failed read is no complete cache";
      EXPECT_TRUE(holder->bHasError());
      EXPECT_FALSE(cursor->bCacheComplete());
      holder->Clear();
    } else {
      EXPECT_EQ(answer, 1);
      EXPECT_TRUE(cursor->bCacheComplete());
      EXPECT_EQ(cursor->pGetRowCache()->nGetRowCount(), 4u);
    }
    TearDownTable();
  }
}

TEST_F(CursorPositionsTest, TheIdentifierComesBackFromTheImageAndTheRecordIsReadAgain) {
  Begin(1);
  Add(u"ID", COLUMN_TYPE_AUTO_ID4, 4, COLUMN_FLAG_UNIQUE, false);
  Add(u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, false);
  Add(u"V", COLUMN_TYPE_INT32, 4);
  Finish();
  cursor->rows = {2};
  cursor->SetInt(u"ID", 9);
  cursor->Load(2);
  ASSERT_TRUE(columns->bAcceptCurrent());
  cursor->SetInt(u"ID", 0);
  ASSERT_TRUE(cursor->bStoreAutomaticIdentifier(nullptr, 0x100));
  EXPECT_EQ(Current(u"ID"), 0) << "an identifier the program gave stays";
  ASSERT_TRUE(cursor->bStoreAutomaticIdentifier(nullptr, 0));
  EXPECT_EQ(Current(u"ID"), 9);

  ASSERT_TRUE(cursor->bModifyRecord(0, 0));
  CSqlRewriter* select = cursor->pGetStatement();
  ASSERT_TRUE(select->bBuildFinalText(0));
  EXPECT_EQ(std::u16string(static_cast<const char16_t*>(select->pszGetOutputText(0))), u"SELECT ID,K,V FROM T WHERE K=2 ");
  EXPECT_EQ(cursor->fetches[READ_FIRST], 1);
  EXPECT_EQ(Current(u"K"), 2);
}

}  // namespace
