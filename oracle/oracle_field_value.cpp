#include "oracle/oracle_field_value.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "foundation/clone_map.h"
#include "foundation/code_pages.h"
#include "foundation/error_holder.h"
#include "foundation/host_locale.h"
#include "foundation/module_errors.h"
#include "foundation/x_error.h"
#include "host/column_type_map.h"
#include "oracle/client/client_loader.h"
#include "oracle/client/oci_error.h"
#include "oracle/client/oci_value_calls.h"
#include "oracle/client/oci_wrappers.h"
#include "oracle/oracle_connection.h"
#include "platform/code_page.h"

namespace {

bool bIsUnicodeColumn(std::uint32_t type) { return type == COLUMN_TYPE_WTEXT || type == COLUMN_TYPE_WTEXT_MEMO; }
bool bIsAnsiColumn(std::uint32_t type) { return type == COLUMN_TYPE_TEXT || type == COLUMN_TYPE_TEXT_MEMO; }

bool bIsDescriptorSqlt(std::uint32_t code) {
  return (code >= sqlt::TIMESTAMP && code <= sqlt::INTERVAL_DS) || code == sqlt::TIMESTAMP_LTZ;
}

bool bIsIntervalSqlt(std::uint32_t code) { return code == sqlt::INTERVAL_YM || code == sqlt::INTERVAL_DS; }

// The host types whose prepared text is UTF-16.
bool bIsWidePreparedHostType(std::uint8_t type) {
  return type == 81 || type == 16 || type == 20 || type == 110 || type == 24 || type == 25;
}

// The host types the text rule reads and writes besides an external buffer.
bool bIsTextRuleHostType(std::uint8_t type) {
  return (type >= 16 && type <= 23) || type == 81 || type == 110 || type == 134;
}

std::int32_t nServerMajor(CConnection* connection) { return connection ? connection->nGetServerMajor() : -1; }

std::uint16_t nDateSqlt() { return bIsOci7Mode() ? sqlt::DAT : sqlt::ODT; }
// Both sets carry a NUMBER as VARNUM: a double would keep 15 of its digits.
std::uint16_t nNumberSqlt() { return sqlt::VNU; }
// The 22 bytes of a VARNUM: a length byte and the 21 bytes of the longest NUMBER.
constexpr std::uint64_t NUMBER_BUFFER_BYTES = 22;

// An integer of the runtime bound or defined as an Oracle number: the catalog describes a column the driver created
// for a 4-byte integer (NUMERIC(10,0)) as an 8-byte one, whose native type is a number. The client reads and writes
// the native type's bytes, so the integer crosses through the number's buffer, never in place.
bool bIsIntegerAsNumber(std::uint8_t hostType, std::uint32_t nativeType) {
  switch (hostType) {
    case 2: case 3: case 4: case 6: case 7: case 8:
      return nativeType == nNumberSqlt();
    default:
      return false;
  }
}

// Units of a text in a buffer: no more than the buffer holds nor than the client said it returned (when it said),
// and no further than a terminator.
template <class Unit>
std::uint64_t nTextUnits(const std::uint8_t* buffer, std::uint64_t bytes, std::uint64_t returned) {
  std::uint64_t n = bytes / sizeof(Unit);
  if (returned && returned < n) n = returned;
  const Unit* units = reinterpret_cast<const Unit*>(buffer);
  for (std::uint64_t i = 0; i < n; ++i) {
    if (units[i] == 0) return i;
  }
  return n;
}

// Bound text converts in the runtime's own character set, not the connection's.
std::uint32_t nRuntimeCodePage() { return nCharsetToCodePage(nGetHostCharset()); }

// No character of one code page takes more than four bytes in another: the room an 8-bit text needs in the
// session's character set, per byte of the item.
constexpr std::uint64_t NARROW_TEXT_GROWTH = 4;
constexpr std::int32_t STATUS_SUCCESS_WITH_INFO = 1;
constexpr std::uint32_t ORA_FETCHED_VALUE_TRUNCATED = 1406;
// The integers a client defines and binds: wide enough that the driver, not the client, sees a value too large for
// its item.
constexpr std::uint64_t INTEGER_BUFFER_BYTES = 8;

}  // namespace

bool bIsOci7Mode() { return gbOci7Mode != 0; }

COracleFieldValue::COracleFieldValue(CErrorHolder* owner, CConnection* connection) : CFieldValue(owner, connection) {}

COracleFieldValue::COracleFieldValue() = default;

COracleFieldValue::~COracleFieldValue() {
  std::free(m_pIndicators);
  m_pIndicators = nullptr;
  if (m_pDateTimeDescriptor) FreeDescriptor();
}

COracleConnection* COracleFieldValue::pOracleConnection() { return static_cast<COracleConnection*>(m_pConnection); }

// ---- copies ------------------------------------------------------------------------------------------------------------

CValueItem* COracleFieldValue::pClone(CHashTable& cloneMap) {
  auto* copy = new COracleFieldValue();
  try {
    copy->bCopyFrom(this, cloneMap);
  } catch (...) {
    delete copy;
    throw;
  }
  return copy;
}

int COracleFieldValue::bCopyFrom(CFieldValue* source, CHashTable& cloneMap) {
  bRegisterClone(cloneMap, source, this);
  if (!source || source->nGetState() == FIELD_STATE_UNSET) return 1;
  const int result = CFieldValue::bCopyFrom(source);
  if (auto* oracle = dynamic_cast<COracleFieldValue*>(source)) {
    m_nPieceLength = oracle->m_nPieceLength;
    m_nSingleIndicator = oracle->m_nSingleIndicator;
  }
  return result;
}

// ---- rows and indicators -------------------------------------------------------------------------------------------------

std::uint32_t COracleFieldValue::nGetRowCount() {
  // A descriptor of no elements still has its one row.
  const std::uint32_t count = m_pSecondary ? m_pSecondary->nGetElementCount() : 1;
  return count ? count : 1;
}

std::uint16_t* COracleFieldValue::pGetIndicatorArray() {
  const std::uint32_t rows = nGetRowCount();
  if (rows == 1) return &m_nSingleIndicator;
  if (!m_pIndicators) {
    m_pIndicators = static_cast<std::uint16_t*>(std::calloc(rows, sizeof(std::uint16_t)));
    if (!m_pIndicators) SetHolderOutOfMemory(m_pOwner);
  }
  return m_pIndicators;
}

void COracleFieldValue::ClearIndicators() {
  std::uint16_t* indicators = pGetIndicatorArray();
  if (indicators) std::memset(indicators, 0, nGetRowCount() * sizeof(std::uint16_t));
}

int COracleFieldValue::bIsNativeNull(std::uint32_t row) {
  const std::uint32_t rows = nGetRowCount();
  if (row >= rows) return 0;
  const std::uint16_t indicator = rows == 1 ? m_nSingleIndicator : (m_pIndicators ? m_pIndicators[row] : 0);
  return indicator > 65534 ? 1 : 0;
}

// ---- external types ---------------------------------------------------------------------------------------------------------

std::uint16_t COracleFieldValue::nHostTypeToSqlt(std::uint32_t hostType, CConnection* connection) {
  switch (hostType) {
    // Unsigned items too are bound and defined signed, in 8 bytes: a negative number the client would refuse for
    // the whole fetch reaches the value, which refuses it alone.
    case 1: case 2: case 3: case 4: case 6: case 7: case 8:
      return sqlt::INT;
    // A count of milliseconds is written as a number (bWriteNative): it is bound as one.
    case 5: case 9: case 10: case 13: case 14: case 27:
      return nNumberSqlt();
    case 11: case 12:
      return sqlt::FLT;
    case 16: case 18: case 19: case 21: case 22: case 23: case 110:
      return sqlt::STR;
    case 17:
      return sqlt::CHR;
    case 26:
      if (nServerMajor(connection) >= 9 && gnOciClientMajorVersion > 8) return sqlt::TIMESTAMP;
      return nDateSqlt();
    case 24: case 25: case 128: case 129:
      return nDateSqlt();
    case 28: case 30:
      return sqlt::BIN;
    default:
      return 0;
  }
}

int COracleFieldValue::nColumnTypeToSqlt(CErrorHolder* owner, std::uint16_t* sqltCode, CColumnDescriptor* column,
                                         CColumnDescriptor* described, CConnection* connection) {
  const std::uint32_t type = column ? column->nGetType() : 0;
  const std::uint32_t reported = described ? described->nGetServerTypeCode() : 0;
  std::uint16_t code = 0;
  switch (type) {
    case 1: case 17: case 19: case 20: case 31:
      code = nNumberSqlt();
      break;
    // A server converts no number to or from an INTERVAL: a duration column it describes as one crosses through an
    // interval descriptor. A duration column the driver made is a NUMBER and stays one, as with an older client.
    case 25:
      code = bIsIntervalSqlt(reported) && nServerMajor(connection) >= 9 && gnOciClientMajorVersion >= 9
                 ? static_cast<std::uint16_t>(reported)
                 : nNumberSqlt();
      break;
    case 2: case 15: case 21: case 29: case 30:
      code = reported == sqlt::STR || reported == sqlt::CLOB ? static_cast<std::uint16_t>(reported) : sqlt::STR;
      break;
    case 3: case 4: case 5: case 9: case 12: case 22: case 27: case 28:
      code = sqlt::INT;
      break;
    case 6: case 7:
      code = sqlt::FLT;
      break;
    case 10: case 14:
      code = nDateSqlt();
      break;
    case 11: case 24:
      code = bIsDescriptorSqlt(reported) && nServerMajor(connection) >= 9 && gnOciClientMajorVersion >= 9
                 ? static_cast<std::uint16_t>(reported)
                 : nDateSqlt();
      break;
    // A BFILE is read through a file locator: it keeps the type Oracle reported.
    case 16: case 18:
      code = reported == sqlt::LBI || reported == sqlt::BLOB || reported == sqlt::BFILE
                 ? static_cast<std::uint16_t>(reported)
                 : sqlt::LBI;
      break;
    case 23:
      code = sqlt::VBI;
      break;
    case 26:
      code = sqlt::CHR;
      break;
    default:
      RaiseModuleError(owner, 0, ERROR_UNIT_ORACLE_FIELD_VALUE, ORACLE_FIELD_POINT_UNSUPPORTED_TYPE, connection,
                       column ? column->pszGetTableName() : nullptr, ERROR_UNSUPPORTED_TYPE, type,
                       column ? column->pszGetName() : u"", u"Oracle");
      *sqltCode = 0;
      return 0;
  }
  *sqltCode = code;
  return 1;
}

void COracleFieldValue::RaiseUnsupportedType(std::uint32_t type, const char16_t* itemName) {
  RaiseModuleError(m_pOwner, 0, ERROR_UNIT_ORACLE_FIELD_VALUE, ORACLE_FIELD_POINT_UNSUPPORTED_TYPE, m_pConnection,
                   pszGetTableName(), ERROR_UNSUPPORTED_TYPE, type, itemName ? itemName : u"", u"Oracle");
}

int COracleFieldValue::bCheckNativeType() {
  // A column's LOB locator handed out for a RETURNING clause keeps the LOB type its column gave it.
  if (Value().nGetType() == HOST_TYPE_PAIR29 &&
      (m_nNativeTypeCode == sqlt::CLOB || m_nNativeTypeCode == sqlt::BLOB || m_nNativeTypeCode == sqlt::BFILE)) {
    return 1;
  }
  m_nNativeTypeCode = 0;
  if (m_pSecondary) {
    std::uint16_t code = 0;
    if (!nColumnTypeToSqlt(m_pOwner, &code, m_pSecondary, m_pPrimary, m_pConnection)) return 0;
    m_nNativeTypeCode = code;
    return 1;
  }
  // A record buffer's field with no catalog description (the columns of a query the runtime analysed) is defined
  // and bound as its own column type: without a type the client could convert nothing into it.
  if (m_nState == FIELD_STATE_EXTERNAL && m_pPrimary) {
    std::uint16_t code = 0;
    if (!nColumnTypeToSqlt(m_pOwner, &code, m_pPrimary, nullptr, m_pConnection)) return 0;
    m_nNativeTypeCode = code;
    return 1;
  }
  if (m_nState != FIELD_STATE_VALUE && m_nState != FIELD_STATE_OWNED) return 1;
  const std::uint8_t type = Value().nGetType();
  m_nNativeTypeCode = nHostTypeToSqlt(type, m_pConnection);
  if (m_nNativeTypeCode) return 1;
  RaiseUnsupportedType(type, u"");
  return 0;
}

// ---- datetime descriptors ---------------------------------------------------------------------------------------------------

std::uint32_t COracleFieldValue::nDescriptorTypeOfSqlt(CConnection* connection, std::uint32_t columnType,
                                                       std::uint16_t sqltCode) {
  if (columnType != COLUMN_TYPE_TIME && columnType != COLUMN_TYPE_DATETIME && columnType != COLUMN_TYPE_VALUE8) {
    return 0;
  }
  if (nServerMajor(connection) < 9 || gnOciClientMajorVersion < 9) return 0;
  switch (sqltCode) {
    case sqlt::TIMESTAMP: return datetime_dtype::TIMESTAMP;
    case sqlt::TIMESTAMP_TZ: return datetime_dtype::TIMESTAMP_TZ;
    case sqlt::INTERVAL_YM: return datetime_dtype::INTERVAL_YM;
    case sqlt::INTERVAL_DS: return datetime_dtype::INTERVAL_DS;
    case sqlt::TIMESTAMP_LTZ: return datetime_dtype::TIMESTAMP_LTZ;
    default: return 0;
  }
}

std::uint32_t COracleFieldValue::nGetDescriptorType() {
  if (m_nNativeTypeCode == 0) bCheckNativeType();
  return nDescriptorTypeOfSqlt(m_pConnection, nGetColumnTypeOrHost(),
                               static_cast<std::uint16_t>(m_nNativeTypeCode));
}

int COracleFieldValue::bRefreshDateTimeDescriptor() {
  const std::uint32_t needed = nGetDescriptorType();
  if (needed == m_nDescriptorType && (needed == 0 || m_pDateTimeDescriptor)) return 1;
  if (m_pDateTimeDescriptor) FreeDescriptor();
  m_nDescriptorType = needed;
  if (needed == 0) return 1;
  COracleConnection* connection = pOracleConnection();
  void* descriptor = nullptr;
  if (!connection ||
      !nOciDescriptorAlloc(connection, m_pOwner, connection->m_pEnvironment, &descriptor, needed)) {
    m_nDescriptorType = 0;
    return 0;
  }
  m_pDateTimeDescriptor = descriptor;
  return bSetFromBytes(&m_pDateTimeDescriptor, sizeof(m_pDateTimeDescriptor));
}

void COracleFieldValue::FreeDescriptor() {
  if (m_pDateTimeDescriptor) {
    OciDescriptorFreeChecked(pOracleConnection(), m_pOwner, m_pDateTimeDescriptor, m_nDescriptorType,
                             ERROR_UNIT_ORACLE_FIELD_VALUE, ORACLE_FIELD_POINT_DESCRIPTOR_FREE);
  }
  m_pDateTimeDescriptor = nullptr;
  // The type goes with the descriptor, so the next refresh makes a new one.
  m_nDescriptorType = 0;
}

// ---- buffers ------------------------------------------------------------------------------------------------------------------

void COracleFieldValue::SetDateFormat(const char16_t* mask) {
  m_pszDateMask = mask;
  m_nNativeTypeCode = nDateSqlt();
  const std::uint64_t bytes = bIsOci7Mode() ? 7 : 8;
  m_nPreparation = FIELD_PREPARED_CONVERTED;
  if (m_pConversion && m_nConversionSize >= bytes) {
    std::memset(m_pConversion, 0, m_nConversionSize);
    return;
  }
  std::free(m_pConversion);
  m_nConversionSize = 0;
  m_pConversion = static_cast<std::uint8_t*>(std::calloc(bytes, 1));
  if (!m_pConversion) {
    m_nPreparation = FIELD_NOT_PREPARED;
    SetHolderOutOfMemory(m_pOwner);
    return;
  }
  m_nConversionSize = bytes;
}

int COracleFieldValue::bSetFromBytes(const void* bytes, std::uint64_t length) {
  if (!bSetNativeBytes(bytes, length)) return 0;
  if (bIsWideText()) m_nReturnedLength /= 2;
  return 1;
}

namespace {
std::uint64_t nHeldSizeOf(CHostValue& value) {
  std::size_t size = 0;
  return bHostFailed(value.nGetSizeWithTerminator(&size)) ? 0 : size;
}
}  // namespace

int COracleFieldValue::bPrepareInPlace() {
  if (m_nState == FIELD_STATE_VALUE) {
    const void* data = nullptr;
    if (Value().nGetType() == HOST_TYPE_EMPTY || bHostFailed(Value().nGetDataPointer(&data))) data = nullptr;
    m_pNative = static_cast<std::uint8_t*>(const_cast<void*>(data));
    m_nBufferSize = nHeldSizeOf(Value());
  }
  m_nPreparation = FIELD_PREPARED_IN_PLACE;
  return 1;
}

int COracleFieldValue::bPrepareConverted(std::uint64_t bytes) {
  bPrepareInPlace();
  if (m_pConversion && m_nConversionSize >= bytes) {
    std::memset(m_pConversion, 0, m_nConversionSize);
  } else {
    std::free(m_pConversion);
    m_nConversionSize = 0;
    m_pConversion = static_cast<std::uint8_t*>(std::calloc(bytes ? bytes : 1, 1));
    if (!m_pConversion) {
      m_nPreparation = FIELD_NOT_PREPARED;
      SetHolderOutOfMemory(m_pOwner);
      return 0;
    }
    m_nConversionSize = bytes;
  }
  m_nPreparation = FIELD_PREPARED_CONVERTED;
  return 1;
}

int COracleFieldValue::bPrepareDateBuffer() {
  // A duration column the driver made is fetched as a number: the client writes, and the conversion reads, a whole
  // number there.
  if (m_nNativeTypeCode == nNumberSqlt()) return bPrepareConverted(NUMBER_BUFFER_BYTES);
  if (m_nNativeTypeCode == sqlt::DAT) return bPrepareConverted(7);
  if (bIsDescriptorSqlt(m_nNativeTypeCode)) {
    // The client reads the descriptor's address from the buffer: pointer-sized on every build.
    return bPrepareConverted(sizeof(void*)) && bRefreshDateTimeDescriptor();
  }
  return bPrepareConverted(bIsOci7Mode() ? 7 : 8);
}

int COracleFieldValue::bPrepareTextBuffer() {
  const std::uint64_t size = m_nState == FIELD_STATE_VALUE ? nHeldSizeOf(Value()) : m_nBufferSize;
  if (nNarrowSessionCodePage()) return bPrepareConverted(size * NARROW_TEXT_GROWTH);
  if (!m_pPrimary || m_pPrimary->bIsMemo()) return bPrepareInPlace();
  const std::uint8_t type = Value().nGetType();
  const std::uint32_t primary = m_pPrimary->nGetType();
  if (primary == COLUMN_TYPE_WTEXT) return bPrepareConverted(bIsWidePreparedHostType(type) ? size : size * 2);
  if (primary == COLUMN_TYPE_TEXT && bIsWidePreparedHostType(type)) return bPrepareConverted(size);
  return bPrepareInPlace();
}

int COracleFieldValue::bPrepareNativeBuffer() {
  const std::uint8_t type = Value().nGetType();
  if (bIsIntegerAsNumber(type, m_nNativeTypeCode)) return bPrepareConverted(NUMBER_BUFFER_BYTES);
  switch (type) {
    case 0:
      SetNull();
      m_nPreparation = FIELD_PREPARED_IN_PLACE;
      return 1;
    case 1:
      return bPrepareConverted(4);
    case 2: case 3: case 4: case 6: case 7:
      return bPrepareConverted(INTEGER_BUFFER_BYTES);
    case 8: case 12: case 17:
      return bPrepareInPlace();
    // A count of milliseconds is bound as a number (nHostTypeToSqlt): it takes a number's buffer, unless it goes to
    // an interval column through the value's descriptor.
    case 27:
      if (bIsDescriptorSqlt(m_nNativeTypeCode)) return bPrepareDateBuffer();
      return bPrepareConverted(NUMBER_BUFFER_BYTES);
    case 5: case 9: case 10: case 13: case 14:
      return bPrepareConverted(NUMBER_BUFFER_BYTES);
    case 11:
      return bPrepareConverted(8);
    case 16: case 18: case 19: case 110:
      return bPrepareTextBuffer();
    case 24: case 25: case 26: case 128: case 129:
      return bPrepareDateBuffer();
    case 28:
      if (m_nNativeTypeCode == sqlt::VBI) return bPrepareConverted(nHeldSizeOf(Value()) + 2);
      return bPrepareInPlace();
    default:
      return bPrepareConverted(m_nState == FIELD_STATE_VALUE ? nHeldSizeOf(Value()) : m_nBufferSize);
  }
}

int COracleFieldValue::bPrepareExternalBuffer() {
  const std::uint32_t primary = m_pPrimary ? m_pPrimary->nGetType() : 0;
  const std::uint32_t secondary = m_pSecondary ? m_pSecondary->nGetType() : 0;
  if (primary == COLUMN_TYPE_WTEXT && secondary == COLUMN_TYPE_TEXT) return bPrepareConverted(m_nBufferSize * 2);
  if (primary == COLUMN_TYPE_WTEXT_MEMO && secondary == COLUMN_TYPE_WTEXT) return bPrepareInPlace();
  const std::uint32_t type = m_pSecondary ? secondary : primary;
  if (type == COLUMN_TYPE_TEXT && nNarrowSessionCodePage()) return bPrepareConverted(m_nBufferSize * NARROW_TEXT_GROWTH);
  switch (type) {
    case 0: case 2: case 7: case 15: case 18: case 23: case 26: case 30:
      return bPrepareInPlace();
    case 1: case 17: case 19: case 20: case 31:
      return bPrepareConverted(NUMBER_BUFFER_BYTES);
    case 27:
      return bPrepareConverted(4);
    case 3: case 4: case 5: case 9: case 12: case 22: case 28:
      return bPrepareConverted(INTEGER_BUFFER_BYTES);
    case 6: case 13:
      return bPrepareConverted(8);
    case 10: case 11: case 14: case 24: case 25:
      return bPrepareDateBuffer();
    case 29:
      return bPrepareConverted(m_nBufferSize);
    default:
      // Long binaries, fixed texts and unknown types have no buffer a client writes in place: nothing to prepare.
      return 0;
  }
}

// ---- after a fetch ------------------------------------------------------------------------------------------------------------

namespace {
// The range of the integer host types of 1, 2 and 4 bytes (2, 3, 4, 6, 7, 8).
bool bIntegerFits(std::uint8_t type, std::int64_t number) {
  switch (type) {
    case 2: return number >= 0 && number <= UINT8_MAX;
    case 3: return number >= 0 && number <= UINT16_MAX;
    case 4: return number >= 0 && number <= UINT32_MAX;
    case 6: return number >= INT8_MIN && number <= INT8_MAX;
    case 7: return number >= INT16_MIN && number <= INT16_MAX;
    default: return number >= INT32_MIN && number <= INT32_MAX;
  }
}

bool bIsIntegerSqlt(std::uint32_t code) { return code == sqlt::INT || code == sqlt::UIN; }

int bAssignNative(COracleFieldValue* field, std::uint8_t type, const void* native) {
  CHostValue value;
  value.SetType(type);
  value.Set(native);
  return field->bSetValue(value);
}
}  // namespace

// The conversions work in standard strings: memory they cannot get fails the value as any other shortage does.
int COracleFieldValue::bReadNative() try {
  const std::uint8_t type = Value().nGetType();
  const std::uint8_t* buffer = m_pConversion;
  if (!buffer) return 0;
  // The client leaves the buffer of a NULL as it was: the value is already NULL and there is nothing to convert.
  if (bIsNativeNull(0)) return 1;
  if (bIsIntegerAsNumber(type, m_nNativeTypeCode)) return bNumberToHost();
  switch (type) {
    case 1: {
      std::uint32_t word = 0;
      std::memcpy(&word, buffer, 4);
      return bSetBoolean(word != 0 ? 1 : 0);
    }
    case 4: case 8:
      if (!bIsIntegerSqlt(m_nNativeTypeCode)) return bReadText();
      [[fallthrough]];
    case 2: case 3: case 6: case 7: {
      // The client writes an integer wider than the item (8 bytes, so that no value a NUMBER column holds within
      // 2^63 is refused by the client itself): one the item cannot hold is refused as the runtime refuses an
      // overflowing number, and the field keeps what it had.
      std::int64_t number = 0;
      if (m_nConversionSize >= sizeof number) {
        std::memcpy(&number, buffer, sizeof number);
      } else {
        std::int32_t word = 0;
        std::memcpy(&word, buffer, sizeof word);
        number = m_nNativeTypeCode == sqlt::UIN ? static_cast<std::int64_t>(static_cast<std::uint32_t>(word)) : word;
      }
      // An unsigned define past 2^63 reads negative here: too large for any item as well.
      const bool beyond = m_nNativeTypeCode == sqlt::UIN && number < 0;
      if (beyond || !bIntegerFits(type, number)) return bRefuseOverflow(HOST_TYPE_INT64, type);
      if (type == 2 || type == 6) {
        const auto byte = static_cast<std::uint8_t>(number);
        return bAssignNative(this, type, &byte);
      }
      if (type == 3 || type == 7) {
        const auto half = static_cast<std::uint16_t>(number);
        return bAssignNative(this, type, &half);
      }
      const auto word = static_cast<std::uint32_t>(number);
      return bAssignNative(this, type, &word);
    }
    case 27:
      if (bIsIntervalSqlt(m_nNativeTypeCode)) return bIntervalToHost();
      return bNumberToHost();
    case 5: case 9: case 10: case 13: case 14:
      return bNumberToHost();
    case 11: {
      double wide = 0;
      std::memcpy(&wide, buffer, 8);
      if (std::isfinite(wide) && std::fabs(wide) > FLT_MAX) return bRefuseOverflow(HOST_TYPE_DOUBLE, type);
      const float narrow = static_cast<float>(wide);
      return bAssignNative(this, type, &narrow);
    }
    case 16: case 18: case 19: case 110:
      if (m_nNativeTypeCode == sqlt::ODT || m_nNativeTypeCode == sqlt::DAT) return bDateToHost();
      return bReadText();
    case 24: case 25: case 26: case 128: case 129:
      if (m_nNativeTypeCode == sqlt::TIMESTAMP || m_nNativeTypeCode == sqlt::TIMESTAMP_TZ ||
          m_nNativeTypeCode == sqlt::TIMESTAMP_LTZ) {
        return bTimestampToHost();
      }
      if (bIsIntervalSqlt(m_nNativeTypeCode)) return bIntervalToHost();
      return bDateToHost();
    default:
      return bReadText();
  }
} catch (const std::bad_alloc&) {
  SetHolderOutOfMemory(m_pOwner);
  return 0;
}

int COracleFieldValue::bCheckBindableReal() {
  const std::uint8_t type = Value().nGetType();
  if ((type != HOST_TYPE_FLOAT && type != HOST_TYPE_DOUBLE) || m_nNativeTypeCode != sqlt::FLT) return 1;
  // Read through the value's own form: it may lie in a record's buffer.
  CHostValue copy;
  if (!bGetValue(&copy) || copy.bIsNull() || bHostFailed(copy.nConvert(HOST_TYPE_DOUBLE))) return 1;
  double number = 0;
  copy.nGet(&number);
  if (std::isfinite(number)) return 1;
  RaiseHostConversion(HOST_ERR_CANNOT_CONVERT, type, HOST_TYPE_TEXT, ORACLE_FIELD_POINT_HOST_TO_NUMBER);
  return 0;
}

int COracleFieldValue::bRefuseOverflow(std::uint8_t sourceType, std::uint8_t targetType) {
  RaiseHostConversion(HOST_ERR_CANNOT_CONVERT, sourceType, targetType, ORACLE_FIELD_POINT_NUMBER_TO_HOST);
  return 0;
}

// The runtime keeps no copy of a text it has no memory for (its allocator's own code, or 108 for a text copied on the
// heap): the shortage is told as such.
int COracleFieldValue::bTextNotKept() {
  SetHolderOutOfMemory(m_pOwner);
  return 0;
}

int COracleFieldValue::bReadText() {
  const std::uint8_t type = Value().nGetType();
  if (m_nState != FIELD_STATE_EXTERNAL && !bIsTextRuleHostType(type)) return 0;
  const std::uint32_t primary = m_pPrimary ? m_pPrimary->nGetType() : 0;
  const std::uint32_t secondary = m_pSecondary ? m_pSecondary->nGetType() : 0;
  const bool external = m_nState == FIELD_STATE_EXTERNAL;
  if (external && !m_pNative) return 0;
  if (const std::uint32_t sessionCodePage = nNarrowSessionCodePage()) return bReadNarrowText(sessionCodePage);
  const std::uint32_t codePage = nClientCodePage();
  if (bIsUnicodeColumn(primary) && bIsUnicodeColumn(secondary)) {
    const std::uint64_t units = nTextUnits<char16_t>(m_pConversion, m_nConversionSize, m_nReturnedLength);
    if (external) {
      std::memset(m_pNative, 0, m_nBufferSize);
      const std::uint64_t room = m_nBufferSize / 2;
      std::memcpy(m_pNative, m_pConversion, (units < room ? units : room) * 2);
      Value().SetNull(false);
      return 1;
    }
    Value().SetType(HOST_TYPE_WSTRING);
    if (!bHostStored(Value().SetFromBuffer(m_pConversion, units * 2))) return bTextNotKept();
  } else if (bIsUnicodeColumn(primary) && bIsAnsiColumn(secondary)) {
    const std::uint64_t units = nTextUnits<char16_t>(m_pConversion, m_nConversionSize, m_nReturnedLength);
    const std::string narrow = NarrowOfCodePage(reinterpret_cast<const char16_t*>(m_pConversion), units, codePage);
    if (external) {
      std::memset(m_pNative, 0, m_nBufferSize);
      std::memcpy(m_pNative, narrow.data(), narrow.size() < m_nBufferSize ? narrow.size() : m_nBufferSize);
      Value().SetNull(false);
      return 1;
    }
    Value().SetType(HOST_TYPE_TEXT_BUFFER);
    if (!bHostStored(Value().SetFromBuffer(narrow.data(), narrow.size()))) return bTextNotKept();
  } else if (bIsAnsiColumn(primary) && bIsUnicodeColumn(secondary)) {
    const std::uint64_t bytes = nTextUnits<char>(m_pConversion, m_nConversionSize, m_nReturnedLength);
    // The client wrote 8-bit text in the connection's code page, whether the value lies in a buffer or is held.
    const std::u16string wide = WideOfCodePage(reinterpret_cast<const char*>(m_pConversion), bytes, codePage);
    if (external) {
      std::memset(m_pNative, 0, m_nBufferSize);
      const std::uint64_t room = m_nBufferSize / 2;
      std::memcpy(m_pNative, wide.data(), (wide.size() < room ? wide.size() : room) * 2);
      Value().SetNull(false);
      return 1;
    }
    Value().SetType(HOST_TYPE_WSTRING);
    if (!bHostStored(Value().SetFromBuffer(wide.data(), wide.size() * 2))) return bTextNotKept();
  } else {
    return 0;
  }
  Value().SetFlags(0);
  return 1;
}

// ---- before a bind ------------------------------------------------------------------------------------------------------------

int COracleFieldValue::bWriteNative() try {
  const std::uint8_t type = Value().nGetType();
  std::uint8_t* buffer = m_pConversion;
  if (!buffer) return 0;
  // The indicator of a one-row bind follows the value: the client reads NULL from it, not from the buffer.
  const bool null = Value().bIsNull();
  if (nGetRowCount() == 1) m_nSingleIndicator = null ? 0xFFFF : 0;
  if (null) return 1;
  if (bIsIntegerAsNumber(type, m_nNativeTypeCode)) return bHostToNumber();
  const auto* data = static_cast<const std::uint8_t*>(pGetData());
  const std::uint64_t size = nGetDataSize();
  auto byteAt = [&](std::uint64_t i) -> std::uint8_t { return data && i < size ? data[i] : 0; };
  switch (type) {
    case 1: {
      const std::int32_t word = byteAt(0) != 0 ? 1 : 0;
      std::memcpy(buffer, &word, 4);
      return 1;
    }
    case 4: case 8:
      if (!bIsIntegerSqlt(m_nNativeTypeCode)) return bWriteText();
      [[fallthrough]];
    // Unsigned values are widened without a sign: they are bound as unsigned integers.
    case 2: case 3: case 6: case 7: {
      const std::uint32_t bits = static_cast<std::uint32_t>(byteAt(0)) | static_cast<std::uint32_t>(byteAt(1)) << 8 |
                                 static_cast<std::uint32_t>(byteAt(2)) << 16 | static_cast<std::uint32_t>(byteAt(3)) << 24;
      std::int64_t number = 0;
      switch (type) {
        case 2: number = static_cast<std::uint8_t>(bits); break;
        case 3: number = static_cast<std::uint16_t>(bits); break;
        case 4: number = bits; break;
        case 6: number = static_cast<std::int8_t>(bits); break;
        case 7: number = static_cast<std::int16_t>(bits); break;
        default: number = static_cast<std::int32_t>(bits); break;
      }
      if (m_nConversionSize >= sizeof number) {
        std::memcpy(buffer, &number, sizeof number);
      } else {
        const auto word = static_cast<std::int32_t>(number);
        std::memcpy(buffer, &word, sizeof word);
      }
      return 1;
    }
    case 27:
      if (bIsIntervalSqlt(m_nNativeTypeCode)) return bHostToInterval();
      return bHostToNumber();
    case 5: case 9: case 10: case 13: case 14:
      return bHostToNumber();
    case 11: {
      float narrow = 0;
      if (data && size >= 4) std::memcpy(&narrow, data, 4);
      const double wide = narrow;
      std::memcpy(buffer, &wide, 8);
      return 1;
    }
    case 16: case 18: case 19: case 110:
      if (m_nNativeTypeCode == sqlt::ODT || m_nNativeTypeCode == sqlt::DAT) return bHostToTimestamp();
      return bWriteText();
    case 24: case 25: case 26: case 128: case 129:
      if (bIsIntervalSqlt(m_nNativeTypeCode)) return bHostToInterval();
      return bHostToTimestamp();
    case 28:
      if (m_nNativeTypeCode == sqlt::VBI) {
        std::memset(buffer, 0, m_nConversionSize);
        if (m_nConversionSize < 2) return 0;
        std::uint64_t bytes = size < m_nConversionSize - 2 ? size : m_nConversionSize - 2;
        if (bytes > 0xFFFF) bytes = 0xFFFF;
        const auto length = static_cast<std::uint16_t>(bytes);
        std::memcpy(buffer, &length, 2);
        if (data && bytes) std::memcpy(buffer + 2, data, bytes);
        return 1;
      }
      return bWriteText();
    default:
      return bWriteText();
  }
} catch (const std::bad_alloc&) {
  SetHolderOutOfMemory(m_pOwner);
  return 0;
}

int COracleFieldValue::bWriteText() {
  const std::uint8_t type = Value().nGetType();
  if (m_nState != FIELD_STATE_EXTERNAL && !bIsTextRuleHostType(type)) return 0;
  const std::uint32_t primary = m_pPrimary ? m_pPrimary->nGetType() : 0;
  const std::uint32_t secondary = m_pSecondary ? m_pSecondary->nGetType() : 0;
  const void* data = pGetData();
  const std::uint64_t size = nGetDataSize();
  std::memset(m_pConversion, 0, m_nConversionSize);
  if (const std::uint32_t sessionCodePage = nNarrowSessionCodePage()) return bWriteNarrowText(sessionCodePage);
  // The value's own form: that of the buffer it lies in, else its host type's.
  const bool narrowValue = m_nState == FIELD_STATE_EXTERNAL ? bIsAnsiColumn(secondary) : bIsNarrowTextHostType(type);
  const std::uint32_t codePage = nRuntimeCodePage();
  if (bIsUnicodeColumn(primary) && (bIsUnicodeColumn(secondary) || bIsAnsiColumn(secondary))) {
    const std::uint64_t room = m_nConversionSize / 2;
    if (narrowValue) {
      const std::uint64_t bytes = nTextUnits<char>(static_cast<const std::uint8_t*>(data), size, 0);
      const std::u16string wide = WideOfCodePage(static_cast<const char*>(data), bytes, codePage);
      std::memcpy(m_pConversion, wide.data(), (wide.size() < room ? wide.size() : room) * 2);
    } else {
      const std::uint64_t units = nTextUnits<char16_t>(static_cast<const std::uint8_t*>(data), size, 0);
      if (data) std::memcpy(m_pConversion, data, (units < room ? units : room) * 2);
    }
    return 1;
  }
  if (bIsAnsiColumn(primary) && bIsUnicodeColumn(secondary)) {
    if (narrowValue) {
      const std::uint64_t bytes = nTextUnits<char>(static_cast<const std::uint8_t*>(data), size, 0);
      if (data) std::memcpy(m_pConversion, data, bytes < m_nConversionSize ? bytes : m_nConversionSize);
    } else {
      const std::uint64_t units = nTextUnits<char16_t>(static_cast<const std::uint8_t*>(data), size, 0);
      const std::string narrow = NarrowOfCodePage(static_cast<const char16_t*>(data), units, codePage);
      std::memcpy(m_pConversion, narrow.data(), narrow.size() < m_nConversionSize ? narrow.size() : m_nConversionSize);
    }
    return 1;
  }
  return 0;
}

// Only a session opened in a character set of its own keeps 8-bit text in another page than the runtime's: a UTF-16
// session's client is told the runtime's page on every 8-bit bind and define.
std::uint32_t COracleFieldValue::nNarrowSessionCodePage() {
  // Fixed texts (SQLT_CHR) are bound by their length, which a converted buffer's room is not: they stay as they are.
  // A LONG is a text bound and read as such (its pieces land in the converted buffer); a CLOB crosses in its own way.
  if (m_nNativeTypeCode != sqlt::STR) return 0;
  if (m_pPrimary && m_pPrimary->nGetType() != COLUMN_TYPE_TEXT && m_pPrimary->nGetType() != COLUMN_TYPE_TEXT_MEMO) {
    return 0;
  }
  if (m_nState == FIELD_STATE_EXTERNAL) {
    if (!m_pSecondary || m_pSecondary->nGetType() != COLUMN_TYPE_TEXT) return 0;
  } else if (!bIsNarrowTextHostType(Value().nGetType())) {
    return 0;
  }
  COracleConnection* connection = pOracleConnection();
  const std::uint32_t session = connection ? connection->nGetSessionCodePage() : SESSION_CODE_PAGE_UNSET;
  if (session == SESSION_CODE_PAGE_UNSET || session == SESSION_CODE_PAGE_UTF16) return 0;
  const std::uint32_t runtime = nRuntimeCodePage();
  return runtime != 0 && runtime != session ? session : 0;
}

// Characters the runtime's page lacks read as its default character ('?').
int COracleFieldValue::bReadNarrowText(std::uint32_t sessionCodePage) {
  const std::uint64_t bytes = nTextUnits<char>(m_pConversion, m_nConversionSize, m_nReturnedLength);
  const std::u16string wide = WideOfCodePage(reinterpret_cast<const char*>(m_pConversion), bytes, sessionCodePage);
  const std::string narrow = NarrowOfCodePage(wide.data(), wide.size(), nRuntimeCodePage());
  if (m_nState == FIELD_STATE_EXTERNAL) {
    // The client's buffer held more than the item: a text the item cannot hold with its terminator fails the read
    // as one the client cuts does, and the field keeps what it held.
    if (narrow.size() >= m_nBufferSize) {
      if (m_pOwner) {
        FillErrorRecord(pOracleConnection(), m_pOwner, STATUS_SUCCESS_WITH_INFO, ORA_FETCHED_VALUE_TRUNCATED,
                        u"ORA-01406: fetched column value was truncated", ERROR_UNIT_ORACLE_FIELD_VALUE,
                        ORACLE_FIELD_POINT_NARROW_TEXT);
      }
      return 0;
    }
    std::memset(m_pNative, 0, m_nBufferSize);
    std::memcpy(m_pNative, narrow.data(), narrow.size());
    Value().SetNull(false);
    return 1;
  }
  Value().SetType(HOST_TYPE_TEXT_BUFFER);
  if (!bHostStored(Value().SetFromBuffer(narrow.data(), narrow.size()))) return bTextNotKept();
  Value().SetFlags(0);
  return 1;
}

// Characters the session's character set lacks are bound as its default character ('?'); the buffer was sized for
// the longest form of the value, and its last byte stays the terminator.
int COracleFieldValue::bWriteNarrowText(std::uint32_t sessionCodePage) {
  const auto* data = static_cast<const std::uint8_t*>(pGetData());
  const std::uint64_t bytes = data ? nTextUnits<char>(data, nGetDataSize(), 0) : 0;
  const std::u16string wide = WideOfCodePage(reinterpret_cast<const char*>(data), bytes, nRuntimeCodePage());
  const std::string narrow = NarrowOfCodePage(wide.data(), wide.size(), sessionCodePage);
  const std::uint64_t room = m_nConversionSize ? m_nConversionSize - 1 : 0;
  std::memcpy(m_pConversion, narrow.data(), nWholeCharacterPrefix(sessionCodePage, narrow.data(), narrow.size(), room));
  return 1;
}

void COracleFieldValue::RaiseHostConversion(std::int32_t result, std::uint8_t sourceType, std::uint8_t targetType,
                                            std::uint32_t point) {
  if (m_pOwner) {
    m_pOwner->AddStatusError(static_cast<std::uint32_t>(result), sourceType, targetType,
                             ERROR_UNIT_ORACLE_FIELD_VALUE, point, m_pConnection, pszGetTableName(),
                             pszGetColumnName());
  }
}

int COracleFieldValue::bBindNull() {
  Value().SetNull(true);
  if (nGetRowCount() == 1) m_nSingleIndicator = 0xFFFF;
  return 1;
}
