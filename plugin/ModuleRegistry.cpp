#include "plugin/ModuleRegistry.h"

#include <exception>

PluginModule &ModuleRegistry::Lookup(const CText &name) {
  auto found = entries.find(name);
  if (found != entries.end()) return found->second;
  return entries.emplace(name, PluginModule()).first->second;
}

int ModuleRegistry::UnloadAll() {
  // Every plug-in is unloaded even when one of them throws (out of memory
  // on the way); the first exception goes on once all have been.
  std::exception_ptr thrown;
  for (auto &entry : entries) {
    try {
      entry.second.UnloadPlugin();
    } catch (...) {
      if (!thrown) thrown = std::current_exception();
    }
  }
  if (thrown) std::rethrow_exception(thrown);
  return 1;
}
