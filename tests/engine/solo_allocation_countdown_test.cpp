// Records with memory that cannot be obtained: a copy of a record's large values ends in success with every value
// or in the out-of-memory error, and the same record copies whole once memory is back; a key index built over a
// decimal key, whose every read makes the decimal's byte form, keys every row or fails, a search past a text key's
// width lands after the keys it cuts to or fails, and a decimal column whose value cannot be read matches nothing.
#include <gtest/gtest.h>

#include <new>
#include <utility>
#include <vector>

#include "engine/cache/btree_key_index.h"
#include "engine/cache/row_cache.h"
#include "engine/record/column.h"
#include "engine/record/column_types.h"
#include "engine/record/record.h"
#include "engine/record/record_description.h"
#include "engine/record/record_factories.h"
#include "engine/record/table_description.h"
#include "engine/values/field_value.h"
#include "engine/values/value_row.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/x_error.h"
#include "tests/doubles/table_doubles.h"
#include "tests/engine/field_value_fixture.h"
#include "tests/support/countdown_allocator.h"

namespace {

using countdown::CPause;
using countdown::nRunUntilDone;

class RecordMemoryTest : public CFieldValueFixture {};

TEST_F(RecordMemoryTest, LargeValuesCopyWholeOrFailWithOutOfMemory) {
  CRecord* source = new CRecord(holder);
  source->AddRef();
  for (std::uint32_t i = 0; i < 2; ++i) {
    CFieldValue* value = new CFieldValue(holder, connection);
    value->AddRef();
    value->InitType(HOST_TYPE_TEXT, 0);
    ASSERT_TRUE(value->bSetWideText(i == 0 ? u"first large value" : u"second", FIELD_LENGTH_TERMINATED));
    ASSERT_TRUE(source->bSetLargeValue(i, value));
    value->nRelease();
  }
  // The first error raised loads the message texts every later one shares: before the counting.
  SetHolderOutOfMemory(holder);
  holder->Clear();
  std::uint64_t failures = 0;
  nRunUntilDone([&] {
    CRecord* target = nullptr;
    {
      CPause pause;
      target = new CRecord(holder);
      target->AddRef();
      holder->Clear();
    }
    const int copied = target->bCopyFrom(source, RECORD_PART_LARGE_VALUES);
    CPause pause;
    if (!copied) {
      ++failures;
      EXPECT_EQ(holder->pGetEmbeddedObject()->nGetSystemCode(), 14u) << "out of memory";
      holder->Clear();
      ASSERT_TRUE(target->bCopyFrom(source, RECORD_PART_LARGE_VALUES)) << "the same record, memory back";
    }
    ASSERT_NE(target->pGetLargeValues(), nullptr);
    EXPECT_EQ(target->pGetLargeValues()->nGetCount(), 2u);
    EXPECT_TRUE(bValueRowsEqual(target->pGetLargeValues(), source->pGetLargeValues()));
    target->nRelease();
    holder->Clear();  // the error's texts were made while counting
  });
  EXPECT_GT(failures, 0u);
  source->nRelease();
}

class RowRecords : public IKeyIndexOwner {
 public:
  CRecord* pNewRowRecord() override {
    auto* record = new (std::nothrow) CRecord(holder);
    if (record) record->AddRef();
    return record;
  }
  CErrorHolder* pGetErrorHolder() override { return holder; }
  CErrorHolder* holder = nullptr;
};

TEST_F(RecordMemoryTest, AKeyIndexOverADecimalKeysEveryRowOrFails) {
  doubles::ColumnMakingDriver columnDriver;
  gpDriver = &columnDriver;
  CRecordDescription* description = columnDriver.CDriver::pCreateDescription(connection, holder);
  description->AddRef();
  CColumnDescriptor* amount = pCreateColumnDescriptorThroughDriver(nullptr, 0);
  amount->bSetAll(u"AMOUNT", u"T", u"", 1, 9, COLUMN_TYPE_DECIMAL, 0xFFFFFFFF, 0xFFFFFFFF, 0, 18, 2);
  ASSERT_TRUE(description->AddItem(amount));
  CColumnDescriptor* name = pCreateColumnDescriptorThroughDriver(nullptr, 0);  // ten characters
  name->bSetAll(u"NAME", u"T", u"", 1, 11, COLUMN_TYPE_TEXT, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0);
  ASSERT_TRUE(description->AddItem(name));
  description->LayoutItems();
  auto* table = new doubles::ValueKeyedTable(connection, holder);
  table->AddRef();
  auto* tableDescription = new CTableDescription(holder, table);
  tableDescription->AddRef();
  ASSERT_TRUE(tableDescription->bBuild(description, nullptr, connection));
  CColumn* column = tableDescription->pFindColumnByName(u"AMOUNT");
  auto* cache = new CRowCache(ROW_CACHE_ACTIVE);
  cache->AddRef();
  CColumn* nameColumn = tableDescription->pFindColumnByName(u"NAME");
  for (auto [amountText, nameText] : {std::pair{u"5", u"abcdefghik"}, {u"-3.25", u"abcdefghij"}, {u"1", u"b"}}) {
    CHostValue value;
    MakeWide(value, amountText);
    ASSERT_TRUE(column->bSetValue(value, 0));
    MakeWide(value, nameText);
    ASSERT_TRUE(nameColumn->bSetValue(value, 0));
    cache->bStoreRecord(tableDescription->pGetCurrentRecord());
  }
  RowRecords owner;
  owner.holder = holder;
  CHostValue search;
  SetHolderOutOfMemory(holder);
  holder->Clear();
  std::uint64_t failures = 0;
  nRunUntilDone(
      [&] {
        CBTreeKeyIndex index(&owner, cache, column, &search);
        const int built = index.bBuild();
        CPause pause;
        holder->Clear();
        if (!built) {
          ++failures;
          return;
        }
        std::vector<std::uint32_t> rows;
        std::uint32_t row = 0;
        for (std::uint32_t direction = ROW_MOVE_FIRST; index.bMove(direction, 1, &row, nullptr) && row != ROW_NONE;
             direction = ROW_MOVE_NEXT) {
          rows.push_back(row);
        }
        EXPECT_EQ(rows, (std::vector<std::uint32_t>{1, 2, 0}));
      },
      countdown::EBadAlloc::kCleanFailure);
  EXPECT_GT(failures, 0u);
  // A search past the key's width lands after the keys it cuts to, or the move fails.
  CBTreeKeyIndex byName(&owner, cache, nameColumn, &search);
  ASSERT_TRUE(byName.bBuild());
  MakeWide(search, u"abcdefghijz");
  search.nConvert(static_cast<std::uint8_t>(nameColumn->nGetHostType()));  // no conversion while counting
  EXPECT_GT(nRunUntilDone([&] {
              std::uint32_t row = 9;
              const int moved = byName.bMove(ROW_MOVE_FIRST, 1, &row, nullptr);
              CPause pause;
              holder->Clear();
              EXPECT_TRUE(!moved || row == 0u) << row;
            }),
            0u);
  search.SetType(0);
  // The current record holds the last row's 1: a read refused matches no other value.
  CHostValue seven;
  MakeWide(seven, u"7");
  EXPECT_GT(nRunUntilDone([&] {
              EXPECT_EQ(column->bMatchesSearchValue(seven, 0), 0);
              CPause pause;
              holder->Clear();
            }),
            0u);
  cache->nRelease();
  tableDescription->nRelease();
  description->nRelease();
  table->nRelease();
}

}  // namespace
