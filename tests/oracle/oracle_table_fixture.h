// What the Oracle table's tests share: the cursor tests' connection of the Oracle driver object on a data source of
// its own, a table T made on the server with rows K = 1..n, the COracleTable the driver would make for it, opened
// over the description the driver reads from the catalog, and a second connection of another session on the same
// data source.
#pragma once

#include <string>

#include "oracle/oracle_driver.h"
#include "oracle/oracle_table.h"
#include "oracle_cursor_fixture.h"

namespace ocitest {

class OracleTableFixture : public OracleCursorFixture {
 protected:
  explicit OracleTableFixture(const char* dataSource) : OracleCursorFixture(dataSource) {}

  // T (K primary key, V text, and the extra column definitions) with rows 1..rows; the table opened over it.
  void MakeTable(int rows, const std::u16string& extra = u"") {
    ASSERT_TRUE(Sql(u"CREATE TABLE T (K NUMBER(10) PRIMARY KEY, V VARCHAR2(20)" + extra + u")")) << Dump(*holder);
    for (int k = 1; k <= rows; ++k) {
      const std::u16string n = Text(k);
      ASSERT_TRUE(Sql(u"INSERT INTO T (K, V) VALUES (" + n + u", 'v" + n + u"')")) << Dump(*holder);
    }
    ASSERT_TRUE(Sql(u"COMMIT")) << Dump(*holder);
    subject = NewTable();
    ASSERT_NE(subject, nullptr);
    ASSERT_EQ(subject->bOpen(0, 0), 1) << Dump(*holder);
  }
  // A table of the driver's class over T's catalog description, not opened.
  COracleTable* NewTable() {
    CRecordDescription* description = static_cast<COracleDriver*>(driver)->pCreateDescriptionFor(u"T", connection);
    if (!description) return nullptr;
    Keep(description)->nRelease();
    return Keep(new COracleTable(description, connection, holder));
  }

  static std::u16string Text(int n) {
    const std::string narrow = std::to_string(n);
    return std::u16string(narrow.begin(), narrow.end());
  }
  // A whole-number column of the current record; -1 for NULL.
  std::int32_t Field(const char16_t* name) {
    CHostValue value;
    std::int32_t k = -1;
    CColumn* column = subject->pGetTableDescription()->pFindColumnByName(name);
    if (column->bGetValue(value, 0) && !value.bIsNull() && value.nConvert(HOST_TYPE_INT32) < 100) value.nGet(&k);
    return k;
  }
  std::int32_t K() { return Field(u"K"); }
  // One read through K's context in the direction with the lock mode; K read, -1 when the read failed.
  std::int32_t Read(std::uint32_t direction, std::uint32_t lockMode = 1) {
    return subject->bRead(u"K", direction, 0, lockMode, 0, 0) ? K() : -1;
  }
  // The current record locked (mode 2) or released (mode 0) as the runtime asks.
  int Lock(std::uint32_t mode) {
    std::uint32_t out = 0;
    return subject->bTestRecordLock(0, mode, reinterpret_cast<RuntimeWord>(&out));
  }

  // A second session on the data source (another connection of the driver).
  COracleConnection* Second() {
    if (!second) {
      otherDescription = Description(u"second", connection->pszGetDataSource(), u"manager");
      EXPECT_EQ(CallSlot<int>(driver, kDriverOpen, otherDescription.get()), 1) << Dump(*holder);
      second = ConnectionOf(driver, *otherDescription);
    }
    return second;
  }
  // The ORA number with which the second session's lock of record k is refused, 0 when it got it (released again).
  std::uint32_t SecondLocks(int k) {
    COracleConnection* other = Second();
    otherHolder.Clear();
    if (other->bExecuteSql(&otherHolder, (u"SELECT K FROM T WHERE K = " + Text(k) + u" FOR UPDATE NOWAIT").c_str())) {
      other->bExecuteSql(&otherHolder, u"ROLLBACK");
      return 0;
    }
    return otherHolder.nGetNativeErrorCode();
  }
  // How many prepared statements held the text.
  std::size_t Prepared(const char* text) { return Calls({"OCIStmtPrepare", text}).size(); }

  void TearDown() override {
    if (second) CallSlot<int>(driver, kDriverClose, otherDescription.get());
    OracleCursorFixture::TearDown();
  }

  COracleTable* subject = nullptr;
  COracleConnection* second = nullptr;
  std::unique_ptr<qzrt::ConnectionDescription> otherDescription;
  CErrorHolder otherHolder;
};

}  // namespace ocitest
