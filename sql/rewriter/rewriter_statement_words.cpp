// What a statement object asks of its statement beyond the translation: merging the result columns' types with its
// column set and adding record values as parameters of their columns.
#include <new>

#include "engine/record/column.h"
#include "engine/record/table_description.h"
#include "sql/rewriter/sql_element.h"
#include "sql/rewriter/sql_rewriter.h"
#include "foundation/module_errors.h"
#include "sql/rewriter/value_leaf.h"

int CSqlElementLists::bReplaceSelectColumn(std::uint32_t i, CColumn* item) {
  if (i >= m_selectColumns.nGetCount()) return 0;
  auto* element = new (std::nothrow) CSqlElement(item);
  if (!element) {
    SetHolderOutOfMemory(m_pHolder);
    return 0;
  }
  element->AddRef();
  CRefCounted* old = m_selectColumns.pGetObject(i);
  m_selectColumns.SetAt(&element, i);
  ReleaseArrayElement(&m_selectColumns, old);
  return 1;
}

int CSqlRewriter::bMergeColumnTypes() {
  if (!m_pColumnSet) return 1;
  for (std::uint32_t i = 0; i < m_lists.nGetSelectColumnCount(); ++i) {
    CSqlElement* element = m_lists.pGetSelectColumn(i);
    CColumn* item = element ? element->pGetItem() : nullptr;
    if (!item) continue;  // a text column (count, row id) keeps the value it was bound to
    CColumn* own = m_pColumnSet->pFindColumnByName(item->pszGetName());
    if (!own || own == item) continue;
    if (!m_lists.bReplaceSelectColumn(i, own)) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  }
  return 1;
}

int CSqlRewriter::nAddNamedParameter(CHostValue& value, CColumn* column) {
  return nAddTextParameter(value, LEAF_KIND_NONE, 0, column, 0);
}
