// Binding of the runtime's value conversion and calculation entry points. Until the value layer is built, binding
// answers failure so that the runtime does not go on as if conversions were available.
#include <cstdint>

#include "host/export.h"
#include "platform/module.h"

extern "C" {
QZ_EXPORT int bInitKXConvFromVM(platform::ModuleHandle /*hostModule*/, std::int32_t /*a*/, std::int32_t /*b*/) {
  return 0;
}
QZ_EXPORT int bInitKXCalcFromVM(platform::ModuleHandle /*hostModule*/, std::int32_t /*a*/, std::int32_t /*b*/) {
  return 0;
}
}
