// Query mode: the table as the result of a query the runtime analysed or of an SQL text; entering it, building and
// running the statement, describing the result, and the SELECT a context prepares with its read-ahead.
#include <cstdint>
#include <new>

#include "engine/cache/keyed_row_cache.h"
#include "engine/cache/shared_row_source.h"
#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/query_description.h"
#include "engine/record/record.h"
#include "engine/record/record_buffer.h"
#include "engine/record/record_description.h"
#include "engine/record/table_description.h"
#include "engine/table/cursor.h"
#include "engine/record/column_types.h"
#include "engine/table/table.h"
#include "engine/values/row_keys.h"
#include "foundation/code_pages.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "host/host_objects.h"
#include "sql/conditions/key_condition.h"
#include "sql/connection.h"
#include "sql/driver_services.h"
#include "sql/rewriter/sql_rewriter.h"

namespace {

enum : std::uint32_t {
  TABLE_ERROR_LIMIT = 45,
  TABLE_ERROR_CODE_PAGE = 77,
  TABLE_POINT_LIMIT = 8,
  TABLE_POINT_CODE_PAGE = 26,
};

constexpr std::uint32_t INTERNAL_QUERY_FLAGS = QUERY_FLAG_SQL_TEXT | QUERY_FLAG_NO_OWN_CACHE;
constexpr std::uint32_t RUN_WITHOUT_OWN_CACHE = 0x90000;
// Rows fetched ahead: what a megabyte of records holds, at least 20.
constexpr std::uint64_t READ_AHEAD_BYTES = 0x100000;
constexpr std::int64_t READ_AHEAD_LEAST = 20;
// Without a record size the driver leaves the read-ahead to the cursor (all ones: none chosen).
constexpr std::int64_t READ_AHEAD_DEFAULT = -1;
constexpr char16_t SQL_CONTEXT_NAME[] = u"__SQL";
constexpr char16_t INTERNAL_CONTEXT_NAME[] = u"$QZInternal";

template <typename T>
void ReleaseCounted(T*& object) {
  if (object) object->nRelease();
  object = nullptr;
}

void ReleaseExternal(IHostFileDescription*& description) {
  if (description) description->nReleaseExternal();
  description = nullptr;
}

// Whether the text holds " JOIN " in any letter case (ASCII folding is enough for a keyword).
bool bHoldsJoin(const char16_t* text) {
  static constexpr char16_t kJoin[] = u" JOIN ";
  for (const char16_t* p = text; p && *p; ++p) {
    std::size_t i = 0;
    for (; kJoin[i]; ++i) {
      char16_t c = p[i];
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
      if (c != kJoin[i]) break;
    }
    if (!kJoin[i]) return true;
  }
  return false;
}

bool bIsRealType(std::uint32_t type) { return type == COLUMN_TYPE_REAL4 || type == COLUMN_TYPE_REAL8; }

}  // namespace

// ---- entering query mode ----

int CTable::bSetupQueryMode(std::uint32_t, const char16_t* name, RuntimeWord queryObject, std::uint32_t flags) {
  auto* query = reinterpret_cast<IHostQueryAnalysis*>(queryObject);
  m_bQueryMode = 1;
  ResetState();
  ReleaseCounted(m_pKeyCondition);
  for (CKeyedRowCache* store : {m_pRecordStore, m_pSecondRecordStore}) {
    if (store) store->Reset();
  }
  m_nCurrentRecordSlot = SLOT_NONE;
  ReleaseCounted(m_pParsedQuery);
  ReleaseCounted(m_pTableDescription);
  ReleaseExternal(m_pRecordDescription);
  ReleaseExternal(m_pWorkingDescription);
  ReleaseCounted(m_pAttachedDescription);
  m_bSqlNameMade = 0;

  const char16_t* text = query ? query->pszGetSqlText() : nullptr;
  if (query && (flags & QUERY_FLAG_SQL_TEXT)) {
    const std::uint32_t codePage = m_pConnection ? m_pConnection->nGetSessionCodePage() : CODE_PAGE_UTF16;
    // A session without a code page yet has nothing to check against.
    if (codePage != CODE_PAGE_UTF8 && codePage != CODE_PAGE_UTF16 && codePage != SESSION_CODE_PAGE_UNSET && text &&
        !bIsRepresentableInCodePage(text, codePage)) {
      RaiseModuleError(m_pErrorHolder, 0, ERROR_UNIT_TABLE, TABLE_POINT_CODE_PAGE, m_pConnection, nullptr,
                       TABLE_ERROR_CODE_PAGE, name ? name : u"", codePage, m_pConnection->pszGetConnectionLabel(),
                       m_pConnection->pszGetDatabaseName(), m_pConnection->pszGetDataSource());
      if (m_pErrorHolder) m_pErrorHolder->AddDebugText(text);
      return 0;
    }
  }
  if (query) {
    m_pParsedQuery = new (std::nothrow) CQueryDescription(m_pErrorHolder, query, pGetOwnerQuerySource(m_pOwner), 0);
    if (!m_pParsedQuery) {
      SetHolderOutOfMemory(m_pErrorHolder);
      return 0;
    }
    m_pParsedQuery->AddRef();
  } else {
    flags |= QUERY_FLAG_SQL_TEXT;
  }
  m_nQueryFlags = flags;
  if (!(flags & QUERY_FLAG_SQL_TEXT) && bHoldsJoin(text)) m_nQueryFlags |= QUERY_FLAG_JOINS;
  ReleaseCounted(m_pSqlContext);
  return 1;
}

int CTable::bQueryHasLimit() {
  if (!m_bQueryMode || (m_nQueryFlags & QUERY_FLAG_SQL_TEXT) || !m_pParsedQuery) return 0;
  const char16_t* text = m_pParsedQuery->nGetHostQueryKind();
  return text && nFindKeywordBackward(text, -1, u"LIMIT", -1, u"\"", u"\"") >= 0;
}

int CTable::bIsPending() const { return m_bQueryMode && (m_nQueryFlags & QUERY_FLAG_PENDING); }

void CTable::ClearPending() { m_nQueryFlags &= ~QUERY_FLAG_PENDING; }

// The runtime's query object offers the driver no question about its run state: the query reports rows once its
// statement stands prepared in the kept "__SQL" context, and only a pending run keeps one.
int CTable::bQueryReportsRows() const { return m_bQueryMode && m_pSqlContext != nullptr; }

int CTable::bQueryJoinsFiles() { return m_bQueryMode && m_pParsedQuery && m_pParsedQuery->nGetFileCount() > 1; }

void CTable::SetSqlContext(CCursor* context) {
  if (context) context->AddRef();
  ReleaseCounted(m_pSqlContext);
  m_pSqlContext = context;
}

CCursor* CTable::pGetSqlContext() {
  if (m_pSqlContext && bQueryReportsRows()) return m_pSqlContext;
  CCursor* context = pFindContext(SQL_CONTEXT_NAME);
  if (context) return context;
  CCursor* current = m_pCurrentContext;
  context = pSelectContext(SQL_CONTEXT_NAME, READ_FIRST, 0);
  m_pCurrentContext = current;
  return context;
}

// ---- building and running ----

// The key source's read flags and key name reach the table through no interface of the runtime's it knows: a query
// the table reads itself always reads through its identifying key.
int CTable::bExecute(CSqlRewriter** outStatement, CTString& keyName, const char16_t* name, std::uint32_t flags,
                     const char16_t* text, RuntimeWord queryObject, RuntimeWord) {
  *outStatement = nullptr;
  keyName.Empty();
  if (!bSetupQueryMode(1, name, queryObject, flags)) return 0;
  CSqlRewriter* statement = pNewSqlStatement();
  if (!statement) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  statement->AddRef();
  statement->SetStatementKind(m_pParsedQuery ? m_pParsedQuery->nGetKind() : 0);
  const bool sqlText = (m_nQueryFlags & QUERY_FLAG_SQL_TEXT) != 0;
  int answer = 1;
  if (!sqlText && bQueryHasLimit()) {
    answer = 0;
    RaiseModuleError(m_pErrorHolder, 0, ERROR_UNIT_TABLE, TABLE_POINT_LIMIT, m_pConnection, pszGetName(),
                     TABLE_ERROR_LIMIT, u"Native Oracle Driver");
  }
  CRecordDescription* description = answer ? pNewRecordDescription(name) : nullptr;
  if (answer && !description) {
    SetHolderOutOfMemory(m_pErrorHolder);
    answer = 0;
  }
  if (description) {
    description->SetName(name ? name : u"");
    description->SetSqlTableName(name ? name : u"");
    description->AddExternalRef();
    m_pRecordDescription = description;
  }
  const std::uint32_t kind = m_pParsedQuery ? m_pParsedQuery->nGetKind() : 0;
  if (answer && !sqlText && (kind == 1 || kind == 2)) {
    // The table reads the rows itself through the identifying key: its first record is read here.
    answer = description->bBuildFromQuery(m_pParsedQuery) && bEnsureTableDescription();
    CColumnDescriptor* key = answer ? pGetIdentifyingItem() : nullptr;
    if (answer && key) {
      m_bOpen = 1;
      m_strQueryKeyName = key->pszGetName();
      answer = bRead(m_strQueryKeyName.pszGet(), READ_FIRST, 0, 1, 0, READ_FLAG_QUERY_KEY);
      if (answer) {
        keyName = m_strQueryKeyName.pszGet();
        m_bFreshContext = 1;
        m_bRecordHandedOut = 0;
      }
    }
  } else if (answer && m_pParsedQuery) {
    statement->Reset(0);
    // The run's own context hands the rows out in the order this statement gives them: the query's own ORDER BY
    // stays, or its rows would come unsorted and a wrong ORDER BY would pass unseen.
    answer = statement->bTranslate(m_pParsedQuery, nullptr, 1, m_nQueryFlags);
  } else if (answer) {
    answer = statement->nAppendTextMarked(text ? text : u"") != 0;
  }
  if (!answer) {
    statement->nRelease();
    return 0;
  }
  *outStatement = statement;
  return 1;
}

int CTable::bRunQueryText(std::uint32_t* hasRows, const char16_t* name, std::uint32_t flags, const char16_t* text,
                          RuntimeWord queryObject, RuntimeWord keySource) {
  std::uint32_t scratch = 0;
  if (!hasRows) hasRows = &scratch;
  *hasRows = 0;
  const bool resume = !(flags & QUERY_FLAG_PENDING) && bIsPending() && bQueryReportsRows();
  if (m_pConnection && !m_pConnection->bIsConnected() && !m_pConnection->bOpen(m_pErrorHolder, nullptr)) return 0;
  CSqlRewriter* statement = nullptr;
  if (!resume) {
    CTString keyName;
    if (!bExecute(&statement, keyName, name, flags, text, queryObject, keySource)) return 0;
    if (!(m_nQueryFlags & QUERY_FLAG_SQL_TEXT) && !keyName.bIsEmpty()) {
      statement->nRelease();
      *hasRows = m_pRecordDescription && m_pRecordDescription->nGetItemCount() > 0;
      return 1;
    }
  } else {
    ClearPending();
  }
  const bool sqlText = (m_nQueryFlags & QUERY_FLAG_SQL_TEXT) != 0;
  CCursor* context = nullptr;
  if (sqlText) {
    context = resume ? m_pSqlContext : pGetSqlContext();
  } else {
    context = pSelectContext(name, READ_FIRST, 0);
  }
  if (!context) {
    if (statement) statement->nRelease();
    return 0;
  }
  if (m_nQueryFlags & QUERY_FLAG_PENDING) {
    SetSqlContext(context);
    const int prepared = context->bSetTextAndPrepare(statement, 0);
    statement->nRelease();
    return prepared;
  }
  const std::uint32_t runFlags = (m_nQueryFlags & QUERY_FLAG_NO_OWN_CACHE) ? RUN_WITHOUT_OWN_CACHE : 0;
  int answer = resume ? context->bRun(runFlags, 0) : context->bExecuteText(statement, runFlags, 0);
  if (answer && sqlText) answer = context->bReadOutputParameters();
  if (statement) statement->nRelease();
  // The generic statement object runs nothing (the dialect's does) and says nothing about it: not reached with the
  // driver's own, which records why its run failed; the holder must still tell why the query failed, and the query
  // was not run (lack of memory records no code: its level tells).
  if (!answer && m_pErrorHolder && !m_pErrorHolder->bHasError() && m_pErrorHolder->nGetLevel() == ERROR_LEVEL_NONE) {
    bRaise(TABLE_ERROR_STATEMENT_NOT_RUN, TABLE_POINT_MISSING_PART);
  }
  // The kept context has done its work: the query runs from the context table from here.
  if (resume) SetSqlContext(nullptr);
  if (!answer) return 0;

  CRecordDescription* description = pGetDriverDescription();
  if (!description) return 0;
  if (!context->bDescribe(description)) return 0;
  if (description->nGetItemCount() > 0) {
    *hasRows = 1;
    // The generic connection keeps neither of the two flags that would have the description replaced by its copy
    // (row locks on query results): the described description stays the table's.
    if (!bAttachDescription(description) || !bEnsureTableDescription()) return 0;
    context->SetColumnSet(m_pTableDescription);
    m_bExistsAndUsable = 1;
    CSqlRewriter* own = context->pGetStatement();
    if (sqlText && own && m_pTableDescription) {
      for (std::uint32_t i = 0; i < m_pTableDescription->nGetColumnCount(); ++i) {
        CColumn* column = m_pTableDescription->pGetColumn(i);
        if (!column->bIsCompositeKey() && !own->bAddSelectColumn(column)) return 0;
      }
    }
  }
  if (((name && *name) || !sqlText) && *hasRows) {
    m_pCurrentContext = context;
    InitContextLockState(context);
    if (sqlText) {
      // The runtime reads a query given as text through the identifying key its description shows: the context
      // takes that name, so that the reads after the first go on in it instead of running the query again.
      CColumnDescriptor* key = pGetIdentifyingItem();
      const char16_t* keyName = key ? key->pszGetName() : nullptr;
      if (keyName && *keyName && nCompareNames(context->pszGetSearchItem(), keyName) != 0 &&
          !bRenameContext(context, keyName)) {
        return 0;
      }
      context->AttachRowCache(1);
      CSharedRowSource* source = pNewSharedRowSource();
      if (!source || !source->bFillFor(context)) {
        if (!source) SetHolderOutOfMemory(m_pErrorHolder);
        return 0;
      }
    }
    m_bFreshContext = 1;
    m_bRecordHandedOut = 0;
    m_bOpen = 1;
  } else {
    context->bClose();
  }
  return 1;
}

int CTable::bExecuteQuery(std::uint32_t* hasRows, const char16_t* context, RuntimeWord queryObject,
                          std::uint32_t flags, RuntimeWord keySource) {
  return bRunQueryText(hasRows, context, flags, nullptr, queryObject, keySource);
}

CCursor* CTable::pRunInternalQuery(RuntimeWord, const char16_t* text) {
  std::uint32_t hasRows = 0;
  if (!bRunQueryText(&hasRows, INTERNAL_CONTEXT_NAME, INTERNAL_QUERY_FLAGS, text, 0, 0) || !hasRows) return nullptr;
  if (m_pCurrentContext) m_pCurrentContext->AddRef();
  return m_pCurrentContext;
}

// ---- the SELECT of a context ----

int CTable::bReadAheadSuits(const char16_t* keyName) {
  CRecordDescription* description = pGetDriverDescription();
  if (!description) return 0;
  if (keyName && *keyName) {
    CColumnDescriptor* item = description->piFindItemByName(keyName, FIND_ITEM_DEFAULT);
    return item && (item->bIsUnique() || item->bIsPrimaryKey()) && !bIsRealType(item->nGetType());
  }
  CColumnDescriptor* key = pGetIdentifyingItem();
  if (!key || !(key->bIsUnique() || key->bIsPrimaryKey())) return 0;
  for (std::uint32_t i = 0; i < description->nGetItemCount(); ++i) {
    CColumnDescriptor* item = description->pGetItemAt(i);
    if (item == key) return 1;
    if (item && bIsRealType(item->nGetType())) return 0;
  }
  return 1;
}

int CTable::bPrepareStatement(CSqlRewriter* statement, CCursor* context, const char16_t* keyName,
                              std::uint32_t forward, std::uint32_t flags, std::uint32_t* count) {
  if (!statement || !context) return 0;
  statement->SetStatementKind(1);
  // The context's own statement goes when the new one takes its place: a SELECT refused before then leaves the
  // context reading where it stood.
  CSqlRewriter* conditions = pNewSqlStatement();
  if (!conditions) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  conditions->AddRef();
  const int built = context->bAppendConditions(conditions) &&
                    context->bBuildSelect(statement, flags, keyName, static_cast<int>(forward), conditions);
  conditions->nRelease();
  if (!built) return 0;
  const bool translated = m_pParsedQuery && (m_nQueryFlags & (QUERY_FLAG_SQL_TEXT | QUERY_FLAG_JOINS));
  if (translated || !bReadAheadSuits(keyName)) return 1;
  std::int64_t rows = m_pConnection ? m_pConnection->nGetCacheSize() : -2;
  if (rows == -2) {
    if (m_nRecordSize == 0) {
      rows = READ_AHEAD_DEFAULT;
    } else {
      rows = static_cast<std::int64_t>(READ_AHEAD_BYTES / m_nRecordSize);
      if (rows < READ_AHEAD_LEAST) rows = READ_AHEAD_LEAST;
    }
  }
  std::uint32_t rest = 0;
  if (rows > 0 && count && *count >= rows) {
    // The first fetch brings a few rows at once; the statement fetches what is left of the request after them.
    const std::uint32_t first = rows > READ_AHEAD_LEAST ? 10 : static_cast<std::uint32_t>(rows / 3 + 1);
    rest = *count - first;
    *count = first;
  }
  statement->SetReadAhead(static_cast<std::uint32_t>(rows), rest);
  return 1;
}

// ---- descriptions, keys and names ----

void CTable::QuoteItemTable(IHostItemDescription* item, CTString& out) {
  out.Empty();
  if (!item || !m_pConnection) return;
  const char16_t* tableName = item->pszGetTableName();
  const char16_t* sqlName = tableName;
  if (m_pParsedQuery && tableName) {
    m_pParsedQuery->pNextFile(true);
    for (IHostQueryFile* file = m_pParsedQuery->pNextFile(true); file; file = m_pParsedQuery->pNextFile(false)) {
      const char16_t* fileName = file->pszGetName();
      if (fileName && nCompareNames(fileName, tableName) == 0) {
        sqlName = fileName;
        break;
      }
    }
  }
  m_pConnection->nQuoteDottedName(m_pErrorHolder, sqlName ? sqlName : u"", out);
}

int CTable::bDescribeInto(CCursor* context) {
  if (!context) return 0;
  CRecordDescription* description = pNewRecordDescription(pszGetName());
  if (!description) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  description->AddRef();
  description->SetName(pszGetName());
  description->SetSqlTableName(m_pRecordDescription ? m_pRecordDescription->pszGetSqlTableName() : pszGetName());
  const int answer = context->bDescribe(description) && bAttachDescription(description);
  description->nRelease();
  return answer;
}

IRowKey* CTable::pNewContextRecordKey(CCursor* context) {
  CRecord* record = context ? context->pGetSavedRecord() : nullptr;
  CRecord* current = m_pTableDescription ? m_pTableDescription->pGetCurrentRecord() : nullptr;
  IRowKey* sample = current ? current->pGetKey() : nullptr;
  const std::uint32_t kind = sample ? sample->nGetKind() : ROW_KEY_RECORD_VALUES;
  if (kind == ROW_KEY_RECORD_VALUES) return record ? pNewRecordKey(record) : nullptr;
  if (kind == ROW_KEY_HOST_VALUE) {
    CFieldValue* value = pGetReferenceValue();
    return value ? new (std::nothrow) CHostValueKey(value) : nullptr;
  }
  return nullptr;
}

int CTable::bIsNumericKey() {
  CRecord* current = m_pTableDescription ? m_pTableDescription->pGetCurrentRecord() : nullptr;
  IRowKey* key = current ? current->pGetKey() : nullptr;
  return key && key->nGetKind() == ROW_KEY_HOST_VALUE;
}

IHostFileDescription* CTable::pGetWorkingDescription() {
  if (!m_bQueryMode) {
    if (m_pRecordDescription) m_pRecordDescription->AddExternalRef();
    return m_pRecordDescription;
  }
  if (!m_pWorkingDescription && m_pRecordDescription) {
    CRecordDescription* copy = pGetDriverDescription()->pCopy(0);
    if (!copy) return nullptr;
    copy->AddExternalRef();
    // The table keeps the copy by the external reference: the one the copy came with goes, or the copy outlives
    // every holder.
    copy->nRelease();
    m_pWorkingDescription = copy;
  }
  if (m_pWorkingDescription) m_pWorkingDescription->AddExternalRef();
  return m_pWorkingDescription;
}

int CTable::RenameContext(const char16_t* from, const char16_t* to) {
  CCursor* context = pFindContext(from);
  if (!context) return 1;
  return bRenameContext(context, to);
}

void CTable::RenameSqlContext(const char16_t* name) {
  if (!name || !pFindContext(SQL_CONTEXT_NAME)) return;
  if (m_pCurrentContext && nCompareNames(m_pCurrentContext->pszGetSearchItem(), name) == 0) return;
  RenameContext(SQL_CONTEXT_NAME, name);
}

int CTable::bLinkTableDescription() {
  CRecordDescription* description = pGetDriverDescription();
  if (description) m_nRecordSize = description->nGetRecordSize();
  if (!m_bQueryMode || !m_pParsedQuery || !m_pTableDescription || !m_pConnection) return 1;
  // A column of a query over an aliased table is qualified by the alias, quoted as the connection quotes.
  for (std::uint32_t i = 0; i < m_pTableDescription->nGetColumnCount(); ++i) {
    CColumn* column = m_pTableDescription->pGetColumn(i);
    const char16_t* tableName = column->pszGetTableName();
    if (!tableName || !*tableName) continue;
    const char16_t* alias = m_pParsedQuery->pResolveAlias(tableName);
    if (!alias || !*alias || nCompareNames(alias, tableName) == 0) continue;
    CTString quoted;
    if (!m_pConnection->nQuoteDottedName(m_pErrorHolder, alias, quoted)) return 0;
    quoted.Append(u".");
    const CTString further(column->pszGetFurtherText());
    column->SetTexts(further.pszGet(), quoted.pszGet());
  }
  return 1;
}

// ---- what a statement's table reference reads ----

// No state of the table gives bit 17 a meaning: it is never set.
std::uint32_t CTable::nGetFlagWord() { return m_nQueryFlags & ~(1u << 17); }

CColumn* CTable::pGetReferenceItem() {
  CColumnDescriptor* key = pGetIdentifyingItem();
  return key && m_pTableDescription ? m_pTableDescription->pFindColumn(key) : nullptr;
}

CFieldValue* CTable::pGetReferenceValue() {
  CColumn* column = pGetReferenceItem();
  CFieldValue* value = column ? column->pGetFieldValue() : nullptr;
  // A table not open has no row identifier whose value could take a reference's data: its holder says so.
  if (!value) bRaise(TABLE_ERROR_TABLE_NOT_OPEN, TABLE_POINT_MISSING_PART);
  return value;
}

