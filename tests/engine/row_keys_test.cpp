// Row keys and value rows: the serialised forms and the key map functions a row cache relies on, the checksum,
// duplicates through the driver's factory, and value rows that grow, copy, compare and clone with their counts
// coming back.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/values/row_keys.h"
#include "engine/values/value_row.h"
#include "foundation/clone_map.h"
#include "foundation/hash_table.h"
#include "foundation/t_string.h"
#include "tests/engine/field_value_fixture.h"

namespace {

class RowKeysTest : public CFieldValueFixture {
 protected:
  CFieldValue* NewText(const char* text, std::uint64_t declared) {
    auto* value = new CFieldValue(holder, connection);
    value->AddRef();
    value->InitType(HOST_TYPE_ASTRING, declared);
    value->bSetAnsiText(text, FIELD_LENGTH_TERMINATED);
    return value;
  }
  static std::vector<std::uint8_t> Serialised(IRowKey& key) {
    std::vector<std::uint8_t> bytes(key.nGetSerialSize());
    key.Serialise(bytes.data());
    return bytes;
  }
  static std::uint64_t Address(const std::vector<std::uint8_t>& bytes) {
    return reinterpret_cast<std::uintptr_t>(bytes.data());
  }
};

TEST_F(RowKeysTest, RecordValuesKeysSerialiseHashAndCompare) {
  const std::uint8_t record[6] = {1, 0, 0, 0, 7, 9};
  CValueRow row;
  CRecordValuesKey key({record, sizeof(record), &row});
  EXPECT_EQ(key.nGetKind(), ROW_KEY_RECORD_VALUES);
  EXPECT_EQ(key.nGetHash(), 1u + 7u + 9u) << "one word, then the two bytes left";
  EXPECT_EQ(CRecordValuesKey({record, 0, nullptr}).nGetHash(), 0u);

  const std::vector<std::uint8_t> form = Serialised(key);
  ASSERT_EQ(form.size(), 28u);
  std::uint32_t hash = 0;
  std::uint64_t count = 0, bytes = 0, values = 0;
  std::memcpy(&hash, form.data(), 4);
  std::memcpy(&count, form.data() + 4, 8);
  std::memcpy(&bytes, form.data() + 12, 8);
  std::memcpy(&values, form.data() + 20, 8);
  EXPECT_EQ(hash, 17u);
  EXPECT_EQ(count, 6u);
  EXPECT_EQ(bytes, reinterpret_cast<std::uintptr_t>(record));
  EXPECT_EQ(values, reinterpret_cast<std::uintptr_t>(&row));
  CRecordValuesKey back({});
  ASSERT_TRUE(back.bDeserialise(form.data(), form.size()));
  EXPECT_EQ(back.Record().pLargeValues, &row);
  EXPECT_TRUE(back.bEquals(&key));
  EXPECT_FALSE(back.bDeserialise(form.data(), 27));

  CTString text;
  key.Dump(text, u"key: ");
  EXPECT_EQ(std::u16string(text.pszGet()), u"key: record values (6 bytes)");

  // The key map finds a record by its bytes; keys of different sizes never match, whatever their common bytes.
  CHashTable map(7);
  key.ConfigureKeyMap(map);
  ASSERT_TRUE(map.bInsert(Address(form), 1));
  const std::uint8_t same[6] = {1, 0, 0, 0, 7, 9};
  CRecordValuesKey probe({same, sizeof(same), nullptr});
  std::uint64_t found = 0;
  EXPECT_TRUE(map.bLookup(Address(Serialised(probe)), &found, nullptr));
  EXPECT_EQ(found, 1u);
  const PFN_HASH_COMPARE compare = map.pGetCompareFunction();
  const std::uint8_t longer[8] = {1, 0, 0, 0, 7, 9, 0, 0};
  const std::uint8_t shorter[2] = {1, 0};
  CRecordValuesKey longKey({longer, sizeof(longer), nullptr}), shortKey({shorter, sizeof(shorter), nullptr});
  EXPECT_NE(compare(Address(form), Address(Serialised(longKey))), 0);
  EXPECT_NE(compare(Address(form), Address(Serialised(shortKey))), 0);
  EXPECT_FALSE(key.bEquals(&longKey));
  EXPECT_EQ(map.pGetHashFunction()(Address(form)), 17u);
}

TEST_F(RowKeysTest, HostValueKeysSerialiseWithinTheirBufferSize) {
  CFieldValue* ab = NewText("AB", 10);
  CFieldValue* abc = NewText("ABC", 10);
  CHostValueKey keyAb(ab), keyAbc(abc);
  EXPECT_EQ(ab->nGetRefCount(), 2u);
  EXPECT_EQ(keyAb.nGetKind(), ROW_KEY_HOST_VALUE);
  EXPECT_EQ(keyAb.nGetSerialSize(), 18u);
  const std::vector<std::uint8_t> formAb = Serialised(keyAb), formAbc = Serialised(keyAbc);
  std::uint32_t length = 0;
  std::memcpy(&length, formAb.data() + 4, 4);
  EXPECT_EQ(length, 3u) << "the held text with its terminator";
  EXPECT_EQ(std::memcmp(formAb.data() + 8, "AB", 3), 0);

  CHashTable map(7);
  keyAb.ConfigureKeyMap(map);
  const PFN_HASH_COMPARE compare = map.pGetCompareFunction();
  const std::vector<std::uint8_t> abNoTerminator = [&] {
    std::vector<std::uint8_t> bytes(formAb);
    const std::uint32_t two = 2;
    std::memcpy(bytes.data() + 4, &two, 4);
    return bytes;
  }();
  EXPECT_LT(compare(Address(abNoTerminator), Address(formAbc)), 0) << "the shorter key sorts first";
  EXPECT_GT(compare(Address(formAbc), Address(abNoTerminator)), 0);
  EXPECT_EQ(compare(Address(formAb), Address(Serialised(keyAb))), 0);
  EXPECT_EQ(map.pGetHashFunction()(Address(formAb)), keyAb.nGetHash());
  EXPECT_FALSE(keyAb.bEquals(&keyAbc));

  // A held value longer than the size its column declared is cut to that size, never written past its place.
  CFieldValue* grown = NewText("ABCDEFGHIJ", 4);
  CHostValueKey keyGrown(grown);
  const std::vector<std::uint8_t> formGrown = Serialised(keyGrown);
  ASSERT_EQ(formGrown.size(), 12u);
  std::memcpy(&length, formGrown.data() + 4, 4);
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(std::memcmp(formGrown.data() + 8, "ABCD", 4), 0);

  // Back from the arena, into a copy made through the driver's factory.
  IRowKey* copy = keyAbc.pNewFor({});
  ASSERT_NE(copy, nullptr);
  copy->AddRef();
  EXPECT_TRUE(copy->bEquals(&keyAbc));
  ASSERT_TRUE(copy->bDeserialise(formAb.data(), formAb.size()));
  EXPECT_TRUE(copy->bEquals(&keyAb));
  ASSERT_TRUE(copy->bAssign({}, &keyAbc));
  EXPECT_TRUE(copy->bEquals(&keyAbc));
  CTString text;
  keyAb.Dump(text, u"v=");
  EXPECT_EQ(std::u16string(text.pszGet()), u"v=AB");
  copy->nRelease();

  ab->nRelease();
  abc->nRelease();
  grown->nRelease();
}

TEST_F(RowKeysTest, ValueRowsGrowCopyCompareAndClone) {
  CFieldValue* one = NewText("one", 8);
  CFieldValue* two = NewText("two", 8);
  auto* five = new CValueRow();
  five->AddRef();
  ASSERT_TRUE(five->SetAt(4, one));
  EXPECT_EQ(five->nGetCount(), 5u);
  EXPECT_EQ(five->pGetAt(0), nullptr) << "the slots before it stay empty";
  EXPECT_NE(five->pGetAt(4), one) << "the row keeps a duplicate";
  for (std::uint32_t i = 0; i < 4; ++i) ASSERT_TRUE(five->SetAt(i, two));
  EXPECT_EQ(one->nGetRefCount(), 1u);

  CValueRow pair;
  ASSERT_TRUE(pair.SetAt(0, one));
  ASSERT_TRUE(pair.SetAt(1, one));
  EXPECT_FALSE(bValueRowsEqual(&pair, five));
  ASSERT_TRUE(five->CopyFrom(&pair));
  EXPECT_EQ(five->nGetCount(), 5u);
  for (std::uint32_t i = 2; i < 5; ++i) EXPECT_TRUE(five->pGetAt(i)->Value().bIsNull()) << i;
  EXPECT_TRUE(bValueRowsEqual(&pair, five)) << "missing elements count as NULL";
  CValueRow empty, alsoEmpty;
  EXPECT_TRUE(bValueRowsEqual(&empty, &alsoEmpty));
  EXPECT_FALSE(bValueRowsEqual(&empty, &pair));
  ASSERT_TRUE(empty.SetAt(1, nullptr));
  EXPECT_EQ(empty.nGetCount(), 2u);
  // Values that live in the fields' own buffers compare by those, not by the held runtime values.
  std::int32_t numbers[3] = {5, 7, 5};
  CFieldValue* held[3];
  for (int i = 0; i < 3; ++i) {
    (held[i] = new CFieldValue(holder, connection))->AddRef();
    held[i]->InitType(HOST_TYPE_INT32, 4), held[i]->bAttachExternalBuffer(&numbers[i], 4);
  }
  EXPECT_FALSE(nValueItemsEqualFor(held[0], held[1]));
  EXPECT_TRUE(nValueItemsEqualFor(held[0], held[2]));
  for (CFieldValue* value : held) value->nRelease();

  // Clones through one map share one copy of each element.
  CValueRow shared;
  ASSERT_TRUE(shared.SetAt(0, one));
  CFieldValue* element = shared.pGetAt(0);
  CHashTable map(7);
  CValueRow* first = shared.pNew(map);
  ASSERT_NE(first, nullptr);
  first->AddRef();
  std::uint64_t copy = 0;
  ASSERT_TRUE(map.bLookup(nCloneKey(element), &copy, nullptr));
  EXPECT_EQ(first->pGetAt(0), reinterpret_cast<CFieldValue*>(copy));
  EXPECT_NE(first->pGetAt(0), element);
  EXPECT_TRUE(bValueRowsEqual(first, &shared));
  CValueRow* again = shared.pNew(map);
  ASSERT_NE(again, nullptr);
  again->AddRef();
  EXPECT_EQ(again->pGetAt(0), first->pGetAt(0));
  EXPECT_EQ(first->pGetAt(0)->nGetRefCount(), 2u);

  again->nRelease();
  first->nRelease();
  five->nRelease();
  one->nRelease();
  two->nRelease();
}

}  // namespace
