// CTable: the generic object behind every data file the runtime opens through an access interface, a table of the
// database or the result of a query. The driver object's table factory makes it (the Oracle class in practice), a
// CTableRegistry holds it for the runtime's file handle, and the access interface that created it keeps one more
// reference; the runtime reaches it only through the access interface, under gcsDriverLock, so the table takes no
// lock of its own.
//
// Counted twice: internal references (AddRef, nRelease) and external ones; the table goes when both are 0. It holds
// a reference on its connection (given back through the driver), its record description and its error holder.
//
// The table decides what runs: which record context (a CCursor stored by name) reads, in which order records are
// locked, written, read again and unlocked, whom a change is told. Its sources go by concern: table.cpp (members,
// contexts, factories, record store), table_lifecycle.cpp, table_read.cpp, table_write.cpp, table_ddl.cpp,
// table_query.cpp, table_positions.cpp and table_large_values.cpp. Every operation answers 1 for success and 0 for
// failure with the details in the table's error holder.
#pragma once

#include <cstdint>

#include "foundation/hash_table.h"
#include "foundation/t_string.h"
#include "engine/cache/position_links.h"
#include "host/host_objects.h"

class CAccessInterface;
class CAutomaticIdentifier;
class CKeyedRowCache;
class CSavedPosition;
class IHostItemDescription;
class CCursor;
class CKeyCondition;
class CRecordDescription;
class CSharedRowSource;
class CSqlRewriter;
class CTableDescription;
class CColumn;
class CColumnDescriptor;
class CFieldValue;
class CConnection;
class CErrorHolder;
class CHashTable;
class CQueryDescription;
class CRecord;
class IRowKey;
class IHostFileDescription;
class IHostConnectionDescription;

// Read flags the runtime passes and the table adds: run the context's statement again, reuse the current context on
// the same key, carry the key condition into a new context, read without a row cache, read through the query's own
// key, a positioning read (no continuation into further key ranges).
inline constexpr std::uint32_t READ_FLAG_RESTART = 0x2000;
inline constexpr std::uint32_t READ_FLAG_KEEP = 0x4000;
inline constexpr std::uint32_t READ_FLAG_CARRY_CONDITION = 0x8000;
inline constexpr std::uint32_t READ_FLAG_NO_CACHE = 0x10000;
inline constexpr std::uint32_t READ_FLAG_QUERY_KEY = 0x20000;
inline constexpr std::uint32_t READ_FLAG_POSITIONING = 0x40000;

// Query flags: the query is SQL text, its run is pending, it runs without the statement's own row cache, its text
// holds " JOIN ".
inline constexpr std::uint32_t QUERY_FLAG_SQL_TEXT = 4;
inline constexpr std::uint32_t QUERY_FLAG_PENDING = 16;
inline constexpr std::uint32_t QUERY_FLAG_NO_OWN_CACHE = 128;
inline constexpr std::uint32_t QUERY_FLAG_JOINS = 0x80000000;

// The table's guards against a part it lacks (its connection, a column, an item, a statement run) answer the error of
// that state at point 0, never error 8: that one is for an operation the table does not do.
inline constexpr std::uint32_t TABLE_POINT_MISSING_PART = 0;
inline constexpr std::uint32_t TABLE_ERROR_STATEMENT_NOT_RUN = 2;
inline constexpr std::uint32_t TABLE_ERROR_BAD_ARGUMENT = 4;
inline constexpr std::uint32_t TABLE_ERROR_TABLE_NOT_OPEN = 19;
inline constexpr std::uint32_t TABLE_ERROR_NO_SUCH_ITEM = 26;

class CTable {
 public:
  // The record description is the driver's own (the runtime describes its files through the driver object's
  // description factories): the table holds an external reference on it. The record stores and both hash tables are
  // made here.
  CTable(IHostFileDescription* recordDescription, CConnection* connection, CErrorHolder* errorHolder);
  // Every member as at construction without a description, for pClone.
  CTable();
  CTable(const CTable&) = delete;
  CTable& operator=(const CTable&) = delete;

  // ---- operations the access interface reaches ----
  virtual void DeletingDestructor(std::uint32_t flags);
  virtual int nSlot1();  // answers 0
  virtual int bReadLargeValue(std::uint32_t index, RuntimeWord value);
  virtual int bWriteLargeValue(std::uint32_t index, RuntimeWord buffer);
  virtual int bSaveMemoToFile(std::uint32_t index, RuntimeWord value);
  virtual int bCreateAndOpen(RuntimeWord value, std::uint32_t dropFirst);
  virtual int bDropTable();  // DROP only, stays closed
  virtual int bDeleteAll();
  virtual int bOpenOrCreate(std::uint32_t a, RuntimeWord b);
  virtual int bOpen(std::uint32_t a, RuntimeWord b);
  virtual int bClose();
  virtual int bAddRecord(std::uint32_t flags, std::uint32_t mode);
  virtual int bSaveRecord(RuntimeWord key, std::uint32_t flags, std::uint32_t mode);
  virtual int bDeleteRecord(RuntimeWord key, std::uint32_t mode);
  virtual int bWriteRecord(RuntimeWord key, std::uint32_t flags, std::uint32_t mode);
  virtual int bNotSupportedA(RuntimeWord a, std::uint32_t b);
  virtual int bNotSupportedB();
  virtual int bModifyRecord(RuntimeWord key, std::uint32_t mode, RuntimeWord argument);
  // Reads in a direction (0 first, 1 last, 2 next, 3 previous) through the context of a key item, or through a
  // named context by a count; the lock answer is the runtime's out word for the record lock.
  virtual int bRead(const char16_t* keyName, std::uint32_t direction, std::uint32_t a, std::uint32_t lockMode,
                    RuntimeWord lockAnswer, std::uint32_t flags);
  virtual int bReadInContext(const char16_t* name, std::uint32_t direction, RuntimeWord count, std::uint32_t a,
                             std::uint32_t lockMode, RuntimeWord lockAnswer, std::uint32_t flags);
  // bSeek with the key item searching its own value (a runtime value).
  virtual int bSeekOnKey(const char16_t* keyName, RuntimeWord value, std::uint32_t exact, std::uint32_t a,
                         std::uint32_t lockMode, RuntimeWord lockAnswer, std::uint32_t forward, std::uint32_t flags);
  virtual int bResetContext(const char16_t* context);
  virtual int bLockTable(std::uint32_t mode, RuntimeWord previousMode);
  virtual int bUnlockTable();  // answers 1
  virtual int bTestRecordLock(RuntimeWord a, std::uint32_t b, RuntimeWord c);
  virtual int bTestRecordLockDefault(RuntimeWord a);  // answers 1
  virtual int bGoToRecord(const char16_t* context, RuntimeWord a, std::uint32_t b, RuntimeWord c, std::uint32_t d,
                          RuntimeWord sqlQuery);
  virtual int bIsReadOnly(RuntimeWord out);                               // writes 0, answers 1
  virtual int bSupportsTransactions(RuntimeWord out, RuntimeWord value);  // writes 1, answers 1
  virtual int bGetRecordFlags(RuntimeWord key, RuntimeWord outFlags);
  virtual int bNotSupportedC(RuntimeWord a, RuntimeWord b, std::uint32_t c, RuntimeWord d);
  virtual int bExecuteQuery(std::uint32_t* hasRows, const char16_t* context, RuntimeWord sqlQuery, std::uint32_t flags,
                            RuntimeWord keySource);
  virtual int bRestorePosition(RuntimeWord position, std::uint32_t flags);
  virtual void SetIdentifierSource(void* source);                                        // the registry
  virtual int bUnlockRecord(IHostConnectionDescription* connection, RuntimeWord value);  // nothing here
  virtual CTable* pClone(CHashTable& cloneMap, RuntimeWord a, RuntimeWord b);
  // Copies every member of the source through the clone map (table_copy.cpp): shared objects are copied once, the
  // contexts keep their names and the copy registers with the source's access interface. 0 when memory ran out;
  // what was copied by then stays with the copy, which its owner releases.
  virtual int CopyFrom(CTable* source, CHashTable& cloneMap, RuntimeWord a, RuntimeWord b);
  // What the columns and table descriptions read of their table. The column-qualification setting is the query
  // mode, the state word the table's state.
  virtual IRowKey* pNewRecordKey(CRecord* record);  // count 0
  virtual std::uint32_t nGetColumnQualification();
  virtual std::uint32_t nGetStateWord();
  virtual CQueryDescription* pGetQueryDescription();
  // What a statement's table reference reads of its table: the table object's flag word, the item that stands for
  // the table in a select list (null when it has none) and the field value that receives its data.
  virtual std::uint32_t nGetFlagWord();
  virtual CColumn* pGetReferenceItem();
  virtual CFieldValue* pGetReferenceValue();

  // ---- what a statement object (CCursor) asks of its table ----
  // Saved positions: the named context's position under a new identifier written to `identifier` (a u32), and the
  // position of an identifier restored, its context's name (at most 255 units) written to `contextName`.
  virtual int bStorePosition(RuntimeWord identifier, const char16_t* contextName, std::uint32_t a);
  virtual int bRecallPosition(std::uint32_t identifier, RuntimeWord contextName, std::uint32_t keep,
                              std::uint32_t flags);
  // The table's columns and records (the cursor's column set); null until the table is opened.
  virtual CTableDescription* pGetTableDescription();
  // The table's name as SQL names it: the record description's SQL table name quoted part by part.
  virtual const char16_t* pszGetSqlName();
  // Query mode (the table is the result of a query) and, within it, a query given as SQL text; 0 outside.
  virtual int bIsQueryMode();
  virtual int bIsSqlQuery();
  // The options a query translation of the table's statements takes.
  virtual std::uint32_t nGetTranslationOptions();
  // A new statement of the driver's making on the table's holder and connection (count 0); null when none.
  virtual CSqlRewriter* pNewSqlStatement();
  // Whether a record description describes the table's rows already; when not, a statement's result columns are
  // described into a new one (pNewRecordDescription) that the table then attaches.
  virtual int bHasAttachedDescription();
  virtual CRecordDescription* pNewRecordDescription(const char16_t* name);
  virtual int bAttachDescription(CRecordDescription* description);
  // Repositions a context on the key of its saved record, keeping the current record (the continuation of a read
  // past the rows its statement fetched).
  virtual int bPositionKeepingBuffer(CCursor* context, std::uint32_t loadRecord, std::uint32_t direction,
                                     std::uint32_t count);
  // The last-read image made equal to the current record (keep 1: the other way round as well).
  virtual int bResetRecordBuffer(std::uint32_t keep);
  // The last-read image copied into the current record.
  virtual void CopyImageToCurrent();
  // The record store: the slot of a context's saved record (-1 when it has none), pins, the slot after a slot, a
  // slot read into the last-read image, and whether a slot's record was deleted.
  virtual std::uint32_t nStoreContextRecord(CCursor* context);
  virtual void PinRecordSlot(std::uint32_t slot);
  virtual void UnpinRecordSlot(std::uint32_t slot);
  virtual std::uint32_t nGetNextRecordSlot(std::uint32_t slot);
  virtual int bReadSlotIntoImage(std::uint32_t slot);
  virtual int bIsStoredRecordDeleted(std::uint32_t slot);
  // The next value of an automatic-identifier column, stored in the current record, before an INSERT writes it.
  virtual int bComputeNextIdentifier(CColumn* column);
  // The shared row source of a query's contexts (null when none) and its dropping.
  virtual CSharedRowSource* pGetSharedRowSource();
  virtual int bDropSharedRowSource();
  // The records of a context (flags 16: counted) from its start, or, with mode 3, those before its current record.
  virtual int bCountRecords(std::int64_t* count, std::uint32_t flags, std::uint32_t flags2, CCursor* context,
                            std::int32_t mode);
  // The condition the table keeps as its key condition after a restored position.
  virtual void SetKeyCondition(CKeyCondition* condition);
  // What saved positions ask of the table (its record store, its copy); null while the table has no record store.
  virtual IPositionTable* pGetPositionTable();
  // The default record context (the one of the empty name), made when missing; null (the error recorded) when it
  // cannot be made.
  virtual CCursor* pGetDefaultContext();

  // ---- lifecycle and contexts (table_lifecycle.cpp, table.cpp) ----
  // Every context, saved position and the shared row source dropped, the table closed.
  virtual void ResetState();
  // The record locks the table holds released as its close releases them (the connection's last close): 1 in the
  // base, which takes none.
  virtual int bReleaseRecordLocks();
  // The table description made (or an attached description applied again); 0 when it cannot be built.
  virtual int bEnsureTableDescription();
  // The holder's error category, else the connection's category of the holder's native code.
  virtual std::uint32_t nGetLastError();
  // 1 for key 0; any other key raises error 18 (the Oracle table accepts more).
  virtual int bCheckAvailable(RuntimeWord key);
  // Factories (count 0; null when the allocation or the driver fails).
  virtual CCursor* pNewContext();
  virtual CTableDescription* pNewTableDescription();
  virtual CSavedPosition* pNewSavedPosition();
  virtual CSharedRowSource* pNewSharedRowSource();
  virtual CAutomaticIdentifier* pNewAutomaticIdentifier();
  // A context that holds rows and has no record slot takes slot state 1.
  virtual void InitContextLockState(CCursor* context);
  void InitAllContextLockStates();
  // The context stored under the name (case and marks ignored), null when none; never makes one.
  CCursor* pFindContext(const char16_t* name);
  // The context of the name, made and stored when missing, made the current context; with read flag 0x8000 it
  // takes over the key condition the previous current context has in progress. Null (the error recorded) when it
  // cannot be made. No reference is added for the caller: the context table holds it.
  CCursor* pSelectContext(const char16_t* name, std::uint32_t direction, std::uint32_t flags);
  // The context re-filed under a new name, both of its names set to it; 0 when it is not stored or memory fails.
  int bRenameContext(CCursor* context, const char16_t* name);
  // Every record context removed from the table, each closed and released (a transaction ended).
  void ReleaseAllContexts();
  // Every context standing on a record finds it again by its key at its next move, reading the rows as the database
  // holds them rather than as the context's rows kept them (a rollback took writes back).
  void RereadFromContexts();
  // After a rollback the last-read image and the stored records may hold values the database no longer has: until
  // the table writes its record again, an UPDATE carries every column rather than those that differ from the image.
  int bIsImageUnconfirmed() const { return m_bImageUnconfirmed ? 1 : 0; }
  CCursor* pGetCurrentContext() const { return m_pCurrentContext; }
  void SetCurrentContext(CCursor* context) { m_pCurrentContext = context; }
  std::uint32_t nGetContextCount() const { return m_contexts.nGetCount(); }
  // The open name: the identifier source's name, else the record description's; set first by every lifecycle
  // operation.
  void SetOpenName();
  const char16_t* pszGetOpenName() const { return m_strOpenName.pszGet(); }
  // The record description as the driver's own class (null without one).
  CRecordDescription* pGetDriverDescription() const;
  CRecordDescription* pGetAttachedDescription() const { return m_pAttachedDescription; }

  // ---- reading (table_read.cpp) ----
  virtual int bDoRead(CCursor* context, const char16_t* keyName, std::uint32_t direction, std::uint32_t count,
                      std::uint32_t a, std::uint32_t lockMode, RuntimeWord lockAnswer, std::uint32_t flags,
                      int restart);
  // Before a read with lock (modes 2 and 3): the context's place, to go back to when the lock is refused (out null
  // for other modes). 0 when it could not be saved.
  int bSaveLockPlace(CCursor* context, std::uint32_t lockMode, CSavedPosition** place);
  virtual int bSeek(const char16_t* keyName, const char16_t* valueKey, RuntimeWord value, std::uint32_t exact,
                    std::uint32_t a, std::uint32_t lockMode, RuntimeWord lockAnswer, std::uint32_t forward,
                    std::uint32_t flags);
  virtual int bReadFallback(CCursor* context, const char16_t* keyName, std::uint32_t direction, std::uint32_t lockMode,
                            RuntimeWord lockAnswer, std::uint32_t flags);  // 0
  // The key a read with 0x20000 goes through: the parsed query's first link, else the identifying key, else the name
  // given.
  const char16_t* pszGetQueryKeyName(const char16_t* keyName);
  // A query given as SQL text read through its own key (the name pszGetQueryKeyName finds): read in the query's order.
  int bIsQueryOrderKey(const char16_t* keyName);
  // Whether a seek's value is one the key can be searched by; 0 with the error raised when not.
  int bSeekValueFits(const char16_t* keyName, RuntimeWord value, std::uint32_t direction, std::uint32_t exact);
  // No name (the table's own order), or a name of a column of the table.
  int bNamesKey(const char16_t* name);
  int bQueryKnowsReadName(const char16_t* name, std::uint32_t flags);
  // A context of a query given as SQL text other than the one that ran it: it has no statement of its own to run
  // and reads the shared rows, while they are there.
  int bReadsSharedRowsOnly(CCursor* context, std::uint32_t flags);
  // A query context that ran off an end of the key range a seek opened, its statement still open on the range.
  int bRanOffSeekRange(CCursor* context);

  // ---- writing (table_write.cpp) ----
  virtual int bExecuteModification(CCursor* context, std::uint32_t kind, std::uint32_t flags, RuntimeWord argument);
  virtual int bLockCurrentRecord(CCursor* context, std::uint32_t mode, RuntimeWord key, RuntimeWord out);    // 1
  virtual int bUnlockCurrentRecord(CCursor* context, std::uint32_t mode, RuntimeWord key, RuntimeWord out);  // 1
  virtual int bApplyRecordLockMode(CCursor* context, std::uint32_t mode, RuntimeWord key, RuntimeWord out);  // 1
  virtual int bDoModifyRecord(RuntimeWord key, std::uint32_t mode);
  virtual int bDoWriteRecord(RuntimeWord ignored, std::uint32_t flags, std::uint32_t mode, RuntimeWord argument);
  virtual int bDoAddRecord(std::uint32_t flags, std::uint32_t mode);
  // Told by the owner after another table of the access interface modified a record.
  void NotifyOtherTables(std::uint32_t kind, CCursor* context, std::uint32_t flags);
  // A failed run's category recorded for the runtime (a duplicate names its key, a missing value its column); a
  // CREATE TABLE refused for its text sizes runs again with the long text types. 1 only when that retry succeeded.
  // The table description a write needs, made when the table has none yet.
  int bHaveColumns();
  int bClassifyFailure(CCursor* context, std::uint32_t kind, std::uint32_t flags);
  int bRetryCreateWithLongTypes(CCursor* context, std::uint32_t flags);
  void NameDuplicateKey(std::uint32_t kind);
  void NameMissingValue();
  // A change kept in step in the record store and the shared rows, then told to every context (record: the record
  // as it was, null for the last-read image).
  void NotifyChange(std::uint32_t kind, CCursor* context, std::uint32_t flags, CRecord* record);
  // The shared rows (unless another table keeps them: ownSource false) and the contexts told of a change whose new
  // values are `written` and whose row held `before`.
  void NotifyRowReaders(std::uint32_t kind, CCursor* context, std::uint32_t flags, CRecord* record, CRecord* written,
                        CRecord* before, bool ownSource);

  // ---- creating, dropping, checking (table_ddl.cpp) ----
  virtual int bDoCreate(std::uint32_t dropFirst, std::uint32_t create);
  virtual int bDoDeleteAll();
  virtual int bCheckTableDescription(std::uint32_t* exists, std::uint32_t* compatible);
  virtual CRecordDescription* pLoadRecordDescription(const char16_t* name, std::uint32_t flag);
  // The name of a key column's index: a composite key's own (table-qualified and quoted when the connection asks
  // for it), any other key's generated; 0 when the quoting failed.
  virtual int pszMakeIndexName(CColumn* column, CTString& name);
  // "QZIDX" with the clock's seconds and the process-wide counter, which moves on after each name; 1.
  virtual int pszGenerateIndexName(CColumn* column, CTString& name);
  // One CREATE INDEX per qualifying key column (index flags: 1 unique keys, 2 keys with duplicates), run on the
  // context; a failure does not stop the others; 1 when all succeeded.
  int CreateIndexes(CCursor* context, std::uint32_t indexFlags);
  virtual std::uint32_t nGetObjectKind();  // 1
  int bIsUsable();

  // ---- query mode (table_query.cpp) ----
  virtual int bPrepareStatement(CSqlRewriter* statement, CCursor* context, const char16_t* keyName,
                                std::uint32_t forward, std::uint32_t flags, std::uint32_t* count);
  // The "$QZInternal" context run on the text; its context handed out (counted) when rows exist, else null.
  virtual CCursor* pRunInternalQuery(RuntimeWord ignored, const char16_t* text);
  // Runs a query (the runtime's query object, or an SQL text without one) as the table's rows; *hasRows 1 when
  // the result has columns. Flag 16 only prepares it; the next run without 16 executes it as prepared.
  virtual int bRunQueryText(std::uint32_t* hasRows, const char16_t* name, std::uint32_t flags, const char16_t* text,
                            RuntimeWord queryObject, RuntimeWord keySource);
  // Query mode entered afresh: every context, record, description and the parsed query of a previous run dropped;
  // error 77 for an SQL text the session's code page cannot carry.
  virtual int bSetupQueryMode(std::uint32_t one, const char16_t* name, RuntimeWord queryObject, std::uint32_t flags);
  // The statement of a query built (handed out with a reference) or, for a query the table reads through its key,
  // the first record read and the key's name handed out.
  virtual int bExecute(CSqlRewriter** statement, CTString& keyName, const char16_t* name, std::uint32_t flags,
                       const char16_t* text, RuntimeWord queryObject, RuntimeWord keySource);
  int bQueryHasLimit();
  int bIsPending() const;
  void ClearPending();
  int bQueryReportsRows() const;
  int bQueryJoinsFiles();
  // The kept "__SQL" context (counted) replaced; null drops it.
  void SetSqlContext(CCursor* context);
  CCursor* pGetSqlContext();
  // Whether a key (or, without a name, the identifying key) lets a SELECT fetch rows ahead.
  int bReadAheadSuits(const char16_t* keyName);
  // The quoted SQL name of the table an item belongs to.
  void QuoteItemTable(IHostItemDescription* item, CTString& out);
  // A context's result described into a new record description, which the table attaches.
  int bDescribeInto(CCursor* context);
  // A key for the rows of a context, of the kind the table's records carry (count 0); null for another kind.
  IRowKey* pNewContextRecordKey(CCursor* context);
  int bIsNumericKey();
  // The description the runtime reads back after a query (with an external reference): the record description
  // outside query mode, a copy made once in query mode.
  IHostFileDescription* pGetWorkingDescription();
  // The context stored under one name re-filed under another (1 when there is none to re-file).
  int RenameContext(const char16_t* from, const char16_t* to);
  // Reads through the name then continue on the query's statement: the "__SQL" context re-filed under it.
  void RenameSqlContext(const char16_t* name);
  // The last step of bEnsureTableDescription: in query mode the parsed query links the table description; outside,
  // columns naming another table take its (quoted) name.
  virtual int bLinkTableDescription();

  // ---- positions (table_positions.cpp) ----
  virtual CSavedPosition* pLookupPosition(std::uint32_t identifier);
  virtual int bReleasePosition(std::uint32_t identifier);
  // Every saved position released as by bReleasePosition, each pin given back.
  void ReleaseSavedPositions();
  virtual int bCountCurrentContext(RuntimeWord value, std::uint32_t a, std::uint32_t b);
  virtual int bCompareRecords(CSavedPosition* a, CSavedPosition* b, std::uint32_t* equal);
  virtual int bComparePositions(CSavedPosition* a, CSavedPosition* b, std::uint32_t* equal);
  virtual int bCompareOther(CSavedPosition* a, CSavedPosition* b, std::uint32_t* equal);  // 0
  int bGoToRecordByItems(RuntimeWord items, RuntimeWord keyName);
  int bMarkContextRecord(const char16_t* context);
  int bResetContextMark(const char16_t* context);
  int bGetPositionPerMille(std::uint32_t* out, const char16_t* context, std::uint32_t flags);
  int bSetPositionPerMille(const char16_t* context, std::uint32_t perMille, std::uint32_t a, std::uint32_t flags);
  int bCompareSavedPositions(std::uint32_t a, std::uint32_t b, RuntimeWord outEqual);
  int bGetOutOfRange(const char16_t* context, RuntimeWord out);
  int bGetRecordState(const char16_t* context, std::uint32_t* word, std::uint32_t* found);
  // Puts a context back on the current record through its key item (mode set: the current record and its image are
  // given back whatever the move gave); 1 when the context has no key item of the table.
  virtual int bPositionOnKey(std::uint32_t mode, CCursor* context, std::uint32_t a, std::uint32_t direction,
                             std::uint32_t count);
  // Moves the context through the identifying key from the current record's value: first, last, next, previous or
  // absolute (4), by count, counted from the rows after the value when the key is unique and has a value.
  virtual int bPositionOnIdentifyingKey(CCursor* context, CColumn* keyColumn, std::uint32_t a, std::uint32_t direction,
                                        std::uint32_t count);
  // The record description's identifying key (chosen on first use); null without a description or items.
  CColumnDescriptor* pGetIdentifyingItem();
  // Whether the context table holds this context.
  int bHoldsContext(CCursor* context);
  // Error 5 with the context's name as argument and item at the point; 0.
  int bRaiseUnknownContext(const char16_t* contextName, std::uint32_t point);
  // The record store: the slot of a record (a row with the same key, else the lowest free one, else a new one;
  // SLOT_NONE when it cannot be stored), and a slot's record copied out (0 past the end).
  std::uint32_t nStoreRecord(CRecord* record);
  std::uint32_t nStoreCurrentRecord();
  int bReadRecordSlot(std::uint32_t slot, CRecord* record);
  std::uint32_t nGetCurrentRecordSlot() const { return m_nCurrentRecordSlot; }
  CKeyedRowCache* pGetRecordStore() const { return m_pRecordStore; }

  // ---- large values, automatic identifiers, lock settings (table_large_values.cpp) ----
  virtual int bSetItemFromBuffer(IHostItemDescription* item, RuntimeWord buffer);
  virtual int bLinkMemoFile(IHostItemDescription* item, RuntimeWord value);
  virtual int bLoadDeferredValue(CColumn* column);  // 1
  virtual int bCopyValue(RuntimeWord valueObject, RuntimeWord a, RuntimeWord b);
  // Large item i of the record description links its column's value to the file named by value.
  int bCallLargeValueSlot(std::uint32_t index, RuntimeWord value);
  // The kept automatic identifier (counted for the caller), made on first use; null (out of memory) when none.
  CAutomaticIdentifier* pGetAutomaticIdentifier();
  int bComputeAutomaticIdentifier();
  int bSetLockMode(std::uint32_t mode);
  std::uint32_t nGetLockMode() const { return m_nRecordLockMode; }

  // ---- fixed answers and state ----
  int bTableReady(std::uint32_t, RuntimeWord) { return 1; }
  std::int64_t nTableProbe() { return 0; }
  std::uint32_t bIsOpen() const { return m_bOpen; }
  int SetState(std::uint32_t state) {
    m_nState = state;
    return 1;
  }
  std::uint32_t nGetState() const { return m_nState; }
  // The access interface that created the table (no reference).
  void SetAccessInterface(CAccessInterface* owner) { m_pOwner = owner; }
  CAccessInterface* pGetAccessInterface() const { return m_pOwner; }
  void* pGetIdentifierSource() const { return m_pIdentifierSource; }
  // The record description's name, "" without one.
  const char16_t* pszGetName() const;
  CErrorHolder* pGetErrorHolder() const { return m_pErrorHolder; }
  CConnection* pGetConnection() const { return m_pConnection; }
  IHostFileDescription* pGetRecordDescription() const { return m_pRecordDescription; }
  int bGetRecordBuffer(RuntimeWord out);
  int bSetRecordBuffer(RuntimeWord buffer);

  // ---- counts ----
  void AddRef() { ++m_nRefCount; }
  // Internal count - 1 when above 0; destroys the table at 0 while the external count is 0; the new count.
  std::uint32_t nRelease();
  std::uint32_t nGetRefCount() const { return m_nRefCount; }
  void AddExternalRef() { ++m_nExternalCount; }
  std::uint32_t nReleaseExternal();

  // ---- the driver's text-keyed registries hash and compare names with these ----
  // Sum of the UTF-16 units of the name folded through the runtime's locale service (French, case and marks).
  static std::uint32_t nHashName(const char16_t* name);
  // 0 when the names are equal ignoring case and non-spacing marks.
  static int nCompareNames(const char16_t* a, const char16_t* b);

  // Whether an item can identify a row: a primary key always; a unique key when, from interface level 9 on, it
  // does not allow null, and below level 9 when it is an automatic identifier.
  static int bIsKeyUsable(IHostItemDescription* item);

 protected:
  virtual ~CTable();
  // pClone's work for a copy of the caller's class (null: the out-of-memory error): the copy filled by CopyFrom, handed
  // out without a reference; destroyed, and null answered, when the copy failed; an exception passes on.
  CTable* pCloneInto(CTable* copy, CHashTable& cloneMap, RuntimeWord a, RuntimeWord b);
  // Records error 8 at the given table point with the table's name as file; answers 0.
  int nNotAvailable(std::uint32_t point);
  // A guard's answer for an item with no column: the table not open while it has no columns, else the item unknown.
  int bRaiseNoColumn();
  // Error 35 for a write or a delete on the rows of a query given as SQL text; 1 otherwise.
  int bRefuseSqlQueryWrite();
  // Whether the context's own record is the current record (the last read through any context). Placing puts a
  // context of the shared rows that does not stand there on it, in the context's order; 0 when it is not among them.
  int bStandsOnCurrentRecord(CCursor* context);
  int bPlaceOnCurrentRecord(CCursor* context);
  // After a read that ran off the rows of a query given as SQL text: the context placed on the current record.
  int bStayOnCurrentRecord(CCursor* context);
  // A query's rows read in full through the key before a seek or a record N looks through them; the current record,
  // its image and whether one was read stay as they were. 0 with the read's error, or out of memory.
  int bReadRowsKeepingRecord(const char16_t* keyName, std::uint32_t a, std::uint32_t lockMode, std::uint32_t flags);
  // Raises a table error (unit 3) at the point with the table's name as file; answers 0.
  int bRaise(std::uint32_t errorCode, std::uint32_t point, const char16_t* item = nullptr,
             std::uint32_t recordedState = 0);
  // Lifecycle failures are warnings: the held error's level becomes 2; answers 0.
  int bFailNonFatal();
  // Stores a context under its name (the context table takes the reference given); 0 when memory fails.
  int bStoreContext(const char16_t* name, CCursor* context);

  // ---- members ----
  CErrorHolder* m_pErrorHolder = nullptr;
  CTableDescription* m_pTableDescription = nullptr;
  CConnection* m_pConnection = nullptr;
  IHostFileDescription* m_pRecordDescription = nullptr;
  IHostFileDescription* m_pWorkingDescription = nullptr;  // query mode: a copy, made once on demand
  CRecordDescription* m_pAttachedDescription = nullptr;
  std::uint32_t m_bOpen = 0;
  CHashTable m_contexts{7};  // name (owned copy) to counted CCursor
  const char16_t* m_pLastContextName = nullptr;  // the one-entry lookup cache
  CCursor* m_pLastContext = nullptr;
  std::uint32_t m_nRecordLockMode = 0;
  CAutomaticIdentifier* m_pAutomaticIdentifier = nullptr;
  CCursor* m_pCurrentContext = nullptr;  // not counted: the context table holds it
  CQueryDescription* m_pParsedQuery = nullptr;
  std::uint32_t m_nQueryFlags = 0;
  CTString m_strQueryKeyName;
  std::uint32_t m_bQueryMode = 0;
  std::uint32_t m_bExistsAndUsable = 0;
  std::uint32_t m_nNotificationFlags = 1;
  std::uint32_t m_nIndexFlags = 2;
  CTString m_strSqlName;
  int m_bSqlNameMade = 0;
  std::uint32_t m_nState = 1;
  // The lock mode of the read a move found its record again by key for: the positioning read takes it.
  std::uint32_t m_nPositioningLockMode = 0;
  CAccessInterface* m_pOwner = nullptr;
  void* m_pIdentifierSource = nullptr;
  CKeyCondition* m_pKeyCondition = nullptr;
  CHashTable m_savedPositions{7};  // identifier to counted CSavedPosition
  CKeyedRowCache* m_pRecordStore = nullptr;
  CKeyedRowCache* m_pSecondRecordStore = nullptr;
  std::uint32_t m_nCurrentRecordSlot = 0xFFFFFFFF;
  CSharedRowSource* m_pSharedRowSource = nullptr;
  std::uint32_t m_bAttachedMismatch = 0;
  std::uint32_t m_bFreshContext = 0;
  // A read handed out a record of the query's rows since it last ran (its current record is one of them).
  std::uint32_t m_bRecordHandedOut = 0;
  std::uint32_t m_bImageUnconfirmed = 0;
  CCursor* m_pSqlContext = nullptr;
  CTString m_strOpenName;
  std::uint64_t m_nRecordSize = 0;
  // Speaks for the table to its saved positions (IPositionTable): a member rather than a second base, so that the
  // table's own operations keep one table of operations and a subclass may answer IPositionTable itself.
  class CPositionLink final : public IPositionTable {
   public:
    explicit CPositionLink(CTable* table) : m_pTable(table) {}
    CKeyedRowCache* pGetRecordStore() override;
    IPositionTable* pCloneThroughMap(CHashTable& cloneMap) override;

   private:
    CTable* m_pTable;
  };
  CPositionLink m_positionLink{this};

 private:
  void MakeStores();
  std::uint32_t m_nRefCount = 0;
  std::uint32_t m_nExternalCount = 0;
};

// The clock of generated index names (seconds, time() unless replaced) and the process-wide counter that tells two
// names of one second apart. Written by tests only (the setters) and read by CTable::pszGenerateIndexName, all under
// gcsDriverLock like every table operation. Each setter answers the previous value.
using IndexNameClock = std::uint32_t (*)();
IndexNameClock SetIndexNameClock(IndexNameClock clock);
std::uint32_t SetIndexNameCounter(std::uint32_t value);

// What bCopyValue is handed: an object that prepares a copy from a source and then takes it.
class IValueCopy {
 public:
  virtual int bPrepare(RuntimeWord source, std::uint32_t a, std::uint32_t b) = 0;
  virtual int bTake(RuntimeWord target, std::uint32_t a) = 0;

 protected:
  ~IValueCopy() = default;
};

// A table's copy in a clone map, or its new clone when the map has none: a table owns its cursors, so a copied
// cursor serves the table copy that registered itself first. Null when the clone failed.
CTable* pTableCopyInMap(CHashTable& cloneMap, CTable* table);
