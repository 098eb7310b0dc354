// Value leaves made through the driver object's factory on real field values, columns and descriptors.
#include "sql/rewriter/value_leaf.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "engine/record/column.h"
#include "engine/record/column_types.h"
#include "foundation/clone_map.h"
#include "foundation/hash_table.h"
#include "sql/driver_services.h"
#include "tests/engine/field_value_fixture.h"

namespace {

class ValueLeafTest : public CFieldValueFixture {
 protected:
  CFieldValue* Text(const char16_t* text) {
    CFieldValue* value = pCreateFieldValueThroughDriver(holder, connection);
    value->InitType(HOST_TYPE_TEXT, 0);
    CHostValue source;
    MakeWide(source, text);
    EXPECT_TRUE(value->bSetValue(source));
    return value;
  }
  // A leaf with a reference for the test.
  CValueLeaf* Leaf(CFieldValue* value, std::uint64_t position, std::uint32_t flags = 0,
                   const char16_t* name = nullptr) {
    CValueLeaf* leaf = pCreateValueLeafThroughDriver(value, position, flags, name);
    leaf->AddRef();
    return leaf;
  }
};

TEST_F(ValueLeafTest, BirthDuplicateAndRelease) {
  CFieldValue* value = Text(u"abc");
  value->AddRef();
  CValueLeaf* leaf = pCreateValueLeafThroughDriver(value, 12, LEAF_FLAG_NAMED, u"p1");
  ASSERT_NE(leaf, nullptr);
  EXPECT_EQ(leaf->nGetRefCount(), 0u) << "its first holder references it";
  EXPECT_EQ(value->nGetRefCount(), 2u);
  EXPECT_EQ(leaf->nGetKind(), LEAF_KIND_NONE);
  EXPECT_EQ(leaf->nGetOrigin(), LEAF_ORIGIN_STATEMENT_TEXT);
  EXPECT_TRUE(leaf->bIsNamed());
  EXPECT_FALSE(leaf->bIsCursorParameter());
  leaf->AddRef();

  TestColumn descriptor(COLUMN_TYPE_TEXT, 20, u"NAME");
  auto* column = new CColumn(holder, descriptor);
  column->AddRef();
  leaf->SetColumn(column);
  EXPECT_EQ(leaf->pGetDescriptor(), static_cast<CColumnDescriptor*>(descriptor));
  leaf->SetKind(5);
  leaf->SetOrigin(LEAF_ORIGIN_NAMED_PARAMETER);
  leaf->SetEscapeChar(u'!');

  CValueLeaf* twin = leaf->pDuplicate();
  ASSERT_NE(twin, nullptr);
  EXPECT_EQ(twin->nGetRefCount(), 1u);
  EXPECT_EQ(twin->pGetFieldValue(), value) << "the field value is shared";
  EXPECT_EQ(twin->pGetColumn(), column);
  EXPECT_EQ(twin->nGetPosition(), 12u);
  EXPECT_EQ(std::u16string(twin->pszGetName()), u"p1");
  EXPECT_EQ(twin->nGetEscapeChar(), u'!');
  EXPECT_EQ(twin->nGetKind(), LEAF_KIND_NONE);
  EXPECT_EQ(twin->nGetOrigin(), LEAF_ORIGIN_STATEMENT_TEXT);
  EXPECT_FALSE(leaf->bEquals(twin)) << "the origin differs";
  twin->SetOrigin(LEAF_ORIGIN_NAMED_PARAMETER);
  EXPECT_TRUE(leaf->bEquals(twin)) << "the kind is not compared";

  EXPECT_EQ(twin->nRelease(), 0u);
  EXPECT_EQ(leaf->nRelease(), 0u);
  EXPECT_EQ(value->nGetRefCount(), 1u);
  EXPECT_EQ(column->nGetRefCount(), 1u);
  EXPECT_EQ(descriptor.nOthers(), 1u) << "only the column's own reference is left";
  column->nRelease();
  value->nRelease();
}

TEST_F(ValueLeafTest, Equality) {
  TestColumn first(COLUMN_TYPE_TEXT, 20, u"NAME");
  TestColumn second(COLUMN_TYPE_TEXT, 20, u"name");
  auto* a = new CColumn(holder, first);
  auto* b = new CColumn(holder, second);
  a->AddRef();
  b->AddRef();
  CFieldValue* value = Text(u"x");
  CFieldValue* same = Text(u"x");
  CFieldValue* other = Text(u"y");

  CValueLeaf* leaf = Leaf(value, 3);
  leaf->SetColumn(a);
  CValueLeaf* moved = Leaf(value, 4);
  moved->SetColumn(a);
  EXPECT_FALSE(leaf->bEquals(moved)) << "same column and value at another position";

  CValueLeaf* equal = Leaf(same, 3);
  equal->SetColumn(a);
  EXPECT_TRUE(leaf->bEquals(equal)) << "values compared, not objects";
  equal->SetColumn(b);
  EXPECT_FALSE(leaf->bEquals(equal)) << "column names compare exactly";
  equal->SetColumn(nullptr);
  EXPECT_EQ(equal->pGetDescriptor(), nullptr);
  EXPECT_FALSE(leaf->bEquals(equal)) << "one with a column, one without";

  CValueLeaf* different = Leaf(other, 3);
  different->SetColumn(a);
  EXPECT_FALSE(leaf->bEquals(different));
  equal->SetColumn(a);
  equal->SetEscapeChar(u'#');
  EXPECT_FALSE(leaf->bEquals(equal)) << "escape characters differ";

  for (CValueLeaf* l : {leaf, moved, equal, different}) l->nRelease();
  a->nRelease();
  b->nRelease();
}

TEST_F(ValueLeafTest, TypesFromTheColumnOrTheFieldValue) {
  CFieldValue* value = Text(u"v");
  CValueLeaf* leaf = Leaf(value, 0);
  std::uint32_t bound = 7, type = 7;
  EXPECT_FALSE(leaf->bGetTypes(&bound, &type)) << "no column and no descriptors";
  EXPECT_EQ(bound, 0u);
  EXPECT_EQ(type, 0u);

  TestColumn primary(COLUMN_TYPE_INT32, 4, u"N");
  value->SetDescriptors(primary, nullptr);
  EXPECT_TRUE(leaf->bGetTypes(&bound, &type));
  EXPECT_EQ(bound, 0u);
  EXPECT_EQ(type, static_cast<std::uint32_t>(COLUMN_TYPE_INT32));

  TestColumn text(COLUMN_TYPE_TEXT, 10, u"T");
  auto* column = new CColumn(holder, text);
  leaf->SetColumn(column);
  EXPECT_TRUE(leaf->bGetTypes(&bound, &type));
  EXPECT_EQ(type, static_cast<std::uint32_t>(COLUMN_TYPE_TEXT)) << "the column's type wins";
  leaf->nRelease();
}

TEST_F(ValueLeafTest, ClonesShareWhatTheMapHolds) {
  CFieldValue* value = Text(u"shared");
  TestColumn descriptor(COLUMN_TYPE_TEXT, 20, u"C");
  CValueLeaf* first = Leaf(value, 5, LEAF_FLAG_CURSOR_PARAMETER, u"cur");
  CValueLeaf* second = Leaf(value, 9);
  first->SetDescriptor(descriptor);
  first->SetKind(32);
  first->SetOrigin(LEAF_ORIGIN_HANDED_IN);
  first->SetEscapeChar(u'\\');

  CHashTable map;
  CValueLeaf* copy = pCloneChild(map, first);
  CValueLeaf* copy2 = pCloneChild(map, second);
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(copy2, nullptr);
  EXPECT_NE(copy->pGetFieldValue(), value) << "the field value is cloned";
  EXPECT_EQ(copy->pGetFieldValue(), copy2->pGetFieldValue()) << "and cloned once";
  EXPECT_EQ(WideOf(copy->pGetFieldValue()->Value()), u"shared");
  EXPECT_EQ(copy->pGetDescriptor(), static_cast<CColumnDescriptor*>(descriptor)) << "the descriptor is shared";
  EXPECT_EQ(copy->nGetKind(), 32u);
  EXPECT_EQ(copy->nGetOrigin(), LEAF_ORIGIN_HANDED_IN);
  EXPECT_EQ(std::u16string(copy->pszGetName()), u"cur");
  EXPECT_TRUE(first->bEquals(copy));
  EXPECT_EQ(pCloneChild(map, first), copy) << "a leaf met again is the same copy";
  copy->nRelease();

  copy->nRelease();
  copy2->nRelease();
  first->nRelease();
  second->nRelease();
  EXPECT_EQ(descriptor.nOthers(), 0u);
}

TEST_F(ValueLeafTest, FileValues) {
  const std::string path = ::testing::TempDir() + "qz_value_leaf.txt";
  {
    std::ofstream file(path, std::ios::binary);
    file << "content";
  }
  const std::u16string wide(path.begin(), path.end());
  CValueLeaf* leaf = Leaf(Text(wide.c_str()), 0, LEAF_FLAG_FILE_VALUE | LEAF_FLAG_FILE_AS_TEXT);
  ASSERT_TRUE(leaf->bLoadFileValue());
  EXPECT_EQ(leaf->nGetFlags(), LEAF_FLAG_FILE_AS_TEXT);
  CHostValue read;
  ASSERT_TRUE(leaf->pGetFieldValue()->bGetValue(&read));
  EXPECT_NE(read.nGetType(), 28) << "read as text, not as bytes";
  leaf->nRelease();

  // Without the flag the file still loads; a missing file fails and keeps the flags.
  CValueLeaf* plain = Leaf(Text(wide.c_str()), 0);
  EXPECT_TRUE(plain->bLoadFileValue());
  plain->nRelease();
  std::remove(path.c_str());
  CValueLeaf* missing = Leaf(Text(wide.c_str()), 0, LEAF_FLAG_FILE_VALUE);
  EXPECT_FALSE(missing->bLoadFileValue());
  EXPECT_EQ(missing->nGetFlags(), LEAF_FLAG_FILE_VALUE);
  missing->nRelease();
  holder->Clear();
}

TEST_F(ValueLeafTest, DriverItemsForValues) {
  TestColumn descriptor(COLUMN_TYPE_INT32, 4, u"N");
  auto* column = new CColumn(holder, descriptor);
  column->AddRef();
  CFieldValue* typed = pCreateItemForValueThroughDriver(holder, connection, nullptr, HOST_TYPE_INT32);
  ASSERT_NE(typed, nullptr);
  EXPECT_EQ(typed->nGetRefCount(), 0u);
  EXPECT_EQ(typed->Value().nGetType(), HOST_TYPE_INT32);
  EXPECT_EQ(typed->pGetPrimary(), nullptr);
  delete typed;

  CFieldValue* bound = pCreateItemForValueThroughDriver(holder, connection, column, 0);
  ASSERT_NE(bound, nullptr);
  EXPECT_EQ(bound->pGetPrimary(), static_cast<CColumnDescriptor*>(descriptor));
  delete bound;

  CHostValue source;
  Make(source, HOST_TYPE_INT32, std::int32_t{42});
  CFieldValue* held = pCreateBoundItemThroughDriver(holder, connection, column, source);
  ASSERT_NE(held, nullptr);
  std::int32_t out = 0;
  std::memcpy(&out, held->pGetData(), sizeof(out));
  EXPECT_EQ(out, 42);
  CValueLeaf* leaf = pCreateValueLeafForThroughDriver(column, held, 3, 0);
  leaf->AddRef();
  EXPECT_EQ(leaf->pGetColumn(), column);
  EXPECT_EQ(leaf->pGetDescriptor(), static_cast<CColumnDescriptor*>(descriptor));
  EXPECT_EQ(std::u16string(leaf->pszGetName()), u"");
  // A value the field value takes answers a success code, one it refuses a failure code.
  Make(source, HOST_TYPE_INT32, std::int32_t{7});
  EXPECT_FALSE(bHostFailed(static_cast<std::uint32_t>(leaf->nSetValue(source))));
  MakeWide(source, u"seven");
  EXPECT_TRUE(bHostFailed(static_cast<std::uint32_t>(leaf->nSetValue(source))));
  holder->Clear();
  leaf->nRelease();
  column->nRelease();
}

}  // namespace
