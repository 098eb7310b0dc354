// National literals N'...' as the driver writes them for NVARCHAR2 values: the same text as a plain literal wherever
// one may stand, in a narrow and in a UTF-16 environment, while a column named N and words ending in N keep their
// meaning.
#include <gtest/gtest.h>

#include "oci_client_helpers.h"

namespace ocitest {
namespace {

const std::string kE = "\xC3\xA9";  // é, so that the round trip crosses the client's character set

class NationalLiteral : public ::testing::TestWithParam<bool> {
 protected:
  OciLibrary& lib = OciLibrary::Default();
  OciClient c{lib, GetParam()};
  std::string ds = UniqueDataSource("NLIT");

  void SetUp() override {
    ASSERT_NE(lib.module, nullptr);
    ASSERT_EQ(c.Logon(ds, "SYSTEM", "manager"), oci::kSuccess) << c.ErrorText();
    ASSERT_EQ(c.Exec("CREATE TABLE NL (ID NUMBER(5), N NVARCHAR2(20), TXT VARCHAR2(20))"), oci::kSuccess)
        << c.ErrorText();
  }
};

TEST_P(NationalLiteral, WrittenAndMatchedInEveryClause) {
  // Both spellings of the prefix, a doubled quote and an N inside the text.
  ASSERT_EQ(c.Exec("INSERT INTO NL (ID, N, TXT) VALUES (1, N'caf" + kE + "', n'l''N''" + kE + "')"), oci::kSuccess)
      << c.ErrorText();
  EXPECT_EQ(c.Query("SELECT N, TXT FROM NL"), (Rows{{"caf" + kE, "l'N'" + kE}}));

  ASSERT_EQ(c.Exec("UPDATE NL SET N = N'" + kE + "t" + kE + "', TXT = 'N' WHERE N = N'caf" + kE + "'"),
            oci::kSuccess)
      << c.ErrorText();
  EXPECT_EQ(c.Query("SELECT ID FROM NL WHERE N = N'" + kE + "t" + kE + "' AND TXT = 'N'"), (Rows{{"1"}}));
  EXPECT_EQ(c.Query("SELECT ID FROM NL WHERE N = n'caf" + kE + "'"), Rows{});
}

TEST_P(NationalLiteral, SelectListKeepsTheColumnNAndWordsEndingInN) {
  ASSERT_EQ(c.Exec("INSERT INTO NL (ID, N, TXT) VALUES (1, 'column', 'plain')"), oci::kSuccess) << c.ErrorText();
  // Read as the column N under an alias, N'x' would give "column"; WHEN'...' and THEN'...' stay keywords.
  EXPECT_EQ(c.Query("SELECT N'" + kE + "', N, \"N\"||N'!', CASE TXT WHEN'plain' THEN'yes' ELSE N'no' END FROM NL"),
            (Rows{{kE, "column", "column!", "yes"}}))
      << c.ErrorText();
  // As a plain empty literal, an empty national one is NULL.
  EXPECT_EQ(c.Query("SELECT NVL(N'', 'none') FROM DUAL"), (Rows{{"none"}})) << c.ErrorText();
}

INSTANTIATE_TEST_SUITE_P(Environments, NationalLiteral, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Utf16" : "Narrow"; });

}  // namespace
}  // namespace ocitest
