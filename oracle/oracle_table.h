// The Oracle table classes: CTableOra (the Oracle layer's middle class: table locks through the connection, the
// list of locked records, each held by a transaction of its own, and the table's availability) and COracleTable
// (the final class the driver object's table factory makes: which session each operation runs on, the ROW SHARE
// lock around an add, the recovery of a read that the server refuses as out of sequence, whether the rows have a
// ROWID identity, the LOB data source and the factories of the Oracle statement objects).
//
// The table owns its lock cursor, its list of locked records (each entry holding its transaction) and its LOB data
// source; a copy starts with none of them: locks belong to the table that took them.
#pragma once

#include <cstdint>

#include "engine/table/table.h"

class CColumn;
class CHostValue;
class CLockedRowCache;
class COracleConnection;
class COracleCursor;
class CRecord;
class CRowLockEntry;
class CTransaction;

// Record-lock modes: 2 and 3 lock the current record, 0 and 1 release it.
inline constexpr std::uint32_t RECORD_LOCK_RELEASE = 1;
inline constexpr std::uint32_t RECORD_LOCK_TAKE = 2;
// Lock states of the table: not locked, and held in ROW SHARE mode while an add runs.
inline constexpr std::uint32_t TABLE_LOCK_NONE = 1;
inline constexpr std::uint32_t TABLE_LOCK_ROW_SHARE = 2;

class CTableOra : public CTable {
 public:
  CTableOra(IHostFileDescription* recordDescription, CConnection* connection, CErrorHolder* errorHolder);
  CTableOra();

  // The memo value of the large item written to the file through its column; 0 when the item has no column.
  int bSaveMemoToFile(std::uint32_t index, RuntimeWord value) override;
  int bAddRecord(std::uint32_t flags, std::uint32_t mode) override;
  // The connection's table lock in the mode (the previous lock state into the u32 `previousMode` points at).
  int bLockTable(std::uint32_t mode, RuntimeWord previousMode) override;
  int bUnlockTable() override;
  // key: what bCheckAvailable is given; then the lock mode applied to the default record context (out: a u32 set
  // to 1).
  int bTestRecordLock(RuntimeWord key, std::uint32_t mode, RuntimeWord out) override;
  int bTestRecordLockDefault(RuntimeWord key) override;
  // Modes 2 and 3: the current record locked, or its lock resumed when it holds one. Other modes: 1.
  int bLockCurrentRecord(CCursor* context, std::uint32_t mode, RuntimeWord key, RuntimeWord out) override;
  // Modes 0 and 1: the current record's lock released (its transaction committed). Other modes: 1.
  int bUnlockCurrentRecord(CCursor* context, std::uint32_t mode, RuntimeWord key, RuntimeWord out) override;
  int bApplyRecordLockMode(CCursor* context, std::uint32_t mode, RuntimeWord key, RuntimeWord out) override;
  // value: the transaction (CTransaction*) whose lock of the current record is forgotten, without a commit; an
  // entry holding no transaction goes as well.
  int bUnlockRecord(IHostConnectionDescription* connection, RuntimeWord value) override;
  // Every record lock released, then the generic reset.
  void ResetState() override;
  int bReleaseRecordLocks() override { return bUnlockAll(); }
  // Error 19 for a table that is not open (a query counts as open while it stands), error 18 for a key other than
  // 0; both 0.
  int bCheckAvailable(RuntimeWord key) override;
  // The generic copy: the copy holds no table lock, no record lock and no lock cursor.
  int CopyFrom(CTable* source, CHashTable& cloneMap, RuntimeWord a, RuntimeWord b) override;

  // ---- added ----
  // Locks the current record in the mode: in a transaction of its own unless the connection has one open.
  virtual int bOpenWithLocks(CCursor* context, std::uint32_t mode);
  // Releases the current record's lock: its transaction committed (rolled back after a write left in part under
  // it), the entry removed and the context told mode 1. 1 when the record holds no lock.
  virtual int bUnlockRecordEntry(CCursor* context);
  // Every lock of the list released in order and removed; the AND of the commits. An entry whose commit failed is
  // rolled back before it goes, and the commit's error stays in the holder.
  int bUnlockAll();

  std::uint32_t nGetLockState() const { return m_nLockState; }
  // The locks the list holds now.
  std::uint32_t nGetRecordLockCount() const;
  // Whether the current record holds a lock of the list.
  int bIsCurrentRecordLocked();
  // The current record's lock transaction, with a reference the caller drops; null when it has none of its own.
  CTransaction* pCurrentLockTransaction();

 protected:
  ~CTableOra() override;

  COracleConnection* pGetOracleConnection() const;
  // The record a lock is kept under: the current record.
  CRecord* pLockedRecord() const;
  // Step 1 of a lock: the lock's own transaction (counted, to release), or none when the connection has a
  // transaction open. 0 with error 12 when the connection cannot make one.
  int bTakeLocks(CTransaction** transaction);
  // Steps 3 to 5: the lock cursor made on first use, a new transaction begun, the lock run for the current record
  // and the entry added; a failed run rolls its new transaction back.
  int bOpenLockList(CCursor* context, std::uint32_t mode, CTransaction* transaction);
  // A write of the current record left part of itself after it failed (marked) or succeeded (cleared) under the
  // lock of the list's row (ROW_NONE: none): a lock whose last write was left in part is rolled back at its release,
  // so that nothing of that write is committed.
  void NoteWriteUnderLock(std::uint32_t row, int failed);
  // The current record kept as the one last written under the lock of the list's row (ROW_NONE: none).
  void KeepWrittenRecord(std::uint32_t row);
  // The current record's lock forgotten, its own transaction rolled back (no holder hears of it).
  void DropCurrentLock();
  // Drops the locks taken inside a transaction of the connection that has ended since: their locks went with it.
  void DropEndedLocks();
  // The record's identity (the value of its ROWID or identifying key), as last read or as it stands now; 0 when
  // the table has none or the record holds none.
  int bGetIdentity(CHostValue& identity, bool asRead) const;
  // The current record's lock (its row in the list, or ROW_NONE), found by the identity of the record as read; and
  // the lock named by the record's identity as it stands after a write.
  std::uint32_t nFindLockRow() const;
  CRowLockEntry* pFindCurrentLock(std::uint32_t* row) const;
  void RekeyLock(std::uint32_t row);
  // Every row of the list that holds the lock: the values it was locked with and those last written.
  void RemoveLockRows(CRowLockEntry* entry);

  std::uint32_t m_nLockState = TABLE_LOCK_NONE;
  // Set while a lock is taken for a read (bApplyRecordLockMode): the locked row is read into the record.
  bool m_bLockReadsRecord = false;
  // Set while the runtime asks for a lock or its release itself (bTestRecordLock), not a read.
  bool m_bLockRequested = false;
  // Set while a read releases the lock of the record it read: the record takes what the release committed.
  bool m_bReleaseShowsWrite = false;
  COracleCursor* m_pLockCursor = nullptr;
  CLockedRowCache* m_pLocks = nullptr;
};

class COracleTable : public CTableOra {
 public:
  COracleTable(IHostFileDescription* recordDescription, CConnection* connection, CErrorHolder* errorHolder);
  // Empty, for pClone.
  COracleTable();

  // Inside a nested transaction level with the table held in ROW SHARE mode, unless a transaction is open.
  int bAddRecord(std::uint32_t flags, std::uint32_t mode) override;
  int bModifyRecord(RuntimeWord key, std::uint32_t mode, RuntimeWord argument) override;
  // The session chosen, then the generic read; a next or previous read the server refuses as fetched out of
  // sequence (ORA-01002) is read again from the context's current record. A read that fails for memory leaves the
  // current record as last read, and the next move of its context reads on from that record found again.
  int bRead(const char16_t* keyName, std::uint32_t direction, std::uint32_t a, std::uint32_t lockMode,
            RuntimeWord lockAnswer, std::uint32_t flags) override;
  int bReadInContext(const char16_t* name, std::uint32_t direction, RuntimeWord count, std::uint32_t a,
                     std::uint32_t lockMode, RuntimeWord lockAnswer, std::uint32_t flags) override;
  int bSeek(const char16_t* keyName, const char16_t* valueKey, RuntimeWord value, std::uint32_t exact,
            std::uint32_t a, std::uint32_t lockMode, RuntimeWord lockAnswer, std::uint32_t forward,
            std::uint32_t flags) override;
  int bSeekOnKey(const char16_t* keyName, RuntimeWord value, std::uint32_t exact, std::uint32_t a,
                 std::uint32_t lockMode, RuntimeWord lockAnswer, std::uint32_t forward, std::uint32_t flags) override;
  int bCountRecords(std::int64_t* count, std::uint32_t flags, std::uint32_t flags2, CCursor* context,
                    std::int32_t mode) override;
  int bCountCurrentContext(RuntimeWord value, std::uint32_t a, std::uint32_t b) override;
  int bGoToRecord(const char16_t* context, RuntimeWord a, std::uint32_t b, RuntimeWord c, std::uint32_t d,
                  RuntimeWord sqlQuery) override;
  int bRecallPosition(std::uint32_t identifier, RuntimeWord contextName, std::uint32_t keep,
                      std::uint32_t flags) override;
  int bExecuteQuery(std::uint32_t* hasRows, const char16_t* context, RuntimeWord sqlQuery, std::uint32_t flags,
                    RuntimeWord keySource) override;
  // 3 when the rows have a ROWID identity, else 1.
  std::uint32_t nGetObjectKind() override;
  CTable* pClone(CHashTable& cloneMap, RuntimeWord a, RuntimeWord b) override;
  int CopyFrom(CTable* source, CHashTable& cloneMap, RuntimeWord a, RuntimeWord b) override;
  CCursor* pNewContext() override;
  CTableDescription* pNewTableDescription() override;
  CAutomaticIdentifier* pNewAutomaticIdentifier() override;
  int bDoModifyRecord(RuntimeWord key, std::uint32_t mode) override;
  // The LOB data source read for the current record, then the column reads its LOB; 0 without a data source.
  int bLoadDeferredValue(CColumn* column) override;
  // UPDATE, INSERT and DELETE run on the lock session (the main session current again after).
  int bExecuteModification(CCursor* context, std::uint32_t kind, std::uint32_t flags, RuntimeWord argument) override;
  int bOpenWithLocks(CCursor* context, std::uint32_t mode) override;

  // ---- added ----
  // LOCK TABLE ... IN ROW SHARE MODE NOWAIT for a table, SELECT ... FOR UPDATE for a query; the lock state 2.
  int bLockRowShare();
  // Whether the query's first table is a table of the catalog: 0 only when the catalog surely has none of that
  // name; any failure answers 1.
  int bCheckTableType();
  int bHasRowIdentity();
  // A table reached through a database link ("@" in its SQL name).
  int bIsRemoteTable();
  // The LOB data source (no reference for the caller) after its SELECT of the current record's memo columns was
  // run and its first row read: out null when the table has no memo column. 0 when building or reading failed.
  int bOpenLobDataSource(COracleCursor** source);

  // Set by a column of the table's descriptions that Oracle described as a CLOB, BLOB or BFILE: the table's
  // statements carry LOB locators.
  bool bHasLob() const { return m_bHasLob; }
  void SetHasLob(bool hasLob) { m_bHasLob = hasLob; }

 protected:
  ~COracleTable() override;

 private:
  // The lock session when the connection has a transaction open, else the main session.
  void ChooseSession();
  void RestoreMainSession();
  // A read, seek, count or move on a table that was never opened has no columns to read into: error 19.
  int bRefuseUnopened();
  int bRecoverOutOfSequence(const char16_t* keyName, std::uint32_t direction, std::uint32_t a, std::uint32_t lockMode,
                            RuntimeWord lockAnswer, std::uint32_t flags);
  // Seeks the context's key to the value (forward for a next read, backward for a previous one) and reads on from
  // there in the direction; -1 when no record holds the value any more (nothing read).
  int nReadOnFromValue(const char16_t* keyName, CHostValue& value, std::uint32_t direction, std::uint32_t a,
                       std::uint32_t lockMode, RuntimeWord lockAnswer, std::uint32_t flags, std::uint32_t seekFlags);
  // The record a context whose place was lost reads on from: its own last record, else the table's last-read image.
  CRecord* pLostPlaceRecord(CCursor* context);
  // After a read of the context: a failure for memory puts the current record back as last read and marks the
  // context's place lost; a success clears the mark.
  void NoteReadOutcome(COracleCursor* context, int answer);
  COracleCursor* pFindOracleContext(const char16_t* name);
  // After an add with the OCI7 set (which returns no ROWID): a new context placed on the added record by the
  // identifying key.
  void PositionOnAddedRecord();

  COracleCursor* m_pLobSource = nullptr;
  bool m_bHasLob = false;
};
