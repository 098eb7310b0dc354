// The table object in query mode: its refusals, pending runs and the read-ahead of the SELECT a context prepares.
#include <gtest/gtest.h>

#include <string>

#include "engine/cache/shared_row_source.h"
#include "engine/record/table_description.h"
#include "sql/rewriter/sql_rewriter.h"
#include "standin/runtime/query_objects.h"
#include "tests/engine/table_fixture.h"

namespace {

class SizedTable : public CTable {
 public:
  using CTable::CTable;
  void SetRecordSize(std::uint64_t size) { m_nRecordSize = size; }
};

class TableQueryTest : public TableFixture {
 protected:
  SizedTable* Table() { return KeyValueTableOf<SizedTable>(); }
  RuntimeWord Query(qzrt::QueryAnalysis& analysis) { return reinterpret_cast<RuntimeWord>(&analysis); }
};

TEST_F(TableQueryTest, QueryModeRefusesTextsItCannotCarryAndLimitBeforeRunningAnything) {
  Table();
  qzrt::QueryAnalysis sql;
  sql.SetText(qzrt::QueryAnalysis::kSqlText, u"SELECT 'Ω' FROM T");
  std::uint32_t hasRows = 7;
  connection->SetSessionCodePage(1252);
  EXPECT_EQ(subject->bExecuteQuery(&hasRows, u"Q", Query(sql), 4, 0), 0);
  EXPECT_EQ(hasRows, 0u);
  EXPECT_EQ(holder->nGetErrorCode(), 77u);
  EXPECT_TRUE(doubles::HasIdentification(holder, 3, 26));
  EXPECT_NE(std::u16string(holder->pGetEmbeddedObject()->pszGetDebugText()).find(u"SELECT 'Ω' FROM T"),
            std::u16string::npos);
  EXPECT_EQ(subject->nGetContextCount(), 0u);
  // UTF-8 and UTF-16 sessions carry every text: never checked.
  for (std::uint32_t codePage : {65001u, 0xFFFFFFFEu}) {
    holder->Clear();
    connection->SetSessionCodePage(codePage);
    subject->bExecuteQuery(&hasRows, u"Q", Query(sql), 4, 0);
    EXPECT_NE(holder->nGetErrorCode(), 77u) << codePage;
  }

  // A query the runtime analysed, ending with LIMIT and a count.
  qzrt::QueryAnalysis limited;
  limited.SetNumber(qzrt::QueryAnalysis::kKind, 1);
  limited.SetText(qzrt::QueryAnalysis::kSqlText, u"SELECT K FROM T LIMIT 10");
  holder->Clear();
  subject->bClose();
  EXPECT_EQ(subject->bExecuteQuery(&hasRows, u"Q", Query(limited), 0, 0), 0);
  EXPECT_EQ(holder->nGetErrorCode(), 45u);
  EXPECT_TRUE(doubles::HasIdentification(holder, 3, 8));
  EXPECT_EQ(subject->nGetContextCount(), 0u) << "refused before any statement";
  EXPECT_FALSE(subject->bIsOpen());
  // The keyword inside a literal is no LIMIT clause.
  limited.SetText(qzrt::QueryAnalysis::kSqlText, u"SELECT K FROM T WHERE V = 'LIMIT'");
  EXPECT_EQ(subject->bQueryHasLimit(), 0);
  // The parsed query holds the runtime's objects: the table goes first.
  subject->nRelease();
  subject = nullptr;
}

TEST_F(TableQueryTest, APendingRunOnlyPreparesAndTheNextRunsItAsPrepared) {
  Table();
  std::uint32_t hasRows = 7;
  const std::uint32_t pending = 16 | (1u << 17);
  ASSERT_EQ(subject->bRunQueryText(&hasRows, u"Q", pending, u"SELECT K FROM T", 0, 0), 1);
  EXPECT_TRUE(subject->bIsPending());
  EXPECT_TRUE(subject->bIsSqlQuery()) << "a text without a query object is SQL text";
  EXPECT_EQ(subject->nGetFlagWord() & (1u << 17), 0u) << "bit 17 means nothing and is never set";
  auto* sql = Context(u"__SQL");
  ASSERT_NE(sql, nullptr);
  EXPECT_EQ(sql->prepares, 1);
  EXPECT_EQ(sql->executes, 0);
  CSqlRewriter* prepared = sql->pGetStatement();
  ASSERT_NE(prepared, nullptr);
  EXPECT_EQ(std::u16string(prepared->pszGetSourceText()), u"SELECT K FROM T");

  ASSERT_EQ(subject->bRunQueryText(&hasRows, u"Q", 0, u"SELECT OTHER", 0, 0), 1);
  EXPECT_FALSE(subject->bIsPending());
  EXPECT_EQ(sql->executes, 1);
  EXPECT_EQ(sql->prepares, 1) << "run as prepared, not built again";
  EXPECT_EQ(sql->pGetStatement(), prepared);
  EXPECT_EQ(hasRows, 0u) << "the scripted result describes no column";

  // A resumed run that fails says why in the holder, and the query is no longer pending.
  ASSERT_EQ(subject->bRunQueryText(&hasRows, u"Q", 16, u"SELECT K FROM T", 0, 0), 1);
  Context(u"__SQL")->executeAnswer = 0;
  EXPECT_EQ(subject->bRunQueryText(&hasRows, u"Q", 0, nullptr, 0, 0), 0);
  EXPECT_TRUE(holder->bHasError());
  EXPECT_FALSE(subject->bIsPending());
}

TEST_F(TableQueryTest, TheReadAheadFollowsTheRecordSizeAndSplitsALargeRequest) {
  SizedTable* table = Table();
  ASSERT_TRUE(subject->bEnsureTableDescription());
  CCursor* context = subject->pSelectContext(u"K", READ_FIRST, 0);
  struct Row {
    std::uint64_t recordSize;
    const char16_t* key;
    std::uint32_t asked;
    std::uint32_t readAhead, count, rest;
  };
  const Row rows[] = {
      {100000, nullptr, 30, 20, 7, 23},     // a megabyte holds 10 records: raised to 20; 20 / 3 + 1 first
      {100000, nullptr, 10, 20, 10, 0},     // less than the read-ahead asked: kept
      {10000, u"K", 200, 104, 10, 190},     // more than 20 rows ahead: 10 first
      {0, nullptr, 30, 0xFFFFFFFF, 30, 0},  // no record size: the driver's default, nothing split
      {100000, u"V", 30, 0, 30, 0},         // a key with duplicates reads nothing ahead
  };
  for (const Row& row : rows) {
    table->SetRecordSize(row.recordSize);
    CSqlRewriter* statement = subject->pNewSqlStatement();
    statement->AddRef();
    std::uint32_t count = row.asked;
    ASSERT_EQ(subject->bPrepareStatement(statement, context, row.key, 1, 0, &count), 1);
    EXPECT_EQ(statement->nGetStatementKind(), 1u);
    EXPECT_EQ(statement->nGetReadAhead(), row.readAhead) << row.recordSize;
    EXPECT_EQ(count, row.count) << row.recordSize;
    EXPECT_EQ(statement->nGetRequestRest(), row.rest) << row.recordSize;
    statement->nRelease();
  }
}

// A query over T (K unique, V of the type given) as the runtime analyses it (kind 1), K its link.
struct AnalysedQuery {
  using I = qzrt::ItemDescription;
  explicit AnalysedQuery(std::uint32_t valueType, std::uint32_t valueSize) {
    for (I* column : {&kColumn, &vColumn}) column->SetText(I::kTableName, u"T");
    kColumn.SetNumber(I::kType, COLUMN_TYPE_INT32);
    kColumn.SetNumber(I::kSize, 4);
    vColumn.SetNumber(I::kType, valueType);
    vColumn.SetNumber(I::kSize, valueSize);
    kColumn.SetNumber(I::kKeyed, 1);
    kColumn.SetNumber(I::kUnique, 1);
    kColumn.SetNumber(I::kAscendingKey, 1);
    analysis.SetNumber(qzrt::QueryAnalysis::kKind, 1);
    analysis.SetText(qzrt::QueryAnalysis::kSqlText, u"SELECT K, V FROM T");
    analysis.files = {&file};
    analysis.items = {&k, &v};
    analysis.columns = {{&k, &kColumn}, {&v, &vColumn}};
    analysis.links = {&link};
  }
  I k{u"K"}, v{u"V"}, kColumn{u"K"}, vColumn{u"V"};
  qzrt::QueryFile file{u"T", u"T"};
  qzrt::KeyLink link{0, false};
  qzrt::QueryAnalysis analysis;
};

// The table reads an analysed query itself through its identifying key: the first read carries the query-key
// flag, so the context searches by the link's item and the first row is loaded.
TEST_F(TableQueryTest, AnAnalysedQueryReadsItsFirstRecordThroughTheQueryKey) {
  Table();
  driver.rows = {4, 7};
  AnalysedQuery query(COLUMN_TYPE_INT32, 4);
  std::uint32_t hasRows = 0;
  ASSERT_EQ(subject->bExecuteQuery(&hasRows, u"Q", Query(query.analysis), 0, 0), 1) << holder->nGetErrorCode();
  EXPECT_EQ(hasRows, 1u);
  CCursor* context = subject->pGetCurrentContext();
  ASSERT_NE(context, nullptr);
  EXPECT_NE(context->nGetOpenFlags() & READ_FLAG_QUERY_KEY, 0u);
  EXPECT_EQ(std::u16string(context->pszGetSearchItem()), u"K");
  auto* scripted = static_cast<doubles::ScriptedCursor*>(context);
  EXPECT_EQ(scripted->fetches[READ_FIRST], 1);
  EXPECT_EQ(scripted->position, 0) << "the first row, not one an offset skipped to";
  subject->nRelease();
  subject = nullptr;
}

// The catalog describes V wider than the query's item: the item takes the catalog's type, the record is laid out
// again, the stored records of the old layout go and each context makes its statement again.
TEST_F(TableQueryTest, ACatalogItemWiderThanTheQuerysItemLaysTheRecordOutAgain) {
  Table();
  driver.rows = {4, 7};
  AnalysedQuery query(COLUMN_TYPE_INT16, 2);
  std::uint32_t hasRows = 0;
  ASSERT_EQ(subject->bExecuteQuery(&hasRows, u"Q", Query(query.analysis), 0, 0), 1) << holder->nGetErrorCode();
  CRecordDescription* record = subject->pGetDriverDescription();
  ASSERT_EQ(record->nGetRecordSize(), 6u);
  ASSERT_NE(subject->nStoreCurrentRecord(), SLOT_NONE);
  ASSERT_EQ(subject->pGetRecordStore()->nGetRowCount(), 1u);
  std::uint32_t before = 0, after = 0;
  ASSERT_EQ(subject->bStorePosition(reinterpret_cast<RuntimeWord>(&before), u"K", 0), 1);
  CCursor* context = subject->pGetCurrentContext();
  ASSERT_NE(context->pGetStatement(), nullptr);

  CRecordDescription* catalog = driver.CDriver::pCreateDescription(connection, holder);
  catalog->AddRef();
  for (const char16_t* name : {u"K", u"V"}) {
    CColumnDescriptor* item = pCreateColumnDescriptorThroughDriver(nullptr, 0);
    item->bSetAll(name, u"T", u"", 1, 4, COLUMN_TYPE_INT32, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0);
    ASSERT_TRUE(catalog->AddItem(item));
  }
  catalog->LayoutItems();
  ASSERT_EQ(subject->bAttachDescription(catalog), 1) << holder->nGetErrorCode();
  catalog->nRelease();
  EXPECT_EQ(record->pGetItemAt(1)->nGetType(), std::uint32_t{COLUMN_TYPE_INT32});
  EXPECT_EQ(record->nGetRecordSize(), 8u);
  EXPECT_EQ(subject->pGetRecordStore()->nGetRowCount(), 0u) << "records of the old layout are gone";
  EXPECT_EQ(context->pGetStatement(), nullptr) << "the context's statement is made again in the new layout";
  // The next read reads in the new layout.
  ASSERT_EQ(subject->bRead(u"K", READ_FIRST, 0, 1, 0, READ_FLAG_QUERY_KEY), 1) << holder->nGetErrorCode();
  CHostValue value;
  std::int32_t v = 0;
  ASSERT_TRUE(subject->pGetTableDescription()->pFindColumnByName(u"V")->bGetValue(value, 0));
  value.nGet(&v);
  EXPECT_EQ(v, 40);
  // A position saved before the relayout is gone: letting it go frees no record a newer one holds.
  ASSERT_EQ(subject->bStorePosition(reinterpret_cast<RuntimeWord>(&after), u"K", 0), 1);
  ASSERT_EQ(subject->bRead(u"K", READ_NEXT, 0, 1, 0, READ_FLAG_QUERY_KEY), 1) << holder->nGetErrorCode();
  EXPECT_EQ(subject->bReleasePosition(before), 1);
  subject->nStoreCurrentRecord();
  ASSERT_EQ(subject->bRecallPosition(after, 0, 1, 0), 1) << holder->nGetErrorCode();
  ASSERT_TRUE(subject->pGetTableDescription()->pFindColumnByName(u"K")->bGetValue(value, 0));
  value.nGet(&v);
  EXPECT_EQ(v, 4);
  EXPECT_EQ(subject->bRecallPosition(before, 0, 1, 0), 0);
  EXPECT_EQ(holder->nGetErrorCode(), 11u);
  subject->nRelease();
  subject = nullptr;
}

TEST_F(TableQueryTest, TheSqlContextIsReFiledUnderTheProgramsName) {
  Table();
  CCursor* sql = subject->pGetSqlContext();
  ASSERT_NE(sql, nullptr);
  subject->RenameSqlContext(u"Orders");
  EXPECT_EQ(subject->pFindContext(u"__SQL"), nullptr);
  EXPECT_EQ(subject->pFindContext(u"ORDERS"), sql);
  EXPECT_EQ(std::u16string(sql->pszGetSearchItem()), u"Orders");
  EXPECT_EQ(subject->RenameContext(u"nothing", u"x"), 1) << "nothing to re-file";
}

// The result's description is the one the test gives (the scripted statement describes nothing), and attaching
// it is taken as done: that is the catalog side's work.
class DescribedTable : public CTable {
 public:
  DescribedTable(IHostFileDescription* description, CConnection* connection, CErrorHolder* holder,
                 CRecordDescription* result)
      : CTable(description, connection, holder), m_pResult(result) {}
  CRecordDescription* pNewRecordDescription(const char16_t*) override { return m_pResult; }
  int bAttachDescription(CRecordDescription*) override { return ++attached, 1; }
  int attached = 0;

 private:
  CRecordDescription* m_pResult;
};

TEST_F(TableQueryTest, AnInternalQueryWithRowsHandsOutItsContextReadyToRead) {
  Begin(2);
  Add(u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, false);
  Add(u"V", COLUMN_TYPE_INT32, 4);
  description->LayoutItems();
  auto* table = new DescribedTable(nullptr, connection, holder, description);
  table->AddRef();
  subject = table;
  CCursor* context = subject->pRunInternalQuery(0, u"SELECT K, V FROM T");
  ASSERT_NE(context, nullptr) << holder->nGetErrorCode();
  EXPECT_EQ(table->attached, 1);
  EXPECT_EQ(subject->pGetCurrentContext(), context);
  EXPECT_EQ(subject->pFindContext(u"K"), context) << "re-filed under the identifying key's name";
  EXPECT_EQ(subject->pFindContext(u"__SQL"), nullptr);
  EXPECT_EQ(context->pGetColumnSet(), subject->pGetTableDescription()) << "made before the table had columns";
  EXPECT_TRUE(subject->bIsOpen());
  EXPECT_TRUE(subject->bIsSqlQuery());
  EXPECT_EQ(static_cast<doubles::ScriptedCursor*>(context)->pGetStatement()->Lists().nGetSelectColumnCount(), 2u)
      << "every column of the result is selected";
  ASSERT_NE(subject->pGetSharedRowSource(), nullptr);
  EXPECT_TRUE(subject->pGetSharedRowSource()->bIsSourceCursor(context));
  EXPECT_EQ(context->nGetRefCount(), 3u) << "the context table's, the source's and the caller's";
  context->nRelease();
}

}  // namespace
