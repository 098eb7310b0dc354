// CSqlDateEscapeRewriter: the date/time escape rewriter over a statement rewriter's own text. Each replacement edits
// the rewriter's statement text (the parameters placed after it move with the text) and the scan goes on over the
// text's new address. It lives for one run; the rewriter is not referenced.
#pragma once

#include <cstdint>

#include "sql/date_escape_rewriter.h"

class CSqlRewriter;

class CSqlDateEscapeRewriter : public CDateEscapeRewriter {
 public:
  // 1 when every escape it could read was replaced (or there was none); 0 with error 12 at 10.6 when the text could
  // not grow, the replacements before staying.
  int bRewriteStatement(CSqlRewriter* rewriter);

  void ReplaceSpan(std::uint32_t position, std::uint32_t count, const char16_t* literal) override;
  // The base builders, with a literal that could not be made ending the run as a failure rather than leaving the
  // escape as written.
  char16_t* pszBuildDateMode1(std::int32_t year, std::int32_t month, std::int32_t day,
                              std::size_t yearDigits) override;
  char16_t* pszBuildDateMode2(std::int32_t year, std::int32_t month, std::int32_t day) override;
  char16_t* pszBuildDateMode3(std::int32_t year, std::int32_t month, std::int32_t day) override;
  char16_t* pszBuildTimeMode3(std::int32_t hours, std::int32_t minutes) override;
  char16_t* pszBuildTimestampMode3(std::int32_t year, std::int32_t month, std::int32_t day, std::int32_t hours,
                                   std::int32_t minutes, std::int32_t seconds, std::int32_t milliseconds) override;
  char16_t* pszBuildDateMode4(std::int32_t year, std::int32_t month, std::int32_t day) override;

 private:
  CSqlRewriter* m_pRewriter = nullptr;
};
