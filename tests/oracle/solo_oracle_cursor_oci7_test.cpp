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

// Without locators to return, a LOB column takes its NULL in the text and the row goes in with no LOB write.
TEST_F(Oci7Cursor, ALobTableTakesRowsWithoutReturning) {
  ASSERT_EQ(Sql(u"CREATE TABLE T (K NUMBER(10) PRIMARY KEY, C CLOB)"), 1) << Dump(*holder);
  Describe({{u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, 2}, {u"C", COLUMN_TYPE_TEXT_MEMO, 0, 0, 112}});
  SetInt(u"K", 1);
  CHostValue none;
  none.SetType(HOST_TYPE_TEXT_BUFFER);
  none.SetNull(true);
  ASSERT_TRUE(columns->pFindColumnByName(u"C")->bSetValue(none, 0));
  StandIn::Get().ClearCallLog();
  ASSERT_EQ(Run(SQL_STATEMENT_INSERT), 1) << Dump(*holder);
  EXPECT_EQ(Text(), u"INSERT INTO T (K, C) VALUES ( :1 , NULL )");
  EXPECT_TRUE(Calls({"OCILob"}).empty());
  EXPECT_EQ(Fetch(u"SELECT COUNT(*) FROM T WHERE C IS NULL"), u"1");
}

// Named values go at execution: the OCI7 set asks for each, and takes a long text in one piece and an empty one as a
// last piece with nothing in it.
TEST_F(Oci7Cursor, NamedValuesAreSentAsPiecesWhenAskedFor) {
  ASSERT_EQ(Sql(u"CREATE TABLE T (K NUMBER(10) PRIMARY KEY, V LONG)"), 1) << Dump(*holder);
  Describe({{u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, 2}, {u"V", COLUMN_TYPE_TEXT_MEMO, 0, 0, 8}});
  const std::string big = "a" + std::string(39998, 'b') + "z";
  for (std::int32_t k : {1, 2}) {
    CSqlRewriter* insert = Keep(table->pNewSqlStatement());
    ASSERT_TRUE(insert->nAppendText(u"INSERT INTO T (K, V) VALUES ("));
    auto add = [&](const char16_t* name, std::uint8_t type, const void* data) {
      CFieldValue* value = NewValue(type);
      CHostValue held;
      held.SetType(type);
      held.Set(data);
      ASSERT_TRUE(value->bSetValue(held)) << Dump(*holder);
      AddParameter(insert, value, name);
    };
    add(u"K", HOST_TYPE_INT32, &k);
    ASSERT_TRUE(insert->nAppendText(u", "));
    // 8-bit text: the set has no Unicode columns.
    add(u"V", HOST_TYPE_ASTRING, k == 1 ? big.c_str() : "");
    ASSERT_TRUE(insert->nAppendText(u")"));
    insert->SetStatementKind(SQL_STATEMENT_INSERT);
    ASSERT_TRUE(cursor->bSetStatement(insert));
    StandIn::Get().ClearCallLog();
    ASSERT_EQ(cursor->bPrepareAndExecute(0, 0), 1) << Dump(*holder);
    const std::vector<std::string> pieces = Calls({"osetpi"});
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_NE(pieces[0].find(k == 1 ? "piece=0" : "piece=3"), std::string::npos) << pieces[0];
  }
  EXPECT_EQ(Fetch(u"SELECT LENGTH(V) || SUBSTR(V, 40000, 1) FROM T WHERE K = 1"), u"40000z");
  EXPECT_EQ(Fetch(u"SELECT COUNT(*) FROM T WHERE V IS NULL"), u"1");
}

}  // namespace
