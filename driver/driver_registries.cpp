// The driver object's access-interface and table-registry registries, and the slots that work on them.
#include <new>
#include <vector>

#include "driver/access_interface.h"
#include "driver/driver.h"
#include "driver/driver_request.h"
#include "driver/table_lookup_cache.h"
#include "engine/table/table.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/text_utils.h"
#include "host/host_objects.h"
#include "host/library_entry.h"
#include "sql/connection.h"
#include "sql/table_registry.h"

namespace {

enum : std::uint32_t {
  QUERY_FLAG_KEEP_INTERFACE = 0x10,
  CLONE_MAP_SIZE = 215,
};

// The clone map of a registry copy: object addresses as keys.
std::uint32_t nHashPointerKey(std::uint64_t key) {
  return static_cast<std::uint32_t>(key >> 32) ^ static_cast<std::uint32_t>(key);
}
int bPointerKeysDiffer(std::uint64_t a, std::uint64_t b) { return a != b; }

// Every registered interface, each with an internal reference for the time of a walk: the calls made on them may
// change the registry.
class CInterfaceSnapshot {
 public:
  explicit CInterfaceSnapshot(CHashTable& map) {
    std::uint32_t position = 0;
    std::uint64_t value = 0;
    while (map.bIterate(position, 0, &value, nullptr)) {
      auto* accessInterface = reinterpret_cast<CAccessInterface*>(value);
      accessInterface->AddRef();
      m_interfaces.push_back(accessInterface);
    }
  }
  ~CInterfaceSnapshot() {
    for (CAccessInterface* accessInterface : m_interfaces) accessInterface->nRelease();
  }
  CInterfaceSnapshot(const CInterfaceSnapshot&) = delete;
  CInterfaceSnapshot& operator=(const CInterfaceSnapshot&) = delete;
  auto begin() const { return m_interfaces.begin(); }
  auto end() const { return m_interfaces.end(); }

 private:
  std::vector<CAccessInterface*> m_interfaces;
};

}  // namespace

// ---- access interfaces ----

CAccessInterface* CDriver::piFindAccessInterfaceByName(const char16_t* key) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  auto* accessInterface = reinterpret_cast<CAccessInterface*>(m_accessInterfaces.nFindText(key));
  if (accessInterface) accessInterface->AddRef();
  return accessInterface;
}

CAccessInterface* CDriver::piFindOrCreateAccessInterface(IHostFileDescription* table, CConnection* connection) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  CTString key;
  FormatTableKey(key, table ? table->pszGetSqlTableName() : nullptr, connection);
  if (CAccessInterface* found = piFindAccessInterfaceByName(key.pszGet())) return found;
  CAccessInterface* accessInterface = pCreateAccessInterface(key.pszGet(), table, connection, m_pErrorHolder);
  if (!accessInterface) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return nullptr;
  }
  accessInterface->AddRef();  // handed to the registry
  RegisterAccessInterface(accessInterface);
  accessInterface->AddRef();  // the caller's
  return accessInterface;
}

CAccessInterface* CDriver::piFindAccessInterfaceFor(RuntimeWord, const char16_t* name, CConnection* connection,
                                                    RuntimeWord) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  CTString key;
  FormatTableKey(key, name, connection);
  if (CAccessInterface* found = piFindAccessInterfaceByName(key.pszGet())) return found;
  CAccessInterface* accessInterface = pCreateAccessInterface(key.pszGet(), nullptr, connection, m_pErrorHolder);
  if (!accessInterface) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return nullptr;
  }
  accessInterface->AddRef();
  return accessInterface;
}

void CDriver::RegisterAccessInterface(CAccessInterface* accessInterface) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  const char16_t* key = accessInterface->sGetKey().pszGet();
  std::uint64_t value = 0;
  if (m_accessInterfaces.bLookup(nTextKey(key), &value, nullptr)) {
    accessInterface->nRelease();
    return;
  }
  if (!m_accessInterfaces.bInsertText(key, reinterpret_cast<std::uintptr_t>(accessInterface))) {
    SetHolderOutOfMemory(m_pErrorHolder);
    accessInterface->nRelease();
  }
}

int CDriver::bUnregisterAccessInterface(CAccessInterface* accessInterface) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  if (!m_accessInterfaces.bRemoveTextEntry(accessInterface->sGetKey().pszGet(),
                                           reinterpret_cast<std::uintptr_t>(accessInterface))) {
    return 0;
  }
  accessInterface->nRelease();
  return 1;
}

std::uint32_t CDriver::nReleaseAccessInterface(CAccessInterface* accessInterface) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  const std::int32_t count = accessInterface->nRelease();
  if (count == 1 && bUnregisterAccessInterface(accessInterface)) return 0;
  return static_cast<std::uint32_t>(count);
}

void CDriver::CloseAndUnregisterAccessInterface(RuntimeWord first, CAccessInterface* accessInterface) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  accessInterface->bClose(reinterpret_cast<IHostFileHandle*>(first));
  bUnregisterAccessInterface(accessInterface);
}

void CDriver::ReleaseTablesOfConnection(CConnection* connection) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  for (CAccessInterface* accessInterface : CInterfaceSnapshot(m_accessInterfaces)) {
    if (accessInterface->pGetConnection() == connection) accessInterface->ReleaseAllTableContexts();
  }
}

void CDriver::ReleaseRecordLocksOfConnection(CConnection* connection) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  for (CAccessInterface* accessInterface : CInterfaceSnapshot(m_accessInterfaces)) {
    if (accessInterface->pGetConnection() == connection) accessInterface->ReleaseAllRecordLocks();
  }
}

void CDriver::RereadTablesOfConnection(CConnection* connection) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  // The rollback is done when this runs: nothing here may fail for want of memory, so the interfaces are walked in
  // place (finding a place again adds or removes none).
  std::uint32_t position = 0;
  std::uint64_t value = 0;
  while (m_accessInterfaces.bIterate(position, 0, &value, nullptr)) {
    auto* accessInterface = reinterpret_cast<CAccessInterface*>(value);
    if (accessInterface->pGetConnection() == connection) accessInterface->RereadAllTables();
  }
}

int CDriver::bSetTablesStateByName(IHostFileHandle* handle, std::uint32_t state) {
  CDriverRequest request(*this, CDriverRequest::LOCK_NO_CLEAR);
  int result = 1;
  for (CAccessInterface* accessInterface : CInterfaceSnapshot(m_accessInterfaces)) {
    if (!accessInterface->bSetTablesStateByName(handle, state)) result = 0;
  }
  return result;
}

void CDriver::NotifyAccessInterfacesExcept(IHostConnectionDescription* description, std::uint64_t value) {
  CDriverRequest request(*this, CDriverRequest::LOCK_NO_CLEAR);
  for (CAccessInterface* accessInterface : CInterfaceSnapshot(m_accessInterfaces)) {
    accessInterface->NotifyTablesOfConnection(description, value);
  }
}

CAccessInterface* CDriver::piGetAccessInterface(IHostConnectionDescription* description, IHostFileDescription* table) {
  CDriverRequest request(*this, CDriverRequest::LOCK);
  CConnectionRef connection(*this, pFindOrCreateConnection(description));
  if (!connection) return nullptr;
  CAccessInterface* accessInterface = piFindOrCreateAccessInterface(table, connection.Get());
  if (!accessInterface) return nullptr;
  accessInterface->AddExternalRef();
  accessInterface->nRelease();
  return accessInterface;
}

int CDriver::bSetAccessInterfaceObject(RuntimeWord first, IHostConnectionDescription* description,
                                       IHostNamedObject* object) {
  CDriverRequest request(*this, CDriverRequest::LOCK_NO_CLEAR);
  CConnectionRef connection(*this, pFindOrCreateConnection(description));
  if (!connection) return 1;
  CAccessInterface* accessInterface =
      piFindAccessInterfaceFor(first, object ? object->pszGetName() : nullptr, connection.Get(), 0);
  if (!accessInterface) return 1;
  accessInterface->SetQuerySource(object);
  RegisterAccessInterface(accessInterface);  // the lookup's reference becomes the registry's
  return 1;
}

int CDriver::piCreateAccessInterfaceDefault(CAccessInterface** out, RuntimeWord query, const char16_t* name,
                                            IHostConnectionDescription* description, RuntimeWord fifth,
                                            std::uint32_t flags) {
  return piCreateAccessInterfaceFor(out, query, name, description, fifth, flags, 0);
}

int CDriver::piCreateAccessInterfaceFor(CAccessInterface** out, RuntimeWord query, const char16_t* name,
                                        IHostConnectionDescription* description, RuntimeWord fifth, std::uint32_t flags,
                                        RuntimeWord seventh) {
  CDriverRequest request(*this, CDriverRequest::LOCK);
  if (out) *out = nullptr;
  CConnectionRef connection(*this, pFindOrCreateConnection(description));
  if (!connection) return 0;
  CInterfaceRef accessInterface(piFindAccessInterfaceFor(query, name, connection.Get(), 0));
  if (!accessInterface) return 0;
  std::uint32_t keep = 0;
  const std::int32_t result = accessInterface->bExecuteQuery(&keep, reinterpret_cast<IHostFileHandle*>(query), name,
                                                             reinterpret_cast<IHostSqlQuery*>(fifth), flags, seventh);
  // Without the keep flag the interface goes, unless the caller asked to keep it or its query source still needs it.
  auto closeUnlessKept = [&]() {
    if (flags & QUERY_FLAG_KEEP_INTERFACE) return;
    IHostNamedObject* pending = accessInterface->pGetQuerySource();
    if (!pending || pending->nIsPending() == 0) CloseAndUnregisterAccessInterface(query, accessInterface.Get());
  };
  if (!result) {
    if (m_pErrorHolder) m_pErrorHolder->CopyErrorFrom(accessInterface->pGetErrorHolder());
    closeUnlessKept();
  } else if (keep) {
    accessInterface->AddRef();  // handed to the registry (or dropped there when it is registered already)
    RegisterAccessInterface(accessInterface.Get());
    if (out) {
      accessInterface->AddExternalRef();
      *out = accessInterface.Get();
    }
  } else {
    closeUnlessKept();
  }
  return result;
}

int CDriver::bCloseThroughAccessInterface(RuntimeWord first, const char16_t* name,
                                          IHostConnectionDescription* description) {
  CDriverRequest request(*this, CDriverRequest::LOCK_NO_CLEAR);
  CConnectionRef connection(*this, pFindOrCreateConnection(description));
  if (!connection) return 1;
  CInterfaceRef accessInterface(piFindAccessInterfaceFor(first, name, connection.Get(), 0));
  if (!accessInterface) return 1;
  return accessInterface->bClose(reinterpret_cast<IHostFileHandle*>(first));
}

int CDriver::bCreateTable(RuntimeWord creationArgument, IHostConnectionDescription* description, const char16_t*,
                          IHostFileDescription* table) {
  CDriverRequest request(*this, CDriverRequest::LOCK);
  CConnectionRef connection(*this, pFindOrCreateConnection(description));
  if (!connection || !connection->bOpen(m_pErrorHolder, nullptr) || !table) return 1;
  CInterfaceRef accessInterface(piFindOrCreateAccessInterface(table, connection.Get()));
  // A failed creation leaves its error in the interface's holder; the runtime asks it there.
  if (accessInterface) accessInterface->bCreate(reinterpret_cast<IHostFileHandle*>(creationArgument));
  return 1;
}

// ---- table registries ----

CTableRegistry* CDriver::pFindTableRegistryById(std::uint64_t key) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  std::uint64_t value = 0;
  if (!m_tableRegistries.bLookup(key, &value, nullptr)) return nullptr;
  auto* registry = reinterpret_cast<CTableRegistry*>(value);
  registry->AddRef();
  return registry;
}

CTableRegistry* CDriver::pFindTableRegistry(IHostRegistryKey* key) {
  return key ? pFindTableRegistryById(key->nGetKey()) : nullptr;
}

void CDriver::RegisterTableRegistry(std::uint64_t key, CTableRegistry* registry) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  // A key names one registry: a registry filed again under a key replaces the one there.
  std::uint64_t previous = 0;
  if (m_tableRegistries.bRemove(key, &previous, nullptr)) {
    ForgetCachedRegistry(reinterpret_cast<CTableRegistry*>(previous));
    reinterpret_cast<CTableRegistry*>(previous)->nRelease();
  }
  registry->SetKey(key);
  registry->AddRef();
  if (!m_tableRegistries.bInsert(key, reinterpret_cast<std::uintptr_t>(registry))) {
    SetHolderOutOfMemory(m_pErrorHolder);
    registry->nRelease();
  }
}

CTableRegistry* CDriver::pCreateTableRegistryFor(std::uint64_t key) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  CTableRegistry* registry = pCreateTableRegistry();
  if (!registry) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return nullptr;
  }
  registry->AddRef();  // the caller's, taken first so that a failed filing cannot destroy it
  RegisterTableRegistry(key, registry);
  return registry;
}

CTableRegistry* CDriver::pFindOrCreateTableRegistryById(std::uint64_t key, std::uint32_t* created) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  if (created) *created = 0;
  if (CTableRegistry* registry = pFindTableRegistryById(key)) return registry;
  CTableRegistry* registry = pCreateTableRegistryFor(key);
  if (registry && created) *created = 1;
  return registry;
}

CTableRegistry* CDriver::pFindOrCreateTableRegistry(IHostRegistryKey* key, std::uint32_t* created) {
  if (created) *created = 0;
  return key ? pFindOrCreateTableRegistryById(key->nGetKey(), created) : nullptr;
}

std::uint32_t CDriver::bRemoveTableRegistryById(std::uint64_t key, CTableRegistry* registry) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  if (!registry) return 0;
  std::uint64_t value = 0;
  const bool leaves = registry->nGetTableCount() == 0 && m_tableRegistries.bLookup(key, &value, nullptr) &&
                      reinterpret_cast<CTableRegistry*>(value) == registry;
  if (leaves) {
    m_tableRegistries.bRemove(key, nullptr, nullptr);
    ForgetCachedRegistry(registry);
    registry->nRelease();  // the map's; the caller's still holds it
  }
  const std::uint32_t count = registry->nRelease();
  return leaves ? 0 : count;
}

std::uint32_t CDriver::bRemoveTableRegistry(IHostRegistryKey* key, CTableRegistry* registry) {
  return key ? bRemoveTableRegistryById(key->nGetKey(), registry) : 0;
}

int CDriver::CloseTableRegistry(IHostRegistryKey* key) {
  // The holder is cleared inside the lock rather than just before it: no caller can tell the two apart, and the
  // holder is shared with interfaces working on other threads.
  CDriverRequest request(*this, CDriverRequest::LOCK);
  CTableRegistry* registry = pFindTableRegistry(key);
  if (!registry) return 0;
  registry->CloseAllTables();
  bRemoveTableRegistry(key, registry);
  return 1;
}

int CDriver::bSetTableRegistryName(IHostRegistryKey* key, const char16_t* name) {
  CDriverRequest request(*this, CDriverRequest::LOCK_NO_CLEAR);
  CTableRegistry* registry = pFindOrCreateTableRegistry(key, nullptr);
  if (!registry) return 0;
  registry->SetName(name);
  // A name that could not be copied leaves the registry unnamed: that is a failure, not a registry named "".
  const bool named = !name || !name[0] || registry->pszGetName()[0];
  registry->nRelease();
  if (!named) SetHolderOutOfMemory(m_pErrorHolder);
  return named ? 1 : 0;
}

int CDriver::bCopyTableRegistry(IHostKeyTranslator* translator, IHostRegistryKey* source, IHostRegistryKey* target,
                                std::uint32_t flags) {
  CDriverRequest request(*this, CDriverRequest::LOCK_NO_CLEAR);
  if (!target) return 1;
  CHashTable cloneMap(CLONE_MAP_SIZE);
  cloneMap.SetHashFunction(nHashPointerKey);
  cloneMap.SetCompareFunction(bPointerKeysDiffer);
  // Done only when the target key holds the copy (or the fresh registry): a copy that could not be made or filed
  // is the out-of-memory error, not an answer of done over a missing registry.
  CTableRegistry* made = nullptr;
  if (CTableRegistry* original = pFindTableRegistry(source)) {
    made = original->pClone(cloneMap, translator, 0, flags);
    original->nRelease();
    if (!made) {
      SetHolderOutOfMemory(m_pErrorHolder);
      return 0;
    }
    made->AddRef();  // ours, so that a failed filing cannot destroy it before it is looked for
    RegisterTableRegistry(target->nGetKey(), made);
  } else {
    made = pCreateTableRegistryFor(target->nGetKey());
    if (!made) return 0;
  }
  std::uint64_t filed = 0;
  const bool done = m_tableRegistries.bLookup(target->nGetKey(), &filed, nullptr) &&
                    filed == reinterpret_cast<std::uintptr_t>(made);
  made->nRelease();
  return done ? 1 : 0;
}
