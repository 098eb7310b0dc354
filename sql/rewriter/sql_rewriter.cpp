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
#include "foundation/module_errors.h"
#include "foundation/x_error.h"
#include "host/host_objects.h"
#include "host/host_value.h"
#include "sql/connection.h"
#include "sql/driver_services.h"
#include "sql/rewriter/value_leaf.h"

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

namespace {
const char16_t* pszCopyInto(char16_t* buffer, std::size_t size, const char16_t* text) {
  if (!buffer || size == 0) return u"";
  std::size_t i = 0;
  for (; text[i] && i + 1 < size; ++i) buffer[i] = text[i];
  buffer[i] = 0;
  return buffer;
}
}  // namespace

const char16_t* CSqlRewriter::pszGetParameterPrefix(char16_t* buffer, std::size_t size) {
  return pszCopyInto(buffer, size, u"{");
}
const char16_t* CSqlRewriter::pszGetParameterSuffix(char16_t* buffer, std::size_t size) {
  return pszCopyInto(buffer, size, u"}");
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
    if (finalLength > 0) m_final.Append(m_strStatement.pszGet() + expected - length, static_cast<std::int64_t>(length));
  }
  return 1;
}

int CSqlRewriter::nAppendTextMarked(const char16_t* text) {
  if (!nAppendText(text)) return 0;
  m_nOutputState = SQL_OUTPUT_MARKED;
  return 1;
}

int CSqlRewriter::bCopySource(const char16_t* source, std::uint64_t* position, std::uint64_t end) {
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
  const CTString wanted(name);
  for (std::uint32_t i = 0; i < m_lists.nGetParameterCount(); ++i) {
    CValueLeaf* leaf = m_lists.pGetParameter(i);
    if (leaf->bIsNamed() && wanted.bEqualsNoCase(leaf->pszGetName())) return leaf;
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

// ==== to be written: translation, final text, fix-ups, dump, copies, keyword helpers ====
