// The call wrappers over the OCI set of the stand-in, in an ANSI session: what each passes to the client, which
// statuses pass, and the error, point and messages each leaves under injected statuses, ORA errors and throws.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "host/library_entry.h"
#include "oci_session_helpers.h"
#include "oracle/client/client_loader.h"
#include "oracle/client/oci_call.h"
#include "oracle/client/oci_declarations.h"
#include "oracle/client/oci_wrappers.h"
#include "tests/doubles/driver_doubles.h"

namespace {

using ocitest::HasMessageText;
using ocitest::HasPoint;
using ocitest::StandIn;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class OciWrappers : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    doubles::EnsureLibrary();
    CErrorHolder holder;
    ASSERT_EQ(bLoadOracleClient(&holder, gstrOciLibraryPath, nullptr, 0), 1) << ocitest::Dump(holder);
  }

  void SetUp() override {
    ASSERT_TRUE(connection.Open()) << "session on the stand-in";
    standIn.Reset();
    gbOciClientFailed = 0;
  }

  void* NewStatement(const char16_t* sql) {
    void* statement = nOciHandleAlloc(&connection, &holder, oci::OCI_HTYPE_STMT);
    EXPECT_NE(statement, nullptr);
    EXPECT_EQ(nOciStmtPrepare(&connection, &holder, statement, sql), 1) << ocitest::Dump(holder);
    return statement;
  }

  // Runs a statement that is no query, through the wrappers.
  void Run(const char16_t* sql, std::uint32_t kind = 8) {
    void* statement = NewStatement(sql);
    EXPECT_EQ(nOciStmtExecute(&connection, &holder, statement, sql, kind, 0, nullptr, 0), 1) << ocitest::Dump(holder);
    nOciHandleFree(&connection, &holder, statement, oci::OCI_HTYPE_STMT);
  }

  StandIn& standIn = StandIn::Get();
  ocitest::TestConnection connection;
  CErrorHolder holder;
};

TEST_F(OciWrappers, QueryRoundTrip) {
  const char16_t* sql = u"SELECT 'abc' FROM DUAL";
  void* statement = NewStatement(sql);
  char value[16] = {};
  std::uint16_t length = 0;
  std::int16_t indicator = 0;
  std::uint16_t code = 0;
  void* define = nullptr;
  ASSERT_EQ(nOciDefineByPos(&connection, &holder, statement, &define, 1, value, sizeof value, &length, oci::SQLT_CHR,
                            &indicator, &code, 0, 0),
            1)
      << ocitest::Dump(holder);
  ASSERT_EQ(nOciStmtExecute(&connection, &holder, statement, sql, 1, 0, nullptr, 0), 1) << ocitest::Dump(holder);
  // A query runs with no iteration, and outside a global transaction it commits on success.
  EXPECT_TRUE(Contains(standIn.LastCall("OCIStmtExecute"), "iters=0 mode=0x20")) << standIn.LastCall("OCIStmtExecute");
  std::uint32_t end = 7;
  std::uint32_t needData = 7;
  ASSERT_EQ(nOciStmtFetch(&connection, &holder, statement, 1, 2, &end, &needData), 1) << ocitest::Dump(holder);
  EXPECT_EQ(end, 0u);
  EXPECT_EQ(needData, 0u);
  EXPECT_EQ(std::string(value, length), "abc");
  ASSERT_EQ(nOciStmtFetch(&connection, &holder, statement, 1, 2, &end, nullptr), 1);
  EXPECT_EQ(end, 1u);
  EXPECT_FALSE(holder.bHasError());
  EXPECT_EQ(nOciHandleFree(&connection, &holder, statement, oci::OCI_HTYPE_STMT), 1);
}

TEST_F(OciWrappers, PrepareAndExecuteFailures) {
  void* statement = nOciHandleAlloc(&connection, &holder, oci::OCI_HTYPE_STMT);
  standIn.InjectStatus("OCIStmtPrepare", 1, oci::OCI_SUCCESS_WITH_INFO, 0);
  EXPECT_EQ(nOciStmtPrepare(&connection, &holder, statement, u"SELECT 1 FROM DUAL"), 0);
  EXPECT_TRUE(HasPoint(holder, 44));
  EXPECT_TRUE(HasMessageText(holder, u"SELECT 1 FROM DUAL")) << ocitest::Dump(holder);
  EXPECT_TRUE(HasMessageText(holder, u"OCI_SUCCESS_WITH_INFO"));

  holder.Clear();
  ASSERT_EQ(nOciStmtPrepare(&connection, &holder, statement, u"UPDATE DUAL SET DUMMY = 'X'"), 1);
  standIn.InjectStatus("OCIStmtExecute", 1, oci::OCI_ERROR, 54);
  EXPECT_EQ(nOciStmtExecute(&connection, &holder, statement, u"the text", 2, 0, nullptr, 0), 0);
  EXPECT_EQ(holder.nGetRecordedCode(), 1u);  // locked or busy
  EXPECT_EQ(holder.pGetEmbeddedObject()->nGetCode(), 67u);
  EXPECT_EQ(holder.nGetNativeErrorCode(), 54u);
  EXPECT_TRUE(HasPoint(holder, 48));
  EXPECT_TRUE(HasMessageText(holder, u"Status = FFFFFFFF (OCI_ERROR)"));
  EXPECT_TRUE(HasMessageText(holder, u"the text"));

  // Every status but OCI_ERROR passes an execute.
  for (int status : {oci::OCI_SUCCESS_WITH_INFO, oci::OCI_NO_DATA, oci::OCI_NEED_DATA}) {
    holder.Clear();
    standIn.InjectStatus("OCIStmtExecute", 1, status, 0);
    std::uint32_t needData = 7;
    EXPECT_EQ(nOciStmtExecute(&connection, &holder, statement, nullptr, 2, 0, &needData, 0), 1) << status;
    EXPECT_EQ(needData, status == oci::OCI_NEED_DATA ? 1u : 0u);
    EXPECT_FALSE(holder.bHasError());
  }
  nOciHandleFree(&connection, &holder, statement, oci::OCI_HTYPE_STMT);
}

TEST_F(OciWrappers, FetchToleratesOnlyTwoWarnings) {
  void* statement = NewStatement(u"SELECT 1 FROM DUAL");
  ASSERT_EQ(nOciStmtExecute(&connection, &holder, statement, nullptr, 1, 0, nullptr, 0), 1);
  std::uint32_t end = 0;
  for (int warning : {24347, 23}) {
    standIn.InjectStatus("OCIStmtFetch", 1, oci::OCI_SUCCESS_WITH_INFO, warning);
    EXPECT_EQ(nOciStmtFetch(&connection, &holder, statement, 1, 2, &end, nullptr), 1) << warning;
    EXPECT_FALSE(holder.bHasError());
  }
  standIn.InjectStatus("OCIStmtFetch", 1, oci::OCI_SUCCESS_WITH_INFO, 1406);
  EXPECT_EQ(nOciStmtFetch(&connection, &holder, statement, 1, 2, &end, nullptr), 0);
  EXPECT_TRUE(HasPoint(holder, 66));
  EXPECT_EQ(holder.nGetNativeErrorCode(), 1406u);
  EXPECT_TRUE(HasMessageText(holder, u"Impossible de lire les lignes du résultat."));

  holder.Clear();
  standIn.InjectStatus("OCIStmtFetch", 1, oci::OCI_NEED_DATA, 0);
  std::uint32_t needData = 0;
  EXPECT_EQ(nOciStmtFetch(&connection, &holder, statement, 1, 2, &end, &needData), 1);
  EXPECT_EQ(needData, 1u);
  nOciHandleFree(&connection, &holder, statement, oci::OCI_HTYPE_STMT);
}

TEST_F(OciWrappers, ExceptionsFromTheClient) {
  void* statement = NewStatement(u"SELECT 1 FROM DUAL");
  standIn.InjectThrow("OCIStmtExecute", 1);
  EXPECT_EQ(nOciStmtExecute(&connection, &holder, statement, u"SELECT 1 FROM DUAL", 1, 0, nullptr, 0), 0);
  EXPECT_EQ(holder.pGetEmbeddedObject()->nGetCode(), 23u);
  EXPECT_TRUE(HasPoint(holder, 47));
  EXPECT_TRUE(HasMessageText(holder, u"Oracle"));
  EXPECT_TRUE(HasMessageText(holder, u"SELECT 1 FROM DUAL"));
  EXPECT_EQ(gbOciClientFailed, 1u);

  // A missing entry is error 1040 naming it, and is no client fault.
  gbOciClientFailed = 0;
  holder.Clear();
  CTString name;
  std::int32_t size = 0;
  std::int16_t type = 0, precision = 0, scale = 0, nullable = 0;
  EXPECT_EQ(nOciDescribeColumn(&connection, &holder, statement, 1, &size, &type, name, &precision, &scale, &nullable),
            0);
  EXPECT_EQ(holder.pGetEmbeddedObject()->nGetCode(), 1040u);
  EXPECT_TRUE(HasMessageText(holder, u"odescr"));
  EXPECT_TRUE(HasPoint(holder, 69));
  EXPECT_EQ(gbOciClientFailed, 0u);

  holder.Clear();
  standIn.InjectThrow("OCIStmtFetch", 1);
  std::uint32_t end = 0;
  EXPECT_EQ(nOciStmtFetch(&connection, &holder, statement, 1, 2, &end, nullptr), 0);
  EXPECT_TRUE(HasPoint(holder, 63));
  EXPECT_EQ(gbOciClientFailed, 1u);
  nOciHandleFree(&connection, &holder, statement, oci::OCI_HTYPE_STMT);
}

TEST_F(OciWrappers, WithoutAHolderAFaultGoesToTheDriverObject) {
  auto* driver = new doubles::TestDriver();
  driver->AddRef();
  gpDriver = driver;
  CErrorHolder* driverHolder = driver->pGetErrorHolder();
  void* statement = NewStatement(u"SELECT 1 FROM DUAL");
  standIn.InjectThrow("OCIStmtExecute", 1);
  EXPECT_EQ(nOciStmtExecute(&connection, nullptr, statement, nullptr, 1, 0, nullptr, 0), 0);
  EXPECT_EQ(driverHolder->pGetEmbeddedObject()->nGetCode(), 23u);
  EXPECT_TRUE(HasPoint(*driverHolder, 47));
  EXPECT_EQ(gbOciClientFailed, 1u);

  // A missing entry without a holder is dumped and dropped.
  driverHolder->Clear();
  CTString name;
  std::int32_t size = 0;
  std::int16_t type = 0, precision = 0, scale = 0, nullable = 0;
  EXPECT_EQ(nOciDescribeColumn(&connection, nullptr, statement, 1, &size, &type, name, &precision, &scale, &nullable),
            0);
  EXPECT_FALSE(driverHolder->bHasError());
  nOciHandleFree(&connection, &holder, statement, oci::OCI_HTYPE_STMT);
  driver->nRelease();
  EXPECT_EQ(gpDriver, nullptr);
}

TEST_F(OciWrappers, CreateRunsOutsideTheGlobalTransactionAndResumesIt) {
  void* transaction = nOciHandleAlloc(&connection, &holder, oci::OCI_HTYPE_TRANS);
  ASSERT_NE(transaction, nullptr);
  ASSERT_EQ(nOciAttrSet(&connection, &holder, connection.m_pServiceContext, oci::OCI_HTYPE_SVCCTX, transaction,
                        oci::OCI_ATTR_TRANS, 0),
            1);
  ASSERT_EQ(nOciTransStart(&connection, &holder, 0), 1) << ocitest::Dump(holder);
  EXPECT_EQ(pOciGetAttachedTransaction(&connection, &holder), transaction);

  // A statement inside the transaction keeps its mode.
  void* update = NewStatement(u"UPDATE DUAL SET DUMMY = 'X' WHERE 1 = 0");
  ASSERT_EQ(nOciStmtExecute(&connection, &holder, update, nullptr, 2, 0, nullptr, 0), 1);
  EXPECT_TRUE(Contains(standIn.LastCall("OCIStmtExecute"), "iters=1 mode=0x0 "));

  for (bool fails : {false, true}) {
    holder.Clear();
    const char16_t* sql = fails ? u"CREATE TABLE T_FAILS (A NUMBER)" : u"CREATE TABLE T_MADE (A NUMBER)";
    void* create = NewStatement(sql);
    standIn.ClearCallLog();
    if (fails) standIn.InjectStatus("OCIStmtExecute", 1, oci::OCI_ERROR, 955);
    EXPECT_EQ(nOciStmtExecute(&connection, &holder, create, sql, 6, 0, nullptr, 0), fails ? 0 : 1);
    std::vector<std::string> calls;
    for (const std::string& line : standIn.CallLog()) {
      // The error's reading and its details (the environment's character set) are not the statement's calls.
      const bool reading = line.rfind("OCIAttrGet", 0) == 0 || line.rfind("OCIErrorGet", 0) == 0 ||
                           line.rfind("OCINlsGetInfo", 0) == 0;
      if (!reading) calls.push_back(line.substr(0, line.find(" sql=")));
    }
    ASSERT_EQ(calls.size(), 5u) << ::testing::PrintToString(calls);
    EXPECT_EQ(calls[0], "OCITransDetach flags=0");
    EXPECT_TRUE(Contains(calls[1], "OCIAttrSet htype=3 attr=8")) << calls[1];
    EXPECT_EQ(calls[2], "OCIStmtExecute iters=1 mode=0x20");
    EXPECT_TRUE(Contains(calls[3], "OCIAttrSet htype=3 attr=8")) << calls[3];
    EXPECT_TRUE(Contains(calls[4], "OCITransStart")) << calls[4];
    EXPECT_TRUE(Contains(calls[4], "flags=0x4")) << calls[4];
    EXPECT_EQ(pOciGetAttachedTransaction(&connection, &holder), transaction);
    nOciHandleFree(&connection, &holder, create, oci::OCI_HTYPE_STMT);
  }
  EXPECT_EQ(nOciTransRollback(&connection, &holder), 1);
  nOciHandleFree(&connection, &holder, update, oci::OCI_HTYPE_STMT);
}

TEST_F(OciWrappers, BindPlaceholdersAndCharsets) {
  void* statement = NewStatement(u"SELECT :1, :NAMED FROM DUAL");
  char value[8] = "x";
  std::int16_t indicator = 0;
  std::uint16_t code = 9;
  void* bind = nullptr;
  ASSERT_EQ(nOciBindByName(&connection, &holder, statement, &bind, 1, value, 2, oci::SQLT_STR, &indicator, &code, 0,
                           nullptr, 1),
            1)
      << ocitest::Dump(holder);
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(Contains(standIn.LastCall("OCIBindByName"), "name=:1 ")) << standIn.LastCall("OCIBindByName");
  EXPECT_EQ(standIn.EntryCount("OCIAttrSet"), 0u);  // an ANSI text column needs no character set

  // A national column: the form first, then the id.
  ASSERT_EQ(nOciBindByName(&connection, &holder, statement, &bind, 2, value, 2, oci::SQLT_STR, &indicator, &code, 0,
                           u"NAMED", 29),
            1)
      << ocitest::Dump(holder);
  EXPECT_TRUE(Contains(standIn.LastCall("OCIBindByName"), "name=:NAMED "));
  std::vector<std::string> sets;
  for (const std::string& line : standIn.CallLog()) {
    if (line.rfind("OCIAttrSet", 0) == 0) sets.push_back(line);
  }
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_TRUE(Contains(sets[0], "htype=5 attr=32")) << sets[0];
  EXPECT_TRUE(Contains(sets[1], "htype=5 attr=31")) << sets[1];

  // A define stops when the form cannot be set.
  standIn.ClearCallLog();
  standIn.InjectStatus("OCIAttrSet", 1, oci::OCI_ERROR, 24315);
  void* define = nullptr;
  std::uint16_t length = 0;
  EXPECT_EQ(nOciDefineByPos(&connection, &holder, statement, &define, 1, value, sizeof value, &length, oci::SQLT_STR,
                            &indicator, &code, 0, 30),
            0);
  EXPECT_TRUE(standIn.LastCall("OCIAttrSet").find("attr=32") != std::string::npos);
  EXPECT_TRUE(standIn.LastCall("OCIAttrSet").find("attr=31") == std::string::npos);
  EXPECT_TRUE(HasPoint(holder, 74));
  EXPECT_TRUE(HasMessageText(holder, u"OCI_ERROR"));
  nOciHandleFree(&connection, &holder, statement, oci::OCI_HTYPE_STMT);
}

TEST_F(OciWrappers, HandlesAndAttributes) {
  EXPECT_EQ(nOciHandleFree(&connection, &holder, nullptr, oci::OCI_HTYPE_STMT), 1);
  EXPECT_EQ(nOciHandleFree(&connection, &holder, pOci7PlaceholderHandle(), oci::OCI_HTYPE_BIND), 1);
  EXPECT_EQ(standIn.EntryCount("OCIHandleFree"), 0u);

  standIn.InjectStatus("OCIHandleAlloc", 1, oci::OCI_ERROR, 0);
  EXPECT_EQ(nOciHandleAlloc(&connection, &holder, oci::OCI_HTYPE_STMT), nullptr);
  EXPECT_TRUE(HasPoint(holder, 40));

  holder.Clear();
  void* statement = NewStatement(u"UPDATE DUAL SET DUMMY = 'X' WHERE 1 = 0");
  ASSERT_EQ(nOciStmtExecute(&connection, &holder, statement, nullptr, 2, 0, nullptr, 0), 1);
  std::uint32_t rows = 99;
  EXPECT_EQ(nOciAttrGet(&connection, &holder, statement, oci::OCI_HTYPE_STMT, &rows, oci::OCI_ATTR_ROW_COUNT, nullptr),
            1);
  EXPECT_EQ(rows, 0u);
  standIn.InjectStatus("OCIAttrGet", 1, oci::OCI_INVALID_HANDLE, 0);
  EXPECT_EQ(nOciAttrGet(&connection, &holder, statement, oci::OCI_HTYPE_STMT, &rows, oci::OCI_ATTR_ROW_COUNT, nullptr),
            0);
  EXPECT_TRUE(HasPoint(holder, 51));
  EXPECT_TRUE(HasMessageText(holder, u"OCI_INVALID_HANDLE"));

  // A free that fails raises with no error handle: no Oracle text, native number 0.
  holder.Clear();
  standIn.InjectStatus("OCIHandleFree", 1, oci::OCI_ERROR, 0);
  EXPECT_EQ(nOciHandleFree(&connection, &holder, statement, oci::OCI_HTYPE_STMT), 0);
  EXPECT_TRUE(HasPoint(holder, 126));
  EXPECT_EQ(holder.nGetNativeErrorCode(), 0u);
  EXPECT_EQ(nOciHandleFree(&connection, &holder, statement, oci::OCI_HTYPE_STMT), 1);

  // A parameter past the last column is OCI_NO_DATA, which fails.
  holder.Clear();
  void* query = NewStatement(u"SELECT 1 FROM DUAL");
  ASSERT_EQ(nOciStmtExecute(&connection, &holder, query, nullptr, 1, 0, nullptr, 0), 1);
  void* parameter = nullptr;
  EXPECT_EQ(nOciParamGet(&connection, &holder, query, oci::OCI_HTYPE_STMT, &parameter, 1), 1);
  standIn.InjectStatus("OCIParamGet", 1, oci::OCI_NO_DATA, 0);
  EXPECT_EQ(nOciParamGet(&connection, &holder, query, oci::OCI_HTYPE_STMT, &parameter, 2), 0);
  EXPECT_TRUE(HasPoint(holder, 53));
  nOciHandleFree(&connection, &holder, query, oci::OCI_HTYPE_STMT);
}

TEST_F(OciWrappers, TransactionsAndTwoPhasePrepare) {
  std::uint32_t mustCommit = 7;
  standIn.InjectStatus("OCITransPrepare", 1, oci::OCI_SUCCESS_WITH_INFO, 0);
  EXPECT_EQ(nOciTransPrepare(&connection, &holder, &mustCommit), 1);
  EXPECT_EQ(mustCommit, 0u);  // a read-only branch
  standIn.InjectStatus("OCITransPrepare", 1, oci::OCI_ERROR, 24756);
  mustCommit = 7;
  EXPECT_EQ(nOciTransPrepare(&connection, &holder, &mustCommit), 0);
  EXPECT_EQ(mustCommit, 7u);
  EXPECT_TRUE(HasPoint(holder, 108));
  EXPECT_EQ(holder.nGetNativeErrorCode(), 24756u);

  holder.Clear();
  standIn.InjectThrow("OCITransDetach", 1);
  EXPECT_EQ(nOciTransDetach(&connection, &holder), 0);
  EXPECT_TRUE(HasPoint(holder, 103));
  EXPECT_EQ(holder.pGetEmbeddedObject()->nGetCode(), 23u);

  // Without distributed transactions, start, detach and prepare make no call; commit and rollback still do.
  holder.Clear();
  standIn.ClearCallLog();
  connection.m_bNoDistributedTransactions = 1;
  EXPECT_EQ(nOciTransStart(&connection, &holder, 0), 1);
  EXPECT_EQ(nOciTransDetach(&connection, &holder), 1);
  EXPECT_EQ(nOciTransPrepare(&connection, &holder, &mustCommit), 1);
  EXPECT_EQ(mustCommit, 1u);
  EXPECT_EQ(nOciTransCommit(&connection, &holder, 0), 1);
  EXPECT_EQ(nOciTransRollback(&connection, &holder), 1);
  const std::vector<std::string> calls = standIn.CallLog();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].substr(0, 14), "OCITransCommit");
  EXPECT_EQ(calls[1].substr(0, 16), "OCITransRollback");

  standIn.InjectStatus("OCITransCommit", 1, oci::OCI_ERROR, 2091);
  EXPECT_EQ(nOciTransCommit(&connection, &holder, 0), 0);
  EXPECT_TRUE(HasPoint(holder, 96));
}

TEST_F(OciWrappers, LargeValues) {
  // The length the client is told is the caller's buffer length (a smaller buffer than a piece must not be
  // overrun), in the character set the national flag picks.
  char small[100];
  std::uint32_t amount = 100;
  std::uint32_t more = 7;
  standIn.InjectStatus("OCILobRead", 1, oci::OCI_NEED_DATA, 0);
  EXPECT_EQ(nOciLobRead(&connection, &holder, nullptr, &amount, 1, small, sizeof small, &more, 0), 1);
  EXPECT_EQ(more, 1u);
  EXPECT_TRUE(Contains(standIn.LastCall("OCILobRead"), "buflen=100 csid=0 csfrm=1")) << standIn.LastCall("OCILobRead");
  standIn.InjectStatus("OCILobRead", 1, oci::OCI_SUCCESS, 0);
  EXPECT_EQ(nOciLobRead(&connection, &holder, nullptr, &amount, 1, small, 64, &more, 1), 1);
  EXPECT_EQ(more, 0u);
  EXPECT_TRUE(Contains(standIn.LastCall("OCILobRead"), "buflen=64 csid=1000 csfrm=2"));
  EXPECT_FALSE(holder.bHasError());

  // After an exception the read counts as OCI_ERROR: the OCI error is raised and the message added.
  standIn.InjectThrow("OCILobRead", 1);
  EXPECT_EQ(nOciLobRead(&connection, &holder, nullptr, &amount, 1, small, sizeof small, &more, 0), 0);
  EXPECT_TRUE(HasPoint(holder, 113));
  EXPECT_TRUE(HasPoint(holder, 114));

  // An uninitialised locator: error 1041 with no OCI error under it.
  holder.Clear();
  void* locator = nullptr;
  ASSERT_EQ(nOciDescriptorAlloc(&connection, &holder, connection.m_pEnvironment, &locator, oci::OCI_DTYPE_LOB), 1);
  EXPECT_EQ(nOciLobLocatorIsInit(&connection, &holder, locator), 0);
  EXPECT_EQ(holder.pGetEmbeddedObject()->nGetCode(), 1041u);
  EXPECT_TRUE(HasPoint(holder, 148));
  EXPECT_EQ(holder.pGetEmbeddedObject()->nGetNestedCount(), 0u);

  // A failing call: the OCI error stays nested under error 1041.
  holder.Clear();
  standIn.InjectStatus("OCILobLocatorIsInit", 1, oci::OCI_ERROR, 22275);
  EXPECT_EQ(nOciLobLocatorIsInit(&connection, &holder, locator), 0);
  EXPECT_EQ(holder.pGetEmbeddedObject()->nGetCode(), 1041u);
  ASSERT_EQ(holder.pGetEmbeddedObject()->nGetNestedCount(), 1u);
  EXPECT_TRUE(HasPoint(holder, 118));

  // Open and close on a client with OCILobOpen; a failing open adds its message.
  holder.Clear();
  standIn.InjectStatus("OCILobOpen", 1, oci::OCI_ERROR, 22289);
  EXPECT_EQ(nOciLobOpen(&connection, &holder, locator, oci::OCI_DTYPE_LOB, 1), 0);
  EXPECT_TRUE(HasPoint(holder, 110));
}

// Each wrapper under a failing status: result 0, the Oracle number read from the error handle, the point of the
// raise and the wrapper's message (none for some).
TEST_F(OciWrappers, EachWrapperUnderAFailingStatus) {
  void* statement = NewStatement(u"SELECT :1 FROM DUAL");
  void* locator = nullptr;
  ASSERT_EQ(nOciDescriptorAlloc(&connection, &holder, connection.m_pEnvironment, &locator, oci::OCI_DTYPE_LOB), 1);
  char buffer[8] = "x";
  std::int16_t indicator = 0;
  std::uint16_t length = 0;
  std::uint16_t code = 0;
  std::uint32_t amount = 1;
  void* handle = nullptr;
  std::uint32_t kind = 0;
  std::uint8_t piece = 0;
  const struct {
    const char* entry;
    std::uint32_t point;
    std::uint32_t message;  // 0: none
    std::function<int()> call;
  } cases[] = {
      {"OCIBindByName", 61, 2463,
       [&] {
         return nOciBindByName(&connection, &holder, statement, &handle, 1, buffer, 2, oci::SQLT_STR, &indicator, &code,
                               0, nullptr, 1);
       }},
      {"OCIDefineByPos", 57, 2462,
       [&] {
         return nOciDefineByPos(&connection, &holder, statement, &handle, 1, buffer, 8, &length, oci::SQLT_STR,
                                &indicator, &code, 0, 1);
       }},
      {"OCIDescribeAny", 68, 2467, [&] { return nOciDescribeAny(&connection, &holder, u"NO_SUCH_TABLE", 1, nullptr); }},
      {"OCIDescriptorAlloc", 72, 0,
       [&] {
         return nOciDescriptorAlloc(&connection, &holder, connection.m_pEnvironment, &handle, oci::OCI_DTYPE_LOB);
       }},
      {"OCIStmtGetPieceInfo", 82, 0,
       [&] { return nOciGetPieceInfo(&connection, &holder, statement, &handle, &kind, &piece); }},
      {"OCIStmtSetPieceInfo", 86, 0,
       [&] {
         std::uint32_t size = 1;
         return nOciSetPieceInfo(&connection, &holder, statement, oci::OCI_HTYPE_STMT, buffer, &size, 1, &length,
                                 &code);
       }},
      {"OCITransStart", 90, 0, [&] { return nOciTransStart(&connection, &holder, 0); }},
      {"OCITransRollback", 102, 0, [&] { return nOciTransRollback(&connection, &holder); }},
      {"OCITransDetach", 104, 2536, [&] { return nOciTransDetach(&connection, &holder); }},
      {"OCILobWrite", 116, 2494,
       [&] { return nOciLobWrite(&connection, &holder, locator, &amount, 5, buffer, 1, 3, 0); }},
      {"OCILobClose", 120, 2490, [&] { return nOciLobClose(&connection, &holder, locator, oci::OCI_DTYPE_LOB); }},
  };
  for (const auto& c : cases) {
    holder.Clear();
    standIn.InjectStatus(c.entry, 1, oci::OCI_ERROR, 1001);
    EXPECT_EQ(c.call(), 0) << c.entry;
    EXPECT_EQ(standIn.EntryCount(c.entry), 1u) << c.entry;
    EXPECT_TRUE(HasPoint(holder, c.point)) << c.entry << ocitest::Dump(holder);
    // The descriptor allocation raises with no error handle: no Oracle number.
    EXPECT_EQ(holder.nGetNativeErrorCode(), std::string(c.entry) == "OCIDescriptorAlloc" ? 0u : 1001u) << c.entry;
    EXPECT_TRUE(c.message == 0 || ocitest::HasMessageNumber(holder, c.message)) << c.entry;
    standIn.Reset();
  }
  // A dynamic bind on a statement bind handle.
  holder.Clear();
  void* bind = nullptr;
  ASSERT_EQ(nOciBindByName(&connection, &holder, statement, &bind, 1, buffer, 2, oci::SQLT_STR, &indicator, &code, 2,
                           nullptr, 1),
            1);
  standIn.InjectStatus("OCIBindDynamic", 1, oci::OCI_ERROR, 1001);
  EXPECT_EQ(nOciBindDynamic(&connection, &holder, bind, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_TRUE(HasPoint(holder, 78));
  // The LOB write sends the whole value from offset 1 in one piece, whatever the caller names.
  standIn.ClearCallLog();
  nOciLobWrite(&connection, &holder, locator, &amount, 5, buffer, 1, 3, 0);
  EXPECT_TRUE(Contains(standIn.LastCall("OCILobWrite"), "offset=1 length=1 piece=0 "))
      << standIn.LastCall("OCILobWrite");
  nOciHandleFree(&connection, &holder, statement, oci::OCI_HTYPE_STMT);
}

TEST_F(OciWrappers, OciTextsInUtf16) {
  ocitest::TestConnection wide;
  ASSERT_TRUE(wide.Open(true));
  standIn.ClearCallLog();
  void* statement = nOciHandleAlloc(&wide, &holder, oci::OCI_HTYPE_STMT);
  ASSERT_EQ(nOciStmtPrepare(&wide, &holder, statement, u"SELECT 'é' FROM DUAL"), 1) << ocitest::Dump(holder);
  EXPECT_TRUE(Contains(standIn.LastCall("OCIStmtPrepare"), "sql=SELECT 'é' FROM DUAL"))
      << standIn.LastCall("OCIStmtPrepare");
  char16_t value[8] = {};
  std::uint16_t length = 0;
  std::int16_t indicator = 0;
  std::uint16_t code = 0;
  void* define = nullptr;
  // A text column of a UTF-16 client takes the session's character-set id.
  ASSERT_EQ(nOciDefineByPos(&wide, &holder, statement, &define, 1, value, sizeof value, &length, oci::SQLT_CHR,
                            &indicator, &code, 0, 0),
            1)
      << ocitest::Dump(holder);
  EXPECT_TRUE(Contains(standIn.LastCall("OCIAttrSet"), "htype=6 attr=31 value=873")) << standIn.LastCall("OCIAttrSet");

  // The Oracle text of an error is read in UTF-16 and its line ends become "\r\n".
  standIn.InjectStatus("OCIStmtExecute", 1, oci::OCI_ERROR, 942);
  EXPECT_EQ(nOciStmtExecute(&wide, &holder, statement, nullptr, 1, 0, nullptr, 0), 0);
  EXPECT_TRUE(HasMessageText(holder, u"ORA-00942")) << ocitest::Dump(holder);
  EXPECT_EQ(holder.pGetEmbeddedObject()->nGetCode(), 22u);
  nOciHandleFree(&wide, &holder, statement, oci::OCI_HTYPE_STMT);
}

}  // namespace
