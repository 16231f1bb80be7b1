// EditLine: the console's edit line, a Unicode EDIT control, so that what a
// person types or pastes reaches it whole; Send takes its text as Shift_JIS.
//
// The framework's message loop is an ANSI one: on their way through it,
// character messages would lose every character outside the system's code
// page. A hook on the console's thread takes character messages for the
// edit line off that way and gives them to the control as Unicode, an IME's
// characters (WM_IME_CHAR) in their place among the typed ones; it also
// turns Enter into the parent's Send command and Ctrl+A into select-all.
#pragma once

#include <string>

#include "platform/Platform.h"

class EditLine {
 public:
  EditLine() = default;
  EditLine(const EditLine &) = delete;
  EditLine &operator=(const EditLine &) = delete;
  ~EditLine();  // removes the hook; the control goes with its parent

  // Makes the control with `text` and installs the hook; one edit line per
  // thread.
  BOOL Create(HWND parent, int identifier, HFONT font, UINT sendCommand, const std::wstring &text);
  HWND GetHandle() const { return handle; }

  // The text as Shift_JIS; false when it holds a character that Shift_JIS
  // cannot hold, which `error` names.
  bool GetShiftJisText(std::string *text, std::string *error) const;
  void SetText(const std::wstring &text);
  bool IsEmpty() const;

 private:
  static LRESULT CALLBACK GetMessageHook(int code, WPARAM removal, LPARAM message);
  // What the hook does with a message for the edit line; true when the
  // message has been dealt with and must not be dispatched.
  bool Intercept(const MSG &message);

  static EditLine *hooked;  // the edit line of the thread with the hook
  HWND handle = nullptr;
  HWND parent = nullptr;
  UINT sendCommand = 0;
  HHOOK hook = nullptr;
};
