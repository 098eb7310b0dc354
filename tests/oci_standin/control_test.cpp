// The control API (call log, injected statuses, ORA errors and exceptions, reset) and the variant builds that
// lack chosen entries or do not load at all.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "oci_client_helpers.h"
#include "platform/last_error.h"
#include "platform/module.h"

namespace ocitest {
namespace {

bool Contains(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& line : lines) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

TEST(Control, CallLogNamesEntriesArgumentsSqlAndAttributes) {
  OciLibrary& lib = OciLibrary::Default();
  OciClient c(lib);
  ASSERT_EQ(c.Logon(UniqueDataSource("LOG"), "SYSTEM", "manager"), oci::kSuccess);
  lib.Reset();
  OCIStmt* stmt = nullptr;
  lib.HandleAlloc(c.env, reinterpret_cast<void**>(&stmt), oci::kHtypeStmt, 0, nullptr);
  ub4 rows = 1000;
  lib.AttrSet(stmt, oci::kHtypeStmt, &rows, 4, oci::kAttrPrefetchRows, c.err);
  c.Exec("SELECT 1 FROM DUAL");
  lib.HandleFree(stmt, oci::kHtypeStmt);
  const std::vector<std::string> log = lib.CallLog();
  EXPECT_TRUE(Contains(log, "OCIAttrSet htype=4 attr=11 value=1000"));
  EXPECT_TRUE(Contains(log, "OCIStmtPrepare sql=SELECT 1 FROM DUAL"));
  EXPECT_TRUE(Contains(log, "OCIStmtExecute iters=1 mode=0x20 sql=SELECT 1 FROM DUAL"));
  EXPECT_EQ(lib.EntryCount("OCIStmtExecute"), 1u);
  lib.Reset();
  EXPECT_EQ(lib.CallCount(), 0u);
  EXPECT_EQ(lib.EntryCount("OCIStmtExecute"), 0u);
}

TEST(Control, InjectedStatusesErrorsAndExceptionsSurfaceAtTheNamedCall) {
  OciLibrary& lib = OciLibrary::Default();
  lib.Reset();
  OciClient c(lib);
  ASSERT_EQ(c.Logon(UniqueDataSource("INJECT"), "SYSTEM", "manager"), oci::kSuccess);
  ASSERT_EQ(c.Exec("CREATE TABLE T (N NUMBER)"), oci::kSuccess);

  // The second execute from now fails with ORA-03113; the first and the third run.
  lib.InjectStatus("OCIStmtExecute", 2, oci::kError, 3113);
  EXPECT_EQ(c.Exec("INSERT INTO T VALUES (1)"), oci::kSuccess);
  EXPECT_EQ(c.Exec("INSERT INTO T VALUES (2)"), oci::kError);
  EXPECT_EQ(c.ErrorCode(), 3113);
  EXPECT_EQ(c.ErrorText(), "ORA-03113: end-of-file on communication channel\n");
  EXPECT_EQ(c.Exec("INSERT INTO T VALUES (3)"), oci::kSuccess);
  EXPECT_EQ(c.Query("SELECT N FROM T ORDER BY N"), (Rows{{"1"}, {"3"}}));

  lib.InjectStatus("OCIStmtFetch", 1, oci::kSuccessWithInfo, 24347);
  OCIStmt* stmt = nullptr;
  lib.HandleAlloc(c.env, reinterpret_cast<void**>(&stmt), oci::kHtypeStmt, 0, nullptr);
  const char sql[] = "SELECT N FROM T";
  lib.StmtPrepare(stmt, c.err, reinterpret_cast<const OraText*>(sql), sizeof sql - 1, 1, 0);
  lib.StmtExecute(c.svc, stmt, c.err, 0, 0, nullptr, nullptr, 0);
  EXPECT_EQ(lib.StmtFetch(stmt, c.err, 1, oci::kFetchNext, 0), oci::kSuccessWithInfo);
  EXPECT_EQ(c.ErrorCode(), 24347);

  lib.InjectThrow("OCIStmtFetch", 1);
  EXPECT_THROW(lib.StmtFetch(stmt, c.err, 1, oci::kFetchNext, 0), std::exception);
  EXPECT_EQ(lib.StmtFetch(stmt, c.err, 1, oci::kFetchNext, 0), oci::kSuccess);
  lib.HandleFree(stmt, oci::kHtypeStmt);

  // Two faults on one entry each count from their own injection: the first and the third execute fail.
  lib.InjectStatus("OCIStmtExecute", 1, oci::kError, 3113);
  lib.InjectStatus("OCIStmtExecute", 3, oci::kError, 1012);
  EXPECT_EQ(c.Exec("INSERT INTO T VALUES (5)"), oci::kError);
  EXPECT_EQ(c.ErrorCode(), 3113);
  EXPECT_EQ(c.Exec("INSERT INTO T VALUES (6)"), oci::kSuccess);
  EXPECT_EQ(c.Exec("INSERT INTO T VALUES (7)"), oci::kError);
  EXPECT_EQ(c.ErrorCode(), 1012);
  EXPECT_EQ(c.Exec("INSERT INTO T VALUES (8)"), oci::kSuccess);

  // A reset forgets what was injected and not yet met.
  lib.InjectStatus("OCIStmtExecute", 1, oci::kError, 3113);
  lib.Reset();
  EXPECT_EQ(c.Exec("INSERT INTO T VALUES (4)"), oci::kSuccess);
}

// Unwatched, calls leave no line, no count and meet no injection; any control call but the switch watches again.
TEST(Control, UnwatchedCallsPassUnseenUntilTheNextControlCall) {
  OciLibrary& lib = OciLibrary::Default();
  OciClient c(lib);
  ASSERT_EQ(c.Logon(UniqueDataSource("WATCH"), "SYSTEM", "manager"), oci::kSuccess);
  struct Case {
    const char* name;
    std::function<void()> control;
    sword watchedExecute;  // the injection met by the first watched execute, unless the control forgot it
  };
  const std::vector<Case> cases = {
      {"reset", [&] { lib.Reset(); }, oci::kSuccess},
      {"clear", [&] { lib.ClearCallLog(); }, oci::kError},
      {"count", [&] { lib.CallCount(); }, oci::kError},
      {"read", [&] { lib.GetCall(0, nullptr, 0); }, oci::kError},
      {"entry count", [&] { lib.EntryCount("OCIStmtPrepare"); }, oci::kError},
      {"injection", [&] { lib.InjectStatus("OCIStmtPrepare", 5, oci::kError, 3113); }, oci::kError},
      {"data source", [&] { lib.CreateDataSource("WATCH_AGAIN"); }, oci::kError},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    lib.Reset();
    lib.InjectStatus("OCIStmtExecute", 1, oci::kError, 3113);
    lib.WatchCalls(0);
    EXPECT_EQ(c.Exec("SELECT 1 FROM DUAL"), oci::kSuccess);
    k.control();
    EXPECT_EQ(lib.EntryCount("OCIStmtExecute"), 0u);
    EXPECT_FALSE(Contains(lib.CallLog(), "sql=SELECT 1 FROM DUAL"));
    EXPECT_EQ(c.Exec("SELECT 2 FROM DUAL"), k.watchedExecute);
    EXPECT_EQ(lib.EntryCount("OCIStmtExecute"), 1u);
    EXPECT_TRUE(Contains(lib.CallLog(), "sql=SELECT 2 FROM DUAL"));
  }
  lib.Reset();
}

TEST(Variants, EachVariantLacksItsEntryAndTheBrokenOneDoesNotLoad) {
  const std::string dir = std::string(QZ_OCI_DIR) + "/oci-variants/";
  struct Case {
    const char* folder;
    std::vector<const char*> missing;
  } cases[] = {{"no-envnlscreate", {"OCIEnvNlsCreate"}},
               {"no-clientversion", {"OCIClientVersion"}},
               {"no-serverversion", {"OCIServerVersion"}},
               {"no-lobopen", {"OCILobOpen", "OCILobClose"}},
               {"no-transprepare", {"OCITransPrepare"}}};
  for (const Case& k : cases) {
    const std::string path = dir + k.folder + "/OCI.DLL";
    OciLibrary lib = OciLibrary::Load(std::u16string(path.begin(), path.end()));
    ASSERT_NE(lib.module, nullptr) << path;
    for (const char* entry : k.missing) EXPECT_EQ(lib.Entry(entry), nullptr) << k.folder << " " << entry;
    EXPECT_NE(lib.Entry("OCIEnvCreate"), nullptr);
    EXPECT_NE(lib.Entry("OCIStmtExecute"), nullptr);
    EXPECT_NE(lib.Entry("OCILobFileOpen"), nullptr);
    EXPECT_NE(lib.Entry("OCITransCommit"), nullptr);
    // Still a working client without it.
    ASSERT_EQ(lib.CreateDataSource("VARIANT"), 0);
    OciClient c(lib);
    EXPECT_EQ(c.Logon("VARIANT", "SYSTEM", "manager"), oci::kSuccess) << k.folder;
    EXPECT_EQ(c.Query("SELECT 'x' FROM DUAL"), (Rows{{"x"}}));
  }
  // Any entry hidden by name is gone for the lookups that follow, as in a build without it; the library still runs.
  {
    const std::string path = dir + "no-serverversion/OCI.DLL";
    OciLibrary lib = OciLibrary::Load(std::u16string(path.begin(), path.end()));
    auto hide = reinterpret_cast<int (*)(const char*)>(lib.Entry("qzociHideEntry"));
    ASSERT_NE(hide, nullptr);
    EXPECT_EQ(hide("OCITransCommit"), 1);
    EXPECT_EQ(hide("OCINoSuchEntry"), 0);
    EXPECT_EQ(lib.Entry("OCITransCommit"), nullptr);
    EXPECT_NE(lib.Entry("OCITransRollback"), nullptr);
    EXPECT_NE(OciLibrary::Default().Entry("OCITransCommit"), nullptr) << "another library keeps it";
    OciClient c(lib);
    EXPECT_EQ(c.Logon("VARIANT", "SYSTEM", "manager"), oci::kSuccess);
    EXPECT_EQ(c.Exec("CREATE TABLE H (N NUMBER)"), oci::kSuccess);
  }
  const std::string broken = dir + "unloadable/OCI.DLL";
  EXPECT_EQ(platform::LoadModule(std::u16string(broken.begin(), broken.end()).c_str()), nullptr);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorBadExeFormat);

  // The OCI7 library exports the OCI7 set by name, and the full library does not.
  OciLibrary oci7 = OciLibrary::Load(u"OCIW32.DLL");
  ASSERT_NE(oci7.module, nullptr);
  for (const char* entry : {"olog", "ologof", "oopen", "oparse", "oexec", "ofen", "odefinps", "obindps", "odescr",
                            "oerhms", "ocof", "ocom", "ocon", "orol", "oclose", "ogetpi", "osetpi"}) {
    EXPECT_NE(oci7.Entry(entry), nullptr) << entry;
    EXPECT_EQ(OciLibrary::Default().Entry(entry), nullptr) << entry;
  }
}

}  // namespace
}  // namespace ocitest
