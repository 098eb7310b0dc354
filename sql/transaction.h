// CTransaction: one level of a connection's transaction chain. In nested mode every begin opens a named level and a
// commit or rollback names the level it ends; in flat mode (the Oracle connection's) only the outermost level is
// used and inner begins are counted by the connection. The connection owns the outermost level (one reference); each
// level owns the next one inward, created on first need and reused.
//
// The generic level runs its statements through its connection's operations 18 to 20; the Oracle transaction
// replaces operations 2 to 7 with server-side transaction calls.
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

  virtual int bDetach();                             // answers 1
  virtual int bSetOnServiceContext();                // answers 1
  virtual int bResume();                             // answers 1
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
  const char16_t* pszGetName() const { return m_strName.pszGet(); }
  CTransaction* pGetInner() const { return m_pInner; }
  CConnection* pGetOwner() const { return m_pOwner; }

 private:
  int bCommitThis(CErrorHolder* holder);
  int bRollbackThis(CErrorHolder* holder);
  // The inner level, created through the owner's slot 21 when there is none; null with the out-of-memory error.
  CTransaction* pEnsureInner(CErrorHolder* holder);

  CConnection* m_pOwner;
  CTString m_strName;
  CTransaction* m_pInner = nullptr;
  std::uint32_t m_bActive = 0;
};
