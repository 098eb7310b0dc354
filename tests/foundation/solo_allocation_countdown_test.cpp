// Memory that cannot be obtained, in any build: each scenario runs with its Nth allocation failing for every N until
// it needs no failure, and each run must end in success or in a clean failure, with nothing leaked and nothing
// half-changed.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/dynamic_array.h"
#include "foundation/error_holder.h"
#include "foundation/hash_table.h"
#include "foundation/string_list.h"
#include "foundation/t_string.h"
#include "foundation/text_buffer.h"
#include "foundation/x_error.h"
#include "foundation/message_text.h"
#include "tests/support/countdown_allocator.h"

namespace {

using countdown::CPause;
using countdown::nRunUntilDone;

std::u16string Text(const CTString& s) { return s.pszGet(); }

TEST(MemoryFailureTest, HashTableLeavesNothingStale) {
  const std::uint64_t runs = nRunUntilDone([] {
    CHashTable table(7);
    std::vector<std::uint64_t> held;
    {
      CPause pause;
      held.reserve(200);
      if (table.nGetCapacity() == 0) {  // the table could not be made: it is empty and answers nothing
        EXPECT_EQ(table.nGetBucketCount(), 0u);
        EXPECT_EQ(table.bLookup(1, nullptr, nullptr), 0);
        EXPECT_EQ(table.pFindValue(1), nullptr);
        std::uint32_t position = 0;
        EXPECT_EQ(table.bIterate(position, 0, nullptr, nullptr), 0);
      }
    }
    // Growth past several primes; a refused insert leaves every entry held before it, and the table recovers.
    for (std::uint64_t key = 1; key <= 200; ++key) {
      const int inserted = table.bInsert(key, key * 10);
      CPause pause;
      if (inserted) held.push_back(key);
      ASSERT_EQ(table.nGetCount(), held.size()) << "key " << key;
      ASSERT_EQ(table.pFindValue(key) != nullptr, inserted != 0) << "key " << key;
    }
    CPause pause;
    EXPECT_GE(held.size(), 199u);  // one failure costs one insert at most
    for (std::uint64_t key : held) {
      std::uint64_t value = 0;
      ASSERT_EQ(table.bLookup(key, &value, nullptr), 1) << "key " << key;
      EXPECT_EQ(value, key * 10);
    }
    std::uint32_t position = 0;
    std::uint32_t visited = 0;
    while (table.bIterate(position, 0, nullptr, nullptr)) ++visited;
    EXPECT_EQ(visited, held.size());
  });
  EXPECT_GE(runs, 8u);
}

TEST(MemoryFailureTest, StringsAndBuffersKeepTheirText) {
  // A string that cannot get its buffer is left empty, never half-sized.
  const std::uint64_t strings = nRunUntilDone([] {
    CTString s(u"text");
    {
      CPause pause;
      EXPECT_TRUE(Text(s) == u"text" || s.bIsEmpty());
      s.Assign(u"text");
    }
    s.Append(u" and more");
    {
      CPause pause;
      EXPECT_TRUE(Text(s) == u"text and more" || s.bIsEmpty()) << std::string(Text(s).begin(), Text(s).end());
      s.Assign(u"text and more");
    }
    s.SetLength(20);
    {
      CPause pause;
      EXPECT_TRUE(s.nGetLength() == 13 || s.bIsEmpty());
      if (!s.bIsEmpty()) {
        EXPECT_EQ(Text(s), u"text and more");
      }
    }
    CTString copy(s);
    CPause pause;
    EXPECT_TRUE(Text(copy) == Text(s) || copy.bIsEmpty());
  });
  EXPECT_GE(strings, 4u);

  // A buffer that cannot grow keeps its text and the append does nothing.
  const std::uint64_t buffers = nRunUntilDone([] {
    CTextBufferW buffer(4);
    std::u16string expected;
    for (const char16_t* piece : {u"kept", u" and a longer piece", u"", u" and one more to grow it again"}) {
      buffer.AppendText(piece);
      CPause pause;
      const std::u16string now = buffer.pszGetText();
      ASSERT_TRUE(now == expected + piece || now == expected);
      expected = now;
    }
    std::u16string wide;
    {
      CPause pause;
      wide.assign(200, u'w');
    }
    buffer.ReplaceRange(4, 0, wide.data(), wide.size());
    CPause pause;
    const std::u16string now = buffer.pszGetText();
    EXPECT_TRUE(now == expected.substr(0, 4) + wide + expected.substr(4) || now == expected);
    EXPECT_EQ(buffer.nGetLength(), now.size());
  });
  EXPECT_GE(buffers, 3u);

  // An array that cannot grow stays as it was and the adding call answers 0.
  const std::uint64_t arrays = nRunUntilDone([] {
    CDynamicArray array(8, 1);
    const std::uint64_t seven = 7;
    const int set = array.SetAll(&seven, 40);
    {
      CPause pause;
      ASSERT_EQ(array.nGetCount(), set ? 40u : 0u);
    }
    std::uint32_t count = array.nGetCount();
    for (std::uint64_t value = 100; value < 250; ++value) {
      const int added = array.Add(&value);
      CPause pause;
      count += added ? 1 : 0;
      ASSERT_EQ(array.nGetCount(), count);
      if (added) {
        ASSERT_EQ(*static_cast<std::uint64_t*>(array.pGetAt(count - 1)), value);
      }
    }
    array.ShrinkToFit();
    CPause pause;
    EXPECT_EQ(array.nGetCount(), count);
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint64_t value = *static_cast<std::uint64_t*>(array.pGetAt(i));
      ASSERT_TRUE(value == 7 || (value >= 100 && value < 250)) << i;
    }
  });
  EXPECT_GE(arrays, 3u);
}

TEST(MemoryFailureTest, StringListsAddWholeStringsOrNone) {
  const std::uint64_t runs = nRunUntilDone([] {
    CStringList list(2);
    std::vector<std::u16string> expected;
    const auto matches = [&] {
      CPause pause;
      if (list.nGetCount() != expected.size()) return false;
      for (std::uint32_t i = 0; i < list.nGetCount(); ++i) {
        if (Text(*list.pGetAt(i)) != expected[i]) return false;
      }
      return true;
    };
    for (const char16_t* text : {u"alpha", u"beta", u"gamma", u"delta", u"epsilon"}) {
      if (list.nAdd(text)) {
        CPause pause;
        expected.emplace_back(text);
      }
      ASSERT_TRUE(matches());
    }
    if (list.InsertAt(u"first", 0)) {
      CPause pause;
      expected.insert(expected.begin(), u"first");
    }
    ASSERT_TRUE(matches());
    if (list.SetAt(u"second", 1)) {
      CPause pause;
      expected[1] = u"second";
    }
    ASSERT_TRUE(matches());
    CTString joined;
    if (list.bJoin(joined, u",")) {
      CPause pause;
      std::u16string all;
      for (const std::u16string& text : expected) all += (all.empty() ? u"" : u",") + text;
      EXPECT_EQ(Text(joined), all);
    }
  });
  EXPECT_GE(runs, 10u);
}

std::int32_t MessageTexts(std::uint32_t message, char16_t* buffer, std::uint32_t capacity) {
  CPause pause;  // the runtime's memory, not the driver's
  const std::u16string text = message == 28432 ? u"Table %1 missing" : message == 28437 ? u"Operation not available" : u"";
  if (text.empty()) return 0;
  const std::size_t n = std::min<std::size_t>(text.size(), capacity - 1);
  std::copy_n(text.data(), n, buffer);
  buffer[n] = 0;
  return static_cast<std::int32_t>(text.size());
}

// The holder keeps the code of the first failure whatever memory it lacked for the texts, and a clone is made with
// that code or not at all.
TEST(MemoryFailureTest, ErrorsAndTheirHolderRecordTheFailure) {
  gpfnHostMessageCallback = MessageTexts;
  const std::uint64_t runs = nRunUntilDone([] {
    auto* holder = new (std::nothrow) CErrorHolder();
    if (!holder) return;
    holder->AddRef();
    holder->RaiseError(3, ERROR_UNIT_DRIVER, 4, nullptr, 7, u"T1");
    holder->RaiseError(9, ERROR_UNIT_DRIVER, 5, nullptr, 8);
    CHashTable cloneMap;
    CErrorHolder* clone = holder->pClone(cloneMap);
    if (clone) clone->AddRef();  // a clone comes without a reference, as a new holder does
    {
      CPause pause;
      EXPECT_EQ(holder->nGetRecordedCode(), 3u);
      EXPECT_EQ(holder->nGetErrorCode(), 7u);
      // A message that could not be loaded is missing; one that is there is whole.
      const std::u16string message = holder->pszGetUserMessage();
      for (std::size_t start = 0; start < message.size();) {
        const std::size_t end = std::min(message.find(u"\r\n", start), message.size());
        const std::u16string line = message.substr(start, end - start);
        EXPECT_TRUE(line == u"Table T1 missing" || line == u"Operation not available") << line.size();
        start = end + 2;
      }
      if (clone) {
        EXPECT_EQ(clone->nGetRecordedCode(), 3u);
        EXPECT_EQ(clone->nGetErrorCode(), 7u);
      }
    }
    if (clone) clone->nRelease();
    holder->nRelease();
  });
  gpfnHostMessageCallback = nullptr;
  EXPECT_GE(runs, 3u);
}

}  // namespace
