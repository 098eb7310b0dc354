// The statement object's SQL texts: CREATE TABLE, SELECT with its ORDER BY and key completion, DROP TABLE, COUNT,
// INSERT, UPDATE, DELETE and the WHERE that designates the record written. Text goes piece by piece into the
// statement; record values never go in as text but as parameters of their columns, which the statement writes at
// their places. Every builder answers 0 at the first piece that could not be written, the statement keeping what was
// written so far.
#include <new>
#include <string>
#include <vector>

#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/query_description.h"
#include "engine/record/record.h"
#include "engine/record/record_buffer.h"
#include "engine/record/table_description.h"
#include "engine/table/cursor.h"
#include "engine/table/table.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/x_error.h"
#include "host/host_objects.h"
#include "host/host_value.h"
#include "sql/conditions/key_condition.h"
#include "sql/connection.h"
#include "sql/rewriter/sql_rewriter.h"

namespace {

constexpr std::uint32_t DBMS_KIND_8 = 8;
constexpr std::uint32_t ROW_ID_ITEM_KIND = 3;

bool bSameColumn(CColumn* a, CColumn* b) {
  if (a == b) return true;
  const CTString nameA(a->pszGetName());
  const CTString tableA(a->pszGetTableName());
  return nameA.bEquals(b->pszGetName()) && tableA.bEquals(b->pszGetTableName());
}

struct SOrderItem {
  CColumn* pColumn;
  int bAscending;
};

}  // namespace

CSqlRewriter* CCursor::pNewTableStatement() {
  CSqlRewriter* statement = m_pTable ? m_pTable->pNewSqlStatement() : nullptr;
  if (!statement) {
    bOutOfMemory();
    return nullptr;
  }
  statement->AddRef();
  statement->SetColumnSet(m_pColumnSet);
  return statement;
}

// ---- CREATE TABLE ----

int CCursor::bBuildCreateTable(CSqlRewriter* statement) {
  if (!statement) statement = m_pStatement;
  if (!statement || !m_pTable) return 0;
  if (!statement->nAppendText(u"CREATE TABLE ") || !statement->nAppendText(m_pTable->pszGetSqlName()) ||
      !statement->nAppendText(u"( ")) {
    return 0;
  }
  bool first = true;
  const std::uint32_t count = m_pColumnSet ? m_pColumnSet->nGetColumnCount() : 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    CColumn* column = m_pColumnSet->pGetColumn(i);
    // A composite key is an index over columns of the table, no column of its own.
    if (!column || column->pGetDescriptorNoRef()->bIsCompositeKey()) continue;
    if (!first && !statement->nAppendText(u", ")) return 0;
    if (!bBuildColumnDefinition(column, statement)) return 0;
    first = false;
  }
  return statement->nAppendText(u" )");
}

int CCursor::bBuildColumnDefinition(CColumn* column, CSqlRewriter* text) {
  const char16_t* name = column->pszGetSqlName(true);
  if (!name) return bOutOfMemory();
  if (!text->nAppendText(name) || !text->nAppendText(u" ") || !bAppendColumnType(column, text)) {
    return 0;
  }
  // The blank goes in only when a constraint follows it.
  const std::uint64_t before = text->GetStatementText().nGetLength();
  if (!text->nAppendText(u" ")) return 0;
  const std::uint64_t blank = text->GetStatementText().nGetLength();
  if (!bAppendColumnConstraints(column, text)) return 0;
  if (text->GetStatementText().nGetLength() == blank) text->TruncateText(before);
  return 1;
}

int CCursor::bAppendColumnType(CColumn* column, CSqlRewriter* text) {
  CConnection* connection = pGetConnection();
  if (!connection) return 0;
  CTString type;
  if (!connection->pszGetNativeTypeName(m_pErrorHolder, *column->pGetDescriptorNoRef(), type)) return 0;
  return text->nAppendText(type.pszGet());
}

int CCursor::bAppendColumnConstraints(CColumn* column, CSqlRewriter* text) {
  CColumnDescriptor* descriptor = column->pGetDescriptorNoRef();
  const std::uint32_t type = descriptor->nGetType();
  if (descriptor->bIsPrimaryKey() || type == COLUMN_TYPE_AUTO_ID8 || type == COLUMN_TYPE_AUTO_ID4) {
    return text->nAppendText(u" PRIMARY KEY ");
  }
  if (descriptor->bIsUnique() && !text->nAppendText(u" UNIQUE ")) return 0;
  // The description's version (its slot 2) and null support (its slot 1): the engine's own descriptions answer
  // -1 and 1, so only a runtime description of version 6 or later carries NOT NULL.
  if (m_pRecordDescription && m_pRecordDescription->nSlot2() >= 6 && m_pRecordDescription->nSlot1() != 0 &&
      descriptor->nGetInterfaceLevel() >= 9 && !descriptor->bIsNullAllowed()) {
    return text->nAppendText(u" NOT NULL ");
  }
  return 1;
}

// ---- SELECT ----

int CCursor::bIsDistinct(std::uint32_t flags) {
  if (!(flags & BUILD_DISTINCT)) return 0;
  auto* key = m_pRecordDescription ? static_cast<IHostItemDescription*>(m_pRecordDescription->piGetIdentifyingKey())
                                   : nullptr;
  if (!key) return 1;
  const int usable = CTable::bIsKeyUsable(key);
  key->nRelease();
  return !usable;
}

int CCursor::bBuildSelect(CSqlRewriter* statement, std::uint32_t flags, const char16_t* sortItem, int ascending,
                          CSqlRewriter* filter) {
  // Refused before the statement it had is let go: the context reads on as it stood.
  if (m_pTable && bRefusesFilter(m_pTable->pGetQueryDescription(), statement ? statement : m_pStatement, filter, 0))
    return 0;
  if (statement && statement != m_pStatement && !bSetStatement(statement)) return 0;
  if (!m_pStatement || !m_pTable) return 0;
  CSqlRewriter* text = m_pStatement;
  CColumn* key = m_pColumnSet && m_pColumnSet->nGetKeyCount() > 0 ? m_pColumnSet->pGetKey(0) : nullptr;
  const bool rowIdKey = key && key->pGetDescriptorNoRef()->nGetStoredItemKind() == ROW_ID_ITEM_KIND;
  const bool queryMode = m_pTable->bIsQueryMode() != 0;
  text->SetSelectMode(!queryMode && rowIdKey ? 0 : 2);
  if (!queryMode) {
    if (!text->nAppendText(u"SELECT ")) return 0;
    if (bIsDistinct(flags) && !text->nAppendText(u"DISTINCT ")) return 0;
    if (!text->bAppendCursorColumns(m_pColumnSet, 0)) return 0;
    return bAppendFromWhere(flags, sortItem, ascending, filter, 1);
  }
  const std::uint32_t count = m_pColumnSet ? m_pColumnSet->nGetColumnCount() : 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!text->bAddSelectColumn(m_pColumnSet->pGetColumn(i))) return 0;
  }
  if (rowIdKey && !text->bAddRowIdColumn(key->pGetFieldValue())) return 0;
  return bBuildSelectStatement(m_pTable->pGetQueryDescription(), flags, sortItem, ascending, filter, 1, 0);
}

int CCursor::bAppendFromWhere(std::uint32_t flags, const char16_t* sortItem, int ascending, CSqlRewriter* filter,
                              int withOrderBy) {
  CSqlRewriter* text = m_pStatement;
  CConnection* connection = pGetConnection();
  SetStatementKindWord(text, SQL_STATEMENT_SELECT);
  if (!text->nAppendText(u" FROM ") || !text->nAppendText(m_pTable->pszGetSqlName())) return 0;
  if (!(connection && connection->nGetDbmsKind() == DBMS_KIND_8 && connection->nGetServerMajor() >= 10) &&
      !text->bAppendRecordLockHint()) {
    return 0;
  }
  if (filter && !filter->bIsStatementEmpty()) {
    if (!text->nAppendText(u" WHERE ") || !text->bAppendRewriter(filter, 0)) return 0;
    if (filter->Lists().pGetColumnFlags() && !text->Lists().bCopyColumnFlags(filter->Lists().pGetColumnFlags())) {
      return 0;
    }
  }
  if (!withOrderBy) return 1;
  return bAppendOrderByFromText(m_pTable->pszGetName(), nullptr, flags, sortItem, ascending);
}

// A query given as SQL text is read under a condition (a seek on it) only wrapped in an outer SELECT. Bare text, with
// no analysis of it, has nothing that says where its clauses stand; a statement that is no SELECT, or a dialect
// without sub-queries in FROM, cannot be wrapped either. Either says so, as a query that cannot be wrapped, not as a
// missing part.
int CCursor::bRefusesFilter(CQueryDescription* query, CSqlRewriter* text, CSqlRewriter* filter, int asSubQuery) {
  if (!m_pTable->bIsSqlQuery() || !filter || filter->bIsStatementEmpty()) return 0;
  CConnection* connection = pGetConnection();
  const std::uint32_t kind = text ? text->nGetStatementKind() : SQL_STATEMENT_NONE;
  if (query && (asSubQuery || !text || !connection ||
                (connection->bDbmsKindSetA() && (kind == SQL_STATEMENT_SELECT || kind == SQL_STATEMENT_NONE)))) {
    return 0;
  }
  bRaise(CURSOR_ERROR_NO_SUB_QUERY, CURSOR_POINT_NO_SUB_QUERY);
  return 1;
}

int CCursor::bBuildSelectStatement(CQueryDescription* query, std::uint32_t flags, const char16_t* sortItem,
                                   int ascending, CSqlRewriter* filter, int withOrderBy, int asSubQuery) {
  CSqlRewriter* text = m_pStatement;
  CConnection* connection = pGetConnection();
  const bool hasFilter = filter && !filter->bIsStatementEmpty();
  if (bRefusesFilter(query, text, filter, asSubQuery)) return 0;
  // Not reached: the table builds a query's statement on a context it made, with its connection.
  if (!text || !query || !connection) return bRaise(CURSOR_ERROR_NOT_BUILT, CURSOR_POINT_MISSING_PART);
  if (text->nGetStatementKind() == SQL_STATEMENT_NONE) SetStatementKindWord(text, SQL_STATEMENT_SELECT);
  const std::uint32_t options = m_pTable->nGetTranslationOptions();
  auto subQuery = [&]() {
    if (!text->nAppendText(u" (") || !text->bTranslate(query, nullptr, 1, options) || !text->nAppendText(u")")) {
      return 0;
    }
    const std::uint32_t kind = connection->nGetDbmsKind();
    if ((kind == 2 || kind == 4 || kind == 7) && !text->nAppendText(u" QZ_SUBQUERY")) return 0;
    if (hasFilter && (!text->nAppendText(u" WHERE ") || !text->bAppendRewriter(filter, 0))) return 0;
    return 1;
  };
  if (asSubQuery) return subQuery();
  const bool sqlQuery = m_pTable->bIsSqlQuery() != 0;
  if (sqlQuery && hasFilter) {
    if (!text->nAppendText(bIsDistinct(flags) ? u"SELECT DISTINCT * FROM " : u"SELECT * FROM ") || !subQuery()) {
      return 0;
    }
    // The wrapped query's own order does not reach the rows the outer SELECT hands out: a read through a key (the
    // stages of a seek among them) orders them on that key, as the rows read without a condition are ordered.
    if (!withOrderBy || !sortItem || !sortItem[0] || (flags & BUILD_NO_SORT_ITEM)) return 1;
    return bAppendOrderByFromText(m_pTable->pszGetName(), nullptr, flags, sortItem, ascending);
  }
  if (!sqlQuery) {
    if (!text->bTranslate(query, filter, 1, options)) return 0;
    return withOrderBy ? bAppendOrderByFromText(m_pTable->pszGetName(), query, flags, sortItem, ascending) : 1;
  }
  // An SQL query that was not wrapped keeps its own ORDER BY through the translation.
  return text->bTranslate(query, filter, withOrderBy ? 1 : 0, options);
}

int CCursor::bAppendOrderByFromText(const char16_t*, CQueryDescription* query, std::uint32_t flags,
                                    const char16_t* sortItem, int ascending) {
  CSqlRewriter* text = m_pStatement;
  CConnection* connection = pGetConnection();
  const char16_t* sort = sortItem;
  if (query && (!sort || !sort[0]) && !(flags & BUILD_NO_SORT_ITEM)) sort = m_strSearchItem.pszGet();
  if (!ascending) {
    // "SELECT TOP n ..." keeps its order: reading it backwards would read other rows.
    const char16_t* source = text->pszGetSourceText();
    std::size_t length = 0;
    while (source[length]) ++length;
    if (length > 6 && bStartsWithKeyword(source, u"SELECT") && bStartsWithKeyword(source + 6, u"TOP")) ascending = 1;
  }
  if (sort && sort[0] && !(flags & BUILD_NO_SORT_ITEM)) {
    auto* item = m_pRecordDescription ? static_cast<IHostItemDescription*>(m_pRecordDescription->piFindItem(sort))
                                      : nullptr;
    if (!item) {
      const CTString name(sort);
      CTString saved(m_strSearchItem.pszGet());
      m_strSearchItem = name.pszGet();
      bRaise(CURSOR_ERROR_SORT_ITEM, CURSOR_POINT_SORT_ITEM);
      m_strSearchItem = saved.pszGet();
      return 0;
    }
    if (!query && item->bIsDescending()) ascending = !ascending;
    CColumn* column = pFindColumn(item->pszGetName());
    if (item->bIsMemo() && !(connection && connection->bCanOrderLargeValues())) column = nullptr;
    item->nRelease();
    if (!bAppendOrderBy(column, ascending, query, flags)) return 0;
  } else if (query && (flags & BUILD_NO_SORT_ITEM) && m_pTable->bIsSqlQuery()) {
    if (!text->bAppendOrderBy(0) || !bAppendOrderBy(nullptr, ascending, query, flags)) return 0;
  } else {
    text->SetReversed(0);
    return 1;
  }
  text->SetReversed(ascending ? 0 : 1);
  return 1;
}

// The item lists are standard containers: memory they cannot get fails the statement as any other shortage does,
// never as an exception out of the driver.
int CCursor::bAppendOrderBy(CColumn* sortColumn, int ascending, CQueryDescription* query, std::uint32_t flags) try {
  CSqlRewriter* text = m_pStatement;
  CConnection* connection = pGetConnection();
  const bool largeOrdered = connection && connection->bCanOrderLargeValues();
  const bool queryMode = m_pTable->bIsQueryMode() != 0;
  std::vector<SOrderItem> items;
  auto add = [&](CColumn* column, int itemAscending) {
    for (const SOrderItem& item : items) {
      if (bSameColumn(item.pColumn, column)) return false;
    }
    CColumnDescriptor* secondary = column->pGetSecondaryDescriptor();
    const bool memo = secondary ? secondary->bIsMemo() != 0 : column->bIsMemo();
    if (memo && !largeOrdered && !(queryMode && column->nGetAutoIdMode() != 0)) return false;
    items.push_back({column, itemAscending});
    return true;
  };
  // The order is the key's for every statement, whatever record it starts from: a unique key that allows NULL
  // leaves the rows NULL in all its components unordered, so it ends the ORDER BY only when it allows no NULL
  // (every column flagged as admitting NULL), not by the current record's values.
  std::vector<CColumn*> columns;
  std::vector<std::uint32_t> admitNull;
  auto identified = [&](CColumn* added) {
    if (added->bIsIdentifyingKey()) return true;
    // A unique key that allows NULL identifies the rows of a statement whose condition lets no NULL through on it
    // (flag 0); where NULL rows may come, several of them share its value and a later key must order them.
    if (added->bIsUniqueKeyAny() && text->nGetColumnFlag(added) == 0) return true;
    columns.clear();
    admitNull.clear();
    for (const SOrderItem& item : items) {
      columns.push_back(item.pColumn);
      admitNull.push_back(1);
    }
    return m_pColumnSet && m_pColumnSet->bFindCompositeKey(columns.data(), static_cast<std::uint32_t>(columns.size()),
                                                           admitNull.data());
  };

  // The items the given query sorts on itself: the translation wrote its ORDER BY, which this list continues.
  std::vector<IHostItemDescription*> ownItems;
  if (query) {
    for (IHostKeyLink* link = query->pNextLink(true); link; link = query->pNextLink(false)) {
      const std::uint32_t index = link->nGetItemIndex();
      ownItems.push_back(index < query->nGetItemCount() ? query->pGetItem(index) : nullptr);
    }
    if (!ownItems.empty() && !sortColumn) return 1;
  }
  // A key the query does not select cannot order its rows; one it sorts on already adds nothing.
  auto takenByQuery = [&](CColumn* key) {
    if (!query) return false;
    IHostItemDescription* item = query->pFindItem(key->pszGetName());
    if (!item) return true;
    for (IHostItemDescription* own : ownItems) {
      if (own == item) return true;
    }
    return false;
  };

  bool done = false;
  if (sortColumn) {
    if (sortColumn->bIsCompositeKey()) {
      for (std::uint32_t i = 0; i < sortColumn->nGetComponentColumnCount(); ++i) {
        CColumn* component = sortColumn->pGetComponentColumn(i);
        const int flip = component->bIsDescending() && !query;
        add(component, flip ? !ascending : ascending);
      }
      done = m_pColumnSet && items.size() > 0 && identified(items.back().pColumn);
    } else if (add(sortColumn, ascending)) {
      done = identified(sortColumn);
    }
  }
  const bool completes = ascending ? (m_nOrderCompletion & ORDER_COMPLETE_ASCENDING) != 0
                                   : (m_nOrderCompletion & ORDER_COMPLETE_DESCENDING) != 0;
  if (!done && completes && !(flags & BUILD_NO_COMPLETION) && m_pColumnSet && !(query && m_pTable->bIsSqlQuery())) {
    for (std::uint32_t i = 0; i < m_pColumnSet->nGetKeyCount() && !done; ++i) {
      CColumn* key = m_pColumnSet->pGetKey(i);
      if (!key || key == sortColumn) continue;
      if (key->bIsMemo() && !largeOrdered) continue;
      if (takenByQuery(key)) continue;
      if (add(key, ascending)) done = identified(key);
    }
  }
  if (items.empty()) return 1;

  // A LIMIT clause ends the statement: the ORDER BY goes before it.
  CTString limit;
  const CTString& statementText = text->GetStatementText();
  const std::int64_t at =
      nFindKeywordBackward(statementText.pszGet(), statementText.nGetLength(), u"LIMIT", -1,
                           connection ? connection->pszGetOpeningQuote() : u"",
                           connection ? connection->pszGetClosingQuote() : u"");
  if (at >= 0) {
    limit = statementText.pszGet() + at;
    if (limit.nGetLength() != statementText.nGetLength() - static_cast<std::uint64_t>(at)) return bOutOfMemory();
    std::uint64_t cut = static_cast<std::uint64_t>(at);
    // Blanks, commas and an opening parenthesis left dangling go; a closing one ends what was written before.
    const char16_t* chars = statementText.pszGet();
    while (cut > 0 && (chars[cut - 1] == u' ' || chars[cut - 1] == u',' || chars[cut - 1] == u'(')) --cut;
    text->TruncateText(cut);
  }

  const std::int32_t own = static_cast<std::int32_t>(ownItems.size());
  const std::int32_t most = (connection ? connection->nGetMaxIdentifierLength() : 0x7fffffff) - own;
  if (own == 0 && !text->nAppendText(u" ORDER BY ")) return 0;
  std::int32_t written = 0;
  for (SOrderItem& item : items) {
    if (written >= most) break;
    if ((written > 0 || own > 0) && !text->nAppendText(u",")) return 0;
    int itemAscending = item.bAscending;
    if (!AppendSelectColumn(item.pColumn, text, &itemAscending, query)) return 0;
    if (!itemAscending && !text->nAppendText(u" DESC")) return 0;
    ++written;
  }
  if (!limit.bIsEmpty() && (!text->nAppendText(u" ") || !text->nAppendText(limit.pszGet()))) return 0;
  return 1;
} catch (const std::bad_alloc&) {
  return bOutOfMemory();
}

int CCursor::AppendSelectColumn(CColumn* column, CSqlRewriter* text, int* ascending, CQueryDescription* query) {
  CConnection* connection = pGetConnection();
  // An item the query itself selects in descending order is read that way round: a forward read walks it down.
  IHostItemDescription* selected = query ? query->pFindItem(column->pszGetName()) : nullptr;
  if (ascending && selected && selected->bIsDescending()) *ascending = !*ascending;
  const std::uint32_t mode = column->nGetAutoIdMode();
  if ((mode == 1 || mode == 2) && connection && connection->bOrdersByPosition()) {
    // An expression item of a query is ordered by its place in the select list.
    CTString position;
    position.Format(u"%d", static_cast<int>(column->pGetDescriptorNoRef()->nGetPosition() + 1));
    return text->nAppendText(position.pszGet());
  }
  const char16_t* name = column->pszGetSqlName(true);
  return name ? text->nAppendText(name) : bOutOfMemory();
}

// ---- DROP TABLE, COUNT ----

int CCursor::bBuildDropTable(CSqlRewriter* statement) {
  if (!statement) statement = m_pStatement;
  if (!statement || !m_pTable) return 0;
  CConnection* connection = pGetConnection();
  if (!statement->nAppendText(u"DROP TABLE ") || !statement->nAppendText(m_pTable->pszGetSqlName())) return 0;
  if (connection && connection->nGetDbmsKind() == DBMS_KIND_ORACLE) {
    return statement->nAppendText(u" CASCADE CONSTRAINT");
  }
  return 1;
}

int CCursor::bBuildCountQuery(CSqlRewriter* statement, std::uint32_t flags, CSqlRewriter* filter) {
  if (!statement || !m_pTable) return 0;
  CSqlRewriter* own = nullptr;
  if (!filter) {
    own = pNewTableStatement();
    if (!own) return 0;
    if (!bAppendConditions(own)) {
      own->nRelease();
      return 0;
    }
    filter = own;
  }
  statement->Reset(0);
  int answer = statement == m_pStatement || bSetStatement(statement);
  answer = answer && statement->nAppendText(u"SELECT ") && statement->bAddCountColumn();
  if (answer) {
    if (m_pTable->bIsQueryMode()) {
      answer = statement->nAppendText(u" FROM ") &&
               bBuildSelectStatement(m_pTable->pGetQueryDescription(), flags, nullptr, 1, filter, 0, 1);
    } else {
      answer = bAppendFromWhere(flags, nullptr, 1, filter, 0);
    }
  }
  if (own) own->nRelease();
  return answer;
}

// ---- INSERT, UPDATE, DELETE ----

int CCursor::bBuildStatementHead(CSqlRewriter* statement, std::uint32_t kind) {
  if (!statement || !m_pTable) return 0;
  statement->Reset(0);
  if (statement != m_pStatement && !bSetStatement(statement)) return 0;
  const char16_t* head = kind == SQL_STATEMENT_UPDATE   ? u"UPDATE "
                         : kind == SQL_STATEMENT_INSERT ? u"INSERT INTO "
                         : kind == SQL_STATEMENT_DELETE ? u"DELETE "
                                                        : nullptr;
  if (!head) return 0;
  SetStatementKindWord(statement, kind);
  if (!statement->nAppendText(head)) return 0;
  if (!m_pTable->bIsQueryMode()) return statement->nAppendText(m_pTable->pszGetSqlName());
  CTString file;
  if (!bQueryFileName(file)) return 0;
  if (!file.bIsEmpty()) return statement->nAppendText(file.pszGet());
  return bBuildSelectStatement(m_pTable->pGetQueryDescription(), 0, nullptr, 1, nullptr, 0, 1);
}

// The rows of a query over one file are that file's rows: a write reaches them there, as the server refuses writes
// through a query that sorts, merges or groups its rows. Only a query over several files is written through itself
// (empty name), as is one whose rows name no file at all (a description that knows no table of its first item).
int CCursor::bQueryFileName(CTString& name) {
  name.Empty();
  if (!m_pTable->bIsQueryMode() || m_pTable->bQueryJoinsFiles() || !m_pRecordDescription ||
      m_pRecordDescription->nGetItemCount() == 0)
    return 1;
  auto* item = static_cast<IHostItemDescription*>(m_pRecordDescription->piGetItem(0));
  if (!item) return 1;
  const char16_t* table = item->pszGetTableName();
  if (table && table[0]) m_pTable->QuoteItemTable(item, name);
  item->nRelease();
  // A name that could not be quoted left its error in the holder.
  return !(table && table[0] && name.bIsEmpty());
}

int CCursor::bBuildInsert(CSqlRewriter* statement, std::uint32_t flags) {
  return bBuildWriteStatement(statement ? statement : m_pStatement, SQL_STATEMENT_INSERT, flags);
}

int CCursor::bBuildUpdate(CSqlRewriter* statement, std::uint32_t flags) {
  return bBuildWriteStatement(statement ? statement : m_pStatement, SQL_STATEMENT_UPDATE, flags);
}

int CCursor::bBuildDelete(CSqlRewriter* statement) {
  if (!statement) statement = m_pStatement;
  return bBuildStatementHead(statement, SQL_STATEMENT_DELETE) && bAppendRecordWhere(statement, 1);
}

int CCursor::bBuildDeleteHead(CSqlRewriter* statement) {
  return bBuildStatementHead(statement ? statement : m_pStatement, SQL_STATEMENT_DELETE);
}

int CCursor::bBuildWriteStatement(CSqlRewriter* statement, std::uint32_t kind, std::uint32_t flags) {
  if (!bBuildStatementHead(statement, kind)) return 0;
  CSqlRewriter* values = pNewTableStatement();
  if (!values) return 0;
  CTString names;
  const int collected = bAppendColumnsAndValues(values, names, kind, flags);
  if (!collected || names.bIsEmpty()) {
    // Nothing to write is no failure: the empty statement opens without running.
    statement->Reset(0);
    values->nRelease();
    return collected;
  }
  int answer = 0;
  if (kind == SQL_STATEMENT_INSERT) {
    answer = statement->nAppendText(u" (") && statement->nAppendText(names.pszGet()) &&
             statement->nAppendText(u") VALUES ( ") && statement->bAppendRewriter(values, 0) &&
             statement->nAppendText(u" )");
  } else {
    answer = statement->nAppendText(u" SET ") && statement->bAppendRewriter(values, 0) &&
             bAppendRecordWhere(statement, 1);
  }
  values->nRelease();
  CConnection* connection = pGetConnection();
  if (answer && connection && connection->bInsertNeedsReturning()) answer = bAppendReturningClause(kind, flags);
  return answer;
}

int CCursor::bAppendColumnsAndValues(CSqlRewriter* values, CTString& names, std::uint32_t kind, std::uint32_t flags) {
  CRecordBuffer* buffer = m_pColumnSet->pGetCurrentBuffer();
  std::uint32_t written = 0;
  auto write = [&](CColumn* column) {
    // Quoted where the name needs it, as the select list names it: a plain "NA ME" would end the column list.
    const char16_t* name = column->pszGetSqlName(true);
    if (!name) return bOutOfMemory();
    // The column list is plain text: a piece memory refused would shift the values onto other columns.
    const std::size_t before = names.nGetLength();
    const std::size_t added = (before > 0 ? 2 : 0) + std::char_traits<char16_t>::length(name);
    if (before > 0) names.Append(u", ");
    names.Append(name);
    if (names.nGetLength() != before + added) return bOutOfMemory();
    // ", " goes before every written value but the first one written.
    if (written > 0 && !values->nAppendText(u", ")) return 0;
    if (kind == SQL_STATEMENT_UPDATE && (!values->nAppendText(name) || !values->nAppendText(u" = "))) return 0;
    if (!bAppendColumnValue(values, column, kind, flags)) return 0;
    ++written;
    return 1;
  };
  const std::uint32_t count = m_pColumnSet->nGetColumnCount();
  for (std::uint32_t i = 0; i < count; ++i) {
    CColumn* column = m_pColumnSet->pGetColumn(i);
    // A composite key is written through its component columns; the columns after it are written too.
    if (!column || column->bIsCompositeKey()) continue;
    if (buffer) buffer->SetFieldPresent(column->pGetDescriptorNoRef(), column->bHasValue() != 0, -1);
    if (bIsColumnWritten(column, kind, flags) && !write(column)) return 0;
  }
  if (kind != SQL_STATEMENT_INSERT || written > 0) return 1;
  // An INSERT always names one column.
  for (std::uint32_t i = 0; i < count; ++i) {
    CColumn* column = m_pColumnSet->pGetColumn(i);
    if (!column || column->bIsCompositeKey() || column->bIsAutoIdentifier()) continue;
    CColumnDescriptor* secondary = column->pGetSecondaryDescriptor();
    if (secondary && (secondary->nGetOptions() & COLUMN_OPTION_4)) continue;
    return write(column);
  }
  return 1;
}

int CCursor::bIsColumnWritten(CColumn* column, std::uint32_t kind, std::uint32_t flags) {
  if (column->nGetAutoIdMode() != 0) return 0;
  if (column->bIsAutoIdentifier()) {
    if (kind != SQL_STATEMENT_INSERT && !column->bIsChanged()) return 0;
    if (flags & (WRITE_ALL_IDENTIFIERS | WRITE_SECONDARY_IDENTIFIER | WRITE_GIVEN_IDENTIFIER)) return 1;
    return !column->bIsSecondaryAutoIdentifier();
  }
  CColumnDescriptor* secondary = column->pGetSecondaryDescriptor();
  if (secondary && (secondary->nGetOptions() & COLUMN_OPTION_4)) return 0;
  // A memo its binding writes with every UPDATE (the driver's large values whose changes the column does not track)
  // is written unchanged too.
  // A memo keeps its own mark of the program's changes, which the image's values do not touch.
  if (kind == SQL_STATEMENT_UPDATE) {
    if (!column->bIsMemo() && m_pTable->bIsImageUnconfirmed()) return 1;
    return column->bIsChanged() || (column->bIsMemo() && column->bIncludeInUpdate(0)) ? 1 : 0;
  }
  return kind == SQL_STATEMENT_INSERT;
}

int CCursor::bAppendColumnValue(CSqlRewriter* text, CColumn* column, std::uint32_t, std::uint32_t flags) {
  if (column->bIsAutoIdentifier() && !(flags & (WRITE_GIVEN_IDENTIFIER | WRITE_ALL_IDENTIFIERS)) &&
      !(column->bIsSecondaryAutoIdentifier() && !(flags & WRITE_SECONDARY_IDENTIFIER)) &&
      !m_pTable->bComputeNextIdentifier(column)) {
    return 0;
  }
  CHostValue value;
  if (!column->bGetValue(value, 0)) return 0;
  return text->nAddNamedParameter(value, column);
}

int CCursor::bAppendReturningClause(std::uint32_t kind, std::uint32_t) {
  CColumn* identifier = m_pColumnSet ? m_pColumnSet->pGetAutoIdentifierColumn() : nullptr;
  if (kind != SQL_STATEMENT_INSERT || !identifier || !m_pStatement) return 1;
  return m_pStatement->bAppendReturning(identifier->pszGetSqlName(true));
}

// ---- the record written ----

CColumn* CCursor::pGetIdentityColumn() {
  CColumn* key = m_pColumnSet && m_pColumnSet->nGetKeyCount() > 0 ? m_pColumnSet->pGetKey(0) : nullptr;
  if (key && key->pGetDescriptorNoRef()->nGetStoredItemKind() == ROW_ID_ITEM_KIND) return key;
  auto* keyItem = m_pRecordDescription ? static_cast<IHostItemDescription*>(m_pRecordDescription->piGetIdentifyingKey())
                                       : nullptr;
  CColumn* column = keyItem ? pFindColumn(keyItem->pszGetName()) : nullptr;
  if (keyItem) keyItem->nRelease();
  return column;
}

int CCursor::bAppendRecordWhere(CSqlRewriter* statement, int withKeyword) {
  if (!m_pColumnSet || m_pColumnSet->nGetAccepted() == 0) return bRaise(CURSOR_ERROR_NO_IMAGE, CURSOR_POINT_NO_IMAGE);
  CColumn* key = m_pColumnSet->nGetKeyCount() > 0 ? m_pColumnSet->pGetKey(0) : nullptr;
  if (key && key->pGetDescriptorNoRef()->nGetStoredItemKind() == ROW_ID_ITEM_KIND) {
    if (withKeyword && !statement->nAppendText(u" WHERE ")) return 0;
    CHostValue rowId;
    if (!statement->nAppendText(u" ROWID=") || !key->bGetImageValue(rowId, 0)) return 0;
    return statement->nAddNamedParameter(rowId, key);
  }
  // The key's values are the last-read image's: the current record takes them while the condition is written.
  CRecordBuffer* current = m_pColumnSet->pGetCurrentBuffer();
  CRecordBuffer* image = m_pColumnSet->pGetImageBuffer();
  CRecordBuffer* kept = current ? current->pClone() : nullptr;
  if (current && !kept) return bOutOfMemory();
  if (kept) kept->AddRef();
  if (current && image) current->CopyBlockFrom(image);
  const int answer = bAppendUniqueKeyWhere(statement, withKeyword);
  if (kept) {
    current->CopyBlockFrom(kept);
    kept->nRelease();
  }
  return answer;
}

int CCursor::bAppendUniqueKeyWhere(CSqlRewriter* statement, int withKeyword) {
  auto* keyItem = m_pRecordDescription ? static_cast<IHostItemDescription*>(m_pRecordDescription->piGetIdentifyingKey())
                                       : nullptr;
  CColumn* key = keyItem ? pFindColumn(keyItem->pszGetName()) : nullptr;
  if (keyItem) keyItem->nRelease();
  if (!key) return bRaise(CURSOR_ERROR_NO_IMAGE, CURSOR_POINT_NO_IMAGE);
  CKeyCondition* node = pNewConditionNode(m_pErrorHolder);
  if (!node) return 0;
  node->AddRef();
  CSqlRewriter* where = pNewTableStatement();
  int answer = where && node->bSetRecordSearch(m_pColumnSet, key->pGetDescriptorNoRef(), 0, 1) &&
               node->bWriteSql(where, nullptr, nullptr);
  if (answer && withKeyword) answer = statement->nAppendText(u" WHERE ");
  if (answer) answer = statement->bAppendRewriter(where, 0);
  if (where) where->nRelease();
  node->nRelease();
  return answer;
}

// ---- type texts ----

int CCursor::bReplaceOversizedType(CTString& output, const char16_t* text, const char16_t* typeWord,
                                   std::uint32_t limit, const char16_t* replacement) {
  output.Empty();
  if (!text || !typeWord || !typeWord[0]) return 0;
  const CTString source(text);
  CTString pattern(typeWord);
  pattern.Append(u"(");
  const std::int64_t length = static_cast<std::int64_t>(source.nGetLength());
  CTString built;
  bool replaced = false;
  std::int64_t cut = 0;
  std::int64_t from = 0;
  // A type word inside a longer one ("NVARCHAR2(" for "VARCHAR2(") is replaced too.
  for (;;) {
    const std::uint32_t found = source.nFind(pattern.pszGet(), static_cast<std::size_t>(from));
    if (found == 0xFFFFFFFF || found >= source.nGetLength()) break;
    const std::int64_t at = found;
    std::int64_t digits = at + static_cast<std::int64_t>(pattern.nGetLength());
    std::uint64_t number = 0;
    std::int64_t end = digits;
    while (end < length && text[end] >= u'0' && text[end] <= u'9') {
      if (number <= 0xFFFFFFFFull) number = number * 10 + static_cast<std::uint64_t>(text[end] - u'0');
      ++end;
    }
    from = at + 1;
    if (end == digits || number <= limit) continue;
    built.AppendN(text + cut, at - cut);
    built.Append(replacement ? replacement : u"");
    // The closing parenthesis goes with the size; anything else after the digits stays.
    cut = end < length && text[end] == u')' ? end + 1 : end;
    from = cut;
    replaced = true;
  }
  if (!replaced) return 0;
  built.Append(text + cut);
  output = built;
  return 1;
}
