// The value operations the rest of the driver uses on runtime values, over the runtime's entry points: in-place
// conversion, comparisons with NULL handling (members of CHostValue), the text dumps of values for error and debug
// texts, and the sortable key of a value.
#pragma once

#include <cstdint>

#include "host/host_value.h"

class CHostWString;
class CTString;

// The bytes of the key of `value` as type `type` (0: the value's own type) into `*buffer` of `size` bytes; a size
// of 0 allocates a buffer of the key's size (freed with std::free) and hands it back through `*buffer`. A NULL or
// empty value is first made an empty text of type 110 (the caller's value itself). `a` and `b` are the precision
// before the point and the scale, used by runtime decimals. Answers the key bytes written.
std::uint32_t nEncodeValueSortKey(CHostValue& value, std::uint8_t** buffer, std::uint32_t size, std::uint8_t type,
                                  std::int32_t a, std::int32_t b);

// The text of a value for error and debug texts, into a runtime string after `prefix` (null or empty for none):
// "<Empty>" for type 0, "<NULL>" for a NULL value, else the value converted to text; with details, preceded by
// "Type=%d, Len=%d, Value=" (type code, size with terminator) and followed by ", Value(binary)=" and up to 500 bytes
// of the data in hexadecimal. What cannot be shown becomes "<ERROR>" and its code is answered; otherwise 0.
std::int32_t nDumpTextFull(CHostWString& out, CHostValue* value, const char16_t* prefix, int details);
// As nDumpTextFull without a prefix; a missing value dumps as "<NULL>". `reserved` is not read.
std::int32_t nDumpText(CHostWString& out, CHostValue* value, const void* reserved, int details);
// The same dump into a CTString.
std::int32_t nDumpInto(CTString& out, CHostValue* value, const void* reserved, int details);
inline std::int32_t Dump(CTString& out, CHostValue* value, int details) {
  return nDumpInto(out, value, nullptr, details);
}
