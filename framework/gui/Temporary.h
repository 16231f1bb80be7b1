// MakeTemporary: the one way the graphics classes wrap a handle they were
// handed: a new wrapper, given the handle by `take`, placed on the
// application's temporary-object list, which deletes it at the next purge.
// Whether that deletion releases the handle is up to the wrapper: every
// wrapper made here is set up to leave the handle alone.
#pragma once

#include <memory>

#include "framework/Application.h"

// Null for a null handle; there is no lookup, every call makes a new wrapper.
template <typename Wrapper, typename Handle, typename Take>
Wrapper *MakeTemporary(Handle handle, Take take) {
  if (!handle) return nullptr;
  std::unique_ptr<Wrapper> wrapper(new Wrapper);
  take(*wrapper, handle);
  AddTemporaryObject(wrapper.get());
  return wrapper.release();
}

// The temporary of an image class (CIcon, CBitmap, CDIBSection): Attach,
// whose result is not tested, and no ownership, so the purge leaves the
// image to whoever made it.
template <typename Image, typename Handle>
Image *WrapImage(Handle handle) {
  return MakeTemporary<Image>(handle, [](Image &image, Handle borrowed) {
    image.Attach(borrowed);
    image.SetOwnership(false);
  });
}
