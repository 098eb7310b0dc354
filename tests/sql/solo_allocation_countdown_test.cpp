// The rewriter's element lists with memory that cannot be obtained: every run ends in success or in a failure the
// holder explains, never in a success over a text or list left short.
#include <cstring>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "foundation/error_holder.h"
#include "foundation/flag_list.h"
#include "foundation/hash_table.h"
#include "foundation/module_errors.h"
#include "foundation/x_error.h"
#include "foundation/t_string.h"
#include "sql/rewriter/sql_element.h"
#include "sql/rewriter/sql_element_lists.h"
#include "sql/rewriter/sql_rewriter.h"
#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/record_factories.h"
#include "engine/record/query_description.h"
#include "engine/record/record_description.h"
#include "engine/record/table_description.h"
#include "engine/values/field_value.h"
#include "sql/conditions/condition_node.h"
#include "sql/conditions/filter_holder.h"
#include "sql/conditions/key_condition.h"
#include "sql/driver_services.h"
#include "host/host_objects.h"
#include "standin/runtime/query_objects.h"
#include "tests/slot_call.h"
#include "tests/doubles/driver_doubles.h"
#include "tests/support/countdown_allocator.h"
#include "tests/engine/field_value_fixture.h"
#include "tests/sql/condition_doubles.h"
#include "engine/record/column.h"
#include "engine/record/column_types.h"
#include "sql/driver_services.h"
#include <deque>

namespace {

using countdown::CPause;
using countdown::nRunUntilDone;

// The first error raised loads what every later one shares (message texts); it is loaded before the counting.
void RaiseOnce() {
  CErrorHolder* holder = new CErrorHolder();
  holder->AddRef();
  RaiseModuleError(holder, 0, ERROR_UNIT_REWRITER, 6, nullptr, nullptr, 12);
  holder->nRelease();
}

TEST(ElementListsMemoryTest, SelectTextsGrowOrFail) {
  RaiseOnce();
  std::uint64_t textFailures = 0;
  const std::uint64_t runs = nRunUntilDone([&] {
    CErrorHolder* holder = nullptr;
    CTString statement;
    {
      CPause pause;
      holder = new CErrorHolder();
      holder->AddRef();
      statement = u"SELECT A";
    }
    {
      CSqlElementLists lists(holder, nullptr);
      {
        CPause pause;
        ASSERT_TRUE(lists.bAddSelectColumn(nullptr));
      }
      const int added = lists.bAddSelectText(statement, u"SOME_LONGER_COLUMN_NAME", nullptr);
      CPause pause;
      if (added) {
        EXPECT_EQ(std::u16string(statement.pszGet()), u"SELECT A,SOME_LONGER_COLUMN_NAME");
        EXPECT_EQ(lists.nGetSelectColumnCount(), 2u);
        EXPECT_FALSE(holder->bHasError());
      } else {
        EXPECT_EQ(lists.nGetSelectColumnCount(), 1u);
        EXPECT_TRUE(doubles::HasIdentification(holder, 10, 6)) << "a text or list that could not grow";
        if (statement.bIsEmpty()) ++textFailures;
      }
    }
    CPause pause;
    holder->nRelease();
  });
  EXPECT_GT(runs, 0u);
  EXPECT_GT(textFailures, 0u) << "some run failed the text's growth";
}

TEST(ElementListsMemoryTest, FlagListThatCannotBeMade) {
  RaiseOnce();
  bool listFailed = false;
  nRunUntilDone([&] {
    CErrorHolder* holder = nullptr;
    CFlagList* empty = nullptr;
    {
      CPause pause;
      holder = new CErrorHolder();
      holder->AddRef();
      empty = new CFlagList();
    }
    {
      CSqlElementLists lists(holder, nullptr);
      const int copied = lists.bCopyColumnFlags(empty);
      CPause pause;
      if (!copied) {
        listFailed = true;
        EXPECT_EQ(lists.pGetColumnFlags(), nullptr);
        EXPECT_TRUE(doubles::HasIdentification(holder, 10, 10));
      } else {
        EXPECT_NE(lists.pGetColumnFlags(), nullptr);
      }
    }
    CPause pause;
    delete empty;
    holder->nRelease();
  });
  EXPECT_TRUE(listFailed);
}

// A connection of DBMS kind 2, whose final texts get the TOP fix-up.
class TopConnection : public doubles::TestConnection {
 public:
  TopConnection() : TestConnection(u"top", nullptr) { m_nDbmsKind = 2; }
};

// What one run owns, made under a pause and given back under one: a holder, a connection of the test's dialect and
// a rewriter on them.
template <typename Connection>
struct SRewriterRun {
  SRewriterRun() {
    CPause pause;
    holder = new CErrorHolder();
    holder->AddRef();
    connection = new Connection();
    connection->AddRef();
    rewriter = new CSqlRewriter(holder, connection);
    rewriter->AddRef();
  }
  ~SRewriterRun() {
    CPause pause;
    rewriter->nRelease();
    connection->nRelease();
    holder->nRelease();
  }
  SRewriterRun(const SRewriterRun&) = delete;
  SRewriterRun& operator=(const SRewriterRun&) = delete;

  CErrorHolder* holder = nullptr;
  Connection* connection = nullptr;
  CSqlRewriter* rewriter = nullptr;
};

// A translation (pass-through with a date escape, then an assembled one) and its final text: each run ends with
// the whole text or with error 12 at 10.6, never with a success over a shortened text.
TEST(RewriterMemoryTest, TranslationAndFinalTextGrowOrFail) {
  RaiseOnce();
  qzrt::QueryAnalysis analysis;
  analysis.SetText(qzrt::QueryAnalysis::kSqlText,
                   std::u16string(u"select a, b from some_table where d = 'x (ORDER BY)' and e = {d '2024-03-15'} limit 10 ORDER BY a"));
  std::uint64_t failures = 0;
  nRunUntilDone([&] {
    SRewriterRun<TopConnection> run;
    CSqlRewriter* direct = run.rewriter;
    CQueryDescription* query = nullptr;
    CSqlRewriter* assembled = nullptr;
    {
      CPause pause;
      query = new CQueryDescription(run.holder, AsSeenAcross<IHostQueryAnalysis>(&analysis), nullptr, 0);
      query->AddRef();
      assembled = new CSqlRewriter(run.holder, run.connection);
      assembled->AddRef();
    }
    const int translated = direct->bTranslate(query, nullptr, 0, SQL_MODE_PASS_THROUGH | SQL_MODE_NO_NAMED_PARAMETERS);
    const int built = assembled->bTranslate(query, nullptr, 1, 0) && assembled->bBuildFinalText(0);
    CPause pause;
    if (translated) {
      EXPECT_EQ(std::u16string(direct->pszGetSourceText()),
                u"select a, b from some_table where d = 'x (ORDER BY)' and e = TO_DATE('20240315','YYYYMMDD') limit 10 ");
    }
    if (built) {
      EXPECT_EQ(std::u16string(static_cast<const char16_t*>(assembled->pszGetOutputText(0))),
                u"SELECT TOP 10  a, b from some_table where d = 'x (ORDER BY)' and e = {d '2024-03-15'}");
    }
    if (!translated || !built) {
      ++failures;
      EXPECT_TRUE(doubles::HasIdentification(run.holder, 10, 6)) << "a text that could not grow";
    }
    assembled->nRelease();
    query->nRelease();
  });
  EXPECT_GT(failures, 0u);
}

// A dialect that quotes every name with double quotes.
class QuotingConnection : public doubles::TestConnection {
 public:
  QuotingConnection() : TestConnection(u"operand", nullptr) {
    m_nDbmsKind = 4;
    m_strOpeningQuote = u"\"";
    m_nOpeningQuoteLength = 1;
    m_strClosingQuote = u"\"";
    m_nClosingQuoteLength = 1;
  }
};

// The operand writer: every run answers the whole qualified name, or 0 with error 12 at 10.6, never a success over
// a name quoting left short or empty; a plain column, and a time column of a comparison, which goes through the
// writer of operands as text.
TEST(RewriterMemoryTest, QualifiedNamesAreWholeOrTheWriterFails) {
  RaiseOnce();
  const struct {
    const char* what;
    std::uint32_t type;
    std::uint32_t context;
    std::uint32_t operatorCode;
  } cases[] = {{"plain", COLUMN_TYPE_INT32, SQL_CONTEXT_SELECT, 0},
               {"as text", COLUMN_TYPE_TIME, SQL_CONTEXT_WHERE, SQL_NODE_EQ}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::uint64_t failures = 0;
    nRunUntilDone([&] {
      SRewriterRun<QuotingConnection> run;
      SComparedColumn column;
      column.nType = c.type;
      column.pszTable = u"owner.some_table";
      column.pszColumn = u"some_column";
      CTString out;
      const int written = run.rewriter->bWriteOperand(column, c.context, c.operatorCode, nullptr, out);
      CPause pause;
      if (written) {
        EXPECT_EQ(std::u16string(out.pszGet()), u"\"owner\".\"some_table\".\"some_column\"");
        EXPECT_FALSE(run.holder->bHasError());
      } else {
        ++failures;
        EXPECT_TRUE(doubles::HasIdentification(run.holder, ERROR_UNIT_REWRITER, REWRITER_POINT_GROWTH));
      }
    });
    EXPECT_GT(failures, 0u) << "some run failed a quoting";
  }
}

// The connection's own quoting of a dotted name: the whole name with 1, or 0 with nothing, never 1 over a part
// left out.
TEST(RewriterMemoryTest, DottedNamesAreQuotedWholeOrRefused) {
  QuotingConnection connection;
  std::uint64_t failures = 0;
  nRunUntilDone([&] {
    CTString out;
    const int quoted = connection.nQuoteDottedName(nullptr, u"owner.some \"table\"", out);
    CPause pause;
    if (quoted) {
      EXPECT_EQ(std::u16string(out.pszGet()), u"\"owner\".\"some \"\"table\"\"\"");
    } else {
      ++failures;
      EXPECT_TRUE(out.bIsEmpty());
    }
  });
  EXPECT_GT(failures, 0u);
}

// A dialect with quoted names whose functions take other shapes: calls are rewritten through sub-rewriters.
class ShapingConnection : public doubles::TestConnection {
 public:
  ShapingConnection() : TestConnection(u"shaping", nullptr) {
    m_nDbmsKind = 1;
    m_strOpeningQuote = u"\"";
    m_nOpeningQuoteLength = 1;
    m_strClosingQuote = u"\"";
    m_nClosingQuoteLength = 1;
  }
};

using RewriterExpressionMemoryTest = CFieldValueFixture;

std::string Debug(CErrorHolder* holder) {
  const std::u16string text = holder->pGetEmbeddedObject()->pszGetDebugText();
  return std::string(text.begin(), text.begin() + std::min<std::size_t>(text.size(), 40));
}

// Constants, a LIKE, a call rewritten through a sub-rewriter, a computed item and a filter whose column flags are
// combined: every run ends with the whole final text, or with error 12 (10.6, or 10.10 for the flag list).
TEST_F(RewriterExpressionMemoryTest, TranslationWithExpressionsGrowsOrFails) {
  using Node = qzrt::ExpressionNode;
  RaiseOnce();
  {
    // An error naming a connection loads the texts that describe it once; before the counting too.
    CErrorHolder* errors = new CErrorHolder();
    errors->AddRef();
    auto* dialect = new ShapingConnection();
    dialect->AddRef();
    RaiseModuleError(errors, 0, ERROR_UNIT_REWRITER, REWRITER_POINT_GROWTH, dialect, nullptr, 12);
    dialect->nRelease();
    errors->nRelease();
    if (CErrorHolder* own = driver.pGetErrorHolder()) {
      SetHolderOutOfMemory(own);
      own->Clear();
    }
  }
  const std::u16string text = u"SELECT a + 1 AS sumx FROM t WHERE F(c, 'q') > 0 AND c LIKE 'x%' AND sumx > 3";
  const auto at = [&](const std::u16string& piece, int n = 0) {
    std::size_t i = text.find(piece);
    while (n-- > 0) i = text.find(piece, i + 1);
    return std::pair<std::uint32_t, std::uint32_t>(static_cast<std::uint32_t>(i),
                                                   static_cast<std::uint32_t>(i + piece.size()));
  };
  std::deque<Node> nodes;
  std::deque<CHostValue> constants;
  const auto node = [&](std::uint32_t kind, std::uint32_t code, const std::u16string& piece, std::vector<Node*> children,
                        int n = 0) {
    Node& made = nodes.emplace_back(kind, code, std::move(children));
    made.Text(at(piece, n).first, at(piece, n).second);
    return &made;
  };
  const auto column = [&](const std::u16string& name, int n = 0) {
    Node* made = node(48, SQL_NODE_COLUMN, name, {}, n);
    made->Column(std::nullopt, name);
    return made;
  };
  const auto value = [&](const std::u16string& piece, CHostValue& constant) {
    Node* made = node(48, SQL_NODE_VALUE, piece, {});
    made->constant = &constant;
    return made;
  };
  const auto number = [&](std::int32_t n) -> CHostValue& {
    CHostValue& made = constants.emplace_back();
    Make(made, HOST_TYPE_INT32, n);
    return made;
  };
  const auto wide = [&](const char16_t* t) -> CHostValue& {
    CHostValue& made = constants.emplace_back();
    MakeWide(made, t);
    return made;
  };
  qzrt::QueryAnalysis analysis;
  analysis.SetText(qzrt::QueryAnalysis::kSqlText, text);
  analysis.SetNumber(qzrt::QueryAnalysis::kKind, 1);
  qzrt::ItemDescription sumx(u"sumx");
  sumx.SetNumber(qzrt::ItemDescription::kItemKind, 1);
  sumx.SetText(qzrt::ItemDescription::kAlias, u"sumx");
  sumx.SetSpan(qzrt::ItemDescription::kTextStart, at(u"a + 1").first, at(u"a + 1").second);
  sumx.SetExpression(node(47, 1, u"a + 1", {column(u"a"), value(u"1", number(1))}));
  analysis.items = {&sumx};
  qzrt::QueryFile table(u"t", u"");
  table.Text(at(u"t").first, at(u"t").second);
  analysis.files = {&table};
  Node* call = node(47, 89, u"F(c, 'q')", {column(u"c"), value(u"'q'", wide(u"q"))});
  call->Name(at(u"F").first, at(u"F").second);
  analysis.whereStart = at(u"WHERE").first;
  analysis.whereEnd = static_cast<std::uint32_t>(text.size());
  analysis.whereTree = node(
      47, 2, u"F(c, 'q') > 0 AND c LIKE 'x%' AND sumx > 3",
      {node(47, SQL_NODE_GT, u"F(c, 'q') > 0", {call, value(u"0", number(0))}),
       node(47, SQL_NODE_LIKE, u"c LIKE 'x%'", {column(u"c", 1), value(u"'x%'", wide(u"x%"))}),
       node(47, SQL_NODE_GT, u"sumx > 3", {column(u"sumx", 1), value(u"3", number(3))})});
  TestColumn descriptor(COLUMN_TYPE_INT32, 4, u"c");
  auto* flagged = new CColumn(holder, descriptor);
  flagged->AddRef();

  std::uint64_t failures = 0;
  nRunUntilDone([&] {
    // A holder of the run's own: what an error leaves in it goes with it.
    CErrorHolder* errors = nullptr;
    ShapingConnection* dialect = nullptr;
    CQueryDescription* query = nullptr;
    CSqlRewriter* rewriter = nullptr;
    CSqlRewriter* filter = nullptr;
    {
      CPause pause;
      errors = new CErrorHolder();
      errors->AddRef();
      dialect = new ShapingConnection();
      dialect->AddRef();
      query = new CQueryDescription(errors, AsSeenAcross<IHostQueryAnalysis>(&analysis), nullptr, 0);
      query->AddRef();
      rewriter = pCreateSqlRewriterThroughDriver(errors, dialect);
      rewriter->AddRef();
      filter = pCreateSqlRewriterThroughDriver(errors, dialect);
      filter->AddRef();
      EXPECT_TRUE(filter->nAppendText(u"\"k\" = 2"));
      EXPECT_TRUE(filter->Lists().bSetColumnFlag(flagged, 0));
    }
    const int built = rewriter->bTranslate(query, filter, 1, 0) && rewriter->bBuildFinalText(0);
    CPause pause;
    if (built) {
      const void* final = rewriter->pszGetOutputText(0);
      EXPECT_EQ(std::u16string(final ? static_cast<const char16_t*>(final) : u"<none>"),
                u"SELECT a + 1 AS sumx FROM t WHERE ( INSTR(N'q' , c) > 0 AND c LIKE N'x%' AND a + 1 > 3 ) "
                u"AND (\"k\" = 2)");
      EXPECT_EQ(rewriter->Lists().nGetColumnFlag(flagged), 0u);
      EXPECT_FALSE(errors->bHasError());
    } else {
      ++failures;
      // The error's own text is made in memory too: when that is what ran out, the error stands without it.
      const bool textless = errors->bHasError() && Debug(errors).empty();
      EXPECT_TRUE(textless || doubles::HasIdentification(errors, 10, 6) || doubles::HasIdentification(errors, 10, 10))
          << "a text or list that could not grow: " << Debug(errors);
    }
    filter->nRelease();
    rewriter->nRelease();
    query->nRelease();
    dialect->nRelease();
    errors->nRelease();
    // A leaf the driver could not make is recorded in the driver's own holder too.
    if (CErrorHolder* own = driver.pGetErrorHolder()) own->Clear();
  });
  EXPECT_GT(failures, 0u);
  flagged->nRelease();
}

// A comparison written while memory runs out: the text and its leaf are whole or the write fails; a null-admission
// list that cannot be made is error 12 at 14.1 and the text is still written.
TEST(ConditionMemoryTest, NullListThatCannotBeMade) {
  RaiseOnce();
  doubles::EnsureLibrary();
  doubles::TestDriver driver;
  CDriver* saved = gpDriver;
  gpDriver = &driver;
  CColumnDescriptor* descriptor = pCreateColumnDescriptorThroughDriver(nullptr, 0);
  descriptor->bSetAll(u"N", u"T", u"", 1, 4, COLUMN_TYPE_INT32, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0);
  descriptor->AddRef();
  {
    // What an error reported by a connection, and the out-of-memory error, load once.
    CErrorHolder* holder = new CErrorHolder();
    holder->AddRef();
    auto* reporter = new doubles::TestConnection(u"cnx", nullptr);
    reporter->AddRef();
    RaiseModuleError(holder, 0, ERROR_UNIT_CONDITIONS, CONDITION_POINT_NULL_FLAGS, reporter, nullptr, 12);
    SetHolderOutOfMemory(holder);
    reporter->nRelease();
    holder->nRelease();
  }
  bool listFailed = false;
  nRunUntilDone([&] {
    CErrorHolder* holder = nullptr;
    doubles::TestConnection* connection = nullptr;
    CSqlRewriter* rewriter = nullptr;
    CKeyCondition* key = nullptr;
    CConditionNode* node = nullptr;
    std::optional<doubles::TestDriver> runDriver;
    {
      CPause pause;
      gpDriver = &runDriver.emplace();
      holder = new CErrorHolder();
      holder->AddRef();
      connection = new doubles::TestConnection(u"cnx", nullptr);
      connection->AddRef();
      rewriter = new CSqlRewriter(holder, connection);
      rewriter->AddRef();
      key = new CKeyCondition(holder, connection);
      key->AddRef();
      auto* column = new CColumn(holder, descriptor);
      CFieldValue* value = pCreateFieldValueThroughDriver(holder, connection);
      value->InitType(HOST_TYPE_INT32, 0);
      CHostValue five;
      five.SetType(HOST_TYPE_INT32);
      const std::int32_t n = 5;
      five.Set(&n);
      value->bSetValue(five);
      node = new CConditionNode(holder);
      node->AddRef();
      node->InitComparison(COND_EQ, column, value, 0);
    }
    int folded = 0;
    const int written = node->bWriteTree(rewriter, COND_EMPTY, key, &folded, nullptr);
    CPause pause;
    if (written) {
      EXPECT_EQ(std::u16string(rewriter->GetStatementText().pszGet()), u"N=");
      EXPECT_EQ(key->nGetLeafCount(), 1u);
      EXPECT_EQ(rewriter->nGetParameterCount(), 1u);
      if (!node->pGetNullFlags()) {
        listFailed = true;
        EXPECT_TRUE(doubles::HasIdentification(holder, 14, 1)) << "the list that could not be made";
      }
    } else {
      EXPECT_TRUE(holder->bHasError());
    }
    node->nRelease();
    key->nRelease();
    rewriter->nRelease();
    connection->nRelease();
    holder->nRelease();
    // A leaf the driver could not make is noted in its own holder: the driver goes with the run.
    gpDriver = &driver;
    runDriver.reset();
  });
  EXPECT_TRUE(listFailed);
  descriptor->nRelease();
  gpDriver = saved;
}

// The table T of numbers P, Q, S and B, with a composite key PQS that admits duplicates, and the packed values of
// its searches; what a run makes is its own (see CRun).
class SearchMemoryTest : public CFieldValueFixture {
 protected:
  void SetUp() override {
    CFieldValueFixture::SetUp();
    // The key's texts are runtime strings: their allocator counts down with the rest.
    gpHostStringAllocator = countdown::StringAllocator();
    RaiseOnce();
    {
      // What an error naming the connection and the out-of-memory error load once, before the counting.
      CErrorHolder* errors = new CErrorHolder();
      errors->AddRef();
      RaiseModuleError(errors, 0, ERROR_UNIT_CONDITIONS, CONDITION_POINT_ELEMENT, connection, nullptr, 12);
      SetHolderOutOfMemory(errors);
      errors->nRelease();
    }
    gpDriver = &columns;
    description = columns.CDriver::pCreateDescription(connection, holder);
    description->AddRef();
    description->SetName(u"T");
    for (const char16_t* name : {u"P", u"Q", u"S", u"B"}) {
      items.push_back(conditions::AddItem(description, name, COLUMN_TYPE_INT32, 4));
    }
    pqs = conditions::AddCompositeKey(description, u"PQS", {items[0], items[1], items[2]}, COLUMN_FLAG_DUPLICATES);
    items.push_back(conditions::AddItem(description, u"T", COLUMN_TYPE_TEXT, 41));
    pt = conditions::AddCompositeKey(description, u"PT", {items[0], items[4]}, COLUMN_FLAG_DUPLICATES);
    description->LayoutItems();
    table = new conditions::RecordKeyedTable(connection, holder);
    table->AddRef();
    tableDescription = new CTableDescription(holder, table);
    tableDescription->AddRef();
    ASSERT_TRUE(tableDescription->bBuild(description, nullptr, connection));
    Pack(packed, {1, 2, 3});
    Pack(packedHigh, {4, 5, 6});
    // P = 1, then 30 characters in T's 40: a text too long for a value's own storage.
    char bytes[44] = {1, 0, 0, 0};
    std::memset(bytes + 4, 'a', 30);
    packedText.SetType(HOST_TYPE_BINARY_BUFFER);
    ASSERT_EQ(packedText.SetFromBuffer(bytes, sizeof bytes), HOST_OK);
  }
  void TearDown() override {
    tableDescription->nRelease();
    table->nRelease();
    description->nRelease();
    gpDriver = &driver;
    CFieldValueFixture::TearDown();
  }

  static void Pack(CHostValue& value, std::initializer_list<std::int32_t> parts) {
    const std::vector<std::int32_t> bytes(parts);
    value.SetType(HOST_TYPE_BINARY_BUFFER);
    ASSERT_EQ(value.SetFromBuffer(bytes.data(), bytes.size() * sizeof(std::int32_t)), HOST_OK);
  }

  // What one run makes, under a pause: its own driver (a leaf the driver could not make is noted in the driver's
  // own holder), an error holder, a rewriter and a key condition with the empty-text-is-NULL switch; all go with it.
  // The table's columns report into the table's holder (and the test table answers some of a search's questions
  // with an error there): what a run left in it goes with the run too.
  class CRun {
   public:
    CRun(CConnection* connection, CDriver* after, CErrorHolder* tableErrors)
        : m_pAfter(after), m_pTableErrors(tableErrors) {
      CPause pause;
      gpDriver = &m_driver.emplace();
      errors = new CErrorHolder();
      errors->AddRef();
      rewriter = pCreateSqlRewriterThroughDriver(errors, connection);
      rewriter->AddRef();
      key = new CKeyCondition(errors, connection);
      key->AddRef();
      key->SetEmptyTextIsNull(1);
    }
    ~CRun() {
      key->nRelease();
      rewriter->nRelease();
      errors->nRelease();
      gpDriver = m_pAfter;
      m_driver.reset();
      m_pTableErrors->Clear();
    }
    CRun(const CRun&) = delete;
    CRun& operator=(const CRun&) = delete;

    // The current condition's text, "?" for each value (written under a pause).
    std::u16string Written(CFilterHolder* filter = nullptr) {
      return key->bWriteSql(rewriter, filter, nullptr) ? conditions::MarkedText(rewriter) : u"<failed>";
    }
    // A search's answer: set, with no error (true); or failed (counted) with the error of memory that could not be
    // obtained and no piece of the search left.
    bool bSet(int answer, std::uint64_t& failures) {
      if (answer) {
        EXPECT_FALSE(errors->bHasError()) << Debug(errors);
        return true;
      }
      ++failures;
      EXPECT_EQ(errors->nGetErrorCode(), 12u) << Debug(errors);
      EXPECT_EQ(key->nGetStage(), KEY_STAGE_NONE);
      EXPECT_EQ(key->pGetFirstStage(), nullptr);
      EXPECT_EQ(key->pGetForward(), nullptr);
      EXPECT_EQ(key->pGetBackward(), nullptr);
      EXPECT_EQ(key->pGetCurrent(), nullptr);
      return false;
    }

    CErrorHolder* errors = nullptr;
    CSqlRewriter* rewriter = nullptr;
    CKeyCondition* key = nullptr;

   private:
    std::optional<doubles::TestDriver> m_driver;
    CDriver* m_pAfter;
    CErrorHolder* m_pTableErrors;
  };

  conditions::ColumnMakingDriver columns;
  CRecordDescription* description = nullptr;
  std::vector<CColumnDescriptor*> items;
  CColumnDescriptor* pqs = nullptr;
  CColumnDescriptor* pt = nullptr;
  CHostValue packedText;
  conditions::RecordKeyedTable* table = nullptr;
  CTableDescription* tableDescription = nullptr;
  CHostValue packed;
  CHostValue packedHigh;
};

// The forward continuation of a composite search with a filter range, written while memory runs out: the whole
// WHERE text with every leaf, or a failure with error 12 in the holder; never a text left short reported as written.
TEST_F(SearchMemoryTest, ACompositeSearchWithItsFilterIsWrittenWholeOrFails) {
  CHostValue low, high;
  Make(low, HOST_TYPE_INT32, std::int32_t{4});
  Make(high, HOST_TYPE_INT32, std::int32_t{9});

  std::uint64_t failures = 0;
  nRunUntilDone([&] {
    CRun run(connection, &columns, holder);
    CFilterHolder* filter = nullptr;
    {
      CPause pause;
      filter = new CFilterHolder(run.errors, connection);
      filter->AddRef();
      filter->SetEmptyTextIsNull(1);
      ASSERT_TRUE(run.key->bSetSearchCore(tableDescription, pqs, &packed, 0, 0));
      ASSERT_TRUE(run.key->bAdvance(0));
      ASSERT_TRUE(filter->bSetRange(tableDescription, items[3], &low, 0, &high, 1, nullptr, 0));
      filter->Restart(1);
    }
    const int written = run.key->bWriteSql(run.rewriter, filter, nullptr);
    CPause pause;
    if (written) {
      EXPECT_EQ(conditions::MarkedText(run.rewriter), u"(B>? AND B<=?) AND (P>? OR P=? AND (Q>? OR Q=? AND S>?))");
      ASSERT_EQ(run.key->nGetLeafCount(), 7u);
      ASSERT_EQ(run.rewriter->nGetParameterCount(), 7u);
      for (std::uint32_t i = 0; i < 7; ++i) EXPECT_EQ(run.key->pGetLeaf(i), run.rewriter->pGetParameter(i)) << i;
      // A null-admission list that could not be made costs the column flags, not the text.
      EXPECT_TRUE(!run.errors->bHasError() || doubles::HasIdentification(run.errors, 14, 1)) << Debug(run.errors);
    } else {
      ++failures;
      EXPECT_TRUE(run.errors->bHasError());
      EXPECT_EQ(run.errors->nGetErrorCode(), 12u) << Debug(run.errors);
    }
    filter->nRelease();
  });
  EXPECT_GT(failures, 0u);
}

// A search built while memory runs out, on a composite key (continuations built from the key value) and on one
// column (continuations turned from copies of the first stage): its first stage and both continuations whole, or a
// failure with error 12 and nothing started; a search answered as set with a piece missing would read past what
// was searched.
TEST_F(SearchMemoryTest, ASearchIsBuiltWholeOrNotAtAll) {
  CHostValue five;
  Make(five, HOST_TYPE_INT32, std::int32_t{5});
  const struct {
    CColumnDescriptor* item;
    CHostValue* value;
    const char16_t* first;
    const char16_t* forward;
    const char16_t* backward;
  } cases[] = {
      {pqs, &packed, u"(P=? AND Q=?) AND S=?", u"P>? OR P=? AND (Q>? OR Q=? AND S>?)",
       u"(P<? OR P IS NULL) OR P=? AND ((Q<? OR Q IS NULL) OR Q=? AND (S<? OR S IS NULL))"},
      {items[3], &five, u"B=?", u"B>?", u"(B<? OR B IS NULL)"},
      // A text component too long for a value's own storage.
      {pt, &packedText, u"P=? AND T=?", u"P>? OR P=? AND T>?", u"(P<? OR P IS NULL) OR P=? AND (T<? OR T IS NULL)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.first, c.first + std::char_traits<char16_t>::length(c.first)));
    std::uint64_t failures = 0;
    nRunUntilDone([&] {
      CRun run(connection, &columns, holder);
      const int set = run.key->bSetSearchCore(tableDescription, c.item, c.value, 0, 0);
      CPause pause;
      if (!run.bSet(set, failures)) return;
      ASSERT_EQ(run.key->nGetStage(), KEY_STAGE_FIRST);
      ASSERT_NE(run.key->pGetForward(), nullptr);
      ASSERT_NE(run.key->pGetBackward(), nullptr);
      EXPECT_EQ(run.Written(), c.first);
      ASSERT_TRUE(run.key->bAdvance(0));
      EXPECT_EQ(run.Written(), c.forward);
      ASSERT_TRUE(run.key->bAdvance(1));
      ASSERT_TRUE(run.key->bAdvance(1));
      EXPECT_EQ(run.Written(), c.backward);
    });
    EXPECT_GT(failures, 0u);
  }
}

// A composite range set while memory runs out, over a search already started: both bounds, or a failure with
// error 12 that leaves no search behind; half a range answered as set would read past its other bound.
TEST_F(SearchMemoryTest, ACompositeRangeIsBuiltWholeOrNotAtAll) {
  std::uint64_t failures = 0;
  nRunUntilDone([&] {
    CRun run(connection, &columns, holder);
    {
      CPause pause;
      ASSERT_TRUE(run.key->bSetSearchCore(tableDescription, pqs, &packed, 0, 0));
    }
    const int set = run.key->bSetRange(tableDescription, pqs, &packed, 1, &packedHigh, 0, nullptr, 0);
    CPause pause;
    if (!run.bSet(set, failures)) return;
    run.key->Restart(1);
    EXPECT_EQ(run.Written(),
              u"(P>? OR P=? AND (Q>? OR Q=? AND S>=?)) AND (P<? OR P=? AND (Q<? OR Q=? AND S<?))");
  });
  EXPECT_GT(failures, 0u);
}

// A written search cloned and copied while memory runs out: the clone and the copy hold every leaf of the text, or
// there is none and the holder says why; one short of a leaf would leave a value of its text unbound.
TEST_F(SearchMemoryTest, ClonesAndCopiesHoldEveryLeafOrNone) {
  // A column that cannot be cloned tells the table's holder, which outlives the runs: its room for the error's
  // texts is made before the counting.
  SetHolderOutOfMemory(holder);
  holder->Clear();
  std::uint64_t failures = 0;
  nRunUntilDone([&] {
    CRun run(connection, &columns, holder);
    std::optional<CHashTable> map;
    {
      CPause pause;
      ASSERT_TRUE(run.key->bSetSearchCore(tableDescription, pqs, &packed, 0, 0));
      ASSERT_EQ(run.Written(), u"(P=? AND Q=?) AND S=?");
      ASSERT_EQ(run.key->nGetLeafCount(), 3u);
      map.emplace();
    }
    CKeyCondition* clone = run.key->pClone();
    CKeyCondition* copy = run.key->pNewWithArgs(run.key, *map, 0, 0);
    CPause pause;
    for (CKeyCondition* made : {clone, copy}) {
      if (made) {
        EXPECT_EQ(made->nGetLeafCount(), 3u);
        made->AddRef();
        made->nRelease();
      } else {
        ++failures;
        // An object that could not be made is told as the holder's out-of-memory error.
        EXPECT_TRUE(run.errors->bHasError() || run.errors->pGetEmbeddedObject()->nGetLevel() == ERROR_LEVEL_FATAL);
      }
    }
    map.reset();
  });
  EXPECT_GT(failures, 0u);
}

}  // namespace
