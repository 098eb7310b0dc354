// The process-wide one-entry cache of the last table found by a runtime file handle: the handle's context and file
// identifiers and the table, without a reference. Every access interface reads it; whatever takes a table away
// (its unregistration, its destruction, the emptying of its registry) must forget it here first, or the next lookup
// would reach a closed or freed table. Read and written under gcsDriverLock only.
#pragma once

#include <cstdint>

#include "sql/driver_services.h"

class CTable;

extern std::uint64_t gnCachedContextId;
extern std::uint64_t gnCachedFileId;
extern CTable* gpCachedTable;
