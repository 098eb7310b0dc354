// Conversions from several threads at once, in a program of its own so that the ThreadSanitizer build runs it too:
// the conversion descriptors are reused across calls, and two threads converting at once must never share one.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/code_page.h"

namespace {

std::u16string ToWide(std::uint32_t codePage, const std::string& bytes) {
  std::u16string out(bytes.size() * 2 + 2, u'\0');
  const int n = platform::MultiByteToWide(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(),
                                          static_cast<int>(out.size()));
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return out;
}

std::string ToNarrow(std::uint32_t codePage, const std::u16string& text) {
  std::string out(text.size() * 4 + 4, '\0');
  const int n = platform::WideToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                          static_cast<int>(out.size()), nullptr, nullptr);
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return out;
}

TEST(ThreadedCodePageTest, ConversionsFromManyThreadsAtOnce) {
  struct Case {
    std::uint32_t page;
    std::u16string text;
  };
  const std::vector<Case> cases = {{932, u"\u65e5\u672c\u30a2 x"}, {54936, u"\u4e2d\U0001F600\u00ff"},
                                   {949, u"\ud55c\uae00"}, {65001, u"\u00e9\U0001F600z"}};
  std::vector<std::string> expected;
  for (const Case& c : cases) {
    expected.push_back(ToNarrow(c.page, c.text));
    ASSERT_FALSE(expected.back().empty()) << c.page;
  }
  std::vector<int> mismatches(8, 0);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < mismatches.size(); ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 500; ++round) {
        const std::size_t k = (t + static_cast<std::size_t>(round)) % cases.size();
        if (ToNarrow(cases[k].page, cases[k].text) != expected[k]) ++mismatches[t];
        if (ToWide(cases[k].page, expected[k]) != cases[k].text) ++mismatches[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (std::size_t t = 0; t < mismatches.size(); ++t) EXPECT_EQ(mismatches[t], 0) << t;
}

}  // namespace
