// The Oracle table's locks on the OCI stand-in: record locks in transactions of their own that a second session
// runs into, the ROW SHARE lock around an add, the release of every lock with the table, availability, and a lock
// transaction whose commit or write failed.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "oracle_table_fixture.h"
#include "sql/transaction.h"

namespace {

using ocitest::Dump;
using ocitest::StandIn;

class OracleTableLocks : public ocitest::OracleTableFixture {
 protected:
  OracleTableLocks() : OracleTableFixture("OTLOCK") {}
};

TEST_F(OracleTableLocks, ARecordLockHoldsOffAnotherSessionUntilItsTransactionCommits) {
  MakeTable(4);
  ASSERT_EQ(Read(READ_FIRST), 1);
  ASSERT_EQ(Read(READ_NEXT), 2);
  StandIn::Get().ClearCallLog();
  ASSERT_EQ(Lock(2), 1) << Dump(*holder);
  EXPECT_EQ(Calls({"OCITransStart", "flags=0x1"}).size(), 1u);
  EXPECT_EQ(Prepared("T WHERE K=:1  FOR UPDATE NOWAIT"), 1u);
  EXPECT_EQ(SecondLocks(2), 54u);
  EXPECT_EQ(SecondLocks(3), 0u);

  // Locked again: its transaction resumes, no second lock statement.
  ASSERT_EQ(Lock(2), 1) << Dump(*holder);
  EXPECT_EQ(Prepared("T WHERE K=:1  FOR UPDATE NOWAIT"), 1u);
  EXPECT_EQ(Calls({"OCITransStart", "flags=0x4"}).size(), 1u);

  ASSERT_EQ(Lock(0), 1) << Dump(*holder);
  EXPECT_EQ(Calls({"OCITransCommit"}).size(), 1u);
  EXPECT_EQ(subject->nGetRecordLockCount(), 0u);
  EXPECT_EQ(SecondLocks(2), 0u);
  // Releasing a record that holds no lock changes nothing.
  EXPECT_EQ(Lock(0), 1);
  EXPECT_EQ(Calls({"OCITransCommit"}).size(), 1u);

  // The next record's lock is its own statement, for that record.
  ASSERT_EQ(Read(READ_NEXT), 3);
  ASSERT_EQ(Lock(2), 1) << Dump(*holder);
  EXPECT_EQ(Prepared("T WHERE K=:1  FOR UPDATE NOWAIT"), 2u);
  EXPECT_EQ(SecondLocks(3), 54u);
  EXPECT_EQ(SecondLocks(2), 0u);

  // Another transaction's word leaves the entry; its own transaction's drops it (no commit: it is the runtime's).
  CTransaction* own = subject->pCurrentLockTransaction();
  ASSERT_NE(own, nullptr);
  own->nRelease();
  EXPECT_EQ(subject->bUnlockRecord(nullptr, reinterpret_cast<RuntimeWord>(connection)), 1);
  EXPECT_EQ(subject->nGetRecordLockCount(), 1u);
  EXPECT_EQ(subject->bUnlockRecord(nullptr, reinterpret_cast<RuntimeWord>(own)), 1);
  EXPECT_EQ(subject->nGetRecordLockCount(), 0u);
}

TEST_F(OracleTableLocks, ClosingTheTableReleasesEveryRecordLock) {
  MakeTable(3);
  for (int k = 1; k <= 2; ++k) {
    ASSERT_EQ(Read(k == 1 ? READ_FIRST : READ_NEXT), k);
    ASSERT_EQ(Lock(2), 1) << Dump(*holder);
  }
  EXPECT_EQ(subject->nGetRecordLockCount(), 2u);
  EXPECT_EQ(SecondLocks(1), 54u);
  EXPECT_EQ(subject->bClose(), 1);
  EXPECT_EQ(subject->nGetRecordLockCount(), 0u);
  EXPECT_EQ(SecondLocks(1), 0u);
  EXPECT_EQ(SecondLocks(2), 0u);
}

// A record lock is held from its lock to its own release, whatever else the connection does meanwhile, and its
// release ends its own work alone: the work of the connection's transaction stays for that transaction to end.
// A lock taken inside the transaction ends with it.
TEST_F(OracleTableLocks, ARecordLockAndItsReleaseTouchNothingElseOfTheConnection) {
  auto add = [&](int k) {
    CHostValue value;
    const std::u16string text = Text(k);
    value.SetType(HOST_TYPE_TEXT);
    value.Set(text.c_str());
    return subject->pGetTableDescription()->pFindColumnByName(u"K")->bSetValue(value, 0) &&
           subject->bAddRecord(0, 1);
  };
  auto begin = [&] { return connection->bBeginLevel(holder, nullptr); };
  auto set = [&](const char16_t* name, const char16_t* text) {
    CHostValue value;
    value.SetType(HOST_TYPE_TEXT);
    value.Set(text);
    return subject->pGetTableDescription()->pFindColumnByName(name)->bSetValue(value, 0);
  };
  // The record written under its lock (mode 2 keeps it).
  auto write = [&](const char16_t* k, const char16_t* v) {
    return set(u"K", k) && set(u"V", v) && subject->bWriteRecord(0, 0, 2);
  };
  // Without distributed transactions the session has one transaction, which each of these ends, and the lock with
  // it: a lock of the record again is taken anew, refused while another session holds the record. Third: V of
  // record 1 once released.
  const std::vector<std::tuple<const char*, std::function<bool()>, const char16_t*>> meanwhile = {
      {"add a record", [&] { return add(7) == 1; }, u"v1"},
      {"write another record", [&] { return Read(READ_NEXT) == 2 && subject->bWriteRecord(0, 0, 0) == 1; }, u"v1"},
      {"delete another record", [&] { return Read(READ_NEXT) == 2 && subject->bDeleteRecord(0, 0) == 1; }, u"v1"},
      {"begin and roll back", [&] { return begin() && connection->bRollbackLevel(holder, nullptr); }, u"v1"},
      {"lock and release another record", [&] { return Read(READ_NEXT) == 2 && Lock(2) && Lock(0); }, u"v1"},
      {"a write left in part, then the key changed and back",
       [&] {
         StandIn::Get().InjectStatus("OCILobWrite", 1, -1, 22990);
         return set(u"C", u"c") && !subject->bWriteRecord(0, 0, 2) && write(u"9", u"w") && write(u"1", u"w");
       },
       u"w"},
  };
  for (const bool branches : {true, false}) {
    connection->m_bNoDistributedTransactions = branches ? 0 : 1;
    for (const auto& [name, step, value] : meanwhile) {
      // A write left in part is the lock's own branch's to undo: the single transaction has none.
      if (!branches && std::u16string_view(value) != u"v1") continue;
      SCOPED_TRACE(std::string(name) + (branches ? "" : " without distributed transactions"));
      MakeTable(3, u", C CLOB");
      ASSERT_EQ(Read(READ_FIRST), 1);
      ASSERT_EQ(Lock(2), 1) << Dump(*holder);
      ASSERT_TRUE(step()) << Dump(*holder);
      EXPECT_EQ(SecondLocks(1), branches ? 54u : 0u);
      if (!branches) {
        ASSERT_TRUE(Second()->bBeginLevel(&otherHolder, nullptr) &&
                    Second()->bExecuteSql(&otherHolder, u"SELECT K FROM T WHERE K = 1 FOR UPDATE NOWAIT"));
        ASSERT_EQ(Read(READ_FIRST, 4), 1);
        EXPECT_EQ(Lock(2), 0);
        EXPECT_EQ(holder->nGetNativeErrorCode(), 54u) << Dump(*holder);
        ASSERT_TRUE(Second()->bRollbackLevel(&otherHolder, nullptr));
      }
      ASSERT_EQ(Read(READ_FIRST), 1);
      ASSERT_EQ(Lock(0), 1) << Dump(*holder);
      EXPECT_EQ(SecondLocks(1), 0u);
      EXPECT_EQ(Fetch(u"SELECT V FROM T WHERE K = 1"), value);
      ASSERT_TRUE(Sql(u"DROP TABLE T")) << Dump(*holder);
    }
  }
  connection->m_bNoDistributedTransactions = 0;

  // Released, or closed with the table, while a transaction is open: the transaction's add stays its own. A
  // release whose commit and rollback are refused leaves the lock to a later release, and the add to the program.
  enum { RELEASE, CLOSE, REFUSED };
  for (const int end : {RELEASE, CLOSE, REFUSED}) {
    SCOPED_TRACE(end);
    MakeTable(3);
    ASSERT_EQ(Read(READ_FIRST), 1);
    ASSERT_EQ(Lock(2), 1) << Dump(*holder);
    ASSERT_TRUE(begin()) << Dump(*holder);
    ASSERT_EQ(add(8), 1) << Dump(*holder);
    // The refused release is asked for alone: a read releases the lock it lands on.
    ASSERT_EQ(Read(READ_FIRST, end == REFUSED ? 4 : 1), 1);
    if (end == REFUSED) {
      StandIn::Get().InjectStatus("OCITransCommit", 1, -1, 3113);
      StandIn::Get().InjectStatus("OCITransRollback", 1, -1, 3113);
      ASSERT_EQ(Lock(0), 0);
      ASSERT_EQ(connection->bCommitLevel(holder, nullptr), 1) << Dump(*holder);
      EXPECT_EQ(Fetch(u"SELECT COUNT(*) FROM T"), u"4");
    }
    ASSERT_EQ(end == CLOSE ? subject->bClose() : Lock(0), 1) << Dump(*holder);
    EXPECT_EQ(SecondLocks(1), 0u);
    if (end != REFUSED) {
      ASSERT_EQ(connection->bRollbackLevel(holder, nullptr), 1) << Dump(*holder);
      EXPECT_EQ(Fetch(u"SELECT COUNT(*) FROM T"), u"3");
    }
    ASSERT_TRUE(Sql(u"DROP TABLE T")) << Dump(*holder);
  }

  // Taken inside a transaction, the lock ends with its commit: locked again, the record is locked anew.
  MakeTable(2);
  ASSERT_EQ(Read(READ_FIRST), 1);
  ASSERT_TRUE(begin()) << Dump(*holder);
  ASSERT_EQ(Lock(2), 1) << Dump(*holder);
  ASSERT_EQ(connection->bCommitLevel(holder, nullptr), 1) << Dump(*holder);
  EXPECT_EQ(SecondLocks(1), 0u);
  ASSERT_EQ(Lock(2), 1) << Dump(*holder);
  EXPECT_EQ(SecondLocks(1), 54u);
  ASSERT_EQ(Lock(0), 1) << Dump(*holder);
  EXPECT_EQ(SecondLocks(1), 0u);
}

TEST_F(OracleTableLocks, ATableLockKeepsItsModeUntilTheTableIsUnlocked) {
  MakeTable(1);
  std::uint32_t previous = 0;
  ASSERT_EQ(subject->bLockTable(3, reinterpret_cast<RuntimeWord>(&previous)), 1) << Dump(*holder);
  EXPECT_EQ(previous, TABLE_LOCK_NONE);
  EXPECT_EQ(subject->nGetLockState(), 3u);
  EXPECT_EQ(Prepared("LOCK TABLE T IN EXCLUSIVE MODE"), 1u);
  EXPECT_EQ(SecondLocks(1), 54u);
  ASSERT_EQ(subject->bUnlockTable(), 1) << Dump(*holder);
  EXPECT_EQ(subject->nGetLockState(), TABLE_LOCK_NONE);
  EXPECT_EQ(SecondLocks(1), 0u);
}

TEST_F(OracleTableLocks, ALockWhoseCommitFailsIsRolledBackNotLeftOnTheServer) {
  MakeTable(2);
  ASSERT_EQ(Read(READ_FIRST), 1);
  ASSERT_EQ(Lock(2), 1) << Dump(*holder);
  // The commit fails, and so does the rollback the level tries at once.
  StandIn::Get().InjectStatus("OCITransCommit", 1, -1, 3113);
  StandIn::Get().InjectStatus("OCITransRollback", 1, -1, 3113);
  holder->Clear();
  subject->ResetState();
  EXPECT_EQ(holder->nGetNativeErrorCode(), 3113u) << Dump(*holder);
  EXPECT_EQ(subject->nGetRecordLockCount(), 0u);
  EXPECT_EQ(SecondLocks(1), 0u);
  // The table goes on.
  holder->Clear();
  ASSERT_EQ(subject->bOpen(0, 0), 1) << Dump(*holder);
  ASSERT_EQ(Read(READ_FIRST), 1);
  ASSERT_EQ(Lock(2), 1) << Dump(*holder);
  EXPECT_EQ(SecondLocks(1), 54u);
  ASSERT_EQ(Lock(0), 1) << Dump(*holder);
  EXPECT_EQ(SecondLocks(1), 0u);
}

TEST_F(OracleTableLocks, AnAddRunsInANestedLevelUnderARowShareLock) {
  MakeTable(1);
  // The lock session made first, so that the refusal below falls on the lock.
  ASSERT_EQ(Read(READ_FIRST), 1);
  ASSERT_EQ(Lock(2), 1) << Dump(*holder);
  ASSERT_EQ(Lock(0), 1) << Dump(*holder);
  auto set = [&](const char16_t* name, const char16_t* text) {
    CHostValue value;
    value.SetType(HOST_TYPE_TEXT);
    value.Set(text);
    ASSERT_TRUE(subject->pGetTableDescription()->pFindColumnByName(name)->bSetValue(value, 0));
  };
  set(u"K", u"7");
  set(u"V", u"seven");
  // The lock is refused once: nothing is added and the level is rolled back.
  StandIn::Get().ClearCallLog();
  StandIn::Get().InjectStatus("OCIStmtExecute", 1, -1, 54);
  EXPECT_EQ(subject->bAddRecord(0, 1), 0);
  EXPECT_EQ(holder->nGetNativeErrorCode(), 54u);
  EXPECT_EQ(Prepared("INSERT"), 0u);
  EXPECT_EQ(Calls({"OCITransRollback"}).size(), 1u);
  EXPECT_EQ(Fetch(u"SELECT COUNT(*) FROM T"), u"1");

  StandIn::Get().ClearCallLog();
  holder->Clear();
  ASSERT_EQ(subject->bAddRecord(0, 1), 1) << Dump(*holder);
  const auto log = StandIn::Get().CallLog();
  auto at = [&](const char* text) {
    for (std::size_t i = 0; i < log.size(); ++i) {
      if (log[i].find(text) != std::string::npos) return i;
    }
    return log.size();
  };
  EXPECT_LT(at("OCITransStart"), at("LOCK TABLE T IN ROW SHARE MODE NOWAIT"));
  EXPECT_LT(at("LOCK TABLE T IN ROW SHARE MODE NOWAIT"), at("INSERT"));
  EXPECT_LT(at("INSERT"), at("OCITransCommit"));
  EXPECT_LT(at("OCITransCommit"), log.size());
  EXPECT_EQ(subject->nGetLockState(), TABLE_LOCK_NONE);
  EXPECT_EQ(ocitest::FetchText(Second(), otherHolder, u"SELECT V FROM T WHERE K = 7"), u"seven");
}

TEST_F(OracleTableLocks, ATableNeverOpenedRefusesWhatNeedsItsRecords) {
  MakeTable(2);
  COracleTable* closed = NewTable();
  std::int64_t count = 0;
  std::uint32_t identifier = 0;
  const std::vector<std::pair<const char*, std::function<int()>>> operations = {
      {"read", [&] { return closed->bRead(u"K", READ_FIRST, 0, 1, 0, 0); }},
      {"read in context", [&] { return closed->bReadInContext(u"K", READ_NEXT, 1, 0, 1, 0, 0); }},
      {"seek", [&] { return closed->bSeekOnKey(u"K", 0, 1, 0, 1, 0, 1, 0); }},
      {"count", [&] { return closed->bCountRecords(&count, 16, 0, nullptr, -1); }},
      {"recall", [&] { return closed->bRecallPosition(identifier, 0, 1, 0); }},
      {"write", [&] { return closed->bWriteRecord(0, 0, 0); }},
      {"lock test", [&] { return closed->bTestRecordLockDefault(0); }},
  };
  for (const auto& [name, operation] : operations) {
    SCOPED_TRACE(name);
    holder->Clear();
    EXPECT_EQ(operation(), 0);
    EXPECT_EQ(holder->nGetErrorCode(), 19u) << Dump(*holder);
  }
  // Open, a key other than 0 is refused with error 18.
  holder->Clear();
  EXPECT_EQ(subject->bCheckAvailable(1), 0);
  EXPECT_EQ(holder->nGetErrorCode(), 18u) << Dump(*holder);
  EXPECT_EQ(subject->bCheckAvailable(0), 1);
}

}  // namespace
