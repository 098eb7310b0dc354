// A version 8 client: a Unicode result column or parameter is refused with error 1047 before anything is defined or
// bound; other columns define as usual.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "engine_connection_fixture.h"
#include "oracle_statement_helpers.h"

namespace {

using namespace ocitest;

class OldClientBinding : public COracleEngineFixture<OracleObjectsDriver> {
 protected:
  OldClientBinding() : COracleEngineFixture("OLDBIND") {}
  static void SetUpTestSuite() {
    ::setenv("QZOCI_CLIENT_VERSION", "8.1.7", 1);
    COracleEngineFixture::SetUpTestSuite();
  }
};

TEST_F(OldClientBinding, UnicodeColumnsAndParametersFailWith1047) {
  ASSERT_EQ(gnOciClientMajorVersion, 8);
  ASSERT_TRUE(connection->bExecuteSql(holder, u"CREATE TABLE T (N NVARCHAR2(10), V VARCHAR2(10))")) << Dump(*holder);
  OracleColumns columns(connection, holder, {{u"N", COLUMN_TYPE_WTEXT, 22, COLUMN_TYPE_WTEXT, 5},
                                             {u"V", COLUMN_TYPE_TEXT, 11, COLUMN_TYPE_TEXT, 5}});
  ASSERT_TRUE(columns.bBuilt()) << Dump(*holder);
  auto* statement = Keep(new OciTestStatement(connection, holder));
  ASSERT_TRUE(statement->Prepare(u"SELECT N, V FROM T"));
  StandIn::Get().ClearCallLog();
  struct Case {
    const char16_t* column;
    bool refused;
  } cases[] = {{u"N", true}, {u"V", false}};
  std::uint32_t position = 0;
  for (const Case& c : cases) {
    holder->Clear();
    auto* element = Keep(new CSqlElement(columns.Column(c.column)));
    auto* binding = Keep(new COracleParameterBinding(element, ++position));
    EXPECT_EQ(binding->bPrepare(statement), c.refused ? 0 : 1) << Dump(*holder);
    EXPECT_EQ(holder->nGetErrorCode(), c.refused ? 1047u : 0u);
    EXPECT_EQ(StandIn::Get().LastCall("OCIDefineByPos").empty(), c.refused);
  }

  // A parameter whose value is a Unicode column's.
  auto* value = Keep(new COracleFieldValue(holder, connection));
  CHostValue text;
  text.SetType(HOST_TYPE_WSTRING);
  text.SetFromBuffer(u"n", 2);
  value->InitType(HOST_TYPE_WSTRING, 0);
  ASSERT_TRUE(value->bSetValue(text));
  value->SetDescriptors(columns.Column(u"N")->pGetDescriptorNoRef(), nullptr);
  auto* leaf = Keep(new CValueLeaf(value, 1, 0, u"N"));
  auto* parameter = Keep(new COracleParameter(leaf, 1));
  holder->Clear();
  EXPECT_FALSE(parameter->bBind(holder, statement->pGetOciStatement(), connection));
  EXPECT_EQ(holder->nGetErrorCode(), 1047u);
  EXPECT_TRUE(StandIn::Get().LastCall("OCIBindByName").empty());
}

}  // namespace
