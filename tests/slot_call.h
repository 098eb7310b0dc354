// Tests call operations by raw slot number through the runtime stand-in's caller.
#pragma once

#include "standin/runtime/slot_call.h"

using qzrt::CallSlot;

// An object of one side seen through the other side's interface, as a pointer that crossed the boundary. The two
// sides declare the interface apart; within one function the optimizer would otherwise know the object's own class
// and call its operations directly through a table it assumes, which is not the one the other side reads.
template <typename To, typename From>
To* AsSeenAcross(From* object) {
  void* raw = object;
  asm volatile("" : "+r"(raw));
  return static_cast<To*>(raw);
}
