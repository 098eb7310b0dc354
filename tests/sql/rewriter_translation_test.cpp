// Whole translations: statements of the runtime stand-in's parsed form through bTranslate and the final text, on
// connections of several dialects; every clause together, the filter in each place a WHERE can stand, assignments,
// pass-through texts; then spans the runtime gets wrong (past the text, reversed, overlapping, huge), which must
// leave a text copied as far as it goes and never a read outside the source.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "engine/record/column.h"
#include "engine/record/query_description.h"
#include "engine/record/column_types.h"
#include "sql/driver_services.h"
#include "sql/rewriter/value_leaf.h"
#include "sql/rewriter/sql_rewriter.h"
#include "standin/runtime/query_objects.h"
#include "tests/engine/field_value_fixture.h"
#include "tests/slot_call.h"

namespace {

using I = qzrt::ItemDescription;
using Node = qzrt::ExpressionNode;
using qzrt::Assignment;
using qzrt::IndexDescriptor;
using qzrt::KeyLink;
using qzrt::QueryAnalysis;
using qzrt::QueryFile;
using qzrt::StatementJoin;
using qzrt::StatementMark;

// A dialect that quotes every name with double quotes.
class QuotingConnection : public doubles::TestConnection {
 public:
  explicit QuotingConnection(std::uint32_t kind) : TestConnection(u"translation", nullptr) {
    m_nDbmsKind = kind;
    m_strOpeningQuote = u"\"";
    m_nOpeningQuoteLength = 1;
    m_strClosingQuote = u"\"";
    m_nClosingQuoteLength = 1;
  }
};

class TestRewriter : public CSqlRewriter {
 public:
  using CSqlRewriter::CSqlRewriter;
};

// Public: the hostile-span cases spoil a statement through plain functions.
class TranslationTest : public CFieldValueFixture {
 public:
  void TearDown() override {
    for (CSqlRewriter* r : rewriters) {
      EXPECT_EQ(r->nRelease(), 0u);
    }
    if (query) {
      EXPECT_EQ(query->nRelease(), 0u);
    }
    for (CColumn* c : columns) {
      EXPECT_EQ(c->nRelease(), 0u);
    }
    for (QuotingConnection* c : dialects) {
      EXPECT_EQ(c->nRelease(), 0u);
    }
    holder->Clear();
    CFieldValueFixture::TearDown();
  }

  void Statement(const std::u16string& text, std::uint32_t queryKind) {
    source = text;
    analysis.SetText(QueryAnalysis::kSqlText, text);
    analysis.SetNumber(QueryAnalysis::kKind, queryKind);
  }
  // The n-th occurrence of the piece: its first character and one past its last.
  std::pair<std::uint32_t, std::uint32_t> At(const std::u16string& piece, int n = 0) const {
    std::size_t at = source.find(piece);
    while (n-- > 0) at = source.find(piece, at + 1);
    EXPECT_NE(at, std::u16string::npos) << "the statement holds the piece";
    return {static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(at + piece.size())};
  }
  std::uint32_t Start(const std::u16string& piece, int n = 0) const { return At(piece, n).first; }

  I& Item(const std::u16string& table, const std::u16string& column, const std::u16string& written = u"",
          int n = 0) {
    I& item = items.emplace_back(column);
    item.SetText(I::kFileName, table);
    item.SetText(I::kOrigin, column);
    if (!written.empty()) item.SetSpan(I::kTextStart, At(written, n).first, At(written, n).second);
    analysis.items.push_back(&item);
    return item;
  }
  QueryFile& File(const std::u16string& name, const std::u16string& written, const std::u16string& alias = u"") {
    QueryFile& file = files.emplace_back(name, alias);
    file.Text(At(written).first, At(written).second);
    if (!alias.empty()) file.AliasText(At(u" " + alias + u" ").first + 1, At(u" " + alias + u" ").second - 1);
    analysis.files.push_back(&file);
    return file;
  }
  Node* Column(const std::u16string& written, const char16_t* table, const char16_t* column, int n = 0) {
    Node& node = nodes.emplace_back(48, SQL_NODE_COLUMN);
    node.Text(At(written, n).first, At(written, n).second);
    node.Column(table ? std::optional<std::u16string>(table) : std::nullopt, std::u16string(column));
    return &node;
  }
  Node* Value(const std::u16string& written, CHostValue* value, int n = 0) {
    Node& node = nodes.emplace_back(48, SQL_NODE_VALUE);
    node.Text(At(written, n).first, At(written, n).second);
    node.constant = value;
    return &node;
  }
  Node* Op(std::uint32_t code, const std::u16string& written, std::vector<Node*> children, int n = 0) {
    Node& node = nodes.emplace_back(47, code, std::move(children));
    node.Text(At(written, n).first, At(written, n).second);
    return &node;
  }
  CHostValue* Text(const char16_t* text) {
    CHostValue& value = values.emplace_back();
    MakeWide(value, text);
    return &value;
  }
  CHostValue* Number(std::int32_t number) {
    CHostValue& value = values.emplace_back();
    Make(value, HOST_TYPE_INT32, number);
    return &value;
  }
  KeyLink& Link(std::uint32_t item, const std::u16string& written, int n = 0) {
    KeyLink& link = links.emplace_back(item, false);
    link.Text(At(written, n).first, At(written, n).second);
    analysis.links.push_back(&link);
    return link;
  }

  // A GROUP BY item naming the column (and its table when given) where the n-th occurrence is written.
  IndexDescriptor& Grouped(IndexDescriptor& item, const char16_t* table, const char16_t* column,
                           const std::u16string& written, int n) {
    if (table) item.SetText(2, std::u16string(table));
    item.SetText(3, std::u16string(column));
    item.Text(At(written, n).first, At(written, n).second);
    return item;
  }

  TestRewriter* Rewriter(std::uint32_t dbmsKind) {
    auto* dialect = new QuotingConnection(dbmsKind);
    dialect->AddRef();
    dialects.push_back(dialect);
    auto* r = new TestRewriter(holder, dialect);
    r->AddRef();
    rewriters.push_back(r);
    return r;
  }
  // A filter of the text with one number parameter after it, a column flag 0 on a column of its own.
  TestRewriter* Filter(std::uint32_t dbmsKind, const char16_t* text, std::int32_t number) {
    TestRewriter* filter = Rewriter(dbmsKind);
    EXPECT_TRUE(filter->nAppendText(text));
    CFieldValue* value = pCreateFieldValueThroughDriver(holder, connection);
    value->InitType(HOST_TYPE_INT32, 0);
    CHostValue n;
    Make(n, HOST_TYPE_INT32, number);
    EXPECT_TRUE(value->bSetValue(n));
    EXPECT_TRUE(filter->bAddValueParameter(value));
    EXPECT_TRUE(filter->Lists().bSetColumnFlag(FlagColumn(), 0));
    return filter;
  }
  CColumn* FlagColumn() {
    auto* column = new CColumn(holder, TestColumn(COLUMN_TYPE_INT32, 4, u"C"));
    column->AddRef();
    columns.push_back(column);
    return column;
  }

  CQueryDescription* Query() {
    if (!query) {
      query = new CQueryDescription(holder, AsSeenAcross<IHostQueryAnalysis>(&analysis), nullptr, 0);
      query->AddRef();
    }
    return query;
  }
  // The final text of the translation, or what failed.
  std::u16string Translate(CSqlRewriter* r, CSqlRewriter* filter = nullptr, int keepOrder = 1,
                           std::uint32_t mode = 0) {
    if (!r->bTranslate(Query(), filter, keepOrder, mode)) return u"<translation failed>";
    const void* text = r->pszGetOutputText(0);
    return text ? static_cast<const char16_t*>(text) : u"<final text failed>";
  }
  // A pass-through translation with named parameters, their declared values loaded, as its final text.
  std::u16string TranslateNamed(CSqlRewriter* r, int keepOrder) {
    if (!r->bTranslate(Query(), nullptr, keepOrder, SQL_MODE_PASS_THROUGH)) return u"<translation failed>";
    if (!r->bLoadParameterValues()) return u"<values not loaded>";
    const void* text = r->pszGetOutputText(0);
    return text ? static_cast<const char16_t*>(text) : u"<final text failed>";
  }
  // Everything given back, for another statement in the same test.
  void Restart() {
    // The rewriters keep their references until the test ends.
    if (query) query->nRelease();
    query = nullptr;
    analysis.items.clear();
    analysis.files.clear();
    analysis.descriptors.clear();
    analysis.links.clear();
    analysis.kind3Entries.clear();
    analysis.kind4Entries.clear();
    analysis.joins.clear();
    analysis.markers.clear();
    analysis.declaredParameters = nullptr;
    analysis.whereStart = analysis.whereEnd = analysis.havingStart = analysis.havingEnd = 0;
    analysis.orderByStart = analysis.selectListEnd = 0;
    analysis.whereTree = analysis.havingTree = nullptr;
  }

  std::u16string source;
  QueryAnalysis analysis;
  std::deque<I> items;
  std::deque<QueryFile> files;
  std::deque<Node> nodes;
  std::deque<CHostValue> values;
  std::deque<KeyLink> links;
  std::vector<QuotingConnection*> dialects;
  std::vector<TestRewriter*> rewriters;
  std::vector<CColumn*> columns;
  CQueryDescription* query = nullptr;
  // What the hostile-span cases spoil besides the lists above.
  IndexDescriptor group;
  std::unique_ptr<StatementMark> marker;
  // Parts the query description holds until the rewriters holding it go.
  std::deque<Assignment> assignments;
  std::deque<IndexDescriptor> descriptors;
  std::deque<StatementJoin> joins;
  std::deque<StatementMark> marks;
  qzrt::DeclaredParameters declared;
};

// "SELECT a, b FROM t <middle> ORDER BY b" with a and b of t, a sort item on b, and the WHERE "a = 5" when the
// middle holds it. Names are in small letters: the keywords never hold them.
class TranslationFilterTest : public TranslationTest {
 public:
  void Select(const std::u16string& middle) {
    Statement(u"SELECT a, b FROM t" + middle + u" ORDER BY b", 1);
    Item(u"t", u"a", u"a");
    Item(u"t", u"b", u"b");
    File(u"t", u"t");
    Link(1, u"b", 1);
    analysis.orderByStart = Start(u"ORDER BY");
    if (middle.find(u"WHERE") != std::u16string::npos) {
      analysis.whereStart = Start(u"WHERE");
      analysis.whereEnd = At(u"a = 5").second;
      analysis.whereTree = Op(SQL_NODE_EQ, u"a = 5", {Column(u"a", nullptr, u"a", 1), Value(u"5", Number(5))});
    }
  }
};

TEST_F(TranslationFilterTest, FilterStandsWhereTheWhereClauseIsOrJoinsItsCondition) {
  // An empty filter leaves the program's clause alone.
  Select(u" WHERE a = 5");
  EXPECT_EQ(Translate(Rewriter(4), Rewriter(4)), u"SELECT \"t\".\"a\", \"t\".\"b\" FROM \"t\" WHERE \"a\" = 5 ORDER BY \"t\".\"b\"");
  Restart();

  Select(u" WHERE a = 5");
  TestRewriter* both = Rewriter(4);
  TestRewriter* filter = Filter(4, u"\"c\" > ", 7);
  EXPECT_EQ(Translate(both, filter),
            u"SELECT \"t\".\"a\", \"t\".\"b\" FROM \"t\" WHERE ( \"a\" = 5 ) AND (\"c\" > 7 ) ORDER BY \"t\".\"b\"");
  EXPECT_EQ(filter->nGetParameterCount(), 1u) << "the filter keeps its own parameter for its next statement";
  ASSERT_EQ(both->nGetParameterCount(), 2u);
  EXPECT_NE(both->pGetParameter(1), filter->pGetParameter(0));
  EXPECT_EQ(both->Lists().nGetColumnFlag(filter->Lists().pGetColumnFlags()->pGetItem(0)), 0u)
      << "the filter's column flags are combined in";
  Restart();

  // Without a WHERE the filter's goes before the clause that follows, or at the end.
  Select(u"");
  EXPECT_EQ(Translate(Rewriter(4), Filter(4, u"\"c\" > ", 7)),
            u"SELECT \"t\".\"a\", \"t\".\"b\" FROM \"t\" WHERE \"c\" > 7  ORDER BY \"t\".\"b\"");
  Restart();

  Statement(u"SELECT a, COUNT(*) FROM t GROUP BY a HAVING COUNT(*) > 1", 1);
  Item(u"t", u"a", u"a");
  File(u"t", u"t");
  Grouped(group, u"t", u"a", u"a", 1);
  analysis.descriptors = {&group};
  analysis.havingStart = Start(u"HAVING");
  analysis.havingEnd = static_cast<std::uint32_t>(source.size());
  analysis.havingTree = Op(SQL_NODE_GT, u"COUNT(*) > 1", {Value(u"1", Number(1))});
  EXPECT_EQ(Translate(Rewriter(4), Filter(4, u"\"c\" > ", 7)),
            u"SELECT \"t\".\"a\", COUNT(*) FROM \"t\" WHERE \"c\" > 7  GROUP BY \"t\".\"a\" HAVING COUNT(*) > 1 ");
  Restart();

  Statement(u"SELECT a FROM t", 1);
  Item(u"t", u"a", u"a");
  File(u"t", u"t");
  EXPECT_EQ(Translate(Rewriter(4), Filter(4, u"\"c\" > ", 7)), u"SELECT \"t\".\"a\" FROM \"t\" WHERE \"c\" > 7 ");
}

TEST_F(TranslationTest, EverySegmentOfASelectInOneText) {
  // Codes 1 (list), 2 (tables), 8 (join), 3 (WHERE), 4 (GROUP BY), 5 (HAVING), 6 (ORDER BY); markers are the
  // pass-through tests'.
  Statement(u"SELECT e.a, d.b FROM emp e JOIN dept d ON e.k = d.k WHERE e.a > 2 AND d.b = 'v' "
            u"GROUP BY e.a, d.b HAVING COUNT(*) > 1 ORDER BY d.b",
            1);
  Item(u"e", u"a", u"e.a");
  Item(u"d", u"b", u"d.b");
  File(u"emp", u"emp", u"e");
  File(u"dept", u"dept", u"d");
  StatementJoin& join =
      joins.emplace_back(Start(u"e.k = d.k"), At(u"e.k = d.k").second,
                         Op(SQL_NODE_EQ, u"e.k = d.k", {Column(u"e.k", u"e", u"k"), Column(u"d.k", u"d", u"k")}));
  analysis.joins.push_back(&join);
  analysis.whereStart = Start(u"WHERE");
  analysis.whereEnd = At(u"d.b = 'v'").second;
  analysis.whereTree =
      Op(2, u"e.a > 2 AND d.b = 'v'",
         {Op(SQL_NODE_GT, u"e.a > 2", {Column(u"e.a", u"e", u"a", 1), Value(u"2", Number(2))}),
          Op(SQL_NODE_EQ, u"d.b = 'v'", {Column(u"d.b", u"d", u"b", 1), Value(u"'v'", Text(u"v"))})});
  IndexDescriptor& second = descriptors.emplace_back();
  Grouped(group, u"e", u"a", u"e.a", 2);
  Grouped(second, u"d", u"b", u"d.b", 2);
  analysis.descriptors = {&group, &second};
  analysis.havingStart = Start(u"HAVING");
  analysis.havingEnd = At(u"COUNT(*) > 1").second;
  analysis.havingTree = Op(SQL_NODE_GT, u"COUNT(*) > 1", {Value(u"1", Number(1))});
  analysis.orderByStart = Start(u"ORDER BY");
  Link(1, u"d.b", 3);

  TestRewriter* r = Rewriter(4);
  EXPECT_EQ(Translate(r),
            u"SELECT \"e\".\"a\", \"d\".\"b\" FROM \"emp\" \"e\" JOIN \"dept\" \"d\" ON \"e\".\"k\" = \"d\".\"k\" "
            u"WHERE \"e\".\"a\" > 2 AND \"d\".\"b\" = 'v' GROUP BY \"e\".\"a\", \"d\".\"b\" HAVING COUNT(*) > 1 "
            u"ORDER BY \"d\".\"b\"");
  EXPECT_EQ(r->nGetParameterCount(), 3u) << "the three constants";
}

TEST_F(TranslationTest, AssignmentsWriteTheirColumnsAndFitTheirValues) {
  // n is a 32-bit integer item: the text assigned to it goes as the number.
  Statement(u"UPDATE t SET n = '42', s = 'x' WHERE s = 'y'", 3);
  Item(u"t", u"n").SetNumber(I::kItemTypeCode, 5);
  Item(u"t", u"s");
  File(u"t", u"t");
  Assignment& n = assignments.emplace_back(Column(u"n", u"t", u"n"), Value(u"'42'", Text(u"42")));
  Assignment& s = assignments.emplace_back(Column(u"s", u"t", u"s"), Value(u"'x'", Text(u"x")));
  n.List(Start(u"n"), At(u"'x'").second);
  analysis.kind3Entries = {&n, &s};
  analysis.whereStart = Start(u"WHERE");
  analysis.whereEnd = static_cast<std::uint32_t>(source.size());
  analysis.whereTree = Op(SQL_NODE_EQ, u"s = 'y'", {Column(u"s", nullptr, u"s", 1), Value(u"'y'", Text(u"y"))});
  EXPECT_EQ(Translate(Rewriter(4)), u"UPDATE \"t\" SET \"t\".\"n\" = 42 , \"t\".\"s\" = 'x' WHERE \"s\" = 'y' ");
  Restart();

  Statement(u"UPDATE t SET n = 1", 3);
  Item(u"t", u"n");
  File(u"t", u"t");
  Assignment& bare = assignments.emplace_back(Column(u"n", u"t", u"n"), Value(u"1", Number(1)));
  bare.List(Start(u"n"), static_cast<std::uint32_t>(source.size()));
  analysis.kind3Entries = {&bare};
  EXPECT_EQ(Translate(Rewriter(6)), u"UPDATE \"t\" SET \"n\" = 1 ") << "the dialect refuses a qualified SET column";
  Restart();

  Statement(u"INSERT INTO t (n, s) VALUES ('7', 'z')", 4);
  Item(u"t", u"n", u"n").SetNumber(I::kItemTypeCode, 5);
  Item(u"t", u"s", u"s");
  File(u"t", u"t");
  Assignment& first = assignments.emplace_back(Column(u"n", nullptr, u"n"), Value(u"'7'", Text(u"7")));
  Assignment& second = assignments.emplace_back(Column(u"s", nullptr, u"s"), Value(u"'z'", Text(u"z")));
  first.List(Start(u"n"), At(u"s").second).ValueList(Start(u"'7'"), At(u"'z'").second);
  analysis.kind4Entries = {&first, &second};
  EXPECT_EQ(Translate(Rewriter(4)), u"INSERT INTO \"t\" (\"n\", \"s\") VALUES (7 , 'z' )");
}

TEST_F(TranslationTest, ExpressionItemsAndAComputedGroupByItem) {
  Statement(u"SELECT a + 1 AS sumx, b FROM t GROUP BY sumx, b", 1);
  I& total = Item(u"", u"sumx", u"a + 1");
  total.SetNumber(I::kItemKind, 1);
  total.SetText(I::kAlias, u"sumx");
  total.SetExpression(Op(1, u"a + 1", {Column(u"a", nullptr, u"a"), Value(u"1", Number(1))}));
  Item(u"t", u"b", u"b");
  File(u"t", u"t");
  IndexDescriptor& plain = descriptors.emplace_back();
  Grouped(group, nullptr, u"sumx", u"sumx", 1);
  Grouped(plain, u"t", u"b", u"b", 1);
  analysis.descriptors = {&group, &plain};
  TestRewriter* r = Rewriter(4);
  EXPECT_EQ(Translate(r), u"SELECT \"a\" + 1 AS \"sumx\", \"t\".\"b\" FROM \"t\" GROUP BY \"a\" + 1 , \"t\".\"b\"");
  EXPECT_EQ(r->nGetParameterCount(), 2u) << "the constant of the list and of the computed item";
}

TEST_F(TranslationTest, QueryConditionAndOrderByAppendedAfterwards) {
  Statement(u"SELECT a FROM t WHERE a = 5 ORDER BY a, b DESC", 1);
  Item(u"t", u"a", u"a");
  Item(u"t", u"b");
  File(u"t", u"t");
  analysis.whereStart = Start(u"WHERE");
  analysis.whereEnd = At(u"a = 5").second;
  analysis.whereTree = Op(SQL_NODE_EQ, u"a = 5", {Column(u"a", nullptr, u"a", 1), Value(u"5", Number(5))});
  analysis.orderByStart = Start(u"ORDER BY");
  Link(0, u"a", 2);
  Link(1, u"b", 0);
  for (const int forwards : {1, 0}) {
    TestRewriter* r = Rewriter(4);
    r->SetQueryDescription(Query());
    ASSERT_TRUE(r->nAppendText(u"SELECT x FROM y WHERE "));
    ASSERT_TRUE(r->bAppendQueryCondition(Query()));
    ASSERT_TRUE(r->bAppendOrderBy(forwards));
    const void* text = r->pszGetOutputText(0);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(static_cast<const char16_t*>(text)),
              forwards ? u"SELECT x FROM y WHERE \"a\" = 5 ORDER BY \"t\".\"a\", \"t\".\"b\" DESC"
                       : u"SELECT x FROM y WHERE \"a\" = 5 ORDER BY \"t\".\"a\" DESC, \"t\".\"b\" ASC");
  }
}

TEST_F(TranslationTest, PassThroughKeepsOrDropsItsOrderAndTakesItsMarkers) {
  // The marker's parameter carries the marker as written until the statement binds a value.
  Statement(u"SELECT * FROM t WHERE a = ? ORDER BY a", 1);
  StatementMark& mark = marks.emplace_back(Start(u"?"), 1, 0);
  analysis.markers = {&mark};
  analysis.orderByStart = Start(u"ORDER BY");
  TestRewriter* r = Rewriter(4);
  EXPECT_EQ(Translate(r, nullptr, 1, SQL_MODE_PASS_THROUGH | SQL_MODE_NO_NAMED_PARAMETERS),
            u"SELECT * FROM t WHERE a = '?' ORDER BY a");
  ASSERT_EQ(r->nGetParameterCount(), 1u);
  EXPECT_EQ(r->pGetParameter(0)->nGetPosition(), static_cast<std::uint64_t>(Start(u"?")));
  Restart();

  Statement(u"SELECT * FROM t WHERE a = 1 ORDER BY a", 1);
  analysis.orderByStart = Start(u"ORDER BY");
  EXPECT_EQ(Translate(Rewriter(4), nullptr, 0, SQL_MODE_PASS_THROUGH | SQL_MODE_NO_NAMED_PARAMETERS),
            u"SELECT * FROM t WHERE a = 1 ");
}

// ---- host parameter markers among the other segments ----

TEST_F(TranslationTest, MarkersStayInTheirPlaceAmongTheClausesAfterThem) {
  // "SELECT a ... FROM t WHERE a = <constant> ... ORDER BY a" with a marker at the first "?".
  const auto select = [&](const std::u16string& text, const std::u16string& constant, CHostValue* value) {
    Statement(text, 1);
    Item(u"t", u"a", u"a");
    File(u"t", u"t");
    StatementMark& mark = marks.emplace_back(Start(u"?"), 1, 0);
    analysis.markers = {&mark};
    analysis.whereStart = Start(u"WHERE");
    analysis.whereEnd = At(u"a = " + constant).second;
    analysis.whereTree =
        Op(SQL_NODE_EQ, u"a = " + constant, {Column(u"a", nullptr, u"a", 1), Value(constant, value)});
    analysis.orderByStart = Start(u"ORDER BY");
  };
  // A marker of the select list, outside every item's span: the clauses after it are still written in place.
  select(u"SELECT a, ? FROM t WHERE a = 5 GROUP BY a ORDER BY a", u"5", Number(5));
  Grouped(group, u"t", u"a", u"a", 2);
  analysis.descriptors = {&group};
  Link(0, u"a", 3);
  TestRewriter* r = Rewriter(4);
  EXPECT_EQ(Translate(r), u"SELECT \"t\".\"a\", '?' FROM \"t\" WHERE \"a\" = 5 GROUP BY \"t\".\"a\" ORDER BY \"t\".\"a\"");
  EXPECT_EQ(r->nGetParameterCount(), 2u) << "the marker and the constant";
  Restart();

  // A marker the WHERE tree holds as a constant is written by the condition, once.
  select(u"SELECT a FROM t WHERE a = ? ORDER BY a", u"?", Text(u"?"));
  Link(0, u"a", 2);
  r = Rewriter(4);
  EXPECT_EQ(Translate(r), u"SELECT \"t\".\"a\" FROM \"t\" WHERE \"a\" = '?' ORDER BY \"t\".\"a\"");
  EXPECT_EQ(r->nGetParameterCount(), 1u) << "the marker is not written a second time after the clause";
}

TEST_F(TranslationTest, PassThroughMarkersLeaveTheOrderByToBeDroppedAndFillEveryGap) {
  Statement(u"SELECT * FROM t WHERE a = ? ORDER BY a", 1);
  StatementMark& mark = marks.emplace_back(Start(u"?"), 1, 0);
  analysis.markers = {&mark};
  analysis.orderByStart = Start(u"ORDER BY");
  EXPECT_EQ(Translate(Rewriter(4), nullptr, 0, SQL_MODE_PASS_THROUGH | SQL_MODE_NO_NAMED_PARAMETERS),
            u"SELECT * FROM t WHERE a = '?' ");
  Restart();

  // Column references before the first marker, markers on both sides of a named parameter: each in its place.
  Statement(u"SELECT x.c FROM t x WHERE x.d = ? AND b = {who} AND e = ? ORDER BY c", 1);
  StatementMark& first = marks.emplace_back(Start(u"?"), 1, 0);
  StatementMark& second = marks.emplace_back(Start(u"?", 1), 1, 0);
  StatementMark& c = marks.emplace_back(Start(u"x.c"), 3, 1, u"x", u"c");
  StatementMark& d = marks.emplace_back(Start(u"x.d"), 3, 1, u"x", u"d");
  analysis.markers = {&first, &second};
  analysis.columnReferences = {&c, &d};
  analysis.aliases = {{u"x", u"t"}};
  analysis.orderByStart = Start(u"ORDER BY");
  declared.Declare(u"who", Text(u"me"));
  analysis.declaredParameters = &declared;
  TestRewriter* r = Rewriter(4);
  EXPECT_EQ(TranslateNamed(r, 0), u"SELECT \"t\".\"c\" FROM t x WHERE \"t\".\"d\" = '?' AND b = 'me' AND e = '?' ");
  EXPECT_EQ(r->nGetParameterCount(), 3u);
  analysis.columnReferences.clear();
  analysis.aliases.clear();
}

TEST_F(TranslationTest, NamedParameterValuesAreLoadedBeforeTheFinalText) {
  Statement(u"SELECT * FROM t WHERE a = {who} OR b = {WHO}", 1);
  declared.Declare(u"who", Text(u"me"));
  analysis.declaredParameters = &declared;
  TestRewriter* r = Rewriter(4);
  EXPECT_EQ(TranslateNamed(r, 1), u"SELECT * FROM t WHERE a = 'me' OR b = 'me' ");
  EXPECT_EQ(r->nGetParameterCount(), 2u);
}

// ---- spans the runtime gets wrong ----

TEST_F(TranslationTest, SpansPastTheTextReversedOrOverlappingStayInsideIt) {
  constexpr std::uint32_t kFar = 0xFFFFFFF0;
  const std::u16string text = u"SELECT a, b FROM t WHERE a = 5 GROUP BY a ORDER BY b";
  struct Case {
    const char* what;
    void (*spoil)(TranslationTest&);
  };
  const Case cases[] = {
      {"item past the end", [](TranslationTest& t) { t.items[1].SetSpan(I::kTextStart, t.Start(u"b"), kFar); }},
      {"item reversed", [](TranslationTest& t) { t.items[1].SetSpan(I::kTextStart, t.Start(u"b") + 1, 3); }},
      {"table past the end", [](TranslationTest& t) { t.files[0].Text(t.Start(u"t"), kFar).AliasText(kFar, kFar); }},
      {"alias past the end", [](TranslationTest& t) { t.files[0].AliasText(kFar - 8, kFar); }},
      {"where past the end", [](TranslationTest& t) { t.analysis.whereEnd = kFar; }},
      {"where value past the end", [](TranslationTest& t) { t.nodes[1].Text(kFar - 2, kFar); }},
      {"where column past the end", [](TranslationTest& t) { t.nodes[0].Text(kFar - 2, kFar); }},
      {"group item past the end", [](TranslationTest& t) { t.group.Text(t.Start(u"a", 2), kFar); }},
      {"group item reversed", [](TranslationTest& t) { t.group.Text(t.Start(u"a", 2), 1); }},
      {"sort item past the end", [](TranslationTest& t) { t.links[0].Text(kFar, kFar + 5); }},
      {"sort item overlapping the list", [](TranslationTest& t) { t.links[0].Text(2, 40); }},
      {"marker past the end", [](TranslationTest& t) { t.marker.reset(new StatementMark(kFar, 10, 0)); }},
      {"huge marker", [](TranslationTest& t) { t.marker.reset(new StatementMark(t.Start(u"5"), kFar, 0)); }},
      {"order by past the end", [](TranslationTest& t) { t.analysis.orderByStart = kFar; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Statement(text, 1);
    Item(u"t", u"a", u"a");
    Item(u"t", u"b", u"b");
    File(u"t", u"t");
    analysis.whereStart = Start(u"WHERE");
    analysis.whereEnd = At(u"a = 5").second;
    analysis.whereTree = Op(SQL_NODE_EQ, u"a = 5", {Column(u"a", nullptr, u"a", 1), Value(u"5", Number(5))});
    Grouped(group, u"t", u"a", u"a", 2);
    analysis.descriptors = {&group};
    analysis.orderByStart = Start(u"ORDER BY");
    Link(1, u"b", 1);
    marker.reset();
    c.spoil(*this);
    if (marker) analysis.markers = {marker.get()};
    TestRewriter* r = Rewriter(4);
    // A failure or a text copied as far as it goes are both fine; a read outside the source is not (ASan).
    const std::u16string result = Translate(r);
    EXPECT_LE(r->GetStatementText().nGetLength(), 3 * text.size()) << "no text repeated over and over";
    EXPECT_EQ(result.rfind(u"SELECT ", 0), 0u) << std::string(result.begin(), result.end());
    // The parts go only once nothing holds them.
    EXPECT_EQ(r->nRelease(), 0u);
    rewriters.pop_back();
    Restart();
    nodes.clear();
    links.clear();
    items.clear();
    files.clear();
    holder->Clear();
  }
}

}  // namespace
