// The two counts of tables and record descriptions (the driver's references and the runtime's external ones): the
// object goes when the last of both goes, and a release of a count already at 0 is refused rather than destroying
// the object a second time or under its other owner.
#include <gtest/gtest.h>

#include "engine/record/record_description.h"
#include "engine/table/table.h"
#include "tests/doubles/driver_doubles.h"

namespace {

int gnLiveDescriptions = 0;

class CountedDescription : public CRecordDescription {
 public:
  CountedDescription() : CRecordDescription(nullptr, nullptr) { ++gnLiveDescriptions; }

 protected:
  ~CountedDescription() override { --gnLiveDescriptions; }
};

TEST(CountedObjectsTest, ATableGoesWithTheLastOfItsTwoCounts) {
  const int before = doubles::gnLiveTables;
  auto* table = new doubles::TestTable(nullptr, nullptr, nullptr);
  table->AddRef();
  table->AddExternalRef();
  EXPECT_EQ(table->nRelease(), 0u);
  EXPECT_EQ(doubles::gnLiveTables, before + 1);  // the external count still holds it
  table->AddRef();
  EXPECT_EQ(table->nReleaseExternal(), 0u);
  EXPECT_EQ(table->nReleaseExternal(), 0u);  // unbalanced: nothing changes
  EXPECT_EQ(table->nGetRefCount(), 1u);
  EXPECT_EQ(doubles::gnLiveTables, before + 1);
  EXPECT_EQ(table->nRelease(), 0u);
  EXPECT_EQ(doubles::gnLiveTables, before);
}

TEST(CountedObjectsTest, AnUnbalancedReleaseLeavesARecordDescriptionAlive) {
  auto* description = new CountedDescription();
  // Neither count taken yet: releasing either must not destroy the description its creator still points at.
  EXPECT_EQ(description->nReleaseExternal(), 0u);
  EXPECT_EQ(description->nRelease(), 0u);
  EXPECT_EQ(gnLiveDescriptions, 1);
  description->AddRef();
  EXPECT_EQ(description->AddExternalRef(), 1u);
  EXPECT_EQ(description->nRelease(), 0u);
  EXPECT_EQ(gnLiveDescriptions, 1);
  EXPECT_EQ(description->nReleaseExternal(), 0u);
  EXPECT_EQ(gnLiveDescriptions, 0);
}

}  // namespace
