// COracleTable's objects and what it asks the catalog: the factories of the Oracle statement object, table
// description and identifier, the copy, whether the rows have a ROWID identity, and the LOB data source that reads
// the memo columns of the current record.
#include <cstdint>
#include <new>

#include "engine/record/column.h"
#include "engine/record/query_description.h"
#include "engine/record/table_description.h"
#include "engine/table/cursor.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/t_string.h"
#include "host/host_objects.h"
#include "oracle/client/client_loader.h"
#include "oracle/client/oci_session_calls.h"
#include "oracle/client/oci_wrappers.h"
#include "oracle/oracle_automatic_identifier.h"
#include "oracle/oracle_column.h"
#include "oracle/oracle_connection.h"
#include "oracle/oracle_cursor.h"
#include "oracle/oracle_record_description.h"
#include "oracle/oracle_table.h"
#include "oracle/oracle_table_description.h"
#include "sql/rewriter/sql_rewriter.h"

namespace {

constexpr std::uint32_t HANDLE_STATEMENT = 4;
constexpr std::uint32_t HANDLE_DEFINE = 6;
constexpr std::uint16_t SQLT_ZERO_TERMINATED = 5;
constexpr std::uint16_t FETCH_NEXT_ROW = 2;
constexpr std::uint32_t TYPE_TEXT_BYTES = 255;
constexpr std::uint32_t COLUMN_TYPE_NATIONAL_TEXT = 29;
constexpr std::uint32_t QUERY_KIND_NO_ROW_IDENTITY = 2;
constexpr std::uint32_t OBJECT_KIND_VIEW = 2;
constexpr std::uint32_t OBJECT_KIND_ROW_IDENTITY = 3;
constexpr std::uint32_t OBJECT_KIND_PLAIN = 1;

// A name as an SQL literal's content: each quote doubled, so that a name holding one stays one literal.
CTString QuotedLiteral(const char16_t* text) {
  CTString out;
  for (const char16_t* c = text; c && *c; ++c) {
    out.AppendChar(*c);
    if (*c == u'\'') out.AppendChar(u'\'');
  }
  return out;
}

}  // namespace

// ---- factories and copy ----

CCursor* COracleTable::pNewContext() {
  auto* cursor = new (std::nothrow) COracleCursor(this, m_pErrorHolder);
  if (!cursor) SetHolderOutOfMemory(m_pErrorHolder);
  return cursor;
}

CTableDescription* COracleTable::pNewTableDescription() {
  return new (std::nothrow) COracleTableDescription(m_pErrorHolder, this);
}

CAutomaticIdentifier* COracleTable::pNewAutomaticIdentifier() {
  return new (std::nothrow) COracleAutomaticIdentifier();
}

CTable* COracleTable::pClone(CHashTable& cloneMap, RuntimeWord a, RuntimeWord b) {
  return pCloneInto(new (std::nothrow) COracleTable(), cloneMap, a, b);
}

int COracleTable::CopyFrom(CTable* source, CHashTable& cloneMap, RuntimeWord a, RuntimeWord b) {
  if (!CTableOra::CopyFrom(source, cloneMap, a, b)) return 0;
  // The LOB data source is made again on first use, for the copy's own current record.
  if (auto* oracle = dynamic_cast<COracleTable*>(source)) m_bHasLob = oracle->m_bHasLob;
  return 1;
}

// ---- row identity ----

std::uint32_t COracleTable::nGetObjectKind() {
  return bHasRowIdentity() ? OBJECT_KIND_ROW_IDENTITY : OBJECT_KIND_PLAIN;
}

int COracleTable::bHasRowIdentity() {
  if (bIsQueryMode()) {
    CQueryDescription* query = pGetQueryDescription();
    if (bIsSqlQuery() || !query || query->nGetFileCount() != 1 || !query->bAllowsRowIdentity() ||
        query->nGetKind() == QUERY_KIND_NO_ROW_IDENTITY) {
      return 0;
    }
    return bCheckTableType();
  }
  auto* attached = dynamic_cast<COracleRecordDescription*>(pGetAttachedDescription());
  return !attached || attached->nGetObjectKind() != OBJECT_KIND_VIEW;
}

int COracleTable::bIsRemoteTable() {
  if (bIsQueryMode()) return 0;
  for (const char16_t* c = pszGetSqlName(); c && *c; ++c) {
    if (*c == u'@') return 1;
  }
  return 0;
}

int COracleTable::bCheckTableType() {
  COracleConnection* connection = pGetOracleConnection();
  CQueryDescription* query = pGetQueryDescription();
  IHostQueryFile* file = query ? query->pNextFile(true) : nullptr;
  if (!connection || !file) return 1;
  const CTString full(file->pszGetName());
  CTString owner;
  CTString name(full.pszGet());
  const std::int32_t dot = full.nFind(u".", 0);
  if (dot >= 0) {
    owner.AssignBounded(full.pszGet(), static_cast<std::uint32_t>(dot));
    name = full.pszGet() + dot + 1;
  }
  // The catalog holds the names as the server holds what the driver writes for them (an unquoted owner in upper
  // case); a name memory refused leaves the question open.
  CTString heldOwner;
  CTString heldName;
  if (!connection->nServerHeldName(nullptr, owner.pszGet(), heldOwner) ||
      !connection->nServerHeldName(nullptr, name.pszGet(), heldName)) {
    return 1;
  }
  owner = static_cast<CTString&&>(heldOwner);
  name = static_cast<CTString&&>(heldName);
  CTString text(u"SELECT  OBJECT_TYPE FROM SYS.ALL_OBJECTS WHERE UPPER(OBJECT_NAME)=UPPER('");
  text.Append(QuotedLiteral(name.pszGet()).pszGet());
  text.Append(u"') AND OBJECT_TYPE LIKE 'TABLE' ");
  if (!owner.bIsEmpty()) {
    text.Append(u"AND OWNER='");
    text.Append(QuotedLiteral(owner.pszGet()).pszGet());
    text.Append(u"' ");
  }
  void* statement = nOciHandleAlloc(connection, nullptr, HANDLE_STATEMENT);
  if (!statement) return 1;
  const bool utf16 = bSessionIsUtf16(connection);
  char16_t buffer[TYPE_TEXT_BYTES + 1] = {};
  void* define = nullptr;
  std::uint16_t length = 0;
  std::int16_t indicator = 0;
  std::uint16_t code = 0;
  std::uint32_t end = 0;
  // The catalog only says whether the name is a table: every failure counts as "it may be one".
  const int fetched =
      nOciStmtPrepare(connection, nullptr, statement, text.pszGet()) &&
      nOciDefineByPos(connection, nullptr, statement, &define, 1, buffer, utf16 ? TYPE_TEXT_BYTES * 2 : TYPE_TEXT_BYTES,
                      &length, SQLT_ZERO_TERMINATED, &indicator, &code, 0, utf16 ? COLUMN_TYPE_NATIONAL_TEXT : 0) &&
      nOciStmtExecute(connection, nullptr, statement, text.pszGet(), 1, 0, nullptr, 0) &&
      nOciStmtFetch(connection, nullptr, statement, 1, FETCH_NEXT_ROW, &end, nullptr);
  if (define && !gbOci7Mode) nOciHandleFree(connection, nullptr, define, HANDLE_DEFINE);
  nOciHandleFree(connection, nullptr, statement, HANDLE_STATEMENT);
  return fetched && end ? 0 : 1;
}

// ---- the LOB data source ----

int COracleTable::bOpenLobDataSource(COracleCursor** source) {
  *source = nullptr;
  if (!m_pLobSource) {
    auto* cursor = dynamic_cast<COracleCursor*>(pNewContext());
    if (!cursor) return 0;
    cursor->AddRef();
    m_pLobSource = cursor;
  }
  CSqlRewriter* statement = pNewSqlStatement();
  if (!statement) return 0;
  statement->AddRef();
  // Built for the record current now: a statement kept from an earlier read would give that record's LOBs.
  int answer = m_pLobSource->bAppendSelectFrom(statement);
  if (answer && statement->bIsStatementEmpty()) {
    statement->nRelease();
    m_pLobSource->nRelease();
    m_pLobSource = nullptr;
    return answer;
  }
  // The row is read into the memo columns' values only: the current record and its image stay as they are.
  answer = answer && m_pLobSource->bSetTextAndPrepare(statement, 0) && m_pLobSource->bRun(0, 0) &&
           m_pLobSource->bBindColumns() && m_pLobSource->bRead(READ_FIRST, 0, 1, nullptr);
  statement->nRelease();
  if (answer) *source = m_pLobSource;
  return answer;
}

int COracleTable::bLoadDeferredValue(CColumn* column) {
  auto* oracle = dynamic_cast<COracleColumn*>(column);
  // Only a LOB whose row was read without it has a value left on the server; a NULL the program set or read is the
  // value, and stays.
  if (!oracle || !oracle->bIsLob() || !oracle->bIsUnread()) return 1;
  COracleCursor* source = nullptr;
  if (!bOpenLobDataSource(&source) || !source) return 0;
  // A table whose LOBs are read with their row has read it while the data source fetched.
  return oracle->bIsUnread() ? oracle->bReadLob() : 1;
}
