// CDIBSection: a device-independent bitmap section with direct access to its
// pixel memory. `bits` is set by the creating operations (Create,
// CreateWithColors, CreateFromInfo) and cleared by Release; an attached,
// loaded or wrapped section does not carry it. Ownership as for CBitmap.
//
// The height is the header's: negative for a top-down section. A section
// this object made keeps the height it was made with; for one attached,
// loaded or wrapped it is what GetObjectA reports, which NT-family systems
// and Wine give as positive even for a top-down section.
//
//   CDIBSection section;
//   if (section.Create(64, -64, 32, nullptr))   // top-down, 32 bits a pixel
//     static_cast<DWORD *>(section.GetBits())[0] = 0x00FF0000;
#pragma once

#include "framework/gui/Bitmap.h"

class CDIBSection : public CBitmap {
 public:
  CDIBSection() = default;

  // A zero-coloured section: width 0 to 9999, height -9999 to 9999 but not
  // 0 (negative: top-down), bit count 1, 4, 8, 15, 16, 24 or 32. The
  // pixel-data argument is ignored.
  BOOL Create(int width, int height, UINT bitCount, const void *pixels) override;
  // A section has no screen-compatible form: always 0.
  BOOL CreateCompatible(HDC dc, int width, int height) override;
  BOOL LoadResourceName(const char *name) override;
  BOOL LoadSystem(UINT identifier) override;
  BOOL LoadFile(const char *path) override;
  // Deletes the section and forgets it and its pixel memory.
  void Release() override;

  // Takes a DIB section and its header's size; 0 and no change for anything
  // else (a device-dependent bitmap too). `bits` is left as it is.
  BOOL Attach(HBITMAP bitmap);
  // A section with `colorCount` entries of `colors` (or zeros for null) in
  // its colour table; the checks of Create, and at most 2, 16 or 256
  // colours for 1, 4 or 8 bits. Nothing is asked of the platform when a
  // check fails.
  BOOL CreateWithColors(int width, int height, UINT bitCount, UINT colorCount, const RGBQUAD *colors);
  // CreateDIBSection on `dc` (a memory DC of its own for null).
  BOOL CreateFromInfo(HDC dc, const BITMAPINFO *info, UINT usage, HANDLE section, DWORD offset);
  BOOL GetDIBSection(DIBSECTION *section) const;
  BOOL GetInfoHeader(BITMAPINFOHEADER *header) const;
  void *GetBits() const { return bits; }

  // A temporary that borrows `bitmap` until the next purge; null for null.
  static CDIBSection *Wrap(HBITMAP bitmap);

 protected:
  // Takes a section this object has just made from `header`, with its pixel
  // memory; a section that cannot be taken is deleted again.
  BOOL TakeNewSection(HBITMAP section, void *sectionBits, const BITMAPINFOHEADER &header);

  void *bits = nullptr;
};
