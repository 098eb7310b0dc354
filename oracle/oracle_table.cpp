// CTableOra: table locks, record locks and availability. Each record lock is a SELECT ... FOR UPDATE NOWAIT of the
// current record run in a transaction of its own (none when the connection has one open), kept in the lock list
// under the record until its release commits that transaction.
#include "oracle/oracle_table.h"

#include <memory>
#include <new>

#include "engine/cache/locked_row_cache.h"
#include "engine/record/column.h"
#include "engine/record/record.h"
#include "engine/record/table_description.h"
#include "engine/table/cursor.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "host/host_objects.h"
#include "host/host_result_codes.h"
#include "host/host_value.h"
#include "oracle/oracle_connection.h"
#include "oracle/oracle_cursor.h"
#include "oracle/oracle_transaction.h"
#include "oracle/record_lock_entry.h"
#include "sql/rewriter/sql_rewriter.h"
#include "sql/transaction.h"

namespace {

// Errors of the Oracle table (unit of the table object) and their points.
enum : std::uint32_t {
  TABLE_ERROR_NO_LOCK_TRANSACTION = 12,
  TABLE_ERROR_KEY_NOT_AVAILABLE = 18,
  TABLE_ERROR_NOT_OPEN = 19,
  TABLE_POINT_NOT_OPEN = 1,
  TABLE_POINT_KEY_NOT_AVAILABLE = 2,
  TABLE_POINT_NO_LOCK_TRANSACTION = 3,
};

bool bLocks(std::uint32_t mode) { return mode == 2 || mode == 3; }
bool bReleases(std::uint32_t mode) { return mode == 0 || mode == 1; }

void SetOut(RuntimeWord out) {
  if (out) *reinterpret_cast<std::uint32_t*>(out) = 1;
}

// A lock of the list: its transaction and mode, and whether the last write under it failed. A lock taken inside
// the connection's transaction has no transaction of its own: it names the level it lives in and that level's
// begin, and ends with it.
bool bEndedWithSession(CTransaction* level) {
  auto* oracle = dynamic_cast<COracleTransaction*>(level);
  return oracle && oracle->bEndedWithSession();
}

class CTableRecordLock final : public CRecordLockEntry {
 public:
  using CRecordLockEntry::CRecordLockEntry;
  ~CTableRecordLock() override {
    if (m_pLevel) m_pLevel->nRelease();
    if (m_pWritten) m_pWritten->nRelease();
  }
  void LiveIn(CTransaction* level) {
    if (!level) return;
    level->AddRef();
    m_pLevel = level;
    m_nBegun = level->nGetBeginCount();
  }
  // Ended with its level, or with the session's one transaction (with the OCI7 set or without distributed
  // transactions), which the commit or rollback of any other level or lock of the session ends.
  bool bEnded() const {
    auto* own = static_cast<CTransaction*>(pGetObject());
    const bool ended = bEndedWithSession(own) || bEndedWithSession(m_pLevel);
    if (own) own->nRelease();
    return ended || (m_pLevel && (!m_pLevel->bIsActive() || m_pLevel->nGetBeginCount() != m_nBegun));
  }
  bool m_bWriteFailed = false;
  // The record as last written under a lock of its own transaction (m_bWritten): what the row holds once the
  // release commits, which a read in another session made before that commit did not see. Made with the lock, so
  // that a write keeps it without asking for memory.
  CRecord* m_pWritten = nullptr;
  bool m_bWritten = false;
  // The row of the list the lock was added under.
  std::uint32_t m_nLockedRow = ROW_NONE;
  // The record's identity (its ROWID or identifying key), which the lock is found by: the record's other values
  // change with every edit, write or read again, and still name the same row.
  CHostValue m_identity;
  // Whether the record had an identity when locked. One without (its key NULL, in a table with no primary key) is
  // found by the row of the list that holds its values as read, and by each row its writes add.
  bool m_bNamed = false;

 private:
  CTransaction* m_pLevel = nullptr;
  std::uint32_t m_nBegun = 0;
};

// The fields of the current record that the program changed and has not written: a lock that reads the row in
// takes the row as it stands and puts these back over it, so that the write that follows stores them. Large values
// keep their own field values, which the lock's read does not replace.
class CUnwrittenFields {
 public:
  explicit CUnwrittenFields(CTableDescription* columns) : m_pColumns(columns) {
    const std::uint32_t count = columns ? columns->nGetColumnCount() : 0;
    if (count == 0) return;
    m_values.reset(new (std::nothrow) CHostValue[count]);
    m_changed.reset(new (std::nothrow) bool[count]);
    if (!m_values || !m_changed) {
      m_bFailed = true;
      return;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
      CColumn* column = columns->pGetColumn(i);
      m_changed[i] = column && !column->bIsCompositeKey() && !column->bIsMemo() && column->bIsChanged();
      if (m_changed[i] && !column->bGetValue(m_values[i], 0)) m_bFailed = true;
    }
  }
  bool bHeld() const { return !m_bFailed; }
  int bPutBack() {
    for (std::uint32_t i = 0; m_changed && i < m_pColumns->nGetColumnCount(); ++i) {
      if (m_changed[i] && !m_pColumns->pGetColumn(i)->bSetValue(m_values[i], 0)) return 0;
    }
    return 1;
  }

 private:
  CTableDescription* m_pColumns;
  std::unique_ptr<CHostValue[]> m_values;
  std::unique_ptr<bool[]> m_changed;
  bool m_bFailed = false;
};

CTransaction* pTransactionOf(CRowLockEntry* entry) {
  auto* lock = static_cast<CRecordLockEntry*>(entry);
  return static_cast<CTransaction*>(lock->pGetObject());
}

std::uint32_t nLockedRowOf(CRowLockEntry* entry) { return static_cast<CTableRecordLock*>(entry)->m_nLockedRow; }

}  // namespace

CTableOra::CTableOra(IHostFileDescription* recordDescription, CConnection* connection, CErrorHolder* errorHolder)
    : CTable(recordDescription, connection, errorHolder) {
  m_pLocks = new (std::nothrow) CLockedRowCache();
  if (m_pLocks) m_pLocks->AddRef();
}

CTableOra::CTableOra() {
  m_pLocks = new (std::nothrow) CLockedRowCache();
  if (m_pLocks) m_pLocks->AddRef();
}

CTableOra::~CTableOra() {
  // A lock still held goes with its transaction, which rolls back what it holds.
  if (m_pLockCursor) m_pLockCursor->nRelease();
  m_pLockCursor = nullptr;
  if (m_pLocks) m_pLocks->nRelease();
  m_pLocks = nullptr;
}

COracleConnection* CTableOra::pGetOracleConnection() const { return dynamic_cast<COracleConnection*>(m_pConnection); }

CRecord* CTableOra::pLockedRecord() const {
  return m_pTableDescription ? m_pTableDescription->pGetCurrentRecord() : nullptr;
}

int CTableOra::bGetIdentity(CHostValue& identity, bool asRead) const {
  CCursor* context = m_pTableDescription ? const_cast<CTableOra*>(this)->pGetDefaultContext() : nullptr;
  CColumn* column = context ? context->pGetIdentityColumn() : nullptr;
  if (!column) return 0;
  // As read: the values the record's WHERE names it by; else as the record stands now (a write may change its key).
  const int read = asRead ? column->bGetImageValue(identity, 0) : column->bGetValue(identity, 0);
  return read && identity.nGetType() != 0 && !identity.bIsNull();
}

std::uint32_t CTableOra::nFindLockRow() const {
  CHostValue identity;
  if (!m_pLocks || !m_pTableDescription || m_pTableDescription->nGetAccepted() == 0) return ROW_NONE;
  if (!bGetIdentity(identity, true)) {
    CRecord* image = m_pTableDescription->pGetImageRecord();
    const std::uint32_t row = image ? m_pLocks->nFindRecord(image) : ROW_NONE;
    CRowLockEntry* entry = row == ROW_NONE ? nullptr : m_pLocks->pGetLock(row);
    if (!entry) return ROW_NONE;
    const bool unnamed = !static_cast<CTableRecordLock*>(entry)->m_bNamed;
    entry->nRelease();
    return unnamed ? row : ROW_NONE;
  }
  for (std::uint32_t row = 0; row < m_pLocks->nGetLockSlotCount(); ++row) {
    CRowLockEntry* entry = m_pLocks->pGetLock(row);
    if (!entry) continue;
    auto* lock = static_cast<CTableRecordLock*>(entry);
    std::int32_t equal = 0;
    const bool found = lock->m_nLockedRow == row && lock->m_bNamed && lock->m_identity.nEquals(identity, &equal) == HOST_OK && equal;
    entry->nRelease();
    if (found) return row;
  }
  return ROW_NONE;
}

CRowLockEntry* CTableOra::pFindCurrentLock(std::uint32_t* at) const {
  const std::uint32_t row = nFindLockRow();
  if (at) *at = row;
  return row == ROW_NONE ? nullptr : m_pLocks->pGetLock(row);
}

void CTableOra::RekeyLock(std::uint32_t row) {
  CRowLockEntry* entry = row == ROW_NONE || !m_pLocks ? nullptr : m_pLocks->pGetLock(row);
  if (!entry) return;
  // A write that changed the record's key leaves the lock on the same row, now named by the new key; a lock without
  // an identity is found by the values written as well.
  auto* lock = static_cast<CTableRecordLock*>(entry);
  CHostValue identity;
  if (lock->m_bNamed && bGetIdentity(identity, false)) lock->m_identity.Assign(identity);
  // (Without memory for that row the lock is found no more: it ends with the table, its write already done.)
  CRecord* current = pLockedRecord();
  if (!lock->m_bNamed && current) m_pLocks->nAddLock(current, entry);
  entry->nRelease();
}

void CTableOra::RemoveLockRows(CRowLockEntry* entry) {
  for (std::uint32_t row = 0; m_pLocks && row < m_pLocks->nGetLockSlotCount(); ++row) {
    CRowLockEntry* held = m_pLocks->pGetLock(row);
    if (held) held->nRelease();
    if (held != entry) continue;
    while (m_pLocks->bRemoveLock(row) != 0) {
    }
  }
}

std::uint32_t CTableOra::nGetRecordLockCount() const {
  std::uint32_t count = 0;
  for (std::uint32_t row = 0; m_pLocks && row < m_pLocks->nGetLockSlotCount(); ++row) {
    if (CRowLockEntry* entry = m_pLocks->pGetLock(row)) {
      count += nLockedRowOf(entry) == row;
      entry->nRelease();
    }
  }
  return count;
}

void CTableOra::DropEndedLocks() {
  for (std::uint32_t row = 0; m_pLocks && row < m_pLocks->nGetLockSlotCount(); ++row) {
    CRowLockEntry* entry = m_pLocks->pGetLock(row);
    if (!entry) continue;
    const bool ended = static_cast<CTableRecordLock*>(entry)->bEnded();
    entry->nRelease();
    if (!ended) continue;
    while (m_pLocks->bRemoveLock(row) != 0) {
    }
  }
}

int CTableOra::bIsCurrentRecordLocked() {
  DropEndedLocks();
  CRowLockEntry* entry = pFindCurrentLock(nullptr);
  if (entry) entry->nRelease();
  return entry != nullptr;
}

// ---- availability ----

int CTableOra::bCheckAvailable(RuntimeWord key) {
  // A query's rows stand as long as the query: deleting them all closes the table and goes on through its records.
  if (!m_bOpen && !bIsQueryMode()) return bRaise(TABLE_ERROR_NOT_OPEN, TABLE_POINT_NOT_OPEN);
  if (key != 0) return bRaise(TABLE_ERROR_KEY_NOT_AVAILABLE, TABLE_POINT_KEY_NOT_AVAILABLE);
  return 1;
}

// ---- large values ----

int CTableOra::bSaveMemoToFile(std::uint32_t index, RuntimeWord value) {
  IHostFileDescription* description = m_pRecordDescription;
  auto* item = description ? static_cast<IHostItemDescription*>(description->piGetLargeItem(index)) : nullptr;
  CColumn* column = item && m_pTableDescription ? m_pTableDescription->pFindColumnByName(item->pszGetName()) : nullptr;
  if (item) item->nRelease();
  if (!column) return 0;
  return column->bSaveMemoToFile(reinterpret_cast<const char16_t*>(value));
}

int CTableOra::bAddRecord(std::uint32_t flags, std::uint32_t mode) { return CTable::bAddRecord(flags, mode); }

// ---- table locks ----

int CTableOra::bLockTable(std::uint32_t mode, RuntimeWord previousMode) {
  auto* connection = dynamic_cast<CConnectionOra*>(m_pConnection);
  if (!connection) return CTable::bLockTable(mode, previousMode);
  if (!connection->bLockTables(m_pErrorHolder, reinterpret_cast<std::uintptr_t>(pszGetSqlName()), mode)) return 0;
  if (previousMode) *reinterpret_cast<std::uint32_t*>(previousMode) = m_nLockState;
  m_nLockState = mode;
  return 1;
}

int CTableOra::bUnlockTable() {
  auto* connection = dynamic_cast<CConnectionOra*>(m_pConnection);
  if (!connection) return CTable::bUnlockTable();
  // Whether this table's lock is the one to end is the connection's to say: the lock state is set anew by every
  // lock, modes 0 and 1 included, and starts over when the table is opened again.
  if (!connection->bUnlockTables(m_pErrorHolder, reinterpret_cast<std::uintptr_t>(pszGetSqlName()))) return 0;
  m_nLockState = TABLE_LOCK_NONE;
  return 1;
}

// ---- record locks ----

int CTableOra::bTestRecordLock(RuntimeWord key, std::uint32_t mode, RuntimeWord out) {
  if (!bCheckAvailable(key)) return 0;
  CCursor* context = pGetDefaultContext();
  m_bLockRequested = true;
  const int applied = context && bApplyRecordLockMode(context, mode, key, out);
  m_bLockRequested = false;
  return applied;
}

int CTableOra::bTestRecordLockDefault(RuntimeWord key) { return bTestRecordLock(key, 1, 0); }

int CTableOra::bLockCurrentRecord(CCursor* context, std::uint32_t mode, RuntimeWord, RuntimeWord out) {
  SetOut(out);
  if (!bLocks(mode)) return 1;
  DropEndedLocks();
  if (CRowLockEntry* entry = pFindCurrentLock(nullptr)) {
    // Locked already: its transaction goes on (no second lock statement). Resumed, it answers that it still holds
    // the record, and leaves the session again at once: the work under the lock attaches it for its statements
    // only. Inside the connection's transaction the work goes with that transaction. The lock keeps the key the
    // record was read with until a write changes it on the server: the write finds its lock by that key.
    CTransaction* transaction = pTransactionOf(entry);
    entry->nRelease();
    if (!transaction) return 1;
    int resumed = 1;
    bool attached = false;
    if (!m_pConnection || !m_pConnection->bIsTransactionOpen()) {
      resumed = transaction->bResume(m_pErrorHolder);
      attached = resumed && !transaction->bDetach(m_pErrorHolder);
      if (attached) resumed = 0;
    }
    transaction->nRelease();
    // As after a write under the lock: a branch that would not leave is rolled back now with its lock, or the
    // session's next statement would run in it and end only with the lock's release.
    if (attached) DropCurrentLock();
    return resumed;
  }
  return bOpenWithLocks(context, mode);
}

int CTableOra::bUnlockCurrentRecord(CCursor* context, std::uint32_t mode, RuntimeWord, RuntimeWord out) {
  SetOut(out);
  if (!bReleases(mode)) return 1;
  return bIsCurrentRecordLocked() ? bUnlockRecordEntry(context) : 1;
}

int CTableOra::bApplyRecordLockMode(CCursor* context, std::uint32_t mode, RuntimeWord key, RuntimeWord out) {
  // A read with lock, or the lock of the record read: what the runtime is shown is the row as locked. A write's
  // own lock leaves the record as the runtime filled it.
  m_bLockReadsRecord = true;
  const int locked = bLockCurrentRecord(context, mode, key, out);
  m_bLockReadsRecord = false;
  // A read's release hands out what its commit stored; the runtime's own release leaves its record alone.
  m_bReleaseShowsWrite = !m_bLockRequested;
  const int unlocked = locked && bUnlockCurrentRecord(context, mode, key, out);
  m_bReleaseShowsWrite = false;
  return unlocked;
}

int CTableOra::bTakeLocks(CTransaction** transaction) {
  *transaction = nullptr;
  // Inside the connection's transaction the lock lives in it.
  if (m_pConnection && m_pConnection->bIsTransactionOpen()) return 1;
  CTransaction* made = m_pConnection ? m_pConnection->pNewTransaction() : nullptr;
  if (!made) return bRaise(TABLE_ERROR_NO_LOCK_TRANSACTION, TABLE_POINT_NO_LOCK_TRANSACTION);
  made->AddRef();
  *transaction = made;
  return 1;
}

int CTableOra::bOpenLockList(CCursor* context, std::uint32_t mode, CTransaction* transaction) {
  if (!m_pLocks) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  if (!m_pLockCursor) {
    auto* cursor = dynamic_cast<COracleCursor*>(pNewContext());
    if (!cursor) {
      if (m_pErrorHolder && !m_pErrorHolder->bHasError()) SetHolderOutOfMemory(m_pErrorHolder);
      return 0;
    }
    cursor->AddRef();
    cursor->SetSimpleReadMode(0);
    m_pLockCursor = cursor;
  }
  CUnwrittenFields unwritten(m_bLockReadsRecord ? m_pTableDescription : nullptr);
  if (!unwritten.bHeld()) {
    if (m_pErrorHolder && !m_pErrorHolder->bHasError()) SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  if (transaction && !transaction->bBegin(m_pErrorHolder, nullptr)) return 0;
  // The lock statement is built for the record current now: one kept from an earlier lock would lock that record.
  // Locked to be read, the record takes the row as the lock found it: the values read before may be another
  // session's committed change out of date, and written back they would undo it. What the program changed itself
  // stays changed over that row.
  int locked = m_pLockCursor->bRunRecordLock(mode, m_bLockReadsRecord);
  if (locked && m_bLockReadsRecord) {
    // The rows cached and stored take the row as locked too, found by the values read before: kept as they were
    // read, they would be read back stale, and a move on from the record would not find the record among them.
    if (CRecord* image = m_pTableDescription ? m_pTableDescription->pGetImageRecord() : nullptr) {
      NotifyChange(SQL_STATEMENT_UPDATE, m_pLockCursor, 0, image);
    }
    locked = bResetRecordBuffer(0) && (!context || context->bTakeCurrentRecord()) && unwritten.bPutBack();
  }
  CTableRecordLock* entry = nullptr;
  if (locked) {
    entry = new (std::nothrow) CTableRecordLock(transaction, mode);
    CRecord* record = pLockedRecord();
    if (entry) {
      entry->AddRef();
      if (!transaction && m_pConnection) entry->LiveIn(m_pConnection->pGetTransaction());
      if (transaction && record && (entry->m_pWritten = record->pDuplicate(RECORD_PART_BUFFER))) {
        entry->m_pWritten->AddRef();
      }
    }
    // A record without an identity is kept under its values as read, which its write's WHERE names it by.
    const bool made = entry && (!transaction || entry->m_pWritten);
    if (made) entry->m_bNamed = bGetIdentity(entry->m_identity, true);
    CRecord* kept = made && !entry->m_bNamed && m_pTableDescription ? m_pTableDescription->pGetImageRecord() : record;
    const std::uint32_t row = made && kept ? m_pLocks->nAddLock(kept, entry) : ROW_NONE;
    if (entry) entry->m_nLockedRow = row;
    locked = row != ROW_NONE;
    if (!locked) SetHolderOutOfMemory(m_pErrorHolder);
  }
  // The lock's own transaction leaves the session, keeping the lock: attached, the session's next begin would be
  // refused and its next commit or rollback would end the lock with its own work.
  if (locked && transaction && !transaction->bDetach(m_pErrorHolder)) {
    locked = 0;
    RemoveLockRows(entry);
  }
  if (entry) entry->nRelease();
  if (!locked) {
    // The lock's error (ORA-00054 for a record another session holds) stays the one reported.
    if (transaction) transaction->bRollbackNamed(nullptr, nullptr);
    return 0;
  }
  return context ? context->bSetReadMode(mode) : 1;
}

int CTableOra::bOpenWithLocks(CCursor* context, std::uint32_t mode) {
  CTransaction* transaction = nullptr;
  if (!bTakeLocks(&transaction)) return 0;
  const int locked = bOpenLockList(context, mode, transaction);
  if (transaction) transaction->nRelease();
  return locked;
}

int CTableOra::bUnlockRecordEntry(CCursor* context) {
  DropEndedLocks();
  CRowLockEntry* entry = pFindCurrentLock(nullptr);
  if (!entry) return 1;
  CTransaction* transaction = pTransactionOf(entry);
  const bool writeFailed = static_cast<CTableRecordLock*>(entry)->m_bWriteFailed;
  int released = 1;
  if (transaction) {
    // A write that failed under the lock may have changed the row in part (an UPDATE whose LOB could not be
    // written has emptied it): nothing of it is committed.
    released = writeFailed ? transaction->bRollbackNamed(m_pErrorHolder, nullptr)
                           : transaction->bCommitNamed(m_pErrorHolder, nullptr);
    transaction->nRelease();
  }
  if (released) RemoveLockRows(entry);
  // Read in another session while the lock held it, the record showed the row as it stood before the writes the
  // release has just committed: the program is handed what it wrote.
  auto* lock = static_cast<CTableRecordLock*>(entry);
  CRecord* current = pLockedRecord();
  if (released && transaction && !writeFailed && m_bReleaseShowsWrite && lock->m_bWritten && current) {
    released = current->bCopyFrom(lock->m_pWritten, RECORD_PART_BUFFER) && bResetRecordBuffer(0) &&
               (!context || context->bTakeCurrentRecord());
    if (!released && m_pErrorHolder && !m_pErrorHolder->bHasError()) SetHolderOutOfMemory(m_pErrorHolder);
  }
  entry->nRelease();
  if (!released) return 0;
  return context ? context->bSetReadMode(RECORD_LOCK_RELEASE) : 1;
}

int CTableOra::bUnlockAll() {
  if (!m_pLocks) return 1;
  // A lock the session ended with another has nothing to commit: its commit would end the session's work since.
  DropEndedLocks();
  int result = 1;
  for (std::uint32_t row = 0; row < m_pLocks->nGetLockSlotCount(); ++row) {
    CRowLockEntry* entry = m_pLocks->pGetLock(row);
    if (!entry) continue;
    CTransaction* transaction = nLockedRowOf(entry) == row ? pTransactionOf(entry) : nullptr;
    const bool writeFailed = static_cast<CTableRecordLock*>(entry)->m_bWriteFailed;
    entry->nRelease();
    // Each lock ends once, at the row it was taken under.
    if (!transaction) continue;
    if (writeFailed) {
      if (!transaction->bRollbackNamed(m_pErrorHolder, nullptr)) result = 0;
    } else if (!transaction->bCommitNamed(m_pErrorHolder, nullptr)) {
      // The server may still hold the row and the work of the lock's transaction: forgotten as it is, the row would
      // stay locked for every other session. It is rolled back; the holder keeps the commit's error.
      transaction->bRollbackLevel(nullptr);
      result = 0;
    }
    transaction->nRelease();
  }
  m_pLocks->RemoveAllLocks();
  return result;
}

int CTableOra::bUnlockRecord(IHostConnectionDescription*, RuntimeWord value) {
  CRowLockEntry* entry = pFindCurrentLock(nullptr);
  if (!entry) return 1;
  CTransaction* transaction = pTransactionOf(entry);
  const bool mine = !transaction || reinterpret_cast<RuntimeWord>(transaction) == value;
  if (transaction) transaction->nRelease();
  if (mine) RemoveLockRows(entry);
  entry->nRelease();
  return 1;
}

CTransaction* CTableOra::pCurrentLockTransaction() {
  CRowLockEntry* entry = pFindCurrentLock(nullptr);
  if (!entry) return nullptr;
  CTransaction* transaction = pTransactionOf(entry);
  entry->nRelease();
  return transaction;
}

void CTableOra::KeepWrittenRecord(std::uint32_t row) {
  CRowLockEntry* entry = row == ROW_NONE || !m_pLocks ? nullptr : m_pLocks->pGetLock(row);
  if (!entry) return;
  auto* lock = static_cast<CTableRecordLock*>(entry);
  CRecord* current = pLockedRecord();
  // The copy made with the lock takes the bytes in place; one it could not take is no record of the row.
  lock->m_bWritten = lock->m_pWritten && current && lock->m_pWritten->bCopyFrom(current, RECORD_PART_BUFFER);
  entry->nRelease();
}

void CTableOra::NoteWriteUnderLock(std::uint32_t row, int failed) {
  CRowLockEntry* entry = row == ROW_NONE || !m_pLocks ? nullptr : m_pLocks->pGetLock(row);
  if (!entry) return;
  static_cast<CTableRecordLock*>(entry)->m_bWriteFailed = failed != 0;
  entry->nRelease();
}

void CTableOra::DropCurrentLock() {
  CRowLockEntry* entry = pFindCurrentLock(nullptr);
  if (!entry) return;
  if (CTransaction* transaction = pTransactionOf(entry)) {
    transaction->bRollbackNamed(nullptr, nullptr);
    transaction->nRelease();
  }
  RemoveLockRows(entry);
  entry->nRelease();
}

void CTableOra::ResetState() {
  bUnlockAll();
  CTable::ResetState();
}

int CTableOra::CopyFrom(CTable* source, CHashTable& cloneMap, RuntimeWord a, RuntimeWord b) {
  return CTable::CopyFrom(source, cloneMap, a, b);
}
