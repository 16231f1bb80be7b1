// CDC and the classes that acquire a device context for their lifetime.
//
// A plain CDC holds a device context it was given (Attach, or a temporary
// from Wrap) and never releases it; Delete releases it explicitly with
// DeleteDC. Each acquiring class takes its DC in the constructor and gives
// it back in the destructor with the matching call; Attach and Delete do
// nothing on them:
//   CMemoryDC      CreateCompatibleDC / DeleteDC
//   CPaintDC       BeginPaint / EndPaint
//   CClientDC      GetDC(window) / ReleaseDC
//   CWindowDC      GetWindowDC / ReleaseDC
//   CDesktopDC     GetDC(null) / ReleaseDC
// The surface classes hold a drawing surface (Surface.h) and destroy it at
// destruction or at an earlier Delete:
//   CDIBSurfaceDC  CreateDIBSurface / DestroySurface
//   CDDBSurfaceDC  CreateDDBSurface / DestroySurface
// None of them is copyable: a copy would give the DC back twice.
//
//   CDIBSurfaceDC surface(640, 480);
//   surface.DrawBitmap(bitmap, 0, 0, SRCCOPY);
//   BYTE *pixels = static_cast<BYTE *>(surface.GetSurfaceBits());
#pragma once

#include "framework/Object.h"
#include "platform/Platform.h"

class CDIBSection;
class CWnd;

class CDC : public CObject {
 public:
  CDC() = default;
  CDC(const CDC &) = delete;
  CDC &operator=(const CDC &) = delete;
  // Releases nothing.
  ~CDC() override = default;

  // Holds `dc` from now on; nothing is released or tested.
  virtual void Attach(HDC dc);
  // DeleteDC of the held DC; 0 when none is held.
  virtual BOOL Delete();

  // A temporary that borrows `dc` until the next purge; null for null.
  static CDC *Wrap(HDC dc);

  HDC GetHandle() const { return handle; }
  int SetDIBitsToDevice(int x, int y, DWORD width, DWORD height, int sourceX, int sourceY, UINT firstScanLine,
                        UINT scanLines, const void *bits, const BITMAPINFO *info, UINT colorUse);
  int StretchDIBits(int x, int y, int width, int height, int sourceX, int sourceY, int sourceWidth,
                    int sourceHeight, const void *bits, const BITMAPINFO *info, UINT usage, DWORD rasterOperation);
  // Blits a whole bitmap; 0 for anything that is not a bitmap.
  BOOL DrawBitmap(HBITMAP bitmap, int x, int y, DWORD rasterOperation);
  BOOL DrawBitmapPart(HBITMAP bitmap, int x, int y, int cx, int cy, int sourceX, int sourceY,
                      DWORD rasterOperation);
  // A temporary for the selected bitmap (it does not carry the pixel
  // pointer); null without a DC.
  CDIBSection *GetSurfaceBitmap();
  // The pixel memory of a DIB surface; null for any other DC.
  void *GetSurfaceBits();
  // The header of the selected bitmap: a section's, all zeros for a
  // device-dependent bitmap; 0 without a DC or a header to fill.
  virtual BOOL GetSurfaceInfoHeader(BITMAPINFOHEADER *header);

 protected:
  HDC handle = nullptr;
};

// The base of the classes that hold their DC from construction to
// destruction: Attach is ignored and Delete returns 0.
class CAcquiredDC : public CDC {
 public:
  void Attach(HDC dc) override;
  BOOL Delete() override;
};

class CMemoryDC : public CAcquiredDC {
 public:
  // A memory DC compatible with `dc` (with the screen for null).
  explicit CMemoryDC(HDC dc);
  ~CMemoryDC() override;
};

// The window DCs throw std::invalid_argument, acquiring nothing, for a
// handle that is not a window (and for a CWnd that holds none).
class CPaintDC : public CAcquiredDC {
 public:
  explicit CPaintDC(HWND window);
  // The object's window; a null object counts as a null handle.
  explicit CPaintDC(CWnd *window);
  ~CPaintDC() override;
  const PAINTSTRUCT &GetPaintStruct() const { return paint; }

 protected:
  HWND window;
  PAINTSTRUCT paint = {};
};

class CClientDC : public CAcquiredDC {
 public:
  explicit CClientDC(HWND window);
  // The object's window; a null object counts as a null handle.
  explicit CClientDC(CWnd *window);
  ~CClientDC() override;

 protected:
  HWND window;
};

class CWindowDC : public CAcquiredDC {
 public:
  explicit CWindowDC(HWND window);
  // The object's window; a null object counts as a null handle.
  explicit CWindowDC(CWnd *window);
  ~CWindowDC() override;

 protected:
  HWND window;
};

class CDesktopDC : public CAcquiredDC {
 public:
  CDesktopDC();
  ~CDesktopDC() override;
};

// The base of the surface classes: destruction, or an earlier Delete,
// destroys the surface held.
class CSurfaceDC : public CDC {
 public:
  ~CSurfaceDC() override;
  // DestroySurface of the held surface: 1, or 0 when none is held.
  BOOL Delete() override;
  int GetSurfaceWidth() const { return surfaceWidth; }
  int GetSurfaceHeight() const { return surfaceHeight; }

 protected:
  CSurfaceDC(HDC surface, int width, int height);

  int surfaceWidth;
  int surfaceHeight;
};

// A 24-bit top-down DIB section surface: rows of width * 3 bytes padded to
// 4, row 0 at the top, reached through GetSurfaceBits.
class CDIBSurfaceDC : public CSurfaceDC {
 public:
  CDIBSurfaceDC(int width, int height);
  // While the surface's own section is selected, its height is reported
  // negative, as made: NT-family systems and Wine report a top-down
  // section's height as positive.
  BOOL GetSurfaceInfoHeader(BITMAPINFOHEADER *header) override;

 private:
  HBITMAP section;  // the surface's own section, owned through the surface
};

// A surface on a screen-compatible bitmap: no pixel pointer.
class CDDBSurfaceDC : public CSurfaceDC {
 public:
  CDDBSurfaceDC(int width, int height);
};
