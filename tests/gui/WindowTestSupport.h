// Helpers of the window tests: an application object per test with the
// framework's window class registered, a window class that writes every
// handler call with its cracked arguments to a log, and a plain window whose
// procedure counts what reaches it.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "GuiTestSupport.h"
#include "framework/Application.h"
#include "framework/gui/DC.h"
#include "framework/gui/Menu.h"
#include "framework/gui/Wnd.h"

const char kFrameClass[] = "TovraTestFrame";

class TestApplication : public CApplication {
 public:
  BOOL OnIdle(int idleCount) override {
    idleCounts.push_back(idleCount);
    if (static_cast<int>(idleCounts.size()) == quitAfterIdleCalls) ::PostQuitMessage(quitCode);
    return moreIdleWork;
  }
  BOOL PreTranslate(MSG *message) override { return consumeMessage && message->message == consumeMessage; }

  std::vector<int> idleCounts;
  int quitAfterIdleCalls = 0;  // 0: never
  int quitCode = 0;
  BOOL moreIdleWork = FALSE;
  UINT consumeMessage = 0;
};

// Each test has an application, the frame class, and no message, wrapper or
// binding left from the test before.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(RegisterWindowClass(kFrameClass, 0, nullptr, nullptr, nullptr, nullptr));
  }
  void TearDown() override {
    PurgeTemporaryObjects();
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
    EXPECT_TRUE(CWnd::PendingWindowMap.empty()) << "an announcement outlived the test";
    EXPECT_TRUE(CWnd::WindowMap.empty()) << "a binding outlived its object";
  }

  TestApplication application;
};

// Handler arguments as the log writes them; the expectations use the same
// words for the handles they pass.
template <typename T, typename = std::enable_if_t<std::is_integral<T>::value>>
std::string Describe(T value) {
  return std::to_string(value);
}
inline std::string Describe(const void *pointer) {
  char text[32];
  std::snprintf(text, sizeof text, "%p", pointer);
  return text;
}
inline std::string Describe(const char *text) {
  return text ? std::string("\"") + text + "\"" : "null";
}
struct WindowArg {
  HWND handle;
};
struct DCArg {
  HDC handle;
};
struct MenuArg {
  HMENU handle;
};
inline std::string Describe(WindowArg window) {
  return "wnd " + Describe(static_cast<const void *>(window.handle));
}
inline std::string Describe(DCArg dc) {
  return "dc " + Describe(static_cast<const void *>(dc.handle));
}
inline std::string Describe(MenuArg menu) {
  return "menu " + Describe(static_cast<const void *>(menu.handle));
}
inline std::string Describe(CWnd *window) {
  return window ? Describe(WindowArg{window->GetHandle()}) : "null";
}
inline std::string Describe(CDC *dc) {
  return dc ? Describe(DCArg{dc->GetHandle()}) : "null";
}
inline std::string Describe(CMenu *menu) {
  return menu ? Describe(MenuArg{menu->GetHandle()}) : "null";
}

inline std::string Call(const char *name) {
  return std::string(name) + "()";
}
template <typename First, typename... Rest>
std::string Call(const char *name, First first, Rest... rest) {
  std::string text = std::string(name) + "(" + Describe(first);
  ((text += "," + Describe(rest)), ...);
  return text + ")";
}

// Every handler logs its call; with `callBase` it then runs the base
// handler, otherwise it answers as a program's own handler would (TRUE, a
// written notify result, a brush, a hit-test code).
class RecordingWindow : public CWnd {
 public:
  std::vector<std::string> log;
  bool callBase = true;
  BOOL canClose = TRUE;
  BOOL createResult = TRUE;
  bool throwInCommand = false;
  bool throwInDefault = false;
  UINT throwInWindowProc = 0;
  BOOL idleResult = FALSE;
  int idleCalls = 0;
  HWND handleInCreate = nullptr;
  CWnd *lookupInCreate = nullptr;

  bool Logged(const std::string &entry) const {
    for (const std::string &line : log)
      if (line == entry) return true;
    return false;
  }
  bool ReachedDefault(UINT message) const { return Logged("Default " + std::to_string(message)); }
  INT32 Handled() const { return handled; }

  LRESULT Default() override {
    log.push_back("Default " + std::to_string(lastMessage));
    if (throwInDefault) throw std::runtime_error("default");
    return CWnd::Default();
  }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (throwInWindowProc && message == throwInWindowProc) throw std::runtime_error("window procedure");
    return CWnd::WindowProc(message, wParam, lParam);
  }
  BOOL OnIdle() override {
    ++idleCalls;
    return idleResult;
  }
  BOOL CanClose() override {
    log.push_back("CanClose()");
    return canClose;
  }
  void OnHotKey(int identifier, UINT modifiers, UINT key) override {
    log.push_back(Call("OnHotKey", identifier, modifiers, key));
    if (callBase) CWnd::OnHotKey(identifier, modifiers, key);
  }
  void OnAppCommand(CWnd *window, int command, UINT device, UINT keys) override {
    log.push_back(Call("OnAppCommand", window, command, device, keys));
    if (callBase) CWnd::OnAppCommand(window, command, device, keys);
  }
  BOOL OnSetCursor(CWnd *window, UINT hitTest, UINT mouseMessage) override {
    log.push_back(Call("OnSetCursor", window, hitTest, mouseMessage));
    return callBase ? CWnd::OnSetCursor(window, hitTest, mouseMessage) : TRUE;
  }
  void OnSettingChange(UINT flags, const char *section) override {
    log.push_back(Call("OnSettingChange", flags, section));
    if (callBase) CWnd::OnSettingChange(flags, section);
  }
  void OnDrawClipboard() override {
    log.push_back(Call("OnDrawClipboard"));
    if (callBase) CWnd::OnDrawClipboard();
  }
  void OnChangeCbChain(CWnd *removed, CWnd *next) override {
    log.push_back(Call("OnChangeCbChain", removed, next));
    if (callBase) CWnd::OnChangeCbChain(removed, next);
  }
  BOOL OnMouseWheel(UINT keys, int delta, int x, int y) override {
    log.push_back(Call("OnMouseWheel", keys, delta, x, y));
    return callBase ? CWnd::OnMouseWheel(keys, delta, x, y) : TRUE;
  }
  BOOL OnCreate(CREATESTRUCTA *create) override {
    log.push_back(Call("OnCreate", static_cast<const void *>(create)));
    handleInCreate = handle;
    lookupInCreate = Lookup(handle);
    if (!createResult) return FALSE;
    return callBase ? CWnd::OnCreate(create) : TRUE;
  }
  HBRUSH OnCtlColor(CDC *dc, CWnd *control, UINT type) override {
    log.push_back(Call("OnCtlColor", dc, control, type));
    return callBase ? CWnd::OnCtlColor(dc, control, type) : static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
  }
  void OnPaint() override {
    log.push_back(Call("OnPaint"));
    if (callBase) CWnd::OnPaint();
  }
  BOOL OnEraseBkgnd(CDC *dc) override {
    log.push_back(Call("OnEraseBkgnd", dc));
    return callBase ? CWnd::OnEraseBkgnd(dc) : TRUE;
  }
  void OnShowWindow(BOOL show, UINT status) override {
    log.push_back(Call("OnShowWindow", show, status));
    if (callBase) CWnd::OnShowWindow(show, status);
  }
  void OnWindowPosChanging(WINDOWPOS *position) override {
    log.push_back(Call("OnWindowPosChanging", static_cast<const void *>(position)));
    if (callBase) CWnd::OnWindowPosChanging(position);
  }
  void OnWindowPosChanged(WINDOWPOS *position) override {
    log.push_back(Call("OnWindowPosChanged", static_cast<const void *>(position)));
    if (callBase) CWnd::OnWindowPosChanged(position);
  }
  LRESULT OnNcHitTest(POINT point) override {
    log.push_back(Call("OnNcHitTest", static_cast<int>(point.x), static_cast<int>(point.y)));
    return callBase ? CWnd::OnNcHitTest(point) : HTCAPTION;
  }
  void OnKey(UINT key, UINT repeat, UINT flags) override {
    log.push_back(Call("OnKey", key, repeat, flags));
    if (callBase) CWnd::OnKey(key, repeat, flags);
  }
  void OnMenuSelect(UINT item, UINT flags, HMENU menu) override {
    log.push_back(Call("OnMenuSelect", item, flags, static_cast<const void *>(menu)));
    if (callBase) CWnd::OnMenuSelect(item, flags, menu);
  }
  BOOL OnNotify(int identifier, NMHDR *header, LRESULT *result) override {
    log.push_back(Call("OnNotify", identifier, static_cast<const void *>(header)));
    if (callBase) return CWnd::OnNotify(identifier, header, result);
    *result = 77;
    return TRUE;
  }
  void OnEnterIdle(UINT reason, CWnd *window) override {
    log.push_back(Call("OnEnterIdle", reason, window));
    if (callBase) CWnd::OnEnterIdle(reason, window);
  }
  void OnNcDestroy() override {
    log.push_back(Call("OnNcDestroy"));
    if (callBase) CWnd::OnNcDestroy();
  }
  void OnSysCommand(UINT command, int x, int y) override {
    log.push_back(Call("OnSysCommand", command, x, y));
    if (callBase) CWnd::OnSysCommand(command, x, y);
  }
  void OnCommand(UINT identifier, UINT code) override {
    log.push_back(Call("OnCommand", identifier, code));
    if (throwInCommand) throw std::runtime_error("command");
    if (callBase) CWnd::OnCommand(identifier, code);
  }
  void OnContextMenu(CWnd *window, int x, int y) override {
    log.push_back(Call("OnContextMenu", window, x, y));
    if (callBase) CWnd::OnContextMenu(window, x, y);
  }
  void OnActivate(UINT state, CWnd *other, BOOL minimized) override {
    log.push_back(Call("OnActivate", state, other, minimized));
    if (callBase) CWnd::OnActivate(state, other, minimized);
  }
  void OnMove(int x, int y) override {
    log.push_back(Call("OnMove", x, y));
    if (callBase) CWnd::OnMove(x, y);
  }
  void OnClose() override {
    log.push_back(Call("OnClose"));
    if (callBase) CWnd::OnClose();
  }
  void OnTimer(UINT_PTR identifier) override {
    log.push_back(Call("OnTimer", identifier));
    if (callBase) CWnd::OnTimer(identifier);
  }
  void OnSize(UINT type, int width, int height) override {
    log.push_back(Call("OnSize", type, width, height));
    if (callBase) CWnd::OnSize(type, width, height);
  }
  void OnDestroy() override {
    log.push_back(Call("OnDestroy"));
    if (callBase) CWnd::OnDestroy();
  }
  void OnInitMenuPopup(CMenu *menu, UINT index, BOOL systemMenu) override {
    log.push_back(Call("OnInitMenuPopup", menu, index, systemMenu));
    if (callBase) CWnd::OnInitMenuPopup(menu, index, systemMenu);
  }
  void OnInitMenu(CMenu *menu) override {
    log.push_back(Call("OnInitMenu", menu));
    if (callBase) CWnd::OnInitMenu(menu);
  }
  void OnDeleteItem(int identifier, DELETEITEMSTRUCT *item) override {
    log.push_back(Call("OnDeleteItem", identifier, static_cast<const void *>(item)));
    if (callBase) CWnd::OnDeleteItem(identifier, item);
  }
  void OnDrawItem(int identifier, DRAWITEMSTRUCT *item, CDC *dc) override {
    log.push_back(Call("OnDrawItem", identifier, static_cast<const void *>(item), dc));
    if (callBase) CWnd::OnDrawItem(identifier, item, dc);
  }
  void OnMeasureItem(int identifier, MEASUREITEMSTRUCT *item) override {
    log.push_back(Call("OnMeasureItem", identifier, static_cast<const void *>(item)));
    if (callBase) CWnd::OnMeasureItem(identifier, item);
  }
  void OnDropFiles(HDROP drop) override {
    log.push_back(Call("OnDropFiles", static_cast<const void *>(drop)));
    if (callBase) CWnd::OnDropFiles(drop);
  }
#define TOVRA_MOUSE_HANDLER(name)                   \
  void name(UINT keys, int x, int y) override {     \
    log.push_back(Call(#name, keys, x, y));         \
    if (callBase) CWnd::name(keys, x, y);           \
  }
  TOVRA_MOUSE_HANDLER(OnMouseMove)
  TOVRA_MOUSE_HANDLER(OnLButtonDown)
  TOVRA_MOUSE_HANDLER(OnRButtonDown)
  TOVRA_MOUSE_HANDLER(OnMButtonDown)
  TOVRA_MOUSE_HANDLER(OnLButtonUp)
  TOVRA_MOUSE_HANDLER(OnRButtonUp)
  TOVRA_MOUSE_HANDLER(OnMButtonUp)
  TOVRA_MOUSE_HANDLER(OnLButtonDblClk)
  TOVRA_MOUSE_HANDLER(OnRButtonDblClk)
  TOVRA_MOUSE_HANDLER(OnMButtonDblClk)
#undef TOVRA_MOUSE_HANDLER
  void OnSysColorChange() override {
    log.push_back(Call("OnSysColorChange"));
    if (callBase) CWnd::OnSysColorChange();
  }
  void OnVScroll(UINT code, UINT position, CWnd *bar) override {
    log.push_back(Call("OnVScroll", code, position, bar));
    if (callBase) CWnd::OnVScroll(code, position, bar);
  }
  void OnHScroll(UINT code, UINT position, CWnd *bar) override {
    log.push_back(Call("OnHScroll", code, position, bar));
    if (callBase) CWnd::OnHScroll(code, position, bar);
  }

  // A hidden top-level window of the frame class.
  BOOL CreateFrame() {
    return CreateEx(kFrameClass, "frame", WS_OVERLAPPEDWINDOW, 0, 10, 20, 200, 100, nullptr, nullptr, nullptr);
  }
};

// A window of a class of its own whose procedure counts the messages that
// reach it; destroyed with the object.
class CountedWindow {
 public:
  CountedWindow() {
    static ATOM atom = [] {
      WNDCLASSA windowClass = {};
      windowClass.lpfnWndProc = Procedure;
      windowClass.hInstance = ::GetModuleHandleA(nullptr);
      windowClass.lpszClassName = "TovraCountedWindow";
      return ::RegisterClassA(&windowClass);
    }();
    (void)atom;
    Counts().clear();
    handle = ::CreateWindowExA(0, "TovraCountedWindow", "counted", WS_OVERLAPPEDWINDOW, 0, 0, 100, 50, nullptr,
                               nullptr, ::GetModuleHandleA(nullptr), nullptr);
  }
  CountedWindow(const CountedWindow &) = delete;
  CountedWindow &operator=(const CountedWindow &) = delete;
  ~CountedWindow() {
    if (::IsWindow(handle)) ::DestroyWindow(handle);
  }
  HWND Get() const { return handle; }
  static WNDPROC Original() { return Procedure; }
  // How often `message` reached the window's own procedure.
  static int Count(UINT message) {
    int count = 0;
    for (UINT seen : Counts()) count += seen == message;
    return count;
  }

 private:
  static std::vector<UINT> &Counts() {
    static std::vector<UINT> counts;
    return counts;
  }
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Counts().push_back(message);
    return ::DefWindowProcA(window, message, wParam, lParam);
  }

  HWND handle;
};

inline WNDPROC ProcedureOf(HWND window) {
  return reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(window, GWLP_WNDPROC));
}

// Whether a WM_QUIT is queued; takes it off the queue, with its code.
inline bool TakeQuit(WPARAM *code) {
  MSG message;
  if (!::PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return false;
  *code = message.wParam;
  return true;
}
