// Test doubles of the driver's main classes, derived from the declared ones: a connection that records the SQL it
// would send and answers its open as told, a record description whose load answers as told, a table that counts
// its closes, and a driver object whose factories make these. Counters of live objects let tests check that every
// reference taken is given back.
#pragma once

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "engine/record/record_description.h"
#include "engine/table/table.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/x_error.h"
#include "host/host_value.h"
#include "host/library_entry.h"
#include "sql/connection.h"

namespace doubles {

// What a double throws when a test asks it to.
struct Fault : std::runtime_error {
  Fault() : std::runtime_error("double fault") {}
};

inline std::atomic<int> gnLiveConnections{0};
inline std::atomic<int> gnLiveTables{0};

class TestConnection : public CConnection {
 public:
  TestConnection(const char16_t* name, IHostConnectionDescription* description, bool flat = false)
      : CConnection(name, description) {
    if (flat) m_nNestedMode = 0;
    ++gnLiveConnections;
  }
  ~TestConnection() override { --gnLiveConnections; }

  int bOpen(CErrorHolder* holder, const char16_t*) override {
    ++opens;
    if (onOpen) onOpen();
    if (throwOnOpen) throw Fault();
    if (!openAnswer) RaiseNotAvailable(holder, ERROR_UNIT_CONNECTION, 99, this, nullptr);
    return openAnswer;
  }
  int bIsConnected() override { return openAnswer; }
  void Close(CErrorHolder*) override {}
  void FillTypeNameTable(CTypeNameTable*) override {}
  int bExecuteSql(CErrorHolder* holder, const char16_t* text) override {
    statements.emplace_back(text);
    if (!executeAnswer) RaiseNotAvailable(holder, ERROR_UNIT_CONNECTION, 98, this, nullptr);
    return executeAnswer;
  }
  int bExecuteSqlFetch(CErrorHolder*, void* value, std::uint32_t, const char16_t* text) override {
    statements.emplace_back(text);
    if (fetchAnswer) fetchAnswer(static_cast<CHostValue*>(value));
    return executeAnswer;
  }
  int bLockRows(CErrorHolder*, std::uintptr_t argument) override {
    lockRowsArguments.push_back(argument);
    return 1;
  }
  int bReleasesTablesAtLevelEnd() override { return releasesTables; }
  int bNullsSortFirst() override { return nullsFirst; }

  int openAnswer = 1;
  int nullsFirst = 1;
  int executeAnswer = 1;
  int releasesTables = 0;
  bool throwOnOpen = false;
  std::function<void()> onOpen;
  std::function<void(CHostValue*)> fetchAnswer;
  int opens = 0;
  std::vector<std::u16string> statements;
  std::vector<std::uintptr_t> lockRowsArguments;
};

class TestDescription : public CRecordDescription {
 public:
  using CRecordDescription::CRecordDescription;
  // Loads only the table names a test declared existing; a missing table is error 30, as the catalog says.
  int bLoad(std::uintptr_t) override {
    for (const std::u16string& name : existing) {
      if (name == pszGetName()) return 1;
    }
    RaiseModuleError(pGetErrorHolder(), 0, ERROR_UNIT_RECORD_DESCRIPTION, 1, nullptr, nullptr, missingCode,
                     pszGetName());
    return 0;
  }
  std::vector<std::u16string> existing;
  std::uint32_t missingCode = 30;
};

class TestTable : public CTable {
 public:
  TestTable(IHostFileDescription* description, CConnection* connection, CErrorHolder* holder)
      : CTable(description, connection, holder) {
    ++gnLiveTables;
  }
  int bClose() override {
    ++closes;
    return CTable::bClose();
  }
  void Open() { m_bOpen = 1; }
  TestTable* pClone(CHashTable&, RuntimeWord, RuntimeWord) override {
    return new TestTable(m_pRecordDescription, m_pConnection, m_pErrorHolder);
  }
  int closes = 0;

 protected:
  ~TestTable() override { --gnLiveTables; }
};

class TestDriver : public CDriver {
 public:
  TestDriver() { SetErrorHolder(pCreateErrorHolder()); }
  void DeletingDestructor(std::uint32_t flags) override { DestroyAs(this, flags); }

  CConnection* pCreateConnection(const char16_t* text, IHostConnectionDescription* description) override {
    auto* connection = new TestConnection(text, description, flat);
    if (onConnection) onConnection(connection);
    lastConnection = connection;
    return connection;
  }
  CRecordDescription* pCreateDescription(CConnection* connection, CErrorHolder* holder) override {
    auto* description = new TestDescription(connection, holder);
    description->existing = existingTables;
    description->missingCode = missingCode;
    return description;
  }
  CTable* pCreateTable(IHostFileDescription* description, CConnection* connection, CErrorHolder* holder) override {
    if (failTables) return nullptr;
    return new TestTable(description, connection, holder);
  }
  CTableRegistry* pCreateTableRegistry() override { return failRegistries ? nullptr : CDriver::pCreateTableRegistry(); }

  bool flat = true;
  bool failTables = false;
  bool failRegistries = false;
  std::vector<std::u16string> existingTables;
  std::uint32_t missingCode = 30;
  std::function<void(TestConnection*)> onConnection;
  TestConnection* lastConnection = nullptr;
};

// The process-wide lock exists once the library is initialised; every test that drives the driver needs it.
inline void EnsureLibrary() { bInitLibrary(nullptr); }

inline std::u16string U16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// Whether the holder's error carries the identification record of that unit and point.
inline bool HasIdentification(CErrorHolder* holder, unsigned unit, unsigned point) {
  const std::u16string debug = holder->pGetEmbeddedObject()->pszGetDebugText();
  const std::u16string record = U16("IEQZORA=" + std::to_string(unit) + "." + std::to_string(point) +
                                    "\r\nModule=<QZORA>\r\nVersion=<17.0.65.0>");
  return debug.find(record) != std::u16string::npos;
}

}  // namespace doubles
