// The stand-in's control API for tests, exported under its own "qzoci" prefix (never an OCI name): a call log of
// the entries the client called (entry, key arguments, SQL text, attribute numbers and values), statuses and ORA
// errors injected at the n-th call of a named entry, a C++ exception thrown from a named entry, entries hidden from
// the loader, the data directory, the data sources, users, and a reset. Each entry point reports itself through EnterEntry before doing anything.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "standin/oci/oci_types.h"

#if defined(_WIN32)
#define QZOCI_EXPORT extern "C" __declspec(dllexport)
#else
#define QZOCI_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace qzoci {

struct Injection {
  sword status = 0;
  int oraCode = 0;
};

// Logs the call and answers what was injected for it, if anything; throws when a throw was asked for. Nothing
// happens while calls are not watched.
std::optional<Injection> EnterEntry(const char* entry, const std::string& detail);

// Whether calls are logged, counted and met by injections. Off at load and turned on by the first control call (a
// test asks for the log, reads it or injects before it looks), so a program that never looks pays nothing per call,
// not even the text of the call's arguments: entries build that text only when this answers true.
bool CallsWatched();

// The client version OCIClientVersion answers and the banner OCIServerVersion answers. A test sets them before the
// program loads the client, as the installed client and the server would have them: QZOCI_CLIENT_VERSION holds
// up to five numbers separated by dots ("10.2.0.3"; missing numbers are 0), QZOCI_SERVER_BANNER the whole banner.
// Unset, the client is 19.3.0.0.0 and the banner names release 19.0.0.0.0.
std::array<sword, 5> ClientVersion();
std::string ServerBanner();

// A value scripted for the next dynamic define a fetch reaches, in place of the row's: its bytes (or NULL), sent in
// pieces of the given sizes (the last size serving every later piece), a piece whose `over` is not 0 reporting that
// many bytes more than the room it was given, as a faulty client would.
struct PieceScript {
  std::string bytes;
  bool null = false;
  std::vector<unsigned> sizes;
  std::vector<unsigned> over;
};
// The script waiting, taken: it serves one value.
std::optional<PieceScript> TakePieceScript();

// Adds to the last log line (results the entry learns while running, such as the SQL text's statement type).
void AppendToLastCall(const std::string& detail);

}  // namespace qzoci

// The exported control API.
QZOCI_EXPORT void qzociReset();
QZOCI_EXPORT void qzociSetDataDirectory(const char* directory);
QZOCI_EXPORT void qzociCloseDatabases();
// Makes a data source (answers 0, or the ORA code of the failure); only a data source made is one to log on to.
QZOCI_EXPORT int qzociCreateDataSource(const char* dataSource);
// Adds a user to an existing data source (0, or the ORA code: 12154 for a data source never made).
QZOCI_EXPORT int qzociCreateUser(const char* dataSource, const char* user, const char* password);
// The folder of a data source's files, where the directories its BFILEs name are kept, copied into the buffer as far
// as it holds (terminated); answers its length, 0 for a data source never made or held in memory.
QZOCI_EXPORT unsigned qzociDataSourceFolder(const char* dataSource, char* buffer, unsigned size);
QZOCI_EXPORT unsigned qzociCallCount();
QZOCI_EXPORT unsigned qzociGetCall(unsigned index, char* buffer, unsigned size);
QZOCI_EXPORT unsigned qzociEntryCount(const char* entry);
QZOCI_EXPORT void qzociClearCallLog();
QZOCI_EXPORT void qzociInjectStatus(const char* entry, unsigned nth, int status, int oraCode);
QZOCI_EXPORT void qzociInjectThrow(const char* entry, unsigned nth);
// Turns watching on or off; off, the log and the counts keep what they hold and the calls pass unseen until the
// next control call.
QZOCI_EXPORT void qzociWatchCalls(int on);
// Hides an export of this library from every later lookup by name, as if the library had been built without it
// (answers 1, or 0 when the library exports no such name). The environment variable QZOCI_HIDDEN_ENTRIES, a list of
// names separated by commas, is applied the same way when the library loads: a program sets it before the driver
// first loads the client, whose loader binds its entries once. The library's own calls are not affected.
QZOCI_EXPORT int qzociHideEntry(const char* entry);
// Scripts the next dynamic define's value (see PieceScript); sizes and over hold count numbers each (over may be
// null). Unlike the other control calls it leaves the calls unwatched: a program feeding many values pays no log.
QZOCI_EXPORT void qzociScriptPieces(const char* bytes, unsigned size, int null, const unsigned* sizes,
                                    const unsigned* over, unsigned count);
