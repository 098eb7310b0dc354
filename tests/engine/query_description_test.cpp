// Query descriptions filled from the stand-in's analysed queries (one and two files, expressions, keys, links,
// aggregates, lookups that throw), the row-identity and aggregate answers, copies, and record descriptions built
// from them.
#include "engine/record/query_description.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "foundation/clone_map.h"
#include "foundation/error_holder.h"
#include "foundation/hash_table.h"
#include "standin/runtime/query_objects.h"
#include "tests/engine/record_fixture.h"
#include "tests/slot_call.h"

namespace {

using I = qzrt::ItemDescription;
using records::RecordTest;

IHostQueryAnalysis* Host(qzrt::QueryAnalysis& analysis) { return reinterpret_cast<IHostQueryAnalysis*>(&analysis); }
IHostItemDescription* Host(qzrt::ItemDescription& item) { return reinterpret_cast<IHostItemDescription*>(&item); }

// A table column as the runtime describes it.
void Column(I& column, std::uint32_t type, std::uint32_t size) {
  column.SetNumber(I::kType, type);
  column.SetNumber(I::kSize, size);
  column.SetText(I::kTableName, u"EMP");
  column.SetText(I::kCaption, column.pszGetName());
}
void UniqueKey(I& column, bool nullAllowed) {
  column.SetNumber(I::kKeyed, 1);
  column.SetNumber(I::kUnique, 1);
  column.SetNumber(I::kAscendingKey, 1);
  column.SetNumber(I::kNullAllowed, nullAllowed ? 1 : 0);
}

// A query over EMP: ID (a non-null unique column), NAME (a key with duplicates, its second name an alias), TOTAL
// (an expression summing), all but TOTAL from columns.
class QueryFixture : public RecordTest {
 protected:
  void SetUp() override {
    RecordTest::SetUp();
    Column(idColumn, COLUMN_TYPE_INT32, 4);
    UniqueKey(idColumn, false);
    Column(nameColumn, COLUMN_TYPE_TEXT, 21);
    nameColumn.SetNumber(I::kKeyed, 1);
    nameColumn.SetNumber(I::kKeyWithDuplicates, 1);
    name.SetText(I::kSecondName, u"E.ENAME");
    total.SetNumber(I::kItemKind, 1);
    total.SetNumber(I::kItemTypeCode, 8);  // a 16-bit integer
    total.SetNumber(I::kSize, 2);
    sum.SetNumber(I::kItemKind, 28);
    total.SetSubDescription(&sum);
    total.SetExpression(&call);
    analysis.files = {&emp};
    analysis.items = {&id, &name, &total};
    analysis.columns = {{&id, &idColumn}, {&name, &nameColumn}};
    analysis.aliases = {{u"E.ENAME", u"EMP.ENAME"}};
    analysis.SetText(qzrt::QueryAnalysis::kSqlText, u"SELECT ID, NAME, SUM(X) FROM EMP E");
  }
  std::unique_ptr<CQueryDescription, void (*)(CQueryDescription*)> Fill(std::uint32_t skipExtras = 0) {
    auto* query = new CQueryDescription(Holder(), Host(analysis), nullptr, skipExtras);
    query->AddRef();
    return {query, [](CQueryDescription* q) { q->nRelease(); }};
  }

  qzrt::QueryAnalysis analysis;
  qzrt::QueryFile emp{u"EMP", u"E"};
  I id{u"ID"}, name{u"NAME"}, total{u"TOTAL"}, sum{u"sum"};
  I idColumn{u"ID"}, nameColumn{u"ENAME"};
  qzrt::ExpressionNode leaf{48, 0};
  qzrt::ExpressionNode aggregate{47, 16, {&leaf}};
  qzrt::ExpressionNode call{47, 7, {&leaf, &aggregate}};  // an aggregate nested in another call
};

class QueryDescriptionTest : public QueryFixture {};

TEST_F(QueryDescriptionTest, FillWalksAndClassifiesAQueryOverOneTable) {
  qzrt::CountedPart entry1, entry2, first, second;
  analysis.SetNumber(qzrt::QueryAnalysis::kKind, 3);
  analysis.kind3Entries = {&entry1, &entry2};
  analysis.firstExtra = &first;
  analysis.secondExtra = &second;
  {
    auto query = Fill();
    EXPECT_EQ(query->nGetFileCount(), 1u);
    EXPECT_EQ(query->nGetKind(), 3u);
    EXPECT_EQ(query->pGetAutomaticIdentifierItem(), Host(id));
    EXPECT_EQ(query->pGetUniqueKeyItem(), Host(id));
    EXPECT_EQ(query->pGetKeyItem(), Host(id));
    EXPECT_EQ(query->pGetIdentifyingItem(), Host(id));
    EXPECT_TRUE(query->bHasAggregateItem());
    EXPECT_FALSE(query->bHasNonUpdatableItem());

    EXPECT_EQ(query->pNextItem(false), nullptr);  // no walk started
    EXPECT_EQ(query->pNextItem(true), Host(id));
    EXPECT_EQ(query->pNextItem(false), Host(name));
    EXPECT_EQ(query->pNextItem(false), Host(total));
    EXPECT_EQ(query->pNextItem(false), nullptr);
    EXPECT_EQ(query->pNextItem(true), Host(id));
    EXPECT_EQ(query->pNextKind3Entry(true), reinterpret_cast<IHostQueryPart*>(&entry1));
    EXPECT_EQ(query->pNextKind4Entry(true), nullptr);
    for (qzrt::SlotObject* held :
         std::initializer_list<qzrt::SlotObject*>{&id, &total, &emp, &entry2, &first, &second, &analysis}) {
      EXPECT_EQ(held->References(), 2);
    }
    EXPECT_EQ(std::u16string(query->nGetHostQueryKind()), u"SELECT ID, NAME, SUM(X) FROM EMP E");
  }
  for (qzrt::SlotObject* held :
       std::initializer_list<qzrt::SlotObject*>{&id, &total, &emp, &entry2, &first, &second, &analysis}) {
    EXPECT_EQ(held->References(), 1);
  }
}

TEST_F(QueryDescriptionTest, KeysComeFromColumnsOnlyForOneTableAndLinksNameTheIdentifyingItem) {
  qzrt::QueryFile dept{u"DEPT", u"DEPT"};
  analysis.files = {&emp, &dept};
  {
    auto query = Fill();
    EXPECT_EQ(query->pGetAutomaticIdentifierItem(), nullptr);
    EXPECT_EQ(query->pGetKeyItem(), nullptr);
    EXPECT_EQ(query->pGetIdentifyingItem(), Host(id));  // the first item
  }
  analysis.files = {&emp};
  UniqueKey(idColumn, true);  // nullable: unique, yet no automatic identifier
  qzrt::KeyLink link{1, true};
  analysis.links = {&link};
  {
    auto query = Fill();
    EXPECT_EQ(query->pGetAutomaticIdentifierItem(), nullptr);
    EXPECT_EQ(query->pGetUniqueKeyItem(), Host(id));
    EXPECT_EQ(query->pGetFirstLinkItem(), Host(name));
    EXPECT_EQ(query->pGetIdentifyingItem(), Host(name));
  }
  auto skipping = Fill(1);  // no links, descriptors or second extra
  EXPECT_EQ(skipping->pNextLink(true), nullptr);
  EXPECT_EQ(skipping->pGetIdentifyingItem(), Host(id));
  EXPECT_EQ(analysis.CallCount(qzrt::QueryAnalysis::kSecondExtra), 2u);  // the two full fills only
}

TEST_F(QueryDescriptionTest, LookupsCatchWhatTheRuntimeThrows) {
  analysis.ThrowAt(qzrt::QueryAnalysis::kColumnOfItem);
  auto query = Fill();
  EXPECT_EQ(query->pGetAutomaticIdentifierItem(), nullptr);
  EXPECT_EQ(query->pFindTableColumn(Host(id)), nullptr);
  EXPECT_EQ(query->pFindTableColumn(Host(total)), nullptr);  // an expression has none, thrown or not
  analysis.ThrowAt(qzrt::QueryAnalysis::kResolveAlias);
  EXPECT_EQ(query->pResolveAlias(u"E"), nullptr);
  analysis.ThrowAt(qzrt::SlotObject::npos);
  EXPECT_EQ(std::u16string(query->pResolveAlias(u"E.ENAME")), u"EMP.ENAME");
  analysis.ClearCalls();
  EXPECT_EQ(query->pResolveAlias(u""), nullptr);
  EXPECT_EQ(analysis.CallCount(qzrt::QueryAnalysis::kResolveAlias), 0u);
  // Through another runtime statement: its own answer, none without one.
  qzrt::QueryAnalysis other;
  other.aliases = {{u"E.ENAME", u"EMPLOYEE.ENAME"}};
  EXPECT_EQ(std::u16string(CQueryDescription::pResolveHostName(u"E.ENAME", Host(other))),
            u"EMPLOYEE.ENAME");
  EXPECT_EQ(CQueryDescription::pResolveHostName(u"E.ENAME", nullptr), nullptr);
  EXPECT_EQ(query->pFindTableColumn(Host(id)), Host(idColumn));
}

TEST_F(QueryDescriptionTest, RowIdentityNeedsNoAggregateDescriptorNonUpdatableItemOrDistinct) {
  analysis.items = {&id, &name};
  struct Case {
    std::u16string text;
    int allowed;
  };
  const Case cases[] = {{u"SELECT DISTINCT ID FROM EMP", 0},
                        {u"SELECT distinct ID FROM EMP", 0},
                        {u"SELECT Distinct ID FROM EMP", 0},
                        {u"SELECT\tDISTINCT\tID FROM EMP", 0},
                        {u"SELECT DISTINCT(ID) FROM EMP", 0},
                        {u"SELECT ID FROM DISTINCTIVE", 1},
                        {u"SELECT 'DISTINCT ' FROM EMP", 1},
                        {u"SELECT \"DISTINCT\" FROM EMP", 1}};
  for (const Case& c : cases) {
    analysis.SetText(qzrt::QueryAnalysis::kSqlText, c.text);
    EXPECT_EQ(Fill()->bAllowsRowIdentity(), c.allowed) << std::string(c.text.begin(), c.text.end());
  }
  analysis.items = {&id, &name, &total};
  EXPECT_FALSE(Fill()->bAllowsRowIdentity());  // the aggregate
  analysis.items = {&id};
  id.SetNumber(I::kUpdatable, 0);
  EXPECT_FALSE(Fill()->bAllowsRowIdentity());
  id.SetNumber(I::kUpdatable, 1);
  qzrt::IndexDescriptor descriptor;
  descriptor.SetText(0, u"IDX");
  descriptor.SetNumber(1, 7);
  descriptor.identifier[15] = 0xEE;
  descriptor.Text(40, 43);
  analysis.descriptors = {&descriptor};
  auto query = Fill();
  EXPECT_FALSE(query->bAllowsRowIdentity());
  CDescriptorSnapshot* snapshot = query->pNextDescriptor(true);
  ASSERT_NE(snapshot, nullptr);
  EXPECT_EQ(std::u16string(snapshot->pszGetName()), u"IDX");
  EXPECT_EQ(snapshot->nGetNumber(), 7u);
  EXPECT_EQ(std::u16string(snapshot->pszGetSecondText()), u"");
  // The statement rewriter reads the GROUP BY item's span from the copy, after the analysis may be gone.
  auto* seen = AsSeenAcross<IHostIndexDescriptor>(snapshot);
  EXPECT_EQ(seen->nGetTextStart(), 40u);
  EXPECT_EQ(seen->nGetTextEnd(), 43u);
  std::uint8_t identifier[16] = {};
  snapshot->GetIdentifier(identifier);
  EXPECT_EQ(identifier[15], 0xEE);
}

TEST_F(QueryDescriptionTest, AggregatesAreFoundAnywhereInTheTreeButNotInLeaves) {
  EXPECT_TRUE(bHasAggregate(reinterpret_cast<IHostExpressionNode*>(&call)));
  qzrt::ExpressionNode plain{47, 7, {&leaf}};
  EXPECT_FALSE(bHasAggregate(reinterpret_cast<IHostExpressionNode*>(&plain)));
  qzrt::ExpressionNode leafWithChild{49, 0, {&aggregate}};
  EXPECT_FALSE(bHasAggregate(reinterpret_cast<IHostExpressionNode*>(&leafWithChild)));
  qzrt::ExpressionNode operation{12, 0, {&plain, &aggregate}};
  EXPECT_TRUE(bHasAggregate(reinterpret_cast<IHostExpressionNode*>(&operation)));
  for (std::uint32_t code : {15u, 16u, 29u, 30u, 40u}) {
    qzrt::ExpressionNode node{47, code};
    EXPECT_TRUE(bHasAggregate(reinterpret_cast<IHostExpressionNode*>(&node))) << code;
  }
  EXPECT_FALSE(bIsAggregateKind(26));
  EXPECT_TRUE(bIsAggregateKind(27));
  EXPECT_TRUE(bIsAggregateKind(31));
  EXPECT_FALSE(bIsAggregateKind(32));
  const std::uint32_t in[] = {6, 8, 27, 31, 34, 46, 50, 57, 59, 66, 68, 72, 74, 95, 97, 103};
  const std::uint32_t out[] = {5, 9, 26, 32, 33, 47, 49, 58, 67, 73, 96, 104};
  for (std::uint32_t code : in) EXPECT_TRUE(nIsFunctionExpressionCode(code)) << code;
  for (std::uint32_t code : out) EXPECT_FALSE(nIsFunctionExpressionCode(code)) << code;

  auto query = Fill();
  CColumnDescriptor* totalColumn = Make(u"TOTAL", COLUMN_TYPE_INT16, 2);
  CColumnDescriptor* memo = Make(u"ID", COLUMN_TYPE_TEXT_MEMO, 8);
  EXPECT_TRUE(query->bItemHasAggregate(totalColumn));
  EXPECT_TRUE(query->bItemHasAggregate(memo));  // a column item answers whether it is a memo
  for (CColumnDescriptor* d : {totalColumn, memo}) {
    d->AddRef();
    d->nRelease();
  }
}

TEST_F(QueryDescriptionTest, FilesItemsAndKeysAreFoundByName) {
  qzrt::QueryFile dept{u"DEPT", u"dept"};
  int answer = 0;
  analysis.files = {&emp, &dept};
  analysis.fileAnswers = {{&dept, &answer}};
  auto query = Fill();
  void* out = nullptr;
  EXPECT_TRUE(query->pFindFile(u"emp", &out));  // aliased: E
  EXPECT_EQ(out, nullptr);
  EXPECT_FALSE(query->pFindFile(u"DEPT", &out));
  EXPECT_EQ(out, &answer);
  EXPECT_FALSE(query->pFindFile(u"NAME", &out));
  EXPECT_EQ(out, static_cast<void*>(&name));  // no file: the query's item lookup

  EXPECT_EQ(query->pFindItem(u"total"), Host(total));
  EXPECT_EQ(query->pFindItem(u"none"), nullptr);
  name.SetText(I::kOrigin, u"ENAME");
  name.SetText(I::kFileName, u"E");
  analysis.aliases[u"E"] = u"EMP";
  qzrt::ItemDescription column(u"NAME");
  column.SetText(I::kCaption, u"ENAME");
  column.SetText(I::kTableName, u"EMP");
  EXPECT_EQ(query->pFindItemFile(Host(column)), Host(name));
  column.SetText(I::kTableName, u"DEPT");
  EXPECT_EQ(query->pFindItemFile(Host(column)), nullptr);

  EXPECT_TRUE(query->bIsUniqueKeyItem(Host(id)));
  EXPECT_FALSE(query->bIsUniqueKeyItem(Host(name)));
  EXPECT_FALSE(query->bIsAutomaticIdentifierItem(Host(total)));
  UniqueKey(nameColumn, false);
  EXPECT_TRUE(query->bIsAutomaticIdentifierItem(Host(name)));  // its column is usable as a key
}

TEST_F(QueryDescriptionTest, ACopyRefusesARowIdentityItsSourceRefused) {
  qzrt::CountedPart entry;
  analysis.items = {&id, &name};
  name.SetNumber(I::kUpdatable, 0);
  analysis.SetNumber(qzrt::QueryAnalysis::kKind, 4);
  analysis.kind4Entries = {&entry};
  qzrt::RuntimeObject pending(u"Q");
  pending.SetNumber(qzrt::RuntimeObject::kPending, 1);
  auto source = Fill();
  source->SetLinkedObject(reinterpret_cast<IHostNamedObject*>(&pending));
  ASSERT_FALSE(source->bAllowsRowIdentity());
  CHashTable map(7);
  CQueryDescription* copy = source->pClone(map);
  ASSERT_NE(copy, nullptr);
  EXPECT_FALSE(copy->bAllowsRowIdentity());
  EXPECT_EQ(copy->pNextKind4Entry(true), reinterpret_cast<IHostQueryPart*>(&entry));
  EXPECT_EQ(copy->pGetIdentifyingItem(), source->pGetIdentifyingItem());
  EXPECT_EQ(copy->nGetLinkedObjectValue(), 1u);
  EXPECT_EQ(entry.References(), 3);
  EXPECT_EQ(pending.References(), 3);
  EXPECT_TRUE(map.bLookup(nCloneKey(source.get()), nullptr, nullptr));
  copy->nRelease();
  source.reset();
  EXPECT_EQ(entry.References(), 1);
  EXPECT_EQ(pending.References(), 1);
}

class BuildFromQueryTest : public QueryFixture {
 protected:
  std::u16string Origin(std::uint32_t index) { return description->pGetItemAt(index)->pszGetOriginName(); }
  void TearDown() override {
    if (description) description->nRelease();
    QueryFixture::TearDown();
  }
  CRecordDescription* description = nullptr;
};

TEST_F(BuildFromQueryTest, ItemsComeFromColumnsOrTheRuntimesItemsAndKeysOnlyFromOneTable) {
  idColumn.SetNumber(I::kPrimaryKey, 1);
  qzrt::KeyLink link{0, true};
  analysis.links = {&link};
  description = NewDescription();
  auto query = Fill();
  ASSERT_TRUE(description->bBuildFromQuery(query.get()));
  EXPECT_EQ(description->nGetOrigin(), 2u);
  ASSERT_EQ(description->nGetItemCount(), 3u);
  CColumnDescriptor* idItem = description->pGetItemAt(0);
  EXPECT_EQ(idItem->nGetFlags() & (COLUMN_FLAG_PRIMARY_KEY | COLUMN_FLAG_UNIQUE),
            COLUMN_FLAG_PRIMARY_KEY | COLUMN_FLAG_UNIQUE);
  EXPECT_TRUE(idItem->bIsDescending());  // from the link
  EXPECT_EQ(description->pGetIdentifyingKeyMember(), idItem);
  CColumnDescriptor* nameItem = description->pGetItemAt(1);
  EXPECT_EQ(std::u16string(nameItem->pszGetName()), u"NAME");
  EXPECT_EQ(std::u16string(nameItem->pszGetTableName()), u"EMP");
  EXPECT_EQ(nameItem->nGetSize(), 21u);
  EXPECT_EQ(nameItem->nGetKeyNumber(), 1u);
  EXPECT_EQ(Origin(1), u"EMP.ENAME");  // the second name through the aliases
  EXPECT_EQ(Origin(0), u"ID");
  CColumnDescriptor* totalItem = description->pGetItemAt(2);
  EXPECT_EQ(totalItem->nGetType(), std::uint32_t{COLUMN_TYPE_INT16});
  EXPECT_EQ(totalItem->nGetStoredItemKind(), 1u);
  EXPECT_EQ(Origin(2), u"");  // an expression keeps none
  EXPECT_EQ(description->nGetKeyCount(), 2u);
  EXPECT_EQ(description->nGetRecordSize(), 4u + 21u + 2u);
}

TEST_F(BuildFromQueryTest, AQueryOverTwoTablesKeepsNoUniqueKeysAndSkipsCompositeKeys) {
  qzrt::QueryFile dept{u"DEPT", u"DEPT"};
  qzrt::ItemDescription pair(u"PAIR"), pairColumn(u"PAIR");
  Column(pairColumn, COLUMN_TYPE_BINARY, 10);
  pairColumn.SetNumber(I::kKeyed, 1);
  pairColumn.SetNumber(I::kCompositeKey, 1);
  analysis.files = {&emp, &dept};
  analysis.items = {&id, &pair, &name};
  analysis.columns[&pair] = &pairColumn;
  analysis.aliases.clear();  // the second name is found through the query's item of the first name
  name.SetText(I::kSecondName, u"E.ENAME");
  description = NewDescription();
  auto query = Fill();
  ASSERT_TRUE(description->bBuildFromQuery(query.get()));
  ASSERT_EQ(description->nGetItemCount(), 2u);
  EXPECT_EQ(description->pGetItemAt(0)->nGetFlags() & (COLUMN_FLAG_UNIQUE | COLUMN_FLAG_DUPLICATES),
            COLUMN_FLAG_DUPLICATES);
  EXPECT_EQ(Origin(1), u"E.ENAME");
}

TEST_F(BuildFromQueryTest, ABuildAgainUpdatesTheItemsAndTheirLists) {
  description = NewDescription();
  auto query = Fill();
  ASSERT_TRUE(description->bBuildFromQuery(query.get()));
  ASSERT_EQ(description->nGetLargeItemCount(), 0u);
  Column(nameColumn, COLUMN_TYPE_TEXT_MEMO, 8);
  nameColumn.SetNumber(I::kKeyed, 0);
  ASSERT_TRUE(description->bBuildFromQuery(query.get()));
  EXPECT_EQ(description->nGetItemCount(), 3u);
  EXPECT_EQ(description->nGetLargeItemCount(), 1u);
  EXPECT_EQ(description->nGetKeyCount(), 2u);  // keys already listed are not listed twice
  EXPECT_EQ(description->pGetItemAt(1)->nGetType(), std::uint32_t{COLUMN_TYPE_TEXT_MEMO});
}

TEST_F(BuildFromQueryTest, AFailedFactoryStopsTheWalkWithTheOutOfMemoryError) {
  description = NewDescription();
  auto query = Fill();
  driver->failDescriptors = true;
  EXPECT_FALSE(description->bBuildFromQuery(query.get()));
  EXPECT_EQ(description->nGetItemCount(), 0u);
  EXPECT_EQ(Holder()->pGetEmbeddedObject()->nGetLevel(), ERROR_LEVEL_FATAL);
}

}  // namespace
