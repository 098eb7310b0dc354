// Writing records: the order of record lock, statement and unlock for UPDATE, INSERT and DELETE, the statement
// kinds run on the default context, how a failed run is classified, and whom a change is told.
#include <cstdint>

#include "engine/table/cursor.h"
#include "engine/table/table.h"

int CTable::bAddRecord(std::uint32_t, std::uint32_t) { return nNotAvailable(0); }

int CTable::bSaveRecord(RuntimeWord, std::uint32_t, std::uint32_t) { return nNotAvailable(0); }

int CTable::bDeleteRecord(RuntimeWord, std::uint32_t) { return nNotAvailable(0); }

int CTable::bWriteRecord(RuntimeWord, std::uint32_t, std::uint32_t) { return nNotAvailable(0); }

int CTable::bModifyRecord(RuntimeWord, std::uint32_t, RuntimeWord) { return nNotAvailable(0); }

int CTable::bExecuteModification(CCursor*, std::uint32_t, std::uint32_t, RuntimeWord) { return nNotAvailable(0); }

int CTable::bLockCurrentRecord(CCursor*, std::uint32_t, RuntimeWord, RuntimeWord) { return 1; }

int CTable::bUnlockCurrentRecord(CCursor*, std::uint32_t, RuntimeWord, RuntimeWord) { return 1; }

int CTable::bApplyRecordLockMode(CCursor*, std::uint32_t, RuntimeWord, RuntimeWord) { return 1; }

int CTable::bDoModifyRecord(RuntimeWord, std::uint32_t) { return nNotAvailable(0); }

int CTable::bDoWriteRecord(RuntimeWord, std::uint32_t, std::uint32_t, RuntimeWord) { return nNotAvailable(0); }

int CTable::bDoAddRecord(std::uint32_t, std::uint32_t) { return nNotAvailable(0); }

void CTable::NotifyOtherTables(std::uint32_t, CCursor*, std::uint32_t) {}

int CTable::bResetRecordBuffer(std::uint32_t) { return nNotAvailable(0); }

void CTable::CopyImageToCurrent() { nNotAvailable(0); }

int CTable::bComputeNextIdentifier(CColumn*) { return nNotAvailable(0); }
