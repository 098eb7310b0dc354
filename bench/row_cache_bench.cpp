// The row cache against what reading rows should cost: reading every cached row of 100 bytes into a record, first
// to last and back (nMoveRow, bReadRow), against copying the same rows out of a std::vector (goal: within 3x). Storing
// rows is measured at 10^4 and 10^6 rows: a row stored into a large cache should cost what it costs into a small one
// (goal: the cost per row at 10^6 within 1.2x of that at 10^4). The time to fill each read cache and what it holds
// per row are printed after the run, then a table gives each ratio.
#include <benchmark/benchmark.h>

#include "bench/ratio_table.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/cache/row_cache.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/record.h"
#include "engine/record/record_buffer.h"
#include "engine/record/record_description.h"
#include "foundation/error_holder.h"

namespace {

constexpr std::uint32_t kRowBytes = 100;
const std::int64_t kSizes[] = {1000, 1000000};
const std::int64_t kStoreSizes[] = {10000, 1000000};

struct SFilled {
  CRowCache* cache;
  double buildMilliseconds;
  double bytesPerRow;
};

// What the run builds once and gives back at its end: the record layout and one filled cache per size.
struct SShared {
  CErrorHolder* holder = nullptr;
  CRecordDescription* description = nullptr;
  CRecordBuffer* prototype = nullptr;
  std::map<std::int64_t, SFilled> caches;

  ~SShared() {
    for (auto& [rows, filled] : caches) filled.cache->nRelease();
    if (prototype) prototype->nRelease();
    if (description) description->nRelease();
    if (holder) holder->nRelease();
  }
};

SShared& Shared() {
  static SShared shared;
  return shared;
}

// A record of kRowBytes bytes: one null-flag byte and a binary field.
CRecord* NewRecord() {
  SShared& shared = Shared();
  if (!shared.prototype) {
    shared.holder = new CErrorHolder();
    shared.holder->AddRef();
    shared.description = new CRecordDescription(nullptr, shared.holder);
    shared.description->AddRef();
    auto* item = new CColumnDescriptor();
    item->bSetAll(u"BYTES", u"T", u"", 1, kRowBytes - 1, COLUMN_TYPE_BINARY, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0);
    shared.description->AddItem(item);
    shared.description->LayoutItems();
    shared.prototype = new CRecordBuffer();
    shared.prototype->AddRef();
    shared.prototype->bBuildLayout(shared.description);
  }
  auto* record = new CRecord(shared.holder);
  record->AddRef();
  record->SetBuffer(shared.prototype);
  return record;
}

// The row bytes of row i: its number, then a filler that differs from row to row.
void FillRow(std::uint8_t* fields, std::uint32_t i) {
  std::memset(fields, static_cast<int>(i * 31 + 7), kRowBytes - 1);
  std::memcpy(fields, &i, sizeof(i));
}

// The cache of that many rows, filled on first use and kept for the whole run.
const SFilled& CacheOf(std::int64_t rows) {
  std::map<std::int64_t, SFilled>& caches = Shared().caches;
  auto found = caches.find(rows);
  if (found != caches.end()) return found->second;
  CRecord* record = NewRecord();
  std::vector<std::uint8_t> fields(kRowBytes - 1);
  auto* cache = new CRowCache(ROW_CACHE_ACTIVE);
  cache->AddRef();
  const auto start = std::chrono::steady_clock::now();
  for (std::uint32_t i = 0; i < rows; ++i) {
    FillRow(fields.data(), i);
    record->pGetBuffer()->SetData(fields.data(), kRowBytes - 1);
    cache->bStoreRecord(record);
  }
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  cache->SetComplete();
  record->nRelease();
  return caches[rows] = {cache, took.count(), static_cast<double>(cache->nGetBytesHeld()) / rows};
}

void ReadCachedRows(benchmark::State& state, std::int64_t rows) {
  CRowCache& cache = *CacheOf(rows).cache;
  CRecord* record = NewRecord();
  for (auto _ : state) {
    for (std::int32_t row = cache.nMoveRow(-1, ROW_MOVE_FIRST, 1); !cache.bIsRowOutOfRange(row);
         row = cache.nMoveRow(row, ROW_MOVE_NEXT, 1)) {
      cache.bReadRow(record, static_cast<std::uint32_t>(row));
    }
    for (std::int32_t row = cache.nMoveRow(-1, ROW_MOVE_LAST, 1); !cache.bIsRowOutOfRange(row);
         row = cache.nMoveRow(row, ROW_MOVE_PREVIOUS, 1)) {
      cache.bReadRow(record, static_cast<std::uint32_t>(row));
    }
    benchmark::DoNotOptimize(record->pGetBuffer()->pGetBlock());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * rows * 2);
  record->nRelease();
}

// A new cache filled with that many rows per iteration; giving it back is not timed.
void StoreRows(benchmark::State& state, std::int64_t rows) {
  CRecord* record = NewRecord();
  std::vector<std::uint8_t> fields(kRowBytes - 1);
  for (auto _ : state) {
    auto* cache = new CRowCache(ROW_CACHE_ACTIVE);
    cache->AddRef();
    for (std::uint32_t i = 0; i < rows; ++i) {
      FillRow(fields.data(), i);
      record->pGetBuffer()->SetData(fields.data(), kRowBytes - 1);
      cache->bStoreRecord(record);
    }
    state.PauseTiming();
    if (cache->nGetRowCount() != rows) state.SkipWithError("a row was not stored");
    cache->nRelease();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * rows);
  record->nRelease();
}

// The same rows in one vector, copied row by row into a buffer of the record's size.
void CopyVectorRows(benchmark::State& state, std::int64_t count) {
  const auto rows = static_cast<std::size_t>(count);
  std::vector<std::uint8_t> all(rows * kRowBytes);
  for (std::size_t i = 0; i < rows; ++i) {
    all[i * kRowBytes] = 0x80;
    FillRow(&all[i * kRowBytes + 1], static_cast<std::uint32_t>(i));
  }
  std::vector<std::uint8_t> target(kRowBytes);
  for (auto _ : state) {
    for (std::size_t i = 0; i < rows; ++i) std::memcpy(target.data(), &all[i * kRowBytes], kRowBytes);
    for (std::size_t i = rows; i-- > 0;) std::memcpy(target.data(), &all[i * kRowBytes], kRowBytes);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * count * 2);
}

// "<figure>/<side>/<rows>"
std::string Name(const char* side, std::int64_t rows, const char* figure = "read_rows") {
  char text[64];
  std::snprintf(text, sizeof(text), "%s/%s/%lld", figure, side, static_cast<long long>(rows));
  return text;
}

std::vector<bench::SRatioPair> RegisterAll() {
  std::vector<bench::SRatioPair> pairs;
  for (const std::int64_t rows : kSizes) {
    // Both sides warm: the cache was filled long before its read, the vector just before its walk.
    benchmark::RegisterBenchmark(Name("driver", rows).c_str(), [rows](benchmark::State& s) {
      ReadCachedRows(s, rows);
    })->MinWarmUpTime(0.1);
    benchmark::RegisterBenchmark(Name("baseline", rows).c_str(), [rows](benchmark::State& s) {
      CopyVectorRows(s, rows);
    })->MinWarmUpTime(0.1);
    pairs.push_back({Name("driver", rows), Name("baseline", rows), 3.0, "read_rows/" + std::to_string(rows)});
  }
  for (const std::int64_t rows : kStoreSizes) {
    benchmark::RegisterBenchmark(Name("driver", rows, "store_rows").c_str(), [rows](benchmark::State& s) {
      StoreRows(s, rows);
    })->Unit(benchmark::kMillisecond);
  }
  // Per row: the large cache's time over the small one's, scaled by the small one's rows over the large one's.
  const std::int64_t small = kStoreSizes[0];
  const std::int64_t large = kStoreSizes[1];
  pairs.push_back({Name("driver", large, "store_rows"), Name("driver", small, "store_rows"), 1.2,
                   "store_row/" + std::to_string(large) + "_vs_" + std::to_string(small),
                   static_cast<double>(small) / static_cast<double>(large)});
  // The key indexes' seeks over the same rows are measured by their own pairs, added here when they exist.
  return pairs;
}

}  // namespace

int main(int argc, char** argv) {
  return bench::nRunWithRatioTable(argc, argv, RegisterAll(), 24, [](const bench::CRatioReporter& reporter) {
    std::printf("\n%-10s %12s %14s\n", "rows", "build ms", "bytes per row");
    for (const std::int64_t rows : kSizes) {
      if (reporter.Times().count(Name("driver", rows)) == 0) continue;
      const SFilled& filled = CacheOf(rows);
      std::printf("%-10lld %12.1f %14.1f\n", static_cast<long long>(rows), filled.buildMilliseconds,
                  filled.bytesPerRow);
    }
  });
}
