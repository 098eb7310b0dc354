// Placeholders while the expression writers are being written; each answers failure.
#include "sql/rewriter/sql_rewriter.h"

int CSqlRewriter::bWriteOperandAsText(const SComparedColumn&, const char16_t*, CTString&) { return 0; }
std::uint32_t CSqlRewriter::nGetDateTimeOperandMode(std::uint32_t, std::uint32_t, std::uint32_t,
                                                    IHostExpressionNode*) {
  return 0;
}
int CSqlRewriter::bWriteValueLiteral(CValueLeaf*, CFieldValue*, std::uint32_t, std::uint32_t) { return 0; }
int CSqlRewriter::bWriteValueLeaf(CValueLeaf*, std::uint32_t, std::uint64_t*) { return 0; }
int CSqlRewriter::bWritePatternValue(CValueLeaf*, CFieldValue*, std::uint32_t, std::uint32_t, std::uint64_t*) {
  return 0;
}
int CSqlRewriter::bWriteLikePattern(CValueLeaf*, CHostValue&, std::uint32_t, std::uint32_t, std::uint64_t*) {
  return 0;
}
int CSqlRewriter::bWriteLikeEscape(CValueLeaf*, const char16_t*, std::uint64_t*) { return 0; }
int CSqlRewriter::bWriteStringFunction(CQueryDescription*, const char16_t*, IHostExpressionNode*, IHostExpressionNode*,
                                       std::uint64_t, CTString&, int, std::uint64_t*, std::uint32_t) {
  return 0;
}
int CSqlRewriter::bConvertComparedValue(CQueryDescription*, IHostExpressionNode*, IHostExpressionNode*, std::uint32_t,
                                        const SComparedColumn*, CValueLeaf*, std::uint32_t) {
  return 0;
}
int CSqlRewriter::bWriteOperand(const SComparedColumn&, std::uint32_t, std::uint32_t, IHostExpressionNode*, CTString&) {
  return 0;
}
const char16_t* CSqlRewriter::pszTranslateFunctionName(std::uint32_t, IHostExpressionNode*, CTString&) {
  return nullptr;
}
int CSqlRewriter::bMakesParameter(CQueryDescription*, std::uint32_t) { return 0; }
int CSqlRewriter::bEscapeLikeText(CTString&, const char16_t*) { return 0; }
int CSqlRewriter::bWriteExpression(CQueryDescription*, std::uint32_t, const char16_t*, IHostExpressionNode*,
                                   IHostExpressionNode*, std::uint32_t, std::uint64_t*, IHostItemDescription*,
                                   std::uint32_t, std::uint32_t) {
  return 0;
}
int CSqlRewriter::bWriteComputedItem(CQueryDescription*, IHostItemDescription*, std::uint32_t, const char16_t*, bool) {
  return 0;
}
int CSqlRewriter::bWriteNodeBoundary(CQueryDescription*, const char16_t*, IHostExpressionNode*, IHostExpressionNode*,
                                     std::uint32_t, std::uint64_t*, int) {
  return 0;
}
int CSqlRewriter::bWriteNodeText(std::uint32_t, const char16_t*, IHostExpressionNode*, std::uint64_t*) { return 0; }
