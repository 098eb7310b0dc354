// CHostValue: the runtime's typed value, the container in which every piece of data crosses between the runtime and
// the driver. Its layout is shared with the runtime: a leading word, then the embedded holder (the operation table
// of its type, the type word and 22 bytes of inline storage), packed, 36 bytes in the 64-bit build so that value
// arrays have a stride of 36. The behaviour of a value is reached through its type's table of 30 operations, built
// by hand as a table of function pointers in the runtime's slot order; every operation receives the holder (the
// value's address plus 4). The container lies in its owner's memory and never owns itself; what the storage owns
// (heap text, a reference on a shared string or object, a proxy handle, array elements) belongs to the value and is
// released by Destroy.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/host_type.h"

// Interface operations use the compiler's member convention: on 32-bit Windows the holder travels in ECX.
#if defined(_WIN32) && !defined(_WIN64)
#define QZ_HOLDER_CALL __attribute__((thiscall))
#else
#define QZ_HOLDER_CALL
#endif

class CHostValue;
struct SHostValueOps;

#pragma pack(push, 1)
// The embedded holder object: what every operation receives as its object.
struct CHostValueHolder {
  const SHostValueOps* m_pOps;
  std::uint16_t m_wType;  // type code in the low byte, HOST_VALUE_FLAG_NULL and HOST_VALUE_FLAG_MARKED above
  std::uint8_t m_abStorage[22];
};
#pragma pack(pop)

// The operation table of a holder class, in slot order. Sizes and lengths are pointer-wide; an out argument is
// written by the operation. Codes are the HOST_* result codes.
struct SHostValueOps {
  void(QZ_HOLDER_CALL* Destroy)(CHostValueHolder* self, std::uint32_t flag);                                // slot 0
  std::int32_t(QZ_HOLDER_CALL* CopyTo)(CHostValueHolder* self, CHostValue* target);                         // slot 1
  std::int32_t(QZ_HOLDER_CALL* nGetStorageSize)(CHostValueHolder* self, std::size_t* out);                  // slot 2
  std::int32_t(QZ_HOLDER_CALL* nGetStorageAddress)(CHostValueHolder* self, void** out);                     // slot 3
  std::int32_t(QZ_HOLDER_CALL* nGet)(CHostValueHolder* self, void* out);                                    // slot 4
  std::int32_t(QZ_HOLDER_CALL* nGetSizeWithTerminator)(CHostValueHolder* self, std::size_t* out);           // slot 5
  std::int32_t(QZ_HOLDER_CALL* nGetDataPointer)(CHostValueHolder* self, const void** out);                  // slot 6
  std::int32_t(QZ_HOLDER_CALL* nCopyWithTerminator)(CHostValueHolder* self, void* destination);             // slot 7
  std::int32_t(QZ_HOLDER_CALL* SetFromBuffer)(CHostValueHolder* self, const void* data, std::size_t size);  // slot 8
  std::int32_t(QZ_HOLDER_CALL* Set)(CHostValueHolder* self, const void* native);                            // slot 9
  std::int32_t(QZ_HOLDER_CALL* nGetNarrowText)(CHostValueHolder* self, const char** out);                   // slot 10
  std::int32_t(QZ_HOLDER_CALL* nGetWideText)(CHostValueHolder* self, const char16_t** out);                 // slot 11
  std::int32_t(QZ_HOLDER_CALL* nGetLength)(CHostValueHolder* self, std::size_t* out);                       // slot 12
  std::int32_t(QZ_HOLDER_CALL* bIsNonNegative)(CHostValueHolder* self);                                     // slot 13
  std::int32_t(QZ_HOLDER_CALL* nGetDataSize)(CHostValueHolder* self, std::size_t* out);                     // slot 14
  std::int32_t(QZ_HOLDER_CALL* nCopyData)(CHostValueHolder* self, void* destination);                       // slot 15
  std::int32_t(QZ_HOLDER_CALL* nIncrement)(CHostValueHolder* self);                                         // slot 16
  std::int32_t(QZ_HOLDER_CALL* nDecrement)(CHostValueHolder* self);                                         // slot 17
  std::int32_t(QZ_HOLDER_CALL* SetFromNarrow)(CHostValueHolder* self, const char* text,
                                              std::ptrdiff_t length);                      // slot 18
  std::int32_t(QZ_HOLDER_CALL* SetFromNarrowZ)(CHostValueHolder* self, const char* text);  // slot 19
  std::int32_t(QZ_HOLDER_CALL* SetFromWide)(CHostValueHolder* self, const char16_t* text,
                                            std::ptrdiff_t size);                            // slot 20
  std::int32_t(QZ_HOLDER_CALL* SetFromWideZ)(CHostValueHolder* self, const char16_t* text);  // slot 21
  std::int32_t(QZ_HOLDER_CALL* SetFromNarrowCp)(CHostValueHolder* self, std::uint32_t codePage, const char* text,
                                                std::ptrdiff_t length);  // slot 22
  std::int32_t(QZ_HOLDER_CALL* SetFromNarrowZCp)(CHostValueHolder* self, std::uint32_t codePage,
                                                 const char* text);  // slot 23
  std::int32_t(QZ_HOLDER_CALL* SetFromWideCp)(CHostValueHolder* self, std::uint32_t codePage, const char16_t* text,
                                              std::ptrdiff_t size);  // slot 24
  std::int32_t(QZ_HOLDER_CALL* SetFromWideZCp)(CHostValueHolder* self, std::uint32_t codePage,
                                               const char16_t* text);  // slot 25
  std::int32_t(QZ_HOLDER_CALL* SetFromTextEx)(CHostValueHolder* self, const void* text, std::ptrdiff_t length,
                                              std::uint32_t flags);                                           // slot 26
  std::int32_t(QZ_HOLDER_CALL* SetOwnedCopyN)(CHostValueHolder* self, const void* text, std::size_t length);  // slot 27
  std::int32_t(QZ_HOLDER_CALL* SetOwnedCopy)(CHostValueHolder* self, const void* text);                       // slot 28
  void(QZ_HOLDER_CALL* FreeText)(CHostValueHolder* self);                                                     // slot 29
};
inline constexpr std::size_t HOST_VALUE_OPERATION_COUNT = 30;
static_assert(sizeof(SHostValueOps) == HOST_VALUE_OPERATION_COUNT * sizeof(void*));

// The base holder's table (type 0, and every slot a typed holder keeps).
extern const SHostValueOps gBaseHostValueOps;

#pragma pack(push, 1)
class CHostValue {
 public:
  CHostValue();
  ~CHostValue();
  CHostValue(const CHostValue&) = delete;
  CHostValue& operator=(const CHostValue&) = delete;

  // Back to a base holder of type 0 without Destroy: for storage that owns nothing.
  void Reset();
  // Gives the value the holder of the type's low byte, its initial value and no flags; nothing happens when the
  // whole type word already equals the request. A code without a holder gives type 0.
  void SetType(std::uint16_t type);
  // The source's type, value and both flags; the copy's result code (a text that could not be copied fails).
  std::int32_t Assign(const CHostValue& source);

  std::uint8_t nGetType() const { return static_cast<std::uint8_t>(m_holder.m_wType & HOST_TYPE_CODE_MASK); }
  std::uint16_t wGetTypeWord() const { return m_holder.m_wType; }
  bool bIsNull() const { return (m_holder.m_wType & HOST_VALUE_FLAG_NULL) != 0; }
  void SetNull(bool null);
  // Clears both flags and sets those of `flags` (HOST_VALUE_FLAG_NULL, HOST_VALUE_FLAG_MARKED).
  void SetFlags(std::uint16_t flags);

  CHostValueHolder* pHolder() { return &m_holder; }
  const SHostValueOps& Ops() const { return *m_holder.m_pOps; }
  static CHostValue* pFromHolder(CHostValueHolder* holder);

  // The operations of the value's holder.
  std::int32_t nGet(void* out) { return Ops().nGet(&m_holder, out); }
  std::int32_t Set(const void* native) { return Ops().Set(&m_holder, native); }
  std::int32_t SetFromBuffer(const void* data, std::size_t size) { return Ops().SetFromBuffer(&m_holder, data, size); }
  std::int32_t nGetDataPointer(const void** out) { return Ops().nGetDataPointer(&m_holder, out); }
  std::int32_t nGetDataSize(std::size_t* out) { return Ops().nGetDataSize(&m_holder, out); }
  std::int32_t nGetSizeWithTerminator(std::size_t* out) { return Ops().nGetSizeWithTerminator(&m_holder, out); }
  std::int32_t nGetWideText(const char16_t** out) { return Ops().nGetWideText(&m_holder, out); }
  std::int32_t nGetNarrowText(const char** out) { return Ops().nGetNarrowText(&m_holder, out); }
  std::int32_t nGetLength(std::size_t* out) { return Ops().nGetLength(&m_holder, out); }

  // Through the runtime's entry points (value_operations.cpp).
  // In place to another type code; a failure (100 or more) leaves the value unchanged. NULL and MARKED stay.
  std::int32_t nConvert(std::uint8_t target);
  // A UTF-16 text into the native value of `target` in the caller's result area (32 bytes), which the caller owns.
  static std::int32_t ConvertTextToNative(void* resultArea, const char16_t* text, std::uint8_t target);
  // Makes sure the value gives a UTF-16 text pointer, converting it to HOST_TYPE_WSTRING when it does not.
  void EnsureWideText();
  // 103 when either value is NULL; otherwise the runtime's answer.
  std::int32_t nCompare(CHostValue& other, std::int32_t* result);
  std::int32_t nEquals(CHostValue& other, std::int32_t* equal);
  std::int32_t nDiffers(CHostValue& other, std::int32_t* differs);

  std::uint32_t m_nLead;
  CHostValueHolder m_holder;
};
#pragma pack(pop)

#if INTPTR_MAX == INT64_MAX
static_assert(sizeof(CHostValue) == 36, "values follow each other at a stride of 36 bytes");
static_assert(offsetof(CHostValue, m_holder) == 4);
static_assert(offsetof(CHostValue, m_holder) + offsetof(CHostValueHolder, m_wType) == 12);
static_assert(offsetof(CHostValue, m_holder) + offsetof(CHostValueHolder, m_abStorage) == 14);
#else
// The 32-bit runtime keeps the same fields in the same order, packed, with a 4-byte table pointer.
static_assert(sizeof(CHostValue) == 32);
static_assert(offsetof(CHostValue, m_holder) + offsetof(CHostValueHolder, m_wType) == 8);
static_assert(offsetof(CHostValue, m_holder) + offsetof(CHostValueHolder, m_abStorage) == 10);
#endif
