// Runtime values as text: every type's round trip through the runtime's text form, the text holders' own rules
// (digit texts, heap texts, shared runtime strings, code pages), the dumps of values and the keys of texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "foundation/currency.h"
#include "foundation/date_time.h"
#include "foundation/t_string.h"
#include "host/execution.h"
#include "host/host_string.h"
#include "host/value_entry_points.h"
#include "host/value_operations.h"
#include "standin/runtime/runtime_standin.h"
#include "tests/host/host_value_fixture.h"

namespace {

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

class ValueTextTest : public CHostValueFixture {
 protected:
  static std::u16string TextOf(CHostValue& value) {
    CHostValue text;
    text.Assign(value);
    if (text.nConvert(HOST_TYPE_TEXT) != HOST_OK) return u"<failed>";
    const char16_t* characters = nullptr;
    text.nGet(&characters);
    return characters;
  }
  static std::u16string DumpOf(CHostValue* value, int details, std::int32_t expectedCode = 0) {
    CTString out;
    EXPECT_EQ(Dump(out, value, details), expectedCode);
    return out.pszGet();
  }
};

struct SRoundTrip {
  std::uint8_t type;
  std::function<void(CHostValue&)> make;
  std::u16string text;
};

template <class T>
std::function<void(CHostValue&)> Native(std::uint8_t type, T native) {
  return [=](CHostValue& v) {
    v.SetType(type);
    v.Set(&native);
  };
}

TEST_F(ValueTextTest, EveryTypeGoesToItsTextAndBack) {
  CCurrency currency{};
  ASSERT_TRUE(currency.bFromText(u"-12.5"));
  const std::vector<SRoundTrip> cases = {
      {HOST_TYPE_UINT32_RAW, Native(HOST_TYPE_UINT32_RAW, std::uint32_t{1}), u"1"},
      {HOST_TYPE_UINT8, Native(HOST_TYPE_UINT8, std::uint8_t{200}), u"200"},
      {HOST_TYPE_UINT16, Native(HOST_TYPE_UINT16, std::uint16_t{60000}), u"60000"},
      {HOST_TYPE_UINT32, Native(HOST_TYPE_UINT32, std::uint32_t{4000000000u}), u"4000000000"},
      {HOST_TYPE_UINT64, Native(HOST_TYPE_UINT64, ~std::uint64_t{0}), u"18446744073709551615"},
      {HOST_TYPE_INT8, Native(HOST_TYPE_INT8, std::int8_t{-128}), u"-128"},
      {HOST_TYPE_INT16, Native(HOST_TYPE_INT16, std::int16_t{-300}), u"-300"},
      {HOST_TYPE_INT32, Native(HOST_TYPE_INT32, std::int32_t{-70000}), u"-70000"},
      {HOST_TYPE_INT64, Native(HOST_TYPE_INT64, std::int64_t{-9223372036854775807LL - 1}), u"-9223372036854775808"},
      {HOST_TYPE_CURRENCY, Native(HOST_TYPE_CURRENCY, currency), u"-12.5"},
      {HOST_TYPE_FLOAT, Native(HOST_TYPE_FLOAT, 0.25f), u"0.25"},
      {HOST_TYPE_DOUBLE, Native(HOST_TYPE_DOUBLE, -1.5e300), u"-1.5e+300"},
      {HOST_TYPE_PROXY_HANDLE,
       [](CHostValue& v) {
         v.SetType(HOST_TYPE_TEXT);
         v.Set(u"-123.450");
         ASSERT_EQ(v.nConvert(HOST_TYPE_PROXY_HANDLE), 0);
       },
       u"-123.450"},
      {HOST_TYPE_INT64_ALT, Native(HOST_TYPE_INT64_ALT, std::int64_t{-9}), u"-9"},
      {HOST_TYPE_WSTRING, [](CHostValue& v) {
         v.SetType(HOST_TYPE_WSTRING);
         ASSERT_EQ(v.SetFromBuffer(u"h\u00e9llo \u20ac", 14), 0);
       }, u"h\u00e9llo \u20ac"},
      {HOST_TYPE_ACHAR, Native(HOST_TYPE_ACHAR, '\xe9'), u"\u00e9"},
      {HOST_TYPE_ASTRING, [](CHostValue& v) {
         v.SetType(HOST_TYPE_ASTRING);
         v.Set("na\xefve \x80");
       }, u"na\u00efve \u20ac"},
      {HOST_TYPE_TEXT_BUFFER, [](CHostValue& v) {
         v.SetType(HOST_TYPE_TEXT_BUFFER);
         ASSERT_EQ(v.SetFromBuffer("abcdef", 3), 0);
       }, u"abc"},
      {HOST_TYPE_WDATE, [](CHostValue& v) {
         v.SetType(HOST_TYPE_WDATE);
         v.Set(u"20240229");
       }, u"20240229"},
      {HOST_TYPE_WTIME, [](CHostValue& v) {
         v.SetType(HOST_TYPE_WTIME);
         v.Set(u"235959999");
       }, u"235959999"},
      {HOST_TYPE_DATETIME, Native(HOST_TYPE_DATETIME, CHostDateTime{29, 2, 2024, 45296789}), u"20240229123456789"},
      {HOST_TYPE_VALUE8, Native(HOST_TYPE_VALUE8, std::int64_t{86400000}), u"86400000"},
      {HOST_TYPE_BINARY_BUFFER, [](CHostValue& v) {
         v.SetType(HOST_TYPE_BINARY_BUFFER);
         ASSERT_EQ(v.SetFromBuffer("b\xe9n", 3), 0);
       }, u"b\u00e9n"},
      {HOST_TYPE_WCHAR, Native(HOST_TYPE_WCHAR, u'\u03a9'), u"\u03a9"},
      {HOST_TYPE_TEXT, [](CHostValue& v) {
         v.SetType(HOST_TYPE_TEXT);
         v.Set(u"text");
       }, u"text"},
      {HOST_TYPE_ADATE, [](CHostValue& v) {
         v.SetType(HOST_TYPE_ADATE);
         v.Set("20241231");
       }, u"20241231"},
      {HOST_TYPE_ATIME, [](CHostValue& v) {
         v.SetType(HOST_TYPE_ATIME);
         v.Set("000000001");
       }, u"000000001"},
  };
  for (const SRoundTrip& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.type));
    CHostValue value;
    c.make(value);
    ASSERT_EQ(value.nGetType(), c.type);
    EXPECT_EQ(Narrow(TextOf(value)), Narrow(c.text));
    CHostValue back;
    back.SetType(HOST_TYPE_TEXT);
    back.Set(c.text.c_str());
    ASSERT_EQ(back.nConvert(c.type), 0);
    std::int32_t equal = 0;
    EXPECT_EQ(back.nEquals(value, &equal), 0);
    EXPECT_EQ(equal, 1);
  }
  for (std::uint8_t type : {HOST_TYPE_OBJECT30, HOST_TYPE_OBJECT50, HOST_TYPE_OBJECT65,
                            HOST_TYPE_VALUE_ARRAY, HOST_TYPE_OBJECT108, HOST_TYPE_OBJECT111}) {
    CHostValue value;
    value.SetType(type);
    EXPECT_EQ(value.nConvert(HOST_TYPE_TEXT), HOST_ERR_NOT_SUPPORTED) << static_cast<int>(type);
  }
}

TEST_F(ValueTextTest, DigitTextsOfDatesAndTimes) {
  for (std::uint8_t type : {HOST_TYPE_WDATE, HOST_TYPE_WTIME, HOST_TYPE_ADATE, HOST_TYPE_ATIME}) {
    SCOPED_TRACE(static_cast<int>(type));
    const bool time = type == HOST_TYPE_WTIME || type == HOST_TYPE_ATIME;
    const bool wide = type == HOST_TYPE_WDATE || type == HOST_TYPE_WTIME;
    const std::size_t unit = wide ? 2 : 1;
    CHostValue value;
    value.SetType(type);
    EXPECT_EQ(Narrow(TextOf(value)), time ? "000000000" : "");
    std::size_t sizes[3] = {};
    value.Ops().nGetStorageSize(value.pHolder(), &sizes[0]);
    value.nGetSizeWithTerminator(&sizes[1]);
    EXPECT_EQ(sizes[0], (time ? 9 : 8) * unit);
    EXPECT_EQ(sizes[1], (time ? 10 : 9) * unit);

    // Ten digits keep the first eight (or nine).
    if (wide) {
      value.Set(u"2024123123");
      value.SetType(type);  // its own type: the value stays
    } else {
      value.Set("2024123123");
    }
    EXPECT_EQ(Narrow(TextOf(value)), time ? "202412312" : "20241231");
    // Four digits of a time report four; a date always reports eight.
    if (wide) {
      value.SetFromBuffer(u"1234", 8);
    } else {
      value.Ops().SetFromWideZ(value.pHolder(), u"1234");
    }
    value.nGetDataSize(&sizes[2]);
    EXPECT_EQ(sizes[2], (time ? 4 : 8) * unit);
    if (wide) {
      value.Ops().SetFromNarrowZ(value.pHolder(), "0930");
      const char16_t* text = nullptr;
      ASSERT_EQ(value.nGetWideText(&text), 0);
      EXPECT_EQ(Narrow(text), "0930");
    } else {
      const char* text = nullptr;
      ASSERT_EQ(value.nGetNarrowText(&text), 0);
      EXPECT_STREQ(text, "1234");
    }
  }
}

TEST_F(ValueTextTest, HeapTextsOwnTheirCopies) {
  for (std::uint8_t type : {HOST_TYPE_ASTRING, HOST_TYPE_TEXT}) {
    SCOPED_TRACE(static_cast<int>(type));
    const bool wide = type == HOST_TYPE_TEXT;
    const void* abc = wide ? static_cast<const void*>(u"abc") : "abc";
    const void* empty = wide ? static_cast<const void*>(u"") : "";
    CHostValue value;
    value.SetType(type);
    ASSERT_EQ(value.Set(empty), 0);
    std::size_t length = 9;
    value.nGetLength(&length);
    EXPECT_EQ(length, 0u);
    const void* data = nullptr;
    value.nGetDataPointer(&data);
    EXPECT_NE(data, empty) << "an empty text is kept as none and read as a text of its own";

    ASSERT_EQ(value.Set(abc), 0);
    value.nGetDataPointer(&data);
    EXPECT_NE(data, abc);
    // Set from its own text: the copy is made before the old text is freed.
    ASSERT_EQ(value.Set(data), 0);
    std::size_t sizes[2] = {};
    value.nGetDataSize(&sizes[0]);
    value.nGetSizeWithTerminator(&sizes[1]);
    EXPECT_EQ(sizes[0], 3 * (wide ? 2u : 1u));
    EXPECT_EQ(sizes[1], 4 * (wide ? 2u : 1u));

    ASSERT_EQ(value.Ops().SetFromTextEx(value.pHolder(), abc, 5, 1), 0);
    value.nGetLength(&length);
    EXPECT_EQ(length, 3u) << "five zeroed characters reserved, three of them copied";
    ASSERT_EQ(value.Ops().SetOwnedCopyN(value.pHolder(), abc, 2), 0);
    value.nGetLength(&length);
    EXPECT_EQ(length, 2u);
    value.Ops().FreeText(value.pHolder());
    value.nGetLength(&length);
    EXPECT_EQ(length, 0u);

    // A buffer of no bytes is not read at all (AddressSanitizer watches the empty allocation).
    const std::unique_ptr<char16_t[]> none(new char16_t[0]);
    ASSERT_EQ(value.Set(abc), 0);
    ASSERT_EQ(value.SetFromBuffer(none.get(), 0), 0);
    value.nGetLength(&length);
    EXPECT_EQ(length, 0u);
  }
  CHostValue wide;
  wide.SetType(HOST_TYPE_TEXT);
  ASSERT_EQ(wide.Ops().SetFromNarrowZ(wide.pHolder(), "\x80 and \xe9"), 0);
  EXPECT_EQ(Narrow(TextOf(wide)), Narrow(u"\u20ac and \u00e9"));
  ASSERT_EQ(wide.Ops().SetFromNarrowCp(wide.pHolder(), 65001, "\xc3\xa9t\xc3\xa9", 5), 0);
  EXPECT_EQ(Narrow(TextOf(wide)), Narrow(u"\u00e9t\u00e9"));
}

TEST_F(ValueTextTest, CharactersConvertThroughTheirCodePage) {
  CHostValue narrow;
  narrow.SetType(HOST_TYPE_ACHAR);
  narrow.Ops().SetFromWideZ(narrow.pHolder(), u"\u20ac!");
  char byte = 0;
  narrow.nGet(&byte);
  EXPECT_EQ(byte, '\x80');
  narrow.Ops().SetFromWideZCp(narrow.pHolder(), 65001, u"\u00e9");
  narrow.nGet(&byte);
  EXPECT_EQ(byte, 0) << "not one byte in UTF-8";
  CHostValue wide;
  wide.SetType(HOST_TYPE_WCHAR);
  wide.Ops().SetFromNarrowZ(wide.pHolder(), "\x9c");
  char16_t unit = 0;
  wide.nGet(&unit);
  EXPECT_EQ(unit, u'\u0153');
  std::size_t length = 0;
  wide.nGetLength(&length);
  EXPECT_EQ(length, 1u);
}

TEST_F(ValueTextTest, RuntimeStringsAreSharedNotCopied) {
  CHostValue value;
  value.SetType(HOST_TYPE_WSTRING);
  ASSERT_EQ(value.Ops().SetFromNarrowZ(value.pHolder(), "abc"), 0);
  std::size_t sizes[3] = {};
  value.nGetLength(&sizes[0]);
  value.nGetDataSize(&sizes[1]);
  value.nGetSizeWithTerminator(&sizes[2]);
  EXPECT_EQ(sizes[0], 3u);
  EXPECT_EQ(sizes[1], 6u);
  EXPECT_EQ(sizes[2], 8u);
  {
    CHostValue copy;
    copy.Assign(value);
    void* mine = nullptr;
    void* theirs = nullptr;
    value.nGet(&mine);
    copy.nGet(&theirs);
    EXPECT_EQ(mine, theirs);
    EXPECT_EQ(CHostString::pHeader(mine)->references, 4u) << "two values and the two pointers just handed out";
    CHostString::Release(mine);
    CHostString::Release(theirs);
  }
  const char16_t* text = nullptr;
  value.nGetWideText(&text);
  void* string = const_cast<char16_t*>(text);
  EXPECT_EQ(CHostString::pHeader(string)->references, 1u);

  const char16_t big = u'x';
  EXPECT_EQ(value.SetFromBuffer(&big, std::size_t{HOST_STRING_LIMIT} * 2), HOST_ERR_TOO_LONG);
  EXPECT_EQ(Narrow(TextOf(value)), "abc") << "a refused text leaves the value as it was";

  CHostValue binary;
  binary.SetType(HOST_TYPE_BINARY_BUFFER);
  EXPECT_EQ(binary.SetFromBuffer(&big, HOST_STRING_LIMIT), HOST_ERR_TOO_LONG);
  const void* data = &big;
  binary.nGetDataPointer(&data);
  EXPECT_EQ(data, nullptr);
  CHostValue bytes;
  bytes.SetType(HOST_TYPE_TEXT_BUFFER);
  bytes.Ops().SetFromNarrow(bytes.pHolder(), "zero-terminated", -1);
  bytes.nGetDataSize(&sizes[0]);
  bytes.nGetSizeWithTerminator(&sizes[1]);
  EXPECT_EQ(sizes[0], 15u);
  EXPECT_EQ(sizes[1], 16u);
}

// An 8-bit runtime string is read as a zero-terminated text and keyed and saved with its terminator, so the byte
// behind its data is a terminator even in a reused buffer and with an allocator that gives no room beyond the
// capacity asked.
TEST_F(ValueTextTest, NarrowRuntimeStringsEndInATerminator) {
  qzrt::SetStringAllocatorNoSlack(true);
  CHostValue value;
  value.SetType(HOST_TYPE_TEXT_BUFFER);
  ASSERT_EQ(value.SetFromBuffer("abcdef", 6), HOST_OK);
  ASSERT_EQ(value.SetFromBuffer("abc", 3), HOST_OK);  // the unshared buffer is reused
  const char* text = nullptr;
  ASSERT_EQ(value.nGetNarrowText(&text), HOST_OK);
  EXPECT_STREQ(text, "abc");
  const void* data = nullptr;
  std::size_t size = 0;
  value.nGetDataPointer(&data);
  value.nGetSizeWithTerminator(&size);
  ASSERT_EQ(size, 4u);
  EXPECT_EQ(std::memcmp(data, "abc", 4), 0) << "the terminator is part of the value's bytes";

  CHostValue fresh;
  fresh.SetType(HOST_TYPE_TEXT_BUFFER);
  ASSERT_EQ(fresh.Ops().SetFromNarrow(fresh.pHolder(), "hello", 5), HOST_OK);
  fresh.nGetDataPointer(&data);
  EXPECT_EQ(static_cast<const char*>(data)[5], '\0');  // read inside the allocation (AddressSanitizer watches)
}

TEST_F(ValueTextTest, DumpsShowTheValueAsTextAndItsBytes) {
  CHostValue value;
  EXPECT_EQ(Narrow(DumpOf(&value, 1)), "<Empty>");
  EXPECT_EQ(Narrow(DumpOf(nullptr, 1)), "<NULL>");
  value.SetType(HOST_TYPE_INT32);
  const std::int32_t answer = 42;
  value.Set(&answer);
  EXPECT_EQ(Narrow(DumpOf(&value, 0)), "42");
  EXPECT_EQ(Narrow(DumpOf(&value, 1)), "Type=8, Len=4, Value=42, Value(binary)=2A000000");
  value.SetNull(true);
  EXPECT_EQ(Narrow(DumpOf(&value, 1)), "Type=8, Len=4, Value=<NULL>");

  CHostValue object;
  object.SetType(HOST_TYPE_OBJECT30);
  EXPECT_EQ(Narrow(DumpOf(&object, 0, HOST_ERR_NOT_SUPPORTED)), "<ERROR>");

  Bytes bytes(600, 0x41);
  bytes[0] = 0xAB;
  CHostValue binary;
  binary.SetType(HOST_TYPE_BINARY_BUFFER);
  ASSERT_EQ(binary.SetFromBuffer(bytes.data(), bytes.size()), 0);
  const std::string dump = Narrow(DumpOf(&binary, 1));
  ASSERT_EQ(dump.rfind("Type=28, Len=600, Value=", 0), 0u);
  const std::size_t binaryAt = dump.find(", Value(binary)=(first 500 bytes only) AB4141");
  ASSERT_NE(binaryAt, std::string::npos);
  EXPECT_EQ(dump.size() - binaryAt, std::strlen(", Value(binary)=(first 500 bytes only) ") + 1000);

  CHostWString prefixed;
  EXPECT_EQ(nDumpTextFull(prefixed, &value, u"x: ", 0), 0);
  EXPECT_EQ(Narrow(prefixed.pszGet()), "x: <NULL>");
}

TEST_F(ValueTextTest, WideTextIsEnsuredByConverting) {
  CHostValue value;
  value.SetType(HOST_TYPE_INT16);
  const std::int16_t number = -7;
  value.Set(&number);
  value.EnsureWideText();
  EXPECT_EQ(value.nGetType(), HOST_TYPE_WSTRING);
  const char16_t* text = nullptr;
  ASSERT_EQ(value.nGetWideText(&text), 0);
  EXPECT_EQ(Narrow(text), "-7");
  value.SetType(HOST_TYPE_TEXT);
  value.Set(u"kept");
  value.EnsureWideText();
  EXPECT_EQ(value.nGetType(), HOST_TYPE_TEXT);
}

// The keys of texts sort as the runtime orders the texts (for the characters whose UTF-16 order is their byte order).
TEST_F(ValueTextTest, TextKeysSortAsTheRuntimeOrdersTheTexts) {
  std::mt19937_64 random(2141);
  auto randomText = [&](std::size_t minimum, std::size_t maximum, char16_t low, char16_t high) {
    std::u16string text(minimum + random() % (maximum - minimum + 1), u' ');
    for (char16_t& c : text) c = static_cast<char16_t>(low + random() % (high - low + 1));
    return text;
  };
  for (std::uint8_t type : {HOST_TYPE_WSTRING, HOST_TYPE_ACHAR, HOST_TYPE_ASTRING, HOST_TYPE_TEXT_BUFFER,
                            HOST_TYPE_WDATE, HOST_TYPE_WTIME, HOST_TYPE_BINARY_BUFFER, HOST_TYPE_TEXT,
                            HOST_TYPE_ADATE, HOST_TYPE_ATIME, HOST_TYPE_WCHAR}) {
    SCOPED_TRACE(static_cast<int>(type));
    constexpr int kSamples = 30;
    constexpr std::uint32_t kKeySize = 40;
    std::vector<std::unique_ptr<CHostValue>> values;
    std::vector<Bytes> keys;
    for (int i = 0; i < kSamples; ++i) {
      std::u16string text;
      switch (type) {
        case HOST_TYPE_WDATE:
        case HOST_TYPE_ADATE: {
          const int year = 1 + static_cast<int>(random() % 9999);
          const int month = 1 + static_cast<int>(random() % 12);
          char16_t digits[9];
          FormatDateDigitsW(digits, year, month, 1 + static_cast<int>(random() % nDaysInMonth(month, year)), 8);
          text = digits;
          break;
        }
        case HOST_TYPE_WTIME:
        case HOST_TYPE_ATIME: {
          char16_t digits[10];
          FormatTimeDigitsW(digits, static_cast<int>(random() % 24), static_cast<int>(random() % 60),
                            static_cast<int>(random() % 60), static_cast<int>(random() % 1000), 9);
          text = digits;
          break;
        }
        case HOST_TYPE_BINARY_BUFFER: text = randomText(6, 6, 1, 255); break;
        case HOST_TYPE_WSTRING:
        case HOST_TYPE_TEXT:
          // Shared prefixes, then units from the whole UTF-16 range, where a key written low byte first misorders.
          text = randomText(0, 3, u'a', u'b') + randomText(0, 4, 1, 0xFFFF);
          break;
        case HOST_TYPE_ACHAR:
        case HOST_TYPE_WCHAR: text = randomText(1, 1, u' ', u'~'); break;
        default: text = randomText(0, 12, u'a', u'e'); break;
      }
      values.push_back(std::make_unique<CHostValue>());
      CHostValue& value = *values.back();
      value.SetType(HOST_TYPE_TEXT);
      value.Set(text.c_str());
      ASSERT_EQ(value.nConvert(type), 0);
      Bytes key(kKeySize, 0xCD);
      std::uint8_t* buffer = key.data();
      nEncodeValueSortKey(value, &buffer, kKeySize, 0, 0, 0);
      keys.push_back(key);
    }
    int failures = 0;
    for (int i = 0; i < kSamples && failures < 3; ++i) {
      for (int j = 0; j < kSamples && failures < 3; ++j) {
        std::int32_t order = 0;
        ASSERT_EQ(values[i]->nCompare(*values[j], &order), 0);
        const int keyOrder = keys[i] < keys[j] ? -1 : (keys[j] < keys[i] ? 1 : 0);
        if (keyOrder != order) {
          ++failures;
          ADD_FAILURE() << "samples " << i << " and " << j << ": values " << order << ", keys " << keyOrder;
        }
      }
    }
  }
}

}  // namespace
