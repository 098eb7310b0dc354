// Filter holders and the condition references that statements keep of them: which filters match, the started flag
// that Set keeps and Assign copies, and copies that stay of the filter's class.
#include "sql/conditions/filter_holder.h"

#include <gtest/gtest.h>

#include "foundation/hash_table.h"
#include "tests/engine/field_value_fixture.h"

namespace {

class FilterTest : public CFieldValueFixture {
 protected:
  void TearDown() override {
    for (CFilterHolder* filter : filters) filter->nRelease();
    CFieldValueFixture::TearDown();
  }
  CFilterHolder* Filter(bool started, std::int32_t value = 5) {
    auto* filter = new CFilterHolder(holder, connection);
    filter->AddRef();
    filters.push_back(filter);
    if (started) filter->SetFirstStage();
    Make(filter->SearchValue(), HOST_TYPE_INT32, value);
    return filter;
  }
  // Whether the key condition's destructor gives back what a copy takes (its placeholder gives back nothing).
  std::vector<CFilterHolder*> filters;
};

TEST_F(FilterTest, AnUnstartedFilterMatchesNoFilter) {
  CFilterHolder* unstarted = Filter(false);
  CConditionRef ref;
  ref.Set(unstarted);
  EXPECT_EQ(ref.pGetFilter(), unstarted);
  EXPECT_EQ(unstarted->nGetRefCount(), 2u);
  EXPECT_EQ(ref.bGetStarted(), 0u);
  EXPECT_TRUE(ref.bMatches(Filter(false, 99))) << "unstarted filters restrict nothing, whatever they hold";
  EXPECT_TRUE(ref.bMatches(nullptr));
  EXPECT_FALSE(ref.bMatches(Filter(true)));
  ref.Release();
  EXPECT_EQ(unstarted->nGetRefCount(), 1u);
  EXPECT_EQ(ref.pGetFilter(), nullptr);
}

TEST_F(FilterTest, AStartedFilterMatchesAnEqualOneUntilItsValueChanges) {
  CFilterHolder* started = Filter(true);
  CFilterHolder* twin = Filter(true);
  CConditionRef ref;
  ref.Set(started);
  EXPECT_EQ(ref.bGetStarted(), 1u);
  EXPECT_TRUE(ref.bMatches(started));
  EXPECT_TRUE(ref.bMatches(twin));
  EXPECT_FALSE(ref.bMatches(nullptr));
  EXPECT_FALSE(ref.bMatches(Filter(false)));
  Make(twin->SearchValue(), HOST_TYPE_INT32, 6);
  EXPECT_FALSE(ref.bMatches(twin));
  Make(started->SearchValue(), HOST_TYPE_INT32, 6);
  EXPECT_TRUE(ref.bMatches(twin)) << "the reference compares with the filter as it is now";
}

TEST_F(FilterTest, SetKeepsTheStartedFlagAndAssignCopiesIt) {
  CFilterHolder* filter = Filter(false);
  CConditionRef ref;
  ref.Set(filter);
  filter->SetFirstStage();
  ref.Set(filter);
  EXPECT_EQ(ref.bGetStarted(), 0u) << "the filter held already: nothing changes";
  EXPECT_EQ(filter->nGetRefCount(), 2u);
  EXPECT_FALSE(ref.bMatches(filter));

  CConditionRef saved;
  saved.Assign(ref);
  EXPECT_EQ(saved.pGetFilter(), filter);
  EXPECT_EQ(filter->nGetRefCount(), 3u);
  EXPECT_EQ(saved.bGetStarted(), 0u) << "Assign copies the flag, not the filter's state";

  CConditionRef fresh;
  fresh.Set(filter);
  saved.Assign(fresh);
  EXPECT_EQ(saved.bGetStarted(), 1u) << "Assign updates the flag of the filter it holds already";

  ref.Set(nullptr);
  EXPECT_EQ(ref.bGetStarted(), 0u);
  EXPECT_EQ(filter->nGetRefCount(), 3u);
}

TEST_F(FilterTest, FiltersMatchByPresenceStateAndContent) {
  CFilterHolder* unstarted = Filter(false);
  CFilterHolder* started = Filter(true);
  EXPECT_TRUE(bFiltersMatch(nullptr, nullptr));
  EXPECT_TRUE(bFiltersMatch(unstarted, nullptr));
  EXPECT_TRUE(bFiltersMatch(nullptr, unstarted));
  EXPECT_FALSE(bFiltersMatch(started, nullptr));
  EXPECT_FALSE(bFiltersMatch(nullptr, started));
  EXPECT_TRUE(bFiltersMatch(started, started));
  EXPECT_FALSE(bFiltersMatch(started, unstarted)) << "stages differ";
}

TEST_F(FilterTest, CopiesAreFilterHolders) {
  CFilterHolder* filter = Filter(true);
  CKeyCondition* empty = filter->pNew();
  ASSERT_NE(dynamic_cast<CFilterHolder*>(empty), nullptr);
  empty->AddRef();
  empty->nRelease();

  CKeyCondition* clone = static_cast<CKeyCondition*>(filter)->pClone();
  ASSERT_NE(dynamic_cast<CFilterHolder*>(clone), nullptr) << "through the base's clone place";
  clone->AddRef();
  CConditionRef ref;
  ref.Set(filter);
  EXPECT_TRUE(ref.bMatches(static_cast<CFilterHolder*>(clone)));
  clone->nRelease();

  CHashTable map;
  CKeyCondition* copy = filter->pNewWithArgs(filter, map, 0, 0);
  ASSERT_NE(dynamic_cast<CFilterHolder*>(copy), nullptr);
  copy->AddRef();
  EXPECT_TRUE(ref.bMatches(static_cast<CFilterHolder*>(copy)));
  copy->nRelease();
}

}  // namespace
