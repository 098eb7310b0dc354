// The Oracle session through the exported driver object on the OCI7 set of the stand-in, chosen by the configuration
// file: the logon, direct statements and one-row queries classified by the cursor's SQL function type, transactions
// through the logon's auto-commit switch, table locks on the main session, a refused logon and the close.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "foundation/module_errors.h"
#include "oracle/client/client_loader.h"
#include "oracle/client/oci_wrappers.h"
#include "session_driver_helpers.h"

namespace {

using namespace ocitest;

TEST(OracleSessionOci7, RunsTheSessionOnTheOci7Set) {
  doubles::EnsureLibrary();
  void* driver = piQueryInterface();
  auto* holder = CallSlot<CErrorHolder*>(driver, kDriverHolder);
  // No client kind is configured: the configuration file asks for the OCI7 client.
  const std::filesystem::path windows = std::filesystem::temp_directory_path() / "qz_session_oci7_windows";
  std::filesystem::create_directories(windows);
  std::ofstream(windows / "qzorains.ini") << "[OPTIONS]\nLOADORACLE8CLIENT=0\n";
  ASSERT_EQ(::setenv("QZ_WINDOWS_DIR", windows.c_str(), 1), 0);
  const std::u16string options = u"";

  ASSERT_TRUE(LoadClientThenMakeDataSource(driver, holder, "OCI7_SOURCE", options)) << Dump(*holder);
  ASSERT_EQ(gbOci7Mode, 1u);
  StandIn& standIn = StandIn::Get();

  auto writer = Description(u"writer", u"OCI7_SOURCE", u"manager", options);
  auto reader = Description(u"reader", u"OCI7_SOURCE", u"manager", options);
  ASSERT_EQ(CallSlot<int>(driver, kDriverOpen, writer.get()), 1) << Dump(*holder);
  ASSERT_EQ(CallSlot<int>(driver, kDriverOpen, reader.get()), 1) << Dump(*holder);
  COracleConnection* w = ConnectionOf(driver, *writer);
  COracleConnection* r = ConnectionOf(driver, *reader);
  EXPECT_EQ(w->bInsertNeedsReturning(), 0);
  EXPECT_EQ(w->bIsConnected(), 1);
  EXPECT_EQ(std::u16string(gstrClientVersionText.pszGet()), u"7");
  EXPECT_EQ(gnOciClientMajorVersion, 7);
  EXPECT_GE(standIn.EntryCount("ocon"), 2u) << "auto-commit on after each logon";

  ASSERT_EQ(w->bExecuteSql(holder, u"CREATE TABLE T7 (A NUMBER, B VARCHAR2(10))"), 1) << Dump(*holder);
  ASSERT_EQ(w->bExecuteSql(holder, u"INSERT INTO T7 VALUES (1, 'one')"), 1) << Dump(*holder);
  EXPECT_EQ(FetchText(r, *holder, u"SELECT B FROM T7 WHERE A = 1"), u"one") << Dump(*holder);

  // The statement kind is the cursor's SQL function type.
  void* cursor = nOciHandleAlloc(w, holder, 4);
  ASSERT_NE(cursor, nullptr);
  const struct {
    const char16_t* sql;
    std::uint32_t kind;
  } kinds[] = {{u"SELECT A FROM T7", 1}, {u"UPDATE T7 SET A = 2", 2}, {u"INSERT INTO T7 VALUES (3, 'x')", 3},
               {u"DELETE FROM T7 WHERE A = 9", 4}, {u"CREATE TABLE T8 (A NUMBER)", 6}, {u"DROP TABLE T8", 7},
               {u"ALTER SESSION SET NLS_DATE_FORMAT='YYYY'", 8}};
  for (const auto& k : kinds) {
    ASSERT_EQ(nOciStmtPrepare(w, holder, cursor, k.sql), 1) << Dump(*holder);
    EXPECT_EQ(w->nGetStatementType(cursor), k.kind) << std::string(k.sql, k.sql + 12);
  }
  nOciHandleFree(w, holder, cursor, 4);

  // A level turns auto-commit off; its rollback undoes, its commit shows the rows to the other connection.
  ASSERT_EQ(CallSlot<int>(driver, kDriverBegin, writer.get(), nullptr), 1) << Dump(*holder);
  ASSERT_EQ(CallSlot<int>(driver, kDriverLockTable, writer.get(), reinterpret_cast<RuntimeWord>(u"T7")), 1)
      << Dump(*holder);
  ASSERT_EQ(w->bExecuteSql(holder, u"INSERT INTO T7 VALUES (2, 'two')"), 1) << Dump(*holder);
  ASSERT_EQ(CallSlot<int>(driver, kDriverRollback, writer.get(), nullptr), 1) << Dump(*holder);
  EXPECT_EQ(FetchText(r, *holder, u"SELECT COUNT(*) FROM T7"), u"1");
  ASSERT_EQ(CallSlot<int>(driver, kDriverBegin, writer.get(), nullptr), 1) << Dump(*holder);
  ASSERT_EQ(w->bExecuteSql(holder, u"INSERT INTO T7 VALUES (2, 'two')"), 1) << Dump(*holder);
  EXPECT_EQ(FetchText(r, *holder, u"SELECT COUNT(*) FROM T7"), u"1");
  ASSERT_EQ(CallSlot<int>(driver, kDriverCommit, writer.get(), nullptr), 1) << Dump(*holder);
  EXPECT_EQ(FetchText(r, *holder, u"SELECT COUNT(*) FROM T7"), u"2");
  EXPECT_EQ(w->GetLockSession(), nullptr);  // no second session with OCI7

  // A commit the server refuses rolls the level back and turns auto-commit on again: what follows is committed.
  ASSERT_EQ(CallSlot<int>(driver, kDriverBegin, writer.get(), nullptr), 1) << Dump(*holder);
  ASSERT_EQ(w->bExecuteSql(holder, u"INSERT INTO T7 VALUES (3, 'three')"), 1) << Dump(*holder);
  standIn.InjectStatus("ocom", 1, -1, 3113);
  EXPECT_EQ(CallSlot<int>(driver, kDriverCommit, writer.get(), nullptr), 0);
  EXPECT_EQ(holder->nGetNativeErrorCode(), 3113u) << Dump(*holder);
  holder->Clear();
  EXPECT_EQ(FetchText(r, *holder, u"SELECT COUNT(*) FROM T7"), u"2");
  ASSERT_EQ(w->bExecuteSql(holder, u"INSERT INTO T7 VALUES (4, 'four')"), 1) << Dump(*holder);
  EXPECT_EQ(FetchText(r, *holder, u"SELECT COUNT(*) FROM T7"), u"3");
  // A one-value query runs no statement that is not a query.
  EXPECT_EQ(FetchText(w, *holder, u"DELETE FROM T7"), u"<none>");
  EXPECT_EQ(holder->nGetErrorCode(), ERROR_NOT_AVAILABLE) << Dump(*holder);
  holder->Clear();
  EXPECT_EQ(FetchText(r, *holder, u"SELECT COUNT(*) FROM T7"), u"3");

  // The details of an OCI7 error name the API set and leave the environment alone.
  EXPECT_EQ(w->bExecuteSql(holder, u"INSERT INTO NO_SUCH_TABLE VALUES (1)"), 0);
  EXPECT_TRUE(HasMessageText(*holder, u"Client version = 7")) << Dump(*holder);
  EXPECT_FALSE(HasMessageText(*holder, u"OCI_NLS_CHARACTER_SET")) << Dump(*holder);
  holder->Clear();

  auto bad = Description(u"bad", u"OCI7_SOURCE", u"wrong", options);
  EXPECT_EQ(CallSlot<int>(driver, kDriverOpen, bad.get()), 0);
  EXPECT_EQ(holder->nGetErrorCode(), 71u);
  EXPECT_EQ(holder->nGetRecordedCode(), 5u);
  holder->Clear();

  // A logon whose auto-commit cannot be turned on logs off again and is not connected.
  {
    COracleConnection connection(u"halfway", Host(*writer));
    standIn.InjectStatus("ocon", 1, -1, 3114);
    const unsigned logoffs = standIn.EntryCount("ologof");
    EXPECT_EQ(connection.bOpen(holder, nullptr), 0);
    EXPECT_EQ(connection.bIsConnected(), 0);
    EXPECT_EQ(standIn.EntryCount("ologof"), logoffs + 1);
    EXPECT_TRUE(HasPoint(*holder, 37)) << Dump(*holder);
    holder->Clear();
  }

  const unsigned logoffs = standIn.EntryCount("ologof");
  ASSERT_EQ(CallSlot<int>(driver, kDriverClose, writer.get()), 1);
  ASSERT_EQ(CallSlot<int>(driver, kDriverClose, reader.get()), 1);
  EXPECT_EQ(standIn.EntryCount("ologof"), logoffs + 2);
  CallSlot<std::int32_t>(driver, kDriverRelease);
  std::filesystem::remove_all(windows);
}

}  // namespace
