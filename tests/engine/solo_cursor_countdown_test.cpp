// A statement object reading a cached row where memory runs out: the row it reads for a position becomes its saved
// record, or the read fails with the out-of-memory error; a read reported done always leaves the saved record on
// that row, and the same read succeeds once memory is back.
#include <gtest/gtest.h>

#include "engine/record/record.h"
#include "foundation/x_error.h"
#include "sql/rewriter/sql_rewriter.h"
#include "tests/engine/cursor_fixture.h"
#include "tests/support/countdown_allocator.h"

namespace {

using countdown::CPause;
using countdown::nRunUntilDone;

class CursorMemoryTest : public CursorFixture {};

TEST_F(CursorMemoryTest, ACachedRowReadForAPositionTakesTheSavedRecordOrFails) {
  ReadTable({10, 20, 30});
  ASSERT_TRUE(cursor->bBuildStatement(SQL_STATEMENT_SELECT, NewStatement(), 0));
  ASSERT_TRUE(cursor->bOpen(0, 0));
  cursor->AttachRowCache(1);
  for (std::uint32_t direction : {READ_FIRST, READ_NEXT, READ_NEXT}) {
    ASSERT_TRUE(cursor->bRead(direction, 1, 1, nullptr));
  }
  CRowCache* cache = cursor->pGetRowCache();
  // The first error raised loads the message texts every later one shares: before the counting.
  SetHolderOutOfMemory(holder);
  holder->Clear();
  std::uint64_t failures = 0;
  nRunUntilDone([&] {
    doubles::ScriptedCursor* reader = nullptr;
    {
      CPause pause;
      reader = static_cast<doubles::ScriptedCursor*>(
          driver.pCreateCursor(reinterpret_cast<RuntimeWord>(table), reinterpret_cast<RuntimeWord>(holder)));
      reader->AddRef();
      reader->UseRowCache(cache);
      cursor->Load(0);
    }
    const int read = reader->bGoToCachedRow(1, nullptr);
    CPause pause;
    if (!read) {
      ++failures;
      CXError* error = holder->pGetEmbeddedObject();
      EXPECT_TRUE(error->nGetSystemCode() == 14u || holder->nGetErrorCode() == CURSOR_ERROR_CACHED_ROW)
          << "out of memory, or the row not read";
      holder->Clear();
      ASSERT_TRUE(reader->bGoToCachedRow(1, nullptr)) << "the same read, memory back";
    }
    EXPECT_EQ(Current(u"K"), 20);
    ASSERT_NE(reader->pGetSavedRecord(), nullptr) << "a read reported done without its saved record";
    EXPECT_TRUE(reader->pGetSavedRecord()->bEquals(columns->pGetCurrentRecord(), true));
    reader->nRelease();
    holder->Clear();
  });
  EXPECT_GT(failures, 0u);
}

}  // namespace
