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
  void MakeTable() { MakeTableOf<CTable>(); }
  template <typename T>
  T* MakeTableOf() {
    description->LayoutItems();
    auto* made = new T(description, connection, holder);
    made->AddRef();
    subject = made;
    return made;
  }
  // The table K (primary key) and V, of the class asked, the rows of the scripted server given to every context it
  // makes.
  template <typename T = CTable>
  T* KeyValueTableOf(std::vector<std::int32_t> rows = {}, std::uint32_t dbmsKind = 2) {
    Begin(dbmsKind);
    Add(u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, false);
    Add(u"V", COLUMN_TYPE_INT32, 4);
    driver.rows = std::move(rows);
    return MakeTableOf<T>();
  }
  void KeyValueTable(std::vector<std::int32_t> rows) { KeyValueTableOf<CTable>(std::move(rows)); }
  doubles::ScriptedCursor* Context(const char16_t* name) {
    return static_cast<doubles::ScriptedCursor*>(subject->pFindContext(name));
  }

  CTable* subject = nullptr;
};
