// The driver's own queries: rows read by direction and gathered as text through a hidden table's "$QZInternal"
// context.
#include <gtest/gtest.h>

#include "sql/internal_query.h"
#include "tests/doubles/internal_query_doubles.h"
#include "tests/engine/table_fixture.h"

namespace {

class InternalQueryTest : public TableFixture {
 protected:
  void SetUp() override {
    TableFixture::SetUp();
    gpDriver = &internal;
  }
  // The result K, V of the rows (see NullableCursor for NULLs).
  void Result(std::vector<std::int32_t> rows) {
    if (subject) subject->nRelease();
    subject = nullptr;
    TearDownTable();
    KeyValueTable({});
    internal.resultDescription = description;
    internal.rows = std::move(rows);
  }
  int AsText(CTString& out) {
    return CInternalQuery::bQueryAsText(u"SELECT K, V FROM T", holder, connection, out, 0, u"\t");
  }

  doubles::InternalQueryDriver internal;
};

TEST_F(InternalQueryTest, RowsReadAsTextJoinLinesAndColumns) {
  struct Case {
    std::vector<std::int32_t> rows;
    std::u16string text;
  };
  const Case cases[] = {
      {{1, 2}, u"1\t10\r\n2\t20"},
      {{-3, 4}, u"3\t\r\n4\t40"},  // a NULL is an empty field
      {{}, u"kept"},               // no row leaves the text as it was
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.rows));
    Result(c.rows);
    CTString out(c.rows.empty() ? u"kept" : u"");
    EXPECT_EQ(AsText(out), 1);
    EXPECT_EQ(std::u16string(out.pszGet()), c.text);
    EXPECT_FALSE(holder->bHasError());
  }
  EXPECT_EQ(internal.script.texts.back(), u"SELECT K, V FROM T");
}

TEST_F(InternalQueryTest, AFailedReadFailsTheTextWithItsError) {
  Result({1, 2, 3});
  internal.failAtFetch = 2;
  CTString out;
  EXPECT_EQ(AsText(out), 0);
  EXPECT_EQ(holder->nGetErrorCode(), 8u);
  EXPECT_EQ(std::u16string(out.pszGet()), u"1\t10");

  // A statement that cannot run makes no query: its error stays in the holder.
  holder->Clear();
  internal.script.failRuns = true;
  EXPECT_EQ(CInternalQuery::pCreate(u"SELECT 1 FROM DUAL", holder, connection), nullptr);
  holder->Clear();
  EXPECT_EQ(AsText(out), 0);
  EXPECT_TRUE(doubles::HasIdentification(holder, 3, 98));
}

TEST_F(InternalQueryTest, RowsAndValuesByDirection) {
  Result({5, 6});
  CInternalQuery* query = CInternalQuery::pCreate(u"SELECT K, V FROM T", holder, connection);
  ASSERT_NE(query, nullptr);
  query->AddRef();
  EXPECT_EQ(query->nGetColumnCount(), 2u);
  EXPECT_EQ(query->pGetColumn(2), nullptr);
  EXPECT_EQ(std::u16string(query->pGetColumn(1)->pszGetName()), u"V");
  EXPECT_EQ(query->pGetContext()->pGetRowCache(), nullptr) << "internal queries read without a row cache";
  CHostValue values[2];
  std::uint32_t end = 1;
  ASSERT_TRUE(query->bFetchRow(READ_LAST, &end, values, 2));
  std::int32_t k = 0, v = 0;
  values[0].nGet(&k);
  values[1].nGet(&v);
  EXPECT_EQ(end, 0u);
  EXPECT_EQ(k, 6);
  EXPECT_EQ(v, 60);
  ASSERT_TRUE(query->bRead(READ_NEXT, &end));
  EXPECT_EQ(end, 1u);
  query->nRelease();

  // No row: a query without a context, whose reads and fetches end at once.
  Result({});
  query = CInternalQuery::pCreate(u"SELECT K, V FROM T", holder, connection);
  ASSERT_NE(query, nullptr);
  query->AddRef();
  EXPECT_EQ(query->nGetColumnCount(), 0u);
  end = 0;
  EXPECT_EQ(query->bRead(READ_FIRST, &end), 1);
  EXPECT_EQ(end, 1u);
  end = 0;
  EXPECT_EQ(query->bFetchRow(READ_FIRST, &end, values, 1), 1);
  EXPECT_EQ(end, 1u);
  EXPECT_EQ(query->nExecute(), 0);
  query->nRelease();
  EXPECT_EQ(internal.script.tablesMade, 2);
}

}  // namespace
