// The library's one application object: the framework's application bound to
// this library's module, carrying the engine that the exports drive.
#pragma once

#include "framework/Application.h"
#include "host/CallerEngine.h"

class CallerApplication : public CApplication {
 public:
  BOOL OnAttach() override { return TRUE; }
  CallerEngine &GetEngine() { return engine; }

 private:
  CallerEngine engine;
};

// The engine of the library's application object. Throws std::logic_error
// when the application object could not be built; the exports catch it.
CallerEngine &GetCallerEngine();
