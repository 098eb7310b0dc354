#include "standin/oci/catalog.h"

#include <sqlite3.h>

#include <functional>
#include <map>
#include <vector>

#include "standin/oci/column_type.h"
#include "standin/oci/session.h"
#include "standin/oci/sql_rewrite.h"
#include "standin/oci/text_codec.h"
#include "standin/oci/value.h"

namespace qzoci {

namespace {

using Row = std::vector<Value>;

struct SchemaObject {
  std::string owner;
  std::string schema;
  std::string type;  // table, view, index
  std::string name;
  std::string table;
  std::string sql;
};

Value T(const std::string& s) { return s.empty() ? Value::Null() : Value::Text(s); }
Value I(std::int64_t i) { return Value::Int(i); }

// A name as an SQL literal: a table called W'X is a name like another, not the end of the text.
std::string Literal(const std::string& s) {
  std::string out = "'";
  for (const char c : s) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

bool Names(const std::string& upperSql, const std::string& view) {
  for (std::size_t at = upperSql.find(view); at != std::string::npos; at = upperSql.find(view, at + 1)) {
    const bool startOk = at == 0 || !(std::isalnum(static_cast<unsigned char>(upperSql[at - 1])) || upperSql[at - 1] == '_');
    const std::size_t end = at + view.size();
    const bool endOk = end >= upperSql.size() || !(std::isalnum(static_cast<unsigned char>(upperSql[end])) || upperSql[end] == '_');
    if (startOk && endOk) return true;
  }
  return false;
}

class Catalog {
 public:
  explicit Catalog(Session& s) : s_(s), c_(s.Connection()) {}

  std::vector<SchemaObject> Objects() {
    std::vector<SchemaObject> all;
    std::vector<std::string> schemas;
    Query("PRAGMA database_list", [&](sqlite3_stmt* st) {
      const std::string name = Text(st, 1);
      if (name != "temp") schemas.push_back(name);
    });
    for (const std::string& schema : schemas) {
      Query("SELECT type, name, tbl_name, sql FROM \"" + schema + "\".sqlite_master ORDER BY rowid",
            [&](sqlite3_stmt* st) {
              const std::string name = Text(st, 1);
              if (name.rfind("sqlite_", 0) == 0 && Text(st, 0) != "index") return;
              all.push_back(SchemaObject{s_.OwnerOfSchema(schema), schema, Text(st, 0), name, Text(st, 2), Text(st, 3)});
            });
    }
    return all;
  }

  void Query(const std::string& sql, const std::function<void(sqlite3_stmt*)>& each) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(c_, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
      while (sqlite3_step(st) == SQLITE_ROW) each(st);
    }
    sqlite3_finalize(st);
  }

  static std::string Text(sqlite3_stmt* st, int column) {
    const unsigned char* t = sqlite3_column_text(st, column);
    return t ? reinterpret_cast<const char*>(t) : "";
  }

  void Fill(const std::string& view, const std::string& columns, const std::vector<Row>& rows) {
    std::string sql = "DROP TABLE IF EXISTS temp.\"" + view + "\"; CREATE TEMP TABLE \"" + view + "\"(" + columns + ")";
    sqlite3_exec(c_, sql.c_str(), nullptr, nullptr, nullptr);
    if (rows.empty()) return;
    std::string insert = "INSERT INTO temp.\"" + view + "\" VALUES(";
    for (std::size_t k = 0; k < rows[0].size(); ++k) insert += k ? ",?" : "?";
    insert += ")";
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(c_, insert.c_str(), -1, &st, nullptr) != SQLITE_OK) return;
    for (const Row& row : rows) {
      for (std::size_t k = 0; k < row.size(); ++k) row[k].Bind(st, static_cast<int>(k) + 1);
      sqlite3_step(st);
      sqlite3_reset(st);
    }
    sqlite3_finalize(st);
  }

  void UserView(const std::string& allView, const std::string& ownerColumn) {
    const std::string user = "USER_" + allView.substr(4);
    const std::string sql = "DROP VIEW IF EXISTS temp.\"" + user + "\"; CREATE TEMP VIEW \"" + user +
                            "\" AS SELECT * FROM temp.\"" + allView + "\" WHERE " + ownerColumn + " = " + Literal(s_.User());
    sqlite3_exec(c_, sql.c_str(), nullptr, nullptr, nullptr);
  }

  struct IndexInfo {
    std::string owner;
    std::string name;
    std::string table;
    bool unique;
    std::string origin;  // c, u, pk
    std::vector<std::string> columns;
  };

  // The keys and references the table's text declares, names and columns as Oracle spells them.
  static std::vector<DeclaredConstraint> Declared(const SchemaObject& o) {
    std::vector<DeclaredConstraint> declared = DeclaredConstraints(o.sql);
    for (DeclaredConstraint& d : declared) {
      d.name = OracleName(d.name);
      for (std::string& column : d.columns) column = OracleName(column);
    }
    return declared;
  }

  // The name a constraint was given, taken from `declared` so that each is given once; `fallback` when it has none.
  static std::string NameOf(std::vector<DeclaredConstraint>& declared, char kind,
                            const std::vector<std::string>& columns, const std::string& fallback) {
    for (DeclaredConstraint& d : declared) {
      if (d.kind != kind || d.columns != columns) continue;
      const std::string name = d.name;
      d.kind = 0;
      return name.empty() ? fallback : name;
    }
    return fallback;
  }

  std::vector<IndexInfo> Indexes(const std::vector<SchemaObject>& objects) {
    std::vector<IndexInfo> all;
    for (const SchemaObject& o : objects) {
      if (o.type != "table") continue;
      std::vector<DeclaredConstraint> declared = Declared(o);
      int n = 0;
      bool hasPk = false;
      Query("SELECT name, \"unique\", origin FROM pragma_index_list(" + Literal(o.name) + ", " + Literal(o.schema) + ") ORDER BY seq DESC",
            [&](sqlite3_stmt* st) {
              IndexInfo info{o.owner, Text(st, 0), OracleName(o.name), sqlite3_column_int(st, 1) != 0, Text(st, 2), {}};
              if (info.origin == "pk") hasPk = true;
              if (info.name.rfind("sqlite_autoindex_", 0) == 0) {
                Query("SELECT name FROM pragma_index_info(" + Literal(Text(st, 0)) + ", " + Literal(o.schema) + ") ORDER BY seqno",
                      [&](sqlite3_stmt* ic) { info.columns.push_back(OracleName(Text(ic, 0))); });
                info.name = NameOf(declared, info.origin == "pk" ? 'P' : 'U', info.columns,
                                   "SYS_C_" + OracleName(o.name) + "_" + std::to_string(++n));
              } else {
                Query("SELECT name FROM pragma_index_info(" + Literal(info.name) + ", " + Literal(o.schema) + ") ORDER BY seqno",
                      [&](sqlite3_stmt* ic) { info.columns.push_back(OracleName(Text(ic, 0))); });
                info.name = OracleName(info.name);
              }
              all.push_back(std::move(info));
            });
      if (!hasPk) {
        // An INTEGER PRIMARY KEY is the rowid itself in SQLite: no index of its own, but a key all the same.
        IndexInfo pk{o.owner, "SYS_C_" + OracleName(o.name) + "_PK", OracleName(o.name), true, "pk", {}};
        Query("SELECT name FROM pragma_table_info(" + Literal(o.name) + ", " + Literal(o.schema) + ") WHERE pk > 0 ORDER BY pk",
              [&](sqlite3_stmt* st) { pk.columns.push_back(OracleName(Text(st, 0))); });
        pk.name = NameOf(declared, 'P', pk.columns, pk.name);
        if (!pk.columns.empty()) all.push_back(std::move(pk));
      }
    }
    return all;
  }

  void Build(const std::string& sql) {
    const std::string upper = ToUpperAscii(sql);
    auto wants = [&](const std::string& all) { return Names(upper, all) || Names(upper, "USER_" + all.substr(4)); };
    const bool any = upper.find("ALL_") != std::string::npos || upper.find("USER_") != std::string::npos ||
                     upper.find("NLS_") != std::string::npos;
    if (!any) return;
    const std::vector<SchemaObject> objects = Objects();
    const std::vector<CommentInfo> comments = s_.Db().Comments();
    auto commentOf = [&](const std::string& owner, const std::string& table, const std::string& column) {
      for (const CommentInfo& c : comments) {
        if (c.owner == owner && c.table == table && c.column == column) return c.text;
      }
      return std::string();
    };

    if (wants("ALL_TABLES")) {
      std::vector<Row> rows;
      for (const SchemaObject& o : objects) {
        if (o.type == "table") rows.push_back({T(o.owner), T(OracleName(o.name)), T("USERS"), T("VALID"), Value(), T("N"), Value()});
      }
      Fill("ALL_TABLES", "OWNER, TABLE_NAME, TABLESPACE_NAME, STATUS, NUM_ROWS, TEMPORARY, IOT_TYPE", rows);
      UserView("ALL_TABLES", "OWNER");
    }
    if (wants("ALL_VIEWS")) {
      std::vector<Row> rows;
      for (const SchemaObject& o : objects) {
        if (o.type != "view") continue;
        const std::size_t as = ToUpperAscii(o.sql).find(" AS ");
        const std::string text = as == std::string::npos ? o.sql : o.sql.substr(as + 4);
        rows.push_back({T(o.owner), T(OracleName(o.name)), I(static_cast<std::int64_t>(text.size())), T(text)});
      }
      Fill("ALL_VIEWS", "OWNER, VIEW_NAME, TEXT_LENGTH, TEXT", rows);
      UserView("ALL_VIEWS", "OWNER");
    }
    if (wants("ALL_SYNONYMS")) {
      std::vector<Row> rows;
      for (const SynonymInfo& y : s_.Db().Synonyms()) {
        rows.push_back({T(y.owner), T(y.name), T(y.tableOwner), T(y.tableName), T(y.dbLink)});
      }
      Fill("ALL_SYNONYMS", "OWNER, SYNONYM_NAME, TABLE_OWNER, TABLE_NAME, DB_LINK", rows);
      UserView("ALL_SYNONYMS", "OWNER");
    }
    if (wants("ALL_SOURCE")) {
      // The stand-in runs no PL/SQL: there is no stored source to list.
      Fill("ALL_SOURCE", "OWNER, NAME, TYPE, LINE, TEXT", {});
      UserView("ALL_SOURCE", "OWNER");
    }
    const bool columnsWanted = wants("ALL_TAB_COLUMNS") || wants("ALL_COL_COMMENTS");
    std::vector<Row> columnRows;
    std::vector<Row> columnComments;
    if (columnsWanted) {
      for (const SchemaObject& o : objects) {
        if (o.type != "table" && o.type != "view") continue;
        const std::string table = OracleName(o.name);
        Query("SELECT cid, name, type, \"notnull\", dflt_value, pk FROM pragma_table_info(" + Literal(o.name) + ", " +
                  Literal(o.schema) + ") ORDER BY cid",
              [&](sqlite3_stmt* st) {
                const OraColumnType t = ParseDeclaredType(Text(st, 2));
                const std::string column = OracleName(Text(st, 1));
                const bool nullable = sqlite3_column_int(st, 3) == 0 && sqlite3_column_int(st, 5) == 0;
                std::string dflt = RestoreOracleNames(Text(st, 4));
                columnRows.push_back({T(o.owner), T(table), T(column), T(t.name), I(t.dataSize),
                                      t.hasPrecision && t.code == 2 ? I(t.precision) : Value(),
                                      t.hasPrecision && t.code == 2 ? I(t.scale) : Value(), T(nullable ? "Y" : "N"),
                                      I(sqlite3_column_int(st, 0) + 1), T(dflt), I(t.charSize),
                                      t.IsText() ? T("B") : Value()});
                columnComments.push_back({T(o.owner), T(table), T(column), T(commentOf(o.owner, table, column))});
              });
      }
    }
    if (wants("ALL_TAB_COLUMNS")) {
      Fill("ALL_TAB_COLUMNS",
           "OWNER, TABLE_NAME, COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION, DATA_SCALE, NULLABLE, COLUMN_ID, "
           "DATA_DEFAULT, CHAR_LENGTH, CHAR_USED",
           columnRows);
      UserView("ALL_TAB_COLUMNS", "OWNER");
    }
    if (wants("ALL_COL_COMMENTS")) {
      Fill("ALL_COL_COMMENTS", "OWNER, TABLE_NAME, COLUMN_NAME, COMMENTS", columnComments);
      UserView("ALL_COL_COMMENTS", "OWNER");
    }
    if (wants("ALL_TAB_COMMENTS")) {
      std::vector<Row> rows;
      for (const SchemaObject& o : objects) {
        if (o.type != "table" && o.type != "view") continue;
        const std::string table = OracleName(o.name);
        rows.push_back({T(o.owner), T(table), T(o.type == "table" ? "TABLE" : "VIEW"), T(commentOf(o.owner, table, ""))});
      }
      Fill("ALL_TAB_COMMENTS", "OWNER, TABLE_NAME, TABLE_TYPE, COMMENTS", rows);
      UserView("ALL_TAB_COMMENTS", "OWNER");
    }
    const bool indexWanted = wants("ALL_INDEXES") || wants("ALL_IND_COLUMNS") || wants("ALL_CONSTRAINTS") ||
                             wants("ALL_CONS_COLUMNS") || wants("ALL_OBJECTS");
    std::vector<IndexInfo> indexes;
    if (indexWanted) indexes = Indexes(objects);
    if (wants("ALL_INDEXES")) {
      std::vector<Row> rows;
      for (const IndexInfo& x : indexes) {
        rows.push_back({T(x.owner), T(x.name), T("NORMAL"), T(x.owner), T(x.table), T(x.unique ? "UNIQUE" : "NONUNIQUE"),
                        T("VALID")});
      }
      Fill("ALL_INDEXES", "OWNER, INDEX_NAME, INDEX_TYPE, TABLE_OWNER, TABLE_NAME, UNIQUENESS, STATUS", rows);
      UserView("ALL_INDEXES", "OWNER");
    }
    if (wants("ALL_IND_COLUMNS")) {
      std::vector<Row> rows;
      for (const IndexInfo& x : indexes) {
        for (std::size_t k = 0; k < x.columns.size(); ++k) {
          rows.push_back({T(x.owner), T(x.name), T(x.owner), T(x.table), T(x.columns[k]), I(static_cast<std::int64_t>(k) + 1),
                          I(0), T("ASC")});
        }
      }
      Fill("ALL_IND_COLUMNS",
           "INDEX_OWNER, INDEX_NAME, TABLE_OWNER, TABLE_NAME, COLUMN_NAME, COLUMN_POSITION, COLUMN_LENGTH, DESCEND",
           rows);
      UserView("ALL_IND_COLUMNS", "INDEX_OWNER");
    }
    if (wants("ALL_CONSTRAINTS") || wants("ALL_CONS_COLUMNS")) {
      std::vector<Row> constraints;
      std::vector<Row> consColumns;
      for (const IndexInfo& x : indexes) {
        if (x.origin != "pk" && x.origin != "u") continue;
        constraints.push_back({T(x.owner), T(x.name), T(x.origin == "pk" ? "P" : "U"), T(x.table), Value(), Value(),
                               T("ENABLED"), T(x.name), Value()});
        for (std::size_t k = 0; k < x.columns.size(); ++k) {
          consColumns.push_back({T(x.owner), T(x.name), T(x.table), T(x.columns[k]), I(static_cast<std::int64_t>(k) + 1)});
        }
      }
      for (const SchemaObject& o : objects) {
        if (o.type != "table") continue;
        const std::string table = OracleName(o.name);
        struct Reference {
          std::string parent, rule;
          std::vector<std::string> from, to;
        };
        std::map<int, Reference> references;
        Query("SELECT id, seq, \"table\", \"from\", \"to\", on_delete FROM pragma_foreign_key_list(" + Literal(o.name) + ", " +
                  Literal(o.schema) + ") ORDER BY id, seq",
              [&](sqlite3_stmt* st) {
                Reference& r = references[sqlite3_column_int(st, 0)];
                r.parent = OracleName(Text(st, 2));
                // The rule as the dictionary spells it: SQLite's default action is "NO ACTION" too.
                r.rule = ToUpperAscii(Text(st, 5));
                r.from.push_back(OracleName(Text(st, 3)));
                r.to.push_back(OracleName(Text(st, 4)));
              });
        std::vector<DeclaredConstraint> declared = Declared(o);
        for (const auto& [id, r] : references) {
          const std::string name = NameOf(declared, 'R', r.from, "FK_" + table + "_" + std::to_string(id + 1));
          // The key it refers to: the parent's key on the referred columns, its primary key when none are named.
          std::string key = "SYS_C_" + r.parent + "_1";
          for (const IndexInfo& x : indexes) {
            if (x.table == r.parent && x.owner == o.owner &&
                ((r.to.front().empty() && x.origin == "pk") || (x.origin != "c" && x.columns == r.to))) {
              key = x.name;
            }
          }
          constraints.push_back({T(o.owner), T(name), T("R"), T(table), T(o.owner), T(key), T("ENABLED"), Value(),
                                 T(r.rule)});
          for (std::size_t k = 0; k < r.from.size(); ++k) {
            consColumns.push_back({T(o.owner), T(name), T(table), T(r.from[k]), I(static_cast<std::int64_t>(k) + 1)});
          }
        }
      }
      Fill("ALL_CONSTRAINTS",
           "OWNER, CONSTRAINT_NAME, CONSTRAINT_TYPE, TABLE_NAME, R_OWNER, R_CONSTRAINT_NAME, STATUS, INDEX_NAME, "
           "DELETE_RULE",
           constraints);
      UserView("ALL_CONSTRAINTS", "OWNER");
      Fill("ALL_CONS_COLUMNS", "OWNER, CONSTRAINT_NAME, TABLE_NAME, COLUMN_NAME, POSITION", consColumns);
      UserView("ALL_CONS_COLUMNS", "OWNER");
    }
    if (wants("ALL_SEQUENCES") || wants("ALL_OBJECTS")) {
      std::vector<Row> rows;
      for (const SequenceInfo& q : s_.Db().Sequences()) {
        rows.push_back({T(q.owner), T(q.name), I(q.minValue), q.maxValue ? I(q.maxValue) : Value::Real(1e28),
                        I(q.increment), T(q.cycle ? "Y" : "N"), T("N"), I(0), I(q.next)});
      }
      Fill("ALL_SEQUENCES",
           "SEQUENCE_OWNER, SEQUENCE_NAME, MIN_VALUE, MAX_VALUE, INCREMENT_BY, CYCLE_FLAG, ORDER_FLAG, CACHE_SIZE, "
           "LAST_NUMBER",
           rows);
      UserView("ALL_SEQUENCES", "SEQUENCE_OWNER");
    }
    if (wants("ALL_OBJECTS")) {
      std::vector<Row> rows;
      std::int64_t id = 1000;
      const std::string now = "2000-01-01 00:00:00";
      auto add = [&](const std::string& owner, const std::string& name, const char* type) {
        rows.push_back({T(owner), T(name), Value(), I(++id), T(type), T(now), T(now), T("VALID"), T("N")});
      };
      for (const SchemaObject& o : objects) {
        if (o.type == "table") add(o.owner, OracleName(o.name), "TABLE");
        if (o.type == "view") add(o.owner, OracleName(o.name), "VIEW");
      }
      for (const IndexInfo& x : indexes) add(x.owner, x.name, "INDEX");
      for (const SequenceInfo& q : s_.Db().Sequences()) add(q.owner, q.name, "SEQUENCE");
      for (const SynonymInfo& y : s_.Db().Synonyms()) add(y.owner, y.name, "SYNONYM");
      Fill("ALL_OBJECTS",
           "OWNER, OBJECT_NAME, SUBOBJECT_NAME, OBJECT_ID, OBJECT_TYPE, CREATED, LAST_DDL_TIME, STATUS, TEMPORARY", rows);
      UserView("ALL_OBJECTS", "OWNER");
    }
    if (wants("ALL_USERS")) {
      std::vector<Row> rows;
      std::int64_t id = 0;
      for (const std::string& u : s_.Db().Users()) rows.push_back({T(u), I(++id), T("2000-01-01 00:00:00")});
      Fill("ALL_USERS", "USERNAME, USER_ID, CREATED", rows);
    }
    if (Names(upper, "NLS_SESSION_PARAMETERS")) {
      std::vector<Row> rows;
      for (const auto& [name, value] : s_.NlsSettings()) rows.push_back({T(name), T(value)});
      Fill("NLS_SESSION_PARAMETERS", "PARAMETER, VALUE", rows);
    }
    if (Names(upper, "NLS_DATABASE_PARAMETERS")) {
      std::vector<Row> rows = {{T("NLS_LANGUAGE"), T("AMERICAN")},       {T("NLS_TERRITORY"), T("AMERICA")},
                               {T("NLS_CHARACTERSET"), T("AL32UTF8")},   {T("NLS_NCHAR_CHARACTERSET"), T("AL16UTF16")},
                               {T("NLS_NUMERIC_CHARACTERS"), T(".,")},   {T("NLS_DATE_FORMAT"), T("DD-MON-RR")},
                               {T("NLS_LENGTH_SEMANTICS"), T("BYTE")},   {T("NLS_RDBMS_VERSION"), T("19.0.0.0.0")}};
      Fill("NLS_DATABASE_PARAMETERS", "PARAMETER, VALUE", rows);
    }
  }

 private:
  Session& s_;
  sqlite3* c_;
};

}  // namespace

void RefreshCatalog(Session& session, const std::string& sql) { Catalog(session).Build(sql); }

}  // namespace qzoci
