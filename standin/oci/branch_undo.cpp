#include "standin/oci/branch_undo.h"

#include <sqlite3.h>

namespace qzoci {

namespace {

std::string Quoted(const std::string& name) {
  std::string out = "\"";
  for (const char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

std::vector<std::string> ColumnNames(sqlite3* db, const std::string& schema, const std::string& table) {
  std::vector<std::string> names;
  sqlite3_stmt* s = nullptr;
  const std::string sql = "PRAGMA " + Quoted(schema) + ".table_info(" + Quoted(table) + ")";
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK) {
    while (sqlite3_step(s) == SQLITE_ROW) names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 1)));
  }
  sqlite3_finalize(s);
  return names;
}

}  // namespace

BranchUndo::~BranchUndo() {
  for (auto& [owner, changes] : changes_) {
    for (Change& change : changes) Free(change);
  }
}

void BranchUndo::Free(Change& change) {
  for (sqlite3_value* value : change.old) sqlite3_value_free(value);
  change.old.clear();
}

void BranchUndo::Note(Owner owner, sqlite3* db, int op, const char* schema, const char* table, std::int64_t oldRowid,
                      std::int64_t newRowid) {
  if (replaying_ || !schema || !table || std::string(schema) == "temp") return;
  if (restoring_) owner = restoreOwner_;
  Change change;
  change.op = op;
  change.schema = schema;
  change.table = table;
  change.oldRowid = oldRowid;
  change.newRowid = newRowid;
  if (op != SQLITE_INSERT) {
    const int count = sqlite3_preupdate_count(db);
    for (int i = 0; i < count; ++i) {
      sqlite3_value* value = nullptr;
      sqlite3_preupdate_old(db, i, &value);
      change.old.push_back(value ? sqlite3_value_dup(value) : nullptr);
    }
  }
  changes_[owner].push_back(std::move(change));
}

std::size_t BranchUndo::Count(Owner owner) const {
  const auto found = changes_.find(owner);
  return found == changes_.end() ? 0 : found->second.size();
}

void BranchUndo::Truncate(Owner owner, std::size_t count) {
  const auto found = changes_.find(owner);
  if (found == changes_.end()) return;
  while (found->second.size() > count) {
    Free(found->second.back());
    found->second.pop_back();
  }
  if (found->second.empty()) changes_.erase(found);
}

bool BranchUndo::Undo(Owner owner, sqlite3* db) {
  const auto found = changes_.find(owner);
  if (found == changes_.end()) return true;
  bool whole = true;
  replaying_ = true;
  for (auto change = found->second.rbegin(); change != found->second.rend(); ++change) {
    const std::string name = Quoted(change->schema) + "." + Quoted(change->table);
    const std::vector<std::string> columns = ColumnNames(db, change->schema, change->table);
    std::string sql;
    if (change->op == SQLITE_INSERT) {
      sql = "DELETE FROM " + name + " WHERE rowid = ?";
    } else if (change->op == SQLITE_DELETE) {
      sql = "INSERT INTO " + name + "(rowid";
      for (const std::string& column : columns) sql += ", " + Quoted(column);
      sql += ") VALUES (?";
      for (std::size_t i = 0; i < columns.size(); ++i) sql += ", ?";
      sql += ")";
    } else {
      sql = "UPDATE " + name + " SET rowid = ?";
      for (const std::string& column : columns) sql += ", " + Quoted(column) + " = ?";
      sql += " WHERE rowid = ?";
    }
    sqlite3_stmt* s = nullptr;
    bool done = columns.size() == change->old.size() || change->op == SQLITE_INSERT;
    if (done && sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK) {
      int at = 1;
      sqlite3_bind_int64(s, at++, change->op == SQLITE_INSERT ? change->newRowid : change->oldRowid);
      if (change->op != SQLITE_INSERT) {
        for (sqlite3_value* value : change->old) {
          if (value) sqlite3_bind_value(s, at, value);
          ++at;
        }
      }
      if (change->op == SQLITE_UPDATE) sqlite3_bind_int64(s, at, change->newRowid);
      done = sqlite3_step(s) == SQLITE_DONE;
    } else {
      done = false;
    }
    sqlite3_finalize(s);
    whole = whole && done;
    Free(*change);
  }
  replaying_ = false;
  changes_.erase(found);
  return whole;
}

void BranchUndo::Forget(Owner owner) { Truncate(owner, 0); }

std::vector<BranchUndo::Owner> BranchUndo::Owners() const {
  std::vector<Owner> owners;
  for (const auto& entry : changes_) owners.push_back(entry.first);
  return owners;
}

BranchUndo::Shelf::~Shelf() {
  for (Row& row : rows) {
    for (sqlite3_value* value : row.values) sqlite3_value_free(value);
  }
}

BranchUndo::Shelf BranchUndo::Shelve(Owner owner, sqlite3* db) {
  Shelf shelf;
  shelf.owner = owner;
  const auto found = changes_.find(owner);
  if (found == changes_.end()) return shelf;
  // Every rowid a change reached, once, as it stands now.
  for (const Change& change : found->second) {
    for (const std::int64_t rowid : {change.oldRowid, change.newRowid}) {
      if (change.op == SQLITE_INSERT && rowid == change.oldRowid && rowid != change.newRowid) continue;
      bool seen = false;
      for (const Shelf::Row& row : shelf.rows) {
        seen = seen || (row.rowid == rowid && row.schema == change.schema && row.table == change.table);
      }
      if (seen) continue;
      Shelf::Row row;
      row.schema = change.schema;
      row.table = change.table;
      row.rowid = rowid;
      sqlite3_stmt* s = nullptr;
      const std::string sql = "SELECT * FROM " + Quoted(change.schema) + "." + Quoted(change.table) + " WHERE rowid = ?";
      if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK) {
        sqlite3_bind_int64(s, 1, rowid);
        if (sqlite3_step(s) == SQLITE_ROW) {
          row.present = true;
          for (int i = 0; i < sqlite3_column_count(s); ++i) row.values.push_back(sqlite3_value_dup(sqlite3_column_value(s, i)));
        }
      }
      sqlite3_finalize(s);
      shelf.rows.push_back(std::move(row));
    }
  }
  Undo(owner, db);
  return shelf;
}

bool BranchUndo::Restore(const Shelf& shelf, sqlite3* db) {
  bool whole = true;
  restoring_ = true;
  restoreOwner_ = shelf.owner;
  // Rows the owner took away first, so that a key it moved is free again for the row it moved to.
  for (const bool present : {false, true}) {
    for (const Shelf::Row& row : shelf.rows) {
      if (row.present != present) continue;
      const std::string name = Quoted(row.schema) + "." + Quoted(row.table);
      bool exists = false;
      sqlite3_stmt* s = nullptr;
      if (sqlite3_prepare_v2(db, ("SELECT 1 FROM " + name + " WHERE rowid = ?").c_str(), -1, &s, nullptr) ==
          SQLITE_OK) {
        sqlite3_bind_int64(s, 1, row.rowid);
        exists = sqlite3_step(s) == SQLITE_ROW;
      }
      sqlite3_finalize(s);
      if (!present && !exists) continue;
      const std::vector<std::string> columns = ColumnNames(db, row.schema, row.table);
      std::string sql;
      if (!present) {
        sql = "DELETE FROM " + name + " WHERE rowid = ?";
      } else if (exists) {
        sql = "UPDATE " + name + " SET rowid = ?";
        for (const std::string& column : columns) sql += ", " + Quoted(column) + " = ?";
        sql += " WHERE rowid = ?";
      } else {
        sql = "INSERT INTO " + name + "(rowid";
        for (const std::string& column : columns) sql += ", " + Quoted(column);
        sql += ") VALUES (?";
        for (std::size_t i = 0; i < columns.size(); ++i) sql += ", ?";
        sql += ")";
      }
      bool done = !present || columns.size() == row.values.size();
      if (done && sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK) {
        int at = 1;
        sqlite3_bind_int64(s, at++, row.rowid);
        for (sqlite3_value* value : row.values) sqlite3_bind_value(s, at++, value);
        if (present && exists) sqlite3_bind_int64(s, at, row.rowid);
        done = sqlite3_step(s) == SQLITE_DONE;
      } else {
        done = false;
      }
      sqlite3_finalize(s);
      whole = whole && done;
    }
  }
  restoring_ = false;
  return whole;
}

}  // namespace qzoci
