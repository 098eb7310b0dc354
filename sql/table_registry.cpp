#include "sql/table_registry.h"

#include <new>

#include "engine/table/table.h"
#include "foundation/clone_map.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/reference_guard.h"
#include "host/host_objects.h"
#include "host/library_entry.h"
#include "sql/driver_services.h"

std::uint32_t nHashHandleKey(std::uint64_t key) { return static_cast<std::uint32_t>(key); }
int bHandleKeysDiffer(std::uint64_t a, std::uint64_t b) { return a != b; }

namespace {

void ReleaseTableValue(std::uint64_t value) {
  if (auto* table = reinterpret_cast<CTable*>(value)) table->nRelease();
}

CTable* TableOf(std::uint64_t value) { return reinterpret_cast<CTable*>(value); }

}  // namespace

CTableRegistry::CTableRegistry(CDriver* driver)
    : m_pDriver(driver), m_tables(CObjectHashMap::KEYS_ARE_NUMBERS, ReleaseTableValue) {
  m_tables.SetHashFunction(nHashHandleKey);
  m_tables.SetCompareFunction(bHandleKeysDiffer);
  m_pErrorHolder = m_pDriver ? pCreateErrorHolderThrough(m_pDriver) : new (std::nothrow) CErrorHolder();
  if (m_pErrorHolder) m_pErrorHolder->AddRef();
}

CTableRegistry::~CTableRegistry() {
  ForgetCachedRegistry(this);
  if (m_pErrorHolder) m_pErrorHolder->nRelease();
  m_pErrorHolder = nullptr;
  // The tables leave with the registry: none may stay reachable through the access interfaces' cache.
  std::uint32_t position = 0;
  std::uint64_t value = 0;
  while (m_tables.bIterate(position, 0, &value, nullptr)) ForgetCachedTable(TableOf(value));
}

std::uint32_t CTableRegistry::nSlot2() { return 2; }
std::uint32_t CTableRegistry::nSlot3() { return 2; }

CTable* CTableRegistry::pCreateTable(CConnection* connection, IHostFileDescription* description,
                                     CErrorHolder* holder) {
  return pCreateTableThrough(m_pDriver, description, connection, holder);
}

int CTableRegistry::bInsert(std::uint64_t fileId, CTable* table) {
  table->AddRef();
  if (!m_tables.bInsert(fileId, reinterpret_cast<std::uintptr_t>(table))) {
    table->nRelease();
    return 0;
  }
  table->SetIdentifierSource(this);
  return 1;
}

CTable* CTableRegistry::pFindById(std::uint64_t fileId) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  std::uint64_t value = 0;
  if (!m_tables.bLookup(fileId, &value, nullptr)) return nullptr;
  CTable* table = TableOf(value);
  table->AddRef();
  return table;
}

CTable* CTableRegistry::pFind(IHostFileHandle* handle) {
  if (!handle) return nullptr;
  return pFindById(handle->nGetFileId());
}

CTable* CTableRegistry::pFindOrCreate(IHostFileHandle* handle, CConnection* connection,
                                      IHostFileDescription* description, std::uint32_t* created) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  if (created) *created = 0;
  if (!handle) return nullptr;
  const std::uint64_t fileId = handle->nGetFileId();
  if (CTable* table = pFindById(fileId)) return table;
  CTable* table = pCreateTable(connection, description, m_pErrorHolder);
  if (!table) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return nullptr;
  }
  table->AddRef();
  // A table the registry could not file would never be found again: the caller is told of the failure instead.
  if (!bInsert(fileId, table)) {
    table->nRelease();
    SetHolderOutOfMemory(m_pErrorHolder);
    return nullptr;
  }
  if (created) *created = 1;
  return table;
}

CTable* CTableRegistry::pTakeOut(std::uint64_t fileId) {
  std::uint64_t value = 0;
  if (!m_tables.bRemove(fileId, &value, nullptr)) return nullptr;
  CTable* table = TableOf(value);
  ForgetCachedTable(table);
  return table;
}

void CTableRegistry::Remove(IHostFileHandle* handle, const CTable* table) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  if (!handle) return;
  const std::uint64_t fileId = handle->nGetFileId();
  if (table) {
    std::uint64_t value = 0;
    if (!m_tables.bLookup(fileId, &value, nullptr) || TableOf(value) != table) return;
  }
  if (CTable* removed = pTakeOut(fileId)) removed->nRelease();
}

std::uint32_t CTableRegistry::nSetStateByName(const char16_t* name, std::uint32_t state) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  std::uint32_t result = 1;
  std::uint32_t position = 0;
  std::uint64_t value = 0;
  while (m_tables.bIterate(position, 0, &value, nullptr)) {
    CTable* table = TableOf(value);
    table->AddRef();
    if (CTable::nCompareNames(table->pszGetName(), name) == 0 && !table->SetState(state)) result = 0;
    table->nRelease();
  }
  m_nState = state;
  return result;
}

void CTableRegistry::CloseAllTables() {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  std::uint32_t position = 0;
  std::uint64_t value = 0;
  while (m_tables.bIterate(position, 1, &value, nullptr)) {
    CTable* table = TableOf(value);
    // Emptying the registry must also empty the lookup cache: a later operation on the same handle would
    // otherwise reach a closed table that no registry holds.
    ForgetCachedTable(table);
    if (table->bIsOpen()) table->bClose();
    table->nRelease();
  }
}

void CTableRegistry::CopyFrom(CTableRegistry* source, CHashTable& cloneMap, IHostKeyTranslator* translator,
                              RuntimeWord a, RuntimeWord b) {
  if (!source) return;
  bRegisterClone(cloneMap, source, this);
  Exchange(m_pErrorHolder, source->m_pErrorHolder);
  m_nState = source->m_nState;
  std::uint32_t position = 0;
  std::uint64_t value = 0;
  std::uint64_t oldKey = 0;
  while (source->m_tables.bIterate(position, 0, &value, &oldKey)) {
    std::uint64_t newKey = 0;
    if (!translator || !translator->bTranslateKey(oldKey, &newKey)) continue;
    CTable* original = TableOf(value);
    std::uint64_t existing = 0;
    CTable* copy = cloneMap.bLookup(nCloneKey(original), &existing, nullptr) ? TableOf(existing)
                                                                             : original->pClone(cloneMap, a, b);
    if (copy) bInsert(newKey, copy);
  }
}

CTableRegistry* CTableRegistry::pClone(CHashTable& cloneMap, IHostKeyTranslator* translator, RuntimeWord a,
                                       RuntimeWord b) {
  auto* copy = new (std::nothrow) CTableRegistry(m_pDriver);
  if (!copy) return nullptr;
  try {
    copy->CopyFrom(this, cloneMap, translator, a, b);
  } catch (...) {
    delete copy;
    return nullptr;
  }
  return copy;
}
