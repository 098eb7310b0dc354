// Identifiers from the sequence QUORVIX_SEQ with the OCI7 set, whose one session also holds the runtime's open
// transaction: outside a transaction each identifier object sends CREATE once (the server's "already exists" is no
// error); inside one nothing is created, since the CREATE would commit the caller's work half-way.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "oracle/client/client_loader.h"
#include "sequence_test_helpers.h"

namespace {

using namespace ocitest;

TEST(OracleSequenceOci7, CreatedOutsideTransactionsOnly) {
  doubles::EnsureLibrary();
  void* driver = piQueryInterface();
  auto* holder = CallSlot<CErrorHolder*>(driver, kDriverHolder);
  const std::filesystem::path windows = std::filesystem::temp_directory_path() / "qz_sequence_oci7_windows";
  std::filesystem::create_directories(windows);
  std::ofstream(windows / "qzorains.ini") << "[OPTIONS]\nLOADORACLE8CLIENT=0\n";
  ASSERT_EQ(::setenv("QZ_WINDOWS_DIR", windows.c_str(), 1), 0);
  ASSERT_TRUE(LoadClientThenMakeDataSource(driver, holder, "OCI7_SEQUENCE", u"")) << Dump(*holder);
  ASSERT_EQ(gbOci7Mode, 1u);
  auto description = Description(u"sequence", u"OCI7_SEQUENCE");
  ASSERT_EQ(CallSlot<int>(driver, kDriverOpen, description.get()), 1) << Dump(*holder);
  COracleConnection* connection = ConnectionOf(driver, *description);
  ASSERT_EQ(connection->bExecuteSql(holder, u"CREATE TABLE T (ID NUMBER)"), 1) << Dump(*holder);
  CTable* table = NewTable(driver, connection, holder);
  auto next = [&](COracleAutomaticIdentifier* identifier) -> std::u16string {
    CTString text;
    if (!identifier->bBuildNextValueText(text, table, nullptr)) return u"<no text>";
    return FetchText(connection, *holder, text.pszGet());
  };
  auto rows = [&] { return FetchText(connection, *holder, u"SELECT COUNT(*) FROM T"); };

  // Inside a transaction, with no sequence yet: refused, nothing sent that would commit, the work still open.
  ASSERT_EQ(CallSlot<int>(driver, kDriverBegin, description.get(), nullptr), 1) << Dump(*holder);
  ASSERT_EQ(connection->bExecuteSql(holder, u"INSERT INTO T VALUES (1)"), 1) << Dump(*holder);
  COracleAutomaticIdentifier* refused = NewIdentifier();
  StandIn::Get().ClearCallLog();
  EXPECT_EQ(next(refused), u"<no text>");
  EXPECT_EQ(holder->nGetErrorCode(), 8u) << Dump(*holder);
  EXPECT_TRUE(HasMessageText(*holder, u"QUORVIX_SEQ")) << Dump(*holder);
  const std::string probe = "SELECT SEQUENCE_NAME FROM USER_SEQUENCES WHERE SEQUENCE_NAME = 'QUORVIX_SEQ'";
  EXPECT_EQ(SequenceStatements(), std::vector<std::string>{probe}) << "the catalog is asked, nothing created";
  holder->Clear();
  ASSERT_EQ(CallSlot<int>(driver, kDriverRollback, description.get(), nullptr), 1) << Dump(*holder);
  EXPECT_EQ(rows(), u"0") << "the transaction's work was not committed by the identifier";

  // Outside one: CREATE once per identifier object, then only SELECT.
  StandIn::Get().ClearCallLog();
  EXPECT_EQ(next(refused), u"1") << Dump(*holder);
  EXPECT_EQ(next(refused), u"2") << Dump(*holder);
  EXPECT_EQ(SequenceStatements(), (std::vector<std::string>{"CREATE SEQUENCE QUORVIX_SEQ",
                                                            "SELECT QUORVIX_SEQ.NEXTVAL FROM DUAL",
                                                            "SELECT QUORVIX_SEQ.NEXTVAL FROM DUAL"}));
  COracleAutomaticIdentifier* second = NewIdentifier();
  StandIn::Get().ClearCallLog();
  EXPECT_EQ(next(second), u"3") << Dump(*holder);
  EXPECT_FALSE(holder->bHasError()) << "the sequence that exists is no error: " << Dump(*holder);
  EXPECT_EQ(SequenceStatements().front(), "CREATE SEQUENCE QUORVIX_SEQ");

  // Inside a transaction, the sequence there: found in the catalog, nothing created, the work still open.
  ASSERT_EQ(CallSlot<int>(driver, kDriverBegin, description.get(), nullptr), 1) << Dump(*holder);
  ASSERT_EQ(connection->bExecuteSql(holder, u"INSERT INTO T VALUES (2)"), 1) << Dump(*holder);
  COracleAutomaticIdentifier* inside = NewIdentifier();
  StandIn::Get().ClearCallLog();
  EXPECT_EQ(next(inside), u"4") << Dump(*holder);
  EXPECT_EQ(SequenceStatements(), (std::vector<std::string>{probe, "SELECT QUORVIX_SEQ.NEXTVAL FROM DUAL"}));
  ASSERT_EQ(CallSlot<int>(driver, kDriverRollback, description.get(), nullptr), 1) << Dump(*holder);
  EXPECT_EQ(rows(), u"0");

  for (COracleAutomaticIdentifier* identifier : {refused, second, inside}) identifier->nRelease();
  table->nRelease();
  CallSlot<int>(driver, kDriverClose, description.get());
  CallSlot<std::int32_t>(driver, kDriverRelease);
}

}  // namespace
