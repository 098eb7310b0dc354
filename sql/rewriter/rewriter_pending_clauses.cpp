// Placeholders while the clause generators are being written; each answers failure.
#include "sql/rewriter/sql_rewriter.h"

int CSqlRewriter::bAppendHostParameters(CQueryDescription*, const char16_t*, std::uint64_t*) { return 0; }
int CSqlRewriter::bWriteComparedColumn(IHostItemDescription*, IHostExpressionNode*, CTString&) { return 0; }
int CSqlRewriter::bWriteListColumn(std::uint64_t*, const char16_t*, CQueryDescription*, IHostItemDescription*,
                                   CTString&, int, std::uint32_t) {
  return 0;
}
int CSqlRewriter::bWriteTableName(CQueryDescription*, IHostQueryFile*, CTString&) { return 0; }
int CSqlRewriter::bWriteTableAlias(CQueryDescription*, IHostQueryFile*, CTString&) { return 0; }
int CSqlRewriter::bAppendQueryCondition(CQueryDescription*) { return 0; }
int CSqlRewriter::bAppendOrderBy(int) { return 0; }
int CSqlRewriter::bWriteSelectList(std::uint64_t*, const char16_t*, CQueryDescription*, const CSqlSegment&) {
  return 0;
}
int CSqlRewriter::bWriteTableReference(std::uint64_t*, const char16_t*, CQueryDescription*, const CSqlSegment&) {
  return 0;
}
int CSqlRewriter::bWriteCondition(std::uint64_t*, const char16_t*, CQueryDescription*, const CSqlSegment&,
                                  CSqlRewriter*) {
  return 0;
}
int CSqlRewriter::bWriteGroupBy(std::uint64_t*, const char16_t*, CQueryDescription*, const CSqlSegment&) { return 0; }
int CSqlRewriter::bWriteOrderBy(std::uint64_t*, const char16_t*, CQueryDescription*, int, int) { return 0; }
int CSqlRewriter::bWriteJoin(std::uint64_t*, const char16_t*, CQueryDescription*, const CSqlSegment&) { return 0; }
int CSqlRewriter::bWriteAssignments(std::uint64_t*, const char16_t*, CQueryDescription*, const CSqlSegment&) {
  return 0;
}
