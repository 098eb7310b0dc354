#include "engine/table/automatic_identifier.h"

#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/table/table.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/t_string.h"
#include "host/host_type.h"
#include "host/host_value.h"
#include "sql/connection.h"
#include "sql/internal_query.h"

namespace {

enum : std::uint32_t {
  IDENTIFIER_UNIT = 14,
  IDENTIFIER_POINT_NO_MAXIMUM = 1,
  IDENTIFIER_ERROR_NO_MAXIMUM = 59,
  IDENTIFIER_MESSAGE_NOT_COMPUTED = 28576,
};

const char16_t* pszColumnName(CColumn* column) { return column ? column->pszGetName() : u""; }

// "SELECT MAX(<column>)" ["+1"] " FROM <table>": a table's own names, or for a query the column's caption and the
// table behind it, quoted by the connection.
int bBuildText(CTString& text, CTable* table, CColumn* column, bool increment) {
  if (!table || !column) return 0;
  CTString expression;
  CTString from;
  if (table->bIsQueryMode()) {
    CConnection* connection = table->pGetConnection();
    CColumnDescriptor* descriptor = column->pGetDescriptorNoRef();
    if (!connection || !descriptor) return 0;
    if (!connection->nQuoteIdentifier(table->pGetErrorHolder(), descriptor->pszGetCaption(), expression) ||
        !connection->nQuoteDottedName(table->pGetErrorHolder(), descriptor->pszGetTableName(), from)) {
      return 0;
    }
  } else {
    expression = column->pszGetSqlName(true);
    from = table->pszGetSqlName();
  }
  text = u"SELECT MAX(";
  text.Append(expression.pszGet());
  text.Append(u")");
  if (increment) text.Append(u"+1");
  text.Append(u" FROM ");
  text.Append(from.pszGet());
  return 1;
}

// The query made on the table's connection, held by the slot until Drop; 0 when it could not be made (its error in
// the holder).
int bMakeQuery(CInternalQuery*& slot, const CTString& text, CTable* table, CErrorHolder* holder) {
  slot = CInternalQuery::pCreate(text.pszGet(), holder, table->pGetConnection());
  if (!slot) return 0;
  slot->AddRef();
  return 1;
}

void DropQuery(CInternalQuery*& slot) {
  if (slot) slot->nRelease();
  slot = nullptr;
}

}  // namespace

CAutomaticIdentifier::~CAutomaticIdentifier() {
  DropQuery(m_pNextValueQuery);
  DropQuery(m_pMaximumQuery);
}

int CAutomaticIdentifier::nReserved() { return 0; }

int CAutomaticIdentifier::bGetNextValue(CTable* table, CColumn* column, CErrorHolder* holder, CHostValue* value) {
  int done = 0;
  CTString text;
  if (value && bBuildNextValueText(text, table, column) && bMakeQuery(m_pNextValueQuery, text, table, holder)) {
    std::uint32_t end = 0;
    done = m_pNextValueQuery->bFetchRow(0, &end, value, 1);
    // MAX over no row is NULL: the first identifier of an empty table is 1.
    if (done && value->bIsNull()) {
      const std::int64_t first = 1;
      value->SetType(HOST_TYPE_INT64);
      value->Set(&first);
      value->SetFlags(0);
    }
  }
  DropQuery(m_pNextValueQuery);
  if (!done) RaiseError(holder, table, column);
  return done;
}

int CAutomaticIdentifier::bGetCurrentMaximum(CTable* table, CColumn* column, CErrorHolder* holder, CHostValue* value) {
  int done = 0;
  CTString text;
  if (value && bBuildMaxText(text, table, column) && bMakeQuery(m_pMaximumQuery, text, table, holder)) {
    std::uint32_t end = 0;
    done = m_pMaximumQuery->bFetchRow(0, &end, value, 1);
    if (done && end) {
      const char16_t* tableName = table->pszGetName();
      const char16_t* columnName = pszColumnName(column);
      RaiseModuleError(holder, 0, IDENTIFIER_UNIT, IDENTIFIER_POINT_NO_MAXIMUM, table->pGetConnection(), tableName,
                       IDENTIFIER_ERROR_NO_MAXIMUM, tableName, columnName);
      if (holder) holder->SetFileAndItem(tableName, columnName);
      done = 0;
    }
  }
  DropQuery(m_pMaximumQuery);
  return done;
}

int CAutomaticIdentifier::bBuildNextValueText(CTString& text, CTable* table, CColumn* column) {
  return bBuildText(text, table, column, true);
}

int CAutomaticIdentifier::bBuildMaxText(CTString& text, CTable* table, CColumn* column) {
  return bBuildText(text, table, column, false);
}

void CAutomaticIdentifier::RaiseError(CErrorHolder* holder, CTable* table, CColumn* column) {
  if (holder) holder->InsertUserMessage(IDENTIFIER_MESSAGE_NOT_COMPUTED, table ? table->pszGetName() : u"",
                                        pszColumnName(column));
}
