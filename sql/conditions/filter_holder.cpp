#include "sql/conditions/filter_holder.h"

#include <new>


CFilterHolder* CFilterHolder::pNew() { return new (std::nothrow) CFilterHolder(); }

CFilterHolder* CFilterHolder::pClone() { return static_cast<CFilterHolder*>(CKeyCondition::pClone()); }

int CFilterHolder::CopyFrom(CFilterHolder* source, CHashTable& cloneMap, std::uintptr_t a, std::uintptr_t b) {
  return CKeyCondition::CopyFrom(source, cloneMap, a, b);
}

CFilterHolder* CFilterHolder::pNewWithArgs(CKeyCondition* source, CHashTable& cloneMap, std::uintptr_t a,
                                           std::uintptr_t b) {
  // A filter's copy is made by the filter's CopyFrom, which is the key condition's.
  return static_cast<CFilterHolder*>(pCopyInto(new (std::nothrow) CFilterHolder(), source, cloneMap, a, b));
}

int CFilterHolder::bEquals(CFilterHolder* other) { return other == this ? 1 : CKeyCondition::bEquals(other); }

void CConditionRef::Set(CFilterHolder* filter) {
  if (filter == m_pFilter) return;
  Release();
  if (!filter) return;
  filter->AddRef();
  m_pFilter = filter;
  m_bStarted = filter->bIsStarted() ? 1 : 0;
}

void CConditionRef::Assign(const CConditionRef& other) {
  Set(other.m_pFilter);
  m_bStarted = other.m_bStarted;
}

void CConditionRef::Release() {
  CFilterHolder* held = m_pFilter;
  m_pFilter = nullptr;
  m_bStarted = 0;
  // A filter with its keep-alive word set outlives its last holder.
  if (held) ReleaseArrayElement(nullptr, held);
}

int CConditionRef::bMatches(CFilterHolder* filter) {
  const std::uint32_t started = filter && filter->bIsStarted() ? 1 : 0;
  if (m_bStarted != started) return 0;
  // An unstarted filter and no filter restrict a statement alike.
  if (!started) return 1;
  return bFiltersMatch(m_pFilter, filter);
}

int bFiltersMatch(CFilterHolder* a, CFilterHolder* b) {
  if (!a && !b) return 1;
  if (!a || !b) return (a ? a : b)->bIsStarted() ? 0 : 1;
  return a->bEquals(b);
}
