// A TOVRA/1.0 plug-in that faults, for the tests of the fault guard (Windows
// only). Built once per place: in its DllMain, its load entry, the version
// request or its unload entry (FAULT_AT), or in an EXECUTE request, where the
// call's first argument names the fault: write, read, execute, overflow,
// divide, intoverflow, illegal, privileged, breakpoint, float, raise, msvc,
// cxx, noreturn, stackcall (32-bit); or ends its process: exit, abort, fastfail; or never returns: hold. What it is sent goes to the recorder. The kinds probe and catch fault and recover inside the plug-in, and
// any other argument is answered as "ok:" and the argument.
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
#ifndef FAULT_AT
#define FAULT_AT AT_REQUEST
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

// Unmasks division by zero for the x87 and SSE units, then divides by zero.
__attribute__((noinline)) double DivideFloatByZero() {
  unsigned short control;
  __asm__ volatile("fnstcw %0" : "=m"(control));
  control &= static_cast<unsigned short>(~0x4);
  __asm__ volatile("fldcw %0" : : "m"(control));
  unsigned int mxcsr;
  __asm__ volatile("stmxcsr %0" : "=m"(mxcsr));
  mxcsr &= ~0x200u;
  __asm__ volatile("ldmxcsr %0" : : "m"(mxcsr));
  volatile double divisor = 0.0;
  volatile double quotient = 1.0 / divisor;
  return quotient;
}

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
  // Signals the event its host named in TOVRA_TEST_HOLD_EVENT, then never
  // returns: a call that something must end from outside.
  if (kind == "hold") {
    char name[128];
    const DWORD length = ::GetEnvironmentVariableA("TOVRA_TEST_HOLD_EVENT", name, sizeof name);
    if (length > 0 && length < sizeof name)
      if (HANDLE held = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, name)) ::SetEvent(held);
    ::Sleep(INFINITE);
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

HGLOBAL Reply(const std::string &text, long *length) {
  HGLOBAL block = ::GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, text.size() + 1);
  if (!block) return nullptr;
  std::memcpy(block, text.data(), text.size());
  *length = static_cast<long>(text.size());
  return block;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (FAULT_AT == AT_DLLMAIN && reason == DLL_PROCESS_ATTACH) Fault("write");
  return TRUE;
}

PLUGIN_EXPORT int __cdecl load(HGLOBAL block, long) {
  ::GlobalFree(block);
  RecordEvent(PLUGIN_NAME, "load", nullptr, 0, 0, 0);
  if (FAULT_AT == AT_LOAD) Fault("write");
  return 1;
}

PLUGIN_EXPORT int __cdecl unload() {
  RecordEvent(PLUGIN_NAME, "unload", nullptr, 0, 0, 0);
  if (FAULT_AT == AT_UNLOAD) Fault("write");
  return 1;
}

PLUGIN_EXPORT HGLOBAL __cdecl request(HGLOBAL block, long *length) {
  const std::string text(static_cast<const char *>(block), static_cast<size_t>(*length));
  ::GlobalFree(block);
  RecordEvent(PLUGIN_NAME, "request", nullptr, 0, 0, 0);
  if (text.compare(0, 4, "GET ") == 0) {
    if (FAULT_AT == AT_VERSION) Fault("write");
    return Reply("TOVRA/1.0 200 OK\r\n\r\n", length);
  }
  const std::string head = "\r\nArgument0: ";
  const size_t start = text.find(head);
  const std::string kind =
      start == std::string::npos ? std::string() : text.substr(start + head.size(), text.find("\r\n", start + head.size()) - start - head.size());
  return Reply("TOVRA/1.0 200 OK\r\nResult: " + Fault(kind) + "\r\n\r\n", length);
}
