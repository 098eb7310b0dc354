// The runtime's service objects as the driver calls them: by slot number, so each is declared with its operations in
// slot order. The runtime owns them; the driver keeps the pointers its Execution answered and never frees them.
// Slots the driver never calls are declared only to keep the later ones in place.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/host_locale.h"

// Service 9: its operation 0 answers the runtime's state for EXECUTION_QUERY_STATE.
class IHostStateService {
 public:
  virtual std::int32_t nQueryState(std::intptr_t argument) = 0;  // slot 0
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
extern IHostStringAllocator* gpHostStringAllocator;


// A handle made by the runtime's proxy: the runtime decimal that values of type 13 hold. Its byte form is the
// runtime's own (18 bytes); precision is the total of digits and scale the digits after the point.
class IHostProxyHandle {
 public:
  virtual const void* pGetData() = 0;                                                   // slot 0: byte form
  virtual std::uint32_t nGetDataSize() = 0;                                             // slot 1
  virtual void SetFromKeyInput(std::int32_t precision, std::int32_t scale, const void* data) = 0;  // slot 2
  // slots 3 and 4: the lowest and the highest value the handle's precision and scale allow; the type limits of
  // key searches on decimals ask the runtime for them.
  virtual void SetMinimum() = 0;  // slot 3
  virtual void SetMaximum() = 0;  // slot 4
  virtual std::int32_t nCopyWithTerminator(void* destination) = 0;                     // slot 5
  virtual std::int32_t nSetFromBuffer(const void* data, std::size_t size) = 0;         // slot 6: from a byte form
  virtual void WriteSortKey(std::uint8_t* buffer) = 0;                                  // slot 7: 32 bytes
  virtual void Slot8() = 0;
  virtual std::int32_t nSet(const IHostProxyHandle* source) = 0;                       // slot 9: copy of another
  virtual void Slot10() = 0;
  virtual void Slot11() = 0;
  virtual void Slot12() = 0;
  virtual void Slot13() = 0;
  virtual void Slot14() = 0;
  virtual void Slot15() = 0;
  virtual void Slot16() = 0;
  virtual void Slot17() = 0;
  virtual void Slot18() = 0;
  virtual void Slot19() = 0;
  virtual void Slot20() = 0;
  // slots 21 and 22: two words that describe the handle's binary form; their meaning lies with the runtime.
  virtual std::intptr_t nGetBinaryInfoFirst() = 0;
  virtual std::intptr_t nGetBinaryInfoSecond() = 0;
  virtual std::int32_t bIsNegative() = 0;                                               // slot 23
  virtual void SetPrecision(std::int32_t precision, std::int32_t scale) = 0;            // slot 24: rounds to it
};

// The source of runtime proxy handles, answered by the runtime's pQueryProxy(102). Handles it makes are given back
// to it, never freed by the driver.
class IHostProxy {
 public:
  virtual IHostProxyHandle* pCreateHandle(std::int32_t kind, std::int32_t precision, std::int32_t scale) = 0;  // 0
  virtual void ReleaseHandle(IHostProxyHandle* handle) = 0;                                                     // 1
};

// The objects values of types 30, 50 and 65 refer to: counted by the 32-bit word that follows the table pointer.
class IHostCountedObject {
 public:
  virtual void Slot0() = 0;
  virtual std::uint32_t nRelease() = 0;  // slot 1
  std::uint32_t m_nRefCount;
};

// The interfaces values of types 108 and 111 refer to.
class IHostReferenced {
 public:
  virtual std::uint32_t nAddRef() = 0;   // slot 0
  virtual std::uint32_t nRelease() = 0;  // slot 1
};
