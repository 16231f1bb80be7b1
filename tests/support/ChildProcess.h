// Windows only: a program beside the test program run as a child process.
// The destructor ends a child that is still running and waits until it has
// gone, so a failed test leaves no process (nor anything it holds) behind.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <string>

#include "support/TestLibraries.h"
#include "support/WideText.h"

class ChildProcess {
 public:
  // How long a test waits for a child to do what it waits for before it
  // gives up: a Wine process on a loaded machine takes seconds to start.
  static const DWORD kPatience = 120000;

  // Starts `program` (a file name beside the test program) with the
  // arguments written as they go on its command line, in UTF-8: the child
  // gets them as its Unicode command line. The start-up show command comes
  // from `startup` when one is given.
  ChildProcess(const std::string &program, const std::string &arguments, const STARTUPINFOW *startup = nullptr) {
    std::wstring command = WideFromUtf8("\"" + TestDirectory() + program + "\" " + arguments);
    STARTUPINFOW info = {};
    if (startup) info = *startup;
    info.cb = sizeof info;
    if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &info, &process))
      process = PROCESS_INFORMATION();
  }
  ChildProcess(const ChildProcess &) = delete;
  ChildProcess &operator=(const ChildProcess &) = delete;
  ~ChildProcess() {
    if (!process.hProcess) return;
    if (::WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT && ::TerminateProcess(process.hProcess, 99))
      ::WaitForSingleObject(process.hProcess, kPatience);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }

  bool Started() const { return process.hProcess != nullptr; }
  DWORD Id() const { return process.dwProcessId; }
  // The exit code once the child has ended within `milliseconds`; 1000 when
  // it never started, 1001 when it is still running.
  DWORD Wait(DWORD milliseconds) {
    if (!process.hProcess) return 1000;
    if (::WaitForSingleObject(process.hProcess, milliseconds) != WAIT_OBJECT_0) return 1001;
    DWORD code = 1001;
    ::GetExitCodeProcess(process.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION process = {};
};

#endif
