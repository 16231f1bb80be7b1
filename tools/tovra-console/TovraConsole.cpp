// tovra-console: a small windowed program for people who write calls. It
// loads the tovracaller library beside it as a host does, sends the text of
// its edit line as the String of a request and shows the expanded reply.
//
//   tovra-console [TEXT]     TEXT is put into the edit line and sent at once
//
// Only one console runs at a time: a second one brings the first to the
// front and ends. Exit codes: 0 after Exit, 1 when another console runs,
// 2 when the library cannot be loaded or the window cannot be made.
#include <cstdlib>
#include <string>

#include "framework/Application.h"
#include "tools/HostSession.h"
#include "tools/tovra-console/ConsoleWindow.h"

namespace {

const char kInstanceMutex[] = "TovraConsole.SingleInstance";

// The program's arguments after its name, joined by spaces.
std::string StartText() {
  std::string text;
  for (int i = 1; i < __argc; ++i) {
    if (i > 1) text += ' ';
    text += __argv[i];
  }
  return text;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
  CApplication application;
  application.applicationName = "tovra-console";
  application.showCommand = show;
  if (application.CheckSingleInstance(kInstanceMutex)) {
    if (CWnd *running = CWnd::Wrap(::FindWindowA(ConsoleWindow::kClassName, nullptr)))
      running->SetForegroundWindow(TRUE);
    return 1;
  }

  HostSession session;
  std::string error;
  if (session.Open(HostSession::DefaultLibraryPath(), &error) != HostSession::Status::Ok) {
    application.ShowMessage(error.c_str(), MB_ICONEXCLAMATION);
    return 2;
  }

  ConsoleWindow window(&session);
  if (!window.Create(StartText())) return 2;
  application.SetMainWindow(&window);
  application.AddWindow(&window);
  application.ShowMainWindow(-1);
  return application.Run();
}
