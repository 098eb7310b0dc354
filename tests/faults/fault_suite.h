// The fault suite of one client API set, included by the program of that set: the including file names the data
// source, the connection options and the set. One test per operation, so that the operations run as programs side by
// side; in it one case per entry the operation calls, per fault and per call (the first and, when it is another call,
// the last the operation makes). Which entries an operation calls is found by running it: an entry the driver calls
// later is injected with no new case written.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "tests/e2e/round_trip_script.h"
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
  const Operation* op = FindOperation(GetParam());
  ASSERT_NE(op, nullptr);
  auto calls = Discover(TheWorld(), op->name);
  ASSERT_FALSE(HasFailure()) << "the operation fails with no fault";
  std::printf("%s: %u cases\n", op->name, RunFaults(TheWorld(), *op, calls[op->name]));
}

// The table is kept from case to case: after a client failure part-way through a large value's write, the column's
// locator still holds what the last insert returned. The same connection and table, their records replaced by SQL,
// write and read each record's own large value, whole.
TEST_F(FaultFixture, LargeValuesWorkAgainOnTheSameTableAfterAFailure) {
  const std::pair<const char*, Fault> faults[] = {
      {"OCIHandleAlloc", Fault::Throw}, {"OCILobClose", Fault::Status},     {"OCILobClose", Fault::Throw},
      {"OCILobWrite", Fault::Status},   {"OCILobOpen", Fault::InvalidHandle},
  };
  const char* const kWrite = "write large value";
  const Operation& write = *FindOperation(kWrite);
  World& world = TheWorld();
  const OperationCalls calls = Discover(world, kWrite)[kWrite];
  const std::u16string other(World::Memo().rbegin(), World::Memo().rend());
  unsigned run = 0;
  for (const auto& [entry, fault] : faults) {
    // The OCI7 set has no LOB calls.
    if (!calls.count(entry)) continue;
    ++run;
    SCOPED_TRACE(std::string(FaultName(fault)) + " in " + entry);
    RunCase(world, write, fault, entry, 1);
    std::string why;
    ASSERT_TRUE(world.Setup(why)) << why;
    ASSERT_TRUE(world.ResetBySql()) << "the table was made again";
    qzrt::OpenTable& table = world.Table();
    ASSERT_TRUE(World::Fill(table, {{"ID", "5"}, {"NAME", "r5"}, {"QTY", "5"}}));
    auto written = e2e::Text(other);
    EXPECT_EQ(table.WriteLarge(0, written.get()), 1) << table.Error().message;
    EXPECT_EQ(table.Add(), 1) << table.Error().message;
    for (const auto& [direction, memo] : {std::pair{qzrt::kReadFirst, &World::Memo()}, {qzrt::kReadLast, &other}}) {
      ASSERT_EQ(table.Read(u"ID", direction), 1) << table.Error().message;
      CHostValue read;
      EXPECT_EQ(table.ReadLarge(0, &read), 1) << table.Error().message;
      EXPECT_TRUE(e2e::TextOf(read) == *memo) << "the large value of " << table.Field(u"ID").value_or("?");
    }
    EXPECT_EQ(world.Committed(), (Rows{"1:1", "2:2", "3:3", "5:5"}));
    world.Teardown(HasFailure());
  }
  EXPECT_TRUE(QZ_FAULTS_OCI7 || run > 0) << "no case ran";
}

INSTANTIATE_TEST_SUITE_P(Operations, ClientFaults, ::testing::ValuesIn(OperationNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name) c = c == ' ' ? '_' : c;
                           return name;
                         });

}  // namespace
}  // namespace faults
