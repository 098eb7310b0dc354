// LOB and LONG values through the Oracle cursor on the OCI stand-in: the locators an INSERT or UPDATE returns and
// the values written through them, as a second session reads them; a LONG value sent and read back in pieces; a LOB
// write that fails, after which the same cursor goes on.
#include "oracle_cursor_fixture.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>


namespace {

using namespace ocitest;

class OracleCursorLobValues : public OracleCursorFixture {
 protected:
  OracleCursorLobValues() : OracleCursorFixture("OCURSORLOBV") {}

  void TearDown() override {
    if (reader) CallSlot<int>(driver, kDriverClose, reader.get());
    OracleCursorFixture::TearDown();
  }

  // What a second session of the same data source reads.
  std::u16string Read2(const char16_t* sql) {
    if (!reader) {
      reader = Description(u"reader", DataSourceName(), u"manager");
      if (CallSlot<int>(driver, kDriverOpen, reader.get()) != 1) return u"<not opened> " + Narrowed();
    }
    return FetchText(ConnectionOf(driver, *reader), *holder, sql);
  }

  // C an 8-bit text memo of the runtime; in the table a CLOB, or with `national` an NCLOB.
  void DescribeLobs(bool national = false) {
    Describe({{u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, 2},
              {u"C", COLUMN_TYPE_TEXT_MEMO, 0, 0, 112, national ? COLUMN_TYPE_WTEXT_MEMO : 0u},
              {u"B", COLUMN_TYPE_BINARY_MEMO, 0, 0, 113}});
  }
  void SetBytes(const char16_t* name, const std::string& bytes, std::uint8_t type = HOST_TYPE_BINARY_BUFFER) {
    CHostValue value;
    value.SetType(type);
    ASSERT_FALSE(bHostFailed(value.SetFromBuffer(bytes.data(), bytes.size())));
    ASSERT_TRUE(columns->pFindColumnByName(name)->bSetValue(value, 0));
  }
  // The record as last read from the server.
  void Hold(std::int32_t k) {
    SetInt(u"K", k);
    ASSERT_TRUE(columns->bAcceptCurrent());
  }
  // The LOB value of the record read last, read through its locator.
  std::u16string Lob(const char16_t* name) {
    CHostValue value;
    if (!cursor->bReadMemoValue(name, &value)) return u"<failed> " + Narrowed();
    if (value.bIsNull()) return u"<null>";
    if (value.nGetType() != HOST_TYPE_WSTRING && value.nConvert(HOST_TYPE_WSTRING) >= 100) return u"<unconverted>";
    const char16_t* text = nullptr;
    value.nGetWideText(&text);
    return text ? text : u"";
  }

  // A file of this content, removed with the test.
  std::u16string File(const std::string& name, const std::string& content) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("qz_lob_" + std::to_string(::getpid()) + "_" + name)).string();
    std::ofstream(path, std::ios::binary) << content;
    releases.push_back([path] { std::filesystem::remove(path); });
    return std::u16string(path.begin(), path.end());
  }

  std::unique_ptr<qzrt::ConnectionDescription> reader;
};

std::u16string Long(std::size_t length) {
  std::u16string text(length, u'b');
  text[0] = u'a';
  text[length - 1] = u'z';
  return text;
}

TEST_F(OracleCursorLobValues, InsertAndUpdateWriteTheirLobsThroughTheReturnedLocators) {
  ASSERT_EQ(Sql(u"CREATE TABLE T (K NUMBER(10) PRIMARY KEY, C CLOB, B BLOB)"), 1) << Dump(*holder);
  DescribeLobs();
  const std::u16string big = Long(40000);
  SetInt(u"K", 1);
  SetText(u"C", big.c_str());
  SetBytes(u"B", std::string("\x01\x00\xFFraw", 6));
  ASSERT_EQ(Run(SQL_STATEMENT_INSERT), 1) << Dump(*holder);
  EXPECT_EQ(Text(), u"INSERT INTO T (K, C, B) VALUES ( :1 , EMPTY_CLOB(), EMPTY_BLOB() ) RETURNING C,B INTO :2 ,:3 ");
  EXPECT_EQ(Read2(u"SELECT LENGTH(C) || SUBSTR(C, 1, 2) || SUBSTR(C, 40000, 1) FROM T WHERE K = 1"), u"40000abz");
  EXPECT_EQ(Read2(u"SELECT HEX(B) FROM T WHERE K = 1"), u"0100FF726177");

  // A memo changes by the file linked to it; the unchanged key is not written.
  Hold(1);
  ASSERT_TRUE(columns->pFindColumnByName(u"C")->bLinkMemoFile(File("c", "changed").c_str()));
  ASSERT_TRUE(columns->pFindColumnByName(u"B")->bLinkMemoFile(File("b", std::string("\x02\x00", 2)).c_str()));
  ASSERT_EQ(Run(SQL_STATEMENT_UPDATE), 1) << Dump(*holder);
  EXPECT_EQ(Text(), u"UPDATE T SET C = EMPTY_CLOB(), B = EMPTY_BLOB() WHERE K=:1  RETURNING C,B INTO :2 ,:3 ");
  EXPECT_EQ(Read2(u"SELECT C || '/' || HEX(B) FROM T WHERE K = 1"), u"changed/0200");

  // The 40,000-byte CLOB read back comes with its row in pieces of 16384 bytes (the NULL BLOB in none): its value was
  // defined as text, and the locator the insert returned names the row last written, not the row read.
  SetInt(u"K", 2);
  SetText(u"C", big.c_str());
  CHostValue none;
  none.SetType(HOST_TYPE_BINARY_BUFFER);
  none.SetNull(true);
  ASSERT_TRUE(columns->pFindColumnByName(u"B")->bSetValue(none, 0));
  ASSERT_EQ(Run(SQL_STATEMENT_INSERT), 1) << Dump(*holder);
  ASSERT_EQ(Run(SQL_STATEMENT_SELECT), 1) << Dump(*holder);
  ASSERT_EQ(Read(READ_FIRST), u"1");
  StandIn::Get().ClearCallLog();
  ASSERT_EQ(Read(READ_NEXT), u"2");
  EXPECT_EQ(Lob(u"C"), big);
  EXPECT_EQ(Calls({"OCIStmtGetPieceInfo"}).size(), 3u);
  EXPECT_TRUE(Calls({"OCILobRead"}).empty());

  // A value put into a LOB is written with its record though nothing marks it changed, and a shorter value replaces
  // a longer one whole: alone, and beside a changed key.
  for (const std::int32_t to : {2, 4}) {
    const std::u16string digit(1, static_cast<char16_t>(u'0' + to));
    Hold(2);
    SetText(u"C", Long(40000 + to).c_str());
    ASSERT_EQ(Run(SQL_STATEMENT_UPDATE), 1) << Dump(*holder);
    EXPECT_EQ(Read2(u"SELECT LENGTH(C) FROM T WHERE K = 2"), u"4000" + digit);
    SetText(u"C", u"short");
    SetInt(u"K", to);
    ASSERT_EQ(Run(SQL_STATEMENT_UPDATE), 1) << Dump(*holder);
    EXPECT_EQ(Read2(u"SELECT K || C FROM T WHERE K > 1"), digit + u"short");
  }

  // 8-bit text written into an NCLOB reaches the server in UTF-16 from the runtime's code page, not byte for byte.
  ASSERT_EQ(Sql(u"DROP TABLE T"), 1) << Dump(*holder);
  ASSERT_EQ(Sql(u"CREATE TABLE T (K NUMBER(10) PRIMARY KEY, C NCLOB, B BLOB)"), 1) << Dump(*holder);
  DescribeLobs(true);
  SetInt(u"K", 5);
  SetBytes(u"C", "caf\xE9 \x80 5", HOST_TYPE_TEXT_BUFFER);
  ASSERT_EQ(Run(SQL_STATEMENT_INSERT), 1) << Dump(*holder);
  EXPECT_EQ(Read2(u"SELECT C || '/' || LENGTH(C) FROM T WHERE K = 5"), u"caf\u00e9 \u20ac 5/8");
}

TEST_F(OracleCursorLobValues, AnInsertIntoARowIdTableReturnsTheRowIdFirst) {
  ASSERT_EQ(Sql(u"CREATE TABLE T (QTY NUMBER(10), C CLOB)"), 1) << Dump(*holder);
  Describe({{u"RID", COLUMN_TYPE_TEXT, 20, COLUMN_FLAG_PRIMARY_KEY, 1},
            {u"QTY", COLUMN_TYPE_INT32, 4, 0, 2},
            {u"C", COLUMN_TYPE_TEXT_MEMO, 0, 0, 112}},
           true);
  SetInt(u"QTY", 7);
  SetText(u"C", u"memo");
  ASSERT_EQ(Run(SQL_STATEMENT_INSERT), 1) << Dump(*holder);
  EXPECT_EQ(Text(), u"INSERT INTO T (QTY, C) VALUES ( :1 , EMPTY_CLOB() ) RETURNING ROWID,C INTO :2 ,:3 ");
  EXPECT_EQ(Get(u"RID"), Read2(u"SELECT ROWIDTOCHAR(ROWID) FROM T"));
  EXPECT_EQ(Read2(u"SELECT C FROM T"), u"memo");
}

TEST_F(OracleCursorLobValues, AFailedLobWriteLeavesTheCursorUsable) {
  ASSERT_EQ(Sql(u"CREATE TABLE T (K NUMBER(10) PRIMARY KEY, C CLOB, B BLOB)"), 1) << Dump(*holder);
  DescribeLobs();
  SetInt(u"K", 1);
  SetText(u"C", u"lost");
  SetBytes(u"B", "b");
  StandIn::Get().InjectStatus("OCILobWrite", 1, -1, 1555);
  EXPECT_EQ(Run(SQL_STATEMENT_INSERT), 0);
  const std::string report = Dump(*holder);
  EXPECT_NE(report.find("ORA-01555"), std::string::npos) << report;
  // The locators the statement returned are no values of the record: they show empty.
  EXPECT_NE(report.find("P:1 :\t1\r\nP:2 :\t\r\nP:3 :\t\r\n"), std::string::npos) << report;
  holder->Clear();

  SetInt(u"K", 2);
  SetText(u"C", u"kept");
  ASSERT_EQ(Run(SQL_STATEMENT_INSERT), 1) << Dump(*holder);
  EXPECT_EQ(Read2(u"SELECT C FROM T WHERE K = 2"), u"kept");
  // The failed row keeps the empty LOB its statement placed: undoing it is the work of the transaction the table
  // writes in.
  EXPECT_EQ(Read2(u"SELECT COUNT(*) || '/' || LENGTH(C) FROM T WHERE K = 1"), u"1/0");
}

// A named output longer than a piece comes back whole once the statement has run, whatever text type it was
// declared with: the last piece's length is known only then.
TEST_F(OracleCursorLobValues, ANamedOutputIsWholeAfterTheRun) {
  ASSERT_EQ(Sql(u"CREATE TABLE P (ID NUMBER(5), NAME VARCHAR2(4000))"), 1) << Dump(*holder);
  ASSERT_EQ(Sql(u"INSERT INTO P VALUES (1, RPAD('x', 3000, 'y'))"), 1) << Dump(*holder);
  Describe({{u"ID", COLUMN_TYPE_INT32, 4, 0, 2}});
  for (std::uint8_t type : {HOST_TYPE_WSTRING, HOST_TYPE_ASTRING, HOST_TYPE_TEXT_BUFFER, HOST_TYPE_TEXT}) {
    CFieldValue* output = NewValue(type);
    CSqlRewriter* update = Keep(table->pNewSqlStatement());
    ASSERT_TRUE(update->nAppendText(u"UPDATE P SET ID = ID + 1 RETURNING NAME INTO "));
    AddParameter(update, output, u"OUTV");
    update->SetStatementKind(SQL_STATEMENT_UPDATE);
    ASSERT_TRUE(cursor->bSetStatement(update));
    ASSERT_EQ(cursor->bPrepareAndExecute(0, 0), 1) << Dump(*holder);
    CHostValue value;
    ASSERT_TRUE(output->bGetValue(&value));
    if (value.nGetType() != HOST_TYPE_WSTRING) {
      ASSERT_LT(value.nConvert(HOST_TYPE_WSTRING), 100u);
    }
    const char16_t* text = nullptr;
    value.nGetWideText(&text);
    EXPECT_EQ(std::u16string(text ? text : u""), u"x" + std::u16string(2999, u'y')) << "host type " << int{type};
  }
}

// The record's own values are bound whole, a LONG's too; an empty one is a NULL to the server.
TEST_F(OracleCursorLobValues, ALongValueIsWrittenWhole) {
  ASSERT_EQ(Sql(u"CREATE TABLE T (K NUMBER(10) PRIMARY KEY, V LONG)"), 1) << Dump(*holder);
  Describe({{u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, 2}, {u"V", COLUMN_TYPE_TEXT_MEMO, 0, 0, 8}});
  for (std::int32_t k : {1, 2}) {
    SetInt(u"K", k);
    SetText(u"V", k == 1 ? Long(40000).c_str() : u"");
    ASSERT_EQ(Run(SQL_STATEMENT_INSERT), 1) << Dump(*holder);
  }
  EXPECT_EQ(Read2(u"SELECT LENGTH(V) || SUBSTR(V, 40000, 1) FROM T WHERE K = 1"), u"40000z");
  EXPECT_EQ(Read2(u"SELECT COUNT(*) FROM T WHERE V IS NULL"), u"1");
}

// A client that reports a LONG piece longer than the room it was given fails the read, nothing read past the
// buffer; the same cursor then reads the value whole.
TEST_F(OracleCursorLobValues, ALongPieceLongerThanItsRoomFailsTheRead) {
  ASSERT_EQ(Sql(u"CREATE TABLE T (K NUMBER(10) PRIMARY KEY, V LONG RAW)"), 1) << Dump(*holder);
  ASSERT_EQ(Sql(u"INSERT INTO T (K, V) VALUES (1, '00')"), 1) << Dump(*holder);
  Describe({{u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, 2}, {u"V", COLUMN_TYPE_BINARY_MEMO, 0, 0, 24}});
  const unsigned sizes[] = {3, LONG_PIECE_BYTES};
  const unsigned over[] = {0, 1};
  StandIn::Get().ScriptPieces("0123456789", 10, 0, sizes, over, 2);
  ASSERT_EQ(Run(SQL_STATEMENT_SELECT), 1) << Dump(*holder);
  const std::u16string refused = Read(READ_FIRST);
  EXPECT_EQ(refused.find(u"<failed>"), 0u) << std::string(refused.begin(), refused.end());
  EXPECT_EQ(holder->pGetEmbeddedObject()->nGetCode(), ERROR_VALUE_TOO_LONG);
  holder->Clear();

  StandIn::Get().ScriptPieces("0123456789", 10, 0, sizes, nullptr, 2);
  ASSERT_EQ(Run(SQL_STATEMENT_SELECT), 1) << Dump(*holder);
  ASSERT_EQ(Read(READ_FIRST), u"1");
  CHostValue value;
  ASSERT_TRUE(columns->pFindColumnByName(u"V")->bGetValue(value, 0));
  const void* bytes = nullptr;
  std::size_t size = 0;
  value.nGetDataPointer(&bytes);
  value.nGetDataSize(&size);
  EXPECT_EQ(std::string(static_cast<const char*>(bytes), size), "0123456789");
}

}  // namespace
