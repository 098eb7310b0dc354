// A re-entrant lock with the life cycle of a Windows critical section: plain storage that is all zero until
// Initialize, so that a process-wide lock can be a global created by whoever runs first, whatever the order of
// static initialisation, and never deleted.
#pragma once

namespace platform {

struct CriticalSection {
  void Initialize();  // InitializeCriticalSection
  void Delete();      // DeleteCriticalSection
  void Enter();       // EnterCriticalSection: the owning thread may enter again
  void Leave();       // LeaveCriticalSection: once per Enter
  bool TryEnter();    // TryEnterCriticalSection

  // Large enough for a CRITICAL_SECTION and for a pthread mutex; each backend checks its own fit.
  alignas(16) unsigned char storage[64];
};

// Holds a critical section for one scope.
class CriticalSectionGuard {
 public:
  explicit CriticalSectionGuard(CriticalSection& section) : m_section(section) { m_section.Enter(); }
  ~CriticalSectionGuard() { m_section.Leave(); }
  CriticalSectionGuard(const CriticalSectionGuard&) = delete;
  CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

 private:
  CriticalSection& m_section;
};

}  // namespace platform
