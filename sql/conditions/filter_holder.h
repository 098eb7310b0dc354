// CFilterHolder: the filter of a statement object, the range and query restriction that the runtime's filter and
// range reads set, written together with the statement's key condition as one WHERE clause. It is a key condition
// of its own class so that copies and clones of a statement keep a filter of the filter's class.
//
// CConditionRef: what a statement, a saved position or a shared row source remembers of the filter its SQL or rows
// were made with, so that it can tell later whether they still apply. It holds a reference on the filter.
#pragma once

#include <cstdint>

#include "sql/conditions/key_condition.h"

class CFilterHolder : public CKeyCondition {
 public:
  CFilterHolder(CErrorHolder* holder, CConnection* connection) : CKeyCondition(holder, connection) {}
  // For the copy idiom.
  CFilterHolder() = default;

  // The base's clone place: the base clone, made through pNew, so a CFilterHolder.
  CFilterHolder* pClone() override;
  CFilterHolder* pNewWithArgs(CKeyCondition* source, CHashTable& cloneMap, std::uintptr_t a,
                              std::uintptr_t b) override;
  CFilterHolder* pNew() override;
  // The base copy, for a filter's source.
  using CKeyCondition::CopyFrom;
  virtual int CopyFrom(CFilterHolder* source, CHashTable& cloneMap, std::uintptr_t a, std::uintptr_t b);

  int bEquals(CFilterHolder* other);
};

class CConditionRef {
 public:
  CConditionRef() = default;
  ~CConditionRef() { Release(); }
  CConditionRef(const CConditionRef&) = delete;
  CConditionRef& operator=(const CConditionRef&) = delete;

  // Holds the filter and notes whether it is started; setting the filter already held changes nothing, not even
  // the started flag.
  void Set(CFilterHolder* filter);
  // The other reference's filter and started flag.
  void Assign(const CConditionRef& other);
  // Gives the filter back: no filter, not started.
  void Release();
  // Whether what was made under the held filter still applies under this one.
  int bMatches(CFilterHolder* filter);

  CFilterHolder* pGetFilter() const { return m_pFilter; }
  std::uint32_t bGetStarted() const { return m_bStarted; }

 private:
  CFilterHolder* m_pFilter = nullptr;
  std::uint32_t m_bStarted = 0;
};

// Both null: 1. One null: 1 when the other is not started. Both given: CFilterHolder::bEquals.
int bFiltersMatch(CFilterHolder* a, CFilterHolder* b);
