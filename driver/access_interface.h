// CAccessInterface: the object through which the runtime drives the tables, queries and records of one connection.
// The driver object makes one per (connection, table description) and registers it under its key "Table=%s;%s";
// the runtime calls its 82 operations by position, each naming its table by a runtime file handle. The interface
// finds the table (through the table registry of the handle's context, or the process-wide one-entry cache), calls
// the table operation under gcsDriverLock and hands the answer back unchanged. Which table operation each position
// calls is kept in one table (access_interface.cpp, "positions to table operations").
//
// Counted twice: internal references (the driver's key map and its temporary lookups) and external ones (the
// runtime). It holds references on its connection, its error holder, its record description (an external one) and
// its query source object (an external one), one on every table it created, and a pointer to the driver object that
// made it, through which it reaches the table registries and gives connections back: never through whichever driver
// object happens to be current.
#pragma once

#include <cstdint>

#include "foundation/t_string.h"
#include "host/host_objects.h"

class CConnection;
class CCursor;
class CDriver;
class CErrorHolder;
class CHashTable;
class CTable;
class CTableRegistry;
class IHostConnectionDescription;
class IHostFileDescription;
class IHostFileHandle;
class IHostNamedObject;

// The SQL engine library's version, as the runtime's SQL query object last gave it (process-wide).
extern std::uint32_t gnSqlEngineLibraryVersion;
inline constexpr std::uint32_t SQL_ENGINE_MIN_VERSION = 23;

class CAccessInterface final {
 public:
  CAccessInterface(CDriver* driver, const char16_t* key, IHostFileDescription* recordDescription,
                   CConnection* connection, CErrorHolder* errorHolder);
  CAccessInterface(const CAccessInterface&) = delete;
  CAccessInterface& operator=(const CAccessInterface&) = delete;

  // ---- the runtime's operations, in position order ----
  virtual std::int32_t nGetInterfaceVersion();                                                          // slot 0: 11
  virtual std::int32_t nGetInterfaceMinVersion();                                                       // slot 1: 8
  virtual std::int32_t nReturnMinusOne2();                                                              // slot 2
  virtual std::int32_t nReturnMinusOne3();                                                              // slot 3
  virtual void DoNothing4();                                                                            // slot 4
  virtual std::uint32_t AddExternalRef();                                                               // slot 5
  virtual std::int32_t nReleaseExternalRef();                                                           // slot 6
  virtual CErrorHolder* pGetErrorHolderFor(IHostFileHandle* handle);                                    // slot 7
  virtual std::int32_t bIsOpen(IHostFileHandle* handle);                                                // slot 8
  virtual IHostFileDescription* piGetRecordDescription();                                               // slot 9
  virtual std::int32_t bSupportsTransactions(IHostFileHandle* handle, RuntimeWord a, RuntimeWord b);    // slot 10
  virtual std::int32_t nNotAvailableA(IHostFileHandle* handle);                                         // slot 11
  virtual std::int32_t bEnsureTable(IHostFileHandle* handle, std::uint32_t a, RuntimeWord b);           // slot 12
  virtual std::int32_t bOpenOrCreate(IHostFileHandle* handle, std::uint32_t a, RuntimeWord b);          // slot 13
  virtual std::int32_t bCreateAndOpen(IHostFileHandle* handle, RuntimeWord a);                          // slot 14
  virtual std::int32_t bOpen(IHostFileHandle* handle, std::uint32_t a, RuntimeWord b);                  // slot 15
  virtual std::int32_t bSetTablesStateByName(IHostFileHandle* handle, std::uint32_t state);             // slot 16
  virtual std::int32_t bClose(IHostFileHandle* handle);                                                 // slot 17
  virtual std::int32_t bClearRecord(IHostFileHandle* handle, std::uint32_t flags, std::uint32_t mode);  // slot 18
  virtual std::int32_t bSaveRecord(IHostFileHandle* handle, RuntimeWord key, std::uint32_t flags,
                                   std::uint32_t mode);                                              // slot 19
  virtual std::int32_t bNotSupportedA(IHostFileHandle* handle, RuntimeWord a, std::uint32_t b);      // slot 20
  virtual std::int32_t bDeleteRecord(IHostFileHandle* handle, RuntimeWord key, std::uint32_t mode);  // slot 21
  virtual std::int32_t bWriteRecord(IHostFileHandle* handle, RuntimeWord key, std::uint32_t flags,
                                    std::uint32_t mode);  // slot 22
  virtual std::int32_t bSeekOnKey(IHostFileHandle* handle, const char16_t* context, RuntimeWord a, std::uint32_t b,
                                  std::uint32_t c, std::uint32_t d, RuntimeWord e, std::uint32_t f,
                                  std::uint32_t g);              // slot 23
  virtual std::int32_t bNotSupportedB(IHostFileHandle* handle);  // slot 24
  virtual std::int32_t bModifyRecord(IHostFileHandle* handle, RuntimeWord key, std::uint32_t mode,
                                     RuntimeWord argument);  // slot 25
  virtual std::int32_t bRead(IHostFileHandle* handle, const char16_t* context, std::uint32_t direction,
                             std::uint32_t flags, std::uint32_t a, RuntimeWord out, std::uint32_t b);  // slot 26
  virtual std::int32_t bReadInContext(IHostFileHandle* handle, const char16_t* context, std::uint32_t a, RuntimeWord b,
                                      std::uint32_t c, std::uint32_t d, RuntimeWord e,
                                      std::uint32_t f);                                                    // slot 27
  virtual std::int32_t bLockTable(IHostFileHandle* handle, std::uint32_t mode, RuntimeWord previousMode);  // slot 28
  virtual std::int32_t bUnlockTable(IHostFileHandle* handle);                                              // slot 29
  virtual std::int32_t bTestRecordLock(IHostFileHandle* handle, RuntimeWord a, std::uint32_t b,
                                       RuntimeWord c);                                                     // slot 30
  virtual std::int32_t bTestRecordLockDefault(IHostFileHandle* handle, RuntimeWord a);                     // slot 31
  virtual std::int32_t bGetOutOfRange(IHostFileHandle* handle, const char16_t* context, RuntimeWord out);  // slot 32
  virtual std::int32_t bGetRecordState(IHostFileHandle* handle, const char16_t* context, std::uint32_t* word,
                                       std::uint32_t* found);                                            // slot 33
  virtual std::int32_t bSetLockMode(IHostFileHandle* handle, std::uint32_t mode);                        // slot 34
  virtual std::int64_t nTableProbe(IHostFileHandle* handle);                                             // slot 35
  virtual std::int32_t bGetRecordFlags(IHostFileHandle* handle, RuntimeWord key, RuntimeWord outFlags);  // slot 36
  virtual std::int32_t bGoToRecord(IHostFileHandle* handle, const char16_t* context, RuntimeWord a, std::uint32_t b,
                                   RuntimeWord c, std::uint32_t d, IHostSqlQuery* sqlQuery);  // slot 37
  virtual std::int32_t bDeleteRecordChecked(IHostFileHandle* handle, IHostSqlQuery* sqlQuery,
                                            RuntimeWord value);                               // slot 38
  virtual std::int32_t bMarkContextRecord(IHostFileHandle* handle, const char16_t* context);  // slot 39
  virtual std::int32_t bResetContextMark(IHostFileHandle* handle, const char16_t* context);   // slot 40
  virtual std::int32_t bCheckItem(IHostFileHandle* handle, std::uint32_t a, RuntimeWord b, std::uint32_t c,
                                  std::uint32_t d);                                       // slot 41
  virtual std::int32_t bSavePosition(IHostFileHandle* handle, std::uint32_t identifier);  // slot 42
  virtual std::int32_t bCheckItemValue(IHostFileHandle* handle, const char16_t* context, RuntimeWord value,
                                       std::uint32_t a);                       // slot 43
  virtual std::int32_t bIsReadOnly(IHostFileHandle* handle, RuntimeWord out);  // slot 44
  virtual std::int32_t bReadCurrentContext(IHostFileHandle* handle, RuntimeWord value, std::uint32_t a,
                                           std::uint32_t b);  // slot 45
  virtual std::int32_t bGetPositionPerMille(IHostFileHandle* handle, const char16_t* context, std::uint32_t* out,
                                            std::uint32_t flags);  // slot 46
  virtual std::int32_t bSetPositionPerMille(IHostFileHandle* handle, const char16_t* context, std::uint32_t perMille,
                                            std::uint32_t a, std::uint32_t flags);                            // slot 47
  virtual std::int32_t bReadLargeValue(IHostFileHandle* handle, std::uint32_t index, RuntimeWord value);      // slot 48
  virtual std::int32_t bWriteLargeValue(IHostFileHandle* handle, std::uint32_t index, RuntimeWord buffer);    // slot 49
  virtual std::int32_t bGetRecordBuffer(IHostFileHandle* handle, RuntimeWord out);                            // slot 50
  virtual std::int32_t bSetRecordBuffer(IHostFileHandle* handle, RuntimeWord buffer);                         // slot 51
  virtual std::int32_t bCallLargeValueSlot(IHostFileHandle* handle, std::uint32_t index, RuntimeWord value);  // slot 52
  virtual std::int32_t nGetLargeValueState(IHostFileHandle* handle, std::uint32_t index, RuntimeWord value);  // slot 53
  virtual std::int32_t bResetContext(IHostFileHandle* handle, const char16_t* context);                       // slot 54
  virtual std::int32_t bRestorePosition(IHostFileHandle* handle, RuntimeWord position, std::uint32_t flags);  // slot 55
  virtual std::int32_t bNotSupportedC(IHostFileHandle* handle, RuntimeWord a, RuntimeWord b, std::uint32_t c,
                                      RuntimeWord d);                  // slot 56
  virtual std::int32_t nNotAvailableB(IHostFileHandle* handle);        // slot 57
  virtual std::int32_t nNotAvailableC(IHostFileHandle* handle);        // slot 58
  virtual std::int32_t nNotAvailableD(IHostFileHandle* handle);        // slot 59
  virtual std::int32_t bDropSharedRowSource(IHostFileHandle* handle);  // slot 60
  virtual std::int32_t bCompareSavedPositions(IHostFileHandle* handle, std::uint32_t a, std::uint32_t b,
                                              RuntimeWord outEqual);  // slot 61
  virtual std::int32_t nReturnZero62();                               // slot 62
  virtual std::int32_t nReturnZero63();                               // slot 63
  virtual std::int32_t bDeleteAll(IHostFileHandle* handle);           // slot 64
  virtual void DoNothing65();                                         // slot 65
  virtual void DoNothing66();                                         // slot 66
  virtual void DoNothing67();                                         // slot 67
  virtual void DoNothing68();                                         // slot 68
  virtual void DoNothing69();                                         // slot 69
  virtual void DoNothing70();                                         // slot 70
  virtual void DoNothing71();                                         // slot 71
  virtual void DoNothing72();                                         // slot 72
  virtual void DoNothing73();                                         // slot 73
  virtual void DoNothing74();                                         // slot 74
  virtual void DoNothing75();                                         // slot 75
  virtual void DoNothing76();                                         // slot 76
  virtual void DoNothing77();                                         // slot 77
  virtual void DoNothing78();                                         // slot 78
  virtual std::int32_t bCreate(IHostFileHandle* handle);              // slot 79
  virtual void DeletingDestructor(std::uint32_t flags);               // slot 80
  virtual std::int32_t bExecuteQuery(std::uint32_t* hasRows, IHostFileHandle* handle, const char16_t* context,
                                     IHostSqlQuery* sqlQuery, std::uint32_t flags, RuntimeWord value);  // slot 81

  // ---- the driver's side (called with gcsDriverLock held) ----
  void AddRef() { ++m_nRefCount; }
  // Internal count - 1; destroys the interface when both counts are 0 and answers 0; else the new internal count.
  std::int32_t nRelease();
  std::uint32_t nGetRefCount() const { return m_nRefCount; }
  std::uint32_t nGetExternalCount() const { return m_nExternalCount; }

  const CTString& sGetKey() const { return m_sKey; }
  CDriver* pGetDriver() const { return m_pDriver; }
  CConnection* pGetConnection() const { return m_pConnection; }
  CErrorHolder* pGetErrorHolder() const { return m_pErrorHolder; }
  // The record description's name, "" without one.
  const char16_t* pszGetName() const;
  IHostFileDescription* pGetRecordDescription() const { return m_pRecordDescription; }
  void SetRecordDescription(IHostFileDescription* recordDescription);
  // Replaces the query source object (external references on both sides); pGetQuerySource gives no reference.
  void SetQuerySource(IHostNamedObject* source);
  IHostNamedObject* pGetQuerySource() const { return m_pQuerySource; }

  // The tables this interface created, each with one reference of the interface.
  void RegisterTable(CTable* table);
  void UnregisterTable(IHostFileHandle* handle, CTable* table);
  CTable* pFindTable(IHostFileHandle* handle);
  CTable* pFindOrCreateTable(IHostFileHandle* handle, std::uint32_t* created);
  std::uint32_t nGetTableCount() const;

  void PassErrorToTableRegistry(IHostFileHandle* handle, CErrorHolder* holder);
  CTableRegistry* pFindTableRegistry(IHostFileHandle* handle);
  CTableRegistry* pFindOrCreateTableRegistry(IHostFileHandle* handle, std::uint32_t* created);
  void ReleaseTableRegistry(IHostFileHandle* handle, CTableRegistry* registry);

  // Every table of the interface gives up its record contexts (the driver calls this at a transaction's end).
  void ReleaseAllTableContexts();
  // Every table of the interface releases its record locks (its connection's last close).
  void ReleaseAllRecordLocks();
  // Every table of the interface reads its rows again from where its contexts stand (work was rolled back).
  void RereadAllTables();
  // Every other table of the interface takes a modification notice from `skip`.
  void NotifyTablesExcept(CTable* skip, std::uint32_t kind, CCursor* context, std::uint32_t flags);
  // Every table made for that runtime connection description lets go of the record lock of `value`.
  void NotifyTablesOfConnection(IHostConnectionDescription* hostConnectionDescription, std::uint64_t value);
  // The driver object that made the interface is going: from now on the interface reaches no table registry and
  // gives its connection back plainly.
  void ForgetDriver() { m_pDriver = nullptr; }

 private:
  ~CAccessInterface();

  // The dispatch of one position through the steps its row in the wiring table names.
  template <std::size_t P, typename... A>
  auto Dispatch(IHostFileHandle* handle, A... arguments);
  template <std::size_t P, typename... A>
  auto RunFrame(IHostFileHandle* handle, A... arguments);
  template <std::size_t P, typename... A>
  std::int32_t RunOpen(IHostFileHandle* handle, A... arguments);
  std::int32_t RunNotAvailable(IHostFileHandle* handle, std::uint32_t point);
  // The SQL engine library check of the query operations; 1 when the operation may go on.
  std::int32_t bCheckSqlEngine(IHostSqlQuery* sqlQuery);

  void Raise(std::uint32_t recordedCode, std::uint32_t point, CConnection* reporter, const char16_t* file,
             std::uint32_t errorCode, const char16_t* first = nullptr, const char16_t* second = nullptr);
  // The tables of the set, each with a reference for the caller, so that a visit may change the set.
  template <typename Visit>
  void VisitTables(Visit visit);

  CDriver* m_pDriver;
  std::uint32_t m_nRefCount = 0;
  std::uint32_t m_nExternalCount = 0;
  CErrorHolder* m_pErrorHolder;
  CConnection* m_pConnection;
  IHostFileDescription* m_pRecordDescription = nullptr;
  CTString m_sKey;
  CHashTable* m_pTables;
  std::uint32_t m_bRenameSqlContext = 0;
  IHostNamedObject* m_pQuerySource = nullptr;
};
