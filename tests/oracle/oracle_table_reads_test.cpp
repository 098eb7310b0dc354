// The Oracle table's reads and large values on the OCI stand-in: a read refused as fetched out of sequence, a copy
// of the table reading on its own, LOBs read through the table's LOB data source, and an UPDATE whose LOB could not
// be written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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

}  // namespace
