// The rewriter's expression writer over expression trees of the runtime stand-in, on connections of several
// dialects: column names, outer joins, constants as parameters, empty-date comparisons in both NULL orders, computed
// items, function names and argument shapes, and the value writers' literals and LIKE patterns in the final text.
#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "engine/record/query_description.h"
#include "foundation/code_pages.h"
#include "sql/rewriter/sql_rewriter.h"
#include "sql/rewriter/value_leaf.h"
#include "standin/runtime/query_objects.h"
#include "tests/engine/field_value_fixture.h"
#include "tests/slot_call.h"

namespace {

using I = qzrt::ItemDescription;
using Node = qzrt::ExpressionNode;

// A connection of a dialect; Oracle's quotes for kind 1; the NULL order as a test sets it (-1: the class's).
class KindConnection : public doubles::TestConnection {
 public:
  KindConnection(std::uint32_t kind, int nullsFirst) : TestConnection(u"kind", nullptr), m_nNullsFirst(nullsFirst) {
    m_nDbmsKind = kind;
    if (kind == DBMS_KIND_ORACLE) {
      m_strOpeningQuote = u"\"";
      m_strClosingQuote = u"\"";
      m_nOpeningQuoteLength = m_nClosingQuoteLength = 1;
    }
  }
  int bNullsSortFirst() override { return m_nNullsFirst < 0 ? CConnection::bNullsSortFirst() : m_nNullsFirst; }

 private:
  int m_nNullsFirst;
};

class TestRewriter : public CSqlRewriter {
 public:
  using CSqlRewriter::CSqlRewriter;
  using CSqlRewriter::bCopySource;
  using CSqlRewriter::bWriteExpression;
  std::u16string Final() { return m_final.pszGetWide(); }
};

class RewriterExpressionTest : public CFieldValueFixture {
 protected:
  void TearDown() override {
    if (query) query->nRelease();
    for (TestRewriter* r : rewriters) r->nRelease();
    for (KindConnection* c : connections) c->nRelease();
    CFieldValueFixture::TearDown();
  }

  TestRewriter* Rewriter(std::uint32_t kind, int nullsFirst = -1) {
    auto* c = new KindConnection(kind, nullsFirst);
    c->AddRef();
    connections.push_back(c);
    auto* r = new TestRewriter(holder, c);
    r->AddRef();
    rewriters.push_back(r);
    r->SetStatementKind(1);
    return r;
  }

  // The span of the n-th occurrence of the text in the source.
  static std::pair<std::uint32_t, std::uint32_t> Span(const std::u16string& source, const std::u16string& text,
                                                      int n = 0) {
    std::size_t at = source.find(text);
    while (n-- > 0) at = source.find(text, at + 1);
    EXPECT_NE(at, std::u16string::npos) << "no such text in the source";
    return {static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(at + text.size())};
  }
  Node* Column(const std::u16string& source, const std::u16string& text, const char16_t* table,
               const char16_t* column, int n = 0) {
    Node& node = nodes.emplace_back(48, SQL_NODE_COLUMN);
    const auto span = Span(source, text, n);
    node.Text(span.first, span.second);
    node.Column(table ? std::optional<std::u16string>(table) : std::nullopt, std::u16string(column));
    return &node;
  }
  Node* Value(const std::u16string& source, const std::u16string& text, CHostValue* value, int n = 0) {
    Node& node = nodes.emplace_back(48, SQL_NODE_VALUE);
    const auto span = Span(source, text, n);
    node.Text(span.first, span.second);
    node.constant = value;
    return &node;
  }
  Node* Op(std::uint32_t code, const std::u16string& source, const std::u16string& text,
           std::vector<Node*> children, int n = 0) {
    Node& node = nodes.emplace_back(47, code, std::move(children));
    const auto span = Span(source, text, n);
    node.Text(span.first, span.second);
    return &node;
  }
  // A call whose name is the first letters of its text up to "(".
  Node* Call(std::uint32_t code, const std::u16string& source, const std::u16string& text,
             std::vector<Node*> children) {
    Node* node = Op(code, source, text, std::move(children));
    node->Name(node->textStart, static_cast<std::uint32_t>(source.find(u'(', node->textStart)));
    return node;
  }
  I& Item(const char16_t* name) { return items.emplace_back(name); }
  CHostValue& Text(const char16_t* text) {
    CHostValue& value = values.emplace_back();
    MakeWide(value, text);
    return value;
  }
  template <class T>
  CHostValue& Number(std::uint8_t type, T native) {
    CHostValue& value = values.emplace_back();
    Make(value, type, native);
    return value;
  }

  // The query description over the analysis as it stands.
  CQueryDescription* Query() {
    if (!query) {
      query = new CQueryDescription(holder, AsSeenAcross<IHostQueryAnalysis>(&analysis), nullptr, 0);
      query->AddRef();
    }
    return query;
  }

  // The root written over the whole source; the statement text, or "<failed>".
  std::u16string Write(TestRewriter* r, const std::u16string& source, Node* root, std::uint32_t context = 3,
                       CQueryDescription* q = nullptr) {
    std::uint64_t position = 0;
    if (!r->bWriteExpression(q, context, source.c_str(), nullptr, AsSeenAcross<IHostExpressionNode>(root), context,
                             &position, nullptr, 0, 0) ||
        !r->bCopySource(source.c_str(), &position, source.size())) {
      return u"<failed>";
    }
    return r->GetStatementText().pszGet();
  }

  // Every parameter written into the final text in turn.
  std::u16string Finals(TestRewriter* r) {
    for (std::uint32_t i = 0; i < r->nGetParameterCount(); ++i) {
      std::uint64_t position = r->pGetParameter(i)->nGetPosition();
      if (!r->bWriteValueLeaf(r->pGetParameter(i), 0, &position)) return u"<failed>";
    }
    return r->Final();
  }

  std::vector<KindConnection*> connections;
  std::vector<TestRewriter*> rewriters;
  std::deque<Node> nodes;
  std::deque<CHostValue> values;
  // Items outlive the query description that references them.
  std::deque<I> items;
  qzrt::QueryAnalysis analysis;
  CQueryDescription* query = nullptr;
};

TEST_F(RewriterExpressionTest, ColumnsAreQuotedQualifiedAndOuterJoinedWithoutBlank) {
  const std::u16string source = u"E.LINE_NO = D.LINE_NO (+)";
  TestRewriter* r = Rewriter(DBMS_KIND_ORACLE);
  Node* root = Op(SQL_NODE_EQ, source, source,
                  {Column(source, u"E.LINE_NO", u"E", u"LINE NO"), Column(source, u"D.LINE_NO (+)", u"D", u"LINE_NO")});
  root->piGetChild(1)->outerJoinMark = true;
  EXPECT_EQ(Write(r, source, root), u"E.\"LINE NO\" = D.LINE_NO(+)");
  EXPECT_EQ(r->nGetParameterCount(), 0u);
}

TEST_F(RewriterExpressionTest, ConstantsBecomeParametersAtTheirPlaces) {
  const std::u16string source = u"A = 1.5 AND B = '007'";
  for (const std::uint32_t kind : {0u, 1u}) {
    TestRewriter* r = Rewriter(kind);
    Node* root = Op(2, source, source,
                    {Op(SQL_NODE_EQ, source, u"A = 1.5", {Column(source, u"A", nullptr, u"A"),
                                                           Value(source, u"1.5", &Number(HOST_TYPE_DOUBLE, 1.5))}),
                     Op(SQL_NODE_EQ, source, u"B = '007'",
                        {Column(source, u"B", nullptr, u"B"), Value(source, u"'007'", &Text(u"007"))})});
    ASSERT_EQ(Write(r, source, root), u"A =  AND B = ");
    ASSERT_EQ(r->nGetParameterCount(), 2u);
    EXPECT_EQ(r->pGetParameter(0)->nGetPosition(), 4u);
    EXPECT_EQ(r->pGetParameter(1)->nGetPosition(), 13u);
    EXPECT_EQ(r->pGetParameter(0)->nGetKind(), static_cast<std::uint32_t>(SQL_NODE_EQ));
    EXPECT_EQ(r->pGetParameter(0)->nGetFlags(), LEAF_FLAG_TEXT_CONSTANT);
    // The leaf's kind is its node's, no column type: the text is not read as a 16-bit integer.
    EXPECT_EQ(Finals(r), kind == 1 ? u"1.5N'007'" : u"1.5'007'");
  }

  TestRewriter* kept = Rewriter(1);
  kept->SetParameterSwitch(0);
  Node* root = Op(SQL_NODE_EQ, source, u"A = 1.5",
                  {Column(source, u"A", nullptr, u"A"), Value(source, u"1.5", &Number(HOST_TYPE_DOUBLE, 1.5))});
  EXPECT_EQ(Write(kept, u"A = 1.5", root), u"A = 1.5");
  EXPECT_EQ(kept->nGetParameterCount(), 0u);
}

TEST_F(RewriterExpressionTest, LeafKindOfANodeIsNoColumnTypeForTheLiteral) {
  // Kind 14 is ">=", not the date column type 14: the text stays a text.
  TestRewriter* r = Rewriter(0);
  ASSERT_TRUE(r->nAddTextParameter(Text(u"20240101"), SQL_NODE_GE, LEAF_FLAG_TEXT_CONSTANT, nullptr, 0));
  std::uint64_t position = 0;
  ASSERT_TRUE(r->bWriteValueLeaf(r->pGetParameter(0), 0, &position));
  EXPECT_EQ(r->Final(), u"'20240101'");
}

TEST_F(RewriterExpressionTest, ValueComparedWithANumberColumnTakesItsType) {
  I& number = Item(u"N");
  number.SetNumber(I::kItemTypeCode, 5);  // a 32-bit integer item
  analysis.items = {&number};
  const std::u16string source = u"N = '42'";
  TestRewriter* r = Rewriter(0);
  Node* root = Op(SQL_NODE_EQ, source, source,
                  {Column(source, u"N", nullptr, u"N"), Value(source, u"'42'", &Text(u"42"))});
  ASSERT_EQ(Write(r, source, root, 3, Query()), u"N = ");
  EXPECT_EQ(Finals(r), u"42") << "the text converted to the column's number, no longer a quoted text";
}

TEST_F(RewriterExpressionTest, EmptyDateComparisonsInBothNullOrders) {
  I& date = Item(u"D");
  I& text = Item(u"T");
  date.SetNumber(I::kItemTypeCode, 14);
  text.SetNumber(I::kItemTypeCode, 2);
  analysis.items = {&date, &text};
  const struct {
    std::uint32_t op;
    const char16_t* sign;
    const char16_t* first;  // empty values sort first
    const char16_t* last;
  } cases[] = {
      {SQL_NODE_EQ, u"=", u"D IS NULL ", u"D IS NULL "},
      {SQL_NODE_NE, u"<>", u"D IS NOT NULL ", u"D IS NOT NULL "},
      {SQL_NODE_LT, u"<", u" 0=1 ", u"D IS NOT NULL "},
      {SQL_NODE_LE, u"<=", u"D IS NULL ", u" 1=1 "},
      {SQL_NODE_GT, u">", u"D IS NOT NULL ", u" 0=1 "},
      {SQL_NODE_GE, u">=", u" 1=1 ", u"D IS NULL "},
  };
  for (const auto& c : cases) {
    for (const int nullsFirst : {1, 0}) {
      const std::u16string comparison = std::u16string(u"D ") + c.sign + u" ''";
      const std::u16string source = u"Z = 1 AND " + comparison;
      TestRewriter* r = Rewriter(0, nullsFirst);
      r->SetParameterSwitch(0);
      Node* root = Op(2, source, source,
                      {Op(SQL_NODE_EQ, source, u"Z = 1", {Column(source, u"Z", nullptr, u"Z"),
                                                          Value(source, u"1", &Number(HOST_TYPE_INT32, 1))}),
                       Op(c.op, source, comparison,
                          {Column(source, u"D", nullptr, u"D"), Value(source, u"''", &Text(u""))})});
      EXPECT_EQ(Write(r, source, root, 3, Query()), u"Z = 1 AND " + std::u16string(nullsFirst ? c.first : c.last))
          << "operator " << static_cast<int>(c.op) << ", empty first " << nullsFirst;
    }
  }
  const std::u16string source = u"T = ''";
  TestRewriter* r = Rewriter(1);
  Node* root = Op(SQL_NODE_EQ, source, source, {Column(source, u"T", nullptr, u"T"), Value(source, u"''", &Text(u""))});
  EXPECT_EQ(Write(r, source, root, 3, Query()), u"T = ") << "a text column compares with the empty text";
  EXPECT_EQ(r->nGetParameterCount(), 1u);
}

TEST_F(RewriterExpressionTest, UnsupportedNodeAndSelfReferencingItemFail) {
  const std::u16string odd = u"A ~ B";
  TestRewriter* r = Rewriter(1);
  Node* root = Op(SQL_NODE_EQ, odd, odd, {Op(SQL_NODE_UNSUPPORTED, odd, u"A ~ B", {})});
  EXPECT_EQ(Write(r, odd, root), u"<failed>");
  EXPECT_TRUE(doubles::HasIdentification(holder, 10, 7));
  holder->Clear();

  // SELECT A + B AS SUMX, TOTAL + 1 AS TOTAL ... WHERE SUMX > 5 AND TOTAL > 5
  const std::u16string source = u"SELECT A + B AS SUMX, TOTAL + 1 AS TOTAL FROM T WHERE SUMX > 5 AND TOTAL > 5";
  I& sum = Item(u"SUMX");
  I& total = Item(u"TOTAL");
  sum.SetNumber(I::kItemKind, 1);
  total.SetNumber(I::kItemKind, 1);
  Node* sumExpression = Op(1, source, u"A + B", {Column(source, u"A", nullptr, u"A"), Column(source, u"B", nullptr, u"B")});
  Node* totalExpression =
      Op(1, source, u"TOTAL + 1", {Column(source, u"TOTAL", nullptr, u"TOTAL"), Value(source, u"1", &Number(HOST_TYPE_INT32, 1))});
  sum.SetExpression(sumExpression);
  total.SetExpression(totalExpression);
  analysis.items = {&sum, &total};

  const std::u16string where = u"SUMX > 5";
  TestRewriter* good = Rewriter(1);
  Node* uses = Op(SQL_NODE_GT, source, where, {Column(source, u"SUMX", nullptr, u"SUMX", 1), Value(source, u"5", &Number(HOST_TYPE_INT32, 5))});
  std::uint64_t position = uses->textStart;
  ASSERT_TRUE(good->bWriteExpression(Query(), 3, source.c_str(), nullptr, AsSeenAcross<IHostExpressionNode>(uses), 3,
                                     &position, nullptr, 0, 0));
  EXPECT_EQ(std::u16string(good->GetStatementText().pszGet()), u"A + B > ");
  ASSERT_EQ(good->nGetParameterCount(), 1u);
  EXPECT_EQ(good->pGetParameter(0)->nGetPosition(), 8u);

  TestRewriter* bad = Rewriter(1);
  Node* self = Op(SQL_NODE_GT, source, u"TOTAL > 5",
                  {Column(source, u"TOTAL", nullptr, u"TOTAL", 2), Value(source, u"5", &Number(HOST_TYPE_INT32, 5), 1)});
  position = self->textStart;
  EXPECT_FALSE(bad->bWriteExpression(Query(), 3, source.c_str(), nullptr, AsSeenAcross<IHostExpressionNode>(self), 3,
                                     &position, nullptr, 0, 0));
  EXPECT_TRUE(doubles::HasIdentification(holder, 10, 1)) << "the item's definition names itself";
}

TEST_F(RewriterExpressionTest, ItemsDefinedThroughEachOtherFail) {
  // The self-reference error, where expanding each item into the other would recurse without end.
  const std::u16string cycle = u"SELECT QX + 1 AS PX, PX + 1 AS QX FROM T WHERE PX > 5";
  I& p = Item(u"PX");
  I& q = Item(u"QX");
  p.SetNumber(I::kItemKind, 1);
  q.SetNumber(I::kItemKind, 1);
  p.SetExpression(Op(1, cycle, u"QX + 1", {Column(cycle, u"QX", nullptr, u"QX"), Value(cycle, u"1", &Number(HOST_TYPE_INT32, 1))}));
  q.SetExpression(Op(1, cycle, u"PX + 1", {Column(cycle, u"PX", nullptr, u"PX", 1), Value(cycle, u"1", &Number(HOST_TYPE_INT32, 1), 1)}));
  analysis.items = {&p, &q};
  TestRewriter* looping = Rewriter(1);
  Node* test = Op(SQL_NODE_GT, cycle, u"PX > 5",
                  {Column(cycle, u"PX", nullptr, u"PX", 2), Value(cycle, u"5", &Number(HOST_TYPE_INT32, 5))});
  std::uint64_t position = test->textStart;
  EXPECT_FALSE(looping->bWriteExpression(Query(), 3, cycle.c_str(), nullptr, AsSeenAcross<IHostExpressionNode>(test), 3,
                                         &position, nullptr, 0, 0));
  EXPECT_TRUE(doubles::HasIdentification(holder, 10, 1));
}

TEST_F(RewriterExpressionTest, FunctionNamesAndArgumentShapesByDialect) {
  CHostValue& minusThree = Number(HOST_TYPE_INT32, -3);
  const auto write = [&](std::uint32_t kind, std::uint32_t code, const std::u16string& source,
                         std::vector<std::u16string> arguments, CHostValue* constant = nullptr) {
    TestRewriter* r = Rewriter(kind);
    r->SetParameterSwitch(0);
    std::vector<Node*> children;
    for (const std::u16string& a : arguments) children.push_back(Column(source, a, nullptr, a.c_str()));
    Node* call = Call(code, source, source.substr(source.find(u"F(")), children);
    call->constant = constant;
    // The call stands as the operand of a comparison, as in a WHERE clause.
    Node* root = Op(SQL_NODE_EQ, source, source, {call, Column(source, u"Z", nullptr, u"Z")});
    return Write(r, source, root);
  };
  EXPECT_EQ(write(1, 42, u"F(S, N) = Z", {u"S", u"N"}), u"SUBSTR(S,1, N) = Z");
  EXPECT_EQ(write(1, 43, u"F(S, N) = Z", {u"S", u"N"}), u"SUBSTR(S,-LEAST(LENGTH(S),N), GREATEST(0 , N)) = Z");
  EXPECT_EQ(write(1, 43, u"F(S, -3) = Z", {u"S"}, &minusThree), u"SUBSTR(S,-LEAST(LENGTH(S),-3),0 ) = Z");
  EXPECT_EQ(write(6, 43, u"F(S, N) = Z", {u"S", u"N"}), u"SUBSTR(S,-(N) , N) = Z");
  EXPECT_EQ(write(1, 75, u"F(S FROM A FOR B) = Z", {u"S", u"A", u"B"}), u"SUBSTR(S, A, B) = Z");
  EXPECT_EQ(write(1, 80, u"F(S, C) = Z", {u"S", u"C"}), u"F(C FROM S) = Z");
  EXPECT_EQ(write(1, 88, u"F(A, B) = Z", {u"A", u"B"}), u"F(A, B) = Z") << "two arguments keep their comma";
  EXPECT_EQ(write(1, 88, u"F(A, B, C) = Z", {u"A", u"B", u"C"}), u"F(A, B)||(C) = Z");
  EXPECT_EQ(write(1, 89, u"F(A, B) = Z", {u"A", u"B"}), u"INSTR(B , A) = Z");
  EXPECT_EQ(write(1, 92, u"F(X) = Z", {u"X"}), u"TO_CHAR(X,'FMXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX') = Z");
  EXPECT_EQ(write(11, 92, u"F(X) = Z", {u"X"}), u"SUBSTR(HEX(X),3) = Z");
  EXPECT_EQ(write(11, 52, u"F(X) = Z", {u"X"}), u"TRIM(LEADING FROM X) = Z");
  EXPECT_EQ(write(11, 53, u"F(X) = Z", {u"X"}), u"TRIM(TRAILING FROM X) = Z");
  EXPECT_EQ(write(2, 54, u"F(X) = Z", {u"X"}), u"LEN(X) = Z");
  EXPECT_EQ(write(4, 54, u"F(X) = Z", {u"X"}), u"CHAR_LENGTH(X) = Z");
  EXPECT_EQ(write(1, 54, u"F(X) = Z", {u"X"}), u"F(X) = Z");
  EXPECT_EQ(write(1, 200, u"F(X) = Z", {u"X"}), u"F(X) = Z") << "a code no table lists";
}

TEST_F(RewriterExpressionTest, LikePatternsAndTheirEscapeByDialect) {
  const struct {
    std::uint32_t kind;
    const char16_t* pattern;
    const char16_t* program;  // the statement text after the pattern
    const char16_t* final;
    std::uint64_t moved;  // where the statement position ends, from the pattern's place
  } cases[] = {
      {2, u"a\\%b", u" AND X", u"N'a\\%b' ESCAPE '\\'", 0},
      {5, u"a\\%b", u" AND X", u"'a\\%b'", 0},
      {6, u"a\\%b", u" AND X", u"'a\\%b' ESCAPE '\\\\'", 0},
      {12, u"a\\%b", u" AND X", u"'a\\%b' ESCAPE '\\\\'", 0},
      {4, u"ab%", u" AND X", u"'ab%'", 0},
      {4, u"a\\%b", u" ESCAPE '\\' AND X", u"'a\\%b'", 0},  // the program's own clause stays
      {3, u"a\\%b_", u" ESCAPE '\\' AND X", u"'a[%]b_'", 11},
      {2, u"[x]%", u"", u"N'[[]x]%'", 0},
      {4, u"O'B%", u"", u"'O''B%'", 0},  // quotes doubled once, by the literal
  };
  for (const auto& c : cases) {
    TestRewriter* r = Rewriter(c.kind);
    CHostValue& value = Text(c.pattern);
    ASSERT_TRUE(r->nAddTextParameter(value, SQL_NODE_LIKE, LEAF_FLAG_PATTERN_VALUE | LEAF_FLAG_TEXT_CONSTANT, nullptr, 0));
    ASSERT_TRUE(r->nAppendText(c.program));
    std::uint64_t position = 0;
    ASSERT_TRUE(r->bWriteValueLeaf(r->pGetParameter(0), 0, &position)) << "kind " << c.kind;
    EXPECT_EQ(r->Final(), c.final) << "kind " << c.kind << " pattern " << std::string(c.pattern, c.pattern + 4);
    EXPECT_EQ(position, c.moved) << "kind " << c.kind;
  }
  TestRewriter* r = Rewriter(4);
  CHostValue& value = Text(u"a!%b");
  ASSERT_TRUE(r->nAddTextParameter(value, SQL_NODE_LIKE, LEAF_FLAG_PATTERN_VALUE, nullptr, u'!'));
  std::uint64_t position = 0;
  ASSERT_TRUE(r->bWriteValueLeaf(r->pGetParameter(0), 0, &position));
  EXPECT_EQ(r->Final(), u"'a!%b' ESCAPE '!'");
}

TEST_F(RewriterExpressionTest, LikeTextIsEscapedAsDataWithoutDoublingQuotes) {
  TestRewriter* r = Rewriter(1);
  CTString buffer(u"old");
  ASSERT_TRUE(r->bEscapeLikeText(buffer, u"O'B%_x\\y"));
  EXPECT_EQ(std::u16string(buffer.pszGet()), u"O'B\\%\\_x\\\\y");
  ASSERT_TRUE(r->bEscapeLikeText(buffer, u""));
  EXPECT_EQ(std::u16string(buffer.pszGet()), u"");
}

TEST_F(RewriterExpressionTest, LikeNodeMakesPatternParametersWithItsEscape) {
  const std::u16string source = u"N LIKE 'a%' ESCAPE '!'";
  TestRewriter* r = Rewriter(1);
  Node* like = Op(SQL_NODE_LIKE, source, u"N LIKE 'a%'",
                  {Column(source, u"N", nullptr, u"N"), Value(source, u"'a%'", &Text(u"a%"))});
  like->likeEscape = u'!';
  EXPECT_EQ(Write(r, source, like), u"N LIKE  ESCAPE '!'");
  ASSERT_EQ(r->nGetParameterCount(), 1u);
  CValueLeaf* leaf = r->pGetParameter(0);
  EXPECT_EQ(leaf->nGetKind(), static_cast<std::uint32_t>(SQL_NODE_LIKE));
  EXPECT_EQ(leaf->nGetFlags(), LEAF_FLAG_PATTERN_VALUE | LEAF_FLAG_TEXT_CONSTANT);
  EXPECT_EQ(leaf->nGetEscapeChar(), u'!');
  EXPECT_EQ(leaf->nGetPosition(), 7u);
}

}  // namespace
