// Every operation that calls an entry, run on a client that lacks it, named by QZOCI_HIDDEN_ENTRIES: the stand-in
// hides it from the loader, which binds the client once per process, so each entry has a run of this program of its
// own. Which operations call the entry is read from the file the coverage run of this program writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <span>
#include <string>

#include "oracle/client/oci_entries.h"
#include "platform/module.h"
#include "platform/utf8.h"
#include "tests/faults/fault_helpers.h"

namespace faults {
namespace {

// QZ_FAULTS_CALLS names the file of the calls of the OCI set; that of the OCI7 set has a 7 after it.
std::string CallsFile(bool oci7) {
  const char* path = std::getenv("QZ_FAULTS_CALLS");
  return path ? std::string(path) + (oci7 ? "7" : "") : std::string();
}

// The client's set-ups, each taken in a process of its own (QZ_FAULTS_SETUP names it, one ctest entry each): the
// driver chooses its set-up path once per process, by the client's version and the entries the client offers. Each
// writes the calls it reached beside the calls file, for the coverage run to add up.
struct ClientSetUp {
  const char* name;
  const char* clientVersion;  // QZOCI_CLIENT_VERSION; null: the stand-in's own
  const char* hidden;         // QZOCI_HIDDEN_ENTRIES; null: none
  const char* variant;        // a variant build of the client; null: the one beside the program
  const char* operation;      // the operation whose calls are made to fail; null: the client's first load
  std::set<std::string> entries;
};

const ClientSetUp kSetUps[] = {
    {"first-load", nullptr, nullptr, nullptr, nullptr, {"OCIClientVersion"}},
    {"env-create", "10.2.0.2", nullptr, nullptr, "open connection", {"OCIEnvCreate"}},
    // A client from before OCIEnvCreate: no version call, no NLS environment.
    {"legacy", nullptr, "OCIEnvNlsCreate,OCIEnvCreate", "no-clientversion", "open connection",
     {"OCIInitialize", "OCIEnvInit"}},
    {"no-lobopen", nullptr, nullptr, "no-lobopen", "read a timestamp an interval and a file",
     {"OCILobFileOpen", "OCILobFileClose"}},
};

const char* const kFirstLoad = "load the client";

std::string Folder(const char* path) {
  const std::string text(path);
  return text.substr(0, text.find_last_of('/'));
}

TEST_F(FaultFixture, TheClientSetUpFailsCleanly) {
  const char* name = std::getenv("QZ_FAULTS_SETUP");
  ASSERT_NE(name, nullptr) << "QZ_FAULTS_SETUP names the set-up";
  const ClientSetUp* setUp = nullptr;
  for (const ClientSetUp& candidate : kSetUps) {
    if (std::string(name) == candidate.name) setUp = &candidate;
  }
  ASSERT_NE(setUp, nullptr) << name;
  if (setUp->clientVersion) ::setenv("QZOCI_CLIENT_VERSION", setUp->clientVersion, 1);
  if (setUp->hidden) ::setenv("QZOCI_HIDDEN_ENTRIES", setUp->hidden, 1);
  const std::string library = Folder(QZ_DRIVER_PATH) + "/" +
                              (setUp->variant ? "oci-variants/" + std::string(setUp->variant) + "/" : "") + "OCI.DLL";
  const std::u16string options = setUp->variant ? u"QZ CLIENT LIBRARY=" + platform::ToUtf16(library) : u"";
  World world("SETUP", options.c_str());
  std::map<std::string, OperationCalls> calls;
  unsigned cases = 0;
  if (!setUp->operation) {
    // Made to fail before the driver loads the client: the same module, loaded first by the program.
    void* client = platform::LoadModule(platform::ToUtf16(library).c_str());
    ASSERT_NE(client, nullptr) << library;
    for (const std::string& entry : setUp->entries) {
      reinterpret_cast<void (*)(const char*, unsigned)>(platform::FindModuleEntry(client, "qzociInjectThrow"))(
          entry.c_str(), 1);
    }
    // The version is then found another way: the open goes on, and the connection with it.
    std::string why;
    ASSERT_TRUE(world.Setup(why)) << why;
    EXPECT_EQ(world.Committed(), (Rows{"1:1", "2:2", "3:3"}));
    for (const std::string& line : world.CallLog()) ++calls[kFirstLoad][line.substr(0, line.find(' '))].count;
    for (const std::string& entry : setUp->entries) EXPECT_EQ(calls[kFirstLoad][entry].count, 1u) << entry;
    // A client of no known version is taken as older than 10.2.0.3: its environment is no UTF-16 one.
    EXPECT_EQ(calls[kFirstLoad].count("OCIEnvNlsCreate"), 0u);
    cases = static_cast<unsigned>(setUp->entries.size());
    world.Teardown(false);
  } else {
    const Operation* op = FindOperation(setUp->operation);
    ASSERT_NE(op, nullptr) << setUp->operation;
    calls = Discover(world, op->name);
    for (const std::string& entry : setUp->entries) EXPECT_TRUE(calls[op->name].count(entry)) << entry << " not called";
    cases = RunFaults(world, *op, calls[op->name], &setUp->entries);
  }
  std::printf("set-up %s: %u cases\n", setUp->name, cases);
  if (!CallsFile(false).empty()) {
    EXPECT_TRUE(WriteCalls(CallsFile(false) + "." + setUp->name, calls));
  }
}

TEST_F(FaultFixture, EveryOperationCallingTheEntryFailsCleanlyWithoutIt) {
  const char* hidden = std::getenv("QZOCI_HIDDEN_ENTRIES");
  ASSERT_NE(hidden, nullptr) << "QZOCI_HIDDEN_ENTRIES names the entry";
  const std::string entry(hidden);
  std::uint32_t slot = 0;
  while (slot < OCI_SLOT_COUNT && entry != gapszOciEntryNames[slot]) ++slot;
  ASSERT_LT(slot, OCI_SLOT_COUNT) << entry << " is no entry of the driver's table";
  const bool oci7 = slot >= OCI7_SET_FIRST_SLOT;
  const auto calls = ReadCalls(CallsFile(oci7));
  if (calls.empty()) std::printf("no calls read from \"%s\": every operation runs\n", CallsFile(oci7).c_str());
  std::set<std::string> callers;
  for (const auto& [op, entries] : calls) {
    if (entries.count(entry)) callers.insert(op);
  }
  // An entry no operation calls (one the driver falls back to) still leaves a client that opens a connection.
  if (!calls.empty() && callers.empty()) callers.insert("open connection");
  World world(oci7 ? "MISSING7" : "MISSING", oci7 ? u"QZ CLIENT VERSION=7" : u"");
  unsigned cases = 0;
  for (const Operation& op : Operations()) {
    if (!calls.empty() && !callers.count(op.name)) continue;
    RunCase(world, op, Fault::Missing, entry, 0);
    ++cases;
  }
  std::printf("%s missing: %u cases\n", entry.c_str(), cases);
}

// Every entry the operations make the driver call is one the cases inject; the figures are printed, and the calls
// written for the missing-entry runs. QZ_FAULTS_OCI7=1 takes the OCI7 set. The OCI set's line adds what the set-up
// runs reached.
TEST_F(FaultFixture, EveryEntryTheDriverCallsIsInjected) {
  const char* set = std::getenv("QZ_FAULTS_OCI7");
  const bool oci7 = set && std::string(set) == "1";
  World world(oci7 ? "COVERAGE7" : "COVERAGE", oci7 ? u"QZ CLIENT VERSION=7" : u"");
  const auto calls = Discover(world);
  const std::vector<std::string> listed = CalledEntries(oci7);
  const std::set<std::string> injected(listed.begin(), listed.end());
  std::set<std::string> called;
  unsigned cases = 0;
  for (const Operation& op : Operations()) {
    const auto found = calls.find(op.name);
    if (found == calls.end()) continue;
    for (const auto& [entry, count] : found->second) {
      called.insert(entry);
      cases += 3 * static_cast<unsigned>(CallsToFault(count).size());
    }
  }
  const std::size_t byOperations = called.size();
  std::string setUps;
  for (const ClientSetUp& setUp : oci7 ? std::span<const ClientSetUp>() : std::span<const ClientSetUp>(kSetUps)) {
    const auto reached = ReadCalls(CallsFile(false) + "." + setUp.name);
    EXPECT_TRUE(CallsFile(false).empty() || !reached.empty()) << "no calls of the set-up " << setUp.name;
    for (const auto& [op, entries] : reached) {
      for (const std::string& entry : setUp.entries) {
        if (entries.count(entry) && called.insert(entry).second) cases += setUp.operation ? 3 : 1;
      }
    }
    setUps += std::string(" ") + setUp.name;
  }
  // The client's process-wide state is never ended: it outlives every connection, and ending it would end it for
  // every other connection of the process, so no operation calls OCITerminate and none can make it fail.
  const std::set<std::string> neverCalled = {"OCITerminate"};
  std::size_t injectedCalled = 0;
  for (const std::string& entry : called) {
    EXPECT_TRUE(injected.count(entry)) << entry << " is called but not injected";
    injectedCalled += injected.count(entry);
  }
  std::string unreached;
  std::string left;
  std::size_t accounted = 0;
  for (const std::string& entry : listed) {
    if (called.count(entry) || neverCalled.count(entry)) ++accounted;
    if (!called.count(entry)) (neverCalled.count(entry) ? left : unreached) += " " + entry;
  }
  std::printf("client faults (%s set): %zu of %zu client entries: %zu called and injected (%zu by the operations, "
              "%zu more by the set-up runs%s), never called:%s; %u cases with an error status, OCI_INVALID_HANDLE or "
              "an exception\nlisted but called by no operation:%s\n",
              oci7 ? "OCI7" : "OCI", accounted, listed.size(), injectedCalled, byOperations,
              called.size() - byOperations, setUps.c_str(), left.empty() ? " none" : left.c_str(), cases,
              unreached.c_str());
  if (!CallsFile(oci7).empty()) {
    EXPECT_TRUE(WriteCalls(CallsFile(oci7), calls)) << CallsFile(oci7);
  }
}

}  // namespace
}  // namespace faults
