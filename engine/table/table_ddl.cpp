// Creating, dropping and checking tables: DROP and CREATE TABLE through the default context, the indexes made
// after the table, the catalog check of an existing table and the catalog description attached to the runtime's.
#include <cstdint>

#include "engine/table/cursor.h"
#include "engine/table/table.h"

int CTable::bDoCreate(std::uint32_t, std::uint32_t) { return nNotAvailable(0); }

int CTable::bDoDeleteAll() { return nNotAvailable(0); }

int CTable::bCheckTableDescription(std::uint32_t* exists, std::uint32_t* compatible) {
  if (exists) *exists = 0;
  if (compatible) *compatible = 0;
  return nNotAvailable(0);
}

CRecordDescription* CTable::pLoadRecordDescription(const char16_t*, std::uint32_t) {
  nNotAvailable(0);
  return nullptr;
}

int CTable::pszMakeIndexName(CColumn*, CTString&) { return nNotAvailable(0); }

std::uint32_t CTable::nGetObjectKind() { return 1; }

int CTable::bIsUsable() {
  if (!m_bExistsAndUsable) {
    std::uint32_t exists = 0;
    m_bExistsAndUsable = bCheckTableDescription(&exists, nullptr) && exists;
  }
  return static_cast<int>(m_bExistsAndUsable);
}

int CTable::bAttachDescription(CRecordDescription*) { return nNotAvailable(0); }
