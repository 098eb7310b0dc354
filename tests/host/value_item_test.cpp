// Value items and the value helpers against the runtime stand-in's conversion engine: emptiness and zero tests with
// NULL and unset values, equality with the NULL rules, the byte checksum, copies through a clone map.
#include "host/value_item.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/record/column_types.h"
#include "foundation/hash_table.h"
#include "foundation/t_string.h"
#include "host/host_services.h"
#include "host/host_string.h"
#include "tests/host/host_value_fixture.h"

namespace {

class ValueItemTest : public CHostValueFixture {
 protected:
  template <class T>
  static void Make(CValueItem& item, std::uint8_t type, const T& native, bool null = false) {
    item.Value().SetType(type);
    item.Value().Set(&native);
    item.Value().SetNull(null);
  }
};

TEST_F(ValueItemTest, EmptyAndZeroFollowTheNullAndTypeRules) {
  CValueItem unset;
  EXPECT_TRUE(unset.bIsUnset());
  EXPECT_TRUE(bHostValueIsEmpty(&unset));
  EXPECT_TRUE(bHostValueIsZero(&unset));

  CValueItem nullInt;
  Make(nullInt, HOST_TYPE_INT32, std::int32_t{7}, true);
  EXPECT_TRUE(bHostValueIsEmpty(&nullInt));
  EXPECT_TRUE(bHostValueIsZero(&nullInt));

  CValueItem zero;
  Make(zero, HOST_TYPE_INT32, std::int32_t{0});
  EXPECT_FALSE(bHostValueIsEmpty(&zero)) << "a number is never an empty text";
  EXPECT_TRUE(bHostValueIsZero(&zero));
  EXPECT_TRUE(bHostValueIsEmptyOrZero(&zero));
  EXPECT_EQ(zero.Value().nGetType(), HOST_TYPE_INT32) << "the test converts a copy";

  CValueItem small;
  Make(small, HOST_TYPE_DOUBLE, 1e-300);
  EXPECT_FALSE(bHostValueIsZero(&small));
  CValueItem negativeZero;
  Make(negativeZero, HOST_TYPE_DOUBLE, -0.0);
  EXPECT_TRUE(bHostValueIsZero(&negativeZero));

  CValueItem character;
  Make(character, HOST_TYPE_WCHAR, char16_t{0});
  EXPECT_TRUE(bHostValueIsEmpty(&character));
  EXPECT_FALSE(bHostValueIsZero(&character)) << "only number types can be zero";
  Make(character, HOST_TYPE_WCHAR, u'x');
  EXPECT_FALSE(bHostValueIsEmptyOrZero(&character));

  // Texts are empty by their first character, whatever their form.
  CValueItem text;
  text.Value().SetType(HOST_TYPE_TEXT_BUFFER);
  EXPECT_TRUE(bHostValueIsEmpty(&text)) << "a runtime string without a buffer";
  text.Value().SetFromBuffer("ab", 2);
  EXPECT_FALSE(bHostValueIsEmpty(&text));
  text.Value().SetType(HOST_TYPE_TEXT);
  text.Value().Set(u"");
  EXPECT_TRUE(bHostValueIsEmpty(&text));
  EXPECT_FALSE(bHostValueIsZero(&text));
  text.Value().SetType(HOST_TYPE_ADATE);
  EXPECT_TRUE(bHostValueIsEmpty(&text));
  text.Value().Ops().SetFromNarrowZ(text.Value().pHolder(), "20240101");
  EXPECT_FALSE(bHostValueIsEmpty(&text));

}

TEST_F(ValueItemTest, EqualityAndTheNullRules) {
  CValueItem a, b, nullA, nullB, unset;
  Make(a, HOST_TYPE_INT32, std::int32_t{5});
  Make(b, HOST_TYPE_INT64, std::int64_t{5});
  Make(nullA, HOST_TYPE_INT32, std::int32_t{5}, true);
  Make(nullB, HOST_TYPE_DOUBLE, 5.0, true);
  EXPECT_TRUE(bValueItemsEqual(&a, &b)) << "the runtime compares across types";
  EXPECT_TRUE(bValueItemsEqual(&nullA, &nullB));
  EXPECT_TRUE(bValueItemsEqual(&nullA, &unset));
  EXPECT_FALSE(bValueItemsEqual(&a, &nullA));
  EXPECT_FALSE(bValueItemsEqual(&nullA, &a));
  EXPECT_TRUE(bValueItemsEqual(&nullA, &nullA));
  Make(b, HOST_TYPE_INT64, std::int64_t{6});
  EXPECT_FALSE(bValueItemsEqual(&a, &b));

  // Field values, either of which may be missing: missing and NULL are alike.
  EXPECT_TRUE(nValueItemsEqualFor(nullptr, nullptr));
  EXPECT_TRUE(nValueItemsEqualFor(&nullA, nullptr));
  EXPECT_TRUE(nValueItemsEqualFor(&nullA, &nullB));
  EXPECT_FALSE(nValueItemsEqualFor(&nullA, &a));
  EXPECT_FALSE(nValueItemsEqualFor(nullptr, &a));
  CValueItem unset2;
  EXPECT_TRUE(nValueItemsEqualFor(&unset, &unset2));
  EXPECT_FALSE(nValueItemsEqualFor(&a, &b));
  Make(b, HOST_TYPE_DOUBLE, 5.0);
  EXPECT_TRUE(nValueItemsEqualFor(&a, &b));
}

TEST_F(ValueItemTest, SettingCopyingAndCloning) {
  CValueItem item;
  Make(item, HOST_TYPE_INT16, std::int16_t{-12});
  ASSERT_TRUE(item.bSetValueOrNull(nullptr));
  EXPECT_EQ(item.Value().wGetTypeWord(), HOST_TYPE_INT16 | HOST_VALUE_FLAG_NULL);
  std::int16_t stored = 1;
  item.Value().nGet(&stored);
  EXPECT_EQ(stored, 0) << "the NULL value starts from the type's initial value";

  CValueItem source;
  Make(source, HOST_TYPE_UINT16, std::uint16_t{300});
  ASSERT_TRUE(item.bSetValueOrNull(&source));
  EXPECT_EQ(item.Value().wGetTypeWord(), HOST_TYPE_UINT16);

  CHashTable map(7);
  CValueItem* copy = source.pClone(map);
  ASSERT_NE(copy, nullptr);
  std::uint64_t registered = 0;
  EXPECT_TRUE(map.bLookup(reinterpret_cast<std::uintptr_t>(&source), &registered, nullptr));
  EXPECT_EQ(registered, reinterpret_cast<std::uintptr_t>(copy));
  EXPECT_TRUE(bValueItemsEqual(copy, &source));
  copy->AddRef();
  copy->nRelease();

  CHostValue out;
  ASSERT_TRUE(source.bGetValue(&out));
  EXPECT_EQ(out.wGetTypeWord(), HOST_TYPE_UINT16);
  EXPECT_EQ(nHostValueSizeWithTerminator(&source), 2u);
  EXPECT_EQ(nHostValueDataSize(&source), 2u);
  EXPECT_NE(nHostValueDataPointer(&source), 0u);
  CValueItem unset;
  EXPECT_EQ(nHostValueDataPointer(&unset), 0u);
  EXPECT_EQ(nHostValueSizeWithTerminator(&unset), 0u);
}

TEST_F(ValueItemTest, ChecksumAddsWordsThenBytes) {
  const std::uint8_t bytes[6] = {0x01, 0x02, 0x03, 0x04, 0x10, 0x20};
  CValueItem item;
  item.Value().SetType(HOST_TYPE_PAIR29);
  item.Value().SetFromBuffer(bytes, sizeof(bytes));
  EXPECT_EQ(nBufferChecksum(&item), 0x04030201u + 0x10u + 0x20u);
  CValueItem unset;
  EXPECT_EQ(nBufferChecksum(&unset), 0u);
}

TEST_F(ValueItemTest, DumpsOfItems) {
  CValueItem item;
  Make(item, HOST_TYPE_INT32, std::int32_t{42});
  CTString text;
  HostValueToCTString(&item, text, u"Key: ");
  EXPECT_EQ(std::u16string(text.pszGet()), u"Key: 42");
  CHostWString detailed;
  EXPECT_EQ(nHostValueToText(&item, detailed, nullptr, 1), 0);
  EXPECT_EQ(std::u16string(detailed.pszGet()), u"Type=8, Len=4, Value=42, Value(binary)=2A000000");
  CValueItem unset;
  HostValueToCTString(&unset, text, nullptr);
  EXPECT_EQ(std::u16string(text.pszGet()), u"<Empty>");
}

}  // namespace

namespace {

TEST_F(ValueItemTest, BinaryInfoComesFromTheProxyHandle) {
  std::intptr_t first = -1;
  std::intptr_t second = -1;
  CValueItem unset;
  EXPECT_EQ(bHostValueBinaryInfo(&unset, &first, &second), 0) << "nothing converts to a handle";
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 0);

  CValueItem decimal;
  decimal.Value().SetType(HOST_TYPE_PROXY_HANDLE);
  IHostProxyHandle* handle = nullptr;
  ASSERT_EQ(decimal.Value().nGet(&handle), 0);
  ASSERT_NE(handle, nullptr);
  handle->SetPrecision(10, 2);
  ASSERT_EQ(bHostValueBinaryInfo(&decimal, &first, &second), 1);
  EXPECT_EQ(first, 10);
  EXPECT_EQ(second, 2);

  // Another type goes through a converted copy, whose handle is given back (the fixture counts live handles).
  CValueItem number;
  Make(number, HOST_TYPE_INT32, std::int32_t{7});
  EXPECT_EQ(bHostValueBinaryInfo(&number, &first, &second), 1);
  EXPECT_EQ(number.Value().nGetType(), HOST_TYPE_INT32);
}

}  // namespace

namespace {

TEST_F(ValueItemTest, NativeTypesFollowTheColumnTypeMaps) {
  CValueItem item;
  Make(item, HOST_TYPE_INT32, std::int32_t{42});
  EXPECT_EQ(item.nNativeTypeOfValue(), COLUMN_TYPE_INT32);

  // To a column type's runtime type: a 4-byte integer column holds runtime type 8, a UTF-16 text column type 16.
  item.SetTypeFromNative(COLUMN_TYPE_WTEXT, 0);
  EXPECT_EQ(item.Value().nGetType(), 16);
  EXPECT_EQ(item.nNativeTypeOfValue(), COLUMN_TYPE_WTEXT_MEMO);
  item.SetTypeFromNative(COLUMN_TYPE_INT64, 0);
  EXPECT_EQ(item.Value().nGetType(), 9);
  std::int64_t back = 0;
  item.Value().nGet(&back);
  EXPECT_EQ(back, 42);

  EXPECT_EQ(nHostTypeOfColumnType(8, -1), 0);
  EXPECT_EQ(nHostTypeOfColumnType(32, -1), 0);
}

}  // namespace
