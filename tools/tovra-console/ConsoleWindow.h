// ConsoleWindow: the console's main window. An edit line takes the String
// text; Send (the menu, or Enter in the edit line) passes it through the
// tovracaller library and the reply view below shows what came back.
// Unload plug-ins calls the library's unload; Exit closes the window. A
// second console hands its text over in a WM_COPYDATA message, which is sent
// like a typed text. The edit line has the keyboard focus whenever the
// window has it.
#pragma once

#include <string>

#include "framework/gui/GdiObjects.h"
#include "framework/gui/Menu.h"
#include "framework/gui/Wnd.h"
#include "tools/HostSession.h"
#include "tools/tovra-console/EditLine.h"
#include "tools/tovra-console/ReplyView.h"

class ConsoleWindow : public CWnd {
 public:
  static const char kClassName[];
  enum Command { kSend = 100, kUnload = 101, kExit = 102 };
  enum Child { kEditLine = 200, kReply = 201 };
  // The WM_COPYDATA tag of a text handed over: UTF-16, without terminator.
  static const ULONG_PTR kHandOver = 0x54564331;

  explicit ConsoleWindow(HostSession *session) : session(session) {}

  BOOL Create(const std::wstring &startText);
  // Sends the edit line's text and shows the reply.
  void Send();

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnCreate(CREATESTRUCTA *create) override;
  void OnSize(UINT type, int width, int height) override;
  void OnCommand(UINT identifier, UINT notifyCode) override;
  // Keeps Send grayed while the edit line is empty.
  BOOL OnIdle() override;

 private:
  HostSession *session;  // not owned
  std::wstring startText;
  bool sendEnabled = true;
  CFont font;
  CMenu menu;
  EditLine editLine;
  ReplyView reply;
};
