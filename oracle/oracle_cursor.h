// The Oracle statement objects: CCursorOra (the Oracle layer's middle class: a simple-read switch handed to every
// execution, and the record-lock statement its final class builds) and COracleCursor (the final class the driver
// object's cursor factory makes). The generic CCursor decides which text is built and when it runs; COracleCursor
// owns the client's statement handle and prepares, describes, executes and fetches through the call wrappers, adds
// the texts only Oracle takes (EMPTY_CLOB()/EMPTY_BLOB(), RETURNING ... INTO, FOR UPDATE NOWAIT), sends and reads
// LONG values piece by piece and writes LOB values through their locators after the execution.
//
// The statement handle is the cursor's own (freed with it, never copied); a REF CURSOR taken over from a parameter
// becomes its own for good.
#pragma once

#include <cstdint>
#include <string>

#include "engine/table/cursor.h"
#include "oracle/oracle_binding.h"

class COracleConnection;

// The messages a failing statement leaves: the statement with its parameters, and a REF CURSOR that could not be
// described.
inline constexpr std::uint32_t MESSAGE_STATEMENT_FAILED = 28566;
inline constexpr std::uint32_t MESSAGE_CURSOR_DESCRIBE_FAILED = 7148;
// The point of error 1047 (a Unicode column with a client older than 9) raised while a write's text is built.
inline constexpr std::uint32_t CURSOR_POINT_UNICODE_CLIENT = 3;
// LONG values come and go in pieces of this many bytes.
inline constexpr std::uint32_t LONG_PIECE_BYTES = 16384;
// The point of error 56 (value too long) raised when the client reports a LONG piece longer than its room.
inline constexpr std::uint32_t CURSOR_POINT_LONG_PIECE = 4;

class CCursorOra : public CCursor {
 public:
  CCursorOra(CTable* table, CErrorHolder* holder) : CCursor(table, holder) {}
  CCursorOra() = default;

  // The first value of the first row.
  int bReadScalar(CHostValue* value) override;
  // The generic read mode; read modes 0 and 1 are simple reads for the client.
  int bSetReadMode(std::uint32_t mode) override;
  // Oracle statements read through a row cache.
  int bUsesRowCache() override { return 1; }
  int bCopyFrom(CCursor* source, CHashTable& cloneMap) override;

  // ---- added ----
  // The SELECT of the current record (by its last-read image) with " FOR UPDATE NOWAIT" built into the statement,
  // which becomes the cursor's.
  virtual int bLockRecord(CSqlRewriter* statement, std::uint32_t lockMode) = 0;

  void SetSimpleReadMode(std::uint32_t on) { m_nSimpleReadMode = on; }
  std::uint32_t nGetSimpleReadMode() const { return m_nSimpleReadMode; }
  // On for the table's own UPDATE and DELETE of its current record: a run that touched no row fails with error 13,
  // as a record not found again. A statement given as text keeps whatever row count it has.
  void RequireRowTouched(std::uint32_t on) { m_nRowRequired = on; }

 protected:
  std::uint32_t m_nSimpleReadMode = 1;
  std::uint32_t m_nRowRequired = 0;
};

class COracleCursor final : public CCursorOra, public IOracleStatementHandle {
 public:
  COracleCursor(CTable* table, CErrorHolder* holder) : CCursorOra(table, holder) {}
  COracleCursor() = default;
  // The bindings go first (their defines and binds belong to the handle), then the handle.
  ~COracleCursor() override;

  int bReadMemoValue(const char16_t* item, CHostValue* target) override;
  // Not supported here (0): the table saves memo values through its columns.
  int bSaveMemoToFile(const char16_t* item, const char16_t* file) override;
  CKeyCondition* pNewConditionNode(CErrorHolder* holder) override;
  CFilterHolder* pNewFilterNode(CErrorHolder* holder) override;
  CCursor* pClone(CHashTable& cloneMap) override;
  int bDescribe(CRecordDescription* description) override;
  int bPrepare(std::uint32_t mode, std::uint32_t flags) override;
  int bExecute(std::uint32_t mode) override;
  int bReadOutputParameter(void* description, CParameterBinding* parameter) override;
  int bAppendReturningClause(std::uint32_t kind, std::uint32_t flags) override;
  int bAppendColumnValue(CSqlRewriter* text, CColumn* column, std::uint32_t kind, std::uint32_t flags) override;
  int bAddColumnBinding(void* entry, std::uint32_t index) override;
  int bBindParameter(CParameterBinding* binding, std::uint32_t index) override;
  int bResumesAfterFailedFetch() const override { return bRunsAgain(); }
  int bFetch(std::uint32_t direction, std::uint32_t loadRecord, std::uint32_t* outOfRange, std::uint32_t count,
             void* context) override;
  void EnableRowCache() override;
  int bLockRecord(CSqlRewriter* statement, std::uint32_t lockMode) override;

  // ---- added ----
  // Locks the current record: its lock statement is built anew for the record current now, prepared and run. The
  // table calls it at every lock: a statement kept from an earlier lock would lock that earlier record again.
  // readRow: the locked row is fetched into the current record (the row as it stands once locked, which another
  // session may have changed since the record was read); no row (deleted since) fails the lock with error 13.
  int bRunRecordLock(std::uint32_t lockMode, bool readRow);
  // The SELECT of every row with " FOR UPDATE NOWAIT" (a whole table's row-share lock) into the statement.
  int AppendForUpdate(CSqlRewriter* statement);
  // The SELECT of the current record's memo columns (the table's LOB data source) into the statement; the statement
  // stays empty when the table has no memo column.
  int bAppendSelectFrom(CSqlRewriter* statement);
  // The parameters' values as a failing execution reports them; empty without parameters.
  std::u16string DumpBinds();
  // Set by the table when a read through this cursor failed for memory (the client's statement may have gone past
  // the row the cursor stood on without the row being taken), and on a copy of a cursor whose statement was open
  // (the copy has no statement of its own yet): the cursor's place is no longer where it reads on from. The
  // table's next move finds that row again by its key first.
  void SetPlaceLost(bool lost) { m_bPlaceLost = lost; }
  bool bIsPlaceLost() const { return m_bPlaceLost; }
  // A copy that reads on from its statement run again (see m_bRunAgain), its place kept by the rows it passes.
  bool bRunsAgain() const { return m_bRunAgain && !m_pHandle; }
  // The last UPDATE or INSERT ran on the server and failed after it (its LOBs, its outputs): the row holds part of
  // the write. One the server refused left nothing of itself.
  bool bWrotePart() const { return m_bWrotePart; }

  // ---- IOracleStatementHandle ----
  void* pGetOciStatement() override { return m_pHandle; }
  COracleConnection* pGetOciConnection() override;

 private:
  // The lock statement's select list over a query's one file: the query's items that are that file's columns, so
  // that the locked row reaches the record; "*" when none is.
  int bAppendFileColumns(CSqlRewriter* statement);
  // The statement's parameters bound at the places its text numbers them.
  int bBindStatementParameters();
  int bDescribeCursor(CRecordDescription* description);
  // The statement is a block whose rows come from a cursor it opens: bDescribeCursor made it a query when it took
  // the cursor over (no SELECT text has a cursor parameter), or a run of it again has not taken its new cursor yet.
  bool bReadsCursorParameter();
  // The cursor a cursor parameter opened becomes the statement the rows are read from.
  void TakeCursorOf(COracleParameter* parameter);
  int bSendPieces(std::uint32_t kind);
  int bReadLongPieces();
  // The bytes of a piecewise column: the one whose define handle the client named, else the index-th of them.
  int bStorePiece(void* define, std::uint32_t index, const char* bytes, std::uint64_t length);
  // Every named output received in pieces takes its last piece, whose length the client gives only once the
  // statement has run: whoever reads the value then (the table, a bind dump) reads it whole.
  int bCompleteOutputs();
  // Under RequireRowTouched: 1 when the UPDATE or DELETE just run touched a row, else error 13 and 0.
  int bCheckRowTouched(COracleConnection* connection, std::uint32_t kind);
  int bWriteLobs();
  int bIsRemoteTable();
  int bHasRowIdKey();
  // The statement's message of a failing execution: the statement with its parameters.
  void AddStatementMessage();
  void FreeHandle();
  // A copy of an open statement runs it again on a handle of its own and passes the rows the source had fetched;
  // `ended` tells that the rows ran out before them. A failure leaves the copy to run again at its next fetch.
  int bRunAgainPastFetched(std::uint32_t* ended);
  int bRunPassing(std::uint32_t passed, std::uint32_t* ended);

  void* m_pHandle = nullptr;
  bool m_bPlaceLost = false;
  // Rows fetched since the statement last ran: what a copy of this cursor passes when it runs the statement again.
  std::uint32_t m_nRowsFetched = 0;
  // Set on a copy of a cursor whose statement was open: the copy has the statement's text and the rows it fetched,
  // not its handle, and runs the statement again at its first fetch.
  bool m_bRunAgain = false;
  bool m_bWrotePart = false;
  // The statement was prepared again as the block that opens its rows' cursor: once it has run, the cursor it
  // opened is taken over, as the describe took the first one.
  bool m_bTakeCursorOnRun = false;
};
