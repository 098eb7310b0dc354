// Number <-> text conversions. Text is parsed by the C runtime's atof / atoi rules after conversion to page 1252;
// the decimal writers need 21 units of room (20 digits and a sign) plus the terminator.
#pragma once

#include <cstdint>

double dWideToDouble(const char16_t* text);
std::int32_t nWideToInt(const char16_t* text);

char16_t* pszU64ToDecimalW(std::uint64_t value, char16_t* out);
char* pszU64ToDecimalA(std::uint64_t value, char* out);
char16_t* pszI64ToDecimalW(std::int64_t value, char16_t* out);
char* pszI64ToDecimalA(std::int64_t value, char* out);
