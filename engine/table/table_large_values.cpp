// Large values, automatic identifiers and the record lock setting: memo items read and written one by one by their
// index among the large items, the next identifier before an INSERT, and the lock mode the runtime sets.
#include <cstdint>

#include "engine/cache/row_cache.h"
#include "engine/cache/shared_row_source.h"
#include "engine/record/column.h"
#include "engine/record/table_description.h"
#include "engine/table/automatic_identifier.h"
#include "engine/table/cursor.h"
#include "engine/table/table.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/x_error.h"
#include "host/host_type.h"
#include "host/host_value.h"

// A large item the description does not have (the runtime's index goes beyond them) is an unknown item; one without a
// column is an unknown item too, or, while the table has no columns yet, a table not open.

namespace {

enum : std::uint32_t {
  TABLE_ERROR_LOCK_MODE = 55,
  TABLE_POINT_LOCK_MODE = 21,
  TABLE_MESSAGE_LOCK_MODE = 25667,
};

// A large item of the record description, handed out with a reference and given back when the holder goes.
class CLargeItem {
 public:
  CLargeItem(IHostFileDescription* description, std::uint32_t index)
      : m_pItem(description ? static_cast<IHostItemDescription*>(description->piGetLargeItem(index)) : nullptr) {}
  ~CLargeItem() {
    if (m_pItem) m_pItem->nRelease();
  }
  CLargeItem(const CLargeItem&) = delete;
  CLargeItem& operator=(const CLargeItem&) = delete;
  IHostItemDescription* Get() const { return m_pItem; }

 private:
  IHostItemDescription* m_pItem;
};

}  // namespace

int CTable::bReadLargeValue(std::uint32_t index, RuntimeWord value) {
  auto* target = reinterpret_cast<CHostValue*>(value);
  if (!target) return 0;
  if (!m_pCurrentContext && !m_pTableDescription) {
    // Nothing was read yet, so there is no value to give: the runtime sees a null one.
    target->SetNull(true);
    return 1;
  }
  CLargeItem item(m_pRecordDescription, index);
  if (!item.Get()) return bRaise(TABLE_ERROR_NO_SUCH_ITEM, TABLE_POINT_MISSING_PART);
  if (m_pCurrentContext) return m_pCurrentContext->bReadMemoValue(item.Get()->pszGetName(), target);
  CColumn* column = m_pTableDescription->pFindColumnByName(item.Get()->pszGetName());
  if (!column) return bRaiseNoColumn();  // not reached: the columns are made from the description's items
  if (!column->bHasValue() && !bLoadDeferredValue(column)) return 0;
  return column->bGetValue(*target, 0);
}

int CTable::bWriteLargeValue(std::uint32_t index, RuntimeWord buffer) {
  CLargeItem item(m_pRecordDescription, index);
  if (!item.Get()) return bRaise(TABLE_ERROR_NO_SUCH_ITEM, TABLE_POINT_MISSING_PART);
  return bSetItemFromBuffer(item.Get(), buffer);
}

int CTable::bCallLargeValueSlot(std::uint32_t index, RuntimeWord value) {
  CLargeItem item(m_pRecordDescription, index);
  if (!item.Get()) return bRaise(TABLE_ERROR_NO_SUCH_ITEM, TABLE_POINT_MISSING_PART);
  return bLinkMemoFile(item.Get(), value);
}

int CTable::bSaveMemoToFile(std::uint32_t index, RuntimeWord value) {
  if (!m_pCurrentContext) return 1;
  CLargeItem item(m_pRecordDescription, index);
  if (!item.Get()) return bRaise(TABLE_ERROR_NO_SUCH_ITEM, TABLE_POINT_MISSING_PART);
  return m_pCurrentContext->bSaveMemoToFile(item.Get()->pszGetName(), reinterpret_cast<const char16_t*>(value));
}

int CTable::bSetItemFromBuffer(IHostItemDescription* item, RuntimeWord buffer) {
  auto* value = reinterpret_cast<CHostValue*>(buffer);
  CColumn* column = m_pTableDescription && item ? m_pTableDescription->pFindColumnByName(item->pszGetName()) : nullptr;
  if (!value) return bRaise(TABLE_ERROR_BAD_ARGUMENT, TABLE_POINT_MISSING_PART);
  if (!column) return bRaiseNoColumn();
  return column->bSetValue(*value, 0);
}

int CTable::bLinkMemoFile(IHostItemDescription* item, RuntimeWord value) {
  CColumn* column = m_pTableDescription && item ? m_pTableDescription->pFindColumnByName(item->pszGetName()) : nullptr;
  if (!column) return bRaiseNoColumn();
  return column->bLinkMemoFile(reinterpret_cast<const char16_t*>(value));
}

int CTable::bLoadDeferredValue(CColumn*) { return 1; }

int CTable::bCopyValue(RuntimeWord valueObject, RuntimeWord a, RuntimeWord b) {
  auto* copy = reinterpret_cast<IValueCopy*>(valueObject);
  if (!copy) return 0;
  if (!copy->bPrepare(b, 0, 1)) return 0;
  return copy->bTake(a, 0);
}

CAutomaticIdentifier* CTable::pGetAutomaticIdentifier() {
  if (!m_pAutomaticIdentifier) {
    CAutomaticIdentifier* made = pNewAutomaticIdentifier();
    if (!made) {
      SetHolderOutOfMemory(m_pErrorHolder);
      return nullptr;
    }
    made->AddRef();
    m_pAutomaticIdentifier = made;
  }
  m_pAutomaticIdentifier->AddRef();
  return m_pAutomaticIdentifier;
}

int CTable::bComputeAutomaticIdentifier() {
  CColumn* column = m_pTableDescription ? m_pTableDescription->pGetAutoIdentifierColumn() : nullptr;
  if (!column) return 1;
  CAutomaticIdentifier* identifier = pGetAutomaticIdentifier();
  if (!identifier) return 0;
  CHostValue next;
  const int computed = identifier->bGetNextValue(this, column, m_pErrorHolder, &next);
  identifier->nRelease();
  return computed && column->bSetValue(next, 0);
}

int CTable::bSetLockMode(std::uint32_t mode) {
  // The mode stays stored even when it is refused: nothing reads it back, the answer and the error tell the runtime.
  m_nRecordLockMode = mode;
  CSharedRowSource* source = m_pSharedRowSource;
  if (!source) return 1;
  if (mode == 2) return source->pGetRowCache() != nullptr;
  if (mode != 1 && mode != 3) return 1;
  CCursor* sourceCursor = source->pGetSourceCursor();
  const bool cacheExists = source->pGetBuiltCache() || (sourceCursor && sourceCursor->pGetRowCache());
  if (cacheExists && source->bIsComplete()) return 1;
  const char16_t* name = pszGetName();
  if (!m_pErrorHolder || m_pErrorHolder->nGetLevel() == ERROR_LEVEL_NONE) {
    RaiseModuleError(m_pErrorHolder, 0, ERROR_UNIT_TABLE, TABLE_POINT_LOCK_MODE, m_pConnection, name,
                     TABLE_ERROR_LOCK_MODE, name);
  } else {
    m_pErrorHolder->AddUserMessage(TABLE_MESSAGE_LOCK_MODE, name);
  }
  return 0;
}
