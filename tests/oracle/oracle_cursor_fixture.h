// What the Oracle cursor's tests share: a connection of the Oracle driver object on a data source of its own, the
// driver object left in place (it makes the Oracle field values, columns, bindings, statements and cursors), a table
// T of the engine over it and a COracleCursor on that table; statements built, run and read through the cursor.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/record_description.h"
#include "engine/record/record_factories.h"
#include "engine/record/table_description.h"
#include "engine/values/field_value.h"
#include "engine_connection_fixture.h"
#include "host/host_type.h"
#include "oracle/oracle_cursor.h"
#include "sql/rewriter/sql_rewriter.h"
#include "sql/rewriter/value_leaf.h"
#include "tests/doubles/cursor_doubles.h"

namespace ocitest {

struct CursorColumn {
  const char16_t* name;
  std::uint32_t type;
  std::uint32_t size;
  std::uint16_t flags;
  std::uint16_t sqlt;  // the client's type code Oracle describes the column with
  std::uint32_t described = 0;  // the column type Oracle describes it with, when not the runtime's
};

class OracleCursorFixture : public COracleEngineFixture<doubles::CursorDriver> {
 protected:
  // options: the connection's ExtendedInformation ("QZ CLIENT VERSION=7" for the OCI7 set).
  explicit OracleCursorFixture(const char* dataSource, const char16_t* options = u"")
      : COracleEngineFixture(dataSource), m_name(dataSource), m_options(options) {}

  // The Oracle driver object makes every object of the engine here: it stays the current one.
  void SetUp() override {
    CHostValueFixture::SetUp();
    driver = piQueryInterface();
    savedDriver = gpDriver;
    ASSERT_NE(driver, nullptr);
    holder = CallSlot<CErrorHolder*>(driver, kDriverHolder);
    static int counter = 0;
    const std::string dataSource = m_name + "_" + std::to_string(++counter);
    const std::u16string wide(dataSource.begin(), dataSource.end());
    m_dataSource = wide;
    ASSERT_TRUE(LoadClientThenMakeDataSource(driver, holder, dataSource, m_options)) << Dump(*holder);
    description = ocitest::Description(u"cursor", wide, u"manager", m_options);
    ASSERT_EQ(CallSlot<int>(driver, kDriverOpen, description.get()), 1) << Dump(*holder);
    connection = ConnectionOf(driver, *description);
  }

  // T with these columns; rowId: its first column is the row id that identifies the rows.
  void Describe(std::initializer_list<CursorColumn> list, bool rowId = false) {
    CRecordDescription* record = Keep(static_cast<CDriver*>(driver)->pCreateDescription(connection, holder));
    record->SetName(u"T");
    record->SetSqlTableName(u"T");
    bool first = true;
    for (const CursorColumn& column : list) {
      CColumnDescriptor* item = pCreateColumnDescriptorThroughDriver(nullptr, 0);
      item->bSetAll(column.name, u"T", u"", 1, column.size, column.type, 0xFFFFFFFF, 0xFFFFFFFF, column.flags, 0, 0);
      item->SetNullAllowed(column.flags == 0);
      if (first && rowId) item->SetItemKind(3);
      first = false;
      ASSERT_TRUE(record->AddItem(item));
    }
    record->LayoutItems();
    table = Keep(new doubles::CursorTable(record, connection, holder));
    table->attached = 1;
    // The columns as Oracle describes them: the same types, with the client's external type codes.
    CRecordDescription* described = Keep(static_cast<CDriver*>(driver)->pCreateDescription(connection, holder));
    first = true;
    for (const CursorColumn& column : list) {
      CColumnDescriptor* item = pCreateColumnDescriptorThroughDriver(nullptr, 0);
      item->bSetAll(column.name, u"T", u"", 1, column.size, column.described ? column.described : column.type,
                    0xFFFFFFFF, 0xFFFFFFFF, column.flags, 0, 0);
      item->SetServerTypeCode(column.sqlt);
      // The row id is no column of the table: it is read, never written.
      if (first && rowId) item->SetOption4(0);
      first = false;
      ASSERT_TRUE(described->AddItem(item));
    }
    described->LayoutItems();
    columns = Keep(new CTableDescription(holder, table));
    ASSERT_TRUE(columns->bBuild(record, described, connection)) << Dump(*holder);
    table->columns = columns;
    cursor = Keep(new COracleCursor(table, holder));
    cursor->SetSearchItem(list.begin()->name);
  }

  // Builds a statement of that kind into the cursor and runs it (a SELECT is opened, its columns bound).
  int Run(std::uint32_t kind) {
    CSqlRewriter* statement = Keep(table->pNewSqlStatement());
    if (!cursor->bBuildStatement(kind, statement, 0)) return 0;
    if (kind == SQL_STATEMENT_SELECT) return cursor->bOpen(0, 0);
    return cursor->bPrepareAndExecute(0, 0);
  }
  // The text the server was sent.
  std::u16string Text() { return static_cast<const char16_t*>(cursor->pGetStatement()->pszGetOutputText(0)); }

  void SetInt(const char16_t* name, std::int32_t n) {
    CHostValue value;
    value.SetType(HOST_TYPE_INT32);
    value.Set(&n);
    ASSERT_TRUE(columns->pFindColumnByName(name)->bSetValue(value, 0));
  }
  void SetText(const char16_t* name, const char16_t* text) {
    CHostValue value;
    value.SetType(HOST_TYPE_TEXT);
    value.Set(text);
    ASSERT_TRUE(columns->pFindColumnByName(name)->bSetValue(value, 0));
  }
  std::u16string Get(const char16_t* name) {
    CHostValue value;
    if (!columns->pFindColumnByName(name)->bGetValue(value, 0)) return u"<failed>";
    if (value.bIsNull()) return u"<null>";
    if (value.nGetType() != HOST_TYPE_WSTRING && value.nConvert(HOST_TYPE_WSTRING) >= 100) return u"<unconverted>";
    const char16_t* text = nullptr;
    value.nGetWideText(&text);
    return text ? text : u"";
  }
  // One read; the K read, "<end>" past the rows.
  std::u16string Read(std::uint32_t direction) {
    if (!cursor->bRead(direction, 1, 1, nullptr)) return u"<failed> " + Narrowed();
    std::uint32_t out = 0;
    cursor->GetOutOfRange(&out);
    return out ? u"<end>" : Get(u"K");
  }
  std::u16string Narrowed() {
    const std::string text = Dump(*holder);
    return std::u16string(text.begin(), text.end());
  }
  // A field value of the driver, of that host type and NULL until set.
  CFieldValue* NewValue(std::uint8_t type) {
    auto* value = Keep(static_cast<CFieldValue*>(static_cast<CDriver*>(driver)->pCreateFieldValue(holder, connection)));
    value->InitType(type, 0);
    value->SetNull();
    return value;
  }
  // A parameter of the value written at the statement's end: named when the name is not empty (as a parsed
  // statement's parameters are), else numbered by the statement.
  void AddParameter(CSqlRewriter* statement, CFieldValue* value, const char16_t* name) {
    const bool named = name && name[0];
    auto* leaf = new CValueLeaf(value, statement->GetStatementText().nGetLength(), named ? LEAF_FLAG_NAMED : 0,
                                named ? name : u"");
    if (named) leaf->SetOrigin(LEAF_ORIGIN_NAMED_PARAMETER);
    ASSERT_TRUE(statement->Lists().bAddExistingParameter(leaf));
  }
  int Sql(const std::u16string& sql) { return connection->bExecuteSql(holder, sql.c_str()); }
  std::u16string Fetch(const std::u16string& sql) { return FetchText(connection, *holder, sql.c_str()); }

  // The calls of the log whose line holds all the parts.
  std::vector<std::string> Calls(std::initializer_list<const char*> parts) {
    std::vector<std::string> found;
    for (const std::string& line : StandIn::Get().CallLog()) {
      bool all = true;
      for (const char* part : parts) all = all && line.find(part) != std::string::npos;
      if (all) found.push_back(line);
    }
    return found;
  }

  // The data source of this test's connection, which a second session opens too.
  const std::u16string& DataSourceName() const { return m_dataSource; }

  doubles::CursorTable* table = nullptr;
  CTableDescription* columns = nullptr;
  COracleCursor* cursor = nullptr;

 private:
  std::string m_name;
  std::u16string m_options;
  std::u16string m_dataSource;
};

}  // namespace ocitest
