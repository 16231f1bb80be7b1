#include "framework/gui/DC.h"

#include <stdexcept>

#include "framework/gui/Bitmap.h"
#include "framework/gui/DIBSection.h"
#include "framework/gui/Surface.h"
#include "framework/gui/Temporary.h"
#include "framework/gui/Wnd.h"

namespace {

HWND CheckedWindow(HWND window) {
  if (!::IsWindow(window)) throw std::invalid_argument("not a window");
  return window;
}

HWND HandleOf(CWnd *window) {
  return window ? window->GetHandle() : nullptr;
}

}  // namespace

void CDC::Attach(HDC dc) {
  handle = dc;
}

BOOL CDC::Delete() {
  if (!handle) return FALSE;
  BOOL result = ::DeleteDC(handle);
  handle = nullptr;
  return result;
}

CDC *CDC::Wrap(HDC dc) {
  return MakeTemporary<CDC>(dc, [](CDC &wrapper, HDC borrowed) { wrapper.Attach(borrowed); });
}

int CDC::SetDIBitsToDevice(int x, int y, DWORD width, DWORD height, int sourceX, int sourceY, UINT firstScanLine,
                           UINT scanLines, const void *bits, const BITMAPINFO *info, UINT colorUse) {
  return ::SetDIBitsToDevice(handle, x, y, width, height, sourceX, sourceY, firstScanLine, scanLines, bits, info,
                             colorUse);
}

int CDC::StretchDIBits(int x, int y, int width, int height, int sourceX, int sourceY, int sourceWidth,
                       int sourceHeight, const void *bits, const BITMAPINFO *info, UINT usage,
                       DWORD rasterOperation) {
  return ::StretchDIBits(handle, x, y, width, height, sourceX, sourceY, sourceWidth, sourceHeight, bits, info, usage,
                         rasterOperation);
}

BOOL CDC::DrawBitmap(HBITMAP bitmap, int x, int y, DWORD rasterOperation) {
  BITMAP info;
  if (!ReadBitmap(bitmap, &info)) return FALSE;
  return BlitBitmap(handle, bitmap, x, y, info.bmWidth, info.bmHeight, 0, 0, rasterOperation);
}

BOOL CDC::DrawBitmapPart(HBITMAP bitmap, int x, int y, int cx, int cy, int sourceX, int sourceY,
                         DWORD rasterOperation) {
  return BlitBitmap(handle, bitmap, x, y, cx, cy, sourceX, sourceY, rasterOperation);
}

CDIBSection *CDC::GetSurfaceBitmap() {
  return handle ? CDIBSection::Wrap(GetSelectedBitmap(handle)) : nullptr;
}

void *CDC::GetSurfaceBits() {
  return handle ? GetBitmapBits(handle) : nullptr;
}

BOOL CDC::GetSurfaceInfoHeader(BITMAPINFOHEADER *header) {
  if (!handle || !header) return FALSE;
  return GetDIBInfoHeader(GetSelectedBitmap(handle), header);
}

void CAcquiredDC::Attach(HDC) {}

BOOL CAcquiredDC::Delete() {
  return FALSE;
}

CMemoryDC::CMemoryDC(HDC dc) {
  handle = ::CreateCompatibleDC(dc);
}

CMemoryDC::~CMemoryDC() {
  if (handle) ::DeleteDC(handle);
}

CPaintDC::CPaintDC(HWND window) : window(CheckedWindow(window)) {
  handle = ::BeginPaint(window, &paint);
}

CPaintDC::CPaintDC(CWnd *window) : CPaintDC(HandleOf(window)) {}

CPaintDC::~CPaintDC() {
  ::EndPaint(window, &paint);
}

CClientDC::CClientDC(HWND window) : window(CheckedWindow(window)) {
  handle = ::GetDC(window);
}

CClientDC::CClientDC(CWnd *window) : CClientDC(HandleOf(window)) {}

CClientDC::~CClientDC() {
  if (handle) ::ReleaseDC(window, handle);
}

CWindowDC::CWindowDC(HWND window) : window(CheckedWindow(window)) {
  handle = ::GetWindowDC(window);
}

CWindowDC::CWindowDC(CWnd *window) : CWindowDC(HandleOf(window)) {}

CWindowDC::~CWindowDC() {
  if (handle) ::ReleaseDC(window, handle);
}

CDesktopDC::CDesktopDC() {
  handle = ::GetDC(nullptr);
}

CDesktopDC::~CDesktopDC() {
  if (handle) ::ReleaseDC(nullptr, handle);
}

CSurfaceDC::CSurfaceDC(HDC surface, int width, int height) : surfaceWidth(width), surfaceHeight(height) {
  handle = surface;
}

CSurfaceDC::~CSurfaceDC() {
  CSurfaceDC::Delete();
}

BOOL CSurfaceDC::Delete() {
  if (!handle) return FALSE;
  DestroySurface(handle);
  handle = nullptr;
  return TRUE;
}

CDIBSurfaceDC::CDIBSurfaceDC(int width, int height)
    : CSurfaceDC(CreateDIBSurface(width, height), width, height),
      section(handle ? GetSelectedBitmap(handle) : nullptr) {}

BOOL CDIBSurfaceDC::GetSurfaceInfoHeader(BITMAPINFOHEADER *header) {
  if (!CDC::GetSurfaceInfoHeader(header)) return FALSE;
  if (GetSelectedBitmap(handle) == section && header->biHeight > 0) header->biHeight = -header->biHeight;
  return TRUE;
}

CDDBSurfaceDC::CDDBSurfaceDC(int width, int height) : CSurfaceDC(CreateDDBSurface(width, height), width, height) {}
