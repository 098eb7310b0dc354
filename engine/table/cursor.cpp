#include "engine/table/cursor.h"

#include <new>
#include <string_view>

#include "engine/cache/shared_row_source.h"
#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/query_description.h"
#include "engine/record/record.h"
#include "engine/record/record_buffer.h"
#include "engine/record/record_description.h"
#include "engine/record/table_description.h"
#include "engine/table/parameter_binding.h"
#include "engine/table/table.h"
#include "engine/values/field_value.h"
#include "foundation/clone_map.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/x_error.h"
#include "foundation/reference_guard.h"
#include "host/host_objects.h"
#include "host/host_value.h"
#include "sql/conditions/key_condition.h"
#include "sql/connection.h"
#include "sql/driver_services.h"
#include "sql/rewriter/sql_rewriter.h"
#include "sql/rewriter/value_leaf.h"

namespace {

std::uint32_t nMirrored(std::uint32_t direction) {
  switch (direction) {
    case READ_FIRST:
      return READ_LAST;
    case READ_LAST:
      return READ_FIRST;
    case READ_NEXT:
      return READ_PREVIOUS;
    case READ_PREVIOUS:
      return READ_NEXT;
    default:
      return direction;
  }
}

template <typename T>
void ReleaseCounted(T*& object) {
  if (object) object->nRelease();
  object = nullptr;
}

// A key condition (or filter) copied through the map: the copy the map holds, else a new one of its class; with a
// reference for the new owner.
template <typename T>
T* pCloneCondition(CHashTable& map, T* source) {
  if (!source) return nullptr;
  std::uint64_t known = 0;
  T* copy = map.bLookup(nCloneKey(source), &known, nullptr)
                ? reinterpret_cast<T*>(known)
                : static_cast<T*>(source->pNewWithArgs(source, map, 0, 0));
  AddRefObject(copy);
  return copy;
}

}  // namespace

// ---- construction ----

CCursor::CCursor(CTable* table, CErrorHolder* holder) : CCursor() {
  m_pTable = table;
  if (holder) {
    holder->AddRef();
    m_pErrorHolder = holder;
  }
  if (table) {
    m_pRecordDescription = table->pGetRecordDescription();
    if (m_pRecordDescription) m_pRecordDescription->AddExternalRef();
    m_pColumnSet = table->pGetTableDescription();
    AddRefObject(m_pColumnSet);
  }
}

CCursor::CCursor() : m_savedPositions(7) {}

CCursor::~CCursor() {
  bSetRecordSlot(SLOT_STATE_NONE, SLOT_NONE);
  ReleaseCounted(m_pFilterNode);
  ReleaseCounted(m_pConditionNode);
  ReleaseColumnBindings();
  ReleaseParameterBindings();
  ReleaseCounted(m_pStatement);
  ReleaseCounted(m_pAuxiliary);
  ReleaseCounted(m_pSavedRecord);
  ReleaseCounted(m_pColumnSet);
  ReleaseCounted(m_pConditionContext);
  if (m_pRecordDescription) m_pRecordDescription->nReleaseExternal();
  m_pRecordDescription = nullptr;
  ReleaseCounted(m_pErrorHolder);
  ReleaseCachedState();
}

CConnection* CCursor::pGetConnection() const { return m_pTable ? m_pTable->pGetConnection() : nullptr; }

// ---- errors ----

int CCursor::bRaise(std::uint32_t errorCode, std::uint32_t point, std::uint32_t recordedCode,
                    std::uint32_t debugMessage) {
  CModuleError error;
  error.SetError(&gstModuleDescriptor, errorCode, m_pTable ? m_pTable->pszGetName() : u"");
  if (debugMessage) error.AddDebugMessage(&gstModuleDescriptor, debugMessage);
  return bReport(error, errorCode, point, recordedCode);
}

int CCursor::bReport(CModuleError& error, std::uint32_t errorCode, std::uint32_t point, std::uint32_t recordedCode) {
  SetErrorFileAndItem(error, m_pTable ? m_pTable->pszGetName() : u"", m_strSearchItem.pszGet());
  error.SetInfo(ERROR_INFO_ERROR_CODE, &errorCode);
  AddErrorIdentification(error, ERROR_UNIT_CURSOR, point);
  if (m_pErrorHolder) {
    m_pErrorHolder->RecordError(recordedCode, error, pGetConnection());
  } else {
    DiscardIgnoredError(error);
  }
  return 0;
}

void CCursor::ReportStatementError() {
  if (!m_pErrorHolder || !m_pErrorHolder->bHasError() || !m_pStatement) return;
  const char16_t* text = m_pStatement->pszGetSourceText();
  if (text && text[0]) m_pErrorHolder->AddDebugText(text);
}

int CCursor::bOutOfMemory() {
  SetHolderOutOfMemory(m_pErrorHolder);
  return 0;
}

int CCursor::bRaiseRecordNotFound() {
  m_bNotFound = 1;
  m_bOutOfRange = 1;
  return bRaise(CURSOR_ERROR_NOT_FOUND, CURSOR_POINT_NOT_FOUND, CURSOR_RECORDED_NOT_FOUND, CURSOR_MESSAGE_NOT_FOUND);
}

// ---- statement ----

void CCursor::FreeStatement() {
  bClose();
  ReleaseParameterBindings();
  m_bFetched = 0;
  ReleaseCounted(m_pStatement);
}

int CCursor::bSetStatement(CSqlRewriter* statement) {
  AddRefObject(statement);
  FreeStatement();
  m_pStatement = statement;
  return 1;
}

int CCursor::bSetTextAndPrepare(CSqlRewriter* statement, std::uint32_t flags) {
  if (!bSetStatement(statement)) return 0;
  return (flags & CURSOR_RUN_PREPARED) ? 1 : bPrepare(0, flags);
}

int CCursor::bExecuteText(CSqlRewriter* statement, std::uint32_t mode, std::uint32_t flags) {
  if (!bSetStatement(statement)) return 0;
  return bPrepareAndExecute(mode, flags);
}

int CCursor::bPrepareAndExecute(std::uint32_t mode, std::uint32_t flags) {
  if (!(flags & CURSOR_RUN_PREPARED) && !bPrepare(mode, flags)) return 0;
  return bExecute(mode);
}

std::uint32_t CCursor::nGetStatementKind() const {
  if (m_pSharedView) return SQL_STATEMENT_SELECT;
  return m_pStatement ? m_pStatement->nGetStatementKind() : SQL_STATEMENT_SELECT;
}

std::uint32_t CCursor::bIsReversed() const {
  if (m_pSharedView) return 0;
  return m_pStatement ? m_pStatement->bIsReversed() : 0;
}

int CCursor::bBuildStatement(std::uint32_t kind, CSqlRewriter* statement, std::uint32_t flags) {
  FreeStatement();
  if (!bSetStatement(statement) || !statement) return 0;
  SetStatementKindWord(statement, kind);
  switch (kind) {
    case SQL_STATEMENT_SELECT:
      return bBuildSelect(statement, flags, nullptr, 1, nullptr);
    case SQL_STATEMENT_UPDATE:
      return bBuildUpdate(statement, flags);
    case SQL_STATEMENT_INSERT:
      return bBuildInsert(statement, flags);
    case SQL_STATEMENT_DELETE:
      return bBuildDelete(statement);
    case 5:
      return bBuildDeleteHead(statement);
    case SQL_STATEMENT_CREATE:
      return bBuildCreateTable(statement);
    case SQL_STATEMENT_DROP:
      return bBuildDropTable(statement);
    default:
      return 0;
  }
}

// ---- open, run, close ----

int CCursor::bOpen(std::uint32_t mode, std::uint32_t flags) {
  if (m_bOpen) bClose();
  if (m_pSavedRecord && !m_bContinuing) {
    ReleaseCounted(m_pSavedRecord);
    m_nDuplicateCount = 0;
  }
  // Nothing to run (an UPDATE that changed no column) is no failure.
  if (!m_pStatement || m_pStatement->bIsStatementEmpty()) return 1;
  if (!bPrepareAndExecute(mode, flags)) return 0;
  m_nOpenFlags = flags;
  int answer = 1;
  if (m_pTable && !m_pTable->bHasAttachedDescription() &&
      (m_pStatement->nGetStatementKind() == SQL_STATEMENT_SELECT || m_pStatement->bHasResultMark())) {
    CRecordDescription* description = m_pTable->pNewRecordDescription(m_pTable->pszGetName());
    if (!description) return 0;
    description->AddRef();
    answer = bDescribe(description) && m_pTable->bAttachDescription(description);
    description->nRelease();
  }
  if (answer && nGetStatementKind() == SQL_STATEMENT_SELECT) answer = bBindColumns();
  if (answer) m_bOpen = 1;
  return answer;
}

int CCursor::bRun(std::uint32_t mode, int mergeTypes) {
  if (mergeTypes && m_pStatement && !m_pStatement->bMergeColumnTypes()) return 0;
  if (!m_pStatement || m_pStatement->nGetStatementKind() == SQL_STATEMENT_NONE) {
    return bRaise(CURSOR_ERROR_NOT_BUILT, CURSOR_POINT_RUN);
  }
  bClose();
  const int answer = bExecute(mode);
  if (answer) m_bOpen = 1;
  return answer;
}

int CCursor::bClose() {
  ReleaseColumnBindings();
  if (!m_bContinuing) {
    m_conditionRef.Release();
    // The shared rows this cursor was filling are incomplete without it.
    CSharedRowSource* source = m_pTable ? m_pTable->pGetSharedRowSource() : nullptr;
    if (source && source->bIsSourceCursor(this)) m_pTable->bDropSharedRowSource();
    m_bOpen = 0;
    m_nCurrentRow = -1;
    m_nContinuationRowCount = 0;
    AttachRowCache(0);
  }
  if (!(m_bContinuing && m_pTable && m_pTable->pGetSharedRowSource())) ForgetSavedPositions();
  bSetRecordSlot(SLOT_STATE_NONE, SLOT_NONE);
  m_bCurrentRowDeleted = 0;
  m_nStatementState = 0;
  m_bFirstRead = 1;
  return 1;
}

// ---- reading ----

int CCursor::bRead(std::uint32_t direction, std::uint32_t loadRecord, std::uint32_t count, void* context) {
  m_bKeyStage = 0;
  std::uint32_t outOfRange = 1;
  if (bIsReversed()) {
    direction = nMirrored(direction);
    if (direction == READ_FIRST || direction == READ_LAST) m_nDuplicateCount = 0;
  }
  if (m_strRequestedSearchItem.bIsEmpty() && (m_nRecordSlotState != SLOT_STATE_NONE || !m_bOpen)) {
    // The rows of a query may be shared between its contexts: a context that starts reads them through its own
    // view; one the table moved finds its row there again before it moves on.
    int ready = 1;
    if (direction == READ_FIRST || direction == READ_LAST) {
      bTakeRecordSlot(SLOT_STATE_NONE);
      ready = bOpenSharedView();
    } else {
      ready = bResyncSharedRows();
    }
    if (!ready) {
      m_bOutOfRange = 1;
      m_bRowValues = 0;
      return 0;
    }
  }
  m_bOutOfRange = outOfRange;
  m_bRowValues = m_bKeyStage;
  m_nLastDirection = direction;
  m_bFromCache = 0;
  m_bFetched = 0;
  m_bOnFailedRow = 0;

  std::uint32_t viewDuplicate = SLOT_NONE;
  int answer = bRowCacheActive() ? bReadThroughCache(direction, loadRecord, count, context, &outOfRange, &viewDuplicate)
                                 : bReadDirect(direction, loadRecord, count, context, &outOfRange);
  if (answer && !outOfRange) {
    m_bKeyStage = bHasConditionNode() ? static_cast<std::uint32_t>(m_pConditionNode->bFirstStageOrFlag()) : 1;
    // A failed slot update is not hidden by the buffer reset that follows it.
    answer = bUpdateRecordSlot(direction);
    // Identical keys in a view stand in the view's order, which a move previous walks backwards: the view tells
    // which of them the row is, so that the row is found again among them.
    if (viewDuplicate != SLOT_NONE) m_nDuplicateCount = viewDuplicate;
    if (answer && loadRecord) answer = m_pTable->bResetRecordBuffer(0);
  }
  if (!answer && m_bOnFailedRow) {
    // Fetched but not converted: the context stands on the row, as a walk does, and moves on from it; the record
    // it keeps for finding its place again is that row's.
    outOfRange = 0;
    m_bKeyStage = 0;
    bUpdateRecordSlot(direction);
    // Its record is the last read too: a write or deletion that followed would otherwise reach the row before it.
    if (loadRecord) m_pTable->bResetRecordBuffer(0);
  } else if (!answer) {
    outOfRange = 1;
    m_bKeyStage = 0;
  } else if (outOfRange) {
    m_bKeyStage = 0;
  }
  m_bOutOfRange = outOfRange;
  if (!m_bPositionKeyApplied && !m_pSharedView) {
    m_bRowValues = m_bKeyStage;
  } else {
    // Whether the row reached still stands on the position's key. No row has no values to stand on: a key that
    // matched the row before would hand out that row's values again.
    m_bRowValues = answer && !outOfRange ? static_cast<std::uint32_t>(m_positionKey.bApply(m_pColumnSet)) : 0;
  }
  m_bOpen = 1;
  m_conditionRef.Set(m_pFilterNode);
  return answer;
}

int CCursor::bReadDirect(std::uint32_t direction, std::uint32_t loadRecord, std::uint32_t count, void* context,
                         std::uint32_t* outOfRange) {
  *outOfRange = 1;
  m_bRowUnconverted = 0;
  int answer = bFetch(direction, loadRecord, outOfRange, count, context);
  if (!answer && m_bRowUnconverted) m_bOnFailedRow = 1;
  if (answer && *outOfRange &&
      ((m_nRowMark != 0xFFFFFFFF && !bRowCacheComplete()) || (!m_bFirstRead && direction == READ_PREVIOUS))) {
    // The rows go on past what the statement fetched. A continuation that fails is a failed read, never the end of
    // the rows: its error stays in the holder.
    answer = bContinueRead(direction, loadRecord, count, outOfRange);
  }
  m_bFetched = answer && !*outOfRange;
  return answer;
}

int CCursor::bContinueRead(std::uint32_t direction, std::uint32_t loadRecord, std::uint32_t count,
                           std::uint32_t* outOfRange) {
  m_bContinuing = 1;
  std::uint32_t next = (direction == READ_FIRST || direction == READ_NEXT) ? READ_NEXT : READ_PREVIOUS;
  if (bIsReversed()) next = nMirrored(next);
  CRecord* kept = nullptr;
  if (bRowCacheActive()) {
    if (!bEnsureSavedRecord()) {
      m_bContinuing = 0;
      return 0;
    }
    kept = m_pSavedRecord->pDuplicate(RECORD_PARTS_ALL);
    if (!kept) {
      m_bContinuing = 0;
      return bOutOfMemory();
    }
    kept->AddRef();
    ReadLastCachedRowIntoSavedRecord();
  }
  const int answer = m_pTable->bPositionKeepingBuffer(this, loadRecord, next, count);
  m_bContinuing = 0;
  m_bFirstRead = 0;
  *outOfRange = m_bOutOfRange;
  if (kept) {
    if ((!answer || *outOfRange) && m_pSavedRecord) m_pSavedRecord->bCopyFrom(kept, RECORD_PARTS_ALL);
    kept->nRelease();
  }
  return answer;
}

// ---- record slots ----

int CCursor::bSetRecordSlot(std::uint32_t state, std::uint32_t slot) {
  if (!(m_nRecordSlotState == SLOT_STATE_READ && state == SLOT_STATE_PINNED)) m_nRecordSlotState = state;
  if (slot != m_nRecordSlot) {
    if (m_nRecordSlot != SLOT_NONE && m_pTable) m_pTable->UnpinRecordSlot(m_nRecordSlot);
    m_nRecordSlot = slot;
    if (slot != SLOT_NONE && m_pTable) m_pTable->PinRecordSlot(slot);
  }
  return 1;
}

int CCursor::bTakeRecordSlot(std::uint32_t state) {
  if (state == SLOT_STATE_NONE) return bSetRecordSlot(SLOT_STATE_NONE, SLOT_NONE);
  const std::uint32_t slot = m_pTable ? m_pTable->nStoreContextRecord(this) : SLOT_NONE;
  if (slot == SLOT_NONE) return 1;
  return bSetRecordSlot(state, slot);
}

void CCursor::LeaveHeldRows() {
  if (!m_bOpen || m_bOutOfRange || !m_pSavedRecord) return;
  // The work was rolled back when this runs, and the rollback answers as it went: memory refused for keeping the
  // record, the context lets its rows go all the same, and its next move starts from the current record.
  try {
    if (bTakeRecordSlot(SLOT_STATE_PINNED)) return;
  } catch (const std::bad_alloc&) {
  }
  bClose();
}

int CCursor::bUpdateRecordSlot(std::uint32_t kind) {
  if (m_nRecordSlotState == SLOT_STATE_PINNED) bSetRecordSlot(SLOT_STATE_NONE, SLOT_NONE);
  if (kind == SLOT_STATE_WRITTEN && m_nRecordSlot != SLOT_NONE) {
    return bSetRecordSlot(m_nRecordSlotState, m_pTable->nGetNextRecordSlot(m_nRecordSlot));
  }
  if (!bEnsureSavedRecord()) return 0;
  if (kind == READ_FIRST || kind == READ_LAST) {
    m_nDuplicateCount = 0;
  } else if (kind == READ_NEXT || kind == READ_PREVIOUS) {
    m_nDuplicateCount = bSameSearchKeyAsSaved() ? m_nDuplicateCount + 1 : 0;
  }
  CRecord* current = m_pColumnSet ? m_pColumnSet->pGetCurrentRecord() : nullptr;
  if (current && !m_pSavedRecord->bCopyFrom(current, RECORD_PARTS_ALL)) return bOutOfMemory();
  return 1;
}

void CCursor::ForgetSavedRecord() {
  ReleaseCounted(m_pSavedRecord);
  m_nDuplicateCount = 0;
}

int CCursor::bEnsureSavedRecord() {
  if (m_pSavedRecord) return 1;
  m_pSavedRecord = new (std::nothrow) CRecord(m_pErrorHolder);
  if (!m_pSavedRecord) return bOutOfMemory();
  m_pSavedRecord->AddRef();
  return 1;
}

int CCursor::bSameSearchKeyAsSaved() {
  CColumn* column = pFindSearchColumn();
  CRecord* current = m_pColumnSet ? m_pColumnSet->pGetCurrentRecord() : nullptr;
  if (!column || !current || !m_pSavedRecord || !m_pSavedRecord->pGetBuffer() || !current->pGetBuffer()) return 0;
  CHostValue now;
  CHostValue before;
  current->GetFieldValue(now, column->pGetDescriptorNoRef());
  m_pSavedRecord->GetFieldValue(before, column->pGetDescriptorNoRef());
  std::int32_t equal = 0;
  return now.nEquals(before, &equal) == HOST_OK && equal;
}

CColumn* CCursor::pFindColumn(const char16_t* name) const {
  if (!m_pColumnSet || !name || !name[0]) return nullptr;
  return m_pColumnSet->pFindColumnByName(name);
}

CColumn* CCursor::pFindSearchColumn() {
  const char16_t* name = m_strSearchItem.pszGet();
  // The cached column is only read once it is seen in the set, so a column gone since is never touched.
  if (m_pSearchColumn && m_pColumnSet && m_nSearchColumnIndex < m_pColumnSet->nGetColumnCount() &&
      m_pColumnSet->pGetColumn(m_nSearchColumnIndex) == m_pSearchColumn && name &&
      std::u16string_view(m_pSearchColumn->pszGetName()) == name) {
    return m_pSearchColumn;
  }
  m_pSearchColumn = pFindColumn(name);
  if (m_pSearchColumn) {
    const std::int32_t index = m_pColumnSet->nIndexOfColumn(m_pSearchColumn);
    if (index < 0) m_pSearchColumn = nullptr;
    m_nSearchColumnIndex = static_cast<std::uint32_t>(index);
  }
  return m_pSearchColumn;
}

// ---- bindings ----

void CCursor::ReleaseColumnBindings() {
  while (m_columnBindings.nGetCount() > 0) {
    const std::uint32_t last = m_columnBindings.nGetCount() - 1;
    CRefCounted* binding = m_columnBindings.pGetObject(last);
    m_columnBindings.RemoveAt(last);
    ReleaseArrayElement(&m_columnBindings, binding);
  }
}

void CCursor::ReleaseParameterBindings() {
  while (m_parameterBindings.nGetCount() > 0) {
    const std::uint32_t last = m_parameterBindings.nGetCount() - 1;
    CRefCounted* binding = m_parameterBindings.pGetObject(last);
    m_parameterBindings.RemoveAt(last);
    ReleaseArrayElement(&m_parameterBindings, binding);
  }
}

int CCursor::bRefreshBindings() {
  CRecordBuffer* buffer = m_pColumnSet ? m_pColumnSet->pGetCurrentBuffer() : nullptr;
  // The row is fetched whatever a value does: every other value, the key among them, still comes over, so that the
  // row stands in its place with its own key and the read that fails on it can be moved on from.
  int answer = 1;
  for (std::uint32_t i = 0; i < m_columnBindings.nGetCount(); ++i) {
    if (!static_cast<CParameterBinding*>(m_columnBindings.pGetObject(i))->bTransferValue(buffer)) answer = 0;
  }
  // Memory refused is no property of the row: that read fails as any other, and its recovery finds the place again.
  if (!answer && !(m_pErrorHolder && bFailedForMemory(m_pErrorHolder->pGetEmbeddedObject()))) m_bRowUnconverted = 1;
  return answer;
}

void CCursor::SetColumnSet(CTableDescription* columns) {
  if (columns == m_pColumnSet) return;
  AddRefObject(columns);
  ReleaseCounted(m_pColumnSet);
  m_pColumnSet = columns;
}

int CCursor::bBindColumns() {
  int answer = 1;
  const std::uint32_t count = m_pStatement ? m_pStatement->Lists().nGetSelectColumnCount() : 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!bAddColumnBinding(m_pStatement->Lists().pGetSelectColumn(i), i)) answer = 0;
  }
  m_bBound = 1;
  return answer;
}

int CCursor::bAddColumnBinding(void* entry, std::uint32_t index) {
  CParameterBinding* binding = pCreateResultBindingThroughDriver(entry, index + 1);
  if (!binding) return bOutOfMemory();
  binding->AddRef();
  if (!m_columnBindings.Add(binding)) {
    binding->nRelease();
    return bOutOfMemory();
  }
  return binding->bPrepare(this);
}

int CCursor::bBindParameters() {
  int answer = 1;
  const std::uint32_t count = m_pStatement ? m_pStatement->nGetParameterCount() : 0;
  // The statement's markers count from 1, as the positions the client binds at do.
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!bAddParameterBinding(m_pStatement->pGetSegment(i), i + 1)) answer = 0;
  }
  return answer;
}

int CCursor::bAddParameterBinding(void* entry, std::uint32_t index) {
  CParameterBinding* binding = pCreateParameterBindingThroughDriver(entry, index);
  if (!binding) return bOutOfMemory();
  binding->AddRef();
  if (!m_parameterBindings.Add(binding)) {
    binding->nRelease();
    return bOutOfMemory();
  }
  return bBindParameter(binding, index);
}

int CCursor::bBindParameter(CParameterBinding*, std::uint32_t) { return 1; }

// ---- conditions ----

void CCursor::SetConditionNode(CKeyCondition* node) {
  AddRefObject(node);
  ReleaseCounted(m_pConditionNode);
  m_pConditionNode = node;
}

void CCursor::SetFilterNode(CFilterHolder* node) {
  AddRefObject(node);
  ReleaseCounted(m_pFilterNode);
  m_pFilterNode = node;
}

int CCursor::bHasConditionNode() const { return m_pConditionNode && m_pConditionNode->bIsStarted(); }

void CCursor::ResetConditionNode() {
  if (m_pConditionNode) m_pConditionNode->Reset();
}

CKeyCondition* CCursor::pNewConditionNode(CErrorHolder* holder) {
  auto* node = new (std::nothrow) CKeyCondition(holder, pGetConnection());
  if (!node) SetHolderOutOfMemory(holder);
  return node;
}

CFilterHolder* CCursor::pNewFilterNode(CErrorHolder* holder) {
  auto* node = new (std::nothrow) CFilterHolder(holder, pGetConnection());
  if (!node) SetHolderOutOfMemory(holder);
  return node;
}

int CCursor::bAppendConditions(CSqlRewriter* text) {
  if (!m_pFilterNode && !bHasConditionNode()) return 1;
  if (!m_pConditionNode) {
    CKeyCondition* node = pNewConditionNode(m_pErrorHolder);
    if (!node) return 0;
    SetConditionNode(node);
  }
  return m_pConditionNode->bWriteSql(text, m_pFilterNode, nullptr);
}

// ---- plain answers ----

int CCursor::nReserved18() { return 0; }
int CCursor::nReserved20() { return 0; }
int CCursor::nReserved22() { return 0; }
int CCursor::bOnRecordInserted(std::uint32_t, std::uint32_t) { return 1; }
int CCursor::bSetReadMode(std::uint32_t mode) {
  m_nReadMode = mode;
  return 1;
}
int CCursor::bIsScrollable(std::uint32_t, std::uint32_t, std::uint32_t) { return 0; }
int CCursor::bUsesRowCache() { return 0; }
int CCursor::bDescribe(CRecordDescription*) { return 1; }
int CCursor::bPrepare(std::uint32_t, std::uint32_t) { return 1; }
int CCursor::bExecute(std::uint32_t) { return 0; }
int CCursor::bFetch(std::uint32_t, std::uint32_t, std::uint32_t* outOfRange, std::uint32_t, void*) {
  if (outOfRange) *outOfRange = 1;
  return 0;
}
int CCursor::bResumesAfterFailedFetch() const { return 0; }
int CCursor::bOnPositionSaved(CSavedPosition*) { return 1; }
void CCursor::EnableRowCache() {}
int CCursor::bReadScalarValue(CHostValue*, std::uint32_t) { return 0; }
int CCursor::bDefineOutput() { return bDefineColumns(); }

// The per-column size hook answers 0 for every column in this system: a column set that starts with an ordinary
// column defines nothing here; one that is empty or starts with a composite key has nothing to define.
int CCursor::bDefineColumns() {
  if (!m_pColumnSet) return 1;
  for (std::uint32_t i = 0; i < m_pColumnSet->nGetColumnCount(); ++i) {
    CColumn* column = m_pColumnSet->pGetColumn(i);
    if (!column || column->bIsCompositeKey()) break;
    return 0;
  }
  return 1;
}

int CCursor::bReadSingleValue(CHostValue* values, std::uint32_t flag, std::uint32_t flags) {
  // The value (a count) is no record: the current record, its image and its flags stay the program's, unwritten
  // changes included, and a write that follows finds the record as it was read.
  int answer = bOpen(0, flags) && bRead(READ_FIRST, 0, 1, nullptr) && bGetColumnValue(values, flag);
  bClose();
  return answer;
}

int CCursor::bReadScalar(CHostValue* value) { return bOpen(0x10000, 1) && bReadScalarValue(value, 0); }

int CCursor::bReadMemoValue(const char16_t* item, CHostValue* target) {
  CColumn* column = pFindColumn(item);
  // A context reading a query has the query's items only; the table gives a target always.
  if (!column || !target) {
    return bRaise(column ? CURSOR_ERROR_BAD_ARGUMENT : CURSOR_ERROR_NO_SUCH_ITEM, CURSOR_POINT_MISSING_PART);
  }
  return column->bReadMemoDefault(*target);
}

int CCursor::bSaveMemoToFile(const char16_t* item, const char16_t* file) {
  CColumn* column = pFindColumn(item);
  if (!column) return bRaise(CURSOR_ERROR_NO_SUCH_ITEM, CURSOR_POINT_MISSING_PART);
  return column->bSaveMemoToFile(file);
}

// ---- output parameters and column values ----

int CCursor::bGetColumnValue(CHostValue* values, std::uint32_t flag) {
  if (flag == 0) return 1;
  if (!values) return 0;
  CRecordBuffer* buffer = m_pColumnSet ? m_pColumnSet->pGetCurrentBuffer() : nullptr;
  for (std::uint32_t i = 0; i < m_columnBindings.nGetCount(); ++i) {
    CFieldValue* value = static_cast<CParameterBinding*>(m_columnBindings.pGetObject(i))->pGetFieldValue();
    if (!value || !value->bLoadFetched(buffer) || !value->bGetValue(&values[i])) return 0;
  }
  return 1;
}

int CCursor::bReadOutputParameters() {
  if (!m_pTable || !m_pTable->bIsSqlQuery()) return 1;
  CQueryDescription* query = m_pTable->pGetQueryDescription();
  IHostQueryAnalysis* host = query ? query->pGetHostDescription() : nullptr;
  IHostDeclaredParameters* declared = host ? host->piGetDeclaredParameters() : nullptr;
  if (host) host->Release();
  int answer = 1;
  for (std::uint32_t i = 0; i < m_parameterBindings.nGetCount(); ++i) {
    auto* binding = static_cast<CParameterBinding*>(m_parameterBindings.pGetObject(i));
    CValueLeaf* parameter = binding->pGetParameter();
    if (!parameter || (parameter->nGetFlags() & (LEAF_FLAG_NAMED | LEAF_FLAG_CURSOR_PARAMETER)) != LEAF_FLAG_NAMED) {
      continue;
    }
    // A name written twice in the text is one parameter: its later places share the first one's field value and
    // are not read again.
    bool repeated = false;
    for (std::uint32_t j = 0; j < i && !repeated; ++j) {
      CValueLeaf* earlier = static_cast<CParameterBinding*>(m_parameterBindings.pGetObject(j))->pGetParameter();
      repeated = earlier && earlier->pGetFieldValue() == parameter->pGetFieldValue();
    }
    if (!repeated && !bReadOutputParameter(declared, binding)) answer = 0;
  }
  if (declared) declared->Release();
  return answer;
}

int CCursor::bReadOutputParameter(void* description, CParameterBinding* parameter) {
  CFieldValue* value = parameter ? parameter->pGetFieldValue() : nullptr;
  if (!value) return 0;
  if (!value->bLoadFetched(nullptr)) {
    CModuleError error;
    const char16_t* table = m_pTable ? m_pTable->pszGetName() : u"";
    error.SetError(&gstModuleDescriptor, CURSOR_ERROR_OUTPUT_VALUE, static_cast<std::uint32_t>(value->nGetSize()),
                   value->nGetNativeTypeCode(), table);
    return bReport(error, CURSOR_ERROR_OUTPUT_VALUE, CURSOR_POINT_OUTPUT_VALUE);
  }
  auto* declared = static_cast<IHostDeclaredParameters*>(description);
  CValueLeaf* leaf = parameter->pGetParameter();
  // The runtime checked every name against its declarations when the text was translated: a name it no longer
  // knows has nowhere to go, and the rest are still handed back.
  CHostValue* target = declared && leaf ? declared->pFindValue(leaf->pszGetName()) : nullptr;
  if (!target) return 1;
  CHostValue fetched;
  if (!value->bGetValue(&fetched)) return 0;
  target->Assign(fetched);
  return 1;
}

// ---- deep copy ----

int CCursor::bCopyFrom(CCursor* source, CHashTable& cloneMap) {
  if (!source) return 0;
  if (source == this) return 1;
  if (!bRegisterClone(cloneMap, source, this)) return bOutOfMemory();
  Exchange(m_pErrorHolder, source->m_pErrorHolder);
  if (source->m_pRecordDescription) source->m_pRecordDescription->AddExternalRef();
  if (m_pRecordDescription) m_pRecordDescription->nReleaseExternal();
  m_pRecordDescription = source->m_pRecordDescription;

  // The table owns its cursors: its copy is the one the map holds (the table's own copy registers itself first).
  if (source->m_pTable && !(m_pTable = pTableCopyInMap(cloneMap, source->m_pTable))) return 0;
  if (source->m_pStatement) {
    std::uint64_t known = 0;
    CSqlRewriter* statement = cloneMap.bLookup(nCloneKey(source->m_pStatement), &known, nullptr)
                                  ? reinterpret_cast<CSqlRewriter*>(known)
                                  : source->m_pStatement->pClone(cloneMap, 0);
    if (!statement) return 0;
    statement->AddRef();
    ReleaseCounted(m_pStatement);
    m_pStatement = statement;
  }
  if (source->m_pColumnSet) {
    CTableDescription* columns = pCloneChild(cloneMap, source->m_pColumnSet);
    if (!columns) return 0;
    ReleaseCounted(m_pColumnSet);
    m_pColumnSet = columns;
  }
  if (source->m_pSavedRecord) {
    CRecord* record = pCloneChild(cloneMap, source->m_pSavedRecord);
    if (!record) return 0;
    ReleaseCounted(m_pSavedRecord);
    m_pSavedRecord = record;
  }
  if (source->m_pFilterNode) {
    CFilterHolder* filter = pCloneCondition(cloneMap, source->m_pFilterNode);
    if (!filter) return 0;
    ReleaseCounted(m_pFilterNode);
    m_pFilterNode = filter;
  }
  if (source->m_pConditionNode) {
    CKeyCondition* node = pCloneCondition(cloneMap, source->m_pConditionNode);
    if (!node) return 0;
    ReleaseCounted(m_pConditionNode);
    m_pConditionNode = node;
  }
  if (!bCopyCachedState(source, cloneMap)) return 0;

  m_nOrderCompletion = source->m_nOrderCompletion;
  m_strSearchItem = source->m_strSearchItem;
  m_strRequestedSearchItem = source->m_strRequestedSearchItem;
  m_bBound = source->m_bBound;
  m_nBoundCompanion = source->m_nBoundCompanion;
  m_nReadMode = source->m_nReadMode;
  m_bOutOfRange = source->m_bOutOfRange;
  m_bKeyStage = source->m_bKeyStage;
  m_bRowValues = source->m_bRowValues;
  m_bOpen = source->m_bOpen;
  m_bNotFound = source->m_bNotFound;
  m_nLastDirection = source->m_nLastDirection;
  m_nCurrentRow = source->m_nCurrentRow;
  // The slot is re-taken below: this copy pins its own.
  const std::uint32_t state = source->m_nRecordSlotState;
  m_nRowMark = source->m_nRowMark;
  m_bFirstRead = source->m_bFirstRead;
  m_bContinuing = source->m_bContinuing;
  m_nContinuationRowCount = source->m_nContinuationRowCount;
  m_nDuplicateCount = source->m_nDuplicateCount;
  m_bCurrentRowDeleted = source->m_bCurrentRowDeleted;
  m_nOpenFlags = source->m_nOpenFlags;
  m_bFromCache = source->m_bFromCache;
  m_conditionRef.Assign(source->m_conditionRef);
  m_bPositionKeyApplied = source->m_bPositionKeyApplied;
  m_positionKey.Assign(source->m_positionKey);
  m_bFetched = 0;

  // Run off an end, the source keeps the record it ran off from pinned outside its rows: the copy goes back from the
  // same record, as the source would, whatever rows it holds.
  if (state == SLOT_STATE_PINNED) return bSetRecordSlot(SLOT_STATE_PINNED, source->m_nRecordSlot);
  if (bRowCacheComplete()) return 1;
  if (state == SLOT_STATE_READ) {
    m_nRecordSlotState = SLOT_STATE_READ;
    return bSetRecordSlot(SLOT_STATE_READ, source->m_nRecordSlot);
  }
  return bTakeRecordSlot(SLOT_STATE_READ);
}

CCursor* CCursor::pClone(CHashTable& cloneMap) {
  CCursor* copy = new (std::nothrow) CCursor();
  if (!copy) {
    bOutOfMemory();
    return nullptr;
  }
  return pCloneUnreferenced(copy, m_pErrorHolder, [&](CCursor* made) { return made->bCopyFrom(this, cloneMap); });
}
