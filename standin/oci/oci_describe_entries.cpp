// OCIDescribeAny: tables, views, synonyms and sequences by name, with the column list of tables and views.
#include <sqlite3.h>

#include "standin/oci/entry_support.h"

using namespace qzoci;

namespace {

// One part of a dotted name: quoted parts keep their case, others go to upper case.
std::vector<std::string> SplitObjectName(const std::string& text) {
  std::vector<std::string> parts;
  std::string current;
  bool quoted = false;
  bool wasQuoted = false;
  for (const char c : text) {
    if (c == '"') {
      quoted = !quoted;
      wasQuoted = true;
    } else if (c == '.' && !quoted) {
      parts.push_back(wasQuoted ? current : ToUpperAscii(current));
      current.clear();
      wasQuoted = false;
    } else {
      current += c;
    }
  }
  parts.push_back(wasQuoted ? current : ToUpperAscii(current));
  return parts;
}

// The type ("table" or "view") and stored name of an object in a schema, or empty.
std::pair<std::string, std::string> FindObject(Session& session, const std::string& schema, const std::string& name) {
  std::pair<std::string, std::string> found;
  sqlite3_stmt* st = nullptr;
  const std::string sql = "SELECT type, name FROM \"" + schema +
                          "\".sqlite_master WHERE type IN ('table','view') AND name = ? COLLATE NOCASE";
  if (sqlite3_prepare_v2(session.Connection(), sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
    sqlite3_bind_text(st, 1, SqliteName(name).c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(st) == SQLITE_ROW) {
      found.first = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
      found.second = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
    }
  }
  sqlite3_finalize(st);
  return found;
}

}  // namespace

QZOCI_EXPORT sword OCIDescribeAny(OCISvcCtx* svchp, OCIError* errhp, void* object, ub4 length, ub1 objectKind,
                                  ub1 level, ub1 objectType, OCIDescribe* describep) {
  SvcCtxH* svc = As<SvcCtxH>(svchp, oci::kHtypeSvcCtx);
  const std::string text = svc ? ClientText(object, length, svc->env->charset) : std::string();
  QZOCI_ENTER("OCIDescribeAny", errhp,
              Detail() << "name=" << text << " type=" << static_cast<int>(objectType) << " level=" << static_cast<int>(level));
  DescribeH* d = As<DescribeH>(describep, oci::kHtypeDescribe);
  if (!svc || !d) return oci::kInvalidHandle;
  if (OraError* slot = ErrorSlot(errhp)) *slot = OraError();
  Session* session = SessionOfService(svc);
  if (!session) return Fail(errhp, 1012);
  if (objectKind != 1) return Fail(errhp, 24315);  // only OCI_OTYPE_NAME
  const std::vector<std::string> parts = SplitObjectName(text);
  std::string owner = parts.size() >= 2 ? parts[parts.size() - 2] : session->CurrentSchema();
  std::string name = parts.back();
  std::string link;
  const std::size_t at = name.find('@');
  if (at != std::string::npos) {
    link = name.substr(at + 1);
    name.erase(at);
  }
  auto root = std::make_unique<ParamD>();
  root->env = svc->env;
  root->explicitDescribe = true;
  root->name = name;
  root->schema = owner;

  const bool wantTable = objectType == oci::kPtypeTable || objectType == oci::kPtypeView ||
                         objectType == oci::kPtypeUnknown;
  if (wantTable && link.empty()) {
    const std::string schema = session->SchemaOf(owner);
    const auto [kind, stored] = FindObject(*session, schema, name);
    const bool fits = !kind.empty() && (objectType == oci::kPtypeUnknown ||
                                        (objectType == oci::kPtypeTable) == (kind == "table"));
    if (fits) {
      root->ptype = kind == "table" ? oci::kPtypeTable : oci::kPtypeView;
      root->ownedList = std::make_unique<ParamD>();
      root->ownedList->env = svc->env;
      root->ownedList->ptype = oci::kPtypeList;
      root->list = root->ownedList.get();
      sqlite3_stmt* st = nullptr;
      const std::string sql = "SELECT name, type, \"notnull\", pk FROM pragma_table_info(?, ?) ORDER BY cid";
      if (sqlite3_prepare_v2(session->Connection(), sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, stored.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, schema.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW) {
          const char* type = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
          auto column = ColumnParam(OracleName(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))),
                                    ParseDeclaredType(type ? type : ""),
                                    sqlite3_column_int(st, 2) == 0 && sqlite3_column_int(st, 3) == 0, true);
          column->env = svc->env;
          root->list->children.push_back(std::move(column));
        }
      }
      sqlite3_finalize(st);
      d->root = std::move(root);
      return oci::kSuccess;
    }
  }
  if (objectType == oci::kPtypeSyn || objectType == oci::kPtypeUnknown) {
    std::optional<SynonymInfo> synonym = session->Db().FindSynonym(owner, name);
    if (!synonym && parts.size() < 2) synonym = session->Db().FindSynonym("PUBLIC", name);
    if (synonym) {
      root->ptype = oci::kPtypeSyn;
      root->schema = synonym->tableOwner;
      root->name = synonym->tableName;
      root->link = synonym->dbLink;
      d->root = std::move(root);
      return oci::kSuccess;
    }
  }
  if (objectType == oci::kPtypeSeq || objectType == oci::kPtypeUnknown) {
    if (session->Db().FindSequence(owner, name)) {
      root->ptype = oci::kPtypeSeq;
      d->root = std::move(root);
      return oci::kSuccess;
    }
  }
  return Fail(errhp, 4043, text);
}
