#include "standin/oci/session.h"

#include <sqlite3.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <set>

#include "standin/oci/catalog.h"
#include "standin/oci/immortal.h"
#include "standin/oci/nls_names.h"
#include "standin/oci/ora_datetime.h"
#include "standin/oci/ora_functions.h"
#include "standin/oci/text_codec.h"

namespace qzoci {

namespace {

std::atomic<std::uint64_t> gNextOwner{1};
std::atomic<std::uint32_t> gNextSessionId{100};

struct LiveSessions {
  std::mutex mutex;
  std::set<const Session*> sessions;
};

LiveSessions& Live() {
  static Immortal<LiveSessions> live;
  return *live;
}

// SQLite finds an unqualified table in any attached schema; Oracle only in the session's own. The authorizer
// refuses another schema's table unless the statement named that schema (or reads it through a view).
int Authorizer(void* context, int action, const char* table, const char*, const char* schema, const char* view) {
  if (action != SQLITE_READ && action != SQLITE_INSERT && action != SQLITE_UPDATE && action != SQLITE_DELETE) {
    return SQLITE_OK;
  }
  return static_cast<Session*>(context)->MayUse(table, schema, view) ? SQLITE_OK : SQLITE_DENY;
}

void PreupdateHook(void* context, sqlite3*, int op, const char* schema, const char* table, sqlite3_int64 oldRowid,
                   sqlite3_int64 newRowid) {
  static_cast<Session*>(context)->NoteChange(op, schema, table, oldRowid, newRowid);
}

void UpdateHook(void* context, int, const char* schema, const char* table, sqlite3_int64 rowid) {
  static_cast<Session*>(context)->NoteTouchedRow(schema, table, rowid);
}

// The longest text a computed column holds, in characters: the size its description gives.
std::size_t LongestText(const ResultSet& result, std::size_t column) {
  std::size_t longest = 1;
  for (const auto& row : result.rows) {
    if (row[column].kind == Value::Kind::kText) longest = std::max(longest, Utf8Length(row[column].s));
  }
  return longest;
}

// The type of a computed column whose expression tells nothing (an unknown function, a "*" over a view): numbers
// and raw values are what they are, anything else is text, whatever it looks like.
OraColumnType InferType(const ResultSet& result, std::size_t column) {
  for (const auto& row : result.rows) {
    const Value& v = row[column];
    if (v.kind == Value::Kind::kInt || v.kind == Value::Kind::kReal) return ParseDeclaredType("NUMBER");
    if (v.kind == Value::Kind::kBlob) return ParseDeclaredType("RAW(" + std::to_string(std::max<std::size_t>(1, v.s.size())) + ")");
  }
  return ParseDeclaredType("VARCHAR2(" + std::to_string(LongestText(result, column)) + ")");
}

class Statement {
 public:
  ~Statement() { sqlite3_finalize(statement_); }
  sqlite3_stmt* statement_ = nullptr;
};

}  // namespace

std::unique_ptr<Session> Session::Open(std::shared_ptr<Database> db, const std::string& user, OraError& error) {
  std::unique_ptr<Session> s(new Session());
  {
    std::lock_guard<std::mutex> guard(Live().mutex);
    Live().sessions.insert(s.get());
  }
  s->db_ = std::move(db);
  s->user_ = ToUpperAscii(user);
  s->currentSchema_ = s->user_;
  s->id_ = gNextSessionId++;
  s->owner_ = gNextOwner++;
  error = s->Connect(s->user_);
  if (error) return nullptr;
  s->nls_ = {{"NLS_LANGUAGE", "AMERICAN"},
             {"NLS_TERRITORY", "AMERICA"},
             {"NLS_CURRENCY", "$"},
             {"NLS_ISO_CURRENCY", "AMERICA"},
             {"NLS_NUMERIC_CHARACTERS", ".,"},
             {"NLS_CALENDAR", "GREGORIAN"},
             {"NLS_DATE_FORMAT", "DD-MON-RR"},
             {"NLS_DATE_LANGUAGE", "AMERICAN"},
             {"NLS_SORT", "BINARY"},
             {"NLS_TIME_FORMAT", "HH.MI.SSXFF AM"},
             {"NLS_TIMESTAMP_FORMAT", "DD-MON-RR HH.MI.SSXFF AM"},
             {"NLS_TIME_TZ_FORMAT", "HH.MI.SSXFF AM TZR"},
             {"NLS_TIMESTAMP_TZ_FORMAT", "DD-MON-RR HH.MI.SSXFF AM TZR"},
             {"NLS_DUAL_CURRENCY", "$"},
             {"NLS_COMP", "BINARY"},
             {"NLS_LENGTH_SEMANTICS", "BYTE"},
             {"NLS_NCHAR_CONV_EXCP", "FALSE"}};
  return s;
}

OraError Session::Connect(const std::string& mainSchema) {
  if (connection_) sqlite3_close_v2(connection_);
  connection_ = nullptr;
  mainSchema_ = mainSchema;
  if (sqlite3_open_v2(db_->SchemaUri(mainSchema).c_str(), &connection_,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI, nullptr) != SQLITE_OK) {
    return MakeOraError(12154);
  }
  sqlite3* c = connection_;
  sqlite3_busy_timeout(c, 100);
  sqlite3_exec(c, "PRAGMA foreign_keys=ON; PRAGMA case_sensitive_like=ON; PRAGMA journal_mode=WAL;", nullptr,
               nullptr, nullptr);
  // The other schemas, the session's own among them when another is current, by name for "OWNER.TABLE".
  int attached = 0;
  for (const std::string& other : db_->Users()) {
    if (other == mainSchema || attached >= 9) continue;
    const std::string sql = "ATTACH '" + db_->SchemaUri(other) + "' AS \"" + other + "\"";
    if (sqlite3_exec(c, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) ++attached;
  }
  sqlite3_exec(c, "CREATE TEMP TABLE DUAL(DUMMY VARCHAR2(1)); INSERT INTO temp.DUAL VALUES('X');", nullptr, nullptr,
               nullptr);
  RegisterOracleFunctions(c, this);
  sqlite3_update_hook(c, UpdateHook, this);
  sqlite3_preupdate_hook(c, PreupdateHook, this);
  sqlite3_set_authorizer(c, Authorizer, this);
  return OraError();
}

Session::~Session() {
  {
    std::lock_guard<std::mutex> guard(Live().mutex);
    Live().sessions.erase(this);
  }
  // The branches left detached end with the session, as its own work does.
  const std::set<std::uint64_t> detached = detached_;
  for (const std::uint64_t owner : detached) Rollback(owner);
  Rollback();
  sqlite3_close_v2(connection_);
}

bool Session::IsLive(const Session* session) {
  std::lock_guard<std::mutex> guard(Live().mutex);
  return Live().sessions.count(session) != 0;
}

std::string Session::Nls(const std::string& name) const {
  const auto found = nls_.find(name);
  return found == nls_.end() ? std::string() : found->second;
}

std::uint64_t Session::AttachBranch() {
  branchAttached_ = true;
  return owner_;
}

std::uint64_t Session::DetachTransaction() {
  const std::uint64_t detached = owner_;
  detached_.insert(detached);
  owner_ = gNextOwner++;
  branchAttached_ = false;
  wrote_ = false;  // what the branch changed goes with it, in its undo entries
  return detached;
}

void Session::ResumeTransaction(std::uint64_t owner) {
  if (owner == 0) return;
  detached_.erase(owner);
  owner_ = owner;
  branchAttached_ = true;
}

bool Session::HasPendingWork(std::uint64_t owner) const {
  return (owner == owner_ && wrote_) || undo_.HasChangesOf(owner) || db_->Locks().Holds(owner);
}

void Session::NoteChange(int op, const char* schema, const char* table, std::int64_t oldRowid,
                         std::int64_t newRowid) {
  undo_.Note(owner_, connection_, op, schema, table, oldRowid, newRowid);
}

OraError Session::EndSharedWork(bool keep) {
  if (!transactionOpen_ || undo_.HasChanges()) return OraError();
  if (keep || keptWork_) {
    if (sqlite3_exec(connection_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
      return OraErrorFromSqlite(connection_, sqlite3_extended_errcode(connection_), 0, mainSchema_);
    }
  } else {
    sqlite3_exec(connection_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  transactionOpen_ = false;
  keptWork_ = false;
  return OraError();
}

// Whatever ended the branch, its attachment, its detached entry and its locks go with it.
void Session::ForgetBranch(std::uint64_t owner) {
  if (owner == owner_) {
    wrote_ = false;
    branchAttached_ = false;
  }
  detached_.erase(owner);
  db_->Locks().Release(owner);
}

// Each branch ends its own work and locks alone: the others' rows stay changed and locked until they end.
OraError Session::Commit(std::uint64_t owner) {
  const bool changed = undo_.HasChangesOf(owner) || (owner == owner_ && wrote_);
  undo_.Forget(owner);
  if (changed && transactionOpen_ && undo_.HasChanges()) {
    // A server keeps a committed branch's work whatever the session's other branches do later: their pending rows
    // are set aside while the SQLite transaction commits, then written back as theirs in a new one.
    OraError error = CommitBesideOthers();
    if (error) return error;
    ForgetBranch(owner);
    return OraError();
  }
  OraError error = EndSharedWork(changed);
  if (error) return error;
  if (changed && transactionOpen_) keptWork_ = true;
  ForgetBranch(owner);
  return OraError();
}

OraError Session::CommitBesideOthers() {
  std::vector<BranchUndo::Shelf> shelves;
  const std::vector<std::uint64_t> owners = undo_.Owners();
  // Each branch's rows are its own (locked by it), so each is set aside and written back alone.
  for (auto owner = owners.rbegin(); owner != owners.rend(); ++owner) shelves.push_back(undo_.Shelve(*owner, connection_));
  OraError error;
  if (sqlite3_exec(connection_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    error = OraErrorFromSqlite(connection_, sqlite3_extended_errcode(connection_), 0, mainSchema_);
  } else {
    transactionOpen_ = false;
    keptWork_ = false;
    error = BeginWrite();
  }
  if (transactionOpen_) {
    for (auto shelf = shelves.rbegin(); shelf != shelves.rend(); ++shelf) undo_.Restore(*shelf, connection_);
  }
  return error;
}

OraError Session::Rollback(std::uint64_t owner) {
  // Alone in the SQLite transaction, the branch rolls it back; beside other branches' work, kept or pending, its
  // rows are put back one by one.
  if (keptWork_ || !undo_.OnlyChangesOf(owner)) {
    undo_.Undo(owner, connection_);
  } else {
    undo_.Forget(owner);
  }
  EndSharedWork(false);
  ForgetBranch(owner);
  return OraError();
}

OraError Session::BeginWrite() {
  if (transactionOpen_) return OraError();
  const int rc = sqlite3_exec(connection_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return OraErrorFromSqlite(connection_, sqlite3_extended_errcode(connection_), 0, mainSchema_);
  transactionOpen_ = true;
  return OraError();
}

void Session::SplitName(const std::string& name, std::string& owner, std::string& object) const {
  const std::size_t dot = name.find('.');
  if (dot == std::string::npos) {
    owner = currentSchema_;
    object = name;
  } else {
    owner = ToUpperAscii(name.substr(0, dot));
    object = name.substr(dot + 1);
  }
}

std::map<std::string, std::string> Session::SynonymTargets() const {
  std::map<std::string, std::string> targets;
  for (const SynonymInfo& s : db_->Synonyms()) {
    if (!s.dbLink.empty()) continue;
    // The schema's own synonym hides a public one of the same name.
    if (s.owner == currentSchema_) targets[s.name] = s.tableOwner + "." + s.tableName;
    if (s.owner == "PUBLIC") targets.emplace(s.name, s.tableOwner + "." + s.tableName);
  }
  return targets;
}

std::string Session::SchemaOf(const std::string& owner) const {
  const std::string o = ToUpperAscii(owner);
  return o.empty() || o == mainSchema_ || o == "MAIN" ? "main" : o;
}

std::string Session::OwnerOfSchema(const std::string& schema) const {
  return schema.empty() || schema == "main" ? mainSchema_ : ToUpperAscii(schema);
}

std::string Session::LockKey(const std::string& schema, const std::string& table) const {
  return OwnerOfSchema(schema) + "." + OracleName(table);
}

bool Session::MayUse(const char* table, const char* schema, const char* view) const {
  if (!restricted_ || view) return true;
  if (!schema) {
    // A table read for its rows alone (COUNT(*)) comes without its schema: it is the session's when the main or
    // temporary schema has it, else it came from another schema, which the statement must have named.
    return (table && localTables_.count(ToUpperAscii(table))) || !namedSchemas_.empty();
  }
  const std::string name = schema;
  if (name == "main" || name == "temp") return true;
  for (const std::string& named : namedSchemas_) {
    if (named == name) return true;
  }
  return false;
}

void Session::NoteTouchedRow(const char* schema, const char* table, std::int64_t rowid) {
  if (schema && std::string(schema) == "temp") return;
  touched_.emplace_back(LockKey(schema ? schema : "main", table ? table : ""), rowid);
}

OraError Session::NextValue(const std::string& name, std::int64_t& value) {
  std::string owner;
  std::string object;
  SplitName(name, owner, object);
  OraError error = db_->NextValue(owner, object, value);
  if (!error) currentValues_[owner + "." + object] = value;
  return error;
}

OraError Session::CurrentValue(const std::string& name, std::int64_t& value) const {
  std::string owner;
  std::string object;
  SplitName(name, owner, object);
  if (!db_->FindSequence(owner, object)) return MakeOraError(2289);
  const auto found = currentValues_.find(owner + "." + object);
  if (found == currentValues_.end()) return MakeOraError(8002, object);
  value = found->second;
  return OraError();
}

OraError Session::ApplySettings(const SqlPlan& plan) {
  for (const auto& [name, value] : plan.settings) {
    if (name == "CURRENT_SCHEMA") {
      const std::string schema = ToUpperAscii(value);
      if (!db_->UserExists(schema)) return MakeOraError(1435);
      currentSchema_ = schema;
      // Unqualified names are looked for in the current schema: it becomes the connection's main database. With a
      // transaction open the connection cannot change; names then stay with the schema they had.
      if (schema != mainSchema_ && !transactionOpen_) {
        OraError error = Connect(schema);
        if (error) return error;
      }
    } else if (name.rfind("NLS_", 0) == 0) {
      if ((name == "NLS_LANGUAGE" && !IsKnownNlsLanguage(value)) ||
          (name == "NLS_TERRITORY" && !IsKnownNlsTerritory(value))) {
        return MakeOraError(12705);
      }
      nls_[name] = name == "NLS_DATE_FORMAT" || name == "NLS_NUMERIC_CHARACTERS" ? value : ToUpperAscii(value);
    }
    // Other settings (SQL_TRACE, OPTIMIZER_*, ...) change nothing here.
  }
  return OraError();
}

OraError Session::LockTables(const SqlPlan& plan) {
  const int mode = LockManager::ModeOfText(plan.lockMode);
  if (mode == 0) return MakeOraError(922);
  std::vector<std::string> keys;
  for (const auto& [named, object] : plan.lockTables) {
    const std::string owner = named.empty() ? currentSchema_ : named;
    const std::string schema = SchemaOf(owner);
    const std::string check = "SELECT 1 FROM \"" + schema + "\".sqlite_master WHERE type IN ('table','view') AND "
                              "name = ? COLLATE NOCASE";
    bool exists = false;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(connection_, check.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
      sqlite3_bind_text(statement, 1, SqliteName(object).c_str(), -1, SQLITE_TRANSIENT);
      exists = sqlite3_step(statement) == SQLITE_ROW;
    }
    sqlite3_finalize(statement);
    if (!exists) return MakeOraError(942);
    keys.push_back(owner + "." + object);
  }
  for (const std::string& key : keys) {
    if (!db_->Locks().LockTable(owner_, key, mode)) return MakeOraError(54);
  }
  return OraError();
}

OraError Session::RunMetadata(const SqlPlan& plan) {
  std::string owner;
  std::string object;
  SplitName(plan.objectName, owner, object);
  switch (plan.action) {
    case SqlAction::kCreateSequence: {
      SequenceInfo s;
      s.owner = owner;
      s.name = object;
      s.next = plan.seqStart;
      s.increment = plan.seqIncrement == 0 ? 1 : plan.seqIncrement;
      s.minValue = plan.seqMin;
      s.maxValue = plan.seqMax;
      s.cycle = plan.seqCycle;
      return db_->CreateSequence(s);
    }
    case SqlAction::kDropSequence:
      return db_->DropSequence(owner, object);
    case SqlAction::kComment: {
      CommentInfo c;
      c.owner = owner;
      c.table = object;
      c.column = plan.targetName;
      c.text = plan.text;
      return db_->SetComment(c);
    }
    case SqlAction::kCreateSynonym: {
      SynonymInfo s;
      s.owner = plan.publicSynonym ? "PUBLIC" : owner;
      s.name = object;
      std::string target = plan.targetName;
      const std::size_t at = target.find('@');
      if (at != std::string::npos) {
        s.dbLink = target.substr(at + 1);
        target.erase(at);
      }
      SplitName(target, s.tableOwner, s.tableName);
      return db_->CreateSynonym(s);
    }
    case SqlAction::kDropSynonym:
      return db_->DropSynonym(owner, object);
    case SqlAction::kCreateUser:
      return db_->CreateUser(object, plan.targetName);
    case SqlAction::kDropUser:
      return db_->DropUser(object);
    default:
      return OraError();
  }
}

OraError Session::RunDdl(const std::string& sql) {
  // DDL commits what the session had pending, runs, and commits itself.
  OraError error = Commit();
  if (error) return error;
  char* message = nullptr;
  const int rc = sqlite3_exec(connection_, sql.c_str(), nullptr, nullptr, &message);
  sqlite3_free(message);
  touched_.clear();
  if (rc != SQLITE_OK) return OraErrorFromSqlite(connection_, sqlite3_extended_errcode(connection_), 5, mainSchema_);
  FitColumns();
  return OraError();
}

// SQLite keeps what a column is given; a server rounds a NUMBER to the column's scale, refuses more digits than its
// precision and writes it in its own canonical form, rounds a FLOAT to its binary precision, a TIMESTAMP or an
// INTERVAL DAY TO SECOND to its fraction digits, and converts a hexadecimal text written into a RAW to its bytes.
// Each table with such columns has two triggers that write back what the server keeps (the qz_fit_ functions) after
// each insert and each update of those columns; they are made again whenever the table's columns change.
void Session::FitColumns() {
  auto rows = [&](const std::string& sql, const std::function<void(sqlite3_stmt*)>& each) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(connection_, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
      while (sqlite3_step(st) == SQLITE_ROW) each(st);
    }
    sqlite3_finalize(st);
  };
  auto text = [](sqlite3_stmt* st, int column) {
    const unsigned char* t = sqlite3_column_text(st, column);
    return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
  };
  auto quoted = [](const std::string& name) {
    std::string out = "\"";
    for (const char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
  };
  auto literal = [](const std::string& value) {
    std::string out = "'";
    for (const char c : value) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
  };
  std::vector<std::string> schemas;
  rows("PRAGMA database_list", [&](sqlite3_stmt* st) {
    if (text(st, 1) != "temp") schemas.push_back(text(st, 1));
  });
  for (const std::string& schema : schemas) {
    std::vector<std::string> tables;
    std::map<std::string, std::string> triggers;  // name -> its SQL
    std::set<std::string> kept;
    rows("SELECT type, name, sql FROM " + quoted(schema) + ".sqlite_master WHERE type IN ('table', 'trigger')",
         [&](sqlite3_stmt* st) {
           if (text(st, 0) == "trigger") triggers[text(st, 1)] = text(st, 2);
           if (text(st, 0) == "table" && text(st, 1).rfind("sqlite_", 0) != 0) tables.push_back(text(st, 1));
         });
    for (const std::string& table : tables) {
      std::string set;
      std::string changed;
      std::string columns;
      rows("SELECT name, type FROM pragma_table_info(" + literal(table) + ", " + literal(schema) + ")",
           [&](sqlite3_stmt* st) {
             // The NUMBER columns are kept as exact text (MapDdlTypes); INTEGER and FLOAT keep SQLite's own storage.
             const std::string declared = ToUpperAscii(text(st, 1));
             const OraColumnType type = ParseDeclaredType(declared);
             const std::string column = quoted(text(st, 0));
             std::string fit;
             if (declared.find(" QZ_TEXT") != std::string::npos) {
               fit = "qz_fit_number(" + column + ", " + std::to_string(type.hasPrecision ? type.precision : 0) + ", " +
                     std::to_string(type.scale) + ")";
             } else if (type.code == 4) {
               fit = "qz_fit_float(" + column + ", " + std::to_string(type.precision) + ")";
             } else if (type.IsTimestamp()) {
               fit = "qz_fit_timestamp(" + column + ", " + std::to_string(type.scale) + ")";
             } else if (type.code == 190) {
               fit = "qz_fit_interval(" + column + ", " + std::to_string(type.scale) + ")";
             } else if (type.code == 23 || type.code == 24) {
               fit = "qz_fit_raw(" + column + ")";
             } else {
               return;
             }
             set += (set.empty() ? "" : ", ") + column + " = " + fit;
             changed += (changed.empty() ? "" : " OR ") + column + " IS NOT " + fit + " COLLATE BINARY";
             columns += (columns.empty() ? "" : ", ") + column;
           });
      const std::string body = " ON " + quoted(table) + " BEGIN UPDATE " + quoted(table) + " SET " + set +
                               " WHERE rowid = NEW.rowid AND (" + changed + "); END";
      if (set.empty()) continue;
      const std::pair<std::string, std::string> wanted[] = {
          {"qz_fit_insert_" + table, "AFTER INSERT"}, {"qz_fit_update_" + table, "AFTER UPDATE OF " + columns}};
      for (const auto& [name, when] : wanted) {
        kept.insert(name);
        // SQLite keeps a trigger's text without its schema.
        const std::string made = " " + when + body;
        const auto found = triggers.find(name);
        if (found != triggers.end() && found->second == "CREATE TRIGGER " + quoted(name) + made) continue;
        const std::string ddl = "DROP TRIGGER IF EXISTS " + quoted(schema) + "." + quoted(name) + "; CREATE TRIGGER " +
                                quoted(schema) + "." + quoted(name) + made;
        sqlite3_exec(connection_, ddl.c_str(), nullptr, nullptr, nullptr);
      }
    }
    // The triggers of tables renamed or gone, or left without NUMBER columns.
    for (const auto& [name, sql] : triggers) {
      if (name.rfind("qz_fit_", 0) != 0 || kept.count(name)) continue;
      const std::string ddl = "DROP TRIGGER IF EXISTS " + quoted(schema) + "." + quoted(name);
      sqlite3_exec(connection_, ddl.c_str(), nullptr, nullptr, nullptr);
    }
  }
}

OraError Session::Execute(const SqlPlan& plan, const std::vector<BindInput>& binds, bool describeOnly,
                          ExecOutcome& out) {
  out = ExecOutcome();
  if (plan.error) return MakeOraError(plan.error);
  switch (plan.action) {
    case SqlAction::kEmpty:
      return MakeOraError(900);
    case SqlAction::kPlsql:
      return MakeOraError(6550);
    case SqlAction::kOpenCursor: {
      const SqlPlan query = RewriteSql(plan.text, mainSchema_, SynonymTargets());
      if (query.statementType != 1) return MakeOraError(6550);
      return RunSqlite(query, binds, describeOnly, out);
    }
    case SqlAction::kCommit:
      return Commit();
    case SqlAction::kRollback:
      return Rollback();
    case SqlAction::kIgnored:
      return OraError();
    case SqlAction::kAlterSession:
      return ApplySettings(plan);
    case SqlAction::kLockTable:
      return LockTables(plan);
    case SqlAction::kRun:
      return RunSqlite(plan, binds, describeOnly, out);
    default: {
      OraError error = Commit();
      return error ? error : RunMetadata(plan);
    }
  }
}

OraError Session::RunSqlite(const SqlPlan& plan, const std::vector<BindInput>& binds, bool describeOnly,
                            ExecOutcome& out) {
  RefreshCatalog(*this, plan.sql);
  const std::uint16_t type = plan.statementType;
  const bool query = type == 1 || (type == 0 && plan.firstWord == "(");
  const bool dml = type == 2 || type == 3 || type == 4 || plan.firstWord == "TRUNCATE";
  // Describing or parsing never runs a statement: DDL is taken as it is, DML is prepared against the schema below.
  if (!query && !dml) {
    if (describeOnly) return OraError();
    if (plan.firstWord == "DROP" && !plan.objectName.empty()) {
      // A table another transaction holds (a row it locked or changed) is not dropped under it.
      OraError error = Commit();
      if (error) return error;
      std::string owner;
      std::string object;
      SplitName(plan.objectName, owner, object);
      if (db_->Locks().LockedByOthers(owner_, owner + "." + object)) return MakeOraError(54);
    }
    return RunDdl(plan.sql);
  }

  const std::size_t changesBefore = undo_.Count(owner_);
  if (dml && !describeOnly) {
    OraError error = BeginWrite();
    if (error) return error;
    sqlite3_exec(connection_, "SAVEPOINT qz_statement", nullptr, nullptr, nullptr);
  }
  auto undo = [&]() {
    if (dml && !describeOnly) {
      sqlite3_exec(connection_, "ROLLBACK TO qz_statement; RELEASE qz_statement", nullptr, nullptr, nullptr);
      undo_.Truncate(owner_, changesBefore);
    }
    touched_.clear();
  };
  touched_.clear();
  Statement s;
  const char* tail = nullptr;
  namedSchemas_.clear();
  const std::string upperSql = ToUpperAscii(plan.sql);
  for (const std::string& other : db_->Users()) {
    if (upperSql.find(other + ".") != std::string::npos || upperSql.find("\"" + other + "\".") != std::string::npos) {
      namedSchemas_.push_back(other);
    }
  }
  localTables_.clear();
  {
    sqlite3_stmt* names = nullptr;
    if (sqlite3_prepare_v2(connection_,
                           "SELECT upper(name) FROM main.sqlite_master UNION SELECT upper(name) FROM temp.sqlite_master",
                           -1, &names, nullptr) == SQLITE_OK) {
      while (sqlite3_step(names) == SQLITE_ROW) {
        localTables_.insert(reinterpret_cast<const char*>(sqlite3_column_text(names, 0)));
      }
    }
    sqlite3_finalize(names);
  }
  restricted_ = true;
  int rc = sqlite3_prepare_v2(connection_, plan.sql.c_str(), static_cast<int>(plan.sql.size()), &s.statement_, &tail);
  restricted_ = false;
  if (rc != SQLITE_OK) {
    OraError error = OraErrorFromSqlite(connection_, sqlite3_extended_errcode(connection_), type, mainSchema_);
    undo();
    return error;
  }
  if (dml && describeOnly) return OraError();
  // A plain select of one table whose rows give out LOB locators runs with that table's rowid as one more column,
  // so that each locator names its row and can write it.
  bool rowidColumn = plan.forUpdate && plan.lockSql.empty();
  if (query && !plan.forUpdate && !plan.rowidSql.empty() && !describeOnly) {
    bool givesLocators = false;
    for (int c = 0; c < sqlite3_column_count(s.statement_); ++c) {
      const char* declared = sqlite3_column_decltype(s.statement_, c);
      givesLocators |= declared && sqlite3_column_table_name(s.statement_, c) && ParseDeclaredType(declared).IsLob();
    }
    Statement named;
    restricted_ = true;
    if (givesLocators && sqlite3_prepare_v2(connection_, plan.rowidSql.c_str(), -1, &named.statement_, nullptr) ==
                             SQLITE_OK) {
      std::swap(s.statement_, named.statement_);
      rowidColumn = true;
    }
    restricted_ = false;
  }
  // Parameters: by name first, then by position among the markers. False when one is not bound.
  auto bindAll = [&](sqlite3_stmt* statement) {
    const int count = sqlite3_bind_parameter_count(statement);
    for (int index = 1; index <= count; ++index) {
      const char* rawName = sqlite3_bind_parameter_name(statement, index);
      const std::string name = rawName ? ToUpperAscii(std::string(rawName + 1)) : std::string();
      const BindInput* found = nullptr;
      for (const BindInput& b : binds) {
        if (!b.name.empty() && b.name == name) found = &b;
      }
      if (!found) {
        for (const BindInput& b : binds) {
          if (b.name.empty() && b.position == static_cast<std::uint32_t>(index)) found = &b;
        }
      }
      if (!found && !describeOnly) return false;
      if (found) found->value.Bind(statement, index);
    }
    return true;
  };
  if (!bindAll(s.statement_)) {
    undo();
    return MakeOraError(1008);
  }

  if (query) {
    const int columns = sqlite3_column_count(s.statement_) - (rowidColumn ? 1 : 0);
    std::vector<std::int64_t>& lockRows = out.result.rowids;
    while ((rc = sqlite3_step(s.statement_)) == SQLITE_ROW) {
      std::vector<Value> row;
      row.reserve(static_cast<std::size_t>(columns));
      for (int c = 0; c < columns; ++c) row.push_back(Value::FromColumn(s.statement_, c));
      if (rowidColumn) lockRows.push_back(sqlite3_column_int64(s.statement_, columns));
      out.result.rows.push_back(std::move(row));
      if (describeOnly) break;
    }
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
      return OraErrorFromSqlite(connection_, sqlite3_extended_errcode(connection_), type, mainSchema_);
    }
    for (int c = 0; c < columns; ++c) {
      ColumnInfo info;
      info.name = OracleName(RestoreOracleNames(sqlite3_column_name(s.statement_, c)));
      const char* declared = sqlite3_column_decltype(s.statement_, c);
      const char* table = sqlite3_column_table_name(s.statement_, c);
      const char* origin = sqlite3_column_origin_name(s.statement_, c);
      const char* schema = sqlite3_column_database_name(s.statement_, c);
      info.type = declared ? ParseDeclaredType(declared) : ComputedType(plan, out.result, static_cast<std::size_t>(c),
                                                                                static_cast<std::size_t>(columns));
      if (table && origin) {
        info.origin.schema = schema ? schema : "main";
        info.origin.table = table;
        info.origin.column = origin;
        int notNull = 0;
        int primaryKey = 0;
        if (sqlite3_table_column_metadata(connection_, schema, table, origin, nullptr, nullptr, &notNull, &primaryKey,
                                          nullptr) == SQLITE_OK) {
          info.nullable = !notNull && !primaryKey;
        }
        // The rowid column is that of the first (and, without FOR UPDATE, only) table of the FROM list.
        std::string target = plan.forUpdate ? plan.lockTarget : plan.rowidTable;
        const std::size_t dot = target.rfind('.');
        if (dot != std::string::npos) target.erase(0, dot + 1);
        info.namesRow = rowidColumn && target == OracleName(table);
      }
      out.result.columns.push_back(std::move(info));
    }
    if (describeOnly) out.result = ResultSet{std::move(out.result.columns), {}, {}};
    if (plan.forUpdate && !describeOnly && !plan.lockSql.empty()) {
      Statement locked;
      restricted_ = true;
      rc = sqlite3_prepare_v2(connection_, plan.lockSql.c_str(), -1, &locked.statement_, nullptr);
      restricted_ = false;
      if (rc != SQLITE_OK || !bindAll(locked.statement_)) {
        out.result.rows.clear();
        return rc != SQLITE_OK ? OraErrorFromSqlite(connection_, sqlite3_extended_errcode(connection_), type, mainSchema_)
                               : MakeOraError(1008);
      }
      while ((rc = sqlite3_step(locked.statement_)) == SQLITE_ROW) lockRows.push_back(sqlite3_column_int64(locked.statement_, 0));
    }
    if (plan.forUpdate && !describeOnly) {
      std::string owner;
      std::string object;
      SplitName(plan.lockTarget, owner, object);
      if (!db_->Locks().LockRows(owner_, owner + "." + object, lockRows, LockManager::kRowShare)) {
        out.result.rows.clear();
        return MakeOraError(54);
      }
    }
    return OraError();
  }

  // DELETE ... RETURNING: the values are read before the rows go.
  std::string dmlOwner;
  std::string dmlObject;
  SplitName(plan.dmlTable, dmlOwner, dmlObject);
  const std::string dmlSchema = SchemaOf(dmlOwner);
  auto selectReturning = [&](const std::string& where, ExecOutcome& target) -> OraError {
    std::string list;
    for (std::size_t k = 0; k < plan.returning.size(); ++k) {
      list += (k ? ", " : "") + RewriteExpression(plan.returning[k], mainSchema_);
    }
    const std::string sql =
        "SELECT " + list + ", rowid FROM \"" + dmlSchema + "\".\"" + SqliteName(dmlObject) + "\" WHERE " + where;
    Statement r;
    if (sqlite3_prepare_v2(connection_, sql.c_str(), -1, &r.statement_, nullptr) != SQLITE_OK) {
      return OraErrorFromSqlite(connection_, sqlite3_extended_errcode(connection_), type, mainSchema_);
    }
    for (int index = 1; index <= sqlite3_bind_parameter_count(r.statement_); ++index) {
      const char* rawName = sqlite3_bind_parameter_name(r.statement_, index);
      const std::string name = rawName ? ToUpperAscii(std::string(rawName + 1)) : std::string();
      // By name, else by position: the WHERE text of a DELETE holds all of its markers, in their order.
      const BindInput* found = nullptr;
      for (const BindInput& b : binds) {
        if (!b.name.empty() && b.name == name) found = &b;
      }
      for (const BindInput& b : binds) {
        if (!found && b.name.empty() && b.position == static_cast<std::uint32_t>(index)) found = &b;
      }
      if (found) found->value.Bind(r.statement_, index);
    }
    // Every row the statement touches returns its values, in the order of the rows.
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(r.statement_)) == SQLITE_ROW) {
      const int n = static_cast<int>(plan.returning.size());
      for (int k = 0; k < n && k < static_cast<int>(plan.returningInto.size()); ++k) {
        ReturnedValue rv;
        rv.item = static_cast<std::size_t>(k);
        rv.row = target.returnedRows;
        rv.bindName = plan.returningInto[static_cast<std::size_t>(k)];
        rv.value = Value::FromColumn(r.statement_, k);
        const char* declared = sqlite3_column_decltype(r.statement_, k);
        rv.column.type = declared ? ParseDeclaredType(declared) : ParseDeclaredType("VARCHAR2(4000)");
        const char* origin = sqlite3_column_origin_name(r.statement_, k);
        if (origin) {
          rv.origin.valid = true;
          rv.origin.schema = dmlSchema;
          rv.origin.table = dmlObject;
          rv.origin.column = origin;
          rv.origin.rowid = sqlite3_column_int64(r.statement_, n);
        }
        target.returned.push_back(std::move(rv));
      }
      ++target.returnedRows;
    }
    if (rc != SQLITE_DONE) {
      return OraErrorFromSqlite(connection_, sqlite3_extended_errcode(connection_), type, mainSchema_);
    }
    return OraError();
  };
  if (type == 3 && !plan.returning.empty()) {
    OraError error = selectReturning(plan.dmlWhere.empty() ? "1" : plan.dmlWhere, out);
    if (error) {
      undo();
      return error;
    }
  }
  rc = sqlite3_step(s.statement_);
  if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
    OraError error = OraErrorFromSqlite(connection_, sqlite3_extended_errcode(connection_), type, mainSchema_);
    sqlite3_reset(s.statement_);
    undo();
    return error;
  }
  out.rowCount = static_cast<std::uint32_t>(sqlite3_changes(connection_));
  // The rows changed are locked for the transaction; another owner's lock on one of them refuses the change.
  std::map<std::string, std::vector<std::int64_t>> byTable;
  for (const auto& [key, rowid] : touched_) byTable[key].push_back(rowid);
  if (byTable.empty()) byTable[dmlOwner + "." + dmlObject];
  for (const auto& [key, rowids] : byTable) {
    if (!db_->Locks().LockRows(owner_, key, rowids, LockManager::kRowExclusive)) {
      undo();
      return MakeOraError(54);
    }
  }
  if (type != 3 && !plan.returning.empty() && !touched_.empty()) {
    // The rows of the statement's own table (a trigger may have touched others), each once.
    std::set<std::int64_t> rowids;
    const std::string ownKey = LockKey(dmlSchema, dmlObject);
    if (type == 4) {
      rowids.insert(sqlite3_last_insert_rowid(connection_));
    } else {
      for (const auto& [key, rowid] : touched_) {
        if (key == ownKey) rowids.insert(rowid);
      }
    }
    std::string list;
    for (const std::int64_t rowid : rowids) list += (list.empty() ? "" : ", ") + std::to_string(rowid);
    OraError error = rowids.empty() ? OraError() : selectReturning("rowid IN (" + list + ") ORDER BY rowid", out);
    if (error) {
      undo();
      return error;
    }
  }
  touched_.clear();
  sqlite3_exec(connection_, "RELEASE qz_statement", nullptr, nullptr, nullptr);
  wrote_ = true;
  return OraError();
}

// The type of a computed column from its expression: a type the expression has of its own, or that of the operand
// it follows, down to a column whose declared type SQLite tells (prepared with the query's FROM clause, never run).
OraColumnType Session::ComputedType(const SqlPlan& plan, const ResultSet& result, std::size_t column,
                                    std::size_t columns) {
  if (plan.selectItems.size() != columns) return InferType(result, column);
  bool textOfOperand = false;
  bool dateOrNumber = false;
  std::optional<OraColumnType> found;
  ExpressionType e = TypeOfExpression(plan.selectItems[column]);
  for (int depth = 0; depth < 16 && !found; ++depth) {
    if (!e.declared.empty()) {
      found = ParseDeclaredType(e.declared);
      // A text's size is that of its longest value, as the other branches of a UNION may hold longer ones.
      if (found->IsText()) found->charSize = found->dataSize = static_cast<std::uint32_t>(LongestText(result, column));
    } else if (e.column) {
      const std::string probe = "SELECT " + RewriteExpression(e.operand, mainSchema_) + " " + plan.fromClause;
      Statement s;
      restricted_ = true;
      const int rc = sqlite3_prepare_v2(connection_, probe.c_str(), -1, &s.statement_, nullptr);
      restricted_ = false;
      const char* declared = rc == SQLITE_OK ? sqlite3_column_decltype(s.statement_, 0) : nullptr;
      if (!declared) break;
      found = ParseDeclaredType(declared);
    } else if (!e.operand.empty()) {
      textOfOperand |= e.textOfOperand;
      dateOrNumber |= e.dateOrNumber;
      e = TypeOfExpression(e.operand);
    } else {
      break;
    }
  }
  if (!found) return InferType(result, column);
  if (textOfOperand) {
    const std::uint8_t form = found->IsText() ? found->charsetForm : 1;
    found = ParseDeclaredType(std::string(form == 2 ? "NVARCHAR2(" : "VARCHAR2(") +
                              std::to_string(LongestText(result, column)) + ")");
  }
  if (dateOrNumber && !found->IsDate() && !found->IsTimestamp()) found = ParseDeclaredType("NUMBER");
  return *found;
}

OraError Session::WriteValue(const RowOrigin& origin, const Value& value) {
  if (!origin.valid) return MakeOraError(22275);
  // Outside a transaction the write stands alone and is committed at once, as a statement with commit on success.
  const bool standalone = !branchAttached_ && !wrote_ && !undo_.HasChangesOf(owner_);
  OraError error = BeginWrite();
  if (error) return error;
  // The row is locked for the transaction as an UPDATE locks it: one another session holds refuses the write.
  if (!db_->Locks().LockRows(owner_, LockKey(origin.schema, origin.table), {origin.rowid},
                             LockManager::kRowExclusive)) {
    if (standalone) Rollback();
    return MakeOraError(54);
  }
  const std::string sql = "UPDATE \"" + origin.schema + "\".\"" + origin.table + "\" SET \"" + origin.column +
                          "\" = ? WHERE rowid = ?";
  Statement s;
  if (sqlite3_prepare_v2(connection_, sql.c_str(), -1, &s.statement_, nullptr) != SQLITE_OK) {
    return OraErrorFromSqlite(connection_, sqlite3_extended_errcode(connection_), 2, mainSchema_);
  }
  value.Bind(s.statement_, 1);
  sqlite3_bind_int64(s.statement_, 2, origin.rowid);
  const int rc = sqlite3_step(s.statement_);
  touched_.clear();
  if (rc != SQLITE_DONE) return OraErrorFromSqlite(connection_, sqlite3_extended_errcode(connection_), 2, mainSchema_);
  wrote_ = true;
  return standalone ? Commit() : OraError();
}

}  // namespace qzoci
