// Random runs of three connections A, B and C on a table T (ID a unique key, QTY, NAME NOT NULL; in one run of three
// a CLOB and a BLOB written with every QTY, as long as it), checked step by step against a model of a server's NOWAIT
// row and table locks (a read without lock releases the record it reads; a table lock ends with its transaction, one
// taken outside any is a level of its own), of what each connection sees (the committed rows, its own pending work)
// and of named levels counted on one transaction (an inner rollback dooms it, a name no open level bears ends none),
// accepting each answer the driver may give, then the rows committed. A lost update (a read, another connection's
// committed change, then a lock or write of the row read) is drawn often. A run that disagrees is shrunk and printed
// as a host script, which replays it:
//   QZOCI_DATA_SOURCES=HOSTTEST build/dev/bin/qzhost --driver build/dev/bin/qz170ora64.so FILE
// Seeds 1-60 by default; QZ_LOCK_MODEL_FIRST_SEED (1 by default) and QZ_LOCK_MODEL_SEEDS choose others:
//   QZ_LOCK_MODEL_SEEDS=5000 build/dev/bin/qz_oracle_tests --gtest_filter='OracleLockModel.*'
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>

#include "oracle_table_fixture.h"
#include "standin/runtime/round_trip.h"

namespace {

// A step of connection conn (0 A, 1 B, 2 C). key: the ID sought or added, the direction of a read, the table lock's
// mode, the level's name (0 none, 1 X, 2 Y); value: the QTY written.
struct Op { int conn; char kind; int key = 0, value = 0; };
// Each kind: when it can run (N not connected, O connected with the table closed, b below two levels, t the table
// open, c a current record, u connected) and the host's lines (%k the key, %v the value, %d the direction, %n the
// connection, %t its table's name, %l the level's). s seek, r read, R read with lock, l lock, u unlock, m modify,
// M modify locked, f/F the same failing, a add, d delete, b begin, c commit, x rollback, C close, O open,
// D disconnect, N reconnect, T lock table, U unlock table, g read the large values.
const std::map<char, std::pair<char, const char*>> kKinds = {
    {'s', {'u', "seek ID %k"}}, {'r', {'u', "read %d"}}, {'R', {'u', "read %d lock"}}, {'l', {'c', "lock"}},
    {'u', {'c', "unlock"}}, {'m', {'c', "set QTY=%v NAME=a\nmodify"}}, {'M', {'c', "set QTY=%v NAME=a\nmodify locked"}},
    {'f', {'c', "set QTY=%v NAME=NULL\nmodify"}}, {'F', {'c', "set QTY=%v NAME=NULL\nmodify locked"}},
    {'a', {'t', "set ID=%k QTY=%v NAME=a\nadd"}}, {'d', {'c', "delete"}}, {'b', {'b', "begin%l"}},
    {'c', {'u', "commit%l"}}, {'x', {'u', "rollback%l"}}, {'C', {'t', "close"}}, {'O', {'O', "open"}},
    {'D', {'u', "disconnect %n"}}, {'N', {'N', "connect HOSTTEST SYSTEM manager as %n\ndescribe T%t\nopen"}},
    {'T', {'t', "lock table %k"}}, {'U', {'t', "unlock table"}}, {'g', {'c', "read-lob NOTE\nread-lob DATA"}}};
bool Is(char kind, const char* kinds) { return std::string(kinds).find(kind) != std::string::npos; }
std::u16string Wide(const std::string& text) { return {text.begin(), text.end()}; }
// The large values written with a QTY: as many letters, a to z again and again, as the host's write-lob writes.
std::string Letters(int n) {
  std::string text;
  for (int i = 0; i < n; ++i) text += static_cast<char>('a' + i % 26);
  return text;
}
const char* const kNames[] = {"", "X", "Y"};

// What the driver answered: the answer, whether a move ran off an end, the current record, the error's ORA text and
// whether the large values read are the letters of the record's QTY.
struct Outcome { int answer = 0; bool pastEnd = false; std::optional<int> id, qty; std::string ora; bool lobs = true; };
using Qty = std::optional<int>;  // a row's QTY, nullopt for no row
using Qtys = std::set<Qty>;
const Qtys kNoRow = {std::nullopt};

struct Model {
  static constexpr int kRows = 4;  // IDs 1..kRows, QTY = ID, committed at the start
  // by: the connection that committed it; flushed: surely seen by every session (its connection had no work pending).
  struct Version { Qty qty; int by; bool flushed; };
  // wrote: ran a write, failed or not, so the stand-in's session holds the database's writer lock.
  struct Txn { int conn; std::map<int, Qty> writes; bool wrote = false; };
  struct Conn {
    bool up = false, open = false, doomed = false;  // doomed: an inner level was rolled back
    int depth = 0, main = 0;                         // main: the program's transaction, while depth > 0
    int level = 0;               // the transaction a table lock began outside any level, while depth is 0
    std::vector<int> names;      // each open level's name
    std::map<int, int> entries;  // the table's record locks: ID -> the transaction holding the lock
    std::optional<int> cur;      // the ID of the current record, when known
    std::map<int, Qtys> seen;    // what the connection wrote to each ID
  };
  std::map<int, std::vector<Version>> rows;  // each ID's committed versions, the last one current
  std::map<int, Txn> txns;                   // by number, next the last one given
  std::map<int, int> holder;                 // ID -> the transaction holding the row's lock
  std::set<int> tables;                      // the transactions holding T's lock
  Conn conns[3];
  bool lobs = false;          // whether T has the large values
  int next = 0, answer = -1;  // answer: the one the last step had to give, -1 when either was accepted
  Qty shown;                  // the QTY the current record had to hold after it, when one only was accepted
  const Outcome* got = nullptr;
  std::string wrong;

  Model() { for (int k = 1; k <= kRows; ++k) rows[k].push_back({k, -1, true}); }
  // The transaction the connection's work goes into: the program's, else a table lock's level; 0 for none.
  static int Program(const Conn& me) { return me.depth ? me.main : me.level; }
  bool Applies(const Op& op) const {  // whether the step can run now: a shrunk run keeps steps whose preparation went
    const Conn& me = conns[op.conn];
    const char when = kKinds.at(op.kind).first;
    if (when == 'N' || !me.up) return when == 'N' && !me.up;
    if (op.kind == 'g' && !lobs) return false;
    return when == 'O' ? !me.open : when == 'b' ? me.depth < 2 : when == 't' ? me.open : when != 'c' || me.cur;
  }
  // Checks the driver's outcome of the step and moves on from it; what disagrees in words, empty when it agrees.
  std::string Step(const Op& op, const Outcome& outcome) {
    got = &outcome, wrong.clear(), answer = -1, shown.reset();
    Conn& me = conns[op.conn];
    const int t = Program(me);
    switch (op.kind) {
      case 's': case 'r':  // a move off an end leaves no record the next step could name for sure
        me.cur.reset();
        if (!Allow(!me.open, me.open) || !got->answer || got->pastEnd) break;
        if (op.kind == 's' && !Statement(op.conn, t, op.key, t != 0).count(std::nullopt) && got->id != op.key)
          wrong = "lands on ID " + std::to_string(got->id.value_or(0)) + ", not on the ID sought";
        if (got->id && Shows(Lenient(me, *got->id))) Release(me, *got->id);
        me.cur = got->id;
        break;
      case 'R':
        me.cur.reset();
        if (!me.open || !got->answer || got->pastEnd || !got->id) {
          // Which record it tried is not told: a refusal needs a row another transaction holds, or one gone.
          bool held = Locked(t, true), gone = false;
          for (auto& [k, versions] : rows) gone |= Statement(op.conn, t, k).count(std::nullopt) != 0;
          Allow(!me.open || (got->ora == "ORA-00054" ? held : gone), me.open);
        } else if (Lock(op.conn, *got->id, true)) {
          me.cur = got->id;
        }
        break;
      case 'l': Lock(op.conn, *me.cur, false); break;
      case 'u': if (Allow(false, true)) Release(me, *me.cur); break;
      case 'a': {
        const Qtys now = Statement(op.conn, t, op.key);
        const bool held = Holds(op.key, t) || Table(t);
        if (t) txns[t].wrote = true;
        me.cur.reset();
        if (Allow(held || now != kNoRow || Busy(t), !held && now.count(std::nullopt)) && got->answer)
          Put(op.conn, t ? t : NewTxn(op.conn), op.key, op.value, !t), me.cur = op.key;
        break;
      }
      case 'b':  // the program's first begin takes a table lock's level over
        if (!Allow(false, true)) break;
        if (me.depth++ == 0) me.main = me.level ? me.level : NewTxn(op.conn), me.doomed = false, me.level = 0;
        me.names.push_back(op.key);
        break;
      case 'c': case 'x': {
        // With no level to end it fails, as a name that no open level bears does (error 9, ending nothing). An inner
        // rollback undoes nothing of its own: it dooms the transaction, whose outermost commit then rolls everything
        // back and fails.
        const bool open = me.depth || me.level;
        if (op.key && open && std::count(me.names.begin(), me.names.end(), op.key) == 0) {
          if (Allow(true, false) && got->ora != "error 9") wrong = "fails with " + got->ora + ", not error 9";
          break;
        }
        const bool refused = op.kind == 'c' && me.doomed && me.depth == 1;
        Allow(refused || !open, !refused);
        if (me.depth == 2) me.depth = 1, me.doomed |= op.kind == 'x', me.names.pop_back();
        else if (open) End(t, op.kind == 'c' && !me.doomed), me.depth = me.main = me.level = 0, me.names.clear();
        break;
      }
      case 'T': {  // modes 0 and 1 lock nothing; a table lock outside any level begins one
        if (op.key < 2) { Allow(false, true); break; }
        if (!Allow(Locked(t, false) || Busy(t), !Locked(t, true)) || !got->answer) break;
        if (!t) me.level = NewTxn(op.conn);
        tables.insert(Program(me));
        break;
      }
      case 'U':  // ends only the level its lock began
        if (Allow(false, true) && !me.depth && me.level) End(me.level, true), me.level = 0;
        break;
      case 'g':
        if (Allow(false, true) && !got->lobs) wrong = "reads large values that are not those of the record's QTY";
        break;
      case 'C': case 'D':
        Allow(false, true);
        while (!me.entries.empty()) Release(me, me.entries.begin()->first);
        if (op.kind == 'D') End(me.main, false), End(me.level, false), me = Conn{};
        me.open = false, me.cur.reset();
        break;
      case 'O': case 'N': Allow(false, true), me.up = me.open = true; break;
      default:  // the writes and the delete of the current record
        Write(op);
        if (op.kind == 'd' || !got->answer) me.cur.reset();
    }
    // A connection with no pending work left has let every session see what it committed.
    bool pending[3] = {};
    for (auto& [id, txn] : txns) pending[txn.conn] |= !txn.writes.empty();
    for (auto& [k, versions] : rows)
      for (Version& v : versions) v.flushed |= v.by >= 0 && !pending[v.by];
    return wrong;
  }
  bool Allow(bool fails, bool succeeds) {  // whether the answer is one of those accepted
    answer = fails && succeeds ? -1 : succeeds;
    if (!(got->answer ? succeeds : fails))
      wrong = "answered " + std::to_string(got->answer) + (got->ora.empty() ? "" : " (" + got->ora + ")");
    return wrong.empty();
  }
  bool Shows(const Qtys& accepted) {  // whether the record landed on holds one of the accepted values
    if (accepted.size() == 1 && *accepted.begin()) shown = **accepted.begin();
    if (got->answer && !accepted.count(got->qty))
      wrong = "shows ID=" + std::to_string(got->id.value_or(0)) + " QTY=" +
              (got->qty ? std::to_string(*got->qty) : "NULL");
    return wrong.empty();
  }
  int NewTxn(int conn) { return txns[++next] = {conn, {}}, next; }
  // Another transaction than t holds row k (also the connection's own lock taken before t, which t's writes meet).
  bool Holds(int k, int t) const { return holder.count(k) && holder.at(k) != t; }
  bool Table(int t) const { return std::any_of(tables.begin(), tables.end(), [&](int x) { return x != t; }); }
  // Whether another transaction than t holds a lock on T that a table lock meets: surely (a row's, the table's), or
  // maybe (one a write took, failed or not, or a record lock of a row gone).
  bool Locked(int t, bool surely) const {
    bool held = Table(t);
    for (auto& [k, h] : holder) held |= h != t;
    for (auto& [id, txn] : txns) held |= !surely && id != t && txn.wrote;
    for (const Conn& c : conns)
      for (auto& [k, e] : c.entries) held |= !surely && e != t;
    return held;
  }
  // A read from rows fetched ahead shows a value the row held once, or one the reader wrote.
  Qtys Lenient(const Conn& me, int k) {
    Qtys held = me.seen.count(k) ? me.seen.at(k) : Qtys{};
    for (const Version& v : rows[k]) held.insert(v.qty);
    return held;
  }
  // What a statement of transaction t (0: none) may find of row k: its own write, else a committed version from the
  // last one every session surely sees on (or that its connection committed, on its lock session), or a write of
  // another transaction of its connection.
  Qtys Statement(int conn, int t, int k, bool lockSession = true) {
    if (t && txns[t].writes.count(k)) return {txns[t].writes[k]};
    Qtys found;
    for (auto& [id, txn] : txns)
      if (txn.conn == conn && txn.writes.count(k)) found.insert(txn.writes[k]);
    std::vector<Version>& versions = rows[k];
    if (versions.empty()) versions.push_back({std::nullopt, -1, true});
    std::size_t from = versions.size() - 1;
    while (from > 0 && !versions[from].flushed && !(lockSession && versions[from].by == conn)) --from;
    for (std::size_t i = from; i < versions.size(); ++i) found.insert(versions[i].qty);
    return found;
  }
  // The stand-in lets one session per database hold changes: a write meets another transaction that wrote.
  bool Busy(int t) const {
    auto other = [&](auto& u) { return u.first != t && u.second.wrote; };
    return got->ora == "ORA-00054" && std::any_of(txns.begin(), txns.end(), other);
  }
  // A lock of row k: of a record locked already it runs nothing (a read with lock shows what it fetched); else the lock
  // statement, refused when another transaction holds the row, failing with no row, showing the row as it stands.
  bool Lock(int conn, int k, bool read) {
    Conn& me = conns[conn];
    if (me.entries.count(k)) return Allow(false, true) && (!read || Shows(Lenient(me, k)));
    const int t = Program(me);
    const Qtys now = Statement(conn, t, k);
    const bool refused = Holds(k, t) || Table(t), gone = now.count(std::nullopt);
    if (!Allow(refused || gone, !refused && now != kNoRow) || !got->answer) return false;
    // A row the stand-in still shows another session after its deletion was committed is locked for this one only.
    me.entries[k] = t ? t : NewTxn(conn);
    if (!gone) holder[k] = me.entries[k];
    return Shows(Statement(conn, me.entries[k], k));
  }
  // A write of row k (QTY, or nullopt for a delete) by transaction t, committed at once when alone.
  void Put(int conn, int t, int k, Qty qty, bool alone) {
    txns[t].writes[k] = qty, txns[t].wrote = true, holder[k] = t;
    conns[conn].seen[k].insert(qty);
    if (alone) End(t, true);
  }
  // A write of the current record: its lock (the entry's, else a lock statement), then the statement; the lock stays
  // when the write was asked to keep it, even when the statement failed.
  void Write(const Op& op) {
    Conn& me = conns[op.conn];
    const int k = *me.cur, held = me.entries.count(k) ? me.entries[k] : 0;  // the record's own lock's transaction
    int t = Program(me) ? Program(me) : held;
    const Qtys now = Statement(op.conn, t, k);
    // Its own lock taken before the transaction: the stand-in refuses (a server waits) or lets the write through.
    const bool own = held && held != t, refused = Holds(k, t) || Table(t), gone = now.count(std::nullopt);
    const bool failing = Is(op.kind, "fF");
    if (!Allow(refused || gone || failing || Busy(t), (!refused || own) && !failing && now != kNoRow)) return;
    // A lock the record held already goes on, and is released after a plain write whatever the statement did.
    if (!got->answer && !held && (refused || gone)) return;
    if (!t) t = NewTxn(op.conn);
    if (!held) me.entries[k] = holder[k] = t;
    txns[t].wrote = true;
    if (got->answer) Put(op.conn, t, k, op.kind == 'd' ? Qty() : Qty(op.value), false);
    if (!Is(op.kind, "MF")) Release(me, k);
  }
  // The release of the record lock of row k: its own transaction is committed, one inside the program's stays.
  void Release(Conn& me, int k) {
    const auto entry = me.entries.find(k);
    if (entry == me.entries.end()) return;
    if (entry->second == Program(me)) me.entries.erase(entry);
    else End(entry->second, true);  // which drops the entry with the transaction's lock
  }
  void End(int t, bool commit) {
    const auto txn = txns.find(t);
    if (txn == txns.end()) return;
    for (auto& [k, qty] : txn->second.writes)
      if (commit) rows[k].push_back({qty, txn->second.conn, false});
    std::erase_if(holder, [&](auto& h) { return h.second == t; });
    tables.erase(t);
    for (Conn& c : conns) std::erase_if(c.entries, [&](auto& e) { return e.second == t; });
    txns.erase(txn);
  }
};

class OracleLockModel : public ocitest::OracleTableFixture {
 protected:
  OracleLockModel() : OracleTableFixture("OTMODEL") {}
  struct Side { std::unique_ptr<qzrt::ConnectionDescription> description; std::unique_ptr<qzrt::OpenTable> table; };
  using Found = std::optional<std::pair<char, std::string>>;  // the kind of step that disagreed, what the driver did

  // The connection opened on the run's data source, T described and opened, as the host's connect, describe, open.
  int Connect(Side& side, int conn) {
    qzrt::DriverSession session(driver);
    side.description = ocitest::Description(std::u16string(1, u"ABC"[conn]), source);
    if (!session.Connect(*side.description)) return 0;
    void* description = session.Describe(*side.description, u"T");
    void* access = description ? session.AccessInterface(*side.description, description) : nullptr;
    if (description) CallSlot<std::uint32_t>(description, 6);
    if (!access) return 0;
    side.table = std::make_unique<qzrt::OpenTable>(access, 1, 10 + nextFile++);
    return side.table->Open();
  }
  // The host closes the connection, then gives its tables back; the description outlives the driver's use of it.
  int Disconnect(Side& side) {
    const int answer = qzrt::DriverSession(driver).Disconnect(*side.description);
    side.table.reset();
    closed.push_back(std::move(side.description));
    return answer;
  }
  Outcome Run(Side& side, const Op& op) {
    qzrt::DriverSession session(driver);
    qzrt::OpenTable* table = side.table.get();
    if (op.kind == 'a') table->SetField(u"ID", std::to_string(op.key));
    if (Is(op.kind, "mMfFa")) table->SetField(u"QTY", std::to_string(op.value));
    if (Is(op.kind, "mMfFa")) table->SetField(u"NAME", Is(op.kind, "fF") ? qzrt::FieldText() : qzrt::FieldText("a"));
    const std::u16string name = Wide(kNames[Is(op.kind, "bcx") ? op.key : 0]), letters = Wide(Letters(op.value));
    CHostValue large[2];
    for (CHostValue& item : large) item.SetType(HOST_TYPE_TEXT), item.Set(letters.c_str());
    if (lobs && Is(op.kind, "mMa")) table->WriteLarge(0, &large[0]), table->WriteLarge(1, &large[1]);
    const int mode = Is(op.kind, "RlMF") ? 2 : 0;
    std::int32_t key = op.key;
    CHostValue value;
    Outcome got;
    switch (op.kind) {
      case 's': value.SetType(HOST_TYPE_INT32), value.Set(&key), got.answer = table->Seek(u"ID", &value); break;
      case 'r': case 'R': got.answer = table->Read(u"ID", op.key, mode); break;
      case 'l': case 'u': got.answer = table->LockRecord(mode); break;
      case 'a': got.answer = table->Add(); break;
      case 'd': got.answer = table->Delete(0); break;
      case 'b': got.answer = session.Begin(*side.description, name.c_str()); break;
      case 'c': got.answer = session.Commit(*side.description, name.c_str()); break;
      case 'x': got.answer = session.Rollback(*side.description, name.c_str()); break;
      case 'T': case 'U': got.answer = op.kind == 'T' ? table->LockTable(op.key) : table->UnlockTable(); break;
      case 'g': {  // both as long as the QTY the record shows, read as text
        CHostValue read[2];
        got.answer = table->ReadLarge(0, &read[0]) && table->ReadLarge(1, &read[1]);
        const auto qty = table->Field(u"QTY");
        for (CHostValue& item : read) {
          const char16_t* text = nullptr;
          if (!item.bIsNull()) item.EnsureWideText(), item.nGetWideText(&text);
          got.lobs &= qty && text && std::u16string(text) == Wide(Letters(std::stoi(*qty)));
        }
        break;
      }
      case 'C': case 'O': got.answer = op.kind == 'C' ? table->Close() : table->Open(); break;
      case 'D': case 'N': got.answer = op.kind == 'D' ? Disconnect(side) : Connect(side, op.conn); break;
      default: got.answer = table->Write(mode);  // m M f F
    }
    const bool onTable = side.table && !Is(op.kind, "bcxDN");
    const qzrt::ErrorReport error = onTable ? side.table->Error() : session.Error();
    if (!got.answer) got.ora = error.Ora().empty() ? "error " + std::to_string(error.code) : error.Ora();
    if (onTable && got.answer) {
      got.pastEnd = Is(op.kind, "srR") && table->OutOfRange(u"ID");
      const auto id = table->Field(u"ID"), qty = table->Field(u"QTY");
      if (id) got.id = std::stoi(*id);
      if (qty) got.qty = std::stoi(*qty);
    }
    return got;
  }
  // The host's lines of a step, on the table or the connection of its side.
  void Print(const Op& op) {
    const std::string name(1, "ABC"[op.conn]), table = op.conn ? "T" + name : "T";
    const std::string use = Is(op.kind, "bcx") ? "with " + name : "use " + table;
    std::string text = kKinds.at(op.kind).second;
    if (lobs && Is(op.kind, "mMa")) text.insert(text.find('\n') + 1, "write-lob NOTE %v\nwrite-lob DATA %v\n");
    if (!Is(op.kind, "DN") && use != used) script << use << "\n";
    used = op.kind == 'D' ? "" : use;  // a connection made again has its table in use
    static const char* const kDirections[] = {"first", "last", "next", "previous"};
    for (const char* p = text.c_str(); *p; ++p) {
      if (*p != '%') script << *p;
      else if (*++p == 'k' || *p == 'v') script << (*p == 'k' ? op.key : op.value);
      else if (*p == 'd') script << kDirections[op.key];
      else if (*p == 'l') script << (*kNames[op.key] ? " " : "") << kNames[op.key];
      else script << (*p == 'n' ? name : op.conn ? " as " + table : "");
    }
    script << "\n";
  }

  // Plays the steps on a new T through the three connections, the host's script of them in script.
  Found Play(const std::vector<Op>& given) {
    // A data source of its own: what one run leaves locked meets no other.
    const std::string name = "LOCKMODEL_" + std::to_string(++runs);
    ocitest::StandIn::Get().CreateDataSource(name.c_str());
    source = Wide(name);
    auto checking = ocitest::Description(u"Z", source);
    CallSlot<int>(driver, ocitest::kDriverOpen, checking.get());
    COracleConnection* checker = ocitest::ConnectionOf(driver, *checking);
    script.str(""), used.clear();
    script << "start\nconnect HOSTTEST SYSTEM manager as Z\nsql DROP TABLE T\n";
    auto sql = [&](const std::string& text) {
      EXPECT_TRUE(checker && checker->bExecuteSql(holder, Wide(text).c_str())) << ocitest::Dump(*holder);
      script << "sql " << text << "\n";
    };
    sql("CREATE TABLE T (ID NUMBER(10) NOT NULL, QTY NUMBER(10), NAME VARCHAR2(10) NOT NULL" +
        std::string(lobs ? ", NOTE CLOB, DATA BLOB)" : ")"));
    sql("CREATE UNIQUE INDEX T_ID ON T (ID)");
    for (int k = 1; k <= Model::kRows; ++k) {
      const std::string n = std::to_string(k), large = lobs ? ", '" + Letters(k) + "', '" + Letters(k) + "')" : ")";
      sql("INSERT INTO T VALUES (" + n + ", " + n + ", 'a'" + large);
    }
    sql("COMMIT");
    Side sides[3];
    Model model;
    model.lobs = lobs;
    // Both connections made, the steps, then every level still open rolled back and both tables closed, so that every
    // session sees what was committed.
    std::vector<Op> ops = {{0, 'N'}, {1, 'N'}, {2, 'N'}};
    ops.insert(ops.end(), given.begin(), given.end());
    for (int conn = 0; conn < 3; ++conn) ops.insert(ops.end(), {{conn, 'x'}, {conn, 'x'}, {conn, 'C'}});
    Found found;
    for (std::size_t i = 0; i < ops.size() && !found; ++i) {
      const Op& op = ops[i];
      const Model::Conn& me = model.conns[op.conn];
      if (!model.Applies(op) || (i >= 3 + given.size() && (op.kind == 'x' ? !me.depth && !me.level : !me.open)))
        continue;
      Print(op);
      const Outcome got = Run(sides[op.conn], op);
      const std::string wrong = model.Step(op, got);
      if (model.answer >= 0) script << "expect " << model.answer << "\n";
      if (model.shown && got.answer && !got.pastEnd) script << "expect QTY=" << *model.shown << "\n";
      if (!wrong.empty()) script << "# the driver " << wrong << "\n", found = {{op.kind, wrong}};
    }
    if (!found) {  // the rows committed, as the model and as a third connection sees them
      std::string rows, expected;
      script << "with Z\nquery Q SELECT ID, QTY FROM T ORDER BY ID\n";
      for (int k = 1; k <= 6; ++k) {
        const std::string ids = std::to_string(k);
        // A plain int, not the optional: GCC's optimizer takes the optional's value for uninitialized here.
        const bool held = !model.rows[k].empty() && model.rows[k].back().qty.has_value();
        const int qty = held ? *model.rows[k].back().qty : 0;
        const auto now = ocitest::FetchText(checker, *holder, Wide("SELECT QTY FROM T WHERE ID = " + ids).c_str());
        if (held) {
          script << "read " << (expected.empty() ? "first" : "next") << "\nexpect ID=" << ids << " QTY=" << qty << "\n";
          expected += " " + ids + "=" + std::to_string(qty);
        }
        if (now != u"<none>") rows += " " + ids + "=" + std::string(now.begin(), now.end());
      }
      if (rows != expected) found = {{'E', "commits" + rows + " where a server commits" + expected}};
    }
    // The runtime's context goes with its tables, which keep their connection's sessions, then the connections.
    qzrt::DriverSession(driver).CloseRegistry(1);
    for (Side& side : sides)
      if (side.description) Disconnect(side);
    CallSlot<int>(driver, ocitest::kDriverClose, checking.get());
    closed.push_back(std::move(checking));
    ocitest::StandIn::Get().CloseDatabases();  // thousands of runs would hold as many databases open
    script << "stop\n";
    return found;
  }

  bool lobs = false;  // whether T has the large values in this seed's runs
  std::uint64_t nextFile = 0;
  int runs = 0;
  std::u16string source;
  std::vector<std::unique_ptr<qzrt::ConnectionDescription>> closed;
  std::ostringstream script;  // the host's script of the last run
  std::string used;           // its last line choosing a table or a connection
};

TEST_F(OracleLockModel, EveryStepOfThreeConnectionsIsOneAServerWouldAnswer) {
  const char *first = std::getenv("QZ_LOCK_MODEL_FIRST_SEED"), *count = std::getenv("QZ_LOCK_MODEL_SEEDS");
  const unsigned from = first ? std::atoi(first) : 1, seeds = count ? std::atoi(count) : 60;
  std::map<std::string, unsigned> failures;  // the kind of step and what the driver did, with how many seeds
  for (unsigned seed = from; seed < from + seeds; ++seed) {
    // 36 draws, the connection changing at one in three, kinds drawn with weights, keys and values from the seed; L
    // draws a lost update: a read, another connection's change committed, then a lock or a write and a write. The
    // large values are in one seed's runs of three.
    std::mt19937 random(seed);
    lobs = seed % 3 == 0;
    static const char kDraw[] = "ssssrrrrrrRRRRRRllllluuuuummmMMMfFaaaddbbbbccxxxCOODNNTTTUUUgggLLLL";
    std::vector<Op> ops;
    auto draw = [&](int conn, char kind, int key) { ops.push_back({conn, kind, key, 100 + int(ops.size())}); };
    for (int i = 0, conn = 0; i < 36; ++i) {
      if (random() % 3 == 0) conn = (conn + 1 + random() % 2) % 3;
      const char kind = kDraw[random() % (sizeof kDraw - 1)];
      if (kind == 'L') {
        const int other = (conn + 1 + random() % 2) % 3, k = 1 + random() % Model::kRows, within = random() % 2;
        draw(conn, 's', k), draw(other, 's', k);
        if (within) draw(other, 'b', 0);
        draw(other, within ? 'm' : "mMl"[random() % 3], 0), draw(other, within ? 'c' : 'm', 0);
        draw(conn, "lMm"[random() % 3], 0), draw(conn, 'm', 0);
        continue;
      }
      const int key = kind == 'a' ? 1 + random() % 6 : kind == 's' ? 1 + random() % 5
                      : kind == 'T' ? "6661"[random() % 4] - '0' : Is(kind, "bcx") ? "0000012"[random() % 7] - '0'
                      : "0123222333"[random() % 10] - '0';
      draw(conn, kind, key);
    }
    const Found found = Play(ops);
    std::string key = found ? found->first + (": " + found->second) : "";
    key.erase(std::remove_if(key.begin(), key.end(), [](char c) { return std::isdigit(c) != 0; }), key.end());
    if (!found || failures[key]++ > 0) continue;  // one script for each kind of disagreement
    // The shortest run found, removing steps in halves, then quarters, ..., that disagrees at the same kind of step.
    for (std::size_t chunk = ops.size() / 2; chunk >= 1; chunk /= 2)
      for (std::size_t at = 0; at + chunk <= ops.size();) {
        std::vector<Op> candidate = ops;
        candidate.erase(candidate.begin() + at, candidate.begin() + at + chunk);
        const Found again = Play(candidate);
        if (again && again->first == found->first) ops = std::move(candidate);
        else at += chunk;
      }
    Play(ops);
    ADD_FAILURE() << "seed " << seed << ": the driver " << found->second << "; shrunk to\n" << script.str();
  }
  std::string summary;
  for (const auto& [kind, n] : failures) summary += "\n  " + std::to_string(n) + " at " + kind;
  EXPECT_TRUE(failures.empty()) << "seeds that disagree:" << summary;
}

}  // namespace
