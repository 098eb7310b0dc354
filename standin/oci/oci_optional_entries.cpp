// The entries that the variant builds leave out, so that a client's fall-backs for an older library can be tried:
// OCIEnvNlsCreate, OCIClientVersion, OCIServerVersion, OCILobOpen and OCILobClose. Each variant compiles this file
// with the QZOCI_WITHOUT_* switch of what it lacks.
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
  QZOCI_ENTER("OCIEnvNlsCreate", nullptr, Detail() << "mode=" << mode << " charset=" << charset << " ncharset=" << ncharset);
  if (!envp) return oci::kInvalidHandle;
  *envp = MakeEnvironment(mode, charset, ncharset);
  return oci::kSuccess;
}
#endif

#if !defined(QZOCI_WITHOUT_CLIENTVERSION)
QZOCI_EXPORT void OCIClientVersion(sword* major, sword* minor, sword* update, sword* patch, sword* portUpdate) {
  qzoci::EnterEntry("OCIClientVersion", std::string());
  if (major) *major = 19;
  if (minor) *minor = 3;
  if (update) *update = 0;
  if (patch) *patch = 0;
  if (portUpdate) *portUpdate = 0;
}
#endif

#if !defined(QZOCI_WITHOUT_SERVERVERSION)
QZOCI_EXPORT sword OCIServerVersion(void* handle, OCIError* errhp, OraText* buffer, ub4 size, ub1 type) {
  QZOCI_ENTER("OCIServerVersion", errhp, Detail() << "htype=" << static_cast<int>(type));
  if (!AsTag(handle)) return oci::kInvalidHandle;
  CopyOut("SQLite-backed OCI stand-in Release 19.0.0.0.0 - Production", buffer, size, CharsetOf(handle));
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
