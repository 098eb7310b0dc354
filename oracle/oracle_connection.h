// The Oracle connection classes: CConnectionOra (the Oracle layer's middle class: the configuration file, the lock
// settings, and table locks as transaction levels) and COracleConnection (the final class the driver object's
// connection factory makes: the Oracle session).
//
// What the generic code relies on is here: the DBMS kind, flat transactions, the identifier quotes, the answers of
// the flag operations and the Oracle type names. The session itself (client library, logon, NLS settings,
// statements, locks, error categories) belongs to the Oracle client layer, which is not built yet: opening records
// error 8 (operation not available) and answers 0, so no statement is ever run.
#pragma once

#include <cstdint>

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
  // two blanks stand before NOWAIT, which the server takes as one.
  static void FormatLockTableText(CTString& out, const char16_t* tables, const char16_t* mode, const char16_t* suffix);

  // 43: locks the tables of the list inside a transaction level of their own (lock modes 0 and 1 do nothing); a
  // failed lock rolls the level back.
  virtual int bLockTables(CErrorHolder* holder, std::uintptr_t tableList, std::uint32_t mode);
  // 44: ends the lock level with a commit when a level is active; else 1.
  virtual int bUnlockTables(CErrorHolder* holder);

 private:
  void ReadOldDateFormat();
  void ReadLockMode();
  void ReadNoWait();

  CTString m_strLockMode;
  std::int32_t m_nNoWait = -1;
  CTString m_strIniPath;
  std::uint32_t m_bIniExists = 0;
  CTString m_strServerSection;
};

class COracleConnection : public CConnectionOra {
 public:
  COracleConnection(const char16_t* name, IHostConnectionDescription* description);

  int bOpen(CErrorHolder* holder, const char16_t* name) override;
  int bIsConnected() override;
  void Close(CErrorHolder* holder) override;
  int bNullsSortFirst() override;  // NULL is not sorted before other values
  int bIsOci8() override;          // 0 while no client entry set is bound
  int bQualifiesIndexNames() override;
  void FillTypeNameTable(CTypeNameTable* table) override;
  std::uint32_t nGetErrorCategory(std::uint32_t nativeCode) override;

  // What the session makes and the client call wrappers (oracle/client/) read. The handles are the client's, kept
  // untyped here: only oracle/client/ sees the client's declarations.
  void* m_pEnvironment = nullptr;      // environment handle
  void* m_pErrorHandle = nullptr;      // error handle (all bits one with the OCI7 set, never used there)
  void* m_pServiceContext = nullptr;   // service context handle
  alignas(8) std::uint8_t m_abOci7LogonData[64] = {};  // OCI7 logon data area
  std::int32_t m_nClientCharsetId = -1;                // Oracle character-set id of the client code page, or -1
  std::uint32_t m_bNoDistributedTransactions = 0;      // 1: no global-transaction calls
};
