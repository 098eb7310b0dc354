#include "sql/rewriter/sql_element.h"

#include <new>

#include "engine/record/column.h"
#include "engine/table/table.h"
#include "engine/values/field_value.h"
#include "sql/rewriter/rewriter_clones.h"

namespace {

inline constexpr std::uint32_t TABLE_FLAG_BIT_17 = 1u << 17;

template <typename T>
void Replace(T*& field, T* value) {
  if (field) field->nRelease();
  field = value;
}

}  // namespace

CSqlElement::CSqlElement(const char16_t* name, CFieldValue* value) : m_strName(name ? name : u""), m_pValue(value) {
  AddRefObject(m_pValue);
}

CSqlElement::CSqlElement(CColumn* item) : m_pItem(item), m_pValue(item ? item->pGetFieldValue() : nullptr) {
  AddRefObject(m_pItem);
  AddRefObject(m_pValue);
}

CSqlElement::~CSqlElement() {
  if (m_pValue) m_pValue->nRelease();
  if (m_pItem) m_pItem->nRelease();
}

const char16_t* CSqlElement::pszGetColumnName() { return m_pValue ? m_pValue->pszGetColumnName() : u""; }

int CSqlElement::CopyFrom(CSqlElement* source, CHashTable& cloneMap) {
  if (source == this) return 1;  // a copy of itself is what it already is
  if (!bRegisterClone(cloneMap, source, this)) return 0;
  if (source->m_pItem) {
    CColumn* item = pCloneChild(cloneMap, source->m_pItem);
    if (!item) return 0;
    Replace(m_pItem, item);
  }
  if (source->m_pValue) {
    CFieldValue* value = pCloneFieldValue(cloneMap, source->m_pValue);
    if (!value) return 0;
    Replace(m_pValue, value);
  }
  m_strName = source->m_strName;
  return 1;
}

void CSqlElement::SetMembers(CColumn* item, const char16_t* name, CFieldValue* value) {
  AddRefObject(item);
  AddRefObject(value);
  Replace(m_pItem, item);
  Replace(m_pValue, value);
  m_strName = name ? name : u"";
}

CSqlElement* CSqlElement::pClone(CHashTable& cloneMap) {
  return pCloneCaught<CSqlElement>([&](CSqlElement* copy) { return copy->CopyFrom(this, cloneMap); });
}

CSqlTableRef::CSqlTableRef(std::uint32_t index, CTable* table) : m_pTable(table), m_nIndex(index) {
  if (!table) return;
  table->AddRef();
  SetMembers(table->pGetReferenceItem(), table->pszGetName(), table->pGetReferenceValue());
}

CSqlTableRef::~CSqlTableRef() {
  if (m_pTable) m_pTable->nRelease();
}

int CSqlTableRef::bIsFlag17Set() { return m_pTable && (m_pTable->nGetFlagWord() & TABLE_FLAG_BIT_17) ? 1 : 0; }

int CSqlTableRef::CopyTableRefFrom(CSqlTableRef* source, CHashTable& cloneMap) {
  if (source == this) return 1;  // a copy of itself is what it already is
  if (!bRegisterClone(cloneMap, source, this)) return 0;
  m_nIndex = source->m_nIndex;
  if (CTable* table = source->m_pTable) {
    std::uint64_t known = 0;
    CTable* copy = cloneMap.bLookup(nCloneKey(table), &known, nullptr) ? reinterpret_cast<CTable*>(known)
                                                                         : table->pClone(cloneMap, 0, 0);
    if (!copy) return 0;
    copy->AddRef();
    Replace(m_pTable, copy);
  }
  return CSqlElement::CopyFrom(source, cloneMap);
}

CSqlElement* CSqlTableRef::pClone(CHashTable& cloneMap) {
  return pCloneCaught<CSqlTableRef>([&](CSqlTableRef* copy) { return copy->CopyTableRefFrom(this, cloneMap); });
}
