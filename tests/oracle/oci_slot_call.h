// Calls a slot of the entry table with its own signature and value-initialised arguments, and answers the text a
// fall-back stub throws ("" when the slot returned).
#pragma once

#include <string>
#include <tuple>
#include <utility>

#include "foundation/t_string.h"
#include "oracle/client/oci_entries.h"

namespace ocitest {

template <typename Result, typename... Parameters>
std::u16string CallForThrow(Result (*entry)(Parameters...)) {
  try {
    std::apply(entry, std::tuple<Parameters...>{});
  } catch (const CTString& name) {
    return name.pszGet();
  }
  return std::u16string();
}

template <std::uint32_t Slot>
std::u16string ThrownBySlot() {
  return CallForThrow(OciEntry<Slot>());
}

// The thrown text of every slot in [0, 140): slot i's entry in element i.
template <std::uint32_t... Slots>
std::vector<std::u16string> ThrownByEverySlot(std::integer_sequence<std::uint32_t, Slots...>) {
  return {ThrownBySlot<Slots>()...};
}

inline std::vector<std::u16string> ThrownByEverySlot() {
  return ThrownByEverySlot(std::make_integer_sequence<std::uint32_t, OCI_SLOT_COUNT>());
}

}  // namespace ocitest
