// The copies the rewriter's elements make of themselves and of their field values through a clone map.
#pragma once

#include <cstdint>

#include "engine/values/field_value.h"
#include "foundation/clone_map.h"

// A new empty T filled by copy(T*) (1 or 0), handed out with no reference, as pCloneChild expects; null when it
// could not be made or filled. What the copy throws stops here: a clone that failed is no clone.
template <typename T, typename Copy>
T* pCloneCaught(Copy copy) {
  T* clone = nullptr;
  try {
    clone = new T();
    clone->AddRef();
    if (!copy(clone)) {
      clone->nRelease();
      return nullptr;
    }
  } catch (...) {
    if (clone) clone->nRelease();
    return nullptr;
  }
  --clone->m_nRefCount;
  return clone;
}

// A field value's copy for a new holder, referenced: the one the map holds, else its own clone; null for none.
inline CFieldValue* pCloneFieldValue(CHashTable& cloneMap, CFieldValue* value) {
  if (!value) return nullptr;
  std::uint64_t known = 0;
  CFieldValue* copy = cloneMap.bLookup(nCloneKey(value), &known, nullptr)
                          ? reinterpret_cast<CFieldValue*>(known)
                          : static_cast<CFieldValue*>(value->pClone(cloneMap));
  AddRefObject(copy);
  return copy;
}
