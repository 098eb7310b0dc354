// The B+tree index against two containers holding the same entries: std::multimap, and absl::btree_multimap, a
// B-tree with wide nodes and the stronger baseline. Inserts, finds, seeks by rank and cursor moves from 10^3 to 10^6
// entries, with unique keys and with 2 to 1000 values per key as the key indexes have them (8-byte sortable keys,
// 4-byte record numbers). Each figure of the tree is followed by the baselines', and every line carries the heap bytes
// per entry: the tree's pool blocks, and what the baselines' allocators were asked for. The run ends with a table of
// the tree's time and memory over each baseline's.
#include <absl/container/btree_map.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cmath>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/ratio_table.h"
#include "foundation/bplus_tree.h"

namespace {

struct SKey {
  unsigned char bytes[8];
};

// The same order the tree uses (bytewise), with the comparison inlined as a multimap's would be.
struct CKeyLess {
  bool operator()(const SKey& a, const SKey& b) const { return std::memcmp(a.bytes, b.bytes, 8) < 0; }
};

// Heap bytes asked for by the baselines, one counter each (the btree's allocator is rebound to its node types).
std::int64_t gnMultimapBytes = 0;
std::int64_t gnBtreeBytes = 0;

template <typename T, std::int64_t* pBytes>
struct CCountingAllocator {
  using value_type = T;
  template <typename U>
  struct rebind {
    using other = CCountingAllocator<U, pBytes>;
  };
  CCountingAllocator() = default;
  template <typename U>
  CCountingAllocator(const CCountingAllocator<U, pBytes>&) {}
  T* allocate(std::size_t n) {
    *pBytes += static_cast<std::int64_t>(n * sizeof(T));
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, std::size_t n) {
    *pBytes -= static_cast<std::int64_t>(n * sizeof(T));
    std::allocator<T>().deallocate(p, n);
  }
  template <typename U>
  bool operator==(const CCountingAllocator<U, pBytes>&) const {
    return true;
  }
};

using SEntry = std::pair<const SKey, std::uint32_t>;
using Multimap = std::multimap<SKey, std::uint32_t, CKeyLess, CCountingAllocator<SEntry, &gnMultimapBytes>>;
using BtreeMultimap = absl::btree_multimap<SKey, std::uint32_t, CKeyLess, CCountingAllocator<SEntry, &gnBtreeBytes>>;

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
  BtreeMultimap btree;
  double treeBytesPerEntry = 0;
  double mapBytesPerEntry = 0;
  double btreeBytesPerEntry = 0;
};

constexpr std::size_t kProbes = std::size_t{1} << 20;

std::unique_ptr<SDataSet> gpData;

SDataSet& Data(std::size_t n, std::size_t perKey) {
  if (gpData && gpData->nEntries == n && gpData->nPerKey == perKey) return *gpData;
  gpData.reset();
  gnMultimapBytes = 0;
  gnBtreeBytes = 0;
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
    d.btree.emplace(key, record);
  }
  d.treeBytesPerEntry = static_cast<double>(d.tree.nGetBlockBytes()) / static_cast<double>(n);
  d.mapBytesPerEntry = static_cast<double>(gnMultimapBytes) / static_cast<double>(n);
  d.btreeBytesPerEntry = static_cast<double>(gnBtreeBytes) / static_cast<double>(n);
  return d;
}

void Report(benchmark::State& state, double bytesPerEntry) {
  state.counters["bytes/entry"] = bytesPerEntry;
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

// A baseline container of the data set, with its allocation counter.
template <typename Map>
struct SBaseline {
  Map SDataSet::*pMap;
  std::int64_t* pBytes;
  double SDataSet::*pBytesPerEntry;
};
const SBaseline<Multimap> kMultimap{&SDataSet::map, &gnMultimapBytes, &SDataSet::mapBytesPerEntry};
const SBaseline<BtreeMultimap> kBtree{&SDataSet::btree, &gnBtreeBytes, &SDataSet::btreeBytesPerEntry};

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

template <typename Map>
void InsertBaseline(benchmark::State& state, std::size_t n, std::size_t perKey, const SBaseline<Map>& b) {
  SDataSet& d = Data(n, perKey);
  double bytes = 0;
  for (auto _ : state) {
    const std::int64_t before = *b.pBytes;
    Map map;
    for (const auto& [key, record] : d.entries) map.emplace(key, record);
    bytes = static_cast<double>(*b.pBytes - before) / static_cast<double>(n);
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

template <typename Map>
void FindKeyBaseline(benchmark::State& state, std::size_t n, std::size_t perKey, const SBaseline<Map>& b) {
  SDataSet& d = Data(n, perKey);
  const Map& map = d.*b.pMap;
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& probe = d.entries[d.probes[i++ % kProbes]];
    benchmark::DoNotOptimize(map.lower_bound(probe.first)->second);
  }
  Report(state, d.*b.pBytesPerEntry);
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

template <typename Map>
void FindEntryBaseline(benchmark::State& state, std::size_t n, std::size_t perKey, const SBaseline<Map>& b) {
  SDataSet& d = Data(n, perKey);
  const Map& map = d.*b.pMap;
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& probe = d.entries[d.probes[i++ % kProbes]];
    auto range = map.equal_range(probe.first);
    auto at = std::find_if(range.first, range.second, [&](const auto& e) { return e.second == probe.second; });
    benchmark::DoNotOptimize(at);
  }
  Report(state, d.*b.pBytesPerEntry);
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

// Neither baseline counts entries per subtree: a rank is reached by stepping from the first entry.
template <typename Map>
void RankBaseline(benchmark::State& state, std::size_t n, std::size_t perKey, const SBaseline<Map>& b) {
  SDataSet& d = Data(n, perKey);
  const Map& map = d.*b.pMap;
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::next(map.begin(), d.probes[i++ % kProbes])->second);
  }
  Report(state, d.*b.pBytesPerEntry);
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

template <typename Map>
void MoveBaseline(benchmark::State& state, std::size_t n, std::size_t perKey, std::int32_t step,
                  const SBaseline<Map>& b) {
  SDataSet& d = Data(n, perKey);
  const Map& map = d.*b.pMap;
  auto at = map.begin();
  std::size_t rank = 0;
  for (auto _ : state) {
    if (rank + static_cast<std::size_t>(step) >= n) {
      at = map.begin();
      rank = 0;
    } else {
      std::advance(at, step);
      rank += static_cast<std::size_t>(step);
    }
    benchmark::DoNotOptimize(at->second);
  }
  Report(state, d.*b.pBytesPerEntry);
}

// ---- the table of ratios ------------------------------------------------------------------------------------------

const char* const kBaselines[] = {"multimap", "btree"};

// What the tree is held to, per figure and baseline: its time (or bytes) over the baseline's. The multimap is the
// floor: the tree answers no slower and holds no more than it. The btree packs its nodes as tightly and searches
// them as fast; the tree pays for the entry counts and the cursor upkeep that give it rank seeks and counted moves,
// and may be that much slower. A baseline reaches a rank by stepping, so the rank goal only asks for the counts to
// pay off.
struct SGoal {
  const char* figure;
  double vsMultimap;
  double vsBtree;
};
const SGoal kGoals[] = {
    {"insert", 1.0, 2.0}, {"find_key", 1.0, 1.5},  {"find_entry", 1.0, 1.5},     {"rank_seek", 1.0, 1.0},
    {"move_1", 1.0, 2.0}, {"move_100", 1.0, 1.0},  {"bytes/entry", 1.0, 1.5},
};

// Keeps each run's CPU time per iteration (the median of its repetitions where there are several) and its bytes
// per entry, for the table.
class CRatioReporter : public benchmark::ConsoleReporter {
 public:
  struct SFigures {
    double time = 0;
    double bytes = 0;
    bool median = false;
  };
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.iterations <= 0) continue;
      SFigures& f = m_Figures[run.run_name.function_name];
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Aggregate ? !median : f.median) continue;
      f.time = run.GetAdjustedCPUTime();
      f.median = median;
      const auto bytes = run.counters.find("bytes/entry");
      if (bytes != run.counters.end()) f.bytes = bytes->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  const std::map<std::string, SFigures>& Figures() const { return m_Figures; }

 private:
  std::map<std::string, SFigures> m_Figures;
};

// One line per figure, entry count and baseline: the geometric mean, over the values-per-key sets that ran, of the
// tree's figure over the baseline's. Memory is read from the find runs, which measure the data set's structures.
void PrintRatios(const CRatioReporter& reporter, const std::vector<std::size_t>& sizes,
                 const std::vector<std::size_t>& perKeys) {
  std::printf("\n%-30s %8s %6s\n", "name", "ratio", "goal");
  for (const SGoal& goal : kGoals) {
    const bool memory = std::string(goal.figure) == "bytes/entry";
    const char* run = memory ? "find_key" : goal.figure;
    for (const std::size_t n : sizes) {
      for (const char* baseline : kBaselines) {
        double logSum = 0;
        int sets = 0;
        for (const std::size_t perKey : perKeys) {
          char tree[96];
          char other[96];
          std::snprintf(tree, sizeof tree, "%s/tree/%zu/%zu", run, n, perKey);
          std::snprintf(other, sizeof other, "%s/%s/%zu/%zu", run, baseline, n, perKey);
          const auto a = reporter.Figures().find(tree);
          const auto b = reporter.Figures().find(other);
          if (a == reporter.Figures().end() || b == reporter.Figures().end()) continue;
          const double x = memory ? a->second.bytes : a->second.time;
          const double y = memory ? b->second.bytes : b->second.time;
          if (x <= 0 || y <= 0) continue;
          logSum += std::log(x / y);
          ++sets;
        }
        if (sets == 0) continue;
        char name[96];
        std::snprintf(name, sizeof name, "%s/%zu/%s", goal.figure, n, baseline);
        const double target = std::string(baseline) == "multimap" ? goal.vsMultimap : goal.vsBtree;
        std::printf("%-30s %8.3g %6.1f\n", name, std::exp(logSum / sets), target);
      }
    }
  }
}

const std::vector<std::size_t> kSizes = {1000, 10000, 100000, 1000000};
const std::vector<std::size_t> kPerKeys = {1, 2, 16, 100, 1000};

void RegisterAll() {
  // (entries, values per key): unique keys, then values per key through every form a key's values take (a single
  // value, plain lists of each class, nested lists).
  for (const std::size_t n : kSizes) {
    for (const std::size_t perKey : kPerKeys) {
      // The tree's figure, then each baseline's.
      auto add = [&](const char* what, auto tree, auto baseline) {
        char name[96];
        std::snprintf(name, sizeof name, "%s/tree/%zu/%zu", what, n, perKey);
        benchmark::RegisterBenchmark(name, tree);
        std::snprintf(name, sizeof name, "%s/multimap/%zu/%zu", what, n, perKey);
        benchmark::RegisterBenchmark(name, [baseline](benchmark::State& s) { baseline(s, kMultimap); });
        std::snprintf(name, sizeof name, "%s/btree/%zu/%zu", what, n, perKey);
        benchmark::RegisterBenchmark(name, [baseline](benchmark::State& s) { baseline(s, kBtree); });
      };
      add(
          "insert", [n, perKey](benchmark::State& s) { InsertTree(s, n, perKey); },
          [n, perKey](benchmark::State& s, const auto& b) { InsertBaseline(s, n, perKey, b); });
      add(
          "find_key", [n, perKey](benchmark::State& s) { FindKeyTree(s, n, perKey); },
          [n, perKey](benchmark::State& s, const auto& b) { FindKeyBaseline(s, n, perKey, b); });
      add(
          "find_entry", [n, perKey](benchmark::State& s) { FindEntryTree(s, n, perKey); },
          [n, perKey](benchmark::State& s, const auto& b) { FindEntryBaseline(s, n, perKey, b); });
      add(
          "rank_seek", [n, perKey](benchmark::State& s) { RankTree(s, n, perKey); },
          [n, perKey](benchmark::State& s, const auto& b) { RankBaseline(s, n, perKey, b); });
      add(
          "move_1", [n, perKey](benchmark::State& s) { MoveTree(s, n, perKey, 1); },
          [n, perKey](benchmark::State& s, const auto& b) { MoveBaseline(s, n, perKey, 1, b); });
      add(
          "move_100", [n, perKey](benchmark::State& s) { MoveTree(s, n, perKey, 100); },
          [n, perKey](benchmark::State& s, const auto& b) { MoveBaseline(s, n, perKey, 100, b); });
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  std::vector<char*> args = bench::WithRepetitions(argc, argv);
  int count = static_cast<int>(args.size()) - 1;
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  CRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintRatios(reporter, kSizes, kPerKeys);
  benchmark::Shutdown();
  gpData.reset();
  return 0;
}
