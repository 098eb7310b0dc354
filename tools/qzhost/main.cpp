// qzhost: loads the driver as the Quorvix runtime does and drives it through its exports, one operation per line of
// a script, printing what each answered. Without a script it runs the runtime's own start-up and shutdown; --demo
// runs the built-in round trip (host.h).
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/last_error.h"
#include "platform/module.h"
#include "platform/utf8.h"
#include "tools/qzhost/host.h"

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

template <typename Fn>
bool Bind(void* module, const char* name, Fn& entry) {
  entry = reinterpret_cast<Fn>(platform::FindModuleEntry(module, name));
  if (!entry) std::printf("the driver has no entry %s\n", name);
  return entry != nullptr;
}

void PrintUsage() {
  std::printf(
      "usage: qzhost [--driver PATH] [--demo | --demo-script | SCRIPT]\n"
      "  --driver PATH   the driver module to load (default: %s beside the host, then the system search)\n"
      "  --demo          runs the built-in round trip through the driver\n"
      "  --demo-script   prints the built-in round trip as a script, to copy and change\n"
      "  SCRIPT          runs the commands of a file; without one, the runtime's start-up and shutdown\n"
      "The OCI stand-in beside the driver knows the data sources named in $QZOCI_DATA_SOURCES (scripts/demo names\n"
      "DEMO); a new one has the user SYSTEM with the password manager.\n\n",
      platform::ToUtf8(kDefaultDriver).c_str());
  qzhost::PrintCommands();
}

}  // namespace

int main(int argc, char** argv) {
  // Each line as it is written, so that what the driver prints on stderr lands among the steps.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::u16string driverPath = kDefaultDriver;
  const char* scriptPath = nullptr;
  const char* builtIn = qzhost::kStartupScript;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--driver" && i + 1 < argc) {
      driverPath = platform::ToUtf16(argv[++i]);
    } else if (argument == "--help") {
      PrintUsage();
      return 0;
    } else if (argument == "--demo") {
      builtIn = qzhost::kDemoScript;
    } else if (argument == "--demo-script") {
      std::fputs(qzhost::kDemoScript, stdout);
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
  std::printf("loaded %s\n", platform::ToUtf8(std::u16string_view(path, length)).c_str());

  qzhost::Driver driver;
  driver.module = module;
  if (!Bind(module, "bInitLibrary", driver.init) || !Bind(module, "bDLLCompatible", driver.compatible) ||
      !Bind(module, "Execution", driver.execution) || !Bind(module, "bInitKXConvFromVM", driver.bindConversions) ||
      !Bind(module, "bInitKXCalcFromVM", driver.bindCalculations) ||
      !Bind(module, "piQueryInterface", driver.queryInterface)) {
    return 1;
  }

  bool ok = false;
  {
    qzhost::Host host(driver);
    if (scriptPath) {
      std::ifstream script(scriptPath);
      if (!script) {
        std::printf("cannot read %s\n", scriptPath);
        return 1;
      }
      ok = host.Run(script);
    } else {
      std::istringstream script(builtIn);
      ok = host.Run(script);
    }
  }
  std::printf("%s\n", ok ? "done" : "stopped");
  return ok ? 0 : 1;
}
