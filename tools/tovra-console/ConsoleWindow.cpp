#include "tools/tovra-console/ConsoleWindow.h"

#include "framework/Application.h"

const char ConsoleWindow::kClassName[] = "TovraConsole";

namespace {

const int kMargin = 8;
const int kEditHeight = 26;

}  // namespace

void EditLine::OnKey(UINT virtualKey, UINT, UINT flags) {
  // Bit 15 of the key flags is set for a key that goes up.
  if (virtualKey == VK_RETURN && !(flags & KF_UP))
    ::PostMessageA(::GetParent(handle), WM_COMMAND, ConsoleWindow::kSend, 0);
}

BOOL ConsoleWindow::Create(const std::string &text) {
  startText = text;
  if (!RegisterWindowClass(kClassName, 0, ::LoadIcon(nullptr, IDI_APPLICATION), nullptr,
                           ::LoadCursor(nullptr, IDC_ARROW), reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)))
    return FALSE;
  return CreateEx(kClassName, "tovra-console " TOVRA_VERSION, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 40, 40, 560, 300, nullptr,
                  nullptr, nullptr);
}

BOOL ConsoleWindow::OnCreate(CREATESTRUCTA *) {
  font.SetHandle(::CreateFontA(-15, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma"));

  if (menu.CreateMenu()) {
    menu.Append(MF_STRING, kSend, "&Send");
    menu.Append(MF_STRING, kUnload, "&Unload plug-ins");
    menu.Append(MF_STRING, kExit, "E&xit");
    ::SetMenu(handle, menu.GetHandle());
  }

  HWND edit = ::CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", startText.c_str(),
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 0, 0, handle,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditLine)), GetInstanceHandle(), nullptr);
  if (!editLine.Attach(edit) || !editLine.Subclass()) return FALSE;
  editLine.SetFont(font.GetHandle(), FALSE);
  if (!reply.Create(handle, kReply, font.GetHandle())) return FALSE;
  reply.ShowReply("Reply", "Type a text with $tovra[...] calls and choose Send.");
  if (!startText.empty()) ::PostMessageA(handle, WM_COMMAND, kSend, 0);
  return TRUE;
}

void ConsoleWindow::OnSize(UINT, int width, int height) {
  editLine.MoveWindow(kMargin, kMargin, width - 2 * kMargin, kEditHeight, TRUE);
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
      reply.ShowReply("Plug-ins unloaded: they load again on their next call", reply.GetText().c_str());
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
  CText text = editLine.GetText();
  std::string answer;
  if (!session->Request(HostSession::MakeRequest(std::string(text.c_str(), text.Length())), &answer)) {
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
  const bool hasText = ::GetWindowTextLengthA(editLine.GetHandle()) > 0;
  if (hasText != sendEnabled) {
    sendEnabled = hasText;
    menu.EnableItem(kSend, FALSE, hasText, !hasText);
    ::DrawMenuBar(handle);
  }
  return FALSE;
}
