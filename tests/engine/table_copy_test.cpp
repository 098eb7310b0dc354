// A table's deep copy through a clone map: its contexts under their names, reading apart from the source, its
// positions and stores of its own, and what several tables share copied once.
#include <gtest/gtest.h>

#include <stdexcept>

#include "driver/access_interface.h"
#include "engine/cache/keyed_row_cache.h"
#include "engine/record/table_description.h"
#include "foundation/clone_map.h"
#include "foundation/hash_table.h"
#include "foundation/reference_guard.h"
#include "tests/engine/table_fixture.h"

namespace {

class SharingTable : public CTable {
 public:
  using CTable::CTable;
  void ShareColumns(CTableDescription* columns) { Exchange(m_pTableDescription, columns); }
};

class TableCopyTest : public TableFixture {
 protected:
  std::int32_t CurrentK(CTable* table) {
    CHostValue value;
    std::int32_t n = -1;
    if (table->pGetTableDescription()->pFindColumnByName(u"K")->bGetValue(value, 0) && !value.bIsNull())
      value.nGet(&n);
    return n;
  }
  CTable* Copy(CHashTable& map, CTable* table) {
    CTable* copy = table->pClone(map, 0, 0);
    if (copy) copy->AddRef();
    return copy;
  }
};

TEST_F(TableCopyTest, ACopyKeepsItsContextsAndPositionsAndReadsApartFromItsSource) {
  KeyValueTable({1, 2, 3});
  ASSERT_TRUE(subject->bEnsureTableDescription());
  ASSERT_EQ(subject->bRead(u"V", READ_LAST, 0, 0, 0, 0), 1);
  ASSERT_EQ(subject->bRead(u"K", READ_FIRST, 0, 0, 0, 0), 1);
  ASSERT_EQ(subject->bRead(u"K", READ_NEXT, 0, 0, 0, 0), 1);
  std::uint32_t identifier = 0;
  ASSERT_EQ(subject->bStorePosition(reinterpret_cast<RuntimeWord>(&identifier), u"K", 0), 1);
  ASSERT_EQ(subject->bRead(u"K", READ_NEXT, 0, 0, 0, 0), 1);
  ASSERT_EQ(CurrentK(subject), 3);

  // The interface that made the table is released while the table stays on: the copy registers with nothing.
  auto* owner = new CAccessInterface(nullptr, u"k", nullptr, nullptr, nullptr);
  owner->AddRef();
  owner->RegisterTable(subject);
  subject->SetAccessInterface(owner);
  owner->nRelease();
  EXPECT_EQ(subject->pGetAccessInterface(), nullptr);

  CHashTable map(7);
  CTable* copy = Copy(map, subject);
  ASSERT_NE(copy, nullptr) << holder->nGetErrorCode();
  EXPECT_EQ(copy->pGetAccessInterface(), nullptr);
  CCursor* sourceK = subject->pFindContext(u"K");
  CCursor* copyK = copy->pFindContext(u"k");
  ASSERT_NE(copyK, nullptr);
  EXPECT_NE(copyK, sourceK);
  EXPECT_NE(copy->pFindContext(u"V"), nullptr);
  EXPECT_EQ(copy->nGetContextCount(), 2u);
  EXPECT_EQ(copy->pGetCurrentContext(), copyK) << "the current context's copy, not a second one";
  EXPECT_NE(copy->pGetTableDescription(), subject->pGetTableDescription());
  EXPECT_NE(copy->pGetRecordStore(), subject->pGetRecordStore());
  EXPECT_EQ(copy->pGetErrorHolder(), subject->pGetErrorHolder());
  EXPECT_EQ(copy->pGetConnection(), subject->pGetConnection());
  EXPECT_EQ(copy->bIsOpen(), subject->bIsOpen());
  ASSERT_NE(copy->pLookupPosition(identifier), nullptr);
  EXPECT_NE(copy->pLookupPosition(identifier), subject->pLookupPosition(identifier));

  // The copy reads back from its own place; the source's context stays where it was.
  ASSERT_EQ(copy->bRead(u"K", READ_PREVIOUS, 0, 0, 0, 0), 1) << holder->nGetErrorCode();
  EXPECT_EQ(CurrentK(copy), 2);
  EXPECT_EQ(CurrentK(subject), 3);
  EXPECT_EQ(static_cast<doubles::ScriptedCursor*>(sourceK)->position, 2);
  // The copy goes back to the stored position on its own.
  char16_t name[8] = {};
  ASSERT_EQ(copy->bRecallPosition(identifier, reinterpret_cast<RuntimeWord>(name), 1, 0), 1);
  EXPECT_EQ(CurrentK(copy), 2);
  EXPECT_EQ(CurrentK(subject), 3);
  copy->nRelease();

  // A context whose copy throws takes the half-made table with it; the source is untouched.
  Context(u"V")->throwOnClone = true;
  CHashTable failing(7);
  EXPECT_THROW(subject->pClone(failing, 0, 0), std::runtime_error);
  EXPECT_EQ(CurrentK(subject), 3);
  EXPECT_EQ(subject->nGetContextCount(), 2u);
}

TEST_F(TableCopyTest, TablesSharingColumnsThroughOneMapShareOneCopyOfThem) {
  auto* first = KeyValueTableOf<SharingTable>({1});
  ASSERT_TRUE(subject->bEnsureTableDescription());
  auto* second = new SharingTable(description, connection, holder);
  second->AddRef();
  second->ShareColumns(first->pGetTableDescription());

  CHashTable map(7);
  CTable* firstCopy = Copy(map, first);
  CTable* secondCopy = Copy(map, second);
  ASSERT_NE(firstCopy, nullptr);
  ASSERT_NE(secondCopy, nullptr);
  EXPECT_NE(firstCopy->pGetTableDescription(), first->pGetTableDescription());
  EXPECT_EQ(firstCopy->pGetTableDescription(), secondCopy->pGetTableDescription());
  // Each table is copied once in a map: asking again gives the same copy.
  EXPECT_EQ(pTableCopyInMap(map, first), firstCopy);
  for (CTable* table : {firstCopy, secondCopy, static_cast<CTable*>(second)}) table->nRelease();
}

}  // namespace
