#include "bench/Comparisons.h"

#include <algorithm>

namespace bench {

namespace {

struct Size {
  const char *label;
  size_t bytes;
  size_t plainBatch;  // requests per batch without calls
  size_t callsBatch;  // with one call per 100 bytes
};

const Size kSizes[] = {
    {"100B", 100, 64, 0},         {"1KB", 1024, 64, 16},     {"10KB", 10 * 1024, 16, 4},
    {"100KB", 100 * 1024, 4, 1}, {"1MB", 1024 * 1024, 2, 1},
};
const char *const kBoundSizes[] = {"100B", "10KB", "1MB"};
const char *const kScalingSizes[] = {"1KB", "10KB", "100KB", "1MB"};
const size_t kCallEvery = 100;
const size_t kSideBySideCalls = 100;


size_t Bytes(const char *label) {
  for (const Size &size : kSizes)
    if (std::string(label) == size.label) return size.bytes;
  return 0;
}

bool Ratio(std::FILE *out, const char *harness, const char *name, double value, double target) {
  std::fprintf(out, "ratio %s.%s %.2f target %.2f\n", harness, name, value, target);
  return value >= 0 && value <= target;
}

}  // namespace

const Targets kCountedTargets = {2.0, 1.25, 1.1};
const Targets kTimedTargets = {2.5, 1.5, 1.3};

Plan::Plan() {
  for (const Size &size : kSizes) {
    workloads.emplace_back(new Workload(MakeWorkload(size.bytes, 0)));
    const Workload *plain = workloads.back().get();
    items.push_back(Item{std::string("library_plain_") + size.label, Kind::Library, plain, size.plainBatch});
    items.push_back(Item{std::string("bound_plain_") + size.label, Kind::LowerBound, plain, size.plainBatch});
    if (size.callsBatch) {
      workloads.emplace_back(new Workload(MakeWorkload(size.bytes, kCallEvery)));
      items.push_back(
          Item{std::string("library_calls_") + size.label, Kind::Library, workloads.back().get(), size.callsBatch});
    }
  }
  workloads.emplace_back(new Workload(MakeCallsWorkload(kSideBySideCalls)));
  items.push_back(Item{"library_side_by_side", Kind::Library, workloads.back().get(), 8});
  items.push_back(Item{"direct_side_by_side", Kind::Direct, workloads.back().get(), 8});
  items.push_back(Item{"fpkept_side_by_side", Kind::FloatingPointKept, workloads.back().get(), 8});
  items.push_back(Item{"guarded_side_by_side", Kind::Guarded, workloads.back().get(), 8});
}

bool RunBatch(const Item &item, const HostLibrary &library, const DirectPlugin &plugin, const Measure &measure) {
  if (item.kind == Kind::Direct || item.kind == Kind::FloatingPointKept || item.kind == Kind::Guarded) {
    const Around around = item.kind == Kind::Guarded             ? Around::kFaultGuard
                          : item.kind == Kind::FloatingPointKept ? Around::kFloatingPointState
                                                                 : Around::kNothing;
    size_t answered = 0;
    measure([&] {
      for (size_t i = 0; i < item.batch; ++i) answered += plugin.Exchange(item.workload->calls, around);
    });
    return answered == item.batch * item.workload->calls;
  }
  RequestBatch batch(*item.workload, item.batch);
  batch.Prepare();
  if (item.kind == Kind::Library)
    measure([&] { batch.RunThroughLibrary(library); });
  else
    measure([&] { batch.RunLowerBound(); });
  return batch.Finish();
}

Item *Plan::Find(const std::string &name) {
  for (Item &item : items)
    if (item.name == name) return &item;
  return nullptr;
}

double Plan::Cost(const std::string &name) const {
  for (const Item &item : items)
    if (item.name == name) return item.cost;
  return -1;
}

bool Plan::Report(const char *harness, const char *unit, const Targets &targets, std::FILE *out) const {
  bool met = true;

  std::fprintf(out, "== %s: request without calls against its lower bound (%s per request)\n", harness, unit);
  std::fprintf(out, "%-8s %14s %14s %8s\n", "value", "library", "lower bound", "ratio");
  double worst = 0;
  for (const char *label : kBoundSizes) {
    const double library = Cost(std::string("library_plain_") + label);
    const double bound = Cost(std::string("bound_plain_") + label);
    const double ratio = bound > 0 && library >= 0 ? library / bound : -1;
    std::fprintf(out, "%-8s %14.1f %14.1f %8.2f\n", label, library, bound, ratio);
    worst = ratio < 0 || worst < 0 ? -1 : std::max(worst, ratio);
  }
  met = Ratio(out, harness, "request_vs_lower_bound", worst, targets.request) && met;

  std::fprintf(out, "== %s: %zu calls in one request against %zu direct exchanges (%s per call)\n", harness,
               kSideBySideCalls, kSideBySideCalls, unit);
  const double library = Cost("library_side_by_side");
  const double direct = Cost("direct_side_by_side");
  const double perCall = library / kSideBySideCalls, directPerCall = direct / kSideBySideCalls;
  const double callRatio = direct > 0 && library >= 0 ? library / direct : -1;
  const auto addedTo = [&](const char *name, const char *label, const char *what) {
    const double withIt = Cost(name) / kSideBySideCalls;
    std::fprintf(out, "%-24s %14.1f  (%s: %+.1f per call, %+.1f%%)\n", label, withIt, what, withIt - directPerCall,
                 directPerCall > 0 ? 100 * (withIt - directPerCall) / directPerCall : 0.0);
  };
  std::fprintf(out, "%-24s %14.1f\n%-24s %14.1f\n", "library, per call", perCall, "direct, per call", directPerCall);
  addedTo("fpkept_side_by_side", "direct, FP state kept", "the floating-point state kept");
  addedTo("guarded_side_by_side", "direct guarded, per call", "the fault guard, with that state");
  met = Ratio(out, harness, "call_vs_direct_exchange", callRatio, targets.call) && met;

  std::fprintf(out, "== %s: cost per byte of the String value (%s per byte)\n", harness, unit);
  std::fprintf(out, "%-8s %14s %14s %14s\n", "value", "no calls", "call/100 B", "lower bound");
  for (const char *label : kScalingSizes) {
    const double bytes = static_cast<double>(Bytes(label));
    std::fprintf(out, "%-8s %14.4f %14.4f %14.4f\n", label, Cost(std::string("library_plain_") + label) / bytes,
                 Cost(std::string("library_calls_") + label) / bytes, Cost(std::string("bound_plain_") + label) / bytes);
  }
  const double growth = static_cast<double>(Bytes("1MB")) / static_cast<double>(Bytes("10KB"));
  const auto scaling = [&](const char *prefix) {
    const double small = Cost(std::string(prefix) + "10KB"), large = Cost(std::string(prefix) + "1MB");
    return small > 0 && large >= 0 ? large / small / growth : -1;
  };
  const double plainScaling = scaling("library_plain_"), callsScaling = scaling("library_calls_");
  std::fprintf(out, "%-8s %14.2f %14.2f %14.2f\n", "1MB/10KB", plainScaling, callsScaling, scaling("bound_plain_"));
  const double worstScaling = plainScaling < 0 || callsScaling < 0 ? -1 : std::max(plainScaling, callsScaling);
  met = Ratio(out, harness, "per_byte_1MB_vs_10KB", worstScaling, targets.perByte) && met;
  return met;
}

}  // namespace bench
