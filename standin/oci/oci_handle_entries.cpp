// OCI entry points of environments, handles, descriptors, attributes, errors, logon and sessions.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "standin/oci/entry_support.h"
#include "standin/oci/immortal.h"

using namespace qzoci;

namespace {

// Without an explicit character set, the client's comes from NLS_LANG ("LANGUAGE_TERRITORY.CHARSET"), as the
// real client reads it; AL32UTF8 when it names none the stand-in knows.
ub2 CharsetFromNlsLang() {
  const char* nlsLang = std::getenv("NLS_LANG");
  const std::string value = nlsLang ? ToUpperAscii(nlsLang) : std::string();
  const std::size_t dot = value.rfind('.');
  const std::string name = dot == std::string::npos ? std::string() : value.substr(dot + 1);
  if (name == "WE8MSWIN1252") return kCharsetWe8MsWin1252;
  if (name == "WE8ISO8859P1") return 31;
  if (name == "AL16UTF16") return kCharsetAl16Utf16;
  return kCharsetAl32Utf8;
}

EnvH* NewEnvironment(ub4 mode, ub2 charset, ub2 ncharset) {
  auto* env = new EnvH();
  env->mode = mode;
  env->charset = charset ? charset : CharsetFromNlsLang();
  if (ncharset) env->ncharset = ncharset;
  return env;
}

template <typename T>
void Put(void* out, T value, ub4* size) {
  if (out) std::memcpy(out, &value, sizeof(T));
  if (size) *size = sizeof(T);
}

void PutText(const Tag* owner, ub4 attribute, const std::string& utf8, ub2 charset, void* out, ub4* size) {
  std::string& kept = const_cast<Tag*>(owner)->attributeTexts[attribute];
  kept = EncodeClientText(utf8, charset);
  kept.push_back('\0');
  if (charset == kCharsetUtf16) kept.push_back('\0');
  if (out) *static_cast<const char**>(out) = kept.data();
  if (size) *size = static_cast<ub4>(kept.size() - UnitBytes(charset));
}

std::string AttributeValueText(const void* value, ub4 size) {
  if (!value) return "null";
  if (size == 1) return std::to_string(*static_cast<const ub1*>(value));
  if (size == 2) return std::to_string(*static_cast<const ub2*>(value));
  if (size == 4) return std::to_string(*static_cast<const ub4*>(value));
  return "size=" + std::to_string(size);
}

// Makes a handle or descriptor the environment's, to be freed with it.
void Adopt(EnvH* env, Tag* tag) {
  tag->owner = env;
  env->children.insert(tag);
}

void DeleteHandle(Tag* tag) {
  switch (tag->type) {
    case oci::kHtypeEnv: {
      // Freeing an environment frees every handle and descriptor still allocated under it, as the client does.
      auto* env = static_cast<EnvH*>(tag);
      const std::set<Tag*> children = std::move(env->children);
      env->children.clear();
      for (Tag* child : children) {
        child->owner = nullptr;
        DeleteHandle(child);
      }
      delete env;
      return;
    }
    case oci::kHtypeBind: {
      auto* bind = static_cast<BindH*>(tag);
      if (StmtH* stmt = bind->stmt) {
        for (auto it = stmt->binds.begin(); it != stmt->binds.end(); ++it) {
          if (it->get() == bind) {
            stmt->binds.erase(it);
            return;
          }
        }
      }
      delete bind;
      return;
    }
    case oci::kHtypeDefine: {
      auto* define = static_cast<DefineH*>(tag);
      if (StmtH* stmt = define->stmt) {
        auto found = stmt->defines.find(define->position);
        if (found != stmt->defines.end() && found->second.get() == define) {
          stmt->defines.erase(found);
          return;
        }
      }
      delete define;
      return;
    }
    default:
      if (tag->owner) tag->owner->children.erase(tag);
      delete tag;
  }
}

}  // namespace

QZOCI_EXPORT sword OCIInitialize(ub4 mode, void*, void* (*)(void*, size_t), void* (*)(void*, void*, size_t),
                                 void (*)(void*, void*)) {
  QZOCI_ENTER("OCIInitialize", nullptr, Detail() << "mode=" << mode);
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCITerminate(ub4 mode) {
  QZOCI_ENTER("OCITerminate", nullptr, Detail() << "mode=" << mode);
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCIEnvCreate(OCIEnv** envp, ub4 mode, void*, void* (*)(void*, size_t),
                                void* (*)(void*, void*, size_t), void (*)(void*, void*), size_t, void**) {
  if (auto injected = qzoci::EnterEntry("OCIEnvCreate", Detail() << "mode=" << mode)) {
    // Given an ORA error, the client hands back the environment it made, the error to be read from it.
    if (envp && injected->oraCode) *envp = reinterpret_cast<OCIEnv*>(NewEnvironment(mode, 0, 0));
    return qzoci::Injected(envp ? *envp : nullptr, *injected);
  }
  if (!envp) return oci::kInvalidHandle;
  *envp = reinterpret_cast<OCIEnv*>(NewEnvironment(mode, 0, 0));
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCIEnvInit(OCIEnv** envp, ub4 mode, size_t, void**) {
  if (auto injected = qzoci::EnterEntry("OCIEnvInit", Detail() << "mode=" << mode)) {
    // As OCIEnvCreate: an ORA error comes with the environment it is read from.
    if (envp && injected->oraCode) *envp = reinterpret_cast<OCIEnv*>(NewEnvironment(mode, 0, 0));
    return qzoci::Injected(envp ? *envp : nullptr, *injected);
  }
  if (!envp) return oci::kInvalidHandle;
  *envp = reinterpret_cast<OCIEnv*>(NewEnvironment(mode, 0, 0));
  return oci::kSuccess;
}

namespace qzoci {
// OCIEnvNlsCreate lives with the entries that variants may leave out; it makes its environment here.
OCIEnv* MakeEnvironment(ub4 mode, ub2 charset, ub2 ncharset) {
  return reinterpret_cast<OCIEnv*>(NewEnvironment(mode, charset, ncharset));
}
}  // namespace qzoci

QZOCI_EXPORT sword OCIHandleAlloc(const void* parent, void** handle, ub4 type, size_t, void**) {
  QZOCI_ENTER("OCIHandleAlloc", nullptr, Detail() << "type=" << type);
  EnvH* env = As<EnvH>(parent, oci::kHtypeEnv);
  if (!env || !handle) return oci::kInvalidHandle;
  Tag* made = nullptr;
  switch (type) {
    case oci::kHtypeError: {
      auto* h = new ErrorH();
      h->env = env;
      made = h;
      break;
    }
    case oci::kHtypeSvcCtx: {
      auto* h = new SvcCtxH();
      h->env = env;
      made = h;
      break;
    }
    case oci::kHtypeStmt: {
      auto* h = new StmtH();
      h->env = env;
      made = h;
      break;
    }
    case oci::kHtypeDescribe: {
      auto* h = new DescribeH();
      h->env = env;
      made = h;
      break;
    }
    case oci::kHtypeServer: {
      auto* h = new ServerH();
      h->env = env;
      made = h;
      break;
    }
    case oci::kHtypeSession: {
      auto* h = new SessionH();
      h->env = env;
      made = h;
      break;
    }
    case oci::kHtypeTrans: {
      auto* h = new TransH();
      h->env = env;
      made = h;
      break;
    }
    default:
      return oci::kInvalidHandle;
  }
  Adopt(env, made);
  *handle = made;
  return oci::kSuccess;
}

namespace {

// An environment whose free failed (a fault a test injected) stays with the client, as a real client keeps what it
// could not free; nothing else holds an environment, so it is kept reachable here.
struct KeptEnvironments {
  std::mutex mutex;
  std::vector<void*> handles;
};

class KeepUnlessFreed {
 public:
  explicit KeepUnlessFreed(void* handle) : m_handle(handle) {}
  ~KeepUnlessFreed() {
    if (!m_handle) return;
    static Immortal<KeptEnvironments> kept;
    std::lock_guard<std::mutex> guard(kept->mutex);
    kept->handles.push_back(m_handle);
  }
  KeepUnlessFreed(const KeepUnlessFreed&) = delete;
  KeepUnlessFreed& operator=(const KeepUnlessFreed&) = delete;
  void Freed() { m_handle = nullptr; }

 private:
  void* m_handle;
};

}  // namespace

QZOCI_EXPORT sword OCIHandleFree(void* handle, ub4 type) {
  KeepUnlessFreed keep(type == oci::kHtypeEnv ? handle : nullptr);
  QZOCI_ENTER("OCIHandleFree", nullptr, Detail() << "type=" << type);
  keep.Freed();
  Tag* tag = const_cast<Tag*>(AsTag(handle));
  if (!tag || tag->type != type) return oci::kInvalidHandle;
  DeleteHandle(tag);
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCIDescriptorAlloc(const void* parent, void** descriptor, ub4 type, size_t, void**) {
  QZOCI_ENTER("OCIDescriptorAlloc", nullptr, Detail() << "type=" << type);
  EnvH* env = As<EnvH>(parent, oci::kHtypeEnv);
  if (!env || !descriptor) return oci::kInvalidHandle;
  Tag* made = nullptr;
  switch (type) {
    case oci::kDtypeLob:
    case oci::kDtypeFile: {
      auto* lob = new LobD(type);
      lob->isFile = type == oci::kDtypeFile;
      lob->binary = lob->isFile;
      made = lob;
      break;
    }
    case oci::kDtypeTimestamp:
    case oci::kDtypeTimestampTz:
    case oci::kDtypeTimestampLtz:
    case oci::kDtypeDate:
      made = new DateTimeD(type);
      break;
    case oci::kDtypeIntervalYM:
    case oci::kDtypeIntervalDS: {
      auto* interval = new IntervalD(type);
      interval->value.yearToMonth = type == oci::kDtypeIntervalYM;
      made = interval;
      break;
    }
    case oci::kDtypeSnap:
      made = new Tag(type);
      break;
    default:
      return oci::kInvalidHandle;
  }
  Adopt(env, made);
  *descriptor = made;
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCIDescriptorFree(void* descriptor, ub4 type) {
  QZOCI_ENTER("OCIDescriptorFree", nullptr, Detail() << "type=" << type);
  Tag* tag = const_cast<Tag*>(AsTag(descriptor));
  if (!tag || tag->type != type) return oci::kInvalidHandle;
  // Parameter descriptors belong to the statement or describe handle that gave them out, which frees them with
  // itself; a program that frees one as well (as programs do) must not take it away from its owner.
  if (type == oci::kDtypeParam) return oci::kSuccess;
  DeleteHandle(tag);
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCIErrorGet(void* handle, ub4 record, OraText* sqlstate, sb4* code, OraText* buffer, ub4 size,
                               ub4 type) {
  QZOCI_ENTER("OCIErrorGet", nullptr, Detail() << "record=" << record << " type=" << type);
  OraError* slot = ErrorSlot(handle);
  if (!slot) return oci::kInvalidHandle;
  if (record != 1 || !slot->code) return oci::kNoData;
  if (code) *code = slot->code;
  if (sqlstate) std::memcpy(sqlstate, "HY000", 6);
  CopyOut(slot->text + "\n", buffer, size, CharsetOf(handle));
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCIAttrSet(void* handle, ub4 type, void* value, ub4 size, ub4 attribute, OCIError* errhp) {
  QZOCI_ENTER("OCIAttrSet", errhp,
              Detail() << "htype=" << type << " attr=" << attribute << " value=" << AttributeValueText(value, size));
  Tag* tag = const_cast<Tag*>(AsTag(handle));
  if (!tag || tag->type != type) return oci::kInvalidHandle;
  if (OraError* slot = ErrorSlot(errhp)) *slot = OraError();
  const ub2 charset = CharsetOf(handle);
  auto number = [&]() -> ub4 {
    if (!value) return 0;
    if (size == 1) return *static_cast<ub1*>(value);
    if (size == 2) return *static_cast<ub2*>(value);
    return *static_cast<ub4*>(value);
  };
  switch (type) {
    case oci::kHtypeSvcCtx: {
      auto* svc = static_cast<SvcCtxH*>(tag);
      if (attribute == oci::kAttrServer) svc->server = As<ServerH>(value, oci::kHtypeServer);
      else if (attribute == oci::kAttrSession) svc->session = As<SessionH>(value, oci::kHtypeSession);
      else if (attribute == oci::kAttrTrans) svc->trans = As<TransH>(value, oci::kHtypeTrans);
      else return Fail(errhp, 24315);
      return oci::kSuccess;
    }
    case oci::kHtypeServer: {
      auto* server = static_cast<ServerH*>(tag);
      const std::string text = ClientText(value, size, charset);
      if (attribute == oci::kAttrExternalName) server->externalName = text;
      else if (attribute == oci::kAttrInternalName) server->internalName = text;
      else return Fail(errhp, 24315);
      return oci::kSuccess;
    }
    case oci::kHtypeSession: {
      auto* session = static_cast<SessionH*>(tag);
      if (attribute == oci::kAttrUsername) session->user = ClientText(value, size, charset);
      else if (attribute == oci::kAttrPassword) session->password = ClientText(value, size, charset);
      else if (attribute == oci::kAttrMigSession) session->migration.assign(static_cast<char*>(value), size);
      else return Fail(errhp, 24315);
      return oci::kSuccess;
    }
    case oci::kHtypeStmt: {
      auto* stmt = static_cast<StmtH*>(tag);
      if (attribute == oci::kAttrPrefetchRows) stmt->prefetchRows = number();
      else if (attribute == oci::kAttrPrefetchMemory) stmt->prefetchMemory = number();
      else return Fail(errhp, 24315);
      return oci::kSuccess;
    }
    case oci::kHtypeBind:
    case oci::kHtypeDefine: {
      ub2* charsetSlot = type == oci::kHtypeBind ? &static_cast<BindH*>(tag)->charset : &static_cast<DefineH*>(tag)->charset;
      ub1* formSlot = type == oci::kHtypeBind ? &static_cast<BindH*>(tag)->charsetForm : &static_cast<DefineH*>(tag)->charsetForm;
      if (attribute == oci::kAttrCharsetId) *charsetSlot = static_cast<ub2>(number());
      else if (attribute == oci::kAttrCharsetForm) *formSlot = static_cast<ub1>(number());
      else if (attribute != oci::kAttrMaxDataSize) return Fail(errhp, 24315);  // changes nothing here
      return oci::kSuccess;
    }
    case oci::kHtypeTrans: {
      auto* trans = static_cast<TransH*>(tag);
      if (attribute != oci::kAttrXid || !value) return Fail(errhp, 24315);
      std::memcpy(&trans->xid, value, std::min<std::size_t>(size ? size : sizeof(XID), sizeof(XID)));
      trans->hasXid = true;
      return oci::kSuccess;
    }
    default:
      return Fail(errhp, 24315);
  }
}

QZOCI_EXPORT sword OCIAttrGet(const void* handle, ub4 type, void* value, ub4* size, ub4 attribute, OCIError* errhp) {
  QZOCI_ENTER("OCIAttrGet", errhp, Detail() << "htype=" << type << " attr=" << attribute);
  const Tag* tag = AsTag(handle);
  // The client reads a parameter descriptor also when the program names it a describe handle.
  if (tag && tag->type == oci::kDtypeParam && type == oci::kHtypeDescribe) type = oci::kDtypeParam;
  if (!tag || tag->type != type) return oci::kInvalidHandle;
  // The error handle's own attributes tell of the error it holds: read them before the call clears it.
  if (type == oci::kHtypeError) {
    const OraError error = static_cast<const ErrorH*>(tag)->error;
    if (OraError* slot = ErrorSlot(errhp)) *slot = OraError();
    if (attribute != oci::kAttrParseErrorOffset) return Fail(errhp, 24315);
    Put<ub2>(value, error.offset, size);
    return oci::kSuccess;
  }
  if (OraError* slot = ErrorSlot(errhp)) *slot = OraError();
  const ub2 charset = CharsetOf(handle);
  switch (type) {
    case oci::kHtypeEnv: {
      const auto* env = static_cast<const EnvH*>(tag);
      if (attribute == oci::kAttrEnvCharsetId) Put<ub2>(value, env->charset, size);
      else if (attribute == 262) Put<ub2>(value, env->ncharset, size);
      else return Fail(errhp, 24315);
      return oci::kSuccess;
    }
    case oci::kHtypeSvcCtx: {
      const auto* svc = static_cast<const SvcCtxH*>(tag);
      if (attribute == oci::kAttrServer) Put<void*>(value, svc->server, size);
      else if (attribute == oci::kAttrSession) Put<void*>(value, svc->session, size);
      else if (attribute == oci::kAttrTrans) Put<void*>(value, svc->trans, size);
      else return Fail(errhp, 24315);
      return oci::kSuccess;
    }
    case oci::kHtypeServer: {
      const auto* server = static_cast<const ServerH*>(tag);
      if (attribute == 143) {  // OCI_ATTR_SERVER_STATUS: connected while a database is attached
        Put<ub4>(value, server->db ? 1 : 0, size);
        return oci::kSuccess;
      }
      if (attribute == oci::kAttrExternalName || attribute == oci::kAttrInternalName) {
        PutText(tag, attribute, attribute == oci::kAttrExternalName ? server->externalName : server->internalName,
                charset, value, size);
        return oci::kSuccess;
      }
      return Fail(errhp, 24315);
    }
    case oci::kHtypeSession: {
      const auto* session = static_cast<const SessionH*>(tag);
      if (attribute == oci::kAttrMigSession) {
        // An opaque token that names the session; setting it on another session handle lets that one migrate.
        const std::string token = "QZMIG:" + std::to_string(session->session ? session->session->Id() : 0);
        std::string& kept = const_cast<Tag*>(tag)->attributeTexts[attribute];
        kept = token;
        if (size) {
          const ub4 room = *size;
          *size = static_cast<ub4>(kept.size());
          if (value && room >= kept.size()) std::memcpy(value, kept.data(), kept.size());
        }
        return oci::kSuccess;
      }
      if (attribute == oci::kAttrUsername) {
        PutText(tag, attribute, session->user, charset, value, size);
        return oci::kSuccess;
      }
      return Fail(errhp, 24315);
    }
    case oci::kHtypeStmt: {
      const auto* stmt = static_cast<const StmtH*>(tag);
      switch (attribute) {
        case oci::kAttrStmtType:
          Put<ub2>(value, stmt->prepared ? stmt->plan.statementType : 0, size);
          return oci::kSuccess;
        case oci::kAttrRowCount:
          Put<ub4>(value, stmt->rowCount, size);
          return oci::kSuccess;
        case oci::kAttrRowsFetched:
          Put<ub4>(value, stmt->rowsFetched, size);
          return oci::kSuccess;
        case oci::kAttrParamCount:
          // A statement that is no query has no select-list items, described or not.
          if (stmt->prepared && stmt->plan.statementType != oci::kStmtSelect) {
            Put<ub4>(value, 0, size);
            return oci::kSuccess;
          }
          if (!stmt->described) return Fail(errhp, 24338);
          Put<ub4>(value, static_cast<ub4>(stmt->columns.size()), size);
          return oci::kSuccess;
        case oci::kAttrPrefetchRows:
          Put<ub4>(value, stmt->prefetchRows, size);
          return oci::kSuccess;
        case oci::kAttrPrefetchMemory:
          Put<ub4>(value, stmt->prefetchMemory, size);
          return oci::kSuccess;
        case 10:  // OCI_ATTR_SQLFNCODE
          Put<ub2>(value, stmt->plan.statementType, size);
          return oci::kSuccess;
        case oci::kAttrParseErrorOffset:
          Put<ub2>(value, stmt->parseErrorOffset, size);
          return oci::kSuccess;
        default:
          return Fail(errhp, 24315);
      }
    }
    case oci::kHtypeBind:
    case oci::kHtypeDefine: {
      const ub2 cs = type == oci::kHtypeBind ? static_cast<const BindH*>(tag)->charset : static_cast<const DefineH*>(tag)->charset;
      const ub1 form = type == oci::kHtypeBind ? static_cast<const BindH*>(tag)->charsetForm : static_cast<const DefineH*>(tag)->charsetForm;
      const ub4 returned = type == oci::kHtypeBind ? static_cast<const BindH*>(tag)->rowsReturned : 0;
      if (attribute == oci::kAttrCharsetId) Put<ub2>(value, cs ? cs : charset, size);
      else if (attribute == oci::kAttrCharsetForm) Put<ub1>(value, form, size);
      else if (attribute == oci::kAttrRowsReturned && type == oci::kHtypeBind) Put<ub4>(value, returned, size);
      else return Fail(errhp, 24315);
      return oci::kSuccess;
    }
    case oci::kHtypeTrans: {
      const auto* trans = static_cast<const TransH*>(tag);
      if (attribute != oci::kAttrXid) return Fail(errhp, 24315);
      if (value) *static_cast<const XID**>(value) = &trans->xid;
      if (size) *size = sizeof(XID);
      return oci::kSuccess;
    }
    case oci::kHtypeDescribe: {
      const auto* d = static_cast<const DescribeH*>(tag);
      if (attribute != oci::kAttrParam || !d->root) return Fail(errhp, 24315);
      Put<void*>(value, d->root.get(), size);
      return oci::kSuccess;
    }
    case oci::kDtypeParam: {
      const auto* p = static_cast<const ParamD*>(tag);
      switch (attribute) {
        case oci::kAttrPtype:
          Put<ub1>(value, p->ptype, size);
          return oci::kSuccess;
        case oci::kAttrNumCols:
          Put<ub2>(value, static_cast<ub2>(p->list ? p->list->children.size() : p->children.size()), size);
          return oci::kSuccess;
        case oci::kAttrListColumns:
          if (!p->list) return Fail(errhp, 24315);
          Put<void*>(value, p->list, size);
          return oci::kSuccess;
        case oci::kAttrDataType:
          Put<ub2>(value, p->dataType, size);
          return oci::kSuccess;
        case oci::kAttrName:
          PutText(tag, attribute, p->name, charset ? charset : kCharsetAl32Utf8, value, size);
          return oci::kSuccess;
        case oci::kAttrSchemaName:
          PutText(tag, attribute, p->schema, charset, value, size);
          return oci::kSuccess;
        case oci::kAttrLink:
          PutText(tag, attribute, p->link, charset, value, size);
          return oci::kSuccess;
        case oci::kAttrDataSize:
          Put<ub2>(value, p->dataSize, size);
          return oci::kSuccess;
        case oci::kAttrCharSize:
          Put<ub2>(value, p->charSize, size);
          return oci::kSuccess;
        case oci::kAttrPrecision:
          // One byte from an explicit describe, two from a statement's, as the client documents it.
          if (p->explicitDescribe) {
            Put<ub1>(value, static_cast<ub1>(p->precision), size);
          } else {
            Put<sb2>(value, p->precision, size);
          }
          return oci::kSuccess;
        case oci::kAttrScale:
          Put<sb1>(value, p->scale, size);
          return oci::kSuccess;
        case oci::kAttrIsNull:
          Put<ub1>(value, p->isNull, size);
          return oci::kSuccess;
        case oci::kAttrCharsetForm:
          Put<ub1>(value, p->charsetForm, size);
          return oci::kSuccess;
        case oci::kAttrCharsetId:
          Put<ub2>(value, p->charsetForm == oci::kSqlcsNchar ? kCharsetAl16Utf16 : kCharsetAl32Utf8, size);
          return oci::kSuccess;
        default:
          return Fail(errhp, 24315);
      }
    }
    default:
      return Fail(errhp, 24315);
  }
}

QZOCI_EXPORT sword OCIServerAttach(OCIServer* server, OCIError* errhp, const OraText* link, sb4 length, ub4 mode) {
  ServerH* s = As<ServerH>(server, oci::kHtypeServer);
  const std::string name = s ? ClientText(link, static_cast<std::size_t>(length > 0 ? length : 0), CharsetOf(s)) : "";
  QZOCI_ENTER("OCIServerAttach", errhp, Detail() << "dblink=" << name << " mode=" << mode);
  if (!s) return oci::kInvalidHandle;
  OraError error;
  s->db = Database::Open(name, error);
  if (!s->db) return Fail(errhp, error);
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCIServerDetach(OCIServer* server, OCIError* errhp, ub4 mode) {
  QZOCI_ENTER("OCIServerDetach", errhp, Detail() << "mode=" << mode);
  ServerH* s = As<ServerH>(server, oci::kHtypeServer);
  if (!s) return oci::kInvalidHandle;
  s->db.reset();
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCISessionBegin(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 credentials, ub4 mode) {
  SessionH* user = As<SessionH>(usrhp, oci::kHtypeSession);
  QZOCI_ENTER("OCISessionBegin", errhp,
              Detail() << "user=" << (user ? user->user : "") << " cred=" << credentials << " mode=" << mode);
  SvcCtxH* svc = As<SvcCtxH>(svchp, oci::kHtypeSvcCtx);
  if (!svc || !user) return oci::kInvalidHandle;
  if (!svc->server || !svc->server->db) return Fail(errhp, 12154);
  // The stand-in knows no operating-system accounts: external credentials are refused like a wrong password.
  if (credentials != oci::kCredRdbms || !svc->server->db->CheckUser(user->user, user->password)) {
    return Fail(errhp, 1017);
  }
  OraError error;
  user->session = Session::Open(svc->server->db, user->user, error);
  if (!user->session) return Fail(errhp, error);
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCISessionEnd(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 mode) {
  QZOCI_ENTER("OCISessionEnd", errhp, Detail() << "mode=" << mode);
  SvcCtxH* svc = As<SvcCtxH>(svchp, oci::kHtypeSvcCtx);
  SessionH* user = usrhp ? As<SessionH>(usrhp, oci::kHtypeSession) : (svc ? svc->session : nullptr);
  if (!user) return oci::kInvalidHandle;
  user->session.reset();
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCILogon(OCIEnv* envhp, OCIError* errhp, OCISvcCtx** svchp, const OraText* username, ub4 ulen,
                            const OraText* password, ub4 plen, const OraText* dbname, ub4 dblen) {
  EnvH* env = As<EnvH>(envhp, oci::kHtypeEnv);
  const ub2 cs = env ? env->charset : kCharsetAl32Utf8;
  const std::string user = ClientText(username, ulen, cs);
  const std::string db = ClientText(dbname, dblen, cs);
  QZOCI_ENTER("OCILogon", errhp, Detail() << "user=" << user << " db=" << db);
  if (!env || !svchp) return oci::kInvalidHandle;
  auto* server = new ServerH();
  server->env = env;
  OraError error;
  server->db = Database::Open(db, error);
  if (!server->db) {
    delete server;
    return Fail(errhp, error);
  }
  if (!server->db->CheckUser(user, ClientText(password, plen, cs))) {
    delete server;
    return Fail(errhp, 1017);
  }
  auto* session = new SessionH();
  session->env = env;
  session->user = user;
  session->session = Session::Open(server->db, user, error);
  if (!session->session) {
    delete session;
    delete server;
    return Fail(errhp, error);
  }
  auto* svc = new SvcCtxH();
  svc->env = env;
  svc->server = server;
  svc->session = session;
  svc->ownsLogon = true;
  for (Tag* made : {static_cast<Tag*>(server), static_cast<Tag*>(session), static_cast<Tag*>(svc)}) Adopt(env, made);
  *svchp = reinterpret_cast<OCISvcCtx*>(svc);
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCILogoff(OCISvcCtx* svchp, OCIError* errhp) {
  QZOCI_ENTER("OCILogoff", errhp, std::string());
  SvcCtxH* svc = As<SvcCtxH>(svchp, oci::kHtypeSvcCtx);
  if (!svc) return oci::kInvalidHandle;
  if (svc->ownsLogon) {
    if (svc->session) DeleteHandle(svc->session);
    if (svc->server) DeleteHandle(svc->server);
  }
  DeleteHandle(svc);
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCIBreak(void* handle, OCIError* errhp) {
  QZOCI_ENTER("OCIBreak", errhp, std::string());
  return AsTag(handle) ? oci::kSuccess : oci::kInvalidHandle;
}

QZOCI_EXPORT sword OCIReset(void* handle, OCIError* errhp) {
  QZOCI_ENTER("OCIReset", errhp, std::string());
  return AsTag(handle) ? oci::kSuccess : oci::kInvalidHandle;
}

QZOCI_EXPORT sword OCINlsGetInfo(void* handle, OCIError* errhp, OraText* buffer, size_t length, ub2 item) {
  QZOCI_ENTER("OCINlsGetInfo", errhp, Detail() << "item=" << item);
  if (!AsTag(handle)) return oci::kInvalidHandle;
  if (item != oci::kNlsCharacterSet) return Fail(errhp, 24315);
  // The name of the environment's own character set, the inverse of what NLS_LANG names.
  const ub2 charset = CharsetOf(handle);
  const char* name = charset == kCharsetWe8MsWin1252 ? "WE8MSWIN1252"
                     : charset == 31                 ? "WE8ISO8859P1"
                     : IsUtf16Charset(charset)       ? "AL16UTF16"
                                                     : "AL32UTF8";
  CopyOut(name, buffer, length, charset);
  return oci::kSuccess;
}

QZOCI_EXPORT void OCIThreadProcessInit() { qzoci::EnterEntry("OCIThreadProcessInit", std::string()); }

QZOCI_EXPORT sword OCIThreadInit(void* handle, OCIError* errhp) {
  QZOCI_ENTER("OCIThreadInit", errhp, std::string());
  return AsTag(handle) ? oci::kSuccess : oci::kInvalidHandle;
}
