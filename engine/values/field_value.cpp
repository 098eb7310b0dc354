#include "engine/values/field_value.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/record_buffer.h"
#include "foundation/clone_map.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/reference_guard.h"
#include "foundation/x_error.h"
#include "host/host_string.h"
#include "host/value_file.h"
#include "host/value_operations.h"
#include "sql/connection.h"

bool bIsNarrowTextHostType(std::uint8_t type) {
  switch (type) {
    case 17: case 18: case 19: case 21: case 22: case 23: case 128: case 129: case 134:
      return true;
    default:
      return false;
  }
}

bool bIsWideTextHostType(std::uint8_t type) {
  switch (type) {
    case 16: case 20: case 24: case 25: case 81: case 110:
      return true;
    default:
      return false;
  }
}

bool bIsInPlaceHostType(std::uint8_t type) {
  if (type >= 1 && type <= 14) return true;
  switch (type) {
    case 17: case 24: case 25: case 26: case 27: case 81: case 128: case 129:
      return true;
    default:
      return false;
  }
}

bool bIsLongColumnType(std::uint32_t columnType) {
  return columnType == COLUMN_TYPE_TEXT_MEMO || columnType == COLUMN_TYPE_LONG_BINARY ||
         columnType == COLUMN_TYPE_BINARY_MEMO || columnType == COLUMN_TYPE_WTEXT_MEMO;
}

namespace {


std::uint64_t nHeldSize(CHostValue& value) {
  std::size_t size = 0;
  return bHostFailed(value.nGetSizeWithTerminator(&size)) ? 0 : size;
}

const void* pHeldData(CHostValue& value) {
  if (value.nGetType() == HOST_TYPE_EMPTY) return nullptr;
  const void* data = nullptr;
  return bHostFailed(value.nGetDataPointer(&data)) ? nullptr : data;
}

// Two texts compared unit by unit up to the first terminator, each read no further than its own units: a full
// native buffer has no terminator, and its end counts as one.
template <class Unit>
int nCompareTexts(const Unit* x, std::uint64_t xUnits, const Unit* y, std::uint64_t yUnits) {
  for (std::uint64_t i = 0;; ++i) {
    const Unit a = i < xUnits ? x[i] : Unit{0};
    const Unit b = i < yUnits ? y[i] : Unit{0};
    if (a != b || a == 0) return static_cast<int>(a) - static_cast<int>(b);
  }
}

}  // namespace

CFieldValue::CFieldValue(CErrorHolder* owner, CConnection* connection) {
  Exchange(m_pOwner, owner);
  SetConnection(connection);
}

CFieldValue::CFieldValue() = default;

CFieldValue::~CFieldValue() {
  Reset(FIELD_STATE_UNSET);
  SetConnection(nullptr);
  Exchange<CErrorHolder>(m_pOwner, nullptr);
}

// The connection is counted like every other reference the value keeps, so that a value never outlives the
// connection whose code pages it reads; a plain release, because the driver's registry keeps its own reference.
void CFieldValue::SetConnection(CConnection* connection) { Exchange<CConnection>(m_pConnection, connection); }

std::uint32_t CFieldValue::nClientCodePage() { return m_pConnection ? m_pConnection->nGetAnsiCodePage() : 0; }

// The connection keeps a single 8-bit code page for what the driver writes; the text a prepared value receives is
// read in that page too.
std::uint32_t CFieldValue::nSecondCodePage() { return nClientCodePage(); }

// ---- states and buffers ------------------------------------------------------------------------------------------

void CFieldValue::Reset(std::uint32_t state) {
  if (m_nState == FIELD_STATE_OWNED) std::free(m_pNative);
  m_pNative = nullptr;
  std::free(m_pConversion);
  m_pConversion = nullptr;
  m_nConversionSize = 0;
  Exchange<CColumnDescriptor>(m_pPrimary, nullptr);
  Exchange<CColumnDescriptor>(m_pSecondary, nullptr);
  Value().SetType(HOST_TYPE_EMPTY);
  m_nState = state;
  m_nPreparation = state == FIELD_STATE_EXTERNAL_READY || state == FIELD_STATE_OWNED ? FIELD_PREPARED_IN_PLACE
                                                                                       : FIELD_NOT_PREPARED;
}

void CFieldValue::InitType(std::uint16_t hostType, std::uint64_t size) {
  Reset(FIELD_STATE_VALUE);
  m_nBufferSize = size;
  m_nDataLength = size;
  Value().SetType(hostType);
  m_nNativeTypeCode = 0;
  m_nPreparation = FIELD_NOT_PREPARED;
}

int CFieldValue::bAttachExternalBuffer(void* buffer, std::uint64_t size) {
  Reset(FIELD_STATE_EXTERNAL);
  m_pNative = static_cast<std::uint8_t*>(buffer);
  m_nBufferSize = size;
  m_nDataLength = size;
  return 1;
}

int CFieldValue::bAllocateNativeBuffer(std::uint16_t hostType, std::uint64_t size) {
  Reset(FIELD_STATE_OWNED);
  m_pNative = static_cast<std::uint8_t*>(std::calloc(size ? size : 1, 1));
  if (!m_pNative) {
    m_nState = FIELD_STATE_UNSET;
    SetHolderOutOfMemory(m_pOwner);
    return 0;
  }
  m_nBufferSize = size;
  m_nDataLength = size;
  Value().SetType(hostType);
  return bCheckNativeType();
}

void CFieldValue::SetDescriptors(CColumnDescriptor* primary, CColumnDescriptor* secondary) {
  if (primary != m_pPrimary) {
    Exchange(m_pPrimary, primary);
    if (primary) Value().SetType(nHostTypeOfColumnType(primary->nGetType(), -1));
  }
  Exchange(m_pSecondary, secondary);
}

void CFieldValue::ResetNativeState(bool clearNull) {
  if (m_nState == FIELD_STATE_NULL) m_nState = FIELD_STATE_VALUE;
  m_nNullIndicator = 0;
  if (clearNull) Value().SetNull(false);
}

void CFieldValue::SetNull() {
  ResetNativeState(false);
  const std::uint8_t type = Value().nGetType();
  Value().SetType(HOST_TYPE_EMPTY);
  Value().SetType(type);
  Value().SetNull(true);
  if (m_nState == FIELD_STATE_EXTERNAL && m_pNative) std::memset(m_pNative, 0, m_nBufferSize);
}

void CFieldValue::ZeroNativeFrom(std::uint64_t from) {
  if (m_pNative && from < m_nBufferSize) std::memset(m_pNative + from, 0, m_nBufferSize - from);
}

// ---- what the value is ---------------------------------------------------------------------------------------------

std::uint32_t CFieldValue::nGetColumnType() {
  if (m_pPrimary) return m_pPrimary->nGetType();
  return m_pSecondary ? m_pSecondary->nGetType() : 0;
}

std::uint32_t CFieldValue::nGetColumnTypeOrHost() {
  if (m_pSecondary) return m_pSecondary->nGetType();
  if (m_pPrimary) return m_pPrimary->nGetType();
  return nColumnTypeFromHostType(Value().nGetType());
}

std::uint32_t CFieldValue::nGetSecondaryTypeChecked() {
  if (!m_pSecondary) return 0;
  if (m_pConnection && m_pConnection->bIsUntypedServerType(m_pSecondary->nGetServerTypeCode())) return 0;
  return m_pSecondary->nGetType();
}

bool CFieldValue::bIsWideText() {
  CColumnDescriptor* descriptor = m_pSecondary ? m_pSecondary : m_pPrimary;
  if (descriptor) {
    const std::uint32_t type = descriptor->nGetType();
    return type == COLUMN_TYPE_WTEXT || type == COLUMN_TYPE_WTEXT_MEMO;
  }
  return bIsWideTextHostType(Value().nGetType());
}

int CFieldValue::bGetNumericPrecision(std::uint32_t* precision, std::uint32_t* scale) {
  if (m_pPrimary && m_pPrimary->nGetType() == COLUMN_TYPE_DECIMAL) {
    *precision = m_pPrimary->nGetPrecision() + m_pPrimary->nGetScale();
    *scale = m_pPrimary->nGetScale();
    return 1;
  }
  const std::uint8_t type = Value().nGetType();
  if (m_pConnection && m_pConnection->nGetDbmsKind() == 2 &&
      (type != HOST_TYPE_PROXY_HANDLE || Value().bIsNull())) {
    return bNumericPrecisionOfHostType(type, *precision, *scale) ? 1 : 0;
  }
  std::intptr_t first = 0, second = 0;
  const int known = bHostValueBinaryInfo(this, &first, &second);
  *precision = static_cast<std::uint32_t>(first);
  *scale = static_cast<std::uint32_t>(second);
  return known;
}

const char16_t* CFieldValue::pszGetTableName() {
  if (m_pPrimary) return m_pPrimary->pszGetTableName();
  return m_pSecondary ? m_pSecondary->pszGetTableName() : nullptr;
}

const char16_t* CFieldValue::pszGetColumnName() {
  if (m_pPrimary) return m_pPrimary->pszGetName();
  return m_pSecondary ? m_pSecondary->pszGetName() : nullptr;
}

const void* CFieldValue::pGetData() {
  switch (m_nState) {
    case FIELD_STATE_VALUE:
    case FIELD_STATE_NULL:
      return pHeldData(Value());
    case FIELD_STATE_UNSET:
      return nullptr;
    default:
      return m_pNative;
  }
}

std::uint64_t CFieldValue::nGetDataSize() {
  return m_nState == FIELD_STATE_VALUE ? nHeldSize(Value()) : m_nDataLength;
}

std::uint64_t CFieldValue::nReadableBytes() {
  return m_nState == FIELD_STATE_VALUE || m_nState == FIELD_STATE_NULL ? nHeldSize(Value()) : m_nBufferSize;
}

std::uint64_t CFieldValue::nGetValueLength() {
  const std::uint8_t type = Value().nGetType();
  const void* data = pGetData();
  // Measured within the buffer the text lies in, so an unterminated native buffer is never read past its end.
  const std::uint64_t limit = m_nState == FIELD_STATE_VALUE || m_nState == FIELD_STATE_NULL ? ~std::uint64_t{0}
                                                                                           : m_nBufferSize;
  if (data && bIsNarrowTextHostType(type)) {
    const auto* text = static_cast<const char*>(data);
    std::uint64_t n = 0;
    while (n < limit && text[n]) ++n;
    return n;
  }
  if (data && (type == 16 || type == 20 || type == 81 || type == 110)) {
    const auto* text = static_cast<const char16_t*>(data);
    std::uint64_t n = 0;
    while ((n + 1) * 2 <= limit && text[n]) ++n;
    return n;
  }
  return m_nState == FIELD_STATE_VALUE ? nHeldSize(Value()) : m_nDataLength;
}

// ---- the buffer protocol ---------------------------------------------------------------------------------------------

int CFieldValue::bEnsurePrepared() {
  if (m_nPreparation != FIELD_NOT_PREPARED) return 1;
  if (!bCheckNativeType()) return 0;
  switch (m_nState) {
    case FIELD_STATE_NULL:
      m_nState = FIELD_STATE_VALUE;
      return bPrepareNativeBuffer();
    case FIELD_STATE_VALUE:
      return bPrepareNativeBuffer();
    case FIELD_STATE_EXTERNAL:
      return bPrepareExternalBuffer();
    default:
      return 0;
  }
}

int CFieldValue::bPrepareExternalBuffer() {
  m_nPreparation = FIELD_PREPARED_IN_PLACE;
  return 1;
}

int CFieldValue::bPrepareNativeBuffer() {
  const std::uint8_t type = Value().nGetType();
  if (type == HOST_TYPE_EMPTY) {
    SetNull();
    m_nPreparation = FIELD_PREPARED_IN_PLACE;
    return 1;
  }
  if (bIsInPlaceHostType(type)) {
    m_pNative = static_cast<std::uint8_t*>(const_cast<void*>(pHeldData(Value())));
    m_nBufferSize = nHeldSize(Value());
    m_nPreparation = FIELD_PREPARED_IN_PLACE;
    return 1;
  }
  if (bIsLongColumnType(nGetColumnType())) {
    m_nPreparation = FIELD_PREPARED_IN_PLACE;
    return 1;
  }
  if (m_pConversion && m_nConversionSize >= m_nBufferSize) {
    std::memset(m_pConversion, 0, m_nConversionSize);
  } else {
    std::free(m_pConversion);
    m_nConversionSize = 0;
    m_pConversion = static_cast<std::uint8_t*>(std::calloc(m_nBufferSize ? m_nBufferSize : 1, 1));
    if (!m_pConversion) {
      SetHolderOutOfMemory(m_pOwner);
      return 0;
    }
    m_nConversionSize = m_nBufferSize;
  }
  m_nPreparation = FIELD_PREPARED_CONVERTED;
  return 1;
}

int CFieldValue::bGetNativeBuffer(void** buffer, std::uint64_t* size) {
  if (m_nState == FIELD_STATE_NULL) m_nState = FIELD_STATE_VALUE;
  if (!bEnsurePrepared()) return 0;
  if (m_nPreparation == FIELD_PREPARED_CONVERTED) {
    *buffer = m_pConversion;
    *size = m_nConversionSize;
  } else if (m_nState == FIELD_STATE_VALUE) {
    *buffer = const_cast<void*>(pHeldData(Value()));
    *size = nHeldSize(Value());
  } else {
    *buffer = m_pNative;
    *size = m_nBufferSize;
  }
  return 1;
}

int CFieldValue::bGetNativeBufferEx(void** buffer, std::uint64_t* size, std::uint64_t** returnedLength) {
  if (!bGetNativeBuffer(buffer, size)) return 0;
  *returnedLength = &m_nReturnedLength;
  return 1;
}

std::uint32_t CFieldValue::nGetNativeTypeCode() {
  bEnsurePrepared();
  return m_nNativeTypeCode;
}

int CFieldValue::bSyncToNative() {
  if (!bEnsurePrepared()) return 0;
  return m_nPreparation == FIELD_PREPARED_CONVERTED ? bWriteNative() : 1;
}

int CFieldValue::bLoadFetched(CRecordBuffer* record) {
  const bool null = bIsNativeNull() != 0;
  if (null) {
    SetNull();
  } else {
    Value().SetNull(false);
  }
  ResetNativeState(false);
  int result = 1;
  if (m_nPreparation == FIELD_PREPARED_CONVERTED) {
    result = bReadNative();
  } else if (m_nPreparation == FIELD_PREPARED_IN_PLACE && m_nState == FIELD_STATE_EXTERNAL && m_pPrimary &&
             m_pSecondary && m_pPrimary->nGetType() == COLUMN_TYPE_TEXT &&
             m_pSecondary->nGetType() == COLUMN_TYPE_TEXT && m_pNative) {
    // A fetched text leaves the client's padding after its terminator: the field holds the text and zeros only.
    const void* end = std::memchr(m_pNative, 0, m_nBufferSize);
    if (end) ZeroNativeFrom(static_cast<const std::uint8_t*>(end) - m_pNative);
  }
  if (record && m_pPrimary) record->SetFieldPresent(m_pPrimary, null ? 0 : 1, 0);
  return result;
}

int CFieldValue::bSetNativeBytes(const void* bytes, std::uint64_t length) {
  if (!bEnsurePrepared()) return 0;
  m_nReturnedLength = length;
  if (m_nPreparation == FIELD_PREPARED_CONVERTED && m_nConversionSize < length) {
    auto* larger = static_cast<std::uint8_t*>(std::calloc(length, 1));
    if (!larger) {
      SetHolderOutOfMemory(m_pOwner);
      return 0;
    }
    std::free(m_pConversion);
    m_pConversion = larger;
    m_nConversionSize = length;
  }
  if (m_nPreparation == FIELD_PREPARED_IN_PLACE &&
      (m_nState == FIELD_STATE_VALUE || m_nState == FIELD_STATE_NULL)) {
    // Any answer but done leaves the value without the bytes, which would pass for the ones read.
    if (!bHostStored(Value().SetFromBuffer(bytes, length))) {
      SetHolderOutOfMemory(m_pOwner);
      return 0;
    }
    Value().SetFlags(0);
    return 1;
  }
  void* buffer = nullptr;
  std::uint64_t size = 0;
  if (!bGetNativeBuffer(&buffer, &size) || !buffer) return 0;
  const std::uint64_t copied = length < size ? length : size;
  if (bytes && copied) std::memcpy(buffer, bytes, copied);
  std::memset(static_cast<std::uint8_t*>(buffer) + copied, 0, size - copied);
  m_nReturnedLength = copied;
  return 1;
}

// ---- copies ------------------------------------------------------------------------------------------------------------

int CFieldValue::bCopyFrom(CFieldValue* other) {
  if (!other) {
    SetNull();
    return 1;
  }
  if (other == this) return 1;
  SetConnection(other->m_pConnection);
  int result = 1;
  if (m_nPreparation != FIELD_NOT_PREPARED && Value().wGetTypeWord() == other->Value().wGetTypeWord()) {
    if (other->m_nState != FIELD_STATE_NULL) {
      if (m_nState == FIELD_STATE_NULL) m_nState = FIELD_STATE_VALUE;
      if (m_nState == FIELD_STATE_VALUE && other->m_nState == FIELD_STATE_VALUE) {
        if (bHostFailed(Value().Assign(other->Value()))) {
          SetHolderOutOfMemory(m_pOwner);
          result = 0;
        }
      } else {
        CHostValue value;
        result = other->bGetValue(&value) && bSetValue(value);
      }
    } else {
      m_nState = FIELD_STATE_NULL;
      Value().SetNull(true);
    }
  } else if (other->m_nState == FIELD_STATE_OWNED) {
    if (!bAllocateNativeBuffer(other->Value().nGetType(), other->m_nBufferSize)) return 0;
    std::uint64_t bytes = other->m_nBufferSize;
    if (other->m_pPrimary && other->m_pPrimary->nGetType() == COLUMN_TYPE_BINARY && bytes >= 2) {
      std::uint16_t length = 0;
      std::memcpy(&length, other->m_pNative, 2);
      if (2u + length < bytes) bytes = 2u + length;
    }
    std::memcpy(m_pNative, other->m_pNative, bytes);
    m_nDataLength = other->m_nDataLength;
  } else {
    InitType(other->Value().nGetType(), other->m_nBufferSize);
    if (other->m_nState == FIELD_STATE_EXTERNAL || other->m_nState == FIELD_STATE_EXTERNAL_READY) {
      // The value lies in the other's buffer, which is not this value's to keep: the copy holds it.
      CHostValue value;
      if (other->bGetValue(&value) && bHostFailed(Value().Assign(value))) result = 0;
      Value().SetNull(other->Value().bIsNull());
    } else if (bHostFailed(Value().Assign(other->Value()))) {
      result = 0;
    }
    // A copy that could not be made is a memory failure: a value answered as copied holds the value.
    if (!result) SetHolderOutOfMemory(m_pOwner);
    if (other->m_nState == FIELD_STATE_NULL) {
      m_nState = FIELD_STATE_NULL;
      Value().SetNull(true);
    }
  }
  // The other's descriptors come as they are: its held type already follows them, and re-typing the copy would
  // empty the value just copied.
  Exchange(m_pPrimary, other->m_pPrimary);
  Exchange(m_pSecondary, other->m_pSecondary);
  m_nReturnedLength = other->m_nReturnedLength;
  return result;
}

CFieldValue* CFieldValue::pDuplicate() {
  CFieldValue* copy = pCreateFieldValueThroughDriver(m_pOwner, m_pConnection);
  if (!copy) return nullptr;
  if (!copy->bCopyFrom(this)) {
    copy->nRelease();  // never referenced: destroyed
    return nullptr;
  }
  return copy;
}

int CFieldValue::bCopyFromWithMap(CFieldValue* source, CHashTable& cloneMap) {
  bRegisterClone(cloneMap, source, this);
  if (source->m_nState == FIELD_STATE_UNSET) return 1;
  return bCopyFrom(source);
}

void CFieldValue::CopyFrom(CValueItem* source, CHashTable& cloneMap) {
  if (auto* field = dynamic_cast<CFieldValue*>(source)) {
    bCopyFromWithMap(field, cloneMap);
  } else {
    CValueItem::CopyFrom(source, cloneMap);
  }
}

CValueItem* CFieldValue::pClone(CHashTable& cloneMap) {
  auto* copy = new CFieldValue();
  try {
    copy->bCopyFromWithMap(this, cloneMap);
  } catch (...) {
    delete copy;
    throw;
  }
  return copy;
}

// A value read from a file is a value, whatever state the field was in (an unset field would hide it).
int CFieldValue::bLoadFromFile(const char16_t* fileName, int binary) {
  if (!bLoadValueFromFile(this, fileName, m_pOwner, binary)) return 0;
  if (m_nState == FIELD_STATE_NULL || m_nState == FIELD_STATE_UNSET) m_nState = FIELD_STATE_VALUE;
  return 1;
}

// ---- comparison ----------------------------------------------------------------------------------------------------------

int CFieldValue::nCompare(CFieldValue* other) {
  if (other == this) return 0;
  const std::uint8_t type = Value().nGetType();
  const std::uint8_t otherType = other->Value().nGetType();
  const void* a = pGetData();
  const void* b = other->pGetData();
  if (type == otherType && nGetDataSize() == other->nGetDataSize() && a && b) {
    return std::memcmp(a, b, nGetDataSize());
  }
  if (a && b && bIsNarrowTextHostType(type) && bIsNarrowTextHostType(otherType)) {
    return nCompareTexts(static_cast<const unsigned char*>(a), nReadableBytes(),
                         static_cast<const unsigned char*>(b), other->nReadableBytes());
  }
  if (a && b && bIsWideTextHostType(type) && bIsWideTextHostType(otherType)) {
    return nCompareTexts(static_cast<const char16_t*>(a), nReadableBytes() / 2, static_cast<const char16_t*>(b),
                         other->nReadableBytes() / 2);
  }
  CHostValue mine, theirs;
  bGetValue(&mine);
  other->bGetValue(&theirs);
  std::int32_t result = 0;
  const std::int32_t code = mine.nCompare(theirs, &result);
  return bHostFailed(code) ? code : result;
}

int CFieldValue::bEqualsItem(CValueItem* other) {
  auto* field = dynamic_cast<CFieldValue*>(other);
  return field ? bEquals(field) : CValueItem::bEqualsItem(other);
}

int CFieldValue::bEquals(CFieldValue* other) {
  if (other == this) return 1;
  if (bIsUnset() && other->bIsUnset()) return 1;
  if (Value().bIsNull() && other->Value().bIsNull()) return 1;
  if (m_nState == other->m_nState) {
    if (m_nState == FIELD_STATE_VALUE) return bValueItemsEqual(this, other);
    if (m_nState == FIELD_STATE_NULL) return 0;
  }
  return nCompare(other) == 0 ? 1 : 0;
}

// ---- errors ----------------------------------------------------------------------------------------------------------------

void CFieldValue::RaiseConversionError(std::uint8_t sourceType, const char16_t* sourceText, std::uint32_t unit,
                                       std::uint32_t point) {
  CModuleError error;
  error.SetError(&gstModuleDescriptor, ERROR_VALUE_NOT_CONVERTIBLE, static_cast<std::uint32_t>(sourceType),
                 nGetColumnType(), sourceText ? sourceText : u"");
  SetErrorFileAndItem(error, pszGetTableName(), pszGetColumnName());
  std::uint32_t code = ERROR_VALUE_NOT_CONVERTIBLE;
  error.SetInfo(ERROR_INFO_ERROR_CODE, &code);
  AddErrorIdentification(error, unit, point);
  if (m_pOwner) {
    m_pOwner->RecordError(0, error, m_pConnection);
  } else {
    DiscardIgnoredError(error);
  }
}

int CFieldValue::RaiseValueTooLong() {
  RaiseModuleError(m_pOwner, 0, ERROR_UNIT_FIELD_VALUE, FIELD_POINT_TOO_LONG, m_pConnection, pszGetTableName(),
                   ERROR_VALUE_TOO_LONG);
  return 0;
}

int CFieldValue::RaiseTextNotConverted(std::uint8_t sourceType) {
  RaiseConversionError(sourceType, u"", ERROR_UNIT_FIELD_VALUE, FIELD_POINT_CONVERSION);
  return 0;
}
