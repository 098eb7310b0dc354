// Hands a UTF-16 answer to a caller's buffer by the Windows rule of the path and directory calls.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform::posix {

// Copies text and its terminator when they fit in size characters and answers the length without the terminator;
// else leaves the buffer alone and answers the size needed, terminator included.
std::uint32_t CopyOut(std::u16string_view text, std::uint32_t size, char16_t* buffer);

}  // namespace platform::posix
