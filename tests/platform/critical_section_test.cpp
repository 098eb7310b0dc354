#include "platform/critical_section.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

TEST(CriticalSection, ReentrantForItsOwnerExclusiveForOthers) {
  platform::CriticalSection section{};
  section.Initialize();
  section.Enter();
  section.Enter();
  bool otherEntered = true;
  std::thread([&] { otherEntered = section.TryEnter(); }).join();
  EXPECT_FALSE(otherEntered);
  section.Leave();
  std::thread([&] { otherEntered = section.TryEnter(); }).join();
  EXPECT_FALSE(otherEntered) << "one Leave per Enter";
  section.Leave();
  std::thread([&] {
    otherEntered = section.TryEnter();
    if (otherEntered) section.Leave();
  }).join();
  EXPECT_TRUE(otherEntered);
  section.Delete();
}

TEST(CriticalSection, SerialisesWriters) {
  platform::CriticalSection section{};
  section.Initialize();
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        platform::CriticalSectionGuard guard(section);
        counter = counter + 1;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, 80000);
  section.Delete();
}

}  // namespace
