// Creating and dropping a table through its default context: the DROP and CREATE edge cases, the exact CREATE INDEX
// texts and their names, the catalog check, and the creation the runtime asks for through the access interface.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "driver/access_interface.h"
#include "standin/runtime/runtime_objects.h"
#include "tests/engine/table_fixture.h"
#include "tests/slot_call.h"

namespace {

// What the table ran and what is to fail: statement kinds of the table's modifications (a failing kind records its
// state in the holder), the texts the contexts ran (one containing failText fails).
struct DdlScript {
  std::vector<std::uint32_t> kinds;
  std::map<std::uint32_t, std::uint32_t> failingKinds;  // kind to recorded state
  std::vector<std::u16string> texts;
  std::u16string failText;
  bool loadFailsQuietly = false;
};

class RecordingCursor : public doubles::ScriptedCursor {
 public:
  RecordingCursor(CTable* table, CErrorHolder* holder, DdlScript& script)
      : ScriptedCursor(table, holder), m_script(script) {}
  int bExecute(std::uint32_t mode) override {
    const std::u16string text = pGetStatement()->pszGetSourceText();
    m_script.texts.push_back(text);
    if (!m_script.failText.empty() && text.find(m_script.failText) != std::u16string::npos) {
      RaiseNotAvailable(pGetErrorHolder(), ERROR_UNIT_ORACLE_CURSOR, 7, nullptr, u"index");
      return 0;
    }
    return ScriptedCursor::bExecute(mode);
  }

 private:
  DdlScript& m_script;
};

// The statement kinds of the writing side are the statement object's: here they are only recorded.
class DdlTable : public CTable {
 public:
  DdlTable(IHostFileDescription* description, CConnection* connection, CErrorHolder* holder, DdlScript& script)
      : CTable(description, connection, holder), m_script(script) {}
  int bExecuteModification(CCursor*, std::uint32_t kind, std::uint32_t, RuntimeWord) override {
    m_script.kinds.push_back(kind);
    auto failing = m_script.failingKinds.find(kind);
    if (failing == m_script.failingKinds.end()) return 1;
    RaiseModuleError(pGetErrorHolder(), failing->second, ERROR_UNIT_CURSOR, 5, nullptr, u"T", 8);
    return 0;
  }
  CRecordDescription* pLoadRecordDescription(const char16_t* name, std::uint32_t flag) override {
    return m_script.loadFailsQuietly ? nullptr : CTable::pLoadRecordDescription(name, flag);
  }

 private:
  DdlScript& m_script;
};

class DdlDriver : public doubles::CursorDriver {
 public:
  void DeletingDestructor(std::uint32_t flags) override { DestroyAs(this, flags); }
  void* pCreateCursor(RuntimeWord table, RuntimeWord holder) override {
    return new RecordingCursor(reinterpret_cast<CTable*>(table), reinterpret_cast<CErrorHolder*>(holder), script);
  }
  CTable* pCreateTable(IHostFileDescription* description, CConnection* connection, CErrorHolder* holder) override {
    return new DdlTable(description, connection, holder, script);
  }
  DdlScript script;
};

class QualifyingConnection : public KindConnection {
 public:
  using KindConnection::KindConnection;
  int bQualifiesIndexNames() override { return 1; }
};

std::uint32_t FixedClock() { return 1234; }

class TableDdlTest : public TableFixture {
 protected:
  void SetUp() override {
    TableFixture::SetUp();
    gpDriver = &ddl;
    ddl.existingTables = {u"T"};
    m_previousClock = SetIndexNameClock(&FixedClock);
    m_previousCounter = SetIndexNameCounter(7);
  }
  void TearDown() override {
    SetIndexNameClock(m_previousClock);
    SetIndexNameCounter(m_previousCounter);
    TableFixture::TearDown();
  }
  // The table T over K (primary key) and the given key columns with duplicates, on a connection that qualifies
  // index names or not.
  void KeyedTable(std::initializer_list<const char16_t*> duplicates, bool qualifying = false) {
    if (subject) subject->nRelease();
    subject = nullptr;
    TearDownTable();
    ddl.script = DdlScript();
    connection = qualifying ? new QualifyingConnection(2) : new KindConnection(2);
    connection->AddRef();
    description = driver.CDriver::pCreateDescription(connection, holder);
    description->AddRef();
    description->SetName(u"T");
    description->SetSqlTableName(u"T");
    Add(u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, false);
    for (const char16_t* name : duplicates) Add(name, COLUMN_TYPE_INT32, 4, COLUMN_FLAG_DUPLICATES);
  }
  void MakeDdlTable() {
    description->LayoutItems();
    subject = ddl.pCreateTable(description, connection, holder);
    subject->AddRef();
  }

  DdlDriver ddl;

 private:
  IndexNameClock m_previousClock = nullptr;
  std::uint32_t m_previousCounter = 0;
};

TEST_F(TableDdlTest, IndexTextsAndNames) {
  for (bool qualifying : {false, true}) {
    SCOPED_TRACE(qualifying);
    KeyedTable({u"D", u"E"}, qualifying);
    AddComposite(u"Pair", {description->pGetItemAt(1), description->pGetItemAt(2)}, COLUMN_FLAG_UNIQUE);
    MakeDdlTable();
    SetIndexNameCounter(7);
    ASSERT_EQ(subject->bDoCreate(0, 1), 1);
    EXPECT_EQ(ddl.script.kinds, std::vector<std::uint32_t>{6});
    // The unique primary key gets none; two names of one second differ by the counter.
    const std::vector<std::u16string> texts = {
        u"CREATE  INDEX QZIDX12347 ON T ( D ) ",
        u"CREATE  INDEX QZIDX12348 ON T ( E ) ",
        qualifying ? u"CREATE UNIQUE INDEX T_Pair ON T ( D,E ) " : u"CREATE UNIQUE INDEX Pair ON T ( D,E ) ",
    };
    EXPECT_EQ(ddl.script.texts, texts);
    EXPECT_FALSE(subject->bIsOpen()) << "creation leaves the table closed";
  }
}

TEST_F(TableDdlTest, DropAndCreateEdgeCases) {
  struct Case {
    const char* what;
    std::uint32_t dropFirst, create;
    std::map<std::uint32_t, std::uint32_t> failing;
    bool exists;
    int answer;
    std::vector<std::uint32_t> kinds;
    bool errorLeft;
  };
  const Case cases[] = {
      {"a missing table's DROP fails, CREATE clears it", 1, 1, {{9, 0}}, true, 1, {9, 6}, false},
      {"a locked table is not created", 1, 1, {{9, 1}}, true, 0, {9}, true},
      {"DROP alone", 1, 0, {}, true, 1, {9}, false},
      {"a failed CREATE", 0, 1, {{6, 0}}, true, 0, {6}, true},
      {"created but not in the catalog", 0, 1, {}, false, 0, {6}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    KeyedTable({});
    MakeDdlTable();
    ddl.script.failingKinds = c.failing;
    ddl.existingTables = c.exists ? std::vector<std::u16string>{u"T"} : std::vector<std::u16string>{};
    holder->Clear();
    EXPECT_EQ(subject->bDoCreate(c.dropFirst, c.create), c.answer);
    EXPECT_EQ(ddl.script.kinds, c.kinds);
    EXPECT_EQ(holder->bHasError(), c.errorLeft);
    EXPECT_TRUE(ddl.script.texts.empty()) << "no key with duplicates, no index";
  }
  // The catalog's answer when it does not know the table: its own error with message 28541 after it.
  EXPECT_EQ(holder->nGetErrorCode(), 30u);
  EXPECT_EQ(holder->pGetInnermostError()->nGetMessageAt(holder->pGetInnermostError()->nGetMessageCount() - 1), 28541u);

  // Dropping through the lifecycle runs the DROP only and stays closed; deleting all runs the head of a DELETE.
  KeyedTable({});
  MakeDdlTable();
  EXPECT_EQ(subject->bDropTable(), 1);
  EXPECT_EQ(subject->bDeleteAll(), 1);
  EXPECT_EQ(ddl.script.kinds, (std::vector<std::uint32_t>{9, 5}));
  EXPECT_FALSE(subject->bIsOpen());
}

TEST_F(TableDdlTest, AFailedIndexFailsTheCreationAndTheTableStays) {
  KeyedTable({u"D", u"E"});
  MakeDdlTable();
  ddl.script.failText = u"( D )";
  EXPECT_EQ(subject->bDoCreate(1, 1), 0);
  EXPECT_EQ(ddl.script.kinds, (std::vector<std::uint32_t>{9, 6})) << "no DROP undoes the table";
  EXPECT_EQ(ddl.script.texts.size(), 2u) << "the other index is still made";
  EXPECT_TRUE(doubles::HasIdentification(holder, 102, 7)) << "the index's error is the answer's";
}

TEST_F(TableDdlTest, TheCatalogCheckAttachesWhatItFinds) {
  KeyedTable({});
  MakeDdlTable();
  std::uint32_t exists = 0;
  std::uint32_t compatible = 1;
  ASSERT_EQ(subject->bCheckTableDescription(&exists, &compatible), 1);
  EXPECT_EQ(exists, 1u);
  EXPECT_EQ(compatible, 0u) << "the catalog's description has none of the items";
  ASSERT_NE(subject->pGetAttachedDescription(), nullptr);
  EXPECT_EQ(std::u16string(subject->pGetAttachedDescription()->pszGetName()), u"T");

  // A catalog that finds nothing and says nothing: error 15 at point 12.
  holder->Clear();
  ddl.script.loadFailsQuietly = true;
  EXPECT_EQ(subject->bCheckTableDescription(&exists, &compatible), 0);
  EXPECT_EQ(exists, 0u);
  EXPECT_EQ(holder->nGetErrorCode(), 15u);
  EXPECT_TRUE(doubles::HasIdentification(holder, 3, 12));
}

// A query's table: a catalog item the query knows under another name renames the query's item at its place.
class QueryDdlTable : public DdlTable {
 public:
  using DdlTable::DdlTable;
  int bIsQueryMode() override { return 1; }
};

TEST_F(TableDdlTest, AttachingTheCatalogsDescription) {
  for (bool query : {false, true}) {
    SCOPED_TRACE(query);
    KeyedTable({u"D"});
    description->pGetItemAt(0)->SetOption4(false);
    description->LayoutItems();
    subject = query ? new QueryDdlTable(description, connection, holder, ddl.script)
                    : ddl.pCreateTable(description, connection, holder);
    subject->AddRef();
    ASSERT_TRUE(subject->bEnsureTableDescription());
    CRecordDescription* catalog = driver.CDriver::pCreateDescription(connection, holder);
    catalog->AddRef();
    for (const char16_t* name : {u"K", u"KEY_D"}) {
      CColumnDescriptor* item = pCreateColumnDescriptorThroughDriver(nullptr, 0);
      item->bSetAll(name, u"T", u"", 1, 4, COLUMN_TYPE_INT32, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0);
      catalog->AddItem(item);
    }
    catalog->pGetItemAt(0)->SetOption4(false);
    catalog->LayoutItems();
    ASSERT_EQ(subject->bAttachDescription(catalog), 1);
    EXPECT_EQ(subject->pGetAttachedDescription(), catalog);
    EXPECT_TRUE(description->pGetItemAt(0)->bIsOption4Clear()) << "the catalog's mark clears the runtime's";
    EXPECT_EQ(std::u16string(description->pGetItemAt(1)->pszGetName()), query ? u"KEY_D" : u"D");
    EXPECT_EQ(subject->pGetTableDescription()->pGetColumn(0)->pGetSecondaryDescriptor(), catalog->pGetItemAt(0));
    catalog->nRelease();
  }
}

TEST_F(TableDdlTest, PositionSeventyNineCreatesWithoutDropAndLeavesNoTable) {
  KeyedTable({u"D"});
  description->LayoutItems();
  auto* runtimeDriver = new DdlDriver();
  runtimeDriver->AddRef();
  runtimeDriver->existingTables = {u"T"};
  gpDriver = runtimeDriver;
  qzrt::ConnectionDescription host;
  host.SetText(qzrt::ConnectionDescription::kName, u"cnx");
  auto* access = CallSlot<CAccessInterface*>(runtimeDriver, 13, &host, static_cast<IHostFileDescription*>(description));
  ASSERT_NE(access, nullptr);
  qzrt::FileHandle handle(1, 10);
  EXPECT_EQ(CallSlot<std::int32_t>(access, 79, &handle), 1);
  EXPECT_EQ(runtimeDriver->script.kinds, std::vector<std::uint32_t>{6});
  EXPECT_EQ(runtimeDriver->script.texts, std::vector<std::u16string>{u"CREATE  INDEX QZIDX12347 ON T ( D ) "});
  EXPECT_EQ(access->nGetTableCount(), 0u);
  CallSlot<std::int32_t>(access, 6);
  gpDriver = &ddl;
  CallSlot<std::int32_t>(runtimeDriver, 6);
}

}  // namespace
