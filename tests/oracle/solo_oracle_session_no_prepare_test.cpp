// A client without OCITransPrepare, through the exported driver object: a level commits in one phase, and its rows
// are there for another connection. Every connection names the client by the same path relative to the current
// directory, which each open finds loaded; one naming another client is refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "oracle/client/client_loader.h"
#include "session_driver_helpers.h"

namespace {

using namespace ocitest;

TEST(OracleSessionWithoutPrepare, ALevelCommitsInOnePhase) {
  doubles::EnsureLibrary();
  void* driver = piQueryInterface();
  auto* holder = CallSlot<CErrorHolder*>(driver, kDriverHolder);
  std::filesystem::current_path(std::filesystem::path(StandInPath("oci-variants")));
  const std::u16string options = u"QZ CLIENT LIBRARY=no-transprepare/OCI.DLL";

  ASSERT_TRUE(LoadClientThenMakeDataSource(driver, holder, "NO_PREPARE", options)) << Dump(*holder);

  auto writer = Description(u"main", u"NO_PREPARE", u"manager", options);
  auto reader = Description(u"reader", u"NO_PREPARE", u"manager", options);
  ASSERT_EQ(CallSlot<int>(driver, kDriverOpen, writer.get()), 1) << Dump(*holder);
  ASSERT_EQ(CallSlot<int>(driver, kDriverOpen, reader.get()), 1) << Dump(*holder);
  auto other = Description(u"other", u"NO_PREPARE", u"manager", u"QZ CLIENT LIBRARY=no-envnlscreate/OCI.DLL");
  EXPECT_EQ(CallSlot<int>(driver, kDriverOpen, other.get()), 0);
  EXPECT_EQ(holder->nGetErrorCode(), 74u) << Dump(*holder);
  holder->Clear();
  COracleConnection* w = ConnectionOf(driver, *writer);
  ASSERT_EQ(w->bExecuteSql(holder, u"CREATE TABLE P (A NUMBER)"), 1) << Dump(*holder);
  ASSERT_EQ(CallSlot<int>(driver, kDriverBegin, writer.get(), nullptr), 1) << Dump(*holder);
  ASSERT_EQ(w->bExecuteSql(holder, u"INSERT INTO P VALUES (1)"), 1) << Dump(*holder);
  StandIn::Get().ClearCallLog();
  EXPECT_EQ(CallSlot<int>(driver, kDriverCommit, writer.get(), nullptr), 1) << Dump(*holder);
  const std::string commit = StandIn::Get().LastCall("OCITransCommit");
  EXPECT_NE(commit.find("flags=0x0"), std::string::npos) << commit;
  EXPECT_EQ(FetchText(ConnectionOf(driver, *reader), *holder, u"SELECT COUNT(*) FROM P"), u"1");
  EXPECT_FALSE(holder->bHasError()) << Dump(*holder);
  for (auto* description : {writer.get(), reader.get()}) CallSlot<int>(driver, kDriverClose, description);
  CallSlot<std::int32_t>(driver, kDriverRelease);
}

}  // namespace
