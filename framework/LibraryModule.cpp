#include "framework/LibraryModule.h"

BOOL CLibraryModule::Attach(HINSTANCE module) {
  if (!module) return FALSE;
  hModule = module;
  return TRUE;
}

BOOL CLibraryModule::Load(const char *path, DWORD flags) {
  HINSTANCE module = LoadLibraryFile(path, flags);
  if (!module) return FALSE;
  // A derived Attach that refuses the handle leaves nobody to free it.
  if (!Attach(module)) {
    FreeLibraryFile(module);
    return FALSE;
  }
  // A bring-up that throws (out of memory) is taken back like one that
  // refuses, so no half-attached library stays behind to be called later.
  bool attached;
  try {
    attached = OnAttach();
  } catch (...) {
    Unload();
    throw;
  }
  if (!attached) {
    Unload();
    return FALSE;
  }
  return TRUE;
}

BOOL CLibraryModule::Unload() {
  if (!hModule) return FALSE;
  OnDetach();
  BOOL freed = FreeLibraryFile(hModule);
  hModule = nullptr;
  return freed;
}

void *CLibraryModule::GetProcAddress(const char *name) const {
  if (!hModule) return nullptr;
  return platform::GetLibraryProcAddress(hModule, name);
}

HMODULE CLibraryModule::LoadLibraryFile(const char *path, DWORD flags) {
  return platform::LoadDynamicLibrary(path, flags);
}

BOOL CLibraryModule::FreeLibraryFile(HMODULE module) {
  return platform::FreeDynamicLibrary(module);
}
