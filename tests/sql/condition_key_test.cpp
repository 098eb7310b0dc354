// Key conditions over table descriptions built from generic record descriptions: stages and directions, equality of
// searches, the WHERE text's failure, and the shapes of the conditions the searches build (kinds, columns, values and
// flags of each node): single keys, ranges, packed composite keys with their ordered expansion, the stop after a
// unique NOT NULL prefix and the record found again by its first unique key. Tests that need the condition trees'
// own operations (node factory, Init, the destructor's releases) skip while those answer the placeholders' failure.
#include "sql/conditions/key_condition.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/record.h"
#include "engine/record/record_buffer.h"
#include "engine/record/record_description.h"
#include "engine/record/table_description.h"
#include "engine/table/table.h"
#include "engine/values/field_value.h"
#include "engine/values/row_keys.h"
#include "foundation/hash_table.h"
#include "sql/driver_services.h"
#include "sql/rewriter/sql_rewriter.h"
#include "sql/rewriter/value_leaf.h"
#include "tests/doubles/table_doubles.h"
#include "tests/engine/field_value_fixture.h"
#include "tests/sql/condition_doubles.h"

namespace {

using conditions::ColumnMakingDriver;
using PlainTable = conditions::RecordKeyedTable;

// The key condition with its builders and members within the tests' reach. It gives back what it holds itself, so
// that the tests balance their references whoever builds the base's destructor.
class TestKey : public CKeyCondition {
 public:
  TestKey(CErrorHolder* holder, CConnection* connection) : CKeyCondition(holder, connection) {}
  ~TestKey() override {
    ReleaseConditions();
    if (m_pSearchItem) m_pSearchItem->nRelease();
    m_pSearchItem = nullptr;
  }
  // Conditions handed over with a reference each.
  void Install(CConditionNode* first, CConditionNode* forward, CConditionNode* backward) {
    for (CConditionNode* node : {first, forward, backward}) AddRefObject(node);
    m_pFirstStage = first;
    m_pForward = forward;
    m_pBackward = backward;
    SetCurrent(first);
  }
  void SetState(std::uint32_t stage, std::uint32_t direction, std::uint32_t flags) {
    m_nStage = stage;
    m_nDirection = direction;
    m_nFlags = flags;
  }
  void HoldItem(CColumnDescriptor* item) {
    item->AddRef();
    if (m_pSearchItem) m_pSearchItem->nRelease();
    m_pSearchItem = item;
  }
  void HoldLeaf(CValueLeaf* leaf) {
    leaf->AddRef();
    m_leaves.Add(leaf);
  }
  void HoldCurrent(CConditionNode* node) { SetCurrent(node); }
};

// A rewriter whose column references cannot be written.
class FailingOperandRewriter : public CSqlRewriter {
 public:
  using CSqlRewriter::CSqlRewriter;
  int bWriteOperand(const SComparedColumn&, std::uint32_t, std::uint32_t, IHostExpressionNode*, CTString&) override {
    return 0;
  }
};

const char* KindName(std::uint32_t kind) {
  static const char* const names[] = {"EMPTY", "OR", "AND", "NOT", "EQ", "GT", "LT", "GE",
                                      "LE", "QUERY", "FALSE", "TRUE", "NE", "ISNULL", "NOTNULL"};
  return kind < sizeof(names) / sizeof(names[0]) ? names[kind] : "?";
}

class KeyConditionTest : public CFieldValueFixture {
 protected:
  void SetUp() override {
    CFieldValueFixture::SetUp();
    gpDriver = &columnDriver;
    description = columnDriver.CDriver::pCreateDescription(connection, holder);
    description->AddRef();
    description->SetName(u"T");
    table = new doubles::ValueKeyedTable(connection, holder);
    table->AddRef();
  }
  void TearDown() override {
    for (CKeyCondition* key : keys) key->nRelease();
    if (tableDescription) tableDescription->nRelease();
    description->nRelease();
    table->nRelease();
    CFieldValueFixture::TearDown();
  }

  CColumnDescriptor* Add(const char16_t* name, std::uint32_t type, std::uint32_t size, std::uint16_t flags = 0) {
    return conditions::AddItem(description, name, type, size, flags);
  }
  CColumnDescriptor* AddInt(const char16_t* name, std::uint16_t flags = 0) {
    return Add(name, COLUMN_TYPE_INT32, 4, flags);
  }
  CColumnDescriptor* AddCompositeKey(const char16_t* name, std::vector<CColumnDescriptor*> components,
                                     std::uint16_t flags) {
    return conditions::AddCompositeKey(description, name, components, flags);
  }
  void Build() {
    description->LayoutItems();
    tableDescription = new CTableDescription(holder, table);
    tableDescription->AddRef();
    ASSERT_TRUE(tableDescription->bBuild(description, nullptr, connection));
  }
  TestKey* Key() {
    auto* key = new TestKey(holder, connection);
    key->AddRef();
    keys.push_back(key);
    return key;
  }
  CColumn* Column(const char16_t* name) { return tableDescription->pFindColumnByName(name); }
  void SetInt(const char16_t* name, std::int32_t n) {
    CHostValue value;
    Make(value, HOST_TYPE_INT32, n);
    ASSERT_TRUE(Column(name)->bSetValue(value, 0));
  }
  // A packed composite value of 32-bit components.
  static void Pack(CHostValue& packed, std::vector<std::int32_t> parts) {
    std::vector<std::uint8_t> bytes(parts.size() * 4);
    std::memcpy(bytes.data(), parts.data(), bytes.size());
    packed.SetType(HOST_TYPE_BINARY_BUFFER);
    ASSERT_EQ(packed.SetFromBuffer(bytes.data(), bytes.size()), HOST_OK);
  }

  // The tree as text: KIND(left,right) for branches, KIND:column=value for comparisons.
  static std::string Shape(CConditionNode* node) {
    if (!node) return "null";
    std::string text = KindName(node->nGetKind());
    if (node->pGetColumn()) {
      std::u16string name(node->pGetColumn()->pszGetName());
      text += ":" + std::string(name.begin(), name.end()) + "=" + ValueText(node->pGetValue());
      return text;
    }
    if (!node->pGetLeft()) return text;
    text += "(" + Shape(node->pGetLeft());
    if (node->pGetRight()) text += "," + Shape(node->pGetRight());
    return text + ")";
  }
  static std::string ValueText(CFieldValue* value) {
    if (!value) return "none";
    if (value->Value().bIsNull()) return "NULL";
    CHostValue copy;
    copy.Assign(value->Value());
    copy.EnsureWideText();
    const char16_t* text = nullptr;
    copy.nGetWideText(&text);
    std::u16string wide(text ? text : u"");
    return std::string(wide.begin(), wide.end());
  }
  // Every comparison's flags, left to right.
  static void CollectFlags(CConditionNode* node, std::vector<std::uint32_t>& out) {
    if (!node) return;
    if (node->pGetColumn()) {
      out.push_back(node->nGetFlags());
      return;
    }
    CollectFlags(node->pGetLeft(), out);
    CollectFlags(node->pGetRight(), out);
  }

  doubles::ColumnMakingDriver columnDriver;
  CRecordDescription* description = nullptr;
  doubles::ValueKeyedTable* table = nullptr;
  CTableDescription* tableDescription = nullptr;
  std::vector<CKeyCondition*> keys;
};

// ---- stages ----

TEST_F(KeyConditionTest, StagesMoveBetweenTheFirstStageAndEitherContinuation) {
  TestKey* key = Key();
  EXPECT_EQ(key->nGetStage(), KEY_STAGE_NONE);
  EXPECT_EQ(key->nGetDirection(), 4u);
  EXPECT_FALSE(key->bNeedsRebuild(0));

  auto* first = new CConditionNode(holder);
  auto* forward = new CConditionNode(holder);
  auto* backward = new CConditionNode(holder);
  key->Install(first, forward, backward);
  key->SetFirstStage();
  EXPECT_TRUE(key->bNeedsRebuild(0)) << "the first stage is always written again";
  EXPECT_TRUE(key->bFirstStageOrFlag());

  ASSERT_TRUE(key->bAdvance(3));
  EXPECT_EQ(key->nGetStage(), KEY_STAGE_CONTINUATION);
  EXPECT_EQ(key->pGetCurrent(), backward);
  EXPECT_EQ(backward->nGetRefCount(), 2u) << "the current condition holds its own reference";
  EXPECT_FALSE(key->bNeedsRebuild(1)) << "1 and 3 both read backward";
  EXPECT_TRUE(key->bNeedsRebuild(0));
  EXPECT_FALSE(key->bFirstStageOrFlag());
  key->SetStageFlag();
  EXPECT_TRUE(key->bFirstStageOrFlag());

  ASSERT_TRUE(key->bAdvance(0));
  EXPECT_EQ(key->nGetStage(), KEY_STAGE_FIRST) << "a change of direction goes back to the first stage";
  EXPECT_EQ(key->pGetCurrent(), first);
  EXPECT_EQ(backward->nGetRefCount(), 1u);
  ASSERT_TRUE(key->bAdvance(0));
  EXPECT_EQ(key->pGetCurrent(), forward);
  EXPECT_FALSE(key->bNeedsRebuild(0));

  key->Restart(1);
  EXPECT_EQ(key->nGetStage(), KEY_STAGE_FIRST);
  EXPECT_EQ(key->pGetCurrent(), forward) << "a restart keeps the current condition";
  key->Restart(0);
  EXPECT_FALSE(key->bIsStarted());
  EXPECT_EQ(key->pGetCurrent(), nullptr);
  EXPECT_EQ(forward->nGetRefCount(), 1u);
}

TEST_F(KeyConditionTest, WithoutContinuationsTheNextReadHasNoCondition) {
  TestKey* key = Key();
  auto* first = new CConditionNode(holder);
  key->Install(first, nullptr, nullptr);
  key->SetFirstStage();
  ASSERT_TRUE(key->bAdvance(0));
  EXPECT_EQ(key->pGetCurrent(), nullptr);
  CSqlRewriter* rewriter = pCreateSqlRewriterThroughDriver(holder, connection);
  rewriter->AddRef();
  EXPECT_TRUE(key->bWriteSql(rewriter, nullptr, nullptr));
  EXPECT_TRUE(rewriter->GetStatementText().bIsEmpty());
  rewriter->nRelease();
}

// ---- equality ----

TEST_F(KeyConditionTest, SearchesAreEqualByStateItemValueAndLeaves) {
  AddInt(u"ID", COLUMN_FLAG_UNIQUE);
  Build();
  TestKey* a = Key();
  TestKey* b = Key();
  EXPECT_FALSE(a->bEquals(nullptr));
  for (TestKey* k : {a, b}) {
    k->SetState(KEY_STAGE_FIRST, 0, KEY_FLAG_PREFIX);
    Make(k->SearchValue(), HOST_TYPE_INT32, 5);
  }
  EXPECT_TRUE(a->bEquals(b));

  b->SearchValue().SetNull(true);
  EXPECT_FALSE(a->bEquals(b)) << "the NULL flag differs";
  a->SearchValue().SetNull(true);
  EXPECT_FALSE(a->bEquals(b)) << "a NULL value never equals";
  EXPECT_TRUE(a->bEquals(a));
  a->SearchValue().SetNull(false);
  b->SearchValue().SetNull(false);

  b->SetState(KEY_STAGE_FIRST, 1, KEY_FLAG_PREFIX);
  EXPECT_FALSE(a->bEquals(b)) << "directions differ";
  b->SetState(KEY_STAGE_FIRST, 0, KEY_FLAG_PREFIX);

  TestColumn upper(COLUMN_TYPE_INT32, 4, u"ID");
  TestColumn lower(COLUMN_TYPE_INT32, 4, u"id");
  a->HoldItem(upper);
  EXPECT_FALSE(a->bEquals(b)) << "one item, none";
  b->HoldItem(lower);
  EXPECT_FALSE(a->bEquals(b)) << "item names compare exactly";
  b->HoldItem(upper);
  EXPECT_TRUE(a->bEquals(b));
}

// Ranges have no search value: their bounds, in their conditions, tell them apart.
TEST_F(KeyConditionTest, RangesAreEqualByTheirBounds) {
  CColumnDescriptor* id = AddInt(u"ID", COLUMN_FLAG_DUPLICATES);
  Build();
  CHostValue one, five, nine;
  Make(one, HOST_TYPE_INT32, 1);
  Make(five, HOST_TYPE_INT32, 5);
  Make(nine, HOST_TYPE_INT32, 9);
  TestKey* a = Key();
  TestKey* b = Key();
  ASSERT_TRUE(a->bSetRange(tableDescription, id, &one, 1, &five, 1, nullptr, 0));
  ASSERT_TRUE(b->bSetRange(tableDescription, id, &one, 1, &nine, 1, nullptr, 0));
  EXPECT_FALSE(a->bEquals(b)) << "another upper bound";
  ASSERT_TRUE(b->bSetRange(tableDescription, id, &one, 1, &five, 0, nullptr, 0));
  EXPECT_FALSE(a->bEquals(b)) << "the bound excluded";
  ASSERT_TRUE(b->bSetRange(tableDescription, id, &one, 1, &five, 1, nullptr, 0));
  EXPECT_TRUE(a->bEquals(b)) << "the same range";
}

TEST_F(KeyConditionTest, SearchesWithLeavesAreEqualByTheirLeaves) {
  AddInt(u"ID", COLUMN_FLAG_UNIQUE);
  Build();
  TestKey* a = Key();
  TestKey* b = Key();
  CHostValue five;
  Make(five, HOST_TYPE_INT32, 5);
  CColumn* id = Column(u"ID");
  auto leafAt = [&](std::uint64_t position) {
    CFieldValue* value = pCreateBoundItemThroughDriver(holder, connection, id, five);
    return pCreateValueLeafForThroughDriver(id, value, position, 0);
  };
  a->HoldLeaf(leafAt(3));
  EXPECT_FALSE(a->bEquals(b)) << "leaf counts differ";
  b->HoldLeaf(leafAt(3));
  EXPECT_TRUE(a->bEquals(b)) << "leaves compare by content";
  a->HoldLeaf(leafAt(7));
  b->HoldLeaf(leafAt(8));
  EXPECT_FALSE(a->bEquals(b)) << "the same value at another place";
}

// ---- writing ----

TEST_F(KeyConditionTest, AFailedWriteIsNotReportedAsSuccess) {
  AddInt(u"ID");
  Build();
  TestKey* key = Key();
  CHostValue five;
  Make(five, HOST_TYPE_INT32, 5);
  CFieldValue* value = pCreateBoundItemThroughDriver(holder, connection, Column(u"ID"), five);
  value->AddRef();
  auto* node = new CConditionNode(holder);
  node->InitComparison(COND_EQ, Column(u"ID"), value, 0);
  key->HoldCurrent(node);
  auto* rewriter = new FailingOperandRewriter(holder, connection);
  rewriter->AddRef();
  EXPECT_FALSE(key->bWriteSql(rewriter, nullptr, nullptr));
  rewriter->nRelease();
  key->HoldCurrent(nullptr);
  value->nRelease();
}

// ---- searches ----

TEST_F(KeyConditionTest, ASearchWithoutAFirstStageAnswersOneUnstarted) {
  AddInt(u"ID");
  Build();
  TestColumn stranger(COLUMN_TYPE_INT32, 4, u"ELSEWHERE");
  TestKey* key = Key();
  CHostValue five;
  Make(five, HOST_TYPE_INT32, 5);
  EXPECT_TRUE(key->bSetSearch(tableDescription, stranger, &five, 0, 1));
  EXPECT_FALSE(key->bIsStarted());
  EXPECT_EQ(key->pGetFirstStage(), nullptr);
  EXPECT_EQ(key->pGetCurrent(), nullptr);
  key->SetSearchItem(nullptr);
}

TEST_F(KeyConditionTest, ASingleKeySearchAndItsContinuations) {
  CColumnDescriptor* id = AddInt(u"ID", COLUMN_FLAG_UNIQUE);
  Build();
  TestKey* key = Key();
  CHostValue five;
  Make(five, HOST_TYPE_INT32, 5);
  ASSERT_TRUE(key->bSetSearch(tableDescription, id, &five, 0, 1));
  EXPECT_EQ(key->nGetStage(), KEY_STAGE_FIRST);
  EXPECT_EQ(Shape(key->pGetFirstStage()), "EQ:ID=5");
  EXPECT_EQ(Shape(key->pGetForward()), "GT:ID=5");
  EXPECT_EQ(Shape(key->pGetBackward()), "LT:ID=5");
  EXPECT_EQ(key->pGetCurrent(), key->pGetFirstStage());
  EXPECT_NE(key->pGetForward(), key->pGetFirstStage()) << "a continuation is a copy";
}

TEST_F(KeyConditionTest, RangesOfEqualBoundsAndDescendingKeys) {
  CColumnDescriptor* up = AddInt(u"UP", COLUMN_FLAG_DUPLICATES);
  CColumnDescriptor* down = AddInt(u"DOWN", COLUMN_FLAG_DUPLICATES);
  down->SetKeyDirection(true);
  Build();
  CHostValue low;
  CHostValue high;
  Make(low, HOST_TYPE_INT32, 1);
  Make(high, HOST_TYPE_INT32, 1);

  TestKey* key = Key();
  ASSERT_TRUE(key->bSetRange(tableDescription, up, &low, 1, &high, 1, nullptr, 0));
  EXPECT_EQ(Shape(key->pGetFirstStage()), "EQ:UP=1") << "equal bounds become one equality";
  EXPECT_EQ(key->pGetFirstStage()->nGetFlags(), KEY_FLAG_LIMITS | KEY_FLAG_LOW_BOUND);
  ASSERT_TRUE(key->bSetRange(tableDescription, up, &low, 1, &high, 0, nullptr, 0));
  EXPECT_EQ(Shape(key->pGetFirstStage()), "AND(GE:UP=1,LT:UP=1)") << "an end left out: no value between";
  EXPECT_EQ(key->pGetCurrent(), key->pGetFirstStage());
  EXPECT_FALSE(key->bIsStarted()) << "the caller starts the range";

  Make(high, HOST_TYPE_INT32, 9);
  ASSERT_TRUE(key->bSetRange(tableDescription, up, &low, 0, &high, 1, nullptr, 0));
  EXPECT_EQ(Shape(key->pGetFirstStage()), "AND(GT:UP=1,LE:UP=9)");
  // From 9 down to 1 in the key's order, 9 taken and 1 not: each bound keeps its own inclusiveness.
  ASSERT_TRUE(key->bSetRange(tableDescription, down, &high, 1, &low, 0, nullptr, 0));
  EXPECT_EQ(Shape(key->pGetFirstStage()), "AND(GT:DOWN=1,LE:DOWN=9)") << "a descending key exchanges its bounds";
  ASSERT_TRUE(key->bSetRange(tableDescription, up, nullptr, 1, &high, 1, nullptr, 0));
  EXPECT_EQ(Shape(key->pGetFirstStage()), "LE:UP=9");
  std::vector<std::uint32_t> flags;
  CollectFlags(key->pGetFirstStage(), flags);
  EXPECT_EQ(flags, std::vector<std::uint32_t>{KEY_FLAG_LIMITS | KEY_FLAG_HIGH_BOUND});
}

class CompositeKeyTest : public KeyConditionTest {
 protected:
  // (P, Q, S) with duplicates, and optionally a unique NOT NULL key on (P, Q).
  void BuildKeys(bool uniquePrefix) {
    CColumnDescriptor* p = AddInt(u"P");
    CColumnDescriptor* q = AddInt(u"Q");
    CColumnDescriptor* s = AddInt(u"S");
    key3 = AddCompositeKey(u"PQS", {p, q, s}, COLUMN_FLAG_DUPLICATES);
    if (uniquePrefix) {
      CColumnDescriptor* pair = AddCompositeKey(u"PQ", {p, q}, COLUMN_FLAG_UNIQUE);
      pair->SetNullAllowed(false);
    }
    Build();
  }
  CColumnDescriptor* key3 = nullptr;
};

TEST_F(CompositeKeyTest, PackedValuesExpandInKeyOrder) {
  BuildKeys(false);
  CHostValue packed;
  Pack(packed, {1, 2, 3});
  TestKey* key = Key();
  ASSERT_TRUE(key->bSetSearch(tableDescription, key3, &packed, 0, 1));
  EXPECT_EQ(Shape(key->pGetFirstStage()), "AND(AND(EQ:P=1,EQ:Q=2),EQ:S=3)");
  EXPECT_EQ(Shape(key->pGetForward()), "OR(GT:P=1,AND(EQ:P=1,OR(GT:Q=2,AND(EQ:Q=2,GT:S=3))))");
  EXPECT_EQ(Shape(key->pGetBackward()), "OR(LT:P=1,AND(EQ:P=1,OR(LT:Q=2,AND(EQ:Q=2,LT:S=3))))");
  std::vector<std::uint32_t> flags;
  CollectFlags(key->pGetForward(), flags);
  ASSERT_EQ(flags.size(), 5u);
  for (std::uint32_t f : flags) EXPECT_EQ(f, KEY_FLAG_COMPOSITE_PART) << "every part of a composite search";

  ASSERT_TRUE(key->bSetRange(tableDescription, key3, &packed, 1, nullptr, 0, nullptr, 0));
  EXPECT_EQ(Shape(key->pGetFirstStage()), "OR(GT:P=1,AND(EQ:P=1,OR(GT:Q=2,AND(EQ:Q=2,GE:S=3))))")
      << "only the last part keeps >=";
  ASSERT_TRUE(key->bSetRange(tableDescription, key3, nullptr, 0, &packed, 1, nullptr, 0));
  EXPECT_EQ(Shape(key->pGetFirstStage()), "OR(LT:P=1,AND(EQ:P=1,OR(LT:Q=2,AND(EQ:Q=2,LE:S=3))))");

  CHostValue partial;
  Pack(partial, {1});
  ASSERT_TRUE(key->bSetRange(tableDescription, key3, &partial, 1, nullptr, 0, nullptr, 0));
  EXPECT_EQ(Shape(key->pGetFirstStage()), "GE:P=1") << "a value holding P alone compares on P";
}

TEST_F(CompositeKeyTest, AUniqueNotNullPrefixEndsTheExpansionFromARecordsOwnValues) {
  BuildKeys(true);
  CHostValue packed;
  Pack(packed, {1, 2, 3});
  TestKey* key = Key();
  SetInt(u"P", 1);
  SetInt(u"Q", 2);
  SetInt(u"S", 3);
  ASSERT_TRUE(key->bSetSearchCore(tableDescription, key3, nullptr, 0, KEY_FLAG_RECORD_VALUES));
  EXPECT_EQ(Shape(key->pGetForward()), "OR(GT:P=1,AND(EQ:P=1,GT:Q=2))");
  EXPECT_EQ(Shape(key->pGetBackward()), "OR(LT:P=1,AND(EQ:P=1,LT:Q=2))");
  ASSERT_TRUE(key->bSetRange(tableDescription, key3, &packed, 1, nullptr, 0, nullptr, 0));
  EXPECT_EQ(Shape(key->pGetFirstStage()), "OR(GT:P=1,AND(EQ:P=1,OR(GT:Q=2,AND(EQ:Q=2,GE:S=3))))")
      << ">= may hold on the prefix itself: no stop";
}

TEST_F(KeyConditionTest, PositionModeFindsTheRecordByItsFirstUniqueKey) {
  CColumnDescriptor* id = AddInt(u"ID", COLUMN_FLAG_UNIQUE);
  CColumnDescriptor* name = AddInt(u"NAME", COLUMN_FLAG_DUPLICATES);
  CColumnDescriptor* both = AddCompositeKey(u"IN", {id, name}, COLUMN_FLAG_DUPLICATES);
  Build();
  CHostValue packed;
  Pack(packed, {1, 2});
  TestKey* sought = Key();
  ASSERT_TRUE(sought->bSetSearch(tableDescription, both, &packed, 0, 1));
  EXPECT_EQ(Shape(sought->pGetFirstStage()), "AND(EQ:ID=1,EQ:NAME=2)") << "the record of ID 1 need not be (1, 2)";
  SetInt(u"ID", 42);
  SetInt(u"NAME", 7);
  TestKey* key = Key();
  ASSERT_TRUE(key->bSetRecordSearch(tableDescription, name, 0, 1));
  EXPECT_EQ(key->nGetFlags(), KEY_FLAG_FROM_RECORD | KEY_FLAG_RECORD_VALUES | KEY_FLAG_NO_CONTINUATION);
  EXPECT_EQ(Shape(key->pGetFirstStage()), "EQ:ID=42");
  EXPECT_EQ(key->pGetForward(), nullptr);
  EXPECT_EQ(key->pGetBackward(), nullptr);
}

// ---- copies and leaves ----

TEST_F(KeyConditionTest, ClonesShareAndCopiesDuplicate) {
  CColumnDescriptor* id = AddInt(u"ID", COLUMN_FLAG_UNIQUE);
  Build();
  TestKey* key = Key();
  CHostValue five;
  Make(five, HOST_TYPE_INT32, 5);
  ASSERT_TRUE(key->bSetSearch(tableDescription, id, &five, 0, 1));
  key->SetEmptyTextIsNull(1);
  CFieldValue* value = pCreateBoundItemThroughDriver(holder, connection, Column(u"ID"), five);
  key->AddLeaf(pCreateValueLeafForThroughDriver(Column(u"ID"), value, 4, 0));

  CKeyCondition* clone = key->pClone();
  ASSERT_NE(clone, nullptr);
  clone->AddRef();
  EXPECT_EQ(clone->pGetFirstStage(), key->pGetFirstStage()) << "a clone shares the conditions";
  EXPECT_EQ(clone->pGetLeaf(0), key->pGetLeaf(0));
  EXPECT_EQ(clone->pGetSearchItem(), nullptr) << "a clone has no search item";
  EXPECT_EQ(clone->bEmptyTextIsNull(), 0u) << "the switch is the new object's own";
  clone->nRelease();

  CHashTable map;
  CKeyCondition* copy = key->pNewWithArgs(key, map, 0, 0);
  ASSERT_NE(copy, nullptr);
  copy->AddRef();
  EXPECT_EQ(copy->bEmptyTextIsNull(), 1u);
  EXPECT_EQ(copy->pGetSearchItem(), id);
  EXPECT_NE(copy->pGetFirstStage(), key->pGetFirstStage()) << "a copy has conditions of its own";
  ASSERT_EQ(copy->nGetLeafCount(), 1u);
  EXPECT_NE(copy->pGetLeaf(0), key->pGetLeaf(0)) << "and leaves of its own";
  EXPECT_TRUE(copy->bEquals(key));
  copy->nRelease();

  CHashTable selfMap;
  ASSERT_TRUE(key->CopyFrom(key, selfMap, 0, 0));
  EXPECT_EQ(key->nGetLeafCount(), 1u) << "a copy of itself keeps its leaves";
  EXPECT_NE(key->pGetFirstStage(), nullptr);
}

TEST_F(KeyConditionTest, DroppingFromBeforeEveryLeafEmptiesTheList) {
  AddInt(u"ID");
  Build();
  TestKey* key = Key();
  CHostValue five;
  Make(five, HOST_TYPE_INT32, 5);
  for (std::uint64_t position : {3u, 9u, 14u}) {
    CFieldValue* value = pCreateBoundItemThroughDriver(holder, connection, Column(u"ID"), five);
    key->AddLeaf(pCreateValueLeafForThroughDriver(Column(u"ID"), value, position, 0));
  }
  key->DropLeavesFrom(9);
  EXPECT_EQ(key->nGetLeafCount(), 1u);
  key->DropLeavesFrom(0);
  EXPECT_EQ(key->nGetLeafCount(), 0u);
}

}  // namespace
