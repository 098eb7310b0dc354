// The first bInitLibrary of a process: it runs in a program of its own, since nothing can undo it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "host/library_entry.h"

namespace {

bool OtherThreadCanEnter() {
  bool entered = false;
  std::thread other([&] {
    entered = gcsDriverLock.TryEnter();
    if (entered) gcsDriverLock.Leave();
  });
  other.join();
  return entered;
}

TEST(LibraryInit, OnlyTheFirstCallInitialises) {
  ASSERT_EQ(gnInitCount, 0);
  int instance = 0;

  // Only process attach counts.
  EXPECT_EQ(DllProcessAttach(&instance, 0, nullptr), 1);
  EXPECT_EQ(DllProcessAttach(&instance, 2, nullptr), 1);
  EXPECT_EQ(DllProcessAttach(&instance, 3, nullptr), 1);
  EXPECT_EQ(gnInitCount, 0);

  EXPECT_EQ(DllProcessAttach(&instance, 1, nullptr), 1);
  EXPECT_EQ(gnInitCount, 1);
  EXPECT_EQ(ghInstance, &instance);

  std::uint32_t out = 0;
  bDLLCompatible(7, 21, &out);
  bDLLCompatible(28, 24, &out);

  // A second call, with the lock held, neither resets the versions, nor the instance, nor the lock.
  gcsDriverLock.Enter();
  int other = 0;
  EXPECT_EQ(bInitLibrary(&other), 1);
  EXPECT_EQ(gnInitCount, 2);
  EXPECT_EQ(ghInstance, &instance);
  EXPECT_EQ(gnHostVmVersion, 21u);
  EXPECT_EQ(gnHostSqlVersion, 24u);
  EXPECT_FALSE(OtherThreadCanEnter());
  gcsDriverLock.Enter();  // re-entrant for its owner
  gcsDriverLock.Leave();
  EXPECT_FALSE(OtherThreadCanEnter());
  gcsDriverLock.Leave();
  EXPECT_TRUE(OtherThreadCanEnter());
  TermLibrary(nullptr);
  EXPECT_EQ(gnInitCount, 2);
}

}  // namespace
