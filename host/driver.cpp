// The driver object's creation. Until the driver object is built, the runtime is told plainly that none can be made.
#include "host/export.h"

extern "C" QZ_EXPORT void* piQueryInterface() { return nullptr; }
