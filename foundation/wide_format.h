// printf-style formatting over char16_t with the rules of the Windows wide functions: "%s" and "%c" take wide text,
// "%S" and "%C" narrow text (page 1252), "h" and "l" force narrow and wide; integer sizes "h", "hh", "l" (32 bits),
// "ll" and "I64" (64 bits), "I32", and "I" (pointer size); "F", "L" (a long double is a double) and "N" are skipped;
// "%n" consumes its pointer and stores nothing. The estimate and the formatter read a format through the same parser,
// so the estimate is an upper bound of what the formatter writes for the same arguments.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

// An upper bound of the units the format writes with these arguments (without the terminator).
std::uint64_t nEstimateFormatLength(const char16_t* format, va_list arguments);

// Writes at most size - 1 units and a terminator (nothing when size is 0); answers the units written.
std::size_t nFormatWideV(char16_t* out, std::size_t size, const char16_t* format, va_list arguments);
