// The free of a LOB locator, for the Oracle column: its failures carry the column's own identification, not the
// call wrappers' unit, because the column frees its locator where no statement is running (at destruction too).
#pragma once

#include <cstdint>

class CErrorHolder;
class COracleConnection;

// OCIDescriptorFree of the descriptor with its type. A missing entry gives error 1040 naming it, any other exception
// from the client error 23 ("Oracle") handled as every call wrapper handles one; both at unit.point, in the holder
// (dumped and dropped without one). 1 when the client was called.
int nOciFreeDescriptorAt(COracleConnection* connection, CErrorHolder* holder, void* descriptor, std::uint32_t type,
                         std::uint32_t unit, std::uint32_t point);
