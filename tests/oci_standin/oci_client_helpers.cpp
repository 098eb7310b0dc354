#include "oci_client_helpers.h"

#include <atomic>
#include <cstring>

#include "platform/module.h"
#include "standin/oci/text_codec.h"

namespace ocitest {

namespace {

template <typename T>
void Bind(const OciLibrary& lib, T& slot, const char* name) {
  slot = reinterpret_cast<T>(lib.Entry(name));
}

}  // namespace

void* OciLibrary::Entry(const char* name) const {
  return module ? platform::FindModuleEntry(module, name) : nullptr;
}

OciLibrary OciLibrary::Load(const std::u16string& name) {
  OciLibrary lib;
  lib.module = platform::LoadModule(name.c_str());
  if (!lib.module) return lib;
  Bind(lib, lib.EnvCreate, "OCIEnvCreate");
  Bind(lib, lib.EnvNlsCreate, "OCIEnvNlsCreate");
  Bind(lib, lib.HandleAlloc, "OCIHandleAlloc");
  Bind(lib, lib.HandleFree, "OCIHandleFree");
  Bind(lib, lib.DescriptorAlloc, "OCIDescriptorAlloc");
  Bind(lib, lib.DescriptorFree, "OCIDescriptorFree");
  Bind(lib, lib.ServerAttach, "OCIServerAttach");
  Bind(lib, lib.ServerDetach, "OCIServerDetach");
  Bind(lib, lib.SessionBegin, "OCISessionBegin");
  Bind(lib, lib.SessionEnd, "OCISessionEnd");
  Bind(lib, lib.AttrSet, "OCIAttrSet");
  Bind(lib, lib.AttrGet, "OCIAttrGet");
  Bind(lib, lib.ErrorGet, "OCIErrorGet");
  Bind(lib, lib.StmtPrepare, "OCIStmtPrepare");
  Bind(lib, lib.BindByName, "OCIBindByName");
  Bind(lib, lib.BindByPos, "OCIBindByPos");
  Bind(lib, lib.BindDynamic, "OCIBindDynamic");
  Bind(lib, lib.DefineByPos, "OCIDefineByPos");
  Bind(lib, lib.StmtExecute, "OCIStmtExecute");
  Bind(lib, lib.StmtFetch, "OCIStmtFetch");
  Bind(lib, lib.StmtGetPieceInfo, "OCIStmtGetPieceInfo");
  Bind(lib, lib.StmtSetPieceInfo, "OCIStmtSetPieceInfo");
  Bind(lib, lib.ParamGet, "OCIParamGet");
  Bind(lib, lib.DescribeAny, "OCIDescribeAny");
  Bind(lib, lib.TransStart, "OCITransStart");
  Bind(lib, lib.TransDetach, "OCITransDetach");
  Bind(lib, lib.TransPrepare, "OCITransPrepare");
  Bind(lib, lib.TransCommit, "OCITransCommit");
  Bind(lib, lib.TransRollback, "OCITransRollback");
  Bind(lib, lib.LobOpen, "OCILobOpen");
  Bind(lib, lib.LobClose, "OCILobClose");
  Bind(lib, lib.LobRead, "OCILobRead");
  Bind(lib, lib.LobWrite, "OCILobWrite");
  Bind(lib, lib.LobLocatorIsInit, "OCILobLocatorIsInit");
  Bind(lib, lib.ServerVersion, "OCIServerVersion");
  Bind(lib, lib.ClientVersion, "OCIClientVersion");
  Bind(lib, lib.NumberToText, "OCINumberToText");
  Bind(lib, lib.NumberFromText, "OCINumberFromText");
  Bind(lib, lib.DateTimeToText, "OCIDateTimeToText");
  Bind(lib, lib.DateTimeConstruct, "OCIDateTimeConstruct");
  Bind(lib, lib.IntervalGetDaySecond, "OCIIntervalGetDaySecond");
  Bind(lib, lib.IntervalSetDaySecond, "OCIIntervalSetDaySecond");
  Bind(lib, lib.IntervalGetYearMonth, "OCIIntervalGetYearMonth");
  Bind(lib, lib.IntervalSetYearMonth, "OCIIntervalSetYearMonth");
  Bind(lib, lib.Reset, "qzociReset");
  Bind(lib, lib.SetDataDirectory, "qzociSetDataDirectory");
  Bind(lib, lib.CloseDatabases, "qzociCloseDatabases");
  Bind(lib, lib.CreateDataSource, "qzociCreateDataSource");
  Bind(lib, lib.CreateUser, "qzociCreateUser");
  Bind(lib, lib.CallCount, "qzociCallCount");
  Bind(lib, lib.GetCall, "qzociGetCall");
  Bind(lib, lib.EntryCount, "qzociEntryCount");
  Bind(lib, lib.ClearCallLog, "qzociClearCallLog");
  Bind(lib, lib.InjectStatus, "qzociInjectStatus");
  Bind(lib, lib.InjectThrow, "qzociInjectThrow");
  Bind(lib, lib.WatchCalls, "qzociWatchCalls");
  return lib;
}

OciLibrary& OciLibrary::Default() {
  static OciLibrary lib = Load(u"OCI.DLL");
  return lib;
}

std::vector<std::string> OciLibrary::CallLog() const {
  std::vector<std::string> lines;
  const unsigned n = CallCount();
  for (unsigned k = 0; k < n; ++k) {
    std::string line(GetCall(k, nullptr, 0), '\0');
    std::vector<char> buffer(line.size() + 1);
    GetCall(k, buffer.data(), static_cast<unsigned>(buffer.size()));
    lines.emplace_back(buffer.data());
  }
  return lines;
}

OciClient::OciClient(OciLibrary& library, bool wide) : lib(library), utf16(wide) {
  if (utf16) {
    lib.EnvNlsCreate(&env, oci::kObject, nullptr, nullptr, nullptr, nullptr, 0, nullptr, oci::kUtf16Id,
                     oci::kUtf16Id);
  } else {
    lib.EnvCreate(&env, oci::kObject, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
  }
  lib.HandleAlloc(env, reinterpret_cast<void**>(&err), oci::kHtypeError, 0, nullptr);
}

OciClient::~OciClient() {
  Logoff();
  if (err) lib.HandleFree(err, oci::kHtypeError);
  if (env) lib.HandleFree(env, oci::kHtypeEnv);
}

std::string OciClient::Encode(const std::string& utf8) const {
  return qzoci::EncodeClientText(utf8, utf16 ? qzoci::kCharsetUtf16 : qzoci::kCharsetAl32Utf8);
}

sword OciClient::Logon(const std::string& dataSource, const std::string& user, const std::string& password) {
  lib.HandleAlloc(env, reinterpret_cast<void**>(&server), oci::kHtypeServer, 0, nullptr);
  lib.HandleAlloc(env, reinterpret_cast<void**>(&svc), oci::kHtypeSvcCtx, 0, nullptr);
  lib.HandleAlloc(env, reinterpret_cast<void**>(&session), oci::kHtypeSession, 0, nullptr);
  const std::string ds = Encode(dataSource);
  sword status = lib.ServerAttach(server, err, reinterpret_cast<const OraText*>(ds.data()),
                                  static_cast<sb4>(ds.size()), 0);
  if (status != oci::kSuccess) return status;
  lib.AttrSet(svc, oci::kHtypeSvcCtx, server, 0, oci::kAttrServer, err);
  std::string u = Encode(user);
  std::string p = Encode(password);
  lib.AttrSet(session, oci::kHtypeSession, u.data(), static_cast<ub4>(u.size()), oci::kAttrUsername, err);
  lib.AttrSet(session, oci::kHtypeSession, p.data(), static_cast<ub4>(p.size()), oci::kAttrPassword, err);
  status = lib.SessionBegin(svc, err, session, oci::kCredRdbms, oci::kDefault);
  if (status != oci::kSuccess) return status;
  return lib.AttrSet(svc, oci::kHtypeSvcCtx, session, 0, oci::kAttrSession, err);
}

void OciClient::Logoff() {
  if (svc && session) lib.SessionEnd(svc, err, session, 0);
  if (server) lib.ServerDetach(server, err, 0);
  if (session) lib.HandleFree(session, oci::kHtypeSession);
  if (svc) lib.HandleFree(svc, oci::kHtypeSvcCtx);
  if (server) lib.HandleFree(server, oci::kHtypeServer);
  session = nullptr;
  svc = nullptr;
  server = nullptr;
}

namespace {

struct Prepared {
  OciClient& c;
  OCIStmt* stmt = nullptr;
  std::vector<std::string> values;
  Prepared(OciClient& client, const std::string& sql, const std::vector<std::pair<std::string, std::string>>& binds)
      : c(client) {
    c.lib.HandleAlloc(c.env, reinterpret_cast<void**>(&stmt), oci::kHtypeStmt, 0, nullptr);
    const std::string text = c.Encode(sql);
    c.lastStatus = c.lib.StmtPrepare(stmt, c.err, reinterpret_cast<const OraText*>(text.data()),
                                     static_cast<ub4>(text.size()), oci::kNtvSyntax, 0);
    values.reserve(binds.size() * 2);
    for (const auto& [name, value] : binds) {
      values.push_back(c.Encode(":" + name));
      const std::string& placeholder = values.back();
      values.push_back(c.Encode(value) + std::string(c.utf16 ? 2 : 1, '\0'));
      std::string& v = values.back();
      OCIBind* bind = nullptr;
      c.lib.BindByName(stmt, &bind, c.err, reinterpret_cast<const OraText*>(placeholder.data()),
                       static_cast<sb4>(placeholder.size()), v.data(), static_cast<sb4>(v.size()), oci::kSqltStr,
                       nullptr, nullptr, nullptr, 0, nullptr, 0);
    }
  }
  ~Prepared() { c.lib.HandleFree(stmt, oci::kHtypeStmt); }
};

}  // namespace

sword OciClient::Exec(const std::string& sql, const std::vector<std::pair<std::string, std::string>>& binds,
                      ub4 mode) {
  Prepared p(*this, sql, binds);
  if (lastStatus != oci::kSuccess) return lastStatus;
  lastStatus = lib.StmtExecute(svc, p.stmt, err, 1, 0, nullptr, nullptr, mode);
  return lastStatus;
}

Rows OciClient::Query(const std::string& sql, const std::vector<std::pair<std::string, std::string>>& binds,
                      ub4 mode) {
  Rows rows;
  Prepared p(*this, sql, binds);
  if (lastStatus != oci::kSuccess) return rows;
  lastStatus = lib.StmtExecute(svc, p.stmt, err, 0, 0, nullptr, nullptr, mode);
  if (lastStatus != oci::kSuccess) return rows;
  ub4 count = 0;
  lib.AttrGet(p.stmt, oci::kHtypeStmt, &count, nullptr, oci::kAttrParamCount, err);
  const std::size_t width = 4002;
  std::vector<std::vector<char>> buffers(count, std::vector<char>(width));
  std::vector<sb2> indicators(count);
  for (ub4 k = 0; k < count; ++k) {
    OCIDefine* define = nullptr;
    lib.DefineByPos(p.stmt, &define, err, k + 1, buffers[k].data(), static_cast<sb4>(width), oci::kSqltStr,
                    &indicators[k], nullptr, nullptr, 0);
  }
  for (;;) {
    lastStatus = lib.StmtFetch(p.stmt, err, 1, oci::kFetchNext, 0);
    if (lastStatus != oci::kSuccess && lastStatus != oci::kSuccessWithInfo) break;
    std::vector<std::string> row;
    for (ub4 k = 0; k < count; ++k) {
      if (indicators[k] == -1) {
        row.emplace_back("<null>");
        continue;
      }
      const std::size_t bytes = qzoci::TerminatedLength(buffers[k].data(), width, utf16 ? qzoci::kCharsetUtf16 : 0);
      row.push_back(qzoci::DecodeClientText(buffers[k].data(), bytes, utf16 ? qzoci::kCharsetUtf16 : 0));
    }
    rows.push_back(std::move(row));
  }
  if (lastStatus == oci::kNoData) lastStatus = oci::kSuccess;
  return rows;
}

int OciClient::ErrorCode() {
  sb4 code = 0;
  char buffer[1024];
  lib.ErrorGet(err, 1, nullptr, &code, reinterpret_cast<OraText*>(buffer), sizeof buffer, oci::kHtypeError);
  return code;
}

std::string OciClient::ErrorText() {
  sb4 code = 0;
  char buffer[2048] = {};
  if (lib.ErrorGet(err, 1, nullptr, &code, reinterpret_cast<OraText*>(buffer), sizeof buffer, oci::kHtypeError) !=
      oci::kSuccess) {
    return std::string();
  }
  const std::size_t bytes = qzoci::TerminatedLength(buffer, sizeof buffer, utf16 ? qzoci::kCharsetUtf16 : 0);
  return qzoci::DecodeClientText(buffer, bytes, utf16 ? qzoci::kCharsetUtf16 : 0);
}

std::string UniqueDataSource(const std::string& stem, OciLibrary& lib) {
  static std::atomic<int> counter{0};
  std::string name = stem + "_" + std::to_string(++counter);
  if (lib.CreateDataSource) lib.CreateDataSource(name.c_str());
  return name;
}

}  // namespace ocitest
