// The Oracle connection classes: CConnectionOra (the Oracle layer's middle class: the configuration file, the lock
// settings, and table locks as transaction levels) and COracleConnection (the final class the driver object's
// connection factory makes: the Oracle session).
//
// What the generic code relies on is here: the DBMS kind, flat transactions, the identifier quotes, the answers of
// the flag operations and the Oracle type names. The session itself (client library, logon, NLS settings,
// statements, locks, error categories) is COracleConnection's: the client library is loaded by the first open of any
// connection; each open makes an environment, attaches the server and begins a session (or logs on with OCI7).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sql/connection.h"

// The configuration file qzorains.ini, next to the host program or else in the Windows directory, is read and never
// written. Its sections: OPTIONS, BASE (the database list of the driver object), one named as the data source and
// one named as the server (the data source without what comes up to its first "ORA:"). A missing file is no error:
// every key takes its default. Settings come from the connection's options first, then from the file, then from the
// defaults.
class CConnectionOra : public CConnection {
 public:
  CConnectionOra(const char16_t* name, IHostConnectionDescription* description);

  // A text of the file (the default when the file is missing), at most size - 1 characters; the characters written.
  std::uint32_t nReadIniString(const char16_t* section, const char16_t* key, const char16_t* defaultText,
                               char16_t* buffer, std::uint32_t size);
  // A number of the file; the default when the file is missing.
  std::uint32_t nReadIniInt(const char16_t* section, const char16_t* key, std::int32_t defaultValue);
  // The server section's name; null without a data source.
  const char16_t* pszGetServerSection() const;
  // The server section's CONN (up to 100 characters): the server to attach to in place of the data source. 0, out
  // unchanged, when there is none.
  int bGetConnectionString(CTString& out);
  // Locates the file once: next to the host program, else in the Windows directory.
  void FindIniFile();

  const char16_t* pszGetIniPath() const { return m_strIniPath.pszGet(); }
  std::uint32_t bIniFileExists() const { return m_bIniExists; }
  // The Oracle table lock mode ("ROW SHARE", "EXCLUSIVE"...), "MODELOCK_UNDEFINED" when not configured.
  const char16_t* pszGetLockMode() const { return m_strLockMode.pszGet(); }
  // 1: locks do not wait for one another's release.
  std::int32_t nGetNoWait() const { return m_nNoWait; }
  // The lock mode a LOCK TABLE names: "EXCLUSIVE" when none is configured.
  const char16_t* pszGetLockModeName() const;
  // " NOWAIT" when the lock time-out says so (-2), or leaves it to the no-wait flag (-1) and that is on; else "".
  const char16_t* pszGetNoWaitSuffix() const;
  // "LOCK TABLE <tables> IN <mode> MODE <suffix>": the suffix of pszGetNoWaitSuffix begins with its own blank, so
  // two blanks stand before NOWAIT, which the server takes as one. Empty when memory refused a piece.
  static void FormatLockTableText(CTString& out, const char16_t* tables, const char16_t* mode, const char16_t* suffix);

  // 43: locks the tables of the list (lock modes 0 and 1 do nothing): inside the open level, else inside a level of
  // their own, which a failed lock rolls back.
  virtual int bLockTables(CErrorHolder* holder, std::uintptr_t tableList, std::uint32_t mode);
  // 44: commits the level a lock of these tables began, while it is open and still the lock's; else 1.
  virtual int bUnlockTables(CErrorHolder* holder, std::uintptr_t tableList);

 private:
  void ReadOldDateFormat();
  void ReadLockMode();
  void ReadNoWait();

  CTString m_strLockMode;
  std::int32_t m_nNoWait = -1;
  CTString m_strIniPath;
  std::uint32_t m_bIniExists = 0;
  CTString m_strServerSection;
  // The tables locked inside the open level a table lock began.
  CStringList m_lockedTables;
};

class COracleConnection : public CConnectionOra {
 public:
  COracleConnection(const char16_t* name, IHostConnectionDescription* description);
  // Closes the session without a holder.
  ~COracleConnection() override;

  int bOpen(CErrorHolder* holder, const char16_t* name) override;
  int bIsConnected() override;
  // Drops the transaction chain first (an active level rolls back on the server while the session is still there),
  // then frees the session's handles (or logs off with OCI7). Never ends the client's process-wide state.
  void Close(CErrorHolder* holder) override;
  int bNullsSortFirst() override;  // NULL is not sorted before other values
  // LOBs cannot be sorted on the server: a memo column never orders a read.
  int bCanOrderLargeValues() override;
  // 1 unless the OCI7 set is bound: the OCI statements carry RETURNING ROWID and the LOB locators, which OCI7 has
  // not. Answering 0 here would silently drop them.
  int bInsertNeedsReturning() override;
  int bQualifiesIndexNames() override;
  CTransaction* pNewTransaction() override;
  // LOCK TABLE with the configured mode and wait; error 1027 before anything is sent when no level is open.
  int bLockTable(CErrorHolder* holder, std::uintptr_t tableList) override;
  // The lock argument is the table's query description (CQueryDescription*): its query is run FOR UPDATE.
  int bLockRows(CErrorHolder* holder, std::uintptr_t query) override;
  std::uint32_t nGetErrorCategory(std::uint32_t nativeCode) override;
  // The generic details, then the client, environment and character-set lines of this session.
  void AddErrorDetails(CXError& error) override;
  int bExecuteSql(CErrorHolder* holder, const char16_t* text) override;
  // The first column of the first row of a query, as a text value; 0 (value untouched) when no row comes. A
  // statement that is no query is refused (error 8) before it runs.
  int bExecuteSqlFetch(CErrorHolder* holder, void* value, std::uint32_t unused, const char16_t* text) override;
  void FillTypeNameTable(CTypeNameTable* table) override;
  // Table locks run on the lock session when distributed transactions are on.
  int bLockTables(CErrorHolder* holder, std::uintptr_t tableList, std::uint32_t mode) override;

  // ---- session (open and close) ----
  // 0 automatic, 7 or 8; -1 (error 1048) for a kind text that names none.
  std::int32_t nChooseClientKind(CErrorHolder* holder);
  void DetectClientVersion(CErrorHolder* holder);
  int bCreateEnvironment(CErrorHolder* holder);
  int bInitLegacyEnvironment(CErrorHolder* holder);
  // The session code page of the character set an environment made without one took from the client.
  void AdoptEnvironmentCharset();
  int bLogonOci8(CErrorHolder* holder);
  int bBeginSession(CErrorHolder* holder, void* session, std::uint32_t mode);
  int bLogonOci7(CErrorHolder* holder);
  int ApplySessionNls(CErrorHolder* holder);
  // The names the server handle carries: the application's name and "Tnx" before it, each cut to 16 units.
  static void MakeApplicationNames(const char16_t* name, CTString& external, CTString& internal);
  void CloseOci8();
  void CloseOci7();

  // ---- statements and locks ----
  int bLockTableMode(CErrorHolder* holder, const char16_t* tables, const char16_t* mode, const char16_t* suffix);
  int bPrepareAndExecute(CErrorHolder* holder, const char16_t* text);
  // 1 query, 2 update, 3 insert, 4 delete, 6 create, 7 drop, 8 any other; 0 when the type cannot be read, the
  // client's error then in the holder when one is given.
  std::uint32_t nGetStatementType(void* statement, CErrorHolder* holder = nullptr);
  // Makes the lock session on first need and makes it current; 1 doing nothing with the OCI7 set or without
  // distributed transactions. 0, with the current session as it was and no lock session, when it cannot be made
  // or its settings are refused.
  int bSelectLockSession(CErrorHolder* holder);
  // Puts the session on the service context (OCI set, distributed transactions on, a session not current); the
  // session current before.
  void* SelectSession(CErrorHolder* holder, void* session);
  // The same, answering whether the session is current now: 0 when the client refused the switch, the session
  // current before staying so and the client's error in the holder. `previous` gets the session current before.
  int bSelectSession(CErrorHolder* holder, void* session, void** previous);
  // The session current before, null when that was the main session.
  void* SelectLockSession(CErrorHolder* holder);
  void* RestoreMainSession(CErrorHolder* holder);
  // Ends and frees a session that is not current, and nulls it; nothing is reported.
  void EndSession(void*& session);

  // ---- error details ----
  void DumpNlsCharacterSet(CXError& error);
  int bGetNlsInfo(CTString& out);
  // The session's and the database's NLS parameter lists, read by internal queries into a holder of their own.
  void DumpNlsParameters(CXError& error);

  void* GetCurrentSession() const { return m_pCurrentSession; }
  void* GetLockSession() const { return m_pLockSession; }

  // What the session makes and the client call wrappers (oracle/client/) read. The handles are the client's, kept
  // untyped here: only oracle/client/ sees the client's declarations.
  void* m_pEnvironment = nullptr;      // environment handle
  void* m_pErrorHandle = nullptr;      // error handle (all bits one with the OCI7 set, never used there)
  void* m_pServer = nullptr;           // server handle
  void* m_pServiceContext = nullptr;   // service context handle
  void* m_pCurrentSession = nullptr;   // the session now on the service context
  void* m_pMainSession = nullptr;      // the session begun at logon
  void* m_pLockSession = nullptr;      // the second session of table locks and transactions, made on first need
  std::uint32_t m_nEnvironmentMode = 0;
  std::uint32_t m_bOci7LoggedOn = 0;
  alignas(8) std::uint8_t m_abOci7LogonData[64] = {};  // OCI7 logon data area
  std::uint8_t* m_pOci7HostData = nullptr;             // 256 bytes, made at the first OCI7 logon
  std::uint32_t m_nPrefetchRows = 1000;
  std::uint32_t m_nPrefetchMemory = 0xA00000;
  CTString m_strNlsDateFormat;
  CTString m_strNlsLanguage;
  CTString m_strNlsTerritory;
  CTString m_strNlsCharacterSet;
  std::int32_t m_nClientCharsetId = -1;                // Oracle character-set id of the client code page, or -1
  // The client form of texts the value conversions send unchanged with every value (the number NLS parameters and
  // masks): each text and its bytes, made once for the client code page they were made in (oracle/client/).
  std::uint32_t m_nConstantTextsCodePage = 0;
  std::vector<std::pair<std::u16string, std::string>> m_constantClientTexts;
  // 0 not tried, 1 succeeded, 2 failed or unavailable, 3 (OCIEnvNlsCreate) no Oracle id for the client code page.
  std::uint32_t m_nEnvNlsCreateState = 0;
  std::uint32_t m_nEnvCreateState = 0;
  std::uint32_t m_nInitializeState = 0;
  std::uint32_t m_bNoDistributedTransactions = 0;      // 1: no global-transaction calls
  // The transaction handle a DDL statement took off the session and could not bring back (nullptr: none): the
  // connection's next statement brings it back before it runs, and its level forgets it when it ends.
  void* m_pTransactionLeftDetached = nullptr;
  // With the OCI7 set or without distributed transactions the session has one transaction, which every level and
  // record lock shares: each level's end ends them all. Counted here, so that a level knows it ended with another.
  std::uint32_t m_nSessionTransactionEnds = 0;
  std::uint32_t m_nSessionMode = 0;
  // Set while the NLS parameter lists are read: an error of those queries adds no lists of its own.
  std::uint32_t m_bReadingNlsParameters = 0;

 private:
  void ReadSessionOptions();
};

// The client version, set by the first open of a connection under gcsDriverLock: the major number (-1 while unknown)
// is read by the environment choice and the type names; gstrClientVersionText (sql/connection.h) holds its text.
extern std::int32_t gnOciClientMajorVersion;
extern std::int32_t ganOciClientVersion[4];
