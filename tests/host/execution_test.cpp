// The attach protocol against the runtime stand-in: which services are asked, in which order, what is kept, and how
// attaches are counted.
#include "host/execution.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/module.h"
#include "standin/runtime/runtime_standin.h"

namespace {

const std::vector<std::intptr_t> kQuestionsWithService7 = {9, 10, 12, 13, 15, 7, 1, 5, 2, 3, 4, 8, 14};
const std::vector<std::intptr_t> kQuestionsWithoutService7 = {9, 10, 12, 13, 15, 1, 5, 2, 3, 4, 8, 14};

std::u16string Widen(const char* text) { return std::u16string(text, text + std::char_traits<char>::length(text)); }

class ExecutionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Back to a process that never attached: no component, no count, no services.
    while (gpExecutionComponent || gnExecutionAttachCount > 0) Execution(EXECUTION_DETACH, 0, 0, 0);
    gpHostService9 = nullptr;
    gpHostLocale = nullptr;
    gpHostStringAllocator = nullptr;
    gpHostProxy = nullptr;
    gnHostProductValue = 12;
    gnHostServiceLevel = 17;
    gpHostProductName = u"Quorvix";
    qzrt::Reset();
  }

  static std::intptr_t Attach(std::uint32_t size, void* module, std::uintptr_t service7 = 0) {
    std::vector<unsigned char> record = qzrt::MakeAttachRecord(size, module, 5, 6, service7);
    return Execution(EXECUTION_ATTACH, reinterpret_cast<std::intptr_t>(record.data()), 0, 0);
  }

  static void* NoExecutionModule() {
    static void* module = platform::LoadModule(Widen(QZ_RUNTIME_NOEXEC_PATH).c_str());
    return module;
  }
};

TEST_F(ExecutionTest, AttachRecordLayoutMatchesTheRuntime) {
  EXPECT_EQ(offsetof(SExecutionAttachRecord, nAttachWord1), sizeof(void*) == 8 ? 16u : 8u);
  EXPECT_EQ(EXECUTION_ATTACH_FULL_SIZE, sizeof(void*) == 8 ? 32u : 20u);
  EXPECT_EQ(EXECUTION_ATTACH_MIN_SIZE, sizeof(void*) == 8 ? 24u : 16u);
}

TEST_F(ExecutionTest, ShortRecordAsksServiceSevenInItsPlace) {
  ASSERT_EQ(Attach(24, qzrt::ModuleHandle(), 0x777), 1);
  EXPECT_EQ(qzrt::ServiceQuestions(), kQuestionsWithService7);
  EXPECT_EQ(gnExecutionAttachCount, 1u);
  EXPECT_TRUE(bHostServicesBound());
}

TEST_F(ExecutionTest, FullRecordGivesServiceSevenUnlessItIsZero) {
  ASSERT_EQ(Attach(32, qzrt::ModuleHandle(), 0x777), 1);
  EXPECT_EQ(qzrt::ServiceQuestions(), kQuestionsWithoutService7);
  EXPECT_EQ(gnHostService7, 0x777);

  SetUp();
  qzrt::SetServiceAnswer(7, 0x55);
  ASSERT_EQ(Attach(32, qzrt::ModuleHandle(), 0), 1);
  EXPECT_EQ(qzrt::ServiceQuestions(), kQuestionsWithService7);
  EXPECT_EQ(gnHostService7, 0x55);
}

TEST_F(ExecutionTest, BindingKeepsTheAnswers) {
  static const char16_t kName[] = u"Runtime";
  qzrt::SetServiceAnswer(2, 40);
  qzrt::SetServiceAnswer(3, reinterpret_cast<std::intptr_t>(kName));
  qzrt::SetServiceAnswer(8, 9);  // below the current level: the level stays
  qzrt::SetServiceAnswer(14, 0x1414);
  ASSERT_EQ(Attach(32, qzrt::ModuleHandle()), 1);
  EXPECT_EQ(static_cast<void*>(gpHostService9), qzrt::StateService());
  EXPECT_EQ(static_cast<void*>(gpHostLocale), qzrt::LocaleService());
  EXPECT_EQ(static_cast<void*>(gpHostStringAllocator), qzrt::StringAllocator());
  EXPECT_EQ(gnHostProductValue, 40u);
  EXPECT_EQ(gpHostProductName, kName);
  EXPECT_EQ(gnHostServiceLevel, 17u);
  EXPECT_EQ(gnHostService14, 0x1414);

  // A later attach of a new component raises the level only upwards, and keeps the default name for a null answer.
  Execution(EXECUTION_DETACH, 0, 0, 0);
  qzrt::SetServiceAnswer(8, 30);
  qzrt::SetServiceAnswer(3, 0);
  ASSERT_EQ(Attach(32, qzrt::ModuleHandle()), 1);
  EXPECT_EQ(gnHostServiceLevel, 30u);
  EXPECT_EQ(gpHostProductName, kName);
}

TEST_F(ExecutionTest, CountsAttachesAndBindsOnlyOnce) {
  ASSERT_EQ(Attach(32, qzrt::ModuleHandle()), 1);
  ASSERT_EQ(Attach(32, qzrt::ModuleHandle()), 1);
  EXPECT_EQ(qzrt::ServiceQuestions(), kQuestionsWithService7);
  EXPECT_EQ(gnExecutionAttachCount, 2u);

  EXPECT_EQ(Execution(EXECUTION_DETACH, 0, 0, 0), 1);
  EXPECT_NE(gpExecutionComponent, nullptr);
  ASSERT_EQ(Attach(32, qzrt::ModuleHandle()), 1);
  EXPECT_EQ(gnExecutionAttachCount, 2u);
  EXPECT_EQ(qzrt::ServiceQuestions().size(), kQuestionsWithService7.size());

  EXPECT_EQ(Execution(EXECUTION_DETACH, 0, 0, 0), 1);
  EXPECT_EQ(Execution(EXECUTION_DETACH, 0, 0, 0), 1);
  EXPECT_EQ(gpExecutionComponent, nullptr);
  EXPECT_EQ(gnExecutionAttachCount, 0u);
  // The services stay; a new attach builds a new component and asks again.
  EXPECT_NE(gpHostStringAllocator, nullptr);
  qzrt::ClearServiceQuestions();
  ASSERT_EQ(Attach(32, qzrt::ModuleHandle()), 1);
  EXPECT_EQ(qzrt::ServiceQuestions(), kQuestionsWithService7);
}

TEST_F(ExecutionTest, DetachWithoutAttachDoesNothing) {
  EXPECT_EQ(Execution(EXECUTION_DETACH, 1, 2, 3), 1);
  EXPECT_EQ(gpExecutionComponent, nullptr);
  EXPECT_EQ(gnExecutionAttachCount, 0u);
}

TEST_F(ExecutionTest, ModuleWithoutExecutionBindsNothingAndIsRetried) {
  void* noExecution = NoExecutionModule();
  ASSERT_NE(noExecution, nullptr);
  EXPECT_EQ(Attach(32, noExecution), 0);
  EXPECT_EQ(gnExecutionAttachCount, 0u);
  EXPECT_TRUE(qzrt::ServiceQuestions().empty());
  EXPECT_EQ(gpHostStringAllocator, nullptr);
  EXPECT_FALSE(bHostServicesBound());

  // A second try with the same module fails again rather than answer 1 with nothing bound.
  EXPECT_EQ(Attach(32, noExecution), 0);
  EXPECT_EQ(gnExecutionAttachCount, 0u);

  // A module that can serve binds at the next attach.
  EXPECT_EQ(Attach(32, qzrt::ModuleHandle()), 1);
  EXPECT_EQ(qzrt::ServiceQuestions(), kQuestionsWithService7);
  EXPECT_NE(gpHostStringAllocator, nullptr);
  EXPECT_EQ(gnExecutionAttachCount, 1u);
}

TEST_F(ExecutionTest, AttachWithoutModuleLeavesServicesToALaterAttach) {
  EXPECT_EQ(Attach(32, nullptr), 1);
  EXPECT_EQ(gnExecutionAttachCount, 1u);
  EXPECT_FALSE(bHostServicesBound());
  EXPECT_TRUE(qzrt::ServiceQuestions().empty());

  EXPECT_EQ(Attach(32, nullptr), 1);
  EXPECT_TRUE(qzrt::ServiceQuestions().empty());

  EXPECT_EQ(Attach(32, qzrt::ModuleHandle()), 1);
  EXPECT_TRUE(bHostServicesBound());
  EXPECT_EQ(qzrt::ServiceQuestions(), kQuestionsWithService7);
  EXPECT_EQ(gnExecutionAttachCount, 3u);
}

TEST_F(ExecutionTest, MalformedRecordsAreRefused) {
  EXPECT_EQ(Execution(EXECUTION_ATTACH, 0, 0, 0), 0);
  EXPECT_EQ(Attach(static_cast<std::uint32_t>(EXECUTION_ATTACH_MIN_SIZE - 4), qzrt::ModuleHandle()), 0);
  EXPECT_EQ(gpExecutionComponent, nullptr);
  EXPECT_TRUE(qzrt::ServiceQuestions().empty());
}

TEST_F(ExecutionTest, QueryStateAsksServiceNine) {
  // Without service 9 nothing is asked.
  EXPECT_EQ(Execution(EXECUTION_QUERY_STATE, 4, 0, 0), 1);
  EXPECT_TRUE(qzrt::StateQuestions().empty());

  ASSERT_EQ(Attach(32, qzrt::ModuleHandle()), 1);
  qzrt::SetStateAnswer(1);
  EXPECT_EQ(Execution(EXECUTION_QUERY_STATE, 4, 0, 0), 1);
  qzrt::SetStateAnswer(2);  // the component's default then decides: it answers 1
  EXPECT_EQ(Execution(EXECUTION_QUERY_STATE, 5, 0, 0), 1);
  EXPECT_EQ(qzrt::StateQuestions(), (std::vector<std::intptr_t>{4, 5}));

  // After the last detach the state is still asked of service 9, and answers 1 without a component.
  Execution(EXECUTION_DETACH, 0, 0, 0);
  EXPECT_EQ(Execution(EXECUTION_QUERY_STATE, 6, 0, 0), 1);
}

TEST_F(ExecutionTest, EveryOtherCode) {
  int locale = 0;
  EXPECT_EQ(Execution(EXECUTION_SET_HOST_OBJECT, reinterpret_cast<std::intptr_t>(&locale), 0, 0), 1);
  EXPECT_EQ(static_cast<void*>(gpHostLocale), &locale);

  EXPECT_EQ(Execution(EXECUTION_SET_VALUE, 77, 0, 0), 1);
  EXPECT_EQ(gnHostProductValue, 77u);
  EXPECT_EQ(Execution(EXECUTION_FORWARD_3, 1, 2, 3), 1);
  EXPECT_EQ(Execution(EXECUTION_FORWARD_6, 1, 0, 0), 0);

  ASSERT_EQ(Attach(32, qzrt::ModuleHandle()), 1);
  EXPECT_EQ(Execution(EXECUTION_FORWARD_3, 1, 2, 3), 1);
  EXPECT_EQ(Execution(EXECUTION_FORWARD_6, 1, 0, 0), 0);
  EXPECT_EQ(Execution(EXECUTION_SET_VALUE, 78, 0, 0), 1);
  EXPECT_EQ(gnHostProductValue, 78u);

  for (std::uint32_t code : {0u, 1u, static_cast<std::uint32_t>(HOST_SERVICE_QUERY), 3984u, 3986u, 4876u, 5239u, 0xFFFFFFFFu}) {
    EXPECT_EQ(Execution(code, 1, 2, 3), 0) << code;
  }
}

TEST_F(ExecutionTest, QueryProxyBinding) {
  EXPECT_EQ(bBindQueryProxy(qzrt::ModuleHandle()), 1);
  EXPECT_EQ(static_cast<void*>(gpHostProxy), qzrt::Proxy());
  EXPECT_EQ(qzrt::ProxyQuestions(), (std::vector<std::int32_t>{102}));

  // The driver itself exports no pQueryProxy.
  void* driver = platform::LoadModule(Widen(QZ_DRIVER_PATH).c_str());
  ASSERT_NE(driver, nullptr);
  EXPECT_EQ(bBindQueryProxy(driver), 0);
  platform::UnloadModule(driver);
}

}  // namespace
