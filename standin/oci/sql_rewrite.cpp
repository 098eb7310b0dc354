#include "standin/oci/sql_rewrite.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "standin/oci/ora_datetime.h"
#include "standin/oci/ora_number.h"
#include "standin/oci/text_codec.h"

namespace qzoci {

namespace {

enum class Tok { kWord, kQuoted, kString, kNumber, kBind, kPunct, kSpace };

struct Token {
  Tok type;
  std::string text;
  std::string upper;  // words: upper case; quoted identifiers: the name inside the quotes
  int depth = 0;      // parenthesis depth before the token
};

bool IsWordStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c & 0x80); }
bool IsWordChar(char c) { return IsWordStart(c) || (c >= '0' && c <= '9') || c == '$' || c == '#'; }

std::vector<Token> Tokenize(const std::string& s) {
  std::vector<Token> out;
  int depth = 0;
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n) {
    const char c = s[i];
    Token t{Tok::kPunct, std::string(), std::string(), depth};
    const std::size_t start = i;
    std::size_t textStart = start;
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      while (i < n && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n')) ++i;
      t.type = Tok::kSpace;
    } else if (c == '-' && i + 1 < n && s[i + 1] == '-') {
      while (i < n && s[i] != '\n') ++i;
      t.type = Tok::kSpace;
    } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
      const std::size_t end = s.find("*/", i + 2);
      i = end == std::string::npos ? n : end + 2;
      t.type = Tok::kSpace;
    } else if (c == '\'' || ((c == 'N' || c == 'n') && i + 1 < n && s[i + 1] == '\'')) {
      // N'...' is a national literal, not the name N: SQLite's strings are all Unicode, so it is the same text with
      // the prefix dropped. A word that merely ends in N never comes here: the word branch takes it whole.
      if (c != '\'') textStart = ++i;
      ++i;
      while (i < n) {
        if (s[i] == '\'' && i + 1 < n && s[i + 1] == '\'') {
          i += 2;
        } else if (s[i] == '\'') {
          ++i;
          break;
        } else {
          ++i;
        }
      }
      t.type = Tok::kString;
    } else if (c == '"') {
      const std::size_t end = s.find('"', i + 1);
      i = end == std::string::npos ? n : end + 1;
      t.type = Tok::kQuoted;
      t.upper = s.substr(start + 1, i - start - 2);
    } else if (c == ':' && i + 1 < n && (IsWordChar(s[i + 1]) || s[i + 1] == '"')) {
      ++i;
      while (i < n && IsWordChar(s[i])) ++i;
      t.type = Tok::kBind;
    } else if (IsWordStart(c)) {
      while (i < n && IsWordChar(s[i])) ++i;
      t.type = Tok::kWord;
    } else if ((c >= '0' && c <= '9') ||
               (c == '.' && i + 1 < n && s[i + 1] >= '0' && s[i + 1] <= '9' &&
                (out.empty() || (out.back().type != Tok::kWord && out.back().type != Tok::kQuoted)))) {
      // A number, ".5" included (a "." after a name qualifies it).
      while (i < n && ((s[i] >= '0' && s[i] <= '9') || s[i] == '.')) ++i;
      t.type = Tok::kNumber;
    } else {
      ++i;
      if ((c == '|' || c == '<' || c == '>' || c == '!') && i < n && (s[i] == '|' || s[i] == '=' || s[i] == '>')) ++i;
      if (c == '(') ++depth;
      if (c == ')') --depth;
      t.type = Tok::kPunct;
    }
    t.text = s.substr(textStart, i - textStart);
    if (t.type == Tok::kWord) t.upper = ToUpperAscii(t.text);
    out.push_back(std::move(t));
  }
  return out;
}

// The significant tokens (no blanks or comments), with their indexes into the full list.
struct Cursor {
  const std::vector<Token>& all;
  std::vector<std::size_t> sig;
  explicit Cursor(const std::vector<Token>& tokens) : all(tokens) {
    for (std::size_t i = 0; i < tokens.size(); ++i) {
      if (tokens[i].type != Tok::kSpace) sig.push_back(i);
    }
  }
  std::size_t size() const { return sig.size(); }
  const Token& at(std::size_t k) const { return all[sig[k]]; }
  bool Is(std::size_t k, const char* word) const { return k < sig.size() && at(k).upper == word; }
  bool IsPunct(std::size_t k, const char* p) const {
    return k < sig.size() && at(k).type == Tok::kPunct && at(k).text == p;
  }
  // The source text from significant token k (inclusive) to e (exclusive), blanks included.
  std::string Text(std::size_t k, std::size_t e) const {
    std::string out;
    if (k >= sig.size()) return out;
    const std::size_t from = sig[k];
    const std::size_t to = e >= sig.size() ? all.size() : sig[e];
    for (std::size_t i = from; i < to; ++i) out += all[i].text;
    return out;
  }
  // The first significant token at or after k that is the word at depth 0 relative to depth of k.
  std::size_t FindTop(std::size_t k, const char* word) const {
    const int base = k < sig.size() ? at(k).depth : 0;
    for (std::size_t j = k; j < sig.size(); ++j) {
      if (at(j).depth == base && at(j).upper == word && at(j).type == Tok::kWord) return j;
    }
    return sig.size();
  }
};

std::string Unquote(const Token& t) {
  if (t.type == Tok::kQuoted) return t.upper;
  if (t.type == Tok::kString) {
    std::string inner = t.text.substr(1, t.text.size() >= 2 ? t.text.size() - 2 : 0);
    std::string out;
    for (std::size_t i = 0; i < inner.size(); ++i) {
      out += inner[i];
      if (inner[i] == '\'' && i + 1 < inner.size() && inner[i + 1] == '\'') ++i;
    }
    return out;
  }
  return t.upper.empty() ? t.text : t.upper;
}

// Reads a possibly owner-qualified name at k; answers it as "OWNER.NAME" or "NAME" and moves k past it.
std::string ReadName(const Cursor& c, std::size_t& k) {
  if (k >= c.size()) return std::string();
  std::string name = Unquote(c.at(k));
  ++k;
  while (c.IsPunct(k, ".") && k + 1 < c.size()) {
    name += "." + Unquote(c.at(k + 1));
    k += 2;
  }
  if (c.IsPunct(k, "@") && k + 1 < c.size()) {
    name += "@" + Unquote(c.at(k + 1));
    k += 2;
  }
  return name;
}

long long ReadSigned(const Cursor& c, std::size_t& k) {
  bool negative = false;
  if (c.IsPunct(k, "-")) {
    negative = true;
    ++k;
  }
  const long long value = k < c.size() ? std::atoll(c.at(k).text.c_str()) : 0;
  ++k;
  return negative ? -value : value;
}

// The index of the ")" that closes the "(" at `open`, or `to` when the text ends first.
std::size_t MatchingClose(const std::vector<Token>& t, std::size_t open, std::size_t to) {
  int depth = 0;
  for (std::size_t i = open; i < to; ++i) {
    if (t[i].type != Tok::kPunct) continue;
    if (t[i].text == "(") ++depth;
    if (t[i].text == ")" && --depth == 0) return i;
  }
  return to;
}

// A numeric literal that SQLite would read through a double, losing digits a NUMBER keeps: more than 15
// significant digits written as a real, or an integer past the signed 64-bit range.
bool IsWideLiteral(const std::string& literal) {
  const std::optional<Decimal> d = Decimal::Parse(literal);
  if (!d || d->digits.size() <= 15) return false;
  // Written with a point or an exponent, even a whole number is a double to SQLite ("123456789012345678.").
  return literal.find_first_of(".eE") != std::string::npos || !d->IsInteger() || !d->ToInt();
}

// Words after which a "-" starts a signed value rather than a subtraction.
bool EndsOperand(const Token& t) {
  static const char* const kKeywords[] = {"SELECT", "WHERE", "AND",  "OR",   "NOT",  "THEN",   "ELSE", "WHEN",
                                          "BETWEEN", "IN",   "VALUES", "SET", "BY",  "LIKE",   "IS",   "CASE",
                                          "ON",     "HAVING", "DEFAULT", "RETURN", "ALL", "ANY", "DISTINCT"};
  if (t.type == Tok::kPunct) return t.text == ")";
  if (t.type != Tok::kWord) return true;
  for (const char* k : kKeywords) {
    if (t.upper == k) return false;
  }
  return true;
}

// The items of a list between from and to (significant tokens), split at the commas of its own level.
std::vector<std::pair<std::size_t, std::size_t>> ListItems(const Cursor& c, std::size_t from, std::size_t to) {
  std::vector<std::pair<std::size_t, std::size_t>> items;
  if (from >= to) return items;
  const int depth = c.at(from).depth;
  std::size_t start = from;
  for (std::size_t k = from; k <= to; ++k) {
    if (k == to || (c.IsPunct(k, ",") && c.at(k).depth == depth)) {
      items.emplace_back(start, k);
      start = k + 1;
    }
  }
  return items;
}

// INTERVAL 'text' unit [(n)] [TO unit [(n)]], whose text is at `value`: the interval as the stand-in keeps one (the
// text of Interval, fields carried over into the larger ones), quoted, with `end` on its last token; empty when the
// tokens are no interval literal.
std::string IntervalLiteral(const std::vector<Token>& t, std::size_t value, std::size_t to, std::size_t& end) {
  static const char* const kUnits[] = {"YEAR", "MONTH", "DAY", "HOUR", "MINUTE", "SECOND"};
  auto next = [&](std::size_t i) {
    for (++i; i < to; ++i) {
      if (t[i].type != Tok::kSpace) return i;
    }
    return to;
  };
  auto unitAt = [&](std::size_t i) {
    for (int u = 0; u < 6; ++u) {
      if (i < to && t[i].upper == kUnits[u]) return u;
    }
    return -1;
  };
  // Skips "(n)" or "(n, m)" after a unit.
  auto skipPrecision = [&](std::size_t i) {
    const std::size_t open = next(i);
    if (open >= to || t[open].text != "(") return i;
    const std::size_t close = MatchingClose(t, open, to);
    return close < to ? close : i;
  };
  std::size_t at = next(value);
  const int first = unitAt(at);
  if (first < 0) return std::string();
  at = skipPrecision(at);
  int last = first;
  const std::size_t toWord = next(at);
  if (toWord < to && t[toWord].upper == "TO" && unitAt(next(toWord)) > first) {
    last = unitAt(next(toWord));
    at = skipPrecision(next(toWord));
  }
  if ((first <= 1) != (last <= 1)) return std::string();
  end = at;
  // The fields in order from the first unit: numbers between any other characters, a fraction after the seconds.
  std::string text = t[value].text.substr(1, t[value].text.size() - 2);
  Interval v;
  v.yearToMonth = first <= 1;
  std::size_t p = 0;
  while (p < text.size() && text[p] == ' ') ++p;
  if (p < text.size() && (text[p] == '-' || text[p] == '+')) v.negative = text[p++] == '-';
  std::int64_t fields[6] = {};
  int unit = first;
  while (p < text.size() && unit <= last) {
    if (text[p] < '0' || text[p] > '9') {
      ++p;
      continue;
    }
    std::int64_t n = 0;
    while (p < text.size() && text[p] >= '0' && text[p] <= '9') n = n * 10 + (text[p++] - '0');
    fields[unit++] = n;
    if (unit - 1 == 5 && p < text.size() && text[p] == '.') {
      std::string digits;
      for (++p; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p) digits += text[p];
      digits.resize(9, '0');
      v.nanos = std::atoll(digits.substr(0, 9).c_str());
    }
  }
  if (v.yearToMonth) {
    const std::int64_t months = fields[0] * 12 + fields[1];
    v.years = months / 12;
    v.months = months % 12;
  } else {
    const std::int64_t seconds = ((fields[2] * 24 + fields[3]) * 60 + fields[4]) * 60 + fields[5];
    v.days = seconds / 86400;
    v.hours = seconds / 3600 % 24;
    v.minutes = seconds / 60 % 60;
    v.seconds = seconds % 60;
  }
  return "'" + v.ToText() + "'";
}

// Token-level mapping of Oracle names and pseudo-columns; `from`/`to` are indexes into the full token list.
std::string MapTokens(const std::vector<Token>& t, std::size_t from, std::size_t to, const std::string& user,
                      bool inDdl) {
  std::string out;
  auto prevSig = [&](std::size_t i) -> const Token* {
    while (i-- > from) {
      if (t[i].type != Tok::kSpace) return &t[i];
    }
    return nullptr;
  };
  auto nextSig = [&](std::size_t i) -> std::size_t {
    for (++i; i < to; ++i) {
      if (t[i].type != Tok::kSpace) return i;
    }
    return to;
  };
  for (std::size_t i = from; i < to; ++i) {
    const Token& tok = t[i];
    if (tok.type == Tok::kString && tok.text == "''" && !inDdl) {
      out += "NULL";  // Oracle reads the empty string as NULL
      continue;
    }
    if (tok.type == Tok::kBind) {
      // SQLite names its parameters as written; Oracle matches them without regard to case.
      out += ":" + ToUpperAscii(tok.text.substr(1));
      continue;
    }
    if (tok.type == Tok::kNumber && !inDdl && IsWideLiteral(tok.text)) {
      // Written as text, the literal reaches a NUMBER column, its comparisons and the client's buffers digit for
      // digit; a sign before it that is no subtraction goes into the text with it.
      std::string sign;
      const Token* before = prevSig(i);
      if (before && before->type == Tok::kPunct && before->text == "-") {
        std::size_t k = i;
        while (k-- > from && t[k].type == Tok::kSpace) {
        }
        const Token* operand = prevSig(k);
        if (!operand || !EndsOperand(*operand)) {
          sign = "-";
          out.erase(out.rfind('-'));
        }
      }
      out += "'" + sign + tok.text + "'";
      continue;
    }
    if (tok.type == Tok::kQuoted) {
      out += "\"" + SqliteName(tok.upper) + "\"";
      continue;
    }
    if (tok.type != Tok::kWord) {
      out += tok.text;
      continue;
    }
    if (tok.upper == "INTERVAL") {
      const std::size_t value = nextSig(i);
      std::size_t end = value;
      const std::string literal = value < to && t[value].type == Tok::kString ? IntervalLiteral(t, value, to, end) : "";
      if (!literal.empty()) {
        out += literal;
        i = end;
        continue;
      }
    }
    const Token* before = prevSig(i);
    const bool afterDot = before && before->type == Tok::kPunct && before->text == ".";
    const std::size_t n1 = nextSig(i);
    const bool beforeDot = n1 < to && t[n1].type == Tok::kPunct && t[n1].text == ".";
    const bool beforeParen = n1 < to && t[n1].type == Tok::kPunct && t[n1].text == "(";
    if (beforeDot) {
      const std::size_t n2 = nextSig(n1);
      const std::string nextWord = n2 < to ? t[n2].upper : std::string();
      if (nextWord == "NEXTVAL" || nextWord == "CURRVAL") {
        out += (nextWord == "NEXTVAL" ? "qz_nextval('" : "qz_currval('") + tok.upper + "')";
        i = n2;
        continue;
      }
      // owner.sequence.NEXTVAL
      if (n2 < to) {
        const std::size_t n3 = nextSig(n2);
        const std::size_t n4 = n3 < to ? nextSig(n3) : to;
        if (n3 < to && t[n3].text == "." && n4 < to && (t[n4].upper == "NEXTVAL" || t[n4].upper == "CURRVAL")) {
          out += (t[n4].upper == "NEXTVAL" ? "qz_nextval('" : "qz_currval('") + tok.upper + "." + t[n2].upper + "')";
          i = n4;
          continue;
        }
      }
      if (!afterDot && (tok.upper == "SYS" || tok.upper == "PUBLIC")) {
        out += "temp";
        continue;
      }
      if (!afterDot && tok.upper == user) {
        out += "main";
        continue;
      }
    }
    // "MAX(x)+1": SQLite adds through a double once the maximum is past 2^63; the stand-in adds exactly. Only where
    // the addition stands alone (no operator that binds tighter or subtracts on either side) is it rewritten.
    if (beforeParen && !afterDot && !inDdl && (tok.upper == "MAX" || tok.upper == "MIN" || tok.upper == "SUM")) {
      const std::size_t close = MatchingClose(t, n1, to);
      const std::size_t op = close < to ? nextSig(close) : to;
      const std::size_t literal = op < to ? nextSig(op) : to;
      const std::size_t after = literal < to ? nextSig(literal) : to;
      auto binds = [&](const Token* x) {
        return x && x->type == Tok::kPunct &&
               (x->text == "*" || x->text == "/" || x->text == "%" || x->text == "||" || x->text == "-");
      };
      if (literal < to && t[op].type == Tok::kPunct && (t[op].text == "+" || t[op].text == "-") &&
          t[literal].type == Tok::kNumber && !binds(before) &&
          (after >= to || !binds(&t[after]) || t[after].text == "-")) {
        out += "qz_add(" + MapTokens(t, i, close + 1, user, inDdl) + ", " + (t[op].text == "-" ? "-" : "") +
               t[literal].text + ")";
        i = literal;
        continue;
      }
    }
    if (tok.upper == "ROWID" && !beforeParen && !inDdl) {
      if (afterDot) {
        // "alias.ROWID": the alias is already written; wrap it.
        const std::size_t dot = out.rfind('.');
        std::size_t aliasStart = dot;
        while (aliasStart > 0 && (IsWordChar(out[aliasStart - 1]) || out[aliasStart - 1] == '"')) --aliasStart;
        const std::string alias = out.substr(aliasStart, dot - aliasStart);
        out.erase(aliasStart);
        out += "qz_rowid(" + alias + ".rowid)";
      } else {
        out += "qz_rowid(rowid)";
      }
      continue;
    }
    if (!afterDot && !beforeDot && !beforeParen) {
      if (tok.upper == "SYSDATE") {
        out += inDdl ? "(qz_sysdate())" : "qz_sysdate()";
        continue;
      }
      if (tok.upper == "SYSTIMESTAMP") {
        out += inDdl ? "(qz_systimestamp())" : "qz_systimestamp()";
        continue;
      }
      if (tok.upper == "USER" && !inDdl) {
        out += "qz_user()";
        continue;
      }
      if (tok.upper == "MINUS") {
        out += "EXCEPT";
        continue;
      }
    }
    out += tok.text;
  }
  return out;
}

// CREATE TABLE and ALTER TABLE: type spellings SQLite's grammar does not take.
//
// A NUMBER column keeps up to 40 digits, which SQLite's numeric columns would turn into doubles. So a NUMBER,
// NUMERIC, DECIMAL or DEC column is declared "NUMBER QZ_TEXT(p,s) COLLATE QZ_NUMBER": the word QZ_TEXT gives it
// SQLite's text affinity, which stores every value as its exact decimal text (integers and reals included), and
// the collation (ora_functions.cpp) compares those texts by value, so that =, <, ORDER BY, MIN, MAX, DISTINCT and
// the keys stay numeric. Arithmetic reads the texts as numbers; SUM and "MAX(x)+1" are computed exactly by the
// stand-in's own functions. ParseDeclaredType reads the spelling back as the declared type. INTEGER, SMALLINT and
// FLOAT columns keep SQLite's integer and real storage.
std::string MapDdlTypes(const std::string& text) {
  std::vector<Token> t = Tokenize(text);
  std::string out;
  auto prevSig = [&](std::size_t i) -> const Token* {
    while (i-- > 0) {
      if (t[i].type != Tok::kSpace) return &t[i];
    }
    return nullptr;
  };
  // The name of the column whose type is the word at i, null when the word is not a column's type: a column's type
  // follows its name, which follows "(", "," or ADD / COLUMN / MODIFY, or opens the text.
  auto typedColumn = [&](std::size_t i) -> const Token* {
    const Token* name = prevSig(i);
    std::size_t at = name ? static_cast<std::size_t>(name - t.data()) : 0;
    const Token* lead = name ? prevSig(at) : nullptr;
    const bool typePlace =
        name && (name->type == Tok::kWord || name->type == Tok::kQuoted) && name->upper != "AS" &&
        (!lead || (lead->type == Tok::kPunct && (lead->text == "(" || lead->text == ",")) ||
         lead->upper == "ADD" || lead->upper == "COLUMN" || lead->upper == "MODIFY");
    return typePlace ? name : nullptr;
  };
  std::string intervalColumn;
  std::string intervalLeading = "2";  // the leading field's digits, 2 unless the type names them
  for (std::size_t i = 0; i < t.size(); ++i) {
    const Token& tok = t[i];
    if (tok.type == Tok::kWord && tok.upper == "INTERVAL") {
      const Token* name = typedColumn(i);
      intervalColumn = name ? name->text : std::string();
      intervalLeading = "2";
    }
    if (tok.type == Tok::kWord &&
        (tok.upper == "NUMBER" || tok.upper == "NUMERIC" || tok.upper == "DECIMAL" || tok.upper == "DEC")) {
      if (typedColumn(i)) {
        out += tok.text + " QZ_TEXT";
        std::size_t open = i + 1;
        while (open < t.size() && t[open].type == Tok::kSpace) ++open;
        if (open < t.size() && t[open].type == Tok::kPunct && t[open].text == "(") {
          const std::size_t close = MatchingClose(t, open, t.size());
          for (std::size_t k = open; k <= close && k < t.size(); ++k) out += t[k].text;
          i = close;
        }
        out += " COLLATE QZ_NUMBER";
        continue;
      }
    }
    // A RAW or LONG RAW column is declared "RAW QZ_BLOB(n)": the word gives it SQLite's blob affinity, which keeps a
    // text as it was written (numeric affinity would turn "0012" into 12) until its trigger (Session::FitColumns)
    // converts the hexadecimal to bytes.
    if (tok.type == Tok::kWord && tok.upper == "RAW") {
      const Token* before = prevSig(i);
      const bool longRaw = before && before->upper == "LONG" && typedColumn(static_cast<std::size_t>(before - t.data()));
      if (longRaw || typedColumn(i)) {
        out += tok.text + " QZ_BLOB";
        continue;
      }
    }
    // "(20 CHAR)" / "(20 BYTE)" -> "(20)"
    if (tok.type == Tok::kWord && (tok.upper == "CHAR" || tok.upper == "BYTE")) {
      std::size_t p = i;
      while (p > 0 && t[p - 1].type == Tok::kSpace) --p;
      std::size_t q = i + 1;
      while (q < t.size() && t[q].type == Tok::kSpace) ++q;
      if (p > 0 && t[p - 1].type == Tok::kNumber && q < t.size() && t[q].text == ")") {
        while (!out.empty() && out.back() == ' ') out.pop_back();
        continue;
      }
    }
    // "TIMESTAMP(3) WITH ..." and "DAY(2) TO SECOND" / "YEAR(2) TO MONTH": the precision moves out of the middle.
    if (tok.type == Tok::kWord && (tok.upper == "TIMESTAMP" || tok.upper == "DAY" || tok.upper == "YEAR")) {
      std::size_t q = i + 1;
      while (q < t.size() && t[q].type == Tok::kSpace) ++q;
      if (q + 2 < t.size() && t[q].text == "(" && t[q + 1].type == Tok::kNumber && t[q + 2].text == ")") {
        std::size_t r = q + 3;
        while (r < t.size() && t[r].type == Tok::kSpace) ++r;
        if (r < t.size() && (t[r].upper == "WITH" || t[r].upper == "TO")) {
          if (tok.upper != "TIMESTAMP") intervalLeading = t[q + 1].text;
          out += tok.text;
          i = q + 2;
          continue;
        }
      }
    }
    // "INTERVAL DAY TO SECOND": SQLite takes no keyword inside a type name.
    if (tok.type == Tok::kWord && tok.upper == "TO") {
      std::size_t q = i + 1;
      while (q < t.size() && t[q].type == Tok::kSpace) ++q;
      std::string before = ToUpperAscii(out);
      while (!before.empty() && before.back() == ' ') before.pop_back();
      const bool afterUnit = before.size() >= 3 && (before.compare(before.size() - 3, 3, "DAY") == 0 ||
                                                    (before.size() >= 4 && before.compare(before.size() - 4, 4, "YEAR") == 0));
      if (afterUnit && q < t.size() &&
          (t[q].upper == "SECOND" || t[q].upper == "MONTH")) {
        while (!out.empty() && out.back() == ' ') out.pop_back();
        out += "_TO_" + t[q].text;
        i = q;
        std::size_t open = q + 1;
        while (open < t.size() && t[open].type == Tok::kSpace) ++open;
        if (open < t.size() && t[open].type == Tok::kPunct && t[open].text == "(") {
          i = MatchingClose(t, open, t.size());
          for (std::size_t k = open; k <= i && k < t.size(); ++k) out += t[k].text;
        }
        // A server takes no number for an interval (qz_interval_only, ora_functions.cpp).
        if (!intervalColumn.empty()) {
          out += " CHECK (qz_interval_only(" + intervalColumn + ", " + intervalLeading + ", " +
                 (t[q].upper == "MONTH" ? "1" : "0") + "))";
        }
        intervalColumn.clear();
        continue;
      }
    }
    out += tok.text;
  }
  return out;
}

// Oracle's old outer join: "a.x = b.y(+)" in WHERE keeps a's rows that b has no match for. SQLite knows only the
// LEFT JOIN, so each table marked in a block's WHERE leaves the FROM list for "LEFT JOIN table ON conditions", the
// marked conditions becoming its ON clause (marks dropped) and the rest staying in WHERE. Blocks are rewritten one
// at a time, from the block of the first mark, until no mark is left. 0, or the ORA error Oracle gives for the form.
int MapOuterJoins(std::string& sql) {
  for (;;) {
    const std::vector<Token> t = Tokenize(sql);
    const Cursor c(t);
    // The marks: "(", "+", ")" with nothing but blanks between.
    auto isMark = [&](std::size_t k) { return c.IsPunct(k, "(") && c.IsPunct(k + 1, "+") && c.IsPunct(k + 2, ")"); };
    std::size_t first = c.size();
    for (std::size_t k = 0; k + 2 < c.size() && first == c.size(); ++k) {
      if (isMark(k)) first = k;
    }
    if (first == c.size()) return 0;
    // The SELECT whose own level holds the mark: the nearest one before it that no closed parenthesis hides.
    int lowest = c.at(first).depth;
    std::size_t select = c.size();
    for (std::size_t k = first; k-- > 0;) {
      lowest = std::min(lowest, c.at(k).depth);
      if (c.Is(k, "SELECT") && c.at(k).depth <= lowest) {
        select = k;
        break;
      }
    }
    if (select == c.size()) return 1719;  // no query block for the mark
    const int depth = c.at(select).depth;
    std::size_t end = select + 1;
    while (end < c.size() && !(c.at(end).depth == depth && (c.IsPunct(end, ")") || c.Is(end, "UNION") ||
                                                             c.Is(end, "INTERSECT") || c.Is(end, "MINUS") ||
                                                             c.Is(end, "EXCEPT")))) {
      ++end;
    }
    auto top = [&](std::size_t k, const char* word) { return c.at(k).depth == depth && c.Is(k, word); };
    std::size_t from = c.size(), where = c.size(), whereEnd = end;
    for (std::size_t k = select + 1; k < end; ++k) {
      if (from == c.size() && top(k, "FROM")) from = k;
      if (where == c.size() && top(k, "WHERE")) where = k;
      if (where < k && whereEnd == end &&
          (top(k, "GROUP") || top(k, "HAVING") || top(k, "ORDER") || top(k, "CONNECT") || top(k, "START") ||
           top(k, "FOR"))) {
        whereEnd = k;
      }
    }
    if (from == c.size() || where == c.size() || first < where || first >= whereEnd) return 1719;

    // The FROM list's tables, each known by its alias or else the last part of its name.
    struct Table {
      std::size_t begin, end;
      std::string key;
      bool outer = false;
      std::vector<std::size_t> conditions;
    };
    std::vector<Table> tables;
    std::size_t itemStart = from + 1;
    for (std::size_t k = from + 1; k <= where; ++k) {
      if (k < where && top(k, "JOIN")) return 25156;  // the old mark does not mix with joins written out
      if (k < where && !(c.IsPunct(k, ",") && c.at(k).depth == depth)) continue;
      if (k == itemStart) return 903;
      tables.push_back({itemStart, k, Unquote(c.at(k - 1)), false, {}});
      const std::string& key = tables.back().key;
      if (c.at(k - 1).type == Tok::kWord) tables.back().key = ToUpperAscii(key);
      itemStart = k + 1;
    }
    auto tableOf = [&](const std::string& qualifier) {
      for (std::size_t n = 0; n < tables.size(); ++n) {
        if (tables[n].key == qualifier) return n;
      }
      return tables.size();
    };
    auto qualifierAt = [&](std::size_t k) {
      return c.at(k).type == Tok::kWord ? c.at(k).upper : Unquote(c.at(k));
    };

    // The conditions joined by AND at the block's level; an OR there leaves none to move (ORA-01719).
    std::vector<std::pair<std::size_t, std::size_t>> conditions;
    std::size_t conditionStart = where + 1;
    bool between = false;
    for (std::size_t k = where + 1; k <= whereEnd; ++k) {
      if (k < whereEnd && c.at(k).depth == depth) {
        if (c.Is(k, "OR")) return 1719;
        if (c.Is(k, "BETWEEN")) between = true;
        if (!c.Is(k, "AND")) continue;
        if (between) {
          between = false;
          continue;
        }
      } else if (k < whereEnd) {
        continue;
      }
      conditions.emplace_back(conditionStart, k);
      conditionStart = k + 1;
    }
    std::vector<bool> moved(conditions.size(), false);
    for (std::size_t n = 0; n < conditions.size(); ++n) {
      std::size_t marked = tables.size();
      for (std::size_t k = conditions[n].first; k + 2 < conditions[n].second; ++k) {
        if (!isMark(k)) continue;
        // The marked column is "qualifier.column": its table is the one outer-joined.
        if (k < 3 || !c.IsPunct(k - 2, ".")) return 1719;
        const std::size_t table = tableOf(qualifierAt(k - 3));
        if (table == tables.size()) return 904;
        if (marked != tables.size() && marked != table) return 1468;  // one outer-joined table per condition
        marked = table;
      }
      if (marked == tables.size()) continue;
      tables[marked].outer = true;
      tables[marked].conditions.push_back(n);
      moved[n] = true;
    }
    // A condition's text without its marks.
    auto conditionText = [&](std::size_t n) {
      std::string out;
      for (std::size_t k = conditions[n].first; k < conditions[n].second; ++k) {
        if (isMark(k)) {
          k += 2;
          continue;
        }
        out += c.Text(k, k + 1);
      }
      while (!out.empty() && out.back() == ' ') out.pop_back();
      return out;
    };
    // The tables nobody outer-joins come first; an outer-joined one follows every table its conditions name.
    std::string fromText;
    std::vector<bool> placed(tables.size(), false);
    for (std::size_t n = 0; n < tables.size(); ++n) {
      if (tables[n].outer) continue;
      fromText += (fromText.empty() ? "" : ", ") + c.Text(tables[n].begin, tables[n].end);
      placed[n] = true;
    }
    if (fromText.empty()) return 1416;  // every table outer-joined to another: a cycle
    for (bool progress = true; progress;) {
      progress = false;
      for (std::size_t n = 0; n < tables.size(); ++n) {
        if (placed[n]) continue;
        bool ready = true;
        for (const std::size_t condition : tables[n].conditions) {
          for (std::size_t k = conditions[condition].first; k + 1 < conditions[condition].second; ++k) {
            if (!c.IsPunct(k + 1, ".")) continue;
            const std::size_t other = tableOf(qualifierAt(k));
            if (other < tables.size() && other != n && !placed[other]) ready = false;
          }
        }
        if (!ready) continue;
        std::string on;
        for (const std::size_t condition : tables[n].conditions) {
          on += (on.empty() ? "" : " AND ") + conditionText(condition);
        }
        fromText += " LEFT JOIN " + c.Text(tables[n].begin, tables[n].end) + " ON " + on;
        placed[n] = progress = true;
      }
    }
    for (std::size_t n = 0; n < tables.size(); ++n) {
      if (!placed[n]) return 1416;
    }
    std::string whereText;
    for (std::size_t n = 0; n < conditions.size(); ++n) {
      if (!moved[n]) whereText += (whereText.empty() ? "" : " AND ") + conditionText(n);
    }
    std::string out = c.Text(0, from + 1) + " " + fromText + " ";
    if (!whereText.empty()) out += "WHERE " + whereText + " ";
    sql = out + c.Text(whereEnd, c.size());
  }
}

// Oracle's || reads NULL as the empty text and gives NULL only for an empty result; SQLite's gives NULL as soon as
// one side is NULL. Each chain "a || b || c" becomes NULLIF(coalesce(a,'') || coalesce(b,'') || ..., '').
std::string MapConcatenation(const std::string& sql) {
  if (sql.find("||") == std::string::npos) return sql;
  const std::vector<Token> t = Tokenize(sql);
  auto isConcat = [&](std::size_t i) { return t[i].type == Tok::kPunct && t[i].text == "||"; };
  auto prevSig = [&](std::size_t i) -> std::size_t {
    while (i > 0) {
      --i;
      if (t[i].type != Tok::kSpace) return i;
    }
    return t.size();
  };
  auto nextSig = [&](std::size_t i) -> std::size_t {
    for (++i; i < t.size(); ++i) {
      if (t[i].type != Tok::kSpace) return i;
    }
    return t.size();
  };
  auto matchForward = [&](std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < t.size(); ++i) {
      if (t[i].text == "(" && t[i].type == Tok::kPunct) ++depth;
      if (t[i].text == ")" && t[i].type == Tok::kPunct && --depth == 0) return i;
    }
    return t.size() - 1;
  };
  auto matchBackward = [&](std::size_t close) {
    int depth = 0;
    for (std::size_t i = close + 1; i-- > 0;) {
      if (t[i].text == ")" && t[i].type == Tok::kPunct) ++depth;
      if (t[i].text == "(" && t[i].type == Tok::kPunct && --depth == 0) return i;
    }
    return std::size_t{0};
  };
  // The first token of the operand that ends at `last`.
  auto operandStart = [&](std::size_t last) {
    std::size_t first = last;
    if (t[last].type == Tok::kPunct && t[last].text == ")") {
      first = matchBackward(last);
      const std::size_t before = prevSig(first);
      if (before < t.size() && t[before].type == Tok::kWord) first = before;
    }
    for (;;) {
      const std::size_t dot = prevSig(first);
      if (dot >= t.size() || t[dot].text != ".") break;
      const std::size_t owner = prevSig(dot);
      if (owner >= t.size() || (t[owner].type != Tok::kWord && t[owner].type != Tok::kQuoted)) break;
      first = owner;
    }
    return first;
  };
  // The last token of the operand that begins at `first`.
  auto operandEnd = [&](std::size_t first) {
    std::size_t last = first;
    if (t[first].type == Tok::kPunct && t[first].text == "(") return matchForward(first);
    for (;;) {
      const std::size_t dot = nextSig(last);
      if (dot < t.size() && t[dot].text == "." && nextSig(dot) < t.size()) {
        last = nextSig(dot);
        continue;
      }
      break;
    }
    const std::size_t open = nextSig(last);
    if (t[last].type == Tok::kWord && open < t.size() && t[open].text == "(") last = matchForward(open);
    return last;
  };
  std::string out;
  std::size_t i = 0;
  while (i < t.size()) {
    // Look ahead for a chain that starts at the operand ending just before the next ||.
    std::size_t op = i;
    while (op < t.size() && !isConcat(op)) ++op;
    if (op >= t.size()) {
      for (; i < t.size(); ++i) out += t[i].text;
      break;
    }
    const std::size_t leftLast = prevSig(op);
    if (leftLast >= t.size() || leftLast < i) {
      for (; i <= op; ++i) out += t[i].text;
      continue;
    }
    const std::size_t leftFirst = std::max(operandStart(leftLast), i);
    for (; i < leftFirst; ++i) out += t[i].text;
    std::vector<std::pair<std::size_t, std::size_t>> operands{{leftFirst, leftLast}};
    std::size_t cursor = op;
    while (cursor < t.size() && isConcat(cursor)) {
      const std::size_t first = nextSig(cursor);
      if (first >= t.size()) break;
      const std::size_t last = operandEnd(first);
      operands.emplace_back(first, last);
      cursor = nextSig(last);
    }
    std::string chain = "NULLIF(";
    for (std::size_t k = 0; k < operands.size(); ++k) {
      std::string operand;
      for (std::size_t j = operands[k].first; j <= operands[k].second; ++j) operand += t[j].text;
      chain += (k ? " || " : "") + std::string("coalesce(") + MapConcatenation(operand) + ",'')";
    }
    out += chain + ", '')";
    i = operands.back().second + 1;
  }
  return out;
}

// The length limits of Oracle's sized types: a longer declaration fails (ORA-00910), which is what makes a client
// fall back to the long types. NUMBER takes at most 38 digits (ORA-01727).
int CheckDeclaredLengths(const std::string& text) {
  static const std::pair<const char*, long> kLimits[] = {{"VARCHAR2", 4000}, {"VARCHAR", 4000}, {"NVARCHAR2", 2000},
                                                         {"CHAR", 2000},     {"NCHAR", 1000},   {"RAW", 2000}};
  const std::vector<Token> t = Tokenize(text);
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i].type != Tok::kWord) continue;
    std::size_t open = i + 1;
    while (open < t.size() && t[open].type == Tok::kSpace) ++open;
    if (open >= t.size() || t[open].text != "(") continue;
    std::size_t number = open + 1;
    while (number < t.size() && t[number].type == Tok::kSpace) ++number;
    if (number >= t.size() || t[number].type != Tok::kNumber) continue;
    const long value = std::atol(t[number].text.c_str());
    for (const auto& [name, limit] : kLimits) {
      if (t[i].upper == name && (value > limit || value < 1)) return 910;
    }
    if ((t[i].upper == "NUMBER" || t[i].upper == "NUMERIC" || t[i].upper == "DECIMAL") && (value > 38 || value < 1)) {
      return 1727;
    }
  }
  return 0;
}

std::uint16_t StatementTypeOf(const std::string& word) {
  if (word == "SELECT" || word == "WITH") return 1;
  if (word == "UPDATE") return 2;
  if (word == "DELETE") return 3;
  if (word == "INSERT") return 4;
  if (word == "CREATE") return 5;
  if (word == "DROP") return 6;
  if (word == "ALTER") return 7;
  if (word == "BEGIN") return 8;
  if (word == "DECLARE") return 9;
  if (word == "CALL") return 10;
  if (word == "MERGE") return 16;
  return 0;
}

// ORDER BY items in SQLite's terms: an item that names a select-list column written with its table
// ("T.COL" selected, "COL" ordered) takes the qualified form, which SQLite would find ambiguous otherwise; and NULLs
// sort as Oracle sorts them, last ascending and first descending.
std::string MapOrderBy(const Cursor& c, std::size_t from, std::size_t to, std::size_t selectFrom,
                       std::size_t selectTo, const std::string& user) {
  std::vector<std::pair<std::string, std::string>> qualified;  // COL -> T.COL
  for (std::size_t k = selectFrom; k + 2 < selectTo; ++k) {
    if (c.at(k).type == Tok::kWord && c.IsPunct(k + 1, ".") && c.at(k + 2).type == Tok::kWord &&
        (k + 3 >= selectTo || c.IsPunct(k + 3, ",")) && (k == selectFrom || c.IsPunct(k - 1, ","))) {
      qualified.emplace_back(c.at(k + 2).upper, c.at(k).text + "." + c.at(k + 2).text);
    }
  }
  std::string out;
  std::size_t start = from;
  const int depth = from < c.size() ? c.at(from).depth : 0;
  for (std::size_t k = from; k <= to; ++k) {
    if (k < to && !(c.IsPunct(k, ",") && c.at(k).depth == depth)) continue;
    std::size_t itemEnd = k;
    bool descending = false;
    bool hasNulls = false;
    for (std::size_t j = start; j < itemEnd; ++j) {
      if (c.at(j).depth != depth) continue;
      if (c.Is(j, "DESC")) descending = true;
      if (c.Is(j, "NULLS")) hasNulls = true;
    }
    std::size_t exprEnd = itemEnd;
    if (exprEnd > start && (c.Is(exprEnd - 1, "ASC") || c.Is(exprEnd - 1, "DESC"))) --exprEnd;
    if (exprEnd <= start) return std::string();  // an empty item: the caller reports the missing expression
    std::string item;
    if (exprEnd == start + 1 && c.at(start).type == Tok::kWord) {
      for (const auto& [column, full] : qualified) {
        if (column == c.at(start).upper) item = full;
      }
    }
    if (item.empty()) item = MapTokens(c.all, c.sig[start], exprEnd >= c.size() ? c.all.size() : c.sig[exprEnd], user, false);
    out += (out.empty() ? "" : ", ") + item;
    if (exprEnd < itemEnd && !hasNulls) out += descending ? " DESC" : " ASC";
    if (!hasNulls) out += descending ? " NULLS FIRST" : " NULLS LAST";
    else if (exprEnd < itemEnd) out += " " + c.Text(exprEnd, itemEnd);
    start = k + 1;
  }
  return out;
}

void PlanSelect(const Cursor& c, const std::string& user, SqlPlan& plan) {
  std::size_t end = c.size();
  // FOR UPDATE [OF ...] [NOWAIT | WAIT n | SKIP LOCKED] at the top level.
  for (std::size_t k = 0; k + 1 < c.size(); ++k) {
    if (c.at(k).depth == 0 && c.Is(k, "FOR") && c.Is(k + 1, "UPDATE")) {
      plan.forUpdate = true;
      end = k;
      for (std::size_t j = k + 2; j < c.size(); ++j) {
        if (c.Is(j, "NOWAIT")) plan.noWait = true;
      }
      break;
    }
  }
  auto at = [&](std::size_t k) { return k >= c.size() ? c.all.size() : c.sig[k]; };
  std::size_t orderBy = c.size();
  for (std::size_t k = 0; k + 1 < end; ++k) {
    if (c.at(k).depth == 0 && c.Is(k, "ORDER") && c.Is(k + 1, "BY")) orderBy = k;
  }
  const std::size_t bodyEnd = std::min(orderBy, end);
  const std::size_t from = c.FindTop(0, "FROM");
  // The body with one more column ahead of FROM, the rowid of the first table, and that table's name.
  auto withRowid = [&](std::string& target) {
    std::size_t k = from + 1;
    target = ReadName(c, k);
    std::string rowidOwner;
    if (k < bodyEnd && (c.at(k).type == Tok::kWord || c.at(k).type == Tok::kQuoted) && !c.Is(k, "WHERE") &&
        !c.Is(k, "GROUP") && !c.Is(k, "ORDER")) {
      rowidOwner = MapTokens(c.all, c.sig[k], c.sig[k] + 1, user, false);
    } else {
      const std::size_t dot = target.rfind('.');
      rowidOwner = "\"" + SqliteName(dot == std::string::npos ? target : target.substr(dot + 1)) + "\"";
    }
    std::string text = MapTokens(c.all, c.sig[0], c.sig[from], user, false);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\t')) text.pop_back();
    return text + ", " + rowidOwner + ".rowid " + MapTokens(c.all, c.sig[from], at(bodyEnd), user, false);
  };
  // A plain select of rows of one table can also name each row, for the LOB locators it gives out; one that merges
  // or groups rows cannot.
  bool rowsOfOneTable = !plan.forUpdate && from < bodyEnd && c.Is(0, "SELECT") && !c.Is(1, "DISTINCT") &&
                        !c.Is(1, "UNIQUE");
  bool inFromList = false;
  for (std::size_t k = 0; k < end && rowsOfOneTable; ++k) {
    if (c.at(k).depth != 0) continue;
    if (k == from) inFromList = true;
    if (c.Is(k, "WHERE") || c.Is(k, "ORDER")) inFromList = false;
    if (inFromList && c.IsPunct(k, ",")) rowsOfOneTable = false;  // a join names more tables than the rowid tells
    for (const char* word : {"GROUP", "UNION", "INTERSECT", "MINUS", "EXCEPT", "HAVING", "CONNECT", "JOIN"}) {
      if (c.Is(k, word)) rowsOfOneTable = false;
    }
  }
  std::string body;
  std::string rowidBody;
  if (plan.forUpdate && c.IsPunct(from + 1, "(") && c.Is(from + 2, "SELECT")) {
    // FOR UPDATE of a sub-query's rows (a query the driver wraps): a server merges the view and locks the rows of
    // its one table, unless the view merges or groups them. The rows are selected as written; the rowids to lock
    // come from the same text with the table's rowid carried out of the sub-query.
    const int inside = c.at(from + 1).depth + 1;
    std::size_t close = from + 2;
    while (close < end && !(c.IsPunct(close, ")") && c.at(close).depth == inside)) ++close;
    const std::size_t innerFrom = c.FindTop(from + 2, "FROM");
    std::size_t innerEnd = close;  // its ORDER BY orders nothing a lock needs
    bool mergeable = close < end && innerFrom < close && !c.Is(from + 3, "DISTINCT") && !c.Is(from + 3, "UNIQUE");
    bool fromList = false;
    for (std::size_t k = from + 2; k < close; ++k) {
      if (c.at(k).depth != inside) continue;
      for (const char* word : {"GROUP", "UNION", "INTERSECT", "MINUS", "EXCEPT", "HAVING", "CONNECT", "JOIN"})
        if (c.Is(k, word)) mergeable = false;
      if (c.Is(k, "WHERE") || c.Is(k, "ORDER")) fromList = false;
      if (fromList && c.IsPunct(k, ",")) mergeable = false;  // a join
      if (k == innerFrom) fromList = true;
      if (c.Is(k, "ORDER") && c.Is(k + 1, "BY")) innerEnd = k;
    }
    if (!mergeable) {
      plan.error = 2014;
      return;
    }
    std::size_t k = innerFrom + 1;
    plan.lockTarget = ReadName(c, k);
    std::string rowidOwner;
    if (k < innerEnd && (c.at(k).type == Tok::kWord || c.at(k).type == Tok::kQuoted) && !c.Is(k, "WHERE")) {
      rowidOwner = MapTokens(c.all, c.sig[k], c.sig[k] + 1, user, false);
    } else {
      const std::size_t dot = plan.lockTarget.rfind('.');
      rowidOwner = "\"" + SqliteName(dot == std::string::npos ? plan.lockTarget : plan.lockTarget.substr(dot + 1)) +
                   "\"";
    }
    plan.lockSql = "SELECT QZ_LOCKED_ROW FROM (" + MapTokens(c.all, c.sig[from + 2], c.sig[innerFrom], user, false) +
                   ", " + rowidOwner + ".rowid AS QZ_LOCKED_ROW " +
                   MapTokens(c.all, c.sig[innerFrom], c.sig[innerEnd], user, false) + ") " +
                   MapTokens(c.all, c.sig[close] + 1, at(bodyEnd), user, false);
    body = MapTokens(c.all, c.sig[0], at(bodyEnd), user, false);
  } else if (plan.forUpdate && from < bodyEnd) {
    // The lock needs each row's rowid.
    body = withRowid(plan.lockTarget);
  } else {
    body = MapTokens(c.all, c.sig[0], at(bodyEnd), user, false);
    if (rowsOfOneTable) rowidBody = withRowid(plan.rowidTable);
  }
  if (orderBy < end) {
    std::size_t selectFrom = 1;
    if (c.Is(selectFrom, "DISTINCT") || c.Is(selectFrom, "ALL")) ++selectFrom;
    while (!body.empty() && body.back() == ' ') body.pop_back();
    const std::string order = MapOrderBy(c, orderBy + 2, end, selectFrom, std::min(from, orderBy), user);
    if (order.empty()) {
      plan.error = 936;
      return;
    }
    body += " ORDER BY " + order;
    if (!rowidBody.empty()) rowidBody += " ORDER BY " + order;
  }
  plan.sql = MapConcatenation(body);
  if (!rowidBody.empty()) plan.rowidSql = MapConcatenation(rowidBody);
  if (c.Is(0, "SELECT") && from < bodyEnd) {
    std::size_t list = 1;
    if (c.Is(list, "DISTINCT") || c.Is(list, "UNIQUE") || c.Is(list, "ALL")) ++list;
    for (const auto& [first, last] : ListItems(c, list, from)) {
      const std::string item = c.Text(first, last);
      if (item.find('*') != std::string::npos && (last - first == 1 || c.IsPunct(last - 1, "*"))) {
        plan.selectItems.clear();
        break;
      }
      plan.selectItems.push_back(item);
    }
    plan.fromClause = MapConcatenation(MapTokens(c.all, c.sig[from], at(bodyEnd), user, false));
  }
}

void PlanDml(const Cursor& c, const std::string& user, SqlPlan& plan) {
  std::size_t end = c.size();
  // RETURNING e1, e2 INTO :b1, :b2 at the top level.
  const std::size_t ret = c.FindTop(0, "RETURNING");
  if (ret < c.size()) {
    const std::size_t into = c.FindTop(ret, "INTO");
    std::size_t start = ret + 1;
    for (std::size_t k = ret + 1; k <= into && k < c.size() + 1; ++k) {
      if (k == into || (c.IsPunct(k, ",") && c.at(k).depth == c.at(ret).depth)) {
        plan.returning.push_back(c.Text(start, k));
        start = k + 1;
      }
    }
    std::uint32_t markersBefore = 0;
    for (std::size_t k = 0; k <= into && k < c.size(); ++k) markersBefore += c.at(k).type == Tok::kBind ? 1 : 0;
    for (std::size_t k = into + 1; k < c.size(); ++k) {
      if (c.at(k).type != Tok::kBind) continue;
      plan.returningInto.push_back(ToUpperAscii(c.at(k).text.substr(1)));
      plan.returningPositions.push_back(++markersBefore);
    }
    end = ret;
  }
  std::size_t k = 1;
  if (plan.statementType == 4) {  // INSERT INTO t
    if (c.Is(k, "INTO")) ++k;
    plan.dmlTable = ReadName(c, k);
  } else if (plan.statementType == 3) {  // DELETE [FROM] t
    if (c.Is(k, "FROM")) ++k;
    plan.dmlTable = ReadName(c, k);
  } else {
    plan.dmlTable = ReadName(c, k);
  }
  if (plan.statementType != 4) {
    const std::size_t where = c.FindTop(0, "WHERE");
    if (where < end && where + 1 >= end) {
      plan.error = 936;  // WHERE with nothing after it
      return;
    }
    if (where < end) plan.dmlWhere = MapTokens(c.all, c.sig[where + 1], end >= c.size() ? c.all.size() : c.sig[end], user, false);
  }
  plan.sql = MapTokens(c.all, c.sig[0], end >= c.size() ? c.all.size() : c.sig[end], user, false);
  // Oracle's "DELETE t" has no FROM; SQLite wants one.
  if (plan.statementType == 3 && !c.Is(1, "FROM")) plan.sql.replace(0, c.at(0).text.size(), "DELETE FROM");
  plan.sql = MapConcatenation(plan.sql);
  plan.dmlWhere = MapConcatenation(plan.dmlWhere);
}

// Puts each synonym that stands where a table does (after FROM or JOIN, in a FROM list, after INTO, UPDATE, DELETE
// or LOCK TABLE) in its table's place, keeping the synonym's name as the table's alias so that qualified columns still
// find it.
std::string ResolveSynonyms(const std::string& sql, const std::map<std::string, std::string>& synonyms) {
  const std::vector<Token> t = Tokenize(sql);
  const Cursor c(t);
  std::vector<int> fromLists;  // the depths of the FROM lists open around the token
  std::map<std::size_t, std::string> replaced;  // token index -> the table written in the synonym's place
  for (std::size_t k = 0; k < c.size(); ++k) {
    const Token& tok = c.at(k);
    while (!fromLists.empty() && tok.depth < fromLists.back()) fromLists.pop_back();
    const bool listLevel = !fromLists.empty() && tok.depth == fromLists.back();
    if (listLevel && tok.type == Tok::kWord) {
      for (const char* end : {"WHERE", "GROUP", "ORDER", "HAVING", "CONNECT", "START", "UNION", "INTERSECT", "MINUS",
                              "EXCEPT", "FOR", "SET", "VALUES"}) {
        if (tok.upper == end) fromLists.pop_back();
      }
    }
    if (tok.type == Tok::kWord && tok.upper == "FROM") fromLists.push_back(tok.depth);
    if ((tok.type != Tok::kWord && tok.type != Tok::kQuoted) || k == 0) continue;
    const Token& before = c.at(k - 1);
    const bool tablePlace =
        before.upper == "FROM" || before.upper == "JOIN" || before.upper == "INTO" || before.upper == "UPDATE" ||
        (before.upper == "TABLE" && c.Is(0, "LOCK")) || (before.upper == "DELETE" && !c.Is(k, "FROM")) ||
        (listLevel && c.IsPunct(k - 1, ","));
    const auto found = synonyms.find(Unquote(tok));
    if (!tablePlace || c.IsPunct(k + 1, ".") || c.IsPunct(k + 1, "@") || found == synonyms.end()) continue;
    const std::size_t dot = found->second.find('.');
    std::string table = found->second.substr(0, dot) + ".\"" + found->second.substr(dot + 1) + "\"";
    // The alias: none where one follows; SQLite wants AS before the alias of a written table.
    const bool aliased = k + 1 < c.size() && (c.at(k + 1).type == Tok::kQuoted ||
                                              (c.at(k + 1).type == Tok::kWord && !c.Is(k + 1, "WHERE") &&
                                               !c.Is(k + 1, "SET") && !c.Is(k + 1, "VALUES") &&
                                               !c.IsPunct(k + 1, ",") && !c.Is(k + 1, "GROUP") &&
                                               !c.Is(k + 1, "ORDER") && !c.Is(k + 1, "FOR") &&
                                               !c.Is(k + 1, "JOIN") && !c.Is(k + 1, "INNER") &&
                                               !c.Is(k + 1, "LEFT") && !c.Is(k + 1, "ON") &&
                                               !c.Is(k + 1, "UNION") && !c.Is(k + 1, "CONNECT") &&
                                               !c.Is(k + 1, "RETURNING") && !c.Is(k + 1, "IN")));
    if (!aliased && before.upper != "TABLE" && before.upper != "INTO") {
      const bool written = before.upper == "UPDATE" || before.upper == "DELETE" || (k >= 2 && c.Is(k - 2, "DELETE"));
      table += (written ? " AS " : " ") + (tok.type == Tok::kQuoted ? tok.text : "\"" + tok.upper + "\"");
    }
    replaced[c.sig[k]] = table;
  }
  std::string out;
  for (std::size_t i = 0; i < t.size(); ++i) {
    const auto found = replaced.find(i);
    out += found == replaced.end() ? t[i].text : found->second;
  }
  return out;
}

}  // namespace

ExpressionType TypeOfExpression(const std::string& item) {
  const std::vector<Token> t = Tokenize(item);
  const Cursor c(t);
  ExpressionType type;
  std::size_t end = c.size();
  if (end == 0) return type;
  // An alias ends the item: "expr AS name" or "expr name".
  if (end >= 2 && (c.at(end - 1).type == Tok::kWord || c.at(end - 1).type == Tok::kQuoted) &&
      c.at(end - 1).depth == c.at(0).depth) {
    const Token& before = c.at(end - 2);
    if (before.upper == "AS") {
      end -= 2;
    } else if ((before.type != Tok::kPunct || before.text == ")") && c.at(end - 1).upper != "END") {
      --end;
    }
  }
  std::size_t begin = 0;
  // Parentheses around the whole expression say nothing.
  while (end - begin >= 2 && c.IsPunct(begin, "(") && c.IsPunct(end - 1, ")") &&
         MatchingClose(t, c.sig[begin], t.size()) == c.sig[end - 1]) {
    ++begin;
    --end;
  }
  if (begin >= end) return type;
  const int depth = c.at(begin).depth;
  auto operandText = [&](std::size_t from, std::size_t to) { return c.Text(from, to); };
  bool arithmetic = false;
  for (std::size_t k = begin; k < end; ++k) {
    if (c.at(k).depth != depth || c.at(k).type != Tok::kPunct) continue;
    if (c.at(k).text == "||") {
      type.declared = "VARCHAR2(4000)";
      return type;
    }
    if (k > begin && (c.at(k).text == "+" || c.at(k).text == "-" || c.at(k).text == "*" || c.at(k).text == "/")) {
      arithmetic = true;
    }
  }
  if (arithmetic) {
    type.declared = "NUMBER";
    return type;
  }
  const Token& first = c.at(begin);
  if (end - begin == 1) {
    if (first.type == Tok::kString) type.declared = "VARCHAR2(" + std::to_string(std::max<std::size_t>(1, Unquote(first).size())) + ")";
    if (first.type == Tok::kNumber) type.declared = "NUMBER";
    if (first.upper == "SYSDATE") type.declared = "DATE";
    if (first.upper == "SYSTIMESTAMP") type.declared = "TIMESTAMP(9)";
    if (first.upper == "USER") type.declared = "VARCHAR2(30)";
    if (first.upper == "ROWID") type.declared = "ROWID";
    if (first.type == Tok::kNumber || first.type == Tok::kString || !type.declared.empty()) return type;
  }
  if (first.upper == "DATE" && end - begin == 2) type.declared = "DATE";
  if (first.upper == "TIMESTAMP" && end - begin == 2) type.declared = "TIMESTAMP(9)";
  if (first.upper == "INTERVAL") type.declared = c.Text(begin, end);
  if (!type.declared.empty()) return type;
  if (first.upper == "CASE") {
    const std::size_t then = c.FindTop(begin + 1, "THEN");
    std::size_t stop = then + 1;
    while (stop < end && !(c.at(stop).depth == c.at(then).depth &&
                           (c.Is(stop, "WHEN") || c.Is(stop, "ELSE") || c.Is(stop, "END")))) {
      ++stop;
    }
    if (then < end) type.operand = operandText(then + 1, stop);
    return type;
  }
  if (first.type == Tok::kWord && c.IsPunct(begin + 1, "(")) {
    std::vector<std::pair<std::size_t, std::size_t>> args = ListItems(c, begin + 2, end - 1);
    auto arg = [&](std::size_t n) { return n < args.size() ? operandText(args[n].first, args[n].second) : std::string(); };
    static const char* const kText[] = {"TO_CHAR", "CHR", "RAWTOHEX", "DUMP", "SYS_CONTEXT", "USERENV",
                                        "ROWIDTOCHAR", "TO_CLOB", "CONCAT"};
    static const char* const kTextOfFirst[] = {"SUBSTR", "UPPER", "LOWER", "INITCAP", "LTRIM", "RTRIM", "TRIM",
                                               "LPAD", "RPAD", "REPLACE", "TRANSLATE"};
    static const char* const kNumber[] = {"TO_NUMBER", "COUNT", "LENGTH", "INSTR", "ABS", "SIGN", "MOD", "FLOOR",
                                          "CEIL", "POWER", "SQRT", "SUM", "AVG", "ASCII", "MONTHS_BETWEEN", "EXP",
                                          "LN", "LOG", "BITAND", "REMAINDER", "STDDEV", "VARIANCE"};
    static const char* const kDate[] = {"TO_DATE", "ADD_MONTHS", "LAST_DAY", "NEXT_DAY", "NEW_TIME"};
    static const char* const kFirst[] = {"NVL", "COALESCE", "GREATEST", "LEAST", "MAX", "MIN", "NULLIF"};
    for (const char* f : kText) {
      if (first.upper == f) type.declared = "VARCHAR2(4000)";
    }
    for (const char* f : kNumber) {
      if (first.upper == f) type.declared = "NUMBER";
    }
    for (const char* f : kDate) {
      if (first.upper == f) type.declared = "DATE";
    }
    if (first.upper == "TO_TIMESTAMP") type.declared = "TIMESTAMP(9)";
    if (first.upper == "HEXTORAW") type.declared = "RAW(2000)";
    if (first.upper == "TO_NCHAR") type.declared = "NVARCHAR2(2000)";
    if (!type.declared.empty()) return type;
    for (const char* f : kTextOfFirst) {
      if (first.upper == f) {
        type.operand = arg(0);
        type.textOfOperand = true;
      }
    }
    for (const char* f : kFirst) {
      if (first.upper == f) type.operand = arg(0);
    }
    if (first.upper == "NVL2") type.operand = arg(1);
    if (first.upper == "DECODE") type.operand = arg(2);
    if (first.upper == "ROUND" || first.upper == "TRUNC") {
      type.operand = arg(0);
      type.dateOrNumber = true;
    }
    if (first.upper == "CAST" && args.size() == 1) {
      const std::size_t as = c.FindTop(args[0].first, "AS");
      if (as < args[0].second) type.declared = c.Text(as + 1, args[0].second);
    }
    return type;
  }
  // A column, as "T.C", "C" or "OWNER.T.C".
  bool column = true;
  for (std::size_t k = begin; k < end; ++k) {
    const bool name = c.at(k).type == Tok::kWord || c.at(k).type == Tok::kQuoted;
    if ((k - begin) % 2 == 0 ? !name : !c.IsPunct(k, ".")) column = false;
  }
  if (column && (end - begin) % 2 == 1) {
    type.operand = operandText(begin, end);
    type.column = true;
  }
  return type;
}

std::vector<DeclaredConstraint> DeclaredConstraints(const std::string& createTable) {
  const std::vector<Token> t = Tokenize(createTable);
  const Cursor c(t);
  std::vector<DeclaredConstraint> out;
  std::size_t open = 0;
  while (open < c.size() && !c.IsPunct(open, "(")) ++open;
  const int depth = open < c.size() ? c.at(open).depth + 1 : 0;
  // The names in the parentheses at k: "(A, B)".
  auto columnList = [&](std::size_t k) {
    std::vector<std::string> names;
    for (++k; k < c.size() && !(c.IsPunct(k, ")") && c.at(k).depth == depth + 1); ++k) {
      if (c.at(k).type == Tok::kWord || c.at(k).type == Tok::kQuoted) names.push_back(Unquote(c.at(k)));
    }
    return names;
  };
  std::size_t item = open + 1;
  while (item < c.size() && c.at(item).depth >= depth) {
    std::size_t end = item;
    while (end < c.size() && c.at(end).depth >= depth && !(c.IsPunct(end, ",") && c.at(end).depth == depth)) ++end;
    // A column's own constraints name the column; a table constraint names its columns in parentheses.
    const bool tableConstraint = c.Is(item, "CONSTRAINT") || c.Is(item, "PRIMARY") || c.Is(item, "UNIQUE") ||
                                 c.Is(item, "FOREIGN") || c.Is(item, "CHECK");
    std::string name;
    for (std::size_t k = tableConstraint ? item : item + 1; k < end; ++k) {
      if (c.at(k).depth != depth) continue;
      if (c.Is(k, "CONSTRAINT") && k + 1 < end) {
        name = Unquote(c.at(++k));
        continue;
      }
      char kind = 0;
      if (c.Is(k, "PRIMARY")) kind = 'P';
      if (c.Is(k, "UNIQUE")) kind = 'U';
      if (c.Is(k, "FOREIGN") || (c.Is(k, "REFERENCES") && !tableConstraint)) kind = 'R';
      if (c.Is(k, "CHECK") || c.Is(k, "NOT") || c.Is(k, "NULL") || c.Is(k, "DEFAULT")) name.clear();
      if (!kind) continue;
      std::vector<std::string> columns{Unquote(c.at(item))};
      if (tableConstraint) {
        std::size_t list = k + 1;
        while (list < end && !c.IsPunct(list, "(")) ++list;
        columns = columnList(list);
      }
      out.push_back({name, kind, columns});
      name.clear();
      if (tableConstraint) break;
    }
    item = end + 1;
  }
  return out;
}

std::string SqliteName(const std::string& oracleName) {
  std::string out;
  for (const char c : oracleName) {
    if (c >= 'a' && c <= 'z') {
      out += kLowerMark;
      out += static_cast<char>(c - 'a' + 'A');
    } else {
      out += c;
    }
  }
  return out;
}

std::string OracleName(const std::string& sqliteName) {
  std::string out;
  for (std::size_t i = 0; i < sqliteName.size(); ++i) {
    const char c = sqliteName[i];
    if (c == kLowerMark && i + 1 < sqliteName.size() && sqliteName[i + 1] >= 'A' && sqliteName[i + 1] <= 'Z') {
      out += static_cast<char>(sqliteName[++i] - 'A' + 'a');
    } else {
      out += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
  }
  return out;
}

std::string RestoreOracleNames(const std::string& text) {
  static const std::pair<const char*, const char*> kBack[] = {
      {"(qz_sysdate())", "SYSDATE"}, {"(qz_systimestamp())", "SYSTIMESTAMP"}, {"qz_rowid(rowid)", "ROWID"},
      {"qz_sysdate()", "SYSDATE"},   {"qz_systimestamp()", "SYSTIMESTAMP"},   {"qz_user()", "USER"}};
  std::string out = text;
  for (const auto& [from, to] : kBack) {
    for (std::size_t at = out.find(from); at != std::string::npos; at = out.find(from, at)) {
      out.replace(at, std::strlen(from), to);
    }
  }
  // qz_nextval('S') -> S.NEXTVAL
  for (const char* fn : {"qz_nextval('", "qz_currval('"}) {
    for (std::size_t at = out.find(fn); at != std::string::npos; at = out.find(fn, at)) {
      const std::size_t close = out.find("')", at);
      if (close == std::string::npos) break;
      const std::string name = out.substr(at + 12, close - at - 12);
      out.replace(at, close + 2 - at, name + (fn[3] == 'n' ? ".NEXTVAL" : ".CURRVAL"));
    }
  }
  return out;
}

std::string RewriteExpression(const std::string& expression, const std::string& user) {
  const std::vector<Token> t = Tokenize(expression);
  return MapConcatenation(MapTokens(t, 0, t.size(), user, false));
}

SqlPlan RewriteSql(const std::string& oracleSql, const std::string& user,
                   const std::map<std::string, std::string>& synonyms) {
  SqlPlan plan;
  std::string text = oracleSql;
  // A trailing semicolon or slash ends a statement in a script, not in a call.
  while (!text.empty() && (text.back() == ';' || text.back() == ' ' || text.back() == '\n' || text.back() == '\r' ||
                           text.back() == '\t')) {
    text.pop_back();
  }
  if (text.find('+') != std::string::npos) {
    plan.error = MapOuterJoins(text);
    if (plan.error) return plan;
  }
  if (!synonyms.empty()) text = ResolveSynonyms(text, synonyms);
  const std::vector<Token> tokens = Tokenize(text);
  const Cursor c(tokens);
  if (c.size() == 0) {
    plan.action = SqlAction::kEmpty;
    return plan;
  }
  if (c.IsPunct(0, "(")) {
    plan.firstWord = "SELECT";
  } else {
    plan.firstWord = c.at(0).upper;
  }
  plan.statementType = StatementTypeOf(plan.firstWord);
  const std::string& w = plan.firstWord;
  if (w == "SELECT" || w == "WITH" || c.IsPunct(0, "(")) {
    PlanSelect(c, user, plan);
    return plan;
  }
  if (w == "INSERT" || w == "UPDATE" || w == "DELETE") {
    PlanDml(c, user, plan);
    return plan;
  }
  if (w == "BEGIN" || w == "DECLARE") {
    plan.action = SqlAction::kPlsql;
    // The one block the stand-in runs: BEGIN OPEN :cursor FOR query; END
    if (w == "BEGIN" && c.Is(1, "OPEN") && c.size() > 4 && c.at(2).type == Tok::kBind && c.Is(3, "FOR") &&
        c.Is(c.size() - 1, "END")) {
      std::size_t last = c.size() - 1;
      while (last > 4 && c.IsPunct(last - 1, ";")) --last;
      plan.action = SqlAction::kOpenCursor;
      plan.objectName = ToUpperAscii(c.at(2).text.substr(1));
      plan.text = c.Text(4, last);
    }
    return plan;
  }
  if (w == "COMMIT") {
    plan.action = SqlAction::kCommit;
    return plan;
  }
  if (w == "ROLLBACK") {
    plan.action = SqlAction::kRollback;
    return plan;
  }
  if (w == "GRANT" || w == "REVOKE" || w == "ANALYZE" || w == "SET") {
    plan.action = SqlAction::kIgnored;
    return plan;
  }
  if (w == "LOCK") {
    // LOCK TABLE t1, t2 IN mode MODE [NOWAIT | WAIT n]
    plan.action = SqlAction::kLockTable;
    std::size_t k = 1;
    if (!c.Is(k, "TABLE")) {
      plan.error = 900;
      return plan;
    }
    ++k;
    while (k < c.size()) {
      // Owner and table apart, each unquoted: a quoted name may hold a period.
      std::pair<std::string, std::string> name{std::string(), Unquote(c.at(k++))};
      if (c.IsPunct(k, ".") && k + 1 < c.size()) {
        name = {ToUpperAscii(name.second), Unquote(c.at(k + 1))};
        k += 2;
      }
      plan.lockTables.push_back(name);
      if (!c.IsPunct(k, ",")) break;
      ++k;
    }
    if (!c.Is(k, "IN")) {
      plan.error = 969;
      return plan;
    }
    ++k;
    std::string mode;
    while (k < c.size() && !c.Is(k, "MODE")) {
      mode += (mode.empty() ? "" : " ") + c.at(k).upper;
      ++k;
    }
    if (!c.Is(k, "MODE")) {
      plan.error = 969;
      return plan;
    }
    plan.lockMode = mode;
    plan.noWait = c.Is(k + 1, "NOWAIT");
    return plan;
  }
  if (w == "ALTER" && c.Is(1, "SESSION")) {
    plan.action = SqlAction::kAlterSession;
    std::size_t k = 2;
    if (c.Is(k, "SET")) ++k;
    while (k < c.size()) {
      const std::string name = c.at(k).upper;
      ++k;
      if (!c.IsPunct(k, "=")) {
        plan.error = 922;
        return plan;
      }
      ++k;
      if (k >= c.size()) {
        plan.error = 922;
        return plan;
      }
      plan.settings.emplace_back(name, Unquote(c.at(k)));
      ++k;
    }
    return plan;
  }
  if (w == "TRUNCATE" && c.Is(1, "TABLE")) {
    if (c.size() < 3) {
      plan.error = 903;
      return plan;
    }
    plan.statementType = 0;
    plan.sql = "DELETE FROM " + MapTokens(tokens, c.sig[2], tokens.size(), user, false);
    return plan;
  }
  if (w == "COMMENT" && c.Is(1, "ON")) {
    plan.action = SqlAction::kComment;
    std::size_t k = 3;
    plan.commentOnColumn = c.Is(2, "COLUMN");
    std::string name = ReadName(c, k);
    if (plan.commentOnColumn) {
      const std::size_t dot = name.rfind('.');
      plan.targetName = dot == std::string::npos ? std::string() : name.substr(dot + 1);
      name = dot == std::string::npos ? name : name.substr(0, dot);
    }
    plan.objectName = name;
    if (!c.Is(k, "IS") || k + 1 >= c.size()) {
      plan.error = 905;
      return plan;
    }
    plan.text = Unquote(c.at(k + 1));
    return plan;
  }
  std::size_t k = 1;
  if (w == "CREATE" && c.Is(k, "OR") && c.Is(k + 1, "REPLACE")) k += 2;
  if ((w == "CREATE" || w == "DROP") && c.Is(k, "PUBLIC")) {
    plan.publicSynonym = true;
    ++k;
  }
  if ((w == "CREATE" || w == "DROP") && c.Is(k, "SEQUENCE")) {
    plan.action = w == "CREATE" ? SqlAction::kCreateSequence : SqlAction::kDropSequence;
    ++k;
    plan.objectName = ReadName(c, k);
    bool minGiven = false;
    while (k < c.size()) {
      if (c.Is(k, "START") && c.Is(k + 1, "WITH")) {
        k += 2;
        plan.seqStart = ReadSigned(c, k);
      } else if (c.Is(k, "INCREMENT") && c.Is(k + 1, "BY")) {
        k += 2;
        plan.seqIncrement = ReadSigned(c, k);
      } else if (c.Is(k, "MINVALUE")) {
        ++k;
        plan.seqMin = ReadSigned(c, k);
        minGiven = true;
      } else if (c.Is(k, "MAXVALUE")) {
        ++k;
        plan.seqMax = ReadSigned(c, k);
      } else if (c.Is(k, "CACHE")) {
        k += 2;
      } else if (c.Is(k, "CYCLE")) {
        plan.seqCycle = true;
        ++k;
      } else {
        ++k;  // NOCACHE, NOCYCLE, ORDER, NOORDER, NOMAXVALUE, NOMINVALUE
      }
    }
    if (minGiven && plan.seqStart < plan.seqMin) plan.seqStart = plan.seqMin;
    return plan;
  }
  if ((w == "CREATE" || w == "DROP") && c.Is(k, "SYNONYM")) {
    plan.action = w == "CREATE" ? SqlAction::kCreateSynonym : SqlAction::kDropSynonym;
    ++k;
    plan.objectName = ReadName(c, k);
    if (w == "CREATE") {
      if (!c.Is(k, "FOR")) {
        plan.error = 905;
        return plan;
      }
      ++k;
      plan.targetName = ReadName(c, k);
    }
    return plan;
  }
  if ((w == "CREATE" || w == "DROP") && c.Is(1, "USER")) {
    plan.action = w == "CREATE" ? SqlAction::kCreateUser : SqlAction::kDropUser;
    k = 2;
    plan.objectName = ReadName(c, k);
    if (w == "CREATE") {
      if (!c.Is(k, "IDENTIFIED") || !c.Is(k + 1, "BY") || k + 2 >= c.size()) {
        plan.error = 922;
        return plan;
      }
      // Passwords keep their case, quoted or not.
      const Token& password = c.at(k + 2);
      plan.targetName = password.type == Tok::kWord ? password.text : Unquote(password);
    }
    return plan;
  }
  if (w == "DROP" && c.Is(1, "TABLE")) {
    // CASCADE CONSTRAINT(S) and PURGE have no SQLite form; the table goes with its constraints anyway.
    std::size_t end = c.size();
    for (std::size_t j = 2; j < c.size(); ++j) {
      if (c.Is(j, "CASCADE") || c.Is(j, "PURGE")) {
        end = j;
        break;
      }
    }
    plan.sql = MapTokens(tokens, c.sig[0], end >= c.size() ? tokens.size() : c.sig[end], user, true);
    std::size_t name = 2;
    plan.objectName = ReadName(c, name);
    return plan;
  }
  if (w != "CREATE" && w != "ALTER" && w != "DROP" && w != "RENAME") {
    plan.error = 900;  // no statement Oracle knows begins so
    return plan;
  }
  const bool ddl = w == "CREATE" || w == "ALTER";
  if (ddl) {
    plan.error = CheckDeclaredLengths(text);
    if (plan.error) return plan;
  }
  std::string mapped = MapTokens(tokens, c.sig[0], tokens.size(), user, ddl);
  if (ddl) mapped = MapDdlTypes(mapped);
  // ALTER TABLE t ADD (c1 type, c2 type): SQLite adds one column per statement and wants no parentheses.
  if (w == "ALTER" && c.Is(1, "TABLE")) {
    std::size_t j = 2;
    ReadName(c, j);
    if (c.Is(j, "ADD") && c.IsPunct(j + 1, "(")) {
      const std::string prefix = "ALTER TABLE " + MapTokens(tokens, c.sig[2], c.sig[j], user, true) + " ADD COLUMN ";
      std::string statements;
      std::size_t start = j + 2;
      const int depth = c.at(j + 1).depth + 1;
      for (std::size_t m = j + 2; m < c.size(); ++m) {
        const bool closing = c.IsPunct(m, ")") && c.at(m).depth == depth;
        if ((c.IsPunct(m, ",") && c.at(m).depth == depth) || closing) {
          statements += prefix + MapDdlTypes(MapTokens(tokens, c.sig[start], c.sig[m], user, true)) + ";";
          start = m + 1;
          if (closing) break;
        }
      }
      mapped = statements;
    }
  }
  plan.sql = mapped;
  return plan;
}

}  // namespace qzoci
