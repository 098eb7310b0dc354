// Deep copies through a clone map: a CHashTable from a source object's address to its copy. A copy operation
// registers source -> copy before it copies its children, and every child is looked up in the map before it is
// cloned, so a child shared by several parents (or reached again through a cycle) is copied once and the copies
// share it.
#pragma once

#include <cstdint>

#include "foundation/hash_table.h"
#include "foundation/module_errors.h"
#include "foundation/ref_counted.h"

inline std::uint64_t nCloneKey(const void* object) { return reinterpret_cast<std::uintptr_t>(object); }

// Registers source -> copy unless the source has a copy already; 0 when the map cannot grow.
inline int bRegisterClone(CHashTable& map, const void* source, void* copy) {
  if (map.bLookup(nCloneKey(source), nullptr, nullptr)) return 1;
  return map.bInsert(nCloneKey(source), nCloneKey(copy));
}

// The copy of a child for a new parent's field, with a reference taken for that field: the copy already in the map,
// else the child's own clone (T::pClone(map)). Null for a null child or a clone that failed.
template <typename T>
T* pCloneChild(CHashTable& map, T* child) {
  if (!child) return nullptr;
  std::uint64_t copy = 0;
  T* result = map.bLookup(nCloneKey(child), &copy, nullptr) ? reinterpret_cast<T*>(copy) : child->pClone(map);
  AddRefObject(result);
  return result;
}

// Puts the copy of a child (pCloneChild) in a counted field in place of what the field held; 0, the field as it was,
// when the clone failed.
template <typename T>
int bReplaceWithClone(CHashTable& map, T* child, T*& field) {
  T* copy = pCloneChild(map, child);
  if (!copy) return 0;
  if (field) field->nRelease();
  field = copy;
  return 1;
}

// A clone by copy: an empty object from `make` (null when memory runs out), given a reference and filled from the
// source by its CopyFrom (source, map); released, and null answered, when the copy fails.
template <typename T, typename Make>
T* pCloneByCopy(T* source, CHashTable& map, Make make) {
  T* copy = make();
  if (!copy) return nullptr;
  copy->AddRef();
  if (!copy->CopyFrom(source, map)) {
    copy->nRelease();
    return nullptr;
  }
  return copy;
}

// A clone made by `copy` (copy(clone) answering 1 or 0) into a new object: handed out with no reference, as
// pCloneChild expects; null when the object could not be made (the out-of-memory error in the holder) or the copy
// failed (the object destroyed).
template <typename T, typename Copy>
T* pCloneUnreferenced(T* clone, CErrorHolder* holder, Copy copy) {
  if (!clone) {
    SetHolderOutOfMemory(holder);
    return nullptr;
  }
  clone->AddRef();
  // A copy that throws takes its half-made object with it; the exception goes on to the caller unchanged.
  int copied = 0;
  try {
    copied = copy(clone);
  } catch (...) {
    clone->nRelease();
    throw;
  }
  if (!copied) {
    clone->nRelease();
    return nullptr;
  }
  --clone->m_nRefCount;
  return clone;
}
