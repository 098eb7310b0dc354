// The library's life cycle and compatibility handshake, and the process-wide globals every operation relies on: the
// instance handle, the one process-wide lock and the driver object last handed to the runtime.
#pragma once

#include <cstdint>

#include "host/export.h"
#include "platform/critical_section.h"
#include "platform/module.h"

class CDriver;

// Kinds and versions of the compatibility handshake.
enum : std::int32_t {
  DLL_KIND_HOST_VM = 7,    // the runtime's virtual machine
  DLL_KIND_HOST_SQL = 28,  // the runtime's SQL engine library
};
enum : std::uint32_t {
  DRIVER_VM_VERSION = 23,       // what the driver answers for kind 7
  MIN_HOST_VM_VERSION = 18,     // the oldest virtual machine the driver works with
  MIN_HOST_SQL_VERSION = 23,    // the oldest SQL engine library the driver works with
};

extern std::int32_t gnInitCount;
extern platform::ModuleHandle ghInstance;
extern platform::CriticalSection gcsDriverLock;
extern std::uint32_t gnHostVmVersion;
extern std::uint32_t gnHostSqlVersion;
extern CDriver* gpDriver;

// The module entry's process-attach work: bInitLibrary on process attach (reason 1), nothing otherwise.
int DllProcessAttach(platform::ModuleHandle instance, std::uint32_t reason, void* reserved);

extern "C" {
QZ_EXPORT int bInitLibrary(platform::ModuleHandle instance);
QZ_EXPORT int bDLLCompatible(std::int32_t kind, std::uint32_t version, std::uint32_t* out);
QZ_EXPORT void TermLibrary(void* unused);
}
