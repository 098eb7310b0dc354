#include "host/value_entry_points.h"

#include <cstring>

#include "foundation/sortable_key.h"
#include "host/execution.h"

const char* const gapszHostCalcEntryNames[HOST_CALC_ENTRY_COUNT] = {
    "bCanCompareEx",  "wAjouteEx",        "wSoustraitEx",         "wMultiplieEx",
    "wDiviseEx",      "wModuloEx",        "nComparaisonEx",       "nEgaliteEx",
    "nSuperieurEx",   "nInferieurEx",     "nPresqueEgalEx",       "nSoupleEgalEx",
    "nCommencePar",   "nCommenceParSoupleEx", "nCommenceParTresSoupleEx", "nETLogiqueEx",
    "nOULogiqueEx",   "nNONLogiqueEx",    "nNegationEx",          "nAdditionEx",
    "nSoustractionEx", "nMultiplicationEx", "nDivisionEx",        "nModuloEx",
};

PFN_HOST_CONVERSION gpfnConversionDepassementExt = nullptr;
PFN_HOST_FIN_CONVERSION gpfnFinConversion = nullptr;
void* gapfnHostCalc[HOST_CALC_ENTRY_COUNT] = {};
SHostEntryBinding gHostConversionBinding = {};
SHostEntryBinding gHostCalcBinding = {};

namespace {

// Only the interface numbers 2 (and above) for a, and 2 (and below) for b, are understood.
bool bAcceptedNumbers(std::int32_t a, std::int32_t b) { return a >= 2 && b <= 2; }

// Keys of runtime decimals are the runtime's: a handle of the wanted precision and scale reads the value's byte form
// and writes its 32 key bytes.
void WriteProxySortKey(std::uint8_t* buffer, const void* data, std::int32_t a, std::int32_t b) {
  // Without a handle the key is still all written: zeros.
  std::memset(buffer, 0, kProxySortKeySize);
  IHostProxy* proxy = gpHostProxy;
  if (!proxy) return;
  IHostProxyHandle* handle = proxy->pCreateHandle(0, a, b);
  if (!handle) return;
  handle->SetFromKeyInput(a, b, data);
  handle->WriteSortKey(buffer);
  proxy->ReleaseHandle(handle);
}

}  // namespace

extern "C" {

QZ_EXPORT int bInitKXConvFromVM(platform::ModuleHandle hostModule, std::int32_t a, std::int32_t b) {
  if (!bAcceptedNumbers(a, b)) return 0;
  gpfnConversionDepassementExt =
      reinterpret_cast<PFN_HOST_CONVERSION>(platform::FindModuleEntry(hostModule, "nConversionDepassementExt"));
  if (!gpfnConversionDepassementExt) return 0;
  gpfnFinConversion = reinterpret_cast<PFN_HOST_FIN_CONVERSION>(platform::FindModuleEntry(hostModule, "FinConversion"));
  if (!gpfnFinConversion) return 0;
  gHostConversionBinding = {hostModule, a, b};
  if (!bBindQueryProxy(hostModule)) return 0;
  if (gpHostProxy) gpfnProxySortKey = &WriteProxySortKey;
  return 1;
}

QZ_EXPORT int bInitKXCalcFromVM(platform::ModuleHandle hostModule, std::int32_t a, std::int32_t b) {
  if (!bAcceptedNumbers(a, b)) return 0;
  for (std::size_t i = 0; i < HOST_CALC_ENTRY_COUNT; ++i) {
    gapfnHostCalc[i] = platform::FindModuleEntry(hostModule, gapszHostCalcEntryNames[i]);
    if (!gapfnHostCalc[i]) return 0;
  }
  gHostCalcBinding = {hostModule, a, b};
  return 1;
}

}  // extern "C"
