// The maps between the runtime's value type codes and the driver's column type codes, as the value items use them.
// engine/record/column_types.cpp defines them beside the column type codes.
#pragma once

#include <cstdint>

// The runtime type a column type's values cross the interface in; 0 for 0, 8 and unknown codes. The size is not read
// (callers pass -1).
std::uint16_t nHostTypeOfColumnType(std::uint32_t columnType, std::int32_t size);

// The column type that holds a runtime type; 0 for a runtime type without one.
std::uint32_t nColumnTypeFromHostType(std::uint16_t hostType);
