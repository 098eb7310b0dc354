// The session's and the database's NLS parameter lists in the details of a connection's first error, read through
// internal queries (a scripted result here: the Oracle cursor runs them on the client).
#include <gtest/gtest.h>

#include "engine/record/column_types.h"
#include "engine/record/record_description.h"
#include "engine_connection_fixture.h"
#include "oracle/oracle_connection.h"
#include "sql/driver_services.h"
#include "sql/internal_query.h"
#include "tests/doubles/internal_query_doubles.h"

namespace {

class NlsDetailsTest : public COracleEngineFixture<doubles::InternalQueryDriver> {
 protected:
  NlsDetailsTest() : COracleEngineFixture("NLSDETAILS") {}
  // The scripted result: two columns, the rows given.
  void Result(std::vector<std::int32_t> rows) {
    auto* result = Keep(testDriver.CDriver::pCreateDescription(connection, holder));
    for (const char16_t* name : {u"K", u"V"}) {
      CColumnDescriptor* item = pCreateColumnDescriptorThroughDriver(nullptr, 0);
      item->bSetAll(name, u"T", u"", 1, 4, COLUMN_TYPE_INT32, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0);
      ASSERT_TRUE(result->AddItem(item));
    }
    result->SetName(u"T");
    result->LayoutItems();
    testDriver.resultDescription = result;
    testDriver.rows = std::move(rows);
  }
  std::u16string FailOnce() {
    holder->Clear();
    EXPECT_EQ(connection->bExecuteSql(holder, u"INSERT INTO NO_SUCH_TABLE VALUES (1)"), 0);
    return ocitest::Text(*holder);
  }
};

TEST_F(NlsDetailsTest, AFirstErrorListsBothParameterSetsAndTheirQueriesKeepTheirOwnErrors) {
  Result({1, 2});
  std::u16string text = FailOnce();
  const std::u16string session = u"Paramètres NLS de la session :";
  const std::u16string database = u"Paramètres NLS de la base de données :";
  ASSERT_NE(text.find(session), std::u16string::npos) << ocitest::Dump(*holder);
  EXPECT_NE(text.find(u"1 = 10\r\n2 = 20", text.find(session)), std::u16string::npos);
  EXPECT_NE(text.find(database, text.find(session)), std::u16string::npos);
  EXPECT_EQ(testDriver.script.texts,
            (std::vector<std::u16string>{u"SELECT * from NLS_SESSION_PARAMETERS", u"SELECT * from NLS_DATABASE_PARAMETERS"}));
  EXPECT_EQ(holder->nGetNativeErrorCode(), 942u) << "the error itself is the statement's";

  // Queries that fail add no list, and their errors stay out of the caller's holder.
  testDriver.script.failRuns = true;
  text = FailOnce();
  EXPECT_EQ(text.find(session), std::u16string::npos);
  EXPECT_EQ(holder->nGetNativeErrorCode(), 942u);
}

}  // namespace

// The same lists read from the client itself: the driver's own queries run on its Oracle cursor.
class NlsDetailsOnTheClient : public CHostValueFixture {
 protected:
  static void SetUpTestSuite() { doubles::EnsureLibrary(); }
  void TearDown() override {
    if (connection) CallSlot<int>(driver, ocitest::kDriverClose, description.get());
    if (driver) CallSlot<std::int32_t>(driver, ocitest::kDriverRelease);
    CHostValueFixture::TearDown();
  }
  void* driver = nullptr;
  std::unique_ptr<qzrt::ConnectionDescription> description;
  COracleConnection* connection = nullptr;
};

TEST_F(NlsDetailsOnTheClient, ListEveryParameterWithItsValue) {
  driver = piQueryInterface();
  CErrorHolder* holder = CallSlot<CErrorHolder*>(driver, ocitest::kDriverHolder);
  connection = ocitest::OpenOnNewDataSource(driver, holder, "NLSCLIENT", description);
  ASSERT_NE(connection, nullptr) << ocitest::Dump(*holder);
  holder->Clear();
  EXPECT_EQ(connection->bExecuteSql(holder, u"INSERT INTO NO_SUCH_TABLE VALUES (1)"), 0);
  const std::u16string text = ocitest::Text(*holder);
  EXPECT_NE(text.find(u"NLS_LANGUAGE = "), std::u16string::npos) << ocitest::Dump(*holder);
  EXPECT_EQ(text.find(u"\r\n = "), std::u16string::npos) << ocitest::Dump(*holder);
}

// A driver's query run again after its rows were read reads its values again (its columns bound anew).
TEST_F(NlsDetailsOnTheClient, AQueryRunAgainReadsItsValuesAgain) {
  driver = piQueryInterface();
  CErrorHolder* holder = CallSlot<CErrorHolder*>(driver, ocitest::kDriverHolder);
  connection = ocitest::OpenOnNewDataSource(driver, holder, "NLSCLIENT", description);
  ASSERT_NE(connection, nullptr) << ocitest::Dump(*holder);
  ASSERT_EQ(connection->bExecuteSql(holder, u"CREATE TABLE T (K NUMBER, V VARCHAR2(10))"), 1) << ocitest::Dump(*holder);
  ASSERT_EQ(connection->bExecuteSql(holder, u"INSERT INTO T VALUES (7, 'seven')"), 1) << ocitest::Dump(*holder);
  CInternalQuery* query = CInternalQuery::pCreate(u"SELECT K, V FROM T", holder, connection);
  ASSERT_NE(query, nullptr) << ocitest::Dump(*holder);
  query->AddRef();
  for (int run = 0; run < 2; ++run) {
    if (run) {
      EXPECT_EQ(query->nExecute(), 1) << ocitest::Dump(*holder);
    }
    std::uint32_t end = 1;
    ASSERT_EQ(query->bRead(0, &end), 1) << ocitest::Dump(*holder);
    ASSERT_EQ(end, 0u);
    CTString key, value;
    EXPECT_TRUE(query->bGetColumnText(0, key) && query->bGetColumnText(1, value));
    EXPECT_EQ(std::u16string(key.pszGet()) + u"/" + value.pszGet(), u"7/seven") << "run " << run;
  }
  query->nRelease();
}
