#include "platform/last_error.h"

#include <windows.h>

namespace platform {

std::uint32_t GetLastErrorCode() { return ::GetLastError(); }
void SetLastErrorCode(std::uint32_t code) { ::SetLastError(code); }

}  // namespace platform
