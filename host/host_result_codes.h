// Result codes of the runtime's value and string operations, unsigned 32-bit words: 0 is success and any code of
// 100 or more a failure, 0x80000000 and above included.
// Codes an allocator answers are passed back as they come.
#pragma once

#include <cstdint>

enum : std::uint32_t {
  HOST_OK = 0,
  HOST_ERR_FIRST = 100,  // this code and every one above is a failure
  HOST_ERR_NOT_SUPPORTED = 102,
  HOST_ERR_NULL_OPERAND = 103,  // an operand of a comparison is NULL
  HOST_ERR_CANNOT_CONVERT = 105,
  HOST_ERR_TOO_LONG = 108,
};
