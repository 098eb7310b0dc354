// The tree key index against std::multimap: seeking random present keys among 10^3 and 10^6 cached rows of 100 bytes
// (a 32-bit key, then filler), through the index's first move bounded by the statement's search value, against
// std::multimap::lower_bound on the same keys (goal: within 2x). Each index is built once from its cache; the build
// time and the tree's bytes per row are printed as counters. The run ends with a table of the ratios.
#include <benchmark/benchmark.h>

#include "bench/ratio_table.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/cache/btree_key_index.h"
#include "engine/cache/row_cache.h"
#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/record.h"
#include "engine/record/record_buffer.h"
#include "engine/record/record_description.h"
#include "foundation/error_holder.h"
#include "host/host_type.h"
#include "host/host_value.h"

namespace {

constexpr std::uint32_t kRowBytes = 100;
constexpr std::size_t kProbes = std::size_t{1} << 20;
const std::int64_t kSizes[] = {1000, 1000000};

// The statement side of the index: records of the table's layout.
class CBenchOwner : public IKeyIndexOwner {
 public:
  CRecord* pNewRowRecord() override;
  CErrorHolder* pGetErrorHolder() override;
};

// The layout, the key column and one indexed cache per size, built once and given back at the end of the run.
struct SIndexed {
  CRowCache* cache = nullptr;
  std::unique_ptr<CBTreeKeyIndex> index;
  std::vector<std::int32_t> keys;    // row i holds keys[i]
  std::vector<std::uint32_t> probes;  // random rows whose keys are sought
  std::multimap<std::int32_t, std::uint32_t> map;
  double buildMilliseconds = 0;
};

struct SShared {
  CErrorHolder* holder = nullptr;
  CRecordDescription* description = nullptr;
  CColumnDescriptor* keyItem = nullptr;
  CRecordBuffer* prototype = nullptr;
  CColumn* keyColumn = nullptr;
  CBenchOwner owner;
  CHostValue search;
  std::map<std::int64_t, SIndexed> sets;

  ~SShared() {
    for (auto& [rows, set] : sets) {
      set.index.reset();
      set.cache->nRelease();
    }
    if (keyColumn) keyColumn->nRelease();
    if (prototype) prototype->nRelease();
    if (description) description->nRelease();
    if (holder) holder->nRelease();
  }
};

SShared& Shared() {
  static SShared shared;
  if (!shared.holder) {
    shared.holder = new CErrorHolder();
    shared.holder->AddRef();
    shared.description = new CRecordDescription(nullptr, shared.holder);
    shared.description->AddRef();
    shared.keyItem = new CColumnDescriptor();
    shared.keyItem->bSetAll(u"K", u"T", u"", 1, 4, COLUMN_TYPE_INT32, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0);
    shared.description->AddItem(shared.keyItem);
    auto* filler = new CColumnDescriptor();
    filler->bSetAll(u"FILLER", u"T", u"", 1, kRowBytes - 8, COLUMN_TYPE_BINARY, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0);
    shared.description->AddItem(filler);
    shared.description->LayoutItems();
    shared.prototype = new CRecordBuffer();
    shared.prototype->AddRef();
    shared.prototype->bBuildLayout(shared.description);
    shared.keyColumn = new CColumn(shared.holder, shared.keyItem);
    shared.keyColumn->AddRef();
  }
  return shared;
}

CRecord* CBenchOwner::pNewRowRecord() {
  auto* record = new CRecord(Shared().holder);
  record->AddRef();
  record->SetBuffer(Shared().prototype);
  return record;
}

CErrorHolder* CBenchOwner::pGetErrorHolder() { return Shared().holder; }

// The cache of that many rows with distinct keys in random order, its tree index, and the same keys in a multimap.
SIndexed& SetOf(std::int64_t rows) {
  SShared& shared = Shared();
  auto found = shared.sets.find(rows);
  if (found != shared.sets.end()) return found->second;
  SIndexed& set = shared.sets[rows];
  std::mt19937 random(42);
  for (std::int64_t i = 0; i < rows; ++i) set.keys.push_back(static_cast<std::int32_t>(i * 7 - rows * 3));
  std::shuffle(set.keys.begin(), set.keys.end(), random);
  set.cache = new CRowCache(ROW_CACHE_ACTIVE);
  set.cache->AddRef();
  CRecord* record = shared.owner.pNewRowRecord();
  CHostValue value;
  value.SetType(HOST_TYPE_INT32);
  for (std::int64_t i = 0; i < rows; ++i) {
    value.Set(&set.keys[static_cast<std::size_t>(i)]);
    record->pGetBuffer()->bSetFieldFromValue(shared.keyItem, value, 0);
    set.cache->bStoreRecord(record);
    set.map.emplace(set.keys[static_cast<std::size_t>(i)], static_cast<std::uint32_t>(i));
  }
  record->nRelease();
  set.cache->SetComplete();
  set.index = std::make_unique<CBTreeKeyIndex>(&shared.owner, set.cache, shared.keyColumn, &shared.search);
  const auto start = std::chrono::steady_clock::now();
  if (!set.index->bBuild()) std::fprintf(stderr, "the index could not be built\n");
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  set.buildMilliseconds = took.count();
  set.probes.resize(kProbes);
  for (auto& probe : set.probes) probe = static_cast<std::uint32_t>(random() % static_cast<std::uint64_t>(rows));
  return set;
}

void SeekIndex(benchmark::State& state, std::int64_t rows) {
  SIndexed& set = SetOf(rows);
  CHostValue& search = Shared().search;
  search.SetType(HOST_TYPE_INT32);
  std::size_t i = 0;
  std::uint32_t row = 0;
  for (auto _ : state) {
    search.Set(&set.keys[set.probes[i++ % kProbes]]);
    set.index->bMove(ROW_MOVE_FIRST, 1, &row, nullptr);
    benchmark::DoNotOptimize(row);
  }
  search.SetType(0);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  state.counters["build_ms"] = set.buildMilliseconds;
  state.counters["tree_bytes/row"] = static_cast<double>(set.index->nGetBytesHeld()) / static_cast<double>(rows);
}

void SeekMultimap(benchmark::State& state, std::int64_t rows) {
  SIndexed& set = SetOf(rows);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(set.map.lower_bound(set.keys[set.probes[i++ % kProbes]])->second);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

std::vector<bench::SRatioPair> RegisterAll() {
  std::vector<bench::SRatioPair> pairs;
  for (const std::int64_t rows : kSizes) {
    char index[64];
    char baseline[64];
    std::snprintf(index, sizeof index, "tree_seek/index/%lld", static_cast<long long>(rows));
    std::snprintf(baseline, sizeof baseline, "tree_seek/multimap/%lld", static_cast<long long>(rows));
    benchmark::RegisterBenchmark(index, [rows](benchmark::State& s) { SeekIndex(s, rows); });
    benchmark::RegisterBenchmark(baseline, [rows](benchmark::State& s) { SeekMultimap(s, rows); });
    pairs.push_back({index, baseline, 2.0, "tree_seek/" + std::to_string(rows)});
  }
  return pairs;
}

}  // namespace

int main(int argc, char** argv) { return bench::nRunWithRatioTable(argc, argv, RegisterAll(), 24); }
