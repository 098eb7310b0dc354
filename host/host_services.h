// The runtime's service objects as the driver calls them: by slot number, so each is declared with its operations in
// slot order. The runtime owns them; the driver keeps the pointers its Execution answered and never frees them.
// Slots the driver never calls are declared only to keep the later ones in place.
#pragma once

#include <cstdint>

// Service 9: its operation 0 answers the runtime's state for EXECUTION_QUERY_STATE.
class IHostStateService {
 public:
  virtual std::int32_t nQueryState(std::intptr_t argument) = 0;  // slot 0
};

// Service 12: the runtime's string and locale service.
class IHostLocaleService {
 public:
  virtual void Slot0() = 0;
  virtual void Slot1() = 0;
  virtual std::int32_t nGetCharset() = 0;  // slot 2: the runtime's character-set id
  virtual void Slot3() = 0;
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

// Service 13: the allocator of every string shared with the runtime. The characters follow a 16-byte header that
// the allocator fills (reference count 1 and the capacity after an allocation).
class IHostStringAllocator {
 public:
  virtual void Slot0() = 0;
  // slot 1: makes *string point at new characters of the given capacity; 0 or a result code.
  virtual std::int32_t nAllocate(void** string, std::uint32_t capacity, std::uint32_t sizeWord) = 0;
  // slot 2: grows the string to the new capacity, keeping its characters; 0 or a result code.
  virtual std::int32_t nReallocate(void** string, std::uint32_t capacity) = 0;
  // slot 3: frees a string made by slot 1.
  virtual void Free(void* string) = 0;
};

// Kept by the first attach (host/execution.cpp); null while no runtime module answered. Every user checks for null
// and fails cleanly: the runtime may attach without a module, or never.
extern IHostLocaleService* gpHostLocale;
extern IHostStringAllocator* gpHostStringAllocator;

// The source of runtime proxy handles, answered by the runtime's pQueryProxy.
class IHostProxy;
