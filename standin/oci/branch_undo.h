// What each transaction branch of a session changed, as the old rows SQLite reports before each change: the
// session's branches share its one SQLite transaction, so a branch that ends alone (rolled back while another
// detached branch still holds work) is undone row by row, newest change first, leaving the other branches' rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_value;

namespace qzoci {

class BranchUndo {
 public:
  using Owner = std::uint64_t;
  BranchUndo() = default;
  ~BranchUndo();
  BranchUndo(const BranchUndo&) = delete;
  BranchUndo& operator=(const BranchUndo&) = delete;

  // From SQLite's pre-update hook: `op` is SQLITE_INSERT, SQLITE_UPDATE or SQLITE_DELETE.
  void Note(Owner owner, sqlite3* db, int op, const char* schema, const char* table, std::int64_t oldRowid,
            std::int64_t newRowid);
  std::size_t Count(Owner owner) const;
  // Forgets the changes after the first `count` (a statement SQLite already rolled back to its savepoint).
  void Truncate(Owner owner, std::size_t count);
  // Undoes the owner's changes on `db` and forgets them; false when a row could not be put back.
  bool Undo(Owner owner, sqlite3* db);
  // Takes the owner's changes out of `db` (undone, as Undo does) keeping the rows as they stood, so that the SQLite
  // transaction can be committed without them; Restore writes them back as the owner's changes again.
  struct Shelf {
    struct Row {
      std::string schema;
      std::string table;
      std::int64_t rowid = 0;
      std::vector<sqlite3_value*> values;  // none: the owner deleted the row (or moved it to another rowid)
      bool present = false;
    };
    Owner owner = 0;
    std::vector<Row> rows;
    Shelf() = default;
    Shelf(Shelf&& other) noexcept : owner(other.owner), rows(std::move(other.rows)) { other.rows.clear(); }
    Shelf(const Shelf&) = delete;
    Shelf& operator=(const Shelf&) = delete;
    Shelf& operator=(Shelf&&) = delete;
    ~Shelf();
  };
  Shelf Shelve(Owner owner, sqlite3* db);
  bool Restore(const Shelf& shelf, sqlite3* db);
  std::vector<Owner> Owners() const;
  void Forget(Owner owner);
  bool HasChanges() const { return !changes_.empty(); }
  bool HasChangesOf(Owner owner) const { return changes_.count(owner) != 0; }
  bool OnlyChangesOf(Owner owner) const { return changes_.size() == (HasChangesOf(owner) ? 1u : 0u); }

 private:
  struct Change {
    int op = 0;
    std::string schema;
    std::string table;
    std::int64_t oldRowid = 0;
    std::int64_t newRowid = 0;
    std::vector<sqlite3_value*> old;  // the row before an UPDATE or a DELETE
  };
  static void Free(Change& change);

  bool replaying_ = false;
  bool restoring_ = false;
  Owner restoreOwner_ = 0;  // while Restore writes: the owner its changes are noted for
  std::map<Owner, std::vector<Change>> changes_;
};

}  // namespace qzoci
