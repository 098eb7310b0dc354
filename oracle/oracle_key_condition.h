// COracleKeyCondition and COracleFilterHolder: the search-condition and filter nodes an Oracle statement makes. They
// behave as the generic ones and carry the connection's OCI error and environment handles (not owned: the
// connection keeps them as long as it is open, and the nodes hold a reference on it). An empty text compares as
// NULL on Oracle, so every constructor sets that switch.
#pragma once

#include <cstdint>

#include "sql/conditions/filter_holder.h"

class COracleKeyCondition : public CKeyCondition {
 public:
  // The generic node on the holder and connection, with the connection's handles when it is an Oracle one.
  COracleKeyCondition(CErrorHolder* holder, CConnection* connection);
  COracleKeyCondition();

  // The generic clone (made through pNew), carrying the handles too.
  CKeyCondition* pClone() override;
  CKeyCondition* pNewWithArgs(CKeyCondition* source, CHashTable& cloneMap, std::uintptr_t a,
                              std::uintptr_t b) override;
  CKeyCondition* pNew() override;
  // The generic copy, then both handles (of an Oracle source).
  int CopyFrom(CKeyCondition* source, CHashTable& cloneMap, std::uintptr_t a, std::uintptr_t b) override;

  void* pGetErrorHandle() const { return m_pErrorHandle; }
  void* pGetEnvironmentHandle() const { return m_pEnvironment; }

 private:
  void* m_pErrorHandle = nullptr;
  void* m_pEnvironment = nullptr;
};

class COracleFilterHolder : public CFilterHolder {
 public:
  COracleFilterHolder(CErrorHolder* holder, CConnection* connection);
  COracleFilterHolder();

  CFilterHolder* pNewWithArgs(CKeyCondition* source, CHashTable& cloneMap, std::uintptr_t a,
                              std::uintptr_t b) override;
  CFilterHolder* pNew() override;
  // The generic clone, carrying the handles too.
  CFilterHolder* pClone() override;
  int CopyFrom(CKeyCondition* source, CHashTable& cloneMap, std::uintptr_t a, std::uintptr_t b) override;
  int CopyFrom(CFilterHolder* source, CHashTable& cloneMap, std::uintptr_t a, std::uintptr_t b) override;

  void* pGetErrorHandle() const { return m_pErrorHandle; }
  void* pGetEnvironmentHandle() const { return m_pEnvironment; }

 private:
  void* m_pErrorHandle = nullptr;
  void* m_pEnvironment = nullptr;
};
