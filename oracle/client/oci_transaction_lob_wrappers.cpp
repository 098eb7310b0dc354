#include "foundation/error_holder.h"
#include "oracle/client/client_loader.h"
#include "oracle/client/oci_call.h"
#include "oracle/client/oci_entries.h"
#include "oracle/client/oci_error.h"
#include "oracle/client/oci_wrappers.h"

using namespace oci;

namespace {

enum : std::uint32_t {
  MESSAGE_LOB_OPEN = 2487,
  MESSAGE_LOB_READ = 2488,
  MESSAGE_LOB_CLOSE = 2490,
  MESSAGE_LOB_WRITE = 2494,
  MESSAGE_TRANS_DETACH = 2536,
  MESSAGE_TRANS_PREPARE = 3056,
};

constexpr std::uint32_t ERROR_LOCATOR_NOT_INITIALISED = 1041;
constexpr uword NO_TIMEOUT = ~uword{0};

// One OCI7 call on the logon data area: 1 when it answered 0, else 0 with the OCI7 error at the raise point.
int bOci7LogonCall(COracleConnection* c, CErrorHolder* h, std::uint32_t catchPoint, sword (*entry)(Oci7DataArea*)) {
  sword result = 0;
  if (!bOciGuarded(c, h, catchPoint, [&] { result = entry(pLogonAreaOf(c)); })) return 0;
  if (result == 0) return 1;
  RaiseOci7Error(c, h, result, ERROR_UNIT_ORACLE_CALL, catchPoint + 1, pLogonAreaOf(c));
  return 0;
}

// One OCI call on the service context with flags: 1 on OCI_SUCCESS, else 0 with the OCI error at the raise point.
int bServiceCall(COracleConnection* c, CErrorHolder* h, std::uint32_t catchPoint, sword* status,
                 sword (*entry)(OCISvcCtx*, OCIError*, ub4), ub4 flags) {
  *status = OCI_SUCCESS;
  if (!bOciGuarded(c, h, catchPoint, [&] { *status = entry(pServiceOf(c), pErrorOf(c), flags); })) return 0;
  return 1;
}

// The character set of a LOB transfer: the national one in UTF-16, else the session's.
void LobCharset(COracleConnection* c, std::uint32_t national, ub2* id, ub1* form) {
  if (national) {
    *id = OCI_UTF16ID;
    *form = SQLCS_NCHAR;
    return;
  }
  *form = SQLCS_IMPLICIT;
  *id = bClientIsUtf16(c) ? static_cast<ub2>(c->m_nClientCharsetId) : 0;
}

// Opens or closes a locator: with OCILobOpen/OCILobClose when the client has them, else only a BFILE, through the
// file calls; anything else needs nothing.
int bLobOpenOrClose(COracleConnection* c, CErrorHolder* h, void* locator, std::uint32_t descriptorType, bool open,
                    ub1 mode) {
  auto* lob = static_cast<OCILobLocator*>(locator);
  sword status = OCI_SUCCESS;
  std::uint32_t catchPoint;
  bool called;
  if (bOciEntryBound(open ? OCI_SLOT_OCILobOpen : OCI_SLOT_OCILobClose)) {
    catchPoint = open ? 109 : 119;
    called = bOciGuarded(c, h, catchPoint, [&] {
      status = open ? OciEntry<OCI_SLOT_OCILobOpen>()(pServiceOf(c), pErrorOf(c), lob, mode)
                    : OciEntry<OCI_SLOT_OCILobClose>()(pServiceOf(c), pErrorOf(c), lob);
    });
  } else if (descriptorType == OCI_DTYPE_FILE) {
    catchPoint = open ? 111 : 121;
    called = bOciGuarded(c, h, catchPoint, [&] {
      status = open ? OciEntry<OCI_SLOT_OCILobFileOpen>()(pServiceOf(c), pErrorOf(c), lob, mode)
                    : OciEntry<OCI_SLOT_OCILobFileClose>()(pServiceOf(c), pErrorOf(c), lob);
    });
  } else {
    return 1;
  }
  if (called && status == OCI_SUCCESS) return 1;
  if (called) RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, catchPoint + 1, pErrorOf(c));
  InsertWrapperMessage(h, open ? MESSAGE_LOB_OPEN : MESSAGE_LOB_CLOSE);
  return 0;
}

}  // namespace

int nOciTransStart(COracleConnection* c, CErrorHolder* h, std::uint32_t flags) {
  if (gbOci7Mode) return bOci7LogonCall(c, h, 87, OciEntry<OCI_SLOT_ocof>());
  if (c->m_bNoDistributedTransactions) return 1;
  sword status = OCI_SUCCESS;
  if (!bOciGuarded(c, h, 89, [&] {
        status = OciEntry<OCI_SLOT_OCITransStart>()(pServiceOf(c), pErrorOf(c), NO_TIMEOUT, flags);
      })) {
    return 0;
  }
  if (status == OCI_SUCCESS) return 1;
  RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, 90, pErrorOf(c));
  return 0;
}

namespace {

// Commit and rollback end a transaction alike: with OCI7 the logon's call, then auto-commit back on (a failure
// leaves it off: the work is still pending); with OCI the service context's call.
int bOciTransEnd(COracleConnection* c, CErrorHolder* h, bool commit, ub4 flags) {
  if (gbOci7Mode) {
    if (!bOci7LogonCall(c, h, commit ? 91 : 97, commit ? OciEntry<OCI_SLOT_ocom>() : OciEntry<OCI_SLOT_orol>())) {
      return 0;
    }
    // The work has ended on the server: answered as failed, a commit would be taken as not made. Auto-commit that
    // would not come back on is asked once more; left off, the statements after it would never be committed.
    return bOci7LogonCall(c, nullptr, commit ? 93 : 99, OciEntry<OCI_SLOT_ocon>()) ||
           bOci7LogonCall(c, h, commit ? 93 : 99, OciEntry<OCI_SLOT_ocon>());
  }
  const std::uint32_t catchPoint = commit ? 95 : 101;
  sword status;
  if (!bServiceCall(c, h, catchPoint, &status,
                    commit ? OciEntry<OCI_SLOT_OCITransCommit>() : OciEntry<OCI_SLOT_OCITransRollback>(), flags)) {
    return 0;
  }
  if (status == OCI_SUCCESS) return 1;
  RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, catchPoint + 1, pErrorOf(c));
  return 0;
}

}  // namespace

int nOciTransCommit(COracleConnection* c, CErrorHolder* h, std::uint32_t flags) {
  return bOciTransEnd(c, h, true, flags);
}

int nOciTransRollback(COracleConnection* c, CErrorHolder* h) { return bOciTransEnd(c, h, false, OCI_DEFAULT); }

int nOciTransDetach(COracleConnection* c, CErrorHolder* h) {
  if (gbOci7Mode || c->m_bNoDistributedTransactions) return 1;
  sword status;
  if (bServiceCall(c, h, 103, &status, OciEntry<OCI_SLOT_OCITransDetach>(), OCI_DEFAULT)) {
    if (status == OCI_SUCCESS) return 1;
    RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, 104, pErrorOf(c));
  }
  InsertWrapperMessage(h, MESSAGE_TRANS_DETACH);
  return 0;
}

int nOciTransPrepare(COracleConnection* c, CErrorHolder* h, std::uint32_t* mustCommit) {
  if (gbOci7Mode || c->m_bNoDistributedTransactions) {
    *mustCommit = 1;
    return 1;
  }
  sword status;
  if (bServiceCall(c, h, 107, &status, OciEntry<OCI_SLOT_OCITransPrepare>(), OCI_DEFAULT)) {
    // A read-only branch answers with information: nothing to commit.
    if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO) {
      *mustCommit = status == OCI_SUCCESS ? 1 : 0;
      return 1;
    }
    RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, 108, pErrorOf(c));
  }
  InsertWrapperMessage(h, MESSAGE_TRANS_PREPARE);
  return 0;
}

int nOciLobOpen(COracleConnection* c, CErrorHolder* h, void* locator, std::uint32_t descriptorType, std::uint8_t mode) {
  return bLobOpenOrClose(c, h, locator, descriptorType, true, mode);
}

int nOciLobClose(COracleConnection* c, CErrorHolder* h, void* locator, std::uint32_t descriptorType) {
  return bLobOpenOrClose(c, h, locator, descriptorType, false, 0);
}

int nOciLobRead(COracleConnection* c, CErrorHolder* h, void* locator, std::uint32_t* amount, std::uint32_t offset,
                void* buffer, std::uint32_t bufferLength, std::uint32_t* morePieces, std::uint32_t national) {
  ub2 charsetId;
  ub1 charsetForm;
  LobCharset(c, national, &charsetId, &charsetForm);
  sword status = OCI_SUCCESS;
  // The client is told the caller's buffer length: it may write that much and no more.
  if (!bOciGuarded(c, h, 113, [&] {
        status =
            OciEntry<OCI_SLOT_OCILobRead>()(pServiceOf(c), pErrorOf(c), static_cast<OCILobLocator*>(locator), amount,
                                            offset, buffer, bufferLength, nullptr, nullptr, charsetId, charsetForm);
      })) {
    status = OCI_ERROR;
  }
  if (status == OCI_SUCCESS || status == OCI_NEED_DATA) {
    *morePieces = status == OCI_NEED_DATA ? 1 : 0;
    return 1;
  }
  RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, 114, pErrorOf(c));
  InsertWrapperMessage(h, MESSAGE_LOB_READ);
  return 0;
}

int nOciLobWrite(COracleConnection* c, CErrorHolder* h, void* locator, std::uint32_t* amount, std::uint32_t,
                 void* buffer, std::uint32_t length, std::uint8_t, std::uint32_t national) {
  ub2 charsetId;
  ub1 charsetForm;
  LobCharset(c, national, &charsetId, &charsetForm);
  sword status = OCI_SUCCESS;
  // The whole value in one piece from the start of the LOB, whatever offset and piece the caller names.
  if (bOciGuarded(c, h, 115, [&] {
        status = OciEntry<OCI_SLOT_OCILobWrite>()(pServiceOf(c), pErrorOf(c), static_cast<OCILobLocator*>(locator),
                                                  amount, 1, buffer, length, OCI_ONE_PIECE, nullptr, nullptr, charsetId,
                                                  charsetForm);
      })) {
    if (status == OCI_SUCCESS) return 1;
    RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, 116, pErrorOf(c));
  }
  InsertWrapperMessage(h, MESSAGE_LOB_WRITE);
  return 0;
}

int nOciLobLocatorIsInit(COracleConnection* c, CErrorHolder* h, void* locator) {
  boolean initialised = 1;
  sword status = OCI_SUCCESS;
  if (bOciGuarded(c, h, 117, [&] {
        status = OciEntry<OCI_SLOT_OCILobLocatorIsInit>()(pEnvOf(c), pErrorOf(c),
                                                          static_cast<const OCILobLocator*>(locator), &initialised);
      })) {
    if (status != OCI_SUCCESS) {
      RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, 118, pErrorOf(c));
      initialised = 0;
    }
  } else {
    initialised = 0;
  }
  if (initialised) return 1;
  if (h) h->RaiseErrorOnTop(0, ERROR_UNIT_ORACLE_CALL, 148, c, ERROR_LOCATOR_NOT_INITIALISED);
  return 0;
}
