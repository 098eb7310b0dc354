// Field values against the runtime stand-in: states and the buffer protocol through a double that records the
// native operations, copies and comparisons, the conversion hub with its errors, texts cut to their buffers in
// pages 1252 and 65001, date masks, the fixed text layouts of date and time buffers and the digit packing.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/record/column_types.h"
#include "engine/record/record_buffer.h"
#include "engine/record/record_description.h"
#include "foundation/clone_map.h"
#include "foundation/hash_table.h"
#include "host/execution.h"
#include "tests/doubles/field_value_double.h"
#include "tests/engine/field_value_fixture.h"

namespace {

using doubles::RecordingFieldValue;

class FieldValueTest : public CFieldValueFixture {
 protected:
  // A counted value owned by the fixture's holder over its connection; released by the test.
  template <class T = CFieldValue>
  T* New() {
    auto* value = new T(holder, connection);
    value->AddRef();
    return value;
  }
  static CHostDateTime DateTime(int year, int month, int day, std::uint32_t milliseconds) {
    CHostDateTime value{};
    value.m_nYear = static_cast<std::uint16_t>(year);
    value.m_nMonth = static_cast<std::uint8_t>(month);
    value.m_nDay = static_cast<std::uint8_t>(day);
    value.m_nMillisecond = milliseconds;
    return value;
  }
};

TEST_F(FieldValueTest, DigitPackingOfDatesAndTimes) {
  CHostDateTime value{};
  PackTimeFromDigits(value, "1230155");
  EXPECT_EQ(value.m_nMillisecond, 45015500u) << "a single fraction digit counts hundreds";
  PackTimeFromDigits(value, "12301525");
  EXPECT_EQ(value.m_nMillisecond, 45015250u);
  PackTimeFromDigits(value, "123015007");
  EXPECT_EQ(value.m_nMillisecond, 45015007u);
  PackTimeFromWideDigits(value, u"0000011");
  EXPECT_EQ(value.m_nMillisecond, 1100u);

  EXPECT_EQ(nPackDateFromDigits(value, "20240131"), (2024u << 16) | (1u << 8) | 31u);
  EXPECT_EQ(value.m_nYear, 2024);
  EXPECT_EQ(nPackDateFromWideDigits(value, u"19991205"), (1999u << 16) | (12u << 8) | 5u);

  CHostDateTime both{};
  both.m_nMillisecond = 77;
  PackDateTimeFromDigits(both, "20240131");
  EXPECT_EQ(both.m_nMillisecond, 0u) << "a date alone is midnight";
  EXPECT_EQ(both.m_nDay, 31);
  PackDateTimeFromWideDigits(both, u"20240131235907456");
  EXPECT_EQ(both.m_nMillisecond, ((23u * 60 + 59) * 60 + 7) * 1000 + 456);
  EXPECT_EQ(both.m_nMonth, 1);
}

TEST_F(FieldValueTest, DateTimesBecomeTextInTheSessionMask) {
  const struct {
    const char16_t* mask;
    const char16_t* text;
  } cases[] = {
      {u"DD-MM-YYYY HH24:MI:SS", u"31-01-2024 23:59:07"},
      {u"AAAA-MM-JJ HH:MM:SS.CCC", u"2024-01-31 23:59:07.456"},
      {u"AAAAMMJJ HH:MM:SS.CCC", u"20240131 23:59:07.456"},
      {u"YYYYMMDDHH24MISS", u"20240131235907"},
      {u"YYYYMMDD HH24MISS", u"20240131 235907"},
      {u"YYYYMMDD HH24:MI:SS", u"20240131 23:59:07"},
      {u"YYYYMMDDHH24MISSFF", u"2024013123590745"},
      {u"DD/MM/YY", u"20240131235907456"},  // any other mask ends with the milliseconds
  };
  CHostValue source;
  Make(source, HOST_TYPE_DATETIME, DateTime(2024, 1, 31, ((23u * 60 + 59) * 60 + 7) * 1000 + 456));
  for (const auto& c : cases) {
    CFieldValue* value = New();
    value->InitType(HOST_TYPE_TEXT, 0);
    value->SetDateMask(c.mask);
    ASSERT_TRUE(value->bSetValue(source));
    EXPECT_EQ(WideOf(value->Value()), c.text) << std::string(c.mask, c.mask + 8).c_str();
    value->nRelease();
  }

  // Text that is no date-time fails with a status error at 12.2 and leaves the value as it was.
  CFieldValue* value = New();
  value->InitType(HOST_TYPE_TEXT, 0);
  value->SetDateMask(u"YYYYMMDDHH24MISS");
  MakeWide(source, u"not a date");
  EXPECT_FALSE(value->bSetDateTimeText(source));
  EXPECT_TRUE(holder->bHasError());
  EXPECT_TRUE(doubles::HasIdentification(holder, 12, 2));
  EXPECT_EQ(WideOf(value->Value()), u"");
  value->nRelease();
}

// The three forms a text of fixed layout fills: time digits, date digits and the packed timestamp.
TEST_F(FieldValueTest, FixedTextLayoutsFillDateAndTimeBuffers) {
  TestColumn time(COLUMN_TYPE_TIME, 10), date(COLUMN_TYPE_DATE, 9), stamp(COLUMN_TYPE_DATETIME, 8);
  struct Case {
    const char* text;
    const char* time;  // the ten bytes of a time buffer
    const char* date;  // the nine bytes of a date buffer
    std::uint32_t dateWord;
    std::uint32_t milliseconds;
  };
  const Case cases[] = {
      {"1230", "123000000", "", 0, 45000000},
      {"12:30", "123000000", "", 0, 45000000},
      {"12.30", nullptr, "", 0, 0},  // five characters without ":" are no layout: refused
      {"123015", "123015000", "", 0, 45015000},
      {"12:30:15", "123015000", "", 0, 45015000},
      {"20240131", "000000000", "20240131", (2024u << 16) | (1u << 8) | 31u, 0},
      {"2024-01-31", "000000000", "20240131", (2024u << 16) | (1u << 8) | 31u, 0},
      {"2024/01/31", nullptr, "", 0, 0},
      {"12:30:15.25", "123015250", "", 0, 45015250},
      {"12:30:15.256", "123015256", "", 0, 45015256},
      {"20240131123015", "123015000", "20240131", (2024u << 16) | (1u << 8) | 31u, 45015000},
      {"20240131 12:30:15", "123015000", "20240131", (2024u << 16) | (1u << 8) | 31u, 45015000},
      {"2024-01-31 12:30:15", "123015000", "20240131", (2024u << 16) | (1u << 8) | 31u, 45015000},
      {"2024-01-31 12:30:15.25", "123015250", "20240131", (2024u << 16) | (1u << 8) | 31u, 45015250},
      {"2024-01-31 12:30:15.256", "123015256", "20240131", (2024u << 16) | (1u << 8) | 31u, 45015256},
      {"2024-01-31 12:30:15 256", "123015000", "20240131", (2024u << 16) | (1u << 8) | 31u, 45015000},
      {"2024-01-31 12:30:15.5", "123015500", "20240131", (2024u << 16) | (1u << 8) | 31u, 45015500},
      {"123", nullptr, "", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::uint64_t length = std::strlen(c.text);
    std::uint8_t bytes[10];
    std::memset(bytes, 0x55, sizeof(bytes));
    CFieldValue* value = New();
    value->bAttachExternalBuffer(bytes, sizeof(bytes));
    value->SetDescriptors(time, nullptr);
    if (!c.time) {  // no date-time stated: refused, the field left as it was
      EXPECT_FALSE(value->bFillNativeFromText(c.text, length, 1252));
      EXPECT_EQ(bytes[0], 0x55);
      value->nRelease();
      continue;
    }
    ASSERT_TRUE(value->bFillNativeFromText(c.text, length, 1252));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes)), c.time);
    EXPECT_EQ(bytes[9], 0) << "the terminator stays";

    std::memset(bytes, 0x55, sizeof(bytes));
    value->bAttachExternalBuffer(bytes, 9);
    value->SetDescriptors(date, nullptr);
    ASSERT_TRUE(value->bFillNativeFromText(c.text, length, 1252));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes)), c.date);
    EXPECT_EQ(bytes[9], 0x55) << "nothing past the buffer";

    CHostDateTime packed{};
    value->bAttachExternalBuffer(&packed, sizeof(packed));
    value->SetDescriptors(stamp, nullptr);
    ASSERT_TRUE(value->bFillNativeFromText(c.text, length, 1252));
    EXPECT_EQ((std::uint32_t{packed.m_nYear} << 16) | (packed.m_nMonth << 8) | packed.m_nDay, c.dateWord);
    EXPECT_EQ(packed.m_nMillisecond, c.milliseconds);
    value->nRelease();
  }
  EXPECT_EQ(time.nOthers(), 0u);
}

// A text of eleven characters has two fraction digits; whatever lies after it is not part of it.
TEST_F(FieldValueTest, ElevenCharacterTimeNeverReadsPastItsText) {
  TestColumn time(COLUMN_TYPE_TIME, 10), stamp(COLUMN_TYPE_DATETIME, 8);
  const char text[] = "12:30:15.259";  // only the first eleven are given
  char bytes[10] = {};
  CFieldValue* value = New();
  value->bAttachExternalBuffer(bytes, sizeof(bytes));
  value->SetDescriptors(time, nullptr);
  ASSERT_TRUE(value->bFillNativeFromText(text, 11, 1252));
  EXPECT_STREQ(bytes, "123015250");
  CHostDateTime packed{};
  value->bAttachExternalBuffer(&packed, sizeof(packed));
  value->SetDescriptors(stamp, nullptr);
  ASSERT_TRUE(value->bFillNativeFromText(text, 11, 1252));
  EXPECT_EQ(packed.m_nMillisecond, 45015250u);
  value->nRelease();
}

TEST_F(FieldValueTest, StatesAndTheBufferProtocol) {
  auto* value = New<RecordingFieldValue>();
  EXPECT_TRUE(value->bIsUnset());
  EXPECT_FALSE(value->bEnsurePrepared()) << "an unset value has nothing to prepare";

  // An in-place type hands its own storage over.
  value->InitType(HOST_TYPE_INT32, 4);
  value->calls.clear();
  void* buffer = nullptr;
  std::uint64_t size = 0;
  ASSERT_TRUE(value->bGetNativeBuffer(&buffer, &size));
  EXPECT_EQ(value->calls, (std::vector<std::string>{"check", "native"}));
  EXPECT_EQ(value->nGetPreparation(), FIELD_PREPARED_IN_PLACE);
  EXPECT_EQ(buffer, value->Value().pHolder()->m_abStorage);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(value->nGetNativeTypeCode(), 5u);
  ASSERT_TRUE(value->bSyncToNative());
  EXPECT_EQ(value->calls.size(), 2u) << "in place there is nothing to write";
  const std::int32_t fetched = -42;
  ASSERT_TRUE(value->bSetNativeBytes(&fetched, sizeof(fetched)));
  std::int32_t held = 0;
  value->Value().nGet(&held);
  EXPECT_EQ(held, -42);

  // Any other type goes through a conversion buffer the native operations read and write.
  value->InitType(HOST_TYPE_ASTRING, 12);
  value->calls.clear();
  ASSERT_TRUE(value->bGetNativeBuffer(&buffer, &size));
  EXPECT_EQ(value->nGetPreparation(), FIELD_PREPARED_CONVERTED);
  EXPECT_EQ(buffer, value->pGetConversionBuffer());
  EXPECT_EQ(size, 12u);
  ASSERT_TRUE(value->bSyncToNative());
  EXPECT_EQ(value->calls.back(), "write");
  // A fetch sets its own column's null flag in the record, and only that one.
  value->nativeNull = 1;
  TestColumn neighbour(COLUMN_TYPE_INT32, 4), column(COLUMN_TYPE_TEXT, 12);
  CRecordDescription* description = driver.CDriver::pCreateDescription(nullptr, holder);
  description->AddRef();
  ASSERT_TRUE(description->AddItem(neighbour));
  ASSERT_TRUE(description->AddItem(column));
  description->LayoutItems();
  CRecordBuffer record;
  ASSERT_TRUE(record.bBuildLayout(description));
  record.SetFieldPresent(neighbour, true, 0);
  record.SetFieldPresent(column, true, 0);
  value->SetDescriptors(column, nullptr);
  value->calls.clear();
  ASSERT_TRUE(value->bLoadFetched(&record));
  EXPECT_EQ(value->calls, (std::vector<std::string>{"null?", "read"}));
  EXPECT_TRUE(value->Value().bIsNull());
  EXPECT_FALSE(record.bIsFieldPresent(column));
  EXPECT_TRUE(record.bIsFieldPresent(neighbour));
  value->nativeNull = 0;
  value->readAnswer = 0;
  EXPECT_FALSE(value->bLoadFetched(&record)) << "a failed native read is the load's failure";
  EXPECT_TRUE(record.bIsFieldPresent(column));
  EXPECT_FALSE(value->Value().bIsNull());

  // More bytes than the buffer holds: the first buffer-size bytes count.
  value->readAnswer = 1;
  value->InitType(HOST_TYPE_ASTRING, 4);
  ASSERT_TRUE(value->bEnsurePrepared());
  std::uint64_t* returned = nullptr;
  ASSERT_TRUE(value->bGetNativeBufferEx(&buffer, &size, &returned));
  ASSERT_TRUE(value->bSetNativeBytes("abc", 3));
  EXPECT_EQ(*returned, 3u);

  // A failed type check fails every operation that needs preparation.
  value->InitType(HOST_TYPE_INT32, 4);
  value->checkAnswer = 0;
  EXPECT_FALSE(value->bGetNativeBuffer(&buffer, &size));
  EXPECT_FALSE(value->bSyncToNative());
  value->nRelease();
  EXPECT_EQ(column.nOthers(), 0u);
  description->nRelease();
}

TEST_F(FieldValueTest, ExternalBuffersAndFetchedText) {
  auto* value = New<RecordingFieldValue>();
  char bytes[8];
  std::memcpy(bytes, "ab\0xyz\0q", 8);
  TestColumn text(COLUMN_TYPE_TEXT, 8);
  value->bAttachExternalBuffer(bytes, sizeof(bytes));
  value->SetDescriptors(text, text);
  EXPECT_EQ(value->nGetState(), FIELD_STATE_EXTERNAL);
  ASSERT_TRUE(value->bEnsurePrepared());
  EXPECT_EQ(value->calls.back(), "external");
  ASSERT_TRUE(value->bLoadFetched(nullptr));
  EXPECT_EQ(std::memcmp(bytes, "ab\0\0\0\0\0\0", 8), 0) << "only zeros after the fetched text";
  EXPECT_EQ(value->nGetValueLength(), 2u);
  CHostValue out;
  ASSERT_TRUE(value->bGetValue(&out));
  EXPECT_EQ(NarrowOf(out), "ab");

  std::memcpy(bytes, "abcdefgh", 8);
  value->SetNull();
  EXPECT_EQ(std::memcmp(bytes, "\0\0\0\0\0\0\0\0", 8), 0) << "a NULL external buffer is zeroed";
  EXPECT_TRUE(value->Value().bIsNull());
  value->nRelease();
  EXPECT_EQ(text.nOthers(), 0u);
}

TEST_F(FieldValueTest, CopiesComparisonsAndClones) {
  CFieldValue* a = New();
  CFieldValue* b = New();
  EXPECT_TRUE(a->bEquals(b)) << "two unset values";
  CHostValue five;
  Make(five, HOST_TYPE_INT32, std::int32_t{5});
  a->InitType(HOST_TYPE_INT32, 4);
  ASSERT_TRUE(a->bSetValue(five));
  b->InitType(HOST_TYPE_DOUBLE, 8);
  a->SetNull();
  b->SetNull();
  EXPECT_TRUE(a->bEquals(b)) << "two NULLs whatever their types";
  a->SetState(FIELD_STATE_NULL);
  b->SetState(FIELD_STATE_NULL);
  b->Value().SetNull(false);
  EXPECT_FALSE(a->bEquals(b));

  // Equal types and sizes compare their bytes, the sign of the first differing byte deciding.
  a->InitType(HOST_TYPE_INT32, 4);
  b->InitType(HOST_TYPE_INT32, 4);
  Make(five, HOST_TYPE_INT32, std::int32_t{256});
  a->bSetValue(five);
  Make(five, HOST_TYPE_INT32, std::int32_t{1});
  b->bSetValue(five);
  EXPECT_LT(a->nCompare(b), 0) << "bytewise, not numerically";
  EXPECT_FALSE(a->bEquals(b));
  // Texts of different lengths compare up to their terminators; other mixes through the runtime.
  a->InitType(HOST_TYPE_ASTRING, 0);
  a->bSetAnsiText("abd", FIELD_LENGTH_TERMINATED);
  b->InitType(HOST_TYPE_TEXT_BUFFER, 0);
  b->bSetAnsiText("abcz", FIELD_LENGTH_TERMINATED);
  EXPECT_GT(a->nCompare(b), 0);
  b->InitType(HOST_TYPE_DOUBLE, 8);
  const double half = 2.5;
  CHostValue real;
  Make(real, HOST_TYPE_DOUBLE, half);
  b->bSetValue(real);
  a->InitType(HOST_TYPE_INT32, 4);
  Make(five, HOST_TYPE_INT32, std::int32_t{3});
  a->bSetValue(five);
  EXPECT_GT(a->nCompare(b), 0);
  EXPECT_LT(b->nCompare(a), 0);

  // A copy rebuilds an owned buffer and takes descriptors and connection from its source.
  TestColumn binary(COLUMN_TYPE_BINARY, 6);
  ASSERT_TRUE(b->bAllocateNativeBuffer(HOST_TYPE_BINARY_BUFFER, 6));
  b->SetDescriptors(binary, nullptr);
  ASSERT_TRUE(b->bPutAnsiText("xyz", 3, 1252));
  ASSERT_TRUE(a->bCopyFrom(b));
  EXPECT_EQ(a->nGetState(), FIELD_STATE_OWNED);
  EXPECT_EQ(a->pGetPrimary(), binary);
  CHostValue out;
  ASSERT_TRUE(a->bGetValue(&out));
  const void* data = nullptr;
  std::size_t size = 0;
  out.nGetDataPointer(&data);
  out.nGetDataSize(&size);
  EXPECT_EQ(std::string(static_cast<const char*>(data), size), "xyz");
  EXPECT_EQ(binary.nOthers(), 2u);
  ASSERT_TRUE(a->bCopyFrom(nullptr));
  EXPECT_TRUE(a->Value().bIsNull());

  // Clones share one copy through the map; duplicates come from the driver's factory.
  CHashTable map(7);
  CValueItem* clone = b->pClone(map);
  ASSERT_NE(clone, nullptr);
  clone->AddRef();
  std::uint64_t registered = 0;
  ASSERT_TRUE(map.bLookup(nCloneKey(b), &registered, nullptr));
  EXPECT_EQ(registered, nCloneKey(clone));
  EXPECT_TRUE(static_cast<CFieldValue*>(clone)->bEquals(b));
  CFieldValue* duplicate = b->pDuplicate();
  ASSERT_NE(duplicate, nullptr);
  duplicate->AddRef();
  EXPECT_EQ(duplicate->pGetOwner(), holder);
  EXPECT_EQ(duplicate->pGetConnection(), connection);
  EXPECT_EQ(duplicate->nCompare(b), 0);
  duplicate->nRelease();
  clone->nRelease();
  a->nRelease();
  b->nRelease();
  EXPECT_EQ(binary.nOthers(), 0u);
}

// Native text buffers filled to the last byte have no terminator: they compare within their own lengths (each lives
// in a heap block of exactly its size, so a read past it shows under the address sanitizer), and a duplicate of one
// carries its text.
TEST_F(FieldValueTest, FullNativeTextsCompareWithinTheirBuffersAndDuplicateWhole) {
  struct Case {
    std::uint8_t type;
    std::string a, b;  // the buffers' bytes, whole
    int sign;
  };
  const std::string abc = "abc", abcd = "abcd", abc00 = std::string("abc\0\0", 5);
  const std::string wab = std::string("a\0b\0", 4), wabc = std::string("a\0b\0c\0", 6);
  const Case cases[] = {
      {HOST_TYPE_TEXT_BUFFER, abc, abcd, -1}, {HOST_TYPE_TEXT_BUFFER, abcd, abc, 1},
      {HOST_TYPE_TEXT_BUFFER, abc, abc00, 0}, {HOST_TYPE_TEXT, wab, wabc, -1},
      {HOST_TYPE_TEXT, std::string("a\0b\0\0\0", 6), wab, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.a + " / " + c.b);
    std::vector<std::unique_ptr<char[]>> blocks;
    CFieldValue* values[2];
    for (int i = 0; i < 2; ++i) {
      const std::string& bytes = i == 0 ? c.a : c.b;
      blocks.emplace_back(new char[bytes.size()]);
      std::memcpy(blocks.back().get(), bytes.data(), bytes.size());
      values[i] = New();
      values[i]->bAttachExternalBuffer(blocks.back().get(), bytes.size());
      values[i]->Value().SetType(c.type);
    }
    const int order = values[0]->nCompare(values[1]);
    EXPECT_EQ((order > 0) - (order < 0), c.sign);
    EXPECT_EQ(values[0]->bEquals(values[1]), c.sign == 0 ? 1 : 0);
    CFieldValue* duplicate = values[0]->pDuplicate();
    ASSERT_NE(duplicate, nullptr);
    duplicate->AddRef();
    EXPECT_EQ(duplicate->nCompare(values[0]), 0);
    EXPECT_TRUE(duplicate->bEquals(values[0]));
    duplicate->nRelease();
    for (CFieldValue* value : values) value->nRelease();
  }
}

// What does not fit a native buffer is refused with its error and leaves the buffer as it was: a decimal whose byte
// form (the stand-in's: the signed integer of its digits from its lowest byte) is cut, a binary value past the length word;
// and a decimal without a handle or without a buffer is an error, never a success that wrote nothing.
TEST_F(FieldValueTest, ValuesThatDoNotFitTheirNativeBufferAreRefused) {
  TestColumn decimal(COLUMN_TYPE_DECIMAL, 4);
  decimal->bSetAll(u"D", u"", u"", 1, 4, COLUMN_TYPE_DECIMAL, 0xFFFFFFFF, 0xFFFFFFFF, 0, 3, 2);
  std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[4]());
  CFieldValue* value = New();
  value->bAttachExternalBuffer(bytes.get(), 4);
  value->SetDescriptors(decimal, nullptr);
  auto setDecimal = [](CHostValue& number, const char16_t* text) {
    number.SetType(HOST_TYPE_WSTRING);
    number.SetFromBuffer(text, std::char_traits<char16_t>::length(text) * 2);
    number.nConvert(HOST_TYPE_PROXY_HANDLE);
  };
  CHostValue small;
  setDecimal(small, u"12.345");
  ASSERT_TRUE(value->bSetValue(small));
  const std::vector<std::uint8_t> stored = {0xD3, 0x04, 0, 0};  // 12.35
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.get(), bytes.get() + 4), stored);
  CHostValue text;
  text.Assign(small);
  ASSERT_EQ(text.nConvert(HOST_TYPE_WSTRING), 0);
  EXPECT_EQ(WideOf(text), u"12.345") << "the caller's decimal keeps its digits";

  CHostValue large;
  setDecimal(large, u"123456789");
  holder->Clear();
  EXPECT_FALSE(value->bSetValue(large));
  EXPECT_EQ(holder->nGetErrorCode(), 56u);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.get(), bytes.get() + 4), stored);

  IHostProxy* proxy = gpHostProxy;
  gpHostProxy = nullptr;
  CHostValue handleless;
  handleless.SetType(HOST_TYPE_PROXY_HANDLE);  // no proxy: no handle
  gpHostProxy = proxy;
  holder->Clear();
  EXPECT_FALSE(value->bSetValue(handleless));
  EXPECT_EQ(holder->nGetErrorCode(), ERROR_VALUE_NOT_CONVERTIBLE);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.get(), bytes.get() + 4), stored);
  value->bAttachExternalBuffer(nullptr, 0);
  value->SetDescriptors(decimal, nullptr);
  holder->Clear();
  EXPECT_FALSE(value->bSetValue(small));
  EXPECT_EQ(holder->nGetErrorCode(), ERROR_VALUE_NOT_CONVERTIBLE);

  // A binary value: up to the length word's 65535 bytes in a buffer that has room for more, and no further.
  TestColumn binary(COLUMN_TYPE_BINARY, 0x10010);
  ASSERT_TRUE(value->bAllocateNativeBuffer(HOST_TYPE_BINARY_BUFFER, 0x10010));
  value->SetDescriptors(binary, nullptr);
  ASSERT_TRUE(value->bPutAnsiText("xyz", 3, 1252));
  const std::string huge(0x10000, 'h');
  holder->Clear();
  EXPECT_FALSE(value->bPutAnsiText(huge.data(), huge.size(), 1252));
  EXPECT_EQ(holder->nGetErrorCode(), 56u);
  CHostValue out;
  ASSERT_TRUE(value->bGetValue(&out));
  std::size_t size = 0;
  out.nGetDataSize(&size);
  EXPECT_EQ(size, 3u) << "the value as it was";
  ASSERT_TRUE(value->bPutAnsiText(huge.data(), 0xFFFF, 1252));
  ASSERT_TRUE(value->bGetValue(&out));
  out.nGetDataSize(&size);
  EXPECT_EQ(size, 0xFFFFu);
  value->nRelease();

  // Memory the runtime's allocator refuses (its own code, below the failure codes): a held text, the text made on
  // the way to another type and a buffer's text given out fail with out of memory, never kept as empty.
  static char fetched[] = "ab";
  for (int (*store)(CFieldValue*) : {
           +[](CFieldValue* v) { return v->InitType(HOST_TYPE_WSTRING, 0), v->bSetWideText(u"new", 3); },
           +[](CFieldValue* v) { return v->InitType(HOST_TYPE_WSTRING, 0), v->bSetAnsiTextWithCodePage("n", 1, 1252); },
           +[](CFieldValue* v) { return v->InitType(HOST_TYPE_TEXT_BUFFER, 0), v->bSetBytes("new", 3); },
           +[](CFieldValue* v) { return v->InitType(HOST_TYPE_INT32, 0), v->bSetAnsiText("12", 2); },
           +[](CFieldValue* v) { return v->InitType(HOST_TYPE_INT32, 0), v->bSetWideText(u"12", 2); },
           +[](CFieldValue* v) {
             CHostValue out;
             v->bAttachExternalBuffer(fetched, 3);
             return v->Value().SetType(HOST_TYPE_TEXT_BUFFER), v->bGetValue(&out);
           }}) {
    CFieldValue* held = New();
    qzrt::FailStringAllocations(0);
    EXPECT_EQ(store(held), 0);
    qzrt::FailStringAllocations(-1);
    EXPECT_EQ(holder->pGetEmbeddedObject()->nGetSystemCode(), 14u) << "out of memory";
    holder->Clear();
    held->nRelease();
  }
}

// The connection's count stays balanced: a reference while the value keeps it, exchanged on a copy.
TEST_F(FieldValueTest, ConnectionReferencesAreGivenBack) {
  EXPECT_EQ(connection->nGetRefCount(), 1u);
  CFieldValue* a = New();
  EXPECT_EQ(connection->nGetRefCount(), 2u);
  auto* other = new doubles::TestConnection(u"other", nullptr);
  other->AddRef();
  auto* b = new CFieldValue(holder, other);
  b->AddRef();
  b->InitType(HOST_TYPE_INT32, 4);
  EXPECT_EQ(other->nGetRefCount(), 2u);
  ASSERT_TRUE(a->bCopyFrom(b));
  EXPECT_EQ(a->pGetConnection(), other);
  EXPECT_EQ(connection->nGetRefCount(), 1u);
  EXPECT_EQ(other->nGetRefCount(), 3u);
  a->nRelease();
  b->nRelease();
  EXPECT_EQ(other->nGetRefCount(), 1u);
  other->nRelease();
}

TEST_F(FieldValueTest, FailedConversionsRaiseErrorFiftyThree) {
  TestColumn column(COLUMN_TYPE_INT32, 4, u"QTY", u"ORDERS");
  CFieldValue* value = New();
  ASSERT_TRUE(value->bAllocateNativeBuffer(HOST_TYPE_INT32, 4));
  value->SetDescriptors(column, nullptr);
  CHostValue text;
  MakeWide(text, u"twelve");
  EXPECT_FALSE(value->bSetValue(text));
  EXPECT_EQ(holder->nGetErrorCode(), ERROR_VALUE_NOT_CONVERTIBLE);
  EXPECT_TRUE(doubles::HasIdentification(holder, 12, 3));
  EXPECT_EQ(std::u16string(holder->pszGetFileName()), u"ORDERS");
  EXPECT_EQ(std::u16string(holder->pszGetItemName()), u"QTY");
  std::int32_t stored = 1;
  std::memcpy(&stored, value->pGetData(), 4);
  EXPECT_EQ(stored, 0) << "the buffer keeps what it had";
  holder->Clear();

  // Without an owner the error is dropped, the answer is the same.
  auto* orphan = new CFieldValue(nullptr, connection);
  orphan->AddRef();
  orphan->InitType(HOST_TYPE_INT32, 4);
  EXPECT_FALSE(orphan->bSetValue(text));
  orphan->nRelease();
  value->nRelease();
}

// Every host type set through a native buffer of its column and read back as it went in.
TEST_F(FieldValueTest, EveryHostTypeRoundTripsThroughNativeBuffers) {
  struct Case {
    std::uint32_t columnType;
    std::uint32_t size;
    const char16_t* text;  // the value, made by converting this text to the column's host type
  };
  const Case cases[] = {
      {COLUMN_TYPE_ONE_DIGIT, 4, u"1"},         {COLUMN_TYPE_UINT8, 1, u"200"},
      {COLUMN_TYPE_UINT16, 2, u"65000"},        {COLUMN_TYPE_UINT32, 4, u"4000000000"},
      {COLUMN_TYPE_UINT64, 8, u"18000000000000000000"},
      {COLUMN_TYPE_INT8, 1, u"-100"},           {COLUMN_TYPE_INT16, 2, u"-30000"},
      {COLUMN_TYPE_INT32, 4, u"-2000000000"},   {COLUMN_TYPE_INT64, 8, u"-9000000000000000000"},
      {COLUMN_TYPE_CURRENCY, 10, u"1234.5678"}, {COLUMN_TYPE_REAL4, 4, u"1.5"},
      {COLUMN_TYPE_REAL8, 8, u"-2.25"},         {COLUMN_TYPE_VALUE8, 8, u"77"},
      {COLUMN_TYPE_TEXT, 11, u"hello"},         {COLUMN_TYPE_CHAR, 2, u"z"},
      {COLUMN_TYPE_WTEXT, 22, u"h\u00e9llo"},   {COLUMN_TYPE_TEXT_MEMO, 8, u"memo"},
      {COLUMN_TYPE_DATE, 9, u"20240131"},       {COLUMN_TYPE_TIME, 10, u"235907456"},
      {COLUMN_TYPE_DATETIME, 8, u"20240131235907456"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.columnType);
    TestColumn column(c.columnType, c.size);
    const std::uint8_t hostType = static_cast<std::uint8_t>(nHostTypeOfColumnType(c.columnType, -1));
    CHostValue source;
    MakeWide(source, c.text);
    ASSERT_LT(source.nConvert(hostType), 100);
    CFieldValue* value = New();
    ASSERT_TRUE(value->bAllocateNativeBuffer(hostType, c.size));
    value->SetDescriptors(column, nullptr);
    ASSERT_TRUE(value->bSetValue(source));
    CHostValue back;
    ASSERT_TRUE(value->bGetValue(&back));
    EXPECT_EQ(back.nGetType(), hostType);
    std::int32_t order = 1;
    ASSERT_EQ(back.nCompare(source, &order), 0);
    EXPECT_EQ(order, 0) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text)).c_str();
    value->nRelease();
  }
}

// A date-time written into a time or date column's buffer is read back as the same time or date.
TEST_F(FieldValueTest, DateTimesInTimeAndDateBuffersAreEightBitDigits) {
  TestColumn time(COLUMN_TYPE_TIME, 10), date(COLUMN_TYPE_DATE, 9);
  CHostValue source;
  Make(source, HOST_TYPE_DATETIME, DateTime(2024, 1, 31, ((23u * 60 + 59) * 60 + 7) * 1000 + 456));
  char bytes[10] = {};
  CFieldValue* value = New();
  value->bAttachExternalBuffer(bytes, sizeof(bytes));
  value->SetDescriptors(time, nullptr);
  value->Value().SetType(HOST_TYPE_DATETIME);
  ASSERT_TRUE(value->bSetValue(source));
  EXPECT_STREQ(bytes, "235907456");
  CHostValue back;
  ASSERT_TRUE(value->bGetValue(&back));
  CHostDateTime read{};
  back.nGet(&read);
  EXPECT_EQ(read.m_nMillisecond, ((23u * 60 + 59) * 60 + 7) * 1000 + 456);

  value->bAttachExternalBuffer(bytes, 9);
  value->SetDescriptors(date, nullptr);
  value->Value().SetType(HOST_TYPE_DATETIME);
  ASSERT_TRUE(value->bSetValue(source));
  EXPECT_STREQ(bytes, "20240131");
  ASSERT_TRUE(value->bGetValue(&back));
  back.nGet(&read);
  EXPECT_EQ(read.m_nYear, 2024);
  EXPECT_EQ(read.m_nDay, 31);

  // A short time buffer keeps its terminator: the digits stop where it must stay.
  value->bAttachExternalBuffer(bytes, 5);
  value->SetDescriptors(time, nullptr);
  value->Value().SetType(HOST_TYPE_DATETIME);
  std::memset(bytes, 'x', sizeof(bytes));
  ASSERT_TRUE(value->bSetValue(source));
  EXPECT_EQ(std::string(bytes, 6), std::string("2359\0x", 6));
  value->nRelease();
}

TEST_F(FieldValueTest, TextsAreCutToTheirBuffersInEitherCodePage) {
  for (std::int32_t charset : {0, 65001}) {
    SCOPED_TRACE(charset);
    UseCodePage(charset);
    // UTF-16 into an 8-bit buffer: whole characters only, and the terminator stays.
    char bytes[6];
    std::memset(bytes, 0x7F, sizeof(bytes));
    CFieldValue* value = New();
    value->bAttachExternalBuffer(bytes, sizeof(bytes));
    value->Value().SetType(HOST_TYPE_ASTRING);
    ASSERT_TRUE(value->bSetWideText(u"\u00e9t\u00e9 chaud", FIELD_LENGTH_TERMINATED));
    const std::string expected = charset == 65001 ? "\xC3\xA9t\xC3\xA9" : "\xE9t\xE9 c";
    EXPECT_EQ(std::string(bytes), expected);
    EXPECT_EQ(value->nGetDataLength(), expected.size());
    EXPECT_EQ(bytes[5], 0);

    // 8-bit text into a UTF-16 buffer: what fits of the converted text.
    char16_t units[4];
    std::memset(units, 0x7F, sizeof(units));
    value->bAttachExternalBuffer(units, sizeof(units));
    value->Value().SetType(HOST_TYPE_TEXT);
    const char* text = charset == 65001 ? "\xC3\xA9t\xC3\xA9" : "\xE9t\xE9";
    ASSERT_TRUE(value->bSetAnsiTextWithCodePage(text, std::strlen(text), charset == 65001 ? 65001 : 1252));
    EXPECT_EQ(std::u16string(units), u"\u00e9t\u00e9");
    EXPECT_EQ(value->nGetDataLength(), 6u);
    EXPECT_EQ(units[3], 0);
    ASSERT_TRUE(value->bSetAnsiTextWithCodePage("abcdef", 6, 1252));
    EXPECT_EQ(std::u16string(units), u"abc");
    EXPECT_EQ(value->nGetDataLength(), 6u);

    // UTF-16 into a UTF-16 buffer: the bytes that fit before the terminator.
    value->bAttachExternalBuffer(units, 7);
    value->Value().SetType(HOST_TYPE_TEXT);
    ASSERT_TRUE(value->bSetWideText(u"wxyz", 4));
    EXPECT_EQ(std::u16string(units, 3), std::u16string(u"wx\0", 3));
    EXPECT_EQ(value->nGetDataLength(), 4u);
    value->nRelease();
  }
}

// A cut never leaves half a character: not a double-byte character of the text's own page, not half a surrogate pair.
TEST_F(FieldValueTest, CutTextsEndOnAWholeCharacter) {
  CFieldValue* value = New();
  char bytes[4];
  std::memset(bytes, 0x7F, sizeof(bytes));
  value->bAttachExternalBuffer(bytes, sizeof(bytes));
  value->Value().SetType(HOST_TYPE_ASTRING);
  ASSERT_TRUE(value->bSetAnsiTextWithCodePage("ab\x82\xa0", 4, 932));
  EXPECT_EQ(std::string(bytes), "ab");
  EXPECT_EQ(value->nGetDataLength(), 2u);

  char16_t units[4];
  std::memset(units, 0x7F, sizeof(units));
  value->bAttachExternalBuffer(units, 7);
  value->Value().SetType(HOST_TYPE_TEXT);
  ASSERT_TRUE(value->bSetWideText(u"w\U0001F600", 3));
  EXPECT_EQ(units[0], u'w');
  EXPECT_EQ(units[1], 0);
  EXPECT_EQ(value->nGetDataLength(), 2u);
  value->nRelease();
}

// Bytes into a native text buffer leave room for the terminator: one byte for 8-bit text, two for UTF-16; other
// types take the whole buffer.
TEST_F(FieldValueTest, BytesIntoTextBuffersKeepTheTerminatorsRoom) {
  struct Case {
    std::uint8_t type;
    std::string input;
    std::string expected;  // the whole buffer of six bytes
  };
  const Case cases[] = {
      {HOST_TYPE_ASTRING, "abcdefgh", std::string("abcde\0", 6)},
      {HOST_TYPE_TEXT, std::string("a\0b\0c\0d\0", 8), std::string("a\0b\0\0\0", 6)},
      {HOST_TYPE_INT64, "12345678", "123456"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.type));
    char bytes[6];
    std::memset(bytes, 0x7F, sizeof(bytes));
    CFieldValue* value = New();
    value->bAttachExternalBuffer(bytes, sizeof(bytes));
    value->Value().SetType(c.type);
    ASSERT_TRUE(value->bSetBytes(c.input.data(), c.input.size()));
    EXPECT_EQ(std::string(bytes, sizeof(bytes)), c.expected);
    EXPECT_EQ(value->nGetDataLength(), c.type == HOST_TYPE_TEXT ? 4u : c.type == HOST_TYPE_ASTRING ? 5u : 6u);
    value->nRelease();
  }
}

// UTF-8 text into an 8-bit buffer of a connection in another page keeps as many whole characters of that page as
// fit (never an empty buffer); a text of the connection's own page given as a value keeps whole characters too; a
// text that does not convert is an error that leaves the buffer as it was.
TEST_F(FieldValueTest, TextsCutInEveryPageKeepWholeCharactersAndAsMuchAsFits) {
  struct Case {
    std::uint32_t page;
    std::string utf8;
    std::size_t size;
    std::string expected;
  };
  const Case cases[] = {
      {1252, "a\xC3\xA9\xC3\xA9", 3, "a\xE9"},
      {932, "a\xE6\x97\xA5\xE6\x9C\xAC", 4, "a\x93\xFA"},
      {54936, "a\xE4\xB8\xAD\xF0\x9F\x98\x80", 6, "a\xD6\xD0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    UseRuntimePage(c.page);
    std::unique_ptr<char[]> bytes(new char[c.size]);
    CFieldValue* value = New();
    value->bAttachExternalBuffer(bytes.get(), c.size);
    value->Value().SetType(HOST_TYPE_ASTRING);
    ASSERT_TRUE(value->bSetAnsiTextWithCodePage(c.utf8.data(), c.utf8.size(), 65001));
    EXPECT_EQ(std::string(bytes.get()), c.expected);
    EXPECT_EQ(value->nGetDataLength(), c.expected.size());
    holder->Clear();
    EXPECT_FALSE(value->bSetAnsiTextWithCodePage("\xFF\xFE", 2, 65001)) << "not UTF-8";
    EXPECT_EQ(holder->nGetErrorCode(), ERROR_VALUE_NOT_CONVERTIBLE);
    EXPECT_EQ(std::string(bytes.get()), c.expected);
    value->nRelease();
  }

  UseRuntimePage(65001);
  char bytes[5];
  CFieldValue* value = New();
  value->bAttachExternalBuffer(bytes, sizeof(bytes));
  value->Value().SetType(HOST_TYPE_ASTRING);
  CHostValue same;
  same.SetType(HOST_TYPE_ASTRING);
  same.SetFromBuffer("abc\xE2\x82\xAC", 6);
  ASSERT_TRUE(value->bSetValue(same));
  EXPECT_EQ(std::string(bytes, 5), std::string("abc\0\0", 5));

  char16_t units[4] = {u'k', u'e', u'p', 0};
  value->bAttachExternalBuffer(units, sizeof(units));
  value->Value().SetType(HOST_TYPE_TEXT);
  holder->Clear();
  EXPECT_FALSE(value->bSetAnsiTextWithCodePage("abc", 3, 99999)) << "a page that converts nothing";
  EXPECT_EQ(holder->nGetErrorCode(), ERROR_VALUE_NOT_CONVERTIBLE);
  EXPECT_EQ(std::u16string(units), u"kep");
  value->nRelease();
}

TEST_F(FieldValueTest, TextIntoBinaryBooleanAndNumberBuffers) {
  std::uint8_t bytes[10];
  CFieldValue* value = New();
  ASSERT_TRUE(value->bAllocateNativeBuffer(HOST_TYPE_BINARY_BUFFER, sizeof(bytes)));
  // UTF-16 text keeps its bytes, as many as fit after the length word.
  ASSERT_TRUE(value->bPutWideText(u"abc", 3));
  std::memcpy(bytes, value->pGetData(), sizeof(bytes));
  EXPECT_EQ(bytes[0] | bytes[1] << 8, 6);
  EXPECT_EQ(std::memcmp(bytes + 2, u"abc", 6), 0);
  ASSERT_TRUE(value->bPutWideText(u"abcdefgh", 8));
  std::memcpy(bytes, value->pGetData(), sizeof(bytes));
  EXPECT_EQ(bytes[0] | bytes[1] << 8, 8);
  ASSERT_TRUE(value->bPutAnsiText("0123456789", 10, 1252));
  std::memcpy(bytes, value->pGetData(), sizeof(bytes));
  EXPECT_EQ(bytes[0] | bytes[1] << 8, 8);
  EXPECT_EQ(std::memcmp(bytes + 2, "01234567", 8), 0);

  ASSERT_TRUE(value->bAllocateNativeBuffer(HOST_TYPE_UINT32_RAW, 4));
  for (const auto& [text, expected] : std::vector<std::pair<const char*, int>>{
           {"T", 1}, {"F", 0}, {"f", 0}, {"0", 0}, {"1", 1}, {"x", 1}}) {
    ASSERT_TRUE(value->bPutAnsiText(text, 1, 1252));
    EXPECT_EQ(static_cast<const std::uint8_t*>(value->pGetData())[0], expected) << text;
  }
  ASSERT_TRUE(value->bPutWideText(u"F", 1));
  EXPECT_EQ(static_cast<const std::uint8_t*>(value->pGetData())[0], 0);

  ASSERT_TRUE(value->bAllocateNativeBuffer(HOST_TYPE_INT16, 2));
  ASSERT_TRUE(value->bPutAnsiText("-1234", 5, 1252));
  std::int16_t number = 0;
  std::memcpy(&number, value->pGetData(), 2);
  EXPECT_EQ(number, -1234);

  // A value of type 27 takes text through the 64-bit integer.
  value->InitType(HOST_TYPE_VALUE8, 8);
  CHostValue text;
  MakeWide(text, u"42");
  ASSERT_TRUE(value->bSetValue(text));
  EXPECT_EQ(value->Value().nGetType(), HOST_TYPE_VALUE8);
  std::int64_t big = 0;
  value->Value().nGet(&big);
  EXPECT_EQ(big, 42);
  value->nRelease();
}

TEST_F(FieldValueTest, TimeDigitsRetypingAndPreparedWrites) {
  // Time digits into a date-time: a time of day on a zero date.
  CFieldValue* value = New();
  value->InitType(HOST_TYPE_DATETIME, 8);
  CHostValue digits;
  digits.SetType(HOST_TYPE_ATIME);
  digits.Ops().SetFromNarrowZ(digits.pHolder(), "123015");
  ASSERT_TRUE(value->bSetValue(digits));
  CHostDateTime packed{};
  value->Value().nGet(&packed);
  EXPECT_EQ(packed.m_nMillisecond, 45015000u);
  EXPECT_EQ(packed.m_nYear, 0);

  // A time column's value re-typed as text is fitted to the column: padded with zeros, or cut.
  TestColumn time(COLUMN_TYPE_TIME, 10);
  value->InitType(HOST_TYPE_WTIME, 0);
  value->SetDescriptors(time, nullptr);
  CHostValue wide;
  wide.SetType(HOST_TYPE_WTIME);
  wide.Set(u"1230");
  ASSERT_TRUE(value->bSetValue(wide));
  ASSERT_TRUE(value->bChangeType(HOST_TYPE_TEXT, 0));
  EXPECT_EQ(value->Value().nGetType(), HOST_TYPE_TEXT);
  EXPECT_EQ(WideOf(value->Value()), u"123000000");

  // A prepared wide buffer takes 8-bit text in the connection's page, and the raw bytes once converted.
  char16_t units[6] = {};
  value->bAttachExternalBuffer(units, sizeof(units));
  value->Value().SetType(HOST_TYPE_TEXT);
  CHostValue narrow;
  narrow.SetType(HOST_TYPE_ASTRING);
  narrow.Set("\xE9t\xE9");
  ASSERT_TRUE(value->bPutValue(narrow));
  EXPECT_EQ(std::u16string(units), u"\u00e9t\u00e9");
  auto* converted = New<RecordingFieldValue>();
  converted->InitType(HOST_TYPE_ASTRING, 6);
  ASSERT_TRUE(converted->bPutValue(narrow));
  EXPECT_EQ(converted->nGetPreparation(), FIELD_PREPARED_CONVERTED);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(converted->pGetConversionBuffer())), "\xE9t\xE9");
  EXPECT_EQ(converted->nGetReturnedLength(), 3u);
  converted->nRelease();
  value->nRelease();
  EXPECT_EQ(time.nOthers(), 0u);
}

}  // namespace
