#include "sql/rewriter/sql_date_escape_rewriter.h"

#include "sql/rewriter/sql_rewriter.h"

namespace {
// The scan cannot be told that an edit failed: it would go on over a text that did not change as it expects. The
// failure leaves the scan by an exception of its own, caught around it.
struct SReplaceFailed {};
}  // namespace

int CSqlDateEscapeRewriter::bRewriteStatement(CSqlRewriter* rewriter) {
  if (!rewriter || rewriter->GetStatementText().bIsEmpty()) return 1;
  m_pRewriter = rewriter;
  int result = 1;
  try {
    // The scan reads the text; only ReplaceSpan changes it, through the rewriter.
    bRewrite(const_cast<char16_t*>(rewriter->pszGetSourceText()));
  } catch (const SReplaceFailed&) {
    result = 0;
  }
  m_pRewriter = nullptr;
  return result;
}

void CSqlDateEscapeRewriter::ReplaceSpan(std::uint32_t position, std::uint32_t count, const char16_t* literal) {
  if (!m_pRewriter->bReplaceText(position, count, literal)) throw SReplaceFailed();
  m_pszText = const_cast<char16_t*>(m_pRewriter->pszGetSourceText());
}
