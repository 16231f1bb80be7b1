#include "tools/tovra-console/EditLine.h"

#include <vector>

#include "framework/Application.h"
#include "tools/ShiftJis.h"

EditLine *EditLine::hooked = nullptr;

namespace {

const WPARAM kCtrlA = 0x01;  // the character that Ctrl+A types

}  // namespace

EditLine::~EditLine() {
  if (hook) ::UnhookWindowsHookEx(hook);
  if (hooked == this) hooked = nullptr;
}

BOOL EditLine::Create(HWND parentWindow, int identifier, HFONT font, UINT command, const std::wstring &text) {
  parent = parentWindow;
  sendCommand = command;
  handle = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", text.c_str(),
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 0, 0, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(identifier)), GetInstanceHandle(), nullptr);
  if (!handle) return FALSE;
  ::SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  // Installed as a Unicode hook, it sees character messages before the
  // ANSI loop converts them.
  hook = ::SetWindowsHookExW(WH_GETMESSAGE, &EditLine::GetMessageHook, nullptr, ::GetCurrentThreadId());
  if (!hook) return FALSE;
  hooked = this;
  return TRUE;
}

LRESULT CALLBACK EditLine::GetMessageHook(int code, WPARAM removal, LPARAM message) {
  MSG *taken = reinterpret_cast<MSG *>(message);
  // Only a message that leaves the queue: a peek that leaves it there is
  // seen again when it is taken.
  if (code == HC_ACTION && removal == PM_REMOVE && hooked && taken->hwnd == hooked->handle &&
      hooked->Intercept(*taken))
    taken->message = WM_NULL;
  return ::CallNextHookEx(nullptr, code, removal, message);
}

bool EditLine::Intercept(const MSG &message) {
  switch (message.message) {
    case WM_KEYDOWN:
      if (message.wParam != VK_RETURN) return false;
      ::PostMessageW(parent, WM_COMMAND, sendCommand, 0);
      return true;
    case WM_CHAR:
      if (message.wParam == kCtrlA)
        ::SendMessageW(handle, EM_SETSEL, 0, -1);
      else if (message.wParam != '\r')  // Enter has sent already; the control would only beep
        ::SendMessageW(handle, WM_CHAR, message.wParam, message.lParam);
      return true;
    case WM_IME_CHAR:
      // An IME's result character, given as the character it is: passed on
      // as WM_IME_CHAR, the control would post it back as WM_CHAR, behind a
      // key typed after it.
      ::SendMessageW(handle, WM_CHAR, message.wParam, message.lParam);
      return true;
    default:
      return false;
  }
}

bool EditLine::GetShiftJisText(std::string *text, std::string *error) const {
  std::vector<wchar_t> wide(static_cast<size_t>(::GetWindowTextLengthW(handle)) + 1);
  const int length = ::GetWindowTextW(handle, wide.data(), static_cast<int>(wide.size()));
  return ToShiftJis(std::wstring(wide.data(), static_cast<size_t>(length > 0 ? length : 0)), text, error);
}

void EditLine::SetText(const std::wstring &text) {
  ::SetWindowTextW(handle, text.c_str());
}

bool EditLine::IsEmpty() const {
  return ::GetWindowTextLengthW(handle) == 0;
}
