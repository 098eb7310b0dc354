#include "engine/table/parameter_binding.h"

#include <new>

#include "engine/record/column.h"
#include "engine/values/field_value.h"
#include "foundation/clone_map.h"
#include "sql/rewriter/sql_element.h"
#include "sql/rewriter/value_leaf.h"

CParameterBinding::CParameterBinding(CSqlElement* column, std::uint32_t position)
    : m_nPosition(position), m_pColumn(column) {
  AddRefObject(column);
}

CParameterBinding::CParameterBinding(CValueLeaf* parameter, std::uint32_t position)
    : m_nPosition(position), m_pParameter(parameter) {
  AddRefObject(parameter);
}

CParameterBinding::CParameterBinding() = default;

CParameterBinding::~CParameterBinding() { ReleaseEntry(); }

void CParameterBinding::ReleaseEntry() {
  if (m_pColumn) m_pColumn->nRelease();
  if (m_pParameter) m_pParameter->nRelease();
  m_pColumn = nullptr;
  m_pParameter = nullptr;
}

CFieldValue* CParameterBinding::pGetFieldValue() const {
  if (m_pColumn) return m_pColumn->pGetValue();
  return m_pParameter ? m_pParameter->pGetFieldValue() : nullptr;
}

const char16_t* CParameterBinding::pszGetColumnName() const {
  if (m_pColumn) return m_pColumn->pszGetColumnName();
  // A parameter compared with a column carries that column's name; one without a column is known by its own.
  if (!m_pParameter) return u"";
  if (CColumn* column = m_pParameter->pGetColumn()) return column->pszGetName();
  return m_pParameter->pszGetName();
}

int CParameterBinding::bIsCursorParameter() const { return m_pParameter && m_pParameter->bIsCursorParameter(); }

int CParameterBinding::bTransferValue(CRecordBuffer* buffer) {
  CFieldValue* value = pGetFieldValue();
  return value ? value->bLoadFetched(buffer) : 0;
}

int CParameterBinding::bPrepare(CCursor*) { return 1; }

int CParameterBinding::bCopyFrom(CParameterBinding* source, CHashTable& cloneMap) {
  if (!source) return 0;
  if (source == this) return 1;
  if (!bRegisterClone(cloneMap, source, this)) return 0;
  CSqlElement* column = source->m_pColumn ? pCloneChild(cloneMap, source->m_pColumn) : nullptr;
  CValueLeaf* parameter = source->m_pParameter ? pCloneChild(cloneMap, source->m_pParameter) : nullptr;
  if ((source->m_pColumn && !column) || (source->m_pParameter && !parameter)) return 0;
  ReleaseEntry();
  m_pColumn = column;
  m_pParameter = parameter;
  m_nPosition = source->m_nPosition;
  return 1;
}

CParameterBinding* CParameterBinding::pClone(CHashTable& cloneMap) {
  return pCloneUnreferenced(new (std::nothrow) CParameterBinding(), nullptr,
                            [&](CParameterBinding* copy) { return copy->bCopyFrom(this, cloneMap); });
}
