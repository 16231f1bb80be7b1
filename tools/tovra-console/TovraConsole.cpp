// tovra-console: a small windowed program for people who write calls. It
// loads the tovracaller library beside it as a host does, sends the text of
// its edit line as the String of a request and shows the expanded reply.
//
//   tovra-console [TEXT]     TEXT is put into the edit line and sent at once
//   tovra-console --help     what it does, and --version its version: on the
//                            console it was started from, or in a message box
//
// Only one console runs at a time: a second one hands its TEXT (if any) to
// the first, which sends it, brings the first to the front and ends.
// Exit codes: 0 after Exit (and after --help and --version), 1 when another
// console runs, 2 when the library cannot be loaded or the window cannot be
// made.
#include <string>
#include <vector>

#include "framework/Application.h"
#include "tools/ConsoleText.h"
#include "tools/HostSession.h"
#include "tools/ShiftJis.h"
#include "tools/tovra-console/ConsoleWindow.h"

namespace {

const char kInstanceMutex[] = "TovraConsole.SingleInstance";

const DWORD kHandOverPatience = 10000;

// A message box with a text in UTF-8, so that a path in any script reads
// right.
void ShowUnicodeMessage(const std::string &text, UINT type) {
  ::MessageBoxW(nullptr, WideFromUtf8(text).c_str(), L"tovra-console", type | MB_SETFOREGROUND | MB_TASKMODAL);
}

const char kUsageText[] =
    "usage: tovra-console [TEXT]\n"
    "\n"
    "A window to type texts with $tovra[...] calls into: Send (or Enter) sends\n"
    "the text through the tovracaller library beside this program (or in the\n"
    "folder above it) and shows the expanded reply. TEXT, when given, is sent\n"
    "at start. Only one console runs at a time: a second one hands its TEXT\n"
    "to the first and ends.\n"
    "\n"
    "  --help     print this text\n"
    "  --version  print the program's version\n"
    "  --         what follows is TEXT, even when it begins with --\n";

// The program's arguments after its name, joined by spaces, as Unicode:
// the edit line takes them as typed text. A leading "--" only says that
// what follows is text.
std::wstring StartText() {
  std::vector<std::wstring> arguments = UnicodeArguments();
  if (!arguments.empty() && arguments[0] == L"--") arguments.erase(arguments.begin());
  std::wstring text;
  for (const std::wstring &argument : arguments) {
    if (!text.empty()) text += L' ';
    text += argument;
  }
  return text;
}

// A windowed program has no console of its own: the text goes to the
// output it was given (a file, a pipe, a console), else to the console of
// the program that started it, else into a message box. Never nowhere.
void Tell(const std::string &text) {
  if (WriteTextTo(::GetStdHandle(STD_OUTPUT_HANDLE), text)) return;
  if (::AttachConsole(ATTACH_PARENT_PROCESS)) {
    HANDLE console = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
    const bool written = console != INVALID_HANDLE_VALUE && WriteTextTo(console, text);
    if (console != INVALID_HANDLE_VALUE) ::CloseHandle(console);
    ::FreeConsole();
    if (written) return;
  }
  ShowUnicodeMessage(text, MB_ICONINFORMATION);
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
  const std::vector<std::wstring> arguments = UnicodeArguments();
  if (!arguments.empty() && (arguments[0] == L"--help" || arguments[0] == L"-h")) {
    Tell(kUsageText);
    return 0;
  }
  if (!arguments.empty() && arguments[0] == L"--version") {
    Tell("tovra-console " TOVRA_VERSION "\n");
    return 0;
  }
  CApplication application;
  application.applicationName = "tovra-console";
  application.showCommand = show;
  if (application.CheckSingleInstance(kInstanceMutex)) {
    HandOver(StartText());
    return 1;
  }

  HostSession session;
  std::string library, error;
  if (!HostSession::DefaultLibraryPath(&library, &error) ||
      session.Open(library, &error) != HostSession::Status::Ok) {
    ShowUnicodeMessage(error, MB_ICONEXCLAMATION);
    return 2;
  }

  ConsoleWindow window(&session);
  if (!window.Create(StartText())) return 2;
  application.SetMainWindow(&window);
  application.AddWindow(&window);
  application.ShowMainWindow(-1);
  return application.Run();
}
