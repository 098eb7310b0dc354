// The SQL texts the driver sends, as it writes them, each with the rows it expects: DDL and DML of tables with
// their bind markers, catalog queries, keys, defaults, comments, object kinds and the identifier sequence.
#include <gtest/gtest.h>

#include <cstring>

#include "oci_client_helpers.h"

namespace ocitest {
namespace {

const char kSystemSchemas[] =
    "('AURORA$ORB$UNAUTHENTICATED','AURORA$JIS$UTILITY$','OSE$HTTP$ADMIN','CTXSYS','DBSNMP','DIP','DMSYS','EXFSYS',"
    "'LBACSYS','MDDATA','MDSYS','MGMT_VIEW','MTSSYS','ODM','ODM_MTR','OLAPSYS','OWBSYS','ORDPLUGINS','ORDSYS','OUTLN',"
    "'SI_INFORMTN_SCHEMA','SYS','SYSMAN','SYSTEM','TSMSYS','WK_TEST','WKSYS','WKPROXY','WMSYS','XDB')";

class DriverSql : public ::testing::Test {
 protected:
  OciLibrary& lib = OciLibrary::Default();
  std::string ds = UniqueDataSource("DRIVER");
  OciClient app{lib};

  void SetUp() override {
    ASSERT_EQ(lib.CreateUser(ds.c_str(), "APP", "pw"), 0);
    ASSERT_EQ(app.Logon(ds, "APP", "pw"), oci::kSuccess);
    ASSERT_EQ(app.Exec("CREATE TABLE \"ITEMS\"( ID NUMERIC(10,0)  PRIMARY KEY , NAME VARCHAR2(20), "
                       "CODE NUMERIC(5,0) DEFAULT 7, D DATE DEFAULT SYSDATE, M CLOB, B BLOB, TS TIMESTAMP(3) )"),
              oci::kSuccess)
        << app.ErrorText();
  }
};

TEST_F(DriverSql, TableDdlIndexesKeysAndDrop) {
  ASSERT_EQ(app.Exec("CREATE  INDEX QZIDX17000000010 ON \"ITEMS\" ( NAME ) "), oci::kSuccess) << app.ErrorText();
  ASSERT_EQ(app.Exec("CREATE UNIQUE INDEX \"ITEMS_K\" ON \"ITEMS\" ( CODE,NAME ) "), oci::kSuccess) << app.ErrorText();
  const std::string keys =
      "SELECT ALL_IND_COLUMNS.INDEX_NAME, ALL_IND_COLUMNS.COLUMN_NAME, ALL_IND_COLUMNS.COLUMN_POSITION, "
      "ALL_INDEXES.UNIQUENESS FROM  SYS.ALL_IND_COLUMNS,SYS.ALL_INDEXES WHERE "
      "ALL_IND_COLUMNS.INDEX_NAME=ALL_INDEXES.INDEX_NAME AND ALL_IND_COLUMNS.INDEX_OWNER=ALL_INDEXES.OWNER "
      "AND ALL_IND_COLUMNS.TABLE_OWNER='APP' AND ALL_IND_COLUMNS.TABLE_NAME='ITEMS' "
      "ORDER BY INDEX_NAME,COLUMN_POSITION DESC";
  EXPECT_EQ(app.Query(keys), (Rows{{"ITEMS_K", "NAME", "2", "UNIQUE"},
                                   {"ITEMS_K", "CODE", "1", "UNIQUE"},
                                   {"QZIDX17000000010", "NAME", "1", "NONUNIQUE"},
                                   {"SYS_C_ITEMS_1", "ID", "1", "UNIQUE"}}))
      << app.ErrorText();
  EXPECT_EQ(app.Query("SELECT COLUMN_NAME, DATA_DEFAULT FROM ALL_TAB_COLUMNS WHERE OWNER = 'APP' AND "
                      "TABLE_NAME = 'ITEMS' AND DATA_DEFAULT IS NOT NULL"),
            (Rows{{"CODE", "7"}, {"D", "SYSDATE"}}));
  EXPECT_EQ(app.Query("SELECT COLUMN_NAME, DATA_TYPE, DATA_PRECISION, DATA_SCALE, NULLABLE FROM ALL_TAB_COLUMNS "
                      "WHERE OWNER LIKE 'APP' AND TABLE_NAME LIKE 'ITEMS' ORDER BY COLUMN_ID"),
            (Rows{{"ID", "NUMBER", "10", "0", "N"},
                  {"NAME", "VARCHAR2", "<null>", "<null>", "Y"},
                  {"CODE", "NUMBER", "5", "0", "Y"},
                  {"D", "DATE", "<null>", "<null>", "Y"},
                  {"M", "CLOB", "<null>", "<null>", "Y"},
                  {"B", "BLOB", "<null>", "<null>", "Y"},
                  {"TS", "TIMESTAMP(3)", "<null>", "<null>", "Y"}}));
  EXPECT_EQ(app.Query("SELECT  OBJECT_TYPE FROM SYS.ALL_OBJECTS WHERE UPPER(OBJECT_NAME)=UPPER('items') AND "
                      "OBJECT_TYPE LIKE 'TABLE' AND OWNER='APP' "),
            (Rows{{"TABLE"}}));
  EXPECT_EQ(app.Query("SELECT  OWNER,OBJECT_NAME,OBJECT_TYPE FROM ALL_OBJECTS WHERE OBJECT_NAME='ITEMS' AND "
                      "OBJECT_TYPE NOT LIKE 'INDEX%' AND OWNER='APP' "),
            (Rows{{"APP", "ITEMS", "TABLE"}}));
  ASSERT_EQ(app.Exec("ALTER TABLE ITEMS ADD (EXTRA NUMBER(3), LABEL VARCHAR2(5 CHAR))"), oci::kSuccess)
      << app.ErrorText();
  EXPECT_EQ(app.Query("SELECT COUNT(*) FROM ALL_TAB_COLUMNS WHERE TABLE_NAME = 'ITEMS'"), (Rows{{"9"}}));
  ASSERT_EQ(app.Exec("INSERT INTO ITEMS (ID) VALUES (1)"), oci::kSuccess);
  ASSERT_EQ(app.Exec("TRUNCATE TABLE ITEMS"), oci::kSuccess) << app.ErrorText();
  EXPECT_EQ(app.Query("SELECT COUNT(*) FROM ITEMS"), (Rows{{"0"}}));
  ASSERT_EQ(app.Exec("DROP TABLE \"ITEMS\" CASCADE CONSTRAINT"), oci::kSuccess) << app.ErrorText();
  EXPECT_EQ(app.Query("SELECT COUNT(*) FROM SYS.ALL_OBJECTS WHERE OWNER='APP'"), (Rows{{"0"}}));
  EXPECT_EQ(app.Exec("DROP TABLE \"ITEMS\" CASCADE CONSTRAINT"), oci::kError);
  EXPECT_EQ(app.ErrorCode(), 942);
}

TEST_F(DriverSql, RecordStatementsWithRowids) {
  // INSERT ... RETURNING ROWID INTO an out bind, then the row found again by its ROWID.
  OCIStmt* stmt = nullptr;
  lib.HandleAlloc(app.env, reinterpret_cast<void**>(&stmt), oci::kHtypeStmt, 0, nullptr);
  const std::string insert = "INSERT INTO \"ITEMS\" (ID, NAME) VALUES ( :1, :2 ) RETURNING ROWID INTO :3";
  ASSERT_EQ(lib.StmtPrepare(stmt, app.err, reinterpret_cast<const OraText*>(insert.data()),
                            static_cast<ub4>(insert.size()), 1, 0),
            oci::kSuccess);
  std::int32_t id = 5;
  char name[] = "five";
  char rowid[40] = {};
  sb2 rowidIndicator = 0;
  OCIBind* b1 = nullptr;
  OCIBind* b2 = nullptr;
  OCIBind* b3 = nullptr;
  lib.BindByName(stmt, &b1, app.err, reinterpret_cast<const OraText*>(":1"), 2, &id, 4, oci::kSqltInt, nullptr,
                 nullptr, nullptr, 0, nullptr, 0);
  lib.BindByName(stmt, &b2, app.err, reinterpret_cast<const OraText*>(":2"), 2, name, sizeof name, oci::kSqltStr,
                 nullptr, nullptr, nullptr, 0, nullptr, 0);
  lib.BindByName(stmt, &b3, app.err, reinterpret_cast<const OraText*>(":3"), 2, rowid, sizeof rowid, oci::kSqltStr,
                 &rowidIndicator, nullptr, nullptr, 0, nullptr, 0);
  ASSERT_EQ(lib.StmtExecute(app.svc, stmt, app.err, 1, 0, nullptr, nullptr, oci::kCommitOnSuccess), oci::kSuccess)
      << app.ErrorText();
  ub4 rows = 0;
  lib.AttrGet(stmt, oci::kHtypeStmt, &rows, nullptr, oci::kAttrRowCount, app.err);
  EXPECT_EQ(rows, 1u);
  ub2 type = 0;
  lib.AttrGet(stmt, oci::kHtypeStmt, &type, nullptr, oci::kAttrStmtType, app.err);
  EXPECT_EQ(type, oci::kStmtInsert);
  lib.HandleFree(stmt, oci::kHtypeStmt);
  ASSERT_EQ(std::strlen(rowid), 18u);
  EXPECT_EQ(rowidIndicator, 0);

  EXPECT_EQ(app.Query("SELECT ID, NAME,ROWIDTOCHAR(ROWID) FROM \"ITEMS\" WHERE  ROWID=:1", {{"1", rowid}}),
            (Rows{{"5", "five", rowid}}));
  ASSERT_EQ(app.Exec("UPDATE \"ITEMS\" SET NAME = :1 WHERE  ROWID=:2", {{"1", "cinq"}, {"2", rowid}}), oci::kSuccess);
  EXPECT_EQ(app.Query("SELECT COUNT(*) AS QZACCESNATIF_NBENR FROM \"ITEMS\" WHERE NAME = 'cinq'"), (Rows{{"1"}}));
  EXPECT_EQ(app.Query("SELECT COUNT(*) AS QZACCESNATIF_NBENR FROM  (SELECT * FROM \"ITEMS\")"), (Rows{{"1"}}));
  ASSERT_EQ(app.Exec("DELETE \"ITEMS\" WHERE  ROWID=:1", {{"1", rowid}}), oci::kSuccess) << app.ErrorText();
  EXPECT_EQ(app.Query("SELECT COUNT(*) FROM \"ITEMS\""), (Rows{{"0"}}));
}

TEST_F(DriverSql, CatalogListerQueries) {
  ASSERT_EQ(app.Exec("CREATE VIEW V_ITEMS AS SELECT ID, NAME FROM ITEMS"), oci::kSuccess) << app.ErrorText();
  ASSERT_EQ(app.Exec("CREATE SYNONYM S_ITEMS FOR APP.ITEMS"), oci::kSuccess) << app.ErrorText();
  OciClient admin(lib);
  ASSERT_EQ(admin.Logon(ds, "SYSTEM", "manager"), oci::kSuccess);
  ASSERT_EQ(admin.Exec("CREATE TABLE SYSTAB (X NUMBER)"), oci::kSuccess);

  const std::string tables = std::string("SELECT OWNER,TABLE_NAME,'TABLE' AS TYPE FROM SYS.ALL_TABLES WHERE OWNER NOT IN ") +
                             kSystemSchemas;
  const std::string views = std::string("SELECT OWNER,VIEW_NAME AS TABLE_NAME,'VIEW' AS TYPE FROM SYS.ALL_VIEWS WHERE "
                                        "OWNER NOT IN ") + kSystemSchemas +
                            " UNION SELECT OWNER, SYNONYM_NAME AS TABLE_NAME,'SYNONYM' AS TYPE FROM SYS.ALL_SYNONYMS "
                            "WHERE TABLE_OWNER NOT IN " + kSystemSchemas;
  const std::string order = " ORDER BY OWNER,TABLE_NAME,TYPE";
  EXPECT_EQ(app.Query(tables + " UNION " + views + order),
            (Rows{{"APP", "ITEMS", "TABLE"}, {"APP", "S_ITEMS", "SYNONYM"}, {"APP", "V_ITEMS", "VIEW"}}))
      << app.ErrorText();
  EXPECT_EQ(app.Query(std::string("SELECT OWNER,TABLE_NAME,'TABLE' AS TYPE FROM SYS.ALL_TABLES WHERE OWNER IN ") +
                      kSystemSchemas),
            (Rows{{"SYSTEM", "SYSTAB", "TABLE"}}));
  EXPECT_EQ(app.Query("SELECT OWNER,NAME AS TABLE_NAME, TYPE FROM SYS.ALL_SOURCE WHERE TYPE IN "
                      "('PROCEDURE','FUNCTION') GROUP BY OWNER,NAME,TYPE ORDER BY OWNER,TABLE_NAME,TYPE"),
            Rows{});
  EXPECT_EQ(app.lastStatus, oci::kSuccess) << app.ErrorText();
}

// Statements a server answers otherwise than SQLite would, in order, each with the server's answer: the ORA number
// of its refusal (0 when it runs) and, for a query, its rows. Two sessions of the same user meet on locks.
TEST_F(DriverSql, StatementsAnswerAsAServerDoes) {
  OciClient other(lib);
  ASSERT_EQ(other.Logon(ds, "APP", "pw"), oci::kSuccess);
  const struct {
    OciClient* by;
    std::string sql;
    int error;
    Rows rows;
    std::vector<std::pair<std::string, std::string>> binds;
    bool hold;  // the session's transaction stays open
  } steps[] = {
      // Quoted names keep their case, unquoted ones are read in upper case.
      {&app, "CREATE TABLE T1 (\"lower\" NUMBER(5,2), UP NUMBER, IV INTERVAL DAY(2) TO SECOND)", 0, {}, {}, false},
      {&app, "CREATE TABLE \"t1\" (X NUMBER(10) CONSTRAINT T1_FK REFERENCES ITEMS)", 0, {}, {}, false},
      {&app, "CREATE TABLE \"T1\" (X NUMBER)", 955, {}, {}, false},
      {&app, "SELECT TABLE_NAME FROM USER_TABLES WHERE UPPER(TABLE_NAME) = 'T1' ORDER BY 1", 0, {{"T1"}, {"t1"}}, {}, false},
      {&app, "SELECT COLUMN_NAME FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'T1'", 0, {{"lower"}, {"UP"}, {"IV"}}, {}, false},
      {&app, "SELECT LOWER FROM T1", 904, {}, {}, false},
      // Constraint names as created, and the key a reference names.
      {&app, "SELECT CONSTRAINT_NAME, R_CONSTRAINT_NAME FROM USER_CONSTRAINTS WHERE TABLE_NAME = 't1'", 0,
       {{"T1_FK", "SYS_C_ITEMS_1"}}, {}, false},
      // NUMBER(p,s) rounds to its scale and refuses more digits than its precision; no NUMBER reaches 10^126.
      {&app, "INSERT INTO T1 (\"lower\", UP) VALUES (123.456, 0.5)", 0, {}, {}, false},
      {&app, "INSERT INTO T1 (\"lower\") VALUES (999.995)", 1438, {}, {}, false},
      {&app, "INSERT INTO T1 (UP) VALUES (1e126)", 1426, {}, {}, false},
      {&app, "SELECT \"lower\", TO_CHAR(UP) FROM T1", 0, {{"123.46", ".5"}}, {}, false},
      {&app, "UPDATE T1 SET UP = 304697195943911059.", 0, {}, {}, false},
      {&app, "SELECT TO_CHAR(UP) FROM T1", 0, {{"304697195943911059"}}, {}, false},
      // A text bound into a NUMBER column is the number.
      {&app, "UPDATE T1 SET UP = :V", 0, {}, {{"V", "0.000000000000000000000000000000000001"}}, false},
      {&app, "SELECT TO_CHAR(UP) FROM T1", 0, {{".000000000000000000000000000000000001"}}, {}, false},
      // TIMESTAMP(f), INTERVAL DAY TO SECOND(f) and FLOAT(b) round what they are given (carrying on into the larger
      // fields), no NUMBER is below 1e-130 but 0, and a RAW keeps the bytes of a hexadecimal text.
      {&app, "CREATE TABLE T2 (TS TIMESTAMP(2), DS INTERVAL DAY(2) TO SECOND(1), FL FLOAT(5), N NUMBER, R RAW(2))", 0,
       {}, {}, false},
      {&app, "INSERT INTO T2 VALUES (TO_TIMESTAMP('2024-12-31 23:59:59.996', 'YYYY-MM-DD HH24:MI:SS.FF'), "
             "INTERVAL '1.55' SECOND, 123.45, 9e-131, '0aff')", 0, {}, {}, false},
      {&app, "SELECT TO_CHAR(TS, 'YYYY-MM-DD HH24:MI:SS.FF3') FROM T2", 0, {{"2025-01-01 00:00:00.000"}}, {}, false},
      {&app, "SELECT COUNT(*) FROM T2 WHERE DS = INTERVAL '1.6' SECOND", 0, {{"1"}}, {}, false},
      {&app, "SELECT TO_CHAR(FL) FROM T2", 0, {{"120"}}, {}, false},
      {&app, "SELECT TO_CHAR(N) FROM T2", 0, {{"0"}}, {}, false},
      {&app, "SELECT R FROM T2", 0, {{"0AFF"}}, {}, false},
      {&app, "INSERT INTO T2 (FL, N) SELECT FL + 0.5, -N - 1e-131 FROM T2", 0, {}, {}, false},
      {&app, "UPDATE T2 SET FL = :V, N = :W WHERE N = 0", 0, {}, {{"V", "-0.0012345"}, {"W", "1.5e-200"}}, false},
      {&app, "SELECT TO_CHAR(FL), TO_CHAR(N) FROM T2", 0, {{"-.0012", "0"}, {"-.0012", "0"}}, {}, false},
      {&app, "UPDATE T2 SET TS = TO_TIMESTAMP('9999-12-31 23:59:59.999', 'YYYY-MM-DD HH24:MI:SS.FF')", 1841, {}, {},
       false},
      {&app, "UPDATE T2 SET DS = INTERVAL '99 23:59:59.96' DAY TO SECOND", 1873, {}, {}, false},
      {&app, "UPDATE T2 SET FL = :V", 1426, {}, {{"V", "2e126"}}, false},
      {&app, "UPDATE T2 SET R = :V", 1465, {}, {{"V", "0g"}}, false},
      {&app, "SELECT RAWTOHEX(HEXTORAW('abc')) FROM DUAL", 0, {{"0ABC"}}, {}, false},
      // INTERVAL literals, within the column's leading precision.
      {&app, "UPDATE T1 SET IV = INTERVAL '2' DAY", 0, {}, {}, false},
      {&app, "SELECT COUNT(*) FROM T1 WHERE IV = INTERVAL '48' HOUR", 0, {{"1"}}, {}, false},
      {&app, "UPDATE T1 SET IV = INTERVAL '100' DAY(3)", 1873, {}, {}, false},
      // A synonym is written and locked as its table; a table another session holds is not dropped.
      {&app, "CREATE SYNONYM S1 FOR APP.T1", 0, {}, {}, false},
      {&other, "UPDATE S1 SET UP = 2 WHERE S1.UP > 0", 0, {}, {}, false},
      {&other, "SELECT UP FROM S1 FOR UPDATE NOWAIT", 0, {{"2"}}, {}, true},
      {&app, "SELECT UP FROM T1 FOR UPDATE NOWAIT", 54, {}, {}, false},
      {&app, "DROP TABLE T1", 54, {}, {}, false},
      {&other, "COMMIT", 0, {}, {}, false},
      {&app, "DROP TABLE T1", 0, {}, {}, false},
  };
  for (const auto& step : steps) {
    const ub4 mode = step.hold ? oci::kDefault : oci::kCommitOnSuccess;
    const bool query = step.sql.rfind("SELECT", 0) == 0;
    const Rows rows = query ? step.by->Query(step.sql, step.binds, mode) : Rows{};
    const sword status = query ? step.by->lastStatus : step.by->Exec(step.sql, step.binds, mode);
    EXPECT_EQ(status, step.error ? oci::kError : oci::kSuccess) << step.sql << ": " << step.by->ErrorText();
    if (step.error) {
      EXPECT_EQ(step.by->ErrorCode(), step.error) << step.sql;
    }
    EXPECT_EQ(rows, step.rows) << step.sql;
  }
}

TEST_F(DriverSql, ForeignKeysCarryTheirDeleteRule) {
  ASSERT_EQ(app.Exec("CREATE TABLE DEPT (ID NUMBER(5) PRIMARY KEY)"), oci::kSuccess) << app.ErrorText();
  ASSERT_EQ(app.Exec("CREATE TABLE EMP (ID NUMBER(5) PRIMARY KEY, D1 NUMBER(5) REFERENCES DEPT(ID) ON DELETE CASCADE, "
                     "D2 NUMBER(5) REFERENCES DEPT(ID))"),
            oci::kSuccess)
      << app.ErrorText();
  EXPECT_EQ(app.Query("SELECT CONSTRAINT_TYPE, DELETE_RULE FROM ALL_CONSTRAINTS WHERE TABLE_NAME IN ('DEPT','EMP') "
                      "ORDER BY TABLE_NAME, CONSTRAINT_TYPE, DELETE_RULE"),
            (Rows{{"P", "<null>"}, {"P", "<null>"}, {"R", "CASCADE"}, {"R", "NO ACTION"}}))
      << app.ErrorText();
}

TEST_F(DriverSql, CommentsAndDescribeOfTablesViewsSynonymsAndSequences) {
  ASSERT_EQ(app.Exec("COMMENT ON COLUMN ITEMS.NAME IS 'the name'"), oci::kSuccess) << app.ErrorText();
  ASSERT_EQ(app.Exec("COMMENT ON TABLE ITEMS IS 'things'"), oci::kSuccess);
  EXPECT_EQ(app.Query("SELECT COLUMN_NAME, COMMENTS FROM SYS.ALL_COL_COMMENTS WHERE COMMENTS IS NOT NULL AND "
                      "TABLE_NAME='ITEMS' AND OWNER='APP' "),
            (Rows{{"NAME", "the name"}}));
  EXPECT_EQ(app.Query("SELECT COMMENTS FROM ALL_TAB_COMMENTS WHERE TABLE_NAME='ITEMS'"), (Rows{{"things"}}));

  OCIDescribe* describe = nullptr;
  lib.HandleAlloc(app.env, reinterpret_cast<void**>(&describe), oci::kHtypeDescribe, 0, nullptr);
  auto describeAs = [&](const std::string& name, ub1 type) {
    return lib.DescribeAny(app.svc, app.err, const_cast<char*>(name.data()), static_cast<ub4>(name.size()), 1, 0,
                           type, describe);
  };
  auto rootParam = [&]() {
    void* param = nullptr;
    lib.AttrGet(describe, oci::kHtypeDescribe, &param, nullptr, oci::kAttrParam, app.err);
    return param;
  };
  ASSERT_EQ(describeAs("\"APP\".\"ITEMS\"", oci::kPtypeTable), oci::kSuccess) << app.ErrorText();
  void* param = rootParam();
  ub1 ptype = 0;
  ub2 columns = 0;
  void* list = nullptr;
  lib.AttrGet(param, oci::kDtypeParam, &ptype, nullptr, oci::kAttrPtype, app.err);
  lib.AttrGet(param, oci::kDtypeParam, &columns, nullptr, oci::kAttrNumCols, app.err);
  lib.AttrGet(param, oci::kDtypeParam, &list, nullptr, oci::kAttrListColumns, app.err);
  EXPECT_EQ(ptype, oci::kPtypeTable);
  // The column list is a parameter of its own kind, with the published type number of a list.
  lib.AttrGet(list, oci::kDtypeParam, &ptype, nullptr, oci::kAttrPtype, app.err);
  EXPECT_EQ(ptype, 11);
  ASSERT_EQ(columns, 7);
  void* column = nullptr;
  ASSERT_EQ(lib.ParamGet(list, oci::kDtypeParam, app.err, &column, 5), oci::kSuccess);
  ub2 dataType = 0;
  ub1 precision = 9;
  lib.AttrGet(column, oci::kDtypeParam, &dataType, nullptr, oci::kAttrDataType, app.err);
  EXPECT_EQ(dataType, oci::kSqltClob);
  ASSERT_EQ(lib.ParamGet(list, oci::kDtypeParam, app.err, &column, 1), oci::kSuccess);
  lib.AttrGet(column, oci::kDtypeParam, &precision, nullptr, oci::kAttrPrecision, app.err);
  EXPECT_EQ(precision, 10);

  ASSERT_EQ(app.Exec("CREATE VIEW V_ITEMS AS SELECT ID FROM ITEMS"), oci::kSuccess);
  EXPECT_EQ(describeAs("V_ITEMS", oci::kPtypeTable), oci::kError);
  ASSERT_EQ(describeAs("V_ITEMS", oci::kPtypeUnknown), oci::kSuccess);
  lib.AttrGet(rootParam(), oci::kDtypeParam, &ptype, nullptr, oci::kAttrPtype, app.err);
  EXPECT_EQ(ptype, oci::kPtypeView);

  ASSERT_EQ(app.Exec("CREATE PUBLIC SYNONYM EVERYWHERE FOR APP.ITEMS@FARAWAY"), oci::kSuccess) << app.ErrorText();
  ASSERT_EQ(describeAs("EVERYWHERE", oci::kPtypeUnknown), oci::kSuccess) << app.ErrorText();
  param = rootParam();
  lib.AttrGet(param, oci::kDtypeParam, &ptype, nullptr, oci::kAttrPtype, app.err);
  EXPECT_EQ(ptype, oci::kPtypeSyn);
  const char* text = nullptr;
  ub4 size = 0;
  lib.AttrGet(param, oci::kDtypeParam, &text, &size, oci::kAttrSchemaName, app.err);
  EXPECT_EQ(std::string(text, size), "APP");
  lib.AttrGet(param, oci::kDtypeParam, &text, &size, oci::kAttrLink, app.err);
  EXPECT_EQ(std::string(text, size), "FARAWAY");

  // The identifier sequence: not there, created, then counted per session.
  EXPECT_EQ(describeAs("QUORVIX_SEQ", oci::kPtypeSeq), oci::kError);
  EXPECT_EQ(app.ErrorCode(), 4043);
  ASSERT_EQ(app.Exec("CREATE SEQUENCE QUORVIX_SEQ"), oci::kSuccess) << app.ErrorText();
  EXPECT_EQ(describeAs("QUORVIX_SEQ", oci::kPtypeSeq), oci::kSuccess);
  EXPECT_EQ(app.Query("SELECT QUORVIX_SEQ.NEXTVAL FROM DUAL"), (Rows{{"1"}}));
  EXPECT_EQ(app.Query("SELECT QUORVIX_SEQ.NEXTVAL FROM DUAL"), (Rows{{"2"}}));
  EXPECT_EQ(app.Query("SELECT QUORVIX_SEQ.CURRVAL FROM DUAL"), (Rows{{"2"}}));
  EXPECT_EQ(app.Exec("CREATE SEQUENCE QUORVIX_SEQ"), oci::kError);
  EXPECT_EQ(app.ErrorCode(), 955);
  OciClient other(lib);
  ASSERT_EQ(other.Logon(ds, "APP", "pw"), oci::kSuccess);
  other.Query("SELECT QUORVIX_SEQ.CURRVAL FROM DUAL");
  EXPECT_EQ(other.ErrorCode(), 8002);
  EXPECT_EQ(other.Query("SELECT APP.QUORVIX_SEQ.NEXTVAL FROM DUAL"), (Rows{{"3"}}));
  ASSERT_EQ(app.Exec("INSERT INTO ITEMS (ID) VALUES (QUORVIX_SEQ.NEXTVAL)"), oci::kSuccess) << app.ErrorText();
  EXPECT_EQ(app.Query("SELECT ID FROM ITEMS"), (Rows{{"4"}}));
  lib.HandleFree(describe, oci::kHtypeDescribe);
}

}  // namespace
}  // namespace ocitest

namespace ocitest {
namespace {

TEST_F(DriverSql, RefCursorOpenedByABlockIsDescribedAndFetched) {
  for (int k = 1; k <= 3; ++k) {
    ASSERT_EQ(app.Exec("INSERT INTO ITEMS (ID, NAME) VALUES (:1, :2)", {{"1", std::to_string(k)}, {"2", "n" + std::to_string(k)}}),
              oci::kSuccess);
  }
  OCIStmt* block = nullptr;
  OCIStmt* cursor = nullptr;
  lib.HandleAlloc(app.env, reinterpret_cast<void**>(&block), oci::kHtypeStmt, 0, nullptr);
  lib.HandleAlloc(app.env, reinterpret_cast<void**>(&cursor), oci::kHtypeStmt, 0, nullptr);
  const std::string sql = "BEGIN OPEN :C FOR SELECT ID, NAME FROM ITEMS WHERE ID > :MIN ORDER BY ID; END;";
  ASSERT_EQ(lib.StmtPrepare(block, app.err, reinterpret_cast<const OraText*>(sql.data()), static_cast<ub4>(sql.size()),
                            1, 0),
            oci::kSuccess);
  ub2 type = 0;
  lib.AttrGet(block, oci::kHtypeStmt, &type, nullptr, oci::kAttrStmtType, app.err);
  EXPECT_EQ(type, oci::kStmtBegin);
  OCIBind* b1 = nullptr;
  OCIBind* b2 = nullptr;
  std::int32_t minimum = 1;
  lib.BindByName(block, &b1, app.err, reinterpret_cast<const OraText*>(":C"), 2, &cursor, sizeof cursor,
                 oci::kSqltRset, nullptr, nullptr, nullptr, 0, nullptr, 0);
  lib.BindByName(block, &b2, app.err, reinterpret_cast<const OraText*>(":MIN"), 4, &minimum, 4, oci::kSqltInt,
                 nullptr, nullptr, nullptr, 0, nullptr, 0);
  ASSERT_EQ(lib.StmtExecute(app.svc, block, app.err, 1, 0, nullptr, nullptr, oci::kCommitOnSuccess), oci::kSuccess)
      << app.ErrorText();

  ASSERT_EQ(lib.StmtExecute(app.svc, cursor, app.err, 0, 0, nullptr, nullptr, oci::kDescribeOnly), oci::kSuccess);
  ub4 count = 0;
  lib.AttrGet(cursor, oci::kHtypeStmt, &count, nullptr, oci::kAttrParamCount, app.err);
  EXPECT_EQ(count, 2u);
  std::int32_t id = 0;
  char name[8] = {};
  OCIDefine* d1 = nullptr;
  OCIDefine* d2 = nullptr;
  lib.DefineByPos(cursor, &d1, app.err, 1, &id, 4, oci::kSqltInt, nullptr, nullptr, nullptr, 0);
  lib.DefineByPos(cursor, &d2, app.err, 2, name, sizeof name, oci::kSqltStr, nullptr, nullptr, nullptr, 0);
  std::vector<std::string> seen;
  while (lib.StmtFetch(cursor, app.err, 1, oci::kFetchNext, 0) == oci::kSuccess) {
    seen.push_back(std::to_string(id) + name);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"2n2", "3n3"}));

  const std::string other = "BEGIN DoSomething(:X); END;";
  lib.StmtPrepare(block, app.err, reinterpret_cast<const OraText*>(other.data()), static_cast<ub4>(other.size()), 1, 0);
  EXPECT_EQ(lib.StmtExecute(app.svc, block, app.err, 1, 0, nullptr, nullptr, 0), oci::kError);
  EXPECT_EQ(app.ErrorCode(), 6550);
  lib.HandleFree(cursor, oci::kHtypeStmt);
  lib.HandleFree(block, oci::kHtypeStmt);
}

}  // namespace
}  // namespace ocitest

namespace ocitest {
namespace {

TEST_F(DriverSql, LikeComparesCaseSensitively) {
  ASSERT_EQ(app.Exec("INSERT INTO ITEMS (ID, NAME) VALUES (1, 'abc')"), oci::kSuccess) << app.ErrorText();
  ASSERT_EQ(app.Exec("INSERT INTO ITEMS (ID, NAME) VALUES (2, 'ABC')"), oci::kSuccess) << app.ErrorText();
  ASSERT_EQ(app.Exec("INSERT INTO ITEMS (ID, NAME) VALUES (3, 'a_c')"), oci::kSuccess) << app.ErrorText();
  EXPECT_EQ(app.Query("SELECT ID FROM ITEMS WHERE NAME LIKE 'a%' ORDER BY ID"), (Rows{{"1"}, {"3"}}));
  EXPECT_EQ(app.Query("SELECT ID FROM ITEMS WHERE NAME LIKE 'A%' ORDER BY ID"), (Rows{{"2"}}));
  EXPECT_EQ(app.Query("SELECT ID FROM ITEMS WHERE NAME NOT LIKE 'a%' ORDER BY ID"), (Rows{{"2"}}));
  EXPECT_EQ(app.Query("SELECT ID FROM ITEMS WHERE NAME LIKE 'a!_c' ESCAPE '!' ORDER BY ID"), (Rows{{"3"}}));
  EXPECT_EQ(app.Query("SELECT ID FROM ITEMS WHERE NAME LIKE 'A!_C' ESCAPE '!' ORDER BY ID"), (Rows{}));
}

}  // namespace
}  // namespace ocitest
