#include "oracle/client/oci_session_calls.h"

#include <cstring>

#include "oracle/client/client_loader.h"
#include "oracle/client/oci_call.h"
#include "oracle/client/oci_entries.h"
#include "oracle/client/oci_wrappers.h"

using namespace oci;

namespace {

constexpr ub4 SERVER_VERSION_UNITS = 255;
constexpr ub4 NLS_INFO_UNITS = 100;
constexpr ub2 OCI_NLS_CHARACTER_SET = 55;

// Guards one call whose status it hands back.
template <typename Call>
bool bStatusCall(COracleConnection* c, CErrorHolder* h, std::uint32_t point, std::int32_t* status, Call&& call) {
  *status = OCI_SUCCESS;
  return bOciGuarded(c, h, point, [&] { *status = call(); });
}

}  // namespace

bool bOciOffers(ESessionEntry entry) {
  switch (entry) {
    case ESessionEntry::EnvNlsCreate: return bOciEntryBound(OCI_SLOT_OCIEnvNlsCreate);
    case ESessionEntry::ServerVersion: return bOciEntryBound(OCI_SLOT_OCIServerVersion);
    case ESessionEntry::NlsGetInfo: return bOciEntryBound(OCI_SLOT_OCINlsGetInfo);
    case ESessionEntry::TransPrepare: return bOciEntryBound(OCI_SLOT_OCITransPrepare);
    case ESessionEntry::TransDetach: return bOciEntryBound(OCI_SLOT_OCITransDetach);
  }
  return false;
}

bool bOciClientVersion(COracleConnection* c, CErrorHolder* h, std::int32_t numbers[5]) {
  if (!bOciEntryBound(OCI_SLOT_OCIClientVersion)) return false;
  return bOciGuarded(c, h, 0, [&] {
    OciEntry<OCI_SLOT_OCIClientVersion>()(&numbers[0], &numbers[1], &numbers[2], &numbers[3], &numbers[4]);
  });
}

bool bOciEnvNlsCreate(COracleConnection* c, CErrorHolder* h, std::uint32_t point, void** environment,
                      std::uint32_t mode, std::uint16_t charset, std::uint16_t nationalCharset, std::int32_t* status) {
  return bStatusCall(c, h, point, status, [&] {
    return OciEntry<OCI_SLOT_OCIEnvNlsCreate>()(reinterpret_cast<OCIEnv**>(environment), mode, nullptr, nullptr,
                                                nullptr, nullptr, 0, nullptr, charset, nationalCharset);
  });
}

bool bOciEnvCreate(COracleConnection* c, CErrorHolder* h, std::uint32_t point, void** environment, std::uint32_t mode,
                   std::int32_t* status) {
  return bStatusCall(c, h, point, status, [&] {
    return OciEntry<OCI_SLOT_OCIEnvCreate>()(reinterpret_cast<OCIEnv**>(environment), mode, nullptr, nullptr, nullptr,
                                             nullptr, 0, nullptr);
  });
}

bool bOciInitialize(COracleConnection* c, CErrorHolder* h, std::uint32_t point, std::uint32_t mode,
                    std::int32_t* status) {
  return bStatusCall(c, h, point, status,
                     [&] { return OciEntry<OCI_SLOT_OCIInitialize>()(mode, nullptr, nullptr, nullptr, nullptr); });
}

bool bOciEnvInit(COracleConnection* c, CErrorHolder* h, std::uint32_t point, void** environment, std::uint32_t mode,
                 std::int32_t* status) {
  return bStatusCall(c, h, point, status, [&] {
    return OciEntry<OCI_SLOT_OCIEnvInit>()(reinterpret_cast<OCIEnv**>(environment), mode, 0, nullptr);
  });
}

bool bOciServerAttach(COracleConnection* c, CErrorHolder* h, std::uint32_t point, void* server, const char16_t* name,
                      std::int32_t* status) {
  const COciText clientName(c, name);
  if (!bOciTextsMade(h, {&clientName})) return false;
  return bStatusCall(c, h, point, status, [&] {
    return OciEntry<OCI_SLOT_OCIServerAttach>()(static_cast<OCIServer*>(server), pErrorOf(c), clientName.pGet(),
                                                static_cast<sb4>(clientName.nGetBytes()), OCI_DEFAULT);
  });
}

bool bOciSessionBegin(COracleConnection* c, CErrorHolder* h, std::uint32_t point, void* session,
                      std::uint32_t credentials, std::uint32_t mode, std::int32_t* status) {
  return bStatusCall(c, h, point, status, [&] {
    return OciEntry<OCI_SLOT_OCISessionBegin>()(pServiceOf(c), pErrorOf(c), static_cast<OCISession*>(session),
                                                credentials, mode);
  });
}

bool bOciServerVersion(COracleConnection* c, CErrorHolder* h, std::uint32_t point, CTString& banner,
                       std::int32_t* status) {
  char16_t buffer[SERVER_VERSION_UNITS + 1] = {};
  const ub4 bytes = bClientIsUtf16(c) ? SERVER_VERSION_UNITS * 2 : SERVER_VERSION_UNITS;
  const bool called = bStatusCall(c, h, point, status, [&] {
    return OciEntry<OCI_SLOT_OCIServerVersion>()(c->m_pServiceContext, pErrorOf(c),
                                                 reinterpret_cast<OraText*>(buffer), bytes, OCI_HTYPE_SVCCTX);
  });
  if (called && *status == OCI_SUCCESS) ReadClientText(c, buffer, bytes, banner);
  return called;
}

bool bOciNlsCharacterSet(COracleConnection* c, CTString& out) {
  char16_t buffer[NLS_INFO_UNITS + 1] = {};
  const std::size_t bytes = bClientIsUtf16(c) ? NLS_INFO_UNITS * 2 : NLS_INFO_UNITS;
  sword status = OCI_ERROR;
  try {
    status = OciEntry<OCI_SLOT_OCINlsGetInfo>()(c->m_pEnvironment, pErrorOf(c), reinterpret_cast<OraText*>(buffer),
                                                bytes, OCI_NLS_CHARACTER_SET);
  } catch (...) {
    return false;
  }
  if (status != OCI_SUCCESS) return false;
  ReadClientText(c, buffer, static_cast<std::uint32_t>(bytes), out);
  return true;
}

int nOciAttrSetText(COracleConnection* c, CErrorHolder* h, void* handle, std::uint32_t kind, const char16_t* text,
                    std::uint32_t attribute) {
  const COciText clientText(c, text);
  if (!bOciTextsMade(h, {&clientText})) return 0;
  return nOciAttrSet(c, h, handle, kind, clientText.pGet(), attribute, clientText.nGetBytes());
}

void OciSessionEnd(COracleConnection* c, void* session) {
  bOciGuarded(c, nullptr, 0, [&] {
    OciEntry<OCI_SLOT_OCISessionEnd>()(pServiceOf(c), pErrorOf(c), static_cast<OCISession*>(session), OCI_DEFAULT);
  });
}

void OciServerDetach(COracleConnection* c, void* server) {
  bOciGuarded(c, nullptr, 0,
              [&] { OciEntry<OCI_SLOT_OCIServerDetach>()(static_cast<OCIServer*>(server), pErrorOf(c), OCI_DEFAULT); });
}

void OciFreeHandle(COracleConnection* c, void* handle, std::uint32_t kind) {
  if (!handle) return;
  bOciGuarded(c, nullptr, 0, [&] { OciEntry<OCI_SLOT_OCIHandleFree>()(handle, kind); });
}

bool bOci7Logon(COracleConnection* c, CErrorHolder* h, std::uint32_t point, void* hostArea, const char16_t* user,
                const char16_t* password, const char16_t* connect, std::int32_t* result) {
  const COciText clientUser(c, user);
  const COciText clientPassword(c, password);
  const COciText clientConnect(c, connect);
  if (!bOciTextsMade(h, {&clientUser, &clientPassword, &clientConnect})) return false;
  return bStatusCall(c, h, point, result, [&] {
    return OciEntry<OCI_SLOT_olog>()(pLogonAreaOf(c), static_cast<ub1*>(hostArea), clientUser.pGet(),
                                     static_cast<sword>(clientUser.nGetBytes()), clientPassword.pGet(),
                                     static_cast<sword>(clientPassword.nGetBytes()), clientConnect.pGet(),
                                     static_cast<sword>(clientConnect.nGetBytes()), OCI_DEFAULT);
  });
}

bool bOci7AutoCommitOn(COracleConnection* c, CErrorHolder* h, std::uint32_t point, std::int32_t* result) {
  return bStatusCall(c, h, point, result, [&] { return OciEntry<OCI_SLOT_ocon>()(pLogonAreaOf(c)); });
}

void Oci7Logoff(COracleConnection* c) {
  bOciGuarded(c, nullptr, 0, [&] { OciEntry<OCI_SLOT_ologof>()(pLogonAreaOf(c)); });
}

std::uint16_t nOci7FunctionType(const void* area) {
  std::uint16_t type = 0;
  std::memcpy(&type, static_cast<const char*>(area) + OCI7_FUNCTION_TYPE_OFFSET, sizeof type);
  return type;
}

void ClearClientFault() { gbOciClientFailed = 0; }
bool bClientFaultSeen() { return gbOciClientFailed != 0; }

bool bSessionIsUtf16(COracleConnection* c) { return bClientIsUtf16(c); }

bool bReadSessionText(COracleConnection* c, const void* text, std::uint32_t bytes, CTString& out) {
  return ReadClientText(c, text, bytes, out);
}
