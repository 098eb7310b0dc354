// The OCI client's C types, constants and callback shapes, written here from the published call interface: what
// the stand-in's entry points take and answer. Both the stand-in and its tests include it; it declares no entry.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

typedef unsigned char ub1;
typedef signed char sb1;
typedef unsigned short ub2;
typedef short sb2;
typedef unsigned int ub4;
typedef int sb4;
typedef int sword;
typedef unsigned int uword;
typedef int boolean;
typedef unsigned char OraText;

// Handles and descriptors are opaque to the caller.
struct OCIEnv;
struct OCIError;
struct OCISvcCtx;
struct OCIServer;
struct OCISession;
struct OCIStmt;
struct OCIBind;
struct OCIDefine;
struct OCIDescribe;
struct OCITrans;
struct OCIParam;
struct OCILobLocator;
struct OCIDateTime;
struct OCIInterval;
struct OCISnapshot;

struct OCINumber {
  ub1 OCINumberPart[22];
};

struct OCITime {
  ub1 OCITimeHH;
  ub1 OCITimeMI;
  ub1 OCITimeSS;
};

struct OCIDate {
  sb2 OCIDateYYYY;
  ub1 OCIDateMM;
  ub1 OCIDateDD;
  OCITime OCIDateTime;
};

// Laid out with 32-bit fields, as the client defines it on Windows: 140 bytes.
struct XID {
  sb4 formatID;
  sb4 gtrid_length;
  sb4 bqual_length;
  char data[128];
};

typedef sb4 (*OCICallbackInBind)(void* ictxp, OCIBind* bindp, ub4 iter, ub4 index, void** bufpp, ub4* alenp,
                                 ub1* piecep, void** indp);
typedef sb4 (*OCICallbackOutBind)(void* octxp, OCIBind* bindp, ub4 iter, ub4 index, void** bufpp, ub4** alenp,
                                  ub1* piecep, void** indp, ub2** rcodep);
typedef sb4 (*OCICallbackLobRead)(void* ctxp, const void* bufp, ub4 len, ub1 piece);
typedef sb4 (*OCICallbackLobWrite)(void* ctxp, void* bufp, ub4* lenp, ub1* piece);

}  // extern "C"

namespace oci {

// Statuses.
constexpr sword kSuccess = 0;
constexpr sword kSuccessWithInfo = 1;
constexpr sword kNeedData = 99;
constexpr sword kNoData = 100;
constexpr sword kError = -1;
constexpr sword kInvalidHandle = -2;
constexpr sword kStillExecuting = -3123;
constexpr sb4 kContinue = -24200;

// Handle and descriptor types.
constexpr ub4 kHtypeEnv = 1;
constexpr ub4 kHtypeError = 2;
constexpr ub4 kHtypeSvcCtx = 3;
constexpr ub4 kHtypeStmt = 4;
constexpr ub4 kHtypeBind = 5;
constexpr ub4 kHtypeDefine = 6;
constexpr ub4 kHtypeDescribe = 7;
constexpr ub4 kHtypeServer = 8;
constexpr ub4 kHtypeSession = 9;
constexpr ub4 kHtypeTrans = 10;
constexpr ub4 kDtypeLob = 50;
constexpr ub4 kDtypeSnap = 51;
constexpr ub4 kDtypeParam = 53;
constexpr ub4 kDtypeFile = 56;
constexpr ub4 kDtypeIntervalYM = 62;
constexpr ub4 kDtypeIntervalDS = 63;
constexpr ub4 kDtypeDate = 65;
constexpr ub4 kDtypeTimestamp = 68;
constexpr ub4 kDtypeTimestampTz = 69;
constexpr ub4 kDtypeTimestampLtz = 70;

// Attributes.
constexpr ub4 kAttrDataSize = 1;
constexpr ub4 kAttrDataType = 2;
constexpr ub4 kAttrName = 4;
constexpr ub4 kAttrPrecision = 5;
constexpr ub4 kAttrScale = 6;
constexpr ub4 kAttrIsNull = 7;
constexpr ub4 kAttrServer = 6;
constexpr ub4 kAttrSession = 7;
constexpr ub4 kAttrTrans = 8;
constexpr ub4 kAttrRowCount = 9;
constexpr ub4 kAttrSchemaName = 9;
constexpr ub4 kAttrPrefetchRows = 11;
constexpr ub4 kAttrPrefetchMemory = 13;
constexpr ub4 kAttrParamCount = 18;
constexpr ub4 kAttrUsername = 22;
constexpr ub4 kAttrPassword = 23;
constexpr ub4 kAttrStmtType = 24;
constexpr ub4 kAttrInternalName = 25;
constexpr ub4 kAttrExternalName = 26;
constexpr ub4 kAttrXid = 27;
constexpr ub4 kAttrCharsetId = 31;
constexpr ub4 kAttrCharsetForm = 32;
constexpr ub4 kAttrMaxDataSize = 33;
constexpr ub4 kAttrEnvCharsetId = 31;
constexpr ub4 kAttrMigSession = 86;
constexpr ub4 kAttrNumCols = 102;
constexpr ub4 kAttrListColumns = 103;
constexpr ub4 kAttrLink = 111;
constexpr ub4 kAttrPtype = 123;
constexpr ub4 kAttrParam = 124;
constexpr ub4 kAttrParseErrorOffset = 129;
constexpr ub4 kAttrRowsReturned = 42;
constexpr ub4 kAttrRowsFetched = 197;
constexpr ub4 kAttrCharSize = 286;

// Statement types (OCI_ATTR_STMT_TYPE).
constexpr ub2 kStmtUnknown = 0;
constexpr ub2 kStmtSelect = 1;
constexpr ub2 kStmtUpdate = 2;
constexpr ub2 kStmtDelete = 3;
constexpr ub2 kStmtInsert = 4;
constexpr ub2 kStmtCreate = 5;
constexpr ub2 kStmtDrop = 6;
constexpr ub2 kStmtAlter = 7;
constexpr ub2 kStmtBegin = 8;
constexpr ub2 kStmtDeclare = 9;
constexpr ub2 kStmtCall = 10;
constexpr ub2 kStmtMerge = 16;

// Describe object types (OCI_ATTR_PTYPE).
constexpr ub1 kPtypeUnknown = 0;
constexpr ub1 kPtypeTable = 1;
constexpr ub1 kPtypeView = 2;
constexpr ub1 kPtypeProc = 3;
constexpr ub1 kPtypeFunc = 4;
constexpr ub1 kPtypePkg = 5;
constexpr ub1 kPtypeSyn = 7;
constexpr ub1 kPtypeSeq = 8;
constexpr ub1 kPtypeCol = 9;
constexpr ub1 kPtypeList = 11;

// Modes.
constexpr ub4 kDefault = 0;
constexpr ub4 kObject = 2;
constexpr ub4 kDataAtExec = 2;
constexpr ub4 kDynamicFetch = 2;
constexpr ub4 kDescribeOnly = 0x10;
constexpr ub4 kCommitOnSuccess = 0x20;
constexpr ub4 kParseOnly = 0x100;
constexpr ub4 kMigrate = 1;
constexpr ub4 kCredRdbms = 1;
constexpr ub4 kCredExt = 2;
constexpr ub4 kTransNew = 1;
constexpr ub4 kTransResume = 4;
constexpr ub4 kTransTwoPhase = 0x01000000;
constexpr ub4 kNtvSyntax = 1;

// Fetch orientations.
constexpr ub2 kFetchCurrent = 1;
constexpr ub2 kFetchNext = 2;
constexpr ub2 kFetchFirst = 4;
constexpr ub2 kFetchLast = 8;
constexpr ub2 kFetchPrior = 16;
constexpr ub2 kFetchAbsolute = 32;
constexpr ub2 kFetchRelative = 64;

// Pieces.
constexpr ub1 kOnePiece = 0;
constexpr ub1 kFirstPiece = 1;
constexpr ub1 kNextPiece = 2;
constexpr ub1 kLastPiece = 3;

// External data types.
constexpr ub2 kSqltChr = 1;
constexpr ub2 kSqltNum = 2;
constexpr ub2 kSqltInt = 3;
constexpr ub2 kSqltFlt = 4;
constexpr ub2 kSqltStr = 5;
constexpr ub2 kSqltVnu = 6;
constexpr ub2 kSqltLng = 8;
constexpr ub2 kSqltVcs = 9;
constexpr ub2 kSqltRid = 11;
constexpr ub2 kSqltDat = 12;
constexpr ub2 kSqltVbi = 15;
constexpr ub2 kSqltBfloat = 21;
constexpr ub2 kSqltBdouble = 22;
constexpr ub2 kSqltBin = 23;
constexpr ub2 kSqltLbi = 24;
constexpr ub2 kSqltUin = 68;
constexpr ub2 kSqltLvc = 94;
constexpr ub2 kSqltLvb = 95;
constexpr ub2 kSqltAfc = 96;
constexpr ub2 kSqltAvc = 97;
constexpr ub2 kSqltRdd = 104;
constexpr ub2 kSqltClob = 112;
constexpr ub2 kSqltBlob = 113;
constexpr ub2 kSqltBfilee = 114;
constexpr ub2 kSqltRset = 116;
constexpr ub2 kSqltOdt = 156;
constexpr ub2 kSqltTimestamp = 187;
constexpr ub2 kSqltTimestampTz = 188;
constexpr ub2 kSqltIntervalYM = 189;
constexpr ub2 kSqltIntervalDS = 190;
constexpr ub2 kSqltTimestampLtz = 232;

// Character sets.
constexpr ub2 kUtf16Id = 1000;
constexpr ub1 kSqlcsImplicit = 1;
constexpr ub1 kSqlcsNchar = 2;

// OCINlsGetInfo items.
constexpr ub2 kNlsCharacterSet = 55;

// LOB open modes.
constexpr ub1 kLobReadOnly = 1;
constexpr ub1 kLobReadWrite = 2;

}  // namespace oci
