// The registry of a context's tables: find or create by file handle, broadcast of a state by name, closing every
// table, deep copies through a key translator, and the access interfaces' lookup cache.
#include "sql/table_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "driver/table_lookup_cache.h"
#include "foundation/error_holder.h"
#include "host/library_entry.h"
#include "standin/runtime/runtime_objects.h"
#include "tests/doubles/driver_doubles.h"
#include "tests/support/lock_held_elsewhere.h"

namespace {

IHostFileHandle* AsHandle(qzrt::FileHandle& handle) { return reinterpret_cast<IHostFileHandle*>(&handle); }

class TableRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doubles::EnsureLibrary();
    driver = new doubles::TestDriver();
    driver->AddRef();
    registry = driver->pCreateTableRegistry();
    registry->AddRef();
    connection = new doubles::TestConnection(u"cnx", nullptr);
    connection->AddRef();
  }
  void TearDown() override {
    registry->nRelease();
    connection->nRelease();
    driver->nRelease();
    EXPECT_EQ(doubles::gnLiveTables.load(), 0);
  }
  CRecordDescription* Description(const char16_t* name) {
    auto* description = new doubles::TestDescription(connection, nullptr);
    description->SetName(name);
    descriptions.push_back(description);
    description->AddRef();
    return description;
  }
  ~TableRegistryTest() override {
    for (auto* description : descriptions) description->nRelease();
  }

  doubles::TestDriver* driver = nullptr;
  CTableRegistry* registry = nullptr;
  doubles::TestConnection* connection = nullptr;
  std::vector<CRecordDescription*> descriptions;
};

TEST_F(TableRegistryTest, FindOrCreateMakesOneTablePerFile) {
  qzrt::FileHandle handle(1, 10);
  qzrt::FileHandle same(2, 10);  // only the file identifier counts inside a registry
  std::uint32_t created = 9;
  CTable* first = registry->pFindOrCreate(AsHandle(handle), connection, Description(u"EMP"), &created);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(created, 1u);
  CTable* second = registry->pFindOrCreate(AsHandle(same), connection, Description(u"EMP"), &created);
  EXPECT_EQ(second, first);
  EXPECT_EQ(created, 0u);
  EXPECT_EQ(first->nGetRefCount(), 3u);  // the registry's and one per caller
  EXPECT_EQ(first->pGetErrorHolder(), registry->pGetErrorHolder());  // the tables share the registry's holder
  EXPECT_EQ(first->pGetIdentifierSource(), registry);
  CTable* found = registry->pFind(AsHandle(handle));
  EXPECT_EQ(found, first);
  qzrt::FileHandle other(1, 11);
  EXPECT_EQ(registry->pFind(AsHandle(other)), nullptr);
  found->nRelease();
  second->nRelease();
  // Removing with another table named leaves the handle's entry alone: only the very table given goes.
  CTable* stranger = registry->pFindOrCreate(AsHandle(other), connection, Description(u"EMP"), &created);
  ASSERT_NE(stranger, nullptr);
  registry->Remove(AsHandle(handle), stranger);
  EXPECT_EQ(registry->pFindById(10), first);
  first->nRelease();
  registry->Remove(AsHandle(other), stranger);
  stranger->nRelease();
  EXPECT_EQ(registry->nGetTableCount(), 1u);
  first->nRelease();
  registry->Remove(AsHandle(handle), first);
  EXPECT_EQ(registry->nGetTableCount(), 0u);
  // Without a current driver object the table gave its connection reference back plainly.
  EXPECT_EQ(gpDriver, nullptr);
  EXPECT_EQ(connection->nGetRefCount(), 1u + descriptions.size());  // the test's and its descriptions'
}

TEST_F(TableRegistryTest, AFailingFactoryLeavesTheRegistryUnchanged) {
  driver->failTables = true;
  qzrt::FileHandle handle(1, 10);
  std::uint32_t created = 9;
  EXPECT_EQ(registry->pFindOrCreate(AsHandle(handle), connection, nullptr, &created), nullptr);
  EXPECT_EQ(created, 0u);
  EXPECT_EQ(registry->nGetTableCount(), 0u);
  CXError* error = registry->pGetErrorHolder()->pGetEmbeddedObject();
  EXPECT_EQ(error->nGetLevel(), static_cast<std::uint32_t>(ERROR_LEVEL_FATAL));  // out of memory
  EXPECT_EQ(error->nGetSystemCode(), 14u);
}

TEST_F(TableRegistryTest, StateBroadcastByNameIgnoresCase) {
  qzrt::FileHandle a(1, 1), b(1, 2), c(1, 3);
  std::uint32_t created = 0;
  CTable* emp = registry->pFindOrCreate(AsHandle(a), connection, Description(u"EMP"), &created);
  CTable* emp2 = registry->pFindOrCreate(AsHandle(b), connection, Description(u"emp"), &created);
  CTable* dept = registry->pFindOrCreate(AsHandle(c), connection, Description(u"DEPT"), &created);
  EXPECT_EQ(registry->nSetStateByName(u"Emp", 5), 1u);
  EXPECT_EQ(emp->nGetState(), 5u);
  EXPECT_EQ(emp2->nGetState(), 5u);
  EXPECT_EQ(dept->nGetState(), 1u);
  EXPECT_EQ(registry->nSetStateByName(u"NONE", 7), 1u);
  EXPECT_EQ(registry->nGetState(), 7u);  // the registry keeps the last state even when no table matched
  for (CTable* table : {emp, emp2, dept}) table->nRelease();
}

TEST_F(TableRegistryTest, CloseAllTablesClosesTheOpenOnesOnceAndEmptiesTheCache) {
  qzrt::FileHandle a(1, 1), b(1, 2);
  std::uint32_t created = 0;
  auto* open = static_cast<doubles::TestTable*>(registry->pFindOrCreate(AsHandle(a), connection, nullptr, &created));
  auto* closed = static_cast<doubles::TestTable*>(registry->pFindOrCreate(AsHandle(b), connection, nullptr, &created));
  open->Open();
  gpCachedTable = open;  // as the access interface's last lookup left it
  registry->CloseAllTables();
  EXPECT_EQ(registry->nGetTableCount(), 0u);
  EXPECT_EQ(open->closes, 1);
  EXPECT_EQ(closed->closes, 0);
  EXPECT_FALSE(open->bIsOpen());
  EXPECT_EQ(gpCachedTable, nullptr);  // a later lookup must never reach the closed table
  EXPECT_EQ(open->nGetRefCount(), 1u);  // only the caller's reference is left
  open->nRelease();
  closed->nRelease();
}

TEST_F(TableRegistryTest, RemovingAndDestroyingForgetTheCachedTable) {
  qzrt::FileHandle a(1, 1);
  std::uint32_t created = 0;
  CTable* table = registry->pFindOrCreate(AsHandle(a), connection, nullptr, &created);
  gpCachedTable = table;
  registry->Remove(AsHandle(a));
  EXPECT_EQ(gpCachedTable, nullptr);
  gpCachedTable = table;
  table->nRelease();  // the last reference: the table's destruction forgets it too
  EXPECT_EQ(gpCachedTable, nullptr);
}

TEST_F(TableRegistryTest, OperationsWaitForTheDriverLock) {
  LockHeldElsewhere lock;
  std::atomic<int> steps{0};
  std::thread worker([&] {
    qzrt::FileHandle handle(1, 1);
    std::uint32_t created = 0;
    CTable* table = registry->pFindOrCreate(AsHandle(handle), connection, nullptr, &created);
    ++steps;
    registry->nSetStateByName(u"", 3);
    ++steps;
    registry->CloseAllTables();
    ++steps;
    if (table) table->nRelease();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(steps.load(), 0);  // nothing got past the lock held by another thread
  EXPECT_EQ(registry->nGetTableCount(), 0u);
  lock.Release();
  worker.join();
  EXPECT_EQ(steps.load(), 3);
  EXPECT_EQ(registry->nGetState(), 3u);
  EXPECT_EQ(registry->nGetTableCount(), 0u);
}

TEST_F(TableRegistryTest, CloneCopiesTranslatedEntriesAndSharesTheHolder) {
  qzrt::FileHandle a(1, 1), b(1, 2);
  std::uint32_t created = 0;
  CTable* first = registry->pFindOrCreate(AsHandle(a), connection, nullptr, &created);
  CTable* second = registry->pFindOrCreate(AsHandle(b), connection, nullptr, &created);
  registry->nSetStateByName(u"x", 4);
  qzrt::KeyTranslator translator;
  translator.SetTranslation(1, 101);  // file 2 has no counterpart and is skipped
  CHashTable cloneMap(215);
  CTableRegistry* copy = registry->pClone(cloneMap, reinterpret_cast<IHostKeyTranslator*>(&translator), 0, 0);
  ASSERT_NE(copy, nullptr);
  copy->AddRef();
  EXPECT_EQ(copy->pGetErrorHolder(), registry->pGetErrorHolder());
  EXPECT_EQ(copy->nGetState(), 4u);
  EXPECT_EQ(copy->nGetTableCount(), 1u);
  CTable* copied = copy->pFindById(101);
  ASSERT_NE(copied, nullptr);
  EXPECT_NE(copied, first);
  EXPECT_EQ(copied->pGetIdentifierSource(), copy);
  copied->nRelease();
  copy->nRelease();
  first->nRelease();
  second->nRelease();
}

}  // namespace
