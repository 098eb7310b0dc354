// The client calls of the Oracle session's set-up and tear-down (environment, server, session, version, NLS
// information, the OCI7 logon), for the connection in oracle/, which does not see the client's declarations. Each
// runs its call in a guarded region at the caller's point: false when the call could not be made (the entry threw;
// the handler recorded error 1040 or 23), else true with the client's status. None raises an OCI error: the
// connection decides which statuses fail and with which identification.
#pragma once

#include <cstdint>

#include "foundation/t_string.h"

class CErrorHolder;
class COracleConnection;

// The handle kinds and attributes the session names, as the client numbers them.
namespace session_oci {
inline constexpr std::uint32_t HTYPE_ENV = 1;
inline constexpr std::uint32_t HTYPE_ERROR = 2;
inline constexpr std::uint32_t HTYPE_SVCCTX = 3;
inline constexpr std::uint32_t HTYPE_STMT = 4;
inline constexpr std::uint32_t HTYPE_DEFINE = 6;
inline constexpr std::uint32_t HTYPE_SERVER = 8;
inline constexpr std::uint32_t HTYPE_SESSION = 9;
inline constexpr std::uint32_t HTYPE_TRANS = 10;
inline constexpr std::uint32_t ATTR_SERVER = 6;
inline constexpr std::uint32_t ATTR_SESSION = 7;
inline constexpr std::uint32_t ATTR_TRANS = 8;
inline constexpr std::uint32_t ATTR_USERNAME = 22;
inline constexpr std::uint32_t ATTR_PASSWORD = 23;
inline constexpr std::uint32_t ATTR_STMT_TYPE = 24;
inline constexpr std::uint32_t ATTR_INTERNAL_NAME = 25;
inline constexpr std::uint32_t ATTR_EXTERNAL_NAME = 26;
inline constexpr std::uint32_t ATTR_XID = 27;
inline constexpr std::uint32_t ATTR_MIGSESSION = 86;
inline constexpr std::int32_t SUCCESS = 0;
inline constexpr std::int32_t SUCCESS_WITH_INFO = 1;
inline constexpr std::int32_t NO_DATA = 100;
inline constexpr std::uint16_t SQLT_STR = 5;
}  // namespace session_oci

// The client's five version numbers; false when the client has no OCIClientVersion or its call threw.
bool bOciClientVersion(COracleConnection* connection, CErrorHolder* holder, std::int32_t numbers[5]);
// Entries a client may lack, which the session asks about before it uses them.
enum class ESessionEntry { EnvNlsCreate, ServerVersion, NlsGetInfo, TransPrepare, TransDetach };
bool bOciOffers(ESessionEntry entry);

bool bOciEnvNlsCreate(COracleConnection* connection, CErrorHolder* holder, std::uint32_t point, void** environment,
                      std::uint32_t mode, std::uint16_t charset, std::uint16_t nationalCharset,
                      std::int32_t* status);
bool bOciEnvCreate(COracleConnection* connection, CErrorHolder* holder, std::uint32_t point, void** environment,
                   std::uint32_t mode, std::int32_t* status);
bool bOciInitialize(COracleConnection* connection, CErrorHolder* holder, std::uint32_t point, std::uint32_t mode,
                    std::int32_t* status);
bool bOciEnvInit(COracleConnection* connection, CErrorHolder* holder, std::uint32_t point, void** environment,
                 std::uint32_t mode, std::int32_t* status);
// name: in the client's form (COciText's bytes).
bool bOciServerAttach(COracleConnection* connection, CErrorHolder* holder, std::uint32_t point, void* server,
                      const char16_t* name, std::int32_t* status);
bool bOciSessionBegin(COracleConnection* connection, CErrorHolder* holder, std::uint32_t point, void* session,
                      std::uint32_t credentials, std::uint32_t mode, std::int32_t* status);
// The banner of the service context's server, read in the client's form.
bool bOciServerVersion(COracleConnection* connection, CErrorHolder* holder, std::uint32_t point, CTString& banner,
                       std::int32_t* status);
// OCI_NLS_CHARACTER_SET of the environment; false on any failure, which no holder hears of.
bool bOciNlsCharacterSet(COracleConnection* connection, CTString& out);
// An attribute set with a text in the client's form.
int nOciAttrSetText(COracleConnection* connection, CErrorHolder* holder, void* handle, std::uint32_t kind,
                    const char16_t* text, std::uint32_t attribute);

// Tear-down: nothing is reported.
void OciSessionEnd(COracleConnection* connection, void* session);
void OciServerDetach(COracleConnection* connection, void* server);
void OciFreeHandle(COracleConnection* connection, void* handle, std::uint32_t kind);

// OCI7: the logon (user, password and connect string converted to the client's form), the auto-commit switch and
// the logoff, each on the connection's logon data area; the OCI7 result code in *result.
bool bOci7Logon(COracleConnection* connection, CErrorHolder* holder, std::uint32_t point, void* hostArea,
                const char16_t* user, const char16_t* password, const char16_t* connect, std::int32_t* result);
bool bOci7AutoCommitOn(COracleConnection* connection, CErrorHolder* holder, std::uint32_t point,
                       std::int32_t* result);
void Oci7Logoff(COracleConnection* connection);
// The client-fault flag of the call wrappers, cleared once the session that saw the fault is gone.
void ClearClientFault();
bool bClientFaultSeen();
// Texts in the client's form (oci_call.h's), for the connection that does not include that header.
bool bSessionIsUtf16(COracleConnection* connection);
// False when memory refused the text (out is then cut short or empty).
bool bReadSessionText(COracleConnection* connection, const void* text, std::uint32_t bytes, CTString& out);
// The SQL function type of a cursor data area (the u16 at byte 2).
std::uint16_t nOci7FunctionType(const void* area);
