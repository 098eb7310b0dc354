#include "standin/oci/database.h"

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#if defined(_WIN32)
#include <process.h>
#include <random>
#else
#include <unistd.h>
#endif

#include "standin/oci/immortal.h"
#include "standin/oci/text_codec.h"

namespace qzoci {

namespace {

// The registry of open databases and the settings it was read with. A client may be called from a program's exit
// handlers, so none of it is ever destroyed.
struct RegistryState {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<Database>> databases;
  bool directoryRead = false;
  std::string directory;
  std::string privateDirectory;  // the in-memory folder, made at first use
};

RegistryState& State() {
  static Immortal<RegistryState> state;
  return *state;
}

std::string FileSafe(const std::string& text) {
  std::string out;
  for (const char c : text) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    out += ok ? c : '_';
  }
  return out.empty() ? "DEFAULT" : out;
}

// A small statement helper: prepare, bind texts and integers in order, step.
class Query {
 public:
  Query(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr); }
  ~Query() { sqlite3_finalize(statement_); }
  Query& Text(const std::string& value) {
    sqlite3_bind_text(statement_, ++index_, value.c_str(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Query& Int(std::int64_t value) {
    sqlite3_bind_int64(statement_, ++index_, value);
    return *this;
  }
  bool Row() { return statement_ && sqlite3_step(statement_) == SQLITE_ROW; }
  bool Run() {
    if (!statement_) return false;
    const int rc = sqlite3_step(statement_);
    return rc == SQLITE_DONE || rc == SQLITE_ROW;
  }
  std::string TextAt(int column) const {
    const unsigned char* text = sqlite3_column_text(statement_, column);
    return text ? reinterpret_cast<const char*>(text) : "";
  }
  std::int64_t IntAt(int column) const { return sqlite3_column_int64(statement_, column); }

 private:
  sqlite3_stmt* statement_ = nullptr;
  int index_ = 0;
};

// Without a data directory, databases live in a private folder in memory (/dev/shm where there is one) that goes
// with the process. SQLite's own in-memory databases would not do: they lock a whole database against readers
// while one session writes, where files in WAL mode let readers see the committed state, as Oracle does.
// The folder goes when the library is unloaded (at the end of the process, after the program's exit handlers,
// which may still use it), not from an exit handler of its own.
__attribute__((destructor)) void RemovePrivateDirectory() {
  std::error_code ignored;
  if (!State().privateDirectory.empty()) std::filesystem::remove_all(State().privateDirectory, ignored);
}

std::string StorageDirectory(const std::string& configured) {
  if (!configured.empty()) return configured;
  std::string& folder = State().privateDirectory;
  if (folder.empty()) {
#if defined(_WIN32)
    // A fresh folder under the user's temporary folder, named after the process and a random number.
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    std::random_device random;
    for (int attempt = 0; attempt < 16 && folder.empty() && !error; ++attempt) {
      const std::filesystem::path candidate =
          base / ("qzoci-" + std::to_string(::_getpid()) + "-" + std::to_string(random()));
      if (std::filesystem::create_directory(candidate, error)) folder = candidate.generic_string();
    }
#else
    std::string pattern = (::access("/dev/shm", W_OK) == 0 ? std::string("/dev/shm") : std::string("/tmp")) +
                          "/qzoci-" + std::to_string(::getpid()) + "-XXXXXX";
    if (::mkdtemp(pattern.data())) folder = pattern;
#endif
  }
  return folder;
}

std::string DatabaseName(const std::string& dataSource) {
  std::string name = ToUpperAscii(dataSource);
  if (name.rfind("ORA:", 0) == 0) name.erase(0, 4);
  return FileSafe(name);
}

// Whether QZOCI_DATA_SOURCES (names separated by commas or spaces) lists the data source: those are made at their
// first use, so that a program run with no control over the stand-in finds its databases.
bool ListedInSettings(const std::string& name) {
  const char* listed = std::getenv("QZOCI_DATA_SOURCES");
  if (!listed) return false;
  std::string item;
  for (const char* p = listed;; ++p) {
    if (*p == ',' || *p == ' ' || *p == ';' || *p == 0) {
      if (!item.empty() && DatabaseName(item) == name) return true;
      item.clear();
      if (*p == 0) return false;
    } else {
      item += *p;
    }
  }
}

}  // namespace

void Database::SetDataDirectory(const std::string& directory) {
  RegistryState& s = State();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.directory = directory;
  s.directoryRead = true;
}

std::string Database::DataDirectory() {
  RegistryState& s = State();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (!s.directoryRead) {
    const char* fromEnvironment = std::getenv("QZOCI_DATA_DIR");
    s.directory = fromEnvironment ? fromEnvironment : "";
    s.directoryRead = true;
  }
  return s.directory;
}

std::shared_ptr<Database> Database::Open(const std::string& dataSource, OraError& error) {
  return OpenOrCreate(dataSource, false, error);
}

std::shared_ptr<Database> Database::Create(const std::string& dataSource, OraError& error) {
  return OpenOrCreate(dataSource, true, error);
}

std::shared_ptr<Database> Database::OpenOrCreate(const std::string& dataSource, bool create, OraError& error) {
  const std::string name = DatabaseName(dataSource);
  const std::string configured = DataDirectory();
  RegistryState& s = State();
  std::lock_guard<std::mutex> guard(s.mutex);
  const std::string directory = StorageDirectory(configured);
  const std::string key = directory + "|" + name;
  auto found = s.databases.find(key);
  if (found != s.databases.end()) return found->second;

  // A name that was never made is not a database: the client cannot resolve it. One made before (its metadata
  // file is there, from this process or an earlier one) opens as it is.
  const std::string metaFile = directory + "/" + name + ".qzdb";
  std::error_code ignored;
  if (!create && !std::filesystem::exists(metaFile, ignored) && !ListedInSettings(name)) {
    error = MakeOraError(12154);
    return nullptr;
  }
  std::shared_ptr<Database> db(new Database());
  db->name_ = name;
  db->directory_ = directory;
  const std::string metaUri = "file:" + metaFile;
  if (sqlite3_open_v2(metaUri.c_str(), &db->meta_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI,
                      nullptr) != SQLITE_OK) {
    error = MakeOraError(12154);
    return nullptr;
  }
  sqlite3_busy_timeout(db->meta_, 2000);
  db->Exec("PRAGMA journal_mode=WAL");
  db->Exec(
      "CREATE TABLE IF NOT EXISTS qz_users(name TEXT PRIMARY KEY, password TEXT);"
      "CREATE TABLE IF NOT EXISTS qz_sequences(owner TEXT, name TEXT, next_value INTEGER, increment INTEGER,"
      " min_value INTEGER, max_value INTEGER, cycle INTEGER, PRIMARY KEY(owner, name));"
      "CREATE TABLE IF NOT EXISTS qz_comments(owner TEXT, table_name TEXT, column_name TEXT, comments TEXT,"
      " PRIMARY KEY(owner, table_name, column_name));"
      "CREATE TABLE IF NOT EXISTS qz_synonyms(owner TEXT, name TEXT, table_owner TEXT, table_name TEXT,"
      " db_link TEXT, PRIMARY KEY(owner, name));");
  // A new database has the administrator every Oracle database comes with.
  if (db->Users().empty()) db->CreateUser("SYSTEM", "manager");
  s.databases[key] = db;
  return db;
}

void Database::CloseAll() {
  std::map<std::string, std::shared_ptr<Database>> gone;
  {
    RegistryState& s = State();
    std::lock_guard<std::mutex> guard(s.mutex);
    gone.swap(s.databases);
  }
}

Database::~Database() { sqlite3_close_v2(meta_); }

bool Database::Exec(const std::string& sql) const {
  return sqlite3_exec(meta_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::string Database::SchemaUri(const std::string& user) const {
  const std::string safe = FileSafe(ToUpperAscii(user));
  return "file:" + directory_ + "/" + name_ + "." + safe + ".qzdb";
}

bool Database::CheckUser(const std::string& user, const std::string& password) const {
  std::lock_guard<std::recursive_mutex> guard(mutex_);
  Query q(meta_, "SELECT password FROM qz_users WHERE name = ?");
  q.Text(ToUpperAscii(user));
  return q.Row() && q.TextAt(0) == password;
}

bool Database::UserExists(const std::string& user) const {
  std::lock_guard<std::recursive_mutex> guard(mutex_);
  Query q(meta_, "SELECT 1 FROM qz_users WHERE name = ?");
  q.Text(ToUpperAscii(user));
  return q.Row();
}

OraError Database::CreateUser(const std::string& user, const std::string& password) {
  std::lock_guard<std::recursive_mutex> guard(mutex_);
  const std::string name = ToUpperAscii(user);
  if (UserExists(name)) return MakeOraError(1920, name);
  Query q(meta_, "INSERT INTO qz_users(name, password) VALUES(?, ?)");
  q.Text(name).Text(password);
  if (!q.Run()) return MakeOraError(600, "qzoci], [create user");
  return OraError();
}

OraError Database::DropUser(const std::string& user) {
  std::lock_guard<std::recursive_mutex> guard(mutex_);
  const std::string name = ToUpperAscii(user);
  if (!UserExists(name)) return MakeOraError(1918, name);
  Query q(meta_, "DELETE FROM qz_users WHERE name = ?");
  q.Text(name).Run();
  return OraError();
}

std::vector<std::string> Database::Users() const {
  std::lock_guard<std::recursive_mutex> guard(mutex_);
  std::vector<std::string> users;
  Query q(meta_, "SELECT name FROM qz_users ORDER BY rowid");
  while (q.Row()) users.push_back(q.TextAt(0));
  return users;
}

OraError Database::CreateSequence(const SequenceInfo& s) {
  std::lock_guard<std::recursive_mutex> guard(mutex_);
  if (FindSequence(s.owner, s.name)) return MakeOraError(955);
  Query q(meta_,
          "INSERT INTO qz_sequences(owner, name, next_value, increment, min_value, max_value, cycle)"
          " VALUES(?, ?, ?, ?, ?, ?, ?)");
  q.Text(s.owner).Text(s.name).Int(s.next).Int(s.increment).Int(s.minValue).Int(s.maxValue).Int(s.cycle ? 1 : 0);
  return q.Run() ? OraError() : MakeOraError(600, "qzoci], [create sequence");
}

OraError Database::DropSequence(const std::string& owner, const std::string& name) {
  std::lock_guard<std::recursive_mutex> guard(mutex_);
  if (!FindSequence(owner, name)) return MakeOraError(2289);
  Query q(meta_, "DELETE FROM qz_sequences WHERE owner = ? AND name = ?");
  q.Text(owner).Text(name).Run();
  return OraError();
}

std::optional<SequenceInfo> Database::FindSequence(const std::string& owner, const std::string& name) const {
  std::lock_guard<std::recursive_mutex> guard(mutex_);
  Query q(meta_,
          "SELECT next_value, increment, min_value, max_value, cycle FROM qz_sequences WHERE owner = ? AND name = ?");
  q.Text(owner).Text(name);
  if (!q.Row()) return std::nullopt;
  SequenceInfo s;
  s.owner = owner;
  s.name = name;
  s.next = q.IntAt(0);
  s.increment = q.IntAt(1);
  s.minValue = q.IntAt(2);
  s.maxValue = q.IntAt(3);
  s.cycle = q.IntAt(4) != 0;
  return s;
}

OraError Database::NextValue(const std::string& owner, const std::string& name, std::int64_t& value) {
  std::lock_guard<std::recursive_mutex> guard(mutex_);
  std::optional<SequenceInfo> s = FindSequence(owner, name);
  if (!s) return MakeOraError(2289);
  value = s->next;
  std::int64_t next = s->next + s->increment;
  if (s->maxValue != 0 && s->increment > 0 && value > s->maxValue) {
    if (!s->cycle) return MakeOraError(8004, owner + "." + name);
    value = s->minValue;
    next = value + s->increment;
  }
  Query q(meta_, "UPDATE qz_sequences SET next_value = ? WHERE owner = ? AND name = ?");
  q.Int(next).Text(owner).Text(name);
  return q.Run() ? OraError() : MakeOraError(54);
}

std::vector<SequenceInfo> Database::Sequences() const {
  std::lock_guard<std::recursive_mutex> guard(mutex_);
  std::vector<SequenceInfo> all;
  Query q(meta_, "SELECT owner, name FROM qz_sequences ORDER BY owner, name");
  while (q.Row()) {
    if (auto s = FindSequence(q.TextAt(0), q.TextAt(1))) all.push_back(*s);
  }
  return all;
}

OraError Database::SetComment(const CommentInfo& c) {
  std::lock_guard<std::recursive_mutex> guard(mutex_);
  Query q(meta_, "INSERT OR REPLACE INTO qz_comments(owner, table_name, column_name, comments) VALUES(?, ?, ?, ?)");
  q.Text(c.owner).Text(c.table).Text(c.column).Text(c.text);
  return q.Run() ? OraError() : MakeOraError(600, "qzoci], [comment");
}

std::vector<CommentInfo> Database::Comments() const {
  std::lock_guard<std::recursive_mutex> guard(mutex_);
  std::vector<CommentInfo> all;
  Query q(meta_, "SELECT owner, table_name, column_name, comments FROM qz_comments");
  while (q.Row()) all.push_back(CommentInfo{q.TextAt(0), q.TextAt(1), q.TextAt(2), q.TextAt(3)});
  return all;
}

OraError Database::CreateSynonym(const SynonymInfo& s) {
  std::lock_guard<std::recursive_mutex> guard(mutex_);
  Query q(meta_,
          "INSERT OR REPLACE INTO qz_synonyms(owner, name, table_owner, table_name, db_link) VALUES(?, ?, ?, ?, ?)");
  q.Text(s.owner).Text(s.name).Text(s.tableOwner).Text(s.tableName).Text(s.dbLink);
  return q.Run() ? OraError() : MakeOraError(600, "qzoci], [synonym");
}

OraError Database::DropSynonym(const std::string& owner, const std::string& name) {
  std::lock_guard<std::recursive_mutex> guard(mutex_);
  if (!FindSynonym(owner, name)) return MakeOraError(4043, owner + "." + name);
  Query q(meta_, "DELETE FROM qz_synonyms WHERE owner = ? AND name = ?");
  q.Text(owner).Text(name).Run();
  return OraError();
}

std::vector<SynonymInfo> Database::Synonyms() const {
  std::lock_guard<std::recursive_mutex> guard(mutex_);
  std::vector<SynonymInfo> all;
  Query q(meta_, "SELECT owner, name, table_owner, table_name, db_link FROM qz_synonyms ORDER BY owner, name");
  while (q.Row()) all.push_back(SynonymInfo{q.TextAt(0), q.TextAt(1), q.TextAt(2), q.TextAt(3), q.TextAt(4)});
  return all;
}

std::optional<SynonymInfo> Database::FindSynonym(const std::string& owner, const std::string& name) const {
  for (const SynonymInfo& s : Synonyms()) {
    if (s.owner == owner && s.name == name) return s;
  }
  return std::nullopt;
}

}  // namespace qzoci
