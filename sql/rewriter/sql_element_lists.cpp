#include "sql/rewriter/sql_element_lists.h"

#include <new>
#include <string>

#include "engine/record/column.h"
#include "engine/table/table.h"
#include "engine/values/field_value.h"
#include "foundation/clone_map.h"
#include "foundation/module_errors.h"
#include "foundation/t_string.h"
#include "foundation/x_error.h"
#include "host/host_objects.h"
#include "host/host_type.h"
#include "host/host_value.h"
#include "sql/driver_services.h"
#include "sql/rewriter/sql_element.h"
#include "sql/rewriter/sql_rewriter.h"
#include "sql/rewriter/value_leaf.h"

namespace {


void RaiseOutOfMemory(CErrorHolder* holder, CConnection* connection, std::uint32_t point) {
  RaiseModuleError(holder, 0, ERROR_UNIT_REWRITER, point, connection, nullptr, REWRITER_ERROR_OUT_OF_MEMORY);
}

}  // namespace

CSqlElementLists::CSqlElementLists(CErrorHolder* holder, CConnection* connection)
    : m_pHolder(holder), m_pConnection(connection) {}

CSqlElementLists::~CSqlElementLists() = default;

// A text that could not grow is left empty by CTString: the length tells.
int CSqlElementLists::bAppendText(CTString& text, const char16_t* part) {
  const std::size_t expected = text.nGetLength() + std::char_traits<char16_t>::length(part);
  text.Append(part);
  if (text.nGetLength() == expected) return 1;
  RaiseOutOfMemory(m_pHolder, m_pConnection, REWRITER_POINT_GROWTH);
  return 0;
}

// The list takes the caller's new element with a reference; an element the list could not take goes.
int CSqlElementLists::bAddElement(CRefPtrArray& list, CRefCounted* element) {
  if (!element) {
    RaiseOutOfMemory(m_pHolder, m_pConnection, REWRITER_POINT_GROWTH);
    return 0;
  }
  element->AddRef();
  if (list.Add(element)) return 1;
  element->nRelease();
  RaiseOutOfMemory(m_pHolder, m_pConnection, REWRITER_POINT_GROWTH);
  return 0;
}

// ---- parameters ----

int CSqlElementLists::bAddParameter(std::uint64_t position, CFieldValue* value, std::uint32_t kind,
                                    std::uint32_t flags, CColumn* item, const char16_t* name, char16_t escape,
                                    std::uint32_t origin) {
  CValueLeaf* leaf = pCreateValueLeafThroughDriver(value, position, flags, name);
  if (!leaf) {
    RaiseOutOfMemory(m_pHolder, m_pConnection, REWRITER_POINT_GROWTH);
    return 0;
  }
  leaf->SetEscapeChar(escape);
  leaf->SetKind(kind);
  leaf->SetOrigin(origin);
  if (item) leaf->SetColumn(item);
  return bAddElement(m_parameters, leaf);
}

int CSqlElementLists::bAddValueParameter(std::uint64_t position, CFieldValue* value) {
  return bAddParameter(position, value, LEAF_KIND_NONE, 0, nullptr, nullptr, 0, LEAF_ORIGIN_HANDED_IN);
}

int CSqlElementLists::nAddTextParameter(std::uint64_t position, CHostValue& value, std::uint32_t kind,
                                        std::uint32_t flags, CColumn* item, char16_t escape) {
  CFieldValue* field = pCreateBoundItemThroughDriver(m_pHolder, m_pConnection, item, value);
  if (!field) return 0;
  field->AddRef();
  const int added =
      bAddParameter(position, field, kind, flags, item, nullptr, escape, LEAF_ORIGIN_STATEMENT_TEXT);
  field->nRelease();
  return added;
}

int CSqlElementLists::bAddExistingParameter(CValueLeaf* leaf) { return bAddElement(m_parameters, leaf); }

int CSqlElementLists::bAppendSharedElements(const CSqlElementLists& other) {
  // The counts are taken first: lists appended to themselves take each element once more.
  const std::uint32_t columns = other.m_selectColumns.nGetCount();
  const std::uint32_t tables = other.m_tableRefs.nGetCount();
  for (std::uint32_t i = 0; i < columns; ++i) {
    if (!bAddElement(m_selectColumns, other.m_selectColumns.pGetObject(i))) return 0;
  }
  for (std::uint32_t i = 0; i < tables; ++i) {
    if (!bAddElement(m_tableRefs, other.m_tableRefs.pGetObject(i))) return 0;
  }
  return 1;
}

void CSqlElementLists::TruncateParameters(std::uint64_t position) {
  while (m_parameters.nGetCount() > 0) {
    const std::uint32_t last = m_parameters.nGetCount() - 1;
    CValueLeaf* leaf = pGetParameter(last);
    if (leaf->nGetPosition() < position) break;
    m_parameters.RemoveAt(last);
    leaf->nRelease();
  }
}

namespace {

bool bIsNarrowTextType(std::uint8_t type) {
  return type == 17 || type == 18 || type == 19 || type == 134 || (type >= 21 && type <= 23);
}
bool bIsWideTextType(std::uint8_t type) { return type == 16 || type == 20 || type == 81 || type == 110; }
bool bIsTextType(std::uint8_t type) { return bIsNarrowTextType(type) || bIsWideTextType(type); }

}  // namespace

int CSqlElementLists::bLoadParameterValues(IHostDeclaredParameters* declared) {
  for (std::uint32_t i = 0; i < m_parameters.nGetCount(); ++i) {
    CValueLeaf* leaf = pGetParameter(i);
    if (!leaf->bIsNamed() || leaf->bIsCursorParameter()) continue;
    if (!bLoadParameterValue(leaf, declared)) return 0;
  }
  return 1;
}

// A value the field could not take is a failure, not a parameter sent with its old value.
int CSqlElementLists::bLoadParameterValue(CValueLeaf* leaf, IHostDeclaredParameters* declared) {
  CFieldValue* field = leaf->pGetFieldValue();
  CHostValue* value = declared && field ? declared->pFindValue(leaf->pszGetName()) : nullptr;
  if (!value) return 1;
  const std::uint8_t declaredType = value->nGetType();
  const std::uint8_t fieldType = field->Value().nGetType();
  const bool keepsFieldType = declaredType == fieldType || declaredType == 0 ||
                              (bIsNarrowTextType(declaredType) && bIsNarrowTextType(fieldType)) ||
                              (bIsWideTextType(declaredType) && bIsWideTextType(fieldType)) ||
                              bIsTextType(declaredType) != bIsTextType(fieldType);
  if (!keepsFieldType) field->InitType(declaredType, 0);
  return field->bSetValue(*value) ? 1 : 0;
}

CValueLeaf* CSqlElementLists::pGetParameter(std::uint32_t i) const {
  return static_cast<CValueLeaf*>(m_parameters.pGetObject(i));
}

// ---- select columns ----

int CSqlElementLists::bAddSelectColumn(CColumn* item) {
  return bAddElement(m_selectColumns, new (std::nothrow) CSqlElement(item));
}

int CSqlElementLists::bAddSelectText(CTString& statement, const char16_t* text, CFieldValue* value) {
  if (m_selectColumns.nGetCount() > 0 && !bAppendText(statement, u",")) return 0;
  if (!bAppendText(statement, text)) return 0;
  return bAddElement(m_selectColumns, new (std::nothrow) CSqlElement(text, value));
}

int CSqlElementLists::bAddCountColumn(CTString& statement) {
  CFieldValue* count = pCreateItemForValueThroughDriver(m_pHolder, m_pConnection, nullptr, HOST_TYPE_INT32);
  if (!count) return 0;
  count->AddRef();
  const int added = bAddSelectText(statement, SQL_COUNT_COLUMN_TEXT, count);
  count->nRelease();
  return added;
}

int CSqlElementLists::bAddRowIdColumn(CTString& extraSelect, CFieldValue* value) {
  if (!extraSelect.bIsEmpty() && !bAppendText(extraSelect, u",")) return 0;
  if (!bAppendText(extraSelect, SQL_ROW_ID_COLUMN_TEXT)) return 0;
  return bAddElement(m_selectColumns, new (std::nothrow) CSqlElement(SQL_ROW_ID_COLUMN_TEXT, value));
}

// The flag chooses the column's name over its caption: a statement that names its columns itself reads them back
// by name, a table's own SELECT by the caption the program knows them by.
int CSqlElementLists::bAppendColumn(CTString& statement, CColumn* column, std::uint32_t flag) {
  const char16_t* name = column->pszGetSqlName(flag != 0);
  if (!name) {
    RaiseOutOfMemory(m_pHolder, m_pConnection, REWRITER_POINT_GROWTH);
    return 0;
  }
  if (m_selectColumns.nGetCount() > 0 && !bAppendText(statement, u",")) return 0;
  if (!bAppendText(statement, name)) return 0;
  return bAddSelectColumn(column);
}

CSqlElement* CSqlElementLists::pGetSelectColumn(std::uint32_t i) const {
  return static_cast<CSqlElement*>(m_selectColumns.pGetObject(i));
}

// ---- table references ----

std::int32_t CSqlElementLists::nAddTableRef(CTable* table) {
  const std::uint32_t index = m_tableRefs.nGetCount() + 1;
  auto* reference = new (std::nothrow) CSqlTableRef(index, table);
  if (reference && !reference->pGetValue()) {
    // The table could not say where the reference's data goes (its holder tells why): no reference to file.
    reference->AddRef();
    reference->nRelease();
    return -1;
  }
  return bAddElement(m_tableRefs, reference) ? static_cast<std::int32_t>(index) : -1;
}

CSqlTableRef* CSqlElementLists::pGetTableRef(std::uint32_t i) const {
  return static_cast<CSqlTableRef*>(m_tableRefs.pGetObject(i));
}

// ---- column flags ----

int CSqlElementLists::bEnsureColumnFlags() {
  if (m_pColumnFlags) return 1;
  m_pColumnFlags.reset(new (std::nothrow) CFlagList());
  if (m_pColumnFlags) return 1;
  RaiseOutOfMemory(m_pHolder, m_pConnection, REWRITER_POINT_COLUMN_FLAGS);
  return 0;
}

// The list answers 0 without a word when it cannot grow: the holder learns it here.
int CSqlElementLists::bFlagListGrew(int grew) {
  if (grew) return 1;
  RaiseOutOfMemory(m_pHolder, m_pConnection, REWRITER_POINT_COLUMN_FLAGS);
  return 0;
}

int CSqlElementLists::bSetColumnFlag(const CColumn* item, std::uint32_t flag) {
  return bEnsureColumnFlags() && bFlagListGrew(m_pColumnFlags->bSetFlag(item, flag));
}

int CSqlElementLists::bCopyColumnFlags(const CFlagList* other) {
  if (!other) {
    if (m_pColumnFlags) m_pColumnFlags->RemoveAll();
    return 1;
  }
  return bEnsureColumnFlags() && bFlagListGrew(m_pColumnFlags->bAddAll(other, 0));
}

int CSqlElementLists::bCombineColumnFlags(const CFlagList* other) {
  if (!other && !m_pColumnFlags) return 1;
  return bEnsureColumnFlags() && bFlagListGrew(m_pColumnFlags->bCombine(FLAG_COMBINE_AND, other));
}

std::uint32_t CSqlElementLists::nGetColumnFlag(const CColumn* item) const {
  return m_pColumnFlags ? m_pColumnFlags->nGetFlag(item) : 1;
}

// ---- life ----

void CSqlElementLists::Reset(bool keepParameters) {
  for (CRefPtrArray* list : {&m_selectColumns, &m_parameters, &m_tableRefs}) {
    if (keepParameters && list == &m_parameters) continue;
    while (list->nGetCount() > 0) {
      CRefCounted* element = list->pGetObject(list->nGetCount() - 1);
      list->RemoveAt(list->nGetCount() - 1);
      element->nRelease();
    }
  }
}

int CSqlElementLists::CopyFrom(const CSqlElementLists& source, CHashTable& cloneMap) {
  if (&source == this) return 1;  // a copy of itself is what it already is
  for (std::uint32_t i = 0; i < source.m_parameters.nGetCount(); ++i) {
    CValueLeaf* leaf = pCloneChild(cloneMap, source.pGetParameter(i));
    if (!leaf) {
      RaiseOutOfMemory(m_pHolder, m_pConnection, REWRITER_POINT_GROWTH);
      return 0;
    }
    if (!m_parameters.Add(leaf)) {
      leaf->nRelease();
      RaiseOutOfMemory(m_pHolder, m_pConnection, REWRITER_POINT_GROWTH);
      return 0;
    }
  }
  return bCopyColumnFlags(source.m_pColumnFlags.get());
}
