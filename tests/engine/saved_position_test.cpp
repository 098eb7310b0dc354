// Saved positions and position keys: pins made and given back in the record store (also after the table that
// owned the store is gone), copies whose pins lie in the copied store, the owner's references, and the position
// key's item, value and match against the current row.
#include "engine/cache/saved_position.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/cache/keyed_row_cache.h"
#include "engine/cache/position_links.h"
#include "engine/record/column.h"
#include "engine/record/record_description.h"
#include "engine/record/table_description.h"
#include "foundation/clone_map.h"
#include "foundation/reference_guard.h"
#include "tests/doubles/table_doubles.h"
#include "tests/engine/row_cache_fixture.h"

namespace {

using rowcache::Hold;
using rowcache::Ref;

// A table as positions see it: a record store, which it can give up, and copies through a clone map.
class PositionTable final : public IPositionTable {
 public:
  explicit PositionTable(CKeyedRowCache* store) { Exchange(m_pStore, store); }
  ~PositionTable() { GiveUpStore(); }
  CKeyedRowCache* pGetRecordStore() override { return m_pStore; }
  IPositionTable* pCloneThroughMap(CHashTable& map) override {
    std::uint64_t known = 0;
    if (map.bLookup(nCloneKey(this), &known, nullptr)) return reinterpret_cast<PositionTable*>(known);
    auto copy = std::make_unique<PositionTable>(nullptr);
    bRegisterClone(map, this, copy.get());
    copy->m_pStore = static_cast<CKeyedRowCache*>(pCloneChild<CRowCache>(map, m_pStore));
    copies.push_back(std::move(copy));
    return copies.back().get();
  }
  void GiveUpStore() { Exchange<CKeyedRowCache>(m_pStore, nullptr); }

  std::vector<std::unique_ptr<PositionTable>> copies;

 private:
  CKeyedRowCache* m_pStore = nullptr;
};

// A statement object as positions see it: counted references, its table, copies through a clone map.
class PositionOwner final : public IPositionOwner {
 public:
  explicit PositionOwner(IPositionTable* table) : m_pTable(table) {}
  void AddOwnerReference() override { ++references; }
  void ReleaseOwnerReference() override { --references; }
  IPositionTable* pGetOwnerTable() override { return m_pTable; }
  IPositionOwner* pCloneThroughMap(CHashTable& map) override {
    std::uint64_t known = 0;
    if (map.bLookup(nCloneKey(this), &known, nullptr)) return reinterpret_cast<PositionOwner*>(known);
    copies.push_back(std::make_unique<PositionOwner>(nullptr));
    bRegisterClone(map, this, copies.back().get());
    copies.back()->m_pTable = m_pTable ? m_pTable->pCloneThroughMap(map) : nullptr;
    return copies.back().get();
  }

  int references = 0;
  std::vector<std::unique_ptr<PositionOwner>> copies;

 private:
  IPositionTable* m_pTable;
};

class SavedPositionTest : public rowcache::RowCacheFixture {
 protected:
  void SetUp() override {
    RowCacheFixture::SetUp();
    store = Hold(new CKeyedRowCache());
    for (std::uint32_t i = 0; i < 3; ++i) {
      records.push_back(Row(i));
      ASSERT_EQ(store->nStoreKeyed(records.back().get()), i);
    }
  }
  void TearDown() override {
    records.clear();
    store.reset();
    RowCacheFixture::TearDown();
  }
  std::vector<std::uint32_t> Pins(CKeyedRowCache* cache) {
    std::vector<std::uint32_t> pins;
    for (std::uint32_t row = 0; row < cache->nGetRowCount(); ++row) pins.push_back(cache->nGetPinCount(row));
    return pins;
  }

  Ref<CKeyedRowCache> store;
  std::vector<Ref<CRecord>> records;
};

TEST_F(SavedPositionTest, PinsComeBackAndFreeTheirRows) {
  PositionTable table(store.get());
  PositionOwner owner(&table);
  CPositionKey key;
  auto position = Hold(new CSavedPosition());
  position->SetOwner(&owner);
  EXPECT_EQ(position->pGetTable(), &table);
  EXPECT_EQ(owner.references, 1);
  ASSERT_TRUE(position->bSave(5, 1, key, 3));
  position->BindToCache(&table, 2);
  EXPECT_TRUE(position->bIsValid());
  EXPECT_EQ(position->nGetRow(), 5u);
  EXPECT_EQ(position->nGetMode(), 3u);
  EXPECT_EQ(Pins(store.get()), (std::vector<std::uint32_t>{0, 1, 1}));
  position->BindToCache(&table, 0);  // a second binding gives the first back
  EXPECT_EQ(Pins(store.get()), (std::vector<std::uint32_t>{1, 1, 0}));

  auto none = Hold(new CSavedPosition());
  none->SetOwner(&owner);
  ASSERT_TRUE(none->bSave(6, ROW_NONE, key, 0));
  EXPECT_EQ(none->nGetPinnedRow(), ROW_NONE);
  none.reset();
  EXPECT_EQ(Pins(store.get()), (std::vector<std::uint32_t>{1, 1, 0})) << "a position on no row unpins nothing";

  IPositionOwner* held = position->pGetOwner();
  EXPECT_EQ(held, &owner);
  EXPECT_EQ(owner.references, 2);
  held->ReleaseOwnerReference();
  position.reset();
  EXPECT_EQ(owner.references, 0);
  EXPECT_EQ(Pins(store.get()), (std::vector<std::uint32_t>{0, 0, 0}));
  EXPECT_EQ(store->nGetFirstFreeRow(), 0u);
  Ref<CRecord> next = Row(9);
  EXPECT_EQ(store->nStoreKeyed(next.get()), 0u) << "the row the last position let go is reused";
}

// The table gives its record store up and goes before the position: the position still unpins, in the store it
// holds, and touches nothing of the table.
TEST_F(SavedPositionTest, PositionsOutliveTheirTable) {
  auto table = std::make_unique<PositionTable>(store.get());
  PositionOwner owner(table.get());
  CPositionKey key;
  auto position = Hold(new CSavedPosition());
  position->SetOwner(&owner);
  ASSERT_TRUE(position->bSave(0, 1, key, 0));
  position->BindToCache(table.get(), 2);
  table->GiveUpStore();
  table.reset();
  EXPECT_EQ(store->nGetRefCount(), 3u) << "the test's and one per pin of the position";
  position.reset();
  EXPECT_EQ(Pins(store.get()), (std::vector<std::uint32_t>{0, 0, 0}));
  EXPECT_EQ(store->nGetRefCount(), 1u);
}

TEST_F(SavedPositionTest, CopiesHoldTheirPinsInTheCopiedStore) {
  PositionTable table(store.get());
  PositionOwner owner(&table);
  CPositionKey key;
  auto position = Hold(new CSavedPosition());
  position->SetOwner(&owner);
  ASSERT_TRUE(position->bSave(4, 1, key, 2));
  position->SetName(u"P1");
  position->SetState(7);

  CHashTable map(7);
  IPositionTable* tableCopy = table.pCloneThroughMap(map);  // the table first, as the table object copies
  auto copy = Hold(position->pClone(map));
  ASSERT_NE(copy.get(), nullptr);
  EXPECT_EQ(copy->pGetTable(), tableCopy);
  CKeyedRowCache* storeCopy = tableCopy->pGetRecordStore();
  ASSERT_NE(storeCopy, store.get());
  EXPECT_EQ(Pins(storeCopy), (std::vector<std::uint32_t>{0, 1, 0})) << "the pin came with the store, not again";
  EXPECT_EQ(copy->nGetPinnedRow(), 1u);
  EXPECT_EQ(copy->nGetRow(), 4u);
  EXPECT_EQ(copy->nGetMode(), 2u);
  EXPECT_EQ(copy->nGetState(), 7u);
  EXPECT_EQ(std::u16string(copy->pszGetName()), u"P1");
  ASSERT_EQ(owner.copies.size(), 1u);
  EXPECT_EQ(owner.copies[0]->references, 1);
  EXPECT_EQ(owner.copies[0]->pGetOwnerTable(), tableCopy);

  copy.reset();
  EXPECT_EQ(Pins(storeCopy), (std::vector<std::uint32_t>{0, 0, 0}));
  EXPECT_EQ(Pins(store.get()), (std::vector<std::uint32_t>{0, 1, 0}));
  EXPECT_EQ(owner.copies[0]->references, 0);
}

// The position key against a column set: exact and prefix matches of the item's column on the current row.
class PositionKeyTest : public CFieldValueFixture {
 protected:
  void SetUp() override {
    CFieldValueFixture::SetUp();
    gpDriver = &columnDriver;
    description = columnDriver.CDriver::pCreateDescription(connection, holder);
    description->AddRef();
    description->SetName(u"T");
    item = pCreateColumnDescriptorThroughDriver(nullptr, 0);
    item->bSetAll(u"LABEL", u"T", u"", 1, 11, COLUMN_TYPE_TEXT, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0);
    ASSERT_TRUE(description->AddItem(item));
    description->LayoutItems();
    table = new doubles::ValueKeyedTable(connection, holder);
    table->AddRef();
    columns = new CTableDescription(holder, table);
    columns->AddRef();
    ASSERT_TRUE(columns->bBuild(description, nullptr, connection));
  }
  void TearDown() override {
    columns->nRelease();
    description->nRelease();
    table->nRelease();
    CFieldValueFixture::TearDown();
  }
  static void Text(CHostValue& value, const char16_t* text) {
    MakeWide(value, text);
    value.nConvert(HOST_TYPE_ASTRING);
  }

  doubles::ColumnMakingDriver columnDriver;
  CRecordDescription* description = nullptr;
  CColumnDescriptor* item = nullptr;
  CTable* table = nullptr;
  CTableDescription* columns = nullptr;
};

TEST_F(PositionKeyTest, MatchesTheCurrentRowExactlyOrAsASearch) {
  CHostValue abc, ab;
  Text(abc, u"ABC");
  Text(ab, u"AB");
  ASSERT_TRUE(columns->pFindColumnByName(u"LABEL")->bSetValue(abc, 0));
  const std::uint32_t references = item->nGetRefCount();

  CPositionKey key;
  EXPECT_TRUE(key.bApply(columns)) << "no item: nothing to contradict";
  struct SCase {
    CHostValue* value;
    std::uint32_t flags;
    int matches;
  };
  const SCase cases[] = {{&ab, 0, 0}, {&ab, POSITION_KEY_SEARCH, 1}, {&abc, 0, 1}};
  for (const SCase& c : cases) {
    key.Set(item, *c.value, c.flags);
    EXPECT_EQ(key.bApply(columns), c.matches) << c.flags;
  }
  EXPECT_FALSE(key.bApply(nullptr)) << "no column to show the row stands on the key";
  EXPECT_EQ(item->nGetRefCount(), references + 1);

  CPositionKey copy;
  copy.Assign(key);
  EXPECT_EQ(copy.pGetItem(), item);
  EXPECT_EQ(copy.nGetFlags(), 0u);
  EXPECT_EQ(item->nGetRefCount(), references + 2);
  key.Set(item, key.GetValue(), POSITION_KEY_SEARCH);  // its own item and value again
  EXPECT_EQ(item->nGetRefCount(), references + 2);
  EXPECT_TRUE(key.bApply(columns));
  key.Clear();
  copy.Assign(key);
  EXPECT_EQ(copy.pGetItem(), nullptr);
  EXPECT_EQ(copy.GetValue().nGetType(), 0u);
  EXPECT_EQ(item->nGetRefCount(), references);
}

}  // namespace
