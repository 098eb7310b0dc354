// The next identifier as the maximum plus one and the current maximum, asked through an internal query on the
// table's connection.
#include <gtest/gtest.h>

#include "engine/record/table_description.h"
#include "engine/table/automatic_identifier.h"
#include "host/host_type.h"
#include "tests/doubles/internal_query_doubles.h"
#include "tests/engine/table_fixture.h"

namespace {

// The table as a query: the identifier's text names the column's caption and the table behind it.
class QueryTable : public CTable {
 public:
  using CTable::CTable;
  int bIsQueryMode() override { return 1; }
};

bool HasMessage(CErrorHolder* holder, std::uint32_t message) {
  CXError* error = holder->pGetInnermostError();
  for (std::uint32_t i = 0; i < error->nGetMessageCount(); ++i) {
    if (error->nGetMessageAt(i) == message) return true;
  }
  return false;
}

class AutomaticIdentifierTest : public TableFixture {
 protected:
  void SetUp() override {
    TableFixture::SetUp();
    gpDriver = &internal;
    identifier = static_cast<CAutomaticIdentifier*>(internal.pCreateAutomaticIdentifier());
    identifier->AddRef();
  }
  void TearDown() override {
    identifier->nRelease();
    TableFixture::TearDown();
  }
  // The table K, V and the maximum the server answers (0: NULL, an empty table; none: no row at all).
  CColumn* KeyOfTable(std::vector<std::int32_t> answer) {
    KeyValueTable({});
    internal.resultDescription = description;
    internal.rows = std::move(answer);
    EXPECT_TRUE(subject->bEnsureTableDescription());
    return subject->pGetTableDescription()->pFindColumnByName(u"K");
  }
  std::int64_t Number(CHostValue& value) {
    std::int64_t n = -1;
    if (value.nGetType() == HOST_TYPE_INT64) value.nGet(&n);
    if (value.nGetType() == HOST_TYPE_INT32) {
      std::int32_t small = 0;
      value.nGet(&small);
      n = small;
    }
    return n;
  }

  doubles::InternalQueryDriver internal;
  CAutomaticIdentifier* identifier = nullptr;
};

TEST_F(AutomaticIdentifierTest, TextsOfTheMaximumForATableAndForAQuery) {
  CColumn* key = KeyOfTable({});
  CTString text;
  ASSERT_TRUE(identifier->bBuildNextValueText(text, subject, key));
  EXPECT_EQ(std::u16string(text.pszGet()), u"SELECT MAX(K)+1 FROM T");
  ASSERT_TRUE(identifier->bBuildMaxText(text, subject, key));
  EXPECT_EQ(std::u16string(text.pszGet()), u"SELECT MAX(K) FROM T");

  auto* query = new QueryTable(description, connection, holder);
  query->AddRef();
  key->pGetDescriptorNoRef()->bSetAll(u"K", u"SALES.EMP", u"ID", 1, 4, COLUMN_TYPE_INT32, 0, 0xFFFFFFFF, 0, 0, 0);
  ASSERT_TRUE(identifier->bBuildNextValueText(text, query, key));
  EXPECT_EQ(std::u16string(text.pszGet()), u"SELECT MAX(ID)+1 FROM SALES.EMP");
  query->nRelease();
}

TEST_F(AutomaticIdentifierTest, NextValueIsTheServersAnswerAndOneOnAnEmptyTable) {
  CColumn* key = KeyOfTable({8});
  CHostValue value;
  ASSERT_TRUE(identifier->bGetNextValue(subject, key, holder, &value));
  EXPECT_EQ(Number(value), 8);
  EXPECT_EQ(internal.script.texts, std::vector<std::u16string>{u"SELECT MAX(K)+1 FROM T"});

  internal.rows = {0};
  ASSERT_TRUE(identifier->bGetNextValue(subject, key, holder, &value));
  EXPECT_EQ(value.nGetType(), HOST_TYPE_INT64);
  EXPECT_EQ(value.wGetTypeWord() & (HOST_VALUE_FLAG_NULL | HOST_VALUE_FLAG_MARKED), 0);
  EXPECT_EQ(Number(value), 1);
  EXPECT_EQ(internal.script.tablesMade, 2) << "each call runs a query of its own";

  // The table's own computation stores the next value in its automatic-identifier column.
  TearDownTable();
  subject->nRelease();
  subject = nullptr;
  Begin(2);
  Add(u"ID", COLUMN_TYPE_AUTO_ID4, 4, COLUMN_FLAG_PRIMARY_KEY, false);
  Add(u"V", COLUMN_TYPE_INT32, 4);
  MakeTable();
  internal.resultDescription = description;
  internal.rows = {0};
  ASSERT_TRUE(subject->bEnsureTableDescription());
  ASSERT_TRUE(subject->bComputeAutomaticIdentifier());
  ASSERT_TRUE(subject->pGetTableDescription()->pFindColumnByName(u"ID")->bGetValue(value, 0));
  EXPECT_EQ(Number(value), 1);
  CAutomaticIdentifier* kept = subject->pGetAutomaticIdentifier();
  EXPECT_EQ(kept, subject->pGetAutomaticIdentifier()) << "made once and kept";
  kept->nRelease();
  kept->nRelease();
}

TEST_F(AutomaticIdentifierTest, FailuresSayWhichColumnCouldNotBeComputed) {
  CColumn* key = KeyOfTable({8});
  internal.script.failRuns = true;
  CHostValue value;
  EXPECT_EQ(identifier->bGetNextValue(subject, key, holder, &value), 0);
  EXPECT_TRUE(doubles::HasIdentification(holder, 3, 98)) << "the run's own error";
  EXPECT_TRUE(HasMessage(holder, 28576));

  // A maximum that comes with no row is error 59 on the table and the column.
  holder->Clear();
  internal.script.failRuns = false;
  internal.rows = {};
  EXPECT_EQ(identifier->bGetCurrentMaximum(subject, key, holder, &value), 0);
  EXPECT_EQ(holder->nGetErrorCode(), 59u);
  EXPECT_TRUE(doubles::HasIdentification(holder, 14, 1));
  EXPECT_EQ(std::u16string(holder->pszGetFileName()), u"T");
  EXPECT_EQ(std::u16string(holder->pszGetItemName()), u"K");
  EXPECT_EQ(internal.script.texts.back(), u"SELECT MAX(K) FROM T");
}

}  // namespace
