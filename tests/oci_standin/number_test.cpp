// NUMBER values keep their decimal digits (38 and more) through every way a client moves them: text, Oracle's byte
// format with and without its length byte, the converted integer and real types, literals in SQL texts; and the
// SQL the driver sends over them (comparisons, ORDER BY, MAX()+1, SUM, COUNT) stays numeric and exact.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "oci_client_helpers.h"

namespace ocitest {
namespace {

const char kDigits38[] = "12345678901234567890123456789012345678";
const char kMinus38[] = "-98765432109876543210987654321098765432";
const char kMaxUnsigned[] = "18446744073709551615";  // 2^64 - 1

class Numbers : public ::testing::Test {
 protected:
  OciLibrary& lib = OciLibrary::Default();
  OciClient c{lib};
  OCIStmt* stmt = nullptr;

  void SetUp() override {
    ASSERT_EQ(c.Logon(UniqueDataSource("NUMBERS"), "SYSTEM", "manager"), oci::kSuccess);
    ASSERT_EQ(c.Exec("CREATE TABLE NU (K NUMBER(4), N NUMBER, P NUMBER(38))"), oci::kSuccess) << c.ErrorText();
    lib.HandleAlloc(c.env, reinterpret_cast<void**>(&stmt), oci::kHtypeStmt, 0, nullptr);
  }
  void TearDown() override { lib.HandleFree(stmt, oci::kHtypeStmt); }

  sword Prepare(const std::string& sql) {
    return lib.StmtPrepare(stmt, c.err, reinterpret_cast<const OraText*>(sql.data()), static_cast<ub4>(sql.size()),
                           oci::kNtvSyntax, 0);
  }
  // Inserts row `k` with N bound as given.
  sword Insert(int k, void* value, sb4 size, ub2 dty) {
    OCIBind* bind = nullptr;
    EXPECT_EQ(Prepare("INSERT INTO NU (K, N) VALUES (" + std::to_string(k) + ", :N)"), oci::kSuccess);
    EXPECT_EQ(lib.BindByName(stmt, &bind, c.err, reinterpret_cast<const OraText*>(":N"), 2, value, size, dty, nullptr,
                             nullptr, nullptr, 0, nullptr, 0),
              oci::kSuccess);
    return lib.StmtExecute(c.svc, stmt, c.err, 1, 0, nullptr, nullptr, oci::kCommitOnSuccess);
  }
  // Reads the one value of a query into a buffer of the given type.
  sword Read(const std::string& sql, void* value, sb4 size, ub2 dty) {
    EXPECT_EQ(Prepare(sql), oci::kSuccess);
    EXPECT_EQ(lib.StmtExecute(c.svc, stmt, c.err, 0, 0, nullptr, nullptr, oci::kDefault), oci::kSuccess)
        << c.ErrorText();
    OCIDefine* define = nullptr;
    EXPECT_EQ(lib.DefineByPos(stmt, &define, c.err, 1, value, size, dty, nullptr, nullptr, nullptr, 0), oci::kSuccess);
    return lib.StmtFetch(stmt, c.err, 1, oci::kFetchNext, 0);
  }
  OCINumber FromText(const std::string& text) {
    OCINumber n{};
    EXPECT_EQ(lib.NumberFromText(c.err, reinterpret_cast<const OraText*>(text.data()), static_cast<ub4>(text.size()),
                                 nullptr, 0, nullptr, 0, &n),
              oci::kSuccess)
        << text;
    return n;
  }
  std::string ToText(const OCINumber& n) {
    char buffer[80] = {};
    ub4 size = sizeof buffer;
    EXPECT_EQ(lib.NumberToText(c.err, &n, nullptr, 0, nullptr, 0, &size, reinterpret_cast<OraText*>(buffer)),
              oci::kSuccess);
    return std::string(buffer, size);
  }
  std::string Text(const std::string& sql) {
    const Rows rows = c.Query(sql);
    EXPECT_EQ(c.lastStatus, oci::kSuccess) << sql << ": " << c.ErrorText();
    return rows.size() == 1 && rows[0].size() == 1 ? rows[0][0] : "<" + std::to_string(rows.size()) + " rows>";
  }
};

TEST_F(Numbers, ExactDigitsThroughEveryBindAndDefineType) {
  const char* const values[] = {kDigits38,  kMaxUnsigned, kMinus38, "-.125", "1234567890.1234567890123456789",
                                ".0000000000000000000000000000012345678901234567"};
  int k = 0;
  for (const char* value : values) {
    // Text, the 22-byte OCINumber (length byte first) and the bare NUMBER bytes.
    std::string text = value;
    text += '\0';
    OCINumber vnu = FromText(value);
    ASSERT_EQ(Insert(++k, text.data(), static_cast<sb4>(text.size()), oci::kSqltStr), oci::kSuccess) << c.ErrorText();
    ASSERT_EQ(Insert(++k, &vnu, sizeof vnu, oci::kSqltVnu), oci::kSuccess) << c.ErrorText();
    ASSERT_EQ(Insert(++k, vnu.OCINumberPart + 1, vnu.OCINumberPart[0], oci::kSqltNum), oci::kSuccess) << c.ErrorText();
    for (int row = k - 2; row <= k; ++row) {
      const std::string where = "SELECT N FROM NU WHERE K = " + std::to_string(row);
      EXPECT_EQ(Text(where), value) << row;
      OCINumber back{};
      ASSERT_EQ(Read(where, &back, sizeof back, oci::kSqltVnu), oci::kSuccess) << c.ErrorText();
      EXPECT_EQ(std::memcmp(&back, &vnu, vnu.OCINumberPart[0] + 1u), 0) << value << " row " << row;
      unsigned char bare[22] = {};
      ASSERT_EQ(Read(where, bare, sizeof bare, oci::kSqltNum), oci::kSuccess);
      EXPECT_EQ(std::memcmp(bare, vnu.OCINumberPart + 1, vnu.OCINumberPart[0]), 0) << value;
    }
    // The literal in a statement's text finds the rows and is kept as written.
    EXPECT_EQ(Text("SELECT COUNT(*) FROM NU WHERE N = " + std::string(value)), "3") << value;
    ASSERT_EQ(c.Exec("INSERT INTO NU (K, N) VALUES (" + std::to_string(++k) + ", " + value + ")"), oci::kSuccess)
        << c.ErrorText();
    EXPECT_EQ(Text("SELECT N FROM NU WHERE K = " + std::to_string(k)), value);
  }

  // The byte layout of 2^64 - 1: ten base-100 digits.
  const OCINumber unsignedMax = FromText(kMaxUnsigned);
  EXPECT_EQ(std::vector<int>(unsignedMax.OCINumberPart, unsignedMax.OCINumberPart + 12),
            (std::vector<int>{11, 0xCA, 19, 45, 68, 45, 8, 38, 10, 56, 17, 16}));

  // The converted types: the whole 8-byte integer ranges both ways, and a real.
  std::uint64_t unsignedValue = std::numeric_limits<std::uint64_t>::max();
  std::int64_t signedValue = std::numeric_limits<std::int64_t>::min();
  double real = -0.125;
  const struct {
    ub2 dty;
    void* value;
    const char* text;
  } converted[] = {{oci::kSqltUin, &unsignedValue, kMaxUnsigned},
                   {oci::kSqltInt, &signedValue, "-9223372036854775808"},
                   {oci::kSqltFlt, &real, "-.125"}};
  for (const auto& one : converted) {
    ASSERT_EQ(Insert(++k, one.value, 8, one.dty), oci::kSuccess) << c.ErrorText();
    const std::string where = "SELECT N FROM NU WHERE K = " + std::to_string(k);
    EXPECT_EQ(Text(where), one.text);
    unsigned char back[8] = {};
    ASSERT_EQ(Read(where, back, 8, one.dty), oci::kSuccess) << one.text;
    EXPECT_EQ(std::memcmp(back, one.value, 8), 0) << one.text;
  }
  // A 38-digit value has no 8-byte integer form.
  EXPECT_EQ(Read("SELECT N FROM NU WHERE K = 1", &signedValue, 8, oci::kSqltInt), oci::kError);
  EXPECT_EQ(c.ErrorCode(), 1455);
}

TEST_F(Numbers, ComparisonsOrderingMaxPlusOneAndSumStayExact) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"1", kDigits38}, {"2", kMaxUnsigned}, {"3", kMinus38}, {"4", "-.125"}, {"5", "7"},
      {"6", "12345678901234567879"}};
  for (const auto& [k, n] : rows) {
    ASSERT_EQ(c.Exec("INSERT INTO NU (K, N, P) VALUES (:K, :N, :N)", {{"K", k}, {"N", n}}), oci::kSuccess)
        << c.ErrorText();
  }
  EXPECT_EQ(c.Query("SELECT K FROM NU ORDER BY P DESC"), (Rows{{"1"}, {"2"}, {"6"}, {"5"}, {"4"}, {"3"}}));
  EXPECT_EQ(c.Query("SELECT K FROM NU ORDER BY N"), (Rows{{"3"}, {"4"}, {"5"}, {"6"}, {"2"}, {"1"}}));
  EXPECT_EQ(c.Query("SELECT K FROM NU WHERE N < :V AND N > 0 ORDER BY K", {{"V", "12345678901234567880"}}),
            (Rows{{"5"}, {"6"}}));
  EXPECT_EQ(Text("SELECT COUNT(*) FROM NU WHERE N >= 18446744073709551615"), "2");
  EXPECT_EQ(Text("SELECT COUNT(DISTINCT N) FROM NU"), "6");

  EXPECT_EQ(Text("SELECT MAX(N)+1 FROM NU"), "12345678901234567890123456789012345679");
  EXPECT_EQ(Text("SELECT MIN(P) - 1 FROM NU"), "-98765432109876543210987654321098765433");
  EXPECT_EQ(Text("SELECT MAX(N)+1 FROM NU WHERE K > 100"), "<null>");
  EXPECT_EQ(Text("SELECT SUM(N) FROM NU WHERE K IN (1, 3)"), "-86419753208641975320864197532086419754");
  EXPECT_EQ(Text("SELECT SUM(N) FROM NU WHERE K IN (2, 4, 5)"), "18446744073709551621.875");
  // The next identifier written back is the maximum plus one, digit for digit.
  ASSERT_EQ(c.Exec("INSERT INTO NU (K, N) SELECT 7, MAX(N)+1 FROM NU"), oci::kSuccess) << c.ErrorText();
  EXPECT_EQ(Text("SELECT N FROM NU WHERE K = 7"), "12345678901234567890123456789012345679");
  // A key on a NUMBER column holds one row per value, whatever its spelling.
  ASSERT_EQ(c.Exec("CREATE UNIQUE INDEX NU_N ON NU (N)"), oci::kSuccess) << c.ErrorText();
  EXPECT_EQ(c.Exec("INSERT INTO NU (K, N) VALUES (8, '7.00')"), oci::kError);
}

TEST_F(Numbers, BeyondTwentyBase100DigitsRoundsHalfAwayFromZero) {
  const struct {
    const char* in;
    const char* kept;
  } cases[] = {
      // The point between two digit pairs: 40 digits kept.
      {".12345678901234567890123456789012345678905", ".1234567890123456789012345678901234567891"},
      {"-.12345678901234567890123456789012345678905", "-.1234567890123456789012345678901234567891"},
      {".12345678901234567890123456789012345678904", ".123456789012345678901234567890123456789"},
      // The point splitting a pair: 39 digits kept, and a 40th rounds rather than being cut.
      {"1.234567890123456789012345678901234567895", "1.2345678901234567890123456789012345679"},
      {"9999999999999999999999999999999999999999500", "10000000000000000000000000000000000000000000"},
      // Below the smallest magnitude, 1e-130, a NUMBER is 0.
      {"-9.9e-131", "0"},
  };
  int k = 0;
  for (const auto& one : cases) {
    EXPECT_EQ(ToText(FromText(one.in)), one.kept) << one.in;
    ASSERT_EQ(c.Exec("INSERT INTO NU (K, N) VALUES (:K, :N)", {{"K", std::to_string(++k)}, {"N", one.in}}),
              oci::kSuccess);
    EXPECT_EQ(Text("SELECT N FROM NU WHERE K = " + std::to_string(k)), one.kept) << one.in;
  }
}

TEST_F(Numbers, MasksCountALeadingZeroAsAnIntegerDigit) {
  const struct {
    const char* text;
    const char* mask;
    bool fits;
  } cases[] = {
      {"0.125", "D999", false}, {".125", "D999", true},  {"-0.125", "D999", false}, {"-.125", "D999", true},
      {"0.5", "9D9", true},     {"00.5", "9D9", false},  {"007", "999", true},      {"007", "99", false},
  };
  for (const auto& one : cases) {
    OCINumber n{};
    const sword status =
        lib.NumberFromText(c.err, reinterpret_cast<const OraText*>(one.text), static_cast<ub4>(std::strlen(one.text)),
                           reinterpret_cast<const OraText*>(one.mask), static_cast<ub4>(std::strlen(one.mask)), nullptr,
                           0, &n);
    EXPECT_EQ(status, one.fits ? oci::kSuccess : oci::kError) << one.text << " / " << one.mask;
    if (!one.fits) {
      EXPECT_EQ(c.ErrorCode(), 1722);
    }
    // TO_NUMBER reads masks by the same rule.
    c.Query("SELECT TO_NUMBER('" + std::string(one.text) + "', '" + one.mask + "') FROM DUAL");
    EXPECT_EQ(c.lastStatus, one.fits ? oci::kSuccess : oci::kError) << one.text << " / " << one.mask;
  }
}

}  // namespace
}  // namespace ocitest
