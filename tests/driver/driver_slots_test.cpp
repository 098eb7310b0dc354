// The driver object's binary slots: the `// slot N` comment of each operation in driver/driver.h and
// oracle/oracle_driver.h names the slot the compiled table puts it at, and every operation of the table has one. The
// destroy slot is an ordinary operation that destroys the object as its final class (there is no virtual destructor).
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>
#include <type_traits>

#include "driver/driver.h"
#include "oracle/oracle_driver.h"
#include "tests/doubles/driver_doubles.h"
#include "tests/slot_of.h"

namespace {

// The names of the virtual operations a header declares (not the destructor).
std::set<std::string> VirtualNames(const std::string& source) {
  std::set<std::string> names;
  const std::regex declaration(R"(virtual[^;~(]*?\b(\w+)\s*\()");
  for (auto it = std::sregex_iterator(source.begin(), source.end(), declaration); it != std::sregex_iterator(); ++it) {
    names.insert((*it)[1]);
  }
  return names;
}

#define QZ_OP(name) QZ_SLOT(CDriver, name)

TEST(DriverSlotsTest, EveryCommentNamesTheCompiledSlot) {
  const std::map<std::string, std::size_t> compiled = {
      QZ_OP(nGetInterfaceVersion),
      QZ_OP(nGetInterfaceMinVersion),
      QZ_OP(nReserved2),
      QZ_OP(nReserved3),
      QZ_OP(Reserved4),
      QZ_OP(AddRef),
      QZ_OP(nRelease),
      QZ_OP(nClearError),
      QZ_OP(bOpenConnection),
      QZ_OP(bCloseConnection),
      QZ_OP(bCopyTableRegistry),
      QZ_OP(pGetErrorHolder),
      QZ_OP(bSetTablesStateByName),
      QZ_OP(piGetAccessInterface),
      QZ_OP(bListCatalogOf),
      QZ_OP(pGetRecordDescription),
      QZ_OP(piCreateAccessInterfaceDefault),
      QZ_OP(CloseTableRegistry),
      QZ_OP(bBeginTransaction),
      QZ_OP(bCommitTransaction),
      QZ_OP(bRollbackTransaction),
      QZ_OP(bLockTable),
      QZ_OP(bLockRows),
      QZ_OP(bGetNativeTypeList),
      QZ_OP(bReportNotSupported),
      QZ_OP(nNotAvailable25),
      QZ_OP(bConnectAndDescribeTable),
      QZ_OP(bGetReferentialLinksOf),
      QZ_OP(bListDatabases),
      QZ_OP(bSetAccessInterfaceObject),
      QZ_OP(bStoreHostPair),
      QZ_OP(nNotAvailable31),
      QZ_OP(bSetTableRegistryName),
      QZ_OP(piCreateAccessInterfaceFor),
      QZ_OP(bCloseThroughAccessInterface),
      QZ_OP(nReserved35),
      QZ_OP(bStoreHostValue),
      QZ_OP(bCreateTable),
      QZ_OP(nNotAvailable38),
      QZ_OP(DeletingDestructor),
      QZ_OP(nReserved40),
      QZ_OP(FormatConnectionDescription),
      QZ_OP(nReserved42),
      QZ_OP(nReserved43),
      QZ_OP(pCreateFieldValue),
      QZ_OP(pCreateNativeTextValue),
      QZ_OP(pCreateParameterBinding),
      QZ_OP(pCreateParameter),
      QZ_OP(pCreateDescription),
      QZ_OP(pCreateTableRegistry),
      QZ_OP(pCreateTable),
      QZ_OP(pCreateCursor),
      QZ_OP(pCreateColumnBinding),
      QZ_OP(pCreateSqlRewriter),
      QZ_OP(pCreateErrorHolder),
      QZ_OP(pCreateAutomaticIdentifier),
      QZ_OP(pCreateDescriptionFor),
      QZ_OP(pCreateValueLeaf),
      QZ_OP(NotifyAccessInterfacesExcept),
      QZ_OP(pCreateColumnDescriptor),
      QZ_OP(Reserved60),
      QZ_OP(pCreateConnection),
      QZ_OP(pCreateAccessInterface),
      QZ_OP(nReserved63),
      QZ_OP(bListCatalog),
      QZ_OP(bDescribeTable),
      QZ_OP(bGetReferentialLinks),
      QZ_OP(Reserved67),
  };
  ExpectSlotComments("driver/driver.h", compiled);
  // Every virtual operation of the header is in the map, so none goes unchecked.
  for (const std::string& name : VirtualNames(SourceText("driver/driver.h"))) {
    EXPECT_EQ(compiled.count(name), 1u) << name;
  }
  // The table has no holes and nothing after the last slot: 68 operations, 0 to 67.
  ExpectSlotsFromZeroTo(compiled, 68);
}

#undef QZ_OP
#define QZ_OP(name) QZ_SLOT(COracleDriver, name)

TEST(DriverSlotsTest, TheOracleDriverOverridesInTheirSlots) {
  const std::map<std::string, std::size_t> compiled = {
      QZ_OP(bListDatabases),
      QZ_OP(DeletingDestructor),
      QZ_OP(bGetNativeTypeList),
      QZ_OP(pCreateFieldValue),
      QZ_OP(pCreateNativeTextValue),
      QZ_OP(pCreateParameterBinding),
      QZ_OP(pCreateParameter),
      QZ_OP(pCreateDescription),
      QZ_OP(pCreateTable),
      QZ_OP(pCreateCursor),
      QZ_OP(pCreateColumnBinding),
      QZ_OP(pCreateSqlRewriter),
      QZ_OP(pCreateAutomaticIdentifier),
      QZ_OP(pCreateDescriptionFor),
      QZ_OP(pCreateConnection),
      QZ_OP(bListCatalog),
      QZ_OP(bDescribeTable),
      QZ_OP(bGetReferentialLinks),
  };
  ExpectSlotComments("oracle/oracle_driver.h", compiled);
}

#undef QZ_OP

static_assert(!std::has_virtual_destructor_v<CDriver>, "the destroy slot is an ordinary operation");

int gnLiveDrivers = 0;

class CountedDriver final : public doubles::TestDriver {
 public:
  CountedDriver() { ++gnLiveDrivers; }
  ~CountedDriver() { --gnLiveDrivers; }
  void DeletingDestructor(std::uint32_t flags) override { DestroyAs(this, flags); }
};

TEST(DriverSlotsTest, TheLastReleaseDestroysTheFinalClass) {
  doubles::EnsureLibrary();
  CDriver* const current = gpDriver;
  auto* driver = new CountedDriver();
  driver->AddRef();
  driver->AddRef();
  EXPECT_EQ(driver->nRelease(), 1);
  EXPECT_EQ(gnLiveDrivers, 1);
  EXPECT_EQ(driver->nRelease(), 0);
  EXPECT_EQ(gnLiveDrivers, 0);
  gpDriver = current;
}

}  // namespace
