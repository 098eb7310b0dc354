// The round trip's commands: tables described and opened through access interfaces, records filled, added, read,
// sought, locked, modified and deleted, transactions, large values, the catalog and queries. Each prints what it
// asked in words, the driver's answer, the current record's fields after a read or a write, and the error a failure
// left, through the runtime stand-in's round-trip helpers (standin/runtime/round_trip.h).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/utf8.h"
#include "standin/runtime/query_objects.h"
#include "standin/runtime/slot_call.h"
#include "tools/qzhost/host_state.h"
#include "tools/qzhost/runtime_values.h"

namespace qzhost {

namespace {

// The operations of a description and of its items that the host reads to show a table's columns.
enum : std::size_t {
  kFileRelease = 6,
  kFileItemCount = 12,
  kFileLargeItemCount = 14,
  kFileItem = 16,
  kFileLargeItem = 19,
  kFileIdentifyingKey = 22,
  kItemRelease = 6,
  kItemName = 7,
  kItemSize = 9,
  kItemType = 12,
  kItemUnique = 23,
  kItemDuplicates = 24,
};
// The access interface's reference and its record description (with a reference for the caller).
enum : std::size_t { kAccessAddRef = 5, kAccessDescription = 9 };

std::u16string Widen(const std::string& text) { return platform::ToUtf16(text); }
std::string Narrow(const char16_t* text) { return text ? platform::ToUtf8(text) : std::string(); }

// The rest of the line, without its leading blank.
std::string Rest(Words& words) {
  std::string rest;
  std::getline(words, rest);
  const std::size_t start = rest.find_first_not_of(" \t");
  return start == std::string::npos ? std::string() : rest.substr(start);
}

std::string Shown(const qzrt::FieldText& value) { return value ? *value : "NULL"; }

void PrintRecord(qzrt::OpenTable& table) {
  std::string text;
  for (const auto& [name, value] : table.Record()) text += (text.empty() ? "" : ", ") + name + "=" + Shown(value);
  std::printf("    record: %s\n", text.empty() ? "(none)" : text.c_str());
}

// A move that ran off an end (or a seek that found nothing) answers 1 and leaves the record as it was, which is no
// record of the move: the runtime asks the context whether it is out of range before it shows anything.
void PrintLanding(qzrt::OpenTable& table, int answer, const std::u16string& key) {
  if (answer && table.OutOfRange(key.c_str())) {
    std::printf("    past an end of the rows\n");
  } else if (answer) {
    PrintRecord(table);
  }
}

qzrt::ConnectionDescription* NeedConnection(State& state, const char* command) {
  qzrt::ConnectionDescription* connection = state.object ? state.Connection() : nullptr;
  if (!connection) std::printf("%s: no connection is open (connect first)\n", command);
  return connection;
}

ScriptTable* NeedTable(State& state, const char* command) {
  ScriptTable* table = state.Table();
  if (!table) std::printf("%s: no table is in use (describe or query first)\n", command);
  return table;
}

// An item of a description, with the reference the lookup took, given back at the end.
class Item {
 public:
  Item(void* description, std::size_t slot, std::uint32_t index)
      : m_item(qzrt::CallSlot<void*>(description, slot, index)) {}
  ~Item() {
    if (m_item) qzrt::CallSlot<std::uint32_t>(m_item, kItemRelease);
  }
  Item(const Item&) = delete;
  Item& operator=(const Item&) = delete;
  explicit operator bool() const { return m_item != nullptr; }
  template <typename R>
  R Ask(std::size_t slot) const {
    return qzrt::CallSlot<R>(m_item, slot);
  }

 private:
  void* m_item;
};

// A column type in words; the integer types of every width are "integer".
const char* TypeInWords(std::uint32_t type) {
  static const std::map<std::uint32_t, const char*> kWords = {{1, "automatic identifier"},
                                                              {2, "text"},
                                                              {6, "real number"},
                                                              {7, "real number"},
                                                              {10, "date"},
                                                              {11, "time"},
                                                              {13, "real number"},
                                                              {14, "date"},
                                                              {15, "text memo"},
                                                              {16, "binary memo"},
                                                              {17, "currency"},
                                                              {18, "binary memo"},
                                                              {21, "text"},
                                                              {23, "binary"},
                                                              {24, "date-time"},
                                                              {26, "text"},
                                                              {28, "automatic identifier"},
                                                              {29, "Unicode text"},
                                                              {30, "Unicode text memo"},
                                                              {31, "decimal number"}};
  const auto found = kWords.find(type);
  return found == kWords.end() ? "integer" : found->second;
}

// The columns of a description in words: name, type, and the key each one is.
std::string Columns(void* description) {
  std::string text;
  const std::uint32_t count = qzrt::CallSlot<std::uint32_t>(description, kFileItemCount);
  for (std::uint32_t i = 0; i < count; ++i) {
    Item item(description, kFileItem, i);
    if (!item) continue;
    const std::uint32_t type = item.Ask<std::uint32_t>(kItemType);
    text += (text.empty() ? "" : ", ") + Narrow(item.Ask<const char16_t*>(kItemName)) + " (" + TypeInWords(type);
    if (type == 2 || type == 29) text += " of " + std::to_string(item.Ask<std::uint32_t>(kItemSize));
    if (item.Ask<std::int32_t>(kItemUnique)) text += ", unique key";
    if (item.Ask<std::int32_t>(kItemDuplicates)) text += ", key with duplicates";
    text += ")";
  }
  return text;
}

// The name of the key the runtime reads a table through when the program names none: its description's
// identifying key (a query's, once it ran). Empty when the description has none.
std::string DefaultKey(qzrt::OpenTable& table) {
  void* description = qzrt::CallSlot<void*>(table.AccessInterface(), kAccessDescription);
  if (!description) return {};
  std::string name;
  if (void* key = qzrt::CallSlot<void*>(description, kFileIdentifyingKey)) {
    name = Narrow(qzrt::CallSlot<const char16_t*>(key, kItemName));
    qzrt::CallSlot<std::uint32_t>(key, kItemRelease);
  }
  qzrt::CallSlot<std::uint32_t>(description, kFileRelease);
  return name;
}

// The index of a large item among the description's large items, or -1.
int LargeItemIndex(qzrt::OpenTable& table, const std::string& name) {
  void* description = qzrt::CallSlot<void*>(table.AccessInterface(), kAccessDescription);
  if (!description) return -1;
  int found = -1;
  const std::uint32_t count = qzrt::CallSlot<std::uint32_t>(description, kFileLargeItemCount);
  for (std::uint32_t i = 0; i < count && found < 0; ++i) {
    Item item(description, kFileLargeItem, i);
    if (item && Narrow(item.Ask<const char16_t*>(kItemName)) == name) found = static_cast<int>(i);
  }
  qzrt::CallSlot<std::uint32_t>(description, kFileRelease);
  return found;
}

void KeepTable(State& state, const std::string& label, void* access, std::uint64_t file) {
  ScriptTable& table = state.tables[label];
  table.open = std::make_unique<qzrt::OpenTable>(access, 1, file);
  table.connection = state.connection;
  table.name = label;
  state.table = label;
}

// Runs a statement's text as the runtime runs a query given as SQL text; the access interface of its rows, if any.
void* RunText(State& state, qzrt::ConnectionDescription& connection, const std::string& label, const std::string& text,
              std::uint64_t file, int& answer) {
  auto& query = state.queries.emplace_back(std::make_unique<qzrt::QueryAnalysis>());
  query->SetText(qzrt::QueryAnalysis::kSqlText, Widen(text));
  qzrt::FileHandle handle(1, file);
  constexpr std::uint32_t kSqlTextAsItStands = 4;
  return qzrt::DriverSession(state.object)
      .RunQuery(connection, handle, Widen(label).c_str(), query.get(), kSqlTextAsItStands, &answer);
}

bool BindValues(State& state) {
  if (!state.valuesBound) state.valuesBound = BindRuntimeValues();
  if (!state.valuesBound) std::printf("the runtime's values cannot be bound to the stand-in's conversions\n");
  return state.valuesBound;
}

// A transaction step on the current connection, of the level named by the script's word when it gives one, with
// the nesting level it leaves.
bool Transaction(State& state, const char* command,
                 int (qzrt::DriverSession::*step)(qzrt::ConnectionDescription&, const char16_t*), int change,
                 Words& words) {
  qzrt::ConnectionDescription* connection = NeedConnection(state, command);
  if (!connection) return false;
  std::string name;
  words >> name;
  const std::u16string name16 = Widen(name);
  qzrt::DriverSession session(state.object);
  const int answer = (session.*step)(*connection, name.empty() ? nullptr : name16.c_str());
  int& level = state.levels[state.connection];
  if (answer) level += change;
  std::string what = std::string(command) + " on " + state.connection;
  if (change > 0) what = "begin a transaction" + std::string(level > 1 ? " nested" : "") + " on " + state.connection;
  if (change < 0) what += " (level " + std::to_string(level + 1) + ")";
  Tell(state, what, answer, session.Error());
  return true;
}

}  // namespace

// ---- connections, statements and tables ------------------------------------------------------------------------

bool With(const Driver&, State& state, Words& words) {
  std::string name;
  if (!(words >> name) || !state.connections.count(name)) return Usage("with", "NAME (of a connection)");
  state.connection = name;
  std::printf("the next steps run on connection %s\n", name.c_str());
  return true;
}

bool Sql(const Driver&, State& state, Words& words) {
  const std::string text = Rest(words);
  qzrt::ConnectionDescription* connection = NeedConnection(state, "sql");
  if (text.empty()) return Usage("sql", "STATEMENT");
  if (!connection) return false;
  int answer = 0;
  const std::uint64_t file = state.nextFile++;
  void* access = RunText(state, *connection, "SQL", text, file, answer);
  Tell(state, "run on " + state.connection + ": " + text, answer, qzrt::DriverSession(state.object).Error());
  if (access) qzrt::OpenTable release(access, 1, file);
  return true;
}

bool Query(const Driver&, State& state, Words& words) {
  std::string label;
  words >> label;
  const std::string text = Rest(words);
  qzrt::ConnectionDescription* connection = NeedConnection(state, "query");
  if (label.empty() || text.empty()) return Usage("query", "NAME SELECT...");
  if (!connection) return false;
  int answer = 0;
  const std::uint64_t file = state.nextFile++;
  void* access = RunText(state, *connection, label, text, file, answer);
  Tell(state, "run the query " + label + " on " + state.connection + ": " + text, answer,
       qzrt::DriverSession(state.object).Error());
  if (access) {
    KeepTable(state, label, access, file);
    state.tables[label].query = true;
    std::printf("    its rows are read as the table %s (read first by %s, ...)\n", label.c_str(),
                DefaultKey(*state.tables[label].open).c_str());
  }
  return true;
}

bool Describe(const Driver&, State& state, Words& words) {
  std::string name, as, label;
  if (!(words >> name) || (words >> as && (as != "as" || !(words >> label)))) {
    return Usage("describe", "TABLE [as NAME]");
  }
  qzrt::ConnectionDescription* connection = NeedConnection(state, "describe");
  if (!connection) return false;
  if (label.empty()) label = name;
  qzrt::DriverSession session(state.object);
  void* description = session.Describe(*connection, Widen(name).c_str());
  void* access = description ? session.AccessInterface(*connection, description) : nullptr;
  Tell(state, "describe the table " + name + " on " + state.connection, access != nullptr, session.Error());
  if (description) {
    std::printf("    columns: %s\n", Columns(description).c_str());
    // The access interface keeps a reference of its own.
    qzrt::CallSlot<std::uint32_t>(description, kFileRelease);
  }
  if (access) {
    KeepTable(state, label, access, state.nextFile++);
    if (label != name) std::printf("    the script calls it %s\n", label.c_str());
  }
  return true;
}

bool Use(const Driver&, State& state, Words& words) {
  std::string label;
  if (!(words >> label) || !state.tables.count(label)) return Usage("use", "NAME (of a table described or queried)");
  state.table = label;
  state.connection = state.tables[label].connection;
  std::printf("the next steps use the table %s on connection %s\n", label.c_str(), state.connection.c_str());
  return true;
}

bool Create(const Driver&, State& state, Words&) {
  ScriptTable* table = NeedTable(state, "create");
  if (!table) return false;
  const int answer = table->open->Create();
  Tell(state, "create " + table->name + " from its description (dropped first, then its keys' indexes) and open it",
       answer, table->open->Error());
  return true;
}

bool Open(const Driver&, State& state, Words&) {
  ScriptTable* table = NeedTable(state, "open");
  if (!table) return false;
  const int answer = table->open->Open();
  Tell(state, "open " + table->name, answer, table->open->Error());
  return true;
}

bool Copy(const Driver&, State& state, Words& words) {
  std::string as, label;
  if (!(words >> as >> label) || as != "as" || state.tables.count(label)) return Usage("copy", "as NAME (a new one)");
  ScriptTable* table = NeedTable(state, "copy");
  if (!table) return false;
  // The runtime copies a whole session context: every table of the current one's context goes, under the same file
  // identifiers, into a context of its own.
  const std::uint64_t from = table->open->Handle().nGetContextId();
  const std::uint64_t to = state.nextContext++;
  qzrt::KeyTranslator translator;
  for (auto& [name, kept] : state.tables) {
    qzrt::FileHandle& handle = kept.open->Handle();
    if (handle.nGetContextId() == from) translator.SetTranslation(handle.nGetFileId(), handle.nGetFileId());
  }
  qzrt::RegistryKey source(from), target(to);
  const int answer = qzrt::CallSlot<std::int32_t>(state.object, kCopyRegistry, static_cast<void*>(&translator),
                                                  static_cast<void*>(&source), static_cast<void*>(&target),
                                                  std::uint32_t{0});
  Tell(state, "copy the tables of context " + std::to_string(from) + " into context " + std::to_string(to), answer,
       qzrt::DriverSession(state.object).Error());
  if (!answer) return true;
  // The copy is reached through the same access interface, by a handle of the new context: one more reference.
  void* access = table->open->AccessInterface();
  qzrt::CallSlot<std::uint32_t>(access, kAccessAddRef);
  ScriptTable& copy = state.tables[label];
  copy.open = std::make_unique<qzrt::OpenTable>(access, to, table->open->Handle().nGetFileId());
  copy.connection = table->connection;
  copy.name = label;
  copy.query = table->query;
  std::printf("    the copy of %s is the table %s, in use from now on\n", table->name.c_str(), label.c_str());
  state.table = label;
  return true;
}

bool Close(const Driver&, State& state, Words&) {
  ScriptTable* table = NeedTable(state, "close");
  if (!table) return false;
  const int answer = table->open->Close();
  Tell(state, "close " + table->name, answer, table->open->Error());
  return true;
}

// ---- records ---------------------------------------------------------------------------------------------------

bool Set(const Driver&, State& state, Words& words) {
  ScriptTable* table = NeedTable(state, "set");
  if (!table) return false;
  std::string pair, shown;
  bool all = true;
  while (words >> pair) {
    const std::size_t equals = pair.find('=');
    if (equals == std::string::npos) return Usage("set", "ITEM=VALUE... (NULL for no value)");
    const std::string name = pair.substr(0, equals);
    const std::string text = pair.substr(equals + 1);
    const qzrt::FieldText value = text == "NULL" ? qzrt::FieldText() : qzrt::FieldText(text);
    if (!table->open->SetField(Widen(name).c_str(), value)) {
      std::printf("    %s has no field %s that takes %s\n", table->name.c_str(), name.c_str(), text.c_str());
      all = false;
    }
    shown += (shown.empty() ? "" : ", ") + name + "=" + text;
  }
  Tell(state, "fill the record of " + table->name + ": " + shown, all, {});
  return true;
}

namespace {

// A write on the current record; its fields after it when it went through.
bool Write(State& state, const char* command, const std::string& what, int (*run)(qzrt::OpenTable&, bool),
           Words& words) {
  ScriptTable* table = NeedTable(state, command);
  if (!table) return false;
  std::string word;
  const bool keepLock = words >> word && word == "locked";
  const int answer = run(*table->open, keepLock);
  Tell(state, what + " " + table->name + (keepLock ? ", keeping its lock" : ""), answer, table->open->Error());
  if (answer) PrintRecord(*table->open);
  return true;
}

}  // namespace

bool Add(const Driver&, State& state, Words& words) {
  return Write(
      state, "add", "add the record as a new row of", [](qzrt::OpenTable& t, bool) { return t.Add(); }, words);
}

// Modes 2 and 3 keep the record's lock after the write; 0 takes it for the write alone.
bool Modify(const Driver&, State& state, Words& words) {
  return Write(
      state, "modify", "write the changed record back to",
      [](qzrt::OpenTable& t, bool keep) { return t.Write(keep ? 2 : 0); }, words);
}

bool Delete(const Driver&, State& state, Words& words) {
  return Write(
      state, "delete", "delete the current record of",
      [](qzrt::OpenTable& t, bool keep) { return t.Delete(keep ? 2 : 0); }, words);
}

bool Read(const Driver&, State& state, Words& words) {
  static const char* const kDirections[] = {"first", "last", "next", "previous"};
  ScriptTable* table = NeedTable(state, "read");
  if (!table) return false;
  std::string direction, by, key, word;
  std::uint32_t count = 0;
  if (!(words >> direction)) return Usage("read", "first|next|last|previous|record N [by KEY] [lock]");
  if (direction == "record" && !(words >> count)) return Usage("read", "record N [by KEY]");
  std::uint32_t code = 4;
  for (std::uint32_t d = 0; d < 4; ++d) code = direction == kDirections[d] ? d : code;
  if (code == 4 && direction != "record") return Usage("read", "first|next|last|previous|record N [by KEY] [lock]");
  bool lock = false;
  while (words >> word) {
    if (word == "by" && words >> key) continue;
    if (word != "lock") return Usage("read", "first|next|last|previous|record N [by KEY] [lock]");
    lock = true;
  }
  if (key.empty()) key = DefaultKey(*table->open);
  if (key.empty()) key = table->name;
  const std::u16string key16 = Widen(key);
  std::string what;
  int answer = 0;
  if (direction == "record") {
    what = "read record " + std::to_string(count) + " by " + key + ", counting from the first";
    answer = table->open->ReadBy(key16.c_str(), qzrt::kReadFirst, count);
  } else {
    what = "read the " + direction + " record of " + table->name + " by " + key + (lock ? ", locking it" : "");
    // The runtime reads a query's rows keeping the context at first and last, and going on in its rows (not
    // running the query again) at next and previous.
    const bool atAnEnd = code == qzrt::kReadFirst || code == qzrt::kReadLast;
    const std::uint32_t flags = !table->query ? 0 : atAnEnd ? 0x4000 : 0x2000;
    answer = table->open->Read(key16.c_str(), code, lock ? 2 : 0, flags);
  }
  Tell(state, what, answer, table->open->Error());
  PrintLanding(*table->open, answer, key16);
  return true;
}

bool Position(const Driver&, State& state, Words& words) {
  ScriptTable* table = NeedTable(state, "position");
  if (!table) return false;
  std::string word, key;
  std::optional<std::uint32_t> target;
  while (words >> word) {
    if (word == "by" && words >> key) continue;
    char* end = nullptr;
    const unsigned long n = std::strtoul(word.c_str(), &end, 10);
    if (*end || target) return Usage("position", "[PER_MILLE] [by KEY]");
    target = static_cast<std::uint32_t>(n);
  }
  if (key.empty()) key = DefaultKey(*table->open);
  if (key.empty()) key = table->name;
  const std::u16string key16 = Widen(key);
  std::uint32_t perMille = 0;
  const int answer = target ? table->open->GoToPerMille(key16.c_str(), *target)
                            : table->open->PerMille(key16.c_str(), &perMille);
  Tell(state,
       target ? "go to " + std::to_string(*target) + " per mille of " + table->name + " by " + key
              : "the position of " + table->name + " by " + key + " per mille",
       answer, table->open->Error());
  if (answer && !target) std::printf("    per mille: %u\n", perMille);
  if (target) PrintLanding(*table->open, answer, key16);
  return true;
}

bool Seek(const Driver&, State& state, Words& words) {
  ScriptTable* table = NeedTable(state, "seek");
  std::string key, text, word;
  if (!(words >> key >> text)) return Usage("seek", "KEY VALUE [generic]");
  const bool generic = static_cast<bool>(words >> word);
  if (generic && word != "generic") return Usage("seek", "KEY VALUE [generic]");
  if (!table || !BindValues(state)) return false;
  char* end = nullptr;
  const long long number = std::strtoll(text.c_str(), &end, 10);
  // A number past the runtime's 4-byte integer is given as its text, as the runtime gives a literal it cannot hold
  // as an integer, not cut to its low bytes.
  const bool integer = !*end && number >= INT32_MIN && number <= INT32_MAX;
  Value value = integer ? NewNumberValue(static_cast<std::int32_t>(number)) : NewTextValue(Widen(text));
  const int answer = table->open->Seek(Widen(key).c_str(), value.get(), !generic);
  Tell(state, "seek the first record of " + table->name + " whose " + key + (generic ? " starts with " : " is ") + text,
       answer, table->open->Error());
  PrintLanding(*table->open, answer, Widen(key));
  return true;
}

bool Lock(const Driver&, State& state, Words& words) {
  ScriptTable* table = NeedTable(state, "lock");
  if (!table) return false;
  std::string word;
  std::uint32_t mode = 0;
  if (words >> word) {
    if (word != "table" || !(words >> mode)) return Usage("lock", "[table MODE]");
    const int answer = table->open->LockTable(mode);
    Tell(state, "lock the table " + table->name + " in mode " + std::to_string(mode), answer, table->open->Error());
    return true;
  }
  const int answer = table->open->LockRecord(2);
  Tell(state, "lock the current record of " + table->name + " on " + table->connection, answer, table->open->Error());
  return true;
}

bool Unlock(const Driver&, State& state, Words& words) {
  ScriptTable* table = NeedTable(state, "unlock");
  if (!table) return false;
  std::string word;
  if (words >> word) {
    if (word != "table") return Usage("unlock", "[table]");
    const int answer = table->open->UnlockTable();
    Tell(state, "unlock the table " + table->name, answer, table->open->Error());
    return true;
  }
  const int answer = table->open->LockRecord(0);
  Tell(state, "release the lock of the current record of " + table->name + " on " + table->connection, answer,
       table->open->Error());
  return true;
}

// ---- transactions ----------------------------------------------------------------------------------------------

bool Begin(const Driver&, State& state, Words& words) {
  return Transaction(state, "begin", &qzrt::DriverSession::Begin, 1, words);
}

bool Commit(const Driver&, State& state, Words& words) {
  return Transaction(state, "commit", &qzrt::DriverSession::Commit, -1, words);
}

bool Rollback(const Driver&, State& state, Words& words) {
  return Transaction(state, "roll back", &qzrt::DriverSession::Rollback, -1, words);
}

// ---- large values ----------------------------------------------------------------------------------------------

bool WriteLarge(const Driver&, State& state, Words& words) {
  ScriptTable* table = NeedTable(state, "write-lob");
  std::string name;
  std::size_t length = 0;
  if (!(words >> name >> length)) return Usage("write-lob", "ITEM LENGTH");
  if (!table || !BindValues(state)) return false;
  const int index = LargeItemIndex(*table->open, name);
  if (index < 0) {
    std::printf("    %s has no large item %s\n", table->name.c_str(), name.c_str());
    return false;
  }
  std::u16string text;
  for (std::size_t i = 0; i < length; ++i) text += static_cast<char16_t>(u'a' + i % 26);
  Value value = NewTextValue(text);
  const int answer = table->open->WriteLarge(static_cast<std::uint32_t>(index), value.get());
  Tell(state,
       "write " + std::to_string(length) + " characters (a to z, again and again) into " + name + " of " + table->name +
           "'s current record",
       answer, table->open->Error());
  if (answer) state.written = std::move(text);
  return true;
}

bool ReadLarge(const Driver&, State& state, Words& words) {
  ScriptTable* table = NeedTable(state, "read-lob");
  std::string name;
  if (!(words >> name)) return Usage("read-lob", "ITEM");
  if (!table || !BindValues(state)) return false;
  const int index = LargeItemIndex(*table->open, name);
  if (index < 0) {
    std::printf("    %s has no large item %s\n", table->name.c_str(), name.c_str());
    return false;
  }
  Value value = NewEmptyValue();
  const int answer = table->open->ReadLarge(static_cast<std::uint32_t>(index), value.get());
  Tell(state, "read " + name + " of " + table->name + "'s current record", answer, table->open->Error());
  if (!answer) return true;
  std::u16string text;
  if (!ValueText(*value, text)) {
    std::printf("    no value\n");
  } else {
    const bool same = text == state.written;
    std::printf("    %zu characters, %s\n", text.size(), same ? "the same as written" : "not what was written");
    // A value that came back changed fails the step.
    state.last = same;
  }
  return true;
}

// ---- the catalog -----------------------------------------------------------------------------------------------

namespace {

void PrintLines(CHostValue* value, const char* what) {
  std::u16string text;
  if (!ValueText(*value, text)) {
    std::printf("    no %s\n", what);
    return;
  }
  std::vector<std::string> lines;
  std::string all = platform::ToUtf8(text);
  for (std::size_t start = 0; start < all.size();) {
    std::size_t end = all.find("\r\n", start);
    if (end == std::string::npos) end = all.size();
    if (end > start) lines.push_back(all.substr(start, end - start));
    start = end + 2;
  }
  constexpr std::size_t kShown = 12;
  std::printf("    %zu %s:\n", lines.size(), what);
  for (std::size_t i = 0; i < lines.size() && i < kShown; ++i) std::printf("      %s\n", lines[i].c_str());
  if (lines.size() > kShown) std::printf("      ... and %zu more\n", lines.size() - kShown);
}

}  // namespace

bool Catalog(const Driver&, State& state, Words& words) {
  std::uint32_t flags = 1;
  words >> flags;
  qzrt::ConnectionDescription* connection = NeedConnection(state, "catalog");
  if (!connection || !BindValues(state)) return false;
  qzrt::DriverSession session(state.object);
  Value value = NewEmptyValue();
  std::string kinds;
  for (const auto& [bit, words] : {std::pair{1u, "tables"}, std::pair{2u, "views and synonyms"},
                                   std::pair{4u, "the system schemas'"}, std::pair{8u, "procedures"}}) {
    if (flags & bit) kinds += (kinds.empty() ? "" : ", ") + std::string(words);
  }
  if (flags & 16) kinds += ", sorted";
  const int answer = session.ListCatalog(*connection, value.get(), flags);
  Tell(state, "list the catalog of " + state.connection + " (" + kinds + ")", answer, session.Error());
  if (state.last) PrintLines(value.get(), "entries");
  return true;
}

bool Links(const Driver&, State& state, Words& words) {
  std::string name;
  if (!(words >> name)) return Usage("links", "TABLE");
  qzrt::ConnectionDescription* connection = NeedConnection(state, "links");
  if (!connection || !BindValues(state)) return false;
  qzrt::DriverSession session(state.object);
  Value value = NewEmptyValue();
  const int answer = session.ReferentialLinks(*connection, Widen(name).c_str(), value.get());
  Tell(state, "list the referential links of " + name + " on " + state.connection, answer, session.Error());
  if (state.last) PrintLines(value.get(), "links");
  return true;
}

// ---- checks ----------------------------------------------------------------------------------------------------

bool ExpectRecordOrError(State& state, const std::string& first, Words& words) {
  if (first.rfind("ORA-", 0) == 0) {
    const std::string got = state.error ? state.error->Ora() : std::string();
    std::string word;
    std::uint32_t recorded = 0;
    const bool withState = words >> word && word == "state" && words >> recorded;
    if (got != first || (withState && state.error->state != recorded)) {
      std::printf("  expected %s%s, got %s (state %u)\n", first.c_str(),
                  withState ? (" state " + std::to_string(recorded)).c_str() : "",
                  got.empty() ? "no error" : got.c_str(), state.error ? state.error->state : 0u);
      return false;
    }
    return true;
  }
  ScriptTable* table = state.Table();
  std::string pair = first;
  do {
    const std::size_t equals = pair.find('=');
    if (!table || equals == std::string::npos) return Usage("expect", "VALUE | ORA-nnnnn [state N] | ITEM=VALUE...");
    const std::string name = pair.substr(0, equals);
    const std::string expected = pair.substr(equals + 1);
    const std::string got = Shown(table->open->Field(Widen(name).c_str()));
    if (got != expected) {
      std::printf("  expected %s=%s, got %s\n", name.c_str(), expected.c_str(), got.c_str());
      return false;
    }
  } while (words >> pair);
  return true;
}

}  // namespace qzhost
