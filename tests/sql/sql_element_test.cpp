// Statement elements, table references and the lists a rewriter keeps, on real field values, columns and value
// leaves, with tables whose reference members the test chooses.
#include "sql/rewriter/sql_element.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/record/column.h"
#include "engine/record/column_types.h"
#include "engine/table/table.h"
#include "foundation/clone_map.h"
#include "foundation/error_holder.h"
#include "foundation/hash_table.h"
#include "foundation/t_string.h"
#include "sql/driver_services.h"
#include "sql/rewriter/sql_element_lists.h"
#include "sql/rewriter/value_leaf.h"
#include "standin/runtime/query_objects.h"
#include "tests/engine/field_value_fixture.h"

namespace {

int gnLiveTables = 0;

// A table that answers what a table reference reads of it.
class ReferencedTable : public CTable {
 public:
  ReferencedTable(CConnection* connection, CErrorHolder* holder, CFieldValue* value, std::uint32_t flags)
      : CTable(nullptr, connection, holder), m_pValue(value), m_nFlags(flags) {
    ++gnLiveTables;
  }
  std::uint32_t nGetFlagWord() override { return m_nFlags; }
  CColumn* pGetReferenceItem() override { return nullptr; }
  CFieldValue* pGetReferenceValue() override { return m_pValue; }
  CTable* pClone(CHashTable&, RuntimeWord, RuntimeWord) override {
    return new ReferencedTable(m_pConnection, m_pErrorHolder, m_pValue, m_nFlags);
  }

 protected:
  ~ReferencedTable() override { --gnLiveTables; }

 private:
  CFieldValue* m_pValue;
  std::uint32_t m_nFlags;
};

class SqlElementTest : public CFieldValueFixture {
 protected:
  void SetUp() override {
    CFieldValueFixture::SetUp();
    gnLiveTables = 0;
    value = pCreateFieldValueThroughDriver(holder, connection);
    value->InitType(HOST_TYPE_TEXT, 0);
    value->AddRef();
  }
  void TearDown() override {
    EXPECT_EQ(value->nRelease(), 0u) << "every element gave the value back";
    EXPECT_EQ(gnLiveTables, 0);
    CFieldValueFixture::TearDown();
  }
  static std::u16string Of(const CTString& text) { return text.pszGet(); }

  CFieldValue* value = nullptr;
};

TEST_F(SqlElementTest, TableReferencesAreNumberedFromOne) {
  CSqlElementLists lists(holder, connection);
  auto* plain = new ReferencedTable(connection, holder, value, 0);
  auto* flagged = new ReferencedTable(connection, holder, value, 1u << 17);
  plain->AddRef();
  flagged->AddRef();
  EXPECT_EQ(lists.nAddTableRef(plain), 1);
  EXPECT_EQ(lists.nAddTableRef(flagged), 2);
  EXPECT_EQ(lists.nAddTableRef(plain), 3);
  ASSERT_EQ(lists.nGetTableRefCount(), 3u);
  EXPECT_EQ(lists.pGetTableRef(1)->nGetIndex(), 2u);
  EXPECT_EQ(lists.pGetTableRef(1)->pGetValue(), value);
  EXPECT_EQ(plain->nGetRefCount(), 3u);
  EXPECT_FALSE(lists.pGetTableRef(0)->bIsFlag17Set());
  EXPECT_TRUE(lists.pGetTableRef(1)->bIsFlag17Set());

  // A clone of a reference clones its table once through the map and keeps the index.
  CHashTable map;
  CSqlElement* copy = pCloneChild(map, static_cast<CSqlElement*>(lists.pGetTableRef(1)));
  ASSERT_NE(copy, nullptr);
  auto* reference = static_cast<CSqlTableRef*>(copy);
  EXPECT_EQ(reference->nGetIndex(), 2u);
  EXPECT_NE(reference->pGetTable(), flagged);
  EXPECT_TRUE(reference->bIsFlag17Set());
  EXPECT_EQ(gnLiveTables, 3);
  copy->nRelease();

  lists.Reset();
  EXPECT_EQ(lists.nGetTableRefCount(), 0u);
  plain->nRelease();
  flagged->nRelease();
}

TEST_F(SqlElementTest, ATableWithoutReferenceMembersIsNotFiled) {
  CSqlElementLists lists(holder, connection);
  auto* table = new ReferencedTable(connection, holder, value, 0);
  table->AddRef();
  ASSERT_EQ(lists.nAddTableRef(table), 1);
  table->nRelease();
  // A generic table not open has no row identifier for a reference's data: -1 with its error 19, nothing filed.
  auto* generic = new doubles::TestTable(nullptr, connection, holder);
  generic->AddRef();
  EXPECT_EQ(lists.nAddTableRef(generic), -1);
  EXPECT_EQ(holder->nGetErrorCode(), 19u);
  EXPECT_EQ(lists.nGetTableRefCount(), 1u);
  EXPECT_EQ(generic->nGetRefCount(), 1u);
  generic->nRelease();
  holder->Clear();
}

TEST_F(SqlElementTest, SelectTexts) {
  CSqlElementLists lists(holder, connection);
  CTString statement(u"SELECT ");
  ASSERT_TRUE(lists.bAddCountColumn(statement));
  EXPECT_EQ(Of(statement), u"SELECT COUNT(*) AS QZACCESNATIF_NBENR") << "no comma before the first column";
  ASSERT_EQ(lists.nGetSelectColumnCount(), 1u);
  EXPECT_EQ(lists.pGetSelectColumn(0)->pGetValue()->Value().nGetType(), HOST_TYPE_INT32);
  ASSERT_TRUE(lists.bAddSelectText(statement, u"A", value));
  EXPECT_EQ(Of(statement), u"SELECT COUNT(*) AS QZACCESNATIF_NBENR,A");

  CSqlElementLists fresh(holder, connection);
  CTString second(u"SELECT X");
  ASSERT_TRUE(fresh.bAddSelectText(second, u"B", value));
  ASSERT_TRUE(fresh.bAddCountColumn(second));
  EXPECT_EQ(Of(second), u"SELECT XB,COUNT(*) AS QZACCESNATIF_NBENR");

  CTString extra;
  ASSERT_TRUE(fresh.bAddRowIdColumn(extra, value));
  ASSERT_TRUE(fresh.bAddRowIdColumn(extra, value));
  EXPECT_EQ(Of(extra), u"ROWIDTOCHAR(ROWID),ROWIDTOCHAR(ROWID)");
  EXPECT_EQ(std::u16string(fresh.pGetSelectColumn(3)->pszGetName()), u"ROWIDTOCHAR(ROWID)");
  EXPECT_EQ(value->nGetRefCount(), 5u) << "the test's own and four elements'";
}

TEST_F(SqlElementTest, ParametersTruncateAndClone) {
  CSqlElementLists lists(holder, connection);
  ASSERT_TRUE(lists.bAddValueParameter(3, value));
  ASSERT_TRUE(lists.bAddParameter(8, value, 32, LEAF_FLAG_NAMED, nullptr, u"who", u'!', LEAF_ORIGIN_NAMED_PARAMETER));
  CHostValue number;
  Make(number, HOST_TYPE_INT32, std::int32_t{7});
  ASSERT_TRUE(lists.nAddTextParameter(12, number, 9, LEAF_FLAG_TEXT_CONSTANT, nullptr, 0));
  ASSERT_EQ(lists.nGetParameterCount(), 3u);
  EXPECT_EQ(lists.pGetParameter(0)->nGetOrigin(), LEAF_ORIGIN_HANDED_IN);
  EXPECT_EQ(lists.pGetParameter(0)->nGetKind(), LEAF_KIND_NONE);
  EXPECT_EQ(lists.pGetParameter(1)->nGetEscapeChar(), u'!');
  EXPECT_EQ(lists.pGetParameter(1)->nGetKind(), 32u);
  EXPECT_EQ(lists.pGetParameter(2)->nGetOrigin(), LEAF_ORIGIN_STATEMENT_TEXT);
  EXPECT_EQ(lists.pGetParameter(2)->pGetFieldValue()->Value().nGetType(), HOST_TYPE_INT32);
  EXPECT_EQ(lists.pGetParameter(2)->pGetFieldValue()->nGetRefCount(), 1u) << "the leaf is its only holder";

  auto* column = new CColumn(holder, TestColumn(COLUMN_TYPE_TEXT, 10, u"C"));
  column->AddRef();
  ASSERT_TRUE(lists.bSetColumnFlag(column, 0));
  CSqlElementLists copy(holder, connection);
  CHashTable map;
  CTString statement(u"SELECT ");
  ASSERT_TRUE(lists.bAddSelectText(statement, u"A", value));
  ASSERT_TRUE(copy.CopyFrom(lists, map));
  ASSERT_EQ(copy.nGetParameterCount(), 3u);
  EXPECT_EQ(copy.nGetSelectColumnCount(), 0u) << "select columns are not copied";
  EXPECT_NE(copy.pGetParameter(0)->pGetFieldValue(), value);
  EXPECT_EQ(copy.pGetParameter(0)->pGetFieldValue(), copy.pGetParameter(1)->pGetFieldValue())
      << "a value two leaves share is cloned once";
  EXPECT_TRUE(lists.pGetParameter(1)->bEquals(copy.pGetParameter(1)));
  EXPECT_EQ(copy.nGetColumnFlag(column), 0u);

  // Parameters at or after the place go, from the end.
  lists.TruncateParameters(8);
  EXPECT_EQ(lists.nGetParameterCount(), 1u);
  lists.TruncateParameters(0);
  EXPECT_EQ(lists.nGetParameterCount(), 0u);
  copy.Reset();
  lists.Reset();
  column->nRelease();
}

TEST_F(SqlElementTest, ColumnFlags) {
  TestColumn first(COLUMN_TYPE_TEXT, 10, u"A");
  TestColumn second(COLUMN_TYPE_TEXT, 10, u"B");
  auto* a = new CColumn(holder, first);
  auto* b = new CColumn(holder, second);
  a->AddRef();
  b->AddRef();
  CSqlElementLists lists(holder, connection);
  EXPECT_EQ(lists.nGetColumnFlag(a), 1u) << "no list: every item reads 1";
  EXPECT_TRUE(lists.bCombineColumnFlags(nullptr));
  EXPECT_EQ(lists.pGetColumnFlags(), nullptr) << "nothing to combine makes no list";

  CFlagList other;
  other.bSetFlag(a, 0);
  other.bSetFlag(b, 1);
  ASSERT_TRUE(lists.bCopyColumnFlags(&other));
  EXPECT_EQ(lists.nGetColumnFlag(a), 0u);
  EXPECT_EQ(lists.nGetColumnFlag(b), 1u);

  CFlagList cleared;
  cleared.bSetFlag(b, 0);
  cleared.bSetFlag(a, 1);
  ASSERT_TRUE(lists.bCombineColumnFlags(&cleared));
  EXPECT_EQ(lists.nGetColumnFlag(a), 0u) << "combined with AND";
  EXPECT_EQ(lists.nGetColumnFlag(b), 0u);

  ASSERT_TRUE(lists.bCopyColumnFlags(nullptr));
  EXPECT_EQ(lists.nGetColumnFlag(a), 1u) << "copying no list empties the own";
  a->nRelease();
  b->nRelease();
}

TEST_F(SqlElementTest, ElementsOfColumns) {
  TestColumn descriptor(COLUMN_TYPE_TEXT, 10, u"NAME");
  auto* column = new CColumn(holder, descriptor);
  column->AddRef();
  CSqlElementLists lists(holder, connection);
  CTString statement(u"SELECT ");
  ASSERT_TRUE(lists.bAppendColumn(statement, column, 1));
  ASSERT_TRUE(lists.bAppendColumn(statement, column, 1));
  EXPECT_EQ(Of(statement), u"SELECT " + std::u16string(column->pszGetSqlName(true)) + u"," +
                               column->pszGetSqlName(true));
  CSqlElement* element = lists.pGetSelectColumn(0);
  EXPECT_EQ(element->pGetItem(), column);
  EXPECT_EQ(element->pGetValue(), column->pGetFieldValue());
  lists.Reset();
  EXPECT_EQ(column->nGetRefCount(), 1u);
  column->nRelease();
}

// Named parameters take what the statement declares, in their own type unless the two types are far apart.
TEST_F(SqlElementTest, DeclaredParameterValues) {
  CSqlElementLists lists(holder, connection);
  auto add = [&](std::uint16_t type, std::uint32_t flags, const char16_t* name) {
    CFieldValue* field = pCreateItemForValueThroughDriver(holder, connection, nullptr, type);
    field->AddRef();
    EXPECT_TRUE(lists.bAddParameter(0, field, LEAF_KIND_NONE, flags, nullptr, name, 0, LEAF_ORIGIN_NAMED_PARAMETER));
    field->nRelease();
    return lists.pGetParameter(lists.nGetParameterCount() - 1)->pGetFieldValue();
  };
  CFieldValue* sameType = add(HOST_TYPE_INT32, LEAF_FLAG_NAMED, u"n");
  CFieldValue* textIntoNumber = add(HOST_TYPE_INT32, LEAF_FLAG_NAMED, u"digits");
  CFieldValue* otherNumber = add(HOST_TYPE_INT32, LEAF_FLAG_NAMED, u"real");
  CFieldValue* otherWidth = add(HOST_TYPE_TEXT, LEAF_FLAG_NAMED, u"narrow");
  CFieldValue* cursor = add(HOST_TYPE_INT32, LEAF_FLAG_NAMED | LEAF_FLAG_CURSOR_PARAMETER, u"n");
  CFieldValue* unnamed = add(HOST_TYPE_INT32, 0, u"n");
  CFieldValue* undeclared = add(HOST_TYPE_INT32, LEAF_FLAG_NAMED, u"none");

  CHostValue seven, digits, real, narrow;
  Make(seven, HOST_TYPE_INT32, std::int32_t{7});
  MakeWide(digits, u"12");
  Make(real, HOST_TYPE_DOUBLE, 2.5);
  narrow.SetType(HOST_TYPE_ASTRING);
  narrow.Set("abc");
  qzrt::DeclaredParameters declared;
  declared.Declare(u"N", &seven);
  declared.Declare(u"DIGITS", &digits);
  declared.Declare(u"real", &real);
  declared.Declare(u"narrow", &narrow);
  ASSERT_TRUE(lists.bLoadParameterValues(reinterpret_cast<IHostDeclaredParameters*>(&declared)));

  auto number = [](CFieldValue* field) {
    std::int32_t out = -1;
    if (field->pGetData()) std::memcpy(&out, field->pGetData(), sizeof(out));
    return out;
  };
  EXPECT_EQ(number(sameType), 7) << "names found with case ignored";
  EXPECT_EQ(textIntoNumber->Value().nGetType(), HOST_TYPE_INT32) << "a text converts into the field's type";
  EXPECT_EQ(number(textIntoNumber), 12);
  EXPECT_EQ(otherNumber->Value().nGetType(), HOST_TYPE_DOUBLE) << "another number type is taken";
  EXPECT_EQ(otherWidth->Value().nGetType(), HOST_TYPE_ASTRING) << "a text of the other width is taken as it is";
  EXPECT_EQ(number(cursor), 0) << "cursor parameters are not loaded";
  EXPECT_EQ(number(unnamed), 0) << "only named parameters are";
  EXPECT_EQ(number(undeclared), 0);

  // A declared value the field cannot take fails the load.
  CFieldValue* strict = add(HOST_TYPE_INT32, LEAF_FLAG_NAMED, u"bad");
  CHostValue bad;
  MakeWide(bad, u"not a number");
  declared.Declare(u"bad", &bad);
  EXPECT_FALSE(lists.bLoadParameterValue(lists.pGetParameter(lists.nGetParameterCount() - 1),
                                         reinterpret_cast<IHostDeclaredParameters*>(&declared)));
  EXPECT_EQ(number(strict), 0);
  holder->Clear();
}

}  // namespace
