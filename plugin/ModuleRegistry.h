// ModuleRegistry: every plug-in name that a call has used, with the module
// that serves it. Entries are made by the first lookup of a name and stay
// until the library is detached; whether a plug-in is loaded is the entry's
// own state. Keys are ordered by their bytes as unsigned values, a shorter
// key before a longer one with the same start.
#pragma once

#include <cstring>
#include <map>

#include "plugin/PluginModule.h"
#include "text/Text.h"

class ModuleRegistry {
 public:
  ModuleRegistry() = default;
  ModuleRegistry(const ModuleRegistry &) = delete;
  ModuleRegistry &operator=(const ModuleRegistry &) = delete;
  // Frees no library: a plug-in still loaded now stays loaded.
  ~ModuleRegistry() = default;

  // The entry for `name`, made unloaded when the name is new. The reference
  // stays valid for the registry's whole life.
  PluginModule &Lookup(const CText &name);
  // Unloads every loaded entry in ascending key order, and lets a plug-in
  // that faulted be brought up again; keeps the entries.
  int UnloadAll();

  size_t GetCount() const { return entries.size(); }

 private:
  struct ByteOrder {
    bool operator()(const CText &a, const CText &b) const {
      size_t common = a.Length() < b.Length() ? a.Length() : b.Length();
      int order = std::memcmp(a.c_str(), b.c_str(), common);
      return order != 0 ? order < 0 : a.Length() < b.Length();
    }
  };
  std::map<CText, PluginModule, ByteOrder> entries;
};

// The library's one registry.
ModuleRegistry &GetModuleRegistry();
