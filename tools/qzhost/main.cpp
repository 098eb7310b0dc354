// qzhost: loads the driver as the Quorvix runtime does and drives it through its exports, one operation per line of
// a script, printing what each answered. Without a script it runs the runtime's own start-up and shutdown.
//
//   qzhost [--driver PATH] [SCRIPT]
//
// Script lines (blank lines and lines starting with # are skipped):
//   init                         bInitLibrary with the driver's module (the runtime's own call after loading)
//   compatible KIND VERSION      bDLLCompatible
//   attach [SIZE]                Execution attach with the runtime stand-in's module (record of 24 or 32 bytes)
//   attach-nomodule              Execution attach with a record naming no module
//   detach                       Execution detach
//   query-state ARG              Execution query state
//   bind-values                  bInitKXConvFromVM and bInitKXCalcFromVM with the runtime stand-in's module
//   driver                       piQueryInterface, then the object's interface versions; the host keeps it
//   connect DSN USER PASSWORD    the driver object opens a connection (its operation 8); on failure the message of
//                                the driver's error holder is printed
//   release                      the host gives its driver object back, as the runtime does before it detaches
//   expect VALUE                 fails the run unless the previous operation answered VALUE
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/last_error.h"
#include "platform/module.h"
#include "platform/utf8.h"
#include "standin/runtime/runtime_objects.h"
#include "standin/runtime/runtime_standin.h"
#include "standin/runtime/slot_call.h"

// The first slots of the driver object, called as the runtime calls them (the compiler's member convention).
// Outside the unnamed namespace: the compiler must not take this interface for one without implementations.
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

namespace {

#if defined(_WIN32)
#if INTPTR_MAX == INT64_MAX
constexpr const char16_t* kDefaultDriver = u"qz170ora64.dll";
#else
constexpr const char16_t* kDefaultDriver = u"qz170ora.dll";
#endif
#else
constexpr const char16_t* kDefaultDriver = u"qz170ora64.so";
#endif

constexpr const char* kStartupScript =
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
    "release\n"
    "detach\n"
    "expect 1\n";

using FnInit = int (*)(void*);
using FnCompatible = int (*)(std::int32_t, std::uint32_t, std::uint32_t*);
using FnExecution = std::intptr_t (*)(std::uint32_t, std::intptr_t, std::intptr_t, std::intptr_t);
using FnBind = int (*)(void*, std::int32_t, std::int32_t);
using FnQueryInterface = void* (*)();


struct Driver {
  void* module = nullptr;
  FnInit init = nullptr;
  FnCompatible compatible = nullptr;
  FnExecution execution = nullptr;
  FnBind bindConversions = nullptr;
  FnBind bindCalculations = nullptr;
  FnQueryInterface queryInterface = nullptr;
};

std::u16string Widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

template <typename Fn>
bool Bind(void* module, const char* name, Fn& entry) {
  entry = reinterpret_cast<Fn>(platform::FindModuleEntry(module, name));
  if (!entry) std::printf("the driver has no entry %s\n", name);
  return entry != nullptr;
}

class Host {
 public:
  explicit Host(const Driver& driver) : m_driver(driver) {}

  bool Run(std::istream& script) {
    std::string line;
    int number = 0;
    while (std::getline(script, line)) {
      ++number;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::istringstream words(line);
      std::string command;
      if (!(words >> command) || command[0] == '#') continue;
      if (!Step(command, words)) {
        std::printf("line %d: %s: failed\n", number, line.c_str());
        return false;
      }
    }
    return true;
  }

 private:
  bool Step(const std::string& command, std::istringstream& words) {
    if (command == "init") {
      m_last = m_driver.init(m_driver.module);
      std::printf("bInitLibrary -> %lld\n", static_cast<long long>(m_last));
      return true;
    }
    if (command == "compatible") {
      std::int32_t kind = 0;
      std::uint32_t version = 0;
      if (!(words >> kind >> version)) return Usage("compatible KIND VERSION");
      std::uint32_t out = 0xFFFFFFFF;
      m_last = m_driver.compatible(kind, version, &out);
      std::printf("bDLLCompatible(kind %d, version %u) -> %lld, out %u\n", kind, version,
                  static_cast<long long>(m_last), out);
      return true;
    }
    if (command == "attach" || command == "attach-nomodule") {
      std::uint32_t size = 32;
      words >> size;
      void* module = command == "attach" ? qzrt::ModuleHandle() : nullptr;
      qzrt::ClearServiceQuestions();
      std::vector<unsigned char> record = qzrt::MakeAttachRecord(size, module, 0, 0, 0);
      m_last = m_driver.execution(3985, reinterpret_cast<std::intptr_t>(record.data()), 0, 0);
      std::printf("Execution(attach, %u-byte record%s) -> %lld\n", size, module ? "" : ", no module",
                  static_cast<long long>(m_last));
      std::string asked;
      for (std::intptr_t service : qzrt::ServiceQuestions()) {
        asked += ' ';
        asked += std::to_string(service);
      }
      std::printf("  services asked of the runtime:%s\n", asked.empty() ? " none" : asked.c_str());
      return true;
    }
    if (command == "detach") {
      m_last = m_driver.execution(4875, 0, 0, 0);
      std::printf("Execution(detach) -> %lld\n", static_cast<long long>(m_last));
      return true;
    }
    if (command == "query-state") {
      std::intptr_t argument = 0;
      words >> argument;
      m_last = m_driver.execution(4963, argument, 0, 0);
      std::printf("Execution(query state, %lld) -> %lld\n", static_cast<long long>(argument),
                  static_cast<long long>(m_last));
      return true;
    }
    if (command == "bind-values") {
      const int conversions = m_driver.bindConversions(qzrt::ModuleHandle(), 2, 2);
      const int calculations = m_driver.bindCalculations(qzrt::ModuleHandle(), 2, 2);
      m_last = conversions && calculations;
      std::printf("bInitKXConvFromVM -> %d, bInitKXCalcFromVM -> %d\n", conversions, calculations);
      return true;
    }
    if (command == "driver") {
      auto* driver = static_cast<IDriverObject*>(m_driver.queryInterface());
      m_last = driver != nullptr;
      if (!driver) {
        std::printf("piQueryInterface -> none\n");
        return true;
      }
      std::printf("piQueryInterface -> a driver object, interface version %d (from %d)\n",
                  driver->nGetInterfaceVersion(), driver->nGetInterfaceMinVersion());
      Release();
      m_object = driver;
      return true;
    }
    if (command == "connect") {
      std::string source, user, password;
      if (!(words >> source >> user >> password)) return Usage("connect DSN USER PASSWORD");
      if (!m_object) return Usage("driver (before connect)");
      qzrt::ConnectionDescription description;
      description.SetText(qzrt::ConnectionDescription::kDataSource, Widen(source));
      description.SetText(qzrt::ConnectionDescription::kUserId, Widen(user));
      description.SetText(qzrt::ConnectionDescription::kPassword, Widen(password));
      description.SetText(qzrt::ConnectionDescription::kName, Widen(source));
      constexpr std::size_t kOpenConnection = 8;
      constexpr std::size_t kCloseConnection = 9;
      constexpr std::size_t kErrorHolder = 11;
      m_last = qzrt::CallSlot<std::int32_t>(m_object, kOpenConnection, static_cast<void*>(&description));
      std::printf("open connection to %s as %s -> %lld\n", source.c_str(), user.c_str(),
                  static_cast<long long>(m_last));
      if (!m_last) {
        void* holder = qzrt::CallSlot<void*>(m_object, kErrorHolder);
        constexpr std::size_t kUserMessage = 5;
        constexpr std::size_t kErrorCode = 6;
        const char16_t* message = holder ? qzrt::CallSlot<const char16_t*>(holder, kUserMessage) : nullptr;
        std::printf("  error %u: %s\n", holder ? qzrt::CallSlot<std::uint32_t>(holder, kErrorCode) : 0u,
                    platform::ToUtf8(message).c_str());
      }
      // The runtime closes what it opened before its description goes.
      qzrt::CallSlot<std::int32_t>(m_object, kCloseConnection, static_cast<void*>(&description));
      return true;
    }
    if (command == "release") {
      m_last = m_object != nullptr;
      Release();
      return true;
    }
    if (command == "expect") {
      long long expected = 0;
      if (!(words >> expected)) return Usage("expect VALUE");
      if (expected != static_cast<long long>(m_last)) {
        std::printf("  expected %lld, got %lld\n", expected, static_cast<long long>(m_last));
        return false;
      }
      return true;
    }
    std::printf("unknown command %s\n", command.c_str());
    return false;
  }

  void Release() {
    if (m_object) m_object->nRelease();
    m_object = nullptr;
  }

  static bool Usage(const char* text) {
    std::printf("usage: %s\n", text);
    return false;
  }

  const Driver& m_driver;
  std::intptr_t m_last = 0;
  IDriverObject* m_object = nullptr;  // the driver object, with the host's reference
};

}  // namespace

int main(int argc, char** argv) {
  std::u16string driverPath = kDefaultDriver;
  const char* scriptPath = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--driver" && i + 1 < argc) {
      driverPath = Widen(argv[++i]);
    } else if (argument == "--help") {
      std::printf("usage: qzhost [--driver PATH] [SCRIPT]\n");
      return 0;
    } else {
      scriptPath = argv[i];
    }
  }

  void* module = platform::LoadModule(driverPath.c_str());
  if (!module) {
    std::printf("cannot load the driver (error %u)\n", platform::GetLastErrorCode());
    return 1;
  }
  char16_t path[1024];
  const std::uint32_t length = platform::ModuleFileName(module, path, 1024);
  std::printf("loaded %s\n", std::string(path, path + length).c_str());

  Driver driver;
  driver.module = module;
  if (!Bind(module, "bInitLibrary", driver.init) || !Bind(module, "bDLLCompatible", driver.compatible) || !Bind(module, "Execution", driver.execution) ||
      !Bind(module, "bInitKXConvFromVM", driver.bindConversions) ||
      !Bind(module, "bInitKXCalcFromVM", driver.bindCalculations) ||
      !Bind(module, "piQueryInterface", driver.queryInterface)) {
    return 1;
  }

  Host host(driver);
  bool ok = false;
  if (scriptPath) {
    std::ifstream script(scriptPath);
    if (!script) {
      std::printf("cannot read %s\n", scriptPath);
      return 1;
    }
    ok = host.Run(script);
  } else {
    std::istringstream script(kStartupScript);
    ok = host.Run(script);
  }
  std::printf("%s\n", ok ? "done" : "stopped");
  return ok ? 0 : 1;
}
