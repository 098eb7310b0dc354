// What the host's commands share: the state a script builds (the driver object, its connections, the tables opened
// through access interfaces, the last error), the way each step is told to the reader, and the commands of the
// round trip (round_trip_commands.cpp), which the command table of host.cpp lists.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "standin/runtime/query_objects.h"
#include "standin/runtime/round_trip.h"
#include "standin/runtime/runtime_objects.h"
#include "tools/qzhost/host.h"

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

using Words = std::istringstream;

// The driver object's operations the host calls by number.
enum : std::size_t { kOpenConnection = 8, kCloseConnection = 9, kCopyRegistry = 10, kErrorHolder = 11 };

// A table of the script: the access interface of a description on one connection, under the script's label.
struct ScriptTable {
  std::unique_ptr<qzrt::OpenTable> open;
  std::string connection;
  std::string name;
  bool query = false;  // the rows of a query given as SQL text
};

struct Host::State {
  std::intptr_t last = 0;
  IDriverObject* object = nullptr;  // the driver object, with the host's reference
  // The runtime's connection descriptions by the script's name for them; opened ones are closed at release.
  std::map<std::string, std::unique_ptr<qzrt::ConnectionDescription>> connections;
  // Closed ones, kept until the driver object goes: tables it keeps may still refer to them.
  std::vector<std::unique_ptr<qzrt::ConnectionDescription>> closed;
  // The analyses of the queries run, kept as long as the connections: the driver's tables keep referring to them.
  std::vector<std::unique_ptr<qzrt::QueryAnalysis>> queries;
  std::string connection;  // the current one: the last opened, or the one `with` chose
  std::map<std::string, ScriptTable> tables;
  std::string table;                       // the current one's label
  std::optional<qzrt::ErrorReport> error;  // what the last failing command left
  std::u16string written;                  // the last large value written
  std::map<std::string, int> levels;       // each connection's transaction nesting
  std::uint64_t nextFile = 10;             // the file identifier of the next table's handle
  std::uint64_t nextContext = 2;           // the session context a copy goes into (the script's own is 1)
  bool valuesBound = false;

  // Gives back the tables, closes the connections and releases the driver object, as the runtime does.
  void ReleaseDriverObject();
  qzrt::ConnectionDescription* Connection();
  ScriptTable* Table();
};

using State = Host::State;

struct Host::Command {
  const char* group;  // a heading in the command list where a group starts, else null
  const char* name;
  const char* arguments;
  const char* help;
  bool (*run)(const Driver& driver, State& state, Words& words);
};

// Prints "what -> answer" for a step, keeps the answer, and on a failure prints and keeps the error. The error is
// read once the operation has run: never in the same argument list as the operation's call.
void Tell(State& state, const std::string& what, std::intptr_t answer, const qzrt::ErrorReport& error);
bool Usage(const char* name, const char* arguments);

// ---- the round trip's commands (round_trip_commands.cpp) ----
bool With(const Driver&, State&, Words&);
bool Sql(const Driver&, State&, Words&);
bool Query(const Driver&, State&, Words&);
bool Describe(const Driver&, State&, Words&);
bool Use(const Driver&, State&, Words&);
bool Create(const Driver&, State&, Words&);
bool Open(const Driver&, State&, Words&);
bool Close(const Driver&, State&, Words&);
bool Copy(const Driver&, State&, Words&);
bool Set(const Driver&, State&, Words&);
bool Add(const Driver&, State&, Words&);
bool Modify(const Driver&, State&, Words&);
bool Delete(const Driver&, State&, Words&);
bool Read(const Driver&, State&, Words&);
bool Seek(const Driver&, State&, Words&);
bool Position(const Driver&, State&, Words&);
bool Lock(const Driver&, State&, Words&);
bool Unlock(const Driver&, State&, Words&);
bool Begin(const Driver&, State&, Words&);
bool Commit(const Driver&, State&, Words&);
bool Rollback(const Driver&, State&, Words&);
bool WriteLarge(const Driver&, State&, Words&);
bool ReadLarge(const Driver&, State&, Words&);
bool Catalog(const Driver&, State&, Words&);
bool Links(const Driver&, State&, Words&);
// Checks the current record's fields (ITEM=VALUE, NULL for no value) or the last error (ORA-nnnnn [state N]).
bool ExpectRecordOrError(State& state, const std::string& first, Words& words);

}  // namespace qzhost
