// The value operations the rest of the driver uses on runtime values, over the runtime's entry points: in-place
// conversion, comparisons with NULL handling (members of CHostValue), the text dumps of values for error and debug
// texts, and the sortable key of a value.
#pragma once

#include <cstdint>

#include "host/host_value.h"

// The bytes of the key of `value` as type `type` (0: the value's own type) into `*buffer` of `size` bytes; a size
// of 0 allocates a buffer of the key's size (freed with std::free) and hands it back through `*buffer`. A NULL or
// empty value is first made an empty text of type 110 (the caller's value itself). `a` and `b` are the precision
// before the point and the scale, used by runtime decimals. Answers the key bytes written; 0 when the value cannot
// be converted to the type.
std::uint32_t nEncodeValueSortKey(CHostValue& value, std::uint8_t** buffer, std::uint32_t size, std::uint8_t type,
                                  std::int32_t a, std::int32_t b);
