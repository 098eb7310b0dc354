#include "engine/record/table_description.h"

#include <new>

#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/query_description.h"
#include "engine/record/record.h"
#include "engine/record/record_buffer.h"
#include "engine/record/record_description.h"
#include "engine/table/table.h"
#include "engine/values/field_value.h"
#include "engine/values/row_keys.h"
#include "engine/values/value_row.h"
#include "foundation/clone_map.h"
#include "foundation/error_holder.h"
#include "foundation/host_locale.h"
#include "foundation/module_errors.h"
#include "foundation/reference_guard.h"
#include "foundation/t_string.h"
#include "foundation/x_error.h"
#include "sql/connection.h"
#include "sql/driver_services.h"

namespace {

// A record description without items: error 1 at point 11.2, the description's
// name as file.
constexpr std::uint32_t ERROR_NO_ITEMS = 1;
constexpr std::uint32_t TABLE_DESCRIPTION_POINT_NO_ITEMS = 2;

CColumn* ColumnAt(const CRefPtrArray& list, std::uint32_t index) {
  return index < list.nGetCount() ? static_cast<CColumn*>(list.pGetObject(index)) : nullptr;
}

int bAddCounted(CRefPtrArray& list, CColumn* column) {
  column->AddRef();
  if (list.Add(column)) return 1;
  column->nRelease();
  return 0;
}

void ReleaseAll(CRefPtrArray& list) {
  for (std::uint32_t i = 0; i < list.nGetCount(); ++i) ReleaseArrayElement(&list, list.pGetObject(i));
  list.Clear();
}

// Compared in place: a copy that memory refused would match no name.
bool bSameText(const char16_t* a, const char16_t* b) {
  if (!a || !*a) return !b || !*b;
  if (!b || !*b) return false;
  return nHostCompareNoCase(a, b) == 0;
}

}  // namespace

CTableDescription::CTableDescription(CErrorHolder* holder, CTable* table) : m_pErrorHolder(holder), m_pTable(table) {
  if (m_pErrorHolder) m_pErrorHolder->AddRef();
}

CTableDescription::~CTableDescription() {
  ReleaseRecords();
  Exchange<CColumn>(m_pAutoIdentifier, nullptr);
  Exchange<CColumn>(m_pUnique, nullptr);
  ReleaseAll(m_keys);
  ReleaseAll(m_memos);
  ReleaseAll(m_compositeUniqueKeys);
  ReleaseAll(m_columns);
  ReleaseConnectionThroughDriver(m_pConnection);
  if (m_pErrorHolder) m_pErrorHolder->nRelease();
}

void CTableDescription::SetConnection(CConnection* connection) {
  if (connection == m_pConnection) return;
  if (connection) connection->AddRef();
  ReleaseConnectionThroughDriver(m_pConnection);
  m_pConnection = connection;
}

CColumn* CTableDescription::pNewColumn(CErrorHolder* holder, CColumnDescriptor* descriptor) {
  return pCreateColumnThroughDriver(holder, descriptor);
}

// ---- records
// -----------------------------------------------------------------------------------------------------

void CTableDescription::ReleaseRecords() {
  Exchange<CRecord>(m_pCurrent, nullptr);
  Exchange<CRecord>(m_pImage, nullptr);
  Exchange<CRecordBuffer>(m_pTemplate, nullptr);
}

int CTableDescription::bMakeRecords(CRecordDescription* description) {
  auto* buffer = new (std::nothrow) CRecordBuffer();
  auto* image = new (std::nothrow) CRecord(m_pErrorHolder);
  if (!buffer || !image) {
    if (buffer) buffer->nRelease();
    if (image) image->nRelease();
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  Exchange(m_pTemplate, buffer);
  Exchange(m_pImage, image);
  if (!m_pTemplate->bBuildLayout(description) || !m_pImage->SetBuffer(m_pTemplate)) {
    SetHolderOutOfMemory(m_pErrorHolder);
    ReleaseRecords();
    return 0;
  }
  IRowKey* key = m_pTable ? m_pTable->pNewRecordKey(m_pImage) : nullptr;
  if (!key) {
    // Only a key memory refused is missing here: the table and the image are there.
    if (m_pTable) SetHolderOutOfMemory(m_pErrorHolder);
    ReleaseRecords();
    return 0;
  }
  m_pImage->SetKey(key);
  CRecord* current = m_pImage->pDuplicate(RECORD_PARTS_ALL);
  if (!current) {
    SetHolderOutOfMemory(m_pErrorHolder);
    ReleaseRecords();
    return 0;
  }
  Exchange(m_pCurrent, current);
  return 1;
}

CRecordBuffer* CTableDescription::pGetCurrentBuffer() const { return m_pCurrent ? m_pCurrent->pGetBuffer() : nullptr; }
CRecordBuffer* CTableDescription::pGetImageBuffer() const { return m_pImage ? m_pImage->pGetBuffer() : nullptr; }

void CTableDescription::MarkCurrentRecord() {
  if (m_pCurrent) m_pCurrent->SetState(RECORD_STATE_MARKED);
}

int CTableDescription::bLoadCurrentBuffer(CRecordBuffer* buffer) {
  if (!m_pCurrent || !m_pCurrent->SetBuffer(buffer)) return 0;
  for (std::uint32_t i = 0; i < m_columns.nGetCount(); ++i) {
    CColumn* column = ColumnAt(m_columns, i);
    CFieldValue* value = column->pGetFieldValue();
    if (column->bIsMemo() || column->bIsCompositeKey() || !value) continue;
    if (column->bHasValue()) {
      value->Value().SetNull(false);
    } else {
      value->SetNull();
    }
  }
  return 1;
}

int CTableDescription::bAcceptCurrent() {
  m_nAccepted = 1;
  return m_pImage && m_pCurrent ? m_pImage->bCopyFrom(m_pCurrent, RECORD_PARTS_ALL) : 0;
}

void CTableDescription::AcceptMemoValues() {
  for (std::uint32_t i = 0; i < m_memos.nGetCount(); ++i) ColumnAt(m_memos, i)->AcceptMemoValue();
}

int CTableDescription::bRestoreCurrent() {
  return m_pImage && m_pCurrent ? m_pCurrent->bCopyFrom(m_pImage, RECORD_PARTS_ALL) : 0;
}

int CTableDescription::bIsCurrentEqual(CRecord* record) {
  return m_pCurrent && record ? m_pCurrent->bEquals(record, false) : 0;
}

std::int32_t CTableDescription::nMemoIndex(CColumn* column) const {
  for (std::uint32_t i = 0; i < m_memos.nGetCount(); ++i) {
    if (ColumnAt(m_memos, i) == column) return static_cast<std::int32_t>(i);
  }
  return -1;
}

int CTableDescription::bBindLargeValue(CColumn* column, CFieldValue* value) {
  const std::int32_t index = nMemoIndex(column);
  return index >= 0 && m_pCurrent ? m_pCurrent->bSetLargeValue(static_cast<std::uint32_t>(index), value) : 0;
}

CFieldValue* CTableDescription::pGetLargeValue(CColumn* column) const {
  const std::int32_t index = nMemoIndex(column);
  CValueRow* values = m_pCurrent ? m_pCurrent->pGetLargeValues() : nullptr;
  return index >= 0 && values ? values->pGetAt(static_cast<std::uint32_t>(index)) : nullptr;
}

int CTableDescription::bRebuildRecords(CRecordDescription* description) {
  ReleaseRecords();
  if (!bMakeRecords(description)) return 0;
  for (std::uint32_t i = 0; i < m_columns.nGetCount(); ++i) {
    CColumn* column = ColumnAt(m_columns, i);
    if (!column->bIsCompositeKey() && !column->bPrepareValueForTable()) return 0;
  }
  return 1;
}

// ---- columns
// -----------------------------------------------------------------------------------------------------

int CTableDescription::bAddColumn(CColumnDescriptor* item, CColumnDescriptor* secondary) {
  CColumn* column = pNewColumn(m_pErrorHolder, item);
  if (!column) return 0;
  if (!bAddCounted(m_columns, column)) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  if ((column->bIsMemo() && !bAddCounted(m_memos, column)) ||
      (column->bIsCompositeKey() && item->bIsUnique() && !bAddCounted(m_compositeUniqueKeys, column))) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  return column->bAttach(this, secondary);
}

CColumn* CTableDescription::pGetColumn(std::uint32_t index) const { return ColumnAt(m_columns, index); }
CColumn* CTableDescription::pGetKey(std::uint32_t index) const { return ColumnAt(m_keys, index); }

std::int32_t CTableDescription::nIndexOfColumn(CColumn* column) const {
  for (std::uint32_t i = 0; i < m_columns.nGetCount(); ++i) {
    if (ColumnAt(m_columns, i) == column) return static_cast<std::int32_t>(i);
  }
  return -1;
}

CColumn* CTableDescription::pFindColumnByName(const char16_t* name) {
  for (std::uint32_t i = 0; i < m_columns.nGetCount(); ++i) {
    CColumn* column = ColumnAt(m_columns, i);
    if (bSameText(column->pszGetName(), name)) return column;
  }
  return nullptr;
}

CColumn* CTableDescription::pFindColumn(CColumnDescriptor* descriptor) {
  if (!descriptor) return nullptr;
  if (!m_pTable || m_pTable->nGetColumnQualification() == 0) return ColumnAt(m_columns, descriptor->nGetPosition());
  const char16_t* caption = descriptor->pszGetCaption();
  const char16_t* tableName = descriptor->pszGetTableName();
  for (std::uint32_t i = 0; i < m_columns.nGetCount(); ++i) {
    CColumn* column = ColumnAt(m_columns, i);
    CColumnDescriptor* own = column->pGetDescriptorNoRef();
    const char16_t* ownCaption = own->pszGetCaption();
    const char16_t* ownTable = own->pszGetTableName();
    if (caption[0] && tableName[0] && ownCaption[0] && ownTable[0] && bSameText(caption, ownCaption) &&
        bSameText(tableName, ownTable)) {
      return column;
    }
  }
  return pFindColumnByName(descriptor->pszGetName());
}

bool CTableDescription::bFindCompositeKey(CColumn* const* columns, std::uint32_t count, const std::uint32_t* flags) {
  if (count < 2) return false;
  auto indexOf = [&](CColumn* column) -> std::int32_t {
    for (std::uint32_t i = 0; i < count; ++i) {
      if (columns[i] == column) return static_cast<std::int32_t>(i);
    }
    return -1;
  };
  for (std::uint32_t k = 0; k < m_compositeUniqueKeys.nGetCount(); ++k) {
    CColumn* key = ColumnAt(m_compositeUniqueKeys, k);
    const std::uint32_t components = key->nGetComponentColumnCount();
    if (!key->bIsComponentColumn(columns[count - 1]) || components > count) continue;
    // A unique key that allows NULL still holds for a row with one component known not to be NULL (flag 0 in the
    // list; without a list, a component that holds a value): only rows NULL in every component escape it.
    bool all = true;
    bool oneKnown = false;
    for (std::uint32_t c = 0; c < components && all; ++c) {
      CColumn* component = key->pGetComponentColumn(c);
      const std::int32_t at = indexOf(component);
      all = at >= 0;
      if (all && (flags ? flags[at] == 0 : component->bHasValue())) oneKnown = true;
    }
    if (all && (!key->bIsNullAllowed() || oneKnown)) return true;
  }
  return false;
}

CColumn* CTableDescription::pGetPositionKey() {
  if (m_pUnique && m_pUnique->bHasValue()) return m_pUnique;
  CColumn* first = pGetKey(0);
  if (first && first->bIsUniqueKey() && first->bHasValue()) return first;
  for (std::uint32_t i = 0; i < m_columns.nGetCount(); ++i) {
    CColumn* column = ColumnAt(m_columns, i);
    if (column->bIsUniqueKey() && column->bHasValue()) return column;
  }
  return nullptr;
}

// ---- building
// ------------------------------------------------------------------------------------------------------

int CTableDescription::bBuild(CRecordDescription* description, CRecordDescription* secondary, CConnection* connection) {
  SetConnection(connection);
  const std::uint32_t count = description->nGetItemCount();
  if (count == 0) {
    RaiseModuleError(m_pErrorHolder, 0, ERROR_UNIT_TABLE_DESCRIPTION, TABLE_DESCRIPTION_POINT_NO_ITEMS, m_pConnection,
                     description->pszGetName(), ERROR_NO_ITEMS);
    return 0;
  }
  if (!bMakeRecords(description)) return 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    CColumnDescriptor* item = description->pGetItemAt(i);
    CColumnDescriptor* second =
        !item->bIsCompositeKey() && secondary
            ? secondary->piFindItemByName(item->pszGetName(), FIND_ITEM_DEFAULT | FIND_ITEM_IGNORE_TRAILING_BLANKS)
            : nullptr;
    if (!bAddColumn(item, second)) return 0;
    CColumn* column = ColumnAt(m_columns, m_columns.nGetCount() - 1);
    if (!m_pAutoIdentifier && column->bIsAutoIdentifier()) Exchange(m_pAutoIdentifier, column);
    if (!m_pUnique && item->bIsUnique()) Exchange(m_pUnique, column);
  }
  for (std::uint32_t i = 0; i < m_columns.nGetCount(); ++i) {
    CColumn* column = ColumnAt(m_columns, i);
    if (!column->bIsCompositeKey() || column->nGetComponentColumnCount() > 0) continue;
    CColumnDescriptor* descriptor = column->pGetDescriptorNoRef();
    for (std::uint32_t c = 0; c < descriptor->nGetComponentCount(); ++c) {
      CColumn* component = pFindColumn(descriptor->pGetComponentAt(c));
      if (component && !column->AddComponentColumn(component)) return 0;
    }
  }
  ChooseKeyColumns();
  return 1;
}

bool CTableDescription::bIsKeyColumn(CColumn* column) const {
  for (std::uint32_t i = 0; i < m_keys.nGetCount(); ++i) {
    if (ColumnAt(m_keys, i) == column) return true;
  }
  return false;
}

void CTableDescription::AddKeyColumn(CColumn* column) {
  const std::uint32_t most = m_pConnection ? m_pConnection->nGetMaxIdentifierLength() : 0x7FFFFFFF;
  if (m_keys.nGetCount() >= most) return;
  if (column->bIsCompositeKey()) {
    for (std::uint32_t i = 0; i < m_keys.nGetCount(); ++i) {
      if (column->bIsComponentColumn(ColumnAt(m_keys, i))) return;
    }
    for (std::uint32_t c = 0; c < column->nGetComponentColumnCount(); ++c) {
      CColumn* component = column->pGetComponentColumn(c);
      if (m_keys.nGetCount() < most && !bIsKeyColumn(component)) bAddCounted(m_keys, component);
    }
    return;
  }
  if (!bIsKeyColumn(column)) bAddCounted(m_keys, column);
}

bool CTableDescription::bTakeUniqueKey(CColumn* column) {
  if (!column->bIsNullAllowed()) {
    ReleaseAll(m_keys);
    AddKeyColumn(column);
    return true;
  }
  AddKeyColumn(column);
  return false;
}

void CTableDescription::ChooseKeyColumns() {
  ReleaseAll(m_keys);
  if (m_pTable && m_pTable->nGetColumnQualification() != 0) {
    if (CQueryDescription* query = m_pTable->pGetQueryDescription()) {
      for (IHostKeyLink* link = query->pNextLink(true); link; link = query->pNextLink(false)) {
        CColumn* column = pGetColumn(link->nGetItemIndex());
        if (!column) continue;
        AddKeyColumn(column);
        if (column == m_pAutoIdentifier) break;
      }
    }
  }
  if (m_pAutoIdentifier) {
    ReleaseAll(m_keys);
    AddKeyColumn(m_pAutoIdentifier);
    return;
  }
  const std::uint32_t count = m_columns.nGetCount();
  for (std::uint32_t i = 0; i < count; ++i) {
    CColumn* column = ColumnAt(m_columns, i);
    if (!column->bIsCompositeKey() && column->pGetDescriptorNoRef()->bIsUnique() && bTakeUniqueKey(column)) return;
  }
  for (std::uint32_t i = 0; i < m_compositeUniqueKeys.nGetCount(); ++i) {
    if (bTakeUniqueKey(ColumnAt(m_compositeUniqueKeys, i))) return;
  }
  for (int composite = 0; composite < 2; ++composite) {
    for (std::uint32_t i = 0; i < count; ++i) {
      CColumn* column = ColumnAt(m_columns, i);
      if (column->bIsCompositeKey() == (composite != 0) && column->pGetDescriptorNoRef()->bIsKeyWithDuplicates()) {
        AddKeyColumn(column);
      }
    }
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    CColumn* column = ColumnAt(m_columns, i);
    CColumnDescriptor* item = column->pGetDescriptorNoRef();
    if (!item->bIsUnique() && !item->bIsKeyWithDuplicates() && !column->bIsMemo() && !column->bIsCompositeKey()) {
      AddKeyColumn(column);
    }
  }
}

// ---- dump and copies
// -----------------------------------------------------------------------------------------------

void CTableDescription::DumpRecord(CTString& text) {
  text.Empty();
  IRowKey* key = m_pCurrent ? m_pCurrent->pGetKey() : nullptr;
  if (key) {
    key->Dump(text, u"<Record ID> : ");
  } else {
    text.Append(u"<Record ID> : NULL");
  }
  text.Append(u"\n<NullValuesFlags (0=NULL)> :");
  CRecordBuffer* buffer = pGetCurrentBuffer();
  if (buffer) {
    for (std::uint32_t i = 0; i < buffer->nGetNullAreaSize(); ++i) {
      const std::uint8_t flags = buffer->pGetBlock()[i];
      text.AppendChar(u' ');
      for (int bit = 7; bit >= 0; --bit) text.AppendChar((flags >> bit) & 1 ? u'1' : u'0');
    }
  }
  for (std::uint32_t i = 0; i < m_columns.nGetCount(); ++i) {
    CColumn* column = ColumnAt(m_columns, i);
    if (column->bIsCompositeKey()) break;
    CTString line;
    column->bDump(line, true);
    text.AppendChar(u'\n');
    text.Append(line.pszGet());
  }
}

int CTableDescription::bCopyFrom(CTableDescription* source, CHashTable& cloneMap) {
  if (!bRegisterClone(cloneMap, source, this)) return 0;
  Exchange(m_pErrorHolder, source->m_pErrorHolder);
  SetConnection(source->m_pConnection);
  // The table owns its description: the copy belongs to the table's copy when
  // that is being made, else it stays with the source's table rather than
  // making a table that nothing would own.
  std::uint64_t table = 0;
  m_pTable = source->m_pTable && cloneMap.bLookup(nCloneKey(source->m_pTable), &table, nullptr)
                 ? reinterpret_cast<CTable*>(table)
                 : source->m_pTable;
  ReleaseRecords();
  if (source->m_pTemplate) {
    CRecordBuffer* buffer = source->m_pTemplate->pClone();
    if (!buffer) {
      SetHolderOutOfMemory(m_pErrorHolder);
      return 0;
    }
    Exchange(m_pTemplate, buffer);
  }
  if (source->m_pImage) {
    CRecord* image = source->m_pImage->pDuplicate(RECORD_PARTS_ALL);
    if (!image) return 0;
    Exchange(m_pImage, image);
  }
  if (source->m_pCurrent) {
    CRecord* current = source->m_pCurrent->pDuplicate(RECORD_PARTS_ALL);
    if (!current) return 0;
    Exchange(m_pCurrent, current);
  }
  m_nAccepted = source->m_nAccepted;
  m_nSecondFlag = source->m_nSecondFlag;
  const struct {
    const CRefPtrArray& from;
    CRefPtrArray& to;
  } lists[] = {{source->m_columns, m_columns},
               {source->m_keys, m_keys},
               {source->m_memos, m_memos},
               {source->m_compositeUniqueKeys, m_compositeUniqueKeys}};
  for (const auto& list : lists) {
    ReleaseAll(list.to);
    for (std::uint32_t i = 0; i < list.from.nGetCount(); ++i) {
      CColumn* column = pCloneChild(cloneMap, ColumnAt(list.from, i));
      if (!column) return 0;
      if (!list.to.Add(column)) {
        column->nRelease();
        SetHolderOutOfMemory(m_pErrorHolder);
        return 0;
      }
    }
  }
  CColumn* autoIdentifier = pCloneChild(cloneMap, source->m_pAutoIdentifier);
  Exchange(m_pAutoIdentifier, autoIdentifier);
  if (autoIdentifier) autoIdentifier->nRelease();
  CColumn* unique = pCloneChild(cloneMap, source->m_pUnique);
  Exchange(m_pUnique, unique);
  if (unique) unique->nRelease();
  // Memos take the values the copied current record holds.
  for (std::uint32_t i = 0; i < m_columns.nGetCount(); ++i) {
    CColumn* column = ColumnAt(m_columns, i);
    if (!column->bIsCompositeKey() && !column->bPrepareFieldValue(this)) return 0;
  }
  return 1;
}

CTableDescription* CTableDescription::pClone(CHashTable& cloneMap) {
  return pCloneUnreferenced(new (std::nothrow) CTableDescription(m_pErrorHolder, m_pTable), m_pErrorHolder,
                            [&](CTableDescription* copy) { return copy->bCopyFrom(this, cloneMap); });
}
