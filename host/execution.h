// The runtime's attach protocol through the exported Execution entry, and the runtime services it binds: the first
// attach asks the runtime module's own Execution for each service in a fixed order and keeps the answers; attaches
// are counted and the last detach ends what the first attach built.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/export.h"
#include "host/host_services.h"
#include "platform/module.h"

enum : std::uint32_t {
  EXECUTION_ATTACH = 3985,
  EXECUTION_DETACH = 4875,
  EXECUTION_SET_HOST_OBJECT = 4878,
  EXECUTION_FORWARD_3 = 4879,
  EXECUTION_QUERY_STATE = 4963,
  EXECUTION_SET_VALUE = 5123,
  EXECUTION_FORWARD_6 = 5238,
  HOST_SERVICE_QUERY = 3053,  // asked of the runtime's own Execution
};

enum : std::intptr_t {
  HOST_SERVICE_STATE = 9,
  HOST_SERVICE_LOCALE = 12,
  HOST_SERVICE_STRING_ALLOCATOR = 13,
  HOST_SERVICE_PRODUCT_VALUE = 2,
  HOST_SERVICE_PRODUCT_NAME = 3,
  HOST_SERVICE_LEVEL = 8,
  HOST_SERVICE_7 = 7,
};

// The runtime's Execution entry, and ours: a code and three pointer-size arguments.
using PFN_EXECUTION = std::intptr_t (*)(std::uint32_t code, std::intptr_t argument1, std::intptr_t argument2,
                                        std::intptr_t argument3);

// The record the runtime attaches with. Natural alignment: 32 bytes on 64-bit builds (the service-7 value at 24).
struct SExecutionAttachRecord {
  std::uint32_t nSize;
  void* hHostModule;  // the runtime module whose Execution serves the services; may be null
  std::uint32_t nAttachWord1;
  std::uint32_t nAttachWord2;
  std::uintptr_t nService7;  // read only when nSize covers it
};
inline constexpr std::size_t EXECUTION_ATTACH_MIN_SIZE = offsetof(SExecutionAttachRecord, nService7);
inline constexpr std::size_t EXECUTION_ATTACH_FULL_SIZE = sizeof(SExecutionAttachRecord);

// The process-wide extension object of the attach protocol. Every operation has a default body; the slot order is
// fixed.
class CExecutionComponent final {
 public:
  virtual int bStart();                                                                         // slot 0
  virtual void OnAttach(std::uint32_t word1, std::uint32_t word2);                              // slot 1
  virtual void OnDetach(std::intptr_t argument1, std::intptr_t argument2, std::intptr_t argument3);  // slot 2
  virtual void OnForward3(std::intptr_t argument1, std::intptr_t argument2, std::intptr_t argument3);  // slot 3
  virtual int nQueryState(std::intptr_t argument);                                              // slot 4
  virtual void OnSetValue(std::uint32_t value);                                                 // slot 5
  virtual int bForward6(std::intptr_t argument);                                                // slot 6

  platform::ModuleHandle m_hHostModule = nullptr;
  PFN_EXECUTION m_pfnHostExecution = nullptr;
  std::int32_t m_bTerminating = 0;
};

extern CExecutionComponent* gpExecutionComponent;
extern std::uint32_t gnExecutionAttachCount;

// Services kept by the binding; null or zero until answered. Detach does not clear them. The locale service and
// the string allocator are declared with their interfaces (host/host_services.h).
extern IHostStateService* gpHostService9;
extern std::intptr_t gnHostService10;
extern std::intptr_t gnHostService15;
extern std::intptr_t gnHostService7;
extern std::intptr_t gnHostService1;
extern std::intptr_t gnHostService5;
extern std::intptr_t gnHostService4;
extern std::intptr_t gnHostService14;
extern std::uint32_t gnHostProductValue;
extern const void* gpHostProductName;
extern std::uint32_t gnHostServiceLevel;
extern IHostProxy* gpHostProxy;

std::intptr_t nExecutionAttach(const SExecutionAttachRecord* record);
std::intptr_t nExecutionDetach(std::intptr_t argument1, std::intptr_t argument2, std::intptr_t argument3);
std::intptr_t nExecutionQueryState(std::intptr_t argument);
int bBindHostServices(platform::ModuleHandle hostModule, std::uintptr_t service7);
PFN_EXECUTION pBindHostExecution(platform::ModuleHandle hostModule);
// Binds the runtime's proxy interface through its "pQueryProxy" export; 0 when the export is missing.
int bBindQueryProxy(platform::ModuleHandle hostModule);

// True once a runtime module's Execution has answered the service questions. Every user of a runtime service checks
// this (or the service pointer) and fails with an error instead of calling through a null pointer.
bool bHostServicesBound();

extern "C" QZ_EXPORT std::intptr_t Execution(std::uint32_t code, std::intptr_t argument1, std::intptr_t argument2,
                                             std::intptr_t argument3);
