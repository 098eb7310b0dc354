// The stand-in's own row and table locks, which SQLite does not have: taken by SELECT ... FOR UPDATE, LOCK TABLE
// and DML, owned by a transaction of a session (an owner number), and released together at its commit or
// rollback. A request that conflicts with another owner's lock fails at once (ORA-00054): the stand-in never waits.
// One manager serves every session of a database in the process.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace qzoci {

class LockManager {
 public:
  using Owner = std::uint64_t;
  enum Mode { kRowShare = 2, kRowExclusive = 3, kShare = 4, kShareRowExclusive = 5, kExclusive = 6 };

  // "ROW SHARE", "SHARE UPDATE", "ROW EXCLUSIVE", "SHARE", "SHARE ROW EXCLUSIVE", "EXCLUSIVE"; 0 when unknown.
  static int ModeOfText(const std::string& text);

  // Tables are named "OWNER.TABLE" in upper case. Each call answers false, taking nothing, on a conflict.
  bool LockTable(Owner owner, const std::string& table, int mode);
  bool LockRows(Owner owner, const std::string& table, const std::vector<std::int64_t>& rowids, int tableMode);
  // Whether another owner holds one of these rows.
  bool RowsLockedByOthers(Owner owner, const std::string& table, const std::vector<std::int64_t>& rowids) const;
  // Whether another owner holds the table or one of its rows, as a DDL statement on it would wait for.
  bool LockedByOthers(Owner owner, const std::string& table) const;
  void Release(Owner owner);
  bool Holds(Owner owner) const;

 private:
  bool TableConflicts(Owner owner, const std::string& table, int mode) const;

  mutable std::mutex mutex_;
  std::map<std::string, std::map<Owner, int>> tables_;
  std::map<std::string, std::map<std::int64_t, Owner>> rows_;
  std::map<Owner, std::set<std::string>> touched_;
};

}  // namespace qzoci
