// Small text helpers every layer shares: character tests, in-place trims, bounded lengths and copies, and heap
// copies of texts. Sizes are in units and include the terminator; a null source reads as "". Heap texts come from
// pszAlloc*/pszDup* and are freed with FreeText; each answers null when memory cannot be obtained.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::uint64_t TEXT_WHOLE = 0xFFFFFFFFFFFFFFFFull;  // "the whole text" for the N copies

int bIsBlankChar(char16_t unit);  // 9, 10, 13, 32
int bIsDigitW(char16_t unit);
int bIsAllDigitsW(const char16_t* text);  // "" counts as all digits
int nDigitValueW(char16_t unit);
// White space as the C runtime's iswspace defines it (the control blanks and the Unicode space separators).
int bIsWhiteSpaceW(char16_t unit);

void TrimRightW(char16_t* text);
void TrimLeftW(char16_t* text);
void TrimW(char16_t* text);

std::size_t nLengthW(const char16_t* text);
std::size_t nBoundedLengthW(const char16_t* text, std::int64_t n);
std::size_t nBoundedLengthA(const char* text, std::int64_t n);
inline std::size_t nBoundedLengthNW(const char16_t* text, std::int64_t n) { return nBoundedLengthW(text, n); }
inline std::size_t nBoundedLengthNA(const char* text, std::int64_t n) { return nBoundedLengthA(text, n); }

std::size_t nCopyBoundedW(char16_t* dst, std::size_t size, const char16_t* src);
std::size_t nCopyBoundedNW(char16_t* dst, std::size_t size, const char16_t* src, std::uint64_t n);
std::size_t nCopyBoundedA(char* dst, std::size_t size, const char* src, std::uint64_t n);
inline std::size_t nCopyBoundedW2(char16_t* dst, std::size_t size, const char16_t* src, std::uint64_t n) {
  return nCopyBoundedNW(dst, size, src, n);
}
void AppendBoundedW(char16_t* dst, std::size_t size, const char16_t* src);
void AppendBoundedNW(char16_t* dst, std::size_t size, const char16_t* src, std::uint64_t n);
// n 0xFFFFFFFF: the text with its terminator. Size 0 answers that count without copying; else min(n, size) units
// are copied (no terminator added) and their number answered.
std::uint32_t nCopyWideBounded(const char16_t* src, std::uint32_t n, char16_t* dst, std::uint32_t size);

char16_t* pszAllocW(std::size_t n);
char* pszAllocA(std::size_t n);
char16_t* pszDupW(const char16_t* text);
char* pszDupA(const char* text);
char16_t* pszDupNW(std::size_t n, const char16_t* text);
char* pszDupNA(std::size_t n, const char* text);
char16_t* pszReallocW(char16_t* text, std::size_t n);  // n + 1 units, contents kept; null on failure (text kept)
void FreeText(void* text);
