// The Oracle DDL types of the connection's type-name table (generic texts first, the Oracle ones over them), the
// character set of a code page and the NLS names of a locale identifier.
#include "oracle/oracle_type_names.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "foundation/error_holder.h"
#include "foundation/hash_table.h"
#include "foundation/t_string.h"
#include "oracle/oracle_connection.h"
#include "standin/runtime/runtime_objects.h"
#include "tests/doubles/driver_doubles.h"
#include "tests/support/column_descriptor_ref.h"

namespace {

class WithoutUnicodeColumns : public COracleConnection {
 public:
  using COracleConnection::COracleConnection;
  void RefuseUnicodeColumns() { m_bUnicodeColumnsAllowed = 0; }
};

class OracleTypeNames : public ::testing::Test {
 protected:
  void SetUp() override {
    doubles::EnsureLibrary();
    description.SetText(qzrt::ConnectionDescription::kDataSource, u"ORA:PROD");
    description.SetText(qzrt::ConnectionDescription::kDatabase, u"PRODDB");
  }
  IHostConnectionDescription* Host() { return reinterpret_cast<IHostConnectionDescription*>(&description); }
  std::u16string NativeType(COracleConnection& connection, CColumnDescriptor& column) {
    CTString text(u"none");
    EXPECT_TRUE(connection.pszGetNativeTypeName(&holder, column, text));
    return text.pszGet();
  }

  qzrt::ConnectionDescription description;
  CErrorHolder holder;
};

TEST_F(OracleTypeNames, TheConnectionWritesOracleTypesAndKeepsGenericOnesItLacks) {
  COracleConnection connection(u"cnx", Host());
  struct Case {
    DescriptorRef column;
    const char16_t* text;
  } cases[] = {
      {Column(1, 8), u"NUMERIC(19,0)"},
      {Column(19, 8), u"NUMERIC(19,0)"},
      {Column(25, 8), u"NUMERIC(19,0)"},
      {Column(5, 4), u"NUMERIC(10,0)"},
      {Column(22, 4), u"NUMERIC(10,0)"},
      {Column(28, 4), u"NUMERIC(10,0)"},
      {Column(4, 1), u"NUMERIC(3,0)"},
      {Column(12, 1), u"NUMERIC(3,0)"},
      {Column(27, 1), u"NUMERIC(3,0)"},
      {Column(3, 2), u"NUMERIC(5,0)"},
      {Column(9, 2), u"NUMERIC(5,0)"},
      {Column(20, 8), u"NUMERIC(20,0)"},
      {Column(2, 31), u"VARCHAR2(30)"},
      {Column(29, 62), u"NVARCHAR2(30)"},
      {Column(23, 18), u"RAW(16)"},
      {Column(10, 0), u"DATE"},
      {Column(14, 9), u"DATE"},
      {Column(15, 8), u"CLOB"},
      {Column(30, 8), u"NCLOB"},
      {Column(16, 0), u"BLOB"},
      {Column(18, 8), u"BLOB"},
      // The server is not known yet: no TIMESTAMP.
      {Column(24, 8), u"DATE"},
      {Column(11, 10), u"DATE"},
      // Kept from the generic texts.
      {Column(6, 4), u"REAL"},
      {Column(7, 8), u"FLOAT"},
      {Column(13, 0), u"FLOAT"},
      {Column(17, 10), u"NUMERIC(24,6)"},
      {Column(26, 1), u"CHARACTER"},
      {Column(21, 22), u"CHARACTER(22)"},
      {Column(31, 9, 12, 3), u"NUMERIC(15,3)"},
  };
  for (const Case& c : cases) EXPECT_EQ(NativeType(connection, *c.column), c.text) << c.column->nGetType();

  CTString text(u"kept");
  EXPECT_FALSE(connection.pszGetNativeTypeName(&holder, *Column(8, 0), text));
  EXPECT_EQ(std::u16string(text.pszGet()), u"kept");
}

TEST_F(OracleTypeNames, TimesFollowTheServerVersionAndLargeValuesTheApiSet) {
  struct Case {
    bool oci7;
    std::int32_t major;
    std::uint32_t type, size;
    const char16_t* text;
  } cases[] = {
      {false, 9, 24, 8, u"TIMESTAMP(3)"}, {false, 9, 11, 10, u"TIMESTAMP(3)"}, {false, 9, 11, 5, u"TIMESTAMP(0)"},
      {false, 8, 24, 8, u"DATE"},         {false, 8, 11, 10, u"DATE"},         {true, 10, 15, 8, u"LONG"},
      {true, 10, 30, 8, u"LONG"},         {true, 10, 16, 0, u"LONG RAW"},      {true, 10, 18, 8, u"LONG RAW"},
      {true, 10, 2, 11, u"VARCHAR2(10)"},
  };
  for (const Case& c : cases) {
    CTypeNameTable table;
    ASSERT_TRUE(FillGenericDdlTypes(&table));
    ASSERT_TRUE(FillOracleTypeNames(&table, c.oci7, c.major));
    CTString text;
    ASSERT_TRUE(bGetDdlTypeText(&table, *Column(c.type, c.size), text));
    EXPECT_EQ(std::u16string(text.pszGet()), c.text) << c.type << " on " << c.major;
  }

  // The connection asks its own server version when it builds its table.
  COracleConnection connection(u"cnx", Host());
  connection.SetServerVersionText(u"10.2.0.1");
  connection.ParseServerVersion(nullptr);
  EXPECT_EQ(NativeType(connection, *Column(11, 8)), u"TIMESTAMP(1)");
}

TEST_F(OracleTypeNames, UnicodeColumnsCanBeRefused) {
  WithoutUnicodeColumns connection(u"cnx", Host());
  connection.RefuseUnicodeColumns();
  EXPECT_EQ(NativeType(connection, *Column(2, 11)), u"VARCHAR2(10)");
  CTString text;
  EXPECT_FALSE(connection.pszGetNativeTypeName(&holder, *Column(29, 22), text));
  EXPECT_EQ(holder.nGetErrorCode(), 46u);
  const std::u16string message = holder.pszGetUserMessage();
  EXPECT_NE(message.find(u"PRODDB"), std::u16string::npos) << std::string(message.begin(), message.end());
  EXPECT_NE(message.find(u"ORA:PROD"), std::u16string::npos);
}

TEST(OracleCharsets, OfAnsiCodePages) {
  const std::pair<std::uint32_t, std::int32_t> cases[] = {
      {949, 846},  {950, 867},  {1250, 170}, {1251, 171}, {1252, 178}, {1253, 174}, {1254, 177}, {1255, 175},
      {1256, 560}, {1257, 179}, {1258, 45},  {874, -1},   {932, -1},   {936, -1},   {65001, -1}, {0, -1},
  };
  for (const auto& [codePage, id] : cases) EXPECT_EQ(nCodePageToOracleCharset(codePage), id) << codePage;
}

TEST(OracleNlsNames, OfLocaleIdentifiers) {
  struct Case {
    std::uint32_t lcid;
    const char16_t* language;
    const char16_t* territory;
  } cases[] = {
      {0x0409, u"AMERICAN", u"AMERICA"},
      {0x4001, u"ARABIC", u"QATAR"},
      // Spelled as the server spells them, so that their sessions open.
      {0x3001, u"ARABIC", u"LEBANON"},
      {0x240a, u"LATIN AMERICAN SPANISH", u"COLOMBIA"},
      {0x300a, u"LATIN AMERICAN SPANISH", u"ECUADOR"},
      {0x1c0a, u"LATIN AMERICAN SPANISH", u"PUERTO RICO"},
      {0x500a, u"LATIN AMERICAN SPANISH", u"PUERTO RICO"},
      {0x0427, u"LITHUANIAN", u"LITHUANIA"},
      {0x180a, u"LATIN AMERICAN SPANISH", u"Panama"},
      {0x4c0a, u"LATIN AMERICAN SPANISH", u"Nicaragua"},
      {0x1c1a, u"CYRILLIC SERBIAN", u"SERBIA AND MONTENEGRO"},
      {0x0456, u"SPANISH", u"SPAIN"},
      {0x1404, u"TRADITIONAL CHINESE", u"HONG KONG"},
      {0x042a, u"VIETNAMESE", u"VIETNAM"},
  };
  for (const Case& c : cases) {
    CTString language, territory;
    ASSERT_TRUE(bLcidToNlsNames(c.lcid, language, territory)) << c.lcid;
    EXPECT_EQ(std::u16string(language.pszGet()), c.language);
    EXPECT_EQ(std::u16string(territory.pszGet()), c.territory);
  }

  CTString language(u"L"), territory(u"T");
  EXPECT_FALSE(bLcidToNlsNames(0x0417, language, territory));
  EXPECT_EQ(std::u16string(language.pszGet()), u"L");
  EXPECT_EQ(std::u16string(territory.pszGet()), u"T");

  // 130 identifiers, every name upper case but the two the server takes as they are.
  std::uint32_t known = 0;
  for (std::uint32_t lcid = 0; lcid <= 0xFFFF; ++lcid) {
    if (!bLcidToNlsNames(lcid, language, territory)) continue;
    ++known;
    const std::u16string names = std::u16string(language.pszGet()) + territory.pszGet();
    const bool mixed = names.find_first_of(u"abcdefghijklmnopqrstuvwxyz") != std::u16string::npos;
    EXPECT_EQ(mixed, lcid == 0x180a || lcid == 0x4c0a) << lcid;
  }
  EXPECT_EQ(known, 130u);
}

}  // namespace
