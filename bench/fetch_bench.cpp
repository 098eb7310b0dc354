// Reading a whole table against what the client costs by itself. A table of NUMBER, VARCHAR2 and DATE columns is read
// through the access interface as the runtime reads it (first, then next until the end, each record's values loaded
// into the record), and the same rows are read by the client's own loop: the statement calls the driver's read made,
// replayed from the stand-in's call log (the same SELECT, prefetch, execution mode, defines and define attributes),
// then one fetch after another until no data. Both run on the OCI stand-in through the one client library the driver
// loaded.
//
// The driver loads a NUMBER into the record through the client's text of it (OCINumberToText with the column's mask),
// one client call per value that the plain loop does not make. A second loop makes those calls too, with the masks
// the driver's read used: its ratio is what the driver's own work adds (goal: within 1.6x). The ratio to the plain
// loop is printed as a figure only: the stand-in's number-to-text call alone costs about as much as the whole plain
// loop. A table gives both ratios after the run.
//
// Sizes: 1000 rows and QZ_FETCH_ROWS (100000 unless set); each table is filled once.
#include <benchmark/benchmark.h>

#include "bench/ratio_table.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "driver/access_interface.h"
#include "driver/driver.h"
#include "engine/record/record_description.h"
#include "foundation/error_holder.h"
#include "foundation/host_locale.h"
#include "foundation/x_error.h"
#include "host/export.h"
#include "host/host_services.h"
#include "host/library_entry.h"
#include "host/value_entry_points.h"
#include "oracle/client/client_loader.h"
#include "oracle/client/oci_entries.h"
#include "oracle/client/oci_value_calls.h"
#include "oracle/oracle_connection.h"
#include "platform/code_page.h"
#include "platform/module.h"
#include "sql/connection.h"
#include "standin/runtime/runtime_objects.h"
#include "standin/runtime/runtime_standin.h"

namespace {

using oci::OCIDefine;
using oci::OCIError;
using oci::OCIStmt;
using oci::OCISvcCtx;
using oci::OraText;
using oci::sb2;
using oci::sb4;
using oci::sword;
using oci::ub1;
using oci::ub2;
using oci::ub4;

constexpr std::uint32_t kReadFirst = 0;
constexpr std::uint32_t kReadNext = 2;
constexpr std::uint64_t kContextId = 25;  // the runtime's context of the handles: any number does
constexpr const char16_t* kKey = u"K";

// The client's published numbers the loop uses.
constexpr ub4 kHandleStatement = 4;
constexpr ub4 kHandleDefine = 6;
constexpr ub4 kAttrCharsetId = 31;
constexpr ub4 kAttrCharsetForm = 32;
constexpr ub2 kFetchNext = 2;
constexpr sword kSuccess = 0;
constexpr sword kSuccessWithInfo = 1;
constexpr sword kNoData = 100;
constexpr ub2 kSqltVnu = 6;

std::vector<std::int64_t> Sizes() {
  const char* text = std::getenv("QZ_FETCH_ROWS");
  const std::int64_t rows = text ? std::atoll(text) : 0;
  const std::int64_t large = rows > 0 ? rows : 100000;
  if (large == 1000) return {1000};
  return {1000, large};
}

std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

// The error an operation left: its code and its user message.
std::string Report(CErrorHolder* holder) {
  if (!holder || !holder->pGetEmbeddedObject()) return "";
  const CXError& error = *holder->pGetEmbeddedObject();
  return "error " + std::to_string(holder->nGetErrorCode()) + ": " + Narrow(error.pszGetUserMessage());
}

// ---- the stand-in's control entries and the client's entries, from the module the driver loaded ------------------

template <typename Fn>
Fn ClientEntry(const char* name) {
  return reinterpret_cast<Fn>(platform::FindModuleEntry(hGetOracleClientModule(), name));
}

template <std::uint32_t Slot>
typename oci::SEntryType<Slot>::Type Entry() {
  return ClientEntry<typename oci::SEntryType<Slot>::Type>(gapszOciEntryNames[Slot]);
}

std::vector<std::string> CallLog() {
  const auto count = ClientEntry<unsigned (*)()>("qzociCallCount");
  const auto get = ClientEntry<unsigned (*)(unsigned, char*, unsigned)>("qzociGetCall");
  std::vector<std::string> lines;
  for (unsigned k = 0, n = count(); k < n; ++k) {
    std::vector<char> buffer(get(k, nullptr, 0) + 1);
    get(k, buffer.data(), static_cast<unsigned>(buffer.size()));
    lines.emplace_back(buffer.data());
  }
  return lines;
}

// The text of a logged call between `from` and `to` (to the end of the line when `to` is absent).
std::string Field(const std::string& line, const std::string& from, const std::string& to = " ") {
  const std::size_t at = line.find(from);
  if (at == std::string::npos) return "";
  const std::size_t start = at + from.size();
  const std::size_t end = to.empty() ? std::string::npos : line.find(to, start);
  return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

ub4 Number(const std::string& line, const std::string& name) {
  return static_cast<ub4>(std::strtoul(Field(line, name + "=").c_str(), nullptr, 0));
}

// ---- what the client's loop replays ---------------------------------------------------------------------------------

struct SAttribute {
  ub4 attribute;
  ub4 value;
};

struct SDefine {
  ub4 position;
  ub2 type;
  sb4 size;
  std::vector<SAttribute> attributes;
};

// The statement calls of one driver read, as the stand-in logged them.
struct SStatementCalls {
  std::string sql;
  std::vector<SAttribute> attributes;  // of the statement, before its execution
  ub4 executeMode = 0;
  std::vector<SDefine> defines;
  std::vector<std::string> numberMasks;  // of the number texts asked after a row's fetch, in order
};

// The calls from the last statement prepared on; false when the log holds none.
bool ReadStatementCalls(const std::vector<std::string>& log, SStatementCalls& calls) {
  std::size_t start = log.size();
  for (std::size_t k = 0; k < log.size(); ++k) {
    if (log[k].rfind("OCIStmtPrepare ", 0) == 0) start = k;
  }
  if (start == log.size()) return false;
  calls = SStatementCalls();
  calls.sql = Field(log[start], "sql=", " language=");
  for (std::size_t k = start + 1; k < log.size(); ++k) {
    const std::string& line = log[k];
    if (line.rfind("OCIAttrSet ", 0) == 0) {
      const SAttribute set{Number(line, "attr"), Number(line, "value")};
      if (Number(line, "htype") == kHandleDefine && !calls.defines.empty()) {
        calls.defines.back().attributes.push_back(set);
      } else if (Number(line, "htype") == kHandleStatement) {
        calls.attributes.push_back(set);
      }
    } else if (line.rfind("OCIStmtExecute ", 0) == 0) {
      calls.executeMode = Number(line, "mode");
    } else if (line.rfind("OCIDefineByPos ", 0) == 0) {
      calls.defines.push_back({Number(line, "position"),
                               static_cast<ub2>(Number(line, "dty")),
                               static_cast<sb4>(Number(line, "size")),
                               {}});
    } else if (line.rfind("OCINumberToText ", 0) == 0) {
      calls.numberMasks.push_back(Field(line, "fmt=", ""));
    }
  }
  return !calls.defines.empty();
}

// ---- the session: the driver, its connection on the stand-in, the tables -------------------------------------------

// The runtime's handle of an open table: two identifiers, read at every call of the access interface. The runtime
// stand-in's handle logs each call it answers, which a read of 10^5 rows would measure in place of the driver.
class CFileHandle final : public IHostFileHandle {
 public:
  CFileHandle(std::uint64_t context, std::uint64_t file) : m_context(context), m_file(file) {}
  void Slot0() override {}
  void Slot1() override {}
  void Slot2() override {}
  void Slot3() override {}
  void Slot4() override {}
  void Slot5() override {}
  void Slot6() override {}
  std::uint64_t nGetFileId() override { return m_file; }
  std::uint64_t nGetContextId() override { return m_context; }

 private:
  std::uint64_t m_context;
  std::uint64_t m_file;
};

// A table of one size, open through the access interface the runtime would read it through.
struct STable {
  std::int64_t rows = 0;
  bool ready = false;
  CRecordDescription* description = nullptr;
  CAccessInterface* access = nullptr;
  std::unique_ptr<CFileHandle> handle;
  SStatementCalls calls;
};

// Built on first use, given back at the end of main.
struct SSession {
  CDriver* driver = nullptr;
  CErrorHolder* holder = nullptr;
  std::unique_ptr<qzrt::ConnectionDescription> connectionDescription;
  COracleConnection* connection = nullptr;
  std::map<std::int64_t, STable> tables;
  std::string failure;

  bool Start();
  STable* Table(std::int64_t rows);
  bool Fill(const std::string& name, std::int64_t rows);
  void Finish();
};

SSession& Session() {
  static SSession session;
  return session;
}

std::unique_ptr<qzrt::ConnectionDescription> Description(const std::u16string& name) {
  using D = qzrt::ConnectionDescription;
  auto description = std::make_unique<D>();
  description->SetText(D::kName, name);
  description->SetText(D::kDataSource, std::u16string(u"FETCHBENCH"));
  description->SetText(D::kUserId, std::u16string(u"SYSTEM"));
  description->SetText(D::kPassword, std::u16string(u"manager"));
  description->SetText(D::kExtendedInformation, std::u16string());
  return description;
}

IHostConnectionDescription* Host(qzrt::ConnectionDescription& description) {
  return reinterpret_cast<IHostConnectionDescription*>(&description);
}

bool SSession::Start() {
  if (driver) return true;
  if (!failure.empty()) return false;
  qzrt::Reset();
  gpHostLocale = static_cast<IHostLocaleService*>(qzrt::LocaleService());
  gpHostStringAllocator = static_cast<IHostStringAllocator*>(qzrt::StringAllocator());
  bInitLibrary(nullptr);
  if (bInitKXConvFromVM(qzrt::ModuleHandle(), 2, 2) != 1 || bInitKXCalcFromVM(qzrt::ModuleHandle(), 2, 2) != 1) {
    failure = "the runtime's entry points cannot be bound";
    return false;
  }
  driver = static_cast<CDriver*>(piQueryInterface());
  holder = driver->pGetErrorHolder();
  // The stand-in's data sources can be made once it is loaded: a first open loads it and fails.
  auto probe = Description(u"probe");
  driver->bOpenConnection(Host(*probe));
  const auto create = bIsOracleClientLoaded() ? ClientEntry<int (*)(const char*)>("qzociCreateDataSource") : nullptr;
  if (!create || create("FETCHBENCH") != 0) {
    failure = "the client stand-in does not load beside the program";
    return false;
  }
  holder->Clear();
  connectionDescription = Description(u"bench");
  if (driver->bOpenConnection(Host(*connectionDescription)) != 1) {
    failure = "the connection does not open: " + Report(holder);
    return false;
  }
  CConnection* found = driver->pFindConnection(Host(*connectionDescription));
  connection = static_cast<COracleConnection*>(found);
  if (found) found->nRelease();  // the driver's registry keeps it
  return connection != nullptr;
}

// One row, then the table inserted into itself with its keys moved past the last, until it has the rows.
bool SSession::Fill(const std::string& name, std::int64_t rows) {
  auto run = [&](const std::string& sql) {
    const std::u16string wide(sql.begin(), sql.end());
    if (connection->bExecuteSql(holder, wide.c_str())) return true;
    failure = sql + ": " + Report(holder);
    return false;
  };
  if (!run("CREATE TABLE " + name + " (K NUMBER(10) PRIMARY KEY, AMOUNT NUMBER(12,2), NAME VARCHAR2(40), BORN DATE)") ||
      !run("INSERT INTO " + name +
           " VALUES (1, 1234.56, 'a name of some length', TO_DATE('2024-05-17 10:30:00', 'YYYY-MM-DD HH24:MI:SS'))")) {
    return false;
  }
  for (std::int64_t have = 1; have < rows; have *= 2) {
    const std::string shift = std::to_string(have);
    if (!run("INSERT INTO " + name + " SELECT K + " + shift + ", AMOUNT + K, NAME, BORN FROM " + name + " WHERE K + " +
             shift + " <= " + std::to_string(rows))) {
      return false;
    }
  }
  return run("COMMIT");
}

STable* SSession::Table(std::int64_t rows) {
  if (!Start()) return nullptr;
  if (auto found = tables.find(rows); found != tables.end()) return found->second.ready ? &found->second : nullptr;
  STable& table = tables[rows];
  table.rows = rows;
  const std::string name = "FETCH_" + std::to_string(rows);
  if (!Fill(name, rows)) return nullptr;
  const std::u16string wide(name.begin(), name.end());
  table.description = driver->pGetRecordDescription(wide.c_str(), Host(*connectionDescription));
  if (!table.description) {
    failure = "the table cannot be described: " + Report(holder);
    return nullptr;
  }
  table.access = driver->piGetAccessInterface(Host(*connectionDescription),
                                              reinterpret_cast<IHostFileDescription*>(table.description));
  table.handle = std::make_unique<CFileHandle>(kContextId, static_cast<std::uint64_t>(rows));
  if (!table.access || table.access->bOpen(table.handle.get(), 0, 0) != 1) {
    failure = "the table does not open: " + Report(holder);
    return nullptr;
  }
  // The first read runs the statement whose calls the client's loop replays (the log keeps only its latest calls).
  ClientEntry<void (*)()>("qzociClearCallLog")();
  if (table.access->bRead(table.handle.get(), kKey, kReadFirst, 0, 0, 0, 0) != 1 ||
      !ReadStatementCalls(CallLog(), table.calls)) {
    failure = "the first read fails: " + Report(table.access->pGetErrorHolderFor(table.handle.get()));
    return nullptr;
  }
  // Neither loop is a test: the stand-in stops logging, counting and formatting the calls a real client never would.
  ClientEntry<void (*)(int)>("qzociWatchCalls")(0);
  table.ready = true;
  return &table;
}

void SSession::Finish() {
  for (auto& [rows, table] : tables) {
    if (table.access) {
      if (table.handle) table.access->bClose(table.handle.get());
      table.access->nReleaseExternalRef();
    }
    if (table.description) table.description->nReleaseExternal();
  }
  tables.clear();
  if (connectionDescription && driver) driver->bCloseConnection(Host(*connectionDescription));
  if (driver) driver->nRelease();
  driver = nullptr;
}

// ---- the driver: first, then next until the end -------------------------------------------------------------------

// The rows read, or -1 when a read failed.
std::int64_t ReadAll(STable& table) {
  std::int64_t n = 0;
  for (std::uint32_t direction = kReadFirst;; direction = kReadNext) {
    if (table.access->bRead(table.handle.get(), kKey, direction, 0, 0, 0, 0) != 1) return -1;
    std::uint32_t out = 1;
    table.access->bGetOutOfRange(table.handle.get(), kKey, reinterpret_cast<RuntimeWord>(&out));
    if (out) return n;
    ++n;
  }
}

void DriverRead(benchmark::State& state, std::int64_t rows) {
  STable* table = Session().Table(rows);
  if (!table) {
    state.SkipWithError(Session().failure.c_str());
    return;
  }
  for (auto _ : state) {
    const std::int64_t n = ReadAll(*table);
    if (n != table->rows) {
      const std::string why = "the driver read " + std::to_string(n) + " rows";
      state.SkipWithError(why.c_str());
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * table->rows);
}

// ---- the client's own loop ----------------------------------------------------------------------------------------

// The statement text in the environment's character set: UTF-16 or the client's narrow text.
std::string ClientText(const std::string& utf8, bool wide) {
  if (!wide) return utf8;
  const int n = platform::MultiByteToWide(65001, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::u16string text(static_cast<std::size_t>(n), u'\0');
  platform::MultiByteToWide(65001, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), n);
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

// withTexts: each row's NUMBER values are also turned into text, each number define with the next of the masks.
void ClientRead(benchmark::State& state, std::int64_t rows, bool withTexts) {
  STable* table = Session().Table(rows);
  if (!table) {
    state.SkipWithError(Session().failure.c_str());
    return;
  }
  COracleConnection* connection = Session().connection;
  auto* error = static_cast<OCIError*>(connection->m_pErrorHandle);
  auto* service = static_cast<OCISvcCtx*>(connection->m_pServiceContext);
  const auto handleAlloc = Entry<OCI_SLOT_OCIHandleAlloc>();
  const auto handleFree = Entry<OCI_SLOT_OCIHandleFree>();
  const auto prepare = Entry<OCI_SLOT_OCIStmtPrepare>();
  const auto attrSet = Entry<OCI_SLOT_OCIAttrSet>();
  const auto define = Entry<OCI_SLOT_OCIDefineByPos>();
  const auto execute = Entry<OCI_SLOT_OCIStmtExecute>();
  const auto fetch = ClientEntry<sword (*)(OCIStmt*, OCIError*, ub4, ub2, sb4, ub4)>("OCIStmtFetch2");
  const SStatementCalls& calls = table->calls;
  const auto numberToText = Entry<OCI_SLOT_OCINumberToText>();
  const bool wide = connection->nGetSessionCodePage() == SESSION_CODE_PAGE_UTF16;
  const std::string sql = ClientText(calls.sql, wide);
  const std::string nls = ClientText(Narrow(NUMBER_NLS_PARAMETERS), wide);
  std::vector<std::pair<const ub1*, std::string>> texts;  // a number define's buffer, its mask

  struct SBuffer {
    std::vector<ub1> value;
    sb2 indicator = 0;
    ub2 length = 0;
    ub2 code = 0;
  };
  std::vector<SBuffer> buffers(calls.defines.size());
  for (std::size_t i = 0; i < calls.defines.size(); ++i) {
    buffers[i].value.resize(static_cast<std::size_t>(calls.defines[i].size));
    if (withTexts && calls.defines[i].type == kSqltVnu && texts.size() < calls.numberMasks.size()) {
      texts.emplace_back(buffers[i].value.data(), ClientText(calls.numberMasks[texts.size()], wide));
    }
  }
  char16_t text[64];

  std::int64_t n = 0;
  sword status = kSuccess;
  sword textStatus = kSuccess;
  for (auto _ : state) {
    void* statement = nullptr;
    handleAlloc(connection->m_pEnvironment, &statement, kHandleStatement, 0, nullptr);
    auto* stmt = static_cast<OCIStmt*>(statement);
    prepare(stmt, error, reinterpret_cast<const OraText*>(sql.data()), static_cast<ub4>(sql.size()), 1, 0);
    for (SAttribute set : calls.attributes)
      attrSet(statement, kHandleStatement, &set.value, sizeof set.value, set.attribute, error);
    status = execute(service, stmt, error, 0, 0, nullptr, nullptr, calls.executeMode);
    for (std::size_t i = 0; i < calls.defines.size() && status == kSuccess; ++i) {
      const SDefine& d = calls.defines[i];
      SBuffer& b = buffers[i];
      OCIDefine* handle = nullptr;
      status =
          define(stmt, &handle, error, d.position, b.value.data(), d.size, d.type, &b.indicator, &b.length, &b.code, 0);
      for (SAttribute set : d.attributes) {
        ub2 id = static_cast<ub2>(set.value);
        ub1 form = static_cast<ub1>(set.value);
        if (set.attribute == kAttrCharsetId) attrSet(handle, kHandleDefine, &id, sizeof id, set.attribute, error);
        if (set.attribute == kAttrCharsetForm) attrSet(handle, kHandleDefine, &form, sizeof form, set.attribute, error);
      }
    }
    n = 0;
    while (status == kSuccess || status == kSuccessWithInfo) {
      status = fetch(stmt, error, 1, kFetchNext, 0, 0);
      if (status != kSuccess && status != kSuccessWithInfo) break;
      ++n;
      for (const auto& [number, mask] : texts) {
        ub4 size = sizeof text;
        textStatus |= numberToText(error, reinterpret_cast<const oci::OCINumber*>(number),
                                   reinterpret_cast<const OraText*>(mask.data()), static_cast<ub4>(mask.size()),
                                   reinterpret_cast<const OraText*>(nls.data()), static_cast<ub4>(nls.size()), &size,
                                   reinterpret_cast<OraText*>(text));
      }
    }
    benchmark::DoNotOptimize(buffers.data());
    benchmark::DoNotOptimize(text);
    handleFree(statement, kHandleStatement);
    if (status != kNoData || n != table->rows || textStatus != kSuccess) break;
  }
  if (status != kNoData || n != table->rows || textStatus != kSuccess) {
    const std::string why = "the client's loop read " + std::to_string(n) + " rows, status " + std::to_string(status) +
                            (textStatus != kSuccess ? ", a number text failed" : "");
    state.SkipWithError(why.c_str());
    return;
  }
  state.SetItemsProcessed(state.iterations() * table->rows);
}

std::vector<bench::SRatioPair> RegisterAll() {
  std::vector<bench::SRatioPair> pairs;
  for (const std::int64_t rows : Sizes()) {
    const std::string size = std::to_string(rows);
    const std::string driver = "fetch/driver/" + size;
    const std::string client = "fetch/client/" + size;
    const std::string texts = "fetch/client_texts/" + size;
    benchmark::RegisterBenchmark(driver.c_str(), [rows](benchmark::State& s) {
      DriverRead(s, rows);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(client.c_str(), [rows](benchmark::State& s) {
      ClientRead(s, rows, false);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(texts.c_str(), [rows](benchmark::State& s) {
      ClientRead(s, rows, true);
    })->Unit(benchmark::kMillisecond);
    pairs.push_back({driver, client, bench::kNoGoal, "fetch_" + size});
    pairs.push_back({driver, texts, 1.6, "fetch_" + size + "_texts"});
  }
  return pairs;
}

}  // namespace

int main(int argc, char** argv) {
  const int answer = bench::nRunWithRatioTable(argc, argv, RegisterAll(), 18);
  Session().Finish();
  return answer;
}
