#include "host/library_entry.h"

// All zero at load: the first bInitLibrary, whoever calls it, creates what the others rely on.
std::int32_t gnInitCount = 0;
platform::ModuleHandle ghInstance = nullptr;
constinit platform::CriticalSection gcsDriverLock{};
std::uint32_t gnHostVmVersion = 0;
std::uint32_t gnHostSqlVersion = 0;
CDriver* gpDriver = nullptr;

int DllProcessAttach(platform::ModuleHandle instance, std::uint32_t reason, void* /*reserved*/) {
  constexpr std::uint32_t kProcessAttach = 1;
  if (reason != kProcessAttach) return 1;
  return bInitLibrary(instance);
}

extern "C" {

int bInitLibrary(platform::ModuleHandle instance) {
  // The module entry calls this before the runtime does; only that first call may create the lock, since a second
  // creation would reset a lock some thread could already hold.
  if (++gnInitCount < 2) {
    ghInstance = instance;
    gnHostVmVersion = 0;
    gnHostSqlVersion = 0;
    gcsDriverLock.Initialize();
  }
  return 1;
}

int bDLLCompatible(std::int32_t kind, std::uint32_t version, std::uint32_t* out) {
  switch (kind) {
    case DLL_KIND_HOST_VM:
      gnHostVmVersion = version;
      if (out) *out = DRIVER_VM_VERSION;
      return version >= MIN_HOST_VM_VERSION ? 1 : 0;
    case DLL_KIND_HOST_SQL:
      gnHostSqlVersion = version;
      if (out) *out = static_cast<std::uint32_t>(DLL_KIND_HOST_SQL);
      return version >= MIN_HOST_SQL_VERSION ? 1 : 0;
    default:
      return 0;
  }
}

void TermLibrary(void* /*unused*/) {}

}  // extern "C"
