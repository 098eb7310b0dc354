// The functions of the program's SQL by target dialect: the name a dialect spells a function code with, and the text
// that stands before or after an argument of a string function whose argument list the dialect shapes otherwise.
// Both depend only on the function code and the connection's DBMS kind (1 is the Oracle dialect; the others are
// known by number). The expression writer calls them around every function node; where a rule needs an argument
// written again through a sub-rewriter it answers which one, and the writer does it.
#pragma once

#include <cstddef>
#include <cstdint>

class CTString;

// The dialect's name for the function code, null when the name stays as the program wrote it.
const char16_t* pszDialectFunctionName(std::uint32_t code, std::uint32_t dbmsKind);

// What the writer knows of the function node whose argument is being written.
struct SFunctionCall {
  std::uint32_t nCode = 0;
  std::uint32_t nArgumentCount = 0;  // argument nodes of the function node
  // The second argument's span in the source text (start, one past its end); both 0 when it has none.
  std::size_t nSecondStart = 0;
  std::size_t nSecondEnd = 0;
};

// A sub-rewrite the writer appends to the statement text through a sub-rewriter, after the text answered.
enum EArgumentRewrite : std::uint32_t {
  ARGUMENT_REWRITE_NONE = 0,
  // ",-(", the second argument (or the constant count), ")".
  ARGUMENT_REWRITE_NEGATED_COUNT,
  // ",-LEAST(LENGTH(", the first argument, "),", then the second argument and "), GREATEST(0", or, without a second
  // argument node, the constant count, "),", the count (0 when negative), the source position at the next ")".
  ARGUMENT_REWRITE_LEAST_LENGTH,
  // The second argument, then " FROM ".
  ARGUMENT_REWRITE_SECOND_THEN_FROM,
  // The second argument, then " , ".
  ARGUMENT_REWRITE_SECOND_THEN_COMMA,
};

// The text before (before true) or after an argument (index from 0) into out (emptied first), with the source
// position moved past source text the rule consumes; the sub-rewrite the writer runs after appending out.
EArgumentRewrite nStringFunctionArgument(std::uint32_t dbmsKind, const SFunctionCall& call, std::uint32_t index,
                                         bool before, const char16_t* source, std::size_t& position, CTString& out);

// Characters of a node's text that the writer skips rather than copies: 4 when the text begins with "utf8" as
// written (case counts), else 0.
std::size_t nSkippedNodePrefix(const char16_t* nodeText);

// The position after a function name as the program wrote it (letters, digits and "_") from the position on.
std::size_t nSkipFunctionName(const char16_t* source, std::size_t position);
