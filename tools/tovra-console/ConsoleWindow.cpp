#include "tools/tovra-console/ConsoleWindow.h"

#include "framework/Application.h"

const char ConsoleWindow::kClassName[] = "TovraConsole";

namespace {

const int kMargin = 8;
const int kEditHeight = 26;
const int kFontHeight = -15;

// Faces with Japanese glyphs, the first one found is used: those of
// Windows, then those that Debian's font packages give Wine.
const wchar_t *const kJapaneseFaces[] = {L"Yu Gothic UI", L"Meiryo UI",  L"MS UI Gothic",    L"VL PGothic",
                                         L"VL Gothic",    L"IPAPGothic", L"Noto Sans CJK JP"};

int CALLBACK FaceFound(const LOGFONTW *, const TEXTMETRICW *, DWORD, LPARAM found) {
  *reinterpret_cast<bool *>(found) = true;
  return 0;
}

bool HasJapaneseFace(const wchar_t *face) {
  LOGFONTW wanted = {};
  wanted.lfCharSet = SHIFTJIS_CHARSET;
  lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  HDC screen = ::GetDC(nullptr);
  ::EnumFontFamiliesExW(screen, &wanted, &FaceFound, reinterpret_cast<LPARAM>(&found), 0);
  ::ReleaseDC(nullptr, screen);
  return found;
}

// The console's font: a face with Japanese glyphs, or Tahoma where there is
// none.
HFONT CreateConsoleFont() {
  for (const wchar_t *face : kJapaneseFaces)
    if (HasJapaneseFace(face))
      return ::CreateFontW(kFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face);
  return ::CreateFontW(kFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
}

}  // namespace

BOOL ConsoleWindow::Create(const std::wstring &text) {
  startText = text;
  if (!RegisterWindowClass(kClassName, 0, ::LoadIcon(nullptr, IDI_APPLICATION), nullptr,
                           ::LoadCursor(nullptr, IDC_ARROW), reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)))
    return FALSE;
  return CreateEx(kClassName, "tovra-console " TOVRA_VERSION, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 40, 40, 560, 300, nullptr,
                  nullptr, nullptr);
}

BOOL ConsoleWindow::OnCreate(CREATESTRUCTA *) {
  font.SetHandle(CreateConsoleFont());

  if (menu.CreateMenu()) {
    menu.Append(MF_STRING, kSend, "&Send");
    menu.Append(MF_STRING, kUnload, "&Unload plug-ins");
    menu.Append(MF_STRING, kExit, "E&xit");
    ::SetMenu(handle, menu.GetHandle());
  }

  if (!editLine.Create(handle, kEditLine, font.GetHandle(), kSend, startText)) return FALSE;
  if (!reply.Create(handle, kReply, font.GetHandle())) return FALSE;
  reply.ShowReply("Reply", "Type a text with $tovra[...] calls and choose Send.");
  if (!startText.empty()) ::PostMessageA(handle, WM_COMMAND, kSend, 0);
  return TRUE;
}

LRESULT ConsoleWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  // Keys and an IME's input go to the window with the focus, which the
  // window gets when it is activated: the edit line takes it.
  if (message == WM_SETFOCUS && editLine.GetHandle()) {
    ::SetFocus(editLine.GetHandle());
    return 0;
  }
  if (message != WM_COPYDATA) return CWnd::WindowProc(message, wParam, lParam);
  const COPYDATASTRUCT *data = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
  if (!data || data->dwData != kHandOver || !editLine.GetHandle()) return FALSE;
  editLine.SetText(std::wstring(static_cast<const wchar_t *>(data->lpData), data->cbData / sizeof(wchar_t)));
  // Sent after the sender is answered, so that it waits for nothing.
  ::PostMessageA(handle, WM_COMMAND, kSend, 0);
  return TRUE;
}

void ConsoleWindow::OnSize(UINT, int width, int height) {
  ::MoveWindow(editLine.GetHandle(), kMargin, kMargin, width - 2 * kMargin, kEditHeight, TRUE);
  const int top = 2 * kMargin + kEditHeight;
  reply.MoveWindow(kMargin, top, width - 2 * kMargin, height - top - kMargin, TRUE);
}

void ConsoleWindow::OnCommand(UINT identifier, UINT notifyCode) {
  switch (identifier) {
    case kSend:
      Send();
      break;
    case kUnload:
      session->UnloadPlugins();
      reply.ShowReply("Plug-ins unloaded: they load again on their next call", "");
      break;
    case kExit:
      // As closing the window does: WM_DESTROY of the main window then
      // posts the quit that ends the message loop with 0.
      SendMessage(WM_CLOSE, 0, 0);
      break;
    default:
      CWnd::OnCommand(identifier, notifyCode);
      break;
  }
}

void ConsoleWindow::Send() {
  std::string text, character, answer;
  if (!editLine.GetShiftJisText(&text, &character)) {
    reply.ShowReply("Not sent", "The text holds " + character +
                                    ", a character that Shift_JIS (code page 932) cannot hold.");
    return;
  }
  if (!session->Request(HostSession::MakeRequest(text), &answer)) {
    reply.ShowReply("No reply from the library", "");
    return;
  }
  const std::string status = HostSession::ReplyStatus(answer);
  if (status == "200")
    reply.ShowReply("Reply (200 OK)", HostSession::ReplyString(answer));
  else
    reply.ShowReply("Reply " + status + ": the library did not take the text", answer);
}

BOOL ConsoleWindow::OnIdle() {
  const bool hasText = !editLine.IsEmpty();
  if (hasText != sendEnabled) {
    sendEnabled = hasText;
    menu.EnableItem(kSend, FALSE, hasText, !hasText);
    ::DrawMenuBar(handle);
  }
  return FALSE;
}
