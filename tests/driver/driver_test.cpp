// The driver object through the raw table index, as the runtime calls it: every slot's answer, which slots hold the
// lock and clear the holder, the error points of its own raises, its registries, exceptions that pass through, and
// several threads at once. The driver is a test driver whose factories make the connection, description and table
// doubles; the runtime's objects are the stand-in's.
#include "driver/driver.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "driver/access_interface.h"
#include "engine/table/automatic_identifier.h"
#include "engine/table/cursor.h"
#include "engine/table/parameter_binding.h"
#include "engine/table/table.h"
#include "engine/values/field_value.h"
#include "foundation/error_holder.h"
#include "host/export.h"
#include "host/host_value.h"
#include "host/library_entry.h"
#include "sql/connection.h"
#include "sql/rewriter/sql_rewriter.h"
#include "sql/rewriter/sql_element.h"
#include "sql/rewriter/value_leaf.h"
#include "sql/table_registry.h"
#include "standin/runtime/runtime_objects.h"
#include "tests/doubles/driver_doubles.h"
#include "tests/slot_call.h"
#include "tests/support/lock_held_elsewhere.h"

namespace {

using D = qzrt::ConnectionDescription;
using doubles::TestConnection;
using doubles::TestDriver;

// Slot numbers of the driver object.
enum : std::size_t {
  kVersion = 0,
  kMinVersion = 1,
  kAddRef = 5,
  kRelease = 6,
  kClearError = 7,
  kOpen = 8,
  kClose = 9,
  kCopyRegistry = 10,
  kHolder = 11,
  kSetStateByName = 12,
  kGetInterface = 13,
  kListCatalogOf = 14,
  kGetDescription = 15,
  kQueryDefault = 16,
  kCloseRegistry = 17,
  kBegin = 18,
  kCommit = 19,
  kRollback = 20,
  kLockTable = 21,
  kLockRows = 22,
  kNativeTypes = 23,
  kNotSupported = 24,
  kNotAvailable25 = 25,
  kDescribe = 26,
  kReferentialLinks = 27,
  kListDatabases = 28,
  kSetObject = 29,
  kStorePair = 30,
  kNotAvailable31 = 31,
  kRegistryName = 32,
  kQuery = 33,
  kCloseThrough = 34,
  kStoreValue = 36,
  kCreateTable = 37,
  kNotAvailable38 = 38,
  kFormat = 41,
  kCreateDescription = 48,
  kCreateRegistry = 49,
  kCreateTable50 = 50,
  kCreateHolder = 54,
  kDescriptionFor = 56,
  kNotify = 58,
  kCreateConnection = 61,
  kListCatalog = 64,
  kDescribeTable = 65,
  kLinks = 66,
};

bool LockFreeForAnotherThread() {
  return std::async(std::launch::async,
                    [] {
                      if (!gcsDriverLock.TryEnter()) return false;
                      gcsDriverLock.Leave();
                      return true;
                    })
      .get();
}

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doubles::EnsureLibrary();
    driver = new TestDriver();
    driver->AddRef();
    gpDriver = driver;
    description.SetText(D::kName, u"cnx");
    description.SetText(D::kUserId, u"scott");
    description.SetText(D::kPassword, u"tiger");
    description.SetText(D::kDataSource, u"ORA:PROD");
    description.SetText(D::kProvider, u"prov");
    description.SetText(D::kExtendedInformation, u"x=1");
  }
  void TearDown() override {
    if (driver) CallSlot<std::int32_t>(driver, kRelease);
    EXPECT_EQ(gpDriver, nullptr);
    EXPECT_EQ(doubles::gnLiveConnections.load(), 0);
    EXPECT_EQ(doubles::gnLiveTables.load(), 0);
    EXPECT_EQ(description.References(), 1);  // every reference the connections took was given back
  }
  void* Host() { return &description; }
  CErrorHolder* Holder() { return driver->pGetErrorHolder(); }
  // A recorded error, so that a test can see whether a slot cleared the holder.
  void Soil() {
    Holder()->Clear();
    Holder()->RaiseError(0, 9, 9, nullptr, 8u);
  }
  bool Soiled() { return Holder()->nGetRecordedCode() == 0 && doubles::HasIdentification(Holder(), 9, 9); }
  // The connection registered for the description, without a lasting reference.
  CConnection* Registered() {
    CConnection* connection = driver->pFindConnection(reinterpret_cast<IHostConnectionDescription*>(Host()));
    if (connection) driver->nReleaseConnection(connection);
    return connection;
  }

  TestDriver* driver = nullptr;
  qzrt::ConnectionDescription description;
};

TEST_F(DriverTest, ConstantSlots) {
  EXPECT_EQ(CallSlot<std::int32_t>(driver, kVersion), 18);
  EXPECT_EQ(CallSlot<std::int32_t>(driver, kMinVersion), 17);
  EXPECT_EQ(CallSlot<std::int32_t>(driver, 2), -1);
  EXPECT_EQ(CallSlot<std::int32_t>(driver, 3), -1);
  CallSlot<void>(driver, 4);
  EXPECT_EQ(CallSlot<int>(driver, 35), 1);
  EXPECT_EQ(CallSlot<int>(driver, 40), 1);
  EXPECT_EQ(CallSlot<int>(driver, 42), 0);
  EXPECT_EQ(CallSlot<int>(driver, 43), 0);
  CallSlot<void>(driver, 60);
  EXPECT_EQ(CallSlot<int>(driver, 63), 0);
  CallSlot<void>(driver, 67);
  EXPECT_EQ(CallSlot<int>(driver, kNativeTypes, nullptr), 0);
  EXPECT_EQ(CallSlot<int>(driver, kLinks, nullptr, 0, 0, nullptr, 0u), 0);
  EXPECT_EQ(CallSlot<CErrorHolder*>(driver, kHolder), Holder());
  EXPECT_EQ(CallSlot<int>(driver, kStorePair, std::uintptr_t{1}, std::uintptr_t{2}), 1);
  EXPECT_EQ(CallSlot<int>(driver, kStoreValue, std::uintptr_t{3}), 1);
  EXPECT_EQ(driver->nGetStoredPairFirst(), 1u);
  EXPECT_EQ(driver->nGetStoredPairSecond(), 2u);
  EXPECT_EQ(driver->nGetStoredValue(), 3u);
  EXPECT_EQ(driver->nGetDefaultReadAhead(), -1);
  CTString name;
  EXPECT_EQ(std::u16string(CDriver::pszExpressionName(name, 0)), u"Expr1000");
  EXPECT_EQ(std::u16string(CDriver::pszExpressionName(name, 5)), u"Expr1005");
}

TEST_F(DriverTest, CountingAndClearing) {
  EXPECT_EQ(CallSlot<std::uint32_t>(driver, kAddRef), 2u);
  EXPECT_EQ(CallSlot<std::int32_t>(driver, kRelease), 1);
  Soil();
  EXPECT_EQ(CallSlot<std::int32_t>(driver, kClearError), 0);
  EXPECT_EQ(Holder()->nGetRecordedCode(), ERROR_CODE_NONE_RECORDED);
}

TEST_F(DriverTest, ConnectionTextAndItsKeys) {
  CTString text;
  EXPECT_EQ(CallSlot<int>(driver, kFormat, &text, Host()), 1);
  EXPECT_EQ(std::u16string(text.pszGet()),
            u"Connection=cnx;Provider=prov;ExtendedInformation=x=1;Data source=ORA:PROD;user id=scott;"
            u"password=tiger;access=RW");
  description.SetText(D::kProvider, std::nullopt);
  description.SetNumber(D::kReadOnly, 1);
  CallSlot<int>(driver, kFormat, &text, Host());
  EXPECT_NE(std::u16string(text.pszGet()).find(u"Provider=NULL;"), std::u16string::npos);
  EXPECT_NE(std::u16string(text.pszGet()).find(u";access=R"), std::u16string::npos);

  // Descriptions that differ only in case reach the same connection.
  qzrt::ConnectionDescription upper;
  upper.SetText(D::kName, u"CNX");
  qzrt::ConnectionDescription lower;
  lower.SetText(D::kName, u"cnx");
  EXPECT_EQ(CallSlot<int>(driver, kOpen, &upper), 1);
  EXPECT_EQ(CallSlot<int>(driver, kOpen, &lower), 1);
  EXPECT_EQ(driver->nGetConnectionCount(), 1u);
  CallSlot<int>(driver, kClose, &upper);
  CallSlot<int>(driver, kClose, &lower);
  EXPECT_EQ(driver->nGetConnectionCount(), 0u);
  EXPECT_EQ(upper.References() + lower.References(), 2);

  // A password in another case is another logon, which the server judges.
  upper.SetText(D::kPassword, u"tiger");
  lower.SetText(D::kPassword, u"TIGER");
  EXPECT_EQ(CallSlot<int>(driver, kOpen, &upper), 1);
  EXPECT_EQ(CallSlot<int>(driver, kOpen, &lower), 1);
  EXPECT_EQ(driver->nGetConnectionCount(), 2u);
  CallSlot<int>(driver, kClose, &upper);
  CallSlot<int>(driver, kClose, &lower);
}

TEST_F(DriverTest, OpenKeepsTheConnectionUntilClosed) {
  Soil();
  driver->onConnection = [this](TestConnection* connection) {
    connection->onOpen = [this] {
      EXPECT_FALSE(LockFreeForAnotherThread());
      EXPECT_FALSE(Soiled());
    };
  };
  EXPECT_EQ(CallSlot<int>(driver, kOpen, Host()), 1);
  CConnection* connection = Registered();
  ASSERT_NE(connection, nullptr);
  EXPECT_EQ(connection->nGetRefCount(), 2u);  // the registry's and the open's
  EXPECT_FALSE(connection->bIsReleasable());
  EXPECT_EQ(CallSlot<int>(driver, kClose, Host()), 1);
  EXPECT_EQ(Registered(), nullptr);
  EXPECT_EQ(CallSlot<int>(driver, kClose, Host()), 1);  // closing twice: nothing registered, still 1
}

TEST_F(DriverTest, OpensNeverClosedEndWithTheDriver) {
  ASSERT_EQ(CallSlot<int>(driver, kOpen, Host()), 1);
  ASSERT_EQ(CallSlot<int>(driver, kOpen, Host()), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(driver, kRelease), 0);
  driver = nullptr;
  EXPECT_EQ(doubles::gnLiveConnections.load(), 0);
}

// Two runtime connections opened on one description share one connection: each open keeps its own reference, so
// closing one leaves the other working, and the connection goes with the last close only.
TEST_F(DriverTest, EachOpenOfASharedConnectionEndsWithItsOwnClose) {
  ASSERT_EQ(CallSlot<int>(driver, kOpen, Host()), 1);
  ASSERT_EQ(CallSlot<int>(driver, kOpen, Host()), 1);
  CConnection* connection = Registered();
  ASSERT_NE(connection, nullptr);
  EXPECT_EQ(connection->nGetRefCount(), 3u);  // the registry's and one per open
  EXPECT_EQ(CallSlot<int>(driver, kClose, Host()), 1);
  EXPECT_EQ(Registered(), connection);
  EXPECT_FALSE(connection->bIsReleasable());
  EXPECT_EQ(CallSlot<int>(driver, kBegin, Host(), u"T"), 1);
  EXPECT_EQ(CallSlot<int>(driver, kCommit, Host(), u"T"), 1);
  EXPECT_EQ(CallSlot<int>(driver, kClose, Host()), 1);
  EXPECT_EQ(Registered(), nullptr);
  // Further closes find nothing to end and drop nothing.
  EXPECT_EQ(CallSlot<int>(driver, kClose, Host()), 1);
  EXPECT_EQ(CallSlot<int>(driver, kCommit, Host(), u"T"), 0);
  EXPECT_EQ(Holder()->nGetErrorCode(), 14u);
}

TEST_F(DriverTest, AFailedOpenLeavesNothingAndANonFatalError) {
  driver->onConnection = [](TestConnection* connection) { connection->openAnswer = 0; };
  EXPECT_EQ(CallSlot<int>(driver, kOpen, Host()), 0);
  EXPECT_EQ(driver->nGetConnectionCount(), 0u);
  EXPECT_EQ(Holder()->nGetLevel(), static_cast<std::uint32_t>(ERROR_LEVEL_NONFATAL));
}

TEST_F(DriverTest, ClosingANeverOpenedConnectionKeepsItForItsUsers) {
  IHostConnectionDescription* host = reinterpret_cast<IHostConnectionDescription*>(Host());
  CConnection* held = driver->pFindOrCreateConnection(host);  // as an access interface keeps it
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(CallSlot<int>(driver, kClose, Host()), 1);
  EXPECT_EQ(CallSlot<int>(driver, kClose, Host()), 1);
  EXPECT_EQ(held->nGetRefCount(), 2u);  // the registry's and the user's: no close took one away
  EXPECT_EQ(Registered(), held);
  driver->nReleaseConnection(held);  // the last user goes: the connection leaves with it
  EXPECT_EQ(Registered(), nullptr);
}

TEST_F(DriverTest, TransactionsOnRegisteredConnections) {
  IHostConnectionDescription* host = reinterpret_cast<IHostConnectionDescription*>(Host());
  CConnection* held = driver->pFindOrCreateConnection(host);
  auto* connection = driver->lastConnection;
  EXPECT_EQ(CallSlot<int>(driver, kBegin, Host(), u"T"), 1);
  EXPECT_EQ(CallSlot<int>(driver, kBegin, Host(), u"T2"), 1);
  EXPECT_EQ(CallSlot<int>(driver, kCommit, Host(), u"T2"), 1);
  EXPECT_EQ(CallSlot<int>(driver, kRollback, Host(), u"T"), 1);
  EXPECT_EQ(connection->statements, (std::vector<std::u16string>{u"BEGIN", u"ROLLBACK"}));
  driver->nReleaseConnection(held);
  // An open transaction keeps a connection that nobody else holds; its end lets it go.
  EXPECT_EQ(CallSlot<int>(driver, kBegin, Host(), u"T"), 1);
  EXPECT_NE(Registered(), nullptr);
  EXPECT_EQ(CallSlot<int>(driver, kCommit, Host(), u"T"), 1);
  EXPECT_EQ(Registered(), nullptr);
}

TEST_F(DriverTest, OperationsOnAConnectionNeverOpenedRaiseError14) {
  struct Case {
    std::size_t slot;
    unsigned point;
  } cases[] = {{kLockTable, 1}, {kLockRows, 2}, {kNotSupported, 3}, {kCommit, 4}, {kRollback, 5}};
  for (const Case& c : cases) {
    int result = 1;
    if (c.slot == kCommit || c.slot == kRollback) {
      result = CallSlot<int>(driver, c.slot, Host(), u"T");
    } else if (c.slot == kNotSupported) {
      result = CallSlot<int>(driver, c.slot, std::uintptr_t{0}, Host(), std::uintptr_t{0}, std::uintptr_t{0});
    } else {
      result = CallSlot<int>(driver, c.slot, Host(), std::uintptr_t{0});
    }
    EXPECT_EQ(result, 0) << c.slot;
    EXPECT_EQ(Holder()->nGetErrorCode(), 14u) << c.slot;
    EXPECT_NE(std::u16string(Holder()->pszGetUserMessage()).find(u"cnx"), std::u16string::npos) << c.slot;
    EXPECT_TRUE(doubles::HasIdentification(Holder(), 5, c.point)) << c.slot;
    EXPECT_EQ(driver->nGetConnectionCount(), 0u);
  }
}

TEST_F(DriverTest, LocksAndReportsOnAnOpenConnection) {
  ASSERT_EQ(CallSlot<int>(driver, kOpen, Host()), 1);
  auto* connection = driver->lastConnection;
  Soil();
  EXPECT_EQ(CallSlot<int>(driver, kLockRows, Host(), std::uintptr_t{42}), 1);
  EXPECT_FALSE(Soiled());
  EXPECT_EQ(connection->lockRowsArguments, (std::vector<std::uintptr_t>{42}));
  EXPECT_EQ(CallSlot<int>(driver, kLockTable, Host(), reinterpret_cast<std::uintptr_t>(u"EMP")), 1);
  EXPECT_EQ(connection->statements.back(), u"LOCK TABLE EMP");
  EXPECT_EQ(CallSlot<int>(driver, kNotSupported, std::uintptr_t{0}, Host(), reinterpret_cast<std::uintptr_t>(u"F.TXT"),
                          std::uintptr_t{0}),
            0);
  EXPECT_EQ(std::u16string(Holder()->pszGetFileName()), u"F.TXT");
  EXPECT_TRUE(doubles::HasIdentification(Holder(), 1, 3));
  CallSlot<int>(driver, kClose, Host());
}

TEST_F(DriverTest, NotAvailableSlots) {
  EXPECT_EQ(CallSlot<int>(driver, kNotAvailable25), 0);
  EXPECT_EQ(Holder()->nGetErrorCode(), 8u);
  EXPECT_EQ(Holder()->nGetRecordedCode(), 7u);
  EXPECT_TRUE(doubles::HasIdentification(Holder(), 5, 6));
  Holder()->Clear();
  EXPECT_EQ(
      CallSlot<int>(driver, kNotAvailable31, std::uintptr_t{0}, std::uintptr_t{0}, std::uintptr_t{0}, u"VALUE.DAT"), 0);
  EXPECT_EQ(std::u16string(Holder()->pszGetFileName()), u"VALUE.DAT");
  EXPECT_TRUE(doubles::HasIdentification(Holder(), 5, 7));
  Soil();
  EXPECT_EQ(CallSlot<int>(driver, kNotAvailable38, std::uintptr_t{0}, Host(), std::uintptr_t{0}), 0);
  EXPECT_FALSE(Soiled());
  EXPECT_TRUE(doubles::HasIdentification(Holder(), 5, 9));
  Soil();
  EXPECT_EQ(CallSlot<int>(driver, kListCatalogOf, nullptr, Host(), 0u), 0);  // the generic listing
  EXPECT_FALSE(Soiled());
  EXPECT_TRUE(doubles::HasIdentification(Holder(), 5, 8));
  Soil();
  EXPECT_EQ(CallSlot<int>(driver, kReferentialLinks, nullptr, std::uintptr_t{0}, std::uintptr_t{0}, Host(), 0u), 0);
  EXPECT_TRUE(Soiled());                         // this one never clears the holder
  EXPECT_EQ(driver->nGetConnectionCount(), 0u);  // the connections these made went with their request
}

// Runs the call on a thread of its own while another thread holds the lock: it must neither finish nor change what
// the probe reads before the lock is given back.
template <typename Probe, typename Call>
void ExpectWaitsForTheLock(Probe probe, Call call) {
  LockHeldElsewhere lock;
  const auto before = probe();
  auto done = std::async(std::launch::async, call);
  EXPECT_EQ(done.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  EXPECT_EQ(probe(), before);
  lock.Release();
  done.get();
}

template <typename Call>
void ExpectWaitsForTheLock(CErrorHolder* holder, Call call) {
  ExpectWaitsForTheLock([holder] { return holder->nGetRecordedCode(); }, call);
}

TEST_F(DriverTest, SlotsThatChangeTheSharedHolderWaitForTheLock) {
  qzrt::RegistryKey key(4);
  Soil();
  ExpectWaitsForTheLock(Holder(), [&] { EXPECT_EQ(CallSlot<std::int32_t>(driver, kClearError), 0); });
  EXPECT_FALSE(Soiled());
  Soil();
  ExpectWaitsForTheLock(Holder(), [&] { EXPECT_EQ(CallSlot<int>(driver, kCloseRegistry, &key), 0); });
  EXPECT_FALSE(Soiled());  // cleared all the same, inside the lock
  Holder()->Clear();
  ExpectWaitsForTheLock(Holder(), [&] { EXPECT_EQ(CallSlot<int>(driver, kNotAvailable25), 0); });
  EXPECT_TRUE(doubles::HasIdentification(Holder(), 5, 6));
  Holder()->Clear();
  ExpectWaitsForTheLock(Holder(), [&] {
    EXPECT_EQ(CallSlot<int>(driver, kNotAvailable31, std::uintptr_t{0}, std::uintptr_t{0}, std::uintptr_t{0}, u"F.DAT"),
              0);
  });
  EXPECT_TRUE(doubles::HasIdentification(Holder(), 5, 7));
}

// The last release destroys the driver under the lock, so an interface operation running elsewhere finishes first.
TEST_F(DriverTest, TheLastReleaseDestroysUnderTheLock) {
  auto* other = new TestDriver();
  other->AddRef();
  gpDriver = other;  // its destruction empties gpDriver: the probe sees when it happens
  ExpectWaitsForTheLock([] { return gpDriver; }, [&] { EXPECT_EQ(CallSlot<std::int32_t>(other, kRelease), 0); });
  EXPECT_EQ(gpDriver, nullptr);
  gpDriver = driver;
}

TEST(DriverObjectTest, TheOracleDriverIsPublishedUnderTheLockAndAnswersItsListsThroughItsSlots) {
  doubles::EnsureLibrary();
  void* driver = nullptr;
  ExpectWaitsForTheLock([] { return gpDriver; }, [&] { driver = piQueryInterface(); });  // set under the lock
  ASSERT_EQ(gpDriver, driver);
  CErrorHolder* holder = CallSlot<CErrorHolder*>(driver, kHolder);
  // Neither list touches what the driver shares: they answer without the lock, into the caller's value.
  CHostValue value;
  EXPECT_EQ(CallSlot<int>(driver, kNativeTypes, &value), 1);
  EXPECT_EQ(value.nGetType(), HOST_TYPE_TEXT);
  EXPECT_EQ(CallSlot<int>(driver, kListDatabases, &value), 1);
  EXPECT_FALSE(holder->bHasError());
  EXPECT_EQ(CallSlot<std::int32_t>(driver, kRelease), 0);
}

TEST_F(DriverTest, SlotsThatChangeTheConnectionRegistryHoldTheLock) {
  int checks = 0;
  driver->onConnection = [&checks](TestConnection* connection) {
    EXPECT_FALSE(LockFreeForAnotherThread());  // a connection is made and filed under the lock
    ++checks;
    connection->onOpen = [&checks] {
      EXPECT_FALSE(LockFreeForAnotherThread());
      ++checks;
    };
  };
  CallSlot<int>(driver, kListCatalogOf, nullptr, Host(), 0u);                                           // 14
  CallSlot<int>(driver, kReferentialLinks, nullptr, std::uintptr_t{0}, std::uintptr_t{0}, Host(), 0u);  // 27
  CallSlot<int>(driver, kNotAvailable38, std::uintptr_t{0}, Host(), std::uintptr_t{0});                 // 38
  EXPECT_EQ(checks, 3);
  ASSERT_EQ(CallSlot<int>(driver, kOpen, Host()), 1);
  CallSlot<int>(driver, kLockTable, Host(), reinterpret_cast<std::uintptr_t>(u"EMP"));  // 21
  CallSlot<int>(driver, kLockRows, Host(), std::uintptr_t{0});                          // 22
  EXPECT_EQ(checks, 7);
  CallSlot<int>(driver, kClose, Host());
}

TEST_F(DriverTest, DescriptionsAndDescribing) {
  driver->existingTables = {u"EMP"};
  auto* found = CallSlot<CRecordDescription*>(driver, kGetDescription, u"EMP", Host());
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->nGetExternalCount(), 1u);  // the runtime's reference in place of the factory's
  EXPECT_EQ(found->nGetRefCount(), 0u);
  EXPECT_EQ(std::u16string(found->pszGetName()), u"EMP");
  EXPECT_EQ(CallSlot<CRecordDescription*>(driver, kGetDescription, u"NONE", Host()), nullptr);
  found->nReleaseExternal();

  std::uint32_t flag = 9;
  EXPECT_EQ(CallSlot<int>(driver, kDescribe, &flag, u"EMP", Host()), 1);
  EXPECT_EQ(flag, 1u);
  EXPECT_EQ(CallSlot<int>(driver, kDescribe, &flag, u"NONE", Host()), 1);  // absent: error 30, answer 1
  EXPECT_EQ(flag, 0u);
  driver->missingCode = 5;  // any other failure answers 0
  EXPECT_EQ(CallSlot<int>(driver, kDescribe, &flag, u"NONE", Host()), 0);
  EXPECT_EQ(flag, 0u);

  driver->onConnection = [](TestConnection* c) { c->openAnswer = 0; };
  EXPECT_EQ(CallSlot<int>(driver, kDescribe, &flag, u"EMP", Host()), 0);  // no connection, no description
  EXPECT_EQ(CallSlot<CRecordDescription*>(driver, kGetDescription, u"EMP", Host()), nullptr);
}

TEST_F(DriverTest, TableRegistriesByKey) {
  qzrt::RegistryKey key(77);
  qzrt::RegistryKey target(78);
  EXPECT_EQ(CallSlot<int>(driver, kCloseRegistry, &key), 0);  // none yet
  EXPECT_EQ(CallSlot<int>(driver, kRegistryName, &key, u"ctx"), 1);
  CTableRegistry* registry = driver->pFindTableRegistryById(77);
  ASSERT_NE(registry, nullptr);
  EXPECT_EQ(std::u16string(registry->pszGetName()), u"ctx");
  EXPECT_EQ(registry->nGetKey(), 77u);

  qzrt::FileHandle handle(77, 5);
  std::uint32_t created = 0;
  auto* table = static_cast<doubles::TestTable*>(
      registry->pFindOrCreate(reinterpret_cast<IHostFileHandle*>(&handle), nullptr, nullptr, &created));
  table->Open();
  qzrt::KeyTranslator translator;
  translator.SetTranslation(5, 6);
  EXPECT_EQ(CallSlot<int>(driver, kCopyRegistry, &translator, &key, &target, 0u), 1);
  CTableRegistry* copy = driver->pFindTableRegistryById(78);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->nGetTableCount(), 1u);
  copy->nRelease();
  qzrt::RegistryKey unknown(79);
  qzrt::RegistryKey fresh(80);
  EXPECT_EQ(CallSlot<int>(driver, kCopyRegistry, &translator, &unknown, &fresh, 0u), 1);
  CTableRegistry* empty = driver->pFindTableRegistryById(80);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->nGetTableCount(), 0u);
  empty->nRelease();

  EXPECT_EQ(CallSlot<int>(driver, kCloseRegistry, &key), 1);
  EXPECT_EQ(table->closes, 1);
  EXPECT_EQ(driver->pFindTableRegistryById(77), nullptr);
  EXPECT_EQ(driver->nGetTableRegistryCount(), 2u);
  registry->nRelease();
  table->nRelease();
}

TEST_F(DriverTest, AccessInterfacesAreRegisteredByTableAndConnection) {
  qzrt::TableDescription table(u"EMP");
  auto* first = CallSlot<CAccessInterface*>(driver, kGetInterface, Host(), &table);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->nGetExternalCount(), 1u);
  EXPECT_EQ(first->nGetRefCount(), 1u);  // the registry's
  EXPECT_NE(std::u16string(first->sGetKey().pszGet()).find(u"Table=EMP;Connection=cnx;"), std::u16string::npos);
  auto* again = CallSlot<CAccessInterface*>(driver, kGetInterface, Host(), &table);
  EXPECT_EQ(again, first);
  EXPECT_EQ(driver->nGetAccessInterfaceCount(), 1u);
  // Names the server holds apart are two tables, whatever the runtime's folding makes of them.
  qzrt::TableDescription accented(u"\u00C9MP");
  qzrt::TableDescription quotedUpper(u"\"EMP\"");
  qzrt::TableDescription quotedLower(u"\"emp\"");
  auto* second = CallSlot<CAccessInterface*>(driver, kGetInterface, Host(), &accented);
  auto* third = CallSlot<CAccessInterface*>(driver, kGetInterface, Host(), &quotedUpper);
  auto* fourth = CallSlot<CAccessInterface*>(driver, kGetInterface, Host(), &quotedLower);
  EXPECT_NE(second, first);
  EXPECT_NE(fourth, third);
  for (CAccessInterface* other : {second, third, fourth}) CallSlot<std::int32_t>(other, 6);
  qzrt::FileHandle context(1, 9);
  EXPECT_EQ(CallSlot<int>(driver, kSetStateByName, &context, 3u), 1);  // no table of that name: 1

  // Creating a table always answers 1; the failed creation stays in the interface's holder.
  driver->lastConnection->openAnswer = 0;
  qzrt::FileHandle handle(1, 1);
  EXPECT_EQ(CallSlot<int>(driver, kCreateTable, reinterpret_cast<std::uintptr_t>(&handle), Host(), u"EMP", &table), 1);
  EXPECT_EQ(first->pGetErrorHolder()->nGetErrorCode(), 8u);

  // The runtime's last external reference takes the interface out of the registry.
  EXPECT_EQ(CallSlot<std::int32_t>(first, 6), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(first, 6), 0);
  EXPECT_EQ(driver->nGetAccessInterfaceCount(), 0u);
}

TEST_F(DriverTest, QuerySourcesAndQueriesThroughAccessInterfaces) {
  qzrt::RuntimeObject object(u"QRY");
  EXPECT_EQ(CallSlot<int>(driver, kSetObject, std::uintptr_t{0}, Host(), &object), 1);
  EXPECT_EQ(driver->nGetAccessInterfaceCount(), 1u);
  EXPECT_EQ(object.References(), 2);
  CTString key;
  IHostConnectionDescription* host = reinterpret_cast<IHostConnectionDescription*>(Host());
  CConnection* connection = driver->pFindConnection(host);
  driver->FormatTableKey(key, u"QRY", connection);
  driver->nReleaseConnection(connection);
  CAccessInterface* found = driver->piFindAccessInterfaceByName(key.pszGet());
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(found->pGetQuerySource()), reinterpret_cast<void*>(&object));
  found->nRelease();

  // A query whose table cannot run it fails with the table's error; a pending query source keeps the interface.
  object.SetNumber(qzrt::RuntimeObject::kPending, 1);
  qzrt::FileHandle handle(3, 3);
  CAccessInterface* out = reinterpret_cast<CAccessInterface*>(1);
  EXPECT_EQ(CallSlot<int>(driver, kQuery, &out, &handle, u"QRY", Host(), std::uintptr_t{0}, 0u, std::uintptr_t{0}), 0);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(Holder()->nGetErrorCode(), 2u) << "the generic statement object ran nothing";
  EXPECT_EQ(driver->nGetAccessInterfaceCount(), 1u);
  object.SetNumber(qzrt::RuntimeObject::kPending, 0);
  EXPECT_EQ(CallSlot<int>(driver, kQueryDefault, &out, &handle, u"QRY", Host(), std::uintptr_t{0}, 0u), 0);
  EXPECT_EQ(driver->nGetAccessInterfaceCount(), 0u);  // closed and dropped
  EXPECT_EQ(object.References(), 1);

  // Closing through an interface that was never registered: nothing to close, 1.
  EXPECT_EQ(CallSlot<int>(driver, kCloseThrough, reinterpret_cast<std::uintptr_t>(&handle), u"OTHER", Host()), 1);
  EXPECT_EQ(driver->nGetAccessInterfaceCount(), 0u);
}

TEST_F(DriverTest, Factories) {
  auto* description = CallSlot<CRecordDescription*>(driver, kCreateDescription, nullptr, Holder());
  ASSERT_NE(description, nullptr);
  description->AddRef();
  description->nRelease();
  auto* registry = CallSlot<CTableRegistry*>(driver, kCreateRegistry);
  ASSERT_NE(registry, nullptr);
  EXPECT_EQ(registry->pGetDriver(), driver);
  EXPECT_EQ(registry->nGetState(), 1u);
  registry->AddRef();
  registry->nRelease();
  auto* table = CallSlot<CTable*>(driver, kCreateTable50, nullptr, nullptr, Holder());
  ASSERT_NE(table, nullptr);
  table->AddRef();
  auto* holder = CallSlot<CErrorHolder*>(driver, kCreateHolder);
  ASSERT_NE(holder, nullptr);
  holder->AddRef();
  holder->nRelease();
  // Field values: the generic class, owned by the given holder (else the driver's).
  auto* value = CallSlot<CFieldValue*>(driver, 44, nullptr, static_cast<CConnection*>(nullptr));
  ASSERT_NE(value, nullptr);
  value->AddRef();
  EXPECT_EQ(value->pGetOwner(), Holder());
  EXPECT_TRUE(value->bIsUnset());
  value->nRelease();
  // Slot 51 makes the generic statement object on the table and holder it is given: count 0, the holder referenced.
  auto* cursor = CallSlot<CCursor*>(driver, 51, reinterpret_cast<std::uintptr_t>(table),
                                    reinterpret_cast<std::uintptr_t>(Holder()));
  ASSERT_NE(cursor, nullptr);
  EXPECT_EQ(cursor->nGetRefCount(), 0u);
  EXPECT_EQ(cursor->pGetTable(), table);
  EXPECT_EQ(cursor->pGetErrorHolder(), Holder());
  cursor->AddRef();
  cursor->nRelease();
  table->nRelease();
  // Slot 55 makes the generic automatic identifier: count 0.
  auto* identifier = CallSlot<CAutomaticIdentifier*>(driver, 55);
  ASSERT_NE(identifier, nullptr);
  EXPECT_EQ(identifier->nGetRefCount(), 0u);
  identifier->AddRef();
  identifier->nRelease();
  // Slot 57 makes a value leaf: count 0, its field value referenced, its name copied.
  auto* leafValue = CallSlot<CFieldValue*>(driver, 44, nullptr, static_cast<CConnection*>(nullptr));
  leafValue->AddRef();
  auto* leaf = CallSlot<CValueLeaf*>(driver, 57, leafValue, std::uint64_t{7}, std::uint32_t{LEAF_FLAG_NAMED}, u"p");
  ASSERT_NE(leaf, nullptr);
  EXPECT_EQ(leaf->nGetRefCount(), 0u);
  EXPECT_EQ(leaf->pGetFieldValue(), leafValue);
  EXPECT_EQ(leafValue->nGetRefCount(), 2u);
  EXPECT_EQ(leaf->nGetPosition(), 7u);
  EXPECT_EQ(std::u16string(leaf->pszGetName()), u"p");
  leaf->AddRef();
  // Slots 46 and 47 make the bindings of a select column and of a parameter: count 0, the entry referenced, its
  // field value and name reached through the binding; only a parameter flagged so is a cursor parameter.
  auto* element = new CSqlElement(u"C", leafValue);
  element->AddRef();
  auto* column = CallSlot<CParameterBinding*>(driver, 46, reinterpret_cast<std::uintptr_t>(element), std::uintptr_t{3});
  auto* parameter = CallSlot<CParameterBinding*>(driver, 47, reinterpret_cast<std::uintptr_t>(leaf), std::uintptr_t{2});
  ASSERT_NE(column, nullptr);
  ASSERT_NE(parameter, nullptr);
  column->AddRef();
  parameter->AddRef();
  EXPECT_EQ(element->nGetRefCount(), 2u);
  EXPECT_EQ(leaf->nGetRefCount(), 2u);
  EXPECT_EQ(column->nGetPosition(), 3u);
  EXPECT_EQ(parameter->nGetPosition(), 2u);
  EXPECT_EQ(column->pGetFieldValue(), leafValue);
  EXPECT_EQ(parameter->pGetFieldValue(), leafValue);
  EXPECT_EQ(std::u16string(parameter->pszGetColumnName()), u"p");
  EXPECT_TRUE(parameter->bIsParameter());
  EXPECT_FALSE(column->bIsParameter());
  EXPECT_FALSE(parameter->bIsCursorParameter());
  leaf->SetFlags(LEAF_FLAG_CURSOR_PARAMETER);
  EXPECT_TRUE(parameter->bIsCursorParameter());
  EXPECT_FALSE(column->bIsCursorParameter());
  EXPECT_TRUE(parameter->bPrepare(nullptr));
  column->nRelease();
  parameter->nRelease();
  EXPECT_EQ(element->nRelease(), 0u);
  leaf->nRelease();
  EXPECT_EQ(leafValue->nRelease(), 0u);
  // Slot 53 makes a rewriter sharing the holder it is given: count 0, the holder referenced.
  auto* rewriter = CallSlot<CSqlRewriter*>(driver, 53, Holder(), static_cast<CConnection*>(nullptr));
  ASSERT_NE(rewriter, nullptr);
  EXPECT_EQ(rewriter->nGetRefCount(), 0u);
  EXPECT_EQ(rewriter->pGetErrorHolder(), Holder());
  EXPECT_TRUE(rewriter->bIsEmpty());
  rewriter->AddRef();
  rewriter->nRelease();
  // Slot 59 makes the generic column descriptor, a fresh one per call, which goes with its first release.
  auto* descriptor = CallSlot<IHostItemDescription*>(driver, 59, nullptr, std::uint32_t{0});
  ASSERT_NE(descriptor, nullptr);
  EXPECT_EQ(descriptor->nGetInterfaceLevel(), 9u);
  descriptor->AddRef();
  EXPECT_EQ(descriptor->nRelease(), 0u);
  EXPECT_EQ(CallSlot<void*>(driver, 45, nullptr, std::uintptr_t{0}), nullptr);
  EXPECT_EQ(CallSlot<void*>(driver, 52, std::uintptr_t{0}, std::uintptr_t{0}), nullptr);
}

TEST_F(DriverTest, FactoryAndCatalogSlotsThroughTheRawIndex) {
  CHostValue list;
  list.SetType(HOST_TYPE_TEXT);
  list.Ops().SetFromWideZ(list.pHolder(), u"old");
  list.SetNull(true);
  EXPECT_EQ(CallSlot<int>(driver, kListDatabases, &list), 1);  // the generic driver knows no database
  const char16_t* text = nullptr;
  ASSERT_EQ(list.nGet(&text), 0);
  EXPECT_EQ(std::u16string(text), u"");
  EXPECT_EQ(list.nGetType(), HOST_TYPE_TEXT);
  EXPECT_FALSE(list.bIsNull());

  auto* connection = CallSlot<CConnection*>(driver, kCreateConnection, u"Connection=raw", Host());
  ASSERT_NE(connection, nullptr);
  connection->AddRef();
  EXPECT_EQ(std::u16string(connection->pszGetName()), u"Connection=raw");
  driver->existingTables = {u"EMP"};
  auto* description = CallSlot<CRecordDescription*>(driver, kDescriptionFor, u"EMP", connection);
  ASSERT_NE(description, nullptr);
  EXPECT_EQ(description->nGetRefCount(), 1u);
  description->nRelease();
  EXPECT_EQ(CallSlot<CRecordDescription*>(driver, kDescriptionFor, u"NONE", connection), nullptr);
  std::uint32_t found = 9;
  EXPECT_EQ(CallSlot<int>(driver, kDescribeTable, &found, u"EMP", connection), 1);
  EXPECT_EQ(found, 1u);
  EXPECT_EQ(CallSlot<int>(driver, kListCatalog, nullptr, connection, 0u), 0);

  auto* accessInterface = CallSlot<CAccessInterface*>(driver, 62, u"Table=X;raw", nullptr, connection, Holder());
  ASSERT_NE(accessInterface, nullptr);
  EXPECT_EQ(std::u16string(accessInterface->sGetKey().pszGet()), u"Table=X;raw");
  EXPECT_EQ(accessInterface->pGetConnection(), connection);
  accessInterface->AddRef();
  accessInterface->nRelease();
  connection->nRelease();

  // Notifying interfaces reaches every registered one; with none it does nothing.
  qzrt::TableDescription table(u"EMP");
  auto* registered = CallSlot<CAccessInterface*>(driver, kGetInterface, Host(), &table);
  CallSlot<void>(driver, kNotify, Host(), std::uint64_t{5});
  EXPECT_EQ(registered->nGetRefCount(), 1u);  // the walk's references were given back
  CallSlot<std::int32_t>(registered, 6);
}

TEST_F(DriverTest, DumpLabelsAreFilledOnce) {
  driver->FillDumpLabels();
  EXPECT_EQ(std::u16string(driver->pszGetLabel(13)), u"DataSource :  ");
  EXPECT_EQ(std::u16string(driver->pszGetLabel(28)), u"Native Library :  ");
  EXPECT_EQ(std::u16string(driver->pszGetLabel(8)), u"");
  driver->FillDumpLabels();
  EXPECT_EQ(std::u16string(driver->pszGetLabel(1)), u"Texte de la requête : ");
}

TEST_F(DriverTest, AnExceptionPassesThroughUnchangedAndLeavesTheLockFree) {
  driver->onConnection = [](TestConnection* connection) { connection->throwOnOpen = true; };
  EXPECT_THROW(CallSlot<int>(driver, kOpen, Host()), doubles::Fault);
  EXPECT_TRUE(LockFreeForAnotherThread());
  description.ThrowAt(D::kName);
  EXPECT_THROW(CallSlot<int>(driver, kLockTable, Host(), std::uintptr_t{0}), qzrt::SlotFault);
  EXPECT_TRUE(LockFreeForAnotherThread());
  description.ThrowAt(qzrt::SlotObject::npos);
  CallSlot<int>(driver, kClose, Host());
}

TEST_F(DriverTest, TwoThreadsWaitWhileAThirdHoldsTheLock) {
  qzrt::ConnectionDescription other;
  other.SetText(D::kName, u"second");
  LockHeldElsewhere lock;
  std::atomic<int> done{0};
  auto run = [&](void* host) {
    for (int i = 0; i < 50; ++i) {
      EXPECT_EQ(CallSlot<int>(driver, kOpen, host), 1);
      EXPECT_EQ(CallSlot<int>(driver, kBegin, host, u"T"), 1);
      EXPECT_EQ(CallSlot<int>(driver, kCommit, host, u"T"), 1);
      EXPECT_EQ(CallSlot<int>(driver, kClose, host), 1);
    }
    ++done;
  };
  std::thread first(run, Host());
  std::thread second(run, static_cast<void*>(&other));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(done.load(), 0);
  EXPECT_EQ(driver->nGetConnectionCount(), 0u);  // nothing got past the lock
  lock.Release();
  first.join();
  second.join();
  EXPECT_EQ(done.load(), 2);
  EXPECT_EQ(driver->nGetConnectionCount(), 0u);
  EXPECT_EQ(other.References(), 1);
}

TEST(DriverObjectTest, EachQueryMakesANewOracleDriverWhoseOracleWorkFailsCleanly) {
  doubles::EnsureLibrary();
  void* first = piQueryInterface();
  void* second = piQueryInterface();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(gpDriver, second);
  auto* holder = CallSlot<CErrorHolder*>(second, kHolder);
  ASSERT_NE(holder, nullptr);
  EXPECT_EQ(CallSlot<std::int32_t>(second, kVersion), 18);

  // A connection to no server: opening fails with an error and leaves no connection behind.
  qzrt::ConnectionDescription description;
  description.SetText(D::kName, u"cnx");
  EXPECT_EQ(CallSlot<int>(second, kOpen, &description), 0);
  EXPECT_TRUE(holder->bHasError());
  EXPECT_EQ(holder->nGetLevel(), static_cast<std::uint32_t>(ERROR_LEVEL_NONFATAL));
  EXPECT_EQ(static_cast<CDriver*>(second)->nGetConnectionCount(), 0u);
  holder->Clear();
  std::uint32_t found = 9;
  EXPECT_EQ(CallSlot<int>(second, kDescribe, &found, u"EMP", &description), 0);
  EXPECT_EQ(found, 9u);  // the connection did not open, so nothing was described
  EXPECT_EQ(description.References(), 1);

  EXPECT_EQ(CallSlot<std::int32_t>(first, kRelease), 0);
  EXPECT_EQ(gpDriver, second);  // only the current driver object's destruction forgets it
  EXPECT_EQ(CallSlot<std::int32_t>(second, kRelease), 0);
  EXPECT_EQ(gpDriver, nullptr);
}

}  // namespace
