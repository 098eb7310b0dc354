// The process-wide one-entry cache of the last table found by a runtime file handle: the handle's context and file
// identifiers, the table and the table registry it was found in, without references. Every access interface reads
// it, but only an interface of the driver object that owns that registry may be served from it: the identifiers
// alone name a table only within one driver object. Whatever takes a table or a registry away (the table's
// unregistration or destruction, the registry leaving its driver's map or its destruction) must forget it here first,
// or the next lookup would reach a closed or freed table. Read and written under gcsDriverLock only.
#pragma once

#include <cstdint>

#include "sql/driver_services.h"

class CTable;
class CTableRegistry;

extern std::uint64_t gnCachedContextId;
extern std::uint64_t gnCachedFileId;
extern CTable* gpCachedTable;
extern CTableRegistry* gpCachedRegistry;
