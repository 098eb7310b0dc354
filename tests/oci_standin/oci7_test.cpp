// The OCI7 set of "OCIW32.DLL" over the same engine: logon and cursor data areas with the published layout,
// parse, bind, describe, define, execute, fetch to ORA-01403, auto-commit, commit and rollback, and LONG pieces.
#include <gtest/gtest.h>

#include <cstring>

#include "oci_client_helpers.h"

namespace ocitest {
namespace {

using Olog = sword (*)(void*, ub1*, const char*, sword, const char*, sword, const char*, sword, ub4);
using AreaCall = sword (*)(void*);
using Oopen = sword (*)(void*, void*, OraText*, sword, sword, OraText*, sword);
using Oparse = sword (*)(void*, const char*, sb4, sword, ub4);
using Obindps = sword (*)(void*, ub1, const char*, sb4, void*, sb4, sword, sword, sb2*, ub2*, ub2*, sb4, sb4, sb4,
                          sb4, ub4, ub4*, OraText*, sb4, sword);
using Odefinps = sword (*)(void*, ub1, sword, void*, sb4, sword, sword, sb2*, OraText*, sb4, sword, ub2*, ub2*, sb4,
                           sb4, sb4, sb4);
using Ofen = sword (*)(void*, sword);
using Odescr = sword (*)(void*, sword, sb4*, sb2*, sb1*, sb4*, sb4*, sb2*, sb2*, sb2*);
using Oerhms = sword (*)(void*, sb2, OraText*, sword);
using Ogetpi = sword (*)(void*, ub1*, void**, ub4*, ub4*);
using Osetpi = sword (*)(void*, ub1, void*, ub4*);

struct DataArea {
  alignas(8) unsigned char bytes[64] = {};
  ub2 rc() const {
    ub2 v;
    std::memcpy(&v, bytes + 12, 2);
    return v;
  }
  ub4 rpc() const {
    ub4 v;
    std::memcpy(&v, bytes + 4, 4);
    return v;
  }
  ub1 fc() const { return bytes[10]; }
  ub2 ft() const {
    ub2 v;
    std::memcpy(&v, bytes + 2, 2);
    return v;
  }
};

class Oci7 : public ::testing::Test {
 protected:
  OciLibrary lib = OciLibrary::Load(u"OCIW32.DLL");
  template <typename T>
  T Get(const char* name) {
    return reinterpret_cast<T>(lib.Entry(name));
  }
  DataArea lda;
  unsigned char hda[256] = {};
  DataArea cda;
  std::string ds = UniqueDataSource("OCI7", lib);

  void SetUp() override {
    ASSERT_NE(lib.module, nullptr);
    ASSERT_EQ(Get<Olog>("olog")(&lda, hda, "SYSTEM", 6, "manager", 7, ds.c_str(), -1, 0), 0);
    ASSERT_EQ(Get<Oopen>("oopen")(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
  }
  void TearDown() override {
    Get<AreaCall>("oclose")(&cda);
    Get<AreaCall>("ologof")(&lda);
  }
  sword Run(const char* sql) {
    const sword rc = Get<Oparse>("oparse")(&cda, sql, -1, 1, 2);
    return rc ? rc : Get<AreaCall>("oexec")(&cda);
  }
};

TEST_F(Oci7, LogonFailureCarriesTheOracleTextInTheLogonArea) {
  DataArea other;
  EXPECT_NE(Get<Olog>("olog")(&other, hda, "SYSTEM", -1, "wrong", -1, ds.c_str(), -1, 0), 0);
  EXPECT_EQ(other.rc(), 1017);
  char text[200] = {};
  Get<Oerhms>("oerhms")(&other, static_cast<sb2>(other.rc()), reinterpret_cast<OraText*>(text), sizeof text);
  EXPECT_STREQ(text, "ORA-01017: invalid username/password; logon denied\n");
}

TEST_F(Oci7, StatementsRowsAndFunctionCodes) {
  ASSERT_EQ(Get<AreaCall>("ocon")(&lda), 0);  // auto-commit on
  ASSERT_EQ(Run("CREATE TABLE T7 (ID NUMBER(10), NAME VARCHAR2(20))"), 0);
  EXPECT_EQ(cda.fc(), 1);
  EXPECT_EQ(cda.ft(), 1);
  ASSERT_EQ(Get<Oparse>("oparse")(&cda, "INSERT INTO T7 VALUES (:ID, :NAME)", -1, 1, 2), 0);
  EXPECT_EQ(cda.fc(), 3);
  EXPECT_EQ(cda.ft(), 3);
  int id = 7;
  char name[] = "seven";
  Get<Obindps>("obindps")(&cda, 1, ":ID", -1, &id, 4, oci::kSqltInt, -1, nullptr, nullptr, nullptr, 4, 0, 0, 0, 0,
                          nullptr, nullptr, 0, 0);
  Get<Obindps>("obindps")(&cda, 1, ":NAME", -1, name, sizeof name, oci::kSqltStr, -1, nullptr, nullptr, nullptr,
                          sizeof name, 0, 0, 0, 0, nullptr, nullptr, 0, 0);
  ASSERT_EQ(Get<AreaCall>("oexec")(&cda), 0);
  EXPECT_EQ(cda.rpc(), 1u);
  id = 8;
  ASSERT_EQ(Get<AreaCall>("oexec")(&cda), 0);

  ASSERT_EQ(Get<Oparse>("oparse")(&cda, "SELECT ID, NAME FROM T7 ORDER BY ID", -1, 1, 2), 0);
  EXPECT_EQ(cda.fc(), 4);
  EXPECT_EQ(cda.ft(), 4);
  sb4 size = 0;
  sb2 type = 0;
  sb1 columnName[255];
  sb4 nameLength = 255;
  sb2 precision = 0;
  sb2 scale = 0;
  sb2 nullOk = 0;
  ASSERT_EQ(Get<Odescr>("odescr")(&cda, 2, &size, &type, columnName, &nameLength, nullptr, &precision, &scale, &nullOk),
            0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(columnName), static_cast<std::size_t>(nameLength)), "NAME");
  EXPECT_EQ(type, 1);
  EXPECT_EQ(size, 20);
  EXPECT_NE(Get<Odescr>("odescr")(&cda, 3, &size, &type, columnName, &nameLength, nullptr, &precision, &scale, &nullOk),
            0);
  EXPECT_EQ(cda.rc(), 1007);

  ASSERT_EQ(Get<AreaCall>("oexec")(&cda), 0);
  double ids[2] = {};
  char names[2][21] = {};
  sb2 indicators[2] = {};
  ub2 lengths[2] = {};
  Get<Odefinps>("odefinps")(&cda, 1, 1, ids, 8, oci::kSqltFlt, 0, nullptr, nullptr, 0, 0, nullptr, nullptr, 8, 0, 0, 0);
  Get<Odefinps>("odefinps")(&cda, 1, 2, names, 21, oci::kSqltStr, 0, indicators, nullptr, 0, 0, lengths, nullptr, 21,
                            2, 2, 0);
  ASSERT_EQ(Get<Ofen>("ofen")(&cda, 2), 0);
  EXPECT_EQ(ids[0], 7);
  EXPECT_EQ(ids[1], 8);
  EXPECT_STREQ(names[1], "seven");
  EXPECT_EQ(cda.rpc(), 2u);
  EXPECT_EQ(Get<Ofen>("ofen")(&cda, 1), 1403);
  EXPECT_EQ(cda.rc(), 1403);
}

TEST_F(Oci7, AutoCommitSwitchCommitAndRollback) {
  ASSERT_EQ(Get<AreaCall>("ocon")(&lda), 0);
  ASSERT_EQ(Run("CREATE TABLE T7 (ID NUMBER(10))"), 0);
  ASSERT_EQ(Get<AreaCall>("ocof")(&lda), 0);
  ASSERT_EQ(Run("INSERT INTO T7 VALUES (1)"), 0);
  ASSERT_EQ(Get<AreaCall>("orol")(&lda), 0);
  ASSERT_EQ(Run("INSERT INTO T7 VALUES (2)"), 0);
  ASSERT_EQ(Get<AreaCall>("ocom")(&lda), 0);
  OciClient other(lib);  // the same library: its databases are its own
  ASSERT_EQ(other.Logon(ds, "SYSTEM", "manager"), oci::kSuccess);
  EXPECT_EQ(other.Query("SELECT ID FROM T7"), (Rows{{"2"}}));
  EXPECT_NE(Run("SELECT * FROM NOWHERE"), 0);
  EXPECT_EQ(cda.rc(), 942);
}

TEST_F(Oci7, LongValuesComeInPieces) {
  ASSERT_EQ(Get<AreaCall>("ocon")(&lda), 0);
  ASSERT_EQ(Run("CREATE TABLE L7 (LG LONG)"), 0);
  const std::string text(20000, 'z');
  ASSERT_EQ(Get<Oparse>("oparse")(&cda, "INSERT INTO L7 VALUES (:LG)", -1, 1, 2), 0);
  Get<Obindps>("obindps")(&cda, 0, ":LG", -1, nullptr, 0x7fffffff, oci::kSqltChr, -1, nullptr, nullptr, nullptr, 0, 0,
                          0, 0, 0, nullptr, nullptr, 0, 0);
  EXPECT_EQ(Get<AreaCall>("oexec")(&cda), 3129);
  ub1 piece = 9;
  void* context = nullptr;
  ub4 iteration = 0;
  ub4 index = 0;
  ASSERT_EQ(Get<Ogetpi>("ogetpi")(&cda, &piece, &context, &iteration, &index), 0);
  EXPECT_EQ(piece, oci::kFirstPiece);
  ub4 length = static_cast<ub4>(text.size());
  Get<Osetpi>("osetpi")(&cda, oci::kOnePiece, const_cast<char*>(text.data()), &length);
  ASSERT_EQ(Get<AreaCall>("oexec")(&cda), 0);

  ASSERT_EQ(Get<Oparse>("oparse")(&cda, "SELECT LG FROM L7", -1, 1, 2), 0);
  ASSERT_EQ(Get<AreaCall>("oexec")(&cda), 0);
  Get<Odefinps>("odefinps")(&cda, 0, 1, nullptr, 0x7fffffff, oci::kSqltChr, 0, nullptr, nullptr, 0, 0, nullptr,
                            nullptr, 0, 0, 0, 0);
  std::string back;
  std::vector<char> buffer(8192);
  sword rc = Get<Ofen>("ofen")(&cda, 1);
  int pieces = 0;
  while (rc == 3130) {
    ASSERT_EQ(Get<Ogetpi>("ogetpi")(&cda, &piece, &context, &iteration, &index), 0);
    length = static_cast<ub4>(buffer.size());
    Get<Osetpi>("osetpi")(&cda, piece, buffer.data(), &length);
    rc = Get<Ofen>("ofen")(&cda, 1);
    back.append(buffer.data(), length);
    ++pieces;
  }
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(pieces, 3);
  EXPECT_EQ(back, text);
}

}  // namespace
}  // namespace ocitest
