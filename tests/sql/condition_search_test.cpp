// Key searches written as whole WHERE texts: the statement text with a "?" where each parameter stands, and the key
// condition's leaves in text order (the same objects as the rewriter's parameters), over table descriptions of
// single and composite keys on the base connection (NULL sorts first) and on an Oracle-like one (NULL sorts last,
// dates compared as text, an ESCAPE clause after each escaped pattern), with the empty-text-is-NULL switch on as the
// Oracle classes set it. Folded first stages, the filter alone and with the key, the column flags handed on, the
// stages of a search in both directions, the ordered expansion of composite keys with its stops, fillers,
// descending components and NULL alternatives, LIKE prefixes, missing date components, searches that select
// everything, and clones and copies that write the same text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/record_description.h"
#include "engine/record/table_description.h"
#include "engine/values/field_value.h"
#include "foundation/hash_table.h"
#include "sql/conditions/condition_node.h"
#include "sql/conditions/filter_holder.h"
#include "sql/conditions/key_condition.h"
#include "sql/driver_services.h"
#include "sql/rewriter/sql_rewriter.h"
#include "sql/rewriter/value_leaf.h"
#include "tests/engine/field_value_fixture.h"
#include "tests/sql/condition_doubles.h"

namespace {

using conditions::MarkedText;
using conditions::OracleLikeConnection;
using conditions::OracleLikeRewriter;

using Texts = std::vector<std::u16string>;

class ConditionSearchTest : public CFieldValueFixture {
 protected:
  void SetUp() override {
    CFieldValueFixture::SetUp();
    gpDriver = &searchDriver;
  }
  void TearDown() override {
    for (CRefCounted* object : held) object->nRelease();
    if (tableDescription) tableDescription->nRelease();
    if (description) description->nRelease();
    if (table) table->nRelease();
    if (oracle) oracle->nRelease();
    CFieldValueFixture::TearDown();
  }

  // The connection the table is described over: the base one, or the Oracle-like one with its rewriter.
  CConnection* Over(bool oracleLike) {
    if (!oracleLike) return connection;
    oracle = new OracleLikeConnection();
    oracle->AddRef();
    return oracle;
  }
  void Describe(bool oracleLike = false) {
    over = Over(oracleLike);
    description = searchDriver.CDriver::pCreateDescription(over, holder);
    description->AddRef();
    description->SetName(u"T");
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
  // The table description, a rewriter of the connection's kind, and a key condition and a filter with the switch on.
  void Build() {
    description->LayoutItems();
    table = new conditions::RecordKeyedTable(over, holder);
    table->AddRef();
    tableDescription = new CTableDescription(holder, table);
    tableDescription->AddRef();
    ASSERT_TRUE(tableDescription->bBuild(description, nullptr, over));
    rewriter = Keep(over == connection ? pCreateSqlRewriterThroughDriver(holder, over)
                                       : new OracleLikeRewriter(holder, over));
    key = NewKey();
    filter = Keep(new CFilterHolder(holder, over));
    filter->SetEmptyTextIsNull(1);
  }
  CKeyCondition* NewKey() {
    CKeyCondition* made = Keep(new CKeyCondition(holder, over));
    made->SetEmptyTextIsNull(1);
    return made;
  }
  template <class T>
  T* Keep(T* object) {
    object->AddRef();
    held.push_back(object);
    return object;
  }
  CColumn* Col(const char16_t* name) { return tableDescription->pFindColumnByName(name); }

  // The key condition written with its filter: the statement text with "?" where each parameter stands, or
  // "<failed>".
  std::u16string Write(CKeyCondition* written, CKeyCondition* with = nullptr, CSqlRewriter* into = nullptr) {
    CSqlRewriter* r = into ? into : rewriter;
    return written->bWriteSql(r, with, nullptr) ? MarkedText(r) : u"<failed>";
  }
  // The key condition's leaves, the rewriter's parameters one for one, as texts.
  static Texts Leaves(CKeyCondition* written, CSqlRewriter* r) {
    EXPECT_EQ(written->nGetLeafCount(), r->nGetParameterCount());
    Texts values;
    for (std::uint32_t i = 0; i < written->nGetLeafCount(); ++i) {
      EXPECT_EQ(written->pGetLeaf(i), r->pGetParameter(i)) << i;
      CHostValue value;
      written->pGetLeaf(i)->pGetFieldValue()->bGetValue(&value);
      const char16_t* units = nullptr;
      value.nConvert(HOST_TYPE_TEXT);
      value.nGetWideText(&units);
      values.emplace_back(units ? units : u"<none>");
    }
    return values;
  }
  Texts Leaves() { return Leaves(key, rewriter); }

  // A packed composite value of 32-bit components, then the bytes given.
  static void Pack(CHostValue& packed, std::vector<std::int32_t> parts, const std::string& tail = "") {
    std::vector<std::uint8_t> bytes(parts.size() * 4);
    std::memcpy(bytes.data(), parts.data(), bytes.size());
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    packed.SetType(HOST_TYPE_BINARY_BUFFER);
    ASSERT_EQ(packed.SetFromBuffer(bytes.data(), bytes.size()), HOST_OK);
  }
  // An 8-bit text of the runtime's values (not one of its marked strings).
  static void Narrow(CHostValue& value, const std::string& bytes) {
    value.SetType(HOST_TYPE_ASTRING);
    ASSERT_EQ(value.SetFromBuffer(bytes.data(), bytes.size()), HOST_OK);
  }
  static void Int(CHostValue& value, std::int32_t n) { Make(value, HOST_TYPE_INT32, n); }
  static void NullInt(CHostValue& value) {
    value.SetType(HOST_TYPE_INT32);
    value.SetNull(true);
  }

  conditions::ColumnMakingDriver searchDriver;
  CConnection* over = nullptr;
  OracleLikeConnection* oracle = nullptr;
  CRecordDescription* description = nullptr;
  conditions::RecordKeyedTable* table = nullptr;
  CTableDescription* tableDescription = nullptr;
  CSqlRewriter* rewriter = nullptr;
  CKeyCondition* key = nullptr;
  CFilterHolder* filter = nullptr;
  std::vector<CRefCounted*> held;
};

// ---- folded first stages, the filter, the column flags ----

TEST_F(ConditionSearchTest, AFirstStageFoldedToFalseWritesTheConstantAndOneFoldedToTrueWritesNothing) {
  Describe(true);
  CColumnDescriptor* a = AddInt(u"A", COLUMN_FLAG_DUPLICATES);
  CColumnDescriptor* b = AddInt(u"B", COLUMN_FLAG_DUPLICATES);
  Build();
  CHostValue none, one;
  NullInt(none);
  Int(one, 1);

  // Nothing lies beyond NULL where NULL sorts last.
  ASSERT_TRUE(key->bSetRange(tableDescription, a, &none, 0, nullptr, 0, nullptr, 0));
  key->Restart(1);
  EXPECT_EQ(Write(key), u"0=1");
  EXPECT_EQ(Leaves(), Texts{});

  ASSERT_TRUE(filter->bSetRange(tableDescription, b, &one, 1, nullptr, 0, nullptr, 0));
  filter->Restart(1);
  EXPECT_EQ(Write(filter), u"B>=?");
  EXPECT_EQ(Leaves(filter, rewriter), Texts{u"1"});
  EXPECT_EQ(Write(key, filter), u"0=1") << "the filter's text goes with the false key condition";
  EXPECT_EQ(Leaves(), Texts{}) << "and so does its leaf";

  // At least NULL: every row.
  ASSERT_TRUE(key->bSetRange(tableDescription, a, &none, 1, nullptr, 0, nullptr, 0));
  key->Restart(1);
  EXPECT_EQ(Write(key), u"");
  EXPECT_EQ(Leaves(), Texts{});
  EXPECT_EQ(Write(key, filter), u"B>=?") << "the filter alone restricts";
  EXPECT_EQ(Leaves(), Texts{u"1"});
}

TEST_F(ConditionSearchTest, TheFilterAloneOrBeforeTheKeyAndTheColumnFlagsHandedOn) {
  Describe();
  CColumnDescriptor* a = AddInt(u"A", COLUMN_FLAG_DUPLICATES);
  CColumnDescriptor* b = AddInt(u"B", COLUMN_FLAG_DUPLICATES);
  Build();
  CHostValue one, five, nine;
  Int(one, 1);
  Int(five, 5);
  Int(nine, 9);
  ASSERT_TRUE(filter->bSetRange(tableDescription, b, &one, 0, &nine, 1, nullptr, 0));
  filter->Restart(1);

  EXPECT_EQ(Write(key, filter), u"B>? AND B<=?") << "no key search: the filter's first stage alone";
  EXPECT_EQ(Leaves(), (Texts{u"1", u"9"}));
  EXPECT_EQ(rewriter->Lists().nGetColumnFlag(Col(u"B")), 0u);
  EXPECT_EQ(rewriter->Lists().nGetColumnFlag(Col(u"A")), 1u);

  ASSERT_TRUE(key->bSetSearch(tableDescription, a, &five, 0, 1));
  EXPECT_EQ(Write(key, filter), u"(B>? AND B<=?) AND A=?");
  EXPECT_EQ(Leaves(), (Texts{u"1", u"9", u"5"}));
  EXPECT_EQ(rewriter->Lists().nGetColumnFlag(Col(u"A")), 0u);
  EXPECT_EQ(rewriter->Lists().nGetColumnFlag(Col(u"B")), 0u);

  // Backward from A=5, NULL rows come first and so lie before it: the list the rewriter keeps says so, whatever an
  // earlier condition written into it said.
  ASSERT_TRUE(key->bAdvance(1));
  EXPECT_EQ(Write(key), u"(A<? OR A IS NULL)");
  EXPECT_EQ(Leaves(), Texts{u"5"});
  EXPECT_EQ(rewriter->Lists().nGetColumnFlag(Col(u"A")), 1u);
  EXPECT_EQ(rewriter->Lists().nGetColumnFlag(Col(u"B")), 1u) << "B is no longer compared";

  filter->Restart(0);
  EXPECT_EQ(Write(key, filter), u"(A<? OR A IS NULL)") << "an unstarted filter restricts nothing";
  key->Reset();
  EXPECT_EQ(Write(key, filter), u"");
  EXPECT_EQ(rewriter->Lists().nGetColumnFlag(Col(u"A")), 1u);
}

// ---- stages ----

TEST_F(ConditionSearchTest, ASingleKeySearchDerivesItsContinuationsAndMovesThroughBothDirections) {
  Describe();
  CColumnDescriptor* n = AddInt(u"N", COLUMN_FLAG_DUPLICATES);
  Build();
  CHostValue five;
  Int(five, 5);
  ASSERT_TRUE(key->bSetSearchCore(tableDescription, n, &five, 0, 0));
  EXPECT_EQ(Write(key), u"N=?");
  EXPECT_EQ(Leaves(), Texts{u"5"});
  EXPECT_TRUE(key->bNeedsRebuild(0));

  ASSERT_TRUE(key->bAdvance(0));
  EXPECT_EQ(Write(key), u"N>?");
  EXPECT_FALSE(key->bNeedsRebuild(0));
  EXPECT_TRUE(key->bNeedsRebuild(1)) << "a change of direction";
  ASSERT_TRUE(key->bAdvance(1));
  EXPECT_EQ(key->nGetStage(), KEY_STAGE_FIRST);
  EXPECT_EQ(Write(key), u"N=?") << "the first stage again before turning";
  ASSERT_TRUE(key->bAdvance(1));
  EXPECT_EQ(Write(key), u"(N<? OR N IS NULL)") << "NULL rows lie before every value";
  EXPECT_EQ(Leaves(), Texts{u"5"});
  EXPECT_FALSE(key->bNeedsRebuild(3));
  ASSERT_TRUE(key->bAdvance(0));
  ASSERT_TRUE(key->bAdvance(0));
  EXPECT_EQ(Write(key), u"N>?") << "and forward again";
}

TEST_F(ConditionSearchTest, AGenericSearchOnATextKeyGoesOnPastEverythingThatStartsWithItsValue) {
  Describe(true);
  CColumnDescriptor* name = Add(u"NAME", COLUMN_TYPE_TEXT, 21, COLUMN_FLAG_DUPLICATES);
  Build();
  CHostValue start;
  MakeWide(start, u"ab_");
  ASSERT_TRUE(key->bSetSearch(tableDescription, name, &start, 0, 0));
  EXPECT_EQ(Write(key), u"NAME LIKE ? ESCAPE '\\'");
  EXPECT_EQ(Leaves(), Texts{u"ab\\_%"});
  ASSERT_TRUE(key->bAdvance(0));
  EXPECT_EQ(Write(key), u" NOT (NAME LIKE ? ESCAPE '\\' AND NAME IS NOT NULL) AND (NAME>? OR NAME IS NULL)")
      << "NULL rows come after every value";
  EXPECT_EQ(Leaves(), (Texts{u"ab\\_%", u"ab_"}));
  ASSERT_TRUE(key->bAdvance(1));
  ASSERT_TRUE(key->bAdvance(1));
  EXPECT_EQ(Write(key), u" NOT (NAME LIKE ? ESCAPE '\\' AND NAME IS NOT NULL) AND NAME<?");
  EXPECT_EQ(Leaves(), (Texts{u"ab\\_%", u"ab_"}));
  ASSERT_TRUE(key->bAdvance(0));
  EXPECT_EQ(Write(key), u"NAME LIKE ? ESCAPE '\\'") << "the first stage is untouched by its continuations";
  EXPECT_EQ(Leaves(), Texts{u"ab\\_%"});
}

class CompositeSearchTest : public ConditionSearchTest {
 protected:
  // (P, Q, S) of numbers with duplicates; Q descending when asked; a unique (P, Q) key, NOT NULL or not, when asked.
  void BuildKeys(bool oracleLike, bool descendingQ = false, bool uniquePair = false, bool pairNotNull = true) {
    Describe(oracleLike);
    CColumnDescriptor* p = AddInt(u"P");
    CColumnDescriptor* q = AddInt(u"Q");
    CColumnDescriptor* s = AddInt(u"S");
    if (descendingQ) q->SetKeyDirection(true);
    pqs = AddCompositeKey(u"PQS", {p, q, s}, COLUMN_FLAG_DUPLICATES);
    if (uniquePair) AddCompositeKey(u"PQ", {p, q}, COLUMN_FLAG_UNIQUE)->SetNullAllowed(!pairNotNull);
    Build();
    Pack(packed, {1, 2, 3});
  }
  // The current record (1, 2, 3).
  void SetRecord() {
    const std::pair<const char16_t*, std::int32_t> parts[] = {{u"P", 1}, {u"Q", 2}, {u"S", 3}};
    for (const auto& [name, n] : parts) {
      CHostValue value;
      Int(value, n);
      ASSERT_TRUE(Col(name)->bSetValue(value, 0));
    }
  }
  CColumnDescriptor* pqs = nullptr;
  CHostValue packed;
};

TEST_F(CompositeSearchTest, TheFirstStageIsAnEqualityAndTheContinuationsAreBuiltInKeyOrder) {
  BuildKeys(false);
  ASSERT_TRUE(key->bSetSearchCore(tableDescription, pqs, &packed, 0, 0));
  EXPECT_EQ(Write(key), u"(P=? AND Q=?) AND S=?") << "built left to right";
  EXPECT_EQ(Leaves(), (Texts{u"1", u"2", u"3"}));
  ASSERT_TRUE(key->bAdvance(0));
  EXPECT_EQ(Write(key), u"P>? OR P=? AND (Q>? OR Q=? AND S>?)");
  EXPECT_EQ(Leaves(), (Texts{u"1", u"1", u"2", u"2", u"3"}));
  EXPECT_EQ(rewriter->Lists().nGetColumnFlag(Col(u"P")), 0u);
  ASSERT_TRUE(key->bAdvance(1));
  ASSERT_TRUE(key->bAdvance(1));
  EXPECT_EQ(Write(key), u"(P<? OR P IS NULL) OR P=? AND ((Q<? OR Q IS NULL) OR Q=? AND (S<? OR S IS NULL))");
  EXPECT_EQ(Leaves(), (Texts{u"1", u"1", u"2", u"2", u"3"}));
  EXPECT_EQ(rewriter->Lists().nGetColumnFlag(Col(u"P")), 1u);
}

TEST_F(CompositeSearchTest, RangesKeepTheirBoundOnTheLastComponentOnly) {
  BuildKeys(false);
  const struct {
    bool low;
    int inclusive;
    const char16_t* text;
  } cases[] = {
      {true, 1, u"P>? OR P=? AND (Q>? OR Q=? AND S>=?)"},
      {true, 0, u"P>? OR P=? AND (Q>? OR Q=? AND S>?)"},
      {false, 1, u"P<? OR P=? AND (Q<? OR Q=? AND S<=?)"},
      {false, 0, u"P<? OR P=? AND (Q<? OR Q=? AND S<?)"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(c.low ? key->bSetRange(tableDescription, pqs, &packed, c.inclusive, nullptr, 0, nullptr, 0)
                      : key->bSetRange(tableDescription, pqs, nullptr, 0, &packed, c.inclusive, nullptr, 0));
    key->Restart(1);
    EXPECT_EQ(Write(key), c.text);
    EXPECT_EQ(Leaves(), (Texts{u"1", u"1", u"2", u"2", u"3"}));
  }

  CHostValue partial;
  Pack(partial, {1});
  ASSERT_TRUE(key->bSetRange(tableDescription, pqs, &partial, 1, nullptr, 0, nullptr, 0));
  EXPECT_EQ(Write(key), u"P>=?") << "a value that holds P alone compares on P";
  EXPECT_EQ(Leaves(), Texts{u"1"});

  // Up to the highest S under (1, 2): no bound on S.
  CHostValue filled;
  Pack(filled, {1, 2}, "\xFF");
  ASSERT_TRUE(key->bSetRange(tableDescription, pqs, nullptr, 0, &filled, 1, nullptr, 0));
  EXPECT_EQ(Write(key), u"P<? OR P=? AND Q<=?");
  EXPECT_EQ(Leaves(), (Texts{u"1", u"1", u"2"}));
  ASSERT_TRUE(key->bSetRange(tableDescription, pqs, &packed, 1, &filled, 1, nullptr, 0));
  EXPECT_EQ(Write(key), u"(P>? OR P=? AND (Q>? OR Q=? AND S>=?)) AND (P<? OR P=? AND Q<=?)");
  EXPECT_EQ(Leaves(), (Texts{u"1", u"1", u"2", u"2", u"3", u"1", u"1", u"2"}));
}

TEST_F(CompositeSearchTest, AUniqueNotNullPrefixStopsTheExpansionFromARecordsOwnValues) {
  BuildKeys(false, false, true);
  ASSERT_TRUE(key->bSetSearchCore(tableDescription, pqs, &packed, 0, 0));
  ASSERT_TRUE(key->bAdvance(0));
  EXPECT_EQ(Write(key), u"P>? OR P=? AND (Q>? OR Q=? AND S>?)") << "(1, 2, 3) need not be the record of (1, 2)";
  SetRecord();
  ASSERT_TRUE(key->bSetSearchCore(tableDescription, pqs, nullptr, 0, KEY_FLAG_RECORD_VALUES));
  ASSERT_TRUE(key->bAdvance(0));
  EXPECT_EQ(Write(key), u"P>? OR P=? AND Q>?") << "no other record has P=1 AND Q=2";
  EXPECT_EQ(Leaves(), (Texts{u"1", u"1", u"2"}));
  ASSERT_TRUE(key->bAdvance(1));
  ASSERT_TRUE(key->bAdvance(1));
  EXPECT_EQ(Write(key), u"(P<? OR P IS NULL) OR P=? AND (Q<? OR Q IS NULL)");
}

TEST_F(CompositeSearchTest, AUniquePrefixThatAllowsNullStopsOnlyWhereItsComparisonsExcludeNull) {
  BuildKeys(false, false, true, false);
  SetRecord();
  ASSERT_TRUE(key->bSetSearchCore(tableDescription, pqs, nullptr, 0, KEY_FLAG_RECORD_VALUES));
  ASSERT_TRUE(key->bAdvance(0));
  EXPECT_EQ(Write(key), u"P>? OR P=? AND Q>?") << "the comparisons on P admit no NULL";
  ASSERT_TRUE(key->bAdvance(1));
  ASSERT_TRUE(key->bAdvance(1));
  EXPECT_EQ(Write(key), u"(P<? OR P IS NULL) OR P=? AND ((Q<? OR Q IS NULL) OR Q=? AND (S<? OR S IS NULL))")
      << "several records may share P=1 with a NULL Q: S orders them";
}

TEST_F(CompositeSearchTest, ADescendingComponentFlipsItsOwnOperators) {
  BuildKeys(false, true);
  ASSERT_TRUE(key->bSetSearchCore(tableDescription, pqs, &packed, 0, 0));
  ASSERT_TRUE(key->bAdvance(0));
  EXPECT_EQ(Write(key), u"P>? OR P=? AND ((Q<? OR Q IS NULL) OR Q=? AND S>?)");
  ASSERT_TRUE(key->bSetRange(tableDescription, pqs, nullptr, 0, &packed, 1, nullptr, 0));
  key->Restart(1);
  EXPECT_EQ(Write(key), u"P<? OR P=? AND (Q>? OR Q=? AND S<=?)");
}

TEST_F(CompositeSearchTest, WhereNullSortsLastItIsBeyondEveryComponent) {
  BuildKeys(true);
  ASSERT_TRUE(key->bSetSearchCore(tableDescription, pqs, &packed, 0, 0));
  ASSERT_TRUE(key->bAdvance(0));
  EXPECT_EQ(Write(key), u"(P>? OR P IS NULL) OR P=? AND ((Q>? OR Q IS NULL) OR Q=? AND (S>? OR S IS NULL))");
  EXPECT_EQ(Leaves(), (Texts{u"1", u"1", u"2", u"2", u"3"}));
  ASSERT_TRUE(key->bAdvance(1));
  ASSERT_TRUE(key->bAdvance(1));
  EXPECT_EQ(Write(key), u"P<? OR P=? AND (Q<? OR Q=? AND S<?)");
}

// ---- prefixes, missing components, searches that select everything ----

TEST_F(ConditionSearchTest, PrefixBoundsAreBelowOrStartingWithAndAboveAndNotStartingWith) {
  Describe(true);
  CColumnDescriptor* name = Add(u"NAME", COLUMN_TYPE_TEXT, 21, COLUMN_FLAG_DUPLICATES);
  Build();
  // The runtime fills a generic bound with the highest character.
  CHostValue filled;
  Narrow(filled, "a_b\xFF");
  ASSERT_TRUE(key->bSetRange(tableDescription, name, nullptr, 0, &filled, 1, nullptr, 0));
  key->Restart(1);
  EXPECT_EQ(Write(key), u"NAME<? OR NAME LIKE ? ESCAPE '\\'");
  EXPECT_EQ(Leaves(), (Texts{u"a_b", u"a\\_b%"}));
  ASSERT_TRUE(key->bSetRange(tableDescription, name, &filled, 0, nullptr, 0, nullptr, 0));
  EXPECT_EQ(Write(key), u"NAME>? AND (NAME NOT LIKE ? ESCAPE '\\' OR NAME IS NULL)");
  EXPECT_EQ(Leaves(), (Texts{u"a_b", u"a\\_b%"}));
}

TEST_F(ConditionSearchTest, ACompositeUpperBoundEndingWithTheHighestCharacterIsAPrefix) {
  Describe();
  CColumnDescriptor* p = AddInt(u"P");
  CColumnDescriptor* c = Add(u"C", COLUMN_TYPE_TEXT, 4);
  CColumnDescriptor* pc = AddCompositeKey(u"PC", {p, c}, COLUMN_FLAG_DUPLICATES);
  CColumnDescriptor* d = Add(u"D", COLUMN_TYPE_TEXT, 4);
  d->SetKeyDirection(true);
  CColumnDescriptor* pd = AddCompositeKey(u"PD", {p, d}, COLUMN_FLAG_DUPLICATES);
  Build();
  CHostValue bound;
  Pack(bound, {1}, "ab\xFF");
  ASSERT_TRUE(key->bSetRange(tableDescription, pc, nullptr, 0, &bound, 1, nullptr, 0));
  key->Restart(1);
  EXPECT_EQ(Write(key), u"P<? OR P=? AND (C<? OR C LIKE ?)");
  EXPECT_EQ(Leaves(), (Texts{u"1", u"1", u"ab", u"ab%"}));
  // Before the texts starting with "ab" on a descending component lie the greater ones that do not start so.
  Pack(bound, {1}, "ab");
  ASSERT_TRUE(key->bSetSearch(tableDescription, pd, &bound, 0, 0));
  ASSERT_TRUE(key->bAdvance(1));
  EXPECT_EQ(Write(key), u"(P<? OR P IS NULL) OR P=? AND (D>? AND (D NOT LIKE ? OR D IS NULL))");
  EXPECT_EQ(Leaves(), (Texts{u"1", u"1", u"ab", u"ab%"}));
}

TEST_F(ConditionSearchTest, ADateComponentTheValueDoesNotReachIsNull) {
  Describe(true);
  CColumnDescriptor* p = AddInt(u"P");
  CColumnDescriptor* d = Add(u"D", COLUMN_TYPE_DATE, 9);
  CColumnDescriptor* pd = AddCompositeKey(u"PD", {p, d}, COLUMN_FLAG_DUPLICATES);
  Build();
  CHostValue partial;
  Pack(partial, {7});
  ASSERT_TRUE(key->bSetSearchCore(tableDescription, pd, &partial, 0, 0));
  EXPECT_EQ(Write(key), u"P=? AND TO_CHAR(D,'YYYYMMDD') IS NULL") << "the date written as the rewriter compares dates";
  EXPECT_EQ(Leaves(), Texts{u"7"});
  ASSERT_TRUE(key->bAdvance(0));
  EXPECT_EQ(Write(key), u"(P>? OR P IS NULL)") << "nothing of P=7 lies after its NULL date";
  ASSERT_TRUE(key->bAdvance(1));
  ASSERT_TRUE(key->bAdvance(1));
  EXPECT_EQ(Write(key), u"P<? OR P=? AND TO_CHAR(D,'YYYYMMDD') IS NOT NULL") << "the dates of P=7 lie before it";
}

TEST_F(ConditionSearchTest, BoundsThatEveryTextMeetsBuildNoCondition) {
  Describe();
  CColumnDescriptor* name = Add(u"NAME", COLUMN_TYPE_TEXT, 21, COLUMN_FLAG_DUPLICATES);
  CColumnDescriptor* wide = Add(u"W", COLUMN_TYPE_WTEXT, 42, COLUMN_FLAG_DUPLICATES);
  Build();
  CHostValue empty, highest, wideHighest;
  Narrow(empty, "");
  Narrow(highest, "\xFF");
  MakeWide(wideHighest, u"\xFFFF" u"abc");
  const struct {
    CColumnDescriptor* item;
    CHostValue* low;
    CHostValue* high;
  } cases[] = {{name, &empty, nullptr}, {name, nullptr, &highest}, {wide, nullptr, &wideHighest}};
  for (const auto& c : cases) {
    ASSERT_TRUE(key->bSetRange(tableDescription, c.item, c.low, 1, c.high, 1, nullptr, 0));
    EXPECT_EQ(key->pGetFirstStage(), nullptr);
    key->Restart(1);
    EXPECT_EQ(Write(key), u"");
    EXPECT_EQ(Leaves(), Texts{});
  }
  // Beyond the empty text lies every text; with the switch on the empty text is NULL, which sorts first here.
  ASSERT_TRUE(key->bSetRange(tableDescription, name, &empty, 0, nullptr, 0, nullptr, 0));
  EXPECT_EQ(Write(key), u"NAME IS NOT NULL");
  EXPECT_EQ(Leaves(), Texts{});
  // From the highest character on is a bound of its own, with that character.
  ASSERT_TRUE(key->bSetRange(tableDescription, name, &highest, 1, nullptr, 0, nullptr, 0));
  EXPECT_EQ(Write(key), u"NAME>=?");
  EXPECT_EQ(Leaves(), Texts{u"\u00ff"});
}

TEST_F(ConditionSearchTest, AGenericSearchOnADateGoesOnPastEveryDateThatStartsWithItsValue) {
  Describe();
  CColumnDescriptor* d = Add(u"D", COLUMN_TYPE_DATE, 9, COLUMN_FLAG_DUPLICATES);
  Build();
  CHostValue year;
  MakeWide(year, u"2024");
  ASSERT_TRUE(key->bSetSearch(tableDescription, d, &year, 0, 0));
  EXPECT_EQ(Write(key), u"D>=? AND D<?");
  EXPECT_EQ(Leaves(), (Texts{u"20240101", u"20250101"}));
  ASSERT_TRUE(key->bAdvance(0));
  EXPECT_EQ(Write(key), u"D>=?") << "from the first day after the year";
  EXPECT_EQ(Leaves(), Texts{u"20250101"});
  ASSERT_TRUE(key->bAdvance(1));
  ASSERT_TRUE(key->bAdvance(1));
  EXPECT_EQ(Write(key), u"(D<? OR D IS NULL)") << "before its first day";
  EXPECT_EQ(Leaves(), Texts{u"20240101"});
  ASSERT_TRUE(key->bAdvance(0));
  EXPECT_EQ(Write(key), u"D>=? AND D<?") << "the first stage keeps its partial text";
  EXPECT_EQ(Leaves(), (Texts{u"20240101", u"20250101"}));

  // A whole date is a range of one day.
  MakeWide(year, u"20240315");
  ASSERT_TRUE(key->bSetSearch(tableDescription, d, &year, 0, 0));
  EXPECT_EQ(Write(key), u"D=?");
  ASSERT_TRUE(key->bAdvance(0));
  EXPECT_EQ(Write(key), u"D>=?");
  EXPECT_EQ(Leaves(), Texts{u"20240316"});
}

// ---- clones and copies ----

TEST_F(CompositeSearchTest, ACloneSharesTheTreesAndACopyWritesTheSameTextFromItsOwn) {
  BuildKeys(true);
  ASSERT_TRUE(key->bSetSearchCore(tableDescription, pqs, &packed, 0, 0));
  ASSERT_TRUE(key->bAdvance(0));
  const std::u16string forward = Write(key);
  const Texts leaves = Leaves();
  CConditionNode* const trees[] = {key->pGetFirstStage(), key->pGetForward(), key->pGetBackward()};
  std::vector<std::uint32_t> counts;
  for (CConditionNode* tree : trees) counts.push_back(tree->nGetRefCount());
  auto* other = Keep(new OracleLikeRewriter(holder, over));

  CKeyCondition* clone = key->pClone();
  ASSERT_NE(clone, nullptr);
  clone->AddRef();
  EXPECT_EQ(clone->pGetForward(), key->pGetForward());
  EXPECT_EQ(clone->pGetCurrent(), key->pGetForward());
  EXPECT_EQ(clone->nGetStage(), KEY_STAGE_CONTINUATION);
  EXPECT_EQ(Write(clone, nullptr, other), forward);
  EXPECT_EQ(Leaves(clone, other), leaves);
  EXPECT_EQ(Leaves(), leaves) << "the clone's write leaves the original's leaves alone";
  clone->nRelease();
  for (std::size_t i = 0; i < counts.size(); ++i) EXPECT_EQ(trees[i]->nGetRefCount(), counts[i]) << i;

  CHashTable map;
  CKeyCondition* copy = key->pNewWithArgs(key, map, 0, 0);
  ASSERT_NE(copy, nullptr);
  copy->AddRef();
  for (std::size_t i = 0; i < counts.size(); ++i) EXPECT_EQ(trees[i]->nGetRefCount(), counts[i]) << i;
  EXPECT_NE(copy->pGetForward(), key->pGetForward());
  EXPECT_EQ(copy->pGetCurrent(), copy->pGetForward()) << "one tree held twice is copied once";
  EXPECT_EQ(copy->bEmptyTextIsNull(), 1u);
  EXPECT_EQ(Write(copy, nullptr, other), forward);
  EXPECT_EQ(Leaves(copy, other), leaves);
  EXPECT_EQ(Write(key), forward) << "nor does a copy's write change the original";

  // What the copy holds goes with it.
  std::vector<CConditionNode*> copied = {copy->pGetFirstStage(), copy->pGetForward(), copy->pGetBackward()};
  for (CConditionNode* tree : copied) tree->AddRef();
  copy->nRelease();
  for (CConditionNode* tree : copied) {
    EXPECT_EQ(tree->nGetRefCount(), 1u);
    tree->nRelease();
  }
}

}  // namespace
