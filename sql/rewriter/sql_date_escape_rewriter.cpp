#include "sql/rewriter/sql_date_escape_rewriter.h"

#include "sql/rewriter/sql_rewriter.h"

namespace {
// The scan cannot be told that an edit failed: it would go on over a text that did not change as it expects. The
// failure leaves the scan by an exception of its own, caught around it.
struct SReplaceFailed {
  bool raised;  // the rewriter has recorded the error already
};

char16_t* pszMade(char16_t* literal) {
  if (!literal) throw SReplaceFailed{false};
  return literal;
}
}  // namespace

int CSqlDateEscapeRewriter::bRewriteStatement(CSqlRewriter* rewriter) {
  if (!rewriter || rewriter->GetStatementText().bIsEmpty()) return 1;
  m_pRewriter = rewriter;
  int result = 1;
  try {
    // The scan reads the text; only ReplaceSpan changes it, through the rewriter.
    bRewrite(const_cast<char16_t*>(rewriter->pszGetSourceText()));
    if (bRanOutOfMemory()) result = rewriter->bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  } catch (const SReplaceFailed& failure) {
    result = failure.raised ? 0 : rewriter->bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  }
  m_pRewriter = nullptr;
  return result;
}

void CSqlDateEscapeRewriter::ReplaceSpan(std::uint32_t position, std::uint32_t count, const char16_t* literal) {
  if (!m_pRewriter->bReplaceText(position, count, literal)) throw SReplaceFailed{true};
  m_pszText = const_cast<char16_t*>(m_pRewriter->pszGetSourceText());
}

char16_t* CSqlDateEscapeRewriter::pszBuildDateMode1(std::int32_t year, std::int32_t month, std::int32_t day,
                                                  std::size_t yearDigits) {
  return pszMade(CDateEscapeRewriter::pszBuildDateMode1(year, month, day, yearDigits));
}
char16_t* CSqlDateEscapeRewriter::pszBuildDateMode2(std::int32_t year, std::int32_t month, std::int32_t day) {
  return pszMade(CDateEscapeRewriter::pszBuildDateMode2(year, month, day));
}
char16_t* CSqlDateEscapeRewriter::pszBuildDateMode3(std::int32_t year, std::int32_t month, std::int32_t day) {
  return pszMade(CDateEscapeRewriter::pszBuildDateMode3(year, month, day));
}
char16_t* CSqlDateEscapeRewriter::pszBuildTimeMode3(std::int32_t hours, std::int32_t minutes) {
  return pszMade(CDateEscapeRewriter::pszBuildTimeMode3(hours, minutes));
}
char16_t* CSqlDateEscapeRewriter::pszBuildTimestampMode3(std::int32_t year, std::int32_t month, std::int32_t day,
                                                         std::int32_t hours, std::int32_t minutes,
                                                         std::int32_t seconds, std::int32_t milliseconds) {
  return pszMade(
      CDateEscapeRewriter::pszBuildTimestampMode3(year, month, day, hours, minutes, seconds, milliseconds));
}
char16_t* CSqlDateEscapeRewriter::pszBuildDateMode4(std::int32_t year, std::int32_t month, std::int32_t day) {
  return pszMade(CDateEscapeRewriter::pszBuildDateMode4(year, month, day));
}
