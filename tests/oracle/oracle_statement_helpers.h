// What the tests of the Oracle columns and bindings share: a statement object holding a client statement prepared,
// run and fetched through the call wrappers (the Oracle cursor's part, which its bindings and columns need), a driver
// double whose factories make the Oracle field values, columns and bindings, an Oracle table that keys its records
// by their values, and the Oracle table description built over a record description and Oracle's own description
// of the same columns.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/record.h"
#include "engine/record/record_buffer.h"
#include "engine/record/record_description.h"
#include "engine/record/record_factories.h"
#include "engine/table/cursor.h"
#include "engine/values/row_keys.h"
#include "foundation/error_holder.h"
#include "oracle/client/oci_wrappers.h"
#include "oracle/oracle_binding.h"
#include "oracle/oracle_column.h"
#include "oracle/oracle_connection.h"
#include "oracle/oracle_field_value.h"
#include "oracle/oracle_table.h"
#include "oracle/oracle_table_description.h"
#include "sql/rewriter/sql_element.h"
#include "sql/rewriter/value_leaf.h"
#include "tests/doubles/driver_doubles.h"

namespace ocitest {

// A counted object held for a scope: a reference taken, given back at its end.
template <class T>
struct Released {
  void operator()(T* object) const { object->nRelease(); }
};
template <class T>
using Counted = std::unique_ptr<T, Released<T>>;
template <class T>
Counted<T> Hold(T* object) {
  object->AddRef();
  return Counted<T>(object);
}

inline constexpr std::uint32_t kStatementHandle = 4;
inline constexpr std::uint16_t kFetchNext = 2;

// A statement object of the Oracle layer for the tests: its client statement is made, prepared, run and fetched
// through the call wrappers; the bindings find it through IOracleStatementHandle.
class OciTestStatement : public CCursor, public IOracleStatementHandle {
 public:
  OciTestStatement(COracleConnection* connection, CErrorHolder* holder)
      : CCursor(nullptr, holder), m_pConnection(connection), m_pHolder(holder) {}
  ~OciTestStatement() override {
    if (m_pHandle) nOciHandleFree(m_pConnection, nullptr, m_pHandle, kStatementHandle);
  }
  void* pGetOciStatement() override { return m_pHandle; }
  COracleConnection* pGetOciConnection() override { return m_pConnection; }

  bool Prepare(const std::u16string& sql) {
    m_text = sql;
    if (!m_pHandle) m_pHandle = nOciHandleAlloc(m_pConnection, m_pHolder, kStatementHandle);
    return m_pHandle && nOciStmtPrepare(m_pConnection, m_pHolder, m_pHandle, m_text.c_str());
  }
  // kind 1 runs a query; any other kind runs the statement once.
  bool Execute(std::uint32_t kind) {
    std::uint32_t needData = 0;
    return nOciStmtExecute(m_pConnection, m_pHolder, m_pHandle, m_text.c_str(), kind, 0, &needData, 0) == 1;
  }
  // True when a row came.
  bool Fetch() {
    std::uint32_t end = 0;
    return nOciStmtFetch(m_pConnection, m_pHolder, m_pHandle, 1, kFetchNext, &end, nullptr) == 1 && end == 0;
  }

 private:
  COracleConnection* m_pConnection;
  CErrorHolder* m_pHolder;
  void* m_pHandle = nullptr;
  std::u16string m_text;
};

// The Oracle objects the generic code asks the driver object for.
class OracleObjectsDriver : public doubles::TestDriver {
 public:
  void* pCreateFieldValue(CErrorHolder* holder, CConnection* connection) override {
    return new COracleFieldValue(holder ? holder : pGetErrorHolder(), connection);
  }
  void* pCreateColumnBinding(RuntimeWord holder, RuntimeWord descriptor) override {
    return new COracleColumn(reinterpret_cast<CErrorHolder*>(holder), reinterpret_cast<CColumnDescriptor*>(descriptor));
  }
  void* pCreateParameterBinding(RuntimeWord entry, RuntimeWord position) override {
    return new COracleParameterBinding(reinterpret_cast<CSqlElement*>(entry), static_cast<std::uint32_t>(position));
  }
  void* pCreateParameter(RuntimeWord entry, RuntimeWord position) override {
    return new COracleParameter(reinterpret_cast<CValueLeaf*>(entry), static_cast<std::uint32_t>(position));
  }
};

class ValueKeyedOracleTable : public COracleTable {
 public:
  ValueKeyedOracleTable(CConnection* connection, CErrorHolder* holder) : COracleTable(nullptr, connection, holder) {}
  CQueryDescription* pGetQueryDescription() override { return nullptr; }
  std::uint32_t nGetStateWord() override { return state; }
  std::uint32_t state = 0;
  IRowKey* pNewRecordKey(CRecord* record) override {
    SRecordImage image;
    image.pBytes = record->pGetBuffer()->pGetBlock();
    image.nByteCount = record->pGetBuffer()->nGetTotalLength();
    return new CRecordValuesKey(image);
  }
};

// One column of a table: its name, the runtime's column type and element size, and the type Oracle describes it
// with (its column type and SQLT code).
struct ColumnSpec {
  const char16_t* name;
  std::uint32_t type;
  std::uint32_t size;
  std::uint32_t describedType;
  std::uint32_t describedSqlt;
  std::uint32_t precision = 0;  // a decimal's integer digits (0: a decimal without digits is held as a real)
  std::uint32_t scale = 0;
};

// An Oracle table description over the columns, on the connection; its table and both record descriptions are kept
// alive with it. Released in the order it was built.
class OracleColumns {
 public:
  OracleColumns(CConnection* connection, CErrorHolder* holder, std::initializer_list<ColumnSpec> columns) {
    m_table = new ValueKeyedOracleTable(connection, holder);
    m_table->AddRef();
    m_description = gpDriver->CDriver::pCreateDescription(connection, holder);
    m_description->AddRef();
    m_described = gpDriver->CDriver::pCreateDescription(connection, holder);
    m_described->AddRef();
    for (const ColumnSpec& column : columns) {
      CColumnDescriptor* item = pCreateColumnDescriptorThroughDriver(nullptr, 0);
      item->bSetAll(column.name, u"T", u"", 1, column.size, column.type, 0xFFFFFFFF, 0xFFFFFFFF, 0, column.precision,
                    column.scale);
      item->SetServerTypeCode(column.describedSqlt);
      EXPECT_TRUE(m_description->AddItem(item));
      CColumnDescriptor* described = pCreateColumnDescriptorThroughDriver(nullptr, 0);
      described->bSetAll(column.name, u"T", u"", 1, column.size, column.describedType, 0xFFFFFFFF, 0xFFFFFFFF, 0,
                         column.precision, column.scale);
      described->SetServerTypeCode(column.describedSqlt);
      EXPECT_TRUE(m_described->AddItem(described));
    }
    m_description->LayoutItems();
    m_described->LayoutItems();
    m_tableDescription = new COracleTableDescription(holder, m_table);
    m_tableDescription->AddRef();
    m_built = m_tableDescription->bBuild(m_description, m_described, connection) != 0;
  }
  ~OracleColumns() {
    m_tableDescription->nRelease();
    m_described->nRelease();
    m_description->nRelease();
    m_table->nRelease();
  }
  bool bBuilt() const { return m_built; }
  COracleColumn* Column(const char16_t* name) {
    return dynamic_cast<COracleColumn*>(m_tableDescription->pFindColumnByName(name));
  }
  COracleTableDescription* Description() { return m_tableDescription; }
  ValueKeyedOracleTable* Table() { return m_table; }

 private:
  ValueKeyedOracleTable* m_table = nullptr;
  CRecordDescription* m_description = nullptr;
  CRecordDescription* m_described = nullptr;
  COracleTableDescription* m_tableDescription = nullptr;
  bool m_built = false;
};

}  // namespace ocitest
