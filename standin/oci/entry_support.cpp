#include "standin/oci/entry_support.h"

#include <cstring>

namespace qzoci {

OraError* ErrorSlot(void* handle) {
  if (ErrorH* e = As<ErrorH>(handle, oci::kHtypeError)) return &e->error;
  if (EnvH* v = As<EnvH>(handle, oci::kHtypeEnv)) return &v->error;
  return nullptr;
}

LobD* AsLob(const void* p) {
  const Tag* tag = AsTag(p);
  if (!tag || (tag->type != oci::kDtypeLob && tag->type != oci::kDtypeFile)) return nullptr;
  return static_cast<LobD*>(const_cast<Tag*>(tag));
}

DateTimeD* AsDateTime(const void* p) {
  const Tag* tag = AsTag(p);
  if (!tag) return nullptr;
  switch (tag->type) {
    case oci::kDtypeDate:
    case oci::kDtypeTimestamp:
    case oci::kDtypeTimestampTz:
    case oci::kDtypeTimestampLtz:
      return static_cast<DateTimeD*>(const_cast<Tag*>(tag));
    default:
      return nullptr;
  }
}

IntervalD* AsInterval(const void* p) {
  const Tag* tag = AsTag(p);
  if (!tag || (tag->type != oci::kDtypeIntervalYM && tag->type != oci::kDtypeIntervalDS)) return nullptr;
  return static_cast<IntervalD*>(const_cast<Tag*>(tag));
}

EnvH* EnvOf(const void* handle) {
  const Tag* tag = AsTag(handle);
  if (!tag) return nullptr;
  switch (tag->type) {
    case oci::kHtypeEnv:
      return const_cast<EnvH*>(static_cast<const EnvH*>(tag));
    case oci::kHtypeError:
      return static_cast<const ErrorH*>(tag)->env;
    case oci::kHtypeSvcCtx:
      return static_cast<const SvcCtxH*>(tag)->env;
    case oci::kHtypeStmt:
      return static_cast<const StmtH*>(tag)->env;
    case oci::kHtypeServer:
      return static_cast<const ServerH*>(tag)->env;
    case oci::kHtypeSession:
      return static_cast<const SessionH*>(tag)->env;
    case oci::kHtypeTrans:
      return static_cast<const TransH*>(tag)->env;
    case oci::kHtypeDescribe:
      return static_cast<const DescribeH*>(tag)->env;
    case oci::kDtypeParam:
      return static_cast<const ParamD*>(tag)->env;
    case oci::kHtypeBind:
      return static_cast<const BindH*>(tag)->stmt ? static_cast<const BindH*>(tag)->stmt->env : nullptr;
    case oci::kHtypeDefine:
      return static_cast<const DefineH*>(tag)->stmt ? static_cast<const DefineH*>(tag)->stmt->env : nullptr;
    default:
      return nullptr;
  }
}

ub2 CharsetOf(const void* handle) {
  const EnvH* env = EnvOf(handle);
  return env ? env->charset : kCharsetAl32Utf8;
}

sword Fail(void* errorHandle, const OraError& error) {
  if (OraError* slot = ErrorSlot(errorHandle)) *slot = error;
  return oci::kError;
}

sword Fail(void* errorHandle, int oraCode, const std::string& detail) {
  return Fail(errorHandle, MakeOraError(oraCode, detail));
}

sword Injected(void* errorHandle, const Injection& injection) {
  if (OraError* slot = ErrorSlot(errorHandle)) {
    *slot = injection.oraCode ? MakeOraError(injection.oraCode) : OraError();
  }
  return injection.status;
}

std::string ClientText(const void* text, std::size_t bytes, ub2 charset) {
  return DecodeClientText(text, bytes, charset);
}

std::size_t CopyOut(const std::string& utf8, void* buffer, std::size_t size, ub2 charset) {
  if (!buffer || size == 0) return 0;
  const std::string encoded = EncodeClientText(utf8, charset);
  const std::size_t unit = UnitBytes(charset);
  std::size_t n = std::min(encoded.size(), size >= unit ? size - unit : 0);
  n -= n % unit;
  std::memcpy(buffer, encoded.data(), n);
  if (size >= n + unit) std::memset(static_cast<char*>(buffer) + n, 0, unit);
  return n;
}

Session* SessionOfService(SvcCtxH* svc) {
  if (!svc || !svc->session || !svc->session->session) return nullptr;
  return svc->session->session.get();
}

std::uint64_t BranchOwner(SvcCtxH* svc, Session* session) {
  TransH* trans = svc->trans;
  return trans && trans->started && trans->session == session ? trans->lockOwner : session->LockOwner();
}

void EndBranch(SvcCtxH* svc) {
  if (!svc->trans) return;
  svc->trans->started = false;
  svc->trans->detached = false;
}

TextSettings SettingsOf(const Session* session) {
  TextSettings settings;
  if (!session) return settings;
  settings.dateFormat = session->Nls("NLS_DATE_FORMAT");
  settings.timestampFormat = session->Nls("NLS_TIMESTAMP_FORMAT");
  const std::string marks = session->Nls("NLS_NUMERIC_CHARACTERS");
  if (!marks.empty()) settings.decimalMark = marks[0];
  return settings;
}

std::unique_ptr<ParamD> ColumnParam(const std::string& name, const OraColumnType& type, bool nullable,
                                    bool explicitDescribe) {
  auto p = std::make_unique<ParamD>();
  p->ptype = oci::kPtypeCol;
  p->name = name;
  p->dataType = type.code;
  p->dataSize = static_cast<ub2>(type.dataSize);
  p->charSize = static_cast<ub2>(type.charSize);
  p->precision = static_cast<sb2>(type.code == 2 && !type.hasPrecision ? 0 : type.precision);
  p->scale = static_cast<sb1>(type.code == 2 && !type.hasPrecision ? 0 : type.scale);
  if (type.IsTimestamp() || type.IsInterval()) p->scale = static_cast<sb1>(type.scale);
  p->isNull = nullable ? 1 : 0;
  p->charsetForm = type.charsetForm;
  p->explicitDescribe = explicitDescribe;
  return p;
}

void DescribeColumns(StmtH& stmt) {
  stmt.columns.clear();
  for (const ColumnInfo& c : stmt.result.columns) {
    stmt.columns.push_back(ColumnParam(c.name, c.type, c.nullable, false));
    stmt.columns.back()->env = stmt.env;
  }
  stmt.described = true;
}

}  // namespace qzoci
