// The Oracle cursor on the OCI stand-in: a table's statements run by it (create, insert, select read through the row
// cache and directly, update, delete), its prefetch settings, RETURNING ROWID, a LONG value read in pieces, the
// record-lock statement built for the current record at every lock, and the bind dump of a failing run, after which
// the same cursor goes on.
#include "oracle_cursor_fixture.h"

#include "sql/conditions/key_condition.h"
#include "engine/values/field_value.h"
#include "foundation/clone_map.h"
#include "sql/rewriter/value_leaf.h"

namespace {

using namespace ocitest;

class OracleCursorStatements : public OracleCursorFixture {
 protected:
  OracleCursorStatements() : OracleCursorFixture("OCURSOR") {}

  void DescribeKeyed() {
    Describe({{u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, 2}, {u"NAME", COLUMN_TYPE_TEXT, 20, 0, 1}});
  }
  void Insert(std::int32_t k, const char16_t* name) {
    SetInt(u"K", k);
    SetText(u"NAME", name);
    ASSERT_EQ(Run(SQL_STATEMENT_INSERT), 1) << Dump(*holder);
  }
  // The record as last read from the server.
  void Hold(std::int32_t k) {
    SetInt(u"K", k);
    ASSERT_TRUE(columns->bAcceptCurrent());
  }
};

TEST_F(OracleCursorStatements, ATableLivesThroughTheCursor) {
  DescribeKeyed();
  ASSERT_EQ(Run(SQL_STATEMENT_CREATE), 1) << Dump(*holder);
  for (std::int32_t k : {1, 2, 3}) Insert(k, k == 2 ? u"two" : u"n");
  EXPECT_EQ(Fetch(u"SELECT COUNT(*) FROM T"), u"3");

  StandIn::Get().ClearCallLog();
  ASSERT_EQ(Run(SQL_STATEMENT_SELECT), 1) << Dump(*holder);
  EXPECT_EQ(Calls({"OCIAttrSet", "attr=11", "value=1000"}).size(), 1u);
  EXPECT_EQ(Calls({"OCIAttrSet", "attr=13", "value=10485760"}).size(), 1u);
  cursor->AttachRowCache(1);
  std::vector<std::u16string> cached;
  for (std::uint32_t direction : {READ_FIRST, READ_NEXT, READ_NEXT, READ_NEXT, READ_LAST, READ_PREVIOUS, READ_FIRST}) {
    cached.push_back(Read(direction));
  }
  EXPECT_EQ(cached, (std::vector<std::u16string>{u"1", u"2", u"3", u"<end>", u"3", u"2", u"1"}));
  EXPECT_EQ(Get(u"NAME"), u"n");
  // Every fetch went forward, whatever the direction read.
  EXPECT_TRUE(Calls({"OCIStmtFetch", "orientation=4"}).empty());
  EXPECT_TRUE(Calls({"OCIStmtFetch", "orientation=8"}).empty());

  ASSERT_EQ(Run(SQL_STATEMENT_SELECT), 1) << Dump(*holder);
  cursor->AttachRowCache(0);
  EXPECT_EQ(Read(READ_FIRST), u"1");
  EXPECT_EQ(Read(READ_NEXT), u"2");
  EXPECT_EQ(Get(u"NAME"), u"two");

  Hold(2);
  SetText(u"NAME", u"deux");
  ASSERT_EQ(Run(SQL_STATEMENT_UPDATE), 1) << Dump(*holder);
  Hold(3);
  ASSERT_EQ(Run(SQL_STATEMENT_DELETE), 1) << Dump(*holder);
  EXPECT_EQ(Fetch(u"SELECT COUNT(*) || NAME FROM T WHERE K = 2 GROUP BY NAME"), u"1deux");
  EXPECT_EQ(Fetch(u"SELECT COUNT(*) FROM T"), u"2");

  // A name that needs quoting is quoted alike in every statement: such a table is created, written and read.
  ASSERT_EQ(Sql(u"DROP TABLE T"), 1) << Dump(*holder);
  Describe({{u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, 2}, {u"NA ME", COLUMN_TYPE_TEXT, 20, 0, 1}});
  ASSERT_EQ(Run(SQL_STATEMENT_CREATE), 1) << Dump(*holder);
  SetInt(u"K", 1);
  SetText(u"NA ME", u"q");
  ASSERT_EQ(Run(SQL_STATEMENT_INSERT), 1) << Dump(*holder);
  EXPECT_EQ(Text(), u"INSERT INTO T (K, \"NA ME\") VALUES ( :1 , :2  )");
  Hold(1);
  SetText(u"NA ME", u"r");
  ASSERT_EQ(Run(SQL_STATEMENT_UPDATE), 1) << Dump(*holder);
  ASSERT_EQ(Run(SQL_STATEMENT_SELECT), 1) << Dump(*holder);
  EXPECT_EQ(Read(READ_FIRST), u"1");
  EXPECT_EQ(Get(u"NA ME"), u"r");
}

TEST_F(OracleCursorStatements, PrefetchIsATenthPastTheFirstStageOfASearch) {
  DescribeKeyed();
  ASSERT_EQ(Run(SQL_STATEMENT_CREATE), 1) << Dump(*holder);
  DescribeKeyed();
  CKeyCondition* node = Keep(cursor->pNewConditionNode(holder));
  struct Case {
    std::uint32_t configured;
    bool continuing;
    std::string rows;
  };
  for (const Case& c : {Case{1000, false, "1000"}, Case{1000, true, "100"}, Case{5, true, "1"}}) {
    connection->m_nPrefetchRows = c.configured;
    node->Restart(1);
    if (c.continuing) node->bAdvance(READ_NEXT);
    ASSERT_EQ(node->nGetStage() == KEY_STAGE_FIRST, !c.continuing);
    ASSERT_TRUE(cursor->bBuildStatement(SQL_STATEMENT_SELECT, Keep(table->pNewSqlStatement()), 0));
    // The node joins once the text is built: the run's prefetch is what it changes.
    cursor->SetConditionNode(node);
    StandIn::Get().ClearCallLog();
    ASSERT_EQ(cursor->bOpen(0, 0), 1) << Dump(*holder);
    const std::vector<std::string> set = Calls({"OCIAttrSet", "attr=11 value="});
    ASSERT_EQ(set.size(), 1u);
    const std::size_t at = set[0].find("attr=11 value=") + 14;
    EXPECT_EQ(set[0].substr(at, set[0].find_first_not_of("0123456789", at) - at), c.rows);
    cursor->SetConditionNode(nullptr);
  }
}

TEST_F(OracleCursorStatements, AnInsertIntoARowIdTableReturnsItsRowId) {
  Describe({{u"RID", COLUMN_TYPE_TEXT, 20, COLUMN_FLAG_PRIMARY_KEY, 1}, {u"QTY", COLUMN_TYPE_INT32, 4, 0, 2}}, true);
  ASSERT_EQ(Sql(u"CREATE TABLE T (QTY NUMBER(10))"), 1) << Dump(*holder);
  SetInt(u"QTY", 7);
  ASSERT_EQ(Run(SQL_STATEMENT_INSERT), 1) << Dump(*holder);
  EXPECT_EQ(Text(), u"INSERT INTO T (QTY) VALUES ( :1  ) RETURNING ROWID INTO :2 ");
  EXPECT_EQ(Get(u"RID"), Fetch(u"SELECT ROWIDTOCHAR(ROWID) FROM T"));
}

TEST_F(OracleCursorStatements, ALongValueComesInPiecesIntoOneBuffer) {
  Describe({{u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, 2}, {u"V", COLUMN_TYPE_TEXT_MEMO, 0, 0, 8}});
  ASSERT_EQ(Sql(u"CREATE TABLE T (K NUMBER(10) PRIMARY KEY, V LONG)"), 1) << Dump(*holder);
  ASSERT_EQ(Sql(u"INSERT INTO T VALUES (1, RPAD('a', 40000, 'b'))"), 1) << Dump(*holder);
  ASSERT_EQ(Run(SQL_STATEMENT_SELECT), 1) << Dump(*holder);
  StandIn::Get().ClearCallLog();
  EXPECT_EQ(Read(READ_FIRST), u"1");
  const std::u16string value = Get(u"V");
  EXPECT_EQ(value.size(), 40000u);
  EXPECT_EQ(value.substr(0, 2), u"ab");
  EXPECT_EQ(value.back(), u'b');
  EXPECT_EQ(Calls({"OCIStmtSetPieceInfo"}).size(), 3u);
}

// Each lock selects the record current at that lock, not the one of the first lock.
TEST_F(OracleCursorStatements, EachLockSelectsTheCurrentRecord) {
  DescribeKeyed();
  ASSERT_EQ(Run(SQL_STATEMENT_CREATE), 1) << Dump(*holder);
  DescribeKeyed();
  for (std::int32_t k : {1, 2}) Insert(k, u"n");
  StandIn::Get().ClearCallLog();
  for (std::int32_t k : {1, 2}) {
    Hold(k);
    ASSERT_EQ(cursor->bRunRecordLock(2, false), 1) << Dump(*holder);
    EXPECT_EQ(Text(), u"SELECT K,NAME FROM T WHERE K=:1  FOR UPDATE NOWAIT");
    CHostValue bound;
    bound.Assign(cursor->pGetStatement()->pGetParameter(0)->pGetFieldValue()->Value());
    std::int32_t locked = 0;
    bound.nGet(&locked);
    EXPECT_EQ(locked, k);
  }
  EXPECT_EQ(Calls({"OCIStmtPrepare", "FOR UPDATE NOWAIT"}).size(), 2u);
}

TEST_F(OracleCursorStatements, AFailingRunDumpsItsBindsAndTheCursorGoesOn) {
  DescribeKeyed();
  ASSERT_EQ(Run(SQL_STATEMENT_CREATE), 1) << Dump(*holder);
  DescribeKeyed();
  Insert(1, u"n");
  SetInt(u"K", 1);
  SetText(u"NAME", u"again");
  EXPECT_EQ(Run(SQL_STATEMENT_INSERT), 0);
  const std::string report = Dump(*holder);
  EXPECT_NE(report.find("ORA-00001"), std::string::npos) << report;
  EXPECT_NE(report.find("P:1 :\t1\r\n"), std::string::npos) << report;
  EXPECT_NE(report.find("P:2 :\tagain\r\n"), std::string::npos) << report;
  EXPECT_NE(report.find("INSERT INTO T (K, NAME)"), std::string::npos) << report;
  holder->Clear();
  Insert(2, u"n");
  EXPECT_EQ(Fetch(u"SELECT COUNT(*) FROM T"), u"2");
}

// A statement whose values come as named parameters (as a parsed statement's do) numbers them from 1 after the
// values the text numbers itself; a value written into the text as NULL is bound nowhere.
TEST_F(OracleCursorStatements, NamedParametersAreNumberedAfterTheTextsOwn) {
  DescribeKeyed();
  ASSERT_EQ(Run(SQL_STATEMENT_CREATE), 1) << Dump(*holder);
  DescribeKeyed();
  Insert(1, u"n");
  auto value = [&](std::int32_t number, const char16_t* text) {
    CHostValue held;
    if (text) {
      held.SetType(HOST_TYPE_TEXT);
      held.Set(text);
    } else if (number >= 0) {
      held.SetType(HOST_TYPE_INT32);
      held.Set(&number);
    }
    CFieldValue* made = NewValue(held.nGetType());
    if (held.nGetType() != HOST_TYPE_EMPTY) {
      EXPECT_TRUE(made->bSetValue(held)) << Dump(*holder);
    }
    return made;
  };
  struct Case {
    bool withNumbered;
    const char* dump;
  };
  for (const Case& c : {Case{false, "P:1 :\t1\r\nP:2 :\tagain\r\n"}, Case{true, "P:1 :\tagain\r\nP:2 :\t1\r\n"}}) {
    CSqlRewriter* insert = Keep(table->pNewSqlStatement());
    ASSERT_TRUE(insert->nAppendText(u"INSERT INTO T (K, NAME) VALUES ("));
    AddParameter(insert, value(1, nullptr), u"K");
    ASSERT_TRUE(insert->nAppendText(u", "));
    if (c.withNumbered) {
      // An untyped NULL stays in the text; the typed value beside it is numbered ":1".
      ASSERT_TRUE(insert->nAppendText(u"NVL("));
      AddParameter(insert, value(-1, nullptr), u"");
      ASSERT_TRUE(insert->nAppendText(u", "));
      AddParameter(insert, value(0, u"again"), u"");
      ASSERT_TRUE(insert->nAppendText(u"))"));
    } else {
      AddParameter(insert, value(0, u"again"), u"NAME");
      ASSERT_TRUE(insert->nAppendText(u")"));
    }
    insert->SetStatementKind(SQL_STATEMENT_INSERT);
    ASSERT_TRUE(cursor->bSetStatement(insert));
    EXPECT_EQ(cursor->bPrepareAndExecute(0, 0), 0);
    const std::string report = Dump(*holder);
    EXPECT_NE(report.find("ORA-00001"), std::string::npos) << report;
    EXPECT_NE(report.find(c.dump), std::string::npos) << report;
    holder->Clear();
  }
  EXPECT_EQ(Fetch(u"SELECT COUNT(*) FROM T"), u"1");
}

}  // namespace

namespace {

using namespace ocitest;

class OracleCursorLobs : public OracleCursorFixture {
 protected:
  OracleCursorLobs() : OracleCursorFixture("OCURSORLOB") {}
};

TEST_F(OracleCursorLobs, AnInsertReturnsTheLocatorsOfItsLobs) {
  ASSERT_EQ(Sql(u"CREATE TABLE T (K NUMBER(10) PRIMARY KEY, C1 CLOB, C2 BLOB)"), 1) << Dump(*holder);
  Describe({{u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, 2},
            {u"C1", COLUMN_TYPE_TEXT_MEMO, 0, 0, 112},
            {u"C2", COLUMN_TYPE_BINARY_MEMO, 0, 0, 113}});
  SetInt(u"K", 1);
  SetText(u"C1", u"first");
  SetText(u"C2", u"second");
  ASSERT_TRUE(cursor->bBuildStatement(SQL_STATEMENT_INSERT, Keep(table->pNewSqlStatement()), 0)) << Dump(*holder);
  EXPECT_EQ(Text(), u"INSERT INTO T (K, C1, C2) VALUES ( :1 , EMPTY_CLOB(), EMPTY_BLOB() ) RETURNING C1,C2 INTO :2 ,:3 ");
}

// A PL/SQL call whose output parameter is a REF CURSOR is described by the rows that cursor gives, and read from it.
TEST_F(OracleCursorLobs, ACallReturningACursorIsDescribedByIt) {
  ASSERT_EQ(Sql(u"CREATE TABLE P (NAME VARCHAR2(10))"), 1) << Dump(*holder);
  ASSERT_EQ(Sql(u"INSERT INTO P VALUES ('one')"), 1) << Dump(*holder);
  Describe({{u"NAME", COLUMN_TYPE_TEXT, 10, 0, 1}});
  table->queryMode = 1;
  CSqlRewriter* call = Keep(table->pNewSqlStatement());
  ASSERT_TRUE(call->nAppendText(u"BEGIN OPEN "));
  // The parameter's value is a typed NULL, as a declared parameter's is: only an untyped NULL stays in the text.
  auto* typed = Keep(static_cast<CFieldValue*>(static_cast<CDriver*>(driver)->pCreateFieldValue(holder, connection)));
  typed->InitType(HOST_TYPE_INT32, 0);
  typed->SetNull();
  auto* leaf = new CValueLeaf(typed, call->GetStatementText().nGetLength(),
                              LEAF_FLAG_NAMED | LEAF_FLAG_CURSOR_PARAMETER, u"C");
  leaf->SetOrigin(LEAF_ORIGIN_NAMED_PARAMETER);
  ASSERT_TRUE(call->Lists().bAddExistingParameter(leaf));
  ASSERT_TRUE(call->nAppendText(u" FOR SELECT NAME FROM P; END;"));
  call->SetStatementKind(0);
  ASSERT_TRUE(cursor->bSetStatement(call));
  ASSERT_EQ(cursor->bPrepareAndExecute(0, 0), 1) << Dump(*holder);
  auto* described = Keep(static_cast<CDriver*>(driver)->pCreateDescription(connection, holder));
  ASSERT_EQ(cursor->bDescribe(described), 1) << Dump(*holder);
  ASSERT_EQ(described->nGetItemCount(), 1u);
  EXPECT_EQ(std::u16string(described->pGetItemAt(0)->pszGetName()), u"NAME");
  EXPECT_EQ(cursor->pGetStatement()->nGetStatementKind(), SQL_STATEMENT_SELECT);
}

TEST_F(OracleCursorLobs, TheDriverObjectMakesOracleCursors) {
  Describe({{u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, 2}});
  CCursor* made = Keep(table->pNewContext());
  EXPECT_NE(dynamic_cast<COracleCursor*>(made), nullptr);
  // The table is copied by whoever copies it with its cursors: here it stands for its own copy.
  CHashTable map(7);
  ASSERT_TRUE(bRegisterClone(map, table, table));
  CCursor* copy = Keep(cursor->pClone(map));
  EXPECT_NE(dynamic_cast<COracleCursor*>(copy), nullptr);
  EXPECT_EQ(static_cast<COracleCursor*>(copy)->pGetOciStatement(), nullptr) << "a copy prepares its own statement";
}

}  // namespace
