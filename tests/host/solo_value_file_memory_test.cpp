// A value file too large for the memory there is: every allocation above 64 MB fails (the sanitizer answers null
// instead of aborting), so loading a larger file meets a runtime string that cannot be sized.
#include <gtest/gtest.h>
#include <unistd.h>

#include "foundation/error_holder.h"
#include "host/value_file.h"
#include "host/value_item.h"
#include "standin/runtime/runtime_standin.h"
#include "tests/support/bound_runtime_services.h"
#include "tests/support/file_fixture.h"

extern "C" __attribute__((visibility("default"))) const char* __asan_default_options() {
  return "allocator_may_return_null=1:max_allocation_size_mb=64";
}

namespace {

class ValueFileMemoryTest : public FileFixture {};

TEST_F(ValueFileMemoryTest, AFileTooLargeForMemoryReportsOutOfMemory) {
  CBoundRuntimeServices services;
  Put("large", "");
  ASSERT_EQ(::truncate(Path("large").c_str(), 80 << 20), 0);  // sparse: no disk is used
  CErrorHolder holder;
  CValueItem item;
  ASSERT_FALSE(bLoadValueFromFile(&item, WidePath("large").c_str(), &holder, 1));
  CXError* error = holder.pGetEmbeddedObject();
  EXPECT_EQ(error->nGetMessageAt(0), 25193u);
  EXPECT_EQ(error->nGetSystemCode(), 14u);
  EXPECT_EQ(item.Value().nGetType(), HOST_TYPE_EMPTY);
}

}  // namespace
