// The rewriter's element lists with memory that cannot be obtained: every run ends in success or in a failure the
// holder explains, never in a success over a text or list left short.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "foundation/error_holder.h"
#include "foundation/flag_list.h"
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
#include "engine/values/field_value.h"
#include "sql/conditions/condition_node.h"
#include "sql/conditions/key_condition.h"
#include "sql/driver_services.h"
#include "host/host_objects.h"
#include "standin/runtime/query_objects.h"
#include "tests/slot_call.h"
#include "tests/doubles/driver_doubles.h"
#include "tests/support/countdown_allocator.h"

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

// A translation (pass-through, then an assembled one) and its final text: each run ends with
// the whole text or with error 12 at 10.6, never with a success over a shortened text.
TEST(RewriterMemoryTest, TranslationAndFinalTextGrowOrFail) {
  RaiseOnce();
  qzrt::QueryAnalysis analysis;
  analysis.SetText(qzrt::QueryAnalysis::kSqlText,
                   std::u16string(u"select a, b from some_table where d = 'x (ORDER BY)' limit 10 ORDER BY a"));
  std::uint64_t failures = 0;
  nRunUntilDone([&] {
    CErrorHolder* holder = nullptr;
    TopConnection* connection = nullptr;
    CQueryDescription* query = nullptr;
    CSqlRewriter* direct = nullptr;
    CSqlRewriter* assembled = nullptr;
    {
      CPause pause;
      holder = new CErrorHolder();
      holder->AddRef();
      connection = new TopConnection();
      connection->AddRef();
      query = new CQueryDescription(holder, AsSeenAcross<IHostQueryAnalysis>(&analysis), nullptr, 0);
      query->AddRef();
      direct = new CSqlRewriter(holder, connection);
      direct->AddRef();
      assembled = new CSqlRewriter(holder, connection);
      assembled->AddRef();
    }
    const int translated = direct->bTranslate(query, nullptr, 0, SQL_MODE_PASS_THROUGH | SQL_MODE_NO_NAMED_PARAMETERS);
    const int built = assembled->bTranslate(query, nullptr, 1, 0) && assembled->bBuildFinalText(0);
    {
      CPause pause;
      if (translated) {
        EXPECT_EQ(std::u16string(direct->pszGetSourceText()),
                  u"select a, b from some_table where d = 'x (ORDER BY)' limit 10 ");
      }
      if (built) {
        EXPECT_EQ(std::u16string(static_cast<const char16_t*>(assembled->pszGetOutputText(0))),
                  u"SELECT TOP 10  a, b from some_table where d = 'x (ORDER BY)'");
      }
      if (!translated || !built) {
        ++failures;
        EXPECT_TRUE(doubles::HasIdentification(holder, 10, 6)) << "a text that could not grow";
      }
      direct->nRelease();
      assembled->nRelease();
      query->nRelease();
      connection->nRelease();
      holder->nRelease();
    }
  });
  EXPECT_GT(failures, 0u);
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

}  // namespace
