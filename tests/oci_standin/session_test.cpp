// Data sources, logon, sessions, errors and the statements every session runs.
#include <gtest/gtest.h>

#include "oci_client_helpers.h"

namespace ocitest {
namespace {

class Session : public ::testing::Test {
 protected:
  OciLibrary& lib = OciLibrary::Default();
  void SetUp() override {
    ASSERT_NE(lib.module, nullptr);
    lib.Reset();
  }
};

TEST_F(Session, LogonChecksTheUserTable) {
  const std::string ds = UniqueDataSource("LOGON");
  OciClient wrong(lib);
  EXPECT_EQ(wrong.Logon(ds, "system", "bad"), oci::kError);
  EXPECT_EQ(wrong.ErrorCode(), 1017);
  EXPECT_EQ(wrong.ErrorText(), "ORA-01017: invalid username/password; logon denied\n");

  OciClient admin(lib);
  ASSERT_EQ(admin.Logon(ds, "SYSTEM", "manager"), oci::kSuccess) << admin.ErrorText();
  ASSERT_EQ(admin.Exec("CREATE USER scott IDENTIFIED BY tiger"), oci::kSuccess) << admin.ErrorText();
  OciClient scott(lib);
  ASSERT_EQ(scott.Logon(ds, "scott", "tiger"), oci::kSuccess) << scott.ErrorText();
  EXPECT_EQ(scott.Query("SELECT USER, SYS_CONTEXT('USERENV','CURRENT_SCHEMA') FROM DUAL"),
            (Rows{{"SCOTT", "SCOTT"}}));
}

TEST(DataSources, ExistOnlyOnceMade) {
  OciLibrary& lib = OciLibrary::Default();
  const std::string name = "NEVER_MADE_" + UniqueDataSource("X");
  OciClient c(lib);
  EXPECT_EQ(c.Logon(name, "SYSTEM", "manager"), oci::kError);
  EXPECT_EQ(c.ErrorCode(), 12154);
  c.Logoff();
  EXPECT_EQ(lib.CreateUser(name.c_str(), "SCOTT", "tiger"), 12154);

  // Made, it is a database with its administrator, under any spelling of its name.
  ASSERT_EQ(lib.CreateDataSource(("ora:" + name).c_str()), 0);
  EXPECT_EQ(lib.CreateUser(name.c_str(), "SCOTT", "tiger"), 0);
  OciClient scott(lib);
  EXPECT_EQ(scott.Logon(name, "scott", "tiger"), oci::kSuccess) << scott.ErrorText();
}

// Run by its own ctest entry, with QZOCI_DATA_SOURCES naming two data sources.
TEST(DataSourceSetting, DISABLED_ListedNamesExist) {
  OciLibrary& lib = OciLibrary::Default();
  for (const char* name : {"SETTING_ONE", "setting_two"}) {
    OciClient c(lib);
    EXPECT_EQ(c.Logon(name, "SYSTEM", "manager"), oci::kSuccess) << name << " " << c.ErrorText();
  }
  OciClient other(lib);
  EXPECT_EQ(other.Logon("SETTING_THREE", "SYSTEM", "manager"), oci::kError);
  EXPECT_EQ(other.ErrorCode(), 12154);
}

// A statement outlives the session it ran on: fetching from it after the session ended is ORA-01012.
TEST_F(Session, FetchAfterTheSessionEndedIsNotLoggedOn) {
  OciClient c(lib);
  ASSERT_EQ(c.Logon(UniqueDataSource("ENDED"), "SYSTEM", "manager"), oci::kSuccess);
  OCIStmt* stmt = nullptr;
  ASSERT_EQ(lib.HandleAlloc(c.env, reinterpret_cast<void**>(&stmt), oci::kHtypeStmt, 0, nullptr), oci::kSuccess);
  const std::string sql = "SELECT 'x' FROM DUAL";
  ASSERT_EQ(lib.StmtPrepare(stmt, c.err, reinterpret_cast<const OraText*>(sql.data()), static_cast<ub4>(sql.size()),
                            oci::kNtvSyntax, 0),
            oci::kSuccess);
  ASSERT_EQ(lib.StmtExecute(c.svc, stmt, c.err, 0, 0, nullptr, nullptr, 0), oci::kSuccess) << c.ErrorText();
  char text[8] = {};
  OCIDefine* define = nullptr;
  ASSERT_EQ(lib.DefineByPos(stmt, &define, c.err, 1, text, sizeof text, oci::kSqltStr, nullptr, nullptr, nullptr, 0),
            oci::kSuccess);
  ASSERT_EQ(lib.SessionEnd(c.svc, c.err, c.session, 0), oci::kSuccess);
  EXPECT_EQ(lib.StmtFetch(stmt, c.err, 1, oci::kFetchNext, 0), oci::kError);
  EXPECT_EQ(c.ErrorCode(), 1012);
  lib.HandleFree(stmt, oci::kHtypeStmt);
}

TEST_F(Session, EachUserIsASchema) {
  const std::string ds = UniqueDataSource("SCHEMA");
  ASSERT_EQ(lib.CreateUser(ds.c_str(), "ALICE", "a"), 0);
  ASSERT_EQ(lib.CreateUser(ds.c_str(), "BOB", "b"), 0);
  OciClient alice(lib);
  ASSERT_EQ(alice.Logon(ds, "alice", "a"), oci::kSuccess);
  ASSERT_EQ(alice.Exec("CREATE TABLE T (N NUMBER(5))"), oci::kSuccess) << alice.ErrorText();
  ASSERT_EQ(alice.Exec("INSERT INTO T VALUES (1)"), oci::kSuccess) << alice.ErrorText();
  OciClient bob(lib);
  ASSERT_EQ(bob.Logon(ds, "bob", "b"), oci::kSuccess);
  bob.Query("SELECT N FROM T");
  EXPECT_EQ(bob.ErrorCode(), 942);
  EXPECT_EQ(bob.ErrorText(), "ORA-00942: table or view does not exist\n");
  EXPECT_EQ(bob.Query("SELECT N FROM ALICE.T"), (Rows{{"1"}}));
  EXPECT_EQ(alice.Query("SELECT N FROM alice.t"), (Rows{{"1"}}));

  // With ALICE as current schema, BOB's unqualified names are ALICE's, and his own stay reachable by name.
  ASSERT_EQ(bob.Exec("CREATE TABLE MINE (M NUMBER)"), oci::kSuccess);
  ASSERT_EQ(bob.Exec("ALTER SESSION SET CURRENT_SCHEMA = ALICE"), oci::kSuccess) << bob.ErrorText();
  EXPECT_EQ(bob.Query("SELECT SYS_CONTEXT('USERENV','CURRENT_SCHEMA'), USER FROM DUAL"), (Rows{{"ALICE", "BOB"}}));
  EXPECT_EQ(bob.Query("SELECT N FROM T"), (Rows{{"1"}}));
  EXPECT_EQ(bob.Query("SELECT COUNT(*) FROM BOB.MINE"), (Rows{{"0"}})) << bob.ErrorText();
  bob.Query("SELECT COUNT(*) FROM MINE");
  EXPECT_EQ(bob.ErrorCode(), 942);
}

TEST_F(Session, SqliteFailuresBecomeTheOraErrorsProgramsExpect) {
  const std::string ds = UniqueDataSource("ERRORS");
  OciClient c(lib);
  ASSERT_EQ(c.Logon(ds, "SYSTEM", "manager"), oci::kSuccess);
  ASSERT_EQ(c.Exec("CREATE TABLE P (ID NUMBER(10) PRIMARY KEY, NAME VARCHAR2(20) NOT NULL)"), oci::kSuccess)
      << c.ErrorText();
  ASSERT_EQ(c.Exec("CREATE TABLE C (ID NUMBER(10), PID NUMBER(10) REFERENCES P(ID))"), oci::kSuccess)
      << c.ErrorText();
  ASSERT_EQ(c.Exec("INSERT INTO P VALUES (1, 'a')"), oci::kSuccess);
  struct Case {
    const char* sql;
    int code;
  } cases[] = {
      {"INSERT INTO P VALUES (1, 'b')", 1},
      {"INSERT INTO P (ID) VALUES (2)", 1400},
      {"INSERT INTO C VALUES (1, 99)", 2291},
      {"SELECT NOPE FROM P", 904},
      {"SELECT * FROM MISSING", 942},
      {"SELECT * FROM P WHERE", 933},
      {"DELETE FROM P WHERE", 936},
      {"UPDATE P SET NAME = 'x' WHERE", 936},
      {"TRUNCATE TABLE", 903},
      {"SELECT * FROM P ORDER BY", 936},
      {"SELECT TO_DATE('1 ', 'DD \"of\" MON') FROM DUAL", 1858},
      {"CREATE TABLE P (X NUMBER)", 955},
      {"FROBNICATE THE TABLE", 900},
      {"CREATE TABLE LONGTEXT (T VARCHAR2(5000))", 910},
      {"CREATE TABLE WIDE (N NVARCHAR2(2001))", 910},
      {"CREATE TABLE BIG (N NUMBER(39))", 1727},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(c.Exec(k.sql), oci::kError) << k.sql;
    EXPECT_EQ(c.ErrorCode(), k.code) << k.sql << ": " << c.ErrorText();
  }
  ASSERT_EQ(c.Exec("INSERT INTO C VALUES (1, 1)"), oci::kSuccess) << c.ErrorText();
  EXPECT_EQ(c.Exec("DELETE FROM P WHERE ID = 1"), oci::kError);
  EXPECT_EQ(c.ErrorCode(), 2292);
  EXPECT_EQ(c.ErrorText().rfind("ORA-02292: integrity constraint (", 0), 0u) << c.ErrorText();
  // Nothing of the failed statements stayed behind.
  EXPECT_EQ(c.Query("SELECT COUNT(*) FROM P"), (Rows{{"1"}}));
}

TEST_F(Session, VersionsAndUtf16Environment) {
  sword major = 0;
  sword minor = 0;
  sword update = 0;
  sword patch = 0;
  sword port = 0;
  lib.ClientVersion(&major, &minor, &update, &patch, &port);
  EXPECT_GE(major * 100 + minor, 1003);  // the driver opens UTF-16 environments from 10.2.0.3 on

  const std::string ds = UniqueDataSource("WIDE");
  OciClient c(lib, true);
  ASSERT_EQ(c.Logon(ds, "SYSTEM", "manager"), oci::kSuccess) << c.ErrorText();
  char16_t text[255] = {};
  ASSERT_EQ(lib.ServerVersion(c.svc, c.err, reinterpret_cast<OraText*>(text), sizeof text, oci::kHtypeSvcCtx),
            oci::kSuccess);
  const std::u16string version(text);
  EXPECT_NE(version.find(u"Release 19."), std::u16string::npos);

  ASSERT_EQ(c.Exec("CREATE TABLE W (S NVARCHAR2(10))"), oci::kSuccess) << c.ErrorText();
  ASSERT_EQ(c.Exec("INSERT INTO W VALUES (:S)", {{"S", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC"}}), oci::kSuccess)
      << c.ErrorText();
  EXPECT_EQ(c.Query("SELECT S, LENGTH(S) FROM W"), (Rows{{"Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC", "7"}}));
  c.Query("SELECT * FROM NOWHERE");
  EXPECT_EQ(c.ErrorText(), "ORA-00942: table or view does not exist\n");

  // OCI_NLS_CHARACTER_SET names the environment's character set, in its own encoding.
  using FnNlsGetInfo = sword (*)(void*, OCIError*, OraText*, size_t, ub2);
  const auto nlsGetInfo = reinterpret_cast<FnNlsGetInfo>(lib.Entry("OCINlsGetInfo"));
  char16_t wideName[100] = {};
  ASSERT_EQ(nlsGetInfo(c.env, c.err, reinterpret_cast<OraText*>(wideName), sizeof wideName, oci::kNlsCharacterSet),
            oci::kSuccess);
  EXPECT_EQ(std::u16string(wideName), u"AL16UTF16");
  OCIEnv* western = nullptr;
  ASSERT_EQ(lib.EnvNlsCreate(&western, 0, nullptr, nullptr, nullptr, nullptr, 0, nullptr, 178, 0), oci::kSuccess);
  char name[100] = {};
  ASSERT_EQ(nlsGetInfo(western, nullptr, reinterpret_cast<OraText*>(name), sizeof name, oci::kNlsCharacterSet),
            oci::kSuccess);
  EXPECT_STREQ(name, "WE8MSWIN1252");
  lib.HandleFree(western, oci::kHtypeEnv);
}

TEST_F(Session, SessionSettingsAndSessionFunctions) {
  const std::string ds = UniqueDataSource("NLS");
  OciClient c(lib);
  ASSERT_EQ(c.Logon(ds, "SYSTEM", "manager"), oci::kSuccess);
  ASSERT_EQ(c.Exec("ALTER SESSION SET NLS_TERRITORY='FRANCE' NLS_LANGUAGE='FRENCH' NLS_NUMERIC_CHARACTERS='. ' "
                   "NLS_DATE_FORMAT='YYYYMMDDHH24MISS'"),
            oci::kSuccess)
      << c.ErrorText();
  EXPECT_EQ(c.Query("SELECT VALUE FROM NLS_SESSION_PARAMETERS WHERE PARAMETER = 'NLS_DATE_FORMAT'"),
            (Rows{{"YYYYMMDDHH24MISS"}}));
  EXPECT_EQ(c.Query("SELECT * from NLS_SESSION_PARAMETERS WHERE PARAMETER = 'NLS_TERRITORY'"),
            (Rows{{"NLS_TERRITORY", "FRANCE"}}));
  EXPECT_FALSE(c.Query("SELECT * from NLS_DATABASE_PARAMETERS").empty());
  EXPECT_EQ(c.Query("SELECT TO_DATE('2024-02-29 13:14:15','YYYY-MM-DD HH24:MI:SS') FROM DUAL"),
            (Rows{{"20240229131415"}}));
  EXPECT_EQ(c.Query("SELECT TO_CHAR(TO_DATE('20240105','YYYYMMDD'),'DD/MM/YYYY') FROM DUAL"), (Rows{{"05/01/2024"}}));
  EXPECT_EQ(c.Query("SELECT NVL(NULL, 'x'), DECODE(2, 1, 'one', 2, 'two', 'many'), SUBSTR('abcdef', -3, 2), "
                    "INSTR('banana', 'an', 1, 2), UPPER('q'), LOWER('Q'), TRIM('  t  '), LENGTH('abc') FROM DUAL"),
            (Rows{{"x", "two", "de", "4", "Q", "q", "t", "3"}}));
  EXPECT_EQ(c.Query("SELECT TRUNC(12.345, 1), TO_CHAR(1234.5, '9999D99'), TO_NUMBER('12.50'), TO_CHAR(0.5), "
                    "TO_CHAR(-0.25), TO_CHAR(0), TO_CHAR(10.5) FROM DUAL"),
            (Rows{{"12.3", " 1234.50", "12.5", ".5", "-.25", "0", "10.5"}}));
  EXPECT_EQ(c.Query("SELECT 1 FROM DUAL WHERE '' IS NULL"), (Rows{{"1"}}));
  EXPECT_EQ(c.Query("SELECT NVL(TRIM('   '), 'none'), REPLACE('a-b-c', '-'), RTRIM('xyy', 'y'), LPAD('7', 3, '0') "
                    "FROM DUAL"),
            (Rows{{"none", "abc", "x", "007"}}));
  // Concatenation reads NULL as empty text, and an empty result is NULL.
  EXPECT_EQ(c.Query("SELECT 'a' || NULL || UPPER('b') || (1 + 2), NVL(NULL || NULL, 'null'), "
                    "LENGTH(SUBSTR('xyz', 2) || '!') FROM DUAL WHERE 'k' || NULL = 'k'"),
            (Rows{{"aB3", "null", "3"}}));
  EXPECT_EQ(c.Exec("ALTER SESSION SET CURRENT_SCHEMA = NOBODY"), oci::kError);
  EXPECT_EQ(c.ErrorCode(), 1435);
}

}  // namespace
}  // namespace ocitest
