// The runtime value container and its holders: the shared layout, SetType over every code, the typed holders'
// storage, steps, copies and flags, and the holders that refer to objects outside the value.
#include "host/host_value.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <set>
#include <vector>

#include "foundation/currency.h"
#include "foundation/date_time.h"
#include "host/execution.h"
#include "host/value_entry_points.h"
#include "standin/runtime/runtime_standin.h"
#include "tests/host/host_value_fixture.h"

namespace {

using HostValueTest = CHostValueFixture;

const std::set<int> kTypesWithHolder = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,  13,  14,  16,  17,  18,
                                        19, 24, 25, 26, 27, 28, 29, 30, 50, 65, 81, 83, 108, 110, 111, 128, 129};


TEST_F(HostValueTest, LayoutIsTheRuntimes) {
  CHostValue values[3];
  EXPECT_EQ(reinterpret_cast<char*>(&values[2]) - reinterpret_cast<char*>(&values[0]), 72);
  values[1].SetType(HOST_TYPE_INT32);
  const auto* raw = reinterpret_cast<const std::uint8_t*>(&values[1]);
  std::uint32_t lead = 1;
  std::memcpy(&lead, raw, 4);
  EXPECT_EQ(lead, 0u);
  const SHostValueOps* table = nullptr;
  std::memcpy(&table, raw + 4, sizeof(table));
  EXPECT_EQ(table, &values[1].Ops());
  std::uint16_t word = 0;
  std::memcpy(&word, raw + 12, 2);
  EXPECT_EQ(word, HOST_TYPE_INT32);

  // Slots called by their index in the raw table, as the runtime calls them.
  const std::int32_t seven = 7;
  auto* const* slots = reinterpret_cast<void* const*>(table);
  reinterpret_cast<std::uint32_t (*)(CHostValueHolder*, const void*)>(slots[9])(values[1].pHolder(), &seven);
  EXPECT_EQ(std::memcmp(raw + 14, &seven, 4), 0);
  std::int32_t out = 0;
  EXPECT_EQ(reinterpret_cast<std::uint32_t (*)(CHostValueHolder*, void*)>(slots[4])(values[1].pHolder(), &out), 0u);
  EXPECT_EQ(out, 7);
  std::size_t size = 0;
  reinterpret_cast<std::uint32_t (*)(CHostValueHolder*, std::size_t*)>(slots[2])(values[1].pHolder(), &size);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(reinterpret_cast<std::uint32_t (*)(CHostValueHolder*)>(slots[16])(values[1].pHolder()), 0u);
  EXPECT_EQ(values[1].nGet(&out), 0u);
  EXPECT_EQ(out, 8);
}

TEST_F(HostValueTest, SetTypeGivesEveryKnownCodeItsHolderAndEveryOtherCodeTypeZero) {
  for (int code = 0; code < 256; ++code) {
    CHostValue value;
    value.SetType(static_cast<std::uint16_t>(code | HOST_VALUE_FLAG_NULL));
    const int expected = kTypesWithHolder.count(code) ? code : 0;
    EXPECT_EQ(value.wGetTypeWord(), expected) << code;
    EXPECT_EQ(&value.Ops() == &gBaseHostValueOps, expected == 0) << code;
  }
  EXPECT_EQ(qzrt::LiveProxyHandles(), 0u);
}

TEST_F(HostValueTest, SetTypeKeepsAValueOfItsOwnTypeUnlessItIsNull) {
  CHostValue value;
  value.SetType(HOST_TYPE_DOUBLE);
  const double three = 3.5;
  value.Set(&three);
  value.SetType(HOST_TYPE_DOUBLE);
  double out = 0;
  value.nGet(&out);
  EXPECT_EQ(out, 3.5);
  value.SetFlags(HOST_VALUE_FLAG_NULL | HOST_VALUE_FLAG_MARKED);
  value.SetType(HOST_TYPE_DOUBLE);
  value.nGet(&out);
  EXPECT_EQ(out, 0.0);
  EXPECT_EQ(value.wGetTypeWord(), HOST_TYPE_DOUBLE);
}

TEST_F(HostValueTest, BaseHolderSupportsNothing) {
  CHostValue value;
  std::size_t size = 9;
  const void* pointer = &size;
  const char16_t* text = u"x";
  std::int32_t seven = 7;
  EXPECT_EQ(value.Ops().nGetStorageSize(value.pHolder(), &size), HOST_ERR_NOT_SUPPORTED);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(value.nGet(&seven), HOST_ERR_NOT_SUPPORTED);
  EXPECT_EQ(value.nGetDataPointer(&pointer), HOST_ERR_NOT_SUPPORTED);
  EXPECT_EQ(pointer, nullptr);
  EXPECT_EQ(value.nGetDataSize(&size), HOST_ERR_NOT_SUPPORTED);
  EXPECT_EQ(value.nGetWideText(&text), HOST_ERR_CANNOT_CONVERT);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(value.nGetLength(&size), HOST_ERR_CANNOT_CONVERT);
  EXPECT_EQ(value.Ops().nIncrement(value.pHolder()), HOST_ERR_CANNOT_CONVERT);
  EXPECT_EQ(value.Set(&seven), HOST_OK);
  EXPECT_EQ(value.Ops().bIsNonNegative(value.pHolder()), 1);
  EXPECT_EQ(value.wGetTypeWord(), 0);
}

struct SFixedCase {
  std::uint8_t type;
  Bytes sample;
  std::int32_t nonNegative;
};

TEST_F(HostValueTest, FixedWidthHoldersKeepTheirBytesAndCopyWithFlags) {
  CCurrency negativeCurrency{};
  ASSERT_TRUE(negativeCurrency.bFromText(u"-12.5"));
  const CHostDateTime date{31, 12, 2024, 43200000};
  for (const SFixedCase& c : {SFixedCase{HOST_TYPE_UINT32_RAW, BytesOf(std::uint32_t{0x01020304}), 1},
                              SFixedCase{HOST_TYPE_UINT8, BytesOf(std::uint8_t{200}), 1},
                              SFixedCase{HOST_TYPE_UINT16, BytesOf(std::uint16_t{60000}), 1},
                              SFixedCase{HOST_TYPE_UINT32, BytesOf(std::uint32_t{4000000000u}), 1},
                              SFixedCase{HOST_TYPE_UINT64, BytesOf(std::uint64_t{1} << 63), 1},
                              SFixedCase{HOST_TYPE_INT8, BytesOf(std::int8_t{-5}), 0},
                              SFixedCase{HOST_TYPE_INT16, BytesOf(std::int16_t{-300}), 0},
                              SFixedCase{HOST_TYPE_INT32, BytesOf(std::int32_t{-70000}), 0},
                              SFixedCase{HOST_TYPE_INT64, BytesOf(std::int64_t{-1} << 40), 0},
                              SFixedCase{HOST_TYPE_CURRENCY, BytesOf(negativeCurrency), 0},
                              SFixedCase{HOST_TYPE_FLOAT, BytesOf(-0.25f), 0},
                              SFixedCase{HOST_TYPE_DOUBLE, BytesOf(-1e300), 0},
                              SFixedCase{HOST_TYPE_INT64_ALT, BytesOf(std::int64_t{-9}), 1},
                              SFixedCase{HOST_TYPE_DATETIME, BytesOf(date), 1},
                              SFixedCase{HOST_TYPE_VALUE8, BytesOf(std::int64_t{-9}), 1}}) {
    SCOPED_TRACE(static_cast<int>(c.type));
    CHostValue value;
    value.SetType(c.type);
    const std::size_t width = c.sample.size();
    Bytes out(width, 0xCD);
    ASSERT_EQ(value.nGet(out.data()), HOST_OK);
    EXPECT_EQ(out, Bytes(width, 0)) << "initial value";

    ASSERT_EQ(value.Set(c.sample.data()), HOST_OK);
    std::size_t sizes[3] = {};
    value.Ops().nGetStorageSize(value.pHolder(), &sizes[0]);
    value.nGetSizeWithTerminator(&sizes[1]);
    value.nGetDataSize(&sizes[2]);
    EXPECT_EQ(sizes[0], width);
    EXPECT_EQ(sizes[1], width);
    EXPECT_EQ(sizes[2], width);
    const void* data = nullptr;
    ASSERT_EQ(value.nGetDataPointer(&data), HOST_OK);
    EXPECT_EQ(std::memcmp(data, c.sample.data(), width), 0);
    Bytes copied(width);
    value.Ops().nCopyData(value.pHolder(), copied.data());
    EXPECT_EQ(copied, c.sample);
    EXPECT_EQ(value.Ops().bIsNonNegative(value.pHolder()), c.nonNegative);

    value.SetFlags(HOST_VALUE_FLAG_NULL | HOST_VALUE_FLAG_MARKED);
    CHostValue copy;
    copy.Assign(value);
    EXPECT_EQ(copy.wGetTypeWord(), c.type | HOST_VALUE_FLAG_NULL | HOST_VALUE_FLAG_MARKED);
    copy.nGet(out.data());
    EXPECT_EQ(out, c.sample);

    // A buffer shorter than the width is taken as far as it goes and the rest zeroed, never read past its end.
    auto shortBuffer = std::make_unique<std::uint8_t[]>(1);
    shortBuffer[0] = 0x7F;
    ASSERT_EQ(value.SetFromBuffer(shortBuffer.get(), 1), HOST_OK);
    value.nGet(out.data());
    Bytes expected(width, 0);
    expected[0] = 0x7F;
    EXPECT_EQ(out, expected);
  }
}

struct SStepCase {
  std::uint8_t type;
  Bytes start;
  int delta;
  Bytes result;
  std::int32_t answer;
};

TEST_F(HostValueTest, StepsWrapInTheirWidthAndSayWhenTheExactResultLeftTheRange) {
  CCurrency half{};
  ASSERT_TRUE(half.bFromText(u"0.5"));
  CCurrency halfUp{};
  ASSERT_TRUE(halfUp.bFromText(u"1.5"));
  const auto money = [](const char16_t* text) { CCurrency value{}; return value.bFromText(text), BytesOf(value); };
  for (const SStepCase& c : {
           SStepCase{HOST_TYPE_UINT8, BytesOf(std::uint8_t{255}), 1, BytesOf(std::uint8_t{0}), 1},
           SStepCase{HOST_TYPE_UINT8, BytesOf(std::uint8_t{0}), -1, BytesOf(std::uint8_t{255}), 1},
           SStepCase{HOST_TYPE_UINT16, BytesOf(std::uint16_t{7}), 1, BytesOf(std::uint16_t{8}), 0},
           SStepCase{HOST_TYPE_UINT32, BytesOf(std::uint32_t{0xFFFFFFFF}), 1, BytesOf(std::uint32_t{0}), 1},
           SStepCase{HOST_TYPE_UINT64, BytesOf(std::uint64_t{0}), -1, BytesOf(~std::uint64_t{0}), 1},
           SStepCase{HOST_TYPE_UINT64, BytesOf(std::uint64_t{41}), 1, BytesOf(std::uint64_t{42}), 0},
           SStepCase{HOST_TYPE_INT8, BytesOf(std::int8_t{127}), 1, BytesOf(std::int8_t{-128}), 1},
           SStepCase{HOST_TYPE_INT16, BytesOf(std::int16_t{-32768}), -1, BytesOf(std::int16_t{32767}), 1},
           SStepCase{HOST_TYPE_INT32, BytesOf(std::int32_t{-1}), 1, BytesOf(std::int32_t{0}), 0},
           SStepCase{HOST_TYPE_INT64, BytesOf(std::numeric_limits<std::int64_t>::max()), 1,
                     BytesOf(std::numeric_limits<std::int64_t>::min()), 0},
           SStepCase{HOST_TYPE_INT64_ALT, BytesOf(std::int64_t{5}), -1, BytesOf(std::int64_t{4}), 0},
           SStepCase{HOST_TYPE_FLOAT, BytesOf(1.5f), 1, BytesOf(2.5f), 0},
           SStepCase{HOST_TYPE_FLOAT, BytesOf(std::numeric_limits<float>::infinity()), 1,
                     BytesOf(std::numeric_limits<float>::infinity()), 1},
           SStepCase{HOST_TYPE_DOUBLE, BytesOf(-0.5), 1, BytesOf(0.5), 0},
           SStepCase{HOST_TYPE_CURRENCY, BytesOf(half), 1, BytesOf(halfUp), 0},
           SStepCase{HOST_TYPE_CURRENCY, money(u"123456789012.345678"), 1, money(u"123456789013.345678"), 0},
           SStepCase{HOST_TYPE_CURRENCY, money(u"0.25"), -1, money(u"-0.75"), 0},
           SStepCase{HOST_TYPE_CURRENCY, money(u"604462909807314587.353087"), 1,
                     money(u"-604462909807314586.353089"), 1},
           SStepCase{HOST_TYPE_CURRENCY, money(u"-604462909807314586.353088"), -1,
                     BytesOf(CCurrency{{0, 0, 0, 0, 0x8000}}), 1},
       }) {
    SCOPED_TRACE(static_cast<int>(c.type));
    CHostValue value;
    value.SetType(c.type);
    value.Set(c.start.data());
    const std::int32_t answer =
        c.delta > 0 ? value.Ops().nIncrement(value.pHolder()) : value.Ops().nDecrement(value.pHolder());
    EXPECT_EQ(answer, c.answer);
    Bytes out(c.result.size());
    value.nGet(out.data());
    EXPECT_EQ(out, c.result);
  }
  for (std::uint8_t type : {HOST_TYPE_UINT32_RAW, HOST_TYPE_PROXY_HANDLE, HOST_TYPE_DATETIME, HOST_TYPE_VALUE8,
                            HOST_TYPE_OBJECT108}) {
    CHostValue value;
    value.SetType(type);
    EXPECT_EQ(value.Ops().nIncrement(value.pHolder()), HOST_ERR_CANNOT_CONVERT) << static_cast<int>(type);
  }
}

TEST_F(HostValueTest, DecimalHandlesComeFromTheProxyAndGoBackToIt) {
  {
    CHostValue value;
    value.SetType(HOST_TYPE_PROXY_HANDLE);
    EXPECT_EQ(qzrt::LiveProxyHandles(), 1u);
    IHostProxyHandle* handle = nullptr;
    ASSERT_EQ(value.nGet(&handle), HOST_OK);
    ASSERT_NE(handle, nullptr);
    std::size_t size = 0;
    value.nGetSizeWithTerminator(&size);
    EXPECT_EQ(size, 18u);
    size = 0;
    value.nGetDataSize(&size);
    EXPECT_EQ(size, 18u) << "taken from the size with terminator, which the holder gives";
    const void* data = &size;
    EXPECT_EQ(value.nGetDataPointer(&data), HOST_ERR_CANNOT_CONVERT);

    // The byte form: the signed integer of its digits in 16 bytes, then the scale; -12.5 is -125 at scale 1.
    std::uint8_t bytes[18] = {0x83, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                              0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1};
    ASSERT_EQ(value.SetFromBuffer(bytes, sizeof bytes), HOST_OK);
    EXPECT_EQ(value.Ops().bIsNonNegative(value.pHolder()), 0);

    CHostValue copy;
    copy.Assign(value);
    EXPECT_EQ(qzrt::LiveProxyHandles(), 2u);
    IHostProxyHandle* copied = nullptr;
    copy.nGet(&copied);
    EXPECT_NE(copied, handle) << "a copy has a handle of its own";
    std::uint8_t out[18] = {};
    ASSERT_EQ(copy.Ops().nCopyWithTerminator(copy.pHolder(), out), HOST_OK);
    EXPECT_EQ(std::memcmp(out, bytes, sizeof bytes), 0);
  }
  EXPECT_EQ(qzrt::LiveProxyHandles(), 0u);

  // Without a proxy bound there is no handle, and nothing is called through null.
  IHostProxy* proxy = gpHostProxy;
  gpHostProxy = nullptr;
  {
    CHostValue value;
    value.SetType(HOST_TYPE_PROXY_HANDLE);
    std::uint8_t bytes[18] = {};
    EXPECT_EQ(value.SetFromBuffer(bytes, sizeof bytes), HOST_ERR_NOT_SUPPORTED);
    EXPECT_EQ(value.Ops().bIsNonNegative(value.pHolder()), 1);
  }
  gpHostProxy = proxy;
}

TEST_F(HostValueTest, BufferReferenceSharesTheMemoryAndItsSize) {
  std::uint8_t buffer[5] = {1, 2, 3, 4, 5};
  CHostValue value;
  value.SetType(HOST_TYPE_PAIR29);
  ASSERT_EQ(value.SetFromBuffer(buffer, sizeof buffer), HOST_OK);
  CHostValue copy;
  copy.Assign(value);
  const void* data = nullptr;
  std::size_t size = 0;
  copy.nGetDataPointer(&data);
  copy.nGetDataSize(&size);
  EXPECT_EQ(data, buffer);
  EXPECT_EQ(size, 5u);
  std::uint8_t out[5] = {};
  copy.Ops().nCopyData(copy.pHolder(), out);
  EXPECT_EQ(std::memcmp(out, buffer, 5), 0);
  copy.Set(buffer + 1);
  copy.nGetDataSize(&size);
  EXPECT_EQ(size, 0u);
}

TEST_F(HostValueTest, CountedObjectsAreReferencedOncePerValue) {
  for (std::uint8_t type : {HOST_TYPE_OBJECT30, HOST_TYPE_OBJECT50, HOST_TYPE_OBJECT65}) {
    SCOPED_TRACE(static_cast<int>(type));
    void* first = qzrt::NewCountedObject();
    void* second = qzrt::NewCountedObject();
    {
      CHostValue empty;
      empty.SetType(type);
      CHostValue copyOfEmpty;
      copyOfEmpty.Assign(empty);  // holds no object yet: nothing to count
      void* held = first;
      copyOfEmpty.nGet(&held);
      EXPECT_EQ(held, nullptr);

      CHostValue value;
      value.SetType(type);
      value.Set(first);
      CHostValue copy;
      copy.Assign(value);
      EXPECT_EQ(qzrt::ObjectReferences(first), 2u);
      value.Set(second);
      EXPECT_EQ(qzrt::ObjectReferences(first), 1u) << "the object a value let go of is released";
      EXPECT_EQ(qzrt::ObjectReferences(second), 1u);
    }
    EXPECT_EQ(qzrt::ObjectReferences(first), 0u);
    EXPECT_EQ(qzrt::ObjectReferences(second), 0u);
  }
}

TEST_F(HostValueTest, ReferencedInterfacesAreCopiedWithoutFlags) {
  for (std::uint8_t type : {HOST_TYPE_OBJECT108, HOST_TYPE_OBJECT111}) {
    SCOPED_TRACE(static_cast<int>(type));
    void* object = qzrt::NewCountedObject();
    {
      CHostValue value;
      value.SetType(type);
      value.Set(object);
      value.Set(object);
      EXPECT_EQ(qzrt::ObjectReferences(object), 1u);
      value.SetFlags(HOST_VALUE_FLAG_NULL | HOST_VALUE_FLAG_MARKED);
      CHostValue copy;
      copy.Assign(value);
      EXPECT_EQ(copy.wGetTypeWord(), type);
      EXPECT_EQ(qzrt::ObjectReferences(object), 2u);
      copy.Set(nullptr);
      EXPECT_EQ(qzrt::ObjectReferences(object), 1u);
    }
    EXPECT_EQ(qzrt::ObjectReferences(object), 0u);
  }
}

TEST_F(HostValueTest, ValueArraysOwnCopiesOfTheirElements) {
  CHostValue elements[2];
  elements[0].SetType(HOST_TYPE_PROXY_HANDLE);
  elements[1].SetType(HOST_TYPE_INT16);
  const std::int16_t five = 5;
  elements[1].Set(&five);
  elements[1].SetNull(true);
  {
    CHostValue array;
    array.SetType(HOST_TYPE_VALUE_ARRAY);
    ASSERT_EQ(array.SetFromBuffer(elements, 2), HOST_OK);
    EXPECT_EQ(qzrt::LiveProxyHandles(), 2u);
    CHostValue copy;
    copy.Assign(array);
    EXPECT_EQ(qzrt::LiveProxyHandles(), 3u);
    std::size_t count = 0;
    copy.nGetDataSize(&count);
    ASSERT_EQ(count, 2u);
    const void* data = nullptr;
    copy.nGetDataPointer(&data);
    auto* copied = static_cast<CHostValue*>(const_cast<void*>(data));
    EXPECT_NE(copied, elements);
    EXPECT_EQ(copied[1].wGetTypeWord(), HOST_TYPE_INT16 | HOST_VALUE_FLAG_NULL);
    std::int16_t out = 0;
    copied[1].nGet(&out);
    EXPECT_EQ(out, 5);
    // An array set from its own elements keeps them.
    ASSERT_EQ(copy.SetFromBuffer(copied, 2), HOST_OK);
    copy.nGetDataPointer(&data);
    static_cast<CHostValue*>(const_cast<void*>(data))[1].nGet(&out);
    EXPECT_EQ(out, 5);
    EXPECT_EQ(copy.Ops().nCopyData(copy.pHolder(), &out), HOST_ERR_CANNOT_CONVERT);
    ASSERT_EQ(copy.Set(&elements[1]), HOST_OK);
    copy.nGetDataSize(&count);
    EXPECT_EQ(count, 1u);
  }
  EXPECT_EQ(qzrt::LiveProxyHandles(), 1u);
}

}  // namespace
