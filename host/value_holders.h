// The holder classes behind CHostValue, one per type code: how each type keeps its value in the 22 bytes of inline
// storage, its initial value, and which of the base operations it replaces. A holder class is a struct of static
// operations named after the slots; THolderClass builds its operation table from the base table, replacing exactly
// the slots the struct defines. The families live in value_holders_*.cpp. The storage sits at offset 14 of the
// packed value, unaligned for pointers and numbers, so everything in it is read and written bytewise.
#pragma once

#include <cstring>

#include "host/host_value.h"

namespace holder {

// ---- the base holder's operations -------------------------------------------------------------------------------
void QZ_HOLDER_CALL BaseDestroy(CHostValueHolder* self, std::uint32_t flag);
std::int32_t QZ_HOLDER_CALL BaseCopyTo(CHostValueHolder* self, CHostValue* target);
std::int32_t QZ_HOLDER_CALL BaseSizeNotSupported(CHostValueHolder* self, std::size_t* out);
std::int32_t QZ_HOLDER_CALL BaseGetStorageAddress(CHostValueHolder* self, void** out);
std::int32_t QZ_HOLDER_CALL BaseGet(CHostValueHolder* self, void* out);
std::int32_t QZ_HOLDER_CALL BaseGetDataPointer(CHostValueHolder* self, const void** out);
std::int32_t QZ_HOLDER_CALL BaseCopyWithTerminator(CHostValueHolder* self, void* destination);
std::int32_t QZ_HOLDER_CALL BaseSetFromBuffer(CHostValueHolder* self, const void* data, std::size_t size);
std::int32_t QZ_HOLDER_CALL BaseSet(CHostValueHolder* self, const void* native);
std::int32_t QZ_HOLDER_CALL BaseGetNarrowText(CHostValueHolder* self, const char** out);
std::int32_t QZ_HOLDER_CALL BaseGetWideText(CHostValueHolder* self, const char16_t** out);
std::int32_t QZ_HOLDER_CALL BaseGetLength(CHostValueHolder* self, std::size_t* out);
std::int32_t QZ_HOLDER_CALL BaseIsNonNegative(CHostValueHolder* self);
std::int32_t QZ_HOLDER_CALL BaseGetDataSize(CHostValueHolder* self, std::size_t* out);
std::int32_t QZ_HOLDER_CALL BaseCopyData(CHostValueHolder* self, void* destination);
std::int32_t QZ_HOLDER_CALL BaseStep(CHostValueHolder* self);
std::int32_t QZ_HOLDER_CALL BaseSetFromNarrow(CHostValueHolder* self, const char* text, std::ptrdiff_t length);
std::int32_t QZ_HOLDER_CALL BaseSetFromNarrowZ(CHostValueHolder* self, const char* text);
std::int32_t QZ_HOLDER_CALL BaseSetFromWide(CHostValueHolder* self, const char16_t* text, std::ptrdiff_t size);
std::int32_t QZ_HOLDER_CALL BaseSetFromWideZ(CHostValueHolder* self, const char16_t* text);
std::int32_t QZ_HOLDER_CALL BaseSetFromNarrowCp(CHostValueHolder* self, std::uint32_t codePage, const char* text,
                                                 std::ptrdiff_t length);
std::int32_t QZ_HOLDER_CALL BaseSetFromNarrowZCp(CHostValueHolder* self, std::uint32_t codePage, const char* text);
std::int32_t QZ_HOLDER_CALL BaseSetFromWideCp(CHostValueHolder* self, std::uint32_t codePage, const char16_t* text,
                                               std::ptrdiff_t size);
std::int32_t QZ_HOLDER_CALL BaseSetFromWideZCp(CHostValueHolder* self, std::uint32_t codePage,
                                                const char16_t* text);
std::int32_t QZ_HOLDER_CALL BaseSetFromTextEx(CHostValueHolder* self, const void* text, std::ptrdiff_t length,
                                               std::uint32_t flags);
std::int32_t QZ_HOLDER_CALL BaseSetOwnedCopyN(CHostValueHolder* self, const void* text, std::size_t length);
std::int32_t QZ_HOLDER_CALL BaseSetOwnedCopy(CHostValueHolder* self, const void* text);
void QZ_HOLDER_CALL BaseFreeText(CHostValueHolder* self);

inline constexpr SHostValueOps kBaseOps = {
    &BaseDestroy,          &BaseCopyTo,          &BaseSizeNotSupported, &BaseGetStorageAddress, &BaseGet,
    &BaseSizeNotSupported, &BaseGetDataPointer,  &BaseCopyWithTerminator, &BaseSetFromBuffer,   &BaseSet,
    &BaseGetNarrowText,    &BaseGetWideText,     &BaseGetLength,        &BaseIsNonNegative,     &BaseGetDataSize,
    &BaseCopyData,         &BaseStep,            &BaseStep,             &BaseSetFromNarrow,     &BaseSetFromNarrowZ,
    &BaseSetFromWide,      &BaseSetFromWideZ,    &BaseSetFromNarrowCp,  &BaseSetFromNarrowZCp,  &BaseSetFromWideCp,
    &BaseSetFromWideZCp,   &BaseSetFromTextEx,   &BaseSetOwnedCopyN,    &BaseSetOwnedCopy,      &BaseFreeText,
};

// Makes the holder a base holder of type 0 (what Destroy ends with).
void ResetToBase(CHostValueHolder* self);

// ---- storage access -----------------------------------------------------------------------------------------------
template <class T>
T Load(const CHostValueHolder* self, std::size_t offset = 0) {
  T value;
  std::memcpy(&value, self->m_abStorage + offset, sizeof(T));
  return value;
}
template <class T>
void Store(CHostValueHolder* self, const T& value, std::size_t offset = 0) {
  std::memcpy(self->m_abStorage + offset, &value, sizeof(T));
}
inline void* Storage(CHostValueHolder* self) { return self->m_abStorage; }
inline std::uint8_t TypeOf(const CHostValueHolder* self) {
  return static_cast<std::uint8_t>(self->m_wType & HOST_TYPE_CODE_MASK);
}
inline std::int32_t Answer(std::size_t* out, std::size_t value) {
  *out = value;
  return HOST_OK;
}

// The copy of a typed holder: the target gets this type, this value through its Set, and (unless told otherwise)
// this value's NULL and MARKED flags in place of its own.
std::int32_t CopyNativeTo(CHostValueHolder* self, CHostValue* target, const void* native, bool withFlags = true);

// ---- holders of a fixed number of inline bytes ------------------------------------------------------------------
// The native value is its Width bytes, kept at the start of the storage: numbers, currency, date-times, characters.
template <std::uint8_t Code, std::size_t Width>
struct TInlineHolder {
  static constexpr std::uint8_t kType = Code;
  static constexpr std::size_t kWidth = Width;

  static void Construct(CHostValueHolder* self) { std::memset(self->m_abStorage, 0, kWidth); }

  static std::int32_t QZ_HOLDER_CALL CopyTo(CHostValueHolder* self, CHostValue* target) {
    return CopyNativeTo(self, target, Storage(self));
  }
  static std::int32_t QZ_HOLDER_CALL nGetStorageSize(CHostValueHolder*, std::size_t* out) {
    return Answer(out, kWidth);
  }
  static std::int32_t QZ_HOLDER_CALL nGetSizeWithTerminator(CHostValueHolder*, std::size_t* out) {
    return Answer(out, kWidth);
  }
  static std::int32_t QZ_HOLDER_CALL nGetDataSize(CHostValueHolder*, std::size_t* out) { return Answer(out, kWidth); }
  static std::int32_t QZ_HOLDER_CALL nGetStorageAddress(CHostValueHolder* self, void** out) {
    *out = Storage(self);
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL nGetDataPointer(CHostValueHolder* self, const void** out) {
    *out = Storage(self);
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL nGet(CHostValueHolder* self, void* out) {
    std::memcpy(out, Storage(self), kWidth);
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL nCopyWithTerminator(CHostValueHolder* self, void* destination) {
    return nGet(self, destination);
  }
  static std::int32_t QZ_HOLDER_CALL nCopyData(CHostValueHolder* self, void* destination) {
    return nGet(self, destination);
  }
  // A null native value reads as 0 rather than being dereferenced.
  static std::int32_t QZ_HOLDER_CALL Set(CHostValueHolder* self, const void* native) {
    if (native) {
      std::memcpy(Storage(self), native, kWidth);
    } else {
      std::memset(Storage(self), 0, kWidth);
    }
    return HOST_OK;
  }
  // A buffer shorter than the width gives what it holds and zeros for the rest; it is never read past its end.
  static std::int32_t QZ_HOLDER_CALL SetFromBuffer(CHostValueHolder* self, const void* data, std::size_t size) {
    std::memset(Storage(self), 0, kWidth);
    if (data) std::memcpy(Storage(self), data, size < kWidth ? size : kWidth);
    return HOST_OK;
  }
};

// ---- building a holder class ----------------------------------------------------------------------------------------
struct SHostValueHolderClass {
  std::uint8_t nType;
  const SHostValueOps* pOps;
  void (*Construct)(CHostValueHolder* self);  // the initial value; may throw (the proxy handle)
};

template <class H>
constexpr SHostValueOps MakeOps() {
  SHostValueOps ops = kBaseOps;
#define QZ_HOLDER_SLOT(name) \
  if constexpr (requires { &H::name; }) ops.name = &H::name;
  QZ_HOLDER_SLOT(Destroy)
  QZ_HOLDER_SLOT(CopyTo)
  QZ_HOLDER_SLOT(nGetStorageSize)
  QZ_HOLDER_SLOT(nGetStorageAddress)
  QZ_HOLDER_SLOT(nGet)
  QZ_HOLDER_SLOT(nGetSizeWithTerminator)
  QZ_HOLDER_SLOT(nGetDataPointer)
  QZ_HOLDER_SLOT(nCopyWithTerminator)
  QZ_HOLDER_SLOT(SetFromBuffer)
  QZ_HOLDER_SLOT(Set)
  QZ_HOLDER_SLOT(nGetNarrowText)
  QZ_HOLDER_SLOT(nGetWideText)
  QZ_HOLDER_SLOT(nGetLength)
  QZ_HOLDER_SLOT(bIsNonNegative)
  QZ_HOLDER_SLOT(nGetDataSize)
  QZ_HOLDER_SLOT(nCopyData)
  QZ_HOLDER_SLOT(nIncrement)
  QZ_HOLDER_SLOT(nDecrement)
  QZ_HOLDER_SLOT(SetFromNarrow)
  QZ_HOLDER_SLOT(SetFromNarrowZ)
  QZ_HOLDER_SLOT(SetFromWide)
  QZ_HOLDER_SLOT(SetFromWideZ)
  QZ_HOLDER_SLOT(SetFromNarrowCp)
  QZ_HOLDER_SLOT(SetFromNarrowZCp)
  QZ_HOLDER_SLOT(SetFromWideCp)
  QZ_HOLDER_SLOT(SetFromWideZCp)
  QZ_HOLDER_SLOT(SetFromTextEx)
  QZ_HOLDER_SLOT(SetOwnedCopyN)
  QZ_HOLDER_SLOT(SetOwnedCopy)
  QZ_HOLDER_SLOT(FreeText)
#undef QZ_HOLDER_SLOT
  return ops;
}

template <class H>
struct THolderClass {
  static constexpr SHostValueOps kOps = MakeOps<H>();
  static constexpr SHostValueHolderClass kClass = {H::kType, &kOps, &H::Construct};
};

// The holder class of a type code in each family; null when the family has none.
const SHostValueHolderClass* pNumericHolderClass(std::uint8_t type);
const SHostValueHolderClass* pTextHolderClass(std::uint8_t type);
const SHostValueHolderClass* pReferenceHolderClass(std::uint8_t type);

}  // namespace holder
