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
  int bCheckItem(std::uint32_t a, RuntimeWord b, std::uint32_t c, std::uint32_t d);
  int bSavePosition(std::uint32_t identifier);
  int bCheckItemValue(RuntimeWord value, const char16_t* context, std::uint32_t a);
  int bReadCurrentContext(RuntimeWord value, std::uint32_t a, std::uint32_t b);
  int bGetPositionPerMille(std::uint32_t* out, const char16_t* context, std::uint32_t flags);
  int bSetPositionPerMille(const char16_t* context, std::uint32_t perMille, std::uint32_t a, std::uint32_t flags);
  int bCallLargeValueSlot(std::uint32_t index, RuntimeWord value);
  std::uint32_t nGetLargeValueState(std::uint32_t index, RuntimeWord value);
  int bGetRecordBuffer(RuntimeWord out);
  int bSetRecordBuffer(RuntimeWord buffer);
  int bDropSharedRowSource();
  int bCompareSavedPositions(std::uint32_t a, std::uint32_t b, RuntimeWord outEqual);
  int bGetOutOfRange(const char16_t* context, RuntimeWord out);
  int bGetRecordState(const char16_t* context, std::uint32_t* word, std::uint32_t* found);
  int bSetLockMode(std::uint32_t mode);
  // Query mode is never entered while the table engine is not built: these answer 0 and the description is the
  // record description.
  int bIsSqlQuery() const { return 0; }
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

 private:
  std::uint32_t m_nRefCount = 0;
  std::uint32_t m_nExternalCount = 0;
};
