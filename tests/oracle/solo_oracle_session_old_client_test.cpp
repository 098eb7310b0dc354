// A client without OCIClientVersion, found by the system's search, whose directory holds oraocci10.dll, through the
// exported driver object: the version files are looked for beside the client loaded, so it counts as version 10,
// below 10.2.0.3, the environment comes from OCIEnvCreate and the session speaks the code page of the client's
// character set. Before any load, a client kind that names no API set is refused.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "oracle/client/client_loader.h"
#include "session_driver_helpers.h"

namespace {

using namespace ocitest;

TEST(OracleSessionOldClient, OpensAnAnsiSessionWithOCIEnvCreate) {
  // The system's search reads its folders when the program starts: the program runs again with the client's.
  if (!std::getenv("QZ_OLD_CLIENT_SEARCHED")) {
    ::setenv("QZ_OLD_CLIENT_SEARCHED", "1", 1);
    ::setenv("LD_LIBRARY_PATH", QZ_OLD_CLIENT_DIR, 1);
    ::execl("/proc/self/exe", "/proc/self/exe", static_cast<char*>(nullptr));
    FAIL() << "the program did not run again";
  }
  doubles::EnsureLibrary();
  void* driver = piQueryInterface();
  auto* holder = CallSlot<CErrorHolder*>(driver, kDriverHolder);

  auto unknownKind = Description(u"kind", u"OLD_CLIENT", u"manager", u"QZ CLIENT VERSION=9");
  EXPECT_EQ(CallSlot<int>(driver, kDriverOpen, unknownKind.get()), 0);
  EXPECT_EQ(holder->nGetErrorCode(), 1048u);
  EXPECT_TRUE(HasMessageText(*holder, u"9")) << Dump(*holder);
  EXPECT_TRUE(HasPoint(*holder, 147));
  EXPECT_EQ(bIsOracleClientLoaded(), 0);
  holder->Clear();

  // Only the system's search leads to the client: neither the program's directory nor the current one has it.
  const std::filesystem::path directory = QZ_OLD_CLIENT_DIR;
  std::filesystem::current_path(std::filesystem::temp_directory_path());
  // Version 10 comes before 9 in the search.
  for (const char* name : {"oraocci10.dll", "oraocci9.dll"}) std::ofstream(directory / name) << "";
  const std::u16string options = u"QZ CLIENT LIBRARY=OCIOLD.DLL";

  ASSERT_TRUE(LoadClientThenMakeDataSource(driver, holder, "OLD_CLIENT", options)) << Dump(*holder);
  StandIn& standIn = StandIn::Get();

  standIn.ClearCallLog();
  auto description = Description(u"main", u"OLD_CLIENT", u"manager", options);
  ASSERT_EQ(CallSlot<int>(driver, kDriverOpen, description.get()), 1) << Dump(*holder);
  for (const char* name : {"oraocci10.dll", "oraocci9.dll"}) std::filesystem::remove(directory / name);
  EXPECT_TRUE(gpOciLoader->GetDirectory().bIsEmpty()) << "found by the system's search";
  EXPECT_EQ(gnOciClientMajorVersion, 10);
  EXPECT_EQ(std::u16string(gstrClientVersionText.pszGet()), u"10");
  EXPECT_EQ(standIn.EntryCount("OCIEnvNlsCreate"), 0u);
  EXPECT_FALSE(standIn.LastCall("OCIEnvCreate").empty());

  COracleConnection* connection = ConnectionOf(driver, *description);
  ASSERT_NE(connection, nullptr);
  EXPECT_EQ(connection->nGetSessionCodePage(), 65001u);  // the client's AL32UTF8, without NLS_LANG
  ASSERT_EQ(connection->bExecuteSql(holder, u"CREATE TABLE OLD (B VARCHAR2(10))"), 1) << Dump(*holder);
  ASSERT_EQ(connection->bExecuteSql(holder, u"INSERT INTO OLD VALUES ('abc')"), 1) << Dump(*holder);
  EXPECT_EQ(FetchText(connection, *holder, u"SELECT B FROM OLD"), u"abc") << Dump(*holder);
  ASSERT_EQ(connection->bExecuteSql(holder, u"INSERT INTO OLD VALUES ('\u00e0\u00df\u20ac')"), 1) << Dump(*holder);
  EXPECT_EQ(FetchText(connection, *holder, u"SELECT LENGTH(B) FROM OLD WHERE B <> 'abc'"), u"3");
  EXPECT_EQ(connection->bExecuteSql(holder, u"INSERT INTO NO_SUCH_TABLE VALUES (1)"), 0);
  EXPECT_TRUE(HasMessageText(*holder, u"OCIEnvCreate = Succeeded")) << Dump(*holder);
  EXPECT_FALSE(HasMessageText(*holder, u"OCIEnvNlsCreate =")) << Dump(*holder);
  holder->Clear();
  ASSERT_EQ(CallSlot<int>(driver, kDriverClose, description.get()), 1);
  CallSlot<std::int32_t>(driver, kDriverRelease);
}

}  // namespace
