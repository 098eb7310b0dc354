// What the runtime value tests share: native values as bytes, and a fixture that binds the runtime stand-in's
// services and value entry points as the runtime's start-up does, and checks that every decimal handle made during
// a test was given back.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/execution.h"
#include "host/host_value.h"
#include "host/value_entry_points.h"
#include "standin/runtime/runtime_standin.h"

using Bytes = std::vector<std::uint8_t>;

template <class T>
Bytes BytesOf(const T& value) {
  Bytes bytes(sizeof(T));
  std::memcpy(bytes.data(), &value, sizeof(T));
  return bytes;
}

class CHostValueFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    qzrt::Reset();
    gpHostLocale = static_cast<IHostLocaleService*>(qzrt::LocaleService());
    gpHostStringAllocator = static_cast<IHostStringAllocator*>(qzrt::StringAllocator());
    ASSERT_EQ(bInitKXConvFromVM(qzrt::ModuleHandle(), 2, 2), 1);
    ASSERT_EQ(bInitKXCalcFromVM(qzrt::ModuleHandle(), 2, 2), 1);
  }
  void TearDown() override { EXPECT_EQ(qzrt::LiveProxyHandles(), 0u) << "every decimal handle is given back"; }

  static std::u16string WideOf(CHostValue& value) {
    const char16_t* text = nullptr;
    value.nGetWideText(&text);
    return text ? text : u"";
  }
  static std::string NarrowOf(CHostValue& value) {
    const char* text = nullptr;
    value.nGetNarrowText(&text);
    return text ? text : "";
  }
  // A runtime decimal (type 13) as the runtime writes it.
  static std::u16string DecimalTextOf(CHostValue& value) {
    CHostValue text;
    text.Assign(value);
    EXPECT_EQ(text.nConvert(HOST_TYPE_TEXT), HOST_OK);
    return WideOf(text);
  }
};
