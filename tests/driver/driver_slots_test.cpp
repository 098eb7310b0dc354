// The driver object's binary slots: each operation's `// slot N` comment in driver/driver.h names the slot the
// compiled table puts it at, and every operation of the table has one (the destructor, last, is not a slot).
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "driver/driver.h"
#include "tests/slot_of.h"

namespace {

// The "slot N" comment of every virtual operation in a header, by operation name.
std::map<std::string, std::size_t> CommentedSlots(const std::string& header) {
  std::ifstream file(std::string(QZ_SOURCE_DIR) + "/" + header);
  std::stringstream text;
  text << file.rdbuf();
  const std::string source = text.str();
  std::map<std::string, std::size_t> slots;
  const std::regex declaration(R"(virtual[^;~]*?\b(\w+)\s*\([^;]*;[ \t]*(?://[ \t]*slot[ \t]+(\d+))?)");
  for (auto it = std::sregex_iterator(source.begin(), source.end(), declaration); it != std::sregex_iterator(); ++it) {
    slots[(*it)[1]] = (*it)[2].matched ? std::stoul((*it)[2]) : NOT_VIRTUAL;
  }
  return slots;
}

#define QZ_OP(name) std::pair<std::string, std::size_t>(#name, SlotOf(&CDriver::name))

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
  const std::map<std::string, std::size_t> commented = CommentedSlots("driver/driver.h");
  EXPECT_EQ(commented.size(), compiled.size()) << "an operation without an entry here or without a comment there";
  for (const auto& [name, slot] : commented) {
    const auto found = compiled.find(name);
    ASSERT_NE(found, compiled.end()) << name;
    EXPECT_EQ(found->second, slot) << name;
  }
  // The table has no holes and nothing after the last slot: 68 operations, 0 to 67.
  std::set<std::size_t> used;
  for (const auto& entry : compiled) used.insert(entry.second);
  EXPECT_EQ(used.size(), 68u);
  EXPECT_EQ(*used.rbegin(), 67u);
}

#undef QZ_OP

}  // namespace
