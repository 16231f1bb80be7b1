// Win32 side of the channel to a child program: two anonymous pipes, handed
// to the child alone with a handle list, and a kill-on-close job.
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace platform {

namespace {

// The attribute-list calls came with Windows Vista: looked up at run time.
// Without them a child would inherit every inheritable handle of the host,
// so no child is started.
struct HandleListCalls {
  typedef BOOL(WINAPI *Initialize)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD, PSIZE_T);
  typedef BOOL(WINAPI *Update)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD_PTR, PVOID, SIZE_T, PVOID, PSIZE_T);
  typedef void(WINAPI *Delete)(LPPROC_THREAD_ATTRIBUTE_LIST);
  Initialize initialize;
  Update update;
  Delete remove;

  HandleListCalls() {
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    initialize = reinterpret_cast<Initialize>(
        reinterpret_cast<void *>(::GetProcAddress(kernel, "InitializeProcThreadAttributeList")));
    update =
        reinterpret_cast<Update>(reinterpret_cast<void *>(::GetProcAddress(kernel, "UpdateProcThreadAttribute")));
    remove = reinterpret_cast<Delete>(
        reinterpret_cast<void *>(::GetProcAddress(kernel, "DeleteProcThreadAttributeList")));
  }
  bool Available() const { return initialize && update && remove; }
};

const DWORD_PTR kHandleListAttribute = 0x20002;  // PROC_THREAD_ATTRIBUTE_HANDLE_LIST
const DWORD kExtendedStartupInfo = 0x80000;      // EXTENDED_STARTUPINFO_PRESENT

// STARTUPINFOEXA, which the headers declare for Vista and later only.
struct StartupInfoWithAttributes {
  STARTUPINFOA StartupInfo;
  LPPROC_THREAD_ATTRIBUTE_LIST lpAttributeList;
};

// One job for every child of this process: closing its last handle, which
// happens when this process ends or this library is freed, ends them all.
// Processes the children start in turn leave it (silent breakaway), as they
// would not be tied to the host had the child's work run in the host.
class KillOnCloseJob {
 public:
  KillOnCloseJob() {
    job = ::CreateJobObjectA(nullptr, nullptr);
    if (!job) return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
    if (!::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
      ::CloseHandle(job);
      job = nullptr;
    }
  }
  KillOnCloseJob(const KillOnCloseJob &) = delete;
  KillOnCloseJob &operator=(const KillOnCloseJob &) = delete;
  ~KillOnCloseJob() {
    if (job) ::CloseHandle(job);
  }
  // A process already in a job that allows no other (before Windows 8)
  // cannot join: it still ends with its parent, which it watches.
  void Hold(HANDLE process) const {
    if (job) ::AssignProcessToJobObject(job, process);
  }

 private:
  HANDLE job = nullptr;
};

KillOnCloseJob &ChildrenJob() {
  static KillOnCloseJob job;
  return job;
}

void CloseIfOpen(HANDLE *handle) {
  if (*handle) ::CloseHandle(*handle);
  *handle = nullptr;
}

// What a child's watcher thread waits for: its parent's end, which ends it.
DWORD WINAPI EndWithParent(void *parent) {
  ::WaitForSingleObject(static_cast<HANDLE>(parent), INFINITE);
  ::ExitProcess(0xC000013A);  // as a process ended from outside
  return 0;
}

}  // namespace

bool Channel::StartChild(const char *program) {
  Close(false);
  hasExited = false;
  static const HandleListCalls calls;
  if (!calls.Available()) return false;
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE childReads = nullptr, parentWrites = nullptr, parentReads = nullptr, childWrites = nullptr;
  HANDLE parent = nullptr;
  bool made = ::CreatePipe(&childReads, &parentWrites, &inheritable, 0) &&
              ::CreatePipe(&parentReads, &childWrites, &inheritable, 0) &&
              ::SetHandleInformation(parentWrites, HANDLE_FLAG_INHERIT, 0) &&
              ::SetHandleInformation(parentReads, HANDLE_FLAG_INHERIT, 0) &&
              ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(), ::GetCurrentProcess(), &parent,
                                SYNCHRONIZE, TRUE, 0);
  PROCESS_INFORMATION process = {};
  if (made) {
    // The handles the child gets, and no other: its ends and its parent.
    HANDLE handed[3] = {childReads, childWrites, parent};
    SIZE_T size = 0;
    calls.initialize(nullptr, 1, 0, &size);
    std::vector<char> storage(size);
    LPPROC_THREAD_ATTRIBUTE_LIST list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    made = calls.initialize(list, 1, 0, &size);
    if (made) {
      made = calls.update(list, 0, kHandleListAttribute, handed, sizeof handed, nullptr, nullptr);
      std::string command = "\"" + std::string(program) + "\"";
      for (HANDLE handle : handed) command += " " + std::to_string(reinterpret_cast<uintptr_t>(handle));
      StartupInfoWithAttributes startup = {};
      startup.StartupInfo.cb = sizeof startup;
      startup.lpAttributeList = list;
      made = made && ::CreateProcessA(program, &command[0], nullptr, nullptr, TRUE,
                                      kExtendedStartupInfo | CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr,
                                      &startup.StartupInfo, &process);
      calls.remove(list);
    }
  }
  // The child's copies are its own now; this process keeps only its ends.
  CloseIfOpen(&childReads);
  CloseIfOpen(&childWrites);
  CloseIfOpen(&parent);
  if (!made) {
    CloseIfOpen(&parentWrites);
    CloseIfOpen(&parentReads);
    return false;
  }
  ChildrenJob().Hold(process.hProcess);
  ::ResumeThread(process.hThread);
  ::CloseHandle(process.hThread);
  toPeer = parentWrites;
  fromPeer = parentReads;
  child = process.hProcess;
  return true;
}

bool Channel::ConnectToParent(const char *commandLine) {
  Close(false);
  // The three handle numbers at the command line's end, after the program.
  std::string text = commandLine ? commandLine : "";
  uintptr_t values[3];
  for (int i = 2; i >= 0; --i) {
    const size_t end = text.find_last_not_of(' ');
    if (end == std::string::npos) return false;
    const size_t start = text.find_last_of(' ', end);
    if (start == std::string::npos) return false;
    const std::string number = text.substr(start + 1, end - start);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return false;
    values[i] = static_cast<uintptr_t>(std::stoull(number));
    text.resize(start);
  }
  HANDLE reads = reinterpret_cast<HANDLE>(values[0]), writes = reinterpret_cast<HANDLE>(values[1]);
  HANDLE parent = reinterpret_cast<HANDLE>(values[2]);
  // Kept from the programs this one starts: a grandchild holding a pipe end
  // would hide this program's end from the parent.
  for (HANDLE handle : {reads, writes, parent})
    if (!::SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0)) return false;
  HANDLE watcher = ::CreateThread(nullptr, 0, EndWithParent, parent, 0, nullptr);
  if (!watcher) return false;
  ::CloseHandle(watcher);
  fromPeer = reads;
  toPeer = writes;
  return true;
}

bool Channel::Send(const void *bytes, size_t length) {
  const char *next = static_cast<const char *>(bytes);
  while (length > 0) {
    DWORD written = 0;
    const DWORD chunk = length > 0x10000000 ? 0x10000000 : static_cast<DWORD>(length);
    if (!toPeer || !::WriteFile(toPeer, next, chunk, &written, nullptr) || written == 0) return false;
    next += written;
    length -= written;
  }
  return true;
}

size_t Channel::Receive(void *buffer, size_t capacity) {
  DWORD read = 0;
  const DWORD chunk = capacity > 0x10000000 ? 0x10000000 : static_cast<DWORD>(capacity);
  if (!fromPeer || !::ReadFile(fromPeer, buffer, chunk, &read, nullptr)) return 0;
  return read;
}

bool Channel::WaitForChild(unsigned long milliseconds) {
  return !child || ::WaitForSingleObject(child, milliseconds) == WAIT_OBJECT_0;
}

void Channel::Close(bool waitForChild) {
  CloseIfOpen(&toPeer);
  CloseIfOpen(&fromPeer);
  if (!child) return;
  if (waitForChild)
    ::WaitForSingleObject(child, INFINITE);
  else if (::WaitForSingleObject(child, 0) == WAIT_TIMEOUT)
    ::TerminateProcess(child, 1);
  DWORD code = STILL_ACTIVE;
  if (::GetExitCodeProcess(child, &code) && code != STILL_ACTIVE) exitCode = code;
  hasExited = code != STILL_ACTIVE;
  CloseIfOpen(&child);
}

bool Channel::ChildExitCode(unsigned long *code) const {
  if (child) {
    DWORD now = STILL_ACTIVE;
    if (!::GetExitCodeProcess(child, &now) || now == STILL_ACTIVE) return false;
    *code = now;
    return true;
  }
  if (!hasExited) return false;
  *code = exitCode;
  return true;
}

}  // namespace platform
