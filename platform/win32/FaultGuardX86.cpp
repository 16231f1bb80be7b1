// The guard on 32-bit Windows: a frame-based handler, an exception
// registration pushed on the thread's chain (FS:[0]) for the length of the
// call. Frames inside the call push theirs later, so the system asks them
// first; this one is asked only for what they all declined.
#include "platform/win32/FaultGuard.h"

namespace platform {

namespace {

// An exception registration record as the system walks it (previous,
// handler), then the guard's own: where to resume after a fault, and where
// to describe it.
struct GuardFrame {
  GuardFrame *previous;
  void *handler;
  void *resume[5];  // a __builtin_setjmp buffer
  GuardedFault *fault;
};

// Unwinds every registration above `frame` (their handlers run with the
// unwinding flag, so a plug-in's own cleanups run). The system's unwind does
// not keep the caller's EBX, ESI and EDI: they are declared clobbered.
void UnwindTo(GuardFrame *frame, EXCEPTION_RECORD *record) {
  __asm__ volatile(
      "pushl $0\n\t"
      "pushl %1\n\t"
      "pushl $0\n\t"
      "pushl %0\n\t"
      "call _RtlUnwind@16"
      : "+a"(frame), "+c"(record)
      :
      : "ebx", "edx", "esi", "edi", "memory", "cc");
}

extern "C" EXCEPTION_DISPOSITION __cdecl FaultGuardHandler(EXCEPTION_RECORD *record, void *establisher,
                                                           CONTEXT *context, void *) {
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
  GuardFrame *frame = static_cast<GuardFrame *>(establisher);
  RecordFault(record, context, frame->fault);
  UnwindTo(frame, record);
  __builtin_longjmp(frame->resume, 1);
}

}  // namespace

__attribute__((noinline)) bool GuardedCall(void (*call)(void *context), void *context, GuardedFault *fault) {
  GuardFrame frame;
  frame.handler = reinterpret_cast<void *>(&FaultGuardHandler);
  frame.fault = fault;
  __asm__ volatile("movl %%fs:0, %0" : "=r"(frame.previous));
  if (__builtin_setjmp(frame.resume)) {
    // Back from a fault: the unwind left this registration the innermost.
    __asm__ volatile("movl %0, %%fs:0" : : "r"(frame.previous) : "memory");
    return false;
  }
  __asm__ volatile("movl %0, %%fs:0" : : "r"(&frame) : "memory");
  call(context);
  __asm__ volatile("movl %0, %%fs:0" : : "r"(frame.previous) : "memory");
  return true;
}

}  // namespace platform
