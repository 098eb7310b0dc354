// The stand-in as programs written for the client use it: parameter descriptors freed by the program, array
// executions, RETURNING ... INTO every row, unsigned 8-byte integers, LOB locators from queries, parse offsets and the
// smaller answers such programs rely on.
#include <gtest/gtest.h>

#include <array>
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
  std::string ds = UniqueDataSource("PROGRAM");
  void SetUp() override {
    ASSERT_NE(lib.module, nullptr);
    lib.Reset();
    ASSERT_EQ(c.Logon(ds, "SYSTEM", "manager"), oci::kSuccess) << c.ErrorText();
    ASSERT_EQ(c.Exec("CREATE TABLE R (ID NUMBER(5), NAME VARCHAR2(20), AMOUNT NUMBER(10,2))"), oci::kSuccess);
    ASSERT_EQ(c.Exec("INSERT INTO R VALUES (1, 'a', 1.5)"), oci::kSuccess);
    ASSERT_EQ(c.Exec("INSERT INTO R VALUES (2, 'b', 2.5)"), oci::kSuccess);
    ASSERT_EQ(c.Exec("INSERT INTO R VALUES (3, 'c', 3.5)"), oci::kSuccess);
  }
};

// A program frees the parameter descriptors it got from a statement; the statement still owns them.
TEST_F(OciProgram, FreeingAStatementParameterLeavesItToTheStatement) {
  Statement s(c, "SELECT ID, NAME FROM R");
  ASSERT_EQ(s.Execute(0), oci::kSuccess) << c.ErrorText();
  void* parameter = nullptr;
  ASSERT_EQ(lib.ParamGet(s.handle, oci::kHtypeStmt, c.err, &parameter, 2), oci::kSuccess);
  EXPECT_EQ(lib.DescriptorFree(parameter, oci::kDtypeParam), oci::kSuccess);
  // Still the statement's, and read as the client reads it also when named a describe handle.
  ub2 type = 0;
  EXPECT_EQ(lib.AttrGet(parameter, oci::kHtypeDescribe, &type, nullptr, oci::kAttrDataType, c.err), oci::kSuccess);
  EXPECT_EQ(type, 1);
}

TEST_F(OciProgram, ArrayExecutionOfDmlIsRefusedWithNothingApplied) {
  Statement s(c, "INSERT INTO R (ID, NAME) VALUES (:ID, 'x')");
  std::int32_t ids[3] = {7, 8, 9};
  s.ByName(":ID", ids, sizeof(std::int32_t), oci::kSqltInt);
  EXPECT_EQ(s.Execute(3), oci::kError);
  EXPECT_EQ(c.ErrorCode(), 3001);
  EXPECT_NE(c.ErrorText().find("limit"), std::string::npos) << c.ErrorText();
  EXPECT_EQ(c.Query("SELECT COUNT(*) FROM R"), (Rows{{"3"}}));
  EXPECT_EQ(s.Execute(1), oci::kSuccess) << c.ErrorText();
  EXPECT_EQ(s.Attribute<ub4>(oci::kAttrRowCount), 1u);
}

// What a dynamic out bind receives: one buffer per row, asked for by the row's index.
struct Collected {
  OciLibrary* lib = nullptr;
  OCIError* err = nullptr;
  ub4 room = 0;
  ub4 rowsReturned = 0;
  std::array<std::array<unsigned char, 32>, 8> buffers{};
  std::array<ub4, 8> lengths{};
  std::array<sb2, 8> indicators{};
  std::array<ub2, 8> codes{};
  ub4 calls = 0;
};

sb4 CollectRow(void* context, OCIBind* bind, ub4, ub4 index, void** buffer, ub4** length, ub1* piece,
               void** indicator, ub2** code) {
  auto* c = static_cast<Collected*>(context);
  if (index == 0) c->lib->AttrGet(bind, oci::kHtypeBind, &c->rowsReturned, nullptr, oci::kAttrRowsReturned, c->err);
  if (index >= c->buffers.size()) return oci::kContinue - 1;
  ++c->calls;
  c->lengths[index] = c->room;
  *buffer = c->buffers[index].data();
  *length = &c->lengths[index];
  *indicator = &c->indicators[index];
  *code = &c->codes[index];
  *piece = oci::kOnePiece;
  return oci::kContinue;
}

TEST_F(OciProgram, ReturningDeliversEveryRowAndTypeToDynamicBinds) {
  Statement s(c, "UPDATE R SET AMOUNT = AMOUNT * 2 WHERE ID >= 2 RETURNING ID, NAME, AMOUNT INTO :RID, :RNAME, :RAMT");
  Collected ids{&lib, c.err, 4};
  Collected names{&lib, c.err, 20};
  Collected amounts{&lib, c.err, 22};
  const std::pair<const char*, std::pair<Collected*, ub2>> outs[] = {
      {":RID", {&ids, oci::kSqltInt}}, {":RNAME", {&names, oci::kSqltChr}}, {":RAMT", {&amounts, oci::kSqltVnu}}};
  for (const auto& [name, target] : outs) {
    OCIBind* bind = s.ByName(name, nullptr, target.second == oci::kSqltChr ? 20 : 22, target.second,
                             oci::kDataAtExec);
    ASSERT_EQ(lib.BindDynamic(bind, c.err, nullptr, nullptr, target.first, CollectRow), oci::kSuccess);
  }
  ASSERT_EQ(s.Execute(1), oci::kSuccess) << c.ErrorText();
  EXPECT_EQ(s.Attribute<ub4>(oci::kAttrRowCount), 2u);
  for (const Collected* k : {&ids, &names, &amounts}) {
    EXPECT_EQ(k->rowsReturned, 2u);
    EXPECT_EQ(k->calls, 2u);
  }
  std::int32_t id = 0;
  for (ub4 row = 0; row < 2; ++row) {
    std::memcpy(&id, ids.buffers[row].data(), sizeof id);
    EXPECT_EQ(id, static_cast<std::int32_t>(row + 2));
    EXPECT_EQ(ids.lengths[row], 4u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(names.buffers[row].data()), names.lengths[row]),
              std::string(1, static_cast<char>('b' + row)));
  }
  // 5 and 7 in the client's NUMBER bytes: length, exponent byte, one base-100 digit plus one.
  const unsigned char five[] = {2, 0xC1, 6};
  const unsigned char seven[] = {2, 0xC1, 8};
  EXPECT_EQ(std::memcmp(amounts.buffers[0].data(), five, sizeof five), 0);
  EXPECT_EQ(std::memcmp(amounts.buffers[1].data(), seven, sizeof seven), 0);
  EXPECT_EQ(amounts.lengths[0], 3u);
}

TEST_F(OciProgram, ReturningByPositionFillsPlainArrayBinds) {
  Statement del(c, "DELETE FROM R WHERE ID <= :1 RETURNING ID, NAME INTO :2, :3");
  std::int32_t limit = 2;
  std::int32_t ids[4] = {};
  char names[4][8] = {};
  sb2 indicators[4] = {9, 9, 9, 9};
  ub4 gotIds = 0;
  ub4 gotNames = 0;
  del.ByPos(1, &limit, sizeof limit, oci::kSqltInt);
  del.ByPos(2, ids, sizeof ids[0], oci::kSqltInt, indicators, nullptr, 4, &gotIds);
  del.ByPos(3, names, sizeof names[0], oci::kSqltStr, nullptr, nullptr, 4, &gotNames);
  ASSERT_EQ(del.Execute(1), oci::kSuccess) << c.ErrorText();
  EXPECT_EQ(gotIds, 2u);
  EXPECT_EQ(gotNames, 2u);
  EXPECT_EQ(ids[0], 1);
  EXPECT_EQ(ids[1], 2);
  EXPECT_EQ(indicators[1], 0);
  EXPECT_EQ(indicators[2], 9);  // past the rows: untouched
  EXPECT_STREQ(names[0], "a");
  EXPECT_STREQ(names[1], "b");
  EXPECT_EQ(c.Query("SELECT ID FROM R"), (Rows{{"3"}}));
}

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

TEST_F(OciProgram, LocatorsFromAQueryWriteTheirRow) {
  ASSERT_EQ(c.Exec("CREATE TABLE D (ID NUMBER(3), DOC CLOB)"), oci::kSuccess);
  ASSERT_EQ(c.Exec("INSERT INTO D VALUES (1, 'old')"), oci::kSuccess);
  ASSERT_EQ(c.Exec("INSERT INTO D VALUES (2, 'two')"), oci::kSuccess);
  auto writeThrough = [&](const std::string& sql, const std::string& text, OciClient& client) {
    Statement s(client, sql);
    OCILobLocator* lob = nullptr;
    lib.DescriptorAlloc(client.env, reinterpret_cast<void**>(&lob), oci::kDtypeLob, 0, nullptr);
    EXPECT_EQ(s.Execute(0), oci::kSuccess) << client.ErrorText();
    s.Define(1, &lob, sizeof lob, oci::kSqltClob);
    EXPECT_EQ(s.Fetch(), oci::kSuccess) << client.ErrorText();
    ub4 amount = static_cast<ub4>(text.size());
    const sword status = lib.LobWrite(client.svc, client.err, lob, &amount, 1, const_cast<char*>(text.data()), amount,
                                      oci::kOnePiece, nullptr, nullptr, 0, 1);
    lib.DescriptorFree(lob, oci::kDtypeLob);
    return status;
  };
  EXPECT_EQ(writeThrough("SELECT DOC FROM D WHERE ID = 1", "new", c), oci::kSuccess) << c.ErrorText();
  EXPECT_EQ(writeThrough("SELECT DOC FROM D WHERE ID = 2 FOR UPDATE", "TWO", c), oci::kSuccess) << c.ErrorText();
  EXPECT_EQ(c.Exec("COMMIT"), oci::kSuccess);
  EXPECT_EQ(c.Query("SELECT ID, DOC FROM D ORDER BY ID"), (Rows{{"1", "new"}, {"2", "TWO"}}));
  // A row of a join cannot be told from the query: its locator is refused rather than aimed at another row.
  EXPECT_EQ(writeThrough("SELECT A.DOC FROM D A, D B WHERE A.ID = 1 AND B.ID = 2", "bad", c), oci::kError);
  EXPECT_EQ(c.ErrorCode(), 22275);
  // A row another session has locked is refused, as an UPDATE of it would be.
  c.Query("SELECT ID FROM D WHERE ID = 1 FOR UPDATE", {}, oci::kDefault);
  OciClient other(lib);
  ASSERT_EQ(other.Logon(ds, "SYSTEM", "manager"), oci::kSuccess);
  EXPECT_EQ(writeThrough("SELECT DOC FROM D WHERE ID = 1", "bad", other), oci::kError);
  EXPECT_EQ(other.ErrorCode(), 54);
  EXPECT_EQ(c.Exec("ROLLBACK"), oci::kSuccess);
  EXPECT_EQ(c.Query("SELECT DOC FROM D ORDER BY ID"), (Rows{{"new"}, {"TWO"}}));
}

TEST_F(OciProgram, ErrorsCarryTheirParseOffset) {
  const std::pair<std::string, ub2> cases[] = {{"SELECT NOSUCH FROM DUAL", 7}, {"SELECT 1 FROM NOWHERE", 14},
                                               {"UPDATE R SET NAME = 'x' WHERE NOPE = 1", 30}};
  for (const auto& [sql, offset] : cases) {
    Statement s(c, sql);
    EXPECT_EQ(s.Execute(1), oci::kError) << sql;
    // From the error handle, as it is read right after the failed call, and from the statement.
    ub2 fromError = 0;
    EXPECT_EQ(lib.AttrGet(c.err, oci::kHtypeError, &fromError, nullptr, oci::kAttrParseErrorOffset, c.err),
              oci::kSuccess);
    EXPECT_EQ(fromError, offset) << sql;
    EXPECT_EQ(s.Attribute<ub2>(oci::kAttrParseErrorOffset), offset) << sql;
  }
}

TEST_F(OciProgram, ParseOnlyChecksWithoutRunning) {
  Statement insert(c, "INSERT INTO R (ID) VALUES (9)");
  ub4 items = 1;  // no query: no select-list items, before it runs as after
  EXPECT_EQ(lib.AttrGet(insert.handle, oci::kHtypeStmt, &items, nullptr, oci::kAttrParamCount, c.err), oci::kSuccess);
  EXPECT_EQ(items, 0u);
  EXPECT_EQ(insert.Execute(1, oci::kParseOnly), oci::kSuccess) << c.ErrorText();
  EXPECT_EQ(c.Query("SELECT COUNT(*) FROM R"), (Rows{{"3"}}));
  Statement wrong(c, "INSERT INTO NOWHERE VALUES (1)");
  EXPECT_EQ(wrong.Execute(1, oci::kParseOnly), oci::kError);
  EXPECT_EQ(c.ErrorCode(), 942);
  Statement create(c, "CREATE TABLE P (X NUMBER)");
  EXPECT_EQ(create.Execute(1, oci::kParseOnly), oci::kSuccess);
  c.Query("SELECT X FROM P");
  EXPECT_EQ(c.ErrorCode(), 942);
  EXPECT_EQ(insert.Execute(1), oci::kSuccess) << c.ErrorText();
  EXPECT_EQ(insert.Attribute<ub4>(oci::kAttrParamCount), 0u);
}

TEST_F(OciProgram, CallAndMergeHaveTheirStatementTypes) {
  Statement call(c, "CALL P(1)");
  EXPECT_EQ(call.Attribute<ub2>(oci::kAttrStmtType), oci::kStmtCall);
  Statement merge(c, "MERGE INTO R USING DUAL ON (1 = 0) WHEN NOT MATCHED THEN INSERT (ID) VALUES (5)");
  EXPECT_EQ(merge.Attribute<ub2>(oci::kAttrStmtType), oci::kStmtMerge);
}

}  // namespace
}  // namespace ocitest
