#include "framework/gui/Wnd.h"

#include <memory>
#include <vector>

#include "framework/Application.h"
#include "framework/ProcessAttach.h"
#include "framework/gui/DC.h"
#include "framework/gui/Menu.h"
#include "framework/gui/Temporary.h"

// Built after the application object and destroyed before it (see
// Application.h).
__attribute__((init_priority(1002))) std::map<HWND, CWnd *> CWnd::WindowMap;
__attribute__((init_priority(1002))) std::map<int, CWnd *> CWnd::PendingWindowMap;
int CWnd::PendingWindowKey = 0;

namespace {

// The key after 0xFFFFFE is 0.
const int kPendingKeyLimit = 0xFFFFFF;

int SignedLow(LPARAM value) {
  return static_cast<short>(LOWORD(value));
}

int SignedHigh(LPARAM value) {
  return static_cast<short>(HIWORD(value));
}

}  // namespace

CWnd::~CWnd() {
  Withdraw();
  if (savedProcedure && ::IsWindow(handle)) CWnd::Unsubclass();
  auto bound = WindowMap.find(handle);
  if (bound != WindowMap.end() && bound->second == this) WindowMap.erase(bound);
  // The message loop calls the idle list and the main window: a deleted
  // object must be on neither.
  if (CApplication *application = GetApplication()) {
    int index;
    while ((index = application->windowList.Find(this)) >= 0) application->windowList.RemoveAt(index);
    if (application->mainWindow == this) application->mainWindow = nullptr;
  }
}

void CWnd::Withdraw() {
  for (auto entry = PendingWindowMap.begin(); entry != PendingWindowMap.end();) {
    if (entry->second == this)
      entry = PendingWindowMap.erase(entry);
    else
      ++entry;
  }
}

void CWnd::Bind(HWND window) {
  PendingWindowMap.erase(PendingWindowKey);
  WindowMap[window] = this;
  handle = window;
  if (++PendingWindowKey >= kPendingKeyLimit) PendingWindowKey = 0;
}

LRESULT CALLBACK CWnd::SharedWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd *object = Lookup(window);
  if (!object) {
    auto pending = PendingWindowMap.find(PendingWindowKey);
    if (pending == PendingWindowMap.end() || !pending->second)
      return ::DefWindowProcA(window, message, wParam, lParam);
    object = pending->second;
    object->Bind(window);
  }
  object->lastMessage = message;
  object->lastWParam = wParam;
  object->lastLParam = lParam;
  try {
    return object->WindowProc(message, wParam, lParam);
  } catch (...) {
    return ::DefWindowProcA(window, message, wParam, lParam);
  }
}

CWnd *CWnd::Wrap(HWND window) {
  if (!window) return nullptr;
  if (CWnd *bound = Lookup(window)) return bound;
  return MakeTemporary<CWnd>(window, [](CWnd &wrapper, HWND borrowed) { wrapper.Attach(borrowed); });
}

CWnd *CWnd::Lookup(HWND window) {
  if (!window) return nullptr;
  auto bound = WindowMap.find(window);
  return bound == WindowMap.end() ? nullptr : bound->second;
}

BOOL CWnd::Create(const char *className, const char *windowName, DWORD style, DWORD extendedStyle, int x, int y,
                  int width, int height, HWND parent, HMENU menu, void *parameter) {
  return CreateEx(className, windowName, style, extendedStyle, x, y, width, height, parent, menu, parameter);
}

BOOL CWnd::CreateEx(const char *className, const char *windowName, DWORD style, DWORD extendedStyle, int x, int y,
                    int width, int height, HWND parent, HMENU menu, void *parameter) {
  PendingWindowMap[PendingWindowKey] = this;
  HWND window = nullptr;
  try {
    window = ::CreateWindowExA(extendedStyle, className, windowName, style, x, y, width, height, parent, menu,
                               GetInstanceHandle(), parameter);
  } catch (...) {
    window = nullptr;
  }
  // An announcement no message took (the creation failed, or the class has
  // a procedure of its own) would bind the next unbound window to this
  // object: it is withdrawn.
  auto pending = PendingWindowMap.find(PendingWindowKey);
  if (pending != PendingWindowMap.end() && pending->second == this) PendingWindowMap.erase(pending);
  return window ? TRUE : FALSE;
}

BOOL CWnd::Destroy() {
  BOOL result = ::DestroyWindow(handle);
  handle = nullptr;
  return result;
}

BOOL CWnd::Subclass() {
  if (!IsWindow()) return FALSE;
  if (savedProcedure) return TRUE;
  // A window bound already (to another object, or to this one through its
  // class) keeps its binding: its procedure may be the shared one, which
  // saved here would call itself forever, and nothing would take the
  // announcement.
  if (Lookup(handle)) return FALSE;
  PreSubclass();
  PendingWindowMap[PendingWindowKey] = this;
  savedProcedure = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::SharedWindowProcedure)));
  SharedWindowProcedure(handle, WM_NULL, 0, 0);
  return TRUE;
}

HWND CWnd::Unsubclass() {
  if (!savedProcedure) return nullptr;
  ::SetWindowLongPtrA(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(savedProcedure));
  savedProcedure = nullptr;
  auto bound = WindowMap.find(handle);
  if (bound != WindowMap.end() && bound->second == this) WindowMap.erase(bound);
  return handle;
}

BOOL CWnd::SetText(const char *text) {
  return ::SetWindowTextA(handle, text);
}

CText CWnd::GetText() {
  const int length = ::GetWindowTextLengthA(handle);
  std::vector<char> buffer(length + 1, '\0');
  const int copied = ::GetWindowTextA(handle, buffer.data(), length + 1);
  return CText(buffer.data(), copied > 0 ? copied : 0);
}

void CWnd::Reserved1(int) {}
void CWnd::Reserved2(int) {}
void CWnd::Reserved3(int) {}
void CWnd::Reserved4(int) {}

LRESULT CWnd::Default() {
  if (savedProcedure) return ::CallWindowProcA(savedProcedure, handle, lastMessage, lastWParam, lastLParam);
  return ::DefWindowProcA(handle, lastMessage, lastWParam, lastLParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  currentMessage = message;
  currentWParam = wParam;
  currentLParam = lParam;
  handled = 1;
  const UINT legacyWheel = LegacyWheelMessage();
  if (legacyWheel && message == legacyWheel) return WindowProc(WM_MOUSEWHEEL, wParam, lParam);

  const int x = SignedLow(lParam);
  const int y = SignedHigh(lParam);
  switch (message) {
    case WM_CREATE:
      return OnCreate(reinterpret_cast<CREATESTRUCTA *>(lParam)) ? 0 : -1;
    case WM_DESTROY: {
      OnDestroy();
      CWnd *main = GetMainWindow();
      if (handle == (main ? main->handle : nullptr)) ::PostQuitMessage(0);
      break;
    }
    case WM_MOVE:
      OnMove(x, y);
      break;
    case WM_SIZE:
      OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
      break;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam), Wrap(reinterpret_cast<HWND>(lParam)), HIWORD(wParam) ? TRUE : FALSE);
      break;
    case WM_PAINT:
      OnPaint();
      if (handled) return 0;
      break;
    case WM_CLOSE:
      if (!CanClose()) return 0;
      handled = 0;
      OnClose();
      break;
    case WM_ERASEBKGND: {
      BOOL result = OnEraseBkgnd(CDC::Wrap(reinterpret_cast<HDC>(wParam)));
      if (handled) return result;
      break;
    }
    case WM_SYSCOLORCHANGE:
      OnSysColorChange();
      break;
    case WM_SHOWWINDOW:
      OnShowWindow(static_cast<BOOL>(wParam), static_cast<UINT>(lParam));
      if (handled) return 0;
      break;
    case WM_SETTINGCHANGE:
      OnSettingChange(static_cast<UINT>(wParam), reinterpret_cast<const char *>(lParam));
      break;
    case WM_SETCURSOR: {
      BOOL result = OnSetCursor(Wrap(reinterpret_cast<HWND>(wParam)), LOWORD(lParam), HIWORD(lParam));
      if (handled) return result;
      break;
    }
    case WM_DRAWITEM: {
      DRAWITEMSTRUCT *item = reinterpret_cast<DRAWITEMSTRUCT *>(lParam);
      // A null structure (a message sent by hand) gives no DC rather than a
      // read through null.
      OnDrawItem(static_cast<int>(wParam), item, item ? CDC::Wrap(item->hDC) : nullptr);
      if (handled) return 0;
      break;
    }
    case WM_MEASUREITEM:
      OnMeasureItem(static_cast<int>(wParam), reinterpret_cast<MEASUREITEMSTRUCT *>(lParam));
      if (handled) return 0;
      break;
    case WM_DELETEITEM:
      OnDeleteItem(static_cast<int>(wParam), reinterpret_cast<DELETEITEMSTRUCT *>(lParam));
      if (handled) return 0;
      break;
    case WM_WINDOWPOSCHANGING:
      OnWindowPosChanging(reinterpret_cast<WINDOWPOS *>(lParam));
      if (handled) return 0;
      break;
    case WM_WINDOWPOSCHANGED:
      OnWindowPosChanged(reinterpret_cast<WINDOWPOS *>(lParam));
      if (handled) return 0;
      break;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (OnNotify(static_cast<int>(wParam), reinterpret_cast<NMHDR *>(lParam), &result)) return result;
      break;
    }
    case WM_CONTEXTMENU:
      OnContextMenu(wParam ? Wrap(reinterpret_cast<HWND>(wParam)) : nullptr, x, y);
      break;
    case WM_NCDESTROY:
      OnNcDestroy();
      if (!Unsubclass()) {
        auto bound = WindowMap.find(handle);
        if (bound != WindowMap.end() && bound->second == this) WindowMap.erase(bound);
      }
      WinHelp(0, HELP_QUIT);
      break;
    case WM_NCHITTEST: {
      POINT point = {x, y};
      return OnNcHitTest(point);
    }
    case WM_KEYDOWN:
    case WM_KEYUP:
      OnKey(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
      break;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      break;
    case WM_SYSCOMMAND:
      OnSysCommand(static_cast<UINT>(wParam), x, y);
      if (handled) return 0;
      break;
    case WM_TIMER:
      OnTimer(wParam);
      break;
    case WM_HSCROLL:
      OnHScroll(LOWORD(wParam), HIWORD(wParam), Wrap(reinterpret_cast<HWND>(lParam)));
      break;
    case WM_VSCROLL:
      OnVScroll(LOWORD(wParam), HIWORD(wParam), Wrap(reinterpret_cast<HWND>(lParam)));
      break;
    case WM_INITMENU:
      OnInitMenu(CMenu::Wrap(reinterpret_cast<HMENU>(wParam)));
      break;
    case WM_INITMENUPOPUP:
      OnInitMenuPopup(CMenu::Wrap(reinterpret_cast<HMENU>(wParam)), LOWORD(lParam), HIWORD(lParam));
      break;
    case WM_MENUSELECT:
      OnMenuSelect(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HMENU>(lParam));
      break;
    case WM_ENTERIDLE:
      OnEnterIdle(static_cast<UINT>(wParam), Wrap(reinterpret_cast<HWND>(lParam)));
      break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<LRESULT>(OnCtlColor(CDC::Wrap(reinterpret_cast<HDC>(wParam)),
                                                  Wrap(reinterpret_cast<HWND>(lParam)),
                                                  message - WM_CTLCOLOREDIT + 1));
    case WM_MOUSEMOVE:
      OnMouseMove(static_cast<UINT>(wParam), x, y);
      break;
    case WM_LBUTTONDOWN:
      OnLButtonDown(static_cast<UINT>(wParam), x, y);
      break;
    case WM_LBUTTONUP:
      OnLButtonUp(static_cast<UINT>(wParam), x, y);
      break;
    case WM_LBUTTONDBLCLK:
      OnLButtonDblClk(static_cast<UINT>(wParam), x, y);
      break;
    case WM_RBUTTONDOWN:
      OnRButtonDown(static_cast<UINT>(wParam), x, y);
      break;
    case WM_RBUTTONUP:
      OnRButtonUp(static_cast<UINT>(wParam), x, y);
      break;
    case WM_RBUTTONDBLCLK:
      OnRButtonDblClk(static_cast<UINT>(wParam), x, y);
      break;
    case WM_MBUTTONDOWN:
      OnMButtonDown(static_cast<UINT>(wParam), x, y);
      break;
    case WM_MBUTTONUP:
      OnMButtonUp(static_cast<UINT>(wParam), x, y);
      break;
    case WM_MBUTTONDBLCLK:
      OnMButtonDblClk(static_cast<UINT>(wParam), x, y);
      break;
    case WM_MOUSEWHEEL:
      if (OnMouseWheel(LOWORD(wParam), static_cast<short>(HIWORD(wParam)), x, y)) return 0;
      break;
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wParam));
      break;
    case WM_DRAWCLIPBOARD:
      OnDrawClipboard();
      if (handled) return 0;
      break;
    case WM_CHANGECBCHAIN:
      OnChangeCbChain(Wrap(reinterpret_cast<HWND>(wParam)), Wrap(reinterpret_cast<HWND>(lParam)));
      if (handled) return 0;
      break;
    case WM_HOTKEY:
      OnHotKey(static_cast<int>(wParam), LOWORD(lParam), HIWORD(lParam));
      if (handled) return 0;
      break;
    case WM_APPCOMMAND:
      OnAppCommand(Wrap(reinterpret_cast<HWND>(wParam)), static_cast<short>(HIWORD(lParam) & ~FAPPCOMMAND_MASK),
                   HIWORD(lParam) & FAPPCOMMAND_MASK, LOWORD(lParam));
      if (handled) return 1;
      break;
    default:
      break;
  }

  // Default processing of the message this call dispatched: a handler may
  // have dispatched others to this window meanwhile.
  lastMessage = message;
  lastWParam = wParam;
  lastLParam = lParam;
  try {
    return Default();
  } catch (...) {
    char line[128];
    ::wsprintfA(line, "Error; Msg : %d %x\n", message, message);
    ::OutputDebugStringA(line);
    return 0;
  }
}

BOOL CWnd::OnIdle() {
  return FALSE;
}

void CWnd::PreSubclass() {}

BOOL CWnd::CanClose() {
  return TRUE;
}

void CWnd::OnHotKey(int, UINT, UINT) {
  handled = 0;
}

void CWnd::OnAppCommand(CWnd *, int, UINT, UINT) {
  handled = 0;
}

BOOL CWnd::OnSetCursor(CWnd *, UINT, UINT) {
  handled = 0;
  return FALSE;
}

void CWnd::OnSettingChange(UINT, const char *) {
  handled = 0;
}

void CWnd::OnDrawClipboard() {
  handled = 0;
}

void CWnd::OnChangeCbChain(CWnd *, CWnd *) {
  handled = 0;
}

BOOL CWnd::OnMouseWheel(UINT, int, int, int) {
  handled = 0;
  return FALSE;
}

BOOL CWnd::OnCreate(CREATESTRUCTA *) {
  handled = 0;
  return TRUE;
}

HBRUSH CWnd::OnCtlColor(CDC *, CWnd *, UINT) {
  handled = 0;
  return reinterpret_cast<HBRUSH>(::DefWindowProcA(handle, lastMessage, lastWParam, lastLParam));
}

void CWnd::OnPaint() {
  handled = 0;
}

BOOL CWnd::OnEraseBkgnd(CDC *) {
  handled = 0;
  return FALSE;
}

void CWnd::OnShowWindow(BOOL, UINT) {
  handled = 0;
}

void CWnd::OnWindowPosChanging(WINDOWPOS *) {
  handled = 0;
}

void CWnd::OnWindowPosChanged(WINDOWPOS *) {
  handled = 0;
}

LRESULT CWnd::OnNcHitTest(POINT) {
  return ::DefWindowProcA(handle, currentMessage, currentWParam, currentLParam);
}

void CWnd::OnKeyReserved(UINT, UINT, UINT) {}

void CWnd::OnKey(UINT, UINT, UINT) {}

void CWnd::OnMenuSelect(UINT, UINT, HMENU) {
  handled = 0;
}

BOOL CWnd::OnNotify(int, NMHDR *, LRESULT *) {
  handled = 0;
  return FALSE;
}

void CWnd::OnEnterIdle(UINT, CWnd *) {
  handled = 0;
}

void CWnd::OnNcDestroy() {
  handled = 0;
}

void CWnd::OnSysCommand(UINT, int, int) {
  handled = 0;
}

void CWnd::OnCommand(UINT, UINT) {
  handled = 0;
}

void CWnd::OnContextMenu(CWnd *, int, int) {}

void CWnd::OnActivate(UINT, CWnd *, BOOL) {
  handled = 0;
}

void CWnd::OnMove(int, int) {
  handled = 0;
}

void CWnd::OnClose() {
  handled = 0;
}

void CWnd::OnTimer(UINT_PTR) {}

void CWnd::OnSize(UINT, int, int) {
  handled = 0;
}

void CWnd::OnDestroy() {
  handled = 0;
}

void CWnd::OnInitMenuPopup(CMenu *, UINT, BOOL) {
  handled = 0;
}

void CWnd::OnInitMenu(CMenu *) {
  handled = 0;
}

void CWnd::OnDeleteItem(int, DELETEITEMSTRUCT *) {
  handled = 0;
}

void CWnd::OnDrawItem(int, DRAWITEMSTRUCT *, CDC *) {
  handled = 0;
}

void CWnd::OnMeasureItem(int, MEASUREITEMSTRUCT *) {
  handled = 0;
}

void CWnd::OnDropFiles(HDROP) {
  handled = 0;
}

void CWnd::OnMouseMove(UINT, int, int) {
  handled = 0;
}

void CWnd::OnLButtonDown(UINT, int, int) {
  handled = 0;
}

void CWnd::OnRButtonDown(UINT, int, int) {
  handled = 0;
}

void CWnd::OnMButtonDown(UINT, int, int) {
  handled = 0;
}

void CWnd::OnLButtonUp(UINT, int, int) {
  handled = 0;
}

void CWnd::OnRButtonUp(UINT, int, int) {
  handled = 0;
}

void CWnd::OnMButtonUp(UINT, int, int) {
  handled = 0;
}

void CWnd::OnLButtonDblClk(UINT, int, int) {
  handled = 0;
}

void CWnd::OnRButtonDblClk(UINT, int, int) {
  handled = 0;
}

void CWnd::OnMButtonDblClk(UINT, int, int) {
  handled = 0;
}

void CWnd::OnSysColorChange() {
  handled = 0;
}

void CWnd::OnVScroll(UINT, UINT, CWnd *) {}

void CWnd::OnHScroll(UINT, UINT, CWnd *) {}

BOOL CWnd::Attach(HWND window) {
  if (!::IsWindow(window)) return FALSE;
  handle = window;
  return TRUE;
}

HWND CWnd::Detach() {
  Unsubclass();
  HWND window = handle;
  handle = nullptr;
  return window;
}

BOOL CWnd::WinHelp(ULONG_PTR data, UINT command) {
  CApplication *application = GetApplication();
  return ::WinHelpA(handle, application ? application->helpFilePath.c_str() : "", command, data);
}
