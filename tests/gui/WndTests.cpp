// CWnd: binding a window to its object, the dispatch of the 54 messages,
// the handled flag and Default, subclassing, temporaries, and what happens
// when an object dies before its window.
#include <gtest/gtest.h>

#include <set>

#include "WindowTestSupport.h"
#include "framework/ProcessAttach.h"

namespace {

// One message of the dispatch table: the handler call it must make, and
// whether it reaches Default with the base handlers and with handlers that
// answer for themselves (which then give `overriddenResult`).
struct DispatchCase {
  const char *name;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  std::string call;
  bool defaultWithBase;
  bool defaultWhenOverridden;
  LRESULT overriddenResult;
};

class Dispatch : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    dc = ::CreateCompatibleDC(nullptr);
    menu = ::CreatePopupMenu();
  }
  void TearDown() override {
    ::DeleteDC(dc);
    ::DestroyMenu(menu);
    WindowTest::TearDown();
  }

  std::vector<DispatchCase> Cases() {
    HWND o = other.Get();
    LPARAM otherL = reinterpret_cast<LPARAM>(o);
    WPARAM otherW = reinterpret_cast<WPARAM>(o);
    WPARAM dcW = reinterpret_cast<WPARAM>(dc);
    WPARAM menuW = reinterpret_cast<WPARAM>(menu);
    drawItem.hDC = dc;
    windowPos.flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER;
    auto pointer = [](const void *p) { return reinterpret_cast<LPARAM>(p); };
    auto address = [](const void *p) { return static_cast<const void *>(p); };
    const LRESULT gray = reinterpret_cast<LRESULT>(::GetStockObject(GRAY_BRUSH));
    std::vector<DispatchCase> cases = {
        {"create", WM_CREATE, 0, pointer(&create), Call("OnCreate", address(&create)), false, false, 0},
        {"destroy", WM_DESTROY, 0, 0, Call("OnDestroy"), true, true, 0},
        {"move has signed coordinates", WM_MOVE, 0, MAKELPARAM(-3, 4), Call("OnMove", -3, 4), true, true, 0},
        {"size has unsigned words", WM_SIZE, SIZE_RESTORED, MAKELPARAM(0xFFFE, 5), Call("OnSize", 0u, 65534, 5),
         true, true, 0},
        {"activate", WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 1), otherL, Call("OnActivate", 1u, WindowArg{o}, 1), true,
         true, 0},
        {"paint", WM_PAINT, 0, 0, Call("OnPaint"), true, false, 0},
        {"close", WM_CLOSE, 0, 0, Call("OnClose"), true, true, 0},
        {"erase background", WM_ERASEBKGND, dcW, 0, Call("OnEraseBkgnd", DCArg{dc}), true, false, 1},
        {"system colours", WM_SYSCOLORCHANGE, 0, 0, Call("OnSysColorChange"), true, true, 0},
        {"show", WM_SHOWWINDOW, TRUE, 0, Call("OnShowWindow", 1, 0u), true, false, 0},
        {"setting", WM_SETTINGCHANGE, 47, pointer("intl"), Call("OnSettingChange", 47u, "intl"), true, true, 0},
        {"cursor", WM_SETCURSOR, otherW, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE),
         Call("OnSetCursor", WindowArg{o}, 1u, 512u), true, false, 1},
        {"draw item", WM_DRAWITEM, 5, pointer(&drawItem), Call("OnDrawItem", 5, address(&drawItem), DCArg{dc}),
         true, false, 0},
        {"measure item", WM_MEASUREITEM, 6, pointer(&measureItem), Call("OnMeasureItem", 6, address(&measureItem)),
         true, false, 0},
        {"delete item", WM_DELETEITEM, 7, pointer(&deleteItem), Call("OnDeleteItem", 7, address(&deleteItem)), true,
         false, 0},
        {"position changing", WM_WINDOWPOSCHANGING, 0, pointer(&windowPos),
         Call("OnWindowPosChanging", address(&windowPos)), true, false, 0},
        {"position changed", WM_WINDOWPOSCHANGED, 0, pointer(&windowPos),
         Call("OnWindowPosChanged", address(&windowPos)), true, false, 0},
        {"notify answers the written result", WM_NOTIFY, 8, pointer(&notify), Call("OnNotify", 8, address(&notify)),
         true, false, 77},
        {"context menu", WM_CONTEXTMENU, otherW, MAKELPARAM(-5, 7), Call("OnContextMenu", WindowArg{o}, -5, 7), true,
         true, 0},
        {"context menu without a window", WM_CONTEXTMENU, 0, MAKELPARAM(-5, 7),
         Call("OnContextMenu", static_cast<CWnd *>(nullptr), -5, 7), true, true, 0},
        {"non-client destroy", WM_NCDESTROY, 0, 0, Call("OnNcDestroy"), true, true, 0},
        {"hit test", WM_NCHITTEST, 0, MAKELPARAM(-20, 30), Call("OnNcHitTest", -20, 30), false, false, HTCAPTION},
        {"key down", WM_KEYDOWN, 'A', MAKELPARAM(1, 0x1E), Call("OnKey", 65u, 1u, 30u), true, true, 0},
        {"key up carries the transition bit", WM_KEYUP, 'A', MAKELPARAM(1, 0xC01E), Call("OnKey", 65u, 1u, 49182u),
         true, true, 0},
        {"command", WM_COMMAND, MAKEWPARAM(101, 1), 0, Call("OnCommand", 101u, 1u), true, true, 0},
        {"system command", WM_SYSCOMMAND, 0x1230, MAKELPARAM(-5, 7), Call("OnSysCommand", 0x1230u, -5, 7), true,
         false, 0},
        {"timer", WM_TIMER, 9, 0, Call("OnTimer", 9u), true, true, 0},
        {"horizontal scroll", WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 300), otherL,
         Call("OnHScroll", 4u, 300u, WindowArg{o}), true, true, 0},
        {"vertical scroll", WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 300), otherL,
         Call("OnVScroll", 4u, 300u, WindowArg{o}), true, true, 0},
        {"init menu", WM_INITMENU, menuW, 0, Call("OnInitMenu", MenuArg{menu}), true, true, 0},
        {"init popup", WM_INITMENUPOPUP, menuW, MAKELPARAM(2, 1), Call("OnInitMenuPopup", MenuArg{menu}, 2u, 1),
         true, true, 0},
        {"menu select", WM_MENUSELECT, MAKEWPARAM(3, MF_POPUP), reinterpret_cast<LPARAM>(menu),
         Call("OnMenuSelect", 3u, 16u, static_cast<const void *>(menu)), true, true, 0},
        {"enter idle", WM_ENTERIDLE, MSGF_MENU, otherL, Call("OnEnterIdle", 2u, WindowArg{o}), true, true, 0},
        {"edit colour", WM_CTLCOLOREDIT, dcW, otherL, Call("OnCtlColor", DCArg{dc}, WindowArg{o}, 1u), false, false,
         gray},
        {"list colour", WM_CTLCOLORLISTBOX, dcW, otherL, Call("OnCtlColor", DCArg{dc}, WindowArg{o}, 2u), false,
         false, gray},
        {"button colour", WM_CTLCOLORBTN, dcW, otherL, Call("OnCtlColor", DCArg{dc}, WindowArg{o}, 3u), false, false,
         gray},
        {"dialog colour", WM_CTLCOLORDLG, dcW, otherL, Call("OnCtlColor", DCArg{dc}, WindowArg{o}, 4u), false, false,
         gray},
        {"scroll bar colour", WM_CTLCOLORSCROLLBAR, dcW, otherL, Call("OnCtlColor", DCArg{dc}, WindowArg{o}, 5u),
         false, false, gray},
        {"static colour", WM_CTLCOLORSTATIC, dcW, otherL, Call("OnCtlColor", DCArg{dc}, WindowArg{o}, 6u), false,
         false, gray},
        {"mouse move", WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-7, -8), Call("OnMouseMove", 1u, -7, -8), true, true, 0},
        {"left down", WM_LBUTTONDOWN, 1, MAKELPARAM(-7, 8), Call("OnLButtonDown", 1u, -7, 8), true, true, 0},
        {"left up", WM_LBUTTONUP, 2, MAKELPARAM(7, -8), Call("OnLButtonUp", 2u, 7, -8), true, true, 0},
        {"left double", WM_LBUTTONDBLCLK, 3, MAKELPARAM(1, 2), Call("OnLButtonDblClk", 3u, 1, 2), true, true, 0},
        {"right down", WM_RBUTTONDOWN, 4, MAKELPARAM(-1, -1), Call("OnRButtonDown", 4u, -1, -1), true, true, 0},
        {"right up", WM_RBUTTONUP, 5, MAKELPARAM(3, 4), Call("OnRButtonUp", 5u, 3, 4), true, true, 0},
        {"right double", WM_RBUTTONDBLCLK, 6, MAKELPARAM(5, 6), Call("OnRButtonDblClk", 6u, 5, 6), true, true, 0},
        {"middle down", WM_MBUTTONDOWN, 7, MAKELPARAM(-32768, 32767), Call("OnMButtonDown", 7u, -32768, 32767), true,
         true, 0},
        {"middle up", WM_MBUTTONUP, 8, MAKELPARAM(9, 10), Call("OnMButtonUp", 8u, 9, 10), true, true, 0},
        {"middle double", WM_MBUTTONDBLCLK, 9, MAKELPARAM(11, 12), Call("OnMButtonDblClk", 9u, 11, 12), true, true,
         0},
        {"wheel delta is signed", WM_MOUSEWHEEL, MAKEWPARAM(MK_SHIFT, static_cast<WORD>(-120)), MAKELPARAM(-10, 20),
         Call("OnMouseWheel", 4u, -120, -10, 20), true, false, 0},
        {"drop files", WM_DROPFILES, 0, 0, Call("OnDropFiles", static_cast<const void *>(nullptr)), true, true, 0},
        {"clipboard draw", WM_DRAWCLIPBOARD, 0, 0, Call("OnDrawClipboard"), true, false, 0},
        {"clipboard chain", WM_CHANGECBCHAIN, otherW, 0,
         Call("OnChangeCbChain", WindowArg{o}, static_cast<CWnd *>(nullptr)), true, false, 0},
        {"hot key", WM_HOTKEY, 11, MAKELPARAM(MOD_CONTROL, 'K'), Call("OnHotKey", 11, 2u, 75u), true, false, 0},
        {"app command fields", WM_APPCOMMAND, otherW, MAKELPARAM(MK_CONTROL, FAPPCOMMAND_MOUSE | APPCOMMAND_VOLUME_UP),
         Call("OnAppCommand", WindowArg{o}, 10, 0x8000u, 8u), true, false, 1},
        {"unknown message", WM_USER + 1, 0, 0, "", true, true, 0},
    };
    return cases;
  }

  CountedWindow other;
  HDC dc = nullptr;
  HMENU menu = nullptr;
  CREATESTRUCTA create = {};
  DRAWITEMSTRUCT drawItem = {};
  MEASUREITEMSTRUCT measureItem = {};
  DELETEITEMSTRUCT deleteItem = {};
  WINDOWPOS windowPos = {};
  NMHDR notify = {};
};

TEST_F(Dispatch, EachMessageReachesItsHandlerWithCrackedArgumentsAndDefaultOnlyWhereItShould) {
  const std::vector<DispatchCase> cases = Cases();
  std::set<UINT> handledMessages;
  for (bool callBase : {true, false}) {
    for (const DispatchCase &test : cases) {
      SCOPED_TRACE(std::string(test.name) + (callBase ? ", base handlers" : ", own handlers"));
      RecordingWindow window;
      ASSERT_TRUE(window.CreateFrame());
      window.callBase = callBase;
      window.log.clear();
      LRESULT result = CWnd::SharedWindowProcedure(window.GetHandle(), test.message, test.wParam, test.lParam);
      if (!test.call.empty()) {
        EXPECT_TRUE(window.Logged(test.call)) << "log starts with " << (window.log.empty() ? "" : window.log[0]);
        handledMessages.insert(test.message);
      } else {
        EXPECT_EQ(window.log.size(), 1u) << "a handler was called: " << (window.log.empty() ? "" : window.log[0]);
      }
      EXPECT_EQ(window.ReachedDefault(test.message), callBase ? test.defaultWithBase : test.defaultWhenOverridden);
      if (!callBase) {
        EXPECT_EQ(result, test.overriddenResult);
      }
      if (test.message == WM_CREATE) {
        EXPECT_EQ(result, 0) << "WM_CREATE answered without Default";
      }
      ::DestroyWindow(window.GetHandle());
      PurgeTemporaryObjects();
    }
  }
  EXPECT_EQ(handledMessages.size(), 54u);
}

TEST_F(Dispatch, BaseHitTestAndColourHandlersAnswerWithDefWindowProcEvenWhenSubclassed) {
  CountedWindow counted;
  RecordingWindow window;
  ASSERT_TRUE(window.Attach(counted.Get()));
  ASSERT_TRUE(window.Subclass());
  const int before = CountedWindow::Count(WM_NCHITTEST) + CountedWindow::Count(WM_CTLCOLOREDIT);
  EXPECT_EQ(::SendMessageA(counted.Get(), WM_NCHITTEST, 0, MAKELPARAM(-1000, -1000)), HTNOWHERE);
  ::SendMessageA(counted.Get(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), 0);
  EXPECT_EQ(CountedWindow::Count(WM_NCHITTEST) + CountedWindow::Count(WM_CTLCOLOREDIT), before)
      << "the saved procedure was called";
  EXPECT_TRUE(window.Logged(Call("OnNcHitTest", -1000, -1000)));
}

TEST_F(Dispatch, ASizeHandlerThatSkipsTheBaseStillReachesDefaultAndAPaintHandlerDoesNot) {
  RecordingWindow window;
  ASSERT_TRUE(window.CreateFrame());
  window.callBase = false;
  window.log.clear();
  window.SendMessage(WM_SIZE, 0, MAKELPARAM(10, 10));
  EXPECT_TRUE(window.ReachedDefault(WM_SIZE));
  EXPECT_EQ(window.SendMessage(WM_PAINT, 0, 0), 0);
  EXPECT_FALSE(window.ReachedDefault(WM_PAINT));
  EXPECT_EQ(window.Handled(), 1);
  window.callBase = true;
  window.SendMessage(WM_PAINT, 0, 0);
  EXPECT_TRUE(window.ReachedDefault(WM_PAINT));
  EXPECT_EQ(window.Handled(), 0);
  window.Destroy();
}

TEST_F(Dispatch, CanCloseReturningZeroKeepsTheWindowAndSkipsOnClose) {
  RecordingWindow window;
  ASSERT_TRUE(window.CreateFrame());
  window.canClose = FALSE;
  window.log.clear();
  EXPECT_EQ(window.SendMessage(WM_CLOSE, 0, 0), 0);
  EXPECT_TRUE(::IsWindow(window.GetHandle()));
  EXPECT_FALSE(window.Logged(Call("OnClose")));
  window.canClose = TRUE;
  window.SendMessage(WM_CLOSE, 0, 0);
  EXPECT_FALSE(::IsWindow(window.GetHandle())) << "default processing of WM_CLOSE destroys the window";
  EXPECT_TRUE(window.Logged(Call("OnClose")));
}

TEST_F(Dispatch, DestroyingTheMainWindowPostsQuitWithZeroAndAnyOtherWindowDoesNot) {
  RecordingWindow main;
  RecordingWindow other;
  ASSERT_TRUE(main.CreateFrame());
  ASSERT_TRUE(other.CreateFrame());
  application.SetMainWindow(&main);
  WPARAM code = 99;
  other.Destroy();
  EXPECT_FALSE(TakeQuit(&code));
  main.Destroy();
  ASSERT_TRUE(TakeQuit(&code)) << "no quit after the main window";
  EXPECT_EQ(code, 0u);
}

TEST_F(Dispatch, AnExceptionFromAHandlerOrWindowProcIsAnsweredByDefWindowProcAndTheWindowStaysBound) {
  RecordingWindow window;
  ASSERT_TRUE(window.CreateFrame());
  window.throwInCommand = true;
  window.log.clear();
  EXPECT_EQ(window.SendMessage(WM_COMMAND, 1, 0), 0);
  EXPECT_FALSE(window.ReachedDefault(WM_COMMAND));
  // DefWindowProcA answers WM_GETTEXTLENGTH with the length of "frame".
  window.throwInWindowProc = WM_GETTEXTLENGTH;
  EXPECT_EQ(window.SendMessage(WM_GETTEXTLENGTH, 0, 0), 5);
  window.throwInWindowProc = 0;
  EXPECT_EQ(CWnd::Lookup(window.GetHandle()), &window);
  window.throwInDefault = true;
  EXPECT_EQ(window.SendMessage(WM_GETTEXTLENGTH, 0, 0), 0) << "an exception from Default answers 0";
  window.throwInDefault = false;
  window.Destroy();
}

std::string debuggerLine;
void WINAPI RecordDebugString(const char *text) {
  debuggerLine += text;
}

TEST_F(Dispatch, AnExceptionFromDefaultWritesTheDebuggerLineWithTheMessageNumber) {
  RecordingWindow window;
  ASSERT_TRUE(window.CreateFrame());
  debuggerLine.clear();
  {
    ImportHook<void(WINAPI *)(const char *)> hook("kernel32.dll", "OutputDebugStringA", RecordDebugString);
    ASSERT_TRUE(hook.Installed());
    window.throwInDefault = true;
    EXPECT_EQ(window.SendMessage(WM_COMMAND, 1, 0), 0);
    window.throwInDefault = false;
  }
  EXPECT_EQ(debuggerLine, "Error; Msg : 273 111\n");
  window.Destroy();
}

TEST_F(WindowTest, TheLegacyWheelMessageOfWindows95ReachesOnMouseWheel) {
  // Attach registers the legacy message only on Windows 95, so this program
  // pretends to be one while it attaches.
  static BOOL(WINAPI * original)(OSVERSIONINFOA *) = nullptr;
  struct Windows95 {
    static BOOL WINAPI GetVersion(OSVERSIONINFOA *info) {
      BOOL result = original(info);
      info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
      info->dwBuildNumber = 0;
      return result;
    }
  };
  {
    ImportHook<BOOL(WINAPI *)(OSVERSIONINFOA *)> hook("kernel32.dll", "GetVersionExA", Windows95::GetVersion);
    ASSERT_TRUE(hook.Installed());
    original = hook.Original();
    ASSERT_TRUE(ProcessAttach(::GetModuleHandleA(nullptr)));
  }
  ProcessDetach();
  const UINT legacy = LegacyWheelMessage();
  ASSERT_NE(legacy, 0u);
  RecordingWindow window;
  ASSERT_TRUE(window.CreateFrame());
  window.callBase = false;
  EXPECT_EQ(window.SendMessage(legacy, MAKEWPARAM(0, 120), MAKELPARAM(3, 4)), 0);
  EXPECT_TRUE(window.Logged(Call("OnMouseWheel", 0u, 120, 3, 4)));
  window.Destroy();
}

// Binding.

TEST_F(WindowTest, InsideOnCreateTheHandleIsTheNewWindowAndLookupFindsTheObject) {
  RecordingWindow window;
  ASSERT_TRUE(window.CreateFrame());
  ASSERT_NE(window.GetHandle(), nullptr);
  EXPECT_EQ(window.handleInCreate, window.GetHandle());
  EXPECT_EQ(window.lookupInCreate, &window);
  EXPECT_EQ(CWnd::Lookup(window.GetHandle()), &window);
  HWND handle = window.GetHandle();
  window.Destroy();
  EXPECT_EQ(CWnd::Lookup(handle), nullptr) << "still bound after WM_NCDESTROY";
}

TEST_F(WindowTest, ThePendingKeyAdvancesOncePerBindingAndWrapsToZeroBefore0xFFFFFF) {
  const struct {
    const char *name;
    int before;
    int after;
  } cases[] = {{"from zero", 0, 1}, {"in the middle", 1000, 1001}, {"at the last key", 0xFFFFFE, 0}};
  for (const auto &test : cases) {
    SCOPED_TRACE(test.name);
    CWnd::PendingWindowKey = test.before;
    RecordingWindow window;
    ASSERT_TRUE(window.CreateFrame());
    EXPECT_EQ(CWnd::PendingWindowKey, test.after);
    window.Destroy();
    EXPECT_EQ(CWnd::PendingWindowKey, test.after) << "destruction advanced the key";
  }
}

TEST_F(WindowTest, AFailedCreationReturnsZeroAndLeavesNoAnnouncementForTheNextWindow) {
  const struct {
    const char *name;
    const char *className;
    BOOL createResult;
  } cases[] = {{"OnCreate refuses", kFrameClass, FALSE}, {"no such class", "TovraNoSuchClass", TRUE}};
  for (const auto &test : cases) {
    SCOPED_TRACE(test.name);
    RecordingWindow refused;
    refused.createResult = test.createResult;
    EXPECT_FALSE(refused.CreateEx(test.className, "x", WS_OVERLAPPEDWINDOW, 0, 0, 0, 50, 50, nullptr, nullptr,
                                  nullptr));
    EXPECT_TRUE(CWnd::PendingWindowMap.empty());
    EXPECT_TRUE(CWnd::WindowMap.empty());
    // A window of the shared class made without an object stays unbound.
    HWND plain = ::CreateWindowExA(0, kFrameClass, "plain", 0, 0, 0, 10, 10, nullptr, nullptr,
                                   GetInstanceHandle(), nullptr);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(CWnd::Lookup(plain), nullptr);
    ::DestroyWindow(plain);
  }
}

TEST_F(WindowTest, ACreationThatNoMessageBindsWithdrawsItsAnnouncementToo) {
  // The counted class has its own procedure, so nothing takes the
  // announcement although a window comes back.
  CountedWindow registered;
  CWnd foreign;
  EXPECT_TRUE(foreign.CreateEx("TovraCountedWindow", "x", 0, 0, 0, 0, 10, 10, nullptr, nullptr, nullptr));
  EXPECT_TRUE(CWnd::PendingWindowMap.empty());
  HWND plain = ::CreateWindowExA(0, kFrameClass, "plain", 0, 0, 0, 10, 10, nullptr, nullptr, GetInstanceHandle(),
                                 nullptr);
  EXPECT_EQ(CWnd::Lookup(plain), nullptr);
  ::DestroyWindow(plain);
  ::DestroyWindow(::FindWindowExA(nullptr, nullptr, "TovraCountedWindow", "x"));
}

TEST_F(WindowTest, WrapGivesTheBoundObjectOrANewTemporaryEveryTime) {
  CountedWindow foreign;
  CWnd *first = CWnd::Wrap(foreign.Get());
  CWnd *second = CWnd::Wrap(foreign.Get());
  ASSERT_NE(first, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(first->GetHandle(), foreign.Get());
  EXPECT_EQ(CWnd::Lookup(foreign.Get()), nullptr) << "a temporary was bound";
  EXPECT_EQ(CWnd::Wrap(nullptr), nullptr);
  PurgeTemporaryObjects();
  EXPECT_TRUE(::IsWindow(foreign.Get())) << "the purge destroyed a foreign window";

  RecordingWindow bound;
  ASSERT_TRUE(bound.CreateFrame());
  EXPECT_EQ(CWnd::Wrap(bound.GetHandle()), &bound);
  bound.Destroy();
}

// Subclassing.

TEST_F(WindowTest, SubclassRoutesAWindowThroughTheHandlersAndUnsubclassRestoresItsProcedure) {
  CountedWindow counted;
  RecordingWindow window;
  EXPECT_FALSE(window.Subclass()) << "subclassed without a window";
  ASSERT_TRUE(window.Attach(counted.Get()));
  EXPECT_EQ(CWnd::Lookup(counted.Get()), nullptr) << "Attach alone binds nothing";
  ASSERT_TRUE(window.Subclass());
  EXPECT_EQ(CountedWindow::Count(WM_NULL), 1) << "the binding WM_NULL did not reach the saved procedure";
  EXPECT_EQ(ProcedureOf(counted.Get()), &CWnd::SharedWindowProcedure);
  EXPECT_EQ(window.GetSavedProcedure(), CountedWindow::Original());
  EXPECT_EQ(CWnd::Lookup(counted.Get()), &window);
  EXPECT_TRUE(window.Subclass()) << "a second Subclass";

  ::SendMessageA(counted.Get(), WM_MOVE, 0, MAKELPARAM(1, 2));
  EXPECT_TRUE(window.Logged(Call("OnMove", 1, 2)));
  EXPECT_EQ(CountedWindow::Count(WM_MOVE), 1) << "Default did not pass the message on";

  EXPECT_EQ(window.Unsubclass(), counted.Get());
  EXPECT_EQ(ProcedureOf(counted.Get()), CountedWindow::Original());
  EXPECT_EQ(CWnd::Lookup(counted.Get()), nullptr);
  EXPECT_EQ(window.Unsubclass(), nullptr);
  EXPECT_EQ(window.Detach(), counted.Get());
  EXPECT_EQ(window.GetHandle(), nullptr);
}

TEST_F(WindowTest, DetachOfASubclassedWindowRestoresItsProcedure) {
  CountedWindow counted;
  CWnd window;
  ASSERT_TRUE(window.Attach(counted.Get()));
  ASSERT_TRUE(window.Subclass());
  EXPECT_EQ(window.Detach(), counted.Get());
  EXPECT_EQ(ProcedureOf(counted.Get()), CountedWindow::Original());
  EXPECT_EQ(CWnd::Lookup(counted.Get()), nullptr);
}

TEST_F(WindowTest, NonClientDestroyOfASubclassedWindowRestoresTheProcedureBeforeDefaultAndUnbinds) {
  CountedWindow counted;
  RecordingWindow window;
  ASSERT_TRUE(window.Attach(counted.Get()));
  ASSERT_TRUE(window.Subclass());
  ::DestroyWindow(counted.Get());
  EXPECT_TRUE(window.ReachedDefault(WM_NCDESTROY));
  EXPECT_EQ(CountedWindow::Count(WM_DESTROY), 1) << "WM_DESTROY went to the saved procedure";
  EXPECT_EQ(CountedWindow::Count(WM_NCDESTROY), 0) << "WM_NCDESTROY went to the saved procedure";
  EXPECT_EQ(window.GetSavedProcedure(), nullptr);
  EXPECT_EQ(CWnd::Lookup(counted.Get()), nullptr);
  EXPECT_EQ(window.GetHandle(), counted.Get()) << "the old handle stays after WM_NCDESTROY";
}

TEST_F(WindowTest, SubclassRefusesAWindowBoundToAnotherObjectAndAnnouncesNothing) {
  RecordingWindow owner;
  ASSERT_TRUE(owner.CreateFrame());
  {
    RecordingWindow second;
    ASSERT_TRUE(second.Attach(owner.GetHandle()));
    EXPECT_FALSE(second.Subclass());
    EXPECT_EQ(second.GetSavedProcedure(), nullptr);
    EXPECT_TRUE(CWnd::PendingWindowMap.empty());
  }
  EXPECT_EQ(CWnd::Lookup(owner.GetHandle()), &owner) << "the refused object took the binding with it";
  owner.log.clear();
  owner.SendMessage(WM_MOVE, 0, 0);
  EXPECT_TRUE(owner.ReachedDefault(WM_MOVE)) << "the owner's messages still reach Default";
  owner.Destroy();
}

// Every WinHelpA call: window, file, command and data.
std::vector<std::string> helpCalls;
BOOL WINAPI RecordingWinHelp(HWND window, LPCSTR file, UINT command, ULONG_PTR data) {
  helpCalls.push_back(Describe(WindowArg{window}) + " " + Describe(file) + " " + Describe(command) + " " +
                      Describe(data));
  return TRUE;
}

TEST_F(WindowTest, WinHelpNamesTheApplicationsHelpFileAndTheLastMessageQuitsHelp) {
  ImportHook<BOOL(WINAPI *)(HWND, LPCSTR, UINT, ULONG_PTR)> hook("user32.dll", "WinHelpA", &RecordingWinHelp);
  ASSERT_TRUE(hook.Installed());
  helpCalls.clear();
  application.helpFilePath = "C:\\host\\tool.hlp";
  RecordingWindow window;
  ASSERT_TRUE(window.CreateFrame());
  const std::string head = Describe(WindowArg{window.GetHandle()}) + " \"C:\\host\\tool.hlp\" ";
  EXPECT_TRUE(window.WinHelp(42, HELP_CONTEXT));
  window.Destroy();
  EXPECT_EQ(helpCalls, (std::vector<std::string>{head + "1 42", head + "2 0"}));
}

// An object that dies before its window.

TEST_F(WindowTest, AnObjectDestroyedBeforeItsWindowIsUnboundAndTheWindowLivesOn) {
  HWND handle;
  {
    RecordingWindow window;
    ASSERT_TRUE(window.CreateFrame());
    handle = window.GetHandle();
    application.SetMainWindow(&window);
    ASSERT_TRUE(application.AddWindow(&window));
  }
  EXPECT_TRUE(::IsWindow(handle)) << "the destructor destroyed the window";
  EXPECT_EQ(CWnd::Lookup(handle), nullptr);
  EXPECT_EQ(application.windowList.GetCount(), 0);
  EXPECT_EQ(application.mainWindow, nullptr);
  // Served by DefWindowProcA now: the title is still there to read.
  char title[16] = "";
  EXPECT_EQ(::SendMessageA(handle, WM_GETTEXT, sizeof title, reinterpret_cast<LPARAM>(title)), 5);
  EXPECT_STREQ(title, "frame");
  ::DestroyWindow(handle);
}

TEST_F(WindowTest, AnObjectDestroyedBeforeItsSubclassedWindowPutsTheProcedureBack) {
  CountedWindow counted;
  {
    RecordingWindow window;
    ASSERT_TRUE(window.Attach(counted.Get()));
    ASSERT_TRUE(window.Subclass());
  }
  EXPECT_EQ(ProcedureOf(counted.Get()), CountedWindow::Original());
  EXPECT_EQ(CWnd::Lookup(counted.Get()), nullptr);
  ::SendMessageA(counted.Get(), WM_MOVE, 0, 0);
  EXPECT_EQ(CountedWindow::Count(WM_MOVE), 1);
}

TEST_F(WindowTest, ASubclassedTemporaryIsUnsubclassedByThePurge) {
  CountedWindow counted;
  CWnd *temporary = CWnd::Wrap(counted.Get());
  ASSERT_TRUE(temporary->Subclass());
  PurgeTemporaryObjects();
  EXPECT_EQ(ProcedureOf(counted.Get()), CountedWindow::Original());
  EXPECT_EQ(CWnd::Lookup(counted.Get()), nullptr);
}

TEST_F(WindowTest, AnnouncedObjectsThatDieAreWithdrawn) {
  {
    CWnd announced;
    CWnd::PendingWindowMap[CWnd::PendingWindowKey] = &announced;
  }
  EXPECT_TRUE(CWnd::PendingWindowMap.empty());
}

// The window device contexts of an object.

TEST_F(WindowTest, WindowDCsOfAnObjectUseItsHandleAndRefuseAnObjectWithoutOne) {
  RecordingWindow window;
  ASSERT_TRUE(window.CreateFrame());
  {
    CClientDC client(&window);
    EXPECT_EQ(::WindowFromDC(client.GetHandle()), window.GetHandle());
  }
  {
    CWindowDC whole(&window);
    EXPECT_NE(whole.GetHandle(), nullptr);
  }
  {
    CPaintDC paint(&window);
    EXPECT_NE(paint.GetHandle(), nullptr);
  }
  CWnd empty;
  EXPECT_THROW(CClientDC dc(&empty), std::invalid_argument);
  EXPECT_THROW(CPaintDC dc(static_cast<CWnd *>(nullptr)), std::invalid_argument);
  EXPECT_THROW(CWindowDC dc(static_cast<CWnd *>(nullptr)), std::invalid_argument);
  window.Destroy();
}

}  // namespace
