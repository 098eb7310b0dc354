#include "foundation/message_text.h"

#include <cstdlib>
#include <memory>

#include "foundation/message_block.h"
#include "foundation/t_string.h"
#include "foundation/x_error.h"
#include "platform/message_format.h"

PFN_HOST_MESSAGE_CALLBACK gpfnHostMessageCallback = nullptr;

namespace {
constexpr std::uint32_t kHostMessageBuffer = 256;
}

std::int32_t nGetMessageText(const CModuleDescriptor* module, std::uint32_t message, char16_t* buffer,
                             std::uint32_t capacity) {
  if (gpfnHostMessageCallback) {
    const std::int32_t length = gpfnHostMessageCallback(message, buffer, capacity);
    if (length > 0) return length;
  }
  // Without room for even the terminator nothing can be written, and "capacity - 1" would not be a length.
  if (!module || !module->pfnGetMessageRecord || !buffer || capacity == 0) return 0;
  const std::uint8_t* text = module->pfnGetMessageRecord(message, 0);
  if (!text) return 0;
  std::uint32_t produced = capacity;
  switch (nUnpackMessage(buffer, &produced, text)) {
    case 0:
      return static_cast<std::int32_t>(produced);  // in UTF-16 units, as the runtime measures texts
    case 2:
      return static_cast<std::int32_t>(capacity - 1);
    default:
      return 0;
  }
}

std::int32_t nGetMessageAttribute(const CModuleDescriptor* module, std::uint32_t message) {
  if (!module || !module->pfnGetMessageRecord) return -1;
  const std::uint8_t* record = module->pfnGetMessageRecord(message, 1);
  return record ? static_cast<std::int8_t>(record[2]) : -1;
}

int nLoadHostMessage(std::uint32_t message, CTString& out) {
  if (!gpfnHostMessageCallback) return 0;
  char16_t buffer[kHostMessageBuffer];
  const std::int32_t length = gpfnHostMessageCallback(message, buffer, kHostMessageBuffer);
  if (length <= 0) return 0;
  if (static_cast<std::uint32_t>(length) <= kHostMessageBuffer) {
    out.AssignBounded(buffer, static_cast<std::uint32_t>(length));
    return 1;
  }
  // The text did not fit: ask again with room for all of it.
  std::unique_ptr<char16_t[]> large(new (std::nothrow) char16_t[static_cast<std::size_t>(length) + 1]());
  if (!large) return 0;
  if (gpfnHostMessageCallback(message, large.get(), static_cast<std::uint32_t>(length)) <= 0) return 0;
  out.AssignBounded(large.get(), static_cast<std::uint32_t>(length));
  return 1;
}

int nLoadMessageRaw(const CModuleDescriptor* module, std::uint32_t message, CTString& out) {
  if (gpfnHostMessageCallback && nLoadHostMessage(message, out)) return 1;
  if (!module || !module->pfnGetMessageRecord) return 0;
  const std::uint8_t* text = module->pfnGetMessageRecord(message, 0);
  if (!text) return 0;
  const std::unique_ptr<char16_t[]> unpacked = pszUnpackMessage(text);
  if (!unpacked) return 0;
  out.Assign(unpacked.get());
  return 1;
}

int nLoadModuleMessage(const CModuleDescriptor* /*module*/, std::uint32_t message, CTString& out) {
  return nLoadMessageRaw(&gstModuleDescriptor, message, out);
}

int nLoadMessageText(const CModuleDescriptor* module, std::uint32_t message, CTString& out, va_list arguments) {
  CTString pattern;
  if (!nLoadMessageRaw(module, message, pattern)) return 0;
  // A present message that cannot be formatted still answers 1, with an empty text and the formatter's last error
  // left in place: the error object tells an empty or malformed message apart from a missing one.
  nFormatMessageInserts(pattern.pszGet(), out, arguments);
  return 1;
}

std::uint32_t nFormatMessageInserts(const char16_t* pattern, CTString& out, va_list arguments) {
  va_list copy;
  va_copy(copy, arguments);
  char16_t* text = nullptr;
  const std::uint32_t produced = platform::FormatMessageFromPattern(pattern, &copy, &text);
  va_end(copy);
  if (produced == 0 || !text) {
    out.Empty();
    return 0;
  }
  out.Assign(text);
  platform::FreeMessageText(text);
  return produced;
}
