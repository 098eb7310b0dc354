// The vocabulary of the runtime's typed values, shared by both sides of the boundary: the type codes (the low byte
// of a value's type word) and the two flags the type word carries. Value operations answer the result codes of
// host_result_codes.h: any code of 100 or more is a failure, codes below 100 are successes.
#pragma once

#include <cstdint>

#include "host/host_result_codes.h"

class CErrorHolder;

enum EHostType : std::uint8_t {
  HOST_TYPE_EMPTY = 0,
  HOST_TYPE_UINT32_RAW = 1,
  HOST_TYPE_UINT8 = 2,
  HOST_TYPE_UINT16 = 3,
  HOST_TYPE_UINT32 = 4,
  HOST_TYPE_UINT64 = 5,
  HOST_TYPE_INT8 = 6,
  HOST_TYPE_INT16 = 7,
  HOST_TYPE_INT32 = 8,
  HOST_TYPE_INT64 = 9,
  HOST_TYPE_CURRENCY = 10,
  HOST_TYPE_FLOAT = 11,
  HOST_TYPE_DOUBLE = 12,
  HOST_TYPE_PROXY_HANDLE = 13,
  HOST_TYPE_INT64_ALT = 14,
  HOST_TYPE_WSTRING = 16,
  HOST_TYPE_ACHAR = 17,
  HOST_TYPE_ASTRING = 18,
  HOST_TYPE_TEXT_BUFFER = 19,
  HOST_TYPE_WDATE = 24,
  HOST_TYPE_WTIME = 25,
  HOST_TYPE_DATETIME = 26,
  HOST_TYPE_VALUE8 = 27,
  HOST_TYPE_BINARY_BUFFER = 28,
  HOST_TYPE_PAIR29 = 29,
  HOST_TYPE_OBJECT30 = 30,
  HOST_TYPE_OBJECT50 = 50,
  HOST_TYPE_OBJECT65 = 65,
  HOST_TYPE_WCHAR = 81,
  HOST_TYPE_VALUE_ARRAY = 83,
  HOST_TYPE_OBJECT108 = 108,
  HOST_TYPE_TEXT = 110,
  HOST_TYPE_OBJECT111 = 111,
  HOST_TYPE_ADATE = 128,
  HOST_TYPE_ATIME = 129,
};

inline constexpr std::uint16_t HOST_TYPE_CODE_MASK = 0x00FF;
inline constexpr std::uint16_t HOST_VALUE_FLAG_NULL = 0x0100;
inline constexpr std::uint16_t HOST_VALUE_FLAG_MARKED = 0x0400;  // carried along with NULL, never tested by the driver
inline constexpr std::uint16_t HOST_VALUE_FLAGS = HOST_VALUE_FLAG_NULL | HOST_VALUE_FLAG_MARKED;
inline constexpr std::uint16_t HOST_VALUE_CLEAR_FLAGS_MASK = 0xFAFF;

inline bool bHostFailed(std::uint32_t code) { return code >= HOST_ERR_FIRST; }

// A text or bytes stored into a value or a runtime string are kept only when the store answers HOST_OK: the
// runtime's allocator answers its refusal with a code of its own, below the failure codes, and leaves the value
// without them (empty, or as it was), so a store is never judged by bHostFailed.
inline bool bHostStored(std::uint32_t code) { return code == HOST_OK; }
// 1 for a store kept; otherwise 0, with the holder told of the memory refused when the allocator answered (a failure
// code is left for the caller to tell as its own error).
int bHostStoredOrOutOfMemory(std::uint32_t code, CErrorHolder* holder);
