// The stand-in runtime's conversion and comparison engine over the storage of 36-byte runtime values: what its
// nConversionDepassementExt, FinConversion, nComparaisonEx and nEgaliteEx exports do. A value is read from its
// storage by type code into a common form (an exact decimal, a real, a UTF-16 text, a date-time or bytes) and
// written back as the target type. 8-bit texts are in the runtime's code page (runtime_code_page.h). Result codes:
// 0 done, 102 a type the engine does not convert (object references, arrays, buffer references as targets), 103 a
// NULL operand of a comparison, 105 a value that cannot be given as the target (text that is not a number, out of
// range, an invalid date), 108 a runtime string of 0x7FFFFF00 units or more.
//
// Native forms left in the 32-byte result area: the value itself for numbers, characters, currency, date-times and
// the digit texts of dates and times (terminated); a pointer for the rest: a decimal handle of the proxy (13), a
// heap text (18, 110) or a runtime string with one reference (16, 19, 28). Finish gives those back.
#pragma once

#include <cstdint>

namespace qzrt::engine {

std::int32_t Convert(const void* storage, std::uint32_t type, void* result, std::uint32_t target);
void Finish(void* result, std::uint32_t target);
// Three-way: -1, 0 or 1 through `out`. Numbers compare by value across types, texts by their UTF-16 units,
// date-times by date then time, bytes by their unsigned order; a text against a number or a date-time is read as one.
std::int32_t Compare(const void* storageA, std::uint32_t typeA, const void* storageB, std::uint32_t typeB,
                      std::int32_t* out);
std::int32_t Equal(const void* storageA, std::uint32_t typeA, const void* storageB, std::uint32_t typeB,
                    std::int32_t* out);

// The decimal separator of numbers converted to text ("." by default).
void SetDecimalSeparator(char16_t separator);

// How many conversions (nConversionDepassementExt calls) the engine has run.
std::uint64_t ConversionCount();

}  // namespace qzrt::engine
