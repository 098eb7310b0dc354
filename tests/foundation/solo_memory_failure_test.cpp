// Memory that cannot be obtained: every allocation above 64 MB fails (the sanitizer answers null instead of
// aborting), so the failure paths of the strings, buffers, arrays and the hash table run for real.
#include <gtest/gtest.h>

#include <string>

#include "foundation/dynamic_array.h"
#include "foundation/hash_table.h"
#include "foundation/t_string.h"
#include "foundation/text_buffer.h"

extern "C" __attribute__((visibility("default"))) const char* __asan_default_options() { return "allocator_may_return_null=1:max_allocation_size_mb=64"; }

namespace {

constexpr std::uint32_t kTooMany = 100'000'000;  // elements whose block passes the limit

TEST(MemoryFailureTest, HashTableLeavesNothingStale) {
  CHashTable table(kTooMany);
  EXPECT_EQ(table.nGetCapacity(), 0u);
  EXPECT_EQ(table.nGetBucketCount(), 0u);
  EXPECT_EQ(table.nGetCount(), 0u);
  EXPECT_EQ(table.bLookup(1, nullptr, nullptr), 0);
  EXPECT_EQ(table.pFindValue(1), nullptr);
  std::uint32_t position = 0;
  EXPECT_EQ(table.bIterate(position, 0, nullptr, nullptr), 0);
  // The table recovers from the smallest size on.
  ASSERT_EQ(table.bInsert(1, 10), 1);
  EXPECT_EQ(table.nGetBucketCount(), 53u);
  std::uint64_t value = 0;
  EXPECT_EQ(table.bLookup(1, &value, nullptr), 1);
  EXPECT_EQ(value, 10u);
}

TEST(MemoryFailureTest, StringsAndBuffersKeepTheirText) {
  CTString s(u"text");
  s.SetLength(kTooMany);
  EXPECT_TRUE(s.bIsEmpty());  // a failed allocation leaves the string empty, never half-sized
  EXPECT_EQ(s.nGetLength(), 0u);
  s.Assign(u"again");
  EXPECT_EQ(std::u16string(s.pszGet()), u"again");

  CTextBufferW buffer(16);
  buffer.AppendText(u"kept");
  EXPECT_FALSE(buffer.Reserve(kTooMany));
  std::u16string big(1, u'x');
  buffer.ReplaceRange(0, 0, big.data(), kTooMany);  // would need far more than the limit
  EXPECT_EQ(std::u16string(buffer.pszGetText()), u"kept");

  CDynamicArray array(8, 1);
  const std::uint64_t element = 7;
  EXPECT_EQ(array.SetAll(&element, kTooMany), 0);
  EXPECT_EQ(array.nGetCount(), 0u);
  EXPECT_EQ(array.Add(&element), 1);
}

}  // namespace
