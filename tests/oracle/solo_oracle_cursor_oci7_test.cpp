// The Oracle cursor with the OCI7 set: the same statements run, never with a prefetch attribute or a RETURNING
// clause (the set has neither).
#include "oracle_cursor_fixture.h"

namespace {

using namespace ocitest;

class Oci7Cursor : public OracleCursorFixture {
 protected:
  Oci7Cursor() : OracleCursorFixture("OCURSOR7", u"QZ CLIENT VERSION=7") {}
};

TEST_F(Oci7Cursor, StatementsRunWithoutPrefetchOrReturning) {
  ASSERT_TRUE(gbOci7Mode);
  Describe({{u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, 2}, {u"QTY", COLUMN_TYPE_INT32, 4, 0, 2}});
  ASSERT_EQ(Run(SQL_STATEMENT_CREATE), 1) << Dump(*holder);
  StandIn::Get().ClearCallLog();
  for (std::int32_t qty : {7, 8}) {
    SetInt(u"K", qty);
    SetInt(u"QTY", qty);
    ASSERT_EQ(Run(SQL_STATEMENT_INSERT), 1) << Dump(*holder);
    EXPECT_EQ(Text().find(u"RETURNING"), std::u16string::npos);
  }
  ASSERT_EQ(Run(SQL_STATEMENT_SELECT), 1) << Dump(*holder);
  cursor->AttachRowCache(1);
  EXPECT_EQ(Read(READ_LAST), u"8");
  EXPECT_EQ(Read(READ_PREVIOUS), u"7");
  EXPECT_TRUE(Calls({"OCIAttrSet"}).empty());
}

}  // namespace
