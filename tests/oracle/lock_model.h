// What a server lets two connections see and do on one table T (ID a unique key, QTY, NAME NOT NULL) through the
// driver: Oracle's row locks taken with NOWAIT (a lock of a row another transaction holds is refused at once), each
// connection seeing the committed rows and its own pending work, a record lock held by a transaction of its own
// outside the program's transaction (committed by its release) and by that transaction inside it, and nested levels
// counted on one server transaction (an inner rollback dooms it). Where the driver may answer more than one way (a
// read from rows fetched ahead, the stand-in's one writer per database, a write meeting the connection's own lock
// taken before its transaction), every such answer is accepted and the model goes on from the one given.
#pragma once

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace lockmodel {

// A step of one connection (0 or 1). key: the ID sought or added, the direction of a read; value: the QTY written.
struct Op {
  int conn;
  char kind;  // s seek, r read, R read with lock, l lock, u unlock, m modify, M modify locked, f failing write,
              // F failing write locked, a add, d delete, b begin, c commit, x rollback, C close, O open,
              // D disconnect, N connect again
  int key = 0;
  int value = 0;
};

// What the driver answered: the answer, whether a move ran off an end, the current record and the error's ORA text.
struct Outcome {
  int answer = 0;
  bool pastEnd = false;
  std::optional<int> id, qty;
  std::string ora;
};

using Qty = std::optional<int>;  // a row's QTY, nullopt for no row

class Model {
 public:
  static constexpr int kRows = 4;  // IDs 1..kRows, QTY = ID, committed at the start

  Model() {
    for (int k = 1; k <= kRows; ++k) rows_[k].push_back({k, -1, true});
  }

  // Whether the step can run now: a shrunk sequence keeps steps whose preparation went.
  bool Applies(const Op& op) const {
    const Conn& me = conns_[op.conn];
    switch (op.kind) {
      case 'N': return !me.up;
      case 'O': return me.up && !me.open;
      case 'b': return me.up && me.depth < 2;
      case 'a': case 'C': return me.up && me.open;
      case 's': case 'r': case 'R': case 'c': case 'x': case 'D': return me.up;
      default: return me.up && me.cur.has_value();
    }
  }

  // The answer the last step had to give, -1 when either was accepted.
  int Answer() const { return answer_; }
  // The QTY the current record had to hold after the last step, when one only was accepted.
  std::optional<int> Shown() const { return shown_; }

  // Checks the driver's outcome of the step and moves on from it; what disagrees in words, empty when it agrees.
  std::string Step(const Op& op, const Outcome& got) {
    got_ = &got;
    wrong_.clear();
    answer_ = -1;
    shown_.reset();
    Conn& me = conns_[op.conn];
    const int t = me.depth ? me.main : 0;
    switch (op.kind) {
      case 's': case 'r':
        // A move off an end leaves no record the next step could name for sure.
        if (got.pastEnd || !got.answer) me.cur.reset();
        if (!Allow(!me.open, me.open) || !got.answer || got.pastEnd) break;
        if (op.kind == 's' && !Statement(op.conn, t, op.key, t != 0).count(std::nullopt) && got.id != op.key) {
          wrong_ = "lands on ID " + std::to_string(got.id.value_or(0)) + ", not on the ID sought";
        }
        if (got.id && Shows(Lenient(me, *got.id))) Release(me, *got.id);
        me.cur = got.id;
        break;
      case 'R':
        me.cur.reset();
        if (!me.open) {
          Allow(true, false);
        } else if (!got.answer || got.pastEnd || !got.id) {
          // Which record it tried is not told: a refusal needs a row another transaction holds, or one gone.
          bool held = false, gone = false;
          for (auto& [k, h] : holder_) held |= h != t;
          for (auto& [k, versions] : rows_) gone |= Statement(op.conn, t, k).count(std::nullopt) != 0;
          Allow(got.ora == "ORA-00054" ? held : gone, true);
        } else if (me.entries.count(*got.id)) {
          if (Allow(false, true) && Shows(Lenient(me, *got.id))) me.cur = got.id;
        } else if (Lock(op.conn, *got.id) && Shows(Statement(op.conn, me.entries[*got.id], *got.id))) {
          me.cur = got.id;
        }
        break;
      case 'l':
        if (me.entries.count(*me.cur)) {
          Allow(false, true);
        } else if (Lock(op.conn, *me.cur)) {
          Shows(Statement(op.conn, me.entries[*me.cur], *me.cur));
        }
        break;
      case 'u':
        if (Allow(false, true)) Release(me, *me.cur);
        break;
      case 'm': case 'M': case 'f': case 'F': case 'd':
        Write(op);
        if (op.kind == 'd' || !got.answer) me.cur.reset();
        break;
      case 'a': {
        const std::set<Qty> now = Statement(op.conn, t, op.key);
        const bool held = Holds(op.key, t);
        me.cur.reset();
        if (t) txns_[t].wrote = true;
        if (Allow(held || now != std::set<Qty>{std::nullopt} || Busy(t), !held && now.count(std::nullopt)) &&
            got.answer) {
          Put(op.conn, t ? t : NewTxn(op.conn), op.key, op.value, !t);
          me.cur = op.key;
        }
        break;
      }
      case 'b':
        if (Allow(false, true) && me.depth++ == 0) me.main = NewTxn(op.conn), me.doomed = false;
        break;
      case 'c': case 'x':
        if (!me.depth) {
          Allow(true, true);  // no level to end: a connection that never began one fails
        } else if (me.depth == 2) {
          Allow(false, true);
          me.depth = 1;
          me.doomed |= op.kind == 'x';
        } else {
          // An inner rollback undoes nothing of its own: the outermost commit then rolls everything back and fails.
          const bool refused = op.kind == 'c' && me.doomed;
          Allow(refused, !refused);
          End(me.main, op.kind == 'c' && !me.doomed);
          me.depth = me.main = 0;
        }
        break;
      case 'C': case 'D':
        Allow(false, true);
        while (!me.entries.empty()) Release(me, me.entries.begin()->first);
        if (op.kind == 'D') {
          End(me.main, false);
          me = Conn{};
          me.up = false;
        }
        me.open = false;
        me.cur.reset();
        break;
      case 'O': case 'N':
        Allow(false, true);
        me.up = me.open = true;
        break;
    }
    Flush();
    return wrong_;
  }

  int Depth(int conn) const { return conns_[conn].up ? conns_[conn].depth : 0; }
  bool Open(int conn) const { return conns_[conn].up && conns_[conn].open; }
  // The committed QTY of every ID that has a row.
  std::map<int, int> Committed() const {
    std::map<int, int> rows;
    for (const auto& [k, versions] : rows_) {
      if (versions.back().qty) rows[k] = *versions.back().qty;
    }
    return rows;
  }

 private:
  struct Version {
    Qty qty;
    int by;        // the connection that committed it
    bool flushed;  // seen by every session for sure: its connection held no pending work since
  };
  struct Txn {
    int conn;
    std::map<int, Qty> writes;
    bool wrote = false;  // ran a write, failed or not: the stand-in's session holds the database's writer lock
  };
  struct Conn {
    bool up = true, open = true, doomed = false;
    int depth = 0, main = 0;
    std::map<int, int> entries;         // the table's record locks: ID -> the transaction holding the lock
    std::optional<int> cur;             // the ID of the current record, when known
    std::map<int, std::set<Qty>> seen;  // what the connection wrote to each ID
  };

  // Whether the answer is one of those accepted (failing, succeeding).
  bool Allow(bool fails, bool succeeds) {
    answer_ = fails && succeeds ? -1 : succeeds;
    if (!(got_->answer ? succeeds : fails)) {
      wrong_ = "answered " + std::to_string(got_->answer) + (got_->ora.empty() ? "" : " (" + got_->ora + ")");
    }
    return wrong_.empty();
  }
  // Whether the record landed on holds one of the accepted values.
  bool Shows(const std::set<Qty>& accepted) {
    if (accepted.size() == 1 && *accepted.begin()) shown_ = **accepted.begin();
    if (got_->answer && !accepted.count(got_->qty)) {
      wrong_ = "shows ID=" + std::to_string(got_->id.value_or(0)) +
               " QTY=" + (got_->qty ? std::to_string(*got_->qty) : "NULL");
    }
    return wrong_.empty();
  }
  int NewTxn(int conn) {
    txns_[++next_] = {conn, {}};
    return next_;
  }
  // Another transaction than t holds row k: another connection's, or the connection's own record lock taken before
  // its transaction (which a write inside that transaction meets).
  bool Holds(int k, int t) const {
    auto h = holder_.find(k);
    return h != holder_.end() && h->second != t;
  }
  // A read from rows fetched ahead shows a value the row held once, or one the reader wrote.
  std::set<Qty> Lenient(const Conn& me, int k) {
    std::set<Qty> held = me.seen.count(k) ? me.seen.at(k) : std::set<Qty>{};
    for (const Version& v : rows_[k]) held.insert(v.qty);
    return held;
  }
  // What a statement of transaction t (0: none) may find of row k: its own write, else a committed version from
  // the last one every session surely sees on (or the last its connection committed, on the session its locks and
  // writes run on), or a write of another transaction of its connection.
  std::set<Qty> Statement(int conn, int t, int k, bool lockSession = true) {
    if (t && txns_[t].writes.count(k)) return {txns_[t].writes[k]};
    std::set<Qty> found;
    for (auto& [id, txn] : txns_) {
      if (txn.conn == conn && txn.writes.count(k)) found.insert(txn.writes[k]);
    }
    std::vector<Version>& versions = rows_[k];
    if (versions.empty()) versions.push_back({std::nullopt, -1, true});
    std::size_t from = versions.size() - 1;
    while (from > 0 && !versions[from].flushed && !(lockSession && versions[from].by == conn)) --from;
    for (std::size_t i = from; i < versions.size(); ++i) found.insert(versions[i].qty);
    return found;
  }
  // The stand-in lets one session per database hold changes: a write meets another transaction that wrote.
  bool Busy(int t) const {
    return got_->ora == "ORA-00054" &&
           std::any_of(txns_.begin(), txns_.end(), [&](auto& u) { return u.first != t && u.second.wrote; });
  }
  // The lock statement for row k: refused when another transaction holds it, failing when no row is found; taken,
  // by the program's transaction or a new one of its own.
  bool Lock(int conn, int k) {
    Conn& me = conns_[conn];
    const int t = me.depth ? me.main : 0;
    const std::set<Qty> now = Statement(conn, t, k);
    const bool refused = Holds(k, t), gone = now.count(std::nullopt);
    if (!Allow(refused || gone, !refused && now != std::set<Qty>{std::nullopt}) || !got_->answer) return false;
    // A row the stand-in still shows another session after its deletion was committed is locked for this one only.
    me.entries[k] = t ? t : NewTxn(conn);
    if (!gone) holder_[k] = me.entries[k];
    return true;
  }
  // A write of row k (QTY, or nullopt for a delete) by transaction t, committed at once when alone.
  void Put(int conn, int t, int k, Qty qty, bool alone) {
    txns_[t].writes[k] = qty;
    txns_[t].wrote = true;
    holder_[k] = t;
    conns_[conn].seen[k].insert(qty);
    if (alone) End(t, true);
  }
  // A write of the current record: its lock first (the entry's, else a lock statement), then the statement; the
  // lock stays when the write was asked to keep it, even when the statement failed.
  void Write(const Op& op) {
    Conn& me = conns_[op.conn];
    const int k = *me.cur;
    const bool keep = op.kind == 'M' || op.kind == 'F', failing = op.kind == 'f' || op.kind == 'F';
    const auto entry = me.entries.find(k);
    int t = me.depth ? me.main : entry != me.entries.end() ? entry->second : 0;
    const std::set<Qty> now = Statement(op.conn, t, k);
    // A lock of its own taken before the transaction: the stand-in refuses the write as a server would make it
    // wait, or lets it through into the transaction.
    const bool own = entry != me.entries.end() && entry->second != t;
    const bool refused = Holds(k, t), gone = now.count(std::nullopt);
    if (!Allow(refused || gone || failing || Busy(t),
               (!refused || own) && !failing && now != std::set<Qty>{std::nullopt})) {
      return;
    }
    // A lock the record held already goes on, and is released after a plain write whatever the statement did.
    if (!got_->answer && entry == me.entries.end() && (refused || gone)) return;
    if (!t) t = NewTxn(op.conn);
    if (entry == me.entries.end()) me.entries[k] = holder_[k] = t;
    txns_[t].wrote = true;
    if (got_->answer) Put(op.conn, t, k, op.kind == 'd' ? Qty() : Qty(op.value), false);
    if (!keep) Release(me, k);
  }
  // The release of the record lock of row k: its own transaction is committed, one inside the program's stays.
  void Release(Conn& me, int k) {
    auto entry = me.entries.find(k);
    if (entry == me.entries.end()) return;
    const int t = entry->second;
    me.entries.erase(entry);
    if (t != me.main) End(t, true);
  }
  void End(int t, bool commit) {
    auto txn = txns_.find(t);
    if (txn == txns_.end()) return;
    for (auto& [k, qty] : txn->second.writes) {
      if (commit) rows_[k].push_back({qty, txn->second.conn, false});
    }
    for (auto h = holder_.begin(); h != holder_.end();) h = h->second == t ? holder_.erase(h) : std::next(h);
    for (Conn& c : conns_) {
      for (auto e = c.entries.begin(); e != c.entries.end();) e = e->second == t ? c.entries.erase(e) : std::next(e);
    }
    txns_.erase(txn);
  }
  // A connection with no pending work left has let every session see what it committed.
  void Flush() {
    for (int c = 0; c < 2; ++c) {
      const bool pending = std::any_of(txns_.begin(), txns_.end(),
                                       [&](auto& t) { return t.second.conn == c && !t.second.writes.empty(); });
      for (auto& [k, versions] : rows_) {
        for (Version& v : versions) v.flushed |= !pending && v.by == c;
      }
    }
  }

  std::map<int, std::vector<Version>> rows_;  // each ID's committed versions, the last one current
  std::map<int, Txn> txns_;
  std::map<int, int> holder_;  // ID -> the transaction holding the row's lock
  int next_ = 0;
  Conn conns_[2];
  const Outcome* got_ = nullptr;
  std::string wrong_;
  int answer_ = -1;
  std::optional<int> shown_;
};

}  // namespace lockmodel
