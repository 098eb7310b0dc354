#include "foundation/sortable_key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "foundation/currency.h"
#include "foundation/date_time.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kWorkSize = 10240;

Bytes Key(int keyType, std::uint32_t size, const Bytes& input, std::uint32_t* written = nullptr) {
  Bytes key(size, 0xCD);
  std::uint32_t n = nEncodeSortKey(key.data(), size, input.data(), static_cast<std::uint32_t>(input.size()), keyType,
                                   kWorkSize, 0, 0);
  if (written) *written = n;
  return key;
}

template <class T>
Bytes BytesOf(const T& value) {
  Bytes bytes(sizeof(T));
  std::memcpy(bytes.data(), &value, sizeof(T));
  return bytes;
}

int Sign(int value) { return (value > 0) - (value < 0); }

// The property every key type promises: for every pair of sampled values, comparing the keys bytewise agrees with
// comparing the values.
void ExpectByteOrderIsValueOrder(int keyType, std::uint32_t size, const std::vector<Bytes>& samples,
                                 const std::function<int(const Bytes&, const Bytes&)>& compare) {
  std::vector<Bytes> keys;
  for (const Bytes& sample : samples) keys.push_back(Key(keyType, size, sample));
  int failures = 0;
  for (std::size_t i = 0; i < samples.size() && failures < 5; ++i) {
    for (std::size_t j = 0; j < samples.size() && failures < 5; ++j) {
      int expected = Sign(compare(samples[i], samples[j]));
      int actual = Sign(std::memcmp(keys[i].data(), keys[j].data(), size));
      if (expected != actual) {
        ++failures;
        ADD_FAILURE() << "key type " << keyType << ": samples " << i << " and " << j << " compare " << expected
                      << " as values but " << actual << " as keys";
      }
    }
  }
}

template <class T>
int Compare(const T& a, const T& b) {
  return (a > b) - (a < b);
}

template <class T>
T As(const Bytes& bytes) {
  T value;
  std::memcpy(&value, bytes.data(), sizeof(T));
  return value;
}

class SortKeyOrder : public ::testing::Test {
 protected:
  std::mt19937_64 m_random{1132};

  template <class T>
  std::vector<Bytes> IntegerSamples() {
    std::vector<Bytes> samples;
    for (T edge : {std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), T(0), T(1), T(T(0) - T(1))}) {
      samples.push_back(BytesOf(edge));
    }
    while (samples.size() < 300) {
      // Random widths too, so that small magnitudes of either sign are as common as large ones.
      std::uint64_t bits = m_random() >> (m_random() % 64);
      samples.push_back(BytesOf(static_cast<T>(m_random() % 2 ? bits : ~bits)));
    }
    return samples;
  }

  template <class T>
  void CheckInteger(int keyType) {
    ExpectByteOrderIsValueOrder(keyType, sizeof(T), IntegerSamples<T>(),
                                [](const Bytes& a, const Bytes& b) { return Compare(As<T>(a), As<T>(b)); });
  }

  template <class Real, class Bits>
  void CheckReal(int keyType) {
    std::vector<Bytes> samples;
    for (Real edge : {Real(0), -Real(0), Real(1), Real(-1), std::numeric_limits<Real>::infinity(),
                      -std::numeric_limits<Real>::infinity(), std::numeric_limits<Real>::max(),
                      std::numeric_limits<Real>::lowest(), std::numeric_limits<Real>::denorm_min(),
                      -std::numeric_limits<Real>::denorm_min(), std::numeric_limits<Real>::min()}) {
      samples.push_back(BytesOf(edge));
    }
    while (samples.size() < 400) {
      Real value;
      Bits bits = static_cast<Bits>(m_random());
      std::memcpy(&value, &bits, sizeof value);
      if (!std::isnan(value)) samples.push_back(BytesOf(value));
    }
    ExpectByteOrderIsValueOrder(keyType, sizeof(Real), samples, [](const Bytes& a, const Bytes& b) {
      Real x = As<Real>(a), y = As<Real>(b);
      if (x != y) return Compare(x, y);
      return Compare(!std::signbit(x), !std::signbit(y));  // -0.0 just below +0.0
    });
  }
};

TEST_F(SortKeyOrder, SignedAndUnsignedIntegers) {
  CheckInteger<std::int8_t>(SORT_KEY_INT8);
  CheckInteger<std::int16_t>(SORT_KEY_INT16);
  CheckInteger<std::int32_t>(SORT_KEY_INT32);
  CheckInteger<std::int64_t>(SORT_KEY_INT64);
  CheckInteger<std::int64_t>(SORT_KEY_VALUE8);
  CheckInteger<std::uint8_t>(SORT_KEY_UINT8);
  CheckInteger<std::uint8_t>(SORT_KEY_ACHAR);
  CheckInteger<std::uint16_t>(SORT_KEY_UINT16);
  CheckInteger<std::uint32_t>(SORT_KEY_UINT32);
  CheckInteger<std::uint64_t>(SORT_KEY_UINT64);
}

TEST_F(SortKeyOrder, Reals) {
  CheckReal<float, std::uint32_t>(SORT_KEY_FLOAT);
  CheckReal<double, std::uint64_t>(SORT_KEY_DOUBLE);
}

__int128 Millionths(const Bytes& bytes) {
  __int128 value = 0;
  for (int i = 9; i >= 0; --i) value = (value << 8) | bytes[i];
  return (value << 48) >> 48;
}

TEST_F(SortKeyOrder, Currency) {
  std::vector<Bytes> samples;
  for (const char16_t* text : {u"604462909807314587.353087", u"-604462909807314587.353087", u"0", u"0.000001",
                               u"-0.000001", u"1", u"-1"}) {
    CCurrency value{};
    ASSERT_TRUE(value.bFromText(text));
    samples.push_back(BytesOf(value));
  }
  while (samples.size() < 300) {
    CCurrency value{};
    int bits = static_cast<int>(m_random() % 80);
    for (int i = 0; i < 5; ++i) value.m_awWords[i] = static_cast<std::uint16_t>(m_random());
    for (int bit = bits; bit < 80; ++bit) value.m_awWords[bit / 16] &= static_cast<std::uint16_t>(~(1u << (bit % 16)));
    if (m_random() % 2) value.Negate();
    samples.push_back(BytesOf(value));
  }
  ExpectByteOrderIsValueOrder(SORT_KEY_CURRENCY, 10, samples,
                              [](const Bytes& a, const Bytes& b) { return Compare(Millionths(a), Millionths(b)); });
}

TEST_F(SortKeyOrder, DateTimes) {
  std::vector<Bytes> samples;
  while (samples.size() < 400) {
    CHostDateTime value{};
    // Narrow ranges now and then, so that equal years and equal days are common.
    bool narrow = m_random() % 2;
    value.m_nYear = static_cast<std::uint16_t>(narrow ? 2024 + m_random() % 2 : m_random() % 10000);
    value.m_nMonth = static_cast<std::uint8_t>(narrow ? 2 : m_random() % 13);
    value.m_nDay = static_cast<std::uint8_t>(narrow ? 28 + m_random() % 2 : m_random() % 32);
    value.m_nMillisecond = static_cast<std::uint32_t>(narrow ? m_random() % 1000 : m_random() % 86400000);
    samples.push_back(BytesOf(value));
  }
  ExpectByteOrderIsValueOrder(SORT_KEY_DATETIME, 8, samples, [](const Bytes& a, const Bytes& b) {
    auto x = As<CHostDateTime>(a), y = As<CHostDateTime>(b);
    return Compare(std::tuple(x.m_nYear, x.m_nMonth, x.m_nDay, x.m_nMillisecond),
                   std::tuple(y.m_nYear, y.m_nMonth, y.m_nDay, y.m_nMillisecond));
  });
}

// Random byte strings over a small alphabet, so that shared prefixes are frequent.
std::vector<Bytes> ByteStrings(std::mt19937_64& random, std::size_t maxLength, std::uint8_t lowest) {
  std::vector<Bytes> samples{Bytes{}};
  while (samples.size() < 300) {
    Bytes bytes(random() % (maxLength + 1));
    for (auto& byte : bytes) {
      byte = random() % 4 ? static_cast<std::uint8_t>(lowest + random() % 3)
                          : static_cast<std::uint8_t>(std::max<std::uint64_t>(lowest, random() % 256));
    }
    samples.push_back(bytes);
  }
  return samples;
}

TEST_F(SortKeyOrder, TextsWithTheirTerminator) {
  // As the value layer hands them over: the terminator is part of the input.
  const std::uint32_t longest = 12;
  std::vector<Bytes> texts = ByteStrings(m_random, longest, 1);
  std::vector<Bytes> inputs;
  for (Bytes text : texts) {
    text.push_back(0);
    inputs.push_back(text);
  }
  std::uint32_t size = nGetSortKeySizeForKeyType(SORT_KEY_TEXT, longest + 1);
  ExpectByteOrderIsValueOrder(SORT_KEY_TEXT, size, inputs, Compare<Bytes>);
  ExpectByteOrderIsValueOrder(SORT_KEY_TEXT_PLAIN, size, inputs, Compare<Bytes>);

  // Into a field too short for some of them: the first size - 1 bytes decide.
  const std::uint32_t shortSize = 6;
  ExpectByteOrderIsValueOrder(SORT_KEY_TEXT, shortSize, inputs, [&](const Bytes& a, const Bytes& b) {
    Bytes x(a.begin(), a.begin() + std::min<std::size_t>(a.size(), shortSize - 1));
    Bytes y(b.begin(), b.begin() + std::min<std::size_t>(b.size(), shortSize - 1));
    return Compare(x, y);
  });
}

TEST_F(SortKeyOrder, WideTextsOverTheWholeUnitRange) {
  // Units from every part of the range (below and above U+00FF, surrogates, U+FFFF) with a small alphabet mixed in
  // so that shared prefixes are frequent; as the value layer hands them over, with their terminator.
  const std::uint32_t longest = 10;
  std::vector<Bytes> inputs;
  while (inputs.size() < 400) {
    std::u16string text(m_random() % (longest + 1), u' ');
    for (char16_t& unit : text) {
      switch (m_random() % 4) {
        case 0: unit = static_cast<char16_t>(u'a' + m_random() % 2); break;
        case 1: unit = static_cast<char16_t>(1 + m_random() % 0x1FF); break;
        case 2: unit = static_cast<char16_t>(0xFF00 + m_random() % 0x100); break;
        default: unit = static_cast<char16_t>(1 + m_random() % 0xFFFF); break;
      }
    }
    Bytes input((text.size() + 1) * 2);
    std::memcpy(input.data(), text.c_str(), input.size());
    inputs.push_back(input);
  }
  auto unitOrder = [](const Bytes& a, const Bytes& b) {
    std::u16string x(a.size() / 2, 0), y(b.size() / 2, 0);
    std::memcpy(x.data(), a.data(), a.size());
    std::memcpy(y.data(), b.data(), b.size());
    return x.compare(y);
  };
  std::uint32_t size = nGetSortKeySizeForKeyType(SORT_KEY_WSTRING, (longest + 1) * 2);
  ExpectByteOrderIsValueOrder(SORT_KEY_WSTRING, size, inputs, unitOrder);
  ExpectByteOrderIsValueOrder(SORT_KEY_HEAP_WTEXT, size, inputs, unitOrder);

  // Into a field too short for some of them: the units before the field's last one decide.
  const std::uint32_t shortSize = 8;
  ExpectByteOrderIsValueOrder(SORT_KEY_WSTRING, shortSize, inputs, [&](const Bytes& a, const Bytes& b) {
    return unitOrder(Bytes(a.begin(), a.begin() + std::min<std::size_t>(a.size(), shortSize - 2)),
                     Bytes(b.begin(), b.begin() + std::min<std::size_t>(b.size(), shortSize - 2)));
  });
}

TEST_F(SortKeyOrder, BinaryAsHexadecimal) {
  // Bytes past the field are cut and a short value reads as padded with zero bytes.
  const std::uint32_t field = 6;
  std::vector<Bytes> samples = ByteStrings(m_random, field + 2, 0);
  ExpectByteOrderIsValueOrder(SORT_KEY_BINARY, nGetSortKeySizeForKeyType(SORT_KEY_BINARY, field), samples,
                              [&](const Bytes& a, const Bytes& b) {
                                Bytes x = a, y = b;
                                x.resize(field, 0);
                                y.resize(field, 0);
                                return Compare(x, y);
                              });
}

std::string Hex(const Bytes& bytes) {
  std::string text;
  char pair[3];
  for (std::uint8_t byte : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", byte);
    text += pair;
  }
  return text;
}

TEST(SortKey, LayoutsAndBounds) {
  CCurrency currency{};
  ASSERT_TRUE(currency.bFromText(u"-0.000001"));
  CHostDateTime date{};
  date.SetFromSystemTime({2024, 12, 0, 31, 12, 0, 0, 0});
  std::uint32_t written = 0;
  struct Case { int keyType; std::uint32_t size; Bytes input; const char* key; std::uint32_t written; };
  for (const Case& c : {
           Case{SORT_KEY_INT32, 4, BytesOf(std::int32_t{-1}), "7FFFFFFF", 4},
           Case{SORT_KEY_DOUBLE, 8, BytesOf(-1.0), "400FFFFFFFFFFFFF", 8},
           Case{SORT_KEY_CURRENCY, 10, BytesOf(currency), "7FFFFFFFFFFFFFFFFFFF", 10},
           Case{SORT_KEY_DATETIME, 8, BytesOf(date), "07E80C1F02932E00", 8},
           // Type 1 keys its first byte alone; type 14 (eight bytes keyed as an int32) its first four.
           Case{SORT_KEY_UINT32_RAW, 1, BytesOf(std::uint32_t{0x12345601}), "81", 1},
           Case{nHostTypeCategory(14), 8, BytesOf(std::int64_t{0x100000002}), "80000002CDCDCDCD", 4},
           Case{SORT_KEY_BINARY, 5, Bytes{0x0A, 0xFF, 3}, "3061666630", 4},  // "0aff0"
           Case{SORT_KEY_TEXT, 6, Bytes{'a', 'b', 'c', 'd', 'e', 'f', 'g'}, "616263646500", 6},
           Case{SORT_KEY_TEXT, 4, Bytes{'a'}, "61000000", 1},
           Case{SORT_KEY_WSTRING, 6, Bytes{'a', 0, 'b', 0, 'c', 0, 'd'}, "006100620000", 6},
           Case{SORT_KEY_HEAP_WTEXT, 6, Bytes{0x00, 0x01, 'b', 0, 0, 0}, "010000620000", 6},
           // An odd last byte is a unit whose high byte is missing.
           Case{SORT_KEY_WSTRING, 6, Bytes{'a', 0, 'b'}, "006100620000", 3},
           // Nothing to key, or no room for it: the buffer is left alone.
           Case{SORT_KEY_TEXT, 4, Bytes{}, "CDCDCDCD", 0},
           Case{SORT_KEY_INT64, 7, BytesOf(std::int64_t{5}), "CDCDCDCDCDCDCD", 0},
           Case{SORT_KEY_CURRENCY, 9, BytesOf(currency), "CDCDCDCDCDCDCDCDCD", 0},
           Case{SORT_KEY_BUFFER_REF, 2, Bytes{1, 2}, "CDCD", 0},
           Case{99, 2, Bytes{1, 2}, "CDCD", 0},
           // A short input is read as far as it goes, never past its end.
           Case{SORT_KEY_UINT32, 4, Bytes{0x01, 0x02}, "00000201", 4}}) {
    EXPECT_EQ(Hex(Key(c.keyType, c.size, c.input, &written)), c.key) << "key type " << c.keyType;
    EXPECT_EQ(written, c.written) << "key type " << c.keyType;
  }
  std::uint8_t direct[10];
  currency.EncodeSortKey(direct);
  EXPECT_EQ(Hex(Bytes(direct, direct + 10)), "7FFFFFFFFFFFFFFFFFFF");
}

TEST(SortKey, ProxyKeysComeFromTheInstalledWriter) {
  static struct { const void* data; std::int32_t a, b; int count; } call{};
  std::uint8_t buffer[40];
  std::memset(buffer, 0xCD, sizeof buffer);
  int data = 7;
  ASSERT_EQ(gpfnProxySortKey, nullptr);
  EXPECT_EQ(nEncodeSortKey(buffer, 32, &data, 4, SORT_KEY_PROXY, kWorkSize, 3, 4), 0u) << "no proxy bound yet";

  gpfnProxySortKey = [](std::uint8_t* out, const void* input, std::int32_t a, std::int32_t b) {
    call = {input, a, b, call.count + 1};
    std::memset(out, 0x22, kProxySortKeySize);
  };
  EXPECT_EQ(nEncodeSortKey(buffer, 31, &data, 4, SORT_KEY_PROXY, kWorkSize, 3, 4), 0u) << "too small";
  EXPECT_EQ(nEncodeSortKey(buffer, sizeof buffer, &data, 4, SORT_KEY_PROXY, kWorkSize, 3, 4), 32u);
  gpfnProxySortKey = nullptr;
  EXPECT_EQ(call.count, 1);
  EXPECT_EQ(call.data, &data);
  EXPECT_EQ(call.a * 10 + call.b, 34);
  EXPECT_EQ(buffer[31], 0x22);
  EXPECT_EQ(buffer[32], 0xCD);
}

TEST(SortKey, SizesByRuntimeType) {
  for (auto [type, length, size] : {std::tuple{18u, 10u, 11u}, {0x100u | 18, 10u, 11u}, {28u, 5u, 10u},
                                    {110u, 6u, 14u}, {13u, 1u, 32u}, {83u, 3u, 3u}}) {
    EXPECT_EQ(nGetSortKeySize(type, length), size) << type;
  }
}

}  // namespace
