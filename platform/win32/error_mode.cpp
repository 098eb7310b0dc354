#include "platform/error_mode.h"

#include <windows.h>

namespace platform {

std::uint32_t SetProcessErrorMode(std::uint32_t mode) { return ::SetErrorMode(mode); }
std::uint32_t ProcessErrorMode() { return ::GetErrorMode(); }

}  // namespace platform
