// The stand-in's service objects. The driver calls them by slot number, so each class declares its operations in the
// runtime's slot order; unused slots keep the later ones in place.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace qzrt::services {

// Service 9.
class StateService {
 public:
  virtual std::int32_t nQueryState(std::intptr_t argument);  // slot 0
};

// Service 12: the string and locale service. Its folding agrees with its comparison: with flag 1 case is ignored
// (texts fold to upper case), with flag 2 non-spacing marks are (accented Latin letters fold to their base letter
// and combining marks are dropped), so two texts compare equal exactly when they fold to the same units.
class LocaleService {
 public:
  virtual void Slot0();
  virtual void Slot1();
  virtual std::int32_t nGetCharset();  // slot 2
  virtual std::uint32_t nGetCodePageOfText(const char* text, std::int64_t length);  // slot 3: the runtime page
  virtual void Slot4();
  virtual void Slot5();
  virtual void Slot6();
  virtual std::int32_t nCompareStrings(std::uint32_t locale, std::uint32_t flags, const char16_t* a,
                                       std::int32_t lengthA, const char16_t* b, std::int32_t lengthB);  // slot 7
  virtual void Slot8();
  virtual void Slot9();
  virtual void Slot10();
  virtual std::int32_t nMapString(std::uint32_t mode, const char16_t* source, std::int32_t sourceLength,
                                  char16_t* target, std::int32_t targetSize);  // slot 11
  virtual void Slot12();
  virtual std::int32_t nMapStringForLanguage(std::uint32_t language, std::uint32_t flags, char16_t* target,
                                             std::int32_t targetSize, const char16_t* source);  // slot 13
  virtual void Slot14();
  virtual std::int32_t nGetLanguageId();  // slot 15

  std::atomic<std::int32_t> m_nCharset{0};
  std::atomic<std::int32_t> m_nLanguage{1036};
};

// Service 13: runtime strings are the characters after a 16-byte header of flags, reference count, capacity and
// length in bytes. By default each block keeps two spare bytes after the capacity; without slack it ends exactly at
// the capacity, so that a write past it shows under AddressSanitizer. Allocations may be made to fail on demand.
class StringAllocator {
 public:
  virtual void Slot0();
  virtual std::int32_t nAllocate(void** string, std::uint32_t capacity, std::uint32_t sizeWord);  // slot 1
  virtual std::int32_t nReallocate(void** string, std::uint32_t capacity);                        // slot 2
  virtual void Free(void* string);                                                                // slot 3

  // True when the next allocation or reallocation must fail (and counts it against the allowance).
  bool bFailNext();

  std::atomic<std::int32_t> m_nAllowed{-1};  // successful calls left before failures start; -1: never fail
  std::atomic<std::int32_t> m_nFailureCode{8};
  std::atomic<bool> m_bNoSlack{false};
  std::atomic<std::int64_t> m_nLive{0};
};

StateService& TheStateService();
LocaleService& TheLocaleService();
StringAllocator& TheStringAllocator();

// Hooks into the stand-in's shared state (runtime_standin.cpp).
std::int32_t StateAnswerFor(std::intptr_t argument);
std::intptr_t AnswerService(std::intptr_t service);
void NoteProxyQuestion(std::int32_t kind);
bool bEntryLeftOut(std::size_t index);  // by the order of the value entry names

// Runtime strings made by the stand-in itself (its conversions): `length` bytes copied behind a header with one
// reference, and a two-byte terminator; null when `length` is 0. 0 or the allocator's code. Release drops one
// reference and frees at the last.
std::int32_t nNewRuntimeString(const void* bytes, std::uint32_t length, void** out);
std::uint32_t RuntimeStringLength(const void* string);
void ReleaseRuntimeString(void* string);
// Flag bit 0 of a runtime string's header: the runtime's mark on a key value filled up to its maximum.
void MarkRuntimeStringMaximum(void* string, bool filled);

}  // namespace qzrt::services
