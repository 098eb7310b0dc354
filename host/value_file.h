// Value files: a whole runtime value saved into a file or loaded from one (the large texts and binary values a column
// saves or loads), read in blocks of 16384 bytes. Failures go to the caller's error holder: error 15 with the file
// name and the system's text for a file that cannot be opened, read or written, error 12 with the identification
// record for a block that cannot be allocated, the out-of-memory error for a value that cannot be sized, and error 61
// for a value whose type has no bytes to save.
#pragma once

#include <cstdint>

class CErrorHolder;
class CHostValue;
class CValueItem;

inline constexpr std::uint32_t VALUE_FILE_BLOCK_SIZE = 16384;

// The file's bytes become a binary value (type 28) or an 8-bit text (type 19), flags cleared; an empty file gives
// an empty value of that type.
int bLoadValueFromFileImpl(CHostValue& value, const char16_t* fileName, CErrorHolder* holder, int binary);
// The value's bytes, a text with its terminator, replace the file's content. A value that has no bytes to save
// leaves the file as it was.
int bSaveValueToFileImpl(CHostValue& value, const char16_t* fileName, CErrorHolder* holder);

int bLoadValueFromFile(CValueItem* item, const char16_t* fileName, CErrorHolder* holder, int binary);
int bSaveValueToFile(CValueItem* item, const char16_t* fileName, CErrorHolder* holder);
