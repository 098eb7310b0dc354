// Tables and record descriptions give their connection back through the driver object that made them: the one
// whose registry holds the connection, whichever driver object is current, and plainly once that driver is gone.
#include <gtest/gtest.h>

#include "driver/driver.h"
#include "engine/record/record_description.h"
#include "engine/table/table.h"
#include "host/library_entry.h"
#include "sql/connection.h"
#include "standin/runtime/runtime_objects.h"
#include "tests/doubles/driver_doubles.h"

namespace {

using D = qzrt::ConnectionDescription;

class ConnectionGiveBackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doubles::EnsureLibrary();
    m_pSavedCurrent = gpDriver;
    maker = new doubles::TestDriver();
    maker->AddRef();
    other = new doubles::TestDriver();
    other->AddRef();
    description.SetText(D::kName, u"cnx");
    description.SetText(D::kDataSource, u"ORA:PROD");
  }
  void TearDown() override {
    if (maker) maker->nRelease();
    other->nRelease();
    gpDriver = m_pSavedCurrent;
    EXPECT_EQ(doubles::gnLiveConnections.load(), 0);
    EXPECT_EQ(doubles::gnLiveTables.load(), 0);
  }
  // A connection registered in the maker, with a reference for the caller.
  CConnection* MakersConnection() {
    return maker->pFindOrCreateConnection(reinterpret_cast<IHostConnectionDescription*>(&description));
  }

  doubles::TestDriver* maker = nullptr;
  doubles::TestDriver* other = nullptr;
  qzrt::ConnectionDescription description;

 private:
  CDriver* m_pSavedCurrent = nullptr;
};

TEST_F(ConnectionGiveBackTest, ATableAndADescriptionGoBackThroughTheirMakerNotTheCurrentDriver) {
  CConnection* connection = MakersConnection();
  ASSERT_NE(connection, nullptr);
  CTable* table = maker->pCreateTable(nullptr, connection, maker->pGetErrorHolder());
  table->AddRef();
  CRecordDescription* recordDescription = maker->pCreateDescription(connection, maker->pGetErrorHolder());
  recordDescription->AddRef();
  maker->nReleaseConnection(connection);
  EXPECT_EQ(connection->nGetRefCount(), 3u);  // the registry's, the table's, the description's
  gpDriver = other;
  table->nRelease();
  EXPECT_EQ(maker->nGetConnectionCount(), 1u);  // the description still uses it
  recordDescription->nRelease();
  // The last user gone, the maker's registry lets the releasable connection go.
  EXPECT_EQ(maker->nGetConnectionCount(), 0u);
  EXPECT_EQ(other->nGetConnectionCount(), 0u);
}

TEST_F(ConnectionGiveBackTest, ATableOutlivingItsMakerGivesItsConnectionBackPlainly) {
  CConnection* connection = MakersConnection();
  ASSERT_NE(connection, nullptr);
  CTable* table = maker->pCreateTable(nullptr, connection, maker->pGetErrorHolder());
  table->AddRef();
  maker->nReleaseConnection(connection);
  gpDriver = other;
  maker->nRelease();
  maker = nullptr;
  EXPECT_EQ(connection->pGetRegistrar(), nullptr);
  EXPECT_EQ(connection->nGetRefCount(), 1u);
  table->nRelease();  // frees the connection without reaching the destroyed driver
}

}  // namespace
