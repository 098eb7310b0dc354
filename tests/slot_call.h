// Calls an operation of an object by its slot number, as the runtime does: through the object's table of operations,
// with the object as the first argument.
#pragma once

#include <cstddef>

template <typename R, typename... A>
R CallSlot(void* object, std::size_t slot, A... arguments) {
  using Operation = R (*)(void*, A...);
  void** table = *static_cast<void***>(object);
  return reinterpret_cast<Operation>(table[slot])(object, arguments...);
}
