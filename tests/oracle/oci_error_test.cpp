// The client's failures as the driver's errors: categories of Oracle numbers, the record an OCI error leaves, and
// the names of the statuses.
#include "oracle/client/oci_error.h"

#include <gtest/gtest.h>

#include "oci_session_helpers.h"
#include "oracle/client/oci_status.h"
#include "tests/doubles/driver_doubles.h"

namespace {

TEST(OciErrorCategories, ByOracleNumber) {
  const struct {
    std::uint32_t category;
    std::vector<std::uint32_t> numbers;
  } table[] = {
      {1, {54, 55, 56, 57, 60, 61, 62, 69, 99, 104, 2049}},
      {3, {1, 2299}},
      {4, {2290, 2292, 2293, 2294, 2295, 2296, 2297, 2298}},
      {5, {1004, 1005, 1012, 1017, 1040, 1045}},
      {8, {1400}},
      {0, {0, 2, 53, 942, 1401, 2291, 2041, 12154}},
  };
  for (const auto& row : table) {
    for (std::uint32_t number : row.numbers) EXPECT_EQ(nOracleErrorCategory(number), row.category) << number;
  }
}

TEST(OciStatusNames, KnownAndUnknown) {
  const struct {
    std::int32_t status;
    const char16_t* name;
  } table[] = {
      {0, u"OCI_SUCCESS"},
      {1, u"OCI_SUCCESS_WITH_INFO"},
      {99, u"OCI_NEED_DATA"},
      {100, u"OCI_NO_DATA"},
      {-1, u"OCI_ERROR"},
      {-2, u"OCI_INVALID_HANDLE"},
      {-3123, u"OCI_STILL_EXECUTING"},
      {-24200, u"OCI_CONTINUE"},
      {42, u"Unknown status : 42"},
      {-7, u"Unknown status : -7"},
  };
  for (const auto& row : table) {
    CTString name;
    EXPECT_EQ(std::u16string(pszOciStatusName(name, row.status)), row.name) << row.status;
  }
}

class OciErrorRecord : public ::testing::Test {
 protected:
  void SetUp() override { doubles::EnsureLibrary(); }
  ocitest::TestConnection connection;
  CErrorHolder holder;
};

TEST_F(OciErrorRecord, CategoryNativeNumberTextAndStatus) {
  FillErrorRecord(&connection, &holder, -1, 54, u"ORA-00054: resource busy\nline two", 100, 48);
  CXError* error = holder.pGetEmbeddedObject();
  EXPECT_EQ(holder.nGetRecordedCode(), 1u);
  EXPECT_EQ(error->nGetCode(), 67u);
  EXPECT_EQ(holder.nGetNativeErrorCode(), 54u);
  EXPECT_TRUE(ocitest::HasMessageText(holder, u"ORA-00054: resource busy\r\nline two")) << ocitest::Dump(holder);
  EXPECT_TRUE(ocitest::HasPoint(holder, 48));
  EXPECT_TRUE(ocitest::HasMessageText(holder, u"Status = FFFFFFFF (OCI_ERROR)"));

  // A second error nests in the first.
  FillErrorRecord(&connection, &holder, 1, 1, u"ORA-00001: unique constraint", 100, 66);
  EXPECT_EQ(holder.nGetRecordedCode(), 1u);
  ASSERT_EQ(error->nGetNestedCount(), 1u);
  EXPECT_EQ(error->pGetNestedError(0)->nGetCode(), 69u);
  EXPECT_TRUE(ocitest::HasMessageText(holder, u"Status = 00000001 (OCI_SUCCESS_WITH_INFO)"));
}

TEST_F(OciErrorRecord, OtherCategoriesAndNoHandle) {
  FillErrorRecord(&connection, &holder, -1, 2291, u"ORA-02291: parent key not found", 100, 48);
  EXPECT_EQ(holder.pGetEmbeddedObject()->nGetCode(), 22u);
  EXPECT_EQ(holder.nGetRecordedCode(), 0u);

  CErrorHolder distributed;
  FillErrorRecord(&connection, &distributed, -1, 2041, u"ORA-02041", 100, 48);
  EXPECT_EQ(distributed.pGetEmbeddedObject()->nGetCode(), 22u);
  EXPECT_TRUE(ocitest::HasMessageText(distributed, u"La base de données distante n'a pas été initialisée."));

  // No handle: native number 0 and no native message.
  CErrorHolder bare;
  RaiseOciError(&connection, &bare, -1, 100, 126, nullptr);
  EXPECT_EQ(bare.pGetEmbeddedObject()->nGetCode(), 22u);
  EXPECT_EQ(bare.nGetNativeErrorCode(), 0u);
  EXPECT_TRUE(ocitest::HasPoint(bare, 126));
}

}  // namespace
