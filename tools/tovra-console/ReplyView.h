// ReplyView: the lower part of the console, a child window that shows the
// expanded reply. The heading and the reply come as Shift_JIS bytes and are
// drawn as Unicode text decoded with code page 932, whatever the system's
// code page; a byte that is not Shift_JIS is drawn as a replacement mark.
// The view's window text is the reply as drawn. The text is drawn on a
// 24-bit DIB surface of the view's size, which WM_PAINT copies to the screen.
#pragma once

#include <memory>
#include <string>

#include "framework/gui/DC.h"
#include "framework/gui/GdiObjects.h"
#include "framework/gui/Wnd.h"

class ReplyView : public CWnd {
 public:
  static const char kClassName[];

  BOOL Create(HWND parent, int identifier, HFONT font);
  // Shows `reply` under a heading that says where it came from; both are
  // Shift_JIS.
  void ShowReply(const std::string &heading, const std::string &reply);

  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC *dc) override;
  void OnSize(UINT type, int width, int height) override;

 private:
  void Render();

  std::unique_ptr<CDIBSurfaceDC> surface;
  HFONT font = nullptr;  // the console's; not owned
  CFont headingFont;
  std::wstring heading;
  std::wstring reply;
};
