// The rewriter's operand writer with memory that cannot be obtained: every run answers the whole qualified name,
// or 0 with error 12 at 10.6, never a success over a name quoting left short or empty.
#include <gtest/gtest.h>

#include <string>

#include "engine/record/column_types.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "sql/rewriter/sql_rewriter.h"
#include "tests/doubles/driver_doubles.h"
#include "tests/support/countdown_allocator.h"

namespace {

using countdown::CPause;
using countdown::nRunUntilDone;

// A dialect that quotes every name with double quotes.
class QuotingConnection : public doubles::TestConnection {
 public:
  QuotingConnection() : TestConnection(u"operand", nullptr) {
    m_nDbmsKind = 4;
    m_strOpeningQuote = u"\"";
    m_nOpeningQuoteLength = 1;
    m_strClosingQuote = u"\"";
    m_nClosingQuoteLength = 1;
  }
};

struct SOperandCase {
  const char* what;
  std::uint32_t type;
  std::uint32_t context;
  std::uint32_t operatorCode;
};

TEST(RewriterOperandMemoryTest, QualifiedNamesAreWholeOrTheWriterFails) {
  {
    // The first error raised loads what every later one shares; it is loaded before the counting.
    CErrorHolder* holder = new CErrorHolder();
    holder->AddRef();
    RaiseModuleError(holder, 0, ERROR_UNIT_REWRITER, REWRITER_POINT_GROWTH, nullptr, nullptr, 12);
    holder->nRelease();
  }
  // A plain column, and a time column of a comparison, which goes through the writer of operands as text.
  const SOperandCase cases[] = {{"plain", COLUMN_TYPE_INT32, SQL_CONTEXT_SELECT, 0},
                                {"as text", COLUMN_TYPE_TIME, SQL_CONTEXT_WHERE, SQL_NODE_EQ}};
  for (const SOperandCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::uint64_t failures = 0;
    nRunUntilDone([&] {
      CErrorHolder* holder = nullptr;
      QuotingConnection* connection = nullptr;
      CSqlRewriter* rewriter = nullptr;
      {
        CPause pause;
        holder = new CErrorHolder();
        holder->AddRef();
        connection = new QuotingConnection();
        connection->AddRef();
        rewriter = new CSqlRewriter(holder, connection);
        rewriter->AddRef();
      }
      SComparedColumn column;
      column.nType = c.type;
      column.pszTable = u"owner.some_table";
      column.pszColumn = u"some_column";
      CTString out;
      const int written = rewriter->bWriteOperand(column, c.context, c.operatorCode, nullptr, out);
      CPause pause;
      if (written) {
        EXPECT_EQ(std::u16string(out.pszGet()), u"\"owner\".\"some_table\".\"some_column\"");
        EXPECT_FALSE(holder->bHasError());
      } else {
        ++failures;
        EXPECT_TRUE(doubles::HasIdentification(holder, ERROR_UNIT_REWRITER, REWRITER_POINT_GROWTH));
      }
      rewriter->nRelease();
      connection->nRelease();
      holder->nRelease();
    });
    EXPECT_GT(failures, 0u) << "some run failed a quoting";
  }
}

}  // namespace
