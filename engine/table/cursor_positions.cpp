// The statement object's counts, its place in thousandths, the completion of its row cache, the automatic
// identifier taken back from the last-read image and the record read again.
#include "engine/cache/row_cache.h"
#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/record_buffer.h"
#include "engine/record/table_description.h"
#include "engine/table/cursor.h"
#include "engine/table/table.h"
#include "host/host_type.h"
#include "host/host_value.h"
#include "sql/conditions/key_condition.h"
#include "sql/connection.h"
#include "sql/rewriter/sql_rewriter.h"

namespace {

// Open flag: the rows may be counted from a complete row cache.
constexpr std::uint32_t OPEN_COUNT_FROM_CACHE = 0x4000;
constexpr std::uint32_t COUNT_RECORDS = 16;
constexpr std::uint32_t NO_IDENTIFIER = 0x400 | 0x100;
constexpr std::uint32_t SCALAR_MODE = 0x10000;

}  // namespace

int CCursor::bGetRecordCount(std::int64_t* count, std::uint32_t, std::uint32_t flags) {
  CConnection* connection = pGetConnection();
  if (m_pTable->bIsQueryMode() && !(connection && connection->bDbmsKindSetA())) {
    // No sub-query to count in: the rows are read and counted; a failure leaves the count as it was.
    CSqlRewriter* statement = pNewTableStatement();
    if (!statement) return 0;
    int answer = bBuildStatement(SQL_STATEMENT_SELECT, statement, flags) && bOpen(0, flags) &&
                 bRead(READ_FIRST, 1, 1, nullptr);
    statement->nRelease();
    std::int64_t rows = 0;
    while (answer && !m_bOutOfRange) {
      ++rows;
      answer = bRead(READ_NEXT, 1, 1, nullptr);
    }
    if (answer && count) *count = rows;
    return answer;
  }
  FreeStatement();
  AttachRowCache(0);
  CSqlRewriter* statement = pNewTableStatement();
  CHostValue value;
  int answer = statement && bBuildCountQuery(statement, flags, nullptr) && bReadScalar(&value);
  FreeStatement();
  if (statement) statement->nRelease();
  if (count) *count = -1;
  if (!answer) return 0;
  if (value.nConvert(HOST_TYPE_INT64) < 100 && !value.bIsNull() && value.nGetType() == HOST_TYPE_INT64 && count) {
    value.nGet(count);
  }
  return 1;
}

int CCursor::bGetCachedRecordCount(std::int64_t* count, std::uint32_t flags, std::uint32_t strict) {
  const bool filterActive = m_pFilterNode && m_pFilterNode->bIsStarted();
  if (!bRowCacheActive() || !bRowCacheComplete() || bHasConditionNode() || !m_conditionRef.bMatches(m_pFilterNode) ||
      (strict && filterActive) || !(m_nOpenFlags & OPEN_COUNT_FROM_CACHE) || !(flags & OPEN_COUNT_FROM_CACHE)) {
    return 0;
  }
  if (count) *count = static_cast<std::int64_t>(m_pRowCache->nGetRowCount()) - m_pRowCache->nGetDeletedCount();
  return 1;
}

int CCursor::nGetPositionPerMille(std::uint32_t* result, const char16_t*) {
  *result = 1;
  std::int64_t rows = 0;
  if (!m_pTable->bCountRecords(&rows, COUNT_RECORDS, OPEN_COUNT_FROM_CACHE, this, -1)) return 0;
  if (rows < 1) return 1;
  std::int64_t place = 0;
  if (bHasConditionNode() || m_nRecordSlotState != SLOT_STATE_NONE || !m_bFirstRead) {
    std::int64_t before = 0;
    if (!m_pTable->bCountRecords(&before, COUNT_RECORDS, OPEN_COUNT_FROM_CACHE, this, 3)) return 0;
    place = before + 1;
  } else {
    place = bIsReversed() ? rows - m_nCurrentRow : static_cast<std::int64_t>(m_nCurrentRow) + 1;
  }
  // In 64 bits: a place past 4.29 million rows times 1000 does not fit 32.
  const std::int64_t scaled = place * 1000;
  *result = static_cast<std::uint32_t>(scaled / rows + (scaled % rows != 0 ? 1 : 0));
  return 1;
}

int CCursor::bStoreAutomaticIdentifier(CHostValue*, std::uint32_t flags) {
  CColumn* identifier = m_pColumnSet ? m_pColumnSet->pGetAutoIdentifierColumn() : nullptr;
  if ((flags & NO_IDENTIFIER) || !identifier) return 1;
  CColumnDescriptor* item = identifier->pGetDescriptorNoRef();
  CRecordBuffer* image = m_pColumnSet->pGetImageBuffer();
  CRecordBuffer* current = m_pColumnSet->pGetCurrentBuffer();
  const std::uint8_t* bytes = image ? image->pGetFieldData(item, -1) : nullptr;
  if (bytes && current) current->bSetFieldBytes(item, bytes, item->nGetSize(), -1);
  return 1;
}

int CCursor::bRefreshRowCache() {
  std::uint32_t context = 0;
  const CTString item(m_strRequestedSearchItem.pszGet());
  int answer = m_pTable->bStorePosition(reinterpret_cast<RuntimeWord>(&context), item.pszGet(), 0);
  if (m_pRowCache) {
    m_nCurrentRow = static_cast<std::int32_t>(m_pRowCache->nGetRowCount()) - (m_nRowMark != 0xFFFFFFFF ? 2 : 1);
  }
  // The slot is set aside as it is, pinned: reading on must not give it back.
  const std::uint32_t slot = m_nRecordSlot;
  const std::uint32_t state = m_nRecordSlotState;
  m_nRecordSlot = SLOT_NONE;
  m_nRecordSlotState = SLOT_STATE_NONE;
  int readAnswer = 1;
  if (answer) {
    const std::uint32_t direction = bIsReversed() ? READ_PREVIOUS : READ_NEXT;
    do {
      readAnswer = m_pTable->bRead(item.pszGet(), direction, 1, 0, 0, m_nOpenFlags);
    } while (readAnswer && !m_bOutOfRange);
    char16_t name[257] = {};
    answer = m_pTable->bRecallPosition(context, reinterpret_cast<RuntimeWord>(name), 0, 0);
  }
  bSetRecordSlot(SLOT_STATE_NONE, SLOT_NONE);
  m_nRecordSlot = slot;
  m_nRecordSlotState = state;
  // A read that failed on the way leaves the cache incomplete: that is the answer, with its error, whatever the
  // restore answered.
  return readAnswer ? answer : 0;
}

int CCursor::bModifyRecord(std::uint32_t, std::uint32_t flags) {
  FreeStatement();
  AttachRowCache(0);
  CSqlRewriter* where = pNewTableStatement();
  if (!where) return 0;
  CSqlRewriter* select = pNewTableStatement();
  int answer = select && bAppendRecordWhere(where, 0) && bBuildSelect(select, 0, nullptr, 1, where) &&
               bOpen(0, flags ? 1 : 0) && bRead(READ_FIRST, 1, 1, nullptr);
  if (select) select->nRelease();
  where->nRelease();
  return answer;
}
