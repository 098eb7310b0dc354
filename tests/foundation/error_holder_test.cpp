// The error holder as the runtime drives it: through its raw slot numbers.
#include "foundation/error_holder.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/hash_table.h"
#include "foundation/message_text.h"
#include "standin/runtime/runtime_objects.h"
#include "tests/doubles/driver_doubles.h"
#include "tests/slot_call.h"

namespace {

std::int32_t Callback(std::uint32_t message, char16_t* buffer, std::uint32_t capacity) {
  std::u16string text;
  switch (message) {
    case 28432: text = u"Table %1 missing"; break;        // code 7
    case 28437: text = u"Operation not available"; break;  // code 8
    case 28541: text = u"Connection %1 not open"; break;   // code 15
    case 28624: text = u"Table absent"; break;             // code 29
    case 2456: text = u"Server %1: ORA-%2!05u!"; break;    // code 1000
    default: return 0;
  }
  const std::size_t n = std::min<std::size_t>(text.size(), capacity - 1);
  std::copy_n(text.data(), n, buffer);
  buffer[n] = 0;
  return static_cast<std::int32_t>(text.size());
}

// A connection whose details are one line, counting how often the holder asks for them.
class DetailedConnection : public doubles::TestConnection {
 public:
  using TestConnection::TestConnection;
  void AddErrorDetails(CXError& error) override {
    ++calls;
    error.AddDebugText(u"details");
  }
  int calls = 0;
};

class ErrorHolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gpfnHostMessageCallback = Callback;
    doubles::EnsureLibrary();
    m_description.SetText(qzrt::ConnectionDescription::kDataSource, u"ORCL");
    m_connection = new DetailedConnection(u"cnx", reinterpret_cast<IHostConnectionDescription*>(&m_description));
    m_connection->AddRef();
    m_holder = new CErrorHolder();
    m_holder->AddRef();
  }
  void TearDown() override {
    m_holder->nRelease();
    gpfnHostMessageCallback = nullptr;
    m_connection->nRelease();
  }
  std::u16string UserMessage() { return CallSlot<const char16_t*>(m_holder, 5); }

  CErrorHolder* m_holder = nullptr;
  qzrt::ConnectionDescription m_description;
  DetailedConnection* m_connection = nullptr;
};

TEST_F(ErrorHolderTest, FixedSlotsAndEmptyState) {
  EXPECT_EQ(CallSlot<std::int32_t>(m_holder, 0), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(m_holder, 1), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(m_holder, 2), -1);
  EXPECT_EQ(CallSlot<std::int32_t>(m_holder, 3), -1);
  EXPECT_EQ(UserMessage(), u"");
  EXPECT_EQ(CallSlot<std::uint32_t>(m_holder, 6), 0u);
  EXPECT_EQ(CallSlot<std::uint32_t>(m_holder, 7), ERROR_CODE_NONE_RECORDED);
  EXPECT_EQ(CallSlot<const char16_t*>(m_holder, 8), nullptr);
  EXPECT_EQ(CallSlot<const char16_t*>(m_holder, 9), nullptr);
  EXPECT_EQ(CallSlot<CXError*>(m_holder, 10), m_holder->pGetEmbeddedObject());
  EXPECT_EQ(CallSlot<std::uint32_t>(m_holder, 11), ERROR_LEVEL_NONE);
}

TEST_F(ErrorHolderTest, AReleaseBeyondTheCountLeavesItAtZero) {
  auto* holder = new CErrorHolder();
  EXPECT_EQ(holder->nRelease(), 0u);
  EXPECT_EQ(holder->nGetRefCount(), 0u) << "the count must not wrap";
  holder->AddRef();
  holder->AddRef();
  EXPECT_EQ(holder->nRelease(), 1u);
  EXPECT_EQ(holder->nRelease(), 0u);  // destroyed by its last reference
}

TEST_F(ErrorHolderTest, SecondRaiseNestsUnderTheFirst) {
  m_holder->RaiseError(3, ERROR_UNIT_DRIVER, 4, m_connection, 7, u"T1");
  m_holder->RaiseError(9, ERROR_UNIT_DRIVER, 5, m_connection, 8);
  EXPECT_EQ(CallSlot<std::uint32_t>(m_holder, 7), 3u);
  EXPECT_EQ(CallSlot<std::uint32_t>(m_holder, 6), 7u);
  EXPECT_EQ(UserMessage(), u"Table T1 missing\r\nOperation not available");
  CXError* held = CallSlot<CXError*>(m_holder, 10);
  ASSERT_EQ(held->nGetNestedCount(), 1u);
  EXPECT_EQ(held->pGetNestedError(0)->nGetCode(), 8u);
  // Only the first failure asks the connection for its details.
  EXPECT_EQ(m_connection->calls, 1);
  EXPECT_EQ(std::u16string(held->pszGetDebugText()),
            u"IEQZORA=5.4\r\nModule=<QZORA>\r\nVersion=<17.0.65.0>\r\ndetails");
  std::uint32_t code = 0;
  ASSERT_EQ(held->nGetInfo(ERROR_INFO_ERROR_CODE, &code), 1);
  EXPECT_EQ(code, 7u);

  // Clear (slot 18) empties the holder.
  CallSlot<void>(m_holder, 18);
  EXPECT_EQ(CallSlot<std::uint32_t>(m_holder, 7), ERROR_CODE_NONE_RECORDED);
  EXPECT_EQ(CallSlot<std::uint32_t>(m_holder, 11), ERROR_LEVEL_NONE);
  EXPECT_EQ(held->nGetNestedCount(), 0u);
}

TEST_F(ErrorHolderTest, NoDetailsFlagSkipsRecordAndConnection) {
  m_holder->SetNoDetails(1);
  m_holder->RaiseError(0, ERROR_UNIT_CONNECTION, 1, m_connection, 7, u"T");
  EXPECT_EQ(m_connection->calls, 0);
  EXPECT_EQ(std::u16string(m_holder->pGetEmbeddedObject()->pszGetDebugText()), u"");
}

TEST_F(ErrorHolderTest, OnTopStatusAndNative) {
  m_holder->RaiseError(1, ERROR_UNIT_TABLE, 1, nullptr, 7, u"A");
  m_holder->RaiseErrorOnTop(2, ERROR_UNIT_TABLE, 2, nullptr, 8);
  EXPECT_EQ(CallSlot<std::uint32_t>(m_holder, 7), 2u);
  EXPECT_EQ(CallSlot<std::uint32_t>(m_holder, 6), 8u);
  EXPECT_EQ(UserMessage(), u"Operation not available\r\nTable A missing");

  CallSlot<void>(m_holder, 18);
  m_holder->AddStatusError(105, 16, 26, ERROR_UNIT_FIELD_VALUE, 3, nullptr, u"T", u"col");
  EXPECT_EQ(CallSlot<std::uint32_t>(m_holder, 7), 0u);
  EXPECT_EQ(std::u16string(CallSlot<const char16_t*>(m_holder, 8)), u"T");
  EXPECT_EQ(std::u16string(CallSlot<const char16_t*>(m_holder, 9)), u"col");

  CallSlot<void>(m_holder, 18);
  m_holder->RaiseNativeError(4, m_connection, 1000, 942, u"ORA-00942: table or view does not exist");
  EXPECT_EQ(UserMessage(), u"Server ORCL: ORA-00942\r\nORA-00942: table or view does not exist");
  EXPECT_EQ(m_holder->nGetNativeErrorCode(), 942u);
  EXPECT_EQ(std::u16string(m_holder->pGetEmbeddedObject()->pszGetSystemMessage()),
            u"ORA-00942: table or view does not exist");

  m_holder->MarkNonFatal();
  EXPECT_EQ(CallSlot<std::uint32_t>(m_holder, 11), ERROR_LEVEL_NONFATAL);
  EXPECT_EQ(CallSlot<std::uint32_t>(m_holder, 6), 1000u);
}

TEST_F(ErrorHolderTest, CopyCloneAndDestroyThroughSlots) {
  m_holder->RaiseError(5, ERROR_UNIT_DRIVER, 1, nullptr, 7, u"X");
  m_holder->SetNoDetails(1);
  CHashTable map(7);
  auto* clone = CallSlot<CErrorHolder*>(m_holder, 20, &map);  // a reference crosses as a pointer
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->nGetRecordedCode(), 5u);
  EXPECT_EQ(std::u16string(clone->pszGetUserMessage()), u"Table X missing");
  EXPECT_EQ(clone->nGetNoDetails(), 1u);
  std::uint64_t copy = 0;
  ASSERT_TRUE(map.bLookup(reinterpret_cast<std::uintptr_t>(m_holder), &copy, nullptr));
  EXPECT_EQ(copy, reinterpret_cast<std::uintptr_t>(clone));
  CallSlot<void>(clone, 17, 1u);  // destroy and free: the sanitizer would catch a leak or a double free
}

}  // namespace
