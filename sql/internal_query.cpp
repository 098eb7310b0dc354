#include "sql/internal_query.h"

#include <new>
#include <string>

#include "engine/record/column.h"
#include "engine/record/table_description.h"
#include "engine/table/cursor.h"
#include "engine/table/table.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/t_string.h"
#include "host/host_type.h"
#include "host/host_value.h"
#include "sql/driver_services.h"

namespace {

// Run mode of an internal statement run again.
constexpr std::uint32_t INTERNAL_RUN_MODE = 0x90000;
// Below this a conversion's code is a success.
constexpr std::int32_t HOST_RESULT_FAILED_FROM = 100;

// One column's value as text after the row's text; 0 when the value could not be read or made text. A text that
// memory refused (the runtime's 108, a text left short) is told to the holder as such.
int bAppendColumnText(CColumn* column, CTString& out, CErrorHolder* holder) {
  CHostValue value;
  if (!column || !column->bGetValue(value, 0)) return 0;
  if (value.bIsNull()) return 1;
  const std::int32_t converted = value.nConvert(HOST_TYPE_TEXT);
  if (converted == HOST_ERR_TOO_LONG) {
    SetHolderOutOfMemory(holder);
    return 0;
  }
  if (converted >= HOST_RESULT_FAILED_FROM) return 0;
  const char16_t* text = nullptr;
  if (value.nGetWideText(&text) != 0 || !text) {
    value.EnsureWideText();
    if (value.nGetWideText(&text) != 0 || !text) {
      SetHolderOutOfMemory(holder);
      return 0;
    }
  }
  const std::size_t expected = out.nGetLength() + std::char_traits<char16_t>::length(text);
  out.Append(text);
  if (out.nGetLength() == expected) return 1;
  SetHolderOutOfMemory(holder);
  return 0;
}

}  // namespace

CInternalQuery::~CInternalQuery() {
  if (m_pContext) m_pContext->nRelease();
  if (m_pTable) m_pTable->nRelease();
}

CInternalQuery* CInternalQuery::pCreate(const char16_t* text, CErrorHolder* holder, CConnection* connection) {
  auto* query = new (std::nothrow) CInternalQuery(holder, connection);
  if (!query) {
    SetHolderOutOfMemory(holder);
    return nullptr;
  }
  query->AddRef();
  query->m_pTable = pCreateTableThroughDriver(nullptr, connection, holder);
  if (!query->m_pTable) {
    if (holder && !holder->bHasError()) SetHolderOutOfMemory(holder);
    query->nRelease();
    return nullptr;
  }
  query->m_pTable->AddRef();
  // The table hands out no context both when the statement failed and when it gave no row: only a new error tells
  // (callers start with a clear holder, as every operation of the driver does). Lack of memory is put into the
  // holder's error without a recorded code: its level tells it.
  const auto failed = [holder] { return holder->bHasError() || holder->nGetLevel() != ERROR_LEVEL_NONE; };
  const bool errorBefore = holder && failed();
  query->m_pContext = query->m_pTable->pRunInternalQuery(0, text);
  if (query->m_pContext) {
    query->m_pContext->AttachRowCache(0);
  } else if (!holder || (!errorBefore && failed())) {
    query->nRelease();
    return nullptr;
  }
  --query->m_nRefCount;
  return query;
}

int CInternalQuery::nExecute() {
  m_bEnded = 0;
  return m_pContext ? m_pContext->bRun(INTERNAL_RUN_MODE, 0) : 0;
}

int CInternalQuery::bRead(std::uint32_t direction, std::uint32_t* end) {
  return bFetchRow(direction, end, nullptr, 0);
}

int CInternalQuery::bFetchRow(std::uint32_t direction, std::uint32_t* end, CHostValue* values, std::uint32_t count) {
  // A statement that gave no row left no context: that is the end of the rows, not a failure, so that a caller
  // asking for a row tells "none" from an error. Past the last row the rows stay ended.
  std::uint32_t ended = 1;
  if (!m_pContext || (m_bEnded && direction == READ_NEXT)) {
    if (end) *end = 1;
    return 1;
  }
  const int answer = m_pContext->bReadNextValues(direction, &ended, values, count);
  m_bEnded = answer && ended && direction == READ_NEXT;
  if (end) *end = ended;
  return answer;
}

std::uint32_t CInternalQuery::nGetColumnCount() {
  CTableDescription* columns = m_pContext && m_pTable ? m_pTable->pGetTableDescription() : nullptr;
  return columns ? columns->nGetColumnCount() : 0;
}

CColumn* CInternalQuery::pGetColumn(std::uint32_t index) {
  CTableDescription* columns = m_pContext && m_pTable ? m_pTable->pGetTableDescription() : nullptr;
  return columns && index < columns->nGetColumnCount() ? columns->pGetColumn(index) : nullptr;
}

int CInternalQuery::bGetColumnText(std::uint32_t index, CTString& out) {
  out.Empty();
  return bAppendColumnText(pGetColumn(index), out, m_pTable ? m_pTable->pGetErrorHolder() : nullptr);
}

int CInternalQuery::bQueryAsText(const char16_t* text, CErrorHolder* holder, CConnection* connection, CTString& out,
                                 std::uintptr_t, const char16_t* separator) {
  CInternalQuery* query = pCreate(text, holder, connection);
  if (!query) return 0;
  query->AddRef();
  int answer = 1;
  std::uint32_t end = 0;
  for (std::uint32_t direction = READ_FIRST;; direction = READ_NEXT) {
    // A read that fails is not the end of the rows: the text would be short and look whole.
    if (!query->bRead(direction, &end)) {
      answer = 0;
      break;
    }
    if (end) break;
    if (!out.bIsEmpty()) out.Append(u"\r\n");
    const std::uint32_t count = query->nGetColumnCount();
    for (std::uint32_t i = 0; i < count && answer; ++i) {
      if (i > 0) out.Append(separator ? separator : u"");
      answer = bAppendColumnText(query->pGetColumn(i), out, holder);
    }
    if (!answer) break;
  }
  query->nRelease();
  return answer;
}
