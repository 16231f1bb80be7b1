// The three comparisons every harness reports, built on what the harness
// measured. A harness measures each item of the plan in its own way (time per
// request, or instructions per request) and the report turns the costs into
// tables and one ratio line per comparison:
//
//   ratio NAME VALUE target LIMIT
//
// 1. request_vs_lower_bound: a request without calls against the least any
//    implementation must do for it, at 100 B, 10 KB and 1 MB String values;
//    the worst size counts.
// 2. call_vs_direct_exchange: a request with 100 calls of the trivial plug-in
//    against the same 100 exchanges made directly, per call. The direct
//    exchanges are also made under the fault guard that the library puts
//    around every call, and with only the floating-point state kept that
//    the guard keeps, and both costs are shown beside them.
// 3. per_byte_1MB_vs_10KB: cost per byte at 1 MB against 10 KB, without calls
//    and with one call per 100 bytes; the worse of the two counts.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/Workload.h"

namespace bench {

enum class Kind {
  Library,     // one request through the library's request entry
  LowerBound,  // the least work for the same request
  Direct,      // the workload's calls as direct plug-in exchanges
  FloatingPointKept,  // the same, the caller's floating-point state kept around each call
  Guarded      // the same, each call of the plug-in under the fault guard
};

struct Item {
  std::string name;  // unique, usable as a benchmark or dump name
  Kind kind;
  const Workload *workload;
  size_t batch;       // requests per measured batch
  double cost = -1;   // per request (Direct: per set of workload->calls exchanges)
};

// The most each comparison's ratio may be. Instruction counts repeat exactly
// from run to run and are held to the tight targets; timings move by a third
// on a shared machine and keep the looser ones.
struct Targets {
  double request;  // request_vs_lower_bound
  double call;     // call_vs_direct_exchange
  double perByte;  // per_byte_1MB_vs_10KB
};
extern const Targets kCountedTargets;
extern const Targets kTimedTargets;

class Plan {
 public:
  Plan();
  std::vector<Item> &Items() { return items; }
  Item *Find(const std::string &name);
  // Prints the tables and the ratio lines, each name prefixed with
  // `harness` and a dot; `unit` names what a cost counts. Returns true when
  // every ratio met its target.
  bool Report(const char *harness, const char *unit, const Targets &targets, std::FILE *out) const;

 private:
  double Cost(const std::string &name) const;
  std::vector<std::unique_ptr<Workload>> workloads;
  std::vector<Item> items;
};

// Runs one batch of `item`. `measure` is handed the work to measure and
// calls it once; preparing the blocks and checking and freeing the replies
// happen outside it. False when a reply was missing or wrong.
typedef std::function<void(const std::function<void()> &work)> Measure;
bool RunBatch(const Item &item, const HostLibrary &library, const DirectPlugin &plugin, const Measure &measure);

}  // namespace bench
