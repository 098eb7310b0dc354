// The message unpacker over any packed bytes, and the insert formatter over any pattern (the runtime's message
// callback hands the driver its patterns). The first byte chooses the capacities; the rest is split at the first
// 0xFF byte: packed text before it, a UTF-16 pattern after it.
//
// Unpacking: the whole length answered is the same whatever the capacity, what a short buffer receives is a prefix
// of the whole text, and nothing is written past the capacity (the buffers are exactly that size). Inserts: a pattern
// without '%' comes back as it is, and each bare insert %1..%9 brings its own argument's text.
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "foundation/message_block.h"
#include "foundation/message_text.h"
#include "foundation/t_string.h"

namespace {

// Every argument is a text readable both as UTF-16 and as 8-bit text, so that any insert kind the pattern names reads
// something valid: the driver always passes what its own patterns name.
const char16_t kArgumentTexts[10][3] = {u"a", u"b", u"c", u"d", u"e", u"f", u"g", u"h", u"i", u"j"};

std::uint32_t Format(CTString* out, const char16_t* pattern, ...) {
  va_list arguments;
  va_start(arguments, pattern);
  const std::uint32_t produced = nFormatMessageInserts(pattern, *out, arguments);
  va_end(arguments);
  return produced;
}

#define QZ_ARG(n) kArgumentTexts[(n) % 10]
#define QZ_TEN(n) QZ_ARG(n), QZ_ARG(n + 1), QZ_ARG(n + 2), QZ_ARG(n + 3), QZ_ARG(n + 4), QZ_ARG(n + 5), \
                  QZ_ARG(n + 6), QZ_ARG(n + 7), QZ_ARG(n + 8), QZ_ARG(n + 9)

void CheckUnpacking(const std::vector<std::uint8_t>& packed, std::uint32_t smallCapacity) {
  std::vector<std::uint8_t> terminated(packed);
  terminated.push_back(0);
  const std::size_t packedLength = std::strlen(reinterpret_cast<const char*>(terminated.data()));

  // UTF-8 pass: the whole text with room to spare, then into a small buffer of exactly its capacity.
  std::vector<std::uint8_t> whole(2 * packed.size() + 8);
  std::uint32_t wholeLength = 0;
  const int wholeResult = MessageUnpacker(packed.data(), static_cast<std::uint32_t>(packed.size()), whole.data(),
                                          static_cast<std::uint32_t>(whole.size()))
                              .nUnpack(&wholeLength);
  Check(wholeResult == MESSAGE_UNPACK_DONE && wholeLength < whole.size());
  std::unique_ptr<std::uint8_t[]> small(new std::uint8_t[smallCapacity > 0 ? smallCapacity : 1]);
  std::uint32_t smallLength = 0;
  const int smallResult =
      MessageUnpacker(packed.data(), static_cast<std::uint32_t>(packed.size()), small.get(), smallCapacity)
          .nUnpack(&smallLength);
  Check(smallLength == wholeLength);
  Check(smallResult == (wholeLength < smallCapacity ? MESSAGE_UNPACK_DONE : MESSAGE_UNPACK_CUT));
  if (smallCapacity > 0) {
    const std::uint32_t kept = wholeLength < smallCapacity ? wholeLength : smallCapacity - 1;
    Check(std::memcmp(small.get(), whole.data(), kept) == 0 && small[kept] == 0);
  }

  // UTF-16 pass over the zero-terminated form.
  std::uint32_t capacity = 4 * static_cast<std::uint32_t>(packedLength) + 8;
  std::vector<char16_t> wide(capacity);
  Check(nUnpackMessage(wide.data(), &capacity, terminated.data()) == MESSAGE_UNPACK_DONE);
  const std::uint32_t units = capacity;
  std::uint32_t cut = smallCapacity;
  std::unique_ptr<char16_t[]> shortText(new char16_t[cut > 0 ? cut : 1]);
  const int cutResult = nUnpackMessage(shortText.get(), &cut, terminated.data());
  Check(cut == units && cutResult == (units < smallCapacity ? MESSAGE_UNPACK_DONE : MESSAGE_UNPACK_CUT));
  if (smallCapacity > 0) {
    const std::size_t kept = std::char_traits<char16_t>::length(shortText.get());
    Check(kept < smallCapacity && std::char_traits<char16_t>::compare(shortText.get(), wide.data(), kept) == 0);
  }
  std::unique_ptr<char16_t[]> text = pszUnpackMessage(terminated.data());
  Check(text && std::char_traits<char16_t>::length(text.get()) <= units);
}

void CheckInserts(const std::u16string& pattern) {
  CTString out;
  const std::uint32_t produced = Format(&out, pattern.c_str(), QZ_TEN(0), QZ_TEN(10), QZ_TEN(20), QZ_TEN(30),
                                        QZ_TEN(40), QZ_TEN(50), QZ_TEN(60), QZ_TEN(70), QZ_TEN(80), QZ_TEN(90));
  Check(produced == out.nGetLength());
  if (pattern.find(u'%') == std::u16string::npos) Check(out.bEquals(pattern.c_str()));
  // A bare insert with a one-digit number before a plain letter: its argument's text (%1 the first) replaces it.
  if (pattern.size() == 3 && pattern[0] == u'%' && pattern[1] >= u'1' && pattern[1] <= u'9' && pattern[2] == u'x') {
    const std::u16string expected = std::u16string(kArgumentTexts[pattern[1] - u'1']) + u"x";
    Check(out.bEquals(expected.c_str()));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint32_t smallCapacity = data[0] % 64;
  const std::uint8_t* rest = data + 1;
  const std::size_t restSize = size - 1;
  const std::uint8_t* split = static_cast<const std::uint8_t*>(std::memchr(rest, 0xFF, restSize));
  const std::size_t packedSize = split ? static_cast<std::size_t>(split - rest) : restSize;
  CheckUnpacking(std::vector<std::uint8_t>(rest, rest + packedSize), smallCapacity);
  if (split) {
    const std::size_t patternBytes = restSize - packedSize - 1;
    std::u16string pattern(patternBytes / 2, u'\0');
    std::memcpy(pattern.data(), split + 1, pattern.size() * 2);
    pattern = pattern.c_str();  // up to the first zero, as the callback's text ends
    CheckInserts(pattern);
  }
  return 0;
}
