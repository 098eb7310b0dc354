// COracleFieldValue: the Oracle form of CFieldValue, one per result column and per bound parameter. The base keeps
// the runtime value and decides when a client buffer is needed; this class chooses the client's external type (the
// SQLT code) a value is defined or bound with, sizes its buffer, and moves the value between the runtime form and
// that buffer: numbers through OCINumber texts (a double with the OCI7 set), dates as the 7-byte date or the
// OCIDate, timestamps and intervals through a datetime descriptor the value owns. The number and date-time
// conversions are in oracle_conversions.cpp.
//
// Owns its indicator array and its datetime descriptor (freed at destruction or when the needed descriptor type
// changes); a copy never shares either.
#pragma once

#include <cstdint>

#include "engine/values/field_value.h"

class CColumnDescriptor;
class CConnection;
class CErrorHolder;
class CHashTable;
class COracleConnection;

// The client's external type codes the field values use.
namespace sqlt {
inline constexpr std::uint16_t CHR = 1;
inline constexpr std::uint16_t NUM = 2;
inline constexpr std::uint16_t INT = 3;
inline constexpr std::uint16_t FLT = 4;
inline constexpr std::uint16_t STR = 5;
inline constexpr std::uint16_t VNU = 6;
inline constexpr std::uint16_t DAT = 12;
inline constexpr std::uint16_t VBI = 15;
inline constexpr std::uint16_t BIN = 23;
inline constexpr std::uint16_t LBI = 24;
inline constexpr std::uint16_t UIN = 68;
inline constexpr std::uint16_t CLOB = 112;
inline constexpr std::uint16_t BLOB = 113;
inline constexpr std::uint16_t BFILE = 114;
inline constexpr std::uint16_t ODT = 156;
inline constexpr std::uint16_t TIMESTAMP = 187;
inline constexpr std::uint16_t TIMESTAMP_TZ = 188;
inline constexpr std::uint16_t INTERVAL_YM = 189;
inline constexpr std::uint16_t INTERVAL_DS = 190;
inline constexpr std::uint16_t TIMESTAMP_LTZ = 232;
}  // namespace sqlt

// The client's descriptor types of the datetime descriptors.
namespace datetime_dtype {
inline constexpr std::uint32_t INTERVAL_YM = 62;
inline constexpr std::uint32_t INTERVAL_DS = 63;
inline constexpr std::uint32_t TIMESTAMP = 68;
inline constexpr std::uint32_t TIMESTAMP_TZ = 69;
inline constexpr std::uint32_t TIMESTAMP_LTZ = 70;
}  // namespace datetime_dtype

// Where the Oracle field value raises its errors (unit ERROR_UNIT_ORACLE_FIELD_VALUE).
inline constexpr std::uint32_t ORACLE_FIELD_POINT_UNSUPPORTED_TYPE = 1;
inline constexpr std::uint32_t ORACLE_FIELD_POINT_NUMBER_TO_HOST = 2;
inline constexpr std::uint32_t ORACLE_FIELD_POINT_HOST_TO_NUMBER = 3;
inline constexpr std::uint32_t ORACLE_FIELD_POINT_HOST_TO_DOUBLE = 4;
inline constexpr std::uint32_t ORACLE_FIELD_POINT_HOST_TO_INTERVAL = 5;
inline constexpr std::uint32_t ORACLE_FIELD_POINT_DESCRIPTOR_FREE = 6;
inline constexpr std::uint32_t ORACLE_FIELD_POINT_HOST_TO_DATE = 7;
inline constexpr std::uint32_t ORACLE_FIELD_POINT_NARROW_TEXT = 8;
inline constexpr std::uint32_t ERROR_UNSUPPORTED_TYPE = 54;

// True when the OCI7 entry set is bound.
bool bIsOci7Mode();

class COracleFieldValue : public CFieldValue {
 public:
  COracleFieldValue(CErrorHolder* owner, CConnection* connection);
  // Empty (what a clone starts from).
  COracleFieldValue();
  ~COracleFieldValue() override;

  // ---- the base's operations completed here ----
  CValueItem* pClone(CHashTable& cloneMap) override;
  int bReadNative() override;
  // Row 0 of the buffer.
  int bIsNativeNull() override { return bIsNativeNull(0); }
  int bWriteNative() override;
  // 0, with the conversion error, for a real value no Oracle number holds (an infinity or NaN) about to be bound as
  // a number; 1 otherwise.
  int bCheckBindableReal();
  int bPrepareExternalBuffer() override;
  int bPrepareNativeBuffer() override;
  int bCheckNativeType() override;
  // The base copy, then the piece length and the single indicator; the descriptor and the indicator array stay
  // this value's own.
  using CFieldValue::bCopyFrom;
  virtual int bCopyFrom(CFieldValue* source, CHashTable& cloneMap);

  // ---- rows and indicators ----
  // The secondary descriptor's element count; 1 without one.
  std::uint32_t nGetRowCount();
  // The single indicator for one row, else the array (made zero-filled on first use); null when it cannot be made.
  std::uint16_t* pGetIndicatorArray();
  void ClearIndicators();
  // An indicator above 65534 (the client's -1) is NULL.
  int bIsNativeNull(std::uint32_t row);

  // ---- preparation ----
  // The mask of dates written as text; the value is bound as a date through an 8-byte OCIDate (7-byte date with
  // the OCI7 set).
  void SetDateFormat(const char16_t* mask);
  const char16_t* pszGetDateFormat() const { return m_pszDateMask; }
  // Raw bytes into the prepared buffer; the returned length counts characters for wide text.
  int bSetFromBytes(const void* bytes, std::uint64_t length);
  // Table B: the SQLT code of a host type without a column; 0 when refused.
  static std::uint16_t nHostTypeToSqlt(std::uint32_t hostType, CConnection* connection);
  // Table A: the SQLT code of a column type, the described descriptor giving the type Oracle reported; 0 with
  // error 54 in the owner's holder for a column type that has none.
  static int nColumnTypeToSqlt(CErrorHolder* owner, std::uint16_t* sqltCode, CColumnDescriptor* column,
                               CColumnDescriptor* described, CConnection* connection);
  // The datetime descriptor type a column type with that SQLT code needs; 0 for none.
  static std::uint32_t nDescriptorTypeOfSqlt(CConnection* connection, std::uint32_t columnType,
                                             std::uint16_t sqltCode);
  std::uint32_t nGetDescriptorType();
  int bRefreshDateTimeDescriptor();
  void FreeDescriptor();

  // ---- fields read by the bindings ----
  std::uint32_t* pGetPieceLength() { return &m_nPieceLength; }
  std::uint32_t nGetPieceLength() const { return m_nPieceLength; }
  void SetPieceLength(std::uint32_t length) { m_nPieceLength = length; }
  void* pGetDateTimeDescriptor() const { return m_pDateTimeDescriptor; }
  std::uint32_t nGetDateTimeDescriptorType() const { return m_nDescriptorType; }
  std::uint16_t nGetSingleIndicator() const { return m_nSingleIndicator; }
  void SetSingleIndicator(std::uint16_t indicator) { m_nSingleIndicator = indicator; }
  // The used length of an own buffer.
  void SetDataLength(std::uint64_t length) { m_nDataLength = length; }

  // ---- number and date-time conversions (oracle_conversions.cpp) ----
  int bNumberToHost();
  int bDateToHost();
  int bTimestampToHost();
  int bIntervalToHost();
  int bHostToNumber();
  // Also writes the 7-byte date and the OCIDate buffers.
  int bHostToTimestamp();
  int bHostToInterval();

 private:
  COracleConnection* pOracleConnection();
  // The buffer with `bytes` bytes of conversion room (mode 2), or in place (mode 1).
  int bPrepareConverted(std::uint64_t bytes);
  int bPrepareInPlace();
  int bPrepareDateBuffer();
  int bPrepareTextBuffer();
  int bReadText();
  int bWriteText();
  // The code page the client keeps this value's 8-bit text in when it is not the runtime's (the session's NLS
  // character set's), else 0: such a text crosses through the conversion buffer, converted both ways.
  std::uint32_t nNarrowSessionCodePage();
  int bReadNarrowText(std::uint32_t sessionCodePage);
  int bWriteNarrowText(std::uint32_t sessionCodePage);
  // Out of memory for a text the value could not keep; 0.
  int bTextNotKept();
  // A fetched number the item cannot hold: the runtime's conversion error for it; 0.
  int bRefuseOverflow(std::uint8_t sourceType, std::uint8_t targetType);
  // A bind of NULL: the value and its one-row indicator; 1.
  int bBindNull();
  // Error 54 for a type code with the item's name, in the owner's holder.
  void RaiseUnsupportedType(std::uint32_t type, const char16_t* itemName);
  // The conversion error of a host conversion result, at 105.point.
  void RaiseHostConversion(std::int32_t result, std::uint8_t sourceType, std::uint8_t targetType,
                           std::uint32_t point);

  std::uint32_t m_nPieceLength = 0;
  void* m_pDateTimeDescriptor = nullptr;
  std::uint32_t m_nDescriptorType = 0;
  std::uint16_t m_nSingleIndicator = 0;
  std::uint16_t* m_pIndicators = nullptr;
};
