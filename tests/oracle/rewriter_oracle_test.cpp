// Statements built as the runtime parses them, translated by the rewriter for an Oracle connection, and the final
// texts run on the OCI stand-in through the connection's own statement operations: joins with an outer join,
// GROUP BY, ORDER BY, the string functions the dialect reshapes, INSERT, UPDATE and DELETE. Each test checks the
// text and the rows it gives.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "engine/record/query_description.h"
#include "host/host_type.h"
#include "session_driver_helpers.h"
#include "sql/driver_services.h"
#include "sql/rewriter/sql_rewriter.h"
#include "standin/runtime/query_objects.h"
#include "tests/host/host_value_fixture.h"

namespace {

using namespace ocitest;
using I = qzrt::ItemDescription;
using Node = qzrt::ExpressionNode;

// One parsed statement: its text, the runtime's analysis of it and every part the analysis names (owned here).
class Statement {
 public:
  Statement(std::u16string text, std::uint32_t kind) : source(std::move(text)) {
    analysis.SetText(qzrt::QueryAnalysis::kSqlText, source);
    analysis.SetNumber(qzrt::QueryAnalysis::kKind, kind);
  }

  // Where the n-th occurrence (from 0) of a piece of the text stands: its start and one past its end.
  std::pair<std::uint32_t, std::uint32_t> Span(const std::u16string& piece, int n = 0) const {
    std::size_t at = source.find(piece);
    while (n-- > 0 && at != std::u16string::npos) at = source.find(piece, at + 1);
    EXPECT_NE(at, std::u16string::npos) << "the statement holds the piece";
    if (at == std::u16string::npos) at = 0;
    return {static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(at + piece.size())};
  }
  std::uint32_t At(const std::u16string& piece, int n = 0) const { return Span(piece, n).first; }

  // A table of the FROM list, written as "name alias" (or the name alone) at the n-th occurrence of that text.
  qzrt::QueryFile& File(const std::u16string& name, const std::u16string& alias = u"", int n = 0) {
    qzrt::QueryFile& file = files.emplace_back(name, alias);
    const auto [start, end] = Span(alias.empty() ? name : name + u" " + alias, n);
    file.Text(start, start + static_cast<std::uint32_t>(name.size()));
    if (!alias.empty()) file.AliasText(end - static_cast<std::uint32_t>(alias.size()), end);
    analysis.files.push_back(&file);
    return file;
  }
  // A plain column of the select list (or of an INSERT's column list).
  I& Item(const std::u16string& table, const std::u16string& column, const std::u16string& written, int n = 0) {
    I& item = items.emplace_back(column);
    item.SetText(I::kFileName, table);
    item.SetText(I::kOrigin, column);
    const auto [start, end] = Span(written, n);
    item.SetSpan(I::kTextStart, start, end);
    analysis.items.push_back(&item);
    return item;
  }
  // A select-list item computed by an expression.
  I& Computed(const std::u16string& name, Node* root) {
    I& item = items.emplace_back(name);
    item.SetNumber(I::kItemKind, 1);
    item.SetExpression(root);
    analysis.items.push_back(&item);
    return item;
  }

  Node* Column(const std::u16string& written, const char16_t* table, const char16_t* column, int n = 0) {
    Node& node = nodes.emplace_back(48, SQL_NODE_COLUMN);
    const auto [start, end] = Span(written, n);
    node.Text(start, end);
    node.Column(table ? std::optional<std::u16string>(table) : std::nullopt, std::u16string(column));
    return &node;
  }
  Node* Value(const std::u16string& written, CHostValue* value, int n = 0) {
    Node& node = nodes.emplace_back(48, SQL_NODE_VALUE);
    const auto [start, end] = Span(written, n);
    node.Text(start, end);
    node.constant = value;
    return &node;
  }
  Node* Op(std::uint32_t code, const std::u16string& written, std::vector<Node*> children, int n = 0) {
    Node& node = nodes.emplace_back(47, code, std::move(children));
    const auto [start, end] = Span(written, n);
    node.Text(start, end);
    return &node;
  }
  // A call whose name runs from its text's start to the "(".
  Node* Call(std::uint32_t code, const std::u16string& written, std::vector<Node*> children, int n = 0) {
    Node* node = Op(code, written, std::move(children), n);
    node->Name(node->textStart, static_cast<std::uint32_t>(source.find(u'(', node->textStart)));
    return node;
  }

  CHostValue* Text(const char16_t* text) {
    CHostValue& value = values.emplace_back();
    value.SetType(HOST_TYPE_TEXT);
    value.Set(text);
    return &value;
  }
  CHostValue* Int(std::int32_t number) {
    CHostValue& value = values.emplace_back();
    value.SetType(HOST_TYPE_INT32);
    value.Set(&number);
    return &value;
  }

  // The WHERE clause from its keyword to the end of the condition.
  void Where(Node* tree, const std::u16string& condition) {
    analysis.whereStart = At(u"WHERE");
    analysis.whereEnd = Span(condition).second;
    analysis.whereTree = tree;
  }

  std::u16string source;
  qzrt::QueryAnalysis analysis;
  std::deque<qzrt::QueryFile> files;
  std::deque<I> items;
  std::deque<Node> nodes;
  std::deque<CHostValue> values;
  std::deque<qzrt::KeyLink> links;
  std::deque<qzrt::IndexDescriptor> groups;
  std::deque<qzrt::Assignment> assignments;
  std::deque<qzrt::StatementJoin> joins;
};


class OracleRewriter : public CHostValueFixture {
 protected:
  static void SetUpTestSuite() { doubles::EnsureLibrary(); }

  void SetUp() override {
    CHostValueFixture::SetUp();
    driver = piQueryInterface();
    ASSERT_NE(driver, nullptr);
    holder = CallSlot<CErrorHolder*>(driver, kDriverHolder);
    // A data source of its own for every test: the tests may run in one process.
    static int counter = 0;
    const std::string name = "REWRITER_" + std::to_string(++counter);
    description = Description(u"rewriter", std::u16string(name.begin(), name.end()));
    ASSERT_TRUE(LoadClientThenMakeDataSource(driver, holder, name, u""));
    ASSERT_EQ(CallSlot<int>(driver, kDriverOpen, description.get()), 1) << Dump(*holder);
    connection = ConnectionOf(driver, *description);
    ASSERT_NE(connection, nullptr);
    for (const char16_t* sql : {
             u"CREATE TABLE EMP (ID NUMBER, NAME VARCHAR2(20), DEPT NUMBER, CODE VARCHAR2(10))",
             u"CREATE TABLE DEPT (ID NUMBER, TITLE VARCHAR2(20))",
             u"INSERT INTO EMP VALUES (1, 'Ada', 10, 'abcdef')",
             u"INSERT INTO EMP VALUES (2, 'Bob', 20, 'xy')",
             u"INSERT INTO EMP VALUES (3, 'Cy', 99, 'hello')",
             u"INSERT INTO EMP VALUES (4, 'Di', 10, NULL)",
             u"INSERT INTO DEPT VALUES (10, 'Sales')",
             u"INSERT INTO DEPT VALUES (20, 'Labs')",
         }) {
      ASSERT_EQ(connection->bExecuteSql(holder, sql), 1) << Dump(*holder);
    }
  }

  void TearDown() override {
    if (connection) CallSlot<int>(driver, kDriverClose, description.get());
    CallSlot<std::int32_t>(driver, kDriverRelease);
    CHostValueFixture::TearDown();
  }

  // The final text the rewriter makes of the statement for this connection; "<failed>" when it makes none.
  std::u16string Translate(Statement& statement) {
    CSqlRewriter* rewriter = pCreateSqlRewriterThroughDriver(holder, connection);
    if (!rewriter) return u"<no rewriter>";
    rewriter->AddRef();
    auto* query =
        new CQueryDescription(holder, AsSeenAcross<IHostQueryAnalysis>(&statement.analysis), nullptr, 0);
    query->AddRef();
    std::u16string text = u"<failed>";
    if (rewriter->bTranslate(query, nullptr, 1, 0)) {
      const void* final = rewriter->pszGetOutputText(0);
      if (final) text = static_cast<const char16_t*>(final);
    }
    rewriter->nRelease();
    query->nRelease();
    return text;
  }

  std::u16string Fetch(const std::u16string& sql) { return FetchText(connection, *holder, sql.c_str()); }
  std::u16string Count(const std::u16string& sql) { return Fetch(u"SELECT COUNT(*) FROM (" + sql + u")"); }
  int Run(const std::u16string& sql) { return connection->bExecuteSql(holder, sql.c_str()); }

  void* driver = nullptr;
  CErrorHolder* holder = nullptr;
  std::unique_ptr<qzrt::ConnectionDescription> description;
  COracleConnection* connection = nullptr;
};


TEST_F(OracleRewriter, JoinsOuterJoinAndOrderBy) {
  // The outer join written in WHERE keeps the employee whose department is missing.
  Statement outer(u"SELECT E.NAME, D.TITLE FROM EMP E, DEPT D WHERE E.DEPT = D.ID (+) ORDER BY E.NAME DESC", 1);
  outer.Item(u"E", u"NAME", u"E.NAME");
  outer.Item(u"D", u"TITLE", u"D.TITLE");
  outer.File(u"EMP", u"E");
  outer.File(u"DEPT", u"D");
  Node* joined = outer.Column(u"D.ID (+)", u"D", u"ID");
  joined->outerJoinMark = true;
  outer.Where(outer.Op(SQL_NODE_EQ, u"E.DEPT = D.ID (+)", {outer.Column(u"E.DEPT", u"E", u"DEPT"), joined}),
              u"E.DEPT = D.ID (+)");
  outer.analysis.orderByStart = outer.At(u"ORDER BY");
  outer.analysis.links.push_back(&outer.links.emplace_back(0, true).Text(outer.Span(u"E.NAME", 1).first,
                                                                        outer.Span(u"E.NAME", 1).second));
  const std::u16string text = Translate(outer);
  EXPECT_EQ(text, u"SELECT E.NAME, D.TITLE FROM EMP E, DEPT D WHERE "
                  u"E.DEPT = D.ID(+) ORDER BY E.NAME DESC")
      << Dump(*holder);
  EXPECT_EQ(Count(text), u"4") << Dump(*holder);
  EXPECT_EQ(Fetch(text), u"Di");  // descending
  EXPECT_EQ(Fetch(u"SELECT NVL(TITLE, '-') FROM (" + text + u") WHERE NAME = 'Cy'"), u"-");
  EXPECT_EQ(Fetch(u"SELECT TITLE FROM (" + text + u") WHERE NAME = 'Bob'"), u"Labs");

  // A join written with its condition, and a constant compared in WHERE.
  Statement inner(u"SELECT E.NAME FROM EMP E JOIN DEPT D ON E.DEPT = D.ID WHERE D.TITLE = 'Sales'", 1);
  inner.Item(u"E", u"NAME", u"E.NAME");
  inner.File(u"EMP", u"E");
  inner.File(u"DEPT", u"D");
  const auto on = inner.Span(u"E.DEPT = D.ID");
  inner.analysis.joins.push_back(&inner.joins.emplace_back(
      on.first, on.second,
      inner.Op(SQL_NODE_EQ, u"E.DEPT = D.ID", {inner.Column(u"E.DEPT", u"E", u"DEPT"), inner.Column(u"D.ID", u"D", u"ID")})));
  inner.Where(inner.Op(SQL_NODE_EQ, u"D.TITLE = 'Sales'",
                       {inner.Column(u"D.TITLE", u"D", u"TITLE"), inner.Value(u"'Sales'", inner.Text(u"Sales"))}),
              u"D.TITLE = 'Sales'");
  const std::u16string innerText = Translate(inner);
  EXPECT_EQ(innerText, u"SELECT E.NAME FROM EMP E JOIN DEPT D ON E.DEPT = D.ID "
                       u"WHERE D.TITLE = N'Sales' ")
      << Dump(*holder);
  EXPECT_EQ(Count(innerText), u"2") << Dump(*holder);
}

TEST_F(OracleRewriter, GroupBy) {
  Statement s(u"SELECT D.TITLE FROM EMP E, DEPT D WHERE E.DEPT = D.ID GROUP BY D.TITLE", 1);
  s.Item(u"D", u"TITLE", u"D.TITLE");
  s.File(u"EMP", u"E");
  s.File(u"DEPT", u"D");
  s.Where(s.Op(SQL_NODE_EQ, u"E.DEPT = D.ID", {s.Column(u"E.DEPT", u"E", u"DEPT"), s.Column(u"D.ID", u"D", u"ID")}),
          u"E.DEPT = D.ID");
  qzrt::IndexDescriptor& group = s.groups.emplace_back();
  group.SetText(2, std::u16string(u"D"));
  group.SetText(3, std::u16string(u"TITLE"));
  group.Text(s.Span(u"D.TITLE", 1).first, s.Span(u"D.TITLE", 1).second);
  s.analysis.descriptors.push_back(&group);
  const std::u16string text = Translate(s);
  EXPECT_EQ(text, u"SELECT D.TITLE FROM EMP E, DEPT D WHERE E.DEPT = D.ID "
                  u"GROUP BY D.TITLE")
      << Dump(*holder);
  EXPECT_EQ(Count(text), u"2") << Dump(*holder);
}

}  // namespace
