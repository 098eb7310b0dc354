// The record description as the runtime reads it, through the raw slots of its file interface: naming and placing
// items, the layout, the identifying key, the comparison, and the two copies (pCopy of items, CopyFrom sharing
// them).
#include <gtest/gtest.h>

#include <string>

#include "engine/record/record_buffer.h"
#include "engine/table/table.h"
#include "foundation/clone_map.h"
#include "foundation/error_holder.h"
#include "foundation/hash_table.h"
#include "foundation/x_error.h"
#include "standin/runtime/runtime_objects.h"
#include "tests/engine/record_fixture.h"

namespace {

using records::Item;
using records::RecordTest;
using U32 = std::uint32_t;

class RecordDescriptionTest : public RecordTest {
 protected:
  void SetUp() override {
    RecordTest::SetUp();
    description = NewDescription();
  }
  void TearDown() override {
    if (description) description->nRelease();
    RecordTest::TearDown();
  }
  // The name of the item at the index, read through slots 16, 7 and 6.
  std::u16string NameAt(U32 index) {
    IHostItemDescription* item = Item(CallSlot<void*>(description, 16, index));
    if (!item) return u"<none>";
    std::u16string name = CallSlot<const char16_t*>(item, 7);
    CallSlot<U32>(item, 6);
    return name;
  }
  std::u16string IdentifyingKeyName() {
    IHostItemDescription* item = Item(CallSlot<void*>(description, 22));
    if (!item) return u"<none>";
    std::u16string name = item->pszGetName();
    item->nRelease();
    return name;
  }
  void Add(CColumnDescriptor* item) { ASSERT_TRUE(description->AddItem(item)); }

  CRecordDescription* description = nullptr;
};

TEST_F(RecordDescriptionTest, UnnamedAndRepeatedNamesFollowTheNullFlagCount) {
  Add(Make(u"", COLUMN_TYPE_INT32, 4));
  Add(Make(nullptr, COLUMN_TYPE_INT32, 4, 0, 0xFFFFFFFF, 0xFFFFFFFF, 2));
  // The count moves only with the layout: the second unnamed item repeats the first name and takes a suffix.
  EXPECT_EQ(NameAt(0), u"Expr1000");
  EXPECT_EQ(NameAt(1), u"Expr10002");
  description->LayoutItems();
  Add(Make(u"", COLUMN_TYPE_INT32, 4));
  EXPECT_EQ(NameAt(2), u"Expr1003");

  Add(Make(u"CODE", COLUMN_TYPE_INT32, 4));
  Add(Make(u"code", COLUMN_TYPE_INT32, 4));
  Add(Make(u"Code", COLUMN_TYPE_INT32, 4));
  EXPECT_EQ(NameAt(4), u"code2");
  EXPECT_EQ(NameAt(5), u"Code3");
  EXPECT_EQ(NameAt(6), u"<none>");
  EXPECT_EQ(CallSlot<U32>(description, 12), 6u);
  EXPECT_EQ(CallSlot<U32>(description, 15), 6u);
}

TEST_F(RecordDescriptionTest, PositionsAndKeyNumbersPlaceItemsInTheirLists) {
  Add(Make(u"A", COLUMN_TYPE_INT32, 4));
  Add(Make(u"B", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_DUPLICATES));
  Add(Make(u"FRONT", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_UNIQUE, 0, 0));
  Add(Make(u"MEMO", COLUMN_TYPE_BINARY_MEMO, 8, 0, 9));
  EXPECT_EQ(NameAt(0), u"FRONT");
  EXPECT_EQ(NameAt(1), u"A");
  EXPECT_EQ(description->pGetItemAt(1)->nGetPosition(), 1u);  // renumbered behind the new first item
  EXPECT_EQ(description->pGetItemAt(2)->nGetPosition(), 2u);
  EXPECT_EQ(description->pGetItemAt(3)->nGetPosition(), 9u);  // any other position appends as it is

  EXPECT_EQ(CallSlot<U32>(description, 13), 2u);
  IHostItemDescription* key0 = Item(CallSlot<void*>(description, 18, U32{0}));
  EXPECT_EQ(std::u16string(key0->pszGetName()), u"FRONT");
  EXPECT_EQ(description->pGetKeyAt(1)->nGetKeyNumber(), 1u);  // B was 0 when appended, 1 once FRONT went ahead
  key0->nRelease();
  EXPECT_EQ(CallSlot<void*>(description, 18, U32{2}), nullptr);

  EXPECT_EQ(CallSlot<U32>(description, 14), 1u);
  IHostItemDescription* memo = Item(CallSlot<void*>(description, 19, U32{0}));
  EXPECT_EQ(std::u16string(memo->pszGetName()), u"MEMO");
  memo->nRelease();
}

// A layout whose sizes would pass 32 bits (an item of many large elements, two large items) or whose binary element
// is too large for its length word is refused with error 4; the items laid out before keep their places.
TEST_F(RecordDescriptionTest, ALayoutTooLargeForARecordIsRefused) {
  struct Case {
    const char* name;
    U32 type, size, count;
    bool second;  // the same item twice
  };
  const Case cases[] = {
      {"elements wrapping 32 bits", COLUMN_TYPE_INT8, 0x10001, 0x10000, false},
      {"offsets wrapping 32 bits", COLUMN_TYPE_INT8, 0x80000000u, 1, true},
      {"binary element past its length word", COLUMN_TYPE_BINARY, 0xFFFF + 3, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CRecordDescription* laid = NewDescription();
    CColumnDescriptor* small = Make(u"A", COLUMN_TYPE_INT32, 4);
    ASSERT_TRUE(laid->AddItem(small));
    ASSERT_TRUE(laid->LayoutItems());
    ASSERT_TRUE(laid->AddItem(Make(u"BIG", c.type, c.size, 0, 0xFFFFFFFF, 0xFFFFFFFF, c.count)));
    if (c.second) {
      ASSERT_TRUE(laid->AddItem(Make(u"BIG2", c.type, c.size, 0, 0xFFFFFFFF, 0xFFFFFFFF, c.count)));
    }
    Holder()->Clear();
    EXPECT_FALSE(laid->LayoutItems());
    EXPECT_EQ(Holder()->nGetErrorCode(), 4u);
    EXPECT_EQ(laid->nGetFullSize(), 4u);
    EXPECT_EQ(laid->nGetRecordSize(), 4u);
    EXPECT_EQ(small->nGetElementOffset(0), 0u);
    CRecordBuffer row;
    EXPECT_FALSE(row.bBuildLayout(laid)) << "no block for items never laid out";
    laid->nRelease();
  }
  // The largest binary element whose length word holds every length is laid out.
  Add(Make(u"B", COLUMN_TYPE_BINARY, 0xFFFF + 2));
  EXPECT_TRUE(description->LayoutItems());
  EXPECT_EQ(description->nGetRecordSize(), 0xFFFFu + 2);
}

TEST_F(RecordDescriptionTest, LayoutCountsCompositeKeysOnlyInTheFullSize) {
  CColumnDescriptor* a = Make(u"A", COLUMN_TYPE_BINARY, 8);  // 6 bytes of data
  CColumnDescriptor* b = Make(u"B", COLUMN_TYPE_TEXT, 7, 0, 0xFFFFFFFF, 0xFFFFFFFF, 1);
  CColumnDescriptor* key = Make(u"AB", COLUMN_TYPE_BINARY, 0, COLUMN_FLAG_COMPOSITE_KEY | COLUMN_FLAG_DUPLICATES);
  key->bAddComponent(a);
  key->bAddComponent(b);
  ASSERT_EQ(key->nGetSize(), 12u);
  Add(a);
  Add(b);
  Add(key);
  description->LayoutItems();
  EXPECT_EQ(CallSlot<U32>(description, 10), 15u);
  EXPECT_EQ(CallSlot<U32>(description, 11), 27u);
  EXPECT_EQ(description->nGetNullFlagCount(), 3u);
  EXPECT_EQ(CallSlot<U32>(key, 32, std::int32_t{0}), 15u);
  EXPECT_EQ(CallSlot<U32>(key, 33, std::int32_t{-1}), 2u);

  CColumnDescriptor* array = Make(u"ARR", COLUMN_TYPE_INT16, 2, 0, 0xFFFFFFFF, 0xFFFFFFFF, 4);
  Add(array);
  description->LayoutItems();
  EXPECT_EQ(CallSlot<U32>(array, 32, std::int32_t{3}), 27u + 6u);
  EXPECT_EQ(CallSlot<U32>(array, 33, std::int32_t{3}), 6u);
  EXPECT_EQ(description->nGetNullFlagCount(), 7u);
}

TEST_F(RecordDescriptionTest, TheIdentifyingKeyIsChosenOnceByTheKeysRules) {
  EXPECT_EQ(IdentifyingKeyName(), u"<none>");
  Add(Make(u"M1", COLUMN_TYPE_TEXT_MEMO, 8));
  Add(Make(u"M2", COLUMN_TYPE_BINARY_MEMO, 8));
  EXPECT_EQ(IdentifyingKeyName(), u"M1");  // all memos: item 0
  Add(Make(u"PLAIN", COLUMN_TYPE_INT32, 4));
  EXPECT_EQ(IdentifyingKeyName(), u"M1");  // kept once chosen

  struct Case {
    std::vector<std::pair<std::u16string, std::uint16_t>> keys;
    std::vector<bool> notNull;
    std::u16string chosen;
  };
  const std::uint16_t unique = COLUMN_FLAG_UNIQUE;
  const std::uint16_t primary = COLUMN_FLAG_PRIMARY_KEY;
  const std::uint16_t duplicates = COLUMN_FLAG_DUPLICATES;
  const Case cases[] = {
      {{{u"D", duplicates}, {u"U", unique}, {u"P", primary}}, {false, false, false}, u"P"},
      {{{u"U1", unique}, {u"U2", unique}}, {false, true}, u"U2"},  // a usable key replaces one that is not
      {{{u"U1", unique}, {u"U2", unique}}, {true, true}, u"U1"},
      {{{u"D1", duplicates}, {u"D2", duplicates}}, {true, true}, u"D1"},
      {{{u"U", unique}, {u"P", primary}}, {true, false}, u"P"},  // the primary key wins over a usable key before it
  };
  for (const Case& c : cases) {
    CRecordDescription* keyed = NewDescription();
    keyed->AddItem(Make(u"M", COLUMN_TYPE_TEXT_MEMO, 8));
    for (std::size_t i = 0; i < c.keys.size(); ++i) {
      CColumnDescriptor* key = Make(c.keys[i].first.c_str(), COLUMN_TYPE_INT32, 4, c.keys[i].second);
      key->SetNullAllowed(!c.notNull[i]);
      keyed->AddItem(key);
    }
    IHostItemDescription* chosen = Item(CallSlot<void*>(keyed, 22));
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(std::u16string(chosen->pszGetName()), c.chosen);
    chosen->nRelease();
    keyed->nRelease();
  }
}

TEST(KeyUsabilityTest, OnlyPrimaryOrNonNullUniqueKeysIdentifyRowsAndBelowLevel9OnlyAutomaticIdentifiers) {
  using I = qzrt::ItemDescription;
  struct Case {
    std::int64_t level, primary, unique, nullAllowed, type;
    int usable;
  };
  const Case cases[] = {
      {9, 1, 1, 1, COLUMN_TYPE_INT32, 1},    {9, 0, 1, 0, COLUMN_TYPE_INT32, 1},    {9, 0, 1, 1, COLUMN_TYPE_INT32, 0},
      {9, 0, 0, 0, COLUMN_TYPE_INT32, 0},    {8, 0, 1, 1, COLUMN_TYPE_AUTO_ID4, 1}, {8, 0, 1, 0, COLUMN_TYPE_INT32, 0},
      {8, 0, 1, 1, COLUMN_TYPE_AUTO_ID8, 1},
  };
  for (const Case& c : cases) {
    qzrt::ItemDescription item(u"K");
    item.SetNumber(I::kInterfaceLevel, c.level);
    item.SetNumber(I::kPrimaryKey, c.primary);
    item.SetNumber(I::kUnique, c.unique);
    item.SetNumber(I::kNullAllowed, c.nullAllowed);
    item.SetNumber(I::kType, c.type);
    EXPECT_EQ(CTable::bIsKeyUsable(reinterpret_cast<IHostItemDescription*>(&item)), c.usable)
        << "level " << c.level << " primary " << c.primary << " unique " << c.unique << " null " << c.nullAllowed
        << " type " << c.type;
  }
}

TEST_F(RecordDescriptionTest, FindsItemsIgnoringCaseAndOnAskTrailingBlanks) {
  Add(Make(u"NAME ", COLUMN_TYPE_TEXT, 11));
  Add(Make(u"Price", COLUMN_TYPE_REAL8, 8));
  IHostItemDescription* price = Item(CallSlot<void*>(description, 17, u"PRICE"));
  ASSERT_NE(price, nullptr);
  EXPECT_EQ(CallSlot<U32>(price, 6), 0u);
  EXPECT_EQ(CallSlot<void*>(description, 17, u"NAME"), nullptr);
  EXPECT_NE(description->piFindItemByName(u"NAME", FIND_ITEM_DEFAULT | FIND_ITEM_IGNORE_TRAILING_BLANKS), nullptr);

  EXPECT_EQ(CallSlot<CColumnDescriptor*>(description, 41, u"none", U32{2}), nullptr);
  description->SetSqlTableName(u"SCOTT.EMP");
  EXPECT_EQ(description->piFindItemOrRaise(u"SALARY"), nullptr);
  EXPECT_EQ(Holder()->nGetErrorCode(), 26u);
  EXPECT_TRUE(doubles::HasIdentification(Holder(), 8, 2));
  EXPECT_EQ(std::u16string(Holder()->pGetEmbeddedObject()->pszGetInfoText(ERROR_INFO_FILE)), u"SCOTT.EMP");
}

TEST_F(RecordDescriptionTest, CompareNamesTheFirstItemOfTheOtherThatIsMissing) {
  Add(Make(u"A", COLUMN_TYPE_INT32, 4));
  Add(Make(u"B ", COLUMN_TYPE_INT32, 4));
  description->SetName(u"EMP");
  qzrt::TableDescription other(u"OTHER");
  qzrt::ItemDescription a(u"a"), b(u"B"), key(u"AB"), c(u"C");
  key.SetNumber(qzrt::ItemDescription::kCompositeKey, 1);
  other.AddItem(&a);
  other.AddItem(&b);
  other.AddItem(&key);  // a composite key need not be here
  EXPECT_EQ(CallSlot<std::int32_t>(description, 42, static_cast<void*>(&other)), 1);
  other.AddItem(&c);
  EXPECT_EQ(CallSlot<std::int32_t>(description, 42, static_cast<void*>(&other)), 0);
  EXPECT_EQ(Holder()->nGetErrorCode(), 20u);
  EXPECT_TRUE(doubles::HasIdentification(Holder(), 8, 1));
  const std::u16string message = Holder()->pGetEmbeddedObject()->pszGetUserMessage();
  EXPECT_NE(message.find(u"EMP"), std::u16string::npos);
  EXPECT_NE(message.find(u"C"), std::u16string::npos);
  for (qzrt::ItemDescription* item : {&a, &b, &key, &c}) EXPECT_EQ(item->References(), 1);
}

TEST_F(RecordDescriptionTest, CopyCopiesItemsAndFindsTheIdentifyingKeyOnlyWhenTheSourceHasOne) {
  description->SetName(u"EMP");
  description->SetOwnerName(u"SCOTT");
  Add(Make(u"ID", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY));
  Add(Make(u"WHEN", COLUMN_TYPE_DATETIME, 8));
  description->LayoutItems();

  // The source never chose a key: the copy has none to look for and succeeds without an error.
  auto* plain = CallSlot<CRecordDescription*>(description, 44, U32{0});
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(Holder()->nGetErrorCode(), 0u);
  EXPECT_EQ(plain->pGetIdentifyingKeyMember(), nullptr);
  EXPECT_EQ(std::u16string(plain->pszGetOwnerName()), u"SCOTT");
  EXPECT_EQ(plain->nGetRecordSize(), 12u);
  plain->nRelease();

  EXPECT_EQ(IdentifyingKeyName(), u"ID");
  auto* copy = CallSlot<CRecordDescription*>(description, 44, U32{COPY_AS_TEXT});
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy->pGetItemAt(0), description->pGetItemAt(0));
  EXPECT_EQ(copy->pGetIdentifyingKeyMember(), copy->pGetItemAt(0));
  EXPECT_EQ(copy->pGetItemAt(1)->nGetType(), U32{COLUMN_TYPE_TEXT});
  EXPECT_EQ(copy->nGetRecordSize(), 4u + 18u);  // laid out again after the date became text
  copy->nRelease();

  driver->failDescriptors = true;
  EXPECT_EQ(description->pCopy(0), nullptr);
  EXPECT_EQ(Holder()->pGetEmbeddedObject()->nGetLevel(), ERROR_LEVEL_FATAL);
}

TEST_F(RecordDescriptionTest, CloneSharesItemsAndCountsThroughTheCloneMap) {
  Add(Make(u"ID", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_UNIQUE));
  Add(Make(u"MEMO", COLUMN_TYPE_TEXT_MEMO, 8));
  description->LayoutItems();
  EXPECT_EQ(IdentifyingKeyName(), u"ID");
  CHashTable map(7);
  CRecordDescription* clone = CallSlot<CRecordDescription*>(description, 46, &map);
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->pGetItemAt(0), description->pGetItemAt(0));
  EXPECT_EQ(clone->pGetItemAt(0)->nGetComponentRefCount(), 4u);  // items and keys of both descriptions
  EXPECT_EQ(clone->pGetIdentifyingKeyMember(), description->pGetIdentifyingKeyMember());
  EXPECT_EQ(clone->nGetLargeItemCount(), 1u);
  EXPECT_EQ(clone->nGetFullSize(), 12u);
  EXPECT_EQ(clone->pGetErrorHolder(), Holder());
  std::uint64_t registered = 0;
  EXPECT_TRUE(map.bLookup(nCloneKey(description), &registered, nullptr));
  EXPECT_EQ(registered, nCloneKey(clone));
  description->nRelease();
  description = nullptr;
  EXPECT_EQ(records::gnLiveDescriptors, 2);  // the clone still holds them
  clone->nRelease();
}

}  // namespace
