// CTable: the generic object behind every data file the runtime opens through an access interface, a table of the
// database or the result of a query. The driver object's table factory makes it (the Oracle class in practice), a
// CTableRegistry holds it for the runtime's file handle, and the access interface that created it keeps one more
// reference; the runtime reaches it only through the access interface, under gcsDriverLock.
//
// Counted twice: internal references (AddRef, nRelease) and external ones; the table goes when both are 0. It holds
// a reference on its connection (given back through the driver), its record description and its error holder.
//
// The operations the host binding and the connection layer call are declared here in the order of the table's
// operations. Reading, writing, positioning, locking and query mode belong to the table engine, which is not built
// yet: those operations record error 8 (operation not available) in the table's holder and answer 0, so a caller
// always gets a clean failure. Operations whose answer is fixed in every table class answer it.
#pragma once

#include <cstdint>

#include "foundation/t_string.h"
#include "host/host_objects.h"

class CAccessInterface;
class CCursor;
class CKeyCondition;
class CRecordDescription;
class CSharedRowSource;
class CSqlRewriter;
class CTableDescription;
class CColumn;
class CFieldValue;
class CConnection;
class CErrorHolder;
class CHashTable;
class CQueryDescription;
class CRecord;
class IRowKey;
class IHostFileDescription;
class IHostConnectionDescription;
class IPositionTable;

class CTable {
 public:
  // The record description is the runtime's file description (the driver's own CRecordDescription or one of the
  // runtime's making): the table holds an external reference on it.
  CTable(IHostFileDescription* recordDescription, CConnection* connection, CErrorHolder* errorHolder);
  CTable(const CTable&) = delete;
  CTable& operator=(const CTable&) = delete;

  // ---- operations, in their order ----
  virtual void DeletingDestructor(std::uint32_t flags);
  virtual int nSlot1();  // answers 0
  virtual int bReadLargeValue(std::uint32_t index, RuntimeWord value);
  virtual int bWriteLargeValue(std::uint32_t index, RuntimeWord buffer);
  virtual int bCreateAndOpen(RuntimeWord value, std::uint32_t dropFirst);
  virtual int bDropTable();  // DROP only, stays closed
  virtual int bDeleteAll();
  virtual int bOpenOrCreate(std::uint32_t a, RuntimeWord b);
  virtual int bOpen(std::uint32_t a, RuntimeWord b);
  virtual int bClose();
  virtual int bSaveRecord(RuntimeWord key, std::uint32_t flags, std::uint32_t mode);
  virtual int bDeleteRecord(RuntimeWord key, std::uint32_t mode);
  virtual int bWriteRecord(RuntimeWord key, std::uint32_t flags, std::uint32_t mode);
  virtual int bNotSupportedA(RuntimeWord a, std::uint32_t b);
  virtual int bNotSupportedB();
  virtual int bModifyRecord(RuntimeWord key, std::uint32_t mode, RuntimeWord argument);
  virtual int bRead(const char16_t* context, std::uint32_t direction, std::uint32_t flags, std::uint32_t a,
                    RuntimeWord out, std::uint32_t b);
  virtual int bReadInContext(const char16_t* context, std::uint32_t a, RuntimeWord b, std::uint32_t c, std::uint32_t d,
                             RuntimeWord e, std::uint32_t f);
  virtual int bSeekOnKey(const char16_t* context, RuntimeWord a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                         RuntimeWord e, std::uint32_t f, std::uint32_t g);
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
  // What the columns and table descriptions read of their table. The table engine answers them; until it is built
  // the row key and the query description record error 8 and answer null. The column-qualification setting is the
  // query mode (never entered yet), the state word the table's state.
  virtual IRowKey* pNewRecordKey(CRecord* record);  // count 0
  virtual std::uint32_t nGetColumnQualification();
  virtual std::uint32_t nGetStateWord();
  virtual CQueryDescription* pGetQueryDescription();
  // What a statement's table reference reads of its table: the table object's flag word, the item that stands for
  // the table in a select list (null when it has none) and the field value that receives its data. The table
  // engine answers them; until it is built they record error 8 and answer 0 or null.
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
  // The shared row source of a query's contexts (none yet) and its dropping.
  virtual CSharedRowSource* pGetSharedRowSource();
  virtual int bDropSharedRowSource();
  // The records of a context (flags 16: counted) from its start, or, with mode 3, those before its current record.
  virtual int bCountRecords(std::int64_t* count, std::uint32_t flags, std::uint32_t flags2, CCursor* context,
                            std::int32_t mode);
  // The condition the table keeps as its key condition after a restored position.
  virtual void SetKeyCondition(CKeyCondition* condition);
  // What saved positions ask of the table (its record store, its copy); null while the table has no record store.
  virtual IPositionTable* pGetPositionTable();
  // The default record context (the one of the empty name): a shared row source keeps its place while another
  // context reads the rows to their end. None yet: error 8, null.
  virtual CCursor* pGetDefaultContext();

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
  void SetRegistry(CAccessInterface* owner) { m_pOwner = owner; }
  CAccessInterface* pGetRegistry() const { return m_pOwner; }
  void* pGetIdentifierSource() const { return m_pIdentifierSource; }
  // The record description's name, "" without one.
  const char16_t* pszGetName() const;
  CErrorHolder* pGetErrorHolder() const { return m_pErrorHolder; }
  CConnection* pGetConnection() const { return m_pConnection; }
  IHostFileDescription* pGetRecordDescription() const { return m_pRecordDescription; }

  // ---- table engine operations the access interface forwards to (not built yet: error 8, answer 0) ----
  int bCreate();  // creates the table in the database and leaves it closed; never drops it
  int bClearRecord(std::uint32_t flags, std::uint32_t mode);  // clears the current record; never inserts one
  int bDeleteRecordChecked(RuntimeWord sqlQuery, RuntimeWord value);
  int bMarkContextRecord(const char16_t* context);
  int bResetContextMark(const char16_t* context);
  int bSavePosition(std::uint32_t identifier);
  int bReadCurrentContext(RuntimeWord value, std::uint32_t a, std::uint32_t b);
  int bGetPositionPerMille(std::uint32_t* out, const char16_t* context, std::uint32_t flags);
  int bSetPositionPerMille(const char16_t* context, std::uint32_t perMille, std::uint32_t a, std::uint32_t flags);
  int bCallLargeValueSlot(std::uint32_t index, RuntimeWord value);
  std::uint32_t nGetLargeValueState(std::uint32_t index, RuntimeWord value);
  int bGetRecordBuffer(RuntimeWord out);
  int bSetRecordBuffer(RuntimeWord buffer);
  int bCompareSavedPositions(std::uint32_t a, std::uint32_t b, RuntimeWord outEqual);
  int bGetOutOfRange(const char16_t* context, RuntimeWord out);
  int bGetRecordState(const char16_t* context, std::uint32_t* word, std::uint32_t* found);
  int bSetLockMode(std::uint32_t mode);
  // Query mode is never entered while the table engine is not built: these answer 0 and the description is the
  // record description.
  int bIsPending() const { return 0; }
  int bQueryReportsRows() const { return 0; }
  IHostFileDescription* pGetWorkingDescription();  // with an external reference
  void RenameSqlContext(const char16_t*) {}        // no "__SQL" context exists outside query mode
  void ReleaseAllContexts() {}                     // no record context is ever made yet
  void NotifyOtherTables(std::uint32_t, const char16_t*, std::uint32_t) {}

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
  // Records error 8 at the given table point with the table's name as file; answers 0.
  int nNotAvailable(std::uint32_t point);

  CErrorHolder* m_pErrorHolder;
  CConnection* m_pConnection;
  IHostFileDescription* m_pRecordDescription;
  std::uint32_t m_bOpen = 0;
  std::uint32_t m_nState = 1;
  CAccessInterface* m_pOwner = nullptr;
  void* m_pIdentifierSource = nullptr;
  CTString m_strSqlName;
  int m_bSqlNameMade = 0;

 private:
  std::uint32_t m_nRefCount = 0;
  std::uint32_t m_nExternalCount = 0;
};

// A table's copy in a clone map, or its new clone when the map has none: a table owns its cursors, so a copied
// cursor serves the table copy that registered itself first. Null when the clone failed.
CTable* pTableCopyInMap(CHashTable& cloneMap, CTable* table);
