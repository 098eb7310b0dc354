// The fault suite of one client API set, included by the program of that set: the including file names the data
// source, the connection options and the set. One case per operation that calls an entry, per fault and per call
// (the first and the last the operation makes), for every entry the driver's table lists as called in the set.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "tests/faults/fault_helpers.h"

namespace faults {
namespace {

World& TheWorld() {
  // Lives as long as the process: the driver keeps its connections across the tests of one run.
  static World* world = new World(QZ_FAULTS_DATA_SOURCE, QZ_FAULTS_OPTIONS);
  return *world;
}

const std::map<std::string, std::map<std::string, unsigned>>& Calls() {
  static const auto calls = Discover(TheWorld());
  return calls;
}

std::vector<unsigned> CallsToFault(unsigned count) {
  return count > 1 ? std::vector<unsigned>{1, count} : std::vector<unsigned>{1};
}

class ClientFaults : public FaultFixture, public ::testing::WithParamInterface<std::string> {};

TEST_P(ClientFaults, EachOperationCallingTheEntryFailsCleanly) {
  const std::string& entry = GetParam();
  unsigned cases = 0;
  for (const Operation& op : Operations()) {
    const auto calls = Calls().find(op.name);
    if (calls == Calls().end()) continue;
    const auto count = calls->second.find(entry);
    if (count == calls->second.end()) continue;
    for (Fault fault : {Fault::Status, Fault::InvalidHandle, Fault::Throw}) {
      if (const char* why = KnownFault(op, fault, entry)) {
        std::printf("left out: %s, %s at %s, a fault not mended yet: %s\n", op.name, FaultName(fault), entry.c_str(),
                    why);
        continue;
      }
      for (unsigned nth : CallsToFault(count->second)) {
        RunCase(TheWorld(), op, fault, entry, nth);
        ++cases;
      }
    }
  }
  if (cases == 0) GTEST_SKIP() << entry << " is called by none of the operations on this client";
  std::printf("%s: %u cases\n", entry.c_str(), cases);
}

INSTANTIATE_TEST_SUITE_P(Entries, ClientFaults, ::testing::ValuesIn(CalledEntries(QZ_FAULTS_OCI7)),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

// Every entry the operations make the driver call is one the cases inject; the figures are printed.
TEST_F(FaultFixture, EveryEntryTheDriverCallsIsInjected) {
  const std::vector<std::string> listed = CalledEntries(QZ_FAULTS_OCI7);
  const std::set<std::string> injected(listed.begin(), listed.end());
  std::set<std::string> called;
  unsigned cases = 0;
  unsigned leftOut = 0;
  for (const Operation& op : Operations()) {
    const auto calls = Calls().find(op.name);
    if (calls == Calls().end()) continue;
    for (const auto& [entry, count] : calls->second) {
      called.insert(entry);
      for (Fault fault : {Fault::Status, Fault::InvalidHandle, Fault::Throw}) {
        (KnownFault(op, fault, entry) ? leftOut : cases) += static_cast<unsigned>(CallsToFault(count).size());
      }
    }
  }
  for (const std::string& entry : called) EXPECT_TRUE(injected.count(entry)) << entry << " is called but not injected";
  std::string unreached;
  for (const std::string& entry : listed) {
    if (!called.count(entry)) unreached += " " + entry;
  }
  std::printf("client faults: %zu entries called by the driver, %zu injected (%zu listed in its table), %u cases "
              "run, %u left out as faults not mended yet, and %zu programs with one entry missing\n"
              "listed but called by no operation:%s\n",
              called.size(), called.size(), listed.size(), cases, leftOut, listed.size(), unreached.c_str());
}

}  // namespace
}  // namespace faults
