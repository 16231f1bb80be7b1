// A TOVRA/1.0 plug-in that faults, for the tests of the fault guard (Windows
// only). Built once per place: in its DllMain, its load entry, the version
// request or its unload entry (FAULT_AT), or in an EXECUTE request, where the
// call's first argument names the fault: write, read, execute, overflow,
// divide, intoverflow, illegal, privileged, breakpoint, float, x87 (with
// values left on the x87 stack), raise, msvc, cxx, noreturn (raised by a call
// that ends its function), stackcall (32-bit: raised through a pointer on the
// stack), threadfault (on a thread of its own, which the call waits for); or
// ends its process: exit, abort, fastfail, handpipes (after handing every
// handle of its process to a program that outlives it: FaultHost.cpp's
// "linger"); or never returns: hold. The kinds probe and catch fault and
// recover inside the plug-in; holdexit makes its detach from the process
// never return; noterm answers in a block that its text fills exactly;
// stdhandles answers which standard handles its process has. Built with
// UNMASK_FP, it unmasks the floating-point exceptions in DllMain, in load,
// in unload and in each request, as runtimes of other compilers do. What it
// is sent goes to the recorder; any other argument is answered as "ok:" and
// the argument.
#include <windows.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "Recorder.h"

#define PLUGIN_EXPORT extern "C" __declspec(dllexport)

#define AT_REQUEST 0
#define AT_DLLMAIN 1
#define AT_LOAD 2
#define AT_VERSION 3
#define AT_UNLOAD 4
#define AT_NOWHERE 5
#ifndef FAULT_AT
#define FAULT_AT AT_REQUEST
#endif
#ifndef UNMASK_FP
#define UNMASK_FP 0
#endif

// RaiseException never returns here; so declared, its call can end a function.
extern "C" __declspec(dllimport) __attribute__((noreturn)) void WINAPI RaiseException(DWORD, DWORD, DWORD,
                                                                                     const ULONG_PTR *);

namespace {

// Read at run time, so that the compiler cannot see the faults coming.
volatile int zero = 0;
volatile uintptr_t nowhere = 0;

// Raises with a call that is the last instruction of this function: the
// call's return address is the first byte of the next function, which this
// plug-in places without padding (a 64-bit build puts a nop after the call).
[[noreturn]] __attribute__((noinline)) void RaiseAtEnd() {
  ::RaiseException(0xE0000002, EXCEPTION_NONCONTINUABLE, 0, nullptr);
}

__attribute__((noinline)) int Recurse(int depth) {
  if (zero > 1) return depth;  // never: it keeps the compiler from calling the recursion endless
  volatile char frame[512];
  frame[0] = static_cast<char>(depth);
  return Recurse(depth + 1) + frame[0];
}

// A frame with a cleanup between the throw and the plug-in's edge.
struct Cleanup {
  ~Cleanup() { ++zero; --zero; }
};
__attribute__((noinline)) void Throw() {
  Cleanup cleanup;
  throw std::runtime_error("thrown inside the plug-in");
}

// Unmasks division by zero and invalid operations for the x87 and SSE
// units.
void UnmaskFloatingPointExceptions() {
  unsigned short control;
  __asm__ volatile("fnstcw %0" : "=m"(control));
  control &= static_cast<unsigned short>(~0x5);
  __asm__ volatile("fldcw %0" : : "m"(control));
  unsigned int mxcsr;
  __asm__ volatile("stmxcsr %0" : "=m"(mxcsr));
  mxcsr &= ~0x280u;
  __asm__ volatile("ldmxcsr %0" : : "m"(mxcsr));
}

// Divides by zero with both units' exception unmasked.
__attribute__((noinline)) double DivideFloatByZero() {
  UnmaskFloatingPointExceptions();
  volatile double divisor = 0.0;
  volatile double quotient = 1.0 / divisor;
  return quotient;
}

// Leaves three values on the x87 stack, then divides zero by zero there
// with the exception unmasked: it is raised at the next waiting instruction.
__attribute__((noinline)) void DivideOnTheX87Stack() {
  UnmaskFloatingPointExceptions();
  __asm__ volatile("fld1\n\tfld1\n\tfld1\n\tfldz\n\tfldz\n\tfdivp\n\tfwait" ::: "memory");
}

DWORD WINAPI WriteNowhere(void *) {
  *reinterpret_cast<volatile int *>(nowhere) = 1;
  return 0;
}

// Makes the event named in TOVRA_TEST_HOLD_EVENT, marks every handle of this
// process inheritable (the event's too, so it lives as long as the program)
// and starts a program that inherits them all and waits until its host sets
// the event, or two minutes.
void HandEveryHandleToAChild() {
  char event[128], path[MAX_PATH];
  const DWORD length = ::GetEnvironmentVariableA("TOVRA_TEST_HOLD_EVENT", event, sizeof event);
  HMODULE self = nullptr;
  ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<const char *>(&HandEveryHandleToAChild), &self);
  const DWORD pathLength = ::GetModuleFileNameA(self, path, sizeof path);
  if (length == 0 || length >= sizeof event || pathLength == 0 || pathLength >= sizeof path) return;
  if (!::CreateEventA(nullptr, TRUE, FALSE, event)) return;
  for (uintptr_t value = 4; value < 0x2000; value += 4)
    ::SetHandleInformation(reinterpret_cast<HANDLE>(value), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  std::string command = path;
  command = "\"" + command.substr(0, command.rfind('\\') + 1) + "fault_host.exe\" linger " + event;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (::CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
}

// Set by holdexit: the plug-in's detach from its process never returns.
bool holdExit = false;

std::string Fault(const std::string &kind) {
  if (kind == "write") *reinterpret_cast<volatile int *>(nowhere) = 1;
  if (kind == "read") return std::to_string(*reinterpret_cast<volatile int *>(nowhere));
  if (kind == "execute") reinterpret_cast<void (*)()>(nowhere + 16)();
  if (kind == "overflow") return std::to_string(Recurse(0));
  if (kind == "divide") {
    volatile int dividend = 7;
    return std::to_string(dividend / zero);
  }
  if (kind == "intoverflow") {
    volatile int smallest = INT_MIN, minusOne = -1;
    return std::to_string(smallest / minusOne);
  }
  if (kind == "illegal")
    __asm__ volatile("ud2");  // the first instruction of its line: the fault's own address names it
  if (kind == "privileged") __asm__ volatile("hlt");
  if (kind == "breakpoint") __asm__ volatile("int3");
  if (kind == "float") return std::to_string(DivideFloatByZero());
  if (kind == "x87") DivideOnTheX87Stack();
  if (kind == "threadfault") {
    HANDLE thread = ::CreateThread(nullptr, 0, WriteNowhere, nullptr, 0, nullptr);
    ::WaitForSingleObject(thread, INFINITE);
  }
  if (kind == "raise") ::RaiseException(0xE0000001, 0, 0, nullptr);
#ifndef _WIN64
  // Through a pointer on the stack, with a call of four bytes (FF 54 24 10).
  if (kind == "stackcall")
    __asm__ volatile("pushl %0; pushl $0; pushl $0; pushl $0; pushl $0xE0000003; call *16(%%esp)"
                     :
                     : "r"(&::RaiseException));
#endif
  if (kind == "msvc") {
    // What an MSVC-built plug-in's throw raises.
    ULONG_PTR parameters[3] = {0x19930520, 0, 0};
    ::RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 3, parameters);
  }
  if (kind == "cxx") Throw();
  if (kind == "noreturn") RaiseAtEnd();
  // What no guard in the process can contain.
  if (kind == "exit") std::exit(5);
  if (kind == "abort") std::abort();
  if (kind == "fastfail") __asm__ volatile("int $0x29" : : "c"(7));
  if (kind == "handpipes") {
    HandEveryHandleToAChild();
    std::exit(5);
  }
  // Signals the event its host named in TOVRA_TEST_HOLD_EVENT, then never
  // returns: a call that something must end from outside.
  if (kind == "hold") {
    char name[128];
    const DWORD length = ::GetEnvironmentVariableA("TOVRA_TEST_HOLD_EVENT", name, sizeof name);
    if (length > 0 && length < sizeof name)
      if (HANDLE held = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, name)) ::SetEvent(held);
    ::Sleep(INFINITE);
  }
  if (kind == "holdexit") holdExit = true;
  if (kind == "stdhandles") {
    // Which standard handles the process has: none, a console of its own,
    // or a handle of another kind (a file or pipe someone else holds).
    std::string handles;
    for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
      HANDLE handle = ::GetStdHandle(which);
      DWORD mode;
      handles += !handle || handle == INVALID_HANDLE_VALUE   ? "none "
                 : ::GetConsoleMode(handle, &mode)           ? "console "
                                                              : "other:" + std::to_string(::GetFileType(handle)) + " ";
    }
    return handles;
  }
  if (kind == "probe") return ::IsBadReadPtr(reinterpret_cast<void *>(nowhere), 4) ? "probed" : "readable";
  if (kind == "catch") {
    try {
      Throw();
    } catch (const std::exception &caught) {
      return caught.what();
    }
  }
  return "ok:" + kind;
}

// The answer in a block one byte longer than its text, or, with `filled`,
// one that the text fills.
HGLOBAL Reply(const std::string &text, long *length, bool filled = false) {
  HGLOBAL block = ::GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, text.size() + (filled ? 0 : 1));
  if (!block) return nullptr;
  std::memcpy(block, text.data(), text.size());
  *length = static_cast<long>(text.size());
  return block;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (FAULT_AT == AT_DLLMAIN && reason == DLL_PROCESS_ATTACH) Fault("write");
  if (UNMASK_FP) UnmaskFloatingPointExceptions();
  if (holdExit && reason == DLL_PROCESS_DETACH) ::Sleep(INFINITE);
  return TRUE;
}

PLUGIN_EXPORT int __cdecl load(HGLOBAL block, long) {
  ::GlobalFree(block);
  if (UNMASK_FP) UnmaskFloatingPointExceptions();
  RecordEvent(PLUGIN_NAME, "load", nullptr, 0, 0, 0);
  if (FAULT_AT == AT_LOAD) Fault("write");
  return 1;
}

PLUGIN_EXPORT int __cdecl unload() {
  RecordEvent(PLUGIN_NAME, "unload", nullptr, 0, 0, 0);
  if (UNMASK_FP) UnmaskFloatingPointExceptions();
  if (FAULT_AT == AT_UNLOAD) Fault("write");
  return 1;
}

PLUGIN_EXPORT HGLOBAL __cdecl request(HGLOBAL block, long *length) {
  const std::string text(static_cast<const char *>(block), static_cast<size_t>(*length));
  ::GlobalFree(block);
  RecordEvent(PLUGIN_NAME, "request", nullptr, 0, 0, 0);
  if (UNMASK_FP) UnmaskFloatingPointExceptions();
  if (text.compare(0, 4, "GET ") == 0) {
    if (FAULT_AT == AT_VERSION) Fault("write");
    return Reply("TOVRA/1.0 200 OK\r\n\r\n", length);
  }
  const std::string head = "\r\nArgument0: ";
  const size_t start = text.find(head);
  const std::string kind =
      start == std::string::npos ? std::string() : text.substr(start + head.size(), text.find("\r\n", start + head.size()) - start - head.size());
  return Reply("TOVRA/1.0 200 OK\r\nResult: " + Fault(kind) + "\r\n\r\n", length, kind == "noterm");
}
