// Every operation that calls an entry, run on a client that lacks it, named by QZOCI_HIDDEN_ENTRIES: the stand-in
// hides it from the loader, which binds the client once per process, so each entry has a run of this program of its
// own. Which operations call the entry is read from the file the coverage run of this program writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "oracle/client/oci_entries.h"
#include "tests/faults/fault_helpers.h"

namespace faults {
namespace {

// QZ_FAULTS_CALLS names the file of the calls of the OCI set; that of the OCI7 set has a 7 after it.
std::string CallsFile(bool oci7) {
  const char* path = std::getenv("QZ_FAULTS_CALLS");
  return path ? std::string(path) + (oci7 ? "7" : "") : std::string();
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
// written for the missing-entry runs. QZ_FAULTS_OCI7=1 takes the OCI7 set.
TEST_F(FaultFixture, EveryEntryTheDriverCallsIsInjected) {
  const char* set = std::getenv("QZ_FAULTS_OCI7");
  const bool oci7 = set && std::string(set) == "1";
  World world(oci7 ? "COVERAGE7" : "COVERAGE", oci7 ? u"QZ CLIENT VERSION=7" : u"");
  const auto calls = Discover(world);
  const std::vector<std::string> listed = CalledEntries(oci7);
  const std::set<std::string> injected(listed.begin(), listed.end());
  std::set<std::string> called;
  unsigned cases = 0;
  unsigned missing = 0;
  for (const Operation& op : Operations()) {
    const auto found = calls.find(op.name);
    if (found == calls.end()) continue;
    for (const auto& [entry, count] : found->second) {
      called.insert(entry);
      cases += 3 * static_cast<unsigned>(CallsToFault(count).size());
      missing += static_cast<unsigned>(injected.count(entry));
    }
  }
  std::size_t injectedCalled = 0;
  for (const std::string& entry : called) {
    EXPECT_TRUE(injected.count(entry)) << entry << " is called but not injected";
    injectedCalled += injected.count(entry);
  }
  std::string unreached;
  for (const std::string& entry : listed) {
    if (!called.count(entry)) {
      unreached += " " + entry;
      ++missing;
    }
  }
  std::printf("client faults (%s set): %zu entries called by the driver, %zu injected (%zu listed in its table), %u "
              "cases with an error status, OCI_INVALID_HANDLE or an exception; %zu programs with one entry missing run "
              "%u cases\nlisted but called by no operation:%s\n",
              oci7 ? "OCI7" : "OCI", called.size(), injectedCalled, listed.size(), cases, listed.size(), missing,
              unreached.c_str());
  if (!CallsFile(oci7).empty()) {
    EXPECT_TRUE(WriteCalls(CallsFile(oci7), calls)) << CallsFile(oci7);
  }
}

}  // namespace
}  // namespace faults
