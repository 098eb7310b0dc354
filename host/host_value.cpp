#include "host/host_value.h"

#include "foundation/module_errors.h"
#include "host/value_holders.h"

int bHostStoredOrOutOfMemory(std::uint32_t code, CErrorHolder* holder) {
  if (bHostStored(code)) return 1;
  if (!bHostFailed(code)) SetHolderOutOfMemory(holder);
  return 0;
}

const SHostValueOps gBaseHostValueOps = holder::kBaseOps;

namespace holder {

void ResetToBase(CHostValueHolder* self) {
  self->m_pOps = &gBaseHostValueOps;
  self->m_wType = HOST_TYPE_EMPTY;
}

void QZ_HOLDER_CALL BaseDestroy(CHostValueHolder* self, std::uint32_t) { ResetToBase(self); }

std::int32_t QZ_HOLDER_CALL BaseCopyTo(CHostValueHolder* self, CHostValue* target) {
  target->SetFlags(self->m_wType);
  return HOST_OK;
}

std::int32_t QZ_HOLDER_CALL BaseSizeNotSupported(CHostValueHolder*, std::size_t* out) {
  *out = 0;
  return HOST_ERR_NOT_SUPPORTED;
}
std::int32_t QZ_HOLDER_CALL BaseGetStorageAddress(CHostValueHolder*, void** out) {
  *out = nullptr;
  return HOST_ERR_NOT_SUPPORTED;
}
std::int32_t QZ_HOLDER_CALL BaseGet(CHostValueHolder*, void*) { return HOST_ERR_NOT_SUPPORTED; }
std::int32_t QZ_HOLDER_CALL BaseGetDataPointer(CHostValueHolder*, const void** out) {
  *out = nullptr;
  return HOST_ERR_NOT_SUPPORTED;
}
std::int32_t QZ_HOLDER_CALL BaseCopyWithTerminator(CHostValueHolder*, void*) { return HOST_ERR_NOT_SUPPORTED; }
std::int32_t QZ_HOLDER_CALL BaseSetFromBuffer(CHostValueHolder* self, const void* data, std::size_t) {
  return self->m_pOps->Set(self, data);
}
std::int32_t QZ_HOLDER_CALL BaseSet(CHostValueHolder*, const void*) { return HOST_OK; }
std::int32_t QZ_HOLDER_CALL BaseGetNarrowText(CHostValueHolder*, const char** out) {
  *out = nullptr;
  return HOST_ERR_CANNOT_CONVERT;
}
std::int32_t QZ_HOLDER_CALL BaseGetWideText(CHostValueHolder*, const char16_t** out) {
  *out = nullptr;
  return HOST_ERR_CANNOT_CONVERT;
}
std::int32_t QZ_HOLDER_CALL BaseGetLength(CHostValueHolder*, std::size_t* out) {
  *out = 0;
  return HOST_ERR_CANNOT_CONVERT;
}
std::int32_t QZ_HOLDER_CALL BaseIsNonNegative(CHostValueHolder*) { return 1; }
std::int32_t QZ_HOLDER_CALL BaseGetDataSize(CHostValueHolder* self, std::size_t* out) {
  return self->m_pOps->nGetSizeWithTerminator(self, out);
}
std::int32_t QZ_HOLDER_CALL BaseCopyData(CHostValueHolder* self, void* destination) {
  return self->m_pOps->nCopyWithTerminator(self, destination);
}
std::int32_t QZ_HOLDER_CALL BaseStep(CHostValueHolder*) { return HOST_ERR_CANNOT_CONVERT; }
std::int32_t QZ_HOLDER_CALL BaseSetFromNarrow(CHostValueHolder* self, const char* text, std::ptrdiff_t length) {
  return self->m_pOps->SetFromBuffer(self, text, static_cast<std::size_t>(length));
}
std::int32_t QZ_HOLDER_CALL BaseSetFromNarrowZ(CHostValueHolder* self, const char* text) {
  return self->m_pOps->Set(self, text);
}
std::int32_t QZ_HOLDER_CALL BaseSetFromWide(CHostValueHolder* self, const char16_t* text, std::ptrdiff_t size) {
  return self->m_pOps->SetFromBuffer(self, text, static_cast<std::size_t>(size));
}
std::int32_t QZ_HOLDER_CALL BaseSetFromWideZ(CHostValueHolder* self, const char16_t* text) {
  return self->m_pOps->Set(self, text);
}
std::int32_t QZ_HOLDER_CALL BaseSetFromNarrowCp(CHostValueHolder* self, std::uint32_t, const char* text,
                                                 std::ptrdiff_t length) {
  return self->m_pOps->SetFromNarrow(self, text, length);
}
std::int32_t QZ_HOLDER_CALL BaseSetFromNarrowZCp(CHostValueHolder* self, std::uint32_t, const char* text) {
  return self->m_pOps->SetFromNarrowZ(self, text);
}
std::int32_t QZ_HOLDER_CALL BaseSetFromWideCp(CHostValueHolder* self, std::uint32_t, const char16_t* text,
                                               std::ptrdiff_t size) {
  return self->m_pOps->SetFromWide(self, text, size);
}
std::int32_t QZ_HOLDER_CALL BaseSetFromWideZCp(CHostValueHolder* self, std::uint32_t, const char16_t* text) {
  return self->m_pOps->SetFromWideZ(self, text);
}
std::int32_t QZ_HOLDER_CALL BaseSetFromTextEx(CHostValueHolder* self, const void* text, std::ptrdiff_t length,
                                               std::uint32_t) {
  return self->m_pOps->SetFromBuffer(self, text, static_cast<std::size_t>(length));
}
// Only the heap-text holders offer slots 27-29; the others answer as for any operation they lack.
std::int32_t QZ_HOLDER_CALL BaseSetOwnedCopyN(CHostValueHolder*, const void*, std::size_t) {
  return HOST_ERR_NOT_SUPPORTED;
}
std::int32_t QZ_HOLDER_CALL BaseSetOwnedCopy(CHostValueHolder*, const void*) { return HOST_ERR_NOT_SUPPORTED; }
void QZ_HOLDER_CALL BaseFreeText(CHostValueHolder*) {}

std::int32_t CopyNativeTo(CHostValueHolder* self, CHostValue* target, const void* native, bool withFlags) {
  target->SetType(TypeOf(self));
  const std::int32_t code = target->Set(native);
  target->SetFlags(withFlags ? self->m_wType : 0);
  return code;
}

}  // namespace holder

namespace {

const holder::SHostValueHolderClass* pHolderClassOf(std::uint8_t type) {
  if (const auto* found = holder::pNumericHolderClass(type)) return found;
  if (const auto* found = holder::pTextHolderClass(type)) return found;
  return holder::pReferenceHolderClass(type);
}

}  // namespace

CHostValue::CHostValue() : m_nLead(0) { holder::ResetToBase(&m_holder); }

CHostValue::~CHostValue() { m_holder.m_pOps->Destroy(&m_holder, 1); }

CHostValue* CHostValue::pFromHolder(CHostValueHolder* holder) {
  return reinterpret_cast<CHostValue*>(reinterpret_cast<char*>(holder) - offsetof(CHostValue, m_holder));
}

void CHostValue::Reset() { holder::ResetToBase(&m_holder); }

void CHostValue::SetNull(bool null) {
  m_holder.m_wType = static_cast<std::uint16_t>(null ? (m_holder.m_wType | HOST_VALUE_FLAG_NULL)
                                                     : (m_holder.m_wType & ~HOST_VALUE_FLAG_NULL));
}

void CHostValue::SetFlags(std::uint16_t flags) {
  m_holder.m_wType =
      static_cast<std::uint16_t>((m_holder.m_wType & HOST_VALUE_CLEAR_FLAGS_MASK) | (flags & HOST_VALUE_FLAGS));
}

void CHostValue::SetType(std::uint16_t type) {
  if (m_holder.m_wType == type) return;
  m_holder.m_pOps->Destroy(&m_holder, 1);
  holder::ResetToBase(&m_holder);
  const holder::SHostValueHolderClass* found = pHolderClassOf(static_cast<std::uint8_t>(type & HOST_TYPE_CODE_MASK));
  if (!found) return;
  // The initial value is made while the value is still a base holder: when it throws, nothing half-made is left.
  found->Construct(&m_holder);
  m_holder.m_pOps = found->pOps;
  m_holder.m_wType = found->nType;
}

std::int32_t CHostValue::Assign(const CHostValue& source) {
  if (&source == this) return HOST_OK;
  m_holder.m_pOps->Destroy(&m_holder, 1);
  holder::ResetToBase(&m_holder);
  SetType(source.nGetType());
  auto& from = const_cast<CHostValueHolder&>(source.m_holder);
  return from.m_pOps->CopyTo(&from, this);
}
