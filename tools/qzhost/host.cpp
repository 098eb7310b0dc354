#include "tools/qzhost/host.h"

#include <cstdio>
#include <string>
#include <vector>

#include "platform/utf8.h"
#include "standin/runtime/runtime_objects.h"
#include "standin/runtime/runtime_standin.h"
#include "standin/runtime/slot_call.h"

// The first slots of the driver object, called as the runtime calls them (the compiler's member convention).
// Outside any namespace: the compiler must not take this interface for one without implementations.
class IDriverObject {
 public:
  virtual std::int32_t nGetInterfaceVersion() = 0;     // 0
  virtual std::int32_t nGetInterfaceMinVersion() = 0;  // 1
  virtual std::int32_t nReserved2() = 0;               // 2
  virtual std::int32_t nReserved3() = 0;               // 3
  virtual void Reserved4() = 0;                        // 4
  virtual std::uint32_t AddRef() = 0;                  // 5
  virtual std::int32_t nRelease() = 0;                 // 6
};

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

using Words = std::istringstream;

std::u16string Widen(const std::string& text) { return platform::ToUtf16(text); }
long long Wide(std::intptr_t value) { return static_cast<long long>(value); }
const char* YesNo(bool yes) { return yes ? "yes" : "no"; }

// The driver object's operations the host calls by number.
enum : std::size_t { kOpenConnection = 8, kCloseConnection = 9, kErrorHolder = 11 };
// An error holder's operations.
enum : std::size_t { kUserMessage = 5, kErrorCode = 6 };

}  // namespace

// What a script has built so far: the driver object and the connections it opened.
struct Host::State {
  std::intptr_t last = 0;
  IDriverObject* object = nullptr;  // the driver object, with the host's reference
  // The runtime's connection descriptions by the script's name for them; opened ones are closed at release.
  std::map<std::string, std::unique_ptr<qzrt::ConnectionDescription>> connections;
  std::string lastConnection;
};

struct Host::Command {
  const char* group;  // a heading in the command list where a group starts, else null
  const char* name;
  const char* arguments;
  const char* help;
  bool (*run)(const Driver& driver, State& state, Words& words);
};

namespace {

using State = Host::State;

bool Usage(const char* name, const char* arguments) {
  std::printf("usage: %s %s\n", name, arguments);
  return false;
}

void ReleaseDriverObject(State& state) {
  for (auto& [name, description] : state.connections) {
    qzrt::CallSlot<std::int32_t>(state.object, kCloseConnection, static_cast<void*>(description.get()));
  }
  state.connections.clear();
  if (state.object) state.object->nRelease();
  state.object = nullptr;
}

void PrintHolderError(void* holder) {
  const char16_t* message = holder ? qzrt::CallSlot<const char16_t*>(holder, kUserMessage) : nullptr;
  std::printf("  error %u: %s\n", holder ? qzrt::CallSlot<std::uint32_t>(holder, kErrorCode) : 0u,
              platform::ToUtf8(message ? message : u"").c_str());
}

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
  ReleaseDriverObject(state);
  state.object = object;
  return true;
}

bool ReleaseObject(const Driver&, State& state, Words&) {
  state.last = state.object != nullptr;
  ReleaseDriverObject(state);
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
    ReleaseDriverObject(state);
    state.object = object;
  }
  return true;
}

bool Stop(const Driver& driver, State& state, Words&) {
  ReleaseDriverObject(state);
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
  state.last = qzrt::CallSlot<std::int32_t>(state.object, kOpenConnection, static_cast<void*>(description.get()));
  std::printf("open connection to %s as %s -> %lld\n", source.c_str(), user.c_str(), Wide(state.last));
  if (!state.last) PrintHolderError(qzrt::CallSlot<void*>(state.object, kErrorHolder));
  // Kept even when the open failed: the runtime closes what it asked to open before its description goes.
  auto& slot = state.connections[name];
  if (slot) qzrt::CallSlot<std::int32_t>(state.object, kCloseConnection, static_cast<void*>(slot.get()));
  slot = std::move(description);
  state.lastConnection = name;
  return true;
}

bool Disconnect(const Driver&, State& state, Words& words) {
  std::string name = state.lastConnection;
  words >> name;
  auto found = state.connections.find(name);
  if (!state.object || found == state.connections.end()) return Usage("disconnect", "[NAME] (of a connection)");
  state.last = qzrt::CallSlot<std::int32_t>(state.object, kCloseConnection, static_cast<void*>(found->second.get()));
  std::printf("close connection %s -> %lld\n", name.c_str(), Wide(state.last));
  state.connections.erase(found);
  return true;
}

// ---- checks ----------------------------------------------------------------------------------------------------

bool Expect(const Driver&, State& state, Words& words) {
  long long expected = 0;
  if (!(words >> expected)) return Usage("expect", "VALUE");
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
    {"The same in one step each", "start", "",
     "the whole start-up above in one step (init, compatible 7 and 28, attach, bind-values, driver)", Start},
    {nullptr, "stop", "", "release, then detach", Stop},
    {"Connections", "connect", "DSN USER PASSWORD [as NAME]",
     "the driver object opens a connection, named NAME (the DSN by default); a failure shows the driver's error",
     Connect},
    {nullptr, "disconnect", "[NAME]", "the driver object closes a connection (the last one opened by default)",
     Disconnect},
    {"Checks", "expect", "VALUE", "stops the script unless the previous command answered VALUE", Expect},
};

}  // namespace

void PrintCommands() {
  std::printf(
      "Script commands, one a line. Blank lines and lines starting with # are skipped; a line starting with\n"
      "## is printed as a heading.\n");
  for (const Host::Command& command : kCommands) {
    if (command.group) std::printf("\n%s:\n", command.group);
    std::printf("  %s%s%s\n      %s\n", command.name, *command.arguments ? " " : "", command.arguments, command.help);
  }
}

Host::Host(const Driver& driver) : m_driver(driver), m_state(std::make_unique<State>()) {}

Host::~Host() { ReleaseDriverObject(*m_state); }

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
