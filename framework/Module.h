// CModule: one executable module (the program's own library, or a library it
// loads), held by its instance handle. Copies share the handle; destroying a
// module object never frees its library: only Free (or CLibraryModule's
// Unload) does.
#pragma once

#include "framework/Object.h"
#include "platform/Platform.h"
#include "text/Text.h"

class CModule : public CObject {
 public:
  CModule() = default;
  CModule(const CModule &) = default;
  CModule &operator=(const CModule &) = default;
  ~CModule() override = default;

  // Takes `module` as the held handle. FALSE and no change for a null handle.
  // A different handle held before is freed first; the same handle again is
  // kept as it is.
  virtual BOOL Attach(HINSTANCE module);
  // Runs once the code that brings the module up has stored its handle;
  // FALSE refuses. TRUE here.
  virtual BOOL OnAttach();
  // Runs just before the module's library is freed or the program's own
  // module goes away; callers ignore the result. 0 here.
  virtual int OnDetach();

  // Frees the held library and clears the handle, without running OnDetach.
  void Free();
  // The full path of the module's file, however long; empty when no handle
  // is held or the platform cannot tell.
  CText GetModuleFileName() const;

  // The module instance handle; null when no module is attached.
  HINSTANCE hModule = nullptr;
};
