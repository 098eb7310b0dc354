// The statement object's Oracle texts run on the OCI stand-in through an Oracle connection: the table is created,
// filled by INSERTs, read in key order and counted, its records updated and deleted by unique key and by row id,
// and dropped, the rows checked after each step. The texts are the final texts of the base rewriter, which writes
// the record values as Oracle literals.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/record_description.h"
#include "engine/record/record_factories.h"
#include "engine/record/table_description.h"
#include "host/host_type.h"
#include "session_driver_helpers.h"
#include "sql/rewriter/sql_rewriter.h"
#include "tests/doubles/cursor_doubles.h"
#include "tests/host/host_value_fixture.h"
#include "engine_connection_fixture.h"

namespace {

using namespace ocitest;

class OracleCursorTexts : public COracleEngineFixture<doubles::CursorDriver> {
 protected:
  OracleCursorTexts() : COracleEngineFixture("CURSOR") {}

  // A table T of the engine over the connection: with byRowId its row id (RID) and QTY, else K (primary key), NAME
  // (unique), QTY and NOTE; and a cursor on it.
  void Describe(bool byRowId) {
    CRecordDescription* record = Keep(cursorDriver.CDriver::pCreateDescription(connection, holder));
    record->SetName(u"T");
    record->SetSqlTableName(u"T");
    auto add = [&](const char16_t* name, std::uint32_t type, std::uint32_t size, std::uint16_t flags) {
      CColumnDescriptor* item = pCreateColumnDescriptorThroughDriver(nullptr, 0);
      item->bSetAll(name, u"T", u"", 1, size, type, 0xFFFFFFFF, 0xFFFFFFFF, flags, 0, 0);
      item->SetNullAllowed(flags == 0);
      EXPECT_TRUE(record->AddItem(item));
      return item;
    };
    if (byRowId) {
      add(u"RID", COLUMN_TYPE_TEXT, 20, COLUMN_FLAG_PRIMARY_KEY)->SetItemKind(3);
    } else {
      add(u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY);
      add(u"NAME", COLUMN_TYPE_TEXT, 20, COLUMN_FLAG_UNIQUE);
    }
    add(u"QTY", COLUMN_TYPE_INT32, 4, 0);
    if (!byRowId) add(u"NOTE", COLUMN_TYPE_TEXT, 10, 0);
    record->LayoutItems();
    table = Keep(new doubles::CursorTable(record, connection, holder));
    columns = Keep(new CTableDescription(holder, table));
    ASSERT_TRUE(columns->bBuild(record, nullptr, connection)) << Dump(*holder);
    table->columns = columns;
    cursor = Keep(new doubles::ScriptedCursor(table, holder));
    cursor->SetSearchItem(byRowId ? u"RID" : u"K");
  }

  std::u16string Text(const std::function<int(CSqlRewriter*)>& build) {
    CSqlRewriter* statement = Keep(table->pNewSqlStatement());
    if (!build(statement) || !statement->bBuildFinalText(0)) return u"<failed>";
    return static_cast<const char16_t*>(statement->pszGetOutputText(0));
  }
  std::u16string Built(std::uint32_t kind) {
    return Text([&](CSqlRewriter* s) { return cursor->bBuildStatement(kind, s, 0); });
  }
  int Run(const std::u16string& sql) { return connection->bExecuteSql(holder, sql.c_str()); }
  std::u16string Fetch(const std::u16string& sql) { return FetchText(connection, *holder, sql.c_str()); }
  void SetText(const char16_t* name, const char16_t* text) {
    CHostValue value;
    value.SetType(HOST_TYPE_TEXT);
    if (text) {
      value.Set(text);
    } else {
      value.SetNull(true);
    }
    columns->pFindColumnByName(name)->bSetValue(value, 0);
  }
  // The row as the program holds it after reading it.
  void Hold(std::int32_t k, const char16_t* name, std::int32_t qty, const char16_t* note) {
    cursor->SetInt(u"K", k);
    SetText(u"NAME", name);
    cursor->SetInt(u"QTY", qty);
    SetText(u"NOTE", note);
    ASSERT_TRUE(columns->bAcceptCurrent());
  }

  doubles::CursorDriver& cursorDriver = testDriver;
  doubles::CursorTable* table = nullptr;
  CTableDescription* columns = nullptr;
  doubles::ScriptedCursor* cursor = nullptr;
};

TEST_F(OracleCursorTexts, ATableLivesThroughItsTexts) {
  Describe(false);
  const std::u16string create = Built(SQL_STATEMENT_CREATE);
  ASSERT_EQ(Run(create), 1) << Dump(*holder) << std::string(create.begin(), create.end());

  struct Row {
    std::int32_t k;
    const char16_t* name;
    std::int32_t qty;
    const char16_t* note;
  };
  for (const Row& row : {Row{1, u"A'B", 30, nullptr}, Row{2, u"C", 10, u"n"}, Row{3, u"D", 20, nullptr}}) {
    Hold(row.k, row.name, row.qty, row.note);
    const std::u16string insert = Built(SQL_STATEMENT_INSERT);
    ASSERT_EQ(Run(insert), 1) << Dump(*holder) << std::string(insert.begin(), insert.end());
  }
  EXPECT_EQ(Fetch(u"SELECT NAME || '/' || QTY || '/' || NVL(NOTE, '-') FROM T WHERE K = 1"), u"A'B/30/-");
  EXPECT_EQ(Fetch(u"SELECT NAME || '/' || QTY || '/' || NVL(NOTE, '-') FROM T WHERE K = 2"), u"C/10/n");

  // The SELECT in key order, both ways, and in QTY order completed by the key (its first row's K); its count.
  auto first = [&](const char16_t* sort, int ascending) {
    return Fetch(Text([&](CSqlRewriter* s) { return cursor->bBuildSelect(s, 0, sort, ascending, nullptr); }));
  };
  EXPECT_EQ(first(u"K", 1), u"1");
  EXPECT_EQ(first(u"K", 0), u"3");
  EXPECT_EQ(first(u"QTY", 1), u"2");
  EXPECT_EQ(first(u"QTY", 0), u"1");
  const std::u16string count = Text([&](CSqlRewriter* s) { return cursor->bBuildCountQuery(s, 0, nullptr); });
  EXPECT_EQ(Fetch(count), u"3") << std::string(count.begin(), count.end());

  // Update and delete by the unique key of the row as last read.
  Hold(2, u"C", 10, u"n");
  cursor->SetInt(u"QTY", 11);
  SetText(u"NOTE", u"m");
  const std::u16string update = Built(SQL_STATEMENT_UPDATE);
  ASSERT_EQ(Run(update), 1) << Dump(*holder) << std::string(update.begin(), update.end());
  EXPECT_EQ(Fetch(u"SELECT QTY || '/' || NOTE FROM T WHERE K = 2"), u"11/m");
  EXPECT_EQ(Fetch(u"SELECT SUM(QTY) FROM T"), u"61") << "the other rows as they were";
  Hold(3, u"D", 20, nullptr);
  const std::u16string remove = Built(SQL_STATEMENT_DELETE);
  ASSERT_EQ(Run(remove), 1) << Dump(*holder) << std::string(remove.begin(), remove.end());
  EXPECT_EQ(Fetch(count), u"2");
  EXPECT_EQ(Fetch(u"SELECT COUNT(*) FROM T WHERE K = 3"), u"0");

  // Update and delete by row id.
  const std::u16string rowId = Fetch(u"SELECT ROWIDTOCHAR(ROWID) FROM T WHERE K = 1");
  Describe(true);
  SetText(u"RID", rowId.c_str());
  cursor->SetInt(u"QTY", 30);
  ASSERT_TRUE(columns->bAcceptCurrent());
  cursor->SetInt(u"QTY", 31);
  const std::u16string byRowId = Built(SQL_STATEMENT_UPDATE);
  EXPECT_EQ(byRowId, u"UPDATE T SET QTY = 31 WHERE  ROWID='" + rowId + u"' ");
  ASSERT_EQ(Run(byRowId), 1) << Dump(*holder);
  EXPECT_EQ(Fetch(u"SELECT QTY FROM T WHERE K = 1"), u"31");
  EXPECT_EQ(Fetch(u"SELECT QTY FROM T WHERE K = 2"), u"11");
  ASSERT_EQ(Run(Built(SQL_STATEMENT_DELETE)), 1) << Dump(*holder);
  EXPECT_EQ(Fetch(u"SELECT COUNT(*) FROM T"), u"1");
  EXPECT_EQ(Fetch(u"SELECT K FROM T"), u"2");

  const std::u16string drop = Built(SQL_STATEMENT_DROP);
  EXPECT_EQ(drop, u"DROP TABLE T CASCADE CONSTRAINT");
  ASSERT_EQ(Run(drop), 1) << Dump(*holder);
  EXPECT_EQ(Fetch(u"SELECT COUNT(*) FROM T"), u"<none>");
  holder->Clear();
}

}  // namespace
