// The Oracle session through the exported driver object, on the OCI set of the stand-in: open, direct statements,
// one-row queries, table locks from two connections, nested levels seen from another connection, logon failures and
// the close.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/record/column_types.h"
#include "engine/record/query_description.h"
#include "foundation/code_pages.h"
#include "foundation/module_errors.h"
#include "foundation/sql_text_buffer.h"
#include "foundation/x_error.h"
#include "host/host_value.h"
#include "host/value_entry_points.h"
#include "oracle/client/client_loader.h"
#include "oracle/client/oci_call.h"
#include "oracle/client/oci_declarations.h"
#include "oracle/client/oci_wrappers.h"
#include "oracle/oracle_transaction.h"
#include "platform/profile.h"
#include "session_driver_helpers.h"
#include "standin/runtime/query_objects.h"
#include "tests/support/bound_runtime_services.h"
#include "tests/support/column_descriptor_ref.h"

namespace {

using namespace ocitest;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

int CountCalls(const StandIn& standIn, const std::string& part) {
  int n = 0;
  for (const std::string& line : standIn.CallLog()) n += Contains(line, part) ? 1 : 0;
  return n;
}

class OracleSession : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { doubles::EnsureLibrary(); }

  void SetUp() override {
    driver = piQueryInterface();
    ASSERT_NE(driver, nullptr);
    holder = CallSlot<CErrorHolder*>(driver, kDriverHolder);
  }

  void TearDown() override { CallSlot<std::int32_t>(driver, kDriverRelease); }

  // A new data source of the stand-in; the first open loads the client, so the stand-in is reached after it.
  std::u16string NewDataSource() {
    static int counter = 0;
    const std::string name = "SESSION_" + std::to_string(++counter);
    pendingDataSource = name;
    if (bIsOracleClientLoaded()) StandIn::Get().CreateDataSource(name.c_str());
    return std::u16string(name.begin(), name.end());
  }

  // Opens through the driver; a data source made before the client was loaded is made now and the open retried.
  int Open(qzrt::ConnectionDescription& description) {
    int opened = CallSlot<int>(driver, kDriverOpen, &description);
    if (!opened && bIsOracleClientLoaded() && !pendingDataSource.empty()) {
      StandIn::Get().CreateDataSource(pendingDataSource.c_str());
      pendingDataSource.clear();
      holder->Clear();
      opened = CallSlot<int>(driver, kDriverOpen, &description);
    }
    return opened;
  }

  void* driver = nullptr;
  CErrorHolder* holder = nullptr;
  std::string pendingDataSource;
};

TEST_F(OracleSession, OpensRunsStatementsAndCloses) {
  auto description = Description(u"main", NewDataSource());
  ASSERT_EQ(Open(*description), 1) << Dump(*holder);
  StandIn& standIn = StandIn::Get();
  COracleConnection* connection = ConnectionOf(driver, *description);
  ASSERT_NE(connection, nullptr);
  EXPECT_EQ(connection->bIsConnected(), 1);
  EXPECT_EQ(connection->bInsertNeedsReturning(), 1);
  // The stand-in's client and server versions.
  EXPECT_EQ(std::u16string(gstrClientVersionText.pszGet()), u"19.3.0.0.0");
  EXPECT_EQ(gnOciClientMajorVersion, 19);
  EXPECT_EQ(std::u16string(connection->pszGetServerVersionText()), u"19.0.0.0.0");
  EXPECT_EQ(connection->nGetServerMajor(), 19);
  // A client of 10.2.0.3 or later works in UTF-16.
  EXPECT_EQ(connection->nGetSessionCodePage(), SESSION_CODE_PAGE_UTF16);

  ASSERT_EQ(connection->bExecuteSql(holder, u"CREATE TABLE T1 (A NUMBER, B VARCHAR2(20))"), 1) << Dump(*holder);
  ASSERT_EQ(connection->bExecuteSql(holder, u"INSERT INTO T1 VALUES (1, 'one')"), 1) << Dump(*holder);
  EXPECT_EQ(FetchText(connection, *holder, u"SELECT B FROM T1 WHERE A = 1"), u"one") << Dump(*holder);
  EXPECT_EQ(FetchText(connection, *holder, u"SELECT B FROM T1 WHERE A = 2"), u"<none>");
  EXPECT_FALSE(holder->bHasError()) << Dump(*holder);

  standIn.ClearCallLog();
  ASSERT_EQ(CallSlot<int>(driver, kDriverClose, description.get()), 1);
  EXPECT_EQ(CountCalls(standIn, "OCISessionEnd"), 1);
  EXPECT_EQ(CountCalls(standIn, "OCIServerDetach"), 1);
  EXPECT_EQ(CountCalls(standIn, "OCITerminate"), 0);
}

TEST_F(OracleSession, SessionSettingsComeFromTheOptions) {
  auto description = Description(u"nls", NewDataSource(), u"manager",
                                 u"NLS_LANGUAGE=GERMAN;NLS_TERRITORY=GERMANY;NLS_DATE_FORMAT=YYYY-MM-DD");
  ASSERT_EQ(Open(*description), 1) << Dump(*holder);
  bool found = false;
  for (const std::string& line : StandIn::Get().CallLog()) {
    found = found || Contains(line, "ALTER SESSION SET NLS_TERRITORY='GERMANY' NLS_LANGUAGE='GERMAN' "
                                    "NLS_NUMERIC_CHARACTERS='. ' NLS_DATE_FORMAT='YYYY-MM-DD'");
  }
  EXPECT_TRUE(found);
  COracleConnection* connection = ConnectionOf(driver, *description);
  ASSERT_NE(connection, nullptr);
  const char16_t* sql = u"SELECT VALUE FROM NLS_SESSION_PARAMETERS WHERE PARAMETER = 'NLS_DATE_FORMAT'";
  EXPECT_EQ(FetchText(connection, *holder, sql), u"YYYY-MM-DD");
  CallSlot<int>(driver, kDriverClose, description.get());
}

TEST_F(OracleSession, RefusedSessionSettingsLeaveTheConnectionClosed) {
  auto description = Description(u"nowhere", NewDataSource(), u"manager", u"NLS_TERRITORY=NOWHERE");
  ASSERT_EQ(Open(*description), 0);
  EXPECT_EQ(holder->nGetNativeErrorCode(), 12705u) << Dump(*holder);
  holder->Clear();
  COracleConnection connection(u"nowhere", Host(*description));
  EXPECT_EQ(connection.bOpen(holder, nullptr), 0);
  EXPECT_EQ(connection.bIsConnected(), 0);
  holder->Clear();
  // Tried again, the open fails again rather than answering with a session of the server's default settings.
  EXPECT_EQ(connection.bOpen(holder, nullptr), 0);
  EXPECT_EQ(holder->nGetNativeErrorCode(), 12705u);
  holder->Clear();
}

TEST_F(OracleSession, LocksTablesFromTwoConnections) {
  const std::u16string dataSource = NewDataSource();
  auto first = Description(u"first", dataSource);
  auto second = Description(u"second", dataSource, u"manager", u"QZ Lock Timeout=-2");
  auto third = Description(u"third", dataSource, u"manager", u"QZ Lock Timeout=30");
  ASSERT_EQ(Open(*first), 1) << Dump(*holder);
  ASSERT_EQ(Open(*second), 1) << Dump(*holder);
  ASSERT_EQ(Open(*third), 1) << Dump(*holder);
  StandIn& standIn = StandIn::Get();
  ASSERT_EQ(ConnectionOf(driver, *first)->bExecuteSql(holder, u"CREATE TABLE LT (A NUMBER)"), 1) << Dump(*holder);

  // Without a level nothing is sent.
  standIn.ClearCallLog();
  const auto table = reinterpret_cast<RuntimeWord>(u"LT");
  EXPECT_EQ(CallSlot<int>(driver, kDriverLockTable, first.get(), table), 0);
  EXPECT_EQ(holder->nGetErrorCode(), 1027u);
  EXPECT_EQ(CountCalls(standIn, "LOCK TABLE"), 0);
  holder->Clear();

  ASSERT_EQ(CallSlot<int>(driver, kDriverBegin, first.get(), nullptr), 1) << Dump(*holder);
  ASSERT_EQ(CallSlot<int>(driver, kDriverLockTable, first.get(), table), 1) << Dump(*holder);
  EXPECT_GT(CountCalls(standIn, "LOCK TABLE LT IN EXCLUSIVE MODE  NOWAIT"), 0);

  ASSERT_EQ(CallSlot<int>(driver, kDriverBegin, second.get(), nullptr), 1) << Dump(*holder);
  EXPECT_EQ(CallSlot<int>(driver, kDriverLockTable, second.get(), table), 0);
  EXPECT_EQ(holder->nGetErrorCode(), 67u);
  EXPECT_EQ(holder->nGetRecordedCode(), 1u);
  EXPECT_EQ(holder->nGetNativeErrorCode(), 54u);
  holder->Clear();

  // A time-out never asks for NOWAIT; the stand-in does not wait, so the conflict shows all the same.
  standIn.ClearCallLog();
  ASSERT_EQ(CallSlot<int>(driver, kDriverBegin, third.get(), nullptr), 1) << Dump(*holder);
  EXPECT_EQ(CallSlot<int>(driver, kDriverLockTable, third.get(), table), 0);
  EXPECT_EQ(CountCalls(standIn, "LOCK TABLE LT IN EXCLUSIVE MODE \""), 0);
  EXPECT_EQ(CountCalls(standIn, "NOWAIT"), 0);
  EXPECT_EQ(holder->nGetErrorCode(), 67u);
  holder->Clear();

  // A second lock in the same level reuses the lock session: the current schema is not read again.
  COracleConnection* locker = ConnectionOf(driver, *first);
  void* lockSession = locker->GetLockSession();
  ASSERT_NE(lockSession, nullptr);
  standIn.ClearCallLog();
  ASSERT_EQ(ConnectionOf(driver, *first)->bExecuteSql(holder, u"CREATE TABLE LT2 (A NUMBER)"), 1) << Dump(*holder);
  ASSERT_EQ(CallSlot<int>(driver, kDriverLockTable, first.get(), reinterpret_cast<RuntimeWord>(u"LT2")), 1)
      << Dump(*holder);
  EXPECT_EQ(CountCalls(standIn, "CURRENT_SCHEMA"), 0);
  EXPECT_EQ(locker->GetLockSession(), lockSession);

  // Once the first ends its level the table is free.
  ASSERT_EQ(CallSlot<int>(driver, kDriverRollback, first.get(), nullptr), 1) << Dump(*holder);
  EXPECT_EQ(CallSlot<int>(driver, kDriverLockTable, second.get(), table), 1) << Dump(*holder);
  EXPECT_EQ(CallSlot<int>(driver, kDriverRollback, second.get(), nullptr), 1) << Dump(*holder);
  EXPECT_EQ(CallSlot<int>(driver, kDriverRollback, third.get(), nullptr), 1) << Dump(*holder);
  for (auto* description : {first.get(), second.get(), third.get()}) CallSlot<int>(driver, kDriverClose, description);
}

TEST_F(OracleSession, LocksTheRowsOfAQueryFromTwoConnections) {
  const std::u16string dataSource = NewDataSource();
  auto first = Description(u"rows1", dataSource);
  auto second = Description(u"rows2", dataSource);
  ASSERT_EQ(Open(*first), 1) << Dump(*holder);
  ASSERT_EQ(Open(*second), 1) << Dump(*holder);
  COracleConnection* one = ConnectionOf(driver, *first);
  COracleConnection* two = ConnectionOf(driver, *second);
  ASSERT_EQ(one->bExecuteSql(holder, u"CREATE TABLE RL (A NUMBER)"), 1) << Dump(*holder);
  ASSERT_EQ(one->bExecuteSql(holder, u"INSERT INTO RL VALUES (1)"), 1) << Dump(*holder);

  qzrt::QueryAnalysis analysis;
  analysis.SetText(qzrt::QueryAnalysis::kSqlText, std::u16string(u"SELECT A FROM RL WHERE A = 1"));
  auto* query = new CQueryDescription(holder, reinterpret_cast<IHostQueryAnalysis*>(&analysis), nullptr, 0);
  query->AddRef();
  const auto lockArgument = reinterpret_cast<std::uintptr_t>(query);
  StandIn& standIn = StandIn::Get();

  // Without a level nothing is sent.
  standIn.ClearCallLog();
  EXPECT_EQ(one->bLockRows(holder, lockArgument), 0);
  EXPECT_EQ(holder->nGetErrorCode(), 1027u);
  EXPECT_TRUE(HasPoint(*holder, 16));
  EXPECT_EQ(CountCalls(standIn, "FOR UPDATE"), 0);
  holder->Clear();

  ASSERT_EQ(CallSlot<int>(driver, kDriverBegin, first.get(), nullptr), 1) << Dump(*holder);
  ASSERT_EQ(one->bLockRows(holder, lockArgument), 1) << Dump(*holder);
  EXPECT_GT(CountCalls(standIn, "SELECT A FROM RL WHERE A = 1 FOR UPDATE  NOWAIT"), 0);
  ASSERT_EQ(CallSlot<int>(driver, kDriverBegin, second.get(), nullptr), 1) << Dump(*holder);
  EXPECT_EQ(two->bLockRows(holder, lockArgument), 0);
  EXPECT_EQ(holder->nGetErrorCode(), 67u);
  EXPECT_EQ(holder->nGetNativeErrorCode(), 54u);
  holder->Clear();
  ASSERT_EQ(CallSlot<int>(driver, kDriverRollback, first.get(), nullptr), 1) << Dump(*holder);
  EXPECT_EQ(two->bLockRows(holder, lockArgument), 1) << Dump(*holder);
  ASSERT_EQ(CallSlot<int>(driver, kDriverRollback, second.get(), nullptr), 1) << Dump(*holder);
  query->nRelease();
  for (auto* description : {first.get(), second.get()}) CallSlot<int>(driver, kDriverClose, description);
}

TEST_F(OracleSession, TableLocksOfTheConnectionRunOnTheLockSession) {
  auto description = Description(u"tables", NewDataSource(), u"manager", u"MODELOCK=ROW SHARE");
  ASSERT_EQ(Open(*description), 1) << Dump(*holder);
  COracleConnection* connection = ConnectionOf(driver, *description);
  ASSERT_EQ(connection->bExecuteSql(holder, u"CREATE TABLE TL (A NUMBER)"), 1) << Dump(*holder);
  StandIn& standIn = StandIn::Get();
  standIn.ClearCallLog();
  ASSERT_EQ(connection->bLockTables(holder, reinterpret_cast<std::uintptr_t>(u"TL"), 2), 1) << Dump(*holder);
  EXPECT_GT(CountCalls(standIn, "LOCK TABLE TL IN ROW SHARE MODE"), 0);
  // The lock session was made with the main session's migration token (set once, whole), and the main session is
  // current again.
  std::uint32_t tokenBytes = 0;
  ASSERT_EQ(nOciAttrGet(connection, holder, connection->m_pMainSession, oci::OCI_HTYPE_SESSION, nullptr, 86,
                        &tokenBytes), 1) << Dump(*holder);
  ASSERT_GT(tokenBytes, 4u);
  EXPECT_EQ(CountCalls(standIn, "OCIAttrSet htype=9 attr=86 value=size=" + std::to_string(tokenBytes)), 1);
  EXPECT_NE(connection->GetLockSession(), nullptr);
  EXPECT_NE(connection->GetCurrentSession(), connection->GetLockSession());
  EXPECT_EQ(connection->bUnlockTables(holder, reinterpret_cast<std::uintptr_t>(u"TL")), 1) << Dump(*holder);
  CallSlot<int>(driver, kDriverClose, description.get());
}

TEST_F(OracleSession, WithoutDistributedTransactionsLevelsCarryNoId) {
  const std::u16string dataSource = NewDataSource();
  auto writer = Description(u"local", dataSource, u"manager", u"DTS=no");
  auto reader = Description(u"localreader", dataSource);
  ASSERT_EQ(Open(*writer), 1) << Dump(*holder);
  ASSERT_EQ(Open(*reader), 1) << Dump(*holder);
  COracleConnection* w = ConnectionOf(driver, *writer);
  ASSERT_EQ(w->bExecuteSql(holder, u"CREATE TABLE LOC (A NUMBER)"), 1) << Dump(*holder);
  StandIn& standIn = StandIn::Get();
  standIn.ClearCallLog();
  ASSERT_EQ(CallSlot<int>(driver, kDriverBegin, writer.get(), nullptr), 1) << Dump(*holder);
  ASSERT_EQ(w->bExecuteSql(holder, u"INSERT INTO LOC VALUES (1)"), 1) << Dump(*holder);
  ASSERT_EQ(CallSlot<int>(driver, kDriverCommit, writer.get(), nullptr), 1) << Dump(*holder);
  EXPECT_EQ(CountCalls(standIn, "attr=27"), 0);
  EXPECT_EQ(CountCalls(standIn, "OCITransPrepare"), 0);
  EXPECT_TRUE(Contains(standIn.LastCall("OCITransCommit"), "flags=0x0")) << standIn.LastCall("OCITransCommit");
  EXPECT_EQ(w->GetLockSession(), nullptr);
  EXPECT_EQ(FetchText(ConnectionOf(driver, *reader), *holder, u"SELECT COUNT(*) FROM LOC"), u"1");
  for (auto* description : {writer.get(), reader.get()}) CallSlot<int>(driver, kDriverClose, description);
}

TEST_F(OracleSession, ALevelStillActiveWhenItsConnectionGoesIsRolledBack) {
  const std::u16string dataSource = NewDataSource();
  auto writer = Description(u"leaver", dataSource);
  auto reader = Description(u"stayer", dataSource);
  ASSERT_EQ(Open(*reader), 1) << Dump(*holder);
  COracleConnection* r = ConnectionOf(driver, *reader);
  ASSERT_EQ(r->bExecuteSql(holder, u"CREATE TABLE GONE (A NUMBER)"), 1) << Dump(*holder);
  StandIn& standIn = StandIn::Get();
  {
    COracleConnection w(u"leaver", Host(*writer));
    ASSERT_EQ(w.bOpen(holder, nullptr), 1) << Dump(*holder);
    ASSERT_EQ(w.bBeginLevel(holder, nullptr), 1) << Dump(*holder);
    ASSERT_EQ(w.bExecuteSql(holder, u"INSERT INTO GONE VALUES (1)"), 1) << Dump(*holder);
    standIn.ClearCallLog();
  }
  EXPECT_EQ(CountCalls(standIn, "OCITransRollback"), 1);
  EXPECT_EQ(FetchText(r, *holder, u"SELECT COUNT(*) FROM GONE"), u"0");
  CallSlot<int>(driver, kDriverClose, reader.get());
}

TEST_F(OracleSession, NestedLevelsCommitAndRollBackAsOne) {
  const std::u16string dataSource = NewDataSource();
  auto writer = Description(u"writer", dataSource);
  auto reader = Description(u"reader", dataSource);
  ASSERT_EQ(Open(*writer), 1) << Dump(*holder);
  ASSERT_EQ(Open(*reader), 1) << Dump(*holder);
  COracleConnection* w = ConnectionOf(driver, *writer);
  COracleConnection* r = ConnectionOf(driver, *reader);
  ASSERT_EQ(w->bExecuteSql(holder, u"CREATE TABLE NT (A NUMBER)"), 1) << Dump(*holder);
  auto count = [&] { return FetchText(r, *holder, u"SELECT COUNT(*) FROM NT"); };

  StandIn& standIn = StandIn::Get();
  const std::uint32_t transactions = gnOracleTransactionCounter;
  ASSERT_EQ(CallSlot<int>(driver, kDriverBegin, writer.get(), u"outer"), 1) << Dump(*holder);
  // The level's id, read back from its transaction handle.
  auto* level = static_cast<COracleTransaction*>(w->pGetTransaction());
  ASSERT_NE(level, nullptr);
  const oci::ub1* xid = nullptr;
  std::uint32_t size = 0;
  ASSERT_EQ(nOciAttrGet(w, holder, level->pGetHandle(), oci::OCI_HTYPE_TRANS, &xid, 27, &size), 1);
  ASSERT_EQ(size, 140u);
  std::int32_t head[3];
  std::uint32_t data[4];
  std::memcpy(head, xid, sizeof head);
  std::memcpy(data, xid + 12, sizeof data);
  EXPECT_EQ(head[0], 1000);
  EXPECT_EQ(head[1], 12);
  EXPECT_EQ(head[2], 4);
  EXPECT_EQ(data[0], transactions + 1);
  EXPECT_EQ(data[1], static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(w->GetLockSession())));
  EXPECT_EQ(data[2], platform::CurrentProcessId());
  EXPECT_EQ(data[3], gnOracleBranchCounter);
  // The level works on the lock session.
  EXPECT_NE(w->GetLockSession(), nullptr);
  EXPECT_EQ(w->GetCurrentSession(), w->GetLockSession());

  ASSERT_EQ(w->bExecuteSql(holder, u"INSERT INTO NT VALUES (1)"), 1) << Dump(*holder);
  // Flat mode: the inner level sends nothing.
  standIn.ClearCallLog();
  ASSERT_EQ(CallSlot<int>(driver, kDriverBegin, writer.get(), u"inner"), 1) << Dump(*holder);
  ASSERT_EQ(w->bExecuteSql(holder, u"INSERT INTO NT VALUES (2)"), 1) << Dump(*holder);
  ASSERT_EQ(CallSlot<int>(driver, kDriverCommit, writer.get(), u"inner"), 1) << Dump(*holder);
  EXPECT_EQ(CountCalls(standIn, "OCITrans"), 0);
  EXPECT_EQ(count(), u"0");
  ASSERT_EQ(CallSlot<int>(driver, kDriverCommit, writer.get(), u"outer"), 1) << Dump(*holder);
  EXPECT_EQ(CountCalls(standIn, "OCITransPrepare"), 1);
  EXPECT_TRUE(Contains(standIn.LastCall("OCITransCommit"), "0x1000000")) << standIn.LastCall("OCITransCommit");
  EXPECT_EQ(count(), u"2");

  ASSERT_EQ(CallSlot<int>(driver, kDriverBegin, writer.get(), u"again"), 1) << Dump(*holder);
  ASSERT_EQ(w->bExecuteSql(holder, u"INSERT INTO NT VALUES (3)"), 1) << Dump(*holder);
  ASSERT_EQ(CallSlot<int>(driver, kDriverRollback, writer.get(), u"again"), 1) << Dump(*holder);
  EXPECT_EQ(count(), u"2");

  // A level that changed nothing sends no commit.
  standIn.ClearCallLog();
  ASSERT_EQ(CallSlot<int>(driver, kDriverBegin, writer.get(), u"idle"), 1) << Dump(*holder);
  ASSERT_EQ(CallSlot<int>(driver, kDriverCommit, writer.get(), u"idle"), 1) << Dump(*holder);
  EXPECT_EQ(CountCalls(standIn, "OCITransCommit"), 0);
  EXPECT_FALSE(holder->bHasError()) << Dump(*holder);
  for (auto* description : {writer.get(), reader.get()}) CallSlot<int>(driver, kDriverClose, description);
}

TEST_F(OracleSession, LogonFailuresAreReportedAndLeaveNothingOpen) {
  const std::u16string dataSource = NewDataSource();
  auto good = Description(u"good", dataSource);
  ASSERT_EQ(Open(*good), 1) << Dump(*holder);
  CallSlot<int>(driver, kDriverClose, good.get());
  StandIn& standIn = StandIn::Get();

  auto bad = Description(u"bad", dataSource, u"wrong");
  EXPECT_EQ(CallSlot<int>(driver, kDriverOpen, bad.get()), 0);
  EXPECT_EQ(holder->nGetErrorCode(), 71u);
  EXPECT_EQ(holder->nGetRecordedCode(), 5u);
  EXPECT_EQ(holder->nGetNativeErrorCode(), 1017u);
  EXPECT_TRUE(HasMessageText(*holder, u"Impossible d'ouvrir la session")) << Dump(*holder);
  EXPECT_TRUE(HasPoint(*holder, 31));
  holder->Clear();

  // A failed logon is not connected: a second open tries again and fails again, with everything it made freed.
  COracleConnection connection(u"direct", Host(*bad));
  EXPECT_EQ(connection.bOpen(holder, nullptr), 0);
  EXPECT_EQ(connection.bIsConnected(), 0);
  EXPECT_EQ(connection.m_pEnvironment, nullptr);
  EXPECT_EQ(connection.m_pServer, nullptr);
  holder->Clear();
  EXPECT_EQ(connection.bOpen(holder, nullptr), 0);
  EXPECT_EQ(holder->nGetErrorCode(), 71u);
  holder->Clear();

  auto unknown = Description(u"unknown", u"NO_SUCH_SERVICE");
  EXPECT_EQ(CallSlot<int>(driver, kDriverOpen, unknown.get()), 0);
  EXPECT_EQ(holder->nGetNativeErrorCode(), 12154u);
  EXPECT_TRUE(HasMessageText(*holder, u"Impossible de joindre le serveur Oracle")) << Dump(*holder);
  EXPECT_TRUE(HasMessageText(*holder, u"NO_SUCH_SERVICE dans la configuration")) << Dump(*holder);
  holder->Clear();

  // A failing server version fails the logon with its own error.
  COracleConnection versionless(u"versionless", Host(*good));
  standIn.InjectStatus("OCIServerVersion", 1, oci::OCI_ERROR, 3113);
  EXPECT_EQ(versionless.bOpen(holder, nullptr), 0);
  EXPECT_TRUE(holder->bHasError());
  EXPECT_TRUE(HasPoint(*holder, 32)) << Dump(*holder);
  EXPECT_EQ(versionless.bIsConnected(), 0);
  holder->Clear();
}

TEST_F(OracleSession, EnvironmentFailures) {
  const std::u16string dataSource = NewDataSource();
  auto first = Description(u"env", dataSource);
  ASSERT_EQ(Open(*first), 1) << Dump(*holder);
  CallSlot<int>(driver, kDriverClose, first.get());
  StandIn& standIn = StandIn::Get();

  // A character set asked for is never silently replaced by the client's default.
  auto charset = Description(u"charset", dataSource, u"manager", u"NLS_CHARACTER_SET=873");
  standIn.InjectStatus("OCIEnvNlsCreate", 1, oci::OCI_ERROR, 0);
  standIn.ClearCallLog();
  EXPECT_EQ(CallSlot<int>(driver, kDriverOpen, charset.get()), 0);
  EXPECT_TRUE(HasMessageText(*holder, u"Impossible de créer l'environnement")) << Dump(*holder);
  EXPECT_TRUE(HasPoint(*holder, 17));
  EXPECT_EQ(CountCalls(standIn, "OCIEnvCreate"), 0);
  holder->Clear();
  ASSERT_EQ(CallSlot<int>(driver, kDriverOpen, charset.get()), 1) << Dump(*holder);
  EXPECT_TRUE(Contains(standIn.LastCall("OCIEnvNlsCreate"), "873")) << standIn.LastCall("OCIEnvNlsCreate");
  CallSlot<int>(driver, kDriverClose, charset.get());

  // An environment's failure is read from the environment itself: its Oracle number and text reach the error.
  auto plain = Description(u"plain", dataSource);
  standIn.InjectStatus("OCIEnvNlsCreate", 1, oci::OCI_ERROR, 1019);
  standIn.ClearCallLog();
  ASSERT_EQ(CallSlot<int>(driver, kDriverOpen, plain.get()), 1) << Dump(*holder);
  EXPECT_TRUE(Contains(standIn.LastCall("OCIErrorGet"), "type=1")) << standIn.LastCall("OCIErrorGet");
  // No UTF-16 environment: OCIEnvCreate's, in the page of the client's character set (AL32UTF8 without NLS_LANG).
  COracleConnection* fallen = ConnectionOf(driver, *plain);
  ASSERT_NE(fallen, nullptr);
  EXPECT_EQ(fallen->nGetSessionCodePage(), 65001u);
  EXPECT_FALSE(standIn.LastCall("OCIEnvCreate").empty());
  CallSlot<int>(driver, kDriverClose, plain.get());
  standIn.InjectStatus("OCIEnvNlsCreate", 1, oci::OCI_ERROR, 1019);
  COracleConnection direct(u"direct", Host(*charset));
  EXPECT_EQ(direct.bOpen(holder, nullptr), 0);
  EXPECT_EQ(holder->nGetNativeErrorCode(), 1019u) << Dump(*holder);
  holder->Clear();

  auto named = Description(u"named", dataSource, u"manager", u"NLS_CHARACTER_SET=WE8MSWIN1252");
  EXPECT_EQ(CallSlot<int>(driver, kDriverOpen, named.get()), 0);
  EXPECT_EQ(holder->nGetErrorCode(), 1050u);
  holder->Clear();
}

TEST_F(OracleSession, ErrorDetailsNameTheSessionModeAndEnvironmentStates) {
  auto description = Description(u"states", u"ANY", u"manager", u"QZ SESSION MODE=8");
  COracleConnection connection(u"states", Host(*description));
  connection.m_nEnvNlsCreateState = 3;
  connection.m_nEnvCreateState = 2;
  connection.m_nInitializeState = 1;
  CErrorHolder own;
  own.SetNoDetails(1);
  RaiseModuleError(&own, 0, 100, 1, nullptr, nullptr, 22u);
  connection.AddErrorDetails(*own.pGetEmbeddedObject());
  const std::u16string text = Text(own);
  for (const char16_t* line : {u"OCI_SESSION_MODE = 8", u"ANSI charset ID = -1",
                               u"OCIEnvNlsCreate = Unknown ansi charset ID", u"OCIEnvCreate = Failed",
                               u"OCIInitialize = Succeeded"}) {
    EXPECT_NE(text.find(line), std::u16string::npos) << std::string(line, line + 20);
  }
  // No environment: no character set is asked of the client.
  EXPECT_EQ(text.find(u"OCI_NLS_CHARACTER_SET"), std::u16string::npos);
  EXPECT_EQ(text.find(u"Client version = 7"), std::u16string::npos);
}

TEST_F(OracleSession, ErrorDetailsDescribeTheSession) {
  auto description = Description(u"details", NewDataSource(), u"manager", u"QZ SESSION MODE=0");
  ASSERT_EQ(Open(*description), 1) << Dump(*holder);
  COracleConnection* connection = ConnectionOf(driver, *description);
  ASSERT_NE(connection, nullptr);
  EXPECT_EQ(connection->bExecuteSql(holder, u"INSERT INTO NO_SUCH_TABLE VALUES (1)"), 0);
  const std::u16string text = Text(*holder);
  EXPECT_NE(text.find(u"OCIEnvNlsCreate = Succeeded"), std::u16string::npos) << Dump(*holder);
  EXPECT_NE(text.find(u"ANSI charset ID = "), std::u16string::npos);
  EXPECT_NE(text.find(u"OCI_NLS_CHARACTER_SET = "), std::u16string::npos);
  EXPECT_EQ(text.find(u"OCIEnvCreate ="), std::u16string::npos);
  // A second error of the same holder carries no second copy.
  EXPECT_EQ(connection->bExecuteSql(holder, u"INSERT INTO NO_SUCH_TABLE VALUES (2)"), 0);
  const std::u16string twice = Text(*holder);
  EXPECT_EQ(twice.find(u"ANSI charset ID", twice.find(u"ANSI charset ID") + 1), std::u16string::npos);
  holder->Clear();
  CallSlot<int>(driver, kDriverClose, description.get());
}

}  // namespace

namespace {

// The Oracle connection's dialect follows the server version the banner names: the digit expression of a
// date-time operand casts from version 9 on, and appends the millisecond zeros as text before it.
TEST_F(OracleSession, DialectFollowsTheServerBanner) {
  const struct {
    const char* banner;
    std::int32_t major;
    const char16_t* expression;
  } cases[] = {
      {"Oracle8i Enterprise Edition Release 8.1.7.0.0 - Production", 8, u"(TO_CHAR(D,'YYYYMMDDHH24MISS')||'000')"},
      {"Oracle9i Enterprise Edition Release 9.2.0.1.0 - Production", 9,
       u"TO_CHAR( CAST(D AS TIMESTAMP),'YYYYMMDDHH24MISSFF3')"},
      {"Oracle Database 10g Release 10.2.0.1.0 - Production", 10,
       u"TO_CHAR( CAST(D AS TIMESTAMP),'YYYYMMDDHH24MISSFF3')"},
  };
  // The literals convert values through the runtime's entry points and strings, as a loaded driver has them.
  CBoundRuntimeServices services;
  ASSERT_EQ(bInitKXConvFromVM(qzrt::ModuleHandle(), 2, 2), 1);
  DescriptorRef stamp = Column(COLUMN_TYPE_DATETIME, 8);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.banner);
    ASSERT_EQ(::setenv("QZOCI_SERVER_BANNER", c.banner, 1), 0);
    auto description = Description(u"dialect", NewDataSource());
    const int opened = Open(*description);
    ::unsetenv("QZOCI_SERVER_BANNER");
    ASSERT_EQ(opened, 1) << Dump(*holder);
    COracleConnection* connection = ConnectionOf(driver, *description);
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(connection->nGetDbmsKind(), DBMS_KIND_ORACLE);
    EXPECT_EQ(connection->nGetServerMajor(), c.major);
    CSqlTextBuffer out(CODE_PAGE_UTF16, 1252, 64);
    EXPECT_EQ(connection->nDateTimePartExpression(holder, &out, u"D", *stamp), 1);
    EXPECT_EQ(std::u16string(out.pszGetWide()), c.expression);

    // Slots 28 to 30 and 37 to 39 through the connection's table.
    CConnection* base = connection;
    CHostValue value;
    value.SetType(HOST_TYPE_TEXT);
    value.Set(u"d'o");
    EXPECT_EQ(base->bValueToSqlLiteral(holder, &out, &value, 0, 0), 1);
    EXPECT_EQ(std::u16string(out.pszGetWide()), u"N'd''o'");
    EXPECT_EQ(base->nGetMaxIdentifierLength(), 0x7FFFFFFF);
    EXPECT_EQ(base->bBooleanToSqlLiteral(holder, &out, 2), 1);
    EXPECT_EQ(std::u16string(out.pszGetWide()), u"1");
    EXPECT_EQ(base->bTextToSqlLiteral(holder, &out, HOST_TYPE_BINARY_BUFFER, "ab", 2), 1);
    EXPECT_EQ(std::u16string(out.pszGetWide()), u"'ab'");
    value.SetType(HOST_TYPE_ADATE);
    value.Ops().SetFromNarrowZ(value.pHolder(), "20240315");
    EXPECT_EQ(base->bDateTimeToSqlLiteral(holder, &out, &value, 0), 1);
    EXPECT_EQ(std::u16string(out.pszGetWide()), u"'2024-03-15'");
    CTString quoted;
    EXPECT_EQ(base->nQuoteDottedName(holder, u"SCOTT.MY-TABLE", quoted), 1);
    EXPECT_EQ(std::u16string(quoted.pszGet()), u"SCOTT.\"MY-TABLE\"");
    EXPECT_FALSE(holder->bHasError()) << Dump(*holder);
    ASSERT_EQ(CallSlot<int>(driver, kDriverClose, description.get()), 1);
  }
}

}  // namespace

namespace {

// A writer and a reader on a data source of their own, with a table T (A NUMBER) the reader counts.
struct WriterAndReader {
  qzrt::ConnectionDescription* writerDescription = nullptr;
  qzrt::ConnectionDescription* readerDescription = nullptr;
  COracleConnection* writer = nullptr;
  COracleConnection* reader = nullptr;
};

class OracleLevels : public OracleSession {
 protected:
  // The descriptions outlive the driver, which a failed check may leave holding their connections.
  qzrt::ConnectionDescription* Keep(std::unique_ptr<qzrt::ConnectionDescription> description) {
    descriptions.push_back(std::move(description));
    return descriptions.back().get();
  }
  void OpenPair(WriterAndReader& pair, const std::u16string& writerOptions = u"") {
    const std::u16string dataSource = NewDataSource();
    pair.writerDescription = Keep(Description(u"writer", dataSource, u"manager", writerOptions));
    pair.readerDescription = Keep(Description(u"reader", dataSource));
    ASSERT_EQ(Open(*pair.writerDescription), 1) << Dump(*holder);
    ASSERT_EQ(Open(*pair.readerDescription), 1) << Dump(*holder);
    pair.writer = ConnectionOf(driver, *pair.writerDescription);
    pair.reader = ConnectionOf(driver, *pair.readerDescription);
    ASSERT_EQ(pair.writer->bExecuteSql(holder, u"CREATE TABLE T (A NUMBER)"), 1) << Dump(*holder);
  }
  void ClosePair(WriterAndReader& pair) {
    CallSlot<int>(driver, kDriverClose, pair.writerDescription);
    CallSlot<int>(driver, kDriverClose, pair.readerDescription);
  }
  std::u16string Count(WriterAndReader& pair) { return FetchText(pair.reader, *holder, u"SELECT COUNT(*) FROM T"); }
  int Begin(WriterAndReader& pair) { return CallSlot<int>(driver, kDriverBegin, pair.writerDescription, nullptr); }
  int Commit(WriterAndReader& pair) { return CallSlot<int>(driver, kDriverCommit, pair.writerDescription, nullptr); }
  // The writer after a failure: no level, no transaction on the service context, the main session current, and
  // its statements committed as they run.
  void ExpectWorkingAsBefore(WriterAndReader& pair, const char16_t* insert, const char16_t* rows) {
    EXPECT_EQ(pair.writer->bIsTransactionOpen(), 0);
    EXPECT_EQ(pOciGetAttachedTransaction(pair.writer, holder), nullptr);
    ASSERT_EQ(pair.writer->bExecuteSql(holder, insert), 1) << Dump(*holder);
    EXPECT_EQ(Count(pair), rows);
  }

  std::vector<std::unique_ptr<qzrt::ConnectionDescription>> descriptions;
};

TEST_F(OracleLevels, ABeginThatFailsLeavesTheConnectionAsItWas) {
  const struct {
    const char* why;
    const char* entry;
    unsigned nth;
    int oraCode;
  } cases[] = {
      {"the lock session cannot begin", "OCISessionBegin", 1, 1017},
      // The first statement reads the current schema, the second sets the lock session's NLS parameters.
      {"the lock session's settings are refused", "OCIStmtExecute", 2, 12705},
      {"the server refuses the start", "OCITransStart", 1, 3113},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    WriterAndReader pair;
    OpenPair(pair);
    void* mainSession = pair.writer->m_pMainSession;
    StandIn::Get().InjectStatus(c.entry, c.nth, oci::OCI_ERROR, c.oraCode);
    EXPECT_EQ(Begin(pair), 0);
    EXPECT_EQ(holder->nGetNativeErrorCode(), static_cast<std::uint32_t>(c.oraCode)) << Dump(*holder);
    holder->Clear();
    EXPECT_EQ(pair.writer->GetCurrentSession(), mainSession);
    if (c.entry != std::string("OCITransStart")) {
      EXPECT_EQ(pair.writer->GetLockSession(), nullptr);
    }
    ExpectWorkingAsBefore(pair, u"INSERT INTO T VALUES (1)", u"1");

    // The next level begins on a lock session that has the connection's settings: a date reads in its format.
    ASSERT_EQ(Begin(pair), 1) << Dump(*holder);
    EXPECT_EQ(FetchText(pair.writer, *holder, u"SELECT TO_DATE('2024-03-15', 'YYYY-MM-DD') FROM DUAL"),
              u"20240315000000");
    ASSERT_EQ(pair.writer->bExecuteSql(holder, u"INSERT INTO T VALUES (2)"), 1) << Dump(*holder);
    EXPECT_EQ(Count(pair), u"1");
    ASSERT_EQ(Commit(pair), 1) << Dump(*holder);
    EXPECT_EQ(Count(pair), u"2");
    ClosePair(pair);
  }
}

TEST_F(OracleLevels, ACommitThatFailsRollsTheLevelBackAndTheConnectionGoesOn) {
  for (const char* entry : {"OCITransPrepare", "OCITransCommit"}) {
    SCOPED_TRACE(entry);
    WriterAndReader pair;
    OpenPair(pair);
    ASSERT_EQ(Begin(pair), 1) << Dump(*holder);
    ASSERT_EQ(pair.writer->bExecuteSql(holder, u"INSERT INTO T VALUES (1)"), 1) << Dump(*holder);
    StandIn::Get().InjectStatus(entry, 1, oci::OCI_ERROR, 3113);
    EXPECT_EQ(Commit(pair), 0);
    EXPECT_EQ(holder->nGetNativeErrorCode(), 3113u) << Dump(*holder);
    holder->Clear();
    EXPECT_EQ(Count(pair), u"0");
    ExpectWorkingAsBefore(pair, u"INSERT INTO T VALUES (2)", u"1");
    // A new level begins (no ORA-24757) and commits.
    ASSERT_EQ(Begin(pair), 1) << Dump(*holder);
    ASSERT_EQ(pair.writer->bExecuteSql(holder, u"INSERT INTO T VALUES (3)"), 1) << Dump(*holder);
    ASSERT_EQ(Commit(pair), 1) << Dump(*holder);
    EXPECT_EQ(Count(pair), u"2");
    ClosePair(pair);
  }
}

TEST_F(OracleLevels, AOneValueQueryRefusesAStatementThatIsNoQuery) {
  WriterAndReader pair;
  OpenPair(pair);
  for (const char16_t* statement : {u"INSERT INTO T VALUES (1)", u"DROP TABLE T"}) {
    EXPECT_EQ(FetchText(pair.writer, *holder, statement), u"<none>");
    EXPECT_EQ(holder->nGetErrorCode(), ERROR_NOT_AVAILABLE) << Dump(*holder);
    EXPECT_EQ(holder->nGetRecordedCode(), RECORDED_NOT_AVAILABLE);
    EXPECT_TRUE(HasPoint(*holder, 149)) << Dump(*holder);
    holder->Clear();
    EXPECT_EQ(Count(pair), u"0");
  }
  ClosePair(pair);
}

TEST_F(OracleLevels, OptionValuesStayInsideTheirQuotes) {
  WriterAndReader pair;
  OpenPair(pair, u"NLS_DATE_FORMAT=YYYY' NLS_NUMERIC_CHARACTERS=',.");
  const auto parameter = [&](const char16_t* sql) { return FetchText(pair.writer, *holder, sql); };
  EXPECT_EQ(parameter(u"SELECT VALUE FROM NLS_SESSION_PARAMETERS WHERE PARAMETER = 'NLS_NUMERIC_CHARACTERS'"), u". ");
  EXPECT_EQ(parameter(u"SELECT VALUE FROM NLS_SESSION_PARAMETERS WHERE PARAMETER = 'NLS_DATE_FORMAT'"),
            u"YYYY' NLS_NUMERIC_CHARACTERS=',.");
  ClosePair(pair);
}

TEST_F(OracleLevels, TextsGoInTheCharacterSetTheEnvironmentWasOpenedIn) {
  const struct {
    const char16_t* charset;
    std::uint32_t codePage;  // 0: refused
  } cases[] = {
      {u"873", CODE_PAGE_UTF8},
      {u"178", 1252},
      {u"9999", 0},   // no code page holds it
      {u"65714", 0},  // 178 past 16 bits
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.charset, c.charset + std::char_traits<char16_t>::length(c.charset)));
    WriterAndReader pair;
    OpenPair(pair);
    qzrt::ConnectionDescription* description =
        Keep(Description(u"charset", std::u16string(pair.writer->pszGetDataSource()), u"manager",
                         std::u16string(u"NLS_CHARACTER_SET=") + c.charset));
    StandIn::Get().ClearCallLog();
    if (c.codePage == 0) {
      EXPECT_EQ(CallSlot<int>(driver, kDriverOpen, description), 0);
      EXPECT_EQ(holder->nGetErrorCode(), 1050u);
      EXPECT_TRUE(HasMessageText(*holder, u"n'a pas de page de code")) << Dump(*holder);
      EXPECT_EQ(CountCalls(StandIn::Get(), "OCIEnvNlsCreate"), 0);
      holder->Clear();
      ClosePair(pair);
      continue;
    }
    ASSERT_EQ(CallSlot<int>(driver, kDriverOpen, description), 1) << Dump(*holder);
    COracleConnection* connection = ConnectionOf(driver, *description);
    EXPECT_EQ(connection->nGetSessionCodePage(), c.codePage);
    ASSERT_EQ(connection->bExecuteSql(holder, u"CREATE TABLE W (B VARCHAR2(20))"), 1) << Dump(*holder);
    ASSERT_EQ(connection->bExecuteSql(holder, u"INSERT INTO W VALUES ('caf\u00e9')"), 1) << Dump(*holder);
    EXPECT_EQ(FetchText(pair.reader, *holder, u"SELECT B FROM W"), u"caf\u00e9");
    EXPECT_EQ(FetchText(connection, *holder, u"SELECT B FROM W WHERE B = 'caf\u00e9'"), u"caf\u00e9");
    CallSlot<int>(driver, kDriverClose, description);
    ClosePair(pair);
  }
}

TEST_F(OracleSession, ACharacterSetIsNeverAskedOfAClientThatCouldNotCreateItsEnvironment) {
  auto description = Description(u"unmade", NewDataSource(), u"manager", u"NLS_CHARACTER_SET=873");
  ASSERT_EQ(Open(*description), 1) << Dump(*holder);
  CallSlot<int>(driver, kDriverClose, description.get());
  StandIn& standIn = StandIn::Get();
  COracleConnection connection(u"unmade", Host(*description));
  standIn.InjectThrow("OCIEnvNlsCreate", 1);
  EXPECT_EQ(connection.bOpen(holder, nullptr), 0);
  EXPECT_TRUE(HasMessageText(*holder, u"Impossible de créer l'environnement")) << Dump(*holder);
  EXPECT_EQ(connection.m_nEnvNlsCreateState, 2u);
  holder->Clear();
  // Tried again, the open says the client cannot choose the character set rather than asking it again.
  standIn.ClearCallLog();
  EXPECT_EQ(connection.bOpen(holder, nullptr), 0);
  EXPECT_EQ(holder->nGetErrorCode(), 1049u) << Dump(*holder);
  EXPECT_EQ(CountCalls(standIn, "OCIEnvNlsCreate"), 0);
  EXPECT_EQ(connection.bIsConnected(), 0);
  holder->Clear();
}

TEST_F(OracleSession, WithoutLanguageOrTerritoryTheHostLanguageChooses) {
  const struct {
    std::int32_t language;
    const char* alterSession;
  } cases[] = {
      {1036, "ALTER SESSION SET NLS_TERRITORY='FRANCE' NLS_LANGUAGE='FRENCH' NLS_NUMERIC_CHARACTERS"},
      {0, "ALTER SESSION SET NLS_TERRITORY='FRANCE' NLS_LANGUAGE='FRENCH' NLS_NUMERIC_CHARACTERS"},
      {0x0409, "ALTER SESSION SET NLS_TERRITORY='AMERICA' NLS_LANGUAGE='AMERICAN' NLS_NUMERIC_CHARACTERS"},
      {0x0417, "ALTER SESSION SET NLS_NUMERIC_CHARACTERS"},
  };
  CBoundRuntimeServices services;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.language);
    qzrt::SetLocaleLanguage(c.language);
    auto description = Description(u"language", NewDataSource());
    if (bIsOracleClientLoaded()) StandIn::Get().ClearCallLog();
    ASSERT_EQ(Open(*description), 1) << Dump(*holder);
    EXPECT_GT(CountCalls(StandIn::Get(), c.alterSession), 0);
    CallSlot<int>(driver, kDriverClose, description.get());
  }
}

TEST_F(OracleSession, AnAnsiPageWithoutAnOracleCharacterSetKeepsTheSessionInThatPage) {
  CBoundRuntimeServices services;
  qzrt::SetLocaleCharset(128);  // code page 932
  auto description = Description(u"sjis", NewDataSource());
  if (bIsOracleClientLoaded()) StandIn::Get().ClearCallLog();
  ASSERT_EQ(Open(*description), 1) << Dump(*holder);
  COracleConnection* connection = ConnectionOf(driver, *description);
  EXPECT_EQ(connection->nGetAnsiCodePage(), 932u);
  EXPECT_EQ(connection->m_nEnvNlsCreateState, 3u);
  EXPECT_EQ(connection->m_nEnvCreateState, 1u);
  EXPECT_EQ(connection->nGetSessionCodePage(), 65001u);  // not the runtime's: the environment's AL32UTF8
  EXPECT_EQ(CountCalls(StandIn::Get(), "OCIEnvNlsCreate"), 0);
  ASSERT_EQ(connection->bExecuteSql(holder, u"CREATE TABLE S (B VARCHAR2(20))"), 1) << Dump(*holder);
  ASSERT_EQ(connection->bExecuteSql(holder, u"INSERT INTO S VALUES ('sjis')"), 1) << Dump(*holder);
  EXPECT_EQ(FetchText(connection, *holder, u"SELECT B FROM S"), u"sjis");
  EXPECT_EQ(connection->bExecuteSql(holder, u"INSERT INTO NO_SUCH_TABLE VALUES (1)"), 0);
  EXPECT_NE(Text(*holder).find(u"OCIEnvNlsCreate = Unknown ansi charset ID"), std::u16string::npos) << Dump(*holder);
  holder->Clear();
  CallSlot<int>(driver, kDriverClose, description.get());
}

TEST_F(OracleSession, ApplicationNamesAreCutToSixteenUnitsOnWholeCharacters) {
  const struct {
    const char16_t* name;
    const char16_t* external;
    const char16_t* internal;
  } cases[] = {
      {u"PAYROLL", u"PAYROLL", u"TnxPAYROLL"},
      {u"ABCDEFGHIJKLMNO\U0001F600Z", u"ABCDEFGHIJKLMNO", u"TnxABCDEFGHIJKLM"},
      {u"ABCDEFGHIJKL\U0001F600", u"ABCDEFGHIJKL\U0001F600", u"TnxABCDEFGHIJKL"},
  };
  for (const auto& c : cases) {
    CTString external;
    CTString internal;
    COracleConnection::MakeApplicationNames(c.name, external, internal);
    EXPECT_EQ(std::u16string(external.pszGet()), c.external);
    EXPECT_EQ(std::u16string(internal.pszGet()), c.internal);
  }
  // Through the client: this program's name, cut.
  auto description = Description(u"named", NewDataSource());
  ASSERT_EQ(Open(*description), 1) << Dump(*holder);
  COracleConnection* connection = ConnectionOf(driver, *description);
  CTString application;
  connection->bGetApplicationName(application);
  ASSERT_GT(application.nGetLength(), 16u);
  for (const auto& [attribute, prefix] : {std::pair{26u, u""}, std::pair{25u, u"Tnx"}}) {
    const char16_t* text = nullptr;
    std::uint32_t bytes = 0;
    ASSERT_EQ(nOciAttrGet(connection, holder, connection->m_pServer, oci::OCI_HTYPE_SERVER, &text, attribute, &bytes),
              1) << Dump(*holder);
    EXPECT_EQ(std::u16string(text, bytes / 2), (prefix + std::u16string(application.pszGet())).substr(0, 16));
  }
  CallSlot<int>(driver, kDriverClose, description.get());
}

TEST_F(OracleSession, ALongErrorTextComesWholeIntoAUtf16Buffer) {
  auto description = Description(u"long", NewDataSource());
  ASSERT_EQ(Open(*description), 1) << Dump(*holder);
  COracleConnection* connection = ConnectionOf(driver, *description);
  ASSERT_EQ(connection->nGetSessionCodePage(), SESSION_CODE_PAGE_UTF16);
  const std::u16string name(600, u'N');
  EXPECT_EQ(connection->bExecuteSql(holder, (u"SELECT " + name + u" FROM DUAL").c_str()), 0);
  EXPECT_EQ(holder->nGetNativeErrorCode(), 904u) << Dump(*holder);
  const char16_t* text = holder->pGetInnermostError()->pszGetInfoText(ERROR_INFO_NATIVE_MESSAGE);
  ASSERT_NE(text, nullptr);
  // The buffer holds 513 units: 512 of text and the terminator.
  EXPECT_EQ(std::char_traits<char16_t>::length(text), 512u);
  holder->Clear();
  CallSlot<int>(driver, kDriverClose, description.get());
}

TEST_F(OracleSession, LockModesZeroAndOneLockNothing) {
  auto description = Description(u"nolock", NewDataSource());
  ASSERT_EQ(Open(*description), 1) << Dump(*holder);
  COracleConnection* connection = ConnectionOf(driver, *description);
  StandIn& standIn = StandIn::Get();
  for (std::uint32_t mode : {0u, 1u}) {
    standIn.ClearCallLog();
    EXPECT_EQ(connection->bLockTables(holder, reinterpret_cast<std::uintptr_t>(u"NOWHERE"), mode), 1);
    EXPECT_TRUE(standIn.CallLog().empty());
    EXPECT_EQ(connection->GetLockSession(), nullptr);
    EXPECT_EQ(connection->bIsTransactionOpen(), 0);
  }
  EXPECT_FALSE(holder->bHasError()) << Dump(*holder);
  CallSlot<int>(driver, kDriverClose, description.get());
}

}  // namespace
