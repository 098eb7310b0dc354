// The runtime values of a packed composite key value: one new value per component present, of the component's host
// type, made from the component's bytes (SplitPackedKey, packed_key.h). The key conditions build the components from
// their columns and search on the values. The list owns the values it holds.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "host/host_value.h"
#include "sql/conditions/packed_key.h"

using CKeyValueList = std::vector<std::unique_ptr<CHostValue>>;

// Appends the values of the components found in `packed` (nothing for a NULL value or one without data). A minimum
// or maximum filler in the last component sets isMin or isMax (both false otherwise): a number then takes its
// type's limit, a text keeps the filler's bytes. A number cut in the middle ends the values before it. False when a
// value cannot be made (a decimal without the runtime's proxy, a runtime string without its allocator); the values
// appended until then stay in the list.
bool bSplitKeyValue(const SKeyComponent* components, std::size_t count, CHostValue& packed, CKeyValueList& values,
                    bool& isMin, bool& isMax, bool limits);
