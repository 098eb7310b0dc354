// A small OCI client for the stand-in's suite: it loads a client library by name through the platform layer, binds
// the entries it needs by name as the driver does, and wraps the common sequences (logon, prepare, bind, execute,
// fetch) so that each test says what it checks. It reaches the stand-in only through the OCI entries and the
// control API.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "standin/oci/oci_types.h"

namespace ocitest {

struct OciLibrary {
  void* module = nullptr;
  sword (*EnvCreate)(OCIEnv**, ub4, void*, void*, void*, void*, size_t, void**) = nullptr;
  sword (*EnvNlsCreate)(OCIEnv**, ub4, void*, void*, void*, void*, size_t, void**, ub2, ub2) = nullptr;
  sword (*HandleAlloc)(const void*, void**, ub4, size_t, void**) = nullptr;
  sword (*HandleFree)(void*, ub4) = nullptr;
  sword (*DescriptorAlloc)(const void*, void**, ub4, size_t, void**) = nullptr;
  sword (*DescriptorFree)(void*, ub4) = nullptr;
  sword (*ServerAttach)(OCIServer*, OCIError*, const OraText*, sb4, ub4) = nullptr;
  sword (*ServerDetach)(OCIServer*, OCIError*, ub4) = nullptr;
  sword (*SessionBegin)(OCISvcCtx*, OCIError*, OCISession*, ub4, ub4) = nullptr;
  sword (*SessionEnd)(OCISvcCtx*, OCIError*, OCISession*, ub4) = nullptr;
  sword (*AttrSet)(void*, ub4, void*, ub4, ub4, OCIError*) = nullptr;
  sword (*AttrGet)(const void*, ub4, void*, ub4*, ub4, OCIError*) = nullptr;
  sword (*ErrorGet)(void*, ub4, OraText*, sb4*, OraText*, ub4, ub4) = nullptr;
  sword (*StmtPrepare)(OCIStmt*, OCIError*, const OraText*, ub4, ub4, ub4) = nullptr;
  sword (*BindByName)(OCIStmt*, OCIBind**, OCIError*, const OraText*, sb4, void*, sb4, ub2, void*, ub2*, ub2*, ub4,
                      ub4*, ub4) = nullptr;
  sword (*BindByPos)(OCIStmt*, OCIBind**, OCIError*, ub4, void*, sb4, ub2, void*, ub2*, ub2*, ub4, ub4*, ub4) = nullptr;
  sword (*BindDynamic)(OCIBind*, OCIError*, void*, OCICallbackInBind, void*, OCICallbackOutBind) = nullptr;
  sword (*DefineByPos)(OCIStmt*, OCIDefine**, OCIError*, ub4, void*, sb4, ub2, void*, ub2*, ub2*, ub4) = nullptr;
  sword (*StmtExecute)(OCISvcCtx*, OCIStmt*, OCIError*, ub4, ub4, const OCISnapshot*, OCISnapshot*, ub4) = nullptr;
  sword (*StmtFetch)(OCIStmt*, OCIError*, ub4, ub2, ub4) = nullptr;
  sword (*StmtGetPieceInfo)(OCIStmt*, OCIError*, void**, ub4*, ub1*, ub4*, ub4*, ub1*) = nullptr;
  sword (*StmtSetPieceInfo)(void*, ub4, OCIError*, const void*, ub4*, ub1, const void*, ub2*) = nullptr;
  sword (*ParamGet)(const void*, ub4, OCIError*, void**, ub4) = nullptr;
  sword (*DescribeAny)(OCISvcCtx*, OCIError*, void*, ub4, ub1, ub1, ub1, OCIDescribe*) = nullptr;
  sword (*TransStart)(OCISvcCtx*, OCIError*, uword, ub4) = nullptr;
  sword (*TransDetach)(OCISvcCtx*, OCIError*, ub4) = nullptr;
  sword (*TransPrepare)(OCISvcCtx*, OCIError*, ub4) = nullptr;
  sword (*TransCommit)(OCISvcCtx*, OCIError*, ub4) = nullptr;
  sword (*TransRollback)(OCISvcCtx*, OCIError*, ub4) = nullptr;
  sword (*LobOpen)(OCISvcCtx*, OCIError*, OCILobLocator*, ub1) = nullptr;
  sword (*LobClose)(OCISvcCtx*, OCIError*, OCILobLocator*) = nullptr;
  sword (*LobRead)(OCISvcCtx*, OCIError*, OCILobLocator*, ub4*, ub4, void*, ub4, void*, OCICallbackLobRead, ub2,
                   ub1) = nullptr;
  sword (*LobWrite)(OCISvcCtx*, OCIError*, OCILobLocator*, ub4*, ub4, void*, ub4, ub1, void*, OCICallbackLobWrite,
                    ub2, ub1) = nullptr;
  sword (*LobLocatorIsInit)(OCIEnv*, OCIError*, const OCILobLocator*, boolean*) = nullptr;
  sword (*ServerVersion)(void*, OCIError*, OraText*, ub4, ub1) = nullptr;
  void (*ClientVersion)(sword*, sword*, sword*, sword*, sword*) = nullptr;
  sword (*NumberToText)(OCIError*, const OCINumber*, const OraText*, ub4, const OraText*, ub4, ub4*, OraText*) = nullptr;
  sword (*NumberFromText)(OCIError*, const OraText*, ub4, const OraText*, ub4, const OraText*, ub4, OCINumber*) = nullptr;
  sword (*DateTimeToText)(void*, OCIError*, const OCIDateTime*, const OraText*, ub1, ub1, const OraText*, size_t,
                          ub4*, OraText*) = nullptr;
  sword (*DateTimeConstruct)(void*, OCIError*, OCIDateTime*, sb2, ub1, ub1, ub1, ub1, ub1, ub4, OraText*,
                             size_t) = nullptr;
  sword (*IntervalGetDaySecond)(void*, OCIError*, sb4*, sb4*, sb4*, sb4*, sb4*, const OCIInterval*) = nullptr;
  sword (*IntervalSetDaySecond)(void*, OCIError*, sb4, sb4, sb4, sb4, sb4, OCIInterval*) = nullptr;
  sword (*IntervalGetYearMonth)(void*, OCIError*, sb4*, sb4*, const OCIInterval*) = nullptr;
  sword (*IntervalSetYearMonth)(void*, OCIError*, sb4, sb4, OCIInterval*) = nullptr;

  // Control API.
  void (*Reset)() = nullptr;
  void (*SetDataDirectory)(const char*) = nullptr;
  void (*CloseDatabases)() = nullptr;
  int (*CreateDataSource)(const char*) = nullptr;
  int (*CreateUser)(const char*, const char*, const char*) = nullptr;
  unsigned (*CallCount)() = nullptr;
  unsigned (*GetCall)(unsigned, char*, unsigned) = nullptr;
  unsigned (*EntryCount)(const char*) = nullptr;
  void (*ClearCallLog)() = nullptr;
  void (*InjectStatus)(const char*, unsigned, int, int) = nullptr;
  void (*InjectThrow)(const char*, unsigned) = nullptr;
  void (*WatchCalls)(int) = nullptr;

  // Loads a library by name (a bare name is searched as the platform layer searches) and binds what it exports.
  static OciLibrary Load(const std::u16string& name);
  // The library every test shares: "OCI.DLL" from the program's directory.
  static OciLibrary& Default();
  void* Entry(const char* name) const;
  std::vector<std::string> CallLog() const;
};

// A value read back as text; NULL reads as "<null>".
using Rows = std::vector<std::vector<std::string>>;

class OciClient {
 public:
  explicit OciClient(OciLibrary& lib, bool utf16 = false);
  ~OciClient();
  OciClient(const OciClient&) = delete;
  OciClient& operator=(const OciClient&) = delete;

  // Attaches to the data source and begins a session; answers the status of the first call that failed.
  sword Logon(const std::string& dataSource, const std::string& user, const std::string& password);
  void Logoff();

  // Prepares and executes one statement with named text binds; answers the execute status.
  sword Exec(const std::string& sql, const std::vector<std::pair<std::string, std::string>>& binds = {},
             ub4 mode = oci::kCommitOnSuccess);
  // Runs a query and reads every row as text (defines of SQLT_STR).
  Rows Query(const std::string& sql, const std::vector<std::pair<std::string, std::string>>& binds = {},
             ub4 mode = oci::kCommitOnSuccess);
  sword lastStatus = 0;

  int ErrorCode();
  std::string ErrorText();

  // Client text in the environment's character set.
  std::string Encode(const std::string& utf8) const;

  OciLibrary& lib;
  bool utf16 = false;
  OCIEnv* env = nullptr;
  OCIError* err = nullptr;
  OCIServer* server = nullptr;
  OCISvcCtx* svc = nullptr;
  OCISession* session = nullptr;
};

// A unique data source name per test, so that the in-memory databases of one process do not meet; made in the library.
std::string UniqueDataSource(const std::string& stem, OciLibrary& lib = OciLibrary::Default());

}  // namespace ocitest
