#include "tools/qzhost/host.h"

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "platform/utf8.h"
#include "standin/runtime/runtime_objects.h"
#include "standin/runtime/runtime_standin.h"
#include "standin/runtime/slot_call.h"
#include "tools/qzhost/host_state.h"

namespace qzhost {

const char* const kStartupScript =
    "init\n"
    "expect 1\n"
    "compatible 7 23\n"
    "expect 1\n"
    "compatible 28 23\n"
    "expect 1\n"
    "attach 32\n"
    "expect 1\n"
    "query-state 0\n"
    "bind-values\n"
    "expect 1\n"
    "driver\n"
    "expect 1\n"
    "connect DEMO SYSTEM manager\n"
    "disconnect\n"
    "release\n"
    "detach\n"
    "expect 1\n";

namespace {

std::u16string Widen(const std::string& text) { return platform::ToUtf16(text); }
long long Wide(std::intptr_t value) { return static_cast<long long>(value); }
const char* YesNo(bool yes) { return yes ? "yes" : "no"; }

// What an error state tells the runtime, in words.
const char* StateMeaning(std::uint32_t recorded) {
  switch (recorded) {
    case 1:
      return "locked or busy: another session holds it";
    case 3:
      return "a duplicate of a unique key";
    case 4:
      return "an integrity constraint";
    case 7:
      return "refused by this driver";
    case 8:
      return "a value is required";
    default:
      return "no particular state";
  }
}

void PrintError(const qzrt::ErrorReport& error) {
  if (!error.code && !error.state && error.message.empty()) return;
  // The server's own line first, when the message carries one.
  const std::size_t ora = error.message.find("ORA-");
  if (ora != std::string::npos) {
    std::string line = error.message.substr(ora, error.message.find('\n', ora) - ora);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::printf("    error %s\n", line.c_str());
  }
  std::printf("    the runtime is told: error %u, state %d (%s)", error.code, static_cast<std::int32_t>(error.state),
              StateMeaning(error.state));
  if (!error.item.empty()) std::printf(", about %s of %s", error.item.c_str(), error.file.c_str());
  // The message's own lines: what the driver tells the user, without the statement dump that follows.
  std::istringstream lines(error.message);
  int shown = 0;
  for (std::string line; std::getline(lines, line) && shown < 2;) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line.rfind("ORA-", 0) == 0) continue;
    std::printf("\n    %s %s", shown++ ? "                     " : "the driver's message:", line.c_str());
  }
  std::printf("\n");
}

}  // namespace

bool Usage(const char* name, const char* arguments) {
  std::printf("usage: %s %s\n", name, arguments);
  return false;
}

void Tell(State& state, const std::string& what, std::intptr_t answer, const qzrt::ErrorReport& error) {
  state.last = answer;
  std::printf("%s -> %lld (%s)\n", what.c_str(), Wide(answer), answer ? "done" : "failed");
  state.error.reset();
  if (!answer) {
    state.error = error;
    PrintError(error);
  }
}

void State::ReleaseDriverObject() {
  tables.clear();
  for (auto& [name, description] : connections) {
    qzrt::CallSlot<std::int32_t>(object, kCloseConnection, static_cast<void*>(description.get()));
  }
  // The descriptions outlive the driver object: the tables it still keeps refer to them until it goes.
  if (object) object->nRelease();
  object = nullptr;
  connections.clear();
  closed.clear();
  queries.clear();
}

qzrt::ConnectionDescription* State::Connection() {
  auto found = connections.find(connection);
  return found == connections.end() ? nullptr : found->second.get();
}

ScriptTable* State::Table() {
  auto found = tables.find(table);
  return found == tables.end() ? nullptr : &found->second;
}

namespace {

// ---- the runtime's start-up, call by call ----------------------------------------------------------------------

bool Init(const Driver& driver, State& state, Words&) {
  state.last = driver.init(driver.module);
  std::printf("bInitLibrary -> %lld\n", Wide(state.last));
  return true;
}

bool Compatible(const Driver& driver, State& state, Words& words) {
  std::int32_t kind = 0;
  std::uint32_t version = 0;
  if (!(words >> kind >> version)) return Usage("compatible", "KIND VERSION");
  std::uint32_t out = 0xFFFFFFFF;
  state.last = driver.compatible(kind, version, &out);
  std::printf("bDLLCompatible(kind %d, version %u) -> %lld, out %u\n", kind, version, Wide(state.last), out);
  return true;
}

// The attach call and the services the driver asked of the runtime during it.
std::intptr_t CallAttach(const Driver& driver, std::uint32_t size, void* module, std::string& asked) {
  qzrt::ClearServiceQuestions();
  std::vector<unsigned char> record = qzrt::MakeAttachRecord(size, module, 0, 0, 0);
  const std::intptr_t answer = driver.execution(3985, reinterpret_cast<std::intptr_t>(record.data()), 0, 0);
  for (std::intptr_t service : qzrt::ServiceQuestions()) asked += ' ' + std::to_string(service);
  if (asked.empty()) asked = " none";
  return answer;
}

bool Attach(const Driver& driver, State& state, std::uint32_t size, void* module) {
  std::string asked;
  state.last = CallAttach(driver, size, module, asked);
  std::printf("Execution(attach, %u-byte record%s) -> %lld\n", size, module ? "" : ", no module", Wide(state.last));
  std::printf("  services asked of the runtime:%s\n", asked.c_str());
  return true;
}

bool AttachWithModule(const Driver& driver, State& state, Words& words) {
  std::uint32_t size = 32;
  words >> size;
  return Attach(driver, state, size, qzrt::ModuleHandle());
}

bool AttachWithoutModule(const Driver& driver, State& state, Words& words) {
  std::uint32_t size = 32;
  words >> size;
  return Attach(driver, state, size, nullptr);
}

bool Detach(const Driver& driver, State& state, Words&) {
  state.last = driver.execution(4875, 0, 0, 0);
  std::printf("Execution(detach) -> %lld\n", Wide(state.last));
  return true;
}

bool QueryState(const Driver& driver, State& state, Words& words) {
  std::intptr_t argument = 0;
  words >> argument;
  state.last = driver.execution(4963, argument, 0, 0);
  std::printf("Execution(query state, %lld) -> %lld\n", Wide(argument), Wide(state.last));
  return true;
}

bool BindValues(const Driver& driver, State& state, Words&) {
  const int conversions = driver.bindConversions(qzrt::ModuleHandle(), 2, 2);
  const int calculations = driver.bindCalculations(qzrt::ModuleHandle(), 2, 2);
  state.last = conversions && calculations;
  std::printf("bInitKXConvFromVM -> %d, bInitKXCalcFromVM -> %d\n", conversions, calculations);
  return true;
}

bool TakeDriverObject(const Driver& driver, State& state, Words&) {
  auto* object = static_cast<IDriverObject*>(driver.queryInterface());
  state.last = object != nullptr;
  if (!object) {
    std::printf("piQueryInterface -> none\n");
    return true;
  }
  std::printf("piQueryInterface -> a driver object, interface version %d (from %d)\n", object->nGetInterfaceVersion(),
              object->nGetInterfaceMinVersion());
  state.ReleaseDriverObject();
  state.object = object;
  return true;
}

bool ReleaseObject(const Driver&, State& state, Words&) {
  state.last = state.object != nullptr;
  state.ReleaseDriverObject();
  return true;
}

// The same start-up in one step, told in words: what the demo shows a reader.
bool Start(const Driver& driver, State& state, Words&) {
  std::uint32_t out = 0;
  const int initialised = driver.init(driver.module);
  const int runtimeAccepted = driver.compatible(7, 23, &out);
  const int engineAccepted = driver.compatible(28, 23, &out);
  std::string asked;
  const std::intptr_t attached = CallAttach(driver, 32, qzrt::ModuleHandle(), asked);
  const int bound =
      driver.bindConversions(qzrt::ModuleHandle(), 2, 2) && driver.bindCalculations(qzrt::ModuleHandle(), 2, 2);
  auto* object = static_cast<IDriverObject*>(driver.queryInterface());
  state.last = initialised && runtimeAccepted && engineAccepted && attached && bound && object;
  std::printf("start the driver as the runtime does -> %s\n", state.last ? "done" : "failed");
  std::printf("    library initialised: %s; runtime 23 and SQL engine 23 accepted: %s, %s\n", YesNo(initialised),
              YesNo(runtimeAccepted), YesNo(engineAccepted));
  std::printf("    attached: %s (services asked of the runtime:%s); conversions bound: %s\n", YesNo(attached != 0),
              asked.c_str(), YesNo(bound));
  if (object) {
    std::printf("    driver object: interface version %d (accepts from %d)\n", object->nGetInterfaceVersion(),
                object->nGetInterfaceMinVersion());
    state.ReleaseDriverObject();
    state.object = object;
  }
  return true;
}

bool Stop(const Driver& driver, State& state, Words&) {
  state.ReleaseDriverObject();
  state.last = driver.execution(4875, 0, 0, 0);
  std::printf("stop: the runtime closes its connections, gives the driver object back and detaches -> %s\n",
              state.last ? "done" : "failed");
  return true;
}

// ---- connections -----------------------------------------------------------------------------------------------

bool Connect(const Driver&, State& state, Words& words) {
  std::string source, user, password, as, name;
  if (!(words >> source >> user >> password)) return Usage("connect", "DSN USER PASSWORD [as NAME]");
  if (words >> as && (as != "as" || !(words >> name))) return Usage("connect", "DSN USER PASSWORD [as NAME]");
  if (!state.object) return Usage("driver", "(before connect)");
  if (name.empty()) name = source;
  auto description = std::make_unique<qzrt::ConnectionDescription>();
  description->SetText(qzrt::ConnectionDescription::kDataSource, Widen(source));
  description->SetText(qzrt::ConnectionDescription::kUserId, Widen(user));
  description->SetText(qzrt::ConnectionDescription::kPassword, Widen(password));
  description->SetText(qzrt::ConnectionDescription::kName, Widen(name));
  const std::int32_t answer =
      qzrt::CallSlot<std::int32_t>(state.object, kOpenConnection, static_cast<void*>(description.get()));
  Tell(state, "open connection " + (name == source ? "" : name + " ") + "to " + source + " as " + user, answer,
       qzrt::DriverSession(state.object).Error());
  // Kept even when the open failed: the runtime closes what it asked to open before its description goes.
  auto& slot = state.connections[name];
  if (slot) {
    qzrt::CallSlot<std::int32_t>(state.object, kCloseConnection, static_cast<void*>(slot.get()));
    state.closed.push_back(std::move(slot));
  }
  slot = std::move(description);
  state.connection = name;
  return true;
}

bool Disconnect(const Driver&, State& state, Words& words) {
  std::string name = state.connection;
  words >> name;
  auto found = state.connections.find(name);
  if (!state.object || found == state.connections.end()) return Usage("disconnect", "[NAME] (of a connection)");
  state.last = qzrt::CallSlot<std::int32_t>(state.object, kCloseConnection, static_cast<void*>(found->second.get()));
  std::printf("close connection %s -> %lld\n", name.c_str(), Wide(state.last));
  // Its tables go with it.
  for (auto table = state.tables.begin(); table != state.tables.end();) {
    table = table->second.connection == name ? state.tables.erase(table) : std::next(table);
  }
  state.closed.push_back(std::move(found->second));
  state.connections.erase(found);
  return true;
}

// ---- checks ----------------------------------------------------------------------------------------------------

bool Expect(const Driver&, State& state, Words& words) {
  std::string first;
  if (!(words >> first)) return Usage("expect", "VALUE | ORA-nnnnn [state N] | ITEM=VALUE...");
  char* end = nullptr;
  const long long expected = std::strtoll(first.c_str(), &end, 10);
  if (*end) return ExpectRecordOrError(state, first, words);
  if (expected != static_cast<long long>(state.last)) {
    std::printf("  expected %lld, got %lld\n", expected, Wide(state.last));
    return false;
  }
  return true;
}

const Host::Command kCommands[] = {
    {"The runtime's start-up and shutdown, call by call", "init", "",
     "bInitLibrary with the driver's module (the runtime's own call after loading)", Init},
    {nullptr, "compatible", "KIND VERSION", "bDLLCompatible", Compatible},
    {nullptr, "attach", "[SIZE]", "Execution attach with the runtime stand-in's module (record of 24 or 32 bytes)",
     AttachWithModule},
    {nullptr, "attach-nomodule", "[SIZE]", "Execution attach with a record naming no module", AttachWithoutModule},
    {nullptr, "detach", "", "Execution detach", Detach},
    {nullptr, "query-state", "ARG", "Execution query state", QueryState},
    {nullptr, "bind-values", "", "bInitKXConvFromVM and bInitKXCalcFromVM with the runtime stand-in's module",
     BindValues},
    {nullptr, "driver", "", "piQueryInterface, then the object's interface versions; the host keeps the object",
     TakeDriverObject},
    {nullptr, "release", "", "the host closes its connections and gives its driver object back, as the runtime does",
     ReleaseObject},
    {"Start-up and shutdown, one step each", "start", "",
     "the whole start-up above in one step (init, compatible 7 and 28, attach, bind-values, driver)", Start},
    {nullptr, "stop", "", "release, then detach", Stop},
    {"Connections", "connect", "DSN USER PASSWORD [as NAME]",
     "the driver object opens a connection, named NAME (the DSN by default); a failure shows the driver's error",
     Connect},
    {nullptr, "disconnect", "[NAME]", "the driver object closes a connection (the last one opened by default)",
     Disconnect},
    {nullptr, "with", "NAME", "the next steps run on that connection", With},
    {"Transactions (on the current connection)", "begin", "[NAME]",
     "begins a transaction, or a nested level inside the one begun (named NAME when given)", Begin},
    {nullptr, "commit", "[NAME]", "commits the innermost level, or the level named NAME", Commit},
    {nullptr, "rollback", "[NAME]", "rolls the innermost level back, or the level named NAME", Rollback},
    {"Statements and tables", "sql", "STATEMENT", "runs a statement's SQL text as it stands (CREATE, INSERT, ...)",
     Sql},
    {nullptr, "query", "NAME SELECT...", "runs a query given as SQL text; its rows become the table NAME",
     Query},
    {nullptr, "describe", "TABLE [as NAME]",
     "the driver describes a table of the database (columns, keys) and hands out its access interface; the table "
     "is in use from now on, named NAME when given (another connection's view of the same table)",
     Describe},
    {nullptr, "use", "NAME", "the next steps use that table (and its connection)", Use},
    {nullptr, "create", "", "the driver creates the table from its description (dropped first) and opens it", Create},
    {nullptr, "open", "", "opens the table", Open},
    {nullptr, "close", "", "closes the table", Close},
    {nullptr, "copy", "as NAME",
     "copies the session context of the table in use, as the runtime does; NAME is the table's copy, read on from "
     "where the table stood",
     Copy},
    {"Records (of the table in use)", "set", "ITEM=VALUE...",
     "fills fields of the current record (NULL for no value; no blanks inside a value)", Set},
    {nullptr, "add", "", "adds the current record as a new row", Add},
    {nullptr, "modify", "[locked]", "writes the current record back (locked: keeps the record's lock)", Modify},
    {nullptr, "delete", "[locked]", "deletes the current record", Delete},
    {nullptr, "read", "first|next|last|previous [by KEY] [lock]",
     "reads through a key item (by default the key that identifies a record), locking the record read when asked", Read},
    {nullptr, "read", "record N [by KEY]", "reads the Nth record from the first (absolute positioning)", Read},
    {nullptr, "seek", "KEY VALUE [generic]",
     "the first record whose key holds the value (a number or a text); generic: whose key starts with it", Seek},
    {nullptr, "position", "[PER_MILLE] [by KEY]",
     "where the current record stands per mille of the key's records; with a number, goes to that position", Position},
    {nullptr, "lock", "[table MODE]", "locks the current record (table MODE: the table, in that lock mode)", Lock},
    {nullptr, "unlock", "[table]", "releases the current record's lock (table: the table's lock)", Unlock},
    {nullptr, "write-lob", "ITEM LENGTH", "writes a text of LENGTH characters into a large item of the record",
     WriteLarge},
    {nullptr, "read-lob", "ITEM", "reads a large item back and compares it with what was written", ReadLarge},
    {"The catalog (of the current connection)", "catalog", "[KINDS]",
     "lists the objects of the database; KINDS adds up 1 tables, 2 views and synonyms, 4 with the system "
     "schemas (SYSTEM's own tables among them), 8 procedures and functions, 16 sorted (the default: 1)",
     Catalog},
    {nullptr, "links", "TABLE", "lists the referential links (foreign keys) from and to a table", Links},
    {"Checks", "expect", "VALUE", "stops the script unless the previous command answered VALUE", Expect},
    {nullptr, "expect", "ORA-nnnnn [state N]", "... unless it failed with that server error (and error state)", Expect},
    {nullptr, "expect", "ITEM=VALUE...", "... unless the current record holds those values (NULL for none)", Expect},
};

}  // namespace

void PrintCommands() {
  std::printf(
      "Script commands, one a line. Blank lines and lines starting with # are skipped; a line starting with\n"
      "## is printed as a heading.\n");
  for (const Host::Command& command : kCommands) {
    if (command.group) std::printf("\n%s:\n", command.group);
    std::printf("  %s%s%s\n", command.name, *command.arguments ? " " : "", command.arguments);
    // The help wrapped at the line width, under the command.
    std::istringstream words(command.help);
    std::string line;
    for (std::string word; words >> word;) {
      if (!line.empty() && line.size() + 1 + word.size() > 110) {
        std::printf("      %s\n", line.c_str());
        line.clear();
      }
      line += (line.empty() ? "" : " ") + word;
    }
    std::printf("      %s\n", line.c_str());
  }
}

Host::Host(const Driver& driver) : m_driver(driver), m_state(std::make_unique<State>()) {}

Host::~Host() { m_state->ReleaseDriverObject(); }

bool Host::Run(std::istream& script) {
  std::string line;
  int number = 0;
  while (std::getline(script, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::string command;
    if (!(words >> command)) continue;
    if (command.rfind("##", 0) == 0) {
      // A heading for the reader of the output.
      std::string heading = line.substr(line.find("##") + 2);
      if (!heading.empty() && heading[0] == ' ') heading.erase(0, 1);
      std::printf("\n== %s\n", heading.c_str());
      continue;
    }
    if (command[0] == '#') continue;
    if (!Step(command, words)) {
      std::printf("line %d: %s: failed\n", number, line.c_str());
      return false;
    }
  }
  return true;
}

bool Host::Step(const std::string& name, std::istringstream& words) {
  for (const Command& command : kCommands) {
    if (name == command.name) return command.run(m_driver, *m_state, words);
  }
  std::printf("unknown command %s (qzhost --help lists them)\n", name.c_str());
  return false;
}

}  // namespace qzhost
