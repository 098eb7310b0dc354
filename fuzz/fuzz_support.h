// What the fuzz targets share: the property check that names its line, and the runtime's start as the driver sees
// it (library, locale and string services, conversions, the driver object).
#pragma once

#include <cstdio>
#include <cstdlib>

#include "foundation/host_locale.h"
#include "host/host_services.h"
#include "host/library_entry.h"
#include "host/value_entry_points.h"
#include "standin/runtime/runtime_standin.h"

extern "C" void* piQueryInterface();

// A broken property names its line before the abort, so that a reproduced input says which one.
#define Check(condition)                                                      \
  do {                                                                        \
    if (!(condition)) {                                                       \
      std::fprintf(stderr, "property broken at %s:%d\n", __FILE__, __LINE__); \
      std::abort();                                                           \
    }                                                                         \
  } while (0)

// The driver started against the runtime stand-in, as the runtime starts it.
inline void StartDriverOnRuntimeStandIn() {
  bInitLibrary(nullptr);
  gpHostLocale = static_cast<IHostLocaleService*>(qzrt::LocaleService());
  gpHostStringAllocator = static_cast<IHostStringAllocator*>(qzrt::StringAllocator());
  bInitKXConvFromVM(qzrt::ModuleHandle(), 2, 2);
  bInitKXCalcFromVM(qzrt::ModuleHandle(), 2, 2);
  piQueryInterface();  // the driver object that makes the column descriptors
}
