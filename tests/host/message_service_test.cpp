// CommandeComposante as the runtime calls it: installing its callback, asking texts and attributes by number.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/message_text.h"
#include "foundation/t_string.h"

extern "C" std::intptr_t CommandeComposante(std::intptr_t command, std::intptr_t argument);

namespace {

struct Request {
  std::uint32_t unused = 0;
  std::uint32_t message = 0;
  char16_t* buffer = nullptr;
  std::uint32_t capacity = 0;
  std::int32_t result = -99;
};

// A block text with a non-ASCII character, so that UTF-8 bytes and UTF-16 units differ.
constexpr std::uint32_t kBlockMessage = 25193;
const std::u16string kBlockText = u"Mémoire insuffisante pour terminer l'opération.";

struct CallbackLog {
  std::vector<std::uint32_t> capacities;
  std::int32_t answer = 0;
  std::u16string text;
};
CallbackLog gLog;

std::int32_t Callback(std::uint32_t, char16_t* buffer, std::uint32_t capacity) {
  gLog.capacities.push_back(capacity);
  if (gLog.text.empty()) return gLog.answer;
  const std::size_t n = std::min<std::size_t>(gLog.text.size(), capacity);
  std::copy_n(gLog.text.data(), n, buffer);
  if (n < capacity) buffer[n] = 0;
  return static_cast<std::int32_t>(gLog.text.size());
}

class MessageService : public ::testing::Test {
 protected:
  void SetUp() override { gLog = {}; }
  void TearDown() override { CommandeComposante(2, 0); }

  static std::int32_t Ask(std::uint32_t message, char16_t* buffer, std::uint32_t capacity, Request* out = nullptr) {
    Request request;
    request.message = message;
    request.buffer = buffer;
    request.capacity = capacity;
    const auto answer = static_cast<std::int32_t>(CommandeComposante(3, reinterpret_cast<std::intptr_t>(&request)));
    EXPECT_EQ(answer, request.result);
    if (out) *out = request;
    return answer;
  }
};

TEST_F(MessageService, BlockTextsWithoutCallback) {
  char16_t buffer[128];
  EXPECT_EQ(Ask(kBlockMessage, buffer, 128), static_cast<std::int32_t>(kBlockText.size()));
  EXPECT_EQ(std::u16string(buffer), kBlockText);

  // Cut: capacity - 1, and nothing past the buffer.
  char16_t small[11];
  small[10] = u'#';
  EXPECT_EQ(Ask(kBlockMessage, small, 10), 9);
  EXPECT_EQ(small[10], u'#');
  EXPECT_LE(std::u16string(small).size(), 9u);

  EXPECT_EQ(Ask(4242, buffer, 128), 0) << "no record";
  char16_t untouched = u'#';
  EXPECT_EQ(Ask(kBlockMessage, &untouched, 0), 0) << "no room at all";
  EXPECT_EQ(untouched, u'#');

  EXPECT_EQ(CommandeComposante(4, kBlockMessage), 3);
  EXPECT_EQ(CommandeComposante(4, 4242), -1);
  EXPECT_EQ(CommandeComposante(7, 0), 0);
  EXPECT_EQ(CommandeComposante(3, 0), 0);
}

TEST_F(MessageService, CallbackFirstThenBlock) {
  EXPECT_EQ(CommandeComposante(2, reinterpret_cast<std::intptr_t>(&Callback)), 1);
  char16_t buffer[64];
  gLog.answer = 0;  // the runtime has no text: the block answers
  EXPECT_EQ(Ask(kBlockMessage, buffer, 64), static_cast<std::int32_t>(kBlockText.size()));
  EXPECT_EQ(gLog.capacities, (std::vector<std::uint32_t>{64}));

  gLog.text = u"runtime text";
  EXPECT_EQ(Ask(kBlockMessage, buffer, 64), 12);
  EXPECT_EQ(std::u16string(buffer), u"runtime text");

  // The attribute always comes from the block.
  EXPECT_EQ(CommandeComposante(4, kBlockMessage), 3);
}

TEST_F(MessageService, LongRuntimeTextIsAskedTwice) {
  CommandeComposante(2, reinterpret_cast<std::intptr_t>(&Callback));
  gLog.text = std::u16string(300, u'x');
  gLog.text[299] = u'y';
  CTString text;
  ASSERT_EQ(nLoadHostMessage(1, text), 1);
  EXPECT_EQ(gLog.capacities, (std::vector<std::uint32_t>{256, 300}));
  EXPECT_EQ(text.nGetLength(), 300u);
  EXPECT_EQ(text.nGetAt(299), u'y');

  gLog.text.clear();
  gLog.answer = -1;
  EXPECT_EQ(nLoadHostMessage(1, text), 0);
}

}  // namespace
