// The expression writer of the statement rewriter: one recursive walk over the runtime's expression tree that copies
// the program's text between the nodes, writes column references in the dialect's qualified form, turns constants
// into parameters placed in the statement text, rewrites comparisons with an empty date or time, and the value
// writers that put those parameters into the final text as literals or LIKE patterns.
#include <algorithm>
#include <string>

#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/query_description.h"
#include "engine/record/table_description.h"
#include "engine/values/field_value.h"
#include "foundation/code_pages.h"
#include "foundation/error_holder.h"
#include "foundation/host_locale.h"
#include "foundation/like_pattern.h"
#include "foundation/module_errors.h"
#include "foundation/text_utils.h"
#include "host/host_objects.h"
#include "host/host_type.h"
#include "host/host_value.h"
#include "sql/connection.h"
#include "sql/rewriter/sql_rewriter.h"
#include "sql/rewriter/value_leaf.h"

namespace {

inline constexpr std::uint32_t NO_PARENT_KIND = 0xFFFFFFFF;
inline constexpr std::uint32_t LIKE_PARAMETER_FLAGS = LEAF_FLAG_PATTERN_VALUE | LEAF_FLAG_TEXT_CONSTANT;

// The kind-3 dialect writes a literal wildcard in brackets.
inline constexpr const char16_t* kBracketOpen = u"[";
inline constexpr const char16_t* kBracketClose = u"]";

bool bIsWideTextType(std::uint32_t type) { return type == 16 || type == 20 || type == 81 || type == 110; }
bool bIsNarrowTextType(std::uint32_t type) {
  return type == 17 || type == 18 || type == 19 || (type >= 21 && type <= 23) || type == 134;
}
// Texts, dates and times as digits: what a LIKE pattern or a date column reads as text.
bool bIsTextValueType(std::uint32_t type) {
  return (type >= 16 && type <= 25) || type == 81 || type == 110 || type == 128 || type == 129 || type == 134;
}
bool bIsDateOrTimeColumn(std::uint32_t type) {
  return type == COLUMN_TYPE_HOST_DATE || type == COLUMN_TYPE_DATE || type == COLUMN_TYPE_DATETIME;
}
bool bIsComparison(std::uint32_t kind) { return kind >= SQL_NODE_EQ && kind <= SQL_NODE_GE; }

// The column types the value writers choose for a literal: only these describe a column; a node kind a leaf carries
// (9 for "=", 32 for LIKE) is no column type and would make the literal builder convert the value to another type.
std::uint32_t nLiteralColumnType(std::uint32_t kind) {
  return kind == COLUMN_TYPE_TEXT_MEMO || kind == COLUMN_TYPE_BINARY_MEMO || kind == COLUMN_TYPE_TEXT ||
                 kind == COLUMN_TYPE_WTEXT
             ? kind
             : 0;
}

// Whether the constant counts as empty for a date comparison: NULL, no value, or an empty text.
bool bIsEmptyConstant(CHostValue* value) {
  if (!value || value->bIsNull() || value->nGetType() == HOST_TYPE_EMPTY) return true;
  const std::uint32_t type = value->nGetType();
  if (type == 16 || type == 24 || type == 110) {
    const char16_t* text = nullptr;
    return bHostFailed(static_cast<std::uint32_t>(value->nGetWideText(&text))) || !text || !text[0];
  }
  if (type == 18 || type == 19 || type == 128) {
    const char* text = nullptr;
    return bHostFailed(static_cast<std::uint32_t>(value->nGetNarrowText(&text))) || !text || !text[0];
  }
  return false;
}

// Whether a copy of a text value kept all of it: a runtime string that could not be copied comes out empty, with
// nothing else to tell.
bool bCopiedWhole(CHostValue& original, CHostValue& copy) {
  if (original.bIsNull() || !bIsTextValueType(original.nGetType()) || original.nGetType() != copy.nGetType()) {
    return true;
  }
  std::size_t wanted = 0;
  std::size_t got = 0;
  return bHostFailed(static_cast<std::uint32_t>(original.nGetDataSize(&wanted))) ||
         (!bHostFailed(static_cast<std::uint32_t>(copy.nGetDataSize(&got))) && got >= wanted);
}

std::uint32_t nKindOf(IHostExpressionNode* node) { return node ? node->nGetFunctionCode() : NO_PARENT_KIND; }

// Compared in place: a copy that could not be made would read as another name.
bool bSameText(const char16_t* a, const char16_t* b) {
  if (!a || !*a) return !b || !*b;
  return b && *b && nHostCompareNoCase(a, b) == 0;
}

// After blanks, whether the text goes on with the keyword (case ignored); the position after it when it does.
bool bKeywordFollows(const char16_t* text, std::size_t position, const char16_t* keyword, std::size_t* after) {
  while (text[position] == u' ' || text[position] == u'\t' || text[position] == u'\r' || text[position] == u'\n') {
    ++position;
  }
  std::size_t i = 0;
  for (; keyword[i]; ++i) {
    char16_t c = text[position + i];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    if (c != keyword[i]) return false;
  }
  if (after) *after = position + i;
  return true;
}

// Every occurrence of one unit replaced by a text.
std::u16string ReplaceUnit(const char16_t* text, char16_t unit, const char16_t* replacement) {
  std::u16string out;
  for (; *text; ++text) {
    if (*text == unit) {
      out += replacement;
    } else {
      out += *text;
    }
  }
  return out;
}

// A heap text of the foundation's helpers, freed when it goes.
struct SHeapText {
  char16_t* psz = nullptr;
  explicit SHeapText(char16_t* text) : psz(text) {}
  SHeapText(const SHeapText&) = delete;
  SHeapText& operator=(const SHeapText&) = delete;
  ~SHeapText() { FreeText(psz); }
};

// Quoting gives the name as it is, or the name between the dialect's quotes: a text of another length, or of the
// name's length but another text, lost a piece when memory ran out. A dotted name quotes only the parts that need it
// (S."ORDER"), so no length tells it whole: the connection's quoting answers 0 for one built short, and only a
// copy made without a connection is checked here.
bool bQuotedWhole(const CConnection* connection, const char16_t* name, const CTString& quoted, bool dotted) {
  const std::u16string_view plain(name ? name : u"");
  const std::u16string_view written(quoted.pszGet(), quoted.nGetLength());
  if (dotted && connection) return !written.empty() || plain.empty();
  if (written.size() == plain.size()) return written == plain;
  const std::u16string_view close(connection ? connection->pszGetClosingQuote() : u"");
  const std::size_t quotes = connection ? std::u16string_view(connection->pszGetOpeningQuote()).size() + close.size()
                                        : 0;
  // A closing quote inside the name is written twice.
  std::size_t doubled = 0;
  for (std::size_t at = close.empty() ? plain.npos : plain.find(close); at != plain.npos;
       at = plain.find(close, at + close.size())) {
    doubled += close.size();
  }
  return written.size() == plain.size() + quotes + doubled;
}

}  // namespace

// ---- the expression writer ----

int CSqlRewriter::bWriteExpression(CQueryDescription* query, std::uint32_t context, const char16_t* source,
                                   IHostExpressionNode* parent, IHostExpressionNode* node,
                                   std::uint32_t operandContext, std::uint64_t* position, IHostItemDescription* item,
                                   std::uint32_t operandType, std::uint32_t argumentIndex) {
  if (!node) return 1;
  const std::uint32_t kind = node->nGetFunctionCode();
  if (kind == SQL_NODE_UNSUPPORTED) {
    RaiseModuleError(m_pHolder, 0, ERROR_UNIT_REWRITER, REWRITER_POINT_UNSUPPORTED_NODE, m_pConnection, nullptr,
                     REWRITER_ERROR_UNSUPPORTED_NODE, u"Oracle");
    return 0;
  }
  if (kind == SQL_NODE_COLUMN || kind == SQL_NODE_VALUE) {
    if (!bWriteNodeBoundary(query, source, parent, node, argumentIndex, position, 1)) return 0;
    const int written =
        kind == SQL_NODE_COLUMN
            ? bWriteColumnNode(query, context, source, parent, node, operandContext, position, item)
            : bWriteValueNode(query, source, parent, node, operandContext, position, operandType);
    return written && bWriteNodeBoundary(query, source, parent, node, argumentIndex, position, 0);
  }

  if (!bWriteNodeBoundary(query, source, parent, node, argumentIndex, position, 1)) return 0;
  // Where the comparison starts in both texts, for the NULL-comparison rewriting.
  const std::uint64_t outputStart = m_strStatement.nGetLength();
  const std::uint64_t sourceStart = *position;
  if (!bWriteNodeText(context, source, node, position)) return 0;

  const std::uint32_t count = node->nGetChildCount();
  for (std::uint32_t i = 0; i < count; ++i) {
    IHostExpressionNode* child = node->piGetChild(i);
    if (!child) continue;
    if (i > 0 && bIsLobCompare(node, child) == 1) continue;
    // A function rule that wrote this argument elsewhere consumed its text: it is not written twice.
    if (i > 0 && child->nGetTextEnd() != 0 && child->nGetTextEnd() <= *position) continue;
    bool clear = false;
    const std::uint32_t childType = nChildOperandType(kind, i, count, operandContext, &clear, node);
    if (clear) m_bHasCompared = false;
    if (!bWriteExpression(query, context, source, node, child, operandContext, position, item, childType, i)) {
      return 0;
    }
    if (i != 0) continue;
    if (child->nGetFunctionCode() == SQL_NODE_COLUMN && m_bHasCompared && m_pConnection &&
        m_pConnection->bRewritesEmptyComparisons()) {
      int rewritten = 0;
      if (!bRewriteEmptyComparison(source, node, position, outputStart, sourceStart, &rewritten)) return 0;
      if (rewritten) return bWriteNodeBoundary(query, source, parent, node, argumentIndex, position, 0);
    }
    if (kind == 0 || kind == 2 || kind == 4 || kind == 5) {
      if (!bAppendTextRange(query, source, node, position)) return 0;
    }
  }
  return bWriteNodeBoundary(query, source, parent, node, argumentIndex, position, 0);
}

std::uint32_t CSqlRewriter::nChildOperandType(std::uint32_t parentKind, std::uint32_t index, std::uint32_t count,
                                              std::uint32_t operandContext, bool* clear,
                                              IHostExpressionNode* parent) {
  *clear = false;
  const std::uint32_t comparedType = m_bHasCompared ? m_compared.nType : 0;
  switch (parentKind) {
    case 98:
      if (index == 0) return bIsDateOrTimeColumn(comparedType) ? 0u : std::uint32_t{COLUMN_TYPE_DATETIME};
      if (index == 1) {
        *clear = true;
        return COLUMN_TYPE_INT32;
      }
      break;
    case 1:
    case 3:
      // The first operand keeps the caller's type; the others have none.
      return 0;
    case 59:
    case 70:
      *clear = index == 1;
      return 0;
    case 74:
    case 107:
      *clear = true;
      return 0;
    case 94:
    case 106:
      *clear = (index % 2) == 1 && index + 1 == count;
      return 0;
    case 99:
      if (index == 0) return COLUMN_TYPE_DATE;
      break;
    case 100:
      return COLUMN_TYPE_DATE;
    case 101:
      if (index == 0) return COLUMN_TYPE_DATE;
      if (index == 1) *clear = true;
      break;
    case 102:
      if (index == 0) return COLUMN_TYPE_DATETIME;
      *clear = true;
      return COLUMN_TYPE_TEXT;
    default:
      break;
  }
  if (*clear || !m_bHasCompared) return 0;
  return nGetDateTimeOperandMode(operandContext, comparedType, parentKind, parent);
}

// ---- columns ----

int CSqlRewriter::bWriteColumnNode(CQueryDescription* query, std::uint32_t context, const char16_t* source,
                                   IHostExpressionNode* parent, IHostExpressionNode* node,
                                   std::uint32_t operandContext, std::uint64_t* position,
                                   IHostItemDescription* item) {
  (void)context;
  (void)item;
  m_compared = SComparedColumn{};
  m_bHasCompared = false;
  const std::uint64_t start = node->nGetTextStart();
  const std::uint64_t end = node->nGetTextEnd();
  if (!bCopySource(source, position, start)) return 0;

  const char16_t* table = node->pszGetTableName();
  const char16_t* name = node->pszGetColumnName();
  IHostItemDescription* found = pFindQueryItem(query, table, name);
  if (found && found->nGetItemKind() == 1) {
    // Items defined through each other form a loop of any length: once more items are being expanded than the
    // query has, one of them is being expanded inside itself.
    if (found == m_pCurrentComputedItem || m_nComputedDepth >= query->nGetItemCount()) {
      RaiseModuleError(m_pHolder, 0, ERROR_UNIT_REWRITER, REWRITER_POINT_SELF_REFERENCE, m_pConnection, nullptr,
                       REWRITER_ERROR_SELF_REFERENCE, found->pszGetName());
      return 0;
    }
    if (!bWriteComputedItem(query, found, operandContext, source, m_nParameterSwitch != 0)) return 0;
    SkipSource(source, position, end);
    return 1;
  }

  // The name as the statement resolves it where its items describe the columns written; elsewhere (and for the
  // DELETE of the dialect that names no items there) as written. The table qualifier stays as written: the
  // statement's FROM clause declares it.
  const bool resolves = m_nStatementKind == SQL_STATEMENT_SELECT || m_nStatementKind == SQL_STATEMENT_INSERT ||
                        (m_nStatementKind == SQL_STATEMENT_DELETE && !(m_nDialectFlags & 1));
  const char16_t* origin = found && resolves ? found->pszGetOrigin() : nullptr;
  const char16_t* written = origin && origin[0] ? origin : name;
  m_strColumnName = written;
  if (written && written[0] && m_strColumnName.bIsEmpty()) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  FillComparedColumn(found, m_compared);
  if (!found && m_pColumnSet) {
    m_compared.pColumn = m_pColumnSet->pFindColumnByName(name);
    if (m_compared.pColumn) m_compared.nType = m_compared.pColumn->nGetType();
  }
  m_compared.pszTable = table;
  m_compared.pszColumn = m_strColumnName.pszGet();
  m_bHasCompared = found || m_compared.pColumn;

  CTString operand;
  if (!bWriteOperand(m_compared, operandContext, nKindOf(parent), node, operand)) return 0;
  if (!nAppendText(operand.pszGet())) return 0;
  SkipSource(source, position, end);
  // The outer-join mark follows the name directly: a blank before it is no longer read as the mark by every server.
  if (node->bHasOuterJoinMark() && !nAppendText(u"(+)")) return 0;
  return 1;
}

// The query's item of that column, by table and column name (case ignored): a plain item by its name or the column
// it comes from, in the table named as written or through the aliases either way; without a table, an item of any
// table, and an expression item by its name.
IHostItemDescription* CSqlRewriter::pFindQueryItem(CQueryDescription* query, const char16_t* table,
                                                   const char16_t* name) {
  if (!query || !name || !name[0]) return nullptr;
  const bool anyTable = !table || !table[0];
  const char16_t* resolved = anyTable ? nullptr : query->pResolveAlias(table);
  for (std::uint32_t i = 0; i < query->nGetItemCount(); ++i) {
    IHostItemDescription* candidate = query->pGetItem(i);
    if (!candidate) continue;
    if (candidate->nGetItemKind() != 0) {
      if (anyTable && bSameText(candidate->pszGetName(), name)) return candidate;
      continue;
    }
    const char16_t* origin = candidate->pszGetOrigin();
    if (!bSameText(candidate->pszGetName(), name) && !(origin && origin[0] && bSameText(origin, name))) continue;
    if (anyTable) return candidate;
    const char16_t* file = candidate->pszGetFileName();
    if (bSameText(file, table) || (resolved && bSameText(file, resolved))) return candidate;
    const char16_t* fileResolved = query->pResolveAlias(file);
    if (fileResolved && bSameText(fileResolved, table)) return candidate;
  }
  return nullptr;
}

int CSqlRewriter::bWriteComputedItem(CQueryDescription* query, IHostItemDescription* item,
                                     std::uint32_t operandContext, const char16_t* source, bool withOffset) {
  IHostExpressionNode* expression = item->piGetExpression();
  if (!expression) return 1;
  CSqlRewriter* sub = pNewArgumentRewriter();
  if (!sub) return 0;
  // Without an offset the constants stay in the text as the program wrote them.
  if (!withOffset) sub->SetParameterSwitch(0);
  sub->SetCurrentComputedItem(item);
  sub->m_nComputedDepth = m_nComputedDepth + 1;
  std::uint64_t subPosition = nWithinSource(source, expression->nGetTextStart());
  int result = sub->bWriteExpression(query, SQL_SEGMENT_WHERE, source, nullptr, expression, operandContext,
                                     &subPosition, item, 0, 0);
  if (result) result = sub->bCopySource(source, &subPosition, expression->nGetTextEnd());
  if (result) result = bTakeSubRewriterText(sub, withOffset);
  sub->nRelease();
  return result;
}

// The sub-rewriter's text at the end of the statement text, and with parameters its parameters (the same leaves,
// placed after the old length: the sub-rewriter goes with this write).
int CSqlRewriter::bTakeSubRewriterText(CSqlRewriter* sub, bool withParameters) {
  if (withParameters) return bAppendRewriter(sub, 0);
  return nAppendText(sub->m_strStatement.pszGet());
}

// A name quoting left short or empty, or a qualifier without its table, would write another column into the
// statement, so the name fails instead. A name without its table is written alone: a bare "." before it would not
// be SQL.
int CSqlRewriter::bQuoteQualifiedName(const char16_t* table, const char16_t* column, CTString& out, bool exactCase) {
  out.Empty();
  bool whole = true;
  if (table && table[0]) {
    if (!m_pConnection) {
      out = table;
    } else if (!m_pConnection->nQuoteDottedName(m_pHolder, table, out)) {
      return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
    }
    whole = bQuotedWhole(m_pConnection, table, out, true);
    const std::size_t length = out.nGetLength();
    out.Append(u".");
    whole = whole && out.nGetLength() == length + 1;
  }
  CTString name;
  if (!m_pConnection) {
    name = column;
  } else if (!m_pConnection->nQuoteIdentifier(m_pHolder, column ? column : u"", name, exactCase)) {
    return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  }
  const std::size_t qualifier = out.nGetLength();
  out.Append(name.pszGet());
  if (!whole || !bQuotedWhole(m_pConnection, column, name, false) ||
      out.nGetLength() != qualifier + name.nGetLength()) {
    return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  }
  return 1;
}

int CSqlRewriter::bWriteOperand(const SComparedColumn& column, std::uint32_t context, std::uint32_t operatorCode,
                                IHostExpressionNode* node, CTString& out) {
  CTString qualified;
  if (!bQuoteQualifiedName(column.pszTable, column.pszColumn, qualified, column.bExactCase)) return 0;
  if (nGetDateTimeOperandMode(context, column.nType, operatorCode, node) != 0) {
    if (!bWriteOperandAsText(column, qualified.pszGet(), out)) return 0;
    // The text form holds the name: one shorter than the name lost it.
    return out.nGetLength() >= qualified.nGetLength() ? 1 : bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  }
  out = static_cast<CTString&&>(qualified);
  return 1;
}

int CSqlRewriter::bWriteOperandAsText(const SComparedColumn& column, const char16_t* qualifiedName, CTString& out) {
  CColumnDescriptor* descriptor = column.pColumn ? column.pColumn->pGetDescriptorNoRef() : nullptr;
  // The digit form needs the column's size; an item without a column of the statement stays a plain name.
  if (!descriptor || !m_pConnection) {
    out = qualifiedName;
    return 1;
  }
  CSqlTextBuffer text(CODE_PAGE_UTF16, 0, 64);
  m_pConnection->nDateTimePartExpression(m_pHolder, &text, qualifiedName, *descriptor);
  out = text.pszGetWide();
  return 1;
}

std::uint32_t CSqlRewriter::nGetDateTimeOperandMode(std::uint32_t context, std::uint32_t columnType,
                                                    std::uint32_t operatorCode, IHostExpressionNode*) {
  if (operatorCode == SQL_NODE_IS_NULL) return 0;
  if (columnType != COLUMN_TYPE_TIME && columnType != COLUMN_TYPE_DATE && columnType != COLUMN_TYPE_DATETIME) return 0;
  const bool timeAsText = columnType == COLUMN_TYPE_TIME && !(m_pConnection && m_pConnection->bTimeOperandFlag());
  if (timeAsText && context >= SQL_CONTEXT_WHERE && context <= SQL_CONTEXT_ORDER_BY) return 2;
  if (context != SQL_CONTEXT_WHERE && context != SQL_CONTEXT_HAVING) return 0;
  const std::uint32_t op = operatorCode;
  if (op == SQL_NODE_LIKE || (op >= 15 && op <= 21) || (op >= 42 && op <= 46) || (op >= 50 && op <= 57)) return 2;
  if (timeAsText && ((op >= SQL_NODE_EQ && op <= SQL_NODE_GE) || op == 22 || op == 23)) return 2;
  return 0;
}

// ---- comparisons with an empty date ----

int CSqlRewriter::bRewriteEmptyComparison(const char16_t* source, IHostExpressionNode* node, std::uint64_t* position,
                                          std::uint64_t outputStart, std::uint64_t sourceStart, int* rewritten) {
  *rewritten = 0;
  const std::uint32_t kind = node->nGetFunctionCode();
  if (!bIsComparison(kind) || node->nGetChildCount() < 2) return 1;
  IHostExpressionNode* constant = node->piGetChild(1);
  if (!constant || constant->nGetFunctionCode() != SQL_NODE_VALUE) return 1;
  if (!bIsDateOrTimeColumn(m_compared.nType) || !bIsEmptyConstant(constant->pGetConstant())) return 1;

  // The text after the comparison: the node's own span, else its constant's.
  const std::uint64_t end = node->nGetTextEnd() ? node->nGetTextEnd() : constant->nGetTextEnd();
  // An empty value sorts first where NULL does: "<" matches nothing, ">=" everything; last, the other way round.
  const bool emptyFirst = m_pConnection && m_pConnection->bNullsSortFirst();
  const char16_t* replacement = nullptr;
  const char16_t* whole = nullptr;
  switch (kind) {
    case SQL_NODE_EQ: replacement = u" IS NULL "; break;
    case SQL_NODE_NE: replacement = u" IS NOT NULL "; break;
    case SQL_NODE_LT: emptyFirst ? (whole = u" 0=1 ") : (replacement = u" IS NOT NULL "); break;
    case SQL_NODE_LE: emptyFirst ? (replacement = u" IS NULL ") : (whole = u" 1=1 "); break;
    case SQL_NODE_GT: emptyFirst ? (replacement = u" IS NOT NULL ") : (whole = u" 0=1 "); break;
    default: emptyFirst ? (whole = u" 1=1 ") : (replacement = u" IS NULL "); break;
  }
  if (whole) {
    TruncateText(outputStart);
    std::uint64_t again = sourceStart;
    IHostExpressionNode* first = node->piGetChild(0);
    if (!bCopySource(source, &again, first ? first->nGetTextStart() : sourceStart)) return 0;
    if (!nAppendText(whole)) return 0;
  } else if (!nAppendText(replacement)) {
    return 0;
  }
  SkipSource(source, position, end);
  m_bHasCompared = false;
  *rewritten = 1;
  return 1;
}

// ---- constants ----

int CSqlRewriter::bMakesParameter(CQueryDescription* query, std::uint32_t context) {
  if (!m_nParameterSwitch) return 0;
  if (context == SQL_CONTEXT_SELECT && (m_nDialectFlags & 2) && query && query->nGetKind() == 1) return 0;
  return 1;
}

int CSqlRewriter::bWriteValueNode(CQueryDescription* query, const char16_t* source, IHostExpressionNode* parent,
                                  IHostExpressionNode* node, std::uint32_t operandContext, std::uint64_t* position,
                                  std::uint32_t operandType) {
  const std::uint64_t end = node->nGetTextEnd();
  if (!bMakesParameter(query, operandContext)) return bCopySource(source, position, end);
  if (!bCopySource(source, position, node->nGetTextStart())) return 0;

  CHostValue empty;
  CHostValue* value = node->pGetConstant();
  if (!value) {
    empty.SetNull(true);
    value = &empty;
  }
  const std::uint32_t parentKind = nKindOf(parent);
  std::uint32_t kind = parentKind;
  std::uint32_t flags = LEAF_FLAG_TEXT_CONSTANT;
  char16_t escape = 0;
  if (parentKind == SQL_NODE_LIKE && bIsTextValueType(value->nGetType())) {
    flags = LIKE_PARAMETER_FLAGS;
    escape = parent->nGetLikeEscape();
  }
  const std::uint32_t before = m_lists.nGetParameterCount();
  if (!nAddTextParameter(*value, kind, flags, nullptr, escape)) {
    if (m_pHolder && !m_pHolder->bHasError()) bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
    return 0;
  }
  SkipSource(source, position, end);
  CValueLeaf* leaf = m_lists.pGetParameter(before);
  CHostValue kept;
  if (leaf->pGetFieldValue() && leaf->pGetFieldValue()->bGetValue(&kept) && !bCopiedWhole(*value, kept)) {
    return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  }
  if (operandType == 0 && m_bHasCompared && m_compared.pColumn) leaf->SetColumn(m_compared.pColumn);
  return bConvertComparedValue(query, parent, node, operandContext, m_bHasCompared ? &m_compared : nullptr, leaf,
                               operandType);
}

int CSqlRewriter::bConvertComparedValue(CQueryDescription*, IHostExpressionNode* parent, IHostExpressionNode*,
                                        std::uint32_t context, const SComparedColumn* column, CValueLeaf* parameter,
                                        std::uint32_t operandType) {
  CFieldValue* field = parameter ? parameter->pGetFieldValue() : nullptr;
  if (!field) return 1;
  std::uint32_t type = operandType;
  if (type == 0) {
    if (!column) return 1;
    // Elsewhere (an assigned value) the value is fitted to its column's own type: a text assigned to a number
    // column goes as that number, not as a text the server may refuse.
    type = column->nType;
    if ((context == SQL_CONTEXT_WHERE || context == SQL_CONTEXT_HAVING) && parent) {
      const std::uint32_t mode = nGetDateTimeOperandMode(context, column->nType, nKindOf(parent), parent);
      if (mode) type = mode;
    }
  }
  CHostValue value;
  if (!field->bGetValue(&value) || value.bIsNull() || value.nGetType() == HOST_TYPE_EMPTY) return 1;
  const std::uint32_t valueType = value.nGetType();
  const std::uint32_t columnType = column ? column->nType : 0;
  const std::uint32_t parentKind = nKindOf(parent);

  // A date or time written as text for "=" and "<>" is sent as the column's digits.
  if ((parentKind == SQL_NODE_EQ || parentKind == SQL_NODE_NE) && bIsTextValueType(valueType) &&
      (columnType == COLUMN_TYPE_HOST_DATE || columnType == COLUMN_TYPE_TIME || columnType == COLUMN_TYPE_DATETIME)) {
    const std::uint32_t width =
        columnType == COLUMN_TYPE_DATETIME ? 17 : (column->pColumn ? column->pColumn->nGetDataLength() : 0);
    std::size_t length = 0;
    CHostValue digits;
    digits.Assign(value);
    if (width && !bHostFailed(static_cast<std::uint32_t>(digits.nGetLength(&length))) && length < width &&
        !bHostFailed(static_cast<std::uint32_t>(digits.nConvert(static_cast<std::uint8_t>(
            nHostTypeOfColumnType(columnType, -1))))) &&
        !bHostFailed(static_cast<std::uint32_t>(digits.nConvert(HOST_TYPE_TEXT)))) {
      const char16_t* text = nullptr;
      digits.nGetWideText(&text);
      std::u16string fitted(text ? text : u"");
      fitted.resize(width, u'0');
      field->InitType(HOST_TYPE_TEXT, 0);
      return field->bSetWideText(fitted.c_str(), fitted.size());
    }
  }
  // A number compared with a time as text: its digits fitted to the column's.
  if (type == 2 && columnType == COLUMN_TYPE_TIME && column->pColumn &&
      (valueType == 8 || valueType == 9 || valueType == 25 || valueType == 129)) {
    CHostValue digits;
    digits.Assign(value);
    if (bHostFailed(static_cast<std::uint32_t>(digits.nConvert(HOST_TYPE_TEXT)))) return 1;
    const char16_t* text = nullptr;
    digits.nGetWideText(&text);
    std::u16string fitted(text ? text : u"");
    const std::uint32_t n = column->pColumn->nGetDataLength();
    const std::size_t width = n > 0 ? n - 1 : 0;
    if (fitted.size() > width) {
      fitted.resize(width);
    } else if (fitted.empty() || fitted.back() != u'%') {
      fitted.resize(width, u'0');
    }
    field->InitType(HOST_TYPE_TEXT, 0);
    return field->bSetWideText(fitted.c_str(), fitted.size());
  }
  if (!m_pConnection) return 1;
  CHostValue converted;
  converted.Assign(value);
  if (!m_pConnection->bTypesCompatible(m_pHolder, &converted, type, 0, 0)) return 0;
  if (converted.nGetType() == valueType) return 1;
  field->InitType(converted.nGetType(), 0);
  return field->bSetValue(converted);
}

// ---- parameters into the final text ----

int CSqlRewriter::bWriteValueLeaf(CValueLeaf* leaf, std::uint32_t mode, std::uint64_t* position) {
  const std::uint32_t flags = leaf->nGetFlags();
  // A value held in a file is read first; a file that cannot be read is a failure, not a literal of its name.
  if ((flags & LEAF_FLAG_FILE_VALUE) && !leaf->bLoadFileValue()) {
    if (m_pHolder && !m_pHolder->bHasError()) bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
    return 0;
  }
  // Only a type chosen here is a column type for the literal; the leaf's own kind is its node's.
  std::uint32_t columnType = 0;
  if (leaf->nGetKind() == 0 && (flags & LEAF_FLAG_FILE_VALUE)) {
    columnType = (flags & LEAF_FLAG_FILE_AS_TEXT) ? COLUMN_TYPE_TEXT_MEMO : COLUMN_TYPE_BINARY_MEMO;
  }
  if (flags & LEAF_FLAG_PATTERN_VALUE) {
    return bWritePatternValue(leaf, leaf->pGetFieldValue(), columnType, mode, position);
  }
  return bWriteValueLiteral(leaf, leaf->pGetFieldValue(), columnType, mode);
}

int CSqlRewriter::bLoadNamedValue(CValueLeaf* leaf) {
  if (!leaf->bIsNamed() || !m_pQuery) return 1;
  IHostQueryAnalysis* host = m_pQuery->pGetHostDescription();
  IHostDeclaredParameters* declared = host ? host->piGetDeclaredParameters() : nullptr;
  const int loaded = m_lists.bLoadParameterValue(leaf, declared);
  if (declared) declared->Release();
  if (host) host->Release();
  return loaded;
}

int CSqlRewriter::bWriteValueLiteral(CValueLeaf* leaf, CFieldValue* value, std::uint32_t kind, std::uint32_t) {
  if (!bLoadNamedValue(leaf)) return 0;
  CHostValue host;
  if (!value || !value->bGetValue(&host)) host.SetNull(true);
  if (value && !bCopiedWhole(value->Value(), host)) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  CSqlTextBuffer literal(CODE_PAGE_UTF16, m_pConnection ? m_pConnection->nGetAnsiCodePage() : 0, 64);
  if (!bReserveLiteral(literal, host)) return 0;
  if (!m_pConnection || !m_pConnection->bValueToSqlLiteral(m_pHolder, &literal, &host, nLiteralColumnType(kind), 0)) {
    return 0;
  }
  return bLiteralWhole(literal, host) && bAppendFinal(literal.pszGetWide());
}

int CSqlRewriter::bReserveLiteral(CSqlTextBuffer& literal, CHostValue& value) {
  std::size_t size = 0;
  if (value.bIsNull() || bHostFailed(static_cast<std::uint32_t>(value.nGetDataSize(&size)))) size = 0;
  // Each byte at most two units (escaped, or a binary value's digits), then a prefix, quotes and a suffix.
  const std::uint64_t room = 2 * static_cast<std::uint64_t>(size) + 64;
  static constexpr char16_t kBlanks[] = u"                                                                ";
  constexpr std::uint64_t kStep = sizeof(kBlanks) / sizeof(char16_t) - 1;
  for (std::uint64_t filled = 0; filled < room; filled += kStep) literal.Append(kBlanks, static_cast<std::int64_t>(kStep));
  std::uint64_t length = 0;
  literal.pszGetWide(&length);
  literal.Truncate(0);
  return length >= room ? 1 : bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
}

int CSqlRewriter::bLiteralWhole(CSqlTextBuffer& literal, CHostValue& value) {
  // Every literal has a character at least (NULL, ''), a wide text its units between two quotes at least: a
  // shorter one lost a part the connection could not copy.
  std::uint64_t floor = 1;
  std::size_t size = 0;
  if (!value.bIsNull() && bIsWideTextType(value.nGetType()) &&
      !bHostFailed(static_cast<std::uint32_t>(value.nGetDataSize(&size)))) {
    floor = size / sizeof(char16_t) + 2;
  }
  std::uint64_t length = 0;
  literal.pszGetWide(&length);
  return length >= floor ? 1 : bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
}

int CSqlRewriter::bWritePatternValue(CValueLeaf* leaf, CFieldValue* value, std::uint32_t kind, std::uint32_t mode,
                                     std::uint64_t* position) {
  const char16_t escape = leaf->nGetEscapeChar() ? leaf->nGetEscapeChar() : u'\\';
  CHostValue pattern;
  if (!value || !value->bGetValue(&pattern)) pattern.SetNull(true);
  if (value && !bCopiedWhole(value->Value(), pattern)) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  if (pattern.bIsNull()) return bWriteLikePattern(leaf, pattern, kind, mode, position);
  const bool wide = bIsWideTextType(pattern.nGetType());
  if (!wide && !bIsNarrowTextType(pattern.nGetType()) &&
      bHostFailed(static_cast<std::uint32_t>(pattern.nConvert(HOST_TYPE_TEXT_BUFFER)))) {
    return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  }
  CHostValue text;
  text.Assign(pattern);
  if (!bCopiedWhole(pattern, text)) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  const char16_t* source = nullptr;
  if (bHostFailed(static_cast<std::uint32_t>(text.nConvert(HOST_TYPE_TEXT))) ||
      bHostFailed(static_cast<std::uint32_t>(text.nGetWideText(&source)))) {
    return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  }
  // The program's pattern keeps its wildcards; only a lone escape character is doubled. Quotes are the literal
  // builder's to double.
  SHeapText normal(pszNormalizeLikePatternW(source ? source : u"", escape));
  if (!normal.psz) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  CHostValue escaped;
  escaped.SetType(HOST_TYPE_TEXT);
  if (bHostFailed(static_cast<std::uint32_t>(escaped.Set(normal.psz))) ||
      (!wide && bHostFailed(static_cast<std::uint32_t>(escaped.nConvert(HOST_TYPE_ASTRING))))) {
    return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  }
  if (kind == 0) kind = wide ? COLUMN_TYPE_WTEXT : COLUMN_TYPE_TEXT;
  return bWriteLikePattern(leaf, escaped, kind, mode, position);
}

int CSqlRewriter::bWriteLikePattern(CValueLeaf* leaf, CHostValue& pattern, std::uint32_t kind, std::uint32_t,
                                    std::uint64_t* position) {
  CSqlTextBuffer literal(CODE_PAGE_UTF16, m_pConnection ? m_pConnection->nGetAnsiCodePage() : 0, 64);
  if (!bReserveLiteral(literal, pattern)) return 0;
  if (!m_pConnection ||
      !m_pConnection->bValueToSqlLiteral(m_pHolder, &literal, &pattern, nLiteralColumnType(kind), 0) ||
      !bLiteralWhole(literal, pattern)) {
    return 0;
  }
  const char16_t escape = leaf->nGetEscapeChar() ? leaf->nGetEscapeChar() : u'\\';
  const std::uint32_t dbmsKind = m_pConnection->nGetDbmsKind();
  std::u16string text = literal.pszGetWide();
  if (dbmsKind == 3) {
    SHeapText expanded(pszExpandLikePatternW(text.c_str(), u"%", kBracketOpen, kBracketClose, u"_", kBracketOpen,
                                             kBracketClose, escape));
    if (!expanded.psz) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
    text = expanded.psz;
  } else if (dbmsKind == 2) {
    text = ReplaceUnit(text.c_str(), u'[', u"[[]");
  }
  if (!bAppendFinal(text.c_str())) return 0;
  const char16_t* written = nullptr;
  CHostValue wideText;
  wideText.Assign(pattern);
  if (bHostFailed(static_cast<std::uint32_t>(wideText.nConvert(HOST_TYPE_TEXT))) ||
      bHostFailed(static_cast<std::uint32_t>(wideText.nGetWideText(&written)))) {
    written = nullptr;
  }
  return bWriteLikeEscape(leaf, written ? written : u"", position);
}

int CSqlRewriter::bWriteLikeEscape(CValueLeaf* leaf, const char16_t* patternText, std::uint64_t* position) {
  const char16_t* statement = m_strStatement.pszGet();
  const std::uint64_t at = position && *position < m_strStatement.nGetLength() ? *position : m_strStatement.nGetLength();
  std::size_t after = 0;
  const bool programEscape = bKeywordFollows(statement, at, u"ESCAPE", &after);
  const std::uint32_t dbmsKind = m_pConnection ? m_pConnection->nGetDbmsKind() : 0;
  if (dbmsKind == 3) {
    // This dialect has no ESCAPE clause: the program's is dropped with its quoted character.
    if (programEscape && position) {
      const CTString rest(statement + after);
      const std::uint32_t quote = rest.nFind(u"'", 0);
      if (quote != 0xFFFFFFFF) *position = std::min<std::uint64_t>(after + quote + 3, m_strStatement.nGetLength());
    }
    return 1;
  }
  const char16_t escape = leaf->nGetEscapeChar() ? leaf->nGetEscapeChar() : u'\\';
  if (programEscape || !CTString(patternText).nGetLength()) return 1;
  bool used = false;
  for (const char16_t* c = patternText; *c; ++c) used = used || *c == escape;
  if (!used) return 1;
  if (escape != u'\\') {
    const char16_t clause[] = {u' ', u'E', u'S', u'C', u'A', u'P', u'E', u' ', u'\'', escape, u'\'', 0};
    return bAppendFinal(clause);
  }
  if (dbmsKind == 5) return 1;
  return bAppendFinal(dbmsKind == 6 || dbmsKind == 12 ? u" ESCAPE '\\\\'" : u" ESCAPE '\\'");
}

int CSqlRewriter::bEscapeLikeText(CTString& buffer, const char16_t* text) {
  if (!text) text = u"";
  const std::size_t length = std::char_traits<char16_t>::length(text);
  char16_t* room = pszAllocW(2 * length + 6);
  if (!room) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  room[0] = 0;
  // The value is data: its "%", "_" and escape characters are escaped; quotes stay single, the literal writer or
  // the bind carries them as they are.
  EscapeLikePatternW(text, room, 0, 0, 0, 1, 1, 1, 1, 1, u'\'', u'\\');
  buffer.Attach(room);
  return 1;
}
