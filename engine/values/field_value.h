// CFieldValue: one column value or bind-parameter value on its way between the runtime's typed value (the held value
// of CValueItem) and the byte buffer the client library reads or fills. It decides where the bytes live (the held
// value, a buffer somebody else owns, or a buffer of its own), prepares the buffer handed to the client library, moves
// the value in and out of it, compares and copies values and reports what cannot be converted. The conversions are in
// field_value_conversions.cpp; the Oracle field value completes the native side through the virtual operations.
//
// Counted (CValueItem). It holds a reference on its owner (an error holder, which receives its errors), on both
// descriptors and on its connection, gives each back when it is replaced and at destruction. A native buffer is owned
// only in state FIELD_STATE_OWNED; the conversion buffer always is.
#pragma once

#include <cstdint>

#include "foundation/date_time.h"
#include "host/value_item.h"

class CColumnDescriptor;
class CConnection;
class CErrorHolder;
class CHashTable;
class CRecordBuffer;

enum EFieldState : std::uint32_t {
  FIELD_STATE_UNSET = 0,
  FIELD_STATE_VALUE = 1,
  FIELD_STATE_NULL = 2,
  FIELD_STATE_EXTERNAL = 3,
  FIELD_STATE_EXTERNAL_READY = 4,
  FIELD_STATE_OWNED = 5,
};

enum EFieldPreparation : std::uint32_t {
  FIELD_NOT_PREPARED = 0,
  FIELD_PREPARED_IN_PLACE = 1,
  FIELD_PREPARED_CONVERTED = 2,
};

// Where errors of the field values are raised.
inline constexpr std::uint32_t FIELD_POINT_DATE_TIME_TEXT = 2;
inline constexpr std::uint32_t FIELD_POINT_CONVERSION = 3;
inline constexpr std::uint32_t FIELD_POINT_TOO_LONG = 4;
inline constexpr std::uint32_t ERROR_VALUE_NOT_CONVERTIBLE = 53;

// A length of all ones given to the text setters: up to the terminator.
inline constexpr std::uint64_t FIELD_LENGTH_TERMINATED = ~std::uint64_t{0};

// The host type families as the field values sort them.
bool bIsNarrowTextHostType(std::uint8_t type);
bool bIsWideTextHostType(std::uint8_t type);
bool bIsInPlaceHostType(std::uint8_t type);
bool bIsLongColumnType(std::uint32_t columnType);

class CFieldValue : public CValueItem {
 public:
  // Takes a reference on the owner and on the connection.
  CFieldValue(CErrorHolder* owner, CConnection* connection);
  // Empty: no owner, no connection (what a clone starts from).
  CFieldValue();
  ~CFieldValue() override;

  // ---- operations the derived class completes or replaces ----
  virtual int bChangeType(std::uint16_t hostType, std::uint64_t size);
  virtual CConnection* pGetConnection() { return m_pConnection; }
  virtual int bReadNative() { return 1; }
  virtual int bIsNativeNull() { return 0; }
  virtual int bWriteNative() { return 1; }
  virtual int bCopyFromWithMap(CFieldValue* source, CHashTable& cloneMap);
  virtual int bPrepareExternalBuffer();
  virtual int bPrepareNativeBuffer();
  virtual int bCheckNativeType() { return 1; }

  // ---- the value item's operations ----
  int bConvertTo(std::uint16_t type, std::uint32_t extra) override { return bChangeType(type, extra); }
  int bGetValue(CHostValue* out) override;
  int bIsUnset() override { return m_nState == FIELD_STATE_UNSET ? 1 : 0; }
  const void* pGetValueData() override { return pGetData(); }
  std::uint64_t nGetSize() override { return nGetDataSize(); }
  void CopyFrom(CValueItem* source, CHashTable& cloneMap) override;
  CValueItem* pClone(CHashTable& cloneMap) override;
  int bEqualsItem(CValueItem* other) override;

  // ---- states and buffers ----
  void InitType(std::uint16_t hostType, std::uint64_t size);
  int bAttachExternalBuffer(void* buffer, std::uint64_t size);
  int bAllocateNativeBuffer(std::uint16_t hostType, std::uint64_t size);
  void Reset(std::uint32_t state);
  void Clear() { Reset(FIELD_STATE_UNSET); }
  void SetDescriptors(CColumnDescriptor* primary, CColumnDescriptor* secondary);
  void ResetNativeState(bool clearNull);
  void SetNull();

  // ---- what the value is ----
  std::uint32_t nGetColumnType();
  std::uint32_t nGetColumnTypeOrHost();
  std::uint32_t nGetSecondaryTypeChecked();
  bool bIsWideText();
  int bGetNumericPrecision(std::uint32_t* precision, std::uint32_t* scale);
  const char16_t* pszGetTableName();
  const char16_t* pszGetColumnName();
  const void* pGetData();
  std::uint64_t nGetDataSize();
  std::uint64_t nGetValueLength();

  // ---- the buffer protocol: prepare, get the buffer, bind it, sync before execution, load after a fetch ----
  int bEnsurePrepared();
  int bGetNativeBuffer(void** buffer, std::uint64_t* size);
  int bGetNativeBufferEx(void** buffer, std::uint64_t* size, std::uint64_t** returnedLength);
  std::uint32_t nGetNativeTypeCode();
  int bSyncToNative();
  int bLoadFetched(CRecordBuffer* record);
  int bSetNativeBytes(const void* bytes, std::uint64_t length);

  // ---- copies and comparison ----
  int bCopyFrom(CFieldValue* other);
  CFieldValue* pDuplicate();
  int bLoadFromFile(const char16_t* fileName, int binary);
  int bEquals(CFieldValue* other);
  int nCompare(CFieldValue* other);
  void RaiseConversionError(std::uint8_t sourceType, const char16_t* sourceText, std::uint32_t unit,
                            std::uint32_t point);
  // Error 56: the value is longer than the place it must go in; answers 0.
  int RaiseValueTooLong();
  // Error 53 for a text of that type that its code pages cannot convert; answers 0.
  int RaiseTextNotConverted(std::uint8_t sourceType);

  // ---- conversions (field_value_conversions.cpp) ----
  int bSetValue(CHostValue& source);
  int bSetAnsiText(const char* text, std::uint64_t length);
  int bSetAnsiTextWithCodePage(const char* text, std::uint64_t length, std::uint32_t codePage);
  int bPutAnsiText(const char* text, std::uint64_t length, std::uint32_t codePage);
  int bSetWideText(const char16_t* text, std::uint64_t length);
  int bPutWideText(const char16_t* text, std::uint64_t length);
  int bPutWideTextPrepared(const char16_t* text, std::uint64_t length);
  int bSetBytes(const void* bytes, std::uint64_t length);
  int bSetBoolean(std::uint8_t value);
  int bPutValue(CHostValue& source);
  int bSetDateTimeText(CHostValue& source);
  int bFillNativeFromText(const char* text, std::uint64_t length, std::uint32_t codePage);

  // ---- fields the Oracle layer and the columns read and set ----
  std::uint32_t nGetState() const { return m_nState; }
  void SetState(std::uint32_t state) { m_nState = state; }
  std::uint32_t nGetPreparation() const { return m_nPreparation; }
  std::uint64_t nGetBufferSize() const { return m_nBufferSize; }
  std::uint64_t nGetDataLength() const { return m_nDataLength; }
  std::uint64_t nGetReturnedLength() const { return m_nReturnedLength; }
  void SetNativeTypeCode(std::uint32_t code) { m_nNativeTypeCode = code; }
  std::uint32_t nGetNullIndicator() const { return m_nNullIndicator; }
  void SetDateMask(const char16_t* mask) { m_pszDateMask = mask; }
  CColumnDescriptor* pGetPrimary() const { return m_pPrimary; }
  CColumnDescriptor* pGetSecondary() const { return m_pSecondary; }
  CErrorHolder* pGetOwner() const { return m_pOwner; }
  std::uint8_t* pGetConversionBuffer() const { return m_pConversion; }
  std::uint64_t nGetConversionSize() const { return m_nConversionSize; }

 protected:
  void SetConnection(CConnection* connection);
  // The client code page of the connection (the system's ANSI page without one).
  std::uint32_t nClientCodePage();
  // The code page of 8-bit text handed to a prepared value.
  std::uint32_t nSecondCodePage();
  // The bytes the data may be read over: the held value's size with its terminator, else the native buffer's.
  std::uint64_t nReadableBytes();
  // Zero-fills the native buffer from `from` to its end.
  void ZeroNativeFrom(std::uint64_t from);
  // A number written from UTF-16 text: into the native buffer (states 3 to 5) or the held value (1 and 2).
  int bPutNumberFromWideText(const char16_t* text, std::uint64_t length);
  int bPutBinaryBytes(const void* bytes, std::uint64_t byteCount);
  int bSetTimeOrDateDigits(const CHostDateTime& value);

  CConnection* m_pConnection = nullptr;
  CColumnDescriptor* m_pSecondary = nullptr;
  CColumnDescriptor* m_pPrimary = nullptr;
  std::uint32_t m_nState = FIELD_STATE_UNSET;
  std::uint8_t* m_pNative = nullptr;
  std::uint64_t m_nDataLength = 0;
  std::uint64_t m_nBufferSize = 0;
  std::uint8_t* m_pConversion = nullptr;
  std::uint64_t m_nConversionSize = 0;
  std::uint32_t m_nReserved = 0;
  std::uint32_t m_nNullIndicator = 0;
  std::uint64_t m_nReturnedLength = 0;
  std::uint32_t m_nNativeTypeCode = 0;
  std::uint32_t m_nPreparation = FIELD_NOT_PREPARED;
  const char16_t* m_pszDateMask = nullptr;
  CErrorHolder* m_pOwner = nullptr;
};

// A new field value of the current driver object's class for the owner and connection (count 0); null without a
// driver object or when none could be made. The driver object defines it.
CFieldValue* pCreateFieldValueThroughDriver(CErrorHolder* owner, CConnection* connection);

// Digit packing into the runtime's packed date-time. Dates are YYYYMMDD, times HHMMSS with up to three fraction
// digits; missing fraction digits count as zeros on the right.
std::uint32_t nPackDateFromDigits(CHostDateTime& out, const char* text);
std::uint32_t nPackDateFromWideDigits(CHostDateTime& out, const char16_t* text);
void PackTimeFromDigits(CHostDateTime& out, const char* text);
void PackTimeFromWideDigits(CHostDateTime& out, const char16_t* text);
void PackDateTimeFromDigits(CHostDateTime& out, const char* text);
void PackDateTimeFromWideDigits(CHostDateTime& out, const char16_t* text);
