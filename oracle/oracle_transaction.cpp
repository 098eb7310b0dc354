#include "oracle/oracle_transaction.h"

#include <cstring>

#include "oracle/client/client_loader.h"
#include "oracle/client/oci_session_calls.h"
#include "oracle/client/oci_wrappers.h"
#include "oracle/oracle_connection.h"
#include "platform/profile.h"

std::uint32_t gnOracleTransactionCounter = 0;
std::uint32_t gnOracleBranchCounter = 0;

namespace {

constexpr std::int32_t XID_FORMAT = 1000;
constexpr std::int32_t XID_GTRID_BYTES = 12;
constexpr std::int32_t XID_BQUAL_BYTES = 4;
constexpr std::uint32_t TRANS_NEW = 1;
constexpr std::uint32_t TRANS_RESUME = 4;
constexpr std::uint32_t TRANS_TWOPHASE = 0x01000000;

void PutWord(std::uint8_t* at, std::uint32_t value) { std::memcpy(at, &value, sizeof value); }

// Rolls back the work of the session current, answering nothing: the caller's holder keeps why the level failed.
// A rollback the client refuses, or cannot make (a client without the call), is asked once more and then sent as a
// statement: the level has already ended, and work left behind would be committed with the session's next commit
// as if the program had kept it.
// A detached level's work is out of the statement's reach until the level is resumed; one that would not resume is
// left as it is: the statement would roll back whatever else the session has attached (the program's own
// transaction, beside a record lock's), whose commit would then answer 1 without its work.
// Answers false for that level, still on the server under its identifier.
bool bDiscardWork(COracleConnection* c, bool detached = false) {
  if (nOciTransRollback(c, nullptr)) return true;
  if (detached && !nOciTransStart(c, nullptr, TRANS_RESUME)) return false;
  c->bExecuteSql(nullptr, u"ROLLBACK");
  return true;
}

}  // namespace

COracleTransaction::COracleTransaction(COracleConnection* owner) : CTransaction(owner) {}

COracleTransaction::~COracleTransaction() {
  if (!m_pHandle) return;
  bSetOnServiceContext(nullptr, 0);
  // A branch kept after its end failed is rolled back with the level's last chance to reach it. A level the session
  // ended with another has nothing left: its rollback would undo the session's work since.
  if ((bIsActive() || m_bDetached) && !bEndedWithSession()) bRollbackLevel(nullptr);
  FreeHandle();
}

COracleConnection* COracleTransaction::Connection() const { return static_cast<COracleConnection*>(pGetOwner()); }

bool COracleTransaction::bEndedWithSession() const {
  return !bGlobal() && m_pHandle && Connection()->m_nSessionTransactionEnds != m_nSessionEndsAtBegin;
}

bool COracleTransaction::bGlobal() const { return !gbOci7Mode && !Connection()->m_bNoDistributedTransactions; }

void COracleTransaction::FreeHandle() {
  COracleConnection* c = Connection();
  if (m_pHandle && c->m_pTransactionLeftDetached == m_pHandle) c->m_pTransactionLeftDetached = nullptr;
  nOciHandleFree(Connection(), nullptr, m_pHandle, session_oci::HTYPE_TRANS);
  m_pHandle = nullptr;
}

void* COracleTransaction::pResidentHandle() const {
  // The connection's own transaction stays attached to its session while a record lock's transaction ends, leaves
  // or comes back beside it: taken off the service context with the lock's, the program's next statements would run
  // outside it, committed at once and out of its rollback's reach.
  auto* own = dynamic_cast<COracleTransaction*>(Connection()->pGetTransaction());
  return own && own != this && own->bIsActive() && !own->m_bDetached ? own->m_pHandle : nullptr;
}

int COracleTransaction::bSetOnServiceContext(CErrorHolder* holder, int on) {
  if (gbOci7Mode) return 1;
  COracleConnection* c = Connection();
  return nOciAttrSet(c, holder, c->m_pServiceContext, session_oci::HTYPE_SVCCTX, on ? m_pHandle : pResidentHandle(),
                     session_oci::ATTR_TRANS, 0);
}

int COracleTransaction::bBeginLevel(CErrorHolder* holder) {
  COracleConnection* c = Connection();
  // Whether an outer level is open decides which counter the id takes: the generic chain marks this level active
  // only after this call.
  const bool nested = c->bIsTransactionOpen() != 0;
  void* before = c->GetCurrentSession();
  // A handle kept for a branch that could not be ended names that branch: the new level makes its own.
  if (m_bDetached) FreeHandle();
  // A lock session that could not be made or set up is gone again: nothing to undo.
  if (!c->bSelectLockSession(holder)) return 0;
  m_pSession = c->GetCurrentSession();
  bool made = false;
  if (!m_pHandle) {
    m_pHandle = nOciHandleAlloc(c, holder, session_oci::HTYPE_TRANS);
    if (!m_pHandle) {
      c->SelectSession(nullptr, before);
      return 0;
    }
    made = true;
  }
  int result = bSetOnServiceContext(holder, 1);
  if (result && made && bGlobal()) {
    std::memset(&m_xid, 0, sizeof m_xid);
    m_xid.nFormatId = XID_FORMAT;
    m_xid.nGtridLength = XID_GTRID_BYTES;
    if (nested) {
      ++gnOracleBranchCounter;
    } else {
      ++gnOracleTransactionCounter;
    }
    PutWord(m_xid.abData, gnOracleTransactionCounter);
    PutWord(m_xid.abData + 4, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(m_pSession)));
    PutWord(m_xid.abData + 8, platform::CurrentProcessId());
    PutWord(m_xid.abData + 12, gnOracleBranchCounter);
    m_xid.nBqualLength = XID_BQUAL_BYTES;
    result = nOciAttrSet(c, holder, m_pHandle, session_oci::HTYPE_TRANS, &m_xid, session_oci::ATTR_XID, sizeof m_xid);
  }
  if (result) result = nOciTransStart(c, holder, TRANS_NEW);
  m_bDetached = false;
  m_nSessionEndsAtBegin = c->m_nSessionTransactionEnds;
  if (result) return 1;
  // A begin that failed leaves the connection as it found it: a handle left on the service context would keep every
  // later statement from committing, so that work answered as done would go with the session. The handle goes too,
  // so that the next begin makes a whole one, with an id of its own.
  bSetOnServiceContext(nullptr, 0);
  FreeHandle();
  c->SelectSession(nullptr, before);
  return 0;
}

int COracleTransaction::bCommitLevel(CErrorHolder* holder) { return bEndLevel(holder, true); }

int COracleTransaction::bRollbackLevel(CErrorHolder* holder) { return bEndLevel(holder, false); }

int COracleTransaction::bEndLevel(CErrorHolder* holder, bool commit) {
  COracleConnection* c = Connection();
  // Without branches the commit or rollback ends the session's one transaction, and with it every other level's
  // work and record locks.
  if (!bGlobal()) ++c->m_nSessionTransactionEnds;
  // A level a DDL statement left detached is ended as one: the connection's statements no longer bring it back.
  const bool detached = m_bDetached || (m_pHandle && c->m_pTransactionLeftDetached == m_pHandle);
  if (detached && c->m_pTransactionLeftDetached == m_pHandle) c->m_pTransactionLeftDetached = nullptr;
  void* previous = nullptr;
  if (!c->bSelectSession(holder, m_pSession, &previous)) {
    // The level's session could not be made current: nothing is sent on the session that is, and the level fails
    // with the client's refusal. Its work would wait on its session for the next level's commit there: asked once
    // more, the switch lets it be rolled back, as a commit answered as failed keeps nothing.
    if (c->bSelectSession(nullptr, m_pSession, &previous)) {
      if (bSetOnServiceContext(nullptr, 1)) bDiscardWork(c, detached);
      bSetOnServiceContext(nullptr, 0);
      c->SelectSession(nullptr, previous);
    }
    FreeHandle();
    return 0;
  }
  bool leftDetached = false;
  int result = bSetOnServiceContext(holder, 1);
  if (!result) {
    // Nothing was sent, and the level's work still waits on its session, where the next statement committed on
    // success would take it. Asked once more, the client lets it be rolled back: the level answers its failure, and
    // a commit or rollback answered as failed keeps nothing.
    if (bSetOnServiceContext(nullptr, 1)) leftDetached = !bDiscardWork(c, detached);
  } else if (commit) {
    // A client without the prepare commits in one phase: asking it to prepare would fail every commit.
    const bool twoPhase = bGlobal() && bOciOffers(ESessionEntry::TransPrepare);
    std::uint32_t mustCommit = 1;
    // A level that changed nothing is read-only: there is nothing to commit.
    if (twoPhase) result = nOciTransPrepare(c, holder, &mustCommit);
    if (result && mustCommit) result = nOciTransCommit(c, holder, twoPhase ? TRANS_TWOPHASE : 0);
    // A branch that could not be committed is rolled back: left open it would refuse every later begin, and the
    // work of the statements after it would never be committed. The holder keeps the commit's error.
    if (!result) leftDetached = !bDiscardWork(c, detached);
  } else if (result) {
    result = nOciTransRollback(c, holder);
    // A branch whose rollback failed still has its work rolled back: left open, it would go with the session's next
    // commit. The holder keeps the failure, and the rollback answers it.
    if (!result) leftDetached = !bDiscardWork(c, detached);
  }
  // The handle leaves the service context whatever the server answered: left on it, it would keep every later
  // statement from committing. A client that refused is asked once more: the level has ended on the server.
  int off = bSetOnServiceContext(nullptr, 0);
  if (!off) off = bSetOnServiceContext(result ? holder : nullptr, 0);
  if (result) result = off;
  // A detached level is ended by its handle, without being resumed: the session may have another level attached.
  // One that could be neither ended nor resumed keeps its handle, by which a later release can still end it.
  m_bDetached = leftDetached;
  // A level that could not be ended may still be open on the server under its identifier: begun again with the same
  // handle, it would be refused as a duplicate, and every later begin of the level with it. The next begin makes a
  // handle of its own.
  if (!result && !leftDetached) FreeHandle();
  // A session the client would not switch back is asked once more: left on the level's session, the connection's
  // next statements would run there. The level's answer stands.
  void* levelSession = nullptr;
  if (!c->bSelectSession(result ? holder : nullptr, previous, &levelSession)) c->SelectSession(nullptr, previous);
  return result;
}

int COracleTransaction::bDetach(CErrorHolder* holder) {
  // Only a level begun as a branch of its own can leave its session; the others have nothing to detach. A client
  // without the call keeps the branch attached, as it has no other way: its locks then still work, and end with the
  // session's next commit or rollback.
  if (gbOci7Mode || !bGlobal() || !m_pHandle || !bIsActive() || m_bDetached) return 1;
  if (!bOciOffers(ESessionEntry::TransDetach)) return 1;
  COracleConnection* c = Connection();
  void* previous = nullptr;
  if (!c->bSelectSession(holder, m_pSession, &previous)) return 0;
  // A detach the client refused is asked once more: left attached, the branch would take the session's next work
  // and end with its next commit. Only the second refusal is the caller's to hear of.
  int result = bSetOnServiceContext(nullptr, 1) && nOciTransDetach(c, nullptr);
  if (!result) result = bSetOnServiceContext(holder, 1) && nOciTransDetach(c, holder);
  if (result) m_bDetached = true;
  result &= bSetOnServiceContext(holder, 0);
  c->SelectSession(holder, previous);
  return result;
}

int COracleTransaction::bResume(CErrorHolder* holder) {
  // An attached level goes on as it is: the client refuses to resume a branch that is not detached.
  if (!m_bDetached) return 1;
  COracleConnection* c = Connection();
  void* previous = nullptr;
  if (!c->bSelectSession(holder, m_pSession, &previous)) return 0;
  int result = bSetOnServiceContext(holder, 1) && nOciTransStart(c, holder, TRANS_RESUME);
  if (result) m_bDetached = false;
  // A level that would not resume leaves the service context: left on it, its handle would keep every later
  // statement from committing, and work answered as done would never be.
  if (!result) bSetOnServiceContext(nullptr, 0);
  c->SelectSession(holder, previous);
  return result;
}
