#include "oracle/oracle_key_condition.h"

#include <new>

#include "oracle/oracle_connection.h"

namespace {

// The handles of an Oracle connection; none for another connection (a test's, a generic one).
void TakeHandles(CConnection* connection, void*& error, void*& environment) {
  auto* oracle = dynamic_cast<COracleConnection*>(connection);
  error = oracle ? oracle->m_pErrorHandle : nullptr;
  environment = oracle ? oracle->m_pEnvironment : nullptr;
}

}  // namespace

// ---- key condition ----

COracleKeyCondition::COracleKeyCondition(CErrorHolder* holder, CConnection* connection)
    : CKeyCondition(holder, connection) {
  SetEmptyTextIsNull(1);
  TakeHandles(connection, m_pErrorHandle, m_pEnvironment);
}

COracleKeyCondition::COracleKeyCondition() { SetEmptyTextIsNull(1); }

CKeyCondition* COracleKeyCondition::pNew() { return new (std::nothrow) COracleKeyCondition(); }

CKeyCondition* COracleKeyCondition::pClone() {
  auto* copy = static_cast<COracleKeyCondition*>(CKeyCondition::pClone());
  // A clone shares the connection: it carries the connection's handles as well.
  if (copy) {
    copy->m_pErrorHandle = m_pErrorHandle;
    copy->m_pEnvironment = m_pEnvironment;
  }
  return copy;
}

CKeyCondition* COracleKeyCondition::pNewWithArgs(CKeyCondition* source, CHashTable& cloneMap, std::uintptr_t a,
                                                 std::uintptr_t b) {
  return pCopyInto(pNew(), source, cloneMap, a, b);
}

int COracleKeyCondition::CopyFrom(CKeyCondition* source, CHashTable& cloneMap, std::uintptr_t a, std::uintptr_t b) {
  if (!CKeyCondition::CopyFrom(source, cloneMap, a, b)) return 0;
  if (auto* oracle = dynamic_cast<COracleKeyCondition*>(source)) {
    m_pErrorHandle = oracle->m_pErrorHandle;
    m_pEnvironment = oracle->m_pEnvironment;
  }
  return 1;
}

// ---- filter holder ----

COracleFilterHolder::COracleFilterHolder(CErrorHolder* holder, CConnection* connection)
    : CFilterHolder(holder, connection) {
  SetEmptyTextIsNull(1);
  TakeHandles(connection, m_pErrorHandle, m_pEnvironment);
}

COracleFilterHolder::COracleFilterHolder() { SetEmptyTextIsNull(1); }

CFilterHolder* COracleFilterHolder::pNew() { return new (std::nothrow) COracleFilterHolder(); }

CFilterHolder* COracleFilterHolder::pClone() {
  auto* copy = static_cast<COracleFilterHolder*>(CFilterHolder::pClone());
  if (copy) {
    copy->m_pErrorHandle = m_pErrorHandle;
    copy->m_pEnvironment = m_pEnvironment;
  }
  return copy;
}

CFilterHolder* COracleFilterHolder::pNewWithArgs(CKeyCondition* source, CHashTable& cloneMap, std::uintptr_t a,
                                                 std::uintptr_t b) {
  return static_cast<CFilterHolder*>(pCopyInto(pNew(), source, cloneMap, a, b));
}

int COracleFilterHolder::CopyFrom(CKeyCondition* source, CHashTable& cloneMap, std::uintptr_t a, std::uintptr_t b) {
  if (!CFilterHolder::CopyFrom(source, cloneMap, a, b)) return 0;
  if (auto* oracle = dynamic_cast<COracleFilterHolder*>(source)) {
    m_pErrorHandle = oracle->m_pErrorHandle;
    m_pEnvironment = oracle->m_pEnvironment;
  }
  return 1;
}

int COracleFilterHolder::CopyFrom(CFilterHolder* source, CHashTable& cloneMap, std::uintptr_t a, std::uintptr_t b) {
  return CopyFrom(static_cast<CKeyCondition*>(source), cloneMap, a, b);
}
