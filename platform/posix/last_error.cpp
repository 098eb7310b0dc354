#include "platform/last_error.h"

namespace platform {

namespace {
thread_local std::uint32_t tlsLastError = 0;
}

std::uint32_t GetLastErrorCode() { return tlsLastError; }
void SetLastErrorCode(std::uint32_t code) { tlsLastError = code; }

}  // namespace platform
