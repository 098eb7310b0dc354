#include "engine/record/record_buffer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/record_description.h"
#include "foundation/clone_map.h"
#include "foundation/code_pages.h"
#include "foundation/date_time.h"
#include "foundation/host_locale.h"
#include "host/host_services.h"
#include "host/host_type.h"
#include "host/host_value.h"

namespace {

bool bIsAnsiTextColumn(std::uint32_t type) {
  return type == COLUMN_TYPE_TEXT || type == COLUMN_TYPE_TIME || type == COLUMN_TYPE_DATE ||
         type == COLUMN_TYPE_HOST_DATE;
}

bool bIsAnsiHostType(std::uint32_t type) {
  switch (type) {
    case 17:
    case 18:
    case 19:
    case 21:
    case 22:
    case 23:
    case 128:
    case 129:
    case 134:
      return true;
    default:
      return false;
  }
}

bool bIsWideHostType(std::uint32_t type) {
  return type == 16 || type == 20 || type == 24 || type == 25 || type == 81 || type == 110;
}

// Bytes of 8-bit text before its terminator, looking no further than the element.
std::uint32_t nAnsiLength(const std::uint8_t* text, std::uint32_t size) {
  const void* end = std::memchr(text, 0, size);
  return end ? static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(end) - text) : size;
}

// Bytes of UTF-16 text before its terminator, looking no further than the element (which may lie at any address).
std::uint32_t nWideByteLength(const std::uint8_t* text, std::uint32_t size) {
  std::uint32_t n = 0;
  while (n + 1 < size && (text[n] != 0 || text[n + 1] != 0)) n += 2;
  return n;
}

}  // namespace

bool CRecordBuffer::bAllocate(std::uint32_t nullAreaSize, std::uint32_t totalLength) {
  std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[totalLength]());
  if (!block) return false;
  m_pBlock = std::move(block);
  m_nTotalLength = totalLength;
  m_nNullAreaSize = nullAreaSize;
  m_pNullFlags = m_pBlock.get();
  m_pData = m_pBlock.get() + nullAreaSize;
  return true;
}

int CRecordBuffer::bBuildLayout(CRecordDescription* description) {
  const std::uint32_t count = description->nGetItemCount();
  // One flag per item; a description without items still gets a null area of one byte.
  const std::uint32_t nullAreaSize = count == 0 ? 1 : (count - 1) / 8 + 1;
  // The field area is the record size, which leaves composite keys out; should one come before a plain item, the
  // plain item would lie past it, so the area grows to cover every plain item wherever the layout put it.
  // Summed in 64 bits: a layout the description could not make (items never laid out, sizes past 32 bits) gets no
  // block rather than one whose fields wrap onto each other.
  std::uint64_t fieldSize = description->nGetRecordSize();
  for (std::uint32_t i = 0; i < count; ++i) {
    CColumnDescriptor* item = description->pGetItemAt(i);
    if (item->bIsCompositeKey()) continue;
    const std::uint64_t end =
        std::uint64_t{item->nGetElementOffset(0)} + std::uint64_t{item->nGetSize()} * item->nGetElementCount();
    fieldSize = std::max(fieldSize, end);
  }
  if (nullAreaSize + fieldSize > 0xFFFFFFFFu) return 0;
  if (!bAllocate(nullAreaSize, nullAreaSize + static_cast<std::uint32_t>(fieldSize))) return 0;
  m_nNullFlagCount = count;
  for (std::uint32_t i = 0; i < count; ++i) {
    CColumnDescriptor* item = description->pGetItemAt(i);
    if (!item->bIsCompositeKey()) ApplyDefaultValues(item);
  }
  return 1;
}

void CRecordBuffer::ApplyDefaultValues(CColumnDescriptor* item) {
  CHostValue* value = item->pGetDefaultValue();
  const bool useDefault = value && !item->bIsMemo() && !value->bIsNull() && value->nGetType() != 0;
  for (std::uint32_t e = 0; e < item->nGetElementCount(); ++e) {
    const auto element = static_cast<std::int32_t>(e);
    if (!useDefault || !bSetFieldFromValue(item, *value, element)) SetFieldPresent(item, false, element);
  }
}

std::uint8_t* CRecordBuffer::pLocateField(CColumnDescriptor* item, std::int32_t element, std::uint32_t& size) const {
  if (!m_pData) return nullptr;
  std::uint64_t offset = 0;
  if (element == -1) {
    size = item->nGetTotalSize();
    offset = item->nGetElementOffset(0);
  } else {
    size = item->nGetSize();
    offset = static_cast<std::uint64_t>(item->nGetElementOffset(0)) +
             static_cast<std::uint64_t>(static_cast<std::uint32_t>(element)) * size;
  }
  if (offset + size > nFieldAreaSize()) return nullptr;
  return m_pData + offset;
}

std::uint32_t CRecordBuffer::nRelease() {
  if (m_nRefCount > 0) --m_nRefCount;
  if (m_nRefCount > 0) return m_nRefCount;
  delete this;
  return 0;
}

void CRecordBuffer::DeletingDestructor(std::uint32_t flags) {
  this->~CRecordBuffer();
  if (flags & 1) ::operator delete(this);
}

std::uint8_t* CRecordBuffer::pGetFieldDataAgain(CColumnDescriptor* item, std::int32_t element) {
  return pGetFieldData(item, element);
}

CRecordBuffer* CRecordBuffer::pClone() {
  auto* copy = new (std::nothrow) CRecordBuffer();
  if (!copy) return nullptr;
  if (!copy->bCopyLayoutAndData(this)) {
    copy->nRelease();
    return nullptr;
  }
  return copy;
}

void CRecordBuffer::SetData(const void* bytes, std::uint32_t length) {
  if (!m_pData) return;
  // The bytes may come from this block itself (a row moved within it).
  if (bytes) std::memmove(m_pData, bytes, std::min(length, nFieldAreaSize()));
  std::memset(m_pNullFlags, 0xFF, m_nNullAreaSize);
}

std::uint8_t* CRecordBuffer::pGetFieldData(CColumnDescriptor* item, std::int32_t element) {
  std::uint32_t size = 0;
  return pLocateField(item, element, size);
}

bool CRecordBuffer::PutFieldBytes(CColumnDescriptor* item, const void* bytes, std::uint32_t length,
                                  std::int32_t element) {
  std::uint32_t size = 0;
  std::uint8_t* field = pLocateField(item, element, size);
  if (!field) return false;
  const auto* source = static_cast<const std::uint8_t*>(bytes);
  const std::uint32_t type = item->nGetType();
  std::memset(field, 0, size);
  if (!source || size == 0) return true;
  if (bIsAnsiTextColumn(type)) {
    // At most S - 1 bytes of the text, which may end before the length says or not at all. The text is measured
    // whole, so that the character at the cut is seen whole: one measured only up to S would end in a lead byte.
    const std::uint32_t n = nAnsiLength(source, length);
    // The record's texts are the runtime's, in the page of its own character set; a cut keeps whole characters.
    const std::uint32_t page = nCharsetToCodePage(nGetHostCharset());
    std::memcpy(field, source, nWholeCharacterPrefix(page, reinterpret_cast<const char*>(source), n, size - 1));
  } else if (type == COLUMN_TYPE_WTEXT || type == COLUMN_TYPE_WTEXT_MEMO) {
    // Whole units, a surrogate pair kept whole or left out, and room for the terminating zero word. The source may lie
    // at any address: the unit at the cut is read as bytes.
    if (length >= 2 && size >= 2) {
      std::uint32_t bytes = std::min(length, size - 2) & ~1u;
      std::uint16_t last = 0;
      if (bytes >= 2 && bytes < (length & ~1u)) std::memcpy(&last, source + bytes - 2, 2);
      if (last >= 0xD800 && last < 0xDC00) bytes -= 2;
      std::memcpy(field, source, bytes);
    }
  } else if (type == COLUMN_TYPE_BINARY) {
    if (length > 0 && size >= 2) {
      // The layout refuses elements past the length word; what the word cannot hold is never wrapped.
      const auto n = static_cast<std::uint16_t>(std::min({length, size - 2, std::uint32_t{0xFFFF}}));
      std::memcpy(field, &n, 2);
      std::memcpy(field + 2, source, n);
    }
  } else if (length > 0) {
    // A shorter source gives what it has and zeros; never S bytes read from a smaller one.
    std::memcpy(field, source, std::min(length, size));
  }
  return true;
}

int CRecordBuffer::bSetFieldBytes(CColumnDescriptor* item, const void* bytes, std::uint32_t length,
                                  std::int32_t element) {
  if (!PutFieldBytes(item, bytes, length, element)) return 0;
  SetFieldPresent(item, true, element);
  return 1;
}

void CRecordBuffer::SetFieldPresent(CColumnDescriptor* item, bool present, std::int32_t element) {
  const std::uint32_t position = item->nGetPosition();
  const std::uint32_t index = position == 0xFFFFFFFF ? 0 : position;
  if (index / 8 < m_nNullAreaSize) {
    const auto bit = static_cast<std::uint8_t>(0x80u >> (index % 8));
    if (present) {
      m_pNullFlags[index / 8] |= bit;
    } else {
      m_pNullFlags[index / 8] &= static_cast<std::uint8_t>(~bit);
    }
  }
  // A memo's field holds a reference: zero for one present but not read yet, all ones for NULL.
  if (item->bIsMemo()) {
    const std::uint64_t sentinel = present ? 0 : ~std::uint64_t{0};
    PutFieldBytes(item, &sentinel, 8, 0);
  } else if (!present) {
    std::uint32_t size = 0;
    if (std::uint8_t* field = pLocateField(item, element, size)) std::memset(field, 0, size);
  }
}

int CRecordBuffer::bIsFieldPresent(CColumnDescriptor* item) {
  const std::uint32_t position = item->nGetPosition();
  const std::uint32_t index = position == 0xFFFFFFFF ? 0 : position;
  if (index / 8 >= m_nNullAreaSize) return 0;
  return (m_pNullFlags[index / 8] & (0x80u >> (index % 8))) != 0;
}

int CRecordBuffer::bSetFieldFromValue(CColumnDescriptor* item, CHostValue& value, std::int32_t element) {
  if (value.bIsNull() || value.nGetType() == 0) {
    SetFieldPresent(item, false, element);
    return 1;
  }
  const std::uint32_t type = item->nGetType();
  const std::uint32_t valueType = value.nGetType();
  if (type == COLUMN_TYPE_TIME && valueType == HOST_TYPE_DATETIME) {
    CHostDateTime dateTime{};
    if (bHostFailed(value.nGet(&dateTime))) return 0;
    char digits[10] = {};
    dateTime.FormatTimeA(digits);
    return bSetFieldBytes(item, digits, 9, element);
  }
  const std::uint16_t hostType = item->nGetHostType();
  if (hostType == valueType) return bPutConvertedValue(item, value, element);
  if ((type == COLUMN_TYPE_DATE || type == COLUMN_TYPE_TIME) && bIsAnsiHostType(valueType)) {
    return bPutConvertedValue(item, value, element);
  }
  CHostValue copy;
  copy.Assign(value);
  if ((valueType == HOST_TYPE_WSTRING || valueType == HOST_TYPE_TEXT) && hostType == HOST_TYPE_ACHAR &&
      bHostFailed(copy.nConvert(HOST_TYPE_ASTRING))) {
    return 0;
  }
  // A value the runtime cannot convert leaves the field as it was: what a failed conversion left in the copy is
  // not the value.
  if (bHostFailed(copy.nConvert(static_cast<std::uint8_t>(hostType)))) return 0;
  return bPutConvertedValue(item, copy, element);
}

int CRecordBuffer::bPutConvertedValue(CColumnDescriptor* item, CHostValue& value, std::int32_t element) {
  if (item->nGetType() == COLUMN_TYPE_DECIMAL) {
    // Rounded to the column in a copy: the value may be the caller's own, whose digits are not the column's to cut.
    if (value.nGetType() != HOST_TYPE_PROXY_HANDLE) return 0;
    CHostValue copy;
    copy.Assign(value);
    IHostProxyHandle* decimal = nullptr;
    if (bHostFailed(copy.nGet(&decimal)) || !decimal) return 0;
    const std::uint32_t scale = item->nGetScale();
    decimal->SetPrecision(static_cast<std::int32_t>(item->nGetPrecision() + scale), static_cast<std::int32_t>(scale));
    const void* form = decimal->pGetData();
    const std::uint32_t size = decimal->nGetDataSize();
    // A form longer than the field keeps its value only when what the field leaves out is zeros.
    if (!bDecimalFormFits(form, size, item->nGetSize())) return 0;
    return bSetFieldBytes(item, form, size, element);
  }
  const void* data = nullptr;
  std::size_t size = 0;
  if (bHostFailed(value.nGetDataPointer(&data)) || bHostFailed(value.nGetDataSize(&size))) return 0;
  return bSetFieldBytes(item, data, static_cast<std::uint32_t>(std::min<std::size_t>(size, UINT32_MAX)), element);
}

void CRecordBuffer::CopyFieldTo(void* target, CColumnDescriptor* item, std::int32_t element) {
  std::uint32_t size = 0;
  const std::uint8_t* field = pLocateField(item, element, size);
  if (field && target) std::memcpy(target, field, size);
}

int CRecordBuffer::GetFieldValue(CHostValue& value, CColumnDescriptor* item, std::int32_t element) {
  std::uint32_t size = 0;
  const std::uint8_t* field = pLocateField(item, element, size);
  const std::uint32_t type = item->nGetType();
  const std::uint16_t hostType = item->nGetHostType();
  if (!field) {
    value.SetType(hostType);
    return 1;
  }
  std::uint32_t length = size;
  if (type == COLUMN_TYPE_BINARY && size >= 2) {
    std::uint16_t stored = 0;
    std::memcpy(&stored, field, 2);
    field += 2;
    length = std::min<std::uint32_t>(stored, size - 2);
  }
  int made = 1;
  if (type == COLUMN_TYPE_DECIMAL) {
    value.SetType(HOST_TYPE_PROXY_HANDLE);
    IHostProxyHandle* decimal = nullptr;
    if (!bHostFailed(value.nGet(&decimal)) && decimal) {
      // The element's bytes go into an area of the whole byte form, their sign widened through its integer, so that
      // the runtime never reads past a short element and reads a negative one as negative.
      std::size_t formSize = 0;
      value.nGetSizeWithTerminator(&formSize);
      formSize = std::max<std::size_t>(formSize, length);
      std::unique_ptr<std::uint8_t[]> form(new (std::nothrow) std::uint8_t[formSize]());
      if (form) {
        WidenDecimalField(form.get(), formSize, field, length);
        const std::uint32_t scale = item->nGetScale();
        decimal->SetFromKeyInput(static_cast<std::int32_t>(item->nGetPrecision() + scale),
                                 static_cast<std::int32_t>(scale), form.get());
      } else {
        made = 0;
      }
    }
  } else {
    value.SetType(hostType);
    if (bIsAnsiHostType(hostType)) {
      length = nAnsiLength(field, length);
    } else if (bIsWideHostType(hostType)) {
      length = nWideByteLength(field, length);
    }
    // A text the runtime's memory refused is no empty field: the caller hears of it. The runtime's allocator
    // answers codes of its own, below the failure codes: anything but done is a failure here.
    made = value.SetFromBuffer(field, length) == HOST_OK;
  }
  value.SetFlags(0);
  return made;
}

int CRecordBuffer::bCopyFrom(const CRecordBuffer* source, CHashTable& cloneMap) {
  if (source == this) return 1;  // a copy of itself is what it already is
  if (!bRegisterClone(cloneMap, source, this)) return 0;
  return bCopyLayoutAndData(source);
}

CRecordBuffer* CRecordBuffer::pCloneWithMap(CHashTable& cloneMap) {
  auto* copy = new (std::nothrow) CRecordBuffer();
  if (!copy) return nullptr;
  if (!copy->bCopyFrom(this, cloneMap)) {
    copy->nRelease();
    return nullptr;
  }
  return copy;
}

void CRecordBuffer::CopyBlockFrom(const CRecordBuffer* other) {
  if (!other || other == this || !m_pBlock || !other->m_pBlock) return;
  std::memcpy(m_pBlock.get(), other->m_pBlock.get(), std::min(m_nTotalLength, other->m_nTotalLength));
}

int CRecordBuffer::bEquals(const CRecordBuffer* other) const {
  if (!other || other->m_nTotalLength != m_nTotalLength || other->m_nNullAreaSize != m_nNullAreaSize) return 0;
  if (m_nTotalLength == 0) return 1;
  return std::memcmp(m_pBlock.get(), other->m_pBlock.get(), m_nTotalLength) == 0;
}

int CRecordBuffer::bCopyLayoutAndData(const CRecordBuffer* other) {
  // A copy of itself is what it already is: a new block would be copied from itself, zeroed.
  if (other == this) return 1;
  if (!bAllocate(other->m_nNullAreaSize, other->m_nTotalLength)) return 0;
  m_nNullFlagCount = other->m_nNullFlagCount;
  if (m_nTotalLength) std::memcpy(m_pBlock.get(), other->m_pBlock.get(), m_nTotalLength);
  return 1;
}
