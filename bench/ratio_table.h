// The table that ends a benchmark run: each measured run's time over its baseline's, beside the most it should be.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace bench {

// A measured run, the run it is compared with, the goal for their ratio and the name the table shows.
struct SRatioPair {
  std::string measured;
  std::string baseline;
  double goal;
  std::string label;
};

// Keeps each run's time per iteration, for the table of ratios.
class CRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (!run.error_occurred && run.iterations > 0) m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  const std::map<std::string, double>& Times() const { return m_times; }

 private:
  std::map<std::string, double> m_times;
};

// One line per pair whose two runs both ran: a filtered run shows only what it measured.
inline void PrintRatioTable(const CRatioReporter& reporter, const std::vector<SRatioPair>& pairs, int width) {
  std::printf("\n%-*s %8s %6s\n", width, "name", "ratio", "goal");
  for (const SRatioPair& pair : pairs) {
    const auto measured = reporter.Times().find(pair.measured);
    const auto baseline = reporter.Times().find(pair.baseline);
    if (measured == reporter.Times().end() || baseline == reporter.Times().end() || baseline->second <= 0) continue;
    std::printf("%-*s %8.2f %6.1f\n", width, pair.label.c_str(), measured->second / baseline->second, pair.goal);
  }
}

// Runs the benchmarks the command line selects, then `before` (figures of the run's own), then the ratio table;
// the exit code of a benchmark program.
inline int nRunWithRatioTable(int argc, char** argv, const std::vector<SRatioPair>& pairs, int width,
                              const std::function<void(const CRatioReporter&)>& before = {}) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  CRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  if (before) before(reporter);
  PrintRatioTable(reporter, pairs, width);
  benchmark::Shutdown();
  return 0;
}

}  // namespace bench
