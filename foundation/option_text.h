// Option texts: pairs of a key, "=" and a value separated by ";" (the connection's ExtendedInformation and the
// Oracle session options). Keys are found case-insensitively through the runtime's case mapping, as a plain
// substring search; a key not followed by "=" is passed over.
#pragma once

#include <cstddef>

#include "foundation/t_string.h"

// 1 when the key is found; then the positions of the key, of the value and of the end of the value (before the
// next ";" or at the end of the text).
int bFindOption(const CTString& text, const char16_t* key, std::size_t& keyStart, std::size_t& valueStart,
                std::size_t& valueEnd);

// Reads the key's value (trailing blanks removed) and, with bRemove, cuts the pair, its separator and the blanks
// around it out of the text. A missing key leaves the value empty and bFound 0; the answer is 1.
int bExtractOption(CTString& value, int& bFound, CTString& text, const char16_t* key, int bRemove);
