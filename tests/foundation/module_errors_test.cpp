// Module errors take their inserts as typed arguments: texts and 32-bit numbers reach the message as given, and any
// other kind of insert is refused at compile time instead of being read from the wrong place.
#include "foundation/module_errors.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "foundation/error_holder.h"
#include "foundation/x_error.h"
#include "tests/slot_call.h"

namespace {

template <typename Insert>
concept RaisesWith = requires(Insert insert) {
  RaiseModuleError(static_cast<CErrorHolder*>(nullptr), 0u, 0u, 0u, nullptr, nullptr, 0u, insert);
};

static_assert(RaisesWith<const char16_t*> && RaisesWith<char16_t*> && RaisesWith<std::uint32_t> &&
              RaisesWith<std::int32_t>);
static_assert(!RaisesWith<const char*> && !RaisesWith<std::int64_t> && !RaisesWith<std::uint64_t> &&
              !RaisesWith<double> && !RaisesWith<bool> && !RaisesWith<std::uint16_t> && !RaisesWith<void*>);

TEST(ModuleErrorsTest, TextAndNumberInsertsReachTheMessage) {
  auto* holder = new CErrorHolder();
  holder->AddRef();
  char16_t column[] = u"PRICE";
  RaiseModuleError(holder, 0, 1, 2, nullptr, nullptr, 54u, std::uint32_t{12}, column, u"Oracle");
  EXPECT_EQ(holder->nGetErrorCode(), 54u);  // its message inserts a number, then two texts
  const std::u16string message = CallSlot<const char16_t*>(holder, 5);
  EXPECT_NE(message.find(u"12"), std::u16string::npos);
  EXPECT_NE(message.find(u"PRICE"), std::u16string::npos);
  EXPECT_NE(message.find(u"Oracle"), std::u16string::npos);
  // A null text reads as empty.
  RaiseModuleError(holder, 0, 1, 2, nullptr, nullptr, 54u, std::uint32_t{7}, nullptr, u"X");
  EXPECT_NE(std::u16string(CallSlot<const char16_t*>(holder, 5)).find(u"7"), std::u16string::npos);
  holder->nRelease();
}

}  // namespace
