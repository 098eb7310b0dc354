// Records with memory that cannot be obtained: a copy of a record's large values ends in success with every value
// or in the out-of-memory error, and the same record copies whole once memory is back.
#include <gtest/gtest.h>

#include "engine/record/record.h"
#include "engine/values/field_value.h"
#include "engine/values/value_row.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/x_error.h"
#include "tests/engine/field_value_fixture.h"
#include "tests/support/countdown_allocator.h"

namespace {

using countdown::CPause;
using countdown::nRunUntilDone;

class RecordMemoryTest : public CFieldValueFixture {};

TEST_F(RecordMemoryTest, LargeValuesCopyWholeOrFailWithOutOfMemory) {
  CRecord* source = new CRecord(holder);
  source->AddRef();
  for (std::uint32_t i = 0; i < 2; ++i) {
    CFieldValue* value = new CFieldValue(holder, connection);
    value->AddRef();
    value->InitType(HOST_TYPE_TEXT, 0);
    ASSERT_TRUE(value->bSetWideText(i == 0 ? u"first large value" : u"second", FIELD_LENGTH_TERMINATED));
    ASSERT_TRUE(source->bSetLargeValue(i, value));
    value->nRelease();
  }
  // The first error raised loads the message texts every later one shares: before the counting.
  SetHolderOutOfMemory(holder);
  holder->Clear();
  std::uint64_t failures = 0;
  nRunUntilDone([&] {
    CRecord* target = nullptr;
    {
      CPause pause;
      target = new CRecord(holder);
      target->AddRef();
      holder->Clear();
    }
    const int copied = target->bCopyFrom(source, RECORD_PART_LARGE_VALUES);
    CPause pause;
    if (!copied) {
      ++failures;
      EXPECT_EQ(holder->pGetEmbeddedObject()->nGetSystemCode(), 14u) << "out of memory";
      holder->Clear();
      ASSERT_TRUE(target->bCopyFrom(source, RECORD_PART_LARGE_VALUES)) << "the same record, memory back";
    }
    ASSERT_NE(target->pGetLargeValues(), nullptr);
    EXPECT_EQ(target->pGetLargeValues()->nGetCount(), 2u);
    EXPECT_TRUE(bValueRowsEqual(target->pGetLargeValues(), source->pGetLargeValues()));
    target->nRelease();
    holder->Clear();  // the error's texts were made while counting
  });
  EXPECT_GT(failures, 0u);
  source->nRelease();
}

}  // namespace
