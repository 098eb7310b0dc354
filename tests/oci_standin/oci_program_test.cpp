// The stand-in as programs written for the client use it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "oci_client_helpers.h"

namespace ocitest {
namespace {

// One statement handle of a client, prepared, with the calls the tests make on it.
struct Statement {
  OciClient& c;
  OCIStmt* handle = nullptr;
  sword prepared = oci::kError;

  Statement(OciClient& client, const std::string& sql) : c(client) {
    c.lib.HandleAlloc(c.env, reinterpret_cast<void**>(&handle), oci::kHtypeStmt, 0, nullptr);
    prepared = c.lib.StmtPrepare(handle, c.err, reinterpret_cast<const OraText*>(sql.data()),
                                 static_cast<ub4>(sql.size()), oci::kNtvSyntax, 0);
  }
  ~Statement() { c.lib.HandleFree(handle, oci::kHtypeStmt); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  sword Execute(ub4 iters, ub4 mode = oci::kDefault) {
    return c.lib.StmtExecute(c.svc, handle, c.err, iters, 0, nullptr, nullptr, mode);
  }
  OCIBind* ByName(const std::string& name, void* value, sb4 size, ub2 dty, ub4 mode = oci::kDefault) {
    OCIBind* bind = nullptr;
    c.lib.BindByName(handle, &bind, c.err, reinterpret_cast<const OraText*>(name.data()),
                     static_cast<sb4>(name.size()), value, size, dty, nullptr, nullptr, nullptr, 0, nullptr, mode);
    return bind;
  }
  void ByPos(ub4 position, void* value, sb4 size, ub2 dty, sb2* indicators = nullptr, ub2* lengths = nullptr,
             ub4 elements = 0, ub4* current = nullptr) {
    OCIBind* bind = nullptr;
    c.lib.BindByPos(handle, &bind, c.err, position, value, size, dty, indicators, lengths, nullptr, elements,
                    current, oci::kDefault);
  }
  void Define(ub4 position, void* value, sb4 size, ub2 dty) {
    OCIDefine* define = nullptr;
    c.lib.DefineByPos(handle, &define, c.err, position, value, size, dty, nullptr, nullptr, nullptr, 0);
  }
  sword Fetch() { return c.lib.StmtFetch(handle, c.err, 1, oci::kFetchNext, 0); }
  template <typename T>
  T Attribute(ub4 attribute) {
    T value{};
    c.lib.AttrGet(handle, oci::kHtypeStmt, &value, nullptr, attribute, c.err);
    return value;
  }
};

class OciProgram : public ::testing::Test {
 protected:
  OciLibrary& lib = OciLibrary::Default();
  OciClient c{lib};
  void SetUp() override {
    ASSERT_NE(lib.module, nullptr);
    lib.Reset();
    ASSERT_EQ(c.Logon(UniqueDataSource("PROGRAM"), "SYSTEM", "manager"), oci::kSuccess) << c.ErrorText();
    ASSERT_EQ(c.Exec("CREATE TABLE R (ID NUMBER(5), NAME VARCHAR2(20), AMOUNT NUMBER(10,2))"), oci::kSuccess);
    ASSERT_EQ(c.Exec("INSERT INTO R VALUES (1, 'a', 1.5)"), oci::kSuccess);
    ASSERT_EQ(c.Exec("INSERT INTO R VALUES (2, 'b', 2.5)"), oci::kSuccess);
    ASSERT_EQ(c.Exec("INSERT INTO R VALUES (3, 'c', 3.5)"), oci::kSuccess);
  }
};

TEST_F(OciProgram, UnsignedEightByteIntegersKeepTheWholeRange) {
  ASSERT_EQ(c.Exec("CREATE TABLE U (V NUMBER(20))"), oci::kSuccess);
  const std::uint64_t values[] = {5, 9223372036854775808ULL, 18446744073709551615ULL};
  for (std::uint64_t in : values) {
    Statement s(c, "SELECT :V FROM DUAL");
    s.ByName(":V", &in, sizeof in, oci::kSqltUin);
    ASSERT_EQ(s.Execute(0), oci::kSuccess) << c.ErrorText();
    std::uint64_t out = 0;
    s.Define(1, &out, sizeof out, oci::kSqltUin);
    ASSERT_EQ(s.Fetch(), oci::kSuccess) << in << " " << c.ErrorText();
    EXPECT_EQ(out, in);
  }
  // Stored and read back from a column.
  std::uint64_t stored = 9223372036854775808ULL;
  Statement insert(c, "INSERT INTO U VALUES (:V)");
  insert.ByName(":V", &stored, sizeof stored, oci::kSqltUin);
  ASSERT_EQ(insert.Execute(1, oci::kCommitOnSuccess), oci::kSuccess) << c.ErrorText();
  Statement read(c, "SELECT V FROM U");
  ASSERT_EQ(read.Execute(0), oci::kSuccess);
  std::uint64_t back = 0;
  read.Define(1, &back, sizeof back, oci::kSqltUin);
  ASSERT_EQ(read.Fetch(), oci::kSuccess) << c.ErrorText();
  EXPECT_EQ(back, stored);
  // What does not fit: a negative value, and one past 2^64 - 1.
  for (const char* sql : {"SELECT -1 FROM DUAL", "SELECT 18446744073709551616 * 4 FROM DUAL"}) {
    Statement s(c, sql);
    ASSERT_EQ(s.Execute(0), oci::kSuccess) << c.ErrorText();
    std::uint64_t out = 0;
    s.Define(1, &out, sizeof out, oci::kSqltUin);
    EXPECT_EQ(s.Fetch(), oci::kError) << sql;
    EXPECT_EQ(c.ErrorCode(), 1455) << sql;
  }
}

}  // namespace
}  // namespace ocitest
