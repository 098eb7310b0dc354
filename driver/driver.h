// CDriver: the driver object that piQueryInterface hands to the runtime (the final class is COracleDriver over
// CDriverOra). The runtime drives connections, transactions, locks, catalog listings and table descriptions through
// its 68 operations, called by slot number, and obtains from it the access interfaces through which it drives tables.
// It is also the single factory of the system's main objects, so that the Oracle classes are chosen in one place.
//
// It keeps three registries: connections by connection text, access interfaces by "Table=%s;%s" key (each with a
// one-entry cache of the last lookup) and table registries by the runtime's registry key. Every locked operation
// holds gcsDriverLock for its whole duration; the lock is re-entrant. Counted: the runtime owns the reference that
// piQueryInterface takes; the driver destroys itself through slot 39 when the count reaches 0.
#pragma once

#include <cstdint>

#include "foundation/hash_table.h"
#include "foundation/t_string.h"
#include "host/host_objects.h"
#include "sql/driver_services.h"
#include "sql/object_hash_map.h"

class CAccessInterface;
class CColumn;
class CColumnDescriptor;
class CFieldValue;
class CHostValue;
class CSqlRewriter;
class CValueLeaf;
class CConnection;
class CErrorHolder;
class CRecordDescription;
class CTable;
class CTableRegistry;
class IHostConnectionDescription;
class IHostFileDescription;
class IHostFileHandle;
class IHostKeyTranslator;
class IHostNamedObject;
class IHostRegistryKey;

inline constexpr std::uint32_t DRIVER_LABEL_COUNT = 28;

class CDriver {
 public:
  CDriver();
  CDriver(const CDriver&) = delete;
  CDriver& operator=(const CDriver&) = delete;

  // ---- the runtime's slots ----
  virtual std::int32_t nGetInterfaceVersion();                            // slot 0: 18
  virtual std::int32_t nGetInterfaceMinVersion();                         // slot 1: 17
  virtual std::int32_t nReserved2();                                      // slot 2: -1
  virtual std::int32_t nReserved3();                                      // slot 3: -1
  virtual void Reserved4();                                               // slot 4
  virtual std::uint32_t AddRef();                                         // slot 5
  virtual std::int32_t nRelease();                                        // slot 6
  virtual std::int32_t nClearError();                                     // slot 7
  virtual int bOpenConnection(IHostConnectionDescription* description);   // slot 8
  virtual int bCloseConnection(IHostConnectionDescription* description);  // slot 9
  virtual int bCopyTableRegistry(IHostKeyTranslator* translator, IHostRegistryKey* source, IHostRegistryKey* target,
                                 std::uint32_t flags);                              // slot 10
  virtual CErrorHolder* pGetErrorHolder();                                          // slot 11
  virtual int bSetTablesStateByName(IHostFileHandle* handle, std::uint32_t state);  // slot 12
  virtual CAccessInterface* piGetAccessInterface(IHostConnectionDescription* description,
                                                 IHostFileDescription* table);  // slot 13
  virtual int bListCatalogOf(void* value, IHostConnectionDescription* description,
                             std::uint32_t flags);  // slot 14
  virtual CRecordDescription* pGetRecordDescription(const char16_t* name,
                                                    IHostConnectionDescription* description);  // slot 15
  virtual int piCreateAccessInterfaceDefault(CAccessInterface** out, RuntimeWord query, const char16_t* name,
                                             IHostConnectionDescription* description, RuntimeWord fifth,
                                             std::uint32_t flags);                                  // slot 16
  virtual int CloseTableRegistry(IHostRegistryKey* key);                                            // slot 17
  virtual int bBeginTransaction(IHostConnectionDescription* description, const char16_t* name);     // slot 18
  virtual int bCommitTransaction(IHostConnectionDescription* description, const char16_t* name);    // slot 19
  virtual int bRollbackTransaction(IHostConnectionDescription* description, const char16_t* name);  // slot 20
  virtual int bLockTable(IHostConnectionDescription* description, RuntimeWord lockArgument);        // slot 21
  virtual int bLockRows(IHostConnectionDescription* description, RuntimeWord lockArgument);         // slot 22
  virtual int bGetNativeTypeList(void* value);                                                      // slot 23: 0
  virtual int bReportNotSupported(RuntimeWord first, IHostConnectionDescription* description, RuntimeWord third,
                                  RuntimeWord fourth);  // slot 24
  virtual int nNotAvailable25();                        // slot 25
  virtual int bConnectAndDescribeTable(std::uint32_t* found, const char16_t* name,
                                       IHostConnectionDescription* description);  // slot 26
  virtual int bGetReferentialLinksOf(void* value, RuntimeWord second, RuntimeWord third,
                                     IHostConnectionDescription* description, std::uint32_t flags);  // slot 27
  virtual int bListDatabases(void* value);                                                           // slot 28
  virtual int bSetAccessInterfaceObject(RuntimeWord first, IHostConnectionDescription* description,
                                        IHostNamedObject* object);                                     // slot 29
  virtual int bStoreHostPair(RuntimeWord a, RuntimeWord b);                                            // slot 30
  virtual int nNotAvailable31(RuntimeWord a, RuntimeWord b, RuntimeWord c, const char16_t* fileName);  // slot 31
  virtual int bSetTableRegistryName(IHostRegistryKey* key, const char16_t* name);                      // slot 32
  virtual int piCreateAccessInterfaceFor(CAccessInterface** out, RuntimeWord query, const char16_t* name,
                                         IHostConnectionDescription* description, RuntimeWord fifth,
                                         std::uint32_t flags, RuntimeWord seventh);  // slot 33
  virtual int bCloseThroughAccessInterface(RuntimeWord first, const char16_t* name,
                                           IHostConnectionDescription* description);  // slot 34
  virtual int nReserved35();                                                          // slot 35: 1
  virtual int bStoreHostValue(RuntimeWord value);                                     // slot 36
  virtual int bCreateTable(RuntimeWord creationArgument, IHostConnectionDescription* description, const char16_t* name,
                           IHostFileDescription* table);  // slot 37
  virtual int nNotAvailable38(RuntimeWord first, IHostConnectionDescription* description,
                              RuntimeWord third);  // slot 38
  // Destroys the object as its final class, which overrides it (there is no virtual destructor); bit 0 of the flags
  // frees the memory too.
  virtual void DeletingDestructor(std::uint32_t flags);                                             // slot 39
  virtual int nReserved40();                                                                        // slot 40: 1
  virtual int FormatConnectionDescription(CTString* out, IHostConnectionDescription* description);  // slot 41
  virtual int nReserved42();                                                                        // slot 42: 0
  virtual int nReserved43();                                                                        // slot 43: 0
  // ---- factories ----
  virtual void* pCreateFieldValue(CErrorHolder* holder, CConnection* connection);                 // slot 44
  virtual void* pCreateNativeTextValue(CErrorHolder* holder, RuntimeWord type);                   // slot 45
  virtual void* pCreateParameterBinding(RuntimeWord a, RuntimeWord b);                            // slot 46
  virtual void* pCreateParameter(RuntimeWord a, RuntimeWord b);                                   // slot 47
  virtual CRecordDescription* pCreateDescription(CConnection* connection, CErrorHolder* holder);  // slot 48
  virtual CTableRegistry* pCreateTableRegistry();                                                 // slot 49
  virtual CTable* pCreateTable(IHostFileDescription* description, CConnection* connection,
                               CErrorHolder* holder);                                                // slot 50
  virtual void* pCreateCursor(RuntimeWord a, RuntimeWord b);                                         // slot 51
  virtual void* pCreateColumnBinding(RuntimeWord a, RuntimeWord b);                                  // slot 52
  virtual CSqlRewriter* pCreateSqlRewriter(CErrorHolder* holder, CConnection* connection);            // slot 53
  virtual CErrorHolder* pCreateErrorHolder();                                                        // slot 54
  virtual void* pCreateAutomaticIdentifier();                                                        // slot 55
  virtual CRecordDescription* pCreateDescriptionFor(const char16_t* name, CConnection* connection);  // slot 56
  virtual CValueLeaf* pCreateValueLeaf(CFieldValue* value, std::uint64_t position, std::uint32_t flags,
                                       const char16_t* name);  // slot 57
  virtual void NotifyAccessInterfacesExcept(IHostConnectionDescription* description,
                                            std::uint64_t value);  // slot 58
  virtual CColumnDescriptor* pCreateColumnDescriptor(CRecordDescription* description,
                                                     std::uint32_t options);  // slot 59
  virtual void Reserved60();                                                  // slot 60
  virtual CConnection* pCreateConnection(const char16_t* text,
                                         IHostConnectionDescription* description);  // slot 61
  virtual CAccessInterface* pCreateAccessInterface(const char16_t* key, IHostFileDescription* table,
                                                   CConnection* connection, CErrorHolder* holder);  // slot 62
  virtual int nReserved63();                                                                        // slot 63: 0
  virtual int bListCatalog(void* value, CConnection* connection, std::uint32_t flags);              // slot 64
  virtual int bDescribeTable(std::uint32_t* found, const char16_t* name, CConnection* connection);  // slot 65
  virtual int bGetReferentialLinks(CConnection* connection, RuntimeWord second, RuntimeWord third, void* value,
                                   std::uint32_t flags);  // slot 66: 0
  virtual void Reserved67();                              // slot 67

  // ---- connections ----
  CConnection* pLookupConnection(const char16_t* text);  // with a reference; null when absent
  CConnection* pFindConnection(IHostConnectionDescription* description);
  CConnection* pFindOrCreateConnection(IHostConnectionDescription* description);
  // Drops one reference; removes the connection from the registry when only the registry's is left and it agrees
  // to go. 0 when it went, else the remaining count.
  std::uint32_t nReleaseConnection(CConnection* connection);

  // ---- access interfaces ----
  CAccessInterface* piFindAccessInterfaceByName(const char16_t* key);  // with an internal reference
  CAccessInterface* piFindOrCreateAccessInterface(IHostFileDescription* table, CConnection* connection);
  CAccessInterface* piFindAccessInterfaceFor(RuntimeWord first, const char16_t* name, CConnection* connection,
                                             RuntimeWord unused);
  void RegisterAccessInterface(CAccessInterface* accessInterface);
  int bUnregisterAccessInterface(CAccessInterface* accessInterface);
  std::uint32_t nReleaseAccessInterface(CAccessInterface* accessInterface);
  void CloseAndUnregisterAccessInterface(RuntimeWord first, CAccessInterface* accessInterface);
  void ReleaseTablesOfConnection(CConnection* connection);
  // Every table of the connection releases its record locks.
  void ReleaseRecordLocksOfConnection(CConnection* connection);
  // Every table of the connection reads its rows again from where its contexts stand (work was rolled back).
  void RereadTablesOfConnection(CConnection* connection);
  void FormatTableKey(CTString& out, const char16_t* name, CConnection* connection);

  // ---- table registries (each under the lock) ----
  CTableRegistry* pFindTableRegistry(IHostRegistryKey* key);
  CTableRegistry* pFindTableRegistryById(std::uint64_t key);
  CTableRegistry* pFindOrCreateTableRegistry(IHostRegistryKey* key, std::uint32_t* created);
  CTableRegistry* pFindOrCreateTableRegistryById(std::uint64_t key, std::uint32_t* created);
  CTableRegistry* pCreateTableRegistryFor(std::uint64_t key);
  void RegisterTableRegistry(std::uint64_t key, CTableRegistry* registry);
  std::uint32_t bRemoveTableRegistry(IHostRegistryKey* key, CTableRegistry* registry);
  std::uint32_t bRemoveTableRegistryById(std::uint64_t key, CTableRegistry* registry);

  // ---- for other layers ----
  // Called by the client call wrappers after an exception other than a missing entry's came out of the client
  // library; no driver class does anything with it.
  void OnClientLibraryFault(CErrorHolder*, CConnection*) {}
  std::uint32_t nGetRefCount() const { return m_nRefCount; }
  std::uint32_t bIsSqlEngineChecked() const { return m_bSqlEngineChecked; }
  // Whether its statement objects fetch backwards (1 unless a final class says otherwise).
  std::uint32_t bReadsBackwards() const { return m_bReadsBackwards; }
  void SetReadsBackwards(std::uint32_t flag) { m_bReadsBackwards = flag; }
  void SetSqlEngineChecked(std::uint32_t flag) { m_bSqlEngineChecked = flag; }
  std::int64_t nGetDefaultReadAhead() const { return m_nDefaultReadAhead; }
  void SetErrorHolder(CErrorHolder* holder);  // takes a reference, drops the previous one
  // Labels 1 to 28, filled once (when label 1 is empty) from the message texts or their fall-backs.
  void FillDumpLabels();
  const char16_t* pszGetLabel(std::uint32_t index) const;
  RuntimeWord nGetStoredPairFirst() const { return m_nStoredPair[0]; }
  RuntimeWord nGetStoredPairSecond() const { return m_nStoredPair[1]; }
  RuntimeWord nGetStoredValue() const { return m_nStoredValue; }
  std::uint32_t nGetConnectionCount() const { return m_connections.nGetCount(); }
  std::uint32_t nGetAccessInterfaceCount() const { return m_accessInterfaces.nGetCount(); }
  std::uint32_t nGetTableRegistryCount() const { return m_tableRegistries.nGetCount(); }
  // Slot 57 without a name, then the leaf given the column; null when the factory made none.
  CValueLeaf* pCreateValueLeafFor(CColumn* column, CFieldValue* value, std::uint64_t position, std::uint32_t flags);
  // A field value from slot 44 (count 0): bound to the column when there is one (released, null answered, when the
  // column refuses it), else empty of the host type.
  CFieldValue* pCreateItemForValue(CErrorHolder* holder, CConnection* connection, CColumn* column,
                                   std::uint16_t hostType);
  // pCreateItemForValue for the runtime value's type, then holding the value; null, the value released, on failure.
  CFieldValue* pCreateBoundItem(CErrorHolder* holder, CConnection* connection, CColumn* column, CHostValue& value);
  // "Expr" and the number plus 1000, written into out; answers out's text.
  static const char16_t* pszExpressionName(CTString& out, std::uint32_t number);

 protected:
  ~CDriver();
  // The destroy slot of a final class: its destructor, then its memory when bit 0 of the flags is set.
  template <typename Final>
  static void DestroyAs(Final* self, std::uint32_t flags) {
    self->~Final();
    if (flags & 1) ::operator delete(self);
  }

 private:
  CConnection* pCreateAndRegisterConnection(const CTString& text, IHostConnectionDescription* description);
  // The registered connection of the description with a reference, or null with error 14 raised at that point.
  CConnection* pFindConnectionOrRaise(IHostConnectionDescription* description, std::uint32_t point);
  // Ends one open: gives back the reference that open kept (the lookup's is given back first) and marks the
  // connection releasable when no open is left.
  void MarkClosingAndRelease(CConnection* connection);
  void DestroyMembers();

  CTString m_labels[DRIVER_LABEL_COUNT];
  std::uint32_t m_nRefCount = 0;
  std::uint32_t m_bSqlEngineChecked = 0;
  std::uint32_t m_bReadsBackwards = 1;
  CObjectHashMap m_connections;       // with its one-entry cache
  CObjectHashMap m_accessInterfaces;  // with its one-entry cache
  CObjectHashMap m_tableRegistries;
  CErrorHolder* m_pErrorHolder = nullptr;
  std::int64_t m_nDefaultReadAhead = -1;  // none: always -1, whatever width a caller reads it at
  RuntimeWord m_nStoredPair[2] = {0, 0};
  RuntimeWord m_nStoredValue = 0;
};
