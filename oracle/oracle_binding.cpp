#include "oracle/oracle_binding.h"

#include <algorithm>
#include <new>

#include "engine/record/column.h"
#include "engine/table/cursor.h"
#include "engine/values/field_value.h"
#include "foundation/clone_map.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/x_error.h"
#include "host/host_type.h"
#include "host/host_value.h"
#include "oracle/client/oci_error.h"
#include "oracle/client/oci_wrappers.h"
#include "oracle/oracle_column.h"
#include "oracle/oracle_connection.h"
#include "oracle/oracle_field_value.h"
#include "sql/driver_services.h"
#include "sql/rewriter/sql_element.h"
#include "sql/rewriter/value_leaf.h"

namespace {

constexpr std::uint32_t PARAMETER_POINT_UNICODE_CLIENT = 1;
constexpr std::uint32_t PARAMETER_POINT_TRUNCATED = 2;
// The client's "fetched column value was truncated", with the status its OCI set answers it with.
constexpr std::uint16_t ORA_FETCHED_VALUE_TRUNCATED = 1406;
constexpr std::int32_t STATUS_SUCCESS_WITH_INFO = 1;

constexpr std::uint32_t OCI_HANDLE_STATEMENT = 4;
constexpr std::uint32_t OCI_MODE_DEFAULT = 0;
constexpr std::uint32_t OCI_MODE_DYNAMIC_FETCH = 2;
constexpr std::uint32_t OCI_MODE_DATA_AT_EXEC = 2;
constexpr std::int32_t OCI_CONTINUE_CODE = -24200;
constexpr std::uint8_t PIECE_ONE = 0;
constexpr std::uint8_t PIECE_FIRST = 1;
constexpr std::uint8_t PIECE_NEXT = 2;
constexpr std::uint16_t INDICATOR_NULL = 0xFFFF;
constexpr std::uint32_t DYNAMIC_DEFINE_SIZE = 0x7fffffff;

bool bIsUnicodeColumnType(std::uint32_t type) { return type == 29 || type == 30; }
bool bIsMemoColumnType(std::uint32_t type) { return type == 15 || type == 18 || type == 30; }
bool bIsTextBindHostType(std::uint32_t type) { return type == 16 || type == 18 || type == 19 || type == 110; }
// The host types whose text is 8-bit: a named output of these needs 4001 bytes of room, the others 8002.
bool bIsNarrowRoomHostType(std::uint32_t type) {
  switch (type) {
    case 17: case 18: case 19: case 21: case 22: case 23: case 128: case 129: case 134:
      return true;
    default:
      return false;
  }
}


}  // namespace

// ---- COracleParameterBinding ---------------------------------------------------------------------------------------

COracleParameterBinding::~COracleParameterBinding() = default;

COracleFieldValue* COracleParameterBinding::pGetOracleValue() const {
  return dynamic_cast<COracleFieldValue*>(pGetFieldValue());
}

COracleColumn* COracleParameterBinding::pGetOracleColumn() const {
  CSqlElement* column = pGetSelectColumn();
  return column ? dynamic_cast<COracleColumn*>(column->pGetItem()) : nullptr;
}

std::uint16_t* COracleParameterBinding::pGetIndicators() {
  COracleFieldValue* value = pGetOracleValue();
  return value ? value->pGetIndicatorArray() : nullptr;
}

int COracleParameterBinding::bCheckUnicodeClient(COracleFieldValue* value, CErrorHolder* holder) {
  std::uint32_t columnType = value->nGetColumnType();
  std::uint32_t secondType = value->nGetSecondaryTypeChecked();
  if (secondType == 0) secondType = columnType != 0 ? columnType : value->nGetColumnTypeOrHost();
  if (!bIsUnicodeColumnType(columnType) && !bIsUnicodeColumnType(secondType)) return 1;
  // The version is known once a connection has opened, which any statement needs.
  if (gnOciClientMajorVersion < 0 || gnOciClientMajorVersion >= 9) return 1;
  CModuleError error;
  error.SetError(&gstModuleDescriptor, ERROR_UNICODE_NEEDS_CLIENT_9);
  SetErrorFileAndItem(error, value->pszGetTableName(), value->pszGetColumnName());
  std::uint32_t code = ERROR_UNICODE_NEEDS_CLIENT_9;
  error.SetInfo(ERROR_INFO_ERROR_CODE, &code);
  AddErrorIdentification(error, ERROR_UNIT_ORACLE_PARAMETER, PARAMETER_POINT_UNICODE_CLIENT);
  if (holder) {
    holder->RecordError(0, error, value->pGetConnection());
  } else {
    DiscardIgnoredError(error);
  }
  return 0;
}

int COracleParameterBinding::bPrepare(CCursor* cursor) {
  COracleFieldValue* value = pGetOracleValue();
  CErrorHolder* holder = cursor ? cursor->pGetErrorHolder() : nullptr;
  auto* source = dynamic_cast<IOracleStatementHandle*>(cursor);
  COracleConnection* connection = source ? source->pGetOciConnection() : nullptr;
  if (!value || !source || !connection) {
    RaiseNotAvailable(holder, ERROR_UNIT_ORACLE_PARAMETER, 0, connection, nullptr);
    return 0;
  }
  if (!bCheckUnicodeClient(value, holder)) return 0;
  if (!value->bEnsurePrepared()) return 0;
  const auto dataType = static_cast<std::uint16_t>(value->nGetNativeTypeCode());
  const std::uint32_t columnType = value->nGetColumnType();
  void* buffer = nullptr;
  std::uint64_t size = 0;
  std::uint64_t* returnedLength = nullptr;
  m_bDynamic = 0;
  m_bLocatorDefined = 0;
  COracleColumn* column = pGetOracleColumn();
  // The locator is the buffer only of a LOB the value defines as one: the client would write another type's bytes
  // over the locator's address.
  const bool lobType = dataType == sqlt::CLOB || dataType == sqlt::BLOB || dataType == sqlt::BFILE;
  if (column && column->bIsLob() && lobType && gnOciClientMajorVersion > 7) {
    void** locator = column->pGetLobLocator();
    if (!*locator) return 0;
    buffer = locator;
    size = sizeof(void*);
    m_bLocatorDefined = 1;
  } else if (!bIsMemoColumnType(columnType)) {
    if (!value->bGetNativeBufferEx(&buffer, &size, &returnedLength)) return 0;
  } else {
    m_bDynamic = 1;
  }
  // The client writes a 16-bit returned length into the value's wider one: zeroed here, it reads as the client's
  // length, whose bytes are its low ones on our (little-endian) targets.
  if (returnedLength) *returnedLength = 0;
  auto* length = reinterpret_cast<std::uint16_t*>(returnedLength);
  if (m_bDynamic) {
    buffer = nullptr;
    size = DYNAMIC_DEFINE_SIZE;
    length = nullptr;
  }
  return nOciDefineByPos(connection, holder, source->pGetOciStatement(), &m_pDefine, nGetPosition(), buffer,
                         static_cast<std::uint32_t>(size), length, dataType, value->pGetIndicatorArray(),
                         &m_nReturnCode, m_bDynamic ? OCI_MODE_DYNAMIC_FETCH : OCI_MODE_DEFAULT, columnType);
}

int COracleParameterBinding::bTransferValue(CRecordBuffer* buffer) {
  // The OCI7 fetch answers success over a value cut to its buffer and tells it only in the column's return code:
  // the read fails as the OCI set's fetch does, rather than keep a cut value.
  if (bIsOci7Mode() && m_nReturnCode == ORA_FETCHED_VALUE_TRUNCATED) {
    CFieldValue* value = pGetFieldValue();
    RaiseOci7NativeError(value ? static_cast<COracleConnection*>(value->pGetConnection()) : nullptr,
                         value ? value->pGetOwner() : nullptr, STATUS_SUCCESS_WITH_INFO, ORA_FETCHED_VALUE_TRUNCATED,
                         ERROR_UNIT_ORACLE_PARAMETER, PARAMETER_POINT_TRUNCATED);
    return 0;
  }
  // Only a defined locator asks for the column: the common value goes straight to the base.
  COracleColumn* column = m_bLocatorDefined ? pGetOracleColumn() : nullptr;
  if (!column || !column->bIsLob()) return CParameterBinding::bTransferValue(buffer);
  if (!column->bIsTableStateClear()) return column->bReadLob();
  if (!column->bIsFieldValueNull()) {
    column->MarkUnread();
    return 1;
  }
  return column->bSetFieldValue(nullptr);
}

int COracleParameterBinding::bCopyFrom(COracleParameterBinding* source, CHashTable& cloneMap) {
  if (!bRegisterClone(cloneMap, source, this)) return 0;
  // A copy binds the same entry at the same position: without them it would bind nothing.
  if (!CParameterBinding::bCopyFrom(source, cloneMap)) return 0;
  m_bDynamic = source->m_bDynamic;
  m_bLocatorDefined = source->m_bLocatorDefined;
  m_nReturnCode = source->m_nReturnCode;
  return 1;
}

CParameterBinding* COracleParameterBinding::pClone(CHashTable& cloneMap) {
  return pCloneUnreferenced(new (std::nothrow) COracleParameterBinding(), nullptr,
                            [&](COracleParameterBinding* copy) { return copy->bCopyFrom(this, cloneMap); });
}

// ---- COracleParameter ----------------------------------------------------------------------------------------------

COracleParameter::COracleParameter(CValueLeaf* parameter, std::uint32_t position)
    : COracleParameterBinding(parameter, position) {}

COracleParameter::COracleParameter() = default;

COracleParameter::~COracleParameter() {
  if (m_pCursor) nOciHandleFree(m_pCursorConnection, nullptr, m_pCursor, OCI_HANDLE_STATEMENT);
  if (m_pCursorConnection) m_pCursorConnection->nRelease();
}

const char16_t* COracleParameter::pszGetName() const {
  CValueLeaf* parameter = pGetParameter();
  return parameter ? parameter->pszGetName() : u"";
}

void* COracleParameter::pTakeCursorHandle() {
  void* handle = m_pCursor;
  m_pCursor = nullptr;
  return handle;
}

int COracleParameter::bPrepareBindMode() {
  m_bDynamic = 0;
  if (bIsCursorParameter()) return 1;
  CFieldValue* value = pGetFieldValue();
  if (!value || !value->bEnsurePrepared()) return 0;
  // The statement's parameters carry no option word: only a named parameter of a text type goes at execution, where
  // its output can be any length.
  CValueLeaf* parameter = pGetParameter();
  if (parameter && (parameter->nGetFlags() & LEAF_FLAG_NAMED) && bIsTextBindHostType(value->Value().nGetType())) {
    m_bDynamic = 1;
  }
  return 1;
}

int COracleParameter::bBind(CErrorHolder* owner, void* statement, COracleConnection* connection) {
  COracleFieldValue* value = pGetOracleValue();
  if (!bPrepareBindMode()) return 0;
  const char16_t* name = pszGetName();
  const bool named = name && name[0];
  if (bIsCursorParameter()) {
    if (!m_pCursor) {
      m_pCursor = nOciHandleAlloc(connection, owner, OCI_HANDLE_STATEMENT);
      if (!m_pCursor) return 0;
      if (m_pCursorConnection != connection) {
        if (connection) connection->AddRef();
        if (m_pCursorConnection) m_pCursorConnection->nRelease();
        m_pCursorConnection = connection;
      }
    }
    m_nCursorIndicator = 0;
    return nOciBindByName(connection, owner, statement, &m_pBind, nGetPosition(), &m_pCursor, sizeof(void*),
                          SQLT_REF_CURSOR, &m_nCursorIndicator, &m_nReturnCode, OCI_MODE_DEFAULT, name, 0);
  }
  if (!value) return 0;
  if (!bCheckUnicodeClient(value, owner)) return 0;
  std::uint16_t* indicator = value->pGetIndicatorArray();
  const auto dataType = static_cast<std::uint16_t>(value->nGetNativeTypeCode());
  // The client would store an infinity in a number column, where no later read can take it back.
  if (!value->bCheckBindableReal() || !value->bSyncToNative()) return 0;
  void* buffer = nullptr;
  std::uint64_t size = 0;
  if (!value->bGetNativeBuffer(&buffer, &size)) return 0;
  const std::uint8_t hostType = value->Value().nGetType();
  const bool set = value->nGetState() != FIELD_STATE_UNSET && !value->Value().bIsNull();
  if (indicator) *indicator = set && (!m_bDynamic || named) ? 0 : INDICATOR_NULL;
  if (m_bDynamic && named && bIsTextBindHostType(hostType)) {
    const std::uint64_t room = bIsNarrowRoomHostType(hostType) ? 4001 : 8002;
    if (size < room) size = room;
  }
  if (dataType == sqlt::CHR && hostType != 17 && size > 0) {
    // The client takes SQLT_CHR text by its length: the terminator is no character of it.
    const std::uint64_t terminator = value->bIsWideText() ? 2 : 1;
    size = size > terminator ? size - terminator : 0;
  }
  // A parameter without a column takes the column type of its host type: the client then reads and writes an 8-bit
  // text in the session's character set, not in the UTF-16 of a UTF-16 environment.
  std::uint32_t columnType = value->nGetColumnType();
  if (columnType == 0) columnType = value->nGetColumnTypeOrHost();
  if (!nOciBindByName(connection, owner, statement, &m_pBind, nGetPosition(), buffer, static_cast<std::uint32_t>(size),
                      dataType, indicator, &m_nReturnCode, m_bDynamic ? OCI_MODE_DATA_AT_EXEC : OCI_MODE_DEFAULT,
                      name, columnType)) {
    return 0;
  }
  if (!m_bDynamic) return 1;
  value->SetPieceLength(named ? 0 : static_cast<std::uint32_t>(value->nGetDataSize()));
  if (named) {
    return nOciBindDynamic(connection, owner, m_pBind, this, reinterpret_cast<void*>(&nInBindValueCallback), this,
                           reinterpret_cast<void*>(&nOutBindPieceCallback));
  }
  return nOciBindDynamic(connection, owner, m_pBind, this, reinterpret_cast<void*>(&nInBindCallback), this,
                         reinterpret_cast<void*>(&nOutBindCallback));
}

int COracleParameter::bCopyFrom(COracleParameter* source, CHashTable& cloneMap) {
  if (!bRegisterClone(cloneMap, source, this)) return 0;
  return COracleParameterBinding::bCopyFrom(source, cloneMap);
}

CParameterBinding* COracleParameter::pClone(CHashTable& cloneMap) {
  return pCloneUnreferenced(new (std::nothrow) COracleParameter(), nullptr,
                            [&](COracleParameter* copy) { return copy->bCopyFrom(this, cloneMap); });
}

bool COracleParameter::bSetOutputValue(std::size_t bytes) {
  CFieldValue* value = pGetFieldValue();
  if (!value) return true;
  CHostValue received;
  received.SetType(value->bIsWideText() ? HOST_TYPE_WSTRING : HOST_TYPE_TEXT_BUFFER);
  if (!bHostStored(received.SetFromBuffer(m_output.data(), bytes)) || !value->bSetValue(received)) {
    SetHolderOutOfMemory(value->pGetOwner());
    return false;
  }
  return true;
}

int COracleParameter::bCompleteOutput() {
  COracleFieldValue* value = pGetOracleValue();
  if (!m_bDynamic || !value || m_output.empty()) return 1;
  const std::size_t total = m_nReceived + std::min<std::size_t>(value->nGetPieceLength(), OUTPUT_PIECE_BYTES);
  m_nReceived = total;
  m_output.resize(total);
  value->SetPieceLength(0);
  if (value->bIsNativeNull(0)) {
    value->SetNull();
    return 1;
  }
  return bSetOutputValue(total) ? 1 : 0;
}

// ---- the dynamic-bind callbacks ------------------------------------------------------------------------------------

std::int32_t COracleParameter::nInBindCallback(void* context, void*, std::uint32_t, std::uint32_t, void** buffer,
                                               std::uint32_t* length, std::uint8_t* piece, void** indicator) {
  auto* self = static_cast<COracleParameter*>(context);
  *buffer = nullptr;
  *length = 0;
  *piece = PIECE_ONE;
  *indicator = self->pGetIndicators();
  return OCI_CONTINUE_CODE;
}

void COracleParameter::GetInputBytes(void** buffer, std::uint32_t* length) {
  COracleFieldValue* value = pGetOracleValue();
  void* data = nullptr;
  std::uint64_t size = 0;
  *buffer = nullptr;
  *length = 0;
  if (!value || !value->bGetNativeBuffer(&data, &size)) return;
  // A text goes without its terminator, whose place in a piece would make it a character of the value; any other
  // value is what its buffer holds.
  const std::uint8_t type = value->Value().nGetType();
  std::uint64_t bytes = value->nGetDataSize();
  if (data == value->pGetData() && bIsNarrowTextHostType(type)) bytes = value->nGetValueLength();
  if (data == value->pGetData() && bIsWideTextHostType(type)) bytes = value->nGetValueLength() * 2;
  *buffer = data;
  *length = static_cast<std::uint32_t>(std::min(bytes, size));
}

std::int32_t COracleParameter::nInBindValueCallback(void* context, void*, std::uint32_t, std::uint32_t, void** buffer,
                                                    std::uint32_t* length, std::uint8_t* piece, void** indicator) {
  auto* self = static_cast<COracleParameter*>(context);
  self->GetInputBytes(buffer, length);
  *piece = PIECE_ONE;
  *indicator = self->pGetIndicators();
  return OCI_CONTINUE_CODE;
}

std::int32_t COracleParameter::nOutBindCallback(void* context, void*, std::uint32_t, std::uint32_t, void** buffer,
                                                std::uint32_t** length, std::uint8_t* piece, void** indicator,
                                                std::uint16_t** returnCode) {
  auto* self = static_cast<COracleParameter*>(context);
  COracleFieldValue* value = self->pGetOracleValue();
  *buffer = value ? const_cast<void*>(value->pGetData()) : nullptr;
  *length = value ? value->pGetPieceLength() : nullptr;
  *piece = PIECE_ONE;
  *indicator = self->pGetIndicators();
  *returnCode = &self->m_nReturnCode;
  return OCI_CONTINUE_CODE;
}

std::int32_t COracleParameter::nOutBindPieceCallback(void* context, void*, std::uint32_t, std::uint32_t,
                                                     void** buffer, std::uint32_t** length, std::uint8_t* piece,
                                                     void** indicator, std::uint16_t** returnCode) {
  auto* self = static_cast<COracleParameter*>(context);
  COracleFieldValue* value = self->pGetOracleValue();
  *indicator = self->pGetIndicators();
  *returnCode = &self->m_nReturnCode;
  const bool first = *piece == PIECE_ONE || *piece == PIECE_FIRST;
  *piece = *piece == PIECE_ONE ? PIECE_FIRST : PIECE_NEXT;
  if (!value) {
    *buffer = nullptr;
    *length = nullptr;
    return OCI_CONTINUE_CODE;
  }
  // The pieces land one after another in the parameter's own buffer, the value following what has come so far; the
  // last piece's length is known only after the client's last call, which bCompleteOutput adds.
  try {
    if (first) {
      self->m_output.clear();
      self->m_nReceived = 0;
    } else {
      self->m_nReceived += value->nGetPieceLength();
    }
    self->m_output.resize(self->m_nReceived + OUTPUT_PIECE_BYTES);
  } catch (const std::bad_alloc&) {
    *buffer = nullptr;
    value->SetPieceLength(0);
    *length = value->pGetPieceLength();
    return OCI_CONTINUE_CODE;
  }
  self->bSetOutputValue(self->m_nReceived);
  value->SetPieceLength(OUTPUT_PIECE_BYTES);
  *buffer = self->m_output.data() + self->m_nReceived;
  *length = value->pGetPieceLength();
  return OCI_CONTINUE_CODE;
}
