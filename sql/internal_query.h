// CInternalQuery: a statement of the driver's own (a catalog query, a maximum, a sequence value) run without a
// runtime table behind it, and its rows read by direction, as values or as one text. It holds a hidden table made by
// the driver object's table factory and that table's "$QZInternal" record context, which runs without a row cache.
// Made per use (count 0) and released by its user; the context goes first, then the table.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"

class CColumn;
class CConnection;
class CCursor;
class CErrorHolder;
class CHostValue;
class CTable;
class CTString;

class CInternalQuery : public CRefCounted {
 public:
  ~CInternalQuery() override;

  // The query of the text on the connection, its statement run; null with the error in the holder. A statement
  // that gives no row makes a query without a context, whose reads find the end at once.
  static CInternalQuery* pCreate(const char16_t* text, CErrorHolder* holder, CConnection* connection);
  // The whole result as text: rows joined by "\r\n", columns by the separator, a NULL as nothing. 1 when every row
  // was read (the end of the rows is no failure), 0 with the error in the holder otherwise. The fifth argument is
  // not read.
  static int bQueryAsText(const char16_t* text, CErrorHolder* holder, CConnection* connection, CTString& out,
                          std::uintptr_t unused, const char16_t* separator);

  // The statement run again; 0 without a context.
  int nExecute();
  // A row read in the direction (0 first, 1 last, 2 next, 3 previous); *end 1 when none came.
  int bRead(std::uint32_t direction, std::uint32_t* end);
  // The same, then up to count column values into values.
  int bFetchRow(std::uint32_t direction, std::uint32_t* end, CHostValue* values, std::uint32_t count);
  // The result's columns (indexes from 0 below the count); 0 and null without a context.
  std::uint32_t nGetColumnCount();
  CColumn* pGetColumn(std::uint32_t index);
  // The current row's value of a column as text (empty for NULL); 0 when there is no such column or its value could
  // not be read or made text.
  int bGetColumnText(std::uint32_t index, CTString& out);

  CTable* pGetTable() const { return m_pTable; }
  CCursor* pGetContext() const { return m_pContext; }

 private:
  CInternalQuery(CErrorHolder* holder, CConnection* connection) : m_pErrorHolder(holder), m_pConnection(connection) {}

  CErrorHolder* m_pErrorHolder;  // not counted
  CConnection* m_pConnection;    // not counted
  CTable* m_pTable = nullptr;
  CCursor* m_pContext = nullptr;
  // A read forward ran past the last row: the statement has finished, and fetching from it again is refused.
  std::uint32_t m_bEnded = 0;
};
