// Columns and table descriptions built from generic record descriptions over
// the runtime stand-in's values: reads and writes through the current record,
// conversion failures, composite keys, blank and changed tests, search matches,
// memos, SQL names, the key-column choice, dump texts, accept and restore, and
// copies through a clone map. A table double makes the row keys the table
// engine will make; the driver double makes generic columns and counts them, so
// every test ends with none alive.
#include "engine/record/column.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/query_description.h"
#include "engine/record/record.h"
#include "engine/record/record_buffer.h"
#include "engine/record/record_description.h"
#include "engine/record/table_description.h"
#include "engine/table/table.h"
#include "engine/values/field_value.h"
#include "engine/values/row_keys.h"
#include "engine/values/value_row.h"
#include "foundation/clone_map.h"
#include "foundation/flag_list.h"
#include "foundation/hash_table.h"
#include "foundation/x_error.h"
#include "standin/runtime/query_objects.h"
#include "tests/engine/field_value_fixture.h"

namespace {

int gnLiveColumns = 0;

class CountedColumn : public CColumn {
 public:
  CountedColumn(CErrorHolder* holder, CColumnDescriptor* descriptor) : CColumn(holder, descriptor) { ++gnLiveColumns; }
  ~CountedColumn() override { --gnLiveColumns; }
};

class ColumnDriver : public doubles::TestDriver {
 public:
  void* pCreateColumnBinding(RuntimeWord holder, RuntimeWord descriptor) override {
    return new CountedColumn(reinterpret_cast<CErrorHolder*>(holder), reinterpret_cast<CColumnDescriptor*>(descriptor));
  }
};

// A record-values key per record (or, when told, none, as when the key's allocation fails),
// a column-qualification setting and a query description that the test chooses.
class KeyedTable : public CTable {
 public:
  KeyedTable(CConnection* connection, CErrorHolder* holder) : CTable(nullptr, connection, holder) {}
  IRowKey* pNewRecordKey(CRecord* record) override {
    if (!makesKeys) return nullptr;
    SRecordImage image;
    image.pBytes = record->pGetBuffer()->pGetBlock();
    image.nByteCount = record->pGetBuffer()->nGetTotalLength();
    return new CRecordValuesKey(image);
  }
  std::uint32_t nGetColumnQualification() override { return qualification; }
  CQueryDescription* pGetQueryDescription() override { return query ? query : CTable::pGetQueryDescription(); }

  bool makesKeys = true;
  std::uint32_t qualification = 0;
  CQueryDescription* query = nullptr;
};

// A connection of a dialect that quotes names between brackets.
class BracketConnection : public doubles::TestConnection {
 public:
  BracketConnection() : TestConnection(u"brackets", nullptr) {
    m_strOpeningQuote = u"[";
    m_nOpeningQuoteLength = 1;
    m_strClosingQuote = u"]";
    m_nClosingQuoteLength = 1;
  }
};

// A connection whose server keeps empty texts as NULL.
class OracleKindConnection : public doubles::TestConnection {
 public:
  OracleKindConnection() : TestConnection(u"oracle", nullptr) { m_nDbmsKind = 1; }
};

// A connection of the dialect that keeps at most 31 key columns.
class NarrowKeyConnection : public doubles::TestConnection {
 public:
  NarrowKeyConnection() : TestConnection(u"narrow", nullptr) { m_nDbmsKind = 4; }
};

class ColumnTest : public CFieldValueFixture {
 protected:
  void SetUp() override {
    CFieldValueFixture::SetUp();
    gpDriver = &columnDriver;
    gnLiveColumns = 0;
    description = columnDriver.CDriver::pCreateDescription(connection, holder);
    description->AddRef();
    description->SetName(u"ORDERS");
    table = new KeyedTable(connection, holder);
    table->AddRef();
  }
  void TearDown() override {
    if (tableDescription) tableDescription->nRelease();
    for (CConnection* other : otherConnections) other->nRelease();
    description->nRelease();
    table->nRelease();
    EXPECT_EQ(gnLiveColumns, 0) << "every column is destroyed with its table description";
    CFieldValueFixture::TearDown();
  }

  // An item of the description, as the builders set one; the description holds
  // it.
  CColumnDescriptor* Add(const char16_t* name, std::uint32_t type, std::uint32_t size, std::uint16_t flags = 0) {
    CColumnDescriptor* item = pCreateColumnDescriptorThroughDriver(nullptr, 0);
    item->bSetAll(name, u"ORDERS", u"", 1, size, type, 0xFFFFFFFF, 0xFFFFFFFF, flags, 0, 0);
    EXPECT_TRUE(description->AddItem(item));
    return item;
  }
  CColumnDescriptor* AddCompositeKey(const char16_t* name, std::vector<CColumnDescriptor*> components,
                                     std::uint16_t flags = COLUMN_FLAG_DUPLICATES) {
    CColumnDescriptor* key = pCreateColumnDescriptorThroughDriver(nullptr, 0);
    key->bSetAll(name, u"ORDERS", u"", 1, 0, COLUMN_TYPE_BINARY, 0xFFFFFFFF, 0xFFFFFFFF,
                 COLUMN_FLAG_COMPOSITE_KEY | flags, 0, 0);
    for (CColumnDescriptor* component : components) key->bAddComponent(component);
    EXPECT_TRUE(description->AddItem(key));
    return key;
  }
  // Lays the description out and builds the table description over it (over the fixture's connection by default).
  void Build(CConnection* over = nullptr) {
    description->LayoutItems();
    tableDescription = new CTableDescription(holder, table);
    tableDescription->AddRef();
    ASSERT_TRUE(tableDescription->bBuild(description, nullptr, over ? over : connection));
  }
  // The column's value read as a 32-bit integer; -1 when the read fails.
  static std::int32_t IntOf(CColumn* column) {
    CHostValue read;
    std::int32_t n = -1;
    if (column->bGetValue(read, 0)) read.nGet(&n);
    return n;
  }
  static int SetInt(CColumn* column, std::int32_t n) {
    CHostValue value;
    Make(value, HOST_TYPE_INT32, n);
    return column->bSetValue(value, 0);
  }
  // A connection of another dialect, with a reference the fixture gives back.
  template <class C>
  C* Other() {
    auto* other = new C();
    other->AddRef();
    otherConnections.push_back(other);
    return other;
  }
  void SetNull(CColumn* column) {
    CHostValue none;
    none.SetType(static_cast<std::uint8_t>(column->nGetHostType()));
    none.SetNull(true);
    ASSERT_TRUE(column->bSetValue(none, 0));
  }
  CColumn* Column(const char16_t* name) { return tableDescription->pFindColumnByName(name); }

  std::vector<std::u16string> KeyNames() {
    std::vector<std::u16string> names;
    for (std::uint32_t i = 0; i < tableDescription->nGetKeyCount(); ++i) {
      names.emplace_back(tableDescription->pGetKey(i)->pszGetName());
    }
    return names;
  }

  ColumnDriver columnDriver;
  CRecordDescription* description = nullptr;
  KeyedTable* table = nullptr;
  CTableDescription* tableDescription = nullptr;
  std::vector<CConnection*> otherConnections;  // released after the table description that uses them
};

TEST_F(ColumnTest, ValuesGoThroughTheCurrentRecordAndItsFieldValues) {
  Add(u"QTY", COLUMN_TYPE_INT32, 4);
  Add(u"LABEL", COLUMN_TYPE_TEXT, 11);
  Build();
  CColumn* qty = Column(u"QTY");
  CColumn* label = Column(u"label");
  ASSERT_NE(qty, nullptr);
  ASSERT_EQ(label, tableDescription->pGetColumn(1)) << "names are found ignoring case";
  EXPECT_EQ(label->nGetIndexInTable(), 1);

  EXPECT_FALSE(qty->bHasValue());
  ASSERT_TRUE(SetInt(qty, 42));
  EXPECT_TRUE(qty->bHasValue());
  EXPECT_FALSE(qty->pGetFieldValue()->Value().bIsNull()) << "the field value follows the field's null flag";
  EXPECT_EQ(IntOf(qty), 42);
  EXPECT_TRUE(qty->bIsChanged()) << "the last-read image has no value yet";

  CHostValue none;
  none.SetType(HOST_TYPE_INT32);
  none.SetNull(true);
  ASSERT_TRUE(qty->bSetValue(none, 0));
  EXPECT_FALSE(qty->bHasValue());
  EXPECT_TRUE(qty->pGetFieldValue()->Value().bIsNull());

  // An empty text is a value unless the server keeps empty texts as NULL.
  CHostValue empty;
  MakeWide(empty, u"");
  ASSERT_TRUE(label->bSetValue(empty, 0));
  EXPECT_TRUE(label->bHasValue());
}

// The record buffer says only that a conversion failed; the column names the
// failure for the runtime.
TEST_F(ColumnTest, AFailedConversionIsTheFieldValuesErrorAndLeavesTheField) {
  Add(u"QTY", COLUMN_TYPE_INT32, 4);
  Build();
  CColumn* qty = Column(u"QTY");
  ASSERT_TRUE(SetInt(qty, 7));
  CHostValue words;
  MakeWide(words, u"twelve");
  EXPECT_FALSE(qty->bSetValue(words, 0));
  EXPECT_EQ(holder->nGetErrorCode(), ERROR_VALUE_NOT_CONVERTIBLE);
  EXPECT_TRUE(doubles::HasIdentification(holder, 12, 3));
  EXPECT_EQ(std::u16string(holder->pszGetItemName()), u"QTY");
  EXPECT_EQ(IntOf(qty), 7);
}

TEST_F(ColumnTest, CompositeKeysConcatenateWhatEachComponentCounted) {
  CColumnDescriptor* name = Add(u"NAME", COLUMN_TYPE_TEXT, 11);  // 10 characters
  CColumnDescriptor* qty = Add(u"QTY", COLUMN_TYPE_INT32, 4);
  CColumnDescriptor* code = Add(u"CODE", COLUMN_TYPE_BINARY, 6);  // 4 bytes after the length word
  CColumnDescriptor* key = AddCompositeKey(u"K", {name, qty, code});
  ASSERT_EQ(key->nGetSize(), 18u);
  CColumnDescriptor* amount = pCreateColumnDescriptorThroughDriver(nullptr, 0);  // NUMBER(20,2)
  amount->bSetAll(u"AMOUNT", u"ORDERS", u"", 1, 9, COLUMN_TYPE_DECIMAL, 0xFFFFFFFF, 0xFFFFFFFF, 0, 18, 2);
  ASSERT_TRUE(description->AddItem(amount));
  AddCompositeKey(u"AK", {amount, name});
  Build();
  CHostValue text;
  MakeWide(text, u"abc");
  CHostValue number;
  Make(number, HOST_TYPE_INT32, std::int32_t{0x01020304});
  ASSERT_TRUE(Column(u"NAME")->bSetValue(text, 0));
  ASSERT_TRUE(Column(u"QTY")->bSetValue(number, 0));
  CHostValue bytes;
  bytes.SetType(HOST_TYPE_BINARY_BUFFER);
  bytes.SetFromBuffer("WXYZ", 4);
  ASSERT_TRUE(Column(u"CODE")->bSetValue(bytes, 0));

  CColumn* composite = Column(u"K");
  EXPECT_EQ(composite->nGetComponentColumnCount(), 3u);
  EXPECT_TRUE(composite->bIsComponentColumn(Column(u"QTY")));
  EXPECT_FALSE(composite->bIsComponentColumn(composite));
  CHostValue value;
  ASSERT_TRUE(composite->bGetValue(value, 0));
  EXPECT_EQ(value.nGetType(), HOST_TYPE_BINARY_BUFFER);
  const void* data = nullptr;
  std::size_t size = 0;
  value.nGetDataPointer(&data);
  value.nGetDataSize(&size);
  ASSERT_EQ(size, 18u) << "the key's own size, so that it fits its element";
  const std::int32_t packed = 0x01020304;
  std::string expected("abc\0\0\0\0\0\0\0", 10);
  expected.append(reinterpret_cast<const char*>(&packed), 4);
  expected.append("WXYZ");
  EXPECT_EQ(std::string(static_cast<const char*>(data), size), expected) << "every component kept whole";
  // A decimal component keeps its bytes: (1.00, abc) and (2.00, abc) are two keys.
  std::string keys[2];
  for (std::int32_t i = 0; i < 2; ++i) {
    Make(number, HOST_TYPE_INT32, i + 1);
    ASSERT_TRUE(Column(u"AMOUNT")->bSetValue(number, 0));
    ASSERT_TRUE(Column(u"AK")->bGetValue(value, 0));
    value.nGetDataPointer(&data);
    value.nGetDataSize(&size);
    keys[i].assign(static_cast<const char*>(data), size);
  }
  EXPECT_NE(keys[0], keys[1]);
  EXPECT_TRUE(composite->bHasValue());
  EXPECT_FALSE(composite->bIncludeInInsert(0xFF));
  EXPECT_FALSE(composite->bIncludeInUpdate(0xFF));
}

TEST_F(ColumnTest, SearchMatchesByBytesWithAnOptionalPrefix) {
  Add(u"LABEL", COLUMN_TYPE_TEXT, 11);
  Add(u"QTY", COLUMN_TYPE_INT32, 4);
  Build();
  CColumn* label = Column(u"LABEL");
  CHostValue null;
  null.SetType(HOST_TYPE_ASTRING);
  null.SetNull(true);
  EXPECT_TRUE(label->bMatchesSearchValue(null, 0)) << "no value matches exactly NULL";

  CHostValue abc;
  MakeWide(abc, u"ABC");
  abc.nConvert(HOST_TYPE_ASTRING);
  ASSERT_TRUE(label->bSetValue(abc, 0));
  CHostValue ab;
  MakeWide(ab, u"AB");
  ab.nConvert(HOST_TYPE_ASTRING);
  EXPECT_FALSE(label->bMatchesSearchValue(ab, 0));
  EXPECT_TRUE(label->bMatchesSearchValue(ab, SEARCH_PREFIX));
  EXPECT_FALSE(label->bMatchesSearchValue(null, 0));
  CHostValue longer;
  MakeWide(longer, u"ABCD");
  longer.nConvert(HOST_TYPE_ASTRING);
  EXPECT_FALSE(label->bMatchesSearchValue(longer, SEARCH_PREFIX));

  // Different types are compared by the runtime.
  CColumn* qty = Column(u"QTY");
  ASSERT_TRUE(SetInt(qty, 5));
  CHostValue fiveText;
  MakeWide(fiveText, u"5");
  EXPECT_TRUE(qty->bMatchesSearchValue(fiveText, 0));
  CHostValue six;
  MakeWide(six, u"6");
  EXPECT_FALSE(qty->bMatchesSearchValue(six, 0));
}

TEST_F(ColumnTest, ChangesAreMeasuredAgainstTheLastReadImage) {
  Add(u"QTY", COLUMN_TYPE_INT32, 4);
  Add(u"LABEL", COLUMN_TYPE_TEXT, 11);
  Build();
  CColumn* qty = Column(u"QTY");
  CColumn* label = Column(u"LABEL");
  ASSERT_TRUE(SetInt(qty, 3));
  CHostValue text;
  MakeWide(text, u"kept");
  ASSERT_TRUE(label->bSetValue(text, 0));
  ASSERT_TRUE(tableDescription->bAcceptCurrent());
  EXPECT_EQ(tableDescription->nGetAccepted(), 1u);
  EXPECT_FALSE(qty->bIsChanged());
  EXPECT_TRUE(tableDescription->bIsCurrentEqual(tableDescription->pGetImageRecord()));

  ASSERT_TRUE(SetInt(qty, 4));
  EXPECT_TRUE(qty->bIsChanged()) << "same presence, other bytes";
  EXPECT_FALSE(label->bIsChanged());
  CHostValue none;
  none.SetType(HOST_TYPE_ASTRING);
  none.SetNull(true);
  ASSERT_TRUE(label->bSetValue(none, 0));
  EXPECT_TRUE(label->bIsChanged()) << "NULL now, present when last read";
  EXPECT_TRUE(label->bIsImagePresent());
  EXPECT_FALSE(tableDescription->bIsCurrentEqual(tableDescription->pGetImageRecord()));

  ASSERT_TRUE(tableDescription->bRestoreCurrent());
  EXPECT_TRUE(tableDescription->bIsCurrentEqual(tableDescription->pGetImageRecord()));
  EXPECT_FALSE(label->bIsChanged());
}

TEST_F(ColumnTest, MemosLiveInTheCurrentRecordsLargeValues) {
  Add(u"QTY", COLUMN_TYPE_INT32, 4);
  Add(u"NOTES", COLUMN_TYPE_TEXT_MEMO, 8);
  Build();
  CColumn* notes = Column(u"NOTES");
  ASSERT_EQ(tableDescription->GetMemoColumns().nGetCount(), 1u);
  CRecord* current = tableDescription->pGetCurrentRecord();
  ASSERT_NE(current->pGetLargeValues(), nullptr);
  EXPECT_EQ(current->pGetLargeValues()->pGetAt(0), notes->pGetFieldValue()) << "the record holds the column's value";

  EXPECT_FALSE(notes->bHasValue());
  CHostValue text;
  MakeWide(text, u"a long remark");
  ASSERT_TRUE(notes->bSetValue(text, 0));
  EXPECT_TRUE(notes->bHasValue());
  CHostValue stored;
  current->GetLargeValue(stored, 0);
  EXPECT_EQ(NarrowOf(stored), "a long remark");
  EXPECT_TRUE(notes->bIsChanged()) << "the buffers cannot tell: a value put in is written";
  EXPECT_TRUE(notes->bLinkMemoFile(u"/nonexistent/notes.txt"));
  EXPECT_TRUE(notes->bIsChanged());
  EXPECT_TRUE(notes->bHasValue()) << "a linked file is a value";
  EXPECT_FALSE(notes->bIncludeInInsert(0));
  EXPECT_TRUE(notes->bIncludeInInsert(INCLUDE_MEMO_IN_INSERT));
  EXPECT_TRUE(notes->bIncludeInUpdate(INCLUDE_MEMO_IN_UPDATE));

  CTString dump;
  notes->MarkUnread();
  EXPECT_TRUE(notes->bIsUnread());
  EXPECT_EQ(notes->pszGetMemoFileName()[0], u'\0');
  notes->bDump(dump, true);
  EXPECT_EQ(std::u16string(dump.pszGet()), u"<NOTES> = <UNREAD YET>");
}

TEST_F(ColumnTest, SqlNamesAreQuotedAndKeptPerForm) {
  UseCodePage(0);
  auto* brackets = Other<BracketConnection>();
  CColumnDescriptor* item = Add(u"unit price", COLUMN_TYPE_INT32, 4);
  item->bSetAll(u"unit price", u"sales.order lines", u"Price", 1, 4, COLUMN_TYPE_INT32, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0,
                0);
  description->LayoutItems();
  tableDescription = new CTableDescription(holder, table);
  tableDescription->AddRef();
  ASSERT_TRUE(tableDescription->bBuild(description, nullptr, brackets));
  CColumn* column = tableDescription->pGetColumn(0);
  EXPECT_EQ(std::u16string(column->pszGetQuotedName()), u"[unit price]");
  CFlagList flags;
  ASSERT_TRUE(flags.bSetFlag(column, 0));
  EXPECT_EQ(flags.nGetFlagByName(u"PRICE"), 0u) << "flag lists find columns by caption";

  table->qualification = 1;
  EXPECT_EQ(std::u16string(column->pszGetSqlName(true)), u"[unit price]");
  EXPECT_EQ(std::u16string(column->pszGetSqlName(false)), u"[sales].[order lines].[Price]")
      << "each form has its own text";
  EXPECT_EQ(std::u16string(column->pszGetSqlName(true)), u"[unit price]");
  column->SetTexts(u"", u"o.");
  EXPECT_EQ(std::u16string(column->pszGetSqlName(false)), u"[sales].[order lines].[Price]") << "made once";
}

TEST_F(ColumnTest, KeyColumnsPreferTheAutomaticIdentifierThenANotNullUniqueKey) {
  CColumnDescriptor* code = Add(u"CODE", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_UNIQUE);
  code->SetNullAllowed(false);
  Add(u"ID", COLUMN_TYPE_AUTO_ID8, 8, COLUMN_FLAG_UNIQUE);
  Add(u"QTY", COLUMN_TYPE_INT32, 4);
  Build();
  EXPECT_EQ(KeyNames(), std::vector<std::u16string>{u"ID"});
  EXPECT_EQ(tableDescription->pGetAutoIdentifierColumn()->pszGetName(), std::u16string(u"ID"));
  EXPECT_EQ(tableDescription->pGetUniqueColumn()->pszGetName(), std::u16string(u"CODE"));
}

TEST_F(ColumnTest, KeyColumnsTakeTheNotNullUniqueKeyAlone) {
  Add(u"MAYBE", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_UNIQUE);
  Add(u"QTY", COLUMN_TYPE_INT32, 4);
  CColumnDescriptor* code = Add(u"CODE", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_UNIQUE);
  code->SetNullAllowed(false);
  Build();
  EXPECT_EQ(KeyNames(), std::vector<std::u16string>{u"CODE"});
}

TEST_F(ColumnTest, KeyColumnsWithoutKeysAreThePlainColumns) {
  CColumnDescriptor* a = Add(u"A", COLUMN_TYPE_INT32, 4);
  Add(u"NOTES", COLUMN_TYPE_TEXT_MEMO, 8);
  CColumnDescriptor* b = Add(u"B", COLUMN_TYPE_TEXT, 5);
  AddCompositeKey(u"AB", {a, b}, COLUMN_FLAG_DUPLICATES);
  Add(u"C", COLUMN_TYPE_INT16, 2);
  Build();
  EXPECT_EQ(KeyNames(), (std::vector<std::u16string>{u"A", u"B", u"C"}))
      << "the composite key's components once, then the other plain columns, "
         "never the memo";
}

// The dump lists the columns before the first composite key and stops there.
TEST_F(ColumnTest, DumpRecordStopsAtTheFirstCompositeKey) {
  CColumnDescriptor* a = Add(u"A", COLUMN_TYPE_INT32, 4);
  AddCompositeKey(u"AK", {a}, COLUMN_FLAG_DUPLICATES);
  Add(u"C", COLUMN_TYPE_INT16, 2);
  Build();
  CTString text;
  tableDescription->DumpRecord(text);
  const std::u16string dump = text.pszGet();
  EXPECT_NE(dump.find(u"\n<A> = <"), std::u16string::npos) << std::string(dump.begin(), dump.end());
  EXPECT_EQ(dump.find(u"<AK>"), std::u16string::npos);
  EXPECT_EQ(dump.find(u"<C>"), std::u16string::npos);
}

TEST_F(ColumnTest, ARecordDescriptionWithoutItemsOrARowKeyBuildsNothing) {
  tableDescription = new CTableDescription(holder, table);
  tableDescription->AddRef();
  EXPECT_FALSE(tableDescription->bBuild(description, nullptr, connection));
  EXPECT_TRUE(doubles::HasIdentification(holder, 11, 2));
  EXPECT_EQ(std::u16string(holder->pszGetFileName()), u"ORDERS");
  holder->Clear();

  Add(u"QTY", COLUMN_TYPE_INT32, 4);
  description->LayoutItems();
  table->makesKeys = false;
  EXPECT_FALSE(tableDescription->bBuild(description, nullptr, connection));
  EXPECT_EQ(tableDescription->pGetCurrentRecord(), nullptr);
}

TEST_F(ColumnTest, DumpRecordShowsTheKeyTheNullFlagsAndEachColumn) {
  Add(u"QTY", COLUMN_TYPE_INT32, 4);
  Add(u"LABEL", COLUMN_TYPE_TEXT, 11);
  Add(u"PRICE", COLUMN_TYPE_REAL8, 8);
  Build();
  CHostValue qty;
  Make(qty, HOST_TYPE_INT32, std::int32_t{12});
  CHostValue label;
  MakeWide(label, u"bolt");
  CHostValue price;
  Make(price, HOST_TYPE_DOUBLE, 2.5);
  ASSERT_TRUE(Column(u"QTY")->bSetValue(qty, 0));
  ASSERT_TRUE(Column(u"LABEL")->bSetValue(label, 0));
  ASSERT_TRUE(Column(u"PRICE")->bSetValue(price, 0));
  CTString text;
  tableDescription->DumpRecord(text);
  const std::u16string dump = text.pszGet();
  EXPECT_EQ(dump.rfind(u"<Record ID> : record values (", 0), 0u) << std::string(dump.begin(), dump.end());
  EXPECT_NE(dump.find(u"\n<NullValuesFlags (0=NULL)> : 11100000\n<QTY> = "
                      u"<12>\n<LABEL> = <bolt>\n<PRICE> = <2.5>"),
            std::u16string::npos)
      << std::string(dump.begin(), dump.end());

  CTString line;
  CHostValue none;
  none.SetType(HOST_TYPE_INT32);
  none.SetNull(true);
  Column(u"QTY")->bSetValue(none, 0);
  Column(u"QTY")->bDump(line, true);
  EXPECT_EQ(std::u16string(line.pszGet()), u"<QTY> = <NULL>");
  Column(u"LABEL")->bDump(line, false);
  EXPECT_EQ(std::u16string(line.pszGet()), u"bolt");
}

// A copy of the table description copies each column once: the key list and the
// column list share the copies, and the copies read the copy's own current
// record.
TEST_F(ColumnTest, ACloneMapSharesOneCopyOfEachColumn) {
  Add(u"QTY", COLUMN_TYPE_INT32, 4);
  Add(u"NOTES", COLUMN_TYPE_TEXT_MEMO, 8);
  Build();
  ASSERT_TRUE(SetInt(Column(u"QTY"), 9));
  CHostValue remark;
  MakeWide(remark, u"copied remark");
  ASSERT_TRUE(Column(u"NOTES")->bSetValue(remark, 0));
  CHashTable map(7);
  CTableDescription* copy = tableDescription->pClone(map);
  ASSERT_NE(copy, nullptr);
  copy->AddRef();
  CColumn* qty = copy->pFindColumnByName(u"QTY");
  ASSERT_NE(qty, nullptr);
  EXPECT_NE(qty, Column(u"QTY"));
  EXPECT_EQ(copy->pGetKey(0), qty) << "the key list holds the copy the column list holds";
  EXPECT_EQ(qty->pGetTableDescription(), copy);
  std::uint64_t registered = 0;
  ASSERT_TRUE(map.bLookup(nCloneKey(Column(u"QTY")), &registered, nullptr));
  EXPECT_EQ(registered, nCloneKey(qty));

  EXPECT_EQ(IntOf(qty), 9);
  ASSERT_TRUE(SetInt(qty, 10));
  EXPECT_EQ(IntOf(Column(u"QTY")), 9) << "the copy writes its own record";
  CHostValue read;
  CColumn* notes = copy->pFindColumnByName(u"NOTES");
  EXPECT_EQ(copy->pGetCurrentRecord()->pGetLargeValues()->pGetAt(0), notes->pGetFieldValue());
  EXPECT_NE(notes->pGetFieldValue(), Column(u"NOTES")->pGetFieldValue());
  ASSERT_TRUE(notes->bGetValue(read, 0));
  EXPECT_EQ(NarrowOf(read), "copied remark") << "the copy's memo keeps the copied value";
  copy->nRelease();
}

TEST_F(ColumnTest, BlankValuesFollowTheServerAndTheColumnType) {
  auto* oracle = Other<OracleKindConnection>();
  Add(u"NAME", COLUMN_TYPE_TEXT, 11);
  Add(u"CODE", COLUMN_TYPE_TEXT, 11)->SetNullAllowed(false);
  Add(u"WHEN", COLUMN_TYPE_DATETIME, 8);
  Add(u"RAW", COLUMN_TYPE_BINARY, 6);
  Add(u"QTY", COLUMN_TYPE_INT32, 4);
  Build(oracle);
  CHostValue empty;
  MakeWide(empty, u"");
  ASSERT_TRUE(Column(u"NAME")->bSetValue(empty, 0));
  EXPECT_FALSE(Column(u"NAME")->bHasValue()) << "the server keeps an empty text as NULL";
  ASSERT_TRUE(Column(u"CODE")->bSetValue(empty, 0));
  EXPECT_TRUE(Column(u"CODE")->bHasValue()) << "where NULL is refused the empty text is a value";

  CHostValue midnight;
  Make(midnight, HOST_TYPE_DATETIME, CHostDateTime{});
  ASSERT_TRUE(Column(u"WHEN")->bSetValue(midnight, 0));
  EXPECT_FALSE(Column(u"WHEN")->bHasValue()) << "a date-time of zero words";
  CHostDateTime day{};
  day.m_nYear = 2024;
  day.m_nMonth = 1;
  day.m_nDay = 31;
  CHostValue dated;
  Make(dated, HOST_TYPE_DATETIME, day);
  ASSERT_TRUE(Column(u"WHEN")->bSetValue(dated, 0));
  EXPECT_TRUE(Column(u"WHEN")->bHasValue());

  CHostValue noBytes;
  noBytes.SetType(HOST_TYPE_BINARY_BUFFER);
  noBytes.SetFromBuffer("", 0);
  ASSERT_TRUE(Column(u"RAW")->bSetValue(noBytes, 0));
  EXPECT_FALSE(Column(u"RAW")->bHasValue());
  ASSERT_TRUE(SetInt(Column(u"QTY"), 0));
  EXPECT_TRUE(Column(u"QTY")->bHasValue()) << "a zero is a value";
}

TEST_F(ColumnTest, ClearingKeepsValuesAndGivesTheOthersANullOfTheirType) {
  Add(u"QTY", COLUMN_TYPE_INT32, 4);
  Add(u"LEFT", COLUMN_TYPE_INT32, 4);
  Add(u"NOTES", COLUMN_TYPE_TEXT_MEMO, 8);
  Build();
  CColumn* qty = Column(u"QTY");
  ASSERT_TRUE(SetInt(qty, 7));
  qty->pGetFieldValue()->Value().SetNull(true);
  ASSERT_TRUE(qty->bClearValue());
  EXPECT_FALSE(qty->pGetFieldValue()->Value().bIsNull()) << "a value's field value is not NULL";
  EXPECT_EQ(IntOf(qty), 7);

  CColumn* left = Column(u"LEFT");
  ASSERT_TRUE(left->bClearValue());
  EXPECT_FALSE(left->bHasValue());
  EXPECT_TRUE(left->pGetFieldValue()->Value().bIsNull());
  CColumn* notes = Column(u"NOTES");
  ASSERT_TRUE(notes->bClearValue());
  EXPECT_FALSE(notes->bHasValue());
  EXPECT_EQ(notes->pGetFieldValue()->Value().nGetType(), notes->nGetHostType());
}

TEST_F(ColumnTest, CompositeUniqueKeysAndThePositionKey) {
  CColumnDescriptor* a = Add(u"A", COLUMN_TYPE_INT32, 4);
  CColumnDescriptor* b = Add(u"B", COLUMN_TYPE_INT32, 4);
  Add(u"C", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_UNIQUE);
  AddCompositeKey(u"AB", {a, b}, COLUMN_FLAG_UNIQUE);
  Build();
  CColumn* ca = Column(u"A");
  CColumn* cb = Column(u"B");
  CColumn* cc = Column(u"C");
  EXPECT_EQ(KeyNames(), (std::vector<std::u16string>{u"C", u"A", u"B"})) << "unique keys that allow NULL are added";
  CColumn* both[] = {ca, cb};
  CColumn* reversed[] = {cb, ca};
  CColumn* three[] = {ca, cc, cb};
  EXPECT_FALSE(tableDescription->bFindCompositeKey(both, 2, nullptr)) << "a key allowing NULL needs a value";
  CHostValue one;
  Make(one, HOST_TYPE_INT32, std::int32_t{1});
  ASSERT_TRUE(cb->bSetValue(one, 0));
  EXPECT_TRUE(tableDescription->bFindCompositeKey(both, 2, nullptr)) << "one component with a value is enough";
  ASSERT_TRUE(ca->bSetValue(one, 0));
  EXPECT_TRUE(tableDescription->bFindCompositeKey(both, 2, nullptr));
  EXPECT_TRUE(tableDescription->bFindCompositeKey(reversed, 2, nullptr));
  EXPECT_TRUE(tableDescription->bFindCompositeKey(three, 3, nullptr));
  EXPECT_FALSE(tableDescription->bFindCompositeKey(three, 2, nullptr)) << "the last column given must be a component";
  EXPECT_FALSE(tableDescription->bFindCompositeKey(both, 1, nullptr));
  const std::uint32_t oneKnown[] = {1, 1, 0};
  EXPECT_TRUE(tableDescription->bFindCompositeKey(three, 3, oneKnown)) << "B is known not to be NULL";
  const std::uint32_t noneKnown[] = {1, 0, 1};
  EXPECT_FALSE(tableDescription->bFindCompositeKey(three, 3, noneKnown)) << "C is no component";

  EXPECT_EQ(tableDescription->pGetPositionKey(), Column(u"AB")) << "the unique column has no value yet";
  ASSERT_TRUE(cc->bSetValue(one, 0));
  EXPECT_EQ(tableDescription->pGetPositionKey(), cc);
}

TEST_F(ColumnTest, LoadedBuffersAndRebuiltRecordsKeepFieldValuesInStep) {
  Add(u"QTY", COLUMN_TYPE_INT32, 4);
  Add(u"LEFT", COLUMN_TYPE_INT32, 4);
  Add(u"NOTES", COLUMN_TYPE_TEXT_MEMO, 8);
  Build();
  ASSERT_TRUE(SetInt(Column(u"QTY"), 5));
  CRecordBuffer* row = tableDescription->pGetCurrentBuffer()->pClone();
  row->AddRef();
  SetNull(Column(u"QTY"));
  ASSERT_TRUE(SetInt(Column(u"LEFT"), 6));
  ASSERT_TRUE(tableDescription->bLoadCurrentBuffer(row));
  EXPECT_FALSE(Column(u"QTY")->pGetFieldValue()->Value().bIsNull());
  EXPECT_TRUE(Column(u"LEFT")->pGetFieldValue()->Value().bIsNull());
  CHostValue read;
  ASSERT_TRUE(Column(u"QTY")->pGetFieldValue()->bGetValue(&read));
  std::int32_t n = 0;
  read.nGet(&n);
  EXPECT_EQ(n, 5) << "the field value reads the loaded bytes";
  row->nRelease();

  ASSERT_TRUE(tableDescription->bRebuildRecords(description));
  EXPECT_FALSE(Column(u"QTY")->bHasValue()) << "new records are empty";
  ASSERT_TRUE(SetInt(Column(u"QTY"), 6));
  ASSERT_TRUE(Column(u"QTY")->pGetFieldValue()->bGetValue(&read));
  read.nGet(&n);
  EXPECT_EQ(n, 6) << "the field value reads the new current record";
  EXPECT_EQ(tableDescription->pGetCurrentRecord()->pGetLargeValues()->pGetAt(0), Column(u"NOTES")->pGetFieldValue());
}

TEST_F(ColumnTest, KeyColumnsStopAtTheConnectionsLimit) {
  auto* narrow = Other<NarrowKeyConnection>();
  for (int i = 0; i < 40; ++i) {
    CTString name(TSTRING_FORMAT, u"C%d", i);
    Add(name.pszGet(), COLUMN_TYPE_INT16, 2);
  }
  Build(narrow);
  EXPECT_EQ(tableDescription->nGetKeyCount(), 31u);
}

// In query mode the query's key links come first, in link order.
TEST_F(ColumnTest, KeyColumnsOfAQueryStartWithItsKeyLinks) {
  Add(u"A", COLUMN_TYPE_INT32, 4);
  Add(u"B", COLUMN_TYPE_INT32, 4);
  Add(u"C", COLUMN_TYPE_INT32, 4);
  qzrt::QueryAnalysis analysis;
  qzrt::KeyLink last{2, false};
  qzrt::KeyLink first{0, true};
  analysis.links = {&last, &first};
  auto* query = new CQueryDescription(holder, reinterpret_cast<IHostQueryAnalysis*>(&analysis), nullptr, 0);
  query->AddRef();
  table->query = query;
  table->qualification = 1;
  Build();
  EXPECT_EQ(KeyNames(), (std::vector<std::u16string>{u"C", u"A", u"B"}));
  table->qualification = 0;
  tableDescription->nRelease();
  tableDescription = nullptr;
  Build();
  EXPECT_EQ(KeyNames(), (std::vector<std::u16string>{u"A", u"B", u"C"})) << "outside query mode no link counts";
  query->nRelease();
}

TEST_F(ColumnTest, MemosReadTheirLinkedFileAndSaveToFiles) {
  std::string directory = ::testing::TempDir() + "qzmemoXXXXXX";
  ASSERT_NE(::mkdtemp(directory.data()), nullptr);
  const std::string source = directory + "/in.txt";
  const std::string target = directory + "/out.txt";
  std::ofstream(source, std::ios::binary) << "from a file";
  const auto wide = [](const std::string& path) { return std::u16string(path.begin(), path.end()); };
  Add(u"NOTES", COLUMN_TYPE_TEXT_MEMO, 8);
  Build();
  CColumn* notes = Column(u"NOTES");
  ASSERT_TRUE(notes->bLinkMemoFile(wide(source).c_str()));
  CHostValue read;
  ASSERT_TRUE(notes->bGetValue(read, 0));
  EXPECT_EQ(NarrowOf(read), "from a file");
  ASSERT_TRUE(notes->bSaveMemoToFile(wide(target).c_str()));
  std::ifstream saved(target, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.substr(0, 11), "from a file");

  ASSERT_TRUE(notes->bLinkMemoFile(wide(directory + "/missing.txt").c_str()));
  EXPECT_FALSE(notes->bGetValue(read, 0)) << "a linked file that cannot be read fails the read";
  EXPECT_TRUE(holder->bHasError());
  holder->Clear();
  std::system(("rm -rf '" + directory + "'").c_str());
}

// A secondary description (the catalog's) is found by name, trailing blanks ignored, and decides NULL support.
TEST_F(ColumnTest, TheSecondaryDescriptionDecidesNullSupport) {
  Add(u"QTY", COLUMN_TYPE_INT32, 4);
  Add(u"ID", COLUMN_TYPE_INT32, 4);
  CRecordDescription* catalog = columnDriver.CDriver::pCreateDescription(connection, holder);
  catalog->AddRef();
  CColumnDescriptor* qty = pCreateColumnDescriptorThroughDriver(nullptr, 0);
  qty->bSetAll(u"QTY  ", u"ORDERS", u"", 1, 4, COLUMN_TYPE_INT32, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0);
  qty->SetNullAllowed(false);
  ASSERT_TRUE(catalog->AddItem(qty));
  CColumnDescriptor* id = pCreateColumnDescriptorThroughDriver(nullptr, 0);
  id->bSetAll(u"ID", u"ORDERS", u"", 1, 8, COLUMN_TYPE_AUTO_ID8, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0);
  ASSERT_TRUE(catalog->AddItem(id));
  description->LayoutItems();
  tableDescription = new CTableDescription(holder, table);
  tableDescription->AddRef();
  ASSERT_TRUE(tableDescription->bBuild(description, catalog, connection));
  EXPECT_EQ(Column(u"QTY")->pGetSecondaryDescriptor(), qty);
  EXPECT_FALSE(Column(u"QTY")->bIsNullAllowed());
  EXPECT_TRUE(Column(u"ID")->bIsSecondaryAutoIdentifier());
  EXPECT_FALSE(Column(u"ID")->bIsNullAllowed());
  tableDescription->nRelease();
  tableDescription = nullptr;
  catalog->nRelease();
}

}  // namespace
