// The table's part of a session context's deep copy: every member through the clone map, so that an object several
// tables, contexts or positions share is copied once and the copies share it.
#include <new>

#include "engine/cache/keyed_row_cache.h"
#include "engine/cache/saved_position.h"
#include "engine/cache/shared_row_source.h"
#include "engine/record/query_description.h"
#include "engine/record/record_description.h"
#include "engine/record/table_description.h"
#include "engine/table/cursor.h"
#include "engine/table/table.h"
#include "foundation/clone_map.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/reference_guard.h"
#include "host/host_objects.h"
#include "sql/conditions/key_condition.h"
#include "sql/connection.h"
#include "sql/driver_services.h"

namespace {

template <typename T>
T* AsPointer(std::uint64_t value) {
  return reinterpret_cast<T*>(static_cast<std::uintptr_t>(value));
}

// The copy of an object the map already holds, else null.
template <typename T>
T* pKnownCopy(CHashTable& map, T* source) {
  std::uint64_t copy = 0;
  return source && map.bLookup(nCloneKey(source), &copy, nullptr) ? AsPointer<T>(copy) : nullptr;
}

// For the descriptions, whose clone comes with its reference: the map's copy takes one, else the clone's is kept.
template <typename T>
int bReplaceWithHeldClone(CHashTable& map, T* source, T*& field) {
  if (!source) return 1;
  T* copy = pKnownCopy(map, source);
  if (copy) {
    copy->AddRef();
  } else if (!(copy = source->pClone(map))) {
    return 0;
  }
  if (field) field->nRelease();
  field = copy;
  return 1;
}

// A record store's copy for a counted field (the store's clone is made as a row cache of its own class).
int bReplaceStore(CHashTable& map, CKeyedRowCache* source, CKeyedRowCache*& field) {
  if (!source) return 1;
  CKeyedRowCache* copy = pKnownCopy(map, source);
  if (!copy) copy = static_cast<CKeyedRowCache*>(source->pClone(map));
  if (!copy) return 0;
  Exchange(field, copy);
  return 1;
}

}  // namespace

CTable* CTable::pClone(CHashTable& cloneMap, RuntimeWord a, RuntimeWord b) {
  return pCloneInto(new (std::nothrow) CTable(), cloneMap, a, b);
}

CTable* CTable::pCloneInto(CTable* copy, CHashTable& cloneMap, RuntimeWord a, RuntimeWord b) {
  if (!copy) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return nullptr;
  }
  copy->AddRef();
  int copied = 0;
  try {
    copied = copy->CopyFrom(this, cloneMap, a, b);
  } catch (...) {
    copy->nRelease();
    throw;
  }
  if (!copied) {
    copy->nRelease();
    return nullptr;
  }
  // Handed out without a reference: whoever keeps the copy (a registry, the access interface) takes one.
  --copy->m_nRefCount;
  return copy;
}

int CTable::CopyFrom(CTable* source, CHashTable& cloneMap, RuntimeWord a, RuntimeWord b) {
  if (!source) return 0;
  if (source == this) return 1;
  // Registered first: the contexts, the shared row source and the positions find their table's copy here.
  if (!bRegisterClone(cloneMap, source, this)) return 0;

  Exchange(m_pErrorHolder, source->m_pErrorHolder);
  if (m_pConnection != source->m_pConnection) {
    if (source->m_pConnection) source->m_pConnection->AddRef();
    ReleaseConnectionThroughDriver(m_pConnection);
    m_pConnection = source->m_pConnection;
  }
  for (auto [field, from] : {std::pair{&m_pRecordDescription, source->m_pRecordDescription},
                             std::pair{&m_pWorkingDescription, source->m_pWorkingDescription}}) {
    if (*field == from) continue;
    if (from) from->AddExternalRef();
    if (*field) (*field)->nReleaseExternal();
    *field = from;
  }

  auto fail = [this] {
    if (m_pErrorHolder && !m_pErrorHolder->bHasError()) SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  };
  if (!bReplaceWithHeldClone(cloneMap, source->m_pAttachedDescription, m_pAttachedDescription) ||
      !bReplaceWithHeldClone(cloneMap, source->m_pParsedQuery, m_pParsedQuery)) {
    return fail();
  }
  if (source->m_pTableDescription && !bReplaceWithClone(cloneMap, source->m_pTableDescription, m_pTableDescription))
    return fail();
  if (CKeyCondition* condition = source->m_pKeyCondition) {
    CKeyCondition* copy = pKnownCopy(cloneMap, condition);
    if (!copy) copy = condition->pNewWithArgs(condition, cloneMap, a, b);
    if (!copy) return fail();
    Exchange(m_pKeyCondition, copy);
  }
  if (!bReplaceStore(cloneMap, source->m_pRecordStore, m_pRecordStore) ||
      !bReplaceStore(cloneMap, source->m_pSecondRecordStore, m_pSecondRecordStore)) {
    return fail();
  }
  if (source->m_pSharedRowSource && !bReplaceWithClone(cloneMap, source->m_pSharedRowSource, m_pSharedRowSource))
    return fail();

  m_bOpen = source->m_bOpen;
  m_nRecordLockMode = source->m_nRecordLockMode;
  m_nQueryFlags = source->m_nQueryFlags;
  m_strQueryKeyName = source->m_strQueryKeyName;
  m_bQueryMode = source->m_bQueryMode;
  m_bExistsAndUsable = source->m_bExistsAndUsable;
  m_nNotificationFlags = source->m_nNotificationFlags;
  m_nIndexFlags = source->m_nIndexFlags;
  m_strSqlName = source->m_strSqlName;
  m_bSqlNameMade = source->m_bSqlNameMade;
  m_nState = source->m_nState;
  m_nCurrentRecordSlot = source->m_nCurrentRecordSlot;
  m_bAttachedMismatch = source->m_bAttachedMismatch;
  m_bFreshContext = source->m_bFreshContext;
  m_bRecordHandedOut = source->m_bRecordHandedOut;
  m_strOpenName = source->m_strOpenName;
  m_nRecordSize = source->m_nRecordSize;
  // The automatic identifier is made again on first use.

  std::uint32_t position = 0;
  std::uint64_t value = 0;
  std::uint64_t key = 0;
  while (source->m_contexts.bIterate(position, 0, &value, &key)) {
    const char16_t* name = AsPointer<const char16_t>(key);
    // A context this table has under that name already stays, and the lookup cache finds it.
    if (pFindContext(name)) continue;
    CCursor* copy = pCloneChild(cloneMap, AsPointer<CCursor>(value));
    if (!copy) return fail();
    if (!bStoreContext(name, copy)) {
      copy->nRelease();
      return fail();
    }
  }
  if (source->m_pSqlContext) {
    CCursor* copy = pCloneChild(cloneMap, source->m_pSqlContext);
    if (!copy) return fail();
    if (m_pSqlContext) m_pSqlContext->nRelease();
    m_pSqlContext = copy;
  }
  // The current context is one of the contexts or the SQL context, both copied by now; it holds no reference of
  // its own, so a copy nothing else held would be lost: such a one is not made.
  m_pCurrentContext = pKnownCopy(cloneMap, source->m_pCurrentContext);

  position = 0;
  while (source->m_savedPositions.bIterate(position, 0, &value, &key)) {
    if (m_savedPositions.bLookup(key, nullptr, nullptr)) continue;
    CSavedPosition* copy = pCloneChild(cloneMap, AsPointer<CSavedPosition>(value));
    if (!copy) return fail();
    if (!m_savedPositions.bInsert(key, reinterpret_cast<std::uintptr_t>(copy))) {
      copy->nRelease();
      return fail();
    }
  }
  // Registered only once whole: a copy that failed half-way must not stay among the interface's open tables.
  m_pOwner = source->m_pOwner;
  if (m_pOwner) RegisterTableWithOwner(m_pOwner, this);
  return 1;
}
