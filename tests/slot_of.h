// The binary slot of a virtual operation, read from its member pointer: the Itanium C++ ABI (the test build's) stores
// a virtual member pointer as 1 plus the operation's byte offset in the table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

inline constexpr std::size_t NOT_VIRTUAL = static_cast<std::size_t>(-1);

template <typename Member>
std::size_t SlotOf(Member member) {
  struct {
    std::uintptr_t nPointer;
    std::ptrdiff_t nAdjust;
  } raw;
  static_assert(sizeof(member) == sizeof(raw), "an Itanium member-function pointer");
  std::memcpy(&raw, &member, sizeof raw);
  if ((raw.nPointer & 1) == 0) return NOT_VIRTUAL;
  return (raw.nPointer - 1) / sizeof(void*);
}
