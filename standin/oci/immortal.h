// A process-wide object of the library that is built at first use and never destroyed. Programs call the client
// from their own exit handlers and static destructors, which may run after the library's statics would have been
// destroyed; what the entry points need must stay whole as long as the library is loaded.
#pragma once

#include <new>
#include <utility>

namespace qzoci {

template <typename T>
class Immortal {
 public:
  template <typename... Args>
  explicit Immortal(Args&&... args) {
    ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
  }
  Immortal(const Immortal&) = delete;
  Immortal& operator=(const Immortal&) = delete;

  T& operator*() { return *std::launder(reinterpret_cast<T*>(storage_)); }
  T* operator->() { return &**this; }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace qzoci
