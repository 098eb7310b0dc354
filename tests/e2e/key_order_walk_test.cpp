// Random walks through the command-line host checked against a model of the server's key order. A seeded generator
// writes steps (reads in four directions, record N, seeks and positions per mille through each key, adds, key-changing
// modifies and deletes, copies of the context, commits by a second connection) on a table with a unique key ID and two
// keys with duplicates and NULLs (GRP, NAME), or on a query given as SQL text over it. The model orders the rows as the
// server does (NULL after every value ascending; ties by ID on a table, by the query's row order on a query) and
// accepts each answer the driver may give: a walk under way may or may not see another connection's commits or its
// own adds, a modified record may be met at its old or new place, a seek that finds no equal key may land on the next
// record or on none. Patterns of steps that once lost what the program wrote are mixed in (values set on one table
// object while the other writes, asked where the record stands, a read with lock refused, a transaction rolled back,
// records with large values added one after another), and a table's walk ends with the second connection reading
// every row back. A failing walk is shrunk to the shortest that still fails and printed as a host script.
// The default run walks a fixed set of seeds; a longer one walks every seed from 1:
//   QZ_WALK_SEEDS=5000 build/dev/bin/qz_e2e_tests --gtest_filter='KeyOrderWalk.*'
// (QZ_WALK_FIRST sets the first seed, QZ_WALK_JOBS the host processes run at once, 3 by default, QZ_WALK_SHRINK how
// many failing walks are shrunk, 1 by default; QZ_WALK_VERBOSE=1 prints each failing seed's first disagreement).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include <unistd.h>

namespace {

using Value = std::optional<std::string>;  // GRP as its one digit, NAME as its text; none for NULL
struct Row {
  int id = 0;
  Value grp, name;
  // The composite and decimal keys' table: A and C one digit, B a text, D a NUMBER(20,2) text.
  Value a = {}, b = {}, c = {}, d = {};
  bool operator==(const Row&) const = default;
};
std::string Shown(const Value& v) { return v ? *v : "NULL"; }
std::string Sql(const Value& v) { return !v ? "NULL" : std::isdigit((*v)[0]) ? *v : "'" + *v + "'"; }

enum Kind { kRead, kRecord, kSeek, kWhere, kGoTo, kAdd, kModify, kDelete, kOther, kCopy, kUse,
            kSet, kWrite, kBegin, kRollback, kHold, kLocked, kFree, kLob, kLobRead, kCheck };
struct Step {
  Kind kind;
  std::string key;  // ID, GRP, NAME, or "" for the query's own name
  int n = 0;        // direction (first, last, next, previous), record number, per mille, handle
  Row row;          // what an add, a modify or the other connection writes
  char other = 0;   // the other connection's statement: insert, update or delete
  Value sought = {};  // on the composite and decimal keys' table: the value a seek gives
  bool generic = false;  // ... and whether it seeks the keys that start with it
  int lob[3] = {};  // the lengths a large-value add writes into C, N and B; -1 for none
};
struct Walk {
  std::vector<Row> rows;
  int order = 0;  // 0 a table; a query ordered by ID, 1 ascending, -1 descending
  bool composite = false;  // the composite and decimal keys' table, read only
  std::vector<Step> steps;
};

const char* const kDirections[] = {"first", "last", "next", "previous"};
const char* const kLobItems[] = {"C", "N", "B"};

// Per 100 steps, how often each pattern is mixed into a walk.
constexpr int kCopyWrites = 6;        // values set on one table object, the other one writes, the first one writes
constexpr int kRollbacks = 4;         // a modify or a delete in a transaction rolled back
constexpr int kWritesAfterCount = 4;  // values set, the record's position per mille asked, then written
// A read with lock refused (the other connection holds the table), then a write: kept out until the model settles
// what a refused read leaves for the moves and writes after it.
constexpr int kRefusedLocks = 0;
constexpr int kLargeValues = 3;       // records with large values added one after another, read back by the other

Walk GenerateComposite(std::mt19937& random, Walk walk);

Walk Generate(unsigned seed) {
  std::mt19937 random(seed);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const Value grps[] = {std::nullopt, "1", "1", "2", "3"}, names[] = {std::nullopt, "a", "ab", "b", "b", "c"};
  auto fill = [&](Row& row) { row.grp = grps[pick(5)], row.name = names[pick(6)]; };
  Walk walk;
  walk.order = pick(3) == 0 ? (pick(2) ? 1 : -1) : 0;
  if (pick(4) == 0) return GenerateComposite(random, walk);
  int ids = 2 + pick(6), changes = 0;
  for (int id = 1; id <= ids; ++id) fill(walk.rows.emplace_back(Row{id, {}, {}}));
  const int length = 12 + pick(20);
  const std::vector<std::string> keys = {"ID", "GRP", "NAME", walk.order ? "" : "GRP"};
  bool read = false, copied = false;
  int in = 0, lobs = 0;
  for (int i = 0; i < length; ++i) {
    Step step{kRead, keys[pick(4)], 0, {}, 0};
    int pattern = pick(100);
    const bool table = !walk.order && read && changes < 6;
    auto add = [&](Kind kind, int n = 0) { walk.steps.push_back(Step{kind, step.key, n, {}, 0}); return &walk.steps.back(); };
    if (table && copied && pattern < kCopyWrites) {
      fill(add(kSet)->row), add(kUse, 1 - in);
      Step* write = add(pattern % 3 ? kModify : pattern % 2 ? kDelete : kAdd);
      fill(write->row), write->row.id = write->kind == kAdd ? ++ids : 0, ++changes;
      add(kUse, in), add(kWrite);
      continue;
    }
    if (table && (pattern -= kCopyWrites) >= 0 && pattern < kRollbacks) {
      add(kBegin), fill(add(pattern % 2 ? kModify : kDelete)->row), add(kRollback);
      continue;
    }
    if (table && (pattern -= kRollbacks) >= 0 && pattern < kWritesAfterCount) {
      fill(add(kSet)->row), add(kWhere), add(kWrite);
      continue;
    }
    if (table && (pattern -= kWritesAfterCount) >= 0 && pattern < kRefusedLocks) {
      add(kHold), add(kLocked, 2 + pick(2)), add(kFree), fill(add(kModify)->row), ++changes;
      continue;
    }
    if ((pattern -= kRefusedLocks) >= 0 && pattern < kLargeValues) {
      Step* lob = add(kLob);
      lob->row.id = ++lobs;
      for (int& n : lob->lob) n = std::array{-1, 3, 300, 2600}[pick(4)];
      for (int k = pick(3); k >= 0; --k) add(kLobRead, pick(3))->row.id = 1 + pick(lobs);
      continue;
    }
    const int choice = pick(100);
    if (choice < 45) step.n = pick(4);
    else if (choice < 50) step.kind = kRecord, step.n = 1 + pick(ids + 1);
    else if (choice < 58) step.kind = kSeek, step.key = keys[pick(3)];
    else if (choice < 63) step.kind = kWhere;
    else if (choice < 67) step.kind = kGoTo, step.n = pick(5) * 250;
    else if (choice < 75 && changes < 6) step.kind = kAdd, step.row.id = ++ids, ++changes;
    else if (choice < 81 && read && changes < 6) step.kind = kModify, ++changes;
    else if (choice < 85 && read) step.kind = kDelete;
    else if (choice < 92 && changes < 6) step.kind = kOther, step.other = "iud"[pick(3)], ++changes;
    else if (choice < 96 && !copied) step.kind = kCopy, copied = true;
    else if (copied) step.kind = kUse, step.n = pick(2);
    else step.n = 2;
    if (step.kind == kSeek) step.row.grp = grps[1 + pick(4)], step.row.name = names[1 + pick(5)], step.n = pick(ids) + 1;
    if (step.kind == kModify || step.kind == kAdd) fill(step.row);
    if (step.kind == kOther) step.row.id = step.other == 'i' ? ++ids : 1 + pick(ids), fill(step.row);
    read = step.kind == kRead || step.kind == kRecord || step.kind == kSeek || step.kind == kGoTo;
    if (step.kind == kCopy || step.kind == kUse) in = step.kind == kCopy || (copied && step.n);
    walk.steps.push_back(step);
  }
  // The other connection reads every row back: what the walk wrote is what the database holds.
  for (int n = 0; !walk.order && n <= ids; ++n) walk.steps.push_back(Step{kCheck, "ID", n, {}, 0});
  return walk;
}

// The composite and decimal keys' table: a unique key (A, B) that allows NULL in both (rows NULL in both may repeat,
// other values may not, as the server's unique index has it), an index with duplicates (C, B, A), a text key B and a
// NUMBER(20,2) key D across its digits; reads and seeks only. A query's rows have the single-column keys alone.
const Value kDecimals[] = {std::nullopt, "-999999999999999999.99", "-7.25", "-0.50", "0.00", "0.01", "1.50", "5.00",
                           "95000000000000000.00", "123456789012345678.90", "999999999999999999.99"};

Walk GenerateComposite(std::mt19937& random, Walk walk) {
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const Value digits[] = {std::nullopt, "1", "2", "3"}, texts[] = {std::nullopt, "a", "ab", "b", "ba", "c"};
  walk.composite = true;
  const int ids = 2 + pick(7);
  std::set<std::pair<Value, Value>> pairs;
  for (int id = 1; id <= ids; ++id) {
    Row row{id, {}, {}, digits[pick(4)], texts[pick(6)], digits[pick(4)], kDecimals[pick(11)]};
    if ((row.a || row.b) && !pairs.insert({row.a, row.b}).second) row.a = row.b = std::nullopt;
    walk.rows.push_back(row);
  }
  const std::vector<std::string> keys =
      walk.order ? std::vector<std::string>{"ID", "D", "B", ""} : std::vector<std::string>{"ID", "K_AB", "K_CBA", "D", "B"};
  const std::string prefixes[] = {"a", "b", "bb", "c", "d"};
  for (int i = 0, length = 10 + pick(20); i < length; ++i) {
    Step step{kRead, keys[pick(static_cast<int>(keys.size()))], pick(4), {}, 0, {}, false};
    const int choice = pick(100);
    if (choice < 10) step.kind = kRecord, step.n = 1 + pick(ids + 1);
    else if (choice < 30) step.kind = kSeek, step.key = step.key.empty() ? "ID" : step.key;  // a query seeks by ID
    else if (choice < 38) step.kind = kWhere;
    else if (choice < 45) step.kind = kGoTo, step.n = pick(5) * 250;
    if (step.kind == kSeek && (step.key == "ID" || step.key.empty())) step.n = 1 + pick(ids + 1);
    else if (step.kind == kSeek && step.key == "D") step.sought = kDecimals[1 + pick(10)];
    else if (step.kind == kSeek && step.key == "B") step.generic = pick(2), step.sought = prefixes[pick(5)];
    else if (step.kind == kSeek) step.sought = std::to_string(pick(5));  // the first component alone
    walk.steps.push_back(step);
  }
  return walk;
}

// ---- the host script and what the host answered ----

const char* const kHead = "start\nconnect WALK SYSTEM manager\nconnect WALK SYSTEM manager as B\n";

// The lines of the walk's steps; the table is T, the query Q and the copy C, each followed by the suffix.
std::vector<std::string> Script(const Walk& walk, const std::string& sfx, std::string& setup) {
  const std::string t = "T" + sfx, own = walk.order ? "Q" + sfx : t;
  std::ostringstream s;
  if (walk.composite) {
    s << "with WALK\nsql CREATE TABLE " << t << " (ID NUMBER(10) NOT NULL, A NUMBER(5), B VARCHAR2(5), C NUMBER(5), "
      << "D NUMBER(20,2))\nsql CREATE UNIQUE INDEX " << t << "_I ON " << t << " (ID)\nsql CREATE UNIQUE INDEX "
      << t << "_AB ON " << t << " (A, B)\nsql CREATE INDEX " << t << "_CBA ON " << t << " (C, B, A)\nsql CREATE INDEX " << t << "_B ON " << t
      << " (B)\nsql CREATE INDEX " << t << "_D ON " << t << " (D)\n";
    for (const Row& r : walk.rows)
      s << "sql INSERT INTO " << t << " VALUES (" << r.id << ", " << Sql(r.a) << ", " << Sql(r.b) << ", " << Sql(r.c)
        << ", " << Shown(r.d) << ")\n";
    s << "sql COMMIT\ndescribe " << t << "\nopen\n";
    // Index names are the database's: each walk's composite keys are named after its table.
    auto name = [&](const std::string& key) { return key.rfind("K_", 0) ? key : t + key.substr(1); };
    if (walk.order)
      s << "query " << own << " SELECT ID, A, B, C, D FROM " << t << " ORDER BY ID" << (walk.order < 0 ? " DESC" : "") << "\n";
    setup = s.str();
    std::vector<std::string> lines;
    for (const Step& st : walk.steps) {
      const std::string by = " by " + (st.key.empty() ? own : name(st.key));
      if (st.kind == kSeek && (st.key == "ID" || st.key.empty())) lines.push_back("seek ID " + std::to_string(st.n));
      else if (st.kind == kSeek) lines.push_back("seek " + name(st.key) + " " + *st.sought + (st.generic ? " generic" : ""));
      else if (st.kind == kRead) lines.push_back(std::string("read ") + kDirections[st.n] + by);
      else if (st.kind == kRecord) lines.push_back("read record " + std::to_string(st.n) + by);
      else lines.push_back("position" + (st.kind == kGoTo ? " " + std::to_string(st.n) : "") + by);
    }
    return lines;
  }
  s << "with WALK\nsql CREATE TABLE " << t << " (ID NUMBER(10) NOT NULL, GRP NUMBER(10), NAME VARCHAR2(10))\n";
  s << "sql CREATE UNIQUE INDEX " << t << "_I ON " << t << " (ID)\nsql CREATE INDEX " << t << "_G ON " << t
    << " (GRP)\nsql CREATE INDEX " << t << "_N ON " << t << " (NAME)\n";
  for (const Row& r : walk.rows)
    s << "sql INSERT INTO " << t << " VALUES (" << r.id << ", " << Sql(r.grp) << ", " << Sql(r.name) << ")\n";
  s << "sql COMMIT\n";
  auto uses = [&](Kind kind) {
    return std::any_of(walk.steps.begin(), walk.steps.end(), [&](const Step& st) { return st.kind == kind; });
  };
  if (uses(kHold)) s << "with B\ndescribe " << t << " as TB" << sfx << "\nopen\nwith WALK\n";
  if (uses(kLob)) {
    s << "sql CREATE TABLE L" << sfx << " (ID NUMBER(10) NOT NULL, C CLOB, N NCLOB, B BLOB)\nsql CREATE UNIQUE INDEX L"
      << sfx << "_I ON L" << sfx << " (ID)\ndescribe L" << sfx << "\nopen\nwith B\ndescribe L" << sfx << " as LB" << sfx
      << "\nopen\nwith WALK\n";
  }
  s << "describe " << t << "\nopen\n";
  if (walk.order) s << "query " << own << " SELECT ID, GRP, NAME FROM " << t << " ORDER BY ID" << (walk.order < 0 ? " DESC" : "") << "\n";
  setup = s.str();
  std::vector<std::string> lines;
  std::string in = own;  // the table in use
  bool copied = false;    // a shrunk walk may use a copy it no longer makes
  for (const Step& st : walk.steps) {
    const std::string by = " by " + (st.key.empty() ? own : st.key);
    std::ostringstream l;
    switch (st.kind) {
      case kRead: l << "read " << kDirections[st.n] << by; break;
      case kRecord: l << "read record " << st.n << by; break;
      case kSeek: l << "seek " << (st.key.empty() ? "ID" : st.key) << " "
                    << (st.key == "GRP" ? Shown(st.row.grp) : st.key == "NAME" ? Shown(st.row.name) : std::to_string(st.n)); break;
      case kWhere: l << "position" << by; break;
      case kGoTo: l << "position " << st.n << by; break;
      case kAdd: l << "set ID=" << st.row.id << " GRP=" << Shown(st.row.grp) << " NAME=" << Shown(st.row.name) << "\nadd"; break;
      case kModify: l << "set GRP=" << Shown(st.row.grp) << " NAME=" << Shown(st.row.name) << "\nmodify"; break;
      case kDelete: l << "delete"; break;
      case kOther:
        l << "with B\nsql ";
        if (st.other == 'i') l << "INSERT INTO " << t << " VALUES (" << st.row.id << ", " << Sql(st.row.grp) << ", " << Sql(st.row.name) << ")";
        else if (st.other == 'u') l << "UPDATE " << t << " SET GRP=" << Sql(st.row.grp) << ", NAME=" << Sql(st.row.name) << " WHERE ID=" << st.row.id;
        else l << "DELETE FROM " << t << " WHERE ID=" << st.row.id;
        l << "\nsql COMMIT\nuse " << in;
        break;
      case kCopy: l << "copy as " << (in = "C" + sfx), copied = true; break;
      case kUse: l << "use " << (in = st.n && copied ? "C" + sfx : own); break;
      case kSet: l << "set GRP=" << Shown(st.row.grp) << " NAME=" << Shown(st.row.name); break;
      case kWrite: l << "modify"; break;
      case kBegin: l << "begin"; break;
      case kRollback: l << "rollback"; break;
      case kHold: l << "with B\nuse TB" << sfx << "\nlock table 6\nwith WALK\nuse " << in; break;
      case kLocked: l << "read " << kDirections[st.n] << by << " lock"; break;
      case kFree: l << "with B\nuse TB" << sfx << "\nunlock table\nwith WALK\nuse " << in; break;
      case kLob:
        l << "use L" << sfx << "\nset ID=" << st.row.id << "\n";
        for (int k = 0; k < 3; ++k)
          if (st.lob[k] >= 0) l << "write-lob " << kLobItems[k] << " " << st.lob[k] << "\n";
        l << "add\nuse " << in;
        break;
      case kLobRead:
        l << "with B\nuse LB" << sfx << "\nseek ID " << st.row.id << "\nread-lob " << kLobItems[st.n] << "\nwith WALK\nuse " << in;
        break;
      case kCheck:
        l << "with B\n" << (st.n ? "use V" + sfx + "\nread next" : "query V" + sfx + " SELECT ID, GRP, NAME FROM " + t +
                                                                       " ORDER BY ID\nread first")
          << "\nwith WALK\nuse " << in;
        break;
    }
    lines.push_back(l.str());
  }
  return lines;
}

struct Answer {
  bool ok = false, end = false;
  std::optional<Row> record;
  std::optional<unsigned> perMille;
  std::string text;
  std::optional<int> lob;  // the length a large value read back has, -1 for none
};

std::optional<Value> Field(const std::string& line, const std::string& name) {
  const std::size_t at = line.find(" " + name + "=");
  if (at == std::string::npos) return std::nullopt;
  std::string v = line.substr(at + name.size() + 2);
  v = v.substr(0, v.find(','));
  return v == "NULL" ? Value() : Value(v);
}

// Runs the walks in one host process; the answers of each walk's steps (its last command's), none when the host
// did not get that far.
std::vector<std::vector<Answer>> RunWalks(const std::vector<Walk>& walks, const std::string& tag) {
  const std::string dir = ::testing::TempDir() + "qz_walk_" + std::to_string(::getpid()) + "_" + tag;
  std::filesystem::create_directories(dir);
  std::ofstream file(dir + "/walk.qzs");
  file << kHead;
  for (std::size_t w = 0; w < walks.size(); ++w) {
    std::string setup;
    const auto lines = Script(walks[w], "_" + std::to_string(w), setup);
    file << setup;
    for (std::size_t i = 0; i < lines.size(); ++i) file << "## " << w << " " << i << "\n" << lines[i] << "\n";
    file << "## -\n";
  }
  file << "stop\n";
  file.close();
  const std::string command = "QZOCI_DATA_SOURCES=WALK QZOCI_DATA_DIR=" + dir + " " + QZ_HOST_PATH + " --driver " +
                              QZ_DRIVER_PATH + " " + dir + "/walk.qzs 2>/dev/null";
  std::vector<std::vector<Answer>> answers(walks.size());
  FILE* pipe = popen(command.c_str(), "r");
  std::string output;
  char buffer[4096];
  for (std::size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  if (pipe) pclose(pipe);
  if (!std::getenv("QZ_WALK_KEEP")) std::filesystem::remove_all(dir);
  std::istringstream lines(output);
  Answer* answer = nullptr;
  for (std::string line; std::getline(lines, line);) {
    std::size_t w = 0, i = 0;
    if (std::sscanf(line.c_str(), "== %zu %zu", &w, &i) == 2 && w < walks.size()) {
      answers[w].resize(i + 1);
      answer = &answers[w][i];
    } else if (line.rfind("== ", 0) == 0) {
      answer = nullptr;
    } else if (answer && !line.empty() && line[0] != ' ' &&
               (answer->text.empty() || line.find(" -> ") != std::string::npos)) {
      // A step's answer is that of its last command that answers: switching back to a table answers nothing.
      *answer = Answer{line.find(" -> 1 ") != std::string::npos, false, std::nullopt, std::nullopt, line, std::nullopt};
    } else if (answer && line.rfind("    record: ", 0) == 0) {
      auto field = [&](const char* name) { return Field(line, name).value_or(Value()); };
      answer->record = Row{std::atoi(field("ID").value_or("0").c_str()), field("GRP"), field("NAME"),
                           field("A"),  field("B"), field("C"), field("D")};
    } else if (answer && line == "    past an end of the rows") {
      answer->end = true;
    } else if (answer && line.rfind("    per mille: ", 0) == 0) {
      answer->perMille = static_cast<unsigned>(std::stoul(line.substr(15)));
    }
    else if (answer && line.rfind("    no value", 0) == 0) answer->lob = -1;
    else if (answer && line.find(" characters, ") != std::string::npos) answer->lob = std::atoi(line.c_str());
    if (answer && line.rfind("    ", 0) == 0) answer->text += "\n#" + line;
  }
  return answers;
}

// ---- the model ----

// One change the driver may or may not show yet: the row before (none: added) and after (none: deleted).
struct Change {
  int id;
  std::optional<Row> before, after;
};

struct Handle {
  std::optional<int> at;      // the record the walk stands on
  std::optional<int> buffer;  // the record a write writes: the last read or added
  std::vector<Row> places;    // where it may stand in each key's order: the values it was shown with, and written
  std::map<std::string, std::optional<int>> contexts;  // each read key's context and the record it stood on
  std::map<std::string, Value> seeks;                  // a key's last seek, until the key is read from an end
  std::map<std::string, Row> shown;                    // the values each key's context last read its record with
  std::set<std::string> off;                           // contexts that ran past an end: they have no position
  std::set<std::string> nowhere;                       // contexts a record N or a seek that found none left
  std::optional<Row> added;                            // added since the last record read: a move may start there
  std::string last;                                    // the key of the last read
  std::optional<int> deleted;                          // the record this handle deleted, while it holds it
  bool readSince = false;                              // a read was tried since: it may have let go of it
  std::optional<Row> image;                            // the record as the handle last read or wrote it
  std::optional<Row> set;                              // values set and not written yet
  std::vector<Row> written;                            // values written: a rollback leaves the program holding them
  bool setLost = false;                                // a read or a delete since may have replaced them
  std::vector<Change> changes;                         // changes this handle may or may not show yet
  std::set<int> changedElsewhere;                      // records the other handle (the copy or its table) wrote
};

class Model {
 public:
  explicit Model(const Walk& walk) : m_order(walk.order) {
    for (const Row& r : walk.rows) m_rows[r.id] = r;
    m_handles.resize(1);
    // A query's rows stand in the context of its identifying key from the start.
    if (m_order) m_handles[0].contexts["ID"] = std::nullopt;
  }

  // Checks the answer to the step and takes it in; the model's answers when the driver's is none of them.
  std::optional<std::string> Take(const Step& given, const Answer& a) {
    if (m_blind) return std::nullopt;
    Step st = given;
    Handle& h = m_handles[m_in];
    const std::string& key = st.key;
    std::set<std::string> expected;
    auto accept = [&](const std::string& what) { expected.insert(what); };
    const std::string got = !a.ok ? "fails" : a.end ? "past an end" : a.perMille ? std::to_string(*a.perMille)
                          : a.record ? Describe(*a.record) : "done";
    // A query given as SQL text names no file to write into: its writes are refused as such.
    if (m_order && (st.kind == kAdd || st.kind == kModify || st.kind == kDelete))
      return !a.ok && a.text.find("error 35,") != std::string::npos ? std::nullopt : Fail(got, {"fails with error 35"});
    switch (st.kind) {
      case kSet:
        h.set = st.row, h.setLost = false;
        return a.ok ? std::nullopt : Fail(got, {"done"});
      case kWrite:
        // Values set and then perhaps replaced by a read (a shrunk walk) leave nothing to foresee.
        if (!h.set || h.setLost) return m_blind = true, std::nullopt;
        st.kind = kModify, st.row = *h.set;
        break;
      case kBegin:
        if (m_saved) return m_blind = true, std::nullopt;
        m_saved = m_rows;
        return a.ok ? std::nullopt : Fail(got, {"done"});
      case kRollback:
        if (!m_saved) return std::nullopt;
        // Every table object of the connection reads the rows again as the database holds them.
        // A record the program holds keeps the values it wrote, which a count places it by, as by another
        // connection's change.
        for (const auto& [id, row] : m_rows)
          if (!m_saved->count(id) || !(m_saved->at(id) == row)) m_byOther.insert(id);
        for (const auto& each : *m_saved)
          if (!m_rows.count(each.first)) m_byOther.insert(each.first);
        m_rows = *std::exchange(m_saved, std::nullopt);
        for (Handle& each : m_handles) {
          each.changes.clear();
          if (each.deleted && m_rows.count(*each.deleted)) each.deleted.reset();
        }
        return a.ok ? std::nullopt : Fail(got, {"done"});
      case kHold: case kFree:
        m_held = st.kind == kHold;
        return std::nullopt;
      case kLocked:
        // Refused, the read leaves the record, the values set and every place as they were.
        if (m_held && !a.ok) return std::nullopt;
        if (m_held && a.ok && !a.end) return Fail(got, {"fails", "past an end"});
        st.kind = kRead;
        break;
      case kLob:
        // A large value the add does not write is the one the record still holds from the add before.
        for (int k = 0; k < 3; ++k) {
          if (st.lob[k] >= 0) m_lobHeld[k] = st.lob[k];
        }
        m_lobs[st.row.id] = m_lobHeld;
        return a.ok ? std::nullopt : Fail(got, {"done"});
      case kLobRead: {
        if (!m_lobs.count(st.row.id)) return std::nullopt;
        const int length = m_lobs[st.row.id][st.n];
        return a.ok && a.lob == length ? std::nullopt
                                       : Fail(got + " " + std::to_string(a.lob.value_or(-2)), {std::to_string(length)});
      }
      case kCheck: {
        if (m_saved) return std::nullopt;
        auto row = m_rows.begin();
        std::advance(row, std::min<std::size_t>(st.n, m_rows.size()));
        if (row != m_rows.end()) return got == Describe(row->second) ? std::nullopt : Fail(got, {Describe(row->second)});
        return a.end || !a.ok ? std::nullopt : Fail(got, {"past an end"});
      }
      default:
        break;
    }
    if (h.set && (st.kind == kAdd || st.kind == kModify)) h.set.reset();
    if (h.set && st.kind != kWhere && st.kind != kUse && st.kind != kOther) h.setLost = true;
    switch (st.kind) {
      case kRead: case kRecord: case kSeek: case kGoTo: {
        // A position per mille of a key never read moves nothing: that context does not exist.
        if (st.kind == kGoTo && !h.contexts.count(key)) return a.ok ? std::nullopt : Fail(got, {"done"});
        if (!h.contexts.count(key)) h.contexts[key] = std::nullopt;
        const std::string last = std::exchange(h.last, key);
        const bool fromEnd = st.kind != kRead || st.n < 2;
        // A record N or a seek that found nothing leaves its context no place: it moves from the added record.
        const bool fromAdded = !fromEnd && h.added && (!h.at || last != key || h.nowhere.count(key));
        h.readSince = true;
        std::vector<Row> metAt;  // old places of modified records that may be shown with their new values
        for (const auto& view : Views()) {
          const auto order = Ordered(view, key);
          auto end = [&](bool first) {
            return order.empty() ? std::nullopt : std::optional(first ? order.front() : order.back());
          };
          std::vector<std::optional<Row>> to;
          // A move through the key last read goes on from its context's place; through another key from the
          // current record: the one added since, else the one last shown.
          if (st.kind == kRead && h.at && !fromEnd && !fromAdded) {
            // From any place the record was shown or written at, or where it stands in this view.
            for (const Row& p : h.places) to.push_back(Neighbour(order, key, p, st.n == 2));
            if (view.count(*h.at)) to.push_back(Neighbour(order, key, view.at(*h.at), st.n == 2));
          } else if (st.kind == kRead && fromAdded) {
            to.push_back(Neighbour(order, key, *h.added, st.n == 2));
            if (!h.at) to.push_back(end(st.n == 2));
          } else if (st.kind == kRead) {
            to.push_back(end(st.n == 0 || st.n == 2));
            if (order.empty()) accept("fails");
          } else if (st.kind == kRecord) {
            to.push_back(st.n <= static_cast<int>(order.size()) ? std::optional(order[st.n - 1]) : std::nullopt);
            if (!to.back()) accept("fails");
          } else if (st.kind == kGoTo) {
            to.push_back(Target(order, st.n));
            if (h.seeks.count(key)) to.push_back(Target(Range(order, key, h.seeks[key]), st.n));
            if (order.empty()) accept("fails");
          } else {
            const Value v = Sought(st);
            Row probe = Probe(key, v);
            if (key == "ID" || key.empty()) probe.id = st.n;
            auto found = std::find_if(order.begin(), order.end(), [&](const Row& r) { return !Less(r, probe, key); });
            const bool equal = found != order.end() && Holds(*found, key, v);
            to.push_back(found == order.end() ? std::nullopt : std::optional(*found));
            if (!equal) accept("fails"), accept("past an end");
            // A composite key's first component alone may also land as if the missing components were NULL: on the
            // record NULL in them, else past the records holding the component.
            if (key == "K_AB" || key == "K_CBA") to.push_back(Neighbour(order, key, Probe(key, v, true), true));
            // ... or as the empty values the runtime's key value holds there: a text's is NULL on this server, a
            // number's 0, so (C, B, A) with C alone stands at (v, NULL, 0).
            if (key == "K_CBA") {
              Row empty = Probe(key, v, true);
              empty.a = "0";
              to.push_back(Neighbour(order, key, empty, true));
            }
          }
          // A seek that found nothing may leave its context where the sought value would stand: it moves from there.
          if (st.kind == kRead && !fromEnd && last == key && h.nowhere.count(key) && h.seeks.count(key) && key != "ID" &&
              !key.empty())
            to.push_back(Neighbour(order, key, Probe(key, h.seeks[key]), st.n == 2));
          // A record the walk or the other connection modified, met at its old place, may show its new values: the
          // walk under way goes on from that place.
          for (const auto& r : to) {
            accept(r ? Describe(*r) : "past an end");
            if (r && (m_modified.count(r->id) || m_byOther.count(r->id)) && m_rows.count(r->id) &&
                !(m_rows.at(r->id) == *r))
              accept(Describe(m_rows.at(r->id))), metAt.push_back(*r);
          }
        }
        if (!expected.count(got)) return Fail(got, expected);
        if (a.ok && !a.end && a.record) {
          // A change the driver has shown stays seen, and those before it on the row.
          const auto upTo = std::find_if(h.changes.rbegin(), h.changes.rend(),
                                         [&](const Change& c) { return c.after == a.record; }).base();
          const int id = a.record->id;
          h.changes.erase(std::remove_if(h.changes.begin(), upTo, [&](const Change& c) { return c.id == id; }), upTo);
          h.at = h.buffer = a.record->id, h.places = {*a.record}, h.contexts[key] = a.record->id, h.shown[key] = *a.record;
          h.image = *a.record;
          for (const Row& r : metAt)
            if (r.id == id) h.places.push_back(r);
          h.off.erase(key), h.added.reset();
        }
        if (a.ok && a.end) h.off.insert(key);
        if ((st.kind == kRecord || st.kind == kSeek) && !a.record) h.nowhere.insert(key);
        else h.nowhere.erase(key);
        // A move from the added record that ran off an end stands beside it: the key's next move goes back from it.
        if (a.ok && a.end && fromAdded) h.at = h.added->id, h.places = {*h.added};
        if (st.kind == kSeek) h.seeks[key] = Sought(st);
        else if (st.kind != kRead || st.n < 2) h.seeks.erase(key);
        return std::nullopt;
      }
      case kWhere: {
        if (!h.contexts.count(key) || !h.contexts[key] || !h.at || h.off.count(key)) accept("fails");
        std::vector<std::optional<int>> records = {h.at};
        if (h.contexts.count(key)) records.push_back(h.contexts[key]);
        for (const auto& view : Views()) {
          const auto order = Ordered(view, key);
          // A record no longer there is placed by the values it had.
          for (const auto& r : records) {
            if (!r || (!view.count(*r) && !m_known.count(*r))) continue;
            const Row& row = view.count(*r) ? view.at(*r) : m_known.at(*r);
            accept(std::to_string(PerMille(order, row, key)));
            if (!view.count(*r)) accept(std::to_string(PerMille(order, row, key, 0)));
            if (h.seeks.count(key) && !Range(order, key, h.seeks[key]).empty()) {
              const unsigned p = PerMille(Range(order, key, h.seeks[key]), row, key);
              if (p <= 1000) accept(std::to_string(p));
            }
          }
          if (h.at && !view.count(*h.at)) accept("fails");
          // A record another connection (or the other handle) changed is placed by the values it was read with,
          // counted among the rows as they are now (itself where it now stands): the server counts from the values
          // the driver holds.
          std::vector<Row> read = h.places;
          read.insert(read.end(), h.written.begin(), h.written.end());
          if (h.shown.count(key)) read.push_back(h.shown[key]);
          for (const Row& p : read)
            if ((m_byOther.count(p.id) || h.changedElsewhere.count(p.id)) &&
                std::count(records.begin(), records.end(), p.id))
              accept(std::to_string(PerMille(order, p, key)));
        }
        return expected.count(got) ? std::nullopt : Fail(got, expected);
      }
      case kAdd:
        m_rows[st.row.id] = st.row, h.buffer = st.row.id, h.added = st.row, h.image = st.row, m_writer[st.row.id] = m_in;
        Record({st.row.id, std::nullopt, st.row});
        return got == Describe(st.row) ? std::nullopt : Fail(got, {Describe(st.row)});
      case kModify: case kDelete: {
        const std::optional<int> id = h.buffer;
        const bool known = id && m_rows.count(*id);
        if (!known && st.kind == kModify && id && h.deleted == id) {
          // The record this handle deleted is one to insert again: a write adds it.
          const Row row{*id, st.row.grp, st.row.name};
          if (!a.ok && h.readSince) return std::nullopt;
          if (got != Describe(row)) return Fail(got, {Describe(row)});
          m_rows[*id] = row, h.added = row, h.image = row, h.deleted.reset();
          Record({*id, std::nullopt, row});
          return std::nullopt;
        }
        // A modify of a record another connection deleted may leave it a record to insert, as the handle's own delete.
        if (!known && a.ok && st.kind == kModify && id && ByOthers(*id)) return h.deleted = id, std::nullopt;
        if (!known && a.ok) return Fail(got, {"fails"});
        if (!known) return std::nullopt;  // the record is gone (another connection deleted it), or none was read
        // A write finds its record by the values it read: another connection's change makes it fail.
        if (!a.ok && ByOthers(*id)) return std::nullopt;
        if (!a.ok) return Fail(got, {"done"});
        const Row before = m_rows[*id];
        m_writer[*id] = m_in;
        for (Handle& each : m_handles)
          if (&each != &h) each.changedElsewhere.insert(*id);
        if (st.kind == kDelete) {
          m_known[*id] = before, m_rows.erase(*id), h.deleted = id, h.readSince = false;
          // The other handle's walk under way reads as its statement was opened: it may still meet the deleted row.
          for (Handle& each : m_handles) {
            std::erase_if(each.changes, [&](const Change& c) { return c.id == *id; });
            if (&each != &h) each.changes.push_back({*id, before, std::nullopt});
          }
          return std::nullopt;
        }
        // Only the values the program changed are written: another table object's write of the others stays.
        const bool stale = h.image && h.image->id == *id;
        const Row after{*id, stale && h.image->grp == st.row.grp ? before.grp : st.row.grp,
                        stale && h.image->name == st.row.name ? before.name : st.row.name};
        h.image = after, h.written.push_back(after);
        m_rows[*id] = after, m_modified.insert(*id);
        if (h.added && h.added->id == *id) h.added = after;  // the added record, written again, is current as written
        Record({*id, before, after});
        if (h.at == id) h.places.push_back(after);
        return std::nullopt;
      }
      case kOther: {
        std::optional<Row> before, after;
        if (m_rows.count(st.row.id)) before = m_rows[st.row.id];
        if (st.other == 'i' || (st.other == 'u' && before)) after = st.row;
        if (st.other == 'u' && after) after->id = st.row.id;
        if (after) m_rows[st.row.id] = *after;
        else if (before) m_known[st.row.id] = *before, m_rows.erase(st.row.id);
        if (before || after) Record({st.row.id, before, after}), m_byOther.insert(st.row.id);
        return std::nullopt;
      }
      case kCopy:
        if (!a.ok) return Fail(got, {"done"});
        m_handles.push_back(h), m_in = 1;
        for (Handle& each : m_handles) each.setLost = true;
        return std::nullopt;
      case kUse:
        m_in = st.n < static_cast<int>(m_handles.size()) ? st.n : 0;
        break;
      default:  // taken in above
        break;
    }
    return std::nullopt;
  }

 private:
  using Rows = std::map<int, Row>;
  static std::string Describe(const Row& r) {
    std::string text = "ID=" + std::to_string(r.id) + " GRP=" + Shown(r.grp) + " NAME=" + Shown(r.name);
    if (r.a || r.b || r.c || r.d) text += " A=" + Shown(r.a) + " B=" + Shown(r.b) + " C=" + Shown(r.c) + " D=" + Shown(r.d);
    return text;
  }
  static Value Sought(const Step& st) {
    if (st.sought) return st.generic ? *st.sought + "*" : st.sought;  // a generic seek's value ends in *
    return st.key == "GRP" ? st.row.grp : st.key == "NAME" ? st.row.name : std::to_string(st.n);
  }
  // The value a seek compares: a composite key's first component.
  static Value FieldOf(const Row& r, const std::string& key) {
    if (key == "K_AB") return r.a;
    if (key == "K_CBA") return r.c;
    if (key == "B" || key == "D") return key == "B" ? r.b : r.d;
    return key == "GRP" ? r.grp : key == "NAME" ? r.name : std::to_string(r.id);
  }
  // Whether a row holds a sought value (a generic one: starts with it).
  static bool Holds(const Row& r, const std::string& key, const Value& v) {
    const Value f = FieldOf(r, key);
    if (v && !v->empty() && v->back() == '*') return f && f->rfind(v->substr(0, v->size() - 1), 0) == 0;
    return f == v || (key == "D" && f && v && Decimal(*f) == Decimal(*v));
  }
  // A NUMBER(20,2) text as a text that sorts in value order: sign, then 18 whole and 2 fraction digits (complemented
  // below zero).
  static std::string Decimal(const std::string& text) {
    const bool negative = text[0] == '-';
    std::string whole = text.substr(negative, text.find('.') - negative), fraction = text.substr(text.find('.') + 1);
    std::string digits = std::string(18 - whole.size(), '0') + whole + (fraction + "00").substr(0, 2);
    const bool below = negative && digits.find_first_not_of('0') != std::string::npos;
    if (below) for (char& c : digits) c = static_cast<char>('9' - c + '0');
    return (below ? "0" : "1") + digits;
  }
  // A probe standing before the rows that hold a seek's value, a missing component as the least value (after: NULL).
  Row Probe(const std::string& key, const Value& v, bool after = false) const {
    const Value least = after ? Value() : Value("");
    Row p{m_order < 0 ? 1 << 20 : -(1 << 20), v, v, least, least, least, v};
    const Value bare = v && !v->empty() && v->back() == '*' ? v->substr(0, v->size() - 1) : v;
    if (key == "K_AB") p.a = v;
    if (key == "K_CBA") p.c = v;
    if (key == "B") p.b = bare;
    return p;
  }
  static std::optional<std::string> Fail(const std::string& got, const std::set<std::string>& expected) {
    std::string text = "the driver answers " + got + "; the model accepts";
    for (const auto& e : expected) text += " [" + e + "]";
    return text;
  }

  // Changes to a row stay one after the other: a walk may have seen any state between them. A change one handle (the
  // table or its copy) has shown stays pending for the other.
  void Record(const Change& change) {
    for (Handle& h : m_handles) h.changes.push_back(change);
  }
  // Every set of rows the driver may show: each pending change seen or not, undone from the last.
  std::vector<Rows> Views() const {
    std::vector<Rows> views;
    const std::vector<Change>& changes = m_handles[m_in].changes;
    for (unsigned mask = 0; mask < (1u << changes.size()); ++mask) {
      Rows& rows = views.emplace_back(m_rows);
      for (std::size_t i = changes.size(); i-- > 0;) {
        if (mask & (1u << i)) continue;
        if (changes[i].before) rows[changes[i].id] = *changes[i].before;
        else rows.erase(changes[i].id);
      }
    }
    return views;
  }
  // A row's place in a key's order: NULL after every value in each component; ties by ID on a table, by the query's
  // order on a query.
  std::pair<std::vector<std::pair<int, std::string>>, int> Of(const Row& r, const std::string& key) const {
    const int tie = m_order < 0 ? -r.id : r.id;
    std::vector<Value> parts;
    if (key == "GRP" || key == "NAME") parts = {key == "GRP" ? r.grp : r.name};
    if (key == "K_AB") parts = {r.a, r.b};
    if (key == "K_CBA") parts = {r.c, r.b, r.a};
    if (key == "B") parts = {r.b};
    if (key == "D") parts = {r.d && !r.d->empty() ? Value(Decimal(*r.d)) : r.d};
    std::vector<std::pair<int, std::string>> of;
    for (const Value& v : parts) of.emplace_back(v ? 0 : 1, v.value_or(""));
    return {of, parts.empty() && !m_order ? r.id : tie};
  }
  bool Less(const Row& a, const Row& b, const std::string& key) const { return Of(a, key) < Of(b, key); }
  std::vector<Row> Ordered(const Rows& rows, const std::string& key) const {
    std::vector<Row> order;
    for (const auto& each : rows) order.push_back(each.second);
    std::sort(order.begin(), order.end(), [&](const Row& a, const Row& b) { return Less(a, b, key); });
    return order;
  }
  // The record after (before) a place in the key's order.
  std::optional<Row> Neighbour(const std::vector<Row>& order, const std::string& key, const Row& place, bool next) const {
    std::optional<Row> found;
    for (const Row& r : order)
      if (next ? !found && Less(place, r, key) : Less(r, place, key)) found = r;
    return found;
  }
  static std::optional<Row> Target(const std::vector<Row>& order, int perMille) {
    const std::size_t n = std::max<std::size_t>(1, perMille * order.size() / 1000);
    return n <= order.size() ? std::optional(order[n - 1]) : std::nullopt;
  }
  static std::vector<Row> Range(const std::vector<Row>& order, const std::string& key, const Value& v) {
    std::vector<Row> range;
    std::copy_if(order.begin(), order.end(), std::back_inserter(range),
                 [&](const Row& r) { return Holds(r, key, v); });
    return range;
  }
  // The place counted from 1, per mille of the rows, rounded up; 1 when there are none, as the first place is.
  // A record no longer there stands where the record after it stands, or the one before it.
  unsigned PerMille(const std::vector<Row>& order, const Row& r, const std::string& key, int self = 1) const {
    if (order.empty()) return 1;
    const auto before = std::count_if(order.begin(), order.end(), [&](const Row& o) { return Less(o, r, key); });
    const std::size_t place = std::min<std::size_t>(std::max<std::size_t>(before + self, 1), order.size());
    return static_cast<unsigned>((place * 1000 + order.size() - 1) / order.size());
  }

  // Written by the other connection, or by the other table object over values this one had read.
  bool ByOthers(int id) const { return m_byOther.count(id) || (m_writer.count(id) && m_writer.at(id) != m_in); }

  int m_order;
  Rows m_rows;  // as they are on the server
  std::optional<Rows> m_saved;  // as they were when the transaction began
  std::map<int, std::size_t> m_writer;  // the handle that wrote each row last
  std::map<int, std::array<int, 3>> m_lobs;  // the large values' lengths of each record added with them
  std::array<int, 3> m_lobHeld = {-1, -1, -1};  // what the large values' record holds (-1: NULL)
  bool m_held = false;  // the other connection holds the table locked
  bool m_blind = false;  // a shrunk walk left what follows unforeseeable
  std::set<int> m_byOther;  // rows the other connection wrote
  std::set<int> m_modified;  // rows the walk's own modifies wrote
  std::map<int, Row> m_known;  // deleted rows as they were
  std::vector<Handle> m_handles;
  std::size_t m_in = 0;
};

// The first disagreement of a walk: its step and what was answered.
std::optional<std::pair<std::size_t, std::string>> Disagreement(const Walk& walk, const std::vector<Answer>& answers) {
  Model model(walk);
  for (std::size_t i = 0; i < walk.steps.size(); ++i) {
    if (i >= answers.size() || answers[i].text.empty()) return std::pair(i, std::string("the host gave no answer"));
    if (auto wrong = model.Take(walk.steps[i], answers[i])) return std::pair(i, *wrong + "\n#   " + answers[i].text);
  }
  return std::nullopt;
}

// What kind of step disagreed, and how the driver answered it: a shrunk walk keeps the disagreement it began with.
int Signature(const Walk& walk, const std::vector<Answer>& answers) {
  const auto wrong = Disagreement(walk, answers);
  if (!wrong || wrong->first >= answers.size()) return wrong ? -1 : 0;
  const Answer& a = answers[wrong->first];
  return 1 + walk.steps[wrong->first].kind * 4 + a.ok * 2 + a.end;
}

// Drops runs of steps while the walk still fails, the longest runs first, each round's tries in one host process.
Walk Shrink(Walk walk) {
  const int signature = Signature(walk, RunWalks({walk}, "shrink")[0]);
  for (std::size_t size = walk.steps.size() / 2; size >= 1;) {
    std::vector<Walk> tries;
    for (std::size_t at = 0; at + size <= walk.steps.size(); at += size) {
      tries.push_back(walk);
      tries.back().steps.erase(tries.back().steps.begin() + at, tries.back().steps.begin() + at + size);
    }
    const auto answers = RunWalks(tries, "shrink");
    std::size_t failing = 0;
    while (failing < tries.size() && Signature(tries[failing], answers[failing]) != signature) ++failing;
    if (failing < tries.size()) walk = tries[failing];
    else size /= 2;
    size = std::min(size, walk.steps.size() / 2 + (walk.steps.size() == 1));
    if (walk.steps.size() <= 1) break;
  }
  return walk;
}

std::string Printed(const Walk& walk) {
  std::string setup;
  const auto lines = Script(walk, "", setup);
  const auto answers = RunWalks({walk}, "print");
  const auto wrong = Disagreement(walk, answers[0]);
  std::string text = kHead + setup;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    text += lines[i] + "\n";
    if (wrong && wrong->first == i) text += "# " + wrong->second + "\n";
  }
  return text + "stop\n";
}

unsigned Setting(const char* name, unsigned otherwise) {
  const char* text = std::getenv(name);
  return text && *text ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : otherwise;
}

TEST(KeyOrderWalk, EveryAnswerIsOneTheServersKeyOrderAllows) {
  const unsigned first = Setting("QZ_WALK_FIRST", 1), count = Setting("QZ_WALK_SEEDS", 200);
  const unsigned jobs = std::max(1u, Setting("QZ_WALK_JOBS", 3)), batch = 40;
  std::vector<unsigned> seeds, failed;
  for (unsigned s = first; s < first + count; ++s)
    if (!std::getenv("QZ_WALK_TABLES") || !Generate(s).order) seeds.push_back(s);
  // Each host process walks a batch of seeds, the next batch not yet taken.
  std::atomic<std::size_t> next{0};
  std::mutex lock;
  auto work = [&](unsigned job) {
    for (std::size_t at; (at = next.fetch_add(batch)) < seeds.size();) {
      std::vector<Walk> walks;
      for (std::size_t k = at; k < std::min<std::size_t>(seeds.size(), at + batch); ++k)
        walks.push_back(Generate(seeds[k]));
      const auto answers = RunWalks(walks, std::to_string(job));
      for (std::size_t w = 0; w < walks.size(); ++w) {
        const auto wrong = Disagreement(walks[w], answers[w]);
        const std::lock_guard<std::mutex> hold(lock);
        if (wrong) failed.push_back(seeds[at + w]);
        if (wrong && std::getenv("QZ_WALK_VERBOSE"))
          std::printf("seed %u step %zu: %s\n", seeds[at + w], wrong->first, wrong->second.c_str());
      }
    }
  };
  std::vector<std::thread> threads;
  for (unsigned j = 0; j < jobs; ++j) threads.emplace_back(work, j);
  for (auto& t : threads) t.join();
  std::sort(failed.begin(), failed.end());
  std::string seedsText;
  for (unsigned s : failed) seedsText += " " + std::to_string(s);
  EXPECT_TRUE(failed.empty()) << failed.size() << " of " << seeds.size() << " walks disagree with the model:"
                              << seedsText;
  // The first few, shrunk.
  for (std::size_t i = 0; i < std::min<std::size_t>(failed.size(), Setting("QZ_WALK_SHRINK", 1)); ++i)
    ADD_FAILURE() << "seed " << failed[i] << ", shrunk:\n" << Printed(Shrink(Generate(failed[i])));
}

}  // namespace
