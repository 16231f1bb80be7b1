#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <memory>

#include "GuiTestSupport.h"
#include "framework/Application.h"
#include "framework/gui/DC.h"
#include "framework/gui/DIBSection.h"
#include "framework/gui/Surface.h"

namespace {

TEST(SurfaceDC, ADIBSurfaceIsA24BitTopDownSectionWhosePixelsABlitWrites) {
  CDIBSurfaceDC surface(640, 480);
  EXPECT_EQ(surface.GetSurfaceWidth(), 640);
  EXPECT_EQ(surface.GetSurfaceHeight(), 480);
  BITMAPINFOHEADER header = {};
  ASSERT_TRUE(surface.GetSurfaceInfoHeader(&header));
  EXPECT_EQ(header.biWidth, 640);
  EXPECT_EQ(header.biHeight, -480);
  EXPECT_EQ(header.biBitCount, 24);
  EXPECT_FALSE(surface.GetSurfaceInfoHeader(nullptr));

  CDIBSection source;
  ASSERT_TRUE(source.Create(2, -1, 32, nullptr));
  static_cast<DWORD *>(source.GetBits())[1] = 0x00CC8844;  // red CC, green 88, blue 44
  ::GdiFlush();
  EXPECT_TRUE(surface.DrawBitmap(source.GetHandle(), 10, 20, SRCCOPY));
  ::GdiFlush();

  const BYTE *pixels = static_cast<const BYTE *>(surface.GetSurfaceBits());
  ASSERT_NE(pixels, nullptr);
  const int stride = 640 * 3;  // already a multiple of 4
  const BYTE *written = pixels + 20 * stride + 11 * 3;
  EXPECT_EQ(written[0], 0x44);
  EXPECT_EQ(written[1], 0x88);
  EXPECT_EQ(written[2], 0xCC);
  const BYTE *untouched = pixels + 21 * stride + 11 * 3;
  EXPECT_EQ(untouched[0] | untouched[1] | untouched[2], 0) << "row 20 from the top was not row 20";
}

TEST(SurfaceDC, ADDBSurfaceHasNoPixelPointerAndAnAllZeroHeader) {
  CDDBSurfaceDC surface(32, 16);
  ASSERT_NE(surface.GetHandle(), nullptr);
  EXPECT_EQ(surface.GetSurfaceBits(), nullptr);
  BITMAPINFOHEADER header;
  std::memset(&header, 0xAB, sizeof header);
  EXPECT_TRUE(surface.GetSurfaceInfoHeader(&header));
  BITMAPINFOHEADER zero = {};
  EXPECT_EQ(std::memcmp(&header, &zero, sizeof header), 0);
  BITMAP bitmap = {};
  ASSERT_TRUE(::GetObjectA(GetSelectedBitmap(surface.GetHandle()), sizeof bitmap, &bitmap));
  EXPECT_EQ(bitmap.bmWidth, 32);
  EXPECT_EQ(bitmap.bmHeight, 16);
}

TEST(SurfaceDC, DeleteDestroysTheDCAndItsBitmapOnceAndDestructionFindsNothingLeft) {
  struct Case {
    const char *name;
    std::function<CSurfaceDC *()> make;
  };
  const Case cases[] = {{"DIB surface", [] { return new CDIBSurfaceDC(8, 8); }},
                        {"DDB surface", [] { return new CDDBSurfaceDC(8, 8); }}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<CSurfaceDC> surface(c.make());
    HDC dc = surface->GetHandle();
    HBITMAP bitmap = GetSelectedBitmap(dc);
    ASSERT_TRUE(GdiObjectExists(bitmap));
    EXPECT_EQ(surface->Delete(), TRUE);
    EXPECT_FALSE(GdiObjectExists(dc));
    EXPECT_FALSE(GdiObjectExists(bitmap)) << "the surface bitmap outlived its surface";
    EXPECT_EQ(surface->Delete(), FALSE);
    EXPECT_EQ(surface->GetSurfaceBits(), nullptr);
    EXPECT_EQ(surface->GetSurfaceBitmap(), nullptr);
  }
}

TEST(SurfaceDC, ASurfaceThatCannotBeMadeHasNoPixelsAndIsStillGivenBack) {
  struct Case {
    const char *name;
    int width, height;
  };
  const Case cases[] = {{"zero width", 0, 10}, {"zero height", 10, 0}, {"height whose negation overflows", 10, INT_MIN}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    HDC memory = ::CreateCompatibleDC(nullptr);
    EXPECT_EQ(CreateTopDownDIB24(memory, c.width, c.height), nullptr);
    ::DeleteDC(memory);
    CDIBSurfaceDC surface(c.width, c.height);
    EXPECT_EQ(surface.GetSurfaceBits(), nullptr);
    HDC dc = surface.GetHandle();
    EXPECT_TRUE(surface.Delete());
    EXPECT_FALSE(GdiObjectExists(dc));
  }
}

TEST(SurfaceDC, TheSurfaceBitmapTemporaryLeavesTheBitmapToTheSurface) {
  CDIBSurfaceDC surface(16, 8);
  HBITMAP bitmap = GetSelectedBitmap(surface.GetHandle());
  CDIBSection *temporary = surface.GetSurfaceBitmap();
  ASSERT_NE(temporary, nullptr);
  EXPECT_EQ(temporary->GetHandle(), bitmap);
  EXPECT_EQ(temporary->GetWidth(), 16);
  EXPECT_EQ(temporary->GetBits(), nullptr);
  PurgeTemporaryObjects();
  EXPECT_TRUE(GdiObjectExists(bitmap)) << "the purge deleted the surface's bitmap";
  EXPECT_EQ(GetSelectedBitmap(surface.GetHandle()), bitmap);
}

TEST(DC, APlainDCNeverReleasesWhatItHoldsButDeleteDoes) {
  HDC memory = ::CreateCompatibleDC(nullptr);
  { CDC held; held.Attach(memory); }
  EXPECT_TRUE(GdiObjectExists(memory));

  EXPECT_EQ(CDC::Wrap(nullptr), nullptr);
  CDC *temporary = CDC::Wrap(memory);
  ASSERT_NE(temporary, nullptr);
  EXPECT_EQ(temporary->GetHandle(), memory);
  PurgeTemporaryObjects();
  EXPECT_TRUE(GdiObjectExists(memory)) << "the purge deleted a wrapped DC";

  CDC owner;
  EXPECT_FALSE(owner.Delete());
  owner.Attach(memory);
  EXPECT_TRUE(owner.Delete());
  EXPECT_EQ(owner.GetHandle(), nullptr);
  EXPECT_FALSE(GdiObjectExists(memory));
}

TEST(DC, DrawingAnythingButABitmapDrawsNothing) {
  CDIBSurfaceDC surface(4, 4);
  HBRUSH brush = ::CreateSolidBrush(RGB(255, 255, 255));
  HBITMAP deleted = ::CreateBitmap(2, 2, 1, 32, nullptr);
  ::DeleteObject(deleted);
  for (HGDIOBJ object : {static_cast<HGDIOBJ>(nullptr), static_cast<HGDIOBJ>(brush), static_cast<HGDIOBJ>(deleted)}) {
    SCOPED_TRACE(::GetObjectType(object));
    EXPECT_FALSE(surface.DrawBitmap(static_cast<HBITMAP>(object), 0, 0, WHITENESS));
    EXPECT_FALSE(surface.DrawBitmapPart(static_cast<HBITMAP>(object), 0, 0, 4, 4, 0, 0, WHITENESS));
  }
  ::GdiFlush();
  const BYTE *pixels = static_cast<const BYTE *>(surface.GetSurfaceBits());
  EXPECT_EQ(pixels[0], 0) << "something was drawn";
  ::DeleteObject(brush);
}

// The DIB transfers against the platform's own on a second surface: every
// argument distinct, so one passed in the wrong place moves or loses pixels.
TEST(DC, DIBTransfersPutTheSourcePixelsWhereTheArgumentsSay) {
  // 3 x 2 pixels, bottom-up, 32 bits, each pixel its own colour.
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = 3;
  info.bmiHeader.biHeight = 2;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  const DWORD source[6] = {0x00102030, 0x00405060, 0x00708090, 0x00A0B0C0, 0x00D0E0F0, 0x00F01020};
  struct Case {
    const char *name;
    std::function<int(HDC, CDC &)> draw;  // the platform's on a raw DC, the class's on its own
  } cases[] = {
      {"SetDIBitsToDevice", [&](HDC raw, CDC &dc) {
         return raw ? ::SetDIBitsToDevice(raw, 1, 2, 2, 1, 1, 0, 0, 2, source, &info, DIB_RGB_COLORS)
                    : dc.SetDIBitsToDevice(1, 2, 2, 1, 1, 0, 0, 2, source, &info, DIB_RGB_COLORS);
       }},
      {"StretchDIBits", [&](HDC raw, CDC &dc) {
         return raw ? ::StretchDIBits(raw, 0, 1, 5, 2, 1, 0, 2, 1, source, &info, DIB_RGB_COLORS, NOTSRCCOPY)
                    : dc.StretchDIBits(0, 1, 5, 2, 1, 0, 2, 1, source, &info, DIB_RGB_COLORS, NOTSRCCOPY);
       }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    CDIBSurfaceDC ours(6, 4), theirs(6, 4);
    const int drawn = c.draw(nullptr, ours);
    EXPECT_EQ(drawn, c.draw(theirs.GetHandle(), theirs));
    EXPECT_GT(drawn, 0);
    ::GdiFlush();
    const BYTE *a = static_cast<const BYTE *>(ours.GetSurfaceBits());
    const BYTE *b = static_cast<const BYTE *>(theirs.GetSurfaceBits());
    const size_t size = 4 * 20;  // four rows of 6 * 3 bytes, each padded to 20
    EXPECT_EQ(std::memcmp(a, b, size), 0);
    size_t set = 0;
    for (size_t i = 0; i < size; ++i) set += a[i] != 0;
    EXPECT_GT(set, 0u) << "nothing was drawn";
    EXPECT_LT(set, size / 2) << "more than the blit's rectangle was drawn";
  }
}

// An acquiring class, made for the test window.
struct AcquiringCase {
  const char *name;
  std::function<CDC *(HWND)> make;
};

std::vector<AcquiringCase> AcquiringClasses() {
  return {{"memory DC", [](HWND) { return new CMemoryDC(nullptr); }},
          {"paint DC", [](HWND window) { return new CPaintDC(window); }},
          {"client DC", [](HWND window) { return new CClientDC(window); }},
          {"window DC", [](HWND window) { return new CWindowDC(window); }},
          {"desktop DC", [](HWND) { return new CDesktopDC(); }}};
}

TEST(AcquiringDC, DeleteAndAttachDoNothingAndTheDCStaysUsableUntilDestruction) {
  TestWindow window;
  ASSERT_NE(window.Get(), nullptr);
  HDC other = ::CreateCompatibleDC(nullptr);
  for (const AcquiringCase &c : AcquiringClasses()) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<CDC> dc(c.make(window.Get()));
    HDC held = dc->GetHandle();
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(dc->Delete(), FALSE);
    EXPECT_TRUE(GdiObjectExists(held));
    dc->Attach(other);
    EXPECT_EQ(dc->GetHandle(), held);
    EXPECT_NE(::GetDeviceCaps(held, BITSPIXEL), 0);
  }
  EXPECT_TRUE(GdiObjectExists(other));
  ::DeleteDC(other);
}

// Counts the calls that acquire or give back a window's DC.
int windowDCCalls = 0;
HDC WINAPI CountingGetDC(HWND) {
  ++windowDCCalls;
  return nullptr;
}
HDC WINAPI CountingBeginPaint(HWND, PAINTSTRUCT *) {
  ++windowDCCalls;
  return nullptr;
}
int WINAPI CountingReleaseDC(HWND, HDC) {
  ++windowDCCalls;
  return 0;
}
BOOL WINAPI CountingEndPaint(HWND, const PAINTSTRUCT *) {
  ++windowDCCalls;
  return FALSE;
}

TEST(AcquiringDC, AWindowDCForSomethingThatIsNotAWindowThrowsAndAcquiresAndReleasesNothing) {
  HWND destroyed;
  {
    TestWindow window;
    destroyed = window.Get();
  }
  ImportHook<HDC(WINAPI *)(HWND)> getDC("user32.dll", "GetDC", &CountingGetDC);
  ImportHook<HDC(WINAPI *)(HWND)> getWindowDC("user32.dll", "GetWindowDC", &CountingGetDC);
  ImportHook<HDC(WINAPI *)(HWND, PAINTSTRUCT *)> beginPaint("user32.dll", "BeginPaint", &CountingBeginPaint);
  ImportHook<int(WINAPI *)(HWND, HDC)> releaseDC("user32.dll", "ReleaseDC", &CountingReleaseDC);
  ImportHook<BOOL(WINAPI *)(HWND, const PAINTSTRUCT *)> endPaint("user32.dll", "EndPaint", &CountingEndPaint);
  ASSERT_TRUE(getDC.Installed() && getWindowDC.Installed() && beginPaint.Installed() && releaseDC.Installed() &&
              endPaint.Installed());
  struct Case {
    const char *name;
    HWND window;
  };
  const Case windows[] = {{"null", nullptr}, {"destroyed window", destroyed}, {"made-up handle", reinterpret_cast<HWND>(0x4321)}};
  const AcquiringCase classes[] = {AcquiringClasses()[1], AcquiringClasses()[2], AcquiringClasses()[3]};
  for (const AcquiringCase &c : classes) {
    for (const Case &w : windows) {
      SCOPED_TRACE(std::string(c.name) + " for " + w.name);
      windowDCCalls = 0;
      EXPECT_ANY_THROW(delete c.make(w.window));
      EXPECT_EQ(windowDCCalls, 0);
    }
  }
}

}  // namespace
