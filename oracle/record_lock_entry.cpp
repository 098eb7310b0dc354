#include "oracle/record_lock_entry.h"

CRecordLockEntry::CRecordLockEntry(CRefCounted* object, std::uint32_t value) : m_pObject(object), m_nValue(value) {
  if (m_pObject) m_pObject->AddRef();
}

CRecordLockEntry::~CRecordLockEntry() {
  if (m_pObject) m_pObject->nRelease();
}

int CRecordLockEntry::nQuery() { return 0; }

CRefCounted* CRecordLockEntry::pGetObject() const {
  if (m_pObject) m_pObject->AddRef();
  return m_pObject;
}
