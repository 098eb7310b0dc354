// The literal and LIKE-pattern rewriting over any UTF-16 text. The first two bytes are the options (one bit each),
// the next two the escape character, the rest the text, two bytes a unit. The escaping writes at most four units
// per unit into a destination of exactly that size; unescaping never lengthens a text; the SQL literal reader's text
// is never longer than the literal. A value escaped as the condition and rewriter write data into a LIKE pattern
// (every wildcard and escape of the value escaped with a backslash) fits in two units a unit, and read as a LIKE
// pattern with that escape, holds no wildcard and exactly the value's text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/like_pattern.h"
#include "foundation/t_string.h"
#include "foundation/text_utils.h"

namespace {

struct CFreeText {
  void operator()(char16_t* text) const { FreeText(text); }
};
using HeapText = std::unique_ptr<char16_t, CFreeText>;

void Check(bool condition) {
  if (!condition) std::abort();
}

// The literal text a LIKE pattern matches with that escape; nullopt when it holds a wildcard, so matches more than
// one text, or ends with a lone escape, which the server refuses.
std::optional<std::u16string> LiteralOfPattern(const char16_t* pattern, char16_t escape) {
  std::u16string text;
  for (const char16_t* p = pattern; *p; ++p) {
    if (*p == escape) {
      if (!p[1]) return std::nullopt;
      text += *++p;
    } else if (*p == u'%' || *p == u'_') {
      return std::nullopt;
    } else {
      text += *p;
    }
  }
  return text;
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

  std::vector<char16_t> asData(2 * length + 1, u'#');
  EscapeLikePatternW(source.data(), asData.data(), 0, 0, 0, 1, 1, 1, 1, 1, u'\'', u'\\');
  const std::optional<std::u16string> literal = LiteralOfPattern(asData.data(), u'\\');
  Check(literal && *literal == std::u16string(source.data(), length));

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
  if (ReadSqlLiteralText(source.data(), bit(8), bit(9), text) == ESqlLiteralText::kText) {
    Check(text.nGetLength() <= length);
  }
  return 0;
}
