// The Oracle driver's own rewriter, made by its factory: statements built as the runtime parses them, their final
// texts (values as numbered binds, NULL in the text, "||", the national ESCAPE clause, ":" named parameters and
// REF CURSOR names) and, where the text is a statement, its run on the OCI stand-in with the bound values. Then the
// Oracle condition and filter nodes, which keep the connection's handles however they are made again.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "engine/record/query_description.h"
#include "engine/values/field_value.h"
#include "foundation/hash_table.h"
#include "oracle/client/oci_session_calls.h"
#include "oracle/client/oci_wrappers.h"
#include "oracle/oracle_key_condition.h"
#include "oracle/oracle_sql_rewriter.h"
#include "parsed_statement.h"
#include "session_driver_helpers.h"
#include "sql/driver_services.h"
#include "sql/rewriter/value_leaf.h"
#include "tests/host/host_value_fixture.h"

namespace {

using namespace ocitest;
using rewritertest::Node;
using rewritertest::Statement;

constexpr std::uint16_t kSqltStr = 5;

class OracleOwnRewriter : public CHostValueFixture {
 protected:
  static void SetUpTestSuite() { doubles::EnsureLibrary(); }

  void SetUp() override {
    CHostValueFixture::SetUp();
    driver = piQueryInterface();
    ASSERT_NE(driver, nullptr);
    holder = CallSlot<CErrorHolder*>(driver, kDriverHolder);
    connection = OpenOnNewDataSource(driver, holder, "ORAREWRITER", description);
    ASSERT_NE(connection, nullptr) << Dump(*holder);
    ASSERT_TRUE(bSessionIsUtf16(connection));
    for (const char16_t* sql : {
             u"CREATE TABLE EMP (ID NUMBER, NAME NVARCHAR2(20), DEPT NUMBER, CODE VARCHAR2(10))",
             u"CREATE TABLE EVENTS (ID NUMBER, D DATE)",
             u"INSERT INTO EMP VALUES (1, 'Ada', 10, 'a_b')",
             u"INSERT INTO EMP VALUES (2, 'Bob', 20, 'axb')",
             u"INSERT INTO EMP VALUES (3, 'C\\y', 99, NULL)",
             u"INSERT INTO EVENTS VALUES (7, TO_DATE('2024-01-02', 'YYYY-MM-DD'))",
             u"INSERT INTO EVENTS VALUES (8, TO_DATE('2024-01-03', 'YYYY-MM-DD'))",
         }) {
      ASSERT_EQ(connection->bExecuteSql(holder, sql), 1) << Dump(*holder);
    }
  }

  void TearDown() override {
    if (rewriter) rewriter->nRelease();
    if (connection) CallSlot<int>(driver, kDriverClose, description.get());
    CallSlot<std::int32_t>(driver, kDriverRelease);
    CHostValueFixture::TearDown();
  }

  // The final text the driver's rewriter makes of the statement; the rewriter stays for its bound values.
  std::u16string Translate(Statement& statement, std::uint32_t mode = 0) {
    if (rewriter) rewriter->nRelease();
    rewriter = dynamic_cast<COracleSqlRewriter*>(pCreateSqlRewriterThroughDriver(holder, connection));
    if (!rewriter) return u"<not the Oracle rewriter>";
    rewriter->AddRef();
    auto* query =
        new CQueryDescription(holder, AsSeenAcross<IHostQueryAnalysis>(&statement.analysis), nullptr, 0);
    query->AddRef();
    std::u16string text = u"<failed>";
    if (rewriter->bTranslate(query, nullptr, 1, mode)) {
      const void* final = rewriter->pszGetOutputText(0);
      if (final) text = static_cast<const char16_t*>(final);
    }
    query->nRelease();
    return text;
  }

  // The rewriter's bound values as texts, in the order of their numbers.
  std::vector<std::u16string> Bound() {
    std::vector<std::u16string> values;
    for (std::uint32_t i = 0; rewriter && i < rewriter->nGetBoundValueCount(); ++i) {
      CHostValue value;
      const char16_t* text = nullptr;
      rewriter->pGetBoundValue(i)->pGetFieldValue()->bGetValue(&value);
      value.nConvert(HOST_TYPE_TEXT);
      value.nGetWideText(&text);
      values.push_back(text ? text : u"<none>");
    }
    return values;
  }

  // Runs the text on the UTF-16 session with the rewriter's values bound as texts at :1, :2...: the first column of
  // the first row of a query ("<none>" without one), "<done>" for another statement, "<failed>" when it fails.
  std::u16string Run(const std::u16string& sql) {
    void* statement = nOciHandleAlloc(connection, holder, 4);
    std::vector<std::u16string> values = Bound();
    bool ok = statement && nOciStmtPrepare(connection, holder, statement, sql.c_str());
    for (std::size_t i = 0; ok && i < values.size(); ++i) {
      void* bind = nullptr;
      ok = nOciBindByName(connection, holder, statement, &bind, static_cast<std::uint32_t>(i + 1), values[i].data(),
                          static_cast<std::uint32_t>(values[i].size() + 1) * 2, kSqltStr, nullptr, nullptr, 0,
                          nullptr, 29);
    }
    const bool query = sql.rfind(u"SELECT", 0) == 0;
    char16_t row[256] = {};
    std::uint16_t length = 0, code = 0;
    void* define = nullptr;
    if (ok && query) {
      ok = nOciDefineByPos(connection, holder, statement, &define, 1, row, sizeof row - 2, &length, kSqltStr,
                           nullptr, &code, 0, 29);
    }
    ok = ok && nOciStmtExecute(connection, holder, statement, sql.c_str(), query ? 1 : 8, 0, nullptr, 0);
    std::uint32_t end = 1;
    if (ok && query) ok = nOciStmtFetch(connection, holder, statement, 1, 2, &end, nullptr);
    if (statement) nOciHandleFree(connection, nullptr, statement, 4);
    return !ok ? u"<failed>" : !query ? u"<done>" : end ? u"<none>" : std::u16string(row);
  }
  std::u16string Fetch(const std::u16string& sql) { return FetchText(connection, *holder, sql.c_str()); }
  // A statement that lives as long as the test: the rewriter keeps its analysis until the end.
  Statement& Make(const std::u16string& text, std::uint32_t kind) { return statements.emplace_back(text, kind); }

  void* driver = nullptr;
  CErrorHolder* holder = nullptr;
  std::unique_ptr<qzrt::ConnectionDescription> description;
  COracleConnection* connection = nullptr;
  std::deque<Statement> statements;
  COracleSqlRewriter* rewriter = nullptr;
};

TEST_F(OracleOwnRewriter, ValuesAreBoundByNumberAndANullStaysInTheText) {
  Statement& insert = Make(u"INSERT INTO EMP (ID, NAME, DEPT) VALUES (5, 'Eve', NULL)", 4);
  insert.File(u"EMP");
  for (const char16_t* column : {u"ID", u"NAME", u"DEPT"}) insert.Item(u"EMP", column, column);
  const auto columns = insert.Span(u"ID, NAME, DEPT");
  const auto values = insert.Span(u"5, 'Eve', NULL");
  CHostValue* none = &insert.values.emplace_back();
  none->SetNull(true);
  for (const auto& [column, value, constant] : {std::tuple{u"ID", u"5", insert.Int(5)},
                                                std::tuple{u"NAME", u"'Eve'", insert.Text(u"Eve")},
                                                std::tuple{u"DEPT", u"NULL", none}}) {
    qzrt::Assignment& entry =
        insert.assignments.emplace_back(insert.Column(column, nullptr, column), insert.Value(value, constant));
    entry.List(columns.first, columns.second).ValueList(values.first, values.second);
    insert.analysis.kind4Entries.push_back(&entry);
  }
  const std::u16string text = Translate(insert);
  EXPECT_EQ(text, u"INSERT INTO EMP (ID, NAME, DEPT) VALUES (:1 , :2 , NULL )") << Dump(*holder);
  EXPECT_EQ(Bound(), (std::vector<std::u16string>{u"5", u"Eve"}));
  EXPECT_EQ(Run(text), u"<done>") << Dump(*holder);
  EXPECT_EQ(Fetch(u"SELECT NAME || '/' || NVL(TO_CHAR(DEPT), '-') FROM EMP WHERE ID = 5"), u"Eve/-");
  // Under a mode the NULL is bound too: it stays in the text only when both of the writer's flags are 0.
  ASSERT_TRUE(rewriter->bBuildFinalText(1)) << Dump(*holder);
  EXPECT_EQ(std::u16string(static_cast<const char16_t*>(rewriter->pszGetOutputText(0))),
            u"INSERT INTO EMP (ID, NAME, DEPT) VALUES (:1 , :2 , :3 )");

}

TEST_F(OracleOwnRewriter, TextsJoinedByPlusAreConcatenated) {
  // The runtime's item codes of the left operand: 2 text, 23 fixed text, 29 CLOB, 39 national text, 40 NCLOB; 28 is
  // binary (RAW), no text.
  for (const auto& [code, joined] : {std::pair{2u, u"E.NAME||E.CODE"}, {23u, u"E.NAME||E.CODE"},
                                     {29u, u"E.NAME||E.CODE"}, {40u, u"E.NAME||E.CODE"}, {28u, u"E.NAME + E.CODE"}}) {
    SCOPED_TRACE(code);
    Statement& s = Make(u"SELECT E.NAME + E.CODE AS R, E.NAME, E.CODE FROM EMP E WHERE E.ID = 2", 1);
    Node* sum =
        s.Op(0, u"E.NAME + E.CODE", {s.Column(u"E.NAME", u"E", u"NAME"), s.Column(u"E.CODE", u"E", u"CODE")});
    s.Computed(u"R", sum);
    s.Item(u"E", u"NAME", u"E.NAME", 1).SetNumber(rewritertest::I::kItemTypeCode, code);
    s.Item(u"E", u"CODE", u"E.CODE", 1).SetNumber(rewritertest::I::kItemTypeCode, 2);
    s.File(u"EMP", u"E");
    s.Where(s.Op(SQL_NODE_EQ, u"E.ID = 2", {s.Column(u"E.ID", u"E", u"ID"), s.Value(u"2", s.Int(2))}), u"E.ID = 2");
    const std::u16string text = Translate(s);
    EXPECT_EQ(text, u"SELECT " + std::u16string(joined) + u" AS R, E.NAME, E.CODE FROM EMP E WHERE E.ID = :1 ")
        << Dump(*holder);
    if (code == 2) {
      EXPECT_EQ(Run(text), u"Bobaxb") << Dump(*holder);
    }
  }
}

// Only with the ":" prefix does a pass-through text keep its date escape: the base prefix read "{d '...'}" as a
// named parameter the statement does not declare.
TEST_F(OracleOwnRewriter, APassThroughDateEscapeFindsItsRow) {
  Statement& s = Make(u"SELECT ID FROM EVENTS WHERE D = {d '2024-01-02'}", 1);
  const std::u16string text = Translate(s, SQL_MODE_PASS_THROUGH);
  EXPECT_EQ(text.find(u'{'), std::u16string::npos) << Dump(*holder);
  EXPECT_EQ(Run(text), u"7") << Dump(*holder);
}

TEST_F(OracleOwnRewriter, NamedAndCursorParametersOfAPassThroughText) {
  Statement& s = Make(u"SELECT NAME FROM EMP WHERE ID = :WHO AND DEPT = :WHO", 1);
  qzrt::DeclaredParameters declared;
  CHostValue who;
  who.SetType(HOST_TYPE_INT32);
  const std::int32_t two = 2;
  who.Set(&two);
  declared.Declare(u"WHO", &who);
  s.analysis.declaredParameters = &declared;
  const std::u16string text = Translate(s, SQL_MODE_PASS_THROUGH);
  EXPECT_EQ(text, u"SELECT NAME FROM EMP WHERE ID = :WHO  AND DEPT = :WHO ") << Dump(*holder);
  ASSERT_EQ(rewriter->nGetParameterCount(), 2u);
  EXPECT_EQ(std::u16string(rewriter->pGetParameter(0)->pszGetName()), u"WHO");
  s.analysis.declaredParameters = nullptr;

  // A name ending in "%CURSOR" (any case) is the REF CURSOR the block opens, bound under the name before it.
  Statement& block = Make(u"BEGIN OPEN_EMP(:C1%cursor); END;", 0);
  EXPECT_EQ(Translate(block, SQL_MODE_PASS_THROUGH), u"BEGIN OPEN_EMP(:C1 ); END;") << Dump(*holder);
  ASSERT_EQ(rewriter->nGetParameterCount(), 1u);
  EXPECT_EQ(std::u16string(rewriter->pGetParameter(0)->pszGetName()), u"C1");
  EXPECT_TRUE(rewriter->pGetParameter(0)->bIsCursorParameter());
  CTString plain;
  EXPECT_EQ(rewriter->bIsCursorParameter(u"P%CURSORS", plain), 0);
  EXPECT_EQ(std::u16string(plain.pszGet()), u"P%CURSORS");
}

TEST_F(OracleOwnRewriter, LikeWritesOraclesEscapeClause) {
  // A Unicode pattern holding the escape goes as a bind, with the national clause.
  Statement& s = Make(u"SELECT COUNT(*) FROM EMP E WHERE E.NAME LIKE 'C\\\\%'", 1);
  Node* like = s.Op(SQL_NODE_LIKE, u"E.NAME LIKE 'C\\\\%'",
                    {s.Column(u"E.NAME", u"E", u"NAME"), s.Value(u"'C\\\\%'", s.Text(u"C\\\\%"))});
  s.File(u"EMP", u"E");
  s.Where(like, u"E.NAME LIKE 'C\\\\%'");
  const std::u16string text = Translate(s);
  EXPECT_EQ(text, u"SELECT COUNT(*) FROM EMP E WHERE E.NAME LIKE :1  ESCAPE N'\\' ") << Dump(*holder);
  EXPECT_EQ(Run(text), u"1") << Dump(*holder);

  // Compared with a VARCHAR2 column (item type code 2, the runtime's text) the pattern is 8-bit text: written as it
  // is, with the plain clause.
  Statement& plain = Make(u"SELECT E.ID, E.CODE FROM EMP E WHERE E.CODE LIKE 'a\\_b'", 1);
  plain.Item(u"E", u"CODE", u"E.CODE").SetNumber(rewritertest::I::kItemTypeCode, 2);
  plain.File(u"EMP", u"E");
  plain.Where(plain.Op(SQL_NODE_LIKE, u"E.CODE LIKE 'a\\_b'",
                       {plain.Column(u"E.CODE", u"E", u"CODE", 1), plain.Value(u"'a\\_b'", plain.Text(u"a\\_b"))}),
              u"E.CODE LIKE 'a\\_b'");
  const std::u16string narrow = Translate(plain);
  EXPECT_EQ(narrow, u"SELECT E.ID, E.CODE FROM EMP E WHERE E.CODE LIKE 'a\\_b' ESCAPE '\\' ") << Dump(*holder);
  EXPECT_EQ(Run(narrow), u"1") << "only a_b, its _ escaped: " << Dump(*holder);

  // The key conditions' clause: national for national text, plain for the others, none for a number.
  for (const auto& [type, clause] : {std::pair{29u, u" ESCAPE N'\\'"}, std::pair{2u, u" ESCAPE '\\'"},
                                     std::pair{15u, u" ESCAPE '\\'"}, std::pair{5u, u""}}) {
    rewriter->Reset(0);
    rewriter->WriteDialectEscape(nullptr, type);
    EXPECT_EQ(std::u16string(rewriter->pszGetSourceText()), clause) << type;
  }
}

// A server before 10 reads LIKE with an ESCAPE on a national text memo only through TO_NCHAR, with national text.
TEST_F(OracleOwnRewriter, AnOldServerReadsANationalMemoAsNationalText) {
  auto statement = [&]() -> Statement& {
    Statement& s = Make(u"SELECT D.BODY FROM DOCS D WHERE D.BODY LIKE 'a\\\\%'", 1);
    // The item type code 40 is the runtime's national text memo.
    s.Item(u"D", u"BODY", u"D.BODY").SetNumber(rewritertest::I::kItemTypeCode, 40);
    s.File(u"DOCS", u"D");
    s.Where(s.Op(SQL_NODE_LIKE, u"D.BODY LIKE 'a\\\\%'",
                 {s.Column(u"D.BODY", u"D", u"BODY", 1), s.Value(u"'a\\\\%'", s.Text(u"a\\\\%"))}),
            u"D.BODY LIKE 'a\\\\%'");
    return s;
  };
  EXPECT_EQ(Translate(statement()), u"SELECT D.BODY FROM DOCS D WHERE D.BODY LIKE :1  ESCAPE '\\' ") << Dump(*holder);
  const CTString version(connection->pszGetServerVersionText());
  connection->SetServerVersionText(u"9.2.0");
  connection->ParseServerVersion(nullptr);
  EXPECT_EQ(Translate(statement()), u"SELECT D.BODY FROM DOCS D WHERE TO_NCHAR(D.BODY) LIKE :1  ESCAPE N'\\' ")
      << Dump(*holder);
  connection->SetServerVersionText(version.pszGet());
  connection->ParseServerVersion(nullptr);
}

TEST_F(OracleOwnRewriter, ADateOfAFunctionIsReadAsDigits) {
  Statement& s = Make(u"LEFT(F(), 4)", 1);
  CHostValue& date = s.values.emplace_back();
  date.SetType(HOST_TYPE_WDATE);
  Node* function = s.Op(99, u"F()", {});
  function->constant = &date;
  Node* left = s.Op(42, u"LEFT(F(), 4)", {function});
  Translate(s);
  CTString statement;
  std::uint64_t position = 0;
  rewriter->Reset(0);
  auto* parent = AsSeenAcross<IHostExpressionNode>(left);
  auto* operand = AsSeenAcross<IHostExpressionNode>(function);
  rewriter->WriteDateTimeLiteral(statement, parent, operand, &position, 1);
  rewriter->nAppendText(u"F()");
  rewriter->WriteDateTimeLiteral(statement, parent, operand, &position, 0);
  EXPECT_EQ(std::u16string(rewriter->pszGetSourceText()), u"TO_CHAR( F(), 'YYYYMMDD') ");
  // Not under a string function: as it is.
  rewriter->Reset(0);
  rewriter->WriteDateTimeLiteral(
      statement, AsSeenAcross<IHostExpressionNode>(s.Op(SQL_NODE_EQ, u"LEFT(F(), 4)", {function})), operand,
      &position, 1);
  EXPECT_EQ(std::u16string(rewriter->pszGetSourceText()), u"");
}

TEST_F(OracleOwnRewriter, CopiesAndResets) {
  Statement& s = Make(u"SELECT NAME FROM EMP WHERE ID = 1", 1);
  s.WhereEquals(u"ID", 1);
  Translate(s);
  ASSERT_TRUE(rewriter->bAddLobColumn(u"DOC"));
  CHashTable map;
  CSqlRewriter* copy = rewriter->pClone(map, 0);
  ASSERT_NE(dynamic_cast<COracleSqlRewriter*>(copy), nullptr);
  copy->AddRef();
  EXPECT_EQ(std::u16string(static_cast<const char16_t*>(copy->pszGetOutputText(0))),
            u"SELECT NAME FROM EMP WHERE ID = :1 ");
  EXPECT_EQ(static_cast<COracleSqlRewriter*>(copy)->GetLobColumns().nGetCount(), 0u) << "the statement's own";
  copy->nRelease();

  EXPECT_EQ(rewriter->Reset(1), -1);
  EXPECT_EQ(rewriter->GetLobColumns().nGetCount(), 1u);
  EXPECT_EQ(rewriter->Reset(0), -1);
  EXPECT_EQ(rewriter->GetLobColumns().nGetCount(), 0u);
  EXPECT_EQ(rewriter->nGetBoundValueCount(), 0u);
  EXPECT_EQ(rewriter->nGetParameterCount(), 0u);
}

// The node carries the connection's handles (or none, new and empty) and compares an empty text as NULL.
template <class T>
void ExpectOracleNode(CKeyCondition* node, COracleConnection* connection, bool handles, const char* how) {
  auto* oracle = dynamic_cast<T*>(node);
  ASSERT_NE(oracle, nullptr) << how;
  EXPECT_EQ(oracle->bEmptyTextIsNull(), 1u) << how;
  EXPECT_EQ(oracle->pGetErrorHandle(), handles ? connection->m_pErrorHandle : nullptr) << how;
  EXPECT_EQ(oracle->pGetEnvironmentHandle(), handles ? connection->m_pEnvironment : nullptr) << how;
}

template <class T>
void EveryWayOfMaking(CErrorHolder* holder, COracleConnection* connection) {
  ASSERT_NE(connection->m_pErrorHandle, nullptr);
  auto* node = new T(holder, connection);
  node->AddRef();
  CHashTable map;
  CKeyCondition* made[] = {node, node->pNew(), node->pClone(), node->pNewWithArgs(node, map, 0, 0)};
  const char* how[] = {"made on the connection", "new and empty", "cloned", "copied through a map"};
  for (int i = 0; i < 4; ++i) {
    ASSERT_NE(made[i], nullptr) << how[i];
    ExpectOracleNode<T>(made[i], connection, i != 1, how[i]);
    EXPECT_EQ(made[i]->pGetConnection(), i == 1 ? nullptr : connection) << how[i];
    if (i > 0) {
      made[i]->AddRef();
      made[i]->nRelease();
    }
  }
  node->nRelease();
}

TEST_F(OracleOwnRewriter, ConditionNodesKeepTheirClassAndHandles) {
  EveryWayOfMaking<COracleKeyCondition>(holder, connection);
  EveryWayOfMaking<COracleFilterHolder>(holder, connection);
}

}  // namespace
