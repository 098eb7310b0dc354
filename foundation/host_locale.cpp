#include "foundation/host_locale.h"

#include "foundation/text_utils.h"

namespace {

char16_t FallbackFold(char16_t unit) { return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 32) : unit; }

}  // namespace

std::uint32_t nGetHostCharset() {
  if (!gpHostLocale) return 0;
  const std::int32_t charset = gpHostLocale->nGetCharset();
  return charset == 127 ? 0 : static_cast<std::uint32_t>(charset);
}

std::uint32_t nGetHostLanguageId() {
  return gpHostLocale ? static_cast<std::uint32_t>(gpHostLocale->nGetLanguageId()) : 0;
}

void MapCharsThroughHost(char16_t* text) {
  for (; text && *text; ++text) {
    if (!gpHostLocale) {
      *text = FallbackFold(*text);
      continue;
    }
    char16_t mapped = *text;
    if (gpHostLocale->nMapString(1, text, 1, &mapped, 1) == 1) *text = mapped;
  }
}

std::int32_t nHostCompareNoCase(const char16_t* a, const char16_t* b) {
  if (!a) a = u"";
  if (!b) b = u"";
  if (gpHostLocale) {
    return gpHostLocale->nCompareStrings(HOST_LOCALE_USER_DEFAULT, HOST_COMPARE_IGNORE_CASE_AND_MARKS, a, -1, b, -1);
  }
  for (;; ++a, ++b) {
    const char16_t x = FallbackFold(*a);
    const char16_t y = FallbackFold(*b);
    if (x != y) return x < y ? -1 : 1;
    if (!x) return 0;
  }
}

std::int32_t HostMapStringFrench(std::intptr_t, char16_t* out, std::int32_t size, const char16_t* source) {
  if (!source) source = u"";
  if (gpHostLocale) {
    return gpHostLocale->nMapStringForLanguage(HOST_LANGUAGE_FRENCH, HOST_COMPARE_IGNORE_CASE_AND_MARKS, out, size,
                                               source);
  }
  const std::size_t length = nLengthW(source);
  if (!out || size < 1 || length + 1 > static_cast<std::size_t>(size)) return 0;
  for (std::size_t i = 0; i < length; ++i) out[i] = FallbackFold(source[i]);
  out[length] = 0;
  return static_cast<std::int32_t>(length + 1);
}
