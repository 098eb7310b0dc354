#include "driver/driver.h"

#include <new>

#include "driver/access_interface.h"
#include "driver/driver_request.h"
#include "driver/table_lookup_cache.h"
#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/record_description.h"
#include "engine/table/automatic_identifier.h"
#include "engine/table/cursor.h"
#include "engine/table/parameter_binding.h"
#include "engine/table/table.h"
#include "engine/values/field_value.h"
#include "foundation/error_holder.h"
#include "foundation/message_text.h"
#include "foundation/module_errors.h"
#include "foundation/text_utils.h"
#include "foundation/x_error.h"
#include "host/host_objects.h"
#include "host/host_value.h"
#include "host/library_entry.h"
#include "sql/connection.h"
#include "sql/rewriter/sql_rewriter.h"
#include "sql/rewriter/value_leaf.h"
#include "sql/table_registry.h"

namespace {

enum : std::uint32_t {
  ERROR_CONNECTION_NOT_OPEN = 14,
  ERROR_TABLE_ABSENT = 30,
  DRIVER_POINT_NOT_BUILT = 0,
  DRIVER_POINT_LOCK_TABLE = 1,
  DRIVER_POINT_LOCK_ROWS = 2,
  DRIVER_POINT_NOT_SUPPORTED = 3,
  DRIVER_POINT_COMMIT = 4,
  DRIVER_POINT_ROLLBACK = 5,
  DRIVER_POINT_SLOT25 = 6,
  DRIVER_POINT_SLOT31 = 7,
  DRIVER_POINT_LIST_CATALOG = 8,
  DRIVER_POINT_SLOT38 = 9,
};

// The registry's reference given back: the connection no longer belongs to this driver.
void ReleaseConnectionValue(std::uint64_t value) {
  if (auto* connection = reinterpret_cast<CConnection*>(value)) {
    connection->SetRegistrar(nullptr);
    connection->nRelease();
  }
}
void ReleaseInterfaceValue(std::uint64_t value) {
  if (auto* accessInterface = reinterpret_cast<CAccessInterface*>(value)) accessInterface->nRelease();
}
void ReleaseRegistryValue(std::uint64_t value) {
  if (auto* registry = reinterpret_cast<CTableRegistry*>(value)) registry->nRelease();
}

const char16_t* TextOrNull(const char16_t* text) { return text ? text : u"NULL"; }

struct SDumpLabel {
  std::uint32_t nLabel;
  std::uint32_t nMessage;
  const char16_t* pszFallback;
};

const SDumpLabel gtabDumpLabels[] = {
    {1, 25676, u"Texte de la requête :"},
    {2, 25679, u"Nombre de paramètres :"},
    {3, 25678, u"Paramètre :"},
    {4, 25675, u"Type Kextal"},
    {5, 25680, u"Type ADO"},
    {6, 25670, u"Valeur"},
    {7, 25674, u"Echec de la conversion de la valeur en texte."},
    {11, 25810, u"Informations de bind des paramètres :"},
    {12, 25843, u"Connexion parameters : "},
    {13, 25846, u"DataSource : "},
    {14, 25849, u"Provider : "},
    {15, 25847, u"Utilisateur : "},
    {16, 25848, u"Database : "},
    {17, 25834, u"Connexion Timeout : "},
    {18, 25835, u"Command Timeout : "},
    {19, 25836, u"Lock Timeout : "},
    {20, 25837, u"Cursor Position : "},
    {21, 25838, u"Unicode actived : "},
    {22, 25839, u"Lock Tag : "},
    {23, 25840, u"Lock mode : "},
    {24, 25841, u"JM5 compatible Date Format : "},
    {25, 25842, u"Charset : "},
    {26, 25844, u"KX Page Code : "},
    {27, 25845, u"Connexion Page Code: "},
    {28, 25869, u"Native Library : "},
};

}  // namespace

void ReleaseConnectionThroughDriver(CConnection* connection) {
  if (!connection) return;
  if (CDriver* driver = connection->pGetRegistrar()) {
    driver->nReleaseConnection(connection);
  } else {
    connection->nRelease();
  }
}

// ---- construction and destruction ----

CDriver::CDriver()
    : m_connections(CObjectHashMap::KEYS_ARE_TEXTS, ReleaseConnectionValue),
      m_accessInterfaces(CObjectHashMap::KEYS_ARE_TEXTS, ReleaseInterfaceValue),
      m_tableRegistries(CObjectHashMap::KEYS_ARE_NUMBERS, ReleaseRegistryValue) {
  m_tableRegistries.SetHashFunction(nHashHandleKey);
  m_tableRegistries.SetCompareFunction(bHandleKeysDiffer);
}

CDriver::~CDriver() { DestroyMembers(); }

void CDriver::DestroyMembers() {
  if (m_pErrorHolder) m_pErrorHolder->Clear();
  // The registries leave the map here even where someone else still holds one: none may serve lookups any more.
  if (gpCachedRegistry && gpCachedRegistry->pGetDriver() == this) ForgetCachedRegistry(gpCachedRegistry);
  m_tableRegistries.ReleaseAll();
  // Interfaces the runtime still holds outlive their driver object: from now on they must not reach it.
  std::uint32_t position = 0;
  std::uint64_t value = 0;
  while (m_accessInterfaces.bIterate(position, 0, &value, nullptr)) {
    reinterpret_cast<CAccessInterface*>(value)->ForgetDriver();
  }
  m_accessInterfaces.ReleaseAll();
  // Opens the runtime never closed end with the driver object; their references go with the registry's, so that no
  // connection outlives it unless an interface still holds one.
  position = 0;
  while (m_connections.bIterate(position, 0, &value, nullptr)) {
    auto* connection = reinterpret_cast<CConnection*>(value);
    while (connection->bDropOpen()) connection->nRelease();
  }
  m_connections.ReleaseAll();
  SetErrorHolder(nullptr);
  if (gpDriver == this) gpDriver = nullptr;
}

void CDriver::DeletingDestructor(std::uint32_t flags) { DestroyAs(this, flags); }

void CDriver::SetErrorHolder(CErrorHolder* holder) {
  if (holder) holder->AddRef();
  if (m_pErrorHolder) m_pErrorHolder->nRelease();
  m_pErrorHolder = holder;
}

// ---- constant slots ----

std::int32_t CDriver::nGetInterfaceVersion() { return 18; }
std::int32_t CDriver::nGetInterfaceMinVersion() { return 17; }
std::int32_t CDriver::nReserved2() { return -1; }
std::int32_t CDriver::nReserved3() { return -1; }
void CDriver::Reserved4() {}
int CDriver::nReserved35() { return 1; }
int CDriver::nReserved40() { return 1; }
int CDriver::nReserved42() { return 0; }
int CDriver::nReserved43() { return 0; }
void CDriver::Reserved60() {}
int CDriver::nReserved63() { return 0; }
void CDriver::Reserved67() {}

std::uint32_t CDriver::AddRef() {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  return ++m_nRefCount;
}

std::int32_t CDriver::nRelease() {
  // The destruction runs under the lock: an access interface's operation on another thread either completes before
  // it or starts after it and finds its driver gone, never meets a driver half taken apart.
  platform::CriticalSectionGuard lock(gcsDriverLock);
  if (m_nRefCount > 0) --m_nRefCount;
  if (m_nRefCount == 0) {
    DeletingDestructor(1);
    return 0;
  }
  return static_cast<std::int32_t>(m_nRefCount);
}

std::int32_t CDriver::nClearError() {
  // The holder is shared with the access interfaces, whose operations change it on other threads.
  CDriverRequest request(*this, CDriverRequest::LOCK);
  return 0;
}

CErrorHolder* CDriver::pGetErrorHolder() { return m_pErrorHolder; }

int CDriver::bStoreHostPair(RuntimeWord a, RuntimeWord b) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  m_nStoredPair[0] = a;
  m_nStoredPair[1] = b;
  return 1;
}

int CDriver::bStoreHostValue(RuntimeWord value) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  m_nStoredValue = value;
  return 1;
}

// ---- connection text and keys ----

int CDriver::FormatConnectionDescription(CTString* out, IHostConnectionDescription* description) {
  if (!out) return 1;
  if (!description) {
    out->Empty();
    return 1;
  }
  out->Format(u"Connection=%s;Provider=%s;ExtendedInformation=%s;Data source=%s;user id=%s;password=%s;access=%s",
              TextOrNull(description->pszGetName()), TextOrNull(description->pszGetProvider()),
              TextOrNull(description->pszGetExtendedInformation()), TextOrNull(description->pszGetDataSource()),
              TextOrNull(description->pszGetUserId()), TextOrNull(description->pszGetPassword()),
              description->nGetAccessMode() == 1 ? u"R" : u"RW");
  // The text always carries its labels: an empty one is a text whose memory could not be had.
  return out->bIsEmpty() ? 0 : 1;
}

void CDriver::FormatTableKey(CTString& out, const char16_t* name, CConnection* connection) {
  out.Format(u"Table=%s;%s", TextOrNull(name), connection ? connection->pszGetName() : u"");
}

const char16_t* CDriver::pszExpressionName(CTString& out, std::uint32_t number) {
  out.Format(u"%s%d", u"Expr", static_cast<int>(number + 1000));
  return out.pszGet();
}

// ---- connections ----

CConnection* CDriver::pLookupConnection(const char16_t* text) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  auto* connection = reinterpret_cast<CConnection*>(m_connections.nFindText(text));
  if (connection) connection->AddRef();
  return connection;
}

namespace {

// The registry key of a description; false, with the holder told, when its text could not be made: an empty key
// would find no connection (a close would answer done and leave it open) or register a new one under "".
bool bConnectionText(CDriver& driver, CTString& text, IHostConnectionDescription* description) {
  if (driver.FormatConnectionDescription(&text, description)) return true;
  SetHolderOutOfMemory(driver.pGetErrorHolder());
  return false;
}

}  // namespace

CConnection* CDriver::pFindConnection(IHostConnectionDescription* description) {
  if (!description) return nullptr;
  CTString text;
  if (!bConnectionText(*this, text, description)) return nullptr;
  return pLookupConnection(text.pszGet());
}

CConnection* CDriver::pFindOrCreateConnection(IHostConnectionDescription* description) {
  if (!description) return nullptr;
  platform::CriticalSectionGuard lock(gcsDriverLock);
  CTString text;
  if (!bConnectionText(*this, text, description)) return nullptr;
  if (CConnection* connection = pLookupConnection(text.pszGet())) return connection;
  return pCreateAndRegisterConnection(text, description);
}

CConnection* CDriver::pCreateAndRegisterConnection(const CTString& text, IHostConnectionDescription* description) {
  CConnection* connection = pCreateConnection(text.pszGet(), description);
  if (!connection) return nullptr;
  connection->AddRef();  // the registry's
  // A connection whose name could not be copied would be filed under "", where no close would find it.
  if (!connection->pszGetName()[0] ||
      !m_connections.bInsertText(connection->pszGetName(), reinterpret_cast<std::uintptr_t>(connection))) {
    SetHolderOutOfMemory(m_pErrorHolder);
    connection->nRelease();
    return nullptr;
  }
  connection->SetRegistrar(this);
  connection->AddRef();  // the caller's
  return connection;
}

std::uint32_t CDriver::nReleaseConnection(CConnection* connection) {
  if (!connection) return 0;
  platform::CriticalSectionGuard lock(gcsDriverLock);
  if (connection->m_nRefCount > 0 && --connection->m_nRefCount == 0) {
    if (!connection->m_bStatic) delete connection;
    return 0;
  }
  if (connection->m_nRefCount == 1 && connection->bCanBeReleased() &&
      m_connections.bRemoveTextEntry(connection->pszGetName(), reinterpret_cast<std::uintptr_t>(connection))) {
    ReleaseConnectionValue(reinterpret_cast<std::uintptr_t>(connection));
    return 0;
  }
  return connection->m_nRefCount;
}

// ---- slots: connections and transactions ----

int CDriver::bOpenConnection(IHostConnectionDescription* description) {
  CDriverRequest request(*this, CDriverRequest::LOCK);
  CConnectionRef connection(*this, pFindOrCreateConnection(description));
  if (!connection) return 0;
  const int result = connection->bOpen(m_pErrorHolder, nullptr);
  if (result) {
    // Each open keeps one reference until its own close: two runtime connections opened on one description share
    // this connection, and closing one of them must leave it open for the other.
    connection->SetReleasable(0);
    connection->AddOpen();
    connection->AddRef();
  } else {
    if (m_connections.bRemoveTextEntry(connection->pszGetName(), reinterpret_cast<std::uintptr_t>(connection.Get()))) {
      ReleaseConnectionValue(reinterpret_cast<std::uintptr_t>(connection.Get()));
    }
    if (m_pErrorHolder) m_pErrorHolder->MarkNonFatal();
  }
  return result;
}

int CDriver::bCloseConnection(IHostConnectionDescription* description) {
  CDriverRequest request(*this, CDriverRequest::LOCK);
  if (!description) return 1;
  CTString text;
  if (!bConnectionText(*this, text, description)) return 0;
  CConnection* connection = pLookupConnection(text.pszGet());
  if (!connection) return 1;
  // The tables keep the connection, and its session, past its last close: what the session holds would outlive the
  // program's connection, the record locks out of every release's reach. They end as the session's end would end
  // them: each lock released as its table's close releases it, then the open transaction rolled back.
  if (connection->nGetOpenCount() == 1) {
    ReleaseRecordLocksOfConnection(connection);
    connection->RollbackAllLevels();
  }
  MarkClosingAndRelease(connection);
  return 1;
}

void CDriver::MarkClosingAndRelease(CConnection* connection) {
  // Only an open holds a reference to give back: closing a connection never opened, or closed as often as it was
  // opened, must not drop a reference some access interface still relies on. It may go once its last open ends.
  const bool heldByOpen = connection->bDropOpen() != 0;
  if (connection->nGetOpenCount() == 0) connection->SetReleasable(1);
  if (nReleaseConnection(connection) > 0 && heldByOpen) nReleaseConnection(connection);
}

int CDriver::bBeginTransaction(IHostConnectionDescription* description, const char16_t* name) {
  CDriverRequest request(*this, CDriverRequest::LOCK);
  CConnectionRef connection(*this, pFindOrCreateConnection(description));
  return connection ? connection->bBeginLevel(m_pErrorHolder, name) : 0;
}

namespace {

const char16_t* DescriptionName(IHostConnectionDescription* description) {
  return description && description->pszGetName() ? description->pszGetName() : u"";
}

}  // namespace

CConnection* CDriver::pFindConnectionOrRaise(IHostConnectionDescription* description, std::uint32_t point) {
  // A key that memory refused is told as such, not as a connection that is not open.
  CTString text;
  if (description && !bConnectionText(*this, text, description)) return nullptr;
  CConnection* connection = description ? pLookupConnection(text.pszGet()) : nullptr;
  if (!connection) {
    RaiseModuleError(m_pErrorHolder, 0, ERROR_UNIT_DRIVER, point, nullptr, nullptr, ERROR_CONNECTION_NOT_OPEN,
                     DescriptionName(description));
  }
  return connection;
}

int CDriver::bCommitTransaction(IHostConnectionDescription* description, const char16_t* name) {
  CDriverRequest request(*this, CDriverRequest::LOCK);
  CConnectionRef connection(*this, pFindConnectionOrRaise(description, DRIVER_POINT_COMMIT));
  if (!connection) return 0;
  const int result = connection->bCommitLevel(m_pErrorHolder, name);
  if (connection->bReleasesTablesAtLevelEnd()) ReleaseTablesOfConnection(connection.Get());
  // A commit refused may have rolled the work back (a level rolled back inside it dooms it).
  if (!result) RereadTablesOfConnection(connection.Get());
  return result;
}

int CDriver::bRollbackTransaction(IHostConnectionDescription* description, const char16_t* name) {
  CDriverRequest request(*this, CDriverRequest::LOCK);
  CConnectionRef connection(*this, pFindConnectionOrRaise(description, DRIVER_POINT_ROLLBACK));
  if (!connection) return 0;
  if (connection->bReleasesTablesAtLevelEnd()) ReleaseTablesOfConnection(connection.Get());
  const int result = connection->bRollbackLevel(m_pErrorHolder, name);
  // The rows the tables hold show the writes taken back (a row marked deleted, values replaced): read on, they would
  // skip a row the database holds again or show values it no longer has. A rollback that failed may have undone the
  // work all the same.
  RereadTablesOfConnection(connection.Get());
  return result;
}

// The runtime may call these from any thread, and they change the connection registry: they hold the lock like
// every other request, while keeping their own rule of clearing the holder or not.

int CDriver::bLockTable(IHostConnectionDescription* description, RuntimeWord lockArgument) {
  CDriverRequest request(*this, CDriverRequest::LOCK);
  CConnectionRef connection(*this, pFindConnectionOrRaise(description, DRIVER_POINT_LOCK_TABLE));
  if (!connection) return 0;
  return connection->bOpen(m_pErrorHolder, nullptr) && connection->bLockTable(m_pErrorHolder, lockArgument);
}

int CDriver::bLockRows(IHostConnectionDescription* description, RuntimeWord lockArgument) {
  CDriverRequest request(*this, CDriverRequest::LOCK);
  CConnectionRef connection(*this, pFindConnectionOrRaise(description, DRIVER_POINT_LOCK_ROWS));
  if (!connection) return 0;
  return connection->bOpen(m_pErrorHolder, nullptr) && connection->bLockRows(m_pErrorHolder, lockArgument);
}

int CDriver::bReportNotSupported(RuntimeWord first, IHostConnectionDescription* description, RuntimeWord third,
                                 RuntimeWord fourth) {
  CDriverRequest request(*this, CDriverRequest::LOCK);
  CConnectionRef connection(*this, pFindConnectionOrRaise(description, DRIVER_POINT_NOT_SUPPORTED));
  if (!connection) return 0;
  return connection->bReportNotSupported(m_pErrorHolder, first, third, fourth);
}

int CDriver::bListCatalogOf(void* value, IHostConnectionDescription* description, std::uint32_t flags) {
  CDriverRequest request(*this, CDriverRequest::LOCK);
  CConnectionRef connection(*this, pFindOrCreateConnection(description));
  return connection ? bListCatalog(value, connection.Get(), flags) : 0;
}

int CDriver::bGetReferentialLinksOf(void* value, RuntimeWord second, RuntimeWord third,
                                    IHostConnectionDescription* description, std::uint32_t flags) {
  CDriverRequest request(*this, CDriverRequest::LOCK_NO_CLEAR);
  CConnectionRef connection(*this, pFindOrCreateConnection(description));
  return connection ? bGetReferentialLinks(connection.Get(), second, third, value, flags) : 0;
}

int CDriver::nNotAvailable38(RuntimeWord, IHostConnectionDescription* description, RuntimeWord) {
  CDriverRequest request(*this, CDriverRequest::LOCK);
  CConnectionRef connection(*this, pFindOrCreateConnection(description));
  RaiseNotAvailable(m_pErrorHolder, ERROR_UNIT_DRIVER, DRIVER_POINT_SLOT38, nullptr, nullptr);
  return 0;
}

int CDriver::nNotAvailable25() {
  CDriverRequest request(*this, CDriverRequest::LOCK_NO_CLEAR);
  RaiseNotAvailable(m_pErrorHolder, ERROR_UNIT_DRIVER, DRIVER_POINT_SLOT25, nullptr, nullptr);
  return 0;
}

int CDriver::nNotAvailable31(RuntimeWord, RuntimeWord, RuntimeWord, const char16_t* fileName) {
  CDriverRequest request(*this, CDriverRequest::LOCK_NO_CLEAR);
  RaiseNotAvailable(m_pErrorHolder, ERROR_UNIT_DRIVER, DRIVER_POINT_SLOT31, nullptr, fileName);
  return 0;
}

int CDriver::bGetNativeTypeList(void*) { return 0; }

int CDriver::bListDatabases(void* value) {
  if (auto* text = static_cast<CHostValue*>(value)) {
    text->SetType(HOST_TYPE_TEXT);
    text->Ops().SetFromWideZ(text->pHolder(), u"");
    text->SetNull(false);
  }
  return 1;
}

int CDriver::bListCatalog(void*, CConnection*, std::uint32_t) {
  RaiseNotAvailable(m_pErrorHolder, ERROR_UNIT_DRIVER, DRIVER_POINT_LIST_CATALOG, nullptr, nullptr);
  return 0;
}

int CDriver::bGetReferentialLinks(CConnection*, RuntimeWord, RuntimeWord, void*, std::uint32_t) { return 0; }

// ---- slots: descriptions ----

CRecordDescription* CDriver::pGetRecordDescription(const char16_t* name, IHostConnectionDescription* description) {
  CDriverRequest request(*this, CDriverRequest::LOCK);
  CConnectionRef connection(*this, pFindOrCreateConnection(description));
  if (!connection || !connection->bOpen(m_pErrorHolder, nullptr)) return nullptr;
  CRecordDescription* recordDescription = pCreateDescriptionFor(name, connection.Get());
  if (!recordDescription) return nullptr;
  // The runtime's reference replaces the factory's.
  recordDescription->AddExternalRef();
  recordDescription->nRelease();
  return recordDescription;
}

int CDriver::bConnectAndDescribeTable(std::uint32_t* found, const char16_t* name,
                                      IHostConnectionDescription* description) {
  CDriverRequest request(*this, CDriverRequest::LOCK);
  CConnectionRef connection(*this, pFindOrCreateConnection(description));
  if (!connection || !connection->bOpen(m_pErrorHolder, nullptr)) return 0;
  return bDescribeTable(found, name, connection.Get());
}

int CDriver::bDescribeTable(std::uint32_t* found, const char16_t* name, CConnection* connection) {
  CRecordDescription* description = pCreateDescriptionFor(name, connection);
  if (description) {
    if (found) *found = 1;
    description->nRelease();
    return 1;
  }
  if (found) *found = 0;
  return m_pErrorHolder && m_pErrorHolder->nGetErrorCode() == ERROR_TABLE_ABSENT ? 1 : 0;
}

// ---- factories ----

// The second word is the connection whose code pages the value reads; the value holds the holder as its owner.
void* CDriver::pCreateFieldValue(CErrorHolder* holder, CConnection* connection) {
  CErrorHolder* owner = holder ? holder : m_pErrorHolder;
  auto* value = new (std::nothrow) CFieldValue(owner, connection);
  if (!value) SetHolderOutOfMemory(owner);
  return value;
}
void* CDriver::pCreateNativeTextValue(CErrorHolder*, RuntimeWord) { return nullptr; }
// A result column's binding: the statement's select column (a CSqlElement) at its 1-based position.
void* CDriver::pCreateParameterBinding(RuntimeWord entry, RuntimeWord position) {
  auto* binding = new (std::nothrow)
      CParameterBinding(reinterpret_cast<CSqlElement*>(entry), static_cast<std::uint32_t>(position));
  if (!binding) SetHolderOutOfMemory(m_pErrorHolder);
  return binding;
}
// A parameter's binding: the statement's parameter (a CValueLeaf) at its position.
void* CDriver::pCreateParameter(RuntimeWord entry, RuntimeWord position) {
  auto* binding = new (std::nothrow)
      CParameterBinding(reinterpret_cast<CValueLeaf*>(entry), static_cast<std::uint32_t>(position));
  if (!binding) SetHolderOutOfMemory(m_pErrorHolder);
  return binding;
}

CRecordDescription* CDriver::pCreateDescription(CConnection* connection, CErrorHolder* holder) {
  return new (std::nothrow) CRecordDescription(connection, holder);
}

CTableRegistry* CDriver::pCreateTableRegistry() { return new (std::nothrow) CTableRegistry(this); }

CTable* CDriver::pCreateTable(IHostFileDescription* description, CConnection* connection, CErrorHolder* holder) {
  return new (std::nothrow) CTable(description, connection, holder);
}

// A record context's statement object on (table, holder): count 0.
void* CDriver::pCreateCursor(RuntimeWord table, RuntimeWord holder) {
  auto* cursor =
      new (std::nothrow) CCursor(reinterpret_cast<CTable*>(table), reinterpret_cast<CErrorHolder*>(holder));
  if (!cursor) SetHolderOutOfMemory(holder ? reinterpret_cast<CErrorHolder*>(holder) : m_pErrorHolder);
  return cursor;
}
void* CDriver::pCreateColumnBinding(RuntimeWord, RuntimeWord) { return nullptr; }
CSqlRewriter* CDriver::pCreateSqlRewriter(CErrorHolder* holder, CConnection* connection) {
  auto* rewriter = new (std::nothrow) CSqlRewriter(holder, connection);
  if (!rewriter) SetHolderOutOfMemory(holder ? holder : m_pErrorHolder);
  return rewriter;
}
CErrorHolder* CDriver::pCreateErrorHolder() { return new (std::nothrow) CErrorHolder(); }
// The next identifier as the column's maximum plus one (count 0); null with the out-of-memory error.
void* CDriver::pCreateAutomaticIdentifier() {
  auto* identifier = new (std::nothrow) CAutomaticIdentifier();
  if (!identifier) SetHolderOutOfMemory(m_pErrorHolder);
  return identifier;
}

CRecordDescription* CDriver::pCreateDescriptionFor(const char16_t* name, CConnection* connection) {
  CRecordDescription* description = pCreateDescription(connection, m_pErrorHolder);
  if (!description) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return nullptr;
  }
  description->AddRef();
  if (!description->bLoadByName(name, name, 0)) {
    description->nRelease();
    return nullptr;
  }
  return description;
}

CValueLeaf* CDriver::pCreateValueLeaf(CFieldValue* value, std::uint64_t position, std::uint32_t flags,
                                      const char16_t* name) {
  auto* leaf = new (std::nothrow) CValueLeaf(value, position, flags, name);
  if (!leaf) SetHolderOutOfMemory(m_pErrorHolder);
  return leaf;
}

CValueLeaf* CDriver::pCreateValueLeafFor(CColumn* column, CFieldValue* value, std::uint64_t position,
                                         std::uint32_t flags) {
  CValueLeaf* leaf = pCreateValueLeaf(value, position, flags, nullptr);
  if (leaf) leaf->SetColumn(column);
  return leaf;
}

CFieldValue* CDriver::pCreateItemForValue(CErrorHolder* holder, CConnection* connection, CColumn* column,
                                          std::uint16_t hostType) {
  auto* value = static_cast<CFieldValue*>(pCreateFieldValue(holder, connection));
  if (!value) return nullptr;
  if (!column) {
    value->InitType(hostType, 0);
    return value;
  }
  value->AddRef();
  if (!column->bBindFieldValue(nullptr, value, hostType)) {
    value->nRelease();
    return nullptr;
  }
  --value->m_nRefCount;
  return value;
}

CFieldValue* CDriver::pCreateBoundItem(CErrorHolder* holder, CConnection* connection, CColumn* column,
                                       CHostValue& source) {
  CFieldValue* value = pCreateItemForValue(holder, connection, column, source.nGetType());
  if (!value) return nullptr;
  value->AddRef();
  if (!value->bSetValue(source)) {
    value->nRelease();
    return nullptr;
  }
  --value->m_nRefCount;
  return value;
}
CColumnDescriptor* CDriver::pCreateColumnDescriptor(CRecordDescription*, std::uint32_t) {
  return new (std::nothrow) CColumnDescriptor();
}
CConnection* CDriver::pCreateConnection(const char16_t*, IHostConnectionDescription*) { return nullptr; }

CAccessInterface* CDriver::pCreateAccessInterface(const char16_t* key, IHostFileDescription* table,
                                                  CConnection* connection, CErrorHolder* holder) {
  return new (std::nothrow) CAccessInterface(this, key, table, connection, holder);
}

// ---- dump labels ----

void CDriver::FillDumpLabels() {
  if (!m_labels[0].bIsEmpty()) return;
  for (const SDumpLabel& entry : gtabDumpLabels) {
    CTString& label = m_labels[entry.nLabel - 1];
    if (!nLoadModuleMessage(&gstModuleDescriptor, entry.nMessage, label) || label.bIsEmpty()) {
      label = entry.pszFallback;
    }
    label.AppendChar(u' ');
  }
}

const char16_t* CDriver::pszGetLabel(std::uint32_t index) const {
  return index >= 1 && index <= DRIVER_LABEL_COUNT ? m_labels[index - 1].pszGet() : u"";
}
