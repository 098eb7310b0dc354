// CValueRow: the counted list of field values that carries a cached row's large values beside its record bytes.
// Each element is a field value the row holds one reference on; empty slots are allowed. The row cache and the
// record-values keys share rows by reference.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"

class CFieldValue;
class CHashTable;

class CValueRow : public CRefCounted {
 public:
  CValueRow() = default;
  ~CValueRow() override = default;  // the array releases every element

  // This row becomes a copy of the source, registered in the clone map: each element is the copy the map already
  // knows, else the element's clone through the map.
  virtual int bCopyFromWithMap(CValueRow* source, CHashTable& cloneMap);
  // A new row copied from this one through the map (count 0); null when it cannot be made.
  virtual CValueRow* pNew(CHashTable& cloneMap);

  // Past the end the row grows with empty slots and keeps a duplicate of the value (an empty slot for none); inside
  // it the element takes the value. 0 when no duplicate could be made.
  int SetAt(std::uint32_t index, CFieldValue* value);
  // The element at the index becomes the value itself (a reference taken), the row growing with empty slots up to
  // it: the record's large value is then the column's own field value. 0 when the row cannot grow.
  int bPut(std::uint32_t index, CFieldValue* value);
  // Every element of the other row in order; elements beyond the other's count become NULL. 0 at the first element
  // that cannot be made (the elements before it copied).
  int CopyFrom(CValueRow* other);

  std::uint32_t nGetCount() const { return m_values.nGetCount(); }
  CFieldValue* pGetAt(std::uint32_t index) const;

 private:
  CRefPtrArray m_values{1};
};

// Two rows are equal when they are the same row, both are empty, or their elements are equal pairwise up to the
// longer count, a missing element or empty slot counting as NULL.
int bValueRowsEqual(CValueRow* a, CValueRow* b);
