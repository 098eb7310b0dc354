// The record buffer: its null bitmap, the storage of each column type fed short, long, odd and unterminated inputs
// (each input in a heap block of exactly its length, so that a read past it shows under the address sanitizer),
// the memo sentinels, runtime values set and read back through the stand-in's conversions, the layouts that would
// put a field outside the block, and whole-row copies.
#include "engine/record/record_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "foundation/clone_map.h"
#include "foundation/date_time.h"
#include "host/host_services.h"
#include "host/value_entry_points.h"
#include "standin/runtime/runtime_standin.h"
#include "tests/engine/record_fixture.h"

namespace {

using records::RecordTest;
using Bytes = std::vector<std::uint8_t>;

Bytes B(const char* text, std::size_t n) { return Bytes(text, text + n); }

class RecordBufferTest : public RecordTest {
 protected:
  void SetUp() override {
    RecordTest::SetUp();
    qzrt::Reset();
    gpHostLocale = static_cast<IHostLocaleService*>(qzrt::LocaleService());
    gpHostStringAllocator = static_cast<IHostStringAllocator*>(qzrt::StringAllocator());
    ASSERT_EQ(bInitKXConvFromVM(qzrt::ModuleHandle(), 2, 2), 1);
    ASSERT_EQ(bInitKXCalcFromVM(qzrt::ModuleHandle(), 2, 2), 1);
    description = NewDescription();
  }
  void TearDown() override {
    buffer.reset();
    description->nRelease();
    RecordTest::TearDown();
    EXPECT_EQ(qzrt::LiveProxyHandles(), 0u);
  }
  CColumnDescriptor* Add(CColumnDescriptor* item) {
    EXPECT_TRUE(description->AddItem(item));
    return item;
  }
  void Build() {
    description->LayoutItems();
    buffer = std::make_unique<CRecordBuffer>();
    ASSERT_TRUE(buffer->bBuildLayout(description));
  }
  Bytes Field(CColumnDescriptor* item, std::int32_t element = 0) {
    const std::uint8_t* data = buffer->pGetFieldData(item, element);
    if (!data) return {};
    return Bytes(data, data + (element == -1 ? item->nGetTotalSize() : item->nGetSize()));
  }

  CRecordDescription* description = nullptr;
  std::unique_ptr<CRecordBuffer> buffer;
};

TEST_F(RecordBufferTest, NullFlagsFollowPositionsFromTheTopBit) {
  std::vector<CColumnDescriptor*> items;
  for (int i = 0; i < 9; ++i) items.push_back(Add(Make(u"", COLUMN_TYPE_INT32, 4)));
  Build();
  EXPECT_EQ(buffer->nGetNullAreaSize(), 2u);
  EXPECT_EQ(buffer->nGetTotalLength(), 2u + 36u);
  const std::int32_t one = 1;
  ASSERT_TRUE(buffer->bSetFieldBytes(items[8], &one, 4, 0));
  EXPECT_EQ(buffer->pGetBlock()[0], 0x00);
  EXPECT_EQ(buffer->pGetBlock()[1], 0x80);
  EXPECT_TRUE(buffer->bIsFieldPresent(items[8]));
  EXPECT_FALSE(buffer->bIsFieldPresent(items[7]));
  buffer->SetFieldPresent(items[1], true, 0);
  EXPECT_EQ(buffer->pGetBlock()[0], 0x40);
  buffer->SetFieldPresent(items[8], false, 0);
  EXPECT_EQ(Field(items[8]), Bytes(4, 0));  // a field made NULL is zeroed

  const Bytes row(36, 0xAB);
  buffer->SetData(row.data(), static_cast<std::uint32_t>(row.size()));
  EXPECT_EQ(buffer->pGetBlock()[0], 0xFF);
  EXPECT_EQ(buffer->pGetBlock()[1], 0xFF);
  EXPECT_EQ(Field(items[8]), Bytes(4, 0xAB));
  const Bytes longRow(100, 0xCD);  // longer than the fields: only what they hold is taken
  buffer->SetData(longRow.data(), static_cast<std::uint32_t>(longRow.size()));
  EXPECT_EQ(Field(items[8]), Bytes(4, 0xCD));
}

TEST_F(RecordBufferTest, ADescriptionWithoutItemsGetsAOneByteNullArea) {
  Build();
  EXPECT_EQ(buffer->nGetNullAreaSize(), 1u);
  EXPECT_EQ(buffer->nGetTotalLength(), 1u);
  buffer->SetData(nullptr, 0);
  EXPECT_EQ(buffer->pGetBlock()[0], 0xFF);
}

TEST_F(RecordBufferTest, StoragePerTypeKeepsEveryElementWithinItsSize) {
  struct Case {
    const char* name;
    std::uint32_t type, size;
    Bytes input;
    Bytes expected;
  };
  const Bytes fifteen = B("ABCDEFGHIJKLMNO", 15);
  const Bytes thirty(30, 0x41);
  const Bytes twenty(20, 0x5A);
  auto pad = [](Bytes bytes, std::size_t size) {
    bytes.resize(size, 0);
    return bytes;
  };
  const Case cases[] = {
      {"long text", COLUMN_TYPE_TEXT, 11, fifteen, pad(B("ABCDEFGHIJ", 10), 11)},
      {"short text", COLUMN_TYPE_TEXT, 11, B("abc", 3), pad(B("abc", 3), 11)},
      {"unterminated text", COLUMN_TYPE_TEXT, 11, B("abcde", 5), pad(B("abcde", 5), 11)},
      {"text ending early", COLUMN_TYPE_TEXT, 5, B("ab\0zz", 5), pad(B("ab", 2), 5)},
      {"date digits", COLUMN_TYPE_DATE, 9, B("20240102", 8), pad(B("20240102", 8), 9)},
      {"long UTF-16", COLUMN_TYPE_WTEXT, 22, thirty, pad(Bytes(20, 0x41), 22)},
      {"odd UTF-16", COLUMN_TYPE_WTEXT, 22, B("a\0b\0c", 5), pad(B("a\0b\0", 4), 22)},
      {"odd UTF-16 element", COLUMN_TYPE_WTEXT, 21, thirty, pad(Bytes(18, 0x41), 21)},
      {"long binary", COLUMN_TYPE_BINARY, 12, twenty,
       [] {
         Bytes b = {10, 0};
         b.insert(b.end(), 10, 0x5A);
         return b;
       }()},
      {"short binary", COLUMN_TYPE_BINARY, 12, B("xyz", 3), pad(B("\3\0xyz", 5), 12)},
      {"short integer source", COLUMN_TYPE_INT32, 4, B("\1\2", 2), B("\1\2\0\0", 4)},
      {"long integer source", COLUMN_TYPE_INT32, 4, B("\1\2\3\4\5\6", 6), B("\1\2\3\4", 4)},
      {"real", COLUMN_TYPE_REAL8, 8, B("\1\2\3\4\5\6\7\x8", 8), B("\1\2\3\4\5\6\7\x8", 8)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CRecordDescription* single = NewDescription();
    CColumnDescriptor* item = Make(u"F", c.type, c.size);
    single->AddItem(item);
    single->LayoutItems();
    CRecordBuffer row;
    ASSERT_TRUE(row.bBuildLayout(single));
    // The input lives in a block of exactly its length.
    std::unique_ptr<std::uint8_t[]> input(new std::uint8_t[c.input.size()]);
    std::memcpy(input.get(), c.input.data(), c.input.size());
    ASSERT_TRUE(row.bSetFieldBytes(item, input.get(), static_cast<std::uint32_t>(c.input.size()), 0));
    EXPECT_TRUE(row.bIsFieldPresent(item));
    const std::uint8_t* data = row.pGetFieldData(item, 0);
    EXPECT_EQ(Bytes(data, data + c.size), c.expected);
    single->nRelease();
  }
}

// A text cut to its field keeps whole characters: of the runtime's double-byte page, and of UTF-16 surrogate pairs.
TEST_F(RecordBufferTest, TextsCutToTheirFieldEndOnAWholeCharacter) {
  qzrt::SetLocaleCharset(128);  // the runtime in a Japanese page: 0x82 0xA0 is one character
  struct Case {
    const char* name;
    std::uint32_t type, size;
    Bytes input, expected;
  };
  const Case cases[] = {
      {"double-byte character across the end", COLUMN_TYPE_TEXT, 3, B("a\x82\xa0", 3), B("a\0\0", 3)},
      {"double-byte character that fits", COLUMN_TYPE_TEXT, 4, B("a\x82\xa0z", 4), B("a\x82\xa0\0", 4)},
      {"surrogate pair across the end", COLUMN_TYPE_WTEXT, 6, B("a\0\x3d\xd8\x00\xde", 6), B("a\0\0\0\0\0", 6)},
      {"surrogate pair that fits", COLUMN_TYPE_WTEXT, 8, B("a\0\x3d\xd8\x00\xde", 6),
       B("a\0\x3d\xd8\x00\xde\0\0", 8)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CRecordDescription* single = NewDescription();
    CColumnDescriptor* item = Make(u"F", c.type, c.size);
    single->AddItem(item);
    single->LayoutItems();
    CRecordBuffer row;
    ASSERT_TRUE(row.bBuildLayout(single));
    ASSERT_TRUE(row.bSetFieldBytes(item, c.input.data(), static_cast<std::uint32_t>(c.input.size()), 0));
    const std::uint8_t* data = row.pGetFieldData(item, 0);
    EXPECT_EQ(Bytes(data, data + c.size), c.expected);
    single->nRelease();
  }
  qzrt::SetLocaleCharset(0);
}

// A runtime text goes into a text field through the runtime's conversion into its own page, then is cut to the field
// on whole characters of that page: a three- or four-byte character at the cut is left out whole.
TEST_F(RecordBufferTest, RuntimeTextsAreCutOnWholeCharactersOfTheRuntimesPage) {
  struct Case {
    std::uint32_t page;
    const char16_t* text;
    std::uint32_t size;
    Bytes expected;
  };
  const Case cases[] = {
      {65001, u"abc\u20ac", 5, B("abc\0\0", 5)},                          // three bytes, two of them fit
      {65001, u"a\U0001F600", 4, B("a\0\0\0", 4)},                        // four bytes, three fit
      {65001, u"a\u00e9", 4, B("a\xc3\xa9\0", 4)},                         // fits whole
      {54936, u"a\u4e2d\U0001F600", 6, B("a\xd6\xd0\0\0\0", 6)},           // four-byte GB18030 across the end
      {932, u"\u65e5\u672c", 4, B("\x93\xfa\0\0", 4)},                     // double-byte pairs
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    qzrt::SetCodePage(c.page);
    CRecordDescription* single = NewDescription();
    CColumnDescriptor* item = Make(u"F", COLUMN_TYPE_TEXT, c.size);
    single->AddItem(item);
    single->LayoutItems();
    CRecordBuffer row;
    ASSERT_TRUE(row.bBuildLayout(single));
    CHostValue text;
    text.SetType(HOST_TYPE_WSTRING);
    text.SetFromBuffer(c.text, std::char_traits<char16_t>::length(c.text) * 2);
    ASSERT_TRUE(row.bSetFieldFromValue(item, text, 0));
    const std::uint8_t* data = row.pGetFieldData(item, 0);
    EXPECT_EQ(Bytes(data, data + c.size), c.expected);
    single->nRelease();
  }
  qzrt::SetCodePage(1252);
}

TEST_F(RecordBufferTest, MemosHoldSentinelsForNullAndPresent) {
  CColumnDescriptor* text = Add(Make(u"T", COLUMN_TYPE_TEXT_MEMO, 8));
  CColumnDescriptor* wide = Add(Make(u"W", COLUMN_TYPE_WTEXT_MEMO, 8));
  CColumnDescriptor* binary = Add(Make(u"B", COLUMN_TYPE_BINARY_MEMO, 8));
  Build();
  EXPECT_EQ(Field(text), Bytes(8, 0xFF));  // NULL from the start: no default for memos
  EXPECT_EQ(Field(binary), Bytes(8, 0xFF));
  Bytes wideNull(6, 0xFF);
  wideNull.resize(8, 0);
  EXPECT_EQ(Field(wide), wideNull);
  buffer->SetFieldPresent(text, true, 0);
  EXPECT_EQ(Field(text), Bytes(8, 0));
  EXPECT_TRUE(buffer->bIsFieldPresent(text));
  buffer->SetFieldPresent(text, false, 0);
  EXPECT_EQ(Field(text), Bytes(8, 0xFF));
  EXPECT_FALSE(buffer->bIsFieldPresent(text));
}

TEST_F(RecordBufferTest, ValuesGoInAndComeBackInTheColumnsHostType) {
  CColumnDescriptor* number = Add(Make(u"N", COLUMN_TYPE_INT32, 4));
  CColumnDescriptor* text = Add(Make(u"T", COLUMN_TYPE_TEXT, 6));
  CColumnDescriptor* wide = Add(Make(u"W", COLUMN_TYPE_WTEXT, 8));
  CColumnDescriptor* binary = Add(Make(u"B", COLUMN_TYPE_BINARY, 6));
  CColumnDescriptor* time = Add(Make(u"H", COLUMN_TYPE_TIME, 10));
  Build();

  CHostValue value;
  value.SetType(HOST_TYPE_INT32);
  const std::int32_t answer = -42;
  value.Set(&answer);
  ASSERT_TRUE(buffer->bSetFieldFromValue(number, value, 0));
  ASSERT_TRUE(buffer->bSetFieldFromValue(text, value, 0));  // converted by the runtime to text first
  CHostValue out;
  buffer->GetFieldValue(out, number, 0);
  std::int32_t read = 0;
  out.nGet(&read);
  EXPECT_EQ(out.nGetType(), HOST_TYPE_INT32);
  EXPECT_EQ(read, -42);
  EXPECT_EQ(Field(text), B("-42\0\0\0", 6));

  CHostValue words;
  words.SetType(HOST_TYPE_WSTRING);
  words.SetFromBuffer(u"abcdef", 12);
  ASSERT_TRUE(buffer->bSetFieldFromValue(wide, words, 0));
  buffer->GetFieldValue(out, wide, 0);
  const char16_t* got = nullptr;
  ASSERT_EQ(out.nGetWideText(&got), 0);
  EXPECT_EQ(std::u16string(got), u"abc");  // three characters and the terminator
  EXPECT_FALSE(out.bIsNull());

  CHostValue bytes;
  bytes.SetType(HOST_TYPE_BINARY_BUFFER);
  bytes.SetFromBuffer("\x01\x02\x03\x04\x05\x06", 6);
  ASSERT_TRUE(buffer->bSetFieldFromValue(binary, bytes, 0));
  EXPECT_EQ(Field(binary), B("\4\0\1\2\3\4", 6));
  buffer->GetFieldValue(out, binary, 0);
  std::size_t size = 0;
  out.nGetDataSize(&size);
  EXPECT_EQ(size, 4u);

  CHostValue when;
  when.SetType(HOST_TYPE_DATETIME);
  CHostDateTime dateTime{};
  dateTime.SetYear(2024);
  dateTime.SetMonth(2);
  dateTime.SetDay(29);
  dateTime.bSetHour(13);
  dateTime.bSetMinute(5);
  dateTime.bSetSecond(7);
  dateTime.bSetMillisecond(89);
  when.Set(&dateTime);
  ASSERT_TRUE(buffer->bSetFieldFromValue(time, when, 0));
  EXPECT_EQ(Field(time), B("130507089\0", 10));

  CHostValue nothing;
  nothing.SetType(HOST_TYPE_INT32);
  nothing.SetNull(true);
  ASSERT_TRUE(buffer->bSetFieldFromValue(number, nothing, 0));
  EXPECT_FALSE(buffer->bIsFieldPresent(number));
  EXPECT_EQ(Field(number), Bytes(4, 0));
}

TEST_F(RecordBufferTest, AFailedConversionLeavesTheFieldAsItWas) {
  CColumnDescriptor* number = Add(Make(u"N", COLUMN_TYPE_INT32, 4));
  Build();
  const std::int32_t seven = 7;
  ASSERT_TRUE(buffer->bSetFieldBytes(number, &seven, 4, 0));
  CHostValue words;
  words.SetType(HOST_TYPE_WSTRING);
  words.SetFromBuffer(u"not a number", 24);
  EXPECT_FALSE(buffer->bSetFieldFromValue(number, words, 0));
  EXPECT_EQ(Field(number), Bytes({7, 0, 0, 0}));
  EXPECT_TRUE(buffer->bIsFieldPresent(number));
}

TEST_F(RecordBufferTest, DecimalsKeepTheColumnsDigits) {
  CColumnDescriptor* amount = Make(u"A", COLUMN_TYPE_DECIMAL, 18);
  amount->bSetAll(u"A", u"", u"", 1, 18, COLUMN_TYPE_DECIMAL, 0xFFFFFFFF, 0xFFFFFFFF, 0, 20, 2);
  Add(amount);
  Build();
  CHostValue text;
  text.SetType(HOST_TYPE_WSTRING);
  text.SetFromBuffer(u"1234.5678", 18);
  ASSERT_TRUE(buffer->bSetFieldFromValue(amount, text, 0));
  CHostValue out;
  buffer->GetFieldValue(out, amount, 0);
  ASSERT_EQ(out.nGetType(), HOST_TYPE_PROXY_HANDLE);
  ASSERT_EQ(out.nConvert(HOST_TYPE_WSTRING), 0);
  const char16_t* got = nullptr;
  out.nGetWideText(&got);
  EXPECT_EQ(std::u16string(got), u"1234.57");  // brought to the column's two fraction digits
}

TEST_F(RecordBufferTest, DefaultValuesFillTheNewRow) {
  CColumnDescriptor* withDefault = Add(Make(u"D", COLUMN_TYPE_INT16, 2, 0, 0xFFFFFFFF, 0xFFFFFFFF, 2));
  CColumnDescriptor* without = Add(Make(u"N", COLUMN_TYPE_INT32, 4));
  CHostValue five;
  five.SetType(HOST_TYPE_INT32);
  const std::int32_t n = 5;
  five.Set(&n);
  ASSERT_EQ(withDefault->bSetDefaultValue(five), 0);
  Build();
  EXPECT_TRUE(buffer->bIsFieldPresent(withDefault));
  EXPECT_EQ(Field(withDefault, -1), Bytes({5, 0, 5, 0}));
  EXPECT_FALSE(buffer->bIsFieldPresent(without));
}

// A memo's default value never goes into the row: its field holds the NULL sentinel.
TEST_F(RecordBufferTest, AMemoWithADefaultStartsNull) {
  CColumnDescriptor* memo = Add(Make(u"M", COLUMN_TYPE_BINARY_MEMO, 8));
  CHostValue bytes;
  bytes.SetType(HOST_TYPE_BINARY_BUFFER);
  bytes.SetFromBuffer("default", 7);
  ASSERT_EQ(memo->bSetDefaultValue(bytes), 0);
  ASSERT_FALSE(memo->pGetDefaultValue()->bIsNull());
  Build();
  EXPECT_FALSE(buffer->bIsFieldPresent(memo));
  EXPECT_EQ(Field(memo), Bytes(8, 0xFF));
}

TEST_F(RecordBufferTest, ACompositeKeyBeforeAPlainItemLeavesEveryPlainFieldInside) {
  CColumnDescriptor* a = Add(Make(u"A", COLUMN_TYPE_INT32, 4));
  CColumnDescriptor* key = Make(u"K", COLUMN_TYPE_BINARY, 0, COLUMN_FLAG_COMPOSITE_KEY | COLUMN_FLAG_DUPLICATES);
  key->bAddComponent(a);
  Add(key);
  CColumnDescriptor* b = Add(Make(u"B", COLUMN_TYPE_REAL8, 8));
  Build();
  ASSERT_EQ(description->nGetRecordSize(), 12u);
  const double pi = 3.25;
  ASSERT_TRUE(buffer->bSetFieldBytes(b, &pi, 8, 0));  // B lies at 8 to 16, past the record size
  double read = 0;
  buffer->CopyFieldTo(&read, b, 0);
  EXPECT_EQ(read, 3.25);

  // A composite key after the plain items has no bytes in the block: nothing is written there.
  CRecordDescription* after = NewDescription();
  CColumnDescriptor* c = Make(u"C", COLUMN_TYPE_INT32, 4);
  after->AddItem(c);
  CColumnDescriptor* tail = Make(u"K", COLUMN_TYPE_BINARY, 0, COLUMN_FLAG_COMPOSITE_KEY | COLUMN_FLAG_DUPLICATES);
  tail->bAddComponent(c);
  after->AddItem(tail);
  after->LayoutItems();
  CRecordBuffer row;
  ASSERT_TRUE(row.bBuildLayout(after));
  EXPECT_EQ(row.nGetTotalLength(), 1u + 4u);
  EXPECT_FALSE(row.bSetFieldBytes(tail, "\1\2\3\4\5\6", 6, 0));
  EXPECT_EQ(row.pGetFieldData(tail, 0), nullptr);
  EXPECT_EQ(row.pGetFieldData(c, 1), nullptr);  // past the element count
  after->nRelease();
}

TEST_F(RecordBufferTest, RowsAreCopiedComparedAndClonedWhole) {
  CColumnDescriptor* a = Add(Make(u"A", COLUMN_TYPE_INT32, 4));
  Add(Make(u"T", COLUMN_TYPE_TEXT, 5));
  Build();
  const std::int32_t nine = 9;
  buffer->bSetFieldBytes(a, &nine, 4, 0);
  CRecordBuffer* clone = buffer->pClone();
  ASSERT_NE(clone, nullptr);
  EXPECT_TRUE(buffer->bEquals(clone));
  EXPECT_NE(clone->pGetBlock(), buffer->pGetBlock());
  const std::int32_t ten = 10;
  clone->bSetFieldBytes(a, &ten, 4, 0);
  EXPECT_FALSE(buffer->bEquals(clone));
  buffer->CopyBlockFrom(clone);
  EXPECT_TRUE(buffer->bEquals(clone));
  EXPECT_FALSE(buffer->bEquals(nullptr));
  clone->nRelease();

  CHashTable map(7);
  CRecordBuffer* mapped = buffer->pCloneWithMap(map);
  ASSERT_NE(mapped, nullptr);
  EXPECT_TRUE(mapped->bEquals(buffer.get()));
  std::uint64_t registered = 0;
  EXPECT_TRUE(map.bLookup(nCloneKey(buffer.get()), &registered, nullptr));
  EXPECT_EQ(registered, nCloneKey(mapped));
  mapped->nRelease();

  CRecordDescription* empty = NewDescription();
  CRecordBuffer shorter;
  ASSERT_TRUE(shorter.bBuildLayout(empty));
  EXPECT_EQ(buffer->pGetBlock()[0], 0x80);
  buffer->CopyBlockFrom(&shorter);  // only the one byte both hold
  EXPECT_EQ(buffer->pGetBlock()[0], 0x00);
  EXPECT_EQ(Field(a), Bytes({10, 0, 0, 0}));
  empty->nRelease();
}

}  // namespace

namespace {

TEST_F(RecordBufferTest, ARowCopiedFromItselfStaysAsItIs) {
  CColumnDescriptor* a = Add(Make(u"A", COLUMN_TYPE_INT32, 4));
  CColumnDescriptor* b = Add(Make(u"B", COLUMN_TYPE_INT32, 4));
  CColumnDescriptor* c = Add(Make(u"C", COLUMN_TYPE_INT32, 4));
  Build();
  const std::int32_t values[] = {1, 2, 3};
  buffer->SetData(values, sizeof(values));
  const Bytes before(buffer->pGetBlock(), buffer->pGetBlock() + buffer->nGetTotalLength());
  CHashTable map(7);
  EXPECT_TRUE(buffer->bCopyFrom(buffer.get(), map));
  EXPECT_TRUE(buffer->bCopyLayoutAndData(buffer.get()));
  buffer->CopyBlockFrom(buffer.get());
  EXPECT_EQ(Bytes(buffer->pGetBlock(), buffer->pGetBlock() + buffer->nGetTotalLength()), before);
  // Bytes taken from the row's own fields, overlapping where they go.
  buffer->SetData(buffer->pGetData() + 4, 8);
  EXPECT_EQ(Field(a), Bytes({2, 0, 0, 0}));
  EXPECT_EQ(Field(b), Bytes({3, 0, 0, 0}));
  EXPECT_EQ(Field(c), Bytes({3, 0, 0, 0}));
}

}  // namespace

namespace {

std::u16string DecimalText(const CHostValue& value) {
  CHostValue text;
  text.Assign(value);
  if (text.nConvert(HOST_TYPE_WSTRING) != 0) return u"<none>";
  const char16_t* units = nullptr;
  text.nGetWideText(&units);
  return units ? units : u"";
}

void SetDecimal(CHostValue& value, const char16_t* text) {
  value.SetType(HOST_TYPE_WSTRING);
  value.SetFromBuffer(text, std::char_traits<char16_t>::length(text) * 2);
  value.nConvert(HOST_TYPE_PROXY_HANDLE);
}

// A decimal is rounded to the column in a copy, and stored only when the field holds its whole byte form (the
// stand-in's form: the signed integer of its digits from the lowest byte).
TEST_F(RecordBufferTest, DecimalsAreRoundedInACopyAndStoredOnlyWhole) {
  CColumnDescriptor* amount = Make(u"A", COLUMN_TYPE_DECIMAL, 4);
  amount->bSetAll(u"A", u"", u"", 1, 4, COLUMN_TYPE_DECIMAL, 0xFFFFFFFF, 0xFFFFFFFF, 0, 3, 2);
  Add(amount);
  Build();
  CHostValue mine;
  SetDecimal(mine, u"12.345");
  ASSERT_EQ(mine.nGetType(), HOST_TYPE_PROXY_HANDLE);
  ASSERT_TRUE(buffer->bSetFieldFromValue(amount, mine, 0));
  EXPECT_EQ(DecimalText(mine), u"12.345") << "the caller's decimal keeps its digits";
  EXPECT_EQ(Field(amount), Bytes({0xD3, 0x04, 0, 0}));  // 12.35
  CHostValue large;
  SetDecimal(large, u"123456789");
  EXPECT_FALSE(buffer->bSetFieldFromValue(amount, large, 0));
  EXPECT_EQ(Field(amount), Bytes({0xD3, 0x04, 0, 0})) << "the field as it was";
  EXPECT_EQ(DecimalText(large), u"123456789");
}

}  // namespace
