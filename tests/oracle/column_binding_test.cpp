// The Oracle columns and bindings on the OCI stand-in, through a test statement: LOB contents read in pieces and
// written in one (CLOB, Unicode CLOB, BLOB, BFILE), linked memo files, LOB columns in every INSERT and UPDATE, date
// formats, clones; parameters bound by name, at execution, as a piecewise output and as a REF CURSOR; the driver
// object's factories.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "engine_connection_fixture.h"
#include "foundation/hash_table.h"
#include "oracle_statement_helpers.h"
#include "platform/utf8.h"

namespace {

using namespace ocitest;

class OracleColumnBinding : public COracleEngineFixture<OracleObjectsDriver> {
 protected:
  OracleColumnBinding() : COracleEngineFixture("COLBIND") {}

  void Exec(const std::u16string& sql) { ASSERT_TRUE(connection->bExecuteSql(holder, sql.c_str())) << Dump(*holder); }
  // A statement whose result column at the position is the column; run and on its first row when a query.
  OciTestStatement* Run(const std::u16string& sql, CColumn* column = nullptr, std::uint32_t kind = 1) {
    auto* statement = Keep(new OciTestStatement(connection, holder));
    EXPECT_TRUE(statement->Prepare(sql)) << Dump(*holder);
    if (column) {
      EXPECT_TRUE(Keep(new COracleParameterBinding(Keep(new CSqlElement(column)), 1))->bPrepare(statement));
    }
    if (kind != 0) {
      EXPECT_TRUE(statement->Execute(kind) && (kind != 1 || statement->Fetch())) << Dump(*holder);
    }
    return statement;
  }
  // A parameter whose field value of that host type holds the text (none: no value).
  COracleParameter* Parameter(const char16_t* name, std::uint32_t flags, const std::string& text = "",
                              std::uint8_t hostType = HOST_TYPE_TEXT_BUFFER) {
    auto* value = Keep(new COracleFieldValue(holder, connection));
    value->InitType(hostType, 0);
    if (!text.empty()) {
      EXPECT_TRUE(value->bSetValue(Text(text)));
    }
    return Keep(new COracleParameter(Keep(new CValueLeaf(value, 1, flags, name)), 1));
  }
  static CHostValue& Text(const std::string& text, std::uint8_t type = HOST_TYPE_TEXT_BUFFER) {
    static CHostValue value;
    value.SetType(type);
    value.SetFromBuffer(text.data(), text.size());
    return value;
  }
  static std::string TextOf(CColumn* column) {
    CHostValue read;
    if (!column->bGetValue(read, 0)) return "<failed>";
    read.nConvert(HOST_TYPE_TEXT_BUFFER);
    return NarrowOf(read);
  }
  // The value's bytes, a text's without its terminator.
  static std::string BytesOf(CFieldValue* value) {
    const std::uint8_t type = value->Value().nGetType();
    const std::uint64_t size = bIsNarrowTextHostType(type)  ? value->nGetValueLength()
                               : bIsWideTextHostType(type) ? value->nGetValueLength() * 2
                                                           : value->nGetDataSize();
    return value->pGetData() ? std::string(static_cast<const char*>(value->pGetData()), size) : std::string();
  }
  // The calls of the entry since the call log was last cleared.
  static unsigned Calls(const std::string& entry) {
    unsigned n = 0;
    for (const std::string& call : StandIn::Get().CallLog()) n += call.rfind(entry + " ", 0) == 0 || call == entry;
    return n;
  }
};

TEST_F(OracleColumnBinding, ClobsAreWrittenInOnePieceAndReadIn16384BytePieces) {
  Exec(u"CREATE TABLE DOCS (ID NUMBER(5), BODY CLOB)");
  OracleColumns columns(connection, holder, {{u"BODY", COLUMN_TYPE_TEXT_MEMO, 0, COLUMN_TYPE_TEXT_MEMO, 112}});
  ASSERT_TRUE(columns.bBuilt()) << Dump(*holder);
  COracleColumn* body = columns.Column(u"BODY");
  EXPECT_EQ(body->nGetLobDescriptorType(), LOB_DESCRIPTOR_TYPE_LOB);
  EXPECT_TRUE(columns.Table()->bHasLob());
  struct Case {
    std::size_t length;
    std::uint32_t written;  // the amount written: an empty text writes nothing (its statement placed an empty LOB)
    std::uint32_t reads;
  } cases[] = {{40000, 40000, 3}, {16384, 16384, 1}, {0, 0, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    Exec(u"DELETE FROM DOCS");
    Exec(u"INSERT INTO DOCS VALUES (1, 'old')");
    OciTestStatement* writer = Run(u"SELECT BODY FROM DOCS WHERE ID = 1 FOR UPDATE", body);
    StandIn::Get().ClearCallLog();
    body->pGetFieldValue()->SetNull();
    ASSERT_TRUE(body->bWriteLob(writer)) << "a NULL value leaves the LOB alone";
    EXPECT_EQ(Calls("OCILobOpen") + Calls("OCILobWrite"), 0u);
    std::string text(c.length, 'a');
    for (std::size_t i = 0; i < c.length; ++i) text[i] = static_cast<char>('a' + i % 26);
    if (c.length) text.back() = 'Z';
    ASSERT_TRUE(body->bSetValue(Text(text), 0));
    ASSERT_TRUE(body->bWriteLob(writer)) << Dump(*holder);
    ASSERT_EQ(Calls("OCILobWrite"), c.written ? 1u : 0u);
    if (!c.length) continue;
    EXPECT_NE(StandIn::Get().LastCall("OCILobWrite").find("amount=" + std::to_string(c.written) + " "),
              std::string::npos)
        << StandIn::Get().LastCall("OCILobWrite");
    body->pGetFieldValue()->SetNull();
    Run(u"SELECT BODY FROM DOCS WHERE ID = 1", body);
    StandIn::Get().ClearCallLog();
    ASSERT_TRUE(body->bReadLob()) << Dump(*holder);
    EXPECT_EQ(Calls("OCILobRead"), c.reads);
    EXPECT_EQ(Calls("OCILobClose"), 1u);
    EXPECT_EQ(TextOf(body), text);
  }
}

TEST_F(OracleColumnBinding, AClobKeepsItsLastCharacterWhateverItsValueEndsWith) {
  // A binary memo held in a CLOB: its value has no terminator, its last byte is a character of it.
  Exec(u"CREATE TABLE DOCS (ID NUMBER(5), BODY CLOB)");
  Exec(u"INSERT INTO DOCS VALUES (1, EMPTY_CLOB())");
  OracleColumns columns(connection, holder, {{u"BODY", COLUMN_TYPE_BINARY_MEMO, 0, COLUMN_TYPE_TEXT_MEMO, 112}});
  ASSERT_TRUE(columns.bBuilt()) << Dump(*holder);
  COracleColumn* body = columns.Column(u"BODY");
  OciTestStatement* writer = Run(u"SELECT BODY FROM DOCS WHERE ID = 1 FOR UPDATE", body);
  ASSERT_TRUE(body->bSetValue(Text("abcd", HOST_TYPE_BINARY_BUFFER), 0));
  ASSERT_TRUE(body->bWriteLob(writer)) << Dump(*holder);
  EXPECT_EQ(FetchText(connection, *holder, u"SELECT BODY FROM DOCS"), u"abcd");
}

TEST_F(OracleColumnBinding, ALinkedMemoFileThatCannotBeReadFailsTheWrite) {
  Exec(u"CREATE TABLE DOCS (ID NUMBER(5), BODY CLOB)");
  Exec(u"INSERT INTO DOCS VALUES (1, 'before')");
  OracleColumns columns(connection, holder, {{u"BODY", COLUMN_TYPE_TEXT_MEMO, 0, COLUMN_TYPE_TEXT_MEMO, 112}});
  ASSERT_TRUE(columns.bBuilt()) << Dump(*holder);
  COracleColumn* body = columns.Column(u"BODY");
  OciTestStatement* writer = Run(u"SELECT BODY FROM DOCS WHERE ID = 1 FOR UPDATE", body);
  ASSERT_TRUE(body->bLinkMemoFile(u"/nonexistent/qz/body.txt"));
  StandIn::Get().ClearCallLog();
  EXPECT_FALSE(body->bWriteLob(writer));
  EXPECT_NE(holder->nGetErrorCode(), 0u) << "the read's error stays in the holder";
  EXPECT_EQ(Calls("OCILobWrite"), 0u);
  holder->Clear();

  // The same column, linked to a file that reads, writes its content.
  const std::string path = std::filesystem::temp_directory_path() / ("qz_memo_" + std::to_string(::getpid()));
  std::ofstream(path) << "from the file";
  ASSERT_TRUE(body->bLinkMemoFile(std::u16string(path.begin(), path.end()).c_str()));
  EXPECT_TRUE(body->bWriteLob(writer)) << Dump(*holder);
  EXPECT_EQ(FetchText(connection, *holder, u"SELECT BODY FROM DOCS"), u"from the file");
  std::filesystem::remove(path);
}

TEST_F(OracleColumnBinding, UnicodeClobsCountCharactersAndFilesReadAsBytes) {
  Exec(u"CREATE TABLE DOCS (NOTE NCLOB, PIC BLOB, DOC BFILE)");
  Exec(u"INSERT INTO DOCS VALUES (RPAD('a', 20000, 'a'), NULL, BFILENAME('QZDIR', 'note.bin'))");
  // The stand-in keeps a BFILE's folder beside its database files. Asked, not guessed from the process number: a
  // folder left by an earlier process of the same number would be taken for it.
  const std::u16string dataSource = description->pszGetDataSource();
  char folder[512] = {};
  ASSERT_GT(StandIn::Get().DataSourceFolder(std::string(dataSource.begin(), dataSource.end()).c_str(), folder,
                                            sizeof folder),
            0u);
  const std::filesystem::path root = folder;
  std::filesystem::create_directories(root / "QZDIR");
  const std::string binary("\x00\x01\xFFstored\x00", 10);
  std::ofstream(root / "QZDIR" / "note.bin", std::ios::binary) << binary;

  OracleColumns columns(connection, holder,
                        {{u"NOTE", COLUMN_TYPE_WTEXT_MEMO, 0, COLUMN_TYPE_WTEXT_MEMO, 112},
                         {u"PIC", COLUMN_TYPE_BINARY_MEMO, 0, COLUMN_TYPE_BINARY_MEMO, 113},
                         {u"DOC", COLUMN_TYPE_BINARY_MEMO, 0, COLUMN_TYPE_BINARY_MEMO, 114}});
  ASSERT_TRUE(columns.bBuilt()) << Dump(*holder);
  COracleColumn* note = columns.Column(u"NOTE");
  COracleColumn* pic = columns.Column(u"PIC");
  COracleColumn* doc = columns.Column(u"DOC");
  EXPECT_EQ(doc->nGetLobDescriptorType(), LOB_DESCRIPTOR_TYPE_FILE);
  OciTestStatement* statement = Run(u"SELECT NOTE, PIC, DOC FROM DOCS", nullptr, 0);
  COracleParameterBinding* bindings[3] = {};
  std::uint32_t position = 0;
  for (CColumn* column : {note, pic, doc}) {
    bindings[position] = Keep(new COracleParameterBinding(Keep(new CSqlElement(column)), position + 1));
    ASSERT_TRUE(bindings[position++]->bPrepare(statement));
  }
  ASSERT_TRUE(statement->Execute(1) && statement->Fetch()) << Dump(*holder);
  // A memo's LOB waits to be read while the table's state word is 0; a NULL one is NULL at once.
  StandIn::Get().ClearCallLog();
  ASSERT_TRUE(bindings[0]->bTransferValue(nullptr) && bindings[1]->bTransferValue(nullptr));
  EXPECT_TRUE(note->bIsUnread());
  EXPECT_FALSE(pic->bIsUnread());
  EXPECT_TRUE(pic->pGetFieldValue()->Value().bIsNull());
  EXPECT_FALSE(pic->bIsChanged()) << "a NULL read is no change to write";
  EXPECT_EQ(Calls("OCILobRead"), 0u);
  ASSERT_TRUE(note->bReadLob()) << Dump(*holder);
  EXPECT_EQ(Calls("OCILobRead"), 3u) << "8192 characters a piece";
  EXPECT_EQ(BytesOf(note->pGetFieldValue()).size(), 40000u) << "two bytes a character";
  EXPECT_EQ(TextOf(note), std::string(20000, 'a'));
  ASSERT_TRUE(pic->bReadLob());
  EXPECT_TRUE(pic->pGetFieldValue()->Value().bIsNull()) << "a NULL locator gives a NULL value";
  columns.Table()->state = 1;
  ASSERT_TRUE(bindings[2]->bTransferValue(nullptr)) << "read at once" << Dump(*holder);
  EXPECT_EQ(doc->pGetFieldValue()->Value().nGetType(), HOST_TYPE_BINARY_BUFFER);
  EXPECT_EQ(BytesOf(doc->pGetFieldValue()), binary);
}

TEST_F(OracleColumnBinding, ColumnsTakeTheirDateFormatAndLobsTakePartInEveryInsert) {
  connection->SetNamedParameterSwitch(1);
  OracleColumns columns(connection, holder,
                        {{u"BODY", COLUMN_TYPE_TEXT_MEMO, 0, COLUMN_TYPE_TEXT_MEMO, 112},
                         {u"OLD", COLUMN_TYPE_TEXT_MEMO, 0, COLUMN_TYPE_TEXT_MEMO, 8},
                         {u"AT", COLUMN_TYPE_DATETIME, 8, COLUMN_TYPE_DATETIME, 12}});
  connection->SetNamedParameterSwitch(0);
  ASSERT_TRUE(columns.bBuilt()) << Dump(*holder);
  COracleColumn* body = columns.Column(u"BODY");
  COracleColumn* old = columns.Column(u"OLD");
  EXPECT_TRUE(body->bIncludeInInsert(0) && !body->bIncludeInUpdate(0)) << "a LOB goes into an UPDATE when changed";
  EXPECT_FALSE(old->bIncludeInInsert(0) || old->bIncludeInUpdate(0)) << "a LONG memo only when asked";
  auto* at = dynamic_cast<COracleFieldValue*>(columns.Column(u"AT")->pGetFieldValue());
  ASSERT_NE(at, nullptr);
  EXPECT_EQ(std::u16string(at->pszGetDateFormat()), u"YYYYMMDD HH24:MI:SS");
  EXPECT_EQ(at->nGetNativeTypeCode(), sqlt::ODT);
  ASSERT_TRUE(columns.Column(u"AT")->bApplyDateFormat(connection));
  EXPECT_EQ(std::u16string(at->pszGetDateFormat()), u"YYYYMMDDHH24MISS") << "without the connection's flag";
  EXPECT_EQ(at->nGetNativeTypeCode(), sqlt::ODT) << "the native type stays";
}

TEST_F(OracleColumnBinding, ClonesAreOracleClassesCopiedOnceWithoutLocators) {
  Exec(u"CREATE TABLE DOCS (ID NUMBER(5), BODY CLOB)");
  Exec(u"INSERT INTO DOCS VALUES (1, 'x')");
  OracleColumns columns(connection, holder, {{u"ID", COLUMN_TYPE_INT32, 4, COLUMN_TYPE_INT32, 3},
                                             {u"BODY", COLUMN_TYPE_TEXT_MEMO, 0, COLUMN_TYPE_TEXT_MEMO, 112}});
  ASSERT_TRUE(columns.bBuilt()) << Dump(*holder);
  Run(u"SELECT BODY FROM DOCS", columns.Column(u"BODY"));
  ASSERT_NE(columns.Column(u"BODY")->pPeekLobLocator(), nullptr);
  CHashTable map(17);
  CTableDescription* copy = Keep(columns.Description()->pClone(map));
  EXPECT_NE(dynamic_cast<COracleTableDescription*>(copy), nullptr);
  auto* body = dynamic_cast<COracleColumn*>(copy->pFindColumnByName(u"BODY"));
  ASSERT_NE(body, nullptr);
  EXPECT_NE(body, columns.Column(u"BODY"));
  EXPECT_EQ(body->nGetLobDescriptorType(), LOB_DESCRIPTOR_TYPE_LOB);
  EXPECT_EQ(body->pPeekLobLocator(), nullptr) << "a copy makes its own locator";
  EXPECT_EQ(copy->pGetKey(0), copy->pFindColumnByName(u"ID")) << "the key list shares the copied column";
  COracleParameter* parameter = Parameter(u"NAME", LEAF_FLAG_NAMED, "text");
  ASSERT_TRUE(parameter->bPrepareBindMode());
  auto* parameterCopy = dynamic_cast<COracleParameter*>(Keep(parameter->pClone(map)));
  ASSERT_NE(parameterCopy, nullptr);
  EXPECT_EQ(parameterCopy->nGetPosition(), 1u);
  EXPECT_EQ(parameterCopy->bIsDynamic(), 1u);
  EXPECT_EQ(std::u16string(parameterCopy->pszGetName()), u"NAME");
}

TEST_F(OracleColumnBinding, ParametersBindByNameAndAtExecution) {
  Exec(u"CREATE TABLE P (ID NUMBER(5), NAME VARCHAR2(4000))");
  struct Case {
    const char16_t* name;
    std::uint32_t flags;
    std::string text;
    unsigned dynamic;
    bool again = false;  // the value object of the case before, given this text
    bool wide = false;   // the text (UTF-8 here) bound as UTF-16
  };
  // Characters of one to four bytes, a surrogate pair among them: a value sent at execution goes whole.
  std::string mixed;
  for (int i = 0; i < 300; ++i) mixed += "\u00e9\u20ac\U0001D11Ex";
  const Case cases[] = {{u"NAME", 0, "row 1", 0},          {u"NAME", LEAF_FLAG_NAMED, "row 2", 1},
                        {u"", 0, "row 3", 0},              {u"NAME", 0, "", 0},
                        {u"NAME", 0, "row 5", 0, true},    {u"NAME", LEAF_FLAG_NAMED, mixed, 1, false, true}};
  int id = 0;
  COracleParameter* parameter = nullptr;
  for (const Case& c : cases) {
    SCOPED_TRACE(++id);
    OciTestStatement* statement =
        Run(u"INSERT INTO P VALUES (" + std::u16string(1, char16_t(u'0' + id)) + u", :" + (c.name[0] ? c.name : u"1") +
                u")",
            nullptr, 0);
    const std::u16string wide = platform::ToUtf16(c.text);
    parameter = c.again ? parameter : Parameter(c.name, c.flags, c.wide ? "" : c.text, c.wide ? HOST_TYPE_WSTRING : HOST_TYPE_TEXT_BUFFER);
    CHostValue& value = c.wide ? Text(std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2),
                                      HOST_TYPE_WSTRING)
                               : Text(c.text);
    EXPECT_TRUE(!(c.again || c.wide) || parameter->pGetFieldValue()->bSetValue(value));
    if (c.text.empty()) parameter->pGetFieldValue()->SetNull();
    StandIn::Get().ClearCallLog();
    ASSERT_TRUE(parameter->bBind(holder, statement->pGetOciStatement(), connection)) << Dump(*holder);
    EXPECT_EQ(parameter->bIsDynamic(), c.dynamic);
    EXPECT_EQ(Calls("OCIBindDynamic"), c.dynamic);
    EXPECT_NE(StandIn::Get().LastCall("OCIBindByName").find("mode=" + std::to_string(c.dynamic * 2)),
              std::string::npos);
    EXPECT_EQ(*parameter->pGetIndicators(), c.text.empty() ? 0xFFFF : 0);
    ASSERT_TRUE(statement->Execute(3)) << Dump(*holder);
    const std::u16string sql = u"SELECT NAME FROM P WHERE ID = " + std::u16string(1, char16_t(u'0' + id));
    EXPECT_TRUE(c.text.empty() || FetchText(connection, *holder, sql.c_str()) == wide) << "the value read back";
  }
  EXPECT_EQ(FetchText(connection, *holder, u"SELECT COUNT(*) FROM P WHERE NAME LIKE 'row _'"), u"4");
  EXPECT_EQ(FetchText(connection, *holder, u"SELECT COUNT(*) FROM P WHERE NAME IS NULL"), u"1");
}

TEST_F(OracleColumnBinding, ANamedOutputComesBackIn1024BytePieces) {
  Exec(u"CREATE TABLE P (ID NUMBER(5), NAME VARCHAR2(4000))");
  Exec(u"INSERT INTO P VALUES (1, RPAD('x', 3000, 'y'))");
  OciTestStatement* statement = Run(u"UPDATE P SET ID = 2 WHERE ID = 1 RETURNING NAME INTO :OUTV", nullptr, 0);
  COracleParameter* output = Parameter(u"OUTV", LEAF_FLAG_NAMED);
  ASSERT_TRUE(output->bBind(holder, statement->pGetOciStatement(), connection)) << Dump(*holder);
  ASSERT_EQ(output->bIsDynamic(), 1u);
  ASSERT_TRUE(statement->Execute(2)) << Dump(*holder);
  COracleFieldValue* value = output->pGetOracleValue();
  EXPECT_EQ(BytesOf(value).size(), 2048u) << "two whole pieces before the last one's length is known";
  ASSERT_TRUE(output->bCompleteOutput());
  EXPECT_EQ(BytesOf(value), "x" + std::string(2999, 'y'));

  // A NULL comes in no piece: the same output is NULL, not the text it held before.
  Exec(u"INSERT INTO P VALUES (3, NULL)");
  OciTestStatement* nulled = Run(u"UPDATE P SET ID = 4 WHERE ID = 3 RETURNING NAME INTO :OUTV", nullptr, 0);
  ASSERT_TRUE(output->bBind(holder, nulled->pGetOciStatement(), connection)) << Dump(*holder);
  ASSERT_TRUE(nulled->Execute(2) && output->bCompleteOutput()) << Dump(*holder);
  EXPECT_TRUE(value->Value().bIsNull()) << BytesOf(value).size();

  // The whole text refused by the runtime's allocator (its own code): out of memory, never an empty text.
  OciTestStatement* refused = Run(u"UPDATE P SET ID = 6 WHERE ID = 2 RETURNING NAME INTO :OUTV", nullptr, 0);
  ASSERT_TRUE(output->bBind(holder, refused->pGetOciStatement(), connection) && refused->Execute(2));
  qzrt::FailStringAllocations(0);
  EXPECT_EQ(output->bCompleteOutput(), 0);
  qzrt::FailStringAllocations(-1);
  EXPECT_EQ(holder->pGetEmbeddedObject()->nGetSystemCode(), 14u) << Dump(*holder);
  holder->Clear();
}

TEST_F(OracleColumnBinding, ARefCursorHandleIsMadeOnceReusedAndFreedWithItsParameter) {
  Exec(u"CREATE TABLE P (ID NUMBER(5), NAME VARCHAR2(40))");
  Exec(u"INSERT INTO P VALUES (1, 'one')");
  OciTestStatement* statement = Run(u"BEGIN OPEN :C FOR SELECT NAME FROM P; END;", nullptr, 0);
  auto* parameter = new COracleParameter(Keep(new CValueLeaf(nullptr, 1, LEAF_FLAG_CURSOR_PARAMETER, u"C")), 1);
  parameter->AddRef();
  StandIn::Get().ClearCallLog();
  for (int run = 0; run < 2; ++run) {
    ASSERT_TRUE(parameter->bBind(holder, statement->pGetOciStatement(), connection)) << Dump(*holder);
    EXPECT_NE(StandIn::Get().LastCall("OCIBindByName").find("dty=116"), std::string::npos);
    ASSERT_TRUE(statement->Execute(8)) << Dump(*holder);
  }
  EXPECT_EQ(Calls("OCIHandleAlloc"), 1u);
  char name[41] = {};
  std::uint16_t indicator = 0, length = 0;
  void* define = nullptr;
  std::uint32_t end = 0;
  ASSERT_TRUE(nOciDefineByPos(connection, holder, parameter->pGetCursorHandle(), &define, 1, name, sizeof name, &length,
                              sqlt::STR, &indicator, nullptr, 0, COLUMN_TYPE_TEXT));
  ASSERT_TRUE(nOciStmtFetch(connection, holder, parameter->pGetCursorHandle(), 1, kFetchNext, &end, nullptr));
  EXPECT_STREQ(name, "one");
  StandIn::Get().ClearCallLog();
  parameter->nRelease();
  EXPECT_EQ(Calls("OCIHandleFree"), 1u);
}

TEST_F(OracleColumnBinding, TheDriverObjectMakesTheOracleBindingsAndColumns) {
  gpDriver = savedDriver;
  CColumnDescriptor* item = Keep(pCreateColumnDescriptorThroughDriver(nullptr, 0));
  auto* column = Keep(static_cast<CColumn*>(
      CallSlot<void*>(driver, 52, reinterpret_cast<RuntimeWord>(holder), reinterpret_cast<RuntimeWord>(item))));
  auto* binding = Keep(static_cast<CParameterBinding*>(CallSlot<void*>(driver, 46, RuntimeWord{0}, RuntimeWord{3})));
  auto* parameter = Keep(static_cast<CParameterBinding*>(CallSlot<void*>(driver, 47, RuntimeWord{0}, RuntimeWord{2})));
  gpDriver = &testDriver;
  EXPECT_NE(dynamic_cast<COracleColumn*>(column), nullptr);
  EXPECT_NE(dynamic_cast<COracleParameterBinding*>(binding), nullptr);
  EXPECT_NE(dynamic_cast<COracleParameter*>(parameter), nullptr);
  EXPECT_EQ(binding->nGetPosition() * 10 + parameter->nGetPosition(), 32u);
}

}  // namespace
