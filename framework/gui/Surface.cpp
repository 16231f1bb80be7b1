#include "framework/gui/Surface.h"

#include <climits>

#include "framework/gui/Bitmap.h"

namespace {

// A memory DC whose state is saved, so that DestroySurface can deselect what
// it selects into it next.
HDC NewSurfaceDC() {
  HDC dc = ::CreateCompatibleDC(nullptr);
  if (dc) ::SaveDC(dc);
  return dc;
}

}  // namespace

HDC CreateDIBSurface(int width, int height) {
  HDC dc = NewSurfaceDC();
  if (!dc) return nullptr;
  HBITMAP bitmap = CreateTopDownDIB24(dc, width, height);
  if (bitmap) ::SelectObject(dc, bitmap);
  return dc;
}

HDC CreateDDBSurface(int width, int height) {
  HDC dc = NewSurfaceDC();
  if (!dc) return nullptr;
  HDC screen = ::GetDC(nullptr);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  ::ReleaseDC(nullptr, screen);
  if (bitmap) ::SelectObject(dc, bitmap);
  return dc;
}

HBITMAP CreateTopDownDIB24(HDC dc, int width, int height) {
  if (height == INT_MIN) return nullptr;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void *pixels = nullptr;
  return ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
}

void DestroySurface(HDC surface) {
  HBITMAP bitmap = GetSelectedBitmap(surface);
  ::RestoreDC(surface, -1);
  ::DeleteDC(surface);
  // The DC's default bitmap, left when no surface bitmap could be made, is a
  // stock object that DeleteObject leaves alone.
  ::DeleteObject(bitmap);
}

HBITMAP GetSelectedBitmap(HDC dc) {
  return static_cast<HBITMAP>(::GetCurrentObject(dc, OBJ_BITMAP));
}

void *GetBitmapBits(HDC dc) {
  BITMAP info = {};
  ::GetObjectA(GetSelectedBitmap(dc), sizeof info, &info);
  return info.bmBits;
}

BOOL GetDIBInfoHeader(HBITMAP bitmap, BITMAPINFOHEADER *header) {
  DIBSECTION section = {};
  if (!header || !IsBitmap(bitmap) || !::GetObjectA(bitmap, sizeof section, &section)) return FALSE;
  *header = section.dsBmih;
  return TRUE;
}
