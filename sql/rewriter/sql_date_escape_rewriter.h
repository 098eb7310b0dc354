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

 private:
  CSqlRewriter* m_pRewriter = nullptr;
};
