#include "framework/LibraryModule.h"

BOOL CLibraryModule::Attach(HINSTANCE module) {
  if (!module) return FALSE;
  hModule = module;
  return TRUE;
}

BOOL CLibraryModule::Load(const char *path, DWORD flags) {
  HINSTANCE module = platform::LoadDynamicLibrary(path, flags);
  if (!module) return FALSE;
  // A derived Attach that refuses the handle leaves nobody to free it.
  if (!Attach(module)) {
    platform::FreeDynamicLibrary(module);
    return FALSE;
  }
  if (!OnAttach()) {
    Unload();
    return FALSE;
  }
  return TRUE;
}

BOOL CLibraryModule::Unload() {
  if (!hModule) return FALSE;
  OnDetach();
  BOOL freed = platform::FreeDynamicLibrary(hModule);
  hModule = nullptr;
  return freed;
}

void *CLibraryModule::GetProcAddress(const char *name) const {
  if (!hModule) return nullptr;
  return platform::GetLibraryProcAddress(hModule, name);
}
