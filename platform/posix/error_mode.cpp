#include "platform/error_mode.h"

#include <atomic>

namespace platform {

namespace {
std::atomic<std::uint32_t> gErrorMode{0};
}

std::uint32_t SetProcessErrorMode(std::uint32_t mode) { return gErrorMode.exchange(mode); }
std::uint32_t ProcessErrorMode() { return gErrorMode.load(); }

}  // namespace platform
