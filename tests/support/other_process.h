// Another process for tests that need a file held open or locked elsewhere (POSIX test builds only).
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

// Another process that runs the given steps one at a time when told and answers each with a code, so that a test can
// hold a file open or locked elsewhere while it tries the same here. It is forked before the test opens anything, so
// that it shares none of the test's handles, and it ends (releasing all it holds) when the object goes.
class OtherProcess {
 public:
  explicit OtherProcess(std::vector<std::function<std::uint32_t()>> steps) {
    if (::pipe(m_toChild) != 0 || ::pipe(m_toParent) != 0) std::abort();
    m_pid = ::fork();
    if (m_pid == 0) {
      ::close(m_toChild[1]);
      ::close(m_toParent[0]);
      char go;
      for (auto& step : steps) {
        if (::read(m_toChild[0], &go, 1) != 1) ::_exit(0);
        const std::uint32_t result = step();
        if (::write(m_toParent[1], &result, sizeof(result)) != sizeof(result)) ::_exit(1);
      }
      while (::read(m_toChild[0], &go, 1) == 1) {
      }
      ::_exit(0);
    }
    ::close(m_toChild[0]);
    ::close(m_toParent[1]);
  }
  ~OtherProcess() {
    ::close(m_toChild[1]);
    ::close(m_toParent[0]);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
  }

  std::uint32_t Step() {
    const char go = 1;
    std::uint32_t result = 0xDEADu;
    if (::write(m_toChild[1], &go, 1) != 1 || ::read(m_toParent[0], &result, sizeof(result)) != sizeof(result)) {
      ADD_FAILURE() << "the other process did not answer";
    }
    return result;
  }

 private:
  int m_toChild[2];
  int m_toParent[2];
  pid_t m_pid = -1;
};
