// A client without OCITransPrepare, through the exported driver object: a session opens and a level begins, and its
// commit fails with error 1040 naming the missing entry.
#include <gtest/gtest.h>

#include <string>

#include "oracle/client/client_loader.h"
#include "session_driver_helpers.h"

namespace {

using namespace ocitest;

TEST(OracleSessionWithoutPrepare, CommitNamesTheMissingEntry) {
  doubles::EnsureLibrary();
  void* driver = piQueryInterface();
  auto* holder = CallSlot<CErrorHolder*>(driver, kDriverHolder);
  const std::u16string options = u"QZ CLIENT LIBRARY=" + StandInPath("oci-variants/no-transprepare/OCI.DLL");

  ASSERT_TRUE(LoadClientThenMakeDataSource(driver, holder, "NO_PREPARE", options)) << Dump(*holder);

  auto description = Description(u"main", u"NO_PREPARE", u"manager", options);
  ASSERT_EQ(CallSlot<int>(driver, kDriverOpen, description.get()), 1) << Dump(*holder);
  ASSERT_EQ(CallSlot<int>(driver, kDriverBegin, description.get(), nullptr), 1) << Dump(*holder);
  EXPECT_EQ(CallSlot<int>(driver, kDriverCommit, description.get(), nullptr), 0);
  EXPECT_EQ(holder->nGetErrorCode(), 1040u);
  EXPECT_TRUE(HasMessageText(*holder, u"OCITransPrepare")) << Dump(*holder);
  holder->Clear();
  ASSERT_EQ(CallSlot<int>(driver, kDriverClose, description.get()), 1);
  CallSlot<std::int32_t>(driver, kDriverRelease);
}

}  // namespace
