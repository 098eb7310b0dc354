// A program that ends with its client handles alive and still calls the client while it exits: from an exit handler
// registered before its first call, and from the destructor of a static object. The process must end cleanly, with
// every call answered as during the run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "oci_client_helpers.h"

namespace ocitest {
namespace {

// Built before main, so destroyed after everything the library made at its first call.
std::optional<OciClient> gClient;
std::string gDataSource;

// Any wrong answer ends the process with a code of its own: gtest's checks are over by now.
void Require(bool ok, int code) {
  if (!ok) std::_Exit(code);
}

void CallFromExitHandler() {
  Require(gClient.has_value(), 10);
  Require(gClient->Query("SELECT N FROM LIVE") == Rows{{"1"}}, 11);
  Require(gClient->Exec("INSERT INTO LIVE VALUES (2)") == oci::kSuccess, 12);
  Require(OciLibrary::Default().EntryCount("OCIStmtExecute") > 0, 13);
  // Another session begins while the process ends.
  OciClient late(OciLibrary::Default());
  Require(late.Logon(gDataSource, "SYSTEM", "manager") == oci::kSuccess, 14);
  Require(late.Query("SELECT COUNT(*) FROM LIVE") == Rows{{"2"}}, 15);
  // gClient is left as it is: its destructor logs off later still, with the process's static destructors.
}

TEST(ExitWithLiveHandles, CallsDuringExitAreAnswered) {
  ASSERT_EQ(std::atexit(CallFromExitHandler), 0);
  OciLibrary& lib = OciLibrary::Default();
  ASSERT_NE(lib.module, nullptr);
  gDataSource = UniqueDataSource("EXIT");
  gClient.emplace(lib);
  ASSERT_EQ(gClient->Logon(gDataSource, "SYSTEM", "manager"), oci::kSuccess) << gClient->ErrorText();
  ASSERT_EQ(gClient->Exec("CREATE TABLE LIVE (N NUMBER(3))"), oci::kSuccess);
  ASSERT_EQ(gClient->Exec("INSERT INTO LIVE VALUES (1)"), oci::kSuccess);
}

}  // namespace
}  // namespace ocitest
