// The comparisons under Google Benchmark, natively: every item is one
// benchmark whose manual time is the measured work alone, per request, and
// an item's cost is the fastest of its repetitions. --benchmark_filter picks
// items; one filtered out shows as -1 in the report.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "bench/Comparisons.h"

namespace {

double Fastest(const std::vector<double> &values) {
  return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

// The console table as usual, and each benchmark's fastest repetition into
// the plan.
class PlanReporter : public benchmark::ConsoleReporter {
 public:
  explicit PlanReporter(bench::Plan *plan) : ConsoleReporter(OO_Tabular), plan(plan) {}
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs) {
      if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "fastest") continue;
      if (bench::Item *item = plan->Find(run.run_name.function_name)) item->cost = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }

 private:
  bench::Plan *plan;
};

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  bench::HostLibrary library;
  bench::DirectPlugin plugin;
  if (!bench::ReportLoaded(argv[0], library, plugin)) return 1;

  bench::Plan plan;
  for (bench::Item &item : plan.Items()) {
    bench::Item *measured = &item;
    benchmark::RegisterBenchmark(item.name.c_str(),
                                 [measured, &library, &plugin](benchmark::State &state) {
                                   for (auto _ : state) {
                                     double seconds = 0;
                                     const bool right = bench::RunBatch(
                                         *measured, library, plugin, [&](const std::function<void()> &work) {
                                           const auto start = std::chrono::steady_clock::now();
                                           work();
                                           seconds = std::chrono::duration<double>(
                                                         std::chrono::steady_clock::now() - start)
                                                         .count();
                                         });
                                     if (!right) {
                                       state.SkipWithError("wrong reply");
                                       break;
                                     }
                                     state.SetIterationTime(seconds / static_cast<double>(measured->batch));
                                   }
                                 })
        ->UseManualTime()
        ->Unit(benchmark::kNanosecond)
        // Preparing and checking the blocks, not measured, takes a few times
        // the measured work: short runs keep the whole under two minutes.
        ->MinTime(0.03)
        ->Repetitions(7)
        ->ComputeStatistics("fastest", Fastest)
        ->ReportAggregatesOnly(true);
  }
  PlanReporter reporter(&plan);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::fflush(stdout);
  return plan.Report("native", "ns", bench::kTimedTargets, stdout) ? 0 : 3;
}
