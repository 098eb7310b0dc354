// The Oracle table's reads and large values on the OCI stand-in: a read refused as fetched out of sequence, a copy
// of the table reading on its own, LOBs read through the table's LOB data source, and an UPDATE whose LOB could not
// be written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "foundation/clone_map.h"
#include "oracle_table_fixture.h"
#include "standin/runtime/query_objects.h"

namespace {

using ocitest::Dump;
using ocitest::StandIn;

class OracleTableReads : public ocitest::OracleTableFixture {
 protected:
  OracleTableReads() : OracleTableFixture("OTREAD") {}

  void SetText(const char16_t* name, const char16_t* text) {
    CHostValue value;
    value.SetType(HOST_TYPE_TEXT);
    value.Set(text);
    ASSERT_TRUE(subject->pGetTableDescription()->pFindColumnByName(name)->bSetValue(value, 0)) << Dump(*holder);
  }
  // The first large value of the current record as text.
  std::u16string Memo() {
    CHostValue value;
    if (!subject->bReadLargeValue(0, reinterpret_cast<RuntimeWord>(&value))) return u"<failed> ";
    if (value.bIsNull()) return u"<null>";
    if (value.nGetType() != HOST_TYPE_WSTRING && value.nConvert(HOST_TYPE_WSTRING) >= 100) return u"<unconverted>";
    const char16_t* text = nullptr;
    value.nGetWideText(&text);
    return text ? text : u"";
  }
};

TEST_F(OracleTableReads, AFetchOutOfSequenceIsOvercomeOnNextAndReturnedOnFirst) {
  MakeTable(5);
  ASSERT_EQ(Read(READ_FIRST), 1);
  ASSERT_EQ(Read(READ_NEXT), 2);
  StandIn::Get().InjectStatus("OCIStmtFetch", 1, -1, 1002);
  holder->Clear();
  EXPECT_EQ(Read(READ_NEXT), 3) << Dump(*holder);
  EXPECT_FALSE(holder->bHasError()) << Dump(*holder);
  EXPECT_EQ(Read(READ_NEXT), 4) << Dump(*holder);

  StandIn::Get().InjectStatus("OCIStmtFetch", 1, -1, 1002);
  holder->Clear();
  EXPECT_EQ(Read(READ_FIRST), -1);
  EXPECT_EQ(holder->nGetNativeErrorCode(), 1002u);
  // The same table reads on after the refusal.
  EXPECT_EQ(Read(READ_FIRST), 1) << Dump(*holder);
  EXPECT_EQ(Read(READ_NEXT), 2) << Dump(*holder);
  EXPECT_EQ(Read(READ_NEXT), 3) << Dump(*holder);
}

TEST_F(OracleTableReads, ACopyReadsOnItsOwnAndLeavesTheSourceWhereItStood) {
  MakeTable(4);
  ASSERT_EQ(Read(READ_FIRST), 1);
  ASSERT_EQ(Read(READ_NEXT), 2);
  CHashTable map(17);
  CTable* copy = subject->pClone(map, 0, 0);
  ASSERT_NE(copy, nullptr) << Dump(*holder);
  auto* oracle = Keep(dynamic_cast<COracleTable*>(copy));
  ASSERT_NE(oracle, nullptr);
  EXPECT_EQ(oracle->nGetRecordLockCount(), 0u);
  auto copyK = [&](std::uint32_t direction) {
    if (!oracle->bRead(u"K", direction, 0, 1, 0, 0)) return -1;
    CHostValue value;
    std::int32_t k = -1;
    oracle->pGetTableDescription()->pFindColumnByName(u"K")->bGetValue(value, 0);
    if (value.nConvert(HOST_TYPE_INT32) < 100) value.nGet(&k);
    return k;
  };
  EXPECT_EQ(copyK(READ_FIRST), 1) << Dump(*holder);
  EXPECT_EQ(copyK(READ_NEXT), 2);
  EXPECT_EQ(copyK(READ_NEXT), 3);
  EXPECT_EQ(Read(READ_NEXT), 3) << Dump(*holder);
  EXPECT_EQ(copyK(READ_NEXT), 4);
}

TEST_F(OracleTableReads, ALobReadWithoutItsRowComesFromTheLobDataSourceOfTheCurrentRecord) {
  MakeTable(2, u", C CLOB");
  ASSERT_TRUE(Sql(u"UPDATE T SET C = 'first text' WHERE K = 1")) << Dump(*holder);
  ASSERT_TRUE(Sql(u"UPDATE T SET C = 'second text' WHERE K = 2")) << Dump(*holder);
  ASSERT_TRUE(Sql(u"COMMIT")) << Dump(*holder);
  // State 0: the memo values wait to be read until they are asked for.
  subject->SetState(0);
  ASSERT_EQ(Read(READ_FIRST), 1);
  EXPECT_EQ(Memo(), u"first text") << Dump(*holder);
  ASSERT_EQ(Read(READ_NEXT), 2);
  EXPECT_EQ(Memo(), u"second text") << Dump(*holder);
  // With no context current, the value is loaded for the current record; a load that fails says so.
  for (const bool fails : {true, false}) {
    ASSERT_EQ(Read(READ_FIRST), 1);
    subject->ReleaseAllContexts();
    holder->Clear();
    if (fails) StandIn::Get().InjectStatus("OCIStmtExecute", 1, -1, 3113);
    EXPECT_EQ(Memo(), fails ? u"<failed> " : u"first text") << Dump(*holder);
    EXPECT_EQ(holder->nGetNativeErrorCode(), fails ? 3113u : 0u);
    StandIn::Get().Reset();
  }
  // A write of another field leaves the memo it never read as it is stored.
  ASSERT_EQ(Read(READ_NEXT), 2);
  CHostValue text;
  text.SetType(HOST_TYPE_TEXT);
  text.Set(u"changed");
  ASSERT_TRUE(subject->pGetTableDescription()->pFindColumnByName(u"V")->bSetValue(text, 0));
  ASSERT_EQ(subject->bWriteRecord(0, 0, 0), 1) << Dump(*holder);
  EXPECT_EQ(Fetch(u"SELECT V || C FROM T WHERE K = 2"), u"changedsecond text");
}

TEST_F(OracleTableReads, RowsHaveARowIdIdentityInATableAndNoneThroughAView) {
  MakeTable(1);
  ASSERT_TRUE(Sql(u"CREATE VIEW TV AS SELECT K, V FROM T")) << Dump(*holder);
  EXPECT_EQ(subject->nGetObjectKind(), 3u);
  CRecordDescription* description = static_cast<COracleDriver*>(driver)->pCreateDescriptionFor(u"TV", connection);
  ASSERT_NE(description, nullptr) << Dump(*holder);
  Keep(description)->nRelease();
  COracleTable* view = Keep(new COracleTable(description, connection, holder));
  ASSERT_EQ(view->bOpen(0, 0), 1) << Dump(*holder);
  EXPECT_EQ(view->nGetObjectKind(), 1u);
}

TEST_F(OracleTableReads, AnUpdateWhoseLobCannotBeWrittenKeepsTheOldLob) {
  MakeTable(1, u", C CLOB");
  ASSERT_TRUE(Sql(u"UPDATE T SET C = 'old text' WHERE K = 1")) << Dump(*holder);
  ASSERT_TRUE(Sql(u"COMMIT")) << Dump(*holder);
  const std::string path = (std::filesystem::temp_directory_path() / "qz_otab_lob.txt").string();
  std::ofstream(path) << "new text";
  ASSERT_EQ(Read(READ_FIRST), 1);
  // A LOB goes into an UPDATE when the runtime linked it with a file.
  CColumn* lob = subject->pGetTableDescription()->pFindColumnByName(u"C");
  ASSERT_TRUE(lob->bLinkMemoFile(std::u16string(path.begin(), path.end()).c_str()));
  StandIn::Get().InjectStatus("OCILobWrite", 1, -1, 22990);
  EXPECT_EQ(subject->bWriteRecord(0, 0, 0), 0);
  EXPECT_EQ(holder->nGetNativeErrorCode(), 22990u) << Dump(*holder);
  EXPECT_EQ(Fetch(u"SELECT C FROM T WHERE K = 1"), u"old text");
  EXPECT_EQ(SecondLocks(1), 0u);
  // Written again, the same table writes the LOB.
  holder->Clear();
  ASSERT_TRUE(lob->bLinkMemoFile(std::u16string(path.begin(), path.end()).c_str()));
  ASSERT_EQ(subject->bWriteRecord(0, 0, 0), 1) << Dump(*holder);
  EXPECT_EQ(Fetch(u"SELECT C FROM T WHERE K = 1"), u"new text");
  std::filesystem::remove(path);
}

// A statement that fetches forward only moves back through its cached rows: previous and last are the rows they name.
TEST_F(OracleTableReads, PreviousAndLastMoveBackThroughTheRowsFetchedForward) {
  MakeTable(5);
  std::vector<std::int32_t> got;
  for (std::uint32_t direction :
       {READ_FIRST, READ_NEXT, READ_NEXT, READ_NEXT, READ_PREVIOUS, READ_PREVIOUS, READ_LAST, READ_PREVIOUS}) {
    got.push_back(Read(direction));
  }
  EXPECT_EQ(got, (std::vector<std::int32_t>{1, 2, 3, 4, 3, 2, 5, 4})) << Dump(*holder);
}

// Every move answered as a key-order walk of rows 1..5 answers it: F L N P (directions), D (delete), A<k> (add K=k),
// S<k> (seek), s (a seek with a value the key cannot hold), R<n> (the nth record), C (count: a seek's range), M (per
// mille), G<m> (go to per mille), o (next, its fetch refused as out of sequence), g<n> (go to 500 per mille, the nth
// fetch, or with n above 9 the (n-10)th execute, refused), X and Y (first and next through a name that is no item), W
// (first through V), Z (the table copied: the moves go on through the copy), O (the moves switch to the other of the
// copy and its source), U<k> (V of row k made NULL: NULL sorts last ascending, first descending) and B<k> (row k given
// a NUMBER of all 38 digits, which reads whole), both running the query again. The walk's K (an add: the record added), "-" past
// an end (a move past an end stays on the record it ran off from), "x" failed ("x41": with error 41). A query is read
// through V (K's order) and through its own name Q (its own order); "v" reads through V the query given as bare text,
// "q" through its identifying item K (its own order), "k" the analysed query through K (its own order; "q" and "k" seek
// by a value of K).
TEST_F(OracleTableReads, EveryMoveLandsWhereAKeyOrderWalkLands) {
  const std::tuple<const char16_t*, const char*, const char*> cases[] = {
      {u"K", "F N N N N N N P P L P P F P N N", "1 2 3 4 5 - - 4 3 5 4 3 1 - 2 3"},
      {u"K", "F N D N N D P P N N N", "1 2 1 3 4 1 3 1 3 5 -"},
      {u"K", "F P N N F X Y Y F N", "1 - 2 3 1 x x x 1 2"},
      {u"K", "F A0 N N P F N", "1 0 2 3 2 0 1"},
      {u"K", "L N A0 N P", "5 - 0 - 4"},
      {u"K", "W P A9 Z P N", "1 - 9 - - 2"},
      {u"K", "S2 R2 N S4 P R1 N", "2 2 3 4 3 1 2"},
      {u"K", "F C M N M L M G500 M G1000 G0 N", "1 5 200 2 400 5 1000 2 400 5 1 2"},
      {u"V", "F N N N N N N P P L P P F P N N", "1 2 3 4 5 - - 4 3 5 4 3 1 - 2 3"},
      {u"V", "F C M L M P M F N R2 N R4 P G500 M", "1 5 200 5 1000 4 800 1 2 2 3 4 3 2 400"},
      {u"Q", "F N N P L P N N P F M R2 M", "5 4 3 4 1 2 1 - 2 5 200 4 400"},
      {u"K", "F N g1 N P N g12 P N L g12 P N", "1 2 x 3 2 3 x 2 3 5 x 4 5"},
      {u"K", "F N Z N N N N P F N O N O N", "1 2 2 3 4 5 - 4 1 2 2 3 2 3"},
      {u"K", "F N N W Z P P N O N", "1 2 3 1 1 - - 2 1 2"},
      {u"K", "F N N N W Z N N O P", "1 2 3 4 1 1 2 3 1 -"},
      {u"K", "F N N Z D N O P Z D P", "1 2 3 3 1 4 3 2 2 1 1"},
      {u"v", "F N Z N N N N N P O N", "1 2 2 3 4 5 - - 4 2 3"},
      {u"V", "U3 U4 F N N N Z N N P O N", "1 1 1 2 5 3 3 4 - 3 3 4"},
      {u"v", "Z F N N N N N P O F N", "-1 1 2 3 4 5 - 4 -1 1 2"},
      {u"Q", "Z N N N N N N P O N N", "-1 5 4 3 2 1 - 2 -1 5 4"},
      {u"q", "F N Z N N N N O N P", "5 4 4 3 2 1 - 4 3 4"},
      {u"V", "U3 F N N N N N P L M P", "1 1 2 4 5 3 - 5 3 1000 5"},
      {u"K", "B3 F N N N P P N N", "1 1 2 3 4 3 2 3 4"},
      {u"K", "B1 F N P N N", "1 1 2 1 2 3"},
      {u"K", "B3 L P P P F R4 R3 N", "1 5 4 3 2 1 4 3 4"},
      {u"K", "B3 F N N D P N N", "1 1 2 3 1 2 4 5"},
      {u"K", "B3 F N N A9 N", "1 1 2 3 9 4"},
      {u"K", "S3 C s C", "3 1 x 1"},
      {u"V", "B3 F N N N P P", "1 1 2 3 4 3 2"},
      {u"Q", "B3 F N N N P P", "1 5 4 3 2 3 4"},
      {u"V", "S2 N P S4 N P", "2 3 2 4 5 4"},
      {u"V", "F N S2 N P S4 N P", "1 2 2 3 2 4 5 4"},
      {u"K", "F N S3 N s P N s F N", "1 2 3 4 x 3 4 x 1 2"},
      {u"v", "F N S2 N P S3 S4 N P N", "1 2 2 3 2 3 4 5 4 5"},
      {u"N", "F N N N N N N P P F P N", "1 2 3 4 5 - - 4 3 1 - 2"},
      {u"q", "F N N N N N P P N N N P", "5 4 3 2 1 - 2 3 2 1 - 2"},
      {u"q", "F N g1 N N N N", "5 4 x 3 2 1 -"},
      {u"q", "F M G500 M N R2 N C", "5 200 4 400 3 4 3 5"},
      {u"V", "S2 R2 N S3 R4 P", "2 2 3 3 4 3"},
      {u"Q", "F R2 N N R4 P", "5 4 3 2 2 3"},
      {u"k", "F R2 N N R4 P", "5 4 3 2 2 3"},
      {u"q", "F N o N N P", "5 4 3 2 1 2"},
      {u"q", "F N N F N", "5 4 3 5 4"},
      {u"k", "F N S3 N P P L S2 P N S0 P", "5 4 3 2 3 4 1 2 3 2 - 3"},
      {u"q", "F S3 N P", "5 3 2 3"},
      {u"k", "F N s N", "5 4 x 3"},
      {u"K", "N N P", "1 2 1"},
      {u"K", "P P N", "5 4 5"},
      {u"K", "W N N P", "1 2 3 2"},
      {u"V", "S2 N N N N P P P P P N N S3 P P N", "2 3 4 5 - 4 3 2 1 - 2 3 3 2 1 2"},
      {u"K", "S4 M N M S4 G1000 M", "4 800 5 1000 4 5 1000"},
      {u"N", "S7 M N M N M P M", "1 200 2 400 3 600 2 400"},
      {u"N", "F A11 N A12 N A13 N D N P", "1 11 2 12 3 13 4 1 5 3"},
      {u"K", "S5 D M", "5 1 1000"},
      {u"N", "L D M", "5 1 1000"},
      {u"N", "S7 P A9 N N", "1 - 9 2 3"},
      {u"N", "A9 B9 N P", "9 1 9 5"},
      {u"R", "F N E9 N E8", "1 2 9 3 8"},
  };
  // The runtime hands a query given as text over analysed, with flag 4: its own ORDER BY is the order Q reads.
  static qzrt::QueryAnalysis query;
  query.SetText(qzrt::QueryAnalysis::kSqlText, u"SELECT * FROM T ORDER BY V DESC");
  // "R": the runtime's own query over T, whose items name their table: the table reads it through K.
  using I = qzrt::ItemDescription;
  static I k{u"K"}, v{u"V"}, n{u"N"}, kColumn{u"K"}, vColumn{u"V"}, nColumn{u"N"};
  static qzrt::QueryFile file{u"T", u"T"};
  static qzrt::QueryAnalysis own;
  own.SetNumber(qzrt::QueryAnalysis::kKind, 1);
  own.SetText(qzrt::QueryAnalysis::kSqlText, u"SELECT K, V, N FROM T");
  own.files = {&file};
  own.items = {&k, &v, &n};
  own.columns = {{&k, &kColumn}, {&v, &vColumn}, {&n, &nColumn}};
  for (auto [column, type, size] : {std::tuple{&kColumn, COLUMN_TYPE_INT32, 4u}, {&vColumn, COLUMN_TYPE_TEXT, 20u},
                                    {&nColumn, COLUMN_TYPE_INT32, 4u}}) {
    column->SetText(I::kTableName, u"T");
    column->SetNumber(I::kType, type);
    column->SetNumber(I::kSize, size);
  }
  kColumn.SetNumber(I::kKeyed, 1);
  kColumn.SetNumber(I::kUnique, 1);
  kColumn.SetNumber(I::kAscendingKey, 1);
  std::uint32_t rows = 0;
  // "v" and "q": the same query given as bare text, without the runtime's analysis.
  auto run = [&](const char16_t* key) {
    if (*key == u'R') return subject->bExecuteQuery(&rows, u"Q", reinterpret_cast<RuntimeWord>(&own), 0, 0);
    return *key == u'v' || *key == u'q' ? subject->bRunQueryText(&rows, u"Q", 4, query.pszGetSqlText(), 0, 0)
                        : subject->bExecuteQuery(&rows, u"Q", reinterpret_cast<RuntimeWord>(&query), 4, 0);
  };
  for (const auto& [key, script, answers] : cases) {
    SCOPED_TRACE(script);
    MakeTable(5, u", N NUMBER(38) DEFAULT 7");
    COracleTable* source = subject;
    const bool table = *key == u'K' || *key == u'N', byK = table || *key == u'k' || *key == u'q' || *key == u'R';
    if (!table) {
      ASSERT_TRUE(run(key)) << Dump(*holder);
    }
    std::istringstream steps(script), expected(answers);
    std::string step, answer, done;
    while (steps >> step && expected >> answer) {
      const char op = step[0];
      std::int32_t n = step.size() > 1 ? std::stoi(step.substr(1)) : 0;
      done += step + " ";
      holder->Clear();
      CHostValue value;
      const std::u16string text = u"v" + Text(n);
      value.SetType(byK ? HOST_TYPE_INT32 : HOST_TYPE_TEXT);
      byK ? value.Set(&n) : value.Set(text.c_str());
      std::int64_t count = -1;
      std::uint32_t perMille = 0, off = 0;
      const std::uint32_t flags = table ? 0 : op == 'F' || op == 'L' ? READ_FLAG_KEEP : READ_FLAG_RESTART;
      const char16_t* name = op == 'X' || op == 'Y'                               ? u"NOPE"
                             : *key == u'q' || *key == u'k' || *key == u'R' ? u"K"
                                                                            : key;
      int ok = 0;
      if (op == 'A') subject->pGetTableDescription()->pFindColumnByName(u"K")->bSetValue(value, 0);
      switch (op) {
        case 'W': ok = subject->bRead(u"V", READ_FIRST, 0, 0, 0, 0); break;
        case 'X': case 'Y': ok = subject->bRead(name, op == 'X' ? READ_FIRST : READ_NEXT, 0, 0, 0, 0); break;
        case 'D': ok = subject->bDeleteRecord(0, 0); break;
        case 'Z': {
          CHashTable map(17);
          CTable* copy = subject->pClone(map, 0, 0);
          ASSERT_NE(copy, nullptr) << done << Dump(*holder);
          source = subject;
          subject = Keep(static_cast<COracleTable*>(copy));
          ok = 1;
          break;
        }
        case 'O': std::swap(subject, source), ok = 1; break;
        case 'U':  // V NULL in row n, the query run again
          ok = Sql(u"UPDATE T SET V = NULL WHERE K = " + Text(n)) && Sql(u"COMMIT") &&
               run(key);
          break;
        case 'B': ok = Sql(u"UPDATE T SET N = 12345678901234567890123456789012345678 WHERE K = " + Text(n)) &&
                       Sql(u"COMMIT") && (table || run(key)); break;
        case 'A': ok = subject->bAddRecord(0, 0); break;
        case 's': value.SetType(HOST_TYPE_TEXT), value.Set(u"abc");
          [[fallthrough]];
        case 'S': ok = subject->bSeekOnKey(name, reinterpret_cast<RuntimeWord>(&value), 1, 0, 0, 0, 1, 0); break;
        case 'R': ok = subject->bReadInContext(name, READ_FIRST, static_cast<RuntimeWord>(n), 0, 0, 0, 0); break;
        case 'C': ok = subject->bCountRecords(&count, 16, 0x4000, subject->pFindContext(name), -1); break;
        case 'M': ok = subject->bGetPositionPerMille(&perMille, name, 0); break;
        case 'g': StandIn::Get().InjectStatus(n > 9 ? "OCIStmtExecute" : "OCIStmtFetch", n % 10, -1, 1013), n = 500;
          [[fallthrough]];
        case 'G': ok = subject->bSetPositionPerMille(name, static_cast<std::uint32_t>(n), 0, 0); break;
        case 'E':  // N set to n in the current record's row by another session, then the record locked
          ok = Second()->bExecuteSql(&otherHolder, (u"UPDATE T SET N = " + Text(n) + u" WHERE K = " +
                                                    Text(K())).c_str()) &&
               Second()->bExecuteSql(&otherHolder, u"COMMIT") && Lock(2) && (n = Field(u"N"), Lock(0));
          break;
        case 'o': StandIn::Get().InjectStatus("OCIStmtFetch", 1, -1, 1002);
          ok = subject->bRead(name, READ_NEXT, 0, 0, 0, flags); break;
        default: ok = subject->bRead(name, std::string("FLNP").find(op), 0, 0, 0, flags); break;
      }
      subject->bGetOutOfRange(name, reinterpret_cast<RuntimeWord>(&off));
      std::string got = !ok ? "x"
                        : op == 'C' ? std::to_string(count)
                        : op == 'M' ? std::to_string(perMille)
                        : op == 'E' ? std::to_string(n)
                        : std::string("DBU").find(op) != std::string::npos ? "1" : std::to_string(K());
      if (ok && off && std::string("ABDCMU").find(op) == std::string::npos) got = "-";
      if (!ok && answer.size() > 1) got += std::to_string(holder->nGetErrorCode());
      EXPECT_EQ(got, answer) << done << Dump(*holder);
    }
    ASSERT_TRUE(Sql(u"DROP TABLE T")) << Dump(*holder);
  }
}

}  // namespace
