// The runtime module's value entry points, looked up by name by the driver's bInitKXConvFromVM and
// bInitKXCalcFromVM: the conversion pair and pQueryProxy, and the 24 calculation entries of which nComparaisonEx and
// nEgaliteEx work and the others answer 102 (not supported).
//
// Any one of them can be left out (LeaveOutEntry). On ELF builds each is an indirect function whose resolver runs
// at every lookup by name and answers nothing for a name that is left out, so a lookup of it fails as it would in a
// runtime that lacks it. Windows builds export them plainly and cannot leave one out.
#include <array>
#include <atomic>
#include <cstring>
#include <string>

#include "standin/runtime/counted_object.h"
#include "standin/runtime/proxy.h"
#include "standin/runtime/runtime_standin.h"
#include "standin/runtime/services.h"
#include "standin/runtime/value_engine.h"

namespace qzrt {

namespace {

constexpr std::array<const char*, 27> kEntryNames = {
    "nConversionDepassementExt", "FinConversion", "pQueryProxy",
    "bCanCompareEx", "wAjouteEx", "wSoustraitEx", "wMultiplieEx", "wDiviseEx", "wModuloEx", "nComparaisonEx",
    "nEgaliteEx", "nSuperieurEx", "nInferieurEx", "nPresqueEgalEx", "nSoupleEgalEx", "nCommencePar",
    "nCommenceParSoupleEx", "nCommenceParTresSoupleEx", "nETLogiqueEx", "nOULogiqueEx", "nNONLogiqueEx",
    "nNegationEx", "nAdditionEx", "nSoustractionEx", "nMultiplicationEx", "nDivisionEx", "nModuloEx"};

std::array<std::atomic<bool>, kEntryNames.size()> gLeftOut{};

}  // namespace

bool LeaveOutEntry(const char* name) {
  for (std::size_t i = 0; i < kEntryNames.size(); ++i) {
    if (std::strcmp(kEntryNames[i], name) == 0) {
      gLeftOut[i] = true;
      return true;
    }
  }
  return false;
}

void RestoreEntries() {
  for (auto& leftOut : gLeftOut) leftOut = false;
}

std::vector<std::string> ValueEntryNames() { return {kEntryNames.begin(), kEntryNames.end()}; }

std::uint64_t ConversionCount() { return engine::ConversionCount(); }
std::size_t LiveProxyHandles() { return services::LiveHandleCount(); }
void* NewCountedObject() { return services::NewCountedObject(); }
std::uint32_t ObjectReferences(const void* object) {
  return static_cast<const services::CountedObject*>(object)->m_nRefCount;
}

namespace services {
bool bEntryLeftOut(std::size_t index) { return gLeftOut[index].load(); }
}  // namespace services

}  // namespace qzrt

using qzrt::services::bEntryLeftOut;

#if defined(__ELF__)
#define QZRT_VALUE_ENTRY(type, name) static type Impl_##name
#else
#define QZRT_VALUE_ENTRY(type, name) QZRT_API type name
#endif

extern "C" {

QZRT_VALUE_ENTRY(std::int32_t, nConversionDepassementExt)(const void* storage, std::uint32_t type, void* result,
                                                          std::uint32_t target, std::int32_t, std::int32_t) {
  return qzrt::engine::Convert(storage, type, result, target);
}

QZRT_VALUE_ENTRY(void, FinConversion)(void* result, std::uint32_t target) { qzrt::engine::Finish(result, target); }

// 102 is the only interface kind the runtime knows.
QZRT_VALUE_ENTRY(void*, pQueryProxy)(std::int32_t kind) {
  qzrt::services::NoteProxyQuestion(kind);
  return kind == 102 ? &qzrt::services::TheProxy() : nullptr;
}

QZRT_VALUE_ENTRY(std::int32_t, nComparaisonEx)(const void* a, std::uint32_t typeA, const void* b,
                                               std::uint32_t typeB, std::int32_t* out, std::int32_t, std::int32_t) {
  return qzrt::engine::Compare(a, typeA, b, typeB, out);
}

QZRT_VALUE_ENTRY(std::int32_t, nEgaliteEx)(const void* a, std::uint32_t typeA, const void* b, std::uint32_t typeB,
                                           std::int32_t* out, std::int32_t, std::int32_t) {
  return qzrt::engine::Equal(a, typeA, b, typeB, out);
}

#define QZRT_NOT_SUPPORTED(name) \
  QZRT_VALUE_ENTRY(std::int32_t, name)() { return 102; }
QZRT_NOT_SUPPORTED(bCanCompareEx)
QZRT_NOT_SUPPORTED(wAjouteEx)
QZRT_NOT_SUPPORTED(wSoustraitEx)
QZRT_NOT_SUPPORTED(wMultiplieEx)
QZRT_NOT_SUPPORTED(wDiviseEx)
QZRT_NOT_SUPPORTED(wModuloEx)
QZRT_NOT_SUPPORTED(nSuperieurEx)
QZRT_NOT_SUPPORTED(nInferieurEx)
QZRT_NOT_SUPPORTED(nPresqueEgalEx)
QZRT_NOT_SUPPORTED(nSoupleEgalEx)
QZRT_NOT_SUPPORTED(nCommencePar)
QZRT_NOT_SUPPORTED(nCommenceParSoupleEx)
QZRT_NOT_SUPPORTED(nCommenceParTresSoupleEx)
QZRT_NOT_SUPPORTED(nETLogiqueEx)
QZRT_NOT_SUPPORTED(nOULogiqueEx)
QZRT_NOT_SUPPORTED(nNONLogiqueEx)
QZRT_NOT_SUPPORTED(nNegationEx)
QZRT_NOT_SUPPORTED(nAdditionEx)
QZRT_NOT_SUPPORTED(nSoustractionEx)
QZRT_NOT_SUPPORTED(nMultiplicationEx)
QZRT_NOT_SUPPORTED(nDivisionEx)
QZRT_NOT_SUPPORTED(nModuloEx)

#if defined(__ELF__)
typedef void (*PFN_ENTRY)();
// The exported names: each resolves to its implementation unless it is left out.
// The resolvers have C names and external (hidden) linkage: the ifunc attribute names them as the object file does,
// and some compilers find neither a mangled nor a file-local resolver by its plain name.
#define QZRT_SWITCHED(index, name)                                                               \
  extern "C" {                                                                                   \
  PFN_ENTRY Resolve_##name() {                                                             \
    return bEntryLeftOut(index) ? nullptr : reinterpret_cast<PFN_ENTRY>(&Impl_##name);           \
  }                                                                                              \
  }                                                                                              \
  QZRT_API void name() __attribute__((ifunc("Resolve_" #name)));
QZRT_SWITCHED(0, nConversionDepassementExt)
QZRT_SWITCHED(1, FinConversion)
QZRT_SWITCHED(2, pQueryProxy)
QZRT_SWITCHED(3, bCanCompareEx)
QZRT_SWITCHED(4, wAjouteEx)
QZRT_SWITCHED(5, wSoustraitEx)
QZRT_SWITCHED(6, wMultiplieEx)
QZRT_SWITCHED(7, wDiviseEx)
QZRT_SWITCHED(8, wModuloEx)
QZRT_SWITCHED(9, nComparaisonEx)
QZRT_SWITCHED(10, nEgaliteEx)
QZRT_SWITCHED(11, nSuperieurEx)
QZRT_SWITCHED(12, nInferieurEx)
QZRT_SWITCHED(13, nPresqueEgalEx)
QZRT_SWITCHED(14, nSoupleEgalEx)
QZRT_SWITCHED(15, nCommencePar)
QZRT_SWITCHED(16, nCommenceParSoupleEx)
QZRT_SWITCHED(17, nCommenceParTresSoupleEx)
QZRT_SWITCHED(18, nETLogiqueEx)
QZRT_SWITCHED(19, nOULogiqueEx)
QZRT_SWITCHED(20, nNONLogiqueEx)
QZRT_SWITCHED(21, nNegationEx)
QZRT_SWITCHED(22, nAdditionEx)
QZRT_SWITCHED(23, nSoustractionEx)
QZRT_SWITCHED(24, nMultiplicationEx)
QZRT_SWITCHED(25, nDivisionEx)
QZRT_SWITCHED(26, nModuloEx)
#endif

}  // extern "C"
