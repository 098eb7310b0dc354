// Condition trees written through statement rewriters over generic columns of the record engine: whole WHERE texts
// with their parameters and the key condition's leaves, both NULL orders, folds and cut-backs, the boolean and text
// rules, NOT, runtime query conditions, continuations, null-admission lists, the comparison text's special forms
// (empty texts, LIKE prefixes, partial dates), copies, and the key condition's leaf list.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/query_description.h"
#include "engine/record/record.h"
#include "engine/record/record_buffer.h"
#include "engine/record/record_description.h"
#include "engine/record/table_description.h"
#include "engine/table/table.h"
#include "engine/values/row_keys.h"
#include "foundation/clone_map.h"
#include "foundation/hash_table.h"
#include "foundation/x_error.h"
#include "sql/conditions/condition_node.h"
#include "sql/conditions/key_condition.h"
#include "sql/driver_services.h"
#include "sql/rewriter/sql_rewriter.h"
#include "sql/rewriter/value_leaf.h"
#include "standin/runtime/query_objects.h"
#include "tests/doubles/table_doubles.h"
#include "tests/engine/field_value_fixture.h"
#include "tests/sql/condition_doubles.h"
#include "tests/slot_call.h"

namespace {

using I = qzrt::ItemDescription;
using Node = qzrt::ExpressionNode;

// Generic columns, and field values that fail from a chosen call on.
class TreeDriver : public doubles::TestDriver {
 public:
  void* pCreateColumnBinding(RuntimeWord holder, RuntimeWord descriptor) override {
    return new CColumn(reinterpret_cast<CErrorHolder*>(holder), reinterpret_cast<CColumnDescriptor*>(descriptor));
  }
  void* pCreateFieldValue(CErrorHolder* holder, CConnection* connection) override {
    if (failFieldValueAt >= 0 && fieldValues++ == failFieldValueAt) return nullptr;
    return CDriver::pCreateFieldValue(holder, connection);
  }
  int failFieldValueAt = -1;
  int fieldValues = 0;
};

// A table whose query mode and query description the test chooses.
class QueryTable : public doubles::ValueKeyedTable {
 public:
  using ValueKeyedTable::ValueKeyedTable;
  std::uint32_t nGetColumnQualification() override { return query ? 1 : 0; }
  CQueryDescription* pGetQueryDescription() override { return query; }
  CQueryDescription* query = nullptr;
};

using conditions::OracleLikeConnection;
using conditions::OracleLikeRewriter;

class ConditionTreeTest : public CFieldValueFixture {
 protected:
  void SetUp() override {
    CFieldValueFixture::SetUp();
    gpDriver = &treeDriver;
  }
  void TearDown() override {
    for (CRefCounted* object : held) object->nRelease();
    if (tableDescription) tableDescription->nRelease();
    if (description) description->nRelease();
    if (table) table->nRelease();
    if (query) query->nRelease();
    if (oracle) oracle->nRelease();
    CFieldValueFixture::TearDown();
  }

  // The table T over the connection: A, B, E numbers, C text, W UTF-16 text, F boolean, D date, ID primary key.
  void Build(CConnection* over) {
    description = treeDriver.CDriver::pCreateDescription(over, holder);
    description->AddRef();
    description->SetName(u"T");
    const struct {
      const char16_t* name;
      std::uint32_t type, size;
      std::uint16_t flags;
    } columns[] = {{u"A", COLUMN_TYPE_INT32, 4, 0},  {u"B", COLUMN_TYPE_INT32, 4, 0},
                   {u"C", COLUMN_TYPE_TEXT, 21, 0},  {u"E", COLUMN_TYPE_INT32, 4, 0},
                   {u"W", COLUMN_TYPE_WTEXT, 42, 0}, {u"F", COLUMN_TYPE_ONE_DIGIT, 1, 0},
                   {u"D", COLUMN_TYPE_DATE, 9, 0},   {u"ID", COLUMN_TYPE_INT32, 4, COLUMN_FLAG_PRIMARY_KEY}};
    for (const auto& c : columns) {
      CColumnDescriptor* item = pCreateColumnDescriptorThroughDriver(nullptr, 0);
      item->bSetAll(c.name, u"T", u"", 1, c.size, c.type, 0xFFFFFFFF, 0xFFFFFFFF, c.flags, 0, 0);
      ASSERT_TRUE(description->AddItem(item));
    }
    description->LayoutItems();
    table = new QueryTable(over, holder);
    table->AddRef();
    tableDescription = new CTableDescription(holder, table);
    tableDescription->AddRef();
    ASSERT_TRUE(tableDescription->bBuild(description, nullptr, over));
    rewriter = Keep(new CSqlRewriter(holder, over));
    key = Keep(new CKeyCondition(holder, over));
  }
  void BuildOracle() {
    oracle = new OracleLikeConnection();
    oracle->AddRef();
    Build(oracle);
    key->SetEmptyTextIsNull(1);
  }
  template <class T>
  T* Keep(T* object) {
    object->AddRef();
    held.push_back(object);
    return object;
  }
  CColumn* Col(const char16_t* name) { return tableDescription->pFindColumnByName(name); }

  CFieldValue* Value(CHostValue& source) {
    CFieldValue* value = pCreateFieldValueThroughDriver(holder, connection);
    value->InitType(source.nGetType(), 0);
    EXPECT_TRUE(value->bSetValue(source));
    if (source.bIsNull()) value->SetNull();
    return Keep(value);
  }
  CFieldValue* Int(std::int32_t n) {
    CHostValue v;
    Make(v, HOST_TYPE_INT32, n);
    return Value(v);
  }
  CFieldValue* Text(const char16_t* text) {
    CHostValue v;
    MakeWide(v, text);
    return Value(v);
  }
  CFieldValue* Null(std::uint8_t type) {
    CHostValue v;
    v.SetType(type);
    v.SetNull(true);
    return Value(v);
  }
  CConditionNode* Cmp(std::uint32_t kind, const char16_t* column, CFieldValue* value, std::uint32_t flags = 0) {
    if (!factory) factory = Keep(key->pNewNode());
    return Keep(factory->pNewComparison(kind, Col(column), value, flags));
  }
  CConditionNode* Br(std::uint32_t kind, CConditionNode* left, CConditionNode* right = nullptr) {
    return Keep(left->pNewBranch(kind, left, right, 0));
  }

  // The tree written at the top: the statement text with "?" where each parameter stands, or "<failed>".
  std::u16string Write(CConditionNode* tree, int* folded = nullptr, CSqlRewriter* into = nullptr) {
    CSqlRewriter* r = into ? into : rewriter;
    r->Reset(0);
    key->ClearLeaves();
    int dummy = 0;
    if (!tree->bWriteTree(r, COND_EMPTY, key, folded ? folded : &dummy, nullptr)) return u"<failed>";
    return conditions::MarkedText(r);
  }
  // The key condition's leaves: the same as the rewriter's parameters, and their values as text.
  std::vector<std::u16string> Leaves(CSqlRewriter* r = nullptr) {
    r = r ? r : rewriter;
    EXPECT_EQ(key->nGetLeafCount(), r->nGetParameterCount());
    std::vector<std::u16string> values;
    for (std::uint32_t i = 0; i < key->nGetLeafCount(); ++i) {
      EXPECT_EQ(key->pGetLeaf(i), r->pGetParameter(i));
      CHostValue value;
      key->pGetLeaf(i)->pGetFieldValue()->bGetValue(&value);
      const char16_t* units = nullptr;
      value.nConvert(HOST_TYPE_TEXT);
      value.nGetWideText(&units);
      values.emplace_back(units ? units : u"");
    }
    return values;
  }
  using Texts = std::vector<std::u16string>;

  TreeDriver treeDriver;
  CRecordDescription* description = nullptr;
  QueryTable* table = nullptr;
  CTableDescription* tableDescription = nullptr;
  CQueryDescription* query = nullptr;
  OracleLikeConnection* oracle = nullptr;
  CSqlRewriter* rewriter = nullptr;
  CKeyCondition* key = nullptr;
  CConditionNode* factory = nullptr;
  std::vector<CRefCounted*> held;
  // What the runtime's queries are made of outlives the descriptions that read it.
  std::deque<qzrt::QueryAnalysis> analyses;
  std::deque<I> items;
  std::deque<Node> nodes;
  std::deque<CHostValue> constants;
};

TEST_F(ConditionTreeTest, KindTextsAndRewriterCodes) {
  const std::u16string texts[] = {u"", u" OR ", u" AND ", u" NOT ", u"=", u">", u"<", u">=", u"<=", u"",
                                  u"0=1", u"1=1", u"<>", u" IS NULL", u"IS NOT NULL", u""};
  const std::int32_t codes[] = {-1, -1, -1, -1, 9, 13, 11, 14, 12, -1, -1, -1, 10, 33, -1, -1};
  for (std::uint32_t kind = 0; kind < 16; ++kind) {
    EXPECT_EQ(CConditionNode::pszGetKindText(kind), texts[kind]) << kind;
    EXPECT_EQ(CConditionNode::nMapComparisonKind(kind), codes[kind]) << kind;
  }
  EXPECT_EQ(nReverseComparison(COND_GE), static_cast<std::uint32_t>(COND_LE));
  EXPECT_EQ(nReverseComparison(COND_LT), static_cast<std::uint32_t>(COND_GT));
  EXPECT_EQ(nReverseComparison(COND_NE), static_cast<std::uint32_t>(COND_NE));
}

TEST_F(ConditionTreeTest, NestedTreeWritesItsTextAndPlacesItsParameters) {
  Build(connection);
  CConditionNode* tree = Br(COND_AND, Cmp(COND_EQ, u"A", Int(1)),
                            Br(COND_OR, Cmp(COND_GT, u"C", Text(u"c")),
                               Br(COND_AND, Cmp(COND_EQ, u"C", Text(u"c")), Cmp(COND_GT, u"E", Int(5)))));
  EXPECT_EQ(Write(tree), u"A=? AND (C>? OR C=? AND E>?)");
  EXPECT_EQ(Leaves(), (Texts{u"1", u"c", u"c", u"5"}));
  EXPECT_EQ(key->pGetLeaf(1)->pGetColumn(), Col(u"C")) << "a leaf knows the column it is compared with";
  ASSERT_TRUE(rewriter->bBuildFinalText(0));
  EXPECT_EQ(std::u16string(static_cast<const char16_t*>(rewriter->pszGetOutputText(0))),
            u"A=1 AND (C>'c' OR C='c' AND E>5 )") << "the rewriter's blank after a parameter";
  // Every comparison excludes NULL rows, and so does the whole tree.
  ASSERT_NE(tree->pGetNullFlags(), nullptr);
  EXPECT_EQ(tree->nGetNullFlag(Col(u"A")), 0u);
  EXPECT_EQ(tree->nGetNullFlag(Col(u"C")), 0u);
  EXPECT_EQ(tree->nGetNullFlag(Col(u"E")), 1u) << "only one side of the OR compares E";
  EXPECT_EQ(Write(Br(COND_NOT, Cmp(COND_EQ, u"A", Int(2)))), u" NOT (A=? AND A IS NOT NULL)")
      << "NULL rows pass the negation, as its null flags say";
  Col(u"A")->SetTexts(u"", u"e.");
  EXPECT_EQ(Write(Cmp(COND_EQ, u"A", Int(1))), u"e.A=?") << "a query's alias qualifies with one period";
}

TEST_F(ConditionTreeTest, NullAlternativesFollowTheNullOrder) {
  Build(connection);  // NULL sorts first
  EXPECT_EQ(Write(Cmp(COND_LT, u"A", Int(3))), u"(A<? OR A IS NULL)");
  EXPECT_EQ(Cmp(COND_LT, u"A", Int(3))->nGetNullFlag(Col(u"A")), 1u) << "before the first write";
  EXPECT_EQ(Write(Cmp(COND_LT, u"A", Int(0))), u"A<?") << "nothing lies below an empty value";
  EXPECT_EQ(Write(Cmp(COND_GT, u"A", Int(3))), u"A>?");
  EXPECT_EQ(Write(Cmp(COND_LE, u"ID", Int(3))), u"ID<=?") << "an identifying key has no NULL";
  EXPECT_EQ(Write(Cmp(COND_GT, u"A", Null(HOST_TYPE_INT32))), u"A IS NOT NULL");
  int folded = 0;
  CConditionNode* below = Cmp(COND_LT, u"A", Null(HOST_TYPE_INT32));
  EXPECT_EQ(Write(below, &folded), u"");
  EXPECT_EQ(folded, 1);
  EXPECT_EQ(below->nGetKind(), static_cast<std::uint32_t>(COND_FALSE));
  EXPECT_EQ(Write(Cmp(COND_GE, u"A", Int(0), KEY_FLAG_LOW_BOUND)), u"(A>=? OR A IS NULL)");
  EXPECT_EQ(Write(Cmp(COND_LE, u"A", Int(9), KEY_FLAG_HIGH_BOUND)), u"A<=?");
}

TEST_F(ConditionTreeTest, OracleOrderPutsNullRowsAfterEveryValue) {
  BuildOracle();
  CConditionNode* greater = Cmp(COND_GT, u"A", Int(3));
  EXPECT_EQ(Write(greater), u"(A>? OR A IS NULL)");
  EXPECT_EQ(greater->nGetNullFlag(Col(u"A")), 1u);
  EXPECT_EQ(Write(Cmp(COND_LT, u"A", Int(3))), u"A<?");
  EXPECT_EQ(Write(Cmp(COND_LT, u"A", Null(HOST_TYPE_INT32))), u"A IS NOT NULL");
  EXPECT_EQ(Write(Cmp(COND_NE, u"A", Null(HOST_TYPE_INT32))), u"A IS NOT NULL");
  EXPECT_EQ(Write(Cmp(COND_EQ, u"A", Null(HOST_TYPE_INT32))), u"A IS NULL");
  for (const std::uint32_t kind : {COND_GT, COND_GE, COND_LE}) {
    int folded = 0;
    CConditionNode* node = Cmp(kind, u"A", Null(HOST_TYPE_INT32));
    EXPECT_EQ(Write(node, &folded), u"");
    EXPECT_EQ(node->nGetKind(), kind == COND_GT ? COND_FALSE : COND_TRUE) << kind;
  }
  // Oracle's classes set the switch: an empty text is NULL.
  EXPECT_EQ(Write(Cmp(COND_EQ, u"C", Text(u""))), u"C IS NULL");
}

TEST_F(ConditionTreeTest, FoldsCutTheirTextAndLeavesBack) {
  Build(connection);
  int folded = 0;
  CConditionNode* top = Cmp(COND_LE, u"W", Text(u"\xFFFF" u"zz"));
  EXPECT_EQ(Write(Br(COND_AND, Cmp(COND_EQ, u"A", Int(1)), top)), u"A=?");
  EXPECT_EQ(Leaves(), Texts{u"1"});
  CConditionNode* either = Br(COND_OR, Cmp(COND_EQ, u"A", Int(1)), Cmp(COND_LE, u"W", Text(u"\xFFFF")));
  EXPECT_EQ(Write(either, &folded), u"");
  EXPECT_EQ(folded, 1);
  EXPECT_EQ(either->nGetKind(), static_cast<std::uint32_t>(COND_TRUE));
  EXPECT_EQ(key->nGetLeafCount(), 0u) << "A's leaf went with its text";
  EXPECT_EQ(Write(Cmp(COND_GE, u"C", Text(u"")), &folded), u"") << "at least the empty text: everything";
}

TEST_F(ConditionTreeTest, FoldedBranchesTakeTheirLeavesBack) {
  // B's comparison was written, then its branch folded: its parameter and leaf go, A's stay.
  BuildOracle();
  int folded = 0;
  CConditionNode* tree = Br(COND_OR, Cmp(COND_EQ, u"A", Int(1)),
                            Br(COND_AND, Cmp(COND_EQ, u"B", Int(2)), Cmp(COND_GT, u"E", Null(HOST_TYPE_INT32))));
  EXPECT_EQ(Write(tree, &folded), u"A=?");
  EXPECT_EQ(folded, 0);
  EXPECT_EQ(Leaves(), Texts{u"1"});
  CConditionNode* nothing = Br(COND_AND, Cmp(COND_GT, u"E", Null(HOST_TYPE_INT32)), Cmp(COND_EQ, u"A", Int(1)));
  EXPECT_EQ(Write(nothing, &folded), u"");
  EXPECT_EQ(nothing->nGetKind(), static_cast<std::uint32_t>(COND_FALSE));
  CConditionNode* negated = Br(COND_NOT, Cmp(COND_GT, u"E", Null(HOST_TYPE_INT32)));
  EXPECT_EQ(Write(negated, &folded), u"");
  EXPECT_EQ(negated->nGetKind(), static_cast<std::uint32_t>(COND_TRUE));
  // The folded constants stay: the next write drops them before writing anything.
  EXPECT_EQ(Write(tree), u"A=?");
  // The key condition writes a false tree as the constant.
  EXPECT_EQ(Write(Cmp(COND_EQ, u"A", Int(4))), u"A=?");
  ASSERT_TRUE(nothing->bWriteSql(rewriter, key, &folded));
  EXPECT_EQ(std::u16string(rewriter->GetStatementText().pszGet()), u"A=0=1");
}

TEST_F(ConditionTreeTest, BooleanColumnsFoldOrBecomeEqualities) {
  Build(connection);
  CHostValue on, off;
  Make(on, HOST_TYPE_UINT32_RAW, std::uint32_t{1});
  Make(off, HOST_TYPE_UINT32_RAW, std::uint32_t{0});
  const struct {
    std::uint32_t kind;
    CHostValue* value;
    std::uint32_t result;
  } cases[] = {{COND_GT, &on, COND_FALSE}, {COND_GT, &off, COND_NE},   {COND_LT, &on, COND_NE},
               {COND_LT, &off, COND_FALSE}, {COND_GE, &on, COND_EQ},   {COND_GE, &off, COND_TRUE},
               {COND_LE, &on, COND_TRUE},   {COND_LE, &off, COND_EQ}};
  for (const auto& c : cases) {
    CConditionNode* node = Cmp(c.kind, u"F", Value(*c.value));
    int folded = 0;
    const std::u16string text = Write(node, &folded);
    EXPECT_EQ(node->nGetKind(), c.result) << c.kind;
    EXPECT_EQ(folded, c.result == COND_TRUE || c.result == COND_FALSE) << c.kind;
    if (!folded) {
      EXPECT_EQ(text, c.result == COND_NE ? u"F<>?" : u"F=?") << c.kind;
    }
  }
  CHostValue none;
  none.SetType(HOST_TYPE_UINT32_RAW);
  none.SetNull(true);
  EXPECT_EQ(Write(Cmp(COND_GT, u"F", Value(none))), u"F IS NOT NULL") << "a NULL boolean does not fold";
  EXPECT_EQ(bIsTriviallyTrue(COND_GE, connection, &off), 1);
  EXPECT_EQ(bIsTriviallyTrue(COND_LE, connection, &off), 0);
  EXPECT_EQ(bIsTriviallyTrue(COND_GE, connection, &none), 0);
}

TEST_F(ConditionTreeTest, QueryConditionsAddTheRewritersParametersAsLeaves) {
  Build(connection);
  const std::u16string source = u"SELECT * FROM T WHERE Q = 7";
  qzrt::QueryAnalysis& analysis = analyses.emplace_back();
  analysis.SetText(qzrt::QueryAnalysis::kSqlText, source);
  CHostValue& seven = constants.emplace_back();
  Make(seven, HOST_TYPE_INT32, std::int32_t{7});
  Node& column = nodes.emplace_back(48, SQL_NODE_COLUMN);
  column.Text(22, 23);
  column.Column(std::nullopt, u"Q");
  Node& constant = nodes.emplace_back(48, SQL_NODE_VALUE);
  constant.Text(26, 27);
  constant.constant = &seven;
  Node& equal = nodes.emplace_back(47, SQL_NODE_EQ, std::vector<Node*>{&column, &constant});
  equal.Text(22, 27);
  analysis.whereTree = &equal;
  analysis.whereStart = 16;
  analysis.whereEnd = 27;

  CConditionNode* queried = Keep(key->pNewNode());
  ASSERT_TRUE(queried->InitQuery(AsSeenAcross<IHostQueryAnalysis>(&analysis)));
  EXPECT_EQ(Write(Br(COND_AND, Cmp(COND_EQ, u"A", Int(1)), queried)), u"A=? AND Q = ?");
  EXPECT_EQ(Leaves(), (Texts{u"1", u"7"}));

  CConditionNode* unrestricted = Keep(key->pNewNode());
  ASSERT_TRUE(unrestricted->InitQuery(AsSeenAcross<IHostQueryAnalysis>(&analyses.emplace_back())));
  EXPECT_EQ(Write(Br(COND_AND, Cmp(COND_EQ, u"A", Int(1)), unrestricted)), u"A=?")
      << "a query without a condition leaves no dangling AND";
}

TEST_F(ConditionTreeTest, ContinuationsMoveBeyondTheKeyValue) {
  Build(connection);
  // A prefix equality becomes "does not start with it, and lies beyond it"; the parent holds the new node.
  CConditionNode* prefix = Cmp(COND_EQ, u"C", Text(u"AB_C"), KEY_FLAG_PREFIX);
  CConditionNode* tree = Br(COND_AND, Cmp(COND_EQ, u"A", Int(1)), prefix);
  CConditionNode* copy = Keep(tree->pCopyTree());
  EXPECT_EQ(copy->pGetLeft()->pGetColumn(), Col(u"A")) << "columns are shared";
  EXPECT_NE(copy->pGetRight(), prefix);
  EXPECT_EQ(copy->pDeriveContinuation(tableDescription, nullptr, COND_GT), copy);
  EXPECT_EQ(copy->pGetLeft()->nGetKind(), static_cast<std::uint32_t>(COND_GT));
  EXPECT_EQ(Write(copy), u"A>? AND ( NOT (C LIKE ? AND C IS NOT NULL) AND C>?)");
  EXPECT_EQ(Leaves(), (Texts{u"1", u"AB\\_C%", u"AB_C"}));
  EXPECT_EQ(Write(tree), u"A=? AND C LIKE ?") << "the first stage is untouched";

  // Alone at the top, the new node stands in the place of the old one.
  CConditionNode* alone = Cmp(COND_EQ, u"C", Text(u"x"), KEY_FLAG_PREFIX);
  CConditionNode* replaced = Keep(alone->pDeriveContinuation(tableDescription, nullptr, COND_LT));
  EXPECT_EQ(Write(replaced), u" NOT (C LIKE ? AND C IS NOT NULL) AND (C<? OR C IS NULL)");

  // A column the table's query orders descending turns the other way.
  qzrt::QueryAnalysis& analysis = analyses.emplace_back();
  I& item = items.emplace_back(u"A");
  item.SetText(I::kFileName, u"T");
  item.SetNumber(I::kDescending, 1);
  I& text = items.emplace_back(u"C");
  text.SetText(I::kFileName, u"T");
  text.SetNumber(I::kDescending, 1);
  analysis.items = {&item, &text};
  query = new CQueryDescription(holder, AsSeenAcross<IHostQueryAnalysis>(&analysis), nullptr, 0);
  query->AddRef();
  table->query = query;
  EXPECT_EQ(bIsDescendingInTable(tableDescription, Col(u"A")), 1);
  EXPECT_EQ(bIsDescendingInTable(tableDescription, Col(u"B")), 0);
  CConditionNode* descending = Cmp(COND_EQ, u"A", Int(1));
  descending->pDeriveContinuation(tableDescription, nullptr, COND_GT);
  EXPECT_EQ(descending->nGetKind(), static_cast<std::uint32_t>(COND_LT));
  // Past a prefix on a descending column lie the values below it, not the ones above, which came before.
  CConditionNode* prefixed = Cmp(COND_EQ, u"C", Text(u"b"), KEY_FLAG_PREFIX);
  CConditionNode* below = Keep(prefixed->pDeriveContinuation(tableDescription, nullptr, COND_GT));
  EXPECT_EQ(Write(below), u" NOT (C LIKE ? AND C IS NOT NULL) AND (C<? OR C IS NULL)");
}

TEST_F(ConditionTreeTest, EmptyTextsAndLikePrefixes) {
  Build(connection);
  EXPECT_EQ(Write(Cmp(COND_EQ, u"C", Text(u""))), u"C=''");
  EXPECT_EQ(Write(Cmp(COND_EQ, u"C", Text(u""), KEY_FLAG_PREFIX)), u"C LIKE '%%'");
  EXPECT_EQ(Write(Cmp(COND_LE, u"C", Text(u""))), u"(C<='' OR C IS NULL)");
  key->SetEmptyTextIsNull(1);
  EXPECT_EQ(Write(Cmp(COND_EQ, u"C", Text(u""), KEY_FLAG_PREFIX)), u"C IS NULL");
  key->SetEmptyTextIsNull(0);
  // A component of a composite key compared with an empty text is no prefix.
  EXPECT_FALSE(Cmp(COND_EQ, u"C", Text(u""), KEY_FLAG_PREFIX | KEY_FLAG_COMPOSITE_PART)->bIsPrefixSearch());
  EXPECT_TRUE(Cmp(COND_EQ, u"C", Text(u"a"), KEY_FLAG_PREFIX | KEY_FLAG_COMPOSITE_PART)->bIsPrefixSearch());

  // The prefix is data: its wildcards are escaped, "%" follows, and the dialect's ESCAPE clause comes after it.
  auto* escaping = Keep(new OracleLikeRewriter(holder, connection));
  EXPECT_EQ(Write(Cmp(COND_EQ, u"C", Text(u"AB_C"), KEY_FLAG_PREFIX), nullptr, escaping),
            u"C LIKE ? ESCAPE '\\'");
  EXPECT_EQ(Leaves(escaping), Texts{u"AB\\_C%"});
  EXPECT_EQ(escaping->escapeTypes, std::vector<std::uint32_t>{COLUMN_TYPE_TEXT});
  EXPECT_EQ(Write(Cmp(COND_NE, u"W", Text(u"x%"), KEY_FLAG_PREFIX), nullptr, escaping),
            u"(W NOT LIKE ? ESCAPE '\\' OR W IS NULL)");
  EXPECT_EQ(Leaves(escaping), Texts{u"x\\%%"});
  EXPECT_EQ(escaping->escapeTypes, (std::vector<std::uint32_t>{COLUMN_TYPE_TEXT, COLUMN_TYPE_WTEXT}));
  EXPECT_EQ(Write(Cmp(COND_GT, u"C", Text(u"AB"), KEY_FLAG_PREFIX), nullptr, escaping), u"C>?")
      << "only equality and inequality take the LIKE form";
  EXPECT_EQ(escaping->escapeTypes.size(), 2u);
}

TEST_F(ConditionTreeTest, PartialDatesBecomeRanges) {
  Build(connection);
  EXPECT_EQ(Write(Cmp(COND_EQ, u"D", Text(u"2024"), KEY_FLAG_PREFIX)), u"D>=? AND D<?");
  EXPECT_EQ(Leaves(), (Texts{u"20240101", u"20250101"}));
  EXPECT_EQ(key->pGetLeaf(0)->pGetColumn(), Col(u"D"));
  EXPECT_EQ(Write(Cmp(COND_NE, u"D", Text(u"202402"), KEY_FLAG_PREFIX)), u"(D<? OR D>=?)");
  EXPECT_EQ(Leaves(), (Texts{u"20240201", u"20240301"}));
  EXPECT_EQ(Write(Cmp(COND_EQ, u"D", Text(u"20240229"), KEY_FLAG_PREFIX)), u"D=?");
  EXPECT_EQ(Leaves(), Texts{u"20240229"});

  CHostValue text, low, high;
  MakeWide(text, u"1230");
  ASSERT_TRUE(bGetPrefixRange(COLUMN_TYPE_TIME, text, low, high));
  EXPECT_EQ(low.nGetType(), HOST_TYPE_WTIME);
  const char16_t* units = nullptr;
  high.nGetWideText(&units);
  EXPECT_EQ(std::u16string(units), u"123100000");
  ASSERT_TRUE(bGetPrefixLowBound(COLUMN_TYPE_DATE, text, text)) << "the out value may be the text itself";
  text.nGetWideText(&units);
  EXPECT_EQ(std::u16string(units), u"12300101");
  MakeWide(text, u"");
  EXPECT_FALSE(bGetPrefixRange(COLUMN_TYPE_DATE, text, low, high));

  // The first bound that cannot be made fails the comparison, whatever the second one does.
  CConditionNode* year = Cmp(COND_EQ, u"D", Text(u"2024"), KEY_FLAG_PREFIX);
  treeDriver.fieldValues = 0;
  treeDriver.failFieldValueAt = 0;
  EXPECT_EQ(Write(year), u"<failed>");
  EXPECT_EQ(std::u16string(rewriter->GetStatementText().pszGet()), u"D>=") << "nothing written after the failure";
  EXPECT_TRUE(holder->bHasError());
}

TEST_F(ConditionTreeTest, ClonesShareWhatTheMapHolds) {
  Build(connection);
  CConditionNode* shared = Cmp(COND_EQ, u"A", Int(1));
  CConditionNode* tree = Br(COND_OR, Br(COND_AND, shared, Cmp(COND_GT, u"B", Int(2))), Br(COND_NOT, shared));
  EXPECT_EQ(Write(tree), u"A=? AND B>? OR  NOT (A=? AND A IS NOT NULL)");
  CHashTable map;
  CConditionNode* copy = Keep(tree->pClone(map, 0, 0));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->pGetLeft()->pGetLeft(), copy->pGetRight()->pGetLeft()) << "a shared child is copied once";
  EXPECT_NE(copy->pGetLeft()->pGetLeft(), shared);
  EXPECT_EQ(copy->pGetErrorHolder(), holder);
  ASSERT_NE(copy->pGetNullFlags(), nullptr);
  EXPECT_EQ(copy->pGetNullFlags()->nGetCount(), tree->pGetNullFlags()->nGetCount());
  EXPECT_EQ(copy->pGetLeft()->pGetRight()->nGetKind(), static_cast<std::uint32_t>(COND_GT));
}

TEST_F(ConditionTreeTest, LeafListInTextOrder) {
  Build(connection);
  for (const std::uint64_t position : {3u, 8u, 8u, 12u}) ASSERT_NE(key->pAddLeaf(Col(u"A"), Int(1), position, 0), nullptr);
  key->DropLeavesFrom(8);
  EXPECT_EQ(key->nGetLeafCount(), 1u);
  EXPECT_EQ(key->pGetLeaf(5), nullptr);
  key->DropLeavesFrom(0);
  EXPECT_EQ(key->nGetLeafCount(), 0u) << "a position before every leaf empties the list";

  TestColumn item(COLUMN_TYPE_INT32, 4, u"K");
  const std::uint32_t before = item.nOthers();
  key->SetSearchItem(item);
  key->SetSearchItem(item);
  EXPECT_EQ(item.nOthers(), before + 1);
  EXPECT_EQ(key->bIsCompositeSearch(), 0);
  key->Init();
  EXPECT_EQ(item.nOthers(), before) << "Init gives the item back";
  EXPECT_EQ(key->nGetDirection(), 4u);
  EXPECT_EQ(key->pGetErrorHolder(), holder) << "the holder stays";
}

}  // namespace
