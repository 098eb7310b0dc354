// Calls an operation of an object by its slot number, as the runtime does: through the object's table of operations,
// with the object as the first argument. Operations are member functions of the driver's classes, so on 32-bit
// Windows they take the object in a register (the member calling convention), as the runtime passes it.
#pragma once

#include <cstddef>

#if defined(_WIN32) && defined(__i386__)
#define QZRT_MEMBER_CALL __attribute__((thiscall))
#else
#define QZRT_MEMBER_CALL
#endif

namespace qzrt {

template <typename R, typename... A>
R CallSlot(void* object, std::size_t slot, A... arguments) {
  using Operation = R(QZRT_MEMBER_CALL*)(void*, A...);
  void** table = *static_cast<void***>(object);
  return reinterpret_cast<Operation>(table[slot])(object, arguments...);
}

}  // namespace qzrt
