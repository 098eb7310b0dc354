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

#include <cmath>
#include <cstdio>
#include <cstdlib>
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

// ---- decimal numbers: digits x 10^exp ----

struct Dec {
  bool neg = false;
  std::string digits;  // no leading or trailing zeros; empty for zero
  int exp = 0;
  bool operator==(const Dec&) const = default;
};
Dec Normal(Dec d) {
  const auto lead = d.digits.find_first_not_of('0');
  d.digits = lead == std::string::npos ? "" : d.digits.substr(lead);
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back(), ++d.exp;
  if (d.digits.empty()) d = Dec{};
  return d;
}
std::optional<Dec> Parse(const std::string& text) {
  Dec d;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) d.neg = text[i++] == '-';
  bool point = false, any = false;
  for (; i < text.size() && (std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == '.'); ++i) {
    if (text[i] == '.') point = true;
    else d.digits += text[i], d.exp -= point, any = true;
  }
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
  for (std::size_t i = m.size(); up && i-- > 0;) {
    if (m[i] == '9') { m[i] = '0'; if (i == 0) m.insert(0, "1"); }
    else { ++m[i]; break; }
  }
  d.digits = m.empty() && up ? "1" : m, d.exp = at;
  return Normal(d);
}
int Magnitude(const Dec& d) { return static_cast<int>(d.digits.size()) + d.exp; }  // v < 10^Magnitude
long double Approx(const Dec& d) {
  return (d.neg ? -1 : 1) * std::strtold(("0." + d.digits + "e" + std::to_string(Magnitude(d))).c_str(), nullptr);
}

// ---- the case: columns and writes ----

// N NUMBER(p,s), U NUMBER, F FLOAT(b), V VARCHAR2, W NVARCHAR2, C CHAR, R RAW, D DATE, T TIMESTAMP(f),
// Y INTERVAL YEAR(p) TO MONTH, S INTERVAL DAY(p) TO SECOND(f), L CLOB, M NCLOB, B BLOB, G LONG, H LONG RAW.
struct Col {
  char kind;
  int p = 0, s = 0;
};
struct Write {
  char how;  // q INSERT text, a add, u UPDATE text, m modify
  int id;
  std::map<int, Text> values;  // by column; a large item's value is its length
};
struct Case {
  std::vector<Col> cols;
  std::vector<Write> writes;
};

bool Large(char k) { return std::string("LMBGH").find(k) != std::string::npos; }
bool Numeric(char k) { return k == 'N' || k == 'U' || k == 'F'; }

std::string Decl(const Col& c) {
  switch (c.kind) {
    case 'N': return "NUMBER(" + std::to_string(c.p) + "," + std::to_string(c.s) + ")";
    case 'U': return "NUMBER";
    case 'F': return "FLOAT(" + std::to_string(c.p) + ")";
    case 'V': return "VARCHAR2(" + std::to_string(c.p) + ")";
    case 'W': return "NVARCHAR2(" + std::to_string(c.p) + ")";
    case 'C': return "CHAR(" + std::to_string(c.p) + ")";
    case 'R': return "RAW(" + std::to_string(c.p) + ")";
    case 'D': return "DATE";
    case 'T': return "TIMESTAMP(" + std::to_string(c.s) + ")";
    case 'Y': return "INTERVAL YEAR(" + std::to_string(c.p) + ") TO MONTH";
    case 'S': return "INTERVAL DAY(" + std::to_string(c.p) + ") TO SECOND(" + std::to_string(c.s) + ")";
    default: return std::map<char, std::string>{{'L', "CLOB"}, {'M', "NCLOB"}, {'B', "BLOB"}, {'G', "LONG"}, {'H', "LONG RAW"}}[c.kind];
  }
}

std::string Digits(int n, std::mt19937& r) {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>('0' + r() % 10);
  return s;
}
std::string Pad(long v, int w) {
  std::string s = std::to_string(v);
  return std::string(static_cast<std::size_t>(std::max(0, w - static_cast<int>(s.size()))), '0') + s;
}

// An edge value of the column; `record` keeps to what the runtime's record fields carry (4 decimals, 15 digits,
// milliseconds, no RAW or year-month interval).
Text Edge(const Col& c, bool record, std::mt19937& r) {
  auto pick = [&](int n) { return static_cast<int>(r() % static_cast<unsigned>(n)); };
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
        case 2: v = "1" + std::string(static_cast<std::size_t>(std::max(0, whole)), '0'); break;                   // one past the top
        case 3: v = Digits(std::max(1, whole), r) + "." + Digits(std::max(0, frac) + 1, r) + "5"; break;           // rounds at the scale
        case 4: v = "0." + std::string(static_cast<std::size_t>(pick(135)), '0') + "1" + Digits(pick(3), r); break;  // tiny
        case 5: v = Digits(1 + pick(std::max(1, whole)), r) + "." + Digits(pick(std::max(1, frac + 2)), r); break;
        default: v = Digits(1 + pick(38), r) + (pick(2) ? "." + Digits(1 + pick(10), r) : ""); break;
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
      const bool last = year == 9999 || pick(2);
      std::string v = Pad(year, 4) + (last ? "-12-31 23:59:59" : "-01-01 00:00:0" + std::to_string(pick(10)));
      if (c.kind == 'D') return v;
      const int digits = record ? 3 : pick(4) ? std::min(9, c.s + pick(2)) : pick(10);
      std::string f;
      for (int i = 0; i < digits; ++i) f += pick(2) ? '9' : static_cast<char>('0' + pick(10));
      if (digits && pick(2)) f.back() = '5';
      return v + "." + f;
    }
    case 'Y': {
      const long top = static_cast<long>(std::pow(10, c.p)) - 1;
      return sign + std::to_string(pick(3) == 0 ? top : pick(4) == 0 ? top + 1 : pick(static_cast<int>(std::min(top, 999L)) + 1)) +
             "-" + std::to_string(pick(2) ? 11 : pick(12));
    }
    case 'S': {
      const long top = static_cast<long>(std::pow(10, c.p)) - 1;
      const long days = pick(2) ? top : pick(4) == 0 ? top + 1 : pick(static_cast<int>(std::min(top, 999L)) + 1);
      const bool edge = pick(2);
      const int digits = record ? 3 : std::min(9, c.s + pick(3));
      std::string f;
      for (int i = 0; i < digits; ++i) f += edge ? '9' : static_cast<char>('0' + pick(10));
      if (digits && pick(2)) f.back() = '5';
      return (record ? "" : sign) + std::to_string(days) + (edge ? " 23:59:59." : " 0" + std::to_string(pick(10)) + ":30:0" + std::to_string(pick(10)) + ".") + f;
    }
    default: {
      const int sizes[] = {0, 1, 26, 27, 4000, 4001, 8191, 8192, 32767, 32768, 65537};
      int n = sizes[pick(11)];
      if (!record && n > 4000) n = 4000;  // a SQL literal holds 4,000 bytes at most
      return std::to_string(n);
    }
  }
}

// ---- the model: what the server stores, or the error it refuses a value with ----

struct Stored {
  Text value;       // canonical: a number's digits, a text, upper-case hex, "YYYY-MM-DD HH:MI:SS.fffffffff", ...
  std::string ora;  // the error, when the value is refused
};

// Adds a second to a moment "YYYY-MM-DD HH:MI:SS"; empty past 9999-12-31 23:59:59.
std::string NextSecond(const std::string& t) {
  int y, mo, d, h, mi, s;
  std::sscanf(t.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s);
  const int days[] = {31, (y % 4 == 0 && (y % 100 != 0 || y % 400 == 0)) ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (++s == 60 && (s = 0, ++mi == 60) && (mi = 0, ++h == 24) && (h = 0, ++d > days[mo - 1]) && (d = 1, ++mo > 12)) mo = 1, ++y;
  if (y > 9999) return "";
  char out[32];
  std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
  return out;
}
// A fraction's digits rounded half up to `keep` digits, as nine digits; true when it carries into the second.
bool RoundFraction(std::string f, int keep, std::string& out) {
  f.resize(9, '0');
  Dec d = RoundAt(Normal(Dec{false, f, -9}), -keep);
  const bool carry = Magnitude(d) > 0 && !d.digits.empty();
  if (carry) d = Dec{};
  std::string digits = d.digits + std::string(static_cast<std::size_t>(std::max(0, d.exp + 9)), '0');
  out = std::string(9 - std::min<std::size_t>(9, digits.size()), '0') + digits;
  return carry;
}

Stored Model(const Col& c, const Text& in) {
  if (!in || (in->empty() && !Large(c.kind))) return {};
  const std::string& v = *in;
  switch (c.kind) {
    case 'N': case 'U': case 'F': {
      Dec d = *Parse(v);
      if (c.kind == 'N') {
        d = RoundAt(d, -c.s);
        if (!d.digits.empty() && Magnitude(d) > c.p - c.s) return {{}, "ORA-01438"};
      } else {
        const int digits = c.kind == 'F' ? (c.p * 30103 + 99999) / 100000 : 40;
        d = RoundAt(d, Magnitude(d) - digits);
        if (Magnitude(d) > 126 && !d.digits.empty()) return {{}, "ORA-01426"};
        if (Magnitude(d) <= -130) d = Dec{};
      }
      return {d.digits.empty() ? "0" : (d.neg ? "-" : "") + d.digits + "e" + std::to_string(d.exp), ""};
    }
    case 'R': {
      if (v.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return {{}, "ORA-01465"};
      std::string hex = v.size() % 2 ? "0" + v : v;
      for (char& ch : hex) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      return {hex, ""};
    }
    case 'C': { std::string t = v; while (!t.empty() && t.back() == ' ') t.pop_back(); return {t, ""}; }
    case 'T': case 'S': {
      const auto dot = v.find('.');
      std::string fraction;
      const bool carry = RoundFraction(v.substr(dot + 1), c.s, fraction);
      if (c.kind == 'T') {
        const std::string moment = carry ? NextSecond(v.substr(0, dot)) : v.substr(0, dot);
        return moment.empty() ? Stored{{}, "ORA-01841"} : Stored{moment + "." + fraction, ""};
      }
      long days; int h, mi, s;
      std::sscanf(v.c_str() + (v[0] == '-'), "%ld %d:%d:%d", &days, &h, &mi, &s);
      if (carry && ++s == 60 && (s = 0, ++mi == 60) && (mi = 0, ++h == 24)) h = 0, ++days;
      if (days > static_cast<long>(std::pow(10, c.p)) - 1) return {{}, "ORA-01873"};
      char out[64];
      std::snprintf(out, sizeof out, "%s%ld %02d:%02d:%02d.%s", v[0] == '-' && (days || h || mi || s || fraction != "000000000") ? "-" : "", days, h, mi, s, fraction.c_str());
      return {out, ""};
    }
    case 'Y': {
      long years; int months;
      std::sscanf(v.c_str() + (v[0] == '-'), "%ld-%d", &years, &months);
      if (years > static_cast<long>(std::pow(10, c.p)) - 1) return {{}, "ORA-01873"};
      return {(v[0] == '-' && (years || months) ? "-" : "") + std::to_string(years) + "-" + std::to_string(months), ""};
    }
    default: return {v, ""};
  }
}

Case Generate(unsigned seed) {
  std::mt19937 r(seed);
  auto pick = [&](int n) { return static_cast<int>(r() % static_cast<unsigned>(n)); };
  Case c;
  bool longDone = false;
  std::set<int> there;
  for (int n = 2 + pick(5); static_cast<int>(c.cols.size()) < n;) {
    Col col{"NNNUFVWCRDTTYSLMBGH"[pick(19)]};
    if ((col.kind == 'G' || col.kind == 'H') && std::exchange(longDone, true)) continue;
    if (col.kind == 'N') col.p = 1 + pick(38), col.s = pick(4) == 0 ? col.p : pick(3) == 0 ? -pick(4) : pick(col.p + 1);
    if (col.kind == 'F') col.p = 1 + pick(49);  // beyond 15 digits the stand-in keeps a double
    if (col.kind == 'V' || col.kind == 'C' || col.kind == 'W' || col.kind == 'R') col.p = 1 + pick(col.kind == 'C' ? 10 : 30);
    if (col.kind == 'T') col.s = pick(10);
    if (col.kind == 'Y' || col.kind == 'S') col.p = 1 + pick(4), col.s = pick(10);
    c.cols.push_back(col);
  }
  for (int n = 2 + pick(5), id = 1; static_cast<int>(c.writes.size()) < n;) {
    const bool change = id > 1 && pick(2);
    Write w{"qaum"[(change ? 2 : 0) + pick(2)], change ? 1 + pick(id - 1) : id++, {}};
    const bool record = w.how == 'a' || w.how == 'm';
    for (std::size_t i = 0; i < c.cols.size(); ++i) {
      const char k = c.cols[i].kind;
      if (change && pick(3)) continue;  // a change writes some columns; an add all, else it adds what the record held
      if (record && (k == 'R' || k == 'Y')) { w.values[static_cast<int>(i)] = std::nullopt; continue; }
      if (!record && Large(k) && k != 'L' && k != 'M' && k != 'G') continue;   // binary large items by the record only
      w.values[static_cast<int>(i)] = Edge(c.cols[i], record, r);
    }
    // A modify of a row that is not there would write the record last read: changes go to rows that are.
    bool refused = false;
    for (auto& [i, v] : w.values) {
      if (record && Large(c.cols[i].kind) && !v) v = "0";
      refused |= !Model(c.cols[i], v).ora.empty();
    }
    if (change && !there.count(w.id)) continue;
    if (!change && !refused) there.insert(w.id);
    if (!w.values.empty() || !change) c.writes.push_back(w);
  }
  return c;
}

// ---- the host script ----

const char* const kHead = "start\nconnect VAL SYSTEM manager\nconnect VAL SYSTEM manager as B\n";

std::string Lob(long n) {
  std::string s;
  for (long i = 0; i < n; ++i) s += static_cast<char>('a' + i % 26);
  return s;
}
std::string Literal(const Col& c, const Text& v) {
  if (!v) return "NULL";
  switch (c.kind) {
    case 'N': case 'U': case 'F': return *v;
    case 'R': return v->size() % 3 ? "HEXTORAW('" + *v + "')" : "'" + *v + "'";
    case 'D': return "TO_DATE('" + *v + "', 'YYYY-MM-DD HH24:MI:SS')";
    case 'T': return "TO_TIMESTAMP('" + *v + "', 'YYYY-MM-DD HH24:MI:SS.FF')";
    case 'Y': return "INTERVAL '" + *v + "' YEAR(9) TO MONTH";
    case 'S': return "INTERVAL '" + *v + "' DAY(9) TO SECOND(9)";
    case 'L': case 'M': case 'G': return "'" + Lob(std::atol(v->c_str())) + "'";
    default: return "'" + *v + "'";
  }
}
// A value as the record's field takes it: a date-time with milliseconds, a day-to-second interval in milliseconds.
std::string Field(const Col& c, const Text& v) {
  if (!v) return "NULL";
  if (c.kind == 'D' || c.kind == 'T') return v->substr(0, 10) + "T" + v->substr(11) + (c.kind == 'D' ? ".000" : "");
  if (c.kind == 'S') {
    long days; int h, mi, s, ms;
    std::sscanf(v->c_str(), "%ld %d:%d:%d.%d", &days, &h, &mi, &s, &ms);
    return std::to_string(((days * 24 + h) * 60 + mi) * 60000L + s * 1000L + ms);
  }
  return *v;
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
  for (const Write& wr : k.writes) {
    head("");
    if (wr.how == 'q' || wr.how == 'u') {
      s << "sql " << (wr.how == 'q' ? "INSERT INTO " + t + " (ID" : "UPDATE " + t + " SET ");
      std::string names, values;
      for (const auto& [i, v] : wr.values) {
        if (wr.how == 'q') names += ", C" + std::to_string(i), values += ", " + Literal(k.cols[i], v);
        else names += (names.empty() ? "C" : ", C") + std::to_string(i) + "=" + Literal(k.cols[i], v);
      }
      s << (wr.how == 'q' ? names + ") VALUES (" + std::to_string(wr.id) + values + ")" : names + " WHERE ID=" + std::to_string(wr.id)) << "\nsql COMMIT\n";
      continue;
    }
    if (wr.how == 'm') s << "seek ID " << wr.id << "\n";
    std::string set = wr.how == 'a' ? " ID=" + std::to_string(wr.id) : "";
    for (const auto& [i, v] : wr.values) {
      if (Large(k.cols[i].kind)) s << "write-lob C" << i << " " << (v ? *v : "0") << "\n";
      else set += " C" + std::to_string(i) + "=NULL C" + std::to_string(i) + "=" + Field(k.cols[i], v);
    }
    if (!set.empty()) s << "set" << set << "\n";
    s << (wr.how == 'a' ? "add\n" : "modify\n");
  }
  s << "with B\ndescribe " << t << " as " << t << "B\nopen\n";
  std::string query = "query " + t + "Q SELECT ID";
  std::map<int, bool> ids;
  for (const Write& wr : k.writes) ids[wr.id] = true;
  for (const auto& [id, yes] : ids) {
    head("read " + std::to_string(id));
    s << "seek ID " << id << "\n";
    for (std::size_t i = 0; i < k.cols.size(); ++i) {
      if (!Large(k.cols[i].kind)) continue;
      head("lob " + std::to_string(id) + " " + std::to_string(i));
      s << "use " << t << "\nwrite-lob C" << i << " %" << i << "_" << id << "\nuse " << t << "B\nread-lob C" << i << "\n";
    }
  }
  for (std::size_t i = 0; i < k.cols.size(); ++i) {
    const std::string c = "C" + std::to_string(i), n = std::to_string(i);
    switch (k.cols[i].kind) {
      case 'N': case 'U': case 'F': case 'Y': case 'S': query += ", TO_CHAR(" + c + ") AS X" + n; break;
      case 'V': case 'W': query += ", " + c + " AS X" + n + ", LENGTH(" + c + ") AS Z" + n; break;
      case 'C': query += ", RTRIM(" + c + ") AS X" + n; break;
      case 'R': query += ", RAWTOHEX(" + c + ") AS X" + n; break;
      case 'D': query += ", TO_CHAR(" + c + ", 'YYYY-MM-DD HH24:MI:SS') AS X" + n; break;
      case 'T': query += ", TO_CHAR(" + c + ", 'YYYY-MM-DD HH24:MI:SS.FF') AS X" + n; break;
      case 'L': case 'M': query += ", LENGTH(" + c + ") AS Z" + n + ", INSTR(" + c + ", 'za') AS X" + n; break;
      default: break;
    }
  }
  s << query << " FROM " << t << " ORDER BY ID\n";
  for (std::size_t i = 0; i < ids.size(); ++i) {
    head("query");
    s << (i ? "read next\n" : "read first\n");
  }
  return s.str();
}

// ---- running and checking ----

struct Answer {
  std::string text;
  std::map<std::string, Text> record;
  std::set<int> refused;  // columns whose record field refused the value: the write takes them as NULL
};

std::vector<std::vector<Answer>> RunCases(const std::vector<Case>& cases, const std::vector<std::vector<Text>>& lobs, const std::string& tag) {
  const std::string dir = ::testing::TempDir() + "qz_value_" + std::to_string(::getpid()) + "_" + tag;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::string script = kHead;
  for (std::size_t w = 0; w < cases.size(); ++w) script += Script(cases[w], "T" + std::to_string(w), static_cast<int>(w), nullptr);
  // A read-lob compares with the text last written: the scratch write names the length the model expects.
  for (std::size_t at; (at = script.find(" %")) != std::string::npos;) {
    const std::size_t end = script.find('\n', at);
    int i = 0, id = 0;
    std::sscanf(script.c_str() + at + 2, "%d_%d", &i, &id);
    const std::size_t w = std::stoul(script.substr(script.rfind("\n## ", at) + 4));
    const Text& n = lobs[w][static_cast<std::size_t>(i * 1000 + id)];
    script.replace(at, end - at, " " + n.value_or("0"));
  }
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
    if (line.rfind("    record: ", 0) == 0) {
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

// A number as shown (decimal, currency, double) against the stored digits: the same, or within a double's digits.
bool SameNumber(const Text& got, const Text& want) {
  if (!got || !want) return got == want;
  const auto g = Parse(*got), m = Parse(*want);
  if (!g || !m) return false;
  const long double a = Approx(*g), b = Approx(*m);
  return *g == *m || std::fabs(a - b) <= std::fabs(b) * 1e-14L;
}

// What the server holds after each write, then every read checked against it; the disagreements.
std::vector<std::string> Check(const Case& k, const std::vector<Answer>& answers) {
  std::vector<std::string> wrong;
  std::map<int, std::map<int, Stored>> rows;
  std::vector<std::string> steps;
  Script(k, "T", 0, &steps);
  std::size_t step = 0;
  auto answer = [&]() -> const Answer& { static const Answer none; return step < answers.size() ? answers[step] : none; };
  for (const Write& wr : k.writes) {
    const Answer& a = answer();
    std::map<int, Stored> row = rows.count(wr.id) ? rows[wr.id] : std::map<int, Stored>{};
    std::set<std::string> errors;
    for (const auto& [i, v] : wr.values) {
      row[i] = Model(k.cols[i], a.refused.count(i) ? Text() : v);
      if (!row[i].ora.empty()) errors.insert(row[i].ora);
    }
    const bool exists = rows.count(wr.id) > 0, expectFail = !errors.empty() || ((wr.how == 'a' || wr.how == 'q') == exists);
    if (a.text.empty()) wrong.push_back("write " + std::to_string(step) + ": no answer");
    else if (wr.how == 'u' && !exists) {}
    else if (Failed(a.text) != expectFail)
      wrong.push_back("write " + std::to_string(step) + (expectFail ? ": done, the server refuses it" : ": failed") + a.text);
    // The driver may refuse a number too large for the column itself, with its conversion error about that column.
    else if (!errors.empty() && !errors.count(Ora(a.text)) &&
             !((errors.count("ORA-01438") || errors.count("ORA-01426")) && a.text.find("error 60,") != std::string::npos))
      wrong.push_back("write " + std::to_string(step) + ": " + Ora(a.text) + ", not " + *errors.begin() + a.text);
    if (!expectFail) {
      for (std::size_t i = 0; i < k.cols.size(); ++i) row.emplace(static_cast<int>(i), Stored{});
      rows[wr.id] = row;
    }
    ++step;
  }
  auto query = rows.begin();
  for (; step < steps.size(); ++step) {
    const Answer& a = answer();
    const std::string& what = steps[step];
    int id = 0, i = 0;
    if (std::sscanf(what.c_str(), "read %d", &id) == 1) {
      const auto got = a.record.find("ID");
      const bool found = got != a.record.end() && got->second == std::to_string(id) && !Failed(a.text);
      if (found != (rows.count(id) > 0)) { wrong.push_back("row " + std::to_string(id) + (found ? " is there" : " is missing") + a.text); continue; }
      if (!found) continue;
      for (std::size_t c = 0; c < k.cols.size(); ++c) {
        const Col& col = k.cols[c];
        const Text& m = rows[id][static_cast<int>(c)].value;
        const Text got = a.record.count("C" + std::to_string(c)) ? a.record.at("C" + std::to_string(c)) : Text("?");
        if (Large(col.kind)) continue;
        bool same = got == m;
        if (Numeric(col.kind)) same = SameNumber(got, m);
        if (col.kind == 'C' && got) { std::string t = *got; while (!t.empty() && t.back() == ' ') t.pop_back(); same = Text(t) == m; }
        if (col.kind == 'R' && got && m) same = got->size() >= 4 + m->size() && got->substr(4, m->size()) ==
            [&] { std::string l = *m; for (char& ch : l) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch))); return l; }();
        if ((col.kind == 'D' || col.kind == 'T') && m) same = got == Field(col, m->substr(0, 23));
        if (col.kind == 'S' && m) {
          const bool neg = (*m)[0] == '-';
          same = got == (neg && Field(col, m->substr(1, m->size() - 7)) != "0" ? "-" : "") + Field(col, m->substr(neg, m->size() - 6 - neg));
        }
        if (col.kind == 'Y' && m) {
          long y = 0; int mo = 0;
          std::sscanf(m->c_str() + ((*m)[0] == '-'), "%ld-%d", &y, &mo);
          same = got == std::string((*m)[0] == '-' ? "-" : "") + std::to_string((y * 365 + mo * 30) * 86400000L);
        }
        if (!same) wrong.push_back("row " + std::to_string(id) + " C" + std::to_string(c) + " " + Decl(col) + " reads " + got.value_or("NULL") + ", the server holds " + m.value_or("NULL") + a.text);
      }
    } else if (std::sscanf(what.c_str(), "lob %d %d", &id, &i) == 2) {
      if (!rows.count(id)) continue;
      const Text& m = rows[id][i].value;
      const bool empty = !m || *m == "0", same = a.text.find("the same as written") != std::string::npos;
      if (!(same || (empty && a.text.find("no value") != std::string::npos)))
        wrong.push_back("row " + std::to_string(id) + " C" + std::to_string(i) + " " + Decl(k.cols[i]) + " does not read back " + m.value_or("NULL") + " characters" + a.text);
    } else if (what == "query" && query != rows.end()) {
      const auto& [qid, row] = *query++;
      if (!a.record.count("ID") || a.record.at("ID") != std::to_string(qid)) { wrong.push_back("the query misses row " + std::to_string(qid) + a.text); continue; }
      for (std::size_t c = 0; c < k.cols.size(); ++c) {
        const Col& col = k.cols[c];
        const Text& m = row.at(static_cast<int>(c)).value;
        const std::string n = std::to_string(c);
        const Text x = a.record.count("X" + n) ? a.record.at("X" + n) : Text("?"), z = a.record.count("Z" + n) ? a.record.at("Z" + n) : Text("?");
        bool same = true;
        std::string shown = x.value_or("NULL");
        if (Numeric(col.kind)) same = x && m ? Parse(*x) && *Parse(*x) == *Parse(*m) : x == m;
        else if (col.kind == 'V' || col.kind == 'W') {
          std::size_t chars = 0;
          if (m) for (unsigned char ch : *m) chars += (ch & 0xC0) != 0x80;
          same = x == m && z == (m ? Text(std::to_string(chars)) : Text());
          shown += " of " + z.value_or("NULL") + " characters";
        } else if (col.kind == 'L' || col.kind == 'M') {
          const long len = m ? std::atol(m->c_str()) : -1;
          same = (len <= 0 && !z) || (len >= 0 && z == std::to_string(len) && x == std::to_string(len >= 27 ? 26 : 0));
          shown = "length " + z.value_or("NULL") + ", 'za' at " + shown;
        } else if ((col.kind == 'T' || col.kind == 'S') && x && m) {
          const std::string got = x->find('.') == std::string::npos ? *x + "." : *x;
          std::string tail = got.substr(got.find('.') + 1);
          tail.resize(9, '0');
          std::string head = got.substr(0, got.find('.'));
          if (col.kind == 'S') {  // "+DD HH:MI:SS" with the days at the leading precision
            long days; int h, mi, s;
            std::sscanf(head.c_str() + 1, "%ld %d:%d:%d", &days, &h, &mi, &s);
            char out[40];
            std::snprintf(out, sizeof out, "%s%ld %02d:%02d:%02d", head[0] == '-' ? "-" : "", days, h, mi, s);
            head = out;
          }
          same = head + "." + tail == *m;
        } else if (col.kind == 'Y' && x && m) {
          long y = 0; int mo = 0;
          std::sscanf(x->c_str() + 1, "%ld-%d", &y, &mo);
          same = ((*x)[0] == '-' ? "-" : "") + std::to_string(y) + "-" + std::to_string(mo) == *m;
        } else if (col.kind == 'D' && m) same = x == m;
        else if (!Large(col.kind)) same = x == m;
        if (!same) wrong.push_back("query row " + std::to_string(qid) + " C" + n + " " + Decl(col) + " shows " + shown + ", the server holds " + m.value_or("NULL") + a.text);
      }
    }
  }
  return wrong;
}

// Each large item's expected length, by column and row, for the scratch writes before read-lob.
std::vector<Text> Lobs(const Case& k) {
  std::vector<Text> lobs(k.cols.size() * 1000 + 1000);
  std::map<int, bool> exists;
  for (const Write& wr : k.writes) {
    bool refused = false;
    for (const auto& [i, v] : wr.values) refused |= !Model(k.cols[i], v).ora.empty();
    if (refused || ((wr.how == 'a' || wr.how == 'q') == (exists.count(wr.id) > 0))) continue;
    exists[wr.id] = true;
    for (const auto& [i, v] : wr.values)
      if (Large(k.cols[i].kind)) lobs[static_cast<std::size_t>(i * 1000 + wr.id)] = v;
  }
  return lobs;
}

std::vector<std::string> Disagreements(const Case& k, const std::string& tag) {
  return Check(k, RunCases({k}, {Lobs(k)}, tag)[0]);
}

// Drops writes, then columns, while the case still disagrees.
Case Shrink(Case k) {
  for (bool smaller = true; smaller;) {
    smaller = false;
    for (std::size_t i = 0; i < k.writes.size() && k.writes.size() > 1; ++i) {
      Case t = k;
      t.writes.erase(t.writes.begin() + static_cast<long>(i));
      if (!Disagreements(t, "shrink").empty()) k = t, smaller = true, --i;
    }
    for (std::size_t c = 0; c < k.cols.size() && k.cols.size() > 1; ++c) {
      Case t = k;
      t.cols.erase(t.cols.begin() + static_cast<long>(c));
      for (Write& w : t.writes) {
        std::map<int, Text> moved;
        for (const auto& [i, v] : w.values) if (i != static_cast<int>(c)) moved[i > static_cast<int>(c) ? i - 1 : i] = v;
        w.values = moved;
      }
      if (!Disagreements(t, "shrink").empty()) k = t, smaller = true, --c;
    }
  }
  return k;
}

std::string Printed(const Case& k) {
  std::string text = kHead + Script(k, "T", 0, nullptr);
  const auto lobs = Lobs(k);
  for (std::size_t at; (at = text.find(" %")) != std::string::npos;) {
    int i = 0, id = 0;
    std::sscanf(text.c_str() + at + 2, "%d_%d", &i, &id);
    text.replace(at, text.find('\n', at) - at, " " + lobs[static_cast<std::size_t>(i * 1000 + id)].value_or("0"));
  }
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
    std::vector<std::vector<Text>> lobs;
    for (unsigned s = at; s < std::min(first + count, at + batch); ++s) cases.push_back(Generate(s)), lobs.push_back(Lobs(cases.back()));
    const auto answers = RunCases(cases, lobs, "run");
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
