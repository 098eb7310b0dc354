// Packed composite key values: how the bytes split into components (whole, cut, fillers, left out, binary lengths
// that say more than there is).
#include "sql/conditions/packed_key.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

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

}  // namespace
