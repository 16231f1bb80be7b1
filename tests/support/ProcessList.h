// Windows only: the processes a test started, found by their parent and
// their program's file name, as a test finds the surrogates of a library.
#pragma once
#ifdef _WIN32

#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

// The ids of the running processes whose parent is `parent` and whose
// program file is named `program` (letter case aside).
inline std::vector<DWORD> ChildProcesses(DWORD parent, const std::string &program) {
  std::vector<DWORD> children;
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return children;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snapshot, &entry); more; more = ::Process32Next(snapshot, &entry))
    if (entry.th32ParentProcessID == parent && ::lstrcmpiA(entry.szExeFile, program.c_str()) == 0)
      children.push_back(entry.th32ProcessID);
  ::CloseHandle(snapshot);
  return children;
}

// Handles that wait for each of `ids` to end; a process that has ended
// already has none.
inline std::vector<HANDLE> OpenToWait(const std::vector<DWORD> &ids) {
  std::vector<HANDLE> handles;
  for (DWORD id : ids)
    if (HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id)) handles.push_back(process);
  return handles;
}

// Whether every process of `handles` has ended within `milliseconds`;
// closes the handles.
inline bool AllEnd(std::vector<HANDLE> handles, DWORD milliseconds) {
  bool ended = true;
  for (HANDLE process : handles) {
    ended = ::WaitForSingleObject(process, milliseconds) == WAIT_OBJECT_0 && ended;
    ::CloseHandle(process);
  }
  return ended;
}

#endif
