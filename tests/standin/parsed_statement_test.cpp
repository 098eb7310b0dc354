// A parsed statement built with the runtime stand-in, read back through the driver's declarations of the runtime's
// interfaces: every span, walk and lookup must land on the slot the driver calls.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "host/host_objects.h"
#include "host/host_value.h"
#include "standin/runtime/query_objects.h"
#include "tests/slot_call.h"
#include "tests/slot_of.h"

namespace {

using qzrt::Assignment;
using qzrt::DeclaredParameters;
using qzrt::ExpressionNode;
using qzrt::IndexDescriptor;
using qzrt::ItemDescription;
using qzrt::KeyLink;
using qzrt::QueryAnalysis;
using qzrt::QueryFile;
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

// What the statement rewriter reads to cut a statement apart: the spans of items, tables, aliases, GROUP BY and
// ORDER BY items, a column node's texts, and the UPDATE and INSERT lists behind the kind-3 and kind-4 entries.
TEST(ParsedStatementTest, SpansOfItemsTablesSortItemsAndAssignmentsReadThroughTheDriversInterfaces) {
  const std::pair<std::size_t, std::size_t> slots[] = {
      {SlotOf(&QueryFile::nGetTextStart), SlotOf(&IHostQueryFile::nGetTextStart)},
      {SlotOf(&QueryFile::nGetAliasEnd), SlotOf(&IHostQueryFile::nGetAliasEnd)},
      {SlotOf(&KeyLink::nGetTextStart), SlotOf(&IHostKeyLink::nGetTextStart)},
      {SlotOf(&KeyLink::nGetTextEnd), SlotOf(&IHostKeyLink::nGetTextEnd)},
      {SlotOf(&IndexDescriptor::nGetTextStart), SlotOf(&IHostIndexDescriptor::nGetTextStart)},
      {SlotOf(&IndexDescriptor::nGetTextEnd), SlotOf(&IHostIndexDescriptor::nGetTextEnd)},
      {SlotOf(&ItemDescription::nGetTextStart), SlotOf(&IHostItemDescription::nGetTextStart)},
      {SlotOf(&ItemDescription::nGetTextEnd), SlotOf(&IHostItemDescription::nGetTextEnd)},
      {SlotOf(&ExpressionNode::pszGetTableName), SlotOf(&IHostExpressionNode::pszGetTableName)},
      {SlotOf(&ExpressionNode::pszGetColumnName), SlotOf(&IHostExpressionNode::pszGetColumnName)},
      {SlotOf(&Assignment::piGetColumn), SlotOf(&IHostAssignment::piGetColumn)},
      {SlotOf(&Assignment::nGetValueListEnd), SlotOf(&IHostAssignment::nGetValueListEnd)},
  };
  for (const auto& [standIn, driver] : slots) EXPECT_EQ(standIn, driver);

  //                                  0         1         2         3         4         5
  //                                  01234567890123456789012345678901234567890123456789012345678
  const std::u16string selectText = u"SELECT a.X, Y FROM T a, U GROUP BY a.X ORDER BY a.X DESC, Z";
  QueryAnalysis select;
  select.SetText(QueryAnalysis::kSqlText, selectText);
  ItemDescription qualified(u"X"), plain(u"Y");
  qualified.SetSpan(ItemDescription::kTextStart, 7, 10);
  select.items = {&qualified, &plain};
  QueryFile aliased(u"T", u"a"), bare(u"U", u"U");
  aliased.Text(19, 22).AliasText(21, 22);
  bare.Text(24, 25);
  select.files = {&aliased, &bare};
  IndexDescriptor group;
  group.SetText(2, u"a");
  group.SetText(3, u"X");
  group.Text(35, 38);
  select.descriptors = {&group};
  KeyLink byItem(0, true), byNothing(0xFFFFFFFF, false);
  byItem.Text(48, 51);
  byNothing.Text(58, 59);
  select.links = {&byItem, &byNothing};

  auto* analysis = Host<IHostQueryAnalysis>(&select);
  IHostItemDescription* item = analysis->piWalkItems(1);
  EXPECT_EQ(item->nGetTextStart(), 7u);
  EXPECT_EQ(item->nGetTextEnd(), 10u);
  EXPECT_EQ(analysis->piWalkItems(0)->nGetTextEnd(), 0u) << "a span nobody set is absent";
  IHostQueryFile* file = analysis->piWalkFiles(1);
  EXPECT_EQ(file->nGetTextStart(), 19u);
  EXPECT_EQ(file->nGetTextEnd(), 22u);
  EXPECT_EQ(file->nGetAliasStart(), 21u);
  EXPECT_EQ(file->nGetAliasEnd(), 22u);
  file = analysis->piWalkFiles(0);
  EXPECT_EQ(file->nGetTextEnd(), 25u);
  EXPECT_EQ(file->nGetAliasStart(), 0u);
  EXPECT_EQ(file->nGetAliasEnd(), 0u);
  IHostIndexDescriptor* grouped = analysis->piGetDescriptor(0);
  EXPECT_EQ(std::u16string(grouped->pszGetSecondText()), u"a");
  EXPECT_EQ(std::u16string(grouped->pszGetThirdText()), u"X");
  EXPECT_EQ(grouped->nGetTextStart(), 35u);
  EXPECT_EQ(grouped->nGetTextEnd(), 38u);
  IHostKeyLink* link = analysis->piWalkLinks(1);
  EXPECT_EQ(link->nGetTextStart(), 48u);
  EXPECT_EQ(link->nGetTextEnd(), 51u) << "the direction keyword is not part of the sort item";
  EXPECT_TRUE(link->bIsDescending());
  link = analysis->piWalkLinks(0);
  EXPECT_EQ(link->nGetItemIndex(), 0xFFFFFFFFu);
  EXPECT_EQ(link->nGetTextStart(), 58u);

  //                                  0         1         2         3
  //                                  01234567890123456789012345678901234567
  const std::u16string updateText = u"UPDATE T SET A = 1, B = :p WHERE C = 2";
  ExpressionNode a(48, 47), one(49, 48), b(48, 47), p(49, 48);
  a.Text(13, 14).Column(u"", u"A");
  one.Text(17, 18);
  b.Text(20, 21).Column(u"T", u"B");
  p.Text(24, 26);
  Assignment setA(&a, &one), setB(&b, &p);
  setA.List(13, 26);
  setB.List(13, 26);
  QueryAnalysis update;
  update.SetText(QueryAnalysis::kSqlText, updateText);
  update.kind3Entries = {&setA, &setB};
  analysis = Host<IHostQueryAnalysis>(&update);
  auto* assignment = static_cast<IHostAssignment*>(analysis->piWalkKind3Entries(1));
  EXPECT_EQ(assignment->nGetListStart(), 13u);
  EXPECT_EQ(assignment->nGetListEnd(), 26u);
  EXPECT_EQ(assignment->nGetValueListStart(), 0u);
  EXPECT_EQ(assignment->nGetValueListEnd(), 0u);
  IHostExpressionNode* column = assignment->piGetColumn();
  EXPECT_EQ(column->nGetFunctionCode(), 47u);
  EXPECT_EQ(std::u16string(column->pszGetTableName()), u"");
  EXPECT_EQ(std::u16string(column->pszGetColumnName()), u"A");
  EXPECT_EQ(assignment->piGetValue()->nGetTextStart(), 17u);
  EXPECT_EQ(assignment->piGetValue()->pszGetTableName(), nullptr) << "a constant names no column";
  assignment = static_cast<IHostAssignment*>(analysis->piWalkKind3Entries(0));
  EXPECT_EQ(std::u16string(assignment->piGetColumn()->pszGetTableName()), u"T");
  EXPECT_EQ(assignment->piGetValue()->nGetTextEnd(), 26u);
  EXPECT_EQ(analysis->piWalkKind3Entries(0), nullptr);

  //                                  0         1         2         3
  //                                  01234567890123456789012345678901234
  const std::u16string insertText = u"INSERT INTO T (A, B) VALUES (1, :p)";
  Assignment intoA(&a, &one), intoB(&b, &p);
  intoA.List(15, 19).ValueList(29, 34);
  intoB.List(15, 19).ValueList(29, 34);
  QueryAnalysis insert;
  insert.SetText(QueryAnalysis::kSqlText, insertText);
  insert.kind4Entries = {&intoA, &intoB};
  analysis = Host<IHostQueryAnalysis>(&insert);
  assignment = static_cast<IHostAssignment*>(analysis->piWalkKind4Entries(1));
  EXPECT_EQ(assignment->nGetListStart(), 15u);
  EXPECT_EQ(assignment->nGetListEnd(), 19u);
  EXPECT_EQ(assignment->nGetValueListStart(), 29u);
  EXPECT_EQ(assignment->nGetValueListEnd(), 34u);
  EXPECT_EQ(assignment->piGetColumn(), Host<IHostExpressionNode>(&a));
  EXPECT_EQ(static_cast<IHostAssignment*>(analysis->piWalkKind4Entries(0))->piGetValue(),
            Host<IHostExpressionNode>(&p));
}

}  // namespace
