// CGraphic: the base of images that draw themselves at a position of a
// device context and remember their pixel size (CIcon, CBitmap,
// CDIBSection). An image object owns its image unless told otherwise: the
// destructor releases it only while ownsHandle is set, and Wrap clears the
// flag, so a temporary made for someone else's icon or bitmap never
// destroys it. Release destroys the image at once whatever the flag says.
// Not copyable: two owning copies would destroy the image twice.
#pragma once

#include "framework/Object.h"
#include "platform/Platform.h"

class CGraphic : public CObject {
 public:
  CGraphic() = default;
  CGraphic(const CGraphic &) = delete;
  CGraphic &operator=(const CGraphic &) = delete;
  ~CGraphic() override = default;

  // Draws the whole image with its top-left corner at (x, y); 0 on failure.
  virtual BOOL Draw(HDC dc, int x, int y) = 0;
  // Destroys the held image, if any, and forgets it.
  virtual void Release() = 0;
  virtual BOOL IsValid() const = 0;

  int GetWidth() const { return width; }
  // For a DIB section the header's height: negative for a top-down section.
  int GetHeight() const { return height; }
  void SetOwnership(bool owns) { ownsHandle = owns; }
  bool OwnsHandle() const { return ownsHandle; }

 protected:
  int width = 0;
  int height = 0;
  bool ownsHandle = true;
};
