// CSharedRowSource: the complete row cache of a query, held once per table object so that every record context of
// the query reads the same rows without running the query again. The first context that fills it is its source
// cursor; the cache is built from that cursor's row cache, read to the end, the first time a context asks for it,
// and from then on the source holds only the cache. Each context reads it in its own key order through a
// CKeyedRowView it opens here.
//
// Counted. The table object makes it and holds it; it holds a reference on its error holder, on the source cursor
// until the cache is built and on the cache; it does not count the table.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"
#include "sql/conditions/filter_holder.h"

class CColumn;
class CCursor;
class CErrorHolder;
class CHashTable;
class CKeyedRowView;
class CRowCache;
class CTable;

class CSharedRowSource : public CRefCounted {
 public:
  // The holder kept with a reference, the table without one; count 0.
  CSharedRowSource(CErrorHolder* holder, CTable* table);
  // Every member empty, for pClone.
  CSharedRowSource();
  ~CSharedRowSource() override;

  // ---- operations, in their order after the destructor and the release ----
  // The holder shared; the table, source cursor and cache cloned through the map (once per map); the condition
  // reference copied. 0 when a clone failed.
  virtual int bCopyFrom(CSharedRowSource* source, CHashTable& cloneMap);
  // A copy with no reference, or null.
  virtual CSharedRowSource* pClone(CHashTable& cloneMap);
  // The cursor becomes the source, with a reference; the filter it reads with is remembered. 1.
  virtual int bSetSourceCursor(CCursor* cursor);

  // A source that never had one takes the cursor as its source cursor; then the cursor's row cache is switched on.
  int bFillFor(CCursor* cursor);
  int bIsSourceCursor(const CCursor* cursor) const { return cursor && cursor == m_pSourceCursor; }
  // Whether the rows are all there: the source cursor's row cache is complete; 1 without a source cursor.
  int bIsComplete() const;
  // The complete cache, built on first use from the source cursor (see the .cpp); null when it cannot be had.
  CRowCache* pGetRowCache();
  // The cache is this source's, or, before it is built, the source cursor's.
  int bIsSourceCache(const CRowCache* cache) const;
  // A new view (count 0) of the cursor over the cache in the order of the key column, its index built; null when
  // the cache or the index cannot be had.
  CKeyedRowView* pOpenView(CCursor* cursor, CColumn* keyColumn);
  // The cache's rows that are not deleted, the cache built first; 0 when it cannot be.
  std::uint32_t nGetRowCount();
  // Neither a cache nor a source cursor.
  int bIsEmpty() const { return !m_pRowCache && !m_pSourceCursor; }

  CCursor* pGetSourceCursor() const { return m_pSourceCursor; }
  CRowCache* pGetBuiltCache() const { return m_pRowCache; }
  const CConditionRef& GetConditionRef() const { return m_conditionRef; }

 private:
  CErrorHolder* m_pErrorHolder = nullptr;
  CTable* m_pTable = nullptr;
  CCursor* m_pSourceCursor = nullptr;
  CRowCache* m_pRowCache = nullptr;
  CConditionRef m_conditionRef;
};
