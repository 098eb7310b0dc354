// COracleTable's operations: the session each runs on (the lock session while the connection has a transaction
// open, else the main session), the add inside a nested level under a ROW SHARE lock, record locks on the lock
// session, the recovery of a read refused as fetched out of sequence, and the refusal of reads on a table that was
// never opened.
#include <cstdint>
#include <new>

#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/record.h"
#include "engine/record/table_description.h"
#include "engine/table/cursor.h"
#include "foundation/error_holder.h"
#include "foundation/x_error.h"
#include "host/host_value.h"
#include "oracle/client/client_loader.h"
#include "oracle/oracle_connection.h"
#include "oracle/oracle_cursor.h"
#include "oracle/oracle_table.h"
#include "foundation/module_errors.h"
#include "sql/rewriter/sql_rewriter.h"
#include "sql/transaction.h"

namespace {

// ORA-01002: a fetch out of sequence (the cursor was closed under the read, by a commit of its transaction).
constexpr std::uint32_t ORA_FETCH_OUT_OF_SEQUENCE = 1002;
constexpr std::uint32_t READ_ABSOLUTE_DIRECTION = 4;

}  // namespace

COracleTable::COracleTable(IHostFileDescription* recordDescription, CConnection* connection,
                           CErrorHolder* errorHolder)
    : CTableOra(recordDescription, connection, errorHolder) {}

COracleTable::COracleTable() = default;

COracleTable::~COracleTable() {
  if (m_pLobSource) m_pLobSource->nRelease();
  m_pLobSource = nullptr;
}

// ---- sessions ----

void COracleTable::ChooseSession() {
  COracleConnection* connection = pGetOracleConnection();
  if (!connection) return;
  if (connection->bIsTransactionOpen()) {
    connection->SelectLockSession(m_pErrorHolder);
  } else {
    connection->RestoreMainSession(m_pErrorHolder);
  }
}

void COracleTable::RestoreMainSession() {
  if (COracleConnection* connection = pGetOracleConnection()) connection->RestoreMainSession(m_pErrorHolder);
}

int COracleTable::bRefuseUnopened() { return m_bOpen || bIsQueryMode() ? 1 : bCheckAvailable(0); }

// ---- adding ----

int COracleTable::bAddRecord(std::uint32_t flags, std::uint32_t mode) {
  COracleConnection* connection = pGetOracleConnection();
  // The rows of a query given as SQL text take no add: it is refused before anything of the query is locked.
  if (!connection || bIsSqlQuery()) return CTableOra::bAddRecord(flags, mode);
  bool nested = false;
  int added = 1;
  if (!connection->bIsTransactionOpen()) {
    connection->bSelectLockSession(m_pErrorHolder);
    nested = connection->bBeginNestedTransaction(m_pErrorHolder, nullptr, 0) != 0;
    // An add outside any transaction would stay pending on the session, never committed: without its level it is
    // not run.
    added = nested ? bLockRowShare() : 0;
  }
  if (added) added = CTableOra::bAddRecord(flags, mode);
  if (nested) {
    // A rollback's own failure must not hide why the add failed.
    const int ended = added ? connection->bCommitNestedTransaction(m_pErrorHolder, nullptr, 0)
                            : connection->bRollbackNestedTransaction(nullptr, nullptr, 0);
    if (ended) m_nLockState = TABLE_LOCK_NONE;
    // A level that could not be committed was rolled back: nothing was added.
    if (!ended) added = 0;
    RestoreMainSession();
  }
  if (added && gbOci7Mode) PositionOnAddedRecord();
  return added;
}

void COracleTable::PositionOnAddedRecord() {
  CColumnDescriptor* key = pGetIdentifyingItem();
  CColumn* column = key && m_pTableDescription ? m_pTableDescription->pFindColumn(key) : nullptr;
  if (!column) return;
  CCursor* context = pNewContext();
  CSqlRewriter* statement = pNewSqlStatement();
  if (context) context->AddRef();
  if (statement) statement->AddRef();
  // The row was read back only to be positioned on: the add stands whatever this answers.
  if (context && statement && context->bBuildSelect(statement, 0, nullptr, 1, nullptr)) {
    bPositionOnIdentifyingKey(context, column, 0, READ_ABSOLUTE_DIRECTION, 0);
  }
  if (statement) statement->nRelease();
  if (context) context->nRelease();
}

int COracleTable::bLockRowShare() {
  COracleConnection* connection = pGetOracleConnection();
  if (!connection) return 0;
  connection->SelectLockSession(m_pErrorHolder);
  int locked = 0;
  if (!bIsQueryMode()) {
    // The suffix stands without a blank of its own: "... IN ROW SHARE MODE NOWAIT".
    locked = connection->bLockTableMode(m_pErrorHolder, pszGetSqlName(), u"ROW SHARE", u"NOWAIT");
  } else if (bIsSqlQuery()) {
    locked = connection->bLockRows(m_pErrorHolder, reinterpret_cast<std::uintptr_t>(pGetQueryDescription()));
  } else {
    auto* context = dynamic_cast<COracleCursor*>(pGetDefaultContext());
    CSqlRewriter* statement = context ? pNewSqlStatement() : nullptr;
    if (statement) {
      statement->AddRef();
      locked = context->AppendForUpdate(statement) && context->bSetTextAndPrepare(statement, 0) &&
               context->bRun(0, 0);
      statement->nRelease();
    }
  }
  if (locked) m_nLockState = TABLE_LOCK_ROW_SHARE;
  return locked;
}

// ---- writing ----

int COracleTable::bModifyRecord(RuntimeWord key, std::uint32_t mode, RuntimeWord argument) {
  ChooseSession();
  const std::uint32_t lock = nFindLockRow();
  const int modified = CTableOra::bModifyRecord(key, mode, argument);
  // The record read again for the change may hold other values than when it was locked.
  if (modified) RekeyLock(lock);
  return modified;
}

int COracleTable::bDoModifyRecord(RuntimeWord key, std::uint32_t mode) {
  if (!bCheckAvailable(key)) return 0;
  return CTableOra::bDoModifyRecord(key, mode);
}

int COracleTable::bExecuteModification(CCursor* context, std::uint32_t kind, std::uint32_t flags,
                                       RuntimeWord argument) {
  if (kind != SQL_STATEMENT_UPDATE && kind != SQL_STATEMENT_INSERT && kind != SQL_STATEMENT_DELETE) {
    return CTableOra::bExecuteModification(context, kind, flags, argument);
  }
  COracleConnection* connection = pGetOracleConnection();
  // Outside the connection's transaction, the work under a record's lock goes into the lock's own transaction,
  // attached for the statement alone: its release commits or rolls back that work and nothing else.
  CTransaction* lock = connection && !connection->bIsTransactionOpen() ? pCurrentLockTransaction() : nullptr;
  int done = 1;
  if (lock) done = lock->bResume(m_pErrorHolder);
  if (connection) connection->SelectLockSession(m_pErrorHolder);
  auto* statement = dynamic_cast<CCursorOra*>(context);
  if (statement) statement->RequireRowTouched(kind != SQL_STATEMENT_INSERT);
  if (done) done = CTableOra::bExecuteModification(context, kind, flags, argument);
  if (statement) statement->RequireRowTouched(0);
  RestoreMainSession();
  // Found by the key as read: once renamed for a changed key, the lock is found by that key no more until the
  // record's image takes the written values.
  const std::uint32_t row = nFindLockRow();
  if (done && kind == SQL_STATEMENT_UPDATE) {
    KeepWrittenRecord(row);
    RekeyLock(row);
  }
  bool attached = false;
  if (lock) {
    // Left attached, the lock's transaction would take the session's next work and end with its next commit.
    attached = !lock->bDetach(done ? m_pErrorHolder : nullptr);
    if (attached) done = 0;
    lock->nRelease();
  }
  // The server undoes a statement it refused, and only that statement: the lock's earlier writes stay to be
  // committed. A write that failed after it ran has left part of itself in the row.
  auto* oracle = dynamic_cast<COracleCursor*>(context);
  if (kind != SQL_STATEMENT_DELETE && (done || (oracle && oracle->bWrotePart()))) NoteWriteUnderLock(row, !done);
  // A branch that would not leave at all is rolled back now, with its lock: the session's next statement would
  // commit a write answered as failed.
  if (attached) DropCurrentLock();
  // No row to write: another session deleted it before the lock, which then locked nothing and goes.
  if (!done && kind != SQL_STATEMENT_INSERT && m_pErrorHolder &&
      m_pErrorHolder->nGetErrorCode() == CURSOR_ERROR_NOT_FOUND) {
    DropCurrentLock();
  }
  return done;
}

int COracleTable::bOpenWithLocks(CCursor* context, std::uint32_t mode) {
  CTransaction* transaction = nullptr;
  if (!bTakeLocks(&transaction)) return 0;
  COracleConnection* connection = pGetOracleConnection();
  int ready = 1;
  if (connection && transaction) {
    ready = connection->bSelectLockSession(m_pErrorHolder);
  } else if (connection) {
    connection->SelectLockSession(m_pErrorHolder);
  }
  const int locked = ready && bOpenLockList(context, mode, transaction);
  if (transaction) transaction->nRelease();
  RestoreMainSession();
  return locked;
}

// ---- reading ----

int COracleTable::bRead(const char16_t* keyName, std::uint32_t direction, std::uint32_t a, std::uint32_t lockMode,
                        RuntimeWord lockAnswer, std::uint32_t flags) {
  if (!bRefuseUnopened()) return 0;
  ChooseSession();
  int answer = -1;
  // The context is found once for the read; a read that makes it finds it again afterwards.
  COracleCursor* found = pFindOracleContext(keyName);
  COracleCursor* context = direction == READ_NEXT || direction == READ_PREVIOUS ? found : nullptr;
  // After a read through another key a move goes on from the current record, not from this context's own place:
  // the table finds that record again in this key's order, as it does for the source of a copy.
  CCursor* current = pGetCurrentContext();
  if (context && current && current != context && !pGetSharedRowSource() && !bIsSqlQuery()) context = nullptr;
  // A copy of a query given as text reads on from its statement run again: a seek on such a query may be refused,
  // and the rows it passes are the place it stood.
  // A context holding a pinned record (run off an end from it, or placed on it) goes back from that record, not from
  // the one last read or added.
  CRecord* place = context && context->bIsPlaceLost() && !context->bRunsAgain() &&
                           !(context->nGetRecordSlotState() == SLOT_STATE_PINNED && context->nGetRecordSlot() != SLOT_NONE)
                       ? pLostPlaceRecord(context)
                       : nullptr;
  if (place) {
    // The read before failed for memory, maybe with the client's statement moved past the row the context stood
    // on, or the context is a copy without a statement: the context reads on from the row it stood on, found
    // again by its key value.
    CColumn* key = m_pTableDescription->pFindColumnByName(context->pszGetSearchItem());
    CHostValue value;
    if (key) place->GetFieldValue(value, key->pGetDescriptorNoRef());
    // No key, no value or no record holding it any more: the context reads on as it stands.
    if (key && value.nGetType() != 0 && !value.bIsNull() && key->bIsUniqueKey()) {
      answer = nReadOnFromValue(keyName, value, direction, a, lockMode, lockAnswer, flags,
                                flags & READ_FLAG_NO_CACHE);
    } else if (key && place == context->pGetSavedRecord()) {
      // A value that other records share (or a NULL, which no seek finds) does not tell which of them the context
      // stood on: the whole record does, its duplicates ordered by the key that identifies them. The context keeps
      // it as the place its move starts from.
      context->bSetRecordSlot(SLOT_STATE_NONE, SLOT_NONE);
      if (!context->bTakeRecordSlot(SLOT_STATE_PINNED)) answer = 0;
    }
  }
  if (answer < 0) answer = CTableOra::bRead(keyName, direction, a, lockMode, lockAnswer, flags);
  // First and last start the rows again: what they were refused stands as it is.
  if (!answer && direction != READ_FIRST && direction != READ_LAST && m_pErrorHolder &&
      m_pErrorHolder->nGetNativeErrorCode() == ORA_FETCH_OUT_OF_SEQUENCE) {
    answer = bRecoverOutOfSequence(keyName, direction, a, lockMode, lockAnswer, flags);
  }
  NoteReadOutcome(found ? found : pFindOracleContext(keyName), answer);
  return answer;
}

CRecord* COracleTable::pLostPlaceRecord(CCursor* context) {
  if (!m_pTableDescription) return nullptr;
  // Each context keeps the record it stood on; the table's last-read image is the record of whichever context
  // read last, which another context of a copied table may not be.
  CRecord* own = context->pGetSavedRecord();
  if (own && own->pGetBuffer()) return own;
  return m_pTableDescription->pGetImageRecord();
}

COracleCursor* COracleTable::pFindOracleContext(const char16_t* name) {
  // Every context of an Oracle table is one of its cursors: made by pNewContext, or cloned from one.
  return static_cast<COracleCursor*>(pFindContext(name));
}

void COracleTable::NoteReadOutcome(COracleCursor* context, int answer) {
  if (!context) return;
  if (answer) {
    context->SetPlaceLost(false);
    return;
  }
  if (!m_pErrorHolder || !bFailedForMemory(m_pErrorHolder->pGetEmbeddedObject())) return;
  // The fetch may have written part of the next row into the current record before memory ran out: the record
  // goes back to the one last read, so that a write or a deletion that follows reaches that record with its own
  // values. Its copy of a large value may need memory too; the key and the other fields come back first.
  CopyImageToCurrent();
  context->SetPlaceLost(true);
}

int COracleTable::nReadOnFromValue(const char16_t* keyName, CHostValue& value, std::uint32_t direction,
                                   std::uint32_t a, std::uint32_t lockMode, RuntimeWord lockAnswer,
                                   std::uint32_t flags, std::uint32_t seekFlags) {
  CCursor* context = pFindContext(keyName);
  if (!context) return -1;
  const std::uint32_t forward = direction == READ_PREVIOUS ? 0 : 1;
  if (!CTableOra::bSeek(keyName, keyName, reinterpret_cast<RuntimeWord>(&value), 1, a, RECORD_LOCK_RELEASE, 0,
                        forward, seekFlags)) {
    return 0;
  }
  std::uint32_t outOfRange = 1;
  context->GetOutOfRange(&outOfRange);
  if (outOfRange) return -1;
  // The record that held the value is gone (deleted since): the seek stands on the one after it (before it, for a
  // previous read), which is where the move goes. Read on from there, the move would pass over that record.
  CColumn* key = m_pTableDescription ? m_pTableDescription->pFindColumnByName(context->pszGetSearchItem()) : nullptr;
  CHostValue found;
  std::int32_t equal = 1;
  if (key && key->bGetValue(found, 0) && found.nEquals(value, &equal) == HOST_OK && !equal) return 1;
  return CTableOra::bRead(keyName, direction, a, lockMode, lockAnswer, flags);
}

int COracleTable::bRecoverOutOfSequence(const char16_t* keyName, std::uint32_t direction, std::uint32_t a,
                                        std::uint32_t lockMode, RuntimeWord lockAnswer, std::uint32_t flags) {
  CCursor* context = pFindContext(keyName);
  if (context && context->bResumesAfterFailedFetch()) {
    // Rows found again by running the statement again, not by a key: the read is simply made again.
    const int answer = CTableOra::bRead(keyName, direction, a, lockMode, lockAnswer, flags);
    if (answer && m_pErrorHolder) m_pErrorHolder->Clear();
    return answer;
  }
  CColumn* key = context && m_pTableDescription ? m_pTableDescription->pFindColumnByName(context->pszGetSearchItem())
                                                : nullptr;
  if (!key) return 0;
  // The failed read left the current record as it was: the context finds it again by its key value (seeking
  // forward for a next read, backward for a previous one) and reads on from it in the same direction. Found again
  // by the table's absolute positioning instead, the context stood before the record and "next" gave the record
  // itself once more.
  CHostValue value;
  if (!key->bGetValue(value, 0)) return 0;
  int answer = nReadOnFromValue(keyName, value, direction, a, lockMode, lockAnswer, flags, 0);
  if (answer < 0) answer = 0;
  // The refused fetch was overcome: it is no failure of the read.
  if (answer && m_pErrorHolder) m_pErrorHolder->Clear();
  return answer;
}

int COracleTable::bReadInContext(const char16_t* name, std::uint32_t direction, RuntimeWord count, std::uint32_t a,
                                 std::uint32_t lockMode, RuntimeWord lockAnswer, std::uint32_t flags) {
  if (!bRefuseUnopened()) return 0;
  // Every read inside a transaction runs where the transaction's rows are: on the lock session.
  ChooseSession();
  return CTableOra::bReadInContext(name, direction, count, a, lockMode, lockAnswer, flags);
}

int COracleTable::bSeek(const char16_t* keyName, const char16_t* valueKey, RuntimeWord value, std::uint32_t exact,
                        std::uint32_t a, std::uint32_t lockMode, RuntimeWord lockAnswer, std::uint32_t forward,
                        std::uint32_t flags) {
  if (!bRefuseUnopened()) return 0;
  return CTableOra::bSeek(keyName, valueKey, value, exact, a, lockMode, lockAnswer, forward, flags);
}

int COracleTable::bSeekOnKey(const char16_t* keyName, RuntimeWord value, std::uint32_t exact, std::uint32_t a,
                             std::uint32_t lockMode, RuntimeWord lockAnswer, std::uint32_t forward,
                             std::uint32_t flags) {
  if (!bRefuseUnopened()) return 0;
  ChooseSession();
  return CTableOra::bSeekOnKey(keyName, value, exact, a, lockMode, lockAnswer, forward, flags);
}

int COracleTable::bCountRecords(std::int64_t* count, std::uint32_t flags, std::uint32_t flags2, CCursor* context,
                                std::int32_t mode) {
  if (!bRefuseUnopened()) return 0;
  ChooseSession();
  return CTableOra::bCountRecords(count, flags, flags2, context, mode);
}

int COracleTable::bCountCurrentContext(RuntimeWord value, std::uint32_t a, std::uint32_t b) {
  if (!bRefuseUnopened()) return 0;
  ChooseSession();
  return CTableOra::bCountCurrentContext(value, a, b);
}

int COracleTable::bGoToRecord(const char16_t* context, RuntimeWord a, std::uint32_t b, RuntimeWord c,
                              std::uint32_t d, RuntimeWord sqlQuery) {
  if (!bRefuseUnopened()) return 0;
  ChooseSession();
  return CTableOra::bGoToRecord(context, a, b, c, d, sqlQuery);
}

int COracleTable::bRecallPosition(std::uint32_t identifier, RuntimeWord contextName, std::uint32_t keep,
                                  std::uint32_t flags) {
  if (!bRefuseUnopened()) return 0;
  ChooseSession();
  return CTableOra::bRecallPosition(identifier, contextName, keep, flags);
}

int COracleTable::bExecuteQuery(std::uint32_t* hasRows, const char16_t* context, RuntimeWord sqlQuery,
                                std::uint32_t flags, RuntimeWord keySource) {
  COracleConnection* connection = pGetOracleConnection();
  if (connection && !connection->bOpen(m_pErrorHolder, nullptr)) return 0;
  ChooseSession();
  const int answer = CTableOra::bExecuteQuery(hasRows, context, sqlQuery, flags, keySource);
  RestoreMainSession();
  return answer;
}
