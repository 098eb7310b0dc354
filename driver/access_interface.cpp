#include "driver/access_interface.h"

#include <tuple>
#include <vector>

#include "driver/driver.h"
#include "driver/table_lookup_cache.h"
#include "engine/table/table.h"
#include "foundation/error_holder.h"
#include "foundation/hash_table.h"
#include "foundation/module_errors.h"
#include "foundation/reference_guard.h"
#include "host/host_objects.h"
#include "host/library_entry.h"
#include "platform/critical_section.h"
#include "sql/connection.h"
#include "sql/table_registry.h"

std::uint32_t gnSqlEngineLibraryVersion = 0;

namespace {

constexpr std::int32_t kLibraryQuestion = 15;
constexpr std::int32_t kSqlEngineLibrary = 28;  // also the kind bDLLCompatible is asked about it with
#if defined(_WIN32) && !defined(_WIN64)
constexpr const char16_t* kSqlEngineLibraryName = u"qz170sql.dll";
#else
constexpr const char16_t* kSqlEngineLibraryName = u"qz170sql64.dll";
#endif
constexpr const char16_t* kModuleName = u"QZORA";

constexpr std::uint32_t ERROR_UNKNOWN_HANDLE = 19;
constexpr std::uint32_t ERROR_LIBRARY_VERSION = 16;

// Identification points of the access interface's own raises.
enum : std::uint32_t {
  INTERFACE_POINT_NO_LIBRARY_VERSION = 1,
  INTERFACE_POINT_LIBRARY_TOO_OLD = 2,
  INTERFACE_POINT_NOT_AVAILABLE_B = 3,
  INTERFACE_POINT_NOT_AVAILABLE_C = 4,
  INTERFACE_POINT_NOT_AVAILABLE_D = 5,
  INTERFACE_POINT_NOT_AVAILABLE_A = 6,
  INTERFACE_POINT_UNKNOWN_HANDLE = 7,
  INTERFACE_POINT_PROBE_UNKNOWN_HANDLE = 8,
};

// How a position runs (the frame and its variants of the access interface's design).
enum class EStep {
  Frame,          // lock, clear both holders, find the table (error 19 when unknown), call, release
  FrameRename,    // the frame, re-filing the query's "__SQL" context under the context name first when due
  FrameOrOne,     // the frame, but an unknown handle answers 1 without an error
  Lookup,         // lock and find, no holder cleared; an unknown handle answers 0 without an error
  Probe,          // lock and find, no holder cleared; an unknown handle raises error 19 without argument
  FindOrCreate,   // lock, find or create, no holder cleared; no table answers 0 without an error
  Open,           // open the connection, find or create, a failed first open unregisters the table
  OpenForCreate,  // the same with the connection opened for creation
  Create,         // as OpenForCreate; the table is unregistered after the creation in every case
  Close,          // close, unregister, let the query source go
  QueryRun,       // SQL engine check, find or create, run the query, adopt its description
};

// ---- Positions to table operations ----------------------------------------------------------------------------------
// The one place where a position of the access interface meets an operation of the table: each row forwards the
// runtime's arguments (after the handle) to the table operation that does what the position is for, whatever place
// that operation has among the table's operations. The positions the runtime never has a table operation for answer
// error 8 through their own not-available entries.
template <std::size_t P>
struct ToTable;

#define QZ_POSITION(P, STEP, ...)               \
  template <>                                   \
  struct ToTable<P> {                           \
    static constexpr EStep kStep = EStep::STEP; \
    static constexpr auto Run = __VA_ARGS__;    \
  };

using U32 = std::uint32_t;
using Text = const char16_t*;

QZ_POSITION(8, Lookup, [](CTable& t) { return static_cast<std::int32_t>(t.bIsOpen()); })
QZ_POSITION(10, Frame, [](CTable& t, RuntimeWord out, RuntimeWord b) { return t.bSupportsTransactions(out, b); })
QZ_POSITION(12, FindOrCreate, [](CTable& t, U32 a, RuntimeWord b) { return t.bTableReady(a, b); })
QZ_POSITION(13, OpenForCreate, [](CTable& t, U32 a, RuntimeWord b) { return t.bOpenOrCreate(a, b); })
// Creates and opens, dropping an existing table first: the constant 1 is the drop-first argument.
QZ_POSITION(14, OpenForCreate, [](CTable& t, RuntimeWord a) { return t.bCreateAndOpen(a, 1); })
QZ_POSITION(15, Open, [](CTable& t, U32 a, RuntimeWord b) { return t.bOpen(a, b); })
QZ_POSITION(17, Close, [](CTable& t) { return t.bClose(); })
// The runtime's add: INSERT, then the record lock.
QZ_POSITION(18, Frame, [](CTable& t, U32 flags, U32 mode) { return t.bAddRecord(flags, mode); })
QZ_POSITION(19, Frame, [](CTable& t, RuntimeWord key, U32 flags, U32 mode) { return t.bSaveRecord(key, flags, mode); })
QZ_POSITION(20, Frame, [](CTable& t, RuntimeWord a, U32 b) { return t.bNotSupportedA(a, b); })
QZ_POSITION(21, Frame, [](CTable& t, RuntimeWord key, U32 mode) { return t.bDeleteRecord(key, mode); })
QZ_POSITION(22, Frame, [](CTable& t, RuntimeWord key, U32 flags, U32 mode) { return t.bWriteRecord(key, flags, mode); })
QZ_POSITION(23, FrameRename, [](CTable& t, Text c, RuntimeWord a, U32 b, U32 d, U32 e, RuntimeWord f, U32 g, U32 h) {
  return t.bSeekOnKey(c, a, b, d, e, f, g, h);
})
QZ_POSITION(24, Frame, [](CTable& t) { return t.bNotSupportedB(); })
QZ_POSITION(25, Frame,
            [](CTable& t, RuntimeWord key, U32 mode, RuntimeWord a) { return t.bModifyRecord(key, mode, a); })
QZ_POSITION(26, FrameRename, [](CTable& t, Text c, U32 direction, U32 flags, U32 a, RuntimeWord out, U32 b) {
  return t.bRead(c, direction, flags, a, out, b);
})
QZ_POSITION(27, FrameRename, [](CTable& t, Text c, U32 a, RuntimeWord b, U32 d, U32 e, RuntimeWord f, U32 g) {
  return t.bReadInContext(c, a, b, d, e, f, g);
})
QZ_POSITION(28, Frame, [](CTable& t, U32 mode, RuntimeWord previous) { return t.bLockTable(mode, previous); })
QZ_POSITION(29, Frame, [](CTable& t) { return t.bUnlockTable(); })
QZ_POSITION(30, Frame, [](CTable& t, RuntimeWord a, U32 b, RuntimeWord c) { return t.bTestRecordLock(a, b, c); })
QZ_POSITION(31, Frame, [](CTable& t, RuntimeWord a) { return t.bTestRecordLockDefault(a); })
QZ_POSITION(32, FrameRename, [](CTable& t, Text c, RuntimeWord out) { return t.bGetOutOfRange(c, out); })
QZ_POSITION(33, FrameRename, [](CTable& t, Text c, U32* word, U32* found) { return t.bGetRecordState(c, word, found); })
QZ_POSITION(34, Frame, [](CTable& t, U32 mode) { return t.bSetLockMode(mode); })
QZ_POSITION(35, Probe, [](CTable& t) { return t.nTableProbe(); })
QZ_POSITION(36, Frame, [](CTable& t, RuntimeWord key, RuntimeWord out) { return t.bGetRecordFlags(key, out); })
QZ_POSITION(37, FrameRename, [](CTable& t, Text c, RuntimeWord a, U32 b, RuntimeWord d, U32 e, IHostSqlQuery* query) {
  return t.bGoToRecord(c, a, b, d, e, reinterpret_cast<RuntimeWord>(query));
})
// The query object's items choose the key; its name goes into the value.
QZ_POSITION(38, Frame, [](CTable& t, IHostSqlQuery* query, RuntimeWord value) {
  return t.bGoToRecordByItems(reinterpret_cast<RuntimeWord>(query), value);
})
QZ_POSITION(39, FrameRename, [](CTable& t, Text c) { return t.bMarkContextRecord(c); })
QZ_POSITION(40, FrameOrOne, [](CTable& t, Text c) { return t.bResetContextMark(c); })
QZ_POSITION(41, Frame, [](CTable& t, U32 a, RuntimeWord b, U32 c, U32 d) { return t.bRecallPosition(a, b, c, d); })
QZ_POSITION(42, FrameOrOne, [](CTable& t, U32 identifier) { return t.bReleasePosition(identifier); })
// The table takes the value first and the context second.
QZ_POSITION(43, FrameRename, [](CTable& t, Text c, RuntimeWord value, U32 a) { return t.bStorePosition(value, c, a); })
QZ_POSITION(44, Frame, [](CTable& t, RuntimeWord out) { return t.bIsReadOnly(out); })
QZ_POSITION(45, Frame, [](CTable& t, RuntimeWord value, U32 a, U32 b) { return t.bCountCurrentContext(value, a, b); })
// The table takes the out address first and the context second.
QZ_POSITION(46, FrameRename,
            [](CTable& t, Text c, U32* out, U32 flags) { return t.bGetPositionPerMille(out, c, flags); })
QZ_POSITION(47, FrameRename, [](CTable& t, Text c, U32 perMille, U32 a, U32 flags) {
  return t.bSetPositionPerMille(c, perMille, a, flags);
})
QZ_POSITION(48, Frame, [](CTable& t, U32 index, RuntimeWord value) { return t.bReadLargeValue(index, value); })
QZ_POSITION(49, Frame, [](CTable& t, U32 index, RuntimeWord buffer) { return t.bWriteLargeValue(index, buffer); })
QZ_POSITION(50, Frame, [](CTable& t, RuntimeWord out) { return t.bGetRecordBuffer(out); })
QZ_POSITION(51, Frame, [](CTable& t, RuntimeWord buffer) { return t.bSetRecordBuffer(buffer); })
QZ_POSITION(52, Frame, [](CTable& t, U32 index, RuntimeWord value) { return t.bCallLargeValueSlot(index, value); })
QZ_POSITION(53, Frame, [](CTable& t, U32 index, RuntimeWord value) { return t.bSaveMemoToFile(index, value); })
QZ_POSITION(54, Frame, [](CTable& t, Text c) { return t.bResetContext(c); })
QZ_POSITION(55, Frame, [](CTable& t, RuntimeWord position, U32 flags) { return t.bRestorePosition(position, flags); })
QZ_POSITION(56, Frame,
            [](CTable& t, RuntimeWord a, RuntimeWord b, U32 c, RuntimeWord d) { return t.bNotSupportedC(a, b, c, d); })
QZ_POSITION(60, Frame, [](CTable& t) { return t.bDropSharedRowSource(); })
QZ_POSITION(61, Frame, [](CTable& t, U32 a, U32 b, RuntimeWord out) { return t.bCompareSavedPositions(a, b, out); })
QZ_POSITION(64, Frame, [](CTable& t) { return t.bDeleteAll(); })
// Creates the table in the database without dropping it first and leaves it closed; no position drops a table.
QZ_POSITION(79, Create, [](CTable& t) { return t.bDoCreate(0, 1); })
QZ_POSITION(81, QueryRun, [](CTable& t, U32* hasRows, Text c, IHostSqlQuery* query, U32 flags, RuntimeWord value) {
  return t.bExecuteQuery(hasRows, c, reinterpret_cast<RuntimeWord>(query), flags, value);
})

#undef QZ_POSITION

// One reference on a table for the length of an operation, given back however the operation ends.
using CTableReference = CReferenceGuard<CTable>;

void ClearTableHolder(CTable& table) {
  if (CErrorHolder* holder = table.pGetErrorHolder()) holder->Clear();
}

// The handle answers slot 8 as a registry key object does: the registries are keyed by the handle's context.
IHostRegistryKey* AsRegistryKey(IHostFileHandle* handle) { return reinterpret_cast<IHostRegistryKey*>(handle); }

}  // namespace

// ---- construction and counts ----------------------------------------------------------------------------------------

CAccessInterface::CAccessInterface(CDriver* driver, const char16_t* key, IHostFileDescription* recordDescription,
                                   CConnection* connection, CErrorHolder* errorHolder)
    : m_pDriver(driver),
      m_pErrorHolder(errorHolder),
      m_pConnection(connection),
      m_sKey(key),
      m_pTables(new CHashTable(7)) {
  m_pTables->SetHashFunction(&nHashHandleKey);
  m_pTables->SetCompareFunction(&bHandleKeysDiffer);
  if (m_pConnection) m_pConnection->AddRef();
  if (recordDescription) SetRecordDescription(recordDescription);
  if (m_pErrorHolder) m_pErrorHolder->AddRef();
}

CAccessInterface::~CAccessInterface() {
  {
    // A table may outlive the interface in its connection's registry: it forgets the interface, so that a copy of the
    // registry made later registers with nothing instead of with freed memory. Under the lock a copy takes.
    platform::CriticalSectionGuard lock(gcsDriverLock);
    VisitTables([this](CTable& table) {
      if (table.pGetAccessInterface() == this) table.SetAccessInterface(nullptr);
      table.nRelease();  // the set's references (the visit holds its own)
    });
  }
  m_pTables->Reset(7);
  if (m_pRecordDescription) m_pRecordDescription->nReleaseExternal();
  if (m_pConnection) {
    if (m_pDriver) {
      m_pDriver->nReleaseConnection(m_pConnection);
    } else {
      m_pConnection->nRelease();
    }
  }
  if (m_pErrorHolder) m_pErrorHolder->nRelease();
  if (m_pQuerySource) {
    // The runtime's object may fail as it lets go; the interface goes all the same.
    try {
      m_pQuerySource->ReleaseExternalRef();
    } catch (...) {
    }
  }
  delete m_pTables;
}

std::int32_t CAccessInterface::nRelease() {
  return static_cast<std::int32_t>(
      nDropOneOfTwoCounts(m_nRefCount, m_nExternalCount, [this] { DeletingDestructor(1); }));
}

const char16_t* CAccessInterface::pszGetName() const {
  if (!m_pRecordDescription) return u"";
  const char16_t* name = m_pRecordDescription->pszGetName();
  return name ? name : u"";
}

void CAccessInterface::SetRecordDescription(IHostFileDescription* recordDescription) {
  m_pRecordDescription = recordDescription;
  if (m_pRecordDescription) m_pRecordDescription->AddExternalRef();
}

void CAccessInterface::SetQuerySource(IHostNamedObject* source) {
  if (source == m_pQuerySource) return;
  if (m_pQuerySource) {
    IHostNamedObject* old = m_pQuerySource;
    m_pQuerySource = nullptr;
    old->ReleaseExternalRef();
  }
  m_pQuerySource = source;
  if (m_pQuerySource) m_pQuerySource->AddExternalRef();
}

// ---- tables ---------------------------------------------------------------------------------------------------------

template <typename Visit>
void CAccessInterface::VisitTables(Visit visit) {
  std::vector<CTable*> tables;
  tables.reserve(m_pTables->nGetCount());
  std::uint32_t position = 0;
  std::uint64_t value = 0;
  while (m_pTables->bIterate(position, 0, &value, nullptr)) {
    auto* table = reinterpret_cast<CTable*>(static_cast<std::uintptr_t>(value));
    table->AddRef();
    tables.push_back(table);
  }
  std::size_t next = 0;
  try {
    for (; next < tables.size(); ++next) {
      CTableReference reference(tables[next]);
      visit(*tables[next]);
    }
  } catch (...) {
    for (++next; next < tables.size(); ++next) tables[next]->nRelease();
    throw;
  }
}

std::uint32_t CAccessInterface::nGetTableCount() const { return m_pTables->nGetCount(); }

void CAccessInterface::RegisterTable(CTable* table) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  const auto key = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(table));
  if (m_pTables->bLookup(key, nullptr, nullptr)) return;  // one reference per table, however often registered
  table->AddRef();
  m_pTables->bInsert(key, key);
}

void CAccessInterface::UnregisterTable(IHostFileHandle* handle, CTable* table) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  CTableRegistry* registry = pFindTableRegistry(handle);
  if (!registry) return;
  if (table) {
    // Only the very table given leaves the registry: the handle's entry may by now hold another one.
    registry->Remove(handle, table);
    ForgetCachedTable(table);
    const auto key = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(table));
    // Only a table this interface created holds the set's reference.
    if (m_pTables->bRemove(key, nullptr, nullptr)) table->nRelease();
  }
  ReleaseTableRegistry(handle, registry);
}

CTable* CAccessInterface::pFindTable(IHostFileHandle* handle) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  // The same identifiers may name a table of another driver object: the cache serves only the driver whose registry
  // filed the entry, and nothing once this interface's driver is gone.
  if (gpCachedTable && m_pDriver && gpCachedRegistry->pGetDriver() == m_pDriver &&
      handle->nGetContextId() == gnCachedContextId && handle->nGetFileId() == gnCachedFileId) {
    gpCachedTable->AddRef();
    return gpCachedTable;
  }
  CTableRegistry* registry = pFindTableRegistry(handle);
  if (!registry) return nullptr;
  CTable* table = registry->pFind(handle);
  if (table) {
    gnCachedContextId = handle->nGetContextId();
    gnCachedFileId = handle->nGetFileId();
    gpCachedTable = table;
    gpCachedRegistry = registry;  // still in its driver's map, which holds it
  }
  registry->nRelease();
  return table;
}

CTable* CAccessInterface::pFindOrCreateTable(IHostFileHandle* handle, std::uint32_t* created) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  *created = 0;
  std::uint32_t registryCreated = 0;
  CTableRegistry* registry = pFindOrCreateTableRegistry(handle, &registryCreated);
  if (!registry) return nullptr;
  CTable* table = nullptr;
  try {
    table = registry->pFindOrCreate(handle, m_pConnection, m_pRecordDescription, created);
  } catch (...) {
    registry->nRelease();
    throw;
  }
  if (table && *created) {
    RegisterTable(table);
    table->SetAccessInterface(this);
  }
  registry->nRelease();
  return table;
}

// ---- table registries, through the driver object that made the interface --------------------------------------------

CTableRegistry* CAccessInterface::pFindTableRegistry(IHostFileHandle* handle) {
  return m_pDriver ? m_pDriver->pFindTableRegistry(AsRegistryKey(handle)) : nullptr;
}

CTableRegistry* CAccessInterface::pFindOrCreateTableRegistry(IHostFileHandle* handle, std::uint32_t* created) {
  *created = 0;
  return m_pDriver ? m_pDriver->pFindOrCreateTableRegistry(AsRegistryKey(handle), created) : nullptr;
}

void CAccessInterface::ReleaseTableRegistry(IHostFileHandle* handle, CTableRegistry* registry) {
  if (m_pDriver) {
    m_pDriver->bRemoveTableRegistry(AsRegistryKey(handle), registry);
  } else {
    registry->nRelease();
  }
}

void CAccessInterface::PassErrorToTableRegistry(IHostFileHandle* handle, CErrorHolder* holder) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  CTableRegistry* registry = pFindTableRegistry(handle);
  if (!registry) return;
  if (CErrorHolder* target = registry->pGetErrorHolder(); target && holder && target != holder) {
    target->CopyErrorFrom(holder);
  }
  registry->nRelease();
}

void CAccessInterface::ReleaseAllTableContexts() {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  VisitTables([](CTable& table) { table.ReleaseAllContexts(); });
}

void CAccessInterface::ReleaseAllRecordLocks() {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  VisitTables([](CTable& table) { table.bReleaseRecordLocks(); });
}

void CAccessInterface::RereadAllTables() {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  // Walked in place, as a change notice is: it comes after work that is done and must not fail for want of memory.
  std::uint32_t position = 0;
  std::uint64_t value = 0;
  while (m_pTables->bIterate(position, 0, &value, nullptr))
    reinterpret_cast<CTable*>(static_cast<std::uintptr_t>(value))->RereadFromContexts();
}

void CAccessInterface::NotifyTablesExcept(CTable* skip, std::uint32_t kind, CCursor* context, std::uint32_t flags) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  // The change is in the database when its notice goes out, and the operation answers done: the runtime would
  // otherwise make the change again (an add twice). So the notice must not fail for want of memory nor let an
  // exception out: the set is walked in place rather than copied first, which is safe because a notice adds or
  // removes no table. What another table makes of the notice never changed the operation's answer.
  std::uint32_t position = 0;
  std::uint64_t value = 0;
  while (m_pTables->bIterate(position, 0, &value, nullptr)) {
    auto* table = reinterpret_cast<CTable*>(static_cast<std::uintptr_t>(value));
    if (table == skip) continue;
    table->AddRef();
    CTableReference reference(table);
    table->NotifyOtherTables(kind, context, flags);
  }
}

void CAccessInterface::NotifyTablesOfConnection(IHostConnectionDescription* hostConnectionDescription,
                                                std::uint64_t value) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  VisitTables([&](CTable& table) {
    CConnection* connection = table.pGetConnection();
    if (connection && connection->pGetHostDescription() == hostConnectionDescription) {
      table.bUnlockRecord(hostConnectionDescription, static_cast<RuntimeWord>(value));
    }
  });
}

// ---- errors ---------------------------------------------------------------------------------------------------------

void CAccessInterface::Raise(std::uint32_t recordedCode, std::uint32_t point, CConnection* reporter,
                             const char16_t* file, std::uint32_t errorCode, const char16_t* first,
                             const char16_t* second) {
  RaiseModuleError(m_pErrorHolder, recordedCode, ERROR_UNIT_ACCESS_INTERFACE, point, reporter, file, errorCode, first,
                   second);
}

// ---- the steps of the positions -------------------------------------------------------------------------------------

template <std::size_t P, typename... A>
auto CAccessInterface::RunFrame(IHostFileHandle* handle, A... arguments) {
  using W = ToTable<P>;
  using Result = decltype(W::Run(std::declval<CTable&>(), arguments...));
  constexpr bool kLookupOnly = W::kStep == EStep::Lookup || W::kStep == EStep::Probe;
  platform::CriticalSectionGuard lock(gcsDriverLock);
  if (!kLookupOnly && m_pErrorHolder) m_pErrorHolder->Clear();
  CTableReference table(pFindTable(handle));
  if (!table) {
    if constexpr (W::kStep == EStep::FrameOrOne) {
      return Result{1};
    } else if constexpr (W::kStep == EStep::Lookup) {
      return Result{0};
    } else if constexpr (W::kStep == EStep::Probe) {
      Raise(0, INTERFACE_POINT_PROBE_UNKNOWN_HANDLE, m_pConnection, pszGetName(), ERROR_UNKNOWN_HANDLE);
      return Result{0};
    } else {
      Raise(0, INTERFACE_POINT_UNKNOWN_HANDLE, nullptr, pszGetName(), ERROR_UNKNOWN_HANDLE, pszGetName());
      return Result{0};
    }
  }
  if constexpr (!kLookupOnly) ClearTableHolder(*table);
  if constexpr (W::kStep == EStep::FrameRename) {
    const char16_t* context = std::get<0>(std::tie(arguments...));
    if (context && m_bRenameSqlContext && table->bIsSqlQuery()) {
      table->RenameSqlContext(context);
      m_bRenameSqlContext = 0;
    }
  }
  return W::Run(*table, arguments...);
}

template <std::size_t P, typename... A>
std::int32_t CAccessInterface::RunOpen(IHostFileHandle* handle, A... arguments) {
  using W = ToTable<P>;
  platform::CriticalSectionGuard lock(gcsDriverLock);
  if (m_pErrorHolder) m_pErrorHolder->Clear();
  const int opened = W::kStep == EStep::Open ? m_pConnection->bOpen(m_pErrorHolder, nullptr)
                                             : m_pConnection->bOpenAgain(m_pErrorHolder, nullptr);
  if (!opened) {
    PassErrorToTableRegistry(handle, m_pErrorHolder);
    return 0;
  }
  std::uint32_t created = 0;
  CTableReference table(pFindOrCreateTable(handle, &created));
  if (!table) return 0;
  ClearTableHolder(*table);
  const std::int32_t result = W::Run(*table, arguments...);
  // A failed first open leaves no table behind; a created table never outlives its creation. Only then does the
  // interface take the table's error: a table that was there before keeps its failure in its own holder.
  const bool unregister = W::kStep == EStep::Create || (result == 0 && created);
  const bool copyError = result == 0 && (W::kStep == EStep::Create || created);
  if (copyError && m_pErrorHolder) m_pErrorHolder->CopyErrorFrom(table->pGetErrorHolder());
  if (unregister) UnregisterTable(handle, table.Get());
  return result;
}

template <std::size_t P, typename... A>
auto CAccessInterface::Dispatch(IHostFileHandle* handle, A... arguments) {
  using W = ToTable<P>;
  if constexpr (W::kStep == EStep::Open || W::kStep == EStep::OpenForCreate || W::kStep == EStep::Create) {
    return RunOpen<P>(handle, arguments...);
  } else if constexpr (W::kStep == EStep::FindOrCreate) {
    platform::CriticalSectionGuard lock(gcsDriverLock);
    std::uint32_t created = 0;
    CTableReference table(pFindOrCreateTable(handle, &created));
    return table ? W::Run(*table, arguments...) : 0;
  } else {
    return RunFrame<P>(handle, arguments...);
  }
}

std::int32_t CAccessInterface::RunNotAvailable(IHostFileHandle* handle, std::uint32_t point) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  Raise(RECORDED_NOT_AVAILABLE, point, m_pConnection, pszGetName(), ERROR_NOT_AVAILABLE);
  PassErrorToTableRegistry(handle, m_pErrorHolder);
  return 0;
}

std::int32_t CAccessInterface::bCheckSqlEngine(IHostSqlQuery* sqlQuery) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  // Checked once per driver object; without a driver object nothing records the pass, so every run asks.
  if (!sqlQuery || (m_pDriver && m_pDriver->bIsSqlEngineChecked())) return 1;
  if (!sqlQuery->nQueryLibrary(kLibraryQuestion, kSqlEngineLibrary, &gnSqlEngineLibraryVersion)) {
    Raise(0, INTERFACE_POINT_NO_LIBRARY_VERSION, m_pConnection, nullptr, ERROR_LIBRARY_VERSION, kModuleName,
          kSqlEngineLibraryName);
    return 0;
  }
  if (gnSqlEngineLibraryVersion < SQL_ENGINE_MIN_VERSION) {
    Raise(0, INTERFACE_POINT_LIBRARY_TOO_OLD, m_pConnection, nullptr, ERROR_LIBRARY_VERSION, kSqlEngineLibraryName,
          kModuleName);
    return 0;
  }
  if (m_pDriver) m_pDriver->SetSqlEngineChecked(1);
  return 1;
}

// ---- the runtime's operations ---------------------------------------------------------------------------------------

std::int32_t CAccessInterface::nGetInterfaceVersion() { return 11; }
std::int32_t CAccessInterface::nGetInterfaceMinVersion() { return 8; }
std::int32_t CAccessInterface::nReturnMinusOne2() { return -1; }
std::int32_t CAccessInterface::nReturnMinusOne3() { return -1; }
void CAccessInterface::DoNothing4() {}

std::uint32_t CAccessInterface::AddExternalRef() {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  return ++m_nExternalCount;
}

std::int32_t CAccessInterface::nReleaseExternalRef() {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  if (m_nExternalCount > 0) --m_nExternalCount;
  if (m_nExternalCount == 0 && m_nRefCount == 1 && m_pDriver) {
    // Only the driver's key map holds the interface: the driver drops it from the map, which destroys it.
    AddRef();
    m_pDriver->nReleaseAccessInterface(this);
    return 0;
  }
  if (m_nExternalCount == 0 && m_nRefCount == 0) {
    DeletingDestructor(1);
    return 0;
  }
  return static_cast<std::int32_t>(m_nExternalCount);
}

CErrorHolder* CAccessInterface::pGetErrorHolderFor(IHostFileHandle* handle) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  CTableRegistry* registry = pFindTableRegistry(handle);
  if (!registry) return m_pErrorHolder;
  CErrorHolder* holder = registry->pGetErrorHolder();
  registry->nRelease();
  return holder;
}

std::int32_t CAccessInterface::bIsOpen(IHostFileHandle* handle) { return Dispatch<8>(handle); }

IHostFileDescription* CAccessInterface::piGetRecordDescription() {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  // An interface made for a name has no record description: the runtime gets null, not a dangling object.
  if (!m_pRecordDescription) return nullptr;
  m_pRecordDescription->AddExternalRef();
  return m_pRecordDescription;
}

std::int32_t CAccessInterface::bSupportsTransactions(IHostFileHandle* handle, RuntimeWord a, RuntimeWord b) {
  return Dispatch<10>(handle, a, b);
}

// The operation has no result of its own; 0 tells the runtime plainly that nothing was done.
std::int32_t CAccessInterface::nNotAvailableA(IHostFileHandle* handle) {
  return RunNotAvailable(handle, INTERFACE_POINT_NOT_AVAILABLE_A);
}

std::int32_t CAccessInterface::bEnsureTable(IHostFileHandle* handle, std::uint32_t a, RuntimeWord b) {
  return Dispatch<12>(handle, a, b);
}

std::int32_t CAccessInterface::bOpenOrCreate(IHostFileHandle* handle, std::uint32_t a, RuntimeWord b) {
  return Dispatch<13>(handle, a, b);
}

std::int32_t CAccessInterface::bCreateAndOpen(IHostFileHandle* handle, RuntimeWord a) {
  return Dispatch<14>(handle, a);
}

std::int32_t CAccessInterface::bOpen(IHostFileHandle* handle, std::uint32_t a, RuntimeWord b) {
  return Dispatch<15>(handle, a, b);
}

std::int32_t CAccessInterface::bSetTablesStateByName(IHostFileHandle* handle, std::uint32_t state) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  std::uint32_t created = 0;
  CTableRegistry* registry = pFindOrCreateTableRegistry(handle, &created);
  if (!registry) return 1;
  std::int32_t result = 0;
  try {
    result = registry->nSetStateByName(pszGetName(), state);
  } catch (...) {
    registry->nRelease();
    throw;
  }
  registry->nRelease();
  return result;
}

std::int32_t CAccessInterface::bClose(IHostFileHandle* handle) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  CTableReference table(pFindTable(handle));
  if (!table) return 1;
  ClearTableHolder(*table);
  const std::int32_t result = ToTable<17>::Run(*table);
  if (result == 0 && m_pErrorHolder) m_pErrorHolder->CopyErrorFrom(table->pGetErrorHolder());
  UnregisterTable(handle, table.Get());
  SetQuerySource(nullptr);
  return result;
}

std::int32_t CAccessInterface::bClearRecord(IHostFileHandle* handle, std::uint32_t flags, std::uint32_t mode) {
  return Dispatch<18>(handle, flags, mode);
}

std::int32_t CAccessInterface::bSaveRecord(IHostFileHandle* handle, RuntimeWord key, std::uint32_t flags,
                                           std::uint32_t mode) {
  return Dispatch<19>(handle, key, flags, mode);
}

std::int32_t CAccessInterface::bNotSupportedA(IHostFileHandle* handle, RuntimeWord a, std::uint32_t b) {
  return Dispatch<20>(handle, a, b);
}

std::int32_t CAccessInterface::bDeleteRecord(IHostFileHandle* handle, RuntimeWord key, std::uint32_t mode) {
  return Dispatch<21>(handle, key, mode);
}

std::int32_t CAccessInterface::bWriteRecord(IHostFileHandle* handle, RuntimeWord key, std::uint32_t flags,
                                            std::uint32_t mode) {
  return Dispatch<22>(handle, key, flags, mode);
}

std::int32_t CAccessInterface::bSeekOnKey(IHostFileHandle* handle, const char16_t* context, RuntimeWord a,
                                          std::uint32_t b, std::uint32_t c, std::uint32_t d, RuntimeWord e,
                                          std::uint32_t f, std::uint32_t g) {
  return Dispatch<23>(handle, context, a, b, c, d, e, f, g);
}

std::int32_t CAccessInterface::bNotSupportedB(IHostFileHandle* handle) { return Dispatch<24>(handle); }

std::int32_t CAccessInterface::bModifyRecord(IHostFileHandle* handle, RuntimeWord key, std::uint32_t mode,
                                             RuntimeWord argument) {
  return Dispatch<25>(handle, key, mode, argument);
}

std::int32_t CAccessInterface::bRead(IHostFileHandle* handle, const char16_t* context, std::uint32_t direction,
                                     std::uint32_t flags, std::uint32_t a, RuntimeWord out, std::uint32_t b) {
  return Dispatch<26>(handle, context, direction, flags, a, out, b);
}

std::int32_t CAccessInterface::bReadInContext(IHostFileHandle* handle, const char16_t* context, std::uint32_t a,
                                              RuntimeWord b, std::uint32_t c, std::uint32_t d, RuntimeWord e,
                                              std::uint32_t f) {
  return Dispatch<27>(handle, context, a, b, c, d, e, f);
}

std::int32_t CAccessInterface::bLockTable(IHostFileHandle* handle, std::uint32_t mode, RuntimeWord previousMode) {
  return Dispatch<28>(handle, mode, previousMode);
}

std::int32_t CAccessInterface::bUnlockTable(IHostFileHandle* handle) { return Dispatch<29>(handle); }

std::int32_t CAccessInterface::bTestRecordLock(IHostFileHandle* handle, RuntimeWord a, std::uint32_t b, RuntimeWord c) {
  return Dispatch<30>(handle, a, b, c);
}

std::int32_t CAccessInterface::bTestRecordLockDefault(IHostFileHandle* handle, RuntimeWord a) {
  return Dispatch<31>(handle, a);
}

std::int32_t CAccessInterface::bGetOutOfRange(IHostFileHandle* handle, const char16_t* context, RuntimeWord out) {
  return Dispatch<32>(handle, context, out);
}

std::int32_t CAccessInterface::bGetRecordState(IHostFileHandle* handle, const char16_t* context, std::uint32_t* word,
                                               std::uint32_t* found) {
  return Dispatch<33>(handle, context, word, found);
}

std::int32_t CAccessInterface::bSetLockMode(IHostFileHandle* handle, std::uint32_t mode) {
  return Dispatch<34>(handle, mode);
}

std::int64_t CAccessInterface::nTableProbe(IHostFileHandle* handle) { return Dispatch<35>(handle); }

std::int32_t CAccessInterface::bGetRecordFlags(IHostFileHandle* handle, RuntimeWord key, RuntimeWord outFlags) {
  return Dispatch<36>(handle, key, outFlags);
}

std::int32_t CAccessInterface::bGoToRecord(IHostFileHandle* handle, const char16_t* context, RuntimeWord a,
                                           std::uint32_t b, RuntimeWord c, std::uint32_t d, IHostSqlQuery* sqlQuery) {
  if (!bCheckSqlEngine(sqlQuery)) return 0;
  return Dispatch<37>(handle, context, a, b, c, d, sqlQuery);
}

std::int32_t CAccessInterface::bDeleteRecordChecked(IHostFileHandle* handle, IHostSqlQuery* sqlQuery,
                                                    RuntimeWord value) {
  if (!bCheckSqlEngine(sqlQuery)) return 0;
  return Dispatch<38>(handle, sqlQuery, value);
}

std::int32_t CAccessInterface::bMarkContextRecord(IHostFileHandle* handle, const char16_t* context) {
  return Dispatch<39>(handle, context);
}

std::int32_t CAccessInterface::bResetContextMark(IHostFileHandle* handle, const char16_t* context) {
  return Dispatch<40>(handle, context);
}

std::int32_t CAccessInterface::bCheckItem(IHostFileHandle* handle, std::uint32_t a, RuntimeWord b, std::uint32_t c,
                                          std::uint32_t d) {
  return Dispatch<41>(handle, a, b, c, d);
}

std::int32_t CAccessInterface::bSavePosition(IHostFileHandle* handle, std::uint32_t identifier) {
  return Dispatch<42>(handle, identifier);
}

std::int32_t CAccessInterface::bCheckItemValue(IHostFileHandle* handle, const char16_t* context, RuntimeWord value,
                                               std::uint32_t a) {
  return Dispatch<43>(handle, context, value, a);
}

std::int32_t CAccessInterface::bIsReadOnly(IHostFileHandle* handle, RuntimeWord out) {
  return Dispatch<44>(handle, out);
}

std::int32_t CAccessInterface::bReadCurrentContext(IHostFileHandle* handle, RuntimeWord value, std::uint32_t a,
                                                   std::uint32_t b) {
  return Dispatch<45>(handle, value, a, b);
}

std::int32_t CAccessInterface::bGetPositionPerMille(IHostFileHandle* handle, const char16_t* context,
                                                    std::uint32_t* out, std::uint32_t flags) {
  return Dispatch<46>(handle, context, out, flags);
}

std::int32_t CAccessInterface::bSetPositionPerMille(IHostFileHandle* handle, const char16_t* context,
                                                    std::uint32_t perMille, std::uint32_t a, std::uint32_t flags) {
  return Dispatch<47>(handle, context, perMille, a, flags);
}

std::int32_t CAccessInterface::bReadLargeValue(IHostFileHandle* handle, std::uint32_t index, RuntimeWord value) {
  return Dispatch<48>(handle, index, value);
}

std::int32_t CAccessInterface::bWriteLargeValue(IHostFileHandle* handle, std::uint32_t index, RuntimeWord buffer) {
  return Dispatch<49>(handle, index, buffer);
}

std::int32_t CAccessInterface::bGetRecordBuffer(IHostFileHandle* handle, RuntimeWord out) {
  return Dispatch<50>(handle, out);
}

std::int32_t CAccessInterface::bSetRecordBuffer(IHostFileHandle* handle, RuntimeWord buffer) {
  return Dispatch<51>(handle, buffer);
}

std::int32_t CAccessInterface::bCallLargeValueSlot(IHostFileHandle* handle, std::uint32_t index, RuntimeWord value) {
  return Dispatch<52>(handle, index, value);
}

std::int32_t CAccessInterface::nGetLargeValueState(IHostFileHandle* handle, std::uint32_t index, RuntimeWord value) {
  return Dispatch<53>(handle, index, value);
}

std::int32_t CAccessInterface::bResetContext(IHostFileHandle* handle, const char16_t* context) {
  return Dispatch<54>(handle, context);
}

std::int32_t CAccessInterface::bRestorePosition(IHostFileHandle* handle, RuntimeWord position, std::uint32_t flags) {
  return Dispatch<55>(handle, position, flags);
}

std::int32_t CAccessInterface::bNotSupportedC(IHostFileHandle* handle, RuntimeWord a, RuntimeWord b, std::uint32_t c,
                                              RuntimeWord d) {
  return Dispatch<56>(handle, a, b, c, d);
}

std::int32_t CAccessInterface::nNotAvailableB(IHostFileHandle* handle) {
  return RunNotAvailable(handle, INTERFACE_POINT_NOT_AVAILABLE_B);
}
std::int32_t CAccessInterface::nNotAvailableC(IHostFileHandle* handle) {
  return RunNotAvailable(handle, INTERFACE_POINT_NOT_AVAILABLE_C);
}
std::int32_t CAccessInterface::nNotAvailableD(IHostFileHandle* handle) {
  return RunNotAvailable(handle, INTERFACE_POINT_NOT_AVAILABLE_D);
}

std::int32_t CAccessInterface::bDropSharedRowSource(IHostFileHandle* handle) { return Dispatch<60>(handle); }

std::int32_t CAccessInterface::bCompareSavedPositions(IHostFileHandle* handle, std::uint32_t a, std::uint32_t b,
                                                      RuntimeWord outEqual) {
  return Dispatch<61>(handle, a, b, outEqual);
}

std::int32_t CAccessInterface::nReturnZero62() { return 0; }
std::int32_t CAccessInterface::nReturnZero63() { return 0; }

std::int32_t CAccessInterface::bDeleteAll(IHostFileHandle* handle) { return Dispatch<64>(handle); }

void CAccessInterface::DoNothing65() {}
void CAccessInterface::DoNothing66() {}
void CAccessInterface::DoNothing67() {}
void CAccessInterface::DoNothing68() {}
void CAccessInterface::DoNothing69() {}
void CAccessInterface::DoNothing70() {}
void CAccessInterface::DoNothing71() {}
void CAccessInterface::DoNothing72() {}
void CAccessInterface::DoNothing73() {}
void CAccessInterface::DoNothing74() {}
void CAccessInterface::DoNothing75() {}
void CAccessInterface::DoNothing76() {}
void CAccessInterface::DoNothing77() {}
void CAccessInterface::DoNothing78() {}

std::int32_t CAccessInterface::bCreate(IHostFileHandle* handle) { return Dispatch<79>(handle); }

void CAccessInterface::DeletingDestructor(std::uint32_t flags) {
  if (flags & 1) {
    delete this;
  } else {
    this->~CAccessInterface();
  }
}

std::int32_t CAccessInterface::bExecuteQuery(std::uint32_t* hasRows, IHostFileHandle* handle, const char16_t* context,
                                             IHostSqlQuery* sqlQuery, std::uint32_t flags, RuntimeWord value) {
  if (!bCheckSqlEngine(sqlQuery)) return 0;
  platform::CriticalSectionGuard lock(gcsDriverLock);
  std::uint32_t created = 0;
  CTableReference table(pFindOrCreateTable(handle, &created));
  if (!table) return 0;
  ClearTableHolder(*table);
  const std::int32_t result = ToTable<81>::Run(*table, hasRows, context, sqlQuery, flags, value);
  if (result != 0 && !table->bQueryReportsRows() && hasRows && *hasRows) {
    // The query's own description replaces the interface's; it comes with the external reference the interface
    // keeps.
    IHostFileDescription* working = table->pGetWorkingDescription();
    if (m_pRecordDescription) m_pRecordDescription->nReleaseExternal();
    m_pRecordDescription = working;
  }
  if (!table->bIsPending()) m_bRenameSqlContext = 1;
  if (result == 0) {
    if (m_pErrorHolder) m_pErrorHolder->CopyErrorFrom(table->pGetErrorHolder());
    if (!table->bQueryReportsRows()) UnregisterTable(handle, table.Get());
  }
  return result;
}
