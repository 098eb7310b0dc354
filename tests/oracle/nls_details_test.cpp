// The session's and the database's NLS parameter lists in the details of a connection's first error, read through
// internal queries (a scripted result here: the Oracle cursor runs them on the client).
#include <gtest/gtest.h>

#include "engine/record/column_types.h"
#include "engine/record/record_description.h"
#include "engine_connection_fixture.h"
#include "oracle/oracle_connection.h"
#include "sql/driver_services.h"
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

