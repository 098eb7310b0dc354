// Message texts by number: from the runtime's message callback when it has installed one, else from the library's
// own message block. The error object formats its user messages through nLoadMessageText.
#pragma once

#include <cstdarg>
#include <cstdint>

class CTString;
struct CModuleDescriptor;

// The runtime's message callback: (message number, UTF-16 buffer, capacity in characters) -> the text's length when
// it has one (it may exceed the capacity: the text did not fit), 0 or less when it has none.
using PFN_HOST_MESSAGE_CALLBACK = std::int32_t (*)(std::uint32_t message, char16_t* buffer, std::uint32_t capacity);

extern PFN_HOST_MESSAGE_CALLBACK gpfnHostMessageCallback;

// The length of the message's text written into the buffer: the callback's answer when above 0, else the text from
// the block (capacity - 1 when it was cut), 0 when the message has no record.
std::int32_t nGetMessageText(const CModuleDescriptor* module, std::uint32_t message, char16_t* buffer,
                             std::uint32_t capacity);
// The record's attribute, -1 when there is no record. The callback is not asked.
std::int32_t nGetMessageAttribute(const CModuleDescriptor* module, std::uint32_t message);
// 1 when a text was found (callback first, then the block), else 0.
int nLoadMessageRaw(const CModuleDescriptor* module, std::uint32_t message, CTString& out);
// 1 when the callback gave a text.
int nLoadHostMessage(std::uint32_t message, CTString& out);
// nLoadMessageRaw with this module's descriptor.
int nLoadModuleMessage(const CModuleDescriptor* module, std::uint32_t message, CTString& out);
// 1 when the message was found, its inserts filled from the argument list; out is empty when that formatting failed
// (the last error says why). 0 when the message has no text.
int nLoadMessageText(const CModuleDescriptor* module, std::uint32_t message, CTString& out, va_list arguments);
// Fills the inserts (%1, %2, ...) of a pattern; the characters produced, 0 on failure (out then empty).
std::uint32_t nFormatMessageInserts(const char16_t* pattern, CTString& out, va_list arguments);
