#pragma once
// A console reporter that also prints, after the run, each benchmark's time against the
// baseline measured in the same run.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "extension.h"
#include "history.h"
#include "search_index.h"

namespace bench_support {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // pairs: (measured benchmark name, baseline benchmark name)
  explicit RatioReporter(std::vector<std::pair<std::string, std::string>> pairs) : pairs_(std::move(pairs)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    // With repetitions, the median stands for the benchmark (not the last aggregate: that is the cv).
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration || r.aggregate_name == "median")
        times_[r.run_name.function_name] = r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const auto& [measured, baseline] : pairs_) {
      auto m = times_.find(measured), b = times_.find(baseline);
      if (m == times_.end() || b == times_.end()) continue;
      std::printf("%-40s %10.3f ms   baseline %-28s %10.3f ms   ratio %.2f\n", measured.c_str(), m->second * 1e3,
                  baseline.c_str(), b->second * 1e3, m->second / b->second);
    }
  }

 private:
  std::vector<std::pair<std::string, std::string>> pairs_;
  std::map<std::string, double> times_;  // seconds
};

inline int runWithRatios(int argc, char** argv, std::vector<std::pair<std::string, std::string>> pairs) {
  // The bank's extensions that the program keeps, as every program registers them.
  store::registerExtension(history::extension());
  store::registerExtension(search::index::extension());
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter(std::move(pairs));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace bench_support
