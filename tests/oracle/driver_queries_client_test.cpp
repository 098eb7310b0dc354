// The driver's own queries run on its Oracle cursor over a stand-in connection: the NLS lists of error details, the
// catalog listing and the referential links read the rows' values.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/host_value.h"
#include "oracle/oracle_catalog_lister.h"
#include "oracle/oracle_connection.h"
#include "oracle/oracle_driver.h"
#include "oci_session_helpers.h"
#include "session_driver_helpers.h"
#include "sql/internal_query.h"
#include "tests/doubles/driver_doubles.h"
#include "tests/host/host_value_fixture.h"
#include "tests/slot_call.h"

namespace {

// The same lists read from the client itself: the driver's own queries run on its Oracle cursor.
class DriverQueriesOnTheClient : public CHostValueFixture {
 protected:
  static void SetUpTestSuite() { doubles::EnsureLibrary(); }
  void TearDown() override {
    if (connection) CallSlot<int>(driver, ocitest::kDriverClose, description.get());
    if (driver) CallSlot<std::int32_t>(driver, ocitest::kDriverRelease);
    CHostValueFixture::TearDown();
  }
  void Open() {
    driver = piQueryInterface();
    holder = CallSlot<CErrorHolder*>(driver, ocitest::kDriverHolder);
    connection = ocitest::OpenOnNewDataSource(driver, holder, "DRIVERQUERIES", description);
    ASSERT_NE(connection, nullptr) << ocitest::Dump(*holder);
  }
  void Sql(const char16_t* text) { ASSERT_EQ(connection->bExecuteSql(holder, text), 1) << ocitest::Dump(*holder); }
  std::u16string Text(CHostValue& value) {
    if (value.bIsNull()) return u"<null>";
    const char16_t* text = nullptr;
    value.EnsureWideText();
    value.nGetWideText(&text);
    return text ? text : u"";
  }

  void* driver = nullptr;
  CErrorHolder* holder = nullptr;
  std::unique_ptr<qzrt::ConnectionDescription> description;
  COracleConnection* connection = nullptr;
};

TEST_F(DriverQueriesOnTheClient, ListEveryParameterWithItsValue) {
  Open();
  holder->Clear();
  EXPECT_EQ(connection->bExecuteSql(holder, u"INSERT INTO NO_SUCH_TABLE VALUES (1)"), 0);
  const std::u16string text = ocitest::Text(*holder);
  EXPECT_NE(text.find(u"NLS_LANGUAGE = "), std::u16string::npos) << ocitest::Dump(*holder);
  EXPECT_EQ(text.find(u"\r\n = "), std::u16string::npos) << ocitest::Dump(*holder);
}

// A driver's query run again after its rows were read reads its values again (its columns bound anew).
TEST_F(DriverQueriesOnTheClient, AQueryRunAgainReadsItsValuesAgain) {
  Open();
  Sql(u"CREATE TABLE T (K NUMBER, V VARCHAR2(10))");
  Sql(u"INSERT INTO T VALUES (7, 'seven')");
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
    // Past the last row (moves next, 2) the rows stay ended: the finished statement is not fetched again.
    for (int past = 0; past < 2; ++past) EXPECT_TRUE(query->bRead(2, &end) && end) << ocitest::Dump(*holder);
  }
  query->nRelease();
}

TEST_F(DriverQueriesOnTheClient, CatalogAndReferentialLinksListWhatTheDictionaryHolds) {
  Open();
  Sql(u"CREATE TABLE PARENT (ID NUMBER PRIMARY KEY, NAME VARCHAR2(10))");
  Sql(u"CREATE TABLE CHILD (ID NUMBER PRIMARY KEY, PID NUMBER REFERENCES PARENT(ID) ON DELETE CASCADE)");
  Sql(u"CREATE VIEW KIDS AS SELECT ID FROM CHILD");
  auto* oracle = static_cast<COracleDriver*>(static_cast<CDriver*>(driver));
  const struct {
    std::uint32_t flags;
    const char16_t* expected;
  } lists[] = {
      {CATALOG_TABLES | CATALOG_SORTED, u""},  // SYSTEM is a system schema: only asked for, it is listed
      {CATALOG_SYSTEM_SCHEMAS | CATALOG_SORTED, u"SYSTEM.CHILD\r\nSYSTEM.PARENT"},
      {CATALOG_VIEWS_AND_SYNONYMS | CATALOG_SYSTEM_SCHEMAS | CATALOG_SORTED,
       u"SYSTEM.CHILD\r\nSYSTEM.KIDS\r\nSYSTEM.PARENT"},
  };
  for (const auto& list : lists) {
    CHostValue value;
    EXPECT_EQ(oracle->bListCatalog(&value, connection, list.flags), 1);
    EXPECT_EQ(Text(value), list.expected) << list.flags << ocitest::Dump(*holder);
  }
  CHostValue links;
  ASSERT_EQ(oracle->bListReferentialLinks(u"", u"CHILD", connection, 32, &links), 1) << ocitest::Dump(*holder);
  EXPECT_EQ(Text(links), u"SYSTEM_FK_CHILD_1\tCHILD.PID\tPID\t0,N\tPARENT.ID\tID\t0,1\t2020\t2020");
}

// A client call failing part-way through a listing fails that listing only: the next one on the same connection
// lists everything again.
TEST_F(DriverQueriesOnTheClient, AListingThatFailedPartWayLeavesTheConnectionListingWhole) {
  Open();
  Sql(u"CREATE TABLE A1 (ID NUMBER)");
  Sql(u"CREATE TABLE A2 (ID NUMBER)");
  auto* oracle = static_cast<COracleDriver*>(static_cast<CDriver*>(driver));
  const std::uint32_t flags = CATALOG_SYSTEM_SCHEMAS | CATALOG_SORTED;
  const char* entries[] = {"OCIStmtPrepare", "OCIStmtExecute", "OCIDefineByPos", "OCIStmtFetch"};
  for (const char* entry : entries) {
    for (const bool thrown : {false, true}) {
      // The second call of the entry: the first may belong to the connection's own set-up.
      if (thrown) {
        ocitest::StandIn::Get().InjectThrow(entry, 2);
      } else {
        ocitest::StandIn::Get().InjectStatus(entry, 2, -1, 1013);
      }
      CHostValue value;
      for (int attempt = 0; attempt < 3 && (attempt == 0 || Text(value) != u"<null>"); ++attempt) {
        holder->Clear();
        oracle->bListCatalog(&value, connection, flags);
      }
      EXPECT_EQ(Text(value), u"<null>") << entry << (thrown ? " thrown" : "");
      EXPECT_TRUE(holder->bHasError()) << entry;
      holder->Clear();
      EXPECT_EQ(oracle->bListCatalog(&value, connection, flags), 1);
      EXPECT_EQ(Text(value), u"SYSTEM.A1\r\nSYSTEM.A2") << entry << ocitest::Dump(*holder);
    }
  }
}

}  // namespace
