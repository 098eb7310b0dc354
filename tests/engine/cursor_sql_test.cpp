// The statement object's SQL texts through the real rewriter, final texts compared whole (blanks included), for the
// Oracle dialect (kind 1) and another (kind 2): CREATE TABLE with its constraints, SELECT with its ORDER BY and key
// completion, LIMIT kept last, DROP, COUNT, INSERT and UPDATE with every written column (also after a composite key)
// and the record WHERE by unique key and by row id; the read order of a query that sorts itself; and the replacement
// of oversized type texts.
#include <gtest/gtest.h>

#include <memory>

#include "engine/record/query_description.h"
#include "engine/record/table_description.h"
#include "sql/rewriter/sql_element.h"
#include "sql/rewriter/sql_rewriter.h"
#include "standin/runtime/query_objects.h"
#include "tests/engine/cursor_fixture.h"
#include "tests/slot_call.h"

namespace {

class CursorSqlTest : public CursorFixture {
 protected:
  // K (primary key), NAME (unique, not null unless asked), the composite key KN over both, QTY and NOTE: the columns
  // after the composite key are columns of the table too.
  void Items(std::uint32_t kind, bool versionSix = true, bool nameNotNull = true) {
    Begin(kind, versionSix);
    CColumnDescriptor* k = Add(u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, false);
    CColumnDescriptor* name = Add(u"NAME", COLUMN_TYPE_TEXT, 20, COLUMN_FLAG_UNIQUE, !nameNotNull);
    AddComposite(u"KN", {k, name}, COLUMN_FLAG_DUPLICATES);
    Add(u"QTY", COLUMN_TYPE_INT32, 4);
    Add(u"NOTE", COLUMN_TYPE_TEXT, 10);
    Finish();
    cursor->SetSearchItem(u"K");
  }
  std::u16string Final(CSqlRewriter* statement) {
    if (!statement->bBuildFinalText(0)) return u"<failed>";
    return static_cast<const char16_t*>(statement->pszGetOutputText(0));
  }
  std::u16string Built(std::uint32_t kind, std::uint32_t flags = 0) {
    CSqlRewriter* statement = NewStatement();
    if (!cursor->bBuildStatement(kind, statement, flags)) return u"<failed>";
    return Final(statement);
  }
  std::u16string Select(const char16_t* sort, int ascending, std::uint32_t flags = 0) {
    CSqlRewriter* statement = NewStatement();
    if (!cursor->bBuildSelect(statement, flags, sort, ascending, nullptr)) return u"<failed>";
    return Final(statement);
  }
  void SetText(const char16_t* name, const char16_t* text) {
    CHostValue value;
    value.SetType(HOST_TYPE_TEXT);
    value.Set(text);
    columns->pFindColumnByName(name)->bSetValue(value, 0);
  }
  // The row K 1, NAME 'A''B', QTY 5, NOTE NULL, as last read.
  void ReadRow() {
    cursor->SetInt(u"K", 1);
    SetText(u"NAME", u"A'B");
    cursor->SetInt(u"QTY", 5);
    ASSERT_TRUE(columns->bAcceptCurrent());
  }
};

TEST_F(CursorSqlTest, CreateAndDropTexts) {
  for (const std::uint32_t kind : {1u, 2u}) {
    SCOPED_TRACE(kind);
    Items(kind);
    EXPECT_EQ(Built(SQL_STATEMENT_CREATE),
              u"CREATE TABLE T( K INTEGER  PRIMARY KEY , NAME VARCHAR(19)  UNIQUE  NOT NULL , QTY INTEGER, "
              u"NOTE VARCHAR(9) )");
    EXPECT_EQ(Built(SQL_STATEMENT_DROP), kind == 1 ? u"DROP TABLE T CASCADE CONSTRAINT" : u"DROP TABLE T");
    TearDownTable();
  }
  // The engine's own description writes no NOT NULL.
  Items(1, false);
  EXPECT_EQ(Built(SQL_STATEMENT_CREATE),
            u"CREATE TABLE T( K INTEGER  PRIMARY KEY , NAME VARCHAR(19)  UNIQUE , QTY INTEGER, NOTE VARCHAR(9) )");
  TearDownTable();
  // A table whose only column is a composite key has nothing between its parentheses.
  Begin(1);
  AddComposite(u"KN", {}, COLUMN_FLAG_DUPLICATES);
  Finish();
  EXPECT_EQ(Built(SQL_STATEMENT_CREATE), u"CREATE TABLE T(  )");
}

TEST_F(CursorSqlTest, SelectOrdersByTheSortItemCompletedUntilOneRowIsIdentified) {
  for (const std::uint32_t kind : {1u, 2u}) {
    SCOPED_TRACE(kind);
    Items(kind);
    EXPECT_EQ(Built(SQL_STATEMENT_SELECT), u"SELECT K,NAME,QTY,NOTE FROM T");
    EXPECT_FALSE(cursor->bIsReversed());
    EXPECT_EQ(Select(u"QTY", 1), u"SELECT K,NAME,QTY,NOTE FROM T ORDER BY QTY,K");
    EXPECT_EQ(Select(u"QTY", 0), u"SELECT K,NAME,QTY,NOTE FROM T ORDER BY QTY DESC,K DESC");
    EXPECT_TRUE(cursor->bIsReversed());
    // An identifying sort item needs no completion; a DISTINCT over a usable key is none.
    EXPECT_EQ(Select(u"NAME", 1, BUILD_DISTINCT), u"SELECT K,NAME,QTY,NOTE FROM T ORDER BY NAME");
    cursor->SetOrderCompletion(ORDER_COMPLETE_ASCENDING);
    EXPECT_EQ(Select(u"QTY", 0), u"SELECT K,NAME,QTY,NOTE FROM T ORDER BY QTY DESC");
    EXPECT_EQ(Select(u"QTY", 1, BUILD_NO_COMPLETION), u"SELECT K,NAME,QTY,NOTE FROM T ORDER BY QTY");
    cursor->SetOrderCompletion(ORDER_COMPLETE_ASCENDING | ORDER_COMPLETE_DESCENDING);
    // A sort item the description does not know: error 6 at 4.9.
    EXPECT_EQ(Select(u"NOPE", 1), u"<failed>");
    EXPECT_EQ(holder->nGetErrorCode(), 6u);
    EXPECT_TRUE(doubles::HasIdentification(holder, 4, 9));
    holder->Clear();
    EXPECT_EQ(Built(SQL_STATEMENT_NONE + 7), u"<failed>") << "no statement of kind 7";
    TearDownTable();
  }
  // A unique NAME that allows NULL is completed unless the condition keeps its NULL rows out.
  Items(1, true, false);
  EXPECT_EQ(Select(u"NAME", 1), u"SELECT K,NAME,QTY,NOTE FROM T ORDER BY NAME,K");
  CSqlRewriter* filter = NewStatement();
  ASSERT_TRUE(filter->nAppendText(u"NAME>'A'"));
  ASSERT_TRUE(filter->Lists().bSetColumnFlag(columns->pFindColumnByName(u"NAME"), 0));
  ASSERT_TRUE(cursor->bBuildSelect(NewStatement(), 0, u"NAME", 1, filter));
  EXPECT_EQ(Final(cursor->pGetStatement()), u"SELECT K,NAME,QTY,NOTE FROM T WHERE NAME>'A' ORDER BY NAME");
  TearDownTable();
}

TEST_F(CursorSqlTest, TheOrderByGoesBeforeALimitAndATopQueryStaysAscending) {
  Items(2);
  CSqlRewriter* statement = NewStatement();
  ASSERT_TRUE(cursor->bSetStatement(statement));
  ASSERT_TRUE(statement->nAppendText(u"SELECT * FROM T WHERE QTY > 1 LIMIT 10"));
  ASSERT_TRUE(cursor->bAppendOrderBy(columns->pFindColumnByName(u"QTY"), 1, nullptr, 0));
  // The statement text, before the dialect's row-limit fix-ups of the final text.
  EXPECT_EQ(std::u16string(statement->pszGetSourceText()), u"SELECT * FROM T WHERE QTY > 1 ORDER BY QTY,K LIMIT 10");

  statement = NewStatement();
  ASSERT_TRUE(cursor->bSetStatement(statement));
  ASSERT_TRUE(statement->nAppendText(u"SELECT TOP 5 * FROM T"));
  ASSERT_TRUE(cursor->bAppendOrderByFromText(u"T", nullptr, 0, u"QTY", 0));
  EXPECT_EQ(Final(statement), u"SELECT TOP 5 * FROM T ORDER BY QTY,K");
  EXPECT_FALSE(cursor->bIsReversed());
}

TEST_F(CursorSqlTest, CountAndWriteTexts) {
  for (const std::uint32_t kind : {1u, 2u}) {
    SCOPED_TRACE(kind);
    Items(kind);
    EXPECT_EQ(Built(SQL_STATEMENT_SELECT + 0), u"SELECT K,NAME,QTY,NOTE FROM T");
    CSqlRewriter* count = NewStatement();
    ASSERT_TRUE(cursor->bBuildCountQuery(count, 0, nullptr));
    EXPECT_EQ(Final(count), u"SELECT COUNT(*) AS QZACCESNATIF_NBENR FROM T");
    ReadRow();
    // Every column is written, those after the composite key too.
    EXPECT_EQ(Built(SQL_STATEMENT_INSERT), u"INSERT INTO T (K, NAME, QTY, NOTE) VALUES ( 1 , 'A''B' , 5 , NULL )");
    // Nothing changed: an empty statement, which opens without running.
    EXPECT_EQ(Built(SQL_STATEMENT_UPDATE), u"");
    EXPECT_TRUE(cursor->bOpen(0, 0));
    EXPECT_EQ(cursor->executes, 0);
    // ", " only between the values written, never before the first.
    cursor->SetInt(u"QTY", 7);
    EXPECT_EQ(Built(SQL_STATEMENT_UPDATE), u"UPDATE T SET QTY = 7 WHERE K=1 ");
    SetText(u"NOTE", u"n");
    EXPECT_EQ(Built(SQL_STATEMENT_UPDATE), u"UPDATE T SET QTY = 7 , NOTE = 'n' WHERE K=1 ");
    EXPECT_EQ(Built(SQL_STATEMENT_DELETE), u"DELETE T WHERE K=1 ");
    EXPECT_EQ(Built(5), u"DELETE T");
    TearDownTable();
  }
}

TEST_F(CursorSqlTest, TheRecordWrittenIsDesignatedByItsRowIdOrNotAtAll) {
  Begin(1);
  CColumnDescriptor* rowId = Add(u"RID", COLUMN_TYPE_TEXT, 20, COLUMN_FLAG_PRIMARY_KEY, false);
  rowId->SetItemKind(3);
  Add(u"QTY", COLUMN_TYPE_INT32, 4);
  Finish();
  // No row read yet: error 7 at 4.4 with the table's name.
  EXPECT_EQ(Built(SQL_STATEMENT_DELETE), u"<failed>");
  EXPECT_EQ(holder->nGetErrorCode(), 7u);
  EXPECT_TRUE(doubles::HasIdentification(holder, 4, 4));
  holder->Clear();
  SetText(u"RID", u"AAAB");
  cursor->SetInt(u"QTY", 5);
  ASSERT_TRUE(columns->bAcceptCurrent());
  cursor->SetInt(u"QTY", 6);
  EXPECT_EQ(Built(SQL_STATEMENT_DELETE), u"DELETE T WHERE  ROWID='AAAB' ");
  EXPECT_EQ(Built(SQL_STATEMENT_UPDATE), u"UPDATE T SET QTY = 6 WHERE  ROWID='AAAB' ");
}

TEST_F(CursorSqlTest, OversizedTypesAreReplacedUpToTheirSize) {
  struct Case {
    const char16_t* text;
    const char16_t* expected;  // null: nothing replaced
  };
  const Case cases[] = {
      {u"VARCHAR2(5000)", u"CLOB"},
      {u"VARCHAR2(4000)", nullptr},
      {u"VARCHAR2(10), VARCHAR2(9000) NOT NULL", u"VARCHAR2(10), CLOB NOT NULL"},
      // A type word inside a longer one is replaced too.
      {u"NVARCHAR2(5000)", u"NCLOB"},
      // Only a closing parenthesis goes with the size.
      {u"VARCHAR2(5000 CHAR)", u"CLOB CHAR)"},
      {u"VARCHAR2(x)", nullptr},
  };
  for (const Case& c : cases) {
    CTString out(u"old");
    const int replaced = CCursor::bReplaceOversizedType(out, c.text, u"VARCHAR2", 4000, u"CLOB");
    EXPECT_EQ(replaced, c.expected ? 1 : 0) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
    EXPECT_EQ(std::u16string(out.pszGet()), c.expected ? c.expected : u"");
  }
}

}  // namespace

namespace {

TEST_F(CursorSqlTest, ARunMergesTheResultColumnsWithTheColumnSet) {
  Items(2);
  // A result column of another column set of the same description, as a statement made elsewhere holds it.
  CTableDescription* other = new CTableDescription(holder, table);
  other->AddRef();
  ASSERT_TRUE(other->bBuild(description, nullptr, connection));
  CSqlRewriter* statement = NewStatement();
  ASSERT_TRUE(statement->nAppendText(u"SELECT QTY FROM T"));
  ASSERT_TRUE(statement->bAddSelectColumn(other->pFindColumnByName(u"QTY")));
  ASSERT_TRUE(statement->bAddCountColumn());
  statement->SetStatementKind(1);
  statement->SetColumnSet(columns);
  ASSERT_TRUE(cursor->bSetStatement(statement));
  ASSERT_TRUE(cursor->bRun(0, 1));
  EXPECT_EQ(statement->Lists().pGetSelectColumn(0)->pGetItem(), columns->pFindColumnByName(u"QTY"));
  EXPECT_EQ(statement->Lists().pGetSelectColumn(1)->pGetItem(), nullptr) << "a text column stays as it was";
  EXPECT_EQ(cursor->executes, 1);
  other->nRelease();
}

// A table in query mode reads the runtime's query through the translation, which keeps the query's own ORDER BY: the
// read's sort item and the key completion follow its items, never a second ORDER BY, and no key the query does not
// select or already sorts on is added (K below).
TEST_F(CursorSqlTest, AQueryKeepsItsOwnOrderByAndTheReadsOrderFollowsIt) {
  struct Case {
    const char16_t* text;
    const char16_t* sortItem;
    std::vector<const char16_t*> selected;  // the query's items, and so the keys it can be ordered on
    const char16_t* expected;
  };
  const Case cases[] = {
      {u"SELECT K, QTY FROM T", u"QTY", {u"K", u"QTY"}, u"SELECT K, QTY FROM T ORDER BY QTY,K"},
      {u"SELECT K, QTY FROM T ORDER BY QTY", u"K", {u"K", u"QTY"}, u"SELECT K, QTY FROM T ORDER BY T.QTY,K"},
      {u"SELECT K, QTY FROM T ORDER BY K", u"QTY", {u"K", u"QTY"}, u"SELECT K, QTY FROM T ORDER BY T.K,QTY"},
      {u"SELECT NAME, QTY FROM T ORDER BY QTY", u"QTY", {u"NAME", u"QTY"},
       u"SELECT NAME, QTY FROM T ORDER BY T.QTY,QTY"},
      {u"SELECT K, QTY FROM T", u"QTY", {u"K", u"-QTY"}, u"SELECT K, QTY FROM T ORDER BY QTY DESC,K"},
  };
  for (const Case& c : cases) {
    const std::u16string text = c.text;
    SCOPED_TRACE(std::string(text.begin(), text.end()));
    Items(2);
    table->queryMode = 1;
    qzrt::QueryAnalysis analysis;
    analysis.SetText(qzrt::QueryAnalysis::kSqlText, text);
    analysis.SetNumber(qzrt::QueryAnalysis::kKind, 1);
    std::vector<std::unique_ptr<qzrt::ItemDescription>> items;
    for (const char16_t* name : c.selected) {
      // "-QTY": QTY selected as a descending item.
      const bool descending = *name == u'-';
      name += descending ? 1 : 0;
      auto& item = items.emplace_back(std::make_unique<qzrt::ItemDescription>(name));
      item->SetNumber(qzrt::ItemDescription::kDescending, descending);
      item->SetText(qzrt::ItemDescription::kFileName, u"T");
      item->SetText(qzrt::ItemDescription::kOrigin, name);
      analysis.items.push_back(item.get());
    }
    std::unique_ptr<qzrt::KeyLink> link;
    const std::size_t orderBy = text.find(u"ORDER BY ");
    if (orderBy != std::u16string::npos) {
      const std::u16string sorted = text.substr(orderBy + 9);
      const std::uint32_t index = sorted == std::u16string(c.selected[0]) ? 0 : 1;
      link = std::make_unique<qzrt::KeyLink>(index, false);
      link->Text(static_cast<std::uint32_t>(orderBy + 9), static_cast<std::uint32_t>(text.size()));
      analysis.links.push_back(link.get());
      analysis.orderByStart = static_cast<std::uint32_t>(orderBy);
    }
    auto* query = new CQueryDescription(holder, AsSeenAcross<IHostQueryAnalysis>(&analysis), nullptr, 0);
    query->AddRef();
    table->query = query;
    EXPECT_EQ(Select(c.sortItem, 1), c.expected);
    // A record of the query is written into its one file, whatever order the query gives its rows.
    EXPECT_EQ(Built(5), u"DELETE T");
    if (orderBy == std::u16string::npos) {
      // Its count: " FROM " and then the sub-query's own " (".
      CSqlRewriter* count = NewStatement();
      ASSERT_TRUE(cursor->bBuildCountQuery(count, 0, nullptr));
      EXPECT_EQ(Final(count), u"SELECT COUNT(*) AS QZACCESNATIF_NBENR FROM  (SELECT K, QTY FROM T) QZ_SUBQUERY");
    }
    table->query = nullptr;
    TearDownTable();
    query->nRelease();
  }
}

}  // namespace
