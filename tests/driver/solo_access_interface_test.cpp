// The access interface as the runtime drives it: every position through the raw table index, against a test driver
// whose factories make table and connection doubles that log what reaches them. A program of its own: the lookup
// cache, the SQL engine version and gpDriver are process-wide.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "driver/access_interface.h"
#include "driver/driver.h"
#include "driver/table_lookup_cache.h"
#include "engine/table/table.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/x_error.h"
#include "host/export.h"
#include "host/host_objects.h"
#include "host/library_entry.h"
#include "sql/connection.h"
#include "sql/table_registry.h"
#include "standin/runtime/runtime_objects.h"
#include "tests/doubles/driver_doubles.h"
#include "tests/slot_call.h"

namespace {

using U32 = std::uint32_t;
using HV = RuntimeWord;

// What the doubles saw and what they are to answer.
struct Script {
  struct Call {
    std::string op;
    std::vector<std::uint64_t> arguments;
  };
  std::vector<Call> calls;
  std::map<std::string, int> answers;  // default 1
  std::set<std::string> failing;       // answer 0 with an error in the table's holder
  std::string throwing;                // throws TableFault
  int tablesMade = 0;
  int tablesDestroyed = 0;
  int reopens = 0;
  std::uint32_t queryHasRows = 0;
  int pending = 0;
  int sqlQuery = 0;
  int reportsRows = 0;
  std::function<void()> during;  // runs inside every table operation

  std::vector<std::string> Ops() const {
    std::vector<std::string> ops;
    for (const Call& call : calls) ops.push_back(call.op);
    return ops;
  }
};

struct TableFault {
  std::string op;
};

template <typename T>
std::uint64_t Word(T value) {
  if constexpr (std::is_pointer_v<T>) {
    return reinterpret_cast<std::uintptr_t>(value);
  } else {
    return static_cast<std::uint64_t>(value);
  }
}

class DoubleTable : public CTable {
 public:
  DoubleTable(IHostFileDescription* description, CConnection* connection, CErrorHolder* holder, Script& script)
      : CTable(description, connection, holder), m_script(script) {
    ++m_script.tablesMade;
  }

  int bReadLargeValue(U32 i, RuntimeWord v) override { return Note("bReadLargeValue", i, v); }
  int bWriteLargeValue(U32 i, RuntimeWord v) override { return Note("bWriteLargeValue", i, v); }
  int bSaveMemoToFile(U32 i, RuntimeWord v) override { return Note("bSaveMemoToFile", i, v); }
  int bDoCreate(U32 dropFirst, U32 create) override { return Note("bDoCreate", dropFirst, create); }
  int bCreateAndOpen(RuntimeWord v, U32 dropFirst) override { return Opened(Note("bCreateAndOpen", v, dropFirst)); }
  int bDropTable() override { return Note("bDropTable"); }
  int bDeleteAll() override { return Note("bDeleteAll"); }
  int bOpenOrCreate(U32 a, RuntimeWord b) override { return Opened(Note("bOpenOrCreate", a, b)); }
  int bOpen(U32 a, RuntimeWord b) override { return Opened(Note("bOpen", a, b)); }
  int bClose() override {
    m_bOpen = 0;
    return Note("bClose");
  }
  int bSaveRecord(RuntimeWord k, U32 f, U32 m) override { return Note("bSaveRecord", k, f, m); }
  int bDeleteRecord(RuntimeWord k, U32 m) override { return Note("bDeleteRecord", k, m); }
  int bWriteRecord(RuntimeWord k, U32 f, U32 m) override { return Note("bWriteRecord", k, f, m); }
  int bNotSupportedA(RuntimeWord a, U32 b) override { return Note("bNotSupportedA", a, b); }
  int bNotSupportedB() override { return Note("bNotSupportedB"); }
  int bModifyRecord(RuntimeWord k, U32 m, RuntimeWord a) override { return Note("bModifyRecord", k, m, a); }
  int bRead(const char16_t* c, U32 d, U32 f, U32 a, RuntimeWord o, U32 b) override {
    return Note("bRead", c, d, f, a, o, b);
  }
  int bReadInContext(const char16_t* c, U32 a, RuntimeWord b, U32 d, U32 e, RuntimeWord f, U32 g) override {
    return Note("bReadInContext", c, a, b, d, e, f, g);
  }
  int bSeekOnKey(const char16_t* c, RuntimeWord a, U32 b, U32 d, U32 e, RuntimeWord f, U32 g, U32 h) override {
    return Note("bSeekOnKey", c, a, b, d, e, f, g, h);
  }
  int bResetContext(const char16_t* c) override { return Note("bResetContext", c); }
  int bLockTable(U32 m, RuntimeWord p) override { return Note("bLockTable", m, p); }
  int bUnlockTable() override { return Note("bUnlockTable"); }
  int bTestRecordLock(RuntimeWord a, U32 b, RuntimeWord c) override { return Note("bTestRecordLock", a, b, c); }
  int bTestRecordLockDefault(RuntimeWord a) override { return Note("bTestRecordLockDefault", a); }
  int bGoToRecord(const char16_t* c, RuntimeWord a, U32 b, RuntimeWord d, U32 e, RuntimeWord q) override {
    return Note("bGoToRecord", c, a, b, d, e, q);
  }
  int bIsReadOnly(RuntimeWord o) override { return Note("bIsReadOnly", o); }
  int bSupportsTransactions(RuntimeWord o, RuntimeWord v) override { return Note("bSupportsTransactions", o, v); }
  int bGetRecordFlags(RuntimeWord k, RuntimeWord o) override { return Note("bGetRecordFlags", k, o); }
  int bNotSupportedC(RuntimeWord a, RuntimeWord b, U32 c, RuntimeWord d) override {
    return Note("bNotSupportedC", a, b, c, d);
  }
  int bExecuteQuery(U32* hasRows, const char16_t* c, RuntimeWord q, U32 f, RuntimeWord v) override {
    if (hasRows) *hasRows = m_script.queryHasRows;
    return Note("bExecuteQuery", hasRows, c, q, f, v);
  }
  int bRestorePosition(RuntimeWord p, U32 f) override { return Note("bRestorePosition", p, f); }
  int bEnsureTableDescription() override { return Note("bEnsureTableDescription"); }
  int bUnlockRecord(IHostConnectionDescription* d, RuntimeWord v) override { return Note("bUnlockRecord", d, v); }

 protected:
  ~DoubleTable() override { ++m_script.tablesDestroyed; }

 private:
  template <typename... A>
  int Note(const char* op, A... arguments) {
    m_script.calls.push_back({op, {Word(arguments)...}});
    if (m_script.during) m_script.during();
    if (m_script.throwing == op) throw TableFault{op};
    if (m_script.failing.count(op)) {
      RaiseModuleError(m_pErrorHolder, 0, ERROR_UNIT_TABLE, 99, nullptr, u"T", 8);
      return 0;
    }
    const auto it = m_script.answers.find(op);
    return it == m_script.answers.end() ? 1 : it->second;
  }
  int Opened(int result) {
    if (result) m_bOpen = 1;
    return result;
  }

  Script& m_script;
};

// Tells the two ways the open family opens the connection apart: again (for creation) or plainly.
class CountingConnection : public doubles::TestConnection {
 public:
  CountingConnection(const char16_t* name, IHostConnectionDescription* description, Script& script)
      : TestConnection(name, description), m_script(script) {}
  int bOpenAgain(CErrorHolder* holder, const char16_t* name) override {
    ++m_script.reopens;
    return TestConnection::bOpenAgain(holder, name);
  }

 private:
  Script& m_script;
};

class TestDriver final : public doubles::TestDriver {
 public:
  explicit TestDriver(Script& script) : m_script(script) {}
  void DeletingDestructor(std::uint32_t flags) override { DestroyAs(this, flags); }
  CConnection* pCreateConnection(const char16_t* text, IHostConnectionDescription* description) override {
    auto* connection = new CountingConnection(text, description, m_script);
    lastConnection = connection;
    return connection;
  }
  CTable* pCreateTable(IHostFileDescription* description, CConnection* connection, CErrorHolder* holder) override {
    return new DoubleTable(description, connection, holder, m_script);
  }

 private:
  Script& m_script;
};

template <typename T>
T* As(void* object) {
  return static_cast<T*>(object);
}

std::u16string Identification(CErrorHolder* holder) {
  const std::u16string debug = holder->pGetEmbeddedObject()->pszGetDebugText();
  return debug.substr(0, debug.find(u"\r\nModule"));
}

bool LockIsFreeForAnotherThread() {
  bool free = false;
  std::thread([&] {
    free = gcsDriverLock.TryEnter();
    if (free) gcsDriverLock.Leave();
  }).join();
  return free;
}

class AccessInterfaceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { doubles::EnsureLibrary(); }

  void SetUp() override {
    m_driver = new TestDriver(m_script);
    m_driver->AddRef();
    gpDriver = m_driver;
    m_connection.SetText(qzrt::ConnectionDescription::kName, u"cnx");
    m_interface = CallSlot<CAccessInterface*>(m_driver, 13, &m_connection, &m_description);
    ASSERT_NE(m_interface, nullptr);
  }

  void TearDown() override {
    if (m_interface) CallSlot<std::int32_t>(m_interface, 6);
    if (m_driver) CallSlot<std::int32_t>(m_driver, 6);
    EXPECT_EQ(m_script.tablesMade, m_script.tablesDestroyed);
    EXPECT_EQ(gpCachedTable, nullptr);
    EXPECT_EQ(m_description.References(), 1);
  }

  void* Handle() { return &m_handle; }

  std::int32_t Open(void* handle) { return CallSlot<std::int32_t>(m_interface, 15, handle, 0u, HV{0}); }

  CErrorHolder* InterfaceHolder() { return m_interface->pGetErrorHolder(); }
  CErrorHolder* TableHolder(void* handle) { return CallSlot<CErrorHolder*>(m_interface, 7, handle); }

  Script m_script;
  TestDriver* m_driver = nullptr;
  qzrt::ConnectionDescription m_connection;
  qzrt::TableDescription m_description{u"CUSTOMER"};
  qzrt::FileHandle m_handle{1, 10};
  CAccessInterface* m_interface = nullptr;
};

TEST_F(AccessInterfaceTest, HeaderAndConstantPositions) {
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 0), 11);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 1), 8);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 2), -1);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 3), -1);
  CallSlot<void>(m_interface, 4);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 62), 0);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 63), 0);
  for (std::size_t position = 65; position <= 78; ++position) CallSlot<void>(m_interface, position);
  EXPECT_TRUE(m_script.calls.empty());
}

// Each forwarding position with distinct arguments: the table operation it reaches, the arguments in the table's
// order, and the table's answer handed back unchanged.
TEST_F(AccessInterfaceTest, EveryPositionReachesItsTableOperation) {
  ASSERT_EQ(Open(Handle()), 1);
  const char16_t* context = u"KEY";
  const auto c = Word(context);
  void* h = Handle();
  struct Row {
    std::size_t position;
    std::function<std::int64_t()> call;
    std::string op;
    std::vector<std::uint64_t> arguments;
  };
  const std::vector<Row> rows = {
      {10, [&] { return CallSlot<std::int32_t>(m_interface, 10, h, HV{3}, HV{4}); }, "bSupportsTransactions", {3, 4}},
      {13, [&] { return CallSlot<std::int32_t>(m_interface, 13, h, 5u, HV{6}); }, "bOpenOrCreate", {5, 6}},
      {14, [&] { return CallSlot<std::int32_t>(m_interface, 14, h, HV{7}); }, "bCreateAndOpen", {7, 1}},
      {15, [&] { return CallSlot<std::int32_t>(m_interface, 15, h, 8u, HV{9}); }, "bOpen", {8, 9}},
      {19, [&] { return CallSlot<std::int32_t>(m_interface, 19, h, HV{1}, 2u, 3u); }, "bSaveRecord", {1, 2, 3}},
      {20, [&] { return CallSlot<std::int32_t>(m_interface, 20, h, HV{4}, 5u); }, "bNotSupportedA", {4, 5}},
      {21, [&] { return CallSlot<std::int32_t>(m_interface, 21, h, HV{6}, 7u); }, "bDeleteRecord", {6, 7}},
      {22, [&] { return CallSlot<std::int32_t>(m_interface, 22, h, HV{8}, 9u, 10u); }, "bWriteRecord", {8, 9, 10}},
      {23,
       [&] { return CallSlot<std::int32_t>(m_interface, 23, h, context, HV{1}, 2u, 3u, 4u, HV{5}, 6u, 7u); },
       "bSeekOnKey",
       {c, 1, 2, 3, 4, 5, 6, 7}},
      {24, [&] { return CallSlot<std::int32_t>(m_interface, 24, h); }, "bNotSupportedB", {}},
      {25, [&] { return CallSlot<std::int32_t>(m_interface, 25, h, HV{1}, 2u, HV{3}); }, "bModifyRecord", {1, 2, 3}},
      {26,
       [&] { return CallSlot<std::int32_t>(m_interface, 26, h, context, 1u, 2u, 3u, HV{4}, 5u); },
       "bRead",
       {c, 1, 2, 3, 4, 5}},
      {27,
       [&] { return CallSlot<std::int32_t>(m_interface, 27, h, context, 1u, HV{2}, 3u, 4u, HV{5}, 6u); },
       "bReadInContext",
       {c, 1, 2, 3, 4, 5, 6}},
      {28, [&] { return CallSlot<std::int32_t>(m_interface, 28, h, 2u, HV{3}); }, "bLockTable", {2, 3}},
      {29, [&] { return CallSlot<std::int32_t>(m_interface, 29, h); }, "bUnlockTable", {}},
      {30, [&] { return CallSlot<std::int32_t>(m_interface, 30, h, HV{1}, 2u, HV{3}); }, "bTestRecordLock", {1, 2, 3}},
      {31, [&] { return CallSlot<std::int32_t>(m_interface, 31, h, HV{4}); }, "bTestRecordLockDefault", {4}},
      {36, [&] { return CallSlot<std::int32_t>(m_interface, 36, h, HV{5}, HV{6}); }, "bGetRecordFlags", {5, 6}},
      {37,
       [&] { return CallSlot<std::int32_t>(m_interface, 37, h, context, HV{1}, 2u, HV{3}, 4u, nullptr); },
       "bGoToRecord",
       {c, 1, 2, 3, 4, 0}},
      {44, [&] { return CallSlot<std::int32_t>(m_interface, 44, h, HV{7}); }, "bIsReadOnly", {7}},
      {48, [&] { return CallSlot<std::int32_t>(m_interface, 48, h, 1u, HV{2}); }, "bReadLargeValue", {1, 2}},
      {49, [&] { return CallSlot<std::int32_t>(m_interface, 49, h, 3u, HV{4}); }, "bWriteLargeValue", {3, 4}},
      {53, [&] { return CallSlot<std::int32_t>(m_interface, 53, h, 5u, HV{6}); }, "bSaveMemoToFile", {5, 6}},
      {54, [&] { return CallSlot<std::int32_t>(m_interface, 54, h, context); }, "bResetContext", {c}},
      {55, [&] { return CallSlot<std::int32_t>(m_interface, 55, h, HV{5}, 6u); }, "bRestorePosition", {5, 6}},
      {56,
       [&] { return CallSlot<std::int32_t>(m_interface, 56, h, HV{1}, HV{2}, 3u, HV{4}); },
       "bNotSupportedC",
       {1, 2, 3, 4}},
      {64, [&] { return CallSlot<std::int32_t>(m_interface, 64, h); }, "bDeleteAll", {}},
  };
  int answer = 40;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.position);
    m_script.calls.clear();
    m_script.answers[row.op] = ++answer;
    EXPECT_EQ(row.call(), answer);
    ASSERT_EQ(m_script.calls.size(), 1u);
    EXPECT_EQ(m_script.calls[0].op, row.op);
    EXPECT_EQ(m_script.calls[0].arguments, row.arguments);
  }
}

// What a table never read answers, through the positions.
TEST_F(AccessInterfaceTest, PositionsOnATableNeverRead) {
  ASSERT_EQ(Open(Handle()), 1);
  // A count not asked to count (no flag 16) is 0, written as 64 bits.
  std::int64_t count = 7;
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 45, Handle(), &count, 2u, 3u), 1);
  EXPECT_EQ(count, 0);
  // Without shared rows every record lock mode is accepted; the description has no large item 1 to link.
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 34, Handle(), 3u), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 52, Handle(), 1u, HV{0}), 0);
  EXPECT_EQ(TableHolder(Handle())->nGetErrorCode(), 26u);
  // A closed table has no record buffer to hand out or replace.
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 50, Handle(), HV{0}), 0);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 51, Handle(), HV{0}), 0);
  // Dropping the shared row source has nothing to drop yet and answers 1 in every table class.
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 60, Handle()), 1);
}

// The runtime's add reaches the table's own: it starts from the table's columns, whose failure is the add's.
TEST_F(AccessInterfaceTest, PositionEighteenIsTheTablesAdd) {
  ASSERT_EQ(Open(Handle()), 1);
  m_script.calls.clear();
  m_script.failing.insert("bEnsureTableDescription");
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 18, Handle(), 0x40u, 2u), 0);
  EXPECT_EQ(m_script.Ops(), std::vector<std::string>{"bEnsureTableDescription"});
  EXPECT_EQ(TableHolder(Handle())->nGetErrorCode(), 8u);
  EXPECT_EQ(Identification(TableHolder(Handle())), u"IEQZORA=3.99");
}

TEST_F(AccessInterfaceTest, PositionsReachTheTablesPositionsAndTheirErrors) {
  ASSERT_EQ(Open(Handle()), 1);
  std::uint32_t word = 0;
  std::uint32_t found = 0;
  // Contexts never read and identifiers never stored: each position's error at its point, nothing run.
  struct Row {
    std::size_t position;
    std::function<std::int32_t()> call;
    std::uint32_t code;
    std::u16string identification;
  };
  const std::vector<Row> rows = {
      {32, [&] { return CallSlot<std::int32_t>(m_interface, 32, Handle(), u"K", HV{0}); }, 5, u"IEQZORA=3.17"},
      {33, [&] { return CallSlot<std::int32_t>(m_interface, 33, Handle(), u"K", &word, &found); }, 5, u"IEQZORA=3.18"},
      {38, [&] { return CallSlot<std::int32_t>(m_interface, 38, Handle(), nullptr, HV{0}); }, 17, u"IEQZORA=3.9"},
      {41, [&] { return CallSlot<std::int32_t>(m_interface, 41, Handle(), 999u, HV{0}, 0u, 0u); }, 11, u"IEQZORA=3.2"},
      {46, [&] { return CallSlot<std::int32_t>(m_interface, 46, Handle(), u"K", &word, 0u); }, 7, u"IEQZORA=3.1"},
      {61, [&] { return CallSlot<std::int32_t>(m_interface, 61, Handle(), 998u, 999u, HV{0}); }, 11, u"IEQZORA=3.19"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.position);
    m_script.calls.clear();
    EXPECT_EQ(row.call(), 0);
    EXPECT_TRUE(m_script.calls.empty());
    CErrorHolder* holder = TableHolder(Handle());
    EXPECT_EQ(holder->nGetErrorCode(), row.code);
    EXPECT_EQ(Identification(holder), row.identification);
  }
  EXPECT_EQ(word, 0xFFFFFFFFu) << "no place in thousandths without a record";
  // Marking or moving a context never read has nothing to do.
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 39, Handle(), u"K"), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 47, Handle(), u"K", 500u, 0u, 0u), 1);

  // Stored, compared, recalled (kept, then not), released.
  std::uint32_t first = 0;
  std::uint32_t second = 0;
  ASSERT_EQ(CallSlot<std::int32_t>(m_interface, 43, Handle(), u"K", &first, 0u), 1);
  ASSERT_EQ(CallSlot<std::int32_t>(m_interface, 43, Handle(), u"K", &second, 0u), 1);
  EXPECT_EQ(second, first + 1) << "identifiers grow by one";
  std::uint32_t equal = 7;
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 61, Handle(), first, first, &equal), 1);
  EXPECT_EQ(equal, 1u);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 61, Handle(), first, second, &equal), 1);
  EXPECT_EQ(equal, 0u) << "two positions on no record are not the same";
  char16_t name[256] = {};
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 41, Handle(), first, name, 1u, 0u), 1);
  EXPECT_EQ(std::u16string(name), u"K");
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 41, Handle(), first, name, 0u, 0u), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 41, Handle(), first, name, 0u, 0u), 0) << "not kept: gone";
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 42, Handle(), second), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 42, Handle(), second), 1) << "an unknown identifier gives 1";
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 61, Handle(), first, second, &equal), 0);
}

TEST_F(AccessInterfaceTest, UnknownHandleRaisesNineteenNamingTheTable) {
  qzrt::FileHandle stranger(1, 99);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 26, &stranger, u"K", 0u, 0u, 0u, HV{0}, 0u), 0);
  EXPECT_EQ(InterfaceHolder()->nGetErrorCode(), 19u);
  EXPECT_EQ(Identification(InterfaceHolder()), u"IEQZORA=6.7");
  EXPECT_EQ(std::u16string(InterfaceHolder()->pszGetFileName()), u"CUSTOMER");
  EXPECT_EQ(InterfaceHolder()->nGetRecordedCode(), 0u);

  // Silent answers: 8 gives 0, 17, 40 and 42 give 1; 35 raises without argument at point 8.
  InterfaceHolder()->Clear();
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 8, &stranger), 0);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 17, &stranger), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 40, &stranger, u"K"), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 42, &stranger, 5u), 1);
  EXPECT_FALSE(InterfaceHolder()->bHasError());
  EXPECT_EQ(CallSlot<std::int64_t>(m_interface, 35, &stranger), 0);
  EXPECT_EQ(InterfaceHolder()->nGetErrorCode(), 19u);
  EXPECT_EQ(Identification(InterfaceHolder()), u"IEQZORA=6.8");
  EXPECT_TRUE(m_script.calls.empty());
}

TEST_F(AccessInterfaceTest, NotAvailablePositionsRecordCodeSevenAtTheirPoints) {
  ASSERT_EQ(Open(Handle()), 1);
  const std::vector<std::pair<std::size_t, std::u16string>> rows = {
      {11, u"IEQZORA=6.6"}, {57, u"IEQZORA=6.3"}, {58, u"IEQZORA=6.4"}, {59, u"IEQZORA=6.5"}};
  for (const auto& [position, identification] : rows) {
    SCOPED_TRACE(position);
    InterfaceHolder()->Clear();
    TableHolder(Handle())->Clear();
    EXPECT_EQ(CallSlot<std::int32_t>(m_interface, position, Handle()), 0);
    EXPECT_EQ(InterfaceHolder()->nGetErrorCode(), 8u);
    EXPECT_EQ(InterfaceHolder()->nGetRecordedCode(), 7u);
    EXPECT_EQ(Identification(InterfaceHolder()), identification);
    // Passed on to the registry of the handle's context, which the runtime reads through position 7.
    EXPECT_EQ(TableHolder(Handle())->nGetErrorCode(), 8u);
  }
}

TEST_F(AccessInterfaceTest, RecordDescriptionAndLookupPositions) {
  auto* description = CallSlot<IHostFileDescription*>(m_interface, 9);
  EXPECT_EQ(description, As<IHostFileDescription>(&m_description));
  EXPECT_EQ(m_description.References(), 3);  // the runtime's own, the interface's and this one
  CallSlot<std::uint32_t>(description, 6);

  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 12, Handle(), 1u, HV{2}), 1);  // a table is made, ready
  EXPECT_EQ(m_script.tablesMade, 1);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 8, Handle()), 0);
  ASSERT_EQ(Open(Handle()), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 8, Handle()), 1);
  EXPECT_EQ(CallSlot<std::int64_t>(m_interface, 35, Handle()), 0);
  EXPECT_EQ(m_script.tablesMade, 1);
}

TEST_F(AccessInterfaceTest, InterfaceWithoutDescriptionAnswersNullAndReportsNoName) {
  auto* bare = new CAccessInterface(m_driver, u"Table=;x", nullptr, nullptr, m_driver->pGetErrorHolder());
  bare->AddExternalRef();
  EXPECT_EQ(CallSlot<IHostFileDescription*>(bare, 9), nullptr);
  qzrt::FileHandle stranger(5, 5);
  EXPECT_EQ(CallSlot<std::int32_t>(bare, 24, &stranger), 0);
  EXPECT_EQ(bare->pGetErrorHolder()->nGetErrorCode(), 19u);
  EXPECT_EQ(bare->pGetErrorHolder()->pszGetFileName(), nullptr);
  EXPECT_EQ(CallSlot<std::int32_t>(bare, 6), 0);
}

TEST_F(AccessInterfaceTest, CacheServesTheSameHandleAndForgetsAClosedTable) {
  ASSERT_EQ(Open(Handle()), 1);
  qzrt::FileHandle twin(1, 10);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 29, &twin), 1);
  ASSERT_NE(gpCachedTable, nullptr);
  EXPECT_EQ(gnCachedContextId, 1u);
  EXPECT_EQ(gnCachedFileId, 10u);
  // Served from the cache: the handle is asked its two identifiers once each, no registry is consulted.
  twin.ClearCalls();
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 29, &twin), 1);
  EXPECT_EQ(twin.CalledSlots(), (std::vector<std::size_t>{8, 7}));

  // A failing lookup leaves the cache as it was.
  CTable* cached = gpCachedTable;
  qzrt::FileHandle stranger(2, 10);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 29, &stranger), 0);
  EXPECT_EQ(gpCachedTable, cached);

  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 17, Handle()), 1);
  EXPECT_EQ(gpCachedTable, nullptr);
  EXPECT_EQ(m_script.tablesDestroyed, 1);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 29, &twin), 0);
  EXPECT_EQ(InterfaceHolder()->nGetErrorCode(), 19u);
}

TEST_F(AccessInterfaceTest, EmptiedRegistryLeavesNoTableReachable) {
  ASSERT_EQ(Open(Handle()), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 29, Handle()), 1);
  ASSERT_NE(gpCachedTable, nullptr);
  qzrt::RegistryKey key(1);
  EXPECT_EQ(CallSlot<std::int32_t>(m_driver, 17, &key), 1);
  EXPECT_EQ(gpCachedTable, nullptr);
  m_script.calls.clear();
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 29, Handle()), 0);
  EXPECT_TRUE(m_script.calls.empty());
  EXPECT_EQ(InterfaceHolder()->nGetErrorCode(), 19u);
}

TEST_F(AccessInterfaceTest, OpenFamilyUsesTheRightConnectionOpenAndCleansUpAFailedFirstOpen) {
  EXPECT_EQ(Open(Handle()), 1);
  EXPECT_EQ(m_driver->lastConnection->opens, 1);
  EXPECT_EQ(m_script.reopens, 0);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 13, Handle(), 0u, HV{0}), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 14, Handle(), HV{0}), 1);
  EXPECT_EQ(m_script.reopens, 2);

  // A failed open of a registered table keeps it, and its error stays in the table's holder; a failed first open
  // leaves nothing behind but its error in the interface's holder.
  m_script.failing.insert("bOpen");
  EXPECT_EQ(Open(Handle()), 0);
  EXPECT_EQ(InterfaceHolder()->nGetRecordedCode(), ERROR_CODE_NONE_RECORDED);
  EXPECT_EQ(TableHolder(Handle())->nGetErrorCode(), 8u);
  EXPECT_EQ(m_interface->nGetTableCount(), 1u);
  qzrt::FileHandle other(1, 11);
  EXPECT_EQ(Open(&other), 0);
  EXPECT_EQ(InterfaceHolder()->nGetErrorCode(), 8u);
  EXPECT_EQ(m_interface->nGetTableCount(), 1u);
  EXPECT_EQ(m_script.tablesMade, 2);
  EXPECT_EQ(m_script.tablesDestroyed, 1);

  // A connection that cannot open: its error in the interface's holder and in the registry's.
  m_driver->lastConnection->openAnswer = 0;
  EXPECT_EQ(Open(Handle()), 0);
  EXPECT_EQ(Identification(InterfaceHolder()), u"IEQZORA=1.99");
  EXPECT_EQ(Identification(TableHolder(Handle())), u"IEQZORA=1.99");
}

TEST_F(AccessInterfaceTest, CreateLeavesNoTableAndNeverDrops) {
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 79, Handle()), 1);
  ASSERT_EQ(m_script.calls.size(), 1u);
  EXPECT_EQ(m_script.calls[0].op, "bDoCreate");
  EXPECT_EQ(m_script.calls[0].arguments, (std::vector<std::uint64_t>{0, 1}));
  m_script.failing.insert("bDoCreate");
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 79, Handle()), 0);
  EXPECT_EQ(InterfaceHolder()->nGetErrorCode(), 8u);
  EXPECT_EQ(m_interface->nGetTableCount(), 0u);
  EXPECT_EQ(m_script.tablesMade, 2);
  EXPECT_EQ(m_script.tablesDestroyed, 2);
  EXPECT_EQ(m_script.reopens, 2);
  for (const std::string& op : m_script.Ops()) EXPECT_NE(op, "bDropTable");
}

TEST_F(AccessInterfaceTest, CloseCopiesAFailureAndLetsTheQuerySourceGo) {
  ASSERT_EQ(Open(Handle()), 1);
  qzrt::RuntimeObject source(u"Q");
  m_interface->SetQuerySource(As<IHostNamedObject>(&source));
  EXPECT_EQ(source.References(), 2);
  m_script.failing.insert("bClose");
  InterfaceHolder()->Clear();
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 17, Handle()), 0);
  EXPECT_EQ(InterfaceHolder()->nGetErrorCode(), 8u);
  EXPECT_EQ(m_interface->nGetTableCount(), 0u);
  EXPECT_EQ(source.References(), 1);
  EXPECT_EQ(m_interface->pGetQuerySource(), nullptr);
}

TEST_F(AccessInterfaceTest, SetTablesStateByNameReachesTheRegistry) {
  ASSERT_EQ(Open(Handle()), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 16, Handle(), 5u), 1);
  CTableRegistry* registry = m_driver->pFindTableRegistry(As<IHostRegistryKey>(&m_handle));
  ASSERT_NE(registry, nullptr);
  EXPECT_EQ(registry->nGetState(), 5u);
  EXPECT_EQ(gpCachedTable, nullptr);
  registry->nRelease();
}

TEST_F(AccessInterfaceTest, SqlEngineCheckOncePerDriverWithArgumentsInTheirOrder) {
  qzrt::SqlQuery query;
  std::uint32_t hasRows = 0;
  query.SetLibraryAnswer(0, 0);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 81, &hasRows, Handle(), u"C", &query, 0u, HV{0}), 0);
  EXPECT_EQ(InterfaceHolder()->nGetErrorCode(), 16u);
  EXPECT_EQ(Identification(InterfaceHolder()), u"IEQZORA=6.1");
  EXPECT_NE(std::u16string(InterfaceHolder()->pszGetUserMessage()).find(u"QZORA"), std::u16string::npos);
  EXPECT_EQ(query.Calls().back().arguments[0], 15);
  EXPECT_EQ(query.Calls().back().arguments[1], 28);
  EXPECT_TRUE(m_script.calls.empty());

  InterfaceHolder()->Clear();
  query.SetLibraryAnswer(1, 22);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 38, Handle(), &query, HV{0}), 0);
  EXPECT_EQ(Identification(InterfaceHolder()), u"IEQZORA=6.2");
  EXPECT_EQ(gnSqlEngineLibraryVersion, 22u);

  query.SetLibraryAnswer(1, 23);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 81, &hasRows, Handle(), u"C", &query, 0u, HV{0}), 1);
  EXPECT_EQ(m_driver->bIsSqlEngineChecked(), 1u);
  query.ClearCalls();
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 81, &hasRows, Handle(), u"C", &query, 0u, HV{0}), 1);
  EXPECT_TRUE(query.Calls().empty());
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 17, Handle()), 1);
}

TEST_F(AccessInterfaceTest, FailedQueryRunLeavesNoTable) {
  m_script.failing.insert("bExecuteQuery");
  std::uint32_t hasRows = 0;
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 81, &hasRows, Handle(), u"C", nullptr, 0u, HV{0}), 0);
  EXPECT_EQ(InterfaceHolder()->nGetErrorCode(), 8u);
  EXPECT_EQ(m_interface->nGetTableCount(), 0u);
  EXPECT_EQ(m_script.tablesDestroyed, 1);
}

TEST_F(AccessInterfaceTest, ExceptionFromATablePassesThroughAndFreesTheLock) {
  ASSERT_EQ(Open(Handle()), 1);
  m_script.throwing = "bRead";
  try {
    CallSlot<std::int32_t>(m_interface, 26, Handle(), u"K", 0u, 0u, 0u, HV{0}, 0u);
    FAIL() << "the fault was swallowed";
  } catch (const TableFault& fault) {
    EXPECT_EQ(fault.op, "bRead");
  }
  EXPECT_TRUE(LockIsFreeForAnotherThread());
  // The lookup's reference went back too: closing destroys the table.
  m_script.throwing.clear();
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 17, Handle()), 1);
  EXPECT_EQ(m_script.tablesDestroyed, 1);

  // The same for a runtime handle that fails while the interface looks its table up, and for an open.
  qzrt::FileHandle failing(1, 10);
  failing.ThrowAt(qzrt::FileHandle::kContextId);
  EXPECT_THROW(CallSlot<std::int32_t>(m_interface, 29, &failing), qzrt::SlotFault);
  EXPECT_TRUE(LockIsFreeForAnotherThread());
  m_script.throwing = "bOpen";
  EXPECT_THROW(Open(Handle()), TableFault);
  EXPECT_TRUE(LockIsFreeForAnotherThread());
  m_script.throwing.clear();
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 17, Handle()), 1);
}

TEST_F(AccessInterfaceTest, LockHeldThroughoutEveryKindOfTableOperation) {
  std::vector<std::string> freeDuring;
  m_script.during = [&] {
    if (LockIsFreeForAnotherThread()) freeDuring.push_back(m_script.calls.back().op);
  };
  std::uint32_t hasRows = 0;
  EXPECT_EQ(Open(Handle()), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 26, Handle(), u"K", 0u, 0u, 0u, HV{0}, 0u), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 81, &hasRows, Handle(), u"C", nullptr, 0u, HV{0}), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 17, Handle()), 1);
  EXPECT_EQ(m_script.Ops(), (std::vector<std::string>{"bOpen", "bRead", "bExecuteQuery", "bClose"}));
  EXPECT_TRUE(freeDuring.empty());
  EXPECT_TRUE(LockIsFreeForAnotherThread());
}

TEST_F(AccessInterfaceTest, QueryRunAdoptsTheWorkingDescription) {
  m_script.queryHasRows = 1;
  std::uint32_t hasRows = 0;
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 81, &hasRows, Handle(), u"C", nullptr, 4u, HV{9}), 1);
  EXPECT_EQ(hasRows, 1u);
  EXPECT_EQ(m_interface->pGetRecordDescription(), As<IHostFileDescription>(&m_description));
  // The runtime's own, the interface's and the table's references; nothing more, nothing lost.
  EXPECT_EQ(m_description.References(), 3);
  EXPECT_EQ(m_interface->nGetTableCount(), 1u);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 17, Handle()), 1);
}

TEST_F(AccessInterfaceTest, ExternalReleaseDestroysOnlyWhenTheDriverAloneHoldsIt) {
  EXPECT_EQ(CallSlot<std::uint32_t>(m_interface, 5), 2u);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 6), 1);
  m_interface->AddRef();  // a lookup in progress
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 6), 0);
  EXPECT_EQ(m_driver->nGetAccessInterfaceCount(), 1u);
  m_interface->AddExternalRef();
  m_interface->nRelease();
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 6), 0);
  EXPECT_EQ(m_driver->nGetAccessInterfaceCount(), 0u);
  m_interface = nullptr;
}

TEST_F(AccessInterfaceTest, DestructionSurvivesAThrowingQuerySource) {
  qzrt::RuntimeObject source(u"Q");
  m_interface->SetQuerySource(As<IHostNamedObject>(&source));
  source.ThrowAt(qzrt::RuntimeObject::kReleaseExternal);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 6), 0);
  m_interface = nullptr;
  EXPECT_EQ(source.References(), 1);
}

TEST_F(AccessInterfaceTest, InterfaceReachesItsOwnDriverNotTheCurrentOne) {
  ASSERT_EQ(Open(Handle()), 1);
  gpDriver = nullptr;
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 29, Handle()), 1);
  InterfaceHolder()->Clear();
  qzrt::FileHandle other(1, 12);
  EXPECT_EQ(Open(&other), 1);
  EXPECT_EQ(m_interface->nGetTableCount(), 2u);
  gpDriver = m_driver;
}

TEST_F(AccessInterfaceTest, InterfaceOutlivingItsDriverReachesNothing) {
  ASSERT_EQ(Open(Handle()), 1);
  CallSlot<std::int32_t>(m_driver, 6);
  m_driver = nullptr;
  EXPECT_EQ(gpDriver, nullptr);
  EXPECT_EQ(m_script.tablesDestroyed, 0);  // the interface's own reference keeps its table
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 29, Handle()), 0);
  EXPECT_EQ(InterfaceHolder()->nGetErrorCode(), 19u);
  EXPECT_EQ(Open(Handle()), 0);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 6), 0);
  m_interface = nullptr;
}

// Two driver objects may see the same context and file identifiers: the cache filed through one serves none of the
// other's interfaces, and an interface whose driver is gone reaches no table through it.
TEST_F(AccessInterfaceTest, CacheServesOnlyTheDriverThatFiledIt) {
  ASSERT_EQ(Open(Handle()), 1);
  ASSERT_EQ(CallSlot<std::int32_t>(m_interface, 29, Handle()), 1);
  ASSERT_NE(gpCachedTable, nullptr);
  Script otherScript;
  auto* other = new TestDriver(otherScript);
  other->AddRef();
  qzrt::ConnectionDescription otherConnection;
  otherConnection.SetText(qzrt::ConnectionDescription::kName, u"other");
  auto* otherInterface = CallSlot<CAccessInterface*>(other, 13, &otherConnection, &m_description);
  ASSERT_NE(otherInterface, nullptr);
  m_script.calls.clear();
  EXPECT_EQ(CallSlot<std::int32_t>(otherInterface, 29, Handle()), 0);
  EXPECT_EQ(otherInterface->pGetErrorHolder()->nGetErrorCode(), 19u);
  EXPECT_EQ(CallSlot<std::int32_t>(otherInterface, 17, Handle()), 1);  // nothing of its own to close
  EXPECT_TRUE(m_script.calls.empty());
  EXPECT_EQ(m_interface->nGetTableCount(), 1u);

  // Each driver's interface reaches its own table under the same identifiers.
  ASSERT_EQ(CallSlot<std::int32_t>(otherInterface, 15, Handle(), 0u, HV{0}), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 29, Handle()), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(otherInterface, 29, Handle()), 1);
  EXPECT_EQ(m_script.Ops(), (std::vector<std::string>{"bUnlockTable"}));
  EXPECT_EQ(otherScript.Ops(), (std::vector<std::string>{"bOpen", "bUnlockTable"}));

  // The other driver goes; the cache now holds this driver's table, which its orphaned interface must not reach.
  CallSlot<std::int32_t>(other, 6);
  gpDriver = m_driver;
  EXPECT_EQ(CallSlot<std::int32_t>(m_interface, 29, Handle()), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(otherInterface, 29, Handle()), 0);
  EXPECT_EQ(m_script.Ops(), (std::vector<std::string>{"bUnlockTable", "bUnlockTable"}));
  EXPECT_EQ(CallSlot<std::int32_t>(otherInterface, 6), 0);
  EXPECT_EQ(otherScript.tablesMade, otherScript.tablesDestroyed);
}

// The real driver chain with a connection to no server: the open family fails cleanly with the
// connection's error in the interface's holder and leaves no table and no reference behind.
TEST(AccessInterfaceRealDriverTest, OpenThroughTheOracleChainFailsCleanly) {
  doubles::EnsureLibrary();
  void* driver = piQueryInterface();
  qzrt::ConnectionDescription connection;
  qzrt::TableDescription description(u"ORDERS");
  qzrt::FileHandle handle(3, 30);
  void* accessInterface = CallSlot<void*>(driver, 13, &connection, &description);
  ASSERT_NE(accessInterface, nullptr);
  EXPECT_EQ(CallSlot<std::int32_t>(accessInterface, 15, &handle, 0u, HV{0}), 0);
  auto* holder = static_cast<CAccessInterface*>(accessInterface)->pGetErrorHolder();
  EXPECT_TRUE(holder->bHasError());
  EXPECT_EQ(static_cast<CAccessInterface*>(accessInterface)->nGetTableCount(), 0u);
  EXPECT_EQ(CallSlot<std::int32_t>(accessInterface, 26, &handle, u"K", 0u, 0u, 0u, HV{0}, 0u), 0);
  EXPECT_EQ(holder->nGetErrorCode(), 19u);
  EXPECT_EQ(CallSlot<std::int32_t>(accessInterface, 6), 0);
  EXPECT_EQ(CallSlot<std::int32_t>(driver, 6), 0);
  EXPECT_EQ(gpDriver, nullptr);
  EXPECT_EQ(connection.References(), 1);
  EXPECT_EQ(description.References(), 1);
}

}  // namespace
