// One database of the stand-in: what a data source name opens. Its schemas (one per user) are SQLite files in the
// data directory ("<DSN>.<USER>.qzdb") or, with no directory set, in a private in-memory folder of the process;
// beside them a metadata database ("<DSN>.qzdb") keeps what SQLite has no place for: the users and their
// passwords, the sequences, the comments and the synonyms. The metadata is written only through the database's own
// connection, outside any session's transaction, as Oracle keeps sequences and DDL outside a transaction.
// Databases are shared by every session of the process that names the same data source, and live until closed.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "standin/oci/lock_manager.h"
#include "standin/oci/ora_error.h"

struct sqlite3;

namespace qzoci {

struct SequenceInfo {
  std::string owner;
  std::string name;
  std::int64_t next = 1;
  std::int64_t increment = 1;
  std::int64_t minValue = 1;
  std::int64_t maxValue = 0;  // 0: none
  bool cycle = false;
};

struct SynonymInfo {
  std::string owner;  // "PUBLIC" for a public synonym
  std::string name;
  std::string tableOwner;
  std::string tableName;
  std::string dbLink;
};

struct CommentInfo {
  std::string owner;
  std::string table;
  std::string column;  // empty for the table's own comment
  std::string text;
};

class Database {
 public:
  // The directory of the database files; empty for in-memory databases. Read from QZOCI_DATA_DIR at first use.
  static void SetDataDirectory(const std::string& directory);
  static std::string DataDirectory();
  // Finds or opens the database of a data source name ("ORA:" prefix and case ignored): one made by Create, found
  // in the data directory, or listed in QZOCI_DATA_SOURCES. Any other name is ORA-12154.
  static std::shared_ptr<Database> Open(const std::string& dataSource, OraError& error);
  // Makes the database of a data source name, or finds it when it exists.
  static std::shared_ptr<Database> Create(const std::string& dataSource, OraError& error);
  // Forgets every open database (sessions keep theirs open until they end).
  static void CloseAll();

  ~Database();

  const std::string& Name() const { return name_; }
  const std::string& Directory() const { return directory_; }
  // The SQLite file name (a URI) of a user's schema.
  std::string SchemaUri(const std::string& user) const;

  bool CheckUser(const std::string& user, const std::string& password) const;
  bool UserExists(const std::string& user) const;
  OraError CreateUser(const std::string& user, const std::string& password);
  OraError DropUser(const std::string& user);
  std::vector<std::string> Users() const;

  OraError CreateSequence(const SequenceInfo& sequence);
  OraError DropSequence(const std::string& owner, const std::string& name);
  std::optional<SequenceInfo> FindSequence(const std::string& owner, const std::string& name) const;
  OraError NextValue(const std::string& owner, const std::string& name, std::int64_t& value);
  std::vector<SequenceInfo> Sequences() const;

  OraError SetComment(const CommentInfo& comment);
  std::vector<CommentInfo> Comments() const;
  OraError CreateSynonym(const SynonymInfo& synonym);
  OraError DropSynonym(const std::string& owner, const std::string& name);
  std::vector<SynonymInfo> Synonyms() const;
  std::optional<SynonymInfo> FindSynonym(const std::string& owner, const std::string& name) const;

  LockManager& Locks() { return locks_; }

 private:
  Database() = default;
  static std::shared_ptr<Database> OpenOrCreate(const std::string& dataSource, bool create, OraError& error);
  bool Exec(const std::string& sql) const;

  std::string name_;
  std::string directory_;
  sqlite3* meta_ = nullptr;
  mutable std::recursive_mutex mutex_;
  LockManager locks_;
};

}  // namespace qzoci
