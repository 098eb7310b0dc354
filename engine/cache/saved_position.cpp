#include "engine/cache/saved_position.h"

#include <new>

#include "engine/cache/keyed_row_cache.h"
#include "engine/cache/position_links.h"
#include "foundation/clone_map.h"

CSavedPosition::~CSavedPosition() {
  Unpin(m_pin);
  Unpin(m_secondPin);
  if (m_pOwner) m_pOwner->ReleaseOwnerReference();
}

void CSavedPosition::Pin(SPin& pin, std::uint32_t row) {
  Unpin(pin);
  CKeyedRowCache* store = m_pTable ? m_pTable->pGetRecordStore() : nullptr;
  if (row == 0xFFFFFFFF || !store) return;
  store->AddRef();
  store->Pin(row);
  pin.nRow = row;
  pin.pStore = store;
}

void CSavedPosition::Unpin(SPin& pin) {
  if (pin.pStore) {
    pin.pStore->nUnpin(pin.nRow);
    pin.pStore->nRelease();
  }
  pin.pStore = nullptr;
  pin.nRow = 0xFFFFFFFF;
}

int CSavedPosition::bSave(std::uint32_t row, std::uint32_t cacheRow, const CPositionKey& key, std::uint32_t mode) {
  m_bValid = 1;
  m_nRow = row;
  Pin(m_pin, cacheRow);
  m_key.Assign(key);
  m_nMode = mode;
  return 1;
}

void CSavedPosition::BindToCache(IPositionTable* table, std::uint32_t cacheRow) {
  m_pTable = table;
  Pin(m_secondPin, cacheRow);
}

int CSavedPosition::bSetConditionContext(CFilterHolder* condition) {
  m_condition.Set(condition);
  return 1;
}

void CSavedPosition::SetOwner(IPositionOwner* owner) {
  if (owner) owner->AddOwnerReference();
  if (m_pOwner) m_pOwner->ReleaseOwnerReference();
  m_pOwner = owner;
  m_pTable = owner ? owner->pGetOwnerTable() : nullptr;
}

IPositionOwner* CSavedPosition::pGetOwner() const {
  if (m_pOwner) m_pOwner->AddOwnerReference();
  return m_pOwner;
}

// The copy's pin lies in the copy of the source's store, whose pin counts (the source's pin among them) came with
// it: the copy holds that pin without pinning again.
bool CSavedPosition::bCopyPin(SPin& pin, const SPin& source, CHashTable& cloneMap) {
  Unpin(pin);
  if (!source.pStore) return true;
  std::uint64_t known = 0;
  auto* store = cloneMap.bLookup(nCloneKey(source.pStore), &known, nullptr)
                    ? reinterpret_cast<CKeyedRowCache*>(known)
                    : static_cast<CKeyedRowCache*>(source.pStore->pNew(cloneMap));
  if (!store) return false;
  store->AddRef();
  pin.pStore = store;
  pin.nRow = source.nRow;
  return true;
}

int CSavedPosition::bCopyFromWithMap(CSavedPosition* source, CHashTable& cloneMap) {
  if (!bRegisterClone(cloneMap, source, this)) return 0;
  m_nRow = source->m_nRow;
  if (!bCopyPin(m_pin, source->m_pin, cloneMap) || !bCopyPin(m_secondPin, source->m_secondPin, cloneMap)) return 0;
  m_pTable = source->m_pTable ? source->m_pTable->pCloneThroughMap(cloneMap) : nullptr;
  if (source->m_pTable && !m_pTable) return 0;
  m_key.Assign(source->m_key);
  m_condition.Assign(source->m_condition);
  m_strName.Assign(source->m_strName.pszGet());
  m_bValid = source->m_bValid;
  m_nState = source->m_nState;
  IPositionOwner* owner = source->m_pOwner ? source->m_pOwner->pCloneThroughMap(cloneMap) : nullptr;
  if (source->m_pOwner && !owner) return 0;
  if (owner) owner->AddOwnerReference();
  if (m_pOwner) m_pOwner->ReleaseOwnerReference();
  m_pOwner = owner;
  m_nMode = source->m_nMode;
  return 1;
}

CSavedPosition* CSavedPosition::pNew(CHashTable& cloneMap) {
  auto* copy = new (std::nothrow) CSavedPosition();
  if (!copy) return nullptr;
  copy->AddRef();
  if (!copy->bCopyFromWithMap(this, cloneMap)) {
    copy->nRelease();
    return nullptr;
  }
  --copy->m_nRefCount;
  return copy;
}
