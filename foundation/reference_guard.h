// Guards for counted objects: one reference held for the length of a scope and given back however the scope ends
// (an exception included), and the release rule of objects that two owners count apart.
#pragma once

#include <cstdint>

// Gives a reference back through the object's own nRelease.
template <typename T>
struct SReleaseItself {
  void operator()(T* object) const { object->nRelease(); }
};

// Holds the reference the caller took (null holds nothing) and gives it back through Release at the end of the scope.
template <typename T, typename Release = SReleaseItself<T>>
class CReferenceGuard {
 public:
  explicit CReferenceGuard(T* object, Release release = Release()) : m_pObject(object), m_release(release) {}
  ~CReferenceGuard() {
    if (m_pObject) m_release(m_pObject);
  }
  CReferenceGuard(const CReferenceGuard&) = delete;
  CReferenceGuard& operator=(const CReferenceGuard&) = delete;
  T* operator->() const { return m_pObject; }
  T& operator*() const { return *m_pObject; }
  explicit operator bool() const { return m_pObject != nullptr; }
  T* Get() const { return m_pObject; }

 private:
  T* m_pObject;
  [[no_unique_address]] Release m_release;
};

// Drops one of an object's two counts (the driver's references and the runtime's external ones); destroy runs when
// both are 0. Dropping a count that is already 0 is an unbalanced release: it changes nothing and answers 0, so an
// object is never destroyed twice. Answers the dropped count's new value, 0 once destroyed.
template <typename Destroy>
std::uint32_t nDropOneOfTwoCounts(std::uint32_t& count, std::uint32_t other, Destroy destroy) {
  if (count == 0) return 0;
  if (--count == 0 && other == 0) {
    destroy();
    return 0;
  }
  return count;
}

// The counted field takes the replacement (a reference taken) and gives its old object back; the same object again
// changes nothing, so a field is never released under itself.
template <class T>
void Exchange(T*& slot, T* replacement) {
  if (slot == replacement) return;
  if (replacement) replacement->AddRef();
  T* old = slot;
  slot = replacement;
  if (old) old->nRelease();
}
