// The table's lifecycle: open, create and open, drop, delete all, close, and the state every one of them resets;
// the table description made for the open table; the record flags and buffers the runtime reads of it.
#include <cstdint>

#include "engine/cache/saved_position.h"
#include "engine/cache/shared_row_source.h"
#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/record.h"
#include "engine/record/record_buffer.h"
#include "engine/record/record_description.h"
#include "engine/record/table_description.h"
#include "engine/table/automatic_identifier.h"
#include "engine/table/cursor.h"
#include "engine/table/table.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/reference_guard.h"
#include "sql/connection.h"
#include "sql/table_registry.h"

namespace {

enum : std::uint32_t {
  TABLE_ERROR_NOT_AVAILABLE_HERE = 18,
  TABLE_POINT_CHECK_AVAILABLE = 14,
};

template <typename T>
void ReleaseCounted(T*& object) {
  if (object) object->nRelease();
  object = nullptr;
}

}  // namespace

void CTable::SetOpenName() {
  const char16_t* name = m_pIdentifierSource ? static_cast<CTableRegistry*>(m_pIdentifierSource)->pszGetName() : nullptr;
  m_strOpenName = name && *name ? name : pszGetName();
}

int CTable::bOpen(std::uint32_t, RuntimeWord) {
  SetOpenName();
  if (m_bOpen) return 1;
  if (!bIsUsable() || !bEnsureTableDescription()) return bFailNonFatal();
  m_bOpen = 1;
  return 1;
}

int CTable::bDropTable() {
  SetOpenName();
  if (!bDoCreate(1, 0)) return bFailNonFatal();
  return 1;
}

int CTable::bCreateAndOpen(RuntimeWord, std::uint32_t dropFirst) {
  SetOpenName();
  if (!bDoCreate(dropFirst, 1) || !bEnsureTableDescription()) return bFailNonFatal();
  m_bOpen = 1;
  return 1;
}

int CTable::bOpenOrCreate(std::uint32_t, RuntimeWord b) {
  SetOpenName();
  std::uint32_t exists = 0;
  const int checked = bCheckTableDescription(&exists, nullptr);
  m_bExistsAndUsable = checked && exists;
  // A table that is not there is created without a DROP; the check's error goes with the creation's success.
  if (m_bExistsAndUsable) return bOpen(0, 0);
  if (m_pErrorHolder) m_pErrorHolder->Clear();
  return bCreateAndOpen(b, 0);
}

int CTable::bDeleteAll() {
  SetOpenName();
  const int done = bDoDeleteAll();
  m_bOpen = 0;
  return done ? 1 : bFailNonFatal();
}

int CTable::bClose() {
  ResetState();
  return 1;
}

int CTable::bReleaseRecordLocks() { return 1; }

void CTable::ResetState() {
  bDropSharedRowSource();
  std::uint32_t position = 0;
  std::uint64_t value = 0;
  while (m_savedPositions.bIterate(position, 1, &value, nullptr))
    reinterpret_cast<CSavedPosition*>(static_cast<std::uintptr_t>(value))->nRelease();
  ReleaseAllContexts();
  ReleaseCounted(m_pAutomaticIdentifier);
  ReleaseCounted(m_pSqlContext);
  m_bOpen = 0;
}

int CTable::bDropSharedRowSource() {
  if (!m_pSharedRowSource) return 1;
  std::uint32_t position = 0;
  std::uint64_t value = 0;
  while (m_contexts.bIterate(position, 0, &value, nullptr))
    reinterpret_cast<CCursor*>(static_cast<std::uintptr_t>(value))->DropSharedView();
  if (m_pSqlContext) m_pSqlContext->DropSharedView();
  ReleaseCounted(m_pSharedRowSource);
  return 1;
}

int CTable::bEnsureTableDescription() {
  CRecordDescription* description = pGetDriverDescription();
  if (!m_pTableDescription) {
    if (!description) return 0;
    CTableDescription* made = pNewTableDescription();
    if (!made) {
      SetHolderOutOfMemory(m_pErrorHolder);
      return 0;
    }
    made->AddRef();
    if (!made->bBuild(description, m_pAttachedDescription, m_pConnection)) {
      made->nRelease();
      return 0;
    }
    m_pTableDescription = made;
  } else if (m_pAttachedDescription && m_pTableDescription->nGetColumnCount() > 0 &&
             !m_pTableDescription->pGetColumn(0)->pGetSecondaryDescriptor()) {
    // Applied again: a description attached after the build lends its items to the columns.
    for (std::uint32_t i = 0; i < m_pTableDescription->nGetColumnCount(); ++i) {
      CColumn* column = m_pTableDescription->pGetColumn(i);
      if (column->bIsCompositeKey()) continue;
      CColumnDescriptor* item = m_pAttachedDescription->piFindItemByName(column->pGetDescriptorNoRef()->pszGetName(),
                                                                          FIND_ITEM_DEFAULT);
      if (item && !column->bSetSecondaryDescriptor(item)) return 0;
    }
  }
  return bLinkTableDescription();
}

std::uint32_t CTable::nGetLastError() {
  if (!m_pErrorHolder) return 0;
  const std::uint32_t category = m_pErrorHolder->nGetRecordedCode();
  if (category != 0 && category != ERROR_CODE_NONE_RECORDED) return category;
  return m_pConnection ? m_pConnection->nGetErrorCategory(m_pErrorHolder->nGetNativeErrorCode()) : 0;
}

int CTable::bCheckAvailable(RuntimeWord key) {
  if (key == 0) return 1;
  return bRaise(TABLE_ERROR_NOT_AVAILABLE_HERE, TABLE_POINT_CHECK_AVAILABLE);
}

int CTable::bGetRecordFlags(RuntimeWord key, RuntimeWord outFlags) {
  if (!bCheckAvailable(key)) return 0;
  CRecord* record = m_pTableDescription ? m_pTableDescription->pGetCurrentRecord() : nullptr;
  if (outFlags) *reinterpret_cast<std::uint32_t*>(outFlags) = record ? record->nGetState() : 0;
  return 1;
}

int CTable::bGetRecordBuffer(RuntimeWord out) {
  if (!m_bOpen || !m_pTableDescription || !out) return 0;
  CRecordBuffer* buffer = m_pTableDescription->pGetCurrentBuffer();
  if (!buffer) return 0;
  buffer->AddRef();
  *reinterpret_cast<CRecordBuffer**>(out) = buffer;
  return 1;
}

int CTable::bSetRecordBuffer(RuntimeWord value) {
  auto* buffer = reinterpret_cast<CRecordBuffer*>(value);
  if (!m_bOpen || !m_pTableDescription || !buffer) return 0;
  const int loaded = m_pTableDescription->bLoadCurrentBuffer(buffer);
  // The caller's reference is the table's to give back, whatever the load answered.
  buffer->nRelease();
  return loaded;
}
