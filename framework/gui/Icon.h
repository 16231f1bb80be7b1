// CIcon: an icon and its pixel size. It owns the icon it loads or attaches
// (DestroyIcon at destruction) unless SetOwnership(false) says otherwise; a
// temporary from Wrap borrows its icon. Detach hands the icon back without
// destroying it.
#pragma once

#include "framework/gui/Graphic.h"

class CIcon : public CGraphic {
 public:
  CIcon() = default;
  ~CIcon() override;

  // DrawIconEx at the icon's own size; 0 without an icon.
  BOOL Draw(HDC dc, int x, int y) override;
  void Release() override;
  BOOL IsValid() const override { return handle != nullptr; }

  // Takes the icon and its size; 0 and no change when GetIconInfo refuses
  // it. An icon held before is not destroyed: Release it first.
  BOOL Attach(HICON icon);
  // Returns the icon and forgets it (and its size) without destroying it.
  HICON Detach();
  // A system icon such as IDI_APPLICATION.
  BOOL LoadSystemIcon(const char *name);
  // An icon of the resource module; with `smallSize` nonzero the 16 x 16 one.
  BOOL Load(const char *name, BOOL smallSize);
  // The platform's ICONINFO; the caller deletes the two bitmaps it names.
  BOOL GetIconInfo(ICONINFO *info) const;
  HICON GetHandle() const { return handle; }

  // A temporary that borrows `icon` until the next purge; null for null.
  static CIcon *Wrap(HICON icon);

 protected:
  HICON handle = nullptr;
};
