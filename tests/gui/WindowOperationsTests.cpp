// CWnd's window operations: the flags of the positioning calls, centring,
// the window region and foreground activation.
#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "framework/gui/GdiObjects.h"

namespace {

struct PositionCall {
  HWND insertAfter;
  int x, y;
  UINT flags;
};
std::vector<PositionCall> positionCalls;
typedef BOOL(WINAPI *SetWindowPosFunction)(HWND, HWND, int, int, int, int, UINT);
SetWindowPosFunction realSetWindowPos;

// The hooks call on to the function they replaced: a call by name would go
// through the patched import again.
BOOL WINAPI RecordSetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  positionCalls.push_back({insertAfter, x, y, flags});
  return realSetWindowPos(window, insertAfter, x, y, cx, cy, flags);
}

class WindowOperations : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ASSERT_TRUE(window.CreateFrame());
    positionCalls.clear();
  }
  void TearDown() override {
    window.Destroy();
    WindowTest::TearDown();
  }
  RECT Rect() const {
    RECT rectangle;
    ::GetWindowRect(window.GetHandle(), &rectangle);
    return rectangle;
  }

  RecordingWindow window;
};

TEST_F(WindowOperations, SetTopmostPassesTheTopmostOrNotTopmostMarkerWithoutMovingOrSizing) {
  ImportHook<SetWindowPosFunction> hook("user32.dll", "SetWindowPos", RecordSetWindowPos);
  ASSERT_TRUE(hook.Installed());
  realSetWindowPos = hook.Original();
  EXPECT_TRUE(window.SetTopmost(TRUE));
  EXPECT_TRUE(window.SetTopmost(FALSE));
  ASSERT_EQ(positionCalls.size(), 2u);
  EXPECT_EQ(positionCalls[0].insertAfter, HWND_TOPMOST);
  EXPECT_EQ(positionCalls[1].insertAfter, HWND_NOTOPMOST);
  EXPECT_EQ(positionCalls[0].flags, 3u);
  EXPECT_EQ(positionCalls[1].flags, 3u);
}

TEST_F(WindowOperations, CenterWindowPlacesTheWindowOverTheScreenAParentOrAVisibleWindow) {
  const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
  RecordingWindow over;
  ASSERT_TRUE(over.CreateEx(kFrameClass, "over", WS_OVERLAPPED, 0, 100, 50, 400, 300, nullptr, nullptr, nullptr));
  RecordingWindow hidden;
  ASSERT_TRUE(hidden.CreateEx(kFrameClass, "hidden", WS_OVERLAPPED, 0, 300, 300, 400, 300, nullptr, nullptr,
                              nullptr));
  over.ShowWindow(SW_SHOWNOACTIVATE);
  const struct {
    const char *name;
    CWnd *over;
    int x, y;
  } cases[] = {
      {"no parent: the screen", nullptr, (screenWidth - 200) / 2, (screenHeight - 100) / 2},
      {"a visible window", &over, 100 + (400 - 200) / 2, 50 + (300 - 100) / 2},
      {"a hidden window: the screen", &hidden, (screenWidth - 200) / 2, (screenHeight - 100) / 2},
  };
  for (const auto &test : cases) {
    SCOPED_TRACE(test.name);
    window.Move(0, 0);
    EXPECT_TRUE(window.CenterWindow(test.over));
    EXPECT_EQ(Rect().left, test.x);
    EXPECT_EQ(Rect().top, test.y);
  }
  over.Destroy();
  hidden.Destroy();
}

TEST_F(WindowOperations, CenterWindowOfAChildWithoutAnOverWindowCentresOverTheParent) {
  RecordingWindow parent;
  ASSERT_TRUE(parent.CreateEx(kFrameClass, "parent", WS_OVERLAPPED, 0, 40, 60, 600, 400, nullptr, nullptr,
                              nullptr));
  parent.ShowWindow(SW_SHOWNOACTIVATE);
  RecordingWindow child;
  ASSERT_TRUE(child.CreateEx(kFrameClass, "child", WS_POPUP, 0, 0, 0, 100, 50, parent.GetHandle(), nullptr,
                             nullptr));
  ::SetParent(child.GetHandle(), parent.GetHandle());
  ASSERT_EQ(::GetParent(child.GetHandle()), parent.GetHandle());
  EXPECT_TRUE(child.CenterWindow(nullptr));
  RECT placed;
  ::GetWindowRect(child.GetHandle(), &placed);
  RECT parentRect;
  ::GetWindowRect(parent.GetHandle(), &parentRect);
  // A child is placed in its parent's client coordinates by SetWindowPos, so
  // check the computed position, which is in screen coordinates.
  int x, y;
  ASSERT_TRUE(CWnd::ComputeCenteredPosition(child.GetHandle(), parent.GetHandle(), &x, &y));
  EXPECT_EQ(x, parentRect.left + (600 - 100) / 2);
  EXPECT_EQ(y, parentRect.top + (400 - 50) / 2);
  child.Destroy();
  parent.Destroy();
}

TEST_F(WindowOperations, CenterWindowRefusesMinimizedAndMaximizedWindowsAndLeavesThemInPlace) {
  for (int command : {SW_MINIMIZE, SW_MAXIMIZE}) {
    SCOPED_TRACE(command == SW_MINIMIZE ? "minimized" : "maximized");
    window.ShowWindow(command);
    const RECT before = Rect();
    EXPECT_FALSE(window.CenterWindow(nullptr));
    EXPECT_EQ(Rect().left, before.left);
    EXPECT_EQ(Rect().top, before.top);
    window.ShowWindow(SW_RESTORE);
    window.ShowWindow(SW_HIDE);
  }
  int x, y;
  EXPECT_FALSE(CWnd::ComputeCenteredPosition(nullptr, nullptr, &x, &y));
}

TEST_F(WindowOperations, AWindowLargerThanTheScreenIsPlacedAtZeroNeverNegative) {
  window.Resize(::GetSystemMetrics(SM_CXSCREEN) + 300, ::GetSystemMetrics(SM_CYSCREEN) + 200);
  EXPECT_TRUE(window.CenterWindow(nullptr));
  EXPECT_EQ(Rect().left, 0);
  EXPECT_EQ(Rect().top, 0);
}

TEST_F(WindowOperations, CenterWindowMovesAHiddenWindowWithoutRedrawing) {
  ImportHook<SetWindowPosFunction> hook("user32.dll", "SetWindowPos", RecordSetWindowPos);
  ASSERT_TRUE(hook.Installed());
  realSetWindowPos = hook.Original();
  EXPECT_TRUE(window.CenterWindow(nullptr));
  window.ShowWindow(SW_SHOWNOACTIVATE);
  EXPECT_TRUE(window.CenterWindow(nullptr));
  ASSERT_EQ(positionCalls.size(), 2u);
  EXPECT_EQ(positionCalls[0].flags, 13u) << "hidden";
  EXPECT_EQ(positionCalls[1].flags, 5u) << "visible";
}

std::vector<HRGN> madeRegions;
HRGN(WINAPI *realCreateRectRgn)(int, int, int, int);
HRGN WINAPI RecordCreateRectRgn(int left, int top, int right, int bottom) {
  HRGN region = realCreateRectRgn(left, top, right, bottom);
  madeRegions.push_back(region);
  return region;
}

TEST_F(WindowOperations, GetWindowRegionHandsOutARegionThePurgeDeletesAndNoneWithoutARegion) {
  madeRegions.clear();
  ImportHook<HRGN(WINAPI *)(int, int, int, int)> hook("gdi32.dll", "CreateRectRgn", RecordCreateRectRgn);
  ASSERT_TRUE(hook.Installed());
  realCreateRectRgn = hook.Original();
  EXPECT_EQ(window.GetWindowRegion(), nullptr);
  ASSERT_EQ(madeRegions.size(), 1u);
  EXPECT_FALSE(GdiObjectExists(madeRegions[0])) << "the region made for a window without one leaked";

  ASSERT_TRUE(::SetWindowRgn(window.GetHandle(), ::CreateRectRgn(0, 0, 30, 20), FALSE));
  CRgn *region = window.GetWindowRegion();
  ASSERT_NE(region, nullptr);
  RECT box;
  EXPECT_EQ(::GetRgnBox(region->GetHandle(), &box), SIMPLEREGION);
  EXPECT_EQ(box.right, 30);
  EXPECT_EQ(box.bottom, 20);
  HRGN copy = region->GetHandle();
  EXPECT_TRUE(region->OwnsHandle());
  PurgeTemporaryObjects();
  EXPECT_FALSE(GdiObjectExists(copy)) << "the purge left the region behind";
}

// Foreground activation, watched through the calls it makes.
struct ActivationCalls {
  int attach = 0;
  int detach = 0;
  int lookups = 0;
  int foreground = 0;
};
ActivationCalls activation;
BOOL(WINAPI *realAttachThreadInput)(DWORD, DWORD, BOOL);
FARPROC(WINAPI *realGetProcAddress)(HMODULE, const char *);
BOOL(WINAPI *realSetForegroundWindow)(HWND);

BOOL WINAPI RecordAttachThreadInput(DWORD from, DWORD to, BOOL attach) {
  ++(attach ? activation.attach : activation.detach);
  return realAttachThreadInput(from, to, attach);
}
FARPROC WINAPI RecordGetProcAddress(HMODULE module, const char *name) {
  if (reinterpret_cast<UINT_PTR>(name) > 0xFFFF && lstrcmpA(name, "AllowSetForegroundWindow") == 0)
    ++activation.lookups;
  return realGetProcAddress(module, name);
}
BOOL WINAPI RecordSetForegroundWindow(HWND window) {
  ++activation.foreground;
  return realSetForegroundWindow(window);
}

TEST_F(WindowOperations, OnlyAForcedActivationJoinsTheForegroundInputAndAsksForTheRight) {
  ImportHook<BOOL(WINAPI *)(DWORD, DWORD, BOOL)> attachHook("user32.dll", "AttachThreadInput",
                                                            RecordAttachThreadInput);
  ImportHook<FARPROC(WINAPI *)(HMODULE, const char *)> lookupHook("kernel32.dll", "GetProcAddress",
                                                                 RecordGetProcAddress);
  ImportHook<BOOL(WINAPI *)(HWND)> foregroundHook("user32.dll", "SetForegroundWindow", RecordSetForegroundWindow);
  ASSERT_TRUE(attachHook.Installed() && lookupHook.Installed() && foregroundHook.Installed());
  realAttachThreadInput = attachHook.Original();
  realGetProcAddress = lookupHook.Original();
  realSetForegroundWindow = foregroundHook.Original();
  window.ShowWindow(SW_SHOW);
  const struct {
    const char *name;
    BOOL (CWnd::*operation)(BOOL);
    BOOL force;
    int attach, lookups, foreground;
  } cases[] = {
      {"SetForegroundWindow(0)", &CWnd::SetForegroundWindow, FALSE, 0, 0, 1},
      {"SetActiveWindow(0) never calls SetForegroundWindow", &CWnd::SetActiveWindow, FALSE, 0, 0, 0},
      {"BringWindowToTop(0)", &CWnd::BringWindowToTop, FALSE, 0, 0, 0},
      {"SetForegroundWindow(1)", &CWnd::SetForegroundWindow, TRUE, 1, 1, 1},
      {"SetActiveWindow(1)", &CWnd::SetActiveWindow, TRUE, 1, 1, 1},
      {"BringWindowToTop(1)", &CWnd::BringWindowToTop, TRUE, 1, 1, 1},
  };
  ASSERT_TRUE(IsWinNT5OrLater()) << "Wine is an NT-family system of version 5 or later";
  for (const auto &test : cases) {
    SCOPED_TRACE(test.name);
    activation = ActivationCalls();
    (window.*test.operation)(test.force);
    EXPECT_EQ(activation.attach, test.attach);
    EXPECT_LE(activation.detach, activation.attach) << "detached input it never joined";
    EXPECT_EQ(activation.lookups, test.lookups);
    EXPECT_EQ(activation.foreground, test.foreground);
  }
  EXPECT_EQ(window.SetActiveWindow(FALSE), TRUE) << "a window of this thread can be made active";
}

TEST_F(WindowOperations, WindowResultsAreTheBoundObjectsOrTemporaries) {
  RecordingWindow child;
  ASSERT_TRUE(child.CreateEx(kFrameClass, "child", WS_CHILD, 0, 0, 0, 10, 10, window.GetHandle(),
                             reinterpret_cast<HMENU>(42), nullptr));
  EXPECT_EQ(window.GetDlgItem(42), &child);
  EXPECT_EQ(window.GetDlgItem(43), nullptr);
  EXPECT_EQ(child.GetParent(), &window);
  CWnd *desktop = CWnd::GetDesktopWindow();
  ASSERT_NE(desktop, nullptr);
  EXPECT_EQ(desktop->GetHandle(), ::GetDesktopWindow());
  EXPECT_STREQ(window.GetClassName().c_str(), kFrameClass);
  EXPECT_STREQ(window.GetText().c_str(), "frame");
  EXPECT_TRUE(window.SetText(""));
  EXPECT_STREQ(window.GetText().c_str(), "");
  child.Destroy();
}

}  // namespace
