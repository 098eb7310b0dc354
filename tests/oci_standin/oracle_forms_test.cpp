// Forms of Oracle SQL the driver's rewriter writes that SQLite spells otherwise: the outer join marked with (+) in
// WHERE, and TO_CHAR with a hexadecimal mask.
#include <gtest/gtest.h>

#include "oci_client_helpers.h"

namespace ocitest {
namespace {

class OracleForms : public ::testing::Test {
 protected:
  OciLibrary& lib = OciLibrary::Default();
  OciClient c{lib, false};
  std::string ds = UniqueDataSource("FORMS");

  void SetUp() override {
    ASSERT_NE(lib.module, nullptr);
    ASSERT_EQ(c.Logon(ds, "SYSTEM", "manager"), oci::kSuccess) << c.ErrorText();
    for (const char* sql : {"CREATE TABLE E (ID NUMBER, D NUMBER)", "CREATE TABLE D (ID NUMBER, L NUMBER)",
                            "CREATE TABLE L (ID NUMBER, CITY VARCHAR2(10))", "INSERT INTO E VALUES (1, 10)",
                            "INSERT INTO E VALUES (2, 20)", "INSERT INTO E VALUES (3, 99)",
                            "INSERT INTO D VALUES (10, 100)", "INSERT INTO D VALUES (20, 200)",
                            "INSERT INTO L VALUES (100, 'Oslo')"}) {
      ASSERT_EQ(c.Exec(sql), oci::kSuccess) << sql << ": " << c.ErrorText();
    }
  }
};

TEST_F(OracleForms, OuterJoinMarkKeepsTheRowsWithoutMatch) {
  // The marked table's conditions (a constant one too) join it; the others still filter.
  EXPECT_EQ(c.Query("SELECT e.ID, d.ID FROM E e, D d WHERE e.D = d.ID(+) ORDER BY e.ID"),
            (Rows{{"1", "10"}, {"2", "20"}, {"3", "<null>"}}))
      << c.ErrorText();
  EXPECT_EQ(c.Query("SELECT \"E\".\"ID\", \"D\".\"ID\" FROM \"E\" \"E\", \"D\" \"D\" "
                    "WHERE \"E\".\"D\" = \"D\".\"ID\" (+) "
                    "AND \"D\".\"L\" (+) = 200 AND \"E\".\"ID\" > 1 ORDER BY 1"),
            (Rows{{"2", "20"}, {"3", "<null>"}}))
      << c.ErrorText();
  // Written the other way round, chained over a third table, and inside a subquery.
  EXPECT_EQ(c.Query("SELECT e.ID, l.CITY FROM L l, D d, E e WHERE d.ID(+) = e.D AND l.ID(+) = d.L ORDER BY e.ID"),
            (Rows{{"1", "Oslo"}, {"2", "<null>"}, {"3", "<null>"}}))
      << c.ErrorText();
  EXPECT_EQ(c.Query("SELECT COUNT(*) FROM (SELECT e.ID FROM E e, D d WHERE e.D = d.ID(+))"), (Rows{{"3"}}))
      << c.ErrorText();
  // Without the mark the same join is an inner one.
  EXPECT_EQ(c.Query("SELECT COUNT(*) FROM E e, D d WHERE e.D = d.ID"), (Rows{{"2"}})) << c.ErrorText();
}

TEST_F(OracleForms, OuterJoinMarkRefusesWhatOracleRefuses) {
  c.Query("SELECT e.ID FROM E e, D d WHERE e.D = d.ID(+) OR e.ID = 1");
  EXPECT_EQ(c.ErrorCode(), 1719);
  c.Query("SELECT e.ID FROM E e, D d, L l WHERE e.D = d.ID(+) AND l.ID(+) = d.L(+)");
  EXPECT_EQ(c.ErrorCode(), 1468);
  c.Query("SELECT e.ID FROM E e JOIN D d ON e.D = d.ID WHERE d.L = l.ID(+)");
  EXPECT_EQ(c.ErrorCode(), 25156);
  c.Query("SELECT e.ID FROM E e, D d WHERE e.D(+) = d.ID AND d.ID(+) = e.D");
  EXPECT_EQ(c.ErrorCode(), 1416);
}

TEST_F(OracleForms, ToCharWithAHexadecimalMask) {
  EXPECT_EQ(c.Query("SELECT TO_CHAR(255, 'FMXXXX'), TO_CHAR(255, 'XXXX'), TO_CHAR(255, '0XXX'), TO_CHAR(255, 'xx') "
                    "FROM DUAL"),
            (Rows{{"FF", "   FF", " 00FF", " ff"}}))
      << c.ErrorText();
  // Rounded to a whole number; zero is one digit; too many digits or a negative value give '#'.
  EXPECT_EQ(c.Query("SELECT TO_CHAR(10.5, 'FMXX'), TO_CHAR(0, 'FMXX'), TO_CHAR(256, 'XX'), TO_CHAR(-1, 'FMXX') "
                    "FROM DUAL"),
            (Rows{{"B", "0", "###", "###"}}))
      << c.ErrorText();
  // Past 32 bits, under the 32-digit mask the rewriter writes.
  EXPECT_EQ(c.Query("SELECT TO_CHAR(68719476735, 'FMXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX') FROM DUAL"),
            (Rows{{"FFFFFFFFF"}}))
      << c.ErrorText();
}

}  // namespace
}  // namespace ocitest
