// The library's static objects. Their construction order is fixed by
// priority, not by link order: the application object first, then the
// plug-in registry; they are destroyed in the reverse order. Destroying the
// registry frees no plug-in library: only unload does.
//
// Nothing built here lets an exception out before process attach: an
// application object that cannot be built (out of memory) is absent, and
// process attach then refuses the load. The registry's construction
// allocates nothing.
#include <stdexcept>

#include "framework/StaticObject.h"
#include "host/CallerApplication.h"
#include "plugin/ModuleRegistry.h"

__attribute__((init_priority(1000))) static CStaticObject<CallerApplication> theApplication;
__attribute__((init_priority(1001))) static ModuleRegistry theRegistry;

CallerEngine &GetCallerEngine() {
  // Only natively, where nothing can refuse a load, are the exports reached
  // without an application; they catch this and answer nothing.
  CallerApplication *application = theApplication.Get();
  if (!application) throw std::logic_error("the library has no application object");
  return application->GetEngine();
}

ModuleRegistry &GetModuleRegistry() {
  return theRegistry;
}
