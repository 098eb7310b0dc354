// Doubles of a record context's statement object and its table: a cursor whose server is a list of rows in memory
// (K, and V = 10 K), fetched in four directions and counted per direction; a table answering what a cursor asks of
// it (its column set, the buffer reset, the image copy, the record store's pins, the positioning that continues a
// read, a query's shared row source, an SQL query's description); and a driver object whose slot 51 makes the cursor
// and slots 46 and 47 counted bindings, or the driver's own ones.
#pragma once

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/cache/keyed_row_cache.h"
#include "engine/cache/position_links.h"
#include "engine/cache/row_cache.h"
#include "engine/cache/shared_row_source.h"
#include "engine/record/column.h"
#include "engine/record/record_description.h"
#include "engine/record/table_description.h"
#include "engine/table/cursor.h"
#include "engine/table/parameter_binding.h"
#include "engine/table/table.h"
#include "foundation/clone_map.h"
#include "foundation/module_errors.h"
#include "host/host_type.h"
#include "host/host_value.h"
#include "sql/rewriter/sql_rewriter.h"
#include "tests/doubles/table_doubles.h"

namespace doubles {

inline int gnLiveBindings = 0;

class TestBinding : public CParameterBinding {
 public:
  TestBinding() { ++gnLiveBindings; }
  ~TestBinding() override { --gnLiveBindings; }
  int bPrepare(CCursor*) override { return 1; }
  int bTransferValue(CRecordBuffer*) override { return 1; }
};

// A row cache that cannot grow past a number of rows.
class BoundedRowCache : public CRowCache {
 public:
  explicit BoundedRowCache(std::uint32_t most) : CRowCache(0), m_nMost(most) {}

 protected:
  bool bReserveRow() override { return nGetRowCount() < m_nMost && CRowCache::bReserveRow(); }

 private:
  std::uint32_t m_nMost;
};

class ScriptedCursor : public CCursor {
 public:
  using CCursor::CCursor;

  int bPrepare(std::uint32_t, std::uint32_t) override { return ++prepares, 1; }
  int bExecute(std::uint32_t) override {
    ++executes;
    position = -1;
    if (texts && pGetStatement()) texts->push_back(pGetStatement()->GetStatementText().pszGet());
    if (failures && !failures->empty()) {
      // A scripted run: 0 runs, anything else fails with that recorded state (the category the table reads).
      const std::uint32_t failure = failures->front();
      failures->erase(failures->begin());
      if (failure == 0) return 1;
      RaiseModuleError(pGetErrorHolder(), failure == RUN_FAILS_UNCLASSIFIED ? 0 : failure, ERROR_UNIT_ORACLE_CURSOR,
                       2, nullptr, u"T", 8);
      return 0;
    }
    return executeAnswer;
  }
  int bDescribe(CRecordDescription*) override { return ++describes, 1; }
  int bAddColumnBinding(void*, std::uint32_t) override { return ++columnBindings, 1; }
  int bBindParameter(CParameterBinding*, std::uint32_t) override { return ++parameterBindings, 1; }
  int bIsScrollable(std::uint32_t, std::uint32_t, std::uint32_t) override { return scrollable; }
  void EnableRowCache() override { ++enables; }
  // The scalar of a COUNT: the number of rows.
  int bReadScalarValue(CHostValue* value, std::uint32_t) override {
    const std::int64_t n = static_cast<std::int64_t>(rows.size());
    value->SetType(HOST_TYPE_INT64);
    value->Set(&n);
    return scalarAnswer;
  }
  // A query's SELECT as a fixed text, for a table in query mode without a query description.
  int bBuildSelect(CSqlRewriter* statement, std::uint32_t flags, const char16_t* sortItem, int ascending,
                   CSqlRewriter* filter) override {
    if (fixedSelect) return statement->nAppendText(u"SELECT K FROM Q") != 0;
    return CCursor::bBuildSelect(statement, flags, sortItem, ascending, filter);
  }
  int bReadCachedRow(std::uint32_t row) override {
    ++cachedReads;
    return CCursor::bReadCachedRow(row);
  }
  // First and last count from their end (first with count n: the nth row), next and previous from the last row
  // fetched; past either end nothing comes and the position stays beyond it.
  int bFetch(std::uint32_t direction, std::uint32_t, std::uint32_t* outOfRange, std::uint32_t count,
             void*) override {
    ++fetches[direction];
    if (++fetchNumber == failAtFetch) {
      RaiseNotAvailable(pGetErrorHolder(), ERROR_UNIT_ORACLE_CURSOR, 1, nullptr, u"fetch");
      return 0;
    }
    const std::int64_t size = static_cast<std::int64_t>(rows.size());
    std::int64_t target = direction == READ_FIRST  ? std::int64_t{count} - 1
                          : direction == READ_LAST ? size - count
                          : direction == READ_NEXT ? position + count
                                                   : position - count;
    if (target < 0 || target >= size) {
      position = target < 0 ? -1 : size;
      *outOfRange = 1;
      return 1;
    }
    position = target;
    Load(rows[static_cast<std::size_t>(target)]);
    *outOfRange = 0;
    return 1;
  }

  // The row with key k into the column set's current record.
  void Load(std::int32_t k) {
    SetInt(u"K", k);
    SetInt(u"V", k * 10);
  }
  void SetInt(const char16_t* name, std::int32_t n) {
    CColumn* column = pGetColumnSet()->pFindColumnByName(name);
    if (!column) return;
    CHostValue value;
    value.SetType(HOST_TYPE_INT32);
    value.Set(&n);
    column->bSetValue(value, 0);
  }
  void UseRowCache(CRowCache* cache) {
    cache->AddRef();
    cache->SetFlags(cache->nGetFlags() | ROW_CACHE_ACTIVE);
    if (m_pRowCache) m_pRowCache->nRelease();
    m_pRowCache = cache;
  }
  int bCacheComplete() const { return bRowCacheComplete(); }

  std::vector<std::int32_t> rows;
  std::int64_t position = -1;
  int fetches[4] = {0, 0, 0, 0};
  int fetchNumber = 0;
  int failAtFetch = 0;
  int scrollable = 0;
  bool fixedSelect = false;
  int executeAnswer = 1;
  int scalarAnswer = 1;
  int prepares = 0, executes = 0, describes = 0, columnBindings = 0, parameterBindings = 0, enables = 0,
      cachedReads = 0;
  // Shared by every cursor of a driver: the texts run, and the scripted outcome of each run in turn.
  static constexpr std::uint32_t RUN_FAILS_UNCLASSIFIED = 0xFFFF;
  std::vector<std::u16string>* texts = nullptr;
  std::vector<std::uint32_t>* failures = nullptr;
  // A copy through a clone map keeps its class and its server's rows and place.
  CCursor* pClone(CHashTable& cloneMap) override {
    if (throwOnClone) throw std::runtime_error("clone");
    auto* copy = new ScriptedCursor(nullptr, nullptr);
    return pCloneUnreferenced<CCursor>(copy, pGetErrorHolder(), [&](CCursor* made) {
      if (!made->bCopyFrom(this, cloneMap)) return 0;
      copy->rows = rows;
      copy->position = position;
      copy->texts = texts;
      copy->failures = failures;
      return 1;
    });
  }
  bool throwOnClone = false;
};

class CursorTable : public CTable, public IPositionTable {
 public:
  CursorTable(IHostFileDescription* description, CConnection* connection, CErrorHolder* holder)
      : CTable(description, connection, holder) {}
  CTableDescription* pGetTableDescription() override { return columns; }
  CQueryDescription* pGetQueryDescription() override { return query; }
  int bIsSqlQuery() override { return sqlQuery; }
  // Records keyed by their values, as the table engine keys them.
  IRowKey* pNewRecordKey(CRecord* record) override {
    SRecordImage image;
    image.pBytes = record->pGetBuffer()->pGetBlock();
    image.nByteCount = record->pGetBuffer()->nGetTotalLength();
    return new CRecordValuesKey(image);
  }
  int bResetRecordBuffer(std::uint32_t) override {
    ++resets;
    return columns->bAcceptCurrent();
  }
  void CopyImageToCurrent() override { columns->bRestoreCurrent(); }
  std::uint32_t nStoreContextRecord(CCursor*) override { return storeSlots ? nextSlot++ : SLOT_NONE; }
  void PinRecordSlot(std::uint32_t slot) override { ++pins[slot]; }
  void UnpinRecordSlot(std::uint32_t slot) override { --pins[slot]; }
  std::uint32_t nGetNextRecordSlot(std::uint32_t slot) override { return slot + 1; }
  int bComputeNextIdentifier(CColumn*) override { return ++identifiers, 1; }
  // The table goes on past the statement's rows as the test tells; without a script it finds no further row.
  int bPositionKeepingBuffer(CCursor* context, std::uint32_t, std::uint32_t direction, std::uint32_t) override {
    positionings.push_back(direction);
    if (onPosition) return onPosition(static_cast<ScriptedCursor*>(context));
    std::uint32_t out = 1;
    context->GetOutOfRange(&out);
    return 1;
  }
  int bHasAttachedDescription() override { return attached; }
  int bIsQueryMode() override { return queryMode; }
  // Records counted: all of them (mode -1) or those before the context's (mode 3), as the test says.
  int bCountRecords(std::int64_t* count, std::uint32_t, std::uint32_t, CCursor*, std::int32_t mode) override {
    *count = mode == 3 ? before : total;
    return countAnswer;
  }
  // Saved contexts, and reads in a context: the reading cursor's own read.
  int bStorePosition(RuntimeWord identifier, const char16_t*, std::uint32_t) override {
    *reinterpret_cast<std::uint32_t*>(identifier) = 77;
    ++stores;
    return 1;
  }
  int bRecallPosition(std::uint32_t identifier, RuntimeWord, std::uint32_t, std::uint32_t) override {
    recalled = identifier;
    return 1;
  }
  int bRead(const char16_t*, std::uint32_t direction, std::uint32_t, std::uint32_t, RuntimeWord,
            std::uint32_t) override {
    return reader->bRead(direction, 1, 1, nullptr);
  }
  CRecordDescription* pNewRecordDescription(const char16_t*) override {
    return pCreateDescriptionThroughDriver(pGetConnection(), pGetErrorHolder());
  }
  int bAttachDescription(CRecordDescription*) override {
    attached = 1;
    return 1;
  }

  // Saved positions pin in the record store when the test gives one; a slot's record is a row key of the server.
  IPositionTable* pGetPositionTable() override { return recordStore ? this : nullptr; }
  CKeyedRowCache* pGetRecordStore() override { return recordStore; }
  IPositionTable* pCloneThroughMap(CHashTable&) override { return this; }
  int bReadSlotIntoImage(std::uint32_t slot) override {
    auto found = slotKeys.find(slot);
    if (found == slotKeys.end()) {
      RaiseNotAvailable(pGetErrorHolder(), ERROR_UNIT_TABLE, 1, nullptr, u"slot");
      return 0;
    }
    static_cast<ScriptedCursor*>(reader)->Load(found->second);
    return columns->bAcceptCurrent();
  }
  int bIsStoredRecordDeleted(std::uint32_t slot) override { return deletedSlots.count(slot) != 0; }
  void SetKeyCondition(CKeyCondition* condition) override { keyCondition = condition; }
  int bReadInContext(const char16_t*, std::uint32_t direction, RuntimeWord count, std::uint32_t, std::uint32_t,
                     RuntimeWord, std::uint32_t flags) override {
    contextReads.push_back({direction, static_cast<std::uint32_t>(count), flags});
    return 1;
  }

  struct SContextRead {
    std::uint32_t direction, count, flags;
    bool operator==(const SContextRead&) const = default;
  };
  CKeyedRowCache* recordStore = nullptr;
  std::map<std::uint32_t, std::int32_t> slotKeys;
  std::map<std::uint32_t, int> deletedSlots;
  CKeyCondition* keyCondition = nullptr;
  std::vector<SContextRead> contextReads;

  // A query's shared rows: the source the test made (held once), dropped with every context's view of it.
  CSharedRowSource* pGetSharedRowSource() override { return shared; }
  int bDropSharedRowSource() override {
    ++drops;
    for (CCursor* context : contexts) context->DropSharedView();
    if (shared) shared->nRelease();
    shared = nullptr;
    return 1;
  }
  CCursor* pGetDefaultContext() override { return defaultContext; }

  CSharedRowSource* shared = nullptr;
  CCursor* defaultContext = nullptr;
  std::vector<CCursor*> contexts;
  int drops = 0;
  CTableDescription* columns = nullptr;
  CCursor* reader = nullptr;
  std::int64_t total = 0;
  std::int64_t before = 0;
  int countAnswer = 1;
  int stores = 0;
  std::uint32_t recalled = 0;
  int resets = 0;
  int identifiers = 0;
  int attached = 1;
  int queryMode = 0;
  int sqlQuery = 0;
  CQueryDescription* query = nullptr;
  bool storeSlots = false;
  std::uint32_t nextSlot = 0;
  std::map<std::uint32_t, int> pins;
  std::vector<std::uint32_t> positionings;
  std::function<int(ScriptedCursor*)> onPosition;
};

class CursorDriver : public ColumnMakingDriver {
 public:
  // Every cursor made starts with the server's rows the test gave the driver.
  void* pCreateCursor(RuntimeWord table, RuntimeWord holder) override {
    if (failCursors) return nullptr;
    auto* cursor = new ScriptedCursor(reinterpret_cast<CTable*>(table), reinterpret_cast<CErrorHolder*>(holder));
    cursor->rows = rows;
    cursor->texts = &texts;
    cursor->failures = &failures;
    return cursor;
  }
  // The driver's own bindings over their entries when a test reads values through them.
  void* pCreateParameterBinding(RuntimeWord entry, RuntimeWord position) override {
    return realBindings ? CDriver::pCreateParameterBinding(entry, position) : new TestBinding();
  }
  void* pCreateParameter(RuntimeWord entry, RuntimeWord position) override {
    return realBindings ? CDriver::pCreateParameter(entry, position) : new TestBinding();
  }
  bool realBindings = false;
  std::vector<std::int32_t> rows;
  bool failCursors = false;
  std::vector<std::u16string> texts;
  std::vector<std::uint32_t> failures;
};

}  // namespace doubles
