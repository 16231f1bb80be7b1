// CWnd: one window handle and the dispatch of its messages to virtual
// handlers. Every framework window class has CWnd::SharedWindowProcedure as
// its procedure; it finds the object bound to the window in WindowMap and
// calls its WindowProc, which cracks the message and calls the On... handler.
//
// A new window is bound to its object before WM_CREATE: CreateEx announces
// the object in PendingWindowMap under PendingWindowKey, and the first
// message of an unbound window takes the announcement. An existing window
// (a control, a foreign window) is bound by Attach and then Subclass, which
// saves its procedure; Default passes a message on to that saved procedure,
// or to DefWindowProcA.
//
// A CWnd never destroys its window except through Destroy. Its destructor
// takes it out of WindowMap and puts back a saved procedure, so a window
// that outlives its object goes on without it. Not copyable: two objects
// cannot stand for one binding.
//
//   class CMainWindow : public CWnd {
//     void OnPaint() override { CPaintDC dc(this); ... }
//   };
//   RegisterWindowClass("Main", 0, nullptr, nullptr, nullptr, nullptr);
//   CMainWindow window;
//   window.CreateEx("Main", "Title", WS_OVERLAPPEDWINDOW, 0, 0, 0, 300, 200, nullptr, nullptr, nullptr);
//
//   CWnd edit;                       // a control made by someone else
//   edit.Attach(control);
//   edit.Subclass();                 // its messages now reach edit's handlers
#pragma once

#include "platform/Platform.h"  // windows.h first

#include <shellapi.h>  // HDROP

#include <map>

#include "framework/Object.h"
#include "text/Text.h"

class CDC;
class CMenu;
class CFont;
class CRgn;

class CWnd : public CObject {
 public:
  CWnd() = default;
  CWnd(const CWnd &) = delete;
  CWnd &operator=(const CWnd &) = delete;
  // Leaves the window alive, but unbound: the object is taken out of both
  // maps and of the application's idle list and main window, and a saved
  // procedure is put back.
  ~CWnd() override;

  // Creation: CreateEx with the same arguments.
  virtual BOOL Create(const char *className, const char *windowName, DWORD style, DWORD extendedStyle, int x, int y,
                      int width, int height, HWND parent, HMENU menu, void *parameter);
  // Announces this object and creates the window with the application's
  // instance handle; 1 when a window came back. An announcement that no
  // message took (a failed creation, a class with a procedure of its own)
  // is withdrawn, so it cannot bind the next unbound window.
  virtual BOOL CreateEx(const char *className, const char *windowName, DWORD style, DWORD extendedStyle, int x,
                        int y, int width, int height, HWND parent, HMENU menu, void *parameter);
  // DestroyWindow, then the handle is forgotten.
  virtual BOOL Destroy();
  // Binds the attached window and routes it through the shared procedure;
  // 0 without a window, and for a window bound to another object.
  virtual BOOL Subclass();
  // Puts the saved procedure back and unbinds; the handle, or null when the
  // window was not subclassed.
  virtual HWND Unsubclass();
  virtual BOOL SetText(const char *text);
  virtual CText GetText();
  // Kept for derived classes; nothing calls them.
  virtual void Reserved1(int value);
  virtual void Reserved2(int value);
  virtual void Reserved3(int value);
  virtual void Reserved4(int value);
  // The last message, passed to the saved procedure or DefWindowProcA.
  virtual LRESULT Default();
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // Idle work of the message loop; 0: nothing more to do.
  virtual BOOL OnIdle();
  virtual void PreSubclass();
  // 0 keeps the window open on WM_CLOSE.
  virtual BOOL CanClose();

  // Handlers. A base handler that "clears" sets `handled` to 0, which sends
  // the message on to Default.
  virtual void OnHotKey(int identifier, UINT modifiers, UINT virtualKey);
  virtual void OnAppCommand(CWnd *window, int command, UINT device, UINT keyState);
  virtual BOOL OnSetCursor(CWnd *window, UINT hitTest, UINT mouseMessage);
  virtual void OnSettingChange(UINT flags, const char *section);
  virtual void OnDrawClipboard();
  virtual void OnChangeCbChain(CWnd *removed, CWnd *next);
  virtual BOOL OnMouseWheel(UINT keyState, int delta, int x, int y);
  // 0 fails the creation.
  virtual BOOL OnCreate(CREATESTRUCTA *create);
  virtual HBRUSH OnCtlColor(CDC *dc, CWnd *control, UINT type);
  virtual void OnPaint();
  virtual BOOL OnEraseBkgnd(CDC *dc);
  virtual void OnShowWindow(BOOL show, UINT status);
  virtual void OnWindowPosChanging(WINDOWPOS *position);
  virtual void OnWindowPosChanged(WINDOWPOS *position);
  // DefWindowProcA's answer; the result is always the message's answer.
  virtual LRESULT OnNcHitTest(POINT point);
  virtual void OnKeyReserved(UINT first, UINT second, UINT third);
  // WM_KEYDOWN and WM_KEYUP; bit 15 of the flags (transition) tells them
  // apart. Does not clear.
  virtual void OnKey(UINT virtualKey, UINT repeatCount, UINT flags);
  virtual void OnMenuSelect(UINT item, UINT flags, HMENU menu);
  // Nonzero: the message is answered with *result.
  virtual BOOL OnNotify(int identifier, NMHDR *header, LRESULT *result);
  virtual void OnEnterIdle(UINT reason, CWnd *window);
  virtual void OnNcDestroy();
  virtual void OnSysCommand(UINT command, int x, int y);
  virtual void OnCommand(UINT identifier, UINT notifyCode);
  virtual void OnContextMenu(CWnd *window, int x, int y);
  virtual void OnActivate(UINT state, CWnd *other, BOOL minimized);
  virtual void OnMove(int x, int y);
  virtual void OnClose();
  virtual void OnTimer(UINT_PTR identifier);
  virtual void OnSize(UINT type, int width, int height);
  virtual void OnDestroy();
  virtual void OnInitMenuPopup(CMenu *menu, UINT index, BOOL systemMenu);
  virtual void OnInitMenu(CMenu *menu);
  virtual void OnDeleteItem(int identifier, DELETEITEMSTRUCT *item);
  virtual void OnDrawItem(int identifier, DRAWITEMSTRUCT *item, CDC *dc);
  virtual void OnMeasureItem(int identifier, MEASUREITEMSTRUCT *item);
  virtual void OnDropFiles(HDROP drop);
  virtual void OnMouseMove(UINT keyState, int x, int y);
  virtual void OnLButtonDown(UINT keyState, int x, int y);
  virtual void OnRButtonDown(UINT keyState, int x, int y);
  virtual void OnMButtonDown(UINT keyState, int x, int y);
  virtual void OnLButtonUp(UINT keyState, int x, int y);
  virtual void OnRButtonUp(UINT keyState, int x, int y);
  virtual void OnMButtonUp(UINT keyState, int x, int y);
  virtual void OnLButtonDblClk(UINT keyState, int x, int y);
  virtual void OnRButtonDblClk(UINT keyState, int x, int y);
  virtual void OnMButtonDblClk(UINT keyState, int x, int y);
  virtual void OnSysColorChange();
  virtual void OnVScroll(UINT code, UINT position, CWnd *scrollBar);
  virtual void OnHScroll(UINT code, UINT position, CWnd *scrollBar);

  // The procedure of every framework window class.
  static LRESULT CALLBACK SharedWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // The bound object of `window`, else a temporary attached to it until the
  // next purge; null for null.
  static CWnd *Wrap(HWND window);
  // The bound object of `window`, or null; never makes one.
  static CWnd *Lookup(HWND window);

  // The bound objects, the announced ones and the key of the next
  // announcement. Process-wide, for the one user-interface thread.
  static std::map<HWND, CWnd *> WindowMap;
  static std::map<int, CWnd *> PendingWindowMap;
  static int PendingWindowKey;

  // Takes `window` when it is a window; otherwise 0 and the old one stays.
  BOOL Attach(HWND window);
  // Unsubclasses, then hands the handle back and forgets it.
  HWND Detach();
  BOOL IsWindow() const { return handle ? ::IsWindow(handle) : FALSE; }
  HWND GetHandle() const { return handle; }
  WNDPROC GetSavedProcedure() const { return savedProcedure; }
  // GWLP_* index; the call is SetWindowLongA in the 32-bit build.
  LONG_PTR SetWindowLong(int index, LONG_PTR value) { return ::SetWindowLongPtrA(handle, index, value); }
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcA(handle, message, wParam, lParam);
  }
  // WinHelpA with the application's help file.
  BOOL WinHelp(ULONG_PTR data, UINT command);

  // Window operations.
  static CWnd *GetDesktopWindow();
  static CWnd *GetFocus();
  static CWnd *GetCapture();
  static CWnd *GetActiveWindow();
  static CWnd *GetForegroundWindow();
  // Where `window` goes when centred over `over` (the screen when `over` is
  // not a visible window), kept inside the full-screen area and never
  // negative; 0 for a non-window and a minimized or maximized one.
  static BOOL ComputeCenteredPosition(HWND window, HWND over, int *x, int *y);

  CText GetClassName() const;
  LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageA(handle, message, wParam, lParam);
  }
  BOOL SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    return ::SetWindowPos(handle, insertAfter, x, y, cx, cy, flags);
  }
  BOOL Move(int x, int y) { return SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER); }
  BOOL Resize(int cx, int cy) { return SetWindowPos(nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER); }
  BOOL SetTopmost(BOOL topmost);
  BOOL MoveWindow(int x, int y, int width, int height, BOOL repaint) {
    return ::MoveWindow(handle, x, y, width, height, repaint);
  }
  BOOL MoveWindow(const RECT &rectangle, BOOL repaint);
  BOOL ShowWindow(int command) { return ::ShowWindow(handle, command); }
  BOOL UpdateWindow() { return ::UpdateWindow(handle); }
  int MessageBox(const char *text, const char *caption, UINT type) {
    return ::MessageBoxA(handle, text, caption, type);
  }
  LRESULT CloseWindow() { return SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0); }
  LRESULT RestoreWindow() { return SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0); }
  LRESULT MaximizeWindow() { return SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0); }
  LRESULT MinimizeWindow() { return SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0); }
  CWnd *GetDlgItem(int identifier) const;
  CWnd *GetParent() const { return Wrap(::GetParent(handle)); }
  // The window that had the capture or the focus before.
  CWnd *SetCapture() { return Wrap(::SetCapture(handle)); }
  CWnd *SetFocus() { return Wrap(::SetFocus(handle)); }
  // A temporary that owns a copy of the window's region, so the purge
  // deletes it; null when the window has no region.
  CRgn *GetWindowRegion() const;
  CFont *GetFont() const;
  LRESULT SetFont(HFONT font, BOOL redraw) { return SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw); }
  // Centres over `over`, by default the parent, else the screen.
  BOOL CenterWindow(CWnd *over);
  // With `force`, on systems with a foreground lock, the input of the
  // foreground window's thread is borrowed for the call.
  BOOL SetForegroundWindow(BOOL force);
  BOOL SetActiveWindow(BOOL force);
  BOOL BringWindowToTop(BOOL force);

 protected:
  HWND handle = nullptr;
  WNDPROC savedProcedure = nullptr;
  // 1 while a handler handles its message; a base handler that is a default
  // sets it to 0.
  INT32 handled = 0;
  UINT lastMessage = 0;
  WPARAM lastWParam = 0;
  LPARAM lastLParam = 0;
  UINT currentMessage = 0;
  WPARAM currentWParam = 0;
  LPARAM currentLParam = 0;

 private:
  enum class Activation { Foreground, Active, Top };
  BOOL Activate(Activation action, BOOL force);
  // Binds this object to `window` (the announcement taken).
  void Bind(HWND window);
  void Withdraw();
};
