// gcsDriverLock held by a thread of its own, for tests that check an operation waits for it.
#pragma once

#include <future>
#include <thread>

#include "host/library_entry.h"

// Takes the lock on its own thread before the constructor returns and gives it back on Release (or destruction).
class LockHeldElsewhere {
 public:
  LockHeldElsewhere() {
    std::promise<void> held;
    std::future<void> heldNow = held.get_future();
    m_thread = std::thread([this, held = std::move(held)]() mutable {
      gcsDriverLock.Enter();
      held.set_value();
      m_release.get_future().wait();
      gcsDriverLock.Leave();
    });
    heldNow.wait();
  }
  ~LockHeldElsewhere() { Release(); }
  LockHeldElsewhere(const LockHeldElsewhere&) = delete;
  LockHeldElsewhere& operator=(const LockHeldElsewhere&) = delete;

  void Release() {
    if (!m_thread.joinable()) return;
    m_release.set_value();
    m_thread.join();
  }

 private:
  std::promise<void> m_release;
  std::thread m_thread;
};
