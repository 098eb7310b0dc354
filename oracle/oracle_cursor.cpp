#include "oracle/oracle_cursor.h"

#include <new>
#include <string>

#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/query_description.h"
#include "engine/record/record_description.h"
#include "engine/cache/row_cache.h"
#include "engine/record/table_description.h"
#include "engine/table/table.h"
#include "engine/values/field_value.h"
#include "foundation/clone_map.h"
#include "foundation/error_holder.h"
#include "foundation/host_locale.h"
#include "foundation/module_errors.h"
#include "foundation/x_error.h"
#include "host/host_value.h"
#include "oracle/client/client_loader.h"
#include "oracle/client/oci_wrappers.h"
#include "oracle/oracle_column.h"
#include "oracle/oracle_connection.h"
#include "oracle/oracle_field_value.h"
#include "oracle/oracle_key_condition.h"
#include "oracle/oracle_record_description.h"
#include "oracle/oracle_sql_rewriter.h"
#include "oracle/oracle_table.h"
#include "sql/driver_services.h"
#include "sql/rewriter/sql_rewriter.h"
#include "sql/rewriter/value_leaf.h"

namespace {

constexpr std::uint32_t HANDLE_STATEMENT = 4;
constexpr std::uint32_t ATTR_PREFETCH_ROWS = 11;
constexpr std::uint32_t ATTR_PREFETCH_MEMORY = 13;
constexpr std::uint32_t ATTR_ROW_COUNT = 9;
constexpr std::uint32_t MODE_DESCRIBE_ONLY = 16;
constexpr std::uint16_t FETCH_FIRST = 4;
constexpr std::uint16_t FETCH_LAST = 8;
constexpr std::uint16_t FETCH_NEXT = 2;
constexpr std::uint16_t FETCH_PRIOR = 16;
constexpr std::uint8_t PIECE_ONE = 0;
constexpr std::uint8_t PIECE_FIRST = 1;
constexpr std::uint8_t PIECE_LAST = 3;
constexpr std::uint32_t KIND_UNDETERMINED = 8;
constexpr std::uint32_t KIND_DROP = 9;
constexpr std::uint32_t STATEMENT_TYPE_DROP = 7;
constexpr std::uint32_t ROW_ID_ITEM_KIND = 3;
constexpr std::uint32_t BIND_DUMP_LABEL = 11;
constexpr std::uint32_t FAILED_CONVERSION_LABEL = 7;
constexpr std::uint32_t HOST_TYPE_WIDE_STRING = 16;

// No driver class of this system reads with scrollable fetches: every fetch goes forward, and the row cache serves
// the other directions.
constexpr int USES_SCROLLABLE_FETCH = 0;

std::uint16_t nOrientation(std::uint32_t direction) {
  if (!USES_SCROLLABLE_FETCH) return FETCH_NEXT;
  switch (direction) {
    case READ_FIRST: return FETCH_FIRST;
    case READ_LAST: return FETCH_LAST;
    case READ_PREVIOUS: return FETCH_PRIOR;
    default: return FETCH_NEXT;
  }
}

}  // namespace

// ---- CCursorOra ----------------------------------------------------------------------------------------------------

int CCursorOra::bReadScalar(CHostValue* value) { return bReadSingleValue(value, 1, 0); }

int CCursorOra::bSetReadMode(std::uint32_t mode) {
  if (!CCursor::bSetReadMode(mode)) return 0;
  SetSimpleReadMode(nGetReadMode() <= 1 ? 1 : 0);
  return 1;
}

int CCursorOra::bCopyFrom(CCursor* source, CHashTable& cloneMap) {
  if (!CCursor::bCopyFrom(source, cloneMap)) return 0;
  if (auto* oracle = dynamic_cast<CCursorOra*>(source)) m_nSimpleReadMode = oracle->m_nSimpleReadMode;
  return 1;
}

// ---- COracleCursor: life ---------------------------------------------------------------------------------------------

COracleCursor::~COracleCursor() {
  SetConditionNode(nullptr);
  ReleaseColumnBindings();
  ReleaseParameterBindings();
  FreeHandle();
}

void COracleCursor::FreeHandle() {
  if (m_pHandle) nOciHandleFree(pGetOciConnection(), nullptr, m_pHandle, HANDLE_STATEMENT);
  m_pHandle = nullptr;
}

COracleConnection* COracleCursor::pGetOciConnection() { return dynamic_cast<COracleConnection*>(pGetConnection()); }

CCursor* COracleCursor::pClone(CHashTable& cloneMap) {
  auto* copy = new (std::nothrow) COracleCursor();
  if (!copy) {
    bOutOfMemory();
    return nullptr;
  }
  // The copy starts without a statement handle: it prepares its own. A statement this cursor still reads from has
  // no counterpart in the copy, so the copy's next move finds its record again by key, as after a lost place.
  return pCloneUnreferenced(copy, m_pErrorHolder, [&](COracleCursor* made) {
    if (!made->bCopyFrom(this, cloneMap)) return 0;
    const bool open = m_pHandle && bIsOpen();
    made->m_bPlaceLost = m_bPlaceLost || open;
    // Where its place cannot be found by key (the rows of a query given as text, filling the rows its contexts
    // share, maybe before the first of them was read), the copy reads on from the statement run again; a copy of a
    // copy that has not run yet passes as many.
    made->m_bRunAgain = (m_pHandle && (m_nStatementState & CURSOR_STATE_EXECUTED) && m_pTable &&
                         m_pTable->bIsSqlQuery()) ||
                        m_bRunAgain;
    made->m_nRowsFetched = m_nRowsFetched;
    return 1;
  });
}

// A node memory refused is told in the holder here: several of the callers answer 0 on a null node without a word,
// and a failure with no error would reach the runtime as an empty one.
CKeyCondition* COracleCursor::pNewConditionNode(CErrorHolder* holder) {
  auto* node = new (std::nothrow) COracleKeyCondition(holder, pGetConnection());
  if (!node) SetHolderOutOfMemory(holder ? holder : m_pErrorHolder);
  return node;
}

CFilterHolder* COracleCursor::pNewFilterNode(CErrorHolder* holder) {
  auto* node = new (std::nothrow) COracleFilterHolder(holder, pGetConnection());
  if (!node) SetHolderOutOfMemory(holder ? holder : m_pErrorHolder);
  return node;
}

void COracleCursor::EnableRowCache() {
  if (CRowCache* cache = pGetRowCache()) cache->SetFlags(cache->nGetFlags() | ROW_CACHE_ACTIVE);
}

// ---- prepare, describe ------------------------------------------------------------------------------------------------

int COracleCursor::bPrepare(std::uint32_t, std::uint32_t) {
  COracleConnection* connection = pGetOciConnection();
  // Not reached (here, in bDescribe and in bExecute): a statement object and its copy have their connection and
  // statement.
  if (!connection || !m_pStatement) return bRaise(CURSOR_ERROR_NOT_BUILT, CURSOR_POINT_MISSING_PART);
  // Run again, a block read through the cursor it opens is prepared as the block it is, on a handle of its own: the
  // cursor it opened last time is done with, and preparing the block on it would run the block as the query.
  m_bTakeCursorOnRun = bReadsCursorParameter();
  if (m_bTakeCursorOnRun) {
    FreeHandle();
    SetStatementKindWord(m_pStatement, KIND_UNDETERMINED);
  }
  if (!m_pHandle) {
    m_pHandle = nOciHandleAlloc(connection, m_pErrorHolder, HANDLE_STATEMENT);
    if (!m_pHandle) return 0;
  }
  const auto* text = static_cast<const char16_t*>(m_pStatement->pszGetOutputText(0));
  const int prepared = text ? nOciStmtPrepare(connection, m_pErrorHolder, m_pHandle, text) : bOutOfMemory();
  m_nStatementState = CURSOR_STATE_PREPARED;
  if (prepared && m_pStatement->nGetStatementKind() == KIND_UNDETERMINED) {
    std::uint32_t kind = connection->nGetStatementType(m_pHandle, m_pErrorHolder);
    // A statement whose kind the client would not tell fails here: run as of no kind, a query would be executed
    // with its first row taken and never described, and read back as one without rows. The OCI7 client tells the
    // kind only once the statement ran, and never answers 0.
    if (kind == 0) return 0;
    // The connection numbers a DROP 7; the statement's word for it is 9.
    if (kind == STATEMENT_TYPE_DROP) kind = KIND_DROP;
    if (kind != KIND_UNDETERMINED) SetStatementKindWord(m_pStatement, kind);
  }
  return prepared;
}

int COracleCursor::bDescribe(CRecordDescription* description) {
  COracleConnection* connection = pGetOciConnection();
  if (!connection || !m_pStatement) return bRaise(CURSOR_ERROR_NOT_BUILT, CURSOR_POINT_MISSING_PART);
  const std::uint32_t kind = m_pStatement->nGetStatementKind();
  if (kind == SQL_STATEMENT_SELECT) {
    if (!(m_nStatementState & CURSOR_STATE_EXECUTED)) {
      if (gbOci7Mode && !bBindStatementParameters()) return 0;
      const auto* text = static_cast<const char16_t*>(m_pStatement->pszGetOutputText(0));
      if (!nOciStmtExecute(connection, m_pErrorHolder, m_pHandle, text, kind, MODE_DESCRIBE_ONLY, nullptr,
                           m_nSimpleReadMode)) {
        AddStatementMessage();
        return 0;
      }
    }
    auto* oracle = dynamic_cast<COracleRecordDescription*>(description);
    // Not reached: this driver's tables describe into its own descriptions only.
    if (!oracle) return bRaise(CURSOR_ERROR_BAD_ARGUMENT, CURSOR_POINT_MISSING_PART);
    return oracle->bFillFromCursor(m_pHandle, 0);
  }
  return bDescribeCursor(description);
}

int COracleCursor::bDescribeCursor(CRecordDescription* description) {
  auto* oracle = dynamic_cast<COracleRecordDescription*>(description);
  if (!oracle || m_pStatement->nGetStatementKind() != KIND_UNDETERMINED || !m_pTable->bIsQueryMode() ||
      oracle->nGetItemCount() != 0 || !(m_nStatementState & CURSOR_STATE_EXECUTED)) {
    return 1;
  }
  COracleConnection* connection = pGetOciConnection();
  for (std::uint32_t i = 0; i < m_parameterBindings.nGetCount(); ++i) {
    auto* parameter =
        dynamic_cast<COracleParameter*>(static_cast<CParameterBinding*>(m_parameterBindings.pGetObject(i)));
    if (!parameter || !parameter->bIsCursorParameter() || !parameter->pGetCursorHandle()) continue;
    void* handle = parameter->pGetCursorHandle();
    if (!nOciStmtExecute(connection, m_pErrorHolder, handle, u"Cursor describe", SQL_STATEMENT_SELECT,
                         MODE_DESCRIBE_ONLY, nullptr, 0) ||
        !oracle->bFillFromCursor(handle, 0)) {
      if (m_pErrorHolder) m_pErrorHolder->AddUserMessage(MESSAGE_CURSOR_DESCRIBE_FAILED, parameter->pszGetName());
      return 0;
    }
    if (oracle->nGetItemCount() == 0) continue;
    TakeCursorOf(parameter);
    return 1;
  }
  return 1;
}

bool COracleCursor::bReadsCursorParameter() {
  // Between a run again that failed and the next one the statement is still the block.
  if (!m_pStatement || (m_pStatement->nGetStatementKind() != SQL_STATEMENT_SELECT && !m_bTakeCursorOnRun)) {
    return false;
  }
  for (std::uint32_t i = 0; i < m_pStatement->nGetParameterCount(); ++i) {
    const CValueLeaf* parameter = m_pStatement->pGetParameter(i);
    if (parameter && parameter->bIsCursorParameter()) return true;
  }
  return false;
}

void COracleCursor::TakeCursorOf(COracleParameter* parameter) {
  // The cursor reads the rows the parameter's statement gives: that statement becomes its own.
  FreeHandle();
  m_pHandle = parameter->pTakeCursorHandle();
  SetStatementKindWord(m_pStatement, SQL_STATEMENT_SELECT);
}

// ---- execute -----------------------------------------------------------------------------------------------------------

int COracleCursor::bExecute(std::uint32_t) {
  COracleConnection* connection = pGetOciConnection();
  if (!connection || !m_pStatement) return bRaise(CURSOR_ERROR_NOT_BUILT, CURSOR_POINT_MISSING_PART);
  int result = bBindStatementParameters();
  int prefetched = 1;
  if (!gbOci7Mode && m_pHandle) {
    std::uint32_t rows = connection->m_nPrefetchRows;
    // A search past its first stage reads a few rows of each stage: a full prefetch would mostly be thrown away.
    if (m_pConditionNode && m_pConditionNode->nGetStage() != KEY_STAGE_FIRST) rows = rows / 10 > 0 ? rows / 10 : 1;
    std::uint32_t memory = connection->m_nPrefetchMemory;
    prefetched = nOciAttrSet(connection, m_pErrorHolder, m_pHandle, HANDLE_STATEMENT, &rows, ATTR_PREFETCH_ROWS, sizeof rows) &&
                 nOciAttrSet(connection, m_pErrorHolder, m_pHandle, HANDLE_STATEMENT, &memory,
                             ATTR_PREFETCH_MEMORY, sizeof memory);
  }
  std::uint32_t kind = m_pStatement->nGetStatementKind();
  const auto* text = static_cast<const char16_t*>(m_pStatement->pszGetOutputText(0));
  m_bWrotePart = false;
  m_nRowsFetched = 0;
  m_bRunAgain = false;
  if (result && prefetched) {
    std::uint32_t needData = 0;
    result = nOciStmtExecute(connection, m_pErrorHolder, m_pHandle, text, kind, 0, &needData, m_nSimpleReadMode);
    const int executed = result;
    m_nStatementState |= CURSOR_STATE_EXECUTED;
    if (result && gbOci7Mode && (kind == KIND_UNDETERMINED || kind == 0)) {
      std::uint32_t told = connection->nGetStatementType(m_pHandle);
      if (told == STATEMENT_TYPE_DROP) told = KIND_DROP;
      if (told != 0) {
        SetStatementKindWord(m_pStatement, told);
        kind = told;
      }
    }
    if (result && needData) {
      result = bSendPieces(kind);
    } else if (!result) {
      AddStatementMessage();
    }
    if (result && m_bTakeCursorOnRun) {
      // The description was made from the first run's cursor: the one this run opened gives the same columns.
      for (std::uint32_t i = 0; i < m_parameterBindings.nGetCount(); ++i) {
        auto* parameter =
            dynamic_cast<COracleParameter*>(static_cast<CParameterBinding*>(m_parameterBindings.pGetObject(i)));
        if (!parameter || !parameter->bIsCursorParameter() || !parameter->pGetCursorHandle()) continue;
        TakeCursorOf(parameter);
        kind = SQL_STATEMENT_SELECT;
        break;
      }
      m_bTakeCursorOnRun = false;
    }
    if (result) result = bCheckRowTouched(connection, kind);
    if (result) result = bCompleteOutputs();
    if (result) result = bWriteLobs();
    if (result && kind == SQL_STATEMENT_INSERT && bIsRemoteTable()) {
      // No RETURNING ROWID through a database link: the row is read again by its values (the answer is not used).
      m_pTable->bResetRecordBuffer(0);
      bModifyRecord(1, 1);
    } else if (result && kind == SQL_STATEMENT_INSERT && bHasRowIdKey() && !gbOci7Mode) {
      // The row id came back into the key's own buffer: the key's value takes it.
      CFieldValue* key = m_pColumnSet->pGetKey(0)->pGetFieldValue();
      if (key) result = key->bLoadFetched(m_pColumnSet->pGetCurrentBuffer());
    }
    m_bWrotePart = executed && !result && (kind == SQL_STATEMENT_UPDATE || kind == SQL_STATEMENT_INSERT);
  } else {
    result = 0;
  }
  if (!result) {
    const std::u16string dump = DumpBinds();
    if (!dump.empty() && m_pErrorHolder) m_pErrorHolder->AddDebugText(dump.c_str());
    ReportStatementError();
  }
  return result;
}

int COracleCursor::bCheckRowTouched(COracleConnection* connection, std::uint32_t kind) {
  if (!m_nRowRequired || (kind != SQL_STATEMENT_UPDATE && kind != SQL_STATEMENT_DELETE)) return 1;
  std::uint32_t rows = 0;
  if (!nOciAttrGet(connection, m_pErrorHolder, m_pHandle, HANDLE_STATEMENT, &rows, ATTR_ROW_COUNT, nullptr)) return 0;
  // The row was deleted by another session, or its key changed there: answering 1 would report a write or a delete
  // that never happened.
  return rows ? 1 : bRaise(CURSOR_ERROR_NOT_FOUND, CURSOR_POINT_NOT_FOUND, CURSOR_RECORDED_NOT_FOUND,
                           CURSOR_MESSAGE_NOT_FOUND);
}

int COracleCursor::bBindStatementParameters() {
  // Each run binds the statement's parameters anew: the bindings of an earlier run go first.
  ReleaseParameterBindings();
  auto* statement = dynamic_cast<COracleSqlRewriter*>(m_pStatement);
  if (!statement) return bBindParameters();
  // The text names its values ":1", ":2"... in the order the statement keeps them; a value used twice is bound once.
  // Parameters the text names by their own name are bound by that name and numbered after them, so that no two
  // bindings share a number. A value that is neither (written into the text as NULL) has no place to bind.
  const std::uint32_t bound = statement->nGetBoundValueCount();
  int answer = 1;
  for (std::uint32_t i = 0; i < bound; ++i) {
    if (!bAddParameterBinding(statement->pGetBoundValue(i), i + 1)) answer = 0;
  }
  std::uint32_t number = bound;
  for (std::uint32_t i = 0; i < m_pStatement->nGetParameterCount(); ++i) {
    CValueLeaf* leaf = m_pStatement->pGetSegment(i);
    const char16_t* name = leaf ? leaf->pszGetName() : nullptr;
    if (name && name[0] && !bAddParameterBinding(leaf, ++number)) answer = 0;
  }
  return answer;
}

int COracleCursor::bSendPieces(std::uint32_t kind) {
  COracleConnection* connection = pGetOciConnection();
  const auto* text = static_cast<const char16_t*>(m_pStatement->pszGetOutputText(0));
  for (std::uint32_t i = 0; i < m_parameterBindings.nGetCount(); ++i) {
    auto* binding =
        dynamic_cast<COracleParameter*>(static_cast<CParameterBinding*>(m_parameterBindings.pGetObject(i)));
    if (!binding || !binding->bIsDynamic()) continue;
    void* data = nullptr;
    std::uint32_t length = 0;
    CFieldValue* value = binding->pGetFieldValue();
    if (value && !value->Value().bIsNull()) binding->GetInputBytes(&data, &length);
    void* handle = nullptr;
    std::uint32_t handleKind = 0;
    std::uint8_t piece = 0;
    std::uint32_t needData = 0;
    if (!nOciGetPieceInfo(connection, m_pErrorHolder, m_pHandle, &handle, &handleKind, &piece) ||
        !nOciSetPieceInfo(connection, m_pErrorHolder, handle, handleKind, data, &length,
                          length > 0 ? PIECE_ONE : PIECE_LAST, nullptr, nullptr)) {
      return 0;
    }
    if (!nOciStmtExecute(connection, m_pErrorHolder, m_pHandle, text, kind, 0, &needData, m_nSimpleReadMode)) {
      AddStatementMessage();
      return 0;
    }
  }
  return 1;
}

int COracleCursor::bCompleteOutputs() {
  for (std::uint32_t i = 0; i < m_parameterBindings.nGetCount(); ++i) {
    auto* parameter =
        dynamic_cast<COracleParameter*>(static_cast<CParameterBinding*>(m_parameterBindings.pGetObject(i)));
    if (parameter && !parameter->bCompleteOutput()) return 0;
  }
  return 1;
}

int COracleCursor::bWriteLobs() {
  auto* statement = dynamic_cast<COracleSqlRewriter*>(m_pStatement);
  if (!statement || !m_pColumnSet) return 1;
  int result = 1;
  const CStringList& lobs = statement->GetLobColumns();
  for (std::uint32_t i = 0; i < lobs.nGetCount(); ++i) {
    auto* column = dynamic_cast<COracleColumn*>(m_pColumnSet->pFindColumnByName(lobs.pGetAt(i)->pszGet()));
    if (column && !column->bWriteLob(this)) result = 0;
  }
  return result;
}

void COracleCursor::AddStatementMessage() {
  if (m_pErrorHolder && m_pStatement) {
    m_pErrorHolder->AddUserMessage(MESSAGE_STATEMENT_FAILED, m_pStatement->DumpParameters());
  }
}

std::u16string COracleCursor::DumpBinds() {
  std::u16string dump;
  const std::uint32_t count = m_parameterBindings.nGetCount();
  if (count == 0) return dump;
  try {
    dump = pszCurrentDriverLabel(BIND_DUMP_LABEL);
    for (std::uint32_t i = 0; i < count; ++i) {
      auto* binding = static_cast<CParameterBinding*>(m_parameterBindings.pGetObject(i));
      if (binding->bIsCursorParameter()) {
        dump += u"Cursor\r\n";
        continue;
      }
      dump += u"P:";
      for (char c : std::to_string(binding->nGetPosition())) dump += static_cast<char16_t>(c);
      dump += u" :\t";
      CHostValue value;
      if (CFieldValue* field = binding->pGetFieldValue()) value.Assign(field->Value());
      const char16_t* text = nullptr;
      if (value.nGetType() != 0 && !value.bIsNull()) {
        if (value.nGetType() != HOST_TYPE_WIDE_STRING && value.nConvert(HOST_TYPE_WIDE_STRING) >= 100) {
          text = pszCurrentDriverLabel(FAILED_CONVERSION_LABEL);
        } else if (value.nGetWideText(&text) >= 100) {
          text = pszCurrentDriverLabel(FAILED_CONVERSION_LABEL);
        }
      }
      if (text) dump += text;
      dump += u"\r\n";
    }
  } catch (const std::bad_alloc&) {
    // What the dump holds so far still serves the report.
  }
  return dump;
}

// ---- fetch ----------------------------------------------------------------------------------------------------------------

int COracleCursor::bFetch(std::uint32_t direction, std::uint32_t, std::uint32_t* outOfRange, std::uint32_t count,
                          void*) {
  COracleConnection* connection = pGetOciConnection();
  std::uint32_t end = 0;
  std::uint32_t needData = 0;
  if (outOfRange) *outOfRange = 1;
  if (!m_pHandle && m_bRunAgain) {
    std::uint32_t ended = 0;
    if (!bRunAgainPastFetched(&ended)) return 0;
    if (ended) return 1;
  }
  // A statement never run has no handle to fetch from.
  if (!connection || !m_pHandle) return bRaise(CURSOR_ERROR_NOT_BUILT, CURSOR_POINT_MISSING_PART);
  // A query run as text learns its columns only from its describe, after it ran, and a statement run again after a
  // close has given its bindings up: either way the columns are bound here, before the first row is fetched into
  // nothing.
  if (m_columnBindings.nGetCount() == 0 && m_pStatement && m_pStatement->Lists().nGetSelectColumnCount() > 0 &&
      !bBindColumns()) {
    return 0;
  }
  // The defined buffers hold one row: a move over several rows fetches them one at a time and keeps the last, where
  // one fetch of that many rows would write the rows after the first past the buffers.
  const std::uint32_t rows = count ? count : 1;
  int result = 1;
  for (std::uint32_t row = 0; row < rows && result && !end; ++row) {
    needData = 0;
    result = nOciStmtFetch(connection, m_pErrorHolder, m_pHandle, 1, nOrientation(direction), &end, &needData);
    if (result && !end) ++m_nRowsFetched;
    if (result && !end && needData) result = bReadLongPieces();
  }
  // A failed fetch leaves the cursor out of range, as a fetch that found no row does.
  if (outOfRange) *outOfRange = !result || end ? 1 : 0;
  if (!result && m_pTable && m_pTable->bIsSqlQuery() && m_pErrorHolder && m_pErrorHolder->nGetNativeErrorCode()) {
    // The server refused the fetch (cancelled, out of sequence): the rows of a query given as text cannot be found
    // again by a key, and its SELECT cannot be built anew from an analysis it may not have. The next fetch runs
    // the statement again and passes the rows fetched so far, so that the rows read on from where they stood. A
    // refusal for memory keeps the handle: the table finds its place again by key.
    ReleaseColumnBindings();
    FreeHandle();
    m_bRunAgain = true;
  }
  if (!result || end) return result;
  if (m_bBound) result = bRefreshBindings();
  return result;
}

int COracleCursor::bRunAgainPastFetched(std::uint32_t* ended) {
  const std::uint32_t passed = m_nRowsFetched;
  const bool selectsListed = m_pStatement && m_pStatement->Lists().nGetSelectColumnCount() > 0;
  ReleaseColumnBindings();
  if (bRunPassing(passed, ended)) return 1;
  // A run or a row that failed part-way leaves nothing behind: the next fetch runs the statement from its start
  // again and passes the same rows, instead of reading on from wherever the failure left a handle.
  ReleaseColumnBindings();
  if (!selectsListed && m_pStatement) m_pStatement->Lists().Reset(true);
  FreeHandle();
  m_nRowsFetched = passed;
  m_bRunAgain = true;
  *ended = 0;
  return 0;
}

int COracleCursor::bRunPassing(std::uint32_t passed, std::uint32_t* ended) {
  if (!bPrepare(0, 0) || !bExecute(0)) return 0;
  // A statement's copy comes without its select columns: those of a query given as text are the columns of its
  // description, as when it first ran, and the fetched values go into this copy's own.
  if (m_pStatement->Lists().nGetSelectColumnCount() == 0 && m_pColumnSet) {
    for (std::uint32_t i = 0; i < m_pColumnSet->nGetColumnCount(); ++i) {
      CColumn* column = m_pColumnSet->pGetColumn(i);
      if (!column->bIsCompositeKey() && !m_pStatement->bAddSelectColumn(column)) return 0;
    }
  }
  if (!bBindColumns()) return 0;
  // The rows come again in the order they came: a query's order is its text's, and the rows the source fetched are
  // in the copy's cache already. Rows fewer than before end here, as the statement would.
  COracleConnection* connection = pGetOciConnection();
  for (std::uint32_t row = 0; row < passed; ++row) {
    std::uint32_t needData = 0;
    if (!nOciStmtFetch(connection, m_pErrorHolder, m_pHandle, 1, FETCH_NEXT, ended, &needData)) return 0;
    if (*ended) return 1;
    ++m_nRowsFetched;
    if (needData && !bReadLongPieces()) return 0;
  }
  return 1;
}

int COracleCursor::bReadLongPieces() {
  COracleConnection* connection = pGetOciConnection();
  std::string buffer;
  try {
    buffer.resize(LONG_PIECE_BYTES);
  } catch (const std::bad_alloc&) {
    return bOutOfMemory();
  }
  void* current = nullptr;
  std::uint32_t index = 0;
  std::uint64_t offset = 0;
  std::uint32_t needData = 1;
  while (needData) {
    void* handle = nullptr;
    std::uint32_t handleKind = 0;
    std::uint8_t piece = 0;
    void* define = nullptr;
    if (!nOciGetPieceInfo(connection, m_pErrorHolder, m_pHandle, &handle, &handleKind, &piece, &define)) return 0;
    if (piece == PIECE_ONE || piece == PIECE_FIRST) {
      if (current && !bStorePiece(current, index++, buffer.data(), offset)) return 0;
      offset = 0;
      current = define;
    }
    std::uint32_t length = LONG_PIECE_BYTES;
    if (!nOciSetPieceInfo(connection, m_pErrorHolder, handle, handleKind, buffer.data() + offset, &length, piece,
                          nullptr, nullptr)) {
      return 0;
    }
    std::uint32_t end = 0;
    needData = 0;
    if (!nOciStmtFetch(connection, m_pErrorHolder, m_pHandle, 1, FETCH_NEXT, &end, &needData)) return 0;
    // A piece is never longer than the room it was given: a client that says otherwise has written past it or
    // would have the value read past what it wrote. The value is refused, as one too long for its buffer.
    if (length > LONG_PIECE_BYTES) {
      RaiseModuleError(m_pErrorHolder, 0, ERROR_UNIT_ORACLE_CURSOR, CURSOR_POINT_LONG_PIECE, pGetConnection(),
                       m_pTable ? m_pTable->pszGetName() : u"", ERROR_VALUE_TOO_LONG);
      return 0;
    }
    offset += length;
    if (needData) {
      // The value goes on in the next piece: one buffer grows by a piece's room.
      try {
        if (buffer.size() < offset + LONG_PIECE_BYTES) buffer.resize(offset + LONG_PIECE_BYTES);
      } catch (const std::bad_alloc&) {
        return bOutOfMemory();
      }
    }
  }
  return current ? bStorePiece(current, index, buffer.data(), offset) : 1;
}

int COracleCursor::bStorePiece(void* define, std::uint32_t index, const char* bytes, std::uint64_t length) {
  // The client sends pieces only for the values that have some: a NULL column before it takes none, so the pieces
  // go by the define the client names; by order only when it names none of them.
  COracleParameterBinding* target = nullptr;
  COracleParameterBinding* byOrder = nullptr;
  std::uint32_t seen = 0;
  for (std::uint32_t i = 0; i < m_columnBindings.nGetCount() && !target; ++i) {
    auto* binding =
        dynamic_cast<COracleParameterBinding*>(static_cast<CParameterBinding*>(m_columnBindings.pGetObject(i)));
    if (!binding || !binding->bIsDynamic()) continue;
    if (define && binding->pGetDefine() == define) target = binding;
    if (seen++ == index) byOrder = binding;
  }
  if (!target) target = byOrder;
  if (!target) return 1;
  COracleFieldValue* value = target->pGetOracleValue();
  if (!value) return 0;
  value->ClearIndicators();
  return value->bSetFromBytes(bytes, length);
}

// ---- values and bindings ---------------------------------------------------------------------------------------------

int COracleCursor::bReadOutputParameter(void* description, CParameterBinding* parameter) {
  // A named output received in pieces was made whole when the statement ran (bCompleteOutputs).
  return CCursor::bReadOutputParameter(description, parameter);
}

int COracleCursor::bAddColumnBinding(void* entry, std::uint32_t index) {
  auto* binding = new (std::nothrow) COracleParameterBinding(static_cast<CSqlElement*>(entry), index + 1);
  if (!binding) return bOutOfMemory();
  binding->AddRef();
  if (!m_columnBindings.Add(binding)) {
    binding->nRelease();
    return bOutOfMemory();
  }
  return binding->bPrepare(this);
}

int COracleCursor::bBindParameter(CParameterBinding* binding, std::uint32_t) {
  auto* parameter = dynamic_cast<COracleParameter*>(binding);
  if (!parameter) return 1;
  return parameter->bBind(m_pErrorHolder, m_pHandle, pGetOciConnection());
}

int COracleCursor::bReadMemoValue(const char16_t* item, CHostValue* target) {
  CColumn* column = pFindColumn(item);
  if (!column) return 1;
  auto* oracle = dynamic_cast<COracleColumn*>(column);
  // A LOB whose row was read without it (its value still unread) is read through the table's LOB data source.
  if (oracle && oracle->bIsLob() && oracle->bIsUnread()) {
    auto* table = dynamic_cast<COracleTable*>(m_pTable);
    if (!table || !table->bLoadDeferredValue(column)) return 0;
  }
  return target ? column->bGetValue(*target, 0) : 1;
}

int COracleCursor::bSaveMemoToFile(const char16_t*, const char16_t*) { return 0; }

// ---- texts ---------------------------------------------------------------------------------------------------------------

int COracleCursor::bIsRemoteTable() {
  if (!m_pTable || m_pTable->bIsQueryMode()) return 0;
  for (const char16_t* name = m_pTable->pszGetSqlName(); name && *name; ++name) {
    if (*name == u'@') return 1;
  }
  return 0;
}

int COracleCursor::bHasRowIdKey() {
  CColumn* key = m_pColumnSet && m_pColumnSet->nGetKeyCount() > 0 ? m_pColumnSet->pGetKey(0) : nullptr;
  return key && key->pGetDescriptorNoRef()->nGetStoredItemKind() == ROW_ID_ITEM_KIND;
}

int COracleCursor::bAppendColumnValue(CSqlRewriter* text, CColumn* column, std::uint32_t kind, std::uint32_t flags) {
  if (!column->bIsAutoIdentifier()) {
    CHostValue value;
    if (!column->bGetValue(value, 0)) return 0;
    if (value.bIsNull() || value.nGetType() == 0) return text->nAppendText(u"NULL");
  }
  auto* fieldValue = dynamic_cast<COracleFieldValue*>(column->pGetFieldValue());
  if (fieldValue) {
    std::uint32_t second = fieldValue->nGetSecondaryTypeChecked();
    if (second == 0) second = fieldValue->nGetColumnTypeOrHost();
    // An unknown client version (-1) compares as a high one.
    const bool oldClient = static_cast<std::uint32_t>(gnOciClientMajorVersion) < 9;
    if (oldClient && (bIsUnicodeColumnType(fieldValue->nGetColumnType()) || bIsUnicodeColumnType(second))) {
      CModuleError error;
      error.SetError(&gstModuleDescriptor, ERROR_UNICODE_NEEDS_CLIENT_9);
      SetErrorFileAndItem(error, m_pTable ? m_pTable->pszGetName() : u"", column->pszGetName());
      std::uint32_t code = ERROR_UNICODE_NEEDS_CLIENT_9;
      error.SetInfo(ERROR_INFO_ERROR_CODE, &code);
      AddErrorIdentification(error, ERROR_UNIT_ORACLE_CURSOR, CURSOR_POINT_UNICODE_CLIENT);
      if (m_pErrorHolder) {
        m_pErrorHolder->RecordError(0, error, pGetConnection());
      } else {
        DiscardIgnoredError(error);
      }
      return 0;
    }
  }
  auto* lob = dynamic_cast<COracleColumn*>(column);
  if (lob && lob->bIsLob()) {
    auto* statement = dynamic_cast<COracleSqlRewriter*>(m_pStatement);
    // A BFILE is inserted as given through its locator.
    // The list of LOB columns is a list of texts: a name it could not take is memory refused, and the statement
    // would otherwise run without writing that value.
    if (kind == SQL_STATEMENT_INSERT && lob->bIsBfile()) {
      return !statement || statement->bAddLobColumn(column->pszGetName()) ? 1 : bOutOfMemory();
    }
    if (!text->nAppendText(lob->bIsClob() ? u"EMPTY_CLOB()" : u"EMPTY_BLOB()")) return 0;
    return !statement || statement->bAddLobColumn(column->pszGetName()) ? 1 : bOutOfMemory();
  }
  return CCursor::bAppendColumnValue(text, column, kind, flags);
}

int COracleCursor::bAppendReturningClause(std::uint32_t kind, std::uint32_t) {
  if (gbOci7Mode || !m_pStatement) return 1;
  auto* statement = dynamic_cast<COracleSqlRewriter*>(m_pStatement);
  const std::uint32_t lobCount = statement ? statement->GetLobColumns().nGetCount() : 0;
  const bool rowId = kind == SQL_STATEMENT_INSERT && bHasRowIdKey() && !bIsRemoteTable();
  if (!rowId && lobCount == 0) return 1;
  CSqlRewriter* values = pNewTableStatement();
  if (!values) return 0;
  CTString names;
  // The names' text cannot tell that memory refused an append: its length is checked against what was appended,
  // or the statement would run with a RETURNING clause that names nothing.
  std::size_t namesLength = 0;
  auto addName = [&](const char16_t* name) {
    if (!names.bIsEmpty()) {
      names.Append(u",");
      ++namesLength;
    }
    names.Append(name);
    namesLength += std::char_traits<char16_t>::length(name);
  };
  int answer = 1;
  auto addValue = [&](CFieldValue* value) {
    // The markers stand apart, "," between them.
    if (values->nGetParameterCount() > 0 && !values->nAppendText(u",")) return 0;
    return values->bAddValueParameter(value);
  };
  if (rowId) {
    answer = addValue(m_pColumnSet->pGetKey(0)->pGetFieldValue());
    addName(u"ROWID");
  }
  for (std::uint32_t i = 0; answer && i < lobCount; ++i) {
    const char16_t* name = statement->GetLobColumns().pGetAt(i)->pszGet();
    auto* column = dynamic_cast<COracleColumn*>(m_pColumnSet->pFindColumnByName(name));
    CFieldValue* locator = column ? column->pGetRowLobLocator(pGetOciConnection()) : nullptr;
    answer = locator && addValue(locator);
    if (locator) locator->nRelease();
    addName(column ? column->pszGetSqlName(true) : name);
  }
  if (answer && names.nGetLength() != namesLength) answer = bOutOfMemory();
  if (answer) {
    answer = m_pStatement->nAppendText(u" RETURNING ") && m_pStatement->nAppendText(names.pszGet()) &&
             m_pStatement->nAppendText(u" INTO ") && m_pStatement->bAppendRewriter(values, 0);
  }
  values->nRelease();
  return answer;
}

int COracleCursor::bLockRecord(CSqlRewriter* statement, std::uint32_t) {
  if (!statement) return 0;
  statement->Reset(0);
  if (statement != m_pStatement && !bSetStatement(statement)) return 0;
  m_pStatement->SetSelectMode(0);
  CSqlRewriter* where = pNewTableStatement();
  if (!where) return 0;
  // The record of a query over one file is locked in that file, where its write goes: the server locks no rows
  // through a query that sorts, merges or groups them.
  CTString file;
  int answer = bAppendRecordWhere(where, 0) && bQueryFileName(file);
  if (answer && !file.bIsEmpty()) {
    SetStatementKindWord(statement, SQL_STATEMENT_SELECT);
    answer = statement->nAppendText(u"SELECT ") && bAppendFileColumns(statement) &&
             statement->nAppendText(u" FROM ") && statement->nAppendText(file.pszGet()) &&
             statement->nAppendText(u" WHERE ") && statement->bAppendRewriter(where, 0);
  } else {
    answer = answer && bBuildSelect(statement, 0, nullptr, 1, where);
  }
  answer = answer && m_pStatement->nAppendText(u" FOR UPDATE NOWAIT");
  where->nRelease();
  return answer;
}

int COracleCursor::bAppendFileColumns(CSqlRewriter* statement) {
  CQueryDescription* query = m_pTable->pGetQueryDescription();
  std::uint32_t written = 0;
  for (std::uint32_t i = 0; m_pColumnSet && i < m_pColumnSet->nGetColumnCount(); ++i) {
    CColumn* column = m_pColumnSet->pGetColumn(i);
    if (!column || column->bIsCompositeKey()) continue;
    // Only an item that is the file's column under its own name is read back from the row locked: the file has no
    // column of an alias or an expression's name, and naming one would have the lock refused. Such an item keeps
    // the value read before.
    IHostItemDescription* item = query ? query->pFindItem(column->pszGetName()) : nullptr;
    const char16_t* origin = item ? item->pszGetOrigin() : nullptr;
    if (!item || item->nGetItemKind() != 0 ||
        (origin && origin[0] && nHostCompareNoCase(origin, column->pszGetName()) != 0)) {
      continue;
    }
    const char16_t* name = column->pszGetSqlName(true);
    if (!name) return bOutOfMemory();
    if (written > 0 && !statement->nAppendText(u",")) return 0;
    if (!statement->nAppendText(name) || !statement->bAddSelectColumn(column)) return 0;
    ++written;
  }
  // With no such item the row is locked all the same, and the record stays as read.
  return written > 0 || statement->nAppendText(u"*");
}

int COracleCursor::bRunRecordLock(std::uint32_t lockMode, bool readRow) {
  CSqlRewriter* statement = pNewTableStatement();
  if (!statement) return 0;
  int answer = bLockRecord(statement, lockMode) && bSetTextAndPrepare(statement, 0) && bRun(0, 0);
  statement->nRelease();
  if (!answer || !readRow) return answer;
  std::uint32_t outOfRange = 1;
  if (!bFetch(READ_FIRST, 1, &outOfRange, 1, nullptr)) return 0;
  return outOfRange ? bRaiseRecordNotFound() : 1;
}

int COracleCursor::AppendForUpdate(CSqlRewriter* statement) {
  if (!statement) return 0;
  statement->Reset(0);
  if (statement != m_pStatement && !bSetStatement(statement)) return 0;
  m_pStatement->SetSelectMode(0);
  return bBuildSelect(statement, 0, nullptr, 1, nullptr) && m_pStatement->nAppendText(u" FOR UPDATE NOWAIT");
}

int COracleCursor::bAppendSelectFrom(CSqlRewriter* statement) {
  if (!statement || !m_pColumnSet || !m_pTable) return 0;
  if (statement != m_pStatement && !bSetStatement(statement)) return 0;
  m_pStatement->SetSelectMode(2);
  const bool queryMode = m_pTable->bIsQueryMode() != 0;
  std::uint32_t written = 0;
  if (!m_pStatement->nAppendText(u"SELECT ")) return 0;
  for (std::uint32_t i = 0; i < m_pColumnSet->nGetColumnCount(); ++i) {
    CColumn* column = m_pColumnSet->pGetColumn(i);
    // Only the values still on the server are fetched: the row would replace with its own the memos the program
    // set since, or read as NULL (a record added after this one would be stored with this one's values).
    if (!column || !column->bIsMemo() || !column->bIsUnread()) continue;
    if (written > 0 && !m_pStatement->nAppendText(u",")) return 0;
    const char16_t* name = column->pszGetSqlName(queryMode);
    if (!name) return bOutOfMemory();
    if (!m_pStatement->nAppendText(name) || !m_pStatement->bAddSelectColumn(column)) return 0;
    ++written;
  }
  if (written == 0) {
    m_pStatement->Reset(0);
    return 1;
  }
  CSqlRewriter* where = pNewTableStatement();
  if (!where) return 0;
  int answer = bAppendRecordWhere(where, 0);
  if (answer && queryMode) {
    answer = m_pStatement->nAppendText(u" FROM ") &&
             bBuildSelectStatement(m_pTable->pGetQueryDescription(), 0, nullptr, 1, where, 0, 0);
  } else if (answer) {
    answer = bAppendFromWhere(0, nullptr, 1, where, 0);
  }
  where->nRelease();
  return answer;
}
