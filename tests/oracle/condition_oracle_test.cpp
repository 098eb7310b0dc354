// Key conditions' WHERE texts run on the OCI stand-in through an Oracle connection: searches on a composite key with
// their continuations both ways, GE and LE, ranges, prefix LIKE searches whose value holds LIKE's own characters,
// the NULL alternatives of a key that allows NULL where NULL sorts last, a FALSE condition under a folded filter, a
// prefix ending in half a surrogate pair, and range bounds at a type's limits and on a descending key. Each text is
// written by the key condition into a rewriter that treats comparisons as the Oracle one does (its ESCAPE clause,
// its date operand rule); the leaves become literals of the connection, and the rows the statement returns are
// checked against the rows that must come, in the key's order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/record_description.h"
#include "engine/record/record_factories.h"
#include "engine/record/table_description.h"
#include "host/host_type.h"
#include "session_driver_helpers.h"
#include "sql/conditions/key_condition.h"
#include "sql/rewriter/sql_rewriter.h"
#include "tests/doubles/table_doubles.h"
#include "tests/host/host_value_fixture.h"
#include "engine_connection_fixture.h"

namespace {

using namespace ocitest;

// The rewriter's two operations a comparison meets, as the Oracle rewriter has them: date operands follow the base
// rule, and a LIKE on a text column takes Oracle's ESCAPE clause, national for NVARCHAR2 (a server of version 10 or
// later). Without them the base rewriter writes no ESCAPE clause.
class OracleConditionRewriter : public CSqlRewriter {
 public:
  using CSqlRewriter::CSqlRewriter;
  std::uint32_t nGetDateTimeOperandMode(std::uint32_t context, std::uint32_t type, std::uint32_t op,
                                        IHostExpressionNode* node) override {
    if (op == SQL_NODE_IS_NULL) return 0;
    if (type == COLUMN_TYPE_TIME || type == COLUMN_TYPE_DATE || type == COLUMN_TYPE_DATETIME) {
      return CSqlRewriter::nGetDateTimeOperandMode(context, type, op, node);
    }
    return 0;
  }
  void WriteDialectEscape(CValueLeaf*, std::uint32_t type) override {
    if (type == COLUMN_TYPE_WTEXT) {
      nAppendText(u" ESCAPE N'\\'");
    } else if (type == COLUMN_TYPE_TEXT || type == COLUMN_TYPE_TEXT_MEMO || type == COLUMN_TYPE_WTEXT_MEMO) {
      nAppendText(u" ESCAPE '\\'");
    }
  }
};

// A row's key (P, Q, S); an absent part is NULL. W holds Q's text too, as NVARCHAR2.
struct Row {
  std::optional<int> p;
  std::optional<std::u16string> q;
  std::optional<int> s;
};
using RowTest = std::function<bool(const Row&)>;

std::u16string Digits(int n) {
  const std::string text = std::to_string(n);
  return std::u16string(text.begin(), text.end());
}
std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

// A key as the check query writes it: "P/Q/S", "-" for NULL.
std::u16string KeyText(const Row& row) {
  return (row.p ? Digits(*row.p) : u"-") + u"/" + (row.q ? *row.q : u"-") + u"/" + (row.s ? Digits(*row.s) : u"-");
}

// Oracle's ascending order, texts compared by their codes: NULL after every value.
template <class T>
int Compare(const std::optional<T>& a, const std::optional<T>& b) {
  if (!a || !b) return !a && !b ? 0 : !a ? 1 : -1;
  return *a < *b ? -1 : *b < *a ? 1 : 0;
}
int Compare(const Row& a, const Row& b) {
  if (const int c = Compare(a.p, b.p)) return c;
  if (const int c = Compare(a.q, b.q)) return c;
  return Compare(a.s, b.s);
}
// How a row compares with a bound without NULL as SQL compares values: none when a NULL component decides.
std::optional<int> ValueCompare(const Row& r, const Row& bound) {
  if (!r.p) return std::nullopt;
  if (*r.p != *bound.p) return *r.p < *bound.p ? -1 : 1;
  if (!r.q) return std::nullopt;
  if (*r.q != *bound.q) return *r.q < *bound.q ? -1 : 1;
  if (!r.s) return std::nullopt;
  return Compare(r.s, bound.s);
}
// Whether the comparison is known and one of `from` to `to` (-1, 0, 1).
bool Within(const Row& r, const Row& bound, int from, int to) {
  const std::optional<int> c = ValueCompare(r, bound);
  return c && *c >= from && *c <= to;
}
RowTest After(const Row& key) {
  return [key](const Row& r) { return Compare(r, key) > 0; };
}
RowTest Before(const Row& key) {
  return [key](const Row& r) { return Compare(r, key) < 0; };
}
bool StartsWith(const Row& r, const std::u16string& prefix) { return r.q && r.q->compare(0, prefix.size(), prefix) == 0; }

class OracleKeyCondition : public COracleEngineFixture<doubles::ColumnMakingDriver> {
 protected:
  OracleKeyCondition() : COracleEngineFixture("CONDITIONS") {}

  // The table on the server with its rows, and its description: P NUMBER, Q VARCHAR2(8), S NUMBER, W NVARCHAR2(8)
  // holding Q's text, the unique composite key PQS over P, Q and S, and Q and W keys of their own with duplicates.
  // With notNull every column is NOT NULL (PQS is the table's primary key); without it PQS allows NULL.
  void MakeTable(const std::u16string& name, std::vector<Row> content, bool notNull) {
    table = name;
    const std::u16string constraint = notNull ? u" NOT NULL" : u"";
    ASSERT_EQ(Run(u"CREATE TABLE " + name + u" (P NUMBER" + constraint + u", Q VARCHAR2(8)" + constraint +
                  u", S NUMBER" + constraint + u", W NVARCHAR2(8)" + (notNull ? u", PRIMARY KEY (P, Q, S))" : u")")),
              1)
        << Dump(*holder);
    for (const Row& row : content) {
      const std::u16string text = row.q ? u"'" + *row.q + u"'" : u"NULL";
      ASSERT_EQ(Run(u"INSERT INTO " + name + u" VALUES (" + (row.p ? Digits(*row.p) : u"NULL") + u", " + text +
                    u", " + (row.s ? Digits(*row.s) : u"NULL") + u", " + text + u")"),
                1)
          << Dump(*holder);
    }
    std::sort(content.begin(), content.end(), [](const Row& a, const Row& b) { return Compare(a, b) < 0; });
    rows = std::move(content);

    CRecordDescription* record = Keep(columnDriver.CDriver::pCreateDescription(connection, holder));
    record->SetName(name.c_str());
    auto add = [&](const char16_t* column, std::uint32_t type, std::uint32_t size, std::uint16_t flags) {
      CColumnDescriptor* item = pCreateColumnDescriptorThroughDriver(nullptr, 0);
      item->bSetAll(column, name.c_str(), u"", 1, size, type, 0xFFFFFFFF, 0xFFFFFFFF, flags, 0, 0);
      item->SetNullAllowed(!notNull);
      EXPECT_TRUE(record->AddItem(item));
      return item;
    };
    p = add(u"P", COLUMN_TYPE_INT32, 4, 0);
    q = add(u"Q", COLUMN_TYPE_TEXT, 8, COLUMN_FLAG_DUPLICATES);
    CColumnDescriptor* s = add(u"S", COLUMN_TYPE_INT32, 4, 0);
    w = add(u"W", COLUMN_TYPE_WTEXT, 16, COLUMN_FLAG_DUPLICATES);
    pqs = add(u"PQS", COLUMN_TYPE_BINARY, 0, COLUMN_FLAG_COMPOSITE_KEY | COLUMN_FLAG_UNIQUE);
    for (CColumnDescriptor* component : {p, q, s}) pqs->bAddComponent(component);
    record->LayoutItems();
    tableDescription = Keep(new CTableDescription(holder, Keep(new doubles::ValueKeyedTable(connection, holder))));
    ASSERT_TRUE(tableDescription->bBuild(record, nullptr, connection)) << Dump(*holder);
    key = Keep(new CKeyCondition(holder, connection));
    key->SetEmptyTextIsNull(1);  // as the Oracle classes set it: Oracle stores an empty text as NULL
    rewriter = Keep(new OracleConditionRewriter(holder, connection));
  }

  // The packed value of PQS: P's four bytes, then Q's text in its storage (an empty text is NULL), then S's bytes;
  // without S the value ends with Q, cut after the text when `cut`.
  CHostValue* Packed(int p, const std::u16string& text, std::optional<int> s = std::nullopt, bool cut = false) {
    std::vector<std::uint8_t> bytes(sizeof p);
    std::memcpy(bytes.data(), &p, sizeof p);
    const std::size_t storage = tableDescription->pFindColumnByName(u"Q")->nGetDataLength();
    std::vector<std::uint8_t> q(cut ? text.size() : storage, 0);
    for (std::size_t i = 0; i < text.size(); ++i) q[i] = static_cast<std::uint8_t>(text[i]);
    bytes.insert(bytes.end(), q.begin(), q.end());
    if (s) {
      bytes.resize(bytes.size() + sizeof *s);
      std::memcpy(bytes.data() + bytes.size() - sizeof *s, &*s, sizeof *s);
    }
    CHostValue& value = values.emplace_back();
    value.SetType(HOST_TYPE_BINARY_BUFFER);
    EXPECT_EQ(value.SetFromBuffer(bytes.data(), bytes.size()), HOST_OK);
    return &value;
  }
  CHostValue* PackedP(int p) {
    CHostValue& value = values.emplace_back();
    value.SetType(HOST_TYPE_BINARY_BUFFER);
    EXPECT_EQ(value.SetFromBuffer(&p, sizeof p), HOST_OK);
    return &value;
  }
  CHostValue* Text(const std::u16string& text) {
    CHostValue& value = values.emplace_back();
    value.SetType(HOST_TYPE_TEXT);
    value.Set(text.c_str());
    return &value;
  }

  // The key's current condition (ANDed with the filter's) as its WHERE text, the leaves written as literals;
  // "<failed>" when none is made.
  std::u16string Where(CSqlRewriter* into = nullptr, CKeyCondition* filter = nullptr) {
    CSqlRewriter* r = into ? into : rewriter;
    if (!key->bWriteSql(r, filter, nullptr) || !r->bBuildFinalText(0)) return u"<failed>";
    return static_cast<const char16_t*>(r->pszGetOutputText(0));
  }

  // The statement with the condition returns exactly the rows that pass `expected`: their count, the first and the
  // last in the key's order.
  void ExpectRows(const std::u16string& where, const RowTest& expected) {
    std::vector<Row> wanted;
    std::copy_if(rows.begin(), rows.end(), std::back_inserter(wanted), expected);
    const std::u16string select = u"SELECT P, Q, S FROM " + table + u" WHERE " + where + u" ORDER BY P, Q, S";
    EXPECT_EQ(Fetch(u"SELECT COUNT(*) FROM (" + select + u")"), Digits(static_cast<int>(wanted.size())))
        << Narrow(where) << "\n" << Dump(*holder);
    if (wanted.empty()) return;
    const std::u16string keys = u"SELECT NVL(TO_CHAR(P), '-') || '/' || NVL(Q, '-') || '/' || NVL(TO_CHAR(S), '-')"
                                u" FROM " + table + u" WHERE " + where;
    EXPECT_EQ(Fetch(keys + u" ORDER BY P, Q, S"), KeyText(wanted.front())) << Narrow(where);
    EXPECT_EQ(Fetch(keys + u" ORDER BY P DESC, Q DESC, S DESC"), KeyText(wanted.back())) << Narrow(where);
  }
  // The first stage, then each continuation written after it, give the rows they must.
  void ExpectSearch(const RowTest& first, const RowTest& forward, const RowTest& backward) {
    ExpectRows(Where(), first);
    ASSERT_TRUE(key->bAdvance(0));
    ExpectRows(Where(), forward);
    key->Restart(1);
    ASSERT_TRUE(key->bAdvance(1));
    ExpectRows(Where(), backward);
  }

  std::u16string Fetch(const std::u16string& sql) { return FetchText(connection, *holder, sql.c_str()); }
  int Run(const std::u16string& sql) { return connection->bExecuteSql(holder, sql.c_str()); }

  // Generic columns: the Oracle driver object makes none yet.
  doubles::ColumnMakingDriver& columnDriver = testDriver;
  std::deque<CHostValue> values;

  std::u16string table;
  std::vector<Row> rows;  // in the key's order
  CTableDescription* tableDescription = nullptr;
  CColumnDescriptor* p = nullptr;
  CColumnDescriptor* q = nullptr;
  CColumnDescriptor* w = nullptr;
  CColumnDescriptor* pqs = nullptr;
  CKeyCondition* key = nullptr;
  OracleConditionRewriter* rewriter = nullptr;
};

// Texts holding LIKE's own characters and an upper-case one; by their codes: A_b, a, a%b, aXb, a\b, a_b, ab.
std::vector<Row> UniqueRows() {
  std::vector<Row> out;
  for (int p = 1; p <= 3; ++p) {
    for (const char16_t* text : {u"a", u"a_b", u"aXb", u"a%b", u"a\\b", u"ab", u"A_b"}) {
      for (int s = 1; s <= 2; ++s) out.push_back({p, std::u16string(text), s});
    }
  }
  return out;
}

// Every mix of P in (1, 2, NULL), Q in ('a', 'b', NULL) and S in (1, NULL).
std::vector<Row> RowsWithNulls() {
  std::vector<Row> out;
  for (const std::optional<int> p : {std::optional<int>(1), std::optional<int>(2), std::optional<int>()}) {
    for (const char16_t* text : {u"a", u"b", static_cast<const char16_t*>(nullptr)}) {
      for (const std::optional<int> s : {std::optional<int>(1), std::optional<int>()}) {
        out.push_back({p, text ? std::optional<std::u16string>(text) : std::nullopt, s});
      }
    }
  }
  return out;
}

TEST_F(OracleKeyCondition, CompositeSearchesContinueBothWaysFromTheKey) {
  MakeTable(u"K", UniqueRows(), true);
  ASSERT_TRUE(key->bSetSearch(tableDescription, pqs, Packed(2, u"aXb", 1), 0, 1));
  EXPECT_EQ(Where(), u"(P=2 AND Q='aXb' ) AND S=1 ");
  for (const Row& at : {Row{2, u"aXb", 1}, Row{1, u"A_b", 1}, Row{3, u"ab", 2}, Row{2, u"a\\b", 2}}) {
    SCOPED_TRACE(Narrow(KeyText(at)));
    ASSERT_TRUE(key->bSetSearch(tableDescription, pqs, Packed(*at.p, *at.q, at.s), 0, 1));
    ExpectSearch([&](const Row& r) { return Compare(r, at) == 0; }, After(at), Before(at));
  }
  // A key between two rows: nothing equals it, the continuations split the table there.
  const Row between{2, u"a0", 1};
  ASSERT_TRUE(key->bSetSearch(tableDescription, pqs, Packed(2, u"a0", 1), 0, 1));
  ExpectSearch([](const Row&) { return false; }, After(between), Before(between));
}

TEST_F(OracleKeyCondition, BoundsAndRangesOnTheCompositeKey) {
  MakeTable(u"K", UniqueRows(), true);
  const Row low{1, u"a_b", 2};
  const Row high{3, u"a%b", 1};
  auto range = [&](CHostValue* from, int fromIncluded, CHostValue* to, int toIncluded, const RowTest& expected) {
    ASSERT_TRUE(key->bSetRange(tableDescription, pqs, from, fromIncluded, to, toIncluded, nullptr, 0));
    ExpectRows(Where(), expected);
  };
  range(Packed(1, u"a_b", 2), 1, nullptr, 0, [&](const Row& r) { return Compare(r, low) >= 0; });
  range(Packed(1, u"a_b", 2), 0, nullptr, 0, After(low));
  range(nullptr, 0, Packed(3, u"a%b", 1), 1, [&](const Row& r) { return Compare(r, high) <= 0; });
  range(nullptr, 0, Packed(3, u"a%b", 1), 0, Before(high));
  range(Packed(1, u"a_b", 2), 1, Packed(3, u"a%b", 1), 1,
        [&](const Row& r) { return Compare(r, low) >= 0 && Compare(r, high) <= 0; });
  range(Packed(1, u"a_b", 2), 0, Packed(3, u"a%b", 1), 0,
        [&](const Row& r) { return Compare(r, low) > 0 && Compare(r, high) < 0; });
  range(Packed(2, u"a%b", 2), 1, Packed(2, u"a%b", 2), 1,
        [&](const Row& r) { return Compare(r, Row{2, u"a%b", 2}) == 0; });
  // Values holding P alone, and P with a text cut short: the rows compare on what the value holds.
  range(PackedP(2), 1, nullptr, 0, [](const Row& r) { return *r.p >= 2; });
  range(nullptr, 0, PackedP(2), 0, [](const Row& r) { return *r.p < 2; });
  range(Packed(2, u"aX", std::nullopt, true), 1, nullptr, 0,
        [](const Row& r) { return *r.p > 2 || (*r.p == 2 && *r.q >= u"aX"); });
}

TEST_F(OracleKeyCondition, PrefixSearchesFindOnlyTheRowsStartingWithTheValue) {
  MakeTable(u"K", UniqueRows(), true);
  // "_" and "%" are data in the value and "\" its escape: each prefix finds its own text alone; "A" and "a" differ.
  for (const std::u16string prefix : {u"a_", u"a%", u"a\\", u"A", u"a", u"a_b", u"aZ"}) {
    SCOPED_TRACE(Narrow(prefix));
    for (CColumnDescriptor* item : {q, w}) {
      ASSERT_TRUE(key->bSetSearch(tableDescription, item, Text(prefix), 0, 0));
      ExpectSearch([&](const Row& r) { return StartsWith(r, prefix); },
                   [&](const Row& r) { return !StartsWith(r, prefix) && *r.q > prefix; },
                   [&](const Row& r) { return !StartsWith(r, prefix) && *r.q < prefix; });
    }
  }
  ASSERT_TRUE(key->bSetSearch(tableDescription, q, Text(u"a_"), 0, 0));
  EXPECT_EQ(Where(), u"Q LIKE 'a\\_%' ESCAPE '\\'");
  ASSERT_TRUE(key->bSetSearch(tableDescription, w, Text(u"a_"), 0, 0));
  EXPECT_EQ(Where(), u"W LIKE N'a\\_%' ESCAPE N'\\'");

  // Oracle's LIKE has no escape character of its own: without the clause the "\" of the escaped value is a plain
  // character, and "a\_%" takes a\b for a_b.
  ASSERT_TRUE(key->bSetSearch(tableDescription, q, Text(u"a_"), 0, 0));
  CSqlRewriter* plain = Keep(new CSqlRewriter(holder, connection));
  const std::u16string unescaped = Where(plain);
  EXPECT_EQ(unescaped, u"Q LIKE 'a\\_%' ");
  ExpectRows(unescaped, [](const Row& r) { return *r.q == u"a\\b"; });
}

TEST_F(OracleKeyCondition, NullRowsComeAfterEveryValue) {
  MakeTable(u"N", RowsWithNulls(), false);
  // An empty text in the key is Q NULL; S's bytes follow it.
  for (const Row& at : {Row{1, u"b", 1}, Row{2, std::nullopt, 1}, Row{1, u"a", 1}, Row{2, u"b", 1}}) {
    SCOPED_TRACE(Narrow(KeyText(at)));
    ASSERT_TRUE(key->bSetSearch(tableDescription, pqs, Packed(*at.p, at.q.value_or(u""), at.s), 0, 1));
    ExpectSearch([&](const Row& r) { return Compare(r, at) == 0; }, After(at), Before(at));
  }
  ASSERT_TRUE(key->bSetSearch(tableDescription, pqs, Packed(2, u"", 1), 0, 1));
  ASSERT_TRUE(key->bAdvance(0));
  EXPECT_EQ(Where(), u"(P>2 OR P IS NULL) OR P=2 AND (Q IS NULL AND (S>1 OR S IS NULL))");
}

TEST_F(OracleKeyCondition, RangesHoldValuesAndNoNull) {
  // A range is a test on values: a row whose NULL component decides the comparison is in no range, wherever NULL
  // sorts; only a range from the empty value takes the NULL rows in at its start.
  MakeTable(u"N", RowsWithNulls(), false);
  const Row low{1, u"b", 1};
  const Row high{2, u"a", 1};
  ASSERT_TRUE(key->bSetRange(tableDescription, pqs, Packed(1, u"b", 1), 1, nullptr, 0, nullptr, 0));
  ExpectRows(Where(), [&](const Row& r) { return Within(r, low, 0, 1); });
  ASSERT_TRUE(key->bSetRange(tableDescription, pqs, nullptr, 0, Packed(2, u"a", 1), 0, nullptr, 0));
  ExpectRows(Where(), [&](const Row& r) { return Within(r, high, -1, -1); });
  ASSERT_TRUE(key->bSetRange(tableDescription, pqs, Packed(1, u"b", 1), 0, Packed(2, u"a", 1), 1, nullptr, 0));
  ExpectRows(Where(), [&](const Row& r) { return Within(r, low, 1, 1) && Within(r, high, -1, 0); });
  ASSERT_TRUE(key->bSetRange(tableDescription, pqs, PackedP(0), 1, nullptr, 0, nullptr, 0));
  ExpectRows(Where(), [](const Row&) { return true; });
  ASSERT_TRUE(key->bSetRange(tableDescription, pqs, PackedP(1), 0, nullptr, 0, nullptr, 0));
  ExpectRows(Where(), [](const Row& r) { return r.p == 2; });
}

TEST_F(OracleKeyCondition, PrefixContinuationsKeepTheNullRowsTheOrderPutsBeyond) {
  MakeTable(u"N", RowsWithNulls(), false);
  // NULL starts with no prefix: reading forward past "b" reaches the rows where Q is NULL.
  ASSERT_TRUE(key->bSetSearch(tableDescription, q, Text(u"b"), 0, 0));
  ExpectSearch([](const Row& r) { return StartsWith(r, u"b"); }, [](const Row& r) { return !r.q; },
               [](const Row& r) { return r.q == u"a"; });
  key->Restart(1);
  ASSERT_TRUE(key->bAdvance(0));
  EXPECT_EQ(Where(), u" NOT (Q LIKE 'b%' ESCAPE '\\' AND Q IS NOT NULL) AND (Q>'b' OR Q IS NULL)");
  // The same on the composite key: P=1 and Q starting with "b", then onward within P=1 to Q NULL, and beyond.
  ASSERT_TRUE(key->bSetSearch(tableDescription, pqs, Packed(1, u"b", std::nullopt, true), 0, 0));
  ExpectSearch([](const Row& r) { return r.p == 1 && StartsWith(r, u"b"); },
               [](const Row& r) { return r.p == 1 ? !r.q : r.p != 1; },
               [](const Row& r) { return r.p == 1 && r.q == u"a"; });
  key->Restart(1);
  ASSERT_TRUE(key->bAdvance(0));
  EXPECT_EQ(Where(), u"(P>1 OR P IS NULL) OR P=1 AND ((Q>'b' OR Q IS NULL) AND (Q NOT LIKE 'b%' ESCAPE '\\' OR "
                     u"Q IS NULL))");
}

// A filter that folded to TRUE on the first write, under a key condition that folds to FALSE: every write reads
// nothing, not only the first (on a later one the filter's TRUE side used to hide the FALSE and the whole table came).
TEST_F(OracleKeyCondition, AFalseConditionReadsNothingOnEveryWrite) {
  MakeTable(u"K", UniqueRows(), true);
  CHostValue* noText = Text(u"");
  noText->SetNull(true);
  CHostValue& noNumber = values.emplace_back();
  noNumber.SetType(HOST_TYPE_INT32);
  noNumber.SetNull(true);
  CKeyCondition* filter = Keep(new CKeyCondition(holder, connection));
  filter->SetEmptyTextIsNull(1);
  ASSERT_TRUE(filter->bSetRange(tableDescription, q, noText, 1, nullptr, 0, nullptr, 0));  // Q >= NULL: every row
  filter->Restart(1);
  ASSERT_TRUE(key->bSetRange(tableDescription, p, &noNumber, 0, nullptr, 0, nullptr, 0));  // P > NULL: no row
  key->Restart(1);
  for (int write = 1; write <= 2; ++write) {
    SCOPED_TRACE(write);
    const std::u16string where = Where(nullptr, filter);
    EXPECT_EQ(where, u"0=1");
    ExpectRows(where, [](const Row&) { return false; });
  }
}

// A generic search whose value ends in the first half of a surrogate pair finds the texts starting with the
// characters that half begins, and its continuations go on from beyond them and from before them.
TEST_F(OracleKeyCondition, APrefixEndingInHalfACharacter) {
  std::vector<Row> content;
  for (const char16_t* text : {u"a", u"ab", u"a\U0001F300", u"a\U0001F600", u"a\U0001F600x", u"a\U0001F680",
                               u"a\U0001F916", u"b"}) {
    content.push_back({1, std::u16string(text), 1});
  }
  MakeTable(u"E", content, true);
  const std::u16string prefix = u"a\xD83D";
  ASSERT_TRUE(key->bSetSearch(tableDescription, w, Text(prefix), 0, 0));
  ExpectSearch([&](const Row& r) { return StartsWith(r, prefix); },
               [&](const Row& r) { return !StartsWith(r, prefix) && *r.q > prefix; },
               [&](const Row& r) { return !StartsWith(r, prefix) && *r.q < prefix; });
}

// Numbers at their type's limits: U unsigned 32-bit, D a key ordered downwards.
class OracleLimitCondition : public OracleKeyCondition {
 protected:
  void MakeNumbers() {
    ASSERT_EQ(Run(u"CREATE TABLE L (U NUMBER, D NUMBER)"), 1) << Dump(*holder);
    const std::pair<const char16_t*, int> content[] = {
        {u"0", 1}, {u"1", 2}, {u"5", 3}, {u"4294967294", 4}, {u"4294967295", 5}};
    for (const auto& [u, d] : content) {
      ASSERT_EQ(Run(u"INSERT INTO L VALUES (" + std::u16string(u) + u", " + Digits(d) + u")"), 1) << Dump(*holder);
    }
    CRecordDescription* record = Keep(columnDriver.CDriver::pCreateDescription(connection, holder));
    record->SetName(u"L");
    auto add = [&](const char16_t* column, std::uint32_t type) {
      CColumnDescriptor* item = pCreateColumnDescriptorThroughDriver(nullptr, 0);
      item->bSetAll(column, u"L", u"", 1, 4, type, 0xFFFFFFFF, 0xFFFFFFFF, COLUMN_FLAG_DUPLICATES, 0, 0);
      item->SetNullAllowed(false);
      EXPECT_TRUE(record->AddItem(item));
      return item;
    };
    u = add(u"U", COLUMN_TYPE_UINT32);
    d = add(u"D", COLUMN_TYPE_INT32);
    d->SetKeyDirection(true);
    record->LayoutItems();
    tableDescription = Keep(new CTableDescription(holder, Keep(new doubles::ValueKeyedTable(connection, holder))));
    ASSERT_TRUE(tableDescription->bBuild(record, nullptr, connection)) << Dump(*holder);
    key = Keep(new CKeyCondition(holder, connection));
    rewriter = Keep(new OracleConditionRewriter(holder, connection));
  }
  // A value of the runtime's 32-bit unsigned or signed type.
  template <class T>
  CHostValue* Number(T n) {
    CHostValue& value = values.emplace_back();
    value.SetType(std::is_signed_v<T> ? HOST_TYPE_INT32 : HOST_TYPE_UINT32);
    value.Set(&n);
    return &value;
  }
  // The rows the range reads: "first D-last D/count", in D's order upwards.
  std::u16string RangeRows(CColumnDescriptor* item, CHostValue* low, int lowIncluded, CHostValue* high,
                           int highIncluded) {
    if (!key->bSetRange(tableDescription, item, low, lowIncluded, high, highIncluded, nullptr, 0)) return u"<unset>";
    key->Restart(1);
    const std::u16string where = Where();
    const std::u16string rows = u"(SELECT D FROM L" + (where.empty() ? u"" : u" WHERE " + where) + u")";
    return Fetch(u"SELECT TO_CHAR(MIN(D)) || '-' || TO_CHAR(MAX(D)) || '/' || TO_CHAR(COUNT(*)) FROM " + rows);
  }

  CColumnDescriptor* u = nullptr;
  CColumnDescriptor* d = nullptr;
};

// Only a bound that admits every value ("from the lowest", "up to the highest") is left out; a bound at a limit
// that excludes it, or that holds nothing else, still restricts the read.
TEST_F(OracleLimitCondition, BoundsAtTheTypesLimitsStillBound) {
  MakeNumbers();
  const std::uint32_t highest = 4294967295u;
  EXPECT_EQ(RangeRows(u, Number(0u), 0, nullptr, 0), u"2-5/4") << "U > 0";
  EXPECT_EQ(RangeRows(u, nullptr, 0, Number(0u), 1), u"1-1/1") << "U <= 0";
  EXPECT_EQ(RangeRows(u, nullptr, 0, Number(highest), 0), u"1-4/4") << "U < the highest";
  EXPECT_EQ(RangeRows(u, Number(highest), 1, nullptr, 0), u"5-5/1") << "U >= the highest";
  EXPECT_EQ(RangeRows(u, Number(0u), 1, Number(highest), 1), u"1-5/5") << "every value";
  EXPECT_EQ(Where(), u"") << "no condition at all";
}

// On a key ordered downwards a range runs from its first bound down to its second; each keeps its inclusiveness.
TEST_F(OracleLimitCondition, ADescendingRangeKeepsEachBoundsInclusiveness) {
  MakeNumbers();
  EXPECT_EQ(RangeRows(d, Number(4), 1, Number(1), 0), u"2-4/3");
  EXPECT_EQ(RangeRows(d, Number(4), 0, Number(1), 1), u"1-3/3");
}

}  // namespace
