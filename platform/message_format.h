// Message texts with inserts, and the system's texts for error codes, as FormatMessageW makes them with an allocated
// buffer: the caller releases every text it receives with FreeMessageText.
#pragma once

#include <cstdarg>
#include <cstdint>

namespace platform {

// FormatMessageW(ALLOCATE_BUFFER | FROM_STRING, pattern, 0, 0, &out, 0, arguments). Inserts are %1 to %99, each
// optionally with a printf-style format between '!' marks (the default is !s!, a UTF-16 text; !S! is a narrow
// text); %0 ends the text, %n is a line break, %% %. %! %space %t and %r stand for their character. The arguments
// are read in the order of their numbers, each as its insert's format says. Answers the characters produced
// without the terminator; 0 on failure, *out then null and the last error set (87 for a malformed pattern).
std::uint32_t FormatMessageFromPattern(const char16_t* pattern, va_list* arguments, char16_t** out);

// FormatMessageW(ALLOCATE_BUFFER | IGNORE_INSERTS | FROM_SYSTEM, code, 0x400): the system's text for a Windows
// error code, ending with "\r\n" as the system words it. 0 and a null text when the system has none.
std::uint32_t FormatSystemMessage(std::uint32_t code, char16_t** out);

// LocalFree of a text made by the two functions above; null is ignored.
void FreeMessageText(char16_t* text);

}  // namespace platform
