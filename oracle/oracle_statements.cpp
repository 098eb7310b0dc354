// COracleConnection's own statements (session settings, locks, one-value queries), the lock session, and its
// error categories and details.
#include <memory>

#include "engine/record/query_description.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/x_error.h"
#include "host/host_type.h"
#include "host/host_value.h"
#include "oracle/client/client_loader.h"
#include "oracle/client/oci_error.h"
#include "oracle/client/oci_session_calls.h"
#include "oracle/client/oci_wrappers.h"
#include "oracle/oracle_connection.h"
#include "driver/driver.h"
#include "host/library_entry.h"
#include "sql/internal_query.h"

namespace {

using namespace session_oci;

constexpr std::uint32_t UNIT = ERROR_UNIT_ORACLE_CALL;
constexpr std::uint32_t ERROR_NO_TRANSACTION = 1027;
constexpr std::uint32_t POINT_LOCK_TABLE = 8;
constexpr std::uint32_t POINT_LOCK_ROWS = 16;
constexpr std::uint32_t POINT_FETCH_NOT_QUERY = 149;
constexpr std::uint32_t MESSAGE_STATEMENT = 28566;
constexpr std::uint32_t FETCH_UNITS = 2048;
constexpr std::uint16_t FETCH_NEXT = 2;
constexpr std::uint32_t COLUMN_TYPE_NATIONAL_TEXT = 29;
constexpr std::uint32_t SESSION_MIGRATE = 1;

// A statement handle freed when it goes out of scope, whatever happened.
class CStatementHandle {
 public:
  CStatementHandle(COracleConnection* connection, CErrorHolder* holder)
      : m_pConnection(connection), m_pHandle(nOciHandleAlloc(connection, holder, HTYPE_STMT)) {}
  ~CStatementHandle() {
    if (m_pHandle) nOciHandleFree(m_pConnection, nullptr, m_pHandle, HTYPE_STMT);
  }
  CStatementHandle(const CStatementHandle&) = delete;
  CStatementHandle& operator=(const CStatementHandle&) = delete;
  void* pGet() const { return m_pHandle; }

 private:
  COracleConnection* m_pConnection;
  void* m_pHandle;
};

const char16_t* EnvironmentStateName(std::uint32_t state) {
  switch (state) {
    case 1: return u"Succeeded";
    case 2: return u"Failed";
    default: return u"Unknown ansi charset ID";
  }
}

}  // namespace

// ---- statements ----

std::uint32_t COracleConnection::nGetStatementType(void* statement, CErrorHolder* holder) {
  if (gbOci7Mode) {
    switch (nOci7FunctionType(statement)) {
      case 4: return 1;
      case 5: return 2;
      case 3: return 3;
      case 9: return 4;
      case 1: return 6;
      case 8: return 7;
      default: return 8;
    }
  }
  std::uint16_t type = 0;
  if (!nOciAttrGet(this, holder, statement, HTYPE_STMT, &type, ATTR_STMT_TYPE, nullptr)) return 0;
  switch (type) {
    case 1: return 1;  // SELECT
    case 2: return 2;  // UPDATE
    case 3: return 4;  // DELETE
    case 4: return 3;  // INSERT
    case 5: return 6;  // CREATE
    case 6: return 7;  // DROP
    default: return 8;
  }
}

int COracleConnection::bPrepareAndExecute(CErrorHolder* holder, const char16_t* text) {
  CStatementHandle statement(this, holder);
  if (!statement.pGet() || !nOciStmtPrepare(this, holder, statement.pGet(), text)) return 0;
  return nOciStmtExecute(this, holder, statement.pGet(), text, nGetStatementType(statement.pGet()), 0, nullptr, 0);
}

int COracleConnection::bExecuteSql(CErrorHolder* holder, const char16_t* text) {
  CStatementHandle statement(this, holder);
  if (!statement.pGet() || !nOciStmtPrepare(this, holder, statement.pGet(), text)) return 0;
  return nOciStmtExecute(this, holder, statement.pGet(), text, 8, 0, nullptr, 0);
}

int COracleConnection::bExecuteSqlFetch(CErrorHolder* holder, void* value, std::uint32_t, const char16_t* text) {
  const bool utf16 = bSessionIsUtf16(this);
  char16_t buffer[FETCH_UNITS + 1] = {};
  CStatementHandle statement(this, holder);
  if (!statement.pGet() || !nOciStmtPrepare(this, holder, statement.pGet(), text)) return 0;
  // Only a query is run here: any other statement would be executed, and committed, by a call that answers "no
  // row". The OCI7 client knows the kind of a statement only once it ran: a kind it does not tell yet is let through.
  const bool untold = gbOci7Mode && nOci7FunctionType(statement.pGet()) == 0;
  if (!untold && nGetStatementType(statement.pGet()) != 1) {
    RaiseModuleError(holder, RECORDED_NOT_AVAILABLE, UNIT, POINT_FETCH_NOT_QUERY, this, nullptr, ERROR_NOT_AVAILABLE);
    if (holder) holder->AddUserMessage(MESSAGE_STATEMENT, text ? text : u"");
    return 0;
  }
  void* define = nullptr;
  std::uint16_t length = 0;
  std::int16_t indicator = 0;
  std::uint16_t code = 0;
  const int defined = nOciDefineByPos(this, holder, statement.pGet(), &define, 1, buffer,
                                      utf16 ? FETCH_UNITS * 2 : FETCH_UNITS, &length, SQLT_STR, &indicator, &code, 0,
                                      utf16 ? COLUMN_TYPE_NATIONAL_TEXT : 0);
  std::uint32_t end = 1;
  // A query runs with no iteration, so that the one fetch that follows reads the first row.
  const int fetched = defined && nOciStmtExecute(this, holder, statement.pGet(), text, 1, 0, nullptr, 0) &&
                      nOciStmtFetch(this, holder, statement.pGet(), 1, FETCH_NEXT, &end, nullptr);
  if (define && !gbOci7Mode) nOciHandleFree(this, nullptr, define, HTYPE_DEFINE);
  if (!fetched || end) return 0;
  CTString result;
  // The value's text memory refused is no answer either: an empty one would be taken as the value.
  if (!bReadSessionText(this, buffer, utf16 ? FETCH_UNITS * 2 : FETCH_UNITS, result)) {
    SetHolderOutOfMemory(holder);
    return 0;
  }
  if (auto* host = static_cast<CHostValue*>(value)) {
    host->SetType(HOST_TYPE_TEXT);
    // A text that could not be made is no answer: the value would keep what it held before.
    if (!bHostStored(static_cast<std::uint32_t>(host->Ops().SetFromWideZ(host->pHolder(), result.pszGet())))) {
      SetHolderOutOfMemory(holder);
      return 0;
    }
    host->SetFlags(0);
  }
  return 1;
}

// ---- locks ----

int COracleConnection::bLockTableMode(CErrorHolder* holder, const char16_t* tables, const char16_t* mode,
                                      const char16_t* suffix) {
  if (!bIsTransactionOpen()) {
    RaiseModuleError(holder, 0, UNIT, POINT_LOCK_TABLE, this, nullptr, ERROR_NO_TRANSACTION);
    return 0;
  }
  CTString text;
  FormatLockTableText(text, tables, mode, suffix);
  if (text.bIsEmpty()) {
    SetHolderOutOfMemory(holder);
    return 0;
  }
  return bPrepareAndExecute(holder, text.pszGet());
}

int COracleConnection::bLockTable(CErrorHolder* holder, std::uintptr_t tableList) {
  return bLockTableMode(holder, reinterpret_cast<const char16_t*>(tableList), pszGetLockModeName(),
                        pszGetNoWaitSuffix());
}

int COracleConnection::bLockRows(CErrorHolder* holder, std::uintptr_t query) {
  if (!bIsTransactionOpen()) {
    RaiseModuleError(holder, 0, UNIT, POINT_LOCK_ROWS, this, nullptr, ERROR_NO_TRANSACTION);
    return 0;
  }
  // A description without a query text has no rows to lock: the statement is still sent, and the server refuses it
  // as it refuses any other malformed text, rather than the lock answering done.
  const char16_t* queryText = query ? reinterpret_cast<CQueryDescription*>(query)->nGetHostQueryKind() : nullptr;
  CTString text(queryText ? queryText : u"");
  text.Append(u" FOR UPDATE ");
  text.Append(pszGetNoWaitSuffix());
  return bPrepareAndExecute(holder, text.pszGet());
}

int COracleConnection::bLockTables(CErrorHolder* holder, std::uintptr_t tableList, std::uint32_t mode) {
  if (mode == 0 || mode == 1) return 1;
  void* previous = nullptr;
  if (bIsTransactionOpen()) {
    if (m_pLockSession && !bSelectSession(holder, m_pLockSession, &previous)) return 0;
  } else if (!bSelectLockSession(holder)) {
    return 0;
  }
  const int result = CConnectionOra::bLockTables(holder, tableList, mode);
  RestoreMainSession(holder);
  return result;
}

// ---- sessions ----

void* COracleConnection::SelectSession(CErrorHolder* holder, void* session) {
  void* previous = nullptr;
  bSelectSession(holder, session, &previous);
  return previous;
}

int COracleConnection::bSelectSession(CErrorHolder* holder, void* session, void** previous) {
  *previous = m_pCurrentSession;
  if (gbOci7Mode || m_bNoDistributedTransactions || !session || session == m_pCurrentSession) return 1;
  // Only a switch the client took changes the current session: taken as switched, the work meant for the session
  // would run on the other one, and be committed or rolled back with it.
  if (!nOciAttrSet(this, holder, m_pServiceContext, HTYPE_SVCCTX, session, ATTR_SESSION, 0)) return 0;
  m_pCurrentSession = session;
  return 1;
}

void* COracleConnection::SelectLockSession(CErrorHolder* holder) {
  void* previous = SelectSession(holder, m_pLockSession);
  return previous == m_pMainSession ? nullptr : previous;
}

void* COracleConnection::RestoreMainSession(CErrorHolder* holder) {
  void* previous = SelectSession(holder, m_pMainSession);
  return previous == m_pMainSession ? nullptr : previous;
}

int COracleConnection::bSelectLockSession(CErrorHolder* holder) {
  if (gbOci7Mode || m_bNoDistributedTransactions) return 1;
  void* previous = nullptr;
  if (m_pLockSession) return bSelectSession(holder, m_pLockSession, &previous);
  // A schema query that failed (memory refused for its text included) leaves its error in the holder: the lock
  // session is not begun on it as if it had been answered.
  CTString schema;
  if (!bQueryCurrentSchema(holder, schema)) return 0;
  void* session = nOciHandleAlloc(this, holder, HTYPE_SESSION);
  if (!session) return 0;
  std::uint32_t size = 0;
  std::unique_ptr<std::uint8_t[]> token;
  if (nOciAttrGet(this, holder, m_pCurrentSession, HTYPE_SESSION, nullptr, ATTR_MIGSESSION, &size) && size) {
    token.reset(new (std::nothrow) std::uint8_t[size]);
    if (token && nOciAttrGet(this, holder, m_pCurrentSession, HTYPE_SESSION, token.get(), ATTR_MIGSESSION, &size)) {
      nOciAttrSet(this, holder, session, HTYPE_SESSION, token.get(), ATTR_MIGSESSION, size);
    }
  }
  if (!bBeginSession(holder, session, SESSION_MIGRATE)) {
    nOciHandleFree(this, nullptr, session, HTYPE_SESSION);
    return 0;
  }
  m_pLockSession = session;
  if (!bSelectSession(holder, session, &previous)) {
    // A lock session the client would not put on the service context is of no use: it is ended, and the next
    // level tries again.
    EndSession(m_pLockSession);
    return 0;
  }
  if (!ApplySessionNls(holder)) {
    // A lock session without the connection's settings would read and write every date and number of the levels in
    // the server's default formats: it is ended, and the next level tries again.
    SelectSession(nullptr, previous);
    EndSession(m_pLockSession);
    return 0;
  }
  const char16_t* user = pszGetUserId();
  if (!schema.bIsEmpty() && !schema.bEqualsNoCase(user ? user : u"")) {
    CTString text(u"ALTER SESSION SET CURRENT_SCHEMA = ");
    text.Append(schema.pszGet());
    bPrepareAndExecute(holder, text.pszGet());
  }
  return 1;
}

void COracleConnection::EndSession(void*& session) {
  if (!session) return;
  OciSessionEnd(this, session);
  OciFreeHandle(this, session, HTYPE_SESSION);
  session = nullptr;
}

// ---- errors ----

std::uint32_t COracleConnection::nGetErrorCategory(std::uint32_t nativeCode) {
  return nOracleErrorCategory(nativeCode);
}

void COracleConnection::AddErrorDetails(CXError& error) {
  CConnection::AddErrorDetails(error);
  if (gbOci7Mode) error.AddDebugText(u"Client version = 7");
  if (m_nSessionMode != 0) {
    error.AddDebugText(CTString(TSTRING_FORMAT, u"OCI_SESSION_MODE = %d", m_nSessionMode).pszGet());
  }
  error.AddDebugText(CTString(TSTRING_FORMAT, u"ANSI charset ID = %d", m_nClientCharsetId).pszGet());
  const struct {
    const char16_t* format;
    std::uint32_t state;
  } states[] = {{u"OCIEnvNlsCreate = %s", m_nEnvNlsCreateState},
                {u"OCIEnvCreate = %s", m_nEnvCreateState},
                {u"OCIInitialize = %s", m_nInitializeState}};
  for (const auto& line : states) {
    if (line.state == 0) continue;
    error.AddDebugText(CTString(TSTRING_FORMAT, line.format, EnvironmentStateName(line.state)).pszGet());
  }
  if (bOciOffers(ESessionEntry::NlsGetInfo) && m_pEnvironment) DumpNlsCharacterSet(error);
  if (!bClientFaultSeen() && bIsConnected() && !m_bReadingNlsParameters) DumpNlsParameters(error);
}

void COracleConnection::DumpNlsParameters(CXError& error) {
  // The queries' hidden table holds the connection while it lives: a connection nobody holds yet (or any more) would
  // be destroyed when that table lets it go.
  if (nGetRefCount() == 0) return;
  CErrorHolder* holder = gpDriver ? gpDriver->pCreateErrorHolder() : nullptr;
  if (!holder) return;
  holder->AddRef();
  // The queries' own errors would come back here for their details: they get none of these lists, or each failure
  // would run the queries again without end.
  m_bReadingNlsParameters = 1;
  error.AddDebugText(u"\r\n");
  const struct {
    const char16_t* query;
    std::uint32_t message;
  } lists[] = {{u"SELECT * from NLS_SESSION_PARAMETERS", 6695}, {u"SELECT * from NLS_DATABASE_PARAMETERS", 7087}};
  for (const auto& list : lists) {
    CTString text;
    if (!CInternalQuery::bQueryAsText(list.query, holder, this, text, 0, u" = ") || text.bIsEmpty()) continue;
    error.AddDebugMessage(&gstModuleDescriptor, list.message);
    error.AddDebugText(text.pszGet());
    error.AddDebugText(u"\r\n");
  }
  m_bReadingNlsParameters = 0;
  holder->nRelease();
}

void COracleConnection::DumpNlsCharacterSet(CXError& error) {
  CTString value;
  if (!bGetNlsInfo(value)) return;
  CTString line(u"OCI_NLS_CHARACTER_SET = ");
  line.Append(value.pszGet());
  error.AddDebugText(line.pszGet());
}

int COracleConnection::bGetNlsInfo(CTString& out) { return bOciNlsCharacterSet(this, out) ? 1 : 0; }
