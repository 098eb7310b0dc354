// The clause generators of CSqlRewriter: each replaces one recognised span of the program's text (select list,
// table reference, WHERE and HAVING, GROUP BY, ORDER BY, markers, join condition, assignments) by the dialect's
// text, and the column writers they share. A generator copies the source up to its part, writes it and leaves the
// source position past it; the translation copies on from there.
#include <exception>
#include <string>

#include "engine/record/column.h"
#include "engine/record/column_types.h"
#include "engine/record/query_description.h"
#include "engine/record/table_description.h"
#include "foundation/host_locale.h"
#include "foundation/module_errors.h"
#include "foundation/x_error.h"
#include "host/host_objects.h"
#include "host/host_value.h"
#include "sql/connection.h"
#include "sql/rewriter/sql_rewriter.h"
#include "sql/rewriter/value_leaf.h"

namespace {

inline constexpr std::uint32_t NO_ITEM_INDEX = 0xFFFFFFFF;

bool bIsEmptyText(const char16_t* text) { return !text || !*text; }

bool bSameText(const char16_t* a, const char16_t* b) {
  // Compared in place: a copy that could not be made would read as another name.
  return !bIsEmptyText(a) && !bIsEmptyText(b) && nHostCompareNoCase(a, b) == 0;
}

bool bIsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

std::uint64_t nTextLength(const char16_t* text) { return text ? std::char_traits<char16_t>::length(text) : 0; }

// The statement analysis behind a query description, referenced for the scope.
class CHostStatement {
 public:
  explicit CHostStatement(CQueryDescription* query) : m_p(query ? query->pGetHostDescription() : nullptr) {}
  CHostStatement(const CHostStatement&) = delete;
  CHostStatement& operator=(const CHostStatement&) = delete;
  ~CHostStatement() {
    if (m_p) m_p->Release();
  }
  IHostQueryAnalysis* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }

 private:
  IHostQueryAnalysis* m_p;
};

bool bIsExpressionItem(IHostItemDescription* item) { return item->nGetItemKind() != 0; }

// The column a plain item stands for: the table's column it comes from, else its own name.
const char16_t* pszItemColumnName(IHostItemDescription* item) {
  const char16_t* origin = item->pszGetOrigin();
  return bIsEmptyText(origin) ? item->pszGetName() : origin;
}

// Whether the text at the position is the word (case ignored) followed by a separator or the end.
bool bWordAt(const char16_t* text, const char16_t* word) {
  std::size_t i = 0;
  for (; word[i]; ++i) {
    char16_t c = text[i];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    if (c != word[i]) return false;
  }
  return !text[i] || bIsBlank(text[i]) || bIsSqlSeparator(text[i]);
}

// The text a failure carries: a text the driver threw, a standard exception's message, else nothing.
CTString FailureText() {
  CTString text;
  try {
    throw;
  } catch (const CTString& thrown) {
    text = thrown;
  } catch (const std::exception& e) {
    text.AssignFromAnsi(e.what());
  } catch (...) {
  }
  return text;
}

}  // namespace

// ---- helpers shared by the generators ----

void CSqlRewriter::FillComparedColumn(IHostItemDescription* item, SComparedColumn& out) {
  out = SComparedColumn{};
  if (!item) return;
  out.pItem = item;
  out.pColumn = m_pColumnSet ? m_pColumnSet->pFindColumnByName(item->pszGetName()) : nullptr;
  out.nType = out.pColumn ? out.pColumn->nGetType() : nHostTypeToInternalType(item->nGetItemTypeCode());
  out.pszTable = item->pszGetFileName();
  out.pszColumn = pszItemColumnName(item);
}

// A name written for a non-empty one: empty only when it could not be copied.
int CSqlRewriter::bHasText(const char16_t* name, const CTString& written) {
  return bIsEmptyText(name) || !written.bIsEmpty() ? 1 : bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
}

// ---- column writers ----

int CSqlRewriter::bWriteComparedColumn(IHostItemDescription* item, IHostExpressionNode* valueNode, CTString& out) {
  SComparedColumn column;
  FillComparedColumn(item, column);
  const std::uint32_t operatorCode = valueNode ? valueNode->nGetFunctionCode() : 0;
  return bWriteOperand(column, SQL_CONTEXT_WHERE, operatorCode, valueNode, out);
}

int CSqlRewriter::bWriteListColumn(std::uint64_t*, const char16_t*, CQueryDescription*, IHostItemDescription* item,
                                   CTString& out, int qualify, std::uint32_t) {
  if (bIsExpressionItem(item)) {
    const char16_t* alias = item->pszGetAlias();
    const char16_t* name = bIsEmptyText(alias) ? item->pszGetName() : alias;
    m_pConnection->nQuoteIdentifier(m_pHolder, name, out);
    return bIsEmptyText(name) || !out.bIsEmpty() ? 1 : bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  }
  return bQuoteQualifiedName(qualify ? item->pszGetFileName() : nullptr, pszItemColumnName(item), out);
}

int CSqlRewriter::bWriteTableName(CQueryDescription* query, IHostQueryFile* table, CTString& out) {
  const char16_t* name = table->pszGetName();
  // Asked of the runtime itself, not through the description's lookup that hides failures: a table whose name
  // cannot be resolved must not be written as if it had been.
  CHostStatement host(query);
  const char16_t* resolved = host ? host->pszResolveAlias(name) : nullptr;
  // Quoting fails only for lack of memory.
  if (m_pConnection->nQuoteDottedName(m_pHolder, bIsEmptyText(resolved) ? name : resolved, out)) return 1;
  return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
}

int CSqlRewriter::bWriteTableAlias(CQueryDescription*, IHostQueryFile* table, CTString& out) {
  if (m_pConnection->nQuoteDottedName(m_pHolder, table->pszGetAlias(), out)) return 1;
  return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
}

// ---- select list (code 1) ----

int CSqlRewriter::bWriteSelectList(std::uint64_t* position, const char16_t* source, CQueryDescription* query,
                                   const CSqlSegment&) {
  const std::uint32_t kind = query->nGetKind();
  const int qualify = kind == 1 || kind == 2;
  CTString column;

  // "SELECT *" names every item of the query.
  if (bAllowsStarExpansion() && *position == 0) {
    const std::int64_t select = nFindLeadingKeyword(source, u"SELECT");
    if (select >= 0) {
      std::uint64_t star = static_cast<std::uint64_t>(select) + 6;
      while (bIsBlank(source[star])) ++star;
      if (source[star] == u'*' && (!source[star + 1] || bIsSqlSeparator(source[star + 1]))) {
        if (!bCopySource(source, position, star)) return 0;
        *position = star + 1;
        for (std::uint32_t i = 0; i < query->nGetItemCount(); ++i) {
          std::uint64_t itemPosition = *position;
          if (!bWriteListColumn(&itemPosition, source, query, query->pGetItem(i), column, qualify,
                                SQL_CONTEXT_SELECT)) {
            return 0;
          }
          if ((i > 0 && !nAppendText(u",")) || !nAppendText(column.pszGet())) return 0;
        }
        return m_strExtraSelect.bIsEmpty() || (nAppendText(u",") && nAppendText(m_strExtraSelect.pszGet()));
      }
    }
  }

  // "AS" and a name after the position: the name is written as the dialect quotes it.
  const auto bWriteAlias = [&]() -> int {
    const std::int64_t as = nFindLeadingKeyword(source + *position, u"AS");
    if (as < 0 || !bWordAt(source + *position + as, u"AS")) return 1;
    std::uint64_t start = *position + static_cast<std::uint64_t>(as) + 2;
    while (source[start] && (bIsBlank(source[start]) || bIsSqlSeparator(source[start]))) ++start;
    CTString alias;
    const std::uint64_t end = nReadIdentifier(source, static_cast<std::size_t>(start), alias);
    if (end <= start) return 1;
    CTString quoted;
    m_pConnection->nQuoteIdentifier(m_pHolder, alias.pszGet(), quoted);
    // A name that could not be copied or quoted would leave the alias out of the list.
    const bool quotedName = source[start] == u'"' || source[start] == u'[';
    if ((alias.bIsEmpty() && !quotedName) || quoted.nGetLength() < alias.nGetLength()) {
      return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
    }
    if (!bCopySource(source, position, start) || !nAppendText(quoted.pszGet())) return 0;
    *position = end;
    return 1;
  };

  for (std::uint32_t i = 0; i < query->nGetItemCount(); ++i) {
    IHostItemDescription* item = query->pGetItem(i);
    if (bIsExpressionItem(item)) {
      if (!bWriteExpression(query, SQL_CONTEXT_SELECT, source, nullptr, item->piGetExpression(), SQL_CONTEXT_SELECT,
                            position, item, 0, 0)) {
        return 0;
      }
      continue;
    }
    const std::uint32_t start = item->nGetTextStart();
    const std::uint32_t end = item->nGetTextEnd();
    if (start == 0 && end == 0) continue;
    if (!bWriteAlias() || !bCopySource(source, position, start)) return 0;
    SkipSource(source, position, end);
    if (!bWriteListColumn(position, source, query, item, column, qualify, SQL_CONTEXT_SELECT) ||
        !nAppendText(column.pszGet())) {
      return 0;
    }
  }
  if (!bWriteAlias()) return 0;

  if (m_strExtraSelect.bIsEmpty()) return 1;
  CHostStatement host(query);
  std::uint64_t listEnd = host ? host->nGetSelectListEnd() : 0;
  if (listEnd == 1) {
    // The runtime gives 1 for a list it did not measure: the list is the "*".
    const CTString text(source);
    const std::uint32_t star = text.nFind(u"*", 0);
    listEnd = star == 0xFFFFFFFF ? *position : star + 1;
  }
  if (listEnd > nTextLength(source)) listEnd = nTextLength(source);
  return bCopySource(source, position, listEnd) && nAppendText(u",") && nAppendText(m_strExtraSelect.pszGet());
}

// ---- table reference (code 2) ----

int CSqlRewriter::bWriteTableReference(std::uint64_t* position, const char16_t* source, CQueryDescription* query,
                                       const CSqlSegment& segment) {
  // Only a SELECT takes the record-lock option; that server kind refuses it from its version 10 on.
  const bool lockHint = query->nGetKind() == 1 &&
                        !(m_pConnection->nGetDbmsKind() == 8 && m_pConnection->nGetServerMajor() >= 10);
  for (IHostQueryFile* file = query->pNextFile(true); file; file = query->pNextFile(false)) {
    const char16_t* name = nullptr;
    try {
      if (file->nGetTextStart() != segment.m_nStart || file->nGetTextEnd() != segment.m_nEnd + 1) continue;
      name = file->pszGetName();
      CTString text;
      if (!bCopySource(source, position, segment.m_nStart) || !bWriteTableName(query, file, text) ||
          !bHasText(name, text) || !nAppendText(text.pszGet())) {
        return 0;
      }
      SkipSource(source, position, segment.m_nEnd + 1);
      const std::uint32_t aliasStart = file->nGetAliasStart();
      const std::uint32_t aliasEnd = file->nGetAliasEnd();
      if (aliasStart != 0 || aliasEnd != 0) {
        // Oracle takes a table's alias only without AS (ORA-00933): the word goes, the blank before it stays.
        if (m_pConnection->nGetDbmsKind() == DBMS_KIND_ORACLE && *position < aliasStart) {
          std::uint64_t at = *position;
          while (at < aliasStart && bIsBlank(source[at])) ++at;
          std::uint64_t after = at + 2;
          if (at > *position && after < aliasStart && (source[at] == u'A' || source[at] == u'a') &&
              (source[at + 1] == u'S' || source[at + 1] == u's') && bIsBlank(source[after])) {
            while (after < aliasStart && bIsBlank(source[after])) ++after;
            if (after == aliasStart) {
              if (!bCopySource(source, position, at)) return 0;
              SkipSource(source, position, aliasStart);
            }
          }
        }
        if (!bCopySource(source, position, aliasStart) || !bWriteTableAlias(query, file, text) ||
            !bHasText(file->pszGetAlias(), text) || !nAppendText(text.pszGet())) {
          return 0;
        }
        SkipSource(source, position, aliasEnd);
      }
      if (lockHint && !bAppendRecordLockHint()) return 0;
    } catch (...) {
      // A table left out of its FROM list would change what the statement reads: the statement fails instead.
      const CTString failure = FailureText();
      RaiseModuleError(m_pHolder, 0, ERROR_UNIT_REWRITER, REWRITER_POINT_TABLE_REFERENCE, m_pConnection, nullptr,
                       REWRITER_ERROR_TABLE_REFERENCE, name ? name : u"", failure.pszGet());
      return 0;
    }
  }
  return 1;
}

// ---- WHERE and HAVING (codes 3 and 5) ----

int CSqlRewriter::bWriteCondition(std::uint64_t* position, const char16_t* source, CQueryDescription* query,
                                  const CSqlSegment& segment, CSqlRewriter* filter) {
  CHostStatement host(query);
  if (!host) return 1;
  const bool where = segment.m_nCode == SQL_SEGMENT_WHERE;
  const std::uint32_t context = where ? SQL_CONTEXT_WHERE : SQL_CONTEXT_HAVING;
  const std::uint64_t clauseStart = where ? host->nGetWhereStart() : host->nGetHavingStart();
  const std::uint64_t clauseEnd = where ? host->nGetWhereEnd() : host->nGetHavingEnd();
  const bool hasClause = clauseStart > 0;
  if (!where || (filter && filter->bIsEmpty())) filter = nullptr;

  if (filter) {
    if (hasClause) {
      if (!bCopySource(source, position, clauseStart + 5) || !nAppendText(u" (")) return 0;
    } else {
      if (!bCopySource(source, position, segment.m_nStart) || !nAppendText(u" WHERE ")) return 0;
    }
  }
  IHostExpressionNode* tree = where ? host->piGetWhereTree() : host->piGetHavingTree();
  if (tree && !bWriteExpression(query, context, source, nullptr, tree, context, position, nullptr, 0, 0)) return 0;
  if (hasClause && !bCopySource(source, position, clauseEnd)) return 0;
  if (!filter) return 1;

  // The filter's leaves are copies: the filter keeps its own for the next statement it is handed to.
  if ((hasClause && !nAppendText(u") AND (")) || !bAppendRewriter(filter, 1) ||
      !nAppendText(hasClause ? u")" : u" ")) {
    return 0;
  }
  return m_lists.bCombineColumnFlags(filter->Lists().pGetColumnFlags());
}

int CSqlRewriter::bAppendQueryCondition(CQueryDescription* query) {
  CHostStatement host(query);
  if (!host) return 1;
  IHostExpressionNode* tree = host->piGetWhereTree();
  const std::uint64_t start = host->nGetWhereStart();
  if (!tree || start == 0) return 1;
  // Only the condition: from its own text to the end of its clause.
  const char16_t* source = query->nGetHostQueryKind();
  std::uint64_t position = nWithinSource(source, tree->nGetTextStart());
  const CSqlSegment segment(SQL_SEGMENT_WHERE, start, host->nGetWhereEnd() - 1);
  return bWriteCondition(&position, source, query, segment, nullptr);
}

// ---- GROUP BY (code 4) ----

int CSqlRewriter::bWriteGroupBy(std::uint64_t* position, const char16_t* source, CQueryDescription* query,
                                const CSqlSegment&) {
  const std::uint32_t kind = query->nGetKind();
  const int qualify = kind == 1 || kind == 2;
  for (CDescriptorSnapshot* group = query->pNextDescriptor(true); group; group = query->pNextDescriptor(false)) {
    if (!bCopySource(source, position, group->nGetTextStart())) return 0;
    const char16_t* table = group->pszGetSecondText();
    const char16_t* columnName = group->pszGetThirdText();
    IHostItemDescription* item = pFindQueryItem(query, table, columnName);
    CTString text;
    if (item && bIsExpressionItem(item)) {
      if (!bWriteComputedItem(query, item, SQL_CONTEXT_GROUP_BY, source, true)) return 0;
    } else if (item) {
      if (!bWriteListColumn(position, source, query, item, text, qualify, SQL_CONTEXT_GROUP_BY) ||
          !nAppendText(text.pszGet())) {
        return 0;
      }
    } else if (!bQuoteQualifiedName(table, columnName, text) || !nAppendText(text.pszGet())) {
      return 0;
    }
    SkipSource(source, position, group->nGetTextEnd());
  }
  return 1;
}

// ---- ORDER BY (code 6) ----

int CSqlRewriter::bWriteOrderBy(std::uint64_t* position, const char16_t* source, CQueryDescription* query,
                                int keepOrder, int directionSwitch) {
  const std::uint64_t length = nTextLength(source);
  if (!query) return bCopySource(source, position, length);
  if (!keepOrder) {
    CHostStatement host(query);
    const std::uint64_t start = host ? host->nGetOrderByStart() : length;
    if (!bCopySource(source, position, start)) return 0;
    SkipSource(source, position, length);
    return 1;
  }
  const std::uint32_t kind = query->nGetKind();
  const int qualify = kind == 1 || kind == 2;
  const std::int32_t limit = m_pConnection->nGetMaxIdentifierLength();
  const bool byPosition = m_pConnection->bOrdersByPosition() != 0;
  std::int32_t written = 0;
  CTString text;
  for (IHostKeyLink* link = query->pNextLink(true); link; link = query->pNextLink(false)) {
    if (written >= limit) {
      // The dialect sorts on no more items: the rest of the list is left out.
      SkipSource(source, position, length);
      break;
    }
    ++written;
    const std::uint64_t start = link->nGetTextStart();
    const std::uint64_t end = link->nGetTextEnd();
    if (!bCopySource(source, position, start)) return 0;
    const std::uint32_t index = link->nGetItemIndex();
    IHostItemDescription* item = index == NO_ITEM_INDEX ? nullptr : query->pGetItem(index);
    const std::uint32_t itemKind = item ? item->nGetItemKind() : 0;
    if (item && itemKind == 0) {
      if (!bWriteListColumn(position, source, query, item, text, qualify, SQL_CONTEXT_ORDER_BY) ||
          !nAppendText(text.pszGet())) {
        return 0;
      }
      if (query->bIsAutomaticIdentifierItem(item)) m_nClauseState |= SQL_CLAUSE_ORDERS_BY_AUTO_ID;
      if (query->bIsUniqueKeyItem(item)) m_nClauseState |= SQL_CLAUSE_ORDERS_BY_UNIQUE_KEY;
      SkipSource(source, position, end);
    } else if (item && (itemKind == 1 || itemKind == 2) && byPosition) {
      text.Format(u"%u", index + 1);
      if (!nAppendText(text.pszGet())) return 0;
      SkipSource(source, position, end);
    } else if (item && !byPosition) {
      // The item's own text: an expression's tree span, else the item's span, else the sort item as written.
      IHostExpressionNode* tree = bIsExpressionItem(item) ? item->piGetExpression() : nullptr;
      std::uint64_t from = tree ? tree->nGetTextStart() : item->nGetTextStart();
      std::uint64_t to = tree ? tree->nGetTextEnd() : item->nGetTextEnd();
      if (to <= from || to > length) {
        from = start;
        to = end;
      }
      from = nWithinSource(source, from);
      to = nWithinSource(source, to);
      if (to > from && !nAppendText(source + from, static_cast<std::int64_t>(to - from))) return 0;
      SkipSource(source, position, end);
    } else if (!bCopySource(source, position, end)) {
      return 0;
    }
    if (directionSwitch) continue;

    // Reading backwards: every direction turns round; an item without one was ascending.
    std::uint64_t after = *position;
    while (bIsBlank(source[after])) ++after;
    if (bWordAt(source + after, u"ASC")) {
      if (!nAppendText(u" DESC")) return 0;
      SkipSource(source, position, after + 3);
    } else if (bWordAt(source + after, u"DESC")) {
      if (!nAppendText(u" ASC")) return 0;
      SkipSource(source, position, after + 4);
    } else if ((after >= length || source[after] == u',') && !nAppendText(u" DESC")) {
      return 0;
    }
  }
  return 1;
}

int CSqlRewriter::bAppendOrderBy(int directionSwitch) {
  CHostStatement host(m_pQuery);
  if (!host || host->nGetOrderByStart() == 0) return 1;
  const char16_t* source = m_pQuery->nGetHostQueryKind();
  std::uint64_t position = nWithinSource(source, host->nGetOrderByStart());
  const std::uint64_t length = m_strStatement.nGetLength();
  // The clause is appended to the text built so far; it must not run into its last word.
  if (length > 0 && !bIsBlank(m_strStatement.nGetAt(length - 1)) && !nAppendText(u" ")) return 0;
  return bWriteOrderBy(&position, source, m_pQuery, 1, directionSwitch) &&
         bCopySource(source, &position, nTextLength(source));
}

// ---- join condition (code 8) ----

int CSqlRewriter::bWriteJoin(std::uint64_t* position, const char16_t* source, CQueryDescription* query,
                             const CSqlSegment& segment) {
  CHostStatement host(query);
  if (!host) return 1;
  for (IHostStatementJoin* join = host->piWalkJoins(1); join; join = host->piWalkJoins(0)) {
    if (join->nGetConditionStart() != segment.m_nStart || join->nGetConditionEnd() != segment.m_nEnd + 1) continue;
    return bWriteExpression(query, SQL_CONTEXT_JOIN, source, nullptr, join->piGetCondition(), SQL_CONTEXT_JOIN,
                            position, nullptr, 0, 0) &&
           bCopySource(source, position, segment.m_nEnd + 1);
  }
  return 1;
}

// ---- host parameter markers and column references (code 7, slot 6) ----

int CSqlRewriter::bAppendHostParameters(CQueryDescription* query, const char16_t* source, std::uint64_t* position) {
  // Inside a translation the writer stops where the next segment starts: the translation writes that one and the
  // text after it. The marks behind the position were written with the span that holds them.
  const bool translating = m_nMarkersEnd != SQL_MARKERS_TO_END;
  const std::uint64_t stop = translating ? nWithinSource(source, m_nMarkersEnd) : nTextLength(source);
  CHostStatement host(query);
  if (host) {
    IHostStatementMark* marker = host->piWalkMarkers(1);
    IHostStatementMark* reference = host->piWalkColumnReferences(1);
    while (marker || reference) {
      const bool isMarker = marker && (!reference || marker->nGetPosition() <= reference->nGetPosition());
      IHostStatementMark* mark = isMarker ? marker : reference;
      if (isMarker) {
        marker = host->piWalkMarkers(0);
      } else {
        reference = host->piWalkColumnReferences(0);
      }
      // A mark past the text, or longer than what is left of it, reaches no further than its end (in a
      // translation no further than the next segment).
      const std::uint64_t at = nWithinSource(source, mark->nGetPosition());
      if (translating && at >= stop) break;
      if (translating && at < *position) continue;
      std::uint64_t end = nWithinSource(source, at + mark->nGetLength());
      if (translating && end > stop) end = stop;
      if (!bCopySource(source, position, at)) return 0;
      if (isMarker) {
        // The marker as the program wrote it is the value its parameter carries until the statement binds one.
        const CTString written(source + at, static_cast<std::size_t>(end - at));
        CHostValue value;
        value.SetType(HOST_TYPE_TEXT);
        if (value.Set(written.pszGet()) != 0) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
        if (!nAddTextParameter(value, LEAF_KIND_NONE, mark->nGetKind(), nullptr, 0)) return 0;
      } else {
        const char16_t* table = mark->pszGetTableText();
        const char16_t* resolved = query->pResolveAlias(table);
        CTString text;
        if (!bQuoteQualifiedName(bIsEmptyText(resolved) ? table : resolved, mark->pszGetColumnText(), text) ||
            !nAppendText(text.pszGet())) {
          return 0;
        }
      }
      SkipSource(source, position, end);
    }
  }
  return translating ? 1 : bCopySource(source, position, stop);
}

// ---- assignments (code 10) ----

int CSqlRewriter::bWriteSetColumn(std::uint64_t* position, const char16_t* source, CQueryDescription* query,
                                  IHostExpressionNode* column) {
  if (!bCopySource(source, position, column->nGetTextStart())) return 0;
  const char16_t* table = column->pszGetTableName();
  const std::uint32_t dbms = m_pConnection->nGetDbmsKind();
  // These dialects refuse a qualified column on the left of an UPDATE's SET.
  const bool bare = m_nStatementKind == SQL_STATEMENT_UPDATE && (dbms == 6 || dbms == 8 || dbms == 13);
  CTString resolvedTable;
  if (!bIsEmptyText(table) && !bare) {
    // A table of the statement by its alias keeps the alias, by its name the name; else the runtime's reading.
    for (IHostQueryFile* file = query->pNextFile(true); file && resolvedTable.bIsEmpty();
         file = query->pNextFile(false)) {
      if (bSameText(file->pszGetAlias(), table)) resolvedTable = table;
      else if (bSameText(file->pszGetName(), table)) resolvedTable = file->pszGetName();
    }
    if (resolvedTable.bIsEmpty()) {
      const char16_t* resolved = query->pResolveAlias(table);
      resolvedTable = bIsEmptyText(resolved) ? table : resolved;
    }
  }
  CTString text;
  if (!bQuoteQualifiedName(bare ? nullptr : resolvedTable.pszGet(), column->pszGetColumnName(), text) ||
      !nAppendText(text.pszGet()) || (column->bHasOuterJoinMark() && !nAppendText(u"(+)"))) {
    return 0;
  }
  SkipSource(source, position, column->nGetTextEnd());
  return 1;
}

int CSqlRewriter::bWriteAssignments(std::uint64_t* position, const char16_t* source, CQueryDescription* query,
                                    const CSqlSegment& segment) {
  const bool insert = query->nGetKind() == 4;
  for (IHostQueryPart* part = insert ? query->pNextKind4Entry(true) : query->pNextKind3Entry(true); part;
       part = insert ? query->pNextKind4Entry(false) : query->pNextKind3Entry(false)) {
    auto* entry = static_cast<IHostAssignment*>(part);
    IHostExpressionNode* column = entry->piGetColumn();
    if (!insert && column && !bWriteSetColumn(position, source, query, column)) return 0;
    // The value is written for the column it is assigned to.
    IHostItemDescription* item =
        column ? pFindQueryItem(query, column->pszGetTableName(), column->pszGetColumnName()) : nullptr;
    FillComparedColumn(item, m_compared);
    if (!item && column) {
      m_compared.pszTable = column->pszGetTableName();
      m_compared.pszColumn = column->pszGetColumnName();
    }
    m_bHasCompared = item != nullptr;
    const int written = bWriteExpression(query, SQL_CONTEXT_ASSIGNMENT, source, nullptr, entry->piGetValue(),
                                         SQL_CONTEXT_ASSIGNMENT, position, item, 0, 0);
    m_bHasCompared = false;
    m_compared = SComparedColumn{};
    if (!written) return 0;
  }
  return bCopySource(source, position, segment.m_nEnd + 1);
}
