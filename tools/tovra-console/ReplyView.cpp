#include "tools/tovra-console/ReplyView.h"

#include "framework/Application.h"
#include "tools/ShiftJis.h"

const char ReplyView::kClassName[] = "TovraConsoleReply";

namespace {

const COLORREF kPaper = RGB(255, 255, 255);
const COLORREF kInk = RGB(0, 0, 0);
const COLORREF kHeadingInk = RGB(0, 70, 140);
const int kMargin = 8;

}  // namespace

BOOL ReplyView::Create(HWND parent, int identifier, HFONT textFont) {
  font = textFont;
  LOGFONTW description = {};
  if (::GetObjectW(font, sizeof description, &description)) {
    description.lfWeight = FW_BOLD;
    headingFont.SetHandle(::CreateFontIndirectW(&description));
  }
  if (!RegisterWindowClass(kClassName, 0, nullptr, nullptr, ::LoadCursor(nullptr, IDC_ARROW), nullptr)) return FALSE;
  return CreateEx(kClassName, "", WS_CHILD | WS_VISIBLE, WS_EX_CLIENTEDGE, 0, 0, 0, 0, parent,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(identifier)), nullptr);
}

void ReplyView::ShowReply(const std::string &newHeading, const std::string &newReply) {
  heading = FromShiftJis(newHeading);
  reply = FromShiftJis(newReply);
  // Stored by the default handler itself: the view's own procedure is an
  // ANSI one, and a WM_SETTEXT through it would lose what the system's code
  // page cannot hold.
  ::DefWindowProcW(handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(reply.c_str()));
  Render();
  ::InvalidateRect(handle, nullptr, FALSE);
}

void ReplyView::OnSize(UINT, int width, int height) {
  surface.reset(width > 0 && height > 0 ? new CDIBSurfaceDC(width, height) : nullptr);
  Render();
}

// The surface holds the whole picture, so nothing is erased first: no
// flicker between the erase and the copy.
BOOL ReplyView::OnEraseBkgnd(CDC *) {
  return TRUE;
}

void ReplyView::OnPaint() {
  CPaintDC dc(this);
  if (!surface || !surface->GetHandle()) return;
  ::BitBlt(dc.GetHandle(), 0, 0, surface->GetSurfaceWidth(), surface->GetSurfaceHeight(), surface->GetHandle(), 0,
           0, SRCCOPY);
}

void ReplyView::Render() {
  if (!surface || !surface->GetHandle()) return;
  HDC dc = surface->GetHandle();
  RECT area = {0, 0, surface->GetSurfaceWidth(), surface->GetSurfaceHeight()};
  CBrush paper;
  paper.SetHandle(::CreateSolidBrush(kPaper));
  ::FillRect(dc, &area, paper.GetHandle());

  const int saved = ::SaveDC(dc);
  ::SetBkMode(dc, TRANSPARENT);
  RECT text = {kMargin, kMargin, area.right - kMargin, area.bottom - kMargin};
  if (!heading.empty()) {
    ::SelectObject(dc, headingFont.GetHandle() ? headingFont.GetHandle() : font);
    ::SetTextColor(dc, kHeadingInk);
    RECT measured = text;
    ::DrawTextW(dc, heading.c_str(), -1, &measured, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
    ::DrawTextW(dc, heading.c_str(), -1, &text, DT_SINGLELINE | DT_NOPREFIX);
    text.top = measured.bottom + kMargin / 2;
    CPen rule;
    rule.SetHandle(::CreatePen(PS_SOLID, 1, kHeadingInk));
    HGDIOBJ previous = ::SelectObject(dc, rule.GetHandle());
    ::MoveToEx(dc, kMargin, text.top, nullptr);
    ::LineTo(dc, area.right - kMargin, text.top);
    ::SelectObject(dc, previous);
    text.top += kMargin;
  }
  ::SelectObject(dc, font);
  ::SetTextColor(dc, kInk);
  ::DrawTextW(dc, reply.c_str(), static_cast<int>(reply.size()), &text, DT_WORDBREAK | DT_NOPREFIX);
  ::RestoreDC(dc, saved);
}
