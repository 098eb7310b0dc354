// Random tables of typed columns through the command-line host, every value checked against a model of what the
// server stores. A seeded generator makes a table (NUMBER of every precision and scale, FLOAT(b), texts, RAW, DATE,
// TIMESTAMP(f), both intervals, large items) and writes rows of edge values with one connection (SQL literals, adds
// and modifies of the record); another reads each row through its own description and through a query whose SQL
// functions show what the server holds. The model rounds as the server does (half away from zero at the scale or
// at FLOAT(b)'s digits, fractions half up with carry), refuses what it refuses (the row then as it was) and stores ''
// as NULL. A failing script is shrunk and printed as a host script. The default run takes a fixed set of seeds:
//   QZ_VALUE_SEEDS=2000 build/dev/bin/qz_e2e_tests --gtest_filter='ValueModel.*'
// (QZ_VALUE_FIRST sets the first seed, QZ_VALUE_VERBOSE=1 prints each failing seed's disagreements).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

namespace {

using Text = std::optional<std::string>;

// A decimal number: digits x 10^exp, the digits without leading or trailing zeros (none for zero).
struct Dec { bool neg = false; std::string digits; int exp = 0; bool operator==(const Dec&) const = default; };
Dec Normal(Dec d) {
  d.digits.erase(0, std::min(d.digits.size(), d.digits.find_first_not_of('0')));
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back(), ++d.exp;
  return d.digits.empty() ? Dec{} : d;
}
std::optional<Dec> Parse(const std::string& text) {
  Dec d{text[0] == '-', "", 0};
  std::size_t i = text[0] == '-' || text[0] == '+';
  bool point = false, any = false;
  for (; i < text.size() && (std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == '.'); ++i)
    if (text[i] == '.') point = true; else d.digits += text[i], d.exp -= point, any = true;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) d.exp += std::atoi(text.c_str() + i + 1), i = text.size();
  if (!any || i != text.size()) return std::nullopt;
  return Normal(d);
}
// Drops the digits below 10^at, half away from zero.
Dec RoundAt(Dec d, int at) {
  const int drop = at - d.exp;
  if (drop <= 0 || d.digits.empty()) return d;
  std::string m = std::string(static_cast<std::size_t>(std::max(0, drop + 1 - static_cast<int>(d.digits.size()))), '0') + d.digits;
  const bool up = m[m.size() - drop] >= '5';
  m.resize(m.size() - drop);
  std::size_t i = m.size();
  while (up && i > 0 && m[i - 1] == '9') m[--i] = '0';
  if (up && i > 0) ++m[i - 1];
  else if (up) m.insert(0, "1");
  d.digits = m, d.exp = at;
  return Normal(d);
}
int Magnitude(const Dec& d) { return static_cast<int>(d.digits.size()) + d.exp; }  // v < 10^Magnitude
long long Top(int p) { return static_cast<long long>(std::pow(10, p)) - 1; }  // a leading precision's top

// Column kinds: N NUMBER(p,s), U NUMBER, F FLOAT(b), V VARCHAR2, W NVARCHAR2, C CHAR, R RAW, D DATE, T TIMESTAMP(f),
// Y INTERVAL YEAR(p) TO MONTH, S INTERVAL DAY(p) TO SECOND(f), L CLOB, M NCLOB, B BLOB, G LONG, H LONG RAW.
struct Col { char kind; int p = 0, s = 0; };
// how: q INSERT text, a add, u UPDATE text, m modify; the values by column, a large item's value its length.
struct Write { char how; int id; std::map<int, Text> values; };
struct Case { std::vector<Col> cols; std::vector<Write> writes; };
bool Is(char k, const char* kinds) { return std::strchr(kinds, k) != nullptr; }

// Per kind: the declaration (# precision, $ scale), the SQL literal (@ the value) and the query's columns showing
// what the server holds (@ the column, $ its number; X the value, Z a length).
struct Kind { const char *decl, *literal, *query; };
const std::map<char, Kind> kKinds = {
    {'N', {"NUMBER(#,$)", "@", "TO_CHAR(@) AS X$"}},
    {'U', {"NUMBER", "@", "TO_CHAR(@) AS X$"}},
    {'F', {"FLOAT(#)", "@", "TO_CHAR(@) AS X$"}},
    {'V', {"VARCHAR2(#)", "'@'", "@ AS X$, LENGTH(@) AS Z$"}},
    {'W', {"NVARCHAR2(#)", "'@'", "@ AS X$, LENGTH(@) AS Z$"}},
    {'C', {"CHAR(#)", "'@'", "RTRIM(@) AS X$"}},
    {'R', {"RAW(#)", "'@'", "RAWTOHEX(@) AS X$"}},
    {'D', {"DATE", "TO_DATE('@', 'YYYY-MM-DD HH24:MI:SS')", "TO_CHAR(@, 'YYYY-MM-DD HH24:MI:SS') AS X$"}},
    {'T', {"TIMESTAMP($)", "TO_TIMESTAMP('@', 'YYYY-MM-DD HH24:MI:SS.FF')", "TO_CHAR(@, 'YYYY-MM-DD HH24:MI:SS.FF') AS X$"}},
    {'Y', {"INTERVAL YEAR(#) TO MONTH", "INTERVAL '@' YEAR(9) TO MONTH", "TO_CHAR(@) AS X$"}},
    {'S', {"INTERVAL DAY(#) TO SECOND($)", "INTERVAL '@' DAY(9) TO SECOND(9)", "TO_CHAR(@) AS X$"}},
    {'L', {"CLOB", "'@'", "LENGTH(@) AS Z$, INSTR(@, 'za') AS X$"}},
    {'M', {"NCLOB", "'@'", "LENGTH(@) AS Z$, INSTR(@, 'za') AS X$"}},
    {'B', {"BLOB", "", ""}}, {'G', {"LONG", "'@'", ""}}, {'H', {"LONG RAW", "", ""}}};
std::string Fill(const std::string& pattern, const std::map<char, std::string>& with) {
  std::string out;
  for (char ch : pattern) out += with.count(ch) ? with.at(ch) : std::string(1, ch);
  return out;
}
std::string Decl(const Col& c) { return Fill(kKinds.at(c.kind).decl, {{'#', std::to_string(c.p)}, {'$', std::to_string(c.s)}}); }

// An edge value of the column; `record` keeps to what the runtime's record fields carry (4 decimals, 15 digits,
// milliseconds, no RAW or year-month interval).
Text Edge(const Col& c, bool record, std::mt19937& r) {
  auto pick = [&](int n) { return static_cast<int>(r() % static_cast<unsigned>(n)); };
  auto digits = [&](int n) { std::string s; while (n-- > 0) s += static_cast<char>('0' + pick(10)); return s; };
  auto fraction = [&](int n, auto nine) {  // n digits, some nines, maybe ending in the 5 that rounds
    std::string f;
    for (int i = 0; i < n; ++i) f += nine() ? '9' : static_cast<char>('0' + pick(10));
    return n && pick(2) ? f.substr(0, f.size() - 1) + "5" : f;
  };
  // Years or days: the leading precision's top, one past it, or below.
  auto count = [&](bool top) { return top ? Top(c.p) : pick(4) == 0 ? Top(c.p) + 1 : pick(static_cast<int>(std::min(Top(c.p), 999LL)) + 1); };
  if (pick(12) == 0) return std::nullopt;
  const std::string sign = pick(4) ? "" : "-";
  switch (c.kind) {
    case 'N': case 'U': case 'F': {
      const int whole = c.kind == 'N' ? std::max(0, c.p - c.s) : 1 + pick(20);  // digits the column holds
      const int frac = c.kind == 'N' ? c.s : pick(12);
      std::string v;
      switch (pick(7)) {
        case 0: return "0";
        case 1: v = std::string(static_cast<std::size_t>(std::max(1, whole)), '9'); if (frac > 0) v += "." + std::string(frac, '9'); break;  // the top, or one past once rounded
        case 2: v = "1" + std::string(static_cast<std::size_t>(std::max(0, whole)), '0'); break;                 // one past the top
        case 3: v = digits(std::max(1, whole)) + "." + digits(std::max(0, frac) + 1) + "5"; break;               // rounds at the scale
        case 4: v = "0." + std::string(static_cast<std::size_t>(pick(135)), '0') + "1" + digits(pick(3)); break;  // tiny
        case 5: v = digits(1 + pick(std::max(1, whole))) + "." + digits(pick(std::max(1, frac + 2))); break;
        default: v = digits(1 + pick(38)) + (pick(2) ? "." + digits(1 + pick(10)) : ""); break;
      }
      if (c.kind == 'U' && Magnitude(*Parse(v)) > 38) v = v.substr(0, 38);
      // The OCI stand-in reads a literal ending in its point ("123.") as a double: kept out until it reads it exactly.
      if (v.back() == '.') v.pop_back();
      if (record) {  // a whole number, or one with at most 4 decimals, of at most 15 digits
        const auto point = v.find('.');
        if (point != std::string::npos) v.resize(c.kind == 'N' && c.s <= 0 ? point : std::min(v.size(), point + 5));
        if (v.size() > 15) v = v.substr(v.size() - 15);
        while (v.size() > 1 && v[0] == '0' && v[1] != '.') v.erase(0, 1);
        if (v[0] == '.') v.insert(0, "0");
        if (v.back() == '.') v.pop_back();
        // Past the column's range the runtime's field or the driver refuses it first: SQL text tries those.
        if (c.kind == 'N' && Magnitude(RoundAt(*Parse(v), -c.s)) > c.p - c.s) v = "0";
      }
      return sign + v;
    }
    case 'V': case 'C': case 'W': {
      // VARCHAR2 and CHAR count bytes of AL32UTF8: an accented letter takes two. NVARCHAR2 counts characters.
      const char* const letters[] = {"a", "Z", "\xC3\xA9", "\xC3\xBF", "\xE6\x97\xA5", "\xD0\x96"};
      const int width = pick(3) == 0 ? 0 : pick(2) ? c.p : 1 + pick(c.p);
      const int kinds = c.kind == 'W' ? 6 : 4, one = pick(kinds);
      std::string v;
      for (int used = 0; used < width;) {
        const int k = pick(2) ? one : pick(kinds), size = c.kind == 'W' ? 1 : k >= 2 ? 2 : 1;
        if (used + size > width) break;
        v += letters[k], used += size;
      }
      return v;
    }
    case 'R': {
      std::string v;
      const int bytes = pick(3) ? c.p : pick(c.p + 1);
      for (int i = 0; i < 2 * bytes; ++i) v += "0123456789abcdefABCDEF"[pick(22)];
      if (pick(6) == 0 && !v.empty()) v.pop_back();  // an odd count takes a leading zero
      if (pick(12) == 0) v += "G";                     // no hexadecimal text
      return v;
    }
    case 'D': case 'T': {
      const int year = pick(3) == 0 ? 9999 : pick(3) == 0 ? 1 : 1600 + pick(500);
      char v[40];
      std::snprintf(v, sizeof v, "%04d%s", year, year == 9999 || pick(2) ? "-12-31 23:59:59" : ("-01-01 00:00:0" + std::to_string(pick(10))).c_str());
      if (c.kind == 'D') return v;
      return v + ("." + fraction(record ? 3 : pick(4) ? std::min(9, c.s + pick(2)) : pick(10), [&] { return pick(2) != 0; }));
    }
    case 'Y': return sign + std::to_string(count(pick(3) == 0)) + "-" + std::to_string(pick(2) ? 11 : pick(12));
    case 'S': {
      const long long days = count(pick(2) != 0);
      const bool edge = pick(2);
      const std::string f = fraction(record ? 3 : std::min(9, c.s + pick(3)), [&] { return edge; });
      return (record ? "" : sign) + std::to_string(days) + (edge ? " 23:59:59." : " 0" + std::to_string(pick(10)) + ":30:0" + std::to_string(pick(10)) + ".") + f;
    }
    default: {
      const int sizes[] = {0, 1, 26, 27, 4000, 4001, 8191, 8192, 32767, 32768, 65537};
      const int n = sizes[pick(11)];
      return std::to_string(record ? n : std::min(n, 4000));  // a SQL literal holds 4,000 bytes at most
    }
  }
}

// ---- the model: what the server stores, or the error it refuses a value with ----

// The value in a canonical form (a number's digits, a text, upper-case hex, "YYYY-MM-DD HH:MI:SS.fffffffff", ...),
// or the error the value is refused with.
struct Stored { Text value; std::string ora; };

// Adds a second to a moment "YYYY-MM-DD HH:MI:SS"; empty past 9999-12-31 23:59:59.
std::string NextSecond(const std::string& t) {
  int y, mo, d, h, mi, s;
  std::sscanf(t.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s);
  const int days[] = {31, (y % 4 == 0 && (y % 100 != 0 || y % 400 == 0)) ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (++s == 60 && (s = 0, ++mi == 60) && (mi = 0, ++h == 24) && (h = 0, ++d > days[mo - 1]) && (d = 1, ++mo > 12)) mo = 1, ++y;
  char out[32];
  std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
  return y > 9999 ? "" : out;
}
// A fraction's digits rounded half up to `keep` digits, as nine digits; true when it carries into the second.
bool RoundFraction(std::string f, int keep, std::string& out) {
  f.resize(9, '0');
  Dec d = RoundAt(Normal(Dec{false, f, -9}), -keep);
  const bool carry = Magnitude(d) > 0 && !d.digits.empty();
  if (carry) d = Dec{};
  out = d.digits + std::string(static_cast<std::size_t>(std::max(0, d.exp + 9)), '0');
  out.insert(0, 9 - std::min<std::size_t>(9, out.size()), '0');
  return carry;
}
std::string Trimmed(std::string t) { return t.erase(t.find_last_not_of(' ') + 1); }
std::string Cased(std::string t, int (*to)(int)) {
  for (char& ch : t) ch = static_cast<char>(to(static_cast<unsigned char>(ch)));
  return t;
}

Stored Model(const Col& c, const Text& in) {
  if (!in || (in->empty() && !Is(c.kind, "LMBGH"))) return {};
  const std::string& v = *in;
  const bool neg = v[0] == '-';
  switch (c.kind) {
    case 'N': case 'U': case 'F': {
      Dec d = *Parse(v);
      if (c.kind == 'N') {
        d = RoundAt(d, -c.s);
        if (!d.digits.empty() && Magnitude(d) > c.p - c.s) return {{}, "ORA-01438"};
      } else {
        d = RoundAt(d, Magnitude(d) - (c.kind == 'F' ? (c.p * 30103 + 99999) / 100000 : 40));
        if (Magnitude(d) > 126 && !d.digits.empty()) return {{}, "ORA-01426"};
        if (Magnitude(d) <= -130) d = Dec{};
      }
      return {d.digits.empty() ? "0" : (d.neg ? "-" : "") + d.digits + "e" + std::to_string(d.exp), ""};
    }
    case 'R': {
      if (v.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return {{}, "ORA-01465"};
      return {Cased(v.size() % 2 ? "0" + v : v, std::toupper), ""};
    }
    case 'C': return {Trimmed(v), ""};
    case 'T': case 'S': {
      const auto dot = v.find('.');
      std::string fraction;
      const bool carry = RoundFraction(v.substr(dot + 1), c.s, fraction);
      if (c.kind == 'T') {
        const std::string moment = carry ? NextSecond(v.substr(0, dot)) : v.substr(0, dot);
        return moment.empty() ? Stored{{}, "ORA-01841"} : Stored{moment + "." + fraction, ""};
      }
      long long days; int h, mi, s;
      std::sscanf(v.c_str() + neg, "%lld %d:%d:%d", &days, &h, &mi, &s);
      if (carry && ++s == 60 && (s = 0, ++mi == 60) && (mi = 0, ++h == 24)) h = 0, ++days;
      if (days > Top(c.p)) return {{}, "ORA-01873"};
      char out[64];
      std::snprintf(out, sizeof out, "%s%lld %02d:%02d:%02d.%s", neg && (days || h || mi || s || fraction != "000000000") ? "-" : "", days, h, mi, s, fraction.c_str());
      return {out, ""};
    }
    case 'Y': {
      long long years; int months;
      std::sscanf(v.c_str() + neg, "%lld-%d", &years, &months);
      if (years > Top(c.p)) return {{}, "ORA-01873"};
      return {(neg && (years || months) ? "-" : "") + std::to_string(years) + "-" + std::to_string(months), ""};
    }
    default: return {v, ""};
  }
}
bool Refused(const Case& k, const Write& w) {
  return std::any_of(w.values.begin(), w.values.end(), [&](const auto& iv) { return !Model(k.cols[iv.first], iv.second).ora.empty(); });
}

Case Generate(unsigned seed) {
  std::mt19937 r(seed);
  auto pick = [&](int n) { return static_cast<int>(r() % static_cast<unsigned>(n)); };
  Case c;
  bool longDone = false;
  std::set<int> there;
  for (int n = 2 + pick(5); static_cast<int>(c.cols.size()) < n;) {
    Col col{"NNNUFVWCRDTTYSLMBGH"[pick(19)]};
    if (Is(col.kind, "GH") && std::exchange(longDone, true)) continue;
    if (col.kind == 'N') col.p = 1 + pick(38), col.s = pick(4) == 0 ? col.p : pick(3) == 0 ? -pick(4) : pick(col.p + 1);
    if (col.kind == 'F') col.p = 1 + pick(49);  // beyond 15 digits the stand-in keeps a double
    if (Is(col.kind, "VCWR")) col.p = 1 + pick(col.kind == 'C' ? 10 : 30);
    if (col.kind == 'T') col.s = pick(10);
    if (Is(col.kind, "YS")) col.p = 1 + pick(4), col.s = pick(10);
    c.cols.push_back(col);
  }
  for (int n = 2 + pick(5), id = 1; static_cast<int>(c.writes.size()) < n;) {
    const bool change = id > 1 && pick(2);
    Write w{"qaum"[(change ? 2 : 0) + pick(2)], change ? 1 + pick(id - 1) : id++, {}};
    const bool record = w.how == 'a' || w.how == 'm';
    for (std::size_t i = 0; i < c.cols.size(); ++i) {
      const char k = c.cols[i].kind;
      if (change && pick(3)) continue;  // a change writes some columns; an add all, else it adds what the record held
      if (record && Is(k, "RY")) w.values[static_cast<int>(i)] = std::nullopt;
      else if (record || !Is(k, "BH")) w.values[static_cast<int>(i)] = Edge(c.cols[i], record, r);  // binary large items by the record only
      if (record && Is(k, "LMBGH") && !w.values[static_cast<int>(i)]) w.values[static_cast<int>(i)] = "0";
    }
    // A modify of a row that is not there would write the record last read: changes go to rows that are.
    if (change && !there.count(w.id)) continue;
    if (!change && !Refused(c, w)) there.insert(w.id);
    if (!w.values.empty() || !change) c.writes.push_back(w);
  }
  return c;
}

// ---- the host script ----

const char* const kHead = "start\nconnect VAL SYSTEM manager\nconnect VAL SYSTEM manager as B\n";

bool Inserts(const Write& w) { return w.how == 'a' || w.how == 'q'; }
// Each large item's expected length by (column, row): a read-lob compares with the scratch text written before it.
std::map<std::pair<int, int>, std::string> Lobs(const Case& k) {
  std::map<std::pair<int, int>, std::string> lobs;
  std::set<int> exists;
  for (const Write& wr : k.writes) {
    if (Refused(k, wr) || Inserts(wr) == (exists.count(wr.id) > 0)) continue;
    exists.insert(wr.id);
    for (const auto& [i, v] : wr.values) if (Is(k.cols[i].kind, "LMBGH")) lobs[{i, wr.id}] = v.value_or("0");
  }
  return lobs;
}
std::string Literal(const Col& c, const Text& v) {
  if (!v) return "NULL";
  if (c.kind == 'R' && v->size() % 3) return "HEXTORAW('" + *v + "')";
  std::string lob;
  for (long i = 0, n = Is(c.kind, "LMG") ? std::atol(v->c_str()) : 0; i < n; ++i) lob += static_cast<char>('a' + i % 26);
  return Fill(kKinds.at(c.kind).literal, {{'@', Is(c.kind, "LMG") ? lob : *v}});
}
// A value as the record's field takes it: a date-time with milliseconds, a day-to-second interval in milliseconds.
std::string Field(const Col& c, const Text& v) {
  if (!v) return "NULL";
  if (Is(c.kind, "DT")) return v->substr(0, 10) + "T" + v->substr(11) + (c.kind == 'D' ? ".000" : "");
  if (c.kind != 'S') return *v;
  long long days; int h, mi, s, ms;
  std::sscanf(v->c_str(), "%lld %d:%d:%d.%d", &days, &h, &mi, &s, &ms);
  return std::to_string(((days * 24 + h) * 60 + mi) * 60000L + s * 1000L + ms);
}

// The script's lines of a case's table `t`: its writes, then the other connection's reads, each step headed
// "## w s" (w the case, s the step); `steps` gets what each step checks (empty for a write).
std::string Script(const Case& k, const std::string& t, int w, std::vector<std::string>* steps) {
  std::ostringstream s;
  s << "with VAL\nsql CREATE TABLE " << t << " (ID NUMBER(10) NOT NULL";
  for (std::size_t i = 0; i < k.cols.size(); ++i) s << ", C" << i << " " << Decl(k.cols[i]);
  s << ")\nsql CREATE UNIQUE INDEX " << t << "_I ON " << t << " (ID)\ndescribe " << t << "\nopen\n";
  int step = 0;
  auto head = [&](const std::string& what) { s << "## " << w << " " << step++ << "\n"; if (steps) steps->push_back(what); };
  std::set<int> ids;
  for (const Write& wr : k.writes) {
    head("");
    ids.insert(wr.id);
    std::string names, values, set = wr.how == 'a' ? " ID=" + std::to_string(wr.id) : "";
    for (const auto& [i, v] : wr.values) {
      const std::string c = "C" + std::to_string(i);
      if (wr.how == 'q') names += ", " + c, values += ", " + Literal(k.cols[i], v);
      else if (wr.how == 'u') names += (names.empty() ? "" : ", ") + c + "=" + Literal(k.cols[i], v);
      else if (Is(k.cols[i].kind, "LMBGH")) values += "write-lob " + c + " " + v.value_or("0") + "\n";
      else set += " " + c + "=NULL " + c + "=" + Field(k.cols[i], v);
    }
    if (wr.how == 'q') s << "sql INSERT INTO " << t << " (ID" << names << ") VALUES (" << wr.id << values << ")\nsql COMMIT\n";
    else if (wr.how == 'u') s << "sql UPDATE " << t << " SET " << names << " WHERE ID=" << wr.id << "\nsql COMMIT\n";
    else s << (wr.how == 'm' ? "seek ID " + std::to_string(wr.id) + "\n" : "") << values << (set.empty() ? "" : "set" + set + "\n") << (wr.how == 'a' ? "add\n" : "modify\n");
  }
  s << "with B\ndescribe " << t << " as " << t << "B\nopen\n";
  const auto lobs = Lobs(k);
  for (int id : ids) {
    head("read " + std::to_string(id));
    s << "seek ID " << id << "\n";
    for (std::size_t i = 0; i < k.cols.size(); ++i) {
      if (!Is(k.cols[i].kind, "LMBGH")) continue;
      head("lob " + std::to_string(id) + " " + std::to_string(i));
      const auto lob = lobs.find({static_cast<int>(i), id});
      s << "use " << t << "\nwrite-lob C" << i << " " << (lob == lobs.end() ? "0" : lob->second) << "\nuse " << t << "B\nread-lob C" << i << "\n";
    }
  }
  s << "query " << t << "Q SELECT ID";
  for (std::size_t i = 0; i < k.cols.size(); ++i)
    if (*kKinds.at(k.cols[i].kind).query) s << ", " << Fill(kKinds.at(k.cols[i].kind).query, {{'@', "C" + std::to_string(i)}, {'$', std::to_string(i)}});
  s << " FROM " << t << " ORDER BY ID\n";
  for (std::size_t i = 0; i < ids.size(); ++i) head("query"), s << (i ? "read next\n" : "read first\n");
  return s.str();
}

// ---- running and checking ----

struct Answer {
  std::string text;
  std::map<std::string, Text> record;
  std::set<int> refused;  // columns whose record field refused the value: the write takes them as NULL
};

std::vector<std::vector<Answer>> RunCases(const std::vector<Case>& cases, const std::string& tag) {
  const std::string dir = ::testing::TempDir() + "qz_value_" + std::to_string(::getpid()) + "_" + tag;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::string script = kHead;
  for (std::size_t w = 0; w < cases.size(); ++w) script += Script(cases[w], "T" + std::to_string(w), static_cast<int>(w), nullptr);
  std::ofstream(dir + "/value.qzs") << script << "stop\n";
  const std::string command = "QZOCI_DATA_SOURCES=VAL QZOCI_DATA_DIR=" + dir + " " + QZ_HOST_PATH + " --driver " +
                              QZ_DRIVER_PATH + " " + dir + "/value.qzs 2>/dev/null";
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    pclose(pipe);
  }
  std::filesystem::remove_all(dir);
  std::vector<std::vector<Answer>> answers(cases.size());
  std::istringstream lines(output);
  Answer* a = nullptr;
  for (std::string line; std::getline(lines, line);) {
    std::size_t w = 0, i = 0;
    if (std::sscanf(line.c_str(), "== %zu %zu", &w, &i) == 2 && w < cases.size()) {
      answers[w].resize(i + 1);
      a = &answers[w][i];
      continue;
    }
    if (!a) continue;
    a->text += "\n#   " + line;
    if (const auto at = line.find(" has no field C"); at != std::string::npos) a->refused.insert(std::atoi(line.c_str() + at + 15));
    if (line.rfind("    record: ", 0) != 0) continue;
    a->record.clear();
    for (std::size_t at = 12; at < line.size();) {
      std::size_t end = line.find(", ", at), eq = line.find('=', at);
      // A comma inside a value is none of the record's separators when the next item has no name.
      while (end != std::string::npos && line.find('=', end) > line.find(", ", end + 2)) end = line.find(", ", end + 2);
      if (end == std::string::npos) end = line.size();
      const std::string value = line.substr(eq + 1, end - eq - 1);
      a->record[line.substr(at, eq - at)] = value == "NULL" ? Text() : Text(value);
      at = end + 2;
    }
  }
  return answers;
}

std::string Ora(const std::string& text) {
  const auto at = text.find("error ORA-");
  return at == std::string::npos ? "" : text.substr(at + 6, 9);
}
// The write's own command failed: the statement, the add or the modify.
bool Failed(const std::string& text) {
  std::size_t at = std::string::npos;
  for (const char* what : {"run on VAL: INSERT", "run on VAL: UPDATE", "add the record as", "write the changed record"})
    at = std::min(at, text.find(what));
  return at != std::string::npos && text.find(" -> 0 (failed)", at) < text.find('\n', at);
}

// The record's field against the stored value; a number as shown (decimal, currency, double) within a double's digits.
bool Reads(const Col& c, const Text& got, const Text& m) {
  if (!got || !m) return got == m;
  const std::string& v = *m;
  const bool neg = v[0] == '-';
  switch (c.kind) {
    case 'N': case 'U': case 'F': {
      const auto g = Parse(*got), d = Parse(v);
      auto approx = [](const Dec& x) { return (x.neg ? -1 : 1) * std::strtold(("0." + x.digits + "e" + std::to_string(Magnitude(x))).c_str(), nullptr); };
      return g && d && (*g == *d || std::fabs(approx(*g) - approx(*d)) <= std::fabs(approx(*d)) * 1e-14L);
    }
    case 'C': return Trimmed(*got) == v;
    case 'R': return got->size() >= 4 + v.size() && got->substr(4, v.size()) == Cased(v, std::tolower);
    case 'D': case 'T': return got == Field(c, v.substr(0, 23));
    case 'S': return *got == (neg && Field(c, v.substr(1, v.size() - 7)) != "0" ? "-" : "") + Field(c, v.substr(neg, v.size() - 6 - neg));
    case 'Y': {
      long long y = 0; int mo = 0;
      std::sscanf(v.c_str() + neg, "%lld-%d", &y, &mo);
      return *got == (neg ? "-" : "") + std::to_string((y * 365 + mo * 30) * 86400000L);
    }
    default: return got == m;
  }
}
// What the query shows of a date-time or interval (TO_CHAR's form) in the model's canonical form.
std::string Canonical(char kind, const std::string& x) {
  long long n = 0; int h = 0, mi = 0, s = 0;
  const std::string sign = x[0] == '-' ? "-" : "";
  if (kind == 'Y') {
    std::sscanf(x.c_str() + 1, "%lld-%d", &n, &h);
    return sign + std::to_string(n) + "-" + std::to_string(h);
  }
  const auto dot = x.find('.');
  std::string head = x.substr(0, dot), tail = dot == std::string::npos ? "" : x.substr(dot + 1);
  tail.resize(9, '0');
  if (kind == 'S') {  // "+DD HH:MI:SS" with the days at the leading precision
    std::sscanf(head.c_str() + 1, "%lld %d:%d:%d", &n, &h, &mi, &s);
    char out[40];
    std::snprintf(out, sizeof out, "%s%lld %02d:%02d:%02d", sign.c_str(), n, h, mi, s);
    head = out;
  }
  return head + "." + tail;
}
// The query's columns (x the value, z a length) against the stored value; `shown` describes them.
bool Shows(const Col& c, const Text& x, const Text& z, const Text& m, std::string& shown) {
  shown = x.value_or("NULL");
  switch (c.kind) {
    case 'N': case 'U': case 'F': return x && m ? Parse(*x) && *Parse(*x) == *Parse(*m) : x == m;
    case 'V': case 'W': {
      std::size_t chars = 0;
      if (m) for (unsigned char ch : *m) chars += (ch & 0xC0) != 0x80;
      shown += " of " + z.value_or("NULL") + " characters";
      return x == m && z == (m ? Text(std::to_string(chars)) : Text());
    }
    case 'L': case 'M': {
      const long len = m ? std::atol(m->c_str()) : -1;
      shown = "length " + z.value_or("NULL") + ", 'za' at " + shown;
      return (len <= 0 && !z) || (len >= 0 && z == std::to_string(len) && x == std::to_string(len >= 27 ? 26 : 0));
    }
    case 'B': case 'G': case 'H': return true;
    case 'T': case 'S': case 'Y': if (x && m) return Canonical(c.kind, *x) == *m; [[fallthrough]];
    default: return x == m;
  }
}

// What the server holds after each write, then every read checked against it; the disagreements.
std::vector<std::string> Check(const Case& k, const std::vector<Answer>& answers) {
  std::vector<std::string> wrong;
  std::map<int, std::map<int, Stored>> rows;
  std::vector<std::string> steps;
  Script(k, "T", 0, &steps);
  std::size_t step = 0;
  const Answer none{};
  auto field = [](const Answer& a, const std::string& name) { const auto f = a.record.find(name); return f == a.record.end() ? Text("?") : f->second; };
  auto where = [&](int id, std::size_t c) { return "row " + std::to_string(id) + " C" + std::to_string(c) + " " + Decl(k.cols[c]); };
  for (const Write& wr : k.writes) {
    const Answer& a = step < answers.size() ? answers[step] : none;
    const bool exists = rows.count(wr.id) > 0;
    std::map<int, Stored> row = exists ? rows[wr.id] : std::map<int, Stored>{};
    std::set<std::string> errors;
    for (const auto& [i, v] : wr.values)
      if (!(row[i] = Model(k.cols[i], a.refused.count(i) ? Text() : v)).ora.empty()) errors.insert(row[i].ora);
    const bool expectFail = !errors.empty() || Inserts(wr) == exists;
    const std::string at = "write " + std::to_string(step++);
    if (a.text.empty()) wrong.push_back(at + ": no answer");
    else if (wr.how == 'u' && !exists) {}
    else if (Failed(a.text) != expectFail) wrong.push_back(at + (expectFail ? ": done, the server refuses it" : ": failed") + a.text);
    // The driver may refuse a number too large for the column itself, with its conversion error about that column.
    else if (!errors.empty() && !errors.count(Ora(a.text)) &&
             !((errors.count("ORA-01438") || errors.count("ORA-01426")) && a.text.find("error 60,") != std::string::npos))
      wrong.push_back(at + ": " + Ora(a.text) + ", not " + *errors.begin() + a.text);
    if (expectFail) continue;
    for (std::size_t i = 0; i < k.cols.size(); ++i) row.emplace(static_cast<int>(i), Stored{});
    rows[wr.id] = row;
  }
  auto query = rows.begin();
  for (; step < steps.size(); ++step) {
    const Answer& a = step < answers.size() ? answers[step] : none;
    int id = 0, i = 0;
    if (std::sscanf(steps[step].c_str(), "read %d", &id) == 1) {
      const bool found = field(a, "ID") == std::to_string(id) && !Failed(a.text);
      if (found != (rows.count(id) > 0)) wrong.push_back("row " + std::to_string(id) + (found ? " is there" : " is missing") + a.text);
      for (std::size_t c = 0; found && rows.count(id) && c < k.cols.size(); ++c) {
        const Text& m = rows[id][static_cast<int>(c)].value, got = field(a, "C" + std::to_string(c));
        if (!Is(k.cols[c].kind, "LMBGH") && !Reads(k.cols[c], got, m))
          wrong.push_back(where(id, c) + " reads " + got.value_or("NULL") + ", the server holds " + m.value_or("NULL") + a.text);
      }
    } else if (std::sscanf(steps[step].c_str(), "lob %d %d", &id, &i) == 2 && rows.count(id)) {
      const Text& m = rows[id][i].value;
      const bool empty = !m || *m == "0";
      if (a.text.find("the same as written") == std::string::npos && !(empty && a.text.find("no value") != std::string::npos))
        wrong.push_back(where(id, static_cast<std::size_t>(i)) + " does not read back " + m.value_or("NULL") + " characters" + a.text);
    } else if (steps[step] == "query" && query != rows.end()) {
      const auto& [qid, row] = *query++;
      if (field(a, "ID") != std::to_string(qid)) { wrong.push_back("the query misses row " + std::to_string(qid) + a.text); continue; }
      for (std::size_t c = 0; c < k.cols.size(); ++c) {
        const Text& m = row.at(static_cast<int>(c)).value;
        std::string shown;
        if (!Shows(k.cols[c], field(a, "X" + std::to_string(c)), field(a, "Z" + std::to_string(c)), m, shown))
          wrong.push_back("query " + where(qid, c) + " shows " + shown + ", the server holds " + m.value_or("NULL") + a.text);
      }
    }
  }
  return wrong;
}

std::vector<std::string> Disagreements(const Case& k, const std::string& tag) { return Check(k, RunCases({k}, tag)[0]); }

// Drops writes, then columns, while the case still disagrees.
Case Shrink(Case k) {
  for (bool smaller = true; smaller;) {
    smaller = false;
    for (std::size_t i = 0; i < k.writes.size() && k.writes.size() > 1; ++i) {
      Case t = k;
      t.writes.erase(t.writes.begin() + static_cast<long>(i));
      if (!Disagreements(t, "shrink").empty()) k = t, smaller = true, --i;
    }
    for (int c = 0; c < static_cast<int>(k.cols.size()) && k.cols.size() > 1; ++c) {
      Case t = k;
      t.cols.erase(t.cols.begin() + c);
      for (Write& w : t.writes) {
        std::map<int, Text> moved;
        for (const auto& [i, v] : w.values) if (i != c) moved[i - (i > c)] = v;
        w.values = moved;
      }
      if (!Disagreements(t, "shrink").empty()) k = t, smaller = true, --c;
    }
  }
  return k;
}

std::string Printed(const Case& k) {
  std::string text = kHead + Script(k, "T", 0, nullptr);
  for (const std::string& w : Disagreements(k, "print")) text += "# " + w.substr(0, w.find('\n')) + "\n";
  return text + "stop\n";
}

unsigned Setting(const char* name, unsigned otherwise) {
  const char* text = std::getenv(name);
  return text && *text ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : otherwise;
}

TEST(ValueModel, EveryValueReadsBackAsTheServerStoresIt) {
  const unsigned first = Setting("QZ_VALUE_FIRST", 1), count = Setting("QZ_VALUE_SEEDS", 30), batch = 30;
  std::vector<unsigned> failed;
  for (unsigned at = first; at < first + count; at += batch) {
    std::vector<Case> cases;
    for (unsigned s = at; s < std::min(first + count, at + batch); ++s) cases.push_back(Generate(s));
    const auto answers = RunCases(cases, "run");
    for (std::size_t w = 0; w < cases.size(); ++w) {
      const auto wrong = Check(cases[w], answers[w]);
      if (wrong.empty()) continue;
      failed.push_back(at + static_cast<unsigned>(w));
      if (std::getenv("QZ_VALUE_VERBOSE")) std::printf("seed %u: %s\n", at + static_cast<unsigned>(w), wrong[0].c_str());
    }
  }
  std::string seeds;
  for (unsigned s : failed) seeds += " " + std::to_string(s);
  EXPECT_TRUE(failed.empty()) << failed.size() << " of " << count << " cases disagree with the model:" << seeds;
  if (!failed.empty()) ADD_FAILURE() << "seed " << failed[0] << ", shrunk:\n" << Printed(Shrink(Generate(failed[0])));
}

}  // namespace
