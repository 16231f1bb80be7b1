#include "framework/ProcessAttach.h"

#include "framework/Application.h"

namespace {

bool attached = false;
#ifdef _WIN32
HHOOK idleHook = nullptr;
UINT legacyWheelMessage = 0;
#endif

void RemoveIdleHook() {
#ifdef _WIN32
  if (idleHook) {
    ::UnhookWindowsHookEx(idleHook);
    idleHook = nullptr;
  }
#endif
}

}  // namespace

BOOL ProcessAttach(HINSTANCE library) {
  CApplication *application = GetApplication();
  if (!application) return FALSE;
#ifdef _WIN32
  if (IsWin95()) legacyWheelMessage = ::RegisterWindowMessageA("MSWHEEL_ROLLMSG");
  RemoveIdleHook();
  idleHook = ::SetWindowsHookExA(WH_FOREGROUNDIDLE, ForegroundIdleHook, nullptr, ::GetCurrentThreadId());
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  ::GetStartupInfoA(&startup);
#endif
  // From here on the application's module file name is the library's path.
  application->hModule = library;
  application->reservedText.Empty();
#ifdef _WIN32
  // The show command is taken whether or not STARTF_USESHOWWINDOW is set.
  application->showCommand = startup.wShowWindow;
#endif
  SetResourceHandle(library);
  // An OnAttach that throws cannot bring the library up either.
  BOOL accepted = FALSE;
  try {
    accepted = application->OnAttach();
  } catch (...) {
  }
  if (!accepted) {
    // The library is about to be unloaded: a hook left behind would call
    // into code that is gone.
    RemoveIdleHook();
    return FALSE;
  }
  attached = true;
  return TRUE;
}

void ProcessDetach() {
  if (!attached) return;
  attached = false;
  RemoveIdleHook();
  if (CApplication *application = GetApplication()) application->OnDetach();
}

BOOL IsProcessAttached() {
  return attached;
}

#ifdef _WIN32
LRESULT CALLBACK ForegroundIdleHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) PurgeTemporaryObjects();
  return ::CallNextHookEx(idleHook, code, wParam, lParam);
}

BOOL IsIdleHookInstalled() {
  return idleHook != nullptr;
}

UINT LegacyWheelMessage() {
  return legacyWheelMessage;
}
#endif
