// COracleRecordDescription's describes: the object by name (synonyms through their target), "SELECT * from" it
// with the OCI7 set, a statement's select list, and the column each described entry becomes.
#include "oracle/oracle_record_description.h"

#include <iterator>
#include <new>
#include <string>

#include "engine/record/column_types.h"
#include "engine/record/record_factories.h"
#include "foundation/clone_map.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/x_error.h"
#include "oracle/client/client_loader.h"
#include "oracle/client/oci_error.h"
#include "oracle/client/oci_session_calls.h"
#include "oracle/client/oci_wrappers.h"
#include "oracle/oracle_connection.h"
#include "oracle/oracle_describe_support.h"

using namespace describe_oci;

namespace {

constexpr std::uint32_t ERROR_UNSUPPORTED_TYPE = 1023;
constexpr std::uint32_t ORA_NOT_IN_SELECT_LIST = 1007;
constexpr std::uint32_t ORA_SYNONYM_LOOP = 1775;
constexpr std::int32_t STATUS_ERROR = -1;
constexpr std::uint32_t DESCRIPTION_KIND = 15;

// How a described Oracle column is held: its column type, the size its storage is computed from, and the digits.
struct SColumnShape {
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  std::int32_t precision = 0;  // all digits
  std::int32_t scale = 0;      // -1: not known
};

bool bIsCharacterType(std::uint16_t dataType) {
  switch (dataType) {
    case 1: case 5: case 9: case 11: case 96: case 97: return true;
    default: return false;
  }
}

void ShapeNumber(SColumnShape& shape) {
  std::uint32_t numberSize = 0;
  const std::int32_t integerDigits = shape.scale < 0 ? shape.precision : shape.precision - shape.scale;
  ColumnTypeForNumber(integerDigits, shape.scale, shape.type, numberSize);
}

// The column type of an Oracle data type; false for a type the driver does not hold.
bool bShapeColumn(std::uint16_t dataType, std::uint8_t charsetForm, SColumnShape& shape) {
  const bool national = charsetForm == 2;
  if (bIsCharacterType(dataType)) {
    shape.type = national ? COLUMN_TYPE_WTEXT : COLUMN_TYPE_TEXT;
    return true;
  }
  switch (dataType) {
    case 2: case 6: case 7:
      if (shape.precision == 0 && shape.scale == 0) {
        shape.precision = 38;
        shape.scale = -1;
      }
      ShapeNumber(shape);
      return true;
    case 3:
      ShapeNumber(shape);
      return true;
    case 4:
      // A FLOAT's precision counts bits. Its values keep their fractions whatever the describe says of the scale, so
      // the scale is taken as unknown: a binary float is never held as an integer.
      shape.precision = static_cast<std::int32_t>(shape.precision * 0.30103);
      shape.scale = -1;
      ShapeNumber(shape);
      return true;
    case 8: case 94:
      shape.type = COLUMN_TYPE_TEXT_MEMO;
      return true;
    case 12: case 184: case 187: case 188: case 232:
      shape.type = COLUMN_TYPE_DATETIME;
      return true;
    case 189: case 190:
      shape.type = COLUMN_TYPE_VALUE8;
      return true;
    case 15: case 23:
      shape.type = COLUMN_TYPE_BINARY;
      return true;
    case 24: case 95: case 113: case 114:
      shape.type = COLUMN_TYPE_BINARY_MEMO;
      return true;
    case 68:
      shape.type = COLUMN_TYPE_UINT32;
      return true;
    case 104:
      shape.type = COLUMN_TYPE_TEXT;
      shape.size = 18;
      return true;
    case 112:
      shape.type = national ? COLUMN_TYPE_WTEXT_MEMO : COLUMN_TYPE_TEXT_MEMO;
      return true;
    default:
      return false;
  }
}

// A describe handle freed however the describe ends.
class CDescribeHandle {
 public:
  CDescribeHandle(COracleConnection* connection, CErrorHolder* holder, std::uint32_t kind)
      : m_pConnection(connection), m_nKind(kind), m_pHandle(nOciHandleAlloc(connection, holder, kind)) {}
  ~CDescribeHandle() { Free(); }
  CDescribeHandle(const CDescribeHandle&) = delete;
  CDescribeHandle& operator=(const CDescribeHandle&) = delete;
  void* pGet() const { return m_pHandle; }
  void Free() {
    if (m_pHandle) nOciHandleFree(m_pConnection, nullptr, m_pHandle, m_nKind);
    m_pHandle = nullptr;
  }

 private:
  COracleConnection* m_pConnection;
  std::uint32_t m_nKind;
  void* m_pHandle;
};

}  // namespace

COracleConnection* pOracleConnectionOf(CRecordDescription& description) {
  auto* connection = dynamic_cast<COracleConnection*>(description.pGetConnection());
  if (!connection) {
    RaiseNotAvailable(description.pGetErrorHolder(), ERROR_UNIT_ORACLE_DESCRIPTION, DESCRIBE_POINT_NOT_ORACLE,
                      description.pGetConnection(), description.pszGetName());
  }
  return connection;
}

COracleRecordDescription::COracleRecordDescription(CConnection* connection, CErrorHolder* errorHolder)
    : CRecordDescription(connection, errorHolder), m_nObjectKind(ORACLE_OBJECT_TABLE) {}

COracleRecordDescription::COracleRecordDescription() : CRecordDescription(nullptr, nullptr), m_nObjectKind(0) {}

COracleRecordDescription::~COracleRecordDescription() = default;

CRecordDescription* COracleRecordDescription::pCopy(std::uint32_t options) {
  CRecordDescription* copy = CRecordDescription::pCopy(options);
  if (auto* oracle = dynamic_cast<COracleRecordDescription*>(copy)) {
    oracle->m_nObjectKind = m_nObjectKind;
    oracle->m_strSynonymTarget = m_strSynonymTarget;
  }
  return copy;
}

int COracleRecordDescription::CopyFrom(CRecordDescription* source, CHashTable& cloneMap) {
  if (!CRecordDescription::CopyFrom(source, cloneMap)) return 0;
  if (auto* oracle = dynamic_cast<COracleRecordDescription*>(source)) {
    m_nObjectKind = oracle->m_nObjectKind;
    m_strSynonymTarget = oracle->m_strSynonymTarget;
  }
  return 1;
}

int COracleRecordDescription::bCopyFrom(COracleRecordDescription* source, CHashTable& cloneMap) {
  return CopyFrom(source, cloneMap);
}

CRecordDescription* COracleRecordDescription::pClone(CHashTable& cloneMap) {
  auto* copy = new (std::nothrow) COracleRecordDescription();
  if (!copy) return nullptr;
  copy->AddRef();
  try {
    if (copy->bCopyFrom(this, cloneMap)) return copy;
  } catch (...) {
  }
  copy->nRelease();
  return nullptr;
}

std::int32_t COracleRecordDescription::nSlot48() { return DESCRIPTION_KIND; }

int COracleRecordDescription::bLoad(std::uintptr_t argument) {
  COracleConnection* connection = pOracleConnectionOf(*this);
  if (!connection) return 0;
  const char16_t* sqlName = pszGetSqlTableName();
  const CTString fullName(sqlName);
  if (fullName.nGetLength() != std::char_traits<char16_t>::length(sqlName ? sqlName : u"")) {
    SetHolderOutOfMemory(pGetErrorHolder());
    return 0;
  }
  CTString first;
  CTString owner;
  CTString table;
  // A name memory cut short would describe one table under another's name: its defaults and indexes would be lost.
  bool whole = connection->nSplitQualifiedName(first, owner, table, fullName.pszGet()) != 0;
  SetOwnerName(owner.pszGet());
  SetName(table.pszGet());
  whole = whole && std::char_traits<char16_t>::length(pszGetOwnerName() ? pszGetOwnerName() : u"") ==
                       owner.nGetLength() &&
          std::char_traits<char16_t>::length(pszGetName() ? pszGetName() : u"") == table.nGetLength();
  if (!whole) {
    SetHolderOutOfMemory(pGetErrorHolder());
    return 0;
  }
  const int described = gbOci7Mode ? bDescribeBySelect() : bDescribeObject(fullName.pszGet(), 0);
  if (!described || !LayoutItems()) return 0;
  if (argument == 0 && m_nObjectKind == ORACLE_OBJECT_TABLE) return bLoadDefaults();
  return 1;
}

int COracleRecordDescription::bDescribeObject(const char16_t* name, std::uint32_t depth) {
  COracleConnection* connection = pOracleConnectionOf(*this);
  if (!connection) return 0;
  CErrorHolder* holder = pGetErrorHolder();
  // Oracle lets synonyms point at each other in a ring; following one must end, as the server's own lookup does.
  if (depth > SYNONYM_DEPTH_MAX) {
    if (holder) {
      FillErrorRecord(connection, holder, STATUS_ERROR, ORA_SYNONYM_LOOP, u"ORA-01775: looping chain of synonyms",
                      ERROR_UNIT_ORACLE_DESCRIPTION, DESCRIBE_POINT_SYNONYM_LOOP);
      holder->SetFileAndItem(name, nullptr);
    }
    return 0;
  }
  CTString quoted;
  if (!connection->nQuoteDottedName(holder, name, quoted)) {
    SetHolderOutOfMemory(holder);
    return 0;
  }
  CDescribeHandle describe(connection, holder, HTYPE_DESCRIBE);
  if (!describe.pGet()) return 0;
  if (!nOciDescribeAny(connection, holder, quoted.pszGet(), PTYPE_TABLE, describe.pGet())) {
    // Views and synonyms are not tables: the second describe asks for any kind, and only its failure counts.
    if (holder) holder->Clear();
    if (!nOciDescribeAny(connection, holder, quoted.pszGet(), PTYPE_UNKNOWN, describe.pGet())) return 0;
  }
  void* parameter = nullptr;
  std::uint8_t kind = 0;
  if (!nOciAttrGet(connection, holder, describe.pGet(), HTYPE_DESCRIBE, &parameter, ATTR_PARAM, nullptr) ||
      !nOciAttrGet(connection, holder, parameter, DTYPE_PARAM, &kind, ATTR_PTYPE, nullptr)) {
    return 0;
  }
  m_nObjectKind = kind;
  if (kind == ORACLE_OBJECT_SYNONYM) {
    if (!bReadSynonymTarget(parameter)) return 0;
    describe.Free();
    const CTString target(m_strSynonymTarget);
    const int result = bDescribeObject(target.pszGet(), depth + 1);
    m_nObjectKind = ORACLE_OBJECT_SYNONYM;
    return result;
  }
  std::uint16_t count = 0;
  void* list = nullptr;
  if (!nOciAttrGet(connection, holder, parameter, DTYPE_PARAM, &count, ATTR_NUM_COLS, nullptr) ||
      !nOciAttrGet(connection, holder, parameter, DTYPE_PARAM, &list, ATTR_LIST_COLUMNS, nullptr)) {
    return 0;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    if (BuildColumn(list, DTYPE_PARAM, i, false, 0) != EColumnResult::kBuilt) return 0;
  }
  describe.Free();
  return bLoadIndexes(name);
}

int COracleRecordDescription::bReadSynonymTarget(void* parameter) {
  COracleConnection* connection = pOracleConnectionOf(*this);
  if (!connection) return 0;
  CTString schema;
  CTString name;
  CTString link;
  if (!bReadTextAttribute(connection, pGetErrorHolder(), parameter, ATTR_SCHEMA_NAME, schema) ||
      !bReadTextAttribute(connection, pGetErrorHolder(), parameter, ATTR_NAME, name) ||
      !bReadTextAttribute(connection, pGetErrorHolder(), parameter, ATTR_LINK, link)) {
    return 0;
  }
  m_strSynonymTarget.Empty();
  if (!schema.bIsEmpty()) {
    m_strSynonymTarget.Append(schema.pszGet());
    m_strSynonymTarget.Append(u".");
  }
  m_strSynonymTarget.Append(name.pszGet());
  if (!link.bIsEmpty()) {
    m_strSynonymTarget.Append(u"@");
    m_strSynonymTarget.Append(link.pszGet());
  }
  return 1;
}

int COracleRecordDescription::bDescribeBySelect() {
  COracleConnection* connection = pOracleConnectionOf(*this);
  if (!connection) return 0;
  CErrorHolder* holder = pGetErrorHolder();
  const CTString fullName(pszGetSqlTableName());
  CTString quoted;
  static constexpr char16_t kSelect[] = u"SELECT * from ";
  CTString text(kSelect);
  // Quoting fails only for memory. A name or text memory cut short would describe another object, or send a
  // statement without one.
  const char16_t* name = pszGetSqlTableName();
  if (!connection->nQuoteDottedName(holder, fullName.pszGet(), quoted) || (name && name[0] && fullName.bIsEmpty()) ||
      (text.Append(quoted.pszGet()), text.nGetLength() != std::size(kSelect) - 1 + quoted.nGetLength())) {
    SetHolderOutOfMemory(holder);
    return 0;
  }
  CDescribeHandle statement(connection, holder, HTYPE_STMT);
  if (!statement.pGet() || !nOciStmtPrepare(connection, holder, statement.pGet(), text.pszGet())) return 0;
  if (!bBuildSelectList(statement.pGet(), false, 0)) return 0;
  if (!nLoadObjectKind()) return 0;
  statement.Free();
  return bLoadIndexes(fullName.pszGet());
}

int COracleRecordDescription::bFillFromCursor(void* statement, std::uint32_t reuse) {
  COracleConnection* connection = pOracleConnectionOf(*this);
  if (!connection) return 0;
  if (gbOci7Mode) {
    if (!bBuildSelectList(statement, true, reuse)) return 0;
  } else {
    std::uint32_t count = 0;
    if (!nOciAttrGet(connection, pGetErrorHolder(), statement, HTYPE_STMT, &count, ATTR_PARAM_COUNT, nullptr)) return 0;
    for (std::uint32_t i = 0; i < count; ++i) {
      if (BuildColumn(statement, HTYPE_STMT, i, true, reuse) != EColumnResult::kBuilt) return 0;
    }
  }
  return LayoutItems();
}

int COracleRecordDescription::bBuildSelectList(void* statement, bool noTableText, std::uint32_t reuse) {
  // Only the end of the select list ends the walk: a column that cannot be built fails it, rather than leaving a
  // description silently short of every later column.
  for (std::uint32_t i = 0;; ++i) {
    const EColumnResult result = BuildColumn(statement, HTYPE_STMT, i, noTableText, reuse);
    if (result == EColumnResult::kFailed) return 0;
    if (result == EColumnResult::kEnd) break;
  }
  return nGetItemCount() > 0;
}

COracleRecordDescription::EColumnResult COracleRecordDescription::BuildColumn(void* handle, std::uint32_t handleType,
                                                                              std::uint32_t index, bool noTableText,
                                                                              std::uint32_t reuse) {
  COracleConnection* connection = pOracleConnectionOf(*this);
  if (!connection) return EColumnResult::kFailed;
  CErrorHolder* holder = pGetErrorHolder();
  CTString name;
  std::uint16_t dataType = 0;
  std::uint32_t size = 0;
  std::int32_t precision = 0;
  std::int32_t scale = 0;
  bool nullable = true;
  std::uint8_t charsetForm = 1;
  if (gbOci7Mode) {
    std::int32_t databaseSize = 0;
    std::int16_t databaseType = 0;
    std::int16_t digits = 0;
    std::int16_t fraction = 0;
    std::int16_t nullOk = 1;
    if (!nOciDescribeColumn(connection, holder, handle, index + 1, &databaseSize, &databaseType, name, &digits,
                            &fraction, &nullOk)) {
      if (!holder || holder->nGetNativeErrorCode() == ORA_NOT_IN_SELECT_LIST) {
        if (holder) holder->Clear();
        return EColumnResult::kEnd;
      }
      return EColumnResult::kFailed;
    }
    dataType = static_cast<std::uint16_t>(databaseType);
    size = databaseSize < 0 ? 0 : static_cast<std::uint32_t>(databaseSize);
    precision = digits;
    scale = fraction;
    nullable = nullOk != 0;
  } else {
    void* parameter = nullptr;
    if (!nOciParamGet(connection, holder, handle, handleType, &parameter, index + 1) ||
        !nOciAttrGet(connection, holder, parameter, DTYPE_PARAM, &dataType, ATTR_DATA_TYPE, nullptr) ||
        !bReadTextAttribute(connection, holder, parameter, ATTR_NAME, name)) {
      return EColumnResult::kFailed;
    }
    std::uint16_t bytes = 0;
    // Character lengths exist from version 9 on, on both sides; before, the byte size is the only size there is.
    if (bIsCharacterType(dataType) && gnOciClientMajorVersion >= 9 && connection->nGetServerMajor() >= 9 &&
        !nOciAttrGet(connection, holder, parameter, DTYPE_PARAM, &bytes, ATTR_CHAR_SIZE, nullptr)) {
      return EColumnResult::kFailed;
    }
    if (bytes == 0 && !nOciAttrGet(connection, holder, parameter, DTYPE_PARAM, &bytes, ATTR_DATA_SIZE, nullptr)) {
      return EColumnResult::kFailed;
    }
    size = bytes;
    // The precision is one byte from a describe of an object and two from a statement's: read into a zeroed
    // 16-bit word, both come out right on the little-endian machines the driver runs on.
    std::int16_t digits = 0;
    std::int8_t fraction = 0;
    std::uint8_t isNull = 1;
    if (!nOciAttrGet(connection, holder, parameter, DTYPE_PARAM, &digits, ATTR_PRECISION, nullptr) ||
        !nOciAttrGet(connection, holder, parameter, DTYPE_PARAM, &fraction, ATTR_SCALE, nullptr) ||
        !nOciAttrGet(connection, holder, parameter, DTYPE_PARAM, &isNull, ATTR_IS_NULL, nullptr) ||
        !nOciAttrGet(connection, holder, parameter, DTYPE_PARAM, &charsetForm, ATTR_CHARSET_FORM, nullptr)) {
      return EColumnResult::kFailed;
    }
    precision = digits;
    scale = fraction;
    nullable = isNull != 0;
  }

  // A negative scale rounds to tens, hundreds and so on: its digits are whole ones, before the point, as many more
  // as it says (NUMBER(12,-6) holds 18-digit integers).
  if (scale < 0) {
    precision -= scale;
    scale = 0;
  }
  SColumnShape shape;
  shape.size = size;
  shape.precision = precision;
  shape.scale = scale;
  if (!bShapeColumn(dataType, charsetForm, shape)) {
    RaiseModuleError(holder, 0, ERROR_UNIT_ORACLE_DESCRIPTION, DESCRIBE_POINT_UNSUPPORTED_TYPE, connection,
                     pszGetName(), ERROR_UNSUPPORTED_TYPE, static_cast<std::uint32_t>(dataType), name.pszGet());
    return EColumnResult::kFailed;
  }
  const std::int32_t knownScale = shape.scale < 0 ? 0 : shape.scale;
  const std::uint32_t integerDigits = static_cast<std::uint32_t>(shape.precision - knownScale);

  CColumnDescriptor* item = reuse ? piFindItemByName(name.pszGet(), FIND_ITEM_DEFAULT) : nullptr;
  if (!item) {
    item = pCreateColumnDescriptorThroughDriver(this, 0);
    if (!item) {
      SetHolderOutOfMemory(holder);
      return EColumnResult::kFailed;
    }
    const std::uint32_t storage = nStorageSizeOfColumnType(shape.type, shape.size, shape.precision);
    const int set = item->bSetAll(name.pszGet(), noTableText ? u"" : pszGetSqlTableName(), name.pszGet(), 1, storage,
                                  shape.type, index, 0xFFFFFFFF, 0, integerDigits,
                                  static_cast<std::uint32_t>(knownScale));
    // A table's column is named as the server holds it; a statement's select list names expressions and aliases,
    // which the driver never writes back as columns.
    if (!noTableText) item->SetServerName();
    if (shape.type == COLUMN_TYPE_DECIMAL && shape.precision >= 1) {
      item->SetPrecision(integerDigits);
      item->SetScale(static_cast<std::uint32_t>(knownScale));
    }
    if (!set || !AddItem(item)) {
      item->DeletingDestructor(1);
      SetHolderOutOfMemory(holder);
      return EColumnResult::kFailed;
    }
  }
  item->SetServerTypeCode(dataType);
  if (!nullable) item->SetNullAllowed(false);
  return EColumnResult::kBuilt;
}

int bReadTextAttribute(COracleConnection* connection, CErrorHolder* holder, void* handle, std::uint32_t attribute,
                       CTString& out) {
  void* text = nullptr;
  std::uint32_t bytes = 0;
  if (!nOciAttrGet(connection, holder, handle, DTYPE_PARAM, &text, attribute, &bytes)) return 0;
  out.Empty();
  // A name memory cut short would describe a column, or a synonym's target, under another name.
  if (text && bytes > 0 && !bReadSessionText(connection, text, bytes, out)) {
    SetHolderOutOfMemory(holder);
    return 0;
  }
  return 1;
}
