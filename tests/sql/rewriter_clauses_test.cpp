// The clause generators that need no expression writer, on statements built with the runtime stand-in's parsed
// statement and connections of several dialects: select lists, table references, GROUP BY, ORDER BY, markers and
// column references, and the SET-column writer. Each test reads the whole statement text a generator leaves.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/record/query_description.h"
#include "foundation/error_holder.h"
#include "foundation/x_error.h"
#include "sql/rewriter/sql_rewriter.h"
#include "sql/rewriter/value_leaf.h"
#include "standin/runtime/query_objects.h"
#include "tests/engine/field_value_fixture.h"
#include "tests/slot_call.h"

namespace {

using I = qzrt::ItemDescription;
using qzrt::ExpressionNode;
using qzrt::IndexDescriptor;
using qzrt::KeyLink;
using qzrt::QueryAnalysis;
using qzrt::QueryFile;
using qzrt::StatementMark;

// A connection of a dialect that quotes every name with double quotes.
class QuotingConnection : public doubles::TestConnection {
 public:
  QuotingConnection(std::uint32_t kind, std::int32_t major) : TestConnection(u"clauses", nullptr) {
    m_nDbmsKind = kind;
    m_strOpeningQuote = u"\"";
    m_nOpeningQuoteLength = 1;
    m_strClosingQuote = u"\"";
    m_nClosingQuoteLength = 1;
    if (major >= 0) {
      SetServerVersionText(major >= 10 ? u"10.1" : u"9.2");
      ParseServerVersion(nullptr);
    }
  }
  const char16_t* pszGetRecordLockOption() override { return recordLock.c_str(); }
  int bOrdersByPosition() override { return ordersByPosition; }

  std::u16string recordLock;
  int ordersByPosition = 1;
};

class TestRewriter : public CSqlRewriter {
 public:
  using CSqlRewriter::CSqlRewriter;
  using CSqlRewriter::bAppendHostParameters;
  using CSqlRewriter::bCopySource;
  using CSqlRewriter::bWriteGroupBy;
  using CSqlRewriter::bWriteOrderBy;
  using CSqlRewriter::bWriteSelectList;
  using CSqlRewriter::bWriteSetColumn;
  using CSqlRewriter::bWriteTableReference;

  int bAllowsStarExpansion() override { return starExpansion; }
  int bWriteTableName(CQueryDescription* query, IHostQueryFile* table, CTString& out) override {
    if (!thrown.empty()) throw CTString(thrown.c_str());
    return CSqlRewriter::bWriteTableName(query, table, out);
  }

  int starExpansion = 1;
  std::u16string thrown;
};

// Where a piece of the text stands: its first character and one past its last (the n-th occurrence from 0).
std::pair<std::uint32_t, std::uint32_t> Span(const std::u16string& text, const std::u16string& piece, int n = 0) {
  std::size_t at = text.find(piece);
  while (n-- > 0) at = text.find(piece, at + 1);
  EXPECT_NE(at, std::u16string::npos) << "the test's text holds the piece";
  return {static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(at + piece.size())};
}

class RewriterClausesTest : public CFieldValueFixture {
 protected:
  void TearDown() override {
    if (rewriter) {
      EXPECT_EQ(rewriter->nRelease(), 0u);
    }
    if (query) {
      EXPECT_EQ(query->nRelease(), 0u);
    }
    if (dialect) {
      EXPECT_EQ(dialect->nRelease(), 0u);
    }
    holder->Clear();
    CFieldValueFixture::TearDown();
  }

  // The statement, the query kind, and a rewriter over a connection of the dialect (-1: no server version).
  void Statement(const std::u16string& text, std::uint32_t queryKind, std::uint32_t dbmsKind,
                 std::int32_t major = -1) {
    source = text;
    analysis.SetText(QueryAnalysis::kSqlText, text);
    analysis.SetNumber(QueryAnalysis::kKind, queryKind);
    dialect = new QuotingConnection(dbmsKind, major);
    dialect->AddRef();
    rewriter = new TestRewriter(holder, dialect);
    rewriter->AddRef();
    rewriter->SetStatementKind(queryKind);
  }
  // The description of the statement as built so far (items, files, descriptors and links are read now).
  CQueryDescription* Query() {
    query = new CQueryDescription(holder, AsSeenAcross<IHostQueryAnalysis>(&analysis), nullptr, 0);
    query->AddRef();
    return query;
  }
  // A plain column item of the table (as the query names it), with its span when the text holds it.
  I& Item(const std::u16string& table, const std::u16string& column, const std::u16string& written = u"",
          int occurrence = 0) {
    auto& item = items.emplace_back(std::make_unique<I>(column));
    item->SetText(I::kFileName, table);
    item->SetText(I::kOrigin, column);
    if (!written.empty()) {
      const auto [start, end] = Span(source, written, occurrence);
      item->SetSpan(I::kTextStart, start, end);
    }
    analysis.items.push_back(item.get());
    return *item;
  }
  // Everything given back, for a second statement in the same test.
  void Restart() {
    EXPECT_EQ(rewriter->nRelease(), 0u);
    EXPECT_EQ(query->nRelease(), 0u);
    EXPECT_EQ(dialect->nRelease(), 0u);
    rewriter = nullptr;
    query = nullptr;
    dialect = nullptr;
    analysis.items.clear();
    items.clear();
  }
  std::u16string Text() const { return rewriter->GetStatementText().pszGet(); }
  std::u16string Rest(std::uint64_t position) const { return source.substr(position); }
  // The select list written from the start of the text; `rest` keeps what is left of the source.
  std::u16string SelectList() {
    std::uint64_t position = 0;
    EXPECT_TRUE(rewriter->bWriteSelectList(&position, source.c_str(), Query(), unused));
    rest = Rest(position);
    return Text();
  }

  std::u16string source;
  QueryAnalysis analysis;
  std::vector<std::unique_ptr<I>> items;
  QuotingConnection* dialect = nullptr;
  TestRewriter* rewriter = nullptr;
  CQueryDescription* query = nullptr;
  const CSqlSegment unused{SQL_SEGMENT_SELECT_LIST, 0, 0};
  std::u16string rest;
};

TEST_F(RewriterClausesTest, SelectListQualifiesItsColumnsForASelectAndEndsWithTheExtraSelectText) {
  Statement(u"SELECT E.ID, NAME FROM EMP E", 1, 3);
  Item(u"E", u"ID", u"E.ID");
  Item(u"E", u"NAME", u"NAME");
  analysis.selectListEnd = Span(source, u"NAME").second;
  rewriter->ExtraSelectText() = u"ROWIDTOCHAR(ROWID)";
  EXPECT_EQ(SelectList(), u"SELECT \"E\".\"ID\", \"E\".\"NAME\",ROWIDTOCHAR(ROWID)");
  EXPECT_EQ(rest, u" FROM EMP E");
  Restart();

  // Oracle quotes only the parts of a table name that need it.
  Statement(u"SELECT A FROM S.ORDER", 1, 1);
  Item(u"S.ORDER", u"A", u"A");
  EXPECT_EQ(SelectList(), u"SELECT S.\"ORDER\".A");
}

TEST_F(RewriterClausesTest, InsertColumnsAreWrittenAloneAndAnUnmeasuredListEndsAfterItsStar) {
  Statement(u"INSERT INTO T (A, B) VALUES (1, 2)", 4, 3);
  Item(u"T", u"A", u"A");
  Item(u"T", u"B", u"B");
  EXPECT_EQ(SelectList(), u"INSERT INTO T (\"A\", \"B\"");
  EXPECT_EQ(rest, u") VALUES (1, 2)");
  Restart();

  // A list the runtime gives as ending at 1 is the "*": the extra text follows it.
  Statement(u"SELECT * FROM T", 1, 3);
  analysis.selectListEnd = 1;
  rewriter->starExpansion = 0;
  rewriter->ExtraSelectText() = u"ROWIDTOCHAR(ROWID)";
  EXPECT_EQ(SelectList(), u"SELECT *,ROWIDTOCHAR(ROWID)");
  EXPECT_EQ(rest, u" FROM T");
}

TEST_F(RewriterClausesTest, AStarBecomesEveryItemOfTheQuery) {
  Statement(u"SELECT * FROM T", 1, 3);
  Item(u"T", u"A");
  Item(u"T", u"B");
  rewriter->ExtraSelectText() = u"ROWIDTOCHAR(ROWID)";
  EXPECT_EQ(SelectList(), u"SELECT \"T\".\"A\",\"T\".\"B\",ROWIDTOCHAR(ROWID)");
  EXPECT_EQ(rest, u" FROM T");
}

TEST_F(RewriterClausesTest, AnAliasAfterASIsQuotedAndANameStartingWithThoseLettersIsNoAlias) {
  Statement(u"SELECT A AS Total, ASSET FROM T", 1, 3);
  Item(u"T", u"A", u"A");
  Item(u"T", u"ASSET", u"ASSET");
  EXPECT_EQ(SelectList(), u"SELECT \"T\".\"A\" AS \"Total\", \"T\".\"ASSET\"");
  EXPECT_EQ(rest, u" FROM T");
}

class TableReferenceTest : public RewriterClausesTest {
 protected:
  // Both tables of "SELECT A FROM EMP E, DEPT" written one after the other, then the rest of the text.
  std::u16string Write(std::uint32_t queryKind, std::uint32_t dbmsKind, std::int32_t major,
                       const char16_t* text = u"SELECT A FROM EMP E, DEPT") {
    Statement(text, queryKind, dbmsKind, major);
    dialect->recordLock = u"WITH (ROWLOCK)";
    emp.Text(Span(source, u"EMP").first, Span(source, u"EMP").second)
        .AliasText(Span(source, u"E,").first, Span(source, u"E,").first + 1);
    dept.Text(Span(source, u"DEPT").first, Span(source, u"DEPT").second);
    analysis.files = {&emp, &dept};
    analysis.aliases = {{u"EMP", u"SCOTT.EMP"}};
    Query();
    std::uint64_t position = 0;
    for (QueryFile* file : {&emp, &dept}) {
      const CSqlSegment segment(SQL_SEGMENT_TABLE, file->nGetTextStart(), file->nGetTextEnd() - 1);
      EXPECT_TRUE(rewriter->bWriteTableReference(&position, source.c_str(), query, segment));
    }
    EXPECT_TRUE(rewriter->bCopySource(source.c_str(), &position, source.size()));
    return Text();
  }

  QueryFile emp{u"EMP", u"E"};
  QueryFile dept{u"DEPT", u""};
};

TEST_F(TableReferenceTest, NamesAsTheStatementResolvesThemWithAliasesAndTheRecordLockHint) {
  EXPECT_EQ(Write(1, 2, -1),
            u"SELECT A FROM \"SCOTT\".\"EMP\" \"E\" WITH (ROWLOCK), \"DEPT\" WITH (ROWLOCK)");
}

TEST_F(TableReferenceTest, TheHintIsLeftOutFromVersion10OfKind8AndOutsideTheFirstSelectKind) {
  EXPECT_EQ(Write(1, 8, 10), u"SELECT A FROM \"SCOTT\".\"EMP\" \"E\", \"DEPT\"");
}

TEST_F(TableReferenceTest, Kind8BeforeVersion10TakesTheHint) {
  EXPECT_EQ(Write(1, 8, 9), u"SELECT A FROM \"SCOTT\".\"EMP\" \"E\" WITH (ROWLOCK), \"DEPT\" WITH (ROWLOCK)");
}

TEST_F(TableReferenceTest, QueryKind2TakesNoHint) {
  EXPECT_EQ(Write(2, 2, -1), u"SELECT A FROM \"SCOTT\".\"EMP\" \"E\", \"DEPT\"");
}

TEST_F(TableReferenceTest, OracleTakesAnAliasWithoutItsAs) {
  EXPECT_EQ(Write(2, 1, -1, u"SELECT A FROM EMP AS E, DEPT"), u"SELECT A FROM SCOTT.EMP E, DEPT");
}

TEST_F(TableReferenceTest, AFailureWhileATableIsWrittenFailsTheStatementWithItsText) {
  Statement(u"SELECT A FROM EMP", 1, 2);
  emp.Text(Span(source, u"EMP").first, Span(source, u"EMP").second);
  analysis.files = {&emp};
  analysis.ThrowAt(QueryAnalysis::kResolveAlias);
  Query();
  std::uint64_t position = 0;
  const CSqlSegment segment(SQL_SEGMENT_TABLE, emp.nGetTextStart(), emp.nGetTextEnd() - 1);
  EXPECT_FALSE(rewriter->bWriteTableReference(&position, source.c_str(), query, segment))
      << "a table left out of FROM must not pass for a written statement";
  EXPECT_EQ(holder->nGetErrorCode(), REWRITER_ERROR_TABLE_REFERENCE);
  EXPECT_NE(std::u16string(holder->pGetEmbeddedObject()->pszGetUserMessage()).find(u"EMP"), std::u16string::npos);

  // A failure that carries a text gives it to the error.
  holder->Clear();
  rewriter->thrown = u"the catalog went away";
  position = 0;
  EXPECT_FALSE(rewriter->bWriteTableReference(&position, source.c_str(), query, segment));
  EXPECT_NE(std::u16string(holder->pGetEmbeddedObject()->pszGetUserMessage()).find(u"the catalog went away"),
            std::u16string::npos);
}

TEST_F(RewriterClausesTest, GroupByItemsFoundAmongTheItemsAreTheirColumnsAndOthersAreWrittenAsNamed) {
  Statement(u"SELECT E.DEPT FROM EMP E GROUP BY E.DEPT, LOC, X.Y", 1, 3);
  Item(u"E", u"DEPT", u"E.DEPT");
  IndexDescriptor found, alone, qualified;
  found.SetText(2, u"E");
  found.SetText(3, u"DEPT");
  found.Text(Span(source, u"E.DEPT", 1).first, Span(source, u"E.DEPT", 1).second);
  alone.SetText(2, u"");
  alone.SetText(3, u"LOC");
  alone.Text(Span(source, u"LOC").first, Span(source, u"LOC").second);
  qualified.SetText(2, u"X");
  qualified.SetText(3, u"Y");
  qualified.Text(Span(source, u"X.Y").first, Span(source, u"X.Y").second);
  analysis.descriptors = {&found, &alone, &qualified};
  std::uint64_t position = 0;
  ASSERT_TRUE(rewriter->bWriteGroupBy(&position, source.c_str(), Query(), unused));
  EXPECT_EQ(Text(), u"SELECT E.DEPT FROM EMP E GROUP BY \"E\".\"DEPT\", \"LOC\", \"X\".\"Y\"")
      << "a column without its table is written alone, with no \".\" before it";
  EXPECT_EQ(position, source.size());
}

class OrderByTest : public RewriterClausesTest {
 protected:
  // "SELECT A, B, SUM(C) AS TOTAL FROM T ORDER BY <list>", each sort item naming the item of its index.
  void Order(const std::u16string& list, std::vector<std::pair<std::u16string, std::uint32_t>> sortItems,
             std::uint32_t dbmsKind = 3) {
    Statement(u"SELECT A, B, SUM(C) AS TOTAL FROM T ORDER BY " + list, 1, dbmsKind);
    Item(u"T", u"A", u"A");
    Item(u"T", u"B", u"B");
    I& total = Item(u"", u"TOTAL");
    total.SetNumber(I::kItemKind, 1);
    sum.Text(Span(source, u"SUM(C)").first, Span(source, u"SUM(C)").second);
    total.SetExpression(&sum);
    const std::size_t from = source.find(u"ORDER BY");
    analysis.orderByStart = static_cast<std::uint32_t>(from);
    std::size_t at = from + 8;
    for (const auto& [written, index] : sortItems) {
      at = source.find(written, at);
      auto& link = links.emplace_back(std::make_unique<KeyLink>(index, false));
      link->Text(static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(at + written.size()));
      analysis.links.push_back(link.get());
      at += written.size();
    }
  }
  // The ORDER BY writer from the start of the text, then the rest copied as the translation copies it.
  std::u16string Write(int keepOrder, int directionSwitch) {
    std::uint64_t position = 0;
    EXPECT_TRUE(rewriter->bWriteOrderBy(&position, source.c_str(), Query(), keepOrder, directionSwitch));
    EXPECT_TRUE(rewriter->bCopySource(source.c_str(), &position, source.size()));
    return Text().substr(Text().find(u"ORDER BY"));
  }

  ExpressionNode sum{47, 16};
  std::vector<std::unique_ptr<KeyLink>> links;
};

TEST_F(OrderByTest, DirectionsPositionsAndItemsAsWritten) {
  struct Case {
    const char16_t* list;
    std::vector<std::pair<std::u16string, std::uint32_t>> sortItems;
    int ordersByPosition;
    int directionSwitch;
    const char16_t* expected;
  };
  const Case cases[] = {
      // Reading backwards turns every direction round; an item without one was ascending.
      {u"A, B DESC", {{u"A", 0}, {u"B", 1}}, 1, 0, u"ORDER BY \"T\".\"A\" DESC, \"T\".\"B\" ASC"},
      {u"B, A asc", {{u"B", 1}, {u"A", 0}}, 1, 0, u"ORDER BY \"T\".\"B\" DESC, \"T\".\"A\" DESC"},
      {u"A, B DESC", {{u"A", 0}, {u"B", 1}}, 1, 1, u"ORDER BY \"T\".\"A\", \"T\".\"B\" DESC"},
      // An expression item by its position in the select list, else by its text.
      {u"TOTAL DESC", {{u"TOTAL", 2}}, 1, 1, u"ORDER BY 3 DESC"},
      {u"TOTAL", {{u"TOTAL", 2}}, 0, 1, u"ORDER BY SUM(C)"},
      // A sort item naming no item stays as written.
      {u"A, 7", {{u"A", 0}, {u"7", 0xFFFFFFFF}}, 1, 1, u"ORDER BY \"T\".\"A\", 7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.list, c.list + std::char_traits<char16_t>::length(c.list)));
    Order(c.list, c.sortItems);
    dialect->ordersByPosition = c.ordersByPosition;
    EXPECT_EQ(Write(1, c.directionSwitch), c.expected);
    Restart();
    analysis.links.clear();
    links.clear();
  }
}

TEST_F(OrderByTest, WithoutKeepingTheOrderTheClauseIsDropped) {
  Order(u"A", {{u"A", 0}});
  std::uint64_t position = 0;
  ASSERT_TRUE(rewriter->bWriteOrderBy(&position, source.c_str(), Query(), 0, 1));
  EXPECT_EQ(Text(), u"SELECT A, B, SUM(C) AS TOTAL FROM T ");
  EXPECT_EQ(position, source.size());
}

TEST_F(OrderByTest, Kind4SortsOnAtMost31Items) {
  std::u16string list;
  std::vector<std::pair<std::u16string, std::uint32_t>> sortItems;
  for (int i = 0; i < 32; ++i) {
    list += (i ? u", A" : u"A");
    sortItems.push_back({u"A", 0});
  }
  Order(list, sortItems, 4);
  const std::u16string written = Write(1, 1);
  std::u16string expected = u"ORDER BY \"T\".\"A\"";
  for (int i = 1; i < 31; ++i) expected += u", \"T\".\"A\"";
  EXPECT_EQ(written, expected);
  Restart();
  analysis.links.clear();
  links.clear();

  // Other dialects take every item.
  Order(list, sortItems, 3);
  EXPECT_EQ(Write(1, 1), expected + u", \"T\".\"A\"");
}

TEST_F(RewriterClausesTest, MarkersBecomeParametersAndColumnReferencesQualifiedNamesInTheirOrder) {
  Statement(u"SELECT a.X FROM T a WHERE a.K = ? AND Y > ?", 1, 3);
  StatementMark first(Span(source, u"?").first, 1, 7), second(Span(source, u"?", 1).first, 1, 9);
  StatementMark x(Span(source, u"a.X").first, 3, 1, u"a", u"X"), k(Span(source, u"a.K").first, 3, 1, u"a", u"K"),
      y(Span(source, u"Y").first, 1, 1, u"", u"Y");
  analysis.markers = {&first, &second};
  analysis.columnReferences = {&x, &k, &y};
  analysis.aliases = {{u"a", u"T"}};
  std::uint64_t position = 0;
  ASSERT_TRUE(rewriter->bAppendHostParameters(Query(), source.c_str(), &position));
  EXPECT_EQ(Text(), u"SELECT \"T\".\"X\" FROM T a WHERE \"T\".\"K\" =  AND \"Y\" > ");
  EXPECT_EQ(position, source.size());
  ASSERT_EQ(rewriter->nGetParameterCount(), 2u);
  EXPECT_EQ(rewriter->pGetParameter(0)->nGetPosition(), Text().find(u" AND"));
  EXPECT_EQ(rewriter->pGetParameter(0)->nGetFlags(), 7u);
  EXPECT_EQ(rewriter->pGetParameter(1)->nGetPosition(), Text().size());
  EXPECT_EQ(rewriter->pGetParameter(1)->nGetFlags(), 9u);
  EXPECT_EQ(rewriter->pGetParameter(1)->nGetKind(), LEAF_KIND_NONE);
}

class SetColumnTest : public RewriterClausesTest {
 protected:
  std::u16string Write(std::uint32_t dbmsKind, ExpressionNode& column) {
    Statement(u"UPDATE EMP E SET E.SAL = 1", 3, dbmsKind);
    emp.Text(Span(source, u"EMP").first, Span(source, u"EMP").second);
    analysis.files = {&emp};
    column.Text(Span(source, u"E.SAL").first, Span(source, u"E.SAL").second);
    std::uint64_t position = 0;
    EXPECT_TRUE(rewriter->bWriteSetColumn(&position, source.c_str(), Query(),
                                          AsSeenAcross<IHostExpressionNode>(&column)));
    EXPECT_EQ(Rest(position), u" = 1");
    return Text().substr(Text().find(u"SET ") + 4);
  }

  QueryFile emp{u"EMP", u"E"};
  ExpressionNode column{48, 47};
};

TEST_F(SetColumnTest, TheColumnIsQualifiedByTheStatementsTable) {
  column.Column(u"E", u"SAL");
  EXPECT_EQ(Write(2, column), u"\"E\".\"SAL\"");
}

TEST_F(SetColumnTest, ATableNamedByItsNameKeepsItsName) {
  column.Column(u"emp", u"SAL");
  EXPECT_EQ(Write(2, column), u"\"EMP\".\"SAL\"");
}

TEST_F(SetColumnTest, DialectsRefusingQualifiedSetColumnsGetTheColumnAlone) {
  column.Column(u"E", u"SAL");
  EXPECT_EQ(Write(6, column), u"\"SAL\"");
}

TEST_F(SetColumnTest, AColumnWithoutTableIsWrittenAloneAndAnOuterJoinMarkFollows) {
  column.Column(std::nullopt, u"SAL");
  column.outerJoinMark = true;
  EXPECT_EQ(Write(2, column), u"\"SAL\"(+)");
}

}  // namespace
