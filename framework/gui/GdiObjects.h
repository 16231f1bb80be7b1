// CGdiObject<T> and the four GDI classes CFont, CPen, CBrush and CRgn: each
// holds one GDI object and deletes it at destruction only when it owns it
// (the ownsHandle flag of CHandleObject). A new object owns what it is given;
// a temporary from Wrap never does, so the purge of temporaries leaves the
// GDI object alive. Close deletes at once whatever the flag says. Not
// copyable: two owning copies would delete the object twice.
//
//   CBrush brush;
//   brush.SetHandle(::CreateSolidBrush(RGB(255, 0, 0)));   // owned: deleted with `brush`
//   CFont *font = CFont::Wrap(windowFont);                 // borrowed until the next purge
#pragma once

#include "framework/HandleObject.h"

template <typename T>
class CGdiObject : public CHandleObject<T> {
 public:
  explicit CGdiObject(T handle = nullptr) : CHandleObject<T>(handle) {}
  ~CGdiObject() override {
    if (this->ownsHandle) CGdiObject::Close();
  }

  // Deletes a held GDI object with DeleteObject and forgets it; 1 also when
  // none is held.
  BOOL Close() override {
    if (this->handle) {
      ::DeleteObject(this->handle);
      this->handle = nullptr;
    }
    return TRUE;
  }
};

class CFont : public CGdiObject<HFONT> {
 public:
  // A temporary that borrows `font` until the next purge; null for null.
  static CFont *Wrap(HFONT font);
};

class CPen : public CGdiObject<HPEN> {
 public:
  static CPen *Wrap(HPEN pen);
};

class CBrush : public CGdiObject<HBRUSH> {
 public:
  static CBrush *Wrap(HBRUSH brush);
};

class CRgn : public CGdiObject<HRGN> {
 public:
  static CRgn *Wrap(HRGN region);
};
