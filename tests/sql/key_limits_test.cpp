// The limits of the runtime's value types and how search values are recognised as them, through the runtime
// stand-in (its decimals, its strings marked as maximum-filled, its comparison).
#include "sql/conditions/key_limits.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "foundation/currency.h"
#include "foundation/date_time.h"
#include "host/host_services.h"
#include "host/host_string.h"
#include "tests/host/host_value_fixture.h"

namespace {

class KeyLimitsTest : public CHostValueFixture {
 protected:
  // The native bytes of a value, as wide as `T`.
  template <class T>
  static Bytes Native(CHostValue& value) {
    T native{};
    value.nGet(&native);
    return BytesOf(native);
  }
  // A runtime string value of `type` (16 or 19) holding `bytes`, marked as maximum-filled; `length` 0 makes a string
  // that exists but is empty.
  static void MarkedString(CHostValue& value, std::uint8_t type, const void* bytes, std::uint32_t length) {
    CHostString string;
    ASSERT_EQ(string.nAllocate(length + 2, bytes, length), HOST_OK);
    qzrt::MarkStringMaximumFilled(string.Pointer());
    value.SetType(type);
    value.Set(&string.Pointer());
  }
};

struct SLimitCase {
  std::uint8_t nType;
  std::uint8_t nLimitType;  // the type the value has after taking a limit
  Bytes minimum;
  Bytes maximum;
  int nMinimumClass;  // how nClassifyLimitValue sees the value after SetTypeMinimum
  int nMaximumClass;
};

Bytes DateTime(int year, int month, int day) {
  CHostDateTime value{};
  if (year) {
    value.SetYear(year);
    value.SetMonth(month);
    value.SetDay(day);
  }
  return BytesOf(value);
}

template <class T>
Bytes Lowest() {
  return BytesOf(std::numeric_limits<T>::lowest());
}
template <class T>
Bytes Highest() {
  return BytesOf(std::numeric_limits<T>::max());
}

TEST_F(KeyLimitsTest, NumberAndDateTimeLimits) {
  const int none = KEY_LIMIT_NONE;
  const int min = KEY_LIMIT_MINIMUM;
  const int max = KEY_LIMIT_MAXIMUM;
  const SLimitCase cases[] = {
      {HOST_TYPE_UINT32_RAW, HOST_TYPE_UINT32_RAW, BytesOf<std::uint32_t>(0), BytesOf<std::uint32_t>(1), none, none},
      {HOST_TYPE_UINT8, HOST_TYPE_UINT8, BytesOf<std::uint8_t>(0), BytesOf<std::uint8_t>(255), min, max},
      {HOST_TYPE_UINT16, HOST_TYPE_UINT16, BytesOf<std::uint16_t>(0), BytesOf<std::uint16_t>(65535), min, max},
      {HOST_TYPE_UINT32, HOST_TYPE_UINT32, BytesOf<std::uint32_t>(0), BytesOf<std::uint32_t>(4294967295u), min, max},
      {HOST_TYPE_UINT64, HOST_TYPE_UINT64, BytesOf<std::uint64_t>(0), Highest<std::uint64_t>(), min, max},
      {HOST_TYPE_INT8, HOST_TYPE_INT8, BytesOf<std::int8_t>(-128), BytesOf<std::int8_t>(127), min, max},
      {HOST_TYPE_INT16, HOST_TYPE_INT16, BytesOf<std::int16_t>(-32768), BytesOf<std::int16_t>(32767), min, max},
      {HOST_TYPE_INT32, HOST_TYPE_INT32, Lowest<std::int32_t>(), Highest<std::int32_t>(), min, max},
      {HOST_TYPE_INT64, HOST_TYPE_INT64, Lowest<std::int64_t>(), Highest<std::int64_t>(), min, max},
      // Type 27's minimum is 0 for the classification, not its lowest value.
      {HOST_TYPE_VALUE8, HOST_TYPE_VALUE8, Lowest<std::int64_t>(), Highest<std::int64_t>(), none, max},
      {HOST_TYPE_FLOAT, HOST_TYPE_FLOAT, BytesOf(-3.4028234663852886e+38f), BytesOf(3.4028234663852886e+38f), min,
       max},
      {HOST_TYPE_DOUBLE, HOST_TYPE_DOUBLE, BytesOf(-1.7976931348623157e+308), BytesOf(1.7976931348623157e+308), min,
       max},
      {HOST_TYPE_INT64_ALT, HOST_TYPE_UINT64, BytesOf<std::uint64_t>(0), Highest<std::uint64_t>(), min, max},
      // The highest date is below the threshold of the classification (year 9999).
      {HOST_TYPE_DATETIME, HOST_TYPE_DATETIME, DateTime(0, 0, 0), DateTime(3000, 12, 31), min, none},
  };
  for (const SLimitCase& test : cases) {
    SCOPED_TRACE(static_cast<int>(test.nType));
    for (const bool maximum : {false, true}) {
      CHostValue value;
      value.SetType(test.nType);
      value.SetFlags(HOST_VALUE_FLAG_NULL | HOST_VALUE_FLAG_MARKED);
      EXPECT_EQ(nClassifyLimitValue(value), KEY_LIMIT_NONE) << "a NULL value is no limit";
      if (maximum) {
        SetTypeMaximum(value);
      } else {
        SetTypeMinimum(value);
      }
      EXPECT_EQ(value.wGetTypeWord(), test.nLimitType) << "flags cleared";
      const Bytes& expected = maximum ? test.maximum : test.minimum;
      Bytes native(expected.size());
      value.nGet(native.data());
      EXPECT_EQ(native, expected) << maximum;
      EXPECT_EQ(nClassifyLimitValue(value), maximum ? test.nMaximumClass : test.nMinimumClass) << maximum;
    }
  }
}

TEST_F(KeyLimitsTest, CurrencyAndDigitTextLimits) {
  CHostValue value;
  value.SetType(HOST_TYPE_CURRENCY);
  SetTypeMaximum(value);
  CCurrency currency{};
  value.nGet(&currency);
  char16_t text[CCurrency::kTextSize];
  currency.FormatText(text);
  EXPECT_EQ(std::u16string(text), u"604462909807314587.353087");
  SetTypeMinimum(value);
  value.nGet(&currency);
  currency.FormatText(text);
  EXPECT_EQ(std::u16string(text), u"0");
  EXPECT_EQ(nClassifyLimitValue(value), KEY_LIMIT_NONE);

  struct {
    std::uint8_t type;
    const char* minimum;
    const char* maximum;
  } const texts[] = {{HOST_TYPE_WDATE, "", "30001231"},
                     {HOST_TYPE_WTIME, "0000", "235959999"},
                     {HOST_TYPE_ADATE, "", "30001231"},
                     {HOST_TYPE_ATIME, "0000", "235959999"}};
  for (const auto& test : texts) {
    SCOPED_TRACE(static_cast<int>(test.type));
    CHostValue digits;
    digits.SetType(test.type);
    digits.Set(test.type == HOST_TYPE_WDATE || test.type == HOST_TYPE_WTIME ? static_cast<const void*>(u"12")
                                                                            : static_cast<const void*>("12"));
    digits.SetNull(true);
    for (const bool maximum : {false, true}) {
      if (maximum) {
        SetTypeMaximum(digits);
      } else {
        SetTypeMinimum(digits);
      }
      EXPECT_FALSE(digits.bIsNull());
      const std::string expected = maximum ? test.maximum : test.minimum;
      if (test.type == HOST_TYPE_WDATE || test.type == HOST_TYPE_WTIME) {
        EXPECT_EQ(WideOf(digits), std::u16string(expected.begin(), expected.end()));
      } else {
        EXPECT_EQ(NarrowOf(digits), expected);
      }
      EXPECT_EQ(nClassifyLimitValue(digits), KEY_LIMIT_NONE);
    }
  }

  // Types without limits are left alone.
  CHostValue object;
  object.SetType(HOST_TYPE_TEXT);
  object.Set(u"abc");
  object.SetNull(true);
  SetTypeMaximum(object);
  EXPECT_TRUE(object.bIsNull());
  EXPECT_EQ(WideOf(object), u"abc");
}

TEST_F(KeyLimitsTest, DecimalLimitsComeFromTheRuntimeHandle) {
  CHostValue value;
  value.SetType(HOST_TYPE_PROXY_HANDLE);
  IHostProxyHandle* handle = nullptr;
  ASSERT_EQ(value.nGet(&handle), HOST_OK);
  handle->SetPrecision(5, 2);
  SetTypeMaximum(value);
  EXPECT_EQ(DecimalTextOf(value), u"999.99");
  EXPECT_EQ(nClassifyLimitValue(value), KEY_LIMIT_MAXIMUM);
  SetTypeMinimum(value);
  EXPECT_EQ(DecimalTextOf(value), u"-999.99");
  EXPECT_EQ(nClassifyLimitValue(value), KEY_LIMIT_MINIMUM);

  std::uint8_t form[18] = {2, 1, 7};  // 0.07
  handle->SetFromKeyInput(5, 2, form);
  EXPECT_EQ(nClassifyLimitValue(value), KEY_LIMIT_NONE);
  value.SetNull(true);
  EXPECT_EQ(nClassifyLimitValue(value), KEY_LIMIT_NONE);

  // A decimal of any precision reaches the widest the runtime holds.
  CHostValue wide;
  wide.SetType(HOST_TYPE_PROXY_HANDLE);
  SetTypeMaximum(wide);
  EXPECT_EQ(DecimalTextOf(wide), std::u16string(38, u'9'));
}

TEST_F(KeyLimitsTest, TextMaxima) {
  CHostValue value;
  value.SetType(HOST_TYPE_ACHAR);
  value.Set("\xFF");
  EXPECT_EQ(nClassifyLimitValue(value), KEY_LIMIT_MAXIMUM);
  value.Set("\xFE");
  EXPECT_EQ(nClassifyLimitValue(value), KEY_LIMIT_NONE);

  value.SetType(HOST_TYPE_WCHAR);
  value.Set(u"\uFFFF");
  EXPECT_EQ(nClassifyLimitValue(value), KEY_LIMIT_MAXIMUM);

  for (const std::uint8_t type : {HOST_TYPE_ASTRING, HOST_TYPE_ADATE, HOST_TYPE_ATIME}) {
    SCOPED_TRACE(static_cast<int>(type));
    value.SetType(type);
    value.Set("");
    EXPECT_EQ(nClassifyLimitValue(value), KEY_LIMIT_NONE) << "empty";
    value.Set("12\xFF");
    EXPECT_EQ(nClassifyLimitValue(value), KEY_LIMIT_MAXIMUM);
    value.Set("1\xFF" "2");
    EXPECT_EQ(nClassifyLimitValue(value), KEY_LIMIT_NONE) << "only the last byte counts";
  }
  for (const std::uint8_t type : {HOST_TYPE_TEXT, HOST_TYPE_WDATE, HOST_TYPE_WTIME}) {
    SCOPED_TRACE(static_cast<int>(type));
    value.SetType(type);
    value.Set(u"");
    EXPECT_EQ(nClassifyLimitValue(value), KEY_LIMIT_NONE) << "empty";
    value.Set(u"12\uFFFF");
    EXPECT_EQ(nClassifyLimitValue(value), KEY_LIMIT_MAXIMUM);
    value.Set(u"12\u00FF");
    EXPECT_EQ(nClassifyLimitValue(value), KEY_LIMIT_NONE) << "a byte 255 is not the highest unit";
  }

  // The runtime's strings say so in their header, whatever their characters.
  for (const std::uint8_t type : {HOST_TYPE_WSTRING, HOST_TYPE_TEXT_BUFFER}) {
    SCOPED_TRACE(static_cast<int>(type));
    CHostValue plain;
    plain.SetType(type);
    plain.SetFromBuffer("\xFF\xFF", 2);
    EXPECT_EQ(nClassifyLimitValue(plain), KEY_LIMIT_NONE);
    CHostValue marked;
    MarkedString(marked, type, "ab", 2);
    EXPECT_EQ(nClassifyLimitValue(marked), KEY_LIMIT_MAXIMUM);
    marked.SetNull(true);
    EXPECT_EQ(nClassifyLimitValue(marked), KEY_LIMIT_NONE);
  }
}

TEST_F(KeyLimitsTest, DateTimeMaximumThreshold) {
  // Day 30, month 12, year 9999, 23:59:59.999: the milliseconds are the high half of the number.
  CHostValue value;
  value.SetType(HOST_TYPE_DATETIME);
  CHostDateTime last{30, 12, 9999, 86399999};
  value.Set(&last);
  EXPECT_EQ(nClassifyLimitValue(value), KEY_LIMIT_MAXIMUM);
  CHostDateTime below{29, 12, 9999, 86399999};
  value.Set(&below);
  EXPECT_EQ(nClassifyLimitValue(value), KEY_LIMIT_NONE);
  CHostDateTime later{1, 1, 1, 86400000};
  value.Set(&later);
  EXPECT_EQ(nClassifyLimitValue(value), KEY_LIMIT_MAXIMUM) << "the milliseconds weigh most";

  value.SetType(HOST_TYPE_VALUE8);
  value.Set(BytesOf<std::int64_t>(0).data());
  EXPECT_EQ(nClassifyLimitValue(value), KEY_LIMIT_MINIMUM);
  value.Set(BytesOf<std::int64_t>(-5).data());
  EXPECT_EQ(nClassifyLimitValue(value), KEY_LIMIT_NONE) << "signed";
}

// ---- search values ------------------------------------------------------------------------------------------------

struct SClassified {
  bool use = false;
  bool isMin = false;
  bool isMax = false;
  bool made = false;  // false: memory refused the cut text
};

SClassified Classify(std::uint16_t columnType, CHostValue& value) {
  SClassified out{true, true, true};
  out.made = ClassifySearchValue(columnType, value, out.use, out.isMin, out.isMax);
  return out;
}

TEST_F(KeyLimitsTest, SearchValuesThatAreNoLimitAreUsed) {
  CHostValue value;
  value.SetType(HOST_TYPE_INT32);
  value.Set(BytesOf<std::int32_t>(12).data());
  const SClassified plain = Classify(HOST_TYPE_INT32, value);
  EXPECT_TRUE(plain.use);
  EXPECT_FALSE(plain.isMin || plain.isMax);

  SetTypeMinimum(value);
  const SClassified minimum = Classify(HOST_TYPE_INT32, value);
  EXPECT_FALSE(minimum.use);
  EXPECT_TRUE(minimum.isMin);
  EXPECT_FALSE(minimum.isMax);

  SetTypeMaximum(value);
  const SClassified maximum = Classify(HOST_TYPE_TEXT, value);
  EXPECT_FALSE(maximum.use) << "a number has no unit to cut, even on a text column";
  EXPECT_TRUE(maximum.isMax);
  EXPECT_EQ(Native<std::int32_t>(value), Highest<std::int32_t>());
}

TEST_F(KeyLimitsTest, MaximumFilledTextsLoseTheirLastUnit) {
  CHostValue narrow;
  narrow.SetType(HOST_TYPE_ASTRING);
  narrow.Set("ab\xFF");
  SClassified out = Classify(HOST_TYPE_ASTRING, narrow);
  EXPECT_TRUE(out.use && out.isMax);
  EXPECT_EQ(NarrowOf(narrow), "ab");

  // On a column that is not a text the value stays.
  narrow.Set("ab\xFF");
  out = Classify(HOST_TYPE_INT32, narrow);
  EXPECT_FALSE(out.use);
  EXPECT_TRUE(out.isMax);
  EXPECT_EQ(NarrowOf(narrow), "ab\xFF");

  // One unit alone is cut too, and then bounds nothing.
  CHostValue wide;
  wide.SetType(HOST_TYPE_TEXT);
  wide.Set(u"\uFFFF");
  out = Classify(HOST_TYPE_TEXT, wide);
  EXPECT_FALSE(out.use);
  EXPECT_TRUE(out.isMax);
  EXPECT_EQ(WideOf(wide), u"");

  // A date text of fewer digits than its storage is cut at its own last digit.
  CHostValue date;
  date.SetType(HOST_TYPE_WDATE);
  date.Set(u"2024\uFFFF");
  out = Classify(HOST_TYPE_WDATE, date);
  EXPECT_TRUE(out.use);
  EXPECT_EQ(WideOf(date), u"2024");
}

TEST_F(KeyLimitsTest, MarkedRuntimeStringsAreCutInACopyOfTheirOwn) {
  const char16_t text[] = u"abc";
  CHostValue source;
  MarkedString(source, HOST_TYPE_WSTRING, text, 6);
  CHostValue search;
  search.Assign(source);  // shares the runtime's string
  const SClassified out = Classify(HOST_TYPE_WSTRING, search);
  EXPECT_TRUE(out.use && out.isMax);
  std::size_t size = 0;
  search.nGetDataSize(&size);
  EXPECT_EQ(size, 6u) << "the unit becomes 0, the length stays";
  EXPECT_EQ(WideOf(search), u"ab");
  EXPECT_EQ(WideOf(source), u"abc") << "the string the search value came from is not changed";

  CHostValue narrow;
  MarkedString(narrow, HOST_TYPE_TEXT_BUFFER, "xy", 2);
  EXPECT_TRUE(Classify(HOST_TYPE_TEXT_BUFFER, narrow).use);
  EXPECT_EQ(NarrowOf(narrow), "x");

  // The copy refused by the runtime's allocator (its own code): no bound is made of it.
  search.Assign(source);
  qzrt::FailStringAllocations(0);
  const SClassified cut = Classify(HOST_TYPE_WSTRING, search);
  qzrt::FailStringAllocations(-1);
  EXPECT_FALSE(cut.made || cut.use);
}

TEST_F(KeyLimitsTest, EmptyMarkedStringIsLeftAlone) {
  // Without a unit there is nothing to cut: the string's header before its characters stays as it was.
  for (const std::uint8_t type : {HOST_TYPE_WSTRING, HOST_TYPE_TEXT_BUFFER}) {
    SCOPED_TRACE(static_cast<int>(type));
    CHostValue value;
    MarkedString(value, type, "", 0);
    CHostString string;
    value.nGet(&string.Pointer());
    ASSERT_NE(string.Pointer(), nullptr);
    const SHostStringHeader before = *CHostString::pHeader(string.Pointer());
    const SClassified out = Classify(type, value);
    EXPECT_FALSE(out.use);
    EXPECT_TRUE(out.isMax);
    const SHostStringHeader* after = CHostString::pHeader(string.Pointer());
    EXPECT_EQ(std::memcmp(after, &before, sizeof before), 0);
  }
  // A UTF-16 string of one byte holds no unit either.
  CHostValue odd;
  MarkedString(odd, HOST_TYPE_WSTRING, "a", 1);
  const SClassified out = Classify(HOST_TYPE_WSTRING, odd);
  EXPECT_FALSE(out.use);
  EXPECT_TRUE(out.isMax);
}

}  // namespace
