#include "engine/cache/shared_row_source.h"

#include <new>

#include "engine/cache/keyed_row_view.h"
#include "engine/cache/row_cache.h"
#include "engine/table/cursor.h"
#include "engine/table/table.h"
#include "foundation/clone_map.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/reference_guard.h"
#include "host/host_objects.h"

CSharedRowSource::CSharedRowSource(CErrorHolder* holder, CTable* table) : m_pErrorHolder(holder), m_pTable(table) {
  if (holder) holder->AddRef();
}

CSharedRowSource::CSharedRowSource() = default;

CSharedRowSource::~CSharedRowSource() {
  if (m_pRowCache) m_pRowCache->nRelease();
  if (m_pSourceCursor) m_pSourceCursor->nRelease();
  if (m_pErrorHolder) m_pErrorHolder->nRelease();
}

int CSharedRowSource::bSetSourceCursor(CCursor* cursor) {
  AddRefObject(cursor);
  if (m_pSourceCursor) m_pSourceCursor->nRelease();
  m_pSourceCursor = cursor;
  m_conditionRef.Set(cursor ? cursor->pGetFilterNode() : nullptr);
  return 1;
}

int CSharedRowSource::bFillFor(CCursor* cursor) {
  // Only a source that never had rows takes a source cursor: once the cache is built the source cursor is gone
  // for good, and a context reading the built cache must not become a source whose close would drop it.
  int answer = 1;
  if (bIsEmpty()) answer = bSetSourceCursor(cursor);
  if (cursor) cursor->AttachRowCache(1);
  return answer;
}

int CSharedRowSource::bIsComplete() const { return m_pSourceCursor ? m_pSourceCursor->bHasCompleteRowCache() : 1; }

int CSharedRowSource::bIsSourceCache(const CRowCache* cache) const {
  if (!cache) return 0;
  if (m_pRowCache) return cache == m_pRowCache;
  return m_pSourceCursor && cache == m_pSourceCursor->pGetRowCache();
}

CRowCache* CSharedRowSource::pGetRowCache() {
  if (m_pRowCache) return m_pRowCache;
  if (!m_pSourceCursor || !m_pTable) return nullptr;
  CCursor* defaultCursor = m_pTable->pGetDefaultContext();
  if (!defaultCursor) return nullptr;
  // Reading the source cursor to its end moves the table's current record: the default context's place is kept
  // and put back when the source is another context.
  const bool otherSource = m_pSourceCursor != defaultCursor;
  std::uint32_t kept = 0;
  if (otherSource && !m_pTable->bStorePosition(reinterpret_cast<RuntimeWord>(&kept),
                                               defaultCursor->pszGetRequestedSearchItem(), 0)) {
    return nullptr;
  }
  // Reading on may close the source cursor, and its close drops this source from the table: it must outlive the
  // build.
  AddRef();
  CRowCache* cache = m_pSourceCursor->pGetCompleteRowCache();
  if (cache) {
    cache->AddRef();
    m_pRowCache = cache;
    if (otherSource) {
      char16_t name[257] = {};
      m_pTable->bRecallPosition(kept, reinterpret_cast<RuntimeWord>(name), 0, 0);
    }
    CCursor* source = m_pSourceCursor;
    m_pSourceCursor = nullptr;
    source->nRelease();
  }
  nRelease();
  return cache;
}

CKeyedRowView* CSharedRowSource::pOpenView(CCursor* cursor, CColumn* keyColumn) {
  CRowCache* cache = pGetRowCache();
  if (!cache) return nullptr;
  auto* view = new (std::nothrow) CKeyedRowView(m_pErrorHolder, cursor, cache, keyColumn);
  if (!view) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return nullptr;
  }
  view->AddRef();
  if (!view->pCreateKeyIndex()) {
    view->nRelease();
    return nullptr;
  }
  --view->m_nRefCount;
  return view;
}

std::uint32_t CSharedRowSource::nGetRowCount() {
  CRowCache* cache = pGetRowCache();
  return cache ? cache->nGetRowCount() - cache->nGetDeletedCount() : 0;
}

int CSharedRowSource::bCopyFrom(CSharedRowSource* source, CHashTable& cloneMap) {
  if (!source) return 0;
  if (source == this) return 1;
  if (!bRegisterClone(cloneMap, source, this)) return 0;
  Exchange(m_pErrorHolder, source->m_pErrorHolder);
  if (source->m_pTable && !(m_pTable = pTableCopyInMap(cloneMap, source->m_pTable))) return 0;
  if (source->m_pSourceCursor && !bReplaceWithClone(cloneMap, source->m_pSourceCursor, m_pSourceCursor)) return 0;
  if (source->m_pRowCache && !bReplaceWithClone(cloneMap, source->m_pRowCache, m_pRowCache)) return 0;
  m_conditionRef.Assign(source->m_conditionRef);
  return 1;
}

CSharedRowSource* CSharedRowSource::pClone(CHashTable& cloneMap) {
  return pCloneUnreferenced(new (std::nothrow) CSharedRowSource(), m_pErrorHolder,
                            [&](CSharedRowSource* copy) { return copy->bCopyFrom(this, cloneMap); });
}
