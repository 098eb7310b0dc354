// CTransaction: one level of a connection's transaction chain. In nested mode every begin opens a named level and a
// commit or rollback names the level it ends; in flat mode (the Oracle connection's) only the outermost level is
// used and inner begins are counted by the connection. The connection owns the outermost level (one reference); each
// level owns the next one inward, created on first need and reused.
//
// The generic level runs its statements through its connection's operations 18 to 20; the Oracle transaction
// replaces operations 2 to 7 with server-side transaction calls.
//
// The active levels are always the outermost ones of the chain; the outermost level keeps the innermost active one
// at hand, so that a begin, or an end without a name, costs the same at any depth, and no walk of the chain recurses.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"
#include "foundation/t_string.h"

class CConnection;
class CErrorHolder;

class CTransaction : public CRefCounted {
 public:
  explicit CTransaction(CConnection* owner);
  ~CTransaction() override;  // releases the inner level

  virtual int bDetach(CErrorHolder* holder);                      // answers 1
  virtual int bSetOnServiceContext(CErrorHolder* holder, int on);  // answers 1
  virtual int bResume(CErrorHolder* holder);                      // answers 1
  virtual int bBeginLevel(CErrorHolder* holder);     // the connection's bBeginTransaction
  virtual int bCommitLevel(CErrorHolder* holder);    // the connection's bCommitTransaction
  virtual int bRollbackLevel(CErrorHolder* holder);  // the connection's bRollbackTransaction

  // Stores the name and begins this level; the result becomes the active flag.
  int bBegin(CErrorHolder* holder, const char16_t* name);
  // Begins a level inside the innermost active one.
  int bBeginNested(CErrorHolder* holder, const char16_t* name);
  // Ends the named level (empty name: the innermost active one).
  int bCommitNamed(CErrorHolder* holder, const char16_t* name);
  int bRollbackNamed(CErrorHolder* holder, const char16_t* name);
  // Rolls back the inner chain, innermost first, then this level; the AND of all results.
  int bRollbackAll(CErrorHolder* holder);

  std::uint32_t bIsActive() const { return m_bActive; }
  // How many times the level has begun: one level object serves each begin after the last ended.
  std::uint32_t nGetBeginCount() const { return m_nBegun; }
  const char16_t* pszGetName() const { return m_strName.pszGet(); }
  // Names compare without regard to case.
  bool bBearsName(const char16_t* name) const { return m_strName.bEqualsNoCase(name); }
  // The name of a level the connection hands to another begin without beginning it again.
  void SetName(const char16_t* name) { m_strName = name; }
  CTransaction* pGetInner() const { return m_pInner; }
  CConnection* pGetOwner() const { return m_pOwner; }

 private:
  // The innermost active level of the chain from this level on; this one when it is not active.
  CTransaction* pInnermostActive() const;
  bool bInnerActive() const { return m_pInner && m_pInner->m_bActive; }
  // Sets the active flag and keeps the outermost level's innermost active level in step.
  void SetActive(std::uint32_t active);
  int bCommitThis(CErrorHolder* holder);
  int bRollbackThis(CErrorHolder* holder);
  // The inner level, created through the owner's slot 21 when there is none; null with the out-of-memory error.
  CTransaction* pEnsureInner(CErrorHolder* holder);

  CConnection* m_pOwner;
  CTString m_strName;
  CTransaction* m_pInner = nullptr;
  CTransaction* m_pOuter = nullptr;       // the level this one is nested in (no reference); null for the outermost
  CTransaction* m_pOutermost;             // this one for the outermost level (no reference)
  CTransaction* m_pInnermost = nullptr;   // the outermost level's: the innermost active level, null when none
  std::uint32_t m_bActive = 0;
  std::uint32_t m_nBegun = 0;
};
