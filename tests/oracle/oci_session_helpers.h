// What the client-layer tests share: the OCI stand-in's control API looked up in the client the loader loaded, and
// a session opened on the stand-in the way the connection will open one (environment, error handle, server, session,
// service context; or the OCI7 logon), its handles put into a COracleConnection for the wrappers to use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "client_test_helpers.h"
#include "foundation/error_holder.h"
#include "oracle/oracle_connection.h"
#include "standin/runtime/runtime_objects.h"

namespace ocitest {

// The stand-in's control entries, found in the loaded client module.
struct StandIn {
  void (*Reset)() = nullptr;
  int (*CreateDataSource)(const char*) = nullptr;
  void (*CloseDatabases)() = nullptr;  // those no session holds close; made again, they open as they were
  unsigned (*EntryCount)(const char*) = nullptr;
  unsigned (*CallCount)() = nullptr;
  unsigned (*GetCall)(unsigned, char*, unsigned) = nullptr;
  void (*ClearCallLog)() = nullptr;
  void (*InjectStatus)(const char*, unsigned, int, int) = nullptr;
  void (*InjectThrow)(const char*, unsigned) = nullptr;
  void (*ScriptPieces)(const char*, unsigned, int, const unsigned*, const unsigned*, unsigned) = nullptr;
  unsigned (*DataSourceFolder)(const char*, char*, unsigned) = nullptr;

  // Binds the entries of the client module already loaded by the driver's loader.
  static StandIn& Get();
  std::vector<std::string> CallLog() const;
  // The last logged call of the entry, or "".
  std::string LastCall(const std::string& entry) const;
};

// The runtime's description, built before the connection that reads it at construction.
struct DescriptionFirst {
  qzrt::ConnectionDescription description;
};

// The driver's connection with a session of its own on the stand-in.
class TestConnection : public DescriptionFirst, public COracleConnection {
 public:
  TestConnection();
  ~TestConnection();
  // OCI set: environment (UTF-16 when asked), handles, logon as SYSTEM on a new data source. OCI7: olog.
  bool Open(bool utf16 = false);

  void* server = nullptr;
  void* session = nullptr;
};

}  // namespace ocitest
