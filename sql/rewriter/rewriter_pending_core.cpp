// Placeholders while the translation is being written; each answers failure.
#include "sql/rewriter/sql_rewriter.h"

int CSqlRewriter::bAppendRewriter(CSqlRewriter*, int) { return 0; }
int CSqlRewriter::bAppendCursorColumns(CTableDescription*, std::uint32_t) { return 0; }
int CSqlRewriter::bAppendColumn(CColumn*, std::uint32_t) { return 0; }
int CSqlRewriter::CopyFrom(CSqlRewriter*, CHashTable&, std::uint32_t) { return 0; }
CSqlRewriter* CSqlRewriter::pClone(CHashTable&, std::uint32_t) { return nullptr; }
int CSqlRewriter::bBuildFinalText(std::uint32_t) { return 0; }
int CSqlRewriter::bTranslate(CQueryDescription*, CSqlRewriter*, int, std::uint32_t) { return 0; }
void CSqlRewriter::SetQueryDescription(CQueryDescription*) {}
const void* CSqlRewriter::pszGetOutputText(std::uint32_t) { return nullptr; }
const char16_t* CSqlRewriter::DumpParameters() { return u""; }
int CSqlRewriter::bWriteNamedParameter(std::uint64_t*, const char16_t*, CQueryDescription*, const CSqlSegment&) {
  return 0;
}
int CSqlRewriter::bScanNamedParameters(const char16_t*, CRefPtrArray&) { return 0; }
int CSqlRewriter::bCheckDeclaredParameters(CQueryDescription*) { return 0; }
bool bIsSqlSeparator(char16_t) { return false; }
std::int64_t nFindLeadingKeyword(const char16_t*, const char16_t*) { return -1; }
bool bStartsWithKeyword(const char16_t*, const char16_t*) { return false; }
std::int64_t nFindKeywordBackward(const char16_t*, std::int64_t, const char16_t*, std::int64_t, const char16_t*,
                                  const char16_t*) {
  return -1;
}
std::size_t nReadIdentifier(const char16_t*, std::size_t position, CTString&) { return position; }
