// COracleConnection's session: options, the client library and version, the environment, the logon with either API
// set, the session's NLS settings, and the close.
#include <cstdlib>
#include <cstring>

#include "foundation/code_pages.h"
#include "foundation/error_holder.h"
#include "foundation/file_paths.h"
#include "foundation/host_locale.h"
#include "foundation/module_errors.h"
#include "foundation/numbers.h"
#include "foundation/text_utils.h"
#include "foundation/x_error.h"
#include "host/host_objects.h"
#include "oracle/client/client_loader.h"
#include "oracle/client/oci_error.h"
#include "oracle/client/oci_session_calls.h"
#include "oracle/client/oci_wrappers.h"
#include "oracle/oracle_connection.h"
#include "oracle/oracle_transaction.h"
#include "oracle/oracle_type_names.h"

std::int32_t gnOciClientMajorVersion = -1;
std::int32_t ganOciClientVersion[4] = {-1, 0, 0, 0};

namespace {

using namespace session_oci;

constexpr std::uint32_t UNIT = ERROR_UNIT_ORACLE_CALL;
constexpr std::uint32_t ENVIRONMENT_MODE_OBJECT = 2;
constexpr std::uint32_t CREDENTIALS_RDBMS = 1;
constexpr std::uint32_t CREDENTIALS_EXTERNAL = 2;
constexpr std::uint16_t CHARSET_UTF16 = 1000;
constexpr std::uint32_t CHARSET_ID_MAX = 0xFFFF;
constexpr std::int32_t OCI_INITIALIZE_ALREADY = 1804;
constexpr std::uint32_t OCI7_HOST_DATA_BYTES = 256;
constexpr std::size_t APPLICATION_NAME_UNITS = 16;
constexpr std::uint32_t DATE_FORMAT_UNITS = 511;

enum : std::uint32_t {
  ERROR_AUTOMATIC_FALLBACK = 1038,
  ERROR_CLIENT_KIND = 1048,
  ERROR_NO_NLS_CREATE = 1049,
  ERROR_CHARSET_NOT_NUMBER = 1050,
  MESSAGE_ATTACH = 2503,
  MESSAGE_SESSION_BEGIN = 2504,
  MESSAGE_SET_SESSION = 2458,
  MESSAGE_ENVIRONMENT = 2534,
  MESSAGE_SERVER_NAME = 7122,
  MESSAGE_CHARSET_NO_CODE_PAGE = 6698,
};

enum : std::uint32_t {
  POINT_CLIENT_FALLBACK = 5,
  POINT_INITIALIZE = 6,
  POINT_ENV_INIT = 7,
  POINT_ENV_NLS_CREATE = 17,
  POINT_CHARSET = 18,
  POINT_ENV_CREATE = 28,
  POINT_SERVER_ATTACH = 30,
  POINT_SESSION_BEGIN = 31,
  POINT_SERVER_VERSION = 32,
  POINT_OCI7_LOGON = 35,
  POINT_OCI7_AUTOCOMMIT = 37,
  POINT_CLIENT_KIND = 147,
};

bool bPassed(std::int32_t status) { return status == SUCCESS || status == SUCCESS_WITH_INFO; }

// The session's native errors that name the server it could not reach.
bool bUnknownServer(CErrorHolder* holder) {
  if (!holder || !holder->bHasError()) return false;
  const std::uint32_t native = holder->nGetNativeErrorCode();
  return native == 12514 || native == 12154;
}

// Major, minor, update, patch of the client against 10.2.0.3.
bool bClientAtLeast10203() {
  static const std::int32_t kThreshold[4] = {10, 2, 0, 3};
  for (int i = 0; i < 4; ++i) {
    if (ganOciClientVersion[i] != kThreshold[i]) return ganOciClientVersion[i] > kThreshold[i];
  }
  return true;
}

}  // namespace

// ---- construction ----

void COracleConnection::ReadSessionOptions() {
  const char16_t* section = pszGetDataSource();
  const bool hasSection = section && section[0];
  CTString value;
  int found = 0;
  auto number = [&](const char16_t* key, std::uint32_t& out) {
    if (bGetOption(value, key, 1) && !value.bIsEmpty()) {
      out = static_cast<std::uint32_t>(nWideToInt(value.pszGet()));
    } else if (hasSection) {
      out = nReadIniInt(section, key, static_cast<std::int32_t>(out));
    }
  };
  number(u"PREFETCHROW", m_nPrefetchRows);
  number(u"PREFETCHMEMORY", m_nPrefetchMemory);

  m_strNlsDateFormat = u"YYYYMMDDHH24MISS";
  bGetOptionEx(value, found, u"NLS_DATE_FORMAT", 1);
  if (found && !value.bIsEmpty()) {
    m_strNlsDateFormat = value;
  } else if (hasSection) {
    char16_t text[DATE_FORMAT_UNITS];
    nReadIniString(section, u"NLS_DATE_FORMAT", u"YYYYMMDDHH24MISS", text, DATE_FORMAT_UNITS);
    // A value in angle brackets is a placeholder of the file's template: no format is sent.
    m_strNlsDateFormat = text[0] == u'<' ? u"" : text;
  }
  bGetOption(m_strNlsLanguage, u"NLS_LANGUAGE", 1);
  bGetOption(m_strNlsTerritory, u"NLS_TERRITORY", 1);
  bGetOption(m_strNlsCharacterSet, u"NLS_CHARACTER_SET", 1);

  bGetOptionEx(value, found, u"DTS", 1);
  if (found && !value.bIsEmpty()) {
    m_bNoDistributedTransactions = value.bEqualsNoCase(u"NO") || value.bEqualsNoCase(u"0") ? 1 : 0;
  } else if (hasSection) {
    m_bNoDistributedTransactions = nReadIniInt(section, u"NODTS", 0) != 0 ? 1 : 0;
  }
  if (bGetOption(value, u"QZ SESSION MODE", 1) && !value.bIsEmpty()) {
    m_nSessionMode = static_cast<std::uint32_t>(nWideToInt(value.pszGet()));
  }
}

COracleConnection::COracleConnection(const char16_t* name, IHostConnectionDescription* description)
    : CConnectionOra(name, description) {
  m_nDbmsKind = DBMS_KIND_ORACLE;
  m_nNestedMode = 0;  // flat transactions: only the outermost begin reaches the server
  m_strOpeningQuote = u"\"";
  m_nOpeningQuoteLength = 1;
  m_strClosingQuote = u"\"";
  m_nClosingQuoteLength = 1;
  ReadSessionOptions();
}

COracleConnection::~COracleConnection() {
  Close(nullptr);
  std::free(m_pOci7HostData);
}

// ---- open ----

void COracleConnection::MakeApplicationNames(const char16_t* name, CTString& external, CTString& internal) {
  // Each name is cut on whole characters: half a surrogate pair is no text the client can convert.
  auto cut = [](CTString& text) {
    const std::size_t kept = nWholeUnitPrefix(text.pszGet(), text.nGetLength(), APPLICATION_NAME_UNITS);
    text.Truncate(static_cast<std::int64_t>(kept));
  };
  CTString whole(name ? name : u"");
  internal = u"Tnx";
  internal.Append(whole.pszGet());
  cut(internal);
  external = whole;
  cut(external);
}

std::int32_t COracleConnection::nChooseClientKind(CErrorHolder* holder) {
  const char16_t* kind = pszGetClientVersion();
  if (!kind || !kind[0]) return nReadIniInt(u"OPTIONS", u"LOADORACLE8CLIENT", 1) != 0 ? 0 : 7;
  if (kind[0] == u'8' && !kind[1]) return 8;
  if (kind[0] == u'7' && !kind[1]) return 7;
  RaiseModuleError(holder, 0, UNIT, POINT_CLIENT_KIND, this, nullptr, ERROR_CLIENT_KIND, kind);
  return -1;
}

void COracleConnection::DetectClientVersion(CErrorHolder* holder) {
  if (gbOci7Mode) {
    ganOciClientVersion[0] = 7;
    gnOciClientMajorVersion = 7;
    gstrClientVersionText = u"7";
    return;
  }
  std::int32_t numbers[5] = {-1, 0, 0, 0, 0};
  if (bOciClientVersion(this, holder, numbers) && numbers[0] >= 0) {
    for (int i = 0; i < 4; ++i) ganOciClientVersion[i] = numbers[i];
    gstrClientVersionText.Format(u"%d.%d.%d.%d.%d", numbers[0], numbers[1], numbers[2], numbers[3], numbers[4]);
  } else {
    // An older client names its major version by the C++ library it ships, beside it: in the directory of the
    // module loaded, which a client found by the system's search has too.
    const char16_t* loaded = gstrOciLibraryPath.pszGet();
    std::size_t directoryLength = std::char_traits<char16_t>::length(loaded);
    while (directoryLength > 0 && loaded[directoryLength - 1] != u'\\' && loaded[directoryLength - 1] != u'/' &&
           loaded[directoryLength - 1] != u':') {
      --directoryLength;
    }
    for (std::int32_t major : {11, 10, 9}) {
      CTString path;
      path.AssignN(loaded, directoryLength);
      if (path.bIsEmpty() && gpOciLoader) path = gpOciLoader->GetDirectory();
      CTString file(TSTRING_FORMAT, u"oraocci%d.dll", major);
      if (!path.bIsEmpty()) AppendBackslash(path);
      path.Append(file.pszGet());
      if (bIsFile(path.pszGet())) {
        ganOciClientVersion[0] = major;
        break;
      }
    }
    if (ganOciClientVersion[0] < 0) ganOciClientVersion[0] = 8;
    gstrClientVersionText.Format(u"%d", ganOciClientVersion[0]);
  }
  gnOciClientMajorVersion = ganOciClientVersion[0];
}

int COracleConnection::bOpen(CErrorHolder* holder, const char16_t*) {
  if (bIsConnected()) return 1;
  if (!bIsOracleClientLoaded()) {
    const std::int32_t kind = nChooseClientKind(holder);
    if (kind < 0) return 0;
    if (kind == 0) {
      if (!bLoadOracleClient(holder, gstrOciLibraryPath, pszGetClientLibrary(), 0)) {
        const char16_t* path = pszGetClientLibrary();
        if (path && path[0]) return 0;
        if (!bLoadOracleClient(holder, gstrOciLibraryPath, nullptr, 1)) {
          // The failed fall-back is what the caller is told; both load errors stay nested under it.
          if (holder) holder->RaiseErrorOnTop(0, UNIT, POINT_CLIENT_FALLBACK, this, ERROR_AUTOMATIC_FALLBACK);
          return 0;
        }
        gbOci7Mode = 1;
        // The OCI set was only the first choice: its failure is no failure of the open.
        if (holder) holder->Clear();
      }
    } else {
      if (!bLoadOracleClient(holder, gstrOciLibraryPath, pszGetClientLibrary(), kind == 7 ? 1 : 0)) return 0;
      if (kind == 7) gbOci7Mode = 1;
    }
    DetectClientVersion(holder);
  } else if (!bCheckClientLibrary(holder)) {
    return 0;
  }
  if (!(gbOci7Mode ? bLogonOci7(holder) : bLogonOci8(holder))) return 0;
  if (ApplySessionNls(holder)) return 1;
  // A session the server refused its settings is no session of ours: the next open tries again rather than
  // answering 1 with the server's default language and formats.
  if (gbOci7Mode) {
    CloseOci7();
  } else {
    CloseOci8();
  }
  return 0;
}

int COracleConnection::bIsConnected() { return gbOci7Mode ? (m_bOci7LoggedOn ? 1 : 0) : (m_pServiceContext ? 1 : 0); }

int COracleConnection::bCreateEnvironment(CErrorHolder* holder) {
  m_nEnvironmentMode = ENVIRONMENT_MODE_OBJECT;
  SetSessionCodePage(nGetAnsiCodePage());
  std::int32_t charset = -1;
  std::uint32_t charsetCodePage = 0;
  const bool offersNls = bOciOffers(ESessionEntry::EnvNlsCreate);
  if (!m_strNlsCharacterSet.bIsEmpty()) {
    if (!bIsAllDigitsW(m_strNlsCharacterSet.pszGet())) {
      RaiseModuleError(holder, 0, UNIT, POINT_CHARSET, this, nullptr, ERROR_CHARSET_NOT_NUMBER,
                       m_strNlsCharacterSet.pszGet());
      return 0;
    }
    if (!offersNls || m_nEnvNlsCreateState == 2) {
      RaiseModuleError(holder, 0, UNIT, POINT_CHARSET, this, nullptr, ERROR_NO_NLS_CREATE,
                       m_strNlsCharacterSet.pszGet());
      return 0;
    }
    // The number names the character set whole: one past 16 bits would be cut to another set.
    std::uint32_t number = 0;
    for (const char16_t* p = m_strNlsCharacterSet.pszGet(); *p && number <= CHARSET_ID_MAX; ++p) {
      number = number * 10 + static_cast<std::uint32_t>(*p - u'0');
    }
    // Texts go to the client in the character set the environment is opened in: one no code page holds is refused
    // rather than given texts in another page.
    charsetCodePage = number <= CHARSET_ID_MAX ? nOracleCharsetToCodePage(static_cast<std::int32_t>(number)) : 0;
    if (charsetCodePage == 0) {
      RaiseModuleError(holder, 0, UNIT, POINT_CHARSET, this, nullptr, ERROR_CHARSET_NOT_NUMBER,
                       m_strNlsCharacterSet.pszGet());
      if (holder) holder->AddUserMessage(MESSAGE_CHARSET_NO_CODE_PAGE, m_strNlsCharacterSet.pszGet());
      return 0;
    }
    charset = static_cast<std::int32_t>(number);
  }
  if (offersNls && m_nEnvNlsCreateState != 2) {
    std::uint16_t nationalCharset = 0;
    if (charset < 0) {
      if (bClientAtLeast10203()) {
        charset = CHARSET_UTF16;
        nationalCharset = CHARSET_UTF16;
        SetSessionCodePage(SESSION_CODE_PAGE_UTF16);
        m_nClientCharsetId = nCodePageToOracleCharset(nGetAnsiCodePage());
        if (m_nClientCharsetId == -1) m_nEnvNlsCreateState = 3;
      }
    } else {
      m_nClientCharsetId = charset;
      nationalCharset = CHARSET_UTF16;
      SetSessionCodePage(charsetCodePage);
    }
    if (charset >= 0 && m_nEnvNlsCreateState != 3) {
      std::int32_t status = SUCCESS;
      if (bOciEnvNlsCreate(this, holder, POINT_ENV_NLS_CREATE, &m_pEnvironment, m_nEnvironmentMode,
                           static_cast<std::uint16_t>(charset), nationalCharset, &status)) {
        if (bPassed(status)) {
          m_nEnvNlsCreateState = 1;
          return 1;
        }
        RaiseOciError(this, holder, status, UNIT, POINT_ENV_NLS_CREATE, m_pEnvironment, HTYPE_ENV);
        // The environment a failed creation handed back goes before another is made.
        OciFreeHandle(this, m_pEnvironment, HTYPE_ENV);
        m_pEnvironment = nullptr;
        // A character set the caller asked for is not given up for the client's default one.
        if (!m_strNlsCharacterSet.bIsEmpty()) {
          if (holder) holder->InsertUserMessage(MESSAGE_ENVIRONMENT);
          return 0;
        }
      } else {
        m_pEnvironment = nullptr;
        m_nEnvNlsCreateState = 2;
        if (!m_strNlsCharacterSet.bIsEmpty()) {
          if (holder) holder->InsertUserMessage(MESSAGE_ENVIRONMENT);
          return 0;
        }
      }
    }
  }
  SetSessionCodePage(nGetAnsiCodePage());
  if (m_nEnvCreateState != 2) {
    std::int32_t status = SUCCESS;
    if (bOciEnvCreate(this, holder, POINT_ENV_CREATE, &m_pEnvironment, m_nEnvironmentMode, &status)) {
      if (bPassed(status)) {
        if (holder) holder->Clear();
        m_nEnvCreateState = 1;
        return 1;
      }
      RaiseOciError(this, holder, status, UNIT, POINT_ENV_CREATE, m_pEnvironment, HTYPE_ENV);
      OciFreeHandle(this, m_pEnvironment, HTYPE_ENV);
    } else if (holder) {
      // A client that cannot make the call is an older one: the set-up below is its own, and what the caller is
      // told if that fails is its failure, not the absence of the newer call on top of it.
      holder->Clear();
    }
    m_pEnvironment = nullptr;
    m_nEnvCreateState = 2;
  }
  return bInitLegacyEnvironment(holder);
}

void COracleConnection::AdoptEnvironmentCharset() {
  // An environment made without a character set takes the client's (NLS_LANG): 8-bit texts go to it in that
  // set's code page, as they do when the set was asked for. One the environment does not tell, or no code page
  // holds, leaves the runtime's.
  CTString name;
  if (!bGetNlsInfo(name)) return;
  if (const std::uint32_t codePage = nOracleCharsetNameToCodePage(name.pszGet())) SetSessionCodePage(codePage);
}

int COracleConnection::bInitLegacyEnvironment(CErrorHolder* holder) {
  std::int32_t status = SUCCESS;
  bool passed = bOciInitialize(this, holder, POINT_INITIALIZE, m_nEnvironmentMode, &status);
  if (passed && !bPassed(status) && status != OCI_INITIALIZE_ALREADY) {
    RaiseOciError(this, holder, status, UNIT, POINT_INITIALIZE, nullptr);
    passed = false;
  }
  if (passed) {
    passed = bOciEnvInit(this, holder, POINT_ENV_INIT, &m_pEnvironment, m_nEnvironmentMode & 0x81, &status);
    if (passed && bPassed(status)) {
      if (holder) holder->Clear();
      m_nInitializeState = 1;
      return 1;
    }
    if (passed) {
      RaiseOciError(this, holder, status, UNIT, POINT_ENV_INIT, m_pEnvironment, HTYPE_ENV);
      OciFreeHandle(this, m_pEnvironment, HTYPE_ENV);
      m_pEnvironment = nullptr;
    }
  }
  m_nInitializeState = 2;
  if (holder && holder->bHasError()) holder->InsertUserMessage(MESSAGE_ENVIRONMENT);
  return 0;
}

int COracleConnection::bBeginSession(CErrorHolder* holder, void* session, std::uint32_t mode) {
  IHostConnectionDescription* description = pGetHostDescription();
  const char16_t* user = pszGetUserId();
  const char16_t* password = description ? description->pszGetPassword() : nullptr;
  std::uint32_t credentials = CREDENTIALS_EXTERNAL;
  if (!(user && user[0] == u'/' && !user[1] && (!password || !password[0]))) {
    credentials = CREDENTIALS_RDBMS;
    if (!nOciAttrSetText(this, holder, session, HTYPE_SESSION, user, ATTR_USERNAME) ||
        !nOciAttrSetText(this, holder, session, HTYPE_SESSION, password, ATTR_PASSWORD)) {
      return 0;
    }
  }
  std::int32_t status = SUCCESS;
  if (!bOciSessionBegin(this, holder, POINT_SESSION_BEGIN, session, credentials, mode, &status)) return 0;
  if (bPassed(status)) return 1;
  RaiseOciError(this, holder, status, UNIT, POINT_SESSION_BEGIN, m_pErrorHandle);
  if (holder) holder->InsertUserMessage(MESSAGE_SESSION_BEGIN);
  return 0;
}

int COracleConnection::bLogonOci8(CErrorHolder* holder) {
  // Whatever a failed logon made is freed: only a complete session counts as connected.
  struct SUndo {
    COracleConnection* connection;
    bool done = false;
    ~SUndo() {
      if (!done) connection->CloseOci8();
    }
  } undo{this};

  if (!bCreateEnvironment(holder)) return 0;
  m_pErrorHandle = nOciHandleAlloc(this, holder, HTYPE_ERROR);
  if (!m_pErrorHandle) return 0;
  if (m_nEnvNlsCreateState != 1) AdoptEnvironmentCharset();
  m_pServer = nOciHandleAlloc(this, holder, HTYPE_SERVER);
  if (!m_pServer) return 0;

  CTString serverName(pszGetDataSource() ? pszGetDataSource() : u"");
  bGetConnectionString(serverName);
  IHostConnectionDescription* description = pGetHostDescription();
  if (description && description->nGetNamedParameterFlag() == 1) SetNamedParameterSwitch(1);

  std::int32_t status = SUCCESS;
  if (!bOciServerAttach(this, holder, POINT_SERVER_ATTACH, m_pServer, serverName.pszGet(), &status)) return 0;
  if (!bPassed(status)) {
    RaiseOciError(this, holder, status, UNIT, POINT_SERVER_ATTACH, m_pErrorHandle);
    if (holder) {
      holder->InsertUserMessage(MESSAGE_ATTACH);
      if (bUnknownServer(holder)) holder->AddUserMessage(MESSAGE_SERVER_NAME, serverName.pszGet());
    }
    // The server handle was never attached: nothing to detach.
    OciFreeHandle(this, m_pServer, HTYPE_SERVER);
    m_pServer = nullptr;
    return 0;
  }
  m_pServiceContext = nOciHandleAlloc(this, holder, HTYPE_SVCCTX);
  if (!m_pServiceContext) return 0;
  if (!nOciAttrSet(this, holder, m_pServiceContext, HTYPE_SVCCTX, m_pServer, ATTR_SERVER, 0)) return 0;

  if (!m_bNoDistributedTransactions) {
    CTString name;
    bGetApplicationName(name);
    CTString internal;
    MakeApplicationNames(name.pszGet(), name, internal);
    if (!nOciAttrSetText(this, holder, m_pServer, HTYPE_SERVER, name.pszGet(), ATTR_EXTERNAL_NAME) ||
        !nOciAttrSetText(this, holder, m_pServer, HTYPE_SERVER, internal.pszGet(), ATTR_INTERNAL_NAME)) {
      return 0;
    }
  }

  void* session = nOciHandleAlloc(this, holder, HTYPE_SESSION);
  if (!session) return 0;
  if (!bBeginSession(holder, session, m_nSessionMode)) {
    OciFreeHandle(this, session, HTYPE_SESSION);
    return 0;
  }
  m_pMainSession = session;
  m_pCurrentSession = session;
  if (!nOciAttrSet(this, holder, m_pServiceContext, HTYPE_SVCCTX, session, ATTR_SESSION, 0)) {
    if (holder) holder->InsertUserMessage(MESSAGE_SET_SESSION);
    return 0;
  }

  if (bOciOffers(ESessionEntry::ServerVersion)) {
    CTString banner;
    if (!bOciServerVersion(this, holder, POINT_SERVER_VERSION, banner, &status)) return 0;
    if (status != SUCCESS) {
      // The failure is reported as it is, never as an empty holder.
      RaiseOciError(this, holder, status, UNIT, POINT_SERVER_VERSION, m_pErrorHandle);
      return 0;
    }
    const std::uint32_t at = banner.nFind(u"Release", 0);
    if (at != TSTRING_NOT_FOUND) {
      std::size_t start = at + 7;
      while (banner.nGetAt(start) == u' ') ++start;
      std::size_t end = start;
      while (banner.nGetAt(end) && banner.nGetAt(end) != u' ') ++end;
      CTString version;
      banner.Mid(version, start, end - start);
      SetServerVersionText(version.pszGet());
      ParseServerVersion(nullptr);
    }
  }
  undo.done = true;
  return 1;
}

int COracleConnection::bLogonOci7(CErrorHolder* holder) {
  if (!m_pOci7HostData) {
    m_pOci7HostData = static_cast<std::uint8_t*>(std::malloc(OCI7_HOST_DATA_BYTES));
    if (!m_pOci7HostData) {
      SetHolderOutOfMemory(holder);
      return 0;
    }
  }
  std::memset(m_pOci7HostData, 0, OCI7_HOST_DATA_BYTES);
  m_pErrorHandle = pOci7PlaceholderHandle();
  SetSessionCodePage(nGetAnsiCodePage());
  CTString connect(pszGetDataSource() ? pszGetDataSource() : u"");
  bGetConnectionString(connect);
  IHostConnectionDescription* description = pGetHostDescription();
  std::int32_t result = 0;
  if (!bOci7Logon(this, holder, POINT_OCI7_LOGON, m_pOci7HostData, pszGetUserId(),
                  description ? description->pszGetPassword() : nullptr, connect.pszGet(), &result)) {
    return 0;
  }
  if (result != 0) {
    RaiseOci7Error(this, holder, result, UNIT, POINT_OCI7_LOGON, m_abOci7LogonData);
    if (holder) {
      holder->InsertUserMessage(MESSAGE_SET_SESSION);
      if (bUnknownServer(holder)) holder->AddUserMessage(MESSAGE_SERVER_NAME, connect.pszGet());
    }
    return 0;
  }
  m_bOci7LoggedOn = 1;
  if (bOci7AutoCommitOn(this, holder, POINT_OCI7_AUTOCOMMIT, &result) && result == 0) return 1;
  if (result != 0) RaiseOci7Error(this, holder, result, UNIT, POINT_OCI7_AUTOCOMMIT, m_abOci7LogonData);
  // Without auto-commit every statement would wait for a commit nobody sends: only a complete logon is connected.
  CloseOci7();
  return 0;
}

int COracleConnection::ApplySessionNls(CErrorHolder* holder) {
  if (m_strNlsLanguage.bIsEmpty() && m_strNlsTerritory.bIsEmpty()) {
    const std::uint32_t language = nGetHostLanguageId();
    bLcidToNlsNames(language ? language : 1036, m_strNlsLanguage, m_strNlsTerritory);
  }
  CTString text(u"ALTER SESSION SET");
  // A quote of a value is doubled: it would otherwise end the literal and let the rest of the value set other
  // parameters.
  auto clause = [&text](const char16_t* name, const CTString& value) {
    if (value.bIsEmpty()) return;
    text.Append(name);
    for (const char16_t* p = value.pszGet(); *p; ++p) {
      if (*p == u'\'') text.AppendChar(u'\'');
      text.AppendChar(*p);
    }
    text.Append(u"'");
  };
  clause(u" NLS_TERRITORY='", m_strNlsTerritory);
  clause(u" NLS_LANGUAGE='", m_strNlsLanguage);
  text.Append(u" NLS_NUMERIC_CHARACTERS='. '");
  clause(u" NLS_DATE_FORMAT='", m_strNlsDateFormat);
  return bPrepareAndExecute(holder, text.pszGet());
}

// ---- close ----

void COracleConnection::Close(CErrorHolder*) {
  // The levels end with their session: a level that outlived it would hold a handle of the freed environment. The
  // last reference rolls an active level back while the session is still there.
  ReleaseTransaction();
  if (gbOci7Mode) {
    CloseOci7();
  } else {
    CloseOci8();
  }
  SetServerVersionText(u"");
}

void COracleConnection::CloseOci8() {
  if (m_pServiceContext) {
    m_pCurrentSession = nullptr;
    EndSession(m_pLockSession);
    EndSession(m_pMainSession);
    OciFreeHandle(this, m_pServiceContext, HTYPE_SVCCTX);
    m_pServiceContext = nullptr;
  }
  if (m_pServer) {
    OciServerDetach(this, m_pServer);
    OciFreeHandle(this, m_pServer, HTYPE_SERVER);
    m_pServer = nullptr;
  }
  OciFreeHandle(this, m_pErrorHandle, HTYPE_ERROR);
  m_pErrorHandle = nullptr;
  // The environment of OCIInitialize is freed like the others; the client's process-wide state stays, for the other
  // connections of the process.
  OciFreeHandle(this, m_pEnvironment, HTYPE_ENV);
  m_pEnvironment = nullptr;
  // A fault of the client is not held against the sessions opened after this one.
  ClearClientFault();
}

void COracleConnection::CloseOci7() {
  if (m_bOci7LoggedOn) Oci7Logoff(this);
  m_bOci7LoggedOn = 0;
}

// ---- the rest of the connection's operations ----

int COracleConnection::bNullsSortFirst() { return 0; }
int COracleConnection::bInsertNeedsReturning() { return gbOci7Mode ? 0 : 1; }
int COracleConnection::bQualifiesIndexNames() { return 1; }
CTransaction* COracleConnection::pNewTransaction() { return new (std::nothrow) COracleTransaction(this); }
void COracleConnection::FillTypeNameTable(CTypeNameTable* table) {
  // The OCI7 set is known only once a session has bound it; before that the OCI set's types are written.
  FillOracleTypeNames(table, gbOci7Mode != 0, nGetServerMajor());
}
