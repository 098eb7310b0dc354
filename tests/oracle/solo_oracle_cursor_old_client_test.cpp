// A version 8 client: an INSERT or UPDATE that would write a Unicode column is refused with error 1047 (naming the
// table and the column) while its text is built; a write of other columns is built and run.
#include <stdlib.h>

#include "oracle_cursor_fixture.h"

namespace {

using namespace ocitest;

class OldClientCursor : public OracleCursorFixture {
 protected:
  OldClientCursor() : OracleCursorFixture("OCURSOROLD") {}
  static void SetUpTestSuite() {
    ::setenv("QZOCI_CLIENT_VERSION", "8.1.7", 1);
    OracleCursorFixture::SetUpTestSuite();
  }
};

TEST_F(OldClientCursor, AUnicodeColumnIsNotWritten) {
  ASSERT_EQ(gnOciClientMajorVersion, 8);
  ASSERT_EQ(Sql(u"CREATE TABLE T (K NUMBER(10), N NVARCHAR2(10))"), 1) << Dump(*holder);
  Describe({{u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, 2}, {u"N", COLUMN_TYPE_WTEXT, 22, 0, 5}});
  for (std::uint32_t kind : {SQL_STATEMENT_INSERT, SQL_STATEMENT_UPDATE}) {
    holder->Clear();
    SetInt(u"K", 1);
    SetText(u"N", u"n");
    EXPECT_EQ(Run(kind), 0);
    EXPECT_EQ(holder->nGetErrorCode(), 1047u) << kind;
    const std::string report = Dump(*holder);
    EXPECT_NE(report.find("IEQZORA=102.3"), std::string::npos) << report;
  }
  holder->Clear();
  SetInt(u"K", 2);
  // A NULL goes into the text as NULL: nothing is bound for the column.
  CHostValue none;
  none.SetType(HOST_TYPE_TEXT);
  none.SetNull(true);
  ASSERT_TRUE(columns->pFindColumnByName(u"N")->bSetValue(none, 0));
  EXPECT_EQ(Run(SQL_STATEMENT_INSERT), 1) << Dump(*holder);
  EXPECT_EQ(Fetch(u"SELECT K FROM T"), u"2");
}

}  // namespace
