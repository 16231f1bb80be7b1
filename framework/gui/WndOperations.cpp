// CWnd's operations on an existing window: the ones that return windows,
// regions and fonts as objects, foreground activation and centring. The
// message binding and dispatch are in Wnd.cpp.
#include <memory>

#include "framework/Application.h"
#include "framework/gui/GdiObjects.h"
#include "framework/gui/Temporary.h"
#include "framework/gui/Wnd.h"

CWnd *CWnd::GetDesktopWindow() {
  return Wrap(::GetDesktopWindow());
}

CWnd *CWnd::GetFocus() {
  return Wrap(::GetFocus());
}

CWnd *CWnd::GetCapture() {
  return Wrap(::GetCapture());
}

CWnd *CWnd::GetActiveWindow() {
  return Wrap(::GetActiveWindow());
}

CWnd *CWnd::GetForegroundWindow() {
  return Wrap(::GetForegroundWindow());
}

CText CWnd::GetClassName() const {
  char name[260] = "";
  const int length = ::GetClassNameA(handle, name, sizeof name);
  return CText(name, length > 0 ? length : 0);
}

BOOL CWnd::SetTopmost(BOOL topmost) {
  return SetWindowPos(topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

BOOL CWnd::MoveWindow(const RECT &rectangle, BOOL repaint) {
  return MoveWindow(rectangle.left, rectangle.top, rectangle.right - rectangle.left, rectangle.bottom - rectangle.top,
                    repaint);
}

CWnd *CWnd::GetDlgItem(int identifier) const {
  HWND item = ::GetDlgItem(handle, identifier);
  return item ? Wrap(item) : nullptr;
}

CRgn *CWnd::GetWindowRegion() const {
  HRGN region = ::CreateRectRgn(0, 0, 1, 1);
  if (!region) return nullptr;
  if (::GetWindowRgn(handle, region) == ERROR) {
    ::DeleteObject(region);
    return nullptr;
  }
  // The region is this call's own copy: the temporary owns it, so the purge
  // deletes it instead of leaving it to a caller who does not know.
  return MakeTemporary<CRgn>(region, [](CRgn &wrapper, HRGN made) { wrapper.SetHandle(made); });
}

CFont *CWnd::GetFont() const {
  return CFont::Wrap(reinterpret_cast<HFONT>(SendMessage(WM_GETFONT, 0, 0)));
}

BOOL CWnd::CenterWindow(CWnd *over) {
  if (!over) over = Wrap(::GetParent(handle));
  int x, y;
  if (!ComputeCenteredPosition(handle, over ? over->handle : nullptr, &x, &y)) return FALSE;
  UINT flags = SWP_NOSIZE | SWP_NOZORDER;
  if (!::IsWindowVisible(handle)) flags |= SWP_NOREDRAW;
  return ::SetWindowPos(handle, nullptr, x, y, 0, 0, flags);
}

BOOL CWnd::ComputeCenteredPosition(HWND window, HWND over, int *x, int *y) {
  if (!::IsWindow(window) || ::IsIconic(window) || ::IsZoomed(window)) return FALSE;
  RECT reference = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  if (over && ::IsWindowVisible(over) && ::IsWindow(over)) ::GetWindowRect(over, &reference);
  RECT own = {};
  ::GetWindowRect(window, &own);
  const int width = own.right - own.left;
  const int height = own.bottom - own.top;
  int left = reference.left + (reference.right - reference.left - width) / 2;
  int top = reference.top + (reference.bottom - reference.top - height) / 2;
  const int maximumLeft = ::GetSystemMetrics(SM_CXFULLSCREEN) - width;
  const int maximumTop = ::GetSystemMetrics(SM_CYFULLSCREEN) - height;
  if (left >= maximumLeft) left = maximumLeft;
  if (top >= maximumTop) top = maximumTop;
  *x = left < 0 ? 0 : left;
  *y = top < 0 ? 0 : top;
  return TRUE;
}

BOOL CWnd::SetForegroundWindow(BOOL force) {
  return Activate(Activation::Foreground, force);
}

BOOL CWnd::SetActiveWindow(BOOL force) {
  return Activate(Activation::Active, force);
}

BOOL CWnd::BringWindowToTop(BOOL force) {
  return Activate(Activation::Top, force);
}

// The foreground lock of Windows 98 and 2000 and later lets only the
// foreground thread hand the foreground on: a forced call joins that
// thread's input for the length of the call and asks for the right to set
// the foreground window, a function that older systems do not have.
BOOL CWnd::Activate(Activation action, BOOL force) {
  HMODULE user = ::GetModuleHandleA("User32.dll");
  const bool loaded = !user;
  if (loaded) user = ::LoadLibraryA("User32.dll");

  const bool forced = force && (IsWin9x98OrLater() || IsWinNT5OrLater());
  DWORD foregroundThread = 0;
  BOOL attached = FALSE;
  if (forced) {
    foregroundThread = ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr);
    attached = ::AttachThreadInput(::GetCurrentThreadId(), foregroundThread, TRUE);
    typedef BOOL(WINAPI * AllowFunction)(DWORD);
    AllowFunction allow =
        user ? reinterpret_cast<AllowFunction>(
                   reinterpret_cast<void (*)()>(::GetProcAddress(user, "AllowSetForegroundWindow")))
             : nullptr;
    if (allow) allow(::GetCurrentProcessId());
  }

  BOOL result = FALSE;
  switch (action) {
    case Activation::Foreground:
      result = ::SetForegroundWindow(handle);
      break;
    case Activation::Active: {
      BOOL foreground = forced ? ::SetForegroundWindow(handle) : FALSE;
      BOOL active = ::SetActiveWindow(handle) != nullptr;
      result = foreground || active;
      break;
    }
    case Activation::Top: {
      BOOL foreground = forced ? ::SetForegroundWindow(handle) : FALSE;
      result = foreground | ::BringWindowToTop(handle);
      break;
    }
  }

  // Only an attachment made here is undone: input that was joined before
  // stays joined.
  if (attached) ::AttachThreadInput(::GetCurrentThreadId(), foregroundThread, FALSE);
  if (loaded && user) ::FreeLibrary(user);
  return result;
}
