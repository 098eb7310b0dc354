// Binds the runtime stand-in's locale service and string allocator for one test scope, or leaves them unbound, and
// restores what was there.
#pragma once

#include "host/host_services.h"
#include "standin/runtime/runtime_standin.h"

class CBoundRuntimeServices {
 public:
  explicit CBoundRuntimeServices(bool bound = true)
      : m_savedLocale(gpHostLocale), m_savedAllocator(gpHostStringAllocator) {
    qzrt::Reset();
    gpHostLocale = bound ? static_cast<IHostLocaleService*>(qzrt::LocaleService()) : nullptr;
    gpHostStringAllocator = bound ? static_cast<IHostStringAllocator*>(qzrt::StringAllocator()) : nullptr;
  }
  ~CBoundRuntimeServices() {
    qzrt::Reset();
    gpHostLocale = m_savedLocale;
    gpHostStringAllocator = m_savedAllocator;
  }
  CBoundRuntimeServices(const CBoundRuntimeServices&) = delete;
  CBoundRuntimeServices& operator=(const CBoundRuntimeServices&) = delete;

 private:
  IHostLocaleService* m_savedLocale;
  IHostStringAllocator* m_savedAllocator;
};
