// Around every node the expression writer writes: the program's text up to and past the node, the dialect's name of
// a function, and the text a dialect needs before or after an argument of a function it shapes otherwise, with the
// arguments some of those shapes write again through a sub-rewriter.
#include <string>

#include "engine/record/query_description.h"
#include "foundation/t_string.h"
#include "host/host_objects.h"
#include "host/host_type.h"
#include "host/host_value.h"
#include "sql/connection.h"
#include "sql/rewriter/function_names.h"
#include "sql/rewriter/sql_rewriter.h"

namespace {

// The count a function node carries as its own constant when the program wrote a number in place of an argument.
std::int32_t nConstantCount(IHostExpressionNode* function) {
  CHostValue* constant = function->pGetConstant();
  if (!constant || constant->bIsNull()) return 0;
  CHostValue number;
  number.Assign(*constant);
  std::int32_t count = 0;
  if (bHostFailed(static_cast<std::uint32_t>(number.nConvert(HOST_TYPE_INT32))) ||
      bHostFailed(static_cast<std::uint32_t>(number.nGet(&count)))) {
    return 0;
  }
  return count;
}

}  // namespace

int CSqlRewriter::bWriteNodeBoundary(CQueryDescription* query, const char16_t* source, IHostExpressionNode* parent,
                                     IHostExpressionNode* node, std::uint32_t argumentIndex, std::uint64_t* position,
                                     int before) {
  // The root of an expression is its caller's to place.
  if (!parent) return 1;
  const std::uint64_t start = node->nGetTextStart();
  const std::uint64_t end = node->nGetTextEnd();
  // A node without a span has no text to place, and nothing opened before it is closed after it.
  if (start == 0 && end == 0) return 1;
  const bool inFunction = nIsFunctionExpressionCode(parent->nGetFunctionCode()) != 0;
  CTString out;
  if (before) {
    if (!bCopySource(source, position, start)) return 0;
    if (*position == start) *position += nSkippedNodePrefix(source + start);
    WriteDateTimeLiteral(m_strStatement, parent, node, position, 1);
    if (inFunction) {
      if (!bWriteStringFunction(query, source, parent, node, *position, out, 1, position, argumentIndex)) return 0;
      if (!nAppendText(out.pszGet())) return 0;
    }
    return 1;
  }
  if (!bCopySource(source, position, end)) return 0;
  if (inFunction) {
    if (!bWriteStringFunction(query, source, parent, node, *position, out, 0, position, argumentIndex)) return 0;
    if (!nAppendText(out.pszGet())) return 0;
  }
  WriteDateTimeLiteral(m_strStatement, parent, node, position, 0);
  return 1;
}

int CSqlRewriter::bWriteNodeText(std::uint32_t context, const char16_t* source, IHostExpressionNode* node,
                                 std::uint64_t* position) {
  const std::uint32_t kind = node->nGetFunctionCode();
  std::uint64_t start = node->nGetTextStart();
  std::uint64_t end = node->nGetTextEnd();
  if (kind == 1 || kind == 3 || start == end) {
    start = node->nGetNameStart();
    end = node->nGetNameEnd();
  }
  if (start == 0 && end == 0) return 1;
  CTString name;
  const char16_t* translated = pszTranslateFunctionName(context, node, name);
  if (!translated) return 1;
  // Every dialect name has letters: an empty one is a name that could not be copied.
  if (!*translated) return bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  // A name the dialect keeps is copied with the text that follows; a renamed one replaces the program's.
  if (!bCopySource(source, position, start)) return 0;
  if (!nAppendText(name.pszGet())) return 0;
  if (*position == start) *position = nSkipFunctionName(source, start);
  return 1;
}

const char16_t* CSqlRewriter::pszTranslateFunctionName(std::uint32_t, IHostExpressionNode* node, CTString& out) {
  if (!node || !m_pConnection) return nullptr;
  const char16_t* name = pszDialectFunctionName(node->nGetFunctionCode(), m_pConnection->nGetDbmsKind());
  if (!name) return nullptr;
  out = name;
  return out.pszGet();
}

int CSqlRewriter::bWriteStringFunction(CQueryDescription* query, const char16_t* source,
                                       IHostExpressionNode* function, IHostExpressionNode* argument, std::uint64_t,
                                       CTString& out, int before, std::uint64_t* sourcePosition,
                                       std::uint32_t index) {
  out.Empty();
  if (!function || !argument || !m_pConnection) return 1;
  SFunctionCall call;
  call.nCode = function->nGetFunctionCode();
  call.nArgumentCount = function->nGetChildCount();
  IHostExpressionNode* second = call.nArgumentCount >= 2 ? function->piGetChild(1) : nullptr;
  if (second) {
    call.nSecondStart = second->nGetTextStart();
    call.nSecondEnd = second->nGetTextEnd();
  }
  std::size_t position = static_cast<std::size_t>(*sourcePosition);
  const EArgumentRewrite rewrite =
      nStringFunctionArgument(m_pConnection->nGetDbmsKind(), call, index, before != 0, source, position, out);
  // A rule may move on to the second argument's end, which the runtime gives.
  *sourcePosition = nWithinSource(source, position);
  if (rewrite == ARGUMENT_REWRITE_NONE) return 1;
  return bRunArgumentRewrite(query, source, function, rewrite, sourcePosition);
}

// The text a rule writes through a sub-rewriter, appended to the statement text before the rule's own output.
int CSqlRewriter::bRunArgumentRewrite(CQueryDescription* query, const char16_t* source, IHostExpressionNode* function,
                                      std::uint32_t rewrite, std::uint64_t* sourcePosition) {
  IHostExpressionNode* first = function->nGetChildCount() >= 1 ? function->piGetChild(0) : nullptr;
  IHostExpressionNode* second = function->nGetChildCount() >= 2 ? function->piGetChild(1) : nullptr;
  CSqlRewriter* sub = pNewArgumentRewriter();
  if (!sub) return 0;
  const std::int32_t count = nConstantCount(function);
  CTString number;
  int ok = 1;
  switch (rewrite) {
    case ARGUMENT_REWRITE_NEGATED_COUNT:
      ok = sub->nAppendText(u",-(");
      if (ok && second) ok = sub->bWriteArgument(query, source, second);
      if (ok && !second) {
        number.Format(u"%d", count);
        ok = sub->nAppendText(number.pszGet());
      }
      ok = ok && sub->nAppendText(u")");
      break;
    case ARGUMENT_REWRITE_LEAST_LENGTH:
      ok = sub->nAppendText(u",-LEAST(LENGTH(") && sub->bWriteArgument(query, source, first) &&
           sub->nAppendText(u"),");
      if (ok && second) {
        ok = sub->bWriteArgument(query, source, second) && sub->nAppendText(u"), GREATEST(0");
      } else if (ok) {
        // The count is written in full here; the program's own ", n" is passed over up to its ")".
        number.Format(u"%d),%d", count, count < 0 ? 0 : count);
        ok = sub->nAppendText(number.pszGet());
        while (source[*sourcePosition] && source[*sourcePosition] != u')') ++*sourcePosition;
      }
      break;
    case ARGUMENT_REWRITE_SECOND_THEN_FROM:
      ok = sub->bWriteArgument(query, source, second) && sub->nAppendText(u" FROM ");
      break;
    case ARGUMENT_REWRITE_SECOND_THEN_COMMA:
      ok = sub->bWriteArgument(query, source, second) && sub->nAppendText(u" , ");
      break;
    default:
      break;
  }
  if (ok) ok = bTakeSubRewriterText(sub, true);
  sub->nRelease();
  return ok;
}

CSqlRewriter* CSqlRewriter::pNewArgumentRewriter() {
  CSqlRewriter* sub = pNewSubRewriter();
  if (!sub) return nullptr;
  sub->m_nStatementKind = m_nStatementKind;
  sub->m_nDialectFlags = m_nDialectFlags;
  sub->m_nParameterSwitch = m_nParameterSwitch;
  sub->SetColumnSet(m_pColumnSet);
  sub->m_pCurrentComputedItem = m_pCurrentComputedItem;
  sub->m_nComputedDepth = m_nComputedDepth;
  // The same source: its length is not measured again for every node the sub-rewriter writes.
  sub->m_pszSource = m_pszSource;
  sub->m_nSourceLength = m_nSourceLength;
  return sub;
}

// One argument as an expression of its own, from its span.
int CSqlRewriter::bWriteArgument(CQueryDescription* query, const char16_t* source, IHostExpressionNode* argument) {
  if (!argument) return 1;
  std::uint64_t position = nWithinSource(source, argument->nGetTextStart());
  return bWriteExpression(query, SQL_SEGMENT_WHERE, source, nullptr, argument, SQL_CONTEXT_WHERE, &position, nullptr,
                          0, 0) &&
         bCopySource(source, &position, argument->nGetTextEnd());
}
