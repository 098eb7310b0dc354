#include "oci_session_helpers.h"

#include <atomic>

#include "foundation/code_pages.h"
#include "oracle/client/client_loader.h"
#include "oracle/client/oci_call.h"
#include "oracle/client/oci_entries.h"
#include "platform/module.h"

namespace ocitest {

namespace {

template <typename T>
void Bind(platform::ModuleHandle module, T& slot, const char* name) {
  slot = reinterpret_cast<T>(platform::FindModuleEntry(module, name));
}

std::string NewDataSource() {
  static std::atomic<int> counter{0};
  return "CLIENT_" + std::to_string(++counter);
}

}  // namespace

StandIn& StandIn::Get() {
  static StandIn standIn;
  platform::ModuleHandle module = hGetOracleClientModule();
  Bind(module, standIn.Reset, "qzociReset");
  Bind(module, standIn.CreateDataSource, "qzociCreateDataSource");
  Bind(module, standIn.CloseDatabases, "qzociCloseDatabases");
  Bind(module, standIn.EntryCount, "qzociEntryCount");
  Bind(module, standIn.CallCount, "qzociCallCount");
  Bind(module, standIn.GetCall, "qzociGetCall");
  Bind(module, standIn.ClearCallLog, "qzociClearCallLog");
  Bind(module, standIn.InjectStatus, "qzociInjectStatus");
  Bind(module, standIn.InjectThrow, "qzociInjectThrow");
  Bind(module, standIn.ScriptPieces, "qzociScriptPieces");
  Bind(module, standIn.DataSourceFolder, "qzociDataSourceFolder");
  return standIn;
}

std::vector<std::string> StandIn::CallLog() const {
  std::vector<std::string> lines;
  const unsigned n = CallCount();
  for (unsigned k = 0; k < n; ++k) {
    std::vector<char> buffer(GetCall(k, nullptr, 0) + 1);
    GetCall(k, buffer.data(), static_cast<unsigned>(buffer.size()));
    lines.emplace_back(buffer.data());
  }
  return lines;
}

std::string StandIn::LastCall(const std::string& entry) const {
  const std::vector<std::string> log = CallLog();
  for (auto it = log.rbegin(); it != log.rend(); ++it) {
    if (it->compare(0, entry.size() + 1, entry + " ") == 0 || *it == entry) return *it;
  }
  return std::string();
}

TestConnection::TestConnection()
    : COracleConnection(u"cnx", reinterpret_cast<IHostConnectionDescription*>(&description)) {}

TestConnection::~TestConnection() {
  if (gbOci7Mode) {
    if (session) OciEntry<OCI_SLOT_ologof>()(pLogonAreaOf(this));
    return;
  }
  if (m_pServiceContext && session) {
    OciEntry<OCI_SLOT_OCISessionEnd>()(pServiceOf(this), pErrorOf(this), static_cast<oci::OCISession*>(session), 0);
  }
  if (server) OciEntry<OCI_SLOT_OCIServerDetach>()(static_cast<oci::OCIServer*>(server), pErrorOf(this), 0);
  if (m_pEnvironment) OciEntry<OCI_SLOT_OCIHandleFree>()(m_pEnvironment, oci::OCI_HTYPE_ENV);
  // Freed here: the connection's own close has nothing left to free.
  m_pEnvironment = nullptr;
  m_pErrorHandle = nullptr;
  m_pServiceContext = nullptr;
}

bool TestConnection::Open(bool utf16) {
  const std::string dataSource = NewDataSource();
  StandIn::Get().CreateDataSource(dataSource.c_str());
  if (gbOci7Mode) {
    SetSessionCodePage(65001);
    static oci::ub1 hostArea[256];
    std::string user = "SYSTEM", password = "manager", connect = dataSource;
    const oci::sword result = OciEntry<OCI_SLOT_olog>()(
        pLogonAreaOf(this), hostArea, reinterpret_cast<oci::OraText*>(user.data()),
        static_cast<oci::sword>(user.size()), reinterpret_cast<oci::OraText*>(password.data()),
        static_cast<oci::sword>(password.size()), reinterpret_cast<oci::OraText*>(connect.data()),
        static_cast<oci::sword>(connect.size()), 0);
    session = result == 0 ? pLogonAreaOf(this) : nullptr;
    m_pErrorHandle = reinterpret_cast<void*>(~std::uintptr_t{0});
    return result == 0 && OciEntry<OCI_SLOT_ocon>()(pLogonAreaOf(this)) == 0;
  }
  oci::OCIEnv* env = nullptr;
  if (utf16) {
    SetSessionCodePage(CODE_PAGE_UTF16);
    m_nClientCharsetId = 873;
    OciEntry<OCI_SLOT_OCIEnvNlsCreate>()(&env, 2, nullptr, nullptr, nullptr, nullptr, 0, nullptr, 1000, 1000);
  } else {
    SetSessionCodePage(65001);
    OciEntry<OCI_SLOT_OCIEnvCreate>()(&env, 2, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
  }
  m_pEnvironment = env;
  auto alloc = [&](void** handle, oci::ub4 kind) {
    return OciEntry<OCI_SLOT_OCIHandleAlloc>()(env, handle, kind, 0, nullptr) == 0;
  };
  if (!alloc(&m_pErrorHandle, oci::OCI_HTYPE_ERROR) || !alloc(&server, oci::OCI_HTYPE_SERVER) ||
      !alloc(&m_pServiceContext, oci::OCI_HTYPE_SVCCTX) || !alloc(&session, oci::OCI_HTYPE_SESSION)) {
    return false;
  }
  const std::u16string wideName(dataSource.begin(), dataSource.end());
  const COciText name(this, wideName.c_str());
  if (OciEntry<OCI_SLOT_OCIServerAttach>()(static_cast<oci::OCIServer*>(server), pErrorOf(this), name.pGet(),
                                           static_cast<oci::sb4>(name.nGetBytes()), 0) != 0) {
    return false;
  }
  auto attrSet = [&](void* handle, oci::ub4 kind, void* value, oci::ub4 size, oci::ub4 attribute) {
    return OciEntry<OCI_SLOT_OCIAttrSet>()(handle, kind, value, size, attribute, pErrorOf(this)) == 0;
  };
  const COciText user(this, u"SYSTEM");
  const COciText password(this, u"manager");
  attrSet(m_pServiceContext, oci::OCI_HTYPE_SVCCTX, server, 0, 6);
  attrSet(session, oci::OCI_HTYPE_SESSION, user.pGet(), user.nGetBytes(), 22);
  attrSet(session, oci::OCI_HTYPE_SESSION, password.pGet(), password.nGetBytes(), 23);
  if (OciEntry<OCI_SLOT_OCISessionBegin>()(pServiceOf(this), pErrorOf(this), static_cast<oci::OCISession*>(session), 1,
                                           0) != 0) {
    return false;
  }
  return attrSet(m_pServiceContext, oci::OCI_HTYPE_SVCCTX, session, 0, 7);
}

}  // namespace ocitest
