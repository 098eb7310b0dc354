#include "standin/runtime/runtime_standin.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/module.h"
#include "standin/runtime/proxy.h"
#include "standin/runtime/runtime_code_page.h"
#include "standin/runtime/services.h"
#include "standin/runtime/value_engine.h"

namespace qzrt {

namespace {

struct State {
  std::mutex mutex;
  std::map<std::intptr_t, std::intptr_t> answers;
  std::vector<std::intptr_t> serviceQuestions;
  std::vector<std::intptr_t> stateQuestions;
  std::vector<std::int32_t> proxyQuestions;
  std::int32_t stateAnswer = 1;
};

State& TheState() {
  static State state;
  return state;
}

// The attach record as the runtime lays it out; natural alignment puts the module at 8 and service 7 at 24 on
// 64-bit builds.
struct AttachRecord {
  std::uint32_t size;
  void* hostModule;
  std::uint32_t word1;
  std::uint32_t word2;
  std::uintptr_t service7;
};

}  // namespace

void* ModuleHandle() {
  static const int marker = 0;
  return platform::ModuleOfAddress(&marker);
}

std::vector<unsigned char> MakeAttachRecord(std::uint32_t size, void* hostModule, std::uint32_t word1,
                                            std::uint32_t word2, std::uintptr_t service7) {
  AttachRecord full{size, hostModule, word1, word2, service7};
  std::vector<unsigned char> bytes(size, 0);
  std::memcpy(bytes.data(), &full, size < sizeof(full) ? size : sizeof(full));
  return bytes;
}

void SetServiceAnswer(std::intptr_t service, std::intptr_t answer) {
  std::lock_guard lock(TheState().mutex);
  TheState().answers[service] = answer;
}

void ResetServiceAnswers() {
  std::lock_guard lock(TheState().mutex);
  TheState().answers.clear();
}

std::vector<std::intptr_t> ServiceQuestions() {
  std::lock_guard lock(TheState().mutex);
  return TheState().serviceQuestions;
}

void ClearServiceQuestions() {
  std::lock_guard lock(TheState().mutex);
  TheState().serviceQuestions.clear();
}

void SetStateAnswer(std::int32_t answer) {
  std::lock_guard lock(TheState().mutex);
  TheState().stateAnswer = answer;
}

std::vector<std::intptr_t> StateQuestions() {
  std::lock_guard lock(TheState().mutex);
  return TheState().stateQuestions;
}

void* StateService() { return &services::TheStateService(); }
void* LocaleService() { return &services::TheLocaleService(); }
void* StringAllocator() { return &services::TheStringAllocator(); }
void* Proxy() { return &services::TheProxy(); }

void SetLocaleCharset(std::int32_t charset) { services::TheLocaleService().m_nCharset = charset; }
void SetLocaleLanguage(std::int32_t language) { services::TheLocaleService().m_nLanguage = language; }
void SetCodePage(std::uint32_t codePage) {
  struct Charset {
    std::uint32_t page;
    std::int32_t id;
  };
  static constexpr Charset kCharsets[] = {{1252, 0}, {932, 128}, {949, 129}, {936, 134}, {950, 136}};
  std::int32_t id = static_cast<std::int32_t>(codePage);
  for (const Charset& charset : kCharsets) {
    if (charset.page == codePage) id = charset.id;
  }
  SetRuntimeCodePage(codePage);
  SetLocaleCharset(id);
}
void SetDecimalComma(bool comma) { engine::SetDecimalSeparator(comma ? u',' : u'.'); }

void FailStringAllocations(std::int32_t allowed, std::int32_t code) {
  services::TheStringAllocator().m_nFailureCode = code;
  services::TheStringAllocator().m_nAllowed = allowed;
}

void SetStringAllocatorNoSlack(bool noSlack) { services::TheStringAllocator().m_bNoSlack = noSlack; }
std::int64_t LiveStringCount() { return services::TheStringAllocator().m_nLive; }
void MarkStringMaximumFilled(void* string, bool filled) { services::MarkRuntimeStringMaximum(string, filled); }

std::vector<std::int32_t> ProxyQuestions() {
  std::lock_guard lock(TheState().mutex);
  return TheState().proxyQuestions;
}

void Reset() {
  std::lock_guard lock(TheState().mutex);
  State& state = TheState();
  state.answers.clear();
  state.serviceQuestions.clear();
  state.stateQuestions.clear();
  state.proxyQuestions.clear();
  state.stateAnswer = 1;
  SetCodePage(1252);
  SetLocaleLanguage(1036);
  SetDecimalComma(false);
  FailStringAllocations(-1);
  SetStringAllocatorNoSlack(false);
  RestoreEntries();
}

namespace services {

std::int32_t StateAnswerFor(std::intptr_t argument) {
  std::lock_guard lock(TheState().mutex);
  TheState().stateQuestions.push_back(argument);
  return TheState().stateAnswer;
}

std::intptr_t AnswerService(std::intptr_t service) {
  std::lock_guard lock(TheState().mutex);
  State& state = TheState();
  state.serviceQuestions.push_back(service);
  if (const auto it = state.answers.find(service); it != state.answers.end()) return it->second;
  switch (service) {
    case 9: return reinterpret_cast<std::intptr_t>(&TheStateService());
    case 12: return reinterpret_cast<std::intptr_t>(&TheLocaleService());
    case 13: return reinterpret_cast<std::intptr_t>(&TheStringAllocator());
    default: return 0;
  }
}

void NoteProxyQuestion(std::int32_t kind) {
  std::lock_guard lock(TheState().mutex);
  TheState().proxyQuestions.push_back(kind);
}

}  // namespace services
}  // namespace qzrt

// ---- the runtime module's exports -----------------------------------------------------------------------------

extern "C" {

#if !defined(QZRT_NO_EXECUTION)
// The runtime's own Execution: the driver asks it for services with code 3053 and the service number.
QZRT_API std::intptr_t Execution(std::uint32_t code, std::intptr_t argument1, std::intptr_t /*argument2*/,
                                 std::intptr_t /*argument3*/) {
  constexpr std::uint32_t kServiceQuery = 3053;
  if (code != kServiceQuery) return 0;
  return qzrt::services::AnswerService(argument1);
}
#endif

}  // extern "C"
