// What the Oracle driver object answers from the configuration file and the dictionary: the database list, the native
// type list, and the referential-links query it runs for a table name.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "host/host_value.h"
#include "oracle/oracle_driver.h"
#include "tests/doubles/internal_query_doubles.h"
#include "tests/engine/table_fixture.h"

namespace {

class DriverCatalogTest : public TableFixture {
 protected:
  void SetUp() override {
    TableFixture::SetUp();
    oracle = new COracleDriver();
    oracle->AddRef();
    oracle->SetErrorHolder(holder);
  }
  void TearDown() override {
    oracle->nRelease();
    TableFixture::TearDown();
  }
  std::u16string Text(CHostValue& value) {
    const char16_t* text = nullptr;
    value.EnsureWideText();
    value.nGetWideText(&text);
    return text ? text : u"";
  }
  COracleDriver* oracle = nullptr;
};

TEST_F(DriverCatalogTest, DatabasesComeFromTheBaseSectionOfTheWindowsDirectorysFileWithTheirPrefix) {
  const auto directory = std::filesystem::temp_directory_path() / ("qz_bases_" + std::to_string(::getpid()));
  std::filesystem::create_directories(directory);
  ASSERT_EQ(::setenv("QZ_WINDOWS_DIR", directory.c_str(), 1), 0);
  CHostValue value;
  EXPECT_EQ(oracle->bListDatabases(&value), 1);
  EXPECT_EQ(Text(value), u"") << "no file: an empty list";
  std::ofstream(directory / "qzorains.ini") << "[OTHER]\nX=1\n[BASE]\nPROD=a\nTEST = b\n";
  EXPECT_EQ(oracle->bListDatabases(&value), 1);
  EXPECT_EQ(value.nGetType(), HOST_TYPE_TEXT);
  EXPECT_FALSE(value.bIsNull());
  EXPECT_EQ(Text(value), u"ORA:PROD\r\nORA:TEST");
  ::unsetenv("QZ_WINDOWS_DIR");
  std::filesystem::remove_all(directory);

  EXPECT_EQ(oracle->bGetNativeTypeList(&value), 1);
  EXPECT_EQ(Text(value),
            u"CHAR\t9\r\nVARCHAR2\t20\r\nRAW\t6\r\nLONG\t7\r\nLONG RAW\t4\r\nFLOAT\t14\r\nNUMERIC\t10\r\nDATE\t17\r\n");
}

TEST_F(DriverCatalogTest, TheLinksQueryTakesOwnerAndTablePatternsFromTheName) {
  KeyValueTable({});
  doubles::InternalQueryDriver internal;
  internal.resultDescription = description;
  gpDriver = &internal;
  const struct {
    const char16_t* name;
    std::u16string owner, table;
  } rows[] = {
      {u"SCOTT.EMP", u"SCOTT", u"EMP"},
      {u"EMP", u"%", u"EMP"},
      {u"O'HARA.T'1", u"O''HARA", u"T''1"},  // a quote stays inside its literal
      {u"S%.T_1", u"S\\%", u"T\\_1"},        // a wildcard in a name matches itself alone
  };
  for (const auto& row : rows) {
    CHostValue value;
    ASSERT_EQ(oracle->bGetReferentialLinks(connection, reinterpret_cast<RuntimeWord>(row.name), 0, &value, 0), 1);
    EXPECT_EQ(value.nGetType(), HOST_TYPE_WSTRING);
    EXPECT_EQ(Text(value), u"") << "no link";
    const std::u16string& text = internal.script.texts.back();
    EXPECT_NE(text.find(u"all_constraints.owner like '" + row.owner +
                        u"' escape '\\' and all_constraints.table_name like '" + row.table + u"' escape '\\' and"),
              std::u16string::npos)
        << std::string(row.name, row.name + 3);
    EXPECT_NE(text.find(u"all_r_cons.owner like '" + row.owner + u"' escape '\\' and all_r_cons.table_name like '" +
                        row.table + u"' escape '\\' and all_r_cons.constraint_type='R' --contraintes R de la table"),
              std::u16string::npos);
    EXPECT_EQ(text.rfind(u"-- sélection des contraintes primaires ou uniques P\r\n", 0), 0u);
    // Both halves join the referencing column on its own constraint's owner: links between schemas are found.
    EXPECT_EQ(text.find(u"r_col.owner=all_constraints.owner"), std::u16string::npos);
    EXPECT_NE(text.find(u"r_col.owner=all_r_cons.owner  --colonne R \r\n\tand p_col.position=r_col.position -- une"),
              std::u16string::npos);
  }
}

}  // namespace
