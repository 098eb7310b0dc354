// The Oracle Call Interface as the driver calls it: the scalar types, the opaque handle types and the signatures of
// the client entries the driver calls, written from the published interface. Only oracle/client/ includes this file:
// the rest of the driver sees handles as untyped pointers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace oci {

using sword = int;
using uword = unsigned int;
using sb1 = std::int8_t;
using ub1 = std::uint8_t;
using sb2 = std::int16_t;
using ub2 = std::uint16_t;
using sb4 = std::int32_t;
using ub4 = std::uint32_t;
using boolean = int;
using OraText = unsigned char;

struct OCIEnv;
struct OCIError;
struct OCISvcCtx;
struct OCIServer;
struct OCISession;
struct OCIStmt;
struct OCIBind;
struct OCIDefine;
struct OCIDescribe;
struct OCISnapshot;
struct OCILobLocator;
struct OCINumber;
struct OCIDateTime;
struct OCIInterval;
// The OCI7 logon and cursor data areas: 64 bytes each, of which the driver reads the documented fields below.
struct Oci7DataArea;

using MallocHook = void* (*)(void*, std::size_t);
using ReallocHook = void* (*)(void*, void*, std::size_t);
using FreeHook = void (*)(void*, void*);
using CallbackInBind = sb4 (*)(void*, OCIBind*, ub4, ub4, void**, ub4*, ub1*, void**);
using CallbackOutBind = sb4 (*)(void*, OCIBind*, ub4, ub4, void**, ub4**, ub1*, void**, ub2**);
using CallbackLobRead = sb4 (*)(void*, const void*, ub4, ub1);
using CallbackLobWrite = sb4 (*)(void*, void*, ub4*, ub1*);

// Statuses.
inline constexpr sword OCI_SUCCESS = 0;
inline constexpr sword OCI_SUCCESS_WITH_INFO = 1;
inline constexpr sword OCI_NEED_DATA = 99;
inline constexpr sword OCI_NO_DATA = 100;
inline constexpr sword OCI_ERROR = -1;
inline constexpr sword OCI_INVALID_HANDLE = -2;
inline constexpr sword OCI_STILL_EXECUTING = -3123;
inline constexpr sword OCI_CONTINUE = -24200;

// Handle and descriptor kinds.
inline constexpr ub4 OCI_HTYPE_ENV = 1;
inline constexpr ub4 OCI_HTYPE_ERROR = 2;
inline constexpr ub4 OCI_HTYPE_SVCCTX = 3;
inline constexpr ub4 OCI_HTYPE_STMT = 4;
inline constexpr ub4 OCI_HTYPE_BIND = 5;
inline constexpr ub4 OCI_HTYPE_DEFINE = 6;
inline constexpr ub4 OCI_HTYPE_DESCRIBE = 7;
inline constexpr ub4 OCI_HTYPE_SERVER = 8;
inline constexpr ub4 OCI_HTYPE_SESSION = 9;
inline constexpr ub4 OCI_HTYPE_TRANS = 10;
inline constexpr ub4 OCI_DTYPE_LOB = 50;
inline constexpr ub4 OCI_DTYPE_FILE = 56;

// Attributes.
inline constexpr ub4 OCI_ATTR_TRANS = 8;
inline constexpr ub4 OCI_ATTR_ROW_COUNT = 9;
inline constexpr ub4 OCI_ATTR_STMT_TYPE = 24;
inline constexpr ub4 OCI_ATTR_CHARSET_ID = 31;
inline constexpr ub4 OCI_ATTR_CHARSET_FORM = 32;

// Modes and flags.
inline constexpr ub4 OCI_DEFAULT = 0;
inline constexpr ub4 OCI_DYNAMIC_FETCH = 2;
inline constexpr ub4 OCI_COMMIT_ON_SUCCESS = 0x20;
inline constexpr ub4 OCI_TRANS_RESUME = 4;
inline constexpr ub4 OCI_NTV_SYNTAX = 1;
inline constexpr ub1 OCI_OTYPE_NAME = 1;
inline constexpr ub1 OCI_ONE_PIECE = 0;
inline constexpr ub1 SQLCS_IMPLICIT = 1;
inline constexpr ub1 SQLCS_NCHAR = 2;
inline constexpr ub2 OCI_UTF16ID = 1000;
inline constexpr ub2 SQLT_CHR = 1;
inline constexpr ub2 SQLT_STR = 5;
// Statement types the client tells (OCI_ATTR_STMT_TYPE) of DDL.
inline constexpr ub2 OCI_STMT_CREATE = 5;
inline constexpr ub2 OCI_STMT_DROP = 6;
inline constexpr ub2 OCI_STMT_ALTER = 7;

// The OCI7 data areas' fields: rows processed (u32 at byte 4), SQL function type (u16 at byte 2), return code (u16
// at byte 12, the Oracle error number of the last call).
inline constexpr std::size_t OCI7_AREA_SIZE = 64;
inline constexpr std::size_t OCI7_FUNCTION_TYPE_OFFSET = 2;
inline constexpr std::size_t OCI7_ROWS_PROCESSED_OFFSET = 4;
inline constexpr std::size_t OCI7_RETURN_CODE_OFFSET = 12;

}  // namespace oci
