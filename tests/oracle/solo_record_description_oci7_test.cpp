// The Oracle record description on the OCI7 set of the stand-in: a table described by selecting from it, its kind
// read from ALL_OBJECTS, an unsupported type in the middle of the select list, a statement's select list, and the
// comments through the driver object.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "oracle/client/client_loader.h"
#include "oracle/client/oci_wrappers.h"
#include "oracle/oracle_driver.h"
#include "oracle/oracle_record_description.h"
#include "catalog_rows_driver.h"
#include "session_driver_helpers.h"
#include "tests/host/host_value_fixture.h"

namespace {

using namespace ocitest;

class OracleRecordDescriptionOci7 : public CHostValueFixture {};

TEST_F(OracleRecordDescriptionOci7, DescribesBySelectingFromTheObject) {
  doubles::EnsureLibrary();
  void* driver = piQueryInterface();
  auto* holder = CallSlot<CErrorHolder*>(driver, kDriverHolder);
  const std::filesystem::path windows = std::filesystem::temp_directory_path() / "qz_describe_oci7_windows";
  std::filesystem::create_directories(windows);
  std::ofstream(windows / "qzorains.ini") << "[OPTIONS]\nLOADORACLE8CLIENT=0\n";
  ASSERT_EQ(::setenv("QZ_WINDOWS_DIR", windows.c_str(), 1), 0);
  ASSERT_TRUE(LoadClientThenMakeDataSource(driver, holder, "DESCRIBE7", u"")) << Dump(*holder);
  ASSERT_EQ(gbOci7Mode, 1u);
  auto description = Description(u"describe7", u"DESCRIBE7");
  ASSERT_EQ(CallSlot<int>(driver, kDriverOpen, description.get()), 1) << Dump(*holder);
  COracleConnection* connection = ConnectionOf(driver, *description);
  CDriver* saved = gpDriver;
  CatalogRowsDriver catalog;
  gpDriver = &catalog;
  catalog.MakeResultDescription(connection, holder);

  ASSERT_EQ(connection->bExecuteSql(holder, u"CREATE TABLE T7 (K NUMBER(9) NOT NULL, V VARCHAR2(20), NV NVARCHAR2(4))"),
            1);
  ASSERT_EQ(connection->bExecuteSql(holder, u"COMMENT ON COLUMN T7.V IS 'the value'"), 1) << Dump(*holder);
  ASSERT_EQ(connection->bExecuteSql(holder, u"CREATE TABLE ODD7 (A NUMBER, X XMLTYPE, B NUMBER)"), 1);
  catalog.answers[u"SELECT  OWNER,OBJECT_NAME,OBJECT_TYPE FROM ALL_OBJECTS"] = {{u"SYSTEM", u"T7", u"VIEW"}};

  // Through the driver object: the describe, the kind the catalog gave (a view reads no defaults), the comments.
  holder->Clear();
  CRecordDescription* loaded = static_cast<COracleDriver*>(driver)->pCreateDescriptionFor(u"T7", connection);
  ASSERT_NE(loaded, nullptr) << Dump(*holder);
  auto* t7 = static_cast<COracleRecordDescription*>(loaded);
  ASSERT_EQ(t7->nGetItemCount(), 3u);
  EXPECT_EQ(t7->pGetItemAt(0)->nGetType(), COLUMN_TYPE_INT32);
  EXPECT_EQ(t7->pGetItemAt(0)->bIsNullAllowed(), 0);
  EXPECT_EQ(t7->pGetItemAt(1)->nGetType(), COLUMN_TYPE_TEXT);
  EXPECT_EQ(t7->pGetItemAt(1)->nGetSize(), 21u);
  EXPECT_EQ(std::u16string(t7->pGetItemAt(1)->pszGetAlias()), u"the value");
  EXPECT_EQ(t7->nGetObjectKind(), ORACLE_OBJECT_VIEW);
  ASSERT_GE(catalog.script.texts.size(), 2u);
  EXPECT_EQ(catalog.script.texts[0],
            u"SELECT  OWNER,OBJECT_NAME,OBJECT_TYPE FROM ALL_OBJECTS WHERE OBJECT_NAME='T7' AND OBJECT_TYPE NOT LIKE "
            u"'INDEX%' AND OWNER='SYSTEM' ");
  for (const std::u16string& text : catalog.script.texts) EXPECT_EQ(text.find(u"DATA_DEFAULT"), std::u16string::npos);
  loaded->nRelease();

  // A column of a type the driver does not hold fails the describe: it is not the end of the select list.
  auto* odd = new COracleRecordDescription(connection, holder);
  odd->AddRef();
  holder->Clear();
  EXPECT_EQ(odd->bLoadByName(u"ODD7", u"ODD7", 0), 0);
  EXPECT_EQ(holder->nGetErrorCode(), 1023u) << Dump(*holder);
  odd->nRelease();

  // A statement's select list, the same way.
  void* statement = nOciHandleAlloc(connection, holder, 4);
  ASSERT_NE(statement, nullptr);
  for (const char16_t* text : {u"SELECT V, K FROM T7", u"SELECT A, X, B FROM ODD7"}) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(text)));
    ASSERT_TRUE(nOciStmtPrepare(connection, holder, statement, text));
    auto* filled = new COracleRecordDescription(connection, holder);
    filled->AddRef();
    holder->Clear();
    const bool odd = std::u16string(text).find(u"ODD7") != std::u16string::npos;
    EXPECT_EQ(filled->bFillFromCursor(statement, 0), odd ? 0 : 1) << Dump(*holder);
    EXPECT_EQ(filled->nGetItemCount(), odd ? 1u : 2u);
    if (!odd) {
      EXPECT_EQ(std::u16string(filled->pGetItemAt(0)->pszGetTableName()), u"");
    }
    filled->nRelease();
  }
  nOciHandleFree(connection, holder, statement, 4);

  catalog.ReleaseResultDescription();
  gpDriver = saved;
  holder->Clear();
  CallSlot<int>(driver, kDriverClose, description.get());
  CallSlot<std::int32_t>(driver, kDriverRelease);
}

}  // namespace
