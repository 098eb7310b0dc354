// A countdown over the allocations of a solo test program, so that every failure path behind an allocation can be
// reached in any build. It sees the C allocation calls of the code linked into the program (the program is linked
// with --wrap for malloc, calloc, realloc and free), the global operator new in its plain and nothrow forms (except
// when the runtime stand-in calls it for its own objects), and the runtime stand-in's string allocator once
// StringAllocator() is bound in its place. Armed with N, it lets N
// allocations through and fails the next one only; blocks obtained while it is armed are tracked until freed, so a
// run can show that it leaked none. Only solo programs whose name holds "countdown" are linked this way.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "standin/runtime/runtime_standin.h"

class IHostStringAllocator;

namespace countdown {

// Lets n allocations through, fails the one after, then lets everything through again.
void Arm(std::uint64_t n);
// Stops counting and tracking; true when an allocation was failed since Arm.
bool bDisarm();
// Blocks obtained while armed (outside a pause) and not yet freed.
std::size_t nTrackedLive();

// Counts the allocations of one run without failing any and keeps, for each, a key of the calls that led to it (the
// innermost `depth` return addresses, hashed), so that a scenario too long to fail at every allocation can fail one
// allocation per distinct path. Ended by bDisarm; RecordedPaths then holds one key per allocation counted, in order.
void Record(int depth);
std::vector<std::uint64_t> RecordedPaths();

// While one lives, allocations are neither counted nor failed nor tracked: a scenario's own checks and the
// objects it keeps across runs are made under one.
class CPause {
 public:
  CPause();
  ~CPause();
  CPause(const CPause&) = delete;
  CPause& operator=(const CPause&) = delete;
};

// The stand-in's string allocator with its allocations counted down: bind it as gpHostStringAllocator.
IHostStringAllocator* StringAllocator();

// What a std::bad_alloc that leaves a run means: a fault, or (where the code under test works in standard
// containers and lets their exceptions pass, as the driver lets every exception pass) a clean failure of that run.
enum class EBadAlloc { kFault, kCleanFailure };

// Runs the scenario once untouched, so that what it makes once per process (caches, message tables) exists, then
// with the Nth allocation failing for N = 0, 1, ... until a run meets no failure. The scenario checks its own
// outcome (success, or a clean failure with nothing half-changed) under a CPause; here every run must leave no
// tracked block and no runtime string behind. Answers the number of runs that met a failure, so that a caller can
// show its scenario allocates at all.
template <typename Scenario>
std::uint64_t nRunUntilDone(Scenario&& scenario, EBadAlloc badAlloc = EBadAlloc::kFault) {
  scenario();
  for (std::uint64_t n = 0;; ++n) {
    const std::int64_t strings = qzrt::LiveStringCount();
    Arm(n);
    bool thrown = false;
    try {
      scenario();
    } catch (const std::bad_alloc&) {
      thrown = true;
    }
    const bool failed = bDisarm();
    EXPECT_FALSE(thrown && badAlloc == EBadAlloc::kFault) << "std::bad_alloc left the run failing allocation " << n;
    EXPECT_EQ(nTrackedLive(), 0u) << "blocks leaked by the run failing allocation " << n;
    EXPECT_EQ(qzrt::LiveStringCount(), strings) << "runtime strings leaked by the run failing allocation " << n;
    if (!failed || ::testing::Test::HasFailure()) return n;
  }
}

}  // namespace countdown
