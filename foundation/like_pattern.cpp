#include "foundation/like_pattern.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>

#include "foundation/t_string.h"
#include "foundation/text_utils.h"

namespace {

// Temporaries below this many bytes live on the stack.
constexpr std::size_t kStackBytes = 2048;

// A scratch text of n units: the stack array when it is small enough, else the heap.
template <class Unit>
class CScratchText {
 public:
  explicit CScratchText(std::size_t n) {
    if (n * sizeof(Unit) < kStackBytes) {
      m_psz = m_stack;
    } else {
      if constexpr (sizeof(Unit) == 1) {
        m_pHeap = pszAllocA(n);
      } else {
        m_pHeap = pszAllocW(n);
      }
      m_psz = m_pHeap;
    }
  }
  ~CScratchText() { FreeText(m_pHeap); }
  CScratchText(const CScratchText&) = delete;
  CScratchText& operator=(const CScratchText&) = delete;
  Unit* psz() const { return m_psz; }

 private:
  Unit m_stack[kStackBytes / sizeof(Unit)];
  Unit* m_pHeap = nullptr;
  Unit* m_psz = nullptr;
};

template <class Unit>
std::size_t nUnits(const Unit* text) {
  std::size_t n = 0;
  while (text && text[n]) ++n;
  return n;
}

char16_t* Put(char16_t* out, const char16_t* text) {
  for (; text && *text; ++text) *out++ = *text;
  return out;
}

template <class Unit>
void EscapeLikePattern(const Unit* source, Unit* destination, int bDoubleQuotes, int bDoubleBackslashes,
                       int bEscapePercent, int bEscapeUnderscore, int bEscapeEscapedPercent, int bEscapeEscapedUnderscore,
                       int bDoubleEscapedEscape, Unit quote, Unit escape) {
  Unit* out = destination;
  for (const Unit* p = source; p && *p; ++p) {
    const Unit c = *p;
    if (c == quote) {
      *out++ = quote;
      if (bDoubleQuotes) *out++ = quote;
    } else if (c == escape) {
      const Unit n = p[1];
      if (n == '%' || n == '_') {
        const bool escaped = n == '%' ? bEscapeEscapedPercent : bEscapeEscapedUnderscore;
        const bool plain = n == '%' ? bEscapePercent : bEscapeUnderscore;
        *out++ = escape;
        if (escaped) {
          *out++ = escape;
          if (plain) *out++ = escape;
        }
        *out++ = n;
        ++p;
      } else if (n == escape) {
        *out++ = escape;
        *out++ = escape;
        if (bDoubleEscapedEscape) {
          *out++ = escape;
          *out++ = escape;
        }
        ++p;
      } else {
        // A lone escape character is doubled so that it stands for itself.
        *out++ = escape;
        *out++ = escape;
      }
    } else if (c == '\\' && bDoubleBackslashes) {
      *out++ = '\\';
      *out++ = '\\';
    } else if (c == '%' && bEscapePercent) {
      *out++ = escape;
      *out++ = '%';
    } else if (c == '_' && bEscapeUnderscore) {
      *out++ = escape;
      *out++ = '_';
    } else {
      *out++ = c;
    }
  }
  *out = 0;
}

template <class Unit>
void UnescapeQuotes(Unit* text) {
  if (!text) return;
  std::size_t length = nUnits(text);
  // A lone "''" is the empty literal as written, not a doubled quote.
  if (length == 2 && text[0] == '\'' && text[1] == '\'') return;
  // Backwards, so that a removal never shifts what is still to be read; i stops at 1 so that the first unit is only
  // ever the first of a pair.
  for (std::size_t i = length; i-- > 1;) {
    if (text[i] == '\'' && (text[i - 1] == '\'' || text[i - 1] == '\\')) {
      std::memmove(text + i - 1, text + i, (length - i + 1) * sizeof(Unit));
      --length;
      if (i-- == 1) break;  // the scan continues before the removed unit
    }
  }
}

}  // namespace

void EscapeLikePatternW(const char16_t* source, char16_t* destination, int bDoubleQuotes, int bDoubleBackslashes,
                        int /*unused*/, int bEscapePercent, int bEscapeUnderscore, int bEscapeEscapedPercent,
                        int bEscapeEscapedUnderscore, int bDoubleEscapedEscape, char16_t quote, char16_t escape) {
  EscapeLikePattern(source, destination, bDoubleQuotes, bDoubleBackslashes, bEscapePercent, bEscapeUnderscore,
                    bEscapeEscapedPercent, bEscapeEscapedUnderscore, bDoubleEscapedEscape, quote, escape);
}

void EscapeLikePatternA(const char* source, char* destination, char escape) {
  EscapeLikePattern<char>(source, destination, 0, 0, 0, 0, 0, 0, 0, '\'', escape);
}

void UnescapeQuotesW(char16_t* text) { UnescapeQuotes(text); }
void UnescapeQuotesA(char* text) { UnescapeQuotes(text); }

char16_t* pszNormalizeLikePatternW(const char16_t* pattern, char16_t escape) {
  // With every option off a unit becomes at most two.
  CScratchText<char16_t> temporary(2 * nLengthW(pattern) + 1);
  if (!temporary.psz()) return nullptr;
  EscapeLikePattern<char16_t>(pattern, temporary.psz(), 0, 0, 0, 0, 0, 0, 0, u'\'', escape);
  return pszDupW(temporary.psz());
}

char* pszNormalizeLikePatternA(const char* pattern, char escape) {
  CScratchText<char> temporary(2 * nUnits(pattern) + 1);
  if (!temporary.psz()) return nullptr;
  EscapeLikePatternA(pattern, temporary.psz(), escape);
  return pszDupA(temporary.psz());
}

char16_t* pszExpandLikePatternW(const char16_t* pattern, const char16_t* percentText, const char16_t* percentPrefix,
                                const char16_t* percentSuffix, const char16_t* underscoreText,
                                const char16_t* underscorePrefix, const char16_t* underscoreSuffix, char16_t escape) {
  if (!pattern) pattern = u"";
  const std::size_t percent = nLengthW(percentPrefix) + nLengthW(percentText) + nLengthW(percentSuffix);
  const std::size_t underscore = nLengthW(underscorePrefix) + nLengthW(underscoreText) + nLengthW(underscoreSuffix);
  // Sized for the worst case: every escape sequence expanded (a sequence is two units, so at least one per unit).
  std::size_t units = 1;
  for (const char16_t* p = pattern; *p; ++p) units += 1 + (percent > underscore ? percent : underscore);
  CScratchText<char16_t> temporary(units);
  if (!temporary.psz()) return nullptr;
  char16_t* out = temporary.psz();
  for (const char16_t* p = pattern; *p; ++p) {
    if (*p != escape) {
      *out++ = *p;
    } else if (p[1] == u'%') {
      out = Put(Put(Put(out, percentPrefix), percentText), percentSuffix);
      ++p;
    } else if (p[1] == u'_') {
      out = Put(Put(Put(out, underscorePrefix), underscoreText), underscoreSuffix);
      ++p;
    } else if (p[1] == escape) {
      *out++ = escape;
      ++p;
    } else {
      *out++ = escape;
    }
  }
  *out = 0;
  return pszDupW(temporary.psz());
}

void UndoubleBackslashesW(char16_t* text) {
  if (!text) return;
  char16_t* out = text;
  for (const char16_t* p = text; *p; ++p) {
    *out++ = *p;
    if (*p == u'\\' && p[1] == u'\\') ++p;
  }
  *out = 0;
}

void UnescapeBackslashQuotesW(char16_t* text) {
  UndoubleBackslashesW(text);
  UnescapeQuotesW(text);
}

ESqlLiteralText ReadSqlLiteralText(const char16_t* literal, bool emptyIsNull, bool backslashEscapes, CTString& out) {
  if (!literal) return ESqlLiteralText::kNull;
  const std::size_t length = std::char_traits<char16_t>::length(literal);
  out = literal;
  // A text memory cut short would read as another literal (an empty one as NULL).
  if (out.nGetLength() != length) return ESqlLiteralText::kRefused;
  if (out.bEqualsNoCase(u"NULL")) return ESqlLiteralText::kNull;
  if (out.bIsEmpty()) return emptyIsNull ? ESqlLiteralText::kNull : ESqlLiteralText::kEmpty;
  // Only a text opening and closing with a quote is a quoted literal; a lone quote stays a character.
  if (length >= 2 && literal[0] == u'\'' && literal[length - 1] == u'\'') {
    std::unique_ptr<char16_t, void (*)(void*)> units(pszDupNW(length - 2, literal + 1), FreeText);
    if (!units) return ESqlLiteralText::kRefused;
    if (backslashEscapes) {
      UnescapeBackslashQuotesW(units.get());
    } else {
      // A backslash is a character of the text like any other: only a doubled quote stands for one.
      char16_t* to = units.get();
      for (const char16_t* from = to; *from; ++from) {
        *to++ = *from;
        if (*from == u'\'' && from[1] == u'\'') ++from;
      }
      *to = 0;
    }
    out = units.get();
    if (out.nGetLength() != std::char_traits<char16_t>::length(units.get())) return ESqlLiteralText::kRefused;
  }
  return ESqlLiteralText::kText;
}
