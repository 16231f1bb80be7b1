// The resources built into gui_test_resources.dll for the graphics tests,
// and a scope in which that DLL is the resource module. The picture's number
// is also that of a system bitmap (OBM_CLOSE), so a load from no module
// still finds a bitmap, only not this one.
#pragma once

#define TEST_PICTURE_ID 32754
#define TEST_MENU_ID 200

#ifndef RC_INVOKED
#include "framework/Application.h"

class TestResourceModule {
 public:
  TestResourceModule() : module(::LoadLibraryA("gui_test_resources.dll")), previous(GetResourceHandle()) {
    SetResourceHandle(module);
  }
  TestResourceModule(const TestResourceModule &) = delete;
  TestResourceModule &operator=(const TestResourceModule &) = delete;
  ~TestResourceModule() {
    SetResourceHandle(previous);
    if (module) ::FreeLibrary(module);
  }
  HMODULE Get() const { return module; }

 private:
  HMODULE module;
  HINSTANCE previous;
};
#endif
