// Identifiers from the sequence QUORVIX_SEQ with the OCI set: the first request on a database without it creates it
// on the main session, later requests only ask for the next value, and no error of the check is left behind.
#include <gtest/gtest.h>

#include <memory>

#include "foundation/module_errors.h"
#include "sequence_test_helpers.h"
#include "tests/host/host_value_fixture.h"

namespace {

using namespace ocitest;

class OracleSequence : public CHostValueFixture {
 protected:
  static void SetUpTestSuite() { doubles::EnsureLibrary(); }
  void SetUp() override {
    CHostValueFixture::SetUp();
    driver = piQueryInterface();
    holder = CallSlot<CErrorHolder*>(driver, kDriverHolder);
    connection = OpenOnNewDataSource(driver, holder, "ORASEQUENCE", description);
    ASSERT_NE(connection, nullptr) << Dump(*holder);
    ASSERT_EQ(connection->bExecuteSql(holder, u"CREATE TABLE T (ID NUMBER)"), 1) << Dump(*holder);
    table = NewTable(driver, connection, holder);
    identifier = NewIdentifier();
    ASSERT_NE(identifier, nullptr);
  }
  void TearDown() override {
    if (identifier) identifier->nRelease();
    if (table) table->nRelease();
    if (connection) CallSlot<int>(driver, kDriverClose, description.get());
    CallSlot<std::int32_t>(driver, kDriverRelease);
    CHostValueFixture::TearDown();
  }
  std::u16string Next(COracleAutomaticIdentifier* from) {
    CTString text;
    if (!from->bBuildNextValueText(text, table, nullptr)) return u"<no text>";
    return FetchText(connection, *holder, text.pszGet());
  }

  void* driver = nullptr;
  CErrorHolder* holder = nullptr;
  std::unique_ptr<qzrt::ConnectionDescription> description;
  COracleConnection* connection = nullptr;
  CTable* table = nullptr;
  COracleAutomaticIdentifier* identifier = nullptr;
};

TEST_F(OracleSequence, CreatedOnceThenOnlySelected) {
  StandIn::Get().ClearCallLog();
  CTString text;
  ASSERT_EQ(identifier->bBuildNextValueText(text, table, nullptr), 1) << Dump(*holder);
  EXPECT_EQ(std::u16string(text.pszGet()), u"SELECT QUORVIX_SEQ.NEXTVAL FROM DUAL");
  EXPECT_FALSE(holder->bHasError()) << "the probe's answer is no error of the request: " << Dump(*holder);
  EXPECT_EQ(FetchText(connection, *holder, text.pszGet()), u"1");
  EXPECT_EQ(Next(identifier), u"2");
  EXPECT_EQ(SequenceStatements(), (std::vector<std::string>{"CREATE SEQUENCE QUORVIX_SEQ",
                                                            "SELECT QUORVIX_SEQ.NEXTVAL FROM DUAL",
                                                            "SELECT QUORVIX_SEQ.NEXTVAL FROM DUAL"}));

  // Another identifier finds the sequence there and creates nothing.
  COracleAutomaticIdentifier* other = NewIdentifier();
  StandIn::Get().ClearCallLog();
  EXPECT_EQ(Next(other), u"3") << Dump(*holder);
  EXPECT_EQ(SequenceStatements(), std::vector<std::string>{"SELECT QUORVIX_SEQ.NEXTVAL FROM DUAL"});
  other->nRelease();

  // The failure of the next-value query names the table, the column's place and the sequence.
  identifier->RaiseError(holder, table, nullptr);
  EXPECT_TRUE(HasMessageText(*holder, u"QUORVIX_SEQ")) << Dump(*holder);
}

TEST_F(OracleSequence, ACreateThatFailsBuildsNoTextAndIsTriedAgain) {
  StandIn::Get().InjectStatus("OCIStmtExecute", 1, -1, 1031);
  CTString text(u"untouched");
  EXPECT_EQ(identifier->bBuildNextValueText(text, table, nullptr), 0);
  EXPECT_EQ(std::u16string(text.pszGet()), u"untouched");
  EXPECT_EQ(holder->nGetNativeErrorCode(), 1031u) << Dump(*holder);
  EXPECT_EQ(identifier->bIsSequenceReady(), 0u);
  holder->Clear();
  StandIn::Get().ClearCallLog();
  EXPECT_EQ(Next(identifier), u"1") << Dump(*holder);
  EXPECT_EQ(SequenceStatements().front(), "CREATE SEQUENCE QUORVIX_SEQ");
}

// The open transaction runs on the lock session: the sequence is made on the main session and the transaction's
// work stays the transaction's.
TEST_F(OracleSequence, MadeOnTheMainSessionBesideAnOpenTransaction) {
  ASSERT_EQ(CallSlot<int>(driver, kDriverBegin, description.get(), nullptr), 1) << Dump(*holder);
  ASSERT_EQ(connection->bExecuteSql(holder, u"INSERT INTO T VALUES (1)"), 1) << Dump(*holder);
  EXPECT_EQ(Next(identifier), u"1") << Dump(*holder);
  ASSERT_EQ(CallSlot<int>(driver, kDriverRollback, description.get(), nullptr), 1) << Dump(*holder);
  EXPECT_EQ(FetchText(connection, *holder, u"SELECT COUNT(*) FROM T"), u"0");
}

}  // namespace
