#include "engine/values/value_row.h"

#include <new>

#include "engine/values/field_value.h"
#include "foundation/clone_map.h"

CFieldValue* CValueRow::pGetAt(std::uint32_t index) const {
  return index < m_values.nGetCount() ? static_cast<CFieldValue*>(m_values.pGetObject(index)) : nullptr;
}

int CValueRow::SetAt(std::uint32_t index, CFieldValue* value) {
  CFieldValue* current = pGetAt(index);
  if (current) return current->bCopyFrom(value);
  CFieldValue* copy = nullptr;
  if (value) {
    copy = value->pDuplicate();
    if (!copy) return 0;
    copy->AddRef();
  }
  if (index < m_values.nGetCount()) {
    m_values.SetAt(&copy, index);  // an empty slot takes the duplicate
    return 1;
  }
  CRefCounted* empty = nullptr;
  while (m_values.nGetCount() < index) {
    if (!m_values.Add(empty)) {
      if (copy) copy->nRelease();
      return 0;
    }
  }
  if (!m_values.Add(copy)) {
    if (copy) copy->nRelease();
    return 0;
  }
  return 1;
}

int CValueRow::bPut(std::uint32_t index, CFieldValue* value) {
  CRefCounted* empty = nullptr;
  while (m_values.nGetCount() <= index) {
    if (!m_values.Add(empty)) return 0;
  }
  if (value) value->AddRef();
  if (CFieldValue* current = pGetAt(index)) current->nRelease();
  CRefCounted* stored = value;
  m_values.SetAt(&stored, index);
  return 1;
}

int CValueRow::CopyFrom(CValueRow* other) {
  const std::uint32_t count = other ? other->nGetCount() : 0;
  // An element that cannot be made fails the copy: a row answered as copied must hold every value.
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!SetAt(i, other->pGetAt(i))) return 0;
  }
  for (std::uint32_t i = count; i < nGetCount(); ++i) {
    if (CFieldValue* value = pGetAt(i)) value->SetNull();
  }
  return 1;
}

int CValueRow::bCopyFromWithMap(CValueRow* source, CHashTable& cloneMap) {
  bRegisterClone(cloneMap, source, this);
  for (std::uint32_t i = 0; i < source->nGetCount(); ++i) {
    CFieldValue* element = source->pGetAt(i);
    CFieldValue* copy = nullptr;
    if (element) {
      std::uint64_t known = 0;
      copy = cloneMap.bLookup(nCloneKey(element), &known, nullptr)
                 ? reinterpret_cast<CFieldValue*>(known)
                 : static_cast<CFieldValue*>(element->pClone(cloneMap));
      if (!copy) return 0;
      copy->AddRef();
    }
    if (!m_values.Add(copy)) {
      if (copy) copy->nRelease();
      return 0;
    }
  }
  return 1;
}

CValueRow* CValueRow::pNew(CHashTable& cloneMap) {
  auto* row = new (std::nothrow) CValueRow();
  if (!row) return nullptr;
  try {
    if (!row->bCopyFromWithMap(this, cloneMap)) {
      delete row;
      return nullptr;
    }
  } catch (...) {
    delete row;
    throw;
  }
  return row;
}

int bValueRowsEqual(CValueRow* a, CValueRow* b) {
  if (a == b) return 1;
  const std::uint32_t countA = a ? a->nGetCount() : 0;
  const std::uint32_t countB = b ? b->nGetCount() : 0;
  const std::uint32_t count = countA > countB ? countA : countB;
  for (std::uint32_t i = 0; i < count; ++i) {
    CFieldValue* x = a ? a->pGetAt(i) : nullptr;
    CFieldValue* y = b ? b->pGetAt(i) : nullptr;
    if (!nValueItemsEqualFor(x, y)) return 0;
  }
  return 1;
}
