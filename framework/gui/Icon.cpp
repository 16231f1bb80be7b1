#include "framework/gui/Icon.h"

#include <utility>

#include "framework/Application.h"
#include "framework/gui/Temporary.h"

namespace {

// The pixel size of an icon: its colour bitmap's, or for a monochrome icon
// (mask only, AND half above XOR half) the mask's width by half its height.
// The two bitmaps GetIconInfo makes are deleted again.
BOOL MeasureIcon(HICON icon, int *width, int *height) {
  ICONINFO info = {};
  if (!::GetIconInfo(icon, &info)) return FALSE;
  BITMAP bitmap = {};
  BOOL measured = FALSE;
  if (info.hbmColor) {
    measured = ::GetObjectA(info.hbmColor, sizeof bitmap, &bitmap) == sizeof bitmap;
  } else if (info.hbmMask) {
    measured = ::GetObjectA(info.hbmMask, sizeof bitmap, &bitmap) == sizeof bitmap;
    bitmap.bmHeight /= 2;
  }
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
  if (!measured) return FALSE;
  *width = bitmap.bmWidth;
  *height = bitmap.bmHeight;
  return TRUE;
}

}  // namespace

CIcon::~CIcon() {
  if (ownsHandle) CIcon::Release();
}

BOOL CIcon::Draw(HDC dc, int x, int y) {
  int iconWidth, iconHeight;
  if (!handle || !MeasureIcon(handle, &iconWidth, &iconHeight)) return FALSE;
  return ::DrawIconEx(dc, x, y, handle, iconWidth, iconHeight, 0, nullptr, DI_NORMAL);
}

void CIcon::Release() {
  if (handle) ::DestroyIcon(handle);
  handle = nullptr;
}

BOOL CIcon::Attach(HICON icon) {
  int iconWidth, iconHeight;
  if (!icon || !MeasureIcon(icon, &iconWidth, &iconHeight)) return FALSE;
  handle = icon;
  width = iconWidth;
  height = iconHeight;
  return TRUE;
}

HICON CIcon::Detach() {
  width = height = 0;
  return std::exchange(handle, nullptr);
}

BOOL CIcon::LoadSystemIcon(const char *name) {
  return Attach(::LoadIconA(nullptr, name));
}

BOOL CIcon::Load(const char *name, BOOL smallSize) {
  HICON icon = smallSize ? static_cast<HICON>(::LoadImageA(GetResourceHandle(), name, IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR))
                         : ::LoadIconA(GetResourceHandle(), name);
  return Attach(icon);
}

BOOL CIcon::GetIconInfo(ICONINFO *info) const {
  return ::GetIconInfo(handle, info);
}

CIcon *CIcon::Wrap(HICON icon) {
  return WrapImage<CIcon>(icon);
}
