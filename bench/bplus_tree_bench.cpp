// The B+tree index against std::multimap holding the same entries: inserts, finds, seeks by rank and cursor moves
// from 10^3 to 10^6 entries, with unique keys and with 2 to 1000 values per key as the key indexes have them
// (8-byte sortable keys, 4-byte record numbers). Each figure of the tree is followed by the multimap's, and every
// line carries the heap bytes per entry: the tree's pool blocks, and what the multimap's allocator was asked for.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "foundation/bplus_tree.h"

namespace {

struct SKey {
  unsigned char bytes[8];
};

// The same order the tree uses (bytewise), with the comparison inlined as a multimap's would be.
struct CKeyLess {
  bool operator()(const SKey& a, const SKey& b) const { return std::memcmp(a.bytes, b.bytes, 8) < 0; }
};

std::int64_t gnMultimapBytes = 0;

template <typename T>
struct CCountingAllocator {
  using value_type = T;
  CCountingAllocator() = default;
  template <typename U>
  CCountingAllocator(const CCountingAllocator<U>&) {}
  T* allocate(std::size_t n) {
    gnMultimapBytes += static_cast<std::int64_t>(n * sizeof(T));
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, std::size_t n) {
    gnMultimapBytes -= static_cast<std::int64_t>(n * sizeof(T));
    std::allocator<T>().deallocate(p, n);
  }
  template <typename U>
  bool operator==(const CCountingAllocator<U>&) const {
    return true;
  }
};

using Multimap = std::multimap<SKey, std::uint32_t, CKeyLess, CCountingAllocator<std::pair<const SKey, std::uint32_t>>>;

SKey MakeKey(std::uint64_t value) {
  SKey key;
  for (int i = 0; i < 8; ++i) key.bytes[i] = static_cast<unsigned char>(value >> (56 - 8 * i));
  return key;
}

// N entries over N / D keys, D record numbers each, in a random order; both structures built from them.
struct SDataSet {
  std::size_t nEntries = 0;
  std::size_t nPerKey = 0;
  std::vector<std::pair<SKey, std::uint32_t>> entries;
  std::vector<std::uint32_t> probes;  // kProbes indexes into entries, drawn at random
  CBPlusTree tree;
  Multimap map;
  double treeBytesPerEntry = 0;
  double mapBytesPerEntry = 0;
};

constexpr std::size_t kProbes = std::size_t{1} << 20;

std::unique_ptr<SDataSet> gpData;

SDataSet& Data(std::size_t n, std::size_t perKey) {
  if (gpData && gpData->nEntries == n && gpData->nPerKey == perKey) return *gpData;
  gpData.reset();
  gnMultimapBytes = 0;
  gpData = std::make_unique<SDataSet>();
  SDataSet& d = *gpData;
  d.nEntries = n;
  d.nPerKey = perKey;
  std::mt19937_64 random(42);
  const std::size_t keys = std::max<std::size_t>(1, n / perKey);
  for (std::size_t i = 0; i < n; ++i) {
    // Spread keys over a wide range, as encoded column values would be.
    d.entries.emplace_back(MakeKey((i % keys) * 0x9E3779B97F4A7C15ull >> 8), static_cast<std::uint32_t>(i));
  }
  std::shuffle(d.entries.begin(), d.entries.end(), random);
  // A long stream of probes whatever the size: cycling through the same n probes over and over lets the branch
  // predictor learn the multimap's path for each of them at 10^3 entries, which no real run of lookups allows.
  d.probes.resize(kProbes);
  for (auto& probe : d.probes) probe = static_cast<std::uint32_t>(random() % n);
  d.tree.bCreate(8, 4, nCompareBytes, 0);
  for (const auto& [key, record] : d.entries) {
    d.tree.bInsert(key.bytes, &record);
    d.map.emplace(key, record);
  }
  d.treeBytesPerEntry = static_cast<double>(d.tree.nGetBlockBytes()) / static_cast<double>(n);
  d.mapBytesPerEntry = static_cast<double>(gnMultimapBytes) / static_cast<double>(n);
  return d;
}

void Report(benchmark::State& state, double bytesPerEntry) {
  state.counters["bytes/entry"] = bytesPerEntry;
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// ---- insert: a whole structure built per iteration ----------------------------------------------------------------

void InsertTree(benchmark::State& state, std::size_t n, std::size_t perKey) {
  SDataSet& d = Data(n, perKey);
  double bytes = 0;
  for (auto _ : state) {
    CBPlusTree tree;
    tree.bCreate(8, 4, nCompareBytes, 0);
    for (const auto& [key, record] : d.entries) tree.bInsert(key.bytes, &record);
    bytes = static_cast<double>(tree.nGetBlockBytes()) / static_cast<double>(n);
    benchmark::DoNotOptimize(tree.nGetCount());
  }
  state.counters["bytes/entry"] = bytes;
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
}

void InsertMultimap(benchmark::State& state, std::size_t n, std::size_t perKey) {
  SDataSet& d = Data(n, perKey);
  double bytes = 0;
  for (auto _ : state) {
    const std::int64_t before = gnMultimapBytes;
    Multimap map;
    for (const auto& [key, record] : d.entries) map.emplace(key, record);
    bytes = static_cast<double>(gnMultimapBytes - before) / static_cast<double>(n);
    benchmark::DoNotOptimize(map.size());
  }
  state.counters["bytes/entry"] = bytes;
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
}

// ---- find a key: the first of its entries --------------------------------------------------------------------------

void FindKeyTree(benchmark::State& state, std::size_t n, std::size_t perKey) {
  SDataSet& d = Data(n, perKey);
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& probe = d.entries[d.probes[i++ % kProbes]];
    benchmark::DoNotOptimize(d.tree.bSeek(probe.first.bytes, SEEK_EXACT));
  }
  Report(state, d.treeBytesPerEntry);
}

void FindKeyMultimap(benchmark::State& state, std::size_t n, std::size_t perKey) {
  SDataSet& d = Data(n, perKey);
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& probe = d.entries[d.probes[i++ % kProbes]];
    benchmark::DoNotOptimize(d.map.lower_bound(probe.first)->second);
  }
  Report(state, d.mapBytesPerEntry);
}

// ---- find an entry: a key and one of its record numbers -------------------------------------------------------------

void FindEntryTree(benchmark::State& state, std::size_t n, std::size_t perKey) {
  SDataSet& d = Data(n, perKey);
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& probe = d.entries[d.probes[i++ % kProbes]];
    benchmark::DoNotOptimize(d.tree.bFind(probe.first.bytes, &probe.second));
  }
  Report(state, d.treeBytesPerEntry);
}

void FindEntryMultimap(benchmark::State& state, std::size_t n, std::size_t perKey) {
  SDataSet& d = Data(n, perKey);
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& probe = d.entries[d.probes[i++ % kProbes]];
    auto range = d.map.equal_range(probe.first);
    auto at = std::find_if(range.first, range.second, [&](const auto& e) { return e.second == probe.second; });
    benchmark::DoNotOptimize(at);
  }
  Report(state, d.mapBytesPerEntry);
}

// ---- seek by rank -----------------------------------------------------------------------------------------------

void RankTree(benchmark::State& state, std::size_t n, std::size_t perKey) {
  SDataSet& d = Data(n, perKey);
  std::size_t i = 0;
  for (auto _ : state) {
    d.tree.GoToRank(d.probes[i++ % kProbes]);
    benchmark::DoNotOptimize(d.tree.pGetCurrentData());
  }
  Report(state, d.treeBytesPerEntry);
}

void RankMultimap(benchmark::State& state, std::size_t n, std::size_t perKey) {
  SDataSet& d = Data(n, perKey);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::next(d.map.begin(), d.probes[i++ % kProbes])->second);
  }
  Report(state, d.mapBytesPerEntry);
}

// ---- cursor moves: one entry at a time, and 100 entries at a time ------------------------------------------------

void MoveTree(benchmark::State& state, std::size_t n, std::size_t perKey, std::int32_t step) {
  SDataSet& d = Data(n, perKey);
  d.tree.GoFirst();
  for (auto _ : state) {
    if (!d.tree.bMove(step, nullptr, 0)) d.tree.GoFirst();
    benchmark::DoNotOptimize(d.tree.pGetCurrentData());
  }
  Report(state, d.treeBytesPerEntry);
}

void MoveMultimap(benchmark::State& state, std::size_t n, std::size_t perKey, std::int32_t step) {
  SDataSet& d = Data(n, perKey);
  auto at = d.map.begin();
  std::size_t rank = 0;
  for (auto _ : state) {
    if (rank + static_cast<std::size_t>(step) >= n) {
      at = d.map.begin();
      rank = 0;
    } else {
      std::advance(at, step);
      rank += static_cast<std::size_t>(step);
    }
    benchmark::DoNotOptimize(at->second);
  }
  Report(state, d.mapBytesPerEntry);
}

void RegisterAll() {
  // (entries, values per key): unique keys, then values per key through every form a key's values take (a single
  // value, plain lists of each class, nested lists).
  std::vector<std::pair<std::size_t, std::size_t>> sets;
  for (std::size_t n : {1000, 10000, 100000, 1000000}) {
    for (std::size_t perKey : {1, 2, 16, 100, 1000}) sets.emplace_back(n, perKey);
  }
  for (const auto& [n, perKey] : sets) {
    auto pair = [&](const char* what, auto tree, auto map) {
      char name[96];
      std::snprintf(name, sizeof name, "%s/tree/%zu/%zu", what, n, perKey);
      benchmark::RegisterBenchmark(name, tree);
      std::snprintf(name, sizeof name, "%s/multimap/%zu/%zu", what, n, perKey);
      benchmark::RegisterBenchmark(name, map);
    };
    pair(
        "insert", [n, perKey](benchmark::State& s) { InsertTree(s, n, perKey); },
        [n, perKey](benchmark::State& s) { InsertMultimap(s, n, perKey); });
    pair(
        "find_key", [n, perKey](benchmark::State& s) { FindKeyTree(s, n, perKey); },
        [n, perKey](benchmark::State& s) { FindKeyMultimap(s, n, perKey); });
    pair(
        "find_entry", [n, perKey](benchmark::State& s) { FindEntryTree(s, n, perKey); },
        [n, perKey](benchmark::State& s) { FindEntryMultimap(s, n, perKey); });
    pair(
        "rank_seek", [n, perKey](benchmark::State& s) { RankTree(s, n, perKey); },
        [n, perKey](benchmark::State& s) { RankMultimap(s, n, perKey); });
    pair(
        "move_1", [n, perKey](benchmark::State& s) { MoveTree(s, n, perKey, 1); },
        [n, perKey](benchmark::State& s) { MoveMultimap(s, n, perKey, 1); });
    pair(
        "move_100", [n, perKey](benchmark::State& s) { MoveTree(s, n, perKey, 100); },
        [n, perKey](benchmark::State& s) { MoveMultimap(s, n, perKey, 100); });
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  gpData.reset();
  return 0;
}
