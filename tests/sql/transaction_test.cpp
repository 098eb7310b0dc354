// Flat and nested transactions of a connection: which statements reach the server, and the errors of unknown or
// blocked level names.
#include "sql/transaction.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "foundation/error_holder.h"
#include "standin/runtime/runtime_objects.h"
#include "tests/doubles/driver_doubles.h"

namespace {

using Statements = std::vector<std::u16string>;

class TransactionTest : public ::testing::Test {
 protected:
  void SetUp() override { doubles::EnsureLibrary(); }
  doubles::TestConnection& Make(bool flat) {
    connection = new doubles::TestConnection(u"cnx", reinterpret_cast<IHostConnectionDescription*>(&description),
                                             flat);
    connection->AddRef();
    return *connection;
  }
  void TearDown() override {
    if (connection) connection->nRelease();
  }

  qzrt::ConnectionDescription description;
  doubles::TestConnection* connection = nullptr;
  CErrorHolder holder;
};

TEST_F(TransactionTest, FlatModeSendsOnlyTheOutermostLevel) {
  auto& c = Make(true);
  EXPECT_EQ(c.bBeginLevel(&holder, u"a"), 1);
  EXPECT_EQ(c.bBeginLevel(&holder, u"b"), 1);
  EXPECT_EQ(c.nGetFlatDepth(), 2u);
  EXPECT_TRUE(c.bIsTransactionOpen());
  EXPECT_EQ(c.bCommitLevel(&holder, nullptr), 1);  // depth 2: counted only
  EXPECT_EQ(c.bCommitLevel(&holder, nullptr), 1);  // depth 1: the server commits
  EXPECT_EQ(c.statements, (Statements{u"BEGIN", u"COMMIT"}));
  EXPECT_EQ(c.nGetFlatDepth(), 0u);
  EXPECT_FALSE(c.bIsTransactionOpen());
  EXPECT_EQ(c.opens, 2);  // every begin connects the session first

  c.statements.clear();
  c.bBeginLevel(&holder, nullptr);
  c.bBeginLevel(&holder, nullptr);
  EXPECT_EQ(c.bRollbackLevel(&holder, nullptr), 1);  // depth 2: nothing sent
  EXPECT_EQ(c.statements, (Statements{u"BEGIN"}));
  EXPECT_EQ(c.bRollbackLevel(&holder, nullptr), 1);
  EXPECT_EQ(c.statements, (Statements{u"BEGIN", u"ROLLBACK"}));
  // With a transaction object but no begin, a commit sends nothing and succeeds.
  EXPECT_EQ(c.bCommitLevel(&holder, nullptr), 1);
  EXPECT_EQ(c.statements.size(), 2u);
}

// The driver's own level around one operation on a connection in nested mode: mode 0 counts flat, so a level the
// operation begins inside its own sends only the outermost begin and end, and the connection keeps its setting.
TEST_F(TransactionTest, TheDriversOwnLevelsInModeZeroReachTheServerOnlyAtTheOutermost) {
  auto& c = Make(false);
  for (bool commit : {true, false}) {
    c.statements.clear();
    EXPECT_EQ(c.bBeginNestedTransaction(&holder, nullptr, 0), 1);
    EXPECT_EQ(c.bBeginNestedTransaction(&holder, nullptr, 0), 1);
    EXPECT_EQ(c.bCommitNestedTransaction(&holder, nullptr, 0), 1);
    EXPECT_TRUE(c.bIsTransactionOpen()) << "the inner end only counted";
    EXPECT_EQ(commit ? c.bCommitNestedTransaction(&holder, nullptr, 0)
                     : c.bRollbackNestedTransaction(&holder, nullptr, 0),
              1);
    EXPECT_EQ(c.statements, (Statements{u"BEGIN", commit ? u"COMMIT" : u"ROLLBACK"}));
    EXPECT_FALSE(c.bIsTransactionOpen());
  }
  // The connection's own levels nest again afterwards.
  c.statements.clear();
  c.bBeginLevel(&holder, u"a");
  c.bBeginLevel(&holder, u"b");
  EXPECT_EQ(c.statements.size(), 2u);
}

TEST_F(TransactionTest, FailingBeginLeavesTheDepthAndTheLevel) {
  auto& c = Make(true);
  c.executeAnswer = 0;
  EXPECT_EQ(c.bBeginLevel(&holder, nullptr), 0);
  EXPECT_EQ(c.nGetFlatDepth(), 0u);
  EXPECT_FALSE(c.bIsTransactionOpen());
  c.openAnswer = 0;
  holder.Clear();
  EXPECT_EQ(c.bBeginLevel(&holder, nullptr), 0);  // no connection, no begin
  EXPECT_EQ(c.statements.size(), 1u);
}

TEST_F(TransactionTest, CommitOrRollbackBeforeAnyBeginFailsWithError9) {
  auto& c = Make(true);
  EXPECT_EQ(c.bCommitLevel(&holder, u"T1"), 0);
  EXPECT_EQ(holder.nGetErrorCode(), 9u);
  EXPECT_NE(std::u16string(holder.pszGetUserMessage()).find(u"T1"), std::u16string::npos);
  EXPECT_TRUE(doubles::HasIdentification(&holder, 1, 1));
  holder.Clear();
  EXPECT_EQ(c.bRollbackLevel(&holder, u"T2"), 0);
  EXPECT_TRUE(doubles::HasIdentification(&holder, 1, 2));
  EXPECT_TRUE(c.statements.empty());
}

TEST_F(TransactionTest, NestedCommitOfAnOuterLevelWaitsForTheInnerOne) {
  auto& c = Make(false);
  ASSERT_EQ(c.bBeginLevel(&holder, u"outer"), 1);
  ASSERT_EQ(c.bBeginLevel(&holder, u"inner"), 1);
  EXPECT_EQ(c.bCommitLevel(&holder, u"OUTER"), 0);  // names compare without case
  EXPECT_EQ(holder.nGetErrorCode(), 10u);
  const std::u16string message = holder.pszGetUserMessage();
  EXPECT_NE(message.find(u"OUTER"), std::u16string::npos);
  EXPECT_NE(message.find(u"inner"), std::u16string::npos);
  EXPECT_TRUE(doubles::HasIdentification(&holder, 2, 1));
  holder.Clear();
  EXPECT_EQ(c.bCommitLevel(&holder, u"inner"), 1);
  EXPECT_EQ(c.bCommitLevel(&holder, u"outer"), 1);
  EXPECT_EQ(c.statements, (Statements{u"BEGIN", u"BEGIN", u"COMMIT", u"COMMIT"}));
  EXPECT_FALSE(c.bIsTransactionOpen());
}

TEST_F(TransactionTest, NestedRollbackOfAnOuterLevelRollsBackTheInnerOnesOnly) {
  auto& c = Make(false);
  c.bBeginLevel(&holder, u"A");
  c.bBeginLevel(&holder, u"B");
  c.bBeginLevel(&holder, u"C");
  EXPECT_EQ(c.bRollbackLevel(&holder, u"A"), 1);
  EXPECT_EQ(c.statements, (Statements{u"BEGIN", u"BEGIN", u"BEGIN", u"ROLLBACK", u"ROLLBACK"}));
  EXPECT_TRUE(c.bIsTransactionOpen());  // A itself stays active
  EXPECT_EQ(c.bRollbackLevel(&holder, u"A"), 1);
  EXPECT_FALSE(c.bIsTransactionOpen());
  EXPECT_EQ(c.statements.size(), 6u);
}

TEST_F(TransactionTest, NestedUnknownNamesFailWithError9) {
  auto& c = Make(false);
  c.bBeginLevel(&holder, u"A");
  EXPECT_EQ(c.bCommitLevel(&holder, u"Z"), 0);
  EXPECT_EQ(holder.nGetErrorCode(), 9u);
  holder.Clear();
  EXPECT_EQ(c.bRollbackLevel(&holder, u"Z"), 0);
  EXPECT_TRUE(doubles::HasIdentification(&holder, 2, 2));
  EXPECT_TRUE(c.bIsTransactionOpen());
  // An empty name ends the innermost level; levels are reused by later begins at the same depth.
  c.bBeginLevel(&holder, u"B");
  CTransaction* inner = c.pGetTransaction()->pGetInner();
  EXPECT_EQ(c.bCommitLevel(&holder, nullptr), 1);
  EXPECT_TRUE(c.bIsTransactionOpen());
  c.bBeginLevel(&holder, u"B2");
  EXPECT_EQ(c.pGetTransaction()->pGetInner(), inner);
  EXPECT_EQ(std::u16string(inner->pszGetName()), u"B2");
}

// A deep chain of levels: each begin and each unnamed end costs the same at any depth, a named end finds its level
// far out, and the chain is released without one destructor calling the next.
TEST_F(TransactionTest, DeepNestingStaysFastAndReleasesWithoutRecursion) {
  auto& c = Make(false);
  constexpr int kDepth = 200000;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kDepth; ++i) ASSERT_EQ(c.bBeginLevel(&holder, u"L"), 1);
  EXPECT_EQ(c.bCommitLevel(&holder, nullptr), 1);  // the innermost
  EXPECT_EQ(c.bBeginLevel(&holder, u"last"), 1);
  // Commit of an outer level waits for the inner ones; rolling back the second level leaves the outermost alone.
  EXPECT_EQ(c.bCommitLevel(&holder, u"L"), 0);
  EXPECT_EQ(holder.nGetErrorCode(), 10u);
  holder.Clear();
  CTransaction* second = c.pGetTransaction()->pGetInner();
  ASSERT_NE(second, nullptr);
  c.statements.clear();
  EXPECT_EQ(second->bRollbackAll(&holder), 1);
  EXPECT_EQ(c.statements.size(), static_cast<std::size_t>(kDepth - 1));
  EXPECT_TRUE(c.bIsTransactionOpen());
  EXPECT_EQ(c.bBeginLevel(&holder, u"again"), 1);
  EXPECT_EQ(std::u16string(second->pszGetName()), u"again");  // reused, right inside the outermost
  EXPECT_EQ(c.bRollbackLevel(&holder, u"L"), 1);  // the outermost's inner levels only
  EXPECT_TRUE(c.bIsTransactionOpen());
  EXPECT_EQ(c.bRollbackLevel(&holder, nullptr), 1);
  EXPECT_FALSE(c.bIsTransactionOpen());
  // Quadratic walks would take minutes here; the whole run takes well under a second unoptimised.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  c.nRelease();  // the whole chain goes with the connection
  connection = nullptr;
}

TEST_F(TransactionTest, LockStatements) {
  auto& c = Make(true);
  EXPECT_EQ(c.bLockTable(&holder, reinterpret_cast<std::uintptr_t>(u"EMP")), 1);
  EXPECT_EQ(c.bSelectForUpdate(&holder, u"SELECT 1 FROM T"), 1);
  EXPECT_EQ(c.statements, (Statements{u"LOCK TABLE EMP", u"SELECT 1 FROM T FOR UPDATE"}));
}

}  // namespace
