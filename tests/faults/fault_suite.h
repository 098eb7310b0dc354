// The fault suite of one client API set, included by the program of that set: the including file names the data
// source, the connection options and the set. One test per operation, so that the operations run as programs side by
// side; in it one case per entry the operation calls, per fault and per call (the first and, when it is another call,
// the last the operation makes). Which entries an operation calls is found by running it: an entry the driver calls
// later is injected with no new case written.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/faults/fault_helpers.h"

namespace faults {
namespace {

World& TheWorld() {
  // Lives as long as the process: the driver keeps its connections across the tests of one run.
  static World* world = new World(QZ_FAULTS_DATA_SOURCE, QZ_FAULTS_OPTIONS);
  return *world;
}

std::vector<std::string> OperationNames() {
  std::vector<std::string> names;
  for (const Operation& op : Operations()) names.push_back(op.name);
  return names;
}

class ClientFaults : public FaultFixture, public ::testing::WithParamInterface<std::string> {};

TEST_P(ClientFaults, EachEntryTheOperationCallsFailsCleanly) {
  const Operation* op = nullptr;
  for (const Operation& candidate : Operations()) {
    if (GetParam() == candidate.name) op = &candidate;
  }
  ASSERT_NE(op, nullptr);
  const auto calls = Discover(TheWorld(), op->name);
  ASSERT_FALSE(HasFailure()) << "the operation fails with no fault";
  unsigned cases = 0;
  for (const auto& [entry, count] : calls.count(op->name) ? calls.at(op->name) : OperationCalls{}) {
    for (Fault fault : {Fault::Status, Fault::InvalidHandle, Fault::Throw}) {
      for (unsigned nth : CallsToFault(count)) {
        RunCase(TheWorld(), *op, fault, entry, nth);
        ++cases;
      }
    }
  }
  std::printf("%s: %u cases\n", op->name, cases);
}

INSTANTIATE_TEST_SUITE_P(Operations, ClientFaults, ::testing::ValuesIn(OperationNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name) c = c == ' ' ? '_' : c;
                           return name;
                         });

}  // namespace
}  // namespace faults
