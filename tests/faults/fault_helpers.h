// Client faults, each made at one call of one client entry while the runtime runs one operation through the exported
// driver object and the access interface: the operations, the world they run in (two connections to one data source
// of the OCI stand-in, a table of three committed records) and one case run with its checks. The entries come from the
// driver's own entry table, so an entry it calls later is injected with no new case written.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/record/record_description.h"
#include "standin/runtime/query_objects.h"
#include "standin/runtime/round_trip.h"
#include "tests/host/host_value_fixture.h"

namespace faults {

enum class Fault { Status, InvalidHandle, Throw, Missing };
const char* FaultName(Fault fault);

// The records the other session reads, "ID:QTY" in key order.
using Rows = std::vector<std::string>;

// The entries the driver's table lists as called, of the OCI set or of the OCI7 set.
std::vector<std::string> CalledEntries(bool oci7);

class World {
 public:
  // Loads the driver once per process; the data source is made at its first use.
  World(const char* dataSource, const char16_t* options);
  ~World();

  // Both connections opened when they are not, the table with records 1, 2 and 3 (record 1 with a memo): made at
  // the first setup of the connections, its records deleted by SQL and added again at the next.
  bool Setup(std::string& why);
  // Whether the last setup kept the table and replaced its records.
  bool ResetBySql() const { return m_resetBySql; }
  // The tables closed; with `disconnect`, the connections closed as well.
  void Teardown(bool disconnect);
  // The table's records as the other connection reads them afresh.
  Rows Committed();

  qzrt::DriverSession& Session() { return *m_session; }
  const char* DataSource() const { return m_dataSource.c_str(); }
  qzrt::OpenTable& Table() { return *m_table; }
  qzrt::OpenTable& OtherTable() { return *m_otherTable; }
  qzrt::ConnectionDescription& Main() { return *m_main; }
  qzrt::ConnectionDescription& Other() { return *m_other; }
  // A third connection to the data source, opened and closed by the operations on connections only.
  qzrt::ConnectionDescription& Third() { return *m_third; }
  // Fills fields of the current record (nullopt: NULL).
  static bool Fill(qzrt::OpenTable& table, const qzrt::Fields& fields);
  // The stand-in's control entries in the client the driver loaded.
  void ResetClient();
  void InjectStatus(const std::string& entry, unsigned nth, int status, int oraCode);
  void InjectThrow(const std::string& entry, unsigned nth);
  std::vector<std::string> CallLog();

  static const std::u16string& Memo();
  // An SQL statement run on the main connection as the runtime passes it through (the analysis: its parameters).
  bool RunSql(const char16_t* text, qzrt::QueryAnalysis* analysis = nullptr);

 private:
  bool Connect(std::string& why);

  std::string m_dataSource;
  std::unique_ptr<qzrt::DriverSession> m_session;
  std::unique_ptr<qzrt::ConnectionDescription> m_main;
  std::unique_ptr<qzrt::ConnectionDescription> m_other;
  std::unique_ptr<qzrt::ConnectionDescription> m_third;
  CRecordDescription* m_description = nullptr;
  CRecordDescription* m_otherDescription = nullptr;
  std::unique_ptr<qzrt::OpenTable> m_table;
  std::unique_ptr<qzrt::OpenTable> m_otherTable;
  bool m_created = false;
  bool m_resetBySql = false;
};

struct Operation {
  const char* name;
  // Brings the world to where the operation starts; false when it could not.
  std::function<bool(World&)> prepare;
  std::function<int(World&)> run;
  // What a program does next after the answer (a rollback after a commit that failed); may be null.
  std::function<void(World&, int answer)> after;
  // The records after a success and after a failure, from the records before; null: as before. A failure may leave
  // either of several outcomes (a commit whose answer was lost after the server took it).
  std::function<Rows(const Rows&)> onSuccess;
  std::function<std::vector<Rows>(const Rows&)> onFailure;
  // A success also gives the right result (the record read, the value listed).
  std::function<bool(World&, std::string& why)> rightResult;
  int normal = 1;             // the answer with no fault
  bool everyCall = false;     // each call of each entry made to fail, not only the first and the last
  bool driverHolder = false;  // its error is in the driver object's holder, not the table's
  std::function<qzrt::ErrorReport(World&)> error;  // where its error is, when in neither
};

const std::vector<Operation>& Operations();
const Operation* FindOperation(const std::string& name);

// How an operation calls one entry: how many times, and the first and the last call each with the call before it.
struct EntryCalls {
  unsigned count = 0;
  std::string first;
  std::string last;
};
using OperationCalls = std::map<std::string, EntryCalls>;

// The client entries each operation calls on this world (only the operation named, when one is).
std::map<std::string, OperationCalls> Discover(World& world, const char* only = nullptr);

// The calls at which an entry is made to fail: the first, and the last when it is another call (not the same call
// made again in a loop, with the same arguments after the same call).
std::vector<unsigned> CallsToFault(const EntryCalls& calls);

// The operations that call each entry, as a file written by the coverage run and read by the missing-entry runs.
bool WriteCalls(const std::string& path, const std::map<std::string, OperationCalls>& calls);
std::map<std::string, OperationCalls> ReadCalls(const std::string& path);

// One operation run with the fault made at the nth call of the entry (Missing: nothing injected, the client lacks
// it), then checked: the error and its ORA number, the records the other session reads, and the connection used
// again. Failures are reported through gtest.
void RunCase(World& world, const Operation& operation, Fault fault, const std::string& entry, unsigned nth);

// Every fault at the calls CallsToFault picks of each entry the operation calls (of those named only, when a set is
// given); answers the number of cases run.
unsigned RunFaults(World& world, const Operation& operation, const OperationCalls& calls,
                   const std::set<std::string>* only = nullptr);

// The fixture of the programs: the runtime's services bound.
class FaultFixture : public CHostValueFixture {};

}  // namespace faults
