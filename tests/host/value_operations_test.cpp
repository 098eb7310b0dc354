// The runtime's value entry points as the driver binds them, and the value operations over them, run against the
// runtime stand-in's conversion engine: binding with each name left out, conversions with each result code,
// comparisons with NULL handling, and sortable keys whose byte order is the runtime's order of the values.
#include "host/value_operations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "foundation/currency.h"
#include "foundation/date_time.h"
#include "foundation/sortable_key.h"
#include "host/execution.h"
#include "host/host_string.h"
#include "host/value_entry_points.h"
#include "standin/runtime/runtime_standin.h"
#include "tests/host/host_value_fixture.h"

namespace {

void ClearBindings() {
  gpfnConversionDepassementExt = nullptr;
  gpfnFinConversion = nullptr;
  std::fill(std::begin(gapfnHostCalc), std::end(gapfnHostCalc), nullptr);
  gpHostProxy = nullptr;
  gpfnProxySortKey = nullptr;
}


class ValueOperationsTest : public CHostValueFixture {
 protected:
  template <class T>
  static void Make(CHostValue& value, std::uint8_t type, const T& native) {
    value.SetType(type);
    value.Set(&native);
  }
  template <class T>
  static T Read(CHostValue& value) {
    T out{};
    value.nGet(&out);
    return out;
  }
};

TEST_F(ValueOperationsTest, BindingFailsAtTheFirstNameTheRuntimeLacks) {
  const std::vector<std::string> names = qzrt::ValueEntryNames();
  ASSERT_EQ(names.size(), 3 + HOST_CALC_ENTRY_COUNT);
  for (std::size_t left = 0; left < names.size(); ++left) {
    SCOPED_TRACE(names[left]);
    ClearBindings();
    ASSERT_TRUE(qzrt::LeaveOutEntry(names[left].c_str()));
    EXPECT_EQ(platform::FindModuleEntry(qzrt::ModuleHandle(), names[left].c_str()), nullptr);
    const int conversions = bInitKXConvFromVM(qzrt::ModuleHandle(), 2, 2);
    const int calculations = bInitKXCalcFromVM(qzrt::ModuleHandle(), 2, 2);
    qzrt::RestoreEntries();
    EXPECT_EQ(conversions, left < 3 ? 0 : 1);
    EXPECT_EQ(calculations, left < 3 ? 1 : 0);
    // What was found before the missing name stays bound; nothing after it is looked up.
    EXPECT_EQ(gpfnConversionDepassementExt != nullptr, left != 0);
    EXPECT_EQ(gpfnFinConversion != nullptr, left > 1);
    EXPECT_EQ(gpHostProxy != nullptr, left > 2);
    EXPECT_EQ(gpfnProxySortKey != nullptr, left > 2);
    for (std::size_t i = 0; i < HOST_CALC_ENTRY_COUNT; ++i) {
      EXPECT_EQ(gapfnHostCalc[i] != nullptr, left < 3 || i + 3 < left) << gapszHostCalcEntryNames[i];
      if (left >= 3) {
        EXPECT_EQ(names[i + 3], gapszHostCalcEntryNames[i]);
      }
    }
  }
  EXPECT_FALSE(qzrt::LeaveOutEntry("Execution"));
  EXPECT_EQ(qzrt::ProxyQuestions().back(), 102);
}

TEST_F(ValueOperationsTest, BindingRefusesInterfaceNumbersOutOfRange) {
  for (auto [a, b] : {std::pair{1, 2}, {2, 3}, {-5, 0}, {7, 9}}) {
    ClearBindings();
    EXPECT_EQ(bInitKXConvFromVM(qzrt::ModuleHandle(), a, b), 0) << a << "," << b;
    EXPECT_EQ(bInitKXCalcFromVM(qzrt::ModuleHandle(), a, b), 0) << a << "," << b;
    EXPECT_EQ(gpfnConversionDepassementExt, nullptr);
    EXPECT_EQ(gapfnHostCalc[0], nullptr);
  }
  EXPECT_EQ(bInitKXConvFromVM(qzrt::ModuleHandle(), 5, -1), 1);
  EXPECT_EQ(bInitKXCalcFromVM(qzrt::ModuleHandle(), 5, -1), 1);
  EXPECT_EQ(gHostConversionBinding.nA, 5);
  EXPECT_EQ(gHostCalcBinding.nB, -1);
  EXPECT_EQ(gHostCalcBinding.hModule, qzrt::ModuleHandle());
  EXPECT_EQ(gpHostProxy, qzrt::Proxy());
}

struct SConversionCase {
  const char* what;
  std::function<void(CHostValue&)> make;
  std::uint8_t target;
  std::int32_t code;
  Bytes native;  // what the converted value gives, for code 0
};

TEST_F(ValueOperationsTest, ConversionsThroughTheRuntimeAnswerItsCodes) {
  CCurrency currency{};
  ASSERT_TRUE(currency.bFromText(u"-42"));
  std::uint8_t bytes[4] = {1, 2, 3, 4};
  CCurrency smallest{};
  ASSERT_TRUE(smallest.bFromText(u"-604462909807314587.353087"));  // 1 - 2^79 millionths
  CCurrency rounded{};
  ASSERT_TRUE(rounded.bFromText(u"1.000001"));
  const auto Text = [](const char16_t* text) {
    return [text](CHostValue& v) {
      v.SetType(HOST_TYPE_TEXT);
      v.Set(text);
    };
  };
  const std::vector<SConversionCase> cases = {
      {"integer to double", [](CHostValue& v) { Make(v, HOST_TYPE_INT32, std::int32_t{-42}); }, HOST_TYPE_DOUBLE, 0,
       BytesOf(-42.0)},
      {"double to integer cuts the decimals", [](CHostValue& v) { Make(v, HOST_TYPE_DOUBLE, 2.75); },
       HOST_TYPE_UINT16, 0, BytesOf(std::uint16_t{2})},
      {"integer to currency", [](CHostValue& v) { Make(v, HOST_TYPE_INT64, std::int64_t{-42}); },
       HOST_TYPE_CURRENCY, 0, BytesOf(currency)},
      {"date-time to a value8 is not a number", [](CHostValue& v) { Make(v, HOST_TYPE_DATETIME, CHostDateTime{}); },
       HOST_TYPE_VALUE8, 105, {}},
      {"out of the target's range", [](CHostValue& v) { Make(v, HOST_TYPE_INT64, std::int64_t{1000}); },
       HOST_TYPE_INT8, 105, {}},
      {"negative to unsigned", [](CHostValue& v) { Make(v, HOST_TYPE_INT8, std::int8_t{-1}); }, HOST_TYPE_UINT64,
       105, {}},
      {"double beyond a float", [](CHostValue& v) { Make(v, HOST_TYPE_DOUBLE, 1e300); }, HOST_TYPE_FLOAT, 105, {}},
      {"no object conversions", [](CHostValue& v) { Make(v, HOST_TYPE_INT32, std::int32_t{1}); },
       HOST_TYPE_OBJECT30, 102, {}},
      {"nor from objects", [](CHostValue& v) { v.SetType(HOST_TYPE_OBJECT65); }, HOST_TYPE_INT32, 102, {}},
      {"a buffer too long for any runtime string",
       [&](CHostValue& v) {
         v.SetType(HOST_TYPE_PAIR29);
         v.SetFromBuffer(bytes, HOST_STRING_LIMIT);
       },
       HOST_TYPE_BINARY_BUFFER, 108, {}},
      {"the smallest currency", Text(u"-604462909807314587.353087"), HOST_TYPE_CURRENCY, 0, BytesOf(smallest)},
      {"one millionth below the smallest", Text(u"-604462909807314587.353088"), HOST_TYPE_CURRENCY, 105, {}},
      {"the seventh decimal rounds the sixth", Text(u"1.0000005"), HOST_TYPE_CURRENCY, 0, BytesOf(rounded)},
      {"so does a double's", [](CHostValue& v) { Make(v, HOST_TYPE_DOUBLE, 1.0000005); }, HOST_TYPE_CURRENCY, 0,
       BytesOf(rounded)},
      {"a leap day", Text(u"2024-02-29 23:59:59.999"), HOST_TYPE_DATETIME, 0,
       BytesOf(CHostDateTime{29, 2, 2024, 86399999})},
      {"no leap day", Text(u"2100-02-29"), HOST_TYPE_DATETIME, 105, {}},
      {"not a number", Text(u"12 apples"), HOST_TYPE_INT64, 105, {}},
  };
  for (const SConversionCase& c : cases) {
    SCOPED_TRACE(c.what);
    CHostValue value;
    c.make(value);
    value.SetFlags(HOST_VALUE_FLAG_MARKED);
    const std::uint16_t word = value.wGetTypeWord();
    Bytes before(22);
    std::memcpy(before.data(), value.m_holder.m_abStorage, 22);
    ASSERT_EQ(value.nConvert(c.target), c.code);
    if (c.code == 0) {
      EXPECT_EQ(value.wGetTypeWord(), c.target | HOST_VALUE_FLAG_MARKED);
      Bytes out(c.native.size());
      value.nGet(out.data());
      EXPECT_EQ(out, c.native);
    } else {
      EXPECT_EQ(value.wGetTypeWord(), word) << "a failed conversion changes nothing";
      EXPECT_EQ(std::memcmp(before.data(), value.m_holder.m_abStorage, 22), 0);
    }
  }
}

TEST_F(ValueOperationsTest, ConversionKeepsNullAndSkipsTheRuntimeForTheSameType) {
  CHostValue value;
  Make(value, HOST_TYPE_INT32, std::int32_t{9});
  const std::uint64_t before = qzrt::ConversionCount();
  EXPECT_EQ(value.nConvert(HOST_TYPE_INT32), 0u);
  EXPECT_EQ(qzrt::ConversionCount(), before);
  value.SetNull(true);
  EXPECT_EQ(value.nConvert(HOST_TYPE_DOUBLE), 0u);
  EXPECT_EQ(value.wGetTypeWord(), HOST_VALUE_FLAG_NULL + HOST_TYPE_DOUBLE);
  EXPECT_EQ(Read<double>(value), 9.0) << "the storage of a NULL value is converted too";

  gpfnConversionDepassementExt = nullptr;
  EXPECT_EQ(value.nConvert(HOST_TYPE_INT16), HOST_ERR_NOT_SUPPORTED) << "before the runtime handed them over";
  EXPECT_EQ(value.nGetType(), HOST_TYPE_DOUBLE);
}

TEST_F(ValueOperationsTest, ARuntimeStringThatCannotBeMadeFailsTheConversion) {
  CHostValue value;
  Make(value, HOST_TYPE_INT32, std::int32_t{9});
  qzrt::FailStringAllocations(0, 8);  // the allocator's own code lies below the failure range
  EXPECT_EQ(value.nConvert(HOST_TYPE_WSTRING), HOST_ERR_FIRST);
  qzrt::FailStringAllocations(-1);
  EXPECT_EQ(value.nGetType(), HOST_TYPE_INT32) << "a failed conversion leaves the value as it was";
  EXPECT_EQ(Read<std::int32_t>(value), 9);
}

TEST_F(ValueOperationsTest, AResultCodeWithItsHighBitSetIsAFailure) {
  // The runtime's codes are unsigned: 0x80000000 and above are failures like any other code of 100 or more.
  const PFN_HOST_CONVERSION bound = gpfnConversionDepassementExt;
  gpfnConversionDepassementExt = [](const void*, std::uint32_t, void*, std::uint32_t, std::int32_t, std::int32_t) {
    return static_cast<std::int32_t>(0x80000001u);
  };
  CHostValue value;
  Make(value, HOST_TYPE_INT32, std::int32_t{9});
  EXPECT_EQ(static_cast<std::uint32_t>(value.nConvert(HOST_TYPE_DOUBLE)), 0x80000001u);
  gpfnConversionDepassementExt = bound;
  EXPECT_EQ(value.nGetType(), HOST_TYPE_INT32) << "a failed conversion leaves the value as it was";
  EXPECT_EQ(Read<std::int32_t>(value), 9);
}

TEST_F(ValueOperationsTest, DecimalsConvertThroughTheProxysHandles) {
  CHostValue value;
  Make(value, HOST_TYPE_DOUBLE, -1234.5);
  ASSERT_EQ(value.nConvert(HOST_TYPE_PROXY_HANDLE), 0u);
  EXPECT_EQ(qzrt::LiveProxyHandles(), 1u) << "the conversion's own handle was given back";
  EXPECT_EQ(value.Ops().bIsNonNegative(value.pHolder()), 0);
  CHostValue copy;
  copy.Assign(value);
  ASSERT_EQ(copy.nConvert(HOST_TYPE_INT32), 0u);
  EXPECT_EQ(Read<std::int32_t>(copy), -1234);
  ASSERT_EQ(value.nConvert(HOST_TYPE_CURRENCY), 0u);
  EXPECT_DOUBLE_EQ(Read<CCurrency>(value).dToDouble(), -1234.5);
}

TEST_F(ValueOperationsTest, TextConvertsIntoTheCallersResultArea) {
  alignas(8) std::uint8_t result[32] = {};
  EXPECT_EQ(CHostValue::ConvertTextToNative(result, u" 123 ", HOST_TYPE_INT32), 0u);
  std::int32_t number = 0;
  std::memcpy(&number, result, 4);
  EXPECT_EQ(number, 123);
  EXPECT_EQ(CHostValue::ConvertTextToNative(result, u"12x", HOST_TYPE_INT32), 105u);
  EXPECT_EQ(CHostValue::ConvertTextToNative(result, u"20240229", HOST_TYPE_DATETIME), 0u);
  CHostDateTime date{};
  std::memcpy(&date, result, 8);
  EXPECT_EQ(date.m_nYear * 10000 + date.m_nMonth * 100 + date.m_nDay, 20240229);
  EXPECT_EQ(CHostValue::ConvertTextToNative(result, u"20230229", HOST_TYPE_DATETIME), 105u) << "no leap day";
}

TEST_F(ValueOperationsTest, ComparisonsAnswerNullOperandsThemselves) {
  CHostValue five;
  Make(five, HOST_TYPE_INT32, std::int32_t{5});
  CHostValue fiveAndAHalf;
  Make(fiveAndAHalf, HOST_TYPE_DOUBLE, 5.5);
  CHostValue alsoFive;
  Make(alsoFive, HOST_TYPE_UINT64, std::uint64_t{5});
  std::int32_t result = 99;
  EXPECT_EQ(five.nCompare(fiveAndAHalf, &result), 0u);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(fiveAndAHalf.nCompare(five, &result), 0u);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(five.nEquals(alsoFive, &result), 0u);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(five.nDiffers(alsoFive, &result), 0u);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(five.nDiffers(fiveAndAHalf, &result), 0u);
  EXPECT_EQ(result, 1);

  const std::uint64_t calls = qzrt::ConversionCount();
  alsoFive.SetNull(true);
  result = 99;
  EXPECT_EQ(five.nCompare(alsoFive, &result), HOST_ERR_NULL_OPERAND);
  EXPECT_EQ(alsoFive.nEquals(five, &result), HOST_ERR_NULL_OPERAND);
  EXPECT_EQ(five.nDiffers(alsoFive, &result), HOST_ERR_NULL_OPERAND);
  EXPECT_EQ(result, 99);
  EXPECT_EQ(qzrt::ConversionCount(), calls);
  // The runtime says the same of a NULL type word handed to it directly.
  EXPECT_EQ(pfnComparaisonEx()(five.m_holder.m_abStorage, HOST_TYPE_INT32 | HOST_VALUE_FLAG_NULL,
                               five.m_holder.m_abStorage, HOST_TYPE_INT32, &result, 0, 0),
            HOST_ERR_NULL_OPERAND);
  CHostValue object;
  object.SetType(HOST_TYPE_OBJECT30);
  EXPECT_EQ(five.nCompare(object, &result), HOST_ERR_NOT_SUPPORTED);
}

// ---- sortable keys of values -----------------------------------------------------------------------------------

using Maker = std::function<void(CHostValue&, std::mt19937_64&)>;

struct SKeyFamily {
  std::uint8_t type;
  Maker make;
};

template <class T>
Maker RandomBits() {
  return [](CHostValue& v, std::mt19937_64& random) {
    v.SetType(T::kType);
    const std::uint64_t bits = random() >> (random() % 64);
    typename T::Native native;
    std::memcpy(&native, &bits, sizeof(native));
    v.Set(&native);
  };
}

template <std::uint8_t Type, class N>
struct TBits {
  static constexpr std::uint8_t kType = Type;
  using Native = N;
};

// The property the key indexes rely on: for every pair of sampled values, comparing their keys bytewise agrees with
// the runtime's comparison of the values.
TEST_F(ValueOperationsTest, KeysSortAsTheRuntimeOrdersTheValues) {
  std::mt19937_64 random(2142);
  const std::vector<SKeyFamily> families = {
      {HOST_TYPE_UINT32_RAW,
       [](CHostValue& v, std::mt19937_64& r) { Make(v, HOST_TYPE_UINT32_RAW, static_cast<std::uint32_t>(r() % 2)); }},
      {HOST_TYPE_UINT8, RandomBits<TBits<HOST_TYPE_UINT8, std::uint8_t>>()},
      {HOST_TYPE_UINT16, RandomBits<TBits<HOST_TYPE_UINT16, std::uint16_t>>()},
      {HOST_TYPE_UINT32, RandomBits<TBits<HOST_TYPE_UINT32, std::uint32_t>>()},
      {HOST_TYPE_UINT64, RandomBits<TBits<HOST_TYPE_UINT64, std::uint64_t>>()},
      {HOST_TYPE_INT8, RandomBits<TBits<HOST_TYPE_INT8, std::int8_t>>()},
      {HOST_TYPE_INT16, RandomBits<TBits<HOST_TYPE_INT16, std::int16_t>>()},
      {HOST_TYPE_INT32, RandomBits<TBits<HOST_TYPE_INT32, std::int32_t>>()},
      {HOST_TYPE_INT64, RandomBits<TBits<HOST_TYPE_INT64, std::int64_t>>()},
      {HOST_TYPE_INT64_ALT,
       [](CHostValue& v, std::mt19937_64& r) {
         Make(v, HOST_TYPE_INT64_ALT, static_cast<std::int64_t>(static_cast<std::int32_t>(r())));
       }},
      {HOST_TYPE_VALUE8, RandomBits<TBits<HOST_TYPE_VALUE8, std::int64_t>>()},
      {HOST_TYPE_FLOAT,
       [](CHostValue& v, std::mt19937_64& r) {
         Make(v, HOST_TYPE_FLOAT, static_cast<float>(std::ldexp(static_cast<double>(static_cast<std::int32_t>(r())), static_cast<int>(r() % 60) - 40)));
       }},
      {HOST_TYPE_DOUBLE,
       [](CHostValue& v, std::mt19937_64& r) {
         Make(v, HOST_TYPE_DOUBLE, std::ldexp(static_cast<double>(static_cast<std::int64_t>(r())), static_cast<int>(r() % 200) - 100));
       }},
      {HOST_TYPE_CURRENCY,
       [](CHostValue& v, std::mt19937_64& r) {
         CCurrency c{};
         const std::u16string text = (r() % 2 ? u"-" : u"") + std::u16string(1, u'1' + r() % 9) +
                                     std::u16string(r() % 17, u'0' + r() % 10) + u"." +
                                     std::u16string(r() % 7, u'0' + r() % 10);
         ASSERT_TRUE(c.bFromText(text.c_str()));
         Make(v, HOST_TYPE_CURRENCY, c);
       }},
      {HOST_TYPE_DATETIME,
       [](CHostValue& v, std::mt19937_64& r) {
         const int year = 1 + static_cast<int>(r() % 9999);
         const int month = 1 + static_cast<int>(r() % 12);
         const CHostDateTime date{static_cast<std::uint8_t>(1 + r() % nDaysInMonth(month, year)),
                                  static_cast<std::uint8_t>(month), static_cast<std::uint16_t>(year),
                                  static_cast<std::uint32_t>(r() % 86400000)};
         Make(v, HOST_TYPE_DATETIME, date);
       }},
      {HOST_TYPE_PROXY_HANDLE,
       [](CHostValue& v, std::mt19937_64& r) {
         // Two decimals at most: the keys are made at scale 2.
         Make(v, HOST_TYPE_DOUBLE, static_cast<double>(static_cast<std::int32_t>(r()) % 100000) / 100.0);
         ASSERT_EQ(v.nConvert(HOST_TYPE_PROXY_HANDLE), 0u);
       }},
  };
  for (const SKeyFamily& family : families) {
    SCOPED_TRACE(static_cast<int>(family.type));
    constexpr int kSamples = 40;
    std::vector<std::unique_ptr<CHostValue>> values;
    std::vector<Bytes> keys;
    for (int i = 0; i < kSamples; ++i) {
      values.push_back(std::make_unique<CHostValue>());
      family.make(*values.back(), random);
      std::uint8_t* buffer = nullptr;
      const std::uint32_t n = nEncodeValueSortKey(*values.back(), &buffer, 0, 0, 10, 2);
      ASSERT_NE(buffer, nullptr);
      keys.emplace_back(buffer, buffer + n);
      std::free(buffer);
      ASSERT_GT(n, 0u);
    }
    int failures = 0;
    for (int i = 0; i < kSamples && failures < 3; ++i) {
      for (int j = 0; j < kSamples && failures < 3; ++j) {
        std::int32_t order = 0;
        ASSERT_EQ(values[i]->nCompare(*values[j], &order), 0u);
        const int keyOrder = keys[i] < keys[j] ? -1 : (keys[j] < keys[i] ? 1 : 0);
        if (keyOrder != order) {
          ++failures;
          ADD_FAILURE() << "samples " << i << " and " << j << ": values " << order << ", keys " << keyOrder;
        }
      }
    }
  }
}

TEST_F(ValueOperationsTest, NullAndEmptyValuesKeyAsAnEmptyText) {
  CHostValue value;
  Make(value, HOST_TYPE_INT32, std::int32_t{7});
  value.SetNull(true);
  std::uint8_t buffer[8];
  std::memset(buffer, 0xCD, sizeof buffer);
  std::uint8_t* out = buffer;
  // The key of an empty UTF-16 text is its terminator in a zero-filled field.
  EXPECT_EQ(nEncodeValueSortKey(value, &out, sizeof buffer, 0, 0, 0), 2u);
  EXPECT_EQ(value.wGetTypeWord(), HOST_TYPE_TEXT) << "the caller's value itself becomes an empty text";
  EXPECT_EQ(out, buffer);
  EXPECT_EQ(Bytes(buffer, buffer + 8), Bytes(8, 0));

  // A NULL decimal becomes an empty text, of which the runtime makes no decimal: its key is that of zero.
  CHostValue zero;
  Make(zero, HOST_TYPE_INT32, std::int32_t{0});
  ASSERT_EQ(zero.nConvert(HOST_TYPE_PROXY_HANDLE), 0);
  zero.SetNull(true);
  std::uint8_t* allocated = nullptr;
  ASSERT_EQ(nEncodeValueSortKey(zero, &allocated, 0, HOST_TYPE_PROXY_HANDLE, 10, 2), 32u);
  const Bytes nullKey(allocated, allocated + 32);
  std::free(allocated);
  Make(zero, HOST_TYPE_INT32, std::int32_t{0});
  ASSERT_EQ(nEncodeValueSortKey(zero, &allocated, 0, HOST_TYPE_PROXY_HANDLE, 10, 2), 32u);
  EXPECT_EQ(Bytes(allocated, allocated + 32), nullKey);
  std::free(allocated);
}

}  // namespace
