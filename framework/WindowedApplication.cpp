// The application's services for programs with windows: the main window,
// the idle list, the message loops, the message box, the single-instance
// check and window-class registration.
#include "framework/Application.h"
#include "framework/gui/Wnd.h"

namespace {

// "An internal error has occurred." in Shift_JIS.
const char kInternalError[] =
    "\x93\xE0\x95\x94\x83\x47\x83\x89\x81\x5B\x82\xAA\x94\xAD\x90\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81\x42";

bool HasWindow(const CWnd *window) {
  return window && window->GetHandle();
}

}  // namespace

void CApplication::ShowMainWindow(int command) {
  if (!mainWindow) return;
  mainWindow->ShowWindow(command == -1 ? showCommand : command);
  mainWindow->UpdateWindow();
}

BOOL CApplication::AddWindow(CWnd *window) {
  if (!window || !CWnd::Lookup(window->GetHandle())) return FALSE;
  windowList.Add(window);
  return TRUE;
}

BOOL CApplication::RemoveWindow(CWnd *window) {
  if (!window || !CWnd::Lookup(window->GetHandle())) return FALSE;
  int index = windowList.Find(window);
  if (index >= 0) windowList.RemoveAt(index);
  return TRUE;
}

int CApplication::Run() {
  BOOL idle = TRUE;
  int idleCount = 0;
  MSG message = {};
  for (;;) {
    if (!HasWindow(mainWindow)) {
      PurgeTemporaryObjects();
      exitCode = static_cast<int>(message.wParam);
      return OnDetach();
    }
    if (::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
      if (got == 0) {
        exitCode = static_cast<int>(message.wParam);
        return OnDetach();
      }
      if (got > 0 && !PreTranslate(&message)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
      }
      idle = TRUE;
      idleCount = 0;
    } else if (idle) {
      if (!OnIdle(idleCount++)) idle = FALSE;
      // Every window is called, whatever the others answer. A window that
      // deletes itself here leaves the list, so the count is read afresh.
      for (int i = 0; i < windowList.GetCount(); ++i)
        if (!windowList[i]->OnIdle()) idle = FALSE;
    } else {
      ::WaitMessage();
    }
    PurgeTemporaryObjects();
  }
}

CApplication::PumpTurn CApplication::PumpOneMessage() {
  // Nothing is taken off the queue without a main window to take it to.
  if (!HasWindow(mainWindow)) return PumpTurn::Stop;
  MSG message;
  if (!::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return PumpTurn::Empty;
  if (message.message == WM_QUIT) {
    // The pump ends here, but the quit belongs to the loop that runs it:
    // swallowed, Run would wait on for ever.
    ::PostQuitMessage(static_cast<int>(message.wParam));
    return PumpTurn::Stop;
  }
  if (!PreTranslate(&message)) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  return PumpTurn::Dispatched;
}

void CApplication::PumpPendingMessages() {
  while (PumpOneMessage() == PumpTurn::Dispatched) {
  }
}

void CApplication::PumpMessagesFor(DWORD milliseconds) {
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start <= milliseconds)
    if (PumpOneMessage() == PumpTurn::Stop) return;
}

int CApplication::ShowMessage(const char *text, UINT type) {
  if (!text) text = "";
  if (mainWindow) return ::MessageBoxA(mainWindow->GetHandle(), text, applicationName.c_str(), type | MB_SETFOREGROUND);
  return ::MessageBoxA(nullptr, text, applicationName.c_str(), type | MB_SETFOREGROUND | MB_TASKMODAL);
}

BOOL CApplication::CheckSingleInstance(const char *mutexName) {
  if (instanceMutex.GetHandle()) return anotherInstance;
  if (!instanceMutex.Create(mutexName, FALSE, nullptr)) {
    ShowMessage(kInternalError, MB_ICONEXCLAMATION);
    return TRUE;
  }
  anotherInstance = FALSE;
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    instanceMutex.Close();
    anotherInstance = TRUE;
  }
  return anotherInstance;
}

int ShowMessage(const char *text, UINT type) {
  CApplication *application = GetApplication();
  return application ? application->ShowMessage(text, type) : 0;
}

BOOL RegisterWindowClass(const char *className, UINT style, HICON icon, HICON smallIcon, HCURSOR cursor,
                         HBRUSH background) {
  CApplication *application = GetApplication();
  if (!application) return FALSE;
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  if (::GetClassInfoExA(application->hModule, className, &windowClass)) return TRUE;
  windowClass = WNDCLASSEXA();
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = style;
  windowClass.lpfnWndProc = &CWnd::SharedWindowProcedure;
  windowClass.hInstance = application->hModule;
  windowClass.hIcon = icon;
  windowClass.hIconSm = smallIcon;
  windowClass.hCursor = cursor;
  windowClass.hbrBackground = background;
  windowClass.lpszClassName = className;
  return ::RegisterClassExA(&windowClass) != 0;
}
