// Every class of the graphics library made and destroyed 10,000 times: each
// handle an object made must be gone right after the object, the DCs a
// window hands out must come back, and making objects must still work at
// the end. Wine's handle tables are finite, so a leak of one handle a cycle
// would show as a failure to create. The window the DCs are taken from and
// the window with a region are made anew every 100 cycles (a top-level
// window, or setting a region, costs more than all the rest of a cycle),
// and the icons are monochrome for the same reason; each cycle's own window
// is a child.
#include <gtest/gtest.h>

#include <set>

#include "GuiTestSupport.h"
#include "framework/Application.h"
#include "framework/gui/DC.h"
#include "framework/gui/DIBSection.h"
#include "framework/gui/GdiObjects.h"
#include "framework/gui/Icon.h"
#include "framework/gui/Menu.h"
#include "framework/gui/Surface.h"
#include "framework/gui/Wnd.h"

namespace {

const int kCycles = 10000;
const int kCyclesPerWindow = 100;

// Handles that should be gone once a cycle's objects are destroyed.
struct Leftovers {
  std::vector<HGDIOBJ> gdiObjects;
  std::vector<HICON> icons;
  std::vector<HMENU> menus;
  std::vector<HWND> windows;
  // The first handle found still alive, as a description.
  std::string FirstAlive() const {
    for (HGDIOBJ object : gdiObjects)
      if (GdiObjectExists(object)) return "GDI object of type " + std::to_string(::GetObjectType(object));
    for (HICON icon : icons)
      if (IconExists(icon)) return "icon";
    for (HMENU menu : menus)
      if (::IsMenu(menu)) return "menu";
    for (HWND window : windows)
      if (::IsWindow(window)) return "window";
    return "";
  }
};

template <typename Wrapper, typename Handle>
void HoldGdiObject(Handle object, Leftovers *left) {
  Wrapper wrapper;
  wrapper.SetHandle(object);
  Wrapper::Wrap(object);  // a borrowing temporary, purged at the end of the cycle
  left->gdiObjects.push_back(object);
}

const char kSoakClass[] = "TovraSoakWindow";

void OneCycle(HWND window, HWND shaped, Leftovers *left, std::set<HDC> *windowDCs) {
  LOGFONTA logFont = {};
  logFont.lfHeight = 12;
  HoldGdiObject<CFont>(::CreateFontIndirectA(&logFont), left);
  HoldGdiObject<CPen>(::CreatePen(PS_SOLID, 1, RGB(1, 2, 3)), left);
  HoldGdiObject<CBrush>(::CreateSolidBrush(RGB(4, 5, 6)), left);
  HoldGdiObject<CRgn>(::CreateRectRgn(0, 0, 8, 8), left);
  {
    CIcon icon;
    icon.Attach(NewIcon(16, 16, false));
    CIcon::Wrap(icon.GetHandle());
    left->icons.push_back(icon.GetHandle());
  }
  {
    CBitmap bitmap;
    bitmap.Create(8, 8, 32, nullptr);
    CBitmap::Wrap(bitmap.GetHandle());
    left->gdiObjects.push_back(bitmap.GetHandle());
  }
  {
    CDIBSection section;
    section.Create(8, -8, 24, nullptr);
    left->gdiObjects.push_back(section.GetHandle());
  }
  {
    CMemoryDC memory(nullptr);
    CDC::Wrap(memory.GetHandle());
    left->gdiObjects.push_back(memory.GetHandle());
  }
  for (int kind = 0; kind < 2; ++kind) {
    std::unique_ptr<CSurfaceDC> surface(kind ? static_cast<CSurfaceDC *>(new CDDBSurfaceDC(8, 8))
                                             : static_cast<CSurfaceDC *>(new CDIBSurfaceDC(8, 8)));
    surface->GetSurfaceBitmap();
    left->gdiObjects.push_back(surface->GetHandle());
    left->gdiObjects.push_back(GetSelectedBitmap(surface->GetHandle()));
  }
  {
    CClientDC client(window);
    windowDCs->insert(client.GetHandle());
  }
  {
    CWindowDC whole(window);
    windowDCs->insert(whole.GetHandle());
  }
  {
    CPaintDC paint(window);
    windowDCs->insert(paint.GetHandle());
  }
  {
    CDesktopDC desktop;
    windowDCs->insert(desktop.GetHandle());
  }
  {
    CMenu menu;
    menu.CreateMenu();
    CMenu popup;
    popup.CreatePopupMenu();
    popup.Append(MF_STRING, 1, "Item");
    menu.AppendPopup(0, popup.GetHandle(), "Popup");
    menu.GetSubMenu(0);
    menu.DestroyMenu();
    left->menus.push_back(menu.GetHandle());
    left->menus.push_back(popup.GetHandle());
  }
  {
    // A child window made by its object, and a window with a region
    // subclassed by a second object that hands out a copy of the region and
    // whose destruction puts the window's procedure back.
    CWnd child;
    child.CreateEx(kSoakClass, "", WS_CHILD, 0, 0, 0, 20, 20, window, nullptr, nullptr);
    CWnd subclass;
    subclass.Attach(shaped);
    subclass.Subclass();
    CWnd::Wrap(shaped);
    CRgn *region = subclass.GetWindowRegion();
    left->gdiObjects.push_back(region ? region->GetHandle() : nullptr);
    left->windows.push_back(child.GetHandle());
    child.Destroy();
  }
  PurgeTemporaryObjects();
}

TEST(Soak, TenThousandCyclesOfEveryClassLeaveNoHandleBehindAndCreationStillSucceeds) {
  CApplication application;
  ASSERT_TRUE(RegisterWindowClass(kSoakClass, 0, nullptr, nullptr, nullptr, nullptr));
  std::set<HDC> windowDCs;
  for (int round = 0; round < kCycles / kCyclesPerWindow; ++round) {
    HWND windowHandle;
    {
      TestWindow window;
      windowHandle = window.Get();
      ASSERT_NE(windowHandle, nullptr) << "round " << round;
      TestWindow shaped;
      ASSERT_TRUE(::SetWindowRgn(shaped.Get(), ::CreateRectRgn(0, 0, 10, 10), FALSE));
      for (int cycle = 0; cycle < kCyclesPerWindow; ++cycle) {
        Leftovers left;
        OneCycle(windowHandle, shaped.Get(), &left, &windowDCs);
        std::string alive = left.FirstAlive();
        ASSERT_EQ(alive, "") << "still alive after cycle " << round * kCyclesPerWindow + cycle;
      }
    }
    ASSERT_FALSE(::IsWindow(windowHandle));
  }
  // A DC taken from a window and not given back would be a new one each
  // cycle; given back, the few cached ones are reused.
  EXPECT_LT(windowDCs.size(), 16u);

  HBRUSH brush = ::CreateSolidBrush(RGB(9, 9, 9));
  EXPECT_NE(brush, nullptr);
  ::DeleteObject(brush);
  CDIBSurfaceDC surface(64, 64);
  EXPECT_NE(surface.GetSurfaceBits(), nullptr);
  CIcon icon;
  EXPECT_TRUE(icon.Attach(NewIcon(32, 32, true)));
  CMenu menu;
  EXPECT_TRUE(menu.CreatePopupMenu());
  menu.DestroyMenu();
  CWnd window;
  EXPECT_TRUE(window.CreateEx(kSoakClass, "last", WS_POPUP, 0, 0, 0, 20, 20, nullptr, nullptr, nullptr));
  EXPECT_TRUE(window.Destroy());
  EXPECT_TRUE(CWnd::WindowMap.empty()) << "a binding outlived its window";
}

}  // namespace
