// Packed composite key values: how the bytes split into components (whole, cut, fillers, left out, binary lengths
// that say more than there is), and the runtime values made of them through the runtime stand-in.
#include "sql/conditions/packed_key.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "host/host_services.h"
#include "sql/conditions/key_value_split.h"
#include "tests/host/host_value_fixture.h"

namespace {

SKeyComponent Component(std::uint16_t hostType, std::uint32_t length, bool binary = false) {
  return SKeyComponent{hostType, length, binary, 0, 0};
}

// Bytes from a list, to write packed values as the runtime lays them out.
Bytes Join(std::initializer_list<Bytes> pieces) {
  Bytes out;
  for (const Bytes& piece : pieces) out.insert(out.end(), piece.begin(), piece.end());
  return out;
}
Bytes TextBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }
Bytes WideBytes(const std::u16string& text) {
  Bytes out(text.size() * 2);
  std::memcpy(out.data(), text.data(), out.size());
  return out;
}

struct SExpected {
  std::size_t nOffset;
  std::size_t nLength;
  EKeyPart eKind;
};

struct SSplitCase {
  const char* pszName;
  std::vector<SKeyComponent> components;
  Bytes value;
  bool bLimits;
  std::vector<SExpected> expected;
};

const std::uint16_t kU16 = HOST_TYPE_UINT16;
const std::uint16_t kI32 = HOST_TYPE_INT32;
const std::uint16_t kNarrow = HOST_TYPE_TEXT_BUFFER;
const std::uint16_t kWide = HOST_TYPE_WSTRING;

std::vector<SSplitCase> SplitCases() {
  const Bytes u16 = BytesOf<std::uint16_t>(0x1234);
  const Bytes i32 = BytesOf<std::int32_t>(-7);
  const auto C = EKeyPart::kComplete;
  const auto Cut = EKeyPart::kCut;
  const auto Min = EKeyPart::kMinimum;
  const auto Max = EKeyPart::kMaximum;
  const auto Out = EKeyPart::kLeftOut;
  return {
      {"WholeComponentsTheLastEndingAtTheEnd", {Component(kU16, 2), Component(kI32, 4)}, Join({u16, i32}), false,
       {{0, 2, C}, {2, 4, C}}},
      {"BytesAfterTheLastComponentAreNotRead", {Component(kU16, 2), Component(kI32, 4)}, Join({u16, i32, {9, 9}}),
       true, {{0, 2, C}, {2, 4, C}}},
      {"MissingComponentsAreAbsent", {Component(kU16, 2), Component(kI32, 4), Component(kU16, 2)}, Join({u16, i32}),
       false, {{0, 2, C}, {2, 4, C}}},
      {"NumberCutInTheMiddleIsLeftOut", {Component(kU16, 2), Component(kI32, 4)}, Join({u16, {1, 2}}), false,
       {{0, 2, C}, {2, 0, Out}}},
      {"RawValueFromItsFirstByte", {Component(kU16, 2), Component(HOST_TYPE_UINT32_RAW, 4)}, Join({u16, {1}}), false,
       {{0, 2, C}, {2, 1, Cut}}},
      {"RawValueOfTwoBytesIsLeftOut", {Component(kU16, 2), Component(HOST_TYPE_UINT32_RAW, 4)},
       Join({u16, {1, 0}}), false, {{0, 2, C}, {2, 0, Out}}},
      {"DecimalOfTheFullFormReadsWhatRemains", {Component(kU16, 2), Component(HOST_TYPE_PROXY_HANDLE, 18)},
       Join({u16, {0, 1, 5, 0, 0}}), false, {{0, 2, C}, {2, 5, Cut}}},
      {"ShorterDecimalCutIsLeftOut", {Component(kU16, 2), Component(HOST_TYPE_PROXY_HANDLE, 9)},
       Join({u16, {0, 1, 5}}), false, {{0, 2, C}, {2, 0, Out}}},
      {"TextUpToItsFirstZero", {Component(kNarrow, 5), Component(kU16, 2)}, Join({TextBytes("ab"), {0, 'x', 0}, u16}),
       false, {{0, 2, C}, {5, 2, C}}},
      {"TextCutByTheEnd", {Component(kU16, 2), Component(kNarrow, 5)}, Join({u16, TextBytes("abc")}), false,
       {{0, 2, C}, {2, 3, Cut}}},
      {"MinimumFiller", {Component(kU16, 2), Component(kNarrow, 5)}, Join({u16, {0}}), true,
       {{0, 2, C}, {2, 0, Min}}},
      {"NoFillerWithoutLimits", {Component(kU16, 2), Component(kNarrow, 5)}, Join({u16, {0}}), false,
       {{0, 2, C}, {2, 0, Cut}}},
      {"MinimumIsExactlyOneZeroByte", {Component(kU16, 2), Component(kI32, 4)}, Join({u16, {0, 0}}), true,
       {{0, 2, C}, {2, 0, Out}}},
      {"MaximumFillerOfANumber", {Component(kU16, 2), Component(kI32, 4)}, Join({u16, {0xFF, 0xFF}}), true,
       {{0, 2, C}, {2, 2, Max}}},
      {"MaximumFillerOfAWholeText", {Component(kU16, 2), Component(kNarrow, 3)}, Join({u16, {0xFF, 0xFF, 0xFF}}),
       true, {{0, 2, C}, {2, 3, Max}}},
      {"OnlyTheLastComponentIsAFiller", {Component(kI32, 4), Component(kU16, 2)}, Join({{0xFF, 1, 2, 3}, u16}), true,
       {{0, 4, C}, {4, 2, C}}},
      {"OneByteNumbersNeverFill", {Component(kU16, 2), Component(HOST_TYPE_UINT8, 1)}, Join({u16, {0xFF}}), true,
       {{0, 2, C}, {2, 1, C}}},
      {"SignedByteNeverFills", {Component(kU16, 2), Component(HOST_TYPE_INT8, 1)}, Join({u16, {0}}), true,
       {{0, 2, C}, {2, 1, C}}},
      {"Utf16TakesTwoBytesAUnit", {Component(kWide, 2), Component(kU16, 2)}, Join({WideBytes(u"ab"), u16}), false,
       {{0, 4, C}, {4, 2, C}}},
      {"Utf16TextUpToItsFirstZeroUnit", {Component(kWide, 3), Component(kU16, 2)},
       Join({WideBytes(u"a"), {0, 0}, WideBytes(u"B"), u16}), false, {{0, 2, C}, {6, 2, C}}},
      {"Utf16MinimumFiller", {Component(kU16, 2), Component(kWide, 4)}, Join({u16, {0, 0}}), true,
       {{0, 2, C}, {2, 0, Min}}},
      {"Utf16MaximumFiller", {Component(kU16, 2), Component(kWide, 4)}, Join({u16, {0xFF, 0xFF}}), true,
       {{0, 2, C}, {2, 2, Max}}},
      {"Utf16FillerIsExactlyOneUnit", {Component(kU16, 2), Component(kWide, 4)}, Join({u16, WideBytes(u"\uFFFFa")}),
       true, {{0, 2, C}, {2, 4, Cut}}},
      {"Utf16OddByteIsNoUnit", {Component(kU16, 2), Component(kWide, 4)}, Join({u16, WideBytes(u"a"), {0x42}}), false,
       {{0, 2, C}, {2, 2, Cut}}},
      {"DateDigitsLoseTrailingZeros", {Component(HOST_TYPE_ADATE, 8), Component(kU16, 2)},
       Join({TextBytes("2024"), {0, 0, 0, 0}, u16}), false, {{0, 4, C}, {8, 2, C}}},
      {"TimeDigitsAtMostNine", {Component(HOST_TYPE_ATIME, 12)}, TextBytes("123456789012"), false, {{0, 9, C}}},
      {"BinaryDataAfterItsLength", {Component(28, 4, true), Component(kU16, 2)},
       Join({BytesOf<std::uint16_t>(3), TextBytes("abc"), {0}, u16}), false, {{2, 3, C}, {6, 2, C}}},
      {"BinaryLengthBeyondTheColumn", {Component(28, 4, true), Component(kU16, 2)},
       Join({BytesOf<std::uint16_t>(300), TextBytes("abcd"), u16}), false, {{2, 4, C}, {6, 2, C}}},
      {"BinaryLengthBeyondTheValue", {Component(kU16, 2), Component(28, 10, true)},
       Join({u16, BytesOf<std::uint16_t>(9), TextBytes("abc")}), false, {{0, 2, C}, {4, 3, Cut}}},
      {"BinaryLengthFieldCut", {Component(kU16, 2), Component(28, 4, true)}, Join({u16, {7}}), false,
       {{0, 2, C}, {3, 0, Cut}}},
      {"EmptyColumnsTakeNoBytes", {Component(kNarrow, 0), Component(kU16, 2)}, u16, false, {{0, 0, C}, {0, 2, C}}},
  };
}

TEST(PackedKeyTest, SplitsComponents) {
  for (const SSplitCase& test : SplitCases()) {
    SCOPED_TRACE(test.pszName);
    // An exact copy on the heap, so that a read past the value shows under AddressSanitizer.
    std::unique_ptr<std::uint8_t[]> value(new std::uint8_t[test.value.size()]);
    std::memcpy(value.get(), test.value.data(), test.value.size());
    const std::vector<SKeyPart> parts =
        SplitPackedKey(test.components.data(), test.components.size(), value.get(), test.value.size(), test.bLimits);
    ASSERT_EQ(parts.size(), test.expected.size());
    for (std::size_t i = 0; i < parts.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(parts[i].nOffset, test.expected[i].nOffset);
      EXPECT_EQ(parts[i].nLength, test.expected[i].nLength);
      EXPECT_EQ(parts[i].eKind, test.expected[i].eKind);
    }
  }
}

TEST(PackedKeyTest, NothingWithoutBytes) {
  const SKeyComponent components[] = {Component(kU16, 2)};
  const std::uint8_t byte = 0;
  EXPECT_TRUE(SplitPackedKey(components, 1, &byte, 0, true).empty());
  EXPECT_TRUE(SplitPackedKey(components, 1, nullptr, 4, true).empty());
  EXPECT_TRUE(SplitPackedKey(components, 0, &byte, 1, true).empty());
}

// ---- the values of the components ---------------------------------------------------------------------------------

class KeyValueSplitTest : public CHostValueFixture {
 protected:
  void TearDown() override {
    values.clear();
    CHostValueFixture::TearDown();
  }
  // The packed value as the runtime passes it: a binary buffer of exactly these bytes.
  void Pack(const Bytes& bytes) {
    packed.SetType(HOST_TYPE_BINARY_BUFFER);
    ASSERT_EQ(packed.SetFromBuffer(bytes.data(), bytes.size()), HOST_OK);
  }
  bool Split(const std::vector<SKeyComponent>& components, bool limits = true) {
    values.clear();
    return bSplitKeyValue(components.data(), components.size(), packed, values, isMin, isMax, limits);
  }
  template <class T>
  T Number(std::size_t i) {
    T native{};
    values.at(i)->nGet(&native);
    return native;
  }
  std::u16string WideText(std::size_t i) { return WideOf(*values.at(i)); }
  std::string DataText(std::size_t i) {
    std::size_t size = 0;
    const void* data = nullptr;
    values.at(i)->nGetDataSize(&size);
    values.at(i)->nGetDataPointer(&data);
    return std::string(static_cast<const char*>(data), size);
  }

  CHostValue packed;
  CKeyValueList values;
  bool isMin = true;
  bool isMax = true;
};

TEST_F(KeyValueSplitTest, EachComponentBecomesAValueOfItsType) {
  Pack(Join({BytesOf<std::uint16_t>(513), TextBytes("ab"), {0, 0, 0}, BytesOf<std::int32_t>(-9), WideBytes(u"xy")}));
  ASSERT_TRUE(Split({Component(kU16, 2), Component(kNarrow, 5), Component(kI32, 4), Component(kWide, 2)}));
  ASSERT_EQ(values.size(), 4u);
  EXPECT_FALSE(isMin);
  EXPECT_FALSE(isMax);
  EXPECT_EQ(values[0]->nGetType(), HOST_TYPE_UINT16);
  EXPECT_EQ(Number<std::uint16_t>(0), 513);
  EXPECT_EQ(DataText(1), "ab");
  EXPECT_EQ(Number<std::int32_t>(2), -9);
  EXPECT_EQ(WideText(3), u"xy");
}

TEST_F(KeyValueSplitTest, NumberFillersTakeTheTypeLimitsAndTextsKeepTheirBytes) {
  Pack(Join({WideBytes(u"ab"), {0xFF}}));
  ASSERT_TRUE(Split({Component(kWide, 2), Component(kI32, 4)}));
  ASSERT_EQ(values.size(), 2u);
  EXPECT_TRUE(isMax);
  EXPECT_FALSE(isMin);
  EXPECT_EQ(Number<std::int32_t>(1), std::numeric_limits<std::int32_t>::max());

  Pack(Join({WideBytes(u"ab"), {0}}));
  ASSERT_TRUE(Split({Component(kWide, 2), Component(HOST_TYPE_INT64_ALT, 8)}));
  ASSERT_EQ(values.size(), 2u);
  EXPECT_TRUE(isMin);
  EXPECT_EQ(values[1]->nGetType(), HOST_TYPE_UINT64) << "the limit of type 14 is stored as type 5";
  EXPECT_EQ(Number<std::uint64_t>(1), 0u);

  Pack(Join({BytesOf<std::uint16_t>(1), WideBytes(u"\uFFFF")}));
  ASSERT_TRUE(Split({Component(kU16, 2), Component(kWide, 4)}));
  ASSERT_EQ(values.size(), 2u);
  EXPECT_TRUE(isMax);
  EXPECT_EQ(WideText(1), u"\uFFFF");

  // Without limits the same bytes are a text like any other.
  ASSERT_TRUE(Split({Component(kU16, 2), Component(kWide, 4)}, false));
  EXPECT_FALSE(isMax);
  EXPECT_EQ(WideText(1), u"\uFFFF");
}

TEST_F(KeyValueSplitTest, CutComponents) {
  // A number cut in the middle has no value, nor does anything after it.
  Pack(Join({BytesOf<std::int32_t>(4), {1, 2, 3}}));
  ASSERT_TRUE(Split({Component(kI32, 4), Component(HOST_TYPE_INT64, 8), Component(kU16, 2)}));
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(Number<std::int32_t>(0), 4);

  // A text is what remains; date digits are a text of their own kind.
  Pack(Join({BytesOf<std::int32_t>(4), TextBytes("2024")}));
  ASSERT_TRUE(Split({Component(kI32, 4), Component(HOST_TYPE_ADATE, 8)}));
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(NarrowOf(*values[1]), "2024");

  // The raw 32-bit value from one byte.
  Pack(Join({BytesOf<std::int32_t>(4), {7}}));
  ASSERT_TRUE(Split({Component(kI32, 4), Component(HOST_TYPE_UINT32_RAW, 4)}));
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(Number<std::uint32_t>(1), 7u);
}

TEST_F(KeyValueSplitTest, DecimalsReadTheirPackedDigits) {
  // Byte form: the signed integer of the digits, then the scale; 12345 at scale 2 is 123.45.
  Bytes form(18, 0);
  form[0] = 12345 & 0xFF;
  form[1] = 12345 >> 8;
  form[16] = 2;
  Pack(Join({BytesOf<std::uint16_t>(1), form}));
  std::vector<SKeyComponent> components{Component(kU16, 2), Component(HOST_TYPE_PROXY_HANDLE, 18)};
  components[1].nPrecision = 5;
  components[1].nScale = 2;
  ASSERT_TRUE(Split(components));
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(DecimalTextOf(*values.at(1)), u"123.45");

  // Cut after the integer's first byte: what remains is read, the rest is zero.
  Pack(Join({BytesOf<std::uint16_t>(1), Bytes(form.begin(), form.begin() + 1)}));
  ASSERT_TRUE(Split(components));
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(DecimalTextOf(*values.at(1)), u"0.57") << "57 = 12345 & 0xFF, at scale 2";
}

TEST_F(KeyValueSplitTest, BinaryLengthIsBoundedByTheColumnAndTheValue) {
  Pack(Join({BytesOf<std::uint16_t>(300), TextBytes("abcd"), BytesOf<std::uint16_t>(5)}));
  ASSERT_TRUE(Split({Component(HOST_TYPE_BINARY_BUFFER, 4, true), Component(kU16, 2)}));
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(DataText(0), "abcd");
  EXPECT_EQ(Number<std::uint16_t>(1), 5);

  Pack(Join({BytesOf<std::uint16_t>(5), BytesOf<std::uint16_t>(60000), TextBytes("ab")}));
  ASSERT_TRUE(Split({Component(kU16, 2), Component(HOST_TYPE_BINARY_BUFFER, 100, true)}));
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(DataText(1), "ab");
}

TEST_F(KeyValueSplitTest, NullOrEmptyValueGivesNoValues) {
  Pack({});
  EXPECT_TRUE(Split({Component(kU16, 2)}));
  EXPECT_TRUE(values.empty());
  EXPECT_FALSE(isMin || isMax);

  Pack(BytesOf<std::uint16_t>(3));
  packed.SetNull(true);
  EXPECT_TRUE(Split({Component(kU16, 2)}));
  EXPECT_TRUE(values.empty());
}

TEST_F(KeyValueSplitTest, DecimalWithoutTheRuntimeProxyFails) {
  Pack(Bytes(18, 0));
  IHostProxy* proxy = gpHostProxy;
  gpHostProxy = nullptr;
  EXPECT_FALSE(Split({Component(HOST_TYPE_PROXY_HANDLE, 18)}));
  gpHostProxy = proxy;
}

}  // namespace
