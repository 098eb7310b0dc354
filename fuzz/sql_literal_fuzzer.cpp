// The literal and LIKE-pattern rewriting over any UTF-16 text. The first two bytes are the options (one bit each),
// the next two the escape character, the rest the text, two bytes a unit. The escaping writes at most four units
// per unit into a destination of exactly that size; unescaping never lengthens a text; the SQL literal reader's text
// is never longer than the literal.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "foundation/like_pattern.h"
#include "foundation/t_string.h"
#include "foundation/text_utils.h"
#include "foundation/like_pattern.h"
#include "foundation/t_string.h"

namespace {

struct CFreeText {
  void operator()(char16_t* text) const { FreeText(text); }
};
using HeapText = std::unique_ptr<char16_t, CFreeText>;

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const unsigned options = data[0] | (data[1] << 8);
  char16_t escape = 0;
  std::memcpy(&escape, data + 2, 2);
  std::vector<char16_t> source((size - 4) / 2 + 1, u'\0');
  std::memcpy(source.data(), data + 4, (source.size() - 1) * 2);
  const std::size_t length = nLengthW(source.data());
  auto bit = [&](int n) { return static_cast<int>((options >> n) & 1); };

  // Exactly four units per unit and the terminator: a write past it shows under AddressSanitizer.
  std::vector<char16_t> escaped(4 * length + 1, u'#');
  EscapeLikePatternW(source.data(), escaped.data(), bit(0), bit(1), bit(2), bit(3), bit(4), bit(5), bit(6), bit(7),
                     u'\'', escape);
  Check(nLengthW(escaped.data()) <= 4 * length);

  HeapText normalised(pszNormalizeLikePatternW(source.data(), escape));
  Check(normalised && nLengthW(normalised.get()) <= 2 * length);
  HeapText expanded(pszExpandLikePatternW(source.data(), u"%", u"[", u"]", u"_", u"CHR(", u")", escape));
  Check(expanded != nullptr);

  std::vector<char16_t> unescaped(source);
  UnescapeQuotesW(unescaped.data());
  Check(nLengthW(unescaped.data()) <= length);
  std::vector<char16_t> unescapedBoth(source);
  UnescapeBackslashQuotesW(unescapedBoth.data());
  Check(nLengthW(unescapedBoth.data()) <= length);

  CTString text;
  if (ReadSqlLiteralText(source.data(), bit(8), text) == ESqlLiteralText::kText) Check(text.nGetLength() <= length);
  return 0;
}
