// COracleTransaction: one level of an Oracle connection's transaction, run on the server through an OCI transaction
// handle. With distributed transactions on (the OCI set's default) the level carries a global transaction id and
// commits in two phases on the connection's lock session (in one, with a client that cannot prepare); with the OCI7
// set, or distributed transactions off, it commits in one phase without an id. A begin that fails leaves the
// connection as it was; a commit that fails rolls the branch back; the handle never stays on the service context
// after a level ends. The connection's transaction chain owns it; it owns its handle.
#pragma once

#include <cstdint>

#include "sql/transaction.h"

class COracleConnection;

// The global transaction id as the client lays it out.
struct SOracleXid {
  std::int32_t nFormatId;
  std::int32_t nGtridLength;
  std::int32_t nBqualLength;
  std::uint8_t abData[128];
};
static_assert(sizeof(SOracleXid) == 140);

class COracleTransaction : public CTransaction {
 public:
  explicit COracleTransaction(COracleConnection* owner);
  // Takes the handle off the service context, rolls an active level back (no holder hears of it), frees the handle.
  ~COracleTransaction() override;

  int bDetach(CErrorHolder* holder) override;
  int bSetOnServiceContext(CErrorHolder* holder, int on) override;
  int bResume(CErrorHolder* holder) override;
  int bBeginLevel(CErrorHolder* holder) override;
  int bCommitLevel(CErrorHolder* holder) override;
  int bRollbackLevel(CErrorHolder* holder) override;

  void FreeHandle();
  // Whether the session's one transaction, which this level shared, was ended by another level since it began
  // (never with distributed transactions): the level holds nothing more on the server.
  bool bEndedWithSession() const;
  void* pGetHandle() const { return m_pHandle; }
  const SOracleXid& GetXid() const { return m_xid; }

 private:
  COracleConnection* Connection() const;
  // What the service context holds once this level is off it: the connection's own open transaction, when this is
  // another (a record lock's); else nothing.
  void* pResidentHandle() const;
  bool bGlobal() const;
  // Commits or rolls the level back on its session; the handle leaves the service context in every case, and a
  // branch that could not be committed is rolled back.
  int bEndLevel(CErrorHolder* holder, bool commit);

  void* m_pHandle = nullptr;
  SOracleXid m_xid{};
  void* m_pSession = nullptr;  // the session current when the level began
  std::uint32_t m_nSessionEndsAtBegin = 0;
  bool m_bDetached = false;    // detached from its session, keeping its locks and work until resumed or ended
};

// Process-wide counters of the ids, under gcsDriverLock: the transaction counter grows with each outermost level,
// the branch counter with each level begun inside an open one.
extern std::uint32_t gnOracleTransactionCounter;
extern std::uint32_t gnOracleBranchCounter;
