#include "standin/oci/lock_manager.h"

namespace qzoci {

namespace {

// Oracle's table lock compatibility: may `held` by one owner stand beside `wanted` by another?
bool Compatible(int held, int wanted) {
  switch (held) {
    case LockManager::kRowShare:
      return wanted != LockManager::kExclusive;
    case LockManager::kRowExclusive:
      return wanted == LockManager::kRowShare || wanted == LockManager::kRowExclusive;
    case LockManager::kShare:
      return wanted == LockManager::kRowShare || wanted == LockManager::kShare;
    case LockManager::kShareRowExclusive:
      return wanted == LockManager::kRowShare;
    default:
      return false;
  }
}

}  // namespace

int LockManager::ModeOfText(const std::string& text) {
  if (text == "ROW SHARE" || text == "SHARE UPDATE") return kRowShare;
  if (text == "ROW EXCLUSIVE") return kRowExclusive;
  if (text == "SHARE") return kShare;
  if (text == "SHARE ROW EXCLUSIVE") return kShareRowExclusive;
  if (text == "EXCLUSIVE") return kExclusive;
  return 0;
}

bool LockManager::TableConflicts(Owner owner, const std::string& table, int mode) const {
  const auto t = tables_.find(table);
  if (t == tables_.end()) return false;
  for (const auto& [other, held] : t->second) {
    if (other != owner && !Compatible(held, mode)) return true;
  }
  return false;
}

bool LockManager::LockTable(Owner owner, const std::string& table, int mode) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (TableConflicts(owner, table, mode)) return false;
  int& held = tables_[table][owner];
  if (mode > held) held = mode;
  touched_[owner].insert(table);
  return true;
}

bool LockManager::RowsLockedByOthers(Owner owner, const std::string& table,
                                     const std::vector<std::int64_t>& rowids) const {
  const auto t = rows_.find(table);
  if (t == rows_.end()) return false;
  for (const std::int64_t rowid : rowids) {
    const auto r = t->second.find(rowid);
    if (r != t->second.end() && r->second != owner) return true;
  }
  return false;
}

bool LockManager::LockRows(Owner owner, const std::string& table, const std::vector<std::int64_t>& rowids,
                           int tableMode) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (TableConflicts(owner, table, tableMode)) return false;
  if (RowsLockedByOthers(owner, table, rowids)) return false;
  int& held = tables_[table][owner];
  if (tableMode > held) held = tableMode;
  auto& rows = rows_[table];
  for (const std::int64_t rowid : rowids) rows[rowid] = owner;
  touched_[owner].insert(table);
  return true;
}

bool LockManager::LockedByOthers(Owner owner, const std::string& table) const {
  std::lock_guard<std::mutex> guard(mutex_);
  return TableConflicts(owner, table, kExclusive);
}

void LockManager::Release(Owner owner) {
  std::lock_guard<std::mutex> guard(mutex_);
  const auto touched = touched_.find(owner);
  if (touched == touched_.end()) return;
  for (const std::string& table : touched->second) {
    const auto t = tables_.find(table);
    if (t != tables_.end()) {
      t->second.erase(owner);
      if (t->second.empty()) tables_.erase(t);
    }
    const auto r = rows_.find(table);
    if (r != rows_.end()) {
      for (auto it = r->second.begin(); it != r->second.end();) {
        it = it->second == owner ? r->second.erase(it) : std::next(it);
      }
      if (r->second.empty()) rows_.erase(r);
    }
  }
  touched_.erase(touched);
}

bool LockManager::Holds(Owner owner) const {
  std::lock_guard<std::mutex> guard(mutex_);
  return touched_.count(owner) != 0;
}

}  // namespace qzoci
