#include "standin/runtime/counted_object.h"

#include <deque>
#include <mutex>

namespace qzrt::services {

std::uint32_t CountedObject::nAddRef() { return ++m_nRefCount; }
std::uint32_t CountedObject::nRelease() { return --m_nRefCount; }

CountedObject* NewCountedObject() {
  static std::mutex mutex;
  static std::deque<CountedObject> objects;
  std::lock_guard lock(mutex);
  return &objects.emplace_back();
}

}  // namespace qzrt::services
