// The Oracle table's reads and large values on the OCI stand-in: a read refused as fetched out of sequence, a copy
// of the table reading on its own, LOBs read through the table's LOB data source, and an UPDATE whose LOB could not
// be written.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "foundation/clone_map.h"
#include "oracle_table_fixture.h"

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

// Every move checked against a key-order walk of the same rows. A script's steps: F L N P (the four directions),
// D (delete the current record), A<k> (add K=k), S<k> (seek K=k), R<n> (the nth record from the first), C (count),
// M (the place per mille), G<m> (move to the place per mille), X (first through a name that is no item), Y (next
// through it). The walk answers a key, OFF past either end, FAILED, or the count or place. A move past an end
// stays on the record it ran off from: the move back reaches the one beside it.
constexpr std::int32_t OFF = -2;
constexpr std::int32_t FAILED = -1;

struct KeyOrderWalk {
  std::vector<std::int32_t> keys;
  double at = -1e9;  // the current record's key, or a place between keys once it is deleted
  std::int32_t Land(std::vector<std::int32_t>::const_iterator it) {
    if (it == keys.end()) return OFF;
    return static_cast<std::int32_t>(at = *it);
  }
  std::int32_t Step(char op, std::int32_t n) {
    auto sorted = [&] { std::sort(keys.begin(), keys.end()); };
    switch (op) {
      case 'F': return keys.empty() ? OFF : Land(keys.begin());
      case 'L': return keys.empty() ? OFF : Land(keys.end() - 1);
      case 'N': return Land(std::upper_bound(keys.begin(), keys.end(), at));
      case 'P': {
        auto it = std::lower_bound(keys.begin(), keys.end(), at);
        return it == keys.begin() ? OFF : static_cast<std::int32_t>(at = *(it - 1));
      }
      case 'X': case 'Y': return FAILED;
      case 'D': keys.erase(std::find(keys.begin(), keys.end(), static_cast<std::int32_t>(at))); return 1;
      case 'A': keys.push_back(n), sorted(); return 1;  // the context goes on from its own record
      case 'S': return Land(std::lower_bound(keys.begin(), keys.end(), n));
      case 'R': return n >= 1 && n <= static_cast<std::int32_t>(keys.size()) ? Land(keys.begin() + (n - 1)) : OFF;
      case 'C': return static_cast<std::int32_t>(keys.size());
      case 'M': {
        const auto rank = std::lower_bound(keys.begin(), keys.end(), at) - keys.begin() + 1;
        return static_cast<std::int32_t>((rank * 1000 + keys.size() - 1) / keys.size());
      }
      case 'G': return Land(keys.begin() + std::max<std::int64_t>(1, std::int64_t{n} * keys.size() / 1000) - 1);
    }
    return FAILED;
  }
};

class OracleWalks : public OracleTableReads {
 protected:
  // The same step on the table through K's context.
  std::int32_t Do(char op, std::int32_t n) {
    CHostValue value;
    const char16_t* key = query ? u"V" : u"K";
    auto keyed = [&](int done) {
      std::uint32_t off = 0;
      if (done) subject->bGetOutOfRange(key, reinterpret_cast<RuntimeWord>(&off));
      return !done ? FAILED : off ? OFF : K();
    };
    switch (op) {
      case 'F': case 'L': case 'N': case 'P':
        // A query is read as the runtime reads it: ends keeping the context, moves going on in the shared rows.
        return keyed(subject->bRead(key, std::string("FLNP").find(op), 0, 0, 0,
                                    !query ? 0 : op == 'F' || op == 'L' ? READ_FLAG_KEEP : READ_FLAG_RESTART));
      case 'X': case 'Y': return keyed(subject->bRead(u"NOPE", op == 'X' ? READ_FIRST : READ_NEXT, 0, 0, 0, 0));
      case 'D': return subject->bDeleteRecord(0, 0) ? 1 : FAILED;
      case 'A':
        value.SetType(HOST_TYPE_INT32);
        value.Set(&n);
        subject->pGetTableDescription()->pFindColumnByName(u"K")->bSetValue(value, 0);
        return subject->bAddRecord(0, 0) ? 1 : FAILED;
      case 'S':
        // A query is sought on V, whose values 'vN' stand in K's order.
        if (query) {
          value.SetType(HOST_TYPE_TEXT);
          value.Set((u"v" + Text(n)).c_str());
        } else {
          value.SetType(HOST_TYPE_INT32);
          value.Set(&n);
        }
        return keyed(subject->bSeekOnKey(key, reinterpret_cast<RuntimeWord>(&value), 1, 0, 0, 0, 1, 0));
      case 'R': return keyed(subject->bReadInContext(key, READ_FIRST, static_cast<RuntimeWord>(n), 0, 0, 0, 0));
      case 'C': {
        std::int64_t count = -1;
        return subject->bCountRecords(&count, 16, 0, subject->pFindContext(key), -1) ? static_cast<std::int32_t>(count)
                                                                                      : FAILED;
      }
      case 'M': {
        std::uint32_t perMille = 0;
        return subject->bGetPositionPerMille(&perMille, key, 0) ? static_cast<std::int32_t>(perMille) : FAILED;
      }
      case 'G': return keyed(subject->bSetPositionPerMille(key, static_cast<std::uint32_t>(n), 0, 0));
    }
    return FAILED;
  }
  bool query = false;
  void Walk(const std::string& script, std::vector<std::int32_t> keys) {
    KeyOrderWalk walk{std::move(keys)};
    query = subject->bIsQueryMode();
    std::istringstream steps(script);
    std::string step, done;
    while (steps >> step) {
      const std::int32_t n = step.size() > 1 ? std::stoi(step.substr(1)) : 0;
      done += step + " ";
      const std::int32_t expected = walk.Step(step[0], n);
      holder->Clear();
      ASSERT_EQ(Do(step[0], n), expected) << done << Dump(*holder);
    }
  }
};

// A query given as SQL text read through a name that is none of its items walks its rows in the query's own order.
TEST_F(OracleWalks, AQueryReadThroughANameOfNoneOfItsItemsWalksItsOwnOrder) {
  MakeTable(5);
  std::uint32_t hasRows = 0;
  ASSERT_TRUE(subject->bRunQueryText(&hasRows, u"Q", 4, u"SELECT K, V FROM T ORDER BY V DESC", 0, 0)) << Dump(*holder);
  std::vector<std::int32_t> got;
  for (std::uint32_t d : {READ_FIRST, READ_NEXT, READ_NEXT, READ_PREVIOUS, READ_LAST, READ_PREVIOUS, READ_NEXT,
                          READ_NEXT, READ_PREVIOUS}) {
    std::uint32_t off = 0;
    const int read = subject->bRead(u"Q", d, 0, 0, 0, d < 2 ? READ_FLAG_KEEP : READ_FLAG_RESTART);
    subject->bGetOutOfRange(u"Q", reinterpret_cast<RuntimeWord>(&off));
    got.push_back(!read ? FAILED : off ? OFF : K());
  }
  EXPECT_EQ(got, (std::vector<std::int32_t>{5, 4, 3, 4, 1, 2, 1, OFF, 2})) << Dump(*holder);
}

TEST_F(OracleWalks, EveryMoveLandsWhereAKeyOrderWalkLands) {
  struct Case {
    bool query;
    const char* script;
  };
  const Case cases[] = {
      {false, "F N N N N N N P P L P P F P N N"},
      {false, "F N D N N D P P N N N"},
      {false, "F P N N"},
      {false, "F X Y Y F N"},
      {false, "F A0 N N P F N"},
      {false, "S2 R2 N S4 P R1 N"},
      {false, "F C M N M L M G500 M G1000 G0 N"},
      // A query is read through V, whose order is K's where the query's own is the reverse.
      {true, "F N N N N N N P P L P P F P N N"},
      {true, "F C M L M F M N M"},
      {true, "L M P M F N R2 N R4 P"},
      {true, "F N N P L P L N L G500 M"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.query ? "query: " : "table: ") + c.script);
    MakeTable(5);
    if (c.query) {
      std::uint32_t hasRows = 0;
      ASSERT_TRUE(subject->bRunQueryText(&hasRows, u"Q", 4, u"SELECT K, V FROM T ORDER BY V DESC", 0, 0))
          << Dump(*holder);
    }
    Walk(c.script, {1, 2, 3, 4, 5});
    ASSERT_TRUE(Sql(u"DROP TABLE T")) << Dump(*holder);
  }
}

}  // namespace
