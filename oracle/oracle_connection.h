// The Oracle connection classes: CConnectionOra (the Oracle layer's middle class: table locks as transaction levels)
// and COracleConnection (the final class the driver object's connection factory makes: the Oracle session).
//
// What the generic code relies on is here: the DBMS kind, flat transactions, the identifier quotes and the answers
// of the flag operations. The session itself (client library, logon, NLS settings, statements, locks, error
// categories, type names) belongs to the Oracle client layer, which is not built yet: opening records error 8
// (operation not available) and answers 0, so no statement is ever run.
#pragma once

#include <cstdint>

#include "sql/connection.h"

class CConnectionOra : public CConnection {
 public:
  CConnectionOra(const char16_t* name, IHostConnectionDescription* description);

  // 43: locks the tables of the list inside a transaction level of their own (lock modes 0 and 1 do nothing); a
  // failed lock rolls the level back.
  virtual int bLockTables(CErrorHolder* holder, std::uintptr_t tableList, std::uint32_t mode);
  // 44: ends the lock level with a commit when a level is active; else 1.
  virtual int bUnlockTables(CErrorHolder* holder);
};

class COracleConnection : public CConnectionOra {
 public:
  COracleConnection(const char16_t* name, IHostConnectionDescription* description);

  int bOpen(CErrorHolder* holder, const char16_t* name) override;
  int bIsConnected() override;
  void Close(CErrorHolder* holder) override;
  int bNullsSortFirst() override;       // NULL is not sorted before other values
  int bIsOci8() override;               // 0 while no client entry set is bound
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
