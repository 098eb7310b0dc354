#include "host/execution.h"

#include <new>

CExecutionComponent* gpExecutionComponent = nullptr;
std::uint32_t gnExecutionAttachCount = 0;

IHostStateService* gpHostService9 = nullptr;
std::intptr_t gnHostService10 = 0;
IHostLocaleService* gpHostLocale = nullptr;
IHostStringAllocator* gpHostStringAllocator = nullptr;
std::intptr_t gnHostService15 = 0;
std::intptr_t gnHostService7 = 0;
std::intptr_t gnHostService1 = 0;
std::intptr_t gnHostService5 = 0;
std::intptr_t gnHostService4 = 0;
std::intptr_t gnHostService14 = 0;
std::uint32_t gnHostProductValue = 12;
const void* gpHostProductName = u"Quorvix";
std::uint32_t gnHostServiceLevel = 17;
IHostProxy* gpHostProxy = nullptr;

int CExecutionComponent::bStart() { return 1; }
void CExecutionComponent::OnAttach(std::uint32_t, std::uint32_t) {}
void CExecutionComponent::OnDetach(std::intptr_t, std::intptr_t, std::intptr_t) {}
void CExecutionComponent::OnForward3(std::intptr_t, std::intptr_t, std::intptr_t) {}
int CExecutionComponent::nQueryState(std::intptr_t) { return 1; }
void CExecutionComponent::OnSetValue(std::uint32_t) {}
int CExecutionComponent::bForward6(std::intptr_t) { return 0; }

namespace {

std::intptr_t AskService(PFN_EXECUTION execution, std::intptr_t service) {
  return execution(HOST_SERVICE_QUERY, service, 0, 0);
}

}  // namespace

bool bHostServicesBound() { return gpExecutionComponent && gpExecutionComponent->m_pfnHostExecution; }

PFN_EXECUTION pBindHostExecution(platform::ModuleHandle hostModule) {
  return reinterpret_cast<PFN_EXECUTION>(platform::FindModuleEntry(hostModule, "Execution"));
}

int bBindHostServices(platform::ModuleHandle hostModule, std::uintptr_t service7) {
  CExecutionComponent* component = gpExecutionComponent;
  if (hostModule) {
    component->m_hHostModule = hostModule;
    const PFN_EXECUTION execution = pBindHostExecution(hostModule);
    if (!execution) return 0;
    gpHostService9 = reinterpret_cast<IHostStateService*>(AskService(execution, HOST_SERVICE_STATE));
    gnHostService10 = AskService(execution, 10);
    gpHostLocale = reinterpret_cast<IHostLocaleService*>(AskService(execution, HOST_SERVICE_LOCALE));
    gpHostStringAllocator =
        reinterpret_cast<IHostStringAllocator*>(AskService(execution, HOST_SERVICE_STRING_ALLOCATOR));
    gnHostService15 = AskService(execution, 15);
    component->m_pfnHostExecution = execution;

    gnHostService7 = service7 ? static_cast<std::intptr_t>(service7) : AskService(execution, HOST_SERVICE_7);
    gnHostService1 = AskService(execution, 1);
    gnHostService5 = AskService(execution, 5);
    gnHostProductValue = static_cast<std::uint32_t>(AskService(execution, HOST_SERVICE_PRODUCT_VALUE));
    // A runtime that has no product name answers 0; the default name stays, so the text is never null.
    if (const std::intptr_t name = AskService(execution, HOST_SERVICE_PRODUCT_NAME)) {
      gpHostProductName = reinterpret_cast<const void*>(name);
    }
    gnHostService4 = AskService(execution, 4);
    const auto level = static_cast<std::uint32_t>(AskService(execution, HOST_SERVICE_LEVEL));
    if (level > gnHostServiceLevel) gnHostServiceLevel = level;
    gnHostService14 = AskService(execution, 14);
  }
  return component->bStart();
}

std::intptr_t nExecutionAttach(const SExecutionAttachRecord* record) {
  // A record too short to hold the two attach words is refused rather than read past its end.
  if (!record || record->nSize < EXECUTION_ATTACH_MIN_SIZE) return 0;
  const std::uintptr_t service7 = record->nSize >= EXECUTION_ATTACH_FULL_SIZE ? record->nService7 : 0;
  if (!gpExecutionComponent) {
    gpExecutionComponent = new (std::nothrow) CExecutionComponent();
    if (!gpExecutionComponent) return 0;
    if (!bBindHostServices(record->hHostModule, service7)) return 0;
  } else if (!bHostServicesBound() && record->hHostModule) {
    // An earlier attach left the services unbound (no module, or a module without Execution): without a string
    // allocator every runtime string would fail, so the binding is tried again as soon as a module is offered.
    if (!bBindHostServices(record->hHostModule, service7)) return 0;
  }
  gpExecutionComponent->OnAttach(record->nAttachWord1, record->nAttachWord2);
  ++gnExecutionAttachCount;
  return 1;
}

std::intptr_t nExecutionDetach(std::intptr_t argument1, std::intptr_t argument2, std::intptr_t argument3) {
  if (gnExecutionAttachCount > 0) {
    if (gnExecutionAttachCount-- > 1) return 1;
  }
  if (!gpExecutionComponent) return 1;
  gpExecutionComponent->m_bTerminating = 1;
  gpExecutionComponent->OnDetach(argument1, argument2, argument3);
  delete gpExecutionComponent;
  gpExecutionComponent = nullptr;
  return 1;
}

std::intptr_t nExecutionQueryState(std::intptr_t argument) {
  if (!gpHostService9 || gpHostService9->nQueryState(argument) < 2) return 1;
  if (!gpExecutionComponent) return 1;
  return gpExecutionComponent->nQueryState(argument) > 0 ? 1 : 2;
}

int bBindQueryProxy(platform::ModuleHandle hostModule) {
  using PFN_QUERY_PROXY = IHostProxy* (*)(std::int32_t);
  const auto queryProxy = reinterpret_cast<PFN_QUERY_PROXY>(platform::FindModuleEntry(hostModule, "pQueryProxy"));
  if (!queryProxy) return 0;
  gpHostProxy = queryProxy(102);
  return 1;
}

extern "C" std::intptr_t Execution(std::uint32_t code, std::intptr_t argument1, std::intptr_t argument2,
                                   std::intptr_t argument3) {
  switch (code) {
    case EXECUTION_ATTACH:
      return nExecutionAttach(reinterpret_cast<const SExecutionAttachRecord*>(argument1));
    case EXECUTION_DETACH:
      return nExecutionDetach(argument1, argument2, argument3);
    case EXECUTION_SET_HOST_OBJECT:
      gpHostLocale = reinterpret_cast<IHostLocaleService*>(argument1);
      return 1;
    case EXECUTION_FORWARD_3:
      if (gpExecutionComponent) gpExecutionComponent->OnForward3(argument1, argument2, argument3);
      return 1;
    case EXECUTION_QUERY_STATE:
      return nExecutionQueryState(argument1);
    case EXECUTION_SET_VALUE:
      gnHostProductValue = static_cast<std::uint32_t>(argument1);
      if (gpExecutionComponent) gpExecutionComponent->OnSetValue(gnHostProductValue);
      return 1;
    case EXECUTION_FORWARD_6:
      return gpExecutionComponent && gpExecutionComponent->bForward6(argument1) ? 1 : 0;
    default:
      return 0;
  }
}
