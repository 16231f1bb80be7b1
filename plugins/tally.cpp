// tally: counts words across calls, a C++ plug-in that uses both hooks.
//
//   $tovra[tally,apple]        1      how often "apple" has been seen since
//   $tovra[tally,apple]        2      the plug-in was loaded
//   $tovra[tally,apple,pear]   3 1    one count per argument
//   $tovra[tally]              2      with no argument: how many words
//   $tovra[tally,where]        C:\host\   the directory the load hook got
//
// The counts live until the host's unload; the next call loads the plug-in
// again and starts from zero. Build it from C++ with -static: README.txt in
// a release zip (or docs/plugin-authors.md in the sources) tells how.
#define TOVRA_ON_LOAD OnLoad
#define TOVRA_ON_UNLOAD OnUnload
#define TOVRA_PLUGIN_IMPLEMENTATION
#include "tovra_plugin.h"

#include <map>
#include <string>

namespace {

std::map<std::string, unsigned long> counts;
std::string directory;

}  // namespace

// Runs once before the first call, with the plug-in's directory.
int OnLoad(const char *pluginDirectory) {
  counts.clear();
  directory = pluginDirectory;
  return 1;
}

// Runs before the library frees the plug-in.
void OnUnload(void) {
  counts.clear();
  directory.clear();
}

int tovra_execute(const tovra_call *call, tovra_result *result) {
  if (call->argc == 1 && std::string(call->argv[0]) == "where") return tovra_set_result(result, directory.c_str());
  if (call->argc == 0) return tovra_set_result(result, std::to_string(counts.size()).c_str());
  std::string answer;
  for (int i = 0; i < call->argc; ++i) {
    if (i > 0) answer += ' ';
    answer += std::to_string(++counts[call->argv[i]]);
  }
  return tovra_set_result(result, answer.c_str());
}
