// What the statement-object tests share: the cursor driver installed as the current driver object, a connection of a
// chosen DBMS kind, a record description built item by item, the table over it with its column set, and a scripted
// cursor of the driver's making on that table.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/record_factories.h"
#include "foundation/error_holder.h"
#include "host/library_entry.h"
#include "tests/doubles/cursor_doubles.h"
#include "tests/host/host_value_fixture.h"

// A connection of a chosen DBMS kind, quoting nothing.
class KindConnection : public doubles::TestConnection {
 public:
  explicit KindConnection(std::uint32_t kind) : TestConnection(u"cnx", nullptr) { m_nDbmsKind = kind; }
  int bInsertNeedsReturning() override { return returning; }
  int returning = 0;
};

// A runtime description of version 6 that supports nulls: NOT NULL constraints are written for it.
class VersionSixDescription : public CRecordDescription {
 public:
  using CRecordDescription::CRecordDescription;
  std::int32_t nSlot2() override { return 6; }
};

class CursorFixture : public CHostValueFixture {
 protected:
  void SetUp() override {
    CHostValueFixture::SetUp();
    doubles::EnsureLibrary();
    m_pSavedDriver = gpDriver;
    gpDriver = &driver;
    holder = new CErrorHolder();
    holder->AddRef();
  }
  // Everything Begin and Finish made, given back.
  void TearDownTable() {
    for (CSqlRewriter* statement : statements) statement->nRelease();
    statements.clear();
    if (cursor) cursor->nRelease();
    if (columns) columns->nRelease();
    if (table) table->nRelease();
    if (description) description->nRelease();
    if (connection) connection->nRelease();
    cursor = nullptr;
    columns = nullptr;
    table = nullptr;
    description = nullptr;
    connection = nullptr;
  }
  void TearDown() override {
    TearDownTable();
    EXPECT_EQ(holder->nGetRefCount(), 1u) << "every object gave its holder back";
    holder->nRelease();
    EXPECT_EQ(doubles::gnLiveBindings, 0);
    gpDriver = m_pSavedDriver;
    CHostValueFixture::TearDown();
  }

  // The connection and an empty description named T (a version-6 one when asked).
  void Begin(std::uint32_t dbmsKind, bool versionSix = false) {
    connection = new KindConnection(dbmsKind);
    connection->AddRef();
    description = versionSix ? new VersionSixDescription(connection, holder)
                             : driver.CDriver::pCreateDescription(connection, holder);
    description->AddRef();
    description->SetName(u"T");
    description->SetSqlTableName(u"T");
  }
  CColumnDescriptor* Add(const char16_t* name, std::uint32_t type, std::uint32_t size, std::uint16_t flags = 0,
                         bool nullAllowed = true) {
    CColumnDescriptor* item = pCreateColumnDescriptorThroughDriver(nullptr, 0);
    item->bSetAll(name, u"T", u"", 1, size, type, 0xFFFFFFFF, 0xFFFFFFFF, flags, 0, 0);
    item->SetNullAllowed(nullAllowed);
    EXPECT_TRUE(description->AddItem(item));
    return item;
  }
  CColumnDescriptor* AddComposite(const char16_t* name, std::initializer_list<CColumnDescriptor*> parts,
                                  std::uint16_t flags) {
    CColumnDescriptor* key = Add(name, COLUMN_TYPE_BINARY, 0, COLUMN_FLAG_COMPOSITE_KEY | flags);
    for (CColumnDescriptor* part : parts) key->bAddComponent(part);
    return key;
  }
  // The table, its column set and the driver's cursor on it.
  void Finish() {
    description->LayoutItems();
    table = new doubles::CursorTable(description, connection, holder);
    table->AddRef();
    columns = new CTableDescription(holder, table);
    columns->AddRef();
    ASSERT_TRUE(columns->bBuild(description, nullptr, connection)) << holder->nGetErrorCode() << " " << holder->pGetEmbeddedObject()->nGetMessageAt(0);
    table->columns = columns;
    cursor = static_cast<doubles::ScriptedCursor*>(
        driver.pCreateCursor(reinterpret_cast<RuntimeWord>(table), reinterpret_cast<RuntimeWord>(holder)));
    cursor->AddRef();
  }
  // The plain table K (primary key) and V of the read tests, with the rows of the scripted server.
  void ReadTable(std::vector<std::int32_t> rows) {
    Begin(2);
    Add(u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, false);
    Add(u"V", COLUMN_TYPE_INT32, 4);
    Finish();
    cursor->SetSearchItem(u"K");
    cursor->rows = std::move(rows);
  }
  CSqlRewriter* NewStatement() {
    CSqlRewriter* statement = table->pNewSqlStatement();
    statement->AddRef();
    statements.push_back(statement);
    return statement;
  }
  std::int32_t Current(const char16_t* name) {
    CHostValue value;
    std::int32_t n = -1;
    if (columns->pFindColumnByName(name)->bGetValue(value, 0) && !value.bIsNull()) value.nGet(&n);
    return n;
  }

  doubles::CursorDriver driver;
  CErrorHolder* holder = nullptr;
  KindConnection* connection = nullptr;
  CRecordDescription* description = nullptr;
  doubles::CursorTable* table = nullptr;
  CTableDescription* columns = nullptr;
  doubles::ScriptedCursor* cursor = nullptr;
  std::vector<CSqlRewriter*> statements;

 private:
  CDriver* m_pSavedDriver = nullptr;
};
