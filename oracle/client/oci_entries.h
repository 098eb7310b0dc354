// gtabOciEntries: the process-wide table of the client's 140 entries, the only way the driver reaches the client.
// Every slot starts with a fall-back stub of its own that throws a CTString naming the entry, so a call into an
// entry the loaded client lacks, into the set that was not bound, or before any load, surfaces as that exception;
// the call wrappers turn it into error 1040. The loader fills the slots of one set by name; nothing resets them.
//
// Written by the loader only (under gcsDriverLock, inside a connection open); read by the wrappers under the same lock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "oracle/client/oci_entry_list.h"

// clang-format off
enum EOciSlot : std::uint32_t {
#define QZ_OCI_SLOT_CALLED(name, result, parameters) OCI_SLOT_##name,
#define QZ_OCI_SLOT_UNCALLED(name) OCI_SLOT_##name,
  QZ_OCI_ENTRIES(QZ_OCI_SLOT_CALLED, QZ_OCI_SLOT_UNCALLED)
#undef QZ_OCI_SLOT_CALLED
#undef QZ_OCI_SLOT_UNCALLED
  OCI_SLOT_COUNT
};
// clang-format on

inline constexpr std::uint32_t OCI_SET_FIRST_SLOT = 0;
inline constexpr std::uint32_t OCI7_SET_FIRST_SLOT = OCI_SLOT_obindps;
static_assert(OCI_SLOT_COUNT == 140 && OCI7_SET_FIRST_SLOT == 109);

extern void* gtabOciEntries[OCI_SLOT_COUNT];
// The export names, in slot order, as narrow text (for the lookup) and as UTF-16 (what the stubs throw).
extern const char* const gapszOciEntryNames[OCI_SLOT_COUNT];
extern const char16_t* const gapszOciEntryNamesW[OCI_SLOT_COUNT];

// The slot's own fall-back stub.
void* pOciFallbackStub(std::uint32_t slot);
// The availability test: the slot no longer holds its own stub.
bool bOciEntryBound(std::uint32_t slot);
// Puts every slot of [first, first + count) back to its stub; the loader starts a set's binding from there.
void ResetOciSlots(std::uint32_t first, std::uint32_t count);

// The entry's type: its published signature for an entry the driver calls, a bare function otherwise.
namespace oci {
template <std::uint32_t Slot>
struct SEntryType {
  using Type = void (*)();
};
#define QZ_OCI_TYPE_CALLED(name, result, parameters) \
  template <>                                        \
  struct SEntryType<OCI_SLOT_##name> {               \
    using Type = result(*) parameters;               \
  };
#define QZ_OCI_TYPE_UNCALLED(name)
QZ_OCI_ENTRIES(QZ_OCI_TYPE_CALLED, QZ_OCI_TYPE_UNCALLED)
#undef QZ_OCI_TYPE_CALLED
#undef QZ_OCI_TYPE_UNCALLED
}  // namespace oci

// The slot read as its entry's type; the caller calls it with the published arguments.
template <std::uint32_t Slot>
typename oci::SEntryType<Slot>::Type OciEntry() {
  return reinterpret_cast<typename oci::SEntryType<Slot>::Type>(gtabOciEntries[Slot]);
}
