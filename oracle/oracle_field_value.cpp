#include "oracle/oracle_field_value.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/record/column_descriptor.h"
#include "foundation/clone_map.h"
#include "oracle/client/client_loader.h"
#include "oracle/oracle_connection.h"

bool bIsOci7Mode() { return gbOci7Mode != 0; }

COracleFieldValue::COracleFieldValue(CErrorHolder* owner, CConnection* connection) : CFieldValue(owner, connection) {}

COracleFieldValue::COracleFieldValue() = default;

COracleFieldValue::~COracleFieldValue() {
  std::free(m_pIndicators);
  m_pIndicators = nullptr;
  if (m_pDateTimeDescriptor) FreeDescriptor();
}

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

int COracleFieldValue::bReadNative() { return 1; }
int COracleFieldValue::bWriteNative() { return 1; }
int COracleFieldValue::bPrepareExternalBuffer() { return CFieldValue::bPrepareExternalBuffer(); }
int COracleFieldValue::bPrepareNativeBuffer() { return CFieldValue::bPrepareNativeBuffer(); }
int COracleFieldValue::bCheckNativeType() { return 1; }

std::uint32_t COracleFieldValue::nGetRowCount() { return 1; }
std::uint16_t* COracleFieldValue::pGetIndicatorArray() { return &m_nSingleIndicator; }
void COracleFieldValue::ClearIndicators() { m_nSingleIndicator = 0; }
int COracleFieldValue::bIsNativeNull(std::uint32_t) { return m_nSingleIndicator > 65534 ? 1 : 0; }
void COracleFieldValue::SetDateFormat(const char16_t* mask) { m_pszDateMask = mask; }
int COracleFieldValue::bSetFromBytes(const void* bytes, std::uint64_t length) { return bSetNativeBytes(bytes, length); }
std::uint16_t COracleFieldValue::nHostTypeToSqlt(std::uint32_t, CConnection*) { return 0; }
int COracleFieldValue::nColumnTypeToSqlt(CErrorHolder*, std::uint16_t* sqltCode, CColumnDescriptor*,
                                         CColumnDescriptor*, CConnection*) {
  *sqltCode = 0;
  return 0;
}
std::uint32_t COracleFieldValue::nDescriptorTypeOfSqlt(CConnection*, std::uint32_t, std::uint16_t) { return 0; }
std::uint32_t COracleFieldValue::nGetDescriptorType() { return 0; }
int COracleFieldValue::bRefreshDateTimeDescriptor() { return 1; }
void COracleFieldValue::FreeDescriptor() { m_pDateTimeDescriptor = nullptr; }
int COracleFieldValue::bNumberToHost() { return 0; }
int COracleFieldValue::bDateToHost() { return 0; }
int COracleFieldValue::bTimestampToHost() { return 0; }
int COracleFieldValue::bIntervalToHost() { return 0; }
int COracleFieldValue::bHostToNumber() { return 0; }
int COracleFieldValue::bHostToTimestamp() { return 0; }
int COracleFieldValue::bHostToInterval() { return 0; }
COracleConnection* COracleFieldValue::pOracleConnection() { return static_cast<COracleConnection*>(m_pConnection); }
int COracleFieldValue::bPrepareConverted(std::uint64_t) { return 0; }
int COracleFieldValue::bPrepareInPlace() { return 0; }
int COracleFieldValue::bPrepareDateBuffer() { return 0; }
int COracleFieldValue::bPrepareTextBuffer() { return 0; }
int COracleFieldValue::bReadText() { return 0; }
int COracleFieldValue::bWriteText() { return 0; }
void COracleFieldValue::RaiseUnsupportedType(std::uint32_t, const char16_t*) {}
void COracleFieldValue::RaiseHostConversion(std::int32_t, std::uint8_t, std::uint8_t, std::uint32_t) {}
