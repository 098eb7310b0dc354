// Code-page and UTF-8 conversions over the platform's MultiByteToWide / WideToMultiByte. A code page is a Windows
// code page number: 65001 is UTF-8, CODE_PAGE_UTF16 marks text that is UTF-16 already, 1252 is the fixed ANSI page.
// Texts these functions allocate are freed with FreeText.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr std::uint32_t CODE_PAGE_ANSI = 1252;
inline constexpr std::uint32_t CODE_PAGE_UTF8 = 65001;
inline constexpr std::uint32_t CODE_PAGE_UTF16 = 0xFFFFFFFE;
inline constexpr std::uint64_t TEXT_ZERO_TERMINATED = 0xFFFFFFFFFFFFFFFEull;  // this or more: up to the terminator

// Windows character-set id -> ANSI code page; 0 for an id without one. A runtime in GB18030 or UTF-8, which no
// character-set id names, answers the page itself (54936, 65001).
std::uint32_t nCharsetToCodePage(std::uint32_t charset);

// Measures, allocates length + 1 units, converts (failing on invalid input) and terminates; 1 on success. On failure
// *text is null, *length 0, result 0.
int nCodePageToWideAlloc(const char* bytes, std::size_t n, std::uint32_t codePage, char16_t** text,
                         std::size_t* length);
// The zero-terminated UTF-16 text in the code page; *length counts the terminating zero. 0 and null on failure.
int nWideToCodePageAlloc(const char16_t* text, std::size_t unusedLength, char** out, std::size_t* length,
                         std::uint32_t codePage);
// A new UTF-16 text holding the n bytes converted, terminated behind the units converted (an empty input gives an
// allocated ""); null when memory fails or the page cannot convert.
char16_t* pszCodePageToNewWide(const char* bytes, std::uint64_t n, std::uint32_t codePage);

char16_t chCodePageToWide(char byte, std::uint32_t codePage);  // 0 when it does not convert
char chWideToCodePage(char16_t unit, std::uint32_t codePage);  // 0 when it is not exactly one byte

// UTF-8 <-> a code page through UTF-16; answer the bytes written into dst (no terminator), 0 on failure.
std::size_t nTranscodeUtf8ToCodePage(std::uint32_t codePage, const char* utf8, std::size_t n, char* dst,
                                     std::size_t size);
std::size_t nTranscodeCodePageToUtf8(std::uint32_t codePage, const char* bytes, std::size_t n, char* dst,
                                     std::size_t size);

// Copies n bytes of UTF-8 into dst in the code page (nCopyToCodePage), or n bytes of the code page into dst as
// UTF-8 (nCopyFromCodePage). ASCII is copied as it is and each run of other characters transcoded as a whole; dst
// is always terminated and its tail zero-filled; the answer is the bytes written, 0 when a run fails to convert.
std::size_t nCopyToCodePage(std::uint32_t codePage, const char* utf8, std::size_t n, char* dst, std::size_t size);
std::size_t nCopyFromCodePage(std::uint32_t codePage, const char* bytes, std::size_t n, char* dst, std::size_t size);

// 1 when every character of the text exists in the code page (no default character, no best fit); "" gives 1.
int bIsRepresentableInCodePage(const char16_t* text, std::uint32_t codePage);
// The check of systems older than NT 5.1: to the code page and back, compared unit by unit.
int bIsRepresentableByRoundTrip(const char16_t* text, std::uint32_t codePage);

// The bytes of the character that starts text[0..n) (n > 0) in the code page, by the page's own rules (a UTF-8
// sequence, a double-byte pair, a GB18030 character of two or four bytes), and in *units the UTF-16 units it converts
// to; an invalid byte is one character of one unit.
std::size_t nCharacterBytes(std::uint32_t codePage, const char* text, std::size_t n, std::size_t* units);

// How many of the first limit bytes of an n-byte text in the code page hold whole characters: where a text is cut to
// fit a buffer, it must not end in half a character.
std::size_t nWholeCharacterPrefix(std::uint32_t codePage, const char* text, std::size_t n, std::size_t limit);
// The same for UTF-16: at most limit of the n units, a surrogate pair kept whole or left out.
std::size_t nWholeUnitPrefix(const char16_t* text, std::size_t n, std::size_t limit);

int bIsNt51OrLater();
int bIsNt51OrLaterCached();

// n bytes of the code page as UTF-16, and n UTF-16 units in the code page; empty when nothing converts.
std::u16string WideOfCodePage(const char* bytes, std::uint64_t n, std::uint32_t codePage);
std::string NarrowOfCodePage(const char16_t* text, std::uint64_t n, std::uint32_t codePage);
