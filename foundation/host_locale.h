// Wrappers around the runtime's string and locale service (gpHostLocale): its character set and language, and the
// case folding and comparison used for names and option keys. Without a bound service (the runtime attached
// without a module, or never) each falls back to ASCII case folding, so names still match and nothing crashes.
#pragma once

#include <cstdint>

// Service 12: the runtime's string and locale service. Declared here, where it is used; the host layer binds it
// (gpHostLocale) when the runtime attaches.
class IHostLocaleService {
 public:
  virtual void Slot0() = 0;
  virtual void Slot1() = 0;
  virtual std::int32_t nGetCharset() = 0;  // slot 2: the runtime's character-set id
  // slot 3: the code page the runtime reads a given 8-bit text in.
  virtual std::uint32_t nGetCodePageOfText(const char* text, std::int64_t length) = 0;
  virtual void Slot4() = 0;
  virtual void Slot5() = 0;
  virtual void Slot6() = 0;
  // slot 7: compares two texts (lengths of -1 mean zero-terminated; flags 1 ignore case, 2 ignore non-spacing
  // marks); 0 means equal.
  virtual std::int32_t nCompareStrings(std::uint32_t locale, std::uint32_t flags, const char16_t* a,
                                       std::int32_t lengthA, const char16_t* b, std::int32_t lengthB) = 0;
  virtual void Slot8() = 0;
  virtual void Slot9() = 0;
  virtual void Slot10() = 0;
  // slot 11: maps a text unit by unit (mode 1: folds case as slot 7 compares); answers the units written.
  virtual std::int32_t nMapString(std::uint32_t mode, const char16_t* source, std::int32_t sourceLength,
                                  char16_t* target, std::int32_t targetSize) = 0;
  virtual void Slot12() = 0;
  // slot 13: folds a zero-terminated text for a language (flags as slot 7: 1 case, 2 non-spacing marks), so that
  // texts slot 7 finds equal fold to the same units; answers the units written with the terminator, 0 when the
  // target is too small.
  virtual std::int32_t nMapStringForLanguage(std::uint32_t language, std::uint32_t flags, char16_t* target,
                                             std::int32_t targetSize, const char16_t* source) = 0;
  virtual void Slot14() = 0;
  virtual std::int32_t nGetLanguageId() = 0;  // slot 15
};
extern IHostLocaleService* gpHostLocale;

inline constexpr std::uint32_t HOST_LOCALE_USER_DEFAULT = 0x400;
inline constexpr std::uint32_t HOST_COMPARE_IGNORE_CASE_AND_MARKS = 3;
inline constexpr std::uint32_t HOST_LANGUAGE_FRENCH = 1036;

// The runtime's character-set id (127 reads as 0); 0 without a service. Feed it to nCharsetToCodePage.
std::uint32_t nGetHostCharset();
// The runtime's language id; 0 without a service (callers use 1036 then).
std::uint32_t nGetHostLanguageId();
// Maps every unit of the text in place, one unit in, one unit out (the service's case mapping).
void MapCharsThroughHost(char16_t* text);
// 0 when the texts are equal ignoring case and non-spacing marks.
std::int32_t nHostCompareNoCase(const char16_t* a, const char16_t* b);
// Folds source into out (size units) as the service's French mapping with flags 3; answers what the service does:
// the units written with the terminator, 0 when out is too small.
std::int32_t HostMapStringFrench(std::intptr_t unused, char16_t* out, std::int32_t size, const char16_t* source);
