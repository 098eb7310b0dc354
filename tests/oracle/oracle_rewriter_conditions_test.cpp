// The Oracle statement's condition and filter nodes: the generic nodes with the connection's OCI handles and an empty
// text that compares as NULL, kept through every way a node is made again (new, clone, copy through a map).
#include <gtest/gtest.h>

#include <memory>

#include "foundation/hash_table.h"
#include "oracle/oracle_key_condition.h"
#include "session_driver_helpers.h"
#include "tests/host/host_value_fixture.h"

namespace {

using namespace ocitest;

class OracleConditionNodes : public CHostValueFixture {
 protected:
  static void SetUpTestSuite() { doubles::EnsureLibrary(); }
  void SetUp() override {
    CHostValueFixture::SetUp();
    driver = piQueryInterface();
    ASSERT_NE(driver, nullptr);
    holder = CallSlot<CErrorHolder*>(driver, kDriverHolder);
    connection = OpenOnNewDataSource(driver, holder, "ORACONDITIONS", description);
    ASSERT_NE(connection, nullptr) << Dump(*holder);
    ASSERT_NE(connection->m_pErrorHandle, nullptr);
  }
  void TearDown() override {
    if (connection) CallSlot<int>(driver, kDriverClose, description.get());
    CallSlot<std::int32_t>(driver, kDriverRelease);
    CHostValueFixture::TearDown();
  }

  // The node carries the connection's handles (or none) and the NULL switch.
  template <class T>
  void ExpectOracle(CKeyCondition* node, bool handles, const char* how) {
    auto* oracle = dynamic_cast<T*>(node);
    ASSERT_NE(oracle, nullptr) << how;
    EXPECT_EQ(oracle->bEmptyTextIsNull(), 1u) << how;
    EXPECT_EQ(oracle->pGetErrorHandle(), handles ? connection->m_pErrorHandle : nullptr) << how;
    EXPECT_EQ(oracle->pGetEnvironmentHandle(), handles ? connection->m_pEnvironment : nullptr) << how;
  }

  template <class T>
  void EveryWayOfMaking() {
    auto* node = new T(holder, connection);
    node->AddRef();
    ExpectOracle<T>(node, true, "made on the connection");
    EXPECT_EQ(node->pGetConnection(), connection);

    CKeyCondition* empty = node->pNew();
    empty->AddRef();
    ExpectOracle<T>(empty, false, "new and empty");
    empty->nRelease();

    CKeyCondition* clone = node->pClone();
    ASSERT_NE(clone, nullptr);
    clone->AddRef();
    ExpectOracle<T>(clone, true, "cloned");
    clone->nRelease();

    CHashTable map;
    CKeyCondition* copy = node->pNewWithArgs(node, map, 0, 0);
    ASSERT_NE(copy, nullptr) << Dump(*holder);
    copy->AddRef();
    ExpectOracle<T>(copy, true, "copied through a map");
    EXPECT_EQ(copy->pGetConnection(), connection);
    copy->nRelease();
    node->nRelease();
  }

  void* driver = nullptr;
  CErrorHolder* holder = nullptr;
  std::unique_ptr<qzrt::ConnectionDescription> description;
  COracleConnection* connection = nullptr;
};

TEST_F(OracleConditionNodes, KeyConditionsKeepTheirClassAndHandles) { EveryWayOfMaking<COracleKeyCondition>(); }

TEST_F(OracleConditionNodes, FiltersKeepTheirClassAndHandles) { EveryWayOfMaking<COracleFilterHolder>(); }

}  // namespace
