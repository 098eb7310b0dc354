// The table object's record contexts, record store and refusals.
#include <gtest/gtest.h>

#include "engine/cache/keyed_row_cache.h"
#include "engine/record/record.h"
#include "sql/conditions/key_condition.h"
#include "tests/engine/table_fixture.h"

namespace {

class TableTest : public TableFixture {};

TEST_F(TableTest, AContextIsFoundByItsNameInAnyCaseAndMadeOnce) {
  KeyValueTable({1, 2});
  CCursor* byKey = subject->pSelectContext(u"Kéy", READ_FIRST, 0);
  ASSERT_NE(byKey, nullptr);
  EXPECT_EQ(subject->pGetCurrentContext(), byKey);
  EXPECT_EQ(std::u16string(byKey->pszGetSearchItem()), u"Kéy");
  EXPECT_EQ(subject->pSelectContext(u"KEY", READ_NEXT, 0), byKey);
  EXPECT_EQ(subject->pFindContext(u"key"), byKey);
  EXPECT_EQ(subject->pFindContext(u"V"), nullptr) << "looking a context up never makes it";

  // Writes run on the default context without taking the current context's place.
  CCursor* byDefault = subject->pGetDefaultContext();
  ASSERT_NE(byDefault, nullptr);
  EXPECT_NE(byDefault, byKey);
  EXPECT_EQ(subject->pGetCurrentContext(), byKey);
  EXPECT_EQ(subject->nGetContextCount(), 2u);

  // Re-filed under a new name, found there only; a name already taken gives its context up.
  ASSERT_TRUE(subject->bRenameContext(byKey, u"V"));
  EXPECT_EQ(subject->pFindContext(u"KEY"), nullptr);
  EXPECT_EQ(subject->pFindContext(u"v"), byKey);
  EXPECT_EQ(std::u16string(byKey->pszGetRequestedSearchItem()), u"V");
  ASSERT_TRUE(subject->bRenameContext(byKey, u""));
  EXPECT_EQ(subject->pGetDefaultContext(), byKey);
  EXPECT_EQ(subject->nGetContextCount(), 1u);

  EXPECT_EQ(subject->bClose(), 1);
  EXPECT_EQ(subject->nGetContextCount(), 0u);
  EXPECT_EQ(subject->pGetCurrentContext(), nullptr);
  EXPECT_EQ(subject->pFindContext(u""), nullptr) << "the lookup cache went with the contexts";
}

TEST_F(TableTest, AContextThatCannotBeMadeFailsTheSelection) {
  KeyValueTable({});
  driver.failCursors = true;
  EXPECT_EQ(subject->pSelectContext(u"K", READ_FIRST, 0), nullptr);
  EXPECT_EQ(holder->pGetEmbeddedObject()->nGetMessageAt(0), 25193u) << "out of memory";
  EXPECT_EQ(subject->nGetContextCount(), 0u);
}

TEST_F(TableTest, ACarriedKeyConditionFollowsTheReadIntoTheNewContext) {
  KeyValueTable({1});
  CCursor* first = subject->pSelectContext(u"K", READ_FIRST, 0);
  CKeyCondition* condition = first->pNewConditionNode(holder);
  ASSERT_NE(condition, nullptr);
  first->SetConditionNode(condition);
  CCursor* plain = subject->pSelectContext(u"V", READ_FIRST, 0x8000);
  EXPECT_EQ(plain->pGetConditionNode(), nullptr) << "a condition not started stays behind";
  subject->pSelectContext(u"K", READ_FIRST, 0);
  condition->SetFirstStage();
  CCursor* carried = subject->pSelectContext(u"W", READ_FIRST, 0x8000);
  EXPECT_EQ(carried->pGetConditionNode(), condition);
  subject->pSelectContext(u"K", READ_FIRST, 0);
  EXPECT_EQ(subject->pSelectContext(u"X", READ_FIRST, 0)->pGetConditionNode(), nullptr);
}

TEST_F(TableTest, TheRecordStoreGivesOneSlotPerRecordUntilItsLastPinGoes) {
  KeyValueTable({});
  ASSERT_TRUE(subject->bEnsureTableDescription());
  CTableDescription* columns = subject->pGetTableDescription();
  auto set = [&](const char16_t* name, std::int32_t n) {
    CHostValue value;
    value.SetType(HOST_TYPE_INT32);
    value.Set(&n);
    columns->pFindColumnByName(name)->bSetValue(value, 0);
  };
  set(u"K", 7);
  const std::uint32_t slot = subject->nStoreCurrentRecord();
  ASSERT_NE(slot, SLOT_NONE);
  EXPECT_EQ(subject->nStoreCurrentRecord(), slot);
  subject->PinRecordSlot(slot);
  subject->PinRecordSlot(slot);
  set(u"K", 8);
  const std::uint32_t other = subject->nStoreCurrentRecord();
  EXPECT_NE(other, slot);
  EXPECT_TRUE(subject->bReadSlotIntoImage(slot));
  subject->UnpinRecordSlot(slot);
  EXPECT_EQ(subject->pGetRecordStore()->nGetPinCount(slot), 1u);
  subject->UnpinRecordSlot(slot);
  EXPECT_EQ(subject->pGetRecordStore()->nGetPinCount(slot), 0u);
  EXPECT_FALSE(subject->bReadSlotIntoImage(SLOT_NONE));
  EXPECT_FALSE(subject->bIsStoredRecordDeleted(SLOT_NONE));
}

TEST_F(TableTest, RefusalsAndTheAvailabilityCheckNameTheirPoint) {
  KeyValueTable({});
  EXPECT_EQ(subject->bCheckAvailable(0), 1);
  EXPECT_FALSE(holder->bHasError());
  EXPECT_EQ(subject->bCheckAvailable(5), 0);
  EXPECT_EQ(holder->nGetErrorCode(), 18u);
  EXPECT_TRUE(doubles::HasIdentification(holder, 3, 14));
  holder->Clear();
  EXPECT_EQ(subject->bLockTable(1, 0), 0);
  EXPECT_TRUE(doubles::HasIdentification(holder, 3, 5));
  EXPECT_EQ(holder->nGetLevel(), 2u);
  EXPECT_EQ(holder->nGetRecordedCode(), 7u);
}

}  // namespace
