// The automatic choice of the client set through the exported driver object. The program runs from a directory of
// its own (tests/oracle/CMakeLists.txt) that holds, under the OCI set's name, a file that is no loadable module: the
// loader looks beside the driver first, so no open reaches a working OCI set, and with no client kind configured the
// session falls back to the OCI7 set, which the normal search finds in the current directory.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "client_test_helpers.h"
#include "oracle/client/client_loader.h"
#include "oracle/client/oci_entries.h"
#include "session_driver_helpers.h"

namespace {

using namespace ocitest;
namespace fs = std::filesystem;

// The process's current directory for one scope: the normal search looks there after the program's directory.
class CurrentDirectoryScope {
 public:
  explicit CurrentDirectoryScope(const fs::path& directory) : m_saved(fs::current_path()) {
    fs::current_path(directory);
  }
  ~CurrentDirectoryScope() {
    std::error_code ignored;
    fs::current_path(m_saved, ignored);
  }
  CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
  CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;

 private:
  fs::path m_saved;
};

TEST(OracleSessionFallback, AnUnloadableOciClientFallsBackToTheOci7Set) {
  doubles::EnsureLibrary();
  const fs::path beside = fs::read_symlink("/proc/self/exe").parent_path();
  ASSERT_TRUE(fs::is_regular_file(beside / "OCI.DLL")) << "the build puts the unloadable client beside the program";
  ASSERT_FALSE(fs::exists(beside / "OCIW32.DLL"));
  const fs::path standIns = std::string(QZ_OCI_DIR);
  ASSERT_TRUE(fs::is_regular_file(standIns / "OCI.DLL"));
  ASSERT_TRUE(fs::is_regular_file(standIns / "OCIW32.DLL"));

  // No configuration file anywhere: the client kind is automatic. The data source exists once a client is loaded.
  const fs::path empty = fs::temp_directory_path() / ("qz_session_fallback_" + std::to_string(::getpid()));
  fs::create_directories(empty);
  ASSERT_EQ(::setenv("QZ_WINDOWS_DIR", empty.c_str(), 1), 0);
  ASSERT_EQ(::setenv("QZOCI_DATA_SOURCES", "FALLBACK_SOURCE", 1), 0);
  void* driver = piQueryInterface();
  auto* holder = CallSlot<CErrorHolder*>(driver, kDriverHolder);

  // A configured library is the only one tried: its failure is the open's, and the OCI7 set is not looked for.
  const std::u16string configured = StandInPath("oci-variants/unloadable/OCI.DLL");
  auto pinned = Description(u"pinned", u"FALLBACK_SOURCE", u"manager", u"QZ CLIENT LIBRARY=" + configured);
  EXPECT_EQ(CallSlot<int>(driver, kDriverOpen, pinned.get()), 0);
  EXPECT_EQ(holder->pGetEmbeddedObject()->nGetCode(), 27u) << Dump(*holder);
  EXPECT_TRUE(HasMessageText(*holder, configured)) << Dump(*holder);
  EXPECT_FALSE(HasMessageText(*holder, u"OCIW32.DLL")) << Dump(*holder);
  EXPECT_EQ(bIsOracleClientLoaded(), 0);
  EXPECT_EQ(gbOci7Mode, 0u);
  holder->Clear();

  // Neither set loads: the failed fall-back is the error told, with both load errors kept under it.
  auto first = Description(u"first", u"FALLBACK_SOURCE");
  {
    CurrentDirectoryScope noClient(empty);
    EXPECT_EQ(CallSlot<int>(driver, kDriverOpen, first.get()), 0);
  }
  CXError* top = holder->pGetEmbeddedObject();
  EXPECT_EQ(top->nGetCode(), 1038u) << Dump(*holder);
  EXPECT_TRUE(HasMessageNumber(*holder, 2524)) << Dump(*holder);
  EXPECT_TRUE(HasPoint(*holder, 5)) << Dump(*holder);
  ASSERT_GE(top->nGetNestedCount(), 1u) << Dump(*holder);
  EXPECT_EQ(top->pGetNestedError(0)->nGetCode(), 27u);
  EXPECT_TRUE(HasMessageText(*holder, u"OCI.DLL")) << Dump(*holder);
  EXPECT_TRUE(HasMessageText(*holder, u"OCIW32.DLL")) << Dump(*holder);
  EXPECT_EQ(bIsOracleClientLoaded(), 0);
  EXPECT_EQ(gbOci7Mode, 0u);
  holder->Clear();

  // The directory of the stand-ins holds a working OCI set too, but the broken one beside the program is found first:
  // the open succeeds on the OCI7 set, and the failed OCI load is forgotten.
  {
    CurrentDirectoryScope clients(standIns);
    ASSERT_EQ(CallSlot<int>(driver, kDriverOpen, first.get()), 1) << Dump(*holder);
  }
  EXPECT_FALSE(holder->bHasError()) << Dump(*holder);
  ASSERT_EQ(gbOci7Mode, 1u);
  EXPECT_EQ(fs::path(std::u16string(gstrOciLibraryPath.pszGet())), standIns / "OCIW32.DLL");
  EXPECT_EQ(std::u16string(gstrClientVersionText.pszGet()), u"7");
  EXPECT_TRUE(bOciEntryBound(OCI_SLOT_ofen));
  EXPECT_FALSE(bOciEntryBound(OCI_SLOT_OCIStmtFetch));
  COracleConnection* writer = ConnectionOf(driver, *first);
  ASSERT_NE(writer, nullptr);
  EXPECT_EQ(writer->bInsertNeedsReturning(), 0);
  EXPECT_EQ(writer->bIsConnected(), 1);

  // A second connection finds the client loaded and logs on with the same set.
  auto second = Description(u"second", u"FALLBACK_SOURCE");
  ASSERT_EQ(CallSlot<int>(driver, kDriverOpen, second.get()), 1) << Dump(*holder);
  COracleConnection* reader = ConnectionOf(driver, *second);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->bInsertNeedsReturning(), 0);

  ASSERT_EQ(writer->bExecuteSql(holder, u"CREATE TABLE FB (A NUMBER, B VARCHAR2(10))"), 1) << Dump(*holder);
  ASSERT_EQ(writer->bExecuteSql(holder, u"INSERT INTO FB VALUES (1, 'one')"), 1) << Dump(*holder);
  EXPECT_EQ(FetchText(reader, *holder, u"SELECT B FROM FB WHERE A = 1"), u"one") << Dump(*holder);
  EXPECT_EQ(FetchText(writer, *holder, u"SELECT COUNT(*) FROM FB"), u"1") << Dump(*holder);

  const unsigned logoffs = StandIn::Get().EntryCount("ologof");
  EXPECT_EQ(CallSlot<int>(driver, kDriverClose, first.get()), 1);
  EXPECT_EQ(CallSlot<int>(driver, kDriverClose, second.get()), 1);
  EXPECT_EQ(StandIn::Get().EntryCount("ologof"), logoffs + 2);
  CallSlot<std::int32_t>(driver, kDriverRelease);
  ::unsetenv("QZOCI_DATA_SOURCES");
  ::unsetenv("QZ_WINDOWS_DIR");
  fs::remove_all(empty);
}

}  // namespace
