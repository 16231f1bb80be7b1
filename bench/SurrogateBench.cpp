// Times a plug-in call made through a surrogate process against one round
// trip of the bare channel between the same two processes, and against the
// same call made in this process, with the trivial plug-in "nop"; and the
// time to start a surrogate and bring the plug-in up in it. Windows only
// (under Wine on this machine). Rounds visit every item in turn; an item's
// cost is its fastest round.
//
//   tovra_bench_surrogate [--rounds N] [--calls N] [--starts N]
//
// Ends with "ratio surrogate.isolated_call_vs_bare_round_trip VALUE target 1.50".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "bench/Seconds.h"
#include "plugin/PeImage.h"
#include "plugin/PluginModule.h"
#include "plugin/PluginRequests.h"
#include "plugin/PluginSurrogate.h"

namespace {

std::string Directory() {
  const std::string path = platform::GetModuleFilePath(platform::GetExecutableModule());
  return path.substr(0, path.rfind('\\') + 1);
}

// Seconds for one run of `work`, which makes `count` calls; false from work
// fails the whole run.
double PerCall(int count, const std::function<bool()> &work) {
  const double start = bench::Seconds();
  for (int i = 0; i < count; ++i)
    if (!work()) return -1;
  return (bench::Seconds() - start) / count;
}

void Keep(double value, double *best) {
  if (value >= 0 && (*best < 0 || value < *best)) *best = value;
}

}  // namespace

int main(int argc, char **argv) {
  int rounds = 9, calls = 200, starts = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::atoi(argv[i + 1]);
    else if (std::strcmp(argv[i], "--calls") == 0) calls = std::atoi(argv[i + 1]);
    else if (std::strcmp(argv[i], "--starts") == 0) starts = std::atoi(argv[i + 1]);
  }
  const std::string directory = Directory();
  const std::string plugin = directory + "NOP";
  const std::string program = PluginSurrogate::ProgramFor(directory, PeImage::kOwnMachine);

  ExecuteRequest request;
  request.AddArgument("1", 1);
  request.Finish();

  PluginModule here;
  if (!here.Load(plugin.c_str(), 0)) {
    std::fprintf(stderr, "%s: the plug-in %s does not load\n", argv[0], plugin.c_str());
    return 1;
  }
  PluginSurrogate surrogate;
  BringUpReport report;
  if (!surrogate.Start(program) || !surrogate.BringUp(plugin.c_str(), &report)) {
    std::fprintf(stderr, "%s: no surrogate %s for %s\n", argv[0], program.c_str(), plugin.c_str());
    return 1;
  }

  const auto inProcess = [&] {
    return here.Exchange(request.Text(), request.Length(), [](const char *, size_t) {}) == TRUE;
  };
  SurrogateAnswer answer;
  const auto isolated = [&] { return surrogate.Ask(request.Text(), request.Length(), &answer) && answer.answered; };
  const auto bare = [&] { return surrogate.Ping(); };

  double bareCost = -1, isolatedCost = -1, hereCost = -1, startCost = -1;
  for (int round = 0; round < rounds; ++round) {
    Keep(PerCall(calls, bare), &bareCost);
    Keep(PerCall(calls, isolated), &isolatedCost);
    Keep(PerCall(calls, inProcess), &hereCost);
  }
  surrogate.Unload();
  for (int i = 0; i < starts; ++i) {
    PluginSurrogate fresh;
    const double start = bench::Seconds();
    if (!fresh.Start(program) || !fresh.BringUp(plugin.c_str(), &report)) return 1;
    Keep(bench::Seconds() - start, &startCost);
    fresh.Unload();
  }
  here.UnloadPlugin();
  if (bareCost < 0 || isolatedCost < 0 || hereCost < 0) {
    std::fprintf(stderr, "%s: a call went wrong\n", argv[0]);
    return 1;
  }

  const double ratio = isolatedCost / bareCost;
  std::printf("== surrogate: a call of the trivial plug-in (us per call, fastest of %d rounds of %d)\n", rounds, calls);
  std::printf("%-40s %10.1f\n", "bare channel, one round trip", bareCost * 1e6);
  std::printf("%-40s %10.1f\n", "call through the surrogate", isolatedCost * 1e6);
  std::printf("%-40s %10.1f\n", "call in this process", hereCost * 1e6);
  std::printf("%-40s %10.1f\n", "through the surrogate / in this process", isolatedCost / hereCost);
  std::printf("== surrogate: start it and bring the plug-in up (ms, fastest of %d)\n", starts);
  std::printf("%-40s %10.1f\n", "start and bring-up", startCost * 1e3);
  std::printf("ratio surrogate.isolated_call_vs_bare_round_trip %.2f target 1.50\n", ratio);
  return ratio <= 1.5 ? 0 : 3;
}
