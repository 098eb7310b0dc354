// Creating, dropping and checking tables: DROP and CREATE TABLE through the default context, the indexes made
// after the table, the catalog check of an existing table and the catalog description attached to the runtime's.
#include <cstdint>
#include <ctime>
#include <string>

#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/record_description.h"
#include "engine/record/table_description.h"
#include "engine/cache/keyed_row_cache.h"
#include "engine/table/cursor.h"
#include "engine/table/table.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/reference_guard.h"
#include "foundation/x_error.h"
#include "sql/connection.h"
#include "sql/rewriter/sql_rewriter.h"

namespace {

enum : std::uint32_t {
  TABLE_ERROR_NOT_IN_CATALOG = 15,
  TABLE_POINT_NOT_IN_CATALOG = 12,
  TABLE_MESSAGE_NOT_IN_CATALOG = 28541,
  // The holder's recorded state of a locked or busy object: a DROP failure that stops a creation (as memory does).
  RECORDED_LOCKED_OR_BUSY = 1,
  STATEMENT_DELETE_ALL = 5,
  // The query kind the statement maps to CREATE.
  QUERY_KIND_CREATE = 6,
  // The system code an out-of-memory error carries (the Windows one).
  SYSTEM_CODE_OUT_OF_MEMORY = 14,
  INDEX_UNIQUE_KEYS = 1,
  INDEX_KEYS_WITH_DUPLICATES = 2,
  ORIGIN_FROM_QUERY = 2,
};

std::uint32_t SystemSeconds() { return static_cast<std::uint32_t>(std::time(nullptr)); }

// Whether memory ran out for the error, or for one nested in it.
bool bRanOutOfMemory(const CXError* error) {
  if (!error) return false;
  if (error->nGetSystemCode() == SYSTEM_CODE_OUT_OF_MEMORY) return true;
  for (std::uint32_t i = 0; i < error->nGetNestedCount(); ++i) {
    if (bRanOutOfMemory(error->pGetNestedError(i))) return true;
  }
  return false;
}

IndexNameClock gpfnIndexNameClock = &SystemSeconds;
std::uint32_t gnIndexNameCounter = 0;

// The name a column takes in an index's list: its quoted SQL name, as CREATE TABLE wrote it.
const char16_t* pszIndexedName(CColumn* column) {
  const char16_t* quoted = column->pszGetQuotedName();
  return quoted && *quoted ? quoted : column->pszGetName();
}

}  // namespace

IndexNameClock SetIndexNameClock(IndexNameClock clock) {
  IndexNameClock previous = gpfnIndexNameClock;
  gpfnIndexNameClock = clock ? clock : &SystemSeconds;
  return previous;
}

std::uint32_t SetIndexNameCounter(std::uint32_t value) {
  const std::uint32_t previous = gnIndexNameCounter;
  gnIndexNameCounter = value;
  return previous;
}

int CTable::bDoCreate(std::uint32_t dropFirst, std::uint32_t create) {
  ResetState();
  // Not reached: a table is made on its connection, and its copy takes the same.
  if (!m_pConnection) return bRaise(TABLE_ERROR_TABLE_NOT_OPEN, TABLE_POINT_MISSING_PART);
  if (!m_pConnection->bOpen(m_pErrorHolder, nullptr) || !bEnsureTableDescription()) return 0;
  CCursor* context = pGetDefaultContext();
  if (!context) return 0;
  int result = 1;
  if (dropFirst) {
    if (bExecuteModification(context, SQL_STATEMENT_DROP, 0, 0)) {
      // The table is gone: the next open asks the catalog again.
      m_bExistsAndUsable = 0;
    } else if (m_pErrorHolder && (m_pErrorHolder->nGetRecordedCode() == RECORDED_LOCKED_OR_BUSY ||
                                  bRanOutOfMemory(m_pErrorHolder->pGetEmbeddedObject()))) {
      // A table that is not there cannot be dropped, which is no reason not to create it; one held by another
      // session is. So is a DROP that memory refused: the table may well be there still, and the CREATE would fail
      // telling of the table rather than of the memory.
      result = 0;
    }
  }
  if (result && create) {
    if (bExecuteModification(context, SQL_STATEMENT_CREATE, 0, 0)) {
      if (m_pErrorHolder) m_pErrorHolder->Clear();
      // A failed index leaves the table in place but is the caller's to hear about: its error stays in the holder.
      result = CreateIndexes(context, m_nIndexFlags) ? bIsUsable() : 0;
    } else {
      result = 0;
    }
  }
  context->FreeStatement();
  return result;
}

int CTable::bDoDeleteAll() {
  ResetState();
  if (!m_pConnection) return bRaise(TABLE_ERROR_TABLE_NOT_OPEN, TABLE_POINT_MISSING_PART);  // not reached
  if (!m_pConnection->bOpen(m_pErrorHolder, nullptr)) return 0;
  if (!bIsQueryMode()) {
    if (!bEnsureTableDescription()) return 0;
    CCursor* context = pGetDefaultContext();
    if (!context) return 0;
    const int done = bExecuteModification(context, STATEMENT_DELETE_ALL, 0, 0);
    context->FreeStatement();
    return done;
  }
  // A query has no table to empty at once: its rows go one by one through the identifying key.
  CTString keyName;
  if (m_pRecordDescription) {
    if (auto* key = static_cast<IHostItemDescription*>(m_pRecordDescription->piGetIdentifyingKey())) {
      keyName = key->pszGetName();
      key->nRelease();
    }
  }
  if (!bRead(keyName.pszGet(), READ_FIRST, 0, 1, 0, 0)) return 0;
  for (;;) {
    CCursor* context = pFindContext(keyName.pszGet());
    std::uint32_t outOfRange = 1;
    if (context) context->GetOutOfRange(&outOfRange);
    if (outOfRange) return 1;
    if (!bDeleteRecord(0, 1) || !bRead(keyName.pszGet(), READ_NEXT, 0, 1, 0, 0)) return 0;
  }
}

int CTable::CreateIndexes(CCursor* context, std::uint32_t indexFlags) {
  if (!m_pTableDescription || !context) return 1;
  int result = 1;
  for (std::uint32_t i = 0; i < m_pTableDescription->nGetColumnCount(); ++i) {
    CColumn* column = m_pTableDescription->pGetColumn(i);
    CColumnDescriptor* descriptor = column->pGetDescriptorNoRef();
    CTString list;
    std::size_t listLength = 0;
    if (column->bIsCompositeKey()) {
      if (!(indexFlags & INDEX_KEYS_WITH_DUPLICATES)) continue;
      for (std::uint32_t c = 0; c < column->nGetComponentColumnCount(); ++c) {
        if (c > 0) list.Append(u",");
        const char16_t* indexed = pszIndexedName(column->pGetComponentColumn(c));
        list.Append(indexed);
        listLength += (c > 0 ? 1 : 0) + std::char_traits<char16_t>::length(indexed);
      }
    } else {
      const bool qualifies = (descriptor->bIsKeyWithDuplicates() && (indexFlags & INDEX_KEYS_WITH_DUPLICATES)) ||
                             (descriptor->bIsUnique() && (indexFlags & INDEX_UNIQUE_KEYS));
      if (!qualifies) continue;
      const char16_t* indexed = pszIndexedName(column);
      list = indexed;
      listLength = std::char_traits<char16_t>::length(indexed);
    }
    CTString name;
    const int named = pszMakeIndexName(column, name);
    CSqlRewriter* statement = nullptr;
    // A string memory refused is left empty or short: the index would be sent without its name or columns.
    if (list.nGetLength() != listLength || (named && name.bIsEmpty()) || !(statement = pNewSqlStatement())) {
      SetHolderOutOfMemory(m_pErrorHolder);
      result = 0;
      continue;
    }
    statement->AddRef();
    statement->Reset(0);
    int built = statement->nAppendText(u"CREATE ") != 0;
    if (built && descriptor->bIsUnique()) built = statement->nAppendText(u"UNIQUE") != 0;
    for (const char16_t* piece : {u" INDEX ", name.pszGet(), u" ON ", pszGetSqlName(), u" ( ", list.pszGet(), u" ) "}) {
      if (built) built = statement->nAppendText(piece) != 0;
    }
    statement->SetStatementKind(QUERY_KIND_CREATE);
    const int ran = built && context->bExecuteText(statement, 0, 0);
    statement->nRelease();
    if (!named || !ran) result = 0;
  }
  return result;
}

int CTable::pszMakeIndexName(CColumn* column, CTString& name) {
  if (!column->bIsCompositeKey()) return pszGenerateIndexName(column, name);
  if (m_pConnection && m_pConnection->bQualifiesIndexNames()) {
    CTString qualified(m_pRecordDescription ? m_pRecordDescription->pszGetSqlTableName() : u"");
    qualified.Append(u"_");
    qualified.Append(column->pszGetName());
    return m_pConnection->nQuoteIdentifier(m_pErrorHolder, qualified.pszGet(), name);
  }
  name = column->pszGetName();
  return 1;
}

int CTable::pszGenerateIndexName(CColumn*, CTString& name) {
  name.Format(u"QZIDX%u%d", gpfnIndexNameClock(), static_cast<std::int32_t>(gnIndexNameCounter));
  ++gnIndexNameCounter;
  return 1;
}

int CTable::bCheckTableDescription(std::uint32_t* exists, std::uint32_t* compatible) {
  if (exists) *exists = 0;
  if (compatible) *compatible = 0;
  const char16_t* sqlName = m_pRecordDescription ? m_pRecordDescription->pszGetSqlTableName() : u"";
  CRecordDescription* loaded = pLoadRecordDescription(sqlName, 1);
  if (!loaded) {
    const char16_t* name = pszGetName();
    if (!m_pErrorHolder || m_pErrorHolder->nGetLevel() == ERROR_LEVEL_NONE) {
      RaiseModuleError(m_pErrorHolder, 0, ERROR_UNIT_TABLE, TABLE_POINT_NOT_IN_CATALOG, m_pConnection, name,
                       TABLE_ERROR_NOT_IN_CATALOG, name, u"");
    } else {
      m_pErrorHolder->AddUserMessage(TABLE_MESSAGE_NOT_IN_CATALOG, name, u"");
    }
    return 0;
  }
  bAttachDescription(loaded);
  if (exists) *exists = 1;
  if (compatible) *compatible = m_pRecordDescription ? loaded->bCompare(m_pRecordDescription) : 1;
  loaded->nRelease();
  return 1;
}

CRecordDescription* CTable::pLoadRecordDescription(const char16_t* name, std::uint32_t flag) {
  if (!m_pConnection) {  // not reached
    bRaise(TABLE_ERROR_TABLE_NOT_OPEN, TABLE_POINT_MISSING_PART);
    return nullptr;
  }
  if (!m_pConnection->bOpen(m_pErrorHolder, nullptr)) return nullptr;
  CRecordDescription* description = pNewRecordDescription(name);
  if (!description) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return nullptr;
  }
  description->AddRef();
  if (!description->bLoadByName(pszGetName(), name, flag)) {
    description->nRelease();
    return nullptr;
  }
  return description;
}

std::uint32_t CTable::nGetObjectKind() { return 1; }

int CTable::bIsUsable() {
  if (!m_bExistsAndUsable) {
    std::uint32_t exists = 0;
    m_bExistsAndUsable = bCheckTableDescription(&exists, nullptr) && exists;
  }
  return static_cast<int>(m_bExistsAndUsable);
}

int CTable::bAttachDescription(CRecordDescription* description) {
  Exchange(m_pAttachedDescription, description);
  CRecordDescription* record = pGetDriverDescription();
  bool relayout = false;
  const std::uint32_t count = description ? description->nGetItemCount() : 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    CColumnDescriptor* item = description->pGetItemAt(i);
    if (!item->bIsOption4Clear()) m_bAttachedMismatch = 1;
    if (!record || record == description) break;
    CColumnDescriptor* recordItem = record->piFindItemByName(item->pszGetName(), FIND_ITEM_DEFAULT);
    if (!recordItem && bIsQueryMode() && i < record->nGetItemCount()) {
      // A query's column that the catalog knows under another name takes the catalog's.
      recordItem = record->pGetItemAt(i);
      recordItem->SetName(item->pszGetName());
    }
    if (!recordItem) continue;
    if (!item->bIsOption4Clear()) recordItem->SetOption4(true);
    // Items described from a query take the catalog's type when theirs would lose values. "From a query" is the
    // description's origin: it was built from a query the runtime analysed.
    if (bIsQueryMode() && record->nGetOrigin() == ORIGIN_FROM_QUERY && item->bIsMemo() == recordItem->bIsMemo()) {
      if (!recordItem->bCanHold(*item, false)) {
        recordItem->UpdateFromCatalogItem(item);
        relayout = true;
      }
      if (!recordItem->bCanHold(*item, true)) relayout = true;
    }
  }
  if (!m_pTableDescription) return 1;
  if (relayout) {
    if (!record->LayoutItems() || !m_pTableDescription->bRebuildRecords(record)) return 0;
    // The stored records have the old layout and cannot be read in the new one, so every slot on them goes, its pin
    // given back before the stores are emptied: a pin given back later would land on a record stored after the
    // relayout in the same row, and free it while a newer position holds it. The saved positions are released: the
    // record each stood for cannot be found again, and recalling one fails as for any released position (no
    // position found) rather than answering another record. The table's current slot and each context's go as
    // well: the next read takes new ones. A context's saved record has the old layout too: it goes with the
    // statement and is made again in the new one by the context's next read.
    ReleaseSavedPositions();
    UnpinRecordSlot(m_nCurrentRecordSlot);
    m_nCurrentRecordSlot = SLOT_NONE;
    std::uint32_t position = 0;
    std::uint64_t value = 0;
    while (m_contexts.bIterate(position, 0, &value, nullptr)) {
      auto* context = reinterpret_cast<CCursor*>(static_cast<std::uintptr_t>(value));
      context->bSetRecordSlot(SLOT_STATE_NONE, SLOT_NONE);
      context->FreeStatement();
    }
    if (m_pSqlContext) m_pSqlContext->bSetRecordSlot(SLOT_STATE_NONE, SLOT_NONE);
    if (m_pRecordStore) m_pRecordStore->Reset();
    if (m_pSecondRecordStore) m_pSecondRecordStore->Reset();
  }
  return bEnsureTableDescription();
}
