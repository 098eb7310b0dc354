// A process-wide object built in static storage and never destroyed. The runtime may call the driver from its own
// exit handlers and static destructors, after the library's statics would have gone; process-wide texts that error
// raising reads must stay whole for as long as the library can be called. Nothing is on the heap until the object
// itself allocates, so a module unloaded early leaves no block of its own behind.
#pragma once

#include <new>
#include <utility>

template <typename T>
class CImmortal {
 public:
  template <typename... Args>
  explicit CImmortal(Args&&... args) {
    ::new (static_cast<void*>(m_storage)) T(std::forward<Args>(args)...);
  }
  CImmortal(const CImmortal&) = delete;
  CImmortal& operator=(const CImmortal&) = delete;

  T& Get() { return *std::launder(reinterpret_cast<T*>(m_storage)); }

 private:
  alignas(T) unsigned char m_storage[sizeof(T)];
};
