// The process attach and detach sequences that bind the application object
// to the library that holds it. DllMain forwards the loader's notifications
// here on Windows; natively a static object runs them when the shared
// object is loaded and unloaded (DllEntry.cpp).
#pragma once

#include "platform/Platform.h"

// Binds the current application to `library` and runs its OnAttach. On
// Windows it first installs the foreground-idle hook on the calling thread
// (and registers the legacy wheel message on Windows 95) and records the
// start-up show command. FALSE, with the hook removed again, when there is
// no application or OnAttach refuses (or throws): the library must not load.
BOOL ProcessAttach(HINSTANCE library);
// Undoes a successful ProcessAttach: removes the idle hook, then runs the
// application's OnDetach. Does nothing when attach did not succeed.
void ProcessDetach();
// Whether ProcessAttach succeeded and ProcessDetach has not run since.
BOOL IsProcessAttached();

#ifdef _WIN32
// The WH_FOREGROUNDIDLE hook: purges the temporary objects when the loading
// thread is about to fall idle (code HC_ACTION), then passes the call on.
LRESULT CALLBACK ForegroundIdleHook(int code, WPARAM wParam, LPARAM lParam);
// Whether the idle hook is installed.
BOOL IsIdleHookInstalled();
// The number registered for "MSWHEEL_ROLLMSG" on Windows 95, else 0; the
// window procedure treats it as a mouse-wheel message.
UINT LegacyWheelMessage();
#endif
