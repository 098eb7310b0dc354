// The Oracle record description on the OCI stand-in: tables of every type, views and synonyms described through
// the client, a looping chain of synonyms, an unknown type, a statement's select list, long comments through the
// driver object; and, on catalog rows a scripted cursor answers, the defaults and keys with the texts that ask
// for them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "foundation/clone_map.h"
#include "foundation/hash_table.h"
#include "oracle/client/oci_wrappers.h"
#include "oracle/oracle_driver.h"
#include "oracle/oracle_record_description.h"
#include "tests/slot_of.h"
#include "catalog_rows_driver.h"
#include "engine_connection_fixture.h"

namespace {

using namespace ocitest;

class OracleRecordDescriptionTest : public COracleEngineFixture<CatalogRowsDriver> {
 protected:
  OracleRecordDescriptionTest() : COracleEngineFixture("DESCRIBE") {}
  void SetUp() override {
    COracleEngineFixture::SetUp();
    testDriver.MakeResultDescription(connection, holder);
    releases.push_back([this] { testDriver.ReleaseResultDescription(); });
  }
  void Run(const char16_t* sql) { ASSERT_EQ(connection->bExecuteSql(holder, sql), 1) << Dump(*holder); }
  COracleRecordDescription* NewDescription() {
    return Keep(new COracleRecordDescription(connection, holder));
  }
  // A description loaded by name; its result in `loaded`.
  COracleRecordDescription* Describe(const char16_t* name, int& loaded) {
    COracleRecordDescription* description = NewDescription();
    holder->Clear();
    loaded = description->bLoadByName(name, name, 0);
    return description;
  }
  CColumnDescriptor* Item(CRecordDescription* description, const char16_t* name) {
    return description->piFindItemByName(name, FIND_ITEM_DEFAULT);
  }
  std::vector<std::u16string> Names(CRecordDescription* description) {
    std::vector<std::u16string> names;
    for (std::uint32_t i = 0; i < description->nGetItemCount(); ++i) {
      names.emplace_back(description->pGetItemAt(i)->pszGetName());
    }
    return names;
  }
};

TEST_F(OracleRecordDescriptionTest, EveryTypeHasItsColumnTypeSizeDigitsAndNullability) {
  Run(u"CREATE TABLE ALLTYPES (C VARCHAR2(10) NOT NULL, NC NVARCHAR2(10), CH CHAR(3), N NUMBER, N9 NUMBER(9), "
      u"N52 NUMBER(5,2), N30 NUMBER(30,4), F FLOAT, D DATE, TS TIMESTAMP(3), TZ TIMESTAMP WITH TIME ZONE, "
      u"IY INTERVAL YEAR TO MONTH, R RAW(16), L LONG, LR LONG RAW, CL CLOB, NCL NCLOB, BL BLOB, BF BFILE)");
  int loaded = 0;
  COracleRecordDescription* description = Describe(u"ALLTYPES", loaded);
  ASSERT_EQ(loaded, 1) << Dump(*holder);
  EXPECT_EQ(description->nGetObjectKind(), ORACLE_OBJECT_TABLE);
  struct Expected {
    const char16_t* name;
    std::uint32_t type;
    std::uint32_t size;
    std::uint32_t oracleType;
  };
  const Expected expected[] = {
      {u"C", COLUMN_TYPE_TEXT, 11, 1},          {u"NC", COLUMN_TYPE_WTEXT, 22, 1},
      {u"CH", COLUMN_TYPE_TEXT, 4, 96},         {u"N", COLUMN_TYPE_REAL8, 8, 2},
      {u"N9", COLUMN_TYPE_INT32, 4, 2},         {u"N52", COLUMN_TYPE_CURRENCY, 10, 2},
      {u"N30", COLUMN_TYPE_DECIMAL, 13, 2},     {u"F", COLUMN_TYPE_REAL8, 8, 4},
      {u"D", COLUMN_TYPE_DATETIME, 8, 12},      {u"TS", COLUMN_TYPE_DATETIME, 8, 187},
      {u"TZ", COLUMN_TYPE_DATETIME, 8, 188},    {u"IY", COLUMN_TYPE_VALUE8, 8, 189},
      {u"R", COLUMN_TYPE_BINARY, 18, 23},       {u"L", COLUMN_TYPE_TEXT_MEMO, 8, 8},
      {u"LR", COLUMN_TYPE_BINARY_MEMO, 8, 24},  {u"CL", COLUMN_TYPE_TEXT_MEMO, 8, 112},
      {u"NCL", COLUMN_TYPE_WTEXT_MEMO, 8, 112}, {u"BL", COLUMN_TYPE_BINARY_MEMO, 8, 113},
      {u"BF", COLUMN_TYPE_BINARY_MEMO, 8, 114},
  };
  ASSERT_EQ(description->nGetItemCount(), std::size(expected));
  for (std::uint32_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(expected[i].name)));
    CColumnDescriptor* item = description->pGetItemAt(i);
    EXPECT_EQ(std::u16string(item->pszGetName()), expected[i].name);
    EXPECT_EQ(item->nGetType(), expected[i].type);
    EXPECT_EQ(item->nGetSize(), expected[i].size);
    EXPECT_EQ(item->nGetServerTypeCode(), expected[i].oracleType);
    EXPECT_EQ(std::u16string(item->pszGetTableName()), u"ALLTYPES");
    EXPECT_EQ(item->bIsNullAllowed(), i == 0 ? 0 : 1);
  }
  EXPECT_EQ(Item(description, u"N30")->nGetPrecision(), 26u);
  EXPECT_EQ(Item(description, u"N30")->nGetScale(), 4u);
  EXPECT_EQ(Item(description, u"TS")->nGetScale(), 3u);
  EXPECT_GT(description->nGetRecordSize(), 0u) << "laid out";
}

TEST_F(OracleRecordDescriptionTest, ViewsAndSynonymsAreDescribedThroughTheirTarget) {
  Run(u"CREATE TABLE BASE (K NUMBER(9) NOT NULL, V VARCHAR2(20))");
  Run(u"CREATE VIEW BASE_VIEW AS SELECT V, K FROM BASE");
  Run(u"CREATE SYNONYM BASE_SYN FOR BASE");
  Run(u"CREATE SYNONYM SYN_OF_SYN FOR BASE_SYN");
  int loaded = 0;
  COracleRecordDescription* view = Describe(u"BASE_VIEW", loaded);
  ASSERT_EQ(loaded, 1) << Dump(*holder);
  EXPECT_EQ(view->nGetObjectKind(), ORACLE_OBJECT_VIEW);
  EXPECT_EQ(Names(view), (std::vector<std::u16string>{u"V", u"K"}));
  for (const char16_t* name : {u"BASE_SYN", u"SYN_OF_SYN"}) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(name)));
    COracleRecordDescription* synonym = Describe(name, loaded);
    ASSERT_EQ(loaded, 1) << Dump(*holder);
    EXPECT_EQ(synonym->nGetObjectKind(), ORACLE_OBJECT_SYNONYM);
    EXPECT_EQ(std::u16string(synonym->pszGetSynonymTarget()), u"SYSTEM.BASE");
    EXPECT_EQ(Names(synonym), (std::vector<std::u16string>{u"K", u"V"}));
    EXPECT_EQ(Item(synonym, u"K")->nGetType(), COLUMN_TYPE_INT32);
  }
  // Copies keep what the describe found.
  COracleRecordDescription* synonym = Describe(u"BASE_SYN", loaded);
  auto* copy = static_cast<COracleRecordDescription*>(synonym->pCopy(0));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->nGetObjectKind(), ORACLE_OBJECT_SYNONYM);
  EXPECT_EQ(std::u16string(copy->pszGetSynonymTarget()), u"SYSTEM.BASE");
  copy->nRelease();
  CHashTable map;
  auto* clone = static_cast<COracleRecordDescription*>(synonym->pClone(map));
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->nGetObjectKind(), ORACLE_OBJECT_SYNONYM);
  EXPECT_EQ(std::u16string(clone->pszGetSynonymTarget()), u"SYSTEM.BASE");
  EXPECT_EQ(clone->nSlot48(), 15);
  clone->nRelease();
}

TEST_F(OracleRecordDescriptionTest, ALoopingChainOfSynonymsFailsTheDescribe) {
  Run(u"CREATE TABLE LOOP_TARGET (A NUMBER)");
  Run(u"CREATE SYNONYM LOOP_A FOR LOOP_TARGET");
  Run(u"CREATE SYNONYM LOOP_B FOR LOOP_A");
  Run(u"DROP SYNONYM LOOP_A");
  Run(u"CREATE SYNONYM LOOP_A FOR LOOP_B");
  int loaded = 1;
  Describe(u"LOOP_A", loaded);
  EXPECT_EQ(loaded, 0);
  EXPECT_EQ(holder->nGetNativeErrorCode(), 1775u) << Dump(*holder);
  EXPECT_TRUE(HasPoint(*holder, 2, 101));
}

TEST_F(OracleRecordDescriptionTest, AnUnsupportedTypeFailsTheDescribeNamingTheColumn) {
  Run(u"CREATE TABLE ODD (A NUMBER, X XMLTYPE, B NUMBER)");
  int loaded = 1;
  Describe(u"ODD", loaded);
  EXPECT_EQ(loaded, 0);
  EXPECT_EQ(holder->nGetErrorCode(), 1023u);
  EXPECT_TRUE(HasPoint(*holder, 1, 101));
  EXPECT_TRUE(HasMessageText(*holder, u"108")) << Dump(*holder);
}

TEST_F(OracleRecordDescriptionTest, AStatementsSelectListFillsTheDescriptionWithoutTableText) {
  Run(u"CREATE TABLE SEL (K NUMBER(9), V VARCHAR2(20), W NVARCHAR2(5))");
  void* statement = nOciHandleAlloc(connection, holder, 4);
  ASSERT_NE(statement, nullptr);
  const char16_t* text = u"SELECT V, K FROM SEL";
  ASSERT_TRUE(nOciStmtPrepare(connection, holder, statement, text));
  ASSERT_TRUE(nOciStmtExecute(connection, holder, statement, text, 1, 0x10, nullptr, 0)) << Dump(*holder);
  COracleRecordDescription* description = NewDescription();
  ASSERT_EQ(description->bFillFromCursor(statement, 0), 1) << Dump(*holder);
  EXPECT_EQ(Names(description), (std::vector<std::u16string>{u"V", u"K"}));
  EXPECT_EQ(std::u16string(Item(description, u"V")->pszGetTableName()), u"");
  // With reuse an item of the same name stays as it was, and only new names add items.
  Item(description, u"K")->SetPrecision(77);
  const char16_t* wider = u"SELECT K, W FROM SEL";
  ASSERT_TRUE(nOciStmtPrepare(connection, holder, statement, wider));
  ASSERT_TRUE(nOciStmtExecute(connection, holder, statement, wider, 1, 0x10, nullptr, 0)) << Dump(*holder);
  ASSERT_EQ(description->bFillFromCursor(statement, 1), 1) << Dump(*holder);
  EXPECT_EQ(Names(description), (std::vector<std::u16string>{u"V", u"K", u"W"}));
  EXPECT_EQ(Item(description, u"K")->nGetPrecision(), 77u);
  nOciHandleFree(connection, holder, statement, 4);
}

TEST_F(OracleRecordDescriptionTest, LongCommentsReachTheItemsAlsoThroughASynonym) {
  Run(u"CREATE TABLE NOTED (A NUMBER, B NUMBER)");
  Run(u"CREATE SYNONYM NOTED_SYN FOR NOTED");
  const std::u16string comment(300, u'c');
  Run((u"COMMENT ON COLUMN NOTED.B IS '" + comment + u"'").c_str());
  auto* oracleDriver = static_cast<COracleDriver*>(driver);
  for (const char16_t* name : {u"NOTED", u"NOTED_SYN"}) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(name)));
    holder->Clear();
    CRecordDescription* description = oracleDriver->pCreateDescriptionFor(name, connection);
    ASSERT_NE(description, nullptr) << Dump(*holder);
    Keep(description)->nRelease();
    EXPECT_FALSE(holder->bHasError()) << Dump(*holder);
    EXPECT_EQ(std::u16string(Item(description, u"B")->pszGetAlias()), comment);
    EXPECT_EQ(std::u16string(Item(description, u"A")->pszGetAlias()), u"");
  }
}

TEST(OracleRecordDescriptionSlots, TheOperationsItChangesKeepTheirSlotsAndTheCopyComesLast) {
  const std::map<std::string, std::size_t> compiled = {
      QZ_SLOT(COracleRecordDescription, pCopy),   QZ_SLOT(COracleRecordDescription, CopyFrom),
      QZ_SLOT(COracleRecordDescription, pClone),  QZ_SLOT(COracleRecordDescription, bLoad),
      QZ_SLOT(COracleRecordDescription, nSlot48), QZ_SLOT(COracleRecordDescription, bCopyFrom)};
  ExpectSlotComments("oracle/oracle_record_description.h", compiled, "COracleRecordDescription");
}

// ---- defaults and keys from catalog rows ----

TEST_F(OracleRecordDescriptionTest, DefaultsThatAreNoLiteralArePassedOverAndTheRestTaken) {
  COracleRecordDescription* description = NewDescription();
  description->SetName(u"T");
  auto add = [&](const char16_t* name, std::uint32_t type, std::uint32_t size) {
    CColumnDescriptor* item = pCreateColumnDescriptorThroughDriver(nullptr, 0);
    item->bSetAll(name, u"T", u"", 1, size, type, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0);
    ASSERT_TRUE(description->AddItem(item));
  };
  add(u"D", COLUMN_TYPE_DATETIME, 8);
  add(u"X", COLUMN_TYPE_INT32, 4);
  add(u"S", COLUMN_TYPE_TEXT, 21);
  add(u"N", COLUMN_TYPE_INT32, 4);
  add(u"Q", COLUMN_TYPE_TEXT, 21);
  testDriver.answers[u"SELECT COLUMN_NAME, DATA_DEFAULT FROM ALL_TAB_COLUMNS WHERE OWNER = "] = {
      {u"D", u"SYSDATE\n"}, {u"X", u"'abc'"}, {u"S", u"USER"}, {u"N", u"42 "}, {u"Q", u"'it''s'"}};
  holder->Clear();
  EXPECT_EQ(description->bLoadDefaults(), 1);
  EXPECT_FALSE(holder->bHasError()) << Dump(*holder);
  EXPECT_EQ(testDriver.script.texts,
            std::vector<std::u16string>{
                u"SELECT COLUMN_NAME, DATA_DEFAULT FROM ALL_TAB_COLUMNS WHERE OWNER = 'SYSTEM' AND TABLE_NAME = 'T'"});
  auto text = [&](const char16_t* name) {
    CHostValue value;
    value.Assign(*Item(description, name)->pGetDefaultValue());
    value.EnsureWideText();
    const char16_t* units = nullptr;
    return value.nGetWideText(&units) == 0 && units ? std::u16string(units) : std::u16string();
  };
  EXPECT_EQ(text(u"S"), u"") << "USER is the server's to compute";
  std::int32_t n = 0;
  Item(description, u"N")->pGetDefaultValue()->nGet(&n);
  EXPECT_EQ(n, 42);
  EXPECT_EQ(text(u"Q"), u"it's");
}

TEST_F(OracleRecordDescriptionTest, DefaultsFallBackToALikeSearchMatchingTheNamesAlone) {
  COracleRecordDescription* description = NewDescription();
  description->SetName(u"MY_T%");
  description->SetOwnerName(u"O'\\X");
  holder->Clear();
  EXPECT_EQ(description->bLoadDefaults(), 1);
  EXPECT_EQ(testDriver.script.texts,
            (std::vector<std::u16string>{
                u"SELECT COLUMN_NAME, DATA_DEFAULT FROM ALL_TAB_COLUMNS WHERE OWNER = 'O''\\X' AND "
                u"TABLE_NAME = 'MY_T%'",
                u"SELECT COLUMN_NAME, DATA_DEFAULT FROM ALL_TAB_COLUMNS WHERE OWNER LIKE 'O''\\\\X' ESCAPE '\\' AND "
                u"TABLE_NAME LIKE 'MY\\_T\\%' ESCAPE '\\'"}));
}

TEST_F(OracleRecordDescriptionTest, KeysComeFromWholeIndexesOnly) {
  COracleRecordDescription* description = NewDescription();
  description->SetName(u"T");
  for (const char16_t* name : {u"A", u"B", u"C", u"D"}) {
    CColumnDescriptor* item = pCreateColumnDescriptorThroughDriver(nullptr, 0);
    item->bSetAll(name, u"T", u"", 1, 4, COLUMN_TYPE_INT32, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0);
    ASSERT_TRUE(description->AddItem(item));
  }
  // As the catalog orders them: by index, highest position first. IX_BAD names a column T lacks; IX_HALF's row of
  // position 1 never comes.
  testDriver.answers[u"SELECT ALL_IND_COLUMNS.INDEX_NAME"] = {
      {u"IX_AB", u"B", u"2", u"UNIQUE"},       {u"IX_AB", u"A", u"1", u"UNIQUE"},
      {u"IX_BAD", u"HIDDEN", u"2", u"UNIQUE"}, {u"IX_BAD", u"A", u"1", u"UNIQUE"},
      {u"IX_C", u"C", u"1", u"NONUNIQUE"},     {u"IX_HALF", u"B", u"2", u"UNIQUE"},
      {u"IX_NEXT", u"D", u"1", u"UNIQUE"}};
  holder->Clear();
  EXPECT_EQ(description->bLoadIndexes(u"T"), 1);
  EXPECT_EQ(testDriver.script.texts,
            std::vector<std::u16string>{
                u"SELECT ALL_IND_COLUMNS.INDEX_NAME, ALL_IND_COLUMNS.COLUMN_NAME, ALL_IND_COLUMNS.COLUMN_POSITION, "
                u"ALL_INDEXES.UNIQUENESS FROM  SYS.ALL_IND_COLUMNS,SYS.ALL_INDEXES WHERE "
                u"ALL_IND_COLUMNS.INDEX_NAME=ALL_INDEXES.INDEX_NAME AND ALL_IND_COLUMNS.INDEX_OWNER=ALL_INDEXES.OWNER "
                u"AND ALL_IND_COLUMNS.TABLE_OWNER='SYSTEM' AND ALL_IND_COLUMNS.TABLE_NAME='T' "
                u"ORDER BY INDEX_NAME,COLUMN_POSITION DESC"});
  ASSERT_EQ(description->nGetKeyCount(), 3u);
  CColumnDescriptor* composite = description->pGetKeyAt(0);
  EXPECT_EQ(std::u16string(composite->pszGetName()), u"IX_AB");
  EXPECT_EQ(composite->nGetFlags(), COLUMN_FLAG_UNIQUE | COLUMN_FLAG_ASCENDING | COLUMN_FLAG_COMPOSITE_KEY);
  ASSERT_EQ(composite->nGetComponentCount(), 2u);
  EXPECT_EQ(std::u16string(composite->pGetComponentAt(0)->pszGetName()), u"A");
  EXPECT_EQ(std::u16string(composite->pGetComponentAt(1)->pszGetName()), u"B");
  EXPECT_EQ(description->pGetKeyAt(1), Item(description, u"C"));
  EXPECT_EQ(Item(description, u"C")->nGetFlags(), COLUMN_FLAG_DUPLICATES | COLUMN_FLAG_ASCENDING);
  EXPECT_EQ(description->pGetKeyAt(2), Item(description, u"D"));
  EXPECT_EQ(Item(description, u"A")->bIsKeyed(), 0) << "IX_BAD lent A no key";
  EXPECT_EQ(Item(description, u"D")->nGetKeyNumber(), 2u);
}

}  // namespace
