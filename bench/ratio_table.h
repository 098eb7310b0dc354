// The table that ends a benchmark run: each measured run's time over its baseline's, beside the most it should be.
// Times are CPU time, the median of the repetitions (5 unless the command line asks otherwise): the machines these
// run on are shared, and wall time or a single run there measures the neighbours as much as the code.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace bench {

// A pair without a goal prints its ratio as a figure only.
inline constexpr double kNoGoal = 0;

// A measured run, the run it is compared with, the goal for their ratio and the name the table shows. `scale`
// multiplies the ratio: runs of different sizes are compared per item with it (the baseline's items over the
// measured run's).
struct SRatioPair {
  std::string measured;
  std::string baseline;
  double goal;
  std::string label;
  double scale = 1.0;
};

// Keeps each run's CPU time per iteration, for the table: the median of its repetitions where there are several.
class CRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.iterations <= 0) continue;
      const std::string& name = run.run_name.function_name;  // without the options the run was registered with
      if (run.run_type == Run::RT_Aggregate) {
        if (run.aggregate_name == "median") {
          m_times[name] = run.GetAdjustedCPUTime();
          m_fromMedian[name] = true;
        }
      } else if (!m_fromMedian[name]) {
        m_times[name] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  const std::map<std::string, double>& Times() const { return m_times; }

 private:
  std::map<std::string, double> m_times;
  std::map<std::string, bool> m_fromMedian;
};

// One line per pair whose two runs both ran: a filtered run shows only what it measured.
inline void PrintRatioTable(const CRatioReporter& reporter, const std::vector<SRatioPair>& pairs, int width) {
  std::printf("\n%-*s %8s %6s\n", width, "name", "ratio", "goal");
  for (const SRatioPair& pair : pairs) {
    const auto measured = reporter.Times().find(pair.measured);
    const auto baseline = reporter.Times().find(pair.baseline);
    if (measured == reporter.Times().end() || baseline == reporter.Times().end() || baseline->second <= 0) continue;
    const double ratio = measured->second / baseline->second * pair.scale;
    if (pair.goal == kNoGoal) {
      std::printf("%-*s %8.2f %6s\n", width, pair.label.c_str(), ratio, "-");
    } else {
      std::printf("%-*s %8.2f %6.1f\n", width, pair.label.c_str(), ratio, pair.goal);
    }
  }
}

// The command line with the default repetitions added when it names none.
inline std::vector<char*> WithRepetitions(int argc, char** argv) {
  static char repetitions[] = "--benchmark_repetitions=5";
  static char aggregates[] = "--benchmark_display_aggregates_only=true";
  std::vector<char*> args(argv, argv + argc);
  bool named = false;
  for (int i = 1; i < argc; ++i) named = named || std::strncmp(argv[i], "--benchmark_repetitions", 23) == 0;
  if (!named) {
    args.push_back(repetitions);
    args.push_back(aggregates);
  }
  args.push_back(nullptr);
  return args;
}

// Runs the benchmarks the command line selects, then `before` (figures of the run's own), then the ratio table;
// the exit code of a benchmark program.
inline int nRunWithRatioTable(int argc, char** argv, const std::vector<SRatioPair>& pairs, int width,
                              const std::function<void(const CRatioReporter&)>& before = {}) {
  std::vector<char*> args = WithRepetitions(argc, argv);
  int count = static_cast<int>(args.size()) - 1;
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  CRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  if (before) before(reporter);
  PrintRatioTable(reporter, pairs, width);
  benchmark::Shutdown();
  return 0;
}

}  // namespace bench
