// A user's session on a database: its own SQLite connection (the user's schema as "main", the other users'
// schemas attached under their names), its NLS settings and current schema, its transaction (a SQLite transaction
// opened at the first change, and the owner number under which its locks are taken), and the execution of the
// statements the rewrite planned. Results of queries are read whole at execution, so fetches, commits and
// rollbacks never disturb one another.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "standin/oci/branch_undo.h"
#include "standin/oci/column_type.h"
#include "standin/oci/database.h"
#include "standin/oci/ora_error.h"
#include "standin/oci/sql_rewrite.h"
#include "standin/oci/value.h"

struct sqlite3;

namespace qzoci {

// Where a value came from, so that a LOB locator can write it back: schema ("main" or a user's), table, column,
// rowid. `valid` is false for computed values.
struct RowOrigin {
  bool valid = false;
  std::string schema;
  std::string table;
  std::string column;
  std::int64_t rowid = 0;
};

struct ColumnInfo {
  std::string name;
  OraColumnType type;
  bool nullable = true;
  RowOrigin origin;  // table and column of the value, rowid not set
  bool namesRow = false;  // the result's rowids (one per row) are those of this column's rows
};

struct ResultSet {
  std::vector<ColumnInfo> columns;
  std::vector<std::vector<Value>> rows;
  std::vector<std::int64_t> rowids;  // the row of each result row, where the query could tell it
};

struct BindInput {
  std::string name;        // upper case, no colon; empty for a bind by position
  std::uint32_t position;  // 1-based, for binds by position
  Value value;
};

// One item of one row of RETURNING ... INTO: `item` is its place in the INTO list.
struct ReturnedValue {
  std::size_t item = 0;
  std::uint32_t row = 0;
  std::string bindName;
  Value value;
  ColumnInfo column;
  RowOrigin origin;
};

struct ExecOutcome {
  ResultSet result;
  std::uint32_t rowCount = 0;
  std::vector<ReturnedValue> returned;
  std::uint32_t returnedRows = 0;
};

class Session {
 public:
  static std::unique_ptr<Session> Open(std::shared_ptr<Database> db, const std::string& user, OraError& error);
  ~Session();
  // Whether a session has not ended yet: a statement keeps the session it ran on, which may end before it.
  static bool IsLive(const Session* session);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  Database& Db() { return *db_; }
  sqlite3* Connection() const { return connection_; }
  const std::string& User() const { return user_; }
  const std::string& CurrentSchema() const { return currentSchema_; }
  // The schema that is the connection's main database: where unqualified names are found.
  const std::string& MainSchema() const { return mainSchema_; }
  std::uint32_t Id() const { return id_; }

  std::string Nls(const std::string& name) const;
  const std::map<std::string, std::string>& NlsSettings() const { return nls_; }

  // The owner number of the current transaction's locks and work. A branch started on the session takes it as
  // its own (`AttachBranch`); a detached branch takes it away, keeping its locks and work, and a resume gives it
  // back. Only one branch is attached at a time.
  std::uint64_t LockOwner() const { return owner_; }
  bool BranchAttached() const { return branchAttached_; }
  std::uint64_t AttachBranch();
  std::uint64_t DetachTransaction();
  void ResumeTransaction(std::uint64_t owner);
  bool HasPendingWork(std::uint64_t owner) const;
  bool HasPendingWork() const { return HasPendingWork(owner_); }

  // End the work and the locks of the current owner, or of one branch (attached or detached) alone.
  OraError Commit() { return Commit(owner_); }
  OraError Rollback() { return Rollback(owner_); }
  OraError Commit(std::uint64_t owner);
  OraError Rollback(std::uint64_t owner);
  // From SQLite's pre-update hook: a change made for the current owner.
  void NoteChange(int op, const char* schema, const char* table, std::int64_t oldRowid, std::int64_t newRowid);

  OraError Execute(const SqlPlan& plan, const std::vector<BindInput>& binds, bool describeOnly, ExecOutcome& out);

  // Writes a LOB's whole value back to its row.
  OraError WriteValue(const RowOrigin& origin, const Value& value);

  // NEXTVAL and CURRVAL of a sequence named as in SQL ("S" or "OWNER.S").
  OraError NextValue(const std::string& name, std::int64_t& value);
  OraError CurrentValue(const std::string& name, std::int64_t& value) const;

  // The synonyms the session finds by their bare names (its current schema's and the public ones, a database link's
  // aside), each to its table as "OWNER.TABLE".
  std::map<std::string, std::string> SynonymTargets() const;

  // The schema name ("main" or a user's) of an owner name as written in SQL, and an owner's key for the locks.
  std::string SchemaOf(const std::string& owner) const;
  std::string LockKey(const std::string& schema, const std::string& table) const;
  std::string OwnerOfSchema(const std::string& schema) const;

  void NoteTouchedRow(const char* schema, const char* table, std::int64_t rowid);
  // Whether a statement may read or change a table of this schema: its own, and others only when it named them.
  bool MayUse(const char* table, const char* schema, const char* view) const;

 private:
  Session() = default;
  OraError Connect(const std::string& mainSchema);
  OraError ApplySettings(const SqlPlan& plan);
  OraError RunSqlite(const SqlPlan& plan, const std::vector<BindInput>& binds, bool describeOnly, ExecOutcome& out);
  OraError RunDdl(const std::string& sql);
  void FitColumns();
  OraColumnType ComputedType(const SqlPlan& plan, const ResultSet& result, std::size_t column, std::size_t columns);
  OraError RunMetadata(const SqlPlan& plan);
  OraError LockTables(const SqlPlan& plan);
  OraError BeginWrite();
  // Ends the SQLite transaction once no branch holds work in it: committed when a branch's work was kept.
  OraError EndSharedWork(bool keep);
  OraError CommitBesideOthers();
  void ForgetBranch(std::uint64_t owner);
  void SplitName(const std::string& name, std::string& owner, std::string& object) const;

  std::shared_ptr<Database> db_;
  sqlite3* connection_ = nullptr;
  std::string user_;
  std::string currentSchema_;
  std::string mainSchema_;
  std::uint32_t id_ = 0;
  std::map<std::string, std::string> nls_;
  std::map<std::string, std::int64_t> currentValues_;
  std::uint64_t owner_ = 0;
  bool transactionOpen_ = false;
  bool wrote_ = false;
  bool branchAttached_ = false;
  bool keptWork_ = false;  // a branch committed work that waits in the SQLite transaction for the others to end
  std::set<std::uint64_t> detached_;  // the owners of the branches detached from this session
  BranchUndo undo_;
  std::vector<std::pair<std::string, std::int64_t>> touched_;  // lock key, rowid
  bool restricted_ = false;  // while a client's statement is prepared
  std::vector<std::string> namedSchemas_;
  std::set<std::string> localTables_;  // upper case
};

}  // namespace qzoci
