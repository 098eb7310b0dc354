// The Quorvix runtime stand-in: a shared library that plays the runtime's side of the driver's boundary. It exports
// Execution (the service questions), pQueryProxy and the value conversion and calculation entry points as the
// runtime module does (value_exports.cpp, over the conversion engine of value_engine.h), owns the service objects
// and decimal handles that the driver calls by slot, and offers tests and the command-line host a C++ API to shape
// its answers and read back what the driver asked.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#if defined(_WIN32)
#if defined(QZRT_BUILDING)
#define QZRT_API __declspec(dllexport)
#else
#define QZRT_API __declspec(dllimport)
#endif
#else
#define QZRT_API __attribute__((visibility("default")))
#endif

namespace qzrt {

// The stand-in's own module handle: what a runtime puts in its attach record.
QZRT_API void* ModuleHandle();

// An attach record of exactly `size` bytes (24 leaves out the service-7 value, 32 carries it on 64-bit builds),
// laid out with the natural alignment of the build.
QZRT_API std::vector<unsigned char> MakeAttachRecord(std::uint32_t size, void* hostModule, std::uint32_t word1,
                                                     std::uint32_t word2, std::uintptr_t service7);

// The answer of the runtime's Execution(3053, service). By default services 9, 12 and 13 answer the stand-in's
// objects and every other service 0.
QZRT_API void SetServiceAnswer(std::intptr_t service, std::intptr_t answer);
QZRT_API void ResetServiceAnswers();

// The services asked, in the order of the questions, since the last clear.
QZRT_API std::vector<std::intptr_t> ServiceQuestions();
QZRT_API void ClearServiceQuestions();

// Service 9's operation 0: the answer it gives and the arguments it was asked with.
QZRT_API void SetStateAnswer(std::int32_t answer);
QZRT_API std::vector<std::intptr_t> StateQuestions();

// The service objects, as the driver receives them.
QZRT_API void* StateService();
QZRT_API void* LocaleService();
QZRT_API void* StringAllocator();
QZRT_API void* Proxy();

// The locale service's character-set id (slot 2, 0 by default) and language id (slot 15, 1036 by default).
QZRT_API void SetLocaleCharset(std::int32_t charset);
QZRT_API void SetLocaleLanguage(std::int32_t language);
// The runtime's code page: the page its conversions read and write 8-bit text in, the page its locale service
// gives a text (slot 3) and the character set it answers (slot 2, the id whose page it is: 0 for 1252, 128 for 932,
// the page itself for 54936 and 65001). 1252 by default.
QZRT_API void SetCodePage(std::uint32_t codePage);
// The decimal separator of numbers the conversions write as text: "." by default, "," as in a French locale.
QZRT_API void SetDecimalComma(bool comma);

// The string allocator: after `allowed` more successful allocations or reallocations every further one answers
// `code` (allowed -1: never fail, the default); without slack a string's block ends exactly at its capacity, so a
// write past it shows under AddressSanitizer; the number of strings allocated and not yet freed.
QZRT_API void FailStringAllocations(std::int32_t allowed, std::int32_t code = 8);
QZRT_API void SetStringAllocatorNoSlack(bool noSlack);
QZRT_API std::int64_t LiveStringCount();
// Marks a runtime string (the characters of one its allocator made; null does nothing) as the runtime marks a key
// value it filled up to the maximum, or takes the mark off.
QZRT_API void MarkStringMaximumFilled(void* string, bool filled = true);

// The kinds pQueryProxy was called with.
QZRT_API std::vector<std::int32_t> ProxyQuestions();

// The runtime's message-text callback, as the runtime hands it to CommandeComposante command 2: it answers the texts
// set here and has none for every other number.
using MessageCallbackFn = std::int32_t (*)(std::uint32_t message, char16_t* buffer, std::uint32_t capacity);
QZRT_API MessageCallbackFn MessageCallback();
QZRT_API void SetMessageText(std::uint32_t message, const std::u16string& text);
QZRT_API void ClearMessageTexts();

// The value entry points the module exports by name (conversion, pQueryProxy, the 24 calculation entries). Any one
// can be left out, so that a lookup of it by name fails; false for a name that is not one of them. Only ELF builds
// can leave one out.
QZRT_API bool LeaveOutEntry(const char* name);
QZRT_API void RestoreEntries();
QZRT_API std::vector<std::string> ValueEntryNames();

// Conversions run since the module was loaded; decimal handles of the proxy made and not yet given back.
QZRT_API std::uint64_t ConversionCount();
QZRT_API std::size_t LiveProxyHandles();

// A counted object for values of types 30, 50, 65, 108 and 111 (add-reference in slot 0, release in slot 1, the
// count after the table pointer), kept until the process ends; and its count.
QZRT_API void* NewCountedObject();
QZRT_API std::uint32_t ObjectReferences(const void* object);

// Clears every log and restores every default answer and every entry left out.
QZRT_API void Reset();

}  // namespace qzrt
