// Record slots, saved positions and positioning: positions stored, recalled, compared and released by identifier,
// a context put on a record by key values or per mille, and where a context stands.
#include <cstdint>

#include "engine/table/cursor.h"
#include "engine/table/table.h"

int CTable::bStorePosition(RuntimeWord, const char16_t*, std::uint32_t) { return nNotAvailable(0); }

int CTable::bRecallPosition(std::uint32_t, RuntimeWord, std::uint32_t, std::uint32_t) { return nNotAvailable(0); }

int CTable::bRestorePosition(RuntimeWord, std::uint32_t) { return nNotAvailable(0); }

int CTable::bGoToRecord(const char16_t*, RuntimeWord, std::uint32_t, RuntimeWord, std::uint32_t, RuntimeWord) {
  return nNotAvailable(0);
}

CSavedPosition* CTable::pLookupPosition(std::uint32_t) { return nullptr; }

int CTable::bReleasePosition(std::uint32_t) { return nNotAvailable(0); }

int CTable::bCountCurrentContext(RuntimeWord, std::uint32_t, std::uint32_t) { return nNotAvailable(0); }

int CTable::bCompareRecords(CSavedPosition*, CSavedPosition*, std::uint32_t*) { return nNotAvailable(0); }

int CTable::bComparePositions(CSavedPosition*, CSavedPosition*, std::uint32_t*) { return nNotAvailable(0); }

int CTable::bCompareOther(CSavedPosition*, CSavedPosition*, std::uint32_t*) { return 0; }

int CTable::bGoToRecordByItems(RuntimeWord, RuntimeWord) { return nNotAvailable(0); }

int CTable::bMarkContextRecord(const char16_t*) { return nNotAvailable(0); }

int CTable::bResetContextMark(const char16_t*) { return nNotAvailable(0); }

int CTable::bGetPositionPerMille(std::uint32_t* out, const char16_t*, std::uint32_t) {
  if (out) *out = 0xFFFFFFFF;
  return nNotAvailable(0);
}

int CTable::bSetPositionPerMille(const char16_t*, std::uint32_t, std::uint32_t, std::uint32_t) { return nNotAvailable(0); }

int CTable::bCompareSavedPositions(std::uint32_t, std::uint32_t, RuntimeWord) { return nNotAvailable(0); }

int CTable::bGetOutOfRange(const char16_t*, RuntimeWord) { return nNotAvailable(0); }

int CTable::bGetRecordState(const char16_t*, std::uint32_t*, std::uint32_t*) { return nNotAvailable(0); }

IPositionTable* CTable::pGetPositionTable() { return nullptr; }
