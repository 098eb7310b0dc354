// Function names and argument shapes by dialect, composed the way the expression writer walks a function node: the
// source up to each argument, the text before it, the argument, the text after it, and the sub-rewrites the rules
// ask for written from the argument texts.
#include "sql/rewriter/function_names.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "foundation/t_string.h"

namespace {

struct Call {
  std::uint32_t code;
  std::u16string source;  // the function call alone, its name at 0
  std::vector<std::pair<std::size_t, std::size_t>> arguments;  // argument spans (start, one past the end)
};

std::u16string Part(const std::u16string& source, std::size_t from, std::size_t to) {
  return from < to ? source.substr(from, to - from) : u"";
}

std::u16string Compose(std::uint32_t kind, const Call& call) {
  SFunctionCall node;
  node.nCode = call.code;
  node.nArgumentCount = static_cast<std::uint32_t>(call.arguments.size());
  if (call.arguments.size() > 1) {
    node.nSecondStart = call.arguments[1].first;
    node.nSecondEnd = call.arguments[1].second;
  }
  auto argument = [&](std::size_t i) { return Part(call.source, call.arguments[i].first, call.arguments[i].second); };
  const char16_t* source = call.source.c_str();
  std::u16string out;
  std::size_t position = 0;
  if (const char16_t* name = pszDialectFunctionName(call.code, kind)) {
    out = name;
    position = nSkipFunctionName(source, 0);
  }
  auto rule = [&](std::uint32_t index, bool before) {
    CTString text;
    const EArgumentRewrite rewrite = nStringFunctionArgument(kind, node, index, before, source, position, text);
    switch (rewrite) {
      case ARGUMENT_REWRITE_NEGATED_COUNT:
        out += u",-(" + argument(1) + u")";
        break;
      case ARGUMENT_REWRITE_LEAST_LENGTH:
        out += u",-LEAST(LENGTH(" + argument(0) + u")," + argument(1) + u"), GREATEST(0";
        break;
      case ARGUMENT_REWRITE_SECOND_THEN_FROM:
        out += argument(1) + u" FROM ";
        break;
      case ARGUMENT_REWRITE_SECOND_THEN_COMMA:
        out += argument(1) + u" , ";
        break;
      case ARGUMENT_REWRITE_NONE:
        break;
    }
    out += text.pszGet();
  };
  for (std::uint32_t i = 0; i < call.arguments.size(); ++i) {
    out += Part(call.source, position, call.arguments[i].first);
    position = std::max(position, call.arguments[i].first);
    rule(i, true);
    out += Part(call.source, position, call.arguments[i].second);
    position = std::max(position, call.arguments[i].second);
    rule(i, false);
  }
  return out + Part(call.source, position, call.source.size());
}

TEST(FunctionNamesTest, NamesByDialect) {
  EXPECT_EQ(std::u16string(pszDialectFunctionName(54, 2)), u"LEN");
  EXPECT_EQ(std::u16string(pszDialectFunctionName(54, 4)), u"CHAR_LENGTH");
  EXPECT_EQ(pszDialectFunctionName(54, 1), nullptr);
  EXPECT_EQ(std::u16string(pszDialectFunctionName(8, 11)), u"NVL");
  EXPECT_EQ(std::u16string(pszDialectFunctionName(44, 7)), u"SYSIBM.SUBSTR");
  EXPECT_EQ(std::u16string(pszDialectFunctionName(76, 1)), u"SUBSTR");
  EXPECT_EQ(std::u16string(pszDialectFunctionName(55, 13)), u"LENGTH");
  for (std::uint32_t kind : {3u, 5u, 9u, 12u}) {
    for (std::uint32_t code = 0; code < 110; ++code) EXPECT_EQ(pszDialectFunctionName(code, kind), nullptr);
  }
  EXPECT_EQ(pszDialectFunctionName(47, 1), nullptr) << "a code the table does not list";
}

TEST(FunctionNamesTest, OracleForms) {
  EXPECT_EQ(Compose(1, {42, u"LEFT(s, n)", {{5, 6}, {8, 9}}}), u"SUBSTR(s,1, n)");
  EXPECT_EQ(Compose(1, {43, u"RIGHT(s, n)", {{6, 7}, {9, 10}}}), u"SUBSTR(s,-LEAST(LENGTH(s),n), GREATEST(0 , n))");
  EXPECT_EQ(Compose(1, {88, u"CAT(a, b, c)", {{4, 5}, {7, 8}, {10, 11}}}), u"CAT(a, b)||(c)");
  EXPECT_EQ(Compose(1, {88, u"CAT(a, b, c, d)", {{4, 5}, {7, 8}, {10, 11}, {13, 14}}}), u"CAT(a, b)||(c||d)");
  EXPECT_EQ(Compose(1, {89, u"POS(a, b)", {{4, 5}, {7, 8}}}), u"INSTR(b , a)");
  EXPECT_EQ(Compose(1, {92, u"HX(x)", {{3, 4}}}), u"TO_CHAR(x,'FMXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX')");
  EXPECT_EQ(Compose(1, {80, u"TR(a, b)", {{3, 4}, {6, 7}}}), u"TR(b FROM a)");
  EXPECT_EQ(Compose(1, {75, u"SUB(s FROM a FOR b)", {{4, 5}, {11, 12}, {17, 18}}}), u"SUBSTR(s, a, b)");
  EXPECT_EQ(Compose(1, {76, u"SUB(s FROM a FOR b)", {{4, 5}}}), u"SUBSTR(s, a , b)")
      << "start and length that are no argument nodes of their own";
  EXPECT_EQ(Compose(1, {47, u"F(a, b)", {{2, 3}, {5, 6}}}), u"F(a, b)");
}

// Two arguments keep their comma: the call is name(a, b), never name(a b).
TEST(FunctionNamesTest, ConcatenationOfTwoKeepsItsComma) {
  EXPECT_EQ(Compose(1, {88, u"CAT(a, b)", {{4, 5}, {7, 8}}}), u"CAT(a, b)");
  EXPECT_EQ(Compose(1, {88, u"CAT(a,b)", {{4, 5}, {6, 7}}}), u"CAT(a,b)");
}

TEST(FunctionNamesTest, OtherDialects) {
  EXPECT_EQ(Compose(11, {92, u"HX(x)", {{3, 4}}}), u"SUBSTR(HEX(x),3)");
  EXPECT_EQ(Compose(11, {52, u"LT(x)", {{3, 4}}}), u"TRIM(LEADING FROM x)");
  EXPECT_EQ(Compose(11, {53, u"RT(x)", {{3, 4}}}), u"TRIM(TRAILING FROM x)");
  EXPECT_EQ(Compose(6, {43, u"RIGHT(s, n)", {{6, 7}, {9, 10}}}), u"SUBSTR(s,-(n) , n)");
  EXPECT_EQ(Compose(13, {42, u"LEFT(s, n)", {{5, 6}, {8, 9}}}), u"SUBSTR(s,1, n)");
  EXPECT_EQ(Compose(2, {42, u"LEFT(s, n)", {{5, 6}, {8, 9}}}), u"LEFT(s, n)");
  EXPECT_EQ(Compose(2, {54, u"LG(s)", {{3, 4}}}), u"LEN(s)");
  EXPECT_EQ(Compose(4, {88, u"CAT(a, b, c)", {{4, 5}, {7, 8}, {10, 11}}}), u"CAT(a, b, c)");
}

TEST(FunctionNamesTest, NodeTextPrefixesAndNames) {
  EXPECT_EQ(nSkippedNodePrefix(u"utf8'abc'"), 4u);
  EXPECT_EQ(nSkippedNodePrefix(u"UTF8'abc'"), 0u) << "case counts";
  EXPECT_EQ(nSkippedNodePrefix(u"utf"), 0u);
  EXPECT_EQ(nSkippedNodePrefix(nullptr), 0u);
  EXPECT_EQ(nSkipFunctionName(u"My_Fn2(x)", 0), 6u);
}

}  // namespace
