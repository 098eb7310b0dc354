// The fuzzers run without a runtime: no locale service is bound, so texts are compared and mapped by the library's
// own rules, as the driver does before the runtime binds one.
#include "host/host_services.h"

IHostLocaleService* gpHostLocale = nullptr;
