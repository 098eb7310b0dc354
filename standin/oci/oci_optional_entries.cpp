// The entries that the variant builds leave out, so that a client's fall-backs for an older library can be tried:
// OCIEnvNlsCreate, OCIClientVersion, OCIServerVersion, OCILobOpen and OCILobClose, and OCITransPrepare. Each variant compiles this file
// with the QZOCI_WITHOUT_* switch of what it lacks.
#include <array>

#include "standin/oci/entry_support.h"

using namespace qzoci;

namespace qzoci {
OCIEnv* MakeEnvironment(ub4 mode, ub2 charset, ub2 ncharset);
sword OpenLob(void* svchp, OCIError* errhp, void* locator, bool open);
}  // namespace qzoci

#if !defined(QZOCI_WITHOUT_ENVNLSCREATE)
QZOCI_EXPORT sword OCIEnvNlsCreate(OCIEnv** envp, ub4 mode, void*, void* (*)(void*, size_t),
                                   void* (*)(void*, void*, size_t), void (*)(void*, void*), size_t, void**,
                                   ub2 charset, ub2 ncharset) {
  if (auto injected = qzoci::EnterEntry("OCIEnvNlsCreate", Detail() << "mode=" << mode << " charset=" << charset
                                                                   << " ncharset=" << ncharset)) {
    // Given an ORA error, the client hands back the environment it made, the error to be read from it.
    if (envp && injected->oraCode) *envp = MakeEnvironment(mode, charset, ncharset);
    return qzoci::Injected(envp ? *envp : nullptr, *injected);
  }
  if (!envp) return oci::kInvalidHandle;
  *envp = MakeEnvironment(mode, charset, ncharset);
  return oci::kSuccess;
}
#endif

#if !defined(QZOCI_WITHOUT_CLIENTVERSION)
QZOCI_EXPORT void OCIClientVersion(sword* major, sword* minor, sword* update, sword* patch, sword* portUpdate) {
  qzoci::EnterEntry("OCIClientVersion", std::string());
  const std::array<sword, 5> version = ClientVersion();
  if (major) *major = version[0];
  if (minor) *minor = version[1];
  if (update) *update = version[2];
  if (patch) *patch = version[3];
  if (portUpdate) *portUpdate = version[4];
}
#endif

#if !defined(QZOCI_WITHOUT_SERVERVERSION)
QZOCI_EXPORT sword OCIServerVersion(void* handle, OCIError* errhp, OraText* buffer, ub4 size, ub1 type) {
  QZOCI_ENTER("OCIServerVersion", errhp, Detail() << "htype=" << static_cast<int>(type));
  if (!AsTag(handle)) return oci::kInvalidHandle;
  CopyOut(ServerBanner(), buffer, size, CharsetOf(handle));
  return oci::kSuccess;
}
#endif

#if !defined(QZOCI_WITHOUT_LOBOPEN)
QZOCI_EXPORT sword OCILobOpen(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locator, ub1 mode) {
  QZOCI_ENTER("OCILobOpen", errhp, Detail() << "mode=" << static_cast<int>(mode));
  return OpenLob(svchp, errhp, locator, true);
}

QZOCI_EXPORT sword OCILobClose(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locator) {
  QZOCI_ENTER("OCILobClose", errhp, std::string());
  return OpenLob(svchp, errhp, locator, false);
}
#endif

#if !defined(QZOCI_WITHOUT_TRANSPREPARE)
QZOCI_EXPORT sword OCITransPrepare(OCISvcCtx* svchp, OCIError* errhp, ub4 flags) {
  QZOCI_ENTER("OCITransPrepare", errhp, Detail() << "flags=" << flags);
  SvcCtxH* svc = As<SvcCtxH>(svchp, oci::kHtypeSvcCtx);
  if (!svc) return oci::kInvalidHandle;
  Session* session = SessionOfService(svc);
  if (!session) return Fail(errhp, 1012);
  const std::uint64_t owner = BranchOwner(svc, session);
  if (session->HasPendingWork(owner)) return oci::kSuccess;
  // A branch that changed and locked nothing is read-only: prepare ends it, and no commit follows.
  session->Commit(owner);
  EndBranch(svc);
  if (OraError* slot = ErrorSlot(errhp)) *slot = MakeOraError(24767);
  return oci::kSuccessWithInfo;
}
#endif
