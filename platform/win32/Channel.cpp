// Win32 side of the channel to a child program: a pipe of one use, its far
// end handed to the child alone with a handle list, and a kill-on-close job.
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

// How long a child that was ended is waited for to be gone.
const DWORD kEndingWait = 5000;

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

// A security descriptor whose access list lets only this process's user in.
class OwnerOnly {
 public:
  OwnerOnly() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    user.resize(size);
    const bool known = size && ::GetTokenInformation(token, TokenUser, user.data(), size, &size);
    ::CloseHandle(token);
    if (!known) return;
    PSID sid = reinterpret_cast<TOKEN_USER *>(user.data())->User.Sid;
    list.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + ::GetLengthSid(sid));
    ACL *acl = reinterpret_cast<ACL *>(list.data());
    valid = ::InitializeAcl(acl, static_cast<DWORD>(list.size()), ACL_REVISION) &&
            ::AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, sid) &&
            ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
            ::SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
  }
  OwnerOnly(const OwnerOnly &) = delete;
  OwnerOnly &operator=(const OwnerOnly &) = delete;
  // Not inheritable.
  SECURITY_ATTRIBUTES *Attributes() {
    attributes = {sizeof attributes, &descriptor, FALSE};
    return valid ? &attributes : nullptr;
  }

 private:
  std::vector<BYTE> user, list;
  SECURITY_DESCRIPTOR descriptor;
  SECURITY_ATTRIBUTES attributes;
  bool valid = false;
};

// A pipe whose two ends are both this process's, neither inheritable: the
// parent's end for overlapped transfers (so that a wait can also watch the
// child's process) and the child's end, to be handed over. Its name is used
// once: created as the first and only instance, for this user, and
// connected here at once, so no other process can open it.
bool MakePipe(HANDLE *parentEnd, HANDLE *childEnd) {
  static LONG made = 0;
  OwnerOnly owner;
  for (int attempt = 0; attempt < 4; ++attempt) {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    char name[96];
    wsprintfA(name, "\\\\.\\pipe\\tovra-%lu-%ld-%08lx%08lx", ::GetCurrentProcessId(), ::InterlockedIncrement(&made),
              static_cast<unsigned long>(now.HighPart), static_cast<unsigned long>(now.LowPart));
    *parentEnd = ::CreateNamedPipeA(
        name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 65536, 65536, 0,
        owner.Attributes());
    if (*parentEnd == INVALID_HANDLE_VALUE) {
      *parentEnd = nullptr;
      continue;  // a name already taken: another try with the next one
    }
    *childEnd = ::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (*childEnd != INVALID_HANDLE_VALUE) return true;
    *childEnd = nullptr;
    CloseIfOpen(parentEnd);
  }
  return false;
}

// What a child's watcher thread waits for: its parent's end, which ends it
// at once, without running any library's exit code (a plug-in's could hold
// it forever).
DWORD WINAPI EndWithParent(void *parent) {
  ::WaitForSingleObject(static_cast<HANDLE>(parent), INFINITE);
  ::TerminateProcess(::GetCurrentProcess(), 0xC000013A);  // as a process ended from outside
  return 0;
}

// An inheritable copy of `handle` for one CreateProcess; null when none
// could be made.
HANDLE InheritableCopy(HANDLE handle, DWORD access, DWORD options) {
  HANDLE copy = nullptr;
  if (!::DuplicateHandle(::GetCurrentProcess(), handle, ::GetCurrentProcess(), &copy, access, TRUE, options))
    return nullptr;
  return copy;
}

}  // namespace

bool Channel::StartChild(const char *program) {
  Close(0);
  hasExited = false;
  static const HandleListCalls calls;
  if (!calls.Available()) return false;
  HANDLE parentEnd = nullptr, childEnd = nullptr;
  if (!MakePipe(&parentEnd, &childEnd)) return false;
  ioDone = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  // The handles the child gets, and no other: its end and its parent. They
  // are inheritable only as these copies, made for this one start: another
  // thread of the host starting a program meanwhile may inherit nothing else.
  HANDLE handed[2] = {InheritableCopy(childEnd, 0, DUPLICATE_SAME_ACCESS),
                      InheritableCopy(::GetCurrentProcess(), SYNCHRONIZE, 0)};
  CloseIfOpen(&childEnd);
  PROCESS_INFORMATION process = {};
  bool made = ioDone && handed[0] && handed[1];
  if (made) {
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
      // No standard handles: what a plug-in prints goes nowhere, never into
      // a handle the host happens to have.
      startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
      startup.lpAttributeList = list;
      made = made && ::CreateProcessA(program, &command[0], nullptr, nullptr, TRUE,
                                      kExtendedStartupInfo | CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr,
                                      &startup.StartupInfo, &process);
      calls.remove(list);
    }
  }
  // The child's copies are its own now; this process keeps only its end.
  for (HANDLE &handle : handed) CloseIfOpen(&handle);
  if (!made) {
    CloseIfOpen(&parentEnd);
    CloseIfOpen(&ioDone);
    return false;
  }
  ChildrenJob().Hold(process.hProcess);
  ::ResumeThread(process.hThread);
  ::CloseHandle(process.hThread);
  pipe = parentEnd;
  child = process.hProcess;
  childId = process.dwProcessId;
  return true;
}

bool Channel::ConnectToParent(const char *commandLine) {
  Close(0);
  // The two handle numbers at the command line's end, after the program.
  std::string text = commandLine ? commandLine : "";
  uintptr_t values[2];
  for (int i = 1; i >= 0; --i) {
    const size_t end = text.find_last_not_of(' ');
    if (end == std::string::npos) return false;
    const size_t start = text.find_last_of(' ', end);
    if (start == std::string::npos) return false;
    const std::string number = text.substr(start + 1, end - start);
    if (number.empty() || number.size() > 19 || number.find_first_not_of("0123456789") != std::string::npos)
      return false;
    values[i] = static_cast<uintptr_t>(std::stoull(number));
    text.resize(start);
  }
  HANDLE end = reinterpret_cast<HANDLE>(values[0]), parent = reinterpret_cast<HANDLE>(values[1]);
  // Kept from the programs this one starts.
  for (HANDLE handle : {end, parent})
    if (!::SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0)) return false;
  HANDLE watcher = ::CreateThread(nullptr, 0, EndWithParent, parent, 0, nullptr);
  if (!watcher) return false;
  ::CloseHandle(watcher);
  pipe = end;
  return true;
}

size_t Channel::Transfer(bool reading, void *bytes, DWORD count) {
  for (;;) {
    OVERLAPPED overlapped = {};
    overlapped.hEvent = ioDone;
    const BOOL done = reading ? ::ReadFile(pipe, bytes, count, nullptr, &overlapped)
                              : ::WriteFile(pipe, bytes, count, nullptr, &overlapped);
    if (!done && ::GetLastError() != ERROR_IO_PENDING) return 0;
    if (!done) {
      HANDLE waits[2] = {ioDone, child};
      if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) ::CancelIo(pipe);
    }
    DWORD transferred = 0;
    if (::GetOverlappedResult(pipe, &overlapped, &transferred, TRUE)) return transferred;
    // Cancelled because the child has ended: what it wrote before that is
    // still there to read; nothing more will come from it.
    DWORD waiting = 0;
    if (!reading || ::GetLastError() != ERROR_OPERATION_ABORTED ||
        !::PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr) || waiting == 0)
      return 0;
  }
}

bool Channel::Send(const void *bytes, size_t length) {
  const char *next = static_cast<const char *>(bytes);
  while (length > 0) {
    const DWORD chunk = length > 0x10000000 ? 0x10000000 : static_cast<DWORD>(length);
    DWORD written = 0;
    if (!pipe) return false;
    if (child) {
      written = static_cast<DWORD>(Transfer(false, const_cast<char *>(next), chunk));
    } else if (!::WriteFile(pipe, next, chunk, &written, nullptr)) {
      return false;
    }
    if (written == 0) return false;
    next += written;
    length -= written;
  }
  return true;
}

size_t Channel::Receive(void *buffer, size_t capacity) {
  const DWORD chunk = capacity > 0x10000000 ? 0x10000000 : static_cast<DWORD>(capacity);
  if (!pipe) return 0;
  if (child) return Transfer(true, buffer, chunk);
  DWORD read = 0;
  return ::ReadFile(pipe, buffer, chunk, &read, nullptr) ? read : 0;
}

void Channel::Close(unsigned long patience) {
  CloseIfOpen(&pipe);
  CloseIfOpen(&ioDone);
  if (!child) return;
  if (::WaitForSingleObject(child, patience) == WAIT_TIMEOUT && ::TerminateProcess(child, 1))
    ::WaitForSingleObject(child, kEndingWait);
  DWORD code = STILL_ACTIVE;
  if (::GetExitCodeProcess(child, &code) && code != STILL_ACTIVE) exitCode = code;
  hasExited = code != STILL_ACTIVE;
  CloseIfOpen(&child);
  childId = 0;
}

unsigned long Channel::ChildId() const {
  return childId;
}

bool Channel::ChildExitCode(unsigned long *code) const {
  if (child) {
    DWORD now = STILL_ACTIVE;
    if (::WaitForSingleObject(child, 0) != WAIT_OBJECT_0 || !::GetExitCodeProcess(child, &now)) return false;
    *code = now;
    return true;
  }
  if (!hasExited) return false;
  *code = exitCode;
  return true;
}

void AllowForeground(unsigned long processId) {
  ::AllowSetForegroundWindow(processId);
}

}  // namespace platform
