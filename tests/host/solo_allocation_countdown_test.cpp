// Memory that cannot be obtained by the runtime surface and the driver object, in any build: value files load and
// save, the driver opens and closes a connection and makes, copies and closes table registries, with their Nth
// allocation (the driver's or the runtime's string allocator) failing for every N. Each run ends in success or in a reported failure that changed nothing,
// with nothing leaked.
#include <gtest/gtest.h>

#include <string>

#include "foundation/error_holder.h"
#include "driver/driver.h"
#include "host/host_services.h"
#include "host/value_file.h"
#include "host/value_item.h"
#include "sql/table_registry.h"
#include "standin/runtime/runtime_objects.h"
#include "tests/doubles/driver_doubles.h"
#include "tests/slot_call.h"
#include "tests/support/bound_runtime_services.h"
#include "tests/support/countdown_allocator.h"
#include "tests/support/file_fixture.h"

namespace {

using countdown::CPause;
using countdown::EBadAlloc;
using countdown::nRunUntilDone;

// The POSIX file layer works in standard strings: memory it lacks leaves as std::bad_alloc, which the value-file
// calls let pass as the driver lets every exception pass.
constexpr EBadAlloc kFileLayerThrows = EBadAlloc::kCleanFailure;

class ValueFileMemoryTest : public FileFixture {
 protected:
  // The message table is read once per process, at the first error: that first error is made here, not in a run.
  void SetUp() override {
    FileFixture::SetUp();
    CModuleError error;
    error.SetOutOfMemory();
  }
};

// The runtime's string allocator counted down with the rest, for one test (bound after CBoundRuntimeServices).
class CCountedRuntimeServices {
 public:
  CCountedRuntimeServices() : m_saved(gpHostStringAllocator) { gpHostStringAllocator = countdown::StringAllocator(); }
  ~CCountedRuntimeServices() { gpHostStringAllocator = m_saved; }
  CCountedRuntimeServices(const CCountedRuntimeServices&) = delete;
  CCountedRuntimeServices& operator=(const CCountedRuntimeServices&) = delete;

 private:
  IHostStringAllocator* m_saved;
};

TEST_F(ValueFileMemoryTest, AFileTooLargeForMemoryReportsOutOfMemory) {
  CBoundRuntimeServices services;
  CCountedRuntimeServices counted;
  // Three blocks and a piece: the runtime string is sized once, then filled block by block.
  const std::string content(3 * VALUE_FILE_BLOCK_SIZE + 100, 'v');
  Put("large", content);
  const std::u16string path = WidePath("large");
  for (const int binary : {1, 0}) {
    SCOPED_TRACE(binary);
    int outOfMemory = 0;
    int loaded = 0;
    const std::uint64_t runs = nRunUntilDone([&] {
      CErrorHolder holder;
      CValueItem item;
      const int ok = bLoadValueFromFile(&item, path.c_str(), &holder, binary);
      CPause pause;
      if (ok) {
        ++loaded;
        EXPECT_FALSE(holder.bHasError());
        EXPECT_EQ(item.Value().nGetType(), binary ? HOST_TYPE_BINARY_BUFFER : HOST_TYPE_TEXT_BUFFER);
        std::size_t size = 0;
        EXPECT_FALSE(bHostFailed(item.Value().nGetSizeWithTerminator(&size)));
        EXPECT_GE(size, content.size());
        return;
      }
      EXPECT_TRUE(holder.bHasError());
      EXPECT_EQ(item.Value().nGetType(), HOST_TYPE_EMPTY);  // nothing half-loaded
      CXError* error = holder.pGetEmbeddedObject();
      if (error->nGetMessageCount() > 0 && error->nGetMessageAt(0) == 25193u) {
        EXPECT_EQ(error->nGetSystemCode(), 14u);
        ++outOfMemory;
      }
    }, kFileLayerThrows);
    EXPECT_GE(runs, 3u);
    EXPECT_GE(outOfMemory, 1);  // the runtime string that could not be sized, reported as lack of memory
    EXPECT_GE(loaded, 2);       // the untouched run and the last one
  }
}

TEST_F(ValueFileMemoryTest, ASavedValueIsWholeOrReportedWithItsFileUntouched) {
  CBoundRuntimeServices services;
  CCountedRuntimeServices counted;
  Put("source", std::string(VALUE_FILE_BLOCK_SIZE + 10, 's'));
  Put("target", "before");
  const std::u16string source = WidePath("source");
  const std::u16string target = WidePath("target");
  CValueItem item;
  CErrorHolder loadHolder;
  ASSERT_TRUE(bLoadValueFromFile(&item, source.c_str(), &loadHolder, 1));
  const std::uint64_t runs = nRunUntilDone([&] {
    CErrorHolder holder;
    const int ok = bSaveValueToFile(&item, target.c_str(), &holder);
    CPause pause;
    const std::string now = Get("target");
    if (ok) {
      EXPECT_EQ(now, Get("source"));
    } else {
      EXPECT_TRUE(holder.bHasError());
      EXPECT_TRUE(now == "before" || now.empty()) << now.size();
    }
    Put("target", "before");
  }, kFileLayerThrows);
  EXPECT_GE(runs, 10u);
}

// A test driver whose factories make the doubles, bound as the current driver and released at the end.
class DriverMemoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doubles::EnsureLibrary();
    driver = new doubles::TestDriver();
    driver->AddRef();
    gpDriver = driver;
    // The first error of the process reads the message table, and the holder's error keeps its message list once
    // made: both are made here, not in a run.
    driver->pGetErrorHolder()->pGetEmbeddedObject()->SetOutOfMemory();
    driver->pGetErrorHolder()->Clear();
  }
  void TearDown() override {
    constexpr std::size_t kRelease = 6;
    CallSlot<std::int32_t>(driver, kRelease);
    EXPECT_EQ(gpDriver, nullptr);
  }

  CBoundRuntimeServices services;
  CCountedRuntimeServices counted;
  doubles::TestDriver* driver = nullptr;
};

// The driver object's open and close, as the runtime calls them: a failed open registers nothing and says why, a
// close gives every connection and every reference on the description back. The test doubles make their objects
// with the throwing operator new, so their lack of memory leaves as std::bad_alloc, which the driver lets pass.
TEST_F(DriverMemoryTest, OpenAndCloseLeaveNoConnectionBehind) {
  constexpr std::size_t kOpen = 8;
  constexpr std::size_t kClose = 9;
  using D = qzrt::ConnectionDescription;
  D description;
  description.SetText(D::kName, u"cnx");
  description.SetText(D::kUserId, u"scott");
  description.SetText(D::kDataSource, u"ORA:PROD");
  int opened = 0;
  const std::uint64_t runs = nRunUntilDone([&] {
    const int open = CallSlot<int>(driver, kOpen, &description);
    {
      CPause pause;
      opened += open;
      EXPECT_EQ(driver->nGetConnectionCount(), open ? 1u : 0u);
      EXPECT_TRUE(open || driver->pGetErrorHolder()->nGetLevel() != ERROR_LEVEL_NONE);  // what the runtime reads
    }
    const int closed = CallSlot<int>(driver, kClose, &description);
    CPause pause;
    if (!closed) {  // a close that failed says why and leaves the connection as it was, for a close that can end it
      EXPECT_NE(driver->pGetErrorHolder()->nGetLevel(), ERROR_LEVEL_NONE);
      EXPECT_EQ(driver->nGetConnectionCount(), open ? 1u : 0u);
      EXPECT_EQ(CallSlot<int>(driver, kClose, &description), 1);
    }
    EXPECT_EQ(driver->nGetConnectionCount(), 0u);
    EXPECT_EQ(doubles::gnLiveConnections.load(), 0);
    EXPECT_EQ(description.References(), 1);
    driver->pGetErrorHolder()->Clear();  // the last error is the driver's to keep, not a leak of the run
  }, EBadAlloc::kCleanFailure);
  EXPECT_GE(runs, 3u);
  EXPECT_GE(opened, 2);
}

// Table registries through the driver's slots: naming one makes it, copying makes its twin with the same tables,
// closing both leaves none of them and no table behind. A slot that answers done did all of it.
TEST_F(DriverMemoryTest, TableRegistriesAreMadeCopiedAndClosedWhole) {
  constexpr std::size_t kCopyRegistry = 10;
  constexpr std::size_t kCloseRegistry = 17;
  constexpr std::size_t kRegistryName = 32;
  qzrt::RegistryKey key(77);
  qzrt::RegistryKey target(78);
  qzrt::FileHandle handle(77, 5);
  qzrt::KeyTranslator translator;
  translator.SetTranslation(5, 6);
  int copies = 0;
  const std::uint64_t runs = nRunUntilDone([&] {
    const int named = CallSlot<int>(driver, kRegistryName, &key, u"ctx");
    CTableRegistry* registry = driver->pFindTableRegistryById(77);
    CTable* table = nullptr;
    {
      CPause pause;
      // Named, or not made, or made without the name that could not be copied: never named "" and answered done.
      const std::u16string name = registry ? registry->pszGetName() : u"";
      EXPECT_TRUE(named ? name == u"ctx" : name.empty()) << named;
      EXPECT_TRUE(registry || !named);
    }
    if (registry) {
      std::uint32_t created = 0;
      try {
        table = registry->pFindOrCreate(reinterpret_cast<IHostFileHandle*>(&handle), nullptr, nullptr, &created);
      } catch (const std::bad_alloc&) {  // the double's table, made with the throwing new: the registry goes on
      }
    }
    const int copied = CallSlot<int>(driver, kCopyRegistry, &translator, &key, &target, 0u);
    CTableRegistry* copy = driver->pFindTableRegistryById(78);
    {
      CPause pause;
      copies += copy ? 1 : 0;
      EXPECT_TRUE(copied || !copy);  // a copy that failed left nothing under the target key
      if (copied && registry) {
        EXPECT_NE(copy, nullptr);
        EXPECT_TRUE(!copy || copy->nGetTableCount() == registry->nGetTableCount());
      }
    }
    CallSlot<int>(driver, kCloseRegistry, &key);
    CallSlot<int>(driver, kCloseRegistry, &target);
    CPause pause;
    if (copy) copy->nRelease();
    if (registry) registry->nRelease();
    if (table) table->nRelease();
    EXPECT_EQ(driver->pFindTableRegistryById(77), nullptr);
    EXPECT_EQ(driver->pFindTableRegistryById(78), nullptr);
    EXPECT_EQ(driver->nGetTableRegistryCount(), 0u);
    EXPECT_EQ(doubles::gnLiveTables.load(), 0);
    driver->pGetErrorHolder()->Clear();
  }, EBadAlloc::kCleanFailure);
  EXPECT_GE(runs, 5u);
  EXPECT_GE(copies, 2);
}

}  // namespace
