#include "oracle/client/oci_entries.h"

#include <array>
#include <utility>

#include "foundation/t_string.h"

const char* const gapszOciEntryNames[OCI_SLOT_COUNT] = {
#define QZ_OCI_NAME_CALLED(name, result, parameters) #name,
#define QZ_OCI_NAME_UNCALLED(name) #name,
    QZ_OCI_ENTRIES(QZ_OCI_NAME_CALLED, QZ_OCI_NAME_UNCALLED)
#undef QZ_OCI_NAME_CALLED
#undef QZ_OCI_NAME_UNCALLED
};

const char16_t* const gapszOciEntryNamesW[OCI_SLOT_COUNT] = {
#define QZ_OCI_NAME_CALLED(name, result, parameters) u## #name,
#define QZ_OCI_NAME_UNCALLED(name) u## #name,
    QZ_OCI_ENTRIES(QZ_OCI_NAME_CALLED, QZ_OCI_NAME_UNCALLED)
#undef QZ_OCI_NAME_CALLED
#undef QZ_OCI_NAME_UNCALLED
};

namespace {

// OciFallbackStub: one per slot, with the slot's signature, so that a call through the slot with the published
// arguments is well-formed whichever function the slot holds. It ignores its arguments and throws its name.
template <std::uint32_t Slot, typename Entry>
struct SFallback;

template <std::uint32_t Slot, typename Result, typename... Parameters>
struct SFallback<Slot, Result (*)(Parameters...)> {
  [[noreturn]] static Result OciFallbackStub(Parameters...) { throw CTString(gapszOciEntryNamesW[Slot]); }
};

template <std::uint32_t Slot>
void* pStubOf() {
  return reinterpret_cast<void*>(&SFallback<Slot, typename oci::SEntryType<Slot>::Type>::OciFallbackStub);
}

template <std::uint32_t... Slots>
constexpr auto MakeStubTable(std::integer_sequence<std::uint32_t, Slots...>) {
  return std::array<void* (*)(), sizeof...(Slots)>{&pStubOf<Slots>...};
}

const auto gapfnStubOf = MakeStubTable(std::make_integer_sequence<std::uint32_t, OCI_SLOT_COUNT>());

struct STableInit {
  STableInit() { ResetOciSlots(0, OCI_SLOT_COUNT); }
};

}  // namespace

void* gtabOciEntries[OCI_SLOT_COUNT];
// Fills the table during the driver's static initialisation, before anything can call through it.
static const STableInit gTableInit;

void* pOciFallbackStub(std::uint32_t slot) { return slot < OCI_SLOT_COUNT ? gapfnStubOf[slot]() : nullptr; }

bool bOciEntryBound(std::uint32_t slot) {
  return slot < OCI_SLOT_COUNT && gtabOciEntries[slot] != pOciFallbackStub(slot);
}

void ResetOciSlots(std::uint32_t first, std::uint32_t count) {
  for (std::uint32_t slot = first; slot < first + count && slot < OCI_SLOT_COUNT; ++slot) {
    gtabOciEntries[slot] = pOciFallbackStub(slot);
  }
}
