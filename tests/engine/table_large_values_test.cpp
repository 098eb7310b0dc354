// A table's large values by their index among the large items, its lock mode against the shared rows, and the
// value-copy hand-over.
#include <gtest/gtest.h>

#include "engine/cache/row_cache.h"
#include "engine/cache/shared_row_source.h"
#include "engine/record/table_description.h"
#include "host/host_type.h"
#include "tests/engine/table_fixture.h"

namespace {

class TableLargeValuesTest : public TableFixture {
 protected:
  // T: K (primary key) and the text memo M, the only large item.
  void MemoTable() {
    Begin(2);
    Add(u"K", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY, false);
    Add(u"M", COLUMN_TYPE_WTEXT_MEMO, 0);
    MakeTable();
  }
};

TEST_F(TableLargeValuesTest, LargeItemsAreReadWrittenAndLinkedByTheirIndex) {
  MemoTable();
  // Nothing read yet: a null value and success.
  CHostValue value;
  value.SetType(HOST_TYPE_WSTRING);
  ASSERT_EQ(subject->bReadLargeValue(0, reinterpret_cast<RuntimeWord>(&value)), 1);
  EXPECT_TRUE(value.bIsNull());
  EXPECT_EQ(subject->bSaveMemoToFile(0, reinterpret_cast<RuntimeWord>(u"m.txt")), 1) << "no context, nothing to save";
  EXPECT_EQ(subject->bWriteLargeValue(0, reinterpret_cast<RuntimeWord>(&value)), 0) << "no columns yet";
  EXPECT_EQ(holder->nGetErrorCode(), 19u) << "the table is not open";
  holder->Clear();

  ASSERT_TRUE(subject->bEnsureTableDescription());
  CHostValue text;
  text.SetType(HOST_TYPE_WSTRING);
  text.SetFromBuffer(u"long text", 9 * sizeof(char16_t));
  ASSERT_EQ(subject->bWriteLargeValue(0, reinterpret_cast<RuntimeWord>(&text)), 1);
  CHostValue read;
  ASSERT_EQ(subject->bReadLargeValue(0, reinterpret_cast<RuntimeWord>(&read)), 1);
  const char16_t* got = nullptr;
  read.EnsureWideText();
  ASSERT_EQ(read.nGetWideText(&got), 0);
  EXPECT_EQ(std::u16string(got), u"long text");

  ASSERT_EQ(subject->bCallLargeValueSlot(0, reinterpret_cast<RuntimeWord>(u"m.txt")), 1);
  EXPECT_EQ(std::u16string(subject->pGetTableDescription()->pFindColumnByName(u"M")->pszGetMemoFileName()), u"m.txt");

  // The description has no second large item.
  for (int call = 0; call < 3; ++call) {
    SCOPED_TRACE(call);
    holder->Clear();
    const int answer = call == 0   ? subject->bReadLargeValue(1, reinterpret_cast<RuntimeWord>(&read))
                       : call == 1 ? subject->bWriteLargeValue(1, reinterpret_cast<RuntimeWord>(&text))
                                   : subject->bCallLargeValueSlot(1, reinterpret_cast<RuntimeWord>(u"x"));
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(holder->nGetErrorCode(), 26u);
  }
}

TEST_F(TableLargeValuesTest, LockModesOneAndThreeNeedAllTheSharedRows) {
  KeyValueTable({1, 2});
  for (std::uint32_t mode : {0u, 1u, 2u, 3u}) EXPECT_EQ(subject->bSetLockMode(mode), 1) << "no shared rows";

  CSharedRowSource* source = subject->pNewSharedRowSource();
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(subject->bSetLockMode(1), 0);
  EXPECT_EQ(subject->nGetLockMode(), 1u) << "a refused mode stays stored";
  EXPECT_EQ(holder->nGetErrorCode(), 55u);
  EXPECT_TRUE(doubles::HasIdentification(holder, 3, 21));
  // With an error held already, the refusal is a message added to it.
  EXPECT_EQ(subject->bSetLockMode(3), 0);
  CXError* error = holder->pGetInnermostError();
  EXPECT_EQ(error->nGetMessageAt(error->nGetMessageCount() - 1), 25667u);
  EXPECT_EQ(subject->bSetLockMode(4), 1);

  // The source cursor's rows, all of them in its cache.
  holder->Clear();
  ASSERT_TRUE(subject->bEnsureTableDescription());
  auto* reader = static_cast<doubles::ScriptedCursor*>(subject->pSelectContext(u"K", READ_FIRST, 0));
  source->bSetSourceCursor(reader);
  auto* cache = new CRowCache(0);
  reader->UseRowCache(cache);
  EXPECT_EQ(subject->bSetLockMode(1), 0) << "rows still to come";
  cache->SetFlags(cache->nGetFlags() | ROW_CACHE_COMPLETE);
  EXPECT_EQ(subject->bSetLockMode(1), 1);
  EXPECT_EQ(subject->bSetLockMode(3), 1);
}

// Prepares from its source, then takes into its target, each answering as told.
class Copy : public IValueCopy {
 public:
  int bPrepare(RuntimeWord source, std::uint32_t a, std::uint32_t b) override {
    calls.push_back({source, a, b});
    return prepareAnswer;
  }
  int bTake(RuntimeWord target, std::uint32_t a) override {
    calls.push_back({target, a, 9});
    return 7;
  }
  std::vector<std::vector<std::uint64_t>> calls;
  int prepareAnswer = 1;
};

TEST_F(TableLargeValuesTest, ACopyTakesOnlyWhatItCouldPrepare) {
  KeyValueTable({});
  Copy copy;
  EXPECT_EQ(subject->bCopyValue(reinterpret_cast<RuntimeWord>(&copy), 11, 22), 7);
  EXPECT_EQ(copy.calls, (std::vector<std::vector<std::uint64_t>>{{22, 0, 1}, {11, 0, 9}}));
  copy.calls.clear();
  copy.prepareAnswer = 0;
  EXPECT_EQ(subject->bCopyValue(reinterpret_cast<RuntimeWord>(&copy), 11, 22), 0);
  EXPECT_EQ(copy.calls.size(), 1u);
}

}  // namespace
