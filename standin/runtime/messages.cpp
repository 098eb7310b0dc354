#include <algorithm>
#include <map>
#include <mutex>

#include "standin/runtime/runtime_standin.h"

namespace qzrt {

namespace {

struct Texts {
  std::mutex mutex;
  std::map<std::uint32_t, std::u16string> byNumber;
};

Texts& TheTexts() {
  static Texts texts;
  return texts;
}

// Copies as much of the text as fits with its terminator and answers the whole length, so that a caller whose
// buffer was too small can ask again.
std::int32_t Callback(std::uint32_t message, char16_t* buffer, std::uint32_t capacity) {
  std::lock_guard lock(TheTexts().mutex);
  const auto it = TheTexts().byNumber.find(message);
  if (it == TheTexts().byNumber.end()) return 0;
  const std::u16string& text = it->second;
  if (buffer && capacity > 0) {
    const std::size_t n = std::min<std::size_t>(text.size(), capacity - 1);
    std::copy_n(text.data(), n, buffer);
    buffer[n] = 0;
  }
  return static_cast<std::int32_t>(text.size());
}

}  // namespace

MessageCallbackFn MessageCallback() { return &Callback; }

void SetMessageText(std::uint32_t message, const std::u16string& text) {
  std::lock_guard lock(TheTexts().mutex);
  TheTexts().byNumber[message] = text;
}

void ClearMessageTexts() {
  std::lock_guard lock(TheTexts().mutex);
  TheTexts().byNumber.clear();
}

}  // namespace qzrt
