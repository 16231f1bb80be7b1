// Times the comparisons with the platform's own clock: QueryPerformanceCounter
// on Windows, where it runs the real tovracaller.dll (under Wine on this
// machine), and steady_clock natively. Rounds visit every item in turn, so a
// busy moment of the machine touches all of them alike; an item's cost is its
// fastest round.
//
//   tovra_bench_timer [--name NAME] [--rounds N] [--round-ms MS]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/Comparisons.h"
#include "bench/Seconds.h"

namespace {

struct Options {
  const char *name = "timer";
  int rounds = 9;
  double roundSeconds = 0.02;  // measured time per item and round, at least
};

bool ParseOptions(int argc, char **argv, Options *options) {
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(argv[i], "--name") == 0 && hasValue)
      options->name = argv[++i];
    else if (std::strcmp(argv[i], "--rounds") == 0 && hasValue)
      options->rounds = std::atoi(argv[++i]);
    else if (std::strcmp(argv[i], "--round-ms") == 0 && hasValue)
      options->roundSeconds = std::atof(argv[++i]) / 1000;
    else
      return false;
  }
  return options->rounds > 0 && options->roundSeconds > 0;
}

}  // namespace

int main(int argc, char **argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr, "usage: %s [--name NAME] [--rounds N] [--round-ms MS]\n", argv[0]);
    return 2;
  }
  bench::HostLibrary library;
  bench::DirectPlugin plugin;
  if (!bench::ReportLoaded(argv[0], library, plugin)) return 1;

  bench::Plan plan;
  std::vector<bench::Item> &items = plan.Items();
  // One untimed batch per item brings the plug-in up and warms the
  // allocators; its time says how many batches fill a round.
  std::vector<int> batches(items.size(), 1);
  for (size_t i = 0; i < items.size(); ++i) {
    double seconds = 0;
    const bool right = bench::RunBatch(items[i], library, plugin, [&](const std::function<void()> &work) {
      const double start = bench::Seconds();
      work();
      seconds = bench::Seconds() - start;
    });
    if (!right) {
      std::fprintf(stderr, "%s: wrong reply for %s\n", argv[0], items[i].name.c_str());
      return 1;
    }
    batches[i] = static_cast<int>(std::ceil(options.roundSeconds / (seconds > 1e-9 ? seconds : 1e-9)));
  }

  for (int round = 0; round < options.rounds; ++round) {
    for (size_t i = 0; i < items.size(); ++i) {
      double total = 0;
      for (int b = 0; b < batches[i]; ++b) {
        bench::RunBatch(items[i], library, plugin, [&](const std::function<void()> &work) {
          const double start = bench::Seconds();
          work();
          total += bench::Seconds() - start;
        });
      }
      const double perRequest = total * 1e9 / (static_cast<double>(batches[i]) * items[i].batch);
      if (items[i].cost < 0 || perRequest < items[i].cost) items[i].cost = perRequest;
    }
  }
  return plan.Report(options.name, "ns", bench::kTimedTargets, stdout) ? 0 : 3;
}
