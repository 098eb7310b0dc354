// Wrappers around the runtime's string and locale service (gpHostLocale): its character set and language, and the
// case folding and comparison used for names and option keys. Without a bound service (the runtime attached
// without a module, or never) each falls back to ASCII case folding, so names still match and nothing crashes.
#pragma once

#include <cstdint>

inline constexpr std::uint32_t HOST_LOCALE_USER_DEFAULT = 0x400;
inline constexpr std::uint32_t HOST_COMPARE_IGNORE_CASE_AND_MARKS = 3;
inline constexpr std::uint32_t HOST_LANGUAGE_FRENCH = 1036;

// The runtime's character-set id (127 reads as 0); 0 without a service. Feed it to nCharsetToCodePage.
std::uint32_t nGetHostCharset();
// The runtime's language id; 0 without a service (callers use 1036 then).
std::uint32_t nGetHostLanguageId();
// Maps every unit of the text in place, one unit in, one unit out (the service's case mapping).
void MapCharsThroughHost(char16_t* text);
// 0 when the texts are equal ignoring case and non-spacing marks.
std::int32_t nHostCompareNoCase(const char16_t* a, const char16_t* b);
// Folds source into out (size units) as the service's French mapping with flags 3; answers what the service does:
// the units written with the terminator, 0 when out is too small.
std::int32_t HostMapStringFrench(std::intptr_t unused, char16_t* out, std::int32_t size, const char16_t* source);
