#include "foundation/option_text.h"

#include <string_view>

int bFindOption(const CTString& text, const char16_t* key, std::size_t& keyStart, std::size_t& valueStart,
                std::size_t& valueEnd) {
  if (text.bIsEmpty() || !key || !*key) return 0;
  // The mapping is one unit for one unit, so positions in the folded copies are positions in the text.
  CTString folded(text);
  CTString foldedKey(key);
  folded.FoldCase();
  foldedKey.FoldCase();
  // Lengths are taken once: a text full of near misses must not be measured again at each of them.
  const std::u16string_view haystack(folded.pszGet(), folded.nGetLength());
  const std::u16string_view needle(foldedKey.pszGet(), foldedKey.nGetLength());
  const std::u16string_view original(text.pszGet(), haystack.size());
  const std::size_t length = original.size();
  for (std::size_t at = haystack.find(needle); at != std::u16string_view::npos; at = haystack.find(needle, at + 1)) {
    std::size_t p = at + needle.size();
    while (p < length && original[p] == u' ') ++p;
    if (p < length && original[p] == u'=') {
      ++p;
      while (p < length && original[p] == u' ') ++p;
      keyStart = at;
      valueStart = p;
      const std::size_t semicolon = original.find(u';', p);
      valueEnd = semicolon == std::u16string_view::npos ? length : semicolon;
      return 1;
    }
  }
  return 0;
}

int bExtractOption(CTString& value, int& bFound, CTString& text, const char16_t* key, int bRemove) {
  value.Empty();
  std::size_t keyStart = 0;
  std::size_t valueStart = 0;
  std::size_t valueEnd = 0;
  bFound = bFindOption(text, key, keyStart, valueStart, valueEnd);
  if (!bFound) return 1;
  if (valueEnd > valueStart) text.Mid(value, valueStart, valueEnd - valueStart);
  value.TrimRight();
  if (bRemove) {
    const std::size_t length = text.nGetLength();
    while (keyStart > 0 && text.nGetAt(keyStart - 1) == u' ') --keyStart;
    std::size_t end = valueEnd;
    while (end < length && (text.nGetAt(end) == u' ' || text.nGetAt(end) == u';')) ++end;
    text.Delete(keyStart, end - keyStart);
    std::size_t lead = 0;
    while (lead < text.nGetLength() && (text.nGetAt(lead) == u' ' || text.nGetAt(lead) == u';')) ++lead;
    text.Delete(0, lead);
  }
  return 1;
}
