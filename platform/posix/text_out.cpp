#include "platform/posix/text_out.h"

#include <algorithm>

namespace platform::posix {

std::uint32_t CopyOut(std::u16string_view text, std::uint32_t size, char16_t* buffer) {
  const auto length = static_cast<std::uint32_t>(text.size());
  if (!buffer || size <= length) return length + 1;
  std::copy(text.begin(), text.end(), buffer);
  buffer[length] = 0;
  return length;
}

}  // namespace platform::posix
