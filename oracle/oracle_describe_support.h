// What the describe files of COracleRecordDescription share: the client's handle kinds and attributes they name,
// their raise sites, and the helpers they call.
#pragma once

#include <cstdint>

#include "foundation/t_string.h"

class CErrorHolder;
class COracleConnection;
class CRecordDescription;

namespace describe_oci {
inline constexpr std::uint32_t HTYPE_STMT = 4;
inline constexpr std::uint32_t HTYPE_DEFINE = 6;
inline constexpr std::uint32_t HTYPE_DESCRIBE = 7;
inline constexpr std::uint32_t DTYPE_PARAM = 53;
inline constexpr std::uint8_t PTYPE_UNKNOWN = 0;
inline constexpr std::uint8_t PTYPE_TABLE = 1;
inline constexpr std::uint32_t ATTR_DATA_SIZE = 1;
inline constexpr std::uint32_t ATTR_DATA_TYPE = 2;
inline constexpr std::uint32_t ATTR_NAME = 4;
inline constexpr std::uint32_t ATTR_PRECISION = 5;
inline constexpr std::uint32_t ATTR_SCALE = 6;
inline constexpr std::uint32_t ATTR_IS_NULL = 7;
inline constexpr std::uint32_t ATTR_SCHEMA_NAME = 9;
inline constexpr std::uint32_t ATTR_PARAM_COUNT = 18;
inline constexpr std::uint32_t ATTR_CHARSET_FORM = 32;
inline constexpr std::uint32_t ATTR_NUM_COLS = 102;
inline constexpr std::uint32_t ATTR_LIST_COLUMNS = 103;
inline constexpr std::uint32_t ATTR_LINK = 111;
inline constexpr std::uint32_t ATTR_PTYPE = 123;
inline constexpr std::uint32_t ATTR_PARAM = 124;
inline constexpr std::uint32_t ATTR_CHAR_SIZE = 286;
inline constexpr std::uint16_t SQLT_STR = 5;
inline constexpr std::uint16_t FETCH_NEXT = 2;
}  // namespace describe_oci

// Raise sites of the description (identification 101.n).
inline constexpr std::uint32_t DESCRIBE_POINT_UNSUPPORTED_TYPE = 1;
inline constexpr std::uint32_t DESCRIBE_POINT_SYNONYM_LOOP = 2;
inline constexpr std::uint32_t DESCRIBE_POINT_NOT_ORACLE = 3;

// The description's connection as the Oracle one; null with error 8 when it is another (only Oracle connections
// can be described from Oracle).
COracleConnection* pOracleConnectionOf(CRecordDescription& description);
// A text attribute of a handle or descriptor, read in the client's form; 0 with the client's error.
int bReadTextAttribute(COracleConnection* connection, CErrorHolder* holder, void* handle, std::uint32_t attribute,
                       CTString& out);
