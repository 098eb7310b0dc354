#include "sql/transaction.h"

#include <new>

#include "foundation/module_errors.h"
#include "foundation/x_error.h"
#include "sql/connection.h"

namespace {

enum : std::uint32_t {
  ERROR_UNKNOWN_LEVEL = 9,
  ERROR_INNER_LEVEL_ACTIVE = 10,
  // Points of the transaction unit (2); the commit side's unknown name has a point of its own.
  TRANSACTION_POINT_INNER_ACTIVE = 1,
  TRANSACTION_POINT_ROLLBACK_UNKNOWN = 2,
  TRANSACTION_POINT_COMMIT_UNKNOWN = 3,
  // Points of the connection unit (1) for a commit or rollback without any transaction.
  CONNECTION_POINT_COMMIT_NONE = 1,
  CONNECTION_POINT_ROLLBACK_NONE = 2,
  // The outermost flat level committed after an inner level was rolled back: everything is rolled back.
  ERROR_TRANSACTION_ROLLED_BACK = 1045,
  TRANSACTION_POINT_ROLLED_BACK = 4,
};

bool bIsEmptyName(const char16_t* name) { return !name || !name[0]; }
const char16_t* NameText(const char16_t* name) { return name ? name : u""; }

}  // namespace

CTransaction::CTransaction(CConnection* owner) : m_pOwner(owner), m_pOutermost(this) {}

CTransaction::~CTransaction() {
  // Each inner level this chain alone holds is detached before it goes, so a chain of any depth is released in a
  // loop, never by one destructor calling the next.
  CTransaction* level = m_pInner;
  m_pInner = nullptr;
  while (level) {
    CTransaction* next = nullptr;
    if (level->nGetRefCount() <= 1) {
      next = level->m_pInner;
      level->m_pInner = nullptr;
    }
    level->nRelease();
    level = next;
  }
}

int CTransaction::bDetach(CErrorHolder*) { return 1; }
int CTransaction::bSetOnServiceContext(CErrorHolder*, int) { return 1; }
int CTransaction::bResume(CErrorHolder*) { return 1; }
int CTransaction::bBeginLevel(CErrorHolder* holder) { return m_pOwner->bBeginTransaction(holder); }
int CTransaction::bCommitLevel(CErrorHolder* holder) { return m_pOwner->bCommitTransaction(holder); }
int CTransaction::bRollbackLevel(CErrorHolder* holder) { return m_pOwner->bRollbackTransaction(holder); }

CTransaction* CTransaction::pInnermostActive() const {
  CTransaction* innermost = m_pOutermost->m_pInnermost;
  return m_bActive && innermost ? innermost : const_cast<CTransaction*>(this);
}

void CTransaction::SetActive(std::uint32_t active) {
  m_bActive = active;
  CTransaction*& innermost = m_pOutermost->m_pInnermost;
  if (active) {
    innermost = this;
  } else if (innermost == this) {
    innermost = m_pOuter;
  }
}

int CTransaction::bBegin(CErrorHolder* holder, const char16_t* name) {
  m_strName = name;
  ++m_nBegun;
  SetActive(bBeginLevel(holder) ? 1 : 0);
  return static_cast<int>(m_bActive);
}

CTransaction* CTransaction::pEnsureInner(CErrorHolder* holder) {
  if (!m_pInner) {
    m_pInner = m_pOwner->pNewTransaction();
    if (!m_pInner) {
      SetHolderOutOfMemory(holder);
      return nullptr;
    }
    m_pInner->AddRef();
    m_pInner->m_pOuter = this;
    m_pInner->m_pOutermost = m_pOutermost;
  }
  return m_pInner;
}

int CTransaction::bBeginNested(CErrorHolder* holder, const char16_t* name) {
  CTransaction* inner = pInnermostActive()->pEnsureInner(holder);
  return inner ? inner->bBegin(holder, name) : 0;
}

int CTransaction::bCommitThis(CErrorHolder* holder) {
  // A commit ends the level whatever the server answers.
  SetActive(0);
  return bCommitLevel(holder);
}

int CTransaction::bRollbackThis(CErrorHolder* holder) {
  if (!m_bActive) return 1;
  SetActive(0);
  return bRollbackLevel(holder);
}

int CTransaction::bCommitNamed(CErrorHolder* holder, const char16_t* name) {
  if (bIsEmptyName(name)) return pInnermostActive()->bCommitThis(holder);
  for (CTransaction* level = this; level; level = level->bInnerActive() ? level->m_pInner : nullptr) {
    if (!level->m_strName.bEqualsNoCase(name)) continue;
    if (level->bInnerActive()) {
      RaiseModuleError(holder, 0, ERROR_UNIT_TRANSACTION, TRANSACTION_POINT_INNER_ACTIVE, m_pOwner, nullptr,
                       ERROR_INNER_LEVEL_ACTIVE, name, level->m_pInner->pszGetName());
      return 0;
    }
    return level->bCommitThis(holder);
  }
  RaiseModuleError(holder, 0, ERROR_UNIT_TRANSACTION, TRANSACTION_POINT_COMMIT_UNKNOWN, m_pOwner, nullptr,
                   ERROR_UNKNOWN_LEVEL, name);
  return 0;
}

int CTransaction::bRollbackNamed(CErrorHolder* holder, const char16_t* name) {
  if (bIsEmptyName(name)) return pInnermostActive()->bRollbackThis(holder);
  for (CTransaction* level = this; level; level = level->bInnerActive() ? level->m_pInner : nullptr) {
    if (!level->m_strName.bEqualsNoCase(name)) continue;
    // The named level itself stays active when only its inner levels are rolled back.
    return level->bInnerActive() ? level->m_pInner->bRollbackAll(holder) : level->bRollbackThis(holder);
  }
  RaiseModuleError(holder, 0, ERROR_UNIT_TRANSACTION, TRANSACTION_POINT_ROLLBACK_UNKNOWN, m_pOwner, nullptr,
                   ERROR_UNKNOWN_LEVEL, name);
  return 0;
}

int CTransaction::bRollbackAll(CErrorHolder* holder) {
  // Innermost first, outward to this level.
  int result = 1;
  for (CTransaction* level = pInnermostActive();; level = level->m_pOuter) {
    if (!level->bRollbackThis(holder)) result = 0;
    if (level == this || !level->m_pOuter) break;
  }
  return result;
}

// ---- the connection's side ----

int CConnection::bBeginTransaction(CErrorHolder* holder) { return bExecuteSql(holder, u"BEGIN"); }
int CConnection::bCommitTransaction(CErrorHolder* holder) { return bExecuteSql(holder, u"COMMIT"); }
int CConnection::bRollbackTransaction(CErrorHolder* holder) { return bExecuteSql(holder, u"ROLLBACK"); }

CTransaction* CConnection::pNewTransaction() { return new (std::nothrow) CTransaction(this); }

int CConnection::bLockTable(CErrorHolder* holder, std::uintptr_t tableName) {
  CTString text(u"LOCK TABLE ");
  text.Append(NameText(reinterpret_cast<const char16_t*>(tableName)));
  return bExecuteSql(holder, text.pszGet());
}

int CConnection::bSelectForUpdate(CErrorHolder* holder, const char16_t* statement) {
  CTString text(NameText(statement));
  text.Append(u" FOR UPDATE");
  return bExecuteLockSql(holder, text.pszGet());
}

int CConnection::bBeginLevel(CErrorHolder* holder, const char16_t* name) { return bBeginLevelOf(holder, name, true); }

int CConnection::bBeginLevelOf(CErrorHolder* holder, const char16_t* name, bool programs) {
  if (!bOpen(holder, name)) return 0;
  if (!m_pTransaction) {
    m_pTransaction = pNewTransaction();
    if (!m_pTransaction) {
      SetHolderOutOfMemory(holder);
      return 0;
    }
    m_pTransaction->AddRef();
  }
  if (m_pTransaction->bIsActive()) {
    if (m_nNestedMode == 0) {
      // The server has one transaction, which holds the table lock: counted apart from the program's, the lock's
      // level would keep the program's commit from reaching the server and its rollback from undoing anything. The
      // program's level is that transaction from now on, and the lock ends with it.
      if (programs && m_bTableLockLevel) {
        m_bTableLockLevel = false;
        m_pTransaction->SetName(name);
        return 1;
      }
      if (!m_flatLevelNames.nAdd(NameText(name))) {
        SetHolderOutOfMemory(holder);
        return 0;
      }
      ++m_nFlatDepth;
      return 1;
    }
    return m_pTransaction->bBeginNested(holder, name);
  }
  ClearFlatLevels();
  const int result = m_pTransaction->bBegin(holder, name);
  if (result && m_nNestedMode == 0) ++m_nFlatDepth;
  return result;
}

int CConnection::bBeginTableLockLevel(CErrorHolder* holder) {
  if (!bBeginLevelOf(holder, nullptr, false)) return 0;
  m_bTableLockLevel = true;
  return 1;
}

int CConnection::bInTableLockLevel() const { return m_bTableLockLevel && bIsTransactionOpen(); }

bool CConnection::bFlatLevelNamed(const char16_t* name) const {
  return m_pTransaction->bIsActive() && (m_pTransaction->bBearsName(name) ||
                                         m_flatLevelNames.nFind(name, 0, 0) != STRING_LIST_NOT_FOUND);
}

void CConnection::ClearFlatLevels() {
  m_nFlatDepth = 0;
  m_bRollbackOnly = false;
  m_bTableLockLevel = false;
  m_flatLevelNames.RemoveAll();
}

int CConnection::bEndLevel(CErrorHolder* holder, const char16_t* name, bool commit, bool markUndone) {
  if (!m_pTransaction) {
    RaiseModuleError(holder, 0, ERROR_UNIT_CONNECTION, commit ? CONNECTION_POINT_COMMIT_NONE
                                                                : CONNECTION_POINT_ROLLBACK_NONE,
                     this, nullptr, ERROR_UNKNOWN_LEVEL, NameText(name));
    return 0;
  }
  const bool flat = m_nNestedMode == 0;
  // A name that no open level bears ends none, at any depth: counted down, the level left open would have no end,
  // and the program's next commit would commit what it meant to end otherwise (or what this rollback was to undo).
  if (flat && m_nFlatDepth > 0 && !bIsEmptyName(name) && !bFlatLevelNamed(name)) {
    RaiseModuleError(holder, 0, ERROR_UNIT_TRANSACTION,
                     commit ? TRANSACTION_POINT_COMMIT_UNKNOWN : TRANSACTION_POINT_ROLLBACK_UNKNOWN, this,
                     nullptr, ERROR_UNKNOWN_LEVEL, name);
    return 0;
  }
  int result = 1;
  if (!flat || m_nFlatDepth == 1) {
    // Flat levels share one server transaction: an inner level rolled back undid nothing on the server, and what it
    // was asked to undo must not be committed with the rest. The outermost commit rolls everything back instead.
    const bool undone = flat && commit && m_bRollbackOnly;
    if (undone) {
      m_pTransaction->bRollbackNamed(nullptr, nullptr);
      RaiseModuleError(holder, 0, ERROR_UNIT_TRANSACTION, TRANSACTION_POINT_ROLLED_BACK, this, nullptr,
                       ERROR_TRANSACTION_ROLLED_BACK);
      result = 0;
    } else {
      result = commit ? m_pTransaction->bCommitNamed(holder, name) : m_pTransaction->bRollbackNamed(holder, name);
    }
    if (result) OnLevelEnded(m_pTransaction);
  } else if (!commit && markUndone) {
    m_bRollbackOnly = true;
  }
  // A commit or rollback that ended nothing leaves the depth as it was: lowered, the server's transaction would stay
  // open with no level left to end it.
  if (flat && m_nFlatDepth > 1) {
    --m_nFlatDepth;
    m_flatLevelNames.RemoveAt(m_flatLevelNames.nGetCount() - 1);
  } else if (flat && m_nFlatDepth == 1 && !m_pTransaction->bIsActive()) {
    --m_nFlatDepth;
  }
  if (flat && m_nFlatDepth == 0) ClearFlatLevels();
  if (!m_pTransaction->bIsActive()) m_bTableLockLevel = false;
  return result;
}

void CConnection::RollbackAllLevels() {
  if (m_pTransaction && m_pTransaction->bIsActive()) m_pTransaction->bRollbackAll(nullptr);
  ClearFlatLevels();
}

int CConnection::bCommitLevel(CErrorHolder* holder, const char16_t* name) { return bEndLevel(holder, name, true); }
int CConnection::bRollbackLevel(CErrorHolder* holder, const char16_t* name) {
  return bEndLevel(holder, name, false, true);
}

namespace {

// The connection's level mode for the length of one call.
class CLevelModeScope {
 public:
  CLevelModeScope(std::uint32_t& setting, std::uint32_t mode) : m_setting(setting), m_nSaved(setting) {
    if (mode == 0) m_setting = 0;
  }
  ~CLevelModeScope() { m_setting = m_nSaved; }
  CLevelModeScope(const CLevelModeScope&) = delete;
  CLevelModeScope& operator=(const CLevelModeScope&) = delete;

 private:
  std::uint32_t& m_setting;
  std::uint32_t m_nSaved;
};

}  // namespace

int CConnection::bBeginNestedTransaction(CErrorHolder* holder, const char16_t* name, std::uint32_t mode) {
  CLevelModeScope scope(m_nNestedMode, mode);
  return bBeginLevel(holder, name);
}

int CConnection::bCommitNestedTransaction(CErrorHolder* holder, const char16_t* name, std::uint32_t mode) {
  CLevelModeScope scope(m_nNestedMode, mode);
  return bEndLevel(holder, name, true);
}

int CConnection::bRollbackNestedTransaction(CErrorHolder* holder, const char16_t* name, std::uint32_t mode) {
  CLevelModeScope scope(m_nNestedMode, mode);
  return bEndLevel(holder, name, false);
}
