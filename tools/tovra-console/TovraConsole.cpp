// tovra-console: a small windowed program for people who write calls. It
// loads the tovracaller library beside it as a host does, sends the text of
// its edit line as the String of a request and shows the expanded reply.
//
//   tovra-console [TEXT]     TEXT is put into the edit line and sent at once
//
// Only one console runs at a time: a second one hands its TEXT (if any) to
// the first, which sends it, brings the first to the front and ends.
// Exit codes: 0 after Exit, 1 when another console runs, 2 when the library
// cannot be loaded or the window cannot be made.
#include <string>

#include "framework/Application.h"
#include "tools/HostSession.h"
#include "tools/ShiftJis.h"
#include "tools/tovra-console/ConsoleWindow.h"

namespace {

const char kInstanceMutex[] = "TovraConsole.SingleInstance";

const DWORD kHandOverPatience = 10000;

// The program's arguments after its name, joined by spaces, as Unicode:
// the edit line takes them as typed text.
std::wstring StartText() {
  std::wstring text;
  for (const std::wstring &argument : UnicodeArguments()) {
    if (!text.empty()) text += L' ';
    text += argument;
  }
  return text;
}

// Gives `text` to the console that runs and brings it to the front. Its
// window may still be on its way: the other console holds the mutex before
// it makes the window.
void HandOver(const std::wstring &text) {
  HWND running = nullptr;
  for (DWORD start = ::GetTickCount(); !running && ::GetTickCount() - start < kHandOverPatience; ::Sleep(50))
    running = ::FindWindowA(ConsoleWindow::kClassName, nullptr);
  if (!running) return;
  if (!text.empty()) {
    COPYDATASTRUCT data = {ConsoleWindow::kHandOver, static_cast<DWORD>(text.size() * sizeof(wchar_t)),
                           const_cast<wchar_t *>(text.data())};
    DWORD_PTR answer = 0;
    ::SendMessageTimeoutA(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                          kHandOverPatience, &answer);
  }
  if (CWnd *window = CWnd::Wrap(running)) window->SetForegroundWindow(TRUE);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
  CApplication application;
  application.applicationName = "tovra-console";
  application.showCommand = show;
  if (application.CheckSingleInstance(kInstanceMutex)) {
    HandOver(StartText());
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
