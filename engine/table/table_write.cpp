// Writing records: the order of record lock, statement and unlock for UPDATE, INSERT and DELETE, the statement
// kinds run on the default context, how a failed run is classified, and whom a change is told.
#include <cstdint>

#include "engine/cache/keyed_row_cache.h"
#include "engine/cache/row_cache.h"
#include "engine/cache/shared_row_source.h"
#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/record.h"
#include "engine/record/table_description.h"
#include "engine/table/automatic_identifier.h"
#include "engine/table/cursor.h"
#include "engine/table/table.h"
#include "engine/values/field_value.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/t_string.h"
#include "host/host_value.h"
#include "sql/conditions/key_condition.h"
#include "sql/connection.h"
#include "sql/driver_services.h"
#include "sql/rewriter/sql_rewriter.h"

namespace {

enum : std::uint32_t {
  RECORD_FLAG_NEW = 0x80,          // the current record is not in the database yet
  WRITE_FLAG_RESET = 64,           // the runtime wants the image made equal to what it wrote
  WRITE_FLAG_INSERT_AFTER = 0x100, // the INSERT follows an UPDATE that found no row
  NOTICE_FLAG_NONE = 2,            // notification flag: nobody is told
  NOTICE_FLAG_CONTEXTS = 1,        // notification flag: the contexts are told even without shared rows
  TABLE_ERROR_SQL_QUERY = 35,
  TABLE_POINT_SQL_QUERY = 16,
  CATEGORY_LOCKED = 1,
  CATEGORY_DUPLICATE = 3,
  CATEGORY_VALUE_REQUIRED = 8,
};

// Record-lock modes 0 and 1 release: a write holds the record with 2 while it runs.
std::uint32_t nWriteLockMode(std::uint32_t mode) { return mode <= 1 ? 2 : mode; }

// Every column that is not a composite key completes its written value; the first failure stops.
int bCompleteValues(CTableDescription* columns) {
  for (std::uint32_t i = 0; i < columns->nGetColumnCount(); ++i) {
    CColumn* column = columns->pGetColumn(i);
    if (!column->bIsCompositeKey() && !column->bClearValue()) return 0;
  }
  return 1;
}

bool bIsUniqueItem(CColumnDescriptor* item) { return item && (item->bIsUnique() || item->bIsPrimaryKey()); }

}  // namespace

// The rows of a query given as SQL text belong to no table the driver knows (the text is run as it stands; the
// server describes its columns without their tables): a write or a delete through it is refused as such before a
// lock statement is built over the query, which the server would refuse as it stands.
int CTable::bRefuseSqlQueryWrite() { return bIsSqlQuery() ? bRaise(TABLE_ERROR_SQL_QUERY, TABLE_POINT_SQL_QUERY) : 1; }

// ---- the runtime's record operations ----

int CTable::bHaveColumns() { return m_pTableDescription || (bEnsureTableDescription() && m_pTableDescription); }

int CTable::bSaveRecord(RuntimeWord key, std::uint32_t flags, std::uint32_t mode) {
  return bWriteRecord(key, flags, mode);
}

int CTable::bWriteRecord(RuntimeWord key, std::uint32_t flags, std::uint32_t mode) {
  if (!bCheckAvailable(key)) return 0;
  if (!bHaveColumns() || !bCompleteValues(m_pTableDescription)) return 0;
  if (key == 0 && m_nCurrentRecordSlot != SLOT_NONE) bReadSlotIntoImage(m_nCurrentRecordSlot);
  CRecord* image = m_pTableDescription->pGetImageRecord();
  CRecord* copy = image ? image->pDuplicate(RECORD_PARTS_ALL) : nullptr;
  if (!copy) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  copy->AddRef();
  const int written = bDoWriteRecord(0, flags, mode, reinterpret_cast<RuntimeWord>(copy));
  copy->nRelease();
  if (written && (flags & WRITE_FLAG_RESET) && !bIsSqlQuery() &&
      !m_pTableDescription->bIsCurrentEqual(m_pTableDescription->pGetImageRecord())) {
    bResetRecordBuffer(0);
  }
  return written;
}

int CTable::bDoWriteRecord(RuntimeWord, std::uint32_t flags, std::uint32_t mode, RuntimeWord argument) {
  CCursor* context = pGetDefaultContext();
  if (!context || !bRefuseSqlQueryWrite()) return 0;
  const int locked = bLockCurrentRecord(context, nWriteLockMode(mode), 0, 0);
  int written = locked && bExecuteModification(context, SQL_STATEMENT_UPDATE, flags, argument);
  CRecord* current = m_pTableDescription ? m_pTableDescription->pGetCurrentRecord() : nullptr;
  // An UPDATE with no changed column runs nothing and counts as done; a new record (one just deleted, written back
  // as it was) is not in the table for it to have reached, and goes in through the INSERT below.
  if (written && current && (current->nGetState() & RECORD_FLAG_NEW) &&
      (!context->pGetStatement() || context->pGetStatement()->bIsStatementEmpty())) {
    written = 0;
  }
  // A new record that no UPDATE reached is inserted, even when its lock could not be had (nothing to lock yet).
  if (!written && current && (current->nGetState() & RECORD_FLAG_NEW)) {
    written = bExecuteModification(context, SQL_STATEMENT_INSERT, flags | WRITE_FLAG_INSERT_AFTER, argument);
    // The UPDATE's or the lock's failure was the reason for the INSERT, not a failure of the write.
    if (written && m_pErrorHolder) m_pErrorHolder->Clear();
  }
  if (written) bResetRecordBuffer(0);
  const int unlocked = bUnlockCurrentRecord(context, mode, 0, 0);
  if (context->nGetReadMode() == 1) context->FreeStatement();
  return written && unlocked;
}

int CTable::bAddRecord(std::uint32_t flags, std::uint32_t mode) {
  if (!bHaveColumns() || !bCompleteValues(m_pTableDescription)) return 0;
  if (!bDoAddRecord(flags, mode)) return 0;
  if (bIsSqlQuery()) return 1;
  if ((flags & WRITE_FLAG_RESET) ||
      !m_pTableDescription->bIsCurrentEqual(m_pTableDescription->pGetImageRecord())) {
    bResetRecordBuffer(0);
  }
  if (!(flags & WRITE_FLAG_RESET)) {
    // The added record becomes the pinned current record; the one before it is given back.
    const std::uint32_t slot = nStoreCurrentRecord();
    PinRecordSlot(slot);
    UnpinRecordSlot(m_nCurrentRecordSlot);
    m_nCurrentRecordSlot = slot;
  }
  return 1;
}

int CTable::bDoAddRecord(std::uint32_t flags, std::uint32_t mode) {
  if (!bHaveColumns()) return 0;
  const CRefPtrArray& memos = m_pTableDescription->GetMemoColumns();
  // Large values left on the server belong to a record read or written before: with none yet (a table just made or
  // opened) there is nothing to read, and a NULL is the value the add writes.
  const std::uint32_t stored = m_pTableDescription->nGetAccepted() ? memos.nGetCount() : 0;
  for (std::uint32_t i = 0; i < stored; ++i) {
    CFieldValue* value = m_pTableDescription->pGetLargeValue(static_cast<CColumn*>(memos.pGetObject(i)));
    CHostValue held;
    if (!value || !value->bGetValue(&held) || !held.bIsNull()) continue;
    CHostValue scratch;
    // A large value that cannot be read would be written as NULL: the add fails with the read's error instead of
    // answering 1 over a lost value.
    if (!bReadLargeValue(i, reinterpret_cast<RuntimeWord>(&scratch))) return 0;
  }
  CCursor* context = pGetDefaultContext();
  if (!context || !context->bSetReadMode(mode)) return 0;
  int added = bExecuteModification(context, SQL_STATEMENT_INSERT, flags, 0);
  if (added) added = bLockCurrentRecord(context, mode, 0, 0);
  if (context->nGetReadMode() == 1) context->FreeStatement();
  return added;
}

int CTable::bModifyRecord(RuntimeWord key, std::uint32_t mode, RuntimeWord argument) {
  const std::uint32_t slot = m_nCurrentRecordSlot;
  // The pinned current record must outlive the re-read; its extra pin is given back at the end.
  if (slot != SLOT_NONE) {
    PinRecordSlot(slot);
    if (!bResetRecordBuffer(1)) {
      m_nCurrentRecordSlot = slot;
      UnpinRecordSlot(slot);
      return 0;
    }
  }
  int modified = bCheckAvailable(key) && bRefuseSqlQueryWrite();
  CCursor* context = modified ? pGetDefaultContext() : nullptr;
  modified = context && bLockCurrentRecord(context, mode, key, argument) && bDoModifyRecord(key, 1);
  if (context && context->nGetReadMode() == 1) context->FreeStatement();
  m_nCurrentRecordSlot = slot;
  UnpinRecordSlot(slot);
  return modified;
}

int CTable::bDoModifyRecord(RuntimeWord, std::uint32_t mode) {
  CCursor* context = pGetDefaultContext();
  if (!context) return 0;
  const int modified = context->bModifyRecord(mode, 0);
  std::uint32_t outOfRange = 0;
  context->GetOutOfRange(&outOfRange);
  if (modified && outOfRange && m_pTableDescription) {
    // The row is gone from the database: what the runtime holds becomes a record to insert.
    CopyImageToCurrent();
    if (CRecord* current = m_pTableDescription->pGetCurrentRecord()) current->SetState(RECORD_FLAG_NEW);
  }
  context->FreeStatement();
  return modified;
}

int CTable::bDeleteRecord(RuntimeWord key, std::uint32_t mode) {
  if (!bCheckAvailable(key) || !bRefuseSqlQueryWrite() || !bHaveColumns()) return 0;
  if (key == 0 && m_nCurrentRecordSlot != SLOT_NONE) bReadSlotIntoImage(m_nCurrentRecordSlot);
  CCursor* context = pGetDefaultContext();
  if (!context) return 0;
  int deleted = bLockCurrentRecord(context, nWriteLockMode(mode), key, 0);
  if (deleted) {
    deleted = bExecuteModification(context, SQL_STATEMENT_DELETE, 0, 0);
    deleted = bUnlockCurrentRecord(context, 1, 0, 0) && deleted;
  }
  context->FreeStatement();
  if (deleted) {
    if (CRecord* current = m_pTableDescription->pGetCurrentRecord()) current->SetState(RECORD_FLAG_NEW);
  }
  return deleted;
}

// ---- one statement kind run on a context ----

int CTable::bExecuteModification(CCursor* context, std::uint32_t kind, std::uint32_t flags, RuntimeWord argument) {
  if (bIsSqlQuery() && (kind == SQL_STATEMENT_UPDATE || kind == SQL_STATEMENT_INSERT || kind == SQL_STATEMENT_DELETE))
    return bRaise(TABLE_ERROR_SQL_QUERY, TABLE_POINT_SQL_QUERY);
  if (!context) return 0;
  context->FreeStatement();
  CSqlRewriter* statement = pNewSqlStatement();
  if (!statement) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  statement->AddRef();
  int done = context->bBuildStatement(kind, statement, flags) && context->bOpen(1, flags);
  statement->nRelease();
  // What was written is the server's now: a later UPDATE of the record leaves its large values out unless changed
  // again, not to put them back over another session's.
  if (done && m_pTableDescription && (kind == SQL_STATEMENT_UPDATE || kind == SQL_STATEMENT_INSERT)) {
    m_pTableDescription->AcceptMemoValues();
  }
  if (!done) {
    done = bClassifyFailure(context, kind, flags);
  } else if (kind == SQL_STATEMENT_UPDATE) {
    done = context->bStoreAutomaticIdentifier(nullptr, flags);
  } else if (kind == SQL_STATEMENT_INSERT) {
    done = context->bOnRecordInserted(kind, flags);
  }
  // Every column of the record went out with the write (an INSERT, or an UPDATE while the image was unconfirmed):
  // the image taken from it is the database's again.
  if (done && (kind == SQL_STATEMENT_UPDATE || kind == SQL_STATEMENT_INSERT)) m_bImageUnconfirmed = 0;
  if (done && kind != SQL_STATEMENT_SELECT) {
    NotifyChange(kind, context, flags, reinterpret_cast<CRecord*>(argument));
    NotifyTablesOfOwner(m_pOwner, this, kind, context, flags);
  }
  return done;
}

int CTable::bClassifyFailure(CCursor* context, std::uint32_t kind, std::uint32_t flags) {
  const std::uint32_t category = nGetLastError();
  switch (category) {
    case 0:
      return kind == SQL_STATEMENT_CREATE ? bRetryCreateWithLongTypes(context, flags) : 0;
    case CATEGORY_DUPLICATE:
      if (m_pErrorHolder) m_pErrorHolder->SetRecordedCode(category);
      NameDuplicateKey(kind);
      return 0;
    case CATEGORY_VALUE_REQUIRED:
      if (m_pErrorHolder) m_pErrorHolder->SetRecordedCode(category);
      NameMissingValue();
      return 0;
    case 5:
    case 6:
      // The statement object recorded what the runtime needs to know.
      return 0;
    default:
      if (m_pErrorHolder) m_pErrorHolder->SetRecordedCode(category);
      return 0;
  }
}

int CTable::bRetryCreateWithLongTypes(CCursor* context, std::uint32_t flags) {
  const std::int32_t narrowLimit = m_pConnection ? m_pConnection->nGetVarcharMax() : -1;
  const std::int32_t wideLimit = m_pConnection ? m_pConnection->nGetNVarcharMax() : -1;
  CSqlRewriter* failed = context->pGetStatement();
  if ((narrowLimit == -1 && wideLimit == -1) || !failed) return 0;
  CTString text(failed->GetStatementText().pszGet());
  bool changed = false;
  CTString rewritten;
  // The wide type first: its name holds the narrow one, whose limit is the larger.
  if (wideLimit != -1 &&
      CCursor::bReplaceOversizedType(rewritten, text.pszGet(), m_pConnection->pszGetNVarcharTypeName(),
                                     static_cast<std::uint32_t>(wideLimit),
                                     m_pConnection->pszGetLongNTextTypeName())) {
    text = rewritten.pszGet();
    changed = true;
  }
  if (narrowLimit != -1 &&
      CCursor::bReplaceOversizedType(rewritten, text.pszGet(), m_pConnection->pszGetVarcharTypeName(),
                                     static_cast<std::uint32_t>(narrowLimit),
                                     m_pConnection->pszGetLongTextTypeName())) {
    text = rewritten.pszGet();
    changed = true;
  }
  if (!changed) return 0;
  CSqlRewriter* statement = pNewSqlStatement();
  if (!statement) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  statement->AddRef();
  statement->SetStatementKind(6);  // the query kind of CREATE TABLE
  int done = statement->nAppendText(text.pszGet()) != 0;
  if (done) {
    // The first run's error is no longer the caller's: the holder takes the retry's alone.
    if (m_pErrorHolder) m_pErrorHolder->Clear();
    done = context->bExecuteText(statement, 1, flags);
  }
  statement->nRelease();
  return done;
}

void CTable::NameDuplicateKey(std::uint32_t kind) {
  if (!m_pTableDescription) return;
  for (std::uint32_t i = 0; i < m_pTableDescription->nGetColumnCount(); ++i) {
    CColumn* column = m_pTableDescription->pGetColumn(i);
    CColumnDescriptor* item = column->pGetDescriptorNoRef();
    if (!bIsUniqueItem(item)) item = column->pGetSecondaryDescriptor();
    if (!bIsUniqueItem(item)) continue;
    if (kind == SQL_STATEMENT_UPDATE && !column->bIsChanged()) continue;
    CCursor* probe = pNewContext();
    if (!probe) return;
    probe->AddRef();
    CKeyCondition* condition = probe->pNewConditionNode(m_pErrorHolder);
    std::int64_t count = 0;
    if (condition) {
      probe->SetConditionNode(condition);
      // A search or count that fails names nothing: the duplicate state alone stays.
      if (!condition->bSetRecordSearch(m_pTableDescription, item, 0, 1) || !probe->bGetRecordCount(&count, 0, 0))
        count = 0;
    }
    probe->bClose();
    probe->nRelease();
    if (count > 0) {
      if (m_pErrorHolder) m_pErrorHolder->SetFileAndItem(pszGetName(), column->pszGetName());
      return;
    }
  }
}

void CTable::NameMissingValue() {
  if (!m_pTableDescription || !m_pErrorHolder) return;
  for (std::uint32_t i = 0; i < m_pTableDescription->nGetColumnCount(); ++i) {
    CColumn* column = m_pTableDescription->pGetColumn(i);
    if (column->bIsCompositeKey() || column->bIsNullAllowed() || column->bHasValue()) continue;
    m_pErrorHolder->SetFileAndItem(pszGetName(), column->pszGetName());
    return;
  }
}

// ---- change notices ----

void CTable::NotifyChange(std::uint32_t kind, CCursor* context, std::uint32_t flags, CRecord* record) {
  if ((m_nNotificationFlags & NOTICE_FLAG_NONE) || !m_pTableDescription) return;
  CRecord* current = m_pTableDescription->pGetCurrentRecord();
  CRecord* image = m_pTableDescription->pGetImageRecord();
  switch (kind) {
    case SQL_STATEMENT_UPDATE:
      if (m_pRecordStore) m_pRecordStore->nApplyModification(kind, current, image, 0);
      break;
    case SQL_STATEMENT_DELETE: {
      const std::uint32_t stored = m_pRecordStore ? m_pRecordStore->nFindRecord(image) : ROW_NONE;
      if (stored != ROW_NONE) m_pRecordStore->SetMark(stored, ROW_MARK_DELETED);
      break;
    }
    default:
      break;
  }
  NotifyRowReaders(kind, context, flags, record, current, image, true);
  // A context that stands on the record written keeps the values written as its own: the records counted before it
  // are those before it now, not those before the values it read.
  std::uint32_t position = 0;
  std::uint64_t value = 0;
  while (kind == SQL_STATEMENT_UPDATE && record && current && !m_pSharedRowSource &&
         m_contexts.bIterate(position, 0, &value, nullptr)) {
    CRecord* saved = reinterpret_cast<CCursor*>(static_cast<std::uintptr_t>(value))->pGetSavedRecord();
    if (saved && saved != record && saved->bEquals(record, true)) saved->bCopyFrom(current, RECORD_PARTS_ALL);
  }
}

void CTable::NotifyRowReaders(std::uint32_t kind, CCursor* context, std::uint32_t flags, CRecord* record,
                              CRecord* written, CRecord* before, bool ownSource) {
  // Only a complete shared cache is kept in step: an incomplete one reads the changed row when it gets there.
  CRowCache* shared = ownSource && m_pSharedRowSource && m_pSharedRowSource->bIsComplete()
                          ? m_pSharedRowSource->pGetRowCache()
                          : nullptr;
  std::uint32_t row = ROW_NONE;
  if (shared && kind == SQL_STATEMENT_UPDATE) row = shared->nApplyModification(kind, written, before, 0);
  if (shared && kind == SQL_STATEMENT_INSERT) row = shared->nApplyModification(kind, written, nullptr, 0);
  if (shared && kind == SQL_STATEMENT_DELETE) row = shared->nApplyModification(kind, nullptr, before, 0);
  std::uint32_t position = 0;
  std::uint64_t value = 0;
  if (m_pSharedRowSource || (m_nNotificationFlags & NOTICE_FLAG_CONTEXTS)) {
    while (m_contexts.bIterate(position, 0, &value, nullptr)) {
      reinterpret_cast<CCursor*>(static_cast<std::uintptr_t>(value))->NotifyRowChange(kind, row, context, flags,
                                                                                      record);
    }
  }
}

void CTable::NotifyOtherTables(std::uint32_t kind, CCursor* context, std::uint32_t flags) {
  if ((m_nNotificationFlags & NOTICE_FLAG_NONE) || !m_pTableDescription) return;
  // The writer's records tell which row changed and how: this table's own current record and image are another
  // record, or the same one with values the program has not written yet, and its stored records are what it read,
  // which its own next write compares with. Rows of another layout (another table's) are none of its business.
  CTableDescription* writer = context ? context->pGetColumnSet() : nullptr;
  CTable* table = writer ? writer->pGetTable() : nullptr;
  if (!table || table == this || table->pGetRecordDescription() != m_pRecordDescription ||
      writer->nGetColumnCount() != m_pTableDescription->nGetColumnCount())
    return;
  // The deleted row is marked where this table stored it too (a position on it is restored as on a deleted record);
  // an updated one keeps the values this table read, which its own next write compares with.
  const std::uint32_t stored = kind == SQL_STATEMENT_DELETE && m_pRecordStore
                                   ? m_pRecordStore->nFindRecord(writer->pGetImageRecord())
                                   : ROW_NONE;
  if (stored != ROW_NONE) m_pRecordStore->SetMark(stored, ROW_MARK_DELETED);
  // Shared rows the writer kept in step already are not changed twice.
  NotifyRowReaders(kind, context, flags, nullptr, writer->pGetCurrentRecord(), writer->pGetImageRecord(),
                   m_pSharedRowSource != table->pGetSharedRowSource());
}

// ---- record locks: the Oracle table takes them ----

int CTable::bLockCurrentRecord(CCursor*, std::uint32_t, RuntimeWord, RuntimeWord) { return 1; }

int CTable::bUnlockCurrentRecord(CCursor*, std::uint32_t, RuntimeWord, RuntimeWord) { return 1; }

int CTable::bApplyRecordLockMode(CCursor*, std::uint32_t, RuntimeWord, RuntimeWord) { return 1; }

// ---- the current record and its image ----

int CTable::bResetRecordBuffer(std::uint32_t keep) {
  if (!m_pTableDescription) return 0;
  if (!m_pTableDescription->bAcceptCurrent()) return 0;
  // A record read or written is the database's now: it is no longer new, unless the caller keeps its flags.
  if (!keep) {
    if (CRecord* current = m_pTableDescription->pGetCurrentRecord()) current->SetState(0);
  }
  return 1;
}

void CTable::CopyImageToCurrent() {
  if (m_pTableDescription) m_pTableDescription->bRestoreCurrent();
}

int CTable::bComputeNextIdentifier(CColumn* column) {
  if (!column) return 1;
  CAutomaticIdentifier* identifier = pGetAutomaticIdentifier();
  if (!identifier) return 0;
  CHostValue value;
  const int computed = identifier->bGetNextValue(this, column, m_pErrorHolder, &value) && column->bSetValue(value, 0);
  identifier->nRelease();
  return computed;
}
