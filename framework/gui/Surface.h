// Drawing surfaces: memory DCs with a bitmap of their own selected, either a
// 24-bit top-down DIB section whose pixels can be reached directly or a
// screen-compatible bitmap. Create one with CreateDIBSurface or
// CreateDDBSurface and give it back with DestroySurface, which deselects the
// bitmap (the SaveDC made at creation is restored) and deletes it and the DC.
//
//   HDC surface = CreateDIBSurface(640, 480);
//   BYTE *pixels = static_cast<BYTE *>(GetBitmapBits(surface));   // rows of 640 * 3 bytes
//   ...
//   DestroySurface(surface);
#pragma once

#include "platform/Platform.h"

HDC CreateDIBSurface(int width, int height);
HDC CreateDDBSurface(int width, int height);
// A 24-bit top-down section of width x height pixels; null when the platform
// refuses, and for a height whose negation does not fit.
HBITMAP CreateTopDownDIB24(HDC dc, int width, int height);
void DestroySurface(HDC surface);
// The bitmap selected into `dc`.
HBITMAP GetSelectedBitmap(HDC dc);
// The pixel memory of the bitmap selected into `dc`: null unless it is a
// DIB section.
void *GetBitmapBits(HDC dc);
// The BITMAPINFOHEADER of a bitmap: a section's own, all zeros for a
// device-dependent bitmap. 0 for anything that is not a bitmap.
BOOL GetDIBInfoHeader(HBITMAP bitmap, BITMAPINFOHEADER *header);
