// Statements built as the runtime parses them, translated by the rewriter for an Oracle connection, and the final
// texts run on the OCI stand-in through the connection's own statement operations: joins with an outer join,
// GROUP BY, ORDER BY, the string functions the dialect reshapes, INSERT, UPDATE and DELETE, a session in a narrow
// character set, a table name holding a quote. Each test checks the text and the rows it gives.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "engine/record/query_description.h"
#include "host/host_type.h"
#include "session_driver_helpers.h"
#include "sql/driver_services.h"
#include "sql/rewriter/sql_rewriter.h"
#include "parsed_statement.h"
#include "standin/runtime/query_objects.h"
#include "tests/host/host_value_fixture.h"

namespace {

using namespace ocitest;
using I = qzrt::ItemDescription;
using Node = qzrt::ExpressionNode;

using rewritertest::Number;
using rewritertest::Statement;

class OracleRewriter : public CHostValueFixture {
 protected:
  static void SetUpTestSuite() { doubles::EnsureLibrary(); }

  void SetUp() override {
    CHostValueFixture::SetUp();
    driver = piQueryInterface();
    ASSERT_NE(driver, nullptr);
    holder = CallSlot<CErrorHolder*>(driver, kDriverHolder);
    connection = OpenOnNewDataSource(driver, holder, "REWRITER", description);
    ASSERT_NE(connection, nullptr) << Dump(*holder);
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

  // The final text the generic rewriter makes of the statement for this connection (or another), its values written
  // as literals (the Oracle driver's own rewriter binds them: oracle_rewriter_test.cpp); "<failed>" when it makes
  // none.
  std::u16string Translate(Statement& statement, COracleConnection* on = nullptr) {
    CSqlRewriter* rewriter = new CSqlRewriter(holder, on ? on : connection);
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

  // The statement's final text is the expected one and gives that many rows.
  void ExpectRows(Statement& statement, const std::u16string& expected, const std::u16string& rows) {
    const std::u16string text = Translate(statement);
    EXPECT_EQ(text, expected) << Dump(*holder);
    EXPECT_EQ(Count(text), rows) << Dump(*holder);
  }
  // The statement's final text is the expected one, runs, and the check then fetches the value.
  void ExpectRuns(Statement& statement, const std::u16string& expected, const std::u16string& check,
                  const std::u16string& value) {
    const std::u16string text = Translate(statement);
    EXPECT_EQ(text, expected) << Dump(*holder);
    ASSERT_EQ(Run(text), 1) << Dump(*holder);
    EXPECT_EQ(Fetch(check), value);
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
      inner.ColumnsEqual(u"E.DEPT = D.ID")));
  inner.Where(inner.Op(SQL_NODE_EQ, u"D.TITLE = 'Sales'",
                       {inner.Column(u"D.TITLE", u"D", u"TITLE"), inner.Value(u"'Sales'", inner.Text(u"Sales"))}),
              u"D.TITLE = 'Sales'");
  ExpectRows(inner, u"SELECT E.NAME FROM EMP E JOIN DEPT D ON E.DEPT = D.ID WHERE D.TITLE = N'Sales' ", u"2");
}

TEST_F(OracleRewriter, GroupBy) {
  Statement s(u"SELECT D.TITLE FROM EMP E, DEPT D WHERE E.DEPT = D.ID GROUP BY D.TITLE", 1);
  s.Item(u"D", u"TITLE", u"D.TITLE");
  s.File(u"EMP", u"E");
  s.File(u"DEPT", u"D");
  s.Where(s.ColumnsEqual(u"E.DEPT = D.ID"), u"E.DEPT = D.ID");
  qzrt::IndexDescriptor& group = s.groups.emplace_back();
  group.SetText(2, std::u16string(u"D"));
  group.SetText(3, std::u16string(u"TITLE"));
  group.Text(s.Span(u"D.TITLE", 1).first, s.Span(u"D.TITLE", 1).second);
  s.analysis.descriptors.push_back(&group);
  ExpectRows(s, u"SELECT D.TITLE FROM EMP E, DEPT D WHERE E.DEPT = D.ID GROUP BY D.TITLE", u"2");
}

TEST_F(OracleRewriter, FunctionsTheDialectReshapes) {
  auto run = [&](const std::u16string& call, int id, std::uint32_t code, auto children, const std::u16string& text,
                 const std::u16string& value, CHostValue* constant = nullptr) {
    Statement s(u"SELECT " + call + u" AS R FROM EMP E WHERE E.ID = " + Number(id), 1);
    Node* root = s.Call(code, call, children(s));
    root->constant = constant;
    s.Computed(u"R", root);
    s.File(u"EMP", u"E");
    s.Where(s.Op(SQL_NODE_EQ, u"E.ID = " + Number(id),
                 {s.Column(u"E.ID", u"E", u"ID", -1), s.Value(Number(id), s.Int(id), -1)}, -1),
            u"E.ID = " + Number(id));
    const std::u16string final = Translate(s);
    EXPECT_EQ(final, u"SELECT " + text + u" AS R FROM EMP E WHERE E.ID = " + Number(id) + u" ") << Dump(*holder);
    EXPECT_EQ(Fetch(u"SELECT NVL(TO_CHAR(R), '<null>') FROM (" + final + u")"), value) << Dump(*holder);
  };
  using Children = std::vector<Node*>;
  // 42: the first n characters.
  run(u"LEFT(E.CODE, 3)", 1, 42,
      [](Statement& s) { return Children{s.Column(u"E.CODE", u"E", u"CODE"), s.Value(u"3", s.Int(3))}; },
      u"SUBSTR(E.CODE,1, 3 )", u"abc");
  // 43: the last n characters, n a column, then a constant count the call carries, then a negative one.
  run(u"RIGHT(E.CODE, E.ID)", 3, 43,
      [](Statement& s) { return Children{s.Column(u"E.CODE", u"E", u"CODE"), s.Column(u"E.ID", u"E", u"ID")}; },
      u"SUBSTR(E.CODE,-LEAST(LENGTH(E.CODE),E.ID), GREATEST(0 , E.ID))", u"llo");
  CHostValue two, minusThree;
  two.SetType(HOST_TYPE_INT32);
  const std::int32_t nTwo = 2, nMinusThree = -3;
  two.Set(&nTwo);
  minusThree.SetType(HOST_TYPE_INT32);
  minusThree.Set(&nMinusThree);
  run(u"RIGHT(E.CODE, 2)", 3, 43, [](Statement& s) { return Children{s.Column(u"E.CODE", u"E", u"CODE")}; },
      u"SUBSTR(E.CODE,-LEAST(LENGTH(E.CODE),2),2 )", u"lo", &two);
  run(u"RIGHT(E.CODE, -3)", 3, 43, [](Statement& s) { return Children{s.Column(u"E.CODE", u"E", u"CODE")}; },
      u"SUBSTR(E.CODE,-LEAST(LENGTH(E.CODE),-3),0 )", u"<null>", &minusThree);
  // 88: two texts joined, then three.
  run(u"CONCAT(E.NAME, E.CODE)", 2, 88,
      [](Statement& s) { return Children{s.Column(u"E.NAME", u"E", u"NAME"), s.Column(u"E.CODE", u"E", u"CODE")}; },
      u"CONCAT(E.NAME, E.CODE)", u"Bobxy");
  run(u"CONCAT(E.NAME, '-', E.CODE)", 2, 88,
      [](Statement& s) {
        return Children{s.Column(u"E.NAME", u"E", u"NAME"), s.Value(u"'-'", s.Text(u"-")),
                        s.Column(u"E.CODE", u"E", u"CODE")};
      },
      u"CONCAT(E.NAME, N'-' )||(E.CODE)", u"Bob-xy");
  // 89: where the first text stands in the second.
  run(u"LOCATE('l', E.CODE)", 3, 89,
      [](Statement& s) { return Children{s.Value(u"'l'", s.Text(u"l")), s.Column(u"E.CODE", u"E", u"CODE")}; },
      u"INSTR(E.CODE , N'l' )", u"3");
  // 92: a number in hexadecimal digits.
  run(u"HEX(E.DEPT)", 3, 92, [](Statement& s) { return Children{s.Column(u"E.DEPT", u"E", u"DEPT")}; },
      u"TO_CHAR(E.DEPT,'FMXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX')", u"63");
}

// A session opened in the Windows-1252 character set: a value it cannot carry never reaches the server as "?" (which
// would find the row holding "??"); the statement fails with error 77 and the session goes on with the next one.
TEST_F(OracleRewriter, ANarrowSessionNeverSendsAnotherCharacter) {
  ASSERT_EQ(StandIn::Get().CreateDataSource("REWRITER_NARROW"), 0);
  auto narrowDescription = Description(u"narrow", u"REWRITER_NARROW", u"manager", u"NLS_CHARACTER_SET=178");
  ASSERT_EQ(CallSlot<int>(driver, kDriverOpen, narrowDescription.get()), 1) << Dump(*holder);
  COracleConnection* narrow = ConnectionOf(driver, *narrowDescription);
  ASSERT_NE(narrow, nullptr);
  ASSERT_EQ(narrow->nGetSessionCodePage(), 1252u);
  for (const char16_t* sql : {u"CREATE TABLE W (ID NUMBER, NAME NVARCHAR2(10))", u"INSERT INTO W VALUES (1, '?" u"?')",
                              u"INSERT INTO W VALUES (2, '\u00e9\u20ac')"}) {
    ASSERT_EQ(narrow->bExecuteSql(holder, sql), 1) << Dump(*holder);
  }
  auto select = [&](const char16_t* text) {
    auto statement = std::make_unique<Statement>(std::u16string(u"SELECT W.ID FROM W WHERE W.NAME = '") + text + u"'", 1);
    statement->Item(u"W", u"ID", u"W.ID");
    statement->File(u"W", u"", 1);
    const std::u16string condition = u"W.NAME = '" + std::u16string(text) + u"'";
    statement->Where(statement->Op(SQL_NODE_EQ, condition,
                                   {statement->Column(u"W.NAME", u"W", u"NAME"),
                                    statement->Value(u"'" + std::u16string(text) + u"'", statement->Text(text))}),
                     condition);
    return statement;
  };
  auto lacking = select(u"\u65e5\u672c");
  EXPECT_EQ(Translate(*lacking, narrow), u"<failed>");
  EXPECT_EQ(holder->nGetErrorCode(), REWRITER_ERROR_CODE_PAGE) << Dump(*holder);
  holder->Clear();
  auto carried = select(u"\u00e9\u20ac");
  const std::u16string text = Translate(*carried, narrow);
  EXPECT_EQ(text, u"SELECT W.ID FROM W WHERE W.NAME = N'\u00e9\u20ac' ") << Dump(*holder);
  EXPECT_EQ(FetchText(narrow, *holder, text.c_str()), u"2") << Dump(*holder);
  CallSlot<int>(driver, kDriverClose, narrowDescription.get());
}

// A quote inside a table's name is doubled where the name is written: the statement reads that table.
TEST_F(OracleRewriter, AQuoteInsideANameIsDoubled) {
  ASSERT_EQ(Run(u"CREATE TABLE \"A\"\" B\" (X NUMBER)"), 1) << Dump(*holder);
  ASSERT_EQ(Run(u"INSERT INTO \"A\"\" B\" VALUES (7)"), 1) << Dump(*holder);
  Statement s(u"SELECT T.X FROM \"A\"\" B\" T", 1);
  s.Item(u"T", u"X", u"T.X");
  qzrt::QueryFile& file = s.files.emplace_back(u"A\" B", u"T");
  const auto name = s.Span(u"\"A\"\" B\"");
  const auto alias = s.Span(u"T", -1);
  file.Text(name.first, name.second);
  file.AliasText(alias.first, alias.second);
  s.analysis.files.push_back(&file);
  ExpectRows(s, u"SELECT T.X FROM \"A\"\" B\" T", u"1");
}

TEST_F(OracleRewriter, InsertUpdateAndDelete) {
  Statement insert(u"INSERT INTO EMP (ID, NAME) VALUES (5, 'Eve')", 4);
  insert.File(u"EMP");
  insert.Item(u"EMP", u"ID", u"ID");
  insert.Item(u"EMP", u"NAME", u"NAME");
  const auto columns = insert.Span(u"ID, NAME");
  const auto values = insert.Span(u"5, 'Eve'");
  for (const auto& [column, value, constant] :
       {std::tuple{u"ID", u"5", insert.Int(5)}, std::tuple{u"NAME", u"'Eve'", insert.Text(u"Eve")}}) {
    qzrt::Assignment& entry = insert.assignments.emplace_back(insert.Column(column, nullptr, column),
                                                              insert.Value(value, constant));
    entry.List(columns.first, columns.second).ValueList(values.first, values.second);
    insert.analysis.kind4Entries.push_back(&entry);
  }
  ExpectRuns(insert, u"INSERT INTO EMP (ID, NAME) VALUES (5 , N'Eve' )", u"SELECT NAME FROM EMP WHERE ID = 5", u"Eve");

  Statement update(u"UPDATE EMP SET NAME = 'Zed' WHERE ID = 2", 3);
  update.File(u"EMP");
  qzrt::Assignment& assignment = update.assignments.emplace_back(
      update.Column(u"NAME", nullptr, u"NAME"), update.Value(u"'Zed'", update.Text(u"Zed")));
  const auto list = update.Span(u"NAME = 'Zed'");
  assignment.List(list.first, list.second);
  update.analysis.kind3Entries.push_back(&assignment);
  update.WhereEquals(u"ID", 2);
  ExpectRuns(update, u"UPDATE EMP SET NAME = N'Zed' WHERE ID = 2 ", u"SELECT NAME FROM EMP WHERE ID = 2", u"Zed");

  Statement remove(u"DELETE FROM EMP WHERE DEPT = 10", 5);
  remove.File(u"EMP");
  remove.WhereEquals(u"DEPT", 10);
  ExpectRuns(remove, u"DELETE FROM EMP WHERE DEPT = 10 ", u"SELECT COUNT(*) FROM EMP", u"3");
}

}  // namespace
