// The runtime's value conversion and calculation entry points. The runtime hands its module to the two exports
// below once after attaching; they look the entry points up by name and keep them process-wide (written once at
// start-up, only read afterwards, never cleared). The value operations of CHostValue call through them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/export.h"
#include "platform/module.h"

// Converts the value whose storage and type code are given into the caller's 32-byte result area; the fifth
// argument is always 1 and the sixth 0.
using PFN_HOST_CONVERSION = std::int32_t (*)(const void* storage, std::uint32_t type, void* result,
                                              std::uint32_t target, std::int32_t one, std::int32_t zero);
// Releases what a conversion left in the result area once the caller has taken the value.
using PFN_HOST_FIN_CONVERSION = void (*)(void* result, std::uint32_t target);
// nComparaisonEx (three-way answer) and nEgaliteEx (non-zero when equal): whole type words, flags included.
using PFN_HOST_COMPARISON = std::int32_t (*)(const void* storageA, std::uint32_t typeA, const void* storageB,
                                              std::uint32_t typeB, std::int32_t* result, std::int32_t zero1,
                                              std::int32_t zero2);

// The names bInitKXCalcFromVM binds, in the order it looks them up.
inline constexpr std::size_t HOST_CALC_ENTRY_COUNT = 24;
extern const char* const gapszHostCalcEntryNames[HOST_CALC_ENTRY_COUNT];
enum : std::size_t { HOST_CALC_COMPARAISON = 6, HOST_CALC_EGALITE = 7 };

extern PFN_HOST_CONVERSION gpfnConversionDepassementExt;
extern PFN_HOST_FIN_CONVERSION gpfnFinConversion;
extern void* gapfnHostCalc[HOST_CALC_ENTRY_COUNT];  // by the order of gapszHostCalcEntryNames

struct SHostEntryBinding {
  platform::ModuleHandle hModule;
  std::int32_t nA;
  std::int32_t nB;
};
extern SHostEntryBinding gHostConversionBinding;
extern SHostEntryBinding gHostCalcBinding;

inline PFN_HOST_COMPARISON pfnComparaisonEx() {
  return reinterpret_cast<PFN_HOST_COMPARISON>(gapfnHostCalc[HOST_CALC_COMPARAISON]);
}
inline PFN_HOST_COMPARISON pfnEgaliteEx() {
  return reinterpret_cast<PFN_HOST_COMPARISON>(gapfnHostCalc[HOST_CALC_EGALITE]);
}

extern "C" {
// 1 when every name is bound; 0 for numbers outside the accepted range (a < 2 or b > 2) or at the first missing
// name (what was found before it stays bound).
QZ_EXPORT int bInitKXConvFromVM(platform::ModuleHandle hostModule, std::int32_t a, std::int32_t b);
QZ_EXPORT int bInitKXCalcFromVM(platform::ModuleHandle hostModule, std::int32_t a, std::int32_t b);
}
