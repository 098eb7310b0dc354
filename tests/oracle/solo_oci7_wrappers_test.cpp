// The call wrappers over the OCI7 set of the stand-in: the OCI model emulated on cursor data areas and the
// placeholder handle, the auto-commit switch as the transaction, and error 1040 for the OCI-only calls.
#include <gtest/gtest.h>

#include <string>

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

class Oci7Wrappers : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    doubles::EnsureLibrary();
    CErrorHolder holder;
    ASSERT_EQ(bLoadOracleClient(&holder, gstrOciLibraryPath, nullptr, 1), 1) << ocitest::Dump(holder);
    gbOci7Mode = 1;
  }

  void SetUp() override {
    ASSERT_TRUE(connection.Open()) << "OCI7 logon on the stand-in";
    standIn.Reset();
  }

  StandIn& standIn = StandIn::Get();
  ocitest::TestConnection connection;
  CErrorHolder holder;
};

TEST_F(Oci7Wrappers, HandleKindsAreEmulated) {
  for (std::uint32_t kind : {oci::OCI_HTYPE_ERROR, oci::OCI_HTYPE_BIND, oci::OCI_HTYPE_DEFINE, oci::OCI_HTYPE_DESCRIBE,
                             oci::OCI_HTYPE_TRANS}) {
    EXPECT_EQ(nOciHandleAlloc(&connection, &holder, kind), pOci7PlaceholderHandle()) << kind;
  }
  EXPECT_EQ(standIn.CallCount(), 0u);
  for (std::uint32_t kind :
       {oci::OCI_HTYPE_ENV, oci::OCI_HTYPE_SVCCTX, oci::OCI_HTYPE_SERVER, oci::OCI_HTYPE_SESSION}) {
    CErrorHolder refused;
    EXPECT_EQ(nOciHandleAlloc(&connection, &refused, kind), nullptr) << kind;
    EXPECT_EQ(refused.pGetEmbeddedObject()->nGetCode(), 8u);
    EXPECT_EQ(refused.nGetRecordedCode(), 7u);
    EXPECT_TRUE(HasPoint(refused, 4));
  }

  // A statement is a cursor data area opened on the logon; a failed open frees it and answers null.
  standIn.InjectStatus("oopen", 1, -1, 1000);
  EXPECT_EQ(nOciHandleAlloc(&connection, &holder, oci::OCI_HTYPE_STMT), nullptr);
  EXPECT_TRUE(HasPoint(holder, 128));
  EXPECT_TRUE(HasMessageText(holder, u"Status = FFFFFFFF (OCI_ERROR)")) << ocitest::Dump(holder);
  holder.Clear();
  void* statement = nOciHandleAlloc(&connection, &holder, oci::OCI_HTYPE_STMT);
  ASSERT_NE(statement, nullptr) << ocitest::Dump(holder);
  EXPECT_EQ(standIn.EntryCount("oopen"), 2u);
  EXPECT_EQ(nOciHandleFree(&connection, &holder, statement, oci::OCI_HTYPE_STMT), 1);
  EXPECT_EQ(standIn.EntryCount("oclose"), 1u);
}

TEST_F(Oci7Wrappers, StatementsThroughTheCursorDataArea) {
  void* statement = nOciHandleAlloc(&connection, &holder, oci::OCI_HTYPE_STMT);
  ASSERT_EQ(nOciStmtPrepare(&connection, &holder, statement, u"SELECT 'ab' AS COL1 FROM DUAL"), 1)
      << ocitest::Dump(holder);
  ASSERT_EQ(nOciStmtExecute(&connection, &holder, statement, nullptr, 1, 0, nullptr, 0), 1) << ocitest::Dump(holder);
  CTString name;
  std::int32_t size = 0;
  std::int16_t type = 0, precision = 0, scale = 0, nullable = 0;
  ASSERT_EQ(nOciDescribeColumn(&connection, &holder, statement, 1, &size, &type, name, &precision, &scale, &nullable),
            1)
      << ocitest::Dump(holder);
  EXPECT_EQ(std::u16string(name.pszGet()), u"COL1");
  char value[8] = {};
  std::uint16_t length = 0;
  std::int16_t indicator = 0;
  std::uint16_t code = 0;
  void* define = nullptr;
  ASSERT_EQ(nOciDefineByPos(&connection, &holder, statement, &define, 1, value, sizeof value, &length, 96, &indicator,
                            &code, 0, 0),
            1)
      << ocitest::Dump(holder);
  std::uint32_t end = 7;
  ASSERT_EQ(nOciStmtFetch(&connection, &holder, statement, 1, 0, &end, nullptr), 1) << ocitest::Dump(holder);
  EXPECT_EQ(end, 0u);
  EXPECT_EQ(std::string(value, 2), "ab");
  ASSERT_EQ(nOciStmtFetch(&connection, &holder, statement, 1, 0, &end, nullptr), 1);
  EXPECT_EQ(end, 1u);  // rc 1403

  std::uint32_t rows = 0;
  EXPECT_EQ(nOciAttrGet(&connection, &holder, statement, oci::OCI_HTYPE_STMT, &rows, oci::OCI_ATTR_ROW_COUNT, nullptr),
            1);
  EXPECT_EQ(rows, 1u);
  EXPECT_EQ(nOciAttrGet(&connection, &holder, statement, oci::OCI_HTYPE_STMT, &rows, 10, nullptr), 0);
  EXPECT_EQ(holder.pGetEmbeddedObject()->nGetCode(), 1035u);
  EXPECT_TRUE(HasPoint(holder, 49));

  // The OCI-only calls report their entry as missing; a dynamic bind needs nothing.
  holder.Clear();
  void* parameter = nullptr;
  EXPECT_EQ(nOciParamGet(&connection, &holder, statement, oci::OCI_HTYPE_STMT, &parameter, 1), 0);
  EXPECT_EQ(holder.pGetEmbeddedObject()->nGetCode(), 1040u);
  EXPECT_TRUE(HasMessageText(holder, u"OCIParamGet"));
  EXPECT_TRUE(HasPoint(holder, 52));
  EXPECT_EQ(nOciBindDynamic(&connection, &holder, pOci7PlaceholderHandle(), nullptr, nullptr, nullptr, nullptr), 1);

  // A bind's handle is the placeholder; a failed execute raises the area's Oracle number.
  holder.Clear();
  ASSERT_EQ(nOciStmtPrepare(&connection, &holder, statement, u"SELECT * FROM NO_SUCH_TABLE WHERE 1 = :1"), 1);
  void* bind = nullptr;
  char key[4] = "1";
  ASSERT_EQ(nOciBindByName(&connection, &holder, statement, &bind, 1, key, 2, oci::SQLT_STR, &indicator, &code, 0,
                           nullptr, 1),
            1)
      << ocitest::Dump(holder);
  EXPECT_EQ(bind, pOci7PlaceholderHandle());
  EXPECT_EQ(nOciStmtExecute(&connection, &holder, statement, u"the statement", 1, 0, nullptr, 0), 0);
  EXPECT_EQ(holder.nGetNativeErrorCode(), 942u);
  EXPECT_TRUE(HasPoint(holder, 46));
  EXPECT_TRUE(HasMessageText(holder, u"the statement"));
  nOciHandleFree(&connection, &holder, statement, oci::OCI_HTYPE_STMT);
}

TEST_F(Oci7Wrappers, AutoCommitIsTheTransaction) {
  EXPECT_EQ(nOciTransStart(&connection, &holder, 0), 1);
  EXPECT_EQ(nOciTransCommit(&connection, &holder, 0), 1);
  EXPECT_EQ(nOciTransStart(&connection, &holder, 0), 1);
  EXPECT_EQ(nOciTransRollback(&connection, &holder), 1);
  std::vector<std::string> calls = standIn.CallLog();
  ASSERT_EQ(calls.size(), 6u);
  EXPECT_EQ(calls[0], "ocof");
  EXPECT_EQ(calls[1], "ocom");
  EXPECT_EQ(calls[2], "ocon");
  EXPECT_EQ(calls[3], "ocof");
  EXPECT_EQ(calls[4], "orol");
  EXPECT_EQ(calls[5], "ocon");

  // A failed commit leaves auto-commit off; detach and prepare make no call.
  standIn.ClearCallLog();
  standIn.InjectStatus("ocom", 1, -1, 1013);
  EXPECT_EQ(nOciTransCommit(&connection, &holder, 0), 0);
  EXPECT_TRUE(HasPoint(holder, 92));
  std::uint32_t mustCommit = 0;
  EXPECT_EQ(nOciTransDetach(&connection, &holder), 1);
  EXPECT_EQ(nOciTransPrepare(&connection, &holder, &mustCommit), 1);
  EXPECT_EQ(mustCommit, 1u);
  calls = standIn.CallLog();
  ASSERT_EQ(calls.size(), 2u);  // ocom, and the error text
  EXPECT_EQ(calls[0], "ocom");
}

}  // namespace
