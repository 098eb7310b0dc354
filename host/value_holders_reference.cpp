// Holders whose storage refers to something outside the value: the runtime decimal handle (13), a buffer the value
// does not own (29), counted objects (30, 50, 65), referenced interfaces (108, 111) and the array of values (83).
#include <cstdlib>
#include <new>

#include "host/execution.h"
#include "host/value_holders.h"

namespace holder {
namespace {

template <class T>
T* LoadPointer(const CHostValueHolder* self, std::size_t offset = 0) {
  return Load<T*>(self, offset);
}

// The common reads of a holder that keeps one pointer: nGet gives it.
template <std::uint8_t Code>
struct TPointerHolder {
  static constexpr std::uint8_t kType = Code;
  static void Construct(CHostValueHolder* self) { Store<void*>(self, nullptr); }
  static std::int32_t QZ_HOLDER_CALL nGet(CHostValueHolder* self, void* out) {
    void* pointer = LoadPointer<void>(self);
    std::memcpy(out, &pointer, sizeof(pointer));
    return HOST_OK;
  }
};

// ---- 13: the runtime decimal, a handle of the runtime's proxy --------------------------------------------------------
// Without a bound proxy the value holds no handle, and every operation that needs one answers 102.
struct CProxyHandleHolder : TPointerHolder<HOST_TYPE_PROXY_HANDLE> {
  static IHostProxyHandle* Handle(const CHostValueHolder* self) { return LoadPointer<IHostProxyHandle>(self); }

  static void Construct(CHostValueHolder* self) {
    Store<IHostProxyHandle*>(self, gpHostProxy ? gpHostProxy->pCreateHandle(0, 0, 0) : nullptr);
  }
  static void QZ_HOLDER_CALL Destroy(CHostValueHolder* self, std::uint32_t) {
    if (IHostProxyHandle* handle = Handle(self); handle && gpHostProxy) gpHostProxy->ReleaseHandle(handle);
    ResetToBase(self);
  }
  static std::int32_t QZ_HOLDER_CALL CopyTo(CHostValueHolder* self, CHostValue* target) {
    return CopyNativeTo(self, target, Handle(self));
  }
  static std::int32_t QZ_HOLDER_CALL nGetStorageSize(CHostValueHolder*, std::size_t* out) { return Answer(out, 8); }
  static std::int32_t QZ_HOLDER_CALL nGetSizeWithTerminator(CHostValueHolder*, std::size_t* out) {
    return Answer(out, 18);
  }
  static std::int32_t QZ_HOLDER_CALL nGetDataPointer(CHostValueHolder*, const void** out) {
    *out = nullptr;
    return HOST_ERR_CANNOT_CONVERT;
  }
  static std::int32_t QZ_HOLDER_CALL nCopyWithTerminator(CHostValueHolder* self, void* destination) {
    IHostProxyHandle* handle = Handle(self);
    if (!handle) return HOST_ERR_NOT_SUPPORTED;
    return handle->nCopyWithTerminator(destination);
  }
  static std::int32_t QZ_HOLDER_CALL SetFromBuffer(CHostValueHolder* self, const void* data, std::size_t size) {
    IHostProxyHandle* handle = Handle(self);
    if (!handle) return HOST_ERR_NOT_SUPPORTED;
    return handle->nSetFromBuffer(data, size);
  }
  static std::int32_t QZ_HOLDER_CALL Set(CHostValueHolder* self, const void* native) {
    IHostProxyHandle* handle = Handle(self);
    if (!handle) return HOST_ERR_NOT_SUPPORTED;
    if (!native) return HOST_ERR_CANNOT_CONVERT;
    return handle->nSet(static_cast<const IHostProxyHandle*>(native));
  }
  static std::int32_t QZ_HOLDER_CALL bIsNonNegative(CHostValueHolder* self) {
    IHostProxyHandle* handle = Handle(self);
    return handle && handle->bIsNegative() ? 0 : 1;
  }
};

// ---- 29: a buffer the value refers to without owning it ------------------------------------------------------------
struct CBufferReferenceHolder : TPointerHolder<HOST_TYPE_PAIR29> {
  static constexpr std::size_t kSizeAt = sizeof(void*);
  static std::uint64_t Size(const CHostValueHolder* self) { return Load<std::uint64_t>(self, kSizeAt); }

  static void Construct(CHostValueHolder* self) {
    Store<void*>(self, nullptr);
    Store<std::uint64_t>(self, 0, kSizeAt);
  }
  // The copy refers to the same memory with the same size (a copy through Set alone would lose the size).
  static std::int32_t QZ_HOLDER_CALL CopyTo(CHostValueHolder* self, CHostValue* target) {
    target->SetType(HOST_TYPE_PAIR29);
    const std::int32_t code = target->SetFromBuffer(LoadPointer<void>(self), static_cast<std::size_t>(Size(self)));
    target->SetFlags(self->m_wType);
    return code;
  }
  static std::int32_t QZ_HOLDER_CALL SetFromBuffer(CHostValueHolder* self, const void* data, std::size_t size) {
    Store<const void*>(self, data);
    Store<std::uint64_t>(self, size, kSizeAt);
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL Set(CHostValueHolder* self, const void* native) {
    return SetFromBuffer(self, native, 0);
  }
  static std::int32_t QZ_HOLDER_CALL nGetDataPointer(CHostValueHolder* self, const void** out) {
    *out = LoadPointer<void>(self);
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL nGetSizeWithTerminator(CHostValueHolder* self, std::size_t* out) {
    return Answer(out, static_cast<std::size_t>(Size(self)));
  }
  static std::int32_t QZ_HOLDER_CALL nGetDataSize(CHostValueHolder* self, std::size_t* out) {
    return nGetSizeWithTerminator(self, out);
  }
  static std::int32_t QZ_HOLDER_CALL nCopyWithTerminator(CHostValueHolder* self, void* destination) {
    if (const void* data = LoadPointer<void>(self)) std::memcpy(destination, data, static_cast<std::size_t>(Size(self)));
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL nCopyData(CHostValueHolder* self, void* destination) {
    return nCopyWithTerminator(self, destination);
  }
};

// ---- 30, 50, 65: counted objects -----------------------------------------------------------------------------------
// Set takes a reference on a non-null object (a value that holds none yet is copied without touching null) and
// gives back the one it held, so a value set twice does not keep its first object alive.
template <std::uint8_t Code>
struct TCountedObjectHolder : TPointerHolder<Code> {
  static IHostCountedObject* Object(const CHostValueHolder* self) { return LoadPointer<IHostCountedObject>(self); }

  static void QZ_HOLDER_CALL Destroy(CHostValueHolder* self, std::uint32_t) {
    if (IHostCountedObject* object = Object(self)) object->nRelease();
    ResetToBase(self);
  }
  static std::int32_t QZ_HOLDER_CALL CopyTo(CHostValueHolder* self, CHostValue* target) {
    return CopyNativeTo(self, target, Object(self));
  }
  static std::int32_t QZ_HOLDER_CALL Set(CHostValueHolder* self, const void* native) {
    auto* object = static_cast<IHostCountedObject*>(const_cast<void*>(native));
    IHostCountedObject* old = Object(self);
    if (object) ++object->m_nRefCount;
    Store<IHostCountedObject*>(self, object);
    if (old) old->nRelease();
    return HOST_OK;
  }
};

// ---- 108, 111: referenced interfaces ---------------------------------------------------------------------------
template <std::uint8_t Code>
struct TReferenceHolder : TPointerHolder<Code> {
  static IHostReferenced* Object(const CHostValueHolder* self) { return LoadPointer<IHostReferenced>(self); }

  static void QZ_HOLDER_CALL Destroy(CHostValueHolder* self, std::uint32_t) {
    if (IHostReferenced* object = Object(self)) object->nRelease();
    ResetToBase(self);
  }
  // These copies never carry the NULL and MARKED flags.
  static std::int32_t QZ_HOLDER_CALL CopyTo(CHostValueHolder* self, CHostValue* target) {
    return CopyNativeTo(self, target, Object(self), false);
  }
  // The new reference is taken before the old one goes, so setting the object a value already holds is safe.
  static std::int32_t QZ_HOLDER_CALL Set(CHostValueHolder* self, const void* native) {
    auto* object = static_cast<IHostReferenced*>(const_cast<void*>(native));
    IHostReferenced* old = Object(self);
    if (object) object->nAddRef();
    Store<IHostReferenced*>(self, object);
    if (old) old->nRelease();
    return HOST_OK;
  }
};

// ---- 83: an array of values -----------------------------------------------------------------------------------------
struct CValueArrayHolder : TPointerHolder<HOST_TYPE_VALUE_ARRAY> {
  static constexpr std::size_t kCountAt = sizeof(void*);
  static CHostValue* Elements(const CHostValueHolder* self) { return LoadPointer<CHostValue>(self); }
  static std::uint64_t Count(const CHostValueHolder* self) { return Load<std::uint64_t>(self, kCountAt); }

  static void Construct(CHostValueHolder* self) {
    Store<void*>(self, nullptr);
    Store<std::uint64_t>(self, 0, kCountAt);
  }
  static void Free(CHostValue* elements, std::uint64_t count) {
    for (std::uint64_t i = 0; i < count; ++i) elements[i].~CHostValue();
    std::free(elements);
  }
  static void QZ_HOLDER_CALL Destroy(CHostValueHolder* self, std::uint32_t) {
    Free(Elements(self), Count(self));
    ResetToBase(self);
  }
  static std::int32_t QZ_HOLDER_CALL CopyTo(CHostValueHolder* self, CHostValue* target) {
    target->SetType(HOST_TYPE_VALUE_ARRAY);
    const std::int32_t code = target->SetFromBuffer(Elements(self), static_cast<std::size_t>(Count(self)));
    target->SetFlags(self->m_wType);
    return code;
  }
  // The new elements are made before the old ones go, so an array can be set from its own elements.
  static std::int32_t QZ_HOLDER_CALL SetFromBuffer(CHostValueHolder* self, const void* data, std::size_t count) {
    const auto* source = static_cast<const CHostValue*>(data);
    if (!source) count = 0;
    CHostValue* elements = nullptr;
    if (count > 0) {
      if (count > SIZE_MAX / sizeof(CHostValue)) return HOST_ERR_TOO_LONG;
      elements = static_cast<CHostValue*>(std::malloc(count * sizeof(CHostValue)));
      if (!elements) return HOST_ERR_TOO_LONG;
      for (std::size_t i = 0; i < count; ++i) new (&elements[i]) CHostValue();
      for (std::size_t i = 0; i < count; ++i) elements[i].Assign(source[i]);
    }
    Free(Elements(self), Count(self));
    Store<CHostValue*>(self, elements);
    Store<std::uint64_t>(self, count, kCountAt);
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL Set(CHostValueHolder* self, const void* native) {
    return SetFromBuffer(self, native, 1);
  }
  static std::int32_t QZ_HOLDER_CALL nGetDataPointer(CHostValueHolder* self, const void** out) {
    *out = Elements(self);
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL nGetSizeWithTerminator(CHostValueHolder* self, std::size_t* out) {
    return Answer(out, static_cast<std::size_t>(Count(self)));
  }
  static std::int32_t QZ_HOLDER_CALL nGetDataSize(CHostValueHolder* self, std::size_t* out) {
    return nGetSizeWithTerminator(self, out);
  }
  static std::int32_t QZ_HOLDER_CALL nCopyWithTerminator(CHostValueHolder*, void*) { return HOST_ERR_CANNOT_CONVERT; }
  static std::int32_t QZ_HOLDER_CALL nCopyData(CHostValueHolder*, void*) { return HOST_ERR_CANNOT_CONVERT; }
};

}  // namespace

const SHostValueHolderClass* pReferenceHolderClass(std::uint8_t type) {
  switch (type) {
    case HOST_TYPE_PROXY_HANDLE: return &THolderClass<CProxyHandleHolder>::kClass;
    case HOST_TYPE_PAIR29: return &THolderClass<CBufferReferenceHolder>::kClass;
    case HOST_TYPE_OBJECT30: return &THolderClass<TCountedObjectHolder<HOST_TYPE_OBJECT30>>::kClass;
    case HOST_TYPE_OBJECT50: return &THolderClass<TCountedObjectHolder<HOST_TYPE_OBJECT50>>::kClass;
    case HOST_TYPE_OBJECT65: return &THolderClass<TCountedObjectHolder<HOST_TYPE_OBJECT65>>::kClass;
    case HOST_TYPE_VALUE_ARRAY: return &THolderClass<CValueArrayHolder>::kClass;
    case HOST_TYPE_OBJECT108: return &THolderClass<TReferenceHolder<HOST_TYPE_OBJECT108>>::kClass;
    case HOST_TYPE_OBJECT111: return &THolderClass<TReferenceHolder<HOST_TYPE_OBJECT111>>::kClass;
    default: return nullptr;
  }
}

}  // namespace holder
