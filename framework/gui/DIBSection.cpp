#include "framework/gui/DIBSection.h"

#include <cstring>

#include "framework/Application.h"
#include "framework/gui/Temporary.h"
#include "text/HeapBlock.h"

namespace {

// Colour-table entries for a bit count: -1 for a bit count no section has.
int FullColorTable(UINT bitCount) {
  switch (bitCount) {
    case 1:
      return 2;
    case 4:
      return 16;
    case 8:
      return 256;
    case 15:
    case 16:
    case 24:
    case 32:
      return 0;
    default:
      return -1;
  }
}

// The DIBSECTION of a section; FALSE for anything else, a device-dependent
// bitmap too (GetObjectA then fills only a BITMAP).
BOOL ReadDIBSection(HGDIOBJ bitmap, DIBSECTION *section) {
  return IsBitmap(bitmap) && ::GetObjectA(bitmap, sizeof *section, section) == sizeof *section;
}

HBITMAP LoadSection(HINSTANCE module, const char *name, UINT flags) {
  return static_cast<HBITMAP>(::LoadImageA(module, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION | flags));
}

}  // namespace

BOOL CDIBSection::Create(int sectionWidth, int sectionHeight, UINT bitCount, const void *) {
  int colors = FullColorTable(bitCount);
  if (colors < 0) return FALSE;
  return CreateWithColors(sectionWidth, sectionHeight, bitCount, static_cast<UINT>(colors), nullptr);
}

BOOL CDIBSection::CreateCompatible(HDC, int, int) {
  return FALSE;
}

BOOL CDIBSection::LoadResourceName(const char *name) {
  return Attach(LoadSection(GetResourceHandle(), name, 0));
}

BOOL CDIBSection::LoadSystem(UINT identifier) {
  return Attach(LoadSection(nullptr, MAKEINTRESOURCEA(LOWORD(identifier)), 0));
}

BOOL CDIBSection::LoadFile(const char *path) {
  return Attach(LoadSection(nullptr, path, LR_LOADFROMFILE));
}

void CDIBSection::Release() {
  CBitmap::Release();
  bits = nullptr;
}

BOOL CDIBSection::Attach(HBITMAP bitmap) {
  DIBSECTION section;
  if (!ReadDIBSection(bitmap, &section)) return FALSE;
  handle = bitmap;
  width = section.dsBmih.biWidth;
  height = section.dsBmih.biHeight;
  return TRUE;
}

BOOL CDIBSection::CreateWithColors(int sectionWidth, int sectionHeight, UINT bitCount, UINT colorCount,
                                   const RGBQUAD *colors) {
  if (sectionWidth < 0 || sectionWidth > 9999) return FALSE;
  if (sectionHeight < -9999 || sectionHeight > 9999 || sectionHeight == 0) return FALSE;
  int fullTable = FullColorTable(bitCount);
  if (fullTable < 0) return FALSE;
  if (fullTable == 0) colorCount = 0;
  if (colorCount > static_cast<UINT>(fullTable)) return FALSE;

  // The header, then the colour table (zeros unless colours are given).
  BITMAPINFO *info =
      static_cast<BITMAPINFO *>(ProcessHeapAlloc(1, sizeof(BITMAPINFOHEADER) + sizeof(RGBQUAD) * colorCount));
  if (!info) return FALSE;
  info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info->bmiHeader.biWidth = sectionWidth;
  info->bmiHeader.biHeight = sectionHeight;
  info->bmiHeader.biPlanes = 1;
  info->bmiHeader.biBitCount = static_cast<WORD>(bitCount);
  info->bmiHeader.biCompression = BI_RGB;
  if (colorCount && colors) std::memcpy(info->bmiColors, colors, sizeof(RGBQUAD) * colorCount);

  HDC memory = ::CreateCompatibleDC(nullptr);
  void *sectionBits = nullptr;
  HBITMAP section = ::CreateDIBSection(memory, info, DIB_RGB_COLORS, &sectionBits, nullptr, 0);
  if (memory) ::DeleteDC(memory);
  BOOL taken = TakeNewSection(section, sectionBits, info->bmiHeader);
  ProcessHeapFree(info);
  return taken;
}

BOOL CDIBSection::CreateFromInfo(HDC dc, const BITMAPINFO *info, UINT usage, HANDLE fileMapping, DWORD offset) {
  if (!info) return FALSE;
  HDC memory = dc ? nullptr : ::CreateCompatibleDC(nullptr);
  void *sectionBits = nullptr;
  HBITMAP section = ::CreateDIBSection(dc ? dc : memory, info, usage, &sectionBits, fileMapping, offset);
  if (memory) ::DeleteDC(memory);
  return TakeNewSection(section, sectionBits, info->bmiHeader);
}

BOOL CDIBSection::TakeNewSection(HBITMAP section, void *sectionBits, const BITMAPINFOHEADER &header) {
  if (!section) return FALSE;
  if (!Attach(section)) {
    ::DeleteObject(section);
    return FALSE;
  }
  // The platform may report a top-down section's height as positive; the
  // header it was made from tells the truth.
  height = header.biHeight;
  bits = sectionBits;
  return TRUE;
}

BOOL CDIBSection::GetDIBSection(DIBSECTION *section) const {
  return ReadDIBSection(handle, section);
}

BOOL CDIBSection::GetInfoHeader(BITMAPINFOHEADER *header) const {
  DIBSECTION section;
  if (!GetDIBSection(&section)) return FALSE;
  *header = section.dsBmih;
  return TRUE;
}

CDIBSection *CDIBSection::Wrap(HBITMAP bitmap) {
  return WrapImage<CDIBSection>(bitmap);
}
