// Sortable keys: the key indexes and the B+tree compare keys with a plain byte comparison, so every value is turned
// into key bytes whose byte order is the order of the values (integers with the sign bit flipped and the most
// significant byte first, reals mapped so that negatives come first, dates year first, texts in a zero-padded field,
// UTF-16 units high byte first).
// A value's kind is its key type, given for a runtime type code by nHostTypeCategory. The encoders read plain input
// bytes in the runtime's memory form and write into the caller's buffer; nothing here owns memory.
#pragma once

#include <cstdint>

enum ESortKeyType : int {
  SORT_KEY_TEXT = 1,           // 8-bit and fixed digit texts
  SORT_KEY_INT8 = 2,
  SORT_KEY_INT16 = 3,
  SORT_KEY_INT32 = 4,          // also every type code without a key type of its own
  SORT_KEY_INT64 = 5,
  SORT_KEY_FLOAT = 6,
  SORT_KEY_DOUBLE = 7,
  SORT_KEY_UINT8 = 8,
  SORT_KEY_UINT16 = 9,
  SORT_KEY_UINT32 = 10,
  SORT_KEY_UINT64 = 11,
  SORT_KEY_TEXT_PLAIN = 12,    // laid out as SORT_KEY_TEXT; no runtime type uses it
  SORT_KEY_BUFFER_REF = 13,    // no key
  SORT_KEY_CURRENCY = 14,
  SORT_KEY_DATETIME = 15,
  SORT_KEY_VALUE8 = 16,        // as SORT_KEY_INT64
  SORT_KEY_BINARY = 17,        // lower-case hexadecimal
  SORT_KEY_ACHAR = 18,
  SORT_KEY_UINT32_RAW = 19,    // its first byte only
  SORT_KEY_HEAP_WTEXT = 20,
  SORT_KEY_WSTRING = 21,
  SORT_KEY_PROXY = 22,         // written by the runtime's proxy
};

// Bytes of a key of type SORT_KEY_PROXY.
inline constexpr std::uint32_t kProxySortKeySize = 32;

// The key type of a runtime type code (the low byte of a value's type word).
int nHostTypeCategory(std::uint32_t typeCode);

// Writes the key of `length` input bytes of the given key type into `buffer` of `size` bytes and answers the number
// of key bytes written (0 for none). Input narrower than its key type reads as zero-extended; a buffer too small for
// a fixed-width key gets nothing. `workSize` (always 10240) does not change the result; `a` and `b` only reach the
// runtime's proxy for SORT_KEY_PROXY.
std::uint32_t nEncodeSortKey(std::uint8_t* buffer, std::uint32_t size, const void* data, std::uint32_t length,
                             int keyType, std::uint32_t workSize, std::int32_t a, std::int32_t b);

// The buffer size a key of that type and input length needs.
std::uint32_t nGetSortKeySizeForKeyType(int keyType, std::uint32_t length);
std::uint32_t nGetSortKeySize(std::uint32_t typeCode, std::uint32_t length);

// Keys of SORT_KEY_PROXY come from the runtime's proxy interface, which the value layer binds: it installs a writer
// that makes a handle, hands it a, b and the data, lets it write the 32 key bytes and gives the handle back. Until
// one is installed such keys are empty.
using PFN_PROXY_SORT_KEY = void (*)(std::uint8_t* buffer, const void* data, std::int32_t a, std::int32_t b);
extern PFN_PROXY_SORT_KEY gpfnProxySortKey;
