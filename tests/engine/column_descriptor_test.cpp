// The column descriptor as the runtime reads it, through the raw slots of its item interface: sizes and data
// lengths per type, the set rules, the key flags, composite keys and their two counts, the copy rules of pCopyAs,
// and the fitting to the runtime's own items of the stand-in.
#include <gtest/gtest.h>

#include "host/host_type.h"
#include "standin/runtime/runtime_objects.h"
#include "tests/engine/record_fixture.h"

namespace {

using records::RecordTest;

using U32 = std::uint32_t;
using I32 = std::int32_t;

U32 DataLength(void* item, std::int32_t element) { return CallSlot<U32>(item, 10, element); }

// Frees a descriptor made by Make and never held by anything else.
void Drop(CColumnDescriptor* item) {
  item->AddRef();
  item->nRelease();
}

class ColumnDescriptorTest : public RecordTest {};

TEST_F(ColumnDescriptorTest, SlotsAnswerSizesAndDataLengthsPerType) {
  struct Case {
    U32 type, size, count;
    U32 one, all;  // data length of one element and of all (-1)
  };
  const Case cases[] = {
      {COLUMN_TYPE_TEXT, 11, 3, 10, 30},
      {COLUMN_TYPE_WTEXT, 22, 2, 10, 20},
      {COLUMN_TYPE_BINARY, 12, 2, 10, 20},
      {COLUMN_TYPE_INT32, 4, 3, 4, 12},
      {COLUMN_TYPE_DATE, 9, 1, 9, 9},
      // Elements too small for their terminator or length word hold nothing; the length never wraps.
      {COLUMN_TYPE_TEXT, 0, 2, 0, 0},
      {COLUMN_TYPE_WTEXT, 1, 2, 0, 0},
      {COLUMN_TYPE_BINARY, 1, 3, 0, 0},
  };
  for (const Case& c : cases) {
    CColumnDescriptor* item = Make(u"C", c.type, c.size, 0, 0, 0, c.count);
    SCOPED_TRACE(testing::Message() << "type " << c.type << " size " << c.size);
    EXPECT_EQ(CallSlot<U32>(item, 0), 9u);
    EXPECT_EQ(CallSlot<I32>(item, 1), 1);
    EXPECT_EQ(CallSlot<I32>(item, 2), -1);
    EXPECT_EQ(CallSlot<I32>(item, 3), -1);
    EXPECT_EQ(CallSlot<U32>(item, 8), c.count);
    EXPECT_EQ(CallSlot<U32>(item, 9), c.size);
    EXPECT_EQ(DataLength(item, 0), c.one);
    EXPECT_EQ(DataLength(item, -1), c.all);
    EXPECT_EQ(CallSlot<U32>(item, 11), c.size * c.count);
    EXPECT_EQ(CallSlot<U32>(item, 12), c.type);
    Drop(item);
  }
}

TEST_F(ColumnDescriptorTest, TypeClassesAndTheSetRules) {
  CColumnDescriptor* memo = Make(u"M", COLUMN_TYPE_WTEXT_MEMO, 4000);
  EXPECT_EQ(CallSlot<U32>(memo, 9), 8u);  // a memo holds a reference in the record
  EXPECT_TRUE(CallSlot<I32>(memo, 15));
  EXPECT_TRUE(CallSlot<I32>(memo, 16));
  EXPECT_FALSE(CallSlot<I32>(memo, 17));
  EXPECT_FALSE(CallSlot<I32>(memo, 19));

  CColumnDescriptor* number = Make(u"N", COLUMN_TYPE_DECIMAL, 18);
  EXPECT_EQ(CallSlot<U32>(number, 12), U32{COLUMN_TYPE_REAL8});  // no declared digits: a real
  EXPECT_EQ(CallSlot<U32>(number, 9), 8u);
  EXPECT_TRUE(CallSlot<I32>(number, 18));
  number->bSetAll(u"N", u"", u"", 1, 8, COLUMN_TYPE_DECIMAL, 0, 0, 0, 10, 7);
  EXPECT_EQ(CallSlot<U32>(number, 12), U32{COLUMN_TYPE_DECIMAL});
  EXPECT_EQ(CallSlot<U32>(number, 40), 10u);
  EXPECT_EQ(CallSlot<U32>(number, 41), 7u);

  CColumnDescriptor* automatic = Make(u"ID", COLUMN_TYPE_AUTO_ID4, 4);
  EXPECT_FALSE(CallSlot<I32>(automatic, 54));  // not null
  EXPECT_EQ(automatic->nGetOptions(), COLUMN_OPTION_AUTOMATIC | COLUMN_OPTION_NOT_NULL);
  auto* value = CallSlot<CHostValue*>(automatic, 34);
  EXPECT_EQ(value->nGetType(), HOST_TYPE_INT32);
  EXPECT_TRUE(value->bIsNull());

  // Option 4: slot 49 with 0 sets it, with 1 clears it; slot 48 says whether it is clear.
  CallSlot<void>(automatic, 49, I32{0});
  EXPECT_FALSE(CallSlot<I32>(automatic, 48));
  CallSlot<void>(automatic, 49, I32{1});
  EXPECT_TRUE(CallSlot<I32>(automatic, 48));
  CallSlot<void>(automatic, 56, U32{12});
  CallSlot<void>(automatic, 57, U32{3});
  EXPECT_EQ(automatic->nGetPrecision(), 12u);
  EXPECT_EQ(automatic->nGetScale(), 3u);
  for (CColumnDescriptor* item : {memo, number, automatic}) Drop(item);
}

TEST_F(ColumnDescriptorTest, KeyFlagsAndDirections) {
  CColumnDescriptor* plain = Make(u"P", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_0080);
  EXPECT_FALSE(CallSlot<I32>(plain, 14));  // flags below 0x1000 make no key
  EXPECT_TRUE(CallSlot<I32>(plain, 28));
  EXPECT_FALSE(CallSlot<I32>(plain, 26));

  CColumnDescriptor* primary = Make(u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY | COLUMN_FLAG_0020, 0, 4);
  EXPECT_TRUE(CallSlot<I32>(primary, 14));
  EXPECT_TRUE(CallSlot<I32>(primary, 22));
  EXPECT_TRUE(CallSlot<I32>(primary, 23));
  EXPECT_FALSE(CallSlot<I32>(primary, 24));
  EXPECT_TRUE(CallSlot<I32>(primary, 26));  // a key not descending is ascending
  EXPECT_TRUE(CallSlot<I32>(primary, 30));
  EXPECT_EQ(CallSlot<U32>(primary, 20), 4u);
  primary->SetKeyDirection(true);
  EXPECT_TRUE(CallSlot<I32>(primary, 27));
  EXPECT_FALSE(CallSlot<I32>(primary, 26));
  EXPECT_EQ(primary->nGetFlags() & COLUMN_FLAG_ASCENDING, 0);
  primary->SetKeyDirection(false);
  EXPECT_EQ(primary->nGetFlags() & (COLUMN_FLAG_ASCENDING | COLUMN_FLAG_DESCENDING), COLUMN_FLAG_ASCENDING);
  for (CColumnDescriptor* item : {plain, primary}) Drop(item);
}

TEST_F(ColumnDescriptorTest, ACompositeKeyGrowsByItsComponentsAndHoldsThemByTheSecondCount) {
  CColumnDescriptor* name = Make(u"NAME", COLUMN_TYPE_WTEXT, 22);
  CColumnDescriptor* code = Make(u"CODE", COLUMN_TYPE_BINARY, 12);
  CColumnDescriptor* key = Make(u"K", COLUMN_TYPE_BINARY, 0, COLUMN_FLAG_COMPOSITE_KEY | COLUMN_FLAG_DUPLICATES);
  ASSERT_TRUE(key->bAddComponent(name));
  EXPECT_EQ(CallSlot<U32>(key, 9), 20u);  // ten UTF-16 characters
  ASSERT_TRUE(key->bAddComponent(code));
  EXPECT_EQ(CallSlot<U32>(key, 9), 30u);
  EXPECT_EQ(DataLength(key, 0), 30u);  // a binary composite key is all data
  EXPECT_EQ(CallSlot<U32>(key, 21), 2u);

  auto* first = CallSlot<IHostItemDescription*>(key, 31, U32{1});
  EXPECT_EQ(first, name);
  EXPECT_EQ(name->nGetRefCount(), 1u);
  EXPECT_EQ(CallSlot<void*>(key, 31, U32{0}), nullptr);
  EXPECT_EQ(CallSlot<void*>(key, 31, U32{3}), nullptr);
  EXPECT_EQ(CallSlot<U32>(first, 6), 0u);
  EXPECT_EQ(records::gnLiveDescriptors, 3);  // the key's component reference keeps it

  key->AddRef();
  EXPECT_EQ(CallSlot<U32>(key, 6), 0u);  // the key goes and gives its components back
  EXPECT_EQ(records::gnLiveDescriptors, 0);
}

// A key is never its own component, directly or through another key: it would keep itself alive for ever.
TEST_F(ColumnDescriptorTest, ACompositeKeyRefusesItselfAsAComponent) {
  CColumnDescriptor* code = Make(u"CODE", COLUMN_TYPE_BINARY, 12);
  CColumnDescriptor* key = Make(u"K", COLUMN_TYPE_BINARY, 0, COLUMN_FLAG_COMPOSITE_KEY | COLUMN_FLAG_DUPLICATES);
  CColumnDescriptor* outer = Make(u"O", COLUMN_TYPE_BINARY, 0, COLUMN_FLAG_COMPOSITE_KEY | COLUMN_FLAG_DUPLICATES);
  ASSERT_TRUE(key->bAddComponent(code));
  EXPECT_FALSE(key->bAddComponent(key));
  ASSERT_TRUE(outer->bAddComponent(key));
  EXPECT_FALSE(key->bAddComponent(outer));
  EXPECT_EQ(CallSlot<U32>(key, 21), 1u);
  EXPECT_EQ(CallSlot<U32>(key, 9), 10u);
  outer->AddRef();
  EXPECT_EQ(CallSlot<U32>(outer, 6), 0u);
  EXPECT_EQ(records::gnLiveDescriptors, 0) << "every key went";
}

TEST_F(ColumnDescriptorTest, ReleasesOfACountAtZeroAreRefused) {
  CColumnDescriptor* item = Make(u"C", COLUMN_TYPE_INT32, 4);
  item->AddRef();
  item->AddComponentRef();
  EXPECT_EQ(item->nReleaseComponent(), 0u);
  EXPECT_EQ(item->nReleaseComponent(), 0u);  // nothing held any more: refused, the reference still keeps it
  EXPECT_EQ(records::gnLiveDescriptors, 1);
  EXPECT_EQ(item->nRelease(), 0u);
  EXPECT_EQ(records::gnLiveDescriptors, 0);
}

TEST_F(ColumnDescriptorTest, CopyAsTurnsRealsAndDatesIntoTextAndFollowsTheTargetsKeys) {
  CRecordDescription* target = NewDescription();
  target->AddItem(Make(u"K0", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_UNIQUE));
  target->AddItem(Make(u"K1", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_DUPLICATES));

  struct Case {
    U32 type, serverType, options;
    U32 type2, size2;
  };
  const Case cases[] = {
      {COLUMN_TYPE_REAL8, 0, COPY_AS_TEXT, COLUMN_TYPE_TEXT, 48},
      {COLUMN_TYPE_REAL4, 0, COPY_AS_TEXT, COLUMN_TYPE_TEXT, 48},
      {COLUMN_TYPE_DATE, 0, COPY_AS_TEXT, COLUMN_TYPE_TEXT, 18},
      {COLUMN_TYPE_DATETIME, 0, COPY_AS_TEXT | COPY_AS_LONG_DATE_TEXT, COLUMN_TYPE_TEXT, 20},
      {COLUMN_TYPE_DATETIME, 188, COPY_AS_TEXT | COPY_AS_LONG_DATE_TEXT, COLUMN_TYPE_TEXT, 18},
      {COLUMN_TYPE_DATETIME, 0, 0, COLUMN_TYPE_DATETIME, 8},
      {COLUMN_TYPE_INT32, 0, COPY_AS_TEXT, COLUMN_TYPE_INT32, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " options " << c.options);
    CColumnDescriptor* source = Make(u"V", c.type, c.type == COLUMN_TYPE_DATE ? 9 : 8);
    source->SetServerTypeCode(c.serverType);
    source->SetKeyNumber(7);
    auto* copy = CallSlot<CColumnDescriptor*>(source, 58, static_cast<IHostFileDescription*>(target), c.options);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(CallSlot<U32>(copy, 12), c.type2);
    EXPECT_EQ(CallSlot<U32>(copy, 9), c.size2);
    EXPECT_EQ(CallSlot<U32>(copy, 20), 2u);  // after the target's two keys
    const CHostValue* value = copy->pGetDefaultValue();
    if (c.type2 != c.type) {
      EXPECT_EQ(value->nGetType(), HOST_TYPE_ASTRING);
      EXPECT_FALSE(value->bIsNull());
    } else {
      EXPECT_TRUE(value->bIsNull());
    }
    Drop(copy);
    Drop(source);
  }
  target->nRelease();
}

TEST_F(ColumnDescriptorTest, CopyAsKeysPlainItemsAndFindsComponentsInTheTarget) {
  CRecordDescription* target = NewDescription();
  target->AddItem(Make(u"A", COLUMN_TYPE_INT32, 4));
  CColumnDescriptor* targetB = Make(u"B", COLUMN_TYPE_INT32, 4);
  target->AddItem(targetB);

  CColumnDescriptor* plain = Make(u"P", COLUMN_TYPE_INT32, 4);
  auto* keyed = static_cast<CColumnDescriptor*>(plain->pCopyAs(target, COPY_AS_KEY_EVERY_ITEM));
  EXPECT_EQ(keyed->nGetFlags(), COLUMN_FLAG_DUPLICATES | COLUMN_FLAG_ASCENDING);
  CColumnDescriptor* memo = Make(u"M", COLUMN_TYPE_TEXT_MEMO, 8);
  auto* memoCopy = static_cast<CColumnDescriptor*>(memo->pCopyAs(target, COPY_AS_KEY_EVERY_ITEM));
  EXPECT_EQ(memoCopy->nGetFlags(), 0);  // text memos never become keys

  CColumnDescriptor* a = Make(u"A", COLUMN_TYPE_INT32, 4);
  CColumnDescriptor* b = Make(u"B", COLUMN_TYPE_INT32, 4);
  CColumnDescriptor* key = Make(u"AB", COLUMN_TYPE_BINARY, 0, COLUMN_FLAG_COMPOSITE_KEY | COLUMN_FLAG_DUPLICATES);
  key->bAddComponent(a);
  key->bAddComponent(b);
  auto* keyCopy = static_cast<CColumnDescriptor*>(key->pCopyAs(target, 0));
  ASSERT_NE(keyCopy, nullptr);
  EXPECT_EQ(keyCopy->nGetSize(), 8u);  // copied as it was, not grown again by the components
  EXPECT_EQ(keyCopy->pGetComponentAt(1), targetB);
  EXPECT_EQ(targetB->nGetComponentRefCount(), 2u);  // the target's list and the copied key

  CColumnDescriptor* c = Make(u"C", COLUMN_TYPE_INT32, 4);
  key->bAddComponent(c);
  EXPECT_EQ(key->pCopyAs(target, 0), nullptr);  // C is not in the target
  EXPECT_EQ(Holder()->nGetErrorCode(), 26u);
  EXPECT_TRUE(doubles::HasIdentification(Holder(), 8, 2));

  for (CColumnDescriptor* item : {keyed, memoCopy, keyCopy, plain, memo, key}) Drop(item);
  target->nRelease();
}

TEST_F(ColumnDescriptorTest, SetFromTheRuntimesItemKeepsKeysAndAutomaticIdentifiersOnlyWhenAsked) {
  qzrt::ItemDescription item(u"ID");
  using I = qzrt::ItemDescription;
  item.SetNumber(I::kType, COLUMN_TYPE_AUTO_ID8);
  item.SetNumber(I::kSize, 8);
  item.SetNumber(I::kElementCount, 1);
  item.SetNumber(I::kKeyed, 1);
  item.SetNumber(I::kUnique, 1);
  item.SetNumber(I::kDescending, 1);
  item.SetNumber(I::kFlag0040, 1);
  item.SetText(I::kSecondName, u"T.ID");
  item.SetText(I::kCaption, u"Identifier");
  item.SetText(I::kTableName, u"T");
  auto* host = reinterpret_cast<IHostItemDescription*>(&item);

  CColumnDescriptor* kept = Make(u"ID", COLUMN_TYPE_INT32, 4);
  EXPECT_TRUE(kept->bSetFromHostItem(host, 1, 3));
  EXPECT_EQ(kept->nGetType(), U32{COLUMN_TYPE_AUTO_ID8});
  EXPECT_EQ(kept->nGetFlags(), COLUMN_FLAG_UNIQUE | COLUMN_FLAG_DESCENDING | COLUMN_FLAG_0040);
  EXPECT_EQ(kept->nGetKeyNumber(), 3u);
  EXPECT_EQ(std::u16string(kept->pszGetSecondName()), u"T.ID");
  EXPECT_EQ(std::u16string(kept->pszGetCaption()), u"Identifier");
  EXPECT_EQ(std::u16string(kept->pszGetTableName()), u"T");

  CColumnDescriptor* plain = Make(u"ID", COLUMN_TYPE_INT32, 4);
  plain->bSetFromHostItem(host, 0, 0);
  EXPECT_EQ(plain->nGetType(), U32{COLUMN_TYPE_INT64});
  EXPECT_EQ(plain->nGetFlags(), COLUMN_FLAG_DUPLICATES | COLUMN_FLAG_DESCENDING | COLUMN_FLAG_0040);
  for (CColumnDescriptor* d : {kept, plain}) Drop(d);
}

TEST_F(ColumnDescriptorTest, AdjustToTheRuntimesItemFitsTheTypeToItsOwnCode) {
  using I = qzrt::ItemDescription;
  qzrt::ItemDescription ansi(u"W");
  qzrt::ItemDescription sub(u"sub");
  sub.SetNumber(I::kItemKind, 95);
  ansi.SetNumber(I::kItemTypeCode, 39);
  ansi.SetSubDescription(&sub);
  CColumnDescriptor* wide = Make(u"W", COLUMN_TYPE_WTEXT, 42);
  wide->bAdjustToHostItem(reinterpret_cast<IHostItemDescription*>(&ansi));
  EXPECT_EQ(wide->nGetType(), U32{COLUMN_TYPE_TEXT});
  EXPECT_EQ(wide->nGetSize(), 21u);
  EXPECT_EQ(std::u16string(wide->pszGetCaption()), u"W");

  qzrt::ItemDescription memoItem(u"M");
  memoItem.SetNumber(I::kItemTypeCode, 29);
  memoItem.SetNumber(I::kItemKind, 1);
  CColumnDescriptor* text = Make(u"M", COLUMN_TYPE_TEXT, 11);
  text->bAdjustToHostItem(reinterpret_cast<IHostItemDescription*>(&memoItem));
  EXPECT_EQ(text->nGetType(), U32{COLUMN_TYPE_TEXT});  // a text over a text memo item stays
  EXPECT_EQ(text->nGetStoredItemKind(), 1u);

  CColumnDescriptor* number = Make(u"N", COLUMN_TYPE_INT32, 4);
  number->bAdjustToHostItem(reinterpret_cast<IHostItemDescription*>(&memoItem));
  EXPECT_EQ(number->nGetType(), U32{COLUMN_TYPE_TEXT_MEMO});
  EXPECT_EQ(number->nGetSize(), 8u);

  qzrt::ItemDescription shortItem(u"S");
  shortItem.SetNumber(I::kItemTypeCode, 8);
  shortItem.SetNumber(I::kSize, 2);
  CColumnDescriptor* decimal = Make(u"D", COLUMN_TYPE_DECIMAL, 8);
  decimal->bSetAll(u"D", u"", u"", 1, 8, COLUMN_TYPE_DECIMAL, 0, 0, 0, 10, 7);
  decimal->bAdjustToHostItem(reinterpret_cast<IHostItemDescription*>(&shortItem));
  EXPECT_EQ(decimal->nGetType(), U32{COLUMN_TYPE_INT16});
  EXPECT_EQ(decimal->nGetSize(), 2u);
  EXPECT_EQ(decimal->nGetPrecision(), 0u);
  for (CColumnDescriptor* d : {wide, text, number, decimal}) Drop(d);
}

}  // namespace
