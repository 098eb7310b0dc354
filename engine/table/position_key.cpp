#include "engine/table/position_key.h"

#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/table_description.h"

CPositionKey::~CPositionKey() { Clear(); }

void CPositionKey::Set(CColumnDescriptor* item, const CHostValue& value, std::uint32_t flags) {
  // The item may be the one held already, and the value this key's own: the new reference is taken before the old
  // one goes, and the value is copied over the old one rather than after clearing it.
  if (item) item->AddRef();
  if (m_pItem) m_pItem->nRelease();
  m_pItem = item;
  if (&value != &m_value) m_value.Assign(value);
  m_nFlags = flags;
}

void CPositionKey::Clear() {
  if (m_pItem) m_pItem->nRelease();
  m_pItem = nullptr;
  m_value.SetType(0);
  m_nFlags = 0;
}

int CPositionKey::bApply(CTableDescription* columnSet) {
  if (!m_pItem) return 1;
  CColumn* column = columnSet ? columnSet->pFindColumn(m_pItem) : nullptr;
  if (!column) return 0;
  return column->bMatchesSearchValue(m_value, (m_nFlags & POSITION_KEY_SEARCH) ? SEARCH_PREFIX : 0);
}

void CPositionKey::Assign(const CPositionKey& other) {
  if (&other == this) return;
  if (other.m_pItem) {
    Set(other.m_pItem, other.m_value, other.m_nFlags);
  } else {
    Clear();
  }
}
