// The comparisons in instructions, for counts that repeat from run to run.
// Run under callgrind with collection off at the start; every item's measured
// work is collected alone and dumped under the item's name:
//
//   valgrind --tool=callgrind --collect-atstart=no \
//            --callgrind-out-file=DIR/counts tovra_bench_counts
//   tovra_bench_counts --report DIR/counts.*
//
// The second call reads the dumps (instructions executed, Ir) and prints the
// comparisons. The library is loaded as a host loads it, with the dynamic
// loader.
#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "bench/Comparisons.h"

namespace {

const char kTriggerPrefix[] = "desc: Trigger: Client Request: ";

int Measure(const char *program) {
  if (!RUNNING_ON_VALGRIND) {
    std::fprintf(stderr, "%s: run me under valgrind --tool=callgrind --collect-atstart=no\n", program);
    return 2;
  }
  bench::HostLibrary library;
  bench::DirectPlugin plugin;
  if (!bench::ReportLoaded(program, library, plugin)) return 1;
  bench::Plan plan;
  for (bench::Item &item : plan.Items()) {
    // The first batch brings the plug-in up and warms the allocators.
    for (int pass = 0; pass < 2; ++pass) {
      const bool right = bench::RunBatch(item, library, plugin, [&](const std::function<void()> &work) {
        if (pass == 0) {
          work();
          return;
        }
        CALLGRIND_ZERO_STATS;
        CALLGRIND_TOGGLE_COLLECT;
        work();
        CALLGRIND_TOGGLE_COLLECT;
        CALLGRIND_DUMP_STATS_AT(item.name.c_str());
      });
      if (!right) {
        std::fprintf(stderr, "%s: wrong reply for %s\n", program, item.name.c_str());
        return 1;
      }
    }
  }
  return 0;
}

// Reads one dump: the item it belongs to and its instruction total.
bool ReadDump(const char *path, std::string *name, double *instructions) {
  std::ifstream file(path);
  std::string line;
  bool haveName = false, haveTotal = false;
  while (std::getline(file, line)) {
    if (line.compare(0, sizeof kTriggerPrefix - 1, kTriggerPrefix) == 0) {
      *name = line.substr(sizeof kTriggerPrefix - 1);
      haveName = true;
    } else if (line.compare(0, 8, "summary:") == 0 || line.compare(0, 7, "totals:") == 0) {
      *instructions = std::strtod(line.c_str() + line.find(':') + 1, nullptr);
      haveTotal = true;
    }
  }
  return haveName && haveTotal;
}

int Report(int count, char **paths) {
  bench::Plan plan;
  for (int i = 0; i < count; ++i) {
    std::string name;
    double instructions = 0;
    if (!ReadDump(paths[i], &name, &instructions)) continue;
    if (bench::Item *item = plan.Find(name)) item->cost = instructions / static_cast<double>(item->batch);
  }
  return plan.Report("callgrind", "instructions", bench::kCountedTargets, stdout) ? 0 : 3;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--report") == 0) return Report(argc - 2, argv + 2);
  if (argc != 1) {
    std::fprintf(stderr, "usage: %s | %s --report DUMP...\n", argv[0], argv[0]);
    return 2;
  }
  return Measure(argv[0]);
}
