// CCursor: the statement object of one record context of a table: one SQL statement on one table or query, with what
// it takes to run it and to move through its rows. The table object makes one per record context (through the
// driver object's slot 51) and drives it; the dialect's cursor derives from it and fills the operations that talk to
// the server (describe, prepare, execute, fetch, bind). The generic code decides what runs and in which order.
//
// The cursor builds its statement's text (cursor_sql.cpp), runs it, reads first, last, next or previous either
// straight from the dialect's fetch or through a row cache, keeps a copy of its last row (the saved record) and a
// record slot of its table, and reports every failure to its error holder, or, without one, as an ignored-error
// dump.
//
// Counted. It holds a reference on its error holder, the table's record description and column set, its statement,
// saved record, condition nodes, bindings and row cache; it does not count its table, which owns it.
#pragma once

#include <cstdint>

#include "engine/cache/position_links.h"
#include "engine/table/position_key.h"
#include "foundation/hash_table.h"
#include "foundation/ref_counted.h"
#include "foundation/t_string.h"
#include "sql/conditions/filter_holder.h"

class CColumn;
class CConnection;
class CErrorHolder;
class CFilterHolder;
class CHostValue;
class CKeyCondition;
class CKeyedRowView;
class CModuleError;
class CParameterBinding;
class CQueryDescription;
class CRecord;
class CRecordDescription;
class CRowCache;
class CSavedPosition;
class CSqlRewriter;
class CTable;
class CTableDescription;
class IHostFileDescription;

// Read directions.
inline constexpr std::uint32_t READ_FIRST = 0;
inline constexpr std::uint32_t READ_LAST = 1;
inline constexpr std::uint32_t READ_NEXT = 2;
inline constexpr std::uint32_t READ_PREVIOUS = 3;

// Statement state bits the dialect's cursor writes.
inline constexpr std::uint32_t CURSOR_STATE_PREPARED = 0x1;
inline constexpr std::uint32_t CURSOR_STATE_EXECUTED = 0x2;

// Flags of bPrepareAndExecute: the statement is prepared already.
inline constexpr std::uint32_t CURSOR_RUN_PREPARED = 0x2;

// Errors of the statement object and their identification points (unit 4).
inline constexpr std::uint32_t CURSOR_ERROR_NOT_BUILT = 2;        // a statement of kind 0 run
inline constexpr std::uint32_t CURSOR_ERROR_BAD_ARGUMENT = 4;     // an argument the operation cannot take
inline constexpr std::uint32_t CURSOR_ERROR_NO_SUCH_ITEM = 26;    // an item the statement's columns do not hold
inline constexpr std::uint32_t CURSOR_ERROR_SORT_ITEM = 6;        // a sort item the description does not know
inline constexpr std::uint32_t CURSOR_ERROR_NO_IMAGE = 7;         // no last-read image for a record WHERE
inline constexpr std::uint32_t CURSOR_ERROR_CACHED_ROW = 11;      // a cached row that cannot be read
inline constexpr std::uint32_t CURSOR_ERROR_NOT_FOUND = 13;       // a record not found again by its key
inline constexpr std::uint32_t CURSOR_ERROR_NO_SUB_QUERY = 41;    // a query that cannot be wrapped
inline constexpr std::uint32_t CURSOR_ERROR_OUTPUT_VALUE = 53;    // an output parameter's value that cannot be loaded
inline constexpr std::uint32_t CURSOR_MESSAGE_NOT_FOUND = 28591;  // debug message of error 13
inline constexpr std::uint32_t CURSOR_RECORDED_NOT_FOUND = 9;     // what the holder records for error 13
enum ECursorPoint : std::uint32_t {
  // A statement object lacking what an operation needs (its connection, statement, handle, a column asked for): the
  // guard answers the error of that state.
  CURSOR_POINT_MISSING_PART = 0,
  CURSOR_POINT_NO_IMAGE = 4,
  CURSOR_POINT_RUN = 5,
  CURSOR_POINT_NO_SUB_QUERY = 6,
  CURSOR_POINT_NOT_FOUND = 8,
  CURSOR_POINT_SORT_ITEM = 9,
  CURSOR_POINT_OUTPUT_VALUE = 10,
  CURSOR_POINT_CACHED_ROW = 11,
};

// Record slot states.
inline constexpr std::uint32_t SLOT_STATE_NONE = 0;
inline constexpr std::uint32_t SLOT_STATE_READ = 1;
inline constexpr std::uint32_t SLOT_STATE_PINNED = 2;
inline constexpr std::uint32_t SLOT_STATE_WRITTEN = 4;
inline constexpr std::uint32_t SLOT_NONE = 0xFFFFFFFF;

// ORDER BY completion mask bits.
inline constexpr std::uint32_t ORDER_COMPLETE_ASCENDING = 0x1;
inline constexpr std::uint32_t ORDER_COMPLETE_DESCENDING = 0x2;

// Builder flags.
inline constexpr std::uint32_t BUILD_DISTINCT = 0x800;
inline constexpr std::uint32_t BUILD_NO_SORT_ITEM = 0x20000;
inline constexpr std::uint32_t BUILD_NO_COMPLETION = 0x100000;
inline constexpr std::uint32_t WRITE_ALL_IDENTIFIERS = 0x100;
inline constexpr std::uint32_t WRITE_SECONDARY_IDENTIFIER = 0x200;
inline constexpr std::uint32_t WRITE_GIVEN_IDENTIFIER = 0x400;

// It speaks for itself to the saved positions it fills (IPositionOwner): they hold it counted.
class CCursor : public CRefCounted, public IPositionOwner {
 public:
  // The table's record description and column set are taken with a reference, the holder too.
  CCursor(CTable* table, CErrorHolder* holder);
  // Every member empty, for pClone.
  CCursor();
  ~CCursor() override;

  // ---- operations, in their order after the destructor and the release (the reserved slot 1 answers 0 in the
  // table of operations: the count's release takes its place here) ----
  virtual void FreeStatement();
  virtual int bClose();
  virtual int bOpen(std::uint32_t mode, std::uint32_t flags);
  virtual int bExecuteText(CSqlRewriter* statement, std::uint32_t mode, std::uint32_t flags);
  virtual int bPrepareAndExecute(std::uint32_t mode, std::uint32_t flags);
  virtual int bReadOutputParameters();
  virtual int bReadSingleValue(CHostValue* values, std::uint32_t flag, std::uint32_t flags);
  virtual int bReadScalar(CHostValue* value);
  virtual int bReadScalarValue(CHostValue* value, std::uint32_t flags);  // 0: not supported
  virtual int bRefreshBindings();
  virtual int bBindColumns();
  virtual int bBuildSelect(CSqlRewriter* statement, std::uint32_t flags, const char16_t* sortItem, int ascending,
                           CSqlRewriter* filter);
  virtual int bAppendConditions(CSqlRewriter* text);
  virtual int bBuildCreateTable(CSqlRewriter* statement);
  virtual int nReserved18();  // 0
  virtual int bBuildInsert(CSqlRewriter* statement, std::uint32_t flags);
  virtual int nReserved20();  // 0
  virtual int bBuildUpdate(CSqlRewriter* statement, std::uint32_t flags);
  virtual int nReserved22();  // 0
  virtual int bBuildDelete(CSqlRewriter* statement);
  // After a row was written through a cursor of the table (row: its row in the shared row source's cache, -1 when
  // none; source: that cursor; record: the updated or deleted record, null for the current one): kind 2 update,
  // 3 insert, 4 delete.
  virtual int NotifyRowChange(std::uint32_t kind, std::uint32_t row, CCursor* source, std::uint32_t flags,
                              CRecord* record);
  virtual int bOnRecordInserted(std::uint32_t kind, std::uint32_t flags);  // 1
  virtual int bStoreAutomaticIdentifier(CHostValue* value, std::uint32_t flags);
  virtual int bSetReadMode(std::uint32_t mode);
  virtual int bIsScrollable(std::uint32_t direction, std::uint32_t loadRecord, std::uint32_t count);  // 0
  virtual int bGetRecordCount(std::int64_t* count, std::uint32_t mode, std::uint32_t flags);
  virtual int bGetCachedRecordCount(std::int64_t* count, std::uint32_t flags, std::uint32_t strict);
  virtual int bReadMemoValue(const char16_t* item, CHostValue* target);
  virtual int bSaveMemoToFile(const char16_t* item, const char16_t* file);
  virtual int bSavePosition(CSavedPosition* position);
  virtual int bRestorePosition(CSavedPosition* position, std::uint32_t flags);
  virtual void ResetConditionNode();
  virtual CKeyCondition* pNewConditionNode(CErrorHolder* holder);
  virtual CFilterHolder* pNewFilterNode(CErrorHolder* holder);
  virtual int bUsesRowCache();  // 0
  virtual int bCopyFrom(CCursor* source, CHashTable& cloneMap);
  // A copy with no reference, or null.
  virtual CCursor* pClone(CHashTable& cloneMap);
  virtual int bDescribe(CRecordDescription* description);  // 1
  virtual int bPrepare(std::uint32_t mode, std::uint32_t flags);  // 1
  virtual int bExecute(std::uint32_t mode);  // 0
  // With flag 0, nothing; else the value of each result column, as last fetched, into values[i] in binding order.
  virtual int bGetColumnValue(CHostValue* values, std::uint32_t flag);
  // description: the query's declared parameters (IHostDeclaredParameters). The parameter's value as the server
  // handed it back, given to the parameter of its name; error 53 when the value cannot be loaded.
  virtual int bReadOutputParameter(void* description, CParameterBinding* parameter);
  virtual int bAppendColumnType(CColumn* column, CSqlRewriter* text);
  virtual int bAppendColumnConstraints(CColumn* column, CSqlRewriter* text);
  // The ORDER BY item of a column into the text; ascending flips when the column stands descending in the given
  // query's select list.
  virtual int AppendSelectColumn(CColumn* column, CSqlRewriter* text, int* ascending, CQueryDescription* query);
  virtual int bAppendReturningClause(std::uint32_t kind, std::uint32_t flags);
  virtual int bAppendColumnValue(CSqlRewriter* text, CColumn* column, std::uint32_t kind, std::uint32_t flags);
  virtual int bAddColumnBinding(void* entry, std::uint32_t index);
  virtual int bBindParameter(CParameterBinding* binding, std::uint32_t index);  // 1
  // count rows in the direction into the bound buffers; *outOfRange 1 when no row came. 0 in the base.
  virtual int bFetch(std::uint32_t direction, std::uint32_t loadRecord, std::uint32_t* outOfRange,
                     std::uint32_t count, void* context);
  // A fetch failed and the statement runs again at the next fetch, passing the rows fetched before: its rows stay
  // where they were, the place with them. 0 in the base.
  virtual int bResumesAfterFailedFetch() const;
  virtual int bBuildCountQuery(CSqlRewriter* statement, std::uint32_t flags, CSqlRewriter* filter);
  virtual int bDefineOutput();
  virtual int bDefineColumns();
  virtual int bOnPositionSaved(CSavedPosition* position);  // 1
  virtual int bGoToCachedRow(std::uint32_t row, CSavedPosition* position);
  virtual int bReadCachedRow(std::uint32_t row);
  virtual void EnableRowCache();  // nothing
  virtual int bAttachSharedRowSource();

  // ---- running and reading ----
  int bRun(std::uint32_t mode, int mergeTypes);
  int bRead(std::uint32_t direction, std::uint32_t loadRecord, std::uint32_t count, void* context);
  int bSetStatement(CSqlRewriter* statement);
  int bSetTextAndPrepare(CSqlRewriter* statement, std::uint32_t flags);
  int bBuildStatement(std::uint32_t kind, CSqlRewriter* statement, std::uint32_t flags);
  std::uint32_t nGetStatementKind() const;
  std::uint32_t bIsReversed() const;
  void GetOutOfRange(std::uint32_t* flag) const { *flag = m_bOutOfRange; }
  std::int32_t nGetCurrentRow() const { return m_nCurrentRow; }
  void SetCurrentRow(std::int32_t row) {
    m_nCurrentRow = row;
    m_bCurrentRowDeleted = 0;
  }
  int bBindParameters();
  int bAddParameterBinding(void* entry, std::uint32_t index);
  // A new row cache when there is none, made active (EnableRowCache when it holds no row); off: given back or
  // reset and made inactive.
  void AttachRowCache(int on);
  CKeyCondition* pGetConditionNode() const { return m_pConditionNode; }
  void SetConditionNode(CKeyCondition* node);
  CFilterHolder* pGetFilterNode() const { return m_pFilterNode; }
  void SetFilterNode(CFilterHolder* node);
  int bHasConditionNode() const;
  CRowCache* pGetRowCache() const { return m_pRowCache; }
  // The row cache once every row is in it: read on to the end when it is not complete yet; null when the rows could
  // not all be read (the error in the holder).
  CRowCache* pGetCompleteRowCache();
  int bHasCompleteRowCache() const;
  // Whether the cursor is reading its rows to their end to complete its row cache.
  int bIsCompletingRows() const { return m_bCompletingRows; }
  // The view of the table's shared row source this cursor reads through; null when none.
  CKeyedRowView* pGetSharedView() const { return m_pSharedView; }
  // Gives the view back, and the row cache with it when that is the view's: the shared row source is gone.
  void DropSharedView();
  // Leaves the view for the shared rows in the source's own order, standing on the row the view stands on: a seek
  // found its row by a key whose reads go in the query's order. 1 with no view.
  int bStandInSourceOrder();
  // Stands on the record among the shared rows, for a move from it.
  // Not required, a record that is not among the rows read in the query's own order leaves the cursor on none.
  int bPlaceOnRecord(CRecord* record, bool required = true);

  // ---- record slots ----
  int bSetRecordSlot(std::uint32_t state, std::uint32_t slot);
  int bTakeRecordSlot(std::uint32_t state);
  // Standing on a record, the cursor keeps it to find its place again by its key at its next move: the rows it
  // holds may show what the database no longer holds.
  void LeaveHeldRows();
  int bUpdateRecordSlot(std::uint32_t kind);
  std::uint32_t nGetRecordSlot() const { return m_nRecordSlot; }
  std::uint32_t nGetRecordSlotState() const { return m_nRecordSlotState; }

  // ---- the SQL texts (cursor_sql.cpp) ----
  int bBuildColumnDefinition(CColumn* column, CSqlRewriter* text);
  int bAppendFromWhere(std::uint32_t flags, const char16_t* sortItem, int ascending, CSqlRewriter* filter,
                       int withOrderBy);
  int bBuildSelectStatement(CQueryDescription* query, std::uint32_t flags, const char16_t* sortItem, int ascending,
                            CSqlRewriter* filter, int withOrderBy, int asSubQuery);
  int bRefusesFilter(CQueryDescription* query, CSqlRewriter* text, CSqlRewriter* filter, int asSubQuery);
  int bAppendOrderByFromText(const char16_t* tableName, CQueryDescription* query, std::uint32_t flags,
                             const char16_t* sortItem, int ascending);
  int bAppendOrderBy(CColumn* sortColumn, int ascending, CQueryDescription* query, std::uint32_t flags);
  int bIsDistinct(std::uint32_t flags);
  int bBuildDropTable(CSqlRewriter* statement);
  int bBuildStatementHead(CSqlRewriter* statement, std::uint32_t kind);
  int bQueryFileName(CTString& name);
  int bBuildWriteStatement(CSqlRewriter* statement, std::uint32_t kind, std::uint32_t flags);
  int bAppendColumnsAndValues(CSqlRewriter* values, CTString& names, std::uint32_t kind, std::uint32_t flags);
  int bIsColumnWritten(CColumn* column, std::uint32_t kind, std::uint32_t flags);
  int bBuildDeleteHead(CSqlRewriter* statement);
  int bAppendRecordWhere(CSqlRewriter* statement, int withKeyword);
  // The column whose last-read value names the record in a record WHERE: the ROWID key, else the identifying key;
  // null when the table has neither.
  CColumn* pGetIdentityColumn();
  int bAppendUniqueKeyWhere(CSqlRewriter* statement, int withKeyword);
  // Every "<type word>(<n>" of the text whose n passes the limit, replaced; 1 with the output written when one was.
  static int bReplaceOversizedType(CTString& output, const char16_t* text, const char16_t* typeWord,
                                   std::uint32_t limit, const char16_t* replacement);

  // ---- state read by the table and the tests ----
  CSqlRewriter* pGetStatement() const { return m_pStatement; }
  CTable* pGetTable() const { return m_pTable; }
  CTableDescription* pGetColumnSet() const { return m_pColumnSet; }
  // The table's columns as the record source of the context's reads (a reference taken): a context made before its
  // table had columns (a query's) takes them once the result is described.
  void SetColumnSet(CTableDescription* columns);
  CRecord* pGetSavedRecord() const { return m_pSavedRecord; }
  // The cursor stands on no record: the one it kept was not reached by its last read.
  void ForgetSavedRecord();
  CErrorHolder* pGetErrorHolder() const { return m_pErrorHolder; }
  const char16_t* pszGetSearchItem() const { return m_strSearchItem.pszGet(); }
  void SetSearchItem(const char16_t* name) { m_strSearchItem = name; }
  void SetRequestedSearchItem(const char16_t* name) { m_strRequestedSearchItem = name; }
  const char16_t* pszGetRequestedSearchItem() const { return m_strRequestedSearchItem.pszGet(); }
  std::uint32_t bIsOpen() const { return m_bOpen; }
  std::uint32_t bGetKeyStage() const { return m_bKeyStage; }
  std::uint32_t bGetRowValues() const { return m_bRowValues; }
  std::uint32_t bGetFromCache() const { return m_bFromCache; }
  std::uint32_t bGetFetched() const { return m_bFetched; }
  std::uint32_t nGetLastDirection() const { return m_nLastDirection; }
  std::uint32_t nGetDuplicateCount() const { return m_nDuplicateCount; }
  std::uint32_t nGetStatementState() const { return m_nStatementState; }
  void SetStatementState(std::uint32_t state) { m_nStatementState = state; }
  std::uint32_t nGetOrderCompletion() const { return m_nOrderCompletion; }
  void SetOrderCompletion(std::uint32_t mask) { m_nOrderCompletion = mask; }
  std::uint32_t nGetRowMark() const { return m_nRowMark; }
  void SetRowMark(std::uint32_t mark) { m_nRowMark = mark; }
  std::uint32_t bGetFirstRead() const { return m_bFirstRead; }
  std::uint32_t bIsContinuing() const { return m_bContinuing; }
  std::uint32_t nGetOpenFlags() const { return m_nOpenFlags; }
  void SetOpenFlags(std::uint32_t flags) { m_nOpenFlags = flags; }
  std::uint32_t nGetColumnBindingCount() const { return m_columnBindings.nGetCount(); }
  std::uint32_t nGetParameterBindingCount() const { return m_parameterBindings.nGetCount(); }
  // What the table's reads and writes decide on: the read mode the table set, whether the rows were read under the
  // filter the context holds now, and the failure mark a record not found again leaves (cleared by a restart).
  std::uint32_t nGetReadMode() const { return m_nReadMode; }
  int bConditionStillMatches() { return m_conditionRef.bMatches(m_pFilterNode); }
  std::uint32_t bIsMarkedFailed() const { return m_bNotFound; }
  // The last read failed on a row it fetched but could not convert, and the context stands on that row.
  std::uint32_t bStandsOnFailedRow() const { return m_bOnFailedRow; }
  void ClearFailureMark() { m_bNotFound = 0; }

  // ---- counts, positions in thousandths, the row cache completed, the record read again (cursor_positions.cpp) ----
  // The current row's place among the rows in thousandths, rounded up (1 for no row); 0 when the rows could not be
  // counted.
  int nGetPositionPerMille(std::uint32_t* result, const char16_t* context);
  // Reads on through the table to the end of the rows so that the row cache holds them all; the record slot and the
  // context's place are put back. 0 with the error of the read that failed.
  int bRefreshRowCache();
  // The record as last read, selected again by its key and read first.
  int bModifyRecord(std::uint32_t mode, std::uint32_t flags);
  // The current record read again from the server (under a lock) replaces the context's copies of its row: the
  // cached row it stands on and its saved record.
  int bTakeCurrentRecord();
  // Reads the row at perMille of the rows (at least the first) through the table on the search item; 0 when the
  // rows could not be counted or the read failed.
  int bGoToPerMille(std::uint32_t perMille, const char16_t* context, std::uint32_t flags);
  // One row read; with row values, the first min(count, columns) column values into values. *outOfRange: whether
  // no row came.
  int bReadNextValues(std::uint32_t direction, std::uint32_t* outOfRange, CHostValue* values, std::uint32_t count);
  // Every saved position on that row of the cache marked (its state 1), and the current row marked deleted when it
  // is that row.
  void MarkDeletedRow(std::uint32_t row);
  // The position kept with a reference under the table's identifier for it; 0 (out of memory) when it cannot be.
  int RegisterSavedPosition(CSavedPosition* position, std::uint32_t identifier);
  // The position of that identifier taken out and its reference given back; whether it was there.
  int bUnregisterSavedPosition(std::uint32_t identifier);
  const CPositionKey& GetPositionKey() const { return m_positionKey; }
  void SetPositionKey(const CPositionKey& key) { m_positionKey.Assign(key); }
  std::uint32_t bGetPositionKeyApplied() const { return m_bPositionKeyApplied; }
  std::uint32_t bIsCurrentRowDeleted() const { return m_bCurrentRowDeleted; }

  // ---- IPositionOwner ----
  void AddOwnerReference() override { AddRef(); }
  void ReleaseOwnerReference() override { nRelease(); }
  IPositionTable* pGetOwnerTable() override;
  IPositionOwner* pCloneThroughMap(CHashTable& cloneMap) override;

  // Error 13 (the record was not found again by its key): the not-found and out-of-range flags set, the holder's
  // number 9; 0.
  int bRaiseRecordNotFound();

  // After a statement failed: its text goes with the held error as debug text. Which error category the failure
  // falls in is for the table to decide.
  void ReportStatementError();

 protected:
  CConnection* pGetConnection() const;
  // Raises an error of this module with the table's name as file, first message insert and the search item as item;
  // 0.
  int bRaise(std::uint32_t errorCode, std::uint32_t point, std::uint32_t recordedCode = 0,
             std::uint32_t debugMessage = 0);
  // An error of that code made by the caller, completed with the table's name, the search item and the point, and
  // reported as bRaise reports; 0.
  int bReport(CModuleError& error, std::uint32_t errorCode, std::uint32_t point, std::uint32_t recordedCode = 0);
  int bOutOfMemory();
  // The direct path and the continuation read.
  int bReadDirect(std::uint32_t direction, std::uint32_t loadRecord, std::uint32_t count, void* context,
                  std::uint32_t* outOfRange);
  int bContinueRead(std::uint32_t direction, std::uint32_t loadRecord, std::uint32_t count, std::uint32_t* outOfRange);
  // viewDuplicate: with a shared row view, how many rows of the same key stand before the row reached in the view.
  int bReadThroughCache(std::uint32_t direction, std::uint32_t loadRecord, std::uint32_t count, void* context,
                        std::uint32_t* outOfRange, std::uint32_t* viewDuplicate);
  // The row cache (cursor_row_cache.cpp).
  int bRowCacheActive() const;
  int bRowCacheComplete() const;
  void ReadLastCachedRowIntoSavedRecord();
  // The cached row reached by a move into the record; a row fetched but not converted fails the read and leaves
  // the context on it.
  int bReadReachedRow(std::uint32_t row);
  // A row fetched but not converted that a move only passed: its error goes again when the holder had none before
  // the move (the move answers for the row it reaches, not for those it passed).
  bool bHolderClean() const;
  void ForgetPassedRowError(bool holderWasClean);
  // Stores the column set's current record in the cache at the row; 0 with the out-of-memory error when the cache
  // could not grow.
  int bStoreFetchedRow(std::uint32_t row);
  void ForgetSavedPositions();
  void ReleaseCachedState();
  int bCopyCachedState(CCursor* source, CHashTable& cloneMap);
  // The statement's kind word set directly (the statement maps query kinds).
  static void SetStatementKindWord(CSqlRewriter* statement, std::uint32_t kind);
  int bEnsureSavedRecord();
  // Whether the search item's value of the current record equals that of the saved record.
  int bSameSearchKeyAsSaved();
  // Before a move next or previous on a context of a query whose rows are shared: the shared row view is put back on
  // the saved record's row, or the source cursor's current row found again in its cache by the saved record's key
  // (error 13 when it is not there). 0 when that failed.
  int bResyncSharedRows();
  // Before a first or last read of a context that is not open: it reads the shared rows through a view of its own.
  int bOpenSharedView();
  void ReleaseColumnBindings();
  void ReleaseParameterBindings();
  // A new statement of the table with a reference; null (the error recorded) when none.
  CSqlRewriter* pNewTableStatement();
  // The position's record read again from its record slot, which the context takes pinned; on failure the context
  // keeps its slot and state.
  int bFindAgainBySlot(CSavedPosition* position, std::uint32_t slot);
  // The column of a host item name in the column set, null when none.
  CColumn* pFindColumn(const char16_t* name) const;
  // pFindColumn of the search item, answered from the last one found while that column still stands at its place
  // in the column set under the search item's very text.
  CColumn* pFindSearchColumn();

  // ---- members, in order ----
  CErrorHolder* m_pErrorHolder = nullptr;
  CRefCounted* m_pAuxiliary = nullptr;
  std::uint32_t m_nOrderCompletion = ORDER_COMPLETE_ASCENDING | ORDER_COMPLETE_DESCENDING;
  CTable* m_pTable = nullptr;
  IHostFileDescription* m_pRecordDescription = nullptr;
  CTString m_strSearchItem;
  CTString m_strRequestedSearchItem;
  std::uint32_t m_bBound = 0;
  std::uint32_t m_nBoundCompanion = 0;
  std::uint32_t m_nStatementState = 0;
  CSqlRewriter* m_pStatement = nullptr;
  CTableDescription* m_pColumnSet = nullptr;
  CRecord* m_pSavedRecord = nullptr;
  // From the read mode through the last direction, copied together.
  std::uint32_t m_nReadMode = 1;
  std::uint32_t m_bOutOfRange = 1;
  std::uint32_t m_bKeyStage = 0;
  std::uint32_t m_bRowValues = 0;
  std::uint32_t m_bOpen = 0;
  std::uint32_t m_bNotFound = 0;
  std::uint32_t m_nLastDirection = 0;
  std::int32_t m_nCurrentRow = -1;
  // From the record slot through the current-row-deleted flag, copied together.
  std::uint32_t m_nRecordSlot = SLOT_NONE;
  std::uint32_t m_nRecordSlotState = SLOT_STATE_NONE;
  std::uint32_t m_nRowMark = 0xFFFFFFFF;
  std::uint32_t m_bFirstRead = 1;
  std::uint32_t m_bContinuing = 0;
  std::uint32_t m_nContinuationRowCount = 0;
  std::uint32_t m_nDuplicateCount = 0;
  std::uint32_t m_bCurrentRowDeleted = 0;
  CRefCounted* m_pConditionContext = nullptr;
  std::uint32_t m_nOpenFlags = 0;
  std::uint32_t m_bFromCache = 0;
  std::uint32_t m_bFetched = 0;
  // During one read: the statement moved onto a row whose values could not all be converted (set by the bindings'
  // refresh), and the read that failed on such a row left the context standing on it.
  std::uint32_t m_bRowUnconverted = 0;
  std::uint32_t m_bOnFailedRow = 0;
  CRefPtrArray m_columnBindings{50};     // CParameterBinding
  CRefPtrArray m_parameterBindings{50};  // CParameterBinding
  CFilterHolder* m_pFilterNode = nullptr;
  CConditionRef m_conditionRef;
  CKeyCondition* m_pConditionNode = nullptr;
  std::uint32_t m_bPositionKeyApplied = 0;
  std::uint32_t m_bCompletingRows = 0;
  CHashTable m_savedPositions;  // CSavedPosition by identifier
  CRowCache* m_pRowCache = nullptr;
  CKeyedRowView* m_pSharedView = nullptr;
  CPositionKey m_positionKey;
  // The search item's column as last found, with its place in the column set: a read compares the search key with
  // the saved record's on every row, and the locale's name compare over the columns costs more than the rest.
  CColumn* m_pSearchColumn = nullptr;
  std::uint32_t m_nSearchColumnIndex = 0;
};
