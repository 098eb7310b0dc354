#include "sql/rewriter/sql_rewriter.h"

#include <cstring>
#include <new>
#include <string>

#include "engine/record/column.h"
#include "engine/record/query_description.h"
#include "engine/record/table_description.h"
#include "engine/values/field_value.h"
#include "foundation/code_pages.h"
#include "foundation/error_holder.h"
#include "foundation/host_locale.h"
#include "foundation/module_errors.h"
#include "foundation/x_error.h"
#include "host/host_objects.h"
#include "host/host_value.h"
#include "sql/connection.h"
#include "sql/driver_services.h"
#include "sql/rewriter/value_leaf.h"
#include "sql/rewriter/rewriter_clones.h"
#include "sql/rewriter/sql_date_escape_rewriter.h"
#include "sql/rewriter/sql_element.h"
#include "engine/table/table.h"
#include "foundation/clone_map.h"
#include "foundation/numbers.h"
#include "engine/record/column_descriptor.h"

namespace {

inline constexpr std::uint64_t FINAL_TEXT_STEP = 256;

// The mode a final text is built in: the session's page, UTF-16 until the session chose one.
std::uint32_t nFinalTextMode(CConnection* connection) {
  if (!connection) return CODE_PAGE_UTF16;
  const std::uint32_t page = connection->nGetSessionCodePage();
  return page == SESSION_CODE_PAGE_UNSET ? CODE_PAGE_UTF16 : page;
}

std::uint32_t nConversionPage(CConnection* connection) { return connection ? connection->nGetAnsiCodePage() : 0; }

}  // namespace

// ---- life ----

CSqlRewriter::CSqlRewriter(CErrorHolder* holder, CConnection* connection)
    : m_pHolder(holder),
      m_pConnection(connection),
      m_lists(holder, connection),
      m_final(nFinalTextMode(connection), nConversionPage(connection), FINAL_TEXT_STEP) {
  if (m_pHolder) m_pHolder->AddRef();
  if (m_pConnection) {
    m_pConnection->AddRef();
    if (m_pConnection->nGetDbmsKind() == 5) m_nDialectFlags |= 1;
  }
}

CSqlRewriter::CSqlRewriter()
    : m_lists(nullptr, nullptr), m_final(CODE_PAGE_UTF16, 0, FINAL_TEXT_STEP) {}

CSqlRewriter::~CSqlRewriter() {
  m_lists.Reset();
  SetColumnSet(nullptr);
  if (m_pQuery) m_pQuery->nRelease();
  if (m_pHolder) m_pHolder->nRelease();
  if (m_pConnection) m_pConnection->nRelease();
}

void CSqlRewriter::SetColumnSet(CTableDescription* columns) {
  if (columns) columns->AddRef();
  if (m_pColumnSet) m_pColumnSet->nRelease();
  m_pColumnSet = columns;
}

CSqlRewriter* CSqlRewriter::pNewSubRewriter() {
  CSqlRewriter* sub = pCreateSqlRewriterThroughDriver(m_pHolder, m_pConnection);
  if (!sub) {
    bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
    return nullptr;
  }
  sub->AddRef();
  return sub;
}

int CSqlRewriter::bRaiseOutOfMemory(std::uint32_t point) {
  RaiseModuleError(m_pHolder, 0, ERROR_UNIT_REWRITER, point, m_pConnection, nullptr, REWRITER_ERROR_OUT_OF_MEMORY);
  return 0;
}

// ---- simple operations ----

int CSqlRewriter::bAllowsStarExpansion() { return 1; }
int CSqlRewriter::bIsEmpty() { return m_strStatement.bIsEmpty(); }
std::uint32_t CSqlRewriter::nGetParameterCount() { return m_lists.nGetParameterCount(); }

int CSqlRewriter::Reset(int keepParameters) {
  m_lists.Reset(keepParameters == 1);
  m_nClauseState = 0;
  m_strStatement.Empty();
  m_final.Truncate(0);
  m_nRowLimit = -1;
  m_nRowOffset = -1;
  return -1;
}

int CSqlRewriter::bAddParameter(CFieldValue* value, std::uint32_t kind, std::uint32_t flags, CColumn* item,
                                const char16_t* name, char16_t escape, std::uint32_t origin) {
  return m_lists.bAddParameter(m_strStatement.nGetLength(), value, kind, flags, item, name, escape, origin);
}

int CSqlRewriter::bAddValueParameter(CFieldValue* value) {
  return bAddParameter(value, LEAF_KIND_NONE, 0, nullptr, nullptr, 0, LEAF_ORIGIN_HANDED_IN);
}

int CSqlRewriter::nAddTextParameter(CHostValue& value, std::uint32_t kind, std::uint32_t flags, CColumn* item,
                                    char16_t escape) {
  return m_lists.nAddTextParameter(m_strStatement.nGetLength(), value, kind, flags, item, escape);
}

int CSqlRewriter::bLoadParameterValues() {
  if (!m_pQuery) return 1;
  IHostQueryAnalysis* host = m_pQuery->pGetHostDescription();
  if (!host) return 1;
  IHostDeclaredParameters* declared = host->piGetDeclaredParameters();
  const int result = m_lists.bLoadParameterValues(declared);
  if (declared) declared->Release();
  host->Release();
  return result;
}

void CSqlRewriter::WriteDialectEscape(CValueLeaf*, std::uint32_t) {}
int CSqlRewriter::bAppendTextRange(CQueryDescription*, const char16_t*, IHostExpressionNode*, std::uint64_t*) {
  return 1;
}
int CSqlRewriter::bIsLobCompare(IHostExpressionNode*, IHostExpressionNode*) { return 0; }
void CSqlRewriter::WriteDateTimeLiteral(CTString&, IHostExpressionNode*, IHostExpressionNode*, std::uint64_t*, int) {}

const char16_t* CSqlRewriter::pszCopyBounded(char16_t* buffer, std::size_t size, const char16_t* text) {
  if (!buffer || size == 0) return u"";
  std::size_t i = 0;
  for (; text[i] && i + 1 < size; ++i) buffer[i] = text[i];
  buffer[i] = 0;
  return buffer;
}

const char16_t* CSqlRewriter::pszGetParameterPrefix(char16_t* buffer, std::size_t size) {
  return pszCopyBounded(buffer, size, u"{");
}
const char16_t* CSqlRewriter::pszGetParameterSuffix(char16_t* buffer, std::size_t size) {
  return pszCopyBounded(buffer, size, u"}");
}

int CSqlRewriter::bIsCursorParameter(const char16_t* name, CTString& out) {
  out = name;
  return 0;
}

// ---- the statement text ----

int CSqlRewriter::nAppendText(const char16_t* text, std::int64_t n) {
  if (!text) return 1;
  const std::size_t length = n < 0 ? std::char_traits<char16_t>::length(text) : static_cast<std::size_t>(n);
  if (length == 0) return 1;
  const std::size_t expected = m_strStatement.nGetLength() + length;
  // The text may lie inside the statement text itself: append a copy.
  if (text >= m_strStatement.pszGet() && text < m_strStatement.pszGet() + m_strStatement.nGetLength()) {
    const CTString copy(text, length);
    if (copy.nGetLength() != length) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
    m_strStatement.AppendN(copy.pszGet(), static_cast<std::int64_t>(length));
  } else {
    m_strStatement.AppendN(text, static_cast<std::int64_t>(length));
  }
  if (m_strStatement.nGetLength() != expected) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  if (m_bPassThrough) {
    std::uint64_t finalLength = 0;
    m_final.pszGetWide(&finalLength);
    if (finalLength > 0 && !bAppendFinal(m_strStatement.pszGet() + expected - length, length)) return 0;
  }
  return 1;
}

int CSqlRewriter::nAppendTextMarked(const char16_t* text) {
  if (!nAppendText(text)) return 0;
  m_nOutputState = SQL_OUTPUT_MARKED;
  return 1;
}

std::uint64_t CSqlRewriter::nWithinSource(const char16_t* source, std::uint64_t at) const {
  if (!source) return 0;
  const std::uint64_t length = source == m_pszSource ? m_nSourceLength : std::char_traits<char16_t>::length(source);
  return at < length ? at : length;
}

void CSqlRewriter::SkipSource(const char16_t* source, std::uint64_t* position, std::uint64_t to) const {
  to = nWithinSource(source, to);
  if (to > *position) *position = to;
}

int CSqlRewriter::bCopySource(const char16_t* source, std::uint64_t* position, std::uint64_t end) {
  // Spans come from the runtime: a position or an end past the text stops at its terminator instead of reading
  // beyond it.
  *position = nWithinSource(source, *position);
  end = nWithinSource(source, end);
  if (end <= *position) return 1;
  if (!nAppendText(source + *position, static_cast<std::int64_t>(end - *position))) return 0;
  *position = end;
  return 1;
}

int CSqlRewriter::nInsertText(std::uint64_t position, const char16_t* text) {
  if (!text || !*text) return 1;
  const std::size_t old = m_strStatement.nGetLength();
  if (position > old) position = old;
  const std::size_t length = std::char_traits<char16_t>::length(text);
  CTString rebuilt(m_strStatement.pszGet(), static_cast<std::size_t>(position));
  rebuilt.AppendN(text, static_cast<std::int64_t>(length));
  rebuilt.Append(m_strStatement.pszGet() + position);
  if (rebuilt.nGetLength() != old + length) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  m_strStatement = static_cast<CTString&&>(rebuilt);
  for (std::uint32_t i = 0; i < m_lists.nGetParameterCount(); ++i) {
    CValueLeaf* leaf = m_lists.pGetParameter(i);
    if (leaf->nGetPosition() >= position) leaf->SetPosition(leaf->nGetPosition() + length);
  }
  return 1;
}

int CSqlRewriter::bReplaceText(std::uint64_t position, std::uint64_t count, const char16_t* text) {
  const std::size_t old = m_strStatement.nGetLength();
  if (position > old) position = old;
  if (count > old - position) count = old - position;
  const std::size_t length = text ? std::char_traits<char16_t>::length(text) : 0;
  CTString rebuilt(m_strStatement.pszGet(), static_cast<std::size_t>(position));
  rebuilt.AppendN(text, static_cast<std::int64_t>(length));
  rebuilt.Append(m_strStatement.pszGet() + position + count);
  if (rebuilt.nGetLength() != old - count + length) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  m_strStatement = static_cast<CTString&&>(rebuilt);
  // A parameter placed where the replaced text starts stays before the new text; those after it move.
  for (std::uint32_t i = 0; i < m_lists.nGetParameterCount(); ++i) {
    CValueLeaf* leaf = m_lists.pGetParameter(i);
    if (leaf->nGetPosition() >= position + count && leaf->nGetPosition() > position) {
      leaf->SetPosition(leaf->nGetPosition() - count + length);
    }
  }
  return 1;
}

void CSqlRewriter::TruncateText(std::uint64_t position) {
  if (position < m_strStatement.nGetLength()) m_strStatement.Truncate(static_cast<std::int64_t>(position));
  m_lists.TruncateParameters(position);
}

int CSqlRewriter::bAppendRecordLockHint() {
  const char16_t* option = m_pConnection ? m_pConnection->pszGetRecordLockOption() : nullptr;
  if (!option || !*option) return 1;
  return nAppendText(u" ") && nAppendText(option);
}

int CSqlRewriter::bAppendReturning(const char16_t* text) { return nAppendText(u" RETURNING ") && nAppendText(text); }

CValueLeaf* CSqlRewriter::pFindNamedParameter(const char16_t* name) const {
  // Compared in place: a copy of the name that could not be made would find no parameter.
  for (std::uint32_t i = 0; i < m_lists.nGetParameterCount(); ++i) {
    CValueLeaf* leaf = m_lists.pGetParameter(i);
    const char16_t* other = leaf->pszGetName();
    if (!leaf->bIsNamed() || !name || !*name || !other || !*other) continue;
    if (nHostCompareNoCase(name, other) == 0) return leaf;
  }
  return nullptr;
}

void CSqlRewriter::SetStatementKind(std::uint32_t queryKind) {
  switch (queryKind) {
    case 1:
    case 2:
      m_nStatementKind = SQL_STATEMENT_SELECT;
      break;
    case 3:
      m_nStatementKind = SQL_STATEMENT_UPDATE;
      break;
    case 4:
      m_nStatementKind = SQL_STATEMENT_INSERT;
      break;
    case 5:
      m_nStatementKind = SQL_STATEMENT_DELETE;
      break;
    case 6:
      m_nStatementKind = SQL_STATEMENT_CREATE;
      break;
    case 7:
      m_nStatementKind = SQL_STATEMENT_DROP;
      break;
    default:
      m_nStatementKind = SQL_STATEMENT_OTHER;
      break;
  }
}


// ---- keyword helpers ----

bool bIsSqlSeparator(char16_t c) {
  return c == u'\t' || c == u'\n' || c == u'\r' || c == u' ' || c == u'(' || c == u')' || c == u',';
}

namespace {

char16_t UpperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// Whether text[at..] starts with the word, case ignored; the text may end before the word does.
bool bMatchesNoCase(const char16_t* text, std::size_t at, std::size_t length, const char16_t* word) {
  for (std::size_t i = 0; word[i]; ++i) {
    if (at + i >= length || UpperAscii(text[at + i]) != UpperAscii(word[i])) return false;
  }
  return true;
}

bool bMatchesExactly(const char16_t* text, std::size_t at, std::size_t length, const char16_t* word) {
  for (std::size_t i = 0; word[i]; ++i) {
    if (at + i >= length || text[at + i] != word[i]) return false;
  }
  return true;
}

std::size_t nLength(const char16_t* text) { return text ? std::char_traits<char16_t>::length(text) : 0; }

// The end of a '...' literal opened at `at` (the index after its closing quote, the text's end when unclosed): a
// doubled quote does not close it, nor in a dialect with backslash escapes a quote after a backslash. In Oracle text
// a backslash is a character like another: 'C:\' is closed.
std::size_t nSkipLiteral(const char16_t* text, std::size_t at, std::size_t length, bool backslashes) {
  std::size_t i = at + 1;
  while (i < length) {
    if (backslashes && text[i] == u'\\' && i + 1 < length) {
      i += 2;
    } else if (text[i] == u'\'') {
      if (i + 1 < length && text[i + 1] == u'\'') {
        i += 2;
      } else {
        return i + 1;
      }
    } else {
      ++i;
    }
  }
  return length;
}

// Every dialect the rewriter writes for but Oracle reads a backslash in a literal as escaping the next character.
bool bBackslashEscapes(const CConnection* connection) {
  return connection && connection->nGetDbmsKind() != DBMS_KIND_ORACLE;
}

// What a scan of SQL text steps over as a whole: literals, and as asked comments and quoted names.
struct SSqlTextSkipper {
  const char16_t* text;
  std::size_t length;
  bool comments;
  const char16_t* openQuote;  // null or empty: names are not skipped
  const char16_t* closeQuote;
  bool backslashes = false;  // the dialect escapes a quote with a backslash

  // The index after the literal, comment or quoted name that starts at `at`; `at` when none starts there.
  std::size_t nSkip(std::size_t at) const {
    const char16_t c = text[at];
    if (c == u'\'') return nSkipLiteral(text, at, length, backslashes);
    if (comments && c == u'-' && at + 1 < length && text[at + 1] == u'-') {
      // A line comment ends at either line end: texts written on any system reach the driver.
      std::size_t i = at + 2;
      while (i < length && text[i] != u'\r' && text[i] != u'\n') ++i;
      return i;
    }
    if (comments && c == u'/' && at + 1 < length && text[at + 1] == u'*') {
      for (std::size_t i = at + 2; i + 1 < length; ++i) {
        if (text[i] == u'*' && text[i + 1] == u'/') return i + 2;
      }
      return length;
    }
    if (openQuote && *openQuote && bMatchesExactly(text, at, length, openQuote)) {
      const char16_t* close = closeQuote && *closeQuote ? closeQuote : openQuote;
      for (std::size_t i = at + nLength(openQuote); i < length; ++i) {
        if (bMatchesExactly(text, i, length, close)) return i + nLength(close);
      }
      return length;
    }
    return at;
  }
};

bool bIsWordAt(const char16_t* text, std::size_t at, std::size_t length, std::size_t wordLength) {
  const bool before = at == 0 || bIsSqlSeparator(text[at - 1]);
  const bool after = at + wordLength >= length || bIsSqlSeparator(text[at + wordLength]);
  return before && after;
}

bool bIsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// The statement's own text walked unit by unit from `from`: literals, quoted names and comments are stepped over
// whole (told to `skipped` with their start and end), every other unit is told to `unit` with whether it stands
// outside every parenthesis (a parenthesis itself never does). `unit` answering true ends the walk at that index;
// else the answer is the text's length.
template <class Skipped, class Unit>
std::size_t nWalkStatement(const SSqlTextSkipper& skipper, std::size_t from, Skipped skipped, Unit unit) {
  std::int64_t depth = 0;
  std::size_t i = from;
  while (i < skipper.length) {
    const std::size_t next = skipper.nSkip(i);
    if (next != i) {
      skipped(i, next);
      i = next;
      continue;
    }
    const char16_t c = skipper.text[i];
    if (c == u'(') {
      ++depth;
    } else if (c == u')' && depth > 0) {
      --depth;
    }
    if (unit(i, depth == 0 && c != u'(' && c != u')')) return i;
    ++i;
  }
  return skipper.length;
}


bool bIsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// A decimal number at *at (moved past it); -1 when no digit stands there. A number past 64 bits reads as the
// largest one: the fix-ups write the program's own digits, never a number cut short.
std::int64_t nReadDecimal(const char16_t* text, std::size_t length, std::size_t* at) {
  if (*at >= length || !bIsDigit(text[*at])) return -1;
  std::int64_t value = 0;
  while (*at < length && bIsDigit(text[*at])) {
    const int digit = text[*at] - u'0';
    value = value > (INT64_MAX - digit) / 10 ? INT64_MAX : value * 10 + digit;
    ++*at;
  }
  return value;
}

// The statement's own text as the row-limit fix-ups read it: literals, quoted names, comments and whatever stands
// between parentheses (a subquery, a function's arguments) belong to something else, as for the ORDER BY cut.
struct SStatementShape {
  std::int64_t nLastLimit = -1;     // where the statement's last own "LIMIT" starts
  std::size_t nCodeEnd = 0;         // one past its last character that is neither blank nor in a comment
  bool bTrailingComment = false;    // a comment follows that character
};

SStatementShape ReadStatementShape(const char16_t* text, std::size_t length, CConnection* connection) {
  const SSqlTextSkipper skipper{text, length, true, connection ? connection->pszGetOpeningQuote() : nullptr,
                                connection ? connection->pszGetClosingQuote() : nullptr,
                                bBackslashEscapes(connection)};
  SStatementShape shape;
  nWalkStatement(
      skipper, 0,
      [&](std::size_t start, std::size_t end) {
        const bool comment = text[start] == u'-' || text[start] == u'/';
        shape.bTrailingComment = comment;
        if (!comment) shape.nCodeEnd = end;
      },
      [&](std::size_t i, bool topLevel) {
        if (!bIsBlank(text[i])) {
          shape.nCodeEnd = i + 1;
          shape.bTrailingComment = false;
        }
        if (topLevel && bMatchesNoCase(text, i, length, u"LIMIT") && bIsWordAt(text, i, length, 5)) {
          shape.nLastLimit = static_cast<std::int64_t>(i);
        }
        return false;
      });
  return shape;
}

// "SET", a name ending at a blank or "=", one more word, then only blanks and ";": a session setting the program
// sends as it is.
bool bIsSetStatement(const char16_t* text) {
  if (!text) return false;
  const std::size_t length = nLength(text);
  std::size_t i = 0;
  while (i < length && bIsBlank(text[i])) ++i;
  if (!bMatchesNoCase(text, i, length, u"SET")) return false;
  i += 3;
  if (i >= length || !bIsBlank(text[i])) return false;
  while (i < length && bIsBlank(text[i])) ++i;
  const std::size_t name = i;
  while (i < length && !bIsBlank(text[i]) && text[i] != u'=') ++i;
  if (i == name) return false;
  while (i < length && bIsBlank(text[i])) ++i;
  const std::size_t word = i;
  while (i < length && !bIsBlank(text[i])) ++i;
  if (i == word) return false;
  for (; i < length; ++i) {
    if (!bIsBlank(text[i]) && text[i] != u';') return false;
  }
  return true;
}

}  // namespace

std::int64_t nFindLeadingKeyword(const char16_t* text, const char16_t* keyword) {
  if (!text || !keyword) return -1;
  const std::size_t length = nLength(text);
  std::size_t i = 0;
  while (i < length && bIsSqlSeparator(text[i])) ++i;
  return bMatchesNoCase(text, i, length, keyword) ? static_cast<std::int64_t>(i) : -1;
}

bool bStartsWithKeyword(const char16_t* text, const char16_t* keyword) {
  return nFindLeadingKeyword(text, keyword) >= 0;
}

std::int64_t nFindKeywordBackward(const char16_t* text, std::int64_t length, const char16_t* keyword,
                                  std::int64_t from, const char16_t* openQuote, const char16_t* closeQuote,
                                  bool backslashes) {
  if (!text || !keyword || !*keyword) return -1;
  const std::size_t size = length < 0 ? nLength(text) : static_cast<std::size_t>(length);
  const std::size_t wordLength = nLength(keyword);
  // The last match starting at or before `from`. Literals and quoted names are read from the start, where they open,
  // so that a quote inside one is never taken for an opening one as a scan from the end would.
  const std::size_t limit = from < 0 || static_cast<std::size_t>(from) >= size ? size : static_cast<std::size_t>(from);
  const SSqlTextSkipper skipper{text, size, false, openQuote, closeQuote, backslashes};
  std::int64_t found = -1;
  std::size_t i = 0;
  while (i < size && i <= limit) {
    const std::size_t next = skipper.nSkip(i);
    if (next != i) {
      i = next;
      continue;
    }
    if (bMatchesNoCase(text, i, size, keyword) && bIsWordAt(text, i, size, wordLength)) {
      found = static_cast<std::int64_t>(i);
    }
    ++i;
  }
  return found;
}

std::size_t nReadIdentifier(const char16_t* text, std::size_t position, CTString& out) {
  out.Empty();
  if (!text) return position;
  const std::size_t length = nLength(text);
  std::size_t i = position;
  while (i < length && bIsSqlSeparator(text[i])) ++i;
  if (i < length && (text[i] == u'"' || text[i] == u'[')) {
    const char16_t close = text[i] == u'"' ? u'"' : u']';
    const std::size_t start = ++i;
    while (i < length && text[i] != close) ++i;
    out.AssignN(text + start, i - start);
    return i < length ? i + 1 : i;
  }
  const std::size_t start = i;
  while (i < length && !bIsSqlSeparator(text[i])) ++i;
  out.AssignN(text + start, i - start);
  return i;
}

// ---- translation ----

void CSqlRewriter::SetQueryDescription(CQueryDescription* query) {
  if (query) query->AddRef();
  if (m_pQuery) m_pQuery->nRelease();
  m_pQuery = query;
  if (m_bPassThrough && query && bIsSetStatement(query->nGetHostQueryKind())) {
    m_nStatementKind = SQL_STATEMENT_SET;
    return;
  }
  if (m_nStatementKind != SQL_STATEMENT_NONE || !query) return;
  // Kinds 6 and 7 are statements only SetStatementKind names: from the query they are undetermined.
  const std::uint32_t kind = query->nGetKind();
  if (kind >= 1 && kind <= 5) {
    SetStatementKind(kind);
  } else {
    m_nStatementKind = SQL_STATEMENT_OTHER;
  }
}

int CSqlRewriter::bAddSegment(CRefPtrArray& segments, std::uint32_t code, std::uint64_t start, std::uint64_t end,
                              const char16_t* text) {
  auto* segment = new (std::nothrow) CSqlSegment(code, start, end, text);
  if (!segment) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  segment->AddRef();
  if (text && segment->m_strText.nGetLength() != nLength(text)) {
    segment->nRelease();
    return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  }
  if (!segments.Add(segment)) {
    segment->nRelease();
    return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  }
  return 1;
}

namespace {

// A runtime span (first character, one past the last) as a segment's first and last character; false when absent.
bool bSpan(std::uint32_t start, std::uint32_t end, std::uint64_t* first, std::uint64_t* last) {
  if (end <= start) return false;
  *first = start;
  *last = end - 1;
  return true;
}

// Puts the marker writer's stop back to the end of the text when a segment has been written.
struct SMarkersEnd {
  std::uint64_t& end;
  ~SMarkersEnd() { end = SQL_MARKERS_TO_END; }
};

// Gives back the reference pGetHostDescription took.
struct SHostRelease {
  IHostQueryAnalysis* host;
  ~SHostRelease() {
    if (host) host->Release();
  }
};

}  // namespace

int CSqlRewriter::bCollectSegments(CQueryDescription* query, CSqlRewriter* filter, CRefPtrArray& segments) {
  IHostQueryAnalysis* host = query ? query->pGetHostDescription() : nullptr;
  const SHostRelease release{host};
  if (!host) return 1;
  const char16_t* source = m_pszSource;
  const std::uint64_t length = m_nSourceLength;
  const char16_t* open = m_pConnection ? m_pConnection->pszGetOpeningQuote() : nullptr;
  const char16_t* close = m_pConnection ? m_pConnection->pszGetClosingQuote() : nullptr;
  std::uint64_t first = 0;
  std::uint64_t last = 0;

  if (!m_bPassThrough) {
    std::uint32_t groupStart = 0;
    std::uint32_t groupEnd = 0;
    if (CDescriptorSnapshot* group = query->pNextDescriptor(true)) {
      groupStart = group->nGetTextStart();
      groupEnd = group->nGetTextEnd();
    }
    if (query->nGetKind() == 4) {
      if (auto* entry = static_cast<IHostAssignment*>(query->pNextKind4Entry(true))) {
        if (bSpan(entry->nGetListStart(), entry->nGetListEnd(), &first, &last) &&
            !bAddSegment(segments, SQL_SEGMENT_SELECT_LIST, first, last)) {
          return 0;
        }
        if (bSpan(entry->nGetValueListStart(), entry->nGetValueListEnd(), &first, &last) &&
            !bAddSegment(segments, SQL_SEGMENT_ASSIGNMENTS, first, last)) {
          return 0;
        }
      }
    } else if (query->nGetKind() == 3) {
      if (auto* entry = static_cast<IHostAssignment*>(query->pNextKind3Entry(true))) {
        if (bSpan(entry->nGetListStart(), entry->nGetListEnd(), &first, &last) &&
            !bAddSegment(segments, SQL_SEGMENT_ASSIGNMENTS, first, last)) {
          return 0;
        }
      }
    } else if (IHostItemDescription* item = query->pNextItem(true)) {
      if (bSpan(item->nGetTextStart(), item->nGetTextEnd(), &first, &last) &&
          !bAddSegment(segments, SQL_SEGMENT_SELECT_LIST, first, last)) {
        return 0;
      }
    }
    for (IHostQueryFile* file = query->pNextFile(true); file; file = query->pNextFile(false)) {
      if (bSpan(file->nGetTextStart(), file->nGetTextEnd(), &first, &last) &&
          !bAddSegment(segments, SQL_SEGMENT_TABLE, first, last)) {
        return 0;
      }
    }
    for (IHostStatementJoin* join = host->piWalkJoins(1); join; join = host->piWalkJoins(0)) {
      if (bSpan(join->nGetConditionStart(), join->nGetConditionEnd(), &first, &last) &&
          !bAddSegment(segments, SQL_SEGMENT_JOIN, first, last)) {
        return 0;
      }
    }
    if (bSpan(host->nGetWhereStart(), host->nGetWhereEnd(), &first, &last)) {
      if (!bAddSegment(segments, SQL_SEGMENT_WHERE, first, last)) return 0;
    } else if (filter && !filter->bIsEmpty()) {
      // No WHERE of the program's: the filter's goes where the clause would stand, before the first clause that
      // follows it, on the separator before that clause's keyword.
      auto before = [&](const char16_t* keyword, std::uint32_t from) -> std::uint64_t {
        const std::int64_t at =
            nFindKeywordBackward(source, static_cast<std::int64_t>(length), keyword, from, open, close,
                                 bBackslashEscapes(m_pConnection));
        return at > 0 ? static_cast<std::uint64_t>(at - 1) : (from > 0 ? from - 1 : 0);
      };
      std::uint64_t at = length;
      if (groupStart > 0) {
        at = before(u"GROUP", groupStart);
      } else if (host->nGetHavingStart() > 0) {
        at = before(u"HAVING", host->nGetHavingStart());
      } else if (host->nGetOrderByStart() > 0) {
        at = before(u"ORDER", host->nGetOrderByStart());
      }
      if (!bAddSegment(segments, SQL_SEGMENT_WHERE, at, at - 1)) return 0;
    }
    if (groupStart > 0 && bSpan(groupStart, groupEnd, &first, &last) &&
        !bAddSegment(segments, SQL_SEGMENT_GROUP_BY, first, last)) {
      return 0;
    }
    if (host->nGetHavingStart() > 0 && bSpan(host->nGetHavingStart(), host->nGetHavingEnd(), &first, &last) &&
        !bAddSegment(segments, SQL_SEGMENT_HAVING, first, last)) {
      return 0;
    }
  }
  if (host->nGetOrderByStart() > 0 && host->nGetOrderByStart() < length &&
      !bAddSegment(segments, SQL_SEGMENT_ORDER_BY, host->nGetOrderByStart(), length - 1)) {
    return 0;
  }
  // A segment at every marker, and then at every column reference, so that marks lying between or after other
  // segments are written too, each gap's by the marker writer of its first mark. A statement without markers keeps
  // its column references as the program wrote them.
  if (!host->piWalkMarkers(1)) return 1;
  for (IHostStatementMark* (IHostQueryAnalysis::*walk)(std::int32_t) :
       {&IHostQueryAnalysis::piWalkMarkers, &IHostQueryAnalysis::piWalkColumnReferences}) {
    for (IHostStatementMark* mark = (host->*walk)(1); mark; mark = (host->*walk)(0)) {
      const std::uint64_t at = mark->nGetPosition();
      const std::uint64_t n = mark->nGetLength();
      if (!bAddSegment(segments, SQL_SEGMENT_MARKERS, at, n > 0 ? at + n - 1 : at)) return 0;
    }
  }
  return 1;
}

int CSqlRewriter::bDispatchSegment(const CSqlSegment& segment, std::uint64_t* position, const char16_t* source,
                                   CQueryDescription* query, CSqlRewriter* filter, int keepOrder) {
  switch (segment.m_nCode) {
    case SQL_SEGMENT_SELECT_LIST:
      return bWriteSelectList(position, source, query, segment);
    case SQL_SEGMENT_TABLE:
      return bWriteTableReference(position, source, query, segment);
    case SQL_SEGMENT_WHERE:
      return bWriteCondition(position, source, query, segment, filter);
    case SQL_SEGMENT_GROUP_BY:
      return bWriteGroupBy(position, source, query, segment);
    case SQL_SEGMENT_HAVING:
      return bWriteCondition(position, source, query, segment, nullptr);
    case SQL_SEGMENT_ORDER_BY:
      return bWriteOrderBy(position, source, query, keepOrder, 1);
    case SQL_SEGMENT_MARKERS:
      return bAppendHostParameters(query, source, position);
    case SQL_SEGMENT_JOIN:
      return bWriteJoin(position, source, query, segment);
    case SQL_SEGMENT_NAMED_PARAMETER:
      return bWriteNamedParameter(position, source, query, segment);
    case SQL_SEGMENT_ASSIGNMENTS:
      return bWriteAssignments(position, source, query, segment);
    default:
      return 1;
  }
}

std::uint64_t CSqlRewriter::nOrderByCut(const char16_t* source, std::uint64_t from, std::uint64_t length) {
  // Only the statement's own clause is dropped: an "ORDER BY" in a literal, a comment, a quoted name or between
  // parentheses (a subquery, a window's OVER (...)) belongs to something else. The clause is found as the program
  // writes it, in capitals, else in small letters.
  const SSqlTextSkipper skipper{source, static_cast<std::size_t>(length), true,
                                m_pConnection ? m_pConnection->pszGetOpeningQuote() : nullptr,
                                m_pConnection ? m_pConnection->pszGetClosingQuote() : nullptr,
                                bBackslashEscapes(m_pConnection)};
  for (const char16_t* clause : {u"ORDER BY", u"order by"}) {
    const std::size_t at = nWalkStatement(
        skipper, static_cast<std::size_t>(from), [](std::size_t, std::size_t) {},
        [&](std::size_t i, bool topLevel) {
          return topLevel && bMatchesExactly(source, i, static_cast<std::size_t>(length), clause) &&
                 (i == 0 || bIsSqlSeparator(source[i - 1]));
        });
    if (at < length) return at;
  }
  return length;
}

int CSqlRewriter::bTranslate(CQueryDescription* query, CSqlRewriter* filter, int keepOrder, std::uint32_t mode) {
  if (mode == 1) mode = SQL_MODE_PASS_THROUGH;
  if (mode & SQL_MODE_PASS_THROUGH) {
    m_bPassThrough = 1;
    m_nOutputState = SQL_OUTPUT_MARKED;
  } else {
    m_bPassThrough = 0;
  }
  SetQueryDescription(query);
  const char16_t* source = query ? query->nGetHostQueryKind() : nullptr;
  if (!source) source = u"";
  const std::uint64_t length = nLength(source);
  m_pszSource = source;
  m_nSourceLength = length;
  m_pFilter = filter;
  m_bKeepOrder = keepOrder;

  CRefPtrArray segments(8);
  if (!bCollectSegments(query, filter, segments)) return 0;
  // A connection that switches named parameters off has no scan, and so no check of the declared ones against it:
  // the check could only fail.
  const bool named = m_bPassThrough && !(mode & SQL_MODE_NO_NAMED_PARAMETERS) &&
                     !(m_pConnection && m_pConnection->nGetNamedParameterSwitch());
  if (named && !bScanNamedParameters(source, segments)) return 0;

  // By start, segments of one start in the order they were collected.
  for (std::uint32_t i = 1; i < segments.nGetCount(); ++i) {
    CRefCounted* moving = segments.pGetObject(i);
    const std::uint64_t start = static_cast<CSqlSegment*>(moving)->m_nStart;
    std::uint32_t j = i;
    while (j > 0 && static_cast<CSqlSegment*>(segments.pGetObject(j - 1))->m_nStart > start) {
      CRefCounted* previous = segments.pGetObject(j - 1);
      segments.SetAt(&previous, j);
      --j;
    }
    segments.SetAt(&moving, j);
  }

  std::uint64_t position = 0;
  for (std::uint32_t i = 0; i < segments.nGetCount(); ++i) {
    const auto& segment = *static_cast<CSqlSegment*>(segments.pGetObject(i));
    const SMarkersEnd markersEnd{m_nMarkersEnd};
    if (segment.m_nCode == SQL_SEGMENT_MARKERS) {
      // A mark already passed was written by the marker writer of its gap, or lies inside a span another
      // generator wrote (a constant of the WHERE tree): it is not written twice. Otherwise the writer takes the
      // marks up to the next segment that is not a mark and leaves the rest of the text to the translation, so
      // that the clauses after it are still written in their places.
      if (segment.m_nStart < position) continue;
      m_nMarkersEnd = length;
      for (std::uint32_t j = i + 1; j < segments.nGetCount(); ++j) {
        const auto& next = *static_cast<CSqlSegment*>(segments.pGetObject(j));
        if (next.m_nCode == SQL_SEGMENT_MARKERS) continue;
        m_nMarkersEnd = next.m_nStart;
        break;
      }
    }
    if (segment.m_nStart < length && !bCopySource(source, &position, segment.m_nStart)) return 0;
    if (!bDispatchSegment(segment, &position, source, query, filter, keepOrder)) return 0;
  }
  if (named && !bCheckDeclaredParameters(query)) return 0;

  std::uint64_t end = length;
  if (m_bPassThrough && keepOrder == 0 && position < length) end = nOrderByCut(source, position, length);
  if (!bCopySource(source, &position, end)) return 0;

  if (m_bPassThrough) {
    CSqlDateEscapeRewriter escapes;
    if (!escapes.bRewriteStatement(this)) return 0;
  }
  return 1;
}

// ---- named parameters ----

int CSqlRewriter::bScanNamedParameters(const char16_t* source, CRefPtrArray& segments) {
  char16_t prefixBuffer[16];
  char16_t suffixBuffer[16];
  const CTString prefix(pszGetParameterPrefix(prefixBuffer, 16));
  const CTString suffix(pszGetParameterSuffix(suffixBuffer, 16));
  if (prefix.bIsEmpty() || !source) return 1;
  const std::size_t length = nLength(source);
  const std::size_t prefixLength = prefix.nGetLength();
  // A quoted name is a name, whatever it holds: "A:B" names a column, it declares no parameter B.
  const SSqlTextSkipper skipper{source, length, true, m_pConnection ? m_pConnection->pszGetOpeningQuote() : nullptr,
                                m_pConnection ? m_pConnection->pszGetClosingQuote() : nullptr,
                                bBackslashEscapes(m_pConnection)};
  std::size_t i = 0;
  while (i < length) {
    const std::size_t next = skipper.nSkip(i);
    if (next != i) {
      i = next;
      continue;
    }
    if (!bMatchesExactly(source, i, length, prefix.pszGet())) {
      ++i;
      continue;
    }
    const std::size_t nameStart = i + prefixLength;
    std::size_t nameEnd = nameStart;
    std::size_t after = nameStart;
    if (!suffix.bIsEmpty()) {
      const std::uint32_t found = CTString(source).nFind(suffix.pszGet(), nameStart);
      if (found == 0xFFFFFFFF) {
        const CTString following(source + nameStart, std::min<std::size_t>(10, length - nameStart));
        RaiseModuleError(m_pHolder, 0, ERROR_UNIT_REWRITER, REWRITER_POINT_SUFFIX_MISSING, m_pConnection, nullptr,
                         REWRITER_ERROR_SUFFIX_MISSING, suffix.pszGet(), following.pszGet(), source);
        return 0;
      }
      nameEnd = found;
      after = found + suffix.nGetLength();
    } else {
      auto partOfName = [&](char16_t c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || bIsDigit(c) || c == u'_' || c == u'%' ||
               prefix.nFind(CTString(&c, 1).pszGet(), 0) != 0xFFFFFFFF;
      };
      while (nameEnd < length && partOfName(source[nameEnd])) ++nameEnd;
      after = nameEnd;
    }
    if (nameEnd > nameStart) {
      const CTString name(source + nameStart, nameEnd - nameStart);
      if (!bAddSegment(segments, SQL_SEGMENT_NAMED_PARAMETER, i, after - 1, name.pszGet())) return 0;
    }
    i = after > i ? after : i + 1;
  }
  return 1;
}

int CSqlRewriter::bWriteNamedParameter(std::uint64_t* position, const char16_t* source, CQueryDescription* query,
                                       const CSqlSegment& segment) {
  if (!bCopySource(source, position, segment.m_nStart)) return 0;
  CTString name;
  const int cursor = bIsCursorParameter(segment.m_strText.pszGet(), name);
  const std::uint32_t flags = LEAF_FLAG_NAMED | (cursor ? LEAF_FLAG_CURSOR_PARAMETER : 0);
  if (CValueLeaf* existing = pFindNamedParameter(name.pszGet())) {
    if (!bAddParameter(existing->pGetFieldValue(), LEAF_KIND_NONE, flags, nullptr, name.pszGet(), 0,
                       LEAF_ORIGIN_NAMED_PARAMETER)) {
      return 0;
    }
  } else {
    std::uint16_t type = HOST_TYPE_ASTRING;
    if (!cursor) {
      IHostQueryAnalysis* host = query ? query->pGetHostDescription() : nullptr;
      const SHostRelease release{host};
      IHostDeclaredParameters* declared = host ? host->piGetDeclaredParameters() : nullptr;
      CHostValue* value = declared ? declared->pFindValue(name.pszGet()) : nullptr;
      if (value && value->nGetType() != 0) type = value->nGetType();
      if (declared) declared->Release();
      if (!value) {
        RaiseModuleError(m_pHolder, 0, ERROR_UNIT_REWRITER, REWRITER_POINT_UNDECLARED, m_pConnection, nullptr,
                         REWRITER_ERROR_OUT_OF_MEMORY, name.pszGet());
        return 0;
      }
    }
    CFieldValue* field = pCreateItemForValueThroughDriver(m_pHolder, m_pConnection, nullptr, type);
    if (!field) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
    field->AddRef();
    const int added = bAddParameter(field, LEAF_KIND_NONE, flags, nullptr, name.pszGet(), 0,
                                    LEAF_ORIGIN_NAMED_PARAMETER);
    field->nRelease();
    if (!added) return 0;
  }
  *position = segment.m_nEnd + 1;
  return 1;
}

int CSqlRewriter::bCheckDeclaredParameters(CQueryDescription* query) {
  IHostQueryAnalysis* host = query ? query->pGetHostDescription() : nullptr;
  const SHostRelease release{host};
  IHostDeclaredParameters* declared = host ? host->piGetDeclaredParameters() : nullptr;
  if (!declared) return 1;
  int result = 1;
  const std::uint32_t count = declared->nGetCount();
  for (std::uint32_t i = 0; i < count && result; ++i) {
    const char16_t* name = declared->pszGetName(i);
    if (!name) break;
    CValueLeaf* leaf = pFindNamedParameter(name);
    if (!leaf) {
      RaiseModuleError(m_pHolder, 0, ERROR_UNIT_REWRITER, REWRITER_POINT_DECLARED_MISSING, m_pConnection, nullptr,
                       REWRITER_ERROR_DECLARED_MISSING, name, m_pszSource ? m_pszSource : m_strStatement.pszGet());
      result = 0;
    }
    // A match already has the declared type: the parameter writer made its field value in it.
  }
  declared->Release();
  return result;
}

// ---- final text ----

int CSqlRewriter::bAppendFinal(const char16_t* text, std::uint64_t n) {
  if (n == 0) return 1;
  const std::uint32_t mode = m_final.nGetMode();
  const bool narrow = mode != CODE_PAGE_UTF16;
  if (narrow) {
    // A narrow page would put its default character where it has none, and the statement would compare with
    // another value ("?" for every character it lacks): a text the page cannot carry is an error instead.
    const CTString piece(text, static_cast<std::size_t>(n));
    if (piece.nGetLength() != n) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
    if (!bIsRepresentableInCodePage(piece.pszGet(), mode)) {
      const char16_t* label = m_pConnection ? m_pConnection->pszGetConnectionLabel() : nullptr;
      const char16_t* database = m_pConnection ? m_pConnection->pszGetDatabaseName() : nullptr;
      const char16_t* source = m_pConnection ? m_pConnection->pszGetDataSource() : nullptr;
      RaiseModuleError(m_pHolder, 0, ERROR_UNIT_REWRITER, REWRITER_POINT_CODE_PAGE, m_pConnection, nullptr,
                       REWRITER_ERROR_CODE_PAGE, m_strStatement.pszGet(), mode, label, database, source);
      return 0;
    }
  }
  std::uint64_t before = 0;
  std::uint64_t after = 0;
  if (narrow) {
    m_final.pszGetNarrow(&before);
  } else {
    m_final.pszGetWide(&before);
  }
  m_final.Append(text, static_cast<std::int64_t>(n));
  const void* grown = narrow ? static_cast<const void*>(m_final.pszGetNarrow(&after))
                             : static_cast<const void*>(m_final.pszGetWide(&after));
  // The narrow form's size in bytes is not known beforehand; that it grew at all tells it took the text.
  if (!grown || (narrow ? after <= before : after != before + n)) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  return 1;
}

int CSqlRewriter::bAppendFinalGap(std::uint64_t* position, std::uint64_t end) {
  const std::uint64_t length = m_strStatement.nGetLength();
  std::uint64_t finalLength = 0;
  const char16_t* finalText = m_final.pszGetWide(&finalLength);
  if (finalLength > 0 && finalText && finalText[finalLength - 1] != u' ' &&
      m_strStatement.nGetAt(*position < length ? *position : length) != u' ') {
    if (!bAppendFinal(u" ", 1)) return 0;
  }
  if (end > length) end = length;
  if (end > *position) {
    if (!bAppendFinal(m_strStatement.pszGet() + *position, end - *position)) return 0;
    *position = end;
  }
  return 1;
}

int CSqlRewriter::bReplaceFinal(const CTString& text) {
  m_final.Truncate(0);
  return bAppendFinal(text.pszGet(), text.nGetLength());
}

int CSqlRewriter::bApplyRowLimitFixUp(std::uint32_t dbmsKind) {
  std::uint64_t length = 0;
  const char16_t* text = m_final.pszGetWide(&length);
  if (!text) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  const std::int64_t select = nFindLeadingKeyword(text, u"SELECT");
  if (select < 0) return 1;
  const auto size = static_cast<std::size_t>(length);
  const auto at = static_cast<std::size_t>(select);
  return dbmsKind <= 3 ? bApplyTopFixUp(text, size, at) : bApplyLimitFixUp(text, size, at);
}

int CSqlRewriter::bApplyTopFixUp(const char16_t* text, std::size_t size, std::size_t select) {
  const std::int64_t limit = ReadStatementShape(text, size, m_pConnection).nLastLimit;
  if (limit <= 0) return 1;
  std::size_t at = static_cast<std::size_t>(limit) + 5;
  while (at < size && bIsSqlSeparator(text[at])) ++at;
  const std::size_t digits = at;
  const std::int64_t count = nReadDecimal(text, size, &at);
  // A LIMIT without its count is not a row limit this fix-up can read: the text goes as the program wrote it.
  if (count < 0) return 1;
  const CTString countText(text + digits, at - digits);
  while (at < size && (text[at] == u',' || bIsSqlSeparator(text[at]))) ++at;
  if (nReadDecimal(text, size, &at) > 0) return 1;

  std::size_t keptEnd = static_cast<std::size_t>(limit);
  const std::size_t keptStart = select + 6;
  while (keptEnd > keptStart && bIsSqlSeparator(text[keptEnd - 1])) --keptEnd;
  CTString rewritten(u"SELECT TOP ");
  rewritten.Append(countText.pszGet());
  rewritten.Append(u" ");
  rewritten.AppendN(text + keptStart, static_cast<std::int64_t>(keptEnd - keptStart));
  if (rewritten.nGetLength() != 12 + countText.nGetLength() + (keptEnd - keptStart) || countText.bIsEmpty()) {
    return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  }
  return bReplaceFinal(rewritten);
}

int CSqlRewriter::bApplyLimitFixUp(const char16_t* text, std::size_t size, std::size_t select) {
  CTString rewritten(text, size);
  if (rewritten.nGetLength() != size) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  std::int64_t count = m_nRowLimit;
  bool fromTop = false;
  CTString countText;  // the program's digits after TOP
  if (size >= 12) {
    std::size_t at = select + 6;
    while (at < size && bIsBlank(text[at])) ++at;
    const std::size_t top = at;
    if (bMatchesNoCase(text, at, size, u"TOP") && at + 3 < size && bIsBlank(text[at + 3])) {
      at += 3;
      while (at < size && bIsBlank(text[at])) ++at;
      const std::size_t digits = at;
      const std::int64_t n = nReadDecimal(text, size, &at);
      if (n >= 0) {
        countText.AssignN(text + digits, at - digits);
        if (countText.nGetLength() != at - digits) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
        rewritten.Delete(top, at - top);
        m_nRowLimit = -1;
        count = n;
        fromTop = true;
      }
    }
  }
  // The program's TOP 0 asks for no row: it becomes LIMIT 0, where leaving it out would return every row.
  if (count < 0 || (count == 0 && !fromTop)) return rewritten.nGetLength() == size ? 1 : bReplaceFinal(rewritten);
  const char16_t* kept = rewritten.pszGet();
  const std::size_t keptLength = rewritten.nGetLength();
  const SStatementShape shape = ReadStatementShape(kept, keptLength, m_pConnection);
  // A program that asked for no row at all keeps its own LIMIT 0.
  std::size_t end = shape.nCodeEnd;
  while (end > 0 && bIsSqlSeparator(kept[end - 1])) --end;
  const bool endsWithLimit0 = end >= 8 && shape.nLastLimit == static_cast<std::int64_t>(end - 7) &&
                              bMatchesNoCase(kept, end - 7, end, u"LIMIT 0") && bIsSqlSeparator(kept[end - 8]);
  if (endsWithLimit0) return keptLength == size ? 1 : bReplaceFinal(rewritten);
  char16_t number[24];
  CTString tail(u" LIMIT ");
  if (m_nRowOffset >= 1) {
    tail.Append(pszI64ToDecimalW(m_nRowOffset, number));
    tail.Append(u", ");
  }
  tail.Append(countText.bIsEmpty() ? pszI64ToDecimalW(count, number) : countText.pszGet());
  // After the statement's last word: a trailing "--" comment would take the clause into itself.
  const std::size_t at = shape.bTrailingComment ? shape.nCodeEnd : keptLength;
  CTString limited(kept, at);
  limited.Append(tail.pszGet());
  limited.Append(kept + at);
  if (tail.nGetLength() < 8 || limited.nGetLength() != keptLength + tail.nGetLength()) {
    return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  }
  return bReplaceFinal(limited);
}

int CSqlRewriter::bBuildFinalText(std::uint32_t mode) {
  m_final.Truncate(0);
  const auto build = [&]() -> int {
    std::uint64_t position = 0;
    for (std::uint32_t i = 0; i < m_lists.nGetParameterCount(); ++i) {
      CValueLeaf* leaf = m_lists.pGetParameter(i);
      if (!bAppendFinalGap(&position, leaf->nGetPosition())) return 0;
      if (position < leaf->nGetPosition()) position = leaf->nGetPosition();
      if (!bWriteValueLeaf(leaf, mode, &position)) return 0;
    }
    if (!bAppendFinalGap(&position, m_strStatement.nGetLength())) return 0;
    if (m_bPassThrough || !m_pConnection) return 1;
    const std::uint32_t kind = m_pConnection->nGetDbmsKind();
    if ((kind >= 1 && kind <= 3) || kind == 5 || kind == 6) return bApplyRowLimitFixUp(kind);
    return 1;
  };
  if (build()) return 1;
  // What was built before the failure is no final text: left in place, the next request would send it.
  m_final.Truncate(0);
  // The connection's literal and text helpers fail without a word when their memory runs out: the caller still
  // learns why there is no text.
  if (m_pHolder && !m_pHolder->bHasError()) bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  return 0;
}

const void* CSqlRewriter::pszGetOutputText(std::uint32_t mode) {
  const bool narrow = m_final.nGetMode() != CODE_PAGE_UTF16;
  std::uint64_t length = 0;
  if (narrow) {
    m_final.pszGetNarrow(&length);
  } else {
    m_final.pszGetWide(&length);
  }
  if (length == 0 && !bBuildFinalText(mode)) return nullptr;
  if (mode == 0) return m_final.pszGetWide();
  return m_final.pszGetNarrow();
}

// ---- parameter dump ----

const char16_t* CSqlRewriter::DumpParameters() {
  if (!m_strDump.bIsEmpty()) return m_strDump.pszGet();
  char16_t number[24];
  try {
    m_strDump.Append(pszCurrentDriverLabel(1));
    m_strDump.Append(m_strStatement.pszGet());
    m_strDump.Append(u"\r\n");
    m_strDump.Append(pszCurrentDriverLabel(2));
    m_strDump.Append(u"=");
    m_strDump.Append(pszI64ToDecimalW(m_lists.nGetParameterCount(), number));
    m_strDump.Append(u"\r\n");
    for (std::uint32_t i = 0; i < m_lists.nGetParameterCount(); ++i) {
      CValueLeaf* leaf = m_lists.pGetParameter(i);
      m_strDump.Append(pszCurrentDriverLabel(3));
      m_strDump.Append(u" ");
      m_strDump.Append(pszI64ToDecimalW(i, number));
      m_strDump.Append(u" :\t");
      if (leaf->bIsCursorParameter()) {
        m_strDump.Append(u" = <cursor parameter>>\r\n");
        continue;
      }
      CFieldValue* field = leaf->pGetFieldValue();
      CHostValue value;
      if (field) value.Assign(field->Value());
      m_strDump.Append(pszCurrentDriverLabel(4));
      m_strDump.Append(pszI64ToDecimalW(value.nGetType(), number));
      m_strDump.Append(u" = <");
      if (value.nGetType() == HOST_TYPE_BINARY_BUFFER) {
        m_strDump.Append(u"Buffer, size = ");
        m_strDump.Append(pszI64ToDecimalW(static_cast<std::int64_t>(field->nGetSize()), number));
      } else {
        const char16_t* text = nullptr;
        if (value.nGetType() != HOST_TYPE_EMPTY && value.nGetWideText(&text) < 100 && text) {
          m_strDump.Append(text);
        } else if (value.nGetType() != HOST_TYPE_EMPTY) {
          m_strDump.Append(pszCurrentDriverLabel(7));
        }
      }
      m_strDump.Append(u">\r\n");
    }
  } catch (...) {
    // A dump serves an error report: what it holds so far is still worth showing.
  }
  return m_strDump.pszGet();
}

// ---- appending another rewriter, columns ----

int CSqlRewriter::bAppendRewriter(CSqlRewriter* other, int duplicate) {
  if (!other) return 1;
  const std::uint64_t offset = m_strStatement.nGetLength();
  if (!other->m_strStatement.bIsEmpty() &&
      !nAppendText(other->m_strStatement.pszGet(), static_cast<std::int64_t>(other->m_strStatement.nGetLength()))) {
    return 0;
  }
  // A rewriter appended to itself takes its own parameters once more, as new leaves: moving a leaf it keeps would
  // move it in both places.
  if (other == this) duplicate = 1;
  const std::uint32_t count = other->m_lists.nGetParameterCount();
  for (std::uint32_t i = 0; i < count; ++i) {
    CValueLeaf* leaf = other->m_lists.pGetParameter(i);
    if (duplicate == 1) {
      CValueLeaf* twin = leaf->pDuplicate();
      if (!twin) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
      twin->SetPosition(leaf->nGetPosition() + offset);
      const int added = m_lists.bAddExistingParameter(twin);
      twin->nRelease();
      if (!added) return 0;
    } else {
      leaf->SetPosition(leaf->nGetPosition() + offset);
      if (!m_lists.bAddExistingParameter(leaf)) return 0;
    }
  }
  return m_lists.bAppendSharedElements(other->m_lists);
}

int CSqlRewriter::bAppendColumn(CColumn* column, std::uint32_t flag) {
  if (!column) return 1;
  return m_lists.bAppendColumn(m_strStatement, column, flag);
}

int CSqlRewriter::bAppendCursorColumns(CTableDescription* columns, std::uint32_t flag) {
  if (!columns) return 1;
  for (std::uint32_t i = 0; i < columns->nGetColumnCount(); ++i) {
    CColumn* column = columns->pGetColumn(i);
    // A composite key is read from its component columns, which are columns of the set themselves: it has no
    // column of its own on the server to select.
    if (!column || column->bIsCompositeKey()) continue;
    if (!bAppendColumn(column, flag)) return 0;
  }
  // The set's identifying key is the row id when its first key is the row-id item (item kind 3).
  CColumn* key = columns->nGetKeyCount() > 0 ? columns->pGetKey(0) : nullptr;
  CColumnDescriptor* descriptor = key ? key->pGetDescriptorNoRef() : nullptr;
  if (!descriptor || descriptor->nGetStoredItemKind() != 3) return 1;
  CTable* table = columns->pGetTable();
  return m_lists.bAddSelectText(m_strStatement, SQL_ROW_ID_COLUMN_TEXT, table ? table->pGetReferenceValue() : nullptr);
}

// ---- copies ----

int CSqlRewriter::CopyFrom(CSqlRewriter* source, CHashTable& cloneMap, std::uint32_t) {
  if (!source) return 0;
  if (source == this) return 1;  // a copy of itself is what it already is
  if (!bRegisterClone(cloneMap, source, this)) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  if (source->m_pHolder) source->m_pHolder->AddRef();
  if (m_pHolder) m_pHolder->nRelease();
  m_pHolder = source->m_pHolder;
  if (source->m_pConnection) source->m_pConnection->AddRef();
  if (m_pConnection) m_pConnection->nRelease();
  m_pConnection = source->m_pConnection;
  m_lists.SetOwners(m_pHolder, m_pConnection);
  m_final.Reopen(nFinalTextMode(m_pConnection), nConversionPage(m_pConnection));

  m_strStatement = source->m_strStatement;
  m_words = source->m_words;
  m_strExtraSelect = source->m_strExtraSelect;
  m_strDump = source->m_strDump;
  if (m_strStatement.nGetLength() != source->m_strStatement.nGetLength() ||
      m_strExtraSelect.nGetLength() != source->m_strExtraSelect.nGetLength() ||
      m_strDump.nGetLength() != source->m_strDump.nGetLength()) {
    return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  }
  // The parameters and the column flags; the select columns and table references are the source statement's own.
  if (!m_lists.CopyFrom(source->m_lists, cloneMap)) return 0;

  m_bPassThrough = source->m_bPassThrough;
  m_nParameterSwitch = source->m_nParameterSwitch;
  m_nDialectFlags = source->m_nDialectFlags;
  m_nRowLimit = source->m_nRowLimit;
  m_nRowOffset = source->m_nRowOffset;
  m_nReserved = source->m_nReserved;
  m_nStatementKind = source->m_nStatementKind;
  m_nClauseState = source->m_nClauseState;
  m_nOutputState = source->m_nOutputState;
  if (source->m_pQuery) source->m_pQuery->AddRef();
  if (m_pQuery) m_pQuery->nRelease();
  m_pQuery = source->m_pQuery;
  return 1;
}

CSqlRewriter* CSqlRewriter::pClone(CHashTable& cloneMap, std::uint32_t flags) {
  return pCloneCaught<CSqlRewriter>([&](CSqlRewriter* copy) { return copy->CopyFrom(this, cloneMap, flags); });
}
