#include "framework/gui/GdiObjects.h"

#include "framework/gui/Temporary.h"

namespace {

template <typename Wrapper, typename Handle>
Wrapper *WrapBorrowed(Handle handle) {
  return MakeTemporary<Wrapper>(handle, [](Wrapper &wrapper, Handle borrowed) {
    wrapper.SetHandle(borrowed);
    wrapper.SetOwnership(false);
  });
}

}  // namespace

CFont *CFont::Wrap(HFONT font) {
  return WrapBorrowed<CFont>(font);
}

CPen *CPen::Wrap(HPEN pen) {
  return WrapBorrowed<CPen>(pen);
}

CBrush *CBrush::Wrap(HBRUSH brush) {
  return WrapBorrowed<CBrush>(brush);
}

CRgn *CRgn::Wrap(HRGN region) {
  return WrapBorrowed<CRgn>(region);
}
