// The driver as the runtime sees it: a module loaded by path, whose only entries are the eight exports, initialised
// by its own module entry, attaching to the runtime stand-in through its Execution.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/module.h"
#include "standin/runtime/runtime_standin.h"
#include "tests/slot_call.h"

namespace {

using FnInit = int (*)(void*);
using FnCompatible = int (*)(std::int32_t, std::uint32_t, std::uint32_t*);
using FnExecution = std::intptr_t (*)(std::uint32_t, std::intptr_t, std::intptr_t, std::intptr_t);

std::u16string Widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

class DriverModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { s_driver = platform::LoadModule(Widen(QZ_DRIVER_PATH).c_str()); }

  template <typename Fn>
  static Fn Entry(const char* name) {
    return reinterpret_cast<Fn>(platform::FindModuleEntry(s_driver, name));
  }

  static inline platform::ModuleHandle s_driver = nullptr;
};

TEST_F(DriverModule, ExportsTheEightEntriesAndNothingElse) {
  ASSERT_NE(s_driver, nullptr);
  for (const char* name : {"CommandeComposante", "Execution", "TermLibrary", "bDLLCompatible", "bInitLibrary",
                           "bInitKXCalcFromVM", "bInitKXConvFromVM", "piQueryInterface"}) {
    EXPECT_NE(platform::FindModuleEntry(s_driver, name), nullptr) << name;
  }
  for (const char* name : {"DllProcessAttach", "gnInitCount", "gcsDriverLock", "nExecutionAttach", "pQueryProxy",
                           "_Z16DllProcessAttachPvjS_", "_Z16nExecutionAttachPK22SExecutionAttachRecord"}) {
    EXPECT_EQ(platform::FindModuleEntry(s_driver, name), nullptr) << name;
  }
  char16_t path[1024];
  const std::uint32_t n = platform::ModuleFileName(s_driver, path, 1024);
  EXPECT_EQ(std::string(path, path + n), QZ_DRIVER_PATH);
}

TEST_F(DriverModule, ModuleEntryInitialisedTheLibraryOnLoad) {
  ASSERT_NE(s_driver, nullptr);
  // Its own process attach already counted; the runtime's call only counts again and still answers 1.
  EXPECT_EQ(Entry<FnInit>("bInitLibrary")(nullptr), 1);
  std::uint32_t out = 0;
  EXPECT_EQ(Entry<FnCompatible>("bDLLCompatible")(7, 23, &out), 1);
  EXPECT_EQ(out, 23u);
  EXPECT_EQ(Entry<FnCompatible>("bDLLCompatible")(28, 23, &out), 1);
  EXPECT_EQ(out, 28u);
}

TEST_F(DriverModule, DriverAndRuntimeExecutionNeverResolveToEachOther) {
  ASSERT_NE(s_driver, nullptr);
  const auto driverExecution = Entry<FnExecution>("Execution");
  const auto runtimeExecution =
      reinterpret_cast<FnExecution>(platform::FindModuleEntry(qzrt::ModuleHandle(), "Execution"));
  ASSERT_NE(runtimeExecution, nullptr);
  EXPECT_NE(reinterpret_cast<void*>(driverExecution), reinterpret_cast<void*>(runtimeExecution));

  qzrt::Reset();
  // The service question means nothing to the driver, and everything to the runtime.
  EXPECT_EQ(driverExecution(3053, 13, 0, 0), 0);
  EXPECT_TRUE(qzrt::ServiceQuestions().empty());
  EXPECT_EQ(runtimeExecution(3053, 13, 0, 0), reinterpret_cast<std::intptr_t>(qzrt::StringAllocator()));
  qzrt::Reset();

  std::vector<unsigned char> record = qzrt::MakeAttachRecord(24, qzrt::ModuleHandle(), 0, 0, 0);
  EXPECT_EQ(driverExecution(3985, reinterpret_cast<std::intptr_t>(record.data()), 0, 0), 1);
  EXPECT_EQ(qzrt::ServiceQuestions(), (std::vector<std::intptr_t>{9, 10, 12, 13, 15, 7, 1, 5, 2, 3, 4, 8, 14}));
  EXPECT_EQ(driverExecution(4875, 0, 0, 0), 1);
}

TEST_F(DriverModule, BindsTheRuntimesValueEntryPointsByName) {
  ASSERT_NE(s_driver, nullptr);
  using FnBind = int (*)(void*, std::int32_t, std::int32_t);
  const auto conversions = Entry<FnBind>("bInitKXConvFromVM");
  const auto calculations = Entry<FnBind>("bInitKXCalcFromVM");
  qzrt::Reset();
  EXPECT_EQ(conversions(qzrt::ModuleHandle(), 2, 2), 1);
  EXPECT_EQ(calculations(qzrt::ModuleHandle(), 2, 2), 1);
  EXPECT_EQ(qzrt::ProxyQuestions(), std::vector<std::int32_t>{102});
  EXPECT_EQ(conversions(qzrt::ModuleHandle(), 1, 2), 0);
  ASSERT_TRUE(qzrt::LeaveOutEntry("nEgaliteEx"));
  EXPECT_EQ(calculations(qzrt::ModuleHandle(), 2, 2), 0);
  qzrt::Reset();
  EXPECT_EQ(calculations(qzrt::ModuleHandle(), 2, 2), 1);
}

TEST_F(DriverModule, QueryInterfaceAnswersADriverObject) {
  ASSERT_NE(s_driver, nullptr);
  void* driver = Entry<void* (*)()>("piQueryInterface")();
  ASSERT_NE(driver, nullptr);
  EXPECT_EQ(CallSlot<std::int32_t>(driver, 0), 18);  // interface version
  EXPECT_EQ(CallSlot<std::int32_t>(driver, 1), 17);  // oldest interface version
  EXPECT_NE(CallSlot<void*>(driver, 11), nullptr);   // its error holder
  EXPECT_EQ(CallSlot<std::int32_t>(driver, 6), 0);   // the runtime's reference was the only one
}

TEST_F(DriverModule, MessageServiceAnswersFromItsOwnBlock) {
  ASSERT_NE(s_driver, nullptr);
  const auto command = Entry<std::intptr_t (*)(std::intptr_t, std::intptr_t)>("CommandeComposante");
  EXPECT_EQ(command(4, 25193), 3);
  EXPECT_EQ(command(4, 1), -1);
  EXPECT_EQ(command(9, 0), 0);

  // With the runtime's callback installed, its texts come first and the block answers the others.
  qzrt::SetMessageText(25193, u"runtime text");
  EXPECT_EQ(command(2, reinterpret_cast<std::intptr_t>(qzrt::MessageCallback())), 1);
  struct {
    std::uint32_t unused, message;
    char16_t* buffer;
    std::uint32_t capacity;
    std::int32_t result;
  } request{0, 25193, nullptr, 64, 0};
  char16_t buffer[64];
  request.buffer = buffer;
  EXPECT_EQ(command(3, reinterpret_cast<std::intptr_t>(&request)), 12);
  EXPECT_EQ(std::u16string(buffer), u"runtime text");
  request.message = 28437;
  EXPECT_GT(command(3, reinterpret_cast<std::intptr_t>(&request)), 0);
  EXPECT_NE(std::u16string(buffer), u"runtime text");
  command(2, 0);
  qzrt::ClearMessageTexts();
}

}  // namespace
