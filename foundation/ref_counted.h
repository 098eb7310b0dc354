// Counted objects: CRefCounted is the base of every reference-counted class (a count that starts at 0 and a static
// flag: an object with the flag set is never destroyed by ReleaseArrayElement). CRefPtrArray holds counted objects
// and releases them when it dies; CSharedRefPtrArray is such an array that is itself counted.
#pragma once

#include <cstdint>

#include "foundation/dynamic_array.h"

class CRefCounted {
 public:
  CRefCounted() = default;
  CRefCounted(const CRefCounted&) = delete;
  CRefCounted& operator=(const CRefCounted&) = delete;

  virtual ~CRefCounted() = default;  // slot 0: destroy
  // slot 1: one reference less; at 0 the object is destroyed and 0 answered, else the new count. A release of an
  // object never referenced (count 0) destroys it too rather than wrapping the count.
  virtual std::uint32_t nRelease();

  void AddRef() { ++m_nRefCount; }
  std::uint32_t nGetRefCount() const { return m_nRefCount; }

  std::uint32_t m_nRefCount = 0;
  std::uint32_t m_bStatic = 0;
};

// One reference more; null ignored.
void AddRefObject(CRefCounted* object);
// Releases an element of an array: null and objects whose count is already 0 are left alone; at 0 the object is
// destroyed unless its static flag is set.
void ReleaseArrayElement(CDynamicArray* array, CRefCounted* object);

class CRefPtrArray : public CDynamicArray {
 public:
  explicit CRefPtrArray(std::uint32_t growStep = 10) : CDynamicArray(sizeof(CRefCounted*), growStep) {}
  ~CRefPtrArray() override;  // slot 1

  // Adds the object (no reference is taken: the caller hands one over).
  int Add(CRefCounted* object) { return CDynamicArray::Add(&object); }
  CRefCounted* pGetObject(std::uint32_t i) const { return *static_cast<CRefCounted**>(pGetAt(i)); }
};

class CSharedRefPtrArray : public CRefCounted {
 public:
  explicit CSharedRefPtrArray(std::uint32_t growStep = 10) : m_array(growStep) {}
  CRefPtrArray& Array() { return m_array; }

 private:
  CRefPtrArray m_array;
};

// A holder of one pointer; starts null.
struct CPointerHolder {
  void* m_p = nullptr;
};
