// The Oracle connection classes: what the generic layers rely on from construction (DBMS kind, flat transactions,
// identifier quotes, flag answers), and table locks as a transaction level of their own.
#include "oracle/oracle_connection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "standin/runtime/runtime_objects.h"
#include "tests/doubles/driver_doubles.h"

namespace {

using Statements = std::vector<std::u16string>;

IHostConnectionDescription* AsHost(qzrt::ConnectionDescription& description) {
  return reinterpret_cast<IHostConnectionDescription*>(&description);
}

// The Oracle layer's middle class over a session that always opens and records the statements it would send; the
// lock statement fails when told to. Flat transactions, as the Oracle connection runs them.
class LockingConnection : public CConnectionOra {
 public:
  explicit LockingConnection(IHostConnectionDescription* description) : CConnectionOra(u"cnx", description) {
    m_nNestedMode = 0;
  }
  int bOpen(CErrorHolder*, const char16_t*) override { return 1; }
  int bIsConnected() override { return 1; }
  void Close(CErrorHolder*) override {}
  void FillTypeNameTable(CTypeNameTable*) override {}
  int bExecuteSql(CErrorHolder* holder, const char16_t* text) override {
    statements.emplace_back(text);
    const bool fails = failLock && statements.back().rfind(u"LOCK TABLE ", 0) == 0;
    if (fails) RaiseNotAvailable(holder, ERROR_UNIT_CONNECTION, 98, this, nullptr);
    return fails ? 0 : 1;
  }

  bool failLock = false;
  Statements statements;
};

// Exposes the identifier quotes the Oracle connection sets.
class OracleConnectionProbe : public COracleConnection {
 public:
  using COracleConnection::COracleConnection;
  std::u16string OpeningQuote() const { return m_strOpeningQuote.pszGet(); }
  std::u16string ClosingQuote() const { return m_strClosingQuote.pszGet(); }
  std::uint32_t nQuoteLengths() const { return m_nOpeningQuoteLength * 10 + m_nClosingQuoteLength; }
};

class OracleConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override { doubles::EnsureLibrary(); }
  qzrt::ConnectionDescription description;
  CErrorHolder holder;
};

TEST_F(OracleConnectionTest, ConstructionSetsWhatTheGenericLayersRead) {
  OracleConnectionProbe connection(u"cnx", AsHost(description));
  EXPECT_EQ(connection.nGetDbmsKind(), DBMS_KIND_ORACLE);
  EXPECT_EQ(connection.nGetNestedMode(), 0u);  // flat transactions
  EXPECT_EQ(connection.OpeningQuote(), u"\"");
  EXPECT_EQ(connection.ClosingQuote(), u"\"");
  EXPECT_EQ(connection.nQuoteLengths(), 11u);
  EXPECT_EQ(connection.bNullsSortFirst(), 0);
  EXPECT_EQ(connection.bQualifiesIndexNames(), 1);
  EXPECT_EQ(connection.bCanOrderLargeValues(), 0);
  // The generic answers that the Oracle connection replaces.
  doubles::TestConnection generic(u"g", AsHost(description));
  EXPECT_EQ(generic.bNullsSortFirst(), 1);
  EXPECT_EQ(generic.bQualifiesIndexNames(), 0);
}

TEST_F(OracleConnectionTest, TableLocksRunInALevelOfTheirOwn) {
  LockingConnection connection(AsHost(description));
  const char16_t* tables = u"EMP, DEPT";
  const auto list = reinterpret_cast<std::uintptr_t>(tables);
  EXPECT_EQ(connection.bLockTables(&holder, list, 0), 1);
  EXPECT_EQ(connection.bLockTables(&holder, list, 1), 1);
  EXPECT_TRUE(connection.statements.empty());  // modes 0 and 1 send nothing
  EXPECT_EQ(connection.bUnlockTables(&holder, list), 1);  // nothing open: nothing to end
  EXPECT_TRUE(connection.statements.empty());

  EXPECT_EQ(connection.bLockTables(&holder, list, 2), 1);
  EXPECT_TRUE(connection.bIsTransactionOpen());
  EXPECT_EQ(connection.bUnlockTables(&holder, list), 1);
  EXPECT_FALSE(connection.bIsTransactionOpen());
  EXPECT_EQ(connection.statements, (Statements{u"BEGIN", u"LOCK TABLE EMP, DEPT", u"COMMIT"}));
}

TEST_F(OracleConnectionTest, LockInsideAnOpenTransactionLivesInIt) {
  LockingConnection connection(AsHost(description));
  const auto list = reinterpret_cast<std::uintptr_t>(u"EMP");
  ASSERT_EQ(connection.bBeginLevel(&holder, nullptr), 1);
  EXPECT_EQ(connection.bLockTables(&holder, list, 3), 1);
  EXPECT_EQ(connection.nGetFlatDepth(), 1u);  // no level of its own
  EXPECT_EQ(connection.bUnlockTables(&holder, list), 1);
  EXPECT_TRUE(connection.bIsTransactionOpen());  // the program's own transaction goes on
  EXPECT_EQ(connection.statements, (Statements{u"BEGIN", u"LOCK TABLE EMP"}));
}

TEST_F(OracleConnectionTest, AFailedLockRollsItsLevelBack) {
  LockingConnection connection(AsHost(description));
  connection.failLock = true;
  EXPECT_EQ(connection.bLockTables(&holder, reinterpret_cast<std::uintptr_t>(u"EMP"), 2), 0);
  EXPECT_FALSE(connection.bIsTransactionOpen());
  EXPECT_EQ(connection.nGetFlatDepth(), 0u);
  EXPECT_EQ(connection.statements, (Statements{u"BEGIN", u"LOCK TABLE EMP", u"ROLLBACK"}));
  EXPECT_EQ(holder.nGetErrorCode(), ERROR_NOT_AVAILABLE);  // the lock's error is kept
}

}  // namespace
