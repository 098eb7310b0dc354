#include "foundation/ref_counted.h"

std::uint32_t CRefCounted::nRelease() {
  if (m_nRefCount > 0) --m_nRefCount;
  if (m_nRefCount == 0) {
    delete this;
    return 0;
  }
  return m_nRefCount;
}

void AddRefObject(CRefCounted* object) {
  if (object) object->AddRef();
}

void ReleaseArrayElement(CDynamicArray*, CRefCounted* object) {
  if (!object || object->m_nRefCount == 0) return;
  if (--object->m_nRefCount == 0 && !object->m_bStatic) delete object;
}

CRefPtrArray::~CRefPtrArray() {
  while (nGetCount() > 0) {
    ReleaseArrayElement(this, pGetObject(0));
    CDynamicArray::RemoveAt(0);
  }
}
