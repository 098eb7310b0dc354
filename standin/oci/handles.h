// The objects behind the client's opaque handles and descriptors. Every one starts with a tag (a magic number and
// its OCI handle or descriptor type), so that an entry point can refuse a handle of the wrong kind with
// OCI_INVALID_HANDLE instead of misreading it. Handles belong to the client, which frees them; a statement owns its
// bind and define handles, a describe handle its parameter descriptors, and an environment every handle and
// descriptor allocated under it that is still there when the environment is freed.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "standin/oci/database.h"
#include "standin/oci/oci_types.h"
#include "standin/oci/ora_datetime.h"
#include "standin/oci/ora_error.h"
#include "standin/oci/session.h"
#include "standin/oci/sql_rewrite.h"
#include "standin/oci/text_codec.h"

namespace qzoci {

constexpr std::uint32_t kHandleMagic = 0x51A0C1ED;

struct EnvH;

struct Tag {
  std::uint32_t magic = kHandleMagic;
  std::uint32_t type = 0;
  EnvH* owner = nullptr;  // the environment it was allocated under, which frees it with itself
  // Text attributes hand out pointers that must stay valid: the encoded texts live with the handle.
  std::map<std::uint32_t, std::string> attributeTexts;
  explicit Tag(std::uint32_t t) : type(t) {}
  virtual ~Tag() { magic = 0; }
};

struct EnvH : Tag {
  EnvH() : Tag(oci::kHtypeEnv) {}
  ub2 charset = kCharsetAl32Utf8;
  ub2 ncharset = kCharsetUtf16;
  ub4 mode = 0;
  OraError error;  // errors of calls that took the environment as their error handle
  std::set<Tag*> children;  // handles and descriptors allocated under it and not yet freed
};

struct ErrorH : Tag {
  ErrorH() : Tag(oci::kHtypeError) {}
  EnvH* env = nullptr;
  OraError error;
};

struct ServerH : Tag {
  ServerH() : Tag(oci::kHtypeServer) {}
  EnvH* env = nullptr;
  std::shared_ptr<Database> db;
  std::string externalName;
  std::string internalName;
};

struct SessionH : Tag {
  SessionH() : Tag(oci::kHtypeSession) {}
  EnvH* env = nullptr;
  std::string user;
  std::string password;
  std::string migration;  // OCI_ATTR_MIGSESSION as set
  std::unique_ptr<Session> session;
};

struct TransH;

struct SvcCtxH : Tag {
  SvcCtxH() : Tag(oci::kHtypeSvcCtx) {}
  EnvH* env = nullptr;
  ServerH* server = nullptr;
  SessionH* session = nullptr;
  TransH* trans = nullptr;
  bool ownsLogon = false;  // made by OCILogon: frees its server and session at OCILogoff
};

struct TransH : Tag {
  TransH() : Tag(oci::kHtypeTrans) {}
  EnvH* env = nullptr;
  XID xid{};
  bool hasXid = false;
  Session* session = nullptr;  // where the transaction was started
  std::uint64_t lockOwner = 0;
  bool started = false;
  bool detached = false;
};

struct StmtH;

// What a bind or a define says of the client's buffer: where it is, its size and external type, the indicator,
// length and return-code words beside it, the mode, and the character set its text is in.
struct ClientBuffer {
  void* value = nullptr;
  sb4 size = 0;
  ub2 dty = 0;
  void* indicator = nullptr;
  ub2* length = nullptr;
  ub2* returnCode = nullptr;
  ub4 mode = 0;
  ub2 charset = 0;  // 0: the environment's
  ub1 charsetForm = oci::kSqlcsImplicit;
};

struct BindH : Tag, ClientBuffer {
  BindH() : Tag(oci::kHtypeBind) {}
  StmtH* stmt = nullptr;
  std::string name;  // upper case, no colon; empty for a bind by position
  ub4 position = 0;
  void* inContext = nullptr;
  OCICallbackInBind inCallback = nullptr;
  void* outContext = nullptr;
  OCICallbackOutBind outCallback = nullptr;
  // A value sent piece by piece after OCI_NEED_DATA (data at execution without callbacks).
  std::string pieces;
  bool piecesDone = false;
  bool pieceNull = false;
  // An out bind of RETURNING ... INTO: the elements its arrays have, where the client reads how many it got, and the
  // rows the last execution returned (OCI_ATTR_ROWS_RETURNED).
  ub4 maxElements = 0;
  ub4* currentElements = nullptr;
  ub4 rowsReturned = 0;
};

struct DefineH : Tag, ClientBuffer {
  DefineH() : Tag(oci::kHtypeDefine) {}
  StmtH* stmt = nullptr;
  ub4 position = 0;
};

// A parameter descriptor: a column of a statement or of a described object, the object itself, or its column list.
struct ParamD : Tag {
  ParamD() : Tag(oci::kDtypeParam) {}
  EnvH* env = nullptr;
  ub1 ptype = oci::kPtypeCol;
  std::string name;
  std::string schema;
  std::string link;
  ub2 dataType = 1;
  ub2 dataSize = 0;
  ub2 charSize = 0;
  sb2 precision = 0;
  sb1 scale = 0;
  ub1 isNull = 1;
  ub1 charsetForm = oci::kSqlcsImplicit;
  bool explicitDescribe = false;
  std::vector<std::unique_ptr<ParamD>> children;  // the columns of an object (through its list parameter)
  ParamD* list = nullptr;                          // an object's OCI_ATTR_LIST_COLUMNS
  std::unique_ptr<ParamD> ownedList;
};

struct DescribeH : Tag {
  DescribeH() : Tag(oci::kHtypeDescribe) {}
  EnvH* env = nullptr;
  std::unique_ptr<ParamD> root;
};

struct StmtH : Tag {
  StmtH() : Tag(oci::kHtypeStmt) {}
  EnvH* env = nullptr;
  std::string sql;  // UTF-8
  bool prepared = false;
  std::string planUser;  // the user the plan was made for
  SqlPlan plan;
  std::vector<std::unique_ptr<BindH>> binds;
  std::map<ub4, std::unique_ptr<DefineH>> defines;
  std::vector<std::unique_ptr<ParamD>> columns;  // from the last describe or execute
  ResultSet result;
  bool executed = false;
  bool described = false;
  std::size_t nextRow = 0;  // next row to fetch
  ub4 rowCount = 0;         // rows fetched so far (queries) or rows changed (DML)
  ub4 rowsFetched = 0;
  ub4 prefetchRows = 1;
  ub4 prefetchMemory = 0;
  Session* session = nullptr;  // the session it last ran on
  SvcCtxH* svc = nullptr;
  bool fromRefCursor = false;
  bool endReached = false;   // the last fetch answered OCI_NO_DATA
  ub2 parseErrorOffset = 0;  // where in `sql` the last prepare or execute failed
  // Piecewise input: execute waits for the pieces of bind `pendingBind`.
  bool needInput = false;
  std::size_t pendingBind = 0;
  // A fetch in progress: rows [batchStart, batchStart + batchRows) go to array elements 0...; element
  // `batchElement` is being written, from define number `defineCursor` on. A dynamic define waits for pieces.
  bool fetchPending = false;
  std::size_t batchStart = 0;
  std::size_t batchRows = 0;
  std::size_t batchElement = 0;
  std::size_t defineCursor = 0;
  bool batchTruncated = false;
  DefineH* pieceDefine = nullptr;
  std::string pieceData;  // the dynamic define's whole value, in client bytes
  std::size_t pieceOffset = 0;
  void* pieceBuffer = nullptr;
  ub4* pieceLength = nullptr;
  void* pieceIndicator = nullptr;
  ub2* pieceReturnCode = nullptr;
  bool pieceSet = false;
  // The script the value came from (qzociScriptPieces), and the number of its next piece.
  std::vector<unsigned> pieceSizes;
  std::vector<unsigned> pieceOver;
  std::size_t pieceNumber = 0;
};

struct LobD : Tag {
  explicit LobD(std::uint32_t dtype) : Tag(dtype) {}
  bool initialized = false;
  bool isFile = false;
  bool binary = false;
  bool national = false;
  bool open = false;
  std::string data;  // the value as read (UTF-8 text or bytes)
  RowOrigin origin;
  std::string directory;  // BFILE
  std::string fileName;
  std::size_t pollPosition = 0;  // next character or byte of a polling read in progress
  std::size_t pollLimit = 0;     // where the polling read ends
  bool polling = false;
  std::string writeBuffer;  // pieces of a write given in several calls
  ub4 writeOffset = 1;
};

struct DateTimeD : Tag {
  explicit DateTimeD(std::uint32_t dtype) : Tag(dtype) {}
  DateTime value;
};

struct IntervalD : Tag {
  explicit IntervalD(std::uint32_t dtype) : Tag(dtype) {}
  Interval value;
};

// The handle at `p` when it is live and of one of the types; null otherwise.
template <typename T>
T* As(const void* p, std::uint32_t type) {
  if (!p) return nullptr;
  const Tag* tag = static_cast<const Tag*>(p);
  if (tag->magic != kHandleMagic || tag->type != type) return nullptr;
  return const_cast<T*>(static_cast<const T*>(tag));
}

inline const Tag* AsTag(const void* p) {
  if (!p) return nullptr;
  const Tag* tag = static_cast<const Tag*>(p);
  return tag->magic == kHandleMagic ? tag : nullptr;
}

}  // namespace qzoci
