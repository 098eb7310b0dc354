// Row and table locks between two sessions, transactions with XIDs (prepare, commit, rollback, detach, resume),
// a second session migrated onto one service context, and committed work surviving a reopen of the database file.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <unistd.h>

#include "oci_client_helpers.h"

namespace ocitest {
namespace {

class Locks : public ::testing::Test {
 protected:
  OciLibrary& lib = OciLibrary::Default();
  std::string ds = UniqueDataSource("LOCKS");
  OciClient a{lib};
  OciClient b{lib};
  OCITrans* trans = nullptr;

  void SetUp() override {
    ASSERT_EQ(lib.CreateUser(ds.c_str(), "APP", "pw"), 0);
    ASSERT_EQ(a.Logon(ds, "APP", "pw"), oci::kSuccess);
    ASSERT_EQ(b.Logon(ds, "APP", "pw"), oci::kSuccess);
    ASSERT_EQ(a.Exec("CREATE TABLE T (ID NUMBER(10) PRIMARY KEY, V VARCHAR2(10))"), oci::kSuccess);
    ASSERT_EQ(a.Exec("INSERT INTO T VALUES (1, 'one')"), oci::kSuccess);
    ASSERT_EQ(a.Exec("INSERT INTO T VALUES (2, 'two')"), oci::kSuccess);
    lib.HandleAlloc(a.env, reinterpret_cast<void**>(&trans), oci::kHtypeTrans, 0, nullptr);
  }
  void TearDown() override { lib.HandleFree(trans, oci::kHtypeTrans); }

  // Starts a global transaction on A's service context, as the driver does for a record lock.
  void BeginGlobal(std::uint32_t counter) {
    XID xid{};
    xid.formatID = 1000;
    xid.gtrid_length = 12;
    xid.bqual_length = 4;
    std::memcpy(xid.data, &counter, 4);
    ASSERT_EQ(lib.AttrSet(trans, oci::kHtypeTrans, &xid, 140, oci::kAttrXid, a.err), oci::kSuccess);
    ASSERT_EQ(lib.AttrSet(a.svc, oci::kHtypeSvcCtx, trans, 0, oci::kAttrTrans, a.err), oci::kSuccess);
    ASSERT_EQ(lib.TransStart(a.svc, a.err, ~0u, oci::kTransNew), oci::kSuccess);
  }
};

// Freeing an environment frees what was allocated under it: a session left open there ends, rolls back and lets
// its locks go.
TEST_F(Locks, FreeingTheEnvironmentEndsItsSessionsAndTheirLocks) {
  auto gone = std::make_unique<OciClient>(lib);
  ASSERT_EQ(gone->Logon(ds, "APP", "pw"), oci::kSuccess);
  EXPECT_EQ(gone->Query("SELECT ID FROM T WHERE ID = 1 FOR UPDATE NOWAIT", {}, 0), (Rows{{"1"}})) << gone->ErrorText();
  ASSERT_EQ(gone->Exec("UPDATE T SET V = 'gone' WHERE ID = 2", {}, 0), oci::kSuccess);
  OCIStmt* stmt = nullptr;
  OCILobLocator* lob = nullptr;
  ASSERT_EQ(lib.HandleAlloc(gone->env, reinterpret_cast<void**>(&stmt), oci::kHtypeStmt, 0, nullptr), oci::kSuccess);
  ASSERT_EQ(lib.DescriptorAlloc(gone->env, reinterpret_cast<void**>(&lob), oci::kDtypeLob, 0, nullptr), oci::kSuccess);
  // Only the environment is freed; the client forgets the rest.
  ASSERT_EQ(lib.HandleFree(gone->env, oci::kHtypeEnv), oci::kSuccess);
  gone->env = nullptr;
  gone->err = nullptr;
  gone->server = nullptr;
  gone->svc = nullptr;
  gone->session = nullptr;
  gone.reset();

  EXPECT_EQ(b.Query("SELECT ID FROM T WHERE ID = 1 FOR UPDATE NOWAIT"), (Rows{{"1"}})) << b.ErrorText();
  EXPECT_EQ(b.Query("SELECT V FROM T WHERE ID = 2"), (Rows{{"two"}}));
}

TEST_F(Locks, RowLocksHoldUntilCommitAndRefuseOtherSessions) {
  BeginGlobal(1);
  EXPECT_EQ(a.Query("SELECT ID FROM T WHERE ID = 1 FOR UPDATE  NOWAIT", {}, 0), (Rows{{"1"}})) << a.ErrorText();
  b.Query("SELECT ID FROM T WHERE ID = 1 FOR UPDATE NOWAIT");
  EXPECT_EQ(b.ErrorCode(), 54);
  EXPECT_EQ(b.ErrorText(), "ORA-00054: resource busy and acquire with NOWAIT specified or timeout expired\n");
  EXPECT_EQ(b.Query("SELECT ID FROM T WHERE ID = 2 FOR UPDATE NOWAIT"), (Rows{{"2"}}));
  EXPECT_EQ(b.Exec("UPDATE T SET V = 'x' WHERE ID = 1"), oci::kError);
  EXPECT_EQ(b.ErrorCode(), 54);
  EXPECT_EQ(b.Exec("UPDATE T SET V = 'y' WHERE ID = 2"), oci::kSuccess) << b.ErrorText();
  EXPECT_EQ(b.Query("SELECT V FROM T ORDER BY ID"), (Rows{{"one"}, {"y"}}));

  // Detached, the transaction keeps its locks; resumed and committed, it lets them go.
  ASSERT_EQ(lib.TransDetach(a.svc, a.err, 0), oci::kSuccess);
  b.Query("SELECT ID FROM T WHERE ID = 1 FOR UPDATE NOWAIT");
  EXPECT_EQ(b.ErrorCode(), 54);
  ASSERT_EQ(lib.TransStart(a.svc, a.err, ~0u, oci::kTransResume), oci::kSuccess);
  EXPECT_EQ(lib.TransPrepare(a.svc, a.err, 0), oci::kSuccess);  // locks count as work
  ASSERT_EQ(lib.TransCommit(a.svc, a.err, oci::kTransTwoPhase), oci::kSuccess);
  EXPECT_EQ(b.Query("SELECT ID FROM T WHERE ID = 1 FOR UPDATE NOWAIT"), (Rows{{"1"}})) << b.ErrorText();
}

// Branches on one service context: one attached at a time (ORA-24776 for a second start), each detached branch
// keeping its own locks and work, and a commit or a rollback ending the named branch's alone.
TEST_F(Locks, EachBranchEndsItsOwnWorkAndLocksAlone) {
  BeginGlobal(11);
  ASSERT_EQ(a.Exec("UPDATE T SET V = 'uno' WHERE ID = 1", {}, 0), oci::kSuccess) << a.ErrorText();
  OCITrans* second = nullptr;
  lib.HandleAlloc(a.env, reinterpret_cast<void**>(&second), oci::kHtypeTrans, 0, nullptr);
  ASSERT_EQ(lib.AttrSet(a.svc, oci::kHtypeSvcCtx, second, 0, oci::kAttrTrans, a.err), oci::kSuccess);
  EXPECT_EQ(lib.TransStart(a.svc, a.err, ~0u, oci::kTransNew), oci::kError);
  EXPECT_EQ(a.ErrorCode(), 24776);
  ASSERT_EQ(lib.AttrSet(a.svc, oci::kHtypeSvcCtx, trans, 0, oci::kAttrTrans, a.err), oci::kSuccess);
  ASSERT_EQ(lib.TransDetach(a.svc, a.err, 0), oci::kSuccess);

  ASSERT_EQ(lib.AttrSet(a.svc, oci::kHtypeSvcCtx, second, 0, oci::kAttrTrans, a.err), oci::kSuccess);
  ASSERT_EQ(lib.TransStart(a.svc, a.err, ~0u, oci::kTransNew), oci::kSuccess) << a.ErrorText();
  ASSERT_EQ(a.Exec("UPDATE T SET V = 'dos' WHERE ID = 2", {}, 0), oci::kSuccess) << a.ErrorText();
  ASSERT_EQ(a.Exec("INSERT INTO T VALUES (3, 'tres')", {}, 0), oci::kSuccess) << a.ErrorText();
  ASSERT_EQ(lib.TransRollback(a.svc, a.err, 0), oci::kSuccess);
  b.Query("SELECT ID FROM T WHERE ID = 1 FOR UPDATE NOWAIT");
  EXPECT_EQ(b.ErrorCode(), 54);
  EXPECT_EQ(a.Query("SELECT V FROM T ORDER BY ID", {}, 0), (Rows{{"uno"}, {"two"}}));
  // A branch committed beside the detached one's pending work is seen by the others at once.
  ASSERT_EQ(lib.TransStart(a.svc, a.err, ~0u, oci::kTransNew), oci::kSuccess) << a.ErrorText();
  ASSERT_EQ(a.Exec("INSERT INTO T VALUES (4, 'cuatro')", {}, 0), oci::kSuccess) << a.ErrorText();
  ASSERT_EQ(lib.TransCommit(a.svc, a.err, 0), oci::kSuccess) << a.ErrorText();
  EXPECT_EQ(b.Query("SELECT V FROM T ORDER BY ID"), (Rows{{"one"}, {"two"}, {"cuatro"}}));

  // The detached branch is ended by its handle, without a resume.
  ASSERT_EQ(lib.AttrSet(a.svc, oci::kHtypeSvcCtx, trans, 0, oci::kAttrTrans, a.err), oci::kSuccess);
  EXPECT_EQ(lib.TransPrepare(a.svc, a.err, 0), oci::kSuccess);
  ASSERT_EQ(lib.TransCommit(a.svc, a.err, oci::kTransTwoPhase), oci::kSuccess) << a.ErrorText();
  EXPECT_EQ(b.Query("SELECT V FROM T ORDER BY ID"), (Rows{{"uno"}, {"two"}, {"cuatro"}}));
  EXPECT_EQ(b.Query("SELECT ID FROM T WHERE ID = 1 FOR UPDATE NOWAIT"), (Rows{{"1"}})) << b.ErrorText();
  lib.HandleFree(second, oci::kHtypeTrans);
}

TEST_F(Locks, TableLocksFollowOraclesModes) {
  BeginGlobal(2);
  ASSERT_EQ(a.Exec("LOCK TABLE T IN EXCLUSIVE MODE  NOWAIT", {}, 0), oci::kSuccess) << a.ErrorText();
  EXPECT_EQ(b.Exec("LOCK TABLE T IN ROW SHARE MODE NOWAIT", {}, 0), oci::kError);
  EXPECT_EQ(b.ErrorCode(), 54);
  EXPECT_EQ(b.Exec("INSERT INTO T VALUES (3, 'three')"), oci::kError);
  EXPECT_EQ(b.ErrorCode(), 54);
  ASSERT_EQ(lib.TransRollback(a.svc, a.err, 0), oci::kSuccess);
  EXPECT_EQ(b.Exec("LOCK TABLE T IN ROW SHARE MODE NOWAIT", {}, 0), oci::kSuccess) << b.ErrorText();
  // ROW SHARE beside ROW SHARE is fine; EXCLUSIVE beside it is not.
  EXPECT_EQ(a.Exec("LOCK TABLE T IN ROW SHARE MODE NOWAIT", {}, 0), oci::kSuccess);
  EXPECT_EQ(a.Exec("LOCK TABLE T IN EXCLUSIVE MODE NOWAIT", {}, 0), oci::kError);
  EXPECT_EQ(a.Exec("LOCK TABLE NOPE IN EXCLUSIVE MODE NOWAIT", {}, 0), oci::kError);
  EXPECT_EQ(a.ErrorCode(), 942);
}

TEST_F(Locks, TransactionsCommitRollBackAndReportReadOnlyBranches) {
  BeginGlobal(3);
  EXPECT_EQ(lib.TransPrepare(a.svc, a.err, 0), oci::kSuccessWithInfo);  // nothing done: read-only

  BeginGlobal(4);
  ASSERT_EQ(a.Exec("INSERT INTO T VALUES (3, 'three')", {}, 0), oci::kSuccess) << a.ErrorText();
  EXPECT_EQ(a.Query("SELECT COUNT(*) FROM T", {}, 0), (Rows{{"3"}}));
  EXPECT_EQ(b.Query("SELECT COUNT(*) FROM T"), (Rows{{"2"}}));
  ASSERT_EQ(lib.TransRollback(a.svc, a.err, 0), oci::kSuccess);
  EXPECT_EQ(a.Query("SELECT COUNT(*) FROM T"), (Rows{{"2"}}));

  BeginGlobal(5);
  ASSERT_EQ(a.Exec("INSERT INTO T VALUES (4, 'four')", {}, 0), oci::kSuccess);
  EXPECT_EQ(lib.TransPrepare(a.svc, a.err, 0), oci::kSuccess);
  ASSERT_EQ(lib.TransCommit(a.svc, a.err, oci::kTransTwoPhase), oci::kSuccess);
  EXPECT_EQ(b.Query("SELECT V FROM T WHERE ID = 4"), (Rows{{"four"}}));

  // COMMIT and ROLLBACK as statements.
  ASSERT_EQ(a.Exec("DELETE FROM T WHERE ID = 4", {}, 0), oci::kSuccess);
  ASSERT_EQ(a.Exec("ROLLBACK", {}, 0), oci::kSuccess);
  EXPECT_EQ(a.Query("SELECT COUNT(*) FROM T WHERE ID = 4"), (Rows{{"1"}}));
}

TEST_F(Locks, MigratedSessionIsASecondSessionOnTheSameServiceContext) {
  ub4 size = 0;
  ASSERT_EQ(lib.AttrGet(a.session, oci::kHtypeSession, nullptr, &size, oci::kAttrMigSession, a.err), oci::kSuccess);
  std::vector<char> token(size);
  ASSERT_EQ(lib.AttrGet(a.session, oci::kHtypeSession, token.data(), &size, oci::kAttrMigSession, a.err),
            oci::kSuccess);
  OCISession* lockSession = nullptr;
  lib.HandleAlloc(a.env, reinterpret_cast<void**>(&lockSession), oci::kHtypeSession, 0, nullptr);
  ASSERT_EQ(lib.AttrSet(lockSession, oci::kHtypeSession, token.data(), size, oci::kAttrMigSession, a.err),
            oci::kSuccess);
  lib.AttrSet(lockSession, oci::kHtypeSession, const_cast<char*>("APP"), 3, oci::kAttrUsername, a.err);
  lib.AttrSet(lockSession, oci::kHtypeSession, const_cast<char*>("pw"), 2, oci::kAttrPassword, a.err);
  ASSERT_EQ(lib.SessionBegin(a.svc, a.err, lockSession, oci::kCredRdbms, oci::kMigrate), oci::kSuccess)
      << a.ErrorText();

  ASSERT_EQ(lib.AttrSet(a.svc, oci::kHtypeSvcCtx, lockSession, 0, oci::kAttrSession, a.err), oci::kSuccess);
  BeginGlobal(6);
  ASSERT_EQ(a.Exec("INSERT INTO T VALUES (9, 'nine')", {}, 0), oci::kSuccess) << a.ErrorText();
  ASSERT_EQ(lib.AttrSet(a.svc, oci::kHtypeSvcCtx, a.session, 0, oci::kAttrSession, a.err), oci::kSuccess);
  EXPECT_EQ(a.Query("SELECT COUNT(*) FROM T WHERE ID = 9"), (Rows{{"0"}}));  // the main session sees nothing yet
  ASSERT_EQ(lib.AttrSet(a.svc, oci::kHtypeSvcCtx, lockSession, 0, oci::kAttrSession, a.err), oci::kSuccess);
  ASSERT_EQ(lib.TransCommit(a.svc, a.err, 0), oci::kSuccess);
  ASSERT_EQ(lib.AttrSet(a.svc, oci::kHtypeSvcCtx, a.session, 0, oci::kAttrSession, a.err), oci::kSuccess);
  EXPECT_EQ(a.Query("SELECT COUNT(*) FROM T WHERE ID = 9"), (Rows{{"1"}}));
  lib.SessionEnd(a.svc, a.err, lockSession, 0);
  lib.HandleFree(lockSession, oci::kHtypeSession);
}

TEST(DatabaseFile, CommittedWorkSurvivesAReopenAndUncommittedWorkDoesNot) {
  OciLibrary& lib = OciLibrary::Default();
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    (UniqueDataSource("qzoci_files") + "_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  lib.SetDataDirectory(dir.c_str());
  const std::string ds = "ORA:FILEDB";
  ASSERT_EQ(lib.CreateDataSource(ds.c_str()), 0);
  ASSERT_EQ(lib.CreateUser(ds.c_str(), "APP", "pw"), 0);
  {
    OciClient c(lib);
    ASSERT_EQ(c.Logon(ds, "APP", "pw"), oci::kSuccess) << c.ErrorText();
    ASSERT_EQ(c.Exec("CREATE TABLE KEPT (ID NUMBER(10), D DATE)"), oci::kSuccess);
    ASSERT_EQ(c.Exec("INSERT INTO KEPT VALUES (1, TO_DATE('20200101','YYYYMMDD'))"), oci::kSuccess);
    ASSERT_EQ(c.Exec("CREATE SEQUENCE KS START WITH 10"), oci::kSuccess);
    ASSERT_EQ(c.Query("SELECT KS.NEXTVAL FROM DUAL"), (Rows{{"10"}}));
    ASSERT_EQ(c.Exec("INSERT INTO KEPT VALUES (2, NULL)", {}, 0), oci::kSuccess);  // never committed
  }
  lib.CloseDatabases();
  EXPECT_TRUE(std::filesystem::exists(dir / "FILEDB.APP.qzdb"));
  {
    OciClient c(lib);
    ASSERT_EQ(c.Logon("filedb", "APP", "pw"), oci::kSuccess) << c.ErrorText();
    EXPECT_EQ(c.Query("SELECT ID, TO_CHAR(D, 'YYYY-MM-DD') FROM KEPT"), (Rows{{"1", "2020-01-01"}}));
    EXPECT_EQ(c.Query("SELECT KS.NEXTVAL FROM DUAL"), (Rows{{"11"}}));
  }
  lib.CloseDatabases();
  lib.SetDataDirectory("");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace ocitest
