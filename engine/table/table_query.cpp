// Query mode: the table as the result of a query the runtime analysed or of an SQL text; entering it, building and
// running the statement, describing the result, and the SELECT a context prepares with its read-ahead.
#include <cstdint>

#include "engine/table/cursor.h"
#include "engine/table/table.h"

int CTable::bExecuteQuery(std::uint32_t* hasRows, const char16_t*, RuntimeWord, std::uint32_t, RuntimeWord) {
  if (hasRows) *hasRows = 0;
  return nNotAvailable(0);
}

int CTable::bPrepareStatement(CSqlRewriter*, CCursor*, const char16_t*, std::uint32_t, std::uint32_t, std::uint32_t*) {
  return nNotAvailable(0);
}

CCursor* CTable::pRunInternalQuery(RuntimeWord, const char16_t*) {
  nNotAvailable(0);
  return nullptr;
}

int CTable::bIsPending() const { return m_bQueryMode && (m_nQueryFlags & 16); }

int CTable::bQueryReportsRows() const { return 0; }

IHostFileDescription* CTable::pGetWorkingDescription() {
  if (m_pRecordDescription) m_pRecordDescription->AddExternalRef();
  return m_pRecordDescription;
}

void CTable::RenameSqlContext(const char16_t*) {}

int CTable::bLinkTableDescription() { return 1; }

std::uint32_t CTable::nGetFlagWord() {
  nNotAvailable(0);
  return 0;
}

CColumn* CTable::pGetReferenceItem() {
  nNotAvailable(0);
  return nullptr;
}

CFieldValue* CTable::pGetReferenceValue() {
  nNotAvailable(0);
  return nullptr;
}

CTable* CTable::pClone(CHashTable&, RuntimeWord, RuntimeWord) {
  nNotAvailable(0);
  return nullptr;
}
