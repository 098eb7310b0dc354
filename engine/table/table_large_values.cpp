// Large values, automatic identifiers and the record lock setting: memo items read and written one by one by their
// index among the large items, the next identifier before an INSERT, and the lock mode the runtime sets.
#include <cstdint>

#include "engine/table/cursor.h"
#include "engine/table/table.h"

int CTable::bReadLargeValue(std::uint32_t, RuntimeWord) { return nNotAvailable(0); }

int CTable::bWriteLargeValue(std::uint32_t, RuntimeWord) { return nNotAvailable(0); }

int CTable::bSaveMemoToFile(std::uint32_t, RuntimeWord) { return nNotAvailable(0); }

int CTable::bCallLargeValueSlot(std::uint32_t, RuntimeWord) { return nNotAvailable(0); }

int CTable::bSetItemFromBuffer(IHostItemDescription*, RuntimeWord) { return nNotAvailable(0); }

int CTable::bLinkMemoFile(IHostItemDescription*, RuntimeWord) { return nNotAvailable(0); }

int CTable::bLoadDeferredValue(CColumn*) { return 1; }

int CTable::bCopyValue(RuntimeWord, RuntimeWord, RuntimeWord) { return nNotAvailable(0); }

CAutomaticIdentifier* CTable::pGetAutomaticIdentifier() {
  nNotAvailable(0);
  return nullptr;
}

int CTable::bComputeAutomaticIdentifier() { return nNotAvailable(0); }

int CTable::bSetLockMode(std::uint32_t mode) {
  m_nRecordLockMode = mode;
  return nNotAvailable(0);
}
