// A parsed statement built with the runtime stand-in, read back through the driver's declarations of the runtime's
// interfaces: every span, walk and lookup must land on the slot the driver calls.
#include <gtest/gtest.h>

#include <string>

#include "host/host_objects.h"
#include "host/host_value.h"
#include "standin/runtime/query_objects.h"
#include "tests/slot_call.h"

namespace {

using qzrt::DeclaredParameters;
using qzrt::ExpressionNode;
using qzrt::QueryAnalysis;
using qzrt::StatementJoin;
using qzrt::StatementMark;

template <typename T, typename S>
T* Host(S* object) {
  return AsSeenAcross<T>(object);
}

TEST(ParsedStatementTest, ClausesJoinsMarksAndNodesReadThroughTheDriversInterfaces) {
  //                        0         1         2         3         4         5         6         7         8
  //                        0123456789012345678901234567890123456789012345678901234567890123456789012345678901234
  const std::u16string text = u"SELECT a.X FROM T a, U b WHERE a.K = b.K(+) AND a.N LIKE 'x!%' ESCAPE '!' AND a.M = :p "
                              u"HAVING COUNT(*) > 1 ORDER BY 1";
  CHostValue five;
  five.SetType(HOST_TYPE_INT32);
  const std::int32_t number = 5;
  five.Set(&number);
  CHostValue who;

  ExpressionNode left(48, 0), right(48, 0), equal(2, 0, {&left, &right});
  left.Text(31, 34);
  right.Text(37, 40);
  right.outerJoinMark = true;
  equal.Text(31, 43);
  ExpressionNode pattern(49, 0);
  pattern.Text(55, 60);
  pattern.constant = &five;
  ExpressionNode like(6, 0, {&pattern});
  like.likeEscape = u'!';
  ExpressionNode call(47, 54, {&pattern});
  call.Text(95, 103).Name(95, 100);
  ExpressionNode where(0, 0, {&equal, &like});
  where.Text(31, 84);

  QueryAnalysis statement;
  statement.SetText(QueryAnalysis::kSqlText, text);
  statement.whereStart = 25;
  statement.whereEnd = 84;
  statement.havingStart = 85;
  statement.havingEnd = 105;
  statement.orderByStart = 106;
  statement.selectListEnd = 10;
  statement.whereTree = &where;
  statement.havingTree = &call;
  StatementJoin join(31, 43, &equal);
  statement.joins = {&join};
  StatementMark marker(82, 2, 3);
  statement.markers = {&marker};
  StatementMark firstColumn(7, 3, 1, u"a", u"X"), secondColumn(31, 3, 1, u"a", u"K");
  statement.columnReferences = {&firstColumn, &secondColumn};
  DeclaredParameters declared;
  declared.Declare(u"p", &who);
  statement.declaredParameters = &declared;

  auto* analysis = Host<IHostQueryAnalysis>(&statement);
  EXPECT_EQ(std::u16string(analysis->pszGetSqlText()), text);
  EXPECT_EQ(analysis->nGetWhereStart(), 25u);
  EXPECT_EQ(analysis->nGetWhereEnd(), 84u);
  EXPECT_EQ(analysis->nGetHavingStart(), 85u);
  EXPECT_EQ(analysis->nGetHavingEnd(), 105u);
  EXPECT_EQ(analysis->nGetOrderByStart(), 106u);
  EXPECT_EQ(analysis->nGetSelectListEnd(), 10u);

  IHostExpressionNode* root = analysis->piGetWhereTree();
  ASSERT_EQ(root, Host<IHostExpressionNode>(&where));
  EXPECT_EQ(root->nGetChildCount(), 2u);
  EXPECT_EQ(root->nGetTextEnd(), 84u);
  IHostExpressionNode* compared = root->piGetChild(0)->piGetChild(1);
  EXPECT_EQ(compared->nGetTextStart(), 37u);
  EXPECT_TRUE(compared->bHasOuterJoinMark());
  EXPECT_FALSE(root->piGetChild(0)->piGetChild(0)->bHasOuterJoinMark());
  EXPECT_EQ(root->piGetChild(1)->nGetLikeEscape(), u'!');
  EXPECT_EQ(root->piGetChild(1)->piGetChild(0)->pGetConstant(), &five);
  EXPECT_EQ(root->piGetChild(0)->pGetConstant(), nullptr);
  IHostExpressionNode* having = analysis->piGetHavingTree();
  EXPECT_EQ(having->nGetFunctionCode(), 54u);
  EXPECT_EQ(having->nGetNameStart(), 95u);
  EXPECT_EQ(having->nGetNameEnd(), 100u);
  EXPECT_EQ(having->nGetTextEnd(), 103u);

  IHostStatementJoin* firstJoin = analysis->piWalkJoins(1);
  ASSERT_NE(firstJoin, nullptr);
  EXPECT_EQ(firstJoin->nGetConditionStart(), 31u);
  EXPECT_EQ(firstJoin->nGetConditionEnd(), 43u);
  EXPECT_EQ(firstJoin->piGetCondition(), Host<IHostExpressionNode>(&equal));
  EXPECT_EQ(analysis->piWalkJoins(0), nullptr);

  IHostStatementMark* mark = analysis->piWalkMarkers(1);
  ASSERT_NE(mark, nullptr);
  EXPECT_EQ(mark->nGetPosition(), 82u);
  EXPECT_EQ(mark->nGetLength(), 2u);
  EXPECT_EQ(mark->nGetKind(), 3u);
  EXPECT_EQ(std::u16string(mark->pszGetColumnText()), u"");
  EXPECT_EQ(analysis->piWalkMarkers(0), nullptr);
  EXPECT_EQ(analysis->piWalkColumnReferences(1)->nGetPosition(), 7u);
  IHostStatementMark* reference = analysis->piWalkColumnReferences(0);
  EXPECT_EQ(std::u16string(reference->pszGetTableText()), u"a");
  EXPECT_EQ(std::u16string(reference->pszGetColumnText()), u"K");
  EXPECT_EQ(analysis->piWalkColumnReferences(0), nullptr);

  IHostDeclaredParameters* parameters = analysis->piGetDeclaredParameters();
  ASSERT_NE(parameters, nullptr);
  EXPECT_EQ(declared.References(), 2) << "handed out with a reference";
  EXPECT_EQ(parameters->pFindValue(u"P"), &who) << "names found with case ignored";
  EXPECT_EQ(parameters->pFindValue(u"q"), nullptr);
  parameters->Release();
  EXPECT_EQ(declared.References(), 1);

  QueryAnalysis bare;
  EXPECT_EQ(Host<IHostQueryAnalysis>(&bare)->piGetDeclaredParameters(), nullptr);
  EXPECT_EQ(Host<IHostQueryAnalysis>(&bare)->nGetWhereStart(), 0u);
}

}  // namespace
