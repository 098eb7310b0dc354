#include "foundation/like_pattern.h"

#include <cstddef>
#include <cstring>
#include <memory>

#include "foundation/t_string.h"
#include "foundation/text_utils.h"

namespace {

// Temporaries below this many bytes live on the stack.
constexpr std::size_t kStackBytes = 2048;

// A scratch text of n units: the stack array when it is small enough, else the heap.
class CScratchText {
 public:
  explicit CScratchText(std::size_t n) {
    if (n * sizeof(char16_t) < kStackBytes) {
      m_psz = m_stack;
    } else {
      m_pHeap = pszAllocW(n);
      m_psz = m_pHeap;
    }
  }
  ~CScratchText() { FreeText(m_pHeap); }
  CScratchText(const CScratchText&) = delete;
  CScratchText& operator=(const CScratchText&) = delete;
  char16_t* psz() const { return m_psz; }

 private:
  char16_t m_stack[kStackBytes / sizeof(char16_t)];
  char16_t* m_pHeap = nullptr;
  char16_t* m_psz = nullptr;
};

char16_t* Put(char16_t* out, const char16_t* text) {
  for (; text && *text; ++text) *out++ = *text;
  return out;
}

}  // namespace

void EscapeLikePatternW(const char16_t* source, char16_t* destination, int bDoubleQuotes, int bDoubleBackslashes,
                        int /*unused*/, int bEscapePercent, int bEscapeUnderscore, int bEscapeEscapedPercent,
                        int bEscapeEscapedUnderscore, int bDoubleEscapedEscape, char16_t quote, char16_t escape) {
  char16_t* out = destination;
  for (const char16_t* p = source ? source : u""; *p; ++p) {
    const char16_t c = *p;
    if (c == quote) {
      *out++ = quote;
      if (bDoubleQuotes) *out++ = quote;
    } else if (c == escape) {
      const char16_t n = p[1];
      if (n == u'%' || n == u'_') {
        const bool escaped = n == u'%' ? bEscapeEscapedPercent : bEscapeEscapedUnderscore;
        const bool plain = n == u'%' ? bEscapePercent : bEscapeUnderscore;
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
    } else if (c == u'\\' && bDoubleBackslashes) {
      *out++ = u'\\';
      *out++ = u'\\';
    } else if (c == u'%' && bEscapePercent) {
      *out++ = escape;
      *out++ = u'%';
    } else if (c == u'_' && bEscapeUnderscore) {
      *out++ = escape;
      *out++ = u'_';
    } else {
      *out++ = c;
    }
  }
  *out = 0;
}

char16_t* pszNormalizeLikePatternW(const char16_t* pattern, char16_t escape) {
  // With every option off a unit becomes at most two.
  CScratchText temporary(2 * nLengthW(pattern) + 1);
  if (!temporary.psz()) return nullptr;
  EscapeLikePatternW(pattern, temporary.psz(), 0, 0, 0, 0, 0, 0, 0, 0, u'\'', escape);
  return pszDupW(temporary.psz());
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
  CScratchText temporary(units);
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

void UnescapeQuotesW(char16_t* text) {
  if (!text) return;
  std::size_t length = nLengthW(text);
  // A lone "''" is the empty literal as written, not a doubled quote.
  if (length == 2 && text[0] == u'\'' && text[1] == u'\'') return;
  // Backwards, so that a removal never shifts what is still to be read; i stops at 1 so that the first unit is only
  // ever the first of a pair.
  for (std::size_t i = length; i-- > 1;) {
    if (text[i] == u'\'' && (text[i - 1] == u'\'' || text[i - 1] == u'\\')) {
      std::memmove(text + i - 1, text + i, (length - i + 1) * sizeof(char16_t));
      --length;
      if (i-- == 1) break;  // the scan continues before the removed unit
    }
  }
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

ESqlLiteralText ReadSqlLiteralText(const char16_t* literal, bool emptyIsNull, CTString& out) {
  if (!literal) return ESqlLiteralText::kNull;
  out = literal;
  if (out.bEqualsNoCase(u"NULL")) return ESqlLiteralText::kNull;
  if (out.bIsEmpty()) return emptyIsNull ? ESqlLiteralText::kNull : ESqlLiteralText::kEmpty;
  const std::size_t length = out.nGetLength();
  // Only a text opening and closing with a quote is a quoted literal; a lone quote stays a character.
  if (length >= 2 && literal[0] == u'\'' && literal[length - 1] == u'\'') {
    CTString body(literal + 1, length - 2);
    out = body;
    std::unique_ptr<char16_t, void (*)(void*)> units(pszDupW(out.pszGet()), FreeText);
    if (!units) return ESqlLiteralText::kText;
    UnescapeBackslashQuotesW(units.get());
    out = units.get();
  }
  return ESqlLiteralText::kText;
}
