// The command-line host's script runner: one command per line, each calling the driver as the Quorvix runtime does
// (through its exports, its driver object and its access interfaces) and printing what was asked and what the driver
// answered in words, so that a reader follows a session without the source. The commands are listed once, in the
// table of host.cpp, which also gives --help its text.
#pragma once

#include <cstdint>
#include <istream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

class IDriverObject;

namespace qzhost {

using FnInit = int (*)(void*);
using FnCompatible = int (*)(std::int32_t, std::uint32_t, std::uint32_t*);
using FnExecution = std::intptr_t (*)(std::uint32_t, std::intptr_t, std::intptr_t, std::intptr_t);
using FnBind = int (*)(void*, std::int32_t, std::int32_t);
using FnQueryInterface = void* (*)();

// The driver's module and its exports, bound by name.
struct Driver {
  void* module = nullptr;
  FnInit init = nullptr;
  FnCompatible compatible = nullptr;
  FnExecution execution = nullptr;
  FnBind bindConversions = nullptr;
  FnBind bindCalculations = nullptr;
  FnQueryInterface queryInterface = nullptr;
};

// The script that a run without one carries out: the runtime's own start-up and shutdown.
extern const char* const kStartupScript;
// The built-in demo: a round trip from connecting to an error, each step checked by an expect line.
extern const char* const kDemoScript;

// Writes the script commands, grouped, one line each.
void PrintCommands();

class Host {
 public:
  explicit Host(const Driver& driver);
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // Runs the script's lines in order; stops at the first that fails (a command misused, or an expect line that
  // does not hold) and says which.
  bool Run(std::istream& script);

  struct Command;
  struct State;

 private:
  bool Step(const std::string& command, std::istringstream& words);

  const Driver& m_driver;
  std::unique_ptr<State> m_state;
};

}  // namespace qzhost
