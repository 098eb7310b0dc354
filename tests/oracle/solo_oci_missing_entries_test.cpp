// A process whose client lacks OCITransPrepare: the two-phase prepare reports error 1040 naming the entry, and
// the rest of the client works.
#include <gtest/gtest.h>

#include "oci_session_helpers.h"
#include "oracle/client/client_loader.h"
#include "oracle/client/oci_call.h"
#include "oracle/client/oci_wrappers.h"
#include "tests/doubles/driver_doubles.h"

namespace {

TEST(OciMissingEntries, TransPrepareReportsTheEntry) {
  doubles::EnsureLibrary();
  CErrorHolder holder;
  const std::u16string path = ocitest::StandInPath("oci-variants/no-transprepare/OCI.DLL");
  ASSERT_EQ(bLoadOracleClient(&holder, gstrOciLibraryPath, path.c_str(), 0), 1) << ocitest::Dump(holder);
  ocitest::TestConnection connection;
  ASSERT_TRUE(connection.Open());

  std::uint32_t mustCommit = 7;
  EXPECT_EQ(nOciTransPrepare(&connection, &holder, &mustCommit), 0);
  EXPECT_EQ(mustCommit, 7u);
  EXPECT_EQ(holder.pGetEmbeddedObject()->nGetCode(), 1040u);
  EXPECT_TRUE(ocitest::HasMessageText(holder, u"OCITransPrepare")) << ocitest::Dump(holder);
  EXPECT_TRUE(ocitest::HasPoint(holder, 107));
  EXPECT_EQ(gbOciClientFailed, 0u);
  // The commit of the same client is there.
  CErrorHolder commit;
  EXPECT_EQ(nOciTransCommit(&connection, &commit, 0), 1) << ocitest::Dump(commit);
}

}  // namespace
