// Four runtime threads on one driver object, as a runtime drives it: access-interface operations mixed with the
// driver slots that change the shared error holder (7, 17, 25, 31), each thread giving back its driver reference
// (slot 6) at a different moment, so that the last release destroys the driver while other threads are still inside
// their interfaces. Run in the test build and under ThreadSanitizer (the tsan preset); a program of its own, since
// the lookup cache and gpDriver are process-wide.
#include <gtest/gtest.h>

#include <barrier>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "driver/access_interface.h"
#include "driver/driver.h"
#include "host/library_entry.h"
#include "driver/table_lookup_cache.h"
#include "standin/runtime/runtime_objects.h"
#include "tests/doubles/driver_doubles.h"
#include "tests/slot_call.h"

namespace {

using HV = RuntimeWord;

constexpr int kThreads = 4;
constexpr int kRounds = 2000;
constexpr int kStepsPerRound = 2;

// Slots of the driver object and positions of the access interface used here.
enum : std::size_t {
  kRelease = 6, kClearError = 7, kCopyRegistry = 10, kGetInterface = 13, kCloseRegistry = 17, kNotAvailable25 = 25,
  kNotAvailable31 = 31,
};
enum : std::size_t { kInterfaceRelease = 6, kOpen = 15, kClose = 17, kUnlockTable = 29, kTableProbe = 35 };

// A table whose open succeeds, so that the threads find open tables in the shared registries.
class OpenableTable : public doubles::TestTable {
 public:
  using TestTable::TestTable;
  int bOpen(std::uint32_t, RuntimeWord) override {
    Open();
    return 1;
  }
  // A copy made as the driver's tables make theirs: it registers with the interface of the table copied.
  TestTable* pClone(CHashTable& cloneMap, RuntimeWord a, RuntimeWord b) override {
    return static_cast<TestTable*>(pCloneInto(new OpenableTable(nullptr, nullptr, nullptr), cloneMap, a, b));
  }
};

class StressDriver : public doubles::TestDriver {
 public:
  CTable* pCreateTable(IHostFileDescription* description, CConnection* connection, CErrorHolder* holder) override {
    return new OpenableTable(description, connection, holder);
  }
};

// What one thread owns for a round: its interface, its handles and the registry key it closes.
struct Lane {
  CAccessInterface* accessInterface = nullptr;
  qzrt::ConnectionDescription* connection = nullptr;
  qzrt::TableDescription ownTable;  // a description of its own: an interface no other lane shares
  qzrt::FileHandle ownHandle;
  qzrt::FileHandle sharedHandle;  // the same identifiers in every lane: one table for all of them
  qzrt::RegistryKey otherKey;
  int releaseAt = 0;
  int notAvailableSlotTurn = 0;  // which of slots 25 and 31 the lane calls first
  int answersOutOfRange = 0;

  Lane(int lane, int round)
      : ownTable(u"T" + std::u16string(1, static_cast<char16_t>(u'0' + lane))),
        ownHandle(1 + lane % 2, 10 + lane),
        sharedHandle(1, 99),
        otherKey(1 + (lane + 1) % 2),
        releaseAt((round + lane) % kStepsPerRound),
        notAvailableSlotTurn(round / kStepsPerRound % 2) {}
};

bool IsBoolean(std::int32_t answer) { return answer == 0 || answer == 1; }

void RunLane(StressDriver* driver, Lane& lane) {
  CAccessInterface* accessInterface = lane.accessInterface;
  bool holdsDriver = true;
  for (int step = 0; step < kStepsPerRound; ++step) {
    if (step == lane.releaseAt) {
      CallSlot<std::int32_t>(driver, kRelease);
      holdsDriver = false;
    }
    const std::int32_t answers[] = {
        CallSlot<std::int32_t>(accessInterface, kOpen, &lane.ownHandle, 0u, HV{0}),
        CallSlot<std::int32_t>(accessInterface, kOpen, &lane.sharedHandle, 0u, HV{0}),
        CallSlot<std::int32_t>(accessInterface, kUnlockTable, &lane.sharedHandle),
        CallSlot<std::int32_t>(accessInterface, kUnlockTable, &lane.ownHandle),
        static_cast<std::int32_t>(CallSlot<std::int64_t>(accessInterface, kTableProbe, &lane.ownHandle)),
    };
    for (std::int32_t answer : answers) lane.answersOutOfRange += IsBoolean(answer) ? 0 : 1;
    if (holdsDriver) {
      CallSlot<std::int32_t>(driver, kClearError);
      if ((step + lane.notAvailableSlotTurn) % 2 == 0) {
        CallSlot<int>(driver, kNotAvailable25);
      } else {
        CallSlot<int>(driver, kNotAvailable31, std::uintptr_t{0}, std::uintptr_t{0}, std::uintptr_t{0}, u"F.DAT");
      }
      CallSlot<int>(driver, kCloseRegistry, &lane.otherKey);
    }
    lane.answersOutOfRange += IsBoolean(CallSlot<std::int32_t>(accessInterface, kClose, &lane.ownHandle)) ? 0 : 1;
  }
}

// Each step of the first four lanes makes an interface of the lane's own, opens a table through it and gives the
// interface back, which goes while its table stays open in the registry; the fifth lane copies those registries.
void MakeUseAndReleaseInterfaces(StressDriver* driver, Lane& lane) {
  const bool copier = lane.ownHandle.nGetFileId() == 10 + kThreads;
  qzrt::KeyTranslator translator;
  for (std::uint64_t file = 10; file < 10 + 4 * kStepsPerRound; ++file) translator.SetTranslation(file, file);
  for (int step = 0; copier && step < 4 * kStepsPerRound; ++step) {
    qzrt::RegistryKey source(1 + step % 2);
    qzrt::RegistryKey target(3 + step % 2);
    lane.answersOutOfRange += CallSlot<int>(driver, kCopyRegistry, &translator, &source, &target, 0u) == 1 ? 0 : 1;
  }
  for (int step = 0; !copier && step < kStepsPerRound; ++step) {
    CallSlot<std::int32_t>(lane.accessInterface, kInterfaceRelease);
    lane.accessInterface = CallSlot<CAccessInterface*>(driver, kGetInterface, lane.connection, &lane.ownTable);
    qzrt::FileHandle handle(lane.ownHandle.nGetContextId(), lane.ownHandle.nGetFileId() + 4 * step);
    lane.answersOutOfRange += CallSlot<std::int32_t>(lane.accessInterface, kOpen, &handle, 0u, HV{0}) == 1 ? 0 : 1;
    lane.answersOutOfRange += IsBoolean(static_cast<std::int32_t>(
        CallSlot<std::int64_t>(lane.accessInterface, kTableProbe, &handle))) ? 0 : 1;
  }
  CallSlot<std::int32_t>(driver, kRelease);
}

// The lane each thread runs, how many threads, and whether each lane's interface has a description of its own.
struct Mix {
  const char* name;
  void (*lane)(StressDriver*, Lane&);
  int lanes;
  bool ownTables;
};
const Mix kMixes[] = {
    {"InterfaceCallsMixedWithHolderSlotsAndTheLastRelease", RunLane, kThreads, false},
    {"InterfacesMadeAndReleasedWhileRegistriesAreCopied", MakeUseAndReleaseInterfaces, kThreads + 1, true},
};

// The checks after a round; false when the round left something behind (the remaining rounds would only repeat it).
bool RoundEndedCleanly(int round, std::vector<std::unique_ptr<Lane>>& lanes, qzrt::ConnectionDescription& connection,
                       qzrt::TableDescription& table) {
  // Every lane gave its driver reference back: the driver is gone, and its interfaces reach no table any more.
  EXPECT_EQ(gpDriver, nullptr) << "round " << round;
  EXPECT_EQ(gpCachedTable, nullptr);
  for (const std::unique_ptr<Lane>& owned : lanes) {
    Lane& lane = *owned;
    EXPECT_EQ(lane.answersOutOfRange, 0);
    EXPECT_EQ(CallSlot<std::int32_t>(lane.accessInterface, kUnlockTable, &lane.sharedHandle), 0);
    EXPECT_EQ(CallSlot<std::int32_t>(lane.accessInterface, kOpen, &lane.ownHandle, 0u, HV{0}), 0);
    CallSlot<std::int32_t>(lane.accessInterface, kInterfaceRelease);
  }
  // Nothing leaked and nothing was freed twice: every table, connection and runtime reference came back.
  EXPECT_EQ(doubles::gnLiveTables.load(), 0) << "round " << round;
  EXPECT_EQ(doubles::gnLiveConnections.load(), 0) << "round " << round;
  EXPECT_EQ(connection.References(), 1) << "round " << round;
  EXPECT_EQ(table.References(), 1) << "round " << round;
  for (const std::unique_ptr<Lane>& lane : lanes) EXPECT_EQ(lane->ownTable.References(), 1) << "round " << round;
  return !::testing::Test::HasFailure();
}

class ThreadedDriverTest : public ::testing::TestWithParam<Mix> {};

TEST_P(ThreadedDriverTest, RoundsEndWithNothingLeftBehind) {
  doubles::EnsureLibrary();
  const Mix& mix = GetParam();
  // The same threads serve every round, started and stopped together by the barrier.
  std::barrier sync(mix.lanes + 1);
  bool stop = false;
  StressDriver* driver = nullptr;
  std::vector<std::unique_ptr<Lane>> lanes;
  std::vector<std::thread> threads;
  for (int i = 0; i < mix.lanes; ++i) {
    threads.emplace_back([&, i] {
      for (;;) {
        sync.arrive_and_wait();
        if (stop) return;
        mix.lane(driver, *lanes[i]);
        sync.arrive_and_wait();
      }
    });
  }
  for (int round = 0; round < kRounds; ++round) {
    // The runtime's objects of one round (each logs the calls it takes; a log kept over every round would only grow).
    qzrt::ConnectionDescription connection;
    connection.SetText(qzrt::ConnectionDescription::kName, u"cnx");
    qzrt::TableDescription table(u"CUSTOMER");
    driver = new StressDriver();
    for (int i = 0; i < mix.lanes; ++i) driver->AddRef();  // one reference per runtime thread
    gpDriver = driver;
    lanes.clear();
    for (int lane = 0; lane < mix.lanes; ++lane) {
      lanes.push_back(std::make_unique<Lane>(lane, round));
      lanes.back()->connection = &connection;
      lanes.back()->accessInterface = CallSlot<CAccessInterface*>(driver, kGetInterface, &connection,
                                                                  mix.ownTables ? &lanes.back()->ownTable : &table);
    }
    sync.arrive_and_wait();  // the lanes run
    sync.arrive_and_wait();  // and are done
    if (!RoundEndedCleanly(round, lanes, connection, table)) break;
  }
  stop = true;
  sync.arrive_and_wait();
  for (std::thread& thread : threads) thread.join();
}

INSTANTIATE_TEST_SUITE_P(Mixes, ThreadedDriverTest, ::testing::ValuesIn(kMixes),
                         [](const ::testing::TestParamInfo<Mix>& info) { return std::string(info.param.name); });

}  // namespace
