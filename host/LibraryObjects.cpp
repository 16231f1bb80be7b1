// The library's static objects. Their construction order is fixed by
// priority, not by link order: the application object first, then the
// plug-in registry; they are destroyed in the reverse order. Destroying the
// registry frees no plug-in library: only unload does.
#include "host/CallerApplication.h"
#include "plugin/ModuleRegistry.h"

__attribute__((init_priority(1000))) static CallerApplication theApplication;
__attribute__((init_priority(1001))) static ModuleRegistry theRegistry;

CallerEngine &GetCallerEngine() {
  return theApplication.GetEngine();
}

ModuleRegistry &GetModuleRegistry() {
  return theRegistry;
}
