// NUMBER values read from text through the number calls' masks.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "oci_client_helpers.h"

namespace ocitest {
namespace {

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
  sword Bind(const char* name, void* value, sb4 size, ub2 dty) {
    OCIBind* bind = nullptr;
    return lib.BindByName(stmt, &bind, c.err, reinterpret_cast<const OraText*>(name),
                          static_cast<sb4>(std::strlen(name)), value, size, dty, nullptr, nullptr, nullptr, 0, nullptr,
                          0);
  }
  // Inserts row `k` with N bound as given.
  sword Insert(int k, void* value, sb4 size, ub2 dty) {
    EXPECT_EQ(Prepare("INSERT INTO NU (K, N) VALUES (" + std::to_string(k) + ", :N)"), oci::kSuccess);
    EXPECT_EQ(Bind(":N", value, size, dty), oci::kSuccess);
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
