// A C++ plug-in built on the SDK whose own code throws: its handler for the
// argument "throw" (a standard exception) and "int" (anything else), its
// load hook for a directory that ends in "throw\", its unload hook always.
// Any other argument is its Result.
#include <stdexcept>
#include <string>

static int OnLoad(const char *directory);
static void OnUnload();
#define TOVRA_ON_LOAD OnLoad
#define TOVRA_ON_UNLOAD OnUnload
#define TOVRA_PLUGIN_IMPLEMENTATION
#include "tovra_plugin.h"

static int OnLoad(const char *directory) {
  const std::string path = directory;
  if (path.size() >= 6 && path.compare(path.size() - 6, 6, "throw\\") == 0) throw std::runtime_error("load hook");
  return 1;
}

static void OnUnload() {
  throw 7;
}

int tovra_execute(const tovra_call *call, tovra_result *result) {
  const std::string argument = call->argc > 0 ? call->argv[0] : "";
  if (argument == "throw") throw std::runtime_error("handler");
  if (argument == "int") throw 42;
  return tovra_set_result(result, argument.c_str());
}
