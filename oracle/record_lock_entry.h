// CRecordLockEntry: one entry of the Oracle table's list of locked records, holding a reference on the object the
// lock belongs to and the number the table gave it. The list owns the entries; each entry owns one reference of its
// object.
#pragma once

#include <cstdint>

#include "engine/cache/locked_row_cache.h"
#include "foundation/ref_counted.h"

class CRecordLockEntry : public CRowLockEntry {
 public:
  // Takes a reference on the object when there is one.
  CRecordLockEntry(CRefCounted* object, std::uint32_t value);
  // Drops the reference; the object goes when that was its last.
  ~CRecordLockEntry() override;

  // The entry's second operation, which the list never needs an answer from: 0.
  virtual int nQuery();

  // The object with one more reference, which the caller releases; null when the entry holds none.
  CRefCounted* pGetObject() const;
  std::uint32_t nGetValue() const { return m_nValue; }
  // The value is the lock mode the record was locked in.
  std::uint32_t nGetLockMode() override { return m_nValue; }

 private:
  CRefCounted* m_pObject;
  std::uint32_t m_nValue;
};
