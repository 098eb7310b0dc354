#include "oracle/oracle_sql_rewriter.h"

#include <string>

#include "engine/record/column.h"
#include "engine/record/column_types.h"
#include "engine/record/query_description.h"
#include "engine/record/table_description.h"
#include "engine/values/field_value.h"
#include "foundation/code_pages.h"
#include "foundation/error_holder.h"
#include "foundation/sql_text_buffer.h"
#include "host/host_objects.h"
#include "host/host_value.h"
#include "sql/connection.h"
#include "sql/rewriter/rewriter_clones.h"
#include "sql/rewriter/value_leaf.h"

namespace {

constexpr const char16_t* kCursorMarker = u"%CURSOR";
// Oracle 10 reads LIKE on an NCLOB and its ESCAPE character as they are; older servers want national text.
constexpr std::int32_t kNationalLobServer = 10;

bool bIsWideText(std::uint32_t hostType) { return hostType == 16 || hostType == 20 || hostType == 81 || hostType == 110; }
bool bIsNarrowText(std::uint32_t hostType) {
  return hostType == 17 || hostType == 18 || hostType == 19 || (hostType >= 21 && hostType <= 23) || hostType == 134;
}

char16_t UpperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// After blanks, whether the text goes on with the keyword (case ignored); the position after it when it does.
bool bKeywordAt(const char16_t* text, std::size_t position, const char16_t* keyword, std::size_t* after) {
  if (!text) return false;
  while (text[position] == u' ' || text[position] == u'\t' || text[position] == u'\r' || text[position] == u'\n') {
    ++position;
  }
  std::size_t i = 0;
  for (; keyword[i]; ++i) {
    if (UpperAscii(text[position + i]) != keyword[i]) return false;
  }
  if (after) *after = position + i;
  return true;
}

// The text of a value as UTF-16 (empty when it has none).
std::u16string WideTextOf(CHostValue& value) {
  if (value.bIsNull()) return u"";
  CHostValue text;
  text.Assign(value);
  const char16_t* out = nullptr;
  if (bHostFailed(static_cast<std::uint32_t>(text.nConvert(HOST_TYPE_TEXT))) ||
      bHostFailed(static_cast<std::uint32_t>(text.nGetWideText(&out))) || !out) {
    return u"";
  }
  return out;
}

// The column type a constant of the runtime stands for where the writers ask: texts, dates and times by their own
// types; any other value (a number) as a 32-bit integer, 0 for no value.
std::uint32_t nColumnTypeOfValue(CHostValue& value) {
  const std::uint32_t type = value.nGetType();
  if (type == HOST_TYPE_EMPTY) return 0;
  if (bIsWideText(type)) return COLUMN_TYPE_WTEXT;
  if (bIsNarrowText(type)) return COLUMN_TYPE_TEXT;
  if (type == HOST_TYPE_WDATE || type == HOST_TYPE_ADATE) return COLUMN_TYPE_DATE;
  if (type == HOST_TYPE_WTIME || type == HOST_TYPE_ATIME) return COLUMN_TYPE_TIME;
  if (type == HOST_TYPE_DATETIME) return COLUMN_TYPE_DATETIME;
  return COLUMN_TYPE_INT32;
}

bool bIsTextColumn(std::uint32_t type) {
  return type == COLUMN_TYPE_TEXT || type == COLUMN_TYPE_TEXT_MEMO || type == COLUMN_TYPE_WTEXT ||
         type == COLUMN_TYPE_WTEXT_MEMO;
}

}  // namespace

COracleSqlRewriter::~COracleSqlRewriter() = default;

void COracleSqlRewriter::ReleaseComparedTypes() {
  while (m_patternLeaves.nGetCount() > 0) {
    ReleaseArrayElement(&m_patternLeaves, m_patternLeaves.pGetObject(0));
    m_patternLeaves.RemoveAt(0);
  }
  m_patternTypes.clear();
}

std::uint32_t COracleSqlRewriter::nComparedType(CValueLeaf* leaf) const {
  for (std::uint32_t i = 0; i < m_patternLeaves.nGetCount() && i < m_patternTypes.size(); ++i) {
    if (m_patternLeaves.pGetObject(i) == leaf) return m_patternTypes[i];
  }
  return 0;
}

int COracleSqlRewriter::bConvertComparedValue(CQueryDescription* query, IHostExpressionNode* parent,
                                              IHostExpressionNode* valueNode, std::uint32_t context,
                                              const SComparedColumn* column, CValueLeaf* parameter,
                                              std::uint32_t operandType) {
  if (parameter && column && column->nType && (parameter->nGetFlags() & LEAF_FLAG_PATTERN_VALUE) &&
      !parameter->pGetColumn()) {
    // Without the note the clause would follow the pattern's own type: a Unicode pattern on a VARCHAR2 column
    // would get the national clause. A note that cannot be kept only loses that refinement.
    parameter->AddRef();
    bool kept = m_patternLeaves.Add(parameter) != 0;
    if (kept) {
      try {
        m_patternTypes.push_back(column->nType);
      } catch (...) {
        m_patternLeaves.RemoveAt(m_patternLeaves.nGetCount() - 1);
        kept = false;
      }
    }
    if (!kept) parameter->nRelease();
  }
  return CSqlRewriter::bConvertComparedValue(query, parent, valueNode, context, column, parameter, operandType);
}

void COracleSqlRewriter::ReleaseBoundValues() {
  while (m_boundValues.nGetCount() > 0) {
    ReleaseArrayElement(&m_boundValues, m_boundValues.pGetObject(0));
    m_boundValues.RemoveAt(0);
  }
}

bool COracleSqlRewriter::bOldServer() const {
  return m_pConnection && m_pConnection->nGetServerMajor() < kNationalLobServer;
}

CValueLeaf* COracleSqlRewriter::pGetBoundValue(std::uint32_t i) const {
  return i < m_boundValues.nGetCount() ? static_cast<CValueLeaf*>(m_boundValues.pGetObject(i)) : nullptr;
}

int COracleSqlRewriter::Reset(int keepParameters) {
  m_pLikeNode = nullptr;
  if (keepParameters == 0) {
    ReleaseBoundValues();
    ReleaseComparedTypes();
    m_lobColumns.RemoveAll();
  }
  return CSqlRewriter::Reset(keepParameters);
}

int COracleSqlRewriter::bBuildFinalText(std::uint32_t mode) {
  // A final text is built whole each time: its markers are numbered anew, from 1.
  ReleaseBoundValues();
  return CSqlRewriter::bBuildFinalText(mode);
}

std::int32_t COracleSqlRewriter::nBindNumber(CValueLeaf* leaf) {
  // The same leaf written twice (a statement appended to itself shares its leaves) is one bind: one number.
  for (std::uint32_t i = 0; i < m_boundValues.nGetCount(); ++i) {
    if (m_boundValues.pGetObject(i) == leaf) return static_cast<std::int32_t>(i + 1);
  }
  leaf->AddRef();
  if (!m_boundValues.Add(leaf)) {
    leaf->nRelease();
    return -1;
  }
  return static_cast<std::int32_t>(m_boundValues.nGetCount());
}

// ---- values ----

int COracleSqlRewriter::bWriteValueLiteral(CValueLeaf* leaf, CFieldValue* value, std::uint32_t kind,
                                           std::uint32_t mode) {
  if (!leaf) return 0;
  // A named parameter takes the value its statement declares, as the base writer's literal would.
  if (!bLoadNamedValue(leaf)) return 0;
  CHostValue held;
  if (!value || !value->bGetValue(&held)) held.SetNull(true);
  // Only a NULL of no type stays in the text: a typed one is bound, the server then knows its type.
  if (kind == 0 && mode == 0 && held.bIsNull() && held.nGetType() == HOST_TYPE_EMPTY) return bAppendFinal(u"NULL");
  CTString marker(u":");
  if (leaf->bIsNamed() && leaf->pszGetName()[0]) {
    marker.Append(leaf->pszGetName());
  } else {
    const std::int32_t number = nBindNumber(leaf);
    if (number < 0) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
    const CTString digits(TSTRING_FORMAT, u"%d", number);
    marker.Append(digits.pszGet());
  }
  marker.Append(u" ");
  if (marker.nGetLength() < 3) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  return bAppendFinal(marker.pszGet());
}

// ---- LIKE ----

void COracleSqlRewriter::WriteDialectEscape(CValueLeaf*, std::uint32_t columnType) {
  if (!bIsTextColumn(columnType)) return;
  const bool national =
      columnType == COLUMN_TYPE_WTEXT || (columnType == COLUMN_TYPE_WTEXT_MEMO && bOldServer());
  nAppendText(national ? u" ESCAPE N'\\'" : u" ESCAPE '\\'");
}

int COracleSqlRewriter::bWriteLikePattern(CValueLeaf* leaf, CHostValue& pattern, std::uint32_t kind,
                                          std::uint32_t mode, std::uint64_t* position) {
  const char16_t escape = leaf->nGetEscapeChar() ? leaf->nGetEscapeChar() : u'\\';
  const char16_t* statement = m_strStatement.pszGet();
  const std::uint64_t at =
      position && *position < m_strStatement.nGetLength() ? *position : m_strStatement.nGetLength();
  std::size_t afterKeyword = 0;
  const bool ownEscape = bKeywordAt(statement, static_cast<std::size_t>(at), u"ESCAPE", &afterKeyword);

  const std::u16string text = WideTextOf(pattern);
  const bool needed = !ownEscape && escape == u'\\' && text.find(u'\\') != std::u16string::npos;
  // The column compared decides the clause's form; without one, the type the pattern was written for.
  std::uint32_t columnType = leaf->pGetColumn() ? leaf->pGetColumn()->nGetType() : nComparedType(leaf);
  if (columnType == 0) columnType = kind;
  const bool national = columnType == COLUMN_TYPE_WTEXT ||
                        (columnType == COLUMN_TYPE_WTEXT_MEMO && bOldServer() && (ownEscape || needed));

  if (kind == COLUMN_TYPE_WTEXT || kind == COLUMN_TYPE_WTEXT_MEMO || bIsWideText(pattern.nGetType())) {
    // Unicode text goes as a bind, in the leaf: no literal of the session's code page can lose a character of it.
    if (!pattern.bIsNull() && bHostFailed(static_cast<std::uint32_t>(leaf->nSetValue(pattern)))) {
      return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
    }
    if (!bWriteValueLiteral(leaf, leaf->pGetFieldValue(), kind ? kind : COLUMN_TYPE_WTEXT, mode)) return 0;
  } else {
    CSqlTextBuffer literal(CODE_PAGE_UTF16, m_pConnection ? m_pConnection->nGetAnsiCodePage() : 0, 64);
    const std::uint32_t literalType = bIsNarrowText(pattern.nGetType()) || kind == 0 ? COLUMN_TYPE_TEXT : kind;
    if (!m_pConnection || !m_pConnection->bValueToSqlLiteral(m_pHolder, &literal, &pattern, literalType, 0)) {
      return 0;
    }
    const char16_t* written = literal.pszGetWide();
    if (!written || !*written) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
    if (!bAppendFinal(written)) return 0;
  }

  if (ownEscape && national) {
    // The program's ESCAPE '<c>' is rewritten in its national form: its text is skipped and written anew.
    const CTString rest(statement + afterKeyword);
    const std::uint32_t quote = rest.nFind(u"'", 0);
    if (quote != 0xFFFFFFFF && position) {
      const std::uint64_t end = afterKeyword + quote + 3;
      *position = end < m_strStatement.nGetLength() ? end : m_strStatement.nGetLength();
    }
    const char16_t clause[] = {u' ', u'E', u'S', u'C', u'A', u'P', u'E', u' ', u'N', u'\'', escape, u'\'', 0};
    return bAppendFinal(clause);
  }
  if (needed) return bAppendFinal(national ? u" ESCAPE N'\\'" : u" ESCAPE '\\'");
  return 1;
}

int COracleSqlRewriter::bWriteLikeEscape(CValueLeaf*, const char16_t*, std::uint64_t*) { return 1; }

// ---- operands ----

std::uint32_t COracleSqlRewriter::nGetDateTimeOperandMode(std::uint32_t context, std::uint32_t columnType,
                                                          std::uint32_t operatorCode, IHostExpressionNode* node) {
  if (operatorCode == SQL_NODE_IS_NULL) return 0;
  if (columnType == COLUMN_TYPE_TIME || columnType == COLUMN_TYPE_DATE || columnType == COLUMN_TYPE_DATETIME) {
    return CSqlRewriter::nGetDateTimeOperandMode(context, columnType, operatorCode, node);
  }
  if (columnType != COLUMN_TYPE_WTEXT_MEMO || operatorCode != SQL_NODE_LIKE || !bOldServer()) return 0;
  if (context != SQL_CONTEXT_WHERE && context != SQL_CONTEXT_HAVING) return 0;
  // The NCLOB is read as national text exactly where its LIKE gets an ESCAPE clause of its own (the program's, or
  // the one a "\" in the pattern needs); a pattern that is no constant may need one.
  // Only inside an expression is the LIKE known (a key condition asks without a node): the node itself, or the
  // LIKE around the column being written.
  if (!node) return 0;
  IHostExpressionNode* like = node->nGetFunctionCode() == SQL_NODE_LIKE ? node : m_pLikeNode;
  if (!like) return 0;
  const char16_t escape = like->nGetLikeEscape();
  if (escape != 0 && escape != u'\\') return COLUMN_TYPE_WTEXT_MEMO;
  IHostExpressionNode* patternNode = like->nGetChildCount() > 1 ? like->piGetChild(1) : nullptr;
  CHostValue* constant = patternNode ? patternNode->pGetConstant() : nullptr;
  if (!constant) return COLUMN_TYPE_WTEXT_MEMO;
  return WideTextOf(*constant).find(u'\\') != std::u16string::npos ? std::uint32_t{COLUMN_TYPE_WTEXT_MEMO} : 0u;
}

int COracleSqlRewriter::bWriteOperandAsText(const SComparedColumn& column, const char16_t* qualifiedName,
                                            CTString& out) {
  if (column.nType != COLUMN_TYPE_WTEXT_MEMO) return CSqlRewriter::bWriteOperandAsText(column, qualifiedName, out);
  out = u"TO_NCHAR(";
  out.Append(qualifiedName);
  out.Append(u")");
  return 1;
}

void COracleSqlRewriter::WriteDateTimeLiteral(CTString&, IHostExpressionNode* parent, IHostExpressionNode* node,
                                              std::uint64_t*, int before) {
  if (before && parent) m_pLikeNode = parent->nGetFunctionCode() == SQL_NODE_LIKE ? parent : nullptr;
  if (!node || !parent || !nIsFunctionExpressionCode(node->nGetFunctionCode())) return;
  CHostValue* constant = node->pGetConstant();
  const std::uint32_t type = constant ? nColumnTypeOfValue(*constant) : 0;
  if (type != COLUMN_TYPE_TIME && type != COLUMN_TYPE_DATE && type != COLUMN_TYPE_DATETIME) return;
  // The function's date reaches the string function around it as the digits the program compares, not in the
  // session's date format.
  if (CSqlRewriter::nGetDateTimeOperandMode(SQL_CONTEXT_WHERE, type, parent->nGetFunctionCode(), node) == 0) return;
  if (before) {
    nAppendText(u"TO_CHAR( ");
    return;
  }
  const char16_t* format =
      type == COLUMN_TYPE_TIME ? u"HH24MI" : type == COLUMN_TYPE_DATE ? u"YYYYMMDD" : u"YYYYMMDDHH24MISS";
  nAppendText(u", '");
  nAppendText(format);
  nAppendText(u"') ");
}

int COracleSqlRewriter::bAppendTextRange(CQueryDescription* query, const char16_t* source, IHostExpressionNode* node,
                                         std::uint64_t* position) {
  if (!node || node->nGetFunctionCode() != 0 || node->nGetChildCount() < 2) return 1;
  IHostExpressionNode* left = node->piGetChild(0);
  IHostExpressionNode* right = node->piGetChild(1);
  if (!left || !right) return 1;
  const std::uint64_t leftEnd = left->nGetTextEnd();
  const std::uint64_t rightStart = right->nGetTextStart();
  if (leftEnd < 1 || rightStart < 1 || rightStart <= leftEnd) return 1;
  // The operand's column type: a column's as the statement knows it, a constant's from its runtime type.
  auto typeOf = [&](IHostExpressionNode* operand) -> std::uint32_t {
    for (int depth = 0; operand && depth < 64; ++depth) {
      const std::uint32_t code = operand->nGetFunctionCode();
      if (code == SQL_NODE_COLUMN) {
        SComparedColumn column;
        FillComparedColumn(pFindQueryItem(query, operand->pszGetTableName(), operand->pszGetColumnName()), column);
        if (!column.nType && m_pColumnSet) {
          CColumn* found = m_pColumnSet->pFindColumnByName(operand->pszGetColumnName());
          if (found) column.nType = found->nGetType();
        }
        return column.nType;
      }
      if (code == SQL_NODE_VALUE) {
        CHostValue* constant = operand->pGetConstant();
        return constant ? nColumnTypeOfValue(*constant) : 0;
      }
      // A sum of texts is a text: its type is its first operand's.
      if (code != 0 || operand->nGetChildCount() == 0) return 0;
      operand = operand->piGetChild(0);
    }
    return 0;
  };
  const std::uint32_t leftType = typeOf(left);
  // The column types of the runtime's text items (its codes 2, 23, 29, 39 and 40): text, fixed text, CLOB, national
  // text and NCLOB. A RAW operand is no text.
  const bool text = leftType == COLUMN_TYPE_TEXT || leftType == COLUMN_TYPE_FIXED_TEXT ||
                    leftType == COLUMN_TYPE_TEXT_MEMO || leftType == COLUMN_TYPE_WTEXT ||
                    leftType == COLUMN_TYPE_WTEXT_MEMO;
  if (!text || typeOf(right) == 0) return 1;
  if (!bCopySource(source, position, leftEnd) || !nAppendText(u"||")) return 0;
  SkipSource(source, position, rightStart);
  return 1;
}

int COracleSqlRewriter::bIsLobCompare(IHostExpressionNode* parent, IHostExpressionNode* child) {
  if (!parent || !child) return 0;
  const std::uint32_t code = child->nGetFunctionCode();
  return (code == 80 || code == 89) && parent->nGetFunctionCode() == 1 ? 1 : 0;
}

// ---- named parameters ----

const char16_t* COracleSqlRewriter::pszGetParameterPrefix(char16_t* buffer, std::size_t size) {
  return pszCopyBounded(buffer, size, u":");
}

const char16_t* COracleSqlRewriter::pszGetParameterSuffix(char16_t* buffer, std::size_t size) {
  return pszCopyBounded(buffer, size, u"");
}

int COracleSqlRewriter::bIsCursorParameter(const char16_t* name, CTString& out) {
  const CTString whole(name ? name : u"");
  const std::uint32_t percent = whole.nFind(u"%", 0);
  if (percent != 0xFFFFFFFF && CTString(whole.pszGet() + percent).bEqualsNoCase(kCursorMarker)) {
    out = CTString(whole.pszGet(), percent);
    return 1;
  }
  out = whole;
  return 0;
}

// ---- copies ----

int COracleSqlRewriter::bCopyFrom(COracleSqlRewriter* source, CHashTable& cloneMap, std::uint32_t flags) {
  return CSqlRewriter::CopyFrom(source, cloneMap, flags);
}

CSqlRewriter* COracleSqlRewriter::pClone(CHashTable& cloneMap, std::uint32_t flags) {
  return pCloneCaught<COracleSqlRewriter>(
      [&](COracleSqlRewriter* copy) { return copy->bCopyFrom(this, cloneMap, flags); });
}
