#include "framework/gui/Bitmap.h"

#include <commctrl.h>

#include <utility>

#include "framework/Application.h"
#include "framework/gui/Temporary.h"

CBitmap::~CBitmap() {
  if (ownsHandle) CBitmap::Release();
}

BOOL CBitmap::Draw(HDC dc, int x, int y) {
  BITMAP info;
  if (!GetBitmap(&info)) return FALSE;
  return BlitBitmap(dc, handle, x, y, info.bmWidth, info.bmHeight, 0, 0, SRCCOPY);
}

void CBitmap::Release() {
  if (handle) ::DeleteObject(handle);
  handle = nullptr;
}

BOOL CBitmap::Create(int bitmapWidth, int bitmapHeight, UINT bitCount, const void *pixels) {
  return Attach(::CreateBitmap(bitmapWidth, bitmapHeight, 1, bitCount, pixels));
}

BOOL CBitmap::CreateCompatible(HDC dc, int bitmapWidth, int bitmapHeight) {
  return Attach(::CreateCompatibleBitmap(dc, bitmapWidth, bitmapHeight));
}

BOOL CBitmap::LoadResourceId(UINT identifier) {
  return LoadResourceName(MAKEINTRESOURCEA(LOWORD(identifier)));
}

BOOL CBitmap::LoadResourceName(const char *name) {
  return Attach(::LoadBitmapA(GetResourceHandle(), name));
}

BOOL CBitmap::LoadMapped(UINT identifier) {
  return CBitmap::Attach(::CreateMappedBitmap(GetResourceHandle(), static_cast<INT_PTR>(identifier), 0, nullptr, 0));
}

BOOL CBitmap::LoadSystem(UINT identifier) {
  return Attach(::LoadBitmapA(nullptr, MAKEINTRESOURCEA(LOWORD(identifier))));
}

BOOL CBitmap::LoadId(UINT identifier) {
  return LoadResourceId(identifier);
}

BOOL CBitmap::LoadName(const char *name) {
  return LoadResourceName(name);
}

BOOL CBitmap::LoadMappedId(UINT identifier) {
  return LoadMapped(identifier);
}

BOOL CBitmap::LoadFile(const char *path) {
  return Attach(static_cast<HBITMAP>(::LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)));
}

BOOL CBitmap::Attach(HBITMAP bitmap) {
  BITMAP info;
  if (!ReadBitmap(bitmap, &info)) return FALSE;
  handle = bitmap;
  width = info.bmWidth;
  height = info.bmHeight;
  return TRUE;
}

HBITMAP CBitmap::Detach() {
  width = height = 0;
  return std::exchange(handle, nullptr);
}

BOOL CBitmap::GetBitmap(BITMAP *info) const {
  return ReadBitmap(handle, info);
}

BOOL CBitmap::DrawPart(HDC dc, int x, int y, int cx, int cy, int sourceX, int sourceY) {
  return BlitBitmap(dc, handle, x, y, cx, cy, sourceX, sourceY, SRCCOPY);
}

CBitmap *CBitmap::Wrap(HBITMAP bitmap) {
  return WrapImage<CBitmap>(bitmap);
}

BOOL ReadBitmap(HGDIOBJ bitmap, BITMAP *info) {
  return IsBitmap(bitmap) && ::GetObjectA(bitmap, sizeof *info, info) == sizeof *info;
}

BOOL BlitBitmap(HDC dc, HBITMAP bitmap, int x, int y, int cx, int cy, int sourceX, int sourceY, DWORD rasterOperation) {
  // A bitmap that cannot be selected would leave the memory DC's default
  // 1 x 1 bitmap as the source: blit nothing rather than that.
  if (!IsBitmap(bitmap)) return FALSE;
  HDC memory = ::CreateCompatibleDC(nullptr);
  if (!memory) return FALSE;
  HGDIOBJ previous = ::SelectObject(memory, bitmap);
  BOOL result = FALSE;
  if (previous && previous != HGDI_ERROR) {
    result = ::BitBlt(dc, x, y, cx, cy, memory, sourceX, sourceY, rasterOperation);
    ::SelectObject(memory, previous);
  }
  ::DeleteDC(memory);
  return result;
}
