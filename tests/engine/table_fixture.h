// What the table-object tests share: the statement-object fixture's driver, connection and description, with the
// engine's own table over them (no double): its contexts are scripted cursors of the driver's making.
#pragma once

#include "engine/table/table.h"
#include "tests/engine/cursor_fixture.h"

class TableFixture : public CursorFixture {
 protected:
  void TearDown() override {
    if (subject) subject->nRelease();
    subject = nullptr;
    CursorFixture::TearDown();
  }
  // The table over the description built so far (laid out first).
  void MakeTable() {
    description->LayoutItems();
    subject = new CTable(description, connection, holder);
    subject->AddRef();
  }
  // The table K (primary key) and V, the rows of the scripted server given to every context it makes.
  void KeyValueTable(std::vector<std::int32_t> rows) {
    Begin(2);
    Add(u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, false);
    Add(u"V", COLUMN_TYPE_INT32, 4);
    MakeTable();
    driver.rows = std::move(rows);
  }
  doubles::ScriptedCursor* Context(const char16_t* name) {
    return static_cast<doubles::ScriptedCursor*>(subject->pFindContext(name));
  }

  CTable* subject = nullptr;
};
