// CBitmap: a GDI bitmap and its pixel size, and BlitBitmap, which copies a
// bitmap onto a device context through a memory DC of its own. A CBitmap
// owns the bitmap it creates, loads or attaches (DeleteObject at
// destruction) unless SetOwnership(false) says otherwise; a temporary from
// Wrap borrows its bitmap. No load or create releases a bitmap held before:
// Release first.
//
//   CBitmap bitmap;
//   if (bitmap.LoadFile("C:\\pictures\\logo.bmp")) bitmap.Draw(dc, 10, 10);
#pragma once

#include "framework/gui/Graphic.h"

class CBitmap : public CGraphic {
 public:
  CBitmap() = default;
  ~CBitmap() override;

  // Blits the whole bitmap (SRCCOPY); 0 without a bitmap.
  BOOL Draw(HDC dc, int x, int y) override;
  void Release() override;
  BOOL IsValid() const override { return handle != nullptr; }

  // The creating and loading operations: 1 when a bitmap was made and taken.
  virtual BOOL Create(int width, int height, UINT bitCount, const void *pixels);
  virtual BOOL CreateCompatible(HDC dc, int width, int height);
  virtual BOOL LoadResourceId(UINT identifier);
  virtual BOOL LoadResourceName(const char *name);
  // A bitmap resource with its system colours mapped (CreateMappedBitmap);
  // always a device-dependent bitmap, taken as a CBitmap.
  virtual BOOL LoadMapped(UINT identifier);
  // One of the system's own bitmaps (OBM_...).
  virtual BOOL LoadSystem(UINT identifier);
  virtual BOOL LoadId(UINT identifier);
  virtual BOOL LoadName(const char *name);
  virtual BOOL LoadMappedId(UINT identifier);
  virtual BOOL LoadFile(const char *path);

  // Takes the bitmap and its size; 0 and no change for anything else.
  BOOL Attach(HBITMAP bitmap);
  // Returns the bitmap and forgets it (and its size) without deleting it.
  HBITMAP Detach();
  BOOL GetBitmap(BITMAP *info) const;
  // Blits part of the bitmap (SRCCOPY).
  BOOL DrawPart(HDC dc, int x, int y, int cx, int cy, int sourceX, int sourceY);
  HBITMAP GetHandle() const { return handle; }

  // A temporary that borrows `bitmap` until the next purge; null for null.
  static CBitmap *Wrap(HBITMAP bitmap);

 protected:
  HBITMAP handle = nullptr;
};

// Whether `object` is a GDI bitmap. GetObjectA alone cannot tell: asked for
// a BITMAP's size it answers that size for a font as well.
inline bool IsBitmap(HGDIOBJ object) { return ::GetObjectType(object) == OBJ_BITMAP; }
// The BITMAP of `bitmap`; FALSE for null and for anything else than a bitmap.
BOOL ReadBitmap(HGDIOBJ bitmap, BITMAP *info);

// BitBlt from `bitmap` (selected into a memory DC of its own, then
// deselected) onto `dc`. 0 without drawing anything when the bitmap cannot
// be selected: it is not a bitmap, or it is selected into another DC.
BOOL BlitBitmap(HDC dc, HBITMAP bitmap, int x, int y, int cx, int cy, int sourceX, int sourceY, DWORD rasterOperation);
