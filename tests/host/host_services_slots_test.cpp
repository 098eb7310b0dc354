// The runtime stand-in's locale service and string allocator called through their raw table slots, as a runtime
// built elsewhere is called: the slot order of host/host_services.h is the contract.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "host/host_services.h"
#include "host/host_string.h"
#include "standin/runtime/runtime_standin.h"
#include "tests/slot_of.h"

namespace {

template <typename Function>
Function Slot(void* object, int slot) {
  return reinterpret_cast<Function>((*reinterpret_cast<void***>(object))[slot]);
}

TEST(HostServicesSlotsTest, LocaleService) {
  qzrt::Reset();
  void* locale = qzrt::LocaleService();
  qzrt::SetLocaleCharset(204);
  EXPECT_EQ(Slot<std::int32_t (*)(void*)>(locale, 2)(locale), 204);
  EXPECT_EQ(Slot<std::int32_t (*)(void*)>(locale, 15)(locale), 1036);

  using Compare = std::int32_t (*)(void*, std::uint32_t, std::uint32_t, const char16_t*, std::int32_t,
                                   const char16_t*, std::int32_t);
  EXPECT_EQ(Slot<Compare>(locale, 7)(locale, 0x400, 3, u"\u00e9t\u00e9", -1, u"ETE", -1), 0);
  EXPECT_NE(Slot<Compare>(locale, 7)(locale, 0x400, 1, u"\u00e9t\u00e9", -1, u"ETE", -1), 0);  // marks count
  EXPECT_NE(Slot<Compare>(locale, 7)(locale, 0x400, 0, u"abc", -1, u"ABC", -1), 0);

  char16_t unit = 0;
  using Map = std::int32_t (*)(void*, std::uint32_t, const char16_t*, std::int32_t, char16_t*, std::int32_t);
  EXPECT_EQ(Slot<Map>(locale, 11)(locale, 1, u"\u00e9", 1, &unit, 1), 1);
  EXPECT_EQ(unit, u'\u00c9');

  char16_t folded[8];
  using MapLanguage = std::int32_t (*)(void*, std::uint32_t, std::uint32_t, char16_t*, std::int32_t, const char16_t*);
  EXPECT_EQ(Slot<MapLanguage>(locale, 13)(locale, 1036, 3, folded, 8, u"A\u0301b"), 3);
  EXPECT_EQ(std::u16string(folded), u"AB");
  qzrt::Reset();
}

TEST(HostServicesSlotsTest, StringAllocator) {
  qzrt::Reset();
  void* allocator = qzrt::StringAllocator();
  const std::int64_t live = qzrt::LiveStringCount();
  void* string = nullptr;
  ASSERT_EQ(Slot<std::int32_t (*)(void*, void**, std::uint32_t, std::uint32_t)>(allocator, 1)(allocator, &string,
                                                                                              10, 0),
            0);
  const SHostStringHeader* header = CHostString::pHeader(string);
  EXPECT_EQ(header->references, 1u);
  EXPECT_EQ(header->capacity, 10u);
  ASSERT_EQ(Slot<std::int32_t (*)(void*, void**, std::uint32_t)>(allocator, 2)(allocator, &string, 40), 0);
  EXPECT_EQ(CHostString::pHeader(string)->capacity, 40u);
  Slot<void (*)(void*, void*)>(allocator, 3)(allocator, string);
  EXPECT_EQ(qzrt::LiveStringCount(), live);

  qzrt::FailStringAllocations(0, 140);
  string = nullptr;
  EXPECT_EQ(Slot<std::int32_t (*)(void*, void**, std::uint32_t, std::uint32_t)>(allocator, 1)(allocator, &string,
                                                                                              10, 0),
            140);
  EXPECT_EQ(string, nullptr);
  qzrt::Reset();
}

// The decimal handle's operations the driver calls sit at the slots their comments name.
TEST(HostServicesSlotsTest, DecimalHandleSlots) {
  ExpectSlotComments("host/host_services.h",
                     {QZ_SLOT(IHostProxyHandle, pGetData), QZ_SLOT(IHostProxyHandle, nGetDataSize),
                      QZ_SLOT(IHostProxyHandle, SetFromKeyInput), QZ_SLOT(IHostProxyHandle, SetMinimum),
                      QZ_SLOT(IHostProxyHandle, SetMaximum), QZ_SLOT(IHostProxyHandle, nCopyWithTerminator),
                      QZ_SLOT(IHostProxyHandle, nSetFromBuffer), QZ_SLOT(IHostProxyHandle, WriteSortKey),
                      QZ_SLOT(IHostProxyHandle, nSet), QZ_SLOT(IHostProxyHandle, bIsNegative),
                      QZ_SLOT(IHostProxyHandle, SetPrecision)},
                     "IHostProxyHandle");
}

}  // namespace
