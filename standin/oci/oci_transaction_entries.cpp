// OCI transaction entry points. A transaction handle on the service context names a branch of the session: the
// stand-in keeps its locks and what it changed under the branch's owner number, which a detach takes away from the
// session and a resume gives back. One branch is attached to a session at a time; a commit or a rollback ends the
// branch the handle names, attached or detached, and nothing of the others.
#include "standin/oci/entry_support.h"

using namespace qzoci;

QZOCI_EXPORT sword OCITransStart(OCISvcCtx* svchp, OCIError* errhp, uword timeout, ub4 flags) {
  QZOCI_ENTER("OCITransStart", errhp, Detail() << "timeout=" << timeout << " flags=0x" << std::hex << flags);
  SvcCtxH* svc = As<SvcCtxH>(svchp, oci::kHtypeSvcCtx);
  if (!svc) return oci::kInvalidHandle;
  Session* session = SessionOfService(svc);
  if (!session) return Fail(errhp, 1012);
  TransH* trans = svc->trans;
  if (!trans) return oci::kSuccess;  // a local transaction begins with the first change anyway
  if (flags & oci::kTransResume) {
    if (trans->detached) {
      // ORA-24776: the session is attached to another branch.
      if (session->BranchAttached()) return Fail(errhp, 24776);
      session->ResumeTransaction(trans->lockOwner);
      trans->detached = false;
      trans->session = session;
    }
    return oci::kSuccess;
  }
  if (trans->started && !trans->detached && trans->session == session) return Fail(errhp, 24757);
  if (session->BranchAttached()) return Fail(errhp, 24776);
  trans->session = session;
  trans->lockOwner = session->AttachBranch();
  trans->started = true;
  trans->detached = false;
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCITransDetach(OCISvcCtx* svchp, OCIError* errhp, ub4 flags) {
  QZOCI_ENTER("OCITransDetach", errhp, Detail() << "flags=" << flags);
  SvcCtxH* svc = As<SvcCtxH>(svchp, oci::kHtypeSvcCtx);
  if (!svc) return oci::kInvalidHandle;
  Session* session = SessionOfService(svc);
  if (!session) return Fail(errhp, 1012);
  TransH* trans = svc->trans;
  if (!trans || !trans->started || trans->detached) return oci::kSuccess;
  trans->lockOwner = session->DetachTransaction();
  trans->detached = true;
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCITransCommit(OCISvcCtx* svchp, OCIError* errhp, ub4 flags) {
  QZOCI_ENTER("OCITransCommit", errhp, Detail() << "flags=0x" << std::hex << flags);
  SvcCtxH* svc = As<SvcCtxH>(svchp, oci::kHtypeSvcCtx);
  if (!svc) return oci::kInvalidHandle;
  Session* session = SessionOfService(svc);
  if (!session) return Fail(errhp, 1012);
  OraError error = session->Commit(BranchOwner(svc, session));
  if (error) return Fail(errhp, error);
  EndBranch(svc);
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCITransRollback(OCISvcCtx* svchp, OCIError* errhp, ub4 flags) {
  QZOCI_ENTER("OCITransRollback", errhp, Detail() << "flags=" << flags);
  SvcCtxH* svc = As<SvcCtxH>(svchp, oci::kHtypeSvcCtx);
  if (!svc) return oci::kInvalidHandle;
  Session* session = SessionOfService(svc);
  if (!session) return Fail(errhp, 1012);
  session->Rollback(BranchOwner(svc, session));
  EndBranch(svc);
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCITransForget(OCISvcCtx* svchp, OCIError* errhp, ub4 flags) {
  QZOCI_ENTER("OCITransForget", errhp, Detail() << "flags=" << flags);
  return As<SvcCtxH>(svchp, oci::kHtypeSvcCtx) ? oci::kSuccess : oci::kInvalidHandle;
}
