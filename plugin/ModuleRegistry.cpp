#include "plugin/ModuleRegistry.h"

PluginModule &ModuleRegistry::Lookup(const CText &name) {
  auto found = entries.find(name);
  if (found != entries.end()) return found->second;
  return entries.emplace(name, PluginModule()).first->second;
}

int ModuleRegistry::UnloadAll() {
  for (auto &entry : entries) entry.second.UnloadPlugin();
  return 1;
}
