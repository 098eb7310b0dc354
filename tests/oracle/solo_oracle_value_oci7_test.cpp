// Field values with the OCI7 entry set bound: numbers cross as VARNUM the driver reads and writes itself, dates as the
// 7-byte Oracle date.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/record/column_types.h"
#include "oracle_value_fixture.h"

namespace {

using ocitest::ValueColumn;

class OracleValueOci7 : public ocitest::OracleValueFixture {
 protected:
  static void SetUpTestSuite() {
    LoadClient(1);
    gbOci7Mode = 1;
  }
  void SetUp() override {
    OracleValueFixture::SetUp();
    SetVersions(19, 7);
  }
};

TEST_F(OracleValueOci7, NumbersAreVarnumAndDatesSevenBytes) {
  EXPECT_EQ(COracleFieldValue::nHostTypeToSqlt(HOST_TYPE_UINT64, connection), sqlt::VNU);
  EXPECT_EQ(COracleFieldValue::nHostTypeToSqlt(HOST_TYPE_VALUE8, connection), sqlt::VNU);
  EXPECT_EQ(COracleFieldValue::nHostTypeToSqlt(HOST_TYPE_DATETIME, connection), sqlt::DAT);
  ValueColumn date(COLUMN_TYPE_HOST_DATE);
  std::uint16_t code = 0;
  ASSERT_EQ(COracleFieldValue::nColumnTypeToSqlt(holder, &code, date, date, connection), 1);
  EXPECT_EQ(code, sqlt::DAT);

  for (std::uint8_t type : {HOST_TYPE_UINT64, HOST_TYPE_INT64, HOST_TYPE_VALUE8}) {
    COracleFieldValue* number = NewText(type, u"42");
    ASSERT_EQ(number->bSyncToNative(), 1) << ocitest::Dump(*holder);
    EXPECT_EQ(number->nGetConversionSize(), 22u);
    const std::uint8_t* bound = number->pGetConversionBuffer();
    EXPECT_EQ(std::vector<std::uint8_t>(bound, bound + 3), (std::vector<std::uint8_t>{2, 0xC1, 43})) << int(type);
    const std::uint8_t seven[] = {2, 0xC1, 8};
    std::memcpy(number->pGetConversionBuffer(), seven, sizeof seven);
    ASSERT_EQ(number->bReadNative(), 1) << ocitest::Dump(*holder);
    EXPECT_EQ(TextOf(number), u"7");
    Release(number);
  }

  COracleFieldValue* moment = NewHolding(HOST_TYPE_DATETIME, CHostDateTime{5, 3, 2024, 37230456});
  ASSERT_EQ(moment->bSyncToNative(), 1) << ocitest::Dump(*holder);
  const std::uint8_t* bytes = moment->pGetConversionBuffer();
  EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + 7), (std::vector<std::uint8_t>{120, 124, 3, 5, 11, 21, 31}));
  EXPECT_EQ(moment->nGetReturnedLength(), 7u);
  moment->SetNull();
  ASSERT_EQ(moment->bReadNative(), 1);
  EXPECT_EQ(TextOf(moment), u"20240305102030000");
  Release(moment);

  COracleFieldValue* text = NewText(HOST_TYPE_TEXT, u"05-03-2024 10:20:30");
  text->SetDateFormat(u"DD-MM-YYYY HH24:MI:SS");
  EXPECT_EQ(text->nGetNativeTypeCode(), sqlt::DAT);
  ASSERT_EQ(text->bSyncToNative(), 1) << ocitest::Dump(*holder);
  EXPECT_EQ(text->nGetConversionSize(), 7u);
  EXPECT_EQ(text->pGetConversionBuffer()[4], 11) << "hours are stored plus one";
  Release(text);
}

}  // namespace
