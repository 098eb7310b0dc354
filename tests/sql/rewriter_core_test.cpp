// The statement rewriter's own part: keyword helpers, translation in pass-through mode (the ORDER BY cut, SET
// statements, named parameters, date escapes), the final text with its blank rule, its session page and row-limit
// fix-ups by DBMS kind, the parameter dump, copies and appended rewriters. Statements are the runtime stand-in's parsed ones.
#include "sql/rewriter/sql_rewriter.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/record/query_description.h"
#include "foundation/hash_table.h"
#include "host/host_objects.h"
#include "sql/driver_services.h"
#include "sql/rewriter/value_leaf.h"
#include "standin/runtime/query_objects.h"
#include "tests/engine/field_value_fixture.h"
#include "tests/doubles/driver_doubles.h"
#include "tests/slot_call.h"

namespace {

// A connection of a DBMS kind that quotes names between double quotes.
class KindConnection : public doubles::TestConnection {
 public:
  explicit KindConnection(std::uint32_t kind) : TestConnection(u"kind", nullptr) {
    m_nDbmsKind = kind;
    m_strOpeningQuote = u"\"";
    m_nOpeningQuoteLength = 1;
    m_strClosingQuote = u"\"";
    m_nClosingQuoteLength = 1;
  }
};

// Parameters written as the value's text between quotes; with a colon prefix, named parameters as the Oracle
// dialect writes them, ":name" with no suffix and "%CURSOR" marking a cursor parameter.
class TestRewriter : public CSqlRewriter {
 public:
  TestRewriter(CErrorHolder* holder, CConnection* connection, bool colon = false)
      : CSqlRewriter(holder, connection), m_bColon(colon) {}
  using CSqlRewriter::bScanNamedParameters;

  int bWriteValueLeaf(CValueLeaf* leaf, std::uint32_t, std::uint64_t*) override {
    if (failWrites) return 0;
    const char16_t* text = nullptr;
    CHostValue value;
    if (leaf->pGetFieldValue()) value.Assign(leaf->pGetFieldValue()->Value());
    if (value.nGetType() != 0) value.nGetWideText(&text);
    m_final.Append(u"'", 1);
    m_final.Append(text ? text : u"", -1);
    m_final.Append(u"'", 1);
    return 1;
  }
  const char16_t* pszGetParameterPrefix(char16_t* buffer, std::size_t size) override {
    return m_bColon ? Copy(buffer, size, u":") : CSqlRewriter::pszGetParameterPrefix(buffer, size);
  }
  const char16_t* pszGetParameterSuffix(char16_t* buffer, std::size_t size) override {
    return m_bColon ? Copy(buffer, size, u"") : CSqlRewriter::pszGetParameterSuffix(buffer, size);
  }
  int bIsCursorParameter(const char16_t* name, CTString& out) override {
    const std::u16string text(name);
    if (!m_bColon || text.size() < 7 || text.substr(text.size() - 7) != u"%CURSOR") {
      return CSqlRewriter::bIsCursorParameter(name, out);
    }
    out = text.substr(0, text.size() - 7).c_str();
    return 1;
  }
  void SetPassThrough(std::uint32_t on) { m_bPassThrough = on; }
  std::u16string Final() {
    const void* text = pszGetOutputText(0);
    return text ? static_cast<const char16_t*>(text) : u"<null>";
  }

  bool failWrites = false;

 private:
  static const char16_t* Copy(char16_t* buffer, std::size_t size, const char16_t* text) {
    std::size_t i = 0;
    for (; text[i] && i + 1 < size; ++i) buffer[i] = text[i];
    buffer[i] = 0;
    return buffer;
  }
  bool m_bColon;
};

class RewriterCoreTest : public CFieldValueFixture {
 protected:
  void TearDown() override {
    for (CSqlRewriter* r : made) EXPECT_EQ(r->nRelease(), 0u);
    for (KindConnection* c : connections) EXPECT_EQ(c->nRelease(), 0u);
    CFieldValueFixture::TearDown();
  }
  KindConnection* Kind(std::uint32_t kind) {
    auto* c = new KindConnection(kind);
    c->AddRef();
    connections.push_back(c);
    return c;
  }
  TestRewriter* Rewriter(std::uint32_t kind, bool colon = false) {
    auto* r = new TestRewriter(holder, Kind(kind), colon);
    r->AddRef();
    made.push_back(r);
    return r;
  }
  CFieldValue* Text(const char16_t* text) {
    CFieldValue* value = pCreateFieldValueThroughDriver(holder, connection);
    value->InitType(HOST_TYPE_TEXT, 0);
    CHostValue source;
    MakeWide(source, text);
    EXPECT_TRUE(value->bSetValue(source));
    return value;
  }
  // The final text of a statement text with no parameter.
  std::u16string FinalOf(std::uint32_t kind, const char16_t* text, std::int64_t limit = -1, std::int64_t offset = -1) {
    TestRewriter* r = Rewriter(kind);
    EXPECT_TRUE(r->nAppendText(text));
    r->SetRowLimit(limit, offset);
    return r->Final();
  }
  // A parsed statement of the text, translated in pass-through mode.
  struct Translated {
    int result;
    std::u16string text;
  };
  Translated PassThrough(TestRewriter* r, const char16_t* text, int keepOrder = 1, std::uint32_t mode = 4) {
    qzrt::QueryAnalysis analysis;
    analysis.SetText(qzrt::QueryAnalysis::kSqlText, std::u16string(text));
    analysis.declaredParameters = declared;
    auto* query = new CQueryDescription(holder, AsSeenAcross<IHostQueryAnalysis>(&analysis), nullptr, 0);
    query->AddRef();
    const int result = r->bTranslate(query, nullptr, keepOrder, mode);
    // The rewriter keeps the description; the parsed statement goes with this call.
    r->SetQueryDescription(nullptr);
    query->nRelease();
    return {result, r->GetStatementText().pszGet()};
  }

  std::vector<CSqlRewriter*> made;
  std::vector<KindConnection*> connections;
  qzrt::DeclaredParameters* declared = nullptr;
};

// ---- keyword helpers ----

TEST(RewriterKeywordTest, SeparatorsAndLeadingKeywords) {
  for (char16_t c : std::u16string(u"\t\n\r (),")) EXPECT_TRUE(bIsSqlSeparator(c));
  for (char16_t c : std::u16string(u";'\"a.")) EXPECT_FALSE(bIsSqlSeparator(c));
  EXPECT_EQ(nFindLeadingKeyword(u" (\r\nselect a", u"SELECT"), 4);
  EXPECT_EQ(nFindLeadingKeyword(u"UPDATE t", u"SELECT"), -1);
  EXPECT_EQ(nFindLeadingKeyword(u"", u"SELECT"), -1);
  EXPECT_TRUE(bStartsWithKeyword(u"\tSeLeCt *", u"SELECT"));
  EXPECT_FALSE(bStartsWithKeyword(u"SELEC", u"SELECT"));
}

TEST(RewriterKeywordTest, BackwardSearchSkipsLiteralsAndQuotedNames) {
  const char16_t* q = u"\"";
  EXPECT_EQ(nFindKeywordBackward(u"a limit 1 LIMIT 2", -1, u"LIMIT", -1, q, q), 10);
  EXPECT_EQ(nFindKeywordBackward(u"a limit 1 LIMIT 2", -1, u"LIMIT", 9, q, q), 2) << "from an index";
  EXPECT_EQ(nFindKeywordBackward(u"a LIMITED b", -1, u"LIMIT", -1, q, q), -1) << "a word, not a part of one";
  EXPECT_EQ(nFindKeywordBackward(u"x(LIMIT)", -1, u"LIMIT", -1, q, q, true), 2);
  // A doubled quote and a quote after a backslash leave the literal open.
  EXPECT_EQ(nFindKeywordBackward(u"a LIMIT 1 'it''s LIMIT 2'", -1, u"LIMIT", -1, q, q, true), 2);
  EXPECT_EQ(nFindKeywordBackward(u"a LIMIT 1 'it\\'s LIMIT 2'", -1, u"LIMIT", -1, q, q, true), 2);
  EXPECT_EQ(nFindKeywordBackward(u"a LIMIT 1 'x' LIMIT 2", -1, u"LIMIT", -1, q, q), 14);
  EXPECT_EQ(nFindKeywordBackward(u"a LIMIT 1 \"b LIMIT c\"", -1, u"LIMIT", -1, q, q, true), 2);
  EXPECT_EQ(nFindKeywordBackward(u"a LIMIT 1 [b LIMIT c]", -1, u"LIMIT", -1, u"[", u"]"), 2);
  EXPECT_EQ(nFindKeywordBackward(u"a LIMIT 1 \"b LIMIT c\"", -1, u"LIMIT", -1, nullptr, nullptr), 13)
      << "a dialect without quotes has no quoted names";
  EXPECT_EQ(nFindKeywordBackward(u"a b LIMIT", -1, u"LIMIT", -1, q, q), 4) << "a keyword ending the text";
}

TEST(RewriterKeywordTest, ReadIdentifier) {
  CTString out;
  EXPECT_EQ(nReadIdentifier(u"  \"My Table\" x", 0, out), 12u);
  EXPECT_EQ(std::u16string(out.pszGet()), u"My Table");
  EXPECT_EQ(nReadIdentifier(u"([a b]", 0, out), 6u);
  EXPECT_EQ(std::u16string(out.pszGet()), u"a b");
  EXPECT_EQ(nReadIdentifier(u"one, two", 4, out), 8u);
  EXPECT_EQ(std::u16string(out.pszGet()), u"two");
}

// ---- final text ----

TEST_F(RewriterCoreTest, TopFixUpForKindsOneToThree) {
  EXPECT_EQ(FinalOf(2, u"select a from t limit 10"), u"SELECT TOP 10  a from t");
  EXPECT_EQ(FinalOf(1, u"SELECT a FROM t LIMIT 5, 0"), u"SELECT TOP 5  a FROM t");
  EXPECT_EQ(FinalOf(3, u"SELECT a FROM t LIMIT 5, 10"), u"SELECT a FROM t LIMIT 5, 10");
  EXPECT_EQ(FinalOf(2, u"SELECT 'limit 3' FROM t"), u"SELECT 'limit 3' FROM t");
  EXPECT_EQ(FinalOf(2, u"SELECT a FROM t LIMIT"), u"SELECT a FROM t LIMIT") << "no count: left as written";
  EXPECT_EQ(FinalOf(2, u"SELECT a FROM t LIMIT x"), u"SELECT a FROM t LIMIT x");
  EXPECT_EQ(FinalOf(2, u"DELETE FROM t LIMIT 3"), u"DELETE FROM t LIMIT 3");
  EXPECT_EQ(FinalOf(4, u"select a from t limit 10"), u"select a from t limit 10");
  EXPECT_EQ(FinalOf(7, u"select a from t limit 10"), u"select a from t limit 10");
  // Only the statement's own LIMIT counts: not one in a comment, a quoted name or a subquery.
  for (const char16_t* text : {u"SELECT a FROM t -- LIMIT 5", u"SELECT a FROM t /* LIMIT 5 */",
                               u"SELECT \"LIMIT 5\" FROM t", u"SELECT a FROM t WHERE b IN (SELECT c FROM u LIMIT 3)"}) {
    EXPECT_EQ(FinalOf(2, text), text);
  }
  EXPECT_EQ(FinalOf(2, u"SELECT a FROM (SELECT b FROM u LIMIT 3) v LIMIT 4 -- LIMIT 9"),
            u"SELECT TOP 4  a FROM (SELECT b FROM u LIMIT 3) v");
}

TEST_F(RewriterCoreTest, LimitFixUpForKindsFiveAndSix) {
  EXPECT_EQ(FinalOf(5, u"SELECT TOP 3 a FROM t"), u"SELECT  a FROM t LIMIT 3");
  EXPECT_EQ(FinalOf(6, u"SELECT a FROM t", 7, 2), u"SELECT a FROM t LIMIT 2, 7");
  EXPECT_EQ(FinalOf(5, u"SELECT a FROM t", 7, 0), u"SELECT a FROM t LIMIT 7");
  EXPECT_EQ(FinalOf(5, u"SELECT a FROM t LIMIT 0 ", 4), u"SELECT a FROM t LIMIT 0 ");
  EXPECT_EQ(FinalOf(5, u"SELECT TOP x FROM t", 4), u"SELECT TOP x FROM t LIMIT 4");
  EXPECT_EQ(FinalOf(5, u"SELECT TOP 99999999999999999999 a FROM t"), u"SELECT  a FROM t LIMIT 99999999999999999999")
      << "a count past 64 bits goes as the program wrote it, never cut short";
  EXPECT_EQ(FinalOf(5, u"SELECT a FROM t"), u"SELECT a FROM t") << "no row limit";
  EXPECT_EQ(FinalOf(5, u"UPDATE t SET a = 1", 4), u"UPDATE t SET a = 1");
  EXPECT_EQ(FinalOf(6, u"SELECT a FROM t", 7, 1), u"SELECT a FROM t LIMIT 1, 7") << "an offset of one row";
  EXPECT_EQ(FinalOf(5, u"SELECT TOP 0 a FROM t"), u"SELECT  a FROM t LIMIT 0") << "no row is not every row";
  EXPECT_EQ(FinalOf(6, u"SELECT\tTOP\t2 a FROM t"), u"SELECT\t a FROM t LIMIT 2");
  // The clause goes before a trailing comment; a LIMIT 0 in a comment or a subquery is not the statement's.
  EXPECT_EQ(FinalOf(5, u"SELECT a FROM t -- all of t", 4), u"SELECT a FROM t LIMIT 4 -- all of t");
  EXPECT_EQ(FinalOf(5, u"SELECT TOP 3 a FROM t /* x */ -- y\n"), u"SELECT  a FROM t LIMIT 3 /* x */ -- y\n");
  EXPECT_EQ(FinalOf(5, u"SELECT a FROM t -- LIMIT 0", 4), u"SELECT a FROM t LIMIT 4 -- LIMIT 0");
  EXPECT_EQ(FinalOf(5, u"SELECT a FROM (SELECT b FROM u LIMIT 0)", 4),
            u"SELECT a FROM (SELECT b FROM u LIMIT 0) LIMIT 4");
  EXPECT_EQ(FinalOf(5, u"SELECT a FROM t LIMIT 0 -- none", 4), u"SELECT a FROM t LIMIT 0 -- none");

  TestRewriter* r = Rewriter(6);
  ASSERT_TRUE(r->nAppendText(u"SELECT TOP 9 a FROM t"));
  r->SetRowLimit(4, -1);
  EXPECT_EQ(r->Final(), u"SELECT  a FROM t LIMIT 9");
  EXPECT_EQ(r->nGetRowLimit(), -1) << "the TOP count replaces the row limit";
}

TEST_F(RewriterCoreTest, ANarrowSessionGetsWholeFourByteCharacters) {
  KindConnection* gb = Kind(5);
  gb->SetSessionCodePage(54936);
  auto* r = new TestRewriter(holder, gb, false);
  r->AddRef();
  made.push_back(r);
  ASSERT_TRUE(r->nAppendText(u"SELECT a FROM t WHERE b = "));
  ASSERT_TRUE(r->bAddValueParameter(Text(u"x\U00020000y")));
  const char* narrow = static_cast<const char*>(r->pszGetOutputText(1));
  ASSERT_NE(narrow, nullptr);
  // U+20000 is four bytes in GB18030: 0x95 0x32 0x82 0x36.
  EXPECT_NE(std::string(narrow).find("'x\x95\x32\x82\x36y'"), std::string::npos) << narrow;
}

// A narrow session page lacking a character never gets another one in its place (the statement would find other
// rows): the final text fails with error 77, and the rewriter goes on with the next statement.
TEST_F(RewriterCoreTest, ANarrowSessionRefusesWhatItsPageCannotCarry) {
  const struct {
    std::uint32_t page;
    const char16_t* lacking;
    const char16_t* carried;
    const char* bytes;  // the carried literal in the page
  } cases[] = {{932, u"\u00e9\u20ac", u"\u65e5", "N'\x93\xfa' "}, {1252, u"\u65e5", u"\u00e9\u20ac", "N'\xe9\x80' "}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page);
    KindConnection* narrow = Kind(1);
    narrow->SetSessionCodePage(c.page);
    auto* r = new CSqlRewriter(holder, narrow);
    r->AddRef();
    made.push_back(r);
    ASSERT_TRUE(r->nAppendText(u"SELECT a FROM t WHERE b = "));
    ASSERT_TRUE(r->bAddValueParameter(Text(c.lacking)));
    EXPECT_EQ(r->pszGetOutputText(1), nullptr);
    EXPECT_TRUE(doubles::HasIdentification(holder, ERROR_UNIT_REWRITER, REWRITER_POINT_CODE_PAGE));
    EXPECT_EQ(holder->nGetErrorCode(), REWRITER_ERROR_CODE_PAGE);
    holder->Clear();
    EXPECT_EQ(r->pszGetOutputText(1), nullptr) << "no half-built text is handed out later";
    holder->Clear();
    // The statement's own text is held to the same page.
    r->Reset(0);
    ASSERT_TRUE(r->nAppendText((std::u16string(u"SELECT a AS ") + c.lacking + u" FROM t").c_str()));
    EXPECT_EQ(r->pszGetOutputText(1), nullptr);
    EXPECT_TRUE(doubles::HasIdentification(holder, ERROR_UNIT_REWRITER, REWRITER_POINT_CODE_PAGE));
    holder->Clear();

    r->Reset(0);
    ASSERT_TRUE(r->nAppendText(u"SELECT a FROM t WHERE b = "));
    ASSERT_TRUE(r->bAddValueParameter(Text(c.carried)));
    const char* text = static_cast<const char*>(r->pszGetOutputText(1));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text), std::string("SELECT a FROM t WHERE b = ") + c.bytes);
    EXPECT_FALSE(holder->bHasError());
  }
}

TEST_F(RewriterCoreTest, InsertedTextMovesTheParametersFromItsPosition) {
  TestRewriter* r = Rewriter(4);
  ASSERT_TRUE(r->nAppendText(u"a ="));
  ASSERT_TRUE(r->bAddValueParameter(Text(u"x")));
  ASSERT_TRUE(r->nAppendText(u" AND b ="));
  ASSERT_TRUE(r->bAddValueParameter(Text(u"y")));
  ASSERT_TRUE(r->nInsertText(11, u" 1+"));
  EXPECT_EQ(r->pGetParameter(0)->nGetPosition(), 3u) << "placed before the insertion";
  EXPECT_EQ(r->pGetParameter(1)->nGetPosition(), 14u) << "placed at the insertion";
  ASSERT_TRUE(r->nInsertText(0, u"("));
  EXPECT_EQ(r->pGetParameter(0)->nGetPosition(), 4u);
  EXPECT_EQ(r->Final(), u"(a ='x' AND b = 1+'y' ");
}

TEST_F(RewriterCoreTest, PassThroughTextsAreNotFixedUp) {
  TestRewriter* r = Rewriter(2);
  r->SetPassThrough(1);
  ASSERT_TRUE(r->nAppendText(u"select a from t limit 10"));
  EXPECT_EQ(r->Final(), u"select a from t limit 10");
}

TEST_F(RewriterCoreTest, BlankAfterEveryWrittenParameter) {
  TestRewriter* r = Rewriter(4);
  EXPECT_EQ(r->Final(), u"") << "nothing to write";
  ASSERT_TRUE(r->nAppendText(u"SELECT a FROM t WHERE (b ="));
  CFieldValue* x = Text(u"x");
  ASSERT_TRUE(r->bAddValueParameter(x));
  ASSERT_TRUE(r->nAppendText(u") AND c IN ("));
  ASSERT_TRUE(r->bAddValueParameter(Text(u"y")));
  ASSERT_TRUE(r->nAppendText(u","));
  ASSERT_TRUE(r->bAddValueParameter(Text(u"z")));
  ASSERT_TRUE(r->nAppendText(u" )"));
  EXPECT_EQ(r->Final(), u"SELECT a FROM t WHERE (b ='x' ) AND c IN ('y' ,'z' )");

  // A failing writer fails the text, which stays unbuilt.
  TestRewriter* failing = Rewriter(4);
  failing->failWrites = true;
  ASSERT_TRUE(failing->nAppendText(u"a ="));
  ASSERT_TRUE(failing->bAddValueParameter(x));
  EXPECT_EQ(failing->pszGetOutputText(0), nullptr);
}

// ---- translation in pass-through mode ----

TEST_F(RewriterCoreTest, DroppedOrderByIsTheStatementsOwnClause) {
  struct Case {
    const char16_t* text;
    const char16_t* kept;
  };
  const Case cases[] = {
      {u"SELECT a FROM t ORDER BY a", u"SELECT a FROM t "},
      {u"SELECT a FROM t order by a", u"SELECT a FROM t "},
      {u"SELECT a FROM t Order By a", u"SELECT a FROM t Order By a"},
      {u"SELECT 'x ORDER BY y' FROM t ORDER BY a", u"SELECT 'x ORDER BY y' FROM t "},
      {u"SELECT 'it''s ORDER BY' FROM t", u"SELECT 'it''s ORDER BY' FROM t"},
      {u"SELECT \"ORDER BY\" FROM t", u"SELECT \"ORDER BY\" FROM t"},
      {u"SELECT a -- ORDER BY x\r\nFROM t ORDER BY a", u"SELECT a -- ORDER BY x\r\nFROM t "},
      {u"SELECT a -- ORDER BY x\nFROM t", u"SELECT a -- ORDER BY x\nFROM t"},
      {u"SELECT a /* ORDER BY x */ FROM t", u"SELECT a /* ORDER BY x */ FROM t"},
      {u"SELECT a FROM (SELECT b FROM u ORDER BY b) v", u"SELECT a FROM (SELECT b FROM u ORDER BY b) v"},
      {u"SELECT ROW_NUMBER() OVER (ORDER BY a) FROM t ORDER BY a",
       u"SELECT ROW_NUMBER() OVER (ORDER BY a) FROM t "},
      {u"SELECT a FROM t ORDER BY a order by b", u"SELECT a FROM t "},
      {u"SELECT 'C:\\' FROM t ORDER BY a", u"SELECT 'C:\\' FROM t "},  // a backslash escapes nothing
  };
  for (const Case& c : cases) {
    const Translated cut = PassThrough(Rewriter(1), c.text, 0);
    EXPECT_EQ(cut.result, 1) << std::string(c.text, c.text + std::u16string(c.text).size());
    EXPECT_EQ(cut.text, c.kept);
    const Translated kept = PassThrough(Rewriter(1), c.text, 1);
    EXPECT_EQ(kept.text, c.text) << "the keep-order flag keeps the clause";
  }
}

TEST_F(RewriterCoreTest, SetStatementsAreRecognised) {
  struct Case {
    const char16_t* text;
    std::uint32_t kind;
  };
  const Case cases[] = {
      {u"SET NOCOUNT ON", SQL_STATEMENT_SET},   {u"  set x=5 ;; ", SQL_STATEMENT_SET},
      {u"SET a b c", SQL_STATEMENT_OTHER},      {u"SET", SQL_STATEMENT_OTHER},
      {u"SETTING a b", SQL_STATEMENT_OTHER},    {u"SET a", SQL_STATEMENT_OTHER},
  };
  for (const Case& c : cases) {
    TestRewriter* r = Rewriter(1);
    EXPECT_EQ(PassThrough(r, c.text).result, 1);
    EXPECT_EQ(r->nGetStatementKind(), c.kind) << std::u16string(c.text).size();
  }
  TestRewriter* assembled = Rewriter(1);
  PassThrough(assembled, u"SET NOCOUNT ON", 1, 0);
  EXPECT_NE(assembled->nGetStatementKind(), SQL_STATEMENT_SET) << "only a pass-through text";
  TestRewriter* mode1 = Rewriter(1);
  PassThrough(mode1, u"SET NOCOUNT ON", 1, 1);
  EXPECT_EQ(mode1->nGetStatementKind(), SQL_STATEMENT_SET) << "mode 1 is pass-through";
  EXPECT_EQ(mode1->nGetOutputState(), SQL_OUTPUT_MARKED);
}

class NamedParameterTest : public RewriterCoreTest {
 protected:
  void SetUp() override {
    RewriterCoreTest::SetUp();
    one.SetType(HOST_TYPE_INT32);
    const std::int32_t n = 1;
    one.Set(&n);
    parameters.Declare(u"p1", &one);
    declared = &parameters;
  }
  qzrt::DeclaredParameters parameters;
  CHostValue one;
  CHostValue untyped;
};

TEST_F(NamedParameterTest, ColonParametersOutsideLiteralsAndComments) {
  parameters.Declare(u"p2", &untyped);
  TestRewriter* r = Rewriter(1, true);
  const Translated t = PassThrough(
      r, u"SELECT a FROM t WHERE b = :p1 AND s IN ('C:\\', 'a:b') AND \"X:Y\" = 1 -- note :x\nAND c = :P2 /* :y */ "
         u"AND d = :p1");
  ASSERT_EQ(t.result, 1);
  EXPECT_EQ(t.text, u"SELECT a FROM t WHERE b =  AND s IN ('C:\\', 'a:b') AND \"X:Y\" = 1 -- note :x\nAND c =  /* :y */ "
                    u"AND d = ");
  ASSERT_EQ(r->nGetParameterCount(), 3u);
  CValueLeaf* first = r->pGetParameter(0);
  EXPECT_EQ(first->nGetPosition(), 26u);
  EXPECT_EQ(first->nGetFlags(), LEAF_FLAG_NAMED);
  EXPECT_EQ(first->nGetOrigin(), LEAF_ORIGIN_NAMED_PARAMETER);
  EXPECT_EQ(first->pGetFieldValue()->Value().nGetType(), HOST_TYPE_INT32) << "the declared type";
  EXPECT_EQ(r->pGetParameter(1)->pGetFieldValue()->Value().nGetType(), HOST_TYPE_ASTRING)
      << "a declaration without a type gives 8-bit text";
  EXPECT_EQ(std::u16string(r->pGetParameter(1)->pszGetName()), u"P2");
  EXPECT_EQ(r->pGetParameter(2)->pGetFieldValue(), first->pGetFieldValue()) << "one name, one value";
}

TEST_F(NamedParameterTest, CursorParametersNeedNoDeclaration) {
  declared = nullptr;
  TestRewriter* r = Rewriter(1, true);
  const Translated t = PassThrough(r, u"BEGIN open_it(:rc%CURSOR); END;");
  ASSERT_EQ(t.result, 1);
  ASSERT_EQ(r->nGetParameterCount(), 1u);
  EXPECT_TRUE(r->pGetParameter(0)->bIsCursorParameter());
  EXPECT_EQ(std::u16string(r->pGetParameter(0)->pszGetName()), u"rc");
}

TEST_F(NamedParameterTest, BracedParametersAndTheirFailures) {
  TestRewriter* r = Rewriter(1);
  ASSERT_EQ(PassThrough(r, u"SELECT a FROM t WHERE b = {p1} AND c = '{x}'").text,
            u"SELECT a FROM t WHERE b =  AND c = '{x}'");
  EXPECT_EQ(r->nGetParameterCount(), 1u);

  EXPECT_EQ(PassThrough(Rewriter(1), u"SELECT a FROM t WHERE b = {p1 AND c = 2").result, 0);
  EXPECT_TRUE(doubles::HasIdentification(holder, 10, 2)) << "the suffix is missing";
  holder->Clear();
  EXPECT_EQ(PassThrough(Rewriter(1), u"SELECT a FROM t WHERE b = {nobody}").result, 0);
  EXPECT_TRUE(doubles::HasIdentification(holder, 10, 4)) << "not declared";
  holder->Clear();

  // Mode bit 32 and the connection's switch leave the text as it is.
  EXPECT_EQ(PassThrough(Rewriter(1), u"SELECT {nobody}", 1, 4 | 32).text, u"SELECT {nobody}");
  TestRewriter* switched = Rewriter(1);
  switched->pGetConnection()->SetNamedParameterSwitch(1);
  const Translated off = PassThrough(switched, u"SELECT {nobody}");
  EXPECT_EQ(off.result, 1);
  EXPECT_EQ(off.text, u"SELECT {nobody}");
}

TEST_F(NamedParameterTest, DateEscapesMoveTheParametersAfterThem) {
  TestRewriter* r = Rewriter(4, true);
  const Translated t = PassThrough(r, u"SELECT a FROM t WHERE d = {d '2024-03-15'} AND b = :p1");
  ASSERT_EQ(t.result, 1);
  EXPECT_EQ(t.text, u"SELECT a FROM t WHERE d = TO_DATE('20240315','YYYYMMDD') AND b = ");
  ASSERT_EQ(r->nGetParameterCount(), 1u);
  EXPECT_EQ(r->pGetParameter(0)->nGetPosition(), t.text.size());
  EXPECT_EQ(r->Final(), u"SELECT a FROM t WHERE d = TO_DATE('20240315','YYYYMMDD') AND b = '' ")
      << "the value is loaded later; its place is the text's end";
}

TEST_F(NamedParameterTest, EveryDeclaredParameterMustStandInTheText) {
  parameters.Declare(u"p2", &untyped);
  EXPECT_EQ(PassThrough(Rewriter(1, true), u"SELECT a FROM t WHERE b = :p1").result, 0);
  EXPECT_TRUE(doubles::HasIdentification(holder, 10, 3)) << "p2 is declared and never named";
  EXPECT_EQ(holder->nGetErrorCode(), 40u);
  holder->Clear();
  EXPECT_EQ(PassThrough(Rewriter(1, true), u"SELECT a FROM t WHERE b = :P2 OR c = :p1").result, 1)
      << "case is ignored";
  EXPECT_EQ(PassThrough(Rewriter(1, true), u"SELECT a FROM t WHERE b = :p1", 1, 4 | 32).result, 1)
      << "mode bit 32 checks nothing";
}

// ---- dump, copies, appended rewriters ----

TEST_F(RewriterCoreTest, DumpShowsEveryParameter) {
  TestRewriter* r = Rewriter(1);
  ASSERT_TRUE(r->nAppendText(u"a = "));
  ASSERT_TRUE(r->bAddValueParameter(Text(u"abc")));
  ASSERT_TRUE(r->bAddParameter(nullptr, LEAF_KIND_NONE, LEAF_FLAG_NAMED | LEAF_FLAG_CURSOR_PARAMETER, nullptr,
                               u"rc", 0, LEAF_ORIGIN_NAMED_PARAMETER));
  auto label = [](std::uint32_t i) { return std::u16string(pszCurrentDriverLabel(i)); };
  ASSERT_FALSE(label(1).empty());
  const std::u16string expected = label(1) + u"a = \r\n" + label(2) + u"=2\r\n" + label(3) + u" 0 :\t" + label(4) +
                                  u"110 = <abc>\r\n" + label(3) + u" 1 :\t = <cursor parameter>>\r\n";
  EXPECT_EQ(std::u16string(r->DumpParameters()), expected);
  ASSERT_TRUE(r->nAppendText(u" later"));
  EXPECT_EQ(std::u16string(r->DumpParameters()), expected) << "built once";
}

TEST_F(RewriterCoreTest, CloneSharesHolderAndConnection) {
  TestRewriter* r = Rewriter(5);
  ASSERT_TRUE(r->nAppendText(u"SELECT "));
  ASSERT_TRUE(r->bAddCountColumn());
  ASSERT_TRUE(r->nAppendText(u" FROM t WHERE b ="));
  ASSERT_TRUE(r->bAddValueParameter(Text(u"x")));
  r->SetRowLimit(3, -1);
  r->SetStatementKind(1);
  TestRewriter* other = Rewriter(2);
  KindConnection* before = connections.back();
  const std::size_t holderRefs = holder->nGetRefCount();

  {
    CHashTable selfMap;
    ASSERT_TRUE(r->CopyFrom(r, selfMap, 0));
    EXPECT_EQ(r->nGetParameterCount(), 1u) << "a copy of itself keeps its parameters, once";
    EXPECT_EQ(r->Lists().nGetSelectColumnCount(), 1u);
  }
  CHashTable map;
  CSqlRewriter* clone = r->pClone(map, 0);
  ASSERT_NE(clone, nullptr);
  clone->AddRef();
  EXPECT_EQ(clone->pGetErrorHolder(), holder);
  EXPECT_EQ(clone->pGetConnection(), r->pGetConnection());
  EXPECT_EQ(holder->nGetRefCount(), holderRefs + 1);
  EXPECT_EQ(std::u16string(clone->pszGetSourceText()), std::u16string(r->pszGetSourceText()));
  ASSERT_EQ(clone->nGetParameterCount(), 1u);
  EXPECT_NE(clone->pGetParameter(0), r->pGetParameter(0));
  EXPECT_EQ(clone->pGetParameter(0)->nGetPosition(), r->pGetParameter(0)->nGetPosition());
  EXPECT_EQ(clone->Lists().nGetSelectColumnCount(), 0u) << "the select columns are the statement's own";
  EXPECT_EQ(r->Lists().nGetSelectColumnCount(), 1u);
  EXPECT_EQ(clone->nGetRowLimit(), 3);
  EXPECT_EQ(clone->nGetStatementKind(), SQL_STATEMENT_SELECT);
  EXPECT_EQ(clone->nGetDialectFlags(), 1u) << "DBMS kind 5";

  // Copying over a rewriter of another connection moves its references.
  ASSERT_TRUE(other->CopyFrom(clone, map, 0));
  EXPECT_EQ(other->pGetConnection(), r->pGetConnection());
  EXPECT_EQ(before->nGetRefCount(), 1u) << "only the test's own reference is left";
  EXPECT_EQ(clone->nRelease(), 0u);
  EXPECT_EQ(holder->nGetRefCount(), holderRefs);
  EXPECT_EQ(r->Final(), u"SELECT COUNT(*) AS QZACCESNATIF_NBENR FROM t WHERE b ='x'  LIMIT 3")
      << "the source is still usable";
}

TEST_F(RewriterCoreTest, AClonesReferencesAllGoBackWithItAndItsOriginal) {
  qzrt::QueryAnalysis analysis;
  analysis.SetText(qzrt::QueryAnalysis::kSqlText, std::u16string(u"SELECT a FROM t WHERE a = ? OR b = ?"));
  auto* query = new CQueryDescription(holder, AsSeenAcross<IHostQueryAnalysis>(&analysis), nullptr, 0);
  query->AddRef();
  KindConnection* kind = Kind(4);
  CFieldValue* value = Text(u"x");
  value->AddRef();
  const std::uint32_t holderRefs = holder->nGetRefCount();
  const std::uint32_t connectionRefs = kind->nGetRefCount();
  const std::uint32_t queryRefs = query->nGetRefCount();

  auto* r = new TestRewriter(holder, kind);
  r->AddRef();
  r->SetQueryDescription(query);
  // One field value behind two parameters, as a named parameter used twice has it.
  ASSERT_TRUE(r->nAppendText(u"SELECT a FROM t WHERE a = "));
  ASSERT_TRUE(r->bAddValueParameter(value));
  ASSERT_TRUE(r->nAppendText(u" OR b = "));
  ASSERT_TRUE(r->bAddValueParameter(value));
  EXPECT_EQ(value->nGetRefCount(), 3u);

  CFieldValue* copied = nullptr;
  {
    CHashTable map;
    CSqlRewriter* clone = r->pClone(map, 0);
    ASSERT_NE(clone, nullptr);
    clone->AddRef();
    EXPECT_EQ(clone->pGetErrorHolder(), holder);
    EXPECT_EQ(clone->pGetConnection(), kind);
    EXPECT_EQ(clone->pGetQueryDescription(), query);
    EXPECT_EQ(holder->nGetRefCount(), holderRefs + 2);
    EXPECT_EQ(kind->nGetRefCount(), connectionRefs + 2);
    EXPECT_EQ(query->nGetRefCount(), queryRefs + 2);
    ASSERT_EQ(clone->nGetParameterCount(), 2u);
    copied = clone->pGetParameter(0)->pGetFieldValue();
    ASSERT_NE(copied, nullptr);
    EXPECT_NE(copied, value) << "the clone's parameters carry values of their own";
    EXPECT_EQ(clone->pGetParameter(1)->pGetFieldValue(), copied) << "shared as in the original";
    EXPECT_EQ(value->nGetRefCount(), 3u) << "the original's value is not held by the clone";
    copied->AddRef();
    EXPECT_EQ(copied->nGetRefCount(), 3u);
    EXPECT_EQ(clone->nRelease(), 0u);
  }
  EXPECT_EQ(copied->nGetRefCount(), 1u) << "the clone's parameters gave their value back";
  EXPECT_EQ(copied->nRelease(), 0u);
  EXPECT_EQ(holder->nGetRefCount(), holderRefs + 1);
  EXPECT_EQ(kind->nGetRefCount(), connectionRefs + 1);
  EXPECT_EQ(query->nGetRefCount(), queryRefs + 1);
  EXPECT_EQ(r->Final(), u"SELECT a FROM t WHERE a = 'x' OR b = 'x' ") << "the original is untouched";

  EXPECT_EQ(r->nRelease(), 0u);
  EXPECT_EQ(holder->nGetRefCount(), holderRefs);
  EXPECT_EQ(kind->nGetRefCount(), connectionRefs);
  EXPECT_EQ(query->nGetRefCount(), queryRefs);
  EXPECT_EQ(value->nGetRefCount(), 1u);
  EXPECT_EQ(value->nRelease(), 0u);
  EXPECT_EQ(query->nRelease(), 0u);
}

TEST_F(RewriterCoreTest, ARewriterAppendedToItselfDoublesOnce) {
  for (int duplicate : {0, 1}) {
    TestRewriter* r = Rewriter(4);
    ASSERT_TRUE(r->nAppendText(u"a = "));
    ASSERT_TRUE(r->bAddValueParameter(Text(u"x")));
    ASSERT_TRUE(r->bAddCountColumn());
    ASSERT_TRUE(r->bAppendRewriter(r, duplicate));
    EXPECT_EQ(std::u16string(r->pszGetSourceText()),
              u"a = COUNT(*) AS QZACCESNATIF_NBENRa = COUNT(*) AS QZACCESNATIF_NBENR");
    ASSERT_EQ(r->nGetParameterCount(), 2u);
    EXPECT_EQ(r->pGetParameter(0)->nGetPosition(), 4u) << "the first leaf stays";
    EXPECT_EQ(r->pGetParameter(1)->nGetPosition(), 38u);
    EXPECT_NE(r->pGetParameter(0), r->pGetParameter(1));
    EXPECT_EQ(r->Lists().nGetSelectColumnCount(), 2u);
  }
}

TEST_F(RewriterCoreTest, AppendedRewriterSharesOrDuplicatesItsParameters) {
  for (int duplicate : {0, 1}) {
    TestRewriter* r = Rewriter(4);
    TestRewriter* other = Rewriter(4);
    ASSERT_TRUE(r->nAppendText(u"a = "));
    ASSERT_TRUE(r->bAddValueParameter(Text(u"x")));
    ASSERT_TRUE(r->nAppendText(u" AND ("));
    ASSERT_TRUE(other->nAppendText(u"b = "));
    ASSERT_TRUE(other->bAddParameter(Text(u"y"), 7, LEAF_FLAG_NAMED, nullptr, u"p", u'!', LEAF_ORIGIN_NAMED_PARAMETER));
    ASSERT_TRUE(other->bAddCountColumn());
    CValueLeaf* leaf = other->pGetParameter(0);

    ASSERT_TRUE(r->bAppendRewriter(other, duplicate));
    ASSERT_TRUE(r->nAppendText(u")"));
    EXPECT_EQ(std::u16string(r->pszGetSourceText()), u"a =  AND (b = COUNT(*) AS QZACCESNATIF_NBENR)");
    ASSERT_EQ(r->nGetParameterCount(), 2u);
    CValueLeaf* appended = r->pGetParameter(1);
    EXPECT_EQ(appended->nGetPosition(), 14u);
    EXPECT_EQ(appended->pGetFieldValue(), leaf->pGetFieldValue());
    EXPECT_EQ(std::u16string(appended->pszGetName()), u"p");
    EXPECT_EQ(appended->nGetEscapeChar(), u'!');
    EXPECT_EQ(appended->nGetFlags(), LEAF_FLAG_NAMED);
    if (duplicate) {
      EXPECT_NE(appended, leaf);
      EXPECT_EQ(leaf->nGetPosition(), 4u) << "the other's leaf stays where it was";
    } else {
      EXPECT_EQ(appended, leaf);
    }
    EXPECT_EQ(r->Lists().nGetSelectColumnCount(), 1u);
    EXPECT_EQ(r->Lists().pGetSelectColumn(0), other->Lists().pGetSelectColumn(0)) << "shared";
    EXPECT_EQ(r->Final(), u"a = 'x' AND (b = 'y' COUNT(*) AS QZACCESNATIF_NBENR)");
  }
}

}  // namespace
