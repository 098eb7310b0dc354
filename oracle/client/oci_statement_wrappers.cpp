#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "oracle/client/client_loader.h"
#include "oracle/client/oci_call.h"
#include "oracle/client/oci_entries.h"
#include "oracle/client/oci_error.h"
#include "oracle/client/oci_wrappers.h"

using namespace oci;

namespace {

enum : std::uint32_t {
  MESSAGE_HANDLE_ALLOC = 2457,
  MESSAGE_PREPARE = 2459,
  MESSAGE_EXECUTE = 2460,
  MESSAGE_PARAM_GET = 2461,
  MESSAGE_DEFINE = 2462,
  MESSAGE_BIND = 2463,
  MESSAGE_ATTR_GET = 2465,
  MESSAGE_FETCH = 2466,
  MESSAGE_DESCRIBE = 2467,
  MESSAGE_OPEN_CURSOR = 2521,
  MESSAGE_STATEMENT = 28566,
};

constexpr std::uint32_t ERROR_OCI7_NO_SUCH_HANDLE = 8;
constexpr std::uint32_t RECORDED_OCI7_NO_SUCH_HANDLE = 7;
constexpr std::uint32_t ERROR_OCI7_NO_SUCH_ATTRIBUTE = 1035;

// Oracle numbers an OCI7 call leaves in the cursor data area.
constexpr std::uint16_t ORA_NEED_PIECE_EXECUTE = 3129;
constexpr std::uint16_t ORA_NEED_PIECE_FETCH = 3130;
constexpr std::uint16_t ORA_NO_DATA_FOUND = 1403;
// The only warnings a fetch lets pass: ORA-24347 (a NULL in an aggregate) and ORA-00023.
constexpr sb4 ORA_NULL_IN_AGGREGATE = 24347;
constexpr sb4 ORA_00023 = 23;

constexpr std::uint32_t DESCRIBE_NAME_UNITS = 255;

void StatementMessage(CErrorHolder* holder, const char16_t* text) {
  if (holder && text && text[0]) holder->InsertUserMessage(MESSAGE_STATEMENT, text);
}

// The kinds the cursor and the connection give a statement: a query or DML (1 to 5, 5 a delete of all rows), and
// the DDL they know (6 a CREATE, 7 a DROP as the connection tells it, 9 a DROP as the cursor does); any other kind
// is a statement whose type only the client knows.
bool bKnownDml(std::uint32_t kind) { return kind >= 1 && kind <= 5; }
bool bKnownDdl(std::uint32_t kind) { return kind == 6 || kind == 7 || kind == 9; }

int bReadAttachedTransaction(COracleConnection* c, CErrorHolder* h, void** transaction) {
  *transaction = nullptr;
  return nOciAttrGet(c, h, c->m_pServiceContext, OCI_HTYPE_SVCCTX, transaction, OCI_ATTR_TRANS, nullptr);
}

// The global transaction a DDL statement took off the session, put back on the service context and resumed.
int bTakeBackTransaction(COracleConnection* c, CErrorHolder* h, void* transaction) {
  return nOciAttrSet(c, h, c->m_pServiceContext, OCI_HTYPE_SVCCTX, transaction, OCI_ATTR_TRANS, 0) &&
         nOciTransStart(c, h, OCI_TRANS_RESUME);
}

Oci7DataArea* AreaOf(void* handle) { return static_cast<Oci7DataArea*>(handle); }

// The OCI7 opcode of a define or bind: 0 for a piecewise (dynamic) transfer, 1 otherwise.
ub1 Oci7Opcode(std::uint32_t mode) { return (mode & OCI_DYNAMIC_FETCH) ? 0 : 1; }

// The UTF-16 column types, whose text goes in the national character set.
bool bNationalColumn(std::uint32_t columnType) { return columnType == 29 || columnType == 30; }

// Sets the character set of a define (kind 6) or bind (kind 5) handle of a text column: form before id for a
// national column, the session's id for any other column of a UTF-16 client.
int bSetCharset(COracleConnection* c, CErrorHolder* h, void* handle, std::uint32_t kind, std::uint32_t columnType) {
  if (bNationalColumn(columnType)) {
    ub1 form = SQLCS_NCHAR;
    if (!nOciAttrSet(c, h, handle, kind, &form, OCI_ATTR_CHARSET_FORM, sizeof form)) return 0;
    ub2 id = OCI_UTF16ID;
    return nOciAttrSet(c, h, handle, kind, &id, OCI_ATTR_CHARSET_ID, sizeof id);
  }
  if (!bClientIsUtf16(c)) return 1;
  ub2 id = static_cast<ub2>(c->m_nClientCharsetId);
  return nOciAttrSet(c, h, handle, kind, &id, OCI_ATTR_CHARSET_ID, sizeof id);
}

}  // namespace

void* pOci7PlaceholderHandle() { return reinterpret_cast<void*>(~std::uintptr_t{0}); }

void* nOciHandleAlloc(COracleConnection* c, CErrorHolder* h, std::uint32_t kind) {
  if (gbOci7Mode) {
    switch (kind) {
      case OCI_HTYPE_ERROR:
      case OCI_HTYPE_BIND:
      case OCI_HTYPE_DEFINE:
      case OCI_HTYPE_DESCRIBE:
      case OCI_HTYPE_TRANS:
        return pOci7PlaceholderHandle();
      case OCI_HTYPE_STMT: {
        void* area = std::calloc(1, OCI7_AREA_SIZE);
        if (!area) {
          SetHolderOutOfMemory(h);
          return nullptr;
        }
        if (!nOci7OpenCursor(c, h, area)) {
          std::free(area);
          return nullptr;
        }
        return area;
      }
      default:
        RaiseModuleError(h, RECORDED_OCI7_NO_SUCH_HANDLE, ERROR_UNIT_ORACLE_CALL, 4, c, nullptr,
                         ERROR_OCI7_NO_SUCH_HANDLE);
        return nullptr;
    }
  }
  void* handle = nullptr;
  sword status = OCI_SUCCESS;
  if (!bOciGuarded(c, h, 23,
                   [&] { status = OciEntry<OCI_SLOT_OCIHandleAlloc>()(pEnvOf(c), &handle, kind, 0, nullptr); })) {
    InsertWrapperMessage(h, MESSAGE_HANDLE_ALLOC);
    return nullptr;
  }
  if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO) return handle;
  RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, 40, pErrorOf(c));
  InsertWrapperMessage(h, MESSAGE_HANDLE_ALLOC);
  return nullptr;
}

int nOciHandleFree(COracleConnection* c, CErrorHolder* h, void* handle, std::uint32_t kind) {
  if (!handle || handle == pOci7PlaceholderHandle()) return 1;
  if (gbOci7Mode) {
    if (kind != OCI_HTYPE_STMT) return 1;
    sword result = 0;
    const bool called = bOciGuarded(c, h, 123, [&] { result = OciEntry<OCI_SLOT_oclose>()(AreaOf(handle)); });
    if (called && result != 0) RaiseOci7Error(c, h, result, ERROR_UNIT_ORACLE_CALL, 124, handle);
    std::free(handle);
    return called && result == 0 ? 1 : 0;
  }
  sword status = OCI_SUCCESS;
  if (!bOciGuarded(c, h, 125, [&] { status = OciEntry<OCI_SLOT_OCIHandleFree>()(handle, kind); })) return 0;
  // A define handle goes with its statement whatever the client says of it.
  if (kind == OCI_HTYPE_DEFINE || status == OCI_SUCCESS) return 1;
  RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, 126, nullptr);
  return 0;
}

int nOci7OpenCursor(COracleConnection* c, CErrorHolder* h, void* area) {
  sword result = 0;
  if (!bOciGuarded(c, h, 127, [&] {
        result = OciEntry<OCI_SLOT_oopen>()(AreaOf(area), pLogonAreaOf(c), nullptr, -1, 0, nullptr, -1);
      })) {
    InsertWrapperMessage(h, MESSAGE_OPEN_CURSOR);
    return 0;
  }
  if (result == 0) return 1;
  RaiseOci7Error(c, h, result, ERROR_UNIT_ORACLE_CALL, 128, area);
  InsertWrapperMessage(h, MESSAGE_OPEN_CURSOR);
  return 0;
}

int nOciStmtPrepare(COracleConnection* c, CErrorHolder* h, void* statement, const char16_t* text) {
  const COciText clientText(c, text);
  sword status = OCI_SUCCESS;
  bool called;
  if (!bOciTextsMade(h, {&clientText})) {
    called = false;
  } else if (gbOci7Mode) {
    called = bOciGuarded(c, h, 41, [&] {
      status = OciEntry<OCI_SLOT_oparse>()(AreaOf(statement), clientText.pGet(),
                                           static_cast<sb4>(clientText.nGetBytes()), 1, 2);
    });
    if (called && status != 0) RaiseOci7Error(c, h, status, ERROR_UNIT_ORACLE_CALL, 42, statement);
  } else {
    called = bOciGuarded(c, h, 43, [&] {
      status = OciEntry<OCI_SLOT_OCIStmtPrepare>()(static_cast<OCIStmt*>(statement), pErrorOf(c), clientText.pGet(),
                                                   clientText.nGetBytes(), OCI_NTV_SYNTAX, OCI_DEFAULT);
    });
    if (called && status != OCI_SUCCESS) RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, 44, pErrorOf(c));
  }
  if (called && status == OCI_SUCCESS) return 1;
  InsertWrapperMessage(h, MESSAGE_PREPARE);
  if (h) h->InsertUserMessage(MESSAGE_STATEMENT, text ? text : u"");
  return 0;
}

int nOciStmtExecute(COracleConnection* c, CErrorHolder* h, void* statement, const char16_t* text, std::uint32_t kind,
                    std::uint32_t mode, std::uint32_t* needData, std::uint32_t) {
  sword status = OCI_SUCCESS;
  int result = 1;
  if (gbOci7Mode) {
    sword code = 0;
    if (!bOciGuarded(c, h, 45, [&] { code = OciEntry<OCI_SLOT_oexec>()(AreaOf(statement)); })) {
      result = 0;
    } else if (code != 0) {
      if (nOci7ReturnCode(statement) == ORA_NEED_PIECE_EXECUTE) {
        status = OCI_NEED_DATA;
      } else {
        RaiseOci7Error(c, h, code, ERROR_UNIT_ORACLE_CALL, 46, statement);
        InsertWrapperMessage(h, MESSAGE_EXECUTE);
        result = 0;
      }
    }
  } else {
    // A transaction an earlier DDL statement could not bring back comes back first: a statement run without it
    // would commit at once, or be left out of the program's commit and rollback.
    if (void* left = c->m_pTransactionLeftDetached) {
      if (bTakeBackTransaction(c, h, left)) {
        c->m_pTransactionLeftDetached = nullptr;
      } else {
        result = 0;
      }
    }
    void* transaction = nullptr;
    // A read that failed is no "no transaction": the statement would commit the program's transaction with it.
    if (result && !bReadAttachedTransaction(c, h, &transaction)) result = 0;
    bool apart = false;
    if (result && transaction && !bKnownDml(kind)) {
      apart = bKnownDdl(kind);
      // Text run as it is (ALTER, a CREATE or DROP of another object) is DDL as the client tells its type; a type
      // it would not tell runs nothing, as it might commit the transaction's pending work.
      ub2 type = 0;
      if (!apart && !nOciAttrGet(c, h, statement, OCI_HTYPE_STMT, &type, OCI_ATTR_STMT_TYPE, nullptr)) result = 0;
      if (!apart) apart = type == OCI_STMT_CREATE || type == OCI_STMT_DROP || type == OCI_STMT_ALTER;
    }
    bool detached = false;
    if (!transaction || apart) {
      // Outside a global transaction every statement commits on success.
      mode |= OCI_COMMIT_ON_SUCCESS;
    }
    if (result && apart) {
      // DDL commits whatever the session has pending: it runs with the global transaction taken off the session,
      // and not at all while the transaction could not be taken off.
      detached = nOciTransDetach(c, h) != 0;
      result = detached && nOciAttrSet(c, h, c->m_pServiceContext, OCI_HTYPE_SVCCTX, nullptr, OCI_ATTR_TRANS, 0);
    }
    const ub4 iterations = kind == 1 ? 0 : 1;
    if (result && !bOciGuarded(c, h, 47, [&] {
          status = OciEntry<OCI_SLOT_OCIStmtExecute>()(pServiceOf(c), static_cast<OCIStmt*>(statement), pErrorOf(c),
                                                       iterations, 0, nullptr, nullptr, mode);
        })) {
      result = 0;
    } else if (result && (status == OCI_ERROR || status == OCI_INVALID_HANDLE)) {
      // A handle the client refused ran nothing: taken as a success, the statement's work would be lost unseen.
      RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, 48, pErrorOf(c));
      InsertWrapperMessage(h, MESSAGE_EXECUTE);
      result = 0;
    }
    // Taken back also after the statement failed. A transaction that would not come back is not left to the
    // statements after it, which would run outside it: the connection's next statement asks for it again first.
    if (detached && !bTakeBackTransaction(c, result ? h : nullptr, transaction)) {
      c->m_pTransactionLeftDetached = transaction;
      result = 0;
    }
  }
  if (needData) *needData = status == OCI_NEED_DATA ? 1 : 0;
  if (!result) StatementMessage(h, text);
  return result;
}

int nOciAttrGet(COracleConnection* c, CErrorHolder* h, void* handle, std::uint32_t kind, void* value,
                std::uint32_t attribute, std::uint32_t* size) {
  if (gbOci7Mode) {
    if (kind == OCI_HTYPE_STMT && attribute == OCI_ATTR_ROW_COUNT) {
      const std::uint32_t rows = nOci7RowsProcessed(handle);
      std::memcpy(value, &rows, sizeof rows);
      return 1;
    }
    RaiseModuleError(h, 0, ERROR_UNIT_ORACLE_CALL, 49, c, nullptr, ERROR_OCI7_NO_SUCH_ATTRIBUTE);
    return 0;
  }
  sword status = OCI_SUCCESS;
  if (!bOciGuarded(c, h, 50, [&] {
        status = OciEntry<OCI_SLOT_OCIAttrGet>()(handle, kind, value, size, attribute, pErrorOf(c));
      })) {
    InsertWrapperMessage(h, MESSAGE_ATTR_GET);
    return 0;
  }
  if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO) return 1;
  RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, 51, pErrorOf(c));
  InsertWrapperMessage(h, MESSAGE_ATTR_GET);
  return 0;
}

void* pOciGetAttachedTransaction(COracleConnection* c, CErrorHolder* h) {
  void* transaction = nullptr;
  return bReadAttachedTransaction(c, h, &transaction) ? transaction : nullptr;
}

int nOciAttrSet(COracleConnection* c, CErrorHolder* h, void* handle, std::uint32_t kind, void* value,
                std::uint32_t attribute, std::uint32_t size) {
  sword status = OCI_SUCCESS;
  if (!bOciGuarded(c, h, 73, [&] {
        status = OciEntry<OCI_SLOT_OCIAttrSet>()(handle, kind, value, size, attribute, pErrorOf(c));
      })) {
    return 0;
  }
  if (status == OCI_SUCCESS) return 1;
  RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, 74, pErrorOf(c));
  return 0;
}

int nOciParamGet(COracleConnection* c, CErrorHolder* h, void* handle, std::uint32_t kind, void** parameter,
                 std::uint32_t position) {
  sword status = OCI_SUCCESS;
  if (!bOciGuarded(c, h, 52, [&] {
        status = OciEntry<OCI_SLOT_OCIParamGet>()(handle, kind, pErrorOf(c), parameter, position);
      })) {
    InsertWrapperMessage(h, MESSAGE_PARAM_GET);
    return 0;
  }
  if (status != OCI_ERROR && status != OCI_NO_DATA && status != OCI_INVALID_HANDLE) return 1;
  RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, 53, pErrorOf(c));
  InsertWrapperMessage(h, MESSAGE_PARAM_GET);
  return 0;
}

int nOciDefineByPos(COracleConnection* c, CErrorHolder* h, void* statement, void** define, std::uint32_t position,
                    void* buffer, std::uint32_t size, std::uint16_t* returnedLength, std::uint16_t dataType,
                    void* indicator, std::uint16_t* returnCode, std::uint32_t mode, std::uint32_t columnType) {
  sword status = OCI_SUCCESS;
  bool called;
  bool passed;
  if (gbOci7Mode) {
    // A dynamic define's buffer is only the context the client hands back with each of its pieces (ogetpi): the
    // define's own slot is that context and names the define, so that a piece goes to its column even when a column
    // before it was NULL and sent none.
    ub1* target = static_cast<ub1*>(buffer);
    if (Oci7Opcode(mode) == 0 && !buffer && define) {
      *define = define;
      target = reinterpret_cast<ub1*>(define);
    }
    called = bOciGuarded(c, h, 54, [&] {
      status = OciEntry<OCI_SLOT_odefinps>()(AreaOf(statement), Oci7Opcode(mode), static_cast<sword>(position),
                                             target, static_cast<sb4>(size), dataType, 0,
                                             static_cast<sb2*>(indicator), nullptr, 0, 0, returnedLength, returnCode, 0,
                                             0, 0, 0);
    });
    passed = called && status == 0;
    if (called && !passed) RaiseOci7Error(c, h, status, ERROR_UNIT_ORACLE_CALL, 55, statement);
  } else {
    called = bOciGuarded(c, h, 56, [&] {
      status = OciEntry<OCI_SLOT_OCIDefineByPos>()(
          static_cast<OCIStmt*>(statement), reinterpret_cast<OCIDefine**>(define), pErrorOf(c), position, buffer,
          static_cast<sb4>(size), dataType, indicator, returnedLength, returnCode, mode);
    });
    passed = called && (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO);
    if (called && !passed) RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, 57, pErrorOf(c));
  }
  if (passed && (dataType == SQLT_CHR || dataType == SQLT_STR)) {
    passed = bSetCharset(c, h, define ? *define : nullptr, OCI_HTYPE_DEFINE, columnType == 0 ? 2 : columnType);
  }
  if (passed) return 1;
  InsertWrapperMessage(h, MESSAGE_DEFINE);
  return 0;
}

int nOciBindByName(COracleConnection* c, CErrorHolder* h, void* statement, void** bind, std::uint32_t position,
                   void* buffer, std::uint32_t size, std::uint16_t dataType, void* indicator, std::uint16_t* returnCode,
                   std::uint32_t mode, const char16_t* name, std::uint32_t columnType) {
  if (returnCode) *returnCode = 0;
  CTString placeholder(u":");
  std::size_t expected = 1;
  if (name && name[0]) {
    placeholder.Append(name);
    expected += std::char_traits<char16_t>::length(name);
  } else {
    CTString number(TSTRING_FORMAT, u"%u", position);
    placeholder.Append(number.pszGet());
    expected += number.bIsEmpty() ? 1 : number.nGetLength();
  }
  const COciText clientPlaceholder(c, placeholder.pszGet());
  // A placeholder memory cut short would bind another parameter, or none.
  if (placeholder.nGetLength() != expected || clientPlaceholder.nGetBytes() == 0) {
    SetHolderOutOfMemory(h);
    InsertWrapperMessage(h, MESSAGE_BIND);
    return 0;
  }
  const sb4 placeholderBytes = static_cast<sb4>(clientPlaceholder.nGetBytes());
  sword status = OCI_SUCCESS;
  bool called;
  bool passed;
  if (gbOci7Mode) {
    if (bind) *bind = pOci7PlaceholderHandle();
    called = bOciGuarded(c, h, 58, [&] {
      status = OciEntry<OCI_SLOT_obindps>()(AreaOf(statement), Oci7Opcode(mode), clientPlaceholder.pGet(),
                                            placeholderBytes, static_cast<ub1*>(buffer), static_cast<sb4>(size),
                                            dataType, -1, static_cast<sb2*>(indicator), nullptr, returnCode,
                                            static_cast<sb4>(size), 0, 0, 0, 0, nullptr, nullptr, 0, 0);
    });
    passed = called && status == 0;
    if (called && !passed) RaiseOci7Error(c, h, status, ERROR_UNIT_ORACLE_CALL, 59, statement);
  } else {
    called = bOciGuarded(c, h, 60, [&] {
      status = OciEntry<OCI_SLOT_OCIBindByName>()(
          static_cast<OCIStmt*>(statement), reinterpret_cast<OCIBind**>(bind), pErrorOf(c), clientPlaceholder.pGet(),
          placeholderBytes, buffer, static_cast<sb4>(size), dataType, indicator, nullptr, returnCode, 0, nullptr, mode);
    });
    passed = called && (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO);
    if (called && !passed) RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, 61, pErrorOf(c));
  }
  if (passed) {
    void* handle = bind ? *bind : nullptr;
    if (bNationalColumn(columnType) ||
        ((columnType == 2 || columnType == 15 || columnType == 26) && bClientIsUtf16(c))) {
      passed = bSetCharset(c, h, handle, OCI_HTYPE_BIND, columnType);
    }
  }
  if (passed) return 1;
  InsertWrapperMessage(h, MESSAGE_BIND);
  return 0;
}

int nOciStmtFetch(COracleConnection* c, CErrorHolder* h, void* statement, std::uint32_t rows, std::uint16_t orientation,
                  std::uint32_t* end, std::uint32_t* needData) {
  if (needData) *needData = 0;
  sword status = OCI_SUCCESS;
  if (gbOci7Mode) {
    sword code = 0;
    if (!bOciGuarded(c, h, 62,
                     [&] { code = OciEntry<OCI_SLOT_ofen>()(AreaOf(statement), static_cast<sword>(rows)); })) {
      return 0;
    }
    if (code != 0) {
      const std::uint16_t rc = nOci7ReturnCode(statement);
      status = rc == ORA_NEED_PIECE_FETCH ? OCI_NEED_DATA : rc == ORA_NO_DATA_FOUND ? OCI_NO_DATA : OCI_ERROR;
    }
  } else if (!bOciGuarded(c, h, 63, [&] {
               status = OciEntry<OCI_SLOT_OCIStmtFetch>()(static_cast<OCIStmt*>(statement), pErrorOf(c), rows,
                                                          orientation, OCI_DEFAULT);
             })) {
    return 0;
  }
  if (status == OCI_SUCCESS_WITH_INFO) {
    sb4 native = 0;
    if (gbOci7Mode) {
      native = nOci7ReturnCode(statement);
    } else {
      OraText text[16] = {};
      if (!bOciGuarded(c, h, 64, [&] {
            OciEntry<OCI_SLOT_OCIErrorGet>()(c->m_pErrorHandle, 1, nullptr, &native, text, sizeof text,
                                             OCI_HTYPE_ERROR);
          })) {
        return 0;
      }
    }
    if (native == ORA_NULL_IN_AGGREGATE || native == ORA_00023) status = OCI_SUCCESS;
  }
  if (status == OCI_ERROR || status == OCI_SUCCESS_WITH_INFO || status == OCI_INVALID_HANDLE) {
    if (gbOci7Mode) {
      RaiseOci7Error(c, h, status, ERROR_UNIT_ORACLE_CALL, 65, statement);
    } else {
      RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, 66, pErrorOf(c));
    }
    InsertWrapperMessage(h, MESSAGE_FETCH);
    return 0;
  }
  if (status == OCI_NO_DATA) {
    if (end) *end = 1;
    return 1;
  }
  if (status == OCI_NEED_DATA && needData) *needData = 1;
  if (end) *end = 0;
  return 1;
}

int nOciDescribeAny(COracleConnection* c, CErrorHolder* h, const char16_t* name, std::uint8_t objectType,
                    void* describe) {
  const COciText clientName(c, name);
  sword status = OCI_SUCCESS;
  if (!bOciTextsMade(h, {&clientName})) {
    InsertWrapperMessage(h, MESSAGE_DESCRIBE);
    return 0;
  }
  if (!bOciGuarded(c, h, 67, [&] {
        status = OciEntry<OCI_SLOT_OCIDescribeAny>()(pServiceOf(c), pErrorOf(c), clientName.pGet(),
                                                     clientName.nGetBytes(), OCI_OTYPE_NAME, OCI_DEFAULT, objectType,
                                                     static_cast<OCIDescribe*>(describe));
      })) {
    return 0;
  }
  if (status != OCI_ERROR && status != OCI_INVALID_HANDLE) return 1;
  RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, 68, pErrorOf(c));
  InsertWrapperMessage(h, MESSAGE_DESCRIBE);
  return 0;
}

int nOciDescribeColumn(COracleConnection* c, CErrorHolder* h, void* area, std::uint32_t position,
                       std::int32_t* databaseSize, std::int16_t* databaseType, CTString& name, std::int16_t* precision,
                       std::int16_t* scale, std::int16_t* nullable) {
  char16_t buffer[DESCRIBE_NAME_UNITS + 1] = {};
  const bool utf16 = bClientIsUtf16(c);
  sb4 nameLength = utf16 ? DESCRIBE_NAME_UNITS * 2 : DESCRIBE_NAME_UNITS;
  sb4 displaySize = 0;
  sword result = 0;
  if (!bOciGuarded(c, h, 69, [&] {
        result = OciEntry<OCI_SLOT_odescr>()(AreaOf(area), static_cast<sword>(position), databaseSize, databaseType,
                                             reinterpret_cast<sb1*>(buffer), &nameLength, &displaySize, precision,
                                             scale, nullable);
      })) {
    InsertWrapperMessage(h, MESSAGE_DESCRIBE);
    return 0;
  }
  if (result != 0) {
    RaiseOci7Error(c, h, result, ERROR_UNIT_ORACLE_CALL, 70, area);
    InsertWrapperMessage(h, MESSAGE_DESCRIBE);
    return 0;
  }
  const std::uint32_t capacity = utf16 ? DESCRIBE_NAME_UNITS * 2 : DESCRIBE_NAME_UNITS;
  const std::uint32_t bytes = nameLength < 0 ? 0 : std::min(static_cast<std::uint32_t>(nameLength), capacity);
  if (!ReadClientText(c, buffer, bytes, name)) {
    SetHolderOutOfMemory(h);
    return 0;
  }
  name.TrimRight();
  return 1;
}

int nOciDescriptorAlloc(COracleConnection* c, CErrorHolder* h, void* environment, void** descriptor,
                        std::uint32_t type) {
  sword status = OCI_SUCCESS;
  if (!bOciGuarded(c, h, 71, [&] {
        status = OciEntry<OCI_SLOT_OCIDescriptorAlloc>()(environment, descriptor, type, 0, nullptr);
      })) {
    return 0;
  }
  if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO) return 1;
  RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, 72, nullptr);
  return 0;
}

int nOciBindDynamic(COracleConnection* c, CErrorHolder* h, void* bind, void* inContext, void* inCallback,
                    void* outContext, void* outCallback) {
  if (gbOci7Mode) return 1;
  sword status = OCI_SUCCESS;
  if (!bOciGuarded(c, h, 77, [&] {
        status = OciEntry<OCI_SLOT_OCIBindDynamic>()(static_cast<OCIBind*>(bind), pErrorOf(c), inContext,
                                                     reinterpret_cast<CallbackInBind>(inCallback), outContext,
                                                     reinterpret_cast<CallbackOutBind>(outCallback));
      })) {
    return 0;
  }
  if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO) return 1;
  RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, 78, pErrorOf(c));
  return 0;
}

int nOciGetPieceInfo(COracleConnection* c, CErrorHolder* h, void* statement, void** handle, std::uint32_t* handleKind,
                     std::uint8_t* piece, void** define) {
  void* context = nullptr;
  ub4 iteration = 0;
  ub4 index = 0;
  sword status = OCI_SUCCESS;
  if (gbOci7Mode) {
    *handle = statement;
    if (!bOciGuarded(c, h, 79, [&] {
          status = OciEntry<OCI_SLOT_ogetpi>()(AreaOf(statement), piece, &context, &iteration, &index);
        })) {
      return 0;
    }
    if (status == 0) {
      if (define) *define = context ? context : statement;
      return 1;
    }
    RaiseOci7Error(c, h, status, ERROR_UNIT_ORACLE_CALL, 80, statement);
    return 0;
  }
  ub1 inOut = 0;
  if (!bOciGuarded(c, h, 81, [&] {
        status = OciEntry<OCI_SLOT_OCIStmtGetPieceInfo>()(static_cast<OCIStmt*>(statement), pErrorOf(c), handle,
                                                          handleKind, &inOut, &iteration, &index, piece);
      })) {
    return 0;
  }
  if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO) {
    if (define) *define = *handle;
    return 1;
  }
  RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, 82, pErrorOf(c));
  return 0;
}

int nOciSetPieceInfo(COracleConnection* c, CErrorHolder* h, void* handle, std::uint32_t handleKind, void* buffer,
                     std::uint32_t* length, std::uint8_t piece, std::uint16_t* indicator, std::uint16_t* returnCode) {
  if (indicator) *indicator = 0;
  if (returnCode) *returnCode = 0;
  sword status = OCI_SUCCESS;
  if (gbOci7Mode) {
    if (!bOciGuarded(c, h, 83, [&] { status = OciEntry<OCI_SLOT_osetpi>()(AreaOf(handle), piece, buffer, length); })) {
      return 0;
    }
    if (status == 0) return 1;
    RaiseOci7Error(c, h, status, ERROR_UNIT_ORACLE_CALL, 84, handle);
    return 0;
  }
  if (!bOciGuarded(c, h, 85, [&] {
        status = OciEntry<OCI_SLOT_OCIStmtSetPieceInfo>()(handle, handleKind, pErrorOf(c), buffer, length, piece,
                                                          indicator, returnCode);
      })) {
    return 0;
  }
  if (status == OCI_SUCCESS) return 1;
  RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, 86, pErrorOf(c));
  return 0;
}
