// CLibraryModule: a dynamic library that the program loads by path, brings
// up through OnAttach and frees again with Unload.
//
//   CLibraryModule library;
//   if (library.Load("C:\\dir\\plugin.dll", 0)) {   // loads, then OnAttach
//     void *entry = library.GetProcAddress("request");
//     ...
//     library.Unload();                             // OnDetach, then frees
//   }
#pragma once

#include "framework/Module.h"

class CLibraryModule : public CModule {
 public:
  // Takes a non-null handle, replacing any held handle without freeing it.
  BOOL Attach(HINSTANCE module) override;
  // Loads the library at `path` and brings it up: Attach, then OnAttach. When
  // OnAttach refuses, the library is unloaded again (OnDetach runs) and the
  // result is FALSE; when OnAttach throws, the library is unloaded the same
  // way and the exception goes on. A missing library runs no hook. A handle
  // already held is not looked at: call Load on a detached module.
  virtual BOOL Load(const char *path, DWORD flags);

  // Runs OnDetach, frees the library and clears the handle; returns the
  // platform's result of freeing. FALSE and nothing else when detached.
  BOOL Unload();
  // The address of the export named exactly `name`, or null; null without
  // asking the platform when detached.
  void *GetProcAddress(const char *name) const;

 protected:
  // Loading and freeing the library file, where the library's own code (its
  // entry point) runs: the platform's calls here; a derived class may run
  // them under a guard.
  virtual HMODULE LoadLibraryFile(const char *path, DWORD flags);
  virtual BOOL FreeLibraryFile(HMODULE module);
};
