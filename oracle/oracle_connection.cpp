#include "oracle/oracle_connection.h"

#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/x_error.h"
#include "oracle/client/oci_error.h"

CConnectionOra::CConnectionOra(const char16_t* name, IHostConnectionDescription* description)
    : CConnection(name, description) {}

int CConnectionOra::bLockTables(CErrorHolder* holder, std::uintptr_t tableList, std::uint32_t mode) {
  if (mode == 0 || mode == 1) return 1;
  if (!bBeginLevel(holder, nullptr)) return 0;
  if (bLockTable(holder, tableList)) return 1;
  bRollbackLevel(holder, nullptr);
  return 0;
}

int CConnectionOra::bUnlockTables(CErrorHolder* holder) {
  return bIsTransactionOpen() ? bCommitLevel(holder, nullptr) : 1;
}

COracleConnection::COracleConnection(const char16_t* name, IHostConnectionDescription* description)
    : CConnectionOra(name, description) {
  m_nDbmsKind = DBMS_KIND_ORACLE;
  m_nNestedMode = 0;  // flat transactions: only the outermost begin reaches the server
  m_strOpeningQuote = u"\"";
  m_nOpeningQuoteLength = 1;
  m_strClosingQuote = u"\"";
  m_nClosingQuoteLength = 1;
}

int COracleConnection::bOpen(CErrorHolder* holder, const char16_t*) {
  // The Oracle session (client library, logon) is not built yet: a clean failure, never a half-open connection.
  RaiseNotAvailable(holder, ERROR_UNIT_ORACLE_CALL, 0, this, nullptr);
  return 0;
}

int COracleConnection::bIsConnected() { return 0; }
void COracleConnection::Close(CErrorHolder*) {}
int COracleConnection::bNullsSortFirst() { return 0; }
int COracleConnection::bIsOci8() { return 0; }
int COracleConnection::bQualifiesIndexNames() { return 1; }
void COracleConnection::FillTypeNameTable(CTypeNameTable*) {}
std::uint32_t COracleConnection::nGetErrorCategory(std::uint32_t nativeCode) { return nOracleErrorCategory(nativeCode); }
