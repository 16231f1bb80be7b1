// A library built on the framework like the product, with an application of
// its own whose OnAttach accepts or (PROBE_ACCEPTS=0) refuses. Its exports
// let the attach tests look at the framework's state inside the library.
#include <cstring>

#include "framework/Application.h"
#include "framework/ProcessAttach.h"

#ifdef _WIN32
#define PROBE_EXPORT extern "C" __declspec(dllexport)
#else
#define PROBE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

typedef void (*DetachCallback)();

int attachCalls = 0;
int deletedObjects = 0;
DetachCallback detachCallback = nullptr;

class ProbeApplication : public CApplication {
 public:
  BOOL OnAttach() override {
    ++attachCalls;
    return PROBE_ACCEPTS;
  }
  int OnDetach() override {
    if (detachCallback) detachCallback();
    return CApplication::OnDetach();
  }
};

__attribute__((init_priority(1000))) ProbeApplication probeApplication;

class CountedObject : public CObject {
 public:
  ~CountedObject() override { ++deletedObjects; }
};

int CopyOut(const CText &text, char *buffer, int size) {
  if (!buffer || size <= 0) return -1;
  size_t length = text.Length() < static_cast<size_t>(size) ? text.Length() : static_cast<size_t>(size) - 1;
  std::memcpy(buffer, text.c_str(), length);
  buffer[length] = 0;
  return static_cast<int>(text.Length());
}

}  // namespace

// The application's module file name; returns its whole length.
PROBE_EXPORT int ProbeModuleFileName(char *buffer, int size) {
  return CopyOut(probeApplication.GetModuleFileName(), buffer, size);
}

PROBE_EXPORT int ProbeHelpFilePath(char *buffer, int size) {
  return CopyOut(probeApplication.helpFilePath, buffer, size);
}

PROBE_EXPORT HINSTANCE ProbeModuleHandle() {
  return probeApplication.hModule;
}

PROBE_EXPORT HINSTANCE ProbeInstanceHandle() {
  return GetInstanceHandle();
}

PROBE_EXPORT HINSTANCE ProbeResourceHandle() {
  return GetResourceHandle();
}

PROBE_EXPORT int ProbeAttachCalls() {
  return attachCalls;
}

PROBE_EXPORT int ProbeIsAttached() {
  return IsProcessAttached();
}

PROBE_EXPORT int ProbeShowCommand() {
  return probeApplication.showCommand;
}

// `callback` runs inside the application's OnDetach.
PROBE_EXPORT void ProbeSetDetachCallback(DetachCallback callback) {
  detachCallback = callback;
}

// Two wrappers that count their deletion, with a null entry between them.
PROBE_EXPORT void ProbeAddTemporaryObjects() {
  AddTemporaryObject(new CountedObject);
  AddTemporaryObject(nullptr);
  AddTemporaryObject(new CountedObject);
}

PROBE_EXPORT int ProbeDeletedObjects() {
  return deletedObjects;
}

#ifdef _WIN32
PROBE_EXPORT int ProbeIdleHookInstalled() {
  return IsIdleHookInstalled();
}

// Calls the library's idle hook as the system would when the thread falls
// idle.
PROBE_EXPORT void ProbeRunIdleHook(int code) {
  ForegroundIdleHook(code, 0, 0);
}
#endif
