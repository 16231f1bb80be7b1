// The library's entry point: hands the loader's process attach and detach
// to the framework and does nothing else. No exception leaves it.
#include "framework/ProcessAttach.h"

#ifdef _WIN32

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  try {
    if (reason == DLL_PROCESS_ATTACH) return ProcessAttach(instance);
    if (reason == DLL_PROCESS_DETACH) ProcessDetach();
  } catch (...) {
    return reason == DLL_PROCESS_ATTACH ? FALSE : TRUE;
  }
  return TRUE;
}

#else

namespace {

// Without loader notifications, process attach runs when this object is
// built, after the application object and the library's other framework
// objects (see Application.h), and process detach when it is destroyed,
// before them.
class ProcessAttachment {
 public:
  ProcessAttachment() {
    try {
      ProcessAttach(platform::GetCurrentModule());
    } catch (...) {
    }
  }
  ~ProcessAttachment() {
    try {
      ProcessDetach();
    } catch (...) {
    }
  }
};

__attribute__((init_priority(1100))) ProcessAttachment processAttachment;

}  // namespace

#endif
